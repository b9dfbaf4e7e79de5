// The script commands of meshes: Mesh, PS2Icon, Meshformat and Material.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CdbMaterial.h"
#include "converter/import3d/ClwMesh.h"
#include "converter/import3d/MeshTextures.h"
#include "qvrn/ParserInterface.h"

#include <string>

const char* CRhuParser::Mesh(int node)
{
    const std::string label = GetChildText(node, "Label", true);
    const std::string fileName = GetChildText(node, "FileName", true);
    if (CheckTargetFile(fileName.c_str()))
        return nullptr;
    VerbosePrintf(1, "%s %s", label.c_str(), fileName.c_str());
    VerbosePrintf(2, "\n");
    ClwMesh* mesh = new ClwMesh(label.c_str(), m_pDatabase);
    mesh->Load(fileName.c_str(), 1, nullptr, 0);
    return nullptr;
}

const char* CRhuParser::PS2Icon(int node)
{
    const std::string label = GetChildText(node, "Label", true);
    const std::string fileName = GetChildText(node, "FileName", true);
    CheckTargetFile(fileName.c_str());
    VerbosePrintf(1, "%s %s", label.c_str(), fileName.c_str());
    VerbosePrintf(2, "\n");
    ClwMesh* mesh = new ClwMesh(label.c_str(), m_pDatabase);
    mesh->IconFlag = 1;
    mesh->Load(fileName.c_str(), 1, nullptr, 0);
    return nullptr;
}

const char* CRhuParser::Meshformat(int node)
{
    if (int compress = FindChild(node, "CompressVerts", false))
        CdbMesh::CompressVertsSwitch = !FindChild(compress, "Off", false);
    if (int colour = FindChild(node, "ColorVerts", false))
        CdbMesh::ColourVertsSwitch = !FindChild(colour, "Off", false);
    return nullptr;
}

// Runs one block of a Material statement: textures become entries numbered from 0 within the
// block, nested Specular and Environment blocks start entries of their own with their flags.
const char* CRhuParser::MaterialBlock(int node, CdbMaterial*& current, unsigned long flags)
{
    int entry = 0;
    ParserInterface* parser = Parser();
    for (int child = parser->GetChildNode(node, 0); child; child = parser->GetNextSibling(child)) {
        const std::string name = NodeName(child);
        if (name == "Label") {
            const std::string label = NodeText(child);
            VerbosePrintf(1, "%s", label.c_str());
            VerbosePrintf(2, "\n");
            current = new CdbMaterial(label.c_str(), m_pDatabase);
        } else if (name == "Texture") {
            DispatchStatement(child);
            CdbElement* texture = m_pCurrentTexture;
            if (!texture)
                return "Expected last element to be setup, and it obviously wasn't.";
            if (!IsTexture(texture))
                return "Expected last element to be a texture, and it wasn't.\nIt was there, but it wasn't a texture.";
            if (current)
                current->AddEntry(texture, entry != 0, flags);
            ++entry;
        } else if (name == "SpecularMaterial" || name == "EnvironmentMaterial") {
            const unsigned long blockFlags = TypeDatabase.GetConstant(
                name == "SpecularMaterial" ? "MAT_DATA_SPECULAR" : "MAT_DATA_ENVIRONMENT", true);
            if (const char* failure = MaterialBlock(child, current, blockFlags))
                return failure;
        }
    }
    return nullptr;
}

const char* CRhuParser::Material(int node)
{
    CdbMaterial* current = nullptr;
    return MaterialBlock(node, current, 0);
}
