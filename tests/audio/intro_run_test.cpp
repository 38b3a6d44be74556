// The intro in a whole headless run: its frames count toward the frame limit and the event
// script, so a script's Escape cuts it short and a limit that falls inside it still ends the run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/app.h"
#include "core/seams/cockpit.h"
#include "interface/gamekeys.h"
#include "platform/input.h"
#include "platform/system.h"
#include "startup/startup.h"
#include "support/app_fixture.h"
#include "support/game_run.h"

namespace {

int g_gameFrames = 0;

class IntroRunTest : public AppFixture {};

TEST_F(IntroRunTest, AScriptsEscapeCutsTheIntroShortAndALimitInsideItStillEndsTheRun) {
    const struct {
        const char* script;
        const char* frames;
        int minGameFrames, maxGameFrames;
    } cases[] = {
        // The 60-frame intro runs past the limit of 10: the run ends at once after it.
        {"", "10", 0, 2},
        // Escape at the intro's third frame: the game has the rest of the 40.
        {"3 keydown Esc\n4 keyup Esc\n", "40", 30, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frames);
        setenv("GRAVENHOLT_HEADLESS_FRAMES", c.frames, 1);
        Plat_Init(BackendKind::Headless);
        unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
        Startup_InstallAll();
        GameRun_DrawNothing();
        g_gameFrames = 0;
        Seam_Cockpit().gameKeyProcess = [] {
            ++g_gameFrames;
            GameKey_Process();
        };
        std::string error;
        ASSERT_TRUE(Plat_ParseEventScript(c.script, &error)) << error;
        EXPECT_EQ(App_Main("sample.qmn"), 0);
        EXPECT_GE(g_gameFrames, c.minGameFrames);
        EXPECT_LE(g_gameFrames, c.maxGameFrames);
        Plat_Shutdown();
    }
}

}  // namespace
