#include "engine/effects/GEnviroSwarm.h"

#include <math.h>

#include <new>

#include "core/heap/ZHeap.h"
#include "core/math/CMatrix.h"
#include "core/math/MathTables.h"
#include "core/names/CRandom.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GFOWManager.h"

IMPLEMENT_GOBJECT(GEnviroSwarm, 0x86008000)

namespace {

// A point between low and high from a fresh draw of R(100).
float Between(float low, float high)
{
    const float r = GlobalRandom.Rand(100.0f);
    return ((100.0f - r) * low + r * high) * 0.01f;
}

float Centred() { return (GlobalRandom.Rand(200.0f) - 100.0f) * 0.01f; }

} // namespace

GEnviroSwarm::GEnviroSwarm()
{
    if (EditableEvaluation != 0)
        return;
    new (&render) CRender();
    count = ObjectCount > 0 ? ObjectCount : 0;
    members = static_cast<Member*>(zmalloc(static_cast<unsigned long>(count) * sizeof(Member)));
    targetHeight = (WanderHeightMin + WanderHeightMax) * 0.5f;
    wanderTimer = 0.0f;
    centre = Position;
    wanderSpeed = 0.75f;
    if (!(WanderRadius > 0.0f))
        WanderRadius = 100.0f;
    cullRadius =
        fmaxf(fmaxf(BobbleScale.x + Ellipse.x, BobbleScale.y + Ellipse.y), BobbleScale.z + Ellipse.z) + WanderRadius;
    bobblePhase.x = GlobalRandom.Rand(100.0f);
    bobblePhase.y = GlobalRandom.Rand(100.0f);
    bobblePhase.z = GlobalRandom.Rand(100.0f);
    bobble = CVector(0.0f, 0.0f, 0.0f);
    for (float& channel : tint)
        channel = 1.0f;
    if (Follow) {
        if (GPosRot* parent = GPosRot::FromObject(GetParent())) {
            centre = parent->GetPos() + FollowOfs;
            Position = centre;
        }
    }
    for (int i = 0; i < count; ++i) {
        Member& m = members[i];
        m.sizePhase = CVector(GlobalRandom.Rand(100.0f), GlobalRandom.Rand(100.0f), GlobalRandom.Rand(100.0f));
        m.colourPhase = GlobalRandom.Rand(100.0f);
        m.sizeSpeed.x = Between(OSCSpeedMin.x, OSCSpeedMax.x);
        m.sizeSpeed.y = Between(OSCSpeedMin.y, OSCSpeedMax.y);
        m.sizeSpeed.z = Between(OSCSpeedMin.z, OSCSpeedMax.z);
        m.chaseSpeed = Between(TrackSpeedMin, TrackSpeedMax);
        m.chaseDistance = Between(TrackDistMin, TrackDistMax);
        m.colourSpeed = Between(ColorSpeedMin, ColorSpeedMax);
        RandomInEllipse(m.position);
        RandomInEllipse(m.target);
    }
}

GEnviroSwarm::~GEnviroSwarm()
{
    if (EditableEvaluation != 0)
        return;
    zfree(members);
    members = nullptr;
    // Leaving the own render's chain first keeps GEffect's destructor from detaching from a
    // render that is already gone.
    if (ownRender && GetOwner() == &render)
        render.Detach(this);
    render.~CRender();
}

void GEnviroSwarm::RandomInEllipse(CVector& out)
{
    if (Compact) {
        out = centre;
        return;
    }
    float x, y, z;
    do {
        x = Centred();
        y = Centred();
        z = Centred();
    } while (x * x + y * y + z * z > 1.0f);
    out = CVector(centre.x + x * (bobble.x + Ellipse.x), centre.y + y * (bobble.y + Ellipse.y),
                  centre.z + z * (bobble.z + Ellipse.z));
}

void GEnviroSwarm::SetUpOwnRender()
{
    ownRender = true;
    render.Attach(&GetPos(), &Rotation, nullptr, nullptr);
    render.Index(0);
    render.SetSelectable(GetHandle());
    render.Attach(pResource, 0);
    render.Attach(this);
    render.SetViewport(static_cast<short>(Viewport & 0x1F));
    render.Link();
}

bool GEnviroSwarm::FollowParent()
{
    GPosRot* parent = GPosRot::FromObject(GetParent());
    if (parent == nullptr)
        return false;
    centre = parent->GetPos() + FollowOfs;
    Position = centre;
    return true;
}

bool GEnviroSwarm::Process()
{
    if (GetOwner() == nullptr)
        SetUpOwnRender();
    if (ownRender && GetOwner() == &render) {
        // The resource marks the swarm for the editor while the game is paused.
        CRendResource* shown = CGameTimer::IsPaused() ? pResource : nullptr;
        if (render.GetResource() != shown)
            render.Attach(shown, 0);
    }
    const float t = CGameTimer::FrameTime();
    if (Timeout > 0.0f) {
        Timeout -= t;
        if (Timeout <= 0.0f) {
            Destroy();
            return false;
        }
    }
    if (Follow && !FollowParent()) {
        Destroy();
        return false;
    }
    if (GFOWManager::pThe != nullptr) {
        CVector4 fog(tint[0], tint[1], tint[2], tint[3]);
        GFOWManager::pThe->TintFOW(1.0f, fog, &centre, nullptr, nullptr);
        tint[0] = fog.x;
        tint[1] = fog.y;
        tint[2] = fog.z;
        tint[3] = fog.w;
    }
    if (!IsInFrustrum(Viewport, Position, cullRadius))
        return false;
    Wander(t);
    MoveCentre(t);
    bobblePhase += BobbleSpeed * t;
    bobble = CVector(fmsin(bobblePhase.x) * BobbleScale.x, fmsin(bobblePhase.y) * BobbleScale.y,
                     fmsin(bobblePhase.z) * BobbleScale.z);
    MoveMembers(t);
    return false;
}

void GEnviroSwarm::Wander(float t)
{
    wanderTimer -= t;
    if (wanderTimer > 0.0f)
        return;
    wanderTimer += kWanderPeriod;
    CVector d(GlobalRandom.Rand(200.0f) - 100.0f, GlobalRandom.Rand(200.0f) - 100.0f, 0.0f);
    if (d.x == 0.0f)
        d.x = 0.0001f;
    const float scale = WanderRadius / sqrtf(d.x * d.x + d.y * d.y);
    wanderTarget = CVector(Position.x + d.x * scale, Position.y + d.y * scale, Position.z);
    wanderTarget.z = CRenderer::GetHeightData(wanderTarget);
    targetHeight = Between(WanderHeightMin, WanderHeightMax);
    wanderSpeed = GlobalRandom.Rand(100.0f) * 0.01f + 0.5f;
    if (GlobalRandom.Rand(100.0f) > 75.0f)
        centre = wanderTarget;
}

void GEnviroSwarm::MoveCentre(float t)
{
    if (centre.x != wanderTarget.x || centre.y != wanderTarget.y) {
        const float dx = wanderTarget.x - centre.x, dy = wanderTarget.y - centre.y;
        const float distSq = dx * dx + dy * dy;
        const float step = t * wanderSpeed;
        if (distSq <= step * step) {
            centre = wanderTarget;
            wanderTimer = 1.0f;
        } else {
            const float scale = step / fmsqrt(distSq);
            centre.x += dx * scale;
            centre.y += dy * scale;
        }
    }
    height = fminf(fmaxf(height, WanderHeightMin), WanderHeightMax);
    height += (targetHeight - height) * 0.001f;
    centre.z = CRenderer::GetHeightData(centre) + height;
}

void GEnviroSwarm::MoveMembers(float t)
{
    for (int i = 0; i < count; ++i) {
        Member& m = members[i];
        m.sizePhase += m.sizeSpeed * t;
        m.colourPhase += t * m.colourSpeed;
        const CVector d = m.target - m.position;
        const float distSq = d.x * d.x + d.y * d.y + d.z * d.z;
        const float step = t * m.chaseSpeed;
        if (distSq < step * step) {
            m.position = CVector((m.position.x + m.target.x) * 0.5f, (m.position.y + m.target.y) * 0.5f,
                                 (m.position.z + m.target.z) * 0.5f);
            RandomInEllipse(m.target);
            const CVector reach = m.target - m.position;
            const float length = sqrtf(reach.x * reach.x + reach.y * reach.y + reach.z * reach.z);
            if (length > m.chaseDistance && length > 0.0f)
                m.target = m.position + reach * (m.chaseDistance / length);
        } else if (distSq > 0.0f) {
            // At rest on its target (a still frame) a member has no direction to move in.
            m.position += d * (step / sqrtf(distSq));
        }
    }
}

bool GEnviroSwarm::Render()
{
    CVector facing;
    if (count == 0 || !(tint[3] > 0.0f) || !IsInFrustrum(Viewport, Position, cullRadius) ||
        !GParticleSystem::CameraFacing(Viewport, facing))
        return false;
    PushMatrix();
    CMatrix rotation;
    rotation.SetEuler_XYZS(CVector(0.0f, 0.0f, 0.0f), facing);
    const CVector side(rotation.m[0], rotation.m[1], rotation.m[2]);
    const CVector up(rotation.m[4], rotation.m[5], rotation.m[6]);
    BeginPrimitives(1, 1, 1);
    SetPrimitiveStage(0, 0, Additive ? 0x1812 : 0x812, nullptr);
    SetPrimitiveStageFloat(0, 1.0f);
    SetPrimitiveTexture(0, pTexture);
    SetPrimitivePriority(static_cast<int>(RendPriority));
    for (int i = 0; i < count; ++i)
        DrawMember(members[i], side, up);
    EndPrimitives();
    PopMatrix();
    return false;
}

void GEnviroSwarm::DrawMember(const Member& m, const CVector& side, const CVector& up)
{
    const float c = fmsin(m.colourPhase);
    const CVector4 colour(
        ColorLow[0] + c * (ColorHigh[0] - ColorLow[0]), ColorLow[1] + c * (ColorHigh[1] - ColorLow[1]),
        ColorLow[2] + c * (ColorHigh[2] - ColorLow[2]), (ColorLow[3] + c * (ColorHigh[3] - ColorLow[3])) * tint[3]);
    const float w = (Scale - ScaleMin) * (fmsin(m.sizePhase.y) + 1.0f) * 0.5f + ScaleMin;
    const float h = (Scale - ScaleMin) * (fmsin(m.sizePhase.x) + 1.0f) * 0.5f + ScaleMin;
    const CVector a = up * w - side * h, b = up * w + side * h;
    const float uv[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    const CVector corners[4] = {m.position + a, m.position + b, m.position - a, m.position - b};
    StartPrimitive(0);
    SetPrimitiveNormal(CVector(0.0f, 0.0f, 0.0f));
    SetPrimitiveColor(colour);
    for (int k = 0; k < 4; ++k) {
        SetPrimitiveTexCoord(0, uv[k]);
        AddPrimitiveVertex(corners[k]);
    }
    EndPrimitive();
}

int GEnviroSwarm::SpecifyEditable(EditableInfo*& cursor)
{
    const int base = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "pTexture", "void*", pTexture, 0x21);
    AddEditable(cursor, "pResource", "CRendResource*", pResource, 0x21);
    AddEditable(cursor, "Ellipse.X", "float", Ellipse.x);
    AddEditable(cursor, "Ellipse.Y", "float", Ellipse.y);
    AddEditable(cursor, "Ellipse.Z", "float", Ellipse.z);
    AddEditable(cursor, "TrackSpeedMin", "float", TrackSpeedMin);
    AddEditable(cursor, "TrackSpeedMax", "float", TrackSpeedMax);
    AddEditable(cursor, "TrackDistMin", "float", TrackDistMin);
    AddEditable(cursor, "TrackDistMax", "float", TrackDistMax);
    AddEditable(cursor, "Scale", "float", Scale);
    AddEditable(cursor, "ScaleMin", "float", ScaleMin);
    AddEditable(cursor, "OSCSpeedMin.X", "float", OSCSpeedMin.x);
    AddEditable(cursor, "OSCSpeedMin.Y", "float", OSCSpeedMin.y);
    AddEditable(cursor, "OSCSpeedMin.Z", "float", OSCSpeedMin.z);
    AddEditable(cursor, "OSCSpeedMax.X", "float", OSCSpeedMax.x);
    AddEditable(cursor, "OSCSpeedMax.Y", "float", OSCSpeedMax.y);
    AddEditable(cursor, "OSCSpeedMax.Z", "float", OSCSpeedMax.z);
    AddEditable(cursor, "BobbleScale.X", "float", BobbleScale.x);
    AddEditable(cursor, "BobbleScale.Y", "float", BobbleScale.y);
    AddEditable(cursor, "BobbleScale.Z", "float", BobbleScale.z);
    AddEditable(cursor, "BobbleSpeed.X", "float", BobbleSpeed.x);
    AddEditable(cursor, "BobbleSpeed.Y", "float", BobbleSpeed.y);
    AddEditable(cursor, "BobbleSpeed.Z", "float", BobbleSpeed.z);
    AddEditable(cursor, "ColorSpeedMin", "float", ColorSpeedMin);
    AddEditable(cursor, "ColorSpeedMax", "float", ColorSpeedMax);
    AddEditable(cursor, "ColorLow.Red", "float", ColorLow[0]);
    AddEditable(cursor, "ColorLow.Green", "float", ColorLow[1]);
    AddEditable(cursor, "ColorLow.Blue", "float", ColorLow[2]);
    AddEditable(cursor, "ColorLow.Alpha", "float", ColorLow[3]);
    AddEditable(cursor, "ColorHigh.Red", "float", ColorHigh[0]);
    AddEditable(cursor, "ColorHigh.Green", "float", ColorHigh[1]);
    AddEditable(cursor, "ColorHigh.Blue", "float", ColorHigh[2]);
    AddEditable(cursor, "ColorHigh.Alpha", "float", ColorHigh[3]);
    AddEditable(cursor, "WanderRadius", "float", WanderRadius);
    AddEditable(cursor, "WanderHeightMin", "float", WanderHeightMin);
    AddEditable(cursor, "WanderHeightMax", "float", WanderHeightMax);
    AddEditable(cursor, "Timeout", "float", Timeout);
    AddEditable(cursor, "Compact", "int", Compact);
    AddEditable(cursor, "Follow", "int", Follow);
    AddEditable(cursor, "FollowOfs.X", "float", FollowOfs.x);
    AddEditable(cursor, "FollowOfs.Y", "float", FollowOfs.y);
    AddEditable(cursor, "FollowOfs.Z", "float", FollowOfs.z);
    AddEditable(cursor, "Additive", "int", Additive);
    AddEditable(cursor, "ObjectCount", "int", ObjectCount);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    return base + 45;
}
