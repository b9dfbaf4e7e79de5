// The object tree: sibling order, the per-frame traversal, sleeping, destruction (deferred while
// the object or a descendant is being processed) and the tree search.
#include "engine/object/GObject.h"

#include "core/heap/ZHeap.h"
#include "core/names/CCRC32.h"
#include "engine/object/CGameTimer.h"

DWORD GObject::ClassId = CCRC32::GetCRC("GObject");

GObject* GObject::pCurrentProcess;
GObject::ProcessFlags GObject::ProcessResult;
GObject* GObject::pProcessNext;
GObject* GObject::pProcessParent;
WORD GObject::Indexer;
DWORD GObject::DestroyInhibit;
GObject* GObject::pStartObject;
GObject* GObject::pStopObject;
int GObject::SearchFlags;
WORD GObject::SearchPlayer;
DWORD GObject::SearchClassID;

namespace {

const DWORD ROOT_PRIORITY = 0xFFF0;

// Search flag bits.
const int SEARCH_PLAYER = 1;
const int SEARCH_CLASS = 2;
const int SEARCH_DESCEND = 4;
const int SEARCH_LABEL = 8;

// A loop over a sibling list that has already taken its next object. When that object is
// destroyed during the loop's current step, the cursor moves on to the object after it, so no
// loop ever continues into freed memory.
struct SiblingCursor {
    GObject* pNext;
    SiblingCursor* pOuter;
};
SiblingCursor* pOpenCursors;

class ScopedSiblingCursor {
public:
    explicit ScopedSiblingCursor(GObject* first) : m_Cursor{first, pOpenCursors} { pOpenCursors = &m_Cursor; }
    ~ScopedSiblingCursor() { pOpenCursors = m_Cursor.pOuter; }
    GObject* Take()
    {
        GObject* object = m_Cursor.pNext;
        if (object != nullptr)
            m_Cursor.pNext = object->pNext;
        return object;
    }

private:
    SiblingCursor m_Cursor;
};

void AdvanceCursorsPast(GObject* dying)
{
    for (SiblingCursor* cursor = pOpenCursors; cursor != nullptr; cursor = cursor->pOuter)
        if (cursor->pNext == dying)
            cursor->pNext = dying->pNext;
    if (GObject::pProcessNext == dying)
        GObject::pProcessNext = dying->pNext;
}

} // namespace

// Built when the library loads; declared after the statics it resets.
GObject GObject::Root{GObject::RootTag{}};

GObject::GObject(RootTag)
    : PrevStatus(0), Status(STATUS_LIVE), ScreenWoken(0), pChild(nullptr), pParent(nullptr), pNext(nullptr),
      pPrev(nullptr), hObject(0), Label(0), Priority(ROOT_PRIORITY), pClassEntry(nullptr), StartAsleep(0), SleepTime(0),
      ProcessIndex(0), LayoutDumped(0)
{
    Init();
}

void GObject::Init()
{
    ResetHandles();
    DestroyInhibit = 0;
}

GObject::GObject()
{
    if (SleepTime > SLEEP_FOREVER)
        SleepTime = 0;
    if (StartAsleep != 0) {
        SleepTime = SLEEP_FOREVER;
        StartAsleep = 0;
    }
}

GObject::~GObject() {}

void GObject::PostConstruction() {}

GObject* GObject::IsChild(GObject* object)
{
    if (object == nullptr || object->pParent != this)
        return nullptr;
    return object;
}

bool GObject::Asleep() { return SleepTime <= SLEEP_FOREVER; }

void GObject::Sleep(float seconds) { SleepTime = seconds; }

void GObject::Wakeup()
{
    SleepTime = 0;
    Status = STATUS_WOKEN;
}

bool GObject::IsDerivedFromClassId(DWORD id) { return IsOfClassId(id); }

GObject* GObject::GetAI() { return this; }

void GObject::ChangePlayer(WORD player)
{
    hObject = HGOBJECT((static_cast<DWORD>(hObject) & 0xFFFF0000) | player);
    for (GObject* child = pChild; child != nullptr; child = child->pNext)
        child->ChangePlayer(player);
}

bool GObject::Process() { return false; }
void GObject::InitState() {}
void GObject::LoadEx(CLoadSaveBuffer&) {}
void GObject::SaveEx(CLoadSaveBuffer&) {}
bool GObject::OnFilterMessage(CMessage*) { return true; }
bool GObject::OnReceiveMessage(CMessage*) { return false; }
int GObject::SpecifyEditable(EditableInfo*&) { return 0; }
DWORD GObject::GetParentClassId() { return 0; }

void GObject::ScreenWake()
{
    ScreenWoken = 1;
    Status = STATUS_SCREEN_WOKEN;
    SleepTime -= 2.0f;
}

void GObject::Unlink()
{
    if (pParent != nullptr && pParent->pChild == this)
        pParent->pChild = pNext;
    if (pPrev != nullptr)
        pPrev->pNext = pNext;
    if (pNext != nullptr)
        pNext->pPrev = pPrev;
    pParent = nullptr;
    pNext = nullptr;
    pPrev = nullptr;
}

void GObject::SetParent(GObject* parent)
{
    Unlink();
    pParent = parent != nullptr ? parent : &Root;
    GObject* child = pParent->pChild;
    if (child == nullptr) {
        pParent->pChild = this;
        return;
    }
    // Without the flag a new object goes before its equals (newest first), with it after them.
    const bool afterEquals = pClassEntry != nullptr && (pClassEntry->Flags & CLASS_AFTER_EQUALS) != 0;
    for (;;) {
        const bool insertHere = afterEquals ? child->Priority < Priority : child->Priority <= Priority;
        if (insertHere) {
            pPrev = child->pPrev;
            pNext = child;
            child->pPrev = this;
            if (pPrev != nullptr)
                pPrev->pNext = this;
            else
                pParent->pChild = this;
            return;
        }
        if (child->pNext == nullptr)
            break;
        child = child->pNext;
    }
    child->pNext = this;
    pPrev = child;
}

void GObject::ChangePriority(DWORD priority)
{
    Priority = priority;
    SetParent(pParent);
}

void GObject::ProcessObjects()
{
    ProcessResult = PROCESS_NOTHING;
    Indexer = 1;
    ProcessObject(&Root);
    pCurrentProcess = nullptr;
}

// Processes one object and its subtree; returns the object with which its parent continues.
GObject* GObject::ProcessObject(GObject* object)
{
    if (object->SleepTime != 0) {
        const float left = object->SleepTime - CGameTimer::tPauseFrameTime;
        object->SleepTime = left;
        if (left >= 0 || left <= SLEEP_FOREVER)
            return object->pNext;
        object->SleepTime = 0;
    }

    for (GObject* child = object->pChild; child != nullptr;)
        child = ProcessObject(child);
    if (ProcessResult == PROCESS_DESTROY_ANCESTOR)
        return object == pProcessParent ? FinishDeferredDestroy(object) : nullptr;

    object->ProcessIndex = Indexer++;
    pCurrentProcess = object;
    object->Process();

    switch (ProcessResult) {
    case PROCESS_NOTHING:
        return object->pNext;
    case PROCESS_DESTROY_SELF:
        return FinishDeferredDestroy(object);
    default:
        return nullptr;
    }
}

// Carries out a destruction that was requested while the object's subtree was being processed.
// With no current object the request takes effect at once.
GObject* GObject::FinishDeferredDestroy(GObject* object)
{
    ProcessResult = PROCESS_NOTHING;
    pCurrentProcess = nullptr;
    object->Destroy();
    GObject* next = pProcessNext;
    pProcessNext = nullptr;
    pProcessParent = nullptr;
    return next;
}

bool GObject::IsAncestorOf(GObject* object)
{
    for (GObject* up = object != nullptr ? object->pParent : nullptr; up != nullptr; up = up->pParent)
        if (up == this)
            return true;
    return false;
}

// Defers the destruction of the running object or one of its ancestors until the traversal has
// left it. A second request is merged with a pending one: the highest object asked for wins,
// and requests for objects that the pending one already covers are dropped.
bool GObject::RequestDeferredDestroy()
{
    if (pCurrentProcess == nullptr)
        return false;
    const bool isCurrent = this == pCurrentProcess;
    if (!isCurrent && !IsAncestorOf(pCurrentProcess))
        return false;

    switch (ProcessResult) {
    case PROCESS_NOTHING:
        if (isCurrent) {
            ProcessResult = PROCESS_DESTROY_SELF;
        } else {
            ProcessResult = PROCESS_DESTROY_ANCESTOR;
            pProcessParent = this;
        }
        pProcessNext = pNext;
        break;
    case PROCESS_DESTROY_SELF:
        if (!isCurrent) {
            ProcessResult = PROCESS_DESTROY_ANCESTOR;
            pProcessParent = this;
            pProcessNext = pNext;
        }
        break;
    case PROCESS_DESTROY_ANCESTOR:
        if (IsAncestorOf(pProcessParent)) {
            pProcessParent = this;
            pProcessNext = pNext;
        }
        break;
    }
    return true;
}

void GObject::Destroy()
{
    // The root is not heap memory; an object already being torn down (a child or an owned
    // object asking for its owner's destruction) is finished by the call in progress.
    if (this == &Root || Status == STATUS_DESTROYED)
        return;
    if (DestroyInhibit != 0 && pClassEntry != nullptr && (pClassEntry->Flags & DestroyInhibit) != 0)
        return;
    pStartObject = nullptr;
    if (RequestDeferredDestroy())
        return;
    DestroyNow();
}

void GObject::DestroyNow()
{
    PrevStatus = Status;
    Status = STATUS_DESTROYED;
    DestroyChildren();
    // Children whose class survives this sweep stay in the tree, under the root.
    while (pChild != nullptr)
        pChild->SetParent(nullptr);
    this->~GObject();
    AdvanceCursorsPast(this);
    Unlink();
    ReleaseHandleSlot();
    zfree(this);
}

void GObject::DestroyChildren()
{
    ScopedSiblingCursor cursor(pChild);
    while (GObject* child = cursor.Take())
        child->Destroy();
}

void GObject::DestroyObjects()
{
    DestroyInhibit = CLASS_DESTROY_SECOND_PASS | CLASS_SURVIVES_LEVEL;
    Root.DestroyChildren();
    DestroyInhibit = CLASS_SURVIVES_LEVEL;
    Root.DestroyChildren();
    ResetHandles();
    DestroyInhibit = 0;
}

void GObject::Search(GObject* start, bool recursive, DWORD player, DWORD classId)
{
    if (start != nullptr) {
        pStartObject = start;
        pStopObject = start->pParent;
    } else {
        pStartObject = Root.pChild;
        pStopObject = nullptr;
    }
    SearchFlags = recursive ? SEARCH_DESCEND : 0;
    if (player != 0xFFFFFFFF) {
        SearchFlags |= SEARCH_PLAYER;
        SearchPlayer = static_cast<WORD>(player);
    }
    if (classId != 0xFFFFFFFF) {
        SearchFlags |= SEARCH_CLASS;
        SearchClassID = classId;
    }
}

GObject* GObject::SearchNext()
{
    for (;;) {
        GObject* candidate = pStartObject;
        if (candidate == nullptr)
            return nullptr;

        if (SearchFlags & SEARCH_DESCEND) {
            if (candidate == pStopObject) {
                pStartObject = nullptr;
                return nullptr;
            }
            GObject* next = candidate->pChild;
            for (GObject* up = candidate; next == nullptr && up != nullptr && up != pStopObject; up = up->pParent)
                next = up->pNext;
            pStartObject = next;
        } else {
            pStartObject = candidate->pNext;
        }

        if ((SearchFlags & SEARCH_LABEL) && candidate->Label != SearchClassID)
            continue;
        if ((SearchFlags & SEARCH_PLAYER) && candidate->hObject.Player() != SearchPlayer)
            continue;
        if ((SearchFlags & SEARCH_CLASS) && candidate->GetClassId() != SearchClassID)
            continue;
        return candidate;
    }
}

GObject* GObject::Find(DWORD label)
{
    Search(nullptr, true, 0xFFFFFFFF, 0xFFFFFFFF);
    SearchFlags = SEARCH_DESCEND | SEARCH_LABEL;
    SearchClassID = label;
    return SearchNext();
}
