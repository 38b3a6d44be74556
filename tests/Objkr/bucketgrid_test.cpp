#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "Objkr/bucketgrid.h"
#include "core/debug.h"
#include "platform/msgbox.h"
#include "platform/system.h"

namespace {

std::vector<uint32_t> Collect(BucketGridQuery& q) {
    std::vector<uint32_t> values;
    const BucketGridEntry* e = nullptr;
    while (q.Next(&e)) values.push_back(e->value);
    return values;
}

std::vector<uint32_t> Near(const BucketGrid& g, double x, double z, double radius) {
    BucketGridQuery q;
    g.Query(x, z, radius, &q);
    return Collect(q);
}

// A 2560 x 2560 map in cells of 256: 11 x 11 cells with origin 0.
BucketGrid MapGrid() { return BucketGrid(256.0, 256.0, 0.0, 2560.0, 0.0, 2560.0, 768); }

TEST(BucketGridTest, SizeIsTheRoundedCellCountPlusOne) {
    BucketGrid g = MapGrid();
    EXPECT_EQ(g.Width(), 11);
    EXPECT_EQ(g.Height(), 11);
    BucketGrid h(100.0, 50.0, -120.0, 130.0, 0.0, 1049.0, 16);
    EXPECT_EQ(h.Width(), 11);   // 10.49 rounds to 10
    EXPECT_EQ(h.Height(), 6);   // 5
    EXPECT_EQ(h.Capacity(), 16);
    h.Free();
    g.Free();
}

TEST(BucketGridTest, PointsAreClampedIntoTheBorderCells) {
    BucketGrid g = MapGrid();
    struct Case {
        double x, z;
        int column, row;
    } cases[] = {
        {255.9, 0.0, 0, 0},      {256.0, 0.0, 1, 0},       {-0.1, 0.0, 0, 0},
        {-5000.0, -5000.0, 0, 0}, {99999.0, 99999.0, 10, 10}, {2559.0, 300.0, 9, 1},
        {0.0, 2816.5, 0, 10},     {1e300, -1e300, 10, 0},
        {std::numeric_limits<double>::quiet_NaN(), 700.0, 0, 2},
        {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(), 10, 0},
    };
    for (const Case& c : cases) {
        int column = -1, row = -1;
        g.CellOf(c.x, c.z, &column, &row);
        EXPECT_EQ(column, c.column) << c.x << "," << c.z;
        EXPECT_EQ(row, c.row) << c.x << "," << c.z;
    }
    // Insert puts the value where CellOf says: a point far off the map is found at the border.
    g.Insert(7, -5000.0, -5000.0);
    EXPECT_EQ(Near(g, 0.0, 0.0, 0.0), (std::vector<uint32_t>{7}));
}

TEST(BucketGridTest, EntriesOfACellComeOutNewestFirstRowsThenColumns) {
    BucketGrid g = MapGrid();
    g.Clear();
    g.Insert(1, 10.0, 10.0);    // cell (0, 0)
    g.Insert(2, 300.0, 10.0);   // cell (1, 0)
    g.Insert(3, 20.0, 20.0);    // cell (0, 0)
    g.Insert(4, 10.0, 300.0);   // cell (0, 1)
    g.EndFill();
    BucketGridQuery q;
    g.BeginQuery(0.0, 0.0, 400.0, 400.0, &q);
    EXPECT_EQ(Collect(q), (std::vector<uint32_t>{3, 1, 2, 4}));
    EXPECT_FALSE(q.Next(nullptr));  // stays exhausted
    q.Start();                       // and can be walked again
    EXPECT_EQ(Collect(q).size(), 4u);
}

TEST(BucketGridTest, AQueryOffTheMapIsEmpty) {
    BucketGrid g = MapGrid();
    for (uint32_t i = 0; i < 50; ++i) g.Insert(i, 50.0 * i, 50.0 * i);
    EXPECT_TRUE(Near(g, -1000.0, 100.0, 10.0).empty());   // every column left of the grid
    EXPECT_TRUE(Near(g, 100.0, 9000.0, 10.0).empty());    // every row above it
    EXPECT_TRUE(Near(g, 9000.0, -9000.0, 10.0).empty());
    EXPECT_TRUE(Near(g, std::numeric_limits<double>::quiet_NaN(), 100.0, 10.0).empty());
    // A huge radius still covers the whole map.
    EXPECT_EQ(Near(g, 0.0, 0.0, 1e9).size(), 50u);
}

TEST(BucketGridTest, RadiusZeroStillVisitsTheCellsWithin20Units) {
    BucketGrid g = MapGrid();
    g.Insert(10, 300.0, 100.0);   // column 1
    g.Insert(20, 100.0, 100.0);   // column 0
    g.Insert(30, 600.0, 100.0);   // column 2
    // 240 + 20 reaches column 1; column 2 starts at 512.
    EXPECT_EQ(Near(g, 240.0, 100.0, 0.0), (std::vector<uint32_t>{20, 10}));
    // 230 + 20 stays in column 0.
    EXPECT_EQ(Near(g, 230.0, 100.0, 0.0), (std::vector<uint32_t>{20}));
    // 275 - 20 reaches back into column 0.
    EXPECT_EQ(Near(g, 275.0, 100.0, 0.0), (std::vector<uint32_t>{20, 10}));
}

TEST(BucketGridTest, NothingAfterClear) {
    BucketGrid g = MapGrid();
    for (uint32_t i = 0; i < 20; ++i) g.Insert(i, 10.0 * i, 5.0);
    g.Clear();
    EXPECT_EQ(g.EntryCount(), 0);
    EXPECT_TRUE(Near(g, 100.0, 5.0, 5000.0).empty());
    g.Insert(99, 10.0, 5.0);
    EXPECT_EQ(Near(g, 100.0, 5.0, 5000.0), (std::vector<uint32_t>{99}));
}

class BucketGridWarningTest : public ::testing::Test {
protected:
    void SetUp() override {
        Plat_Init(BackendKind::Headless);
        Error_ResetForTests();
        Plat_SetMessageBoxPolicy({});
        Plat_ClearMessageBoxLog();
    }
    void TearDown() override { Plat_Shutdown(); }
};

TEST_F(BucketGridWarningTest, InsertsPastTheCapacityAreDropped) {
    BucketGrid g(256.0, 256.0, 0.0, 2560.0, 0.0, 2560.0, 4);
    for (uint32_t i = 0; i < 10; ++i) g.Insert(i, 10.0, 10.0);
    EXPECT_EQ(g.EntryCount(), 4);
    EXPECT_EQ(g.Dropped(), 6);
    EXPECT_EQ(Near(g, 10.0, 10.0, 0.0), (std::vector<uint32_t>{3, 2, 1, 0}));
    g.Clear();
    EXPECT_EQ(g.Dropped(), 0);
    g.Insert(42, 10.0, 10.0);
    EXPECT_EQ(Near(g, 10.0, 10.0, 0.0), (std::vector<uint32_t>{42}));
}

TEST_F(BucketGridWarningTest, UnusableExtentsGiveOneCellWithAWarning) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double cellX, cellZ, minZ, maxZ, minX, maxX;
    } cases[] = {
        {0.0, 256.0, 0.0, 100.0, 0.0, 100.0},   {256.0, -1.0, 0.0, 100.0, 0.0, 100.0},
        {256.0, 256.0, 100.0, 0.0, 0.0, 100.0}, {nan, 256.0, 0.0, 100.0, 0.0, 100.0},
        {1e-9, 1e-9, 0.0, 1e9, 0.0, 1e9},
    };
    for (const Case& c : cases) {
        Plat_ClearMessageBoxLog();
        BucketGrid g(c.cellX, c.cellZ, c.minZ, c.maxZ, c.minX, c.maxX, 8);
        EXPECT_EQ(g.Width(), 1);
        EXPECT_EQ(g.Height(), 1);
        EXPECT_EQ(Plat_MessageBoxLog().size(), 1u);
        g.Insert(5, 50.0, 50.0);
        EXPECT_EQ(Near(g, 0.0, 0.0, 0.0), (std::vector<uint32_t>{5}));
    }
}

TEST(BucketGridTest, AFreedGridHoldsAndYieldsNothing) {
    BucketGrid g = MapGrid();
    g.Insert(1, 10.0, 10.0);
    g.Free();
    g.Insert(2, 10.0, 10.0);
    EXPECT_TRUE(Near(g, 10.0, 10.0, 100.0).empty());
}

}  // namespace
