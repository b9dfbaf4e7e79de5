#pragma once
// A colour table of packed data: EntryCount entries of 16, 24 or 32 bits follow the record.
#include "engine/zel/CZelStaticResource.h"

#pragma pack(push, 1)
class CRendPalette : public CZelStaticResource {
public:
    CRendPalette() {}
    // The entry as a number: 16 bits the u16, 24 bits byte0 << 16 | byte1 << 8 | byte2, 32 bits
    // the u32; -1 for another depth or an index outside the table.
    long GetEntry(int index) const;

    long EntryCount;
    long EntryBpp;
    unsigned char Entries[0];
};
#pragma pack(pop)
static_assert(sizeof(CRendPalette) == 12, "CRendPalette is 12 bytes before its entries");
