#pragma once
// The collision element of a mesh's collision layer: one primitive per surface the layer
// uses (a cylinder, a sphere or a polygonal volume between a top and a bottom plane), written
// as the engine's collision data followed by the primitives' records.
#include "converter/core/CdbElement.h"

#include <memory>
#include <vector>

struct CollPoint {
    float X, Y, Z;
};

class CCollisionPrim {
public:
    virtual ~CCollisionPrim() = default;
    virtual void AddPoint(const CollPoint&) {}
    virtual void AddSide(const CollPoint&, const CollPoint&) {}
    virtual void SetPlane(const CollPoint&, float, float) {}
    // Adds every point into sum; returns the number of points.
    virtual int AccumulatePoints(CollPoint& sum);
    // The largest distance in X and Y of a point from center.
    virtual float GetPlotRadius(const CollPoint& center);
    virtual void Dump(CZelWriter&, bool) {}

    std::vector<CollPoint> Points;
};

class CrhuCylinderCollision : public CCollisionPrim {
public:
    void AddPoint(const CollPoint& point) override { Points.push_back(point); }
    void Dump(CZelWriter& writer, bool last) override;
};

class CrhuSphereCollision : public CrhuCylinderCollision {
public:
    void Dump(CZelWriter& writer, bool last) override;
};

class CVolCollision : public CCollisionPrim {
public:
    struct VectorPair {
        CollPoint Start, End;
    };
    struct Plane {
        float X = 0.0f, Y = 0.0f, Z = -1.0e38f, DeltaX = 0.0f, DeltaY = 0.0f;
    };

    void AddSide(const CollPoint& a, const CollPoint& b) override;
    void SetPlane(const CollPoint& point, float deltaX, float deltaY) override;
    int AccumulatePoints(CollPoint& sum) override;
    void Dump(CZelWriter& writer, bool last) override;

    std::vector<VectorPair> Sides;
    Plane Planes[2];

private:
    void BuildLoop();
};

class CdbCollision : public CdbElement {
public:
    CdbCollision(const char* label, CDatabase* database, unsigned long type);
    ~CdbCollision() override;

    void Dump(CZelWriter& writer) override;

    unsigned long Type;
    std::vector<CCollisionPrim*> Primitives; // owned
};
