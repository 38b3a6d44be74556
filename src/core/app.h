// Program entry, start-up and shutdown, the main window and its procedure.
#pragma once
#include <cstdint>

#include "platform/strtable.h"
#include "platform/window.h"

// Process-wide values of the program entry; other modules reach them through App_Globals().
struct AppGlobals {
    int32_t exitCode = 0;
    bool quit = false;             // set by App_PumpMessage from a window-addressed quit
    WindowHandle mainWindow = 0;
    WindowHandle savedFocus = 0;
    bool active = false;           // the application is the active one
    bool fullScreen = true;        // cleared by the "gdi" and "win" switches
    int driverKind = 1;            // 1 hardware, 0 software ("SW")
    int screenMode = 1;            // 1 game view, 2 in-game menu, 4 map, 8/16 shell screens, 32 movie
    bool inGame = false;           // the 3-D view owns keyboard and mouse
    bool noShell = false;          // a map name stood on the command line
    bool gameSetup = false;        // "gamesetup": the network shell instead of the front end
    bool loading = false;          // from mission set-up to the end of loading
    bool loadRequestAside = false; // the command line's "load", kept for the first pass
    bool switchingModes = false;   // the display is changing modes (WM_SIZE ignored)
    int frameWidth = 0;            // window minus client rectangle
    int frameHeight = 0;
    uint8_t* workBuffer = nullptr;       // 4 MB scratch
    uint8_t* smallWorkBuffer = nullptr;  // 512 KB scratch
    PlatStrTable* messageTable = nullptr;
};

constexpr const char* kAppClassName = "Gravenholt";
constexpr uint32_t WM_GAME_START = WM_USER + 50;  // 0x432: run the mission
constexpr size_t kWorkBufferSize = 0x400000;
constexpr size_t kSmallWorkBufferSize = 0x80000;

AppGlobals& App_Globals();

// Runs the program: start-up, the outer game-state loop, shutdown. Returns the exit code.
// commandLine null means no command line at all.
int App_Main(const char* commandLine);
// Frees what an earlier run that ended through an exit left held (tests run the program many
// times in one process; a real exit leaves it to the system).
void App_ReleaseResources();
LResult App_WindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
// Takes at most one message; 0 when the quit flag is set or nothing waits.
int App_PumpMessage();
void App_PumpAllMessages();
// Closes the display and ends with 107; text null gives the standard out-of-memory text.
[[noreturn]] void App_OutOfMemory(const char* text);
// A start that cannot go on (data files missing or damaged, say): closes the display, shows the
// text in an error box captioned "Gravenholt" and ends the program with the exit code.
[[noreturn]] void App_StartFailure(const char* text, int exitCode);
void App_CloseDisplay();
void App_ResetDriverMode(int value);
void App_PlayCredits();
void App_PlayOutro();
// The message table's text for an English text.
const char* App_Text(const char* english);

int32_t Game_GetState();
void Game_SetState(int32_t state);
