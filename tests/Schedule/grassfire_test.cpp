#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "Schedule/grassfire.h"
#include "Schedule/plannerlog.h"
#include "support/trace_capture.h"

namespace {

// A grid with its row pointers, the form the sweep takes.
struct Grid {
    int rows, cols;
    std::vector<int32_t> cells;
    std::vector<int32_t*> rowPtrs;
    Grid(int r, int c, int fill = 0) : rows(r), cols(c), cells(static_cast<size_t>(r * c), fill) {
        for (int i = 0; i < r; ++i) rowPtrs.push_back(cells.data() + static_cast<ptrdiff_t>(i) * c);
    }
    int32_t& At(int r, int c) { return cells[static_cast<size_t>(r * cols + c)]; }
    int32_t* const* Rows() { return rowPtrs.data(); }
};

Grid Parse(const std::vector<std::string>& text) {
    Grid g(static_cast<int>(text.size()), static_cast<int>(text[0].size()));
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c < g.cols; ++c) g.At(r, c) = text[static_cast<size_t>(r)][static_cast<size_t>(c)] - '0';
    return g;
}

std::vector<std::string> Show(const Grid& g) {
    std::vector<std::string> out;
    for (int r = 0; r < g.rows; ++r) {
        std::string line;
        for (int c = 0; c < g.cols; ++c) line += static_cast<char>('0' + g.cells[static_cast<size_t>(r * g.cols + c)]);
        out.push_back(line);
    }
    return out;
}

TEST(GrassfireTest, DistancesForSeedsBordersConnectivityAndInversion) {
    struct Case {
        const char* name;
        std::vector<std::string> source;
        int key, invert, border, connectivity;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"no seed, the border is the cap", {"00000", "00000", "00000", "00000", "00000"}, 1, 0, 0, 4,
         {"44444", "44444", "44444", "44444", "44444"}},
        {"no seed, the edge is a seed", {"00000", "00000", "00000", "00000", "00000"}, 1, 0, 1, 4,
         {"11111", "12221", "12321", "12221", "11111"}},
        {"city-block steps round one seed", {"00000", "00000", "00100", "00000", "00000"}, 1, 0, 0, 4,
         {"43234", "32123", "21012", "32123", "43234"}},
        {"chessboard steps round one seed", {"00000", "00000", "00100", "00000", "00000"}, 1, 0, 0, 8,
         {"22222", "21112", "21012", "21112", "22222"}},
        {"distances stop at columns - 1", {"100", "000", "000", "000", "000", "000"}, 1, 0, 0, 4,
         {"012", "122", "222", "222", "222", "222"}},
        {"inverted: every cell unlike the key is a seed", {"555", "595", "555"}, 5, 1, 1, 4,
         {"212", "101", "212"}},
        {"inverted with the edge as a seed", {"555", "555", "555"}, 5, 1, 0, 8, {"111", "121", "111"}},
        {"two seeds, the nearer wins", {"1000001"}, 1, 0, 0, 4, {"0123210"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Grid source = Parse(c.source);
        Grid out(source.rows, source.cols, 9);
        Grassfire_Init(source.rows, source.cols);
        EXPECT_EQ(Grassfire_Compute(source.Rows(), out.Rows(), c.key, c.invert, c.border, c.connectivity,
                                    source.rows, source.cols),
                  0);
        EXPECT_EQ(Show(out), c.expected);
        Grassfire_Close();
    }
}

// Distance to the nearest seed by looking at every seed, and at the edge when it counts as one.
int32_t Reference(Grid& src, int r, int c, int key, bool eight, int32_t edge, int32_t limit) {
    int32_t best = limit;
    for (int sr = 0; sr < src.rows; ++sr)
        for (int sc = 0; sc < src.cols; ++sc)
            if (src.At(sr, sc) == key) {
                const int dr = std::abs(sr - r), dc = std::abs(sc - c);
                best = std::min(best, eight ? std::max(dr, dc) : dr + dc);
            }
    const int toEdge = std::min(std::min(r, c), std::min(src.rows - 1 - r, src.cols - 1 - c)) + 1;
    best = std::min(best, edge + toEdge);
    return std::min(best, limit);
}

TEST(GrassfireTest, ASeededFieldMatchesTheNearestSeedByBruteForce) {
    std::mt19937 random(71);
    for (int connectivity : {4, 8}) {
        for (int border : {0, 1}) {
            Grid source(13, 17);
            for (auto& v : source.cells) v = random() % 23 == 0 ? 1 : 0;
            Grid out(13, 17);
            Grassfire_Init(13, 17);
            Grassfire_Compute(source.Rows(), out.Rows(), 1, 0, border, connectivity, 13, 17);
            Grassfire_Close();
            const int32_t limit = 16;
            const int32_t edge = border ? 0 : limit;
            for (int r = 0; r < 13; ++r)
                for (int c = 0; c < 17; ++c)
                    ASSERT_EQ(out.At(r, c), Reference(source, r, c, 1, connectivity == 8, edge, limit))
                        << "connectivity " << connectivity << " border " << border << " at " << r << "," << c;
        }
    }
}

TEST(GrassfireTest, AWrongSizeOrAClosedFieldLeavesTheDestinationAlone) {
    TraceCapture trace;
    testing::internal::CaptureStdout();
    Grid source(4, 4);
    Grid out(4, 4, 77);
    Grassfire_Compute(source.Rows(), out.Rows(), 1, 0, 0, 4, 4, 4);
    EXPECT_EQ(trace.Count("ASSERT (grassfire_initialised);"), 1);

    Grassfire_Init(5, 4);
    Grassfire_Compute(source.Rows(), out.Rows(), 1, 0, 0, 4, 4, 4);
    EXPECT_EQ(trace.Count("ASSERT (1 == 0);"), 1);
    EXPECT_TRUE(std::all_of(out.cells.begin(), out.cells.end(), [](int32_t v) { return v == 77; }));

    // Opening again is reported and takes the new size.
    Grassfire_Init(4, 4);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(trace.Count("ASSERT (!grassfire_initialised);"), 1);
    Grassfire_Compute(source.Rows(), out.Rows(), 1, 0, 0, 4, 4, 4);
    EXPECT_EQ(out.At(2, 2), 3);
    Grassfire_Close();
}

TEST(GrassfireTest, ASecondCloseWritesItsLogLineOnce) {
    PlannerLog_Set(kPlannerLogErrors);
    TraceCapture trace;
    Grassfire_Init(2, 2);
    Grassfire_Close();
    EXPECT_TRUE(trace.Lines().empty());
    Grassfire_Close();
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"Grassfire Closed without matching open.\n"}));
}

TEST(PlannerLogTest, ALineIsWrittenOnlyWhenItsCategoryIsOn) {
    TraceCapture trace;
    EXPECT_EQ(PlannerLog_Mask(), 0u);
    PlannerLog_Printf(kPlannerLogTrace, "tick %d", 1);
    EXPECT_TRUE(trace.Lines().empty());
    PlannerLog_Set(kPlannerLogTrace | kPlannerLogGoalDump);
    EXPECT_TRUE(PlannerLog_IsOn(kPlannerLogTrace));
    EXPECT_FALSE(PlannerLog_IsOn(kPlannerLogErrors));
    PlannerLog_Printf(kPlannerLogTrace, "tick %d", 2);
    PlannerLog_Clear(kPlannerLogTrace);
    PlannerLog_Printf(kPlannerLogTrace, "tick %d", 3);
    PlannerLog_Printf(kPlannerLogGoalDump, "%s", std::string(2000, 'g').c_str());
    ASSERT_EQ(trace.Lines().size(), 2u);
    EXPECT_EQ(trace.Lines()[0], "tick 2\n");
    EXPECT_EQ(trace.Lines()[1].back(), '\n');  // a cut line still ends its line
    EXPECT_EQ(PlannerLog_Mask(), kPlannerLogGoalDump);
}

}  // namespace
