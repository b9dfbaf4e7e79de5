#include "RasterBatch.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <new>

namespace d3d9sw {

namespace {

constexpr size_t kVertexHead = offsetof(ScreenVertex, varying);

size_t RoundUp8(size_t bytes) { return (bytes + 7) & ~size_t(7); }

// Whole pixels below and above a position in 1/256 pixel.
int64_t Floor256(int64_t a) { return a >> 8; }
int64_t Ceil256(int64_t a) { return -(-a >> 8); }

} // namespace

void RecordSlice::Triangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c)
{
    // The pixel box as Cover works it out; nothing outside it is binned.
    const RECT& bounds = batch_->draws_.back().target.bounds;
    int64_t x0 = std::max<int64_t>(bounds.left, Ceil256(std::min({a.fx, b.fx, c.fx})));
    int64_t x1 = std::min<int64_t>(bounds.right - 1, Floor256(std::max({a.fx, b.fx, c.fx})));
    int64_t y0 = std::max<int64_t>(bounds.top, Ceil256(std::min({a.fy, b.fy, c.fy})));
    int64_t y1 = std::min<int64_t>(bounds.bottom - 1, Floor256(std::max({a.fy, b.fy, c.fy})));
    if (x0 > x1 || y0 > y1)
        return;
    const ScreenVertex* vertices[3] = {&a, &b, &c};
    Record(kTriangle, vertices, 3, int(x0), int(y0), int(x1), int(y1));
}

void RecordSlice::Line(const ScreenVertex& from, const ScreenVertex& to)
{
    // A line's pixels round its positions: one pixel of margin holds them all.
    const RECT& bounds = batch_->draws_.back().target.bounds;
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

void RecordSlice::Record(Kind kind, const ScreenVertex* const* vertices, int count, int x0, int y0, int x1, int y1)
{
    const size_t vertexBytes = batch_->draws_.back().vertexBytes;
    size_t at = recordBytes_;
    uint8_t* out = Append(sizeof(Head) + vertexBytes * size_t(count));
    Head head = {kind, uint32_t(batch_->draws_.size() - 1)};
    std::memcpy(out, &head, sizeof head);
    out += sizeof head;
    for (int i = 0; i < count; ++i, out += vertexBytes)
        std::memcpy(out, vertices[i], vertexBytes);
    Bin(at, x0, y0, x1, y1);
}

void RecordSlice::RecordFill(uint32_t fill, const RECT& area)
{
    size_t at = recordBytes_;
    uint8_t* out = Append(sizeof(Head) + sizeof(RECT));
    Head head = {kFill, fill};
    std::memcpy(out, &head, sizeof head);
    std::memcpy(out + sizeof head, &area, sizeof area);
    Bin(at, int(area.left), int(area.top), int(area.right - 1), int(area.bottom - 1));
}

void RecordSlice::Bin(size_t at, int x0, int y0, int x1, int y1)
{
    const int rows = (y1 >> kTileShift) + 1;
    if (bins_.size() < size_t(rows) * kColumns)
        bins_.resize(size_t(rows) * kColumns);
    for (int ty = y0 >> kTileShift; ty <= y1 >> kTileShift; ++ty)
        for (int tx = x0 >> kTileShift; tx <= x1 >> kTileShift; ++tx) {
            const uint32_t tile = uint32_t(ty) * kColumns + uint32_t(tx);
            std::vector<uint32_t>& bin = bins_[tile];
            if (bin.empty())
                tiles_.push_back(tile);
            bin.push_back(uint32_t(at));
        }
}

void RecordSlice::Clear()
{
    for (uint32_t tile : tiles_)
        bins_[tile].clear();
    tiles_.clear();
    recordBytes_ = 0;
}

uint8_t* RecordSlice::Append(size_t bytes)
{
    if (records_.size() - recordBytes_ < bytes)
        records_.resize(std::max(2 * records_.size(), recordBytes_ + bytes + (size_t(1) << 16)));
    uint8_t* at = &records_[recordBytes_];
    recordBytes_ += bytes;
    return at;
}

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

void RasterBatch::Record(size_t count, const std::function<void(size_t, size_t, RecordSlice&)>& record)
{
    const size_t threads = size_t(pool_.Threads());
    const size_t per =
        std::max(kSlicePrimitives, (count + kSlicesPerThread * threads - 1) / (kSlicesPerThread * threads));
    const size_t slices = threads > 1 ? std::max<size_t>(1, (count + per - 1) / per) : 1;
    while (slices_.size() < slices)
        slices_.push_back(std::unique_ptr<RecordSlice>(new RecordSlice(*this)));
    // A worker cannot hand an exception to the drawing thread: a slice that runs out of memory
    // keeps what it recorded, which stays consistent, and the draw fails once all are done.
    std::atomic<bool> failed{false};
    auto slice = [&](size_t i) {
        try {
            record(i * per, i + 1 == slices ? count : (i + 1) * per, *slices_[i]);
        } catch (const std::bad_alloc&) {
            failed.store(true, std::memory_order_relaxed);
        }
    };
    if (slices == 1)
        slice(0);
    else
        pool_.ForEach(slices, slice);
    TakeOver(slices);
    if (failed.load(std::memory_order_relaxed))
        throw std::bad_alloc();
}

void RasterBatch::TakeOver(size_t count)
{
    recordBytes_ = 0;
    for (size_t s = 0; s < slices_.size(); ++s) {
        RecordSlice& slice = *slices_[s];
        recordBytes_ += slice.recordBytes_;
        if (s >= count)
            continue;
        if (bins_.size() < slice.bins_.size())
            bins_.resize(slice.bins_.size());
        for (uint32_t tile : slice.tiles_) {
            std::vector<uint32_t>& from = slice.bins_[tile];
            std::vector<Ref>& to = bins_[tile];
            if (to.empty() && !from.empty())
                used_.push_back(tile);
            for (uint32_t at : from)
                to.push_back({uint32_t(s), at});
            from.clear();
        }
        slice.tiles_.clear();
    }
}

void RasterBatch::Fill(std::function<void(const RECT&)> fill, const RECT& area, const std::vector<IUnknown*>& keep)
{
    if (area.left >= area.right || area.top >= area.bottom)
        return;
    fills_.push_back(std::move(fill));
    Keep(keep);
    if (slices_.empty())
        slices_.push_back(std::unique_ptr<RecordSlice>(new RecordSlice(*this)));
    slices_[0]->RecordFill(uint32_t(fills_.size() - 1), area);
    TakeOver(1);
}

void RasterBatch::Keep(const std::vector<IUnknown*>& objects)
{
    for (IUnknown* object : objects) {
        object->AddRef();
        kept_.push_back(object);
    }
}

void RasterBatch::CoverTile(size_t tile) const
{
    const int shift = RecordSlice::kTileShift;
    const LONG left = LONG(tile % RecordSlice::kColumns) << shift, top = LONG(tile / RecordSlice::kColumns) << shift;
    const RECT clip{left, top, left + (1 << shift), top + (1 << shift)};
    ScreenVertex vertices[3];
    for (Ref ref : bins_[tile]) {
        const uint8_t* record = &slices_[ref.slice]->records_[ref.at];
        RecordSlice::Head head;
        std::memcpy(&head, record, sizeof head);
        if (head.kind == RecordSlice::kFill) {
            RECT area;
            std::memcpy(&area, record + sizeof head, sizeof area);
            fills_[head.draw](RECT{std::max(area.left, clip.left), std::max(area.top, clip.top),
                                   std::min(area.right, clip.right), std::min(area.bottom, clip.bottom)});
            continue;
        }
        const Draw& draw = draws_[head.draw];
        const uint8_t* in = record + sizeof head;
        int count = head.kind == RecordSlice::kTriangle ? 3 : 2;
        for (int i = 0; i < count; ++i, in += draw.vertexBytes)
            std::memcpy(&vertices[i], in, draw.vertexBytes);
        if (head.kind == RecordSlice::kTriangle)
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
    for (auto& slice : slices_)
        slice->Clear();
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
