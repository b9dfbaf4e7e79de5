#pragma once
// The cinematic recorder: while recording, every message a positioned object receives (or, with
// a key-frame target, only that object's) is kept with its time and written to the recording
// file, which the converter turns into an event script for playback. The object is a singleton;
// the statics do nothing while none exists.
#include "core/file/CZFile.h"
#include "engine/object/GObject.h"

class GRecorder : public GObject {
    DECLARE_GOBJECT(GRecorder, GObject)

    GRecorder();
    ~GRecorder() override;
    bool Process() override;

    static void Start(bool on);
    static void Record(CMessage* message);
    static void SetKeyframeTarget(HGOBJECT target);
    static void Keyframe();
    static bool IsRecording();

    // Beside the data folder, where the game's other outputs (screenshots) go.
    static const char* const kFileName;
    static const unsigned long kFrameMagic = 0x654F632F; // "/cOe"
    static const unsigned long kFrameHeaderSize = 84;
    static const unsigned long kBufferSize = 65536;
    static const unsigned long kFlushSize = 61440;

    static GRecorder* pThe;

    BYTE* pBufferStart; // null while not recording
    BYTE* pBufferEnd;   // where the next frame goes
    CZFile File;
    float StartTime;
    HGOBJECT hKeyframeTarget; // 0: every positioned object's messages are recorded

private:
    void Begin();
    void End();
    void RecordIt(CMessage* message);
    void Flush();
};
