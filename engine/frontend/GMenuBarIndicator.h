#pragma once
// A value between an empty and a full level shown as a coloured, textured bar whose length
// follows the value. The bar draws through the built-in resource "CRendBarIndicator", which
// cuts the texture at the fill instead of stretching it.
#include "engine/frontend/GMenuItem.h"

class CRendTexture;

class GMenuBarIndicator : public GMenuItem {
    DECLARE_GOBJECT(GMenuBarIndicator, GMenuItem)

    GMenuBarIndicator();
    ~GMenuBarIndicator() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    void SetSortModifier(int modifier) override;
    void Redraw() override;

    void SetRange(float empty, float full);
    void SetValue(float current);
    // The share of the bar filled, 0 to 1; 0 when empty and full are the same level.
    float FillFraction() const;
    CRender& GetBarRender() { return BarRender; }
    CRendTexture* GetTexture() const { return static_cast<CRendTexture*>(pTexture); }

    float Current;
    float Empty;
    float Full;
    void* pTexture;
    CVector4 Color;
    union {
        CRender BarRender;
    };
    // The bar's far corner x and y, then the fill fraction.
    CVector BarCorner;
};
