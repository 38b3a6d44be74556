#include <gtest/gtest.h>

#include <string>

#include "core/simtick.h"
#include "fun3d/proginput.h"
#include "tools/debugvalues.h"
#include "tools/tuninglist.h"
#include "tools_fixture.h"

using namespace tools_test;

namespace {

class TuningListTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        list_ = TuningList_Instance();
    }
    // What the list draws this frame: the line it prints at (100, 40); empty when nothing.
    std::string Shown() {
        Clear();
        DebugText_ForgetLast();
        Hud_Context().textY = 0;
        list_->Draw();
        if (Hud_Context().textY == 0) return "";
        EXPECT_EQ(Hud_Context().textY, 40 + kFontHeight + 2);
        EXPECT_EQ(At(100, 40), kWhite);
        return DebugText_LastLine();
    }
    // The rate the tick item shows, "ticksPerSec(%f)"; -1 for another line.
    float ShownRate() {
        const std::string line = Shown();
        if (line.rfind("ticksPerSec(", 0) != 0 || line.back() != ')') return -1.0f;
        return std::stof(line.substr(12, line.size() - 13));
    }
    TuningList* list_ = nullptr;
};

}  // namespace

TEST_F(TuningListTest, NextWalksTheParametersThenTheTickRateThenLeaves) {
    EXPECT_EQ(TuningHook_Current(), list_);
    EXPECT_EQ(Shown(), "");  // nothing current at the start
    const char* names[kTuningParameterCount] = {
        "task dist 1",    "task dist 2",    "task speed 1",  "task angle 1",        "task time 1",
        "task control 1", "task control 2", "task factor 1", "task factor 2",       "task braccel factor",
        "task steer factor", "task strafe factor", "task pitch factor"};
    for (int round = 0; round < 2; ++round) {
        for (int press = 0; press < kTuningParameterCount; ++press) {
            TuningHook_Next();  // the game key's way in
            SCOPED_TRACE(press);
            EXPECT_EQ(Shown(), std::string(names[press]) + " (" + std::to_string(TuningParameter_Value(press)) + ")");
        }
        TuningHook_Next();  // the fourteenth: the tick rate
        EXPECT_NEAR(ShownRate(), 30.0f, 1e-5f);
        TuningHook_Next();  // the fifteenth leaves the list
        EXPECT_EQ(list_->Current(), nullptr);
        EXPECT_EQ(Shown(), "");
        // The sixteenth starts again at "task dist 1".
    }
}

TEST_F(TuningListTest, RaisingAndLoweringClampToTheParameterRange) {
    TuningList_Increase();  // nothing current: nothing changes
    EXPECT_EQ(TuningParameter_Value(0), 8.0f);
    TuningList_Next();
    *TuningParameters()[0].value = 98.0f;
    TuningHook_Increase();
    EXPECT_EQ(TuningParameter_Value(0), 100.0f);  // not 103
    EXPECT_EQ(Shown(), "task dist 1 (100.000000)");
    TuningHook_Increase();
    EXPECT_EQ(TuningParameter_Value(0), 100.0f);
    *TuningParameters()[0].value = 3.0f;
    TuningHook_Decrease();
    EXPECT_EQ(TuningParameter_Value(0), 0.0f);
    // The others are untouched.
    EXPECT_EQ(TuningParameter_Value(1), 5.0f);
    EXPECT_EQ(TuningParameter_Value(10), -1.0f);
    // "task speed 1" steps by 5 up to 30.
    TuningList_Next();
    TuningList_Next();
    for (int i = 0; i < 7; ++i) TuningList_Increase();
    EXPECT_EQ(TuningParameter_Value(2), 30.0f);
}

TEST_F(TuningListTest, TickRateStepsByTenAndStopsAboveTen) {
    for (int i = 0; i < 14; ++i) TuningList_Next();
    auto rate = [] { return 1.0f / Sim_TickPeriod; };
    EXPECT_FLOAT_EQ(rate(), 30.0f);
    TuningList_Increase();
    EXPECT_FLOAT_EQ(rate(), 40.0f);
    EXPECT_NEAR(ShownRate(), 40.0f, 1e-5f);
    TuningList_Increase();
    EXPECT_FLOAT_EQ(rate(), 50.0f);
    const float periods[] = {1.0f / 40.0f, 1.0f / 30.0f, 1.0f / 20.0f};
    for (float period : periods) {
        TuningList_Decrease();
        EXPECT_FLOAT_EQ(Sim_TickPeriod, period);
    }
    // From 20, a step down would leave 10 ticks a second: refused, as every one after it.
    TuningList_Decrease();
    TuningList_Decrease();
    EXPECT_FLOAT_EQ(rate(), 20.0f);
    EXPECT_NEAR(ShownRate(), 20.0f, 1e-5f);
    EXPECT_GT(Sim_TickPeriod, 0.0f);
    // Also from a rate between 10 and 20.
    Sim_TickPeriod = 1.0f / 15.0f;
    TuningList_Decrease();
    EXPECT_FLOAT_EQ(rate(), 15.0f);
}

TEST_F(TuningListTest, TheCurrentLineIsWhiteOnBlackAt100By40) {
    TuningList_Next();
    Clear();
    Hud_Context().textY = 0;
    list_->Draw();
    // "task dist 1 (8.000000)": 22 glyphs over a black fill from (100, 40).
    EXPECT_EQ(At(100, 40), kWhite);
    EXPECT_EQ(At(99, 40), 0);
    EXPECT_EQ(At(100, 39), 0);
    EXPECT_EQ(At(100 + 22 * kGlyphWidth - 1, 40 + kFontHeight - 1), kWhite);
    EXPECT_EQ(Count(kWhite), 22 * kGlyphWidth * kFontHeight);
    EXPECT_EQ(Hud_Context().textY, 40 + kFontHeight + 2);
    // The list stands in layers 0 and 9.
    EXPECT_EQ(HudElement_CountInDraw(list_, 0), 1);
    EXPECT_EQ(HudElement_CountInDraw(list_, 9), 1);
    EXPECT_EQ(HudElement_CountInDraw(list_, 1), 0);
}
