#include "converter/import3d/CdbAnimTable.h"

#include "converter/core/AutoStringLabel.h"
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/CdbString.h"
#include "converter/core/ConsoleOutput.h"
#include "qvrn/ParserInterface.h"

#include "core/names/CCRC32.h"

#include <cstdio>

namespace {
int NestedCounter = 0;
// A forced index makes room for every entry below it: more than this is no table but a typo.
const long MaxForcedIndex = 65535;
} // namespace

void CdbAnimTable::Parse(CRhuParser& parser, int node)
{
    Public = 1;
    const char* derived = parser.GetChildText(node, "DerivedFrom", false);
    if (derived && *derived) {
        const CdbAnimTable* base = dynamic_cast<CdbAnimTable*>(GetDatabase()->FindElement(derived));
        if (!base)
            vbail("\nERROR: Cannot find table to derive from!\n%s\n%s\n", derived, parser.PlaceOf(node).c_str());
        Entries = base->Entries;
        Kind = base->Kind;
    }
    ParseBlock(parser, parser.FindChild(node, "TableBlock", true));
}

int CdbAnimTable::ParseBlock(CRhuParser& parser, int block)
{
    int forced = -1;
    ParserInterface* runtime = parser.Parser();
    for (int child = runtime->GetChildNode(block, 0); child; child = runtime->GetNextSibling(child)) {
        const std::string symbol = parser.NodeName(child);
        if (symbol == "TableBlock") {
            if (Kind != Empty && Kind != Arrays)
                parser.Error(child, "Cannot mix Arrays and Resources in anim tables");
            Kind = Arrays;
            char label[512];
            snprintf(label, sizeof label, "_AnimTable_%s_%03d", GetLabel(), NestedCounter++);
            VerbosePrintf(2, "New block:%s\n", label);
            CdbAnimTable* nested = new CdbAnimTable(label, GetDatabase());
            const int index = nested->ParseBlock(parser, child);
            if (index < 0) {
                Entries.push_back(label);
            } else {
                if (static_cast<size_t>(index) >= Entries.size())
                    Entries.resize(static_cast<size_t>(index) + 1);
                Entries[static_cast<size_t>(index)] = label;
            }
        } else if (symbol == "BlockId") {
            const std::string name = parser.NodeText(child);
            const long value = static_cast<long>(TypeDatabase.GetConstant(name.c_str(), true));
            if (value < 0 || value > MaxForcedIndex)
                parser.Error(child, "Block index %s = %ld is outside 0 to %ld", name.c_str(), value, MaxForcedIndex);
            forced = static_cast<int>(value);
            VerbosePrintf(2, "  Forced Index=%d\n", forced);
        } else if (symbol == "QuotedString" || symbol == "Ident") {
            if (Kind != Empty && Kind != Resources)
                parser.Error(child, "Cannot mix Arrays and Resources in anim tables");
            Kind = Resources;
            const std::string text = parser.NodeText(child);
            if (symbol == "Ident") {
                Entries.push_back(text);
                VerbosePrintf(2, "resource entry:%s\n", text.c_str());
            } else {
                const std::string label = NextAutoStringLabel(CCRC32::GetCRC(text.c_str()), 0, GetDatabase());
                CdbString* string = new CdbString(label.c_str(), GetDatabase());
                string->SetText(text.c_str(), false, ZelFormat::kSegData, false, true);
                Entries.push_back(label);
            }
        } else {
            parser.Error(child, "Cannot determine what to do with this parse node.");
        }
    }
    return forced;
}

void CdbAnimTable::Dump(CZelWriter& writer)
{
    VerbosePrintf(3, "  CdbAnimTable::Dump() : %s\n", GetLabel());
    CType* record = TypeDatabase.FindType("CAnimTable", true);
    record->Begin(writer, GetLabel(), Public != 0, 0);
    ZVariant count, resources;
    count.Set("signed long", std::to_string(Entries.size()).c_str());
    resources.Set("signed long", Kind == Resources ? "1" : "0");
    record->Dump(writer, "Count", count, false, nullptr);
    record->Dump(writer, "HasResources", resources, false, nullptr);
    record->AdjustOffset(writer, "Data");
    for (const std::string& entry : Entries)
        writer.AddPointerFixup(entry.empty() ? nullptr : entry.c_str(), "table entry");
}
