// Texture mip chains and palettes: ours against Pillow on the same images in the same run.
//   image_bench [TEXTURES [PALETTE_IMAGES]]   (defaults 200 textures of 1024x1024, 100 images)
// Mip chains: textures written by the texture element with mips on and the box filter (every
// level from 512 down to 4 resampled from the full image); ours also encodes every level,
// the full-size one included, in 16 bits, and writes them to a writer that keeps no file. Palettes: 256x256
// images reduced to 256 colours, with the mean RGB error of each side.
#include "converter/core/CDatabase.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ChParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import2d/CdbTexture.h"
#include "converter/import2d/CzBitmap.h"
#include "converter/import2d/Palettizer.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void MakeImage(CzBitmap& bitmap, int size, int seed)
{
    bitmap.Allocate(size, size);
    unsigned state = 2463534242u + seed;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const double u = x * (0.02 + seed * 0.001), v = y * 0.015;
            bitmap.At(x, y) = CPixel(static_cast<unsigned char>(128 + 100 * std::sin(u + v)),
                                     static_cast<unsigned char>(128 + 100 * std::cos(u * 0.7 - v)),
                                     static_cast<unsigned char>((x ^ y) + (state & 15)),
                                     static_cast<unsigned char>(255 - ((x + y + seed) & 63)));
        }
}

void WriteImages(const std::string& dir, int count, int size)
{
    for (int i = 0; i < count; ++i) {
        CzBitmap bitmap;
        MakeImage(bitmap, size, i);
        char name[32];
        std::snprintf(name, sizeof name, "/img%03d.rgba", i);
        std::ofstream(dir + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bitmap.Pixels()), std::streamsize(size) * size * 4);
    }
}

std::string Peer(const std::string& arguments)
{
    const std::string command =
        std::string("/usr/bin/python3 ") + MG_SOURCE_DIR + "/bench/converter/image_bench_peer.py " + arguments;
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    return output;
}

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void MipBench(const std::string& dir, int count)
{
    const int size = 1024;
    WriteImages(dir, count, size);
    VerboseLevel = 0;
    LoadTypeResource("RhuTypes");
    CDatabase database;
    CFormatSpecifier format = database.CurrentFormat;
    format = CPixelFormat("RRRRRggggggBBBBB");
    CdbTexture::Settings.Mips = true;
    CdbTexture::Settings.MipFilter = 1;
    double ours = 0;
    for (int i = 0; i < count; ++i) {
        CzBitmap source;
        MakeImage(source, size, i);
        CdbTexture* texture = new CdbTexture(("T" + std::to_string(i)).c_str(), &database);
        texture->LoadAbsolute(source, format, true);
        CZelWriter writer;
        writer.Open(nullptr);
        writer.BeginList(ZelFormat::kBlockPcx);
        const auto start = std::chrono::steady_clock::now();
        texture->Dump(writer);
        ours += Seconds(start);
        delete texture;
    }
    const double peer =
        std::atof(Peer("mips " + dir + " " + std::to_string(count) + " " + std::to_string(size)).c_str());
    const double megapixels = double(count) * size * size / 1e6;
    std::printf("mip chains, %d textures of %dx%d (box filter, 512 down to 4):\n", count, size, size);
    std::printf("  ours   %8.2f s  %8.2f MP/s\n", ours, megapixels / ours);
    std::printf("  Pillow %8.2f s  %8.2f MP/s\n", peer, peer > 0 ? megapixels / peer : 0.0);
    std::printf("  ratio (ours / Pillow speed) %.2f\n", peer > 0 ? peer / ours : 0.0);
}

void PaletteBench(const std::string& dir, int count)
{
    const int size = 256;
    WriteImages(dir, count, size);
    double ours = 0, error = 0;
    std::vector<unsigned char> indices(size * size);
    CPixel palette[256];
    for (int i = 0; i < count; ++i) {
        CzBitmap image;
        MakeImage(image, size, i);
        std::vector<CPixel> pixels(image.Pixels(), image.Pixels() + size * size);
        for (CPixel& p : pixels)
            p.A = 255;
        const auto start = std::chrono::steady_clock::now();
        Palettize(indices.data(), palette, pixels.data(), size, size, 256, false, nullptr);
        ours += Seconds(start);
        double sum = 0;
        for (int p = 0; p < size * size; ++p) {
            const CPixel& a = pixels[p];
            const CPixel& b = palette[indices[p]];
            sum += std::sqrt(double((a.R - b.R) * (a.R - b.R) + (a.G - b.G) * (a.G - b.G) + (a.B - b.B) * (a.B - b.B)));
        }
        error += sum / (size * size);
    }
    double peer = 0, peerError = 0;
    std::sscanf(Peer("palette " + dir + " " + std::to_string(count) + " " + std::to_string(size)).c_str(), "%lf %lf",
                &peer, &peerError);
    std::printf("palettes, %d images of %dx%d into 256 colours:\n", count, size, size);
    std::printf("  ours   %8.3f s  mean RGB error %.3f\n", ours, error / count);
    std::printf("  Pillow %8.3f s  mean RGB error %.3f (quantize, median cut)\n", peer, peerError);
    std::printf("  ratio (ours / Pillow speed) %.2f\n", peer > 0 ? peer / ours : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    const int textures = argc > 1 ? std::atoi(argv[1]) : 200;
    const int palettes = argc > 2 ? std::atoi(argv[2]) : 100;
    char pattern[] = "/tmp/image_bench_XXXXXX";
    const std::string dir = mkdtemp(pattern);
    MipBench(dir, textures);
    PaletteBench(dir, palettes);
    std::system(("rm -rf " + dir).c_str());
    return 0;
}
