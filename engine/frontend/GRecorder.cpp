#include "engine/frontend/GRecorder.h"

#include <cstring>

#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/frontend/CineMessages.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/CMessage.h"
#include "engine/object/CVeskExtraData.h"

IMPLEMENT_GOBJECT(GRecorder, 0x80808000)

const char* const GRecorder::kFileName = "..\\recorder.bin";
GRecorder* GRecorder::pThe;

namespace {

const unsigned long kLabelSize = 64;

} // namespace

GRecorder::GRecorder()
{
    if (EditableEvaluation == 0)
        pThe = this;
}

GRecorder::~GRecorder()
{
    if (EditableEvaluation != 0)
        return;
    if (pBufferStart != nullptr)
        End();
    if (pThe == this)
        pThe = nullptr;
}

bool GRecorder::Process() { return true; }

void GRecorder::Start(bool on)
{
    if (pThe == nullptr)
        return;
    if (!on) {
        pThe->End();
        return;
    }
    if (pThe->pBufferStart == nullptr)
        pThe->Begin();
}

void GRecorder::Begin()
{
    if (File.Open(kFileName, CZFile::kWrite | CZFile::kInDataFolder) != 0)
        return;
    pBufferStart = static_cast<BYTE*>(zmalloc(kBufferSize));
    pBufferEnd = pBufferStart;
    StartTime = CGameTimer::GameTime();
    File.Write(&StartTime, sizeof StartTime);
}

// Also reached while idle: closing a closed file changes nothing.
void GRecorder::End()
{
    if (pBufferStart != nullptr)
        Flush();
    File.Close();
    zfree(pBufferStart);
    pBufferStart = nullptr;
    pBufferEnd = nullptr;
}

void GRecorder::Flush()
{
    const unsigned long used = static_cast<unsigned long>(pBufferEnd - pBufferStart);
    if (used != 0)
        File.Write(pBufferStart, used);
    pBufferEnd = pBufferStart;
}

void GRecorder::Record(CMessage* message)
{
    if (IsRecording())
        pThe->RecordIt(message);
}

void GRecorder::RecordIt(CMessage* message)
{
    GObject* recipient = GetGobject(message->hRecipient);
    if (recipient == nullptr)
        return;
    if (hKeyframeTarget != 0 && recipient->GetHandle() != hKeyframeTarget)
        return;

    const unsigned long size = static_cast<unsigned long>(message->GetSize());
    if (static_cast<unsigned long>(pBufferEnd - pBufferStart) + kFrameHeaderSize + size > kBufferSize)
        vbail("Record buffer overflow");

    BYTE* frame = pBufferEnd;
    std::memset(frame, 0, kFrameHeaderSize);
    const DWORD magic = kFrameMagic;
    const float time = CGameTimer::GameTime() - StartTime;
    const DWORD label = recipient->GetLabel();
    const DWORD id = message->MessageId;
    std::memcpy(frame, &magic, 4);
    std::memcpy(frame + 4, &time, 4);
    std::memcpy(frame + 8, &label, 4);
    if (CVeskExtraData* extra = CVeskExtraData::Find(label)) {
        const char* text = extra->Label();
        if (text != nullptr && std::strlen(text) < kLabelSize)
            std::strcpy(reinterpret_cast<char*>(frame + 12), text);
    }
    std::memcpy(frame + 76, &size, 4);
    std::memcpy(frame + 80, &id, 4);
    std::memcpy(frame + kFrameHeaderSize, message, size);
    pBufferEnd += kFrameHeaderSize + size;

    if (static_cast<unsigned long>(pBufferEnd - pBufferStart) > kFlushSize)
        Flush();
}

void GRecorder::SetKeyframeTarget(HGOBJECT target)
{
    if (pThe != nullptr)
        pThe->hKeyframeTarget = target;
}

void GRecorder::Keyframe()
{
    if (pThe == nullptr || pThe->hKeyframeTarget == 0)
        return;
    GObject* target = GetGobject(pThe->hKeyframeTarget);
    if (target == nullptr)
        return;
    CKeyFrameMessage message;
    message.MessageId = CKeyFrameMessage::CMessageId;
    message.hRecipient = 0;
    message.Priority = CMessage::DefaultPriority;
    if (target->OnFilterMessage(&message))
        target->OnReceiveMessage(&message);
}

bool GRecorder::IsRecording() { return pThe != nullptr && pThe->pBufferStart != nullptr; }
