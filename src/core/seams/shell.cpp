#include "core/seams/shell.h"

#include <cstdio>

#include "core/cmdline.h"
#include "core/seams/registry.h"

#include "core/app.h"
#include "core/exitcodes.h"
#include "core/game.h"
#include "core/savegame.h"
#include "core/sysprobe.h"

namespace {

// PENDING(11.102) the player settings record and the shell services (their own Parts) replace these stand-ins.
// The stand-in record carries the settings' own defaults, so the game is seen and heard as a
// new player's would be before the record is read: the option block (resolution, sky, cockpit,
// shadow, terrain and object detail, brightness), the sound bytes (CD, effects and voice
// volumes, sound channels, stereo), the flags (automatic levelling, target lead), the mouse and
// joystick sensitivities and the difficulty.
struct StandInRecord {
    uint8_t bytes[116] = {};
    StandInRecord() {
        PlayerDef_GetDefaults(bytes + kPlayerDefModeByte);
        bytes[80] = 2, bytes[81] = 8, bytes[82] = 10, bytes[83] = 8, bytes[84] = 1;
        bytes[kPlayerDefFlags] = 0x30;
        bytes[96] = 3, bytes[100] = 5, bytes[kPlayerDefDifficulty] = 2;
    }
} g_playerDef;
void Nothing() {}
uint8_t* PlayerDefRecord() { return g_playerDef.bytes; }
void SetScreenMode(int mode) { App_Globals().screenMode = mode; }
void NothingInt(int) {}
bool NotPlaying() { return false; }
LResult ModalProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    return Plat_DefWindowProc(window, message, wParam, lParam);
}
void NothingMessage(uint32_t, WParam, LParam) {}

ShellSeam MakeDefault() {
    ShellSeam seam{};
    seam.playerDefRead = Nothing;
    seam.playerDefWrite = Nothing;
    seam.playerDefFree = Nothing;
    seam.playerDef = PlayerDefRecord;
    seam.copyStartupText = Nothing;
    seam.setupFont = Nothing;
    seam.saveMouseSettings = Nothing;
    seam.restoreMouseSettings = Nothing;
    seam.restoreSystemSettings = Nothing;
    seam.setScreenMode = SetScreenMode;
    seam.setCursor = NothingInt;
    seam.selectSavedCursor = Nothing;
    seam.isSoundPlaying = NotPlaying;
    seam.stopSound = Nothing;
    seam.refreshMenu = Nothing;
    seam.refreshScreenState = Nothing;
    seam.modalProc = ModalProc;
    seam.inGameMenuKey = NothingMessage;
    seam.resetScreenMode = [] { App_Globals().screenMode = 1; };
    seam.pauseToggle = Nothing;
    seam.saveScreenshot = Nothing;
    // PENDING(11.121) until the front end exists, its menu starts the sample mission (or the
    // map already chosen) straight away, unless the window was closed meanwhile. With no menu to
    // go back to, a mission that failed to load ends the program instead of being retried.
    seam.mainMenu = [] {
        if (Game_GetState() == 10) return 0;
        if (SaveGame_Globals().lastLoadFailed) {
            App_Globals().exitCode = kExitLoadFailed;
            Game_SetState(10);
            return 0;
        }
        CmdLineGlobals& switches = CmdLine_Globals();
        if (switches.mapName.empty()) switches.mapName = "sample.qmn";
        Game_SetState(5);
        return 0;
    };
    // PENDING(11.126) until the end screens exist, the result is told in one line.
    seam.failureScreen = [] {
        std::fputs("Mission lost\n", stdout);
        std::fflush(stdout);
    };
    seam.successScreen = [] {
        std::fputs("Mission won\n", stdout);
        std::fflush(stdout);
    };
    seam.setInGameScreenState = [] { App_Globals().inGame = true; };
    seam.messageWindowsSetup = Nothing;           // PENDING(11.104)
    seam.messageWindowsDraw = Nothing;            // PENDING(11.104)
    seam.messageWindowsFree = Nothing;            // PENDING(11.104)
    return seam;
}

}  // namespace

ShellSeam& Seam_Shell() { return SeamTableInstance<ShellSeam, MakeDefault>(); }
void ShellSeam_ResetStandInRecord() { g_playerDef = StandInRecord{}; }

namespace {
const SeamRegistration<ShellSeam, MakeDefault> kRegistration("ShellSeam");
}  // namespace
