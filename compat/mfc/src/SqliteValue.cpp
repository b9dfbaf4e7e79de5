#include "SqliteValue.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace dao {
namespace {

bool Names(const std::string& upperType, const char* word) { return upperType.find(word) != std::string::npos; }

std::string Upper(const std::string& text)
{
    std::string result(text);
    for (char& ch : result)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return result;
}

// Julian day number of 30 December 1899, 00:00, the first day of the automation calendar.
constexpr double kJulianOfDayZero = 2415018.5;

// ISO 8601 dates as SQLite's date functions write them: "YYYY-MM-DD", optionally followed by
// " HH:MM" or "THH:MM" with optional seconds.
bool ParseIsoDate(const char* text, COleDateTime& value)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, consumed = 0;
    double second = 0;
    if (std::sscanf(text, "%4d-%2d-%2d%n", &year, &month, &day, &consumed) != 3)
        return false;
    const char* rest = text + consumed;
    if (*rest == ' ' || *rest == 'T') {
        int timeConsumed = 0;
        if (std::sscanf(rest + 1, "%2d:%2d%n", &hour, &minute, &timeConsumed) != 2)
            return false;
        rest += 1 + timeConsumed;
        if (*rest == ':') {
            int secondsConsumed = 0;
            if (std::sscanf(rest + 1, "%lf%n", &second, &secondsConsumed) != 1)
                return false;
            rest += 1 + secondsConsumed;
        }
    }
    if (*rest != '\0')
        return false;
    value = COleDateTime(year, month, day, hour, minute, static_cast<int>(second));
    return value.m_status == COleDateTime::valid;
}

COleVariant RealValue(double value, short fieldType)
{
    if (fieldType == dbCurrency && std::fabs(value) < 9e14) {
        CY money;
        money.int64 = std::llround(value * 10000.0);
        return COleVariant(COleCurrency(money));
    }
    if (fieldType == dbDate) {
        const COleDateTime date(value - kJulianOfDayZero);
        return COleVariant(date);
    }
    if (fieldType == dbSingle)
        return COleVariant(static_cast<float>(value));
    return COleVariant(value);
}

COleVariant IntegerValue(sqlite3_int64 value, short fieldType)
{
    if (fieldType == dbDate)
        return RealValue(static_cast<double>(value), fieldType);
    if (fieldType == dbBoolean)
        return COleVariant(static_cast<long>(value != 0), VT_BOOL);
    if (fieldType == dbByte && value >= 0 && value <= 255)
        return COleVariant(static_cast<BYTE>(value));
    if (fieldType == dbInteger && value >= SHRT_MIN && value <= SHRT_MAX)
        return COleVariant(static_cast<short>(value));
    if (fieldType == dbCurrency && value >= LLONG_MIN / 10000 && value <= LLONG_MAX / 10000) {
        CY money;
        money.int64 = value * 10000;
        return COleVariant(COleCurrency(money));
    }
    if (value >= LONG_MIN && value <= LONG_MAX)
        return COleVariant(static_cast<long>(value));
    // Wider than any variant integer the database classes know: kept exactly, as text.
    char text[32];
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    return COleVariant(text);
}

COleVariant BlobValue(const void* bytes, int length)
{
    COleVariant value;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(length));
    if (!array)
        Throw(SQLITE_NOMEM, "out of memory reading binary data");
    if (length > 0)
        std::memcpy(array->pvData, bytes, static_cast<size_t>(length));
    value.vt = VT_ARRAY | VT_UI1;
    value.parray = array;
    return value;
}

} // namespace

short FieldTypeOf(const std::string& declaredType)
{
    const std::string type = Upper(declaredType);
    if (Names(type, "BOOL") || Names(type, "YESNO") || type == "BIT")
        return dbBoolean;
    if (Names(type, "DATE") || Names(type, "TIME"))
        return dbDate;
    if (Names(type, "CURRENCY") || Names(type, "MONEY"))
        return dbCurrency;
    if (Names(type, "TINYINT") || type == "BYTE")
        return dbByte;
    if (Names(type, "SMALLINT") || type == "SHORT")
        return dbInteger;
    if (Names(type, "INT"))
        return dbLong;
    if (type == "SINGLE")
        return dbSingle;
    if (Names(type, "REAL") || Names(type, "FLOA") || Names(type, "DOUB") || Names(type, "NUMERIC"))
        return dbDouble;
    if (Names(type, "BLOB") || Names(type, "BINARY"))
        return dbLongBinary;
    return dbText;
}

long FieldSizeOf(short fieldType)
{
    switch (fieldType) {
    case dbBoolean:
    case dbByte:
        return 1;
    case dbInteger:
        return 2;
    case dbLong:
    case dbSingle:
        return 4;
    case dbCurrency:
    case dbDouble:
    case dbDate:
        return 8;
    default:
        return 0;
    }
}

COleVariant ColumnValue(sqlite3_stmt* statement, int column, const std::string& declaredType)
{
    const short fieldType = FieldTypeOf(declaredType);
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL: {
        COleVariant value;
        value.vt = VT_NULL;
        return value;
    }
    case SQLITE_INTEGER:
        return IntegerValue(sqlite3_column_int64(statement, column), fieldType);
    case SQLITE_FLOAT:
        return RealValue(sqlite3_column_double(statement, column), fieldType);
    case SQLITE_BLOB: {
        const void* bytes = sqlite3_column_blob(statement, column);
        return BlobValue(bytes, sqlite3_column_bytes(statement, column));
    }
    default: {
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        const int length = sqlite3_column_bytes(statement, column);
        COleDateTime date;
        if (fieldType == dbDate && text && ParseIsoDate(text, date))
            return COleVariant(date);
        return COleVariant(CString(text, length));
    }
    }
}

std::string QuoteName(LPCTSTR name)
{
    std::string quoted("\"");
    for (const char* p = name ? name : ""; *p; ++p) {
        if (*p == '"')
            quoted += '"';
        quoted += *p;
    }
    return quoted + '"';
}

void Throw(long errorCode, const CString& description) { throw new CDaoException(errorCode, description); }

} // namespace dao
