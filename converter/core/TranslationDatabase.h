#pragma once
// The translation table of one converted source file: English texts of the scripts and their
// translations into the language a defined label names, loaded from the table "Translation"
// of a database. The one table alive is the current one, which the string element asks.
#include "converter/core/TranslationEntry.h"

#include <string>
#include <vector>

class CTranslationDatabase {
public:
    static constexpr int kSlots = 4096;
    static constexpr int kMaxEntries = kSlots - 1;

    CTranslationDatabase();
    ~CTranslationDatabase();
    CTranslationDatabase(const CTranslationDatabase&) = delete;
    CTranslationDatabase& operator=(const CTranslationDatabase&) = delete;

    static CTranslationDatabase* Current() { return s_pCurrent; }

    // Replaces the contents. The translation column is the first field whose name equals one
    // of the labels regardless of case; without one the table stays empty.
    void Load(const char* databasePath, const std::vector<std::string>& labels);
    // The translation, or the text itself (the same pointer) when there is none.
    const char* Translate(const char* text);
    const TranslationEntry* Find(const char* text) const;
    void Sort();
    void Report() const;
    void Clear();
    // Marks which texts of a source file are still used, adding the new ones.
    void UpdateFromSource(const char* sourcePath, const char* databasePath);

    int GetCount() const { return m_Count; }
    int GetSearches() const { return m_Searches; }
    int GetFound() const { return m_Found; }

private:
    TranslationEntry m_Entries[kSlots];
    int m_Count = 0;
    int m_Searches = 0;
    int m_Found = 0;
    unsigned char m_CharacterMap[256];

    static CTranslationDatabase* s_pCurrent;
};
