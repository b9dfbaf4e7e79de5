// Image files: stored size and depth from the file's own header, pixels through stb_image,
// and BMP, PNG or TGA output through stb_image_write.
#include "mg_imaging.h"

#define STBI_NO_STDIO
#include <stb/stb_image.h>
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int ReadWholeFile(const char* fileName, std::vector<uint8_t>& bytes)
{
    if (!fileName || !*fileName)
        return PX_ERR_FILENAME;
    FILE* file = std::fopen(fileName, "rb");
    if (!file)
        return errno == ENOENT ? PX_ERR_NOT_FOUND : PX_ERR_OPEN;
    int result = PX_OK;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    if (std::ferror(file))
        result = PX_ERR_READ;
    std::fclose(file);
    if (result == PX_OK && bytes.empty())
        result = PX_ERR_FORMAT;
    return result;
}

uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }
uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }

// The stored depth as the file's header gives it, or 0 when the header does not say.
int32_t StoredDepth(const std::vector<uint8_t>& b)
{
    size_t n = b.size();
    if (n >= 26 && std::memcmp(b.data(), "\x89PNG\r\n\x1a\n", 8) == 0 && std::memcmp(&b[12], "IHDR", 4) == 0) {
        static const int channels[7] = {1, 0, 3, 1, 2, 0, 4};
        int type = b[25];
        return type < 7 ? int32_t(b[24]) * channels[type] : 0;
    }
    if (n >= 30 && b[0] == 'B' && b[1] == 'M') {
        uint32_t header = Le32(&b[14]);
        return int32_t(header == 12 ? Le16(&b[24]) : Le16(&b[28]));
    }
    if (n >= 6 && std::memcmp(b.data(), "GIF8", 4) == 0)
        return 8;
    if (n >= 26 && std::memcmp(b.data(), "8BPS", 4) == 0)
        return int32_t(Be16(&b[12]) * Be16(&b[22]));
    if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8)
        return 0;
    // A targa has no signature: trust its header when the image type and depth are sensible.
    if (n >= 18) {
        int type = b[2] & ~8;
        int depth = b[16];
        bool sensible = (type == 1 || type == 2 || type == 3) &&
                        (depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32);
        if (sensible)
            return depth;
    }
    return 0;
}

// The JPEG decoder builds each Huffman table from its 16 code counts into room for 256 codes
// without checking their sum, so a table claiming more writes past its record. No encoder
// writes one: a file with such a table, in any segment the decoder could reach walking the
// markers as it does, is refused as damaged before the decoder sees it.
bool OverfullHuffmanTable(const std::vector<uint8_t>& b)
{
    const size_t n = b.size();
    if (n < 2 || b[0] != 0xFF || b[1] != 0xD8)
        return false;
    auto at = [&](size_t i) { return i < n ? b[i] : uint8_t(0); };
    for (size_t p = 2; p + 1 < n;) {
        const uint8_t marker = b[p + 1];
        if (b[p] != 0xFF || marker == 0xFF) { // entropy-coded data, fill bytes
            ++p;
            continue;
        }
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9)) { // no length
            p += 2;
            continue;
        }
        const size_t end = p + 2 + (size_t(at(p + 2)) << 8 | at(p + 3));
        if (marker == 0xC4)
            for (size_t table = p + 4; table < end;) {
                size_t codes = 0;
                for (size_t i = 1; i <= 16; ++i)
                    codes += at(table + i);
                if (codes > 256)
                    return true;
                table += 17 + codes;
            }
        p = end;
    }
    return false;
}

uint32_t Be32(const uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }

// Every PNG chunk up to the end marker must lie inside the file: the decoder grows its buffer
// for the compressed data to whatever length a chunk states, up to a gigabyte. Returns the
// compressed bytes the chunks hold, or -1 when a chunk runs past the end.
long long PngCompressedBytes(const std::vector<uint8_t>& b)
{
    long long compressed = 0;
    for (size_t p = 8; p + 8 <= b.size();) {
        const uint64_t length = Be32(&b[p]);
        if (p + 12 + length > b.size())
            return -1;
        if (std::memcmp(&b[p + 4], "IDAT", 4) == 0)
            compressed += (long long)length;
        if (std::memcmp(&b[p + 4], "IEND", 4) == 0)
            break;
        p += size_t(12 + length);
    }
    return compressed;
}

// The fewest bytes a PSD file of this header holds: the image data follows three sections of
// stated length, then either every channel's raw samples or run-length rows of at least two
// bytes per 128 pixels after a table of row lengths. A file cut inside the sections needs at
// least the next length word.
uint64_t PsdLeastBytes(const std::vector<uint8_t>& b, uint64_t width, uint64_t height)
{
    uint64_t p = 26;
    for (int section = 0; section < 3; ++section) {
        if (p + 4 > b.size())
            return p + 4;
        p += 4 + uint64_t(Be32(&b[size_t(p)]));
    }
    if (p + 2 > b.size())
        return p + 2;
    const uint64_t channels = Be16(&b[12]), depth = Be16(&b[22]);
    const uint64_t rows = channels * height;
    if (Be16(&b[size_t(p)]) == 1)
        return p + 2 + rows * 2 + rows * ((width + 127) / 128) * 2;
    return p + 2 + rows * width * ((depth + 7) / 8);
}

// The fewest bytes a file of this format and stored size holds. The decoders fill whatever
// the data lacks with zeros, one byte at a time, and allocate the whole image first, so a
// tiny file stating millions of pixels would spin for minutes and exhaust the address space
// before failing or, worse, load as a black image. Compressed formats are bounded by the
// best ratio their coding reaches: deflate's 1032 to 1 on one-bit rows for PNG, and that
// same generous bound for GIF and JPEG, whose codes never cover more pixels a byte.
uint64_t LeastBytes(const std::vector<uint8_t>& b, uint64_t width, uint64_t height)
{
    const uint64_t pixels = width * height;
    const uint64_t kBestPixelsPerByte = 1032 * 8;
    if (std::memcmp(b.data(), "8BPS", 4) == 0)
        return PsdLeastBytes(b, width, height);
    if (b[0] == 'B' && b[1] == 'M') {
        // Rows padded to whole words from the stated pixel offset, the last one unpadded.
        const uint64_t depth = uint64_t(StoredDepth(b));
        const uint64_t rowBytes = (width * depth + 31) / 32 * 4;
        return uint64_t(Le32(&b[10])) + (height - 1) * rowBytes + (width * depth + 7) / 8;
    }
    const bool compressedFormat = std::memcmp(b.data(), "\x89PNG", 4) == 0 || std::memcmp(b.data(), "GIF8", 4) == 0 ||
                                  (b[0] == 0xFF && b[1] == 0xD8);
    if (compressedFormat)
        return pixels / kBestPixelsPerByte;
    // A targa: run-length packets cover at most 128 pixels each.
    const uint64_t pixelBytes = (uint64_t(b[16]) + 7) / 8;
    return (b[2] & 8) ? pixels / 128 : pixels * pixelBytes;
}

// PX_OK when the file could hold the image its header states, else why not.
int CheckStatedSize(const std::vector<uint8_t>& b)
{
    int width = 0, height = 0, channels = 0;
    if (b.size() < 26 || !stbi_info_from_memory(b.data(), int(b.size()), &width, &height, &channels))
        return PX_OK; // the decoder refuses it on its own
    const bool png = std::memcmp(b.data(), "\x89PNG", 4) == 0;
    if (png && PngCompressedBytes(b) < 0)
        return PX_ERR_FORMAT;
    uint64_t available = png ? uint64_t(PngCompressedBytes(b)) : uint64_t(b.size());
    return LeastBytes(b, uint64_t(width), uint64_t(height)) > available ? PX_ERR_SIZE : PX_OK;
}

// Reads the file and refuses what the decoders must not see.
int ReadImageFile(const char* fileName, std::vector<uint8_t>& bytes)
{
    int result = ReadWholeFile(fileName, bytes);
    if (result >= PX_OK && OverfullHuffmanTable(bytes))
        result = PX_ERR_FORMAT;
    if (result >= PX_OK)
        result = CheckStatedSize(bytes);
    return result;
}

void AppendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    auto* bytes = static_cast<uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// Writes beside the target and renames, so a failed save leaves any earlier file intact.
int WriteWholeFile(const char* fileName, const std::vector<uint8_t>& bytes)
{
    std::string temporary = std::string(fileName) + ".partial";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return PX_ERR_OPEN;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary.c_str(), fileName) != 0) {
        std::remove(temporary.c_str());
        return PX_ERR_WRITE;
    }
    return PX_OK;
}

} // namespace

int PxGetFileInfo(const char* fileName, PxFileInfo* info)
{
    if (!info)
        return PX_ERR_PARAMETER;
    std::vector<uint8_t> bytes;
    int result = ReadImageFile(fileName, bytes);
    if (result < PX_OK)
        return result;
    int width, height, channels;
    if (!stbi_info_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels))
        return PX_ERR_FORMAT;
    int32_t depth = StoredDepth(bytes);
    info->width = width;
    info->height = height;
    info->channels = channels;
    info->bitsPerPixel = depth > 0 ? depth : channels * 8;
    return PX_OK;
}

int PxLoadFile(const char* fileName, PxBitmap* bitmap, int32_t bitsPerPixel, int32_t colourOrder)
{
    if (!bitmap)
        return PX_ERR_BITMAP;
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        return PX_ERR_BITS;
    std::vector<uint8_t> bytes;
    int result = ReadImageFile(fileName, bytes);
    if (result < PX_OK)
        return result;
    int width, height, channels;
    stbi_uc* pixels = stbi_load_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels, 4);
    if (!pixels)
        return std::strcmp(stbi_failure_reason(), "outofmem") == 0 ? PX_ERR_MEMORY : PX_ERR_FORMAT;
    result = PxCreateBitmap(bitmap, width, height, bitsPerPixel, colourOrder, PX_VIEW_TOP_DOWN);
    if (result >= PX_OK) {
        int step = bitsPerPixel / 8;
        for (int y = 0; y < height; ++y) {
            const stbi_uc* in = pixels + size_t(y) * width * 4;
            uint8_t* out = PxRowPointer(bitmap, y);
            for (int x = 0; x < width; ++x, in += 4, out += step) {
                out[0] = colourOrder == PX_ORDER_RGB ? in[0] : in[2];
                out[1] = in[1];
                out[2] = colourOrder == PX_ORDER_RGB ? in[2] : in[0];
                if (step == 4)
                    out[3] = in[3];
            }
        }
    }
    stbi_image_free(pixels);
    return result;
}

int PxSaveFile(const char* fileName, const PxBitmap* bitmap, int fileFormat)
{
    if (!bitmap || !bitmap->storage || !(bitmap->flags & PX_FLAG_IMAGE))
        return PX_ERR_BITMAP;
    if (!fileName || !*fileName)
        return PX_ERR_FILENAME;
    if (bitmap->bitsPerPixel != 24 && bitmap->bitsPerPixel != 32)
        return PX_ERR_BITS;
    int channels = bitmap->bitsPerPixel / 8;
    int width = bitmap->width, height = bitmap->height;
    std::vector<uint8_t> image(size_t(width) * height * channels);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = PxRowPointer(bitmap, y);
        uint8_t* out = &image[size_t(y) * width * channels];
        for (int x = 0; x < width; ++x, out += channels) {
            int column = bitmap->mirrored ? width - 1 - x : x;
            const uint8_t* p = in + size_t(column) * channels;
            out[0] = bitmap->colourOrder == PX_ORDER_RGB ? p[0] : p[2];
            out[1] = p[1];
            out[2] = bitmap->colourOrder == PX_ORDER_RGB ? p[2] : p[0];
            if (channels == 4)
                out[3] = p[3];
        }
    }
    std::vector<uint8_t> encoded;
    int ok = 0;
    switch (fileFormat) {
    case PX_FILE_TGA:
        stbi_write_tga_with_rle = 0;
        ok = stbi_write_tga_to_func(AppendBytes, &encoded, width, height, channels, image.data());
        break;
    case PX_FILE_PNG:
        ok = stbi_write_png_to_func(AppendBytes, &encoded, width, height, channels, image.data(), width * channels);
        break;
    case PX_FILE_BMP:
        ok = stbi_write_bmp_to_func(AppendBytes, &encoded, width, height, channels, image.data());
        break;
    default:
        return PX_ERR_NOT_AVAILABLE;
    }
    if (!ok)
        return PX_ERR_MEMORY;
    return WriteWholeFile(fileName, encoded);
}
