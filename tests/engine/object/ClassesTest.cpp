#include "TestClasses.h"

IMPLEMENT_GOBJECT(TProbe, 0x00008000)
IMPLEMENT_GOBJECT(TProbeAfterEquals, 0x10008000)
IMPLEMENT_GOBJECT(TProbeHandled, 0x80008000)
IMPLEMENT_GOBJECT(TProbeSecondPass, 0x40008000)
IMPLEMENT_GOBJECT(TProbeSurvivor, 0x20008000)
IMPLEMENT_GOBJECT(TProbeTakesTargetAlong, 0x00008000)
IMPLEMENT_GOBJECT(TFields, 0x00008000)
IMPLEMENT_GOBJECT(TFieldsDerived, 0x00008000)
IMPLEMENT_GOBJECT(TEmbedded, 0x80008000)
IMPLEMENT_GOBJECT(TPrototypeWitness, 0x80008000)

std::vector<int> TProbe::ProcessLog;
std::vector<int> TProbe::DestroyLog;
int TEmbedded::Destroyed;
DWORD TPrototypeWitness::HandleSeenAsPrototype = 0xFFFFFFFF;
int TPrototypeWitness::PrototypesBuilt;

TProbe::~TProbe()
{
    if (EditableEvaluation == 0)
        DestroyLog.push_back(Tag);
}

void TProbe::PostConstruction() { PostConstructed = 1; }

bool TProbe::Process()
{
    ProcessLog.push_back(Tag);
    switch (Act) {
    case DESTROY_SELF:
        Destroy();
        break;
    case DESTROY_TARGET:
        pTarget->Destroy();
        break;
    case DESTROY_SELF_THEN_TARGET:
        Destroy();
        pTarget->Destroy();
        break;
    case DESTROY_TARGET_THEN_SELF:
        pTarget->Destroy();
        Destroy();
        break;
    case SLEEP:
        Sleep(SleepFor);
        break;
    default:
        break;
    }
    Act = NONE;
    return false;
}

void TProbeTakesTargetAlong::Destroy()
{
    if (GObject* target = pTarget) {
        pTarget = nullptr;
        target->Destroy();
    }
    TProbe::Destroy();
}

TFields::TFields() { CountSeenByConstructor = static_cast<float>(Count); }

int TFields::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "Speed", "float", Speed);
    AddEditable(cursor, "Count", "int", Count);
    AddEditable(cursor, "Mask", "DWORD", Mask);
    AddEditable(cursor, "Kind", "CCRC32", Kind);
    AddEditable(cursor, "pChild", "GObject *", pChild);
    AddEditable(cursor, "pLinks", "GObject *", pLinks);
    AddEditable(cursor, "Narrow", "DWORD", Narrow);
    AddEditable(cursor, "Flag", "bool", Flag);
    AddEditable(cursor, "Vec", "float", Vec);
    AddEditable(cursor, "ZelHandle", "CZelHandle", ZelHandle);
    AddEditable(cursor, "Hidden", "int", CountSeenByConstructor, 0);
    return count + 11;
}

int TFieldsDerived::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = TFields::SpecifyEditable(cursor);
    AddEditable(cursor, "Extra", "int", Extra);
    return count + 1;
}

TEmbedded::~TEmbedded()
{
    if (EditableEvaluation == 0)
        ++Destroyed;
}

TPrototypeWitness::TPrototypeWitness()
{
    if (EditableEvaluation != 0) {
        HandleSeenAsPrototype = GetHandle();
        ++PrototypesBuilt;
    }
}

TProbe* MakeProbe(int tag, GObject* parent, DWORD classId)
{
    GObject* object = parent != nullptr ? parent->Create(classId, nullptr) : GObject::Create(classId, 0, nullptr);
    TProbe* probe = static_cast<TProbe*>(object);
    if (probe != nullptr)
        probe->Tag = tag;
    return probe;
}
