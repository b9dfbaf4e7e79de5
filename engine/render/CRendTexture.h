#pragma once
// A texture of packed data. Built in place, it turns its texture block into a device texture;
// a shared record repeats another record's texture and owns none.
#include <d3d9.h>

#include "engine/render/CInternalTexture.h"
#include "engine/zel/CZelStaticResource.h"

namespace rhu {
struct ZelTexture;
}

#pragma pack(push, 1)
class CRendTexture : public CZelStaticResource {
public:
    CRendTexture();
    ~CRendTexture() override;

    // Drops the own device texture and makes a new one from a block built at run time.
    void Replace(const rhu::ZelTexture* data);
    // The device texture drawn, following shared records; null when there is none.
    CInternalTexture* GetInternal() const;
    IDirect3DTexture9* GetDeviceTexture() const
    {
        const CInternalTexture* texture = GetInternal();
        return texture ? texture->pTexture : nullptr;
    }

    union {
        rhu::ZelTexture* pTextureData;
        CInternalTexture* pTexture;
        CRendTexture* pSharedTexture;
    };
    unsigned long IsShared;
};
#pragma pack(pop)
static_assert(sizeof(CRendTexture) == 12, "CRendTexture: table pointer, texture, shared flag");
