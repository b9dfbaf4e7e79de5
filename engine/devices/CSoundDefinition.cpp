#include "engine/devices/CSoundDefinition.h"

#include "engine/include/RhuTypes.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

ZEL_REGISTER_RECORD(CSoundDefinition);

static_assert(sizeof(CSoundDefinition) == sizeof(rhu::CSoundDefinition),
              "CSoundDefinition differs from the record header");
static_assert(rhu::SOUND_MUSIC == SOUND_MUSIC && rhu::SOUND_STREAM == SOUND_STREAM, "sound flags");

CSoundDefinition* CSoundDefinition::pHashTable[256];

// A stored record whose sample list runs past its file plays nothing rather than reading on.
CSoundDefinition::CSoundDefinition()
{
    UseCount = 0;
    if (SampleCount > 0 && CZelFile::IsLoadedData(this, sizeof *this) &&
        !CZelFile::IsLoadedData(pSampleData, SampleCount * sizeof(CSoundSample*))) {
        OutputDebugStringA(
            "Sound definition: its sample list runs past the end of the packed data; it plays nothing\n");
        SampleCount = 0;
    }
    if (PreviousRandom >= SampleCount)
        PreviousRandom = 0;
    CSoundDefinition*& head = pHashTable[Id & 0xFF];
    pNext = head;
    head = this;
}

CSoundDefinition::~CSoundDefinition()
{
    for (CSoundDefinition** link = &pHashTable[Id & 0xFF]; *link; link = &(*link)->pNext) {
        if (*link == this) {
            *link = pNext;
            break;
        }
    }
}

CSoundDefinition* CSoundDefinition::Find(DWORD id)
{
    for (CSoundDefinition* definition = pHashTable[id & 0xFF]; definition; definition = definition->pNext)
        if (definition->Id == id)
            return definition;
    return nullptr;
}
