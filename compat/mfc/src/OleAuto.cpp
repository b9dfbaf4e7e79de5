#include <oleauto.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// A byte string's block: the length word, then the bytes and a terminating NUL.
UINT* BlockOf(BSTR text) { return reinterpret_cast<UINT*>(text) - 1; }

ULONG ElementSize(VARTYPE vt)
{
    switch (vt) {
    case VT_UI1:
    case VT_I1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
        return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
        return 8;
    default:
        return 0;
    }
}

} // namespace

BSTR SysAllocStringByteLen(LPCSTR text, UINT length)
{
    UINT* block = static_cast<UINT*>(std::malloc(sizeof(UINT) + length + 1));
    if (!block)
        return nullptr;
    *block = length;
    char* bytes = reinterpret_cast<char*>(block + 1);
    if (text)
        std::memcpy(bytes, text, length);
    else
        std::memset(bytes, 0, length);
    bytes[length] = '\0';
    return bytes;
}

BSTR SysAllocString(LPCSTR text)
{
    return text ? SysAllocStringByteLen(text, static_cast<UINT>(std::strlen(text))) : nullptr;
}

UINT SysStringByteLen(BSTR text) { return text ? *BlockOf(text) : 0; }

UINT SysStringLen(BSTR text) { return SysStringByteLen(text); }

void SysFreeString(BSTR text)
{
    if (text)
        std::free(BlockOf(text));
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements)
{
    const ULONG size = ElementSize(vt);
    if (size == 0 || elements > 0x7FFFFFFFu / size)
        return nullptr;
    SAFEARRAY* array = new (std::nothrow) SAFEARRAY{};
    if (!array)
        return nullptr;
    array->cDims = 1;
    array->cbElements = size;
    array->rgsabound[0].cElements = elements;
    array->rgsabound[0].lLbound = lowerBound;
    array->pvData = std::calloc(elements ? elements : 1, size);
    if (!array->pvData) {
        delete array;
        return nullptr;
    }
    return array;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array)
{
    if (array) {
        std::free(array->pvData);
        delete array;
    }
    return S_OK;
}

void VariantInit(VARIANT* value)
{
    std::memset(value, 0, sizeof(VARIANT));
    value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value)
{
    if (!value)
        return E_INVALIDARG;
    if (!(value->vt & VT_BYREF)) {
        if (value->vt & VT_ARRAY)
            SafeArrayDestroy(value->parray);
        else if (value->vt == VT_BSTR)
            SysFreeString(value->bstrVal);
    }
    VariantInit(value);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* destination, const VARIANT* source)
{
    if (!destination || !source)
        return E_INVALIDARG;
    if (destination == source)
        return S_OK;
    VARIANT copy = *source;
    if (!(source->vt & VT_BYREF)) {
        if (source->vt & VT_ARRAY) {
            const SAFEARRAY* from = source->parray;
            copy.parray = from ? SafeArrayCreateVector(source->vt & VT_TYPEMASK, from->rgsabound[0].lLbound,
                                                       from->rgsabound[0].cElements)
                               : nullptr;
            if (from && !copy.parray)
                return E_OUTOFMEMORY;
            if (from)
                std::memcpy(copy.parray->pvData, from->pvData, from->rgsabound[0].cElements * from->cbElements);
        } else if (source->vt == VT_BSTR && source->bstrVal) {
            copy.bstrVal = SysAllocStringByteLen(source->bstrVal, SysStringByteLen(source->bstrVal));
            if (!copy.bstrVal)
                return E_OUTOFMEMORY;
        }
    }
    VariantClear(destination);
    *destination = copy;
    return S_OK;
}
