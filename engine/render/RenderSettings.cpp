#include "engine/render/RenderSettings.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/file/CZFile.h"

RenderSettings RenderSettings::Defaults()
{
    RenderSettings s;
    s.Width = 800;
    s.Height = 600;
    s.Windowed = 0;
    s.BitsPerPixel = 32;
    s.MultiSample = 2;
    s.PassLimit = 10;
    s.Shaders = 1;
    s.HardwareProcessing = 1;
    s.Outlines = 0;
    s.Anisotropic = 0;
    s.HasStencil = 0;
    s.BackBufferFormat = D3DFMT_UNKNOWN;
    s.DepthFormat = D3DFMT_UNKNOWN;
    s.ScreenScale = 1.0f;
    s.OutlineWidth = 0.0033f;
    s.OutlineDepthWidth = 0.00125f;
    s.MinFilter = D3DTEXF_LINEAR;
    s.MagFilter = D3DTEXF_LINEAR;
    s.Videos = 1;
    return s;
}

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// A character stream over the file's text with the word reading the key reader needs.
struct ConfigReader {
    const char* At;
    const char* End;

    int Get() { return At < End ? static_cast<unsigned char>(*At++) : -1; }
    void SkipLine()
    {
        while (At < End && *At != '\n')
            ++At;
        if (At < End)
            ++At;
    }
    // The next whitespace-delimited word, skipping white space (line ends too) before it.
    std::string Word()
    {
        while (At < End && IsSpace(*At))
            ++At;
        const char* start = At;
        while (At < End && !IsSpace(*At))
            ++At;
        return std::string(start, At);
    }
};

int MultiSampleValue(const std::string& v)
{
    for (int n = 0; n <= 16; ++n)
        if (v == std::to_string(n))
            return n < 2 ? 0 : n;
    return 2;
}

int PassLimitValue(const std::string& v)
{
    for (int n = 1; n <= 10; ++n)
        if (v == std::to_string(n))
            return n;
    return 10;
}

} // namespace

void ReadConfigText(const char* text, unsigned long length, RenderSettings& requested, RenderSwitches& switches)
{
    struct Switch {
        const char* key;
        int* field;
        int value;
    };
    const Switch kSwitches[] = {
        {"hardwareprocess:", &requested.HardwareProcessing, 1},
        {"softwareprocess:", &requested.HardwareProcessing, 0},
        {"shaders:", &requested.Shaders, 1},
        {"noshaders:", &requested.Shaders, 0},
        {"windowed:", &requested.Windowed, 1},
        {"fullscreen:", &requested.Windowed, 0},
        {"outlines:", &requested.Outlines, 1},
        {"anisotropic:", &requested.Anisotropic, 1},
        {"videos:", &requested.Videos, 1},
        {"novideos:", &requested.Videos, 0},
        {"scrolllock:", &switches.ScrollLock, 1},
        {"psysresources:", &switches.ParticleResources, 1},
    };
    ConfigReader in{text, text + length};
    for (int c; (c = in.Get()) != -1;) {
        if (c == '\n')
            continue;
        if (std::strchr("!/:;", c)) {
            in.SkipLine();
            continue;
        }
        // A key must start in the first column: a leading space stays part of the word.
        const std::string key = std::string(1, char(c)) + in.Word();
        if (key == "width:")
            requested.Width = std::atoi(in.Word().c_str());
        else if (key == "height:")
            requested.Height = std::atoi(in.Word().c_str());
        else if (key == "bpp:")
            requested.BitsPerPixel = in.Word() == "16" ? 16 : 32;
        else if (key == "multisample:")
            requested.MultiSample = MultiSampleValue(in.Word());
        else if (key == "passlimit:")
            requested.PassLimit = PassLimitValue(in.Word());
        else
            for (const Switch& s : kSwitches)
                if (key == s.key)
                    *s.field = s.value;
    }
}

bool ReadConfigFile(const char* name, RenderSettings& requested, RenderSwitches& switches)
{
    CZFile file;
    if (file.Open(name, CZFile::kRead | CZFile::kInDataFolder) != 0)
        return false;
    std::string text;
    char buffer[4096];
    for (int n; (n = file.Read(buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    file.Close();
    ReadConfigText(text.data(), static_cast<unsigned long>(text.size()), requested, switches);
    return true;
}

void DescribeFormat(D3DFORMAT format, int& bitsPerPixel, int& rank)
{
    struct Entry {
        D3DFORMAT format;
        int bits, rank;
    };
    static const Entry kFormats[] = {
        {D3DFMT_R8G8B8, 32, 1},   {D3DFMT_A8R8G8B8, 32, 2}, {D3DFMT_X8R8G8B8, 32, 3}, {D3DFMT_R5G6B5, 16, 5},
        {D3DFMT_X1R5G5B5, 16, 4}, {D3DFMT_A1R5G5B5, 16, 3}, {D3DFMT_A4R4G4B4, 16, 1}, {D3DFMT_X4R4G4B4, 16, 2},
    };
    bitsPerPixel = rank = 0;
    for (const Entry& e : kFormats)
        if (e.format == format) {
            bitsPerPixel = e.bits;
            rank = e.rank;
        }
}

namespace {

// The highest multisample type from 0 and 2..limit that the adapter accepts.
int HighestSamples(IDirect3D9* d3d, D3DFORMAT format, BOOL windowed, int limit)
{
    int best = 0;
    for (int type = 0; type <= limit; ++type)
        if (type != 1 && d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, format, windowed, D3DMULTISAMPLE_TYPE(type),
                                                         nullptr) == D3D_OK)
            best = type;
    return best;
}

} // namespace

int EnumerateDisplayModes(IDirect3D9* d3d, const D3DDISPLAYMODE& desktop, void (*add)(const RenderConfigState&, void*),
                          void* context)
{
    static const D3DFORMAT kAdapterFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_A2R10G10B10,
                                                D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_R5G6B5};
    static const D3DFORMAT kDepthFormats[] = {D3DFMT_D15S1, D3DFMT_D16,   D3DFMT_D24X4S4,
                                              D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D32};
    int added = 0;
    for (D3DFORMAT format : kAdapterFormats) {
        int bits, rank;
        DescribeFormat(format, bits, rank);
        if (bits == 0)
            continue;
        const UINT count = d3d->GetAdapterModeCount(0, format);
        for (UINT i = 0; i < count; ++i) {
            D3DDISPLAYMODE mode;
            if (d3d->EnumAdapterModes(0, format, i, &mode) != D3D_OK || mode.Width <= 319 || mode.Height <= 199)
                continue;
            D3DFORMAT depth = D3DFMT_UNKNOWN;
            for (D3DFORMAT candidate : kDepthFormats)
                if (d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, format, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                           candidate) == D3D_OK &&
                    d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, format, format, candidate) == D3D_OK)
                    depth = candidate;
            if (depth == D3DFMT_UNKNOWN)
                continue;
            RenderConfigState s{};
            s.Width = int(mode.Width);
            s.Height = int(mode.Height);
            s.BitsPerPixel = bits;
            s.Windowable = format == desktop.Format && mode.Width < desktop.Width && mode.Height < desktop.Height;
            s.MaxSamplesFullScreen = HighestSamples(d3d, format, FALSE, 16);
            s.MaxSamplesWindowed = HighestSamples(d3d, format, TRUE, 16);
            s.FormatRank = rank;
            s.Format = format;
            s.DepthFormat = depth;
            add(s, context);
            ++added;
        }
    }
    return added;
}

namespace {

// Whether a full-screen mode replaces the best so far (see ChooseSettings).
bool BeatsBest(const RenderConfigState& mode, int distance, const RenderConfigState* best, int bestDistance,
               int wantedBits)
{
    if (!best)
        return distance < bestDistance;
    if (distance == bestDistance) {
        const bool modeWanted = mode.BitsPerPixel == wantedBits, bestWanted = best->BitsPerPixel == wantedBits;
        if (modeWanted != bestWanted)
            return modeWanted;
        if (mode.BitsPerPixel != best->BitsPerPixel)
            return mode.BitsPerPixel > best->BitsPerPixel;
        const int rank = mode.FormatRank + (modeWanted ? 100 : 0), bestRank = best->FormatRank + (bestWanted ? 100 : 0);
        return rank >= bestRank;
    }
    if (bestDistance > 0)
        return distance < bestDistance;
    return distance > bestDistance && distance <= 0;
}

} // namespace

bool ChooseSettings(IDirect3D9* d3d, const D3DDISPLAYMODE& desktop, RenderConfigState* const* modes, int count,
                    const RenderSettings& requested, RenderSettings& out)
{
    out.Width = requested.Width;
    out.Height = requested.Height;
    out.Windowed = requested.Windowed;
    out.BitsPerPixel = requested.BitsPerPixel;
    out.PassLimit = requested.PassLimit;
    out.Shaders = requested.Shaders;
    out.HardwareProcessing = requested.HardwareProcessing;
    out.Outlines = requested.Outlines;
    out.Anisotropic = requested.Anisotropic;
    // A game asked not to play videos must not play them.
    out.Videos = requested.Videos;
    out.BackBufferFormat = out.DepthFormat = D3DFMT_UNKNOWN;
    D3DCAPS9 caps;
    std::memset(&caps, 0, sizeof caps);
    d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps);

    int maxSamples = 0;
    if (out.Windowed) {
        const RenderConfigState* best = nullptr;
        int bestWidth = -1, bestHeight = -1;
        for (int i = 0; i < count; ++i) {
            const RenderConfigState& m = *modes[i];
            if (!m.Windowable)
                continue;
            if (m.Width >= requested.Width && m.Height >= requested.Height) {
                best = &m;
                bestWidth = requested.Width;
                bestHeight = requested.Height;
                break;
            }
            if (m.Width >= bestWidth && m.Height >= bestHeight) {
                best = &m;
                bestWidth = m.Width;
                bestHeight = m.Height;
            }
        }
        if (best) {
            out.Width = bestWidth;
            out.Height = bestHeight;
            out.BackBufferFormat = desktop.Format;
            out.DepthFormat = best->DepthFormat;
            maxSamples = best->MaxSamplesWindowed;
            int bits, rank;
            DescribeFormat(desktop.Format, bits, rank);
            if (bits)
                out.BitsPerPixel = bits;
        } else {
            out.Windowed = 0;
        }
    }
    if (!out.Windowed) {
        const RenderConfigState* best = nullptr;
        int bestDistance = 100000;
        for (int i = 0; i < count; ++i) {
            const RenderConfigState& m = *modes[i];
            const int distance = m.Width + m.Height - requested.Width - requested.Height;
            if (BeatsBest(m, distance, best, bestDistance, requested.BitsPerPixel)) {
                best = &m;
                bestDistance = distance;
            }
        }
        if (best) {
            out.Width = best->Width;
            out.Height = best->Height;
            out.BitsPerPixel = best->BitsPerPixel;
            out.BackBufferFormat = best->Format;
            out.DepthFormat = best->DepthFormat;
            maxSamples = best->MaxSamplesFullScreen;
        }
    }
    if (out.BackBufferFormat == D3DFMT_UNKNOWN)
        return false;

    if (maxSamples > requested.MultiSample)
        maxSamples = requested.MultiSample;
    out.MultiSample = HighestSamples(d3d, out.BackBufferFormat, out.Windowed ? TRUE : FALSE, maxSamples);

    out.ScreenScale = float(out.Width) / 640.0f;
    out.OutlineWidth = 0.0033f / out.ScreenScale;
    out.OutlineDepthWidth = 0.00125f / out.ScreenScale;
    out.HasStencil =
        out.DepthFormat == D3DFMT_D15S1 || out.DepthFormat == D3DFMT_D24S8 || out.DepthFormat == D3DFMT_D24X4S4;
    out.PassLimit = requested.PassLimit;
    if (DWORD(out.PassLimit) > caps.MaxSimultaneousTextures)
        out.PassLimit = int(caps.MaxSimultaneousTextures);
    out.MinFilter = out.MagFilter = D3DTEXF_LINEAR;
    if (out.Anisotropic) {
        if (caps.TextureFilterCaps & D3DPTFILTERCAPS_MINFANISOTROPIC)
            out.MinFilter = D3DTEXF_ANISOTROPIC;
        if (caps.TextureFilterCaps & D3DPTFILTERCAPS_MAGFANISOTROPIC)
            out.MagFilter = D3DTEXF_ANISOTROPIC;
    }
    std::printf("******** 3D Engine Settings: ********\n");
    std::printf("** Width %d - Height %d - BPP %d\n", out.Width, out.Height, out.BitsPerPixel);
    std::printf("** Aliasing %d - Format %d - Depth %d\n", out.MultiSample, int(out.BackBufferFormat),
                int(out.DepthFormat));
    return true;
}

void BuildGammaRamp(float gamma, float contrast, float brightness, WORD ramp[256])
{
    // A gamma of zero or below would divide by zero; the smallest gamma kept is 0.01.
    if (!(gamma >= 0.01f))
        gamma = 0.01f;
    for (int i = 0; i < 256; ++i) {
        const double g = std::pow(i / 255.0, 1.0 / gamma);
        double v = (g * 255.0 - 127.0) * contrast + 127.0 + (brightness - 1.0) * 127.0;
        v = v < 0.0 ? 0.0 : v > 255.0 ? 255.0 : v;
        ramp[i] = static_cast<WORD>(std::lround(v * 256.0));
    }
}
