#pragma once
// A beam that strikes down onto a point from along an offset and sows particles down it: the
// beam flares, narrows and fades over one second while fifty particles are sown from the top
// of the beam to the point in its first fifth of a second.
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class CEmbeddedFillData;
class GParticleSystem;

class GOrbitalStrike : public GEffect {
    DECLARE_GOBJECT(GOrbitalStrike, GEffect)

    GOrbitalStrike();
    ~GOrbitalStrike() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Render() override;

    // Aims the strike at point, the beam coming down from point + 10 × offset.
    void SetStrike(const CVector& point, const CVector& offset);

    // Sowing runs from 0 to kSowEnd in steps of kSowStep: fifty particles.
    static constexpr float kSowEnd = 10.0f;
    static constexpr float kSowStep = 0.2f;
    static const int kSowCount = 50;
    static constexpr float kLifetime = 1.0f;

    CVector point;
    CVector offset;
    float flicker; // 0 to 0.55
    float elapsed;
    float progress; // 0 to kSowEnd
    CEmbeddedFillData* pParticleSystem;
    GParticleSystem* system;
    DWORD RendPriority;
    union {
        CRender render; // the strike's own render instance
    };

private:
    int sown;
    bool ownRender;
    void Sow();
    void DrawFin(const CVector& top, const CVector& width, const CVector4& colour);
};
