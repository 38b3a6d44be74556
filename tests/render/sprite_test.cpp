#include <gtest/gtest.h>

#include <cmath>

#include "core/filecache.h"
#include "platform/msgbox.h"
#include "render/clip.h"
#include "render/renderqueue.h"
#include "render/view.h"
#include "sprite_fixture.h"

using content::SpriteRecordSpec;

namespace {

std::vector<std::string> Warnings(const std::vector<std::string>& boxes, const std::string& part) {
    std::vector<std::string> found;
    for (const std::string& b : boxes)
        if (b.find(part) != std::string::npos) found.push_back(b);
    return found;
}

}  // namespace

TEST_F(SpriteTest, FindsByNameWithoutCaseNewestFirstOverThirtyTwoCharacters) {
    const std::string longName = "abcdefghijklmnopqrstuvwxyz012345";  // 32, stored without a terminator
    ASSERT_EQ(Load({{"twin", "pg", 0, 0, 2, 2, 0},
                    {longName, "pg", 1, 0, 2, 2, 0},
                    {"TWIN", "pg", 2, 0, 3, 2, 0}},
                   {CountingPage("pg.MAP", 8, 4)}),
              1);
    EXPECT_EQ(SpriteCount, 4);
    EXPECT_EQ(Sprite_Find(longName.c_str()), 2);
    EXPECT_EQ(Sprite_Find((longName + "tail").c_str()), 2) << "only 32 characters count";
    EXPECT_EQ(Sprite_Find("twin"), 3) << "the later of two equal names wins";
    EXPECT_EQ(Sprite_Find("nothing"), 0);
    EXPECT_EQ(Sprite_Find(nullptr), 0);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(SpriteTest, TableLimitDropsTheRecordPastTwoThousandFortySeven) {
    for (int records : {2047, 2048}) {
        SCOPED_TRACE(records);
        std::vector<SpriteRecordSpec> table;
        for (int i = 0; i < records; ++i) table.push_back({"s" + std::to_string(i), "pg", 0, 0, 1, 1, 0});
        Plat_ClearMessageBoxLog();
        ASSERT_EQ(Load(table, {CountingPage("pg.MAP", 4, 4)}), 1);
        EXPECT_EQ(SpriteCount, 2048);
        EXPECT_EQ(Sprite_Find("s2046"), 2047);
        EXPECT_EQ(Sprite_Find("s2047"), 0);
        EXPECT_EQ(Warnings(BoxTexts(), "Sprite table overflow").size(), records == 2048 ? 1u : 0u);
        Sprite_FreeTable();
    }
}

TEST_F(SpriteTest, BadOrMissingPagesDrawTheDefaultSpriteAndStayFindable) {
    std::string shifted = content::SpritePageBytes(4, 4, std::vector<uint8_t>(16, 1));
    shifted[2] = 2;  // pixel shift 2
    const std::string shortPage = content::SpritePageBytes(4, 4, std::vector<uint8_t>(10, 1));
    ASSERT_EQ(Load({{"gone", "absent", 0, 0, 4, 4, 0},
                    {"shift", "shifted", 0, 0, 4, 4, 0},
                    {"short", "short", 0, 0, 4, 4, 0},
                    {"outside", "pg", 3, 0, 4, 4, 0},
                    {"fine", "pg", 0, 0, 4, 4, 0}},
                   {{"shifted.MAP", shifted}, {"short.MAP", shortPage}, CountingPage("pg.MAP", 6, 4)}),
              1);
    for (const char* name : {"gone", "shift", "short", "outside"}) {
        SCOPED_TRACE(name);
        const int index = Sprite_Find(name);
        ASSERT_GT(index, 0);
        EXPECT_EQ(Sprite_Get(index).page, Sprite_Get(0).page);
        EXPECT_EQ(Sprite_Get(index).width, 16);
    }
    EXPECT_EQ(Sprite_Get(Sprite_Find("fine")).width, 4);
    const auto missing = Warnings(BoxTexts(), "Sprite texture file");
    ASSERT_EQ(missing.size(), 4u);
    EXPECT_NE(missing[0].find("\"absent.MAP\" not found"), std::string::npos);
    EXPECT_NE(missing[1].find("\"shifted.MAP\" is damaged"), std::string::npos) << "found, but not usable";
    EXPECT_NE(missing[3].find("sprite outside"), std::string::npos);
    EXPECT_EQ(Cache_LockCount("shifted.MAP") > 0, false) << "a refused page is not kept locked";
}

// A damaged page holding many sprites (the cockpit's page holds dozens) is one box, not one per
// sprite, and says what is wrong with it.
TEST_F(SpriteTest, ADamagedPageIsReportedOnceWhateverItHolds) {
    std::string garbage(300, '\x5A');
    ASSERT_EQ(Load({{"a", "cockpit", 0, 0, 4, 4, 0},
                    {"b", "cockpit", 4, 0, 4, 4, 0},
                    {"c", "cockpit", 8, 0, 4, 4, 0},
                    {"gone1", "nopage", 0, 0, 4, 4, 0},
                    {"gone2", "nopage", 4, 0, 4, 4, 0},
                    {"wide1", "small", 0, 0, 9, 4, 0},
                    {"wide2", "small", 2, 0, 9, 4, 0}},
                   {{"cockpit.MAP", garbage}, CountingPage("small.MAP", 4, 4)}),
              1);
    const auto damaged = Warnings(BoxTexts(), "\"cockpit.MAP\" is damaged");
    ASSERT_EQ(damaged.size(), 1u);
    EXPECT_NE(damaged[0].find("300 bytes"), std::string::npos) << damaged[0];
    EXPECT_EQ(Warnings(BoxTexts(), "\"nopage.MAP\" not found").size(), 1u);
    EXPECT_EQ(Warnings(BoxTexts(), "\"small.MAP\" does not hold sprite wide1").size(), 1u);
    EXPECT_EQ(BoxTexts().size(), 3u) << "one box a page";
    for (const char* name : {"a", "b", "c", "gone1", "gone2", "wide1", "wide2"})
        EXPECT_EQ(Sprite_Get(Sprite_Find(name)).page, Sprite_Get(0).page) << name;
}

TEST_F(SpriteTest, MissingTableWarnsAndEveryLookupGivesZero) {
    Install({{"other.txt", "x", false, 0}});
    EXPECT_EQ(Sprite_LoadTable(), 0);
    EXPECT_EQ(Warnings(BoxTexts(), "Sprite table sprite8.stb not found").size(), 1u);
    EXPECT_EQ(SpriteCount, 1);
    EXPECT_EQ(Sprite_Find("char.0"), 0);
}

TEST_F(SpriteTest, FreeingTheTableUnlocksEveryPageIncludingColourVariants) {
    ASSERT_EQ(Load({{"a", "pg", 0, 0, 2, 2, 0}, {"b", "pg", 2, 0, 2, 2, 0}, {"red", "pg", 0, 0, 2, 2, 6}},
                   {CountingPage("pg.MAP", 4, 4), CountingPage("pg_6.MAP", 4, 4)}),
              1);
    EXPECT_EQ(Cache_LockCount("pg.MAP"), 2);
    EXPECT_EQ(Cache_LockCount("pg_6.MAP"), 1);
    Sprite_FreeTable();
    EXPECT_LE(Cache_LockCount("pg.MAP"), 0);
    EXPECT_LE(Cache_LockCount("pg_6.MAP"), 0);
    EXPECT_EQ(SpriteCount, 0);
}

TEST_F(SpriteTest, AppendFillsTheTableAndMissionResetDropsAppendedEntries) {
    ASSERT_EQ(Load({{"kept", "pg", 0, 0, 2, 2, 0}}, {CountingPage("pg.MAP", 4, 4)}), 1);
    static const content::NamedFile page = CountingPage("own", 8, 8);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(page.bytes.data());
    EXPECT_EQ(Sprite_Append(bytes, 1, 1, 3, 2), 2);
    Sprite_ResetTables();  // the first mission: start-up ends here and keeps what it appended
    EXPECT_EQ(SpriteCount, 3);
    int w = 0, h = 0;
    Sprite_GetSize(2, &w, &h);
    EXPECT_EQ(w * 10 + h, 32);
    Sprite_GetSize(99, &w, &h);
    EXPECT_EQ(w, 16) << "out of range is entry 0";
    int last = 0;
    while (int index = Sprite_Append(bytes, 0, 0, 1, 1)) last = index;
    EXPECT_EQ(last, 2047);
    EXPECT_EQ(SpriteCount, 2048);
    Sprite_ResetTables();
    EXPECT_EQ(SpriteCount, 3);
    EXPECT_EQ(Sprite_Find("kept"), 1);
}

TEST_F(SpriteTest, AlignmentOfPlainAndScaledDraws) {
    ASSERT_EQ(Load({{"w15", "pg", 0, 0, 15, 2, 0}}, {CountingPage("pg.MAP", 16, 2)}), 1);
    const int s = Sprite_Find("w15");
    struct Case {
        uint32_t flags;
        int firstColumn;
    };
    for (Case c : {Case{kSpriteCentreX, 93}, Case{kSpriteCentreX | kSpriteRight, 93}, Case{kSpriteRight, 85},
                   Case{0, 100}}) {
        GraphicBuffer* t = Target(200, 4, 250);
        Sprite_Draw(t, s, 100, 0, c.flags);
        EXPECT_EQ(At(t, c.firstColumn - 1, 0), 250) << c.flags;
        EXPECT_EQ(At(t, c.firstColumn, 0), 0) << c.flags;
        EXPECT_EQ(At(t, c.firstColumn + 14, 0), 14) << c.flags;
    }
    GraphicBuffer* t = Target(200, 4, 250);
    RenderView view;
    View_Init(&view, t, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    EXPECT_EQ(Sprite_DrawScaled(&view, s, 100, 0, 10, 15, 2, kSpriteCentreX), 1);
    EXPECT_EQ(At(t, 93, 0), 250);
    EXPECT_EQ(At(t, 94, 0), 0);
    EXPECT_EQ(At(t, 108, 0), 14);
    EXPECT_EQ(Sprite_DrawScaled(&view, s, 100, 0, 0, 15, 2, 0), 0) << "depth must be positive";
    EXPECT_EQ(Sprite_DrawScaled(&view, s, 100, 0, 1, 0, 2, 0), 0);
}

TEST_F(SpriteTest, ColourDigitPicksTheColouredPageInSoftware) {
    std::vector<uint8_t> red(16, 6);
    ASSERT_EQ(Load({{"plain", "pg", 0, 0, 2, 2, 0}, {"red", "pg", 0, 0, 2, 2, 6}},
                   {CountingPage("pg.MAP", 4, 4), {"pg_6.MAP", content::SpritePageBytes(4, 4, red)}}),
              1);
    GraphicBuffer* t = Target(4, 2);
    Sprite_Draw(t, Sprite_Find("plain"), 0, 0, 0);
    Sprite_Draw(t, Sprite_Find("red"), 2, 0, 0);
    EXPECT_EQ(At(t, 1, 1), 17);
    EXPECT_EQ(At(t, 3, 1), 6);
}

TEST_F(SpriteTest, ClipRectKeepsTheLastColumnAndRowAndMovesCoordinatesInProportion) {
    int x = 5, y = -2, w = 10, h = 8;
    float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
    ASSERT_EQ(Sprite_ClipRect(0, 0, 9, 3, &x, &y, &w, &h, &u0, &v0, &u1, &v1), 1);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(w, 5) << "columns 5..9 stay";
    EXPECT_FLOAT_EQ(u1, 0.5f);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(h, 4) << "rows 0..3 stay";
    EXPECT_FLOAT_EQ(v0, 0.25f);
    EXPECT_FLOAT_EQ(v1, 0.75f);
    int ox = -10, oy = 0, ow = 10, oh = 1;
    EXPECT_EQ(Sprite_ClipRect(0, 0, 9, 3, &ox, &oy, &ow, &oh, &u0, &v0, &u1, &v1), 0);

    // Drawn through the view's window: the window's last column is painted.
    ASSERT_EQ(Load({{"w8", "pg", 0, 0, 8, 1, 0}}, {CountingPage("pg.MAP", 8, 1)}), 1);
    GraphicBuffer* t = Target(12, 1, 250);
    RenderView view;
    View_Init(&view, t, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    view.windowRight = 9;
    EXPECT_EQ(Sprite_DrawScaled(&view, Sprite_Find("w8"), 6, 0, 1, 8, 1, 0), 1);
    EXPECT_EQ(At(t, 9, 0), 3);
    EXPECT_EQ(At(t, 10, 0), 250);
}

TEST_F(SpriteTest, UvOutsideTheTableIsSpriteZero) {
    ASSERT_EQ(Load({{"a", "pg", 2, 1, 2, 2, 0}}, {CountingPage("pg.MAP", 8, 4)}), 1);
    float z[4], a[4];
    Sprite_GetUV(0, &z[0], &z[1], &z[2], &z[3]);
    for (int index : {-1, SpriteCount}) {
        EXPECT_EQ(Sprite_GetUV(index, &a[0], &a[1], &a[2], &a[3]), Sprite_Get(0).page);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(a[i], z[i]);
    }
    Sprite_GetUV(1, &a[0], &a[1], &a[2], &a[3]);
    EXPECT_FLOAT_EQ(a[0], 0.25f);
    EXPECT_FLOAT_EQ(a[1], 0.25f);
    EXPECT_FLOAT_EQ(a[2], 0.5f);
    EXPECT_FLOAT_EQ(a[3], 0.75f);
}

namespace {
struct Handed {
    RenderVertex v[4];
    uint32_t flags;
    uint32_t tint;
};
std::vector<Handed> g_handed;
void RecordDirect(const RenderVertex* v, int count, const uint8_t*, uint32_t flags) {
    Handed h{};
    for (int i = 0; i < count && i < 4; ++i) h.v[i] = v[i];
    h.flags = flags;
    h.tint = CurrentTint;
    g_handed.push_back(h);
}
void RecordPolygon(const RenderView*, const RenderVertex* v, int count, const uint8_t* page, uint32_t flags) {
    RecordDirect(v, count, page, flags);
}
}  // namespace

TEST_F(SpriteTest, HardwareBranchHandsOverClippedTintedVertices) {
    GraphicD3DFlags = 1;  // the hardware path takes the plain page whatever the colour
    ASSERT_EQ(Load({{"s", "pg", 0, 0, 4, 4, 5}}, {CountingPage("pg.MAP", 8, 4)}), 1);
    const SpriteHardware recorder{RecordDirect, RecordPolygon};
    Sprite_SetHardware(&recorder);
    g_handed.clear();
    GraphicBuffer& screen = g_graphicDriver.screen;
    const GraphicBuffer saved = screen;
    screen.clipLeft = 10;
    screen.clipTop = 0;
    screen.clipRight = 99;
    screen.clipBottom = 99;
    const int s = Sprite_Find("s");
    EXPECT_EQ(Sprite_Draw(&screen, s, -4, 0, kSpriteClip), 0) << "wholly left of the clip rectangle";
    EXPECT_TRUE(g_handed.empty());

    OverlayDepth = 0.0f;
    EXPECT_EQ(Sprite_Draw(&screen, s, 0, 0, kSpriteMirror | 3), 1);
    ASSERT_EQ(g_handed.size(), 1u);
    const Handed& h = g_handed[0];
    EXPECT_EQ(h.tint, SpriteColors[5]);
    EXPECT_EQ(CurrentTint, 0xFFFFFFu);
    EXPECT_EQ(h.flags, SpriteDrawModes[3]);
    EXPECT_FLOAT_EQ(h.v[0].u, 0.5f) << "mirrored: u0 and u1 swapped";
    EXPECT_FLOAT_EQ(h.v[1].u, 0.0f);
    EXPECT_FLOAT_EQ(h.v[0].x, 10.0f) << "relative to the clip origin";
    EXPECT_FLOAT_EQ(h.v[2].x, 14.0f);
    EXPECT_FLOAT_EQ(h.v[0].z, 10.0f) << "depth 0 clamps to 0.1";
    OverlayDepth = 5000.0f;
    Sprite_Draw(&screen, s, 0, 0, 0);
    EXPECT_FLOAT_EQ(g_handed.back().v[0].z, 1.0f / 1640.0f);

    const float corners[4][3] = {{0, 0, 5}, {1, 0, 5}, {1, 1, 5}, {0, 1, 5}};
    Sprite_DrawQuad3D(nullptr, s, corners, 4);
    EXPECT_EQ(g_handed.back().flags, SpriteQuadModes[4] | 0x10u);
    EXPECT_EQ(g_handed.back().tint, SpriteColors[5]);
    screen = saved;
}

TEST_F(SpriteTest, SmokePuffIsQueuedOnceAndDrawnByTheFlush) {
    ASSERT_EQ(Load({{"lsmoke.12", "pg", 0, 0, 4, 4, 0}}, {CountingPage("pg.MAP", 4, 4)}), 1);
    ASSERT_EQ(RenderQueue_Init(), 1);
    const float position[3] = {0.0f, 0.0f, 10.0f};
    Smoke_QueuePuff(position, 4.0f);
    const RenderBucket& bucket = RenderQueue_Bucket(RenderQueue_BucketOf(10.0f));
    ASSERT_EQ(bucket.count, 1u);
    const RenderItem* item = RenderQueue_Item(bucket.head);
    EXPECT_EQ(item->ref, static_cast<uint32_t>(Sprite_Find("lsmoke.12")));
    EXPECT_EQ(item->kind, static_cast<uint32_t>(kRenderSmokeSprite));
    GraphicBuffer* t = Target(64, 48, 250);
    RenderView view;
    View_Init(&view, t, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    RenderQueue_Flush(&view);
    int drawn = 0;
    for (int i = 0; i < 64 * 48; ++i) drawn += t->pixels[i] != 250;
    EXPECT_GT(drawn, 0);
    RenderQueue_Close();
}
