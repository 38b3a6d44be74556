#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Schedule/bytegrid.h"
#include "Schedule/nrutil.h"
#include "Schedule/prioritylist.h"
#include "Schedule/regionlabel.h"
#include "core/drdebug.h"
#include "platform/msgbox.h"
#include "support/exit_trap.h"

namespace {

TEST(NumericArraysTest, AVectorOverMinusThreeToThreeHoldsSevenElements) {
    NrVector<int32_t> v = NR_Ivector(-3, 3);
    ASSERT_TRUE(v);
    for (int i = -3; i <= 3; ++i) {
        EXPECT_EQ(v[i], 0);
        v[i] = i * 10;
    }
    for (int i = 0; i < 7; ++i) EXPECT_EQ(v.Data()[i], (i - 3) * 10);  // one block, in order
    NR_FreeVector(v);
    EXPECT_FALSE(v);

    NrVector<double> d = NR_Dvector(5, 5);
    ASSERT_TRUE(d);
    d[5] = 2.5;
    EXPECT_EQ(d[5], 2.5);
}

TEST(NumericArraysTest, AMatrixOverAnyRangesAndViewsOfOne) {
    NrMatrix<float> m = NR_Matrix(1, 3, -2, 2);
    ASSERT_TRUE(m);
    for (int r = 1; r <= 3; ++r)
        for (int c = -2; c <= 2; ++c) m[r][c] = static_cast<float>(r * 10 + c);
    EXPECT_EQ(m[3][-2], 28.0f);
    EXPECT_EQ(m[1][2], 12.0f);

    // Rows 2..3 from column 0, renumbered from (0, 0).
    NrMatrix<float> sub = submatrix(m, 2, 3, 0, 0, 0);
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub[0][0], 20.0f);
    EXPECT_EQ(sub[1][2], 32.0f);
    sub[1][1] = -1.0f;
    EXPECT_EQ(m[3][1], -1.0f);  // shared, not copied
    NR_FreeMatrix(sub);
    EXPECT_EQ(m[3][1], -1.0f);

    float flat[6] = {1, 2, 3, 4, 5, 6};
    NrMatrix<float> over = convert_matrix(flat, 10, 11, 0, 2);
    ASSERT_TRUE(over);
    EXPECT_EQ(over[11][0], 4.0f);
    EXPECT_EQ(over[10][2], 3.0f);
}

TEST(NumericArraysTest, AFailedAllocationShowsTheWarningAndGivesAMissingArray) {
    Plat_ClearMessageBoxLog();
    DR_FailAllocations(1);
    NrVector<float> v = NR_Vector(0, 9);
    EXPECT_FALSE(v);
    DR_FailAllocations(1, 2);  // the row table and the first row are made, the second is not
    NrMatrix<int32_t> m = NR_Imatrix(0, 4, 0, 4);
    EXPECT_FALSE(m);
    DR_FailAllocations(1);
    NrMatrix<void*> p = NR_Ptr_Matrix(0, 1, 0, 1);
    EXPECT_FALSE(p);
    const auto& boxes = Plat_MessageBoxLog();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "NR Util RunTime Error : [allocation failure in NR_Vector()]");
    EXPECT_EQ(boxes[1].text, "NR Util RunTime Error : [allocation failure 2 in NR_Imatrix()]");
    EXPECT_EQ(boxes[2].text, "NR Util RunTime Error : [allocation failure 1 in matrix()]");

    // The rows made before the failure went back (the sanitizers would see them leak).
    NrMatrix<int16_t> ok = NR_Smatrix(0, 1, 0, 1);
    EXPECT_TRUE(ok);
}

TEST(NumericArraysTest, TheFatalErrorEndsWith111) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunForExit([] { NR_Fatal("grid gone", 4); }), 111);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "grid gone\nError number  4\n");
}

TEST(JoinPathTest, PartsJoinWithABackslashUnlessTheTextEndsInOneOrAColon) {
    struct Case {
        const char* start;
        const char* p1;
        const char* p2;
        const char* p3;
        const char* suffix;
        const char* expected;
    };
    const Case cases[] = {
        {"c:", "aip", nullptr, nullptr, ".aip", "c:aip.aip"},
        {"data", "aip", "", "plan", nullptr, "data\\aip\\plan"},
        {"data\\", "aip", nullptr, nullptr, nullptr, "data\\aip"},
        {nullptr, "aip", "x", nullptr, ".txt", "aip\\x.txt"},
        {"", nullptr, nullptr, nullptr, nullptr, ""},
        {"a/b", "c", nullptr, nullptr, nullptr, "a/b\\c"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Util_JoinPath(c.start, c.p1, c.p2, c.p3, c.suffix), c.expected) << c.expected;
}

// A grid of values from rows of text: '#' is 1, '.' is 0.
NrMatrix<int32_t> Grid(const std::vector<std::string>& rows) {
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(rows[0].size());
    NrMatrix<int32_t> m = NR_Imatrix(0, h - 1, 0, w - 1);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) m[r][c] = rows[static_cast<size_t>(r)][static_cast<size_t>(c)] == '#';
    return m;
}

std::vector<std::string> Blob(int height, int width, int extraCells, int gridSize) {
    std::vector<std::string> rows(static_cast<size_t>(gridSize), std::string(static_cast<size_t>(gridSize), '.'));
    for (int r = 1; r <= height; ++r)
        for (int c = 1; c <= width; ++c) rows[static_cast<size_t>(r)][static_cast<size_t>(c)] = '#';
    for (int k = 0; k < extraCells; ++k) rows[static_cast<size_t>(height + 1)][static_cast<size_t>(1 + k)] = '#';
    return rows;
}

TEST(RegionLabelTest, CompactOnlyKeepsBlobsOfFiftyToAHundredAndFiftyCells) {
    struct Case {
        const char* name;
        std::vector<std::string> grid;
        bool compactOnly;
        bool kept;
    };
    const Case cases[] = {
        {"49 cells, compact only", Blob(7, 7, 0, 12), true, false},
        {"49 cells, all regions", Blob(7, 7, 0, 12), false, true},
        {"50 cells in a near square", Blob(7, 7, 1, 12), true, true},
        {"a 1 x 60 line is not compact", Blob(1, 60, 0, 64), true, false},
        {"151 cells are too many", Blob(12, 12, 7, 16), true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int h = static_cast<int>(c.grid.size());
        const int w = static_cast<int>(c.grid[0].size());
        NrMatrix<int32_t> source = Grid(c.grid);
        NrMatrix<int16_t> labels = RegionLabel(source, 1, 1, c.compactOnly, h, w);
        ASSERT_TRUE(labels);
        EXPECT_EQ(labels[1][1], c.kept ? 1 : 0);
        EXPECT_EQ(RegionLabel_Count(), c.kept ? 1 : 0);
        int labelled = 0;
        for (int r = 0; r < h; ++r)
            for (int col = 0; col < w; ++col) labelled += labels[r][col] != 0;
        EXPECT_EQ(labelled, c.kept ? static_cast<int>(RegionLabel_Stats(1)->count) : 0);
    }
}

TEST(RegionLabelTest, RegionsAreFourConnectedAndCarryTheirStatistics) {
    NrMatrix<int32_t> source = Grid({
        "##..#",
        "#..##",
        "..#..",
        "#.#..",
    });
    NrMatrix<int16_t> labels = RegionLabel(source, 1, 1, false, 4, 5);
    const int16_t expected[4][5] = {
        {1, 1, 0, 0, 2},
        {1, 0, 0, 2, 2},
        {0, 0, 3, 0, 0},
        {4, 0, 3, 0, 0},
    };
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 5; ++c) EXPECT_EQ(labels[r][c], expected[r][c]) << r << "," << c;
    const RegionStats* two = RegionLabel_Stats(2);
    EXPECT_EQ(two->count, 3);
    EXPECT_EQ(two->lowRow, 0);
    EXPECT_EQ(two->highCol, 4);
    EXPECT_FLOAT_EQ(two->aspect, 1.0f);
    EXPECT_FLOAT_EQ(two->fill, 0.75f);
    EXPECT_FLOAT_EQ(two->meanCol, 11.0f / 3.0f);
    EXPECT_EQ(RegionLabel_Count(), 4);

    // Values outside [lo..hi] are no region.
    NrMatrix<int16_t> none = RegionLabel(source, 2, 5, false, 4, 5);
    EXPECT_EQ(none[0][0], 0);
    EXPECT_EQ(RegionLabel_Count(), 0);
}

TEST(RegionLabelTest, AfterTwoThousandRegionsTheLabelAndItsStatisticsStartAgainAtOne) {
    // A checkerboard of 64 x 64: 2048 single cells.
    const int n = 64;
    NrMatrix<int32_t> source = NR_Imatrix(0, n - 1, 0, n - 1);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) source[r][c] = (r + c) % 2 == 0;
    NrMatrix<int16_t> labels = RegionLabel(source, 1, 1, false, n, n);
    EXPECT_EQ(RegionLabel_Count(), 2048);
    // Region 2001 is the 2001st cell of the scan: row 62, column 32 (32 cells to a row).
    EXPECT_EQ(labels[62][32], 1);
    EXPECT_EQ(labels[62][30], 2000);
    EXPECT_EQ(labels[0][0], 1);
    const RegionStats* one = RegionLabel_Stats(1);
    EXPECT_EQ(one->lowRow, 62);
    EXPECT_EQ(one->lowCol, 32);
    EXPECT_EQ(labels[63][63], 48);
}

TEST(PriorityListTest, EqualKeysKeepTheirOrderWithTheLaterAboveAndAFullListRefuses) {
    PriorityList list(4);
    int a, b, c, d, e;
    EXPECT_TRUE(list.Insert(&a, 2.0));
    EXPECT_TRUE(list.Insert(&b, 1.0));
    EXPECT_TRUE(list.Insert(&c, 2.0));
    EXPECT_TRUE(list.Insert(&d, 0.5));
    EXPECT_FALSE(list.Insert(&e, 9.0));
    ASSERT_EQ(list.Count(), 4);
    const void* order[] = {&d, &b, &a, &c};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list.Item(i), order[i]) << i;
    EXPECT_EQ(list.Key(3), 2.0);
    EXPECT_EQ(list.Item(4), nullptr);
}

TEST(ByteGridTest, RefusesCellsOutsideWrapsABytesAndHandsOutTheHeaviestFirst) {
    ByteGrid grid(3, 2, 10.0f, 20.0f, 100.0f, -50.0f);
    struct Add {
        float x, z;
        int result;
    };
    const Add adds[] = {
        {100.0f, -50.0f, 0},    // corner of cell (0, 0)
        {129.9f, -10.1f, 0},    // cell (2, 1)
        {130.0f, -50.0f, -10},  // just past the right edge
        {99.5f, -50.0f, -10},   // half a cell left of the origin
        {100.0f, -50.5f, -10},  // just below it
        {95.0f, -65.0f, -10},
    };
    for (const Add& a : adds) EXPECT_EQ(grid.AddAtPoint(a.x, a.z, 1), a.result) << a.x << "," << a.z;
    EXPECT_EQ(grid.AddAt(-1, 0, 1), kByteGridOutside);
    EXPECT_EQ(grid.AddAt(3, 0, 1), kByteGridOutside);
    EXPECT_EQ(grid.AddAt(0, 2, 1), kByteGridOutside);
    EXPECT_EQ(grid.AddAt(1, 0, 250), 0);
    EXPECT_EQ(grid.AddAt(1, 0, 10), 0);
    EXPECT_EQ(grid.Cell(1, 0), 4);  // 260 wrapped
    EXPECT_EQ(grid.AddAt(2, 0, 7), 0);
    EXPECT_EQ(grid.AddAt(0, 1, 7), 0);

    grid.Sort();
    grid.Reset();
    struct Out {
        int weight;
        float x, z;
    };
    // Equal weights: the later cell first.
    const Out expected[] = {{7, 100.0f, -30.0f}, {7, 120.0f, -50.0f}, {4, 110.0f, -50.0f},
                            {1, 120.0f, -30.0f}, {1, 100.0f, -50.0f}, {0, 110.0f, -30.0f}};
    for (const Out& o : expected) {
        float x = 0, z = 0;
        EXPECT_EQ(grid.NextBest(&x, &z), o.weight);
        EXPECT_EQ(x, o.x);
        EXPECT_EQ(z, o.z);
    }
    EXPECT_EQ(grid.NextBest(nullptr, nullptr), -1);
    grid.Clear();
    EXPECT_EQ(grid.Cell(1, 0), 0);
}

}  // namespace
