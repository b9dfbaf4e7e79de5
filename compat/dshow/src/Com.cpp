// COM start-up per thread, object creation by class, the identifiers of the layer's classes and
// interfaces, and the layer's controls.
#include <dshow.h>
#include <mg_dshow.h>
#include <vmr9.h>

#include <string>

#include "ComBase.h"
#include "Filters.h"
#include "Graph.h"

// Identifiers of this layer's own: nothing outside the process sees them.
#define MG_DSHOW_GUID(name, n)                                                                                         \
    extern "C" const GUID name = {0x6d670000 + (n), 0x7673, 0x4d10, {0x8a, 0, 0, 0, 0, 0, 0, n}}
MG_DSHOW_GUID(CLSID_FilterGraph, 1);
MG_DSHOW_GUID(CLSID_VideoMixingRenderer9, 2);
MG_DSHOW_GUID(CLSID_DSoundRender, 3);
MG_DSHOW_GUID(IID_IBaseFilter, 10);
MG_DSHOW_GUID(IID_IPin, 11);
MG_DSHOW_GUID(IID_IEnumPins, 12);
MG_DSHOW_GUID(IID_IGraphBuilder, 13);
MG_DSHOW_GUID(IID_IFilterGraph2, 14);
MG_DSHOW_GUID(IID_IMediaControl, 15);
MG_DSHOW_GUID(IID_IMediaSeeking, 16);
MG_DSHOW_GUID(TIME_FORMAT_MEDIA_TIME, 17);
MG_DSHOW_GUID(IID_IVMRFilterConfig9, 20);
MG_DSHOW_GUID(IID_IVMRSurfaceAllocatorNotify9, 21);
MG_DSHOW_GUID(IID_IVMRSurfaceAllocator9, 22);
MG_DSHOW_GUID(IID_IVMRImagePresenter9, 23);

namespace {
thread_local int t_Initialised;
}

namespace dshowsw {

std::string Narrow(LPCWSTR text)
{
    std::string out;
    for (; text && *text; ++text) {
        unsigned c = *text;
        if (c >= 0xD800 && c < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[1] - 0xDC00);
            ++text;
        }
        if (c < 0x100) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace dshowsw

extern "C" {

HRESULT WINAPI CoInitializeEx(LPVOID, DWORD) { return t_Initialised++ == 0 ? S_OK : S_FALSE; }

void WINAPI CoUninitialize(void)
{
    if (t_Initialised > 0)
        --t_Initialised;
}

HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD, REFIID iid, LPVOID* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (t_Initialised == 0)
        return CO_E_NOTINITIALIZED;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    IUnknown* made = nullptr;
    if (clsid == CLSID_FilterGraph)
        made = static_cast<IFilterGraph2*>(new dshowsw::FilterGraph);
    else if (clsid == CLSID_VideoMixingRenderer9)
        made = static_cast<IBaseFilter*>(new dshowsw::VideoRenderer);
    else if (clsid == CLSID_DSoundRender)
        made = static_cast<IBaseFilter*>(new dshowsw::AudioRenderer);
    else
        return REGDB_E_CLASSNOTREG;
    const HRESULT result = made->QueryInterface(iid, object);
    made->Release();
    return result;
}

void MgVideoSetDecoderThreads(int threads) { dshowsw::MediaFile::DecoderThreads = threads < 0 ? 0 : threads; }

ULONGLONG MgVideoFramesPresented(void) { return dshowsw::Streamer::FramesPresented; }

} // extern "C"
