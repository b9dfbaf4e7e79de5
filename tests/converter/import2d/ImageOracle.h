#pragma once
// Runs image_oracle.py (numpy and Pillow) over raw RGBA files in a scratch folder.
#include "converter/import2d/CzBitmap.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

class ImageOracle {
public:
    ImageOracle()
    {
        char pattern[] = "/tmp/conv_image_XXXXXX";
        m_Dir = mkdtemp(pattern);
    }
    ~ImageOracle() { std::system(("rm -rf " + m_Dir).c_str()); }

    std::string Path(const std::string& name) const { return m_Dir + "/" + name; }

    void WriteRaw(const std::string& name, const CzBitmap& bitmap) const
    {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bitmap.Pixels()),
                   std::streamsize(bitmap.GetWidth()) * bitmap.GetHeight() * 4);
    }
    std::vector<unsigned char> ReadRaw(const std::string& name) const
    {
        std::ifstream in(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool Run(const std::string& arguments) const
    {
        const std::string script = std::string(MG_TESTS_DIR) + "/converter/import2d/image_oracle.py";
        return std::system((std::string(MG_PYTHON) + " " + script + " " + arguments).c_str()) == 0;
    }

private:
    std::string m_Dir;
};

// A deterministic test image with smooth areas, hard edges and varied alpha.
inline void FillPattern(CzBitmap& bitmap, int width, int height)
{
    bitmap.Allocate(width, height);
    unsigned seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const unsigned char noise = static_cast<unsigned char>(seed >> 24);
            const bool edge = ((x / 8) + (y / 8)) & 1;
            bitmap.At(x, y) = CPixel(static_cast<unsigned char>(x * 255 / width), edge ? 255 : 0, noise,
                                     static_cast<unsigned char>((x + y) * 255 / (width + height)));
        }
}
