#include "engine/render/CRendLineBatch.h"

#include <cmath>

#include "engine/render/CRender.h"
#include "engine/render/CSegmentedLine.h"
#include "engine/render/Camera.h"
#include "engine/render/NamedResource.h"
#include "engine/render/PrimBatch.h"
#include "engine/zel/CZelFixupManager.h"

ZEL_REGISTER_RECORD(CRendLineBatch);

namespace {
CRendLineBatch RendLineBatch;
NamedResourcePublisher PublishRendLineBatch("RendLineBatch", &RendLineBatch);

void DrawLine(const CSegmentedLine& line)
{
    BeginPrimitives(0, 1, 1);
    SetPrimitiveStage(0, 0, 0x12, nullptr);
    SetPrimitiveColor(line.GetColor());
    const float t = line.GetThickness();
    for (int i = 0; i + 1 < line.GetCount(); ++i) {
        const CVector a = *line.GetPoint(i), b = *line.GetPoint(i + 1);
        const float dx = std::fabs(b.x - a.x), dy = std::fabs(b.y - a.y);
        // A mostly horizontal segment is widened along y, a mostly vertical one along x.
        const CVector widen = (dy == 0.0f || dx >= dy) ? CVector(0, t, 0) : CVector(t, 0, 0);
        StartPrimitive(0);
        AddPrimitiveVertex(a);
        AddPrimitiveVertex(b);
        AddPrimitiveVertex(b + widen);
        AddPrimitiveVertex(a + widen);
        EndPrimitive();
    }
    EndPrimitives();
}
} // namespace

void CRendLineBatch::Render(CRender* render)
{
    CLineBatchSource* source = render->GetLineBatchSource();
    if (!source)
        return;
    const int token = source->BeginLines();
    if (!token)
        return;
    PushIdentityMatrix();
    // A hidden first line hides the whole batch; later lines draw whether shown or not.
    bool first = true;
    for (CSegmentedLine* line = source->NextLine(token); line; line = source->NextLine(token)) {
        if (first && !line->IsVisible())
            break;
        first = false;
        DrawLine(*line);
    }
    PopMatrix();
    source->EndLines(token);
}
