#include "converter/core/CType.h"

#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"

#include "core/names/CCRC32.h"

#include <algorithm>
#include <cstring>

const char* const GeneratedTypePrefix = "_rhu_generated_struct_";

namespace {
// Counts every CType ever constructed, so generated names never repeat within a run.
int GeneratedTypeCounter = 0;

// Hands each name of a dotted path to visit, in order, until visit returns false; false then.
// Records are dumped member by member through paths, so the names share one buffer instead of
// a list of strings each.
template <class Visit> bool ForEachPathName(const char* path, Visit visit)
{
    std::string name;
    for (const char* c = path;; ++c) {
        if (*c != '.' && *c != 0) {
            name += *c;
            continue;
        }
        if (!name.empty()) {
            if (!visit(name))
                return false;
            name.clear();
        }
        if (*c == 0)
            return true;
    }
}

// A value whose text names a constant rather than spelling a number takes the constant's value.
void ApplyConstant(ZVariant& scratch, const char* name)
{
    const CConstant* constant = TypeDatabase.FindConstant(name);
    if (!constant) {
        VerbosePrintf(2, "warning: constant named %s expected, not found\n", name);
        return;
    }
    const unsigned long value = constant->Value;
    VerbosePrintf(3, "GetConstant(): %s = %08lX\n", name, value);
    if (value) {
        char text[16];
        snprintf(text, sizeof(text), "0x%08lX", value);
        scratch.Set(nullptr, text);
    }
}
} // namespace

CType::CType() { SetNameF("%s%08d_", GeneratedTypePrefix, GeneratedTypeCounter++); }

bool IsGeneratedTypeName(const std::string& name)
{
    return name.compare(0, strlen(GeneratedTypePrefix), GeneratedTypePrefix) == 0;
}

CMember* CType::AddMember(const char* memberName, const char* typeName)
{
    std::unique_ptr<CMember> member(new CMember);
    member->Name = memberName;
    member->TypeName = typeName;
    const size_t star = member->TypeName.find('*');
    if (star != std::string::npos) {
        member->IsPointer = true;
        member->TypeName.erase(star);
        while (!member->TypeName.empty() && member->TypeName.back() == ' ')
            member->TypeName.pop_back();
    }
    TypeKind = Struct;
    ResolveMember(*member);
    Members.push_back(std::move(member));
    ComputeLayout(false);
    return Members.back().get();
}

void CType::ResolveMember(CMember& member) const
{
    member.Type = nullptr;
    if (member.IsPointer) {
        member.Type = TypeDatabase.FindType("pointer");
    } else {
        CType* type = TypeDatabase.FindType(member.TypeName.c_str());
        if (!type) {
            VerbosePrintf(2, "Undefined type %s, using unsigned long instead\n", member.TypeName.c_str());
            type = TypeDatabase.FindType("unsigned long");
        }
        while (type && type->TypeKind == Typedef) {
            if (type->TargetIsPointer) {
                member.IsPointer = true;
                type = nullptr;
                break;
            }
            CType* target = TypeDatabase.FindType(type->TargetName.c_str());
            if (!target)
                vbail("undefined type: %s\n", type->TargetName.c_str());
            type = target;
        }
        member.Type = type;
    }
    member.Size = (member.Type ? member.Type->Size : 4) * member.Count;
}

// Members follow each other byte for byte: no alignment and no padding, so a record here
// is laid out exactly as the engine's packed records are.
void CType::ComputeLayout(bool exportType)
{
    unsigned long start = 0;
    if (Base) {
        start = Base->Size;
        if (Base->HasTablePointer)
            HasTablePointer = true;
        else if (HasTablePointer)
            start += 4;
    } else if (HasTablePointer) {
        start = 4;
    }
    unsigned long running = start;
    unsigned long largest = 0;
    for (const std::unique_ptr<CMember>& member : Members) {
        member->Offset = running;
        if (TypeKind == Union)
            largest = std::max(largest, member->Size);
        else
            running += member->Size;
    }
    Size = running + largest;
    if (exportType)
        Export();
}

void CType::Export()
{
    if (Exported)
        return;
    Exported = true;
    for (const std::unique_ptr<CMember>& member : Members)
        if (member->Type)
            member->Type->Export();
    if (Base)
        Base->Export();
}

CMember* CType::FindMember(const char* name, unsigned long& offset) const
{
    CMember* found = nullptr;
    unsigned long at = 0;
    for (const std::unique_ptr<CMember>& member : Members) {
        if (member->Name == name) {
            found = member.get();
            at = member->Offset;
            break;
        }
    }
    if (!found && Base) {
        unsigned long inBase = 0;
        found = Base->FindMember(name, inBase);
        at = inBase;
    }
    if (!found) {
        for (const std::unique_ptr<CMember>& member : Members) {
            if (!IsGeneratedTypeName(member->Name) || !member->Type)
                continue;
            unsigned long inner = 0;
            found = member->Type->FindMember(name, inner);
            if (found) {
                at = member->Offset + inner;
                break;
            }
        }
    }
    if (!found)
        return nullptr;
    if (!found->Type)
        vbail("Cannot dump a member that doesn't know what it's type is!\n%s", found->Name.c_str());
    offset += at;
    return found;
}

CType* CType::FindMemberPath(const char* path, unsigned long& offset, CMember** member)
{
    offset = 0;
    CType* type = this;
    const bool complete = ForEachPathName(path, [&](const std::string& name) {
        CMember* found = type->FindMember(name.c_str(), offset);
        if (!found)
            return false;
        if (member)
            *member = found;
        type = found->Type;
        return true;
    });
    return complete ? type : nullptr;
}

CType* CType::FindNestedType(const char* path, const char* typeName)
{
    const unsigned long key = CCRC32::GetCRC(typeName);
    CType* type = this;
    if (type->GetKey() == key)
        return type;
    unsigned long offset = 0;
    CType* nested = nullptr;
    ForEachPathName(path, [&](const std::string& name) {
        CMember* found = type->FindMember(name.c_str(), offset);
        if (!found)
            return false;
        type = found->Type;
        if (type->GetKey() == key)
            nested = type;
        return nested == nullptr;
    });
    return nested;
}

void CType::Begin(CZelWriter& writer, const char* symbolName, bool isPublic, unsigned long alignment)
{
    // Only records with a table pointer enter the type table: the engine constructs those in place.
    writer.DefineSymbol(symbolName, HasTablePointer ? GetName() : nullptr, isPublic, alignment);
    RecordStart = writer.GetPosition();
    writer.Reserve(Size);
    DumpSize = Size;
}

unsigned long CType::Dump(CZelWriter& writer, const char* path, const ZVariant& value, bool lookupConstant,
                          const char* symbolName)
{
    if (DumpSize == 0)
        vbail("CType::Dump() Dumpsize==0 - likely that means that Begin() wasn't called\n");
    CType* target = this;
    CMember* member = nullptr;
    if (path) {
        unsigned long offset = 0;
        target = FindMemberPath(path, offset, &member);
        if (!target) {
            VerbosePrintf(2, "WARNING: Requested %s for output,\nbut doesn't exist in %s\n", path, GetName());
            return writer.GetPosition();
        }
        // Values of a trailing open array go behind whatever the record holds so far.
        const bool openArray = member && member->Size == 0;
        writer.SetPosition(RecordStart + (openArray ? DumpSize : offset));
    }
    if (target->TypeKind != Builtin)
        vbail("\nERROR: Type not dumpable\nWhen we get down to dumpin, we better translate into a builtin type\n%s",
              target->GetName());
    if (symbolName)
        writer.DefineSymbol(symbolName, nullptr, false, 0);
    if (member && member->Size == 0) {
        DumpSize += value.GetSize();
        value.Write(writer, nullptr);
    } else if (value.GetType() == CCRC32::GetCRC("offset") && value.GetSize() == target->Scratch.GetSize()) {
        value.Write(writer, path);
    } else {
        target->Scratch.Assign(value);
        if (lookupConstant && !strcmp(target->Scratch.ToString(), "0"))
            ApplyConstant(target->Scratch, value.GetText());
        target->Scratch.Write(writer, path);
    }
    writer.SetPosition(RecordStart + DumpSize);
    return RecordStart + DumpSize;
}

CType* CType::AdjustOffset(CZelWriter& writer, const char* memberName)
{
    if (!memberName) {
        writer.SetPosition(RecordStart + DumpSize);
        return nullptr;
    }
    for (const std::unique_ptr<CMember>& member : Members) {
        if (member->Name == memberName) {
            writer.SetPosition(RecordStart + member->Offset);
            return member->Type;
        }
    }
    printf("SERIOUS WARNING: Requested %s for output offset adjustment,\n but doesn't exist in %s\n", memberName,
           GetName());
    return nullptr;
}
