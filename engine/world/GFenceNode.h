#pragma once
// A fence is a closed polygon on the ground made of the nodes a level designer places. All
// nodes form one list ordered by their Index, which is the polygon's vertex order; FencePoint
// keeps a point inside it by moving a point outside onto the nearest place on the fence.
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class CRendResource;

class GFenceNode : public GEffect {
    DECLARE_GOBJECT(GFenceNode, GEffect)

    // RenderedIndex until the first draw numbers the list.
    static constexpr int NOT_RENDERED = -100;

    GFenceNode();
    ~GFenceNode() override;

    int SpecifyEditable(EditableInfo*& cursor) override;
    // Repairs the list order after an edit of Index; draws nothing itself.
    bool Render() override;

    // Moves the point's x and y onto the fence when it lies outside; nothing with fewer than
    // three nodes.
    static void FencePoint(CVector& point);
    // The first node for null, else the one after node (null at the end).
    static GFenceNode* GetNode(GFenceNode* node);

    static GFenceNode* pRoot;

    int Index;
    int RenderedIndex;
    CRendResource* pResource;
    GFenceNode* pNextFenceNode;
    GFenceNode* pPrevFenceNode;
    // Built for live nodes only: class prototypes never touch a render instance.
    union {
        CRender NodeRender;
    };

private:
    void Register();
    void Unregister();
    static void Renumber();
};
