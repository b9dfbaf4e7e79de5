// The light report overlay: one layer's light partition drawn flat on the screen, each leaf's
// point and spot lights with their reach rectangles, and each split as a line across the part
// of the plane its node covers, coloured by the kind of split.
#include <algorithm>
#include <cmath>

#include "engine/render/CLightTree.h"
#include "engine/render/PrimBatch.h"

namespace {

const int kCircleSegments = 36;
const int kReportPriority = static_cast<int>(0xFFE00000); // under the performance report

struct PlaneRect {
    float MinX, MaxX, MinY, MaxY;
};

// Ground-plane points to virtual-screen pixels: the ground's y runs up the screen.
struct ReportView {
    float Scale, CentreX, CentreY;
    CVector operator()(float x, float y) const
    {
        return CVector(320.0f + (x - CentreX) * Scale, 240.0f - (y - CentreY) * Scale, 0.0f);
    }
};

CVector4 LightColour(const LightRecord& light)
{
    return CVector4(light.Diffuse.x, light.Diffuse.y, light.Diffuse.z, 255.0f);
}

void Polyline(const ReportView& view, const float (*points)[2], int count, const CVector4& colour)
{
    StartPrimitive(0);
    SetPrimitiveColor(colour);
    for (int i = 0; i < count; ++i)
        AddPrimitiveVertex(view(points[i][0], points[i][1]));
    EndPrimitive();
}

void Circle(const ReportView& view, float x, float y, float radius, const CVector4& colour)
{
    float points[kCircleSegments][2];
    for (int i = 0; i < kCircleSegments; ++i) {
        const float a = 2.0f * 3.14159265f * float(i) / float(kCircleSegments);
        points[i][0] = x + radius * std::cos(a);
        points[i][1] = y + radius * std::sin(a);
    }
    Polyline(view, points, kCircleSegments, colour);
}

// The spot's cone: from the light to both sides of its reach point, as wide as the tree
// counts it; a spot looking straight down shows as the circle it lights.
void Cone(const ReportView& view, const LightRecord& light, const CVector4& colour)
{
    const float dx = light.Direction.x, dy = light.Direction.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    const float c = std::max(-1.0f, std::min(1.0f, 1.0f - light.Aperture));
    const float halfWidth = std::sin(std::acos(c)) * light.Radius + 1.0f;
    if (length < 1e-6f) {
        Circle(view, light.Position.x, light.Position.y, halfWidth, colour);
        return;
    }
    const float rx = light.Position.x + dx * light.Radius, ry = light.Position.y + dy * light.Radius;
    const float nx = -dy / length * halfWidth, ny = dx / length * halfWidth;
    const float points[3][2] = {{light.Position.x, light.Position.y}, {rx + nx, ry + ny}, {rx - nx, ry - ny}};
    Polyline(view, points, 3, colour);
}

void DrawLeaf(const ReportView& view, const CLightTree::Node& leaf)
{
    for (const CLightTree::PointEntry& e : leaf.Points) {
        const CVector4 colour = LightColour(*e.Light);
        if (e.Light->Type == LightRecord::TYPE_SPOT)
            Cone(view, *e.Light, colour);
        else
            Circle(view, e.Light->Position.x, e.Light->Position.y, e.Light->Radius, colour);
        const float rect[4][2] = {{e.MinX, e.MinY}, {e.MaxX, e.MinY}, {e.MaxX, e.MaxY}, {e.MinX, e.MaxY}};
        Polyline(view, rect, 4, colour);
    }
}

CVector4 SplitColour(unsigned kind)
{
    if (kind & CLightTree::SPLIT_EDGE)
        return CVector4(64, 64, 255, 255);
    if (kind & CLightTree::SPLIT_CLUSTERS)
        return CVector4(64, 255, 64, 255);
    return CVector4(128, 128, 128, 255);
}

// Left children by recursion, right ones in the loop, as the tree was built.
void DrawNode(const ReportView& view, const CLightTree::Node* node, PlaneRect range)
{
    while (node) {
        if (node->Kind & CLightTree::LEAF) {
            DrawLeaf(view, *node);
            return;
        }
        const float lo = node->OnX ? range.MinX : range.MinY, hi = node->OnX ? range.MaxX : range.MaxY;
        const float at = std::max(lo, std::min(hi, node->Split));
        float line[2][2] = {{at, range.MinY}, {at, range.MaxY}};
        if (!node->OnX) {
            line[0][0] = range.MinX;
            line[0][1] = at;
            line[1][0] = range.MaxX;
            line[1][1] = at;
        }
        Polyline(view, line, 2, SplitColour(node->Kind));
        PlaneRect left = range, right = range;
        (node->OnX ? left.MaxX : left.MaxY) = at;
        (node->OnX ? right.MinX : right.MinY) = at;
        DrawNode(view, node->Left, left);
        node = node->Right;
        range = right;
    }
}

} // namespace

void CLightTree::DrawLightReport(int layer) const
{
    const Node* root = GetRoot(layer);
    if (!root || root->Points.empty())
        return;
    PlaneRect box = {root->Points[0].MinX, root->Points[0].MaxX, root->Points[0].MinY, root->Points[0].MaxY};
    for (const PointEntry& e : root->Points) {
        box.MinX = std::min(box.MinX, e.MinX);
        box.MaxX = std::max(box.MaxX, e.MaxX);
        box.MinY = std::min(box.MinY, e.MinY);
        box.MaxY = std::max(box.MaxY, e.MaxY);
    }
    // Every entry reaches some way from its centre, so the box has an extent on both axes.
    const float width = box.MaxX - box.MinX, height = box.MaxY - box.MinY;
    const ReportView view = {std::min(420.0f / height, 560.0f / width), (box.MinX + box.MaxX) / 2,
                             (box.MinY + box.MaxY) / 2};
    BeginPrimitives(0, 1, 0);
    SetPrimitiveStage(0, 0, STAGE_LINES, nullptr);
    SetPrimitivePriority(kReportPriority);
    DrawNode(view, root, box);
    EndPrimitives();
}
