#pragma once

#include "qvrn/PtrArray.h"

#include <cstdint>

class QVErrorManager;

#pragma pack(push, 1)
// One named context of a compiled grammar: the grammar, a rule or a special entry.
struct QVContextRecord {
    int32_t nameId;
    int32_t parent;
    int32_t kind;
    int32_t value;
    int32_t parentList;
};
static_assert(sizeof(QVContextRecord) == 20, "context record is stored as 20 bytes");

// One inheritance entry: a dotted path of name ids.
struct QVParentPath {
    int32_t length;
    int32_t ids[8];
};
static_assert(sizeof(QVParentPath) == 36, "parent path is stored as 36 bytes");

struct QVParentListRecord {
    int32_t count;
    QVParentPath entries[8];
};
static_assert(sizeof(QVParentListRecord) == 292, "parent list is stored as 292 bytes");
#pragma pack(pop)

// The tables of a compiled grammar: image header, contexts, names, inheritance lists and
// byte code, with name resolution between contexts and the image reader and writer.
class Context {
public:
    static const long kMaxContexts = 1024;
    static const long kMaxParentLists = 64;
    static const long kHeaderSize = 256;

    Context();
    virtual ~Context();

    void SetErrorManager(QVErrorManager* manager) { errorManager_ = manager; }
    QVErrorManager* GetErrorManager() const { return errorManager_; }

    void ResetContext();
    long CheckByteCodesAllocation(long size);
    void SortContexts();

    long LookupName(const char* text) const;
    long GetNameID(const char* text);
    const char* GetName(long id) const;
    long GetContextNameID(long ctx) const;
    const char* GetContextName(long ctx) const;
    long CreateContext(long nameId, long parent, long kind);
    long SetParentContext(long ctx, const long* ids, long n);
    void SetValue(long ctx, long value);
    long GetValue(long ctx) const;
    bool IsAncestor(long a, long b) const;
    long FindSubcontext(long parent, long nameId) const;
    long FindSubcontextRecursive(long parent, long nameId) const;
    long FindSuperContext(long ctx) const;
    long FindOuterContext(long ctx) const;
    long Resolve(long from, long nameId) const;
    long Resolve(long from, const long* ids, long n) const;
    long Resolve(long from, const char* dotted) const;
    char* BuildQualifiedName(long ctx, long stop, char* dst, long len) const;

    long Serialize(const char* path, int write);
    // Reads an image from memory. The sized form refuses anything that runs past `size`;
    // the unsized form trusts the caller's buffer to hold the whole image.
    long SerializeFromBuffer(const char* image);
    long SerializeFromBuffer(const char* image, long size);

    // Appends byte code, returning its offset, or 0 when it cannot grow.
    long AppendByteCode(const void* data, long size);
    void TruncateByteCode(long length)
    {
        if (length >= 1 && length <= byteCodeLength_)
            byteCodeLength_ = length;
    }

    long GetContextCount() const { return contextCount_; }
    long GetNameCount() const { return names_.GetSize(); }
    long GetParentListCount() const { return parentListCount_; }
    const QVContextRecord& GetContext(long ctx) const { return contexts_[ctx]; }
    const QVParentListRecord& GetParentList(long id) const { return parentLists_[id]; }
    const char* GetByteCode() const { return byteCode_; }
    long GetByteCodeLength() const { return byteCodeLength_; }
    unsigned char* GetHeader() { return header_; }
    const unsigned char* GetHeader() const { return header_; }
    long GetFormat() const;
    long GetStartContextId() const;
    void SetStartContextId(long ctx);
    long GetDefaultStartRule() const;
    long GetKindId(const char* kind) const { return LookupName(kind); }
    bool IsKind(long ctx, const char* kind) const;

protected:
    void Post(long code) const;
    bool ValidCtx(long ctx) const { return ctx >= 0 && ctx < contextCount_; }

private:
    class ImageReader;
    long ReadImage(const char* data, long size, bool testBanner, bool exactSize);
    bool ValidateTables() const;
    void FreeNames();
    uint32_t ComputeChecksum() const;
    long ResolveEntry(long from, const QVParentPath& path) const;

    unsigned char header_[kHeaderSize];
    QVErrorManager* errorManager_;
    QVContextRecord contexts_[kMaxContexts];
    long contextCount_;
    PtrArray names_;
    QVParentListRecord parentLists_[kMaxParentLists];
    long parentListCount_;
    char* byteCode_;
    long byteCodeLength_;
    long byteCodeCapacity_;
    int32_t* sortedIndex_;

    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

// The banner every image carries at header offset 20.
extern const char kQVGrammarBanner[];
