// The whole program on the sample mission: a held key reaches the player's craft through the
// input sinks and the user process, and the units find their enemies from the first frame after
// a load.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Terrain/terrheight.h"
#include "ai/unitprocess.h"
#include "ai/userprocess.h"
#include "core/app.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/savegame.h"
#include "core/seams/cockpit.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "interface/gamekeys.h"
#include "platform/input.h"
#include "platform/system.h"
#include "startup/startup.h"
#include "mission_writer.h"
#include "support/app_fixture.h"
#include "support/game_run.h"
#include "support/state_reset.h"

namespace {

std::vector<float> g_throttle;
bool g_userProcess = false;

class GameLoopTest : public AppFixture {};

TEST_F(GameLoopTest, AHeldForwardKeyDrivesThePlayersThrottleTowardOne) {
    setenv("GRAVENHOLT_HEADLESS_FRAMES", "120", 1);
    Plat_Init(BackendKind::Headless);
    unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
    Startup_InstallAll();
    GameRun_DrawNothing();
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
    // The intro's frames would count toward the limit and the script: left out.
    EXPECT_EQ(App_Main("-nointro sample.qmn"), 0);
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

// The sample mission with the player's craft moved 100 m west of the enemy scout (well inside
// its engage range), written to the profile as a mission file or as a saved game. Returns the
// command-line path of the file.
std::string WriteScoutMeetsPlayer(const std::string& profileDir, bool mission) {
    content::HeadlessWorld world(profileDir + "/data", profileDir);
    EXPECT_TRUE(world.Ready());
    world.Reset();
    EXPECT_TRUE(SaveGame_Load("sample.qmn"));
    GameObject* scout = nullptr;
    for (GameObject* object : GameObject_List()) {
        char name[kClassNameSize + 1] = {};
        object->objClass->GetDefName(name);
        if (std::strcmp(name, "avscout") == 0) scout = object;
    }
    GameObject* user = GameObject_GetUser();
    EXPECT_TRUE(scout && user);
    if (!scout || !user) return {};
    Matrix m = user->entity->local;
    const DVector at = scout->entity->local.posit;
    m.posit = DVector{at.x - 100.0, Terrain_GetHeight(float(at.x - 100.0), float(at.z)) + 1.0, at.z};
    user->SetMatrix(m);
    const std::string name = mission ? "near.qmn" : "near.sav";
    std::filesystem::create_directories(profileDir + "/save");
    SaveGame_SetMissionFile(mission);
    Field_SetBinary(false);
    EXPECT_TRUE(SaveGame_Write((profileDir + "/save/" + name).c_str(), mission ? 0 : 1));
    SaveGame_SetMissionFile(false);
    return "save\\" + name;
}

// A scout looks for enemies in the shared object grid, which the frame fills after the mission
// tick: the load itself must leave the grid filled, or the scout's first search right after a
// load finds nothing and it waits 7 to 10 s before it looks again.
TEST_F(GameLoopTest, AScoutFindsTheEnemyBesideItOnItsFirstSearchAfterALoad) {
    for (bool mission : {true, false}) {
        SCOPED_TRACE(mission ? "mission file" : "saved game");
        if (!mission) {
            TearDown();
            ResetProgramStateForTest();
            SetUp();
        }
        const std::string path = WriteScoutMeetsPlayer(profileDir, mission);
        ASSERT_FALSE(path.empty());
        GameRunOptions options;
        options.commandLine = "-nointro " + path;
        options.frames = 30;
        options.keepObjects = true;
        bool searchedInVain = false;
        uint32_t scoutTarget = 0, user = 0;
        options.everyFrame = [&](const GameRunFrame&) {
            for (GameObject* object : GameObject_List()) {
                auto* process = dynamic_cast<CraftProcess*>(object->aiProcess);
                if (!process || !process->GetFactory() ||
                    std::strcmp(process->GetFactory()->name, "ScoutEnemy") != 0)
                    continue;
                // A search that found nothing puts the next one at least 7 s away.
                searchedInVain |= process->nextEnemyCheck > Clock_GetTime() + 5.0f;
                if (process->curState == kUStateUser1) scoutTarget = process->whoHandle;
            }
            if (GameObject* u = GameObject_GetUser()) user = u->GetObjHandle();
        };
        const GameRunResult run = GameRun_Play(options);
        ASSERT_EQ(run.exitCode, 0);
        EXPECT_FALSE(searchedInVain);
        EXPECT_NE(user, 0u);
        EXPECT_EQ(scoutTarget, user) << "the scout turned on the player within the first second";
    }
}

}  // namespace
