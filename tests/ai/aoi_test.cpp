#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ai/aipath.h"
#include "ai/aoi.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "support/field_stream.h"

namespace {

class AoiTest : public ::testing::Test {
protected:
    void SetUp() override {
        AOI_Reset();
        AiPaths_Reset();
    }
    void TearDown() override {
        AOI_Reset();
        AiPaths_Reset();
    }
    static AiPath* Box(float x0, float z0, float x1, float z1, const char* label = nullptr) {
        auto* path = new AiPath(label, 0);
        path->points = {{x0, z0}, {x1, z1}};
        return path;
    }
    // The cells of a grid as rows of digits ('.' for 0), z upward from the first row.
    static std::vector<std::string> Rows(const int32_t* grid, int width, int height) {
        std::vector<std::string> rows;
        for (int z = 0; z < height; ++z) {
            std::string row;
            for (int x = 0; x < width; ++x) {
                const int32_t v = grid[z * width + x];
                row += v == 0 ? '.' : static_cast<char>('0' + (v % 10 + 10) % 10);
            }
            rows.push_back(row);
        }
        return rows;
    }
};

TEST_F(AoiTest, CellRectanglesRoundHalvesToEvenAndTheFarEdgeUp) {
    // Grid: origin (0, 0), cells of 10, 6 along x, 4 along z.
    struct Case {
        const char* what;
        float x0, z0, x1, z1;
        bool inside;
        std::vector<std::string> rows;
    } cases[] = {
        {"box", 10, 10, 30, 20, true, {"......", ".11...", "......", "......"}},
        // 20.5 rounds to 20 (even): the far edge stays in the second cell; 21.5 rounds to 22.
        {"half to even", 10, 0, 20.5f, 4.5f, true, {".1....", "......", "......", "......"}},
        {"half up to even", 10, 0, 21.5f, 4.5f, true, {".11...", "......", "......", "......"}},
        {"far edge rounds up", 10, 10, 10.6f, 10.6f, true, {"......", ".1....", "......", "......"}},
        {"whole grid inside", -50, -50, 500, 500, true, {"111111", "111111", "111111", "111111"}},
        {"whole grid outside", -50, -50, 500, 500, false, {"......", "......", "......", "......"}},
        {"outside a box", 10, 10, 30, 20, false, {"111111", "1..111", "111111", "111111"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AOI_Reset();
        AOI_SetupGrid(0, 0, 10, 4, 6);
        new AOI(Box(c.x0, c.z0, c.x1, c.z1), 3, true, c.inside, 1, 7);
        const int32_t* grid = AOI_GetValueGrid(3, true);
        ASSERT_NE(grid, nullptr);
        EXPECT_EQ(Rows(grid, 6, 4), c.rows);
    }
}

TEST_F(AoiTest, LaterAreasWinAndEachKindFillsItsOwnGrid) {
    AOI_SetupGrid(100, 200, 10, 2, 4);
    new AOI(Box(100, 200, 130, 220), 1, true, true, 2, 105);
    new AOI(Box(120, 200, 140, 210), 1, true, true, 5, 3);
    new AOI(Box(100, 210, 110, 220), 1, false, true, 9, 8);
    new AOI(Box(100, 200, 140, 220), 4, true, true, 6, 6);  // another team
    EXPECT_EQ(Rows(AOI_GetValueGrid(1, true), 4, 2), (std::vector<std::string>{"2255", "222."}));
    EXPECT_EQ(Rows(AOI_GetForceGrid(1), 4, 2), (std::vector<std::string>{"5533", "555."}));
    EXPECT_EQ(Rows(AOI_GetValueGrid(1, false), 4, 2), (std::vector<std::string>{"....", "9..."}));
    EXPECT_EQ(AOI_GetValueGrid(2, true), nullptr);  // no area: never built
    EXPECT_EQ(AOI_GetValueGrid(8, true), nullptr);
    EXPECT_EQ(AOI_GetForceGrid(-1), nullptr);
}

TEST_F(AoiTest, TheTeamMarkFollowsTheLastAreaAndSurvivesTheGridSetUp) {
    AOI_SetupGrid(0, 0, 10, 2, 2);
    auto* a = new AOI(Box(0, 0, 10, 10), 3, true, true, 4, 0);
    auto* b = new AOI(Box(0, 0, 20, 20), 3, true, true, 6, 0);
    AOI_SetupGrid(0, 0, 10, 2, 2);  // the planner's start: teams with areas stay marked
    EXPECT_TRUE(AOI_TeamMarked(3));
    EXPECT_EQ(Rows(AOI_GetValueGrid(3, true), 2, 2), (std::vector<std::string>{"66", "66"}));
    delete b;
    EXPECT_TRUE(AOI_TeamMarked(3));
    AOI_MarkDirty();
    EXPECT_EQ(Rows(AOI_GetValueGrid(3, true), 2, 2), (std::vector<std::string>{"4.", ".."}));
    delete a;
    EXPECT_FALSE(AOI_TeamMarked(3));
    // Not rebuilt any more: the grid of the last build stays.
    AOI_MarkDirty();
    EXPECT_EQ(Rows(AOI_GetValueGrid(3, true), 2, 2), (std::vector<std::string>{"4.", ".."}));
}

TEST_F(AoiTest, SectionRoundTripsAndLoadedAreasReachTheGrids) {
    for (const bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "text");
        AOI_Reset();
        AiPaths_Reset();
        AiPath* path = Box(0, 0, 10, 10, "hill");
        new AOI(path, 5, true, true, 7, 142);
        new AOI(path, 2, false, false, -1, 0);
        Field_ResetSaveIds();
        bool ok = false;
        const std::string bytes = CaptureFields(binary, AOIs_Save, &ok);
        const uint32_t pathId = Field_SaveId(path);
        Field_ResetSaveIds();
        ASSERT_TRUE(ok);
        AOI_Reset();
        {
            FieldReadScope scope(bytes, binary);
            ASSERT_TRUE(AOIs_Load());
            EXPECT_EQ(scope.Offset(), scope.Size());
            Field_RegisterPointer(pathId, path);
            Field_ResolvePointers();
        }
        ASSERT_EQ(AOIs().size(), 2u);
        const AOI* a = AOIs()[0];
        EXPECT_EQ(a->area, path);
        EXPECT_EQ(a->team, 5);
        EXPECT_TRUE(a->interesting);
        EXPECT_TRUE(a->inside);
        EXPECT_EQ(a->value, 7);
        EXPECT_EQ(a->force, 142);
        EXPECT_FALSE(AOIs()[1]->inside);
        // The planner's start after the load: the loaded teams reach the grids.
        AOI_SetupGrid(0, 0, 10, 1, 2);
        EXPECT_TRUE(AOI_TeamMarked(5));
        EXPECT_EQ(Rows(AOI_GetValueGrid(5, true), 2, 1), (std::vector<std::string>{"7."}));
    }
}

TEST_F(AoiTest, BadRecordsFailAndUnresolvedAreasAreSkipped) {
    const auto text = [](const char* team) {
        return CrLfLines({"[AOIs]", "size [1] =", "1", "[AOI]", "undefptr = 00000009", "team [1] =", team,
                          "interesting [1] =", "true", "inside [1] =", "true", "value [1] =", "3", "force [1] =",
                          "0"});
    };
    for (const char* team : {"8", "-1"}) {
        SCOPED_TRACE(team);
        AOI_Reset();
        FieldReadScope scope(text(team), false);
        EXPECT_FALSE(AOIs_Load());
        EXPECT_TRUE(AOIs().empty());
        EXPECT_EQ(Field_FixupQueueSize(), 0u);
        Field_DiscardFixups();
    }
    {
        AOI_Reset();
        FieldReadScope scope(CrLfLines({"[AOIs]", "size [1] =", "-2"}), false);
        EXPECT_FALSE(AOIs_Load());
    }
    AOI_Reset();
    {
        FieldReadScope scope(text("6"), false);
        ASSERT_TRUE(AOIs_Load());
        Field_ResolvePointers();  // id 9 names nothing
    }
    ASSERT_EQ(AOIs().size(), 1u);
    EXPECT_EQ(AOIs()[0]->area, nullptr);
    AOI_SetupGrid(0, 0, 10, 1, 1);
    EXPECT_EQ(Rows(AOI_GetValueGrid(6, true), 1, 1), (std::vector<std::string>{"."}));
}

TEST_F(AoiTest, TheEditorDialogMapsAreasBothWays) {
    AiPath* path = Box(0, 0, 10, 10, "ridge");
    PathAreaFields plain = MissionEditor_ReadPathArea(path);
    EXPECT_EQ(MissionEditor_EditedPath(), path);
    EXPECT_EQ(plain.name, "ridge");
    EXPECT_EQ(plain.pathType, "Path");
    EXPECT_EQ(plain.interest, "Boring");
    EXPECT_EQ(plain.side, "Inside");
    EXPECT_EQ(plain.unitType, "Defend");
    EXPECT_TRUE(plain.cancelled);

    struct Case {
        const char* interest;
        const char* unitType;
        int32_t force;
        int32_t value;
        int32_t storedForce, storedValue;
    } cases[] = {
        {"Interesting", "Attack", 20, 5, 120, 5},
        {"Interesting", "Defend", 99, 5, 99, 5},
        {"Boring", "Attack", 20, 5, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.interest << " " << c.unitType << " " << c.force);
        PathAreaFields f = MissionEditor_ReadPathArea(path);
        f.pathType = "Area";
        f.interest = c.interest;
        f.unitType = c.unitType;
        f.force = c.force;
        f.value = c.value;
        f.side = "Outside";
        MissionEditor_ConfirmPathArea(path, f);
        EXPECT_FALSE(f.cancelled);
        const AOI* aoi = AOI_FindByOwner(path);
        ASSERT_NE(aoi, nullptr);
        EXPECT_EQ(aoi->team, 2);
        EXPECT_EQ(aoi->force, c.storedForce);
        EXPECT_EQ(aoi->value, c.storedValue);
        EXPECT_FALSE(aoi->inside);
        // Read back, the force splits again.
        const PathAreaFields back = MissionEditor_ReadPathArea(path);
        EXPECT_EQ(back.pathType, "Area");
        EXPECT_EQ(back.force + (back.unitType == "Attack" ? 100 : 0), c.storedForce);
    }
    EXPECT_EQ(AOIs().size(), 1u);
    PathAreaFields f = MissionEditor_ReadPathArea(path);
    f.pathType = "Path";
    MissionEditor_ConfirmPathArea(path, f);
    EXPECT_EQ(AOI_FindByOwner(path), nullptr);
    EXPECT_TRUE(AOIs().empty());
}

}  // namespace
