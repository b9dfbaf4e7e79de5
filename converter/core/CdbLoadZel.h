#pragma once

#include "converter/core/CdbElement.h"

// A request to load another packed data file at run time; the label is that file's path.
class CdbLoadZel : public CdbElement {
public:
    CdbLoadZel(const char* path, CDatabase* database);

    void Dump(CZelWriter& writer) override;
};
