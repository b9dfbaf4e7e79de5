#pragma once
// The frame's light partition: per layer, a binary tree of x and y splits of the ground plane
// whose leaves are reached by few enough lights for one draw (3 directional, 4 point or spot,
// one fog). Each leaf owns the light set drawing applies: the vertex constants from c19 on,
// or the fixed-function lights.
#include <d3d9.h>

#include <vector>

#include "core/math/CVector.h"
#include "engine/render/LightHandles.h"

// The vertex-constant block from c19: ambient, 3 directional slots of 2 registers, 4 point
// slots of 5, then the spot factors (c46).
class CLightSet {
public:
    enum { kDirectionalSlots = 3, kPointSlots = 4, kRegisters = 28 };
    CLightSet() { Clear(false); }
    // Empty slots: directions (0, 0, 1), attenuation (1, 0, 0), no colour.
    void Clear(bool pointLights);
    CVector4 Registers[kRegisters]; // c19 .. c46
    int RegisterCount;              // from c19: 7, or 27 with point lights
    int FogEnabled;
    D3DCOLOR FogColour;
    float FogStart, FogEnd;
    const LightRecord* Directional[kDirectionalSlots];
    int DirectionalCount;
    const LightRecord* Points[kPointSlots];
    int PointCount;
};

class CLightTree {
public:
    enum { kLayers = 8 };
    enum : unsigned {
        LEAF = 0x01,
        LEAF_NO_SPLIT = 0x11,
        LEAF_FEW = 0x21,
        SPLIT_CLUSTERS = 0x40,
        SPLIT_OVERLAP = 0x80,
        SPLIT_EDGE = 0x100
    };

    struct PointEntry {
        const LightRecord* Light;
        float MinX, MaxX, MinY, MaxY;
        float CentreX, CentreY;
    };
    struct Edge {
        const LightRecord* Light;
        int Axis; // 0: a line x = Position, 1: y = Position
        float Position, Start, End;
    };
    struct Node {
        unsigned Kind = 0;
        int OnX = 0;
        float Split = 0;
        std::vector<const LightRecord*> Globals;
        std::vector<PointEntry> Points;
        std::vector<Edge> Edges;
        Node* Left = nullptr;
        Node* Right = nullptr;
        const LightRecord* Fog = nullptr;
        CLightSet* Set = nullptr;
    };

    CLightTree();
    ~CLightTree();
    // Builds every layer's tree from the frame light table; aliases[i] is the render viewport
    // layer i shows.
    void Build(const int aliases[kLayers], unsigned long engineFlags);
    void Free();
    bool IsBuilt() const { return Built; }
    const CLightSet* FindLightSet(int layer, const CVector& p) const;
    const Node* GetRoot(int layer) const { return layer >= 0 && layer < kLayers ? Roots[layer] : nullptr; }
    const CLightSet& GetDefaultSet() const { return DefaultSet; }
    // The light report overlay: a layer's tree drawn flat in the current viewport's pixels,
    // scaled to fit the 640 by 480 screen.
    void DrawLightReport(int layer) const;

    // The process's tree, built at every frame's begin.
    static CLightTree& The();

private:
    void BuildNode(Node* node);
    bool SplitOnEdge(Node* node);
    bool SplitOnClusters(Node* node);
    bool SplitOnOverlap(Node* node);
    void FinishLeaf(Node* node);
    void FreeNode(Node* node);

    Node* Roots[kLayers];
    bool Built;
    unsigned long Flags;
    CLightSet DefaultSet;
    CLightSet EmptySet;
    std::vector<CLightSet*> Sets;
};

// Makes a light set current on the device; nothing when it already is.
void ApplyLightSet(IDirect3DDevice9* device, const CLightSet* set, bool shaders, D3DCOLOR fogColour);
// Forgets the set current on the device (after a reset or a frame begin).
void ForgetAppliedLightSet();
