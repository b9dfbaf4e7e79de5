#include "converter/import3d/ClwMesh.h"

#include "converter/core/CDatabase.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/PathOperations.h"
#include "converter/core/ScriptPath.h"
#include "converter/import3d/CMaterial.h"
#include "converter/import3d/CdbMaterial.h"
#include "converter/import3d/ClwFile.h"
#include "converter/import3d/ClwGeometry.h"
#include "converter/import3d/MeshTextures.h"

#include <sys/stat.h>

#include <cctype>
#include <cmath>
#include <cerrno>
#include <cstring>

namespace {

std::string Trim(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

bool Exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

void ClwMesh::AddGeometry(ClwFile& file, const char* layerName, int layerNumber, const float* pivot)
{
    std::string name = layerName ? layerName : "";
    VerbosePrintf(3, "ClwMesh::AddGeometry - %s\n", name.c_str());
    if (name.empty())
        name = "LOD_" + std::to_string(layerNumber);
    ClwGeometry* geometry = new ClwGeometry(this, Upper(name).c_str(), &file, pivot);
    Geometries.push_back(geometry);
    m_Current = geometry;
}

void ClwMesh::ApplyVmap(const char* mapName, const char* surface, int mode, float intensity)
{
    for (CGeometry* geometry : Geometries)
        if (ClwGeometry* lw = dynamic_cast<ClwGeometry*>(geometry))
            lw->ApplyVmap(mapName, surface, mode, intensity);
}

void ClwMesh::Load(const char* fileName, unsigned char meshFlag, const float* offset, unsigned char textureFlag)
{
    static const float zero[3] = {0.0f, 0.0f, 0.0f};
    if (!offset)
        offset = zero;
    VerbosePrintf(2, "\tClwMesh::Load(%s)\n", fileName);
    m_MeshFlag = meshFlag;
    PublicFlag = meshFlag;
    m_TextureFlag = textureFlag;
    m_FileName = fileName;
    ClwFile file;
    if (!file.Open(fileName))
        vbail("\nCannot open lightwave file!\n%s", (std::string(fileName) + ": " + strerror(errno)).c_str());
    while (const ClwFile::Chunk* chunk = file.Descend()) {
        const unsigned long id = chunk->Id;
        VerbosePrintf(4, "    %s:\n", chunk->PrintableId);
        if (id == MakeId("LAYR"))
            ReadLayer(file, offset);
        else if (id == MakeId("SURF"))
            ReadSurface(file);
        else if (id == MakeId("CLIP"))
            ReadClip(file);
        else if (id == MakeId("TAGS"))
            ReadTags(file);
        else {
            if (!m_Current) {
                VerbosePrintf(2, "Creating default geometry!\n");
                AddGeometry(file, nullptr, 0, offset);
            }
            ReadGeometryChunk(file, id);
        }
        file.Ascend();
    }
    PostLoad();
    m_Tags.clear();
    m_Clips.clear();
    // The layers no longer read from the file.
    for (CGeometry* geometry : Geometries)
        if (ClwGeometry* lw = dynamic_cast<ClwGeometry*>(geometry))
            lw->File = nullptr;
    m_Current = nullptr;
}

void ClwMesh::ReadLayer(ClwFile& file, const float* offset)
{
    const int number = static_cast<int>(file.U2());
    const int flags = static_cast<int>(file.U2());
    float pivot[3];
    file.VEC12(pivot);
    const std::string name = Trim(file.S0(256));
    const int parent = file.AtEnd() ? 0 : static_cast<int>(file.U2());
    for (int a = 0; a < 3; ++a)
        pivot[a] += offset[a];
    VerbosePrintf(4, "      LayerId = %d\n      Flags = %d\n", number, flags);
    VerbosePrintf(4, "      Pivot = %g,%g,%g\n      PivotPoint = %g,%g,%g\n", pivot[0], pivot[1], pivot[2], offset[0],
                  offset[1], offset[2]);
    VerbosePrintf(4, "      Name = %s\n      Parent = %d\n", name.c_str(), parent);
    AddGeometry(file, name.c_str(), number, pivot);
}

void ClwMesh::ReadTags(ClwFile& file)
{
    while (!file.AtEnd()) {
        m_Tags.push_back(file.S0(256));
        VerbosePrintf(4, "      [%3d] %s\n", static_cast<int>(m_Tags.size() - 1), m_Tags.back().c_str());
    }
}

void ClwMesh::ReadClip(ClwFile& file)
{
    const unsigned long index = file.U4();
    VerbosePrintf(4, "      index=%lu\n", index);
    while (file.DescendSubChunk(0)) {
        if (file.Current().Id != MakeId("STIL")) {
            VerbosePrintf(4, "Ignored\n");
            file.Ascend();
            continue;
        }
        const std::string written = file.S0(260);
        // A LightWave volume name ("Q:Art/a.png") becomes a drive path ("Q:\Art/a.png").
        std::string path;
        for (char c : written) {
            path += c;
            if (c == ':')
                path += '\\';
        }
        const std::string label = MakeSymbolName(path.c_str());
        // Clips name their images relative to the object's folder as often as to the current
        // one: the image beside the object is taken when the path itself leads nowhere.
        std::string source = path;
        if (!Exists(ScriptPath(path.c_str()))) {
            std::string title = FileTitle(path.c_str());
            title += FileExtension(path.c_str());
            const std::string beside = std::string(FolderOf(m_FileName.c_str())) + title;
            if (Exists(ScriptPath(beside.c_str())))
                source = beside;
        }
        CdbElement* texture =
            FindOrLoadTexture(*GetDatabase(), label.c_str(), source.c_str(), m_TextureFlag != 0, m_FileName.c_str());
        if (index > 0xFFFF)
            file.Fail("Clip index %lu is beyond the 65535 a clip table holds", index);
        if (m_Clips.size() <= index)
            m_Clips.resize(index + 1, nullptr);
        m_Clips[index] = texture;
        VerbosePrintf(4, "      STIL %s\n           (texture = %s)\n", path.c_str(), label.c_str());
        file.Ascend();
    }
}

void ClwMesh::ReadGeometryChunk(ClwFile& file, unsigned long id)
{
    if (id == MakeId("PNTS"))
        ReadPoints(file);
    else if (id == MakeId("POLS"))
        ReadPolygons(file);
    else if (id == MakeId("PTAG"))
        ReadPolygonTags(file);
    else if (id == MakeId("VMAP"))
        ReadVmap(file);
    else if (id == MakeId("VMAD"))
        ReadVmad(file);
    else
        VerbosePrintf(4, "      chunk ignored\n");
}

void ClwMesh::ReadPoints(ClwFile& file)
{
    const CAxisFormat& database = GetDatabase()->AxisFormat;
    const bool log = VerboseLevel >= 4;
    std::vector<LwPoint>& points = m_Current->Points;
    points.reserve(points.size() + file.Current().Size / 12);
    while (!file.AtEnd()) {
        LwPoint point;
        file.VEC12(point.Position);
        for (float c : point.Position)
            if (!std::isfinite(c))
                file.Fail("Point %d has a coordinate that is no finite number", static_cast<int>(points.size()));
        if (log)
            VerbosePrintf(4, "      [%3d] %g,%g,%g\n", static_cast<int>(points.size()), point.Position[0],
                          point.Position[1], point.Position[2]);
        database.Convert(CAxisFormat::LightWave(), point.Position);
        if (log)
            VerbosePrintf(4, "      conv  %g,%g,%g\n", point.Position[0], point.Position[1], point.Position[2]);
        points.push_back(point);
    }
}

void ClwMesh::ReadVmap(ClwFile& file)
{
    const unsigned long type = file.ID4();
    const int dimension = static_cast<int>(file.U2());
    const std::string name = file.S0(256);
    VerbosePrintf(4, "      %s dim=%d name=%s vmap#%d\n", ClwFile::IdText(type).c_str(), dimension, name.c_str(),
                  static_cast<int>(m_Current->PointMaps.size()));
    const bool uv = type == MakeId("TXUV"), rgb = type == MakeId("RGB "), rgba = type == MakeId("RGBA");
    if (!uv && !rgb && !rgba) {
        VerbosePrintf(4, "      ignored, unknown VMAP subtype\n");
        return;
    }
    m_Current->PointMaps.emplace_back(name);
    ClwVmap& map = m_Current->PointMaps.back();
    while (!file.AtEnd()) {
        const int point = file.VX();
        if (point >= static_cast<int>(m_Current->Points.size()))
            file.Fail("\nVMAP refers to an undefined vertex at index %d", point);
        VmapEntry* entry = map.Add(point);
        if (!entry)
            file.Fail("\nAttempted to add vmap entry at VertNdx=%d\nbut it already existed\n", point);
        if (uv) {
            entry->U = file.F4();
            entry->V = file.F4();
            VerbosePrintf(4, "      [%3d] UV= % f % f\n", point, entry->U, entry->V);
        } else {
            entry->Red = file.F4();
            entry->Green = file.F4();
            entry->Blue = file.F4();
            entry->Alpha = rgba ? file.F4() : 1.0f;
            VerbosePrintf(4, "      [%3d] RGBA= % f % f % f % f\n", point, entry->Red, entry->Green, entry->Blue,
                          entry->Alpha);
        }
    }
}

void ClwMesh::ReadPolygons(ClwFile& file)
{
    for (const ClwVmap& map : m_Current->PointMaps)
        m_Current->CornerMaps.emplace_back(map.Name);
    const unsigned long type = file.ID4();
    VerbosePrintf(4, "    Polytype= %s\n", ClwFile::IdText(type).c_str());
    const bool log = VerboseLevel >= 4;
    while (!file.AtEnd()) {
        if (log)
            VerbosePrintf(4, "      [%3d] ", static_cast<int>(m_Current->Polys.size()));
        ClwPoly* poly = new ClwPoly(m_Current);
        m_Current->Polys.push_back(poly);
        poly->Read(file, type, *m_Current);
    }
}

void ClwMesh::ReadPolygonTags(ClwFile& file)
{
    const unsigned long type = file.ID4();
    VerbosePrintf(4, "      %s\n", ClwFile::IdText(type).c_str());
    while (!file.AtEnd()) {
        const int index = file.VX();
        if (index >= static_cast<int>(m_Current->Polys.size()) || !m_Current->Polys[index])
            file.Fail("\npoly tag refers to non-existant polygon");
        ClwPoly* poly = dynamic_cast<ClwPoly*>(m_Current->Polys[index]);
        if (!poly)
            file.Fail("\npoly tag refers to non-lightwave loaded polygon");
        const unsigned tag = file.U2();
        if (tag >= m_Tags.size())
            file.Fail("\npoly tag refers to non-existant string");
        VerbosePrintf(4, "      Poly[%3d] :: %s\n", index, m_Tags[tag].c_str());
        poly->SetTag(type, m_Tags[tag].c_str());
    }
}

void ClwMesh::ReadVmad(ClwFile& file)
{
    const unsigned long type = file.ID4();
    const int dimension = static_cast<int>(file.U2());
    const std::string name = file.S0(256);
    VerbosePrintf(4, "      %s dim=%d name=%s\n", ClwFile::IdText(type).c_str(), dimension, name.c_str());
    if (type != MakeId("TXUV")) {
        VerbosePrintf(4, "      ignored, unknown VMAD subtype\n");
        return;
    }
    ClwVmap* map = nullptr;
    for (ClwVmap& corner : m_Current->CornerMaps)
        if (corner.Name == name) {
            map = &corner;
            break;
        }
    if (!map) {
        m_Current->CornerMaps.emplace_back(name);
        map = &m_Current->CornerMaps.back();
    }
    while (!file.AtEnd()) {
        const int point = file.VX();
        const int polygon = file.VX();
        if (polygon >= static_cast<int>(m_Current->Polys.size()) || !m_Current->Polys[polygon])
            file.Fail("\nVMAD poly index %d refers to non-existant polygon.", polygon);
        const ClwPoly* poly = dynamic_cast<const ClwPoly*>(m_Current->Polys[polygon]);
        if (!poly)
            file.Fail("\nVMAD poly refers to non-lightwave loaded polygon.");
        const int vertex = poly->LocalToGlobal(point);
        VmapEntry& entry = map->FindOrAdd(vertex);
        entry.U = file.F4();
        entry.V = file.F4();
        VerbosePrintf(4, "      [%3d] Polyndx=%3d UV= %g %g\n", vertex, polygon, entry.U, entry.V);
    }
}

void ClwMesh::ReadSurface(ClwFile& file)
{
    const std::string name = file.S0(128);
    const std::string source = file.S0(128);
    if (Upper(name) == "DEFAULT")
        file.Fail("\nSurface named \"Default\" is a bad thing, so go fix it...\n");
    VerbosePrintf(4, "      %s : %s\n", name.c_str(), source.c_str());
    CMaterial* material = FindMaterial(name.c_str());
    if (!material) {
        CdbElement* element = GetDatabase()->FindElement(name.c_str());
        if (CdbMaterial* override = dynamic_cast<CdbMaterial*>(element)) {
            VerbosePrintf(2, "Using material override for %s\n", name.c_str());
            material = override->StuffMaterials(Materials, name.c_str());
        } else {
            material = new CMaterial();
            material->Name = name;
            material->Format = GetDatabase()->CurrentFormat;
            Materials.push_back(material);
        }
        if (!source.empty()) {
            const CMaterial* parent = nullptr;
            for (const CMaterial* m : Materials)
                if (m->Name == source) {
                    parent = m;
                    break;
                }
            if (!parent)
                file.Fail("\nCannot find parent surface...\n%s parented to %s", name.c_str(), source.c_str());
            material->CopyColours(*parent);
        }
    }
    while (const ClwFile::Chunk* chunk = file.DescendSubChunk(0)) {
        const unsigned long id = chunk->Id;
        VerbosePrintf(4, "      %s ", chunk->PrintableId);
        auto factor = [&](float& field) {
            field = file.F4();
            VerbosePrintf(4, "%g\n", field);
            file.VX();
        };
        if (id == MakeId("COLR")) {
            float colour[3];
            file.VEC12(colour);
            file.VX();
            material->Red = colour[0], material->Green = colour[1], material->Blue = colour[2];
            VerbosePrintf(4, "% f,% f,% f\n", colour[0], colour[1], colour[2]);
        } else if (id == MakeId("DIFF")) {
            factor(material->Diffuse);
        } else if (id == MakeId("LUMI")) {
            factor(material->Luminosity);
        } else if (id == MakeId("SPEC")) {
            float specular;
            factor(specular);
            for (CMaterial* m = material; m; m = m->Next)
                m->Specular = specular;
        } else if (id == MakeId("REFL")) {
            factor(material->Reflection);
        } else if (id == MakeId("TRAN")) {
            float transparency;
            factor(transparency);
            material->Alpha = 1.0f - transparency;
        } else if (id == MakeId("TRNL")) {
            factor(material->Translucency);
        } else if (id == MakeId("GLOS")) {
            factor(material->Glossiness);
        } else if (id == MakeId("SHRP")) {
            factor(material->Sharpness);
        } else if (id == MakeId("BUMP")) {
            factor(material->BumpValue);
        } else if (id == MakeId("SMAN")) {
            // The file gives the largest angle (radians) across which normals are smoothed;
            // the normals pass compares dot products with the threshold, so it takes the cosine.
            const float angle = file.F4();
            material->SmoothingThreshold = std::cos(angle);
            VerbosePrintf(4, "MaxSmoothingAngle = %g\n", angle);
        } else if (id == MakeId("SIDE")) {
            const int sides = static_cast<int>(file.U2());
            if (sides == 3)
                material->DoubleSided = 1;
            VerbosePrintf(4, "Doublesided = %d\n", sides);
        } else if (id == MakeId("VCOL")) {
            const float intensity = file.F4();
            file.VX();
            const std::string map = file.S0(256);
            ApplyVmap(map.c_str(), material->Name.c_str(), ClwGeometry::ColourMode, intensity);
            VerbosePrintf(4, "        %s Applied\n", map.c_str());
        } else if (id == MakeId("BLOK")) {
            ReadBlock(file, *material);
        } else if (id != MakeId("CMNT")) {
            VerbosePrintf(4, "Ignored\n");
        }
        file.Ascend();
    }
}

void ClwMesh::ReadBlock(ClwFile& file, CMaterial& material)
{
    // The block header is a sub-chunk whose data starts with an ordinal string and goes on
    // with sub-chunks of its own; those and the block's sub-chunks are read as one flat list.
    const unsigned long header = file.ID4();
    const unsigned headerSize = file.U2();
    const std::string ordinal = file.S0(headerSize ? headerSize : 1);
    unsigned long ordinalWord = 0;
    for (size_t i = 0; i < 2 && i < ordinal.size(); ++i)
        ordinalWord |= static_cast<unsigned long>(static_cast<unsigned char>(ordinal[i])) << (8 - 8 * i);
    VerbosePrintf(4, " %s ordinal = %08lX\n", ClwFile::IdText(header).c_str(), headerSize << 16 | ordinalWord);
    if (header != MakeId("IMAP")) {
        VerbosePrintf(4, "only IMAP type blocks understood - blok ignored");
        return;
    }
    bool colour = false;
    while (const ClwFile::Chunk* chunk = file.DescendSubChunk(0)) {
        const unsigned long id = chunk->Id;
        VerbosePrintf(4, "        %s ", chunk->PrintableId);
        if (id == MakeId("CHAN")) {
            const unsigned long channel = file.ID4();
            VerbosePrintf(4, "%s\n", ClwFile::IdText(channel).c_str());
            colour = channel == MakeId("COLR");
            if (!colour)
                VerbosePrintf(4, "        Undefined Channel - ignoring remainder...");
        } else if (id == MakeId("OPAC")) {
            if (colour) {
                material.TextureOpacityType = static_cast<float>(file.U2());
                material.TextureOpacity = file.F4();
                VerbosePrintf(4, "Type=%d Opacity=%g\n", static_cast<int>(material.TextureOpacityType),
                              material.TextureOpacity);
            }
        } else if (id == MakeId("ENAB")) {
            VerbosePrintf(4, "Enable is IGNORED!!!\n");
        } else if (id == MakeId("IMAG")) {
            if (colour) {
                int index = -1;
                if (!material.Texture) {
                    index = file.VX();
                    if (index >= static_cast<int>(m_Clips.size()) || !m_Clips[index])
                        file.Fail("\nSURF->BLOK->IMAG doesn't specify a valid texture");
                    material.Texture = m_Clips[index];
                    material.Format.Merge(TextureFormat(*material.Texture));
                }
                VerbosePrintf(4, "Texture = %s (ndx %d)\n", material.Texture->GetLabel(), index);
            }
        } else if (id == MakeId("TMAP")) {
            ReadTextureMap(file);
        } else if (id == MakeId("WRAP")) {
            const unsigned w = file.U2(), h = file.U2();
            VerbosePrintf(4, "%u %u (ignored)\n", w, h);
        } else if (id == MakeId("VMAP")) {
            const std::string map = file.S0(256);
            ApplyVmap(map.c_str(), material.Name.c_str(), ClwGeometry::UVMode, 1.0f);
            VerbosePrintf(4, "%s Applied\n", map.c_str());
        } else if (id == MakeId("AAST")) {
            const unsigned flags = file.U2();
            const float strength = file.F4();
            VerbosePrintf(4, "flags = %u, strength=%g (ignored)\n", flags, strength);
        } else if (id == MakeId("WRPW") || id == MakeId("WRPH")) {
            const float amount = file.F4();
            const int envelope = file.VX();
            VerbosePrintf(4, "amt = %g env = %d\n", amount, envelope);
        } else {
            VerbosePrintf(4, "unknown, Ignored\n");
        }
        file.Ascend();
    }
}

void ClwMesh::ReadTextureMap(ClwFile& file)
{
    VerbosePrintf(4, " subchunks:\n");
    while (const ClwFile::Chunk* chunk = file.DescendSubChunk(0)) {
        const unsigned long id = chunk->Id;
        VerbosePrintf(4, "          %s (%lu) ", chunk->PrintableId, chunk->Size);
        float v[3];
        if (id == MakeId("CNTR") || id == MakeId("SIZE") || id == MakeId("ROTA")) {
            file.VEC12(v);
            const int envelope = file.VX();
            VerbosePrintf(4, "% f,% f,% f env=%d (ignored)\n", v[0], v[1], v[2], envelope);
        } else if (id == MakeId("FALL")) {
            const unsigned type = file.U2();
            file.VEC12(v);
            const int envelope = file.VX();
            VerbosePrintf(4, "type=%u % f,% f,% f env=%d (ignored)\n", type, v[0], v[1], v[2], envelope);
        } else if (id == MakeId("OREF")) {
            VerbosePrintf(4, "%s (ignored)\n", file.S0(256).c_str());
        } else if (id == MakeId("CSYS")) {
            VerbosePrintf(4, "type=%u (ignored)\n", file.U2());
        } else {
            VerbosePrintf(4, "Ignored\n");
        }
        file.Ascend();
    }
}
