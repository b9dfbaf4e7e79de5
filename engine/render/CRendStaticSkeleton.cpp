#include "engine/render/CRendStaticSkeleton.h"

#include <windows.h>

#include <cstdio>

#include "engine/include/RhuTypes.h"
#include "engine/render/CAnimation.h"
#include "engine/render/CRendDynamicSkeleton.h"
#include "engine/render/CRender.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

ZEL_REGISTER_RECORD(CRendStaticSkeleton);

static_assert(sizeof(CRendStaticSkeleton) == sizeof(rhu::CRendStaticSkeleton), "CRendStaticSkeleton differs");
static_assert(sizeof(StaticNode) == sizeof(rhu::StaticNode) && sizeof(CAttachPoint) == sizeof(rhu::CAttachPoint),
              "skeleton nodes differ from the record header");

namespace {

bool ArrayFits(const void* p, unsigned long count, unsigned long size)
{
    return p && count <= CZelFile::BytesAvailable(p) / size;
}

// Why the stored skeleton cannot be shown, or null when it can.
const char* Fault(const CRendStaticSkeleton& s)
{
    if (s.NoNodes == 0)
        return "it has no nodes";
    if (!ArrayFits(s.Nodes, s.NoNodes, sizeof(StaticNode)) || s.NoNodes > 0x10000)
        return "its nodes run past the packed data";
    unsigned long points = 0;
    static unsigned char parents[0x10000];
    for (unsigned long n = 0; n < s.NoNodes; ++n)
        parents[n] = 0;
    for (unsigned long n = 0; n < s.NoNodes; ++n) {
        const StaticNode& node = s.Nodes[n];
        if (node.NoAttachPoints == 0)
            continue;
        if (node.NoAttachPoints > 0x10000 || !ArrayFits(node.pAttachPoints, node.NoAttachPoints, sizeof(CAttachPoint)))
            return "a node's attach points run past the packed data";
        if (!ArrayFits(node.pChildren, node.NoAttachPoints, sizeof(StaticNode*)))
            return "a node's child links run past the packed data";
        points += node.NoAttachPoints;
        for (unsigned long c = 0; c < node.NoAttachPoints; ++c) {
            if (!node.pChildren[c])
                continue;
            const int child = s.NodeIndex(node.pChildren[c]);
            if (child <= 0)
                return "a child link points outside its nodes";
            if (parents[child]++)
                return "a node hangs in two places";
        }
    }
    if (points > 0x10000)
        return "too many attach points";
    return nullptr;
}

} // namespace

CRendStaticSkeleton::CRendStaticSkeleton()
{
    if (!CZelFile::IsLoadedData(this, sizeof *this))
        return;
    const char* fault = Fault(*this);
    if (!fault)
        return;
    Refuse(fault);
}

// Refused for good: the render instance still asks a skeleton it could not show for its
// collision data and resource, which would follow the same pointers.
void CRendStaticSkeleton::Refuse(const char* fault)
{
    const char* label = CZelFixupManager::GetLabel(this);
    const char* file = CZelFile::NameOf(this);
    char text[320];
    std::snprintf(text, sizeof text, "Skeleton \"%s\" in %s: %s; it shows nothing\n", label ? label : "(unnamed)",
                  file ? file : "(no file)", fault);
    OutputDebugStringA(text);
    NoNodes = 0;
    NoAttachPoints = 0;
}

int CRendStaticSkeleton::NodeIndex(const StaticNode* node) const
{
    const char* at = reinterpret_cast<const char*>(node);
    const char* first = reinterpret_cast<const char*>(Nodes);
    if (at < first || (unsigned long)(at - first) % sizeof(StaticNode) != 0)
        return -1;
    const unsigned long index = (unsigned long)(at - first) / sizeof(StaticNode);
    return index < NoNodes ? int(index) : -1;
}

// The nodes' resources and the animation are records the skeleton calls into once shown: each
// must be built by then, and of its class, whatever damage made of the pointers. A skeleton the
// engine made at run time was given its pointers by the engine.
const char* CRendStaticSkeleton::UnsoundRecord() const
{
    if (!CZelFile::IsLoadedData(this, sizeof *this))
        return nullptr;
    for (unsigned long n = 0; n < NoNodes; ++n)
        if (!CZelFile::IsSoundStoredPointer(Nodes[n].pResource))
            return "a node's resource is not a render resource record";
    if (!CZelFile::IsSoundStoredPointer(pAnimation))
        return "its animation is not an animation record";
    return nullptr;
}

CRendWorkspace* CRendStaticSkeleton::OnAttach(CRender* render)
{
    if (NoNodes == 0)
        return nullptr;
    if (const char* fault = UnsoundRecord()) {
        Refuse(fault);
        return nullptr;
    }
    return CRendDynamicSkeleton::Build(this, render);
}

const CVector* CRendStaticSkeleton::GetCentroid(int) { return &Centroid; }
const CVector* CRendStaticSkeleton::GetCenter(int) { return &Center; }

int CRendStaticSkeleton::GetSize(CVector& min, CVector& max)
{
    min = MinSize;
    max = MaxSize;
    return 1;
}

float CRendStaticSkeleton::GetMaxRadius() { return MaxRadius; }
float CRendStaticSkeleton::GetMaxRadiusXY() { return MaxRadiusXY; }

CCollisionData* CRendStaticSkeleton::GetCollisionData()
{
    return NoNodes && Nodes[0].pResource ? Nodes[0].pResource->GetCollisionData() : nullptr;
}

CRendResource* CRendStaticSkeleton::GetResource(CRender*) { return NoNodes ? Nodes[0].pResource : nullptr; }

int CRendStaticSkeleton::GetAttachPointCount() { return int(NoAttachPoints); }
