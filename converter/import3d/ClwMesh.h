#pragma once
// A mesh element filled from a LightWave object file: one geometry per layer, the surfaces as
// materials and the image clips as texture elements.
#include "converter/import3d/CdbMesh.h"

#include <string>
#include <vector>

class ClwFile;
class ClwGeometry;

class ClwMesh : public CdbMesh {
public:
    ClwMesh(const char* label, CDatabase* database) : CdbMesh(label, database) {}

    // Reads the file and runs the post-load pass. offset: added to every layer's pivot.
    void Load(const char* fileName, unsigned char meshFlag, const float* offset, unsigned char textureFlag);
    void AddGeometry(ClwFile& file, const char* layerName, int layerNumber, const float* pivot);
    void ApplyVmap(const char* mapName, const char* surface, int mode, float intensity);

private:
    void ReadLayer(ClwFile& file, const float* offset);
    void ReadTags(ClwFile& file);
    void ReadClip(ClwFile& file);
    void ReadGeometryChunk(ClwFile& file, unsigned long id);
    void ReadPoints(ClwFile& file);
    void ReadVmap(ClwFile& file);
    void ReadPolygons(ClwFile& file);
    void ReadPolygonTags(ClwFile& file);
    void ReadVmad(ClwFile& file);
    void ReadSurface(ClwFile& file);
    void ReadBlock(ClwFile& file, CMaterial& material);
    void ReadTextureMap(ClwFile& file);

    unsigned char m_MeshFlag = 0;
    unsigned char m_TextureFlag = 0;
    ClwGeometry* m_Current = nullptr;
    std::vector<std::string> m_Tags;
    std::vector<CdbElement*> m_Clips;
    std::string m_FileName;
};
