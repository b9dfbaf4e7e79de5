#pragma once
// Game-object classes registered by the tests. Their members follow the rule of every game
// object: no member initialisers, nothing a constructor would write over the applied data.
#include <vector>

#include "engine/object/GObject.h"

// Records its processing and destruction, and acts on others when processed.
class TProbe : public GObject {
    DECLARE_GOBJECT(TProbe, GObject)

    enum Action { NONE, DESTROY_SELF, DESTROY_TARGET, DESTROY_SELF_THEN_TARGET, DESTROY_TARGET_THEN_SELF, SLEEP };

    ~TProbe() override;
    bool Process() override;
    void PostConstruction() override;

    int Tag;
    int Act;
    GObject* pTarget;
    float SleepFor;
    int PostConstructed;

    static std::vector<int> ProcessLog;
    static std::vector<int> DestroyLog;
};

class TProbeAfterEquals : public TProbe {
    DECLARE_GOBJECT(TProbeAfterEquals, TProbe)
};

class TProbeHandled : public TProbe {
    DECLARE_GOBJECT(TProbeHandled, TProbe)
};

class TProbeSecondPass : public TProbe {
    DECLARE_GOBJECT(TProbeSecondPass, TProbe)
};

class TProbeSurvivor : public TProbe {
    DECLARE_GOBJECT(TProbeSurvivor, TProbe)
};

// Takes its target down with it, as classes that own other objects do.
class TProbeTakesTargetAlong : public TProbe {
    DECLARE_GOBJECT(TProbeTakesTargetAlong, TProbe)

    void Destroy() override;
};

// One member of every editable kind.
class TFields : public GObject {
    DECLARE_GOBJECT(TFields, GObject)

    TFields();
    int SpecifyEditable(EditableInfo*& cursor) override;

    float Speed;
    int Count;
    DWORD Mask;
    DWORD Kind;         // "CCRC32"
    GObject* pChild;    // "GObject *", filled by embedded records
    GObject* pLinks[2]; // labels resolved from saved games
    BYTE Narrow;        // declared "DWORD", one byte wide
    BYTE Guard[3];      // must survive writes to Narrow
    bool Flag;
    float Vec[3];
    DWORD ZelHandle; // "CZelHandle": the address of a symbol entry
    float CountSeenByConstructor;
};

class TFieldsDerived : public TFields {
    DECLARE_GOBJECT(TFieldsDerived, TFields)

    int SpecifyEditable(EditableInfo*& cursor) override;

    int Extra;
};

// Target of embedded records; gets a handle.
class TEmbedded : public GObject {
    DECLARE_GOBJECT(TEmbedded, GObject)

    static int Destroyed;
    ~TEmbedded() override;
};

// Made while prototypes are built: remembers the handle it saw then.
class TPrototypeWitness : public GObject {
    DECLARE_GOBJECT(TPrototypeWitness, GObject)

    TPrototypeWitness();
    static DWORD HandleSeenAsPrototype;
    static int PrototypesBuilt;
};

// Makes a probe of the class as a child of parent (the root when null) and tags it.
TProbe* MakeProbe(int tag, GObject* parent = nullptr, DWORD classId = TProbe::ClassId);
