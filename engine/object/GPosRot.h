#pragma once
// Base of every game object that stands somewhere in the world: a position, a rotation (radians,
// z is the heading), an optional mover and the standard handling of the messages that move,
// create, sound and destroy positioned objects. Headings are measured from -y towards +x.
#include "core/containers/ZArray.h"
#include "core/math/CVector.h"
#include "core/names/CCRC32.h"
#include "engine/object/GObject.h"

class CMover;
class CEmbeddedFillData;
struct LocationEntry;

class GPosRot : public GObject {
    DECLARE_GOBJECT(GPosRot, GObject)

    // Filter flags: which players' objects Filter refuses.
    enum FilterFlags : DWORD {
        FILTER_ONLY_PLAYER_1 = 0x01,
        FILTER_NOT_PLAYER_1 = 0x02,
        FILTER_NOT_NEUTRAL = 0x04,
    };

    GPosRot();
    ~GPosRot() override;

    void PostConstruction() override;
    bool OnReceiveMessage(CMessage* message) override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    // The operations positioned objects add, in table order.
    virtual CMover* GetMover();
    virtual void SetMover(CMover* mover);
    virtual const CVector& GetPos();
    virtual const CVector& GetRot();
    virtual LocationEntry* GetLocation();
    virtual void SetPos(const CVector& position);
    virtual void SetRot(const CVector& rotation);
    virtual void SetLocation(LocationEntry* location);
    virtual void SetPosRot(const CVector& position, const CVector& rotation);
    virtual CVector GetAttachPos(CCRC32 attachPoint);
    virtual CEmbeddedFillData* GetMenuData();
    virtual void Select(bool selected);
    virtual bool IsSelected();
    virtual int GetDwimIndex(CZArray<HGOBJECT>* candidates, HGOBJECT& chosen);

    // Geometry towards a point; from defaults to this object's position.
    float GetAngle(const CVector& to, const CVector* from = nullptr);
    float GetDeflection(const CVector& to, const CVector* from = nullptr);
    float GetPitch(const CVector& to, const CVector* from = nullptr);
    bool IsFacing(const CVector& to, float arc);
    bool IsInRange(const CVector& to, float rangeSq, const CVector* from = nullptr);
    float GetRangeSq(const CVector& to, const CVector* from = nullptr);

    // The positioned object of the handle, or null when there is none or its player is one
    // the flags refuse.
    static GPosRot* Filter(HGOBJECT handle, DWORD flags);
    // The object as a positioned object, or null when it is none.
    static GPosRot* FromObject(GObject* object);

    // The object created by the last creation message.
    static GPosRot* pLastCreated;

    int LayoutId;
    CMover* pMover;        // as stored in the creation data
    CMover* pCurrentMover; // in use
    CVector Position;
    CVector Rotation;
    LocationEntry* pLocation;
    int Viewports; // bit mask; the low five bits choose the render layers
    bool bSelected;

private:
    bool OnCreateMessage(CMessage* message);
    bool OnCreateIdMessage(CMessage* message);
    bool PlaceCreated(GObject* object, const CVector& position, const CVector& rotation);
    bool RecordKeyFrame();
    bool PassToParent(CMessage* message);
};
