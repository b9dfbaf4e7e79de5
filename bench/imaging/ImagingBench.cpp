// The image library's 5x5 convolution, 5x5 median and 3x3 dilation over a random 24-bit image
// (4096 x 4096 unless a size is given), beside scipy.ndimage and ImageMagick doing the same in
// the same run. Prints megapixels per second and our ratio to each peer.
#include "PXIMG60N.h"
#include "PxKernel.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double Seconds(const std::chrono::steady_clock::time_point& start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Wall time of a shell command, or a negative value when it fails.
double TimeCommand(const std::string& command)
{
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system((command + " > /dev/null 2>&1").c_str());
    return status == 0 ? Seconds(start) : -1;
}

struct Filter {
    const char* name;
    const char* magick; // ImageMagick's arguments for the same filter
    int32_t (*run)(PxBitmap*);
};

int32_t Convolve(PxBitmap* b)
{
    static const int32_t kernel[3 + 25] = {256, 0,  5,  1, 4, 6,  4,  1,  4, 16, 24, 16, 4, 6,
                                           24,  36, 24, 6, 4, 16, 24, 16, 4, 1,  4,  6,  4, 1};
    return P_SpatialFilterBitmap(b, reinterpret_cast<const PxSpatialKernel*>(kernel));
}
int32_t Median(PxBitmap* b) { return P_MedianFilterBitmap(b, 5); }
int32_t Dilate(PxBitmap* b) { return P_BinaryFilterBitmap(b, reinterpret_cast<const PxBinaryElement*>(0)); }

} // namespace

int main(int argc, char** argv)
{
    const int32_t size = argc > 1 ? std::atoi(argv[1]) : 4096;
    if (size <= 0)
        return std::fprintf(stderr, "usage: imaging_bench [SIZE]\n"), 2;
    const double megapixels = double(size) * size / 1e6;
    PxBitmap image{};
    if (PxAllocateBitmap(&image, size, size, 24, PX_ORDER_BGR, PX_VIEW_TOP_DOWN) != PX_SUCCESS)
        return std::fprintf(stderr, "imaging_bench: no memory for a %dx%d image\n", size, size), 1;
    std::mt19937 random(1);
    for (uint32_t i = 0; i < image.DataSize; ++i)
        image.Data[i] = uint8_t(random());
    // The same pixels for ImageMagick, as a binary PPM.
    const std::string ppm = "/tmp/imaging_bench_" + std::to_string(getpid()) + ".ppm";
    if (FILE* file = std::fopen(ppm.c_str(), "wb")) {
        std::fprintf(file, "P6\n%d %d\n255\n", size, size);
        for (int32_t y = 0; y < size; ++y)
            std::fwrite(image.Data + size_t(y) * image.BytesPerLine, 1, size_t(size) * 3, file);
        std::fclose(file);
    }

    const Filter filters[] = {
        {"convolve5x5", "-convolve 1,4,6,4,1,4,16,24,16,4,6,24,36,24,6,4,16,24,16,4,1,4,6,4,1", Convolve},
        {"median5x5", "-statistic Median 5x5", Median},
        {"dilate3x3", "-morphology Dilate Square:1", Dilate},
    };
    std::map<std::string, double> ours, scipy, magick;
    std::vector<uint8_t> original(image.Data, image.Data + image.DataSize);
    for (const Filter& f : filters) {
        std::copy(original.begin(), original.end(), image.Data);
        const auto start = std::chrono::steady_clock::now();
        if (f.run(&image) != PX_SUCCESS)
            return std::fprintf(stderr, "imaging_bench: %s failed\n", f.name), 1;
        ours[f.name] = megapixels / Seconds(start);
    }
    PxFreeBitmap(&image);

    const std::string script = std::string(MG_BENCH_DIR) + "/scipy_peer.py";
    if (FILE* pipe = popen(("/usr/bin/python3 " + script + " " + std::to_string(size)).c_str(), "r")) {
        char name[64];
        double rate;
        while (std::fscanf(pipe, "%63s %lf", name, &rate) == 2)
            scipy[name] = rate;
        pclose(pipe);
    }
    const double load = TimeCommand("/usr/bin/convert " + ppm + " null:");
    for (const Filter& f : filters) {
        const double total = TimeCommand("/usr/bin/convert " + ppm + " " + f.magick + " null:");
        if (load >= 0 && total > load)
            magick[f.name] = megapixels / (total - load);
    }
    std::remove(ppm.c_str());

    std::printf("%dx%d 24-bit image, megapixels per second (ImageMagick: its filter time, the file load taken off)\n",
                size, size);
    std::printf("%-12s %10s %10s %10s %12s %12s\n", "filter", "ours", "scipy", "magick", "ours/scipy", "ours/magick");
    for (const Filter& f : filters) {
        auto figure = [](const std::map<std::string, double>& m, const char* n) { return m.count(n) ? m.at(n) : 0.0; };
        const double o = ours[f.name], s = figure(scipy, f.name), m = figure(magick, f.name);
        std::printf("%-12s %10.2f %10.2f %10.2f %12.2f %12.2f\n", f.name, o, s, m, s > 0 ? o / s : 0.0,
                    m > 0 ? o / m : 0.0);
    }
    return 0;
}
