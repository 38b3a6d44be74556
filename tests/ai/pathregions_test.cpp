#include "ai/pathregions.h"

#include <gtest/gtest.h>

#include <set>

#include "ai/pathgrid.h"
#include "pathgrid_fixture.h"

namespace {

class PathRegionsTest : public ::testing::Test {
protected:
    void Build(int width, int depth) {
        HandField::Install(width, depth);
        PathGrid_Build();
        PathPlanner_BuildSectors();
    }
    void TearDown() override {
        PathRegions_ResetForTests();
        PathGrid_ResetForTests();
    }
    static std::set<PathRegion*> Linked(PathRegion* r) {
        std::set<PathRegion*> out;
        for (int i = PathRegion_GetLinks(r); i >= 0; i = PathLink_At(i).nextIndex) out.insert(PathLink_At(i).region);
        return out;
    }
    // Marks the cell with a one-cell footprint (class 10).
    static void MarkCell(int x, int z) { PathGrid_MarkRect(10.0f * x + 1, 10.0f * z + 1, 10.0f * x + 9, 10.0f * z + 9, true); }
};

TEST_F(PathRegionsTest, AUniformSectorIsOneRegionAndACheckerboardIsOneRegionPerCell) {
    Build(32, 32);
    ASSERT_EQ(PathPlanner_SectorColumns(), 2);
    ASSERT_EQ(PathPlanner_SectorRows(), 2);
    PathRegion* r = PathPlanner_RegionAt(55.0f, 155.0f);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->cls, 0);
    EXPECT_EQ((std::vector<float>{r->x1, r->z1, r->x2, r->z2}), (std::vector<float>{0, 0, 16, 16}));
    EXPECT_EQ(PathPlanner_Sector(0, 0)->regions.size(), 1u);

    for (int z = 16; z < 32; ++z)
        for (int x = 16; x < 32; ++x)
            if ((x + z) % 2) MarkCell(x, z);
    PathSector_Decompose(1, 1);
    PathSector* s = PathPlanner_Sector(1, 1);
    ASSERT_TRUE(s->decomposed);
    ASSERT_EQ(s->regions.size(), 256u);
    for (int i = 0; i < 256; ++i) {
        const int x = 16 + i % 16, z = 16 + i / 16;
        PathRegion* cell = s->regions[s->cellRegion[i]];
        EXPECT_EQ(cell->x1, x);
        EXPECT_EQ(cell->z1, z);
        EXPECT_EQ(cell->x2 - cell->x1, 1.0f);
        EXPECT_EQ(cell->z2 - cell->z1, 1.0f);
        EXPECT_EQ(cell->cls, (x + z) % 2 ? 10 : 0);
    }
    EXPECT_EQ(s->cellRegion[255], 255);
}

TEST_F(PathRegionsTest, RegionsAreMaximalRectanglesGrownColumnByColumn) {
    Build(16, 16);
    // A footprint over cells x 4..7, z 2..5 cuts the sector into five rectangles.
    PathGrid_MarkRect(41.0f, 21.0f, 79.0f, 59.0f, true);
    PathRegion* mark = PathPlanner_RegionAt(55.0f, 35.0f);
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ((std::vector<float>{mark->x1, mark->z1, mark->x2, mark->z2}), (std::vector<float>{4, 2, 8, 6}));
    EXPECT_EQ(mark->cls, 10);
    const auto& regions = PathPlanner_Sector(0, 0)->regions;
    ASSERT_EQ(regions.size(), 5u);
    EXPECT_EQ((std::vector<float>{regions[0]->x1, regions[0]->z1, regions[0]->x2, regions[0]->z2}),
              (std::vector<float>{0, 0, 4, 16}));
    EXPECT_EQ((std::vector<float>{regions[1]->x1, regions[1]->z1, regions[1]->x2, regions[1]->z2}),
              (std::vector<float>{4, 0, 8, 2}));
    EXPECT_EQ((std::vector<float>{regions[4]->x1, regions[4]->z1, regions[4]->x2, regions[4]->z2}),
              (std::vector<float>{8, 0, 16, 16}));
    // The marked region touches the open ground on its four sides.
    EXPECT_EQ(Linked(mark), (std::set<PathRegion*>{regions[0], regions[1], regions[3], regions[4]}));
}

TEST_F(PathRegionsTest, AChangeInOneSectorLeavesOthersIntactAndStaleLinksAreRebuilt) {
    Build(32, 32);
    PathRegion* west = PathPlanner_RegionAt(55.0f, 55.0f);
    PathRegion* east = PathPlanner_RegionAt(255.0f, 55.0f);
    PathRegion* north = PathPlanner_RegionAt(55.0f, 255.0f);
    const int westId = west->id, northId = north->id;
    EXPECT_EQ(Linked(west), (std::set<PathRegion*>{east, north}));
    const int northLinks = PathRegion_GetLinks(north);

    MarkCell(20, 4);  // in the eastern sector only
    EXPECT_FALSE(PathPlanner_Sector(1, 0)->decomposed);
    EXPECT_TRUE(PathPlanner_Sector(0, 0)->decomposed);
    EXPECT_TRUE(PathPlanner_Sector(0, 1)->decomposed);
    EXPECT_EQ(PathPlanner_RegionAt(55.0f, 55.0f), west);
    EXPECT_EQ(west->id, westId);
    EXPECT_EQ(north->id, northId);
    EXPECT_EQ(PathRegion_GetLinks(north), northLinks);  // its links were all fresh

    // The western region's link into the changed sector is stale: rebuilt to the new regions.
    const std::set<PathRegion*> linked = Linked(west);
    EXPECT_EQ(linked.count(north), 1u);
    PathRegion* eastNow = PathPlanner_RegionAt(165.0f, 5.0f);
    ASSERT_NE(eastNow, nullptr);
    EXPECT_EQ(linked.count(eastNow), 1u);
    for (PathRegion* n : linked) {
        EXPECT_GT(n->id, 0);
        EXPECT_NE(n->cls, 13);
    }
    for (int i = PathRegion_GetLinks(west); i >= 0; i = PathLink_At(i).nextIndex)
        EXPECT_EQ(PathLink_At(i).regionId, PathLink_At(i).region->id);
}

TEST_F(PathRegionsTest, NoLinksPastTheGridAndPartialSectorsEndInImpassableCells) {
    Build(20, 16);  // the second sector column holds 4 cells of the grid and 12 past it
    PathRegion* edge = PathPlanner_RegionAt(185.0f, 5.0f);
    ASSERT_NE(edge, nullptr);
    EXPECT_EQ((std::vector<float>{edge->x1, edge->x2}), (std::vector<float>{16, 20}));
    EXPECT_EQ(PathPlanner_RegionAt(205.0f, 5.0f), nullptr);  // outside the grid
    EXPECT_EQ(PathPlanner_RegionAt(-5.0f, 5.0f), nullptr);
    const auto& regions = PathPlanner_Sector(1, 0)->regions;
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[1]->cls, 12);
    // Only the western neighbour: the grid ends south and north, impassable cells east.
    PathRegion* west = PathPlanner_RegionAt(5.0f, 5.0f);
    EXPECT_EQ(Linked(edge), (std::set<PathRegion*>{west}));
    EXPECT_EQ(Linked(west), (std::set<PathRegion*>{edge}));
}

TEST_F(PathRegionsTest, RegionsInARectangleOverlapItWithPositiveArea) {
    Build(32, 32);
    PathRegion** found = nullptr;
    EXPECT_EQ(PathPlanner_RegionsInRect(10.0f, 10.0f, 150.0f, 150.0f, &found), 1);
    EXPECT_EQ(found[0], PathPlanner_RegionAt(5.0f, 5.0f));
    EXPECT_EQ(PathPlanner_RegionsInRect(100.0f, 100.0f, 200.0f, 200.0f, &found), 4);
    EXPECT_EQ(PathPlanner_RegionsInRect(160.0f, 10.0f, 170.0f, 20.0f, &found), 1);  // touches (0, 0) only at its edge
    EXPECT_EQ(PathPlanner_RegionsInRect(400.0f, 400.0f, 500.0f, 500.0f, &found), 0);
}

TEST_F(PathRegionsTest, ASectorThePoolCannotServeStaysAPlaceholderAndYieldsNoRegion) {
    Build(32, 16);
    // Every record in use (two regions): a checkerboard cannot be cut.
    PathPlanner_SetRegionPoolLimit(PathPlanner_RegionsInUse());
    for (int z = 0; z < 16; ++z)
        for (int x = 0; x < 16; ++x)
            if ((x + z) % 2) MarkCell(x, z);
    EXPECT_EQ(PathPlanner_RegionAt(5.0f, 5.0f), nullptr);
    EXPECT_FALSE(PathPlanner_Sector(0, 0)->decomposed);
    PathRegion* east = PathPlanner_RegionAt(205.0f, 5.0f);
    ASSERT_NE(east, nullptr);
    EXPECT_TRUE(Linked(east).empty());  // no links into the placeholder
    PathPlanner_SetRegionPoolLimit(0);
    EXPECT_NE(PathPlanner_RegionAt(5.0f, 5.0f), nullptr);
}

}  // namespace
