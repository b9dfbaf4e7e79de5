#include "engine/zel/CZelLoad.h"

#include <cstring>

#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/zel/CZelFile.h"
#include "engine/include/RhuTypes.h"

ZEL_REGISTER_RECORD(CZelLoad);

// The converter lays these records out from the shared record header.
static_assert(sizeof(CZelLoad) == sizeof(rhu::CZelLoad), "CZelLoad differs from the record header");

// The name is stored inline after the record; a name that does not end inside the loaded
// segment is damage and must not be read past the segment.
CZelLoad::CZelLoad()
{
    unsigned long available = CZelFile::BytesAvailable(File);
    if (available == 0 || !std::memchr(File, 0, available))
        vbail("Cannot load a file named by a CZelLoad record: its name is not terminated");
    pZel = new CZelFile;
    pZel->Load(File);
}

CZelLoad::~CZelLoad()
{
    delete pZel;
    pZel = nullptr;
}
