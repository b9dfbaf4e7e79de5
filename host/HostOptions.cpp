#include "HostOptions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseNumber(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

bool ParseWhole(const char* text, int& value)
{
    double number = 0.0;
    if (!ParseNumber(text, number) || number < 0.0 || number > 1e9 || number != double(int(number)))
        return false;
    value = int(number);
    return true;
}

bool ParseTriple(const char* text, float* out)
{
    char* end = nullptr;
    for (int i = 0; i < 3; ++i) {
        double value = std::strtod(text, &end);
        if (end == text || !std::isfinite(value) || *end != (i < 2 ? ',' : '\0'))
            return false;
        out[i] = float(value);
        text = end + 1;
    }
    return true;
}

// A file name, which may not be empty or look like the next option.
bool ParseFileName(const char* text, const char*& out)
{
    if (!text || text[0] == '\0' || text[0] == '-')
        return false;
    out = text;
    return true;
}

} // namespace

const char HostUsage[] =
    "usage: marlgate_host [--frames N] [--frame-time SECONDS] [--camera X,Y,Z] [--look-at X,Y,Z] [--fov DEGREES]\n"
    "                     [--screenshot-frame N] [--headless] [--audio-out FILE.wav] [--input-script FILE]\n"
    "                     [--trace FILE] [LEVEL]\n"
    "Runs the game from the nearest \"zel\" folder beside or above this program, starting at\n"
    "LEVEL (default \"mainmenu.zel\"). --frames quits after N frames; --frame-time gives every\n"
    "frame exactly that many seconds on a virtual clock. --camera and --look-at place the 3-D\n"
    "camera (z is up), --fov is its vertical field of view; --screenshot-frame N writes frame N\n"
    "(counted from 1) as \"PCX_Cap_000000.tga\" beside the data folder. The game shows in a\n"
    "window where a display exists, and reads its keyboard, mouse and game controller; --headless\n"
    "runs it without one. --audio-out writes what the game plays to FILE.wav (44.1 kHz, 16-bit\n"
    "stereo). --input-script feeds the keyboard, mouse and game controller from a script of\n"
    "per-frame lines. --trace writes, for every frame, the overlay's drawn instances (resource,\n"
    "text, colour, sort key, position, viewport) to FILE.\n";

bool ParseHostOptions(int argc, char** argv, HostOptions& options, char* error)
{
    bool haveLevel = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool valueUsed = true;
        const char* wanted = nullptr;
        double number = 0.0;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options.Help = true;
            valueUsed = false;
        } else if (std::strcmp(arg, "--headless") == 0) {
            options.Headless = true;
            valueUsed = false;
        } else if (std::strcmp(arg, "--frames") == 0) {
            if (!value || !ParseWhole(value, options.Frames))
                wanted = "whole number of frames";
        } else if (std::strcmp(arg, "--frame-time") == 0) {
            if (!value || !ParseNumber(value, number) || number < 0.0)
                wanted = "number of seconds";
            else
                options.FrameTime = number;
        } else if (std::strcmp(arg, "--camera") == 0 || std::strcmp(arg, "--look-at") == 0) {
            if (!value || !ParseTriple(value, arg[2] == 'c' ? options.Camera : options.LookAt))
                wanted = "point X,Y,Z";
        } else if (std::strcmp(arg, "--fov") == 0) {
            if (!value || !ParseNumber(value, number) || number <= 0.0 || number >= 180.0)
                wanted = "field of view above 0 and below 180 degrees";
            else
                options.Fov = float(number);
        } else if (std::strcmp(arg, "--screenshot-frame") == 0) {
            if (!value || !ParseWhole(value, options.ScreenshotFrame) || options.ScreenshotFrame == 0)
                wanted = "frame number from 1";
        } else if (std::strcmp(arg, "--audio-out") == 0 || std::strcmp(arg, "--input-script") == 0) {
            if (!ParseFileName(value, arg[2] == 'a' ? options.AudioOut : options.InputScript))
                wanted = "file name";
        } else if (std::strcmp(arg, "--trace") == 0) {
            if (!ParseFileName(value, options.Trace))
                wanted = "file name";
        } else if (arg[0] == '-' || haveLevel) {
            std::snprintf(error, 256, "unexpected argument \"%s\"", arg);
            return false;
        } else {
            options.Level = arg;
            haveLevel = true;
            valueUsed = false;
        }
        if (wanted) {
            std::snprintf(error, 256, "%s needs a %s", arg, wanted);
            return false;
        }
        if (valueUsed)
            ++i;
    }
    const float* c = options.Camera;
    const float* t = options.LookAt;
    if (c[0] == t[0] && c[1] == t[1] && c[2] == t[2]) {
        std::snprintf(error, 256, "--camera and --look-at name the same point");
        return false;
    }
    return true;
}
