#pragma once
// One pair of the translation table: an English text and its translation, both owned copies.

class TranslationEntry {
public:
    TranslationEntry() = default;
    TranslationEntry(const TranslationEntry&) = delete;
    TranslationEntry& operator=(const TranslationEntry&) = delete;
    TranslationEntry(TranslationEntry&& other) noexcept { Swap(other); }
    TranslationEntry& operator=(TranslationEntry&& other) noexcept
    {
        Swap(other);
        return *this;
    }
    ~TranslationEntry() { Set(nullptr, nullptr); }

    // Releases both texts; with an English text given, stores copies of both.
    void Set(const char* english, const char* translation);
    // Orders two entries by English text, bytes compared as unsigned values.
    static int Compare(const TranslationEntry& a, const TranslationEntry& b);
    // Orders a looked-up text against an entry; carriage returns in the text are skipped, so a
    // text with CR LF line ends equals the entry stored with line feeds.
    static int CompareText(const char* text, const TranslationEntry& entry);
    void Swap(TranslationEntry& other) noexcept;
    void Print() const;

    const char* GetEnglish() const { return m_pEnglish; }
    const char* GetTranslation() const { return m_pTranslation; }

private:
    char* m_pEnglish = nullptr;
    char* m_pTranslation = nullptr;
};
