// The whole program on the sample mission: a held key reaches the player's craft through the
// input sinks and the user process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "ai/userprocess.h"
#include "core/app.h"
#include "core/seams/cockpit.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "interface/gamekeys.h"
#include "platform/input.h"
#include "platform/system.h"
#include "startup/startup.h"
#include "support/app_fixture.h"

namespace {

std::vector<float> g_throttle;
bool g_userProcess = false;

class GameLoopTest : public AppFixture {};

TEST_F(GameLoopTest, AHeldForwardKeyDrivesThePlayersThrottleTowardOne) {
    setenv("GRAVENHOLT_HEADLESS_FRAMES", "120", 1);
    Plat_Init(BackendKind::Headless);
    unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
    Startup_InstallAll();
    g_throttle.clear();
    g_userProcess = false;
    // Every frame: the player's throttle control as the frame found it.
    Seam_Cockpit().gameKeyProcess = [] {
        GameObject* user = GameObject_GetUser();
        Craft* craft = user ? Craft_FromEntity(user->entity) : nullptr;
        g_throttle.push_back(craft ? craft->controls.throttle : -2.0f);
        g_userProcess = g_userProcess || (user && dynamic_cast<UserProcess*>(user->aiProcess));
        GameKey_Process();
    };
    std::string error;
    ASSERT_TRUE(Plat_ParseEventScript("20 keydown Q\n", &error)) << error;  // "throttle_up"
    EXPECT_EQ(App_Main("sample.qmn"), 0);
    EXPECT_TRUE(Plat_EventScriptDone());
    EXPECT_TRUE(g_userProcess) << "the player's craft is driven by its user process";
    ASSERT_GT(g_throttle.size(), 60u);
    for (size_t i = 0; i < 15; ++i) EXPECT_LE(g_throttle[i], 0.0f) << i;
    // Once the key is held the throttle climbs toward 1 and never passes it.
    const float last = g_throttle.back();
    EXPECT_GT(last, 0.1f);
    EXPECT_LE(last, 1.0f);
    for (size_t i = 30; i < g_throttle.size(); ++i) EXPECT_GE(g_throttle[i], g_throttle[i - 1]) << i;
}

}  // namespace
