#pragma once
// Light records reserved through handles, their device form, and the frame's table of the
// lights that are enabled and visible.
#include <d3d9.h>
#include <windows.h>

#include "core/math/CVector.h"

struct DeviceLightRecord;

struct LightRecord {
    enum { TYPE_NONE, TYPE_DIRECTIONAL, TYPE_POINT, TYPE_SPOT, TYPE_FOG };
    enum : unsigned long {
        FLAG_CHANGED = 0x01,
        FLAG_ENABLED = 0x02,
        FLAG_CULL = 0x04,
        FLAG_NEVER_CULL = 0x08,
        FLAG_LEFT = 0x10,
        FLAG_TOP = 0x20,
        FLAG_RIGHT = 0x40,
        FLAG_BOTTOM = 0x80,
    };
    unsigned long Name;
    int Priority;
    int Type;
    unsigned long Flags;
    int Viewport;
    float Intensity;
    CVector ScaledAmbient, ScaledDiffuse, ScaledSpecular;
    CVector Ambient, Diffuse, Specular; // 0..255
    CVector Direction;
    CVector Position;
    CVector Attenuation; // constant, linear, quadratic; fog start and end for a fog light
    float Aperture;      // cosine of a spot light's outer cone
    float Radius;
    float MinX, MaxX, MinY, MaxY;
    DeviceLightRecord* pDevice;
};

struct DeviceLightRecord {
    CVector Diffuse; // scaled diffuse / 255
    CVector Ambient; // scaled ambient / 255
    D3DCOLOR FogColour;
    float InverseAperture;
    D3DLIGHT9 Light; // filled only while vertex shaders are not in use
};

// Fixed-size records in pages of 32 with free masks: a static first block, then heap pages.
template <class T> class CLightPool {
public:
    struct Page {
        T Records[32];
        DWORD FreeMask; // bit set: free
        DWORD Full;
        Page* pNext;
    };
    explicit CLightPool(int startPages);
    ~CLightPool();
    T* Reserve();
    void Release(T* record);
    void ReleaseAll();
    // Calls visit for every reserved record: the static block, then the pages in order.
    template <class Visit> void ForEach(Visit visit)
    {
        for (Page* p = &First; p; p = p->pNext)
            for (int i = 0; i < 32; ++i)
                if (!(p->FreeMask & (1u << i)))
                    visit(p->Records[i]);
    }
    int CountPages() const;

private:
    Page First;
};

// The handle API; a handle is the record's address, 0 none.
unsigned long LightHandleAquire();
void LightHandleRelease(unsigned long& handle);
bool LightIsEnabled(unsigned long& handle);
void LightEnable(unsigned long& handle, bool on);
void LightHandleSelect(unsigned long& handle);
void LightSetName(unsigned long name);
void LightSetPriority(int priority);
void LightSetType(int type);
void LightSetIntensity(float intensity);
void LightSetAmbient(const CVector& colour);
void LightSetDiffuse(const CVector& colour);
void LightSetSpecular(const CVector& colour);
void LightSetDirection(const CVector& direction);
void LightSetPosition(const CVector& position);
void LightSetAttenuation(const CVector& terms);
void LightSetViewport(int viewport);
void LightSetRadius(float radius);
void LightSetArpeture(float aperture);
void LightSetExtents(float minX, float maxX, float minY, float maxY, int left, int top, int right, int bottom);
void LightSetCull(bool cull);

// The frame's light table: rebuilt once per frame from the enabled, visible records.
enum { kMaxFrameLights = 128 };
void RebuildFrameLightTable(unsigned long engineFlags, bool shadersInUse);
int GetFrameLightCount();
LightRecord* GetFrameLight(int index);
// How many light record pages the pool holds (the static block counts as one).
int CountLightPages();
