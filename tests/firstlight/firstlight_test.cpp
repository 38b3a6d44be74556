// The sample mission played end to end through the real game loop, headless, with input fed in
// at the platform layer.
#include <gtest/gtest.h>

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

}  // namespace
