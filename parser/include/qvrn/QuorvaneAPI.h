#pragma once

class QVError;
class QVErrorManager;
class QVGrammar;
class QVInputStream;
class QVParseTree;

// The library's direct programming interface: grammar loading, one-call parsing, streams and
// the error manager every operation reports to.
class QuorvaneAPI {
public:
    QuorvaneAPI();
    ~QuorvaneAPI();

    int Init() { return 1; }
    QVGrammar* LoadGrammar(const char* path);
    QVGrammar* LoadGrammarFromBuffer(const char* image);
    QVGrammar* LoadGrammarFromBuffer(const char* image, long size);
    void UnloadGrammar(QVGrammar* grammar);
    void DeleteParseTree(QVParseTree* tree);
    QVParseTree* Parse(QVGrammar* grammar, const char* startName, QVInputStream* stream, unsigned long flags);
    QVParseTree* Parse(QVGrammar* grammar, const char* startName, const char* text, long length, unsigned long flags);

    QVError* ThrowError(long code);
    QVError* PostWarning(long code);
    void ClearErrors();
    void ClearWarnings();
    QVError* GetLastError();
    QVError* GetPrevError(QVError* error);
    QVError* GetFirstWarning();
    QVError* GetNextWarning(QVError* warning);
    long GetNumErrors();
    long GetNumWarnings();
    QVErrorManager* GetErrorManager() { return errors_; }

    QVInputStream* OpenFileStream(const char* path, long windowSize);
    QVInputStream* OpenBufferStream(const char* text, long length);
    void CloseStream(QVInputStream* stream);

    long PostTreeErrors(QVParseTree* tree, QVGrammar* grammar);
    QVParseTree* LoadTreeFromCache(const char* path, QVGrammar* grammar, QVInputStream* stream);
    long SaveTreeToCache(QVParseTree* tree, const char* path);

    static long GetFileSize(const char* path);
    static long LoadFile(const char* path, char* buffer, long length);

private:
    void Clear();

    QVErrorManager* errors_;

    QuorvaneAPI(const QuorvaneAPI&) = delete;
    QuorvaneAPI& operator=(const QuorvaneAPI&) = delete;
};

long __GetQvrnLibVersion();
long GetFileNumLines(const char* path);
