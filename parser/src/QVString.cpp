#include "qvrn/QVString.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>

struct QVString::Rep {
    char* buffer;
    long length;
    long capacity;
    long refs;
};

QVString::QVString() : rep_(nullptr), chars_(nullptr) {}

QVString::QVString(const QVString& other, int) : rep_(other.rep_), chars_(other.chars_)
{
    if (rep_)
        ++rep_->refs;
}

QVString::QVString(const char* text) : rep_(nullptr), chars_(nullptr) { Assign(text); }

QVString::~QVString() { Release(); }

void QVString::Release()
{
    if (rep_ && --rep_->refs == 0) {
        free(rep_->buffer);
        delete rep_;
    }
    rep_ = nullptr;
    chars_ = nullptr;
}

// Capacity starts at 32 and doubles until it holds the text and its terminator.
void QVString::Assign(const char* text)
{
    const char* source = text ? text : "";
    long length = static_cast<long>(strlen(source));
    long capacity = 32;
    while (capacity < length + 1)
        capacity *= 2;
    Rep* rep = new (std::nothrow) Rep;
    char* buffer = static_cast<char*>(malloc(capacity));
    if (!rep || !buffer) {
        delete rep;
        free(buffer);
        Release();
        return;
    }
    memcpy(buffer, source, length + 1);
    *rep = Rep{buffer, length, capacity, 1};
    Release();
    rep_ = rep;
    chars_ = buffer;
}

QVString& QVString::operator=(const QVString& other)
{
    if (other.rep_ == rep_)
        return *this;
    if (other.rep_)
        ++other.rep_->refs;
    Release();
    rep_ = other.rep_;
    chars_ = other.chars_;
    return *this;
}

QVString& QVString::operator=(const char* text)
{
    Assign(text);
    return *this;
}

bool QVString::operator==(const char* text) const { return rep_ && text && strcasecmp(chars_, text) == 0; }

bool QVString::operator==(const QVString& other) const
{
    return rep_ && other.rep_ && strcasecmp(chars_, other.chars_) == 0;
}

QVString::operator const char*() const { return chars_; }
