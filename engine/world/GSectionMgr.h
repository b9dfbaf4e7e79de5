#pragma once
// The broad phase of every spatial question: the level is cut into square sections of 2 x 2
// world units, and each section keeps a list of the objects plotted over it. Blocking, ray,
// path-segment and area queries look only at the sections around their centre or box. The
// manager also keeps short-lived occupancy reservations and owns the level's path finder.
#include "core/containers/ZArray.h"
#include "core/math/C2DMath.h"
#include "core/math/CVector.h"
#include "engine/object/GObject.h"
#include "engine/world/CZFilter.h"

class CEmbeddedFillData;
class CPathFinder;
class CRender;
class GPhysical;

// (row << 8) | column of a section.
typedef DWORD GridIndex;

// One plotted section of an object.
struct PlotEntry {
    PlotEntry* pPrev;
    PlotEntry* pNext;
    HGOBJECT hObject;
    GridIndex Where;
};

// The record the callback ray query hands its callback.
class CRaycastData {
public:
    CRaycastData() { Clear(); }
    void Clear();

    GPhysical* pCaster;
    CVector Start;
    CVector End;
    float Step;
    DWORD Mask;
    DWORD Flags; // bit 2 also stops at blackness
    DWORD User;  // left alone by the query, free for the callback
    HGOBJECT Hit;
    CVector Last;
};

// The data of CoreHandleFilter.
struct CoreFilterData {
    WORD Player;
    DWORD Flags;
    WORD Index;
    int Viewport;
};

typedef bool (*HandleCallback)(HGOBJECT handle, void* data);

class GSectionMgr : public GObject {
    DECLARE_GOBJECT(GSectionMgr, GObject)

    // Section size in world units.
    static const int SECTION_SIZE = 2;
    // Sections per side the 8-bit column and row can name.
    static const int MAX_SECTIONS = 256;
    // Seconds a reservation holds.
    static constexpr float RESERVATION_TIME = 5.0f;
    // Seconds between sweeps of expired reservations.
    static constexpr float SWEEP_INTERVAL = 600.0f;
    // The Where of an entry in no list.
    static const GridIndex NOT_LINKED = 0xFFFFFFFF;
    // Coordinates beyond this are no place on any grid (the nowhere position among them).
    static constexpr float FAR_AWAY = 1.0e6f;
    // How far out FindClearPosition searches when no maximum is given.
    static constexpr float SEARCH_LIMIT = 2.0f * MAX_SECTIONS * SECTION_SIZE;

    GSectionMgr();
    ~GSectionMgr() override;
    bool Process() override;

    // Builds the level's grid over the registered locations; with fill data, creates the
    // object it describes as the level's path finder, else constructs a CPathFinder.
    void New(CEmbeddedFillData* fill);
    void Delete();
    bool HasGrid() const { return pGrid != nullptr; }

    GridIndex GetGridIndex(const CVector& p);
    CVector GetGridIndexCenter(const CVector& p);
    CVector GetPathGridCenter(const CVector& p);

    // 0 clear, -1 terrain, blackness or a position filter, else the blocking object.
    HGOBJECT Blocked(GPhysical* obj, const CVector& pos, DWORD mask, DWORD flags);
    HGOBJECT Blocked(GPhysical* obj, const CVector& pos, CZFilter<HandleOffset>* handleFilter,
                     CZFilter<CVector>* posFilter);
    HGOBJECT BlockedOnRay(GPhysical* obj, const CVector& from, const CVector& to, float step, DWORD mask, DWORD flags,
                          HGOBJECT ignore, int player, CVector* lastClear);
    HGOBJECT BlockedOnPathSegment(GPhysical* obj, const CVector& from, const CVector& to, float step, DWORD mask,
                                  int player);
    bool BlockedOnRay(bool (*stop)(CRaycastData&), CRaycastData& data);
    bool BlockedByTerrain(GPhysical* obj, const CVector& pos, bool unused);
    bool BlockedByTerrainAndObject(int limit, const CVector& pos, float radius, bool exact, CRender* render);
    bool BlockedByBlackness(const CVector& from, const CVector& to, float step);
    bool FindClearPosition(CVector& pos, GPhysical* obj, CZFilter<HandleOffset>* handleFilter,
                           CZFilter<CVector>* posFilter, float step, float maxDistance);

    // Area queries append to out and are true when they added at least one handle.
    bool GetHandles(CZArray<HGOBJECT>& out, const CVector& centre, float radius, HandleCallback filter, void* data);
    bool GetHandlesEx(CZArray<HGOBJECT>& out, const CVector& centre, float radius, HandleCallback filter, void* data);
    bool GetHandles(CZArray<HGOBJECT>& out, const CVector& low, const CVector& high, HandleCallback filter, void* data);
    bool GetHandles(CZArray<HGOBJECT>& out, fRECT rect, HandleCallback filter, void* data);
    bool GetHandles(CZArray<HGOBJECT>& out, const CVector& low, const CVector& high, CZFilter<HGOBJECT>* filter);
    bool GetHandles(CZArray<HGOBJECT>& out, const CVector& centre, const float& radius, CZFilter<HGOBJECT>* filter);

    void MarkOccupied(HGOBJECT owner, DWORD key);
    void UnMarkOccupied(HGOBJECT owner);
    bool IsMarkedOccupied(DWORD key);

    static bool CoreHandleFilter(HGOBJECT handle, void* data);

    // The plotters' access to the lists: false (nothing linked) outside the grid.
    bool Link(PlotEntry* entry, int column, int row);
    void Unlink(PlotEntry* entry);
    int ColumnOf(float x) const;
    int RowOf(float y) const;
    int GetPlottedCount() const { return PlottedCount; }
    int GetWidth() const { return Width; }
    int GetHeight() const { return Height; }
    int GetColumnOffset() const { return ColumnOffset; }
    // The level's extent: its minimum corner and its whole-unit size, which the path finders
    // cut into one-unit cells.
    float GetMinX() const { return MinX; }
    float GetMinY() const { return MinY; }
    int GetExtentX() const { return ExtentX; }
    int GetExtentY() const { return ExtentY; }
    int GetRowOffset() const { return RowOffset; }
    PlotEntry* GetSection(int column, int row) const { return pGrid[row * Width + column]; }
    CPathFinder* GetPathFinder() const { return pPathFinder; }
    GObject* GetPathObject() const { return pPathObject; }

    static GSectionMgr* pThe;

private:
    struct Reservation {
        Reservation* pPrev;
        Reservation* pNext;
        HGOBJECT Owner;
        DWORD Key;
        float Expiry;
    };
    // A range of sections, both ends included, already cut to the grid.
    struct SectionRange {
        int FirstColumn, LastColumn, FirstRow, LastRow;
        bool IsEmpty() const { return FirstColumn > LastColumn || FirstRow > LastRow; }
    };

    SectionRange Around(const CVector& centre, int n) const;
    SectionRange Between(const CVector& low, const CVector& high) const;
    HGOBJECT FirstBlocking(GPhysical* obj, const CVector& pos, const CVector& centre, float radius, DWORD mask,
                           DWORD flags);
    HGOBJECT TerrainBlocking(GPhysical* obj, const CVector& centre, DWORD flags);
    bool IsBlacknessAt(const CVector& p);
    bool IsGroundAbove(const CVector& p);
    template <class Keep> bool Collect(CZArray<HGOBJECT>& out, const SectionRange& range, Keep keep);
    void FreeGrid();
    void FreeReservations();
    void Remove(Reservation* reservation);
    void RemoveFirstOf(HGOBJECT owner);

    int PlottedCount;
    PlotEntry** pGrid;
    float MinX, MinY, MaxX, MaxY;
    float OffsetX, OffsetY;
    int ExtentX, ExtentY;
    int IntMinX, IntMinY, IntMaxX, IntMaxY;
    int Width;
    int ColumnOffset, RowOffset;
    int IntOffsetX, IntOffsetY;
    Reservation* pReservations;
    CPathFinder* pPathFinder;
    GObject* pPathObject;
    int Height;

    static float NextSweep;
};

// Debug classes that only ask to be taken out of the level scripts.
class GSectionMgrLevelAnalyzer : public GObject {
    DECLARE_GOBJECT(GSectionMgrLevelAnalyzer, GObject)
    GSectionMgrLevelAnalyzer();
};

class GSectionConstants : public GObject {
    DECLARE_GOBJECT(GSectionConstants, GObject)
    GSectionConstants();
};
