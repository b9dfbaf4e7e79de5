#include "engine/render/CLightTree.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

float Balance(int a, int b)
{
    const int high = std::max(a, b);
    return high == 0 ? 0.0f : float(std::min(a, b)) / float(high);
}

// Whether a light limited on the split's axis reaches the side below (or above) the split.
// Only the limits across that axis count: a light limited on the left still lights both sides
// of a split in y.
bool ReachesBelow(const LightRecord* l, int onX, float split)
{
    if (onX)
        return !((l->Flags & LightRecord::FLAG_LEFT) && split <= l->MinX);
    return !((l->Flags & LightRecord::FLAG_TOP) && split <= l->MinY);
}
bool ReachesAbove(const LightRecord* l, int onX, float split)
{
    if (onX)
        return !((l->Flags & LightRecord::FLAG_RIGHT) && l->MaxX <= split);
    return !((l->Flags & LightRecord::FLAG_BOTTOM) && l->MaxY <= split);
}

// Keeps, of lights sharing a non-zero name, the one of highest priority (the first among equals).
template <class T, class Light> void KeepHighestOfEachName(std::vector<T>& items, Light light)
{
    std::vector<T> kept;
    for (size_t i = 0; i < items.size(); ++i) {
        const LightRecord* l = light(items[i]);
        bool beaten = false;
        for (size_t j = 0; j < items.size() && l->Name && !beaten; ++j) {
            const LightRecord* o = light(items[j]);
            beaten =
                j != i && o->Name == l->Name && (o->Priority > l->Priority || (o->Priority == l->Priority && j < i));
        }
        if (!beaten)
            kept.push_back(items[i]);
    }
    items.swap(kept);
}

const CLightSet* g_Applied;
bool g_FogOn;

} // namespace

void CLightSet::Clear(bool pointLights)
{
    std::memset(static_cast<void*>(this), 0, sizeof *this);
    for (int i = 0; i < kDirectionalSlots; ++i)
        Registers[1 + 2 * i] = CVector4(0, 0, 1, 1);
    for (int i = 0; i < kPointSlots; ++i) {
        CVector4* slot = &Registers[7 + 5 * i];
        slot[0] = CVector4(0, 0, 0, 1);
        slot[1] = CVector4(0, 0, 1, 0);
        slot[2] = CVector4(1, 0, 0, 0);
    }
    // Every set writes its point slots when point lights are on, so no set keeps the lights of
    // the one applied before it.
    RegisterCount = pointLights ? 27 : 7;
}

CLightTree::CLightTree() : Roots{}, Built(false), Flags(0) {}

CLightTree::~CLightTree() { Free(); }

CLightTree& CLightTree::The()
{
    static CLightTree tree;
    return tree;
}

void CLightTree::Build(const int aliases[kLayers], unsigned long engineFlags)
{
    Free();
    Built = true;
    Flags = engineFlags;
    const bool points = engineFlags & 0x08;
    DefaultSet.Clear(points);
    EmptySet.Clear(points);
    for (int layer = 0; layer < kLayers; ++layer) {
        Node* root = new Node;
        Roots[layer] = root;
        for (int i = 0; i < GetFrameLightCount(); ++i) {
            const LightRecord* l = GetFrameLight(i);
            if (l->Viewport != aliases[layer])
                continue;
            const struct {
                unsigned long bit;
                int axis;
                float position, start, end;
            } limits[4] = {{LightRecord::FLAG_LEFT, 0, l->MinX, l->MinY, l->MaxY},
                           {LightRecord::FLAG_TOP, 1, l->MinY, l->MinX, l->MaxX},
                           {LightRecord::FLAG_RIGHT, 0, l->MaxX, l->MinY, l->MaxY},
                           {LightRecord::FLAG_BOTTOM, 1, l->MaxY, l->MinX, l->MaxX}};
            for (const auto& limit : limits)
                if (l->Flags & limit.bit)
                    root->Edges.push_back(Edge{l, limit.axis, limit.position, limit.start, limit.end});
            if (!(l->Flags & LightRecord::FLAG_CULL)) {
                root->Globals.push_back(l);
                continue;
            }
            if (!(l->Radius > 0.0f))
                continue;
            PointEntry e{l, 0, 0, 0, 0, l->Position.x, l->Position.y};
            if (l->Type == LightRecord::TYPE_SPOT) {
                const float rx = l->Position.x + l->Direction.x * l->Radius;
                const float ry = l->Position.y + l->Direction.y * l->Radius;
                const float c = std::max(-1.0f, std::min(1.0f, 1.0f - l->Aperture));
                const float w = std::sin(std::acos(c)) * l->Radius + 1.0f;
                e.MinX = std::min(l->Position.x - 1, rx - w);
                e.MaxX = std::max(l->Position.x + 1, rx + w);
                e.MinY = std::min(l->Position.y - 1, ry - w);
                e.MaxY = std::max(l->Position.y + 1, ry + w);
            } else {
                e.MinX = l->Position.x - l->Radius;
                e.MaxX = l->Position.x + l->Radius;
                e.MinY = l->Position.y - l->Radius;
                e.MaxY = l->Position.y + l->Radius;
            }
            root->Points.push_back(e);
        }
        BuildNode(root);
    }
}

void CLightTree::BuildNode(Node* node)
{
    // Left children by recursion, right children in the loop.
    while (node) {
        if (!SplitOnEdge(node)) {
            if (node->Points.size() <= CLightSet::kPointSlots)
                node->Kind = LEAF_FEW;
            else if (!SplitOnClusters(node) && !SplitOnOverlap(node))
                node->Kind = LEAF_NO_SPLIT;
        }
        if (node->Kind & LEAF) {
            FinishLeaf(node);
            return;
        }
        BuildNode(node->Left);
        node = node->Right;
    }
}

bool CLightTree::SplitOnEdge(Node* node)
{
    if (node->Edges.empty())
        return false;
    auto before = [](const Edge& o, int axis, float at) { return o.Axis == axis ? o.Position < at : o.Start < at; };
    auto after = [](const Edge& o, int axis, float at) { return o.Axis == axis ? o.Position > at : o.End > at; };
    const Edge* best = nullptr;
    float bestBalance = -1.0f;
    for (const Edge& e : node->Edges) {
        int m = 0, n = 0;
        for (const Edge& o : node->Edges) {
            if (&o == &e)
                continue;
            m += before(o, e.Axis, e.Position);
            n += after(o, e.Axis, e.Position);
        }
        const float b = Balance(m, n);
        if (b > bestBalance) {
            bestBalance = b;
            best = &e;
        }
    }
    node->Kind = SPLIT_EDGE;
    node->OnX = best->Axis == 0;
    node->Split = best->Position;
    Node* left = new Node;
    Node* right = new Node;
    const int onX = node->OnX;
    const float split = node->Split;
    for (const Edge& o : node->Edges) {
        if (&o == best)
            continue;
        if (before(o, best->Axis, split))
            left->Edges.push_back(o);
        if (after(o, best->Axis, split))
            right->Edges.push_back(o);
    }
    for (const LightRecord* l : node->Globals) {
        if (ReachesBelow(l, onX, split))
            left->Globals.push_back(l);
        if (ReachesAbove(l, onX, split))
            right->Globals.push_back(l);
    }
    for (const PointEntry& p : node->Points) {
        const float low = onX ? p.MinX : p.MinY, high = onX ? p.MaxX : p.MaxY;
        if (low < split && ReachesBelow(p.Light, onX, split))
            left->Points.push_back(p);
        if (high > split && ReachesAbove(p.Light, onX, split))
            right->Points.push_back(p);
    }
    node->Left = left;
    node->Right = right;
    return true;
}

bool CLightTree::SplitOnClusters(Node* node)
{
    struct Best {
        float balance = -1.0f;
        float split = 0;
        std::vector<PointEntry> before, after;
    } best[2];
    for (int axis = 0; axis < 2; ++axis) {
        std::vector<PointEntry> sorted = node->Points;
        auto low = [axis](const PointEntry& e) { return axis == 0 ? e.MinX : e.MinY; };
        auto high = [axis](const PointEntry& e) { return axis == 0 ? e.MaxX : e.MaxY; };
        auto centre = [axis](const PointEntry& e) { return axis == 0 ? e.CentreX : e.CentreY; };
        std::stable_sort(sorted.begin(), sorted.end(), [&](const PointEntry& a, const PointEntry& b) {
            return low(a) != low(b) ? low(a) < low(b) : centre(a) < centre(b);
        });
        float end = high(sorted[0]);
        const int total = int(sorted.size());
        for (int k = 1; k < total; ++k) {
            if (low(sorted[size_t(k)]) < end) {
                end = std::max(end, high(sorted[size_t(k)]));
                continue;
            }
            // A boundary between clusters: k entries before it.
            const float b = Balance(k, total - k);
            if (b > best[axis].balance) {
                best[axis].balance = b;
                best[axis].split = (end + low(sorted[size_t(k)])) / 2;
                best[axis].before.assign(sorted.begin(), sorted.begin() + k);
                best[axis].after.assign(sorted.begin() + k, sorted.end());
            }
            end = high(sorted[size_t(k)]);
        }
    }
    if (best[0].balance < 0 && best[1].balance < 0)
        return false;
    const int axis = best[0].balance > best[1].balance ? 0 : 1;
    node->Kind = SPLIT_CLUSTERS;
    node->OnX = axis == 0;
    node->Split = best[axis].split;
    node->Left = new Node;
    node->Right = new Node;
    node->Left->Points = best[axis].before;
    node->Right->Points = best[axis].after;
    node->Left->Globals = node->Right->Globals = node->Globals;
    return true;
}

bool CLightTree::SplitOnOverlap(Node* node)
{
    const int total = int(node->Points.size());
    float bestBalance = -1.0f, bestAt = 0;
    int bestOnX = 0;
    for (const PointEntry& e : node->Points)
        for (int axis = 0; axis < 2; ++axis)
            for (float at : {axis == 0 ? e.MinX : e.MinY, axis == 0 ? e.MaxX : e.MaxY}) {
                int left = 0, right = 0;
                for (const PointEntry& o : node->Points) {
                    left += (axis == 0 ? o.MinX : o.MinY) < at;
                    right += (axis == 0 ? o.MaxX : o.MaxY) > at;
                }
                if (left == 0 || left == total || right == 0 || right == total)
                    continue;
                const float b = Balance(left, right);
                if (b > bestBalance) {
                    bestBalance = b;
                    bestAt = at;
                    bestOnX = axis == 0;
                }
            }
    if (bestBalance < 0)
        return false;
    node->Kind = SPLIT_OVERLAP;
    node->OnX = bestOnX;
    node->Split = bestAt;
    node->Left = new Node;
    node->Right = new Node;
    for (const PointEntry& o : node->Points) {
        if ((bestOnX ? o.MinX : o.MinY) < bestAt)
            node->Left->Points.push_back(o);
        if ((bestOnX ? o.MaxX : o.MaxY) > bestAt)
            node->Right->Points.push_back(o);
    }
    node->Left->Globals = node->Right->Globals = node->Globals;
    return true;
}

void CLightTree::FinishLeaf(Node* node)
{
    std::vector<const LightRecord*> globals;
    for (const LightRecord* l : node->Globals) {
        if (l->Type != LightRecord::TYPE_FOG)
            globals.push_back(l);
        else if (!node->Fog || l->Priority > node->Fog->Priority)
            node->Fog = l;
    }
    KeepHighestOfEachName(globals, [](const LightRecord* l) { return l; });
    KeepHighestOfEachName(node->Points, [](const PointEntry& e) { return e.Light; });
    node->Globals.swap(globals);
    const bool points = Flags & 0x08, fog = Flags & 0x04;
    if (node->Globals.empty() && (node->Points.empty() || !points) && (!node->Fog || !fog)) {
        node->Set = &EmptySet;
        return;
    }
    CLightSet* set = new CLightSet;
    Sets.push_back(set);
    set->Clear(points);
    for (const LightRecord* l : node->Globals) {
        if (set->DirectionalCount == CLightSet::kDirectionalSlots)
            break;
        const DeviceLightRecord& d = *l->pDevice;
        CVector4* slot = &set->Registers[1 + 2 * set->DirectionalCount];
        slot[0] = CVector4(l->Direction.x, l->Direction.y, l->Direction.z, 1.0f);
        slot[1] = CVector4(d.Diffuse.x, d.Diffuse.y, d.Diffuse.z, 0.0f);
        set->Registers[0] = set->Registers[0] + CVector4(d.Ambient.x, d.Ambient.y, d.Ambient.z, 0.0f);
        set->Directional[set->DirectionalCount++] = l;
    }
    for (const PointEntry& e : node->Points) {
        if (!points || set->PointCount == CLightSet::kPointSlots)
            break;
        const LightRecord* l = e.Light;
        const DeviceLightRecord& d = *l->pDevice;
        CVector4* slot = &set->Registers[7 + 5 * set->PointCount];
        slot[0] = CVector4(l->Position.x, l->Position.y, l->Position.z, 1.0f);
        slot[1] = l->Type == LightRecord::TYPE_SPOT ? CVector4(l->Direction.x, l->Direction.y, l->Direction.z, 0.0f)
                                                    : CVector4(0, 0, -1, 0);
        slot[2] = CVector4(l->Attenuation.x, l->Attenuation.y, l->Attenuation.z, 0.0f);
        slot[3] = CVector4(d.Diffuse.x, d.Diffuse.y, d.Diffuse.z, 0.0f);
        slot[4] = CVector4(d.Ambient.x, d.Ambient.y, d.Ambient.z, 0.0f);
        (&set->Registers[27].x)[set->PointCount] = l->Type == LightRecord::TYPE_SPOT ? d.InverseAperture : 0.0f;
        set->Points[set->PointCount++] = l;
    }
    if (node->Fog && fog) {
        set->FogEnabled = 1;
        set->FogColour = node->Fog->pDevice->FogColour;
        set->FogStart = node->Fog->Attenuation.x;
        set->FogEnd = node->Fog->Attenuation.y;
    }
    node->Set = set;
}

const CLightSet* CLightTree::FindLightSet(int layer, const CVector& p) const
{
    if (layer < 0 || layer >= kLayers || !Roots[layer])
        return &DefaultSet;
    const Node* node = Roots[layer];
    while (!(node->Kind & LEAF))
        node = (node->OnX ? p.x : p.y) >= node->Split ? node->Right : node->Left;
    return node->Set ? node->Set : &EmptySet;
}

void CLightTree::FreeNode(Node* node)
{
    while (node) {
        FreeNode(node->Left);
        Node* right = node->Right;
        delete node;
        node = right;
    }
}

void CLightTree::Free()
{
    for (Node*& root : Roots) {
        FreeNode(root);
        root = nullptr;
    }
    for (CLightSet* set : Sets)
        delete set;
    Sets.clear();
    Built = false;
}

void ForgetAppliedLightSet() { g_Applied = nullptr; }

void ApplyLightSet(IDirect3DDevice9* device, const CLightSet* set, bool shaders, D3DCOLOR fogColour)
{
    if (!device || !set || set == g_Applied)
        return;
    g_Applied = set;
    if (shaders) {
        device->SetVertexShaderConstantF(19, &set->Registers[0].x, UINT(set->RegisterCount));
        device->SetVertexShaderConstantF(46, &set->Registers[27].x, 1);
    } else {
        DWORD index = 0;
        for (int i = 0; i < set->DirectionalCount; ++i, ++index) {
            device->SetLight(index, &set->Directional[i]->pDevice->Light);
            device->LightEnable(index, TRUE);
        }
        for (int i = 0; i < set->PointCount; ++i, ++index) {
            device->SetLight(index, &set->Points[i]->pDevice->Light);
            device->LightEnable(index, TRUE);
        }
        for (; index < 8; ++index)
            device->LightEnable(index, FALSE);
    }
    if (set->FogEnabled) {
        if (!g_FogOn) {
            device->SetRenderState(D3DRS_FOGENABLE, TRUE);
            device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
            g_FogOn = true;
        }
        device->SetRenderState(D3DRS_FOGCOLOR, fogColour ? fogColour : set->FogColour);
        float start = set->FogStart, end = set->FogEnd;
        DWORD bits;
        std::memcpy(&bits, &start, 4);
        device->SetRenderState(D3DRS_FOGSTART, bits);
        std::memcpy(&bits, &end, 4);
        device->SetRenderState(D3DRS_FOGEND, bits);
    } else if (g_FogOn) {
        device->SetRenderState(D3DRS_FOGENABLE, FALSE);
        g_FogOn = false;
    }
}
