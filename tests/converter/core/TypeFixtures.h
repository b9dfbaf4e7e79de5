#pragma once
// Record types built member by member in the type database, as the type file declares them,
// for tests and test-data writers that need layouts without the header reader.
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ZVariant.h"

#include <string>

namespace typefixtures {

inline CType* NewType(const char* name, int kind, CType* base = nullptr, bool tablePointer = false)
{
    CType* type = TypeDatabase.NewType();
    type->SetName(name);
    type->TypeKind = kind;
    type->Base = base;
    type->BaseName = base ? base->GetName() : "";
    type->HasTablePointer = tablePointer;
    type->ComputeLayout(false);
    return type;
}

// Appends a member of count elements (0: a trailing open array) and lays the type out again.
inline CMember* Add(CType* type, const char* name, const char* typeName, unsigned long count = 1)
{
    const int kind = type->TypeKind;
    CMember* member = type->AddMember(name, typeName);
    type->TypeKind = kind;
    member->Count = count;
    type->ResolveMember(*member);
    type->ComputeLayout(false);
    return member;
}

// A union of two floats, as the header reader makes of an unnamed "union { float X, Red; }".
inline CType* FloatPair(const char* first, const char* second)
{
    CType* pair = TypeDatabase.NewType();
    pair->TypeKind = CType::Union;
    Add(pair, first, "float");
    Add(pair, second, "float");
    return pair;
}

inline CType* Vector()
{
    if (CType* known = TypeDatabase.FindType("CVector"))
        return known;
    CType* vector = NewType("CVector", CType::Class);
    const char* names[3][2] = {{"X", "Red"}, {"Y", "Green"}, {"Z", "Blue"}};
    for (auto& pair : names) {
        CType* unionType = FloatPair(pair[0], pair[1]);
        Add(vector, unionType->GetName(), unionType->GetName());
    }
    return vector;
}

inline CType* Message()
{
    if (CType* known = TypeDatabase.FindType("CMessage"))
        return known;
    CType* player = TypeDatabase.NewType();
    player->TypeKind = CType::Struct;
    Add(player, "Player", "unsigned short");
    Add(player, "Id", "unsigned short");
    CType* handle = NewType("HGOBJECT", CType::Union);
    Add(handle, "Handle", "unsigned long");
    Add(handle, "UniqueHandle", player->GetName());
    CType* message = NewType("CMessage", CType::Class);
    Add(message, "MessageId", "unsigned long");
    Add(message, "hRecipient", "HGOBJECT");
    Add(message, "Priority", "unsigned char");
    Add(message, "__filler", "unsigned char", 3);
    return message;
}

inline CType* SetPosMessage()
{
    if (CType* known = TypeDatabase.FindType("CSetPosMessage"))
        return known;
    Vector();
    CType* setPos = NewType("CSetPosMessage", CType::Class, Message());
    Add(setPos, "Pos", "CVector");
    return setPos;
}

inline CType* StaticResource()
{
    if (CType* known = TypeDatabase.FindType("CZelStaticResource"))
        return known;
    return NewType("CZelStaticResource", CType::Class, nullptr, true);
}

inline CType* LabelFixup()
{
    if (CType* known = TypeDatabase.FindType("CVeskLabelFixup"))
        return known;
    CType* fixup = NewType("CVeskLabelFixup", CType::Class, StaticResource());
    Add(fixup, "Key", "unsigned long");
    Add(fixup, "pLabel", "char", 0);
    return fixup;
}

// A member's value as the type file's text gives it.
inline ZVariant Value(const char* type, const char* text)
{
    ZVariant v;
    v.Set(type, text);
    return v;
}

// The label record the driver adds for a public symbol when debug labels are on.
inline void WriteLabelFixup(CZelWriter& writer, const char* label)
{
    CType* fixup = LabelFixup();
    writer.SelectSegment(2);
    fixup->Begin(writer, nullptr, false, 0);
    fixup->Dump(writer, "Key", Value("id", label), false, nullptr);
    fixup->Dump(writer, "pLabel", Value("string", label), false, nullptr);
    writer.SelectSegment(0);
}

} // namespace typefixtures
