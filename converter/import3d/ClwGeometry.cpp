#include "converter/import3d/ClwGeometry.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/ClwFile.h"

#include <cstdlib>
#include <cstring>

VmapEntry* ClwVmap::Find(int index)
{
    auto found = m_Index.find(index);
    return found == m_Index.end() ? nullptr : &Entries[found->second];
}

VmapEntry* ClwVmap::Add(int index)
{
    if (!m_Index.emplace(index, Entries.size()).second)
        return nullptr;
    const float unset = UnsetValue();
    Entries.push_back({index, unset, unset, 1.0f, 1.0f, 1.0f, 1.0f});
    return &Entries.back();
}

VmapEntry& ClwVmap::FindOrAdd(int index)
{
    VmapEntry* entry = Find(index);
    return entry ? *entry : *Add(index);
}

ClwGeometry::ClwGeometry(CdbMesh* mesh, const char* name, ClwFile* file, const float* pivot)
    : CGeometry(mesh, name), File(file)
{
    for (int a = 0; a < 3; ++a)
        Pivot[a] = pivot[a];
    if (Name == "SHADOW")
        CFormatSpecifier::SetModifier(Format.Shadow, true);
}

int ClwGeometry::ConvertVertex(int point)
{
    const int index = static_cast<int>(Verts.Verts.size());
    if (point < 0 || point >= static_cast<int>(Points.size()))
        File->Fail("\nCannot convert undefined vertex at index %d", index);
    CVertex* vertex = new CVertex();
    vertex->X = Points[point].Position[0];
    vertex->Y = Points[point].Position[1];
    vertex->Z = Points[point].Position[2];
    Verts.Verts.push_back(vertex);
    for (size_t i = 0; i < PointMaps.size() && i < CornerMaps.size(); ++i) {
        const VmapEntry* entry = PointMaps[i].Find(point);
        if (!entry)
            continue;
        VmapEntry* copy = CornerMaps[i].Add(index);
        if (!copy)
            File->Fail("\nAttempted to add vmap entry at VertNdx=%d\nbut it already existed\n", index);
        *copy = *entry;
        copy->Vertex = index;
    }
    return index;
}

void ClwGeometry::ApplyVmap(const char* mapName, const char* surface, int mode, float intensity)
{
    ClwVmap* map = nullptr;
    for (ClwVmap& corner : CornerMaps)
        if (corner.Name == mapName) {
            map = &corner;
            break;
        }
    if (!map)
        return;
    for (CPoly* poly : Polys) {
        if (poly->Surface != surface)
            continue;
        for (int v : poly->Verts) {
            const VmapEntry* entry = map->Find(v);
            if (!entry)
                continue;
            CVertex& vertex = *Verts.Verts[v];
            if (mode == UVMode) {
                if (IsUnset(vertex.U))
                    vertex.U = entry->U, vertex.V = entry->V;
            } else {
                vertex.Red = 1.0f - (1.0f - entry->Red) * intensity;
                vertex.Green = 1.0f - (1.0f - entry->Green) * intensity;
                vertex.Blue = 1.0f - (1.0f - entry->Blue) * intensity;
                vertex.Alpha = 1.0f - (1.0f - entry->Alpha) * intensity;
            }
        }
    }
}

void ClwGeometry::PostLoad(const char* baseName)
{
    Points.clear();
    Points.shrink_to_fit();
    PointMaps.clear();
    CornerMaps.clear();
    for (CVertex* vertex : Verts.Verts)
        for (CVertex* frame = vertex; frame; frame = frame->pNextFrame)
            frame->X -= Pivot[0], frame->Y -= Pivot[1], frame->Z -= Pivot[2];
    CGeometry::PostLoad(baseName);
}

void ClwPoly::Read(ClwFile& file, unsigned long type, ClwGeometry& geometry)
{
    if (type != MakeId("FACE"))
        file.Fail("\nRHU only understands FACE polygons.");
    const int count = static_cast<int>(file.U2() & 0x3FF);
    const bool log = VerboseLevel >= 4;
    if (log)
        VerbosePrintf(4, "NumVerts = %d :: ", count);
    if (count < 3)
        file.Fail(
            "\n%s\nWhat am I supposed to do with a %d sided polygon?\nAnd why are you making such oddball things?",
            geometry.Name.c_str(), count);
    Verts.reserve(count);
    Points.reserve(count);
    for (int c = 0; c < count; ++c) {
        const int point = file.VX();
        const int vertex = geometry.ConvertVertex(point);
        Verts.push_back(vertex);
        Points.push_back(point);
        if (log)
            VerbosePrintf(4, "%3d (%3d)  ", vertex, point);
    }
    if (log)
        VerbosePrintf(4, "\n");
}

int ClwPoly::LocalToGlobal(int point) const
{
    for (size_t c = 0; c < Points.size(); ++c)
        if (Points[c] == point)
            return Verts[c];
    Owner->File->Fail("\nClwPoly::LocalToGlobal cannot find point %d.", point);
}

void ClwPoly::SetTag(unsigned long type, const char* text)
{
    if (type == MakeId("SURF")) {
        Surface = text;
        return;
    }
    if (type != MakeId("TXUV")) {
        VerbosePrintf(4, "      Tag type unrecognized\n");
        return;
    }
    VerbosePrintf(4, "            ");
    std::string copy = text;
    char* save = nullptr;
    char* word = strtok_r(&copy[0], " ", &save);
    for (size_t c = 0; c < Verts.size(); ++c) {
        if (!word)
            Owner->File->Fail("\nPTAG TXUV unparseable...");
        const float u = static_cast<float>(atof(word));
        word = strtok_r(nullptr, " ", &save);
        if (!word)
            Owner->File->Fail("\nPTAG TXUV unparseable...");
        const float v = static_cast<float>(atof(word));
        word = strtok_r(nullptr, " ", &save);
        CVertex& vertex = *Owner->Verts.Verts[Verts[c]];
        vertex.U = u, vertex.V = v;
        VerbosePrintf(4, "%g,%g ", u, v);
    }
    VerbosePrintf(4, "\n");
}
