#include <afxdao.h>

#include "SqliteValue.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

// How long Close waits for other readers to let go before it gives up committing.
constexpr int kCommitWaitMs = 5000;

// Windows-style names from scripts ("data\\text.db") name the same file here.
std::string FilePath(LPCTSTR name)
{
    std::string path(name);
    for (char& ch : path) {
        if (ch == '\\')
            ch = '/';
    }
    return path;
}

} // namespace

CDaoDatabase::CDaoDatabase(CDaoWorkspace* /*workspace*/) {}

CDaoDatabase::~CDaoDatabase()
{
    try {
        Close();
    } catch (CDaoException* error) {
        error->Delete();
    }
}

void CDaoDatabase::Open(LPCTSTR name, BOOL exclusive, BOOL readOnly, LPCTSTR /*connect*/)
{
    Close();
    if (!name || !*name)
        dao::Throw(SQLITE_MISUSE, "no database file was named");
    const std::string path = FilePath(name);
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        dao::Throw(SQLITE_CANTOPEN, CString("cannot open database file: ") + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        dao::Throw(SQLITE_CANTOPEN, "cannot open database file: not a regular file");

    sqlite3* db = nullptr;
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        const CString description = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        dao::Throw(SQLITE_CANTOPEN, description);
    }
    m_db = db;
    m_name = name;
    m_readOnly = readOnly;
    // Reading the schema proves that the file is a database and that nobody holds it locked.
    const char* check = exclusive ? "PRAGMA locking_mode=EXCLUSIVE; SELECT count(*) FROM sqlite_master;"
                                  : "SELECT count(*) FROM sqlite_master;";
    if (sqlite3_exec(m_db, check, nullptr, nullptr, nullptr) != SQLITE_OK) {
        const long code = sqlite3_errcode(m_db);
        const CString description = sqlite3_errmsg(m_db);
        sqlite3_close(m_db);
        m_db = nullptr;
        dao::Throw(code, description);
    }
}

void CDaoDatabase::Close()
{
    if (!m_db)
        return;
    try {
        Commit();
    } catch (CDaoException*) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw;
    }
    // Statements of record sets still open keep the connection until they are finalized.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void CDaoDatabase::Commit()
{
    if (!m_inWrite)
        return;
    m_inWrite = false;
    sqlite3_busy_timeout(m_db, kCommitWaitMs);
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const long code = sqlite3_errcode(m_db);
        const CString description = CString("changes were not saved: ") + sqlite3_errmsg(m_db);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        dao::Throw(code, description);
    }
}

BOOL CDaoDatabase::CanUpdate() const { return m_db && !m_readOnly && sqlite3_db_readonly(m_db, "main") == 0; }

void CDaoDatabase::CheckOpen(const char* operation) const
{
    if (!m_db)
        dao::Throw(SQLITE_MISUSE, CString(operation) + ": the database is not open");
}

void CDaoDatabase::BeginWrite()
{
    CheckOpen("write");
    if (m_inWrite)
        return;
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        ThrowError("cannot write to the database");
    m_inWrite = true;
}

std::vector<CString> CDaoDatabase::ObjectNames(const char* type) const
{
    CheckOpen("list tables and queries");
    sqlite3_stmt* statement = nullptr;
    const char* query = "SELECT name FROM sqlite_master WHERE type = ?1 AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                        "ORDER BY rowid";
    if (sqlite3_prepare_v2(m_db, query, -1, &statement, nullptr) != SQLITE_OK)
        ThrowError("cannot read the list of tables");
    sqlite3_bind_text(statement, 1, type, -1, SQLITE_STATIC);
    std::vector<CString> names;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        ThrowError("cannot read the list of tables");
    return names;
}

void CDaoDatabase::ThrowError(const char* context) const
{
    dao::Throw(sqlite3_errcode(m_db), CString(context) + ": " + sqlite3_errmsg(m_db));
}

short CDaoDatabase::GetTableDefCount() { return static_cast<short>(ObjectNames("table").size()); }

void CDaoDatabase::GetTableDefInfo(int index, CDaoTableDefInfo& info, DWORD /*infoOptions*/)
{
    const std::vector<CString> names = ObjectNames("table");
    if (index < 0 || static_cast<size_t>(index) >= names.size())
        dao::Throw(SQLITE_RANGE, "no table definition at that index");
    info.m_strName = names[static_cast<size_t>(index)];
    info.m_bUpdatable = CanUpdate();
}

short CDaoDatabase::GetQueryDefCount() { return static_cast<short>(ObjectNames("view").size()); }

void CDaoDatabase::GetQueryDefInfo(int index, CDaoQueryDefInfo& info, DWORD /*infoOptions*/)
{
    const std::vector<CString> names = ObjectNames("view");
    if (index < 0 || static_cast<size_t>(index) >= names.size())
        dao::Throw(SQLITE_RANGE, "no query definition at that index");
    info.m_strName = names[static_cast<size_t>(index)];
    info.m_nType = dbQSelect;
    info.m_bUpdatable = FALSE;
}
