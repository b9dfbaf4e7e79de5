#include "engine/render/CRendPalette.h"

#include <cstring>

#include "engine/include/RhuTypes.h"
#include "engine/zel/CZelFixupManager.h"

static_assert(sizeof(CRendPalette) == sizeof(rhu::CRendPalette), "CRendPalette differs from the record header");

ZEL_REGISTER_RECORD(CRendPalette);

long CRendPalette::GetEntry(int index) const
{
    // The index comes from data: outside the table there is no entry to read.
    if (index < 0 || index >= EntryCount)
        return -1;
    const unsigned char* at = Entries;
    switch (EntryBpp) {
    case 16: {
        unsigned short value;
        std::memcpy(&value, at + 2 * index, sizeof value);
        return value;
    }
    case 24:
        at += 3 * index;
        return long(at[0]) << 16 | long(at[1]) << 8 | long(at[2]);
    case 32: {
        unsigned long value;
        std::memcpy(&value, at + 4 * index, sizeof value);
        return long(value);
    }
    default:
        return -1;
    }
}
