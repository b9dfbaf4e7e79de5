#pragma once
// Predicates over game objects for queries that take a function and an untyped data pointer.
// A validator answers Test for one candidate: a handle (passed as the item's value) or a
// HandleOffset record (passed by address). The adapters at the end give them the callback shape.
#include "core/math/CVector.h"
#include "engine/object/GObject.h"

class VValidator {
public:
    virtual bool Test(void* item) = 0;
};

class VHandle {
public:
    static HGOBJECT Convert(void* item) { return HGOBJECT(static_cast<DWORD>(reinterpret_cast<DWORD_PTR>(item))); }
    static GObject* ConvertToGObject(void* item) { return GObject::GetGobject(Convert(item)); }
    static void* ToItem(HGOBJECT handle) { return reinterpret_cast<void*>(static_cast<DWORD_PTR>(handle)); }
};

class VGObject {
public:
    static GObject* Convert(void* item) { return static_cast<GObject*>(item); }
};

// True when the handle resolves to an object of the stored player.
class VPlayer : public VValidator {
public:
    explicit VPlayer(WORD player) : Player(player) {}
    explicit VPlayer(HGOBJECT handle) : Player(handle.Player()) {}
    void Set(WORD player) { Player = player; }
    bool Test(void* item) override;

    WORD Player;
};

// True for exactly the stored handle (all 32 bits).
class VEquality : public VValidator {
public:
    explicit VEquality(HGOBJECT handle) : Handle(handle) {}
    bool Test(void* item) override;

    HGOBJECT Handle;
};

// True when the item's object stands within the range of the centre object, measured
// horizontally; false once either is gone or is not positioned.
class VRange : public VValidator {
public:
    VRange(HGOBJECT centre, float range) : hCenter(centre) { Set(range); }
    void Set(float range)
    {
        Range = range;
        RangeSq = range * range;
    }
    bool Test(void* item) override;

    HGOBJECT hCenter;
    float Range;
    float RangeSq;
};

// Holds a handle for subclasses.
class VHandleBinary : public VValidator {
public:
    explicit VHandleBinary(HGOBJECT handle) : Handle(handle) {}
    virtual void Set(HGOBJECT handle) { Handle = handle; }

    HGOBJECT Handle;
};

// A handle followed by a position.
struct HandleOffset {
    HGOBJECT Handle;
    CVector Offset;
};

class VVector {
public:
    static CVector* Convert(void* item) { return static_cast<CVector*>(item); }
};

class VHandleOffset {
public:
    static HandleOffset* Convert(void* item) { return static_cast<HandleOffset*>(item); }
};

class VHOEquality : public VValidator {
public:
    explicit VHOEquality(HGOBJECT handle) : Handle(handle) {}
    bool Test(void* item) override;

    HGOBJECT Handle;
};

class VHOPlayer : public VValidator {
public:
    explicit VHOPlayer(WORD player) : Player(player) {}
    void Set(WORD player) { Player = player; }
    bool Test(void* item) override;

    WORD Player;
};

// True when the record's object is physical and its collision flags share a bit with the mask.
class VHOCollidable : public VValidator {
public:
    explicit VHOCollidable(DWORD mask) : Mask(mask) {}
    bool Test(void* item) override;

    DWORD Mask;
};

// True when the stored object, standing at the record's position, collides with the record's
// object; false once either is gone or is not physical.
class VHORenderCollision : public VValidator {
public:
    explicit VHORenderCollision(HGOBJECT handle) : Handle(handle) {}
    bool Test(void* item) override;

    HGOBJECT Handle;
};

// Up to ten validators, each with the result that rejects a candidate.
struct CEngineFilterList {
    enum { MAX_VALIDATORS = 10 };
    DWORD Reserved;
    int Count;
    VValidator* Validators[MAX_VALIDATORS];
    bool Reject[MAX_VALIDATORS];
};

// Parameters of the core handle filter.
class CCoreHandleFilterParams {
public:
    CCoreHandleFilterParams() : Player(0), Value1(0), Handle(0), Value2(0) {}
    CCoreHandleFilterParams(WORD player, DWORD value1, HGOBJECT handle, DWORD value2)
        : Player(player), Value1(value1), Handle(handle), Value2(value2)
    {
    }

    WORD Player;
    DWORD Value1;
    HGOBJECT Handle;
    DWORD Value2;
};

bool EngineValidator(HGOBJECT handle, void* validator);
bool EngineValidatorInverse(HGOBJECT handle, void* validator);
bool EngineFilter(HGOBJECT handle, void* list);
