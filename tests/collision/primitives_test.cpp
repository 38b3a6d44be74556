// The geometric primitives of the contact tests, case by case.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "collision/colshape.h"

namespace {

struct SweptCase {
    const char* what;
    Vector p, v;
    float longest;
    bool hit;
    float t;       // when hit
    Vector normal;  // when hit
};

TEST(SweptPointBox, ContactCases) {
    const Vector mn{-1, -1, -1}, mx{1, 1, 1};
    const std::vector<SweptCase> cases = {
        {"enters the -x face", {-3, 0, 0}, {10, 0, 0}, 1.0f, true, 0.2f, {-1, 0, 0}},
        {"enters the +z face", {0, 0, 3}, {0, 0, -4}, 1.0f, true, 0.5f, {0, 0, 1}},
        {"too slow to arrive this frame", {-3, 0, 0}, {1, 0, 0}, 1.0f, false, 0, {}},
        {"moving away", {-3, 0, 0}, {-10, 0, 0}, 1.0f, false, 0, {}},
        {"passes beside", {-3, 0, 1.5f}, {10, 0, 0}, 1.0f, false, 0, {}},
        {"0.05 inside moving deeper: negative time", {-0.95f, 0, 0}, {1, 0, 0}, 1.0f, true, -0.05f, {-1, 0, 0}},
        {"0.2 inside moving deeper: no contact", {-0.8f, 0, 0}, {1, 0, 0}, 1.0f, false, 0, {}},
        {"0.05 inside moving out: no contact", {-0.95f, 0, 0}, {-1, 0, 0}, 1.0f, false, 0, {}},
        {"parallel to x inside the x slab enters by z", {0.5f, 0, -2}, {0, 0, 2}, 1.0f, true, 0.5f, {0, 0, -1}},
        {"parallel to x outside the x slab", {1.5f, 0, -2}, {0, 0, 2}, 1.0f, false, 0, {}},
        {"corner: z entry not strictly later keeps x", {-2, 0, -2}, {1, 0, 1}, 2.0f, true, 1.0f, {-1, 0, 0}},
    };
    for (const SweptCase& c : cases) {
        float t = 99;
        Vector n{9, 9, 9};
        const int hit = Collision_SweptPointBox(c.p, c.v, mn, mx, c.longest, 0.0f, &t, &n);
        EXPECT_EQ(hit != 0, c.hit) << c.what;
        if (hit && c.hit) {
            EXPECT_NEAR(t, c.t, 1e-5f) << c.what;
            EXPECT_EQ(n.x, c.normal.x) << c.what;
            EXPECT_EQ(n.y, c.normal.y) << c.what;
            EXPECT_EQ(n.z, c.normal.z) << c.what;
        }
    }
}

TEST(SweptPointBox, MarginGrowsTheBox) {
    float t;
    Vector n;
    EXPECT_FALSE(Collision_SweptPointBox({-3, 0, 1.2f}, {10, 0, 0}, {-1, -1, -1}, {1, 1, 1}, 1.0f, 0.0f, &t, &n));
    EXPECT_TRUE(Collision_SweptPointBox({-3, 0, 1.2f}, {10, 0, 0}, {-1, -1, -1}, {1, 1, 1}, 1.0f, 0.25f, &t, &n));
    EXPECT_NEAR(t, 0.175f, 1e-5f);
}

TEST(SweptSpheres, RestApproachAndClamp) {
    float t;
    Vector sep;
    // Overlapping but both at rest: never a contact.
    EXPECT_FALSE(Collision_SweptSpheres({0, 0, 0}, {0, 0, 0}, {0.5f, 0, 0}, {0, 0, 0}, 2.0f, 0.1f, &t, &sep));
    // Approaching: closest at t = 1 but the frame ends at 0.1, separation 9 > 2.
    EXPECT_FALSE(Collision_SweptSpheres({0, 0, 0}, {10, 0, 0}, {10, 0, 0}, {0, 0, 0}, 2.0f, 0.1f, &t, &sep));
    EXPECT_TRUE(Collision_SweptSpheres({0, 0, 0}, {10, 0, 0}, {10, 0, 0}, {0, 0, 0}, 2.0f, 1.5f, &t, &sep));
    EXPECT_NEAR(t, 1.0f, 1e-6f);
    // Receding: closest now.
    EXPECT_TRUE(Collision_SweptSpheres({0, 0, 0}, {-10, 0, 0}, {1, 0, 0}, {0, 0, 0}, 2.0f, 0.1f, &t, &sep));
    EXPECT_EQ(t, 0.0f);
    EXPECT_EQ(sep.x, 1.0f);
}

TEST(Slab, ParallelAndMoving) {
    float a, b;
    EXPECT_TRUE(Collision_Slab(0.5f, 0.0f, 0, 1, &a, &b));
    EXPECT_EQ(a, -1e30f);
    EXPECT_EQ(b, 1e30f);
    EXPECT_FALSE(Collision_Slab(1.5f, 0.00005f, 0, 1, &a, &b));
    EXPECT_TRUE(Collision_Slab(-1, 2, 0, 1, &a, &b));
    EXPECT_EQ(a, 0.5f);
    EXPECT_EQ(b, 1.0f);
    EXPECT_FALSE(Collision_Slab(2, 2, 0, 1, &a, &b));  // the interval lies in the past
}

// A unit square in the plane y = 0 (normal up) and the same square standing in x = 0.
struct Square {
    std::vector<Vector> vertices;
    std::vector<int32_t> indices{0, 1, 2, 3};
    CollisionPoly poly{};
    explicit Square(bool upright) {
        if (upright)
            vertices = {{0, 0, 0}, {0, 10, 0}, {0, 10, 10}, {0, 0, 10}};
        else
            vertices = {{0, 0, 0}, {0, 0, 10}, {10, 0, 10}, {10, 0, 0}};
        poly.count = 4;
        poly.a = upright ? 1.0f : 0.0f;
        poly.b = upright ? 0.0f : 1.0f;
        poly.indices = indices.data();
        poly.d = 0.0f;
    }
};

TEST(PointInPolygon, EdgesAndCornersAreInside) {
    Square sq(false);
    struct Case {
        float x, z;
        bool inside;
    };
    const std::vector<Case> cases = {
        {5, 5, true},    {0, 5, true},    {10, 5, true},   {5, 0, true},     {5, 10, true},  // the four edges
        {0, 0, true},    {10, 0, true},   {10, 10, true},  {0, 10, true},                   // the corners
        {-0.01f, 5, false}, {10.01f, 5, false}, {5, -0.01f, false}, {5, 10.01f, false},
        {10.01f, 10.01f, false}, {-5, -5, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Collision_PointInPolygonXZ(&sq.poly, sq.vertices.data(), c.x, c.z) != 0, c.inside)
            << c.x << ", " << c.z;
        EXPECT_EQ(Collision_PointInPolygon(&sq.poly, sq.vertices.data(), Vector{c.x, 0, c.z}) != 0, c.inside)
            << c.x << ", " << c.z;
    }
}

TEST(PointInPolygon, TriangleThroughAVertexAndProjections) {
    // A triangle whose middle corner lies exactly on the test line w = 5.
    std::vector<Vector> v = {{0, 0, 0}, {10, 0, 5}, {0, 0, 10}};
    std::vector<int32_t> idx = {0, 1, 2};
    CollisionPoly tri{3, 0, 1, 0, 0, idx.data(), nullptr};
    EXPECT_TRUE(Collision_PointInPolygonXZ(&tri, v.data(), 5, 5));
    EXPECT_TRUE(Collision_PointInPolygonXZ(&tri, v.data(), 10, 5));   // the corner itself
    EXPECT_FALSE(Collision_PointInPolygonXZ(&tri, v.data(), 11, 5));
    EXPECT_FALSE(Collision_PointInPolygonXZ(&tri, v.data(), -1, 5));
    // A wall facing x is tested in (y, z).
    Square wall(true);
    EXPECT_TRUE(Collision_PointInPolygon(&wall.poly, wall.vertices.data(), Vector{0, 10, 10}));
    EXPECT_TRUE(Collision_PointInPolygon(&wall.poly, wall.vertices.data(), Vector{3, 5, 5}));
    EXPECT_FALSE(Collision_PointInPolygon(&wall.poly, wall.vertices.data(), Vector{0, 10.5f, 5}));
}

TEST(RayPolySet, FrontFacesOnlyAndTheNearestWins) {
    // Two floors facing up at y = 0 and y = 5.
    std::vector<Vector> v = {{0, 0, 0}, {0, 0, 10}, {10, 0, 10}, {10, 0, 0},
                             {0, 5, 0}, {0, 5, 10}, {10, 5, 10}, {10, 5, 0}};
    std::vector<int32_t> low = {0, 1, 2, 3}, high = {4, 5, 6, 7};
    CollisionPoly pHigh{4, 0, 1, 0, -5, high.data(), nullptr};
    CollisionPoly pLow{4, 0, 1, 0, 0, low.data(), &pHigh};
    CollisionPolySet set{8, v.data(), &pLow};
    float t;
    Vector n;
    ASSERT_TRUE(Collision_RayPolySet({5, 10, 5}, {0, -10, 0}, &set, 2.0f, &t, &n));
    EXPECT_NEAR(t, 0.5f, 1e-6f);
    EXPECT_EQ(n.y, 1.0f);
    // Between the floors the upper one is seen from behind: only the lower counts.
    ASSERT_TRUE(Collision_RayPolySet({5, 3, 5}, {0, -10, 0}, &set, 2.0f, &t, &n));
    EXPECT_NEAR(t, 0.3f, 1e-6f);
    // Starting exactly on a plane misses it; so does a ray parallel to it; and one too short.
    EXPECT_FALSE(Collision_RayPolySet({5, 0, 5}, {0, -10, 0}, &set, 2.0f, &t, &n));
    EXPECT_FALSE(Collision_RayPolySet({5, 1, 5}, {10, 0, 0}, &set, 2.0f, &t, &n));
    EXPECT_FALSE(Collision_RayPolySet({5, 10, 5}, {0, -10, 0}, &set, 0.4f, &t, &n));
    // Outside the polygons' extent.
    EXPECT_FALSE(Collision_RayPolySet({15, 10, 5}, {0, -10, 0}, &set, 2.0f, &t, &n));
    EXPECT_FALSE(Collision_RayPolySet({5, 10, 5}, {0, -10, 0}, nullptr, 2.0f, &t, &n));
}

TEST(Matrix, PreRotateSpinsInTheOwnFrameAndKeepsThePosition) {
    Matrix m = Matrix_RotationY(1.5707964f);
    m.posit = DVector{1, 2, 3};
    Matrix out;
    Matrix_PreRotate(out, m, Vector{0.5f, -0.25f, 0.1f}, 0.2f);
    Matrix expect;
    Matrix_Multiply(expect, Matrix_FromEuler(-0.1f, 0.05f, -0.02f, 0, 0, 0), m);
    EXPECT_EQ(out.posit.x, 1.0);
    EXPECT_EQ(out.posit.y, 2.0);
    EXPECT_EQ(out.posit.z, 3.0);
    EXPECT_FLOAT_EQ(out.front.x, expect.front.x);
    EXPECT_FLOAT_EQ(out.up.y, expect.up.y);
    EXPECT_FLOAT_EQ(out.right.z, expect.right.z);
    // A spin about the own y axis leaves the up row where it was.
    Matrix_PreRotate(out, m, Vector{0, 2.0f, 0}, 0.3f);
    EXPECT_NEAR(out.up.x, m.up.x, 1e-6f);
    EXPECT_NEAR(out.up.y, m.up.y, 1e-6f);
    EXPECT_NEAR(out.up.z, m.up.z, 1e-6f);
    // Aliasing the input is allowed.
    Matrix same = m;
    Matrix_PreRotate(same, same, Vector{0.5f, -0.25f, 0.1f}, 0.2f);
    Matrix_PreRotate(out, m, Vector{0.5f, -0.25f, 0.1f}, 0.2f);
    EXPECT_EQ(same.front.z, out.front.z);
}

TEST(Vec3, NearZeroAndNegate) {
    EXPECT_TRUE(Vec3_IsNearZero({0.00009f, -0.00009f, 0}));
    EXPECT_FALSE(Vec3_IsNearZero({0, 0.0001f, 0}));
    const Vector n = Vec3_Negate({1, -2, 3});
    EXPECT_EQ(n.x, -1);
    EXPECT_EQ(n.y, 2);
    EXPECT_EQ(n.z, -3);
}

TEST(CollisionBoxDef, CountsAreChecked) {
    CollisionBoxDef def{};
    def.nx = def.ny = def.nz = 4;
    EXPECT_TRUE(CollisionBoxDef_IsValid(&def));
    def.ny = 0;
    EXPECT_FALSE(CollisionBoxDef_IsValid(&def));
    def.ny = 5;
    EXPECT_FALSE(CollisionBoxDef_IsValid(&def));
    EXPECT_FALSE(CollisionBoxDef_IsValid(nullptr));
}

}  // namespace
