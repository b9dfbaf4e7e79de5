#pragma once
// A positioned object that is drawn and collides: it embeds a render instance that shows its
// resource at its position and answers collision tests with the resource's collision block,
// and it carries health and the marks the world's queries read.
#include "engine/object/GPosRot.h"
#include "engine/render/CRender.h"

class CCollisionPlotter;
class CRendResource;
struct fRECT;

class GPhysical : public GPosRot {
    DECLARE_GOBJECT(GPhysical, GPosRot)

    // Unit and decor marks.
    enum { MARK_UNIT = 0x01, MARK_DECOR = 0x02 };

    GPhysical();
    ~GPhysical() override;

    // Effects on the render instance outlive the object: they move to the object root first.
    // A destroyed object leaves the section grid at once, even while its deletion waits.
    void Destroy() override;
    void ChangePlayer(WORD player) override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    using GPosRot::GetAttachPos;
    CVector GetAttachPos(CCRC32 attachPoint) override;
    // Moving re-enters the section grid: out at the old place, in at the new one (never at
    // the nowhere position).
    void SetPos(const CVector& position) override;
    void SetRot(const CVector& rotation) override;
    void SetPosRot(const CVector& position, const CVector& rotation) override;

    // The operations physical objects add, in table order.
    virtual float GetRenderHeight();
    virtual CVector GetAttachPos(int index);
    virtual void AttachRender(DWORD attachPoint, CRender* render);
    virtual bool DetachRender(CCRC32 attachPoint);
    virtual int IsSelectable();
    virtual float GetHealth();
    virtual void AddHealth(float amount);
    virtual bool CanCollide(GPhysical* other);
    virtual bool CanCollide();
    virtual DWORD GetBlockageFlags();
    virtual DWORD GetCollisionFlags();
    virtual bool OnCollision(HGOBJECT other, bool initiator);
    virtual void UpdateTarget();

    // Where the object is drawn: its position at half its render height.
    CVector GetRenderCenter();
    // The render's "Attach_Center" point when its resource has one, else the position; the
    // position's height unless useAttachZ.
    void GetCenterPos(CVector& out, bool useAttachZ);
    int GetNodeCount() { return Render.GetNodeCount(); }
    void GetNodePos(int node, CVector& out) { Render.GetNodePos(node, out); }
    int GetAttachPointCount() { return Render.GetAttachPointCount(); }
    DWORD GetAttachPointCRC(int index) { return Render.GetAttachPointCRC(index); }

    // Collision tests of the render instance; at null means the object's own position.
    bool IsCollision(const CVector* point, float radius, const CVector* at = nullptr);
    bool IsCollision(const fRECT& rect, const CVector* at = nullptr);
    // The fraction along from..to where the segment first meets the object, -1 for none.
    float IsCollision(const CVector* from, const CVector* to, const CVector* at = nullptr);
    bool IsCollision(GPhysical* other, const CVector* at = nullptr);
    float GetPlottingRadius(CVector* centre = nullptr);

    // Enter or leave the section grid through the plotter.
    void Plot();
    void UnPlot();
    // The place lies in a location whose passability there is within this object's limit.
    bool CanGoHere(const CVector& place);
    // The headings (0..2 pi) between which a ray from..to meets the other object, widened by
    // this object's radius; false with both 0 when the two already overlap. from and to
    // default to the objects' centres.
    bool GetArc(float& first, float& second, GPhysical* other, const CVector* from = nullptr,
                const CVector* to = nullptr);

    // Health.
    void GetHealth(float& health, float& maxHealth);
    void SetHealth(float health) { Health = health; }
    void SetMaxHealth(float maxHealth) { MaxHealth = maxHealth; }
    void AddMaxHealth(float amount) { MaxHealth += amount; }
    float GetMaxHealth() { return MaxHealth; }
    float GetPermanentDamage() { return PermanentDamage; }

    // Collision, plotting and passibility marks.
    void EnableCollisions() { bCollisionsEnabled = true; }
    void DisableCollisions() { bCollisionsEnabled = false; }
    void EnablePlottability() { bPlottable = true; }
    void DisablePlottability() { bPlottable = false; }
    BYTE GetPassibilityIndex() { return static_cast<BYTE>(PassibilityIndex); }
    void SetPassibilityIndex(BYTE index) { PassibilityIndex = index; }
    BYTE GetPhysicalFlags() { return PhysicalFlags; }
    void SetPhysicalFlags(BYTE flags) { PhysicalFlags = flags; }
    void AndPhysicalFlags(BYTE flags) { PhysicalFlags &= flags; }
    void OrPhysicalFlags(BYTE flags) { PhysicalFlags |= flags; }
    CRendResource* GetResource() { return pResource; }
    void SetResource(CRendResource* resource) { pResource = resource; }
    void SetGUnit() { Marks |= MARK_UNIT; }
    bool IsGUnit() { return (Marks & MARK_UNIT) != 0; }
    void SetGDecor() { Marks |= MARK_DECOR; }
    bool IsGDecor() { return (Marks & MARK_DECOR) != 0; }

    // The target as a physical object, or null.
    GPhysical* ValidTarget();
    // Tells this object, then the other one when it is physical, that they collided; the
    // handle 0xFFFFFFFF names no other object.
    void NotifyCollision(HGOBJECT other);

    // Ranges that take in both objects' plotting radii, measured horizontally. from defaults
    // to this object's position, to to the other's; a zero otherRadius means the other's own.
    float GetFatRange(const CVector& to, const CVector* from = nullptr);
    bool IsInRangeWithFatness(GPhysical* other, float range, const CVector* from = nullptr, const CVector* to = nullptr,
                              float otherRadius = 0.0f);
    bool IsInRangeWithFatnessXY(GPhysical* other, float range, const CVector* from = nullptr,
                                const CVector* to = nullptr, float otherRadius = 0.0f);
    float GetRangeWithFatness(GPhysical* other, const CVector* from = nullptr, const CVector* to = nullptr);

    // The object as a physical object, or null when it is none.
    static GPhysical* FromObject(GObject* object);

    bool bPlotted; // entered in the section grid
    bool bCollisionsEnabled;
    bool bPlottable;
    // Both are edited as 4-byte values ("int" and "DWORD"), so they are stored in 4 bytes: a
    // one-byte field would draw the editable-type warning on every start. The index is the
    // low 8 bits.
    BOOL HasDebugObj;
    DWORD PassibilityIndex;
    // Built for live objects only: class prototypes never touch a render instance.
    union {
        CRender Render;
    };
    HGOBJECT hTarget;
    CVector TargetPos;
    CCollisionPlotter* pPlotter;
    CRendResource* pResource;         // as stored in the creation data
    CRendResource* pAttachedResource; // attached at construction
    BYTE PhysicalFlags;
    float Health;
    float MaxHealth;
    float PermanentDamage;
    BYTE Marks; // MARK_UNIT, MARK_DECOR

private:
    bool PlotsOnMove();
    // Squared horizontal distance between the two points and the summed radii plus range.
    void FatRangeTerms(GPhysical* other, float range, const CVector* from, const CVector* to, float otherRadius,
                       float& distanceSq, float& reach);
};
