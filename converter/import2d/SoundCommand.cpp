// The Sound command: a sound definition over one or more WAV files, or the BASEFADE= setting.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/PathOperations.h"
#include "converter/import2d/CdbSound.h"
#include "converter/import2d/CdbSoundSample.h"
#include "converter/import3d/RecordOut.h"
#include "qvrn/ParserInterface.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct FlagKeyword {
    const char* node;
    const char* constant;
};

const FlagKeyword SoundFlags[] = {{"OnlyOneIgnore", "SOUND_ONLYONEIGNORE"},
                                  {"Voice", "SOUND_VOICE"},
                                  {"Music", "SOUND_MUSIC"},
                                  {"OnlyOneRestart", "SOUND_ONLYONERESTART"},
                                  {"Loop", "SOUND_LOOP"},
                                  {"PlayWhilePaused", "SOUND_PLAYPAUSED"},
                                  {"StreamFile", "SOUND_STREAM"},
                                  {"Naturalize", "SOUND_NATURALIZE"}};

// The number of a NAME=x keyword, or fallback when the keyword is absent.
float Setting(CRhuParser& parser, int node, const char* keyword, float fallback)
{
    const int found = parser.FindChild(node, keyword, false);
    return found ? static_cast<float>(std::atof(parser.GetChildText(found, "Number", true))) : fallback;
}

std::vector<std::string> FileNames(CRhuParser& parser, int node)
{
    std::vector<std::string> files;
    ParserInterface* tree = parser.Parser();
    for (int child = tree->GetChildNode(node, 0); child; child = tree->GetNextSibling(child))
        if (std::string(parser.NodeName(child)) == "FileName")
            files.push_back(parser.NodeText(child));
    return files;
}

} // namespace

const char* CRhuParser::Sound(int node)
{
    if (const int baseFade = FindChild(node, "BaseFade", false)) {
        const float fade = static_cast<float>(std::atof(GetChildText(baseFade, "Number", true)));
        // A base fade of 0 or less makes every sound's fade multiplier infinite or negative.
        if (!(fade > 0.0f))
            Error(node, "BASEFADE must be greater than 0\n");
        CdbSound::BaseFade = fade;
        VerbosePrintf(2, "Basefade set to %f\n", fade);
        return nullptr;
    }
    const std::vector<std::string> files = FileNames(*this, node);
    if (files.empty())
        Error(node, "no filenames specified\n");
    const char* labelText = GetChildText(node, "Label", false);
    const std::string label = labelText && *labelText ? labelText : FileTitle(files[0].c_str());
    const float fade = Setting(*this, node, "Fade", 1.0f);
    if (!(fade > 0.0f))
        Error(node, "FADE must be greater than 0\n");

    CdbSound* sound = new CdbSound(label.c_str(), m_pDatabase);
    for (const FlagKeyword& keyword : SoundFlags)
        if (FindChild(node, keyword.node, false))
            sound->Flags |= Constant(keyword.constant);
    sound->Priority = Setting(*this, node, "Priority", 1.0f);
    sound->Fade = fade;
    sound->Volume = Setting(*this, node, "Volume", 1.0f);
    const bool stream = FindChild(node, "StreamFile", false) != 0;
    for (const std::string& file : files) {
        const std::string sampleLabel = std::string(FileTitle(file.c_str())) + "_sample";
        CdbElement* existing = m_pDatabase->FindElement(sampleLabel.c_str());
        if (existing && !dynamic_cast<CdbSoundSample*>(existing))
            Error(node, "%s names an element that is not a sound sample\n", sampleLabel.c_str());
        if (!existing) {
            CdbSoundSample* sample = new CdbSoundSample(sampleLabel.c_str(), m_pDatabase);
            sample->Load(file.c_str(), stream);
        }
        sound->SampleLabels.push_back(sampleLabel);
    }
    return nullptr;
}
