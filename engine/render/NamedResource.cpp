#include "engine/render/NamedResource.h"

#include "core/math/CVector.h"
#include "core/names/CCRC32.h"
#include "engine/render/CRender.h"
#include "engine/zel/CZelFixupManager.h"

NamedResourcePublisher::NamedResourcePublisher(const char* name, void* resource)
{
    const unsigned long key = CCRC32::GetCRC(name);
    CZelFixupManager::SetAddress(key, resource);
    CZelFixupManager::SetLabel(key, name);
}

CVector4 ShapeColour(const CRender* render)
{
    const CVector4* c = render->GetColour();
    return c ? CVector4(255 * c->x, 255 * c->y, 255 * c->z, 255 * c->w) : CVector4(255, 255, 255, 255);
}
