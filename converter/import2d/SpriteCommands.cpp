// The Sprite, Font and Logo commands.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/PathOperations.h"
#include "converter/import2d/CdbFont.h"
#include "converter/import2d/CdbSprite.h"
#include "converter/import3d/CdbAnimation.h"
#include "core/names/CCRC32.h"
#include "qvrn/ParserInterface.h"

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// Pages made while converting one script carry its name's key, so that pages of files
// converted in different runs do not share labels.
void SetPageWord(CRhuParser& parser)
{
    QVString name = parser.Parser()->GetInputName();
    const char* text = name;
    CdbSprite::PageWord = CCRC32::GetCRC(FileTitle(text ? text : ""));
}

// An ANIMFLAG value: a number, or the type file's constant of that name.
unsigned long TriggerValue(CRhuParser& parser, int node, const char* text)
{
    unsigned long value = std::strtoul(text, nullptr, 0);
    if (!value)
        value = TypeDatabase.GetConstant(text, false);
    if (!value)
        parser.Error(node, "Undefined constant for trigger value : %s\n", text);
    return value;
}

void AddFrames(CRhuParser& parser, int list, CdbSprite& sprite)
{
    ParserInterface* tree = parser.Parser();
    int frame = 0;
    float time = 0.0f;
    for (int spec = tree->GetChildNode(list, 0); spec; spec = tree->GetNextSibling(spec)) {
        if (std::string(parser.NodeName(spec)) != "SpriteFileSpec")
            parser.Error(spec, "Didn't expect anything but SpriteFileSpec at this level\n");
        if (const char* duration = parser.GetChildText(spec, "AnimTime", false))
            parser.m_SpriteFrameDuration = static_cast<float>(std::atof(duration));
        if (const int flag = parser.FindChild(spec, "AnimFlag", false)) {
            // A flag belongs to an animation: without one it would be taken for a frame file.
            if (!sprite.Animation)
                parser.Error(spec, "ANIMFLAG needs an animated sprite (ANIM)\n");
            auto trigger = std::make_unique<CAnimTrigger>();
            trigger->Time = time;
            trigger->Flag = TriggerValue(parser, spec, parser.GetChildText(flag, "Value", true));
            VerbosePrintf(3, "Trigger: time=%.2f value=0x%08lX\n", trigger->Time, trigger->Flag);
            sprite.Animation->Triggers.push_back(std::move(trigger));
            continue;
        }
        const std::string file = parser.GetChildText(spec, "FileName", true);
        VerbosePrintf(1, "\r%s[%d] %s", sprite.GetLabel(), frame, file.c_str());
        sprite.AddFrame(file.c_str(), frame++, time, parser.m_SpriteFrameDuration);
        time += parser.m_SpriteFrameDuration;
    }
}

// The element of a Logo or Font statement, made once its one file has passed the target-path
// check (null when the check leaves the statement out).
template <class Element> Element* NewSingleFrame(CRhuParser& parser, CDatabase* database, int node, std::string& file)
{
    SetPageWord(parser);
    const std::string label = parser.GetChildText(node, "Label", true);
    file = parser.GetChildText(node, "FileName", true);
    if (parser.CheckTargetFile(file.c_str()))
        return nullptr;
    VerbosePrintf(1, "%s %s", label.c_str(), file.c_str());
    VerbosePrintf(2, "\n");
    Element* element = new Element(label.c_str(), database);
    element->Place = parser.PlaceOf(node);
    return element;
}

} // namespace

const char* CRhuParser::Sprite(int node)
{
    SetPageWord(*this);
    CdbSprite* sprite = new CdbSprite(GetChildText(node, "Label", true), m_pDatabase);
    sprite->Place = PlaceOf(node);
    if (const int scale = FindChild(node, "ScaleMod", false)) {
        sprite->XScale = static_cast<float>(std::atof(GetChildText(scale, "XScale", true)));
        const char* y = GetChildText(scale, "YScale", false);
        sprite->YScale = y ? static_cast<float>(std::atof(y)) : sprite->XScale;
        VerbosePrintf(3, "XScale = %g YScale = %g \n", sprite->XScale, sprite->YScale);
    }
    const int list = FindChild(node, "FileList", false);
    if (!list) {
        const std::string file = GetChildText(node, "FileName", true);
        if (CheckTargetFile(file.c_str()))
            return nullptr;
        VerbosePrintf(1, "%s %s", sprite->GetLabel(), file.c_str());
        sprite->AddFrame(file.c_str(), 0, 0.0f, 0.0f);
        return nullptr;
    }
    if (FindChild(node, "MakeAnimation", false))
        sprite->CreateAnimation(FindChild(node, "LoopMod", false) != 0);
    AddFrames(*this, list, *sprite);
    return nullptr;
}

const char* CRhuParser::Logo(int node)
{
    std::string file;
    if (CdbLogo* logo = NewSingleFrame<CdbLogo>(*this, m_pDatabase, node, file))
        logo->AddFrame(file.c_str(), 0, 0.0f, 0.0f);
    return nullptr;
}

const char* CRhuParser::Font(int node)
{
    std::string file;
    CdbFont* font = NewSingleFrame<CdbFont>(*this, m_pDatabase, node, file);
    if (!font)
        return nullptr;
    font->ASCIIStart = std::atol(GetChildText(node, "ASCIIStart", true));
    font->SpaceSize = std::atol(GetChildText(node, "SpaceSize", true));
    font->Kerning = std::atol(GetChildText(node, "Kerning", true));
    if (const char* leading = GetChildText(node, "Leading", false))
        font->Leading = std::atol(leading);
    font->Load(file.c_str());
    return nullptr;
}
