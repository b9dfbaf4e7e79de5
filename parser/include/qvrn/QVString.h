#pragma once

// The string that crosses from the parser runtime to its callers: a handle on a shared,
// reference-counted text. Callers destroy every returned string with this library's destructor.
class QVString {
public:
    QVString();
    QVString(const QVString& other, int unused = 0);
    QVString(const char* text);
    ~QVString();

    QVString& operator=(const QVString& other);
    QVString& operator=(const char* text);
    bool operator==(const char* text) const;
    bool operator==(const QVString& other) const;
    operator const char*() const;

private:
    struct Rep;
    void Release();
    void Assign(const char* text);

    Rep* rep_;
    const char* chars_;
};
