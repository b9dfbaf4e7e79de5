#pragma once
// The converter's geometry records shared by the LightWave reader and the mesh writers:
// vertices (with their chain of vertex frames), vertex lists with welding, polygons and the
// geometry of one mesh layer with its post-load pass.
#include "converter/import2d/CPixelFormat.h"

#include <string>
#include <vector>

class CDatabase;
class CdbMesh;
class CZelWriter;

// A component that nothing has set: the float whose bits are 0x007FFFE1.
float UnsetValue();
bool IsUnset(float value);

class CVertex {
public:
    CVertex();
    // Copies the twelve floats and the frame chain.
    CVertex(const CVertex& other);
    CVertex& operator=(const CVertex&) = delete;
    ~CVertex();

    // Deep copies of source and its chain go at the end of this vertex's chain.
    void AppendFrames(const CVertex& source);
    // 1 plus the length of the chain.
    int FrameCount() const;
    bool SamePosition(const CVertex& other) const { return X == other.X && Y == other.Y && Z == other.Z; }
    // Position, UV and colour exactly equal and normals within about 18 degrees.
    bool SameVertex(const CVertex& other) const;
    void Print() const;

    float X, Y, Z;
    float U, V;
    float Red, Green, Blue, Alpha;
    float NX, NY, NZ;
    CVertex* pNextFrame = nullptr; // owned
};

class CVertList {
public:
    CVertList() = default;
    CVertList(const CVertList&) = delete;
    CVertList& operator=(const CVertList&) = delete;
    ~CVertList();

    // Welds equal vertices; map[i] is the new index of old vertex i.
    void Reduce(std::vector<int>& map, bool positionsOnly);
    void Clear();

    std::vector<CVertex*> Verts; // owned
};

class CPoly {
public:
    virtual ~CPoly() = default;
    void Print() const; // needs the owning geometry's vertices
    void Remap(const std::vector<int>& map);

    float Normal[3] = {0.0f, 0.0f, 0.0f};
    std::vector<int> Verts;
    std::string Surface;
    int Material = -1;
};

class CGeometry {
public:
    CGeometry(CdbMesh* mesh, const char* name);
    virtual ~CGeometry();
    CGeometry(const CGeometry&) = delete;
    CGeometry& operator=(const CGeometry&) = delete;

    // Renames to "base_name", computes normals, welds and sorts polygons by side count.
    virtual void PostLoad(const char* baseName);
    // Fatal when the counts differ; vertex i of frame joins the chain of vertex i.
    void AddVertexFrame(CGeometry& frame);
    // Builds the collision element from this (post-loaded) layer.
    void CalculateCollision(unsigned long type);

    void CalcNormals(const char* meshLabel);
    bool IsShadow() const { return CFormatSpecifier::Value(Format.Shadow); }
    void PrintPoly(int index) const;

    std::string Name;
    CdbMesh* Mesh;
    CDatabase* Database;
    CFormatSpecifier Format;
    CVertList Verts;
    std::vector<CPoly*> Polys; // owned
    float Pivot[3] = {0.0f, 0.0f, 0.0f};
    float LodDistance = 0.0f;
    unsigned long Magic = 0x7B4097CE;
};

// Switches of the Diagnostic command that the normals pass reads.
extern bool g_NormalDiagnostics;
extern bool g_NormalSmoothing;
