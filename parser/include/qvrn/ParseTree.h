#pragma once

#include "qvrn/PtrArray.h"

#include <cstdint>
#include <string>
#include <unordered_map>

class GrammarContext;
class QVGrammar;
class QVInputStream;
class ParseTreeImp;

#pragma pack(push, 1)
// One node of a parse tree. Symbol nodes hold the instruction that made them, context nodes
// have symbol -2 and literal nodes -1 (their value and start are string indices).
struct QVTreeNode {
    int32_t parent;
    int32_t symbol;
    int32_t value;
    int32_t start;
    int32_t length;
    int32_t next;
};
static_assert(sizeof(QVTreeNode) == 24, "tree node is stored as 24 bytes");
#pragma pack(pop)

const int32_t QV_NODE_LITERAL = -1;
const int32_t QV_NODE_CONTEXT = -2;

// A search over a tree with the path language: "Name", "*Name", "^Name", "^*Name", ".N",
// "/Root", steps joined with ".", and an optional ="literal" the match's text must equal.
class QVTREEPOS {
public:
    QVTREEPOS();
    bool operator==(int value) const { return match == 0 && value == 0; }
    bool operator!=(int value) const { return !(*this == value); }

    struct Step {
        long childIndex; // -1 = any
        char name[65];
        int direction; // 0 root, 1 down, -1 up
        bool anyDepth;
        long base;
        long current;
    };
    Step steps[32];
    ParseTreeImp* tree;
    long count;
    long level;
    char literal[257];
    long literalLength;
    bool valid;
    long match;
};

// The tree of a finished parse as the runtime's callers walk it.
class QVParseTree {
public:
    virtual ~QVParseTree() = default;
    virtual long GetNodeCount() = 0;
    virtual long GetRoot() = 0;
    virtual long GetParent(long node) = 0;
    virtual long GetChild(long node, long index) = 0;
    virtual long GetNumChildren(long node) = 0;
    virtual long IsLeaf(long node) = 0;
    virtual QVTREEPOS StartSearch(const char* path, long start) = 0;
    virtual long NextMatch(QVTREEPOS& pos) = 0;
    virtual long FindNode(const char* path, long start) = 0;
    virtual long FindInDocumentOrder(const char* text, long from, long scope, long flags) = 0;
    virtual char* GetNodeName(long node, char* dst, long len) = 0;
    virtual char* GetNodeText(long node, char* dst, long len) = 0;
    virtual long GetNodeTextAsLong(long node) = 0;
    virtual int GetNodeTextAsInt(long node) = 0;
    virtual long GetNodeLength(long node) = 0;
    virtual long GetNodeStart(long node) = 0;
    virtual long GetNodeKind(long node) = 0;
    virtual long GetNodeValue(long node) = 0;
    virtual long GetNumDescendants(long node) = 0;
    virtual long GetNextSibling(long node) = 0;
    virtual long GetPrevSibling(long node) = 0;
    virtual long GetChildIndex(long node) = 0;
    virtual long GetDepth(long node) = 0;
    virtual long Reserved24() = 0;
    virtual long Reserved25() = 0;
    virtual long GetNodeNameId(long node) = 0;
    virtual const char* GetNodeTextPointer(long node) = 0;
    virtual long FindChild(long node, long nameId, int recursive) = 0;
};

class ParseTreeImp : public QVParseTree {
public:
    static ParseTreeImp* CreateNew();
    ~ParseTreeImp() override;
    void Initialize(QVGrammar* grammar, QVInputStream* stream);
    void SetOwnsStream(bool owns) { ownsStream_ = owns; }
    QVInputStream* GetStream() const { return stream_; }
    QVGrammar* GetGrammar() const { return grammar_; }
    const QVTreeNode* GetNode(long id) const;
    long Serialize(const char* path, long offset, int write);
    void SetTreeMarker(long n);
    long GetTreeMarker() const { return marker_; }
    void UpdateTreeMarker();

    // Construction by the engine.
    long AddNode(long parent, long symbol, long value, long start, long length);
    long AddLiteralNode(long parent, const char* name, const char* text);
    long AddString(const char* text);
    long AddNumberString(long value);
    void CutBack(long count);
    void SetLength(long node, long length);
    void SetValue(long node, long value);
    void SetParent(long node, long parent);
    void SetStartString(long node, long stringIndex);
    void Link();
    long Count() const { return count_; }
    bool IsLinked() const { return linked_; }
    // Instructions the engine added for one parse only: nodes made by them keep their names.
    void SetDefaultInstructions(long root, long error)
    {
        defaultRoot_ = root;
        defaultError_ = error;
    }
    bool IsErrorNode(long node) const;

    long GetNodeCount() override { return count_ - 1; }
    long GetRoot() override { return count_ > 1 ? 1 : 0; }
    long GetParent(long node) override;
    long GetChild(long node, long index) override;
    long GetNumChildren(long node) override;
    long IsLeaf(long node) override;
    QVTREEPOS StartSearch(const char* path, long start) override;
    long NextMatch(QVTREEPOS& pos) override;
    long FindNode(const char* path, long start) override;
    long FindInDocumentOrder(const char* text, long from, long scope, long flags) override;
    char* GetNodeName(long node, char* dst, long len) override;
    char* GetNodeText(long node, char* dst, long len) override;
    long GetNodeTextAsLong(long node) override;
    int GetNodeTextAsInt(long node) override;
    long GetNodeLength(long node) override;
    long GetNodeStart(long node) override;
    long GetNodeKind(long node) override;
    long GetNodeValue(long node) override;
    long GetNumDescendants(long node) override;
    long GetNextSibling(long node) override;
    long GetPrevSibling(long node) override;
    long GetChildIndex(long node) override;
    long GetDepth(long node) override;
    long Reserved24() override { return 0; }
    long Reserved25() override { return 0; }
    long GetNodeNameId(long node) override;
    const char* GetNodeTextPointer(long node) override;
    long FindChild(long node, long nameId, int recursive) override;

    // The whole text of a node, however long.
    bool CopyNodeText(long node, char* dst, long len, long& written);
    long GetNodeTextLength(long node);

private:
    ParseTreeImp() = default;
    bool Valid(long node) const { return node >= 1 && node < count_; }
    const char* String(long index) const;
    long SubtreeEnd(long node) const;
    bool NameMatches(long node, const char* name);
    const char* NodeNameText(long node);
    bool TextEquals(long node, const char* text, long length);
    long FirstCandidate(QVTREEPOS& pos, long level);
    long NextCandidate(QVTREEPOS& pos, long level, long current);
    void Advance(QVTREEPOS& pos, bool resume);
    bool ParsePath(const char* path, QVTREEPOS& pos);
    void Search(QVTREEPOS& pos, const char* path, long start);
    bool Grow();

    QVGrammar* grammar_ = nullptr;
    GrammarContext* context_ = nullptr;
    QVInputStream* stream_ = nullptr;
    bool ownsStream_ = false;
    PtrArray strings_;
    QVTreeNode* nodes_ = nullptr;
    long count_ = 0;
    long capacity_ = 0;
    bool linked_ = false;
    long marker_ = 0;
    long defaultRoot_ = -1;
    long defaultError_ = -1;
    // Names of the instructions nodes were made by, formatted once: tree queries compare names
    // on every step of a search.
    std::unordered_map<long, std::string> instructionNames_;
    // FindNode's search state, kept between calls: a fresh one clears some 3 KB each time, and
    // the converter asks thousands of times per script.
    QVTREEPOS findPos_;
};
