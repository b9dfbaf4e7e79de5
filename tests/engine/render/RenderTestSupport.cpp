#include "RenderTestSupport.h"

std::string ReadShotPixels(const std::filesystem::path& file, const std::string& points)
{
    std::string command = std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/d3d9/tga_pixels.py " + file.string() +
                          " " + points + " 2>&1";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}
