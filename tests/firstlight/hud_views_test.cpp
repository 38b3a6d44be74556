// The sample mission seen through the cockpit without the cockpit drawn (F2) and without the
// display (F3): the same world, and the scrap and pilot counters only in the first.
#include <gtest/gtest.h>

#include "support/app_fixture.h"
#include "support/game_run.h"
#include "support/state_reset.h"

namespace {

class HudViews : public AppFixture {
protected:
    PlatFrame Shot(const char* key) {
        GameRunOptions options;
        options.frames = 30;
        options.events = std::string("5 keydown ") + key + "\n6 keyup " + key + "\n";
        const GameRunResult run = GameRun_Play(options);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.scriptError.empty()) << run.scriptError;
        return run.lastFrame;
    }
};

// The counters' corner: the panels from x 166, 40 wide, the scrap one from y 0 and the pilot one
// down to y 63.
constexpr int kLeft = 166, kRight = 205, kBottom = 63;

struct Corner {
    int differing = 0, blue = 0, green = 0;
};

TEST_F(HudViews, TheCountersStandTopLeftOnlyWhileTheDisplayIsShown) {
    const PlatFrame shown = Shot("F2");
    TearDown();
    ResetProgramStateForTest();
    SetUp();
    const PlatFrame hidden = Shot("F3");
    ASSERT_EQ(shown.width, hidden.width);
    ASSERT_EQ(shown.height, hidden.height);
    ASSERT_GT(shown.width, kRight);
    ASSERT_EQ(shown.rgb.size(), size_t(shown.width) * size_t(shown.height) * 3);

    auto at = [](const PlatFrame& f, int x, int y, int c) { return int(f.rgb[(size_t(y) * f.width + x) * 3 + c]); };
    // The counters' text and icons are the palette's pure blue and pure green.
    auto count = [&](const PlatFrame& f, Corner* corner) {
        for (int y = 0; y <= kBottom; ++y)
            for (int x = kLeft; x <= kRight; ++x) {
                const int r = at(f, x, y, 0), g = at(f, x, y, 1), b = at(f, x, y, 2);
                corner->blue += r < 40 && g < 40 && b > 215;
                corner->green += r < 40 && g > 215 && b < 40;
            }
    };
    Corner withDisplay, without;
    count(shown, &withDisplay);
    count(hidden, &without);
    for (int y = 0; y <= kBottom; ++y)
        for (int x = 0; x <= kRight; ++x) {
            bool same = true;
            for (int c = 0; c < 3; ++c) same = same && at(shown, x, y, c) == at(hidden, x, y, c);
            if (x < kLeft) {
                EXPECT_TRUE(same) << "left of the counters at " << x << "," << y;
                if (!same) return;
            } else {
                withDisplay.differing += !same;
            }
        }
    EXPECT_GT(withDisplay.differing, 500) << "the panels and their counts";
    EXPECT_GT(withDisplay.blue, 0) << "the scrap count";
    EXPECT_GT(withDisplay.green, 0) << "the pilot count";
    EXPECT_EQ(without.blue, 0);
    EXPECT_EQ(without.green, 0);
}

}  // namespace
