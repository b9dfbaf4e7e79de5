#pragma once
// A resource that shows one of several resources, chosen by the render's index.
#include "engine/render/CRendResource.h"

class CAnimation;

#pragma pack(push, 1)
class CRendIndexed : public CRendResource {
public:
    CRendIndexed() {}

    // Element 0's workspace; none when the list is empty.
    CRendWorkspace* OnAttach(CRender* render) override;
    void OnUnLink(CRender* render) override;
    void Render(CRender* render) override;
    CRendResource* GetResource(CRender* render) override;
    void SetIndex(CRender* render, int index) override;
    const CVector& GetAttachPoint(CRender* render, CCRC32 point, int& found, CMatrix* matrix) override;
    const CVector& GetAttachPoint(CRender* render, int index, int& found, CMatrix* matrix) override;
    void GetBoundingBox(RECT& box, int index) override;
    void GetScreenBoundingBox(CMatrix& matrix, RECT& box) override;
    int ReturnAttachPoints(CAttachPoint* points) override;
    const CVector* GetCentroid(int index) override;
    const CVector* GetCenter(int index) override;
    void SetPalette(int palette) override;
    int GetAttachPointCount() override { return int(Count); }

    // The element at an index, null outside the list.
    CRendResource* Element(int index) const
    {
        return index >= 0 && static_cast<unsigned long>(index) < Count ? pElements[index] : nullptr;
    }

    unsigned long Count;
    CAnimation* pAnimation;
    CRendResource* pElements[0];
};
#pragma pack(pop)
static_assert(sizeof(CRendIndexed) == 12, "CRendIndexed is 12 bytes before its elements");
