// Routes on the sample map: the wall on the western flat ground and the eastern cliff.
#include <gtest/gtest.h>

#include "Terrain/terramap.h"
#include "ai/pathgrid.h"
#include "ai/pathplanner.h"
#include "support/data_root_fixture.h"
#include "terrain_writer.h"

namespace {

class PathSampleMapTest : public DataRootTest {
protected:
    void SetUp() override {
        DataRootTest::SetUp();
        Terrain_SetBaseHeight(0);
        Install(content::TerrainRecords(content::SampleTerrain()), "terrain.zfs");
        Terrain_SetFileName("sample");
        ASSERT_EQ(Terrain_ReadZoneFiles(), 1);
        ASSERT_EQ(Terrain_LoadZone(nullptr), 1);
        Terrain_Init(0);
        PathPlanner_Init();
    }
    void TearDown() override {
        PathSystem_Shutdown();
        Terrain_FreeAll();
        Terrain_SetBaseHeight(0);
        Terrain_SetFileName("");
        DataRootTest::TearDown();
    }
};

TEST_F(PathSampleMapTest, RoutesGoRoundTheWallsNorthernEndAndFailAcrossTheCliff) {
    const float wallX = content::kSampleWallX * 10.0f, wallEnd = (content::kSampleWallZ1 + 1) * 10.0f;
    ASSERT_EQ(PathMap_IsImpassableAt(wallX - 5.0f, 1600.0f), 1);
    ASSERT_EQ(PathMap_IsImpassableAt(wallX + 5.0f, 2900.0f), 1);
    ASSERT_EQ(PathMap_IsImpassableAt(wallX, wallEnd + 5.0f), 0);

    const PlannedRoute route = AiPath_Plan(1400, 1600, 1600, 1600, 0, 1);
    ASSERT_EQ(route.kind, 0);
    EXPECT_EQ(route.points.front().x, 1400.0f);
    EXPECT_EQ(route.points.back().x, 1600.0f);
    bool north = false;
    for (size_t i = 1; i < route.points.size(); ++i) {
        const Vector2D& a = route.points[i - 1];
        const Vector2D& b = route.points[i];
        float fraction = 1.0f;
        EXPECT_FALSE(PathGrid_LineCast(a.x, a.z, b.x - a.x, b.z - a.z,
                                       [](int x, int z, void*) { return PathGrid_IsBlocked(x, z); }, nullptr,
                                       &fraction))
            << "leg " << i;
        // The leg that crosses the wall's line passes north of its end.
        if ((a.x < wallX) != (b.x < wallX)) north = std::min(a.z, b.z) > wallEnd;
    }
    EXPECT_TRUE(north);
    EXPECT_TRUE(PathPlanner_SearchFieldsClean());

    const float cliff = content::kSampleCliffX * 10.0f;
    const PlannedRoute across = AiPath_Plan(cliff - 200.0f, 2000, cliff + 200.0f, 2000, 0, 1);
    EXPECT_EQ(across.kind, 3);
    ASSERT_EQ(across.points.size(), 2u);
    EXPECT_EQ(across.points[1].x, cliff + 200.0f);
}

}  // namespace
