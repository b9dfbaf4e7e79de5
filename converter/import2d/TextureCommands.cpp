// The Texture, DataMap and ImplicitTextures commands.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/CzParseFrame.h"
#include "converter/core/PathOperations.h"
#include "converter/import2d/CdbTexture.h"
#include "qvrn/ParserInterface.h"

#include <cstdlib>
#include <string>

namespace {

// The On or Off child of a modifier: 1, 0, or -1 when the modifier is absent.
int Switch(CzParser& parser, int statement, const char* modifier)
{
    const int node = parser.FindChild(statement, modifier, false);
    if (!node)
        return -1;
    return parser.FindChild(node, "Off", false) ? 0 : 1;
}

void Number(CzParser& parser, int statement, const char* modifier, int& out)
{
    if (const int node = parser.FindChild(statement, modifier, false))
        out = std::atoi(parser.GetChildText(node, "Number", true));
}

} // namespace

std::string CRhuParser::PlaceOf(int node)
{
    ParserInterface* tree = Parser();
    const int line = tree->GetLineNumber(tree->GetNodeStartPos(node));
    QVString inputName = tree->GetInputName();
    const char* name = inputName;
    return std::string(name && *name ? name : "Unknown file") + "(" + std::to_string(line) + ")";
}

const char* CRhuParser::Texture(int node)
{
    CdbTexture::Options& options = CdbTexture::Settings;
    if (const int mips = Switch(*this, node, "MipMod"); mips >= 0)
        options.Mips = mips != 0;
    if (const int colour = Switch(*this, node, "MipColorMod"); colour >= 0)
        options.MipColour = colour != 0;
    Number(*this, node, "MipFilterMod", options.MipFilter);
    Number(*this, node, "ForceMipDropMod", options.ForceMipDrop);
    Number(*this, node, "MipDropMod", options.MipDrop);

    const char* labelText = GetChildText(node, "Label", false);
    std::string label = labelText ? labelText : "";
    if (const char* fileText = GetChildText(node, "FileName", false)) {
        const std::string fileName = fileText;
        const bool isExtern = FindChild(node, "Extern", false) != 0;
        if (label.empty())
            label = MakeSymbolName(fileName.c_str());
        if (CheckTargetFile(fileName.c_str()))
            return nullptr;
        VerbosePrintf(1, "%s %s", label.c_str(), fileName.c_str());
        VerbosePrintf(2, "\n");
        CdbTexture* texture = new CdbTexture(label.c_str(), m_pDatabase);
        texture->SetPlace(PlaceOf(node));
        texture->Load(fileName.c_str(), true, isExtern);
        m_pCurrentTexture = texture;
    } else if (!label.empty()) {
        CdbTexture* texture = dynamic_cast<CdbTexture*>(m_pDatabase->FindElement(label.c_str()));
        if (!texture)
            Error(node, "Failed search for existing texture labelled %s\n", label.c_str());
        m_pCurrentTexture = texture;
    }
    return nullptr;
}

const char* CRhuParser::DataMap(int node)
{
    const char* fileText = GetChildText(node, "FileName", false);
    if (!fileText)
        return nullptr;
    const std::string fileName = fileText;
    const char* labelText = GetChildText(node, "Label", false);
    const std::string label = labelText ? labelText : MakeSymbolName(fileName.c_str());
    if (CheckTargetFile(fileName.c_str()))
        return nullptr;
    const int type = FindChild(node, "DataMapTypeMod", false);
    const int kind = type && FindChild(type, "DataMapColor", false) ? CdbTexture::COLOUR_MAP : CdbTexture::INDEX_MAP;
    VerbosePrintf(1, "Datamap %s %s", label.c_str(), fileName.c_str());
    VerbosePrintf(2, "\n");
    CdbTexture::Settings.PendingDataMapKind = kind;
    CdbTexture* texture = new CdbTexture(label.c_str(), m_pDatabase);
    texture->SetPlace(PlaceOf(node));
    texture->Load(fileName.c_str(), true, false);
    CdbTexture::Settings.PendingDataMapKind = CdbTexture::ORDINARY;
    return nullptr;
}

const char* CRhuParser::ImplicitTextures(int node)
{
    CdbTexture::Settings.ImplicitOff = FindChild(node, "Off", false) != 0;
    VerbosePrintf(2, "ImplicitTexturesCmd = %d\n", CdbTexture::Settings.ImplicitOff ? 1 : 0);
    return nullptr;
}
