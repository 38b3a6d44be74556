#include "ai/pathplanner.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ai/pathgrid.h"
#include "ai/pathregions.h"
#include "platform/random.h"
#include "pathgrid_fixture.h"

namespace {

class PathPlannerTest : public ::testing::Test {
protected:
    void TearDown() override { PathPlanner_ResetForTests(); }
    // A field of w x d cells; a wall of impassable cells x = wallX - 1 .. wallX from z = 0 up
    // to the cell row wallEnd (exclusive; the whole depth when wallEnd is 0).
    static void Field(int w, int d, int wallX = 0, int wallEnd = 0) {
        HandField::Install(w, d);
        if (wallX > 0) HandField::Raise(wallX, 0, wallX, wallEnd > 0 ? wallEnd - 1 : d, 1500);
        PathPlanner_Init();
    }
    // Whether every leg of the route crosses only cells that may be entered.
    static bool LegsEnterable(const std::vector<Vector2D>& points) {
        for (size_t i = 1; i < points.size(); ++i) {
            float fraction = 1.0f;
            const Vector2D& a = points[i - 1];
            const Vector2D& b = points[i];
            if (PathGrid_LineCast(a.x, a.z, b.x - a.x, b.z - a.z,
                                  [](int x, int z, void*) { return PathGrid_IsBlocked(x, z); }, nullptr, &fraction))
                return false;
        }
        return true;
    }
};

TEST_F(PathPlannerTest, CostsFollowTheSideAndTheMoverType) {
    struct Case {
        int mover, side;
        float costs[kPathClassCount];
    };
    const float X = kPathCostBlocked;
    const Case cases[] = {
        {0, 1, {1, 2, 3, 4, 1, 2, 3, 4, 10, 10, 2, X, X}},
        {0, 2, {1, 2, 1, 2, 3, 4, 3, 4, 10, 10, 2, X, X}},
        {0, 0, {1, 2, 1, 2, 1, 2, 3, 4, 10, 10, 2, X, X}},
        {1, 1, {1, 2, 3, 4, 1, 2, 3, 4, 10, X, 2, X, X}},
        {2, 2, {1, 2, 1, 2, 3, 4, 3, 4, 10, X, 2, X, X}},
        {3, 5, {1, 2, 1, 2, 1, 2, 3, 4, 10, 1.1f, 2, X, X}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mover " << c.mover << " side " << c.side);
        PathPlanner_SetCosts(c.mover, c.side);
        for (int cls = 0; cls < kPathClassCount; ++cls) EXPECT_FLOAT_EQ(PathPlanner_ClassCost(cls), c.costs[cls]) << cls;
    }
    // A cell next to lava costs 3 whatever the side.
    HandField::Install(8, 8);
    HandField::lava = 2;
    HandField::M(2, 2) = 2;
    PathPlanner_Init();
    for (int side : {0, 1, 2}) {
        PathPlanner_SetCosts(0, side);
        EXPECT_FLOAT_EQ(PathPlanner_ClassCost(PathGrid_CellClass(PathGrid_GetCellAt(35.0f, 35.0f))), 3.0f);
    }
    EXPECT_TRUE(PathGrid_IsPassableFor(25.0f, 25.0f, 0));
    EXPECT_FALSE(PathGrid_IsPassableFor(25.0f, 25.0f, 1));  // lava
}

TEST_F(PathPlannerTest, SearchesAnswerTheSimpleCasesWithoutASearch) {
    Field(32, 16, 20);  // wall cells x = 19..20 over the whole depth
    PathPlanner_SetCosts(0, 1);
    struct Case {
        const char* what;
        float x1, z1, x2, z2;
        int status;
    };
    const Case cases[] = {
        {"one open region", 15, 15, 125, 145, 0},
        {"one impassable region", 192, 15, 198, 145, kPathFailed},
        {"a start outside the grid", -15, 15, 125, 145, kPathFailed},
        {"a goal outside the grid", 15, 15, 125, 400, kPathFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PathResult* r = PathPlanner_Search(Vector{c.x1, 0, c.z1}, Vector{c.x2, 0, c.z2});
        EXPECT_EQ(r->status, c.status);
        ASSERT_EQ(r->points.size(), 2u);
        EXPECT_EQ(r->points[1].x, c.x2);
        EXPECT_EQ(r->lastZ, c.z2);
        PathResult_Release(r);
        EXPECT_EQ(PathPlanner_LastTouched(), 0);
        EXPECT_TRUE(PathPlanner_SearchFieldsClean());
    }
}

TEST_F(PathPlannerTest, AClearStraightLineIsTwoPointsWhereASearchCrossesRegions) {
    Field(48, 16);
    PathPlanner_SetCosts(0, 1);
    const PlannedRoute route = AiPath_Plan(15, 15, 455, 135, 0, 1);
    EXPECT_EQ(route.kind, 0);
    EXPECT_EQ(route.points.size(), 2u);
    PathResult* r = PathPlanner_Search(Vector{15, 0, 15}, Vector{455, 0, 135});
    EXPECT_EQ(r->status, 0);
    EXPECT_GT(r->points.size(), 2u);  // the crossings of the sector edges
    EXPECT_NEAR(r->points.front().x, 15.0f, 1e-4f);
    EXPECT_NEAR(r->points.back().x, 455.0f, 1e-4f);
    PathResult_Release(r);
    EXPECT_TRUE(PathPlanner_SearchFieldsClean());
    // Mover type 3 goes straight even through the wall of another field.
    PathPlanner_ResetForTests();
    Field(32, 16, 20);
    const PlannedRoute straight = AiPath_Plan(15, 15, 295, 15, 3, 1);
    EXPECT_EQ(straight.kind, 0);
    ASSERT_EQ(straight.points.size(), 2u);
    EXPECT_EQ(straight.points[1].x, 295.0f);
}

TEST_F(PathPlannerTest, RoutesGoRoundTheWallsEndAndFailAcrossAClosedOne) {
    Field(48, 48, 20, 24);  // the wall ends at z = 240 m
    const PlannedRoute route = AiPath_Plan(55, 55, 355, 55, 0, 1);
    ASSERT_EQ(route.kind, 0);
    ASSERT_GE(route.points.size(), 3u);
    EXPECT_EQ(route.points.front().x, 55.0f);
    EXPECT_EQ(route.points.back().x, 355.0f);
    float northmost = 0.0f;
    for (const Vector2D& p : route.points) northmost = std::max(northmost, p.z);
    EXPECT_GT(northmost, 240.0f);
    EXPECT_TRUE(LegsEnterable(route.points));
    EXPECT_TRUE(PathPlanner_SearchFieldsClean());
    EXPECT_TRUE(PathMap_HasPath(55, 55, 355, 55));

    PathPlanner_ResetForTests();
    Field(48, 16, 20);  // closed from edge to edge
    const PlannedRoute failed = AiPath_Plan(55, 55, 355, 55, 0, 1);
    EXPECT_EQ(failed.kind, 3);
    ASSERT_EQ(failed.points.size(), 2u);
    EXPECT_EQ(failed.points[1].x, 355.0f);
    EXPECT_FALSE(PathMap_HasPath(55, 55, 355, 55));
    EXPECT_TRUE(PathPlanner_SearchFieldsClean());
}

TEST_F(PathPlannerTest, ABlockedGoalIsPulledBackTowardTheStart) {
    Field(48, 48, 21, 24);  // wall cells x = 20..21
    // From the west: the first passable cell on the way back is x = 19 (0.1 cell into it at
    // 199 m), plus half a cell.
    const PlannedRoute route = AiPath_Plan(55, 55, 205, 55, 0, 1);
    ASSERT_EQ(route.kind, 0);
    EXPECT_NEAR(route.points.back().x, 194.0f, 1e-3f);
    EXPECT_NEAR(route.points.back().z, 55.0f, 1e-3f);
    EXPECT_TRUE(LegsEnterable(route.points));
}

TEST_F(PathPlannerTest, AGoalOnTheStartInsideAWallTakesASeededRandomDirection) {
    Field(48, 48, 21, 24);
    std::vector<Vector2D> first;
    for (int run = 0; run < 2; ++run) {
        Random_Seed(1234);
        const PlannedRoute route = AiPath_Plan(205, 55, 205, 55, 0, 1);
        ASSERT_EQ(route.kind, 0);
        const Vector2D end = route.points.back();
        EXPECT_EQ(PathMap_IsImpassableAt(end.x, end.z), 0);
        EXPECT_LE(std::hypot(end.x - 205.0f, end.z - 55.0f), 165.0f);  // 16 cells and half a cell
        if (run == 0)
            first = route.points;
        else
            EXPECT_EQ(route.points.size(), first.size());
        EXPECT_TRUE(PathPlanner_SearchFieldsClean());
    }
}

TEST_F(PathPlannerTest, CrossingsKeepAMarginFromTheEndsOfTheSharedEdge) {
    Field(16, 16);
    // R from x = 4 to 8, B to its west; their shared edge on x = 4 runs over z [z1, z2).
    struct Case {
        float z1, z2;   // B's extent; R spans z 0..16
        float lineZ;    // where the line from A to B meets x = 4
        float expected;
    };
    const Case cases[] = {
        {2, 6, 2.2f, 3.5f},   // 4 cells long: 1.5 from the low end
        {2, 6, 5.9f, 4.5f},   // and from the high end
        {2, 4, 2.0f, 3.0f},   // 2 cells: 1.0, the middle
        {2, 3, 9.0f, 2.5f},   // 1 cell: the middle
        {2, 6, 4.0f, 4.0f},   // inside the margins: unchanged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.z1 << ".." << c.z2 << " line " << c.lineZ);
        PathRegion r{};
        r.x1 = 4;
        r.x2 = 8;
        r.z1 = 0;
        r.z2 = 16;
        r.px = 4;
        PathRegion b{};
        b.x1 = 0;
        b.x2 = 4;
        b.z1 = c.z1;
        b.z2 = c.z2;
        b.px = 2;
        b.pz = c.lineZ;
        // A at (6, lineZ): the line is level in z.
        PathPlanner_AdjustCrossing(&b, &r, 6.0f, c.lineZ, nullptr);
        EXPECT_FLOAT_EQ(r.pz, c.expected);
        EXPECT_FLOAT_EQ(r.px, 4.0f);
    }
}

TEST_F(PathPlannerTest, ARegionEnteredAndLeftThroughOneSideGetsTwoCorners) {
    Field(16, 16);
    struct Case {
        float depth;  // B's extent across its bottom side
        float margin;
    };
    for (const Case& c : {Case{4, 1.5f}, Case{3, 1.5f}, Case{2, 1.0f}, Case{1, 0.5f}}) {
        SCOPED_TRACE(c.depth);
        // R and C both below B (z < 8); B spans z 8 .. 8 + depth.
        PathRegion b{}, r{}, next{};
        b.x1 = 0;
        b.x2 = 10;
        b.z1 = 8;
        b.z2 = 8 + c.depth;
        b.px = 7;
        b.pz = 8;
        r.x1 = 0;
        r.x2 = 4;
        r.z1 = 4;
        r.z2 = 8;
        r.px = 2;
        r.pz = 7.99f;
        next.x1 = 6;
        next.x2 = 10;
        next.z1 = 4;
        next.z2 = 8;
        b.next = &next;
        PathRegion* second = PathPlanner_InsertCorners(&b, &r);
        ASSERT_NE(second, nullptr);
        PathRegion* first = r.next;
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->next, second);
        EXPECT_EQ(second->next, &b);
        EXPECT_TRUE(first->isCorner && second->isCorner);
        EXPECT_EQ(second->other, &b);
        EXPECT_FLOAT_EQ(first->px, 2.0f);
        EXPECT_FLOAT_EQ(first->pz, 8 + c.margin);
        EXPECT_FLOAT_EQ(second->px, 7.0f);
        EXPECT_FLOAT_EQ(second->pz, 8 + c.margin);
        PathPlanner_ResetNodes();
    }
    // Left through another side: no corners.
    PathRegion b{}, r{}, next{};
    b.x1 = 0, b.x2 = 10, b.z1 = 8, b.z2 = 12;
    r.x1 = 0, r.x2 = 4, r.z1 = 4, r.z2 = 8;
    next.x1 = 10, next.x2 = 14, next.z1 = 8, next.z2 = 12;
    b.next = &next;
    EXPECT_EQ(PathPlanner_InsertCorners(&b, &r), nullptr);
    EXPECT_EQ(r.next, nullptr);
}

TEST_F(PathPlannerTest, AFullOpenHeapEndsTheSearchAsFailed) {
    Field(48, 48, 20, 24);
    PathPlanner_SetHeapCapacity(2);
    const PlannedRoute route = AiPath_Plan(55, 55, 355, 55, 0, 1);
    EXPECT_EQ(route.kind, 3);
    EXPECT_TRUE(PathPlanner_SearchFieldsClean());
    PathPlanner_SetHeapCapacity(0);
    EXPECT_EQ(AiPath_Plan(55, 55, 355, 55, 0, 1).kind, 0);
}

TEST_F(PathPlannerTest, DescribesTheNearestTouchedRegionAndDrawsThroughTheLineHook) {
    Field(48, 48, 20, 24);
    static int lines;
    lines = 0;
    PathPlanner_SetDebugLine([](float, float, float, float, uint32_t) { ++lines; });
    PathPlanner_SetCosts(0, 1);
    PathResult* r = PathPlanner_Search(Vector{55, 0, 55}, Vector{355, 0, 55});
    PathPlanner_DrawResult(r);
    EXPECT_EQ(lines, static_cast<int>(r->points.size()) - 1);
    PathResult_Release(r);
    char text[128] = "none";
    EXPECT_FALSE(PathPlanner_DescribeNode(55, 55, text));  // nothing touched between searches
    EXPECT_STREQ(text, "none");
    lines = 0;
    PathPlanner_DrawRegions(0, 0, 150, 150, nullptr);
    EXPECT_EQ(lines, 4);  // one region: four sides
}

}  // namespace
