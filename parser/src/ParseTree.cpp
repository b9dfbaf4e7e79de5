#include "qvrn/ParseTree.h"

#include "qvrn/FileFunctions.h"
#include "qvrn/Grammar.h"
#include "qvrn/InputStream.h"
#include "qvrn/Instructions.h"
#include "qvrn/QVError.h"
#include "qvrn/Scanners.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>

namespace {

const char kTreeMagic[] = "QV-SERIALIZED-TREE";
const long kTreeMagicLength = 18;
const long kTreeVersion = 3;
const long kCompareLength = 255;

bool IsPathNameChar(char c)
{
    return QVIsAlpha(c) || QVIsDigit(c) || c == '_' || c == '{' || c == '}' || c == '<' || c == '>' || c == '"';
}

} // namespace

QVTREEPOS::QVTREEPOS()
    : steps(), tree(nullptr), count(0), level(-1), literal(), literalLength(-1), valid(false), match(0)
{
}

ParseTreeImp* ParseTreeImp::CreateNew()
{
    ParseTreeImp* tree = new (std::nothrow) ParseTreeImp();
    if (!tree)
        return nullptr;
    tree->nodes_ = static_cast<QVTreeNode*>(malloc(sizeof(QVTreeNode) * 512));
    if (!tree->nodes_ || tree->strings_.Add(strdup("(null)")) < 0) {
        delete tree;
        return nullptr;
    }
    tree->capacity_ = 512;
    tree->nodes_[0] = QVTreeNode{-1, 0, 0, 0, 0, 0};
    tree->count_ = 1;
    return tree;
}

ParseTreeImp::~ParseTreeImp()
{
    for (long i = 0; i < strings_.GetSize(); ++i)
        free(strings_.GetAt(i));
    free(nodes_);
    if (ownsStream_)
        delete stream_;
}

void ParseTreeImp::Initialize(QVGrammar* grammar, QVInputStream* stream)
{
    grammar_ = grammar;
    context_ = grammar ? static_cast<GrammarImp*>(grammar)->GetContext() : nullptr;
    stream_ = stream;
    instructionNames_.clear();
}

const QVTreeNode* ParseTreeImp::GetNode(long id) const { return id >= 0 && id < count_ ? &nodes_[id] : nullptr; }

const char* ParseTreeImp::String(long index) const
{
    const char* text = static_cast<const char*>(strings_.GetAt(index));
    return text ? text : "";
}

bool ParseTreeImp::Grow()
{
    long capacity = capacity_ * 2;
    QVTreeNode* grown = static_cast<QVTreeNode*>(realloc(nodes_, sizeof(QVTreeNode) * capacity));
    if (!grown) {
        if (context_ && context_->GetErrorManager())
            context_->GetErrorManager()->ThrowError(kQVTreeOutOfMemory);
        return false;
    }
    nodes_ = grown;
    capacity_ = capacity;
    return true;
}

long ParseTreeImp::AddNode(long parent, long symbol, long value, long start, long length)
{
    if (parent == count_ || parent < 0 || parent >= count_ || (count_ == capacity_ && !Grow()))
        return 0;
    nodes_[count_] = QVTreeNode{static_cast<int32_t>(parent), static_cast<int32_t>(symbol), static_cast<int32_t>(value),
                                static_cast<int32_t>(start),  static_cast<int32_t>(length), 0};
    linked_ = false;
    return count_++;
}

long ParseTreeImp::AddLiteralNode(long parent, const char* name, const char* text)
{
    long nameIndex = AddString(name);
    long textIndex = AddString(text);
    if (nameIndex < 0 || textIndex < 0)
        return 0;
    return AddNode(parent, QV_NODE_LITERAL, nameIndex, textIndex, 0);
}

long ParseTreeImp::AddString(const char* text)
{
    char* copy = strdup(text ? text : "");
    long index = copy ? strings_.Add(copy) : -1;
    if (index < 0)
        free(copy);
    return index;
}

long ParseTreeImp::AddNumberString(long value)
{
    char text[32];
    snprintf(text, sizeof text, "%ld", value);
    return AddString(text);
}

void ParseTreeImp::CutBack(long count)
{
    if (count >= 1 && count < count_) {
        count_ = count;
        linked_ = false;
        UpdateTreeMarker();
    }
}

void ParseTreeImp::SetLength(long node, long length)
{
    if (Valid(node) && nodes_[node].symbol != QV_NODE_LITERAL)
        nodes_[node].length = static_cast<int32_t>(length);
}

void ParseTreeImp::SetValue(long node, long value)
{
    if (Valid(node))
        nodes_[node].value = static_cast<int32_t>(value);
}

void ParseTreeImp::SetStartString(long node, long stringIndex)
{
    if (Valid(node) && nodes_[node].symbol == QV_NODE_LITERAL && stringIndex >= 0)
        nodes_[node].start = static_cast<int32_t>(stringIndex);
}

void ParseTreeImp::SetParent(long node, long parent)
{
    if (Valid(node) && parent >= 0 && parent < node)
        nodes_[node].parent = static_cast<int32_t>(parent);
}

void ParseTreeImp::SetTreeMarker(long n) { marker_ = n == -1 ? count_ - 1 : n; }

void ParseTreeImp::UpdateTreeMarker()
{
    if (marker_ > count_ - 1)
        marker_ = count_ - 1;
}

bool ParseTreeImp::IsErrorNode(long node) const
{
    if (!Valid(node) || nodes_[node].symbol < 0)
        return false;
    long symbol = nodes_[node].symbol;
    return symbol == defaultError_ || (context_ && context_->GetSymbolType(symbol) == QV_ERROR);
}

// Node j's previous sibling is found by climbing from j - 1 to the node whose parent is j's.
void ParseTreeImp::Link()
{
    for (long j = 0; j < count_; ++j)
        nodes_[j].next = 0;
    for (long j = 2; j < count_; ++j) {
        long p = nodes_[j].parent;
        if (p >= j - 1)
            continue;
        long previous = j - 1;
        while (previous > 0 && nodes_[previous].parent != p)
            previous = nodes_[previous].parent;
        if (previous > 0)
            nodes_[previous].next = static_cast<int32_t>(j);
    }
    linked_ = true;
}

long ParseTreeImp::SubtreeEnd(long node) const
{
    long j = node + 1;
    for (; j < count_; ++j) {
        long p = nodes_[j].parent;
        while (p > node)
            p = nodes_[p].parent;
        if (p != node)
            break;
    }
    return j;
}

long ParseTreeImp::GetParent(long node) { return Valid(node) ? nodes_[node].parent : 0; }

long ParseTreeImp::GetNextSibling(long node)
{
    if (!Valid(node))
        return 0;
    if (linked_)
        return nodes_[node].next;
    long j = SubtreeEnd(node);
    return j < count_ && nodes_[j].parent == nodes_[node].parent ? j : 0;
}

long ParseTreeImp::GetChild(long node, long index)
{
    if (!Valid(node) || index < 0)
        return 0;
    long child = node + 1 < count_ && nodes_[node + 1].parent == node ? node + 1 : 0;
    for (long i = 0; child && i < index; ++i)
        child = GetNextSibling(child);
    return child;
}

long ParseTreeImp::GetNumChildren(long node)
{
    long n = 0;
    for (long child = GetChild(node, 0); child; child = GetNextSibling(child))
        ++n;
    return n;
}

long ParseTreeImp::IsLeaf(long node) { return GetChild(node, 0) ? 0 : 1; }

long ParseTreeImp::GetNumDescendants(long node) { return Valid(node) ? SubtreeEnd(node) - node - 1 : 0; }

long ParseTreeImp::GetChildIndex(long node)
{
    long parent = GetParent(node);
    if (!Valid(parent))
        return -1;
    long index = 0;
    for (long child = GetChild(parent, 0); child; child = GetNextSibling(child), ++index)
        if (child == node)
            return index;
    return -1;
}

long ParseTreeImp::GetPrevSibling(long node)
{
    long parent = GetParent(node);
    if (!Valid(parent))
        return 0;
    long previous = 0;
    for (long child = GetChild(parent, 0); child && child != node; child = GetNextSibling(child))
        previous = child;
    return previous;
}

long ParseTreeImp::GetDepth(long node)
{
    if (!Valid(node))
        return -1;
    long depth = 0;
    for (long p = nodes_[node].parent; p >= 1; p = nodes_[p].parent)
        ++depth;
    return depth;
}

// The whole name of a valid node, as GetNodeName gives it before cutting it to size.
const char* ParseTreeImp::NodeNameText(long node)
{
    const QVTreeNode& n = nodes_[node];
    if (n.symbol == QV_NODE_LITERAL)
        return String(n.value);
    if (n.symbol == QV_NODE_CONTEXT)
        return context_ && context_->GetContextName(n.value) ? context_->GetContextName(n.value) : "";
    if (n.symbol == defaultRoot_)
        return "Parse Tree";
    if (n.symbol == defaultError_)
        return "Error";
    if (!context_)
        return "";
    auto known = instructionNames_.find(n.symbol);
    if (known != instructionNames_.end())
        return known->second.c_str();
    std::string name(256, '\0');
    for (;;) {
        QVGetInstructionName(*context_, n.symbol, &name[0], static_cast<long>(name.size()));
        if (strlen(name.c_str()) + 1 < name.size())
            break;
        name.resize(name.size() * 2);
    }
    return instructionNames_.emplace(n.symbol, name.c_str()).first->second.c_str();
}

char* ParseTreeImp::GetNodeName(long node, char* dst, long len)
{
    if (!dst || len <= 0)
        return dst;
    dst[0] = 0;
    if (!Valid(node))
        return dst;
    const char* name = NodeNameText(node);
    size_t length = strnlen(name, static_cast<size_t>(len - 1));
    memcpy(dst, name, length);
    dst[length] = 0;
    return dst;
}

long ParseTreeImp::GetNodeTextLength(long node)
{
    if (!Valid(node))
        return 0;
    const QVTreeNode& n = nodes_[node];
    return n.symbol == QV_NODE_LITERAL ? static_cast<long>(strlen(String(n.start))) : n.length;
}

bool ParseTreeImp::CopyNodeText(long node, char* dst, long len, long& written)
{
    written = 0;
    if (!Valid(node) || len <= 0)
        return false;
    const QVTreeNode& n = nodes_[node];
    long length = GetNodeTextLength(node);
    if (length > len)
        length = len;
    bool inInput = stream_ && n.start >= 0 && n.start <= stream_->GetSize() - length;
    const char* source = n.symbol == QV_NODE_LITERAL ? String(n.start)
                         : inInput                   ? stream_->PointerAt(n.start, length)
                                                     : nullptr;
    if (!source)
        return false;
    memcpy(dst, source, length);
    written = length;
    return true;
}

char* ParseTreeImp::GetNodeText(long node, char* dst, long len)
{
    if (!dst || len <= 0)
        return dst;
    long written = 0;
    CopyNodeText(node, dst, len, written);
    if (written < len)
        dst[written] = 0;
    return dst;
}

long ParseTreeImp::GetNodeTextAsLong(long node)
{
    char text[32];
    GetNodeText(node, text, 31);
    text[31] = 0;
    return strtol(text, nullptr, 10);
}

int ParseTreeImp::GetNodeTextAsInt(long node) { return static_cast<int>(GetNodeTextAsLong(node)); }

long ParseTreeImp::GetNodeLength(long node) { return GetNodeTextLength(node); }

long ParseTreeImp::GetNodeStart(long node)
{
    if (!Valid(node))
        return 0;
    return nodes_[node].symbol == QV_NODE_LITERAL ? -1 : nodes_[node].start;
}

long ParseTreeImp::GetNodeKind(long node)
{
    if (!Valid(node))
        return 0;
    long symbol = nodes_[node].symbol;
    if (symbol < 0)
        return symbol;
    if (symbol == defaultRoot_)
        return QV_ROOT;
    if (symbol == defaultError_)
        return QV_ERROR;
    return context_ ? context_->GetSymbolType(symbol) : 0;
}

long ParseTreeImp::GetNodeValue(long node)
{
    return Valid(node) && nodes_[node].symbol != QV_NODE_LITERAL ? nodes_[node].value : 0;
}

long ParseTreeImp::GetNodeNameId(long node)
{
    if (!Valid(node) || !context_)
        return 0;
    const QVTreeNode& n = nodes_[node];
    if (n.symbol == QV_NODE_CONTEXT)
        return context_->GetContextNameID(n.value);
    if (n.symbol >= 0 && n.symbol != defaultRoot_ && n.symbol != defaultError_ &&
        context_->GetSymbolType(n.symbol) == QV_SYMBOL && QVReadInt(context_->GetByteCode(), n.symbol + 4) == 1)
        return QVReadInt(context_->GetByteCode(), n.symbol + 8);
    return 0;
}

const char* ParseTreeImp::GetNodeTextPointer(long node)
{
    if (!Valid(node))
        return nullptr;
    const QVTreeNode& n = nodes_[node];
    if (n.symbol == QV_NODE_LITERAL)
        return String(n.start);
    bool inInput = stream_ && n.start >= 0 && n.length >= 0 && n.start <= stream_->GetSize() - n.length;
    return inInput ? stream_->PointerAt(n.start, n.length) : nullptr;
}

long ParseTreeImp::FindChild(long node, long nameId, int recursive)
{
    if (!Valid(node))
        return 0;
    if (nodes_[node].symbol == QV_NODE_CONTEXT)
        return GetNodeNameId(node) == nameId ? node : 0;
    for (long child = GetChild(node, 0); child; child = GetNextSibling(child)) {
        if (nameId == 0 || GetNodeNameId(child) == nameId)
            return child;
        if (recursive) {
            long hit = FindChild(child, nameId, recursive);
            if (hit)
                return hit;
        }
    }
    return 0;
}

// Compares as GetNodeName into 256 bytes and strcasecmp would, without copying the name.
bool ParseTreeImp::NameMatches(long node, const char* name)
{
    if (!name[0])
        return true;
    const long kCompared = 255;
    const char* nodeName = Valid(node) ? NodeNameText(node) : "";
    for (long i = 0; i < kCompared; ++i) {
        const int a = tolower(static_cast<unsigned char>(nodeName[i]));
        if (a != tolower(static_cast<unsigned char>(name[i])))
            return false;
        if (!a)
            return true;
    }
    return name[kCompared] == 0;
}

bool ParseTreeImp::TextEquals(long node, const char* text, long length)
{
    if (GetNodeTextLength(node) != length)
        return false;
    std::string nodeText(length, '\0');
    long written = 0;
    if (length > 0 && (!CopyNodeText(node, &nodeText[0], length, written) || written != length))
        return false;
    return strncasecmp(nodeText.c_str(), text, length) == 0;
}

long ParseTreeImp::FindInDocumentOrder(const char* text, long from, long scope, long flags)
{
    if (from <= 0)
        from = GetRoot();
    if (scope == 0)
        scope = from;
    else if (scope == -1)
        scope = GetRoot();
    if (!Valid(from))
        return 0;
    auto matches = [&](long node) {
        if (!text || !*text)
            return true;
        std::string candidates[2];
        if (flags & 1) {
            char name[256];
            candidates[0] = GetNodeName(node, name, sizeof name);
        }
        if ((flags & 2) && IsLeaf(node)) {
            char nodeText[kCompareLength + 1];
            candidates[1] = GetNodeText(node, nodeText, kCompareLength + 1);
            candidates[1] = candidates[1].substr(0, kCompareLength);
        }
        for (long k = 0; k < 2; ++k) {
            if (!((k == 0 && (flags & 1)) || (k == 1 && (flags & 2) && IsLeaf(node))))
                continue;
            const std::string& s = candidates[k];
            if (flags & 4) {
                if ((flags & 8) ? s == text : strcasecmp(s.c_str(), text) == 0)
                    return true;
            } else if (flags & 8 ? s.find(text) != std::string::npos : strcasestr(s.c_str(), text) != nullptr) {
                return true;
            }
        }
        return false;
    };
    // Descendants come right after a node in pre-order.
    for (long j = from + 1; j < SubtreeEnd(from); ++j)
        if (matches(j))
            return j;
    if (scope == from)
        return 0;
    for (long node = from; Valid(node) && node != scope;) {
        long end = SubtreeEnd(node);
        long parent = nodes_[node].parent;
        long parentEnd = Valid(parent) ? SubtreeEnd(parent) : count_;
        for (long j = end; j < parentEnd; ++j)
            if (matches(j))
                return j;
        node = parent;
    }
    return 0;
}

// Reads a path into steps; any part longer than the limits makes a path that matches nothing.
bool ParseTreeImp::ParsePath(const char* path, QVTREEPOS& pos)
{
    const char* p = path ? path : "";
    auto readName = [&](char* dst) {
        long n = 0;
        while (IsPathNameChar(*p)) {
            if (n >= 64)
                return false;
            dst[n++] = *p++;
        }
        dst[n] = 0;
        return true;
    };
    auto addStep = [&](int direction, bool anyDepth, long childIndex) -> QVTREEPOS::Step* {
        if (pos.count >= 32)
            return nullptr;
        QVTREEPOS::Step& step = pos.steps[pos.count++];
        step = QVTREEPOS::Step{childIndex, {}, direction, anyDepth, 0, 0};
        return &step;
    };
    bool ok = true;
    auto step = [&](int direction, bool anyDepth, long childIndex) {
        QVTREEPOS::Step* s = addStep(direction, anyDepth, childIndex);
        char ignored[65];
        ok = ok && readName(s ? s->name : ignored);
    };
    if (*p == '/') {
        ++p;
        step(0, false, -1);
    }
    if (*p == '*') {
        ++p;
        step(1, true, -1);
    }
    while (ok) {
        while (*p == ' ')
            ++p;
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                ++p;
                step(1, true, -1);
            } else if (QVIsDigit(*p)) {
                long index = 0;
                while (QVIsDigit(*p) && index < 100000000)
                    index = index * 10 + (*p++ - '0');
                step(1, false, index);
            } else {
                step(1, false, -1);
            }
        } else if (*p == '^') {
            ++p;
            bool any = *p == '*';
            if (any)
                ++p;
            step(-1, any, -1);
        } else if (*p == '=') {
            ++p;
            while (*p == ' ')
                ++p;
            const char* end = p + 1;
            while (*p == '"' && *end && *end != '"')
                end += end[0] == '\\' && end[1] ? 2 : 1;
            if (*p != '"' || *end != '"' || end - p > 2 * 256)
                return false;
            std::string quoted(p, end + 1);
            char text[257];
            long n = TranslateLiteralExp(quoted.c_str(), text, sizeof text);
            if (n == 0 && quoted != "\"\"")
                return false;
            memcpy(pos.literal, text, n + 1);
            pos.literalLength = n;
            break;
        } else if (IsPathNameChar(*p)) {
            step(1, false, -1);
        } else {
            break;
        }
    }
    return ok && pos.count > 0;
}

long ParseTreeImp::FirstCandidate(QVTREEPOS& pos, long level)
{
    QVTREEPOS::Step& step = pos.steps[level];
    long base = step.base;
    if (step.direction == 0)
        return GetRoot() && NameMatches(1, step.name) ? 1 : 0;
    if (step.direction == -1) {
        for (long p = GetParent(base); Valid(p); p = step.anyDepth ? GetParent(p) : 0)
            if (NameMatches(p, step.name))
                return p;
        return 0;
    }
    if (step.childIndex >= 0)
        return GetChild(base, step.childIndex);
    if (step.anyDepth) {
        long end = SubtreeEnd(base);
        for (long j = base + 1; j < end; ++j)
            if (NameMatches(j, step.name))
                return j;
        return 0;
    }
    for (long child = GetChild(base, 0); child; child = GetNextSibling(child))
        if (NameMatches(child, step.name))
            return child;
    return 0;
}

long ParseTreeImp::NextCandidate(QVTREEPOS& pos, long level, long current)
{
    QVTREEPOS::Step& step = pos.steps[level];
    if (step.direction != 1 || step.childIndex >= 0)
        return 0;
    if (step.anyDepth) {
        long end = SubtreeEnd(step.base);
        for (long j = current + 1; j < end; ++j)
            if (NameMatches(j, step.name))
                return j;
        return 0;
    }
    for (long child = GetNextSibling(current); child; child = GetNextSibling(child))
        if (NameMatches(child, step.name))
            return child;
    return 0;
}

// Walks the levels depth first until the last level yields a node that passes the literal.
void ParseTreeImp::Advance(QVTREEPOS& pos, bool resume)
{
    pos.match = 0;
    long candidate;
    if (!resume) {
        pos.level = 0;
        candidate = FirstCandidate(pos, 0);
    } else {
        candidate = NextCandidate(pos, pos.level, pos.steps[pos.level].current);
    }
    while (pos.level >= 0) {
        if (!candidate) {
            if (--pos.level < 0)
                break;
            candidate = NextCandidate(pos, pos.level, pos.steps[pos.level].current);
            continue;
        }
        pos.steps[pos.level].current = candidate;
        if (pos.level == pos.count - 1) {
            if (pos.literalLength < 0 || TextEquals(candidate, pos.literal, pos.literalLength)) {
                pos.match = candidate;
                return;
            }
            candidate = NextCandidate(pos, pos.level, candidate);
            continue;
        }
        ++pos.level;
        pos.steps[pos.level].base = candidate;
        candidate = FirstCandidate(pos, pos.level);
    }
}

QVTREEPOS ParseTreeImp::StartSearch(const char* path, long start)
{
    QVTREEPOS pos;
    Search(pos, path, start);
    return pos;
}

// Starts a search in pos, whose steps beyond those the path sets are never read.
void ParseTreeImp::Search(QVTREEPOS& pos, const char* path, long start)
{
    pos.tree = this;
    if (start <= 0)
        start = GetRoot();
    pos.valid = ParsePath(path, pos) && Valid(start);
    if (!pos.valid) {
        pos.count = 0;
        return;
    }
    pos.steps[0].base = start;
    Advance(pos, false);
}

long ParseTreeImp::NextMatch(QVTREEPOS& pos)
{
    long match = pos.match;
    if (match && pos.valid)
        Advance(pos, true);
    return match;
}

long ParseTreeImp::FindNode(const char* path, long start)
{
    // What a fresh search state holds, apart from the cleared steps.
    findPos_.count = 0;
    findPos_.level = -1;
    findPos_.literal[0] = 0;
    findPos_.literalLength = -1;
    findPos_.valid = false;
    findPos_.match = 0;
    Search(findPos_, path, start);
    return findPos_.match;
}

long ParseTreeImp::Serialize(const char* path, long offset, int write)
{
    FILE* file = path && *path ? fopen(path, "r+b") : nullptr;
    if (!file)
        return 0;
    bool ok = fseek(file, offset, SEEK_SET) == 0;
    if (write) {
        int32_t version = kTreeVersion;
        char linked = linked_ ? 1 : 0;
        int32_t count = static_cast<int32_t>(count_);
        int32_t strings = static_cast<int32_t>(strings_.GetSize());
        ok = ok && fwrite(kTreeMagic, kTreeMagicLength, 1, file) == 1 && fwrite(&version, 4, 1, file) == 1 &&
             fwrite(&linked, 1, 1, file) == 1 && fwrite(&count, 4, 1, file) == 1 &&
             fwrite(nodes_, sizeof(QVTreeNode), count_, file) == static_cast<size_t>(count_) &&
             fwrite(&strings, 4, 1, file) == 1;
        for (long i = 0; ok && i < strings; ++i) {
            const char* text = String(i);
            int32_t length = static_cast<int32_t>(strlen(text));
            ok = fwrite(&length, 4, 1, file) == 1 && fwrite(text, 1, length, file) == static_cast<size_t>(length);
        }
        return fclose(file) == 0 && ok ? 1 : 0;
    }
    long fileSize = GetFileSize(file);
    char magic[kTreeMagicLength];
    int32_t version = 0, count = 0, strings = 0;
    char linked = 0;
    ok = ok && fread(magic, kTreeMagicLength, 1, file) == 1 && memcmp(magic, kTreeMagic, kTreeMagicLength) == 0 &&
         fread(&version, 4, 1, file) == 1 && version == kTreeVersion && fread(&linked, 1, 1, file) == 1 &&
         fread(&count, 4, 1, file) == 1 && count >= 1 && count <= (fileSize - ftell(file)) / 24;
    QVTreeNode* nodes = ok ? static_cast<QVTreeNode*>(malloc(sizeof(QVTreeNode) * count)) : nullptr;
    ok = nodes && fread(nodes, sizeof(QVTreeNode), count, file) == static_cast<size_t>(count) &&
         fread(&strings, 4, 1, file) == 1 && strings >= 1 && strings <= (fileSize - ftell(file)) / 4;
    PtrArray loaded;
    for (long i = 0; ok && i < strings; ++i) {
        int32_t length = 0;
        ok = fread(&length, 4, 1, file) == 1 && length >= 0 && length <= fileSize - ftell(file);
        char* text = ok ? static_cast<char*>(malloc(length + 1)) : nullptr;
        ok = text && fread(text, 1, length, file) == static_cast<size_t>(length) && loaded.Add(text) >= 0;
        if (text)
            text[ok ? length : 0] = 0;
        if (!ok)
            free(text);
    }
    // Every link inside the stored nodes must stay inside the stored tables.
    for (long j = 1; ok && j < count; ++j) {
        const QVTreeNode& n = nodes[j];
        ok =
            n.parent >= 0 && n.parent < j && n.next >= 0 && n.next < count && n.length >= 0 &&
            (n.symbol != QV_NODE_LITERAL || (n.value >= 0 && n.value < strings && n.start >= 0 && n.start < strings)) &&
            (n.symbol == QV_NODE_LITERAL || n.start >= 0);
    }
    fclose(file);
    if (!ok) {
        for (long i = 0; i < loaded.GetSize(); ++i)
            free(loaded.GetAt(i));
        free(nodes);
        return 0;
    }
    for (long i = 0; i < strings_.GetSize(); ++i)
        free(strings_.GetAt(i));
    strings_.RemoveAll();
    for (long i = 0; i < loaded.GetSize(); ++i)
        strings_.Add(loaded.GetAt(i));
    free(nodes_);
    nodes_ = nodes;
    count_ = capacity_ = count;
    linked_ = linked != 0;
    return 1;
}
