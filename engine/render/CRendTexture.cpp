#include "engine/render/CRendTexture.h"

#include "engine/include/RhuTypes.h"
#include "engine/render/CTextureManager.h"
#include "engine/zel/CZelFixupManager.h"

static_assert(sizeof(CRendTexture) == sizeof(rhu::CRendTexture), "CRendTexture differs from the record header");

ZEL_REGISTER_RECORD(CRendTexture);

// A shared record keeps pointing at the record it repeats, so it draws that record's texture
// whichever of the two the loader builds first.
CRendTexture::CRendTexture()
{
    if (IsShared || !pTextureData)
        return;
    pTexture = CTextureManager::Create(pTextureData, 1);
}

CRendTexture::~CRendTexture()
{
    if (!IsShared)
        CTextureManager::Destroy(pTexture);
    pTexture = nullptr;
    IsShared = 0;
}

void CRendTexture::Replace(const rhu::ZelTexture* data)
{
    if (!IsShared)
        CTextureManager::Destroy(pTexture);
    IsShared = 0;
    pTexture = data ? CTextureManager::Create(data, 0) : nullptr;
}

CInternalTexture* CRendTexture::GetInternal() const
{
    const CRendTexture* record = this;
    // A damaged file could make shared records point round in a circle.
    for (int hops = 0; record && record->IsShared; ++hops)
        record = hops < 8 ? record->pSharedTexture : nullptr;
    return record ? record->pTexture : nullptr;
}
