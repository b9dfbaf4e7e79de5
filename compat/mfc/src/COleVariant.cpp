#include <afxdisp.h>

#include <cstring>
#include <new>

COleVariant::COleVariant(const COleVariant& other) : COleVariant(static_cast<const VARIANT&>(other)) {}

COleVariant::COleVariant(const VARIANT& other)
{
    VariantInit(this);
    if (FAILED(VariantCopy(this, &other)))
        throw std::bad_alloc();
}

COleVariant::COleVariant(LPCTSTR text)
{
    VariantInit(this);
    vt = VT_BSTR;
    bstrVal = SysAllocString(text ? text : "");
}

COleVariant::COleVariant(const CString& text)
{
    VariantInit(this);
    vt = VT_BSTR;
    bstrVal = SysAllocStringByteLen(text, static_cast<UINT>(text.GetLength()));
}

COleVariant::COleVariant(BYTE value)
{
    VariantInit(this);
    vt = VT_UI1;
    bVal = value;
}

COleVariant::COleVariant(short value, VARTYPE type)
{
    VariantInit(this);
    if (type == VT_BOOL) {
        vt = VT_BOOL;
        boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    } else {
        vt = VT_I2;
        iVal = value;
    }
}

COleVariant::COleVariant(long value, VARTYPE type)
{
    VariantInit(this);
    if (type == VT_BOOL) {
        vt = VT_BOOL;
        boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    } else {
        vt = type == VT_ERROR ? VT_ERROR : VT_I4;
        lVal = value;
    }
}

COleVariant::COleVariant(float value)
{
    VariantInit(this);
    vt = VT_R4;
    fltVal = value;
}

COleVariant::COleVariant(double value)
{
    VariantInit(this);
    vt = VT_R8;
    dblVal = value;
}

COleVariant::COleVariant(const COleCurrency& value)
{
    VariantInit(this);
    vt = VT_CY;
    cyVal = value.m_cur;
}

COleVariant::COleVariant(const COleDateTime& value)
{
    VariantInit(this);
    vt = VT_DATE;
    date = value.m_dt;
}

COleVariant& COleVariant::operator=(const COleVariant& other) { return *this = static_cast<const VARIANT&>(other); }

COleVariant& COleVariant::operator=(const VARIANT& other)
{
    if (FAILED(VariantCopy(this, &other)))
        throw std::bad_alloc();
    return *this;
}
