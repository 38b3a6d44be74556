// The sky's decorations read from a small map settings file with small solid textures: clouds,
// stars, the animated sky and the animated scrounge, their names, their limits, their stepping
// on a virtual clock, and the texture references they give back.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "Terrain/terramap.h"
#include "Terrain/terrenv.h"
#include "core/configfile.h"
#include "core/seams/render.h"
#include "render/sprite.h"
#include "platform/random.h"
#include "render/graphicbuffer.h"
#include "render/renderqueue.h"
#include "render/sky.h"
#include "render/skyeffects.h"
#include "render/view.h"
#include "sprite_writer.h"
#include "texture_fixture.h"

namespace {

using content::ArchiveRecord;

struct Seen {
    const TextureImage* texture;
    uint32_t kind;
    std::vector<RenderVertex> vertices;
};
std::vector<Seen> g_seen;
void Note(const RenderVertex* v, int count, const TextureImage* texture, uint32_t kind) {
    g_seen.push_back({texture, kind, std::vector<RenderVertex>(v, v + count)});
}

class SkyEffectsTest : public TextureTest {
protected:
    void SetUp() override {
        TextureTest::SetUp();
        Sky_Reset();
        Cfg_Forget();
        Random_Seed(7);
        g_seen.clear();
        SkyEffects_SetHook(Note);
        Graphic_InitBuffer(&buffer_, 64, 48, nullptr, kGraphicFormat8);
        View_Init(&view_, &buffer_, kDefaultFieldOfView, 1.0f, 1200.0f, 1.0f);
        View_SetCameraMatrix(&view_, Matrix_FromPositionDirection(DVector{0, 0, 0}, Vector{0.0f, 0.0f, 1.0f}));
    }
    void TearDown() override {
        Clouds_Free();
        Stars_Free();
        AnimSky_Free();
        Scrounge_Free();
        SkyEffects_Reset();
        Sky_Reset();
        Cfg_Forget();
        Terrain_SetFileName("");
        Graphic_FreeBuffer(&buffer_);
        TextureTest::TearDown();
    }
    // The map's settings and a 4 x 4 solid texture for each name ("c1" serves "c1.map" too).
    void World(const std::string& settings, const std::vector<std::string>& textures) {
        std::vector<ArchiveRecord> records{{"fx.trn", settings, true, 0}, {"book.cbk", Book(), true, 0}};
        uint8_t colour = 20;
        for (const std::string& t : textures)
            records.push_back(
                {t + ".vqm", content::VqmBytes(0, 4, 4, "book.cbk", {static_cast<uint16_t>(0x8000 | colour++)}), true, 0});
        Install(records);
        Terrain_SetFileName("fx");
    }
    static std::string Book() {
        std::array<uint8_t, 16> e{};
        return content::CodeBookBytes({e});
    }
    // The references of a texture: the names come from the settings file, which is read
    // upper-cased, and the cache keeps the stem with ".vqm".
    static int Held(std::string name) {
        for (size_t i = 0; i < name.size() && name[i] != '.'; ++i)
            name[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
        return Refs(name.c_str());
    }
    int Drawn(uint32_t kind) const {
        int n = 0;
        for (const Seen& s : g_seen) n += s.kind == kind;
        return n;
    }
    GraphicBuffer buffer_{};
    RenderView view_{};
};

TEST_F(SkyEffectsTest, CloudsNeedATextureAndAreDrawnNineTimesAroundTheAnchor) {
    World("[Clouds]\nCount = 5\nTexture0 = nothere.map\n", {});
    Clouds_Load();
    EXPECT_EQ(Clouds_Count(), 0) << "no loadable texture: no clouds";
    Clouds_Draw(&view_);
    EXPECT_TRUE(g_seen.empty());

    // Texture 1 is missing and skipped; texture 2 comes second and sits 2 m above its height.
    Cfg_Forget();
    World("[Clouds]\nCount = 5\nTileSize = 0\nTexture0 = c1.map\nSize0 = 40\nHeight0 = 100\n"
          "Texture1 = gone.map\nTexture2 = c2.map\nSize2 = 20\nHeight2 = 100\n",
          {"c1", "c2"});
    Clouds_Load();
    ASSERT_EQ(Clouds_Count(), 5);
    ASSERT_NE(Clouds_GetTexture(1), nullptr);
    EXPECT_EQ(Clouds_GetTexture(2), nullptr);
    EXPECT_EQ(Held("c1.vqm"), 1);
    SkyEffects_SetEye(DVector{1234.0, 5.0, -777.0});
    Clouds_Draw(&view_);
    ASSERT_EQ(g_seen.size(), 45u);
    // A tile size of 0 takes 100 m: every corner is a finite point, each cloud's nine copies
    // stand 100 m apart, at the cloud's height plus the camera's plus its index.
    for (const Seen& s : g_seen) {
        EXPECT_EQ(s.kind, kCloudKind);
        for (const RenderVertex& v : s.vertices) EXPECT_TRUE(std::isfinite(v.x + v.y + v.z));
    }
    for (int k = 0; k < 5; ++k) {
        const Seen& first = g_seen[size_t(k) * 9];
        const Seen& next = g_seen[size_t(k) * 9 + 1];  // one tile further in z
        EXPECT_NEAR(next.vertices[0].z - first.vertices[0].z, 100.0f, 1e-2f);
        const float side = first.vertices[1].x - first.vertices[0].x;
        const float y = first.vertices[0].y;
        EXPECT_TRUE(std::fabs(side - 40.0f) < 1e-3f || std::fabs(side - 20.0f) < 1e-3f) << side;
        EXPECT_NEAR(y, (side > 30.0f ? 100.0f : 102.0f) + k, 1e-3f);
    }
    Clouds_Free();
    EXPECT_EQ(Held("c1.vqm"), 0);
    EXPECT_EQ(Held("c2.vqm"), 0);
}

TEST_F(SkyEffectsTest, StarsFromTheTableAndTheRingsOfTheList) {
    World("[Stars]\nRadius = 800\nTexture00 = st.map\nSize00 = 10\nAzimuth00 = 90\nElevation00 = 30\nAlpha00 = 0\n"
          "Texture01 = gone.map\n"
          "[StarList]\nTexture = st.map\nLayerHeight = 20\nCount0 = 4\nSize1 = 5\nStart1 = 0\nEnd1 = 90\n",
          {"st"});
    ASSERT_EQ(Stars_Load(), 5) << "one table star, four of ring 0; ring 1 keeps Count -1";
    const StarRecord& table = Stars_Get(0);
    EXPECT_EQ(table.kind, kStarKindKeyed);
    EXPECT_FLOAT_EQ(table.radius, 800.0f);
    EXPECT_NEAR(table.azimuth, 3.14159265f / 2, 1e-6f);
    EXPECT_NEAR(table.elevation, -3.14159265f / 6, 1e-6f);  // stored negated
    const float degrees[4] = {45, 135, 225, 315};
    for (int j = 0; j < 4; ++j) {
        const StarRecord& s = Stars_Get(1 + j);
        EXPECT_NEAR(s.azimuth, degrees[j] * 3.14159265f / 180, 1e-5f) << j;
        EXPECT_NEAR(s.elevation, -10.0f * 3.14159265f / 180, 1e-5f);  // half a layer up
        EXPECT_NEAR(s.roll, -j * 3.14159265f / 4, 1e-5f);
        EXPECT_EQ(s.kind, kStarKindAlpha);
        EXPECT_FLOAT_EQ(s.radius, 1000.0f);
    }
    EXPECT_EQ(Held("st.vqm"), 5) << "one reference per star";
    Stars_Draw(&view_);
    ASSERT_EQ(g_seen.size(), 5u);
    // The table star stands due east (+x) at its radius, 30 degrees up, a 10 m square.
    Vector centre{0, 0, 0};
    for (const RenderVertex& v : g_seen[0].vertices) centre.x += v.x / 4, centre.y += v.y / 4, centre.z += v.z / 4;
    EXPECT_NEAR(centre.x, 800 * std::cos(3.14159265f / 6), 0.05f);
    EXPECT_NEAR(centre.y, 400.0f, 0.05f);
    EXPECT_NEAR(centre.z, 0.0f, 0.05f);
    Stars_Free();
    EXPECT_EQ(Held("st.vqm"), 0);
    EXPECT_EQ(Stars_Count(), 0);

    // A solid list: its stars carry the solid marker and no texture.
    Cfg_Forget();
    World("[StarList]\nSolid = 1\nTexture = st.map\nCount0 = 2\n", {"st"});
    ASSERT_EQ(Stars_Load(), 2);
    EXPECT_EQ(Stars_Get(0).handle, nullptr);
    EXPECT_EQ(Stars_Get(0).kind, 0u);
    EXPECT_EQ(Held("st.vqm"), 0);
}

TEST_F(SkyEffectsTest, AnimatedSkyNamesGiveTheirFrameCounts) {
    struct Case {
        const char* name;
        int frames;
    };
    const Case cases[] = {{"fx05", 5}, {"12", 12}, {"x00", 0}, {"a", 0}, {"", 0}, {"fx5", 0}, {"fx0a", 0}};
    for (const Case& c : cases) EXPECT_EQ(SkyEffects_FrameCountOfName(c.name), c.frames) << c.name;

    World("[AnimatedSky]\nCount = 100\nAnim0 = fx03\nAnim1 = x00\nAnim2 = b\nAnim3 = zz1\n", {"fx01", "fx02", "fx03"});
    AnimSky_Load();
    EXPECT_EQ(AnimSky_ItemCount(), 16) << "a Count above 32 takes 16";
    EXPECT_EQ(AnimSky_KindFrames(0), 3);
    for (int k = 1; k < kMaxAnimSkyKinds; ++k) EXPECT_EQ(AnimSky_KindFrames(k), 0) << k;
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(Held("fx01.vqm"), 1);
    AnimSky_Free();
    EXPECT_EQ(Held("fx03.vqm"), 0);
}

TEST_F(SkyEffectsTest, AnimatedSkyStepsOnTheMillisecondClockAndNeverDrawsFrameZero) {
    World("[AnimatedSky]\nCount = 1\nDiameter = 0\nminDelay = 100\nmaxDelay = 100\nAnim0 = fx02\nRate0 = 50\n"
          "Size0 = 1000\n",
          {"fx01", "fx02"});
    AnimSky_Load();
    SkyEffects_SetEye(DVector{0.0, 0.0, 0.0});
    AnimSky_Update(&view_);  // placed: frame 0, waiting 100 ms
    EXPECT_EQ(AnimSky_Item(0).frame, 0);
    EXPECT_DOUBLE_EQ(AnimSky_Item(0).position.x, 5.0) << "a cell centre";
    std::vector<int> frames;
    for (int ms = 0; ms < 400; ms += 10) {
        Plat_AdvanceVirtualClock(10);
        g_seen.clear();
        AnimSky_Update(&view_);
        frames.push_back(AnimSky_Item(0).frame);
        if (AnimSky_Item(0).frame == 0) {
            EXPECT_TRUE(g_seen.empty()) << ms;
        }
        for (const Seen& s : g_seen) {
            EXPECT_EQ(s.kind, kAnimSkyKind);
            EXPECT_EQ(s.texture, AnimSky_Item(0).frames[AnimSky_Item(0).frame - 1]);
            EXPECT_NEAR(s.vertices[0].y, 50.0f - 10.0f, 1e-3f);  // 50 m up less the side
        }
    }
    // 100 ms to frame 1, 50 ms each to frame 2 and past it, then idle and placed again.
    EXPECT_EQ(frames[8], 0);
    EXPECT_EQ(frames[9], 1);
    EXPECT_EQ(frames[14], 2);
    EXPECT_EQ(frames[19], 0);
}

TEST_F(SkyEffectsTest, AMissingFrameTurnsTheEffectOffAndReleasesItsTextures) {
    World("[AnimatedSky]\nAnim0 = fx02\nAnim1 = gx03\n"
          "[AnimatedScrounge]\nType0 = t001\nType1 = u101\n",
          {"fx01", "fx02", "gx01", "gx03", "t000", "t001", "u000", "u001", "u100"});
    AnimSky_Load();
    EXPECT_EQ(AnimSky_ItemCount(), 0);
    EXPECT_EQ(AnimSky_KindFrames(0), 0);
    Scrounge_Load();
    EXPECT_EQ(Scrounge_SpriteCount(), 0);
    EXPECT_EQ(Scrounge_TypeSets(0), 0);
    const std::vector<std::string> boxes = BoxTexts();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "Texture not found, Animated sky will be turned off");
    EXPECT_EQ(boxes[1], "Anim Texture not found, Animated scrounge will be off");
    for (const char* name : {"fx01.vqm", "fx02.vqm", "gx01.vqm", "t000.vqm", "t001.vqm", "u000.vqm", "u100.vqm"})
        EXPECT_EQ(Held(name), 0) << name;
}

TEST_F(SkyEffectsTest, ScroungeTypeNamesSetsAndCounts) {
    // 9 asks for ten sets: eight are kept. A name without three final digits has no frames.
    World("[AnimatedScrounge]\nType0 = t900\nType1 = s102\nType2 = grass\nType3 = 12\nCount = 100\n",
          {"t000", "t100", "t200", "t300", "t400", "t500", "t600", "t700", "s000", "s001", "s002", "s100", "s101",
           "s102"});
    Scrounge_Load();
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(Scrounge_SpriteCount(), 32) << "a Count above 64 takes 32";
    EXPECT_EQ(Scrounge_TypeSets(0), 8);
    EXPECT_EQ(Scrounge_TypeFrames(0), 1);
    EXPECT_EQ(Scrounge_TypeSets(1), 2);
    EXPECT_EQ(Scrounge_TypeFrames(1), 3);
    EXPECT_EQ(Scrounge_TypeSets(2), 0);
    EXPECT_EQ(Scrounge_TypeSets(3), 0);
    Scrounge_Free();
    for (const char* name : {"t000.vqm", "t700.vqm", "s102.vqm"}) EXPECT_EQ(Held(name), 0) << name;
}

TEST_F(SkyEffectsTest, ScroungeStandsOnlyOnPlainCellsOfTypesWithFrames) {
    World("[AnimatedScrounge]\nType1 = s000\nCount = 8\nDiameter = 100\nRate = 10\n", {"s000"});
    Scrounge_Load();
    ASSERT_EQ(Scrounge_SpriteCount(), 8);
    // Every cell of the map the same material word: type bits 12-15, neighbour bits 8-11.
    static uint16_t block[64 * 64];
    std::vector<uint16_t*> saved(std::begin(MaterialBlockTable), std::end(MaterialBlockTable));
    for (uint16_t*& entry : MaterialBlockTable) entry = block;
    Terrain_Environment().visibilityMetres = 1000.0f;
    View_SetCameraMatrix(&view_, Matrix_FromPositionDirection(DVector{500, 20, 500}, Vector{0.0f, -0.3f, 1.0f}));
    auto placed = [&](uint16_t word) {
        std::fill(std::begin(block), std::end(block), word);
        Scrounge_Free();
        Scrounge_Load();
        Scrounge_Update(&view_);
        int n = 0;
        for (int i = 0; i < Scrounge_SpriteCount(); ++i) n += Scrounge_Sprite(i).frames != nullptr;
        return n;
    };
    EXPECT_EQ(placed(0x1100), 8) << "plain cells of type 1";
    EXPECT_EQ(placed(0x0000), 0) << "type 0 has no frames";
    EXPECT_EQ(placed(0x1000), 0) << "type 1 next to type 0 is not plain";
    EXPECT_EQ(placed(0x5500), 0) << "types above 3 have no scrounge";
    // Placed sprites stand on cell centres near the camera and draw once their frame comes.
    placed(0x1100);
    for (int i = 0; i < Scrounge_SpriteCount(); ++i) {
        const AnimItem& s = Scrounge_Sprite(i);
        EXPECT_DOUBLE_EQ(std::fmod(s.position.x, 10.0), 5.0);
        EXPECT_LE(std::fabs(s.position.x - 500.0), 60.0);
        EXPECT_LT(s.delay, 10) << "a random part of one cycle";
    }
    Plat_AdvanceVirtualClock(20);
    RenderQueue_Reset();
    Scrounge_Update(&view_);
    EXPECT_EQ(Drawn(kScroungeKind), 8);
    // With the visibility range drawn in to 1 m every sprite stands beyond it: none is drawn,
    // each waits to be placed again.
    Terrain_Environment().visibilityMetres = 1.0f;
    g_seen.clear();
    Plat_AdvanceVirtualClock(20);
    Scrounge_Update(&view_);
    EXPECT_EQ(Drawn(kScroungeKind), 0);
    for (int i = 0; i < Scrounge_SpriteCount(); ++i) EXPECT_EQ(Scrounge_Sprite(i).frames, nullptr) << i;
    RenderQueue_Reset();
    std::copy(saved.begin(), saved.end(), std::begin(MaterialBlockTable));
    TerrainEnv_Reset();
}

// ---- the sky around its effects ----

int g_clears = 0, g_clearColour = -1;
void CountClear(int colour) {
    ++g_clears;
    g_clearColour = colour;
}
int g_skyPolygons = 0, g_otherPolygons = 0;
void CountSky(const RenderVertex*, int, const TextureImage* texture, uint32_t kind, float, uint32_t) {
    const bool colourSky = !texture && (kind == kSkyKindColourFlat || kind == kSkyKindColourShaded);
    ++(colourSky ? g_skyPolygons : g_otherPolygons);
}

TEST_F(SkyEffectsTest, AMapWithoutASkySectionOnlyClearsToTheSkyColour) {
    World("[World]\nTime = 1200\n", {});
    Sky_Load();
    EXPECT_EQ(Sky_GetTexture(), nullptr);
    EXPECT_EQ(Sky_GetBackdropTexture(), nullptr);
    EXPECT_EQ(Sky_Settings().sun, 0);
    EXPECT_EQ(Sky_Settings().height, 100);
    RenderSeam& render = Seam_Render();
    const RenderSeam saved = render;
    render.driverClear = CountClear;
    g_clears = 0, g_skyPolygons = 0, g_otherPolygons = 0;
    Sky_SetPolygonHook(CountSky);
    View_SetCameraMatrix(&view_, Matrix_FromPositionDirection(DVector{0, 0, 0}, Vector{0.0f, 1.0f, 0.2f}));
    for (int detail = 0; detail <= 3; ++detail) Sky_Draw(&view_, 223, detail);
    EXPECT_EQ(g_clears, 3) << "every detail but the colour sky's";
    EXPECT_EQ(g_clearColour, 223);
    EXPECT_GT(g_skyPolygons, 0) << "the colour sky's pieces";
    EXPECT_EQ(g_otherPolygons, 0) << "no plane, no backdrop";
    EXPECT_TRUE(g_seen.empty()) << "no effects";
    render = saved;
    Sky_Free();
}

TEST_F(SkyEffectsTest, TheSunIsDrawnCentredOnItsPointAndNeverFromBehind) {
    // A 4 x 4 page whose top-left 3 x 3 is the sun: texels 101 .. 109, but its top-left corner is
    // the key colour, which leaves the sky behind it.
    std::vector<uint8_t> page = {4, 0, 0, 0, 4, 0, 0, 0};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) page.push_back(x < 3 && y < 3 ? static_cast<uint8_t>(101 + y * 3 + x) : 1);
    page[8] = 255;
    SkySettings settings;
    settings.sun = Sprite_Append(page.data(), 0, 0, 3, 3);
    ASSERT_GT(settings.sun, 0);
    Sky_UseSettings(settings);
    const float overlay = OverlayDepth;
    Terrain_Environment().visibilityMetres = 321.0f;
    struct Case {
        const char* what;
        Vector facing;
        bool drawn;
    };
    // The sun stands straight up (the lighting's default direction).
    const Case cases[] = {{"looking up", {0.0f, 1.0f, 0.0f}, true},
                          {"level: on the near plane's edge", {0.0f, 0.0f, 1.0f}, false},
                          {"looking down", {0.0f, -1.0f, 0.0f}, false}};
    for (const Case& c : cases) {
        std::fill(buffer_.pixels, buffer_.pixels + 64 * 48, 7);
        View_SetCameraMatrix(&view_, Matrix_FromPositionDirection(DVector{10, 20, 30}, c.facing));
        Sky_DrawSun(&view_);
        std::vector<uint8_t> expected(64 * 48, 7);
        if (c.drawn) {
            // Centred on the projected point, the buffer's centre (32, 24): columns 31 .. 33.
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 3; ++x)
                    if (x + y > 0) expected[size_t(23 + y) * 64 + 31 + x] = static_cast<uint8_t>(101 + y * 3 + x);
        }
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer_.pixels)) << c.what;
        EXPECT_EQ(OverlayDepth, overlay) << "the overlay depth comes back";
    }
    TerrainEnv_Reset();
}

// A sprite table of one 3 x 3 sprite "sun" in colours 101 .. 109 on a 4 x 3 page.
std::string g_sunTable, g_sunPage;
const uint8_t* UseSunFile(const char* name, size_t* size) {
    const std::string& file = std::string(name) == "sprite8.stb" ? g_sunTable : g_sunPage;
    *size = file.size();
    return reinterpret_cast<const uint8_t*>(file.data());
}

TEST_F(SkyEffectsTest, ASkyOfOnlyASunDrawsTheClearColourAndTheSun) {
    std::vector<uint8_t> page(12, 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) page[size_t(y) * 4 + x] = static_cast<uint8_t>(101 + y * 3 + x);
    g_sunTable = content::SpriteTableBytes({{"sun", "sp", 0, 0, 3, 3, 0}});
    g_sunPage = content::SpritePageBytes(4, 3, page);
    const SpriteFiles files{UseSunFile, [](const char*) {}};
    Sprite_SetFiles(&files);
    ASSERT_EQ(Sprite_LoadTable(), 1);
    World("[Sky]\nSunTexture = sun\n", {});
    Sky_Load();
    ASSERT_GT(Sky_Settings().sun, 0);
    EXPECT_EQ(Sky_GetTexture(), nullptr);
    RenderSeam& render = Seam_Render();
    const RenderSeam saved = render;
    render.driverClear = CountClear;
    Sky_SetPolygonHook(CountSky);
    // The sun stands straight up; the camera looks up at it.
    View_SetCameraMatrix(&view_, Matrix_FromPositionDirection(DVector{0, 0, 0}, Vector{0.0f, 1.0f, 0.0f}));
    for (int detail = 0; detail <= 3; ++detail) {
        SCOPED_TRACE(detail);
        g_clears = 0, g_skyPolygons = 0, g_otherPolygons = 0;
        std::fill(buffer_.pixels, buffer_.pixels + 64 * 48, 7);
        Sky_Draw(&view_, 223, detail);
        EXPECT_EQ(g_clears, detail == 1 ? 0 : 1);
        EXPECT_EQ(g_otherPolygons, 0) << "no plane, no backdrop";
        // The sun's nine texels around the buffer's centre (32, 24).
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(buffer_.pixels[size_t(23 + y) * 64 + 31 + x], 101 + y * 3 + x) << x << "," << y;
    }
    EXPECT_TRUE(g_seen.empty()) << "no effects";
    // Until the camera gives a view there is only the clear.
    g_clears = 0, g_skyPolygons = 0, g_otherPolygons = 0;
    std::fill(buffer_.pixels, buffer_.pixels + 64 * 48, 7);
    Sky_Draw(nullptr, 223, 3);
    EXPECT_EQ(g_clears, 1);
    EXPECT_EQ(g_clearColour, 223);
    EXPECT_EQ(g_skyPolygons + g_otherPolygons, 0);
    EXPECT_TRUE(std::all_of(buffer_.pixels, buffer_.pixels + 64 * 48, [](uint8_t p) { return p == 7; }));
    render = saved;
    Sky_Free();
    EXPECT_EQ(Sky_Settings().sun, 0);
}

TEST_F(SkyEffectsTest, FreeingTheSkyGivesBackEveryTextureItLoaded) {
    World("[Sky]\nSkyTexture = sk.map\nBackdropTexture = bd.map\n"
          "[Clouds]\nCount = 3\nTexture0 = c1.map\nTexture1 = c2.map\n"
          "[Stars]\nTexture00 = st.map\n[StarList]\nTexture = st.map\nCount0 = 3\n"
          "[AnimatedSky]\nAnim0 = fx02\n",
          {"sk", "bd", "c1", "c2", "st", "fx01", "fx02"});
    const char* const names[] = {"sk.vqm", "bd.vqm", "c1.vqm", "c2.vqm", "st.vqm", "fx01.vqm", "fx02.vqm"};
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Sky_Load();
        ASSERT_NE(Sky_GetTexture(), nullptr);
        ASSERT_NE(Sky_GetBackdropTexture(), nullptr);
        EXPECT_EQ(Clouds_Count(), 3);
        EXPECT_EQ(Stars_Count(), 4);
        EXPECT_EQ(AnimSky_KindFrames(0), 2);
        for (const char* name : names) EXPECT_GT(Held(name), 0) << name;
        Sky_Free();
        for (const char* name : names) EXPECT_EQ(Held(name), 0) << name;
        EXPECT_EQ(Sky_GetTexture(), nullptr);
        EXPECT_EQ(Sky_GetBackdropTexture(), nullptr);
        EXPECT_EQ(Clouds_Count(), 0);
        EXPECT_EQ(Stars_Count(), 0);
        EXPECT_EQ(AnimSky_ItemCount(), 0);
    }
}

}  // namespace
