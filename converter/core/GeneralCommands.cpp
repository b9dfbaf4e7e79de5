// The data commands that are neither preprocessor commands nor asset importers: output options,
// the small elements, the translation source and the console commands.
#include "converter/core/CRhuParser.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CLodList.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CdbBinthing.h"
#include "converter/core/CdbLoadZel.h"
#include "converter/core/CdbString.h"
#include "converter/core/CdbTrigger.h"
#include "converter/core/TranslationDatabase.h"
#include "converter/import2d/CdbBackground.h"
#include "converter/import2d/CdbSpriteTexture.h"
#include "converter/import3d/ClwScene.h"
#include "converter/import3d/Geometry.h"
#include "converter/core/ConsoleOutput.h"
#include "qvrn/ParserInterface.h"

#include <cctype>
#include <string>

unsigned char g_MapHack = 0;

const char* CRhuParser::Axis(int node)
{
    const std::string text = GetChildText(node, "Text", true);
    int culling = m_pDatabase->AxisFormat.CullFront;
    if (FindChild(node, "CullFront", false))
        culling = 1;
    if (FindChild(node, "CullBack", false))
        culling = 0;
    VerbosePrintf(1, "%s", text.c_str());
    VerbosePrintf(2, "\n");
    m_pDatabase->AxisFormat.Parse(text.c_str(), culling);
    return nullptr;
}

const char* CRhuParser::Binary(int node)
{
    const std::string label = GetChildText(node, "Label", true);
    const std::string fileName = GetChildText(node, "FileName", true);
    if (CheckTargetFile(fileName.c_str()))
        return nullptr;
    VerbosePrintf(1, "%s %s", label.c_str(), fileName.c_str());
    VerbosePrintf(2, "\n");
    CdbBinthing* element = new CdbBinthing(label.c_str(), m_pDatabase);
    element->SetFileName(fileName.c_str());
    return nullptr;
}

const char* CRhuParser::Diagnostic(int node)
{
    if (VerboseLevel <= 1)
        return nullptr;
    ParserInterface* parser = Parser();
    for (int child = parser->GetChildNode(node, 0); child; child = parser->GetNextSibling(child)) {
        const std::string word = NodeText(child);
        if (word == "types")
            TypeDatabase.Diagnostic();
        else if (word == "data")
            m_pDatabase->Diagnostic();
        else if (word == "sprites")
            CdbSpriteTexture::Diagnostics = true;
        else if (word == "anim")
            g_AnimDiagnostics = true;
        else if (word == "normals")
            g_NormalDiagnostics = true;
        else if (word == "nosmoothing")
            g_NormalSmoothing = false;
        else if (word == "maps")
            g_MapDiagnostics = true;
    }
    return nullptr;
}

const char* CRhuParser::Hack(int node)
{
    ParserInterface* parser = Parser();
    for (int child = parser->GetChildNode(node, 0); child; child = parser->GetNextSibling(child)) {
        std::string word = NodeText(child);
        for (char& c : word)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        if (word != "maps")
            Error(node, "Cannot determine Hack option %s", word.c_str());
        VerbosePrintf(1, "\nMAP HACK ENABLED!!!!!\n");
        g_MapHack = 1;
    }
    VerbosePrintf(2, "\n");
    return nullptr;
}

const char* CRhuParser::Include(int node)
{
    const std::string fileName = GetChildText(node, "FileName", true);
    CheckIncludable(node, fileName.c_str());
    m_pDatabase->AddDependency(fileName.c_str());
    Parse(fileName.c_str());
    return nullptr;
}

const char* CRhuParser::LoadZel(int node)
{
    const std::string fileName = GetChildText(node, "FileName", true);
    VerbosePrintf(1, "%s", fileName.c_str());
    VerbosePrintf(2, "\n");
    new CdbLoadZel(fileName.c_str(), m_pDatabase);
    return nullptr;
}

const char* CRhuParser::LodMap(int node)
{
    g_LodList.Parse(*this, node);
    return nullptr;
}

const char* CRhuParser::Message(int node)
{
    VerbosePrintf(1, "\n%s\n", GetChildText(node, "QuotedString", true));
    return nullptr;
}

const char* CRhuParser::NoCompression(int)
{
    m_Compress = false;
    return nullptr;
}

const char* CRhuParser::String(int node)
{
    const std::string label = GetChildText(node, "Label", true);
    VerbosePrintf(2, "%s\n", label.c_str());
    CdbString* element = new CdbString(label.c_str(), m_pDatabase);
    const char* quoted = GetChildText(node, "QuotedString", false);
    if (quoted) {
        const std::string text = quoted;
        element->SetText(text.c_str(), true, 0, false, true);
    } else {
        const std::string fileName = GetChildText(node, "FileName", true);
        element->LoadFile(fileName.c_str(), true, 0, false, true);
    }
    return nullptr;
}

const char* CRhuParser::TranslationFile(int node)
{
    const std::string fileName = GetChildText(node, "FileName", true);
    if (!CheckTargetFile(fileName.c_str()))
        CTranslationDatabase::Current()->Load(fileName.c_str(), DefinedLabels());
    return nullptr;
}

const char* CRhuParser::Trigger(int node)
{
    if (m_pDatabase->AddDependency(nullptr))
        return nullptr;
    const std::string label = GetChildText(node, "Label", true);
    CdbTrigger* element = new CdbTrigger(label.c_str(), m_pDatabase);
    element->Load(*this, node);
    return nullptr;
}
