#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/debug.h"
#include "platform/msgbox.h"
#include "render/clip.h"
#include "render/view.h"
#include "support/exit_trap.h"

namespace {

class ClipTest : public ::testing::Test {
protected:
    void SetUp() override {
        Graphic_InitBuffer(&buffer, 640, 480, nullptr, kGraphicFormat8);
        View_Init(&view, &buffer, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        Plat_ClearMessageBoxLog();
        Error_ResetForTests();
    }
    void TearDown() override {
        Graphic_FreeBuffer(&buffer);
        Error_ResetForTests();
    }
    static RenderVertex V(float x, float y, float z, float u = 0, float v = 0, float shade = 0) {
        return RenderVertex{x, y, z, u, v, shade};
    }
    GraphicBuffer buffer;
    RenderView view;
};

TEST_F(ClipTest, DispatchTableFollowsTheFlagBits) {
    struct Case {
        uint32_t flags;
        ClipFn want;
    };
    const Case cases[] = {
        {0x000, View_ClipPolygonDepth},
        {0x004, View_ClipPolygonDepthTextured},
        {0x014, View_ClipPolygonDepthTextured},
        {0x008, View_ClipPolygonScreen},
        {0x00C, View_ClipPolygonScreenTextured},
        {0x100, View_ProjectPolygon},
        {0x104, View_ProjectPolygonTextured},
        {0x10B, View_ClipError},
        {0x10C, View_ClipError},
        {0x1E9, View_ClipError},
        {0x0E8, View_CopyPolygon},
        {0x0EF, View_CopyPolygon},
        {0x108, View_CopyPolygon},
        {0x10A, View_CopyPolygon},
        {0x1E8, View_CopyPolygon},
        {0x1EE, View_CopyPolygon},
        {0x0E9, View_ClipPolygonScreen},
        {0x1EC | 0x200, View_CopyPolygon},  // only the low nine bits count
    };
    for (const Case& c : cases) EXPECT_EQ(Render_ClipperFor(c.flags), c.want) << std::hex << c.flags;
}

TEST_F(ClipTest, CopyEntryCopiesAndErrorEntryIsFatal) {
    const RenderVertex in[3] = {V(1, 2, 3, 4, 5, 6), V(-7, 8, 9, 1, 1, 1), V(2000, -5, 0.01f, 0, 0, 0)};
    RenderVertex out[kClipMaxOutput] = {};
    ASSERT_EQ(Render_ClipperFor(0x1E8)(&view, out, in, 3, 0x1E8), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(out[i].x, in[i].x);
        EXPECT_EQ(out[i].z, in[i].z);
        EXPECT_EQ(out[i].shade, in[i].shade);
    }
    ExitTrap trap;
    EXPECT_EQ(RunForExit([&] { Render_ClipperFor(0x10B)(&view, out, in, 3, 0x10B); }), 112);
    ASSERT_FALSE(Plat_MessageBoxLog().empty());
    EXPECT_EQ(Plat_MessageBoxLog().back().text, "Error in clipping function\n");
}

TEST_F(ClipTest, DepthOutcodesAndRejection) {
    // Behind near, beyond far (1000): whole polygons on one side give nothing.
    const RenderVertex behind[3] = {V(0, 0, 0.05f), V(1, 0, 0.0f), V(0, 1, -3.0f)};
    const RenderVertex beyond[3] = {V(0, 0, 1000.0f), V(1, 0, 1200.0f), V(0, 1, 5000.0f)};
    RenderVertex out[kClipMaxOutput];
    EXPECT_EQ(View_DepthOutcodes(&view, behind, 3).all, kOutNear);
    EXPECT_EQ(View_DepthOutcodes(&view, beyond, 3).all, kOutFar);  // z == far is outside
    EXPECT_EQ(View_ClipPolygonDepth(&view, out, behind, 3, 0), 0);
    EXPECT_EQ(View_ClipPolygonDepthTextured(&view, out, beyond, 3, 0x4), 0);
    const RenderVertex atNear[1] = {V(0, 0, 0.1f)};
    EXPECT_EQ(View_DepthOutcodes(&view, atNear, 1).any, 0);
}

TEST_F(ClipTest, OneVertexBehindNearBecomesAQuadAtNearDepth) {
    const RenderVertex in[3] = {V(0, 0, 0.05f, 0, 0, 10), V(1, 0, 10, 0, 0, 20), V(-1, 0, 10, 0, 0, 20)};
    RenderVertex out[kClipMaxOutput];
    ASSERT_EQ(View_ClipPolygonDepth(&view, out, in, 3, 0), 4);
    // The walk starts with the edge from the last vertex: crossing, crossing, then the two
    // vertices that were inside.
    EXPECT_EQ(out[0].z, 1.0f / 0.1f);
    EXPECT_EQ(out[1].z, 1.0f / 0.1f);
    EXPECT_EQ(out[2].z, 1.0f / 10.0f);
    EXPECT_EQ(out[3].z, 1.0f / 10.0f);
    // The new vertices lie on the edges towards the vertex behind, left and right of centre.
    EXPECT_LT(out[0].x, view.centreX);
    EXPECT_GT(out[1].x, view.centreX);
    EXPECT_FLOAT_EQ(out[0].y, view.centreY);
    // Shade interpolated: t = 0.05 / 9.95 of the way from 10 to 20 (from the vertex behind).
    EXPECT_NEAR(out[1].shade, 10.0f + 10.0f * 0.05f / 9.95f, 1e-4);
    EXPECT_EQ(out[2].shade, 20.0f);
}

TEST_F(ClipTest, ProjectionOfUnclippedVertices) {
    const RenderVertex in[3] = {V(2, 1, 4, 0.5f, 0.25f, 3), V(-2, 1, 4), V(0, -1, 8)};
    RenderVertex out[kClipMaxOutput];
    ASSERT_EQ(View_ProjectPolygon(&view, out, in, 3, 0x100), 3);
    EXPECT_EQ(out[0].x, 0.25f * (view.scaleX * 2.0f) + view.centreX);
    EXPECT_EQ(out[0].y, 0.25f * (1.0f * view.scaleY) + view.centreY);
    EXPECT_EQ(out[0].z, 0.25f);
    EXPECT_EQ(out[0].shade, 3.0f);
    // Project-only textured: u and v copied without 0x10, divided by z with it.
    ASSERT_EQ(View_ProjectPolygonTextured(&view, out, in, 3, 0x104), 3);
    EXPECT_EQ(out[0].u, 0.5f);
    EXPECT_EQ(out[0].v, 0.25f);
    ASSERT_EQ(View_ProjectPolygonTextured(&view, out, in, 3, 0x114), 3);
    EXPECT_EQ(out[0].u, 0.5f * 0.25f);
    EXPECT_EQ(out[0].v, 0.25f * 0.25f);
}

TEST_F(ClipTest, TexturedDepthClipKeepsAffineCoordinatesUnlessPerspective) {
    const RenderVertex in[3] = {V(0, 0, 0.05f, 0.9f, 0.1f), V(1.3f, 0.2f, 7.3f, 0.37f, 0.61f),
                                V(-1.1f, -0.4f, 13.7f, 0.83f, 0.29f)};
    RenderVertex out[kClipMaxOutput];
    ASSERT_EQ(View_ClipPolygonDepthTextured(&view, out, in, 3, 0x4), 4);
    EXPECT_FLOAT_EQ(out[2].u, 0.37f);
    EXPECT_FLOAT_EQ(out[2].v, 0.61f);
    EXPECT_FLOAT_EQ(out[3].u, 0.83f);
    EXPECT_FLOAT_EQ(out[3].v, 0.29f);
    // The crossing on the edge from the vertex behind towards vertex 1 carries its u linearly
    // in view space (t from the depth), since depth passes interpolate u itself.
    float t = (0.1f - 0.05f) / (7.3f - 0.05f);
    EXPECT_NEAR(out[1].u, 0.9f + t * (0.37f - 0.9f), 1e-5);
    // With 0x10 the rasteriser gets u/z and v/z.
    ASSERT_EQ(View_ClipPolygonDepthTextured(&view, out, in, 3, 0x14), 4);
    EXPECT_FLOAT_EQ(out[2].u, 0.37f / 7.3f);
    EXPECT_FLOAT_EQ(out[3].v, 0.29f / 13.7f);
}

TEST_F(ClipTest, ScreenWindowIsHalfOpen) {
    GraphicBuffer small;
    Graphic_InitBuffer(&small, 16, 12, nullptr, kGraphicFormat8);
    RenderView v2;
    View_Init(&v2, &small, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    ASSERT_EQ(v2.windowRight, 15.0f);
    ASSERT_EQ(v2.windowBottom, 11.0f);
    const RenderVertex onRight[1] = {V(15.0f, 5, 1)};
    const RenderVertex inside[1] = {V(14.999f, 10.999f, 1)};
    const RenderVertex onBottom[1] = {V(3, 11.0f, 1)};
    const RenderVertex leftTop[1] = {V(-0.001f, -0.5f, 1)};
    EXPECT_EQ(View_ScreenOutcodes(onRight, 1, &v2).any, kOutRight);
    EXPECT_EQ(View_ScreenOutcodes(inside, 1, &v2).any, 0);
    EXPECT_EQ(View_ScreenOutcodes(onBottom, 1, &v2).any, kOutBottom);
    EXPECT_EQ(View_ScreenOutcodes(leftTop, 1, &v2).any, kOutLeft | kOutTop);

    // A triangle touching the right edge with one vertex runs the right pass.
    const RenderVertex tri[3] = {V(2, 2, 1), V(15.0f, 6, 1), V(2, 9, 1)};
    RenderVertex out[kClipMaxOutput];
    int n = View_ClipPolygonScreen(&v2, out, tri, 3, 0x8);
    EXPECT_EQ(n, 4);
    for (int i = 0; i < n; ++i) EXPECT_LE(out[i].x, 15.0f);
    // Every vertex left of the window: nothing.
    const RenderVertex left[3] = {V(-5, 2, 1), V(-1, 6, 1), V(-3, 9, 1)};
    EXPECT_EQ(View_ClipPolygonScreenTextured(&v2, out, left, 3, 0xC), 0);
    // Wholly inside: the same vertices.
    const RenderVertex in3[3] = {V(1, 1, 0.5f, 1, 2, 3), V(9, 1, 0.5f), V(5, 8, 0.25f)};
    ASSERT_EQ(View_ClipPolygonScreenTextured(&v2, out, in3, 3, 0xC), 3);
    EXPECT_EQ(out[0].u, 1.0f);
    EXPECT_EQ(out[2].z, 0.25f);
    Graphic_FreeBuffer(&small);
}

TEST_F(ClipTest, ScreenPassCutsExactlyAtTheBoundaryAndInterpolatesInverseDepth) {
    GraphicBuffer small;
    Graphic_InitBuffer(&small, 16, 12, nullptr, kGraphicFormat8);
    RenderView v2;
    View_Init(&v2, &small, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    // A quad from x -4 to 12 across the left edge: the cut points sit on x = 0 with 1/z a
    // quarter of the way from 0.5 to 0.1.
    const RenderVertex quad[4] = {V(-4, 2, 0.5f, 1, 0, 0), V(12, 2, 0.1f, 0, 0, 4), V(12, 6, 0.1f, 0, 0, 4),
                                  V(-4, 6, 0.5f, 1, 0, 0)};
    RenderVertex out[kClipMaxOutput];
    ASSERT_EQ(View_ClipPolygonScreenTextured(&v2, out, quad, 4, 0xC), 4);
    int onEdge = 0;
    for (int i = 0; i < 4; ++i) {
        if (out[i].x != 0.0f) continue;
        ++onEdge;
        EXPECT_FLOAT_EQ(out[i].z, 0.4f);
        EXPECT_FLOAT_EQ(out[i].u, 0.75f);
        EXPECT_FLOAT_EQ(out[i].shade, 1.0f);
    }
    EXPECT_EQ(onEdge, 2);
    Graphic_FreeBuffer(&small);
}

TEST_F(ClipTest, SixteenVerticesClippedOnEverySideFitTheOutput) {
    // A planar 16-gon that crosses near, far (1000) and all four window edges.
    std::vector<RenderVertex> in;
    for (int i = 0; i < kClipMaxInput; ++i) {
        double a = 2.0 * M_PI * i / kClipMaxInput + 0.1;
        in.push_back(V(static_cast<float>(800 * std::cos(a)), static_cast<float>(400 * std::cos(a)),
                       static_cast<float>(500 + 600 * std::sin(a)), 0.5f, 0.5f, 1));
    }
    Outcodes depth = View_DepthOutcodes(&view, in.data(), kClipMaxInput);
    EXPECT_EQ(depth.any, kOutNear | kOutFar);
    // Exactly the room promised: the sanitizer catches any write past it.
    std::vector<RenderVertex> out(kClipMaxOutput);
    for (uint32_t flags : {0x0u, 0x4u, 0x14u}) {
        int n = Render_ClipperFor(flags)(&view, out.data(), in.data(), kClipMaxInput, flags);
        ASSERT_GE(n, 3) << flags;
        ASSERT_LE(n, kClipMaxOutput);
        for (int i = 0; i < n; ++i) {
            EXPECT_GE(out[i].x, view.windowLeft);
            EXPECT_LE(out[i].x, view.windowRight);
            EXPECT_GE(out[i].y, view.windowTop);
            EXPECT_LE(out[i].y, view.windowBottom);
            EXPECT_GE(out[i].z, 1.0f / 1000.0f);
            EXPECT_LE(out[i].z, 1.0f / 0.1f + 1e-3f);
        }
    }
    // A screen-space 16-gon bigger than the window on every side.
    std::vector<RenderVertex> screen;
    for (int i = 0; i < kClipMaxInput; ++i) {
        double a = 2.0 * M_PI * i / kClipMaxInput;
        screen.push_back(V(static_cast<float>(320 + 345 * std::cos(a)), static_cast<float>(240 + 250 * std::sin(a)),
                           0.5f));
    }
    EXPECT_EQ(View_ScreenOutcodes(screen.data(), kClipMaxInput, &view).any, 0xF);
    int n = View_ClipPolygonScreen(&view, out.data(), screen.data(), kClipMaxInput, 0x8);
    EXPECT_EQ(n, kClipMaxInput + 4);  // each window edge cuts one vertex into two
}

TEST_F(ClipTest, CountsOutsideTheLimitGiveNothing) {
    std::vector<RenderVertex> in(kClipMaxInput + 1, V(0, 0, 5));
    std::vector<RenderVertex> out(kClipMaxOutput);
    EXPECT_EQ(View_ClipPolygonDepth(&view, out.data(), in.data(), kClipMaxInput + 1, 0), 0);
    EXPECT_EQ(View_ClipPolygonScreen(&view, out.data(), in.data(), 0, 0x8), 0);
    EXPECT_EQ(View_ClipPolygonScreen(&view, out.data(), in.data(), -3, 0x8), 0);
}

}  // namespace
