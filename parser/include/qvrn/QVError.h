#pragma once

#include "qvrn/PtrArray.h"

// The error and warning codes. Their values are fixed: callers, stored parse trees and the
// messages below know them by number.
enum QVErrorCode : long {
    kQVInternalError = 1001,
    kQVUnresolvedSymbol = 1002,
    kQVExternalNotRegistered = 1003,
    kQVMaxStackExceeded = 1004,
    kQVParseFailed = 1005,
    kQVUnrecoverableParseError = 1006,
    kQVConstraintViolation = 1007,
    kQVStartSymbolUnresolved = 1008,
    kQVSymbolFunctionFailed = 1009,
    kQVNoDelimiterAfterLiteral = 1010,
    kQVNoEndingQuote = 1011,
    kQVParseAborted = 1099,
    kQVBadGrammarExtension = 1102,
    kQVGrammarOpenFailed = 1103,
    kQVWrongGrammarVersion = 1104,
    kQVGrammarInvalid = 1105,
    kQVListenerRegistrationFailed = 1150,
    kQVExternalRegistrationFailed = 1151,
    kQVGrammarCompileFailed = 1202,
    kQVFileLoadFailed = 1203,
    kQVBadFileExtension = 1204,
    kQVLinkError = 1205,
    kQVOutOfMemory = 1250,
    kQVTooManySymbolNames = 1251,
    kQVNameTooLong = 1252,
    kQVTooManyContexts = 1253,
    kQVBadParentContexts = 1254,
    kQVTooManyParentContexts = 1255,
    kQVNoSymbolName = 1256,
    kQVTreeOutOfMemory = 1257,
    kQVTooManyParentGrammars = 1263,
    kQVReservedWord = 1264,
    kQVCompilerInitFailed = 1302,
    kQVProjectGrammarLoadFailed = 1303,
    kQVProjectFileLoadFailed = 1304,
    kQVProjectFileParseFailed = 1305,
    kQVTargetGrammarLoadFailed = 1306,
    kQVDebugInfoLoadFailed = 1307,
    kQVGdfGrammarLoadFailed = 1402,
    kQVGrammarParseFailed = 1403,
    kQVTooManyByteCodes = 1502,
    kQVTooManySymbols = 1503,
    kQVTooManySymbolNamesCompiled = 1504,
    kQVExternalSymbolFound = 1505,
    kQVUnresolvedSymbolCompiled = 1506,
    kQVDuplicateSymbols = 1507,
    kQVLeftRecursion = 1508,
    kQVNameRefersToGrammar = 1510,
    kQVProjectGrammarRenamed = 1511,
    kQVAttributeValueIgnored = 1551,
    kQVSpaceValueMissing = 1552,
    kQVSpaceValueInvalid = 1553,
    kQVExternalIgnored = 1554,
    kQVAssumedExternal = 1555,
    kQVReservedAttribute = 1556,
    kQVUnknownAttribute = 1557,
    kQVTokenValueMissing = 1558,
    kQVTokenSymbolUnresolved = 1559,
    kQVUnknownVariable = 1560,
    kQVNoGrammar = 1600,
    kQVNoInput = 1601,
    kQVSourceOpenFailed = 1602,
    kQVNoSourceOpen = 1603,
    kQVNoParseRunning = 1604,
    kQVCacheOpenFailed = 1610,
    kQVCacheWrongVersion = 1611,
    kQVCacheGrammarModified = 1612,
    kQVCacheSourceModified = 1613,
    kQVCacheInvalid = 1614,
    kQVCacheTreeLoadFailed = 1615,
    kQVUserParseError = 1700,
    kQVSynchronizationError = 1701,
    kQVUnexpectedText = 1702,
    kQVExpectedTermNotFound = 1703,
    kQVCompilerNotInstalled = 9000,
    kQVCompilerLoadFailed = 9001,
    kQVCompilerInitError = 9002,
    kQVGrammarHasErrors = 9003,
    kQVCompilerGdlMissing = 9004,
};

// The fixed English message of a numbered error, or "" for a code without one.
const char* QVGetErrorMessage(long code);
// The error type text an error node carries, or null for a code without one.
const char* QVGetErrorTypeText(long code);

// One numbered error or warning with named attributes (found ignoring case, created on demand).
class QVError {
public:
    explicit QVError(long code);
    virtual long GetCode() const;
    virtual const char* GetTextAttribute(const char* name);
    virtual long GetIntAttribute(const char* name);
    virtual void SetTextAttribute(const char* name, const char* text);
    virtual void SetIntAttribute(const char* name, long value);
    virtual char* GetAttributeList(char* dst, long len);
    virtual char* GetMessage(char* dst, long len) const;
    virtual ~QVError();

private:
    struct Attribute;
    Attribute* Find(const char* name);
    Attribute* FindOrCreate(const char* name);

    long code_;
    PtrArray attributes_;
};

// Holds the errors and warnings of the last operation, in posting order, and owns them.
class QVErrorManager {
public:
    QVErrorManager() = default;
    ~QVErrorManager();

    QVError* ThrowError(long code);
    QVError* PostWarning(long code);
    void ClearErrors();
    void ClearWarnings();
    QVError* GetLastError() const;
    QVError* GetPrevError(QVError* error) const;
    QVError* GetFirstWarning() const;
    QVError* GetNextWarning(QVError* warning) const;
    long GetNumErrors() const { return errors_.GetSize(); }
    long GetNumWarnings() const { return warnings_.GetSize(); }
    // Index order of the interface: newest error first, then warnings as posted.
    QVError* GetByIndex(long index) const;

private:
    static void Clear(PtrArray& list);
    static long IndexOf(const PtrArray& list, QVError* entry);
    static QVError* Post(PtrArray& list, long code);

    PtrArray errors_;
    PtrArray warnings_;
};
