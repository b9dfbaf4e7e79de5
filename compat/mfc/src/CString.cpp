#include <afx.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <strings.h>
#include <vector>

namespace {

bool IsSpace(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

// Case changes are ASCII-only so that a text's bytes never depend on the process locale.
char AsciiUpper(char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch; }
char AsciiLower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

const char* OrEmpty(LPCTSTR text) { return text ? text : ""; }

int Clamp(int value, int low, int high) { return std::max(low, std::min(value, high)); }

} // namespace

CString::CString(LPCTSTR text) : m_text(OrEmpty(text)) {}

CString::CString(LPCTSTR text, int length)
{
    if (text && length > 0)
        m_text.assign(text, static_cast<size_t>(length));
}

CString::CString(TCHAR ch, int repeat)
{
    if (repeat > 0)
        m_text.assign(static_cast<size_t>(repeat), ch);
}

CString& CString::operator=(LPCTSTR text)
{
    // The text may point into this string's own buffer.
    std::string copy(OrEmpty(text));
    m_text.swap(copy);
    return *this;
}

CString& CString::operator=(TCHAR ch)
{
    m_text.assign(1, ch);
    return *this;
}

CString& CString::operator+=(const CString& other)
{
    m_text += other.m_text;
    return *this;
}

CString& CString::operator+=(LPCTSTR text)
{
    m_text += std::string(OrEmpty(text));
    return *this;
}

CString& CString::operator+=(TCHAR ch)
{
    m_text += ch;
    return *this;
}

TCHAR CString::GetAt(int index) const
{
    if (index < 0 || index >= GetLength())
        throw std::out_of_range("CString::GetAt: index " + std::to_string(index) + " outside a text of " +
                                std::to_string(GetLength()) + " characters");
    return m_text[static_cast<size_t>(index)];
}

void CString::SetAt(int index, TCHAR ch)
{
    if (index < 0 || index >= GetLength())
        throw std::out_of_range("CString::SetAt: index " + std::to_string(index) + " outside a text of " +
                                std::to_string(GetLength()) + " characters");
    m_text[static_cast<size_t>(index)] = ch;
}

int CString::Compare(LPCTSTR text) const { return std::strcmp(m_text.c_str(), OrEmpty(text)); }

int CString::CompareNoCase(LPCTSTR text) const { return strcasecmp(m_text.c_str(), OrEmpty(text)); }

int CString::Collate(LPCTSTR text) const { return std::strcoll(m_text.c_str(), OrEmpty(text)); }

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const
{
    first = Clamp(first, 0, GetLength());
    count = Clamp(count, 0, GetLength() - first);
    return CString(m_text.data() + first, count);
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const
{
    count = Clamp(count, 0, GetLength());
    return Mid(GetLength() - count, count);
}

CString CString::SpanIncluding(LPCTSTR charSet) const
{
    return Left(static_cast<int>(std::strspn(m_text.c_str(), OrEmpty(charSet))));
}

CString CString::SpanExcluding(LPCTSTR charSet) const
{
    return Left(static_cast<int>(std::strcspn(m_text.c_str(), OrEmpty(charSet))));
}

void CString::MakeUpper() { std::transform(m_text.begin(), m_text.end(), m_text.begin(), AsciiUpper); }

void CString::MakeLower() { std::transform(m_text.begin(), m_text.end(), m_text.begin(), AsciiLower); }

void CString::MakeReverse() { std::reverse(m_text.begin(), m_text.end()); }

int CString::Replace(TCHAR oldCh, TCHAR newCh)
{
    int count = 0;
    for (char& ch : m_text) {
        if (ch == oldCh) {
            ch = newCh;
            ++count;
        }
    }
    return count;
}

int CString::Replace(LPCTSTR oldText, LPCTSTR newText)
{
    const std::string from(OrEmpty(oldText));
    const std::string to(OrEmpty(newText));
    if (from.empty())
        return 0;
    int count = 0;
    std::string result;
    size_t pos = 0;
    for (size_t hit; (hit = m_text.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
        result.append(m_text, pos, hit - pos).append(to);
        ++count;
    }
    result.append(m_text, pos, std::string::npos);
    m_text.swap(result);
    return count;
}

int CString::Remove(TCHAR ch)
{
    const size_t before = m_text.size();
    m_text.erase(std::remove(m_text.begin(), m_text.end(), ch), m_text.end());
    return static_cast<int>(before - m_text.size());
}

int CString::Insert(int index, TCHAR ch)
{
    m_text.insert(static_cast<size_t>(Clamp(index, 0, GetLength())), 1, ch);
    return GetLength();
}

int CString::Insert(int index, LPCTSTR text)
{
    m_text.insert(static_cast<size_t>(Clamp(index, 0, GetLength())), std::string(OrEmpty(text)));
    return GetLength();
}

int CString::Delete(int index, int count)
{
    if (index >= 0 && index < GetLength() && count > 0)
        m_text.erase(static_cast<size_t>(index), static_cast<size_t>(std::min(count, GetLength() - index)));
    return GetLength();
}

int CString::Find(TCHAR ch, int start) const
{
    if (start < 0 || start >= GetLength())
        return -1;
    const size_t hit = m_text.find(ch, static_cast<size_t>(start));
    return hit == std::string::npos ? -1 : static_cast<int>(hit);
}

int CString::Find(LPCTSTR sub, int start) const
{
    if (start < 0 || start > GetLength())
        return -1;
    const size_t hit = m_text.find(OrEmpty(sub), static_cast<size_t>(start));
    return hit == std::string::npos ? -1 : static_cast<int>(hit);
}

int CString::ReverseFind(TCHAR ch) const
{
    const size_t hit = m_text.rfind(ch);
    return hit == std::string::npos ? -1 : static_cast<int>(hit);
}

int CString::FindOneOf(LPCTSTR charSet) const
{
    const std::string set(OrEmpty(charSet));
    if (set.empty())
        return -1;
    const size_t hit = m_text.find_first_of(set);
    return hit == std::string::npos ? -1 : static_cast<int>(hit);
}

void CString::Format(LPCTSTR format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(LPCTSTR format, va_list args)
{
    // Formatted into a separate buffer: the arguments may be this string's own text.
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, OrEmpty(format), measure);
    va_end(measure);
    if (length <= 0) {
        m_text.clear();
        return;
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), OrEmpty(format), args);
    m_text.assign(buffer.data(), static_cast<size_t>(length));
}

void CString::TrimLeft() { m_text.erase(m_text.begin(), std::find_if_not(m_text.begin(), m_text.end(), IsSpace)); }

void CString::TrimLeft(TCHAR ch) { m_text.erase(0, m_text.find_first_not_of(ch)); }

void CString::TrimLeft(LPCTSTR charSet) { m_text.erase(0, m_text.find_first_not_of(OrEmpty(charSet))); }

void CString::TrimRight()
{
    m_text.erase(std::find_if_not(m_text.rbegin(), m_text.rend(), IsSpace).base(), m_text.end());
}

void CString::TrimRight(TCHAR ch)
{
    const size_t last = m_text.find_last_not_of(ch);
    m_text.erase(last == std::string::npos ? 0 : last + 1);
}

void CString::TrimRight(LPCTSTR charSet)
{
    const size_t last = m_text.find_last_not_of(OrEmpty(charSet));
    m_text.erase(last == std::string::npos ? 0 : last + 1);
}

LPTSTR CString::GetBuffer(int minLength)
{
    if (minLength > GetLength())
        m_text.resize(static_cast<size_t>(minLength), '\0');
    return &m_text[0];
}

LPTSTR CString::GetBufferSetLength(int length)
{
    m_text.resize(static_cast<size_t>(std::max(length, 0)), '\0');
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength)
{
    const size_t held = m_text.size();
    const size_t length =
        newLength < 0 ? strnlen(m_text.c_str(), held) : std::min(static_cast<size_t>(newLength), held);
    m_text.resize(length);
}

CString operator+(const CString& a, const CString& b)
{
    CString result(a);
    result += b;
    return result;
}

CString operator+(const CString& a, LPCTSTR b)
{
    CString result(a);
    result += b;
    return result;
}

CString operator+(LPCTSTR a, const CString& b)
{
    CString result(a);
    result += b;
    return result;
}

CString operator+(const CString& a, TCHAR b)
{
    CString result(a);
    result += b;
    return result;
}

CString operator+(TCHAR a, const CString& b)
{
    CString result(a);
    result += b;
    return result;
}
