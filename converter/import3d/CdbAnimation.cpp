#include "converter/import3d/CdbAnimation.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CdbSkeleton.h"
#include "converter/import3d/ClwScene.h"
#include "converter/import3d/RecordOut.h"

#include "core/names/CCRC32.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <utility>

float ClwAnimation::Rate = 0.0f;
float ClwAnimation::PositionMultiplier = 1.0f;

namespace {

const char* const TriggerTypeNames[] = {"SET_ANIMATION_FLAG", "STOP_ANIMATION", "RESET_ANIMATION",
                                        "OUTPUT_ANIMATION_MOVEMENT", "ANIMATION_SEND_MESSAGE"};

// A trigger or event value written as a number ("12", "0x1F"); false for anything else.
bool ReadNumber(const std::string& text, unsigned long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = strtoul(text.c_str(), &end, 0);
    return *end == '\0' && text[0] != '-';
}

} // namespace

CdbBaseAnimation::~CdbBaseAnimation() = default;

void CdbBaseAnimation::Dump(CZelWriter& writer)
{
    // Adjacent swaps while the earlier time is greater: equal times keep their order.
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (size_t i = 0; i + 1 < Triggers.size(); ++i)
            if (Triggers[i]->Time > Triggers[i + 1]->Time) {
                std::swap(Triggers[i], Triggers[i + 1]);
                swapped = true;
            }
    }
    writer.DefineSymbol((std::string(GetLabel()) + "_triggers").c_str(), nullptr, false, 0);
    for (const std::unique_ptr<CAnimTrigger>& trigger : Triggers) {
        RecordOut record(writer, "Trigger", nullptr, false);
        record.Float("Time", trigger->Time);
        record.Unsigned("Flag", trigger->Flag);
        if (trigger->Type >= 0 && trigger->Type <= 4)
            record.Unsigned("Type", Constant(TriggerTypeNames[trigger->Type]), "unsigned short");
    }
    // The players stop at a record of type 0xFFFF should a list ever run past its end trigger.
    RecordOut end(writer, "Trigger", nullptr, false);
    end.Unsigned("Type", 0xFFFF, "unsigned short");
}

void CdbSimpleAnimation::Dump(CZelWriter& writer)
{
    VerbosePrintf(2, "\tCdbSimpleAnimation::Dump() : %s\n", GetLabel());
    if (Keys.empty())
        vbail("Cannot dump an animation with no keyframes.\nAnim: %s\n", GetLabel());
    const std::string label = GetLabel();
    EndTime = 0.0f;
    writer.DefineSymbol((label + "_keyframes").c_str(), nullptr, false, 0);
    for (const CSimpleKey& key : Keys) {
        RecordOut record(writer, "SimpleKey", nullptr, false);
        record.Float("Time", key.Time);
        record.Signed("Index", key.Index);
        EndTime = std::max(EndTime, key.Time + key.Duration);
    }
    bool ended = false;
    for (const std::unique_ptr<CAnimTrigger>& trigger : Triggers) {
        EndTime = std::max(EndTime, trigger->Time);
        if (trigger->Type == CAnimTrigger::StopAnimation || trigger->Type == CAnimTrigger::ResetAnimation) {
            ended = true;
            break;
        }
    }
    if (!ended) {
        Triggers.push_back(std::make_unique<CAnimTrigger>());
        Triggers.back()->Time = EndTime;
        Triggers.back()->Flag = 0x80000000;
        Triggers.back()->Type = Loop ? CAnimTrigger::ResetAnimation : CAnimTrigger::StopAnimation;
    }
    CdbBaseAnimation::Dump(writer);
    RecordOut record(writer, "CSimpleAnimation", GetLabel(), true);
    record.Pointer("pTriggers", label + "_triggers");
    record.Float("EndTime", EndTime);
    record.Signed("NoKeys", static_cast<long>(Keys.size()));
    record.Pointer("pKeys", label + "_keyframes");
}

unsigned long PackRotation(const float* angles)
{
    // The scale is a float; the product is taken in double, so pi/2 gives 255.99999..., not 256.
    const float scale = 1024.0f / (2.0f * 3.1415927f);
    unsigned long word = 0;
    for (int a = 0; a < 3; ++a) {
        const double product = static_cast<double>(scale) * static_cast<double>(angles[a]);
        const long long truncated =
            product >= 2147483647.0 || product <= -2147483648.0 ? 0 : static_cast<long long>(product);
        word |= (static_cast<unsigned long>(truncated) & 0x3FF) << (10 * a);
    }
    return word;
}

void CdbAnimation::Dump(CZelWriter& writer)
{
    VerbosePrintf(2, "\tCdbAnimation::Dump() : %s\n", GetLabel());
    if (Keys.empty())
        vbail("Cannot dump an animation with no keyframes.\nAnim: %s\n", GetLabel());
    writer.LogSize("Skeleton Animation");
    const std::string label = GetLabel();
    const size_t rotations = Keys.front()->Rotations.size();
    const unsigned long keySize = TypeSize("HierarchyKey") + 4 * rotations;

    RecordOut record(writer, "CHierarchyAnimation", label.c_str(), true);
    record.Pointer("pTriggers", label + "_triggers");
    record.Float("EndTime", EndTime);
    record.Float("FadeIn", FadeIn);
    record.Float("FadeOut", FadeOut);
    record.Signed("NumChannels", ChannelCount);
    record.Signed("KeySize", static_cast<long>(keySize));
    record.Unsigned("ActiveChannels", ActiveChannels);
    record.Pointer("pSkeleton", SkeletonLabel);
    record.Signed("NoKeys", static_cast<long>(Keys.size()));
    record.Pointer("pKeys", label + "_keyframes");
    record.Pointer("pMovementKeys", Movement ? label + "_movekeys" : std::string());
    record.Float("RootWeight", Weights.empty() ? 1.0f : Weights[0]);
    for (size_t i = 1; i < Weights.size(); ++i) {
        record.Float("Weights", Weights[i]);
    }
    CdbBaseAnimation::Dump(writer);

    writer.DefineSymbol((label + "_keyframes").c_str(), nullptr, false, 0);
    for (const std::unique_ptr<CKeyFrame>& key : Keys) {
        RecordOut out(writer, "HierarchyKey", nullptr, false);
        out.Float("Time", key->Time);
        out.Float("Position.X", key->Position[0]);
        out.Float("Position.Y", key->Position[1]);
        out.Float("Position.Z", key->Position[2]);
        // Every key has the first key's size, which the record states once.
        for (size_t r = 0; r < rotations; ++r) {
            const float zero[3] = {0.0f, 0.0f, 0.0f};
            const float* angles = r < key->Rotations.size() ? key->Rotations[r].data() : zero;
            out.Unsigned("Rots", PackRotation(angles));
        }
    }
    if (Movement) {
        writer.DefineSymbol((label + "_movekeys").c_str(), nullptr, false, 0);
        for (const std::unique_ptr<CKeyFrame>& key : Keys) {
            RecordOut out(writer, "CVector", nullptr, false);
            out.Float("X", key->Movement[0]);
            out.Float("Y", key->Movement[1]);
            out.Float("Z", key->Movement[2]);
        }
    }
    writer.LogSize(nullptr);
}

// Key i's movement offset is the root's displacement from key i to key i + 1, the root then
// staying where it started.
void CdbAnimation::ConvertToMovement()
{
    VerbosePrintf(3, "\n\nConvert To Movement!");
    if (Keys.empty())
        return;
    float start[3], previous[3];
    memcpy(start, Keys.front()->Position, sizeof start);
    memcpy(previous, start, sizeof previous);
    for (size_t i = 1; i < Keys.size(); ++i) {
        CKeyFrame& key = *Keys[i];
        for (int a = 0; a < 3; ++a) {
            Keys[i - 1]->Movement[a] = key.Position[a] - previous[a];
            previous[a] = key.Position[a];
        }
        VerbosePrintf(3, "Orig Pos = %g,%g,%g\n", key.Position[0], key.Position[1], key.Position[2]);
        memcpy(key.Position, start, sizeof start);
        VerbosePrintf(3, "New Pos = %g,%g,%g\n", key.Position[0], key.Position[1], key.Position[2]);
        VerbosePrintf(3, "MoveOff = %g,%g,%g\n\n", Keys[i - 1]->Movement[0], Keys[i - 1]->Movement[1],
                      Keys[i - 1]->Movement[2]);
    }
    Movement = 1;
}

void ClwAnimation::LoadFromScene(const char* fileName, const char* skeletonLabel)
{
    CdbSkeleton* skeleton = dynamic_cast<CdbSkeleton*>(GetDatabase()->FindElement(skeletonLabel));
    if (!skeleton)
        vbail("Cannot find skeleton named %s", skeletonLabel);
    SkeletonLabel = skeletonLabel;
    ChannelCount = skeleton->CountChannels();
    ClwScene scene(GetDatabase());
    scene.Load(fileName, true);
    SetInterpolationWarningName(fileName);
    scene.Diagnostic();

    const float dt = 1.0f / scene.FramesPerSecond;
    const float step = Rate != 0.0f ? 1.0f / Rate : dt;
    const float start = scene.FirstFrame * dt;
    const float end = scene.LastFrame * dt;
    ClwObject& root = *scene.Root();
    ClwObject& top = *root.Children[0];
    ActiveChannels = top.BuildSkeletonMask(*skeleton);
    top.CalcNodeIndex(ActiveChannels);
    root.BuildWeights(*this, true);

    int frame = 0;
    auto sample = [&](float t) {
        VerbosePrintf(3, "\nAnim LW: frame %d, time %g\n", frame++, t);
        Keys.push_back(std::make_unique<CKeyFrame>());
        CKeyFrame& key = *Keys.back();
        key.Time = t;
        key.Rotations.assign(static_cast<size_t>(ChannelCount), std::vector<float>(3, 0.0f));
        root.SampleFrame(key, t, true, PositionMultiplier);
    };
    // A rate that gives no whole step would sample forever.
    if (!(step > 0.0f) || (end - start) / step > 1.0e6f)
        vbail("Animation %s: the frame step %g over %g to %g seconds gives no usable frames", fileName, step, start,
              end);
    for (float t = start; t + 0.001f < end; t += step)
        sample(t);
    sample(end);
    if (g_AnimDiagnostics)
        Diagnostic();
    const float firstTime = Keys.front()->Time;
    for (std::unique_ptr<CKeyFrame>& key : Keys)
        key->Time -= firstTime;
    EndTime = Keys.back()->Time + dt;

    AddTriggers(scene, dt, firstTime);
    std::unique_ptr<CAnimTrigger> last = std::make_unique<CAnimTrigger>();
    last->Time = EndTime;
    if (root.Motion.Channels[0].PostBehaviour == 2) {
        last->Type = CAnimTrigger::ResetAnimation;
        EndTime += 0.02f;
    } else {
        last->Flag = 0x80000000;
        last->Type = CAnimTrigger::StopAnimation;
    }
    Triggers.push_back(std::move(last));
    SetFades(scene, dt, firstTime);
    SetInterpolationWarningName(nullptr);
}

void ClwAnimation::AddTriggers(const ClwScene& scene, float dt, float firstTime)
{
    for (const std::unique_ptr<ClwObject>& object : scene.Objects()) {
        if (!object->Flags)
            continue;
        // The name as written: a trigger's name in the tree carries its parents' names.
        const std::string& name = object->RawName;
        const size_t first = name.find('_');
        if (first == std::string::npos)
            vbail("\nError:Cannot find first underscore in trigger name");
        const std::string rest = name.substr(first + 1);
        const size_t last = rest.rfind('_');
        const std::string triggerName = last == std::string::npos ? rest : rest.substr(0, last);
        const std::string frameText = last == std::string::npos ? rest : rest.substr(last + 1);
        std::unique_ptr<CAnimTrigger> trigger = std::make_unique<CAnimTrigger>();
        trigger->Time = atoi(frameText.c_str()) * dt - firstTime;
        unsigned long value = 0;
        if (object->Flags & ClwObject::FlagEvent) {
            trigger->Type = CAnimTrigger::SendMessage;
            if (ReadNumber(triggerName, value))
                trigger->Flag = value;
            else if (TypeDatabase.FindConstant(triggerName.c_str()))
                trigger->Flag = TypeDatabase.GetConstant(triggerName.c_str());
            else
                trigger->Flag = CCRC32::GetCRC(triggerName.c_str());
        } else if (object->Flags & ClwObject::FlagMoveTrigger) {
            trigger->Type = CAnimTrigger::OutputMovement;
            ConvertToMovement();
        } else {
            const std::string prefixed = name.substr(0, first + 1) + triggerName;
            if (ReadNumber(triggerName, value))
                trigger->Flag = value;
            else if (TypeDatabase.FindConstant(prefixed.c_str()))
                trigger->Flag = TypeDatabase.GetConstant(prefixed.c_str());
            else if (TypeDatabase.FindConstant(triggerName.c_str()))
                trigger->Flag = TypeDatabase.GetConstant(triggerName.c_str());
            else
                vbail("Undefined constant for trigger value : %s", triggerName.c_str());
        }
        VerbosePrintf(3, "Trigger: %d %s -> time=%.2f value=0x%08lX\n", trigger->Type, triggerName.c_str(),
                      trigger->Time, trigger->Flag);
        Triggers.push_back(std::move(trigger));
    }
}

void ClwAnimation::SetFades(const ClwScene& scene, float dt, float firstTime)
{
    int fadeIn = scene.FirstFrame, fadeOut = scene.LastFrame;
    const std::string& rootName = scene.Root()->Name;
    if (strncasecmp(rootName.c_str(), "root_", 5) == 0) {
        int in = 0, out = 0;
        char tail = 0;
        if (g_AnimDiagnostics)
            VerbosePrintf(2, "\nAnim Fade Value parse: %s\n", rootName.c_str());
        if (sscanf(rootName.c_str() + 5, "%d_%d%c", &in, &out, &tail) == 2) {
            fadeIn = in, fadeOut = out;
            if (g_AnimDiagnostics)
                VerbosePrintf(2, "FadeIn = %d, FadeOut = %d\n\n", fadeIn, fadeOut);
        }
    }
    FadeIn = std::max(fadeIn, scene.FirstFrame) * dt - firstTime;
    const float out = fadeOut * dt - firstTime;
    FadeOut = fadeOut != scene.LastFrame && out < EndTime ? out : EndTime - 0.01f;
}

void ClwAnimation::Diagnostic()
{
    const CdbSkeleton* skeleton = dynamic_cast<CdbSkeleton*>(GetDatabase()->FindElement(SkeletonLabel.c_str()));
    if (!skeleton)
        vbail("Cannot find skeleton named %s", SkeletonLabel.c_str());
    VerbosePrintf(2, "\n\n -- ANIMATION DIAGNOSTIC --\n\n");
    VerbosePrintf(2, "Time,PosX,PosY,PosZ");
    for (int i = 0; i < 32; ++i)
        if (ActiveChannels & (1ul << i))
            VerbosePrintf(2, ",%s.X,Y,Z",
                          static_cast<size_t>(i) < skeleton->Nodes.size() ? skeleton->Nodes[i]->Name.c_str() : "?");
    VerbosePrintf(2, "\n");
    for (const std::unique_ptr<CKeyFrame>& key : Keys) {
        VerbosePrintf(2, "%g,%g,%g,%g", key->Time, key->Position[0], key->Position[1], key->Position[2]);
        for (const std::vector<float>& r : key->Rotations)
            VerbosePrintf(2, ",%g,%g,%g", r[0], r[1], r[2]);
        VerbosePrintf(2, "\n");
    }
    VerbosePrintf(2, "\n\n -- END ANIMATION DIAGNOSTIC --\n\n");
}
