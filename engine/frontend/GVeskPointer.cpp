#include "engine/frontend/GVeskPointer.h"

#include <cmath>
#include <cstdio>

#include "core/file/CZFile.h"
#include "core/output/ZOutput.h"
#include "engine/devices/GInputDevice.h"
#include "engine/frontend/GBaseVeskSnooper.h"
#include "engine/frontend/GVeskMenus.h"
#include "engine/frontend/GVeskSelect.h"
#include "engine/object/CFillData.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/CLoadSaveBuffer.h"
#include "engine/object/CoreMessages.h"
#include "engine/object/GPosRot.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/world/GmvWorld.h"

IMPLEMENT_GOBJECT(GVeskPointer, 0x8080F000)

const char* const GVeskPointer::kCloneFileName = "..\\vesk.tmp";
GVeskPointer* GVeskPointer::pEditor;
WORD GVeskPointer::CurrentPlayer;
float GVeskPointer::LastAngle;

namespace {

const float kTwoPi = 6.2831855f;
const float kGridAngle = 0.3926991f; // pi/8

float Snap(float value) { return float(int(value + 0.5f)); }

// An angle brought into [0, 2pi).
float Wrap(float angle)
{
    angle = std::fmod(angle, kTwoPi);
    return angle < 0.0f ? angle + kTwoPi : angle;
}

template <class T> void Deliver(GObject* object, DWORD id, T& message)
{
    message.MessageId = id;
    message.hRecipient = object->GetHandle();
    message.Priority = CMessage::DefaultPriority;
    if (object->OnFilterMessage(&message))
        object->OnReceiveMessage(&message);
}

} // namespace

void VeskSendPos(GObject* object, const CVector& position)
{
    CSetPosMessage message;
    message.Pos = position;
    Deliver(object, CSetPosMessage::CMessageId, message);
}

void VeskSendRot(GObject* object, const CVector& angles)
{
    CSetRotMessage message;
    message.Rot = angles;
    Deliver(object, CSetRotMessage::CMessageId, message);
}

GVeskPointer::GVeskPointer()
{
    if (EditableEvaluation != 0)
        return;
    pEditor = this;
    CGameTimer::Pause();
    if (GInputDevice::pThe != nullptr)
        SavedInputMode = GInputDevice::pThe->Mode(0);
    if (GInputDevice::pThe != nullptr)
        GInputDevice::pThe->Mode(kEditorInputMode);
    if (GBaseVeskSnooper* snooper = GBaseVeskSnooper::GetStarter())
        snooper->OnVeskEntry();
    SetSelectClassId(GVeskSelect::ClassId);
    if (pVeskCursor != nullptr)
        Render.Attach(pVeskCursor, 0);
    RegisterTriggers();
}

GVeskPointer::~GVeskPointer()
{
    if (EditableEvaluation != 0)
        return;
    if (pEditor == this)
        pEditor = nullptr;
    CreateClass = 0;
    pCreateTemplate = nullptr;
    GmvPointer::DeSelect();
    if (GInputDevice::pThe != nullptr && SavedInputMode != 0)
        GInputDevice::pThe->Mode(SavedInputMode);
    if (GBaseVeskSnooper* snooper = GBaseVeskSnooper::GetStarter())
        snooper->OnVeskExit();
    CGameTimer::Resume();
}

int GVeskPointer::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GmvPointer::SpecifyEditable(cursor);
    AddEditable(cursor, "pVeskCursor", "CRendResource *", pVeskCursor);
    AddEditable(cursor, "pVeskMoveToCursor", "CRendResource *", pVeskMoveToCursor);
    AddEditable(cursor, "pVeskCreateCursor", "CRendResource *", pVeskCreateCursor);
    return count + 3;
}

// The pointer's own triggers replace the plain pointer's, so the base never binds.
void GVeskPointer::RegisterTriggers()
{
    bBound = true;
    if (GInputDevice::pThe == nullptr)
        return;
    typedef void (GVeskPointer::*Handler)(CInputData*);
    const struct {
        const char* name;
        unsigned long mode;
        Handler handler;
    } triggers[] = {
        {"VeskPointerUpdatePosition", kPointerInputMode, &GVeskPointer::Input_UpdatePosition},
        {"VeskPointerSelectStart", kPointerInputMode, &GVeskPointer::Input_SelectStart},
        {"VeskPointerSelectEnd", kPointerInputMode, &GVeskPointer::Input_SelectEnd},
        {"VeskPointerActionDown", kEditorInputMode, &GVeskPointer::Input_ActionDown},
        {"VeskPointerActionUp", kEditorInputMode, &GVeskPointer::Input_ActionUp},
        {"VeskPointerShiftDown", kEditorInputMode, &GVeskPointer::Input_ShiftDown},
        {"VeskPointerShiftUp", kEditorInputMode, &GVeskPointer::Input_ShiftUp},
        {"VeskPointerCtrlDown", kEditorInputMode, &GVeskPointer::Input_CtrlDown},
        {"VeskPointerCtrlUp", kEditorInputMode, &GVeskPointer::Input_CtrlUp},
        {"VeskPointerAltDown", kEditorInputMode, &GVeskPointer::Input_AltDown},
        {"VeskPointerAltUp", kEditorInputMode, &GVeskPointer::Input_AltUp},
        {"VeskPointerDelete", kEditorInputMode, &GVeskPointer::Input_Delete},
        {"VeskPointerGrid", kEditorInputMode, &GVeskPointer::Input_Grid},
        {"VeskPointerZLock", kEditorInputMode, &GVeskPointer::Input_ZLock},
        {"VeskPointerZMoveBegin", kEditorInputMode, &GVeskPointer::Input_ZMoveBegin},
        {"VeskPointerZMoveEnd", kEditorInputMode, &GVeskPointer::Input_ZMoveEnd},
        {"VeskPointerClearSelect", kEditorInputMode, &GVeskPointer::Input_ClearSelect},
    };
    for (const auto& trigger : triggers)
        GInputDevice::pThe->Register(GetHandle(), trigger.name, trigger.mode,
                                     static_cast<GInputDevice::InputHandler>(trigger.handler));
}

void GVeskPointer::DeSelect()
{
    CreateClass = 0;
    pCreateTemplate = nullptr;
    GmvPointer::DeSelect();
}

void GVeskPointer::SetCreation(DWORD classId, CEmbeddedFillData* fillData)
{
    DeSelect();
    CreateClass = classId;
    pCreateTemplate = fillData;
}

GPosRot* GVeskPointer::FilterSelect(HGOBJECT handle, unsigned long, CZArray<HGOBJECT>* out)
{
    GPosRot* object = GmvPointer::FilterSelect(handle, 0, out);
    return object != nullptr && GMenuItem::FromObject(object) == nullptr ? object : nullptr;
}

// Only items of editor pages answer the editor's pointer; the game's own menus do not.
GMenuItem* GVeskPointer::GetMenuItem(const CVector& point, bool fromStart)
{
    for (GMenuItem* item = GmvPointer::GetMenuItem(point, fromStart); item != nullptr;
         item = GmvPointer::GetMenuItem(point, false)) {
        for (GObject* up = item; up != nullptr; up = up->GetParent())
            if (up->IsDerivedFromClassId(GVeskBaseMenu::ClassId))
                return item;
    }
    return nullptr;
}

void GVeskPointer::ComputeOffsets()
{
    CVector middle(0.0f, 0.0f, 0.0f);
    int count = 0;
    for (int i = 0; i < GetSelectedCount(); ++i)
        if (GPosRot* object = GetSelected(i)) {
            middle.x += object->GetPos().x;
            middle.y += object->GetPos().y;
            ++count;
        }
    if (count != 0) {
        middle.x /= float(count);
        middle.y /= float(count);
    }
    for (int i = 0; i < GetSelectedCount(); ++i)
        if (GVeskSelect* mark = MarkAt(i))
            if (GPosRot* object = mark->GetAttached())
                mark->Offset = CVector(object->GetPos().x - middle.x, object->GetPos().y - middle.y, 0.0f);
}

// Marks another pointer class made (before the editor started) are plain marks with no offset.
GVeskSelect* GVeskPointer::MarkAt(int index)
{
    if (index < 0 || index >= Selection.GetSize() || Selection[index] == nullptr ||
        !Selection[index]->IsDerivedFromClassId(GVeskSelect::ClassId))
        return nullptr;
    return static_cast<GVeskSelect*>(Selection[index]);
}

const CVector& GVeskPointer::GetOffset(int index)
{
    static const CVector none(0.0f, 0.0f, 0.0f);
    const GVeskSelect* mark = MarkAt(index);
    return mark != nullptr ? mark->Offset : none;
}

// The world point under the pointer: where the ray through it meets the terrain; unchanged
// where it meets none.
void GVeskPointer::UpdateWorldPos()
{
    CVector nearPoint, farPoint;
    if (Screen2World(0, Position, nearPoint, farPoint) != 0)
        return;
    const float t = GmvWorld::FindIntersection(0, nearPoint, farPoint, nullptr, nullptr);
    if (t >= 0.0f)
        WorldPos = nearPoint + (farPoint - nearPoint) * t;
}

void GVeskPointer::Input_UpdatePosition(CInputData* input)
{
    GmvPointer::Input_UpdatePosition(input);
    UpdateWorldPos();
    const float dx = input->Float(0), dy = input->Float(1);
    if (!bMenuOpen && CreateClass == 0 && pCreateTemplate == nullptr)
        for (int i = 0; i < GetSelectedCount(); ++i)
            if (GPosRot* object = GetSelected(i))
                MoveSelected(object, GetOffset(i), dx, dy);
    if (CRendResource* cursor = ChooseCursor())
        Render.Attach(cursor, 0);
}

CRendResource* GVeskPointer::ChooseCursor()
{
    CRendResource* cursor = pVeskCursor;
    if (!bMenuOpen) {
        if (CreateClass != 0 || pCreateTemplate != nullptr)
            cursor = pVeskCreateCursor;
        else if (GetSelectedCount() != 0)
            cursor = pVeskMoveToCursor;
    }
    if (SelectorRenderIsLinked() || hHovered != 0)
        cursor = pVeskCursor;
    return cursor;
}

void GVeskPointer::MoveSelected(GPosRot* object, const CVector& offset, float dx, float dy)
{
    if (ShiftCount != 0 || ActionHeld != 0) {
        CVector to = WorldPos + offset;
        if (bGrid) {
            to.x = Snap(to.x);
            to.y = Snap(to.y);
        }
        if (bZMove) {
            const CVector& at = object->GetPos();
            to.z = to.z + (at.z - CRenderer::GetHeightData(at));
            if (bGrid)
                to.z = Snap(to.z);
        }
        VeskSendPos(object, to);
    } else if (bZMove) {
        CVector to = object->GetPos();
        to.z -= dy * 100.0f;
        if (bGrid)
            to.z = Snap(to.z);
        VeskSendPos(object, to);
    } else if (CtrlCount != 0) {
        CVector angles = object->GetRot();
        const float from = bGrid ? LastAngle : angles.z;
        const float turned = Wrap(dx * 1000.0f + from);
        if (bGrid) {
            LastAngle = turned;
            angles.z = float(int(turned / kGridAngle)) * kGridAngle;
        } else {
            angles.z = turned;
        }
        VeskSendRot(object, angles);
    } else if (AltCount != 0) {
        CVector angles = object->GetRot();
        angles.x = Wrap(dx * 100.0f + angles.x);
        angles.y = Wrap(angles.y + dy * 100.0f);
        VeskSendRot(object, angles);
    }
}

void GVeskPointer::Input_SelectStart(CInputData* input)
{
    if (bMenuOpen || hHovered != 0)
        Input_Action(input);
    else
        StartSelection(true, false);
}

void GVeskPointer::Input_SelectEnd(CInputData* input)
{
    if (!bMenuOpen && SelectorRenderIsLinked()) {
        StartSelection(false, false);
        ComputeOffsets();
    } else if (bMenuOpen || hHovered != 0) {
        Input_ActionUp(input);
    }
}

void GVeskPointer::Input_ActionDown(CInputData*)
{
    if (bMenuOpen)
        return;
    if (GetSelectedCount() != 0) {
        ActionHeld = 1;
        for (int i = 0; i < GetSelectedCount(); ++i)
            if (GPosRot* object = GetSelected(i))
                VeskSendPos(object, WorldPos + GetOffset(i));
        return;
    }
    GObject* made = nullptr;
    if (CreateClass != 0)
        made = GObject::Create(CreateClass, HGOBJECT(CurrentPlayer), nullptr);
    else if (pCreateTemplate != nullptr)
        made = GObject::Create(pCreateTemplate->ClassId, HGOBJECT(CurrentPlayer), pCreateTemplate->pData);
    if (made != nullptr && GPosRot::FromObject(made) != nullptr)
        VeskSendPos(made, WorldPos);
}

void GVeskPointer::Input_Delete(CInputData*)
{
    if (bMenuOpen)
        return;
    CZArray<HGOBJECT> doomed;
    for (int i = 0; i < GetSelectedCount(); ++i)
        if (GPosRot* object = GetSelected(i))
            doomed.Add(object->GetHandle());
    GmvPointer::DeSelect();
    for (HGOBJECT handle : doomed)
        if (GObject* object = GetGobject(handle))
            object->Destroy();
}

void GVeskPointer::Input_ZLock(CInputData*)
{
    if (bMenuOpen)
        return;
    for (int i = 0; i < GetSelectedCount(); ++i)
        if (GPosRot* object = GetSelected(i)) {
            CVector to = object->GetPos();
            to.z = CRenderer::GetHeightData(to);
            VeskSendPos(object, to);
        }
}

// The clipboard file is written whole and read back whole; a stream that does not read back
// cleanly is reported and what it did create stays (the sources are untouched either way).
void GVeskPointer::Clone()
{
    CZArray<HGOBJECT> sources;
    for (int i = 0; i < GetSelectedCount() && GetSelected(i) != nullptr; ++i)
        sources.Add(GetSelected(i)->GetHandle());
    DeSelect();

    CZFile file;
    if (file.Open(kCloneFileName, CZFile::kWrite | CZFile::kInDataFolder) != 0)
        vbail("Cannot open temp file for copy..");
    CLoadSaveBuffer out;
    out.Attach(&file, true);
    for (HGOBJECT handle : sources)
        if (GObject* object = GetGobject(handle))
            object->Save(out, true);
    const bool written = !TerminateSaveFile(out) && out.Close() == 0;
    file.Close();
    if (!written)
        std::printf("Editor: the copy could not be written to \"%s\"\n", kCloneFileName);

    if (written) {
        if (file.Open(kCloneFileName, CZFile::kRead | CZFile::kInDataFolder) != 0)
            vbail("Cannot open temp file for copy..");
        CLoadSaveBuffer in;
        in.Attach(&file, false);
        const bool failed = LoadAll(in, true);
        if (in.Close() != 0 || failed)
            std::printf("Editor: \"%s\" is damaged; the copy is incomplete\n", kCloneFileName);
        file.Close();
    }
    for (HGOBJECT handle : sources)
        Select(handle);
    ComputeOffsets();
}
