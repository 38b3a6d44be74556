#include "core/clock.h"

#include <gtest/gtest.h>

#include "core/seams/net.h"
#include "platform/clock.h"

namespace {

bool g_network = false;

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Seam_Net();
        g_network = false;
        Seam_Net().isNetworkGame = [] { return g_network; };
        Plat_UseVirtualClock(100000);
        Clock_Init();
    }
    void TearDown() override {
        g_network = false;
        Clock_Shutdown();
        Plat_UseRealClock();
        Seam_Net() = saved_;
    }
    NetSeam saved_;
};

TEST_F(ClockTest, InitTicksOnceAndWaitsForTheTimerToMove) {
    // The reset's tick cannot see the same millisecond twice: it sleeps 1 ms.
    EXPECT_EQ(Clock_GetFrameCount(), 1u);
    EXPECT_EQ(Clock_GetTimeMs(), 1u);
    EXPECT_EQ(Plat_VirtualSleepTotal(), 1u);
    Clock_Tick();
    EXPECT_EQ(Clock_GetTimeMs(), 2u);
    EXPECT_EQ(Clock_GetFrameStepMs(), 1u);
}

TEST_F(ClockTest, StallMovesGameTimeFullyButSmoothedTimeOnlyHalfwayToTheCap) {
    for (int i = 0; i < 50; ++i) {
        Plat_AdvanceVirtualClock(20);
        Clock_Tick();
    }
    const uint32_t before = Clock_GetTimeMs();
    const float smoothedBefore = Clock_GetFrameTime();
    EXPECT_NEAR(smoothedBefore, 0.020f, 1e-5f);

    Plat_AdvanceVirtualClock(1000);
    Clock_Tick();
    EXPECT_EQ(Clock_GetTimeMs(), before + 1000);
    EXPECT_NEAR(Clock_GetFrameTime(), (0.2f + smoothedBefore) / 2.0f, 1e-6f);
    EXPECT_FLOAT_EQ(Clock_GetTimeStep(), Clock_GetFrameTime());
    EXPECT_NEAR(Clock_GetFrameRate(), 1.0f / Clock_GetFrameTime(), 1e-3f);
    EXPECT_NEAR(Clock_GetTime(), Clock_GetTimeMs() * 0.001f, 1e-4f);
    // Elapsed counts the uncapped step.
    EXPECT_EQ(Clock_GetElapsedMs(), before + 1000);
}

TEST_F(ClockTest, PausedTimeStandsStillWhileFramesCount) {
    Plat_AdvanceVirtualClock(30);
    Clock_Tick();
    const uint32_t game = Clock_GetTimeMs();
    const uint32_t elapsed = Clock_GetElapsedMs();
    Plat_AdvanceVirtualClock(5);
    Clock_Pause();  // 5 ms after the last tick
    const uint32_t frames = Clock_GetFrameCount();
    for (int i = 0; i < 10; ++i) {
        Plat_AdvanceVirtualClock(100);
        Clock_Tick();
    }
    EXPECT_EQ(Clock_GetTimeMs(), game);
    EXPECT_EQ(Clock_GetElapsedMs(), elapsed);
    EXPECT_EQ(Clock_GetFrameCount(), frames + 10);
    EXPECT_LT(Clock_GetFrameTime(), 0.0001f);  // steps of 0 halve the smoothed time each frame

    Clock_Resume();
    Plat_AdvanceVirtualClock(7);
    Clock_Tick();
    // Only the 5 ms before the pause and the 7 ms after the resume count.
    EXPECT_EQ(Clock_GetTimeMs(), game + 12);
}

TEST_F(ClockTest, PauseTwiceKeepsTheFirstOffset) {
    Plat_AdvanceVirtualClock(3);
    Clock_Pause();
    Plat_AdvanceVirtualClock(50);
    Clock_Pause();
    Clock_Resume();
    Clock_Tick();
    EXPECT_EQ(Clock_GetFrameStepMs(), 3u);  // the 50 ms after the first pause do not count
}

TEST_F(ClockTest, NetworkGameFollowsTheCorrectedPlatformTime) {
    g_network = true;
    struct Case {
        bool sign;
        uint32_t offset;
    };
    for (const Case& c : {Case{true, 250}, Case{false, 250}, Case{false, 0}}) {
        const uint32_t base = Plat_Milliseconds() - 1000;
        Clock_SetNetOffset(c.sign, c.offset, base);
        EXPECT_EQ(Clock_GetNetBase(), base);
        const uint32_t now = Plat_Milliseconds();
        EXPECT_EQ(Clock_GetNetTime(), c.sign ? now + c.offset : now - c.offset);
        Plat_AdvanceVirtualClock(15);
        Clock_Tick();
        const uint32_t after = Plat_Milliseconds();
        EXPECT_EQ(Clock_GetTimeMs(), c.sign ? after + c.offset - base : after - (base + c.offset));
    }
}

TEST_F(ClockTest, NetworkPacingSleepsTheRestOfTenMsAndNeverWhenLate) {
    g_network = true;
    Clock_Tick();  // last tick now
    uint32_t slept = Plat_VirtualSleepTotal();
    Plat_AdvanceVirtualClock(4);
    Clock_Tick();
    EXPECT_EQ(Plat_VirtualSleepTotal() - slept, 6u);

    slept = Plat_VirtualSleepTotal();
    Plat_AdvanceVirtualClock(500);  // a late tick: the difference is negative, nothing is slept
    Clock_Tick();
    EXPECT_EQ(Plat_VirtualSleepTotal(), slept);
    EXPECT_EQ(Clock_GetFrameStepMs(), 500u);
}

TEST_F(ClockTest, PauseDoesNothingInANetworkGame) {
    g_network = true;
    Clock_Pause();
    EXPECT_FALSE(Clock_IsPaused());
    const uint32_t elapsed = Clock_GetElapsedMs();
    Plat_AdvanceVirtualClock(40);
    Clock_Tick();
    EXPECT_EQ(Clock_GetElapsedMs(), elapsed + 40);
}

TEST_F(ClockTest, SetTimeRestartsFromTheGivenSeconds) {
    Clock_SetTime(12.5f);
    EXPECT_EQ(Clock_GetTimeMs(), 12501u);  // plus the reset's own 1 ms tick
    Clock_SetTime(-3.0f);                  // nonsense from a file does not wrap around
    EXPECT_EQ(Clock_GetTimeMs(), 1u);
}

}  // namespace
