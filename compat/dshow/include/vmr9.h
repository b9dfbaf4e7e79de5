#pragma once
// The Video Mixing Renderer 9 in renderless mode: the application's allocator-presenter makes
// the Direct3D surfaces frames are decoded into (through the renderer's allocation helper) and
// shows each frame it is handed. The renderer calls the allocator-presenter from its streaming
// thread.
#include <d3d9.h>
#include <dshow.h>

#define VMR9Mode_Windowed 0x1
#define VMR9Mode_Windowless 0x2
#define VMR9Mode_Renderless 0x4

// Allocation flags.
#define VMR9AllocFlag_3DRenderTarget 0x0001
#define VMR9AllocFlag_DXVATarget 0x0002
#define VMR9AllocFlag_TextureSurface 0x0004
#define VMR9AllocFlag_OffscreenSurface 0x0008

typedef struct _VMR9AllocationInfo {
    DWORD dwFlags;
    DWORD dwWidth;
    DWORD dwHeight;
    D3DFORMAT Format;
    D3DPOOL Pool;
    DWORD MinBuffers;
    SIZE szAspectRatio;
    SIZE szNativeSize;
} VMR9AllocationInfo;

typedef struct _VMR9PresentationInfo {
    DWORD dwFlags;
    IDirect3DSurface9* lpSurf;
    REFERENCE_TIME rtStart;
    REFERENCE_TIME rtEnd;
    SIZE szAspectRatio;
    RECT rcSrc;
    RECT rcDst;
    DWORD dwReserved1;
    DWORD dwReserved2;
} VMR9PresentationInfo;

extern "C" {
extern const IID IID_IVMRFilterConfig9;
extern const IID IID_IVMRSurfaceAllocatorNotify9;
extern const IID IID_IVMRSurfaceAllocator9;
extern const IID IID_IVMRImagePresenter9;
}

struct IVMRSurfaceAllocator9;

struct IVMRFilterConfig9 : IUnknown {
    virtual HRESULT SetRenderingMode(DWORD mode) = 0;
    virtual HRESULT SetNumberOfStreams(DWORD streams) = 0;
};

struct IVMRSurfaceAllocatorNotify9 : IUnknown {
    // The allocator-presenter the renderer uses (it must also be an IVMRImagePresenter9).
    virtual HRESULT AdviseSurfaceAllocator(DWORD_PTR userId, IVMRSurfaceAllocator9* allocator) = 0;
    virtual HRESULT SetD3DDevice(IDirect3DDevice9* device, HMONITOR monitor) = 0;
    // Makes *count surfaces of the description on the device: textures (level 0 of each) with
    // VMR9AllocFlag_TextureSurface, else off-screen plain surfaces. E_FAIL when the device
    // cannot make them (a texture size it does not take), leaving the array empty.
    virtual HRESULT AllocateSurfaceHelper(VMR9AllocationInfo* info, DWORD* count, IDirect3DSurface9** surfaces) = 0;
};

struct IVMRSurfaceAllocator9 : IUnknown {
    virtual HRESULT InitializeDevice(DWORD_PTR userId, VMR9AllocationInfo* info, DWORD* count) = 0;
    virtual HRESULT TerminateDevice(DWORD_PTR userId) = 0;
    virtual HRESULT GetSurface(DWORD_PTR userId, DWORD index, DWORD flags, IDirect3DSurface9** surface) = 0;
    virtual HRESULT AdviseNotify(IVMRSurfaceAllocatorNotify9* notify) = 0;
};

struct IVMRImagePresenter9 : IUnknown {
    virtual HRESULT StartPresenting(DWORD_PTR userId) = 0;
    virtual HRESULT StopPresenting(DWORD_PTR userId) = 0;
    virtual HRESULT PresentImage(DWORD_PTR userId, VMR9PresentationInfo* info) = 0;
};
