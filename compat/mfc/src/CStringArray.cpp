#include <afxcoll.h>

#include <stdexcept>
#include <string>

void CStringArray::CheckIndex(INT_PTR index, const char* operation) const
{
    if (index < 0 || index >= GetSize())
        throw std::out_of_range(std::string("CStringArray::") + operation + ": index " + std::to_string(index) +
                                " outside an array of " + std::to_string(GetSize()) + " strings");
}

void CStringArray::SetSize(INT_PTR newSize, INT_PTR /*growBy*/)
{
    if (newSize < 0)
        throw std::out_of_range("CStringArray::SetSize: negative size " + std::to_string(newSize));
    m_items.resize(static_cast<size_t>(newSize));
}

const CString& CStringArray::GetAt(INT_PTR index) const
{
    CheckIndex(index, "GetAt");
    return m_items[static_cast<size_t>(index)];
}

void CStringArray::SetAt(INT_PTR index, LPCTSTR text)
{
    CheckIndex(index, "SetAt");
    m_items[static_cast<size_t>(index)] = text;
}

CString& CStringArray::ElementAt(INT_PTR index)
{
    CheckIndex(index, "ElementAt");
    return m_items[static_cast<size_t>(index)];
}

void CStringArray::SetAtGrow(INT_PTR index, LPCTSTR text)
{
    if (index >= GetSize())
        SetSize(index + 1);
    SetAt(index, text);
}

INT_PTR CStringArray::Add(LPCTSTR text)
{
    m_items.emplace_back(text);
    return GetUpperBound();
}

INT_PTR CStringArray::Add(const CString& text)
{
    m_items.push_back(text);
    return GetUpperBound();
}

INT_PTR CStringArray::Append(const CStringArray& other)
{
    const INT_PTR first = GetSize();
    // Copied first: the other array may be this one.
    const std::vector<CString> added(other.m_items);
    m_items.insert(m_items.end(), added.begin(), added.end());
    return first;
}

void CStringArray::InsertAt(INT_PTR index, LPCTSTR text, INT_PTR count)
{
    if (index < 0 || count < 0)
        throw std::out_of_range("CStringArray::InsertAt: index " + std::to_string(index) + ", count " +
                                std::to_string(count));
    const CString item(text);
    if (index > GetSize())
        SetSize(index);
    m_items.insert(m_items.begin() + index, static_cast<size_t>(count), item);
}

void CStringArray::InsertAt(INT_PTR start, const CStringArray* other)
{
    if (start < 0 || !other)
        throw std::out_of_range("CStringArray::InsertAt: index " + std::to_string(start));
    const std::vector<CString> added(other->m_items);
    if (start > GetSize())
        SetSize(start);
    m_items.insert(m_items.begin() + start, added.begin(), added.end());
}

void CStringArray::RemoveAt(INT_PTR index, INT_PTR count)
{
    if (count < 0 || index < 0 || index + count > GetSize())
        throw std::out_of_range("CStringArray::RemoveAt: " + std::to_string(count) + " strings at " +
                                std::to_string(index) + " outside an array of " + std::to_string(GetSize()));
    m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
}
