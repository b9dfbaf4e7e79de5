#pragma once
// An electric discharge between two points: a bundle of jagged line strips, regenerated at
// random every frame. Each strip spends part of a power budget that grows with the distance
// between the points, so a long bolt carries more strips than a short one.
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class GLightningBolt : public GEffect {
    DECLARE_GOBJECT(GLightningBolt, GEffect)

    GLightningBolt();
    ~GLightningBolt() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Render() override;

    CRender& GetRender() { return RenderInstance; }

    // At most this many strips a frame and segments a strip, whatever the data says: a strip
    // that costs nothing or a jump of nothing would otherwise never end the frame.
    enum { kMaxStrips = 512, kMaxSegments = 256 };

    CVector Source;
    CVector Target;
    float PowerScaleMin, PowerScaleMinDist;
    float PowerScaleMax, PowerScaleMaxDist;
    float TotalPower;
    float BoltPowerBias;
    float BoltPowerMin, BoltPowerMax;
    float BoltJumpMin, BoltJumpMax, BoltJumpDrift;
    CVector4 BoltColorMin, BoltColorMax, BoltColorDrift;
    CVector SourceRadiusMin, SourceRadiusMax, SourceRadiusDrift;
    CVector TargetRadiusMin, TargetRadiusMax, TargetRadiusDrift;
    DWORD RendPriority;

private:
    float Budget(float length) const;
    void DrawStrip(float p, const CVector& dir, float length, const CVector& a, const CVector& b);

    CRender RenderInstance;
};
