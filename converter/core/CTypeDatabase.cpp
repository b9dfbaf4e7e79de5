#include "converter/core/CTypeDatabase.h"

#include "converter/core/ConsoleOutput.h"

#include "core/names/CCRC32.h"

#include <cstring>

namespace {
struct BuiltinType {
    const char* Name;
    unsigned long Size;
};

// The same sizes hold for every target platform.
const BuiltinType Builtins[] = {
    {"pointer", 4},     {"offset", 2},        {"float", 4},         {"double", 8},       {"unsigned", 4},
    {"signed", 4},      {"unsigned char", 1}, {"unsigned long", 4}, {"unsigned int", 4}, {"unsigned short", 2},
    {"signed char", 1}, {"signed long", 4},   {"signed int", 4},    {"signed short", 2}, {"char", 1},
    {"long", 4},        {"int", 4},           {"short", 2},         {"bool", 1},         {"__int64", 8},
    {"CCRC32", 4},
};
} // namespace

CTypeDatabase TypeDatabase;

struct CTypeDatabase::Image {
    struct Member {
        CMember Fields;
        int Type; // index in the list, or -1
    };
    struct Type {
        std::string Name;
        std::string BaseName;
        int Base; // index in the list, or -1
        std::string TargetName;
        bool TargetIsPointer;
        unsigned long Size;
        int TypeKind;
        bool HasTablePointer;
        bool Exported;
        ZVariant Scratch;
        std::vector<Member> Members;
    };
    struct Constant {
        std::string Name;
        ZVariant Value;
    };
    std::vector<Type> Types;
    std::vector<Constant> Constants;
};

CTypeDatabase::CTypeDatabase() : ZSearchxArray<CType>(256) { AddBuiltins(); }

void CTypeDatabase::AddBuiltins()
{
    for (const BuiltinType& builtin : Builtins) {
        CType* type = NewType();
        type->SetName(builtin.Name);
        type->Size = builtin.Size;
        type->Scratch.Set(builtin.Name, "0");
    }
}

CType* CTypeDatabase::FindType(const char* name, bool required) const
{
    CType* type = Find(CCRC32::GetCRC(name));
    if (!type && required)
        vbail("Could not locate type information for %s", name);
    return type;
}

CConstant* CTypeDatabase::FindConstant(const char* name) const { return Constants.Find(CCRC32::GetCRC(name)); }

unsigned long CTypeDatabase::GetConstant(const char* name, bool required) const
{
    const CConstant* constant = FindConstant(name);
    if (constant) {
        const unsigned long value = constant->Value;
        VerbosePrintf(3, "GetConstant(): %s = %08lX\n", name, value);
        return value;
    }
    if (required)
        vbail("\nError: Constant named %s expected, not found", name);
    VerbosePrintf(2, "warning: constant named %s expected, not found\n", name);
    return 0;
}

CConstant* CTypeDatabase::FindConstantByValue(const char* prefix, const char* suffix, unsigned long value) const
{
    for (int i = 0; i < Constants.GetSize(); ++i) {
        CConstant* constant = Constants[i];
        const char* name = constant->GetName();
        if (prefix && strncmp(name, prefix, strlen(prefix)) != 0)
            continue;
        if (suffix) {
            const char* at = strstr(name, suffix);
            if (!at || at[strlen(suffix)] != '\0')
                continue;
        }
        if (static_cast<unsigned long>(constant->Value) == value)
            return constant;
    }
    return nullptr;
}

CType* CTypeDatabase::NewType()
{
    OnlyBuiltins = false;
    CType* type = new CType;
    Add(type);
    return type;
}

CConstant* CTypeDatabase::NewConstant()
{
    OnlyBuiltins = false;
    CConstant* constant = new CConstant;
    Constants.Add(constant);
    return constant;
}

void CTypeDatabase::Reset()
{
    Constants.RemoveAll();
    RemoveAll();
    AddBuiltins();
    OnlyBuiltins = true;
}

int CTypeDatabase::IndexOfType(const CType* type) const { return type ? IndexOf(type) : -1; }

std::shared_ptr<const CTypeDatabase::Image> CTypeDatabase::Capture() const
{
    auto image = std::make_shared<Image>();
    for (const CType* type : Items) {
        Image::Type copy{type->GetName(),
                         type->BaseName,
                         IndexOfType(type->Base),
                         type->TargetName,
                         type->TargetIsPointer,
                         type->Size,
                         type->TypeKind,
                         type->HasTablePointer,
                         type->Exported,
                         type->Scratch,
                         {}};
        for (const std::unique_ptr<CMember>& member : type->Members)
            copy.Members.push_back({*member, IndexOfType(member->Type)});
        image->Types.push_back(std::move(copy));
    }
    for (int i = 0; i < Constants.GetSize(); ++i)
        image->Constants.push_back({Constants[i]->GetName(), Constants[i]->Value});
    return image;
}

void CTypeDatabase::Restore(const Image& image)
{
    // The builtins are there already; every other type is made afresh, as a load makes it.
    for (size_t i = GetSize(); i < image.Types.size(); ++i)
        NewType()->SetName(image.Types[i].Name.c_str());
    for (size_t i = 0; i < image.Types.size(); ++i) {
        const Image::Type& from = image.Types[i];
        CType& type = *Items[i];
        type.BaseName = from.BaseName;
        type.Base = (*this)[from.Base];
        type.TargetName = from.TargetName;
        type.TargetIsPointer = from.TargetIsPointer;
        type.Size = from.Size;
        type.TypeKind = from.TypeKind;
        type.HasTablePointer = from.HasTablePointer;
        type.Exported = from.Exported;
        type.Scratch = from.Scratch;
        for (const Image::Member& member : from.Members) {
            type.Members.push_back(std::make_unique<CMember>(member.Fields));
            type.Members.back()->Type = (*this)[member.Type];
        }
    }
    for (const Image::Constant& constant : image.Constants) {
        CConstant* copy = NewConstant();
        copy->SetName(constant.Name.c_str());
        copy->Value = constant.Value;
    }
}

void CTypeDatabase::Diagnostic() const
{
    printf("\n\nCTypeDatabase::Diagnostic()\n\n");
    for (int i = 0; i < GetSize(); ++i)
        (*this)[i]->Save(stdout, true);
}
