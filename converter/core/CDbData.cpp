#include "converter/core/CDbData.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/core/DaoErrorText.h"
#include "core/output/ZOutput.h"

#include <cstdio>
#include <cstring>

int CDbData::s_LiveCount = 0;

namespace {
// Asks the class library for the engine version that reads current database files.
constexpr DWORD kDaoVersion = 0x0601;
} // namespace

CDbData::CDbData()
{
    if (s_LiveCount == 0) {
        AfxGetModuleState()->m_dwVersion = kDaoVersion;
        AfxDaoInit();
    }
    ++s_LiveCount;
}

CDbData::~CDbData()
{
    delete m_pRecord;
    try {
        if (m_pRecordSet)
            m_pRecordSet->Close();
        delete m_pRecordSet;
        if (m_pQueryDef)
            m_pQueryDef->Close();
        delete m_pQueryDef;
        if (m_pDatabase)
            m_pDatabase->Close();
    } catch (CDaoException* error) {
        const CString text = DaoErrorText(error);
        vbail("error: %s\nClosing Database %s\n", static_cast<LPCTSTR>(text),
              static_cast<LPCTSTR>(m_pDatabase->GetName()));
    }
    delete m_pDatabase;
    if (--s_LiveCount == 0)
        AfxDaoTerm();
}

void CDbData::OpenDatabase(const char* path, bool readOnly)
{
    m_ReadOnly = readOnly;
    try {
        if (!m_pDatabase)
            m_pDatabase = new CDaoDatabase;
        m_pDatabase->Open(path, FALSE, readOnly, "");
    } catch (CDaoException* error) {
        const CString text = DaoErrorText(error);
        vbail("error: %s\nOpening Database %s\n", static_cast<LPCTSTR>(text), path);
    }
    GetTableNames();
    VerbosePrintf(3, "Database %s update=%d\n", path, m_pDatabase->CanUpdate());
}

void CDbData::GetTableNames()
{
    m_TableNames.RemoveAll();
    m_QueryNames.RemoveAll();
    try {
        const int tables = m_pDatabase->GetTableDefCount();
        for (int i = 0; i < tables; ++i) {
            CDaoTableDefInfo info;
            m_pDatabase->GetTableDefInfo(i, info, AFX_DAO_PRIMARY_INFO);
            // The database engine's own system tables.
            if (std::strncmp(info.m_strName, "MSys", 4) != 0)
                m_TableNames.Add(info.m_strName);
        }
        const int queries = m_pDatabase->GetQueryDefCount();
        for (int i = 0; i < queries; ++i) {
            CDaoQueryDefInfo info;
            m_pDatabase->GetQueryDefInfo(i, info, AFX_DAO_PRIMARY_INFO);
            m_QueryNames.Add(info.m_strName);
        }
    } catch (CDaoException* error) {
        const CString text = DaoErrorText(error);
        vbail("error: %s\nGetting Table Names\n", static_cast<LPCTSTR>(text));
    }
}

static bool Holds(const CxStringArray& names, const char* name)
{
    for (const CString* entry : names) {
        if (*entry == name)
            return true;
    }
    return false;
}

void CDbData::OpenRecordSet(const char* name)
{
    const int options = m_ReadOnly ? dbReadOnly : 0;
    delete m_pRecord;
    m_pRecord = nullptr;
    if (!m_pDatabase)
        vbail("No database created! I need a database before I look for tables!\n%s,%d\n", __FILE__, __LINE__);
    try {
        if (!m_pRecordSet) {
            m_pRecordSet = new CDaoRecordset(m_pDatabase);
        } else {
            m_pRecordSet->Close();
            if (m_pQueryDef)
                m_pQueryDef->Close();
            delete m_pQueryDef;
            m_pQueryDef = nullptr;
        }
        if (Holds(m_TableNames, name)) {
            m_pRecordSet->Open(dbOpenTable, name, options);
        } else if (Holds(m_QueryNames, name)) {
            m_pQueryDef = new CDaoQueryDef(m_pDatabase);
            m_pQueryDef->Open(name);
            m_pRecordSet->Open(m_pQueryDef, dbOpenDynaset, options);
        } else {
            vbail("error: %s is not a valid table or query name!", name);
        }
    } catch (CDaoException* error) {
        const CString text = DaoErrorText(error);
        vbail("error: %s\nOpenRecordSet: %s\n", static_cast<LPCTSTR>(text), name);
    }
    VerbosePrintf(3, "recordset %s update=%d\n", name, m_pRecordSet->CanUpdate());
    VerbosePrintf(3, "recordset %s Append=%d\n", name, m_pRecordSet->CanAppend());
}

CDbRecord* CDbData::GetRecord(bool first)
{
    try {
        if (!m_pRecordSet || !m_pRecordSet->IsOpen())
            vbail("error: %s\nGetRecord()\n", "no record set is open");
        if (m_pRecordSet->IsBOF())
            return nullptr;
        if (first)
            m_pRecordSet->MoveFirst();
        else
            m_pRecordSet->MoveNext();
        if (m_pRecordSet->IsEOF())
            return nullptr;
    } catch (CDaoException* error) {
        const CString text = DaoErrorText(error);
        vbail("error: %s\nGetRecord()\n", static_cast<LPCTSTR>(text));
    }
    return CurrentRecord();
}

CDbRecord* CDbData::AddRecord()
{
    try {
        if (!m_pRecordSet || !m_pRecordSet->IsOpen())
            vbail("error: %s AddRecord()\n", "no record set is open");
        m_pRecordSet->AddNew();
        m_pRecordSet->Update();
        m_pRecordSet->SetBookmark(m_pRecordSet->GetLastModifiedBookmark());
    } catch (CDaoException* error) {
        const CString text = DaoErrorText(error);
        vbail("error: %s AddRecord()\n", static_cast<LPCTSTR>(text));
    }
    return CurrentRecord();
}

CDbRecord* CDbData::CurrentRecord()
{
    if (!m_pRecord)
        m_pRecord = new CDbRecord(m_pRecordSet);
    return m_pRecord;
}

void CDbData::PrintNames()
{
    for (const CString* name : m_TableNames)
        printf("Table: %s\n", static_cast<LPCTSTR>(*name));
    for (const CString* name : m_QueryNames)
        printf("Query: %s\n", static_cast<LPCTSTR>(*name));
}
