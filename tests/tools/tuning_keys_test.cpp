// The developer keys of the sample world's "gamekey.map" step the tuning list in a running
// mission: each frame the harness reads the line the list drew in the frame before.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/app_fixture.h"
#include "support/game_run.h"
#include "tools/debugvalues.h"

namespace {

class TuningKeys : public AppFixture {};

// One press of a function key with Control and Shift held, at frame n.
std::string Press(int frame, const char* key) {
    return std::to_string(frame) + " keydown " + key + "\n" + std::to_string(frame + 1) + " keyup " + key + "\n";
}

}  // namespace

TEST_F(TuningKeys, ControlShiftFunctionKeysStepRaiseAndLowerTheList) {
    GameRunOptions options;
    options.frames = 34;
    options.draw = GameRun_DrawEvery();  // the harness reads the line the list draws
    options.events = "3 keydown LeftControl\n3 keydown LeftShift\n" + Press(5, "F6") + Press(9, "F6") +
                     Press(13, "F7") + Press(17, "F8") + Press(21, "F8") + Press(25, "F7") +
                     "29 keyup LeftShift\n29 keyup LeftControl\n" + Press(30, "F6");
    static std::vector<std::string> shown;
    shown.clear();
    options.everyFrame = [](const GameRunFrame&) {
        shown.push_back(DebugText_LastLine());
        DebugText_ForgetLast();
    };
    const GameRunResult run = GameRun_Play(options);
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_TRUE(run.scriptError.empty()) << run.scriptError;
    ASSERT_GE(shown.size(), 33u);
    // Each reading is the line of the frame before; nothing before the first press.
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(shown[i], "");
    EXPECT_EQ(shown[8], "task dist 1 (8.000000)");
    EXPECT_EQ(shown[12], "task dist 2 (5.000000)");
    EXPECT_EQ(shown[16], "task dist 2 (6.000000)");
    EXPECT_EQ(shown[20], "task dist 2 (5.000000)");
    EXPECT_EQ(shown[24], "task dist 2 (4.000000)");
    EXPECT_EQ(shown[28], "task dist 2 (5.000000)");
    // F6 alone is not a developer key.
    EXPECT_EQ(shown.back(), "task dist 2 (5.000000)");
}
