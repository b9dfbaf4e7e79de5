// The database's pixel formats: the NOALPHA, ALPHA1 and ALPHA formats the PixelFormat, Gamma and
// ColorCorrect commands set, and the current specifier every statement re-derives from them.
#include "converter/core/CDatabase.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/core/CzParser.h"
#include "core/output/ZOutput.h"
#include "qvrn/ParserInterface.h"

#include <cstring>
#include <strings.h>

namespace {
enum { NoAlphaFormat = 0, Alpha1Format = 1, AlphaFormat = 2 };

void SetExplicit(unsigned long& word, bool value) { CFormatSpecifier::SetModifier(word, value); }
} // namespace

void CDatabase::UpdateFormat(CFormatSpecifier& specifier, const char* keyword)
{
    struct Named {
        const char* keyword;
        int format;
    } const formats[] = {{"ALPHA", AlphaFormat}, {"ALPHA1", Alpha1Format}, {"NOALPHA", NoAlphaFormat}};
    for (const Named& named : formats)
        if (strcasecmp(keyword, named.keyword) == 0) {
            specifier = PixelFormats[named.format];
            return;
        }
    if (strcasecmp(keyword, "SCREEN") == 0 || strcasecmp(keyword, "WORLD") == 0)
        SetExplicit(specifier.Screen, strcasecmp(keyword, "SCREEN") == 0);
    else if (strcasecmp(keyword, "BILINEAR=ON") == 0 || strcasecmp(keyword, "BILINEAR=OFF") == 0)
        SetExplicit(specifier.Filter, strcasecmp(keyword, "BILINEAR=ON") == 0);
    else
        vbail("Bad string passed to CDatabase::UpdateFormat:\n%s\n", keyword);
}

void CDatabase::ParseModifiers(CzParser& parser, int statement, bool reset)
{
    CFormatSpecifier& f = CurrentFormat;
    if (reset) {
        static_cast<CPixelFormat&>(f) = PixelFormats[NoAlphaFormat];
        f.ResetModifiers();
    }
    auto has = [&](const char* symbol) { return parser.FindChild(statement, symbol, false); };
    if (has("ScreenNoFilterMod")) {
        SetExplicit(f.Filter, false);
        SetExplicit(f.Screen, true);
    }
    struct Switch {
        const char* symbol;
        unsigned long CFormatSpecifier::*word;
    } const switches[] = {{"FilterMod", &CFormatSpecifier::Filter},
                          {"ViewScaleMod", &CFormatSpecifier::ViewScale},
                          {"ZBufferMod", &CFormatSpecifier::ZBuffer},
                          {"ZWriteMod", &CFormatSpecifier::ZWrite}};
    for (const Switch& s : switches)
        if (int node = has(s.symbol))
            SetExplicit(f.*s.word, !parser.FindChild(node, "Off", false));
    const char* const alphaMods[] = {"AlphaMod", "Alpha1Mod", "NoAlphaMod"};
    const int alphaFormats[] = {AlphaFormat, Alpha1Format, NoAlphaFormat};
    for (int i = 0; i < 3; ++i)
        if (has(alphaMods[i]))
            f = PixelFormats[alphaFormats[i]];
    const Switch ons[] = {{"ScreenMod", &CFormatSpecifier::Screen},
                          {"SortAlphaMod", &CFormatSpecifier::SortAlpha},
                          {"SortSolidMod", &CFormatSpecifier::SortSolid}};
    for (const Switch& s : ons)
        if (has(s.symbol))
            SetExplicit(f.*s.word, true);
    if (has("WorldMod"))
        SetExplicit(f.Screen, false);
    if (has("AdditiveMod"))
        SetExplicit(f.Additive, true);
    if (has("LerpNormalsMod"))
        SetExplicit(f.LerpNormals, true);
    if (has("BumpMod")) {
        f = PixelFormats[AlphaFormat];
        SetExplicit(f.Bump, true);
    }
}

const char* CDatabase::SetPixelFormat(CzParser& parser, int statement)
{
    ParserInterface* tree = parser.Parser();
    CPixelFormat* target = &PixelFormats[NoAlphaFormat];
    for (int child = tree->GetChildNode(statement, 0); child; child = tree->GetNextSibling(child)) {
        const std::string name = parser.NodeName(child);
        const char* const kinds[] = {"NoAlpha", "Alpha1", "Alpha"};
        bool kind = false;
        for (int i = 0; i < 3; ++i)
            if (name == kinds[i]) {
                target = &PixelFormats[i];
                target->AlphaKind = i;
                target->Parse(nullptr);
                kind = true;
            }
        if (kind)
            continue;
        if (name != "Bitmasker")
            return "Cannot parse pixelformat, unknown format specifier.";
        const char* letters = parser.NodeText(child);
        VerbosePrintf(2, "Bitmask=%s", letters);
        target->Parse(letters);
    }
    return nullptr;
}

void CDatabase::SetGamma(float gamma)
{
    for (CPixelFormat& format : PixelFormats)
        format.Gamma = gamma;
    CurrentFormat.Gamma = gamma;
}

void CDatabase::SetHSVAdd(float h, float s, float v)
{
    for (CPixelFormat* format :
         {&PixelFormats[0], &PixelFormats[1], &PixelFormats[2], static_cast<CPixelFormat*>(&CurrentFormat)}) {
        format->HSVAdd[0] = h;
        format->HSVAdd[1] = s;
        format->HSVAdd[2] = v;
    }
}

void CDatabase::SetHSVMultiply(float h, float s, float v)
{
    for (CPixelFormat* format :
         {&PixelFormats[0], &PixelFormats[1], &PixelFormats[2], static_cast<CPixelFormat*>(&CurrentFormat)}) {
        format->HSVMultiply[0] = h;
        format->HSVMultiply[1] = s;
        format->HSVMultiply[2] = v;
    }
}
