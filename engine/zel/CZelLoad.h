#pragma once
// A packed record that loads a further packed file while it exists.
#include "engine/zel/CZelStaticResource.h"

class CZelFile;

#pragma pack(push, 1)
class CZelLoad : public CZelStaticResource {
public:
    CZelLoad();
    ~CZelLoad() override;

    CZelFile* GetFile() const { return pZel; }

private:
    CZelFile* pZel;
    char File[0]; // NUL-terminated, stored inline after the record
};
#pragma pack(pop)
static_assert(sizeof(CZelLoad) == 8, "CZelLoad: table pointer, pZel, then File at 8");
