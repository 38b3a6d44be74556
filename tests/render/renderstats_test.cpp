#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/debug.h"
#include "core/seams/cockpit.h"
#include "core/seams/registry.h"
#include "core/seams/render.h"
#include "platform/clock.h"
#include "render/d3dbatch.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/draw2d.h"
#include "render/graphicdriver.h"
#include "render/renderstats.h"
#include "support/state_reset.h"

namespace {

struct Drawn {
    int x, y;
    std::string text;
    int colour;
};
std::vector<Drawn>& Texts() {
    static std::vector<Drawn> texts;
    return texts;
}

class RenderStatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramStateForTest();
        Plat_UseVirtualClock(1000);
        DebugScreen_Reset();
        Texts().clear();
        RenderSeam& seam = Seam_Render();
        seam.fontHeight = [] { return 8; };
        seam.drawText = [](int x, int y, const char* text, int colour) { Texts().push_back({x, y, text, colour}); };
        Render_InstallStats();
        seam.renderStatsReset();  // registers the pages on first use
        GraphicD3DFlags = 0;
    }
    void TearDown() override {
        GraphicD3DFlags = 0;
        Seams_ResetAll();
        DebugScreen_Reset();
        Plat_UseRealClock();
        ResetProgramStateForTest();
    }
    // Ten frames of the given polygons each, the clock moving ms per frame; the last frame's texts.
    static void TenFrames(uint32_t ms, int polygons = 0) {
        for (int i = 0; i < 10; ++i) {
            Seam_Render().renderStatsReset();
            PolygonCount = polygons;
            Plat_AdvanceVirtualClock(ms);
            Texts().clear();
            Seam_Render().renderStatsDraw();
        }
    }
    static std::string Row(int row) {
        const uint8_t* cells = DebugScreen_Cells() + row * kDebugScreenColumns * 2;
        std::string out;
        for (int c = 0; c < kDebugScreenColumns && cells[2 * c]; ++c) out += char(cells[2 * c]);
        return out;
    }
};

TEST_F(RenderStatsTest, TheRateWaitsOutFiveReportsThenShowsItsLowFromTheFirstRate) {
    ASSERT_TRUE(Render_ToggleStats());
    for (int report = 0; report < 5; ++report) {
        TenFrames(5);  // 200 frames a second
        EXPECT_EQ(RenderStats_State().fpsLine, std::string("FPS 0.0")) << report;
    }
    TenFrames(5);
    EXPECT_EQ(RenderStats_State().fpsLine, std::string("FPS 200.00 (Low 200.00 Avg 200.00)"));
    TenFrames(4);  // 250 a second: the low stays at 200
    EXPECT_EQ(RenderStats_State().fpsLine, std::string("FPS 250.00 (Low 200.00 Avg 225.00)"));
    // Switching off and on starts a new warm-up.
    EXPECT_FALSE(Render_ToggleStats());
    EXPECT_TRUE(Render_ToggleStats());
    EXPECT_TRUE(RenderStats_State().warmUp);
}

TEST_F(RenderStatsTest, AReportWithoutElapsedTimeChangesNothing) {
    Render_ToggleStats();
    for (int i = 0; i < 5; ++i) TenFrames(5);
    TenFrames(5);
    const std::string before = RenderStats_State().fpsLine;
    TenFrames(0);  // the timer did not move
    EXPECT_EQ(RenderStats_State().fpsLine, before);
    EXPECT_EQ(RenderStats_State().frames, 10);  // still counting
    TenFrames(5);  // 20 frames over 50 ms
    EXPECT_EQ(std::string(RenderStats_State().fpsLine).substr(0, 10), "FPS 400.00");
}

TEST_F(RenderStatsTest, SoftwareShowsTwoLinesAndHardwareFour) {
    Render_ToggleStats();
    TenFrames(5, 30);
    ASSERT_EQ(Texts().size(), 2u);
    EXPECT_EQ(Texts()[0].x, 220);
    EXPECT_EQ(Texts()[0].y, 10);
    EXPECT_EQ(Texts()[1].y, 8 + 14);
    EXPECT_EQ(Texts()[1].colour, 2);
    EXPECT_EQ(Texts()[1].text, "TerrPoly     0 TotalPoly    30 Snd Mem        0");
    GraphicD3DFlags = 1;
    const uint32_t flags = RenderFlags;
    RenderFlags = 0;
    TenFrames(5);
    ASSERT_EQ(Texts().size(), 4u);
    EXPECT_EQ(Texts()[2].y, 2 * 8 + 18);
    EXPECT_EQ(Texts()[3].y, 3 * 8 + 22);
    EXPECT_EQ(Texts()[2].text.rfind("Triangles ", 0), 0u);
    EXPECT_EQ(Texts()[3].text.rfind("Texture: mem=", 0), 0u);
    // Every value the texture line announces is there: the letters and the texture depth.
    EXPECT_EQ(Texts()[3].text.substr(Texts()[3].text.size() - 4), " am8");
    RenderFlags = kRenderAlpha | kRenderMipMaps | kRenderTexture16;
    TenFrames(5);
    EXPECT_EQ(Texts()[3].text.substr(Texts()[3].text.size() - 5), " AM16");
    RenderFlags = flags;
}

TEST_F(RenderStatsTest, TheDebugScreenTakesLinesOfEightyAndThePagesTheirRows) {
    const std::string text(200, 'x');
    DebugScreen_WriteLines(text.c_str());
    EXPECT_EQ(Row(22), std::string(80, 'x'));
    EXPECT_EQ(Row(23), std::string(80, 'x'));
    EXPECT_EQ(Row(24), std::string(40, 'x'));
    DebugScreen_WriteLines("next");
    EXPECT_EQ(Row(24), "next");
    EXPECT_EQ(Row(23), std::string(40, 'x'));

    // The camera page: its heading, and the followed object's position.
    DebugScreen_Reset();
    Seam_Render().renderStatsReset();
    Seam_Cockpit().cameraTargetPosition = [](float out[3]) {
        out[0] = 1.5f, out[1] = -2.25f, out[2] = 300.0f;
        return true;
    };
    DebugScreen_Show(RenderStats_State().cameraPage);
    Seam_Render().cameraTargetDisplay();
    EXPECT_EQ(Row(15), "Camera Target Position (meters)");
    EXPECT_EQ(Row(16), "  x         y        z");
    EXPECT_EQ(Row(17), "   1.50    -2.25   300.00");
    // The statistics page mirrors the polygon line on row 7.
    DebugScreen_Show(RenderStats_State().statsPage);
    Render_ToggleStats();
    TenFrames(5, 3);
    EXPECT_EQ(Row(7).rfind("TerrPoly", 0), 0u);
}

}  // namespace
