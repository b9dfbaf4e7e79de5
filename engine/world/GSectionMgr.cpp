#include "engine/world/GSectionMgr.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRenderer.h"
#include "engine/world/CPathFinder.h"
#include "engine/world/GmvWorld.h"

IMPLEMENT_GOBJECT(GSectionMgr, 0x20800100)
IMPLEMENT_GOBJECT(GSectionMgrLevelAnalyzer, 0x00800100)
IMPLEMENT_GOBJECT(GSectionConstants, 0x00800100)

GSectionMgr* GSectionMgr::pThe = nullptr;
float GSectionMgr::NextSweep = 0.0f;

namespace {

// The passability index of blackness.
const int BLACKNESS = 14;
// Players whose objects belong to nobody in particular.
const WORD NEUTRAL_PLAYER = 0;
const WORD WORLD_PLAYER = 10;
const WORD SPECTATOR_PLAYER = 9;
// Below this health an object counts as dead.
const float DEAD_HEALTH = 0.1f;
// Single-plotted objects are marked in the section of their position only; their shapes reach
// this far from it (plotting radius up to 1 around a centre up to 1 away).
const float SINGLE_PLOT_REACH = 2.0f;
// A ray or segment never takes more samples than this, however small its step.
const int MAX_SAMPLES = 1 << 16;
// The eight directions of FindClearPosition: +x, +y, -x, -y, then the diagonals.
const int kSearchDirections[8][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {1, -1}, {1, 1}, {-1, 1}, {-1, -1}};
// FindClearPosition keeps its candidates this far inside the world.
const float CLEAR_MARGIN = 1.0f;
// Handles have a 16-bit index: one stamp per index keeps an object out of an answer twice.
const int HANDLE_INDICES = 0x10000;

bool IsNeutral(WORD player) { return player == NEUTRAL_PLAYER || player == WORLD_PLAYER; }

bool IsFar(float v) { return !(fabsf(v) < GSectionMgr::FAR_AWAY); }

// Samples after from on the way to to, at most MAX_SAMPLES; none for a zero length or a step
// that is not positive, so that the end alone is tested.
int SampleCount(const CVector& from, const CVector& to, float step, CVector& stride)
{
    const CVector d = to - from;
    const float length = d.GetLength();
    stride = NullVector;
    if (!(length > 0.0f) || !(step > 0.0f))
        return 0;
    const float s = step / length;
    stride = d * s;
    const float n = 1.0f / s;
    return n < MAX_SAMPLES ? static_cast<int>(n) : MAX_SAMPLES;
}

GPhysical* PhysicalOf(HGOBJECT handle) { return GPhysical::FromObject(GObject::GetGobject(handle)); }

DWORD* pQueryStamps = nullptr;
DWORD QueryStamp = 0;

} // namespace

void CRaycastData::Clear()
{
    memset(static_cast<void*>(this), 0, sizeof(*this));
    Start = End = Last = NowhereVector;
}

GSectionMgr::GSectionMgr()
{
    if (!EditableEvaluation)
        pThe = this;
}

// The path-finder object is a child: it goes with the manager, not through Delete.
GSectionMgr::~GSectionMgr()
{
    pPathObject = nullptr;
    Delete();
    if (pThe == this)
        pThe = nullptr;
}

GSectionMgrLevelAnalyzer::GSectionMgrLevelAnalyzer()
{
    if (!EditableEvaluation)
        _printf("remove GSectionMgrLevelAnalyzer from the map.rhu on this map\n");
}

GSectionConstants::GSectionConstants()
{
    if (!EditableEvaluation)
        _printf("remove GSectionConstants from the defparams.rhu on this map\n");
}

// The extent is the origin and the locations of this level only: an extent kept from an
// earlier, far-away level could push this level's objects off the 256 x 256 sections.
void GSectionMgr::New(CEmbeddedFillData* fill)
{
    Delete();
    MinX = MinY = MaxX = MaxY = 0.0f;
    for (int i = 0; i < GmvWorld::MAX_LOCATIONS && GmvWorld::LocationArray[i]; ++i) {
        const LocationEntry* location = GmvWorld::LocationArray[i];
        MinX = fminf(MinX, location->MinX);
        MinY = fminf(MinY, location->MinY);
        MaxX = fmaxf(MaxX, location->MaxX);
        MaxY = fmaxf(MaxY, location->MaxY);
    }
    OffsetX = MinX == 0.0f ? 0.0f : -MinX;
    OffsetY = MinY == 0.0f ? 0.0f : -MinY;
    ExtentX = static_cast<int>(MaxX - MinX);
    ExtentY = static_cast<int>(MaxY - MinY);
    IntMinX = static_cast<int>(MinX);
    IntMinY = static_cast<int>(MinY);
    IntMaxX = static_cast<int>(MaxX);
    IntMaxY = static_cast<int>(MaxY);
    IntOffsetX = static_cast<int>(OffsetX);
    IntOffsetY = static_cast<int>(OffsetY);
    // Section 0 starts at or below the minimum and the last one holds the maximum itself, so
    // that every point of every location lies in a section.
    ColumnOffset = static_cast<int>(ceilf(OffsetX * 0.5f));
    RowOffset = static_cast<int>(ceilf(OffsetY * 0.5f));
    Width = static_cast<int>(floorf(MaxX * 0.5f)) + ColumnOffset + 1;
    Height = static_cast<int>(floorf(MaxY * 0.5f)) + RowOffset + 1;
    if (Width > MAX_SECTIONS || Height > MAX_SECTIONS) {
        _printf("GSectionMgr: the level spans %d x %d sections; objects beyond %d x %d are not plotted\n", Width,
                Height, MAX_SECTIONS, MAX_SECTIONS);
        Width = Width > MAX_SECTIONS ? MAX_SECTIONS : Width;
        Height = Height > MAX_SECTIONS ? MAX_SECTIONS : Height;
    }
    pGrid = static_cast<PlotEntry**>(zmalloc(Width * Height * sizeof(PlotEntry*)));
    memset(pGrid, 0, Width * Height * sizeof(PlotEntry*));
    if (!pQueryStamps) {
        pQueryStamps = static_cast<DWORD*>(zmalloc(HANDLE_INDICES * sizeof(DWORD)));
        memset(pQueryStamps, 0, HANDLE_INDICES * sizeof(DWORD));
    }
    // The object is the manager's child: the level sweep passes over the manager, so only
    // Delete destroys it.
    if (fill)
        pPathObject = Create(fill);
    if (!pPathObject)
        pPathFinder = new CPathFinder();
}

void GSectionMgr::Delete()
{
    FreeGrid();
    delete pPathFinder;
    pPathFinder = nullptr;
    if (pPathObject)
        pPathObject->Destroy();
    pPathObject = nullptr;
    FreeReservations();
}

// Entries still in the lists are told they are in none, so that their objects plot afresh
// into the next level's grid.
void GSectionMgr::FreeGrid()
{
    if (!pGrid)
        return;
    for (int i = 0; i < Width * Height; ++i) {
        for (PlotEntry* entry = pGrid[i]; entry;) {
            PlotEntry* next = entry->pNext;
            entry->pPrev = entry->pNext = nullptr;
            entry->Where = NOT_LINKED;
            entry = next;
        }
    }
    zfree(pGrid);
    pGrid = nullptr;
    PlottedCount = 0;
}

bool GSectionMgr::Process()
{
    if (pPathFinder)
        pPathFinder->ResetAbilityToPathAgain();
    const float now = CGameTimer::GameTime();
    if (now > NextSweep) {
        for (Reservation* r = pReservations; r;) {
            Reservation* next = r->pNext;
            if (r->Expiry < now)
                Remove(r);
            r = next;
        }
        NextSweep += SWEEP_INTERVAL;
    }
    return false;
}

// Floor, not truncation: a point just below the grid is outside it, not in section 0.
int GSectionMgr::ColumnOf(float x) const { return IsFar(x) ? -1 : static_cast<int>(floorf(x * 0.5f)) + ColumnOffset; }

int GSectionMgr::RowOf(float y) const { return IsFar(y) ? -1 : static_cast<int>(floorf(y * 0.5f)) + RowOffset; }

bool GSectionMgr::Link(PlotEntry* entry, int column, int row)
{
    if (!pGrid || column < 0 || column >= Width || row < 0 || row >= Height)
        return false;
    PlotEntry*& head = pGrid[row * Width + column];
    entry->pPrev = nullptr;
    entry->pNext = head;
    if (head)
        head->pPrev = entry;
    head = entry;
    entry->Where = static_cast<GridIndex>(row << 8 | column);
    ++PlottedCount;
    return true;
}

void GSectionMgr::Unlink(PlotEntry* entry)
{
    if (!pGrid || entry->Where == NOT_LINKED)
        return;
    const int column = entry->Where & 0xFF;
    const int row = (entry->Where >> 8) & 0xFF;
    if (entry->pPrev)
        entry->pPrev->pNext = entry->pNext;
    else
        pGrid[row * Width + column] = entry->pNext;
    if (entry->pNext)
        entry->pNext->pPrev = entry->pPrev;
    entry->pPrev = entry->pNext = nullptr;
    entry->Where = NOT_LINKED;
    --PlottedCount;
}

GridIndex GSectionMgr::GetGridIndex(const CVector& p)
{
    return static_cast<GridIndex>((RowOf(p.y) << 8) | (ColumnOf(p.x) & 0xFF));
}

CVector GSectionMgr::GetGridIndexCenter(const CVector& p)
{
    return CVector((ColumnOf(p.x) - ColumnOffset) * 2.0f + 1.0f, (RowOf(p.y) - RowOffset) * 2.0f + 1.0f, 0.0f);
}

CVector GSectionMgr::GetPathGridCenter(const CVector& p)
{
    const WORD column = static_cast<WORD>(static_cast<int>(p.x + OffsetX));
    const WORD row = static_cast<WORD>(static_cast<int>(p.y + OffsetY));
    return CVector(column - OffsetX + 0.5f, row - OffsetY + 0.5f, 0.0f);
}

GSectionMgr::SectionRange GSectionMgr::Around(const CVector& centre, int n) const
{
    SectionRange range = {0, -1, 0, -1};
    const int column = ColumnOf(centre.x);
    const int row = RowOf(centre.y);
    if (!pGrid || IsFar(centre.x) || IsFar(centre.y))
        return range;
    range.FirstColumn = column - n < 0 ? 0 : column - n;
    range.LastColumn = column + n >= Width ? Width - 1 : column + n;
    range.FirstRow = row - n < 0 ? 0 : row - n;
    range.LastRow = row + n >= Height ? Height - 1 : row + n;
    return range;
}

GSectionMgr::SectionRange GSectionMgr::Between(const CVector& low, const CVector& high) const
{
    SectionRange range = {0, -1, 0, -1};
    if (!pGrid || IsFar(low.x) || IsFar(low.y) || IsFar(high.x) || IsFar(high.y))
        return range;
    const int first = ColumnOf(low.x), last = ColumnOf(high.x);
    const int top = RowOf(low.y), bottom = RowOf(high.y);
    range.FirstColumn = first < 0 ? 0 : first;
    range.LastColumn = last >= Width ? Width - 1 : last;
    range.FirstRow = top < 0 ? 0 : top;
    range.LastRow = bottom >= Height ? Height - 1 : bottom;
    return range;
}

// The shapes are tested where obj would stand (pos); the plotting centre only decides which
// sections can hold an object that reaches it.
HGOBJECT GSectionMgr::FirstBlocking(GPhysical* obj, const CVector& pos, const CVector& centre, float radius, DWORD mask,
                                    DWORD flags)
{
    if (!obj)
        return 0;
    const SectionRange range = Around(centre, static_cast<int>((radius + SINGLE_PLOT_REACH) * 0.5f) + 1);
    const WORD player = obj->GetHandle().Player();
    for (int row = range.FirstRow; row <= range.LastRow; ++row) {
        for (int column = range.FirstColumn; column <= range.LastColumn; ++column) {
            for (PlotEntry* entry = GetSection(column, row); entry; entry = entry->pNext) {
                GPhysical* other = PhysicalOf(entry->hObject);
                if (!other || other == obj)
                    continue;
                if (entry->hObject.Player() == player && ((flags & 1) || (other->GetBlockageFlags() & 1)))
                    continue;
                if (obj->CanCollide(other) && other->CanCollide() && other->CanCollide(obj) &&
                    (mask & other->GetCollisionFlags()) && obj->IsCollision(other, &pos))
                    return entry->hObject;
            }
        }
    }
    return 0;
}

HGOBJECT GSectionMgr::TerrainBlocking(GPhysical* obj, const CVector& centre, DWORD flags)
{
    LocationEntry* location = GmvWorld::GetNearestLocation(centre, nullptr);
    if (!location)
        return HGOBJECT(0xFFFFFFFF);
    const int p = GmvWorld::GetPassibilityIndex(location, centre.x, centre.y);
    if ((flags & 4) && p == BLACKNESS)
        return HGOBJECT(0xFFFFFFFF);
    if (obj && obj->bPlotted && !(flags & 8) && p > obj->GetPassibilityIndex())
        return HGOBJECT(0xFFFFFFFF);
    return 0;
}

HGOBJECT GSectionMgr::Blocked(GPhysical* obj, const CVector& pos, DWORD mask, DWORD flags)
{
    CVector offset = NullVector;
    const float radius = obj ? obj->GetPlottingRadius(&offset) : 0.0f;
    const CVector centre = pos + offset;
    const HGOBJECT hit = FirstBlocking(obj, pos, centre, radius, mask, flags);
    return hit ? hit : TerrainBlocking(obj, centre, flags);
}

HGOBJECT GSectionMgr::Blocked(GPhysical* obj, const CVector& pos, CZFilter<HandleOffset>* handleFilter,
                              CZFilter<CVector>* posFilter)
{
    CVector offset = NullVector;
    const float radius = obj ? obj->GetPlottingRadius(&offset) : 0.0f;
    const CVector centre = pos + offset;
    if (handleFilter) {
        const SectionRange range = Around(centre, static_cast<int>((radius + SINGLE_PLOT_REACH) * 0.5f) + 1);
        for (int row = range.FirstRow; row <= range.LastRow; ++row) {
            for (int column = range.FirstColumn; column <= range.LastColumn; ++column) {
                for (PlotEntry* entry = GetSection(column, row); entry; entry = entry->pNext) {
                    if (obj && entry->hObject == obj->GetHandle())
                        continue;
                    const HandleOffset candidate = {entry->hObject, centre};
                    if (!handleFilter->Matches(candidate))
                        return entry->hObject;
                }
            }
        }
    }
    const int column = ColumnOf(centre.x), row = RowOf(centre.y);
    if (!pGrid || column < 0 || column >= Width || row < 0 || row >= Height)
        return HGOBJECT(0xFFFFFFFF);
    return posFilter && posFilter->Matches(centre) ? HGOBJECT(0xFFFFFFFF) : HGOBJECT(0);
}

bool GSectionMgr::IsGroundAbove(const CVector& p) { return CRenderer::GetHeightData(p) > p.z; }

bool GSectionMgr::IsBlacknessAt(const CVector& p)
{
    LocationEntry* location = GmvWorld::GetNearestLocation(p, nullptr);
    return !location || GmvWorld::GetPassibilityIndex(location, p.x, p.y) == BLACKNESS;
}

HGOBJECT GSectionMgr::BlockedOnRay(GPhysical* obj, const CVector& from, const CVector& to, float step, DWORD mask,
                                   DWORD flags, HGOBJECT ignore, int player, CVector* lastClear)
{
    CVector own;
    CVector& last = lastClear ? *lastClear : own;
    auto counts = [&](HGOBJECT h) {
        if (h == ignore)
            return false;
        return player != -1 ? h.Player() != static_cast<WORD>(player) : IsNeutral(h.Player());
    };
    CVector stride;
    const int n = SampleCount(from, to, step, stride);
    CVector previous = from;
    CVector sample = from;
    for (int i = 1; i <= n; ++i) {
        sample += stride;
        const HGOBJECT h = Blocked(obj, sample, mask, flags);
        const bool terrainOrClear = h == 0 || h == HGOBJECT(0xFFFFFFFF);
        if ((terrainOrClear && (IsGroundAbove(sample) || h != 0)) || (!terrainOrClear && counts(h))) {
            last = previous;
            return terrainOrClear ? HGOBJECT(0xFFFFFFFF) : h;
        }
        previous = sample;
    }
    const HGOBJECT h = Blocked(obj, to, mask, flags);
    if (IsGroundAbove(to) || h == HGOBJECT(0xFFFFFFFF)) {
        last = previous;
        return HGOBJECT(0xFFFFFFFF);
    }
    if (h != 0 && counts(h)) {
        last = previous;
        return h;
    }
    last = to;
    return 0;
}

bool GSectionMgr::BlockedOnRay(bool (*stop)(CRaycastData&), CRaycastData& data)
{
    CVector stride;
    const int n = SampleCount(data.Start, data.End, data.Step, stride);
    CVector previous = data.Start;
    for (int i = 0; i <= n; ++i) {
        const CVector sample = i < n ? data.Start + stride * static_cast<float>(i + 1) : data.End;
        bool stopped = false;
        data.Hit = Blocked(data.pCaster, sample, data.Mask, data.Flags);
        if (data.Hit != 0)
            stopped = stop(data);
        if (!stopped && IsGroundAbove(sample)) {
            data.Hit = HGOBJECT(0xFFFFFFFF);
            stopped = stop(data);
        }
        if (!stopped && (data.Flags & 4) && IsBlacknessAt(sample)) {
            data.Hit = HGOBJECT(0xFFFFFFFF);
            stopped = stop(data);
        }
        if (stopped) {
            data.Last = previous;
            return true;
        }
        previous = sample;
    }
    data.Hit = 0;
    data.Last = data.End;
    return false;
}

// The samples are the places obj would stand, on the ground; Blocked adds the plotting offset.
HGOBJECT GSectionMgr::BlockedOnPathSegment(GPhysical* obj, const CVector& from, const CVector& to, float step,
                                           DWORD mask, int player)
{
    auto blocks = [&](HGOBJECT h) {
        if (h == 0)
            return false;
        return player != -1 ? h.Player() != static_cast<WORD>(player) : IsNeutral(h.Player());
    };
    CVector stride;
    const int n = SampleCount(from, to, step, stride);
    for (int i = 1; i <= n; ++i) {
        CVector c = from + stride * static_cast<float>(i);
        c.z = CRenderer::GetHeightData(c);
        const HGOBJECT h = Blocked(obj, c, mask, 0);
        if (blocks(h))
            return h;
    }
    const HGOBJECT h = Blocked(obj, to, mask, 0);
    return blocks(h) ? h : HGOBJECT(0);
}

bool GSectionMgr::BlockedByTerrain(GPhysical* obj, const CVector& pos, bool)
{
    if (!obj || !obj->bPlottable)
        return false;
    CVector offset;
    const float r = obj->GetPlottingRadius(&offset);
    const CVector c = pos + offset;
    if (IsFar(c.x) || IsFar(c.y) || IsFar(r))
        return false;
    for (int i = static_cast<int>(floorf(c.x - r - 1.0f)); i < static_cast<int>(floorf(c.x + r + 2.0f)); ++i) {
        for (int j = static_cast<int>(floorf(c.y - r - 1.0f)); j < static_cast<int>(floorf(c.y + r + 2.0f)); ++j) {
            const CVector corner(static_cast<float>(i), static_cast<float>(j), 0.0f);
            if (!C2DMath::Intersects(c, r, corner.x, corner.y, corner.x + 1.0f, corner.y + 1.0f))
                continue;
            for (int k = 0; k < GmvWorld::MAX_LOCATIONS && GmvWorld::LocationArray[k]; ++k) {
                LocationEntry* location = GmvWorld::LocationArray[k];
                if (GmvWorld::ValidLocationPosition(location, corner) &&
                    GmvWorld::GetPassibilityIndex(location, corner.x, corner.y) > obj->GetPassibilityIndex())
                    return true;
            }
        }
    }
    return false;
}

bool GSectionMgr::BlockedByTerrainAndObject(int limit, const CVector& pos, float radius, bool exact, CRender* render)
{
    if (IsFar(pos.x) || IsFar(pos.y) || IsFar(radius))
        return false;
    const int firstRow = static_cast<int>(floorf(pos.y - radius - 1.0f));
    const int endRow = static_cast<int>(floorf(pos.y + radius + 2.0f));
    const int firstColumn = static_cast<int>(floorf(pos.x - radius - 1.0f));
    const int endColumn = static_cast<int>(floorf(pos.x + radius + 2.0f));
    for (int i = firstRow; i < endRow; ++i) {
        for (int j = firstColumn; j < endColumn; ++j) {
            const CVector corner(static_cast<float>(j), static_cast<float>(i), 0.0f);
            const int column = ColumnOf(corner.x), row = RowOf(corner.y);
            if (pGrid && column >= 0 && column < Width && row >= 0 && row < Height) {
                for (PlotEntry* entry = GetSection(column, row); entry; entry = entry->pNext) {
                    GPhysical* other = PhysicalOf(entry->hObject);
                    if (entry->hObject != 0 && (!render || (other && render->IsCollision(&other->Render, &pos))))
                        return true;
                }
            }
            if (!C2DMath::Intersects(pos, radius, corner.x, corner.y, corner.x + 1.0f, corner.y + 1.0f))
                continue;
            for (int k = 0; k < GmvWorld::MAX_LOCATIONS && GmvWorld::LocationArray[k]; ++k) {
                LocationEntry* location = GmvWorld::LocationArray[k];
                if (!GmvWorld::ValidLocationPosition(location, corner))
                    continue;
                const int p = GmvWorld::GetPassibilityIndex(location, corner.x, corner.y);
                if (exact ? p != limit : p > limit)
                    return true;
            }
        }
    }
    return false;
}

bool GSectionMgr::BlockedByBlackness(const CVector& from, const CVector& to, float step)
{
    CVector stride;
    const int n = SampleCount(from, to, step, stride);
    for (int i = 1; i <= n; ++i)
        if (IsBlacknessAt(from + stride * static_cast<float>(i)))
            return true;
    return IsBlacknessAt(to);
}

// Without a maximum the search stops once its rings are wider than any grid can be.
bool GSectionMgr::FindClearPosition(CVector& pos, GPhysical* obj, CZFilter<HandleOffset>* handleFilter,
                                    CZFilter<CVector>* posFilter, float step, float maxDistance)
{
    if (Blocked(obj, pos, handleFilter, posFilter) == 0)
        return true;
    if (!(step > 0.0f))
        return false;
    const int first = rand() % 4;
    const float limit = maxDistance != 0.0f ? maxDistance : SEARCH_LIMIT;
    for (float d = step; d <= limit; d += step) {
        for (int k = 0; k < 8; ++k) {
            const int* dir = kSearchDirections[(first + k) % 8];
            CVector candidate(pos.x + dir[0] * d, pos.y + dir[1] * d, pos.z);
            GmvWorld::ClipToWorld(candidate, CLEAR_MARGIN, nullptr);
            candidate.z = CRenderer::GetHeightData(candidate);
            if (Blocked(obj, candidate, handleFilter, posFilter) == 0) {
                pos = candidate;
                return true;
            }
        }
    }
    return false;
}

// Every object once per answer, in section order (rows outer, each list from its head): an
// object plotted over several sections is met in each of them.
template <class Keep> bool GSectionMgr::Collect(CZArray<HGOBJECT>& out, const SectionRange& range, Keep keep)
{
    const int before = out.GetSize();
    if (++QueryStamp == 0) {
        memset(pQueryStamps, 0, HANDLE_INDICES * sizeof(DWORD));
        QueryStamp = 1;
    }
    for (int row = range.FirstRow; row <= range.LastRow; ++row) {
        for (int column = range.FirstColumn; column <= range.LastColumn; ++column) {
            for (PlotEntry* entry = GetSection(column, row); entry; entry = entry->pNext) {
                DWORD& seen = pQueryStamps[entry->hObject.Id()];
                if (seen == QueryStamp || !keep(entry->hObject))
                    continue;
                seen = QueryStamp;
                out.Add(entry->hObject);
            }
        }
    }
    return out.GetSize() > before;
}

// The upper ends are included, so that an object within the radius on the far side of the
// centre's section is found as well as one on the near side.
bool GSectionMgr::GetHandles(CZArray<HGOBJECT>& out, const CVector& centre, float radius, HandleCallback filter,
                             void* data)
{
    const float radiusSq = radius * radius;
    const SectionRange range = Around(centre, static_cast<int>(radius * 0.5f) + 1);
    return Collect(out, range, [&](HGOBJECT h) {
        GPosRot* object = GPosRot::FromObject(GObject::GetGobject(h));
        return object && (!filter || filter(h, data)) && object->GetRangeSq(centre) <= radiusSq;
    });
}

bool GSectionMgr::GetHandlesEx(CZArray<HGOBJECT>& out, const CVector& centre, float radius, HandleCallback filter,
                               void* data)
{
    const SectionRange range = Around(centre, static_cast<int>((radius + SINGLE_PLOT_REACH) * 0.5f) + 1);
    return Collect(out, range, [&](HGOBJECT h) {
        GPhysical* object = PhysicalOf(h);
        return object && (!filter || filter(h, data)) && object->GetFatRange(centre) <= radius;
    });
}

bool GSectionMgr::GetHandles(CZArray<HGOBJECT>& out, const CVector& low, const CVector& high, HandleCallback filter,
                             void* data)
{
    return Collect(out, Between(low, high), [&](HGOBJECT h) { return !filter || filter(h, data); });
}

bool GSectionMgr::GetHandles(CZArray<HGOBJECT>& out, fRECT rect, HandleCallback filter, void* data)
{
    return GetHandles(out, CVector(rect.left, rect.top, 0.0f), CVector(rect.right, rect.bottom, 0.0f), filter, data);
}

bool GSectionMgr::GetHandles(CZArray<HGOBJECT>& out, const CVector& low, const CVector& high,
                             CZFilter<HGOBJECT>* filter)
{
    return Collect(out, Between(low, high), [&](HGOBJECT h) { return !filter || !filter->Matches(h); });
}

bool GSectionMgr::GetHandles(CZArray<HGOBJECT>& out, const CVector& centre, const float& radius,
                             CZFilter<HGOBJECT>* filter)
{
    const CVector reach(radius, radius, 0.0f);
    return GetHandles(out, centre - reach, centre + reach, filter);
}

bool GSectionMgr::CoreHandleFilter(HGOBJECT h, void* data)
{
    if (!data)
        return true;
    const CoreFilterData& f = *static_cast<CoreFilterData*>(data);
    const WORD player = h.Player();
    if (((f.Flags & 0x01) && player != f.Player) || ((f.Flags & 0x02) && player == f.Player) ||
        ((f.Flags & 0x04) && IsNeutral(player)) || ((f.Flags & 0x20) && player == SPECTATOR_PLAYER))
        return false;
    if (f.Flags & 0x08) {
        GPhysical* object = PhysicalOf(h);
        if (object && object->GetHealth() < DEAD_HEALTH)
            return false;
    }
    if ((f.Flags & 0x10) && h.Id() == f.Index)
        return false;
    if (f.Flags & 0x40) {
        GPhysical* object = PhysicalOf(h);
        if (object && object->Render.GetViewport() != f.Viewport)
            return false;
    }
    return !((f.Flags & 0x80) && !IsNeutral(player));
}

void GSectionMgr::Remove(Reservation* r)
{
    if (r->pPrev)
        r->pPrev->pNext = r->pNext;
    else
        pReservations = r->pNext;
    if (r->pNext)
        r->pNext->pPrev = r->pPrev;
    zfree(r);
}

void GSectionMgr::RemoveFirstOf(HGOBJECT owner)
{
    for (Reservation* r = pReservations; r; r = r->pNext) {
        if (r->Owner == owner) {
            Remove(r);
            return;
        }
    }
}

void GSectionMgr::FreeReservations()
{
    while (pReservations)
        Remove(pReservations);
}

void GSectionMgr::MarkOccupied(HGOBJECT owner, DWORD key)
{
    for (Reservation* r = pReservations; r;) {
        Reservation* next = r->pNext;
        if (r->Owner == owner || r->Key == key)
            Remove(r);
        r = next;
    }
    Reservation* r = static_cast<Reservation*>(zmalloc(sizeof(Reservation)));
    r->pPrev = nullptr;
    r->pNext = pReservations;
    r->Owner = owner;
    r->Key = key;
    r->Expiry = CGameTimer::GameTime() + RESERVATION_TIME;
    if (pReservations)
        pReservations->pPrev = r;
    pReservations = r;
}

void GSectionMgr::UnMarkOccupied(HGOBJECT owner) { RemoveFirstOf(owner); }

bool GSectionMgr::IsMarkedOccupied(DWORD key)
{
    for (Reservation* r = pReservations; r; r = r->pNext) {
        if (r->Key != key)
            continue;
        if (CGameTimer::GameTime() > r->Expiry) {
            RemoveFirstOf(r->Owner);
            return false;
        }
        return true;
    }
    return false;
}
