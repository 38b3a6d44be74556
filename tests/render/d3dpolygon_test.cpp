#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "d3d_fixture.h"
#include "render/blit.h"
#include "render/d3dbatch.h"
#include "render/d3ddraw2d.h"
#include "render/d3dpolygon.h"
#include "render/draw2d.h"
#include "render/radar.h"
#include "render/sprite.h"
#include "render/view.h"
#include "support/exit_trap.h"

namespace {

using Strings = std::vector<std::string>;

class D3DPolygonTest : public D3DFixture {
protected:
    void SetUp() override {
        D3DFixture::SetUp();
        ASSERT_TRUE(ChooseHardware());
        D3DRender_InstallTwins();
        screen_ = &g_graphicDriver.screen;
        ASSERT_EQ(screen_->valid, 1);
        View_Init(&view_, screen_, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        for (int i = 0; i < 256; ++i) PaletteColors32[i] = 0xFF000000u | uint32_t(i) * 0x010203u;
        OverlayDepth = 0.0f;
        CurrentTint = 0xFFFFFF;
        ClearLog();
    }
    void TearDown() override {
        Render_SetHardware2DTwins(nullptr);
        OverlayDepth = 0.0f;
        CurrentTint = 0xFFFFFF;
        TextColour = 0;
        D3DFixture::TearDown();
    }
    static RenderVertex V(float x, float y, float z, float u = 0, float v = 0, uint32_t colour = 0) {
        RenderVertex r{x, y, z, u, v, 0.0f};
        r.colour = colour;
        return r;
    }
    // What is pending in the batch, and the vertices written so far.
    static uint32_t Pending() { return Batch_Buffers().vertexCount; }
    static const GpuVertex* Written() { return Batch_Buffers().vertexCopy.data() + Batch_Buffers().firstVertex; }

    GraphicBuffer* screen_ = nullptr;
    RenderView view_{};
};

TEST_F(D3DPolygonTest, TheClipperTableFollowsTheFlagClasses) {
    const std::set<uint32_t> passThrough = {0x0E8, 0x0EC, 0x0ED, 0x0EE, 0x0EF, 0x108, 0x109, 0x10A, 0x1E8, 0x1EC, 0x1EE};
    for (uint32_t i = 0; i < 512; ++i) {
        D3DClipper want;
        if (passThrough.count(i)) want = D3DClipper::kPassThrough;
        else if (i & 0x100) want = (i & 0x8) ? D3DClipper::kError : D3DClipper::kProject;
        else if (i & 0x8) want = (i & 0x4) ? D3DClipper::kNothing : D3DClipper::kScreenColour;
        else want = (i & 0x4) ? D3DClipper::kDepthTextured : D3DClipper::kDepthColour;
        EXPECT_EQ(D3DRender_ClipperOf(i), want) << std::hex << i;
        EXPECT_EQ(D3DRender_ClipperOf(i | 0x200), want) << "only the low nine bits count";
    }
}

TEST_F(D3DPolygonTest, TheDrawingTableFollowsTheMemberLists) {
    struct Row {
        D3DMember member;
        std::vector<uint32_t> indices;
    };
    const Row rows[] = {
        {D3DMember::kShaded, {0x01, 0x03, 0x09, 0x0B, 0x11, 0x13, 0x19, 0x1B, 0x21, 0x23, 0x29, 0x2B, 0x31, 0x33, 0x39,
                              0x3B, 0x41, 0x43, 0x49, 0x4B, 0x51, 0x53, 0x59, 0x5B, 0x61, 0x63, 0x69, 0x6B, 0x71, 0x73,
                              0x79, 0x7B, 0x81, 0x83, 0x89, 0x8B, 0x91, 0x93, 0x99, 0x9B, 0xA1, 0xA3, 0xA9, 0xAB, 0xB1,
                              0xB3, 0xB9, 0xBB, 0xC1, 0xC3, 0xC9, 0xCB, 0xD1, 0xD3, 0xD9, 0xDB, 0xE1, 0xE9, 0xF1, 0xF9}},
        {D3DMember::kTexturedWhite, {0x04, 0x0C, 0x14, 0x1C, 0x44, 0x4C, 0x54, 0x5C}},
        {D3DMember::kTexturedClamped, {0x05, 0x0D, 0x15, 0x1D, 0xED}},
        {D3DMember::kTexturedWrapped, {0x07, 0x0F, 0x17, 0x1F, 0xEF}},
        {D3DMember::kTexturedByKind, {0x46, 0x4E, 0x56, 0x5E}},
        {D3DMember::kTranslucent, {0x84, 0x85, 0x8C, 0x8D, 0x9C, 0x9D}},
        {D3DMember::kFlatBlended, {0xC0, 0xC8}},
        {D3DMember::kTinted, {0xC4, 0xD4, 0xD5}},
        {D3DMember::kTintedShifted, {0xCC}},
        {D3DMember::kBlinking, {0x0A}},
        {D3DMember::kNothing, {0x06, 0x0E, 0x16, 0x1E, 0x45, 0x47, 0x4D, 0x4F, 0x55, 0x57,
                               0x5D, 0x5F, 0x94, 0x95, 0xA4, 0xB4, 0xEC, 0xEE, 0xF4, 0xF6}},
    };
    std::vector<D3DMember> want(256, D3DMember::kFlat);
    for (const Row& row : rows)
        for (uint32_t i : row.indices) want[i] = row.member;
    for (uint32_t i = 0; i < 256; ++i) {
        EXPECT_EQ(D3DRender_MemberOf(i), want[i]) << std::hex << i;
        EXPECT_EQ(D3DRender_MemberOf(i | 0x100), want[i]);
    }
}

TEST_F(D3DPolygonTest, PassThroughAndTheErrorSlot) {
    const RenderVertex in[3] = {V(1, 2, 3, 4, 5, 0x1234), V(-50, 7, -1), V(9000, 1, 1)};
    RenderVertex out[kD3DClipWork];
    ASSERT_EQ(D3DRender_Clip(&view_, out, in, 3, 0x108), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(out[i].x, in[i].x);
        EXPECT_EQ(out[i].z, in[i].z);
        EXPECT_EQ(out[i].colour, in[i].colour);
    }
    ExitTrap trap;
    EXPECT_EQ(RunForExit([&] { D3DRender_Clip(&view_, out, in, 3, 0x10B); }), 112);
    ASSERT_FALSE(Plat_MessageBoxLog().empty());
    EXPECT_EQ(Plat_MessageBoxLog().back().text, "Error in clipping function\n");
}

TEST_F(D3DPolygonTest, AProjectedTexturedPolygonDrawsOnlyDirectly) {
    const RenderVertex quad[4] = {V(10, 10, 0.5f, 0, 0), V(20, 10, 0.5f, 1, 0), V(20, 20, 0.5f, 1, 1),
                                  V(10, 20, 0.5f, 0, 1)};
    D3DRender_DrawPolygon(&view_, quad, 4, nullptr, 0, 0x0C);
    EXPECT_EQ(Pending(), 0u);
    D3DRender_DrawDirect(&view_, quad, 4, nullptr, 0, 0x0C);
    EXPECT_EQ(Pending(), 4u);
    EXPECT_EQ(Batch_Buffers().indexCount, 6u);
}

TEST_F(D3DPolygonTest, TheNearPlaneDropsOrCutsWithInterpolatedAttributes) {
    RenderVertex out[kD3DClipWork];
    const RenderVertex behind[3] = {V(0, 0, 0.05f), V(1, 0, 0.05f), V(0, 1, -2)};
    EXPECT_EQ(D3DRender_Clip(&view_, out, behind, 3, 0x04), 0);
    D3DRender_DrawPolygon(&view_, behind, 3, nullptr, 7, 0x00);
    EXPECT_EQ(Pending(), 0u);

    // One corner behind the eye; both edges to it cross the near plane halfway.
    const uint32_t far = RenderVertex_ColourWord(0x30, 0xFF), nearWord = RenderVertex_ColourWord(0x10, 0xFF);
    const RenderVertex crossing[3] = {V(0, 0, -0.9f, 0, 0, nearWord), V(0.02f, 0, 1.1f, 4, 8, far),
                                      V(0, 0.02f, 1.1f, 4, 8, far)};
    for (uint32_t flags : {0x00u, 0x04u}) {
        const int n = D3DRender_Clip(&view_, out, crossing, 3, flags);
        ASSERT_EQ(n, 4) << flags;
        int cut = 0;
        for (int i = 0; i < n; ++i) {
            if (std::fabs(out[i].z - 1.0f / 1.1f) < 1e-5f) continue;
            ++cut;
            EXPECT_NEAR(out[i].z, 1.0f / kViewNear, 1e-3f);
            EXPECT_EQ(out[i].colour, RenderVertex_ColourWord(0x20, 0xFF));
            if (flags & 0x4) {
                EXPECT_NEAR(out[i].u, 2.0f, 1e-5f);
                EXPECT_NEAR(out[i].v, 4.0f, 1e-5f);
            }
        }
        EXPECT_EQ(cut, 2);
    }
}

TEST_F(D3DPolygonTest, TheWindowClipsUnlessTheDeviceDoes) {
    // Screen-space, far wider than the window.
    const RenderVertex wide[3] = {V(-500, 100, 1), V(3000, 100, 1), V(200, 300, 1)};
    RenderVertex out[kD3DClipWork];
    int n = D3DRender_Clip(&view_, out, wide, 3, 0x08);
    ASSERT_GT(n, 3);
    for (int i = 0; i < n; ++i) {
        EXPECT_GE(out[i].x, view_.windowLeft);
        EXPECT_LE(out[i].x, view_.windowRight);
    }
    // A polygon wholly within the depth range is only projected: the device clips it.
    const RenderVertex inDepth[3] = {V(-100, -1, 10), V(100, -1, 10), V(0, 5, 10)};
    EXPECT_EQ(D3DRender_Clip(&view_, out, inDepth, 3, 0x00), 3);
    RenderFlags |= kRenderHardwareClip;
    n = D3DRender_Clip(&view_, out, wide, 3, 0x08);
    ASSERT_EQ(n, 3);
    EXPECT_EQ(out[0].x, -500.0f);
    EXPECT_EQ(out[1].x, 3000.0f);
    // Beyond the far distance too: the device's depth range decides.
    const RenderVertex beyond[3] = {V(-1, -1, 900), V(1, -1, 900), V(0, 1, 5000)};
    EXPECT_EQ(D3DRender_Clip(&view_, out, beyond, 3, 0x00), 3);
    RenderFlags &= ~kRenderHardwareClip;
    EXPECT_GT(D3DRender_Clip(&view_, out, beyond, 3, 0x00), 3);
}

TEST_F(D3DPolygonTest, InputsBeyondTheWorkArraysBoundAreRefused) {
    std::vector<RenderVertex> ring(65);
    for (size_t i = 0; i < ring.size(); ++i) {
        const float a = 6.2831853f * float(i) / float(ring.size());
        ring[i] = V(std::cos(a) * 50, std::sin(a) * 50, i % 2 ? 0.05f : 2000.0f);
    }
    RenderVertex out[kD3DClipWork];
    EXPECT_EQ(D3DRender_Clip(&view_, out, ring.data(), 65, 0x00), 0);
    EXPECT_GT(D3DRender_Clip(&view_, out, ring.data(), 64, 0x00), 0);
}

TEST_F(D3DPolygonTest, LinesAreCutToTheViewAndDrawnAtTheirMeanDepth) {
    OverlayDepth = 3.0f;
    // Wholly beyond the far distance.
    const RenderVertex beyond[2] = {V(0, 0, 1200), V(1, 1, 1500)};
    D3DRender_DrawPolygon(&view_, beyond, 2, nullptr, 9, 0);
    EXPECT_EQ(Pending(), 0u);
    // From the middle of the screen far off to the right.
    const RenderVertex across[2] = {V(0, 0, 10), V(1000, 0, 30)};
    D3DRender_DrawPolygon(&view_, across, 2, nullptr, 9, 0);
    ASSERT_EQ(Pending(), 2u);
    EXPECT_EQ(Batch_Buffers().primitive, GpuPrimitive::LineList);
    const GpuVertex* v = Written();
    EXPECT_EQ(v[1].x, float(screen_->clipRight));
    EXPECT_EQ(v[0].diffuse, PaletteColors32[9]);
    float z = 0, rhw = 0;
    Batch_DepthWords(20.0f, &z, &rhw);
    EXPECT_FLOAT_EQ(v[0].z, z);
    EXPECT_FLOAT_EQ(v[1].rhw, rhw);
    EXPECT_EQ(OverlayDepth, 3.0f);
}

TEST_F(D3DPolygonTest, TheMembersWriteTheirVertexWords) {
    TextColour = 77;
    CurrentTint = 0x102030;
    struct Case {
        uint32_t flags;
        uint32_t word;
        uint32_t diffuse;   // of the first vertex
        uint32_t specular;  // of the first vertex
        float shift;
    };
    const uint32_t palette = PaletteColors32[40];
    const uint32_t scaled = 0xFF000000u | ((((palette >> 16) & 0xFF) * 0x80 >> 8) << 16) |
                            ((((palette >> 8) & 0xFF) * 0x80 >> 8) << 8) | ((palette & 0xFF) * 0x80 >> 8);
    const Case cases[] = {
        {0x00, 0x02, palette, 0, -0.5f},
        {0x01, 0x23, scaled, 0x60000000u, 0.0f},
        {0x04, 0x82, 0xFFFFFFFFu, 0, -0.5f},
        {0x05, 0x23, 0xFF808080u, 0x60000000u, 0.0f},
        {0x07, 0x33, 0xFF808080u, 0x60000000u, 0.0f},
        {0x46, 0x02, 0xFFFFFFFFu, 0, 0.0f},
        {0x84, 0xC6, 0xA0102030u, 0, -0.5f},
        {0xC0, 0xC6, (palette & 0xFFFFFFu) | 0xBF000000u, 0, -0.5f},
        {0xC4, 0x4A, 0xFF102030u, 0, 0.0f},  // a nonzero colour word: additive
        {0xCC, 0xCA, 0xFF102030u, 0, -0.5f},
        {0x0A, 0x82, PaletteColors32[77], 0, -0.5f},
    };
    const uint32_t word = RenderVertex_ColourWord(0x80, 0x60);
    const RenderVertex tri[3] = {V(100, 100, 0.5f, 0.25f, 0.75f, word), V(200, 100, 0.25f, 1, 0, word),
                                 V(100, 200, 0.1f, 0, 1, word)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        Batch_Rewind();
        D3DRender_DrawDirect(&view_, tri, 3, nullptr, 40, c.flags);
        ASSERT_EQ(Pending(), 3u);
        EXPECT_EQ(Batch_Buffers().stateWord, c.word);
        const GpuVertex* v = Written();
        EXPECT_EQ(v[0].diffuse, c.diffuse);
        EXPECT_EQ(v[0].specular, c.specular);
        EXPECT_EQ(v[0].x, 100.0f + c.shift);
        EXPECT_EQ(v[1].y, 100.0f + c.shift);
        const bool textured = (c.flags & 0x4) || c.flags == 0x0A;
        EXPECT_EQ(v[0].u, textured ? 0.25f : 0.0f);
        EXPECT_EQ(v[0].v, textured ? 0.75f : 0.0f);
        // Depth set 0 from 1/z (the blinking member takes the first vertex's for all).
        float z = 0, rhw = 0;
        Batch_DepthWords(c.flags == 0x0A ? 2.0f : 4.0f, &z, &rhw);
        EXPECT_FLOAT_EQ(v[1].z, z);
        EXPECT_FLOAT_EQ(v[1].rhw, rhw);
    }
    // Without a colour word the sprite colour is drawn blended, not added.
    Batch_Rewind();
    const RenderVertex plain[3] = {V(1, 1, 1), V(5, 1, 1), V(1, 5, 1)};
    D3DRender_DrawDirect(&view_, plain, 3, nullptr, 0, 0xC4);
    EXPECT_EQ(Batch_Buffers().stateWord, 0x46u);
}

TEST_F(D3DPolygonTest, TheFlipUploadsOneTextureAndDrawsOneScreenQuad) {
    uint8_t pixels[8 * 4];
    for (int i = 0; i < 32; ++i) pixels[i] = uint8_t(i);
    PaletteColors16[5] = 0xBEEF;
    GraphicBuffer small;
    Graphic_InitBuffer(&small, 8, 4, pixels, kGraphicFormat8);
    ASSERT_EQ(Graphic_FlipBuffer(&small), 1);
    const Strings created = Calls("createTexture");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].rfind("createTexture 8x4 levels=1", 0), 0u);
    const Strings draws = Calls("drawIndexed");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0], "drawIndexed 4 0 0 4 0 2");
    const GpuVertex* v = Batch_Buffers().vertexCopy.data();
    EXPECT_EQ(v[0].x, -0.5f);
    EXPECT_EQ(v[2].x, float(screen_->width) - 0.5f);
    EXPECT_EQ(v[2].y, float(screen_->height) - 0.5f);
    EXPECT_EQ(v[2].u, 1.0f);
    EXPECT_EQ(Calls("releaseTexture").size(), 1u);
    EXPECT_EQ(Calls("present").size(), 1u);
    EXPECT_FALSE(Graphic_HardwareScreen().locked);
}

TEST_F(D3DPolygonTest, TheRadarKindsDrawTheGridTheirWay) {
    const RadarKind kinds[8] = {RadarKind::kNothing,    RadarKind::kLockedLines, RadarKind::kLineLists,
                                RadarKind::kNothing,    RadarKind::kShadedQuads, RadarKind::kNothing,
                                RadarKind::kNothing,    RadarKind::kLineLists};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(D3DRender_RadarKindOf(i + 8), kinds[i]) << i;

    // A grid of three columns and two rows: four row edges and three column edges.
    const RadarPoint points[6] = {{10, 10, 0.0f}, {20, 10, 0.5f}, {30, 10, 1.0f},
                                  {10, 20, 0.0f}, {20, 20, 0.5f}, {30, 25, 2.0f}};
    const RadarImage image{points, 3, 2, 12};
    D3D_State().settings.radarType = 2;
    Render_DrawRadar(screen_, &image);
    EXPECT_EQ(Batch_Buffers().primitive, GpuPrimitive::LineList);
    ASSERT_EQ(Pending(), 14u);
    EXPECT_EQ(Written()[0].x, float(screen_->clipLeft + 10));
    EXPECT_EQ(Written()[0].diffuse, PaletteColors32[12]);

    Batch_Rewind();
    D3D_State().settings.radarType = 4;
    Render_DrawRadar(screen_, &image);
    ASSERT_EQ(Pending(), 8u);
    EXPECT_EQ(Batch_Buffers().stateWord, 0x47u);
    EXPECT_EQ(Written()[1].diffuse, 0xBF7F7F7Fu);
    EXPECT_EQ(Written()[6].diffuse, 0xBFFFFFFFu);  // levels above 1 are full

    Batch_Rewind();
    ClearLog();
    D3D_State().settings.radarType = 1;
    Render_DrawRadar(screen_, &image);
    EXPECT_EQ(Pending(), 0u);
    EXPECT_EQ(Calls("lockBackBuffer").size(), 1u);
    EXPECT_EQ(Calls("unlockBackBuffer").size(), 1u);
    D3D_State().settings.radarType = 2;
}

}  // namespace
