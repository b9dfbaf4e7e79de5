#include "DemoBeam.h"

IMPLEMENT_GOBJECT(GDemoBeam, 0x04808000)

int GDemoBeam::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GBeam::SpecifyEditable(cursor);
    AddEditable(cursor, "Reach.X", "float", Reach.x);
    AddEditable(cursor, "Reach.Y", "float", Reach.y);
    AddEditable(cursor, "Reach.Z", "float", Reach.z);
    return count + 3;
}

// The end points are set before the envelope runs, so the render instance culls by the beam's
// real length from the first frame.
bool GDemoBeam::Process()
{
    SetEndPoints(CVector(Position.x + Reach.x, Position.y + Reach.y, Position.z + Reach.z), Position);
    return GBeam::Process();
}
