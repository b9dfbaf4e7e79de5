#include "qvrn/QVError.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>

namespace {

struct TableEntry {
    long code;
    const char* text;
};

const TableEntry kMessages[] = {
    {1001, "Internal error"},
    {1002, "Unresolved symbol"},
    {1003, "External symbol is not registered"},
    {1004, "Max stack exceeded"},
    {1005, "Parse failed"},
    {1006, "Unrecoverable Parse Error"},
    {1007, "Constraint violation"},
    {1008, "Could not resolve start symbol"},
    {1009, "#SYMBOL function failed - could not resolve symbol name"},
    {1010, "No implicit delimiter found after literal"},
    {1011, "No ending quote found for 'quotedstring'"},
    {1099, "Parse Aborted"},
    {1102, "Invalid extension for GMR file"},
    {1103, "Error opening grammar file"},
    {1104, "Incorrect grammar version"},
    {1105, "Grammar is invalid"},
    {1150, "Error registering event listener"},
    {1151, "Error registering external symbol"},
    {1202, "Error compiling grammar"},
    {1203, "Error loading file"},
    {1204, "Invalid file extension"},
    {1205, "Link error"},
    {1250, "Error allocating memory"},
    {1251, "Maximum number of symbol names exceeded"},
    {1252, "Maximum name length exceeded"},
    {1257, "Memory allocation error building tree"},
    {1263, "Maximum number of parent grammars exceeded"},
    {1264, "Specified name is a reserved word"},
    {1302, "Error initializing grammar compiler"},
    {1303, "Error loading project grammar"},
    {1304, "Error loading project file"},
    {1305, "Error parsing project file"},
    {1306, "Error loading target grammar"},
    {1307, "Error loading debug information"},
    {1402, "Error loading GDF grammar"},
    {1403, "Error parsing grammar"},
    {1502, "Max byte codes exceeded"},
    {1503, "Max number of symbols exceeded"},
    {1504, "Max number of symbol names exceeded"},
    {1505, "External symbol encountered"},
    {1506, "Unresolved symbol"},
    {1507, "Duplicate symbols"},
    {1508, "Left-recursion detected"},
    {1510, "Symbol name refers to grammar"},
    {1511, "Generated a unique name for project grammar to avoid name conflict"},
    {1551, "Value ignored for attribute"},
    {1552, "No value specified for attribute SPACE; using defaults"},
    {1553, "Invalid value assigned to attribute SPACE; using defaults"},
    {1554, "Production encountered for symbol; EXTERNAL attribute will be ignored"},
    {1555, "No production defined for symbol; assumed EXTERNAL"},
    {1556, "Reserved attribute not currently implemented"},
    {1557, "Unrecognized attribute name"},
    {1558, "No value specified for attribute TOKEN"},
    {1559, "Unresolved symbol name specified for attribute TOKEN"},
    {1560, "Unrecognized variable name"},
    {1600, "No grammar has been set"},
    {1601, "No input file or buffer has been set"},
    {1602, "Error opening the source file"},
    {1603, "No source data stream is currently open"},
    {1604, "There is no parse currently in progress"},
    {1610, "Could not open cache file"},
    {1611, "Invalid cache - Wrong cache version"},
    {1612, "Invalid cache - Referenced grammar file has been modified"},
    {1613, "Invalid cache - Referenced source file has been modified"},
    {1614, "Invalid cache"},
    {1615, "Invalid cache - Could not load parse tree"},
    {1700, "User defined parse error"},
    {1701, "Synchronization parse error"},
    {1702, "Unexpected text"},
    {1703, "Expected term not found"},
};

// The misspelling of 1701 is part of the stored trees and is kept as it is.
const TableEntry kTypeTexts[] = {
    {1005, "Unrecoverable Parse Error"}, {1006, "Unrecoverable Parse Error"}, {1007, "Constraint Violation"},
    {1700, "User-Defined Error"},        {1701, "Syncrhonization Error"},     {1702, "Unexpected Text"},
    {1703, "Expected term not found"},
};

template <size_t N> const char* Lookup(const TableEntry (&table)[N], long code)
{
    for (const TableEntry& entry : table)
        if (entry.code == code)
            return entry.text;
    return nullptr;
}

} // namespace

const char* QVGetErrorMessage(long code)
{
    const char* text = Lookup(kMessages, code);
    return text ? text : "";
}

const char* QVGetErrorTypeText(long code) { return Lookup(kTypeTexts, code); }

struct QVError::Attribute {
    char name[32];
    char* text;
    long value;
};

QVError::QVError(long code) : code_(code) {}

QVError::~QVError()
{
    for (long i = 0; i < attributes_.GetSize(); ++i) {
        Attribute* attribute = static_cast<Attribute*>(attributes_.GetAt(i));
        free(attribute->text);
        delete attribute;
    }
}

long QVError::GetCode() const { return code_; }

QVError::Attribute* QVError::Find(const char* name)
{
    for (long i = 0; i < attributes_.GetSize(); ++i) {
        Attribute* attribute = static_cast<Attribute*>(attributes_.GetAt(i));
        if (strcasecmp(attribute->name, name) == 0)
            return attribute;
    }
    return nullptr;
}

QVError::Attribute* QVError::FindOrCreate(const char* name)
{
    if (!name)
        return nullptr;
    Attribute* attribute = Find(name);
    if (attribute)
        return attribute;
    attribute = new (std::nothrow) Attribute();
    if (!attribute)
        return nullptr;
    snprintf(attribute->name, sizeof attribute->name, "%s", name);
    if (attributes_.Add(attribute) < 0) {
        delete attribute;
        return nullptr;
    }
    return attribute;
}

const char* QVError::GetTextAttribute(const char* name)
{
    Attribute* attribute = FindOrCreate(name);
    return attribute ? attribute->text : nullptr;
}

long QVError::GetIntAttribute(const char* name)
{
    Attribute* attribute = FindOrCreate(name);
    return attribute ? attribute->value : 0;
}

void QVError::SetTextAttribute(const char* name, const char* text)
{
    Attribute* attribute = FindOrCreate(name);
    if (!attribute)
        return;
    free(attribute->text);
    attribute->text = text ? strdup(text) : nullptr;
}

void QVError::SetIntAttribute(const char* name, long value)
{
    Attribute* attribute = FindOrCreate(name);
    if (attribute)
        attribute->value = value;
}

char* QVError::GetAttributeList(char* dst, long len)
{
    if (!dst || len <= 0)
        return dst;
    dst[0] = 0;
    long used = 0;
    for (long i = 0; i < attributes_.GetSize(); ++i) {
        const Attribute* attribute = static_cast<Attribute*>(attributes_.GetAt(i));
        char item[4096];
        if (attribute->text)
            snprintf(item, sizeof item, "%s%s=%s", i ? ", " : "", attribute->name, attribute->text);
        else
            snprintf(item, sizeof item, "%s%s=%ld", i ? ", " : "", attribute->name, attribute->value);
        long itemLength = static_cast<long>(strlen(item));
        if (used + itemLength >= len)
            break;
        memcpy(dst + used, item, itemLength + 1);
        used += itemLength;
    }
    return dst;
}

char* QVError::GetMessage(char* dst, long len) const
{
    if (dst && len > 0)
        snprintf(dst, len, "%s", QVGetErrorMessage(code_));
    return dst;
}

QVErrorManager::~QVErrorManager()
{
    Clear(errors_);
    Clear(warnings_);
}

void QVErrorManager::Clear(PtrArray& list)
{
    for (long i = 0; i < list.GetSize(); ++i)
        delete static_cast<QVError*>(list.GetAt(i));
    list.RemoveAll();
}

long QVErrorManager::IndexOf(const PtrArray& list, QVError* entry)
{
    for (long i = 0; i < list.GetSize(); ++i)
        if (list.GetAt(i) == entry)
            return i;
    return -1;
}

// A new entry at the end of the list; null when there is no room for it.
QVError* QVErrorManager::Post(PtrArray& list, long code)
{
    QVError* entry = new (std::nothrow) QVError(code);
    if (entry && list.Add(entry) < 0) {
        delete entry;
        return nullptr;
    }
    return entry;
}

QVError* QVErrorManager::ThrowError(long code) { return Post(errors_, code); }
QVError* QVErrorManager::PostWarning(long code) { return Post(warnings_, code); }

void QVErrorManager::ClearErrors() { Clear(errors_); }
void QVErrorManager::ClearWarnings() { Clear(warnings_); }

QVError* QVErrorManager::GetLastError() const { return static_cast<QVError*>(errors_.GetAt(errors_.GetUpperBound())); }

QVError* QVErrorManager::GetPrevError(QVError* error) const
{
    long index = IndexOf(errors_, error);
    return index > 0 ? static_cast<QVError*>(errors_.GetAt(index - 1)) : nullptr;
}

QVError* QVErrorManager::GetFirstWarning() const { return static_cast<QVError*>(warnings_.GetAt(0)); }

QVError* QVErrorManager::GetNextWarning(QVError* warning) const
{
    long index = IndexOf(warnings_, warning);
    return index >= 0 ? static_cast<QVError*>(warnings_.GetAt(index + 1)) : nullptr;
}

QVError* QVErrorManager::GetByIndex(long index) const
{
    if (index < 0)
        return nullptr;
    long errors = errors_.GetSize();
    if (index < errors)
        return static_cast<QVError*>(errors_.GetAt(errors - 1 - index));
    return static_cast<QVError*>(warnings_.GetAt(index - errors));
}
