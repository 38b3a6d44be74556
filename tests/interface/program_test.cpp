// The whole program, headless, with the cockpit's devices installed: a scripted player types,
// leaves and comes back, and the force-feedback stick follows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/seams/shell.h"
#include "core/inputsinks.h"
#include "core/seams/cockpit.h"
#include "interface/gamekeys.h"
#include "interface/inputdevices.h"
#include "platform/input.h"
#include "platform/system.h"
#include "platform/paths.h"
#include "render/graphicdriver.h"
#include "render/picture.h"
#include "shell/screenmode.h"
#include "support/app_fixture.h"

namespace {

// The key events the game keys took, frame by frame.
std::vector<uint16_t> g_events;
std::vector<uint8_t> g_fire;

class ProgramInputTest : public AppFixture {
protected:
    void WatchGameKeys() {
        g_events.clear();
        g_fire.clear();
        Seam_Cockpit().gameKeyProcess = [] {
            if (InputKeyEvent) g_events.push_back(InputKeyEvent);
            g_fire.push_back(InputSink.weapon_fire);
            GameKey_Process();
        };
    }
};

TEST_F(ProgramInputTest, ScriptedKeysReachTheKeyboardAndForcesFollowTheFocus) {
    setenv("GRAVENHOLT_HEADLESS_FRAMES", "40", 1);
    Plat_Init(BackendKind::Headless);  // takes the frame limit
    unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
    Render_InstallSeam();
    Interface_InstallSeam();
    WatchGameKeys();
    std::string error;
    ASSERT_TRUE(Plat_ParseEventScript("12 keydown LeftShift\n"
                                      "12 keydown S\n"
                                      "13 keyup S\n"
                                      "13 keyup LeftShift\n"
                                      "20 focus lost\n"
                                      "25 focus gained\n",
                                      &error))
        << error;
    PlatJoyCaps caps;
    caps.buttons = 4;
    Plat_ScriptJoyConnect(1, caps, true);  // port 2

    EXPECT_EQ(App_Main("-nointro -SW -forcefeed"), 0);

    EXPECT_TRUE(Plat_EventScriptDone());
    EXPECT_NE(std::find(g_events.begin(), g_events.end(), 0x0273), g_events.end()) << "Shift+S typed in the game";
    const std::vector<std::string>& log = Plat_DeviceCallLog();
    auto at = [&](const std::string& line, size_t from) {
        return static_cast<size_t>(std::find(log.begin() + std::min(from, log.size()), log.end(), line) - log.begin());
    };
    const size_t found = at("_InitStick 1", 0);
    const size_t disabled = at("_DisableForces", found);
    const size_t enabled = at("_EnableForces", disabled);
    const size_t closed = at("FreeLibrary iforce.dll", enabled);
    EXPECT_LT(found, log.size());
    EXPECT_LT(disabled, log.size()) << "the focus went away";
    EXPECT_LT(enabled, log.size()) << "and came back";
    EXPECT_LT(closed, log.size()) << "closed at the end";
    EXPECT_FALSE(ForceFeedback_IsActive());
}

TEST_F(ProgramInputTest, KeysAndButtonsReachTheGameAndF11WritesAScreenshot) {
    setenv("GRAVENHOLT_HEADLESS_FRAMES", "60", 1);
    Plat_Init(BackendKind::Headless);
    unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
    Render_InstallSeam();
    Interface_InstallSeam();
    Shell_InstallScreenModes();
    WatchGameKeys();
    std::string error;
    ASSERT_TRUE(Plat_ParseEventScript("20 keydown Insert\n"
                                      "23 keyup Insert\n"
                                      "30 keydown F11\n"
                                      "31 keyup F11\n",
                                      &error))
        << error;
    // The mission named on the command line, as a player starts it without the shell.
    EXPECT_EQ(App_Main("sample.qmn"), 0);
    EXPECT_TRUE(Plat_EventScriptDone());
    EXPECT_NE(std::find(g_events.begin(), g_events.end(), 187), g_events.end()) << "F11 reached the game keys";
    EXPECT_NE(std::find(g_fire.begin(), g_fire.end(), 1), g_fire.end()) << "Insert held weapon_fire";
    EXPECT_EQ(g_fire.back(), 0);

    const std::string shot = Plat_ProfilePath("SCR0000.pcx");
    uint8_t palette[kPicturePaletteSize];
    ASSERT_EQ(Picture_CheckFile(shot.c_str(), palette), 1) << shot;
    uint8_t* image = Picture_Read(shot.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image[0] | image[1] << 8, g_graphicDriver.screen.width);
    delete[] image;
    EXPECT_FALSE(Plat_FileExists(Plat_ProfilePath("SCR0001.pcx")));
}

TEST_F(ProgramInputTest, ThePauseKeyPausesAndResumesTheMission) {
    setenv("GRAVENHOLT_HEADLESS_FRAMES", "60", 1);
    Plat_Init(BackendKind::Headless);
    unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
    Render_InstallSeam();
    Interface_InstallSeam();
    Shell_InstallScreenModes();
    WatchGameKeys();
    static int pausedFrames;
    pausedFrames = 0;
    Seam_Shell().refreshScreenState = [] {
        if (App_Globals().screenMode == 2) ++pausedFrames;
        Screen_HandleModeKeys();
    };
    std::string error;
    ASSERT_TRUE(Plat_ParseEventScript("25 keydown Pause\n"
                                      "26 keyup Pause\n"
                                      "35 keydown Pause\n"
                                      "36 keyup Pause\n",
                                      &error))
        << error;
    EXPECT_EQ(App_Main("sample.qmn"), 0);
    EXPECT_TRUE(Plat_EventScriptDone());
    EXPECT_NE(std::find(g_events.begin(), g_events.end(), 511), g_events.end()) << "the pause game key";
    EXPECT_GE(pausedFrames, 5) << "paused frames ran the screen-mode keys";
    EXPECT_LE(pausedFrames, 12);
    EXPECT_GT(g_fire.size(), 30u) << "the game ran again after the pause";
}

}  // namespace
