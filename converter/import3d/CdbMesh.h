#pragma once
// The element of one renderable mesh: its layers (geometries), its materials and bounds; the
// post-load pass that sorts and prunes the layers, folds vertex frames and takes out the
// collision layer; and the dump that writes the records of the target machine.
#include "converter/core/CdbElement.h"
#include "converter/import2d/CPixelFormat.h"

#include <string>
#include <vector>

class CGeometry;
class CMaterial;

class CdbMesh : public CdbElement {
public:
    CdbMesh(const char* label, CDatabase* database);
    ~CdbMesh() override;

    void PostLoad();
    void Dump(CZelWriter& writer) override;

    // Grows the box min/max so that it holds this mesh's box moved by offset.
    void AddPlacedBounds(float* min, float* max, const float* offset) const;
    // Bounds from one geometry's positions, taken together with those held already.
    void ComputeBounds(const CGeometry& geometry);

    CGeometry* FindGeometry(const std::string& name) const;
    CMaterial* FindMaterial(const char* name) const;
    // The name key of the label, which material symbols carry.
    unsigned long LabelKey() const;

    unsigned char IconFlag = 0;
    unsigned char PublicFlag = 0;
    unsigned char CompressedVerts = 0;
    unsigned char ColourVerts = 0;
    float Centroid[3] = {0.0f, 0.0f, 0.0f};
    float Center[3] = {0.0f, 0.0f, 0.0f};
    float MaxSize[3] = {-1.0e36f, -1.0e36f, -1.0e36f};
    float MinSize[3] = {1.0e36f, 1.0e36f, 1.0e36f};
    float MaxRadius = 0.0f;
    float MaxRadiusXY = 0.0f;
    std::vector<CGeometry*> Geometries; // owned
    std::vector<CMaterial*> Materials;  // owned
    CFormatSpecifier Format;

    // The Meshformat switches, copied into meshes made afterwards.
    static bool CompressVertsSwitch;
    static bool ColourVertsSwitch;

private:
    void SortLayers();
    void SelectLods();
    void FoldFrames();
    void TakeCollision();
    void RemoveGeometry(CGeometry* geometry);
    void DumpUsedMaterials(CZelWriter& writer);
};

// The target-independent records of a mesh (the target machine word 0).
void WriteGenericMesh(CdbMesh& mesh, CZelWriter& writer);
// The PC records of a mesh (the target machine word 3).
void WritePCXMesh(CdbMesh& mesh, CZelWriter& writer);
// The Xbox records of a mesh (the target machine word 2).
void WriteXboxMesh(CdbMesh& mesh, CZelWriter& writer);
// The PS2 records of a mesh (the target machine word 1) other than its memory-card icon.
void WritePS2Mesh(CdbMesh& mesh, CZelWriter& writer);
