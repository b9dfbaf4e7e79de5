#pragma once
// Base of every game object. All objects hang in one tree under a static root; once per frame
// ProcessObjects walks it depth first (children before their parent, siblings in list order)
// and runs each awake object's Process. Objects are created only through the class registry:
// the creation operator zero-fills the memory, links the object, gives it a handle and applies
// its creation data before any constructor runs.
#include <stddef.h>
#include <stdio.h>
#include <windows.h>

#include "core/containers/ZPtrArray.h"
#include "engine/object/ClassTypeEntry.h"
#include "engine/object/EditableFillData.h"
#include "engine/object/EditableInfo.h"
#include "engine/object/HGOBJECT.h"

class CEmbeddedFillData;
class CMessage;

// Object status values.
enum GObjectStatus : BYTE {
    STATUS_DEFAULT_OBJECT = 0,
    STATUS_LIVE = 1,
    STATUS_WOKEN = 17,
    STATUS_SCREEN_WOKEN = 34,
    STATUS_DESTROYED = 222,
};

// A sleep timer at or below this sleeps until woken.
const float SLEEP_FOREVER = -1.0e10f;

class GObject {
public:
    enum ProcessFlags { PROCESS_NOTHING = 0, PROCESS_DESTROY_SELF = 1, PROCESS_DESTROY_ANCESTOR = 2 };

    static DWORD ClassId;
    static bool IsOfClassId(DWORD id) { return id == ClassId; }

    GObject();
    // Copies carry every member; a copy gets its own class's table, an assignment keeps it.
    GObject(const GObject& other) = default;
    GObject& operator=(const GObject& other) = default;

    // The eighteen operations of every game object, in table order.
    virtual ~GObject();
    virtual void PostConstruction();
    virtual void Destroy();
    virtual GObject* IsChild(GObject* object);
    virtual bool Asleep();
    virtual void Sleep(float seconds);
    virtual void Wakeup();
    virtual bool IsDerivedFromClassId(DWORD id);
    virtual GObject* GetAI();
    virtual void ChangePlayer(WORD player);
    virtual bool Process();
    virtual void InitState();
    virtual void LoadEx(CLoadSaveBuffer& stream);
    virtual void SaveEx(CLoadSaveBuffer& stream);
    virtual bool OnFilterMessage(CMessage* message);
    virtual bool OnReceiveMessage(CMessage* message);
    virtual int SpecifyEditable(EditableInfo*& cursor);
    virtual DWORD GetParentClassId();

    // Tree.
    static void ProcessObjects();
    static void DestroyObjects();
    void DestroyChildren();
    void SetParent(GObject* parent);
    void Unlink();
    void ChangePriority(DWORD priority);
    GObject* GetParent() { return pParent; }
    GObject* Next() { return pNext; }
    DWORD GetLabel() { return Label; }
    void SetLabel(DWORD label) { Label = label; }
    WORD GetIndex() { return ProcessIndex; }
    HGOBJECT GetHandle() const { return hObject; }
    void ScreenWake();
    bool RunOnceCondition(bool value) { return value; }
    static GObject* GetRoot() { return &Root; }
    // Empties the handle table and lifts any destruction inhibit.
    static void Init();

    // Searches share one cursor; every Destroy ends a search in progress.
    static void Search(GObject* start, bool recursive, DWORD player, DWORD classId);
    static GObject* SearchNext();
    static GObject* Find(DWORD label);

    // Handles.
    static GObject* GetGobject(HGOBJECT handle);
    static HGOBJECT GetNextHandle(int player);
    void ClearHandle();
    static void ResetHandles();

    // Class registry.
    static DWORD AddClassId(const char* name, GObjectCreateFunction create, DWORD flags, DWORD* rttiCode);
    static ClassTypeEntry* FindClassEntry(DWORD classId);
    static GObject* Create(DWORD classId, HGOBJECT handle, EditableFillData* data);
    GObject* Create(DWORD classId, EditableFillData* data);
    // A child of the class and with the data a stored creation record names; the caller gives
    // it the record's label.
    GObject* Create(CEmbeddedFillData* record);
    static void InitEditableInfo();
    static EditableFillData* GetDefaultData(DWORD classId);
    static void RegisterDefaultData(DWORD classId, EditableFillData* data);
    static void RegisterStateTable(CState* table, DWORD classId);
    static CState* GetStateTable(DWORD classId);
    static void GetVeskObjectNames(CZArray<const char*>& first, CZArray<const char*>& second);
    DWORD GetClassId();
    ClassTypeEntry* GetPointerOfParentPTypeEntry();
    ClassTypeEntry* GetClassEntry() { return pClassEntry; }
    const char* GetClassName();
    static const char* GetClassName(DWORD classId);

    // Editable fields.
    void SetEditableInfo(EditableFillData* data, ClassTypeEntry* entry, WORD mask, bool defaultObjects);
    void ResetEditableInfo(WORD mask);
    void SetOneEditable(EditableFillData* record, WORD mask);
    void GetEditableInfoList(ZPtrArray<EditableInfo, 64>& list);
    char* GetEditDataValue(char* buffer, EditableInfo* info);
    void SetEditDataValue(const char* text, EditableInfo* info);
    static bool GetDataItem(void* out, int length, const char* name, EditableFillData* data);
    static bool GetDataItem(void* out, int length, const char* name, DWORD classId);
    static bool GetDataItem(float& out, const char* name, EditableFillData* data);
    static bool GetDataItem(int& out, const char* name, EditableFillData* data);
    static bool GetDataItem(float& out, const char* name, DWORD classId);
    static bool GetDataItem(int& out, const char* name, DWORD classId);

    // Messages.
    bool ReceiveMessage(CMessage* message);

    // Saved games and the editor's clipboard; the statics return true on failure.
    static bool SaveAll(CLoadSaveBuffer& stream);
    void Save(CLoadSaveBuffer& stream, bool copy);
    static bool TerminateSaveFile(CLoadSaveBuffer& stream);
    static bool LoadAll(CLoadSaveBuffer& stream, bool copy);
    void Load(CLoadSaveBuffer& stream);
    void HandleSaveCheck(bool validate);
    // The stored form of a pointer: a symbol key (kind FILLDATA_ZEL_POINTER) or an object's
    // label (kind FILLDATA_EMBEDDED_POINTER); 0 for null and for anything else.
    static DWORD SavePointer(void* pointer, BYTE& kind);
    // The game object living at the address, or null.
    static GObject* ObjectAt(const void* address);

    // Layout text: objects written back as the .rhu parameter blocks they came from.
    const char* GetTextLabel();
    void TextDump(FILE* file);
    // In generated mode the files go beside the level: `level` is its name as loaded
    // (the shell's current level), so the object layer needs nothing of the shell.
    static void VeskTextSave(bool generated, const char* level);

    // Creation operator: the first half of every class's Create (see IMPLEMENT_GOBJECT).
    // Returns null, and no constructor runs, when a handle is needed and none is free.
    static void* operator new(size_t size, GObject* parent, HGOBJECT handle, ClassTypeEntry* entry,
                              EditableFillData* data, CLoadSaveBuffer* stream) noexcept;
    static void operator delete(void* memory, GObject*, HGOBJECT, ClassTypeEntry*, EditableFillData*,
                                CLoadSaveBuffer*) noexcept;
    static void operator delete(void* memory) noexcept;
    // The second half: PostConstruction, except for class prototypes.
    static GObject* FinishCreation(GObject* object);

    static GObject* pCurrentProcess;
    static ProcessFlags ProcessResult;
    static GObject* pProcessNext;
    static GObject* pProcessParent;
    static WORD Indexer;
    static DWORD DestroyInhibit;
    static GObject* pStartObject;
    static GObject* pStopObject;
    static int SearchFlags;
    static WORD SearchPlayer;
    static DWORD SearchClassID;

    static GObject* TheHandleArray[65536];
    static int HandleInsertCache[11];
    static const WORD HandleRanges[11];

    // Set while the registry builds its class prototypes: no handles, no PostConstruction,
    // and constructors skip their run-time set-up.
    static DWORD EditableEvaluation;
    static bool bCreatingDefaultObjects;

    BYTE PrevStatus;
    BYTE Status; // GObjectStatus
    BYTE ScreenWoken;
    GObject* pChild;  // first child
    GObject* pParent; // the root for top-level objects
    GObject* pNext;
    GObject* pPrev;
    HGOBJECT hObject;
    DWORD Label;    // name key of the label, 0 = none
    DWORD Priority; // sibling order, highest first
    ClassTypeEntry* pClassEntry;
    DWORD StartAsleep; // non-zero at construction: asleep until woken
    float SleepTime;   // 0 awake; at or below SLEEP_FOREVER asleep until woken
    WORD ProcessIndex;
    DWORD LayoutDumped;

protected:
    // Appends one descriptor for a member of this object; used by SpecifyEditable.
    template <class T>
    void AddEditable(EditableInfo*& cursor, const char* name, const char* typeName, T& member,
                     BYTE flags = EDITABLE_FROM_FILLDATA)
    {
        AddEditableEntry(cursor, name, typeName, sizeof(T), &member, flags);
    }

private:
    struct RootTag {};
    explicit GObject(RootTag);
    static GObject Root;

    static GObject* ProcessObject(GObject* object);
    static GObject* FinishDeferredDestroy(GObject* object);
    bool RequestDeferredDestroy();
    bool IsAncestorOf(GObject* object);
    void DestroyNow();
    HGOBJECT AddHandle(WORD player, HGOBJECT wanted);
    void ReleaseHandleSlot();

    void AddEditableEntry(EditableInfo*& cursor, const char* name, const char* typeName, DWORD size, void* member,
                          BYTE flags);
    EditableInfo* FindEditable(DWORD crc, WORD mask, bool anyWhenMaskZero);
    void ApplyFillRecord(EditableFillData* record, EditableInfo* info, bool oneEditable);
    void ApplyEmbeddedRecord(EditableFillData* record, EditableInfo* info);
    bool WriteField(EditableInfo* info, DWORD offset, const void* bytes, DWORD length);

    void SaveFields(CLoadSaveBuffer& stream);
    void SavePointerField(CLoadSaveBuffer& stream, EditableInfo* info);
    void LoadChildren(CLoadSaveBuffer& stream);
    void LoadFields(CLoadSaveBuffer& stream);
    void LoadFieldRecord(CLoadSaveBuffer& stream, EditableInfo* info);
    void NotePendingPointers(EditableFillData* record, EditableInfo* info);
    void MarkSaveHandles(bool validate);

    void TextDumpAt(FILE* file, int depth);
    void TextDumpFields(FILE* file);
    void TextDumpPointer(FILE* file, EditableInfo* info, void* pointer);
    bool HoldsDefault(EditableInfo* info, DWORD value);
};

// Declares the registration members every game-object class carries. Use in the class body:
//   class GFoo : public GObject { DECLARE_GOBJECT(GFoo, GObject) ... };
#define DECLARE_GOBJECT(Class, Base)                                                                                   \
public:                                                                                                                \
    static DWORD ClassId;                                                                                              \
    static DWORD RttiCode;                                                                                             \
    static Class* Create();                                                                                            \
    using GObject::Create;                                                                                             \
    static bool IsOfClassId(DWORD id) { return id == ClassId || Base::IsOfClassId(id); }                               \
    bool IsDerivedFromClassId(DWORD id) override { return IsOfClassId(id); }                                           \
    DWORD GetParentClassId() override { return Base::ClassId; }                                                        \
                                                                                                                       \
private:                                                                                                               \
    static GObject* Create(GObject* parent, HGOBJECT handle, ClassTypeEntry* entry, EditableFillData* data,            \
                           CLoadSaveBuffer* stream);                                                                   \
                                                                                                                       \
public:

// Defines them and registers the class under its name while the library loads. The object is
// built with default-initialisation (no parentheses), so members the creation data filled keep
// their values.
#define IMPLEMENT_GOBJECT(Class, flags)                                                                                \
    DWORD Class::RttiCode;                                                                                             \
    DWORD Class::ClassId =                                                                                             \
        GObject::AddClassId(#Class, static_cast<GObjectCreateFunction>(&Class::Create), flags, &Class::RttiCode);      \
    GObject* Class::Create(GObject* parent, HGOBJECT handle, ClassTypeEntry* entry, EditableFillData* data,            \
                           CLoadSaveBuffer* stream)                                                                    \
    {                                                                                                                  \
        return GObject::FinishCreation(new (parent, handle, entry, data, stream) Class);                               \
    }                                                                                                                  \
    Class* Class::Create() { return static_cast<Class*>(GObject::Create(ClassId, HGOBJECT(0), nullptr)); }
