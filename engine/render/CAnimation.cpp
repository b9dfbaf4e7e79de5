#include "engine/render/CAnimation.h"

#include <windows.h>

#include <cstdio>
#include <new>

#include "core/heap/ZHeap.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/CHierarchyAnimator.h"
#include "engine/render/CSimpleAnimator.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

ZEL_REGISTER_RECORD(CHierarchyAnimation);
ZEL_REGISTER_RECORD(CSimpleAnimation);

static_assert(sizeof(CHierarchyAnimation) == sizeof(rhu::CHierarchyAnimation), "CHierarchyAnimation differs");
static_assert(sizeof(CSimpleAnimation) == sizeof(rhu::CSimpleAnimation), "CSimpleAnimation differs");
static_assert(sizeof(Trigger) == sizeof(rhu::Trigger) && sizeof(SimpleKey) == sizeof(rhu::SimpleKey) &&
                  sizeof(HierarchyKey) == sizeof(rhu::HierarchyKey),
              "animation keys differ from the record header");

namespace {

// Names the record and its file, then says why it is not played.
void Refuse(const void* record, const char* kind, const char* why)
{
    const char* label = CZelFixupManager::GetLabel(const_cast<void*>(record));
    const char* file = CZelFile::NameOf(record);
    char text[320];
    std::snprintf(text, sizeof text, "%s \"%s\" in %s: %s; it is not played\n", kind, label ? label : "(unnamed)",
                  file ? file : "(no file)", why);
    OutputDebugStringA(text);
}

// An array of count elements of size bytes at p lies inside loaded data (false on overflow).
bool ArrayFits(const void* p, unsigned long count, unsigned long size)
{
    if (!p)
        return false;
    const unsigned long available = CZelFile::BytesAvailable(p);
    return size == 0 || count <= available / size;
}

} // namespace

bool TriggerListFits(const Trigger* first)
{
    const unsigned long count = CZelFile::BytesAvailable(first) / sizeof(Trigger);
    for (unsigned long i = 0; i < count; ++i)
        if (first[i].Type == Trigger::END_OF_LIST)
            return true;
    return false;
}

CHierarchyAnimation::CHierarchyAnimation()
{
    if (!CZelFile::IsLoadedData(this, sizeof *this))
        return;
    const char* fault = nullptr;
    if (NumChannels > kMaxChannels)
        fault = "more than 32 channels";
    else if (KeySize < 16 + 4 * NumChannels)
        fault = "its keys are too short for its channels";
    else if (!CZelFile::IsLoadedData(this, HeaderSize(NumChannels)))
        fault = "its channel weights run past the packed data";
    else if (NoKeys == 0)
        fault = "it has no keys";
    else if (!ArrayFits(pKeys, NoKeys, KeySize))
        fault = "its keys run past the packed data";
    else if (pMovementKeys && !ArrayFits(pMovementKeys, NoKeys, sizeof(CVector)))
        fault = "its movement keys run past the packed data";
    else if (pTriggers && !TriggerListFits(pTriggers))
        fault = "its trigger list has no end inside the packed data";
    if (!fault)
        return;
    Refuse(this, "Hierarchy animation", fault);
    NoKeys = 0;
    pKeys = nullptr;
    pTriggers = nullptr;
    pMovementKeys = nullptr;
    NumChannels = 0;
}

CAnimator* CHierarchyAnimation::CreateAnimator()
{
    void* block = zmalloc(sizeof(CHierarchyAnimator));
    return block ? new (block) CHierarchyAnimator() : nullptr;
}

void CHierarchyAnimation::FreeAnimation() { zfree(this); }

CSimpleAnimation::CSimpleAnimation()
{
    if (!CZelFile::IsLoadedData(this, sizeof *this))
        return;
    const char* fault = nullptr;
    if (NoKeys == 0)
        fault = "it has no keys";
    else if (!ArrayFits(pKeys, NoKeys, sizeof(SimpleKey)))
        fault = "its keys run past the packed data";
    else if (pTriggers && !TriggerListFits(pTriggers))
        fault = "its trigger list has no end inside the packed data";
    if (!fault)
        return;
    Refuse(this, "Simple animation", fault);
    NoKeys = 0;
    pKeys = nullptr;
    pTriggers = nullptr;
}

CAnimator* CSimpleAnimation::CreateAnimator()
{
    void* block = zmalloc(sizeof(CSimpleAnimator));
    return block ? new (block) CSimpleAnimator() : nullptr;
}
