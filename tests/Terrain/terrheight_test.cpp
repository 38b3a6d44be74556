#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "core/helpers.h"
#include "platform/random.h"
#include "terrain_fixture.h"

namespace {

// One zone at the origin: flat at 50 m, a tilted cell at (20, 20) whose two triangles differ, a
// slope rising in x over cells 40..60 and a hill around (90, 90).
uint16_t TestGround(int x, int z) {
    if (x == 20 && z == 20) return 500;
    if (x == 21 && z == 20) return 700;
    if (x == 20 && z == 21) return 400;
    if (x == 21 && z == 21) return 900;
    if (x >= 40 && x <= 60 && z < 30) return static_cast<uint16_t>(500 + 10 * (x - 40));
    double d = std::hypot(x - 90.0, z - 90.0);
    if (d < 20.0) return static_cast<uint16_t>(500 + std::lround(400.0 * (1.0 - d / 20.0)));
    return 500;
}

uint16_t TestMaterial(int x, int z) { return content::MaterialWord((x / 2 + z / 2) % 8, 0, 0, 0); }

class TerrainHeightTest : public TerrainTest {
protected:
    void SetUp() override {
        TerrainTest::SetUp();
        content::TerrainMapSpec spec = Map("query", 1280, 1280, 0, 0, TestGround, TestMaterial);
        spec.baseHeight = 7;
        Install(spec);
        Load("query");
    }
};

Vector Unit(Vector v) {
    double l = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    return Vector{float(v.x / l), float(v.y / l), float(v.z / l)};
}

void ExpectVectorNear(const Vector& a, const Vector& b, double tolerance = 1e-4) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

std::vector<std::pair<int, int>> g_visited;
int Record(int x, int z) {
    g_visited.emplace_back(x, z);
    return 0;
}
int g_blockX = 0, g_blockZ = 0;
int BlockOne(int x, int z) { return x == g_blockX && z == g_blockZ; }

}  // namespace

TEST_F(TerrainHeightTest, FlatCellGivesItsHeightAndStraightUp) {
    const double points[][2] = {{50, 50}, {55, 55}, {59.99, 50.01}, {50.01, 59.99}, {57, 52}, {52, 57}, {60, 60}};
    for (const auto& p : points) {
        SCOPED_TRACE(::testing::Message() << p[0] << ", " << p[1]);
        EXPECT_FLOAT_EQ(Terrain_GetHeight(p[0], p[1]), 50.0f);
        Vector n;
        ExpectVectorNear(Terrain_GetNormal(n, p[0], p[1]), Vector{0, 1, 0});
    }
}

TEST_F(TerrainHeightTest, TrianglesOfATiltedCell) {
    const Vector normalA = Unit(Vector{0.01f * (500 - 700), 1.0f, 0.01f * (700 - 900)});
    const Vector normalB = Unit(Vector{0.01f * (400 - 900), 1.0f, 0.01f * (500 - 400)});
    struct Case {
        double fx, fz, height;
        bool a;
    };
    const Case cases[] = {
        {0.5, 0.5, 70.0, true},      // on the diagonal: triangle A
        {0.25, 0.25, 60.0, true},
        {0.75, 0.25, 70.0, true},    // 500 + 0.75 x 200 + 0.25 x 200
        {0.25, 0.75, 55.0, false},   // 500 - 0.25 x (400 - 900) - 0.75 x (500 - 400)
        {0.5, 0.5001, 70.0, false},  // just above the diagonal
        {0.0, 0.0, 50.0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.fx << ", " << c.fz);
        const double x = 200.0 + 10.0 * c.fx, z = 200.0 + 10.0 * c.fz;
        EXPECT_NEAR(Terrain_GetHeight(x, z), c.height, 0.02);
        Vector n;
        ExpectVectorNear(Terrain_GetNormal(n, x, z), c.a ? normalA : normalB);
        float h = 0.0f;
        Vector both;
        Terrain_GetHeightNormal(x, z, &h, &both);
        EXPECT_EQ(h, Terrain_GetHeight(x, z));
        EXPECT_EQ(both.x, n.x);
        EXPECT_EQ(both.y, n.y);
        EXPECT_EQ(both.z, n.z);
    }
    // Either output may be left out.
    float only = 0.0f;
    Terrain_GetHeightNormal(205.0, 205.0, &only, nullptr);
    EXPECT_NEAR(only, 70.0f, 1e-4);
    Vector onlyNormal;
    Terrain_GetHeightNormal(205.0, 205.0, nullptr, &onlyNormal);
    ExpectVectorNear(onlyNormal, normalA);
}

TEST_F(TerrainHeightTest, VertexGivesRawHeightTimesPointOneExactly) {
    for (int i = 15; i < 100; i += 3) {
        for (int k = 15; k < 100; k += 5) {
            const int raw = Terrain_GetHeightRaw(k, i);
            ASSERT_EQ(raw, TestGround(i, k));
            ASSERT_EQ(Terrain_GetHeight(10.0 * i, 10.0 * k), static_cast<float>(raw * 0.1)) << i << ", " << k;
        }
    }
    for (int i : {20, 21}) {
        for (int k : {20, 21}) EXPECT_EQ(Terrain_GetHeight(10.0 * i, 10.0 * k), static_cast<float>(TestGround(i, k) * 0.1));
    }
    EXPECT_EQ(Terrain_GetHeight(-70.0, -1230.0), 7.0f) << "the default area is the base height";
}

TEST_F(TerrainHeightTest, SlopeInterpolatesAndLeansAgainstTheRise) {
    EXPECT_NEAR(Terrain_GetHeight(455.0, 100.0), 50.0 + 0.1 * 10 * 5.5, 1e-4);
    Vector n;
    Terrain_GetNormal(n, 455.0, 100.0);
    ExpectVectorNear(n, Unit(Vector{-0.1f, 1.0f, 0.0f}));
}

TEST_F(TerrainHeightTest, QueriesPastTheTablesAreHeldAtTheEdge) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double far[][2] = {{1e300, -1e300}, {-1e12, 5.0}, {nan, 5.0}, {5.0, nan}, {133115.0, 133115.0},
                             {std::numeric_limits<double>::infinity(), 0.0}};
    for (const auto& p : far) {
        EXPECT_EQ(Terrain_GetHeight(p[0], p[1]), 7.0f);
        Vector n;
        ExpectVectorNear(Terrain_GetNormal(n, p[0], p[1]), Vector{0, 1, 0});
        EXPECT_EQ(Terrain_InBounds(p[0], p[1]), 0);
        EXPECT_EQ(Terrain_GetTextureType(p[0], p[1]), 0);
    }
}

TEST_F(TerrainHeightTest, InBoundsRange) {
    const struct {
        double x, z;
        int in;
    } cases[] = {
        {0, 0, 0},        {10, 0, 1},         {0, 10, 1},         {4.9, -4.9, 0},      {5.0, 0, 0},
        {15.0, 0, 1},     {-30710, 0, 1},     {-30715, 0, 0},     {-30720, 0, 0},      {133100, 133100, 1},
        {133105, 0, 1},   {133106, 0, 0},     {133110, 0, 0},     {500, -30710, 1},   {500, 133110, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Terrain_InBounds(c.x, c.z), c.in) << c.x << ", " << c.z;
}

TEST_F(TerrainHeightTest, VerticalRayTestsOnlyItsStartCell) {
    float t = 1.0f;
    Vector n{};
    ASSERT_EQ(Terrain_RayCast(55.0, 60.0, 55.0, 0.0f, -20.0f, 0.0f, &t, &n), 1);
    EXPECT_NEAR(t, 0.5f, 1e-6);
    ExpectVectorNear(n, Vector{0, 1, 0});
    t = 0.4f;
    EXPECT_EQ(Terrain_RayCast(55.0, 60.0, 55.0, 0.0f, -20.0f, 0.0f, &t, nullptr), 0) << "the segment stops short";
    EXPECT_FLOAT_EQ(t, 0.4f);

    g_visited.clear();
    t = 1.0f;
    EXPECT_EQ(Terrain_LineCast(55.0, 60.0, 55.0, 0.0f, -20.0f, 0.0f, Record, &t), 0);
    EXPECT_EQ(g_visited, (std::vector<std::pair<int, int>>{{5, 5}}));
    // A unit direction with an unbounded parameter is a ray.
    t = 1e30f;
    ASSERT_EQ(Terrain_RayCast(905.0, 500.0, 903.0, 0.0f, -1.0f, 0.0f, &t, nullptr), 1);
    EXPECT_NEAR(500.0 - t, Terrain_GetHeight(905.0, 903.0), 1e-3);
}

TEST_F(TerrainHeightTest, UpwardRaysNeverHit) {
    // Over flat ground, from just above it.
    const float directions[][3] = {{0, 1, 0}, {100, 1, 0}, {-100, 20, 30}, {30, 5, -100}, {100, 0.01f, 100}};
    const double origins[][2] = {{700, 500}, {655, 305}, {300, 1100}, {51, 59}};
    for (const auto& d : directions) {
        for (const auto& o : origins) {
            float t = 1.0f;
            EXPECT_EQ(Terrain_RayCast(o[0], 50.001, o[1], d[0], d[1], d[2], &t, nullptr), 0) << o[0] << " " << d[0];
            EXPECT_EQ(t, 1.0f);
        }
    }
    // From under the ground upward through the surface: faces seen from below are not hit.
    float t = 1.0f;
    EXPECT_EQ(Terrain_RayCast(55.0, 40.0, 55.0, 0.0f, 20.0f, 0.0f, &t, nullptr), 0);
    // Slightly below the surface, within the tolerance, a downward ray still hits.
    t = 1.0f;
    EXPECT_EQ(Terrain_RayCast(55.0, 49.995, 55.0, 0.0f, -20.0f, 0.0f, &t, nullptr), 1);
    EXPECT_LE(t, 0.0f);
}

TEST_F(TerrainHeightTest, SegmentsBeyondTheBoundsTestNoCell) {
    const double segments[][4] = {
        {-500, 50, -100, 50},        // west of the map
        {1290, 20, 2000, 1000},      // east
        {50, -900, 1000, -20},       // north
        {50, 1300, 1200, 1400},      // south
        {-400, -20, -20, -400},      // past the corner, never inside
    };
    for (const auto& s : segments) {
        g_visited.clear();
        float t = 1.0f;
        const float dx = float(s[2] - s[0]), dz = float(s[3] - s[1]);
        EXPECT_EQ(Terrain_LineCast(s[0], 10.0, s[1], dx, -50.0f, dz, Record, &t), 0);
        EXPECT_TRUE(g_visited.empty()) << s[0] << ", " << s[1];
        EXPECT_EQ(Terrain_RayCast(s[0], 10.0, s[1], dx, -50.0f, dz, &t, nullptr), 0);
        EXPECT_EQ(t, 1.0f);
    }
}

TEST_F(TerrainHeightTest, WalkVisitsEveryCellTheLineCrossesInOrder) {
    // From (5.5, 5.5) cells to (9.5, 7.5): x-major, one z step between columns.
    g_visited.clear();
    float t = 1.0f;
    Terrain_LineCast(55.0, 0.0, 55.0, 40.0f, 0.0f, 20.0f, Record, &t);
    std::vector<std::pair<int, int>> expected = {{5, 5}, {6, 5}, {6, 6}, {7, 6}, {8, 6}, {8, 7}, {9, 7}};
    EXPECT_EQ(g_visited, expected);
    // The mirror image walks the mirrored cells.
    g_visited.clear();
    Terrain_LineCast(95.0, 0.0, 75.0, -40.0f, 0.0f, -20.0f, Record, &t);
    std::vector<std::pair<int, int>> back = {{9, 7}, {8, 7}, {8, 6}, {7, 6}, {6, 6}, {6, 5}, {5, 5}};
    EXPECT_EQ(g_visited, back);
    // A segment that starts outside the map starts its walk where it enters.
    g_visited.clear();
    Terrain_LineCast(-45.0, 0.0, 55.0, 80.0f, 0.0f, 0.0f, Record, &t);
    EXPECT_EQ(g_visited, (std::vector<std::pair<int, int>>{{0, 5}, {1, 5}, {2, 5}, {3, 5}}));
}

TEST_F(TerrainHeightTest, LineCastLowersTToTheBlockingCellsEdge) {
    float t = 1.0f;
    g_blockX = 45, g_blockZ = 2;
    ASSERT_EQ(Terrain_LineCast(405.0, 0.0, 25.0, 200.0f, 0.0f, 0.0f, BlockOne, &t), 1);
    EXPECT_NEAR(t, (45.1 - 40.5) / 20.0, 1e-6);
    // Going the other way the crossing keeps the direction's sign.
    t = 1.0f;
    g_blockX = 30;
    ASSERT_EQ(Terrain_LineCast(405.0, 0.0, 25.0, -200.0f, 0.0f, 0.0f, BlockOne, &t), 1);
    EXPECT_NEAR(t, (30.9 - 40.5) / -20.0, 1e-6);
    // z-major, downward in z.
    t = 1.0f;
    g_blockX = 40, g_blockZ = 1;
    ASSERT_EQ(Terrain_LineCast(405.0, 0.0, 75.0, 0.0f, 0.0f, -100.0f, BlockOne, &t), 1);
    EXPECT_NEAR(t, (1.9 - 7.5) / -10.0, 1e-6);
    // A blocking cell beyond an already lower t leaves t alone.
    t = 0.01f;
    g_blockX = 40, g_blockZ = 2;  // the start cell: its crossing lies at (40.9 - 40.5) / 20 = 0.02
    ASSERT_EQ(Terrain_LineCast(405.0, 0.0, 25.0, 200.0f, 0.0f, 0.0f, BlockOne, &t), 1);
    EXPECT_FLOAT_EQ(t, 0.01f);
    // No movement along the entering axis: the crossing is 1e30, t stays.
    t = 1.0f;
    g_blockX = 5, g_blockZ = 5;
    ASSERT_EQ(Terrain_LineCast(55.0, 60.0, 55.0, 0.0f, -20.0f, 0.0f, BlockOne, &t), 1);
    EXPECT_EQ(t, 1.0f);
}

TEST_F(TerrainHeightTest, VertexPatchAndEvenCell) {
    Vector patch[9];
    Terrain_GetVertexPatch(patch, 195.0, 195.0);  // round(19.5) = 20, already even
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const Vector& v = patch[row * 3 + column];
            EXPECT_EQ(v.x, 10.0f * (20 + column));
            EXPECT_EQ(v.z, 10.0f * (20 + row));
            EXPECT_EQ(v.y, static_cast<float>(0.1 * TestGround(20 + column, 20 + row)));
        }
    }
    EXPECT_EQ(patch[1].y, 70.0f);
    Terrain_GetVertexPatch(patch, 125.0, 95.0);  // round(12.5) = 12, round(9.5) = 10: (12, 10)
    EXPECT_EQ(patch[0].x, 120.0f);
    EXPECT_EQ(patch[0].z, 100.0f);
    Terrain_GetVertexPatchAround(patch, 125.0, 95.0);  // round(13) - 1, round(10) - 1
    EXPECT_EQ(patch[0].x, 120.0f);
    EXPECT_EQ(patch[0].z, 90.0f);
    EXPECT_EQ(patch[8].x, 140.0f);
    int even[2];
    Terrain_GetEvenCell(even, -15.0, -25.0);  // round(-1.5) = -2, round(-2.5) = -2
    EXPECT_EQ(even[0], -2);
    EXPECT_EQ(even[1], -2);
    Terrain_GetEvenCell(even, 35.0, 46.0);  // round(3.5) = 4, round(4.6) = 5 -> 4
    EXPECT_EQ(even[0], 4);
    EXPECT_EQ(even[1], 4);
}

TEST_F(TerrainHeightTest, CellAccessors) {
    EXPECT_EQ(Terrain_GetCellValue(21, 21), 900);
    EXPECT_FLOAT_EQ(Terrain_GetHeightCells(21, 21), 9.0f);
    EXPECT_EQ(Terrain_GetCellClass(7, 9), (3 + 4) % 8);
    EXPECT_EQ(Terrain_GetTextureType(64.0, 85.0), TestMaterial(6, 8) >> 12) << "nearest vertex (6, 8)";
    EXPECT_EQ(Terrain_GetTextureType(66.0, 94.0), TestMaterial(7, 9) >> 12);
    EXPECT_EQ(Terrain_GetCellLight(5, 5), 255);  // flat ground under the overhead sun of the seam stand-in
    EXPECT_EQ(Terrain_GetLava(), -1);
    EXPECT_EQ(Terrain_ClipCode(-1, 100), 8);
    EXPECT_EQ(Terrain_ClipCode(129, -1), 4 | 2);
    EXPECT_EQ(Terrain_ClipCode(128, 129), 1);
    EXPECT_EQ(Terrain_ClipCode(0, 128), 0);
}

// Rays in every direction over the sample map: a hit lies on the surface, and nothing of the
// segment before it dips into the ground.
class TerrainSampleRayTest : public TerrainTest {};

TEST_F(TerrainSampleRayTest, HitsLieOnTheSurfaceAndNothingComesEarlier) {
    Install(content::SampleTerrain());
    Load("sample");
    Random_Seed(1234);
    auto uniform = [](double lo, double hi) { return lo + (hi - lo) * Random_Next() / 32767.0; };
    int hits = 0;
    for (int n = 0; n < 400; ++n) {
        const double ox = uniform(1400, 5000), oz = uniform(1400, 3700);
        const double oy = Terrain_GetHeight(ox, oz) + uniform(1, 80);
        const float dx = float(uniform(-1500, 1500)), dz = float(uniform(-1500, 1500)), dy = float(uniform(-300, 40));
        float t = 1.0f;
        Vector normal{};
        const int hit = Terrain_RayCast(ox, oy, oz, dx, dy, dz, &t, &normal);
        SCOPED_TRACE(::testing::Message() << "ray " << n << " from " << ox << ", " << oy << ", " << oz << " along "
                                          << dx << ", " << dy << ", " << dz);
        const double end = hit ? t : 1.0;
        // March the segment up to the hit (or its end) inside the map.
        for (int s = 1; s < 2000; ++s) {
            const double u = end * s / 2000.0;
            const double x = ox + u * dx, z = oz + u * dz;
            if (x < 1280 || x >= 5120 || z < 1280 || z >= 3840) continue;
            ASSERT_GT(oy + u * dy - Terrain_GetHeight(x, z), -0.05) << "the ground was crossed at u " << u;
        }
        if (!hit) continue;
        ++hits;
        const double hx = ox + t * dx, hz = oz + t * dz;
        EXPECT_NEAR(oy + t * dy, Terrain_GetHeight(hx, hz), 0.02);
        Vector surface;
        Terrain_GetNormal(surface, hx, hz);
        EXPECT_GT(Vec3_Dot(surface, normal), 0.99f);
    }
    EXPECT_GT(hits, 100);
}
