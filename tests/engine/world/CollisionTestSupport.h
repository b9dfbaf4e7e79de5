#pragma once
// What the collision tests share: the fixture files loaded once, and owners that place shapes.
#include <gtest/gtest.h>

#include "core/math/CVector.h"
#include "engine/render/CRender.h"
#include "engine/world/CCollisionData.h"

// A render instance standing where a test puts it, turned by a yaw.
struct Owner {
    explicit Owner(const CVector& where, float yaw = 0.0f) : pos(where), rot(0.0f, 0.0f, yaw)
    {
        render.Attach(&pos, &rot, nullptr, nullptr);
    }
    CVector pos;
    CVector rot;
    CRender render;
};

// Loads "shapes.zel" and "damaged.zel" for the whole program.
class CollisionFiles : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};

// The block exported under the name; fails the test when it is missing.
CCollisionData* Block(const char* name);

const float kQuarterTurn = 1.57079633f;
const float kEighthTurn = 0.785398163f;
