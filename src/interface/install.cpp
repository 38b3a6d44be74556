#include "core/seams/cockpit.h"
#include "interface/inputdevices.h"
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
    Keyboard_Reset();
    Mouse_Reset();
    Joystick_Reset();
    ForceFeedback_Reset();
}
