// The sample mission seen through the cockpit without the cockpit drawn (F2) and without the
// display (F3): the same world, and the scrap and pilot counters only in the first. The render
// settings' "HUD" key turns the display off for the whole mission.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/app_fixture.h"
#include "support/game_run.h"
#include "support/state_reset.h"

namespace {

// The counters' corner: the panels from x 166, 40 wide, the scrap one from y 0 and the pilot one
// down to y 63.
constexpr int kLeft = 166, kRight = 205, kBottom = 63;

int At(const PlatFrame& f, int x, int y, int c) { return int(f.rgb[(size_t(y) * size_t(f.width) + size_t(x)) * 3 + size_t(c)]); }

// The counters' text and icons are the palette's pure blue and pure green.
void CountCounterColours(const PlatFrame& f, int* blue, int* green) {
    *blue = *green = 0;
    for (int y = 0; y <= kBottom; ++y)
        for (int x = kLeft; x <= kRight; ++x) {
            const int r = At(f, x, y, 0), g = At(f, x, y, 1), b = At(f, x, y, 2);
            *blue += r < 40 && g < 40 && b > 215;
            *green += r < 40 && g > 215 && b < 40;
        }
}

// The same picture left of the counters, another one where they stand, and their colours only
// in the first.
void CompareCorners(const PlatFrame& shown, const PlatFrame& hidden) {
    ASSERT_EQ(shown.width, hidden.width);
    ASSERT_EQ(shown.height, hidden.height);
    ASSERT_GT(shown.width, kRight);
    ASSERT_EQ(shown.rgb.size(), size_t(shown.width) * size_t(shown.height) * 3);
    int differing = 0;
    for (int y = 0; y <= kBottom; ++y)
        for (int x = 0; x <= kRight; ++x) {
            bool same = true;
            for (int c = 0; c < 3; ++c) same = same && At(shown, x, y, c) == At(hidden, x, y, c);
            if (x >= kLeft) {
                differing += !same;
            } else if (!same) {
                ADD_FAILURE() << "left of the counters at " << x << "," << y;
                return;
            }
        }
    EXPECT_GT(differing, 500) << "the panels and their counts";
    int blue = 0, green = 0;
    CountCounterColours(shown, &blue, &green);
    EXPECT_GT(blue, 0) << "the scrap count";
    EXPECT_GT(green, 0) << "the pilot count";
    CountCounterColours(hidden, &blue, &green);
    EXPECT_EQ(blue, 0);
    EXPECT_EQ(green, 0);
}

class HudViews : public AppFixture {
protected:
    // The last frame of a short run, after one press of the key (none: the cockpit view).
    PlatFrame Shot(const char* key) {
        GameRunOptions options;
        options.frames = 30;
        if (key) options.events = std::string("5 keydown ") + key + "\n6 keyup " + key + "\n";
        options.draw = GameRun_DrawLast(options.frames);
        const GameRunResult run = GameRun_Play(options);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.scriptError.empty()) << run.scriptError;
        return run.lastFrame;
    }
    void Again() {
        TearDown();
        ResetProgramStateForTest();
        SetUp();
    }
};

TEST_F(HudViews, TheCountersStandTopLeftOnlyInTheViewWithTheDisplay) {
    const PlatFrame shown = Shot("F2");
    Again();
    const PlatFrame hidden = Shot("F3");
    CompareCorners(shown, hidden);
}

// The mission start sets the camera's mode, and with it the camera's display flag; the render
// file's key still holds.
TEST_F(HudViews, TheRenderSettingsCanTurnTheDisplayOffForTheMission) {
    const PlatFrame shown = Shot(nullptr);
    Again();
    std::ofstream(profileDir + "/render.cfg") << "[Debug]\nHUD = 0\n";
    const PlatFrame hidden = Shot(nullptr);
    CompareCorners(shown, hidden);
}

}  // namespace
