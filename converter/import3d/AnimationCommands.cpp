// The script commands of skeletons and hierarchy animations: Skeleton, SuperSkeleton, Animation
// and AnimMultiplier.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/PathOperations.h"
#include "converter/import3d/CdbAnimation.h"
#include "converter/import3d/CdbSkeleton.h"

#include <cstdlib>
#include <string>

namespace {
float ScaleOf(CRhuParser& parser, int node)
{
    const char* scale = parser.GetChildText(node, "ScaleFactor", false);
    return scale ? static_cast<float>(atof(scale)) : 1.0f;
}
} // namespace

const char* CRhuParser::Skeleton(int node)
{
    const std::string label = GetChildText(node, "Label", true);
    const std::string fileName = GetChildText(node, "FileName", true);
    const float scale = ScaleOf(*this, node);
    const bool dependencyReport = CheckTargetFile(fileName.c_str());
    VerbosePrintf(1, "%s %s", label.c_str(), fileName.c_str());
    CdbSkeleton* skeleton = new CdbSkeleton(label.c_str(), m_pDatabase);
    if (FindChild(node, "NoAnim", false)) {
        VerbosePrintf(2, " No default anim\n");
        skeleton->LoadFromScene(fileName.c_str(), nullptr, scale, false);
        return nullptr;
    }
    const std::string animation = MakeSymbolName(fileName.c_str());
    VerbosePrintf(2, "\n  Default anim %s %s\n", animation.c_str(), fileName.c_str());
    skeleton->LoadFromScene(fileName.c_str(), animation.c_str(), scale, false);
    if (!dependencyReport)
        (new ClwAnimation(animation.c_str(), m_pDatabase))->LoadFromScene(fileName.c_str(), label.c_str());
    return nullptr;
}

const char* CRhuParser::SuperSkeleton(int node)
{
    const std::string label = GetChildText(node, "Label", true);
    const std::string fileName = GetChildText(node, "FileName", true);
    const float scale = ScaleOf(*this, node);
    CheckTargetFile(fileName.c_str());
    VerbosePrintf(1, "%s %s", label.c_str(), fileName.c_str());
    CdbSkeleton* skeleton = new CdbSkeleton(label.c_str(), m_pDatabase);
    skeleton->LoadFromScene(fileName.c_str(), nullptr, scale, true);
    return nullptr;
}

const char* CRhuParser::Animation(int node)
{
    if (int rate = FindChild(node, "AnimRateMod", false))
        ClwAnimation::Rate = static_cast<float>(atof(GetChildText(rate, "Number", true)));
    if (!FindChild(node, "Label", false))
        return nullptr;
    const std::string label = GetChildText(node, "Label", true);
    const std::string fileName = GetChildText(node, "FileName", true);
    const char* second = GetChildText(node, "FileName2", false);
    const std::string fileName2 = second ? second : "";
    const char* skeletonText = GetChildText(node, "Label2", false);
    std::string skeletonLabel = skeletonText ? skeletonText : "";
    const bool dependencyReport = CheckTargetFile(fileName.c_str());
    if (!fileName2.empty()) {
        CheckTargetFile(fileName2.c_str());
        skeletonLabel = MakeSymbolName(fileName2.c_str());
    }
    if (VerboseLevel < 2)
        VerbosePrintf(1, "%s", fileName.c_str());
    else
        VerbosePrintf(2, "%s %s %s\n", label.c_str(), fileName.c_str(), skeletonLabel.c_str());

    CdbElement* found = m_pDatabase->FindElement(skeletonLabel.c_str());
    if (!found) {
        if (fileName2.empty())
            Error(node, "Cannot find skeleton labelled %s", skeletonLabel.c_str());
        CdbSkeleton* skeleton = new CdbSkeleton(skeletonLabel.c_str(), m_pDatabase);
        skeleton->LoadFromScene(fileName2.c_str(), nullptr, 1.0f, false);
    } else if (!dynamic_cast<CdbSkeleton*>(found)) {
        Error(node, "Expected skeleton labelled %s but found other data with the same name", skeletonLabel.c_str());
    }
    if (!dependencyReport)
        (new ClwAnimation(label.c_str(), m_pDatabase))->LoadFromScene(fileName.c_str(), skeletonLabel.c_str());
    return nullptr;
}

const char* CRhuParser::AnimMultiplier(int node)
{
    ClwAnimation::PositionMultiplier = static_cast<float>(atof(GetChildText(node, "ScaleFactor", true)));
    VerbosePrintf(1, " scale = %g", ClwAnimation::PositionMultiplier);
    return nullptr;
}
