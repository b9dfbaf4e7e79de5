#pragma once
// A material override made by the Material command: a LightWave surface of the same name is
// replaced by one material per entry, each with a base and an optional detail texture.
#include "converter/core/CdbElement.h"
#include "converter/import2d/CPixelFormat.h"

#include <vector>

class CMaterial;

class CdbMaterial : public CdbElement {
public:
    struct Entry {
        CdbElement* Base = nullptr;
        CdbElement* Detail = nullptr;
        unsigned long Flags = 0;
    };

    CdbMaterial(const char* label, CDatabase* database);

    // update: the texture becomes the last entry's detail texture (fatal without an entry).
    void AddEntry(CdbElement* texture, bool update, unsigned long flags);
    // Appends one material per entry to list, chained in order; returns the first.
    CMaterial* StuffMaterials(std::vector<CMaterial*>& list, const char* surfaceName);

    std::vector<Entry> Entries;
    CFormatSpecifier Format;
};
