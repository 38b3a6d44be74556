// The entity layer with a small 8-bit target: a 32 x 32 buffer, a view on it, luminance rows
// that keep every colour (so drawn bytes are face colours), the render queue, and hand-made
// geometry owned by the fixture.
#pragma once
#include <memory>
#include <vector>

#include "Objkr/bspcache.h"
#include "render/entitydraw.h"
#include "Objkr/geometry.h"
#include "objkr_fixture.h"
#include "render/graphicbuffer.h"
#include "render/renderqueue.h"
#include "render/view.h"

class DrawFixture : public ObjkrFixture {
protected:
    static constexpr int kSize = 32;
    void SetUp() override;
    void TearDown() override;

    // A square face of half-size `half` in the plane z (its own frame), facing -z.
    Geometry* Square(float z, int colour, float half = 1.0f);
    // A convex polygon of n corners on a circle of the radius in the plane z.
    Geometry* Disc(float z, int colour, float radius, int corners);
    // `count` copies of one square face (a geometry whose tree fills many nodes).
    Geometry* ManySquares(int count, int colour);
    // A child of parent showing the geometry, placed at the position.
    Entity* Part(Entity* parent, Geometry* g, const Vector& position = {0, 0, 0}, const char* name = "part");
    // A root entered in the table, at the position.
    EntityTableRecord* Enter(Entity* root, const Vector& position = {0, 0, 0});
    // The camera at `eye` looking along `direction`.
    void LookFrom(const Vector& eye, const Vector& direction);
    // Draws one queued record through Entity_RenderItem.
    void DrawItem(EntityTableRecord* record, uint32_t flags);
    std::vector<uint8_t> Pixels() const;
    int CountColour(int colour) const;
    void Clear() { Graphic_Clear(&buffer, 0); }

    GraphicBuffer buffer;
    RenderView view{};

private:
    std::vector<Geometry*> geometries_;
    uint8_t savedLuma_[32][256];
};
