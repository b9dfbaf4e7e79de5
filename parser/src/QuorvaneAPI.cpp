#include "qvrn/QuorvaneAPI.h"

#include "qvrn/FileFunctions.h"
#include "qvrn/Grammar.h"
#include "qvrn/InputStream.h"
#include "qvrn/QVError.h"

#include <new>

QuorvaneAPI::QuorvaneAPI() : errors_(new (std::nothrow) QVErrorManager()) {}

QuorvaneAPI::~QuorvaneAPI() { delete errors_; }

void QuorvaneAPI::Clear()
{
    ClearErrors();
    ClearWarnings();
}

QVGrammar* QuorvaneAPI::LoadGrammar(const char* path)
{
    Clear();
    return GrammarImp::LoadGrammar(path, this);
}

QVGrammar* QuorvaneAPI::LoadGrammarFromBuffer(const char* image)
{
    Clear();
    return image ? GrammarImp::LoadGrammarFromBuffer(image, this) : nullptr;
}

QVGrammar* QuorvaneAPI::LoadGrammarFromBuffer(const char* image, long size)
{
    Clear();
    return image ? GrammarImp::LoadGrammarFromBuffer(image, size, this) : nullptr;
}

void QuorvaneAPI::UnloadGrammar(QVGrammar* grammar) { delete grammar; }

QVError* QuorvaneAPI::ThrowError(long code) { return errors_ ? errors_->ThrowError(code) : nullptr; }
QVError* QuorvaneAPI::PostWarning(long code) { return errors_ ? errors_->PostWarning(code) : nullptr; }

void QuorvaneAPI::ClearErrors()
{
    if (errors_)
        errors_->ClearErrors();
}

void QuorvaneAPI::ClearWarnings()
{
    if (errors_)
        errors_->ClearWarnings();
}

QVError* QuorvaneAPI::GetLastError() { return errors_ ? errors_->GetLastError() : nullptr; }
QVError* QuorvaneAPI::GetPrevError(QVError* error) { return errors_ ? errors_->GetPrevError(error) : nullptr; }
QVError* QuorvaneAPI::GetFirstWarning() { return errors_ ? errors_->GetFirstWarning() : nullptr; }
QVError* QuorvaneAPI::GetNextWarning(QVError* warning) { return errors_ ? errors_->GetNextWarning(warning) : nullptr; }
long QuorvaneAPI::GetNumErrors() { return errors_ ? errors_->GetNumErrors() : 0; }
long QuorvaneAPI::GetNumWarnings() { return errors_ ? errors_->GetNumWarnings() : 0; }

QVInputStream* QuorvaneAPI::OpenFileStream(const char* path, long windowSize)
{
    return QVFileStream::Open(path, windowSize);
}

QVInputStream* QuorvaneAPI::OpenBufferStream(const char* text, long length)
{
    return QVMemoryStream::Open(text, length);
}

void QuorvaneAPI::CloseStream(QVInputStream* stream) { delete stream; }

// The façade leaves the cache to the parser interface.
QVParseTree* QuorvaneAPI::LoadTreeFromCache(const char*, QVGrammar*, QVInputStream*) { return nullptr; }
long QuorvaneAPI::SaveTreeToCache(QVParseTree*, const char*) { return 0; }

long QuorvaneAPI::GetFileSize(const char* path) { return ::GetFileSize(path); }
long QuorvaneAPI::LoadFile(const char* path, char* buffer, long length)
{
    return LoadBufferFromFile(path, buffer, length);
}

long __GetQvrnLibVersion() { return 40101; }

long GetFileNumLines(const char* path)
{
    QVFileStream* stream = QVFileStream::Open(path, 0);
    if (!stream)
        return 0;
    long lines = stream->GetLineCount();
    delete stream;
    return lines;
}
