#pragma once
// The command stream between the drawing thread and the rasterizer's workers. Draw calls
// record their clipped, projected and culled primitives here, and clears the rectangles they
// fill; each record is binned into the screen tiles its pixel box touches. Flush covers the
// tiles on the worker pool: each tile belongs to one thread, which covers its records in the
// order they were made, so the pixels come out byte for byte as when every primitive is
// covered at once on one thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Rasterizer.h"
#include "WorkerPool.h"

namespace d3d9sw {

class RasterBatch;

// Where one thread records a contiguous run of a draw's primitives: a stream of records of its
// own, and per tile the records made since the batch last took them over, in the order made.
// Slices of one draw are recorded at the same time on different threads; the batch then
// appends their tile lists slice by slice, so every tile lists its records in primitive order.
class RecordSlice {
public:
    // A clockwise triangle and a line of the batch's current draw, in screen space.
    void Triangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c);
    void Line(const ScreenVertex& from, const ScreenVertex& to);

private:
    friend class RasterBatch;
    enum Kind : uint32_t { kTriangle, kLine, kFill };
    struct Head {
        uint32_t kind;
        uint32_t draw; // the draw of a primitive, the fill of a clear
    };
    static constexpr int kTileShift = 6; // 64 x 64 pixel tiles: a multiple of the 4-pixel groups
    static constexpr int kColumns = 8192 >> kTileShift;

    explicit RecordSlice(const RasterBatch& batch) : batch_(&batch) {}
    void Record(Kind kind, const ScreenVertex* const* vertices, int count, int x0, int y0, int x1, int y1);
    void RecordFill(uint32_t fill, const RECT& area);
    // Lists the record that starts at offset at in every tile of the pixel box.
    void Bin(size_t at, int x0, int y0, int x1, int y1);
    // Room for a record at the end of the stream, without clearing it first.
    uint8_t* Append(size_t bytes);
    // Forgets every record, with any tile lists a failed draw left behind.
    void Clear();

    const RasterBatch* batch_;
    std::vector<uint8_t> records_;            // the stream's storage, kept from batch to batch
    size_t recordBytes_ = 0;                  // how much of it the recorded primitives take
    std::vector<std::vector<uint32_t>> bins_; // record offsets per tile, kColumns tiles a row
    std::vector<uint32_t> tiles_;             // the tiles with offsets in bins_, in the order first used
};

class RasterBatch {
public:
    // threads counts the drawing thread, which covers tiles alongside the workers.
    explicit RasterBatch(int threads);
    ~RasterBatch();

    bool Empty() const { return draws_.empty() && fills_.empty(); }
    // Whether the recorded primitives take enough memory that the caller should flush.
    bool Full() const { return recordBytes_ >= kFlushBytes; }

    // Starts a draw: the primitives recorded until the next draw go through its pixel stage.
    // The batch holds a reference on each of keep (the surfaces and textures the pixel stage
    // reads and writes) until the draw is covered.
    void BeginDraw(std::unique_ptr<PixelPipeline> pixels, const RECT& bounds, bool lastPixel,
                   const std::vector<IUnknown*>& keep);
    const PixelPipeline& Pixels() const { return *draws_.back().pixels; }
    // Records primitives 0 .. count - 1 of the current draw: record(first, end, slice) records
    // primitives first .. end - 1 into slice, in their order. A draw of many primitives is cut
    // into slices that the batch's threads record at the same time, so record must only read
    // what it shares with the other slices.
    void Record(size_t count, const std::function<void(size_t, size_t, RecordSlice&)>& record);

    // A clear: fill writes the pixels of the rectangle it is given, which lies in area and in
    // one tile, after the tile's earlier records and before its later ones. The batch holds a
    // reference on each of keep until the fill is done.
    void Fill(std::function<void(const RECT&)> fill, const RECT& area, const std::vector<IUnknown*>& keep);

    // Covers every recorded primitive and starts an empty batch.
    void Flush();
    // Work that splits into independent items, on the batch's threads (between flushes).
    void ForEach(size_t count, const std::function<void(size_t)>& item) { pool_.ForEach(count, item); }

private:
    friend class RecordSlice;
    static constexpr size_t kFlushBytes = size_t(48) << 20;
    // A draw is cut into slices of at least this many primitives, and into at most
    // kSlicesPerThread a thread so that a thread slowed by other work holds up little.
    static constexpr size_t kSlicePrimitives = 256;
    static constexpr size_t kSlicesPerThread = 4;

    struct Draw {
        std::unique_ptr<PixelPipeline> pixels;
        DrawTarget target;
        size_t vertexBytes; // a stored vertex: the screen position and the varyings read
    };
    // A record in a tile's list: which slice's stream holds it, and where.
    struct Ref {
        uint32_t slice;
        uint32_t at;
    };

    // Moves the tile lists of slices 0 .. count - 1, in that order, onto the batch's tiles.
    void TakeOver(size_t count);
    void Keep(const std::vector<IUnknown*>& objects);
    void CoverTile(size_t tile) const;
    void Release();

    std::vector<Draw> draws_;
    std::vector<std::function<void(const RECT&)>> fills_;
    std::vector<std::unique_ptr<RecordSlice>> slices_; // kept from batch to batch, with their storage
    size_t recordBytes_ = 0;                           // what the slices' records take
    std::vector<std::vector<Ref>> bins_;               // records per tile, RecordSlice::kColumns tiles a row
    std::vector<uint32_t> used_;                       // the tiles with records, in the order first used
    std::vector<IUnknown*> kept_;
    WorkerPool pool_;
};

} // namespace d3d9sw
