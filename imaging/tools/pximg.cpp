// pximg: applies one export of the image-processing library to an image file.
//
//   pximg INPUT OUTPUT EXPORT [ARGUMENTS...]
//
// INPUT is any file stb_image reads (grey, RGB or RGBA); OUTPUT is written as PNG, BMP or TGA by
// its extension ("-" writes nothing). Kernels and structuring elements are a built-in index or a
// comma list ("divisor,bias,N,c1,...", "kind,N,e1,..."). P_ColorSeparateBitmap writes one grey
// file per plane (OUTPUT with "-0", "-1"... before the extension); P_ColorMergeBitmap takes its
// planes as a comma list in INPUT.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image.h"
#include "stb_image_write.h"

#include "PXIMG60N.h"
#include "PxKernel.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Bitmap {
    PxBitmap record{};
    ~Bitmap() { PxFreeBitmap(&record); }
};

bool Fail(const std::string& message)
{
    std::fprintf(stderr, "pximg: %s\n", message.c_str());
    return false;
}

bool Load(const std::string& path, Bitmap& bitmap)
{
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &width, &height, &channels, 0);
    if (!pixels)
        return Fail(path + ": cannot read the image (" + stbi_failure_reason() + ")");
    const int stored = channels == 2 ? 4 : channels;
    bool ok = PxAllocateBitmap(&bitmap.record, width, height, stored * 8, PX_ORDER_RGB, PX_VIEW_TOP_DOWN) == PX_SUCCESS;
    std::vector<uint8_t> row(size_t(width) * stored);
    for (int y = 0; ok && y < height; ++y) {
        const stbi_uc* in = pixels + size_t(y) * width * channels;
        for (int x = 0; x < width; ++x) {
            uint8_t* out = row.data() + size_t(x) * stored;
            if (channels == 2)
                out[0] = out[1] = out[2] = in[2 * x], out[3] = in[2 * x + 1];
            else
                std::memcpy(out, in + size_t(x) * channels, size_t(channels));
        }
        PxPutBitmapRow(&bitmap.record, row.data(), y, uint32_t(row.size()));
    }
    stbi_image_free(pixels);
    return ok || Fail(path + ": the image is too large");
}

// Writes the bitmap as grey, RGB or RGBA bytes, whatever its depth.
bool Save(const std::string& path, PxBitmap& bitmap)
{
    if (path == "-")
        return true;
    const int width = bitmap.Width, height = bitmap.Height;
    const int channels = bitmap.BitsPerPixel == 32                                 ? 4
                         : bitmap.BitsPerPixel == 8 && PxIsGreyScale(&bitmap) == 1 ? 1
                                                                                   : 3;
    PxRgbQuad palette[256] = {};
    PxGetPaletteEntries(PxCurrentPalette(&bitmap), 0, bitmap.ColorCount, palette);
    std::vector<uint8_t> pixels(size_t(width) * height * channels), stored(bitmap.BytesPerLine), bgr(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        PxGetBitmapRow(&bitmap, stored.data(), PxStorageRow(bitmap, y), bitmap.BytesPerLine);
        uint8_t* out = pixels.data() + size_t(y) * width * channels;
        if (channels == 1) {
            std::memcpy(out, stored.data(), size_t(width));
            continue;
        }
        PxConvertRowToWorking(stored.data(), bgr.data(), width, bitmap.BitsPerPixel, bitmap.Order, palette, 24);
        for (int x = 0; x < width; ++x) {
            uint8_t* p = out + size_t(x) * channels;
            p[0] = bgr[3 * x + 2], p[1] = bgr[3 * x + 1], p[2] = bgr[3 * x];
            if (channels == 4)
                p[3] = stored[4 * x + 3];
        }
    }
    const std::string ext = path.size() > 4 ? path.substr(path.size() - 4) : "";
    int ok;
    if (ext == ".bmp")
        ok = stbi_write_bmp(path.c_str(), width, height, channels, pixels.data());
    else if (ext == ".tga")
        ok = stbi_write_tga(path.c_str(), width, height, channels, pixels.data());
    else if (ext == ".png")
        ok = stbi_write_png(path.c_str(), width, height, channels, pixels.data(), width * channels);
    else
        return Fail(path + ": unknown output type (use .png, .bmp or .tga)");
    return ok || Fail(path + ": cannot write the image");
}

bool ParseInt(const std::string& text, long long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 0);
    return !text.empty() && *end == 0 && errno == 0 && value >= INT32_MIN && value <= UINT32_MAX;
}

bool ParseList(const std::string& text, std::vector<int32_t>& values)
{
    std::stringstream stream(text);
    std::string item;
    long long v;
    while (std::getline(stream, item, ','))
        if (ParseInt(item, v))
            values.push_back(int32_t(v));
        else
            return false;
    return true;
}

std::string PlanePath(const std::string& output, int plane)
{
    const size_t dot = output.rfind('.');
    const std::string stem = dot == std::string::npos ? output : output.substr(0, dot);
    return stem + "-" + std::to_string(plane) + (dot == std::string::npos ? "" : output.substr(dot));
}

int Usage()
{
    std::fprintf(stderr, "usage: pximg INPUT OUTPUT EXPORT [ARGUMENTS...]\n"
                         "exports: P_RemapBitmapIntensity TABLEFILE CHANNEL, P_ChangeBitmapIntensity N,\n"
                         "  P_ChangeBitmapContrast N, P_PosterizeBitmap LEVELS, P_InvertBitmap,\n"
                         "  P_IntensityDetectBitmap LOW HIGH, P_GammaCorrectBitmap GAMMA, P_HistoEqualizeBitmap,\n"
                         "  P_StretchBitmapIntensity, P_HistoContrastBitmap N, P_GetBitmapHistogram CHANNEL,\n"
                         "  P_SpatialFilterBitmap KERNEL, P_SharpenBitmap N, P_EmbossBitmap DIRECTION DEPTH,\n"
                         "  P_AverageFilterBitmap N, P_MedianFilterBitmap N, P_BinaryFilterBitmap ELEMENT,\n"
                         "  P_DespeckleBitmap, P_ChangeBitmapHue DEGREES, P_ChangeBitmapSaturation N,\n"
                         "  P_ColorSeparateBitmap SPACE, P_ColorMergeBitmap SPACE, P_DeskewBitmap,\n"
                         "  P_AddBitmapNoise LEVEL CHANNEL, P_MosaicBitmap SIZE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    const std::string input = argv[1], output = argv[2], name = argv[3];
    std::vector<std::string> texts(argv + 4, argv + argc);
    std::vector<long long> args;
    for (const std::string& text : texts) {
        long long v = 0;
        ParseInt(text, v);
        args.push_back(v);
    }
    auto need = [&](size_t n) {
        return texts.size() == n || Fail(name + " takes " + std::to_string(n) + " argument(s)");
    };
    auto number = [&](size_t i, long long& v) { return ParseInt(texts[i], v) || Fail("not a number: " + texts[i]); };

    static const char* const kExports[] = {
        "P_RemapBitmapIntensity", "P_ChangeBitmapIntensity",  "P_ChangeBitmapContrast",
        "P_PosterizeBitmap",      "P_InvertBitmap",           "P_IntensityDetectBitmap",
        "P_GammaCorrectBitmap",   "P_HistoEqualizeBitmap",    "P_StretchBitmapIntensity",
        "P_HistoContrastBitmap",  "P_GetBitmapHistogram",     "P_SpatialFilterBitmap",
        "P_SharpenBitmap",        "P_EmbossBitmap",           "P_AverageFilterBitmap",
        "P_MedianFilterBitmap",   "P_BinaryFilterBitmap",     "P_DespeckleBitmap",
        "P_ChangeBitmapHue",      "P_ChangeBitmapSaturation", "P_ColorSeparateBitmap",
        "P_ColorMergeBitmap",     "P_DeskewBitmap",           "P_AddBitmapNoise",
        "P_MosaicBitmap"};
    if (std::find(std::begin(kExports), std::end(kExports), name) == std::end(kExports))
        return Fail("unknown export " + name), Usage();

    if (name == "P_ColorMergeBitmap") {
        long long space;
        if (!need(1) || !number(0, space))
            return 2;
        std::vector<std::string> paths;
        std::stringstream stream(input);
        for (std::string item; std::getline(stream, item, ',');)
            paths.push_back(item);
        std::vector<Bitmap> planes(paths.size());
        std::vector<PxBitmap*> records;
        for (size_t i = 0; i < paths.size(); ++i) {
            if (!Load(paths[i], planes[i]))
                return 1;
            records.push_back(&planes[i].record);
        }
        records.resize(4, nullptr);
        Bitmap merged;
        const int32_t result = P_ColorMergeBitmap(&merged.record, records.data(), uint32_t(space));
        if (result != PX_SUCCESS)
            return Fail(name + " returned " + std::to_string(result)), 1;
        return Save(output, merged.record) ? 0 : 1;
    }

    Bitmap bitmap;
    if (!Load(input, bitmap))
        return 1;
    PxBitmap* b = &bitmap.record;
    std::vector<int32_t> list;
    std::vector<uint8_t> table;
    const std::map<std::string, std::pair<size_t, std::function<int32_t()>>> exports = {
        {"P_ChangeBitmapIntensity", {1, [&] { return P_ChangeBitmapIntensity(b, int32_t(args[0])); }}},
        {"P_ChangeBitmapContrast", {1, [&] { return P_ChangeBitmapContrast(b, int32_t(args[0])); }}},
        {"P_PosterizeBitmap", {1, [&] { return P_PosterizeBitmap(b, uint32_t(args[0])); }}},
        {"P_InvertBitmap", {0, [&] { return P_InvertBitmap(b); }}},
        {"P_IntensityDetectBitmap",
         {2, [&] { return P_IntensityDetectBitmap(b, uint32_t(args[0]), uint32_t(args[1])); }}},
        {"P_GammaCorrectBitmap", {1, [&] { return P_GammaCorrectBitmap(b, uint32_t(args[0])); }}},
        {"P_HistoEqualizeBitmap", {0, [&] { return P_HistoEqualizeBitmap(b); }}},
        {"P_StretchBitmapIntensity", {0, [&] { return P_StretchBitmapIntensity(b); }}},
        {"P_HistoContrastBitmap", {1, [&] { return P_HistoContrastBitmap(b, int32_t(args[0])); }}},
        {"P_SharpenBitmap", {1, [&] { return P_SharpenBitmap(b, int32_t(args[0])); }}},
        {"P_EmbossBitmap", {2, [&] { return P_EmbossBitmap(b, uint32_t(args[0]), uint32_t(args[1])); }}},
        {"P_AverageFilterBitmap", {1, [&] { return P_AverageFilterBitmap(b, uint32_t(args[0])); }}},
        {"P_MedianFilterBitmap", {1, [&] { return P_MedianFilterBitmap(b, uint32_t(args[0])); }}},
        {"P_DespeckleBitmap", {0, [&] { return P_DespeckleBitmap(b); }}},
        {"P_ChangeBitmapHue", {1, [&] { return P_ChangeBitmapHue(b, int32_t(args[0])); }}},
        {"P_ChangeBitmapSaturation", {1, [&] { return P_ChangeBitmapSaturation(b, int32_t(args[0])); }}},
        {"P_DeskewBitmap", {0, [&] { return P_DeskewBitmap(b); }}},
        {"P_AddBitmapNoise", {2, [&] { return P_AddBitmapNoise(b, uint32_t(args[0]), uint32_t(args[1])); }}},
        {"P_MosaicBitmap", {1, [&] { return P_MosaicBitmap(b, uint32_t(args[0])); }}},
        {"P_SpatialFilterBitmap",
         {1,
          [&] {
              if (list.size() <= 1)
                  return P_SpatialFilterBitmap(b, reinterpret_cast<const PxSpatialKernel*>(uintptr_t(args[0])));
              if (list.size() < 3 || list[2] <= 0 || list.size() != 3 + size_t(list[2]) * size_t(list[2]))
                  return int32_t(PX_INVALID_ARG);
              return P_SpatialFilterBitmap(b, reinterpret_cast<const PxSpatialKernel*>(list.data()));
          }}},
        {"P_BinaryFilterBitmap",
         {1,
          [&] {
              if (list.size() <= 1)
                  return P_BinaryFilterBitmap(b, reinterpret_cast<const PxBinaryElement*>(uintptr_t(args[0])));
              if (list.size() < 2 || list[1] <= 0 || list.size() != 2 + size_t(list[1]) * size_t(list[1]))
                  return int32_t(PX_INVALID_ARG);
              return P_BinaryFilterBitmap(b, reinterpret_cast<const PxBinaryElement*>(list.data()));
          }}},
        {"P_RemapBitmapIntensity", {2, [&] { return P_RemapBitmapIntensity(b, table.data(), uint32_t(args[1])); }}},
    };

    if (name == "P_GetBitmapHistogram") {
        long long channel;
        uint32_t counts[256];
        if (!need(1) || !number(0, channel))
            return 2;
        const int32_t result = P_GetBitmapHistogram(b, counts, uint32_t(channel));
        if (result != PX_SUCCESS)
            return Fail(name + " returned " + std::to_string(result)), 1;
        for (int i = 0; i < 256; ++i)
            std::printf("%d %u\n", i, counts[i]);
        return 0;
    }
    if (name == "P_ColorSeparateBitmap") {
        long long space;
        if (!need(1) || !number(0, space))
            return 2;
        Bitmap planes[4];
        PxBitmap* records[4] = {&planes[0].record, &planes[1].record, &planes[2].record, &planes[3].record};
        const int32_t result = P_ColorSeparateBitmap(b, records, uint32_t(space));
        if (result != PX_SUCCESS)
            return Fail(name + " returned " + std::to_string(result)), 1;
        for (int p = 0; p < 4 && PxIsValidBitmap(records[p]); ++p)
            if (!Save(PlanePath(output, p), *records[p]))
                return 1;
        return 0;
    }
    const auto found = exports.find(name);
    if (!need(found->second.first))
        return 2;
    if (name == "P_SpatialFilterBitmap" || name == "P_BinaryFilterBitmap") {
        if (!ParseList(texts[0], list))
            return Fail("not a number list: " + texts[0]), 2;
    } else if (name == "P_RemapBitmapIntensity") {
        std::ifstream file(texts[0], std::ios::binary);
        table.assign(std::istreambuf_iterator<char>(file), {});
        if (table.size() != 256)
            return Fail(texts[0] + ": a table holds exactly 256 bytes"), 1;
        long long channel;
        if (!number(1, channel))
            return 2;
    } else {
        for (size_t i = 0; i < texts.size(); ++i) {
            long long v;
            if (!number(i, v))
                return 2;
        }
    }
    const int32_t result = found->second.second();
    if (result != PX_SUCCESS)
        return Fail(name + " returned " + std::to_string(result)), 1;
    return Save(output, *b) ? 0 : 1;
}
