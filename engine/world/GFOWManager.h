#pragma once
// The fog of war: for every unit square of the level's ground, the game time until which it is
// visible (below 0 never seen; from 0 up to now seen before). Units reveal discs, effects ask
// how strongly to tint themselves, the terrain draws the grid through the pointer each location
// is handed, and the mini-map draws it as a small overlay texture. Building the manager also
// carves the black border of every location that lists border exclusions, and has the section
// grid built for the level.
#include "core/math/CVector.h"
#include "engine/object/GObject.h"
#include "engine/render/TerrainDraw.h"

class CDynamicTexture;
class CEmbeddedFillData;
class CRender;
class CRendTexture;
struct BorderExclude;
struct LocationEntry;

class GFOWManager : public GObject, public ITerrainFOW {
    DECLARE_GOBJECT(GFOWManager, GObject)

    // Seconds a plotted square stays visible after the last unit that sees it has gone.
    static constexpr float VISIBLE_TIME = 3.5f;
    // The rim around a unit's sight, in world units, and what a never-seen rim square gets.
    static constexpr float RIM = 1.5f;
    static constexpr float RIM_VALUE = 0.0001f;
    static constexpr float UNSEEN = -1.0f;
    // The largest overlay texture side.
    static const int MAX_OVERLAY_SIDE = 256;

    GFOWManager();
    ~GFOWManager() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    void WriteFOW(CVector& pos, float& value);
    // -1 outside the grid.
    float ReadFOW(CVector& pos);
    void ClearFOW(float& value);
    void PlotFOW(float radius, CVector& pos);
    // Mode 0 stores value over the disc, mode 1 only where it is greater, others nothing.
    void PlotFOWEx(float radius, CVector& pos, float value, int mode);
    // Moves colour toward the fog state at pos; false when the thing should not be drawn.
    bool TintFOW(float fowMode, CVector4& colour, CVector* pos, CRender* render, float* rate);
    // rotation: null or the mini-map's rotation record (sine, cosine, pivot x, y as its fifth
    // to eighth floats).
    void RenderFOW(CVector& corner1, CVector& corner2, const void* rotation);
    void SetOverlayCorners(const CVector& corner1, const CVector& corner2);

    // The terrain's view of the manager.
    void GetFOWColours(CVector4& visible, CVector4& unvisited, CVector4& visited, CVector4& edge) override;
    float GetGameTime() override;

    bool HasGrid() const { return pStorage != nullptr; }
    int GetColumns() const { return iColumns; }
    int GetRows() const { return iRows; }
    int GetStride() const { return iStride; }
    int GetStorageCount() const { return (iColumns + 2) * (iRows + 2); }
    float* GetStorage() const { return pStorage; }
    float* GetCells() const { return pCells; }
    // The overlay as last drawn: its texture, side and texel extents.
    CDynamicTexture* GetOverlayTexture() const;
    int GetOverlaySide() const;
    void GetOverlayExtents(int& width, int& height) const;

    static GFOWManager* pThe;
    // The 13 border sprite names, in index order.
    static const char* const FOWSpriteNames[13];

    float fOriginX;
    float fOriginY;
    int iStride;
    int iColumns;
    int iRows;
    float* pCells;
    float* pStorage;
    CVector OverlayCorner1;
    CVector OverlayCorner2;
    CVector4 VisibleRGB;
    CVector4 UnvisitedRGB;
    CVector4 VisitedRGB;
    CVector4 EdgeRGB;
    CVector4 VisibleMAP; // R, G, B, alpha, each 0 to 1
    CVector4 UnvisitedMAP;
    CVector4 VisitedMAP;
    CVector4 EdgeMAP;
    CEmbeddedFillData* pPathFinderData;

protected:
    // Every location's terrain stops drawing through this manager's grid.
    void DetachLocations();
    void Fill(float value);

private:
    void BuildGrid();
    void HandOut();
    void CarveBorder(LocationEntry* location, const BorderExclude* excludes);
    void MarkExcludedStrips(float* base, int w, int h, const BorderExclude* excludes);
    void PeelRing(LocationEntry* location, float* base, int w, int h, int pass);
    void WriteBorderDecal(LocationEntry* location, const float* cell, int column, int row, int pass, int neighbours);
    float* CellAt(const CVector& pos);
    int Column(float x) const;
    int Row(float y) const;
    void FillOverlay(unsigned short unvisited, unsigned short visited, unsigned short visible, int width, int height,
                     int step);
    void DrawOverlayQuad(float x0, float y0, float x1, float y1, const float* rotation);
};

// Stores the explored part of the grid in saved games, one bit a square.
class GFOWSaver : public GObject {
    DECLARE_GOBJECT(GFOWSaver, GObject)

    GFOWSaver();
    ~GFOWSaver() override;
    void SaveEx(CLoadSaveBuffer& stream) override;
    void LoadEx(CLoadSaveBuffer& stream) override;

    // Words the current grid saves (32 squares each).
    static unsigned long WordCount();

    static GFOWSaver* pThe;
};

// The manager of a level without fog of war: the grid is built (and with it the section grid)
// but everything counts as seen and the terrain draws without fog.
class GFOWManagerFaux : public GFOWManager {
    DECLARE_GOBJECT(GFOWManagerFaux, GFOWManager)

    GFOWManagerFaux();
};

// An empty placeholder the level scripts may name.
class GFog : public GObject {
    DECLARE_GOBJECT(GFog, GObject)

    bool OnReceiveMessage(CMessage* message) override;
    bool Process() override;
};
