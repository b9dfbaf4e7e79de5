#pragma once
// Screen-filling rain: at construction a number of streaks is scattered through the region the
// camera sees, each with its own width, length, speed and opacity; every frame the streaks that
// lie inside the level's rain rectangle are drawn as upright quads facing the camera's heading,
// slanted by the wind.
#include "engine/effects/TBlockPool.h"
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class CRendTexture;

// One streak: position, size, fall speed and opacity (0..255).
struct RainDrop {
    float x, y, z;
    float Width;
    float Length;
    float Speed;
    float Alpha;
};
static_assert(sizeof(RainDrop) == 28, "a rain drop is seven words");

class GRainSystem : public GEffect {
    DECLARE_GOBJECT(GRainSystem, GEffect)

    GRainSystem();
    ~GRainSystem() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Render() override;

    typedef TBlockPool<RainDrop> DropPool;
    DropPool& GetDrops() { return Drops; }
    CRender& GetRender() { return RenderInstance; }
    // Calls fn for every streak in use, block by block in index order.
    template <class Fn> void ForEachDrop(Fn fn)
    {
        for (DropPool::Block* block = Drops.Head(); block != nullptr; block = block->pNext)
            for (int i = 0; i < DropPool::Block::RECORDS; ++i)
                if (!(block->FreeBits[i >> 5] & (1u << (i & 31))))
                    fn(block->Records[i]);
    }

    int Density;
    float Ceiling;
    float Floor;
    float Radius;
    DWORD RendPriority;
    CRendTexture* pTexture;
    float AlphaMin, AlphaMax;
    float SpeedMin, SpeedMax;
    float ScaleXMin, ScaleXMax;
    float ScaleYMin, ScaleYMax;
    float LimitEast, LimitWest, LimitNorth, LimitSouth;

private:
    void PlaceDrop(RainDrop& drop);
    bool InsideLimits(const RainDrop& drop) const;

    DropPool Drops;
    CVector CameraPosition;
    CVector CameraPositionCopy;
    CRender RenderInstance;
};
