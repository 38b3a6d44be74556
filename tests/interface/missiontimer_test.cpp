// The mission timer's count-up start, its stop and the script calls: what runs, what shows,
// where a countdown ends.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "interface/hudbasic.h"
#include "interface/missiontimer.h"

namespace {

class MissionTimerCallsTest : public ::testing::Test {
protected:
    void SetUp() override {
        timer_.Init();
        timer_.End();
    }
    void TearDown() override { timer_.End(); }
    // Whole frames of 0.25 s for the given seconds.
    void Run(float seconds) {
        for (int i = 0; i < static_cast<int>(seconds * 4 + 0.5f); ++i) timer_.Update(0.25f);
    }
    MissionTimer& timer_ = MissionTimer_Instance();
};

TEST_F(MissionTimerCallsTest, InitCountUpAloneRunsInvisible) {
    MissionTimer_InitCountUp(timer_, 5, 60, 120);
    EXPECT_EQ(timer_.show, 0);
    EXPECT_EQ(HudElement_CountInDraw(&timer_, 0), 0);
    Run(1.0f);
    EXPECT_EQ(MissionTimer_GetTime(), 5);  // the start value shows for one whole second
    Run(3.0f);
    EXPECT_EQ(MissionTimer_GetTime(), 8);
    EXPECT_EQ(timer_.active, 1);
    EXPECT_EQ(timer_.ColourSet(), 0);  // below warn while counting up
}

TEST_F(MissionTimerCallsTest, ACountdownStopsOnZeroAndStaysShownInTheColourOfZero) {
    MissionTimer_Start(3, 2, 1);
    Run(3.0f);
    EXPECT_EQ(timer_.timer, 1);
    Run(1.0f);
    EXPECT_EQ(timer_.timer, 0);
    EXPECT_EQ(timer_.active, 0);
    Run(10.0f);
    EXPECT_EQ(timer_.timer, 0);
    EXPECT_EQ(timer_.show, 1);
    int digits[4];
    timer_.Digits(digits);
    EXPECT_EQ(std::vector<int>(digits, digits + 4), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(timer_.ColourSet(), 2);  // 0 is at or below the alert threshold
}

TEST_F(MissionTimerCallsTest, ACountdownStartedAtZeroOrBelowNeverStops) {
    for (int start : {0, -3}) {
        MissionTimer_Start(start, INT_MIN, INT_MIN);
        Run(5.0f);
        EXPECT_EQ(timer_.active, 1) << start;
        EXPECT_EQ(timer_.timer, start - 4) << start;
    }
}

TEST_F(MissionTimerCallsTest, StateTableOfActiveAndShow) {
    struct Step {
        const char* event;
        void (*apply)(MissionTimer&);
        uint8_t active, show;
    };
    const Step steps[] = {
        {"init count up", [](MissionTimer& t) { MissionTimer_InitCountUp(t, 0, 0, 0); }, 1, 0},
        {"show", [](MissionTimer&) { MissionTimer_Show(); }, 1, 1},
        {"stop", [](MissionTimer& t) { MissionTimer_Stop(t); }, 0, 1},
        {"start count up", [](MissionTimer&) { MissionTimer_StartCountUp(10, 0, 0); }, 1, 1},
        {"hide", [](MissionTimer&) { MissionTimer_Hide(); }, 1, 0},
        {"script stop", [](MissionTimer&) { MissionTimer_Stop(); }, 0, 0},
        {"start", [](MissionTimer&) { MissionTimer_Start(10, 0, 0); }, 1, 1},
        {"end", [](MissionTimer& t) { t.End(); }, 0, 0},
        {"start count up again", [](MissionTimer&) { MissionTimer_StartCountUp(1, 0, 0); }, 1, 1},
    };
    for (const Step& s : steps) {
        s.apply(timer_);
        EXPECT_EQ(timer_.active, s.active) << s.event;
        EXPECT_EQ(timer_.show, s.show) << s.event;
        EXPECT_EQ(HudElement_CountInDraw(&timer_, 0), s.show) << s.event;
    }
    // A stopped timer keeps its time.
    Run(2.0f);
    MissionTimer_Stop();
    const int32_t kept = MissionTimer_GetTime();
    Run(5.0f);
    EXPECT_EQ(MissionTimer_GetTime(), kept);
    EXPECT_EQ(timer_.countdown, 0);
}

}  // namespace
