#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "render/graphicbuffer.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/texcache.h"
#include "render/view.h"

namespace {

std::vector<int> g_drawn;  // what the recording services saw, in order

RenderQueueServices Recording() {
    RenderQueueServices s = RenderQueue_Services();
    s.entityRenderPlain = [](const RenderView*, const RenderEntityPayload& p, uint32_t) {
        g_drawn.push_back(static_cast<int>(p.radius));
    };
    s.entityRenderItem = [](const RenderView*, const RenderEntityPayload& p, uint32_t) {
        g_drawn.push_back(1000 + static_cast<int>(p.radius));
    };
    s.entityRenderGeometry = [](const RenderView*, const RenderEntityPayload& p, uint32_t) {
        g_drawn.push_back(2000 + static_cast<int>(p.radius));
    };
    s.drawSpriteScaled = [](const RenderView*, int sprite, int, int, int, int, int, uint32_t) {
        g_drawn.push_back(5000 + sprite);
        return 1;
    };
    s.spriteCentreTexel = [](int) { return 6; };
    return s;
}

class RenderQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RenderQueue_Init(), 1);
        RenderQueue_LodInfo() = LodInfo{15, 200, 30, 10, 100, 100, 100, 1000, 100, 30, 250, 10,
                                        0,  0,   1000, 10, 30, 40, 1, 5, 256, 250, 8, 7};
        Graphic_InitBuffer(&buf, 32, 32, nullptr, kGraphicFormat8);
        Graphic_Clear(&buf, 0);
        View_Init(&view, &buf, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c) {
                LumaTable[r][c] = static_cast<uint8_t>(c);
                TranslucencyTable[r][c] = static_cast<uint8_t>(r + c);
            }
        SeparateDraw = 0;
        RenderZBufferFlags = 0;
        g_drawn.clear();
        RenderQueueServices s = Recording();
        RenderQueue_SetServices(&s);
    }
    void TearDown() override {
        RenderQueue_SetServices(nullptr);
        RenderQueue_SetVolumeList(nullptr);
        RenderQueue_Close();
        Graphic_FreeBuffer(&buf);
        SeparateDraw = 0;
        RenderZBufferFlags = 0;
    }
    // A screen-space square of one colour, clipped on drawing.
    bool AddSquare(float depth, uint32_t colour, uint32_t kind = 1) {
        RenderVertex q[4] = {{2, 2, 1, 0, 0, 1}, {12, 2, 1, 0, 0, 1}, {12, 12, 1, 0, 0, 1}, {2, 12, 1, 0, 0, 1}};
        return RenderQueue_AddPolygon(q, 4, colour, kPolyScreenSpace, kind, depth);
    }
    bool AddEntity(uint32_t kind, float depth, float tag, uint32_t selector = 0, uint32_t extra = 0) {
        RenderItem* item = RenderQueue_Current();
        item->vertexCount = 0;
        item->ref = 0;
        item->flags = 0;
        item->kind = kind;
        RenderEntityPayload p{};
        p.radius = tag;
        p.selector = selector;
        p.extra = extra;
        RenderItem_SetPayload(item, p);
        return RenderQueue_Add(depth);
    }
    bool AddBillboard(float depth, float x, float y, float range, float size, uint32_t sprite = 3) {
        RenderItem* item = RenderQueue_Current();
        *item = RenderItem{0, sprite, 0, kRenderBillboard, 0, 0, 0};
        RenderItem_SetPayload(item, RenderBillboardPayload{x, y, range, size, size, 1.0f, {0, 0, 5}});
        return RenderQueue_Add(depth);
    }
    GraphicBuffer buf;
    RenderView view;
};

TEST_F(RenderQueueTest, BucketsClampAtBothEnds) {
    EXPECT_EQ(RenderQueue_BucketOf(-300.0f), 0);
    EXPECT_EQ(RenderQueue_BucketOf(-5000.0f), 0);
    EXPECT_EQ(RenderQueue_BucketOf(3795.5f), 4095);
    EXPECT_EQ(RenderQueue_BucketOf(1.0e9f), 4095);
    EXPECT_EQ(RenderQueue_BucketOf(0.0f), 300);
    EXPECT_EQ(RenderQueue_BucketOf(10.4f), 310);
    EXPECT_EQ(RenderQueue_BucketOf(std::nanf("")), 0);
    ASSERT_TRUE(AddSquare(-400.0f, 1));
    ASSERT_TRUE(AddSquare(5000.0f, 2));
    EXPECT_EQ(RenderQueue_LowestBucket(), 0);
    EXPECT_EQ(RenderQueue_HighestBucket(), 4095);
    EXPECT_EQ(RenderQueue_Bucket(0).count, 1u);
    EXPECT_EQ(RenderQueue_Bucket(4095).count, 1u);
}

TEST_F(RenderQueueTest, PlainPrimitivesKeepTheirOrderInABucket) {
    // Same bucket, depths in any order: the last queued square is on top.
    ASSERT_TRUE(AddSquare(10.2f, 4));
    ASSERT_TRUE(AddSquare(9.8f, 5));
    ASSERT_TRUE(AddSquare(10.1f, 6));
    RenderQueue_Flush(&view);
    EXPECT_EQ(buf.pixels[5 * 32 + 5], 6);
    // Far buckets first: the nearer square is drawn last whatever the queuing order.
    ASSERT_TRUE(AddSquare(5.0f, 7));
    ASSERT_TRUE(AddSquare(50.0f, 8));
    RenderQueue_Flush(&view);
    EXPECT_EQ(buf.pixels[5 * 32 + 5], 7);
}

TEST_F(RenderQueueTest, SortedKindsGoFarFirstAndNeverPassPrimitives) {
    ASSERT_TRUE(AddEntity(kRenderEntity, 10.0f, 1));  // near
    ASSERT_TRUE(AddEntity(kRenderEntity, 10.3f, 2));  // farther, same bucket: drawn first
    ASSERT_TRUE(AddEntity(kRenderEntity, 10.1f, 3));
    RenderQueue_Flush(&view);
    EXPECT_EQ(g_drawn, (std::vector<int>{2, 3, 1}));

    g_drawn.clear();
    ASSERT_TRUE(AddSquare(10.0f, 9));
    ASSERT_TRUE(AddEntity(kRenderEntity, 10.4f, 4));  // a primitive is never passed over
    const RenderBucket& b = RenderQueue_Bucket(310);
    ASSERT_EQ(b.count, 2u);
    EXPECT_EQ(RenderQueue_Item(b.head)->vertexCount, 4u);
    EXPECT_EQ(RenderQueue_Item(b.tail)->kind, static_cast<uint32_t>(kRenderEntity));
}

TEST_F(RenderQueueTest, WithAZBufferEverythingIsAppended) {
    RenderZBufferFlags = 1;
    ASSERT_TRUE(AddEntity(kRenderEntity, 10.0f, 1));
    ASSERT_TRUE(AddEntity(kRenderEntity, 10.3f, 2));
    RenderQueue_Flush(&view);
    EXPECT_EQ(g_drawn, (std::vector<int>{1, 2}));
}

TEST_F(RenderQueueTest, EntityHandlersChooseTheirDraw) {
    RenderQueueServices s = Recording();
    s.objectVisualState = [](uint32_t handle) { return handle == 77 ? 2 : 0; };
    s.entityRenderVariant = [](const RenderView*, const RenderEntityPayload&, int state, uint32_t) {
        g_drawn.push_back(3000 + state);
    };
    RenderQueue_SetServices(&s);
    AddEntity(kRenderEntity, 90.0f, 1, 1, 0);        // geometry
    AddEntity(kRenderEntity, 80.0f, 2, 0, 1);        // item
    AddEntity(kRenderEntity, 70.0f, 3, 0, 0);        // plain
    AddEntity(kRenderObjectEntity, 60.0f, 4, 1, 77); // special state 2
    AddEntity(kRenderObjectEntity, 50.0f, 5, 0, 5);  // item
    AddEntity(kRenderShadowPattern, 40.0f, 6);
    AddEntity(kRenderCompositePart, 30.0f, 7);
    RenderQueue_Flush(&view);
    EXPECT_EQ(g_drawn, (std::vector<int>{2001, 1002, 3, 3002, 1005, 1006, 1007}));
}

TEST_F(RenderQueueTest, Drops) {
    RenderVertex many[17] = {};
    RenderItem* item = RenderQueue_Current();
    item->vertexCount = 17;
    item->kind = 1;
    EXPECT_FALSE(RenderQueue_Add(1.0f));
    EXPECT_EQ(RenderQueue_BytesUsed(), 0u);
    EXPECT_FALSE(RenderQueue_AddPolygon(many, 17, 1, 0, 1, 1.0f));

    EXPECT_FALSE(AddBillboard(1.0f, 5, 5, 100, 1.4f));
    EXPECT_TRUE(AddBillboard(1.0f, 5, 5, 100, 1.5f));

    item = RenderQueue_Current();
    *item = RenderItem{0, 0, 0, 99, 0, 0, 0};  // no such handler kind
    EXPECT_FALSE(RenderQueue_Add(1.0f));

    // Fill the arena with 16-vertex primitives until one is refused.
    RenderVertex big[16] = {};
    size_t accepted = 0;
    while (RenderQueue_AddPolygon(big, 16, 1, 0, 1, 2.0f)) ++accepted;
    size_t used = RenderQueue_BytesUsed();
    EXPECT_GT(used, kRenderArenaSize - kRenderArenaMargin);
    EXPECT_LE(used - (28 + 16 * 24), kRenderArenaSize - kRenderArenaMargin);
    EXPECT_FALSE(AddSquare(1.0f, 3));
    EXPECT_EQ(RenderQueue_BytesUsed(), used);
    EXPECT_GT(accepted, 10000u);
    RenderQueue_Flush(&view);
    EXPECT_EQ(RenderQueue_BytesUsed(), 0u);
}

TEST_F(RenderQueueTest, EmptyFlushStillResets) {
    RenderQueue_Flush(&view);
    EXPECT_EQ(RenderQueue_LowestBucket(), 4095);
    EXPECT_EQ(RenderQueue_HighestBucket(), 0);
    ASSERT_TRUE(AddSquare(3.0f, 2));
    RenderQueue_Flush(nullptr);  // nothing to draw into: still forgotten
    EXPECT_EQ(RenderQueue_BytesUsed(), 0u);
    EXPECT_EQ(RenderQueue_Bucket(303).count, 0u);
    EXPECT_EQ(RenderQueue_LowestBucket(), 4095);
    EXPECT_EQ(RenderQueue_HighestBucket(), 0);
}

TEST_F(RenderQueueTest, TexturedWithoutTextureBecomesUntextured) {
    RenderVertex q[3] = {{2, 2, 1, 0, 0, 1}, {12, 2, 1, 1, 0, 1}, {2, 12, 1, 0, 1, 1}};
    ASSERT_TRUE(RenderQueue_AddPolygon(q, 3, 0, kPolyTextured | kPolyScreenSpace, 1, 4.0f));
    EXPECT_EQ(RenderQueue_Item(RenderQueue_Bucket(304).head)->flags, 0u);
    EXPECT_EQ(RenderQueue_TextureRef(nullptr), 0u);
}

TEST_F(RenderQueueTest, PreProjectedLitPolygonsGoStraightToTheLitDrawer) {
    // A 64-wide texture, one texel per pixel over 17 pixels: pairs with doubling on, single
    // pixels without; the polygon is counted and not clipped again.
    std::vector<uint8_t> tex(kTextureHeaderSize + 64 + 16, 0);
    tex[0] = 64, tex[4] = 1;
    for (int x = 0; x < 64; ++x) tex[kTextureHeaderSize + x] = static_cast<uint8_t>(x + 1);
    uint32_t ref = 0;
    const float u = 17.0f / 64.0f;
    const RenderVertex q[4] = {{0, 0, 1, 0, 0, 1}, {17, 0, 1, u, 0, 1}, {17, 1, 1, u, 0, 1}, {0, 1, 1, 0, 0, 1}};
    for (int doubling : {1, 0}) {
        Raster_PixelDouble = doubling;
        Graphic_Clear(&buf, 0);
        ref = RenderQueue_TextureRef(reinterpret_cast<const TextureImage*>(tex.data()));
        int32_t counted = PolygonCount;
        ASSERT_TRUE(RenderQueue_AddPolygon(q, 4, ref, kPolyDirectLit, 0, 5.0f));
        RenderQueue_Flush(&view);
        EXPECT_EQ(PolygonCount, counted + 1);
        const uint8_t* row = buf.pixels;
        for (int x = 0; x < 16; x += 2) EXPECT_EQ(row[x + 1], doubling ? row[x] : x + 2) << x;
        EXPECT_EQ(row[16], 17);
    }
    Raster_PixelDouble = 0;
}

TEST_F(RenderQueueTest, SeparateDrawPasses) {
    SeparateDraw = 1;
    RenderQueueServices s = Recording();
    s.entityRenderItem = [](const RenderView*, const RenderEntityPayload& p, uint32_t) {
        g_drawn.push_back(static_cast<int>(p.radius));
    };
    RenderQueue_SetServices(&s);
    AddEntity(kRenderEntity, 90.0f, 1, 0, 1);
    AddEntity(kRenderObjectEntity, 80.0f, 2, 0, 0);
    AddEntity(kRenderObjectEntity, 95.0f, 3, 0, 0);
    AddEntity(kRenderEntity, 10.0f, 4, 0, 1);
    // Unclipped (kind 0) squares draw in the first pass: the clipped one at depth 1 ends on top.
    AddSquare(1.0f, 11, 1);
    AddSquare(99.0f, 12, 0);
    RenderQueue_Flush(&view);
    EXPECT_EQ(g_drawn, (std::vector<int>{3, 2, 1, 4}));
    EXPECT_EQ(buf.pixels[5 * 32 + 5], 11);
}

TEST_F(RenderQueueTest, BillboardThresholds) {
    Graphic_Clear(&buf, 20);
    EXPECT_TRUE(AddBillboard(5.0f, 10, 10, 5, 20));     // range at most spriteRangeOff: nothing
    EXPECT_TRUE(AddBillboard(5.0f, 10, 10, 100, 256));  // size at least spriteRadiusOff: nothing
    EXPECT_TRUE(AddBillboard(5.0f, 10, 10, 100, 20));   // the sprite
    RenderQueue_Flush(&view);
    EXPECT_EQ(g_drawn, (std::vector<int>{5003}));
    EXPECT_EQ(buf.pixels[10 * 32 + 10], 20);
    // Far (range 250) or small (size 8): a square of TranslucencyTable[centre texel][pixel].
    buf.pixels[8 * 32 + 8] = 30;
    EXPECT_TRUE(AddBillboard(5.0f, 10, 10, 300, 4));
    RenderQueue_Flush(&view);
    EXPECT_EQ(buf.pixels[8 * 32 + 8], 36);
    EXPECT_EQ(buf.pixels[11 * 32 + 11], 36);
    EXPECT_EQ(buf.pixels[12 * 32 + 12], 20);
}

TEST_F(RenderQueueTest, BillboardsMergeIntoEnclosingVolumes) {
    RenderVolume volumes[2] = {{{-1, -1, 0}, {1, 1, 10}, 1, kNoRenderItem}, {{-9, -9, -9}, {9, 9, 9}, -1, kNoRenderItem}};
    RenderVolumeList list{2, volumes};
    RenderQueue_SetVolumeList(&list);
    ASSERT_TRUE(AddBillboard(5.0f, 10, 10, 100, 20));  // centre (0, 0, 5): the first volume's chain
    EXPECT_EQ(RenderQueue_Bucket(305).count, 0u);
    EXPECT_EQ(volumes[1].itemHead, 0u);
    EXPECT_EQ(volumes[0].itemHead, kNoRenderItem);
    RenderQueue_LodInfo().mergeBSP = 5;  // bit value 2 clear: no merging
    ASSERT_TRUE(AddBillboard(5.0f, 10, 10, 100, 20));
    EXPECT_EQ(RenderQueue_Bucket(305).count, 1u);
    RenderQueue_Flush(&view);
    EXPECT_EQ(volumes[1].itemHead, kNoRenderItem);
}

TEST_F(RenderQueueTest, LinesAndPointListsReachTheScreen) {
    RenderItem* item = RenderQueue_Current();
    *item = RenderItem{0, 9, 0, kRenderColouredLine, 0, 0, 0};
    RenderItem_SetPayload(item, RenderLinePayload{0.01f, {-1, 0, 10}, {1, 0, 10}});
    ASSERT_TRUE(RenderQueue_Add(10.0f));
    static const RenderVertex points[2] = {{3, 4, 0, 0, 0, 0}, {30, 30, 0, 0, 0, 0}};
    item = RenderQueue_Current();
    *item = RenderItem{0, 13, 0, kRenderPointList, 0, 0, 0};
    RenderItem_SetPayload(item, RenderPointListPayload{points, 2, 0});
    ASSERT_TRUE(RenderQueue_Add(1.0f));
    RenderQueue_Flush(&view);
    EXPECT_EQ(buf.pixels[4 * 32 + 3], 13);
    EXPECT_EQ(buf.pixels[30 * 32 + 30], 13);
    int centreRow = static_cast<int>(std::lround(view.centreY));
    int lineCount = 0;
    for (int x = 0; x < 32; ++x) lineCount += buf.pixels[centreRow * 32 + x] == 9;
    EXPECT_GT(lineCount, 0);
    // A wide line is a ribbon of several rows.
    Graphic_Clear(&buf, 0);
    item = RenderQueue_Current();
    *item = RenderItem{0, 9, 0, kRenderColouredLine, 0, 0, 0};
    RenderItem_SetPayload(item, RenderLinePayload{1.0f, {-1, 0, 10}, {1, 0, 10}});
    ASSERT_TRUE(RenderQueue_Add(10.0f));
    RenderQueue_Flush(&view);
    int rows = 0;
    for (int y = 0; y < 32; ++y) rows += buf.pixels[y * 32 + 16] == 9;
    EXPECT_GT(rows, 1);
}

TEST_F(RenderQueueTest, LodInfoFromTheConfigFile) {
    std::string path = (std::filesystem::temp_directory_path() / "gv_lodinfo_test.cfg").string();
    std::remove(path.c_str());
    RenderQueue_ReadLodInfo(path.c_str());
    EXPECT_EQ(RenderQueue_LodInfo().textureCount, 15);
    EXPECT_EQ(RenderQueue_LodInfo().mergeBSP, 7);
    EXPECT_EQ(RenderQueue_LodInfo().spriteRadiusOff, 256);
    ASSERT_TRUE(Plat_IniWriteInt("LODInfo", "spriteRangeSolid", 400, path.c_str()));
    ASSERT_TRUE(Plat_IniWriteInt("LODInfo", "mergeBSP", 0, path.c_str()));
    RenderQueue_ReadLodInfo(path.c_str());
    EXPECT_EQ(RenderQueue_LodInfo().spriteRangeSolid, 400);
    EXPECT_EQ(RenderQueue_LodInfo().mergeBSP, 0);
    EXPECT_EQ(RenderQueue_LodInfo().lodRadius, 40);
    std::remove(path.c_str());
}

// ---- The demonstration frame -------------------------------------------------------------------

// Palette: eight hues of 32 shades (index = hue x 32 + shade, shade 0 brightest).
void DemoPalette(uint8_t rgb[768]) {
    static const int kHue[8][3] = {{200, 200, 200}, {220, 60, 50}, {60, 200, 80}, {60, 90, 230},
                                   {230, 210, 60},  {200, 80, 220}, {60, 210, 220}, {240, 140, 40}};
    for (int c = 0; c < 256; ++c)
        for (int k = 0; k < 3; ++k) rgb[c * 3 + k] = static_cast<uint8_t>(kHue[c >> 5][k] * (32 - (c & 31)) / 32);
}

void DemoTables() {
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) {
            int level = r < 32 ? r : 31;
            int shade = (c & 31) + level;
            LumaTable[r][c] = static_cast<uint8_t>((c & ~31) | (shade > 31 ? 31 : shade));
            // Translucent: the row's hue at the average shade of the two.
            TranslucencyTable[r][c] = static_cast<uint8_t>((r & ~31) | (((r & 31) + (c & 31)) / 2));
            // Alpha: the destination's hue, lightened by the source's brightness.
            AlphaTable[r][c] = static_cast<uint8_t>((c & ~31) | ((c & 31) / 3));
        }
}

uint32_t Fnv1a(const uint8_t* bytes, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) h = (h ^ bytes[i]) * 16777619u;
    return h;
}

TEST_F(RenderQueueTest, DemonstrationFrame) {
    GraphicBuffer frame;
    Graphic_InitBuffer(&frame, 640, 480, nullptr, kGraphicFormat8);
    Graphic_Clear(&frame, 3 * 32 + 28);  // dark blue
    RenderView v;
    View_Init(&v, &frame, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    DemoTables();

    // A 64 x 64 checker of two hues with a diagonal band, and a keyed ring.
    std::vector<uint8_t> tex(kTextureHeaderSize + 64 * 64 + 16, 0), ring(kTextureHeaderSize + 32 * 32 + 16, 0);
    tex[0] = 64, tex[4] = 64, ring[0] = 32, ring[4] = 32;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            tex[8 + y * 64 + x] = static_cast<uint8_t>(((((x >> 3) ^ (y >> 3)) & 1) ? 4 * 32 : 1 * 32) +
                                                       (std::abs(x - y) < 4 ? 0 : 6));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            int d2 = (x - 16) * (x - 16) + (y - 16) * (y - 16);
            ring[8 + y * 32 + x] = d2 > 100 && d2 < 200 ? static_cast<uint8_t>(6 * 32 + 2) : 255;
        }
    uint32_t texRef = RenderQueue_TextureRef(reinterpret_cast<const TextureImage*>(tex.data()));
    uint32_t ringRef = RenderQueue_TextureRef(reinterpret_cast<const TextureImage*>(ring.data()));

    auto quad = [&](float cx, float cy, float z, float half, float tilt, float light0, float light1, uint32_t ref,
                    uint32_t flags) {
        RenderVertex q[4] = {{cx - half, cy + half, z - tilt, 0, 0, light0},
                             {cx + half, cy + half, z + tilt, 1, 0, light1},
                             {cx + half, cy - half, z + tilt, 1, 1, light1},
                             {cx - half, cy - half, z - tilt, 0, 1, light0}};
        float depth = std::max(q[0].z, q[1].z);
        ASSERT_TRUE(RenderQueue_AddPolygon(q, 4, ref, flags, 1, depth));
    };
    // Queued near first, far last: the queue must turn the order round.
    quad(0.5f, -0.3f, 4.0f, 0.8f, 0.0f, 1.0f, 1.0f, ringRef, kPolyTextured | kPolyGroupAlpha);  // alpha-keyed ring
    quad(0.3f, 0.2f, 3.0f, 0.5f, 0.0f, 1.0f, 1.0f, texRef, kPolyTextured | kPolyGroupTranslucent);  // see-through
    quad(-1.0f, 0.6f, 6.0f, 1.0f, 0.0f, 1.0f, 1.0f, ringRef, kPolyTextured | kPolyGroupKeyed);  // keyed ring
    quad(-0.8f, -0.2f, 9.0f, 2.0f, 3.0f, 1.0f, 0.2f, texRef,
         kPolyTextured | kPolyPerspective | kPolyLightInterp);  // lit, receding, perspective
    quad(2.0f, 1.0f, 12.0f, 2.5f, 0.0f, 0.9f, 0.1f, 5 * 32 + 2, kPolyLightInterp);  // Gouraud purple
    quad(0.0f, -2.5f, 20.0f, 6.0f, 0.0f, 0.6f, 0.6f, texRef, kPolyTextured | kPolyWrap);  // affine wrapped floor
    RenderQueue_Flush(&v);

    uint32_t sum = Fnv1a(frame.pixels, 640u * 480u);
    // The picture, for a person to look at.
    const char* data = std::getenv("GV_TEST_DATA");
    std::filesystem::path dir = data ? std::filesystem::path(data).parent_path() : std::filesystem::current_path();
    std::ofstream out(dir / "raster_demo.ppm", std::ios::binary);
    uint8_t rgb[768];
    DemoPalette(rgb);
    out << "P6\n640 480\n255\n";
    for (int i = 0; i < 640 * 480; ++i) out.write(reinterpret_cast<const char*>(rgb + frame.pixels[i] * 3), 3);
    out.close();
    Graphic_FreeBuffer(&frame);
    EXPECT_EQ(sum, 86594388u) << "frame checksum (picture: raster_demo.ppm in the build directory)";
}

}  // namespace
