#pragma once
// The level's ground: up to 16 terrain maps ("locations") placed in world space, each drawn by
// its own render instance. The world answers which location holds a point, the ground height
// there, the passability and decal of the cell under it, and where a segment meets the ground.
#include "engine/object/GPosRot.h"
#include "engine/render/CRendMap.h"
#include "engine/render/CRender.h"

class CRendTexture;

// One location. Its extent, MinX..MaxX by MinY..MaxY with both edges included, lies wholly in
// the map's cell grid.
struct LocationEntry {
    CRendMap* pMap;
    CRender Render;
    float MinX, MinY, MinZ;
    float MaxX, MaxY, MaxZ;
    CVector* pMapData;
    BYTE* pDecals;
    WORD Width, Height;
    WORD TileWidth;
    WORD CellStride;
    int RowPitch;
};

class GmvWorld : public GPosRot {
    DECLARE_GOBJECT(GmvWorld, GPosRot)

    static const int MAX_LOCATIONS = 16;
    // The passability index of a point outside its map's cell grid: blackness.
    static const int OUTSIDE_GRID_PASSABILITY = 14;

    GmvWorld();
    ~GmvWorld() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    virtual int GetMapSize(RECT& rect, int index);
    virtual bool OnMap(CVector& p);
    virtual void Register(CRendMap* map, bool add);
    virtual const CVector& World2Screen(const CVector& p);
    virtual const CVector& World2Screen(const CVector& p, float& z);
    virtual const CVector& Screen2World(const CVector& screen, CVector& out);
    virtual float World2ScreenZ(const CVector& p, float& z);
    // The live world's Register; nothing without a world (maps outlive it at level unload).
    static void RegisterLocation(CRendMap* map, bool add);

    // Location table.
    static LocationEntry* GetFirstLocation() { return LocationArray[0]; }
    int GetLocationCount() const { return LocationCount; }
    static LocationEntry* GetLocation(const CVector& p, DWORD mask);
    static LocationEntry* GetNearestLocation(const CVector& p, LocationEntry* skip);
    static int GetLocationNumber(CVector p);
    static bool ValidLocationPosition(CVector p);
    static bool ValidLocationPositionXY(CVector p);
    static bool ValidLocationPosition(const LocationEntry* entry, CVector p);
    static bool ValidLocationPositionXY(const LocationEntry* entry, CVector p);
    static bool ValidLocationZ(const LocationEntry* entry, float z, float tolerance);
    static bool IsLocationValid(const LocationEntry* entry, const CVector& p, short viewport);
    static CVector GetLocationPos(const LocationEntry* entry);
    static CRender* GetLocationRender(CVector p);
    static CRender* GetLocationRender(int index);
    static DWORD GetCameraMask(const LocationEntry* entry);
    static short GetViewport(const LocationEntry* entry);
    static LocationEntry* ClipToWorld(CVector& p, float margin, LocationEntry* entry);

    // Terrain.
    static float GetHeight(short viewport, CVector& p);
    static float GetSlope(const CVector& p);
    static float FindIntersection(short viewport, const CVector& from, const CVector& to, int* cellOut,
                                  LocationEntry** hitOut);
    static int GetPassibilityIndex(const LocationEntry* entry, float x, float y);
    static void SetPassibilityIndex(int index, LocationEntry* entry, float x, float y);
    static void SetPassibilityIndex(int index, float radius, const CVector& p);
    static bool IsBlackness(const CVector& p);
    static bool HasHoleAtPosition(LocationEntry* entry, const CVector& p);
    static bool ValidLocationPositionEx(LocationEntry* entry, const CVector& p);
    static CRendTexture* GetLocationTexture(CVector p, LocationEntry* entry);
    static void GetTileFromPosition(const LocationEntry* entry, const CVector& p, int& column, int& row);
    static float Tile2World(float f) { return f * TILE2WORLD; }
    static float World2Tile(float f) { return f * WORLD2TILE; }
    static float BackDrop2World(float f) { return f * ONE_OVER_SCALE; }
    static float World2BackDrop(float f) { return f * SCALE; }

    // Decals and the map writers.
    static BYTE GetDecalIndex(CCRC32 name, LocationEntry* entry);
    static void PlotDecal(CVector& p, BYTE decal, LocationEntry* entry);
    static BYTE GetDecal(const CVector& p, LocationEntry* entry);
    static void PlotDecal(int row, int column, BYTE decal, LocationEntry* entry);
    static BYTE GetDecal(int row, int column, LocationEntry* entry);
    static bool WriteFOWData(LocationEntry* entry, int column, int row, MapWritePos* runs, float value);
    static bool WriteDecalData(LocationEntry* entry, int column, int row, MapWritePos* runs, BYTE* data, DWORD size);
    static bool WriteTileData(LocationEntry* entry, int column, int row, short layer, MapWritePos* runs,
                              MapWriteCell* cells, DWORD flags);
    static void WriteTileHeight(LocationEntry* entry, int column, int row, short height);
    static bool ReadTileData(LocationEntry* entry, int column, int row, MapWritePos* runs, MapWriteCell* cells,
                             DWORD flags);
    static bool SetLocationFOWPtr(LocationEntry* entry, float* grid, int size);
    static float* GetLocationFOWPtr(LocationEntry* entry, int& size);
    static int GetLocationInfo(LocationEntry* entry, MapInfo& info);
    static BorderExclude* GetBorderExcludes(LocationEntry* entry);

    static LocationEntry* LocationArray[MAX_LOCATIONS];
    static float TILEWIDTH;
    static float VIEW_SCALE;
    static float SCALE;
    static float ONE_OVER_SCALE;
    static float TILE2WORLD;
    static float WORLD2TILE;
    static DWORD TILESHIFT;
    static GmvWorld* pThe;

    int Viewport;
    float PathTime;
    float ShearCenterX;
    float ShearCenterY;
    float ShearSlopeX;
    float ShearSlopeY;
    int LocationCount;

private:
    void AddLocation(CRendMap* map);
    void RemoveLocation(CRendMap* map);
    static bool ViewportMatches(short viewport);
    static bool InExtent(const LocationEntry* entry, float x, float y);
    static float HeightOver(const LocationEntry* entry, const CVector& p);
};

// Takes every location out of the scene when it is created; then sleeps for good.
class GMapUnlinkRender : public GObject {
    DECLARE_GOBJECT(GMapUnlinkRender, GObject)
    GMapUnlinkRender();
};
