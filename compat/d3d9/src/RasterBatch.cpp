#include "RasterBatch.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace d3d9sw {

namespace {

constexpr size_t kVertexHead = offsetof(ScreenVertex, varying);

size_t RoundUp8(size_t bytes) { return (bytes + 7) & ~size_t(7); }

// Whole pixels below and above a position in 1/256 pixel.
int64_t Floor256(int64_t a) { return a >> 8; }
int64_t Ceil256(int64_t a) { return -(-a >> 8); }

} // namespace

RasterBatch::RasterBatch(int threads) : pool_(threads) {}

RasterBatch::~RasterBatch() { Release(); }

void RasterBatch::BeginDraw(std::unique_ptr<PixelPipeline> pixels, const RECT& bounds, bool lastPixel,
                            const std::vector<IUnknown*>& keep)
{
    size_t vertexBytes = RoundUp8(kVertexHead + sizeof(float) * size_t(pixels->VaryingCount()));
    DrawTarget target{pixels.get(), bounds, lastPixel};
    draws_.push_back({std::move(pixels), target, vertexBytes});
    Keep(keep);
}

void RasterBatch::Fill(std::function<void(const RECT&)> fill, const RECT& area, const std::vector<IUnknown*>& keep)
{
    if (area.left >= area.right || area.top >= area.bottom)
        return;
    fills_.push_back(std::move(fill));
    Keep(keep);
    size_t at = recordBytes_;
    uint8_t* out = Append(sizeof(struct Record) + sizeof(RECT));
    struct Record head = {kFill, uint32_t(fills_.size() - 1)};
    std::memcpy(out, &head, sizeof head);
    std::memcpy(out + sizeof head, &area, sizeof area);
    Bin(at, int(area.left), int(area.top), int(area.right - 1), int(area.bottom - 1));
}

void RasterBatch::Keep(const std::vector<IUnknown*>& objects)
{
    for (IUnknown* object : objects) {
        object->AddRef();
        kept_.push_back(object);
    }
}

void RasterBatch::Triangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c)
{
    // The pixel box as Cover works it out; nothing outside it is binned.
    const RECT& bounds = draws_.back().target.bounds;
    int64_t x0 = std::max<int64_t>(bounds.left, Ceil256(std::min({a.fx, b.fx, c.fx})));
    int64_t x1 = std::min<int64_t>(bounds.right - 1, Floor256(std::max({a.fx, b.fx, c.fx})));
    int64_t y0 = std::max<int64_t>(bounds.top, Ceil256(std::min({a.fy, b.fy, c.fy})));
    int64_t y1 = std::min<int64_t>(bounds.bottom - 1, Floor256(std::max({a.fy, b.fy, c.fy})));
    if (x0 > x1 || y0 > y1)
        return;
    const ScreenVertex* vertices[3] = {&a, &b, &c};
    Record(kTriangle, vertices, 3, int(x0), int(y0), int(x1), int(y1));
}

void RasterBatch::Line(const ScreenVertex& from, const ScreenVertex& to)
{
    // A line's pixels round its positions: one pixel of margin holds them all.
    const RECT& bounds = draws_.back().target.bounds;
    float left = std::min(from.x, to.x) - 1.0f, right = std::max(from.x, to.x) + 1.0f;
    float top = std::min(from.y, to.y) - 1.0f, bottom = std::max(from.y, to.y) + 1.0f;
    int x0 = std::max<int>(bounds.left, int(std::max(left, -1.0f)));
    int x1 = std::min<int>(bounds.right - 1, int(std::min(right, 16384.0f)));
    int y0 = std::max<int>(bounds.top, int(std::max(top, -1.0f)));
    int y1 = std::min<int>(bounds.bottom - 1, int(std::min(bottom, 16384.0f)));
    if (x0 > x1 || y0 > y1)
        return;
    const ScreenVertex* vertices[2] = {&from, &to};
    Record(kLine, vertices, 2, x0, y0, x1, y1);
}

void RasterBatch::Record(Kind kind, const ScreenVertex* const* vertices, int count, int x0, int y0, int x1, int y1)
{
    const Draw& draw = draws_.back();
    size_t at = recordBytes_;
    uint8_t* out = Append(sizeof(struct Record) + draw.vertexBytes * size_t(count));
    struct Record head = {kind, uint32_t(draws_.size() - 1)};
    std::memcpy(out, &head, sizeof head);
    out += sizeof head;
    for (int i = 0; i < count; ++i, out += draw.vertexBytes)
        std::memcpy(out, vertices[i], draw.vertexBytes);
    Bin(at, x0, y0, x1, y1);
}

void RasterBatch::Bin(size_t at, int x0, int y0, int x1, int y1)
{
    const int rows = (y1 >> kTileShift) + 1;
    if (bins_.size() < size_t(rows) * kColumns)
        bins_.resize(size_t(rows) * kColumns);
    for (int ty = y0 >> kTileShift; ty <= y1 >> kTileShift; ++ty)
        for (int tx = x0 >> kTileShift; tx <= x1 >> kTileShift; ++tx) {
            std::vector<uint32_t>& bin = bins_[size_t(ty) * kColumns + size_t(tx)];
            if (bin.empty())
                used_.push_back(uint32_t(size_t(ty) * kColumns + size_t(tx)));
            bin.push_back(uint32_t(at));
        }
}

uint8_t* RasterBatch::Append(size_t bytes)
{
    if (records_.size() - recordBytes_ < bytes)
        records_.resize(std::max(2 * records_.size(), recordBytes_ + bytes + (size_t(1) << 16)));
    uint8_t* at = &records_[recordBytes_];
    recordBytes_ += bytes;
    return at;
}

void RasterBatch::CoverTile(size_t tile) const
{
    const LONG left = LONG(tile % kColumns) << kTileShift, top = LONG(tile / kColumns) << kTileShift;
    const RECT clip{left, top, left + (1 << kTileShift), top + (1 << kTileShift)};
    ScreenVertex vertices[3];
    for (uint32_t at : bins_[tile]) {
        struct Record head;
        std::memcpy(&head, &records_[at], sizeof head);
        if (head.kind == kFill) {
            RECT area;
            std::memcpy(&area, &records_[at + sizeof head], sizeof area);
            fills_[head.draw](RECT{std::max(area.left, clip.left), std::max(area.top, clip.top),
                                   std::min(area.right, clip.right), std::min(area.bottom, clip.bottom)});
            continue;
        }
        const Draw& draw = draws_[head.draw];
        const uint8_t* in = &records_[at + sizeof head];
        int count = head.kind == kTriangle ? 3 : 2;
        for (int i = 0; i < count; ++i, in += draw.vertexBytes)
            std::memcpy(&vertices[i], in, draw.vertexBytes);
        if (head.kind == kTriangle)
            Rasterizer::Cover(draw.target, vertices[0], vertices[1], vertices[2], clip);
        else
            Rasterizer::CoverLine(draw.target, vertices[0], vertices[1], clip);
    }
}

void RasterBatch::Flush()
{
    pool_.ForEach(used_.size(), [this](size_t i) { CoverTile(used_[i]); });
    for (uint32_t tile : used_)
        bins_[tile].clear();
    used_.clear();
    recordBytes_ = 0;
    draws_.clear();
    fills_.clear();
    Release();
}

void RasterBatch::Release()
{
    for (IUnknown* object : kept_)
        object->Release();
    kept_.clear();
}

} // namespace d3d9sw
