#pragma once
// Plays one recorded script: each frame the messages whose time has come go to the objects
// their labels name, the script loops as often as asked, then the object destroys itself.
// Messages for no object come to the playback object, which loads levels, plays sounds and
// creates objects.
#include "engine/object/GObject.h"

class CRecordedScript;
struct CRecorderData;

class GPlayback : public GObject {
    DECLARE_GOBJECT(GPlayback, GObject)

    bool Process() override;
    bool OnReceiveMessage(CMessage* message) override;

    static GPlayback* Playback(CRecordedScript* script, float time);
    static void Stop(CRecordedScript* script);
    static GPlayback* GetPlayback(CRecordedScript* script);
    static void SetPlaybackClass(DWORD classId) { PlaybackClassId = classId; }
    static float GetLastMessageTime() { return LastMessageTime; }

    CRecordedScript* pScript;
    CRecorderData** pCursor;  // the entry after the current record
    CRecorderData** pRestart; // the first entry
    CRecorderData* pCurrent;  // null once a pass has sent everything
    int LoopsLeft;
    float StartTime;

private:
    void Send(CRecorderData* record);
    static void ResolveHandle(WORD& field);
    static DWORD PlaybackClass();

    static DWORD PlaybackClassId; // 0: GPlayback itself
    static float LastMessageTime;
};
