#pragma once
// The class library's string: a byte string that owns its text, keeps its length (so it may
// hold NUL bytes) and always stays NUL-terminated, so it converts to a C string at no cost.
#include <windows.h>

#include <cstdarg>
#include <string>

class CString {
public:
    CString() = default;
    CString(const CString& other) = default;
    CString(CString&& other) noexcept = default;
    CString(LPCTSTR text);
    CString(LPCTSTR text, int length);
    CString(TCHAR ch, int repeat = 1);
    ~CString() = default;

    CString& operator=(const CString& other) = default;
    CString& operator=(CString&& other) noexcept = default;
    CString& operator=(LPCTSTR text);
    CString& operator=(TCHAR ch);

    CString& operator+=(const CString& other);
    CString& operator+=(LPCTSTR text);
    CString& operator+=(TCHAR ch);

    int GetLength() const { return static_cast<int>(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }

    // Indexing outside 0..GetLength()-1 throws std::out_of_range.
    TCHAR GetAt(int index) const;
    void SetAt(int index, TCHAR ch);
    TCHAR operator[](int index) const { return GetAt(index); }
    operator LPCTSTR() const { return m_text.c_str(); }

    int Compare(LPCTSTR text) const;
    int CompareNoCase(LPCTSTR text) const;
    int Collate(LPCTSTR text) const;

    // Positions and counts are clamped to the string, as callers rely on.
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;
    CString SpanIncluding(LPCTSTR charSet) const;
    CString SpanExcluding(LPCTSTR charSet) const;

    void MakeUpper();
    void MakeLower();
    void MakeReverse();

    int Replace(TCHAR oldCh, TCHAR newCh);
    int Replace(LPCTSTR oldText, LPCTSTR newText);
    int Remove(TCHAR ch);
    int Insert(int index, TCHAR ch);
    int Insert(int index, LPCTSTR text);
    int Delete(int index, int count = 1);

    // Searches return the index found or -1.
    int Find(TCHAR ch, int start = 0) const;
    int Find(LPCTSTR sub, int start = 0) const;
    int ReverseFind(TCHAR ch) const;
    int FindOneOf(LPCTSTR charSet) const;

    void Format(LPCTSTR format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(LPCTSTR format, va_list args);

    void TrimLeft();
    void TrimLeft(TCHAR ch);
    void TrimLeft(LPCTSTR charSet);
    void TrimRight();
    void TrimRight(TCHAR ch);
    void TrimRight(LPCTSTR charSet);

    // Direct access for C functions that fill the text: the buffer holds at least minLength
    // characters plus a NUL and keeps the current text. ReleaseBuffer(-1) takes the length up
    // to the first NUL; a given length cuts the text there.
    LPTSTR GetBuffer(int minLength);
    LPTSTR GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);
    void FreeExtra() { m_text.shrink_to_fit(); }

private:
    std::string m_text;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, LPCTSTR b);
CString operator+(LPCTSTR a, const CString& b);
CString operator+(const CString& a, TCHAR b);
CString operator+(TCHAR a, const CString& b);

inline bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
inline bool operator==(const CString& a, LPCTSTR b) { return a.Compare(b) == 0; }
inline bool operator==(LPCTSTR a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }
inline bool operator!=(const CString& a, LPCTSTR b) { return a.Compare(b) != 0; }
inline bool operator!=(LPCTSTR a, const CString& b) { return b.Compare(a) != 0; }
inline bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
inline bool operator<(const CString& a, LPCTSTR b) { return a.Compare(b) < 0; }
inline bool operator<(LPCTSTR a, const CString& b) { return b.Compare(a) > 0; }
inline bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }
inline bool operator>(const CString& a, LPCTSTR b) { return a.Compare(b) > 0; }
inline bool operator>(LPCTSTR a, const CString& b) { return b.Compare(a) < 0; }
inline bool operator<=(const CString& a, const CString& b) { return a.Compare(b) <= 0; }
inline bool operator<=(const CString& a, LPCTSTR b) { return a.Compare(b) <= 0; }
inline bool operator<=(LPCTSTR a, const CString& b) { return b.Compare(a) >= 0; }
inline bool operator>=(const CString& a, const CString& b) { return a.Compare(b) >= 0; }
inline bool operator>=(const CString& a, LPCTSTR b) { return a.Compare(b) >= 0; }
inline bool operator>=(LPCTSTR a, const CString& b) { return b.Compare(a) <= 0; }

// The program module's state. m_dwVersion names the class-library version the program asks for;
// the database engine is chosen by it when AfxDaoInit runs.
struct AFX_MODULE_STATE {
    DWORD m_dwVersion;
};

AFX_MODULE_STATE* AfxGetModuleState();
