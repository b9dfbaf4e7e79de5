#include "converter/core/CRhuParser.h"

#include "converter/core/AutoStringLabel.h"
#include "converter/core/CDatabase.h"
#include "converter/core/CdbDebugLabel.h"
#include "converter/core/ChParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/TranslationDatabase.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

struct PlatformRow {
    const char* name;
    const char* blockId;
    unsigned long targetMachine;
    const char* label;
};

const PlatformRow Platforms[] = {
    {"WINDOWS", "WIN ", 0, "WINDOWS"},
    {"PS2", "PS2 ", 1, "PS2"},
    {"XBOX", "XBOX", 2, "XBOX"},
    {"PCX", "PCX ", 3, "PCX"},
};

// Used when the platform list is empty: one block for every platform, no platform label.
const PlatformRow AllPlatforms = {"ALL", "ALL ", 4, nullptr};

const PlatformRow& FindPlatform(const std::string& name)
{
    for (const PlatformRow& row : Platforms)
        if (name == row.name)
            return row;
    vbail("Cannot find format data for specified format: %s\n", name.c_str());
}

std::vector<std::string> PublicSymbolNames(const CZelWriter& writer)
{
    std::vector<std::string> names;
    const ZelSymbolList& symbols = writer.GetSymbols();
    for (int index = 0; index < symbols.GetSize(); ++index)
        if (symbols[index]->Public)
            names.push_back(symbols[index]->GetName());
    return names;
}

void ClearProgressLine() { VerbosePrintf(1, "\r%76s\n", ""); }

} // namespace

CRhuParser::CRhuParser() { RegisterCommands(DataCommands); }

void CRhuParser::ExecuteCommand(int node, const CommandRow& row)
{
    m_pCurrentTexture = nullptr;
    if (m_pDatabase)
        m_pDatabase->ParseModifiers(*this, node, true);
    CBaseParser::ExecuteCommand(node, row);
}

void CRhuParser::Run(CDatabase* database, const char* sourceFile, const char* outputFile,
                     const std::vector<std::string>& platforms, bool compress)
{
    CTranslationDatabase translations;
    CZelWriter writer;
    SetDatabase(database);
    database->SetDependencyReport(false);
    writer.Open(outputFile);
    m_Compress = compress;

    const size_t passes = platforms.empty() ? 1 : platforms.size();
    for (size_t pass = 0; pass < passes; ++pass) {
        // The type database is reset after every pass; later passes need the built-in types again.
        if (pass > 0)
            LoadTypeResource("RhuTypes");
        for (const PlatformRow& row : Platforms)
            UndefineLabel(row.label);
        const PlatformRow* platform = &AllPlatforms;
        if (pass < platforms.size()) {
            platform = &FindPlatform(platforms[pass]);
            DefineLabel(platform->label);
            database->TargetMachine = platform->targetMachine;
        }
        ClearProgressLine();
        ParseResource("RhuDefaults");
        Parse(sourceFile);
        ClearProgressLine();
        VerbosePrintf(1, "Dumping...\n");

        writer.SetCompression(m_Compress);
        const char* id = platform->blockId;
        writer.BeginList(MAKEFOURCC(id[0], id[1], id[2], id[3]));
        database->Dump(writer, true);
        for (const std::string& symbol : PublicSymbolNames(writer)) {
            // Labelled from the start with a made-up name no other element or symbol has a key of:
            // a symbol's own name may share its key with an earlier label's made-up one.
            const std::string name = UnusedMadeUpName("__" + symbol + "_diagnostic_label__", database, writer);
            CdbDebugLabel* label = new CdbDebugLabel(name.c_str(), database);
            label->SetText(symbol.c_str());
        }
        database->Dump(writer, true);
        writer.EndList();
        TypeDatabase.Reset();
    }
    writer.Finish();
}
