#include "engine/devices/VolumeTree.h"

#include <new>

template <class T> RecordPool<T>::~RecordPool()
{
    Block* block = First.pNext;
    while (block) {
        Block* next = block->pNext;
        delete block;
        block = next;
    }
}

template <class T> T* RecordPool<T>::Alloc()
{
    Block* block = &First;
    for (;;) {
        if (block->FreeMask != 0) {
            int slot = __builtin_ctz(block->FreeMask);
            block->FreeMask &= ~(1u << slot);
            block->Records[slot] = T();
            return &block->Records[slot];
        }
        if (!block->pNext)
            block->pNext = new Block;
        block = block->pNext;
    }
}

template <class T> bool RecordPool<T>::Owns(const T* record) const
{
    for (const Block* block = &First; block; block = block->pNext)
        if (record >= block->Records && record < block->Records + 32)
            return !(block->FreeMask & (1u << (record - block->Records)));
    return false;
}

template <class T> void RecordPool<T>::Free(T* record)
{
    for (Block* block = &First; block; block = block->pNext)
        if (record >= block->Records && record < block->Records + 32)
            block->FreeMask |= 1u << (record - block->Records);
}

namespace {
float Coord(const CVector& v, DWORD axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
} // namespace

VolumeTree::~VolumeTree() { FreeTree(pRoot); }

VolumeId VolumeTree::AddVolume(DWORD flags, DWORD classId, DWORD priority, const CVector& min, const CVector& max,
                               void* userData)
{
    TreeVolume* volume = Volumes.Alloc();
    *volume = TreeVolume{min, max, flags & ~DWORD(VOLUME_CLEARED_BITS), classId, priority, userData, this};
    ++VolumeCount;
    bRebuild = true;
    return volume;
}

void VolumeTree::RemoveVolume(VolumeId id)
{
    if (!id || !Volumes.Owns(id))
        return;
    Volumes.Free(id);
    --VolumeCount;
    bRebuild = true;
}

void VolumeTree::ChangeVolume(VolumeId id, DWORD flags, DWORD classId, DWORD priority, const CVector& min,
                              const CVector& max, void* userData)
{
    if (!id || !Volumes.Owns(id))
        return;
    *id = TreeVolume{min, max, flags & ~DWORD(VOLUME_CLEARED_BITS), classId, priority, userData, this};
    bRebuild = true;
}

void* VolumeTree::DescribeVolume(VolumeId id, DWORD& flags, DWORD& classId, DWORD& priority, CVector& min, CVector& max)
{
    if (!id || !Volumes.Owns(id))
        return nullptr;
    flags = id->Flags;
    classId = id->ClassId;
    priority = id->Priority;
    min = id->Min;
    max = id->Max;
    return id->pUserData;
}

void VolumeTree::FreeTree(TreeNode* node)
{
    if (!node)
        return;
    FreeTree(node->pLower);
    FreeTree(node->pUpper);
    delete[] node->pVolumes;
    delete[] node->pCandidates;
    Nodes.Free(node);
}

TreeNode* VolumeTree::NewNode()
{
    TreeNode* node = Nodes.Alloc();
    node->pTree = this;
    return node;
}

// The root holds every volume and one candidate per limited side, in the order minimum x,
// maximum x, minimum y, maximum y, minimum z, maximum z; then nodes split until no candidate is
// left.
void VolumeTree::RebuildTree()
{
    FreeTree(pRoot);
    Candidates.ForEach([this](SplitCandidate* c) { Candidates.Free(c); });
    pRoot = NewNode();
    pRoot->pVolumes = new TreeVolume*[VolumeCount ? VolumeCount : 1];
    pRoot->pCandidates = new SplitCandidate*[VolumeCount ? 6 * VolumeCount : 1];
    static const DWORD sides[6][3] = {{VOLUME_LIMIT_MIN_X, 0, 0}, {VOLUME_LIMIT_MAX_X, 0, 1},
                                      {VOLUME_LIMIT_MIN_Y, 1, 0}, {VOLUME_LIMIT_MAX_Y, 1, 1},
                                      {VOLUME_LIMIT_MIN_Z, 2, 0}, {VOLUME_LIMIT_MAX_Z, 2, 1}};
    Volumes.ForEach([&](TreeVolume* volume) {
        pRoot->pVolumes[pRoot->VolumeCount++] = volume;
        for (const DWORD* side : sides) {
            if (!(volume->Flags & side[0]))
                continue;
            SplitCandidate* c = Candidates.Alloc();
            c->Axis = side[1];
            c->Min = volume->Min;
            c->Max = volume->Max;
            const float face = Coord(side[2] ? volume->Max : volume->Min, side[1]);
            float* lo = side[1] == 0 ? &c->Min.x : side[1] == 1 ? &c->Min.y : &c->Min.z;
            float* hi = side[1] == 0 ? &c->Max.x : side[1] == 1 ? &c->Max.y : &c->Max.z;
            *lo = *hi = face;
            pRoot->pCandidates[pRoot->CandidateCount++] = c;
        }
    });
    Split(pRoot);
    bRebuild = false;
    ++Generation;
}

// The candidate that divides the others most evenly (smaller side over larger side) wins, the
// first on ties; each child takes what reaches below or above its value.
void VolumeTree::Split(TreeNode* node)
{
    if (node->CandidateCount == 0) {
        ThinLeaf(node);
        return;
    }
    DWORD best = 0;
    float bestBalance = -1.0f;
    for (DWORD i = 0; i < node->CandidateCount; ++i) {
        const DWORD axis = node->pCandidates[i]->Axis;
        const float v = Coord(node->pCandidates[i]->Min, axis);
        DWORD below = 0, above = 0;
        for (DWORD j = 0; j < node->CandidateCount; ++j) {
            below += Coord(node->pCandidates[j]->Min, axis) < v;
            above += Coord(node->pCandidates[j]->Max, axis) > v;
        }
        const DWORD small = below < above ? below : above, large = below < above ? above : below;
        const float balance = large ? float(small) / float(large) : 0.0f;
        if (balance > bestBalance) {
            bestBalance = balance;
            best = i;
        }
    }
    SplitCandidate* winner = node->pCandidates[best];
    node->Axis = winner->Axis;
    node->SplitValue = Coord(winner->Min, winner->Axis);
    TreeNode* children[2] = {NewNode(), NewNode()};
    node->pLower = children[0];
    node->pUpper = children[1];
    for (int side = 0; side < 2; ++side) {
        TreeNode* child = children[side];
        child->pVolumes = new TreeVolume*[node->VolumeCount ? node->VolumeCount : 1];
        child->pCandidates = new SplitCandidate*[node->CandidateCount];
        for (DWORD i = 0; i < node->VolumeCount; ++i) {
            TreeVolume* volume = node->pVolumes[i];
            if (side == 0 ? Coord(volume->Min, node->Axis) < node->SplitValue
                          : Coord(volume->Max, node->Axis) > node->SplitValue)
                child->pVolumes[child->VolumeCount++] = volume;
        }
        for (DWORD i = 0; i < node->CandidateCount; ++i) {
            SplitCandidate* c = node->pCandidates[i];
            if (c != winner && (side == 0 ? Coord(c->Min, node->Axis) < node->SplitValue
                                          : Coord(c->Max, node->Axis) > node->SplitValue))
                child->pCandidates[child->CandidateCount++] = c;
        }
    }
    Split(children[0]);
    Split(children[1]);
}

// Walking the leaf's volumes in order, one of a class that outranks a kept volume of that
// class takes the first such volume's place; any other is appended. So each class's first
// entry is its highest priority.
void VolumeTree::ThinLeaf(TreeNode* node)
{
    DWORD kept = 0;
    for (DWORD i = 0; i < node->VolumeCount; ++i) {
        TreeVolume* volume = node->pVolumes[i];
        bool placed = false;
        if (volume->ClassId != 0) {
            for (DWORD k = 0; k < kept && !placed; ++k) {
                if (node->pVolumes[k]->ClassId == volume->ClassId && volume->Priority > node->pVolumes[k]->Priority) {
                    node->pVolumes[k] = volume;
                    placed = true;
                }
            }
        }
        if (!placed)
            node->pVolumes[kept++] = volume;
    }
    node->VolumeCount = kept;
}

void VolumeTree::ExaminePosition(VolumePos& cursor, const CVector& point)
{
    if (bRebuild)
        RebuildTree();
    TreeNode* node = pRoot;
    while (node && node->pLower) {
        node = Coord(point, node->Axis) >= node->SplitValue ? node->pUpper : node->pLower;
    }
    cursor.Generation = Generation;
    cursor.pTree = this;
    cursor.Index = 0;
    cursor.pLeaf = node;
}

VolumeId VolumePos::GetNext()
{
    if (!pTree || !pLeaf || pTree->GetGeneration() != Generation) {
        pLeaf = nullptr;
        return nullptr;
    }
    if (Index >= pLeaf->VolumeCount)
        return nullptr;
    return pLeaf->pVolumes[Index++];
}
