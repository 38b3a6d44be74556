#include "core/app.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/cmdline.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/exitcodes.h"
#include "core/game.h"
#include "core/phasehook.h"
#include "core/filesys.h"
#include "core/registration.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "core/seams/shell.h"
#include "core/sysprobe.h"
#include "core/textentry.h"
#include "platform/clock.h"
#include "platform/exit.h"
#include "platform/instance.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "platform/system.h"

namespace {

AppGlobals g_app;
int32_t g_gameState = 0;
constexpr size_t kMemoryProbeSize = 0x1E00000;  // 30 MB
constexpr const char* kInstanceLockName = "gravenholt.lock";
constexpr const char* kOutOfMemoryText =
    "Sorry, there is not enough memory to continue.\n"
    "Please make sure that you have at least 50MB free on your hard drive and that virtual memory is not disabled.";

void PlayMovie(const char* name) {
    AudioSeam& audio = Seam_Audio();
    if (!audio.movieOpen(name)) return;
    PlatRect client;
    Plat_GetClientRect(g_app.mainWindow, &client);
    Plat_SetFocus(g_app.mainWindow);
    Plat_CaptureMouse(g_app.mainWindow, true);
    audio.moviePlay(client);
    Plat_SetThreadPriority(THREAD_PRIORITY_LOWEST);
    g_app.screenMode = 32;
    while (audio.movieIsPlaying() && !g_app.quit) {
        if (!App_PumpMessage()) Plat_Sleep(1);
    }
}

void PlayClosingMovie(const char* name) {
    AudioSeam& audio = Seam_Audio();
    audio.audioShutdown();
    PlayMovie(name);
    App_ResetDriverMode(Seam_Render().blackIndex());
    Plat_SetThreadPriority(THREAD_PRIORITY_NORMAL);
    Plat_CaptureMouse(g_app.mainWindow, false);
    audio.audioInit(g_app.mainWindow);
}

void ReleaseWorkBuffers() {
    Plat_FreePages(g_app.smallWorkBuffer, kSmallWorkBufferSize);
    Plat_FreePages(g_app.workBuffer, kWorkBufferSize);
    g_app.smallWorkBuffer = nullptr;
    g_app.workBuffer = nullptr;
}

void Shutdown() {
    ShellSeam& shell = Seam_Shell();
    CockpitSeam& cockpit = Seam_Cockpit();
    AudioSeam& audio = Seam_Audio();
    RenderSeam& render = Seam_Render();
    // 1-2: give the system its settings back; the task bar needs nothing here.
    shell.restoreMouseSettings();
    shell.restoreSystemSettings();
    cockpit.mouseRelease();
    audio.cdRestoreVolume();
    // 3
    PhaseHook_RunShutdown();
    // 4
    audio.movieDeviceClose();
    render.freeSprites();
    // 5
    ReleaseWorkBuffers();
    // 6
    render.freeFonts();
    // 7
    Data_Close();
    render.saveGraphicOptions(true);
    cockpit.forceFeedbackClose();
    shell.playerDefFree();
    // 8
    Plat_StrTableDestroy(g_app.messageTable);
    g_app.messageTable = nullptr;
    // 9
    App_CloseDisplay();
    DebugScreen_Reset();
    Plat_ReleaseInstanceLock();
}

[[noreturn]] void ProfileDirFailure(const char* what, const char* reason) {
    char text[1024];
    std::snprintf(text, sizeof text, "The profile directory \"%s\" cannot be %s: %s", Plat_ProfileDir().c_str(), what,
                  reason);
    Plat_StrTableDestroy(g_app.messageTable);
    g_app.messageTable = nullptr;
    Plat_MessageBox(0, text, "Gravenholt", MB_ICONERROR);
    Plat_Exit(kExitProfileDir);
}

bool InGame() { return g_app.inGame; }

void OnActivateApp(WindowHandle window, bool becomingActive) {
    ShellSeam& shell = Seam_Shell();
    CockpitSeam& cockpit = Seam_Cockpit();
    bool network = Seam_Net().isNetworkGame();
    if (becomingActive) {
        if (g_app.active) return;
        g_app.active = true;
        if (g_app.fullScreen) Plat_ShowWindow(window, SW_RESTORE);
        if (InGame()) {
            Plat_SetFocus(window);
            if (!network) {
                Seam_Audio().cdResume();
                Clock_Resume();
            }
            if (g_app.screenMode == 16) shell.refreshMenu();
            cockpit.keyboardClearState();
            if (g_app.screenMode == 1) {
                cockpit.forceFeedbackEnable(true);
                cockpit.mouseCapture();
            }
        } else if (g_app.savedFocus) {
            Plat_SetFocus(g_app.savedFocus);
        }
        return;
    }
    g_app.active = false;
    g_app.savedFocus = Plat_GetFocus();
    if (g_app.fullScreen) Plat_ShowWindow(window, SW_MINIMIZE);
    if (InGame()) {
        if (!network) {
            Seam_Audio().cdPause();
            Clock_Pause();
        }
        Plat_SetPriorityClass(NORMAL_PRIORITY_CLASS);
        Plat_SetThreadPriority(THREAD_PRIORITY_NORMAL);
        if (g_app.screenMode == 1) {
            cockpit.forceFeedbackEnable(false);
            cockpit.mouseRelease();
        }
    }
}

const char* MessageName(uint32_t message) {
    switch (message) {
        case WM_ACTIVATE: return "WM_ACTIVATE";
        case WM_SETFOCUS: return "WM_SETFOCUS";
        case WM_KILLFOCUS: return "WM_KILLFOCUS";
        case WM_ACTIVATEAPP: return "WM_ACTIVATEAPP";
        case WM_CHAR: return "WM_CHAR";
        case WM_SYSKEYDOWN: return "WM_SYSKEYDOWN";
        case WM_SYSKEYUP: return "WM_SYSKEYUP";
        case WM_SYSCHAR: return "WM_SYSCHAR";
        default: return nullptr;
    }
}

}  // namespace

AppGlobals& App_Globals() { return g_app; }

void App_ReleaseResources() {
    ReleaseWorkBuffers();
    Plat_StrTableDestroy(g_app.messageTable);
    g_app.messageTable = nullptr;
    Plat_ReleaseInstanceLock();
}
int32_t Game_GetState() { return g_gameState; }
void Game_SetState(int32_t state) { g_gameState = state; }

const char* App_Text(const char* english) {
    return g_app.messageTable ? Plat_StrTableFind(g_app.messageTable, english) : english;
}

int App_Main(const char* commandLine) {
    Registration_Init();  // every registry, from its ordered table, before anything else runs
    // 1. The floating-point exceptions stay masked: unmasking them would turn harmless NaNs
    // inside libraries into crashes.
    App_ReleaseResources();
    g_app = AppGlobals{};
    g_gameState = 0;
    // 2
    g_app.messageTable = Plat_StrTableCreate("lang.txt");
    // 3. Another copy: a window of ours in this process, or the lock held by another process.
    if (WindowHandle other = Plat_FindWindow(kAppClassName)) {
        Plat_ShowWindow(other, SW_RESTORE);
        Plat_StrTableDestroy(g_app.messageTable);
        g_app.messageTable = nullptr;
        return 0;
    }
    // Everything the game writes goes to the profile directory: a player who names a new one
    // gets it made; one that cannot be made or written ends the start with the reason.
    std::string reason;
    if (!Plat_PrepareProfileDir(&reason)) ProfileDirFailure("created", reason.c_str());
    if (!Plat_AcquireInstanceLock(kInstanceLockName)) {
        if (int error = Plat_InstanceLockError()) ProfileDirFailure("written", std::strerror(error));
        Plat_StrTableDestroy(g_app.messageTable);
        g_app.messageTable = nullptr;
        return 0;
    }
    // 4
    void* probe = Plat_AllocPages(kMemoryProbeSize);
    if (!probe) {
        Plat_MessageBox(0, App_Text("Not Enough Swap File Space"), "Gravenholt", MB_ICONERROR);
        Plat_Exit(151);
    }
    Plat_FreePages(probe, kMemoryProbeSize);
    // 5
    Sys_GetMemoryStatus(nullptr);
    DebugScreen_Reset();
    // 6. The parser reports a missing command line itself.
    CmdLine_ResetGlobals();
    std::string kept = commandLine ? std::string(commandLine).substr(0, 255) : std::string();
    char mapName[256] = {};
    CmdLine_Parse(commandLine ? kept.c_str() : nullptr, mapName, sizeof mapName);
    CmdLineGlobals& switches = CmdLine_Globals();
    g_app.noShell = !switches.mapName.empty();
    switches.noShell = g_app.noShell;
    g_app.fullScreen = switches.fullScreen;
    g_app.driverKind = switches.driverKind;
    g_app.gameSetup = switches.gameSetup;
    // The command line's load request waits for the first pass; the live flag starts clear.
    g_app.loadRequestAside = switches.loadRequested;
    switches.loadRequested = false;
    // 7
    Random_Seed(Random_StartSeed());
    // 8
    ShellSeam& shell = Seam_Shell();
    RenderSeam& render = Seam_Render();
    CockpitSeam& cockpit = Seam_Cockpit();
    AudioSeam& audio = Seam_Audio();
    render.initBrightness();
    shell.playerDefRead();
    shell.copyStartupText();
    if (switches.forceFeedback) cockpit.forceFeedbackStart();
    // 9
    Plat_RegisterClass(kAppClassName, App_WindowProc);
    // 10
    g_app.workBuffer = static_cast<uint8_t*>(Plat_AllocPages(kWorkBufferSize));
    g_app.smallWorkBuffer = static_cast<uint8_t*>(Plat_AllocPages(kSmallWorkBufferSize));
    if (!g_app.workBuffer || !g_app.smallWorkBuffer) {
        ReleaseWorkBuffers();
        Error_Fatal("Unable Allocate Virtual Memory, aborting Program...");
    }
    // 11
    render.readGraphicOptions();
    if (!render.chooseDriver(kAppClassName) || !render.driverInitialise(0))
        Error_Fatal("Gravenholt Init_Graphic_System");
    // 12. The driver choice may have fallen back to software: the archive index follows the
    // driver in use.
    const uint32_t displayFlags = render.displayFlags();
    g_app.driverKind = (displayFlags & kDisplayHardware) ? 1 : 0;
    FileSys_Start(displayFlags);
    Lang_Detect();
    render.loadFonts();
    render.loadSprites();
    shell.setupFont();
    cockpit.buildKeyNames();
    cockpit.mouseCapture();
    shell.saveMouseSettings();
    audio.cdSaveVolume();
    // 13
    audio.movieDeviceOpen();
    if (!switches.noIntro) {
        PlayMovie("intro.avi");
        Plat_SetThreadPriority(THREAD_PRIORITY_NORMAL);
    }
    // 14: the task bar needs nothing on this platform.
    // 15
    Game_SetState(5);
    shell.setScreenMode(1);
    shell.playerDefRead();
    if (switches.startInEditor) shell.playerDef()[88] |= 1;
    shell.resetScreenMode();
    // 16
    PhaseHook_RegisterAll();
    PhaseHook_RunStartup();
    audio.audioInit(g_app.mainWindow);
    // 17
    Game_OuterLoop();
    Shutdown();
    return g_app.exitCode;
}

LResult App_WindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    // 1
    if (message == WM_SYSKEYDOWN) {
        if (wParam == static_cast<WParam>(VK_RETURN) && g_app.driverKind == 1) {
            g_app.fullScreen = !g_app.fullScreen;
            Seam_Render().driverInitialise(g_app.inGame ? 1 : 0);
        } else if (wParam == static_cast<WParam>(VK_ESCAPE) || wParam == static_cast<WParam>(VK_SPACE)) {
            return 0;
        }
    }
    // 2
    if (const char* name = MessageName(message))
        Debug_Trace("%s: hWnd(%x) wParam(%llx) lParam(%llx)\n", name, window,
                    static_cast<unsigned long long>(wParam), static_cast<unsigned long long>(lParam));
    // 3
    if (message == WM_GAME_START) {
        Game_SetState(5);
        return Plat_DefWindowProc(window, message, wParam, lParam);
    }
    // 4
    if (Game_GetState() == 6) return Seam_Shell().modalProc(window, message, wParam, lParam);
    // 5
    if (message >= WM_KEYFIRST && message <= WM_KEYLAST) {
        if (g_app.inGame) {
            if (g_app.screenMode != 2) {
                if (TextField* field = TextField_GetFocused())
                    TextField_HandleKey(field, message, wParam);
                else
                    Seam_Cockpit().keyboardOnMessage(message, wParam, lParam);
            } else if (message == WM_KEYDOWN && wParam == static_cast<WParam>(VK_PAUSE)) {
                Seam_Shell().inGameMenuKey(message, wParam, lParam);
            }
            return 0;
        }
        if (message == WM_KEYDOWN && wParam == static_cast<WParam>(VK_SPACE)) Seam_Shell().stopSound();
        if (message == WM_KEYDOWN && wParam == static_cast<WParam>(VK_ESCAPE) && g_app.screenMode == 32 &&
            Seam_Audio().movieIsPlaying()) {
            Seam_Audio().movieClose();
            g_app.screenMode = 1;
        }
    }
    // 6
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && g_app.inGame) {
        Seam_Cockpit().mouseOnMessage(message, wParam, lParam);
        return 0;
    }
    switch (message) {
        case WM_ACTIVATEAPP:  // 7
            OnActivateApp(window, wParam != 0);
            return 0;
        case WM_SETCURSOR:  // 8
            Seam_Shell().selectSavedCursor();
            return 0;
        case WM_PALETTECHANGED:
            return static_cast<WindowHandle>(wParam) == window ? 0 : 1;
        case WM_QUERYNEWPALETTE:
            return 1;
        case MM_MCINOTIFY:  // 9
            Seam_Audio().movieNotify(wParam, lParam);
            g_app.screenMode = 1;
            return 0;
        case WM_CREATE:  // 10
            Error_SetWindow(window);
            g_app.mainWindow = window;
            return 0;
        case WM_DESTROY:
            Game_SetState(2);
            return 0;
        case WM_CLOSE:
            // A close during a movie ends the movie too, so the program does not wait it out.
            if (g_app.screenMode == 32 && Seam_Audio().movieIsPlaying()) Seam_Audio().movieClose();
            Game_SetState(10);
            return 0;
        case WM_SIZE:  // 11
            if (!g_app.switchingModes) {
                PlatRect outer, inner;
                if (Plat_GetWindowRect(window, &outer) && Plat_GetClientRect(window, &inner)) {
                    g_app.frameWidth = (outer.right - outer.left) - (inner.right - inner.left);
                    g_app.frameHeight = (outer.bottom - outer.top) - (inner.bottom - inner.top);
                }
                if (wParam == SIZE_RESTORED) Seam_Render().driverResize();
            }
            return 0;
        case WM_ACTIVATE:  // 12
            if (!g_app.inGame) return 0;
            break;
        case WM_SETFOCUS:
            Seam_Cockpit().keyboardClearState();
            return 0;
        case WM_PAINT:  // 13
            if (g_app.loading) return 0;
            if (g_app.inGame) {
                if (g_app.active && (g_app.screenMode & 0x3E)) Seam_Render().driverPresent();
                return 0;
            }
            break;
        default:
            break;
    }
    // 14
    return Plat_DefWindowProc(window, message, wParam, lParam);
}

int App_PumpMessage() {
    if (g_app.quit) return 0;
    PlatMsg msg;
    if (!Plat_PeekMessage(&msg, true)) return 0;
    if (msg.message == WM_QUIT && msg.window != 0) {
        g_app.quit = true;
        g_app.exitCode = static_cast<int32_t>(msg.wParam);
        return 1;
    }
    Plat_TranslateMessage(&msg);
    Plat_DispatchMessage(&msg);
    return 1;
}

void App_PumpAllMessages() {
    PlatMsg msg;
    while (Plat_PeekMessage(&msg, true)) {
        Plat_TranslateMessage(&msg);
        Plat_DispatchMessage(&msg);
    }
}

void App_OutOfMemory(const char* text) {
    App_CloseDisplay();
    Plat_MessageBox(0, text ? text : kOutOfMemoryText, "Gravenholt", MB_ICONERROR);
    Plat_Exit(107);
}

void App_StartFailure(const char* text, int exitCode) {
    App_CloseDisplay();
    Plat_MessageBox(0, text ? text : "", "Gravenholt", MB_ICONERROR);
    Plat_Exit(exitCode);
}

void App_CloseDisplay() {
    Seam_Cockpit().inputClose();
    Seam_Audio().audioShutdown();
    if (g_app.mainWindow) {
        Seam_Render().driverRelease();
        WindowHandle window = g_app.mainWindow;
        g_app.mainWindow = 0;
        Plat_DestroyWindow(window);
        Seam_Shell().restoreMouseSettings();
        Seam_Audio().cdRestoreVolume();
    }
}

void App_ResetDriverMode(int value) {
    Seam_Render().driverSetMode(value);
    Seam_Render().driverPresent();
}

void App_PlayCredits() { PlayClosingMovie("credits.avi"); }
void App_PlayOutro() { PlayClosingMovie("outro.avi"); }
