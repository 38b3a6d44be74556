// The whole program, headless, with the cockpit's devices installed: a scripted player types,
// leaves and comes back, and the force-feedback stick follows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/app.h"
#include "interface/inputdevices.h"
#include "platform/input.h"
#include "platform/system.h"
#include "render/graphicdriver.h"
#include "support/app_fixture.h"

namespace {

class ProgramInputTest : public AppFixture {};

TEST_F(ProgramInputTest, ScriptedKeysReachTheKeyboardAndForcesFollowTheFocus) {
    setenv("GRAVENHOLT_HEADLESS_FRAMES", "40", 1);
    Plat_Init(BackendKind::Headless);  // takes the frame limit
    unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
    Render_InstallSeam();
    Interface_InstallSeam();
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
    std::vector<uint16_t> typed;
    for (uint16_t code = 0; KeyboardDevice.nextKey(&code), code != 0;) typed.push_back(code);
    EXPECT_NE(std::find(typed.begin(), typed.end(), 0x0273), typed.end()) << "Shift+S typed in the game";
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

}  // namespace
