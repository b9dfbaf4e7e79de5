#pragma once
// Elements as the texture-sharing tool stores them in its files: the converter's own maps and
// textures under the tool's class names, so that its files load through the element factory
// and their elements are written like any other.
#include "converter/import2d/CdbBackground.h"
#include "converter/import2d/CdbTexture.h"

template <class Base> class CTambleElement : public Base {
public:
    using Base::Base;

    static unsigned long TypeId;
    static CdbElement* Create(const char* label, CDatabase* database) { return new CTambleElement(label, database); }

    unsigned long GetTypeId() const override { return TypeId; }
};

// Registered under these names where the TambleMap command is.
template <> unsigned long CTambleElement<CdbBackground>::TypeId;
template <> unsigned long CTambleElement<CdbTexture>::TypeId;

typedef CTambleElement<CdbBackground> CTambleMap;
typedef CTambleElement<CdbTexture> CTambleTexture;
