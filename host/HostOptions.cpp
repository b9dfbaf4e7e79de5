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

const char HostUsage[] = "usage: marlgate_host [--frames N] [--frame-time SECONDS] [LEVEL]\n"
                         "Runs the game from the nearest \"zel\" folder beside or above this program, starting at\n"
                         "LEVEL (default \"mainmenu.zel\"). --frames quits after N frames; --frame-time gives every\n"
                         "frame exactly that many seconds on a virtual clock.\n";

bool ParseHostOptions(int argc, char** argv, HostOptions& options, char* error)
{
    bool haveLevel = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        double value = 0.0;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options.Help = true;
        } else if (std::strcmp(arg, "--frames") == 0 || std::strcmp(arg, "--frame-time") == 0) {
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
