#include "converter/import3d/CdbMesh.h"
#include "converter/import3d/PS2Icon.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CLodList.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CMaterial.h"
#include "converter/import3d/Geometry.h"
#include "core/names/CCRC32.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

bool CdbMesh::CompressVertsSwitch = false;
bool CdbMesh::ColourVertsSwitch = false;

namespace {

const char* const LodPrefix = "LOD_";

bool IsLodName(const std::string& name) { return name.compare(0, 4, LodPrefix) == 0; }

// Layers named LOD_n order by n; any other pair byte-wise.
bool OutOfOrder(const std::string& a, const std::string& b)
{
    if (IsLodName(a) && IsLodName(b))
        return atoi(a.c_str() + 4) > atoi(b.c_str() + 4);
    return strcmp(a.c_str(), b.c_str()) > 0;
}

const char* CollisionLayerName(int type)
{
    switch (type) {
    case 1:
        return "NOCOLLISION";
    case 2:
        return "COLLISION_NOPLOT";
    case 3:
        return "COLLISION_NOPATH";
    case 7:
        return "COLLISION";
    case 15:
        return "COLLISION_GPATH";
    case 17:
        return "COLLISION_SPECIAL";
    default:
        return nullptr;
    }
}

} // namespace

CdbMesh::CdbMesh(const char* label, CDatabase* database)
    : CdbElement(label, database), CompressedVerts(CompressVertsSwitch), ColourVerts(ColourVertsSwitch)
{
    if (database)
        Format = database->CurrentFormat;
}

CdbMesh::~CdbMesh()
{
    for (CGeometry* geometry : Geometries)
        delete geometry;
    for (CMaterial* material : Materials)
        delete material;
}

CGeometry* CdbMesh::FindGeometry(const std::string& name) const
{
    for (CGeometry* geometry : Geometries)
        if (geometry->Name == name)
            return geometry;
    return nullptr;
}

CMaterial* CdbMesh::FindMaterial(const char* name) const
{
    for (CMaterial* material : Materials)
        if (material->Name == name)
            return material;
    return nullptr;
}

unsigned long CdbMesh::LabelKey() const { return CCRC32::GetCRC(GetLabel()); }

void CdbMesh::RemoveGeometry(CGeometry* geometry)
{
    for (size_t i = 0; i < Geometries.size(); ++i) {
        if (Geometries[i] == geometry) {
            Geometries.erase(Geometries.begin() + static_cast<long>(i));
            break;
        }
    }
    delete geometry;
}

void CdbMesh::SortLayers()
{
    for (size_t i = 0; i + 1 < Geometries.size();) {
        if (OutOfOrder(Geometries[i]->Name, Geometries[i + 1]->Name)) {
            std::swap(Geometries[i], Geometries[i + 1]);
            i = 0;
        } else {
            ++i;
        }
    }
}

void CdbMesh::SelectLods()
{
    int lodIndex = 0, kept = 0;
    for (size_t i = 0; i < Geometries.size();) {
        CGeometry* geometry = Geometries[i];
        if (!IsLodName(geometry->Name)) {
            ++i;
            continue;
        }
        const int k = lodIndex++;
        const float distance = k < CLodList::MaxLods ? g_LodList.Distance(k) : 0.0f;
        if (distance > 0.0f) {
            geometry->LodDistance = distance;
            geometry->Name = "LOD_" + std::to_string(kept++);
            ++i;
        } else {
            Geometries.erase(Geometries.begin() + static_cast<long>(i));
            delete geometry;
        }
    }
}

void CdbMesh::FoldFrames()
{
    CGeometry* base = FindGeometry("LOD_0");
    for (int n = 1;; ++n) {
        CGeometry* frame = FindGeometry("FRAME_" + std::to_string(n));
        if (!frame)
            break;
        VerbosePrintf(3, "Adding vertex frame - %s\n", frame->Name.c_str());
        base->AddVertexFrame(*frame);
        RemoveGeometry(frame);
    }
}

void CdbMesh::TakeCollision()
{
    for (int type = 0; type < 32; ++type) {
        const char* name = CollisionLayerName(type);
        CGeometry* geometry = name ? FindGeometry(name) : nullptr;
        if (!geometry)
            continue;
        VerbosePrintf(3, "Found collision type %02X\n", type);
        geometry->Name = "COLLISION";
        geometry->PostLoad(GetLabel());
        geometry->CalculateCollision(static_cast<unsigned long>(type));
        RemoveGeometry(geometry);
        return;
    }
}

void CdbMesh::PostLoad()
{
    VerbosePrintf(3, "CdbMesh::PostLoad() - %s\n", GetLabel());
    SortLayers();
    SelectLods();
    if (!FindGeometry("LOD_0"))
        vbail("Error: Expected to find layer data (LOD_0) for some geometry!\nMESH: %s\n", GetLabel());
    FoldFrames();
    TakeCollision();
    for (CGeometry* geometry : Geometries)
        geometry->PostLoad(GetLabel());
    ComputeBounds(*FindGeometry(std::string(GetLabel()) + "_LOD_0"));
}

void CdbMesh::ComputeBounds(const CGeometry& geometry)
{
    const std::vector<CVertex*>& verts = geometry.Verts.Verts;
    double sum[3] = {0.0, 0.0, 0.0};
    for (const CVertex* v : verts) {
        const float p[3] = {v->X, v->Y, v->Z};
        for (int a = 0; a < 3; ++a) {
            MinSize[a] = std::min(MinSize[a], p[a]);
            MaxSize[a] = std::max(MaxSize[a], p[a]);
            sum[a] += p[a];
        }
    }
    if (!verts.empty())
        for (int a = 0; a < 3; ++a)
            Centroid[a] = static_cast<float>(sum[a] / static_cast<double>(verts.size()));
    for (int a = 0; a < 3; ++a)
        Center[a] = (MaxSize[a] + MinSize[a]) * 0.5f;
    for (const CVertex* v : verts) {
        const float dx = v->X - Center[0], dy = v->Y - Center[1], dz = v->Z - Center[2];
        MaxRadius = std::max(MaxRadius, std::sqrt(dx * dx + dy * dy + dz * dz));
        MaxRadiusXY = std::max(MaxRadiusXY, std::sqrt(dx * dx + dy * dy));
    }
}

void CdbMesh::AddPlacedBounds(float* min, float* max, const float* offset) const
{
    for (int a = 0; a < 3; ++a) {
        min[a] = std::min(min[a], MinSize[a] + offset[a]);
        max[a] = std::max(max[a], MaxSize[a] + offset[a]);
    }
}

void CdbMesh::DumpUsedMaterials(CZelWriter& writer)
{
    const unsigned long key = LabelKey();
    for (CMaterial* material : Materials)
        if (material->Used)
            material->Dump(writer, key);
}

void CdbMesh::Dump(CZelWriter& writer)
{
    VerbosePrintf(2, "\tCdbMesh::Dump() : %s\n", GetLabel());
    writer.LogSize("MeshData");
    switch (GetDatabase()->TargetMachine) {
    case 0:
        WriteGenericMesh(*this, writer);
        DumpUsedMaterials(writer);
        break;
    case 1:
        // The memory-card icon takes no materials of its own.
        if (IconFlag) {
            WritePS2Icon(*this, writer);
            break;
        }
        WritePS2Mesh(*this, writer);
        DumpUsedMaterials(writer);
        break;
    case 2:
        WriteXboxMesh(*this, writer);
        DumpUsedMaterials(writer);
        break;
    case 3:
        WritePCXMesh(*this, writer);
        DumpUsedMaterials(writer);
        break;
    default:
        // Any other machine word names no target with mesh records.
        break;
    }
    writer.LogSize(nullptr);
}
