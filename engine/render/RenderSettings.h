#pragma once
// What the render device runs with: the settings the configuration files and callers ask for,
// the display modes the adapter offers, and the choice between them. Nothing here touches a
// device; the adapter is only asked about formats, modes and caps.
#include <d3d9.h>
#include <windows.h>

// One display mode: 40 bytes, kept in the device's record pool.
struct RenderConfigState {
    int Width;
    int Height;
    int BitsPerPixel;
    int Windowable; // the mode fits in a window on the desktop; the windowed flag when switching
    int MaxSamplesFullScreen;
    int MaxSamplesWindowed;
    int FormatRank; // preference of the format inside its depth
    D3DFORMAT Format;
    D3DFORMAT DepthFormat;
    DWORD Reserved;
};
static_assert(sizeof(RenderConfigState) == 40, "a display mode fills one pool record");

struct RenderSettings {
    int Width;
    int Height;
    int Windowed;
    int BitsPerPixel;
    int MultiSample;
    int PassLimit;
    int Shaders;
    int HardwareProcessing;
    int Outlines;
    int Anisotropic;
    int HasStencil;
    D3DFORMAT BackBufferFormat;
    D3DFORMAT DepthFormat;
    float ScreenScale;
    float OutlineWidth;
    float OutlineDepthWidth;
    D3DTEXTUREFILTERTYPE MinFilter;
    D3DTEXTUREFILTERTYPE MagFilter;
    int Videos;

    static RenderSettings Defaults();
};
static_assert(sizeof(RenderSettings) == 19 * 4, "the settings record is 19 words");

// The two debug switches the configuration files can turn on.
struct RenderSwitches {
    int ScrollLock;
    int ParticleResources;
};

// Reads one configuration file's text into the requested settings and the switches; keys
// start in the first column and are followed by white space and their value.
void ReadConfigText(const char* text, unsigned long length, RenderSettings& requested, RenderSwitches& switches);
// Reads a file of the data folder (a missing file is skipped); true when it was read.
bool ReadConfigFile(const char* name, RenderSettings& requested, RenderSwitches& switches);

// Depth and preference of an adapter format; 0 depth for formats the renderer does not use.
void DescribeFormat(D3DFORMAT format, int& bitsPerPixel, int& rank);

// Every usable mode of adapter 0 with its best depth format and multisample limits, through
// add (which keeps the record); returns how many were added.
template <class Add> int EnumerateDisplayModes(IDirect3D9* d3d, const D3DDISPLAYMODE& desktop, Add add);
int EnumerateDisplayModes(IDirect3D9* d3d, const D3DDISPLAYMODE& desktop, void (*add)(const RenderConfigState&, void*),
                          void* context);

// Chooses the active settings for `requested` among the modes; false when no mode fits.
bool ChooseSettings(IDirect3D9* d3d, const D3DDISPLAYMODE& desktop, RenderConfigState* const* modes, int count,
                    const RenderSettings& requested, RenderSettings& out);

// The 256 gamma entries for a gamma, contrast and brightness (1.0 each changes nothing).
void BuildGammaRamp(float gamma, float contrast, float brightness, WORD ramp[256]);

template <class Add> int EnumerateDisplayModes(IDirect3D9* d3d, const D3DDISPLAYMODE& desktop, Add add)
{
    return EnumerateDisplayModes(
        d3d, desktop, [](const RenderConfigState& s, void* c) { (*static_cast<Add*>(c))(s); }, &add);
}
