// The mouse: four axis values sampled at most 60 times a second from the cursor's distance to
// the window's centre, and nine buttons (the wheel's four directions count as buttons).
#include <algorithm>
#include <cstring>

#include "core/app.h"
#include "core/clock.h"
#include "core/seams/shell.h"
#include "interface/inputdevices.h"
#include "platform/input.h"

namespace {

const char* const kAnalogShort[] = {"HorizPos", "HorizVel", "VertPos", "VertVel"};
const char* const kAnalogLong[] = {"Mouse Horizontal Position", "Mouse Horizontal Velocity",
                                   "Mouse Vertical Position", "Mouse Vertical Velocity"};
const char* const kButtonShort[] = {"LeftBtn", "MiddleBtn", "RightBtn", "X1Btn", "X2Btn",
                                    "WheelDown", "WheelUp", "WheelLeft", "WheelRight"};
const char* const kButtonLong[] = {"Left button", "Middle button", "Right button", "X1 button", "X2 button",
                                   "Wheel Down", "Wheel Up", "Wheel Left", "Wheel Right"};

// The factors of the sensitivity setting 0..6.
const int kSensitivity[] = {50, 65, 80, 100, 125, 160, 200};
constexpr int kSensitivityOffset = 96;  // in the player settings record
constexpr float kSamplePeriod = 0.016666f;
constexpr int32_t kAxisLimit = 65536;

struct MouseState {
    int32_t xPos = 0;
    int32_t xVel = 0;
    int32_t yPos = 0;
    int32_t yVel = 0;
    uint32_t pressed = 0;
    uint32_t released = 0;
    float accumulated = 0.0f;
    bool captured = false;
    bool resetRequested = false;
};

MouseState g_mouse;

WindowHandle GameWindow() { return App_Globals().mainWindow; }
bool HasFocus() { return GameWindow() != 0 && Plat_GetFocus() == GameWindow(); }

int SensitivityFactor() {
    const uint8_t* def = Seam_Shell().playerDef();
    const int setting = def ? def[kSensitivityOffset] : 3;
    return kSensitivity[std::clamp(setting, 0, 6)];  // the settings file is not trusted
}

int32_t Velocity(int64_t distance, float seconds) {
    const double perSecond = static_cast<double>(distance) / seconds;
    return static_cast<int32_t>(std::clamp(perSecond, -2147483647.0, 2147483647.0));
}

void ClearAxes() { g_mouse.xPos = g_mouse.xVel = g_mouse.yPos = g_mouse.yVel = 0; }

void Centre() {
    PlatRect client;
    if (Plat_GetClientRect(GameWindow(), &client)) Plat_SetCursorPos(GameWindow(), client.right / 2, client.bottom / 2);
}

void Press(uint32_t bits) {
    g_mouse.released &= ~bits;
    g_mouse.pressed |= bits;
}

void HandleMouse(uint32_t message, WParam wParam) {
    const WParam xButtons = (wParam >> 16) & 0xFFFF;
    const uint32_t xBits = ((xButtons & XBUTTON1) ? kMouseX1 : 0) | ((xButtons & XBUTTON2) ? kMouseX2 : 0);
    const int16_t delta = static_cast<int16_t>((wParam >> 16) & 0xFFFF);
    switch (message) {
        case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: Press(kMouseLeft); break;
        case WM_MBUTTONDOWN: case WM_MBUTTONDBLCLK: Press(kMouseMiddle); break;
        case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK: Press(kMouseRight); break;
        case WM_XBUTTONDOWN: case WM_XBUTTONDBLCLK: Press(xBits); break;
        case WM_LBUTTONUP: g_mouse.released |= kMouseLeft; break;
        case WM_MBUTTONUP: g_mouse.released |= kMouseMiddle; break;
        case WM_RBUTTONUP: g_mouse.released |= kMouseRight; break;
        case WM_XBUTTONUP: g_mouse.released |= xBits; break;
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL: {
            // Pressed and released at once: reported for one read, however many notches came.
            uint32_t bit = 0;
            if (message == WM_MOUSEWHEEL) bit = delta > 0 ? kMouseWheelUp : delta < 0 ? kMouseWheelDown : 0;
            else bit = delta > 0 ? kMouseWheelRight : delta < 0 ? kMouseWheelLeft : 0;
            g_mouse.pressed |= bit;
            g_mouse.released |= bit;
            break;
        }
        default: break;
    }
}

int MouseCount() { return 1; }

int MouseDescribe(int, InputDeviceRecord* record) {
    if (!record) return 1;
    std::memset(record, 0, sizeof *record);
    std::strcpy(record->name, "mouse");
    std::strcpy(record->displayName, "Mouse");
    std::strcpy(record->typeName, "mouse");
    record->analogCount = kMouseAnalogChannels;
    record->discreteCount = kMouseButtons;
    record->analogLongNames = kAnalogLong;
    record->analogShortNames = kAnalogShort;
    record->discreteLongNames = kButtonLong;
    record->discreteShortNames = kButtonShort;
    record->privateData = &g_mouse;
    return 0;
}

int MouseOpen(InputDeviceRecord*) {
    g_mouse.accumulated = 0.0f;
    return 0;
}

void MouseClose(InputDeviceRecord*) {
    Plat_ClipCursor(0);
    g_mouse.captured = false;
    while (Plat_CursorShowCount() < 0) Plat_ShowCursor(true);
}

int MouseResetChannel(void*, int channel) {
    int32_t* values[] = {&g_mouse.xPos, &g_mouse.xVel, &g_mouse.yPos, &g_mouse.yVel};
    if (channel >= 0 && channel < kMouseAnalogChannels) *values[channel] = 0;
    return 0;
}

int MouseRead(void*, int32_t* analog, uint32_t* discrete) {
    if (!HasFocus()) {
        g_mouse.accumulated = 0.0f;
        if (discrete) discrete[0] = 0;
        return 0;
    }
    if (g_mouse.resetRequested && g_mouse.captured) {
        Plat_ClipCursor(GameWindow());
        ClearAxes();
        g_mouse.resetRequested = false;
    }
    if (discrete) discrete[0] = g_mouse.pressed;
    g_mouse.pressed &= ~g_mouse.released;
    g_mouse.released = 0;

    g_mouse.accumulated += Clock_GetFrameTime();
    if (g_mouse.accumulated >= kSamplePeriod) {
        PlatRect client;
        int x = 0, y = 0;
        if (Plat_GetClientRect(GameWindow(), &client) && Plat_GetCursorPos(GameWindow(), &x, &y)) {
            const int factor = SensitivityFactor();
            // Wide enough for any cursor distance; the velocity is kept to the 32-bit range.
            const int64_t dx = int64_t(x - client.right / 2) * factor;
            const int64_t dy = int64_t(y - client.bottom / 2) * factor;
            Centre();
            g_mouse.xPos = static_cast<int32_t>(std::clamp<int64_t>(g_mouse.xPos + dx, -kAxisLimit, kAxisLimit));
            g_mouse.yPos = static_cast<int32_t>(std::clamp<int64_t>(g_mouse.yPos + dy, -kAxisLimit, kAxisLimit));
            g_mouse.xVel = Velocity(dx, g_mouse.accumulated);
            g_mouse.yVel = Velocity(dy, g_mouse.accumulated);
        }
        g_mouse.accumulated = 0.0f;
    }
    if (analog) {
        analog[0] = g_mouse.xPos;
        analog[1] = g_mouse.xVel;
        analog[2] = g_mouse.yPos;
        analog[3] = g_mouse.yVel;
    }
    return 0;
}

}  // namespace

const InputDevice MouseDevice = {
    MouseCount, MouseDescribe, MouseOpen, MouseClose, MouseResetChannel, MouseRead, InputDevice_NoNextKey, InputDevice_NoFlush,
};

void Mouse_OnMessage(uint32_t message, WParam wParam, LParam) {
    HandleMouse(message, wParam);
    PlatMsg msg;
    while (Plat_PeekMessageRange(&msg, WM_MOUSEFIRST, WM_MOUSELAST, true)) {
        Plat_TranslateMessage(&msg);
        HandleMouse(msg.message, msg.wParam);
    }
}

void Mouse_Capture() {
    Plat_ClipCursor(GameWindow());
    g_mouse.pressed = g_mouse.released = 0;
    ClearAxes();
    g_mouse.captured = true;
    if (HasFocus()) Centre();
    while (Plat_CursorShowCount() >= 0) Plat_ShowCursor(false);
}

void Mouse_Release() {
    Plat_ClipCursor(0);
    g_mouse.captured = false;
    ClearAxes();
    if (HasFocus()) Centre();
    while (Plat_CursorShowCount() < 0) Plat_ShowCursor(true);
}

void Mouse_RequestReset() { g_mouse.resetRequested = true; }

void Mouse_Reset() { g_mouse = MouseState{}; }
