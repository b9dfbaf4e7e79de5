#pragma once
// A texture as the texture-sharing tool stores it in its files: an ordinary texture element
// under the tool's class name, so that its files load through the element factory.
#include "converter/import2d/CdbTexture.h"

class CTambleTexture : public CdbTexture {
public:
    using CdbTexture::CdbTexture;

    static unsigned long TypeId;
    static CdbElement* Create(const char* label, CDatabase* database);

    unsigned long GetTypeId() const override { return TypeId; }
};
