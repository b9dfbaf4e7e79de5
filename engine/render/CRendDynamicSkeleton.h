#pragma once
// The live skeleton of one render instance, built on the engine heap from a stored skeleton
// (or around a plain resource, as one node). It takes poses from the render's animator,
// evaluates its node matrices once per frame or when asked, draws each node's resource with
// its node's matrix, answers attach-point queries and lets other renders hang on its points.
#include "core/math/CMatrix.h"
#include "core/math/CVector.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRendStaticSkeleton.h"
#include "engine/render/CRendWorkspace.h"

class CRendDynamicSkeleton;

#pragma pack(push, 1)
struct DynamicNode {
    CRendResource* pResource;
    unsigned long NoAttachPoints;
    CAttachPoint* pAttachPoints;
    DynamicNode** pChildren;      // null where nothing hangs
    CMatrix Matrix;               // world matrix of the last evaluation
    CRendDynamicSkeleton* pOwner; // node 0 only: the skeleton it roots
    CRender* pRender;
    const CVector* pAttachOffset; // the parent's attach point it hangs at, or the null vector
    CVector Rotation;             // radians, from the animation
};

class CRendDynamicSkeleton : public CRendResource {
public:
    enum { kWrappedPoints = 10, kMaxDepth = 64, kMaxDrawnNodes = 1024 };

    // Builds the render's skeleton from a stored one, makes it the render's resource, starts
    // the default animation and returns the render's new workspace (null when the heap has no
    // room).
    static CRendWorkspace* Build(CRendStaticSkeleton* skeleton, CRender* render);
    // A one-node skeleton showing the resource becomes the render's resource.
    static CRendDynamicSkeleton* Wrap(CRendResource* resource, CRender* render);
    // Destroys the skeleton and gives its block back.
    static void Destroy(CRendDynamicSkeleton* skeleton);

    ~CRendDynamicSkeleton() override;
    CRendWorkspace* OnAttach(CRender* render) override;
    void FlushFrameCache() override;
    void Render(CRender* render) override;
    void GetScreenBoundingBox(CMatrix& matrix, RECT& box) override;
    const CVector* GetCentroid(int index) override;
    const CVector* GetCenter(int index) override;
    int GetSize(CVector& min, CVector& max) override;
    float GetMaxRadius() override;
    float GetMaxRadiusXY() override;
    CCollisionData* GetCollisionData() override;
    void SetPalette(int palette) override;
    CRendResource* GetResource(CRender* render) override;
    CRender* GetRootRender(CRender* render) override;
    void ApplyAnimation(const CVector& position, const CVector* rotations, CRendStaticSkeleton* skeleton) override;
    int GetAnimationData(CVector& position, CVector* rotations, unsigned long& mask, int& channels,
                         CRendStaticSkeleton*& skeleton) override;
    void ResetAnimation() override;
    CVector* Attach(CRender* render, CRender* child, CCRC32 point, int keepWorld) override;
    CVector* Attach(CRender* render, CRender* child, unsigned long point, int keepWorld) override;
    int GetAttachPointCount() override;
    unsigned long GetAttachPointCRC(int index) override;
    const CVector& GetAttachPoint(CRender* render, CCRC32 point, int& found, CMatrix* matrix) override;
    const CVector& GetAttachPoint(CRender* render, int index, int& found, CMatrix* matrix) override;
    int GetNodeCount() override;
    void GetNodePos(int node, CVector& out) override;
    CRendDynamicSkeleton* GetSkeleton(CRender* render) override;

    // Evaluates the top skeleton when the render's animator applied a cached pose or this
    // frame has not been evaluated yet.
    void UpdatePose();
    // Pose to matrices for this skeleton and everything hanging on it.
    void Evaluate();

    const DynamicNode& GetNode(int index) const { return Nodes[index]; }
    CRendDynamicSkeleton* GetParent() const { return pParent; }
    const CVector& GetRootPosition() const { return RootPosition; }
    CRender* GetOwnerRender() const { return pRender; }
    void SetOwnerRender(CRender* render) { pRender = render; }

    CVector Centroid;
    CVector Center;
    CVector MaxSize;
    CVector MinSize;
    float MaxRadius;
    float MaxRadiusXY;

private:
    CRendDynamicSkeleton() {}
    static CRendDynamicSkeleton* Allocate(unsigned long nodes, unsigned long points, unsigned long extraBytes);
    void RecomputeBounds();
    CRendDynamicSkeleton* Top();
    // The node and slot of the attach point with the key: node 0's points last to first,
    // then every other own node in tree order.
    bool FindPoint(unsigned long key, DynamicNode*& node, unsigned long& slot);
    CVector* Hang(DynamicNode& node, unsigned long slot, CRender* child, int keepWorld);
    void DetachSlot(DynamicNode& node, unsigned long slot, int keepWorld);
    void Unhook();

    CRender* pRender;
    CRendDynamicSkeleton* pParent;
    unsigned long EvaluatedFrame;
    CVector RootPosition;
    CRendStaticSkeleton* pStatic;
    unsigned long NodeCount;
    DynamicNode Nodes[0];
};
#pragma pack(pop)
static_assert(sizeof(DynamicNode) == 104, "dynamic skeleton node");
static_assert(sizeof(CRendDynamicSkeleton) == 92, "dynamic skeleton header");

// The per-render workspace of a skeleton: while the skeleton draws, the node being drawn with
// its matrix and render.
class CSkeletonWorkspace : public CRendWorkspace {
public:
    explicit CSkeletonWorkspace(CRender* render)
        : pRender(render), pNodeRender(nullptr), pNodeMatrix(nullptr), Visible(0)
    {
    }
    // Destroys the render's skeleton and leaves the render without a resource.
    ~CSkeletonWorkspace() override;
    int Prepare(CMatrix** matrixOut, CRender** renderOut) override;
    int GetMatrix(CMatrix** matrixOut) override;
    void SetRender(CRender* render);

    void SetNode(CMatrix* matrix, CRender* render)
    {
        pNodeMatrix = matrix;
        pNodeRender = render;
        Visible = 1;
    }
    // Off screen this pass: its nodes answer as not visible.
    void Hide() { Visible = 0; }

private:
    CRender* pRender;
    CRender* pNodeRender;
    CMatrix* pNodeMatrix;
    int Visible;
};
