// The parse cache file: a finished parse stored with the grammar and source it came from,
// refused when either has changed since.
#include "qvrn/ParserAPIImp.h"

#include "qvrn/FileFunctions.h"
#include "qvrn/Grammar.h"
#include "qvrn/InputStream.h"
#include "qvrn/ParseTree.h"
#include "qvrn/QVError.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kCacheMagic[] = "QV-PARSEINFO-3";
const long kMagicLength = 14;
const long kHeaderWords = 14;
const long kPathsOffset = 70;

struct CacheHeader {
    int32_t headerSize, version, treeFlag, zero, startSymbol, grammarTime, grammarOffset, grammarLength, sourceTime,
        sourceOffset, sourceLength, treeOffset, nodeCount, errorCount;
};
static_assert(sizeof(CacheHeader) == 4 * kHeaderWords, "cache header is 56 bytes");

} // namespace

int ParserAPIImp::CacheRefusal(long code, const char* path, const char* method)
{
    QVError* error = api_.ThrowError(code);
    if (error) {
        error->SetTextAttribute("PATHNAME", path ? path : "");
        error->SetTextAttribute("API_METHOD", method);
    }
    return 0;
}

int ParserAPIImp::SaveTreeToCache(const char* path)
{
    const char* method = "SaveToCache";
    if (!path || !*path)
        return CacheRefusal(kQVCacheOpenFailed, "", method);
    Clear();
    CacheHeader header = {};
    header.headerSize = 56;
    header.version = 3;
    if (grammar_) {
        header.startSymbol = startSymbol_;
        header.grammarTime = static_cast<int32_t>(GetLastModTime(grammarPath_));
        if (!grammarPath_[0] || header.grammarTime == 0) {
            CacheRefusal(kQVInternalError, grammarPath_, method);
            api_.GetLastError()->SetTextAttribute("DESCRIPTION", grammarPath_[0]
                                                                     ? "Referenced grammar file cannot be accessed"
                                                                     : "Grammar filename is empty");
            return 0;
        }
        header.grammarOffset = kPathsOffset;
        header.grammarLength = static_cast<int32_t>(strlen(grammarPath_) + 1);
    }
    const char* source = nullptr;
    if (stream_) {
        bool fileInput = inputPath_[0] != 0;
        source = fileInput ? inputPath_ : inputCopy_;
        header.sourceTime = fileInput ? static_cast<int32_t>(GetLastModTime(inputPath_)) : 0;
        header.sourceLength = source && *source ? static_cast<int32_t>(strlen(source) + 1) : 0;
        header.sourceOffset = header.sourceLength ? kPathsOffset + header.grammarLength : 0;
    }
    if (tree_) {
        header.treeFlag = 1;
        header.nodeCount = static_cast<int32_t>(tree_->GetNodeCount());
        header.treeOffset = kPathsOffset + header.grammarLength + header.sourceLength;
    } else {
        header.treeFlag = -1;
    }
    header.errorCount = errorCountAtEnd_;
    FILE* file = fopen(path, "wb");
    if (!file)
        return CacheRefusal(kQVCacheOpenFailed, path, method);
    bool ok = fwrite(kCacheMagic, kMagicLength, 1, file) == 1 && fwrite(&header, sizeof header, 1, file) == 1 &&
              (!header.grammarLength || fwrite(grammarPath_, header.grammarLength, 1, file) == 1) &&
              (!header.sourceLength || fwrite(source, header.sourceLength, 1, file) == 1);
    ok = fclose(file) == 0 && ok;
    if (ok && tree_)
        ok = tree_->Serialize(path, header.treeOffset, 1) == 1;
    return ok ? 1 : CacheRefusal(kQVCacheOpenFailed, path, method);
}

// Every offset and length read from the file is checked against the file's size before use.
int ParserAPIImp::LoadTreeFromCache(const char* path)
{
    const char* method = "LoadFromCache";
    Clear();
    DiscardParse();
    DiscardGrammar();
    DiscardInput();
    wholeInputFlag_ = errorNodeFlag_ = 1;
    FILE* file = path && *path ? fopen(path, "rb") : nullptr;
    if (!file)
        return CacheRefusal(kQVCacheOpenFailed, path, method);
    long fileSize = ::GetFileSize(file);
    char magic[kMagicLength];
    CacheHeader header = {};
    if (fread(magic, kMagicLength, 1, file) != 1 || memcmp(magic, kCacheMagic, kMagicLength) != 0) {
        fclose(file);
        return CacheRefusal(kQVCacheInvalid, path, method);
    }
    if (fread(&header, sizeof header, 1, file) != 1 || header.headerSize != 56 || header.version != 3) {
        fclose(file);
        return CacheRefusal(kQVCacheWrongVersion, path, method);
    }
    auto inFile = [&](int32_t offset, int32_t length) {
        return length == 0 || (offset >= kPathsOffset && length > 0 && offset <= fileSize - length);
    };
    if (!inFile(header.grammarOffset, header.grammarLength) || !inFile(header.sourceOffset, header.sourceLength) ||
        header.grammarLength > 256 ||
        (header.treeOffset && (header.treeOffset < kPathsOffset || header.treeOffset >= fileSize))) {
        fclose(file);
        return CacheRefusal(kQVCacheInvalid, path, method);
    }
    auto readText = [&](int32_t offset, int32_t length) -> char* {
        char* text = static_cast<char*>(calloc(length + 1, 1));
        if (text && (fseek(file, offset, SEEK_SET) != 0 || fread(text, length, 1, file) != 1)) {
            free(text);
            return nullptr;
        }
        return text;
    };
    // A file the cache names refuses the cache when it cannot be read back or has changed since;
    // the refusal names the file when it could be read.
    auto refuseNamed = [&](char* named, long changedCode, const char* attribute) {
        fclose(file);
        if (named) {
            CacheRefusal(changedCode, path, method);
            api_.GetLastError()->SetTextAttribute(attribute, named);
        } else {
            CacheRefusal(kQVCacheInvalid, path, method);
        }
        free(named);
        return 0;
    };
    if (header.grammarTime == 0) {
        fclose(file);
        return 0;
    }
    if (header.grammarLength) {
        char* grammarPath = readText(header.grammarOffset, header.grammarLength);
        bool stale = grammarPath && GetLastModTime(grammarPath) != header.grammarTime;
        if (!grammarPath || stale)
            return refuseNamed(grammarPath, kQVCacheGrammarModified, "GRAMMAR");
        __SetCurrentGrammar(api_.LoadGrammar(grammarPath), grammarPath);
        free(grammarPath);
        if (grammar_ && header.startSymbol)
            startSymbol_ = header.startSymbol;
    }
    if (header.sourceTime == 0) {
        char* text =
            header.sourceOffset && header.sourceLength ? readText(header.sourceOffset, header.sourceLength) : nullptr;
        if (!text) {
            fclose(file);
            return CacheRefusal(kQVCacheInvalid, path, method);
        }
        inputCopy_ = text;
        stream_ = api_.OpenBufferStream(inputCopy_, static_cast<long>(strlen(inputCopy_)));
    } else if (header.sourceLength) {
        char* sourcePath = readText(header.sourceOffset, header.sourceLength);
        if (!sourcePath || GetLastModTime(sourcePath) != header.sourceTime)
            return refuseNamed(sourcePath, kQVCacheSourceModified, "SOURCEFILE");
        snprintf(inputPath_, sizeof inputPath_, "%s", sourcePath);
        stream_ = api_.OpenFileStream(sourcePath, 0);
        free(sourcePath);
    }
    fclose(file);
    if (header.treeOffset && grammar_ && stream_) {
        tree_ = ParseTreeImp::CreateNew();
        if (tree_)
            tree_->Initialize(grammar_, stream_);
        if (!tree_ || !tree_->Serialize(path, header.treeOffset, 0)) {
            delete tree_;
            tree_ = nullptr;
            CacheRefusal(kQVCacheTreeLoadFailed, path, method);
        } else {
            parseState_ = 1;
        }
    }
    errorCountAtEnd_ = header.errorCount;
    return 1;
}
