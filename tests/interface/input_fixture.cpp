#include "interface/input_fixture.h"

#include <cstdio>

#include "core/app.h"
#include "core/clock.h"
#include "core/seams/shell.h"
#include "interface/inputdevices.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/system.h"

namespace {

uint8_t* g_settings = nullptr;

LResult TestProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    if (InputDevices_OnMessage(message, wParam, lParam)) return 0;
    return Plat_DefWindowProc(window, message, wParam, lParam);
}

}  // namespace

void InputFixture::SetUp() {
    Plat_Init(BackendKind::Headless);
    Plat_ClearMessages();
    Plat_UseVirtualClock(1000);
    clockMs = 1000;
    InputDevices_Reset();
    Plat_SetKeyNameResolver(Keyboard_KeyOfName);
    savedPlayerDef_ = Seam_Shell().playerDef;
    settings[96] = 3;   // mouse sensitivity: factor 100
    settings[100] = 0;  // joystick curve 0
    g_settings = settings;
    Seam_Shell().playerDef = [] { return g_settings; };
    Plat_RegisterClass("GvInputTest", TestProc);
    window = Plat_CreateWindow("GvInputTest", "input", 640, 480);
    App_Globals().mainWindow = window;
    Plat_SetFocus(window);
    Clock_Init();
}

void InputFixture::TearDown() {
    Plat_DestroyWindow(window);
    App_Globals().mainWindow = 0;
    Seam_Shell().playerDef = savedPlayerDef_;
    InputDevices_Reset();
    Plat_ClearMessages();
    Plat_UseRealClock();
    Plat_Shutdown();
}

void InputFixture::Key(const char* name, bool down, bool repeat) {
    int scan = 0;
    bool extended = false;
    ASSERT_TRUE(Keyboard_KeyOfName(name, &scan, &extended)) << name;
    PlatKey key;
    ASSERT_TRUE(Plat_KeyOfScanCode(scan, extended, &key)) << name;
    Plat_PostKey(window, key, down, repeat);
    App_PumpAllMessages();
}

void InputFixture::Tap(const char* name) {
    Key(name, true);
    Key(name, false);
}

void InputFixture::RawKey(int scanCode, bool extended, bool down, int virtualKey) {
    LParam lParam = 1 | static_cast<LParam>(scanCode) << 16 | (extended ? 1LL << 24 : 0);
    if (!down) lParam |= 3LL << 30;
    Keyboard_OnMessage(down ? WM_KEYDOWN : WM_KEYUP, static_cast<WParam>(virtualKey), lParam);
}

void InputFixture::Post(uint32_t message, WParam wParam, LParam lParam) {
    Plat_PostMessage(window, message, wParam, lParam);
    App_PumpAllMessages();
}

void InputFixture::SetFrameTime(uint32_t ms) {
    // The frame time is smoothed over the steps: enough equal steps make it the step.
    for (int i = 0; i < 40; ++i) {
        clockMs += ms;
        Plat_AdvanceVirtualClock(ms);
        Clock_Tick();
    }
}

InputFixture::Reading InputFixture::ReadKeyboard() {
    Reading reading;
    KeyboardDevice.read(nullptr, reading.analog, reading.discrete);
    return reading;
}

std::string InputFixture::TypedKeys() {
    std::string out;
    for (uint16_t code = 0; KeyboardDevice.nextKey(&code), code != 0;) {
        char text[16];
        std::snprintf(text, sizeof text, "%s0x%04x", out.empty() ? "" : " ", code);
        out += text;
    }
    return out;
}
