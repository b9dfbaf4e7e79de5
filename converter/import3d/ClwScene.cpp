#include "converter/import3d/ClwScene.h"

#include "converter/core/CDatabase.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/PathOperations.h"
#include "converter/core/ScriptPath.h"
#include <afx.h>
#include "converter/import3d/CAxisFormat.h"
#include "converter/import3d/CdbAnimation.h"
#include "converter/import3d/CdbSkeleton.h"
#include "converter/import3d/ClwMesh.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <strings.h>

bool g_AnimDiagnostics = false;

namespace {

const int SceneVersion = 3;
const unsigned long NoParent = 65000;

std::string WarningName = "Unknown";
std::string LastWarned;
std::string LastSpanWarned;

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    return strncasecmp(text.c_str(), prefix, strlen(prefix)) == 0;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

void SetInterpolationWarningName(const char* name) { WarningName = name ? name : ""; }

// The scene's white-space separated tokens, each with its line, so that every complaint names
// the place. A number that does not read as one ends the conversion rather than the reading.
class ClwTokens {
public:
    bool Open(const char* fileName)
    {
        m_FileName = fileName;
        FILE* file = OpenScriptFile(fileName, "rb");
        if (!file)
            return false;
        std::string text;
        char buffer[65536];
        for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;)
            text.append(buffer, got);
        fclose(file);
        int line = 1;
        for (size_t at = 0; at < text.size();) {
            const unsigned char c = static_cast<unsigned char>(text[at]);
            if (isspace(c)) {
                line += c == '\n';
                ++at;
                continue;
            }
            size_t end = at;
            while (end < text.size() && !isspace(static_cast<unsigned char>(text[end])))
                ++end;
            m_Tokens.push_back({text.substr(at, end - at), line});
            at = end;
        }
        return true;
    }

    bool AtEnd() const { return m_Next >= m_Tokens.size(); }
    const std::string& Peek() const { return m_Tokens[m_Next].Text; }
    void Back() { --m_Next; }

    const std::string& Next(const char* what)
    {
        if (AtEnd())
            Fail("Unexpected end of file while reading %s.", what);
        return m_Tokens[m_Next++].Text;
    }

    int Int(const char* what)
    {
        const std::string& token = Next(what);
        char* end = nullptr;
        errno = 0;
        const long value = strtol(token.c_str(), &end, 10);
        if (end == token.c_str() || *end || errno || value < -2147483647L - 1 || value > 2147483647L)
            Fail("Expected a whole number for %s, found \"%s\".", what, token.c_str());
        return static_cast<int>(value);
    }

    float Float(const char* what)
    {
        const std::string& token = Next(what);
        char* end = nullptr;
        const double value = strtod(token.c_str(), &end);
        if (end == token.c_str() || *end || !std::isfinite(value) || std::fabs(value) > 3.0e38)
            Fail("Expected a number for %s, found \"%s\".", what, token.c_str());
        return static_cast<float>(value);
    }

    unsigned long Hex(const char* what)
    {
        const std::string& token = Next(what);
        char* end = nullptr;
        errno = 0;
        const unsigned long long value = strtoull(token.c_str(), &end, 16);
        if (end == token.c_str() || *end || errno || value > 0xFFFFFFFFull || token[0] == '-')
            Fail("Expected a hexadecimal number for %s, found \"%s\".", what, token.c_str());
        return static_cast<unsigned long>(value);
    }

    // The message, then the file and the line of the last token read.
    [[noreturn]] void Fail(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        char message[1024];
        va_list args;
        va_start(args, format);
        vsnprintf(message, sizeof message, format, args);
        va_end(args);
        const int line = m_Tokens.empty() ? 1 : m_Tokens[m_Next ? m_Next - 1 : 0].Line;
        vbail("%s\n%s(%d)\n", message, m_FileName.c_str(), line);
    }

private:
    struct Token {
        std::string Text;
        int Line;
    };
    std::string m_FileName;
    std::vector<Token> m_Tokens;
    size_t m_Next = 0;
};

// Inside the keys: the span of the key at next. Outside them the behaviours hold: a channel of
// one key keeps its value, rather than falling to 0 past it.
// Key times grow from key to key (the reader refuses others), so the search halves: the first key
// later than t - 0.0001 is the next key, and a key at exactly t can only be that one.
float ClwChannel::Evaluate(float t) const
{
    const auto found =
        std::partition_point(Keys.begin(), Keys.end(), [t](const ClwKey& key) { return !(key.Time > t - 0.0001f); });
    const size_t next = static_cast<size_t>(found - Keys.begin());
    if (next < Keys.size() && Keys[next].Time == t)
        return Keys[next].Value;
    if (next > 0 && next < Keys.size())
        return Interpolate(next, t);
    if (WarningName != LastWarned) {
        LastWarned = WarningName;
        VerbosePrintf(1, "\nWarning: %s\nNo before/after keyframe data\nRequested t=%.3f, last avaiable t=%.3f\n",
                      WarningName.c_str(), t, Keys.empty() ? 0.0f : Keys.back().Time);
    }
    if (Keys.empty())
        return 0.0f;
    return Outside(t, next == 0);
}

float ClwChannel::Interpolate(size_t n, float t) const
{
    const ClwKey& prev = Keys[n - 1];
    const ClwKey& next = Keys[n];
    const float dt = next.Time - prev.Time;
    const float s = (t - prev.Time) / dt;
    const float d = next.Value - prev.Value;
    switch (next.SpanType) {
    case 0: {
        const float h2 = 3 * s * s - 2 * s * s * s;
        const float h1 = 1 - h2;
        const float h4 = s * s * s - s * s;
        const float h3 = s * s * s - 2 * s * s + s;
        const float T = prev.Params[0], C = prev.Params[1], B = prev.Params[2];
        const float a = (1 - T) * (1 + C) * (1 + B);
        const float b = (1 - T) * (1 - C) * (1 - B);
        const float outgoing =
            n >= 2 ? (dt / (next.Time - Keys[n - 2].Time)) * (a * (prev.Value - Keys[n - 2].Value) + b * d)
                   : 0.5f * (a + b) * d;
        const float Tn = next.Params[0], Cn = next.Params[1], Bn = next.Params[2];
        const float an = (1 - Tn) * (1 - Cn) * (1 + Bn);
        const float bn = (1 - Tn) * (1 + Cn) * (1 - Bn);
        const float incoming = n + 1 < Keys.size() ? (dt / (Keys[n + 1].Time - prev.Time)) *
                                                         (bn * (Keys[n + 1].Value - next.Value) + an * d)
                                                   : 0.5f * (an + bn) * d;
        return h1 * prev.Value + h2 * next.Value + h3 * outgoing + h4 * incoming;
    }
    case 4: // stepped: the earlier key's value holds until the next key
        return prev.Value;
    case 3:
        return prev.Value + s * d;
    default: // the curve shapes this reader takes as straight, said once per scene
        if (WarningName != LastSpanWarned) {
            LastSpanWarned = WarningName;
            VerbosePrintf(1, "\nWarning: %s\nSpan type %d is taken as linear\n", WarningName.c_str(), next.SpanType);
        }
        return prev.Value + s * d;
    }
}

float ClwChannel::Outside(float t, bool before) const
{
    const ClwKey& first = Keys.front();
    const ClwKey& last = Keys.back();
    const int behaviour = before ? PreBehaviour : PostBehaviour;
    const float length = last.Time - first.Time;
    if (behaviour == 0)
        return 0.0f;
    if (Keys.size() < 2 || length <= 0.0f || behaviour == 1 || behaviour > 5)
        return before ? first.Value : last.Value;
    if (behaviour == 5) {
        const ClwKey& a = before ? first : Keys[Keys.size() - 2];
        const ClwKey& b = before ? Keys[1] : last;
        const float slope = (b.Value - a.Value) / (b.Time - a.Time);
        return before ? first.Value + (t - first.Time) * slope : last.Value + (t - last.Time) * slope;
    }
    const float cycles = std::floor((t - first.Time) / length);
    float local = t - first.Time - cycles * length;
    if (behaviour == 3 && static_cast<long long>(cycles) % 2 != 0)
        local = length - local;
    const float inside = first.Time + local;
    float value = inside == first.Time ? first.Value : inside >= last.Time ? last.Value : 0.0f;
    if (inside > first.Time && inside < last.Time) {
        const auto after = std::partition_point(Keys.begin() + 1, Keys.end() - 1,
                                                [inside](const ClwKey& key) { return !(key.Time > inside); });
        value = Interpolate(static_cast<size_t>(after - Keys.begin()), inside);
    }
    if (behaviour == 4)
        value += cycles * (last.Value - first.Value);
    return value;
}

void ClwObject::Read(ClwTokens& in, bool isNull, int number)
{
    Null = isNull;
    ObjectNumber = number;
    if (!isNull)
        LayerNumber = in.Int("the layer number");
    const std::string token = in.Next("the object name");
    if (!isNull) {
        for (char c : token) {
            FileName += c;
            if (c == ':')
                FileName += '\\';
        }
        RawName = Lower(FileTitle(FileName.c_str()));
        RawName = RawName.substr(0, RawName.find('_'));
        Name = "__" + RawName;
    } else {
        RawName = token;
        if (StartsWithNoCase(token, "attach_"))
            Name = "~~" + token;
        else if (StartsWithNoCase(token, "root"))
            Name = token;
        else if (StartsWithNoCase(token, "trigger_"))
            Name = token, Flags |= FlagTrigger;
        else if (StartsWithNoCase(token, "movetrigger_"))
            Name = token, Flags |= FlagMoveTrigger;
        else if (StartsWithNoCase(token, "event_"))
            Name = token, Flags |= FlagEvent;
        else
            Name = "__" + token;
    }
    if (g_AnimDiagnostics || VerboseLevel > 2)
        VerbosePrintf(2, "  OBJECT %s %d #%d\n", Name.c_str(), isNull, number);

    // The object's properties run to its shadow options (the camera's to its zoom factor); a
    // scene written without them ends the object at the next object or at the end of the file.
    while (!in.AtEnd()) {
        const std::string property = in.Next("an object property");
        if (property == "ShadowOptions" || property == "ZoomFactor")
            break;
        if (property == "LoadObjectLayer" || property == "AddNullObject" || property == "AddCamera" ||
            property == "AddLight") {
            in.Back();
            break;
        }
        if (property == "ShowObject") {
            VerbosePrintf(4, "    Show Object - ignored\n");
        } else if (property == "PivotPosition") {
            for (float& p : Pivot)
                p = in.Float("the pivot position");
            Database->AxisFormat.Convert(CAxisFormat::LightWave(), Pivot);
            if (g_AnimDiagnostics)
                VerbosePrintf(2, "    PivotPoint %g,%g,%g\n", Pivot[0], Pivot[1], Pivot[2]);
        } else if (property == "UnseenByCamera") {
            const int value = in.Int("UnseenByCamera");
            Unseen = value != 0;
            VerbosePrintf(4, "    Unseen By Camera %d\n", value);
        } else if (property == "ObjectDissolve") {
            Dissolve = in.Float("ObjectDissolve");
            VerbosePrintf(4, "    Dissolve %g (not translated yet..)\n", Dissolve);
        } else if (property == "ParentItem") {
            ParentItem = in.Hex("ParentItem");
            const unsigned long kind = ParentItem >> 28;
            if (kind == 2)
                in.Fail("RHU doesn't understand objects parented to a light.");
            if (kind == 3)
                in.Fail("RHU doesn't understand objects parented to the camera.");
            if (kind == 4)
                in.Fail("RHU doesn't understand objects parented to a bone - but probabally should.");
            if (g_AnimDiagnostics)
                VerbosePrintf(2, "    Parent Object %08lX -> %lu::%lu \n", ParentItem, kind, ParentItem & 0xFFFF);
        } else if (property == "ObjectMotion") {
            ReadMotion(in, true);
        } else if (property == "CameraMotion") {
            ReadMotion(in, false);
        } else {
            VerbosePrintf(4, "    raw: %s\n", property.c_str());
        }
    }
}

void ClwObject::ReadMotion(ClwTokens& in, bool nineChannels)
{
    if (in.Next("the motion path") != "NumChannels")
        in.Fail("Expected Motion Path to contain a NumChannels parameter");
    Motion.ChannelCount = in.Int("NumChannels");
    if (nineChannels && Motion.ChannelCount != 9)
        in.Fail("Expected Motion Path to always contain precicely 9 channels of data.");
    if (Motion.ChannelCount < 0 || Motion.ChannelCount > 9)
        in.Fail("A motion path holds at most 9 channels, not %d.", Motion.ChannelCount);
    for (int i = 0; i < Motion.ChannelCount; ++i) {
        if (in.Next("the motion path") != "Channel")
            in.Fail("Expected Motion Path to contain a Channel parameter");
        const int channel = in.Int("the channel number");
        if (channel < 0 || channel > 8)
            in.Fail("Channel %d is outside the motion path's channels 0 to 8.", channel);
        VerbosePrintf(4, "      Motion Path, channel %d\n", channel);
        ReadEnvelope(in, Motion.Channels[channel]);
    }
}

void ClwObject::ReadEnvelope(ClwTokens& in, ClwChannel& channel)
{
    in.Next("the envelope");
    if (in.Next("the envelope") != "Envelope")
        in.Fail("Expected Motion Path to contain a Envelope parameter");
    VerbosePrintf(4, "        NumKeys = %d\n", in.Int("the key count"));
    channel.Keys.clear();
    for (;;) {
        if (in.AtEnd())
            in.Fail("Unexpected end of file while processing Channel data.");
        const std::string token = in.Next("the envelope");
        if (token == "}")
            break;
        if (token == "Key") {
            ClwKey key;
            key.Value = in.Float("a key value");
            key.Time = in.Float("a key time");
            key.SpanType = in.Int("a key span type");
            for (float& p : key.Params)
                p = in.Float("a key parameter");
            if (!channel.Keys.empty() && !(key.Time > channel.Keys.back().Time))
                in.Fail("Key times must grow from key to key: %g follows %g.", key.Time, channel.Keys.back().Time);
            VerbosePrintf(4, "          KEY % 3.3f: %d %g,%g,%g,%g,%g,%g,%g\n", key.Time, key.SpanType, key.Value,
                          key.Params[0], key.Params[1], key.Params[2], key.Params[3], key.Params[4], key.Params[5]);
            channel.Keys.push_back(key);
        } else if (token == "Behaviors") {
            channel.PreBehaviour = in.Int("the pre behaviour");
            channel.PostBehaviour = in.Int("the post behaviour");
            VerbosePrintf(4, "        Pre = %d Post = %d\n", channel.PreBehaviour, channel.PostBehaviour);
        } else if (token == "{") {
            while (in.Next("a nested block") != "}") {
            }
        }
    }
}

void ClwObject::AddChild(ClwObject* child)
{
    if (Unseen && !child->Unseen)
        vbail("Adding child %s to object marked unseen: %s\n", child->Name.c_str(), Name.c_str());
    child->Parent = this;
    if (!StartsWithNoCase(Name, "root"))
        child->Name = Name + child->Name;
    const std::string base = child->Name;
    std::string suffix;
    for (bool clash = true; clash;) {
        clash = false;
        for (const ClwObject* sibling : Children)
            clash |= sibling->Name == child->Name;
        if (clash) {
            suffix += suffix.empty() ? "_i" : "i";
            child->Name = base + suffix;
        }
    }
    Children.push_back(child);
}

void ClwObject::BuildSkeleton(std::vector<CSkeletonNode*>& nodes, float* min, float* max, const float* parentPivot,
                              bool super, CSkeletonNode* parentNode)
{
    CSkeletonNode* node = new CSkeletonNode;
    nodes.push_back(node);
    if (parentNode)
        parentNode->Children.push_back(node);
    node->Name = Name;
    node->RawName = RawName;
    if (g_AnimDiagnostics)
        VerbosePrintf(2, "\nBuildSkeleton Node %s\n", Name.c_str());
    ClwMesh* mesh = nullptr;
    static const float origin[3] = {0.0f, 0.0f, 0.0f};
    if (Null) {
        node->AttachPoint = 1;
    } else if (!super) {
        node->ResourceLabel = MakeSymbolName(FileName.c_str());
        if (!Database->FindElement(node->ResourceLabel.c_str())) {
            CString target(FileName.c_str());
            if (!MapTargetDrive(target))
                vbail("Cannot determine L:ness or P:ness of target file: %s", FileName.c_str());
            if (!Database->AddDependency(FileName.c_str())) {
                mesh = new ClwMesh(node->ResourceLabel.c_str(), Database);
                mesh->Load(FileName.c_str(), 0, Pivot, 0);
                if (!parentPivot)
                    mesh->AddPlacedBounds(min, max, origin);
            }
        }
    }
    if (parentPivot && !super) {
        float position[3] = {Motion.Channels[0].Evaluate(0.0f), Motion.Channels[1].Evaluate(0.0f),
                             Motion.Channels[2].Evaluate(0.0f)};
        Database->AxisFormat.Convert(CAxisFormat::LightWave(), position);
        if (mesh)
            mesh->AddPlacedBounds(min, max, position);
        if (g_AnimDiagnostics)
            VerbosePrintf(2, "  Postion from MotionPath = %g, %g, %g\n", position[0], position[1], position[2]);
        node->X = position[0] - parentPivot[0];
        node->Y = position[1] - parentPivot[1];
        node->Z = position[2] - parentPivot[2];
        if (g_AnimDiagnostics)
            VerbosePrintf(2, "  After Parent Offset = %g, %g, %g\n", node->X, node->Y, node->Z);
    }
    for (ClwObject* child : Children)
        if (!child->Unseen)
            child->BuildSkeleton(nodes, min, max, Pivot, super, node);
}

unsigned long ClwObject::BuildSkeletonMask(const CdbSkeleton& skeleton)
{
    const CSkeletonNode* node = skeleton.FindNode(Name);
    if (!node)
        vbail("Could not find matching node %s in skeleton", Name.c_str());
    SkeletonMask = node->Mask;
    if (g_AnimDiagnostics)
        VerbosePrintf(2, "BuildSkeletonMask: %s\nSkelMask = %08lx\n", Name.c_str(), SkeletonMask);
    unsigned long mask = SkeletonMask;
    for (ClwObject* child : Children)
        if (child->Animated())
            mask |= child->BuildSkeletonMask(skeleton);
    return mask;
}

void ClwObject::CalcNodeIndex(unsigned long mask)
{
    for (ClwObject* child : Children)
        if (child->Animated())
            child->CalcNodeIndex(mask);
    if (!SkeletonMask || !(mask & SkeletonMask))
        vbail("Mask values bad in index calc - \nthis is a tool error you need to tell Velk about right away");
    int index = 0;
    for (unsigned long bit = 1; bit != SkeletonMask; bit <<= 1)
        index += (mask & bit) != 0;
    NodeIndex = index;
    if (g_AnimDiagnostics)
        VerbosePrintf(2, "Node: \"%s\" ndx = %d\n", Name.c_str(), NodeIndex);
}

void ClwObject::BuildWeights(ClwAnimation& animation, bool isRoot)
{
    const size_t entry = static_cast<size_t>(NodeIndex + 1);
    if (animation.Weights.size() <= entry)
        animation.Weights.resize(entry + 1, 1.0f);
    animation.Weights[entry] = 1.0f - Dissolve;
    VerbosePrintf(2, "ClwObject::BuildWeights %s = %g, ndx=%d\n", Name.c_str(), animation.Weights[entry], NodeIndex);
    (void)isRoot;
    for (ClwObject* child : Children)
        if (child->Animated())
            child->BuildWeights(animation, false);
}

void ClwObject::SampleFrame(CKeyFrame& key, float t, bool isRoot, float multiplier)
{
    if (isRoot) {
        for (int a = 0; a < 3; ++a)
            key.Position[a] = Motion.Channels[a].Evaluate(t) * multiplier;
        Database->AxisFormat.Convert(CAxisFormat::LightWave(), key.Position);
        VerbosePrintf(3, "  Offset: %g,%g,%g\n", key.Position[0], key.Position[1], key.Position[2]);
    } else {
        float angles[3] = {Motion.Channels[4].Evaluate(t), Motion.Channels[3].Evaluate(t),
                           Motion.Channels[5].Evaluate(t)};
        Database->AxisFormat.ConvertAngles(CAxisFormat::LightWave(), angles);
        const size_t index = static_cast<size_t>(NodeIndex);
        if (key.Rotations.size() <= index)
            key.Rotations.resize(index + 1, std::vector<float>(3, 0.0f));
        key.Rotations[index].assign(angles, angles + 3);
        const int column = VerbosePrintf(3, "  %s", Name.c_str());
        VerbosePrintf(3, ":%*c%g,%g,%g\n", column < 60 ? 60 - column : 1, ' ', angles[0], angles[1], angles[2]);
    }
    for (ClwObject* child : Children)
        if (child->Animated())
            child->SampleFrame(key, t, false, multiplier);
}

void ClwObject::PrintTree(int indent) const
{
    printf("%*c%s\n", indent, ' ', Name.c_str());
    printf("%*c  FileName:%s\n", indent, ' ', FileName.c_str());
    printf("%*c  RawName:%s\n", indent, ' ', RawName.c_str());
    printf("%*c  NodeIndex=%d, SkelMask=%08lX\n", indent, ' ', NodeIndex, SkeletonMask);
    printf("%*c  ObjectNumber=%d, IsNull=%d, IsUnseen=%d\n\n", indent, ' ', ObjectNumber, Null, Unseen);
}

ClwScene::~ClwScene() = default;

void ClwScene::Load(const char* fileName, bool buildTree)
{
    ClwTokens in;
    if (!in.Open(fileName))
        vbail("Couldn't open file, '%s'.\n%s\n", fileName, strerror(errno));
    m_FileName = fileName;
    VerbosePrintf(3, "\nLWSCENE: %s\n", fileName);
    bool versionSeen = false;
    while (!in.AtEnd()) {
        const std::string token = in.Next("the scene");
        if (token == "LWSC") {
            const int version = in.Int("the scene version");
            // Older scenes describe motion in a syntax of their own, which this reader would
            // take for unknown words and lose every object of.
            if (version != SceneVersion)
                in.Fail("Incorrect Lightwave Scene File version!\nFile is v%d and we expect v%d", version,
                        SceneVersion);
            versionSeen = true;
            VerbosePrintf(3, "  %s Version %d\n", token.c_str(), version);
        } else if (!versionSeen) {
            in.Fail("Not a Lightwave scene file: it does not start with LWSC.");
        } else if (token == "FirstFrame" || token == "LastFrame" || token == "FrameStep") {
            const int value = in.Int(token.c_str());
            (token == "FirstFrame" ? FirstFrame : token == "LastFrame" ? LastFrame : FrameStep) = value;
            VerbosePrintf(3, "  %s %d\n", token.c_str(), value);
        } else if (token == "FramesPerSecond") {
            FramesPerSecond = in.Float("FramesPerSecond");
            if (!(FramesPerSecond > 0.0f))
                in.Fail("FramesPerSecond must be above 0, not %g.", FramesPerSecond);
            VerbosePrintf(3, "  %s %g, default = %g\n", token.c_str(), FramesPerSecond, ClwAnimation::Rate);
        } else if (token == "LoadObjectLayer" || token == "AddNullObject") {
            m_Objects.push_back(std::make_unique<ClwObject>());
            m_Objects.back()->Database = m_Database;
            m_Objects.back()->Read(in, token == "AddNullObject", static_cast<int>(m_Objects.size()) - 1);
        } else if (token == "AddCamera") {
            if (m_Camera)
                in.Fail("\nOnly expect 1 camera in the file!");
            m_Camera = std::make_unique<ClwObject>();
            m_Camera->Database = m_Database;
            m_Camera->Read(in, true, 100);
        } else {
            VerbosePrintf(4, "  raw: %s\n", token.c_str());
        }
    }
    if (!versionSeen)
        vbail("Not a Lightwave scene file: it does not start with LWSC.\n%s\n", fileName);
    if (buildTree)
        BuildTree();
}

void ClwScene::BuildTree()
{
    const size_t count = m_Objects.size();
    for (size_t i = 0; i < count; ++i) {
        ClwObject* object = m_Objects[i].get();
        const size_t parent = object->ParentItem & 0xFFFF;
        if (parent >= count || object->ParentItem == NoParent)
            continue;
        // A chain of parents that comes back to the object would make the tree endless.
        for (size_t up = parent, steps = 0; up < count; up = m_Objects[up]->ParentItem & 0xFFFF, ++steps)
            if (up == i || steps > count)
                vbail("Error: %s : Object %s is its own parent.", m_FileName.c_str(), object->Name.c_str());
        m_Objects[parent]->AddChild(object);
        if (g_AnimDiagnostics) {
            VerbosePrintf(2, "Object %s parent of %s\n", m_Objects[parent]->Name.c_str(), object->Name.c_str());
            VerbosePrintf(2, "  orig %s,%s\n\n", m_Objects[parent]->FileName.c_str(), object->FileName.c_str());
        }
    }
    for (const std::unique_ptr<ClwObject>& object : m_Objects)
        if (!m_Root && StartsWithNoCase(object->Name, "root"))
            m_Root = object.get();
    if (!m_Root)
        vbail("Error: %s : No root object specified.", m_FileName.c_str());
    if (m_Root->Children.size() != 1)
        vbail("Error: %s : Root object has invalid # of child objects.\nExpected 1 but got %d.", m_FileName.c_str(),
              static_cast<int>(m_Root->Children.size()));
}

void ClwScene::BuildSkeleton(std::vector<CSkeletonNode*>& nodes, float* min, float* max, float* centre, bool super)
{
    for (int a = 0; a < 3; ++a)
        min[a] = 1.0e36f, max[a] = -1.0e36f;
    SetInterpolationWarningName(m_FileName.c_str());
    m_Root->Children[0]->BuildSkeleton(nodes, min, max, nullptr, super, nullptr);
    for (int a = 0; a < 3; ++a)
        centre[a] = (min[a] + max[a]) * 0.5f;
}

namespace {
void PrintSubtree(const ClwObject& object, int indent)
{
    object.PrintTree(indent);
    for (const ClwObject* child : object.Children)
        PrintSubtree(*child, indent + 2);
}
} // namespace

void ClwScene::Diagnostic() const
{
    if (VerboseLevel < 4)
        return;
    printf("\n\nSCENE DIAGNOSTIC OBJECT LIST - TREE VIEW\n");
    PrintSubtree(*m_Root->Children[0], 2);
    printf("\n\nSCENE DIAGNOSTIC OBJECT LIST - SEQUENTIAL VIEW\n");
    for (const std::unique_ptr<ClwObject>& object : m_Objects)
        object->PrintTree(2);
    printf("\nEND SCENE DIAGNOSTIC\n\n");
}
