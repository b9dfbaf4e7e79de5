#pragma once
// A record layout of the type database (class, struct, union, typedef or builtin scalar),
// with its members, and the state of the one record of it being written.
#include "converter/core/CNamedArrayElement.h"
#include "converter/core/ZVariant.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class CType;
class CZelWriter;

class CMember {
public:
    std::string Name;
    std::string TypeName;  // as declared
    CType* Type = nullptr; // resolved; the builtin "pointer" for pointers
    bool IsPointer = false;
    unsigned long Count = 1;    // 0 for a trailing open array
    unsigned long BitWidth = 0; // kept and written back, never part of the layout
    unsigned long Offset = 0;   // from the start of the declaring type
    unsigned long Size = 0;

    void Save(FILE* stream) const;
};

// One leaf of a record image: the path by which CType::Dump reaches it, and its value.
class CExtractInfo {
public:
    std::string TypeName;
    std::string Path;
    ZVariant Value;
    unsigned long Offset = 0;
    bool Hidden = false;
    bool InRootClass = false;
};

class CType : public CNamedArrayElement {
public:
    enum Kind { Builtin = 0, Class = 1, Struct = 2, Union = 3, Typedef = 4 };

    CType();

    // Appends a member (a trailing "*" on the type name makes it a pointer) and lays the
    // type out again as a struct.
    CMember* AddMember(const char* memberName, const char* typeName);
    // Resolves the member's type and size against the type database.
    void ResolveMember(CMember& member) const;
    void ComputeLayout(bool exportType);

    CMember* FindMember(const char* name, unsigned long& offset) const;
    CType* FindMemberPath(const char* path, unsigned long& offset, CMember** member = nullptr);
    CType* FindNestedType(const char* path, const char* typeName);

    void Begin(CZelWriter& writer, const char* symbolName, bool isPublic, unsigned long alignment);
    unsigned long Dump(CZelWriter& writer, const char* path, const ZVariant& value, bool lookupConstant,
                       const char* symbolName);
    CType* AdjustOffset(CZelWriter& writer, const char* memberName);

    void BuildMemberList(const void* image);
    CExtractInfo* NextMember();

    // The declaration; the diagnostic form also writes builtins, typedefs and unexported types.
    void Save(FILE* stream, bool diagnostic = false) const;

    std::string BaseName;
    CType* Base = nullptr;
    std::string TargetName;
    bool TargetIsPointer = false;
    unsigned long Size = 0;
    int TypeKind = Builtin;
    bool HasTablePointer = false;
    bool Exported = false;
    std::vector<std::unique_ptr<CMember>> Members;
    unsigned long RecordStart = 0;
    ZVariant Scratch;
    unsigned long DumpSize = 0;

private:
    void Export();
    // The list being built belongs to owner, the type whose record is listed.
    void ListType(CType& owner, const unsigned char* image, const std::string& prefix, const std::string& memberName,
                  const CType* root);
    void ListMember(CType& owner, const unsigned char* image, const CMember& member, const std::string& prefix,
                    const CType* root);
    void ListUnion(CType& owner, const unsigned char* image, const std::string& prefix, const CType* root);
    void ListLeaf(const unsigned char* image, const CMember& member, const std::string& prefix);

    std::vector<std::unique_ptr<CExtractInfo>> MemberList;
    size_t Cursor = 0;
};

// Nested types read without a name keep a generated one, which also stands in type files;
// members of such types are reached as if they were the holder's own.
extern const char* const GeneratedTypePrefix;
bool IsGeneratedTypeName(const std::string& name);
