#include "engine/frontend/GPlayback.h"

#include <cstring>

#include "core/output/ZOutput.h"
#include "engine/devices/GMultiPlay.h"
#include "engine/devices/GSoundSystem.h"
#include "engine/frontend/CRecordedScript.h"
#include "engine/frontend/CineMessages.h"
#include "engine/include/RhuTypes.h"
#include "engine/object/CFillData.h"
#include "engine/object/CGameTimer.h"
#include "engine/shell/CShell.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

IMPLEMENT_GOBJECT(GPlayback, 0x80808000)
ZEL_REGISTER_RECORD(CRecordedScript);

static_assert(sizeof(CRecorderData) == sizeof(rhu::CRecorderData), "CRecorderData differs from the record header");
static_assert(sizeof(CRecordedScript) == sizeof(rhu::CRecordedScript) + 4,
              "CRecordedScript differs from the record header");

DWORD GPlayback::PlaybackClassId;
float GPlayback::LastMessageTime;

// Playback walks the list to its null entry, so a list that runs out of the loaded bytes first
// is refused here rather than read past.
CRecordedScript::CRecordedScript()
{
    const unsigned long entries = CZelFile::BytesAvailable(Data) / sizeof(Data[0]);
    unsigned long i = 0;
    while (i < entries && Data[i] != nullptr)
        ++i;
    if (i == entries)
        vbail("Cannot load packed data: the message list of a CRecordedScript has no end");
    if (LoopCount < 0)
        LoopCount = ~LoopCount;
    else
        GPlayback::Playback(this, 0.0f);
}

DWORD GPlayback::PlaybackClass() { return PlaybackClassId != 0 ? PlaybackClassId : ClassId; }

GPlayback* GPlayback::Playback(CRecordedScript* script, float time)
{
    if (script == nullptr)
        return nullptr;
    GPlayback* playback = static_cast<GPlayback*>(GObject::Create(PlaybackClass(), HGOBJECT(0), nullptr));
    if (playback == nullptr)
        return nullptr;
    playback->pScript = script;
    playback->StartTime = time + script->BaseTime;
    playback->LoopsLeft = script->LoopCount;
    playback->pRestart = script->Data;
    playback->pCurrent = script->Data[0];
    playback->pCursor = script->Data[0] != nullptr ? &script->Data[1] : &script->Data[0];
    return playback;
}

// Every match is collected before any is destroyed: a destruction ends a search in progress.
void GPlayback::Stop(CRecordedScript* script)
{
    CZArray<GPlayback*> found;
    Search(nullptr, true, 0xFFFFFFFF, PlaybackClass());
    while (GObject* object = SearchNext()) {
        GPlayback* playback = static_cast<GPlayback*>(object);
        if (playback->Status != STATUS_DESTROYED && (script == nullptr || playback->pScript == script))
            found.Add(playback);
    }
    for (GPlayback* playback : found)
        playback->Destroy();
}

GPlayback* GPlayback::GetPlayback(CRecordedScript* script)
{
    Search(nullptr, true, 0xFFFFFFFF, PlaybackClass());
    while (GObject* object = SearchNext()) {
        GPlayback* playback = static_cast<GPlayback*>(object);
        if (playback->Status != STATUS_DESTROYED && (script == nullptr || playback->pScript == script))
            return playback;
    }
    return nullptr;
}

bool GPlayback::Process()
{
    if (pScript == nullptr) {
        Destroy();
        return false;
    }
    while (pCurrent != nullptr && CGameTimer::GameTime() - StartTime >= pCurrent->TimeStamp) {
        Send(pCurrent);
        pCurrent = *pCursor;
        if (pCurrent != nullptr)
            ++pCursor;
    }
    if (pCurrent != nullptr)
        return false;
    // An empty script has nothing to loop: it ends at once, whatever its count.
    if (LoopsLeft > 0 && pRestart[0] != nullptr) {
        --LoopsLeft;
        StartTime = CGameTimer::GameTime();
        pCurrent = pRestart[0];
        pCursor = &pRestart[1];
    } else {
        Destroy();
    }
    return false;
}

// The word a handle offset points to holds a label the first time; it keeps the handle after,
// so later passes reuse what the first one found.
void GPlayback::ResolveHandle(WORD& field)
{
    if (field == 0)
        return;
    BYTE* word = reinterpret_cast<BYTE*>(&field) + field;
    DWORD label;
    std::memcpy(&label, word, 4);
    GObject* named = Find(label);
    const DWORD handle = named != nullptr ? static_cast<DWORD>(named->GetHandle()) : 0;
    std::memcpy(word, &handle, 4);
    field = 0;
}

void GPlayback::Send(CRecorderData* record)
{
    GObject* receiver = record->TargetZelLabel != 0 ? Find(record->TargetZelLabel) : nullptr;
    if (receiver == nullptr)
        receiver = this;
    LastMessageTime = StartTime + record->TimeStamp;
    CMessage* message = record->Message();
    message->hRecipient = receiver->GetHandle();
    ResolveHandle(record->Handle1);
    ResolveHandle(record->Handle2);
    // Without a multiplayer object the message is delivered here the way it would deliver it.
    if (GMultiPlay::pThe != nullptr)
        GMultiPlay::pThe->SendMessageA(message, nullptr);
    else if (receiver->OnFilterMessage(message))
        receiver->OnReceiveMessage(message);
}

bool GPlayback::OnReceiveMessage(CMessage* message)
{
    switch (message->MessageId) {
    case CCineLoadLevelMessage::CMessageId:
        CShell::SetNextLevel(static_cast<CCineLoadLevelMessage*>(message)->pLevelName);
        return true;
    case CPlaySoundMessage::CMessageId: {
        CPlaySoundMessage* sound = static_cast<CPlaySoundMessage*>(message);
        const bool placed = sound->Pos.x != 0.0f || sound->Pos.y != 0.0f;
        if (GSoundSystem::pThe != nullptr)
            GSoundSystem::pThe->Play(sound->SoundId, placed ? &sound->Pos : nullptr);
        return true;
    }
    case CCineCreateMessage::CMessageId: {
        CCineCreateMessage* create = static_cast<CCineCreateMessage*>(message);
        CEmbeddedFillData* record = create->pCreateMe;
        if (record == nullptr)
            vbail("Playback doesn't know what to create!");
        GObject* parent = create->hParent != 0 ? GetGobject(create->hParent) : nullptr;
        GObject* made = parent != nullptr ? parent->Create(record->ClassId, record->pData)
                                          : GObject::Create(record->ClassId, HGOBJECT(record->Player), record->pData);
        if (made != nullptr)
            made->SetLabel(record->LabelId);
        return true;
    }
    default:
        _printf("CINE found bad target!");
        return false;
    }
}
