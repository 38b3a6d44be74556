// The sample mission played end to end through the real game loop, headless, with input fed in
// at the platform layer.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/app_fixture.h"
#include "support/game_run.h"
#include "support/state_reset.h"

namespace {

class FirstLight : public AppFixture {};

// Same seed, same script, same clock: the same frames, byte for byte.
TEST_F(FirstLight, TwoRunsOfOneScriptPresentTheSameFrames) {
    GameRunOptions options;
    options.frames = 40;
    options.events = "5 keydown W\n25 keyup W\n10 keydown LeftArrow\n20 keyup LeftArrow\n";
    const GameRunResult first = GameRun_Play(options, true);
    ASSERT_EQ(first.exitCode, 0);
    ASSERT_TRUE(first.scriptError.empty()) << first.scriptError;
    TearDown();
    ResetProgramStateForTest();
    SetUp();
    const GameRunResult second = GameRun_Play(options, true);
    ASSERT_EQ(second.exitCode, 0);
    ASSERT_GE(first.presented.size(), 30u);
    ASSERT_EQ(first.presented.size(), second.presented.size());
    for (size_t i = 0; i < first.presented.size(); ++i)
        ASSERT_TRUE(first.presented[i] == second.presented[i]) << "frame " << i << " differs";
    ASSERT_FALSE(first.frames.empty());
    // Every frame the game played took 1/30 s of game time, and the tank was there throughout.
    size_t played = 0;
    for (size_t i = 1; i < first.frames.size(); ++i) {
        if (!first.frames[i - 1].hasUser) continue;
        ++played;
        EXPECT_TRUE(first.frames[i].hasUser) << i;
        EXPECT_NEAR(first.frames[i].time - first.frames[i - 1].time, 0.033, 1e-4) << i;
    }
    EXPECT_GE(played, 35u);
}

// Pause stops the simulation (game time and the tank stand still) and the paused screen is shown
// over the last view; a second Pause lets the game go on.
TEST_F(FirstLight, PauseStopsTheSimulationAndShowsThePausedScreen) {
    GameRunOptions options;
    options.frames = 50;
    options.events = "15 keydown Pause\n16 keyup Pause\n35 keydown Pause\n36 keyup Pause\n";
    const GameRunResult run = GameRun_Play(options, true);
    ASSERT_EQ(run.exitCode, 0);
    size_t firstPaused = 0, lastPaused = 0;
    for (size_t i = 0; i < run.frames.size(); ++i)
        if (run.frames[i].screenMode == 2) {
            if (!firstPaused) firstPaused = i;
            lastPaused = i;
        }
    ASSERT_GT(firstPaused, 0u);
    EXPECT_GE(lastPaused - firstPaused, 15u);
    for (size_t i = firstPaused + 1; i <= lastPaused; ++i) {
        EXPECT_FLOAT_EQ(run.frames[i].time, run.frames[firstPaused].time) << i;
        EXPECT_EQ(run.frames[i].position.y, run.frames[firstPaused].position.y) << i;
    }
    ASSERT_LT(lastPaused + 5, run.frames.size());
    EXPECT_GT(run.frames.back().time, run.frames[lastPaused].time + 0.1f) << "the game went on";

    // The paused screen: a frame that differs from the one before it only around the banner in
    // the middle of the screen.
    const int w = run.lastFrame.width, h = run.lastFrame.height;
    ASSERT_GT(w * h, 0);
    bool banner = false;
    for (size_t k = 1; k < run.presented.size() && !banner; ++k) {
        const auto& before = run.presented[k - 1];
        const auto& after = run.presented[k];
        if (before.size() != after.size() || before == after) continue;
        bool insideOnly = true;
        for (int y = 0; y < h && insideOnly; ++y)
            for (int x = 0; x < w; ++x) {
                const size_t at = (size_t(y) * w + x) * 3;
                if (before[at] == after[at] && before[at + 1] == after[at + 1] && before[at + 2] == after[at + 2]) continue;
                if (std::abs(x - w / 2) > 110 || std::abs(y - h / 2) > 16) {
                    insideOnly = false;
                    break;
                }
            }
        banner = insideOnly;
    }
    EXPECT_TRUE(banner) << "no frame showed the paused banner over the view";
}

}  // namespace
