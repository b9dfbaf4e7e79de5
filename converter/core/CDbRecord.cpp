#include "converter/core/CDbRecord.h"

#include "converter/core/DaoErrorText.h"
#include "core/output/ZOutput.h"

#include <cstdio>

namespace {

// The standard names of the variant types VT_EMPTY to VT_CLSID; null where no type has the number.
const char* TypeName(VARTYPE type)
{
    switch (type) {
    case VT_EMPTY:
        return "VT_EMPTY";
    case VT_NULL:
        return "VT_NULL";
    case VT_I2:
        return "VT_I2";
    case VT_I4:
        return "VT_I4";
    case VT_R4:
        return "VT_R4";
    case VT_R8:
        return "VT_R8";
    case VT_CY:
        return "VT_CY";
    case VT_DATE:
        return "VT_DATE";
    case VT_BSTR:
        return "VT_BSTR";
    case VT_DISPATCH:
        return "VT_DISPATCH";
    case VT_ERROR:
        return "VT_ERROR";
    case VT_BOOL:
        return "VT_BOOL";
    case VT_VARIANT:
        return "VT_VARIANT";
    case VT_UNKNOWN:
        return "VT_UNKNOWN";
    case VT_I1:
        return "VT_I1";
    case VT_UI1:
        return "VT_UI1";
    case VT_UI2:
        return "VT_UI2";
    case VT_UI4:
        return "VT_UI4";
    case VT_I8:
        return "VT_I8";
    case VT_UI8:
        return "VT_UI8";
    case VT_INT:
        return "VT_INT";
    case VT_UINT:
        return "VT_UINT";
    case VT_VOID:
        return "VT_VOID";
    case VT_HRESULT:
        return "VT_HRESULT";
    case VT_PTR:
        return "VT_PTR";
    case VT_SAFEARRAY:
        return "VT_SAFEARRAY";
    case VT_CARRAY:
        return "VT_CARRAY";
    case VT_USERDEFINED:
        return "VT_USERDEFINED";
    case VT_LPSTR:
        return "VT_LPSTR";
    case VT_LPWSTR:
        return "VT_LPWSTR";
    case VT_FILETIME:
        return "VT_FILETIME";
    case VT_BLOB:
        return "VT_BLOB";
    case VT_STREAM:
        return "VT_STREAM";
    case VT_STORAGE:
        return "VT_STORAGE";
    case VT_STREAMED_OBJECT:
        return "VT_STREAMED_OBJECT";
    case VT_STORED_OBJECT:
        return "VT_STORED_OBJECT";
    case VT_BLOB_OBJECT:
        return "VT_BLOB_OBJECT";
    case VT_CF:
        return "VT_CF";
    case VT_CLSID:
        return "VT_CLSID";
    default:
        return nullptr;
    }
}

// A plain value's text.
CString ScalarText(const COleVariant& value, VARTYPE type, bool nullMarker)
{
    CString text;
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
        return nullMarker ? CString("--") : CString();
    case VT_I2:
        text.Format("%hd", value.iVal);
        return text;
    case VT_I4:
        text.Format("%d", static_cast<int>(value.lVal));
        return text;
    case VT_R4:
        text.Format("%g", static_cast<double>(value.fltVal));
        return text;
    case VT_R8:
        text.Format("%g", value.dblVal);
        return text;
    case VT_CY:
        return COleCurrency(value.cyVal).Format(0, LANG_USER_DEFAULT);
    case VT_DATE:
        return COleDateTime(value.date).Format("%m %d %y");
    case VT_BSTR:
        return CString(value.bstrVal, static_cast<int>(SysStringByteLen(value.bstrVal)));
    case VT_BOOL:
        return CString(value.boolVal ? "1" : "0");
    case VT_UI1:
        text.Format("0x%02hX", static_cast<unsigned short>(value.bVal));
        return text;
    default:
        // The remaining named types read as their name; unknown numbers read empty.
        return CString(TypeName(type));
    }
}

} // namespace

CString VariantText(const COleVariant& value, bool nullMarker)
{
    const VARTYPE type = value.vt & ~(VT_ARRAY | VT_BYREF);
    if (!(value.vt & (VT_ARRAY | VT_BYREF)))
        return ScalarText(value, type, nullMarker);
    CString text;
    if (value.vt & VT_ARRAY)
        text = "Array of ";
    if (value.vt & VT_BYREF)
        text += "Pointer to ";
    text += TypeName(type);
    return text;
}

CDbRecord::CDbRecord(CDaoRecordset* recordSet) : m_pRecordSet(recordSet)
{
    try {
        const int count = m_pRecordSet->GetFieldCount();
        for (int i = 0; i < count; ++i) {
            CDaoFieldInfo info;
            m_pRecordSet->GetFieldInfo(i, info, AFX_DAO_PRIMARY_INFO);
            m_FieldNames.Add(info.m_strName);
        }
    } catch (CDaoException* error) {
        const CString text = DaoErrorText(error);
        vbail("error: %s\nConstruct Record\n", static_cast<LPCTSTR>(text));
    }
}

CString CDbRecord::GetValue(int field, bool nullMarker)
{
    try {
        COleVariant value = m_pRecordSet->GetFieldValue(field);
        const CString text = VariantText(value, nullMarker);
        value.Clear();
        return text;
    } catch (CDaoException* error) {
        const CString text = DaoErrorText(error);
        vbail("error: %s\nGetValue()", static_cast<LPCTSTR>(text));
    }
}

CString CDbRecord::GetValue(const char* name, bool nullMarker)
{
    for (int i = 0; i < m_FieldNames.GetSize(); ++i) {
        if (*m_FieldNames[i] == name)
            return GetValue(i, nullMarker);
    }
    vbail("error: no field named %s in database!\n", name);
}

void CDbRecord::SetValue(const char* name, const char* text)
{
    try {
        m_pRecordSet->Edit();
        m_pRecordSet->SetFieldValue(name, text);
        m_pRecordSet->Update();
    } catch (CDaoException* error) {
        const CString description = DaoErrorText(error);
        vbail("error: %s\nSetValue()", static_cast<LPCTSTR>(description));
    }
}

void CDbRecord::Print()
{
    printf("\n");
    for (int i = 0; i < m_FieldNames.GetSize(); ++i) {
        const CString value = GetValue(i, false);
        printf("%20s : %s\n", static_cast<LPCTSTR>(*m_FieldNames[i]), static_cast<LPCTSTR>(value));
    }
}
