#pragma once
// How SQLite's dynamically typed values are seen through the database classes: a column's
// declared type picks the variant type, and the value's own storage decides where the two
// disagree, so that no stored value is lost in the conversion.
#include <afxdao.h>

#include <sqlite3.h>

#include <string>

namespace dao {

// The field type a declared column type stands for (dbText when it names none).
short FieldTypeOf(const std::string& declaredType);
long FieldSizeOf(short fieldType);

// The value of one column of the statement's current row.
COleVariant ColumnValue(sqlite3_stmt* statement, int column, const std::string& declaredType);

// A name as a quoted SQL identifier.
std::string QuoteName(LPCTSTR name);

[[noreturn]] void Throw(long errorCode, const CString& description);

} // namespace dao
