#include "core/game.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/app.h"
#include "core/bytes.h"
#include "core/clock.h"
#include "core/cmdline.h"
#include "core/debug.h"
#include "core/exitcodes.h"
#include "core/phasehook.h"
#include "core/savegame.h"
#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/core.h"
#include "core/seams/missions.h"
#include "core/seams/net.h"
#include "core/seams/objects.h"
#include "core/seams/render.h"
#include "core/seams/shell.h"
#include "core/seams/tools.h"
#include "core/seams/weapons.h"
#include "core/seams/world.h"
#include "core/shake.h"
#include "platform/clock.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/window.h"

namespace {

constexpr int kSkyColour = 223;
constexpr uint32_t kScreenModeGameView = 1;
constexpr uint32_t kScreenModesHidingView = 0x3E;
constexpr uint32_t kPausedBannerFlags = 0x50005;  // centred both ways, single-colour draw mode
constexpr uint32_t kHostWaitMs = 5000;

const char* const kInitGraphicFailed = "Gravenholt Init_Graphic_System";

bool IsNetworkGame() { return Seam_Net().isNetworkGame(); }
bool IsHardwareDriver() { return App_Globals().driverKind == 1; }

void InitialiseDriver(int mode) {
    if (!Seam_Render().driverInitialise(mode)) Error_Fatal("%s", kInitGraphicFailed);
}

void RestoreWindow(bool focus) {
    const WindowHandle window = App_Globals().mainWindow;
    Plat_ShowWindow(window, SW_RESTORE);
    if (focus) Plat_SetFocus(window);
}

void RunCameraStep() {
    if (void (*step)() = Seam_Cockpit().cameraGetStep()) step();
}

// The frame hook: the first frames of a mission go through this step, which hands over to the
// steady one once the clock has counted more than 10 frames.
void SteadyFrameHook() {
    Plat_FrameTick();
    Game_Frame();
}

void StartingFrameHook() {
    Plat_FrameTick();
    Game_Frame();
    if (Clock_GetFrameCount() > 10) Game_Globals().frameHook = SteadyFrameHook;
}

// The network time limit: true when the frame must stop because the state left 5.
bool TimeLimitStopsFrame() {
    GameGlobals& g = Game_Globals();
    if (!IsNetworkGame() || !g.netTimeLimitArmed) return false;
    if (Clock_GetElapsed() <= g.netTimeLimit) return false;
    g.netTimeLimitArmed = false;
    Seam_Net().respawnViaMission();
    return Game_GetState() != kStateRun;
}

void PlayIntroMovie() {
    AudioSeam& audio = Seam_Audio();
    AppGlobals& app = App_Globals();
    audio.audioShutdown();
    if (audio.movieOpen("intro.avi")) {
        PlatRect rect;
        Plat_GetClientRect(app.mainWindow, &rect);
        Plat_SetFocus(app.mainWindow);
        audio.moviePlay(rect);
        Plat_SetThreadPriority(THREAD_PRIORITY_LOWEST);
        while (audio.movieIsPlaying()) {
            app.screenMode = 32;
            if (!App_PumpMessage()) Plat_Sleep(1);
        }
        Plat_SetThreadPriority(THREAD_PRIORITY_NORMAL);
    }
    audio.audioInit(app.mainWindow);
}

// Step 1: the front-end shell, or the network shell with "gamesetup".
void RunShell() {
    AppGlobals& app = App_Globals();
    if (!app.gameSetup) {
        while ((Game_GetState() == kStateRun || Game_GetState() == kStateShell) && !app.noShell) {
            App_PumpAllMessages();
            InitialiseDriver(0);
            RestoreWindow(false);
            Plat_ShowWindow(app.mainWindow, SW_SHOW);
            App_ResetDriverMode(Seam_Render().blackIndex());
            Seam_Audio().cdPlayTrack(12, true);
            const int ask = Seam_Shell().mainMenu();
            Seam_Audio().cdStop();
            App_PumpAllMessages();
            if (ask == kShellAskCredits) {
                App_PlayCredits();
            } else if (ask == kShellAskIntro) {
                PlayIntroMovie();
            } else {
                break;
            }
        }
    } else if (Game_GetState() == kStateRun) {
        App_PumpAllMessages();
        RestoreWindow(false);
        if (!Seam_Net().startNetworkShell()) Game_SetState(kStateQuit);
        App_PumpAllMessages();
    }
}

// Step 6: wait until every network player is synchronised.
void WaitForNetworkPlayers() {
    NetSeam& net = Seam_Net();
    net.sessionStart();
    while (net.playersSyncPending()) {
        Clock_Tick();
        if (!net.poll() || net.linkLost()) {
            Game_SetState(kStateShell);
            break;
        }
        Plat_Sleep(1);
    }
}

// Step 8: the shell's last sound plays out; only keyboard messages are taken meanwhile.
void WaitForShellSound() {
    while (Seam_Shell().isSoundPlaying()) {
        PlatMsg msg;
        if (Plat_PeekMessage(&msg, false) && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
            Plat_PeekMessage(&msg, true);
            Plat_TranslateMessage(&msg);
            Plat_DispatchMessage(&msg);
        } else {
            Plat_Sleep(1);
        }
        Seam_Audio().audioUpdate();
    }
}

// Step 9: the host keeps the session answered for 5 s; then the mission's network start.
void StartNetworkMission() {
    NetSeam& net = Seam_Net();
    if (net.isHost()) {
        const uint32_t start = Plat_Milliseconds();
        while (Plat_Milliseconds() - start < kHostWaitMs) {
            Clock_Tick();
            if (!net.poll()) {
                Game_SetState(kStateShell);
                break;
            }
        }
    }
    if (Seam_Ai().missionHasCurrent()) {
        Seam_Ai().missionNetStart();
    } else {
        std::string stem = net.networkMapName();
        stem = stem.substr(0, stem.find('.'));
        Seam_Missions().createByName(stem.c_str());
    }
}

// Step 14: the mission ends; returns the state it ended with.
int32_t EndMission() {
    const int32_t state = Game_GetState();
    uint8_t* playerDef = Seam_Shell().playerDef();
    if (Seam_Tools().editorIsOn()) {
        Seam_Tools().editorLeave();
        Bytes_SetU32(playerDef + kPlayerDefFlags, Bytes_U32(playerDef + kPlayerDefFlags) & ~1u);
    }
    Seam_Shell().playerDefWrite();
    Plat_SetPriorityClass(NORMAL_PRIORITY_CLASS);
    Plat_SetThreadPriority(THREAD_PRIORITY_NORMAL);
    Seam_Audio().cdStop();
    Seam_Render().paletteFade(0.01f, 32);
    App_ResetDriverMode(Game_Globals().blackIndex);
    if (state == kStateFailed || state == kStateFailedToo) {
        Seam_Shell().failureScreen();
    } else if (state == kStateWon) {
        Seam_Shell().successScreen();
    }
    return state;
}

void FormatFpsText(FpsCounter& fps) {
    if (IsHardwareDriver()) {
        char l[6];
        int depth = 0, count = 0;
        Seam_Render().hardwareFrameInfo(l, &depth, &count);
        std::snprintf(fps.text, sizeof fps.text, "%4.1f-%c%c%c%c%c%c%d(%d)", static_cast<double>(fps.rate), l[0], l[1],
                      l[2], l[3], l[4], l[5], depth, count);
    } else {
        std::snprintf(fps.text, sizeof fps.text, "%4.1f", static_cast<double>(fps.rate));
    }
    fps.textWidth = Seam_Render().textWidth(fps.text) + 4;
}

}  // namespace

GameGlobals& Game_Globals() {
    static GameGlobals globals;
    return globals;
}

bool Game_IsPaused() {
    if (IsNetworkGame()) return false;
    return (Bytes_U32(Seam_Shell().playerDef() + kPlayerDefFlags) & 1u) != 0;
}

void Game_MapIdOf(const char* fileName, char* out) {
    std::memset(out, 0, 9);
    const std::string name = fileName ? fileName : "";
    const size_t stem = std::min(name.find('.'), name.size());
    if (stem <= 8) std::memcpy(out, name.data(), stem);
}

void Game_GetMapId(char* out) { Game_MapIdOf(CmdLine_Globals().mapName.c_str(), out); }

int Game_PausedBannerColour(uint32_t ms) {
    const uint32_t t = ms % 2048;
    if (t >= 1280) return 0;
    if (t >= 640) return static_cast<int>((1280 - t) / 32 + 1);
    return static_cast<int>(t / 32 + 1);
}

void Game_MissionSetup() {
    GameGlobals& g = Game_Globals();
    AppGlobals& app = App_Globals();
    RenderSeam& render = Seam_Render();
    WorldSeam& world = Seam_World();

    g.simulationStarted = false;
    g.missionRunning = false;
    Seam_Audio().soundFrontEndEnable(true);
    Clock_Init();
    Seam_Cockpit().inputInit();
    world.entityPairsReset();
    world.entitiesReset();
    render.loadFonts();
    Seam_Shell().messageWindowsSetup();
    Seam_Core().textFieldClearList();
    if (!app.noShell) {
        InitialiseDriver(0);
        RestoreWindow(true);
        App_PumpMessage();
        Seam_Shell().setCursor(2);
        Seam_Shell().setInGameScreenState();
        app.loading = true;
    } else {
        // A mission named on the command line takes the player's keys and mouse too.
        Seam_Shell().setInGameScreenState();
    }
    render.paletteRemapIdentity255();
    render.renderStatsReset();
    render.renderQueueReset();
    world.terrainClearEntityList();
    world.geomCacheReset();
    render.texCacheReset();
    world.shadowsLoad();
    world.animObjInit();
    render.spriteTablesReset();
    world.collisionInit();
    world.classfncResetLists();
    Seam_Cockpit().hudInitAll();
    Seam_Ai().missionClearCurrent();
    PhaseHook_RunMissionSetup();
    Seam_Ai().collisionCfgRead();
}

void Game_MissionStart() {
    GameGlobals& g = Game_Globals();
    CockpitSeam& cockpit = Seam_Cockpit();
    WorldSeam& world = Seam_World();

    g.missionRunning = true;
    cockpit.commandMenuReset();
    Seam_Ai().missionTakeMapId();
    world.classfncActivatePending();
    Seam_Ai().avoidanceStart();
    Seam_Objects().gameObjectCreateGrid();
    Seam_Objects().scrapCreateGrid();
    CmdLine_Globals().loadRequested = false;
    App_Globals().loadRequestAside = false;
    PhaseHook_RunPostLoad();
    cockpit.hudStartAll();
    Seam_Core().missionResaveIfOld();
    if (CmdLine_Globals().shellMap || CmdLine_Globals().largeMap) cockpit.writeMapImage();
    Random_FillTable();
    world.skyLoad();
    g.blackIndex = Seam_Render().blackIndex();
    Game_InitFpsCounter();
    cockpit.mouseCapture();
    world.entitiesResetDetail();
    Seam_Audio().cdStop();
    cockpit.keyboardClearState();
    Seam_Audio().cdPlayMissionTrack();
    App_PumpMessage();
    InitialiseDriver(Seam_Shell().playerDef()[kPlayerDefModeByte]);
    App_PumpMessage();
    RestoreWindow(true);
    cockpit.cameraReset(1);
}

void Game_MissionTeardown() {
    WorldSeam& world = Seam_World();
    RenderSeam& render = Seam_Render();
    ObjectsSeam& objects = Seam_Objects();
    WeaponsSeam& weapons = Seam_Weapons();
    CockpitSeam& cockpit = Seam_Cockpit();
    AudioSeam& audio = Seam_Audio();

    audio.releaseMissionSounds();
    world.entitiesFreeAllCaches();
    world.classfncCallSlot11();
    cockpit.mouseRelease();
    cockpit.forceFeedbackEnable(false);
    cockpit.inputClose();
    Clock_Shutdown();
    world.terrainFreeTextures();
    render.graphicBuffersFree();
    cockpit.hudEndAll();
    world.skyFree();
    world.terrainReleaseEntities();
    world.animObjReset();
    world.classfncClear();
    Seam_Ai().avoidanceFree();
    objects.gameObjectFreeGrid();
    objects.scrapFreeGrid();
    weapons.ordnanceFreeAll();
    PhaseHook_RunMissionEnd();
    objects.gameObjectRemoveAll();
    weapons.weaponFreeAll();
    world.terrainFreeAll();
    audio.stopAllSounds();
    audio.soundFrontEndEnable(false);
    world.entitiesRemoveAll();
    render.lightCloseWorld();
    world.collisionShutdown();
    render.animTexFree();
    Seam_Ai().missionFree();
    PhaseHook_RunCleanup();
    weapons.explosionClassFreeAll();
    weapons.ordnanceClassFreeAll();
    weapons.weaponClassFreeAll();
    objects.classesFreeAll();
    world.entityPairsReset();
    world.shadowsFree();
    render.texCacheFree();
    world.geomCacheFreeAll();
    render.renderQueueFree();
    world.entityAllocFreeAll();
    if (IsNetworkGame()) Seam_Net().sessionEnd();
    Seam_Core().textFieldDestroyAll();
    Seam_Shell().messageWindowsFree();
}

void Game_OuterLoop() {
    AppGlobals& app = App_Globals();
    GameGlobals& g = Game_Globals();
    CmdLineGlobals& cmd = CmdLine_Globals();
    for (;;) {
        RunShell();

        int32_t state = Game_GetState();
        // Once a window quit has been taken no message can end a mission any more: leave too.
        if (app.quit) return;
        if (state == kStateQuit || (state == kStateShell && (app.noShell || app.gameSetup))) return;
        if (state != kStateRun && state != kStateLoadGame && state != kStateLoadPath) {
            // Nothing here starts a mission from any other state (an end screen that left its
            // state alone); without a shell to go back to that ends the program.
            if (app.noShell || app.gameSetup) return;
            Game_SetState(kStateShell);
            continue;
        }
        if (state == kStateLoadGame) {
            cmd.loadPath = cmd.mapName;
            Game_SetState(kStateRun);
        } else if (state == kStateLoadPath) {
            Game_SetState(kStateRun);
        } else if (!app.loadRequestAside) {
            cmd.loadPath = cmd.mapName;
        }
        // (a saved game named by "-load" on the command line keeps its path for the first pass)

        Game_MissionSetup();
        cmd.loadRequested = app.loadRequestAside;
        RestoreWindow(true);
        if (IsNetworkGame()) WaitForNetworkPlayers();

        uint8_t* playerDef = Seam_Shell().playerDef();
        const uint32_t keptDifficulty = Bytes_U32(playerDef + kPlayerDefDifficulty);
        if (!Seam_Core().saveGameLoad(cmd.loadPath.c_str())) {
            // Straight back to the shell: no teardown; the next set-up runs over what is left.
            // Without a shell to go back to the program ends, and says that the load failed.
            if (app.noShell) app.exitCode = kExitLoadFailed;
            Game_SetState(kStateShell);
            continue;
        }
        Bytes_SetU32(playerDef + kPlayerDefDifficulty, keptDifficulty);

        WaitForShellSound();
        Seam_Shell().setCursor(1);
        app.loading = false;
        Seam_Render().setDriverBlackIndex(Seam_Render().blackIndex());
        Seam_Render().setMissionPalette();
        // The terrain's settings (its sky among them) are read from the map the load went to:
        // a mission or a saved game names its map, and that need not be its own file's name.
        const char* loadedMap = SaveGame_Globals().terrainName;
        Seam_World().terrainSetFileName(loadedMap[0] ? loadedMap : cmd.mapName.c_str());
        Seam_Core().netRegisterLoadedObjects();

        if (IsNetworkGame()) StartNetworkMission();

        Game_MissionStart();
        Seam_World().bspCacheReset();

        if (!IsNetworkGame()) {
            RunCameraStep();
            Seam_Render().setPalette();
            Seam_Render().setDriverBlackIndex(g.blackIndex);
            g.simulationStarted = true;
            Seam_Cockpit().forceFeedbackEnable(true);
            Clock_Resume();
        } else {
            Seam_Net().playPhaseStart();
        }

        g.frameHook = StartingFrameHook;
        while (Game_GetState() == kStateRun && !app.quit) g.frameHook();

        const int32_t ended = EndMission();
        Game_MissionTeardown();

        if (app.noShell || ended == kStateLoadGame || ended == kStateLoadPath || ended == kStateQuit) continue;
        Seam_Shell().setScreenMode(1);
        Seam_Shell().playerDefRead();
    }
}

void Game_Frame() {
    AppGlobals& app = App_Globals();
    RenderSeam& render = Seam_Render();
    const bool network = IsNetworkGame();

    if (Clock_GetFrameCount() == 20) render.saveGraphicOptions(false);
    if (TimeLimitStopsFrame()) return;
    if (render.driverWasShutDown()) Error_Fatal("ERROR, Device_Set_ShutDown has been called");
    Clock_Tick();
    Seam_Cockpit().inputRead();

    if (!app.active || (static_cast<uint32_t>(app.screenMode) & kScreenModesHidingView)) {
        Game_InactiveFrame(app.active);
        return;
    }

    Plat_SetThreadPriority(THREAD_PRIORITY_HIGHEST);
    if (!Game_IsPaused()) Seam_World().collisionProcessFrame();
    Seam_Cockpit().gameKeyProcess();
    PhaseHook_FrameAll();
    if (network && !Seam_Net().poll()) Game_SetState(kStateShell);
    if (!Game_IsPaused()) Seam_Ai().missionTick();
    Game_Simulate();
    Game_PostUpdate();
    if (network) Seam_Objects().sendNetUpdates();
    render.animTexUpdate();

    Plat_SetThreadPriority(THREAD_PRIORITY_NORMAL);
    Seam_Audio().audioUpdate();

    if (static_cast<uint32_t>(app.screenMode) == kScreenModeGameView) {
        Plat_SetPriorityClass(REALTIME_PRIORITY_CLASS);
        Game_RenderFrame(render.mainView());
        Plat_SetPriorityClass(NORMAL_PRIORITY_CLASS);
        Plat_SetThreadPriority(THREAD_PRIORITY_NORMAL);
    } else {
        // No world is drawn in this screen mode: what the simulation queued goes with the frame.
        render.renderQueueReset();
    }

    render.cameraTargetDisplay();
    render.terrainExposureClear();
    Seam_World().entityPairsReset();
    App_PumpMessage();
}

void Game_Simulate() {
    const float dt = Clock_GetFrameTime();
    WorldSeam& world = Seam_World();
    ObjectsSeam& objects = Seam_Objects();
    CockpitSeam& cockpit = Seam_Cockpit();
    if (Game_IsPaused()) {
        if (world.entitiesGetUser()) objects.stepUserObject(dt);
        world.classfncPurge();
        RunCameraStep();
        objects.gameObjectUpdateGrid();
        objects.scrapRefreshGrid();
        objects.gameObjectRevealAll();
        cockpit.sightPausedStep(dt);
    } else {
        world.classfncUpdateAll();
        if (world.animObjActiveCount() > 0) world.animObjStep();
        world.classfncPostUpdateAll();
        RunCameraStep();
        objects.gameObjectUpdateGrid();
        objects.scrapRefreshGrid();
        objects.gameObjectUpdateVisibility();
        PhaseHook_SimulateAll(dt);
    }
    cockpit.hudStep(cockpit.cameraViewState(), dt);
}

void Game_PostUpdate() {
    if (Game_IsPaused()) return;
    const float dt = Clock_GetFrameTime();
    WeaponsSeam& weapons = Seam_Weapons();
    Seam_World().collisionTransformAll();
    weapons.weaponUpdateAll(dt);
    weapons.ordnanceUpdateAll(dt);
    weapons.weaponUpdateAllSecond(dt);
    if (IsNetworkGame()) weapons.ordnanceNetPass();
    weapons.ordnanceLastPass(dt);
}

void Game_InactiveFrame(bool active) {
    if (IsNetworkGame()) {
        Game_NetBackgroundFrame();
        Plat_Sleep(20);
    } else if (active) {
        Seam_Shell().refreshScreenState();
        Seam_Audio().audioUpdate();
        Game_DrawPausedScreen();
    } else {
        Plat_Sleep(16);
    }
    App_PumpMessage();
}

void Game_NetBackgroundFrame() {
    const int32_t state = Game_GetState();
    if (state == kStateRun) {
        if (TimeLimitStopsFrame()) return;
        Clock_Tick();
        if (!Game_IsPaused()) Seam_World().collisionProcessFrame();
        PhaseHook_FrameAll();
    }
    if (!Seam_Net().poll()) Game_SetState(kStateShell);
    if (state != kStateRun) return;
    if (!Game_IsPaused()) Seam_Ai().missionTick();
    Game_Simulate();
    Game_PostUpdate();
    Seam_Objects().sendNetUpdates();
    Seam_Render().animTexUpdate();
    Seam_Audio().audioUpdate();
    Seam_World().entityPairsReset();
    // Nothing is drawn in this frame: what the simulation queued for drawing goes with it.
    Seam_Render().renderQueueReset();
    Seam_Render().terrainExposureClear();
}

void Game_DrawPausedScreen() {
    RenderSeam& render = Seam_Render();
    const int sprite = render.spriteFind("<<< PAUSED >>>");
    const PlatRect clip = render.screenClip();
    const int cx = (clip.left + clip.right) / 2;
    const int cy = (clip.top + clip.bottom) / 2;
    const bool hardware = IsHardwareDriver();
    if (hardware && !render.beginScene()) {
        // A lost device draws nothing; presenting runs its reset.
        render.driverPresent();
        return;
    }
    if (!hardware && !render.lockFrame()) return;
    const float bias = render.getDepthBias();
    render.setDepthBias(bias + 0.1f);
    render.fillRect(cx - 100, cy - 8, cx + 100, cy + 8, 0);
    render.setSingleColourIndex(Game_PausedBannerColour(Plat_Milliseconds()));
    render.setDepthBias(bias);
    render.spriteDraw(sprite, cx, cy, kPausedBannerFlags);
    if (hardware) {
        render.endScene();
    } else {
        render.unlockFrame();
    }
    render.driverPresent();
}

void Game_RenderFrame(RenderView* view) {
    RenderSeam& render = Seam_Render();
    WorldSeam& world = Seam_World();
    CockpitSeam& cockpit = Seam_Cockpit();
    const bool hardware = IsHardwareDriver();

    if (!render.presentForbidden()) render.driverPresent();
    render.renderStatsReset();
    // A lost device draws nothing until it is reset.
    if (hardware ? !render.beginScene() : !render.lockFrame()) return;
    render.setHeadingMatrix(view);

    const int viewState = cockpit.cameraViewState();
    EntityTableRecord* user = world.entitiesGetUser();
    if (viewState != 9) {
        const bool clearOnly = viewState == 3 || viewState == 10 || (hardware && world.terrainTypeMapPending());
        if (clearOnly) {
            render.clearBackground(view);
        } else {
            world.skyDraw(view, kSkyColour, Seam_Shell().playerDef()[kPlayerDefSkyDetail]);
        }
        world.terrainDraw(view);
        if (viewState == 3) {
            world.entitiesDrawSelected(view);
        } else if (viewState != 10) {
            world.entitiesDrawWorld(view, cockpit.cameraOwnEntitySwitch() ? user : nullptr);
        }
        if (viewState != 10) {
            Seam_Weapons().ordnanceRenderAll(view);
            world.shadowsDraw(view);
            PhaseHook_RenderAll(view);
        }
    }
    render.renderQueueFlush();

    const bool drawOwn = user && cockpit.cameraInsideViewSwitch() && cockpit.cameraOwnEntitySwitch();
    if (drawOwn) world.entitiesDrawSingle(view, user);
    if (!hardware) cockpit.insetViewsRender();
    if (!hardware) {
        render.lineDoublingRestore();
        PhaseHook_OverlayAll();
        if (Shake_IsActive()) Shake_Apply(view);
        if (cockpit.hudIsOn()) {
            if (cockpit.radarIsOn()) {
                cockpit.radarDrawFrame();
                cockpit.radarDrawSweep();
            }
            cockpit.hudDrawLayer();
        }
    } else {
        if (cockpit.hudIsOn()) {
            if (cockpit.radarIsOn()) {
                if (render.hardwareMode() == 1) {
                    cockpit.radarDrawFrame();
                    render.endScene();
                    if (render.lockBackBuffer()) {
                        cockpit.radarDrawSweep();
                        render.unlockBackBuffer();
                    }
                    render.beginScene();
                } else {
                    // The radar's frame sprites draw in every hardware radar kind, not only the one
                    // that steps the sweep into the locked back buffer.
                    cockpit.radarDrawFrame();
                    cockpit.radarDrawSweep();
                }
            }
            cockpit.hudDrawLayer();
        }
        PhaseHook_OverlayAll();
    }
    Game_UpdateFpsCounter();
    render.renderStatsDraw();
    Seam_Shell().messageWindowsDraw();
    Seam_Core().textFieldDrawAll();
    if (IsNetworkGame()) Seam_Net().drawScoreboard();
    if (hardware) {
        Seam_Net().drawStatsGraph();
        render.endScene();
    } else {
        render.unlockFrame();
    }
}

void Game_InitFpsCounter() {
    RenderSeam& render = Seam_Render();
    FpsCounter& fps = Game_Globals().fps;
    fps.black = render.paletteFindNearest(0.0f, 0.0f, 0.0f);
    fps.white = render.paletteFindNearest(1.0f, 1.0f, 1.0f);
    fps.fontHeight = render.fontHeight();
    fps.frames = 0;
    fps.lastTime = Plat_Milliseconds();
    const std::string file = Plat_ProfilePath("render.cfg");
    fps.draw = Plat_IniGetInt("Debug", "TrackFPS", fps.draw ? 1 : 0, file.c_str()) != 0;
    fps.rate = 1000.0f;
    FormatFpsText(fps);
}

void Game_UpdateFpsCounter() {
    RenderSeam& render = Seam_Render();
    FpsCounter& fps = Game_Globals().fps;
    ++fps.frames;
    const uint32_t now = Plat_Milliseconds();
    const uint32_t elapsed = now - fps.lastTime;
    if (elapsed > 1000) {
        fps.rate = static_cast<float>(fps.frames) * 1000.0f / static_cast<float>(elapsed);
        fps.frameTimeMs = 1000.0f / fps.rate;
        fps.frames = 0;
        fps.lastTime = now;
        if (fps.draw) FormatFpsText(fps);
    }
    if (!fps.draw) return;
    const PlatRect clip = render.screenClip();
    const float bias = render.getDepthBias();
    render.setDepthBias(0.1f);
    const int left = clip.right - fps.textWidth;
    render.fillRect(left, clip.top, clip.right, clip.top + fps.fontHeight + 4, fps.black);
    render.drawText(left + 2, clip.top + 2, fps.text, fps.white);
    render.setDepthBias(bias);
}
