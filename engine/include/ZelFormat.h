#pragma once
// The packed data file's container, shared by the converter that writes it and the engine that
// loads it, so that the two cannot drift apart.
//
// A packed file is a "ZEL2" chunk file; its top chunk holds one "LIST" block per platform, and a
// block's chunks are four data segments and the symbol tables. A place in the data is one word:
// the segment number in the top four bits, the offset into that segment below them. A pack file
// ("ZLPK") holds many packed files behind an "INDX" chunk of name keys and offsets.

namespace ZelFormat {

constexpr unsigned long FourCC(const char (&s)[5])
{
    return (unsigned long)(unsigned char)s[0] | (unsigned long)(unsigned char)s[1] << 8 |
           (unsigned long)(unsigned char)s[2] << 16 | (unsigned long)(unsigned char)s[3] << 24;
}

// Files and blocks.
constexpr unsigned long kFileForm = FourCC("ZEL2");
constexpr unsigned long kPackForm = FourCC("ZLPK");
constexpr unsigned long kPackIndex = FourCC("INDX");
constexpr unsigned long kList = FourCC("LIST");
// The pack index: (name key, offset) pairs ending in a zero key, then the first pair of each of
// the buckets that the key's low bits choose.
constexpr unsigned long kPackBuckets = 16;

// The list types of the platform blocks.
constexpr unsigned long kBlockAll = FourCC("ALL ");
constexpr unsigned long kBlockWin = FourCC("WIN ");
constexpr unsigned long kBlockPs2 = FourCC("PS2 ");
constexpr unsigned long kBlockXbox = FourCC("XBOX");
constexpr unsigned long kBlockPcx = FourCC("PCX ");

// The symbol tables.
constexpr unsigned long kTypeTable = FourCC("TYPE");
constexpr unsigned long kHandleTable = FourCC("HNDL");
constexpr unsigned long kOffsetTable = FourCC("OFFS");
constexpr unsigned long kPublicTable = FourCC("PUBL");
constexpr unsigned long kExternTable = FourCC("EXTN");

// The data segments, by number, and the chunks that hold them.
enum Segment { kSegData = 0, kSegTemp = 1, kSegExtra = 2, kSegPlat = 3, kSegCount = 4 };

struct SegmentChunks {
    unsigned long plain;
    unsigned long compressed; // 0: the segment is never stored compressed
};

constexpr SegmentChunks kSegmentChunks[kSegCount] = {
    {FourCC("DATA"), FourCC("DATX")},
    {FourCC("TEMP"), FourCC("TEMX")},
    {FourCC("EXTA"), 0},
    {FourCC("PLAT"), FourCC("PLAX")},
};

// The place word.
constexpr unsigned long kPlaceSegmentShift = 28;
constexpr unsigned long kPlaceOffsetMask = 0x0FFFFFFF;

constexpr unsigned long MakePlace(unsigned long segment, unsigned long offset)
{
    return segment << kPlaceSegmentShift | offset;
}
constexpr unsigned long PlaceSegment(unsigned long place) { return place >> kPlaceSegmentShift; }
constexpr unsigned long PlaceOffset(unsigned long place) { return place & kPlaceOffsetMask; }

} // namespace ZelFormat
