#include "converter/core/CdbTrigger.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/CzParser.h"
#include "converter/core/TextNumbers.h"
#include "converter/core/ZVariant.h"
#include "core/names/CCRC32.h"
#include "qvrn/ParserInterface.h"

#include <cctype>
#include <ctime>

namespace {

// Makes every trigger element's label unique while several statements share one trigger name.
unsigned long g_TriggerSerial = 0;

std::string Upper(const char* text)
{
    std::string upper = text;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return upper;
}

ZVariant TypedValue(const char* type, unsigned long value)
{
    ZVariant variant;
    variant.Set(type, std::to_string(value).c_str());
    return variant;
}

} // namespace

CdbTrigger::CdbTrigger(const char* label, CDatabase* database) : CdbElement(label, database) {}

void CdbTrigger::Load(CzParser& parser, int node)
{
    m_TriggerName = GetName();
    m_InputValue = 0;
    VerbosePrintf(3, "\nTrigger::Load %s (%08lX)\n", m_TriggerName.c_str(), GetKey());
    SetNameF("%s__%08X__%08X", m_TriggerName.c_str(), static_cast<unsigned>(++g_TriggerSerial),
             static_cast<unsigned>(time(nullptr)));

    if (const char* number = parser.GetChildText(node, "Number", false))
        m_InputValue = static_cast<unsigned long>(ParseNumber(number));
    else if (const char* ident = parser.GetChildText(node, "Ident", false)) {
        m_InputValue = CCRC32::GetCRC(ident);
        VerbosePrintf(3, "CRC input value %s = %08X\n", ident, static_cast<unsigned>(m_InputValue));
    }

    ParserInterface* runtime = parser.Parser();
    const int search = runtime->FindFirstNode("KeyMap", node);
    if (!search)
        return;
    while (const int keyMap = runtime->FindNextNode(search))
        LoadKey(parser, keyMap);
    runtime->FreeFind(search);
}

void CdbTrigger::LoadKey(CzParser& parser, int keyMap)
{
    const std::string keyName = "INPUT_" + Upper(parser.GetChildText(keyMap, "Key", true));
    KeyDefinition definition = {TypeDatabase.GetConstant(keyName.c_str(), true), NoModifier};
    std::string modifierName;
    const char* modifier = parser.GetChildText(keyMap, "KeyMod", false);
    if (modifier && *modifier) {
        modifierName = "INPUT_CONDITION_" + Upper(modifier);
        definition.modifier = TypeDatabase.GetConstant(modifierName.c_str(), true);
    }
    VerbosePrintf(3, "Key = %s:%08X, Mod = %s:%08X\n", keyName.c_str(), static_cast<unsigned>(definition.key),
                  modifierName.c_str(), static_cast<unsigned>(definition.modifier));
    m_Keys.push_back(definition);
}

void CdbTrigger::Dump(CZelWriter& writer)
{
    VerbosePrintf(3, "\nTrigger::Dump %s (%08lX)\n", m_TriggerName.c_str(), CCRC32::GetCRC(m_TriggerName.c_str()));
    CType* trigger = TypeDatabase.FindType("CInputTrigger", true);
    trigger->Begin(writer, nullptr, false, 0);
    ZVariant label;
    label.Set("id", m_TriggerName.c_str());
    trigger->Dump(writer, "InputLabel", label, false, nullptr);
    trigger->Dump(writer, "Size", TypedValue("signed long", m_Keys.size()), false, nullptr);
    trigger->Dump(writer, "InputValue", TypedValue("unsigned long", m_InputValue), false, nullptr);

    CType* condition = TypeDatabase.FindType("CInputDef", true);
    for (const KeyDefinition& definition : m_Keys) {
        condition->Begin(writer, nullptr, false, 0);
        condition->Dump(writer, "Code", TypedValue("unsigned long", definition.key), false, nullptr);
        if (definition.modifier != NoModifier)
            condition->Dump(writer, "SubCodes.Condition", TypedValue("unsigned long", definition.modifier), false,
                            nullptr);
    }
}
