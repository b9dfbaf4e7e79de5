#include "engine/effects/GLightningBolt.h"

#include <math.h>

#include "core/math/MathTables.h"
#include "core/names/CRandom.h"
#include "engine/effects/EffectRandom.h"
#include "engine/render/PrimBatch.h"

IMPLEMENT_GOBJECT(GLightningBolt, 0x04008000)

namespace {

const unsigned kBoltBlendMode = 1;
// Alpha blended, additive, drawn as lines.
const int kBoltRenderState = 0x3812;

// A random variation of up to half the drift either way.
float Spread(float drift) { return (EffectRandom() * 100.0f - 50.0f) * drift * 0.02f; }

float Lerp(float a, float b, float t) { return a + t * (b - a); }

CVector Lerp(const CVector& a, const CVector& b, float t)
{
    return CVector(Lerp(a.x, b.x, t), Lerp(a.y, b.y, t), Lerp(a.z, b.z, t));
}

CVector Spread(const CVector& drift) { return CVector(Spread(drift.x), Spread(drift.y), Spread(drift.z)); }

// A sine-table angle from a random below 1000.
int RandomTableIndex() { return static_cast<int>(float(GlobalRandom.Rand(999)) * fmSinIndexScale) & 2047; }

} // namespace

GLightningBolt::GLightningBolt() {}

GLightningBolt::~GLightningBolt()
{
    if (EditableEvaluation != 0)
        return;
    RenderInstance.Detach(this);
}

int GLightningBolt::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    struct Field {
        const char* name;
        float* member;
    } fields[] = {
        {"Source.X", &Source.x},
        {"Source.Y", &Source.y},
        {"Source.Z", &Source.z},
        {"Target.X", &Target.x},
        {"Target.Y", &Target.y},
        {"Target.Z", &Target.z},
        {"PowerScaleMin", &PowerScaleMin},
        {"PowerScaleMinDist", &PowerScaleMinDist},
        {"PowerScaleMax", &PowerScaleMax},
        {"PowerScaleMaxDist", &PowerScaleMaxDist},
        {"TotalPower", &TotalPower},
        {"BoltPowerBias", &BoltPowerBias},
        {"BoltPowerMin", &BoltPowerMin},
        {"BoltPowerMax", &BoltPowerMax},
        {"BoltJumpMin", &BoltJumpMin},
        {"BoltJumpMax", &BoltJumpMax},
        {"BoltJumpDrift", &BoltJumpDrift},
        {"BoltColorMin.Red", &BoltColorMin.x},
        {"BoltColorMin.Green", &BoltColorMin.y},
        {"BoltColorMin.Blue", &BoltColorMin.z},
        {"BoltColorMin.Alpha", &BoltColorMin.w},
        {"BoltColorMax.Red", &BoltColorMax.x},
        {"BoltColorMax.Green", &BoltColorMax.y},
        {"BoltColorMax.Blue", &BoltColorMax.z},
        {"BoltColorMax.Alpha", &BoltColorMax.w},
        {"BoltColorDrift.Red", &BoltColorDrift.x},
        {"BoltColorDrift.Green", &BoltColorDrift.y},
        {"BoltColorDrift.Blue", &BoltColorDrift.z},
        {"BoltColorDrift.Alpha", &BoltColorDrift.w},
        {"SourceRadiusMin.X", &SourceRadiusMin.x},
        {"SourceRadiusMin.Y", &SourceRadiusMin.y},
        {"SourceRadiusMin.Z", &SourceRadiusMin.z},
        {"SourceRadiusMax.X", &SourceRadiusMax.x},
        {"SourceRadiusMax.Y", &SourceRadiusMax.y},
        {"SourceRadiusMax.Z", &SourceRadiusMax.z},
        {"SourceRadiusDrift.X", &SourceRadiusDrift.x},
        {"SourceRadiusDrift.Y", &SourceRadiusDrift.y},
        {"SourceRadiusDrift.Z", &SourceRadiusDrift.z},
        {"TargetRadiusMin.X", &TargetRadiusMin.x},
        {"TargetRadiusMin.Y", &TargetRadiusMin.y},
        {"TargetRadiusMin.Z", &TargetRadiusMin.z},
        {"TargetRadiusMax.X", &TargetRadiusMax.x},
        {"TargetRadiusMax.Y", &TargetRadiusMax.y},
        {"TargetRadiusMax.Z", &TargetRadiusMax.z},
        {"TargetRadiusDrift.X", &TargetRadiusDrift.x},
        {"TargetRadiusDrift.Y", &TargetRadiusDrift.y},
        {"TargetRadiusDrift.Z", &TargetRadiusDrift.z},
    };
    for (const Field& field : fields)
        AddEditable(cursor, field.name, "float", *field.member);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    return count + int(sizeof fields / sizeof fields[0]) + 1;
}

bool GLightningBolt::Process()
{
    if (GetOwner() == nullptr) {
        RenderInstance.Attach(&Position, &Rotation, nullptr, nullptr);
        RenderInstance.Index(0);
        RenderInstance.Attach(this);
        RenderInstance.SetViewport(static_cast<short>(Viewport));
        RenderInstance.Link();
    }
    return false;
}

// The power to spend this frame: the scale runs from its near value to its far value between
// the two distances.
float GLightningBolt::Budget(float length) const
{
    const float span = PowerScaleMaxDist - PowerScaleMinDist;
    float f = span != 0.0f ? (length - PowerScaleMinDist) / span : (length >= PowerScaleMaxDist ? 1.0f : 0.0f);
    f = f < 0.0f ? 0.0f : f > 1.0f ? 1.0f : f;
    return Lerp(PowerScaleMin, PowerScaleMax, f) * TotalPower;
}

bool GLightningBolt::Render()
{
    BeginPrimitives(kBoltBlendMode, 1, 1);
    SetPrimitiveStage(0, 0, kBoltRenderState, nullptr);
    SetPrimitiveTexture(0, nullptr);
    SetPrimitivePriority(static_cast<int>(RendPriority));
    SetPrimitiveNormal(CVector(0, 0, 1));
    static const float centre[2] = {0.5f, 0.5f};
    SetPrimitiveTexCoord(0, centre);

    const CVector d = Target - Source;
    const float length = d.GetLength();
    const CVector dir = length > 0.0f ? d * (1.0f / length) : d;
    CVector a(dir.y, -dir.x, 0.0f);
    a.Normalize();
    CVector b;
    b.Cross(a, dir);
    b.Normalize();

    float budget = Budget(length);
    for (int strip = 0; budget > 0.0f && strip < kMaxStrips; ++strip) {
        float p = float(GlobalRandom.Rand(99)) * 0.01f;
        if (BoltPowerBias != 1.0f)
            p = powf(p, BoltPowerBias);
        const float cost = Lerp(BoltPowerMin, BoltPowerMax, p);
        budget -= cost;
        DrawStrip(p, dir, length, a, b);
        // A strip that costs nothing would let the bolt spend for ever.
        if (cost <= 0.0f)
            break;
    }
    EndPrimitives();
    return false;
}

void GLightningBolt::DrawStrip(float p, const CVector& dir, float length, const CVector& a, const CVector& b)
{
    float jump = Lerp(BoltJumpMin, BoltJumpMax, p) + Spread(BoltJumpDrift);
    const CVector sourceRadius = Lerp(SourceRadiusMin, SourceRadiusMax, p) + Spread(SourceRadiusDrift);
    const CVector targetRadius = Lerp(TargetRadiusMin, TargetRadiusMax, p) + Spread(TargetRadiusDrift);
    const CVector4 colour(Lerp(BoltColorMin.x, BoltColorMax.x, p) + Spread(BoltColorDrift.x),
                          Lerp(BoltColorMin.y, BoltColorMax.y, p) + Spread(BoltColorDrift.y),
                          Lerp(BoltColorMin.z, BoltColorMax.z, p) + Spread(BoltColorDrift.z),
                          Lerp(BoltColorMin.w, BoltColorMax.w, p) + Spread(BoltColorDrift.w));
    SetPrimitiveColor(colour);
    if (!(length > 0.0f))
        return;
    // A jump of nothing (or less) would never reach the target.
    const float shortest = length / kMaxSegments;
    if (!(jump >= shortest))
        jump = shortest;

    CVector previous(0, 0, 0);
    for (float s = 0.0f, first = 1.0f;; first = 0.0f) {
        if (first == 0.0f)
            s = s + jump < length ? s + jump : length;
        const float t = s / length;
        const int angle1 = RandomTableIndex();
        const int angle2 = (RandomTableIndex() + 512) & 2047;
        const float k = EffectSpread();
        const float alongA = k * Lerp(sourceRadius.y, targetRadius.y, t) * fmsintable[angle2];
        const float alongB = k * Lerp(sourceRadius.x, targetRadius.x, t) * fmsintable[angle1];
        const CVector point = Source + dir * s + a * alongA + b * alongB;
        if (first == 0.0f) {
            StartPrimitive(0);
            AddPrimitiveVertex(previous);
            AddPrimitiveVertex(point);
            EndPrimitive();
        }
        previous = point;
        if (s >= length)
            break;
    }
}
