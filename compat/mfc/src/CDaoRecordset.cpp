#include <afxdao.h>

#include "SqliteValue.h"

#include <algorithm>
#include <cstring>

namespace {

// Bookmarks are the row id's eight bytes, held as a byte array as the database engine's are.
COleVariant MakeBookmark(long long rowId)
{
    COleVariant bookmark;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, sizeof rowId);
    if (!array)
        dao::Throw(SQLITE_NOMEM, "out of memory making a bookmark");
    std::memcpy(array->pvData, &rowId, sizeof rowId);
    bookmark.vt = VT_ARRAY | VT_UI1;
    bookmark.parray = array;
    return bookmark;
}

bool ReadBookmark(const COleVariant& bookmark, long long& rowId)
{
    if (bookmark.vt != (VT_ARRAY | VT_UI1) || !bookmark.parray ||
        bookmark.parray->rgsabound[0].cElements != sizeof rowId)
        return false;
    std::memcpy(&rowId, bookmark.parray->pvData, sizeof rowId);
    return true;
}

} // namespace

CDaoRecordset::CDaoRecordset(CDaoDatabase* database) : m_pDatabase(database) {}

CDaoRecordset::~CDaoRecordset() { Close(); }

void CDaoRecordset::Open(int openType, LPCTSTR source, int options)
{
    Close();
    if (!m_pDatabase)
        dao::Throw(SQLITE_MISUSE, "a record set needs a database");
    m_pDatabase->CheckOpen("open a record set");
    if (!source || !*source)
        dao::Throw(SQLITE_MISUSE, "no table or query was named");

    // SQLite finds its tables regardless of case; the stored spelling is kept.
    const auto named = [source](const CString& name) { return name.CompareNoCase(source) == 0; };
    const std::vector<CString> tables = m_pDatabase->ObjectNames("table");
    const std::vector<CString> views = m_pDatabase->ObjectNames("view");
    const auto table = std::find_if(tables.begin(), tables.end(), named);
    const auto view = std::find_if(views.begin(), views.end(), named);
    if (table == tables.end() && (openType == dbOpenTable || view == views.end()))
        dao::Throw(SQLITE_ERROR,
                   CString("no ") + (openType == dbOpenTable ? "table" : "table or query") + " named '" + source + "'");

    m_isTable = table != tables.end();
    m_source = m_isTable ? *table : *view;
    m_readOnly = !m_isTable || (options & dbReadOnly) != 0 || openType == dbOpenSnapshot || !m_pDatabase->CanUpdate();
    ReadColumns();
    m_open = true;
    try {
        if (m_isTable)
            ReadRowIds();
        else
            ReadViewRows();
        m_position = 0;
        LoadRow();
    } catch (CDaoException*) {
        Close();
        throw;
    }
}

void CDaoRecordset::Open(CDaoQueryDef* queryDef, int openType, int options)
{
    if (!queryDef || !queryDef->IsOpen())
        dao::Throw(SQLITE_MISUSE, "the query definition is not open");
    const CString name = queryDef->GetName();
    Open(openType == dbOpenTable ? dbOpenDynaset : openType, name, options);
}

void CDaoRecordset::Close()
{
    sqlite3_finalize(m_rowQuery);
    m_rowQuery = nullptr;
    m_open = false;
    m_fieldNames.clear();
    m_fieldTypes.clear();
    m_rowIds.clear();
    m_viewRows.clear();
    m_current.clear();
    m_pending.clear();
    m_editMode = EditMode::none;
    m_position = 0;
    m_lastModified = 0;
}

void CDaoRecordset::ReadColumns()
{
    sqlite3_stmt* statement = nullptr;
    const std::string query = "SELECT * FROM " + dao::QuoteName(m_source) + " LIMIT 0";
    if (sqlite3_prepare_v2(m_pDatabase->m_db, query.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        m_pDatabase->ThrowError(CString("cannot read the fields of '") + m_source + "'");
    const int count = sqlite3_column_count(statement);
    for (int i = 0; i < count; ++i) {
        const char* type = sqlite3_column_decltype(statement, i);
        m_fieldNames.emplace_back(sqlite3_column_name(statement, i));
        m_fieldTypes.emplace_back(type ? type : "");
    }
    sqlite3_finalize(statement);
}

void CDaoRecordset::ReadRowIds()
{
    const std::string quoted = dao::QuoteName(m_source);
    const std::string rowQuery = "SELECT * FROM " + quoted + " WHERE rowid = ?1";
    if (sqlite3_prepare_v2(m_pDatabase->m_db, rowQuery.c_str(), -1, &m_rowQuery, nullptr) != SQLITE_OK)
        m_pDatabase->ThrowError(CString("cannot read the rows of '") + m_source + "'");
    sqlite3_stmt* statement = nullptr;
    const std::string idQuery = "SELECT rowid FROM " + quoted + " ORDER BY rowid";
    if (sqlite3_prepare_v2(m_pDatabase->m_db, idQuery.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        m_pDatabase->ThrowError(CString("cannot read the rows of '") + m_source + "'");
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        m_rowIds.push_back(sqlite3_column_int64(statement, 0));
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        m_pDatabase->ThrowError(CString("cannot read the rows of '") + m_source + "'");
}

void CDaoRecordset::ReadViewRows()
{
    sqlite3_stmt* statement = nullptr;
    const std::string query = "SELECT * FROM " + dao::QuoteName(m_source);
    if (sqlite3_prepare_v2(m_pDatabase->m_db, query.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        m_pDatabase->ThrowError(CString("cannot run the query '") + m_source + "'");
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        std::vector<COleVariant> row;
        for (size_t i = 0; i < m_fieldNames.size(); ++i)
            row.push_back(dao::ColumnValue(statement, static_cast<int>(i), m_fieldTypes[i]));
        m_viewRows.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        m_pDatabase->ThrowError(CString("cannot run the query '") + m_source + "'");
}

long CDaoRecordset::RowCount() const { return static_cast<long>(m_isTable ? m_rowIds.size() : m_viewRows.size()); }

long long CDaoRecordset::CurrentRowId() const { return m_rowIds[static_cast<size_t>(m_position)]; }

void CDaoRecordset::LoadRow()
{
    m_current.clear();
    if (m_position < 0 || m_position >= RowCount())
        return;
    if (!m_isTable) {
        m_current = m_viewRows[static_cast<size_t>(m_position)];
        return;
    }
    sqlite3_reset(m_rowQuery);
    sqlite3_bind_int64(m_rowQuery, 1, CurrentRowId());
    const int rc = sqlite3_step(m_rowQuery);
    if (rc == SQLITE_DONE)
        dao::Throw(SQLITE_NOTFOUND, CString("a row of '") + m_source + "' was deleted while the set was open");
    if (rc != SQLITE_ROW)
        m_pDatabase->ThrowError(CString("cannot read a row of '") + m_source + "'");
    for (size_t i = 0; i < m_fieldNames.size(); ++i)
        m_current.push_back(dao::ColumnValue(m_rowQuery, static_cast<int>(i), m_fieldTypes[i]));
    sqlite3_reset(m_rowQuery);
}

void CDaoRecordset::CheckOpen(const char* operation) const
{
    if (!m_open)
        dao::Throw(SQLITE_MISUSE, CString(operation) + ": the record set is not open");
}

void CDaoRecordset::CheckCurrent(const char* operation) const
{
    CheckOpen(operation);
    if (m_position < 0 || m_position >= RowCount())
        dao::Throw(SQLITE_NOTFOUND, CString(operation) + ": there is no current row");
}

void CDaoRecordset::CheckEditable(const char* operation) const
{
    CheckOpen(operation);
    if (m_readOnly)
        dao::Throw(SQLITE_READONLY, CString(operation) + ": '" + m_source + "' is open read-only");
}

BOOL CDaoRecordset::CanUpdate() const { return m_open && !m_readOnly; }

BOOL CDaoRecordset::CanAppend() const { return CanUpdate(); }

BOOL CDaoRecordset::IsBOF() const
{
    CheckOpen("IsBOF");
    return RowCount() == 0 || m_position < 0;
}

BOOL CDaoRecordset::IsEOF() const
{
    CheckOpen("IsEOF");
    return RowCount() == 0 || m_position >= RowCount();
}

void CDaoRecordset::MoveFirst()
{
    CheckOpen("MoveFirst");
    if (RowCount() == 0)
        dao::Throw(SQLITE_NOTFOUND, "MoveFirst: the record set is empty");
    m_position = 0;
    LoadRow();
}

void CDaoRecordset::MoveNext()
{
    CheckCurrent("MoveNext");
    ++m_position;
    LoadRow();
}

void CDaoRecordset::AddNew()
{
    CheckEditable("AddNew");
    m_pending.clear();
    m_editMode = EditMode::addNew;
}

void CDaoRecordset::Edit()
{
    CheckEditable("Edit");
    CheckCurrent("Edit");
    m_pending.clear();
    m_editMode = EditMode::edit;
}

void CDaoRecordset::CancelUpdate()
{
    m_pending.clear();
    m_editMode = EditMode::none;
}

void CDaoRecordset::Update()
{
    CheckEditable("Update");
    if (m_editMode == EditMode::none)
        dao::Throw(SQLITE_MISUSE, "Update without AddNew or Edit");
    m_pDatabase->BeginWrite();
    if (m_editMode == EditMode::addNew)
        StoreNew();
    else
        StoreEdit();
    CancelUpdate();
    LoadRow();
}

void CDaoRecordset::StoreNew()
{
    std::string columns, values;
    for (const PendingValue& value : m_pending) {
        columns += (columns.empty() ? "" : ", ") + dao::QuoteName(m_fieldNames[static_cast<size_t>(value.field)]);
        values += values.empty() ? "?" : ", ?";
    }
    const std::string insert = "INSERT INTO " + dao::QuoteName(m_source) +
                               (m_pending.empty() ? " DEFAULT VALUES" : " (" + columns + ") VALUES (" + values + ")");
    ExecutePending(insert);
    m_lastModified = sqlite3_last_insert_rowid(m_pDatabase->m_db);
    m_rowIds.push_back(m_lastModified);
}

void CDaoRecordset::StoreEdit()
{
    m_lastModified = CurrentRowId();
    if (m_pending.empty())
        return;
    std::string assignments;
    for (const PendingValue& value : m_pending)
        assignments +=
            (assignments.empty() ? "" : ", ") + dao::QuoteName(m_fieldNames[static_cast<size_t>(value.field)]) + " = ?";
    ExecutePending("UPDATE " + dao::QuoteName(m_source) + " SET " + assignments +
                   " WHERE rowid = " + std::to_string(m_lastModified));
}

void CDaoRecordset::ExecutePending(const std::string& sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_pDatabase->m_db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        m_pDatabase->ThrowError(CString("cannot store a row of '") + m_source + "'");
    for (size_t i = 0; i < m_pending.size(); ++i) {
        const int parameter = static_cast<int>(i) + 1;
        const PendingValue& value = m_pending[i];
        if (value.isNull)
            sqlite3_bind_null(statement, parameter);
        else
            sqlite3_bind_text(statement, parameter, value.text.data(), static_cast<int>(value.text.size()),
                              SQLITE_TRANSIENT);
    }
    const int rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        m_pDatabase->ThrowError(CString("cannot store a row of '") + m_source + "'");
}

COleVariant CDaoRecordset::GetBookmark()
{
    CheckCurrent("GetBookmark");
    if (!m_isTable)
        dao::Throw(SQLITE_MISUSE, "GetBookmark: the rows of a query have no bookmarks");
    return MakeBookmark(CurrentRowId());
}

COleVariant CDaoRecordset::GetLastModifiedBookmark()
{
    CheckOpen("GetLastModifiedBookmark");
    if (m_lastModified == 0)
        dao::Throw(SQLITE_NOTFOUND, "GetLastModifiedBookmark: no row was changed or added");
    return MakeBookmark(m_lastModified);
}

void CDaoRecordset::SetBookmark(COleVariant bookmark)
{
    CheckOpen("SetBookmark");
    long long rowId = 0;
    const auto row =
        ReadBookmark(bookmark, rowId) ? std::find(m_rowIds.begin(), m_rowIds.end(), rowId) : m_rowIds.end();
    if (row == m_rowIds.end())
        dao::Throw(SQLITE_NOTFOUND, "SetBookmark: the bookmark names no row of this set");
    m_position = static_cast<long>(row - m_rowIds.begin());
    LoadRow();
}

short CDaoRecordset::GetFieldCount()
{
    CheckOpen("GetFieldCount");
    return static_cast<short>(m_fieldNames.size());
}

void CDaoRecordset::GetFieldInfo(int index, CDaoFieldInfo& info, DWORD /*infoOptions*/)
{
    CheckField(index, "GetFieldInfo");
    const size_t field = static_cast<size_t>(index);
    info.m_strName = m_fieldNames[field];
    info.m_nType = dao::FieldTypeOf(m_fieldTypes[field]);
    info.m_lSize = dao::FieldSizeOf(info.m_nType);
}

COleVariant CDaoRecordset::GetFieldValue(int index)
{
    CheckField(index, "GetFieldValue");
    CheckCurrent("GetFieldValue");
    return m_current[static_cast<size_t>(index)];
}

COleVariant CDaoRecordset::GetFieldValue(LPCTSTR name) { return GetFieldValue(FieldIndex(name)); }

void CDaoRecordset::SetFieldValue(int index, LPCTSTR value)
{
    CheckField(index, "SetFieldValue");
    SetPending(index, value == nullptr, value ? value : "");
}

void CDaoRecordset::SetFieldValue(LPCTSTR name, LPCTSTR value) { SetFieldValue(FieldIndex(name), value); }

void CDaoRecordset::SetFieldValueNull(LPCTSTR name) { SetFieldValue(FieldIndex(name), nullptr); }

void CDaoRecordset::SetPending(int field, bool isNull, const char* text)
{
    if (m_editMode == EditMode::none)
        dao::Throw(SQLITE_MISUSE, "SetFieldValue without AddNew or Edit");
    const auto same = std::find_if(m_pending.begin(), m_pending.end(),
                                   [field](const PendingValue& value) { return value.field == field; });
    if (same != m_pending.end())
        *same = PendingValue{field, isNull, text};
    else
        m_pending.push_back(PendingValue{field, isNull, text});
}

void CDaoRecordset::CheckField(int index, const char* operation) const
{
    CheckOpen(operation);
    if (index < 0 || static_cast<size_t>(index) >= m_fieldNames.size())
        dao::Throw(SQLITE_RANGE, CString(operation) + ": no field " + CString(std::to_string(index).c_str()) + " in '" +
                                     m_source + "'");
}

int CDaoRecordset::FieldIndex(LPCTSTR name) const
{
    CheckOpen("find a field");
    for (size_t i = 0; i < m_fieldNames.size(); ++i) {
        if (m_fieldNames[i].CompareNoCase(name) == 0)
            return static_cast<int>(i);
    }
    dao::Throw(SQLITE_ERROR, CString("no field named '") + (name ? name : "") + "' in '" + m_source + "'");
}
