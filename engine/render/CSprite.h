#pragma once
// A sprite of packed data: one frame of a sprite sheet shown on the screen at the render's
// position (or, as a node of a skeleton, in the world), with a cached box of its frame and a
// list of 2-D attach points.
#include "engine/render/CRendResource.h"
#include "engine/render/SpriteQuads.h"

class CSimpleAnimation;

#pragma pack(push, 1)
struct AttachPoint {
    short x, y;
};

class CSprite : public CRendResource {
public:
    // Stored fields stay as the file holds them.
    CSprite() {}

    CRendWorkspace* OnAttach(CRender* render) override;
    void Render(CRender* render) override;
    void GetBoundingBox(RECT& box, int frame) override;
    int GetAttachPointCount() override { return int(NumAttachPoints); }
    const CVector& GetAttachPoint(CRender* render, int index, int& found, CMatrix* matrix) override;
    int ReturnAttachPoints(CAttachPoint* points) override;
    SpriteBatch* GetSpriteData() override { return &SpriteData; }

    SpriteBatch SpriteData;
    int BoxFrameNo;
    RECT Box;
    CSimpleAnimation* pAnimation;
    unsigned long NumAttachPoints;
    AttachPoint AttachPoints[0];
};
#pragma pack(pop)
static_assert(sizeof(CSprite) == 48, "CSprite is 48 bytes before its attach points");

// The box of a sprite frame and its following parts, in whole pixels round the origin.
void SpriteFrameBox(const SpriteBatch& batch, int frame, RECT& box);
