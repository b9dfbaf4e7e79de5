// Writes the packed data files that the engine's loader reads in ZelLoaderCrossTest: a master
// file with exports, debug labels, every fixup kind and a compressed segment, and a level file
// that imports from it. Run at build time with the output folder as its argument.
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ZVariant.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

const unsigned long PCX = MAKEFOURCC('P', 'C', 'X', ' ');

ZVariant Value(const char* type, const char* text)
{
    ZVariant v;
    v.Set(type, text);
    return v;
}

CType* NewType(const char* name, int kind, CType* base, bool tablePointer)
{
    CType* type = TypeDatabase.NewType();
    type->SetName(name);
    type->TypeKind = kind;
    type->Base = base;
    type->BaseName = base ? base->GetName() : "";
    type->HasTablePointer = tablePointer;
    return type;
}

void AddMember(CType* type, const char* name, const char* typeName, unsigned long count = 1)
{
    const int kind = type->TypeKind;
    CMember* member = type->AddMember(name, typeName);
    type->TypeKind = kind;
    member->Count = count;
    type->ResolveMember(*member);
    type->ComputeLayout(false);
}

struct Types {
    CType* Probe;
    CType* LabelFixup;
    CType* RelHolder;
};

// The layouts as the engine declares them.
Types DeclareTypes()
{
    CType* resource = NewType("CZelStaticResource", CType::Class, nullptr, true);
    resource->ComputeLayout(false);
    Types types;
    types.Probe = NewType("CZelProbe", CType::Class, resource, false);
    AddMember(types.Probe, "Value", "unsigned long");
    AddMember(types.Probe, "pText", "char *");
    AddMember(types.Probe, "Handle", "unsigned long");
    AddMember(types.Probe, "pImport", "void *");
    types.LabelFixup = NewType("CVeskLabelFixup", CType::Class, resource, false);
    AddMember(types.LabelFixup, "Key", "unsigned long");
    AddMember(types.LabelFixup, "pLabel", "char", 0);
    types.RelHolder = NewType("RelHolder", CType::Struct, nullptr, false);
    AddMember(types.RelHolder, "Rel", "offset");
    AddMember(types.RelHolder, "Pad", "unsigned short");
    return types;
}

void WriteString(CZelWriter& writer, const char* symbol, bool isPublic, const char* text)
{
    writer.DefineSymbol(symbol, nullptr, isPublic, 0);
    ZVariant value;
    value.SetString(text);
    value.Write(writer, nullptr);
}

// The record the converter adds beside an export so that the engine knows its name.
void WriteLabel(CZelWriter& writer, const Types& types, const char* label)
{
    writer.SelectSegment(2);
    types.LabelFixup->Begin(writer, nullptr, false, 0);
    types.LabelFixup->Dump(writer, "Key", Value("id", label), false, nullptr);
    types.LabelFixup->Dump(writer, "pLabel", Value("string", label), false, nullptr);
    writer.SelectSegment(0);
}

void WriteProbe(CZelWriter& writer, const Types& types, const char* symbol, const char* value, const char* text,
                const char* handle, const char* import)
{
    CType* probe = types.Probe;
    probe->Begin(writer, symbol, true, 0);
    probe->Dump(writer, "Value", Value("unsigned long", value), false, nullptr);
    probe->Dump(writer, "pText", Value("pointer", text), false, nullptr);
    probe->Dump(writer, "pImport", Value("pointer", import), false, nullptr);
    probe->AdjustOffset(writer, "Handle");
    writer.AddHandleFixup(handle, nullptr);
    probe->AdjustOffset(writer, nullptr);
}

void WriteMaster(const std::string& folder, const Types& types)
{
    CZelWriter writer;
    writer.Open((folder + "/crossmaster.zel").c_str());
    writer.SetCompression(true);
    writer.BeginList(PCX);
    WriteString(writer, "Greeting", true, "Hello");
    WriteLabel(writer, types, "Greeting");
    WriteString(writer, "MasterText", false, "master text");
    WriteProbe(writer, types, "MasterProbe", "1", "MasterText", "Greeting", "");
    WriteLabel(writer, types, "MasterProbe");
    types.RelHolder->Begin(writer, "RelHolder", true, 0);
    types.RelHolder->Dump(writer, "Rel", Value("offset", "RelTarget"), false, nullptr);
    WriteString(writer, "RelTarget", true, "relative");
    std::vector<unsigned char> blob(3000);
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = static_cast<unsigned char>(i * 7 + i / 13);
    writer.DefineSymbol("Blob", nullptr, true, 16);
    writer.WriteData(blob.data(), 1, blob.size(), nullptr);
    writer.EndList();
    writer.Finish();
}

void WriteLevel(const std::string& folder, const Types& types)
{
    CZelWriter writer;
    writer.Open((folder + "/crosslevel.zel").c_str());
    writer.SetCompression(true);
    writer.BeginList(PCX);
    WriteString(writer, "LevelText", false, "level text");
    WriteProbe(writer, types, "LevelProbe", "2", "LevelText", "MasterProbe", "MasterProbe");
    writer.EndList();
    writer.Finish();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        printf("usage: zel_cross_writer <output folder>\n");
        return 2;
    }
    VerboseLevel = 0;
    const Types types = DeclareTypes();
    WriteMaster(argv[1], types);
    WriteLevel(argv[1], types);
    return 0;
}
