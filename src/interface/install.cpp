#include "core/seams/cockpit.h"
#include "core/inputsinks.h"
#include "interface/gamekeys.h"
#include "interface/hudbasic.h"
#include "interface/inputdevices.h"
#include "interface/inputmap.h"
#include "platform/input.h"

void Interface_InstallSeam() {
    CockpitSeam& seam = Seam_Cockpit();
    seam.forceFeedbackStart = [] {
        ForceFeedback_Request();
        ForceFeedback_Start();
    };
    seam.forceFeedbackEnable = [](bool on) {
        if (on)
            ForceFeedback_Enable(1);
        else
            ForceFeedback_Disable();
    };
    seam.forceFeedbackClose = ForceFeedback_Close;
    seam.buildKeyNames = [] { Keyboard_InitKeyNames(nullptr, nullptr); };
    seam.mouseCapture = Mouse_Capture;
    seam.mouseRelease = Mouse_Release;
    seam.mouseRequestReset = Mouse_RequestReset;
    seam.keyboardClearState = Keyboard_ClearState;
    seam.keyboardOnMessage = Keyboard_OnMessage;
    seam.mouseOnMessage = Mouse_OnMessage;
    seam.inputInit = Input_Init;
    seam.inputRead = Input_Update;
    seam.inputClose = Input_Close;
    seam.labelMapGetLabel = [](const char* section, const char* entry, char* out) {
        return LabelMap_GetLabel(section, entry, out) != 0;
    };
    seam.gameKeyProcess = [] { GameKey_Process(); };
    seam.radarIsOn = GameKey_RadarShown;
    seam.cheatFlags = GameKey_CheatFlags;
    Plat_SetKeyNameResolver(Keyboard_KeyOfName);
}

bool InputDevices_OnMessage(uint32_t message, WParam wParam, LParam lParam) {
    if (message >= WM_KEYFIRST && message <= WM_KEYLAST) {
        Keyboard_OnMessage(message, wParam, lParam);
        return true;
    }
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
        Mouse_OnMessage(message, wParam, lParam);
        return true;
    }
    return false;
}

void InputDevices_Reset() {
    Input_Close();
    GameKey_Reset();
    Keyboard_Reset();
    Mouse_Reset();
    Joystick_Reset();
    ForceFeedback_Reset();
}
