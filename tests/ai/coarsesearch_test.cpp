#include "ai/coarsesearch.h"

#include <gtest/gtest.h>

#include "ai/pathgrid.h"
#include "ai/pathplanner.h"

namespace {

class CoarseSearchTest : public ::testing::Test {
protected:
    void TearDown() override { PathGrid_ResetForTests(); }
    static PathResult Between(float x1, float z1, float x2, float z2, int status = 77) {
        PathResult r;
        r.status = status;
        r.points = {PathPoint{x1, z1, nullptr, 0}, PathPoint{x2, z2, nullptr, 0}};
        return r;
    }
};

TEST_F(CoarseSearchTest, StepCostsGrowWithTheClimb) {
    struct Case {
        float rise, cost;
    };
    for (const Case& c : {Case{-50, 1}, Case{2.99f, 1}, Case{3, 2}, Case{5, 2}, Case{6.99f, 2}, Case{7, 5}, Case{10, 5},
                          Case{20, 5}, Case{20.01f, 1000}, Case{25, 1000}})
        EXPECT_EQ(CoarseSearch_StepCost(c.rise), c.cost) << c.rise;
}

TEST_F(CoarseSearchTest, ABoxAboveTheAreaLimitIsRefusedAndTheResultLeftAlone) {
    PathGrid_Terrain().groundHeight = [](float, float) { return 0.0f; };
    PathResult r = Between(0, 0, 101, 100);
    CoarseSearch_Run(&r);
    EXPECT_EQ(r.status, 77);
    ASSERT_EQ(r.points.size(), 2u);
    EXPECT_EQ(r.points[1].x, 101.0f);
    PathResult ok = Between(0, 0, 100, 100);
    CoarseSearch_Run(&ok);
    EXPECT_EQ(ok.status, 0);
}

TEST_F(CoarseSearchTest, RoutesRunFromTheExactStartThroughCellCentresToTheExactGoal) {
    PathGrid_Terrain().groundHeight = [](float, float) { return 0.0f; };
    PathResult one = Between(12, 12, 17, 18);
    CoarseSearch_Run(&one);
    EXPECT_EQ(one.status, 0);
    ASSERT_EQ(one.points.size(), 2u);
    EXPECT_EQ(one.points[1].z, 18.0f);

    // Equal x: the box is one column wide and x steps (+1) leave it.
    PathResult column = Between(15, 2, 15, 95);
    CoarseSearch_Run(&column);
    EXPECT_EQ(column.status, 0);
    ASSERT_EQ(column.points.size(), 10u);
    EXPECT_EQ(column.points.front().z, 2.0f);
    EXPECT_EQ(column.points[1].z, 15.0f);
    EXPECT_EQ(column.points.back().z, 95.0f);
    for (const PathPoint& p : column.points) EXPECT_EQ(p.x, 15.0f);
    EXPECT_EQ(column.lastZ, 95.0f);

    // Going west and south: the diagonal of a flat box.
    PathResult back = Between(95, 95, 5, 5);
    CoarseSearch_Run(&back);
    EXPECT_EQ(back.status, 0);
    EXPECT_EQ(back.points.size(), 10u);
    EXPECT_EQ(back.points[1].x, 85.0f);
    EXPECT_EQ(back.points[1].z, 85.0f);
}

TEST_F(CoarseSearchTest, ClimbsAreAvoidedWhenCheaperAndAWallEndsTheSearch) {
    // A 10 m high plateau over z above 40 m, except a gentle 5 m one west of x = 30.
    PathGrid_Terrain().groundHeight = [](float x, float z) { return z < 40.0f ? 0.0f : x < 30.0f ? 5.0f : 10.0f; };
    PathResult r = Between(5, 5, 95, 95);
    CoarseSearch_Run(&r);
    ASSERT_EQ(r.status, 0);
    // The route climbs where it costs twice its length, not five times.
    for (size_t i = 1; i < r.points.size(); ++i)
        if (r.points[i - 1].z < 40.0f && r.points[i].z >= 40.0f) {
            EXPECT_LT(r.points[i].x, 30.0f);
        }

    PathGrid_Terrain().groundHeight = [](float x, float) { return x < 50.0f ? 0.0f : 25.0f; };
    PathResult wall = Between(5, 5, 95, 45);
    CoarseSearch_Run(&wall);
    EXPECT_EQ(wall.status, kPathFailed);
}

}  // namespace
