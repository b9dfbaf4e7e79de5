// Named constants of the type database: exported variable declarations with an initializer and
// the enumerators of exported classes, evaluated in the constant's own type.
#include "converter/core/ChParser.h"

#include "converter/core/CTypeDatabase.h"
#include "converter/core/ParserErrors.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ZVariant.h"
#include "qvrn/ParserInterface.h"

#include <cstring>
#include <string>

namespace {

// A value that reads as 0 is a constant name unless it is one of these spellings of zero.
bool IsZeroSpelling(const char* text)
{
    return !strcmp(text, "0") || !strcmp(text, "0x00") || !strcmp(text, "0x0000") || !strcmp(text, "0x00000000");
}

} // namespace

// The type a constant is stored in: its declared type with typedefs followed; an unknown type
// name stands for "unsigned long".
const CType* ChParser::ResolveConstantType(const char* typeName, int node)
{
    const CType* type = TypeDatabase.FindType(typeName, false);
    if (!type) {
        VerbosePrintf(2, "Undefined type %s, using unsigned long instead\n", typeName);
        return TypeDatabase.FindType("unsigned long", true);
    }
    while (type->TypeKind == CType::Typedef) {
        const CType* target = TypeDatabase.FindType(type->TargetName.c_str(), false);
        if (!target)
            ReportError(CurrentFrame(), ErrUndefinedType, node, true, type->TargetName.c_str());
        type = target;
    }
    return type;
}

void ChParser::ReadConstant(int node)
{
    if (!FindChild(node, "RhuSpecifier", false))
        return;
    const int expression = FindChild(node, "VariableSpecs.Expression", false);
    if (!expression)
        return;
    std::string typeName = DeclaredTypeName(node);
    if (typeName.empty())
        typeName = "unsigned long";
    const std::string name = GetChildText(node, "VariableSpecs.Ident", true);
    const CType* type = ResolveConstantType(typeName.c_str(), node);

    CConstant* constant = TypeDatabase.NewConstant();
    constant->SetName(name.c_str());
    constant->Value.Set(type->GetName(), "");
    Evaluate(expression, constant->Value);
    VerbosePrintf(4, "Constant: %s = %s (%08X)\n", name.c_str(), constant->Value.ToString(),
                  static_cast<unsigned>(static_cast<unsigned long>(constant->Value)));
}

void ChParser::ReadEnum(int node, const char* prefix)
{
    const int list = FindChild(node, "EnumList", false);
    if (!list)
        return;
    ParserInterface* parser = Parser();
    unsigned long running = 0;
    CConstant* current = nullptr;
    for (int child = parser->GetChildNode(list, 0); child; child = parser->GetNextSibling(child)) {
        const std::string name = NodeName(child);
        if (name == "Ident") {
            const std::string identifier = NodeText(child);
            current = TypeDatabase.NewConstant();
            current->SetNameF("%s_%s", prefix, identifier.c_str());
            current->Value.Set("signed long", std::to_string(running).c_str());
            ++running;
        } else if (name == "Expression" && current) {
            Evaluate(child, current->Value);
            running = static_cast<unsigned long>(current->Value) + 1;
        }
    }
}

void ChParser::Evaluate(int node, ZVariant& value)
{
    ZVariant working = value;
    std::string pending;
    ParserInterface* parser = Parser();
    for (int child = parser->GetChildNode(node, 0); child; child = parser->GetNextSibling(child)) {
        const std::string name = NodeName(child);
        if (name.compare(0, 8, "operator") == 0) {
            pending = NodeText(child);
            continue;
        }
        if (name == "factor")
            EvaluateFactor(child, working);
        else
            Evaluate(child, working);

        const char first = pending.empty() ? '\0' : pending[0];
        switch (first) {
        case '&':
            value &= working;
            break;
        case '*':
            value *= working;
            break;
        case '+':
            value += working;
            break;
        case '-':
            value -= working;
            break;
        case '/':
            value /= working;
            break;
        case '|':
            value |= working;
            break;
        case '<':
        case '>':
            if (pending.size() > 1 && pending[1] == '<')
                value <<= working;
            else if (pending.size() > 1 && pending[1] == '>')
                value >>= working;
            else
                Error(child, "Bad operator after '<' or '>' in expresion parse");
            break;
        default:
            value.Assign(working);
            break;
        }
    }
}

void ChParser::EvaluateFactor(int factor, ZVariant& working)
{
    const int inner = Parser()->GetChildNode(factor, 0);
    const std::string name = inner ? NodeName(inner) : std::string();
    if (name == "Expression") {
        Evaluate(inner, working);
        return;
    }
    if (name != "Value")
        Error(factor, "unexpected stuff happened during expression parse");
    const std::string text = NodeText(inner);
    working.Set(nullptr, text.c_str());
    if (static_cast<unsigned long>(working) == 0 && !IsZeroSpelling(text.c_str())) {
        ZVariant constant;
        constant.Set("unsigned long", std::to_string(TypeDatabase.GetConstant(text.c_str(), false)).c_str());
        working.Assign(constant);
    }
}
