// The flat member list of a record image: one entry per scalar member, each with the dotted
// path by which CType::Dump reaches that member again.
#include "converter/core/CType.h"

namespace {
// The listing runs for one type at a time; this marks the part that belongs to the most-base class.
bool ListingRootClass = false;

} // namespace

void CType::BuildMemberList(const void* image)
{
    MemberList.clear();
    Cursor = 0;
    const CType* root = this;
    while (root->Base)
        root = root->Base;
    ListingRootClass = false;
    ListType(*this, static_cast<const unsigned char*>(image), "", "", root);
    ListingRootClass = false;
}

CExtractInfo* CType::NextMember()
{
    while (Cursor < MemberList.size()) {
        CExtractInfo* entry = MemberList[Cursor++].get();
        if (!entry->Hidden)
            return entry;
    }
    return nullptr;
}

void CType::ListType(CType& owner, const unsigned char* image, const std::string& prefix, const std::string& memberName,
                     const CType* root)
{
    if (Base)
        Base->ListType(owner, image, prefix, memberName, root);
    const bool isRoot = this == root;
    if (isRoot)
        ListingRootClass = true;
    const std::string memberPrefix =
        memberName.empty() || IsGeneratedTypeName(memberName) ? prefix : prefix + memberName + ".";
    if (TypeKind == Union) {
        ListUnion(owner, image, memberPrefix, root);
    } else {
        for (const std::unique_ptr<CMember>& member : Members)
            ListMember(owner, image, *member, memberPrefix, root);
    }
    if (isRoot)
        ListingRootClass = false;
}

void CType::ListLeaf(const unsigned char* image, const CMember& member, const std::string& prefix)
{
    std::unique_ptr<CExtractInfo> entry(new CExtractInfo);
    entry->TypeName = member.IsPointer ? "pointer" : member.Type->GetName();
    entry->Path = prefix + member.Name;
    entry->Value.SetRaw(entry->TypeName.c_str(), image + member.Offset);
    entry->Offset = member.Offset;
    entry->Hidden = !member.Name.empty() && member.Name[0] == '_';
    entry->InRootClass = ListingRootClass;
    MemberList.push_back(std::move(entry));
}

void CType::ListMember(CType& owner, const unsigned char* image, const CMember& member, const std::string& prefix,
                       const CType* root)
{
    // A trailing open array has no bytes in the fixed part of the image.
    if ((!member.Type && !member.IsPointer) || member.Count == 0)
        return;
    if (member.IsPointer || member.Type->TypeKind == Builtin)
        owner.ListLeaf(image, member, prefix);
    else
        member.Type->ListType(owner, image + member.Offset, prefix, member.Name, root);
}

// A union is read through one member: its first builtin one, else its first one.
void CType::ListUnion(CType& owner, const unsigned char* image, const std::string& prefix, const CType* root)
{
    for (const std::unique_ptr<CMember>& member : Members) {
        if (member->Type && member->Type->TypeKind == Builtin) {
            ListMember(owner, image, *member, prefix, root);
            return;
        }
    }
    if (!Members.empty())
        ListMember(owner, image, *Members.front(), prefix, root);
}
