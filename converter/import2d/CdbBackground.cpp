#include "converter/import2d/CdbBackground.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ScriptPath.h"
#include "converter/import2d/CdbTexture.h"
#include "converter/import2d/CzBitmap.h"
#include "converter/import3d/CMaterial.h"
#include "converter/import3d/RecordOut.h"
#include "core/names/CCRC32.h"
#include "core/riff/CZRiffFile.h"
#include "engine/include/ZelFormat.h"

bool g_MapDiagnostics = false;

unsigned long CdbBackground::TypeId = CdbElement::RegisterFactory("CdbBackground", &CdbBackground::Create);

namespace {

const int kTileSide = 32;
const unsigned long kTileBytes = kTileSide * kTileSide * 4;
const unsigned long kCollisionRecord = 9;

int MapTrace(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
int MapTrace(int level, const char* format, ...)
{
    if (!g_MapDiagnostics)
        return 0;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return VerbosePrintf(level, "%s", text);
}

// A map file read front to back; a read past its end is fatal, naming the file, the part
// being read and its place.
class MapFile {
public:
    explicit MapFile(const char* name) : m_Name(name), m_File(OpenScriptFile(name, "rb"))
    {
        if (!m_File)
            vbail("\nUnable to open file, %s.\n%s", name, strerror(errno));
    }
    ~MapFile() { std::fclose(m_File); }
    void Read(void* out, unsigned long bytes, const char* what)
    {
        const long at = std::ftell(m_File);
        if (bytes && std::fread(out, 1, bytes, m_File) != bytes)
            vbail("\nMap file %s ends inside %s (at byte %ld).\n", m_Name, what, at);
    }
    unsigned long Word(const char* what)
    {
        unsigned char b[4];
        Read(b, 4, what);
        return static_cast<unsigned long>(b[0]) | static_cast<unsigned long>(b[1]) << 8 |
               static_cast<unsigned long>(b[2]) << 16 | static_cast<unsigned long>(b[3]) << 24;
    }
    void Skip(unsigned long long bytes, const char* what)
    {
        std::vector<unsigned char> scratch(65536);
        while (bytes) {
            const unsigned long step = (unsigned long)std::min<unsigned long long>(bytes, scratch.size());
            Read(scratch.data(), step, what);
            bytes -= step;
        }
    }

private:
    const char* m_Name;
    FILE* m_File;
};

unsigned long PaddedRow(unsigned long width) { return (width + 1 + 3) & ~3ul; }

} // namespace

CdbBackground::CdbBackground(const char* label, CDatabase* database) : CdbElement(label, database) {}

CdbElement* CdbBackground::Create(const char* label, CDatabase* database) { return new CdbBackground(label, database); }

void CdbBackground::SetSize(unsigned long width, unsigned long height)
{
    m_Width = width;
    m_Height = height;
    m_Cells.assign(size_t(width) * height, Cell());
}

void CdbBackground::ImportMap(const char* fileName, float scale)
{
    m_TileWidth = scale;
    MapFile file(fileName);
    const unsigned long version = file.Word("its version");
    if (version != 2 && version != 3)
        vbail("\nIncorrect orvel version, %s\n", fileName);
    const unsigned long w = file.Word("its width"), h = file.Word("its height");
    // The engine takes at most 1024 cells a side; a larger size is a damaged file.
    if (w + 1 > 1024 || h + 1 > 1024 || w == 0 || h == 0)
        vbail("\nMap file %s: its size %lu by %lu tiles is outside 1 to 1023 a side.\n", fileName, w, h);
    SetSize(w + 1, h + 1);
    MapTrace(2, "  MAP size: %lu by %lu tiles\n", w + 1, h + 1);
    for (int layer = 1; layer <= 2; ++layer) {
        unsigned char groundZero = 0;
        file.Read(&groundZero, 1, "a layer's ground zero");
        const long amplitude = long(file.Word("a layer's amplitude"));
        MapTrace(2, "  Ground Zero = %g, Amplitude = %g\n", double(groundZero), double(amplitude));
        const unsigned long textures = file.Word("a layer's texture count");
        MapTrace(2, "  Texture count = %lu  - Loading textures\n", textures);
        if (layer == 1) {
            // The first layer is not used: step over it.
            file.Skip((unsigned long long)textures * kTileBytes, "layer 1's tiles");
            file.Skip((unsigned long long)w * h * 4, "layer 1's map words");
            file.Skip((unsigned long long)(h + 1) * PaddedRow(w), "layer 1's heights");
            file.Skip((unsigned long long)file.Word("layer 1's collision count") * kCollisionRecord,
                      "layer 1's collision records");
            continue;
        }
        for (unsigned long t = 0; t < textures; ++t) {
            std::vector<unsigned char> pixels(kTileBytes);
            file.Read(pixels.data(), kTileBytes, "a tile image");
            CzBitmap bitmap;
            bitmap.Allocate(kTileSide, kTileSide);
            for (int y = 0; y < kTileSide; ++y)
                for (int x = 0; x < kTileSide; ++x) {
                    const unsigned char* p = &pixels[size_t(4 * (y * kTileSide + x))];
                    bitmap.At(x, y) = CPixel(p[2], p[1], p[0], p[3]); // stored blue, green, red, alpha
                }
            char name[600];
            if (t == 0)
                std::snprintf(name, sizeof name, "%s_Textures", GetLabel());
            else
                std::snprintf(name, sizeof name, "%s_Textures_%03lu", GetLabel(), t);
            CdbTexture* texture = new CdbTexture(name, GetDatabase());
            texture->LoadAbsolute(bitmap, GetDatabase()->CurrentFormat, true);
            if (t == 0)
                m_TextureName = name;
        }
        MapTrace(2, "  Textures loaded, loading map data\n");
        for (unsigned long y = 0; y < h; ++y)
            for (unsigned long x = 0; x < w; ++x) {
                At(x, y).Base.Tile = file.Word("the map words");
                MapTrace(3, "%4lu ", At(x, y).Base.Tile);
            }
        for (unsigned long y = 0; y <= h; ++y)
            for (unsigned long x = 0; x <= w; ++x) {
                const float weights[4] = {0, 0, 1.0f, 1.0f};
                std::copy(weights, weights + 4, At(x, y).Base.Weights);
            }
        MapTrace(2, "  Map data loaded, loading heightmap\n");
        std::vector<unsigned char> row(PaddedRow(w));
        for (unsigned long y = 0; y <= h; ++y) {
            file.Read(row.data(), (unsigned long)row.size(), "the heights");
            for (unsigned long x = 0; x <= w; ++x) {
                At(x, y).Height = float(double(row[x]) * double(amplitude) * double(0.003921569f) - double(groundZero));
                MapTrace(3, "% 7.2f ", double(At(x, y).Height));
            }
        }
        const unsigned long collisions = file.Word("layer 2's collision count");
        MapTrace(2, "  heightmap data loaded, collision size = %lu - ignored\n", collisions);
        file.Skip((unsigned long long)collisions * kCollisionRecord, "layer 2's collision records");
        MapTrace(2, "  Layer load complete\n\n");
    }
    MapTrace(2, "  Map load complete\n\n");
}

// Tile index, rotation and the four corner weights in eighths.
unsigned long CdbBackground::TileWord(const Layer& layer) const
{
    auto eighths = [](float weight) { return (unsigned long)(long(weight * 8.0f)) & 15; };
    return (layer.Tile & 0xFFF) | (unsigned long)(layer.Rotation & 15) << 12 | eighths(layer.Weights[0]) << 16 |
           eighths(layer.Weights[1]) << 24 | eighths(layer.Weights[2]) << 20 | eighths(layer.Weights[3]) << 28;
}

void CdbBackground::DumpMaterials(CZelWriter& writer)
{
    std::string name = std::string(GetLabel()) + "_Materials";
    for (int i = 0; i < 16; ++i, name += "X") {
        CMaterial material;
        material.Name = name;
        material.Format = GetDatabase()->CurrentFormat;
        material.Format.ExplicitFormat = 1;
        if (i > 0) {
            material.Red = 0.0f;
            material.Green = 1.0f;
            material.Blue = 0.0f;
        }
        material.Dump(writer, 0);
    }
}

void CdbBackground::DumpCells(CZelWriter& writer, float& low, float& high)
{
    low = 1e30f;
    high = -1e30f;
    if (m_Cells.empty())
        return;
    writer.DefineSymbol((std::string(GetLabel()) + "_MapCells").c_str(), nullptr, false, 4);
    const unsigned long userShift = Constant("BACKGROUND_USER_SHIFT");
    const unsigned long flipBase = Constant("BACKGROUND_FLIP_UV_BASE"), flipTop = Constant("BACKGROUND_FLIP_UV_TOP");
    const unsigned long split = Constant("BACKGROUND_FLIP_SPLIT");
    for (unsigned long y = 0; y < m_Height; ++y)
        for (unsigned long x = 0; x < m_Width; ++x) {
            const Cell& cell = At(x, y);
            low = std::min(low, cell.Height);
            high = std::max(high, cell.Height);
            const double sixteenths = std::trunc((double(cell.Height) + m_HeightOffset) * 16.0);
            if (sixteenths < SHRT_MIN || sixteenths > SHRT_MAX)
                vbail("Map %s: the height %g of cell (%lu, %lu) is outside the range of a terrain cell\n", GetLabel(),
                      double(cell.Height) + m_HeightOffset, x, y);
            RecordOut out(writer, "BasicCell", nullptr, false);
            out.Unsigned("Flags",
                         (cell.Base.FlipUV ? flipBase : 0) | (cell.Top.FlipUV ? flipTop : 0) |
                             (cell.Split ? split : 0) | ((cell.UserBits & 0xFFul) << userShift & 0xFF),
                         "unsigned char");
            out.Unsigned("DecalIndex", 0, "unsigned char");
            out.Signed("Height", long(sixteenths));
            out.Unsigned("BaseTile", TileWord(cell.Base));
            out.Unsigned("TopTile", TileWord(cell.Top));
            if (g_MapHack) {
                RecordOut extra(writer, "ExtraCellData", nullptr, false);
                extra.Unsigned("Flags", 0, "unsigned char");
                extra.Unsigned("VertNormal", 0);
            }
        }
}

// The border list, when the map has one: true when written.
bool CdbBackground::DumpBorders(CZelWriter& writer)
{
    if (!m_Border)
        return false;
    writer.DefineSymbol((std::string(GetLabel()) + "_BorderExcludes").c_str(), nullptr, false, 4);
    for (const BorderEntry& b : m_Borders) {
        const bool alongY = b.From[0] == b.To[0];
        unsigned long side;
        float start, end;
        if (alongY) {
            side = Constant(b.From[0] == 0 ? "BORDER_EAST" : "BORDER_WEST");
            start = std::min(b.From[1], b.To[1]);
            end = std::max(b.From[1], b.To[1]);
        } else {
            side = Constant(b.From[1] == 0 ? "BORDER_NORTH" : "BORDER_SOUTH");
            start = std::min(b.From[0], b.To[0]);
            end = std::max(b.From[0], b.To[0]);
        }
        RecordOut out(writer, "BorderExclude", nullptr, false);
        out.Unsigned("Side", side);
        out.Unsigned("Start", (unsigned long)(start / m_TileWidth), "unsigned short");
        out.Unsigned("End", (unsigned long)(end / m_TileWidth), "unsigned short");
    }
    RecordOut last(writer, "BorderExclude", nullptr, false);
    last.Unsigned("Side", Constant("BORDER_TERMINATE"));
    return true;
}

void CdbBackground::DumpMapRecord(CZelWriter& writer, float low, float high, bool borders)
{
    const std::string label = GetLabel();
    const unsigned long cellSize = TypeSize("BasicCell") + (g_MapHack ? TypeSize("ExtraCellData") : 0);
    if (m_TileWidth < 1.0f || m_TileWidth > 65535.0f)
        vbail("Map %s: its tile width %g is outside 1 to 65535 world units\n", label.c_str(), double(m_TileWidth));
    if (m_Cells.empty()) {
        low = 100.0f;
        high = -100.0f;
    }
    RecordOut map(writer, "CRendMap", label.c_str(), true);
    map.Unsigned("Map.Flags", Constant("BACKGROUND_BATCH_USE_SPLIT_FLAG"));
    map.Unsigned("Map.MapWidth", m_Width, "unsigned short");
    map.Unsigned("Map.MapHeight", m_Height, "unsigned short");
    map.Unsigned("Map.CellSize", cellSize, "unsigned short");
    map.Unsigned("Map.UserDataOffset", 0, "unsigned short");
    map.Unsigned("Map.UserDataSize", 0, "unsigned short");
    map.Unsigned("Map.TileWidth", (unsigned long)m_TileWidth, "unsigned short");
    map.Float("Map.ooTileWidth", 1.0f / m_TileWidth);
    map.Unsigned("Map.MapRowSize", m_Width * cellSize);
    map.Float("Map.MaxZheight", high + m_HeightOffset);
    map.Float("Map.MinZheight", low + m_HeightOffset);
    if (!m_Cells.empty())
        map.Pointer("Map.pMapCells", label + "_MapCells");
    map.Pointer("Map.pMaterialList", label + "_Materials");
    map.Pointer("Map.pTextures", FindSharedTexture());
    if (borders)
        map.Pointer("Map.pBorderExcludeList", label + "_BorderExcludes");
    if (!m_DecalMapName.empty()) {
        map.Pointer("Map.pDecals", m_DecalMapName);
        map.Pointer("Map.pDecalTextures", m_DecalMapName + "_DecalTextures");
        // Maps of the texture-sharing tool are maps too.
        if (auto* decals = dynamic_cast<CdbBackground*>(GetDatabase()->FindElement(m_DecalMapName.c_str())))
            map.Unsigned("Map.LastFOWDecal", decals->LastFOWDecal(), "unsigned short");
        map.Pointer("Map.pDecalMaterialList", label + "_Materials");
        map.Pointer("ppDecalHashTable", m_DecalMapName + "_DecalHashTable");
    }
    map.Float("Map.Origin.X", m_OriginX);
    map.Float("Map.Origin.Y", m_OriginY);
    map.Unsigned("Map.ViewportData", m_ViewportData);
    map.Unsigned("Map.CameraMask", m_CameraMask);
    map.Unsigned("Map.VBatch.NumVerts", 4);
    map.Pointer("Map.VBatch.pVertexList", label + "_Verts");
    map.Pointer("Map.VBatch.pPrimitiveList", label + "_PBatch");
    map.Unsigned("Map.VBatch.Flags", Constant("VERT_TRANSFORM"));
    map.Unsigned("Map.VBatch.VertexSize", 40, "unsigned short");
    map.Unsigned("Map.VBatch.NormalOffset", 12, "unsigned short");
    map.Unsigned("Map.VBatch.NumNormals", 1, "unsigned short");
    map.Unsigned("Map.VBatch.TexCoordOffset", 24, "unsigned short");
    map.Unsigned("Map.VBatch.NumTexCoords", 2, "unsigned short");
}

// The one-quad vertex batch the map record carries: zero vertices, two triangles and the
// material slots of its two layers.
void CdbBackground::DumpVertexBatch(CZelWriter& writer)
{
    const std::string label = GetLabel();
    const int vertices = g_MapHack ? 8 : 4, triangles = g_MapHack ? 4 : 2;
    writer.DefineSymbol((label + "_Verts").c_str(), nullptr, false, 4);
    const std::vector<unsigned char> zeros(size_t(vertices) * 40);
    writer.WriteData(zeros.data(), 1, (unsigned long)zeros.size(), "map vertices");
    RecordOut batch(writer, "PrimitiveBatch", (label + "_PBatch").c_str(), false);
    batch.Unsigned("NumPrimitives", 2, "unsigned short");
    batch.Unsigned("NumTriangles", 2, "unsigned short");
    // The material slots follow the indices; the offset counts from its own member.
    const unsigned long indexBytes = (unsigned long)triangles * 3 * 2;
    batch.Signed("OffsetToMaterialData", long(batch.Size() - 6 + indexBytes));
    batch.Unsigned("NumMaterials", 1, "unsigned short");
    batch.Unsigned("Flags", Constant("PRIM_CULL_BACK") | Constant("PRIM_ZBUFFER") | Constant("PRIM_ZWRITES"),
                   "unsigned short");
    const std::vector<unsigned char> indices(indexBytes);
    writer.WriteData(indices.data(), 1, indexBytes, "map indices");
    const unsigned long bilinearLight = Constant("MAT_DATA_BILINEAR") | Constant("MAT_DATA_LIGHT");
    RecordOut first(writer, "MaterialData", (label + "_MatData").c_str(), false);
    first.Unsigned("Flags", bilinearLight, "unsigned short");
    RecordOut second(writer, "MaterialData", (label + "_MatData1").c_str(), false);
    second.Signed("TexCoordIndex", 1);
    second.Unsigned("Flags", bilinearLight | Constant("MAT_DATA_ALPHA"), "unsigned short");
}

void CdbBackground::Dump(CZelWriter& writer)
{
    VerbosePrintf(2, "  CdbBackground::Dump() : %s\n", GetLabel());
    if (m_DecalMap) {
        DumpDecals(writer);
        return;
    }
    writer.SelectSegment(ZelFormat::kSegData);
    DumpMaterials(writer);
    float low, high;
    DumpCells(writer, low, high);
    const bool borders = DumpBorders(writer);
    DumpMapRecord(writer, low, high, borders);
    DumpVertexBatch(writer);
}

// Decal cells are numbered row by row, each row's run from its first column while the top
// layer has weight. Every numbered cell becomes a decal (number = index + 1); animated runs
// step to the next cell's decal and cycle back to their first, still ones stay.
std::vector<CdbBackground::DecalCell> CdbBackground::NumberDecals() const
{
    std::vector<DecalCell> out;
    for (unsigned long y = 0; y < m_Height; ++y) {
        const size_t first = out.size();
        unsigned long time = 0;
        for (unsigned long x = 0; x < m_Width; ++x) {
            const Cell& cell = m_Cells[y * m_Width + x];
            const float* w = cell.Top.Weights;
            if (w[0] == 0 && w[1] == 0 && w[2] == 0 && w[3] == 0)
                break;
            if (x == 0 || cell.DecalTime)
                time = cell.DecalTime ? cell.DecalTime : time;
            out.push_back(DecalCell{&cell, time, 0, x == 0});
        }
        for (size_t i = first; i < out.size(); ++i) {
            const unsigned long number = (unsigned long)i + 1;
            const bool last = i + 1 == out.size();
            out[i].Next = out[i].Time == 0 ? number : last ? (unsigned long)first + 1 : number + 1;
        }
    }
    return out;
}

std::string CdbBackground::FindSharedTexture() const
{
    CDatabase* database = GetDatabase();
    const CdbTexture* named = dynamic_cast<CdbTexture*>(database->FindElement(m_TextureName.c_str()));
    if (!named)
        return m_TextureName;
    if (named->GetUniqueifier() == m_Uniqueifier)
        return named->GetLabel();
    for (int i = 0; i < database->GetSize(); ++i) {
        const CdbTexture* texture = dynamic_cast<CdbTexture*>((*database)[i]);
        if (texture && texture->GetUniqueifier() == m_Uniqueifier)
            return texture->GetLabel();
    }
    vbail("\nCould not find renamed (shared) texture with matching uniqueifier\n%s\nThis generally means you need to "
          "run these maps thru the tamble again\n",
          m_TextureName.c_str());
}

unsigned long CdbBackground::LastFOWDecal() const
{
    const std::vector<DecalCell> cells = NumberDecals();
    for (size_t i = 0; i < cells.size(); ++i)
        if (cells[i].Source->DecalFlags & 2)
            return (unsigned long)i;
    return (unsigned long)cells.size();
}

void CdbBackground::DumpDecals(CZelWriter& writer)
{
    const std::string label = GetLabel();
    VerbosePrintf(2, "  CdbBackground::DumpDecal() : %s\n", label.c_str());
    CdbElement* textures = m_TextureName.empty() ? nullptr : GetDatabase()->FindElement(FindSharedTexture().c_str());
    if (!textures)
        vbail("Decal Map %s cannot find textures!\n%s", label.c_str(), m_TextureName.c_str());
    if (CdbTexture* texture = dynamic_cast<CdbTexture*>(textures))
        texture->SetAlias((label + "_DecalTextures").c_str());
    const std::vector<DecalCell> cells = NumberDecals();
    // Keys sorted by their bucket, each with the first decal of its run.
    std::vector<std::pair<unsigned long, unsigned long>> keys;
    for (size_t i = 0; i < cells.size(); ++i) {
        const unsigned long key = cells[i].Source->DecalKey;
        if (!key || !cells[i].RunStart)
            continue;
        auto at = std::find_if(keys.begin(), keys.end(), [&](const std::pair<unsigned long, unsigned long>& k) {
            return (k.first & 15) > (key & 15);
        });
        keys.insert(at, std::make_pair(key, (unsigned long)i));
    }
    writer.SelectSegment(ZelFormat::kSegData);
    writer.DefineSymbol(label.c_str(), nullptr, true, 4);
    const unsigned long additive = Constant("DECAL_ADDITIVE"), flip = Constant("DECAL_FLIP_UV");
    for (const DecalCell& d : cells) {
        RecordOut out(writer, "DecalData", nullptr, false);
        out.Unsigned("Flags", ((d.Source->DecalFlags & 1) ? additive : 0) | (d.Source->Top.FlipUV ? flip : 0));
        out.Unsigned("Time", d.Time & 0xFF);
        out.Unsigned("NextDecal", d.Next & 0xFF);
        out.Unsigned("DecalTile", TileWord(d.Source->Top));
    }
    char bucketName[700];
    auto nameOf = [&](unsigned long bucket) {
        std::snprintf(bucketName, sizeof bucketName, "%s_%s_%02lu", label.c_str(), "_DecalHashTable", bucket);
        return std::string(bucketName);
    };
    writer.DefineSymbol((label + "_DecalHashTable").c_str(), nullptr, false, 4);
    for (unsigned long b = 0; b < 16; ++b)
        writer.AddPointerFixup(nameOf(b).c_str(), "decal hash bucket");
    bool named[16] = {};
    for (const auto& k : keys) {
        if (!named[k.first & 15])
            writer.DefineSymbol(nameOf(k.first & 15).c_str(), nullptr, false, 4);
        named[k.first & 15] = true;
        RecordOut entry(writer, "DecalEntry", nullptr, false);
        entry.Unsigned("Crc", k.first);
        entry.Unsigned("Index", k.second);
    }
    // A bucket without keys points at the closing entry, so every bucket pointer is defined.
    for (unsigned long b = 0; b < 16; ++b)
        if (!named[b])
            writer.DefineSymbol(nameOf(b).c_str(), nullptr, false, 4);
    RecordOut end(writer, "DecalEntry", nullptr, false);
    end.Unsigned("Crc", 0);
}

namespace {

// Element-database fields: little-endian words; a byte is written with its pad byte.
static_assert(sizeof(CdbBackground::Layer) == 24 && sizeof(CdbBackground::BorderEntry) == 24, "stored records");

struct FieldIO {
    CZRiffFile& file;
    bool writing;
    bool failed = false;
    template <class T> void Field(T& value)
    {
        if (writing)
            Put(value);
        else
            Get(value);
    }
    template <class T> void Put(const T& value) { failed = failed || file.Write(&value, sizeof value); }
    template <class T> void Get(T& value)
    {
        if constexpr (sizeof(T) == 1) {
            unsigned char padded[2];
            failed = failed || file.Read(padded, 2, false);
            std::memcpy(&value, padded, 1);
        } else {
            failed = failed || file.Read(&value, sizeof value, false);
        }
    }
    void PutText(const std::string& text) { failed = failed || file.WriteString(text.c_str()); }
    void GetText(std::string& text) { failed = failed || file.ReadString(text); }
};

// A cell's stored fields, the same for both directions.
void CellFields(FieldIO& io, CdbBackground::Cell& c)
{
    io.Field(c.Height);
    io.Field(c.Base);
    io.Field(c.Top);
    io.Field(c.Split);
    io.Field(c.DecalFlags);
    io.Field(c.DecalTime);
    io.Field(c.DecalKey);
    io.Field(c.UserBits);
    io.Field(c.Spare);
}

} // namespace

bool CdbBackground::Save(CZRiffFile& file, int formatVersion)
{
    if (CdbElement::Save(file, formatVersion))
        return true;
    FieldIO io{file, true};
    io.Put(m_Height);
    io.Put(m_Width);
    io.Put(m_TileWidth);
    io.Put(m_OriginX);
    io.Put(m_OriginY);
    io.Put(m_HeightOffset);
    io.Put(m_Uniqueifier);
    io.Put(m_ViewportData);
    io.Put(m_DecalMap);
    io.Put(m_CameraMask);
    io.PutText(m_DecalMapName);
    io.PutText(m_TextureName);
    io.Put((unsigned long)m_Strings.size());
    for (const std::string& s : m_Strings)
        io.PutText(s);
    io.Put(m_Border);
    io.Put((unsigned long)m_Borders.size());
    for (const BorderEntry& b : m_Borders)
        io.Put(b);
    for (Cell& c : m_Cells)
        CellFields(io, c);
    return io.failed;
}

bool CdbBackground::Load(CZRiffFile& file, int elementVersion)
{
    if (CdbElement::Load(file, elementVersion))
        return true;
    // Records of versions 1 and 2 hold an older cell layout this converter does not convert.
    if (elementVersion < 3 || elementVersion > 12)
        vbail("Bad map format\nmap %s: element record version %d", GetLabel(), elementVersion);
    FieldIO io{file, false};
    unsigned long height = 0, width = 0;
    io.Get(height);
    io.Get(width);
    if (io.failed || width > 1024 || height > 1024)
        vbail("Bad map format\nmap %s: its size %lu by %lu cells", GetLabel(), width, height);
    io.Get(m_TileWidth);
    if (elementVersion >= 5) {
        io.Get(m_OriginX);
        io.Get(m_OriginY);
        io.Get(m_HeightOffset);
    }
    if (elementVersion >= 6)
        io.Get(m_Uniqueifier);
    if (elementVersion >= 7)
        io.Get(m_ViewportData);
    if (elementVersion >= 8)
        io.Get(m_DecalMap);
    if (elementVersion >= 9)
        io.Get(m_CameraMask);
    io.GetText(m_DecalMapName);
    io.GetText(m_TextureName);
    unsigned long strings = 0;
    io.Get(strings);
    for (unsigned long i = 0; i < strings && !io.failed; ++i) {
        std::string s;
        io.GetText(s);
        m_Strings.push_back(s);
    }
    if (elementVersion >= 12) {
        io.Get(m_Border);
        unsigned long borders = 0;
        io.Get(borders);
        for (unsigned long i = 0; i < borders && !io.failed; ++i) {
            BorderEntry b;
            io.Get(b);
            m_Borders.push_back(b);
        }
    }
    SetSize(width, height);
    for (Cell& c : m_Cells)
        CellFields(io, c);
    return io.failed;
}
