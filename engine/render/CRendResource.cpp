#include "engine/render/CRendResource.h"

#include <initializer_list>

#include "engine/zel/CZelFixupManager.h"
#include "engine/render/CRendDynamicSkeleton.h"
#include "engine/render/CRender.h"
#include "engine/include/RhuTypes.h"

// The converter lays these records out from the shared record header.
static_assert(sizeof(CRendResource) == sizeof(rhu::CRendResource), "CRendResource differs from the record header");

ZEL_REGISTER_RECORD(CRendResource);

namespace {

// The resource that shows nothing, published under "RendNull" for data to name.
CRendResource RendNull;

struct RendNullPublisher {
    RendNullPublisher()
    {
        unsigned long key = CCRC32::GetCRC("RendNull");
        CZelFixupManager::SetAddress(key, &RendNull);
        CZelFixupManager::SetLabel(key, "RendNull");
    }
} PublishRendNull;

// Detaching runs resource code that may destroy further resources; those find the lists
// being cleared already.
bool bClearing = false;

} // namespace

// No render may keep showing a resource whose memory goes with its file.
CRendResource::~CRendResource()
{
    if (bClearing)
        return;
    bClearing = true;
    for (CRender* head : {&CRender::FirstAnimatedRender, &CRender::FirstRender}) {
        CRender* render = head->pListNext;
        while (render) {
            CRender* next = render->pListNext;
            if (render->GetResource() == this)
                render->Attach(nullptr, 0);
            render = next;
        }
    }
    bClearing = false;
}

CRendWorkspace* CRendResource::OnAttach(CRender*) { return nullptr; }
void CRendResource::OnUnLink(CRender*) {}
void CRendResource::FlushFrameCache() {}
void CRendResource::Render(CRender*) {}
void CRendResource::GetBoundingBox(RECT& box, int) { box = RECT{0, 0, 0, 0}; }
void CRendResource::GetScreenBoundingBox(CMatrix&, RECT& box) { box = RECT{0, 0, 0, 0}; }
const CVector* CRendResource::GetCentroid(int) { return &NullVector; }
const CVector* CRendResource::GetCenter(int) { return &NullVector; }
int CRendResource::GetSize(CVector&, CVector&) { return 0; }
float CRendResource::GetMaxRadius() { return 0.0f; }
float CRendResource::GetMaxRadiusXY() { return 0.0f; }
CCollisionData* CRendResource::GetCollisionData() { return nullptr; }
void CRendResource::SetPalette(int) {}
CRendResource* CRendResource::GetResource(CRender*) { return this; }
CRender* CRendResource::GetRootRender(CRender* render) { return render; }
void CRendResource::ApplyAnimation(const CVector&, const CVector*, CRendStaticSkeleton*) {}

int CRendResource::GetAnimationData(CVector&, CVector*, unsigned long&, int& channels, CRendStaticSkeleton*&)
{
    channels = 0;
    return 0;
}
void CRendResource::SetIndex(CRender*, int) {}
void CRendResource::ResetAnimation() {}
CVector* CRendResource::Attach(CRender* render, CRender* child, CCRC32 point, int keepWorld)
{
    CRendDynamicSkeleton* skeleton = GetSkeleton(render);
    return skeleton ? skeleton->Attach(render, child, point, keepWorld) : nullptr;
}

CVector* CRendResource::Attach(CRender* render, CRender* child, unsigned long point, int keepWorld)
{
    CRendDynamicSkeleton* skeleton = GetSkeleton(render);
    return skeleton ? skeleton->Attach(render, child, point, keepWorld) : nullptr;
}
int CRendResource::GetAttachPointCount() { return 0; }
unsigned long CRendResource::GetAttachPointCRC(int) { return 0; }

const CVector& CRendResource::GetAttachPoint(CRender*, CCRC32, int& found, CMatrix*)
{
    found = 0;
    return NullVector;
}

const CVector& CRendResource::GetAttachPoint(CRender*, int, int& found, CMatrix*)
{
    found = 0;
    return NullVector;
}

int CRendResource::ReturnAttachPoints(CAttachPoint*) { return 0; }
int CRendResource::GetNodeCount() { return 0; }
void CRendResource::GetNodePos(int, CVector& out) { out = NullVector; }
CRendDynamicSkeleton* CRendResource::GetSkeleton(CRender* render)
{
    return render ? CRendDynamicSkeleton::Wrap(this, render) : nullptr;
}
SpriteBatch* CRendResource::GetSpriteData() { return nullptr; }
