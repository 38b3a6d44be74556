#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <tuple>
#include <string>
#include <vector>

#include "Terrain/terraintex.h"
#include "Terrain/terrenv.h"
#include "core/app.h"
#include "core/checksum.h"
#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "platform/clock.h"
#include "render/clip.h"
#include "render/graphicbuffer.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/terraindraw.h"
#include "render/view.h"
#include "terrain_fixture.h"
#include "texture_writer.h"

namespace {

struct Polygon {
    std::vector<RenderVertex> vertices;
    const TextureImage* texture;
    int colour;
    uint32_t kind;
};
std::vector<Polygon>& Recorded() {
    static std::vector<Polygon> polygons;
    return polygons;
}
void Record(const RenderVertex* v, int count, const TextureImage* texture, int colour, uint32_t kind) {
    Recorded().push_back({std::vector<RenderVertex>(v, v + count), texture, colour, kind});
}

constexpr uint16_t kGround = 100;  // 10 m

class TerrainDrawTest : public TerrainTest {
protected:
    void SetUp() override {
        TerrainTest::SetUp();
        if (!RenderQueue_Current()) {
            ASSERT_EQ(RenderQueue_Init(), 1);
        }
        Recorded().clear();
        Terrain_SetPolygonHook(Record);
        Graphic_InitBuffer(&buffer_, 160, 120, nullptr, kGraphicFormat8);
    }
    void TearDown() override {
        RenderQueue_Reset();
        Graphic_FreeBuffer(&buffer_);
        Terrain_FreeTextures();
        TerrainTest::TearDown();
    }
    // One zone from (0, 0) at the given detail option.
    void LoadWith(const std::string& sections, int option, std::function<uint16_t(int, int)> height = nullptr,
                  std::function<uint16_t(int, int)> material = nullptr, int baseHeight = 0,
                  std::vector<content::ArchiveRecord> extra = {}) {
        content::TerrainMapSpec spec =
            Map("draw", 1280, 1280, 0, 0, height ? std::move(height) : [](int, int) { return kGround; },
                std::move(material));
        spec.baseHeight = baseHeight;
        spec.extraSections = sections;
        std::vector<content::ArchiveRecord> records = content::TerrainRecords(spec);
        records.insert(records.end(), extra.begin(), extra.end());
        Install(records, "terrain.zfs");
        ASSERT_EQ(Terrain_LoadMap("draw.bzn", option), 1);
    }
    // The camera eye metres above (x, z), heading and pitch in degrees.
    RenderView* Look(double x, double z, double eye, double heading, double pitch, float far = 250.0f) {
        View_Init(&view_, &buffer_, kDefaultFieldOfView, 1.0f, far, 1.0f);
        const double h = heading * 3.14159265358979323846 / 180.0, p = pitch * 3.14159265358979323846 / 180.0;
        const Vector dir{float(std::sin(h) * std::cos(p)), float(std::sin(p)), float(std::cos(h) * std::cos(p))};
        camera_ = DVector{x, Terrain_GetHeight(x, z) + eye, z};
        View_SetCameraMatrix(&view_, Matrix_FromPositionDirection(camera_, dir));
        return &view_;
    }
    std::vector<Polygon> Draw(RenderView* view) {
        Recorded().clear();
        RenderQueue_Reset();
        Terrain_Draw(view);
        return Recorded();
    }

    GraphicBuffer buffer_{};
    RenderView view_{};
    DVector camera_{};
};

float Span(const Polygon& p) {
    float lo = p.vertices[0].x, hi = lo;
    for (const RenderVertex& v : p.vertices) lo = std::min(lo, v.x), hi = std::max(hi, v.x);
    return hi - lo;
}

}  // namespace

TEST_F(TerrainDrawTest, DrawingModesOfTheDetailOptions) {
    struct Case {
        int option;
        uint32_t kind;
        bool textured;
        int pixelDouble, faceMask;
    } cases[] = {{0, 264, false, 1, 15}, {1, 265, false, 1, 15}, {2, 265, true, 1, 15},
                 {3, 265, true, 0, 3},   {9, 264, false, 1, 15}, {-1, 264, false, 1, 15}};
    for (const Case& c : cases) {
        Terrain_SetDrawMode(c.option);
        const TerrainDrawMode& m = Terrain_DrawMode();
        EXPECT_EQ(m.polygonKind, c.kind) << c.option;
        EXPECT_EQ(m.textured, c.textured) << c.option;
        EXPECT_EQ(*Terrain_RenderHooks().pixelDouble, c.pixelDouble) << c.option;
        EXPECT_EQ(m.faceMask, c.faceMask) << c.option;
    }
    // The hardware terrain path draws triangles and separately.
    Terrain_RenderHooks().hardware = [] { return true; };
    *Terrain_RenderHooks().renderFlags = kRenderFlagHardwareTerrain;
    Terrain_SetDrawMode(1);
    EXPECT_EQ(Terrain_DrawMode().faceMask, 3);
    EXPECT_EQ(*Terrain_RenderHooks().separateDraw, 1);
}

TEST_F(TerrainDrawTest, FaceMaskMergesFlatCells) {
    LoadWith("", 1);
    RenderView* view = Look(640, 400, 6, 0, -20);
    Terrain_DrawMode().faceMask = 3;
    const std::vector<Polygon> triangles = Draw(view);
    Terrain_DrawMode().faceMask = 7;
    const std::vector<Polygon> cells = Draw(view);
    Terrain_DrawMode().faceMask = 15;
    const std::vector<Polygon> pairs = Draw(view);

    ASSERT_GT(cells.size(), 20u);
    for (const Polygon& p : triangles) ASSERT_EQ(p.vertices.size(), 3u);
    EXPECT_EQ(triangles.size(), 2 * cells.size());
    for (const Polygon& p : cells) {
        ASSERT_EQ(p.vertices.size(), 4u);
        EXPECT_NEAR(Span(p), 10.0f, 1e-3);
    }
    size_t doubles = 0, singles = 0;
    for (const Polygon& p : pairs) {
        ASSERT_EQ(p.vertices.size(), 4u);
        (Span(p) > 15.0f ? doubles : singles) += 1;
    }
    // Along each row two cells make one quad; a row's odd cell at an end stays alone.
    EXPECT_GT(doubles, 4 * singles);
    EXPECT_GE(2 * doubles + singles, cells.size());
    EXPECT_LT(pairs.size(), cells.size() * 6 / 10);
    // Untextured polygons of option 1 carry the type's flat colour and kind 265.
    EXPECT_EQ(pairs[0].texture, nullptr);
    EXPECT_EQ(pairs[0].kind, 265u);
}

TEST_F(TerrainDrawTest, CellsOutsideASidePlaneOrFacingAwayBuildNothing) {
    LoadWith("", 1);
    RenderView* view = Look(640, 400, 6, 0, 0);
    auto cell = [](float x, float y, float z) {
        return std::vector<Vector>{{x, y, z}, {x + 10, y, z}, {x + 10, y, z + 10}, {x, y, z + 10}};
    };
    const std::vector<Vector> ahead = cell(-5, -6, 20), left = cell(-400, -6, 20), far = cell(-5, -6, 400);
    EXPECT_EQ(Terrain_CullTriangle(view, ahead.data()), 0);
    EXPECT_EQ(Terrain_CullTriangle(view, left.data()), 1);
    EXPECT_EQ(Terrain_CullTriangle(view, far.data()), 1);
    EXPECT_EQ(Geom_TriangleSideTest(ahead[0], ahead[1], ahead[2], ahead[3]), 3);
    const std::vector<Vector> above = cell(-5, 6, 20);
    EXPECT_EQ(Geom_TriangleSideTest(above[0], above[1], above[2], above[3]), 0);
    // A ridge along z: its western slope faces a camera in the west, the eastern one does not.
    const std::vector<Vector> fold = {{-5, -6, 20}, {5, 0, 20}, {5, 0, 30}, {-5, -12, 30}};
    EXPECT_NE(Geom_TriangleSideTest(fold[0], fold[1], fold[2], fold[3]), 0);
    const Plane planes[5] = {view->planes[0], view->planes[1], view->planes[2], view->planes[3], view->planes[4]};
    EXPECT_EQ(Frustum_ContainsPoint(planes, Vector{0, -1, 20}), 1);
    EXPECT_EQ(Frustum_ContainsPoint(planes, Vector{-400, -1, 20}), 0);
    EXPECT_EQ(Frustum_ContainsPoint(planes, Vector{0, -1, 300}), 0);

    // Under the ground, looking up at it, nothing faces the camera.
    Look(640, 400, -2, 0, 30);
    EXPECT_TRUE(Draw(&view_).empty());
    EXPECT_EQ(Terrain_PolygonCount(), 0);
}

TEST_F(TerrainDrawTest, BeyondTheFlatRangeCellsTakeTheirFlatColour) {
    LoadWith("[NormalView]\nFlatRange = 60\nVisibilityRange = 250\n[TextureType0]\nFlatColor = 77\n"
             "SolidA0 = g.map\n",
             3, nullptr, nullptr, 0, {{"g.map", std::string("\x04\0\0\0\x04\0\0\0", 8) + std::string(16, '\x30'), true, 0}});
    ASSERT_TRUE(Terrain_TexturesLoaded());
    const std::vector<Polygon> polygons = Draw(Look(640, 400, 6, 0, -10));
    int near = 0, far = 0;
    for (const Polygon& p : polygons) {
        const RenderVertex& a = p.vertices[0];
        const float d = std::sqrt(a.x * a.x + a.z * a.z);
        if (p.texture) {
            ++near;
            EXPECT_LE(d, 60.0f);
            EXPECT_EQ(p.kind, kPolyDirectLit);
        } else {
            ++far;
            EXPECT_GT(d, 60.0f);
            EXPECT_EQ(p.colour, 77);
            EXPECT_EQ(p.kind, 265u);
        }
    }
    EXPECT_GT(near, 0);
    EXPECT_GT(far, 0);
    // Polygons the clipper leaves nothing of are not queued.
    EXPECT_GT(Terrain_PolygonCount(), int(polygons.size()) * 9 / 10);
    EXPECT_LE(Terrain_PolygonCount(), int(polygons.size()));
}

TEST_F(TerrainDrawTest, WaterRipplesOnlyWithTheWavesSwitch) {
    Plat_UseVirtualClock(1000);
    auto load = [this](int waves) {
        std::ofstream(Plat_ProfilePath("render.cfg")) << "[NormalView]\nWaves = " << waves << "\n";
        LoadWith("[NormalView]\nWave = 2\n", 1, nullptr, [](int, int) { return content::MaterialWord(2, 2, 0, 0); });
    };
    load(0);
    RenderView* view = Look(640, 400, 6, 0, 0);
    const std::vector<Polygon> still = Draw(view);
    ASSERT_FALSE(still.empty());
    EXPECT_EQ(still[0].vertices.size(), 3u);  // a map with water draws triangles
    Plat_AdvanceVirtualClock(60);
    EXPECT_EQ(Draw(view).size(), still.size());
    EXPECT_EQ(Terrain_WavePhase(), 1);
    const std::vector<Polygon> again = Draw(view);
    for (size_t i = 0; i < still.size(); ++i)
        for (size_t k = 0; k < still[i].vertices.size(); ++k) ASSERT_EQ(again[i].vertices[k].y, still[i].vertices[k].y);

    // Exactly 50 ms is not yet a step; a little more is one step, whatever the time passed.
    Plat_AdvanceVirtualClock(50);
    Draw(view);
    EXPECT_EQ(Terrain_WavePhase(), 1);
    Plat_AdvanceVirtualClock(500);
    Draw(view);
    EXPECT_EQ(Terrain_WavePhase(), 2);

    load(1);
    view = Look(640, 400, 6, 0, 0);
    const std::vector<Polygon> moving = Draw(view);
    const int phase = Terrain_WavePhase();
    // Triangles seen at a grazing angle may turn away as the water moves: compare the ones
    // drawn both times, found by their first corner's place on the ground.
    std::map<std::tuple<long, long, long, long>, const Polygon*> byPlace;
    auto place = [](const Polygon& p) {
        return std::tuple{std::lround(p.vertices[0].x), std::lround(p.vertices[0].z * 8), std::lround(p.vertices[1].x),
                          std::lround(p.vertices[1].z * 8)};
    };
    for (const Polygon& p : still) byPlace[place(p)] = &p;
    size_t compared = 0;
    for (const Polygon& p : moving) {
        auto found = byPlace.find(place(p));
        if (found == byPlace.end() || found->second->vertices.size() != p.vertices.size()) continue;
        ++compared;
        for (size_t k = 0; k < p.vertices.size(); ++k) {
            const RenderVertex& s = found->second->vertices[k];
            const int x = static_cast<int>(std::lround((s.x + camera_.x) / 10.0));
            EXPECT_NEAR(p.vertices[k].y - s.y, TerrainSineTable[(32 * x + phase) & 127], 1e-4);
        }
    }
    EXPECT_GT(compared, still.size() / 2);
}

TEST_F(TerrainDrawTest, ACameraAboveTheEdgeDrawsBaseHeightGroundBeyond) {
    LoadWith("", 1, nullptr, nullptr, 5);
    // 15 m high over the map's western edge, looking west: the ground beyond lies at 5 m.
    const std::vector<Polygon> polygons = Draw(Look(30, 640, 5, 270, 0));
    int beyond = 0;
    for (const Polygon& p : polygons) {
        bool outside = true;
        for (const RenderVertex& v : p.vertices) outside = outside && camera_.x - v.z < -1.0;
        if (!outside) continue;
        ++beyond;
        for (const RenderVertex& v : p.vertices) EXPECT_NEAR(v.y, 5.0 - camera_.y, 1e-3);
    }
    EXPECT_GT(beyond, 10);
}

TEST_F(TerrainDrawTest, LineDisplaysDrawIntoTheViewBuffer) {
    // A slope in x and two types in stripes along z.
    LoadWith("[TextureType0]\nFlatColor = 40\n[TextureType1]\nFlatColor = 90\n[NormalView]\nLava = 1\n", 1,
             [](int x, int) { return static_cast<uint16_t>(100 + 3 * x); },
             [](int, int z) { return content::MaterialWord((z / 4) & 1, (z / 4) & 1, 0, 0); });
    RenderView* view = Look(640, 400, 20, 20, -25, 120.0f);
    auto drawn = [&](auto setUp) {
        Graphic_Clear(&buffer_, 0);
        setUp();
        Draw(view);
        int set = 0;
        for (int i = 0; i < 160 * 120; ++i) set += buffer_.pixels[i] != 0;
        EXPECT_GT(set, 300);
        EXPECT_EQ(RenderQueue_HighestBucket() < RenderQueue_LowestBucket(), true);  // nothing queued
        return CRC32_Memory(buffer_.pixels, 160 * 120);
    };
    const uint32_t byHeight = drawn([] { Terrain_SetLineMode(1); });
    const uint32_t byType = drawn([] { Terrain_SetLineMode(2); });
    const uint32_t lightMap = drawn([] {
        Terrain_SetLineMode(0);
        Seam_Cockpit().cameraViewState = [] { return 3; };
    });
    // The type display, once, in the main view.
    static RenderView* mainView;
    mainView = view;
    Seam_Render().mainView = [] { return mainView; };
    const uint32_t typeMap = drawn([] {
        Seam_Cockpit().cameraViewState = [] { return 0; };
        Terrain_RequestTypeMap();
    });
    EXPECT_FALSE(Terrain_TypeMapPending());
    EXPECT_EQ(typeMap, 1944911918u);
    EXPECT_EQ(byHeight, 4000884308u);
    EXPECT_EQ(byType, 3587049975u);
    EXPECT_EQ(lightMap, 1203411927u);
}

TEST_F(TerrainDrawTest, ANullViewDrawsNothing) {
    LoadWith("", 1);
    Terrain_Draw(nullptr);
    EXPECT_TRUE(Recorded().empty());
    EXPECT_EQ(RenderQueue_BytesUsed(), 0u);
}

TEST_F(TerrainDrawTest, NoViewModeReachesPastTheBuffers) {
    // A satellite range far beyond what a view sees, and map views with far-flung ground corners.
    std::ofstream(Plat_ProfilePath("render.cfg")) << "[SateliteView]\nVisibilityRange = 90000\n";
    LoadWith("", 1);
    for (int mode : {2, 3, 10}) {
        static int viewMode;
        viewMode = mode;
        Seam_Cockpit().cameraViewState = [] { return viewMode; };
        RenderView* view = Look(640, 640, 400, 0, -89, 1640.0f);
        view->hasGroundCorners = true;
        const double far[4][2] = {{-1e6, -1e6}, {1e6, -1e6}, {1e6, 1e6}, {-1e6, 1e6}};
        for (int i = 0; i < 4; ++i) view->groundCorners[i] = DVector{far[i][0], 0.0, far[i][1]};
        Draw(view);
        int x0, z0, x1, z1;
        Terrain_GetVisibleRect(view, &x0, &z0, &x1, &z1);
        EXPECT_LE(x1 - x0 + 1, kTerrainMaxSide) << mode;
        EXPECT_LE(z1 - z0 + 1, kTerrainMaxSide) << mode;
        if (mode == 3) {
            EXPECT_GE(x1 - x0 + 1, kTerrainMaxSide - 1);
        }
    }
}

// The hardware drawing reads a terrain vertex's light as a colour word, its shade byte and its
// fog byte (255 clear, 0 all fog); the software drawing takes the light with the fog folded in.
TEST_F(TerrainDrawTest, HardwareVerticesCarryShadeAndFogBytesSoftwareOnesTheirLight) {
    for (int driverKind : {1, 0}) {
        SCOPED_TRACE(driverKind ? "hardware" : "software");
        App_Globals().driverKind = driverKind;
        LoadWith("[NormalView]\nFogStart = 50\nFogEnd = 150\nVisibilityRange = 250\nIntensity = 80\nAmbient = 10\n", 1);
        App_Globals().driverKind = 0;
        ASSERT_EQ(Terrain_Environment().hardware, driverKind == 1);
        int clear = 0, fogged = 0;
        const std::vector<Polygon> polygons = Draw(Look(640, 400, 6, 0, -10));
        for (const Polygon& p : polygons)
            for (const RenderVertex& v : p.vertices) {
                const float depth = v.z + std::fabs(v.x) / 2.0f;
                if (driverKind == 1) {
                    EXPECT_EQ(v.colour >> 16, 0u);
                    const uint32_t fog = v.colour >> 8 & 0xFF, shade = v.colour & 0xFF;
                    EXPECT_GT(shade, 0u);
                    if (depth < 45.0f) {
                        EXPECT_EQ(fog, 255u) << depth;
                        ++clear;
                    }
                    if (depth > 155.0f) {
                        EXPECT_EQ(fog, 0u) << depth;
                        ++fogged;
                    }
                } else {
                    EXPECT_GE(v.shade, 0.0f);
                    EXPECT_LE(v.shade, 1.0f);
                    if (depth < 45.0f) ++clear;
                    if (depth > 155.0f) ++fogged;
                }
            }
        EXPECT_GT(clear, 0);
        EXPECT_GT(fogged, 0);
        Terrain_FreeTextures();
    }
}
