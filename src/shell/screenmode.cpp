#include "shell/screenmode.h"

#include <cstdio>

#include "core/app.h"
#include "core/clock.h"
#include "core/inputsinks.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "audio/audiosys.h"
#include "core/seams/shell.h"
#include "interface/gamekeys.h"
#include "platform/paths.h"
#include "render/graphicdriver.h"
#include "render/picture.h"

namespace {

int32_t g_returnMode = kScreenModeGame;
int32_t g_shotCounter = 0;

// The sound layer stops every sound (keeping those that survive a pause) and starts them again.
void SuspendSounds(bool suspend) {
    if (suspend) AudioSys_PauseAll();
    else AudioSys_ResumeAll();
}

}  // namespace

int Screen_ToggleMode(int mode) {
    AppGlobals& app = App_Globals();
    const int previous = app.screenMode;
    app.screenMode = mode == previous ? kScreenModeGame : mode;
    return previous;
}

void Screen_ResetMode() {
    App_Globals().screenMode = kScreenModeGame;
    g_returnMode = kScreenModeGame;
}

int Screen_ReturnMode() { return g_returnMode; }

void Pause_Toggle() {
    CockpitSeam& cockpit = Seam_Cockpit();
    if (App_Globals().screenMode == kScreenModePaused) {
        if (g_returnMode == kScreenModeGame) {
            cockpit.mouseCapture();
            SuspendSounds(false);
            Seam_Audio().cdResume();
            Clock_Resume();
            cockpit.forceFeedbackEnable(true);
        }
        Screen_ToggleMode(g_returnMode);
        return;
    }
    // Only the game view holds the mouse and the forces; another view has let them go already.
    if (App_Globals().screenMode == kScreenModeGame) {
        cockpit.mouseRelease();
        SuspendSounds(true);
        Seam_Audio().cdPause();
        Clock_Pause();
        cockpit.forceFeedbackEnable(false);
    }
    g_returnMode = Screen_ToggleMode(kScreenModePaused);
}

int Pause_HandleKey() {
    const uint16_t code = InputKeyEvent;
    if (!code) return 0;
    if (GameKey_Translate(code) == kGameKeyPauseGame) {
        Pause_Toggle();
        InputKeyEvent = 0;
        return 0;
    }
    return code;
}

void Screen_HandleModeKeys() {
    switch (App_Globals().screenMode) {
        case kScreenModePaused: Pause_HandleKey(); break;
        case 4:
        case 8:
            if (InputKeyEvent) GameKey_Process();
            break;
        default: break;
    }
}

std::string Screen_CaptureToPcx(const GraphicBuffer* screen, const uint8_t palette[768]) {
    if (!screen || !screen->pixels) return {};
    // Numbers already taken (by this run or an earlier one) are skipped, so nothing is lost.
    std::string path;
    for (;;) {
        char name[32];
        std::snprintf(name, sizeof name, "SCR%04d.pcx", static_cast<int>(g_shotCounter));
        path = Plat_ProfilePath(name);
        if (!Plat_FileExists(path) || g_shotCounter == INT32_MAX) break;
        ++g_shotCounter;
    }
    if (g_shotCounter < INT32_MAX) ++g_shotCounter;
    const bool written = Picture_Write(path.c_str(), screen, palette) == 1;
    Plat_ForgetDirectoryCache();
    return written ? path : std::string();
}

// The picture is the frame as the window shows it, edges mended.
void Screen_SaveScreenshot() {
    Graphic_MendEdges(g_graphicDriver.screen);
    Screen_CaptureToPcx(&g_graphicDriver.screen, g_graphicDriver.palette);
}

void Screen_SetShotCounter(int32_t counter) { g_shotCounter = counter; }
int32_t Screen_ShotCounter() { return g_shotCounter; }

void Shell_InstallScreenModes() {
    ShellSeam& seam = Seam_Shell();
    seam.setInGameScreenState = [] {
        App_Globals().inGame = true;
        Screen_ResetMode();
    };
    seam.refreshScreenState = Screen_HandleModeKeys;
    seam.inGameMenuKey = [](uint32_t, WParam, LParam) { Pause_Toggle(); };
    seam.resetScreenMode = Screen_ResetMode;
    seam.pauseToggle = Pause_Toggle;
    seam.saveScreenshot = Screen_SaveScreenshot;
}

void ScreenModes_Reset() {
    g_returnMode = kScreenModeGame;
    g_shotCounter = 0;
}
