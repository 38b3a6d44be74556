#include "core/game.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/clock.h"
#include "core/cmdline.h"
#include "core/debug.h"
#include "core/phasehook.h"
#include "core/savegame.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "support/exit_trap.h"
#include "support/seam_recorder.h"

namespace {

using Log = std::vector<std::string>;

class RecordingMember : public PhaseHook {
public:
    void MissionSetup() override { SeamLog().push_back("hook.setup"); }
    void PostLoad() override { SeamLog().push_back("hook.postload"); }
    void MissionEnd() override { SeamLog().push_back("hook.end"); }
    void MissionCleanup() override { SeamLog().push_back("hook.cleanup"); }
    void Frame() override { SeamLog().push_back("hook.frame"); }
    void Simulate(float) override { SeamLog().push_back("hook.simulate"); }
};

// Scripted answers shared by the stand-ins below.
bool g_network = false;
int g_framesLeft = 0;
int32_t g_endState = kStateQuit;
std::vector<int32_t> g_menuStates;  // one state per run of the main menu
std::vector<std::string> g_loads;
std::vector<bool> g_loadResults;    // empty: every load succeeds
std::vector<uint32_t> g_sleeps;
uint32_t g_now = 0;
int g_userRecord = 0;

uint32_t RecordingNow() { return g_now; }
void RecordingSleep(uint32_t ms) {
    g_sleeps.push_back(ms);
    g_now += ms;
}
const ClockSource kRecordingClock{RecordingNow, RecordingSleep};

void SetPlayerDefWord(int offset, uint32_t value) {
    uint8_t* p = Seam_Shell().playerDef() + offset;
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(value >> (8 * i));
}

class GameTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_network = false;
        g_framesLeft = 0;
        g_endState = kStateQuit;
        g_menuStates.clear();
        g_loads.clear();
        g_loadResults.clear();
        g_sleeps.clear();
        g_now = 50000;
        Plat_SetClockSource(&kRecordingClock);

        PhaseHook_ClearForTests();
        member_.flags |= kPhaseFlagFrame;
        PhaseHook_Register(&member_);

        AppGlobals& app = App_Globals();
        app = AppGlobals{};
        app.active = true;
        app.screenMode = 1;
        Game_Globals() = GameGlobals{};
        CmdLine_ResetGlobals();
        Game_SetState(kStateRun);
        SetPlayerDefWord(kPlayerDefFlags, 0);
        SetPlayerDefWord(kPlayerDefDifficulty, 2);

        Seam_Net().isNetworkGame = [] { return g_network; };
        Seam_Net().networkMapName = [] { return "mult01.qmn"; };
        Seam_Shell().mainMenu = [] {
            SeamLog().push_back("shell.mainMenu");
            int32_t next = kStateQuit;
            if (!g_menuStates.empty()) {
                next = g_menuStates.front();
                g_menuStates.erase(g_menuStates.begin());
            }
            Game_SetState(next);
            return 0;
        };
        Seam_Core().saveGameLoad = [](const char* path) {
            SeamLog().push_back("core.saveGameLoad");
            g_loads.push_back(path);
            bool ok = true;
            if (!g_loadResults.empty()) {
                ok = g_loadResults.front();
                g_loadResults.erase(g_loadResults.begin());
            }
            // A load that reads a saved game may change the difficulty on its way.
            SetPlayerDefWord(kPlayerDefDifficulty, 4);
            return ok;
        };
        Seam_Ai().missionTick = [] {
            SeamLog().push_back("ai.missionTick");
            if (--g_framesLeft <= 0) Game_SetState(g_endState);
        };
        Seam_World().entitiesGetUser = []() -> EntityTableRecord* {
            return g_userRecord ? reinterpret_cast<EntityTableRecord*>(&g_userRecord) : nullptr;
        };
        g_userRecord = 0;
        SeamLog().clear();
    }
    void TearDown() override {
        PhaseHook_ClearForTests();
        Plat_UseRealClock();
        App_Globals() = AppGlobals{};
        Game_Globals() = GameGlobals{};
        CmdLine_ResetGlobals();
        Game_SetState(kStateRun);
        SetPlayerDefWord(kPlayerDefFlags, 0);
    }

    static size_t Count(const std::string& entry) {
        size_t n = 0;
        for (const auto& e : SeamLog()) n += e == entry;
        return n;
    }
    static Log Between(const std::string& first, const std::string& last) {
        Log out;
        bool in = false;
        for (const auto& e : SeamLog()) {
            if (e == first) in = true;
            if (in) out.push_back(e);
            if (in && e == last) break;
        }
        return out;
    }

    ExitTrap trap_;
    SeamRecorder recorder_;
    RecordingMember member_;
};

const Log kSetupOrder = {
    "audio.soundFrontEndEnable", "cockpit.inputInit", "world.entityPairsReset", "world.entitiesReset",
    "render.loadFonts", "shell.messageWindowsSetup", "core.textFieldClearList", "render.driverInitialise",
    "shell.setCursor", "shell.setInGameScreenState", "render.paletteRemapIdentity255", "render.renderStatsReset",
    "render.renderQueueReset", "world.terrainClearEntityList", "world.geomCacheReset", "render.texCacheReset",
    "world.shadowsLoad", "world.animObjInit", "render.spriteTablesReset", "world.collisionInit",
    "world.classfncResetLists", "cockpit.hudInitAll", "ai.missionClearCurrent", "objects.teamRecordCreateAll",
    "hook.setup", "world.entitiesAddNotify", "world.entitiesAddRemoveNotify", "ai.collisionCfgRead"};

TEST_F(GameTest, MissionSetupCallsEverySubsystemInOrder) {
    Game_MissionSetup();
    EXPECT_EQ(SeamLog(), kSetupOrder);
    EXPECT_EQ(Clock_GetFrameCount(), 1u);
    EXPECT_TRUE(App_Globals().loading);
}

TEST_F(GameTest, MissionSetupWithoutShellLeavesTheDriverAlone) {
    App_Globals().noShell = true;
    Game_MissionSetup();
    EXPECT_EQ(Count("render.driverInitialise"), 0u);
    // The in-game screen state still takes the keys and the mouse for the mission.
    EXPECT_EQ(Count("shell.setInGameScreenState"), 1u);
    EXPECT_FALSE(App_Globals().loading);
}

TEST_F(GameTest, MissionSetupRunsTwiceOverWhatTheFirstLeft) {
    // A model of the entity table's notice lists: only the reset empties them.
    static std::vector<EntityNotifyFn> added, removed;
    added.clear();
    removed.clear();
    Seam_World().entitiesReset = [] {
        SeamLog().push_back("world.entitiesReset");
        added.clear();
        removed.clear();
    };
    Seam_World().entitiesAddNotify = [](EntityNotifyFn fn) {
        SeamLog().push_back("world.entitiesAddNotify");
        added.push_back(fn);
    };
    Seam_World().entitiesAddRemoveNotify = [](EntityNotifyFn fn) {
        SeamLog().push_back("world.entitiesAddRemoveNotify");
        removed.push_back(fn);
    };
    Game_MissionSetup();
    CmdLine_Globals().loadRequested = true;
    Game_MissionSetup();
    Log twice = kSetupOrder;
    twice.insert(twice.end(), kSetupOrder.begin(), kSetupOrder.end());
    EXPECT_EQ(SeamLog(), twice);
    EXPECT_EQ(added.size(), 1u);
    EXPECT_EQ(removed.size(), 1u);
    EXPECT_EQ(Clock_GetFrameCount(), 1u);
    EXPECT_FALSE(Game_Globals().simulationStarted);
}

TEST_F(GameTest, MissionStartCallsEverySubsystemInOrder) {
    CmdLine_Globals().loadRequested = App_Globals().loadRequestAside = true;
    Game_MissionStart();
    const Log expected = {"cockpit.commandMenuReset", "ai.missionTakeMapId", "world.classfncActivatePending",
                          "ai.avoidanceStart", "objects.gameObjectCreateGrid", "objects.scrapCreateGrid",
                          "objects.animBuildingPostLoad", "hook.postload", "cockpit.hudStartAll",
                          "core.missionResaveIfOld", "world.skyLoad", "cockpit.mouseCapture",
                          "world.entitiesResetDetail", "audio.cdStop", "cockpit.keyboardClearState",
                          "audio.cdPlayMissionTrack", "render.driverInitialise", "cockpit.cameraReset"};
    EXPECT_EQ(SeamLog(), expected);
    EXPECT_TRUE(Game_Globals().missionRunning);
    EXPECT_FALSE(CmdLine_Globals().loadRequested);
    EXPECT_FALSE(App_Globals().loadRequestAside);
}

TEST_F(GameTest, MissionStartWritesTheMapImageOnlyWhenAsked) {
    CmdLine_Globals().shellMap = true;
    Game_MissionStart();
    EXPECT_EQ(Count("cockpit.writeMapImage"), 1u);
}

TEST_F(GameTest, TeardownCallsEverySubsystemInOrder) {
    Game_MissionTeardown();
    const Log expected = {
        "audio.releaseMissionSounds", "world.entitiesFreeAllCaches", "world.classfncCallSlot11",
        "cockpit.mouseRelease", "cockpit.forceFeedbackEnable", "cockpit.inputClose", "world.terrainFreeTextures",
        "render.graphicBuffersFree", "cockpit.hudEndAll", "world.skyFree", "world.terrainReleaseEntities",
        "world.animObjReset", "world.classfncClear", "ai.avoidanceFree", "objects.gameObjectFreeGrid",
        "objects.scrapFreeGrid", "weapons.ordnanceFreeAll", "hook.end", "objects.gameObjectRemoveAll",
        "weapons.weaponFreeAll", "world.terrainFreeAll", "audio.stopAllSounds", "audio.soundFrontEndEnable",
        "world.entitiesRemoveAll", "render.lightCloseWorld", "world.collisionShutdown", "render.animTexFree", "ai.missionFree",
        "objects.teamRecordDestroyAll", "hook.cleanup", "weapons.explosionClassFreeAll",
        "weapons.ordnanceClassFreeAll", "weapons.weaponClassFreeAll", "objects.classesFreeAll",
        "world.entityPairsReset", "world.shadowsFree", "render.texCacheFree", "world.geomCacheFreeAll",
        "render.renderQueueFree", "world.entityAllocFreeAll", "core.textFieldDestroyAll",
        "shell.messageWindowsFree"};
    EXPECT_EQ(SeamLog(), expected);
}

TEST_F(GameTest, TeardownEndsTheNetworkSessionInANetworkGame) {
    g_network = true;
    Game_MissionTeardown();
    EXPECT_EQ(Count("net.sessionEnd"), 1u);
}

// The state the shell leaves decides what the next pass loads.
TEST_F(GameTest, StateTableChoosesTheLoadPath) {
    struct Case {
        int32_t menuState;
        const char* expectedLoad;
    };
    for (const Case& c : {Case{kStateRun, "misn05.qmn"}, Case{kStateLoadGame, "misn05.qmn"},
                          Case{kStateLoadPath, "save\\game3.sav"}}) {
        SCOPED_TRACE(c.menuState);
        CmdLine_Globals().mapName = "misn05.qmn";
        CmdLine_Globals().loadPath = "save\\game3.sav";
        Game_SetState(kStateShell);
        g_menuStates = {c.menuState};
        g_framesLeft = 1;
        g_loads.clear();
        Game_OuterLoop();
        EXPECT_EQ(g_loads, std::vector<std::string>{c.expectedLoad});
        EXPECT_EQ(Game_GetState(), kStateQuit);
        // The load path names what was loaded, so state 9 would load the same file again.
        EXPECT_EQ(CmdLine_Globals().loadPath, c.expectedLoad);
    }
}

TEST_F(GameTest, StatesThatEndTheProgramSetNothingUp) {
    struct Case {
        int32_t state;
        bool noShell;
        bool gameSetup;
    };
    for (const Case& c : {Case{kStateQuit, false, false}, Case{kStateShell, true, false}, Case{kStateShell, false, true}}) {
        SeamLog().clear();
        App_Globals().noShell = c.noShell;
        App_Globals().gameSetup = c.gameSetup;
        Game_SetState(c.state);
        Game_OuterLoop();
        EXPECT_EQ(Count("shell.mainMenu"), 0u);
        EXPECT_EQ(Count("world.entitiesReset"), 0u);
    }
}

TEST_F(GameTest, NoShellRunsTheMissionOnceAndEnds) {
    App_Globals().noShell = true;
    CmdLine_Globals().mapName = "misn05.qmn";
    g_framesLeft = 3;
    g_endState = kStateShell;
    Game_OuterLoop();
    EXPECT_EQ(g_loads, std::vector<std::string>{"misn05.qmn"});
    EXPECT_EQ(Count("ai.missionTick"), 3u);
    EXPECT_EQ(Count("world.entitiesRemoveAll"), 1u);
    EXPECT_EQ(Count("shell.mainMenu"), 0u);
}

TEST_F(GameTest, EndScreenLeavingItsStateDoesNotLoopWithoutShell) {
    App_Globals().noShell = true;
    g_framesLeft = 1;
    g_endState = kStateWon;  // the success screen stand-in does not change the state
    Game_OuterLoop();
    EXPECT_EQ(Count("shell.successScreen"), 1u);
    EXPECT_EQ(g_loads.size(), 1u);
}

TEST_F(GameTest, FailedLoadReturnsToTheShellWithoutTeardown) {
    CmdLine_Globals().mapName = "misn05.qmn";
    Game_SetState(kStateShell);
    g_menuStates = {kStateRun, kStateRun};
    g_loadResults = {false, true};
    g_framesLeft = 1;
    Seam_Shell().mainMenu = [] {
        SeamLog().push_back("shell.mainMenu");
        // The second menu sees the first load's change to the difficulty still in place.
        if (Count("core.saveGameLoad") == 1) {
            const uint8_t* p = Seam_Shell().playerDef() + kPlayerDefDifficulty;
            EXPECT_EQ(p[0], 4);
            EXPECT_EQ(Game_GetState(), kStateShell);
        }
        Game_SetState(kStateRun);
        return 0;
    };
    Seam_Ai().missionTick = [] {
        SeamLog().push_back("ai.missionTick");
        Game_SetState(kStateQuit);
    };
    Game_OuterLoop();

    EXPECT_EQ(Count("shell.mainMenu"), 2u);
    EXPECT_EQ(Count("core.saveGameLoad"), 2u);
    EXPECT_EQ(Count("world.entitiesReset"), 2u);
    EXPECT_EQ(Count("world.entitiesRemoveAll"), 1u);
    // Nothing between the failed load and the next shell: no teardown, no mission start.
    const Log between = Between("core.saveGameLoad", "shell.mainMenu");
    EXPECT_EQ(between.front(), "core.saveGameLoad");
    EXPECT_EQ(between.back(), "shell.mainMenu");
    for (const auto& e : between) {
        EXPECT_NE(e, "hook.end");
        EXPECT_NE(e, "hook.postload");
        EXPECT_NE(e, "world.entitiesRemoveAll");
    }
    // After the successful load the difficulty kept just before it (4) is put back.
    EXPECT_EQ(Seam_Shell().playerDef()[kPlayerDefDifficulty], 4);
}

TEST_F(GameTest, SuccessfulLoadPutsTheKeptDifficultyBack) {
    App_Globals().noShell = true;
    g_framesLeft = 1;
    Game_OuterLoop();
    EXPECT_EQ(Seam_Shell().playerDef()[kPlayerDefDifficulty], 2);
}

TEST_F(GameTest, InactiveSinglePlayerOnlySleepsAndPumps) {
    Game_MissionSetup();
    App_Globals().active = false;
    Clock_Pause();
    g_now += 5;  // the window went inactive a moment after the last tick
    SeamLog().clear();
    for (int frame = 0; frame < 3; ++frame) {
        g_sleeps.clear();
        Game_Frame();
        EXPECT_EQ(g_sleeps, std::vector<uint32_t>{16});
    }
    EXPECT_EQ(Count("world.classfncUpdateAll"), 0u);
    EXPECT_EQ(Count("hook.frame"), 0u);
}

TEST_F(GameTest, InactiveNetworkGameKeepsSimulatingWith20MsSleeps) {
    Game_MissionSetup();
    g_network = true;
    App_Globals().active = false;
    g_framesLeft = 100;
    SeamLog().clear();
    for (int frame = 0; frame < 3; ++frame) {
        g_sleeps.clear();
        Game_Frame();
        ASSERT_FALSE(g_sleeps.empty());
        EXPECT_EQ(g_sleeps.back(), 20u);
        for (size_t i = 0; i + 1 < g_sleeps.size(); ++i) EXPECT_LE(g_sleeps[i], 10u);  // clock pacing only
    }
    EXPECT_EQ(Count("world.classfncUpdateAll"), 3u);
    EXPECT_EQ(Count("ai.missionTick"), 3u);
    EXPECT_EQ(Count("objects.sendNetUpdates"), 3u);
    EXPECT_EQ(Count("hook.frame"), 3u);
    EXPECT_EQ(Count("world.terrainDraw"), 0u);
    // What the simulation queued for drawing (rocket smoke) goes at the end of each frame,
    // after the simulation, instead of piling up for the next drawn frame.
    EXPECT_EQ(Count("render.renderQueueFlush"), 0u);
    EXPECT_EQ(Count("render.renderQueueReset"), 3u);
    const auto& log = SeamLog();
    size_t lastSimulate = 0, lastReset = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i] == "world.classfncUpdateAll") lastSimulate = i;
        if (log[i] == "render.renderQueueReset") lastReset = i;
    }
    EXPECT_GT(lastReset, lastSimulate);
}

TEST_F(GameTest, ActiveButHiddenSinglePlayerDrawsThePausedScreen) {
    Game_MissionSetup();
    App_Globals().screenMode = 2;
    SeamLog().clear();
    g_sleeps.clear();
    Game_Frame();
    EXPECT_EQ(Count("shell.refreshScreenState"), 1u);
    EXPECT_EQ(Count("render.spriteDraw"), 1u);
    EXPECT_EQ(Count("world.classfncUpdateAll"), 0u);
}

TEST_F(GameTest, AFrameThatSimulatesWithoutDrawingDropsWhatItQueued) {
    Game_MissionSetup();
    App_Globals().screenMode = 0x40;  // neither the game view nor a mode that hides it
    SeamLog().clear();
    Game_Frame();
    EXPECT_EQ(Count("world.classfncUpdateAll"), 1u);
    EXPECT_EQ(Count("world.terrainDraw"), 0u);
    EXPECT_EQ(Count("render.renderQueueFlush"), 0u);
    const auto& log = SeamLog();
    const auto simulate = std::find(log.begin(), log.end(), "world.classfncUpdateAll");
    EXPECT_NE(std::find(simulate, log.end(), "render.renderQueueReset"), log.end());
}

TEST_F(GameTest, PausedOnlyTheUsersObjectSteps) {
    SetPlayerDefWord(kPlayerDefFlags, 1);
    g_userRecord = 1;
    Game_Simulate();
    Game_PostUpdate();
    const Log expected = {"objects.stepUserObject", "world.classfncPurge", "objects.gameObjectUpdateGrid",
                          "objects.scrapRefreshGrid", "objects.gameObjectRevealAll", "cockpit.sightPausedStep",
                          "cockpit.hudStep"};
    EXPECT_EQ(SeamLog(), expected);

    SeamLog().clear();
    g_userRecord = 0;
    Game_Simulate();
    EXPECT_EQ(Count("objects.stepUserObject"), 0u);
}

TEST_F(GameTest, UnpausedEverythingStepsAndPostUpdates) {
    static int steps = 0;
    steps = 0;
    Seam_Cockpit().cameraGetStep = []() -> void (*)() { return [] { ++steps; }; };
    Seam_World().animObjActiveCount = [] { return 1; };
    Game_Simulate();
    Game_PostUpdate();
    const Log expected = {"world.classfncUpdateAll", "world.animObjStep", "world.classfncPostUpdateAll",
                          "objects.gameObjectUpdateGrid", "objects.scrapRefreshGrid",
                          "objects.gameObjectUpdateVisibility", "hook.simulate", "cockpit.hudStep",
                          "world.collisionTransformAll", "weapons.weaponUpdateAll", "weapons.ordnanceUpdateAll",
                          "weapons.weaponUpdateAllSecond", "weapons.ordnanceLastPass"};
    EXPECT_EQ(SeamLog(), expected);
    EXPECT_EQ(steps, 1);
}

TEST_F(GameTest, NetworkGameIsNeverPaused) {
    SetPlayerDefWord(kPlayerDefFlags, 1);
    EXPECT_TRUE(Game_IsPaused());
    g_network = true;
    EXPECT_FALSE(Game_IsPaused());
}

TEST_F(GameTest, PausedBannerBlinksOverTwoSeconds) {
    const std::pair<uint32_t, int> cases[] = {{0, 1},     {31, 1},    {32, 2},    {639, 20}, {640, 21},
                                              {1279, 1},  {1280, 0},  {2047, 0},  {2048, 1}, {2048 + 639, 20}};
    for (auto [ms, colour] : cases) EXPECT_EQ(Game_PausedBannerColour(ms), colour) << ms;

    static int seen = -1;
    Seam_Render().setSingleColourIndex = [](int index) { seen = index; };
    g_now = 2048 * 10 + 640;
    Game_DrawPausedScreen();
    EXPECT_EQ(seen, 21);
}

TEST_F(GameTest, MapIdIsTheShortStemOfTheMapName) {
    const std::pair<const char*, const char*> cases[] = {{"misn05.qmn", "misn05"}, {"abcdefgh.qmn", "abcdefgh"},
                                                         {"abcdefghi.qmn", ""},    {"tran02", "tran02"},
                                                         {"", ""},                 {"a.b.c", "a"}};
    for (auto [name, id] : cases) {
        CmdLine_Globals().mapName = name;
        char out[9];
        std::memset(out, 'x', sizeof out);
        Game_GetMapId(out);
        EXPECT_STREQ(out, id) << name;
    }
}

TEST_F(GameTest, FrameHookReplacesItselfAfterFrameTen) {
    struct Seen {
        uint32_t frame;
        void (*hook)();
    };
    static std::vector<Seen> seen;
    seen.clear();
    Seam_Cockpit().inputRead = [] { seen.push_back({Clock_GetFrameCount(), Game_Globals().frameHook}); };
    App_Globals().noShell = true;
    g_framesLeft = 15;
    Game_OuterLoop();
    ASSERT_EQ(seen.size(), 15u);
    void (*starting)() = seen.front().hook;
    for (const Seen& s : seen) {
        // The step that sees the count pass 10 is the last one of the starting hook.
        if (s.frame <= 11) {
            EXPECT_EQ(s.hook, starting) << s.frame;
        } else {
            EXPECT_NE(s.hook, starting) << s.frame;
            EXPECT_EQ(s.hook, seen.back().hook);
        }
    }
}

TEST_F(GameTest, GraphicsStatusFileIsWrittenAtFrameTwenty) {
    static std::vector<uint32_t> writes;
    writes.clear();
    Seam_Render().saveGraphicOptions = [](bool clean) {
        EXPECT_FALSE(clean);
        writes.push_back(Clock_GetFrameCount());
    };
    App_Globals().noShell = true;
    g_framesLeft = 40;
    Game_OuterLoop();
    EXPECT_EQ(writes, std::vector<uint32_t>{20});
}

TEST_F(GameTest, DriverShutDownDuringAFrameIsFatal) {
    Game_MissionSetup();
    Seam_Render().driverWasShutDown = [] { return true; };
    EXPECT_EQ(RunForExit([] { Game_Frame(); }), 112);
    Error_ResetForTests();
}

TEST_F(GameTest, FailedDriverStartIsFatal) {
    Seam_Render().driverInitialise = [](int) { return false; };
    EXPECT_EQ(RunForExit([] { Game_MissionStart(); }), 112);
    Error_ResetForTests();
}

TEST_F(GameTest, NetworkTimeLimitRunsOnceAndStopsTheFrame) {
    Game_MissionSetup();
    g_network = true;
    Game_Globals().netTimeLimit = 0.5f;
    Game_Globals().netTimeLimitArmed = true;
    Seam_Net().respawnViaMission = [] {
        SeamLog().push_back("net.respawnViaMission");
        Game_SetState(kStateShell);
    };
    g_now += 600;
    Clock_Tick();
    SeamLog().clear();
    Game_Frame();
    EXPECT_EQ(SeamLog(), Log{"net.respawnViaMission"});
    EXPECT_FALSE(Game_Globals().netTimeLimitArmed);
}

TEST_F(GameTest, FailedPollSendsANetworkGameBackToTheShell) {
    Game_MissionSetup();
    g_network = true;
    Seam_Net().poll = [] { return false; };
    g_framesLeft = 100;
    Game_Frame();
    EXPECT_EQ(Game_GetState(), kStateShell);
}

struct ViewCase {
    int viewState;
    bool sky, terrain, world, selected, ordnance, shadows;
};

TEST_F(GameTest, RenderFrameFollowsTheViewState) {
    const ViewCase cases[] = {{0, true, true, true, false, true, true},
                              {3, false, true, false, true, true, true},
                              {10, false, true, false, false, false, false},
                              {9, false, false, false, false, false, false}};
    for (int hardware = 0; hardware < 2; ++hardware) {
        App_Globals().driverKind = hardware;
        for (const ViewCase& c : cases) {
            static int viewState;
            viewState = c.viewState;
            Seam_Cockpit().cameraViewState = [] { return viewState; };
            SeamLog().clear();
            Game_RenderFrame(nullptr);
            SCOPED_TRACE(testing::Message() << "view state " << c.viewState << " hardware " << hardware);
            EXPECT_EQ(Count("world.skyDraw"), c.sky ? 1u : 0u);
            EXPECT_EQ(Count("render.clearBackground"), (c.terrain && !c.sky) ? 1u : 0u);
            EXPECT_EQ(Count("world.terrainDraw"), c.terrain ? 1u : 0u);
            EXPECT_EQ(Count("world.entitiesDrawWorld"), c.world ? 1u : 0u);
            EXPECT_EQ(Count("world.entitiesDrawSelected"), c.selected ? 1u : 0u);
            EXPECT_EQ(Count("weapons.ordnanceRenderAll"), c.ordnance ? 1u : 0u);
            EXPECT_EQ(Count("world.shadowsDraw"), c.shadows ? 1u : 0u);
            EXPECT_EQ(Count("render.renderQueueFlush"), 1u);
            EXPECT_EQ(Count("cockpit.hudDrawLayer"), 1u);
            EXPECT_EQ(Count(hardware ? "render.endScene" : "render.unlockFrame"), 1u);
        }
    }
}

TEST_F(GameTest, OwnEntityIsDrawnOnTopOnlyWithBothSwitches) {
    static EntityTableRecord* excluded;
    g_userRecord = 1;
    Seam_World().entitiesDrawWorld = [](RenderView*, EntityTableRecord* e) { excluded = e; };
    for (int inside = 0; inside < 2; ++inside) {
        for (int own = 0; own < 2; ++own) {
            static bool sInside, sOwn;
            sInside = inside;
            sOwn = own;
            Seam_Cockpit().cameraInsideViewSwitch = [] { return sInside; };
            Seam_Cockpit().cameraOwnEntitySwitch = [] { return sOwn; };
            SeamLog().clear();
            excluded = nullptr;
            Game_RenderFrame(nullptr);
            EXPECT_EQ(Count("world.entitiesDrawSingle"), (inside && own) ? 1u : 0u);
            EXPECT_EQ(excluded != nullptr, own == 1);
        }
    }
}

TEST_F(GameTest, HardwareRadarSweepGoesThroughTheLockedBackBufferInModeOne) {
    App_Globals().driverKind = 1;
    Seam_Cockpit().radarIsOn = [] { return true; };
    Seam_Render().hardwareMode = [] { return 1; };
    Seam_Render().lockBackBuffer = [] {
        SeamLog().push_back("render.lockBackBuffer");
        return true;
    };
    Game_RenderFrame(nullptr);
    const Log radar = Between("cockpit.radarDrawFrame", "cockpit.hudDrawLayer");
    const Log expected = {"cockpit.radarDrawFrame", "render.endScene",   "render.lockBackBuffer",
                          "cockpit.radarDrawSweep", "render.unlockBackBuffer", "render.beginScene",
                          "cockpit.hudDrawLayer"};
    EXPECT_EQ(radar, expected);
}

TEST_F(GameTest, HardwareRadarOfTheOtherKindsDrawsItsFrameThenItsSweepInTheScene) {
    App_Globals().driverKind = 1;
    Seam_Cockpit().radarIsOn = [] { return true; };
    for (int kind : {0, 2, 4}) {
        SCOPED_TRACE(kind);
        static int sKind;
        sKind = kind;
        Seam_Render().hardwareMode = [] { return sKind; };
        SeamLog().clear();
        Game_RenderFrame(nullptr);
        const Log radar = Between("cockpit.radarDrawFrame", "cockpit.hudDrawLayer");
        const Log expected = {"cockpit.radarDrawFrame", "cockpit.radarDrawSweep", "cockpit.hudDrawLayer"};
        EXPECT_EQ(radar, expected);
    }
}

TEST_F(GameTest, ALostHardwareDeviceDrawsNothingAndThePausedFramePresentsToReset) {
    App_Globals().driverKind = 1;
    Seam_Render().beginScene = [] {
        SeamLog().push_back("render.beginScene");
        return false;
    };
    SeamLog().clear();
    Game_RenderFrame(nullptr);
    EXPECT_EQ(Count("render.beginScene"), 1u);
    EXPECT_EQ(Count("render.renderQueueFlush"), 0u);
    EXPECT_EQ(Count("world.terrainDraw"), 0u);
    EXPECT_EQ(Count("render.endScene"), 0u);
    // The paused frame draws nothing either, but still presents: presenting resets the device.
    static int presents = 0;
    presents = 0;
    Seam_Render().driverPresent = [] { ++presents; };
    Seam_Render().spriteDraw = [](int, int, int, uint32_t) { SeamLog().push_back("render.spriteDraw"); };
    SeamLog().clear();
    Game_DrawPausedScreen();
    EXPECT_EQ(Count("render.spriteDraw"), 0u);
    EXPECT_EQ(Count("render.endScene"), 0u);
    EXPECT_EQ(presents, 1);
}

TEST_F(GameTest, TrackFpsComesFromRenderCfgInTheProfileDirectory) {
    namespace fs = std::filesystem;
    const std::string saved = Plat_ProfileDir();
    const fs::path dir = fs::temp_directory_path() / ("gv_fps_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(dir);
    Plat_SetProfileDir(dir.string());

    Game_Globals().fps.draw = true;
    Game_InitFpsCounter();
    EXPECT_TRUE(Game_Globals().fps.draw);  // no file: the previous value stays
    EXPECT_FLOAT_EQ(Game_Globals().fps.rate, 1000.0f);

    {
        std::FILE* f = std::fopen((dir / "render.cfg").string().c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("[Debug]\nTrackFPS=0\n", f);
        std::fclose(f);
    }
    Plat_ForgetDirectoryCache();
    Game_InitFpsCounter();
    EXPECT_FALSE(Game_Globals().fps.draw);

    Plat_SetProfileDir(saved);
    fs::remove_all(dir);
}

TEST_F(GameTest, FpsCounterMeasuresOverMoreThanASecond) {
    App_Globals().driverKind = 0;
    Game_Globals().fps.draw = true;
    Game_InitFpsCounter();
    for (int i = 0; i < 50; ++i) {
        g_now += 20;
        Game_UpdateFpsCounter();
    }
    EXPECT_FLOAT_EQ(Game_Globals().fps.rate, 1000.0f);  // exactly 1000 ms is not more than 1000
    g_now += 20;
    Game_UpdateFpsCounter();
    EXPECT_NEAR(Game_Globals().fps.rate, 51 * 1000.0f / 1020.0f, 1e-3f);
    EXPECT_STREQ(Game_Globals().fps.text, "50.0");
    EXPECT_EQ(Game_Globals().fps.frames, 0u);
}

TEST_F(GameTest, CommandLineLoadRequestIsRestoredBeforeEachLoad) {
    static std::vector<bool> seen;
    seen.clear();
    Seam_Core().saveGameLoad = [](const char*) {
        seen.push_back(CmdLine_Globals().loadRequested);
        return true;
    };
    App_Globals().noShell = true;
    App_Globals().loadRequestAside = true;
    g_framesLeft = 1;
    Game_OuterLoop();
    EXPECT_EQ(seen, std::vector<bool>{true});
    EXPECT_FALSE(App_Globals().loadRequestAside);  // the mission start clears both flags
}

// The terrain's settings file (sky, light) is the one of the map the load went to, which a
// mission file need not be named after; only a load that named no map leaves the map name.
TEST_F(GameTest, TerrainSettingsComeFromTheLoadedMapNotTheMissionFilesName) {
    static std::vector<std::string> names;
    static const char* loaded;
    struct Case {
        const char* mapName;
        const char* loadedTerrain;
        const char* expected;
    };
    for (const Case& c : {Case{"fight.qmn", "sample", "sample"}, Case{"save\\game3.sav", "misn02", "misn02"},
                          Case{"misn05.qmn", "", "misn05.qmn"}}) {
        SCOPED_TRACE(c.mapName);
        names.clear();
        loaded = c.loadedTerrain;
        SaveGame_ResetGlobals();
        Seam_Core().saveGameLoad = [](const char*) {
            std::snprintf(SaveGame_Globals().terrainName, sizeof SaveGame_Globals().terrainName, "%s", loaded);
            return true;
        };
        Seam_World().terrainSetFileName = [](const char* name) { names.push_back(name); };
        App_Globals().noShell = true;
        CmdLine_Globals().mapName = c.mapName;
        Game_SetState(kStateRun);
        g_framesLeft = 1;
        Game_OuterLoop();
        EXPECT_EQ(names, std::vector<std::string>{c.expected});
    }
    SaveGame_ResetGlobals();
}

TEST_F(GameTest, NetworkMissionWithoutScriptIsCreatedFromTheNetworkMapStem) {
    static std::vector<std::string> created;
    created.clear();
    Seam_Missions().createByName = [](const char* name) { created.push_back(name); };
    g_network = true;
    App_Globals().noShell = true;
    g_framesLeft = 1;
    Game_OuterLoop();
    EXPECT_EQ(created, std::vector<std::string>{"mult01"});
    EXPECT_EQ(Count("net.sessionStart"), 1u);
    EXPECT_EQ(Count("net.playPhaseStart"), 1u);
    EXPECT_EQ(Count("net.sessionEnd"), 1u);
}

TEST_F(GameTest, LinkLostWhileSynchronisingSkipsTheFramesButTearsDown) {
    Seam_Net().playersSyncPending = [] { return true; };
    Seam_Net().linkLost = [] { return true; };
    g_network = true;
    App_Globals().noShell = true;
    Game_OuterLoop();
    EXPECT_EQ(Count("core.saveGameLoad"), 1u);
    EXPECT_EQ(Count("ai.missionTick"), 0u);
    EXPECT_EQ(Count("world.entitiesRemoveAll"), 1u);
}

TEST_F(GameTest, WindowQuitEndsTheMissionAndTheLoop) {
    App_Globals().noShell = true;
    g_framesLeft = 1000;
    Seam_Cockpit().inputRead = [] {
        if (Clock_GetFrameCount() == 5) App_Globals().quit = true;
    };
    Game_OuterLoop();
    EXPECT_EQ(Count("ai.missionTick"), 4u);
    EXPECT_EQ(Count("world.entitiesRemoveAll"), 1u);
}

}  // namespace
