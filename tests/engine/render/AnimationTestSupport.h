#pragma once
// Hierarchy and simple animation records built in memory for the players' tests, and a
// resource that records the poses handed to it.
#include <cstring>
#include <vector>

#include "engine/render/CAnimation.h"
#include "engine/render/CRendResource.h"
#include "engine/zel/CZelStaticResource.h"

struct AnimSpec {
    int Channels = 1;
    float FadeIn = 0.0f;
    float FadeOut = 1.0f;
    float EndTime = 1.0f;
    std::vector<float> KeyTimes{0.0f, 1.0f};
    // Per key: root position; per key and channel: packed rotation.
    std::vector<CVector> Positions;
    std::vector<unsigned long> Rots;
    std::vector<CVector> MovementKeys; // empty = none
    std::vector<Trigger> Triggers;     // an end record far away is added
    float RootWeight = 1.0f;
    unsigned long Active = 0xFFFFFFFF;
    CRendStaticSkeleton* Skeleton = nullptr;
};

class TestAnimation {
public:
    explicit TestAnimation(const AnimSpec& spec)
    {
        const int n = spec.Channels;
        const size_t keySize = 16 + 4 * n, keys = spec.KeyTimes.size();
        const size_t header = CHierarchyAnimation::HeaderSize(n);
        const size_t triggerBytes = (spec.Triggers.size() + 1) * sizeof(Trigger);
        Words.assign((header + keySize * keys + triggerBytes + 12 * keys) / 4 + 4, 0);
        char* base = reinterpret_cast<char*>(Words.data());
        CHierarchyAnimation* a = reinterpret_cast<CHierarchyAnimation*>(base);
        a->EndTime = spec.EndTime;
        a->FadeIn = spec.FadeIn;
        a->FadeOut = spec.FadeOut;
        a->NumChannels = static_cast<unsigned short>(n);
        a->KeySize = static_cast<unsigned short>(keySize);
        a->ActiveChannels = spec.Active;
        a->pSkeleton = spec.Skeleton;
        a->NoKeys = static_cast<unsigned long>(keys);
        a->RootWeight = spec.RootWeight;
        for (int i = 0; i < n; ++i)
            a->Weights[i] = 1.0f;
        a->pKeys = reinterpret_cast<HierarchyKey*>(base + header);
        for (size_t k = 0; k < keys; ++k) {
            HierarchyKey* key = a->Key(k);
            key->Time = spec.KeyTimes[k];
            key->Position = k < spec.Positions.size() ? spec.Positions[k] : CVector(0.0f, 0.0f, 0.0f);
            for (int i = 0; i < n; ++i)
                key->Rots[i] = k * n + i < spec.Rots.size() ? spec.Rots[k * n + i] : 0;
        }
        Trigger* triggers = reinterpret_cast<Trigger*>(base + header + keySize * keys);
        for (size_t t = 0; t < spec.Triggers.size(); ++t)
            triggers[t] = spec.Triggers[t];
        triggers[spec.Triggers.size()] = Trigger{3.0e38f, 0, Trigger::END_OF_LIST, 0};
        a->pTriggers = spec.Triggers.empty() ? nullptr : triggers;
        CVector* moves = reinterpret_cast<CVector*>(triggers + spec.Triggers.size() + 1);
        for (size_t k = 0; k < spec.MovementKeys.size() && k < keys; ++k)
            moves[k] = spec.MovementKeys[k];
        a->pMovementKeys = spec.MovementKeys.empty() ? nullptr : moves;
        ZelConstructInPlace<CHierarchyAnimation>(base);
    }
    CHierarchyAnimation* operator->() { return Get(); }
    CHierarchyAnimation* Get() { return reinterpret_cast<CHierarchyAnimation*>(Words.data()); }

private:
    std::vector<unsigned long> Words;
};

// Packs three angles (1024 to the turn) into a rotation word.
inline unsigned long Packed(unsigned long x, unsigned long y, unsigned long z)
{
    return (x & 1023) | (y & 1023) << 10 | (z & 1023) << 20;
}

// Remembers the last pose handed to it and every frame index.
class PoseRecorder : public CRendResource {
public:
    void ApplyAnimation(const CVector& position, const CVector* rotations, CRendStaticSkeleton* skeleton) override
    {
        ++Poses;
        Position = position;
        std::memcpy(static_cast<void*>(Rots), rotations, sizeof Rots);
        Skeleton = skeleton;
    }
    void SetIndex(CRender*, int index) override { Indices.push_back(index); }

    int Poses = 0;
    CVector Position;
    CVector Rots[32];
    CRendStaticSkeleton* Skeleton = nullptr;
    std::vector<int> Indices;
};

#include "engine/render/CRendStaticSkeleton.h"

// A stored skeleton built in memory: per node its resource and attach points, each with the
// node hanging there (-1 for none).
class TestSkeleton {
public:
    struct Point {
        CVector Position;
        const char* Name;
        int Child;
    };
    struct Node {
        CRendResource* Resource;
        std::vector<Point> Points;
    };
    TestSkeleton(const std::vector<Node>& nodes, CAnimation* animation)
    {
        size_t points = 0;
        for (const Node& n : nodes)
            points += n.Points.size();
        const size_t head = 76 + 16 * nodes.size();
        Words.assign((head + points * (16 + 4)) / 4 + 1, 0);
        char* base = reinterpret_cast<char*>(Words.data());
        CRendStaticSkeleton* s = reinterpret_cast<CRendStaticSkeleton*>(base);
        s->pAnimation = animation;
        s->NoNodes = static_cast<unsigned long>(nodes.size());
        s->NoAttachPoints = static_cast<unsigned long>(points);
        CAttachPoint* ap = reinterpret_cast<CAttachPoint*>(base + head);
        StaticNode** children = reinterpret_cast<StaticNode**>(ap + points);
        for (size_t i = 0; i < nodes.size(); ++i) {
            StaticNode& node = s->Nodes[i];
            node.pResource = nodes[i].Resource;
            node.NoAttachPoints = static_cast<unsigned long>(nodes[i].Points.size());
            node.pAttachPoints = ap;
            node.pChildren = children;
            for (const Point& p : nodes[i].Points) {
                static_cast<CVector&>(*ap) = p.Position;
                ap->Crc32 = CCRC32::GetCRC(p.Name);
                *children = p.Child >= 0 ? &s->Nodes[p.Child] : nullptr;
                ++ap;
                ++children;
            }
        }
        ZelConstructInPlace<CRendStaticSkeleton>(base);
    }
    CRendStaticSkeleton* Get() { return reinterpret_cast<CRendStaticSkeleton*>(Words.data()); }

private:
    std::vector<unsigned long> Words;
};
