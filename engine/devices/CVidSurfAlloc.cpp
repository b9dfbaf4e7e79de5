#include "engine/devices/CVidSurfAlloc.h"

#include "core/output/ZOutput.h"
#include "engine/render/CRenderer.h"

namespace {

// Holds a critical section for a scope.
class SectionLock {
public:
    explicit SectionLock(CRITICAL_SECTION& section) : Section(section) { EnterCriticalSection(&Section); }
    ~SectionLock() { LeaveCriticalSection(&Section); }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;

private:
    CRITICAL_SECTION& Section;
};

DWORD RoundUpToPowerOfTwo(DWORD value)
{
    DWORD rounded = 1;
    while (rounded < value && rounded < 0x80000000u)
        rounded <<= 1;
    return rounded;
}

} // namespace

CVidSurfAlloc::CVidSurfAlloc()
    : RefCount(1), pNotify(nullptr), ppSurfaces(nullptr), SurfaceCount(0), UScale(1.0f), VScale(1.0f)
{
    InitializeCriticalSection(&Lock);
}

CVidSurfAlloc::~CVidSurfAlloc()
{
    ReleaseSurfaces();
    if (pNotify)
        pNotify->Release();
    DeleteCriticalSection(&Lock);
}

HRESULT CVidSurfAlloc::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IVMRSurfaceAllocator9) {
        *object = static_cast<IVMRSurfaceAllocator9*>(this);
    } else if (riid == IID_IVMRImagePresenter9) {
        *object = static_cast<IVMRImagePresenter9*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CVidSurfAlloc::AddRef() { return ULONG(InterlockedIncrement(&RefCount)); }

ULONG CVidSurfAlloc::Release()
{
    const LONG left = InterlockedDecrement(&RefCount);
    if (left == 0)
        delete this;
    return ULONG(left);
}

void CVidSurfAlloc::ReleaseSurfaces()
{
    SectionLock hold(Lock);
    for (DWORD i = 0; i < SurfaceCount; ++i)
        if (ppSurfaces[i])
            ppSurfaces[i]->Release();
    delete[] ppSurfaces;
    ppSurfaces = nullptr;
    SurfaceCount = 0;
}

void CVidSurfAlloc::MakeSurfaceArray(DWORD count)
{
    ppSurfaces = new IDirect3DSurface9*[count]();
    SurfaceCount = count;
}

// A device that takes only power-of-two textures gets surfaces rounded up to powers of two
// (both sides the larger when it also wants them square); the picture then fills the fractions
// of them the renderer draws.
HRESULT CVidSurfAlloc::InitializeDevice(DWORD_PTR, VMR9AllocationInfo* info, DWORD* count)
{
    if (!count || !info)
        return E_POINTER;
    if (!pNotify)
        return E_FAIL;
    SectionLock hold(Lock);
    ReleaseSurfaces();
    info->dwFlags |= VMR9AllocFlag_TextureSurface;
    MakeSurfaceArray(*count);
    UScale = VScale = 1.0f;

    D3DCAPS9 caps = {};
    if (IDirect3DDevice9* device = GetDirect3DDevice())
        device->GetDeviceCaps(&caps);
    if (caps.TextureCaps & D3DPTEXTURECAPS_POW2) {
        DWORD width = RoundUpToPowerOfTwo(info->dwWidth);
        DWORD height = RoundUpToPowerOfTwo(info->dwHeight);
        if (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY)
            width = height = width > height ? width : height;
        UScale = float(info->dwWidth) / float(width);
        VScale = float(info->dwHeight) / float(height);
        info->dwWidth = width;
        info->dwHeight = height;
    }

    HRESULT result = pNotify->AllocateSurfaceHelper(info, count, ppSurfaces);
    if (FAILED(result)) {
        ReleaseSurfaces();
        MakeSurfaceArray(*count);
        info->dwFlags = (info->dwFlags & ~DWORD(VMR9AllocFlag_TextureSurface)) | VMR9AllocFlag_OffscreenSurface;
        result = pNotify->AllocateSurfaceHelper(info, count, ppSurfaces);
    }
    return result;
}

HRESULT CVidSurfAlloc::TerminateDevice(DWORD_PTR)
{
    ReleaseSurfaces();
    return S_OK;
}

HRESULT CVidSurfAlloc::GetSurface(DWORD_PTR, DWORD index, DWORD, IDirect3DSurface9** surface)
{
    if (!surface)
        return E_POINTER;
    SectionLock hold(Lock);
    if (index >= SurfaceCount || !ppSurfaces[index]) {
        *surface = nullptr;
        return E_FAIL;
    }
    *surface = ppSurfaces[index];
    (*surface)->AddRef();
    return S_OK;
}

HRESULT CVidSurfAlloc::AdviseNotify(IVMRSurfaceAllocatorNotify9* notify)
{
    if (!notify)
        vbail("ATL ASSERT!!!");
    SectionLock hold(Lock);
    notify->AddRef();
    if (pNotify)
        pNotify->Release();
    pNotify = notify;
    IDirect3D9* d3d = GetDirect3D();
    return pNotify->SetD3DDevice(GetDirect3DDevice(), d3d ? d3d->GetAdapterMonitor(0) : nullptr);
}

HRESULT CVidSurfAlloc::StartPresenting(DWORD_PTR)
{
    SectionLock hold(Lock);
    return S_OK;
}

HRESULT CVidSurfAlloc::StopPresenting(DWORD_PTR)
{
    SectionLock hold(Lock);
    return S_OK;
}

HRESULT CVidSurfAlloc::PresentImage(DWORD_PTR, VMR9PresentationInfo* info)
{
    SectionLock hold(Lock);
    if (!info || !info->lpSurf)
        return E_POINTER;
    SectionLock again(Lock); // the renderer is entered holding the lock a second time
    DrawVideoSurface(info->lpSurf, UScale, VScale);
    return S_OK;
}
