#include "converter/core/CdbDebugLabel.h"

#include "converter/core/AutoStringLabel.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ZVariant.h"

namespace {

// The segment of data only the editor reads.
const int ExtraDataSegment = 2;

} // namespace

CdbDebugLabel::CdbDebugLabel(const char* label, CDatabase* database) : CdbElement(label, database) {}

void CdbDebugLabel::SetText(const char* symbolName)
{
    m_Text = symbolName;
    SetNameF("__%s_diagnostic_label__", symbolName);
}

void CdbDebugLabel::Dump(CZelWriter& writer)
{
    CType* type = TypeDatabase.FindType("CVeskLabelFixup", false);
    if (!type)
        return;
    VerbosePrintf(2, "\nCdbDebugLabel::Dump() : %s\n", m_Text.c_str());
    writer.SelectSegment(ExtraDataSegment);
    type->Begin(writer, UnusedMadeUpName(GetName(), nullptr, writer).c_str(), false, 0);
    ZVariant key;
    key.Set("id", m_Text.c_str());
    type->Dump(writer, "Key", key, false, nullptr);
    ZVariant text;
    text.SetString(m_Text.c_str());
    type->Dump(writer, "pLabel", text, false, nullptr);
    writer.SelectSegment(0);
}
