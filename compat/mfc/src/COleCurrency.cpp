#include <afxdisp.h>

#include <cstdio>
#include <cstring>

COleCurrency::COleCurrency(LONG units, LONG fractionalUnits)
{
    m_cur.int64 = static_cast<LONGLONG>(units) * 10000 + fractionalUnits;
}

CString COleCurrency::Format(DWORD /*flags*/, LCID /*locale*/) const
{
    if (m_status != valid)
        return CString();
    const LONGLONG value = m_cur.int64;
    // Worked on the magnitude as unsigned so that the most negative value has one too.
    const unsigned long long magnitude =
        value < 0 ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    char text[48];
    int length =
        std::snprintf(text, sizeof text, "%s%llu.%04llu", value < 0 ? "-" : "", magnitude / 10000, magnitude % 10000);
    while (text[length - 1] == '0')
        text[--length] = '\0';
    if (text[length - 1] == '.')
        text[--length] = '\0';
    return CString(text, length);
}
