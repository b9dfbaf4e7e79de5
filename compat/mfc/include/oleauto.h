#pragma once
// Automation values: the variant record, byte strings, currency and dates, and the small set of
// calls that create and release them.
//
// A BSTR here is a length-prefixed byte string, the form the desktop-database engine hands to a
// program built for single-byte text: field texts arrive byte for byte, in whatever encoding the
// database holds them.
#include <windows.h>

typedef double DOUBLE;
typedef unsigned short VARTYPE;
typedef short VARIANT_BOOL;
typedef double DATE;
typedef char* BSTR;
typedef DWORD LCID;
typedef LONG SCODE;

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

#define LANG_USER_DEFAULT 0x0400
#define LOCALE_USER_DEFAULT 0x0400

enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_PTR = 26,
    VT_SAFEARRAY = 27,
    VT_CARRAY = 28,
    VT_USERDEFINED = 29,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_FILETIME = 64,
    VT_BLOB = 65,
    VT_STREAM = 66,
    VT_STORAGE = 67,
    VT_STREAMED_OBJECT = 68,
    VT_STORED_OBJECT = 69,
    VT_BLOB_OBJECT = 70,
    VT_CF = 71,
    VT_CLSID = 72,
    VT_VECTOR = 0x1000,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF
};

// Currency: a 64-bit integer counting ten-thousandths.
typedef union tagCY {
    struct {
        ULONG Lo;
        LONG Hi;
    };
    LONGLONG int64;
} CY;

typedef struct tagSAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
} SAFEARRAYBOUND;

typedef struct tagSAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    PVOID pvData;
    SAFEARRAYBOUND rgsabound[1];
} SAFEARRAY;

typedef struct tagVARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        SAFEARRAY* parray;
        PVOID byref;
    };
} VARIANT, *LPVARIANT;
typedef const VARIANT* LPCVARIANT;

static_assert(sizeof(VARIANT) == 16, "a variant is 16 bytes");

// Byte strings: the length is stored in front of the text, which is always NUL-terminated.
BSTR SysAllocStringByteLen(LPCSTR text, UINT length);
BSTR SysAllocString(LPCSTR text);
UINT SysStringByteLen(BSTR text);
UINT SysStringLen(BSTR text);
void SysFreeString(BSTR text);

// One-dimensional arrays; only byte elements are used.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements);
HRESULT SafeArrayDestroy(SAFEARRAY* array);

void VariantInit(VARIANT* value);
HRESULT VariantClear(VARIANT* value);
HRESULT VariantCopy(VARIANT* destination, const VARIANT* source);
