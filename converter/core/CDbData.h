#pragma once
// The converter's access to a desktop database: one open database with its table and query
// names, one record set walked forwards, and the record that shows its current row. Every
// database error ends the program with the database's own description of it.
#include "converter/core/CDbRecord.h"
#include "converter/core/CxStringArray.h"

#include <afxdao.h>

class CDbData {
public:
    CDbData();
    ~CDbData();
    CDbData(const CDbData&) = delete;
    CDbData& operator=(const CDbData&) = delete;

    void OpenDatabase(const char* path, bool readOnly);
    void GetTableNames();
    // A table of that exact name, else a query; anything else is fatal.
    void OpenRecordSet(const char* name);
    // The first row with first set, else the next; null when there is none.
    CDbRecord* GetRecord(bool first);
    // Appends a row with every field at its default and makes it current.
    CDbRecord* AddRecord();
    void PrintNames();

    const CxStringArray& GetTableNameList() const { return m_TableNames; }
    const CxStringArray& GetQueryNameList() const { return m_QueryNames; }

    // Live wrappers; the database engine runs while there is one.
    static int GetLiveCount() { return s_LiveCount; }

private:
    CDbRecord* CurrentRecord();

    CDaoDatabase* m_pDatabase = nullptr;
    CDaoRecordset* m_pRecordSet = nullptr;
    CDaoQueryDef* m_pQueryDef = nullptr;
    bool m_ReadOnly = false;
    CDbRecord* m_pRecord = nullptr;
    CxStringArray m_TableNames;
    CxStringArray m_QueryNames;

    static int s_LiveCount;
};
