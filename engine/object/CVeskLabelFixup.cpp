#include "engine/object/CVeskLabelFixup.h"

#include <cstring>

#include "core/output/ZOutput.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/zel/CZelFile.h"
#include "engine/include/RhuTypes.h"

ZEL_REGISTER_RECORD(CVeskLabelFixup);

// The converter lays these records out from the shared record header.
static_assert(sizeof(CVeskLabelFixup) == sizeof(rhu::CVeskLabelFixup),
              "CVeskLabelFixup differs from the record header");

CVeskLabelFixup::CVeskLabelFixup()
{
    unsigned long available = CZelFile::BytesAvailable(pLabel);
    if (available == 0 || !std::memchr(pLabel, 0, available))
        vbail("Cannot load packed data: the label of a CVeskLabelFixup is not terminated");
    CZelFixupManager::SetLabel(Key, pLabel);
}

// The label lies in this record's file: once the file is gone, the entry would name freed memory.
CVeskLabelFixup::~CVeskLabelFixup() { CZelFixupManager::ClearLabel(Key, pLabel); }
