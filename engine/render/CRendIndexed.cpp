#include "engine/render/CRendIndexed.h"

#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/zel/CZelFixupManager.h"

static_assert(sizeof(CRendIndexed) == sizeof(rhu::CRendIndexed), "CRendIndexed differs from the record header");

ZEL_REGISTER_RECORD(CRendIndexed);

CRendWorkspace* CRendIndexed::OnAttach(CRender* render)
{
    CRendResource* first = Element(0);
    return first ? first->OnAttach(render) : nullptr;
}

void CRendIndexed::OnUnLink(CRender* render)
{
    if (CRendResource* e = Element(render->Index()))
        e->OnUnLink(render);
}

void CRendIndexed::Render(CRender* render)
{
    if (CRendResource* e = Element(render->Index()))
        e->Render(render);
}

CRendResource* CRendIndexed::GetResource(CRender* render) { return Element(render->Index()); }

void CRendIndexed::SetIndex(CRender* render, int index)
{
    if (!render)
        return;
    if (CRendResource* e = Element(index))
        e->OnUnLink(render);
}

const CVector& CRendIndexed::GetAttachPoint(CRender* render, CCRC32 point, int& found, CMatrix* matrix)
{
    found = 0;
    CRendResource* e = Element(render->Index());
    return e ? e->GetAttachPoint(render, point, found, matrix) : NullVector;
}

const CVector& CRendIndexed::GetAttachPoint(CRender* render, int index, int& found, CMatrix* matrix)
{
    found = 0;
    CRendResource* e = Element(render->Index());
    return e ? e->GetAttachPoint(render, index, found, matrix) : NullVector;
}

void CRendIndexed::GetBoundingBox(RECT& box, int index)
{
    if (CRendResource* first = Element(0))
        first->GetBoundingBox(box, index);
}

void CRendIndexed::GetScreenBoundingBox(CMatrix& matrix, RECT& box)
{
    if (CRendResource* first = Element(0))
        first->GetScreenBoundingBox(matrix, box);
}

int CRendIndexed::ReturnAttachPoints(CAttachPoint* points)
{
    CRendResource* first = Element(0);
    return first ? first->ReturnAttachPoints(points) : 0;
}

const CVector* CRendIndexed::GetCentroid(int index)
{
    CRendResource* e = Element(index);
    return e ? e->GetCentroid(index) : nullptr;
}

const CVector* CRendIndexed::GetCenter(int index)
{
    CRendResource* e = Element(index);
    return e ? e->GetCenter(index) : nullptr;
}

void CRendIndexed::SetPalette(int palette)
{
    if (CRendResource* e = Element(palette))
        e->SetPalette(palette);
}
