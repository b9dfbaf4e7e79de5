#include "engine/render/CRendDynamicSkeleton.h"

#include <cstring>
#include <new>

#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/render/CAnimation.h"
#include "engine/render/CAnimator.h"
#include "engine/render/CMeshWorkspace.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/world/CCollisionData.h"

namespace {

const CVector Zero(0.0f, 0.0f, 0.0f);

CVector Add(const CVector& a, const CVector& b) { return CVector(a.x + b.x, a.y + b.y, a.z + b.z); }

// p x m for a row vector with w = 1.
CVector Transform(const CVector& p, const CMatrix& m)
{
    return CVector(p.x * m.m0 + p.y * m.m4 + p.z * m.m8 + m.m12, p.x * m.m1 + p.y * m.m5 + p.z * m.m9 + m.m13,
                   p.x * m.m2 + p.y * m.m6 + p.z * m.m10 + m.m14);
}

CMatrix Euler(const CVector& position, const CVector& angles)
{
    CMatrix m;
    m.SetEuler_XYZS(position, angles);
    return m;
}

// Visits the nodes below root depth first, parents before children, children in attach-point
// order: visit(parent, slot, child). Skeletons hung on the tree are walked too when intoHung.
// Trees deeper than the stack are cut there.
template <class Visit> void WalkTree(DynamicNode& root, bool intoHung, Visit visit)
{
    struct Frame {
        DynamicNode* node;
        unsigned long next;
    };
    Frame stack[CRendDynamicSkeleton::kMaxDepth];
    int depth = 0;
    stack[depth++] = Frame{&root, 0};
    while (depth > 0) {
        Frame& frame = stack[depth - 1];
        if (frame.next >= frame.node->NoAttachPoints) {
            --depth;
            continue;
        }
        const unsigned long slot = frame.next++;
        DynamicNode* child = frame.node->pChildren[slot];
        if (!child || (!intoHung && child->pOwner))
            continue;
        visit(*frame.node, slot, *child);
        if (depth < CRendDynamicSkeleton::kMaxDepth)
            stack[depth++] = Frame{child, 0};
    }
}

// The same walk over a stored tree with the dynamic tree in step (dynamic nodes may be
// missing): visit(static child, dynamic child or null).
template <class Visit> void WalkInStep(const StaticNode& staticRoot, DynamicNode* dynamicRoot, Visit visit)
{
    struct Frame {
        const StaticNode* s;
        DynamicNode* d;
        unsigned long next;
    };
    Frame stack[CRendDynamicSkeleton::kMaxDepth];
    int depth = 0;
    stack[depth++] = Frame{&staticRoot, dynamicRoot, 0};
    while (depth > 0) {
        Frame& frame = stack[depth - 1];
        if (frame.next >= frame.s->NoAttachPoints) {
            --depth;
            continue;
        }
        const unsigned long slot = frame.next++;
        const StaticNode* child = frame.s->pChildren[slot];
        if (!child)
            continue;
        DynamicNode* d = frame.d && slot < frame.d->NoAttachPoints ? frame.d->pChildren[slot] : nullptr;
        if (!visit(*child, d))
            return;
        if (depth < CRendDynamicSkeleton::kMaxDepth)
            stack[depth++] = Frame{child, d, 0};
    }
}

void InitNode(DynamicNode& node, CRendResource* resource, unsigned long points, CAttachPoint* attachPoints,
              DynamicNode** children, CRender* render)
{
    node.pResource = resource;
    node.NoAttachPoints = points;
    node.pAttachPoints = attachPoints;
    node.pChildren = children;
    for (unsigned long i = 0; i < points; ++i)
        children[i] = nullptr;
    node.Matrix.SetIdentity();
    node.pOwner = nullptr;
    node.pRender = render;
    node.pAttachOffset = &NullVector;
    node.Rotation = Zero;
}

// The drawn nodes of one evaluation, in visiting order.
struct DrawList {
    DynamicNode* Nodes[CRendDynamicSkeleton::kMaxDrawnNodes];
    int Count = 0;
    void Add(DynamicNode& node)
    {
        if (node.pResource && Count < CRendDynamicSkeleton::kMaxDrawnNodes)
            Nodes[Count++] = &node;
    }
};

DrawList* pCollect = nullptr;

} // namespace

// ---- building and destroying ----

CRendDynamicSkeleton* CRendDynamicSkeleton::Allocate(unsigned long nodes, unsigned long points,
                                                     unsigned long extraBytes)
{
    const unsigned long bytes = 92 + 4 * (points + 28 * nodes) + extraBytes;
    void* block = zmalloc(bytes);
    if (!block)
        return nullptr;
    std::memset(block, 0, bytes);
    CRendDynamicSkeleton* skeleton = new (block) CRendDynamicSkeleton;
    skeleton->NodeCount = nodes;
    skeleton->EvaluatedFrame = CRenderer::FrameNumber - 1;
    skeleton->RootPosition = Zero;
    return skeleton;
}

void CRendDynamicSkeleton::Destroy(CRendDynamicSkeleton* skeleton)
{
    if (!skeleton)
        return;
    skeleton->~CRendDynamicSkeleton();
    zfree(skeleton);
}

CRendWorkspace* CRendDynamicSkeleton::Build(CRendStaticSkeleton* stored, CRender* render)
{
    const unsigned long count = stored->NoNodes;
    unsigned long points = 0;
    for (unsigned long n = 0; n < count; ++n)
        points += stored->Nodes[n].NoAttachPoints;
    CRendDynamicSkeleton* skeleton = Allocate(count, points, 0);
    if (!skeleton)
        return nullptr;
    skeleton->Centroid = stored->Centroid;
    skeleton->Center = stored->Center;
    skeleton->MaxSize = stored->MaxSize;
    skeleton->MinSize = stored->MinSize;
    skeleton->MaxRadius = stored->MaxRadius;
    skeleton->MaxRadiusXY = stored->MaxRadiusXY;
    skeleton->pRender = render;
    skeleton->pStatic = stored;
    DynamicNode** children = reinterpret_cast<DynamicNode**>(skeleton->Nodes + count);
    for (unsigned long n = 0; n < count; ++n) {
        const StaticNode& s = stored->Nodes[n];
        InitNode(skeleton->Nodes[n], s.pResource, s.NoAttachPoints, s.pAttachPoints, children, render);
        children += s.NoAttachPoints;
    }
    skeleton->Nodes[0].pOwner = skeleton;
    skeleton->RecomputeBounds();
    for (unsigned long n = 0; n < count; ++n) {
        const StaticNode& s = stored->Nodes[n];
        DynamicNode& d = skeleton->Nodes[n];
        for (unsigned long slot = 0; slot < s.NoAttachPoints; ++slot) {
            const int child = s.pChildren[slot] ? stored->NodeIndex(s.pChildren[slot]) : -1;
            if (child <= 0)
                continue;
            d.pChildren[slot] = &skeleton->Nodes[child];
            skeleton->Nodes[child].pAttachOffset = &d.pAttachPoints[slot];
        }
    }
    render->SetResource(skeleton);
    if (stored->pAnimation)
        render->Attach(stored->pAnimation, nullptr, 1.0f, 0);
    return new CSkeletonWorkspace(render);
}

CRendDynamicSkeleton* CRendDynamicSkeleton::Wrap(CRendResource* resource, CRender* render)
{
    CRendDynamicSkeleton* skeleton = Allocate(1, kWrappedPoints, kWrappedPoints * sizeof(CAttachPoint));
    if (!skeleton)
        return nullptr;
    DynamicNode** children = reinterpret_cast<DynamicNode**>(skeleton->Nodes + 1);
    CAttachPoint* points = reinterpret_cast<CAttachPoint*>(children + kWrappedPoints);
    // The resource writes all its points; only the first ten are kept.
    const int own = resource->GetAttachPointCount();
    if (own > kWrappedPoints) {
        CAttachPoint* all = static_cast<CAttachPoint*>(zmalloc(own * sizeof(CAttachPoint)));
        if (all) {
            resource->ReturnAttachPoints(all);
            std::memcpy(static_cast<void*>(points), all, kWrappedPoints * sizeof(CAttachPoint));
            zfree(all);
        }
    } else {
        resource->ReturnAttachPoints(points);
    }
    InitNode(skeleton->Nodes[0], resource, kWrappedPoints, points, children, render);
    skeleton->Nodes[0].pOwner = skeleton;
    skeleton->pRender = render;
    skeleton->pStatic = nullptr;
    const CVector* centroid = resource->GetCentroid(0);
    skeleton->Centroid = centroid ? *centroid : Zero;
    skeleton->MaxRadiusXY = resource->GetMaxRadiusXY();
    skeleton->RecomputeBounds();
    if (!render->GetRot())
        render->SetRot(const_cast<CVector*>(&NullVector));
    render->Attach(skeleton, 0);
    return skeleton;
}

// Bounds from the node resources that exist: the box always holds the origin.
void CRendDynamicSkeleton::RecomputeBounds()
{
    CVector centre = Zero, lo = Zero, hi = Zero;
    int withResource = 0;
    float radius = 0.0f;
    for (unsigned long n = 0; n < NodeCount; ++n) {
        CRendResource* resource = Nodes[n].pResource;
        if (!resource)
            continue;
        ++withResource;
        if (const CVector* c = resource->GetCenter(0))
            centre = Add(centre, *c);
        CVector mn, mx;
        if (resource->GetSize(mn, mx)) {
            lo = CVector(mn.x < lo.x ? mn.x : lo.x, mn.y < lo.y ? mn.y : lo.y, mn.z < lo.z ? mn.z : lo.z);
            hi = CVector(mx.x > hi.x ? mx.x : hi.x, mx.y > hi.y ? mx.y : hi.y, mx.z > hi.z ? mx.z : hi.z);
        }
        const float r = resource->GetMaxRadius();
        if (r > radius)
            radius = r;
    }
    // Without any resource the stored centre stays: there is nothing to average.
    if (withResource > 0)
        Center = CVector(centre.x / withResource, centre.y / withResource, centre.z / withResource);
    MinSize = lo;
    MaxSize = hi;
    MaxRadius = radius;
}

CRendDynamicSkeleton::~CRendDynamicSkeleton() { Unhook(); }

// Nothing may keep pointing at a skeleton that goes: the skeletons hanging on it come loose,
// and it comes off the skeleton it hangs on.
void CRendDynamicSkeleton::Unhook()
{
    for (unsigned long n = 0; n < NodeCount; ++n)
        for (unsigned long slot = 0; slot < Nodes[n].NoAttachPoints; ++slot) {
            DynamicNode* child = Nodes[n].pChildren[slot];
            if (child && child->pOwner && child->pOwner != this) {
                child->pOwner->pParent = nullptr;
                child->pAttachOffset = &NullVector;
                Nodes[n].pChildren[slot] = nullptr;
            }
        }
    if (pParent) {
        for (unsigned long n = 0; n < pParent->NodeCount; ++n)
            for (unsigned long slot = 0; slot < pParent->Nodes[n].NoAttachPoints; ++slot)
                if (pParent->Nodes[n].pChildren[slot] == &Nodes[0])
                    pParent->Nodes[n].pChildren[slot] = nullptr;
        pParent = nullptr;
    }
}

CRendWorkspace* CRendDynamicSkeleton::OnAttach(CRender* render) { return new CSkeletonWorkspace(render); }

// ---- evaluation ----

CRendDynamicSkeleton* CRendDynamicSkeleton::Top()
{
    CRendDynamicSkeleton* top = this;
    for (int guard = 0; top->pParent && guard < kMaxDepth; ++guard)
        top = top->pParent;
    return top;
}

void CRendDynamicSkeleton::UpdatePose()
{
    CRendDynamicSkeleton* top = Top();
    CAnimator* animator = top->pRender ? top->pRender->GetAnimator() : nullptr;
    const bool cached = animator && animator->ApplyCachedPose(top->pRender);
    if (cached || top->EvaluatedFrame != CRenderer::FrameNumber)
        top->Evaluate();
}

void CRendDynamicSkeleton::Evaluate()
{
    const CVector* pos = pRender ? pRender->GetPos() : nullptr;
    const CVector* rot = pRender ? pRender->GetRot() : nullptr;
    const CMatrix placement = Euler(pos ? *pos : Zero, rot ? *rot : Zero);
    Nodes[0].Matrix.Multiply(Euler(RootPosition, Nodes[0].Rotation), placement);
    const unsigned long frame = CRenderer::FrameNumber;
    EvaluatedFrame = frame;
    if (pCollect)
        pCollect->Add(Nodes[0]);
    WalkTree(Nodes[0], true, [frame](DynamicNode& parent, unsigned long, DynamicNode& child) {
        CVector offset = *child.pAttachOffset;
        CMatrix parentMatrix = parent.Matrix;
        if (CRendDynamicSkeleton* hung = child.pOwner) {
            hung->EvaluatedFrame = frame;
            CRender* render = hung->pRender;
            if (render && render->GetRot()) {
                parentMatrix.Multiply(Euler(offset, *render->GetRot()), parent.Matrix);
                offset = Zero;
            }
            if (render && render->GetPos())
                offset = Add(offset, *render->GetPos());
            offset = Add(offset, hung->RootPosition);
        }
        child.Matrix.Multiply(Euler(offset, child.Rotation), parentMatrix);
        if (pCollect)
            pCollect->Add(child);
    });
}

void CRendDynamicSkeleton::FlushFrameCache() { EvaluatedFrame = CRenderer::FrameNumber - 1; }

// Culling and the screen box come with the mesh workspace; a skeleton draws every node it has.
void CRendDynamicSkeleton::Render(CRender* render)
{
    if (!render || !render->GetPos() || !render->GetRot())
        return;
    CSkeletonWorkspace* workspace = static_cast<CSkeletonWorkspace*>(render->GetWorkspace());
    if (!workspace)
        return;
    // The whole skeleton is culled as one mesh would be, before any node is posed.
    CMatrix world;
    world.SetEuler_XYZS(*render->GetPos(), *render->GetRot());
    if (!CMeshWorkspace::PlaceOnScreen(render, this, world)) {
        workspace->Hide();
        return;
    }
    static DrawList lists[4];
    static int nesting = 0;
    if (nesting >= 4)
        return;
    DrawList& list = lists[nesting++];
    list.Count = 0;
    DrawList* outer = pCollect;
    pCollect = &list;
    Evaluate();
    pCollect = outer;
    for (int i = 0; i < list.Count; ++i) {
        DynamicNode& node = *list.Nodes[i];
        node.pResource->SetPalette(render->Index());
        workspace->SetNode(&node.Matrix, node.pRender);
        node.pResource->Render(render);
    }
    --nesting;
}

// With collision data its bounds (already in the world) decide; else the skeleton's box
// under the render's matrix.
void CRendDynamicSkeleton::GetScreenBoundingBox(CMatrix& matrix, RECT& box)
{
    if (CCollisionData* collision = GetCollisionData()) {
        CVector min, max;
        collision->GetBounds(min, max, pRender);
        CMatrix identity;
        identity.SetIdentity();
        CMeshWorkspace::ScreenBox(identity, min, max, box);
        return;
    }
    CMeshWorkspace::ScreenBox(matrix, MinSize, MaxSize, box);
}

// ---- poses ----

void CRendDynamicSkeleton::ApplyAnimation(const CVector& position, const CVector* rotations,
                                          CRendStaticSkeleton* skeleton)
{
    if (!skeleton)
        skeleton = pStatic;
    RootPosition = position;
    Nodes[0].Rotation = rotations[0];
    if (!skeleton || skeleton->NoNodes == 0)
        return;
    int next = 1;
    WalkInStep(skeleton->Nodes[0], &Nodes[0], [&](const StaticNode&, DynamicNode* d) {
        if (next >= CHierarchyAnimation::kMaxChannels)
            return false;
        const CVector& rotation = rotations[next++];
        if (d)
            d->Rotation = rotation;
        return true;
    });
}

// Channel c is the c-th stored child met; a channel whose node is missing here stays clear
// in the mask and keeps its place in the rotations.
int CRendDynamicSkeleton::GetAnimationData(CVector& position, CVector* rotations, unsigned long& mask, int& channels,
                                           CRendStaticSkeleton*& skeleton)
{
    if (!skeleton)
        skeleton = pStatic;
    position = RootPosition;
    rotations[0] = Nodes[0].Rotation;
    mask = 1;
    int written = 1, channel = 1;
    if (skeleton && skeleton->NoNodes)
        WalkInStep(skeleton->Nodes[0], &Nodes[0], [&](const StaticNode&, DynamicNode* d) {
            if (channel >= CHierarchyAnimation::kMaxChannels)
                return false;
            rotations[channel] = d ? d->Rotation : Zero;
            if (d) {
                mask |= 1UL << channel;
                ++written;
            }
            ++channel;
            return true;
        });
    channels = channel;
    return written;
}

void CRendDynamicSkeleton::ResetAnimation()
{
    RootPosition = Zero;
    for (unsigned long n = 0; n < NodeCount; ++n)
        Nodes[n].Rotation = Zero;
}

// ---- attach points ----

bool CRendDynamicSkeleton::FindPoint(unsigned long key, DynamicNode*& node, unsigned long& slot)
{
    auto search = [&](DynamicNode& n) {
        for (unsigned long i = n.NoAttachPoints; i-- > 0;)
            if (n.pAttachPoints[i].Crc32 == key) {
                node = &n;
                slot = i;
                return true;
            }
        return false;
    };
    if (search(Nodes[0]))
        return true;
    bool found = false;
    WalkTree(Nodes[0], false, [&](DynamicNode&, unsigned long, DynamicNode& child) {
        if (!found)
            found = search(child);
    });
    return found;
}

const CVector& CRendDynamicSkeleton::GetAttachPoint(CRender*, int index, int& found, CMatrix* matrix)
{
    static CVector result;
    if (index >= int(Nodes[0].NoAttachPoints)) {
        found = 0;
        return NullVector;
    }
    UpdatePose();
    found = 1;
    const CMatrix& m = Nodes[0].Matrix;
    if (matrix)
        *matrix = m;
    if (index < 0) {
        result = CVector(m.m12, m.m13, m.m14);
        return result;
    }
    result = Transform(Nodes[0].pAttachPoints[index], m);
    if (matrix) {
        matrix->m12 = result.x;
        matrix->m13 = result.y;
        matrix->m14 = result.z;
    }
    return result;
}

const CVector& CRendDynamicSkeleton::GetAttachPoint(CRender*, CCRC32 point, int& found, CMatrix* matrix)
{
    static CVector result;
    UpdatePose();
    DynamicNode* node;
    unsigned long slot;
    if (!FindPoint((unsigned long)point, node, slot)) {
        found = 0;
        return NullVector;
    }
    found = 1;
    result = Transform(node->pAttachPoints[slot], node->Matrix);
    if (matrix) {
        *matrix = node->Matrix;
        matrix->m12 = result.x;
        matrix->m13 = result.y;
        matrix->m14 = result.z;
    }
    return result;
}

int CRendDynamicSkeleton::GetAttachPointCount()
{
    int count = 0;
    for (unsigned long n = 0; n < NodeCount; ++n)
        count += int(Nodes[n].NoAttachPoints);
    return count;
}

unsigned long CRendDynamicSkeleton::GetAttachPointCRC(int index)
{
    if (index < 0)
        return 0;
    for (unsigned long n = 0; n < NodeCount; ++n) {
        if ((unsigned long)index < Nodes[n].NoAttachPoints)
            return Nodes[n].pAttachPoints[index].Crc32;
        index -= int(Nodes[n].NoAttachPoints);
    }
    return 0;
}

CVector* CRendDynamicSkeleton::Attach(CRender*, CRender* child, unsigned long point, int keepWorld)
{
    if (point >= Nodes[0].NoAttachPoints)
        return nullptr;
    return Hang(Nodes[0], point, child, keepWorld);
}

CVector* CRendDynamicSkeleton::Attach(CRender*, CRender* child, CCRC32 point, int keepWorld)
{
    DynamicNode* node;
    unsigned long slot;
    if (!FindPoint((unsigned long)point, node, slot))
        vbail("CRendDynamicSkeleton::Attach called with CRC32 param but no matching attach point was found");
    return Hang(*node, slot, child, keepWorld);
}

// A skeleton's own nodes stay where they are: only hung renders come off or go on, and a
// render never hangs below itself.
CVector* CRendDynamicSkeleton::Hang(DynamicNode& node, unsigned long slot, CRender* child, int keepWorld)
{
    DynamicNode* present = node.pChildren[slot];
    if (present && !present->pOwner)
        return nullptr;
    DetachSlot(node, slot, keepWorld);
    if (!child || !child->GetResource())
        return nullptr;
    child->LinkAnimated();
    CRendDynamicSkeleton* hung = child->GetResource()->GetSkeleton(child);
    if (!hung)
        return nullptr;
    for (CRendDynamicSkeleton* s = this; s; s = s->pParent)
        if (s == hung)
            return nullptr;
    if (hung->pParent)
        hung->Unhook();
    node.pChildren[slot] = &hung->Nodes[0];
    hung->pParent = this;
    hung->Nodes[0].pAttachOffset = &node.pAttachPoints[slot];
    hung->RootPosition = Zero;
    return &hung->RootPosition;
}

void CRendDynamicSkeleton::DetachSlot(DynamicNode& node, unsigned long slot, int keepWorld)
{
    DynamicNode* child = node.pChildren[slot];
    if (!child || !child->pOwner)
        return;
    CRendDynamicSkeleton* hung = child->pOwner;
    CRender* render = hung->pRender;
    if (keepWorld && render) {
        UpdatePose();
        CVector position, rotation;
        child->Matrix.GetEuler(0, position, rotation);
        // The shared null vector stands in for a missing vector and is never written.
        if (render->GetPos() && render->GetPos() != &NullVector)
            *const_cast<CVector*>(render->GetPos()) = position;
        if (render->GetRot() && render->GetRot() != &NullVector)
            *render->GetRot() = rotation;
        child->Rotation = Zero;
        hung->RootPosition = Zero;
    }
    node.pChildren[slot] = nullptr;
    child->pAttachOffset = &NullVector;
    hung->pParent = nullptr;
    if (render)
        render->Unlink();
}

// ---- the rest ----

const CVector* CRendDynamicSkeleton::GetCentroid(int) { return &Centroid; }
const CVector* CRendDynamicSkeleton::GetCenter(int) { return &Center; }

int CRendDynamicSkeleton::GetSize(CVector& min, CVector& max)
{
    min = MinSize;
    max = MaxSize;
    return 1;
}

float CRendDynamicSkeleton::GetMaxRadius() { return MaxRadius; }
float CRendDynamicSkeleton::GetMaxRadiusXY() { return MaxRadiusXY; }

CCollisionData* CRendDynamicSkeleton::GetCollisionData()
{
    return Nodes[0].pResource ? Nodes[0].pResource->GetCollisionData() : nullptr;
}

void CRendDynamicSkeleton::SetPalette(int) {}
CRendResource* CRendDynamicSkeleton::GetResource(CRender*) { return Nodes[0].pResource; }

CRender* CRendDynamicSkeleton::GetRootRender(CRender*) { return Top()->pRender; }

int CRendDynamicSkeleton::GetNodeCount() { return int(NodeCount); }

void CRendDynamicSkeleton::GetNodePos(int node, CVector& out)
{
    if (node < 0 || (unsigned long)node >= NodeCount) {
        out = NullVector;
        return;
    }
    UpdatePose();
    const CMatrix& m = Nodes[node].Matrix;
    out = CVector(m.m12, m.m13, m.m14);
}

CRendDynamicSkeleton* CRendDynamicSkeleton::GetSkeleton(CRender*) { return this; }

// ---- workspace ----

CSkeletonWorkspace::~CSkeletonWorkspace()
{
    if (!pRender)
        return;
    CRendDynamicSkeleton* skeleton = static_cast<CRendDynamicSkeleton*>(pRender->GetResource());
    // Off the render first: destroying a resource detaches it from renders still showing it.
    pRender->SetResource(nullptr);
    CRendDynamicSkeleton::Destroy(skeleton);
}

int CSkeletonWorkspace::Prepare(CMatrix** matrixOut, CRender** renderOut)
{
    if (matrixOut)
        *matrixOut = pNodeMatrix;
    if (renderOut)
        *renderOut = pNodeRender;
    return Visible;
}

int CSkeletonWorkspace::GetMatrix(CMatrix** matrixOut)
{
    if (matrixOut)
        *matrixOut = pNodeMatrix;
    return Visible;
}

void CSkeletonWorkspace::SetRender(CRender* render)
{
    if (pRender && pRender->GetResource())
        static_cast<CRendDynamicSkeleton*>(pRender->GetResource())->SetOwnerRender(render);
    pRender = render;
}
