#pragma once
// The video player's allocator-presenter: the renderless Video Mixing Renderer 9 asks it for
// the surfaces frames are decoded into, made on the engine's own device, and hands it every
// frame to draw through the renderer. DirectShow calls it from its streaming thread; each
// operation holds the object's one critical section.
#include <vmr9.h>
#include <windows.h>

class CVidSurfAlloc : public IVMRSurfaceAllocator9, public IVMRImagePresenter9 {
public:
    CVidSurfAlloc();
    ~CVidSurfAlloc() override;
    CVidSurfAlloc(const CVidSurfAlloc&) = delete;
    CVidSurfAlloc& operator=(const CVidSurfAlloc&) = delete;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT InitializeDevice(DWORD_PTR userId, VMR9AllocationInfo* info, DWORD* count) override;
    HRESULT TerminateDevice(DWORD_PTR userId) override;
    HRESULT GetSurface(DWORD_PTR userId, DWORD index, DWORD flags, IDirect3DSurface9** surface) override;
    HRESULT AdviseNotify(IVMRSurfaceAllocatorNotify9* notify) override;

    HRESULT StartPresenting(DWORD_PTR userId) override;
    HRESULT StopPresenting(DWORD_PTR userId) override;
    HRESULT PresentImage(DWORD_PTR userId, VMR9PresentationInfo* info) override;

    // The part of each surface the picture fills.
    float GetUScale() const { return UScale; }
    float GetVScale() const { return VScale; }
    DWORD GetSurfaceCount() const { return SurfaceCount; }

private:
    void ReleaseSurfaces();
    void MakeSurfaceArray(DWORD count);

    CRITICAL_SECTION Lock;
    volatile LONG RefCount;
    IVMRSurfaceAllocatorNotify9* pNotify;
    IDirect3DSurface9** ppSurfaces;
    DWORD SurfaceCount;
    float UScale;
    float VScale;
};
