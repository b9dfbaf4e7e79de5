// Writes "written.zel" with the converter's packed data writer, for the engine's loader test:
// a probe record with a pointer, an import and a handle, a probe in the temporary segment and
// a preset object with its field values.
#include <cstdio>
#include <cstring>

#include "converter/core/CZelWriter.h"
#include "core/names/CCRC32.h"
#include "core/riff/CZRiffFile.h"

namespace {

void Word(CZelWriter& writer, unsigned long value) { writer.WriteData(&value, 4, 1, nullptr); }

void Probe(CZelWriter& writer, const char* name, unsigned long value, bool withLinks)
{
    writer.DefineSymbol(name, "CZelProbe", true, 4);
    Word(writer, 0); // table pointer
    Word(writer, value);
    if (withLinks) {
        writer.AddPointerFixup("WrittenText", "pText");
        writer.AddHandleFixup("MasterThing", "Handle");
        writer.AddPointerFixup("MasterThing", "pImport"); // defined elsewhere: an import
    } else {
        Word(writer, 0);
        Word(writer, 0);
        Word(writer, 0);
    }
}

void Field(CZelWriter& writer, const char* name, const void* data, unsigned short length)
{
    Word(writer, CCRC32::GetCRC(name));
    writer.WriteData(&length, 2, 1, nullptr);
    unsigned char indexAndKind[2] = {0, 0};
    writer.WriteData(indexAndKind, 1, 2, nullptr);
    writer.WriteData(data, 1, length, nullptr);
    writer.Align(4);
}

void Preset(CZelWriter& writer)
{
    writer.DefineSymbol(nullptr, "CPresetFillData", false, 4);
    Word(writer, 0);
    Word(writer, CCRC32::GetCRC("GZelProbeObject"));
    Word(writer, CCRC32::GetCRC("WrittenObject"));
    writer.AddPointerFixup("WrittenFields", "pData");
    Word(writer, 2); // player
    Word(writer, 0); // hgobject
    writer.DefineSymbol("WrittenFields", nullptr, false, 4);
    const int count = 41;
    const float speed = 4.25f;
    Field(writer, "Count", &count, 4);
    Field(writer, "Speed", &speed, 4);
    Word(writer, 0);
    Word(writer, 0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: zel_writer_fixture OUTPUT.zel\n");
        return 2;
    }
    CZelWriter writer;
    writer.Open(argv[1]);
    writer.SetCompression(true);
    writer.BeginList(CZRiffFile::MakeFourCC("PCX "));
    writer.SelectSegment(0);
    Probe(writer, "WrittenThing", 90, true);
    writer.DefineSymbol("WrittenText", nullptr, false, 4);
    writer.WriteData("written text", 1, 13, nullptr);
    Preset(writer);
    writer.SelectSegment(1);
    Probe(writer, "WrittenTemp", 91, false);
    writer.EndList();
    writer.Finish();
    return 0;
}
