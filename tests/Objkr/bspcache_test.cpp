#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Objkr/bspcache.h"
#include "render/entitydraw.h"
#include "Objkr/rendersettings.h"
#include "draw_fixture.h"
#include "model_fixture.h"
#include "platform/msgbox.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/texmgr.h"
#include "support/exit_trap.h"

namespace {

class BspCacheTest : public DrawFixture {
protected:
    // A root with two parallel squares: a small one (colour 10) at z 0 and a large one
    // (colour 20) at z 5.
    EntityTableRecord* TwoSquares() {
        Entity* root = NewRoot("pair");
        Part(root, Square(0.0f, 10, 1.0f), {0, 0, 0}, "near");
        Part(root, Square(5.0f, 20, 3.0f), {0, 0, 0}, "far");
        return Enter(root);
    }
    // The same squares drawn straight through the rasteriser, far one first.
    std::vector<uint8_t> Straight(const Vector& eye, const Vector& direction, float firstZ, int firstColour,
                                  float firstHalf, float secondZ, int secondColour, float secondHalf) {
        LookFrom(eye, direction);
        Clear();
        for (auto [z, colour, half] : {std::tuple{firstZ, firstColour, firstHalf}, std::tuple{secondZ, secondColour, secondHalf}}) {
            const Vector c[4] = {{-half, -half, z}, {-half, half, z}, {half, half, z}, {half, -half, z}};
            RenderVertex v[4];
            for (int i = 0; i < 4; ++i) {
                Vector p;
                View_TransformPoint(&p, &view, c[i].x, c[i].y, c[i].z);
                v[i] = RenderVertex{p.x, p.y, p.z, 0, 0, 1.0f};
            }
            Render_DrawPolygon(&view, v, 4, nullptr, uint32_t(colour), 0);
        }
        return Pixels();
    }
};

TEST_F(BspCacheTest, ParallelFacesAreDrawnBackToFrontFromBothSides) {
    EntityTableRecord* record = TwoSquares();
    struct Side {
        Vector eye, direction;
        bool nearSquareInFront;
    };
    for (const Side& side : {Side{{0, 0, -10}, {0, 0, 1}, true}, Side{{0, 0, 15}, {0, 0, -1}, false}}) {
        SCOPED_TRACE(side.nearSquareInFront ? "from -z" : "from +z");
        const std::vector<uint8_t> expected =
            side.nearSquareInFront ? Straight(side.eye, side.direction, 5.0f, 20, 3.0f, 0.0f, 10, 1.0f)
                                   : Straight(side.eye, side.direction, 0.0f, 10, 1.0f, 5.0f, 20, 3.0f);
        Clear();
        DrawItem(record, 0x8 | 0x20);
        EXPECT_EQ(Pixels(), expected);
        EXPECT_GT(CountColour(20), 0);
    }
    // From +z the small square hides behind the large one.
    EXPECT_EQ(CountColour(10), 0);
}

TEST_F(BspCacheTest, TreesAreBuiltOncePerLevelWhileTheRecordStaysPut) {
    EntityTableRecord* record = TwoSquares();
    DrawItem(record, 0x8 | 0x20);
    DrawItem(record, 0x8 | 0x20);
    EXPECT_EQ(BspCache_BuildCount(), 1);
    EXPECT_EQ(record->cacheLevel, 0);
    DrawItem(record, 0x8 | 0x10 | 0x20);  // level 2
    EXPECT_EQ(BspCache_BuildCount(), 2);
    EXPECT_EQ(record->cacheLevel, 2);
    DrawItem(record, 0x20);  // flag 0x8 clear: it may have moved
    DrawItem(record, 0x20);
    EXPECT_EQ(BspCache_BuildCount(), 4);
    Entity_ResetCache(record);
    EXPECT_EQ(record->cacheLevel, -1);
    EXPECT_EQ(record->cacheBlocks, nullptr);
    EXPECT_EQ(BspCache_CachedCount(), 0);
    EXPECT_EQ(BspCache_LiveBlocks(), 0);
}

TEST_F(BspCacheTest, UnderABudgetTheRecordDrawnLongestAgoGoesButNeverTheOneBeingBuilt) {
    std::vector<EntityTableRecord*> records;
    for (int i = 0; i < 3; ++i) {
        Entity* root = NewRoot("r");
        Part(root, Square(0.0f, 10 + i), {0, 0, 0}, "a");
        Part(root, Square(1.0f, 20 + i), {0, 0, 0}, "b");
        records.push_back(Enter(root, {float(i), 0, 0}));
    }
    BspCache_SetBlockBudget(2);
    DrawItem(records[0], 0x28);
    DrawItem(records[1], 0x28);
    DrawItem(records[0], 0x28);  // records[1] is now the one drawn longest ago
    DrawItem(records[2], 0x28);
    EXPECT_NE(records[0]->cacheBlocks, nullptr);
    EXPECT_EQ(records[1]->cacheBlocks, nullptr);
    EXPECT_EQ(records[1]->cacheLevel, -1);
    EXPECT_NE(records[2]->cacheBlocks, nullptr);
    EXPECT_EQ(BspCache_LiveBlocks(), 2);

    // A tree needing more blocks than the budget can ever give: the others go first, then the
    // build fails fatally instead of freeing the blocks it is writing into.
    Entity* big = NewRoot("big");
    Part(big, ManySquares(80, 30), {0, 0, 0}, "many");
    Part(big, Square(2.0f, 31), {0, 0, 0}, "one");
    EntityTableRecord* bigRecord = Enter(big, {5, 0, 0});
    Plat_ClearMessageBoxLog();
    EXPECT_EQ(RunForExit([&] { DrawItem(bigRecord, 0x28); }), 112);
    EXPECT_EQ(LastBoxText().rfind("Bsp Cache Geometry failure.", 0), 0u) << LastBoxText();
    EXPECT_EQ(records[0]->cacheBlocks, nullptr);
    EXPECT_EQ(records[2]->cacheBlocks, nullptr);
    EXPECT_NE(bigRecord->cacheBlocks, nullptr);  // still its own, never freed under it
}

TEST_F(BspCacheTest, ANodeLargerThanABlockGetsABlockOfItsOwn) {
    Entity* root = NewRoot("disc");
    Part(root, Disc(0.0f, 40, 3.0f, 200), {0, 0, 0}, "disc");
    Part(root, Square(4.0f, 41, 0.5f), {0, 0, 0}, "dot");
    EntityTableRecord* record = Enter(root);
    DrawItem(record, 0x28);
    ASSERT_NE(record->cacheBlocks, nullptr);
    // The 200-corner face is drawn whole: about the area of its circle on screen.
    const float pixelsPerUnit = view.scaleX / 10.0f;
    const float expected = 3.14159f * 9.0f * pixelsPerUnit * pixelsPerUnit;
    EXPECT_NEAR(float(CountColour(40)), expected, expected * 0.1f);
    EXPECT_EQ(Pixels()[kSize / 2 * kSize + kSize / 2], 40);
}

TEST_F(BspCacheTest, SortingOffChainsNodesInInsertionOrder) {
    Render_Settings().sortOption = 0;
    EntityTableRecord* record = TwoSquares();
    DrawItem(record, 0x28);
    int depth = 0;
    for (const BspNode* n = BspCache_Root(record); n; n = n->front) {
        EXPECT_EQ(n->back, nullptr);
        ++depth;
    }
    EXPECT_EQ(depth, 2);
}

TEST_F(BspCacheTest, VertexLight) {
    RenderSettings& s = Render_Settings();
    s.ambient = 0.25f;
    s.intensity = 0.8f;
    s.fadeFactor = 0.5f;
    s.fogStart = 100.0f;
    s.fogEnd = 200.0f;
    const Vector light{0, -1, 0};
    struct Case {
        const char* name;
        Vector normal;
        uint32_t flags;
        int fog;
        float depth;
        float expected;
    };
    const float lit = 0.8f * (0.25f + 1.0f * 0.75f), side = 0.8f * (0.25f + 0.02f * 0.75f);
    const Case cases[] = {
        {"facing the light", {0, 1, 0}, 0, 0, 10, lit},
        {"m just above 0.01", {0, 0.02f, 0.9998f}, 0, 0, 10, side},
        {"m at 0.005 takes ambient", {0, 0.005f, 0.99999f}, 0, 0, 10, 0.8f * 0.25f},
        {"facing away", {0, -1, 0}, 0, 0, 10, 0.8f * 0.25f},
        {"flag 0x4: one value", {0, -1, 0}, 0x4, 0, 10, 0.8f},
        {"flag 0x40: faded", {0, 1, 0}, 0x40, 0, 10, 0.4f},
        {"fog on, near", {0, 1, 0}, 0, 1, 50, lit},
        {"fog on, half way", {0, 1, 0}, 0, 1, 150, lit + (1 - lit) * 0.5f},
        {"fog on, beyond", {0, 1, 0}, 0x4, 1, 500, 1.0f},
        {"fog off, far", {0, 1, 0}, 0, 0, 500, lit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s.fogMode = c.fog;
        EXPECT_NEAR(Entity_ShadeValue(c.normal, light, c.flags, c.depth), c.expected, 1e-5f);
    }
}

TEST_F(BspCacheTest, DotModeDrawsTwoByTwoDots) {
    RenderSettings& s = Render_Settings();
    s.dotMode = 1;
    struct Case {
        int depth;
        int minPixels, maxPixels;
    };
    for (const Case& c : {Case{0, 4, 4}, Case{1, 8, 40}}) {
        SCOPED_TRACE(c.depth);
        s.dotDepth = c.depth;
        Entity* root = NewRoot("dots");
        Part(root, Square(0.0f, 50, 2.0f), {0, 0, 0}, "sq");
        Part(root, Square(60.0f, 51, 0.1f), {0, 0, 0}, "far");
        EntityTableRecord* record = Enter(root);
        Clear();
        DrawItem(record, 0x28);
        EXPECT_GE(CountColour(50), c.minPixels);
        EXPECT_LE(CountColour(50), c.maxPixels);
        Entities_Remove(record);
        Entity_Release(root);
    }
}

class BspModelTest : public ModelFixture {};

TEST_F(BspModelTest, TheFactoryCraneIsDrawnWholeAtItsPlaceInTheOrder) {
    InstallSamples();
    Objkr_Services().unbindTexture = TexMgr_UnbindEntityHook;
    Entity* root = NewRoot("gvfact");
    root->type = kTypeCraft;
    ObjLoadResult result{};
    ASSERT_TRUE(ObjLoad_ReadVdf(root, &result, "gvfact"));
    EntityTableRecord* record = Entities_Add(root, 0, nullptr, nullptr);
    Entity* crane = ObjLoad_FindByName(root, "fccrane");
    ASSERT_NE(crane, nullptr);
    ASSERT_EQ(crane->type, kTypeSpinner);
    ASSERT_TRUE(BspCache_Build(record, 0));

    struct Seen {
        int specials = 0;
        int craneFaces = 0;
        int polygons = 0;
        Entity* crane;
    } seen;
    seen.crane = crane;
    BspCache_WalkBackToFront(record, Vector{0, 20, -60}, [](const BspNode* n, void* context) {
        auto* s = static_cast<Seen*>(context);
        if (n->kind == kBspSpecialPart && n->source == s->crane) ++s->specials;
        if (n->kind == kBspPolygon && n->vertexCount > 0) {
            ++s->polygons;
            if (n->source == s->crane) ++s->craneFaces;
        }
    }, &seen);
    EXPECT_EQ(seen.specials, 1);
    EXPECT_EQ(seen.craneFaces, 0);  // its faces are not in the record's tree
    EXPECT_GT(seen.polygons, 0);

    // Drawn: the picture with the crane differs from the one without it.
    GraphicBuffer b;
    Graphic_InitBuffer(&b, 64, 64, nullptr, kGraphicFormat8);
    RenderView v{};
    View_Init(&v, &b, kDefaultFieldOfView, 1.0f, 200.0f, 1.0f);
    View_SetCameraMatrix(&v, Matrix_FromPositionDirection(DVector{0, 12, -30}, Vector{0, -0.3f, 1}));
    for (uint32_t& f : Render_Settings().faceFlags) f = 0;
    auto draw = [&] {
        Graphic_Clear(&b, 7);
        RenderEntityPayload p{};
        p.entity = root;
        p.record = record;
        Entity_RenderItem(&v, p, 0x28);
        return std::vector<uint8_t>(b.pixels, b.pixels + 64 * 64);
    };
    const std::vector<uint8_t> with = draw();
    Entity_Unlink(crane);
    Entity_ResetCache(record);
    const std::vector<uint8_t> without = draw();
    Entity_AttachChild(crane, ObjLoad_FindByName(root, "fcbase"));
    EXPECT_NE(with, without);
    Graphic_FreeBuffer(&b);
    RenderSettings_Reset();
}

}  // namespace
