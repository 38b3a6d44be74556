// The sky's polygon clipping and scrolling, as pure functions, and the backdrop band's geometry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "Terrain/terramap.h"
#include "core/clock.h"
#include "platform/clock.h"
#include "render/graphicbuffer.h"
#include "render/raster.h"
#include "render/sky.h"
#include "render/skyeffects.h"
#include "render/texcache.h"
#include "render/view.h"
#include "support/memory_files.h"

namespace {

RenderVertex V(float x, float y, float z, float light = 0.5f) { return RenderVertex{x, y, z, x, y, {light}}; }

// A quad in depth from 200 to 600 (x = depth, so positions show where cuts fall).
void DepthQuad(RenderVertex (&q)[4]) {
    q[0] = V(200, 0, 200);
    q[1] = V(600, 0, 600);
    q[2] = V(600, 10, 600);
    q[3] = V(200, 10, 200);
}

TEST(SkyClip, DepthBandsCountsAndEdgeLights) {
    // The tiled plane's bands with intensity 0.4: 300 takes 0.4, 400 takes 0.7, 500 takes 1.
    struct Case {
        float nearZ, farZ, nearValue, farValue;
        int count;
        float minZ, maxZ;
    };
    const Case cases[] = {
        {0, 300, 0.4f, 0.4f, 4, 200, 300},    // cut at the far edge only
        {300, 400, 0.4f, 0.7f, 4, 300, 400},  // cut on both sides
        {400, 500, 0.7f, 1.0f, 4, 400, 500},
        {700, 900, 0.0f, 1.0f, 0, 0, 0},      // wholly beyond: nothing left
        {0, 100, 0.0f, 1.0f, 0, 0, 0},        // wholly before
    };
    for (const Case& c : cases) {
        RenderVertex in[4], out[8];
        DepthQuad(in);
        const int n = Sky_ClipPolygonDepth(c.nearZ, c.farZ, out, in, 4, c.nearValue, c.farValue);
        ASSERT_EQ(n, c.count) << c.nearZ << ".." << c.farZ;
        for (int i = 0; i < n; ++i) {
            EXPECT_GE(out[i].z, c.minZ);
            EXPECT_LE(out[i].z, c.maxZ);
            EXPECT_FLOAT_EQ(out[i].x, out[i].z) << "x is interpolated with the depth";
            EXPECT_FLOAT_EQ(out[i].u, out[i].z) << "u is interpolated with the depth";
            const float expected = out[i].z == c.nearZ   ? c.nearValue
                                   : out[i].z == c.farZ ? c.farValue
                                                        : 0.5f;  // an original vertex keeps its light
            EXPECT_FLOAT_EQ(out[i].shade, expected) << "vertex at depth " << out[i].z;
        }
    }
}

TEST(SkyClip, DepthCopiesAPolygonWithNothingOutside) {
    RenderVertex in[3] = {V(1, 2, 310, 0.1f), V(3, 4, 320, 0.2f), V(5, 6, 390, 0.3f)}, out[5];
    ASSERT_EQ(Sky_ClipPolygonDepth(300, 400, out, in, 3, 9, 9), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(out[i].x, in[i].x);
        EXPECT_EQ(out[i].z, in[i].z);
        EXPECT_EQ(out[i].shade, in[i].shade);
    }
    EXPECT_EQ(Sky_ClipPolygonDepth(300, 400, out, in, 0, 9, 9), 0);
}

TEST(SkyClip, AZigzagCrossingTheBandManyTimesStaysInItsRoom) {
    // Not convex: eight teeth dipping beyond the far depth; the output room is count + 2.
    RenderVertex in[16], out[18 + 4];
    for (int i = 0; i < 16; ++i) in[i] = V(float(i), 0, i % 2 ? 600.0f : 350.0f);
    for (RenderVertex& v : out) v = V(-1, -1, -1);
    const int n = Sky_ClipPolygonDepth(300, 400, out, in, 16, 0, 1);
    EXPECT_LE(n, 18);
    for (int i = 18; i < 22; ++i) EXPECT_EQ(out[i].z, -1.0f) << "written past the room at " << i;
}

TEST(SkyClip, LineKeepsThePositiveSideAndMarksNewVertices) {
    // A square 0..10; keep x - 4 > 0 (a = 1, b = 0, c = -4).
    RenderVertex in[4] = {V(0, 0, 7, 0.2f), V(10, 0, 8, 0.2f), V(10, 10, 9, 0.2f), V(0, 10, 6, 0.2f)}, out[5];
    const int n = Sky_ClipPolygonLine(4, out, in, 1, 0, -4, 0.9f);
    ASSERT_EQ(n, 4);
    int made = 0;
    for (int i = 0; i < n; ++i) {
        EXPECT_GE(out[i].x, 4.0f);
        if (out[i].x == 4.0f) {
            ++made;
            EXPECT_FLOAT_EQ(out[i].shade, 0.9f);
        } else {
            EXPECT_FLOAT_EQ(out[i].shade, 0.2f);
        }
    }
    EXPECT_EQ(made, 2);
    // The new vertex on the edge from (10, 10) to (0, 10) copies the depth of (10, 10).
    for (int i = 0; i < n; ++i) {
        if (out[i].x != 4.0f || out[i].y != 10.0f) continue;
        EXPECT_EQ(out[i].z, 9.0f);
    }
    // Points on the line are outside: nothing is left of a polygon touching it from the wrong side.
    EXPECT_EQ(Sky_ClipPolygonLine(4, out, in, -1, 0, 0, 1), 0);
}

TEST(SkyScroll, ThreeHundredthsOfATexturePerSecondWrapping) {
    Sky_Reset();
    Sky_AdvanceScroll(10.0f);
    EXPECT_NEAR(Sky_Settings().scrollU, 0.3f, 1e-5f);
    EXPECT_NEAR(Sky_Settings().scrollV, 0.3f, 1e-5f);
    Sky_AdvanceScroll(25.0f);  // 0.3 + 0.75 wraps to 0.05
    EXPECT_NEAR(Sky_Settings().scrollU, 0.05f, 1e-5f);
    for (int i = 0; i < 1000; ++i) Sky_AdvanceScroll(0.7f);
    EXPECT_GE(Sky_Settings().scrollU, 0.0f);
    EXPECT_LT(Sky_Settings().scrollU, 1.0f);
    Sky_AdvanceScroll(NAN);
    EXPECT_TRUE(std::isfinite(Sky_Settings().scrollU));
    Sky_Reset();
}

// ---- the backdrop band ----

struct Drawn {
    float v0;  // the panel's top texture row
    float u0, u1;
    uint32_t kind;
    float depth;
    uint32_t colour;
    std::vector<RenderVertex> vertices;
};
std::vector<Drawn> g_drawn;

void Record(const RenderVertex* v, int count, const TextureImage*, uint32_t kind, float depth, uint32_t colour) {
    ASSERT_GE(count, 3);
    g_drawn.push_back({v[0].v, v[0].u, v[1].u, kind, depth, colour, std::vector<RenderVertex>(v, v + count)});
}

class SkyBackdrop : public ::testing::Test {
protected:
    void SetUp() override {
        Sky_Reset();
        g_drawn.clear();
        Graphic_InitBuffer(&buffer_, 64, 48, nullptr, kGraphicFormat8);
        View_Init(&view_, &buffer_, kDefaultFieldOfView, 1.0f, 1200.0f, 1.0f);
        // A 4 x 4 image: the band never reads it here, it only needs to be present.
        image_.assign(kTextureHeaderSize + 16 + kTextureGuardSize, 7);
        image_[0] = 4, image_[1] = 0, image_[2] = image_[3] = 0;
        image_[4] = 4, image_[5] = image_[6] = image_[7] = 0;
        Sky_SetPolygonHook(Record);
    }
    void TearDown() override {
        Sky_Reset();
        Graphic_FreeBuffer(&buffer_);
    }
    // Faces the camera (at the origin, level) along the heading in degrees (0 along +z, 90 +x).
    void Face(double degrees) {
        const double h = degrees * 3.14159265358979323846 / 180.0;
        View_SetCameraMatrix(&view_, Matrix_FromPositionDirection(DVector{0, 0, 0},
                                                                  Vector{float(std::sin(h)), 0.0f, float(std::cos(h))}));
    }
    SkySettings Band(int distance, int height, int type) {
        SkySettings s;
        s.backdrop = reinterpret_cast<TextureImage*>(image_.data());
        s.backdropDistance = distance;
        s.backdropHeight = height;
        s.backdropType = type;
        const double half = height * 0.5;
        s.backdropWidth = float(2.0 * std::sqrt(half * half + double(distance) * distance));
        return s;
    }
    GraphicBuffer buffer_{};
    RenderView view_{};
    std::vector<uint8_t> image_;
};

TEST_F(SkyBackdrop, PanelsFollowTheWholeUnitsOfTheBandAroundTheHorizon) {
    // Width / (2 distance) is just over 1: the band crosses into the next unit of u.
    struct Case {
        double heading;
        float firstPanelV, secondPanelV;
    };
    const Case cases[] = {
        {45, 0.5f, 0.75f},    // u0 = 2.5
        {-135, 0.0f, 0.25f},  // u0 = 0.5
        {135, 0.75f, 0.0f},   // u0 = 3.5: past 4 the panels start again (floor(u) mod 4)
    };
    for (const Case& c : cases) {
        g_drawn.clear();
        Sky_UseSettings(Band(400, 50, 0));
        Face(c.heading);
        Sky_DrawBackdrop(&view_);
        ASSERT_EQ(g_drawn.size(), 2u) << c.heading;
        EXPECT_FLOAT_EQ(g_drawn[0].v0, c.firstPanelV) << c.heading;
        EXPECT_FLOAT_EQ(g_drawn[1].v0, c.secondPanelV) << c.heading;
        // The band spans 1.002 units from u0: half a unit, then the rest in the next one.
        EXPECT_NEAR(g_drawn[0].u0, 0.5f, 0.02f);  // the facing comes from the frustum corners
        EXPECT_NEAR(g_drawn[0].u1, 1.0f, 1e-4f);
        EXPECT_NEAR(g_drawn[1].u0, 0.0f, 1e-4f);
        EXPECT_NEAR(g_drawn[1].u1, 0.502f, 0.02f);
        for (const Drawn& d : g_drawn) {
            EXPECT_EQ(d.kind, kSkyKindBackdrop);
            EXPECT_EQ(d.depth, -1.0f);
        }
    }
}

TEST_F(SkyBackdrop, TypeOneQueuesAtTheBackdropDistance) {
    Sky_UseSettings(Band(400, 50, 1));
    Face(0);
    Sky_DrawBackdrop(&view_);
    ASSERT_FALSE(g_drawn.empty());
    for (const Drawn& d : g_drawn) {
        EXPECT_EQ(d.kind, kSkyKindBackdropQueued);
        EXPECT_EQ(d.depth, 400.0f);
    }
}

TEST_F(SkyBackdrop, NoBandWithoutDistanceOrTextureAndNeverMoreThanATurnPlusOne) {
    Face(0);
    Sky_UseSettings(Band(0, 50, 0));  // the span would divide by zero
    Sky_DrawBackdrop(&view_);
    EXPECT_TRUE(g_drawn.empty());
    SkySettings none = Band(400, 50, 0);
    none.backdrop = nullptr;
    Sky_UseSettings(none);
    Sky_DrawBackdrop(&view_);
    EXPECT_TRUE(g_drawn.empty());
    Sky_UseSettings(Band(1, 100000, 0));  // a band many times round the horizon
    Sky_DrawBackdrop(&view_);
    EXPECT_EQ(g_drawn.size(), 5u);
}

// ---- the colour sky of sky detail 1 ----

TEST_F(SkyBackdrop, ColourSkyLinesLieWhereThePlaneReachesTheirDepths) {
    // Level along +z: the plane 900 m up lies at depth 900 where y / z = 1 and at depth 1300
    // where y / z = 900 / 1300; above the near line it is nearer, below the far line farther.
    // A wide view, so that both lines cross the window.
    View_SetZoom(&view_, 0.5f);
    Face(0);
    const float nearY = view_.centreY + view_.scaleY * 1.0f;
    const float farY = view_.centreY + view_.scaleY * (900.0f / 1300.0f);
    ASSERT_GT(nearY, view_.windowTop);
    RenderVertex out[5];
    int n = Sky_BuildPlaneQuad(&view_, kSkyColourNear, out, false);
    ASSERT_EQ(n, 4);
    float top = 1e9f, bottom = -1e9f;
    for (int i = 0; i < n; ++i) {
        top = std::min(top, out[i].y), bottom = std::max(bottom, out[i].y);
        EXPECT_FLOAT_EQ(out[i].z, kSkyColourDepth);
    }
    EXPECT_FLOAT_EQ(top, view_.windowTop);
    EXPECT_NEAR(bottom, nearY, 1e-3f);
    n = Sky_BuildPlaneQuad(&view_, kSkyColourFar, out, true);
    ASSERT_EQ(n, 4);
    top = 1e9f, bottom = -1e9f;
    for (int i = 0; i < n; ++i) top = std::min(top, out[i].y), bottom = std::max(bottom, out[i].y);
    EXPECT_NEAR(top, farY, 1e-3f);
    EXPECT_FLOAT_EQ(bottom, view_.windowBottom);
    // The strip joins the two, 0.7 of the window width to each side of the centre.
    RenderVertex strip[4];
    ASSERT_EQ(Sky_BuildHorizonStrip(&view_, kSkyColourNear, kSkyColourFar, strip), 4);
    const float half = 0.7f * (view_.windowRight - view_.windowLeft);
    EXPECT_NEAR(strip[0].y, nearY, 1e-3f);
    EXPECT_NEAR(strip[1].y, nearY, 1e-3f);
    EXPECT_NEAR(strip[2].y, farY, 1e-3f);
    EXPECT_NEAR(strip[3].y, farY, 1e-3f);
    EXPECT_NEAR(std::fabs(strip[1].x - strip[0].x), 2 * half, 1e-3f);
    EXPECT_NEAR(0.5f * (strip[0].x + strip[1].x), view_.centreX, 1e-3f);
    // Looking straight up the whole window lies at one depth: no line, no strip; the window is
    // all near or all beyond.
    View_SetCameraMatrix(&view_, Matrix_FromPositionDirection(DVector{0, 0, 0}, Vector{0.0f, 1.0f, 0.0f}));
    EXPECT_EQ(Sky_BuildHorizonStrip(&view_, kSkyColourNear, kSkyColourFar, strip), 0);
    EXPECT_EQ(Sky_BuildPlaneQuad(&view_, kSkyColourNear, out, false), 4);
    EXPECT_EQ(Sky_BuildPlaneQuad(&view_, kSkyColourFar, out, true), 0);
}

TEST_F(SkyBackdrop, DetailOneDrawsTheColourSkyInThreePieces) {
    SkySettings s = Band(400, 50, 0);  // a backdrop and a sky texture that detail 1 never shows
    s.sky = s.backdrop;
    Sky_UseSettings(s);
    View_SetZoom(&view_, 0.5f);
    Face(0);
    Sky_Draw(&view_, 223, 1);
    ASSERT_EQ(g_drawn.size(), 3u);
    EXPECT_EQ(g_drawn[0].kind, kSkyKindColourFlat);
    EXPECT_EQ(g_drawn[1].kind, kSkyKindColourShaded);
    EXPECT_EQ(g_drawn[2].kind, kSkyKindColourFlat);
    EXPECT_EQ(g_drawn[2].colour, 223u);  // beyond: the caller's colour
    // The strip's light rises from the near line to full light at the far one.
    EXPECT_FLOAT_EQ(g_drawn[1].vertices[2].shade, 1.0f);
    EXPECT_LE(g_drawn[1].vertices[0].shade, 1.0f);
    EXPECT_FLOAT_EQ(g_drawn[2].vertices[0].shade, 1.0f);
}

// ---- the tiled plane on the frame clock ----

TEST_F(SkyBackdrop, TheTiledPlaneScrollsWithTheFrameClockAndTheQuadDoesNot) {
    // Frames of 250 ms on a virtual clock: the frame time is capped at 0.2 s, so each frame
    // moves both offsets by 0.006 of a texture; after 200 frames they have wrapped once.
    SkySettings tiled;
    tiled.sky = reinterpret_cast<TextureImage*>(image_.data());
    Sky_UseSettings(tiled);
    View_SetCameraMatrix(&view_, Matrix_FromPositionDirection(DVector{1234, 56, -789}, Vector{0.0f, 1.0f, 0.3f}));
    const RenderView before = view_;
    Plat_UseVirtualClock(5000);
    Clock_Reset(5000);
    double expected = 0.0;
    bool wrapped = false;
    for (int frame = 0; frame < 200; ++frame) {
        Plat_AdvanceVirtualClock(250);
        Clock_Tick();
        expected += 0.03 * Clock_GetFrameTime();
        Sky_Draw(&view_, 223, 2);
        const double inUnit = expected - std::floor(expected);
        wrapped = wrapped || expected >= 1.0;
        ASSERT_NEAR(Sky_Settings().scrollU, inUnit, 1e-4) << frame;
        ASSERT_EQ(Sky_Settings().scrollU, Sky_Settings().scrollV);
        ASSERT_GE(Sky_Settings().scrollU, 0.0f);
        ASSERT_LT(Sky_Settings().scrollU, 1.0f);
    }
    EXPECT_TRUE(wrapped);
    // The sky draws on a copy of the view: the caller's keeps its far distance and its camera.
    EXPECT_EQ(view_.farDistance, before.farDistance);
    EXPECT_EQ(std::memcmp(&view_.viewMatrix, &before.viewMatrix, sizeof before.viewMatrix), 0);
    EXPECT_EQ(view_.cameraPosition.x, 1234.0);
    EXPECT_EQ(view_.cameraPosition.y, 56.0);
    EXPECT_FALSE(g_drawn.empty()) << "the plane is drawn with the sky texture";
    for (const Drawn& d : g_drawn) EXPECT_EQ(d.kind, kSkyKindTiled);

    // One large quad stands still.
    SkySettings quad = tiled;
    quad.type = 1;
    Sky_UseSettings(quad);
    g_drawn.clear();
    for (int frame = 0; frame < 5; ++frame) {
        Plat_AdvanceVirtualClock(250);
        Clock_Tick();
        Sky_Draw(&view_, 223, 3);
    }
    EXPECT_EQ(Sky_Settings().scrollU, 0.0f);
    ASSERT_FALSE(g_drawn.empty());
    EXPECT_EQ(g_drawn[0].kind, kSkyKindQuad);
    Clock_Reset(0);
}

// ---- the kinds the sky draws with ----

TEST(SkyKinds, EveryKindTheSkyDrawsReachesADrawer) {
    struct Case {
        const char* what;
        uint32_t kind;
    };
    const Case cases[] = {
        {"tiled plane", kSkyKindTiled},         {"one quad", kSkyKindQuad},
        {"backdrop", kSkyKindBackdrop},         {"queued backdrop", kSkyKindBackdropQueued},
        {"colour sky", kSkyKindColourFlat},     {"horizon strip", kSkyKindColourShaded},
        {"cloud", kCloudKind},                  {"keyed star", kStarKindKeyed},
        {"solid star", 0},                      {"animated sky", kAnimSkyKind},
        {"scrounge", kScroungeKind},
    };
    for (const Case& c : cases) {
        EXPECT_NE(Raster_DrawerFor(c.kind), &Raster_None) << c.what;
        // A textured kind whose texture is missing falls back to the untextured drawer.
        EXPECT_NE(Raster_DrawerFor(c.kind & ~kPolyTextured), &Raster_None) << c.what;
    }
}

}  // namespace

// A map without its settings file: loading the sky reads some hundred settings, all answered
// with their defaults from one look for the file; the next map (a new name, or the same map
// loaded again) looks once more, and finds the file once it is there.
TEST(SkySettingsFile, AMapWithoutItsSettingsFileIsLookedForOncePerMap) {
    MemoryFiles files;
    Terrain_SetFileName("bare.bzn");
    Sky_Load();
    EXPECT_EQ(Sky_Settings().height, 100);
    Sky_Load();
    EXPECT_EQ(files.Loads("bare.TRN"), 1);

    Terrain_SetFileName("bare.bzn");
    Sky_Load();
    EXPECT_EQ(files.Loads("bare.TRN"), 2);

    files.Add("bare.TRN", "[Sky]\nSkyHeight = 250\n");
    Sky_Load();
    EXPECT_EQ(Sky_Settings().height, 100) << "the miss holds until the map changes";
    Terrain_SetFileName("bare.bzn");
    Sky_Load();
    EXPECT_EQ(Sky_Settings().height, 250);
    EXPECT_EQ(files.Loads("bare.TRN"), 3);
    Sky_Reset();
    Terrain_SetFileName("");
}
