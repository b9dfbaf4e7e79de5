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
    {kQVInternalError, "Internal error"},
    {kQVUnresolvedSymbol, "Unresolved symbol"},
    {kQVExternalNotRegistered, "External symbol is not registered"},
    {kQVMaxStackExceeded, "Max stack exceeded"},
    {kQVParseFailed, "Parse failed"},
    {kQVUnrecoverableParseError, "Unrecoverable Parse Error"},
    {kQVConstraintViolation, "Constraint violation"},
    {kQVStartSymbolUnresolved, "Could not resolve start symbol"},
    {kQVSymbolFunctionFailed, "#SYMBOL function failed - could not resolve symbol name"},
    {kQVNoDelimiterAfterLiteral, "No implicit delimiter found after literal"},
    {kQVNoEndingQuote, "No ending quote found for 'quotedstring'"},
    {kQVParseAborted, "Parse Aborted"},
    {kQVBadGrammarExtension, "Invalid extension for GMR file"},
    {kQVGrammarOpenFailed, "Error opening grammar file"},
    {kQVWrongGrammarVersion, "Incorrect grammar version"},
    {kQVGrammarInvalid, "Grammar is invalid"},
    {kQVListenerRegistrationFailed, "Error registering event listener"},
    {kQVExternalRegistrationFailed, "Error registering external symbol"},
    {kQVGrammarCompileFailed, "Error compiling grammar"},
    {kQVFileLoadFailed, "Error loading file"},
    {kQVBadFileExtension, "Invalid file extension"},
    {kQVLinkError, "Link error"},
    {kQVOutOfMemory, "Error allocating memory"},
    {kQVTooManySymbolNames, "Maximum number of symbol names exceeded"},
    {kQVNameTooLong, "Maximum name length exceeded"},
    {kQVTreeOutOfMemory, "Memory allocation error building tree"},
    {kQVTooManyParentGrammars, "Maximum number of parent grammars exceeded"},
    {kQVReservedWord, "Specified name is a reserved word"},
    {kQVCompilerInitFailed, "Error initializing grammar compiler"},
    {kQVProjectGrammarLoadFailed, "Error loading project grammar"},
    {kQVProjectFileLoadFailed, "Error loading project file"},
    {kQVProjectFileParseFailed, "Error parsing project file"},
    {kQVTargetGrammarLoadFailed, "Error loading target grammar"},
    {kQVDebugInfoLoadFailed, "Error loading debug information"},
    {kQVGdfGrammarLoadFailed, "Error loading GDF grammar"},
    {kQVGrammarParseFailed, "Error parsing grammar"},
    {kQVTooManyByteCodes, "Max byte codes exceeded"},
    {kQVTooManySymbols, "Max number of symbols exceeded"},
    {kQVTooManySymbolNamesCompiled, "Max number of symbol names exceeded"},
    {kQVExternalSymbolFound, "External symbol encountered"},
    {kQVUnresolvedSymbolCompiled, "Unresolved symbol"},
    {kQVDuplicateSymbols, "Duplicate symbols"},
    {kQVLeftRecursion, "Left-recursion detected"},
    {kQVNameRefersToGrammar, "Symbol name refers to grammar"},
    {kQVProjectGrammarRenamed, "Generated a unique name for project grammar to avoid name conflict"},
    {kQVAttributeValueIgnored, "Value ignored for attribute"},
    {kQVSpaceValueMissing, "No value specified for attribute SPACE; using defaults"},
    {kQVSpaceValueInvalid, "Invalid value assigned to attribute SPACE; using defaults"},
    {kQVExternalIgnored, "Production encountered for symbol; EXTERNAL attribute will be ignored"},
    {kQVAssumedExternal, "No production defined for symbol; assumed EXTERNAL"},
    {kQVReservedAttribute, "Reserved attribute not currently implemented"},
    {kQVUnknownAttribute, "Unrecognized attribute name"},
    {kQVTokenValueMissing, "No value specified for attribute TOKEN"},
    {kQVTokenSymbolUnresolved, "Unresolved symbol name specified for attribute TOKEN"},
    {kQVUnknownVariable, "Unrecognized variable name"},
    {kQVNoGrammar, "No grammar has been set"},
    {kQVNoInput, "No input file or buffer has been set"},
    {kQVSourceOpenFailed, "Error opening the source file"},
    {kQVNoSourceOpen, "No source data stream is currently open"},
    {kQVNoParseRunning, "There is no parse currently in progress"},
    {kQVCacheOpenFailed, "Could not open cache file"},
    {kQVCacheWrongVersion, "Invalid cache - Wrong cache version"},
    {kQVCacheGrammarModified, "Invalid cache - Referenced grammar file has been modified"},
    {kQVCacheSourceModified, "Invalid cache - Referenced source file has been modified"},
    {kQVCacheInvalid, "Invalid cache"},
    {kQVCacheTreeLoadFailed, "Invalid cache - Could not load parse tree"},
    {kQVUserParseError, "User defined parse error"},
    {kQVSynchronizationError, "Synchronization parse error"},
    {kQVUnexpectedText, "Unexpected text"},
    {kQVExpectedTermNotFound, "Expected term not found"},
};

// The misspelling of 1701 is part of the stored trees and is kept as it is.
const TableEntry kTypeTexts[] = {
    {kQVParseFailed, "Unrecoverable Parse Error"},        {kQVUnrecoverableParseError, "Unrecoverable Parse Error"},
    {kQVConstraintViolation, "Constraint Violation"},     {kQVUserParseError, "User-Defined Error"},
    {kQVSynchronizationError, "Syncrhonization Error"},   {kQVUnexpectedText, "Unexpected Text"},
    {kQVExpectedTermNotFound, "Expected term not found"},
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
