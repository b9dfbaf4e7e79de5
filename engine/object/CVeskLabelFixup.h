#pragma once
// Gives a symbol-table entry its printable label, for the editor and the layout dump.
#include <windows.h>

#include "engine/zel/CZelStaticResource.h"

#pragma pack(push, 1)
class CVeskLabelFixup : public CZelStaticResource {
public:
    CVeskLabelFixup();
    ~CVeskLabelFixup() override;

    DWORD Key;
    char pLabel[0]; // NUL-terminated, stored inline after the record
};
#pragma pack(pop)
static_assert(sizeof(CVeskLabelFixup) == 8, "CVeskLabelFixup: table pointer and Key; the label follows at 8");
