#include "converter/import3d/CdbSkeleton.h"

#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/ClwScene.h"
#include "converter/import3d/RecordOut.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace {

// Adjacent swaps from the front until no pair is out of order: equal names keep their order.
void SortByName(std::vector<CSkeletonNode*>& nodes)
{
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (size_t i = 0; i + 1 < nodes.size() && !swapped; ++i)
            if (strcmp(nodes[i]->Name.c_str(), nodes[i + 1]->Name.c_str()) > 0) {
                std::swap(nodes[i], nodes[i + 1]);
                swapped = true;
            }
    }
}

void AssignBits(CSkeletonNode& node, unsigned long& nextBit)
{
    node.SortChildren();
    if (node.AttachPoint)
        return;
    if (!nextBit)
        vbail("Skeleton Node Mask bit overflow - cannot have more than 32 channels of anim");
    node.Mask = nextBit;
    nextBit <<= 1;
    for (CSkeletonNode* child : node.Children)
        AssignBits(*child, nextBit);
}

int CountAnimated(const CSkeletonNode& node)
{
    if (node.AttachPoint)
        return 0;
    int count = 1;
    for (const CSkeletonNode* child : node.Children)
        count += CountAnimated(*child);
    return count;
}

int AttachCounter = 0;

} // namespace

void CSkeletonNode::SortChildren() { SortByName(Children); }

CdbSkeleton::~CdbSkeleton()
{
    for (CSkeletonNode* node : Nodes)
        delete node;
}

void CdbSkeleton::LoadFromScene(const char* fileName, const char* animationLabel, float scale, bool super)
{
    ClwScene scene(GetDatabase());
    scene.Load(fileName, true);
    scene.BuildSkeleton(Nodes, MinSize, MaxSize, Center, super);
    for (int a = 0; a < 3; ++a)
        Centroid[a] = Center[a];
    AssignMasks();
    DefaultAnimation = animationLabel ? animationLabel : "";
    ScaleFactor = scale;
    if (VerboseLevel >= 3)
        Diagnostic();
    SetInterpolationWarningName(nullptr);
}

void CdbSkeleton::AssignMasks()
{
    CSkeletonNode& root = *Nodes.front();
    root.SortChildren();
    if (root.AttachPoint)
        return;
    root.Mask = 1;
    unsigned long nextBit = 2;
    for (CSkeletonNode* child : root.Children)
        AssignBits(*child, nextBit);
}

int CdbSkeleton::CountChannels() const { return Nodes.empty() ? 0 : CountAnimated(*Nodes.front()); }

CSkeletonNode* CdbSkeleton::FindNode(const std::string& name) const
{
    for (CSkeletonNode* node : Nodes)
        if (node->Name == name)
            return node;
    return nullptr;
}

void CdbSkeleton::Dump(CZelWriter& writer)
{
    VerbosePrintf(2, "\tCdbSkeleton::Dump() : %s\n", GetLabel());
    if (Nodes.empty())
        vbail("Trying to dump a skeleton with no nodes..");
    RecordOut record(writer, "CRendStaticSkeleton", GetLabel(), true);
    const char* axes[3] = {"X", "Y", "Z"};
    const std::pair<const char*, const float*> vectors[] = {
        {"Centroid", Centroid}, {"Center", Center}, {"MaxSize", MaxSize}, {"MinSize", MinSize}};
    for (const auto& vector : vectors)
        for (int a = 0; a < 3; ++a)
            record.Float((std::string(vector.first) + "." + axes[a]).c_str(), vector.second[a]);
    const float dx = MaxSize[0] - Center[0], dy = MaxSize[1] - Center[1], dz = MaxSize[2] - Center[2];
    record.Float("MaxRadius", std::sqrt(dx * dx + dy * dy + dz * dz));
    record.Float("MaxRadiusXY", std::sqrt(dx * dx + dy * dy));
    record.Float("ScaleFactor", ScaleFactor);
    record.Pointer("pAnimation", DefaultAnimation);
    VerbosePrintf(3, "SNAFU\nSNAFU Skeleton: %s\n", GetLabel());
    // Node names become unique across skeletons once, here: a second dump keeps them.
    const std::string prefix = std::string("_") + GetLabel() + "_";
    for (CSkeletonNode* node : Nodes)
        if (node->Name.compare(0, prefix.size(), prefix) != 0)
            node->Name = prefix + node->Name;

    // The nodes follow the record as its Nodes array; the counts go back into the record.
    int counter = 0;
    Nodes.front()->Dump(writer, counter);
    const unsigned long nodesEnd = writer.GetPosition();
    record.Signed("NoAttachPoints", static_cast<long>(Nodes.size()) - 1);
    record.Signed("NoNodes", counter);
    writer.SetPosition(nodesEnd);
    Nodes.front()->DumpEx(writer);
}

void CSkeletonNode::Dump(CZelWriter& writer, int& counter) const
{
    VerbosePrintf(3, "  CSkeletonNode::Dump()\n");
    ++counter;
    RecordOut record(writer, "StaticNode", Name.c_str(), false);
    VerbosePrintf(3, "SNAFU   %s\n", ResourceLabel.c_str());
    record.Pointer("pResource", ResourceLabel);
    record.Signed("NoAttachPoints", static_cast<long>(Children.size()));
    record.Pointer("pAttachPoints", Name + "_AttachPoints");
    record.Pointer("pChildren", Name + "_Children");
    for (const CSkeletonNode* child : Children)
        if (!child->AttachPoint)
            child->Dump(writer, counter);
}

void CSkeletonNode::DumpEx(CZelWriter& writer) const
{
    VerbosePrintf(3, "  CSkeletonNode::DumpEx()\n");
    writer.DefineSymbol((Name + "_Children").c_str(), nullptr, false, 0);
    for (const CSkeletonNode* child : Children) {
        const unsigned long null = 0;
        if (child->AttachPoint)
            writer.WriteData(&null, 4, 1, "attach point: no node");
        else
            writer.AddPointerFixup(child->Name.c_str(), "child node");
    }
    writer.DefineSymbol((Name + "_AttachPoints").c_str(), nullptr, false, 0);
    if (Children.empty())
        return;
    for (const CSkeletonNode* child : Children) {
        std::string label;
        if (VerboseLevel >= 3)
            label = "_attach_" + child->Name + "_" + std::to_string(AttachCounter);
        ++AttachCounter;
        RecordOut point(writer, "CAttachPoint", label.empty() ? nullptr : label.c_str(), false);
        point.Float("X", child->X);
        point.Float("Y", child->Y);
        point.Float("Z", child->Z);
        point.Id("Crc32", child->RawName);
        VerbosePrintf(3, "attach point name = %s\n", child->RawName.c_str());
    }
    for (const CSkeletonNode* child : Children)
        child->DumpEx(writer);
}

void CSkeletonNode::Diagnostic(int& number, int indent) const
{
    if (AttachPoint)
        VerbosePrintf(3, "ATCH: %*c %s %s %08lX\n", indent + 1, ' ', Name.c_str(), RawName.c_str(), Mask);
    else
        VerbosePrintf(3, "%2d    %*c %s %s %08lX\n", number++, indent + 1, ' ', Name.c_str(), RawName.c_str(), Mask);
    for (const CSkeletonNode* child : Children)
        child->Diagnostic(number, indent + 2);
}

void CdbSkeleton::Diagnostic()
{
    VerbosePrintf(3, "\nSkeleton diagnostic for %s:\n", GetLabel());
    int number = 0;
    if (!Nodes.empty())
        Nodes.front()->Diagnostic(number, 0);
    VerbosePrintf(3, "End Skeleton\n\n");
}
