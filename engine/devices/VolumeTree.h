#pragma once
// A k-d tree over boxes whose sides may be open. Only a box's limited sides become cell
// boundaries; a box is found at every point of the leaf cells it overlaps, so an open side
// reaches to the edge of the cell around it. The tree is rebuilt lazily after any change, and
// each leaf keeps, per class, its highest-priority box first. Records come from pools of 32:
// one block inside the tree, more blocks from the heap as needed.
#include <windows.h>

#include "core/math/CVector.h"

class VolumeTree;

const DWORD VOLUME_LIMIT_MIN_Y = 1;
const DWORD VOLUME_LIMIT_MAX_Y = 2;
const DWORD VOLUME_LIMIT_MAX_X = 4;
const DWORD VOLUME_LIMIT_MIN_X = 8;
const DWORD VOLUME_LIMIT_MAX_Z = 16;
const DWORD VOLUME_LIMIT_MIN_Z = 32;
const DWORD VOLUME_CLEARED_BITS = 0x3000; // bits 12 and 13 are the tree's own

struct TreeVolume {
    CVector Min;
    CVector Max;
    DWORD Flags;
    DWORD ClassId;
    DWORD Priority;
    void* pUserData;
    VolumeTree* pTree;
};
static_assert(sizeof(TreeVolume) == 44, "volume record");

// One face of a volume on a limited side: flat on its axis, spanning the volume on the others.
struct SplitCandidate {
    DWORD Axis;
    CVector Min;
    CVector Max;
};
static_assert(sizeof(SplitCandidate) == 28, "split candidate record");

struct TreeNode {
    TreeVolume** pVolumes;
    DWORD VolumeCount;
    SplitCandidate** pCandidates;
    DWORD CandidateCount;
    float SplitValue;
    DWORD Axis;
    TreeNode* pLower;
    TreeNode* pUpper;
    VolumeTree* pTree;
};
static_assert(sizeof(TreeNode) == 36, "tree node record");

typedef TreeVolume* VolumeId;

// A cursor over the volumes of the leaf that holds a point; a rebuild empties it.
class VolumePos {
public:
    VolumeId GetNext();

    DWORD Generation = 0;
    VolumeTree* pTree = nullptr;
    DWORD Index = 0;
    TreeNode* pLeaf = nullptr;
};

// Fixed blocks of 32 records with a mask of free slots; the first block lives in the owner.
template <class T> class RecordPool {
public:
    RecordPool() = default;
    ~RecordPool();
    RecordPool(const RecordPool&) = delete;
    RecordPool& operator=(const RecordPool&) = delete;

    T* Alloc();
    void Free(T* record);
    bool Owns(const T* record) const;
    // Every record in use, in pool order.
    template <class F> void ForEach(F visit)
    {
        for (Block* block = &First; block; block = block->pNext)
            for (int i = 0; i < 32; ++i)
                if (!(block->FreeMask & (1u << i)))
                    visit(&block->Records[i]);
    }

private:
    struct Block {
        DWORD FreeMask = 0xFFFFFFFF;
        T Records[32];
        Block* pNext = nullptr;
    };
    Block First;
};

class VolumeTree {
public:
    VolumeTree() = default;
    ~VolumeTree();
    VolumeTree(const VolumeTree&) = delete;
    VolumeTree& operator=(const VolumeTree&) = delete;

    VolumeId AddVolume(DWORD flags, DWORD classId, DWORD priority, const CVector& min, const CVector& max,
                       void* userData);
    void RemoveVolume(VolumeId id);
    void ChangeVolume(VolumeId id, DWORD flags, DWORD classId, DWORD priority, const CVector& min, const CVector& max,
                      void* userData);
    void* DescribeVolume(VolumeId id, DWORD& flags, DWORD& classId, DWORD& priority, CVector& min, CVector& max);
    void ExaminePosition(VolumePos& cursor, const CVector& point);
    void RebuildTree();

    DWORD GetGeneration() const { return Generation; }
    DWORD GetVolumeCount() const { return VolumeCount; }

private:
    void FreeTree(TreeNode* node);
    void Split(TreeNode* node);
    void ThinLeaf(TreeNode* node);
    TreeNode* NewNode();

    RecordPool<TreeVolume> Volumes;
    RecordPool<TreeNode> Nodes;
    RecordPool<SplitCandidate> Candidates;
    bool bRebuild = true;
    DWORD Generation = 1;
    DWORD VolumeCount = 0;
    TreeNode* pRoot = nullptr;
};
