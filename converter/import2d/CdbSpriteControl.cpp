// Reading a frame image's control marks. The image holds, on a control background: a colour
// key along the top row (the bound colour first, then one colour per control point), a
// rectangle of the bound colour round the frame's pixels, and per control point a horizontal
// line of its colour at the point's y and a vertical one at its x.
#include "converter/import2d/CdbSprite.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/import2d/CdbSpriteTexture.h"

#include <algorithm>
#include <cstdio>

namespace {

int DiagnosticCounter = 0;

void SaveDiagnostic(CzBitmap& image, const char* pattern)
{
    if (!CdbSpriteTexture::Diagnostics)
        return;
    char name[64];
    snprintf(name, sizeof name, pattern, DiagnosticCounter);
    VerbosePrintf(2, "Saving diagnostic file:%s\n", name);
    image.Save(name);
}

struct Box {
    int left = 100000, top = 100000, right = 0, bottom = 0;
};

} // namespace

void CdbSprite::PullControlPoints(CzBitmap& image, bool strict)
{
    const int width = image.GetWidth(), height = image.GetHeight();
    if (width < 2 || height < 2)
        Fatal("Pulling control points, and couldn't find a reasonable control background");
    const CPixel key = image.At(0, 0);
    int row = 0;
    while (row < height && image.At(0, row) == key)
        ++row;
    if (row == height)
        Fatal("Pulling control points, and couldn't find a reasonable control background");
    const CPixel background = image.At(0, row);
    VerbosePrintf(3, "Control Background Color is %d,%d,%d,%d\n", background.R, background.G, background.B,
                  background.A);
    const struct {
        const char* name;
        int x, y;
    } corners[] = {{"UpperRight", width - 1, 0}, {"LowerRight", width - 1, height - 1}, {"LowerLeft", 0, height - 1}};
    for (const auto& corner : corners) {
        const CPixel got = image.At(corner.x, corner.y);
        if (got != background)
            Fatal("%s corner is not control Background Color!\nWe Wanted %d,%d,%d,%d but got %d,%d,%d,%d", corner.name,
                  background.R, background.G, background.B, background.A, got.R, got.G, got.B, got.A);
    }

    // The colour key: one block per colour along the top row, each painted out afterwards.
    std::vector<CPixel> colours;
    int x = 0;
    while (image.At(x, 0) != background) {
        const CPixel colour = image.At(x, 0);
        if (colours.empty() || colours.back() != colour)
            colours.push_back(colour);
        int y = 0;
        while (image.At(x, y) != background) {
            image.At(x, y) = background;
            if (++y == height)
                Fatal("Major problem scanning out color ID blocks\nCould not remove block ID data");
        }
        if (++x == width)
            Fatal("Pulling control points, Went over looking for ctrl point colors");
    }
    BoundColour = colours.front();
    if (ControlPoints.size() < colours.size() - 1)
        ControlPoints.resize(colours.size() - 1);
    SaveDiagnostic(image, "AfterControlColors_%03d.tga");

    // The marks. Pixels inside the box, once its top row has been met, are the frame's own.
    Box box;
    for (int y = 0; y < height; ++y)
        for (x = 0; x < width; ++x) {
            const CPixel pixel = image.At(x, y);
            if (pixel == background)
                continue;
            if (pixel == BoundColour) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x);
                box.bottom = std::max(box.bottom, y);
                continue;
            }
            const auto found = std::find(colours.begin() + 1, colours.end(), pixel);
            if (found == colours.end()) {
                const bool inside = y > box.top && x > box.left && x < box.right;
                if (strict && !inside)
                    Fatal("Bad control point scan at %d,%d , Color value is %d,%d,%d,%d", x, y, pixel.R, pixel.G,
                          pixel.B, pixel.A);
                continue;
            }
            ControlPoint& point = ControlPoints[found - colours.begin() - 1];
            if (x + 1 < width && image.At(x + 1, y) == pixel) {
                if (point.y < 0)
                    point.y = y;
                for (int run = x; run < width && image.At(run, y) == pixel; ++run)
                    image.At(run, y) = background;
            } else if (y + 1 < height && image.At(x, y + 1) == pixel) {
                if (point.x < 0)
                    point.x = x;
                for (int run = y; run < height && image.At(x, run) == pixel; ++run)
                    image.At(x, run) = background;
            } else {
                Fatal("Invalid control point data at %d,%d!\n", x, y);
            }
        }
    SaveDiagnostic(image, "AfterControlPoints_%03d.tga");
    VerbosePrintf(3, "\tUnadjusted BoundingBox: %d,%d,%d,%d\n", box.left, box.top, box.right, box.bottom);
    if (box.right <= box.left || box.bottom <= box.top)
        Fatal("Bounding box has inconsistent positions.");
    if (strict) {
        for (x = box.left; x <= box.right; ++x)
            if (image.At(x, box.top) != BoundColour || image.At(x, box.bottom) != BoundColour)
                Fatal("Bad horizontal bounding box scan at x=%d", x);
        for (int y = box.top; y <= box.bottom; ++y)
            if (image.At(box.left, y) != BoundColour || image.At(box.right, y) != BoundColour)
                Fatal("Bad vertical bounding box scan at y=%d", y);
    }

    // The frame's own pixels: the extent of everything inside the box that is not bound colour.
    Box inner;
    for (int y = box.top; y <= box.bottom; ++y)
        for (x = box.left; x <= box.right; ++x)
            if (image.At(x, y) != BoundColour) {
                inner.left = std::min(inner.left, x);
                inner.top = std::min(inner.top, y);
                inner.right = std::max(inner.right, x + 1);
                inner.bottom = std::max(inner.bottom, y + 1);
            }
    if (inner.right <= inner.left)
        Fatal("Inconsistent sub-bounding box removal, maybe an empty image?");
    VerbosePrintf(3, "\tBound color is %d %d %d %d\n", BoundColour.R, BoundColour.G, BoundColour.B, BoundColour.A);
    VerbosePrintf(3, "\tAdjusted BoundingBox: %d,%d,%d,%d (%d x %d)\n", inner.left, inner.top, inner.right,
                  inner.bottom, inner.right - inner.left, inner.bottom - inner.top);
    const long centreX = inner.right - (inner.right - inner.left) / 2;
    const long centreY = inner.bottom - (inner.bottom - inner.top) / 2;

    if (ControlPoints.empty())
        ControlPoints.push_back({centreX, centreY});
    for (size_t i = 0; i < ControlPoints.size(); ++i) {
        ControlPoint& point = ControlPoints[i];
        VerbosePrintf(3, "\t\tControl: %ld,%ld -> ", point.x, point.y);
        if (point.x < 0)
            point.x = centreX;
        if (point.y < 0)
            point.y = centreY;
        point.x -= inner.left;
        point.y -= inner.top;
        if (i > 0) {
            point.x -= ControlPoints[0].x;
            point.y -= ControlPoints[0].y;
        }
        VerbosePrintf(3, "%ld,%ld\n", point.x, point.y);
    }
    image.Crop(inner.left, inner.top, inner.right, inner.bottom);
    SaveDiagnostic(image, "AfterBoundBox_%03d.tga");
    ++DiagnosticCounter;
}
