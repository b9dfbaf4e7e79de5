#include "converter/core/CBaseParser.h"

#include "converter/core/CDatabase.h"
#include "converter/core/ChParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ParserErrors.h"

#include <algorithm>
#include <cstdlib>

namespace {

const CommandRow BaseCommands[] = {
    {"Gamma", static_cast<CommandHandler>(&CBaseParser::Gamma), "=gammaaval",
     "sets the gamma settings for everything that follows. Use Colorconversion for more control.", 0},
    {"Ifdef", static_cast<CommandHandler>(&CBaseParser::Ifdef), "label", "Just like C++, #ifdef label",
     CommandRunsWhenInactive},
    {"Elif", static_cast<CommandHandler>(&CBaseParser::Elif), "label",
     "almost just like C++, #elif label. We just don't have a clue about defined().", CommandRunsWhenInactive},
    {"Else", static_cast<CommandHandler>(&CBaseParser::Else), "", "Just like C++, #else", CommandRunsWhenInactive},
    {"Endif", static_cast<CommandHandler>(&CBaseParser::Endif), "", "Just like C++, #endif", CommandRunsWhenInactive},
    {"PixelFormat", static_cast<CommandHandler>(&CBaseParser::PixelFormat),
     "[NOALPHA= | ALPHA1= | ALPHA=] bitmasker [more bitmaskers]",
     "Changes pixel format. Bitmasker is a text description of what to do, I.E. xRRRRRGGGGGBBBBB. NOALPHA is "
     "the default if unspecified, and a blank pixelformat will cause any subseuqent use of that format to force "
     "an error.",
     0},
    {"TypeInfo", static_cast<CommandHandler>(&CBaseParser::TypeInfo), "sourcefile [typedatafile]",
     "Parses sourcefile - assumed to be a PREPROCESSED C++ header file.Generates formats written to "
     "typedatafile for subsequent output to ZEL files. Also used to LOAD any previously loaded "
     "typedatafile.Any structure that you want to be output to a zel file has to have RHU_EXPORT in the "
     "class/struct declaration. Put it where _decllpec() would go - ie: class RHU_EXPORT booger.It's only "
     "needed on the final class, we'll figgure out embedded/baseclass stuff ourselves. Syntax cannot "
     "contain:\n* typedef struct structname syntax - use normal C++ struct structname instead\n* Function "
     "pointer typedefs - although syntatically they're fine, any usage of the the function that was "
     "typedef'd will result in an error since we pretty much ignore em - in general, the only typedef we can "
     "figgure out is simple typename subsitution\n* templates - we'll ignore em. Therefore, any class we care "
     "about better not have a template spec.\n* Scope of nested classes is promoted to global, so the naming "
     "may be an issue\n* No expression evaluation is performed - I.E. You can size an array as [9] but not "
     "[3*3] since we're not going to eval the *We ignore them, and don't calc them.\n* Most places "
     "expressions are allowed, don't be addin no stinkin whitespace...\n* Whatever else I forgot :)",
     0},
    {nullptr, nullptr, nullptr, nullptr, 0},
};

} // namespace

CBaseParser::CBaseParser()
{
    m_GrammarName = "RhuParserGrammar";
    RegisterCommands(BaseCommands);
}

bool CBaseParser::CheckTargetFile(const char* fileName) { return m_pDatabase && m_pDatabase->AddDependency(fileName); }

void CBaseParser::UndefineLabel(const std::string& label)
{
    m_Labels.erase(std::remove(m_Labels.begin(), m_Labels.end(), label), m_Labels.end());
}

bool CBaseParser::IsLabelDefined(const char* label) const
{
    return std::find(m_Labels.begin(), m_Labels.end(), label) != m_Labels.end();
}

bool CBaseParser::LabelOfStatementDefined(int node) { return IsLabelDefined(GetChildText(node, "Label", true)); }

void CBaseParser::ExecuteCommand(int node, const CommandRow& row)
{
    if (!m_Active && !(row.flag & CommandRunsWhenInactive))
        return;
    if (!VerbosePrintf(2, "\nCommand=%s ", row.name))
        VerbosePrintf(1, "\r%76s\r%s ", "", row.name);
    CzParser::ExecuteCommand(node, row);
}

const char* CBaseParser::Ifdef(int node)
{
    m_Conditionals.push_back({m_Active, m_Pending});
    m_Pending = m_Active;
    if (m_Active) {
        m_Active = LabelOfStatementDefined(node) ? 1 : 0;
        m_Pending = !m_Active;
    }
    return nullptr;
}

const char* CBaseParser::Elif(int node)
{
    if (m_Conditionals.empty())
        return "elif without matching if";
    if (m_Active)
        m_Active = 0;
    else if (m_Pending) {
        m_Active = LabelOfStatementDefined(node) ? 1 : 0;
        m_Pending = !m_Active;
    }
    return nullptr;
}

const char* CBaseParser::Else(int)
{
    if (m_Conditionals.empty())
        return "else without matching if";
    if (!m_Active && m_Pending) {
        m_Pending = 0;
        m_Active = 1;
    } else
        m_Active = 0;
    return nullptr;
}

const char* CBaseParser::Endif(int)
{
    if (m_Conditionals.empty())
        return "endif without matching if";
    m_Active = m_Conditionals.back().active;
    m_Pending = m_Conditionals.back().pending;
    m_Conditionals.pop_back();
    return nullptr;
}

const char* CBaseParser::Gamma(int node)
{
    m_pDatabase->SetGamma(static_cast<float>(atof(GetChildText(node, "Number", true))));
    return nullptr;
}

const char* CBaseParser::PixelFormat(int node) { return m_pDatabase->SetPixelFormat(*this, node); }

const char* CBaseParser::TypeInfo(int node)
{
    const std::string header = GetChildText(node, "FileName", true);
    if (CheckTargetFile(header.c_str()))
        return nullptr;
    const char* saveText = GetChildText(node, "FileName2", false);
    const std::string typeFile = saveText ? saveText : "";
    VerbosePrintf(2, "%s %s\n", header.c_str(), typeFile.c_str());
    LoadTypeInfo(header.c_str(), typeFile.c_str());
    return nullptr;
}
