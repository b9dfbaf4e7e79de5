#include "engine/frontend/GMenuBarIndicator.h"

#include <new>

#include "engine/frontend/CRendBarIndicator.h"

IMPLEMENT_GOBJECT(GMenuBarIndicator, 0x80008000)

GMenuBarIndicator::GMenuBarIndicator()
{
    if (EditableEvaluation != 0)
        return;
    if (Color.x == 0.0f && Color.y == 0.0f && Color.z == 0.0f && Color.w == 0.0f)
        Color = CVector4(1.0f, 1.0f, 1.0f, 1.0f);
    new (&BarRender) CRender();
    BarRender.Attach(&ItemPos, &BarCorner, &Color, nullptr);
    BarRender.SetParent(this);
    BarRender.Attach(&CRendBarIndicator::BuiltIn(), 0);
    BarRender.SetPriority(0x8000);
    BarRender.SetViewport(static_cast<short>(Viewport));
    BarRender.SetSortModifier(Render.GetSortModifier());
    Redraw();
}

GMenuBarIndicator::~GMenuBarIndicator()
{
    if (EditableEvaluation == 0)
        BarRender.~CRender();
}

int GMenuBarIndicator::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GMenuItem::SpecifyEditable(cursor);
    AddEditable(cursor, "Current", "float", Current);
    AddEditable(cursor, "Empty", "float", Empty);
    AddEditable(cursor, "Full", "float", Full);
    AddEditable(cursor, "pTexture", "void *", pTexture);
    AddEditable(cursor, "Color.Red", "float", Color.x);
    AddEditable(cursor, "Color.Green", "float", Color.y);
    AddEditable(cursor, "Color.Blue", "float", Color.z);
    AddEditable(cursor, "Color.Alpha", "float", Color.w);
    return count + 8;
}

void GMenuBarIndicator::SetRange(float empty, float full)
{
    Empty = empty;
    Full = full;
    if (Is(MENUITEM_DISPLAYED))
        Redraw();
}

void GMenuBarIndicator::SetValue(float current)
{
    Current = current;
    if (Is(MENUITEM_DISPLAYED))
        Redraw();
}

float GMenuBarIndicator::FillFraction() const
{
    if (Full == Empty)
        return 0.0f;
    const float f = (Current - Empty) / (Full - Empty);
    return f < 0.0f ? 0.0f : f > 1.0f ? 1.0f : f;
}

void GMenuBarIndicator::SetSortModifier(int modifier)
{
    GMenuItem::SetSortModifier(modifier);
    BarRender.SetSortModifier(Render.GetSortModifier());
}

void GMenuBarIndicator::Redraw()
{
    GMenuItem::Redraw();
    if (!Is(MENUITEM_DISPLAYED)) {
        BarRender.Unlink();
        return;
    }
    BarRender.SetSortModifier(Render.GetSortModifier());
    BarRender.Attach(Render.GetMaterialList());
    const float f = FillFraction();
    ItemPos.z = 0.0f;
    BarCorner = CVector(ItemPos.x + float(int(f * Size.x)), ItemPos.y + Size.y, f);
    if (!BarRender.IsLinked())
        BarRender.Link();
}
