// The platform's input services on the headless backend: filtered peeks, activation on show,
// key messages and key state, the cursor, the event script and run-time libraries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/input.h"
#include "platform/system.h"
#include "platform/window.h"

namespace {

LResult Quiet(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    return Plat_DefWindowProc(window, message, wParam, lParam);
}

// Names the script may use: "K<scan>" for a plain key, "E<scan>" for an extended one.
bool ScanNames(const char* name, int* scan, bool* extended) {
    if (name[0] != 'K' && name[0] != 'E') return false;
    *extended = name[0] == 'E';
    *scan = std::atoi(name + 1);
    return *scan > 0;
}

class PlatInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        Plat_Init(BackendKind::Headless);
        Plat_ClearMessages();
        Plat_SetKeyNameResolver(ScanNames);
        Plat_RegisterClass("PlatInputTest", Quiet);
        window = Plat_CreateWindow("PlatInputTest", "input", 200, 100);
    }
    void TearDown() override {
        Plat_DestroyWindow(window);
        Plat_SetKeyNameResolver(nullptr);
        Plat_ClearMessages();
        Plat_Shutdown();
    }
    std::vector<uint32_t> Drain() {
        std::vector<uint32_t> messages;
        PlatMsg msg;
        while (Plat_PeekMessage(&msg, true)) messages.push_back(msg.message);
        return messages;
    }
    WindowHandle window = 0;
};

TEST_F(PlatInputTest, RangePeekTakesOnlyMessagesInsideTheRange) {
    for (uint32_t message : {WM_TIMER, WM_KEYDOWN, WM_MOUSEMOVE, WM_CHAR, WM_LBUTTONDOWN})
        Plat_PostMessage(window, message, 0, 0);
    PlatMsg msg;
    EXPECT_TRUE(Plat_PeekMessageRange(&msg, WM_MOUSEFIRST, WM_MOUSELAST, false));
    EXPECT_EQ(msg.message, WM_MOUSEMOVE);
    EXPECT_EQ(Plat_PendingMessages(), 5u);  // not removed
    std::vector<uint32_t> keys;
    while (Plat_PeekMessageRange(&msg, WM_KEYFIRST, WM_KEYLAST, true)) keys.push_back(msg.message);
    EXPECT_EQ(keys, (std::vector<uint32_t>{WM_KEYDOWN, WM_CHAR}));
    EXPECT_FALSE(Plat_PeekMessageRange(&msg, WM_CLOSE, WM_CLOSE, true));
    EXPECT_EQ(Drain(), (std::vector<uint32_t>{WM_TIMER, WM_MOUSEMOVE, WM_LBUTTONDOWN}));
}

TEST_F(PlatInputTest, ShowingAWindowActivatesAndFocusesItOnce) {
    EXPECT_EQ(Plat_GetFocus(), 0u);
    Plat_ShowWindow(window, SW_SHOW);
    EXPECT_EQ(Plat_GetFocus(), window);
    EXPECT_EQ(Drain(), (std::vector<uint32_t>{WM_ACTIVATEAPP, WM_ACTIVATE, WM_SETFOCUS}));
    Plat_ShowWindow(window, SW_RESTORE);  // already up
    EXPECT_TRUE(Drain().empty());
    Plat_ShowWindow(window, SW_MINIMIZE);
    Plat_ShowWindow(window, SW_RESTORE);  // back from the task bar
    EXPECT_EQ(Drain().size(), 3u);
}

TEST_F(PlatInputTest, KeyMessagesCarryScanCodeFlagsAndFollowTheModifiers) {
    PlatKey shift, rightShift, a, up, alt;
    ASSERT_TRUE(Plat_KeyOfScanCode(42, false, &shift));
    ASSERT_TRUE(Plat_KeyOfScanCode(54, false, &rightShift));
    ASSERT_TRUE(Plat_KeyOfScanCode(30, false, &a));
    ASSERT_TRUE(Plat_KeyOfScanCode(72, true, &up));
    ASSERT_TRUE(Plat_KeyOfScanCode(56, true, &alt));
    EXPECT_EQ(up.virtualKey, VK_UP);
    PlatKey pad8;
    ASSERT_TRUE(Plat_KeyOfScanCode(72, false, &pad8));
    EXPECT_EQ(pad8.virtualKey, VK_NUMPAD0 + 8);  // the same scan code without the flag

    Plat_PostKey(window, shift, true, false);
    Plat_PostKey(window, rightShift, true, false);
    Plat_PostKey(window, shift, false, false);
    EXPECT_FALSE(Plat_IsKeyDown(VK_SHIFT));  // the state follows the messages as they are taken
    PlatMsg msg;
    Plat_PeekMessage(&msg, true);
    EXPECT_TRUE(Plat_IsKeyDown(VK_SHIFT));
    Plat_PeekMessage(&msg, true);
    Plat_PeekMessage(&msg, true);
    EXPECT_TRUE(Plat_IsKeyDown(VK_SHIFT)) << "the right Shift is still down";
    EXPECT_EQ(msg.message, WM_KEYUP);
    EXPECT_EQ((msg.lParam >> 30) & 3, 3);  // previous state and transition
    Plat_PostKey(window, rightShift, false, false);
    Drain();
    EXPECT_FALSE(Plat_IsKeyDown(VK_SHIFT));

    Plat_PostKey(window, up, true, true);
    Plat_PeekMessage(&msg, true);
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    EXPECT_EQ(msg.wParam, static_cast<WParam>(VK_UP));
    EXPECT_EQ((msg.lParam >> 16) & 0xFF, 72);
    EXPECT_EQ((msg.lParam >> 24) & 1, 1);
    EXPECT_EQ((msg.lParam >> 30) & 1, 1);  // repeat

    Plat_PostKey(window, alt, true, false);
    Plat_PostKey(window, a, true, false);
    Plat_PeekMessage(&msg, true);
    EXPECT_EQ(msg.message, WM_SYSKEYDOWN);
    Plat_PeekMessage(&msg, true);
    EXPECT_EQ(msg.message, WM_SYSKEYDOWN);  // while Alt is held
    EXPECT_EQ((msg.lParam >> 29) & 1, 1);
    Plat_ReleaseAllKeys();
    EXPECT_FALSE(Plat_IsKeyDown(VK_MENU));
}

TEST_F(PlatInputTest, CursorStaysInsideTheClipAndTheShowCountCounts) {
    Plat_SetCursorPos(window, 500, -20);
    int x = 0, y = 0;
    Plat_GetCursorPos(window, &x, &y);
    EXPECT_EQ(x, 500);  // free while not clipped
    Plat_ClipCursor(window);
    Plat_GetCursorPos(window, &x, &y);
    EXPECT_EQ(x, 199);
    EXPECT_EQ(y, 0);
    Plat_ClipCursor(0);
    EXPECT_EQ(Plat_ShowCursor(false), -1);
    EXPECT_EQ(Plat_ShowCursor(false), -2);
    EXPECT_EQ(Plat_CursorShowCount(), -2);
    EXPECT_EQ(Plat_ShowCursor(true), -1);
    EXPECT_FALSE(Plat_GetCursorPos(window + 100, &x, &y));
}

TEST_F(PlatInputTest, ScriptEventsArrivePerFrame) {
    std::string error;
    ASSERT_TRUE(Plat_ParseEventScript("# keys\n"
                                      "1 keydown K30\n"
                                      "\n"
                                      "1 keydown K30\n"
                                      "2 keyup K30\n"
                                      "2 mousemove 15 5\n"
                                      "2 mousedown x2\n"
                                      "3 hwheel -120\n"
                                      "3 focus lost\n"
                                      "0 joystick 1 connect 4 6 1 haptic Big Stick\n"
                                      "4 joystick 1 unplug\n",
                                      &error))
        << error;
    EXPECT_EQ(Plat_EventScriptLastFrame(), 4);
    PlatMsg msg;
    Plat_PeekMessage(&msg, false);  // frame 0
    EXPECT_EQ(Plat_JoyCount(), 2);
    PlatJoyCaps caps;
    ASSERT_EQ(Plat_JoyGetCaps(1, &caps), kJoyOk);
    EXPECT_EQ(caps.name, "Big Stick");
    EXPECT_EQ(caps.buttons, 6);
    EXPECT_TRUE(caps.hasAxis[kJoyAxisR]);
    EXPECT_FALSE(caps.hasAxis[kJoyAxisU]);
    EXPECT_EQ(Plat_JoyGetCaps(0, &caps), kJoyErrBadDeviceId);
    EXPECT_TRUE(Drain().empty());

    Plat_FrameTick();
    Plat_PeekMessage(&msg, true);
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    EXPECT_EQ((msg.lParam >> 30) & 1, 0);
    Plat_PeekMessage(&msg, true);
    EXPECT_EQ((msg.lParam >> 30) & 1, 1) << "pressed again while down: a repeat";
    Plat_FrameTick();
    EXPECT_EQ(Drain(), (std::vector<uint32_t>{WM_KEYUP, WM_MOUSEMOVE, WM_XBUTTONDOWN}));
    int x = 0;
    Plat_GetCursorPos(window, &x, nullptr);
    EXPECT_EQ(x, 15);
    Plat_SetFocus(window);
    Plat_FrameTick();
    Plat_PeekMessage(&msg, true);
    EXPECT_EQ(msg.message, WM_MOUSEHWHEEL);
    EXPECT_EQ(static_cast<int16_t>(msg.wParam >> 16), -120);
    EXPECT_EQ(Plat_GetFocus(), 0u);
    EXPECT_EQ(Drain(), (std::vector<uint32_t>{WM_KILLFOCUS, WM_ACTIVATE, WM_ACTIVATEAPP}));
    Plat_FrameTick();
    Drain();
    PlatJoyPos pos;
    EXPECT_EQ(Plat_JoyGetPos(1, &pos), kJoyErrUnplugged);
    EXPECT_TRUE(Plat_EventScriptDone());
}

TEST_F(PlatInputTest, BadScriptLinesAreReportedWithTheirNumber) {
    const char* const bad[] = {
        "x keydown K1",          "1",
        "1 keydown",             "1 keydown Nope",
        "1 mousemove 1",         "1 mousemove 1 3000000000", "1 mousedown thumb",
        "1 wheel lots",          "1 focus maybe",
        "1 joystick 16 unplug",  "1 joystick 0 connect 7 2 0",
        "1 joystick 0 axis w 5", "1 joystick 0 axis x 70000",
        "1 joystick 0 button 33 down", "1 joystick 0 hat 36000",
        "1 dance",
    };
    for (const char* line : bad) {
        std::string error;
        EXPECT_FALSE(Plat_ParseEventScript(std::string("0 focus gained\n") + line + "\n", &error)) << line;
        EXPECT_EQ(error.rfind("line 2:", 0), 0u) << line << ": " << error;
    }
    std::string error;
    EXPECT_FALSE(Plat_LoadEventScript("/nonexistent/script.txt", &error));
    EXPECT_NE(error.find("/nonexistent/script.txt"), std::string::npos);
}

TEST_F(PlatInputTest, LibrariesAreKnownByNameAndHaveTheirEntries) {
    EXPECT_EQ(Plat_LoadLibrary("nothere.dll"), 0u);
    const PlatLibrary library = Plat_LoadLibrary("IFORCE.DLL");
    ASSERT_NE(library, 0u);
    EXPECT_TRUE(Plat_IsLibraryLoaded("iforce.dll"));
    EXPECT_NE(Plat_GetProcAddress(library, "_YSpringClear"), nullptr);
    EXPECT_EQ(Plat_GetProcAddress(library, "_Missing"), nullptr);
    Plat_FreeLibrary(library);
    EXPECT_FALSE(Plat_IsLibraryLoaded("iforce.dll"));
    EXPECT_EQ(Plat_GetProcAddress(library, "_InitStick"), nullptr);
    EXPECT_EQ(Plat_DeviceCallLog(),
              (std::vector<std::string>{"LoadLibrary nothere.dll", "LoadLibrary IFORCE.DLL", "FreeLibrary iforce.dll"}));
}

}  // namespace
