#include "core/seams/cockpit.h"

#include "core/seams/registry.h"

namespace {

// Until the cockpit installs its input layer, game keys and force feedback, nothing happens
// (no sinks, no key events, no cheats).
void Nothing() {}
void NothingOn(bool) {}
void NothingMessage(uint32_t, WParam, LParam) {}
bool g_hudOn = true;

CockpitSeam MakeDefault() {
    CockpitSeam seam{};
    seam.forceFeedbackStart = Nothing;
    seam.forceFeedbackEnable = NothingOn;
    seam.forceFeedbackClose = Nothing;
    seam.buildKeyNames = Nothing;
    seam.mouseCapture = Nothing;
    seam.mouseRelease = Nothing;
    seam.inputClose = Nothing;
    seam.mouseRequestReset = Nothing;
    seam.labelMapGetLabel = [](const char*, const char*, char*) { return false; };
    seam.keyboardClearState = Nothing;
    seam.keyboardOnMessage = NothingMessage;
    seam.mouseOnMessage = NothingMessage;
    seam.inputInit = Nothing;
    seam.inputRead = Nothing;
    seam.gameKeyProcess = Nothing;
    // Until the display installs its own (Hud_InstallSeam): no elements, and the "render.cfg"
    // switch alone.
    seam.hudInitAll = [] {};
    seam.hudStartAll = [] {};
    seam.hudEndAll = [] {};
    seam.hudStep = [](int, float) {};
    seam.hudDrawLayer = [] {};
    g_hudOn = true;
    seam.hudIsOn = [] { return g_hudOn; };
    seam.hudSetOn = [](bool on) { g_hudOn = on; };
    seam.screenTintFlash = [](float, float, int, int, int) {};
    seam.screenTintAddLevel = [](float) {};
    seam.groundMarkerSet = [](const float*, const Matrix&, int) {};
    seam.missionTimerSave = [](FILE*) { return true; };  // no timer: nothing to write
    seam.missionTimerLoad = [] { return true; };
    // Without a timer nothing counts down: the time shown never runs out.
    seam.missionTimerStart = [](int32_t, int32_t, int32_t) {};
    seam.missionTimerTime = [] { return int32_t(0x7fffffff); };
    seam.radarIsOn = [] { return false; };
    seam.radarDrawFrame = [] {};
    seam.radarDrawSweep = [] {};
    seam.commandMenuReset = [] {};                // PENDING(9.121)
    // Until the camera installs its own (Camera_InstallSeam): the cockpit view with no step,
    // the user's entity left out of the world pass and no cockpit drawn.
    seam.cameraReset = [](int) {};
    seam.cameraGetStep = []() -> void (*)() { return nullptr; };
    seam.cameraViewState = [] { return 0; };
    seam.cameraOwnEntitySwitch = [] { return true; };
    seam.cameraInsideViewSwitch = [] { return false; };
    seam.sightPausedStep = [](float) {};
    seam.insetViewsRender = [] {};
    // Until the warning voice installs its own (BettyVoice_InstallSeam): nothing is spoken.
    seam.voiceReportPanel = [](GameObject*, int) {};
    seam.voiceReportCraft = [](GameObject*, int) {};
    seam.voiceReportBuilding = [](GameObject*) {};
    seam.voiceReportTower = [] {};
    seam.writeMapImage = [] {};                   // PENDING(9.143)
    seam.cameraTargetPosition = [](float*) { return false; };
    seam.cheatFlags = [] { return uint32_t{0}; };
    seam.unitGroupsDropHandle = [](uint32_t) {};           // PENDING(9.121)
    seam.reportUnderAttack = [](GameObject*) {};
    seam.queueWarning = [](int) {};
    seam.unitDisplayRefresh = [] {};                       // PENDING(9.121)
    seam.cameraPosition = [](Vector*) { return false; };
    seam.cameraTarget = []() -> GameObject* { return nullptr; };
    seam.userAimPoint = [](Vector*) { return false; };  // filled by CombatHud_InstallSeam
    return seam;
}

}  // namespace

CockpitSeam& Seam_Cockpit() { return SeamTableInstance<CockpitSeam, MakeDefault>(); }

namespace {
const SeamRegistration<CockpitSeam, MakeDefault> kRegistration("CockpitSeam");
}  // namespace
