#include "ai/pathgrid.h"

#include <gtest/gtest.h>

#include <vector>

#include "fun3d/teamrecord.h"
#include "pathgrid_fixture.h"

namespace {

class PathGridTest : public ::testing::Test {
protected:
    void SetUp() override { HandField::Install(10, 10); }
    void TearDown() override {
        PathGrid_ResetForTests();
        TeamRecord_DestroyAll();
    }
    static int Class(int x, int z) { return PathGrid_CellClass(PathGrid_GetCell(x, z)); }
};

// Cell (4, 4) of a flat field at 1000, after one change to its vertices or materials.
struct ClassCase {
    const char* what;
    void (*change)();
    int flags;
    int cls;
};

TEST_F(PathGridTest, ClassifiesCellsByStepsCliffsAndLava) {
    const ClassCase cases[] = {
        {"flat ground", [] {}, 0x00, 0},
        {"corners 50 apart pass the step test", [] { HandField::H(5, 4) = 1050; }, 0x00, 0},
        {"corners 51 apart fail the step test", [] { HandField::H(5, 4) = 1051; }, 0x01, 1},
        {"corners 70 apart are not steep", [] { HandField::H(5, 4) = 1070; }, 0x01, 1},
        {"corners 71 apart are steep", [] { HandField::H(5, 5) = 929; }, 0x02, 8},
        {"corners 100 apart are steep", [] { HandField::H(5, 4) = 1100; }, 0x02, 8},
        {"corners 101 apart are impassable", [] { HandField::H(4, 5) = 1101; }, 0x03, 12},
        {"an outer vertex 200 above its corner passes", [] { HandField::H(3, 3) = 1200; }, 0x00, 0},
        {"an outer vertex 201 above its corner fails", [] { HandField::H(3, 3) = 1201; }, 0x01, 1},
        {"the far corner's outer vertex 201 above fails", [] { HandField::H(6, 6) = 1201; }, 0x01, 1},
        {"an outer vertex far below never fails", [] { HandField::H(6, 3) = 0; }, 0x00, 0},
        {"a lava cell with a 60-unit step",
         [] {
             HandField::lava = 3;
             HandField::M(4, 4) = 3;
             HandField::H(5, 4) = 1060;
         },
         0x11, 9},
        {"a cell next to lava",
         [] {
             HandField::lava = 3;
             HandField::M(3, 5) = 3;
         },
         0x0c, 6},
        {"a lava material with no lava on the map",
         [] {
             HandField::lava = -1;
             HandField::M(4, 4) = 0;
             HandField::M(3, 5) = 3;
         },
         0x00, 0},
    };
    for (const ClassCase& c : cases) {
        SCOPED_TRACE(c.what);
        HandField::Install(10, 10);
        c.change();
        PathGrid_Build();
        EXPECT_EQ(PathGrid_GetCell(4, 4), c.flags);
        EXPECT_EQ(Class(4, 4), c.cls);
    }
}

TEST_F(PathGridTest, ReadsVerticesPastTheEdgeThroughTheClampedTerrain) {
    // The cliff test of an edge cell reads vertices outside the field; they repeat the edge.
    HandField::Raise(0, 0, 0, 10, 1201);
    PathGrid_Build();
    EXPECT_EQ(PathGrid_GetCell(0, 4), 0x03);  // its own corners 201 apart
    EXPECT_EQ(PathGrid_GetCell(9, 4), 0x00);  // the clamped outer vertices equal its corners
}

TEST_F(PathGridTest, ClassAndAllowedTablesCoverEveryEntry) {
    for (int flags = 0; flags < 64; ++flags) {
        SCOPED_TRACE(flags);
        const int ground = flags & 3, zone = (flags >> 2) & 3;
        const bool lava = flags & 0x10, area = flags & 0x20;
        int expected;
        if (ground == 3)
            expected = area ? 11 : 12;
        else if (lava)
            expected = 9;
        else if (ground == 2)
            expected = 8;
        else if (area)
            expected = 10;
        else
            expected = 2 * zone + ground;
        EXPECT_EQ(PathGrid_CellClass(flags), expected);
        EXPECT_EQ(PathGrid_CellClass(flags | 0xc0), expected);  // only the low six bits count
    }
    for (int cls = 0; cls < kPathClassCount; ++cls) {
        const int allowed = (cls <= 7 || cls == 10) ? 1 : 0;
        for (int column = 0; column < 3; ++column) EXPECT_EQ(PathGrid_ClassAllowed(cls, column), allowed) << cls;
        EXPECT_EQ(PathGrid_ClassAllowed(cls, -1), 0);
        EXPECT_EQ(PathGrid_ClassAllowed(cls, 3), 0);
    }
}

TEST_F(PathGridTest, AnswersOutsideTheGridAsOpenButBlocked) {
    PathGrid_Build();
    for (auto [x, z] : {std::pair{-1, 0}, {0, -1}, {10, 0}, {0, 10}}) {
        EXPECT_EQ(PathGrid_GetCell(x, z), 0);
        EXPECT_EQ(PathGrid_IsBlocked(x, z), 1);
        EXPECT_EQ(PathGrid_IsSpecialMaterial(x, z), 0);
    }
    EXPECT_EQ(PathGrid_IsBlocked(9, 9), 0);
    EXPECT_TRUE(PathGrid_AreaAllowed(45.0f, 45.0f, 0));
    EXPECT_TRUE(PathGrid_AreaAllowed(5.0f, 45.0f, 0));  // neighbours outside read as open ground
    HandField::H(3, 3) = 1500;
    PathGrid_Build();
    EXPECT_FALSE(PathGrid_AreaAllowed(45.0f, 45.0f, 0));  // its neighbour (3, 3) is impassable
    EXPECT_EQ(PathGrid_CellAllowed(35.0f, 35.0f, 1), 0);
    EXPECT_EQ(PathGrid_CellAllowed(35.0f, 35.0f, 7), 0);
    EXPECT_EQ(PathGrid_CellAllowed(55.0f, 55.0f, 2), 1);
}

TEST_F(PathGridTest, ZonesCountPerTeamEnmityAndStayCoveredUntilAllAreRemoved) {
    TeamRecord_CreateAll();
    TeamRecord::Get(4)->AddAlly(2);
    PathGrid_Build();
    struct Case {
        int team;
        int a, b;
    };
    // Team 1 is hostile to team 2, team 2 to team 1, team 3 to both, team 4 (allied with 2) to 1.
    for (const Case& c : {Case{0, 0, 0}, Case{1, 0, 1}, Case{2, 1, 0}, Case{3, 1, 1}, Case{4, 1, 0}}) {
        SCOPED_TRACE(c.team);
        PathGrid_Build();
        PathGrid_MarkCircle(45.0f, 45.0f, 10.0f, c.team, true);
        PathGrid_MarkCircle(45.0f, 45.0f, 10.0f, c.team, true);
        PathGrid_MarkCircle(45.0f, 45.0f, 10.0f, c.team, false);
        EXPECT_EQ(PathGrid_CounterA(4, 4), c.a);
        EXPECT_EQ(PathGrid_CounterB(4, 4), c.b);
        EXPECT_EQ(PathGrid_GetCell(4, 4), (c.a ? 0x04 : 0) | (c.b ? 0x08 : 0));
        // Only centres strictly inside count: the neighbours lie exactly one radius away.
        EXPECT_EQ(PathGrid_CounterA(5, 4) + PathGrid_CounterB(5, 4), 0);
        PathGrid_MarkCircle(45.0f, 45.0f, 10.0f, c.team, false);
        EXPECT_EQ(PathGrid_GetCell(4, 4), 0);
    }
}

TEST_F(PathGridTest, ZoneCountersDoNotWrapPastManyOverlaps) {
    TeamRecord_CreateAll();
    PathGrid_Build();
    for (int i = 0; i < 300; ++i) PathGrid_MarkCircle(45.0f, 45.0f, 10.0f, 3, true);
    EXPECT_EQ(PathGrid_CounterA(4, 4), 300);
    EXPECT_EQ(PathGrid_GetCell(4, 4), 0x0c);
}

TEST_F(PathGridTest, RectangleMarksSkipImpassableCellsAndUnmarkingRestoresThem) {
    HandField::H(3, 3) = 1500;  // cells (2..3, 2..3) impassable
    PathGrid_Build();
    PathGrid_MarkRect(20.0f, 20.0f, 69.0f, 69.0f, true);
    EXPECT_EQ(PathGrid_GetCell(2, 2), 0x03);
    EXPECT_EQ(Class(2, 2), 12);
    EXPECT_EQ(PathGrid_GetCell(4, 4), 0x21);  // a slope cell (the cliff at (3, 3)) is marked
    EXPECT_EQ(Class(4, 4), 10);
    EXPECT_EQ(PathGrid_GetCell(6, 6), 0x20);
    EXPECT_EQ(PathGrid_GetCell(7, 7), 0x00);  // outside the rectangle
    PathGrid_MarkRect(69.0f, 69.0f, 20.0f, 20.0f, false);  // corners in any order
    EXPECT_EQ(PathGrid_GetCell(4, 4), 0x01);
    EXPECT_EQ(PathGrid_GetCell(6, 6), 0x00);
    EXPECT_EQ(PathGrid_GetCell(2, 2), 0x03);
}

TEST_F(PathGridTest, AreaMarksCellsWithinThePolygonAndUnmarkingReclassifiesThem) {
    HandField::H(7, 7) = 1500;  // cells (6..7, 6..7) impassable; (5, 5) steps and cliffs: slope
    PathGrid_Build();
    ASSERT_EQ(PathGrid_GetCell(6, 6), 0x03);
    ASSERT_EQ(PathGrid_GetCell(5, 5), 0x01);
    // A square from 20 to 80 m: centres up to half a cell outside its edges count.
    const Vector square[] = {{20, 0, 20}, {80, 0, 20}, {80, 0, 80}, {20, 0, 80}};
    PathGrid_SetAreaPolygon(square, 4);
    PathGrid_MarkArea(0.0f, 0.0f, 99.0f, 99.0f, true);
    EXPECT_EQ(PathGrid_GetCell(1, 4), 0x23);   // centre 15 m: half a cell outside
    EXPECT_EQ(PathGrid_GetCell(0, 4), 0x00);   // centre 5 m: further out
    EXPECT_EQ(PathGrid_GetCell(4, 4), 0x23);
    EXPECT_EQ(Class(4, 4), 11);
    PathGrid_MarkArea(0.0f, 0.0f, 99.0f, 99.0f, false);
    EXPECT_EQ(PathGrid_GetCell(4, 4), 0x00);
    EXPECT_EQ(PathGrid_GetCell(5, 5), 0x01);
    // A cliff cell comes back impassable, not drivable.
    EXPECT_EQ(PathGrid_GetCell(6, 6), 0x03);
    EXPECT_EQ(Class(6, 6), 12);

    PathGrid_SetAreaPolygon(nullptr, 0);  // no polygon: every cell of the rectangle
    PathGrid_MarkArea(0.0f, 0.0f, 15.0f, 15.0f, true);
    EXPECT_EQ(PathGrid_GetCell(1, 1), 0x23);
    EXPECT_EQ(PathGrid_GetCell(2, 2), 0x00);
}

// A store of two footprints for the reapply hook.
struct StoredFootprint {
    float x1, z1, x2, z2;
    bool area;
};
std::vector<StoredFootprint> g_store;

void ReapplyStored(float x1, float z1, float x2, float z2) {
    for (const StoredFootprint& f : g_store) {
        if (f.x2 < x1 || f.x1 > x2 || f.z2 < z1 || f.z1 > z2) continue;
        if (f.area) {
            PathGrid_SetAreaPolygon(nullptr, 0);
            PathGrid_MarkArea(f.x1, f.z1, f.x2, f.z2, true);
        } else {
            PathGrid_MarkRect(f.x1, f.z1, f.x2, f.z2, true);
        }
    }
}

TEST_F(PathGridTest, UnmarkingOneFootprintKeepsAnOverlappingOneMarked) {
    for (bool area : {false, true}) {
        SCOPED_TRACE(area ? "areas" : "rectangles");
        PathGrid_Build();
        PathGrid_SetFootprintReapply(ReapplyStored);
        const StoredFootprint first{10, 10, 49, 49, area}, second{30, 30, 69, 69, area};
        g_store = {first, second};
        for (const StoredFootprint& f : g_store) {
            if (area) {
                PathGrid_SetAreaPolygon(nullptr, 0);
                PathGrid_MarkArea(f.x1, f.z1, f.x2, f.z2, true);
            } else {
                PathGrid_MarkRect(f.x1, f.z1, f.x2, f.z2, true);
            }
        }
        // The first goes: the store no longer holds it when the grid asks.
        g_store = {second};
        if (area)
            PathGrid_MarkArea(first.x1, first.z1, first.x2, first.z2, false);
        else
            PathGrid_MarkRect(first.x1, first.z1, first.x2, first.z2, false);
        const int marked = area ? 0x23 : 0x20;
        EXPECT_EQ(PathGrid_GetCell(1, 1), 0);       // only the first covered it
        EXPECT_EQ(PathGrid_GetCell(4, 4), marked);  // both covered it
        EXPECT_EQ(PathGrid_GetCell(6, 6), marked);
    }
    g_store.clear();
}

std::vector<std::vector<float>> g_changes;

TEST_F(PathGridTest, EveryChangeReportsItsRectangleAndMarksOffTheGridChangeNothing) {
    TeamRecord_CreateAll();
    PathGrid_Build();
    PathGrid_SetChangeListener([](float x1, float z1, float x2, float z2) { g_changes.push_back({x1, z1, x2, z2}); });
    g_changes.clear();
    PathGrid_MarkCircle(45.0f, 55.0f, 10.0f, 3, true);
    PathGrid_MarkRect(40.0f, 30.0f, 20.0f, 10.0f, true);
    PathGrid_MarkRect(200.0f, 200.0f, 300.0f, 300.0f, true);
    ASSERT_EQ(g_changes.size(), 2u);
    EXPECT_EQ(g_changes[0], (std::vector<float>{35.0f, 45.0f, 55.0f, 65.0f}));
    EXPECT_EQ(g_changes[1], (std::vector<float>{20.0f, 10.0f, 40.0f, 30.0f}));
    EXPECT_EQ(PathGrid_GetCell(9, 9), 0);
    g_changes.clear();
}

// A wall of impassable cells x = 4..5 across the field, and a zone hostile to team 2 at x = 8.
class PathCastTest : public PathGridTest {
protected:
    void SetUp() override {
        PathGridTest::SetUp();
        HandField::Raise(5, 0, 5, 10, 1500);
        TeamRecord_CreateAll();
        PathGrid_Build();
        PathGrid_MarkCircle(85.0f, 85.0f, 10.0f, 1, true);  // counter B of cell (8, 8)
    }
};

TEST_F(PathCastTest, PathClearAnswersByWallAndSideMask) {
    ASSERT_EQ(PathGrid_GetCell(4, 2), 0x03);
    ASSERT_EQ(PathGrid_GetCell(8, 8), 0x08);
    struct Case {
        float x1, z1, x0, z0;
        int side;
        bool clear;
    };
    const Case cases[] = {
        {95, 5, 75, 5, 1, true},      // open ground east of the wall
        {15, 5, 95, 5, 1, false},     // through the wall
        {95, 5, 45, 5, 1, false},     // starting on the wall
        {95, 85, 75, 85, 1, true},    // over the zone: side 1 ignores team 2's zones
        {95, 85, 75, 85, 2, false},   // side 2 is stopped by it
        {95, 85, 75, 85, 0, false},   // any other side too
        {95, 95, 95, 75, 2, true},    // past it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x0 << "," << c.z0 << " -> " << c.x1 << "," << c.z1 << " side " << c.side);
        EXPECT_EQ(PathMap_IsPathClear(c.x1, c.z1, c.x0, c.z0, c.side), c.clear);
    }
    EXPECT_EQ(PathMap_IsImpassableAt(45.0f, 5.0f), 1);
    EXPECT_EQ(PathMap_IsImpassableAt(35.0f, 5.0f), 0);
    EXPECT_EQ(PathMap_IsImpassableAt(-5.0f, 5.0f), 0);  // outside reads as open ground
}

TEST_F(PathCastTest, GroundCastsReturnTheFractionWhereTheCellKindChanges) {
    struct Case {
        float x, z, dx, dz, f;
        bool clear;  // AI_GroundClear, else AI_GroundBlocked
        float expected;
    };
    const Case cases[] = {
        {45, 5, 1, 0, 100, true, 16},    // out of the wall eastward: 0.1 cell into cell 6
        {45, 5, -1, 0, 100, true, 6},    // westward: 0.1 cell into cell 3 from its eastern side
        {45, 5, 1, 0, 10, true, 10},     // the cast ends first: f
        {15, 5, 1, 0, 100, false, 26},   // into the wall from the west
        {95, 5, -1, 0, 100, false, 36},  // from the east
        {15, 5, 0, 1, 100, false, 100},  // along open ground: f
        {15, 5, 2, 0, 100, false, 13},   // the fraction is of the direction given
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.z << " d " << c.dx << "," << c.dz);
        const float got = c.clear ? AI_GroundClear(c.x, c.z, c.dx, c.dz, c.f) : AI_GroundBlocked(c.x, c.z, c.dx, c.dz, c.f);
        EXPECT_NEAR(got, c.expected, 1e-3f);
    }
}

TEST_F(PathCastTest, WalkToChangeStopsAtTheFirstCellWithAForeignFlag) {
    EXPECT_TRUE(PathGrid_WalkToChange(95.0f, 5.0f, 75.0f, 5.0f, 0x00));
    EXPECT_FALSE(PathGrid_WalkToChange(5.0f, 5.0f, 95.0f, 5.0f, 0x00));  // the slope cell at x = 6
    EXPECT_FALSE(PathGrid_WalkToChange(5.0f, 5.0f, 95.0f, 5.0f, 0x01));  // the wall
    EXPECT_TRUE(PathGrid_WalkToChange(5.0f, 5.0f, 95.0f, 5.0f, 0x03));
    EXPECT_TRUE(PathGrid_WalkToChange(75.0f, 85.0f, 95.0f, 85.0f, 0x08));
}

TEST_F(PathCastTest, CastsMissingTheGridFindNothing) {
    float fraction = 1.0f;
    EXPECT_FALSE(PathGrid_SegmentBlocked(-50.0f, -50.0f, -10.0f, 0.0f, &fraction));
    EXPECT_EQ(AI_GroundBlocked(-50.0f, 5.0f, 0.0f, 1.0f, 7.0f), 7.0f);
    // Entering the grid from outside: the wall is met where the segment enters it.
    EXPECT_NEAR(AI_GroundBlocked(-55.0f, 5.0f, 1.0f, 0.0f, 200.0f), 96.0f, 1e-3f);
}

}  // namespace
