#include "engine/object/CVeskLabelFixup.h"

#include <cstring>

#include "core/output/ZOutput.h"
#include "engine/object/CZelFixupManager.h"
#include "engine/object/CZelFile.h"

ZEL_REGISTER_RECORD(CVeskLabelFixup);

CVeskLabelFixup::CVeskLabelFixup()
{
    unsigned long available = CZelFile::BytesAvailable(pLabel);
    if (available == 0 || !std::memchr(pLabel, 0, available))
        vbail("Cannot load packed data: the label of a CVeskLabelFixup is not terminated");
    CZelFixupManager::SetLabel(Key, pLabel);
}
