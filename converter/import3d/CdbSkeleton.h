#pragma once
// A skeleton element: the tree of a scene's objects, each node with its offset from its parent,
// the mesh it shows and its attach points. Every animated node owns one bit of a 32-bit
// channel mask, by which hierarchy animations address it.
#include "converter/core/CdbElement.h"

#include <string>
#include <vector>

class CSkeletonNode {
public:
    void SortChildren();
    void Dump(CZelWriter& writer, int& counter) const;
    void DumpEx(CZelWriter& writer) const;
    void Diagnostic(int& number, int indent) const;

    std::string Name;
    float X = 0.0f, Y = 0.0f, Z = 0.0f;
    std::string ResourceLabel;
    std::vector<CSkeletonNode*> Children; // owned by the skeleton's node array
    unsigned char AttachPoint = 0;
    unsigned long Mask = 0;
    std::string RawName;
};

class CdbSkeleton : public CdbElement {
public:
    CdbSkeleton(const char* label, CDatabase* database) : CdbElement(label, database) {}
    ~CdbSkeleton() override;

    void LoadFromScene(const char* fileName, const char* animationLabel, float scale, bool super);
    void Dump(CZelWriter& writer) override;
    void Diagnostic() override;

    // Non-attach nodes reachable from the root.
    int CountChannels() const;
    CSkeletonNode* FindNode(const std::string& name) const;

    std::vector<CSkeletonNode*> Nodes; // owned; the first is the root
    std::string DefaultAnimation;
    float Centroid[3] = {0.0f, 0.0f, 0.0f};
    float Center[3] = {0.0f, 0.0f, 0.0f};
    float MaxSize[3] = {-1.0e36f, -1.0e36f, -1.0e36f};
    float MinSize[3] = {1.0e36f, 1.0e36f, 1.0e36f};
    float ScaleFactor = 1.0f;

private:
    void AssignMasks();
};
