#include "HostOptions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseNumber(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

} // namespace

bool ParseHostOptions(int argc, char** argv, HostOptions& options, char* error)
{
    bool haveLevel = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        double value = 0.0;
        if (std::strcmp(arg, "--frames") == 0 || std::strcmp(arg, "--frame-time") == 0) {
            bool frames = arg[8] == '\0';
            if (i + 1 >= argc || !ParseNumber(argv[i + 1], value) || value < 0.0 ||
                (frames && (value != double(int(value)) || value > 1e9))) {
                std::snprintf(error, 256, "%s needs a %s", arg,
                              frames ? "whole number of frames" : "number of seconds");
                return false;
            }
            if (frames)
                options.Frames = int(value);
            else
                options.FrameTime = value;
            ++i;
        } else if (arg[0] == '-' || haveLevel) {
            std::snprintf(error, 256, "unexpected argument \"%s\"", arg);
            return false;
        } else {
            options.Level = arg;
            haveLevel = true;
        }
    }
    return true;
}
