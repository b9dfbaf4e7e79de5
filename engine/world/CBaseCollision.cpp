#include "engine/world/CBaseCollision.h"

#include <cstddef>
#include <cstdio>

#include "core/output/ZOutput.h"
#include "engine/zel/CZelFile.h"
#include "engine/include/RhuTypes.h"

// The converter lays these records out from the shared record header: keep both the same.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(CBaseCollision) == sizeof(rhu::CBaseCollision), "CBaseCollision differs from the record header");
static_assert(offsetof(CBaseCollision, Size) == offsetof(rhu::CBaseCollision, Size), "CBaseCollision.Size");
static_assert(offsetof(CBaseCollision, Type) == offsetof(rhu::CBaseCollision, Type), "CBaseCollision.Type");
static_assert(offsetof(CBaseCollision, Flags) == offsetof(rhu::CBaseCollision, Flags), "CBaseCollision.Flags");
#pragma GCC diagnostic pop

// Shapes are written back to back, so the next one never starts inside this one; in a loaded
// file it must also start within the segment. Damaged data ends the chain instead.
bool CBaseCollision::CutDamagedChain(unsigned long recordSize)
{
    if (Size == 0)
        return false;
    unsigned long available = CZelFile::BytesAvailable(this);
    bool overlaps = Size < recordSize;
    bool leavesFile = available != 0 && Size + sizeof(CBaseCollision) > available;
    if (!overlaps && !leavesFile)
        return false;
    char message[128];
    std::snprintf(message, sizeof message,
                  "Collision shape of type %u: the next shape at +%u lies %s; the chain ends here", unsigned(Type),
                  unsigned(Size), overlaps ? "inside this one" : "outside its file");
    _puts(message);
    Size = 0;
    return true;
}
