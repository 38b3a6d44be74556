#include "core/seams/cockpit.h"

#include "core/seams/net.h"
#include "core/seams/registry.h"
#include "core/seams/shell.h"

namespace {

// Until the cockpit installs its input devices and force feedback, nothing happens.
void Nothing() {}
void NothingOn(bool) {}
void NothingMessage(uint32_t, WParam, LParam) {}

// PENDING(9.104) the game keys' cheat accessors; until then the cheat bits of the player
// settings' flag word (offset 88) are read directly, and none counts in a network game.
uint32_t CheatFlagsFromSettings() {
    if (Seam_Net().isNetworkGame()) return 0;
    const uint8_t* def = Seam_Shell().playerDef();
    if (!def) return 0;
    const uint32_t flags = def[88] | uint32_t(def[89]) << 8 | uint32_t(def[90]) << 16 | uint32_t(def[91]) << 24;
    return flags & 0x20E;
}

CockpitSeam MakeDefault() {
    CockpitSeam seam{};
    seam.forceFeedbackStart = Nothing;
    seam.forceFeedbackEnable = NothingOn;
    seam.forceFeedbackClose = Nothing;
    seam.buildKeyNames = Nothing;
    seam.mouseCapture = Nothing;
    seam.mouseRelease = Nothing;
    seam.inputClose = [] {};                      // PENDING(9.101)
    seam.mouseRequestReset = Nothing;
    seam.labelMapGetLabel = [](const char*, const char*, char*) { return false; };  // PENDING(9.102)
    seam.keyboardClearState = Nothing;
    seam.keyboardOnMessage = NothingMessage;
    seam.mouseOnMessage = NothingMessage;
    seam.inputInit = [] {};                       // PENDING(9.101)
    seam.inputRead = [] {};                       // PENDING(9.101)
    seam.gameKeyProcess = [] {};                  // PENDING(9.104)
    seam.hudInitAll = [] {};                      // PENDING(9.120)
    seam.hudStartAll = [] {};                     // PENDING(9.120)
    seam.hudEndAll = [] {};                       // PENDING(9.120)
    seam.hudStep = [](int, float) {};             // PENDING(9.120)
    seam.hudDrawLayer = [] {};                    // PENDING(9.120)
    seam.hudIsOn = [] { return true; };           // PENDING(9.120)
    seam.radarIsOn = [] { return false; };        // PENDING(9.122)
    seam.radarDrawFrame = [] {};                  // PENDING(9.122)
    seam.radarDrawSweep = [] {};                  // PENDING(9.122)
    seam.commandMenuReset = [] {};                // PENDING(9.121)
    seam.cameraReset = [](int) {};                // PENDING(9.105)
    seam.cameraGetStep = []() -> void (*)() { return nullptr; };  // PENDING(9.105)
    seam.cameraViewState = [] { return 0; };      // PENDING(9.105)
    seam.cameraOwnEntitySwitch = [] { return true; };    // PENDING(9.105)
    seam.cameraInsideViewSwitch = [] { return false; };  // PENDING(9.105)
    seam.sightPausedStep = [](float) {};          // PENDING(9.141)
    seam.writeMapImage = [] {};                   // PENDING(9.143)
    seam.cheatFlags = CheatFlagsFromSettings;
    seam.unitGroupsDropHandle = [](uint32_t) {};           // PENDING(9.121)
    seam.reportUnderAttack = [](GameObject*) {};           // PENDING(9.129)
    seam.setObjective = [](GameObject*, uint8_t) {};       // PENDING(9.107)
    seam.queueWarning = [](int) {};                        // PENDING(9.129)
    seam.unitDisplayRefresh = [] {};                       // PENDING(9.121)
    seam.cameraPosition = [](Vector*) { return false; };   // PENDING(9.105)
    return seam;
}

}  // namespace

CockpitSeam& Seam_Cockpit() { return SeamTableInstance<CockpitSeam, MakeDefault>(); }

namespace {
const SeamRegistration<CockpitSeam, MakeDefault> kRegistration("CockpitSeam");
}  // namespace
