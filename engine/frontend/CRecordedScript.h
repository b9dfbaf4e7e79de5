#pragma once
// A recorded script in packed data: timed messages for named objects, played by GPlayback.
#include <windows.h>

#include "engine/object/CMessage.h"
#include "engine/zel/CZelStaticResource.h"

#pragma pack(push, 1)
// One timed message: this header, then the message itself. A non-zero handle offset is the
// distance from that field to a word of the message holding a label to turn into a handle.
struct CRecorderData {
    float TimeStamp;
    DWORD TargetZelLabel; // 0: the playback object itself
    WORD Handle1;
    WORD Handle2;

    CMessage* Message() { return reinterpret_cast<CMessage*>(this + 1); }
};

class CRecordedScript : public CZelStaticResource {
public:
    // A negative stored loop count marks a script that waits for GPlayback::Playback; it becomes
    // the count to play with then. Any other script starts playing at once.
    CRecordedScript();

    float BaseTime;
    int LoopCount;          // passes after the first
    CRecorderData* Data[1]; // in time order, ended by a null pointer
};
#pragma pack(pop)
static_assert(sizeof(CRecorderData) == 12, "CRecorderData is a packed record");
static_assert(sizeof(CRecordedScript) == 16, "CRecordedScript: table pointer, two fields, the list's first slot");
