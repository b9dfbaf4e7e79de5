#include "engine/effects/GKeyedMaterial.h"

#include <float.h>
#include <math.h>
#include <string.h>

#include "core/names/CRandom.h"
#include "engine/effects/EffectRandom.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"

IMPLEMENT_GOBJECT(GKeyedMaterial, 0x04008000)

namespace {

// A frame this long (a stall) steps at most this many keys' worth; the rest is dropped so that
// one frame cannot run for minutes.
const int kMaxStepsPerFrame = 3000;

float Lerp(float a, float b, float t) { return (1.0f - t) * a + t * b; }

// One draw for the whole group: the group's values stay in proportion.
void DrawBetween(const float* low, const float* high, float* out, int count)
{
    const float r = GlobalRandom.Rand(1.0f);
    for (int i = 0; i < count; ++i)
        out[i] = low[i] + r * (high[i] - low[i]);
}

float Clamp01(float t) { return t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t); }

// The key's blend bits and the override's own bits in the renderer's material flags.
DWORD MapFlags(DWORD keyFlags, DWORD overrideFlags)
{
    static const DWORD keyBits[][2] = {{0x02, 0x10}, {0x04, 0x02}, {0x08, 0x04},
                                       {0x10, 0x01}, {0x01, 0x40}, {0x20, 0x20}};
    DWORD flags = 0;
    for (const auto& bit : keyBits)
        if (keyFlags & bit[0])
            flags |= bit[1];
    for (int i = 0; i < 5; ++i)
        if (overrideFlags & (1u << i))
            flags |= 0x2000u << i;
    return flags;
}

} // namespace

GKeyedMaterial::GKeyedMaterial()
{
    if (EditableEvaluation != 0)
        return;
    OvrCount = OvrCount < 0 ? 0 : (OvrCount > kMaxOverrides ? kMaxOverrides : OvrCount);
    Clock = -FLT_MAX;
    Mode = 1;
    for (int i = 0; i < OvrCount; ++i) {
        // The first key's own values are its start: a chain of one key shows that key rather
        // than the zero colour the empty end values would give.
        if (OvrDefs[i] != nullptr)
            ReadKeyInto(*OvrDefs[i], State[i]);
        PrepareParticle(i);
        State[i].ScrollU = State[i].ScrollV = 0.0f;
    }
}

void GKeyedMaterial::ReadKeyInto(const rhu::ParticleDef& key, OverrideState& state)
{
    const float low[4] = {key.MinColor.Red, key.MinColor.Green, key.MinColor.Blue, key.MinColor.Alpha};
    const float high[4] = {key.MaxColor.Red, key.MaxColor.Green, key.MaxColor.Blue, key.MaxColor.Alpha};
    DrawBetween(low, high, state.EndColour, 4);
    const float lowSecond[3] = {key.MinDamp.X, key.MinDamp.Y, key.MinDamp.Z};
    const float highSecond[3] = {key.MaxDamp.X, key.MaxDamp.Y, key.MaxDamp.Z};
    DrawBetween(lowSecond, highSecond, state.EndSecond, 3);
    const float lowAngles[3] = {key.MinSpin.X, key.MinSpin.Y, key.MinSpin.Z};
    const float highAngles[3] = {key.MaxSpin.X, key.MaxSpin.Y, key.MaxSpin.Z};
    DrawBetween(lowAngles, highAngles, state.EndAngles, 3);
}

void GKeyedMaterial::PrepareParticle(int index) { PrepareKey(State[index], OvrDefs[index]); }

void GKeyedMaterial::PrepareKey(OverrideState& state, rhu::ParticleDef* key)
{
    if (key == nullptr)
        return;
    state.pKey = key;
    state.Elapsed = 0.0f;
    state.Life = RangeValue(key->Lifespan);
    state.OOLife = state.Life > 0.0f ? 1.0f / state.Life : 0.0f;
    memcpy(state.StartColour, state.EndColour, sizeof state.StartColour);
    memcpy(state.StartSecond, state.EndSecond, sizeof state.StartSecond);
    memcpy(state.StartAngles, state.EndAngles, sizeof state.StartAngles);
    if (key->pNextDef != nullptr)
        ReadKeyInto(*key->pNextDef, state);
}

bool GKeyedMaterial::AnyRunning() const
{
    for (int i = 0; i < OvrCount; ++i)
        if (State[i].pKey != nullptr)
            return true;
    return false;
}

// A key of no life has no reciprocal: it ends at its first step.
void GKeyedMaterial::StepOverride(OverrideState& state)
{
    state.Elapsed += kStep;
    if (state.Life <= 0.0f || state.Elapsed * state.OOLife >= 1.0f) {
        const float remainder = state.Elapsed - (state.Life > 0.0f ? state.Life : 0.0f);
        rhu::ParticleDef* next = state.pKey->pNextDef;
        state.pKey = nullptr;
        if (next == nullptr)
            return;
        PrepareKey(state, next);
        state.Elapsed = remainder;
    }
    const rhu::ParticleDef& key = *state.pKey;
    if ((key.Facing & 2) == 0)
        return;
    float speedU = key.Flocking.X, speedV = key.Flocking.Y;
    if (key.pNextDef != nullptr) {
        const float t = state.Life > 0.0f ? fminf(state.Elapsed / state.Life, 1.0f) : 1.0f;
        speedU = Lerp(speedU, key.pNextDef->Flocking.X, t);
        speedV = Lerp(speedV, key.pNextDef->Flocking.Y, t);
    }
    state.ScrollU += kStep * speedU;
    state.ScrollV += kStep * speedV;
}

void GKeyedMaterial::Step()
{
    if (Clock == -FLT_MAX)
        Clock = 0.0f;
    Clock += CGameTimer::tFrameTime;
    for (int steps = 0; AnyRunning() && Clock >= kStep; ++steps) {
        if (steps == kMaxStepsPerFrame) {
            Clock = 0.0f;
            break;
        }
        for (int i = 0; i < OvrCount; ++i)
            if (State[i].pKey != nullptr)
                StepOverride(State[i]);
        Clock -= kStep;
    }
}

void GKeyedMaterial::BuildEntry(int index, Material& entry)
{
    const OverrideState& state = State[index];
    const rhu::ParticleDef& key = *state.pKey;
    const float t = state.Life > 0.0f ? Clamp01(state.Elapsed / state.Life) : 1.0f;
    const float toUnit = 1.0f / 255.0f;
    memset(&entry, 0, sizeof entry);
    entry.Name = OvrNames[index];
    entry.Effect = reinterpret_cast<MaterialEffect*>(OvrEffects[index]);
    entry.Flags = MapFlags(key.Flags, OvrFlags[index]);
    float* second = &entry.Ambient.x;
    float* angles = &entry.Emissive.x;
    float* colour = &entry.Diffuse.x;
    for (int c = 0; c < 3; ++c) {
        second[c] = Lerp(state.StartSecond[c], state.EndSecond[c], t) * toUnit;
        angles[c] = Lerp(state.StartAngles[c], state.EndAngles[c], t) * 0.22469385f;
        colour[c] = Lerp(state.StartColour[c], state.EndColour[c], t) * toUnit;
    }
    entry.Alpha = Lerp(state.StartColour[3], state.EndColour[3], t) * toUnit;
    // The stored record and the engine's texture class are the same object seen from two sides.
    entry.pTexture = reinterpret_cast<CRendTexture*>(key.pTexture);
    if (key.Facing & 2) {
        entry.UScroll = state.ScrollU;
        entry.VScroll = state.ScrollV;
    } else {
        entry.UScroll = key.Flocking.X;
        entry.VScroll = key.Flocking.Y;
        if (key.pNextDef != nullptr) {
            entry.UScroll = Lerp(entry.UScroll, key.pNextDef->Flocking.X, t);
            entry.VScroll = Lerp(entry.VScroll, key.pNextDef->Flocking.Y, t);
        }
    }
}

int GKeyedMaterial::BuildEntries()
{
    int count = 0;
    for (int i = 0; i < OvrCount; ++i)
        if (State[i].pKey != nullptr && (State[i].pKey->Facing & 1))
            BuildEntry(i, Entries[count++]);
    if (count > 0)
        Entries[count - 1].Flags |= Material::LAST_OVERRIDE;
    return count;
}

bool GKeyedMaterial::Process()
{
    Step();
    GPhysical* parent = GPhysical::FromObject(GetParent());
    if (parent == nullptr) {
        Destroy();
        return true;
    }
    if (!AnyRunning()) {
        parent->Render.Attach(static_cast<Material*>(nullptr));
        Destroy();
        return true;
    }
    const int count = BuildEntries();
    if (Mode >= 1)
        parent->Render.Attach(count > 0 ? Entries : static_cast<Material*>(nullptr));
    else
        Mode = count > 0 ? -1 : 0;
    return false;
}

int GKeyedMaterial::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "OvrCount", "int", OvrCount);
    AddEditable(cursor, "OvrNames", "DWORD", OvrNames);
    AddEditable(cursor, "OvrFlags", "DWORD", OvrFlags);
    AddEditable(cursor, "OvrEffects", "DWORD", OvrEffects);
    AddEditable(cursor, "OvrDefs", "ParticleDef*", OvrDefs, 0x21);
    return count + 5;
}
