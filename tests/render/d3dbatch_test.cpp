#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/seams/render.h"
#include "render/sprite.h"
#include "d3d_fixture.h"
#include "render/d3dbatch.h"
#include "render/d3ddraw2d.h"
#include "render/draw2d.h"

namespace {

using Strings = std::vector<std::string>;

class D3DBatchTest : public D3DFixture {
protected:
    void SetUp() override {
        D3DFixture::SetUp();
        ASSERT_TRUE(ChooseHardware());
        ClearLog();
    }
    // A square of four vertices through the fan writer.
    static void Square(GpuTexture texture, uint32_t word) {
        Batch_SetTextureState(texture, word);
        Batch_SetPrimitive(GpuPrimitive::TriangleList);
        ASSERT_TRUE(Batch_Reserve(4, 6));
        GpuVertex* v = Batch_NextVertex();
        for (int i = 0; i < 4; ++i) v[i] = GpuVertex{float(i & 1), float(i >> 1), 0.5f, 1.0f, 0, 0, 0, 0};
        Batch_AddFan(4);
    }
    static Strings Draws() { return Calls("drawIndexed"); }
};

TEST_F(D3DBatchTest, EqualTextureAndStateShareOneDrawWithTheFansIndices) {
    Square(7, 0x80);
    Square(7, 0x80);
    EXPECT_TRUE(Draws().empty());
    const std::vector<uint16_t> fan(Batch_Buffers().indexCopy.begin(), Batch_Buffers().indexCopy.begin() + 12);
    EXPECT_EQ(fan, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7}));
    EXPECT_EQ(Batch_Flush(), 12);
    EXPECT_EQ(Draws(), (Strings{"drawIndexed 4 0 0 8 0 4"}));
    EXPECT_EQ(Batch_Buffers().triangles, 4u);
    EXPECT_EQ(Batch_Buffers().batches, 1u);
    EXPECT_EQ(Batch_Flush(), 0);  // nothing pending
}

TEST_F(D3DBatchTest, AChangedBitSplitsTheBatchAndSendsOnlyItsState) {
    Square(7, 0x80);
    ClearLog();
    Square(7, 0xA0);  // fog bit only
    EXPECT_EQ(Draws().size(), 1u);
    EXPECT_TRUE(Calls("setTexture").empty());
    EXPECT_TRUE(Calls("samplerState").empty());
    EXPECT_EQ(Calls("renderState"), (Strings{"renderState " + std::to_string(int(GpuRenderState::Fog)) + " 1"}));
    // The second batch continues behind the first without discarding it.
    Batch_Flush();
    const Strings locks = Calls("lockBuffer");
    ASSERT_GE(locks.size(), 4u);
    EXPECT_NE(locks[2].find("nooverwrite"), std::string::npos);
}

TEST_F(D3DBatchTest, ALineAfterTrianglesFlushesThemFirst) {
    Square(0, 0x02);
    const float points[4] = {0, 0, 10, 0};
    Batch_AddLineStrip(points, 2, 5);
    EXPECT_EQ(Draws(), (Strings{"drawIndexed 4 0 0 4 0 2"}));
    Batch_Flush();
    EXPECT_EQ(Draws().back(), "drawIndexed 2 4 0 2 6 1");
    // The line takes the palette colour at the overlay depth.
    const GpuVertex& v = Batch_Buffers().vertexCopy[4];
    EXPECT_EQ(v.diffuse, PaletteColors32[5]);
    float z = 0, rhw = 0;
    Batch_DepthWords(Batch_OverlayDepth(), &z, &rhw);
    EXPECT_FLOAT_EQ(v.z, z);
    EXPECT_FLOAT_EQ(v.rhw, rhw);
}

TEST_F(D3DBatchTest, APolygonThatDoesNotFitRewindsWithADiscardLockAndATooLargeOneIsDropped) {
    BatchBuffers& b = Batch_Buffers();
    const uint32_t capacity = b.vertexCapacity;
    Square(0, 0x02);
    Batch_Flush();
    ClearLog();
    // Fill up to the end, then one more square no longer fits.
    b.firstVertex = capacity - 2;
    Square(0, 0x02);
    EXPECT_EQ(b.firstVertex, 0u);
    Batch_Flush();
    const Strings locks = Calls("lockBuffer");
    ASSERT_FALSE(locks.empty());
    EXPECT_NE(locks[0].find(" 0 128 discard"), std::string::npos);
    EXPECT_EQ(Batch_Reserve(capacity + 1, 3), 0);
    EXPECT_EQ(Batch_Reserve(3, b.indexCapacity + 1), 0);
}

TEST_F(D3DBatchTest, DepthWordsOfSetZeroMapTheViewRange) {
    const struct {
        float depth, z, rhw;
    } cases[] = {{0.1f, 1.0000603f - 0.99006f, 0.99f},
                 {1640.0f, 1.0000603f - 0.099006f / 1640.0f, 0.099f / 1640.0f},
                 {0.0f, 1.0000603f - 0.99006f, 0.99f},  // clamped to 0.1
                 {5000.0f, 1.0000603f - 0.099006f / 1640.0f, 0.099f / 1640.0f}};
    for (const auto& c : cases) {
        float z = 0, rhw = 0;
        Batch_DepthWords(c.depth, &z, &rhw);
        EXPECT_NEAR(z, c.z, 1e-6f) << c.depth;
        EXPECT_NEAR(rhw, c.rhw, 1e-6f) << c.depth;
    }
}

TEST_F(D3DBatchTest, FillRectStatesAndVertices) {
    D3D_FillRect(0x80112233u, 1, 2, 11, 12, false);
    EXPECT_EQ(Calls("renderState " + std::to_string(int(GpuRenderState::DepthWrite))).back(),
              "renderState " + std::to_string(int(GpuRenderState::DepthWrite)) + " 0");
    const GpuVertex* v = Batch_Buffers().vertexCopy.data();
    EXPECT_EQ(v[2].x, 11.0f);
    EXPECT_EQ(v[2].y, 12.0f);
    EXPECT_EQ(v[0].diffuse, 0x80112233u);
    EXPECT_EQ(v[0].specular, 0xFF000000u);
    EXPECT_EQ(Batch_Buffers().stateWord, 0x46u);
    ClearLog();
    D3D_FillRect(0x80112233u, 1, 2, 11, 12, true);
    EXPECT_EQ(Batch_Buffers().stateWord, 0x06u);
    EXPECT_EQ(Draws().size(), 1u);  // the state change flushed the first rectangle
}

TEST_F(D3DBatchTest, TheQueryIsUncalibratedWhenTheSquareShowsNoPixels) {
    // The recording device counts no pixels: the calibration leaves the query unusable, not a
    // division by zero.
    Batch_CalibrateQuery();
    EXPECT_EQ(Batch_Buffers().queryReference, -1.0f);
    const float points[9] = {0, 0, 1, 5, 0, 1, 5, 5, 1};
    EXPECT_EQ(D3D_QueryVisiblePixels(points, 3), -1.0f);
}

TEST_F(D3DBatchTest, TheEndOfSceneDrawsTheScreenEdgesInColourZeroAndRewinds) {
    OverlayDepth = 50.0f;
    ASSERT_EQ(D3D_BeginScene(), 0);
    Square(0, 0x02);
    ClearLog();
    D3D_EndScene();
    EXPECT_EQ(OverlayDepth, 0.0f);
    const Strings draws = Draws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[1], "drawIndexed 2 4 0 3 6 2");
    const GpuVertex* v = Batch_Buffers().vertexCopy.data() + 4;
    EXPECT_EQ(v[0].diffuse, PaletteColors32[0]);
    const GraphicBuffer& screen = g_graphicDriver.screen;
    EXPECT_EQ(v[0].x, float(screen.clipLeft));
    EXPECT_EQ(v[1].x, float(screen.clipRight));
    EXPECT_EQ(v[1].y, float(screen.clipBottom));
    EXPECT_EQ(v[2].y, float(screen.clipTop));
    EXPECT_GT(screen.clipRight, 0);
    EXPECT_EQ(Batch_Buffers().firstVertex, 0u);
    EXPECT_EQ(Batch_Buffers().phase, 1);
    EXPECT_EQ(D3D_State().drawCallsLastFrame, 2);
}

}  // namespace

namespace {

TEST_F(D3DBatchTest, TwoDimensionalRectanglesAreInclusiveAndBlendFromModeTwo) {
    const GraphicBuffer& screen = g_graphicDriver.screen;
    const struct {
        int right, bottom, mode;
        float x1, y1;
        uint32_t alpha, word;
    } cases[] = {
        {9, 19, 0, float(screen.clipLeft + 10), float(screen.clipTop + 20), 0xFF, 0x46},
        {9, 19, 2, float(screen.clipLeft + 10), float(screen.clipTop + 20), 0xBF, 0x06},
        // Ending on the clip edge: not extended.
        {screen.clipRight - screen.clipLeft, screen.clipBottom - screen.clipTop, 1, float(screen.clipRight),
         float(screen.clipBottom), 0xFF, 0x46},
    };
    for (const auto& c : cases) {
        Batch_Rewind();
        Batch_ResetState();
        ASSERT_EQ(Batch_CreateBuffers(), 1);
        D3DRender_FillRect2D(0, 0, c.right, c.bottom, 3, c.mode);
        const GpuVertex* v = Batch_Buffers().vertexCopy.data();
        EXPECT_EQ(v[0].x, float(screen.clipLeft));
        EXPECT_EQ(v[2].x, c.x1);
        EXPECT_EQ(v[2].y, c.y1);
        EXPECT_EQ(v[0].diffuse >> 24, c.alpha);
        EXPECT_EQ(v[0].diffuse & 0xFFFFFFu, PaletteColors32[3] & 0xFFFFFFu);
        EXPECT_EQ(Batch_Buffers().stateWord, c.word);
    }
}

TEST_F(D3DBatchTest, TheScreensLinesReachTheBatchThroughTheTwins) {
    D3DRender_InstallTwins();
    Render_Hardware2DTwins().drawLine(1, 2, 30, 2, 9, 0);
    Render_SetHardware2DTwins(nullptr);
    Batch_Flush();
    EXPECT_EQ(Draws(), (Strings{"drawIndexed 2 0 0 2 0 1"}));
    const GpuVertex* v = Batch_Buffers().vertexCopy.data();
    EXPECT_EQ(v[1].x, float(g_graphicDriver.screen.clipLeft + 30));
    EXPECT_EQ(v[0].diffuse, PaletteColors32[9]);
}

}  // namespace
