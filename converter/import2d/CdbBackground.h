#pragma once
// The converter's terrain map: a grid of cells with a height and two texture layers each, the
// tile textures, optional border exclusions, read from a map file of the map-authoring tool
// ("orvel" format) and written as the engine's terrain map resource.
#include "converter/core/CdbElement.h"

#include <string>
#include <vector>

class CZelWriter;

// Set by "Diagnostic maps": the map import traces what it reads.
extern bool g_MapDiagnostics;

class CdbBackground : public CdbElement {
public:
    struct Layer {
        unsigned long Tile = 0; // low 12 bits the tile index
        unsigned char Rotation = 0;
        unsigned char Spare = 0;
        unsigned short FlipUV = 0;
        float Weights[4] = {0, 0, 0, 0};
    };
    struct Cell {
        float Height = 0;
        Layer Base, Top;
        unsigned long DecalTime = 0;
        unsigned long DecalKey = 0;
        unsigned short Split = 0;
        unsigned short DecalFlags = 0;
        unsigned short UserBits = 0;
        unsigned short Spare = 0;
        unsigned long NextDecal = 0;
    };
    struct BorderEntry {
        float From[3];
        float To[3];
    };

    CdbBackground(const char* label, CDatabase* database);
    static CdbElement* Create(const char* label, CDatabase* database);

    // Reads a map file; the scale is the tile width. Any fault of the file is fatal, naming it.
    void ImportMap(const char* fileName, float scale);

    void Dump(CZelWriter& writer) override;
    bool Save(CZRiffFile& file, int formatVersion) override;
    bool Load(CZRiffFile& file, int elementVersion) override;
    unsigned long GetTypeId() const override { return TypeId; }
    // The map record versions run to 12; CTambleMap files use the same ones.
    unsigned long GetVersion() const override { return 12; }

    const std::string& GetTextureName() const { return m_TextureName; }
    unsigned long GetWidth() const { return m_Width; }
    unsigned long GetHeight() const { return m_Height; }
    Cell& At(unsigned long x, unsigned long y) { return m_Cells[y * m_Width + x]; }

    // The number of the last fog-of-war decal of a decal map: decals 1 to it.
    unsigned long LastFOWDecal() const;
    // The label of the texture the tiles come from: the texture of the map's texture name when
    // its uniqueifier is the map's, else the first texture carrying the map's uniqueifier (the
    // texture-sharing tool renames shared textures); the name itself when it names no texture.
    std::string FindSharedTexture() const;

    static unsigned long TypeId;

private:
    struct DecalCell {
        const Cell* Source;
        unsigned long Time;
        unsigned long Next; // decal number
        bool RunStart;
    };
    std::vector<DecalCell> NumberDecals() const;
    void DumpDecals(CZelWriter& writer);
    void SetSize(unsigned long width, unsigned long height);
    void DumpMaterials(CZelWriter& writer);
    void DumpCells(CZelWriter& writer, float& low, float& high);
    bool DumpBorders(CZelWriter& writer);
    void DumpMapRecord(CZelWriter& writer, float low, float high, bool borders);
    void DumpVertexBatch(CZelWriter& writer);
    unsigned long TileWord(const Layer& layer) const;

    unsigned long m_Height = 0, m_Width = 0; // cells
    float m_TileWidth = 1.0f;
    unsigned long m_ViewportData = 1;
    unsigned long m_CameraMask = 255;
    float m_OriginX = 0, m_OriginY = 0, m_HeightOffset = 0;
    unsigned char m_DecalMap = 0;
    std::vector<Cell> m_Cells;
    std::string m_TextureName, m_DecalMapName;
    unsigned long m_Uniqueifier = 0;
    std::vector<std::string> m_Strings;
    unsigned char m_Border = 0;
    std::vector<BorderEntry> m_Borders;
};
