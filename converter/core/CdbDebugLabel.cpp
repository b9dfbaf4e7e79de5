#include "converter/core/CdbDebugLabel.h"

#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ZVariant.h"

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
    writer.SelectSegment(ZelFormat::kSegExtra); // read only by the editor
    type->Begin(writer, GetName(), false, 0);
    ZVariant key;
    key.Set("id", m_Text.c_str());
    type->Dump(writer, "Key", key, false, nullptr);
    ZVariant text;
    text.SetString(m_Text.c_str());
    type->Dump(writer, "pLabel", text, false, nullptr);
    writer.SelectSegment(ZelFormat::kSegData);
}
