#pragma once
// A LightWave scene file ("LWSC" text, version 3): the objects of the scene as a tree, each
// with its motion envelopes, turned into the skeleton nodes and the sampled hierarchy
// animation the converter writes.
#include <memory>
#include <string>
#include <vector>

class CDatabase;
class CSkeletonNode;
class CdbSkeleton;
class ClwAnimation;
class CKeyFrame;
class ClwTokens;

struct ClwKey {
    float Value = 0.0f;
    float Time = 0.0f;
    int SpanType = 0; // 0 TCB, 3 linear, 4 stepped; others are taken as linear
    float Params[6] = {};
};

// One envelope. Outside its keys the pre and post behaviours hold: 0 reset, 1 constant,
// 2 repeat, 3 oscillate, 4 offset repeat, 5 linear.
class ClwChannel {
public:
    float Evaluate(float t) const;

    std::vector<ClwKey> Keys;
    int PreBehaviour = 1;
    int PostBehaviour = 1;

private:
    float Interpolate(size_t next, float t) const;
    float Outside(float t, bool before) const;
};

struct ClwMotion {
    int ChannelCount = 0;
    ClwChannel Channels[9];
};

class ClwObject {
public:
    enum { FlagTrigger = 1, FlagMoveTrigger = 2, FlagEvent = 4 };

    void Read(ClwTokens& in, bool isNull, int number);
    void AddChild(ClwObject* child);
    void BuildSkeleton(std::vector<CSkeletonNode*>& nodes, float* min, float* max, const float* parentPivot, bool super,
                       CSkeletonNode* parentNode);
    unsigned long BuildSkeletonMask(const CdbSkeleton& skeleton);
    void CalcNodeIndex(unsigned long mask);
    void BuildWeights(ClwAnimation& animation, bool isRoot);
    void SampleFrame(CKeyFrame& key, float t, bool isRoot, float multiplier);
    void PrintTree(int indent) const;
    bool Animated() const { return !Unseen && !Null; }

    std::string Name;
    unsigned long Flags = 0;
    ClwMotion Motion;
    CDatabase* Database = nullptr;
    std::string FileName;
    std::string RawName;
    int NodeIndex = -1;
    unsigned long SkeletonMask = 0;
    int ObjectNumber = 0;
    bool Null = false;
    bool Unseen = false;
    float Pivot[3] = {0.0f, 0.0f, 0.0f};
    int LayerNumber = 0;
    float Dissolve = 0.0f;
    unsigned long ParentItem = 65000;
    std::vector<ClwObject*> Children; // owned by the scene
    ClwObject* Parent = nullptr;

private:
    void ReadMotion(ClwTokens& in, bool nineChannels);
    void ReadEnvelope(ClwTokens& in, ClwChannel& channel);
};

class ClwScene {
public:
    explicit ClwScene(CDatabase* database) : m_Database(database) {}
    ~ClwScene();

    void Load(const char* fileName, bool buildTree);
    void BuildSkeleton(std::vector<CSkeletonNode*>& nodes, float* min, float* max, float* centre, bool super);
    void Diagnostic() const;

    const std::vector<std::unique_ptr<ClwObject>>& Objects() const { return m_Objects; }
    ClwObject* Root() const { return m_Root; }
    const std::string& FileName() const { return m_FileName; }

    int FirstFrame = 0;
    int LastFrame = 0;
    int FrameStep = 1;
    float FramesPerSecond = 30.0f;

private:
    void BuildTree();

    CDatabase* m_Database;
    std::string m_FileName;
    ClwObject* m_Root = nullptr;
    std::vector<std::unique_ptr<ClwObject>> m_Objects;
    std::unique_ptr<ClwObject> m_Camera;
};

// Anim diagnostics: the "anim" word of the Diagnostic command.
extern bool g_AnimDiagnostics;
// The name interpolation warnings carry (the scene being read or converted).
void SetInterpolationWarningName(const char* name);
