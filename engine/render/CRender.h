#pragma once
// A render instance: the plain record a game object embeds to be drawn and to collide. It
// points at its owner's position, rotation and colour, holds the resource that shows it with
// that resource's per-render workspace, and sits in the display list or the animated list.
#include <windows.h>

#include "core/math/CMatrix.h"
#include "core/math/CVector.h"
#include "core/names/CCRC32.h"
#include "engine/object/HGOBJECT.h"

class CAnimation;
class CAnimator;
class CCollisionData;
class CLineBatchSource;
class COctTreeNode;
class CRendResource;
class CRendWorkspace;
class GEffect;
class GObject;
struct LocationEntry;
struct Material;
struct fRECT;

class CRender {
public:
    // Flag bits: 0 is set while the render is in the animated list; SetFlags changes 1 to 4.
    enum {
        FLAG_ANIMATED = 0x01,
        FLAG_DEFAULT = 0x02,
        FLAG_NEVER_CULLED = 0x08,
        FLAG_OPTIONS = 0x1E,
    };
    static const unsigned long kDefaultMergedPriority = 0x40008000;

    CRender();
    ~CRender();
    // Copies the whole record, links and owned pointers included.
    CRender& operator=(const CRender& other);
    CRender(const CRender&) = delete;

    // Set-up.
    void Attach(const CVector* pos, CVector* rot, const CVector4* colour, CVector* offset)
    {
        pPos = pos;
        pRot = rot;
        pColour = colour;
        pOffset = offset;
    }
    void Attach(const CVector4* colour) { pColour = colour; }
    void Attach(Material* materials) { pMaterials = materials; }
    void Attach(CLineBatchSource* source) { pLineBatchSource = source; }
    void SetRot(CVector* rot) { pRot = rot; }
    void SetViewport(short viewport) { Viewport = static_cast<short>(viewport & 0x1F); }
    void SetPriority(unsigned short priority)
    {
        MergedPriority = (MergedPriority & 0xFFFF) | (unsigned long)priority << 16;
    }
    void SetSortModifier(short modifier)
    {
        MergedPriority = (MergedPriority & 0xFFFF0000) | (unsigned short)(modifier + 0x8000);
    }
    short GetSortModifier() const { return static_cast<short>((MergedPriority & 0xFFFF) - 0x8000); }
    void SetLerpValue(float value) { LerpValue = value; }
    void SetCullRadius(float radius) { CullRadius = radius; }
    void SetSelectable(HGOBJECT handle) { Selectable = handle; }
    void SetHackFloat1(float value) { HackFloat1 = value; }
    void SetHackFloat2(float value) { HackFloat2 = value; }
    void SetLocation(LocationEntry* location) { pLocation = location; }
    // Stores the resource as it is: no workspace, animator or plotting values change.
    void SetResource(CRendResource* resource) { pResource = resource; }
    // Only the option bits 1 to 4 change.
    void SetFlags(unsigned long value, unsigned long mask);
    // The owning object and its class name; null clears both.
    void SetParent(GObject* parent);

    const CVector* GetPos() const { return pPos; }
    CVector* GetRot() const { return pRot; }
    CVector* GetOffset() const { return pOffset; }
    const CVector4* GetColour() const { return pColour; }
    short GetViewport() const { return Viewport; }
    unsigned short GetPriority() const { return static_cast<unsigned short>(MergedPriority >> 16); }
    unsigned long GetMergedPriority() const { return MergedPriority; }
    CRendResource* GetResource() const { return pResource; }
    CRendWorkspace* GetWorkspace() const { return pWorkspace; }
    Material* GetMaterialList() const { return pMaterials; }
    unsigned long GetFlags() const { return Flags; }
    float GetCullRadius() const { return CullRadius; }
    LocationEntry* GetLocation() const { return pLocation; }
    int Index() const { return IndexValue; }
    float GetLerpValue() const { return LerpValue; }
    CAnimator* GetAnimator() const { return pAnimator; }
    CLineBatchSource* GetLineBatchSource() const { return pLineBatchSource; }
    float GetHackFloat1() const { return HackFloat1; }
    float GetHackFloat2() const { return HackFloat2; }
    HGOBJECT GetSelectable() const { return Selectable; }
    GEffect* GetRootEffect() const { return pRootEffect; }
    GObject* GetParent() const { return pParent; }
    const char* GetParentClassName() const { return pParentClassName; }
    // Where the scene tree holds the render: its node (null when in none) and the next render
    // of that node's list.
    const COctTreeNode* GetTreeNode() const { return pTreeNode; }
    CRender* GetTreeNext() const { return pTreeNext; }
    // The next render of the list that holds this one (or, from a list head, the first).
    CRender* GetListNext() const { return pListNext; }
    // Non-zero while the render is in the display list.
    int IsLinked() const;

    // The display list and the animated list.
    void Link();
    void SetLink(bool link);
    void Unlink();
    void LinkAnimated();

    // Resource. Replacing the resource releases the workspace and the animator and takes the
    // plotting circle from the new resource's collision data.
    void Attach(CRendResource* resource, int flags);
    void DetachResource();
    void CoreRender();
    void FlushFrameCache();
    // Gives the index to the resource first; returns it.
    int Index(int index);
    float GetResourceRadius();
    void GetResourceCenter(int index, CVector& out);
    // These need a resource attached.
    void GetBoundingBox(RECT& box, int index);
    int GetAttachPointCount();
    unsigned long GetAttachPointCRC(int index);
    const CVector& GetAttachPoint(int index, int& found, CMatrix* matrix);
    const CVector& GetAttachPoint(CCRC32 point, int& found, CMatrix* matrix);
    int GetNodeCount();
    void GetNodePos(int node, CVector& out);
    void Attach(CRender* child, unsigned long point);
    void Attach(CRender* child, CCRC32 point);
    void Detach(unsigned long point, int flags);
    void Detach(CCRC32 point, int flags);

    // Text for the workspace: formatted into a shared buffer, cut to fit it. Returns the length
    // passed on, 0 when there is no workspace.
    int Attach(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void AttachText(const char* text);

    // Animation: the animator is owned and freed here, made by the first animation attached;
    // the movement vector is handed to the next animator made for a base animation. Without an
    // animator the calls below do nothing (and answer null or false).
    void Attach(CAnimation* animation, int* animFlag, float speed, int keepTime);
    void AttachOverlay(CAnimation* animation, float speed, int* animFlag, float weight, unsigned long* id,
                       bool syncTime);
    void AttachAnimationData(unsigned long id, float speed, float weight, int* animFlag);
    void AttachWeight(unsigned long id, float weight);
    void SetTimecode(unsigned long id, float time);
    void ReScaleAnimation(float speed);
    void DeleteAnimFlag(int* animFlag);
    void KillAnimation(unsigned long id);
    CAnimation* GetAnimation();
    void Animate();
    bool RegisterAnimationMessageObject(HGOBJECT object);
    bool DescribeAnimation(unsigned long id, float& speed, float& weight, float& time, float& endTime);
    void KillAnimation();
    void RegisterAnimationMovementPointer(CVector* movement) { pMovement = movement; }

    // Collision, through the resource's collision data. at null means the render's position.
    bool IsCollision(const CVector* point, float radius, const CVector* at);
    bool IsCollision(const fRECT& rect, const CVector* at);
    float IsCollision(const CVector* from, const CVector* to, const CVector* at);
    bool IsCollision(CRender* other, const CVector* at);
    bool IsCollisionSimple();
    unsigned long GetCollisionFlags();
    float GetPlottingRadius(CVector* centre) const;

    // The ground under the render: the terrain map of its location sampled at its position; 0
    // (and "up") without a location or a position. UpdateLocation keeps the location while the
    // render stays inside it and otherwise asks the world, so it is cheap to call every frame.
    float GetHeightData();
    float GetHeightData(CVector& normal);
    void UpdateLocation();

    // The effect chain, newest first. Detach takes one effect off without ejecting it;
    // EjectAllEffects takes them all off and tells each (reparenting them under the object
    // root when asked, so they outlive the owner's object).
    void Attach(GEffect* effect);
    void Detach(GEffect* effect);
    void EjectAllEffects(bool reparent);
    // Draws the render's effects and, unless one of them says otherwise, its resource; only
    // renders of the viewport the current layer shows are drawn.
    void Display();

    // Renders drawn on screen this pass with their screen boxes, for picking.
    struct Selected {
        HGOBJECT Handle;
        RECT Rect;
    };
    enum { kSelectedListSize = 1024 };
    static void NewSelectableList() { pSelected = SelectedList; }
    // Adds nothing when the render reports no object, or once the list is full.
    void AddSelectableRender(const RECT& rect);
    static void ResetSelectable() { pSelector = SelectedList; }
    static Selected* GetNextSelectable() { return pSelector < pSelected ? pSelector++ : nullptr; }
    void NotOnScreen();
    static Selected SelectedList[kSelectedListSize];
    static Selected* pSelected;
    static Selected* pSelector;

    // Heads of the display list and the animated list; newest first.
    static CRender FirstRender;
    static CRender FirstAnimatedRender;

private:
    // A destroyed resource detaches itself from every listed render.
    friend class CRendResource;
    // The scene tree keeps its links and plotted box in the render.
    friend class COctTree;
    // The frame re-plots moved renders and sorts and empties the lists.
    friend class CRenderer;

    CCollisionData* GetCollisionData() const;
    void InsertAfter(CRender& head);
    void RemoveFromList();
    void ReleaseWorkspace();
    void TakePlottingCircle();

    // Where the render is plotted in the scene tree.
    CRender* pTreePrev;
    CRender* pTreeNext;
    COctTreeNode* pTreeNode;
    CVector PlotMin;
    CVector PlotMax;
    float PlotVolume;
    CVector PlotPos;
    short PlotViewport;
    CRendResource* pPlotResource;

    // The display list or the animated list.
    CRender* pListPrev;
    CRender* pListNext;

    const CVector* pPos;
    CVector* pRot;
    CVector* pOffset;
    CVector* pMovement;
    const CVector4* pColour;
    CRendResource* pResource;
    CRendWorkspace* pWorkspace;
    CAnimator* pAnimator;
    Material* pMaterials;
    LocationEntry* pLocation;
    short Viewport;
    int IndexValue;
    float LerpValue;
    float CullRadius;
    unsigned long MergedPriority; // high word the priority, low word the sort modifier + 0x8000
    unsigned long Flags;
    HGOBJECT Selectable;
    GEffect* pRootEffect;
    CLineBatchSource* pLineBatchSource;
    float HackFloat1;
    float HackFloat2;
    CVector PlottingCentre;
    float PlottingRadius;
    GObject* pParent;
    const char* pParentClassName;
};
