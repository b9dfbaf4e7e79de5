#include "converter/core/ChParser.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CzParseFrame.h"
#include "converter/core/ParserErrors.h"
#include "qvrn/ParserInterface.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>

namespace {

// Type words are looked up as one name ("unsigned long"), however the header spaced them.
std::string TypeWords(const char* words)
{
    std::string name;
    for (const char* c = words ? words : ""; *c; ++c) {
        if (!isspace(static_cast<unsigned char>(*c)))
            name += *c;
        else if (!name.empty() && name.back() != ' ')
            name += ' ';
    }
    if (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

// Declares a nested type ahead of the type that holds it: exchanges the last two types.
void SwapLastTwoTypes()
{
    const int count = TypeDatabase.GetSize();
    if (count < 2)
        return;
    CType* container = TypeDatabase[count - 2];
    TypeDatabase.Detach(container);
    TypeDatabase.Add(container);
}

} // namespace

ChParser::ChParser() { m_GrammarName = "HParserGrammar"; }

void ChParser::Parse(const char* fileName)
{
    VerbosePrintf(3, "ChParser::Parse(%s)\n", fileName);
    Read(fileName, false);
}

void ChParser::ParseResource(const char* resourceName)
{
    VerbosePrintf(3, "ChParser::ParseResource(%s)\n", resourceName);
    Read(resourceName, true);
}

void ChParser::Read(const char* name, bool fromResource)
{
    const int program = OpenParse(name, fromResource, "program", 1);
    NodeName(program);
    Walk(program);
    CloseFrame();
}

void ChParser::Walk(int node)
{
    const std::string name = NodeName(node);
    if (name == "ClassDeclaration") {
        ReadClass(TypeDatabase.NewType(), node, nullptr);
        return;
    }
    if (name == "SimpleTypedef") {
        ReadTypedef(TypeDatabase.NewType(), node);
        return;
    }
    if (name == "VariableDeclaration")
        ReadConstant(node);
    ParserInterface* parser = Parser();
    for (int child = parser->GetChildNode(node, 0); child; child = parser->GetNextSibling(child))
        Walk(child);
}

std::string ChParser::DeclaredTypeName(int declaration)
{
    const char* named = GetChildText(declaration, "TypeName.Ident", false);
    if (named && *named)
        return named;
    return TypeWords(GetChildText(declaration, "TypeName", false));
}

void ChParser::ReadClass(CType* type, int node, CType* enclosing)
{
    bool exported = false;
    bool named = false;
    std::string declarator;
    ParserInterface* parser = Parser();
    for (int child = parser->GetChildNode(node, 0); child; child = parser->GetNextSibling(child)) {
        const std::string name = NodeName(child);
        if (name == "ClassDeclaration") {
            CType* nested = TypeDatabase.NewType();
            ReadClass(nested, child, type);
            SwapLastTwoTypes();
        } else if (name == "VariableDeclaration")
            ReadClassMembers(type, child);
        else if (name == "FunctionDeclaration") {
            if (FindChild(child, "VirtualSpecifier", false))
                type->HasTablePointer = true;
        } else if (name == "ClassKey") {
            const std::string key = NodeText(child);
            type->TypeKind = key == "class" ? CType::Class : key == "struct" ? CType::Struct : CType::Union;
        } else if (name == "InheritanceSpec") {
            const std::string baseName = GetChildText(child, "Ident", true);
            type->BaseName = baseName;
            type->Base = TypeDatabase.FindType(baseName.c_str(), false);
            if (!type->Base)
                ReportError(CurrentFrame(), ErrUndefinedType, child, true, baseName.c_str());
        } else if (name == "ClassName") {
            const std::string className = NodeText(child);
            if (TypeDatabase.FindType(className.c_str(), false))
                ReportError(CurrentFrame(), ErrRedefinition, child, true, className.c_str());
            type->SetName(className.c_str());
            named = true;
        } else if (name == "Ident") {
            if (!enclosing)
                ReportError(CurrentFrame(), ErrIdentifierExpected, child, true);
            declarator = NodeText(child);
        } else if (name == "RhuSpecifier")
            exported = true;
        else if (name == "EnumDeclaration" && exported) {
            const std::string prefix = type->GetName();
            ReadEnum(child, prefix.c_str());
        }
    }
    type->ComputeLayout(exported);
    if (!named)
        ++m_UnnamedTypes;
    if (!enclosing || (named && declarator.empty()))
        return;
    if (declarator.empty())
        declarator = type->GetName();
    enclosing->Members.push_back(std::make_unique<CMember>());
    CMember& member = *enclosing->Members.back();
    member.Name = declarator;
    member.TypeName = type->GetName();
    enclosing->ResolveMember(member);
}

void ChParser::ReadClassMembers(CType* type, int declaration)
{
    const std::string typeName = DeclaredTypeName(declaration);
    ParserInterface* parser = Parser();
    for (int child = parser->GetChildNode(declaration, 0); child; child = parser->GetNextSibling(child)) {
        const std::string name = NodeName(child);
        if (name == "FunctptrVariableDeclaration")
            ReadMember(type, child, "unsigned long");
        else if (name == "VariableSpecs") {
            if (typeName.empty())
                ReportError(CurrentFrame(), ErrSymbolExpected, child, true, "TypeName");
            ReadMember(type, child, typeName);
        }
    }
}

void ChParser::ReadTypedef(CType* type, int node)
{
    const std::string name = GetChildText(node, "Ident", true);
    type->SetName(name.c_str());
    type->TargetName = TypeWords(GetChildText(node, "TypeName", true));
    type->TypeKind = CType::Typedef;
    if (FindChild(node, "TypeQualifier.PointerOp", false)) {
        type->TargetIsPointer = true;
        type->Size = 4;
        return;
    }
    CType* target = TypeDatabase.FindType(type->TargetName.c_str(), false);
    if (!target)
        ReportError(CurrentFrame(), ErrUndefinedType, node, true, type->TargetName.c_str());
    type->Base = target;
    type->Size = target->Size;
}

void ChParser::ReadMember(CType* type, int declarator, const std::string& typeName)
{
    type->Members.push_back(std::make_unique<CMember>());
    CMember& member = *type->Members.back();
    member.Name = GetChildText(declarator, "Ident", true);
    member.TypeName = typeName;
    if (FindChild(declarator, "TypeQualifier.PointerOp", false))
        member.IsPointer = true;
    if (const char* bits = GetChildText(declarator, "NumBits", false))
        member.BitWidth = strtoul(bits, nullptr, 10);
    if (const int arraySpecs = FindChild(declarator, "ArraySpecs", false)) {
        // A record of packed data must fit its 28-bit segment offsets; a larger array is
        // refused rather than wrapped around.
        const unsigned long long MaxCount = 0x0FFFFFFF;
        ParserInterface* parser = Parser();
        unsigned long long count = parser->GetChildNode(arraySpecs, 0) ? 1 : 0;
        for (int dimension = parser->GetChildNode(arraySpecs, 0); dimension;
             dimension = parser->GetNextSibling(dimension)) {
            count *= strtoull(NodeText(dimension), nullptr, 10);
            if (count > MaxCount)
                Error(declarator, "Array %s is too large\n", member.Name.c_str());
        }
        member.Count = static_cast<unsigned long>(count);
    }
    type->ResolveMember(member);
}

void LoadTypeInfo(const char* headerFile, const char* typeFile)
{
    ChParser reader;
    reader.Parse(headerFile);
    if (typeFile && *typeFile)
        TypeDatabase.Save(typeFile);
}

void LoadTypeResource(const char* resourceName)
{
    // Every script of a run starts from the same built-in types: they are read once and put
    // back from their image afterwards. A reader that reports at the verbose levels reads again,
    // so that every load says the same.
    static std::map<std::string, std::shared_ptr<const CTypeDatabase::Image>> images;
    const bool reusable = TypeDatabase.HoldsOnlyBuiltins() && VerboseLevel < 2;
    if (reusable) {
        auto known = images.find(resourceName);
        if (known != images.end()) {
            TypeDatabase.Restore(*known->second);
            return;
        }
    }
    ChParser reader;
    reader.ParseResource(resourceName);
    if (reusable && reader.UnnamedTypes() == 0)
        images[resourceName] = TypeDatabase.Capture();
}
