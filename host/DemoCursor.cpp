#include "DemoCursor.h"

#include "engine/render/GPCXRenderMessage.h"

#include <cstdio>

IMPLEMENT_GOBJECT(GDemoCursor, 0x80008000)

int GDemoCursor::Turn;

namespace {
const float kStep = 20.0f; // pixels per arrow key press
} // namespace

GDemoCursor::GDemoCursor()
{
    if (EditableEvaluation != 0)
        return;
    Home[0] = GetPos();
    Home[1] = GetRot();
}

GDemoCursor::~GDemoCursor()
{
    if (EditableEvaluation == 0 && bBound && GInputDevice::pThe)
        GInputDevice::pThe->UnRegister(GetHandle());
}

// The input device of the level may come after the cursor in the level's objects: the cursor
// binds its triggers on the first frame the device exists.
bool GDemoCursor::Process()
{
    if (!bBound && GInputDevice::pThe)
        Bind();
    return GPhysical::Process();
}

void GDemoCursor::Bind()
{
    struct Binding {
        const char* trigger;
        void (GDemoCursor::*handler)(CInputData*);
    };
    static const Binding kBindings[] = {
        {"DemoLeft", &GDemoCursor::OnLeft}, {"DemoRight", &GDemoCursor::OnRight}, {"DemoUp", &GDemoCursor::OnUp},
        {"DemoDown", &GDemoCursor::OnDown}, {"DemoReset", &GDemoCursor::OnReset}, {"DemoText", &GDemoCursor::OnText},
    };
    for (const Binding& b : kBindings)
        if (GInputDevice::pThe->Register(GetHandle(), b.trigger, 0xFFFFFFFFul,
                                         static_cast<GInputDevice::InputHandler>(b.handler)))
            std::printf("demo: no trigger \"%s\" to bind\n", b.trigger);
    bBound = true;
}

void GDemoCursor::MoveBy(float dx, float dy, const char* why)
{
    CVector corner = GetRot();
    corner.x += dx;
    corner.y += dy;
    SetRot(corner);
    CVector position = GetPos();
    position.x += dx;
    position.y += dy;
    SetPos(position);
    std::printf("demo: frame %d %s, cursor at %.0f,%.0f\n", Turn, why, position.x, position.y);
    // The same news on screen, in the demo's font, for two seconds.
    char line[64];
    std::snprintf(line, sizeof line, "CURSOR AT %.0f,%.0f", position.x, position.y);
    AddRenderMessage(line, 2.0f);
}

void GDemoCursor::OnLeft(CInputData*) { MoveBy(-kStep, 0.0f, "left"); }
void GDemoCursor::OnRight(CInputData*) { MoveBy(kStep, 0.0f, "right"); }
void GDemoCursor::OnUp(CInputData*) { MoveBy(0.0f, -kStep, "up"); }
void GDemoCursor::OnDown(CInputData*) { MoveBy(0.0f, kStep, "down"); }

void GDemoCursor::OnReset(CInputData*)
{
    const CVector position = GetPos();
    MoveBy(Home[0].x - position.x, Home[0].y - position.y, "Ctrl+R home");
}

void GDemoCursor::OnText(CInputData* data)
{
    unsigned long ch = data->Word(0);
    if (ch >= 32 && ch < 127)
        std::printf("demo: frame %d typed '%c'\n", Turn, char(ch));
    else
        std::printf("demo: frame %d typed character %lu\n", Turn, ch);
}
