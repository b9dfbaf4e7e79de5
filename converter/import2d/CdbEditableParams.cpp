#include "converter/import2d/CdbEditableParams.h"

#include "converter/core/AutoStringLabel.h"
#include "converter/core/CDatabase.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/CdbString.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/CzParseFrame.h"
#include "converter/core/CzParser.h"
#include "converter/core/PathOperations.h"
#include "qvrn/ParserInterface.h"

#include "core/names/CCRC32.h"
#include "core/output/TextFormat.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

int CdbEditableParams::s_LayoutCounter = 1;

namespace {

const int MainSegment = ZelFormat::kSegData;
// The segment only the editor reads.
const int ExtraDataSegment = ZelFormat::kSegExtra;

const char* const TempLabel = "_ParamsCmdTempLabel_1234_";
// A fill-data record stores the array index in one byte.
const int MaxArrayIndex = 255;

ZVariant Typed(const char* typeName, const std::string& text)
{
    ZVariant value;
    value.Set(typeName, text.c_str());
    return value;
}

ZVariant Number(const char* typeName, unsigned long number) { return Typed(typeName, std::to_string(number)); }

std::string ChildText(CzParser& parser, int node, const char* symbol, bool required)
{
    const char* text = parser.GetChildText(node, symbol, required);
    return text ? text : "";
}

// The flag value of embedded fields, read from the type file once per run.
unsigned long EmbeddedFlagValue()
{
    static bool known = false;
    static unsigned long value = 0;
    if (!known) {
        value = TypeDatabase.GetConstant("FILLDATA_EMBEDDED_GOBJECT", true);
        known = true;
    }
    return value;
}

} // namespace

CdbEditableParams::CdbEditableParams(const char* label, CDatabase* database) : CdbElement(label, database) {}

CdbEditableParams::~CdbEditableParams() = default;

void CdbEditableParams::Parse(CzParser& parser, int node)
{
    m_Player = -1;
    m_Template = 0;
    const std::string kind = parser.NodeName(node);
    m_CreateType = ChildText(parser, node, "CreateType", true);
    std::string label = ChildText(parser, node, "Label", false);
    m_DerivedFrom = ChildText(parser, node, "DerivedFrom", false);
    m_SourceFile = parser.CurrentFrame() ? parser.CurrentFrame()->m_FileName : "";

    ReadKind(parser, node, kind);
    if (label.empty() && kind == "DefaultParams")
        label = FormatText("_%s_DefaultParams", m_CreateType.c_str());
    else if (label.empty() && kind == "LayoutParams")
        label = FormatText("_%s_LayoutParams_%03d", m_CreateType.c_str(), s_LayoutCounter++);
    else if (label.empty())
        parser.Error(node, "%s need to have label explictly specified",
                     kind == "EmbeddedParams" ? "Embedded Params" : "VeskTemplateParams");
    if (GetDatabase()->Find(CCRC32::GetCRC(label.c_str())))
        parser.Error(node, "Redefinition: Label %s already exists in database", label.c_str());
    SetName(label.c_str());
    VerbosePrintf(2, "    ParamBlock: %s %s : %s, ClassType=%s\n", m_FillDataType.c_str(), GetLabel(),
                  m_DerivedFrom.c_str(), m_CreateType.c_str());

    ParserInterface* runtime = parser.Parser();
    for (int child = runtime->GetChildNode(node, 0); child; child = runtime->GetNextSibling(child)) {
        const std::string symbol = parser.NodeName(child);
        if (symbol == "Message")
            VerbosePrintf(1, "\n%s\n", parser.GetChildText(child, "QuotedString", true));
        else if (symbol == "ParamSpec")
            ReadParamSpec(parser, child);
    }
}

void CdbEditableParams::ReadKind(CzParser& parser, int node, const std::string& kind)
{
    if (kind == "DefaultParams")
        m_FillDataType = "CDefaultFillData";
    else if (kind == "LayoutParams")
        m_FillDataType = "CPresetFillData";
    else if (kind == "EmbeddedParams")
        m_FillDataType = "CEmbeddedFillData";
    else if (kind == "VeskTemplateParams") {
        m_FillDataType = "CVeskTemplateFillData";
        m_Template = 1;
    } else
        parser.Error(node, "Unknown type of parameter block");
}

void CdbEditableParams::ReadParamSpec(CzParser& parser, int spec)
{
    if (parser.FindChild(spec, "PlayerType", false)) {
        m_Player = atoi(ChildText(parser, spec, "Value", true).c_str());
        VerbosePrintf(2, "        Player = %d\n", m_Player);
        return;
    }
    m_Fields.push_back(std::make_unique<UParamDefinition>());
    UParamDefinition& field = *m_Fields.back();
    field.Name = ChildText(parser, spec, "MemberLabel", false);
    std::string basicType = ChildText(parser, spec, "BasicType", false);
    if (!basicType.empty()) {
        if (basicType == "DWORD")
            basicType = "unsigned long";
        field.Value.Set(basicType.c_str(), ChildText(parser, spec, "Value", true).c_str());
    } else if (parser.FindChild(spec, "ZelLabelType", false)) {
        if (const char* value = parser.GetChildText(spec, "Value", false))
            field.Value.Set("id", value);
        field.LabelType = 1;
    } else if (parser.FindChild(spec, "PointerType", false)) {
        field.Value.Set("pointer", ChildText(parser, spec, "Value", true).c_str());
    } else if (parser.FindChild(spec, "EmbeddedType", false)) {
        field.Value.Set("pointer", ChildText(parser, spec, "Value", true).c_str());
        field.Embedded = 1;
        field.SourceFile = m_SourceFile;
        field.Line = parser.Parser()->GetLineNumber(parser.Parser()->GetNodeStartPos(spec));
    } else if (parser.FindChild(spec, "CharPointerType", false)) {
        ReadCharPointer(parser, spec, field);
    } else {
        parser.Error(spec, "Cannot parse type of parameter");
    }
    if (!field.Embedded && field.Name.empty())
        vbail("Only embedded types can have blank labels in parameter definitions");

    const std::string index = ChildText(parser, spec, "ArrayIndex", false);
    if (!index.empty())
        field.ArrayIndex = atoi(index.c_str());
    if (field.ArrayIndex < 0 || field.ArrayIndex > MaxArrayIndex)
        parser.Error(spec, "Array index %s of %s is outside 0 to %d", index.c_str(), field.Name.c_str(), MaxArrayIndex);
    VerbosePrintf(2, "        Param: %s %s = %s (%s) [%d] Emb:%d Zel:%d\n", basicType.c_str(), field.Name.c_str(),
                  field.Value.GetText(), field.Value.ToString(), field.ArrayIndex, field.Embedded, field.LabelType);
}

// A "char *" field points at a string made on the spot from the quoted text, or from a file.
// The string is public: its label then reaches the engine, whose layout text recognises the
// field by that label and writes the text back; a private string would be left out.
void CdbEditableParams::ReadCharPointer(CzParser& parser, int spec, UParamDefinition& field)
{
    const std::string quoted = ChildText(parser, spec, "QuotedString", false);
    std::string label;
    if (!quoted.empty()) {
        label = NextAutoStringLabel(CCRC32::GetCRC(quoted.c_str()), 0, GetDatabase());
        CdbString* text = new CdbString(label.c_str(), GetDatabase());
        text->SetText(quoted.c_str(), true, MainSegment, false, true);
    } else {
        const std::string fileName = ChildText(parser, spec, "FileName", true);
        label = NextAutoStringLabel(CCRC32::GetCRC(fileName.c_str()), 0, GetDatabase());
        CdbString* text = new CdbString(label.c_str(), GetDatabase());
        text->LoadFile(fileName.c_str(), true, MainSegment, false, true);
    }
    field.Value.Set("pointer", label.c_str());
}

void CdbEditableParams::CollectParams(std::vector<UParamDefinition*>& list)
{
    std::vector<const CdbEditableParams*> chain;
    CollectParams(list, chain);
}

void CdbEditableParams::CollectParams(std::vector<UParamDefinition*>& list,
                                      std::vector<const CdbEditableParams*>& chain)
{
    // A chain that comes back to a block would never end.
    for (const CdbEditableParams* block : chain)
        if (block == this)
            vbail("Error: Param block %s derives from itself\n", GetLabel());
    chain.push_back(this);

    for (const std::unique_ptr<UParamDefinition>& own : m_Fields) {
        bool overridden = false;
        if (!own->Name.empty())
            for (const UParamDefinition* held : list)
                overridden |= held->Name == own->Name && held->ArrayIndex == own->ArrayIndex;
        if (!overridden)
            list.push_back(own.get());
    }
    if (m_DerivedFrom.empty())
        return;
    CdbEditableParams* parent = FindParent();
    if (!parent)
        vbail("Error: Cannot find derived param block %s\n", m_DerivedFrom.c_str());
    if (m_Player == -1)
        m_Player = parent->m_Player;
    parent->CollectParams(list, chain);
}

// By label, or by the class name of an unlabelled DefaultParams.
CdbEditableParams* CdbEditableParams::FindParent() const
{
    CdbEditableParams* parent = dynamic_cast<CdbEditableParams*>(GetDatabase()->FindElement(m_DerivedFrom.c_str()));
    if (!parent) {
        const std::string defaults = FormatText("_%s_DefaultParams", m_DerivedFrom.c_str());
        parent = dynamic_cast<CdbEditableParams*>(GetDatabase()->FindElement(defaults.c_str()));
    }
    return parent;
}

void CdbEditableParams::Dump(CZelWriter& writer)
{
    if (!m_Template && TypeDatabase.FindType("CVeskExtraData", false))
        DumpExtraData(writer);
    writer.SelectSegment(MainSegment);
    const unsigned long embeddedFlag = EmbeddedFlagValue();

    std::vector<UParamDefinition*> fields;
    CollectParams(fields);
    for (const UParamDefinition* field : fields)
        RequireEmbeddedBlock(*field);
    if (m_Player == -1)
        m_Player = 0;
    CType* record = TypeDatabase.FindType(m_FillDataType.c_str(), true);
    VerbosePrintf(2, "\nDumping ParamBlock: %s, ClassType=%s\n", GetLabel(), m_CreateType.c_str());

    const std::string label = GetLabel();
    if (m_Template) {
        writer.SelectSegment(ExtraDataSegment);
        CdbString* name = new CdbString((label + "_name").c_str(), GetDatabase());
        name->SetText(label.c_str(), false, ExtraDataSegment, true, false);
    }
    record->Begin(writer, label.c_str(), m_FillDataType == "CEmbeddedFillData", 4);
    record->Dump(writer, "ClassId", Typed("id", m_CreateType), false, nullptr);
    record->Dump(writer, "LabelId", Typed("id", label), false, nullptr);
    record->Dump(writer, "pData", Typed("pointer", label + "_data"), false, nullptr);
    record->Dump(writer, "Player", Typed("signed long", std::to_string(m_Player)), false, nullptr);
    record->Dump(writer, "pName", Typed("pointer", label + "_name"), false, nullptr);
    record->AdjustOffset(writer, nullptr);

    writer.DefineSymbol((label + "_data").c_str(), nullptr, false, 4);
    TypeDatabase.FindType("EditableFillData", true);
    for (UParamDefinition* field : fields)
        DumpField(writer, *field, embeddedFlag);
    const unsigned long end = 0;
    writer.WriteData(&end, 4, 1, "end of fill data");
    writer.SelectSegment(MainSegment);
}

// The editor's bookkeeping: which layout file the block came from and its label text.
void CdbEditableParams::DumpExtraData(CZelWriter& writer)
{
    writer.SelectSegment(ExtraDataSegment);
    const std::string label = GetLabel();
    const std::string fileLabel = FormatText("_%s_filename", MakeSymbolName(m_SourceFile.c_str()));
    if (!GetDatabase()->FindElement(fileLabel.c_str())) {
        CdbString* file = new CdbString(fileLabel.c_str(), GetDatabase());
        file->SetText(m_SourceFile.c_str(), false, ExtraDataSegment, true, false);
    }
    const std::string labelText = UnusedMadeUpName(FormatText("_%s_label", label.c_str()), GetDatabase(), writer);
    CdbString* text = new CdbString(labelText.c_str(), GetDatabase());
    text->SetText(label.c_str(), false, ExtraDataSegment, true, false);

    CType* extra = TypeDatabase.FindType("CVeskExtraData", true);
    extra->Begin(writer, UnusedMadeUpName(label + "_extradata", GetDatabase(), writer).c_str(), false, 4);
    extra->Dump(writer, "pFileName", Typed("pointer", fileLabel), false, nullptr);
    extra->Dump(writer, "pReference", Typed("pointer", label), false, nullptr);
    extra->Dump(writer, "pLabel", Typed("pointer", labelText), false, nullptr);
    extra->Dump(writer, "LabelCRC", Typed("id", label), false, nullptr);
    extra->AdjustOffset(writer, nullptr);
}

// The engine creates an embedded child from the block the field names and refuses the level
// when there is none: a script naming no block of this conversion is refused here instead.
void CdbEditableParams::RequireEmbeddedBlock(const UParamDefinition& field)
{
    if (!field.Embedded)
        return;
    const char* label = field.Value.GetText();
    const CdbEditableParams* block = dynamic_cast<CdbEditableParams*>(GetDatabase()->FindElement(label));
    if (!block || (block->m_FillDataType != "CEmbeddedFillData" && block->m_FillDataType != "CVeskTemplateFillData"))
        vbail("%s(%d) : error : embedded %s names %s, which is no EmbeddedParams or VeskTemplateParams block\n",
              field.SourceFile.c_str(), field.Line, field.Name.empty() ? "field" : field.Name.c_str(), label);
}

// A label field carries the explicit id of the block that gives it one, and every other block's
// own label, whatever order the blocks are written in: the shared field is never changed.
void CdbEditableParams::DumpField(CZelWriter& writer, const UParamDefinition& field, unsigned long embeddedFlag)
{
    bool own = false;
    for (const std::unique_ptr<UParamDefinition>& mine : m_Fields)
        own |= mine.get() == &field;
    ZVariant value = field.Value;
    if (field.LabelType && (!own || value.GetType() != CCRC32::GetCRC("id")))
        value.Set("id", GetLabel());
    const unsigned long key = CCRC32::GetCRC(field.Name.c_str());
    const unsigned long flags = field.Embedded ? embeddedFlag : 0;
    VerbosePrintf(2, "\n         %s, crc=%08lX len=%lu, [%d], Flags=0x%lX, Value=%s\n", field.Name.c_str(), key,
                  value.GetSize(), field.ArrayIndex, flags, value.ToString());
    if (field.LabelType)
        VerbosePrintf(2, "         Block Name:%s crc=%08lx\n", GetLabel(), CCRC32::GetCRC(GetLabel()));

    CType* record = TypeDatabase.FindType("EditableFillData", true);
    record->Begin(writer, nullptr, false, 4);
    record->Dump(writer, "Crc", Number("unsigned long", key), false, nullptr);
    record->Dump(writer, "Length", Number("unsigned short", value.GetSize()), false, nullptr);
    record->Dump(writer, "ArrayIndex", Number("unsigned char", static_cast<unsigned long>(field.ArrayIndex)), false,
                 nullptr);
    record->Dump(writer, "Flags", Number("unsigned char", flags), false, nullptr);
    record->Dump(writer, "Data", value, false, nullptr);
    record->AdjustOffset(writer, nullptr);
}
