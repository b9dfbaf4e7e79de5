#pragma once
// A level's terrain: a regular grid of height vertices ("cells") built in place from packed
// data. Besides drawing it answers height, cell and segment queries for the world, and takes
// run-list writes from the world, the fog of war and the decal effects while the level runs.
#include "engine/include/RhuTypes.h"
#include "engine/render/CRendResource.h"
#include "engine/render/Material.h"

class CRendTexture;

#pragma pack(push, 1)
struct BasicCell {
    unsigned char Flags; // BACKGROUND_* bits 0-3, the user value (passability) in bits 4-7
    unsigned char DecalIndex;
    short Height; // sixteenths of a world unit
    unsigned long BaseTile;
    unsigned long TopTile;
    unsigned long VertNormal; // bytes 0-2 the normal as signed bytes of length 127, byte 3 the decal timer
};

struct DecalData {
    unsigned char Flags; // DECAL_FLIP_UV, DECAL_ADDITIVE
    unsigned char Time;
    unsigned char NextDecal;
    unsigned char pad0;
    unsigned long DecalTile;
};

struct BorderExclude {
    unsigned long Side;
    unsigned short Start;
    unsigned short End;
};

// One run of a run list: cells from (x + dx, y + dy) towards increasing column. A count of 0
// ends the list.
struct MapWritePos {
    short dx;
    short dy;
    long count;
};

struct MapWriteCell {
    unsigned char Flags;
    unsigned char FlagMask; // on writing, the flag bits replaced; on reading, the DecalIndex
    short Height;
    unsigned long BaseTile;
    unsigned long TopTile;
};

struct BackgroundBatch {
    unsigned long Flags;
    CVector Origin;
    unsigned short MapWidth;
    unsigned short MapHeight;
    unsigned short CellSize;
    unsigned short UserDataOffset;
    unsigned short UserDataSize;
    unsigned short TileWidth;
    float ooTileWidth;
    unsigned long MapRowSize;
    float MaxZheight;
    float MinZheight;
    BasicCell* pMapCells;
    unsigned short NumMaterialLists;
    unsigned short DefaultMaterialList;
    Material* pMaterialList; // sets of 16
    CRendTexture* pTextures;
    unsigned short LastFOWDecal;
    unsigned char NumDecalMaterialLists;
    unsigned char DefaultDecalMaterialList;
    Material* pDecalMaterialList;
    CRendTexture* pDecalTextures;
    DecalData* pDecals; // decal n is entry n - 1
    rhu::VertexBatch VBatch;
    unsigned long ViewportData;
    unsigned long CameraMask;
    BorderExclude* pBorderExcludeList;
};
#pragma pack(pop)

struct MapInfo {
    CVector* pOrigin;
    unsigned char* pDecals; // the first cell's DecalIndex, step CellSize
    unsigned short MapWidth;
    unsigned short MapHeight;
    unsigned short TileWidth;
    unsigned short CellSize;
    unsigned long MapRowSize;
};

// The linear height tilt every terrain height adds; the world sets it when it is made.
struct WorldShearValues {
    float ShearCenterX;
    float ShearCenterY;
    float ShearSlopeX;
    float ShearSlopeY;

    float At(float x, float y) const { return (x - ShearCenterX) * ShearSlopeX + (y - ShearCenterY) * ShearSlopeY; }
};
extern WorldShearValues WorldShear;

// Tile word fields.
inline unsigned TileNumber(unsigned long tile) { return unsigned(tile & 0xFFF); }
inline unsigned TileMaterial(unsigned long tile) { return unsigned(tile >> 12 & 15); }

#pragma pack(push, 1)
class CRendMap : public CRendResource {
public:
    struct DecalEntry {
        unsigned long Crc; // the decal's name key; 0 ends a bucket
        unsigned long Index;
    };
    enum : unsigned long {
        WRITE_CONSTANT = 0x01,
        WRITE_BASE = 0x02,
        WRITE_TOP = 0x04,
        WRITE_HEIGHT = 0x08,
        READ_FLAGS = 0x10,
        READ_DECAL = 0x20,
    };

    // Built in place over packed data: a map that fails its checks is refused with a message
    // naming its file and is kept empty (no cells, drawn as nothing, not registered).
    CRendMap();
    ~CRendMap() override;
    CRendMap(const CRendMap& other);
    CRendMap& operator=(const CRendMap& other);

    void Render(CRender* render) override;
    int GetSize(CVector& min, CVector& max) override;
    void GetBoundingBox(RECT& box, int index) override;

    BackgroundBatch* GetMapData() { return &Map; }
    BorderExclude* GetBorderExcludes() { return Map.pBorderExcludeList; }
    void GetMapInfo(CRender* render, MapInfo& info);
    BasicCell* GetBasicCell(float x, float y);
    // The cell of column c, row r; the caller keeps both inside the map.
    BasicCell& Cell(int c, int r)
    {
        return *reinterpret_cast<BasicCell*>(reinterpret_cast<unsigned char*>(Map.pMapCells) + r * Map.MapRowSize +
                                             c * Map.CellSize);
    }
    bool IsEmpty() const { return Map.MapWidth < 2 || Map.MapHeight < 2; }

    float GetHeightData(const CVector& point, CVector& normal);
    // Fraction 0..1 along the segment of its first hit with the terrain, or -1.
    float FindIntersection(const CVector& from, const CVector& to, int* out);
    void CalcNormals(int x0, int y0, int x1, int y1);
    void CalcNormals();
    void FillNormals();
    int GetDecalIndex(unsigned long key);
    void UpdateDecals();

    void SetFOWPtr(float* buffer, int stride)
    {
        pFOWBuffer = buffer;
        iFOWStride = stride;
    }
    float* GetFOWPtr(int& stride)
    {
        stride = int(iFOWStride);
        return pFOWBuffer;
    }

    void WriteFOWData(int x, int y, const MapWritePos* runs, float value);
    void WriteDecalData(int x, int y, const MapWritePos* runs, const unsigned char* source, unsigned long flags);
    void WriteTileData(int x, int y, short heightOffset, const MapWritePos* runs, const MapWriteCell* source,
                       unsigned long flags);
    void WriteTileHeight(int x, int y, short height);
    void ReadTileData(int x, int y, const MapWritePos* runs, MapWriteCell* destination, unsigned long flags);

    float* pFOWBuffer;
    long iFOWStride;
    BackgroundBatch Map;
    DecalEntry** ppDecalHashTable;

private:
    bool CheckRecord();
    bool CheckTiles();
    bool CheckDecals();
    bool CheckLists();
    void Refuse(const char* what);
    template <class Visit> void ForRuns(int x, int y, const MapWritePos* runs, Visit visit);
    bool CellTest(int a, int b, const CVector& start, const CVector& dir, float& t);
};
#pragma pack(pop)
static_assert(sizeof(BasicCell) == 16, "BasicCell is a 16-byte record");
static_assert(sizeof(BackgroundBatch) == 140, "BackgroundBatch is a 140-byte record");
static_assert(sizeof(CRendMap) == 156, "CRendMap is a 156-byte record");
