#pragma once

#include "qvrn/PtrArray.h"

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
