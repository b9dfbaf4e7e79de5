// Writes the packed data files that the engine's loader reads in ZelLoaderCrossTest: a master
// file with exports, debug labels, every fixup kind and a compressed segment, and a level file
// that imports from it. Run at build time with the output folder as its argument.
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ZVariant.h"

#include "TypeFixtures.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

const unsigned long PCX = MAKEFOURCC('P', 'C', 'X', ' ');

using typefixtures::Add;
using typefixtures::NewType;
using typefixtures::Value;
using typefixtures::WriteLabelFixup;

struct Types {
    CType* Probe;
    CType* RelHolder;
};

// The layouts as the engine declares them.
Types DeclareTypes()
{
    Types types;
    types.Probe = NewType("CZelProbe", CType::Class, typefixtures::StaticResource());
    Add(types.Probe, "Value", "unsigned long");
    Add(types.Probe, "pText", "char *");
    Add(types.Probe, "Handle", "unsigned long");
    Add(types.Probe, "pImport", "void *");
    types.RelHolder = NewType("RelHolder", CType::Struct);
    Add(types.RelHolder, "Rel", "offset");
    Add(types.RelHolder, "Pad", "unsigned short");
    return types;
}

void WriteString(CZelWriter& writer, const char* symbol, bool isPublic, const char* text)
{
    writer.DefineSymbol(symbol, nullptr, isPublic, 0);
    ZVariant value;
    value.SetString(text);
    value.Write(writer, nullptr);
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
    WriteLabelFixup(writer, "Greeting");
    WriteString(writer, "MasterText", false, "master text");
    WriteProbe(writer, types, "MasterProbe", "1", "MasterText", "Greeting", "");
    WriteLabelFixup(writer, "MasterProbe");
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
