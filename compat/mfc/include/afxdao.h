#pragma once
// The class library's desktop-database classes, kept over SQLite: a database is an SQLite file,
// its tables are the table definitions and its views are the stored query definitions.
//
// Record sets walk a snapshot of the rows taken when they open, so rows may be changed or
// appended while a set is walked. Writes to a database are kept in one transaction that
// Close commits: a program that ends before it closes leaves the file as it was.
//
// Errors are thrown as CDaoException pointers, which the catcher deletes with Delete().
#include <afx.h>
#include <afxdisp.h>

#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// Record-set types and options.
#define dbOpenTable 1
#define dbOpenDynaset 2
#define dbOpenSnapshot 4
#define dbDenyWrite 1
#define dbDenyRead 2
#define dbReadOnly 4
#define dbAppendOnly 8
#define AFX_DAO_USE_DEFAULT_TYPE (-1)

// How much an info call fills in; this layer always fills in everything it has.
#define AFX_DAO_PRIMARY_INFO 0x00000001
#define AFX_DAO_SECONDARY_INFO 0x00000002
#define AFX_DAO_ALL_INFO 0x00000004

// Field types, chosen from a column's declared type.
#define dbBoolean 1
#define dbByte 2
#define dbInteger 3
#define dbLong 4
#define dbCurrency 5
#define dbSingle 6
#define dbDouble 7
#define dbDate 8
#define dbText 10
#define dbLongBinary 11

// Query-definition types.
#define dbQSelect 0

struct CDaoErrorInfo {
    long m_lErrorCode = 0;
    CString m_strSource;
    CString m_strDescription;
    CString m_strHelpFile;
    long m_lHelpContext = 0;
};

class CDaoException {
public:
    CDaoException(long errorCode, LPCTSTR description);
    ~CDaoException();
    CDaoException(const CDaoException&) = delete;
    CDaoException& operator=(const CDaoException&) = delete;

    void Delete() { delete this; }
    short GetErrorCount() const { return 1; }

    CDaoErrorInfo* m_pErrorInfo;
    SCODE m_scode;
    int m_nAfxDaoError;
};

struct CDaoTableDefInfo {
    CString m_strName;
    BOOL m_bUpdatable = FALSE;
};

struct CDaoQueryDefInfo {
    CString m_strName;
    short m_nType = dbQSelect;
    BOOL m_bUpdatable = FALSE;
};

struct CDaoFieldInfo {
    CString m_strName;
    short m_nType = dbText;
    // Bytes of a fixed-size type; 0 for texts and binary data.
    long m_lSize = 0;
};

class CDaoWorkspace;

class CDaoDatabase {
public:
    explicit CDaoDatabase(CDaoWorkspace* workspace = nullptr);
    virtual ~CDaoDatabase();
    CDaoDatabase(const CDaoDatabase&) = delete;
    CDaoDatabase& operator=(const CDaoDatabase&) = delete;

    // The file must exist and be a database; the connect string is not used.
    virtual void Open(LPCTSTR name, BOOL exclusive = FALSE, BOOL readOnly = FALSE, LPCTSTR connect = "");
    virtual void Close();
    BOOL IsOpen() const { return m_db != nullptr; }
    BOOL CanUpdate() const;
    CString GetName() const { return m_name; }

    // Tables and queries in the order they were created; SQLite's own tables are left out.
    short GetTableDefCount();
    void GetTableDefInfo(int index, CDaoTableDefInfo& info, DWORD infoOptions = AFX_DAO_PRIMARY_INFO);
    short GetQueryDefCount();
    void GetQueryDefInfo(int index, CDaoQueryDefInfo& info, DWORD infoOptions = AFX_DAO_PRIMARY_INFO);

private:
    friend class CDaoRecordset;
    friend class CDaoQueryDef;

    void CheckOpen(const char* operation) const;
    // Starts the write transaction that Close commits.
    void BeginWrite();
    void Commit();
    // Names of the database's tables ("table") or views ("view"), in creation order.
    std::vector<CString> ObjectNames(const char* type) const;
    [[noreturn]] void ThrowError(const char* context) const;

    sqlite3* m_db = nullptr;
    CString m_name;
    BOOL m_readOnly = FALSE;
    bool m_inWrite = false;
};

class CDaoQueryDef {
public:
    explicit CDaoQueryDef(CDaoDatabase* database);
    virtual ~CDaoQueryDef();
    CDaoQueryDef(const CDaoQueryDef&) = delete;
    CDaoQueryDef& operator=(const CDaoQueryDef&) = delete;

    virtual void Open(LPCTSTR name);
    virtual void Close();
    BOOL IsOpen() const { return m_open; }
    CString GetName() const { return m_name; }

    CDaoDatabase* m_pDatabase;

private:
    CString m_name;
    bool m_open = false;
};

class CDaoRecordset {
public:
    explicit CDaoRecordset(CDaoDatabase* database = nullptr);
    virtual ~CDaoRecordset();
    CDaoRecordset(const CDaoRecordset&) = delete;
    CDaoRecordset& operator=(const CDaoRecordset&) = delete;

    // A table type opens only a table; a dynaset opens a table or a view. Views never update.
    virtual void Open(int openType = AFX_DAO_USE_DEFAULT_TYPE, LPCTSTR source = nullptr, int options = 0);
    virtual void Open(CDaoQueryDef* queryDef, int openType = dbOpenDynaset, int options = 0);
    virtual void Close();
    BOOL IsOpen() const { return m_open; }

    BOOL CanUpdate() const;
    BOOL CanAppend() const;

    // Both are true for an empty set; past the last row only EOF is.
    BOOL IsBOF() const;
    BOOL IsEOF() const;
    void MoveFirst();
    void MoveNext();

    // AddNew or Edit, then SetFieldValue calls, then Update stores the row.
    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    COleVariant GetBookmark();
    COleVariant GetLastModifiedBookmark();
    void SetBookmark(COleVariant bookmark);

    short GetFieldCount();
    void GetFieldInfo(int index, CDaoFieldInfo& info, DWORD infoOptions = AFX_DAO_PRIMARY_INFO);
    COleVariant GetFieldValue(int index);
    COleVariant GetFieldValue(LPCTSTR name);
    void SetFieldValue(int index, LPCTSTR value);
    void SetFieldValue(LPCTSTR name, LPCTSTR value);
    void SetFieldValueNull(LPCTSTR name);

    CDaoDatabase* m_pDatabase;

private:
    enum class EditMode { none, edit, addNew };
    struct PendingValue {
        int field;
        bool isNull;
        std::string text;
    };

    void CheckOpen(const char* operation) const;
    void CheckCurrent(const char* operation) const;
    void CheckEditable(const char* operation) const;
    void CheckField(int index, const char* operation) const;
    int FieldIndex(LPCTSTR name) const;
    void ReadColumns();
    void ReadRowIds();
    void ReadViewRows();
    long RowCount() const;
    long long CurrentRowId() const;
    void LoadRow();
    void SetPending(int field, bool isNull, const char* text);
    void StoreEdit();
    void StoreNew();
    void ExecutePending(const std::string& sql);

    bool m_open = false;
    bool m_isTable = false;
    bool m_readOnly = false;
    CString m_source;
    std::vector<CString> m_fieldNames;
    std::vector<std::string> m_fieldTypes;
    // Tables are walked by row id, views by their rows as read at open.
    std::vector<long long> m_rowIds;
    std::vector<std::vector<COleVariant>> m_viewRows;
    std::vector<COleVariant> m_current;
    sqlite3_stmt* m_rowQuery = nullptr;
    long m_position = 0;
    long long m_lastModified = 0;
    EditMode m_editMode = EditMode::none;
    std::vector<PendingValue> m_pending;
};

// Start and stop the database engine; the program's module state names the version it uses.
void AfxDaoInit();
void AfxDaoTerm();
// True between AfxDaoInit and AfxDaoTerm.
BOOL AfxDaoIsRunning();
