#include "converter/import3d/CdbMaterial.h"

#include "converter/core/CDatabase.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CMaterial.h"

#include <cstdio>

CdbMaterial::CdbMaterial(const char* label, CDatabase* database) : CdbElement(label, database)
{
    if (database)
        Format = database->CurrentFormat;
}

void CdbMaterial::AddEntry(CdbElement* texture, bool update, unsigned long flags)
{
    if (update) {
        if (Entries.empty())
            vbail("\nError: Cannot find appropriate material entry.");
        Entries.back().Detail = texture;
        Entries.back().Flags |= flags;
        return;
    }
    Entry entry;
    entry.Base = texture;
    entry.Flags = flags;
    Entries.push_back(entry);
}

CMaterial* CdbMaterial::StuffMaterials(std::vector<CMaterial*>& list, const char* surfaceName)
{
    VerbosePrintf(3, "\nCdbMaterial::StuffMaterials - Material Override!\n\t(%s)\t(%s)\n", surfaceName, GetLabel());
    CMaterial* first = nullptr;
    CMaterial* previous = nullptr;
    for (size_t i = 0; i < Entries.size(); ++i) {
        CMaterial* material = new CMaterial();
        list.push_back(material);
        char suffix[16];
        snprintf(suffix, sizeof suffix, "_%02d", static_cast<int>(i));
        material->Name = i == 0 ? std::string(surfaceName) : std::string(surfaceName) + suffix;
        if (i == 0)
            material->LayerCount = static_cast<unsigned long>(Entries.size());
        material->Flags = Entries[i].Flags;
        material->Texture = Entries[i].Base;
        material->DetailMap = Entries[i].Detail;
        material->Format = Format;
        VerbosePrintf(3, "\tMaterial %s\n\t\tBase Texture = %s\n", material->Name.c_str(),
                      Entries[i].Base ? Entries[i].Base->GetLabel() : "");
        if (Entries[i].Detail)
            VerbosePrintf(3, "\t\tDetail Texture = %s\n", Entries[i].Detail->GetLabel());
        if (previous)
            previous->Next = material;
        previous = material;
        if (!first)
            first = material;
    }
    // An override without entries still stands for the surface.
    if (!first) {
        first = new CMaterial();
        first->Name = surfaceName;
        first->Format = Format;
        list.push_back(first);
    }
    return first;
}
