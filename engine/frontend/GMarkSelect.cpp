#include "engine/frontend/GMarkSelect.h"

#include <new>

#include "engine/frontend/GmvPointer.h"
#include "engine/include/RhuTypes.h"
#include "engine/object/CGameTimer.h"
#include "engine/world/GFOWManager.h"
#include "engine/world/GmvCamera.h"
#include "engine/world/GmvWorld.h"
#include "engine/zel/CZelFile.h"

IMPLEMENT_GOBJECT(GMarkSelect, 0x04008000)

namespace {

const short kOverlayViewport = 7;
// Render flag the mark's instance carries, like the other markers placed by game objects.
const unsigned long kMarkRenderFlag = 8;

// A table from packed data is read only as far as its bytes go.
const rhu::CAnimTable* Table(const void* table)
{
    const rhu::CAnimTable* t = static_cast<const rhu::CAnimTable*>(table);
    if (!t)
        return nullptr;
    if (CZelFile::IsLoadedData(t, 4) && !CZelFile::IsLoadedData(t->Data, 4UL * t->Count))
        return nullptr;
    return t;
}

} // namespace

GMarkSelect::GMarkSelect()
{
    if (EditableEvaluation != 0)
        return;
    bStale = pAttachedTo != nullptr;
    if (pResource)
        pResources[BAND_NEAR] = pResource;
    new (&MarkRender) CRender();
    MarkRender.Attach(&MarkPos, nullptr, nullptr, nullptr);
    MarkRender.SetSortModifier(static_cast<short>(SortModifier));
    MarkRender.SetViewport(kOverlayViewport);
    MarkRender.SetParent(this);
    MarkRender.Attach(static_cast<GEffect*>(this));
    MarkRender.SetFlags(kMarkRenderFlag, kMarkRenderFlag);
    if (!bStale)
        MarkRender.Link();
}

GMarkSelect::~GMarkSelect()
{
    if (EditableEvaluation != 0)
        return;
    if (pPointer)
        pPointer->RemoveFromList(this);
    // The instance's own chain holds this mark: take it off before the instance goes.
    MarkRender.Detach(this);
    MarkRender.~CRender();
}

int GMarkSelect::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "MidDistance", "float", MidDistance);
    AddEditable(cursor, "FarDistance", "float", FarDistance);
    AddEditable(cursor, "AnimPercent", "float", AnimPercent);
    AddEditable(cursor, "TableIndex", "int", TableIndex);
    AddEditable(cursor, "SortModifier", "int", SortModifier);
    AddEditable(cursor, "FOWMode", "float", FOWMode);
    AddEditable(cursor, "pResource", "CRendResource *", pResource);
    AddEditable(cursor, "pResources", "CRendResource *", pResources);
    AddEditable(cursor, "pAnimTables", "CAnimTable *", pAnimTables);
    AddEditable(cursor, "pAttachedTo", "GPosRot *", pAttachedTo);
    return count + 10;
}

void GMarkSelect::Attach(GPosRot* object, GmvPointer* pointer)
{
    pAttachedTo = object;
    pPointer = pointer;
    SetParent(object);
}

bool GMarkSelect::Process()
{
    if (bStale) {
        Destroy();
        return false;
    }
    if (!pAttachedTo)
        pAttachedTo = GPosRot::FromObject(GetParent());
    return GEffect::Process();
}

bool GMarkSelect::HiddenByFog()
{
    GFOWManager* fow = GFOWManager::pThe;
    if (!fow || FOWMode <= 0.0f)
        return false;
    CVector at = pAttachedTo->GetPos();
    const float seen = fow->ReadFOW(at);
    return seen < 0.0f || (FOWMode > 1.0f && seen < CGameTimer::GameTime());
}

int GMarkSelect::Band()
{
    if (!GmvCamera::pThe)
        return BAND_NEAR;
    CVector to = pAttachedTo->GetPos() - GmvCamera::pThe->GetPos();
    if (to.x == 0.0f && to.y == 0.0f && to.z == 0.0f)
        to.x = 0.0001f;
    const float d = to.GetLength();
    if (FarDistance > 0.0f && d >= FarDistance)
        return BAND_FAR;
    if (MidDistance > 0.0f && d >= MidDistance)
        return BAND_MIDDLE;
    return BAND_NEAR;
}

// The band's resource, or the frame AnimPercent picks from the band's animation table: its entry
// TableIndex, when that entry holds resources, lists the frames.
CRendResource* GMarkSelect::Choose(int band)
{
    const rhu::CAnimTable* table = Table(pAnimTables[band]);
    if (!table || TableIndex < 0 || TableIndex >= table->Count)
        return pResources[band];
    const rhu::CAnimTable* frames = Table(table->Data[TableIndex]);
    if (!frames || !frames->HasResources || frames->Count == 0)
        return pResources[band];
    const int n = frames->Count;
    int frame = static_cast<int>(float(n) * AnimPercent);
    frame = frame < 0 ? 0 : frame > n - 1 ? n - 1 : frame;
    return static_cast<CRendResource*>(frames->Data[frame]);
}

bool GMarkSelect::Render()
{
    if (!pAttachedTo)
        return true;
    CRendResource* wanted = HiddenByFog() ? nullptr : Choose(Band());
    if (wanted != pInUse) {
        pInUse = wanted;
        MarkRender.Attach(pInUse, 0);
    }
    CVector ground = pAttachedTo->GetPos();
    if (GmvWorld::pThe)
        ground.z = GmvWorld::GetHeight(static_cast<short>(GmvWorld::pThe->Viewport), ground);
    MarkPos = ground;
    return pInUse == nullptr;
}
