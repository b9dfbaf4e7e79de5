// The draw calls: gather the streams and indices, run the vertex stage once per vertex
// used, assemble the primitives and hand them to the rasterizer.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "Buffers.h"
#include "Device.h"
#include "PixelPipeline.h"
#include "RasterBatch.h"
#include "Rasterizer.h"
#include "Texture.h"
#include "VertexDeclaration.h"
#include "VertexProcessor.h"

namespace d3d9sw {

namespace {

// The widest range of vertex indices one draw may touch (the renderer's meshes use 16-bit
// indices); it bounds the vertex cache's memory whatever the indices say.
constexpr int64_t kMaxDrawVertices = int64_t(1) << 18;

UINT VertexCount(D3DPRIMITIVETYPE type, UINT primitives)
{
    switch (type) {
    case D3DPT_POINTLIST:
        return primitives;
    case D3DPT_LINELIST:
        return primitives * 2;
    case D3DPT_LINESTRIP:
        return primitives + 1;
    case D3DPT_TRIANGLELIST:
        return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return primitives + 2;
    default:
        return 0;
    }
}

// Vertices processed on first use, each at most once per draw. The storage is the device's,
// kept from draw to draw so that drawing does not allocate.
class VertexCache {
public:
    VertexCache(VertexProcessor& processor, const Rasterizer& raster, int64_t lowest, size_t count,
                std::vector<RasterVertex>& vertices, std::vector<uint8_t>& status)
        : processor_(processor), raster_(raster), lowest_(lowest), count_(count), vertices_(vertices), status_(status)
    {
        if (vertices_.size() < count)
            vertices_.resize(count);
        status_.assign(count, kPending);
    }

    const RasterVertex* Get(int64_t index)
    {
        int64_t slot = index - lowest_;
        if (index < 0 || slot < 0 || size_t(slot) >= count_)
            return nullptr;
        uint8_t& status = status_[size_t(slot)];
        RasterVertex& vertex = vertices_[size_t(slot)];
        if (status == kPending) {
            status = processor_.Process(UINT(index), vertex.shaded) ? kReady : kMissing;
            if (status == kReady)
                raster_.Prepare(vertex);
        }
        return status == kReady ? &vertex : nullptr;
    }

    // Shades every vertex that order uses before the primitives ask for them, so that the
    // slices of primitives recorded on the batch's threads only read the cache. A vertex's
    // values depend on its own inputs alone, so which thread shades it and when changes
    // nothing; a large draw shades on the batch's threads, each range of slots with its own
    // copy of the processor, whose register file is scratch.
    void ShadeAhead(RasterBatch& batch, const std::vector<int64_t>& order)
    {
        constexpr size_t kLeastSlots = 256, kMostRanges = 64;
        if (count_ < 2 * kLeastSlots) {
            for (int64_t index : order)
                Get(index);
            return;
        }
        for (int64_t index : order) {
            int64_t slot = index - lowest_;
            if (slot >= 0 && size_t(slot) < count_)
                status_[size_t(slot)] = kWanted;
        }
        const size_t slots = std::max(kLeastSlots, (count_ + kMostRanges - 1) / kMostRanges);
        const size_t ranges = (count_ + slots - 1) / slots;
        std::vector<VertexProcessor> processors(ranges, processor_);
        batch.ForEach(ranges, [&](size_t range) {
            for (size_t slot = range * slots; slot < std::min(count_, (range + 1) * slots); ++slot) {
                if (status_[slot] != kWanted)
                    continue;
                RasterVertex& vertex = vertices_[slot];
                status_[slot] =
                    processors[range].Process(UINT(lowest_ + int64_t(slot)), vertex.shaded) ? kReady : kMissing;
                if (status_[slot] == kReady)
                    raster_.Prepare(vertex);
            }
        });
    }

private:
    enum : uint8_t { kPending, kWanted, kReady, kMissing };
    VertexProcessor& processor_;
    const Rasterizer& raster_;
    int64_t lowest_;
    size_t count_;
    std::vector<RasterVertex>& vertices_;
    std::vector<uint8_t>& status_;
};

} // namespace

bool Device::Layout(std::vector<D3DVERTEXELEMENT9>& layout) const
{
    if (state_.declaration) {
        layout = state_.declaration->Elements();
        return true;
    }
    if (state_.fvf == 0)
        return false;
    UINT stride;
    layout = VertexDeclaration::FromFVF(state_.fvf, stride);
    return true;
}

namespace {

// The highest vertex index whose every element lies inside its stream, or -1.
int64_t LastReadableVertex(const std::vector<D3DVERTEXELEMENT9>& layout, const StreamView* streams)
{
    int64_t last = INT64_MAX;
    for (const D3DVERTEXELEMENT9& e : layout) {
        const StreamView& s = streams[e.Stream];
        size_t end = size_t(e.Offset) + VertexDeclaration::TypeSize(e.Type);
        if (!s.data || s.size < end)
            return -1;
        if (s.stride != 0)
            last = std::min<int64_t>(last, int64_t((s.size - end) / s.stride));
    }
    return last;
}

} // namespace

void Device::StreamViews(StreamView* views) const
{
    for (int i = 0; i < kStreams; ++i) {
        const StreamSource& s = state_.streams[i];
        views[i] = StreamView();
        if (!s.buffer || s.offset > s.buffer->Size())
            continue;
        views[i].data = s.buffer->Data() + s.offset;
        views[i].size = s.buffer->Size() - s.offset;
        views[i].stride = s.stride;
    }
}

HRESULT Device::Draw(DrawCall& call)
{
    ++draws_;
    try {
        return DrawChecked(call);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Device::DrawChecked(DrawCall& call)
{
    UINT vertices = VertexCount(call.type, call.primitives);
    if (call.primitives > FakeAdapter::Current().Caps.MaxPrimitiveCount || (vertices == 0 && call.primitives != 0))
        return D3DERR_INVALIDCALL;
    std::vector<D3DVERTEXELEMENT9> layout;
    if (!Layout(layout))
        return D3DERR_INVALIDCALL;
    if (call.primitives == 0 || cooperative_ != FakeAdapter::DeviceState::Operational)
        return D3D_OK;

    // The vertex indices the draw reads, in order, in storage kept from draw to draw.
    std::vector<int64_t>& order = drawOrder_;
    order.resize(vertices);
    int64_t lowest = INT64_MAX, highest = INT64_MIN;
    for (UINT i = 0; i < vertices; ++i) {
        int64_t index;
        if (call.indices) {
            uint64_t at = (uint64_t(call.firstIndex) + i) * (call.index32 ? 4 : 2);
            if (at + (call.index32 ? 4 : 2) > call.indexBytes)
                return D3DERR_INVALIDCALL;
            uint32_t raw = 0;
            std::memcpy(&raw, call.indices + at, call.index32 ? 4 : 2);
            index = int64_t(call.baseVertex) + raw;
        } else {
            index = int64_t(call.startVertex) + i;
        }
        order[i] = index;
        lowest = std::min(lowest, index);
        highest = std::max(highest, index);
    }
    // Vertices past the streams' data are never read: primitives that use them are dropped.
    highest = std::min(highest, LastReadableVertex(layout, call.streams));
    if (lowest < 0)
        return D3DERR_INVALIDCALL;
    if (highest < lowest)
        return D3D_OK;
    if (highest - lowest >= kMaxDrawVertices)
        return D3DERR_INVALIDCALL;

    VertexProcessor processor(state_, layout, call.streams);
    auto pixels = std::make_unique<PixelPipeline>(state_, renderTarget_, depthStencil_, processor.Fog(),
                                                  processor.DepthInW(), !FakeAdapter::Current().DisableFastPaths);
    const RECT bounds = TargetBounds();
    const bool lastPixel = state_.render[D3DRS_LASTPIXEL] != FALSE;
    const PixelPipeline* stage = pixels.get();
    if (batch_) {
        batch_->BeginDraw(std::move(pixels), bounds, lastPixel, DrawResources());
        stage = &batch_->Pixels();
    }
    const DWORD cullMode = state_.render[D3DRS_CULLMODE];
    auto rasterizer = [&](RecordSlice* slice) {
        return Rasterizer(*stage, state_.viewport, bounds, cullMode, lastPixel, slice);
    };
    const Rasterizer prepare = rasterizer(nullptr);
    VertexCache cache(processor, prepare, lowest, size_t(highest - lowest + 1), shadedVertices_, vertexStatus_);

    // Primitives first .. end - 1, in order.
    auto assemble = [&](Rasterizer& raster, size_t first, size_t end) {
        auto triangle = [&](UINT a, UINT b, UINT c) {
            const RasterVertex* va = cache.Get(order[a]);
            const RasterVertex* vb = cache.Get(order[b]);
            const RasterVertex* vc = cache.Get(order[c]);
            if (va && vb && vc)
                raster.Triangle(*va, *vb, *vc);
        };
        auto line = [&](UINT a, UINT b) {
            const RasterVertex* va = cache.Get(order[a]);
            const RasterVertex* vb = cache.Get(order[b]);
            if (va && vb)
                raster.Line(va->shaded, vb->shaded);
        };
        for (UINT p = UINT(first); p < end; ++p) {
            switch (call.type) {
            case D3DPT_TRIANGLELIST:
                triangle(3 * p, 3 * p + 1, 3 * p + 2);
                break;
            // Odd strip triangles swap two vertices so every triangle keeps the strip's winding.
            case D3DPT_TRIANGLESTRIP:
                (p & 1) ? triangle(p, p + 2, p + 1) : triangle(p, p + 1, p + 2);
                break;
            case D3DPT_TRIANGLEFAN:
                triangle(p + 1, p + 2, 0);
                break;
            case D3DPT_LINELIST:
                line(2 * p, 2 * p + 1);
                break;
            case D3DPT_LINESTRIP:
                line(p, p + 1);
                break;
            case D3DPT_POINTLIST:
                line(p, p);
                break;
            default:
                break;
            }
        }
    };
    if (!batch_) {
        Rasterizer raster = rasterizer(nullptr);
        assemble(raster, 0, call.primitives);
        return D3D_OK;
    }
    cache.ShadeAhead(*batch_, order);
    batch_->Record(call.primitives, [&](size_t first, size_t end, RecordSlice& slice) {
        Rasterizer raster = rasterizer(&slice);
        assemble(raster, first, end);
    });
    if (batch_->Full())
        batch_->Flush();
    return D3D_OK;
}

// What a recorded draw reads and writes: the batch keeps these alive until it is covered.
std::vector<IUnknown*> Device::DrawResources() const
{
    std::vector<IUnknown*> objects{renderTarget_};
    if (depthStencil_)
        objects.push_back(depthStencil_);
    for (Texture* texture : state_.textures)
        if (texture)
            objects.push_back(texture);
    return objects;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount)
{
    auto guard = Guard();
    DrawCall call{};
    call.type = PrimitiveType;
    call.primitives = PrimitiveCount;
    call.startVertex = StartVertex;
    StreamViews(call.streams);
    return Draw(call);
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT, UINT, UINT startIndex,
                                     UINT primCount)
{
    auto guard = Guard();
    if (!state_.indices)
        return D3DERR_INVALIDCALL;
    DrawCall call{};
    call.type = PrimitiveType;
    call.primitives = primCount;
    call.indices = state_.indices->Data();
    call.indexBytes = state_.indices->Size();
    call.index32 = state_.indices->Format() == D3DFMT_INDEX32;
    call.firstIndex = startIndex;
    call.baseVertex = BaseVertexIndex;
    StreamViews(call.streams);
    return Draw(call);
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, const void* pVertexStreamZeroData,
                                UINT VertexStreamZeroStride)
{
    auto guard = Guard();
    if (!pVertexStreamZeroData || VertexStreamZeroStride == 0)
        return D3DERR_INVALIDCALL;
    DrawCall call{};
    call.type = PrimitiveType;
    call.primitives = PrimitiveCount;
    call.streams[0].data = static_cast<const uint8_t*>(pVertexStreamZeroData);
    call.streams[0].size = size_t(VertexCount(PrimitiveType, PrimitiveCount)) * VertexStreamZeroStride;
    call.streams[0].stride = VertexStreamZeroStride;
    // The user pointer replaces stream 0 for this draw, as on the hardware.
    SafeRelease(state_.streams[0].buffer);
    state_.streams[0] = StreamSource();
    return Draw(call);
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices,
                                       UINT PrimitiveCount, const void* pIndexData, D3DFORMAT IndexDataFormat,
                                       const void* pVertexStreamZeroData, UINT VertexStreamZeroStride)
{
    auto guard = Guard();
    if (!pIndexData || !pVertexStreamZeroData || VertexStreamZeroStride == 0 ||
        (IndexDataFormat != D3DFMT_INDEX16 && IndexDataFormat != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    DrawCall call{};
    call.type = PrimitiveType;
    call.primitives = PrimitiveCount;
    call.index32 = IndexDataFormat == D3DFMT_INDEX32;
    call.indices = static_cast<const uint8_t*>(pIndexData);
    call.indexBytes = size_t(VertexCount(PrimitiveType, PrimitiveCount)) * (call.index32 ? 4 : 2);
    // Only vertices MinVertexIndex .. MinVertexIndex + NumVertices - 1 are readable.
    call.streams[0].data = static_cast<const uint8_t*>(pVertexStreamZeroData);
    call.streams[0].size = (size_t(MinVertexIndex) + NumVertices) * VertexStreamZeroStride;
    call.streams[0].stride = VertexStreamZeroStride;
    SafeRelease(state_.streams[0].buffer);
    state_.streams[0] = StreamSource();
    SafeRelease(state_.indices);
    return Draw(call);
}

} // namespace d3d9sw
