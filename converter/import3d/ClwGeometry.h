#pragma once
// One layer of a LightWave object: its points, the vertex maps given per point and per
// polygon corner, and polygons whose every corner gets a vertex of its own (welding comes in
// the post-load pass).
#include "converter/import3d/Geometry.h"

#include <string>
#include <unordered_map>
#include <vector>

class ClwFile;

struct LwPoint {
    float Position[3];
};

struct VmapEntry {
    int Vertex;
    float U, V;
    float Red, Green, Blue, Alpha;
};

class ClwVmap {
public:
    explicit ClwVmap(const std::string& name) : Name(name) {}
    VmapEntry* Find(int index);
    // Null when the index already has an entry.
    VmapEntry* Add(int index);
    VmapEntry& FindOrAdd(int index);

    std::string Name;
    std::vector<VmapEntry> Entries;

private:
    std::unordered_map<int, size_t> m_Index;
};

class ClwGeometry : public CGeometry {
public:
    enum MapMode { UVMode = 0, ColourMode = 1 };

    ClwGeometry(CdbMesh* mesh, const char* name, ClwFile* file, const float* pivot);

    // A new vertex from a point, with the point's map entries copied to the corner maps.
    int ConvertVertex(int point);
    void ApplyVmap(const char* mapName, const char* surface, int mode, float intensity);
    void PostLoad(const char* baseName) override;

    ClwFile* File;
    std::vector<LwPoint> Points;
    std::vector<ClwVmap> PointMaps;
    std::vector<ClwVmap> CornerMaps;
};

class ClwPoly : public CPoly {
public:
    explicit ClwPoly(ClwGeometry* owner) : Owner(owner) {}

    void Read(ClwFile& file, unsigned long type, ClwGeometry& geometry);
    // The vertex of the corner that uses the point (fatal when none does).
    int LocalToGlobal(int point) const;
    void SetTag(unsigned long type, const char* text);

    ClwGeometry* Owner;
    std::vector<int> Points;
};
