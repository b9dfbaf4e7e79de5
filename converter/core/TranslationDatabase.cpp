#include "converter/core/TranslationDatabase.h"

#include "converter/core/CDbData.h"
#include "converter/core/ConsoleOutput.h"
#include "core/output/ZOutput.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

CTranslationDatabase* CTranslationDatabase::s_pCurrent = nullptr;

namespace {

const char* const kTableName = "Translation";
const char* const kEnglishField = "English";
const char* const kUpdatedField = "Updated";
const char* const kNoMatchFile = "notrans.txt";
const char* const kSortedFile = "translation.txt";
const char* const kCharacterFile = "characters.log";

// Longest part of a text shown in the two "no translation" messages.
constexpr size_t kShownWithoutTranslation = 60;
constexpr size_t kShownWithoutMatch = 100;

bool IsSpace(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

// The stored form of a database text: escapes and CR LF line ends become the bytes the scripts
// hold, the ellipsis character becomes three full stops, and trailing white space goes.
std::string Unescape(const char* text)
{
    std::string result;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '\\' && p[1] == 'n') {
            result += '\n';
            ++p;
        } else if (p[0] == '\\' && p[1] == 'a') {
            result += '\a';
            ++p;
        } else if (p[0] == '\\' && p[1] == 'v') {
            result += '\v';
            ++p;
        } else if (p[0] == '\r' && p[1] == '\n') {
            result += '\n';
            ++p;
        } else if (static_cast<unsigned char>(p[0]) == 0x85) {
            result += "...";
        } else {
            result += p[0];
        }
    }
    while (!result.empty() && IsSpace(result.back()))
        result.pop_back();
    return result;
}

// The form a text takes in the database and in the no-match file.
std::string Escape(const char* text)
{
    std::string result;
    for (const char* p = text; *p; ++p) {
        if (*p == '\n')
            result += "\\n";
        else if (*p == '\a')
            result += "\\a";
        else if (*p == '\v')
            result += "\\v";
        else
            result += *p;
    }
    return result;
}

std::string Shortened(const std::string& text, size_t shown)
{
    return text.size() >= shown ? text.substr(0, shown) + "..." : text;
}

// "name: reason" for the file error just seen.
std::string SystemError(const char* path) { return std::string(path) + ": " + std::strerror(errno); }

// The field that holds the translation: the first whose name is a defined label.
int TranslationColumn(const CDbRecord& record, const std::vector<std::string>& labels)
{
    const CxStringArray& fields = record.GetFieldNames();
    for (int i = 0; i < fields.GetSize(); ++i) {
        for (const std::string& label : labels) {
            if (strcasecmp(*fields[i], label.c_str()) == 0)
                return i;
        }
    }
    return -1;
}

// The lines of a text file, of any length, line ends removed; a line that repeats an earlier
// one (line end included) is dropped.
std::vector<std::string> ReadSourceLines(FILE* file)
{
    std::vector<std::string> lines;
    char* buffer = nullptr;
    size_t capacity = 0;
    for (ssize_t length; (length = getline(&buffer, &capacity, file)) >= 0;) {
        std::string line(buffer, static_cast<size_t>(length));
        // The text mode of the scripts' home platform reads CR LF as a line feed.
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
            line.erase(line.size() - 2, 1);
        if (std::find(lines.begin(), lines.end(), line) != lines.end())
            VerbosePrintf(2, "%s", line.c_str());
        else
            lines.push_back(line);
    }
    std::free(buffer);
    for (std::string& text : lines)
        text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
    return lines;
}

} // namespace

CTranslationDatabase::CTranslationDatabase()
{
    std::memset(m_CharacterMap, ' ', sizeof m_CharacterMap);
    s_pCurrent = this;
}

CTranslationDatabase::~CTranslationDatabase()
{
    Clear();
    if (s_pCurrent == this)
        s_pCurrent = nullptr;
}

void CTranslationDatabase::Clear()
{
    for (int i = 0; i < m_Count; ++i)
        m_Entries[i].Set(nullptr, nullptr);
    m_Count = 0;
    m_Searches = 0;
    m_Found = 0;
}

void CTranslationDatabase::Load(const char* databasePath, const std::vector<std::string>& labels)
{
    Clear();
    CDbData database;
    database.OpenDatabase(databasePath, true);
    database.OpenRecordSet(kTableName);
    CDbRecord* record = database.GetRecord(true);
    if (!record)
        return;
    const int column = TranslationColumn(*record, labels);
    if (column < 0)
        return;
    VerbosePrintf(3, "Loaded translation datbase %s\n", databasePath);
    for (; record; record = database.GetRecord(false)) {
        if (m_Count == kMaxEntries)
            vbail("Too many translation strings!!! See Velk ASAP");
        const CString english = record->GetValue(kEnglishField, false);
        if (english.IsEmpty())
            continue;
        const CString translation = record->GetValue(column, false);
        m_Entries[m_Count++].Set(Unescape(english).c_str(), Unescape(translation).c_str());
    }
    Sort();
}

void CTranslationDatabase::Sort()
{
    std::stable_sort(m_Entries, m_Entries + m_Count, [](const TranslationEntry& a, const TranslationEntry& b) {
        return TranslationEntry::Compare(a, b) < 0;
    });
    if (VerboseLevel < 3)
        return;
    FILE* file = std::fopen(kSortedFile, "w");
    if (!file)
        vbail("Cannot open translation test file\n%s", SystemError(kSortedFile).c_str());
    for (int i = 0; i < m_Count; ++i)
        std::fprintf(file, "E:%s\nT:%s\n\n\n", m_Entries[i].GetEnglish(), m_Entries[i].GetTranslation());
    if (std::fclose(file) != 0)
        vbail("Cannot write translation test file\n%s", SystemError(kSortedFile).c_str());
}

const TranslationEntry* CTranslationDatabase::Find(const char* text) const
{
    int low = 0;
    int high = m_Count - 1;
    while (low <= high) {
        const int middle = low + (high - low) / 2;
        const int order = TranslationEntry::CompareText(text, m_Entries[middle]);
        if (order == 0)
            return &m_Entries[middle];
        if (order < 0)
            high = middle - 1;
        else
            low = middle + 1;
    }
    return nullptr;
}

const char* CTranslationDatabase::Translate(const char* text)
{
    if (m_Count == 0 || !text || !*text)
        return text;
    ++m_Searches;
    const TranslationEntry* entry = Find(text);
    VerbosePrintf(3, "Translated %s to %s", text, entry ? entry->GetTranslation() : text);
    if (entry && *entry->GetTranslation()) {
        ++m_Found;
        if (VerboseLevel == 3) {
            for (const char* p = entry->GetTranslation(); *p; ++p)
                m_CharacterMap[static_cast<unsigned char>(*p)] = 'X';
        }
        return entry->GetTranslation();
    }
    const std::string escaped = Escape(text);
    if (entry) {
        printf("\nTRANSLATION: %s HAS NO TRANSLATION IN DATABASE!\n",
               Shortened(escaped, kShownWithoutTranslation).c_str());
        return text;
    }
    printf("\nTRANSLATION: %s HAS NO ENGLISH MATCH IN DATABASE!\n", Shortened(escaped, kShownWithoutMatch).c_str());
    FILE* file = std::fopen(kNoMatchFile, "a");
    if (!file)
        vbail("Couldnot open nomatch file\n%s", SystemError(kNoMatchFile).c_str());
    const bool written = std::fprintf(file, "%s\n", escaped.c_str()) >= 0;
    if (std::fclose(file) != 0 || !written)
        vbail("Couldnot write nomatch file\n%s", SystemError(kNoMatchFile).c_str());
    return text;
}

void CTranslationDatabase::Report() const
{
    if (m_Searches != 0)
        printf("\n\nSearched for %d translations, found %d\n", m_Searches, m_Found);
    if (VerboseLevel != 3)
        return;
    FILE* file = std::fopen(kCharacterFile, "w");
    if (!file)
        vbail("Couldnot open character log file\n%s", SystemError(kCharacterFile).c_str());
    for (int value = 0; value < 256; ++value)
        std::fprintf(file, "%03d  %c  (%c)\n", value, m_CharacterMap[value], value);
    if (std::fclose(file) != 0)
        vbail("Couldnot write character log file\n%s", SystemError(kCharacterFile).c_str());
}

void CTranslationDatabase::UpdateFromSource(const char* sourcePath, const char* databasePath)
{
    FILE* source = std::fopen(sourcePath, "r");
    if (!source)
        vbail("Couldnot open infile \n%s", SystemError(sourcePath).c_str());
    VerbosePrintf(1, "Loading source file %s\n", sourcePath);
    std::vector<std::string> lines = ReadSourceLines(source);
    const bool readFailed = std::ferror(source) != 0;
    std::fclose(source);
    if (readFailed)
        vbail("Couldnot read infile \n%s", SystemError(sourcePath).c_str());

    VerbosePrintf(1, "Updating database\n");
    CDbData database;
    database.OpenDatabase(databasePath, false);
    database.OpenRecordSet(kTableName);
    for (CDbRecord* record = database.GetRecord(true); record; record = database.GetRecord(false)) {
        const CString english = record->GetValue(kEnglishField, false);
        const auto match = std::find(lines.begin(), lines.end(), static_cast<LPCTSTR>(english));
        const bool used = match != lines.end();
        if (used)
            lines.erase(match);
        record->SetValue(kUpdatedField, used ? "1" : "0");
    }
    for (const std::string& line : lines) {
        CDbRecord* record = database.AddRecord();
        record->SetValue(kUpdatedField, "2");
        record->SetValue(kEnglishField, line.c_str());
        VerbosePrintf(1, "x");
    }
}
