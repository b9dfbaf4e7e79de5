#pragma once
// The class library's automation value classes: a variant that owns what it holds, currency
// and date values with their text forms.
#include <afx.h>
#include <oleauto.h>

class COleCurrency {
public:
    enum CurrencyStatus { valid = 0, invalid = 1, null = 2 };

    COleCurrency() { m_cur.int64 = 0; }
    COleCurrency(CY value) : m_cur(value) {}
    COleCurrency(LONG units, LONG fractionalUnits);

    // The shortest decimal form with a full stop, such as "12.5" or "-0.0001".
    CString Format(DWORD flags = 0, LCID locale = LANG_USER_DEFAULT) const;

    CY m_cur;
    CurrencyStatus m_status = valid;
};

class COleDateTime {
public:
    enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

    COleDateTime() = default;
    COleDateTime(DATE value) : m_dt(value) {}
    COleDateTime(int year, int month, int day, int hour, int minute, int second);

    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;

    // strftime's conversions over this date; an invalid date formats as an empty text.
    CString Format(LPCTSTR format) const;

    // Days since 30 December 1899; the fraction is the time of day.
    DATE m_dt = 0.0;
    DateTimeStatus m_status = valid;
};

class COleVariant : public tagVARIANT {
public:
    COleVariant() { VariantInit(this); }
    COleVariant(const COleVariant& other);
    COleVariant(const VARIANT& other);
    COleVariant(LPCTSTR text);
    COleVariant(const CString& text);
    COleVariant(BYTE value);
    // A short or long may also be given as VT_BOOL.
    COleVariant(short value, VARTYPE vt = VT_I2);
    COleVariant(long value, VARTYPE vt = VT_I4);
    COleVariant(float value);
    COleVariant(double value);
    COleVariant(const COleCurrency& value);
    COleVariant(const COleDateTime& value);
    ~COleVariant() { VariantClear(this); }

    COleVariant& operator=(const COleVariant& other);
    COleVariant& operator=(const VARIANT& other);

    void Clear() { VariantClear(this); }
};
