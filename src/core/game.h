// The outer game-state loop and the frame.
//
// One pass of the loop shows the front-end shell, sets every subsystem up for a mission, loads
// the mission or saved game, runs frames while the state stays 5, shows the end screen and
// tears every subsystem down again.
#pragma once
#include <cstdint>

struct RenderView;

// Game states (Game_GetState / Game_SetState).
constexpr int32_t kStateFailed = 0;
constexpr int32_t kStateWon = 1;
constexpr int32_t kStateShell = 2;
constexpr int32_t kStateRun = 5;
constexpr int32_t kStateModalShell = 6;
constexpr int32_t kStateLoadGame = 7;    // load the map name the shell set
constexpr int32_t kStateLoadPath = 9;    // load whatever the load path names
constexpr int32_t kStateQuit = 10;
constexpr int32_t kStateFailedToo = 11;  // handled like 0

// PlayerDef places the loop reads and writes.
constexpr int kPlayerDefModeByte = 64;      // the display mode the mission starts the driver with
constexpr int kPlayerDefSkyDetail = 65;
constexpr int kPlayerDefFlags = 88;         // 32-bit; bit 0 the single-player pause
constexpr int kPlayerDefDifficulty = 104;   // 32-bit; kept across a load

struct FpsCounter {
    int black = 0;
    int white = 0;
    int fontHeight = 0;
    uint32_t frames = 0;
    uint32_t lastTime = 0;
    bool draw = false;    // "TrackFPS" of section "Debug" in "render.cfg"
    float rate = 1000.0f; // the shown value
    float frameTimeMs = 1.0f;
    char text[64] = {};
    int textWidth = 0;
};

// The map name, the load path (the file the next pass loads) and the live load flag are the
// command line's values (CmdLine_Globals), which the shell and the saved-game code change too;
// the kept load flag, restored before each load, is App_Globals().loadRequestAside.
struct GameGlobals {
    void (*frameHook)() = nullptr;
    bool simulationStarted = false;
    bool missionRunning = false;
    float netTimeLimit = 0.0f;  // seconds of elapsed clock time
    bool netTimeLimitArmed = false;
    int blackIndex = 0;
    FpsCounter fps;
};

GameGlobals& Game_Globals();

// Runs the outer loop; returns when the program must shut down.
void Game_OuterLoop();

void Game_Frame();
void Game_Simulate();
void Game_PostUpdate();
void Game_InactiveFrame(bool active);
void Game_NetBackgroundFrame();
void Game_DrawPausedScreen();
void Game_RenderFrame(RenderView* view);
void Game_InitFpsCounter();
void Game_UpdateFpsCounter();
// 0 in a network game; else the pause bit of the player settings.
bool Game_IsPaused();
// out holds 9 bytes: the 8-byte id (the map name's stem up to its first '.', empty when the stem
// is longer than 8 characters), always followed by a terminator.
void Game_GetMapId(char* out);
// The same rule for any file name (the mission driver's stem).
void Game_MapIdOf(const char* fileName, char* out);

// The paused banner's colour index at a millisecond time (period 2048 ms).
int Game_PausedBannerColour(uint32_t ms);
// The set-up and start steps of a mission pass, exposed for tests.
void Game_MissionSetup();
void Game_MissionStart();
void Game_MissionTeardown();
