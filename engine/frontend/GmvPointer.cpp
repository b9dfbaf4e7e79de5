#include "engine/frontend/GmvPointer.h"

#include <new>

#include "engine/devices/GInputDevice.h"
#include "engine/frontend/GMarkSelect.h"
#include "engine/frontend/GMenuItem.h"
#include "engine/render/CRenderer.h"
#include "engine/zel/CZelFixupManager.h"

// The pointer has a handle: the input device reaches the objects it calls by handle.
IMPLEMENT_GOBJECT(GmvPointer, 0x80008000)

GmvPointer* GmvPointer::pCurrent;

namespace {

const unsigned short kPointerSortKey = 42768;
const short kOverlayViewport = 7;
const RECT kOverlay = {0, 0, 640, 480};

bool AllZero(const CVector4& c) { return c.x == 0.0f && c.y == 0.0f && c.z == 0.0f && c.w == 0.0f; }

int Depth(GObject* object)
{
    int depth = 0;
    for (GObject* o = object->GetParent(); o; o = o->GetParent())
        ++depth;
    return depth;
}

} // namespace

GmvPointer::GmvPointer()
{
    if (EditableEvaluation != 0)
        return;
    Render.SetPriority(0x8000);
    Render.SetSortModifier(static_cast<short>(kPointerSortKey - 0x8000));
    Render.SetViewport(kOverlayViewport);
    Render.SetSelectable(HGOBJECT(0));
    SelectClassId = GMarkSelect::ClassId;
    new (&Selector) CRender();
    Selector.Attach(&Corner1, &Corner2, AllZero(SelectorRenderColor) ? nullptr : &SelectorRenderColor, nullptr);
    Selector.SetViewport(kOverlayViewport);
    Selector.SetParent(this);
    Selector.Attach(static_cast<CRendResource*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("RendRectangle"))), 0);
    const RECT screen = Screen();
    Position = CVector(float(screen.left + screen.right) / 2.0f, float(screen.top + screen.bottom) / 2.0f, 0.0f);
    pCurrent = this;
}

GmvPointer::~GmvPointer()
{
    if (EditableEvaluation != 0)
        return;
    if (bBound && GInputDevice::pThe)
        GInputDevice::pThe->UnRegister(GetHandle());
    // The marks go with their pointer.
    DeSelect();
    Selector.~CRender();
    if (pCurrent == this)
        pCurrent = nullptr;
}

int GmvPointer::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPhysical::SpecifyEditable(cursor);
    AddEditable(cursor, "SelectorRenderColor.Red", "float", SelectorRenderColor.x);
    AddEditable(cursor, "SelectorRenderColor.Green", "float", SelectorRenderColor.y);
    AddEditable(cursor, "SelectorRenderColor.Blue", "float", SelectorRenderColor.z);
    AddEditable(cursor, "SelectorRenderColor.Alpha", "float", SelectorRenderColor.w);
    return count + 4;
}

// The overlay's 640 by 480 when no window reports a resolution (no display, tests).
RECT GmvPointer::Screen()
{
    RECT r = CRenderer::pThe ? CRenderer::pThe->GetResolution() : kOverlay;
    return r.right > r.left && r.bottom > r.top ? r : kOverlay;
}

// The pointer takes the data's pointer triggers, when defined, on the first frame the input
// device exists: "PointerMove" (relative movement), "PointerAction" and "PointerRelease".
void GmvPointer::BindInput()
{
    GInputDevice& input = *GInputDevice::pThe;
    input.Register(GetHandle(), "PointerMove", 0xFFFFFFFFul,
                   static_cast<GInputDevice::InputHandler>(&GmvPointer::Input_UpdatePosition));
    input.Register(GetHandle(), "PointerAction", 0xFFFFFFFFul,
                   static_cast<GInputDevice::InputHandler>(&GmvPointer::Input_Action));
    input.Register(GetHandle(), "PointerRelease", 0xFFFFFFFFul,
                   static_cast<GInputDevice::InputHandler>(&GmvPointer::Input_ActionUp));
    bBound = true;
}

bool GmvPointer::Process()
{
    if (!bBound && GInputDevice::pThe)
        BindInput();
    return GPhysical::Process();
}

void GmvPointer::Sleep()
{
    SleepTime = SLEEP_FOREVER;
    Render.Unlink();
    Selector.Unlink();
}

void GmvPointer::Wakeup()
{
    SleepTime = 0.0f;
    Render.Link();
}

void GmvPointer::Clip2Screen(CVector& point)
{
    const RECT r = Screen();
    point.x = point.x < float(r.left) ? float(r.left) : point.x > float(r.right) ? float(r.right) : point.x;
    point.y = point.y < float(r.top) ? float(r.top) : point.y > float(r.bottom) ? float(r.bottom) : point.y;
}

void GmvPointer::Input_UpdatePosition(CInputData* input)
{
    CVector at = Position;
    at.x += input->Float(0) * 10000.0f;
    at.y += input->Float(1) * 10000.0f;
    Clip2Screen(at);
    SetPos(at);
    if (SelectorRenderIsLinked())
        Corner2 = at;
    MenuCheck();
}

void GmvPointer::Input_UpdatePositionAbsolute(CInputData* input)
{
    SetPos(CVector(input->Float(0), input->Float(1), 0.0f));
    const RECT r = Screen();
    const bool inside = Position.x >= float(r.left) && Position.x <= float(r.right) && Position.y >= float(r.top) &&
                        Position.y <= float(r.bottom);
    if (inside)
        Render.Link();
    else
        Render.Unlink();
    MenuCheck();
}

GMenuItem* GmvPointer::GetHovered() { return GMenuItem::FromObject(GObject::GetGobject(hHovered)); }

void GmvPointer::Input_Action(CInputData*)
{
    if (GMenuItem* item = GetHovered())
        item->Activate(true);
}

void GmvPointer::Input_ActionUp(CInputData*)
{
    if (GMenuItem* item = GetHovered())
        item->Activate(false);
}

GMenuItem* GmvPointer::GetMenuItem(const CVector& point, bool fromStart)
{
    if (fromStart)
        CRender::ResetSelectable();
    GMenuItem* best = nullptr;
    int bestDepth = -1;
    while (CRender::Selected* s = CRender::GetNextSelectable()) {
        const RECT& r = s->Rect;
        if (!(point.x > float(r.left) && point.x < float(r.right) && point.y > float(r.top) &&
              point.y < float(r.bottom)))
            continue;
        GMenuItem* item = GMenuItem::FromObject(GObject::GetGobject(s->Handle));
        if (item == nullptr)
            continue;
        const int depth = Depth(item);
        if (depth > bestDepth) {
            best = item;
            bestDepth = depth;
        }
    }
    return best;
}

void GmvPointer::MenuCheck()
{
    if (SelectorRenderIsLinked())
        return;
    GMenuItem* now = GetMenuItem(GetPos(), true);
    GMenuItem* before = GetHovered();
    const HGOBJECT nowHandle = now ? now->GetHandle() : HGOBJECT(0);
    if (nowHandle == hHovered)
        return;
    if (before != nullptr) {
        if (before->Is(MENUITEM_ACTIVATED) && before->Is(MENUITEM_KEEPACTIVE))
            return;
        if (before->Is(MENUITEM_ACTIVATED))
            before->Activate(false);
        before->Focus(false);
    }
    hHovered = nowHandle;
    if (now)
        now->Focus(true);
}

void GmvPointer::StartSelection(bool begin, bool add)
{
    if (begin) {
        Corner1 = Corner2 = Position;
        Selector.Link();
        return;
    }
    Selector.Unlink();
    CVector low(Corner1.x < Corner2.x ? Corner1.x : Corner2.x, Corner1.y < Corner2.y ? Corner1.y : Corner2.y, 0.0f);
    CVector high(Corner1.x < Corner2.x ? Corner2.x : Corner1.x, Corner1.y < Corner2.y ? Corner2.y : Corner1.y, 0.0f);
    Corner1 = low;
    Corner2 = high;
    Select(Corner1, Corner2, SELECT_DEFAULT, kPickSize, nullptr, add);
}

GPosRot* GmvPointer::FilterSelect(HGOBJECT handle, unsigned long flags, CZArray<HGOBJECT>*)
{
    const WORD player = handle.Player();
    if ((flags & SELECT_ONLY_PLAYER_1) && player != 1)
        return nullptr;
    if ((flags & SELECT_NOT_PLAYER_1) && player == 1)
        return nullptr;
    if ((flags & SELECT_NOT_PLAYERS_0_10) && (player == 0 || player == 10))
        return nullptr;
    return GPosRot::FromObject(GObject::GetGobject(handle));
}

int GmvPointer::Select(const CVector& corner1, const CVector& corner2, unsigned long flags, int pickSize,
                       CZArray<HGOBJECT>* out, bool add)
{
    long left = long(corner1.x), top = long(corner1.y), right = long(corner2.x), bottom = long(corner2.y);
    if (!add) {
        if (out)
            out->RemoveAll();
        else
            DeSelect();
    }
    const bool pointPick = pickSize >= right - left && pickSize >= bottom - top;
    const long centreX = (left + right) / 2, centreY = (top + bottom) / 2;
    if (pointPick) {
        left -= pickSize / 2;
        top -= pickSize / 2;
        right += pickSize / 2;
        bottom += pickSize / 2;
    }
    if (flags & SELECT_DEFAULT)
        flags = pointPick ? GetSingleSelectFlags() : GetGroupSelectFlags();

    HGOBJECT winner(0);
    long best = 0x40000000;
    CRender::ResetSelectable();
    while (CRender::Selected* s = CRender::GetNextSelectable()) {
        const RECT& r = s->Rect;
        if (!(left < r.right && top < r.bottom && r.left < right && r.top < bottom))
            continue;
        const HGOBJECT handle = GObject::GetGobject(s->Handle) ? s->Handle : HGOBJECT(0);
        if (handle.IsNull() || FilterSelect(handle, flags, out) == nullptr)
            continue;
        if (pointPick) {
            const long dx = (r.left + r.right) / 2 - centreX, dy = (r.top + r.bottom) / 2 - centreY;
            if (dx * dx + dy * dy < best) {
                best = dx * dx + dy * dy;
                winner = handle;
            }
        } else if (out) {
            out->Add(handle);
        } else {
            Select(handle);
        }
    }
    if (pointPick && !winner.IsNull()) {
        if (out) {
            out->RemoveAll();
            out->Add(winner);
        } else if (add && IsSelect(winner)) {
            DeSelect(winner);
        } else {
            Select(winner);
        }
    }
    return out ? out->GetSize() : Selection.GetSize();
}

void GmvPointer::Select(HGOBJECT handle)
{
    GPosRot* object = GPosRot::FromObject(GObject::GetGobject(handle));
    if (object == nullptr)
        return;
    CreateSelect(object);
    object->Select(true);
}

GMarkSelect* GmvPointer::CreateSelect(GPosRot* object)
{
    if (FindMark(object->GetHandle()) >= 0)
        return nullptr;
    GMarkSelect* mark = static_cast<GMarkSelect*>(Create(SelectClassId, nullptr));
    if (mark == nullptr)
        return nullptr;
    mark->Attach(object, this);
    Selection.Add(mark);
    return mark;
}

int GmvPointer::FindMark(HGOBJECT handle)
{
    for (int i = 0; i < Selection.GetSize(); ++i)
        if (GPosRot* object = Selection[i]->GetAttached())
            if (object->GetHandle() == handle)
                return i;
    return -1;
}

bool GmvPointer::IsSelect(HGOBJECT handle) { return !handle.IsNull() && FindMark(handle) >= 0; }

GPosRot* GmvPointer::GetSelected(int index)
{
    return index >= 0 && index < Selection.GetSize() ? Selection[index]->GetAttached() : nullptr;
}

void GmvPointer::RemoveFromList(GMarkSelect* mark)
{
    const int index = Selection.Find(mark);
    if (index >= 0)
        Selection.RemoveAt(index);
}

// The mark leaves the list first: its destruction may be deferred to the end of the turn.
void GmvPointer::TakeOff(int index)
{
    GMarkSelect* mark = Selection[index];
    Selection.RemoveAt(index);
    mark->ReleasePointer();
    if (GPosRot* object = mark->GetAttached())
        object->Select(false);
    mark->Destroy();
}

void GmvPointer::DeSelect(HGOBJECT handle)
{
    const int index = FindMark(handle);
    if (index >= 0)
        TakeOff(index);
}

void GmvPointer::DeSelect()
{
    while (Selection.GetSize() > 0)
        TakeOff(Selection.GetSize() - 1);
    Selection.RemoveAll();
}
