// Saved games: the object tree written to and recreated from a save stream. A full save holds
// the game time, a bitmap of the handles its objects use, the time again as a check, then each
// top-level object of a saved class with its subtree, and an end record. The editor's
// clipboard uses the same object records without time and bitmap.
//
// Loading trusts nothing in the stream: a bad header, an unknown class or a field record that
// does not fit its field fails the load (the caller falls back), it never ends the process.
#include <string.h>

#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/CLoadSaveBuffer.h"
#include "engine/zel/CZelFixupManager.h"
#include "engine/object/GObject.h"

namespace {

const int kBitmapWords = 65536 / 32;
// The mark of a handle being saved: bit 15 of its player half (players are 0 to 9).
const DWORD kSaveMark = 0x8000;
GObject* const kReservedSlot = reinterpret_cast<GObject*>(1);

// Damaged streams can describe any depth or count; these bound the recursion and the heap a
// load may use. Real saves stay far below both.
const int kMaxLoadDepth = 256;
const int kMaxLoadedObjects = 65536;

// Objects written (or loaded) since the current top-level object began: their extra data
// follows the top-level record in this order.
ZPtrArray<GObject> SaveList;
int LoadDepth;
int LoadedObjects;

// A pointer to an object that a load has not recreated yet (one saved after the object holding
// the pointer): resolved by label once every object of the load exists.
struct PendingPointer {
    GObject* Holder;
    DWORD Place;
    DWORD Label;
};
ZArray<PendingPointer> PendingPointers;

// Labels given to objects that have none when they are saved.
DWORD NextSaveLabel = 0x11111111;

EditableFillData RecordHeader(DWORD crc, DWORD length, BYTE kind)
{
    EditableFillData record;
    record.Crc = crc;
    record.Length = static_cast<WORD>(length);
    record.ArrayIndex = 0;
    record.Flags = kind;
    return record;
}

const LSObjectHeader kEndOfChildren = {LS_MAGIC_CHILD, 0, 0, HGOBJECT(0)};
const LSObjectHeader kEndOfStream = {LS_MAGIC_TOP, 0, 0, HGOBJECT(0)};

bool IsSaved(GObject* object)
{
    const ClassTypeEntry* entry = object->GetClassEntry();
    return entry != nullptr && (entry->Flags & CLASS_SAVED) != 0;
}

bool IsNotWritten(GObject* object)
{
    const ClassTypeEntry* entry = object->GetClassEntry();
    return entry != nullptr && (entry->Flags & CLASS_NOT_SAVED) != 0;
}

// Fields stored as their own bytes, without a field record.
bool IsRawField(DWORD type)
{
    switch (type) {
    case EDITABLE_BOOL:
    case EDITABLE_FLOAT:
    case EDITABLE_INT:
    case EDITABLE_DWORD:
    case EDITABLE_CRC32:
    case EDITABLE_ARRAY:
        return true;
    default:
        return false;
    }
}

// Narrow raw fields take four bytes and odd arrays gain a byte, so the stream stays in whole
// words; the padding is zero and never read back.
void SkipPadding(CLoadSaveBuffer& stream, DWORD size)
{
    const DWORD padded = size < 4 ? 4 : (size + 1) & ~1ul;
    if (padded > size)
        stream.Seek(static_cast<int>(padded - size));
}

GObject* FindObjectAt(GObject* under, const void* address)
{
    for (GObject* child = under->pChild; child != nullptr; child = child->pNext) {
        if (child == address)
            return child;
        if (GObject* found = FindObjectAt(child, address))
            return found;
    }
    return nullptr;
}

DWORD GiveLabel(GObject* object)
{
    if (object->Label == 0)
        object->Label = NextSaveLabel++;
    return object->Label;
}

void ClearSaveMarks(GObject* object)
{
    object->hObject = HGOBJECT(object->hObject & ~kSaveMark);
    for (GObject* child = object->pChild; child != nullptr; child = child->pNext)
        ClearSaveMarks(child);
}

bool IsTopLevel(GObject* object)
{
    for (GObject* top = GObject::GetRoot()->pChild; top != nullptr; top = top->pNext)
        if (top == object)
            return true;
    return false;
}

// Destroys the top-level objects of saved classes. A class's Destroy may take other objects
// with it, so each one is looked up again before it is destroyed.
void DestroySavedObjects()
{
    ZPtrArray<GObject> doomed;
    for (GObject* top = GObject::GetRoot()->pChild; top != nullptr; top = top->pNext)
        if (IsSaved(top))
            doomed.Add(top);
    for (GObject* object : doomed)
        if (IsTopLevel(object))
            object->Destroy();
}

// Recreates an object in its saved place: a new object goes after its equal-priority
// siblings for the time of the call, so siblings come back in the order they were saved.
GObject* Recreate(ClassTypeEntry* entry, GObject* parent, const LSObjectHeader& header, CLoadSaveBuffer& stream)
{
    const DWORD flags = entry->Flags;
    entry->Flags |= CLASS_AFTER_EQUALS;
    GObject* object = entry->pCreate(parent, header.Handle, entry, nullptr, &stream);
    entry->Flags = flags;
    if (object != nullptr)
        object->Label = header.Label;
    return object;
}

void ResolvePendingPointers()
{
    for (const PendingPointer& pending : PendingPointers) {
        if (GObject::ObjectAt(pending.Holder) == nullptr)
            continue;
        GObject* target = GObject::Find(pending.Label);
        memcpy(reinterpret_cast<BYTE*>(pending.Holder) + pending.Place, &target, 4);
    }
    PendingPointers.RemoveAll();
}

void ClearReservations()
{
    for (GObject*& slot : GObject::TheHandleArray)
        if (slot == kReservedSlot)
            slot = nullptr;
}

bool ReadBitmap(CLoadSaveBuffer& stream, DWORD* bitmap)
{
    stream.Read(bitmap, kBitmapWords * 4);
    if (stream.ErrorStatus() != 0 || (bitmap[0] & 1) != 0)
        return false;
    // Every named slot must be free before any is reserved, so a failure reserves nothing.
    for (DWORD index = 0; index < 65536; ++index)
        if ((bitmap[index / 32] >> (index % 32) & 1) != 0 && GObject::TheHandleArray[index] != nullptr)
            return false;
    for (DWORD index = 0; index < 65536; ++index)
        if ((bitmap[index / 32] >> (index % 32) & 1) != 0)
            GObject::TheHandleArray[index] = kReservedSlot;
    return true;
}

} // namespace

GObject* GObject::ObjectAt(const void* address) { return FindObjectAt(&Root, address); }

void GObject::HandleSaveCheck(bool validate)
{
    for (GObject* child = pChild; child != nullptr; child = child->pNext)
        child->MarkSaveHandles(validate);
}

void GObject::MarkSaveHandles(bool validate)
{
    if (IsNotWritten(this))
        return;
    if (hObject.Id() != 0) {
        if (validate && (hObject & kSaveMark) != 0)
            vbail("bad handle validate");
        if (!validate)
            hObject = HGOBJECT(hObject | kSaveMark);
    }
    HandleSaveCheck(validate);
}

bool GObject::SaveAll(CLoadSaveBuffer& stream)
{
    stream.Write(CGameTimer::tGameTime);

    for (GObject* top = Root.pChild; top != nullptr; top = top->pNext)
        if (IsSaved(top))
            top->MarkSaveHandles(false);

    // The bitmap, clearing each mark it reads. Objects the table does not map keep theirs
    // until the tree is walked once more below.
    DWORD bitmap[kBitmapWords];
    memset(bitmap, 0, sizeof bitmap);
    for (DWORD index = 1; index < 65536; ++index) {
        GObject* object = TheHandleArray[index];
        if (object == nullptr || object == kReservedSlot || (object->hObject & kSaveMark) == 0)
            continue;
        bitmap[index / 32] |= 1ul << (index % 32);
        object->hObject = HGOBJECT(object->hObject & ~kSaveMark);
    }
    for (GObject* top = Root.pChild; top != nullptr; top = top->pNext)
        if (IsSaved(top))
            ClearSaveMarks(top);
    stream.Write(bitmap, sizeof bitmap, "handle bitmap");
    stream.Write(CGameTimer::tGameTime);

    bool failed = false;
    for (GObject* top = Root.pChild; top != nullptr && !failed; top = top->pNext) {
        if (!IsSaved(top))
            continue;
        SaveList.RemoveAll();
        top->Save(stream, false);
        if (stream.Flush(0) != 0) {
            failed = true;
            break;
        }
        for (GObject* written : SaveList)
            written->SaveEx(stream);
    }
    SaveList.RemoveAll();
    return TerminateSaveFile(stream) || failed;
}

bool GObject::TerminateSaveFile(CLoadSaveBuffer& stream)
{
    const DWORD zeros[2] = {0, 0};
    stream.Write(kEndOfStream);
    stream.Write(zeros, sizeof zeros, "end");
    return stream.Flush(0) != 0;
}

void GObject::Save(CLoadSaveBuffer& stream, bool copy)
{
    if (!copy && IsNotWritten(this))
        return;
    if (stream.Flush(0) != 0)
        return;
    SaveList.Add(this);

    LSObjectHeader header;
    header.Magic = pParent == &Root ? LS_MAGIC_TOP : LS_MAGIC_CHILD;
    header.ClassId = GetClassId();
    header.Label = copy ? GiveLabel(this) + 1 : GiveLabel(this);
    header.Handle = copy ? HGOBJECT(0) : hObject;
    stream.Write(header);

    for (GObject* child = pChild; child != nullptr; child = child->pNext)
        child->Save(stream, copy);
    stream.Write(kEndOfChildren);
    SaveFields(stream);
}

void GObject::SaveFields(CLoadSaveBuffer& stream)
{
    if (pClassEntry == nullptr || pClassEntry->pEditable == nullptr)
        return;
    for (EditableInfo* info = pClassEntry->pEditable; info->Crc != 0 || info->Place != 0; ++info) {
        BYTE* field = reinterpret_cast<BYTE*>(this) + info->Place;
        if (IsRawField(info->Type)) {
            stream.Write(field, info->Size, info->Name);
            SkipPadding(stream, info->Size);
            continue;
        }
        switch (info->Type) {
        case EDITABLE_ZELHANDLE: {
            const HashEntry* entry = nullptr;
            memcpy(&entry, field, 4);
            const EditableFillData record = RecordHeader(info->Crc, 4, FILLDATA_ZEL_HANDLE);
            stream.Write(record);
            stream.Write(entry != nullptr ? entry->key : 0ul);
            break;
        }
        case EDITABLE_POINTER:
        case EDITABLE_POINTER_ARRAY:
            SavePointerField(stream, info);
            break;
        default:
            vbail("Undefined save type");
        }
    }
}

// Every element of a pointer field is stored in one kind. A null or unknown pointer (stored
// as 0) reads back the same under either kind, so only elements of both real kinds clash.
void GObject::SavePointerField(CLoadSaveBuffer& stream, EditableInfo* info)
{
    const DWORD count = info->Type == EDITABLE_POINTER ? 1 : info->Size / 4;
    if (count * 4 > CLoadSaveBuffer::kMaxStretchBytes) {
        stream.SetErrorStatus(1);
        return;
    }
    BYTE* field = reinterpret_cast<BYTE*>(this) + info->Place;
    DWORD values[CLoadSaveBuffer::kMaxStretchBytes / 4];
    BYTE kind = FILLDATA_ZEL_POINTER;
    bool sawObject = false;
    bool sawSymbol = false;
    for (DWORD i = 0; i < count; ++i) {
        void* pointer = nullptr;
        memcpy(&pointer, field + i * 4, 4);
        BYTE elementKind;
        values[i] = SavePointer(pointer, elementKind);
        if (values[i] == 0)
            continue;
        (elementKind == FILLDATA_EMBEDDED_POINTER ? sawObject : sawSymbol) = true;
        kind = elementKind;
    }
    if (sawObject && sawSymbol)
        vbail("Can't mix GOBJECT ptrs with ZEL ptrs");
    const EditableFillData record = RecordHeader(info->Crc, count * 4, kind);
    stream.Write(record);
    stream.Write(values, count * 4, info->Name);
}

DWORD GObject::SavePointer(void* pointer, BYTE& kind)
{
    kind = FILLDATA_ZEL_POINTER;
    if (pointer == nullptr)
        return 0;
    if (const DWORD key = static_cast<DWORD>(CZelFixupManager::GetKey(pointer)))
        return key;
    if (GObject* object = ObjectAt(pointer)) {
        kind = FILLDATA_EMBEDDED_POINTER;
        return GiveLabel(object);
    }
    return 0;
}

bool GObject::LoadAll(CLoadSaveBuffer& stream, bool copy)
{
    float savedTime = 0;
    if (!copy) {
        DestroySavedObjects();
        ResetHeapAllocation();
        stream.Read(savedTime);
        CGameTimer::SetSeconds(savedTime);
        DWORD* bitmap = static_cast<DWORD*>(zmalloc(kBitmapWords * 4));
        const bool reserved = ReadBitmap(stream, bitmap);
        zfree(bitmap);
        float checkTime = 0;
        stream.Read(checkTime);
        if (!reserved || memcmp(&checkTime, &savedTime, 4) != 0 || stream.ErrorStatus() != 0) {
            ClearReservations();
            return true;
        }
    }

    bool failed = false;
    LoadDepth = 0;
    LoadedObjects = 0;
    for (;;) {
        SaveList.RemoveAll();
        LSObjectHeader header;
        stream.Read(header);
        if (stream.ErrorStatus() != 0) {
            failed = true;
            break;
        }
        if (header.Magic != LS_MAGIC_TOP) {
            printf("Bad top-level object header in loadgame\n");
            failed = true;
            break;
        }
        if (header.ClassId == 0)
            break;
        ClassTypeEntry* entry = FindClassEntry(header.ClassId);
        if (entry == nullptr || Recreate(entry, nullptr, header, stream) == nullptr) {
            printf("Loadgame: cannot recreate an object of class %08lX\n", header.ClassId);
            failed = true;
            break;
        }
        // The writer flushed here too: the extra data starts a fresh stretch of the stream.
        if (stream.Flush(0) != 0) {
            failed = true;
            break;
        }
        for (GObject* loaded : SaveList)
            loaded->LoadEx(stream);
    }
    SaveList.RemoveAll();
    if (!failed)
        ResolvePendingPointers();
    PendingPointers.RemoveAll();

    if (copy)
        return failed;
    bool unrestored = false;
    for (GObject* slot : TheHandleArray)
        unrestored = unrestored || slot == kReservedSlot;
    ClearReservations();
    if (failed || unrestored || stream.ErrorStatus() != 0)
        return true;
    CGameTimer::SetSeconds(savedTime);
    return false;
}

void GObject::Load(CLoadSaveBuffer& stream)
{
    if (stream.Flush(0) != 0)
        return;
    if (++LoadedObjects > kMaxLoadedObjects) {
        stream.SetErrorStatus(1);
        return;
    }
    SaveList.Add(this);
    LoadChildren(stream);
    if (stream.ErrorStatus() == 0)
        LoadFields(stream);
}

void GObject::LoadChildren(CLoadSaveBuffer& stream)
{
    if (LoadDepth >= kMaxLoadDepth) {
        stream.SetErrorStatus(1);
        return;
    }
    ++LoadDepth;
    for (;;) {
        LSObjectHeader header;
        stream.Read(header);
        if (stream.ErrorStatus() != 0)
            break;
        if (header.Magic != LS_MAGIC_CHILD) {
            printf("Bad object header in loadgame\n");
            stream.SetErrorStatus(1);
            break;
        }
        if (header.ClassId == 0)
            break;
        ClassTypeEntry* entry = FindClassEntry(header.ClassId);
        if (entry == nullptr || Recreate(entry, this, header, stream) == nullptr) {
            printf("Loadgame: cannot recreate a child of class %08lX\n", header.ClassId);
            stream.SetErrorStatus(1);
            break;
        }
    }
    --LoadDepth;
}

void GObject::LoadFields(CLoadSaveBuffer& stream)
{
    if (pClassEntry == nullptr || pClassEntry->pEditable == nullptr)
        return;
    for (EditableInfo* info = pClassEntry->pEditable; info->Crc != 0 || info->Place != 0; ++info) {
        if (stream.ErrorStatus() != 0)
            return;
        if (IsRawField(info->Type)) {
            stream.Read(reinterpret_cast<BYTE*>(this) + info->Place, info->Size);
            SkipPadding(stream, info->Size);
            continue;
        }
        switch (info->Type) {
        case EDITABLE_ZELHANDLE:
        case EDITABLE_POINTER:
        case EDITABLE_POINTER_ARRAY:
            LoadFieldRecord(stream, info);
            break;
        default:
            stream.SetErrorStatus(1);
            return;
        }
    }
}

// A field record must name this field, carry one of the kinds a save writes and fit the
// field; anything else is damage.
void GObject::LoadFieldRecord(CLoadSaveBuffer& stream, EditableInfo* info)
{
    EditableFillData header;
    stream.Read(header);
    const bool kindFits = info->Type == EDITABLE_ZELHANDLE
                              ? header.Flags == FILLDATA_ZEL_HANDLE
                              : header.Flags == FILLDATA_ZEL_POINTER || header.Flags == FILLDATA_EMBEDDED_POINTER;
    if (stream.ErrorStatus() != 0 || header.Crc != info->Crc || !kindFits || header.ArrayIndex != 0 ||
        header.Length > info->Size || header.Length % 4 != 0) {
        stream.SetErrorStatus(1);
        return;
    }
    EditableFillData* record = static_cast<EditableFillData*>(zmalloc(sizeof(EditableFillData) + header.Length));
    *record = header;
    stream.Read(record->Data, header.Length);
    if (stream.ErrorStatus() == 0) {
        SetOneEditable(record, 0);
        if (header.Flags == FILLDATA_EMBEDDED_POINTER)
            NotePendingPointers(record, info);
    }
    zfree(record);
}

// Elements whose label named no object yet wait for the end of the load.
void GObject::NotePendingPointers(EditableFillData* record, EditableInfo* info)
{
    for (DWORD i = 0; i < record->Length / 4u; ++i) {
        DWORD label;
        GObject* object;
        memcpy(&label, record->Data + i * 4, 4);
        memcpy(&object, reinterpret_cast<BYTE*>(this) + info->Place + i * 4, 4);
        if (label != 0 && object == nullptr)
            PendingPointers.Add(PendingPointer{this, info->Place + i * 4, label});
    }
}
