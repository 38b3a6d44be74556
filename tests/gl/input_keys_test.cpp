// Key presses made by the X test extension reach a window of the sdl backend as key messages
// with the scan code, extended flag and virtual key of the platform's key table.
#include <gtest/gtest.h>
// X11 defines macros (None, Bool, Status) that clash with gtest: include it after.
#include "gl_support.h"
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <vector>

#include "platform/system.h"
#include "platform/window.h"

namespace {

std::vector<PlatMsg> g_keys;

LResult KeyProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    if (message >= WM_KEYFIRST && message <= WM_KEYLAST) g_keys.push_back(PlatMsg{window, message, wParam, lParam, 0});
    return Plat_DefWindowProc(window, message, wParam, lParam);
}

// Hands out the window's messages until the check holds (up to the stage limit); whether it did.
::testing::AssertionResult PumpUntil(const std::string& stage, const std::function<bool()>& check) {
    PlatMsg msg;
    if (Eventually([&] {
            while (Plat_PeekMessage(&msg, true)) Plat_DispatchMessage(&msg);
            return check();
        }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "waited " << kStageLimit.count() << " s for " << stage;
}

size_t Count(uint32_t message) {
    size_t count = 0;
    for (const PlatMsg& msg : g_keys) count += msg.message == message;
    return count;
}

TEST(GlInput, XTestKeysArriveWithTheTablesScanCodesFlagsAndVirtualKeys) {
    Display* display = OpenTestDisplay();
    ASSERT_NE(display, nullptr) << "needs a display (run under xvfb-run)";
    int event = 0, error = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(display, &event, &error, &major, &minor));
    ASSERT_TRUE(Plat_Init(BackendKind::Sdl));
    ASSERT_TRUE(Plat_RegisterClass("GlInputTest", KeyProc));
    const WindowHandle window = Plat_CreateWindow("GlInputTest", "GvKeyTarget", 320, 240);
    ASSERT_NE(window, 0u);
    Plat_ShowWindow(window, SW_SHOW);

    Window target = 0;
    ASSERT_TRUE(PumpUntil("the window on the display", [&] {
        target = FindByName(display, DefaultRootWindow(display), "GvKeyTarget", getpid());
        return target != 0;
    }));
    XSetInputFocus(display, target, RevertToParent, CurrentTime);
    XSync(display, False);
    ASSERT_TRUE(PumpUntil("the keyboard focus on the window", [&] {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        return focus == target;
    }));
    g_keys.clear();

    struct Case {
        KeySym sym;
        int scanCode;
        bool extended;
        int virtualKey;
    };
    const Case cases[] = {
        {XK_Control_R, 29, true, VK_CONTROL},
        {XK_Up, 72, true, VK_UP},
        {XK_KP_8, 72, false, VK_NUMPAD0 + 8},
        {XK_KP_Enter, 28, true, VK_RETURN},
    };
    for (const Case& c : cases) {
        const KeyCode code = XKeysymToKeycode(display, c.sym);
        ASSERT_NE(code, 0) << "no key for the symbol on this display";
        const size_t ups = Count(WM_KEYUP) + Count(WM_SYSKEYUP);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XSync(display, False);
        ASSERT_TRUE(PumpUntil("the key's release to arrive",
                              [&] { return Count(WM_KEYUP) + Count(WM_SYSKEYUP) > ups; }))
            << "key " << XKeysymToString(c.sym);
    }

    std::vector<PlatMsg> downs;
    for (const PlatMsg& msg : g_keys)
        if (msg.message == WM_KEYDOWN) downs.push_back(msg);
    ASSERT_EQ(downs.size(), std::size(cases)) << "key-down messages";
    for (size_t i = 0; i < downs.size(); ++i) {
        EXPECT_EQ(downs[i].wParam, static_cast<WParam>(cases[i].virtualKey)) << i;
        EXPECT_EQ((downs[i].lParam >> 16) & 0xFF, cases[i].scanCode) << i;
        EXPECT_EQ(((downs[i].lParam >> 24) & 1) != 0, cases[i].extended) << i;
    }
    Plat_DestroyWindow(window);
    Plat_Shutdown();
    XCloseDisplay(display);
}

}  // namespace
