#include "engine/world/CCollisionPlotter.h"

#include <math.h>

#include <new>

#include "core/heap/ZHeap.h"
#include "engine/object/GPhysical.h"

namespace {

// Objects up to this plotting radius are marked in one section.
const float SINGLE_PLOTTER_RADIUS = 1.0f;

GSectionMgr* LiveGrid()
{
    GSectionMgr* grid = GSectionMgr::pThe;
    return grid && grid->HasGrid() ? grid : nullptr;
}

} // namespace

CCollisionPlotter* CCollisionPlotter::Make(GPhysical* object)
{
    const float radius = object->GetPlottingRadius();
    if (radius <= 0.0f || (object->GetCollisionFlags() & 0x01) == 0)
        return nullptr;
    if (radius <= SINGLE_PLOTTER_RADIUS)
        return new CSinglePlotter(object->GetHandle());
    return new CMultiPlotter(object->GetHandle());
}

CSinglePlotter::CSinglePlotter(HGOBJECT handle)
{
    pEntry = static_cast<PlotEntry*>(zmalloc(sizeof(PlotEntry)));
    pEntry->pPrev = pEntry->pNext = nullptr;
    pEntry->hObject = handle;
    pEntry->Where = GSectionMgr::NOT_LINKED;
}

CSinglePlotter::~CSinglePlotter()
{
    UnPlot();
    zfree(pEntry);
}

void CSinglePlotter::Plot()
{
    GSectionMgr* grid = LiveGrid();
    GPosRot* object = GPosRot::FromObject(GObject::GetGobject(pEntry->hObject));
    if (!grid || !object || pEntry->Where != GSectionMgr::NOT_LINKED)
        return;
    const CVector& pos = object->GetPos();
    grid->Link(pEntry, grid->ColumnOf(pos.x), grid->RowOf(pos.y));
}

void CSinglePlotter::UnPlot()
{
    GSectionMgr* grid = LiveGrid();
    if (grid && pEntry->Where != GSectionMgr::NOT_LINKED)
        grid->Unlink(pEntry);
}

CMultiPlotter::~CMultiPlotter() { UnPlot(); }

// The shapes are tested where the object stands; its plotting circle only bounds the search.
template <class Visit> int CMultiPlotter::ForTouchedSections(GPhysical* object, Visit visit)
{
    CVector offset;
    const float radius = object->GetPlottingRadius(&offset);
    const CVector& pos = object->GetPos();
    const CVector centre = pos + offset;
    if (!(fabsf(centre.x) < GSectionMgr::FAR_AWAY && fabsf(centre.y) < GSectionMgr::FAR_AWAY))
        return 0;
    GSectionMgr* grid = GSectionMgr::pThe;
    const int firstColumn = static_cast<int>(floorf((centre.x - radius) * 0.5f)) - 1;
    const int lastColumn = static_cast<int>(floorf((centre.x + radius) * 0.5f)) + 1;
    const int firstRow = static_cast<int>(floorf((centre.y - radius) * 0.5f)) - 1;
    const int lastRow = static_cast<int>(floorf((centre.y + radius) * 0.5f)) + 1;
    int count = 0;
    for (int w = firstRow; w <= lastRow; ++w) {
        for (int c = firstColumn; c <= lastColumn; ++c) {
            const int column = grid->GetColumnOffset() + c;
            const int row = grid->GetRowOffset() + w;
            if (column < 0 || column >= grid->GetWidth() || row < 0 || row >= grid->GetHeight())
                continue;
            const fRECT square = {c * 2.0f, w * 2.0f, c * 2.0f + 2.0f, w * 2.0f + 2.0f};
            if (object->IsCollision(square, &pos))
                visit(count++, column, row);
        }
    }
    return count;
}

void CMultiPlotter::Plot()
{
    GSectionMgr* grid = LiveGrid();
    GPhysical* object = GPhysical::FromObject(GObject::GetGobject(hObject));
    if (!grid || !object || pEntries)
        return;
    const int count = ForTouchedSections(object, [](int, int, int) {});
    if (count == 0)
        return;
    pEntries = static_cast<PlotEntry*>(zmalloc(count * sizeof(PlotEntry)));
    Count = count;
    for (int i = 0; i < count; ++i) {
        pEntries[i].pPrev = pEntries[i].pNext = nullptr;
        pEntries[i].hObject = hObject;
        pEntries[i].Where = GSectionMgr::NOT_LINKED;
    }
    ForTouchedSections(object, [&](int i, int column, int row) { grid->Link(&pEntries[i], column, row); });
}

void CMultiPlotter::UnPlot()
{
    if (!pEntries)
        return;
    GSectionMgr* grid = LiveGrid();
    for (int i = 0; i < Count; ++i)
        if (grid && pEntries[i].Where != GSectionMgr::NOT_LINKED)
            grid->Unlink(&pEntries[i]);
    zfree(pEntries);
    pEntries = nullptr;
    Count = 0;
}

void CMultiPlotter::SetHandle(HGOBJECT handle)
{
    hObject = handle;
    for (int i = 0; i < Count; ++i)
        pEntries[i].hObject = handle;
}
