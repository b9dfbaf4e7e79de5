#include <afxdisp.h>

#include <cmath>
#include <ctime>
#include <vector>

namespace {

// Day 0 of the automation calendar, 30 December 1899, counted from 1 January 1970.
constexpr long kEpochOffset = 25569;
// The years the class library accepts.
constexpr int kFirstYear = 100;
constexpr int kLastYear = 9999;

struct DateParts {
    int year, month, day, hour, minute, second, weekday, yearDay;
};

// Proleptic Gregorian calendar conversions (days relative to 1 January 1970).
long DaysFromCivil(long year, int month, int day)
{
    year -= month <= 2;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yearOfEra = year - era * 400;
    const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(long days, int& year, int& month, int& day)
{
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long dayOfEra = days - era * 146097;
    const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

// The integral part counts days in either direction; the fraction is always the time of day
// after that day's midnight, so -1.25 is 29 December 1899, 6 a.m.
bool Split(DATE value, DateParts& parts)
{
    if (!std::isfinite(value) || std::fabs(value) > 3e6)
        return false;
    long day = static_cast<long>(std::trunc(value));
    long seconds = std::lround(std::fabs(value - static_cast<double>(day)) * 86400.0);
    if (seconds >= 86400) {
        ++day;
        seconds -= 86400;
    }
    const long days = day - kEpochOffset;
    CivilFromDays(days, parts.year, parts.month, parts.day);
    if (parts.year < kFirstYear || parts.year > kLastYear)
        return false;
    parts.hour = static_cast<int>(seconds / 3600);
    parts.minute = static_cast<int>(seconds / 60 % 60);
    parts.second = static_cast<int>(seconds % 60);
    parts.weekday = static_cast<int>(((days % 7) + 11) % 7); // 1 January 1970 was a Thursday
    parts.yearDay = static_cast<int>(days - DaysFromCivil(parts.year, 1, 1));
    return true;
}

// One part of a date, or -1 for an invalid one.
int PartOf(const COleDateTime& value, int DateParts::*part)
{
    DateParts parts;
    return value.m_status == COleDateTime::valid && Split(value.m_dt, parts) ? parts.*part : -1;
}

} // namespace

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second)
{
    const bool inRange = year >= kFirstYear && year <= kLastYear && month >= 1 && month <= 12 && day >= 1 &&
                         hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
    int checkYear = 0, checkMonth = 0, checkDay = 0;
    const long days = inRange ? DaysFromCivil(year, month, day) : 0;
    if (inRange)
        CivilFromDays(days, checkYear, checkMonth, checkDay);
    if (!inRange || checkDay != day) {
        m_status = invalid;
        return;
    }
    const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
    const long oleDay = days + kEpochOffset;
    m_dt = oleDay >= 0 ? oleDay + time : oleDay - time;
}

int COleDateTime::GetYear() const { return PartOf(*this, &DateParts::year); }
int COleDateTime::GetMonth() const { return PartOf(*this, &DateParts::month); }
int COleDateTime::GetDay() const { return PartOf(*this, &DateParts::day); }
int COleDateTime::GetHour() const { return PartOf(*this, &DateParts::hour); }
int COleDateTime::GetMinute() const { return PartOf(*this, &DateParts::minute); }
int COleDateTime::GetSecond() const { return PartOf(*this, &DateParts::second); }

CString COleDateTime::Format(LPCTSTR format) const
{
    DateParts parts;
    if (m_status != valid || !format || !*format || !Split(m_dt, parts))
        return CString();
    std::tm broken{};
    broken.tm_year = parts.year - 1900;
    broken.tm_mon = parts.month - 1;
    broken.tm_mday = parts.day;
    broken.tm_hour = parts.hour;
    broken.tm_min = parts.minute;
    broken.tm_sec = parts.second;
    broken.tm_wday = parts.weekday;
    broken.tm_yday = parts.yearDay;
    broken.tm_isdst = -1;
    // strftime reports only "did not fit", so the buffer grows until the text fits.
    for (size_t size = 128; size <= 65536; size *= 4) {
        std::vector<char> buffer(size);
        const size_t length = std::strftime(buffer.data(), size, format, &broken);
        if (length > 0)
            return CString(buffer.data(), static_cast<int>(length));
    }
    return CString();
}
