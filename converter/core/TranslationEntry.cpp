#include "converter/core/TranslationEntry.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

char* Copy(const char* text)
{
    const size_t size = std::strlen(text) + 1;
    char* copy = new char[size];
    std::memcpy(copy, text, size);
    return copy;
}

} // namespace

void TranslationEntry::Set(const char* english, const char* translation)
{
    delete[] m_pEnglish;
    delete[] m_pTranslation;
    m_pEnglish = nullptr;
    m_pTranslation = nullptr;
    if (english) {
        m_pEnglish = Copy(english);
        m_pTranslation = Copy(translation ? translation : "");
    }
}

int TranslationEntry::Compare(const TranslationEntry& a, const TranslationEntry& b)
{
    return std::strcmp(a.m_pEnglish ? a.m_pEnglish : "", b.m_pEnglish ? b.m_pEnglish : "");
}

int TranslationEntry::CompareText(const char* text, const TranslationEntry& entry)
{
    const unsigned char* left = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* right = reinterpret_cast<const unsigned char*>(entry.m_pEnglish ? entry.m_pEnglish : "");
    for (;; ++left, ++right) {
        while (*left == '\r')
            ++left;
        if (*left != *right || *left == '\0')
            return static_cast<int>(*left) - static_cast<int>(*right);
    }
}

void TranslationEntry::Swap(TranslationEntry& other) noexcept
{
    std::swap(m_pEnglish, other.m_pEnglish);
    std::swap(m_pTranslation, other.m_pTranslation);
}

void TranslationEntry::Print() const
{
    printf("\n\n%.30s\n%.30s", m_pEnglish ? m_pEnglish : "", m_pTranslation ? m_pTranslation : "");
}
