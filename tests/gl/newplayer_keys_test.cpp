// The keys a new player reaches for, sent through the X server to the real game on the sample
// mission (calm: nothing else turns the craft or spends its rounds): the arrow cluster's Left and
// the keypad's Left both turn the craft (the ground ahead sweeps past), and the Insert key above
// the arrows and the keypad's Insert both fire the cannon
// (the ammunition count on the status panel goes down). Each stage waits for the window to show
// the change, with a generous limit, and the next starts once the picture has settled again.
#include <gtest/gtest.h>
// X11 defines macros (None, Bool, Status) that clash with gtest: include it after.
#include "gl_support.h"
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "content.h"

namespace {

// A part of the window, in thousandths of its width and height.
struct Area {
    int x0, y0, x1, y1;
};
// The ground ahead, between the horizon and the cockpit's dashboard, clear of the radar.
constexpr Area kGroundAhead{300, 520, 700, 700};
// The ammunition count at the top of the status panel (bottom right), and nothing around it.
constexpr Area kAmmoCount{810, 815, 860, 845};

class NewPlayerKeys : public ::testing::Test {
protected:
    void SetUp() override {
        display_ = OpenTestDisplay();
        ASSERT_NE(display_, nullptr) << "needs a display (run under xvfb-run)";
        int event = 0, error = 0, major = 0, minor = 0;
        ASSERT_TRUE(XTestQueryExtension(display_, &event, &error, &major, &minor)) << "needs the X test extension";
        char pattern[] = "/tmp/gvgl-newplayer-XXXXXX";
        dir_ = mkdtemp(pattern);
        std::string failure;
        ASSERT_TRUE(content::WriteWorld(dir_, &failure)) << failure;
        setenv("GRAVENHOLT_SEED", "77", 1);
    }
    void TearDown() override {
        if (display_ && key_) {
            XTestFakeKeyEvent(display_, key_, False, CurrentTime);
            XSync(display_, False);
        }
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        unsetenv("GRAVENHOLT_SEED");
        if (display_) XCloseDisplay(display_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // The pixels of the area, row by row; empty when the window cannot be read.
    std::vector<uint32_t> Read(const Area& area) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, window_, &attributes)) return {};
        const int x0 = attributes.width * area.x0 / 1000, x1 = attributes.width * area.x1 / 1000;
        const int y0 = attributes.height * area.y0 / 1000, y1 = attributes.height * area.y1 / 1000;
        XImage* image = XGetImage(display_, window_, x0, y0, x1 - x0, y1 - y0, AllPlanes, ZPixmap);
        if (!image) return {};
        std::vector<uint32_t> pixels;
        pixels.reserve(size_t(x1 - x0) * (y1 - y0));
        for (int y = 0; y < y1 - y0; ++y)
            for (int x = 0; x < x1 - x0; ++x) pixels.push_back(uint32_t(XGetPixel(image, x, y)));
        XDestroyImage(image);
        return pixels;
    }
    static double ShareDiffering(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
        if (a.empty() || a.size() != b.size()) return 1.0;
        size_t differing = 0;
        for (size_t i = 0; i < a.size(); ++i) differing += a[i] != b[i];
        return double(differing) / double(a.size());
    }
    // Waits until the area shows the same picture (within `slack` of its pixels) in ten reads in a
    // row: whatever the last key started has come to rest.
    bool Settled(const Area& area, double slack, std::chrono::seconds limit) {
        std::vector<uint32_t> last = Read(area);
        int same = 0;
        return Eventually(
            [&] {
                std::vector<uint32_t> now = Read(area);
                same = ShareDiffering(now, last) <= slack ? same + 1 : 0;
                last = std::move(now);
                return same >= 10;
            },
            limit);
    }
    // Holds the key until the area differs from what it showed before the press in more than
    // `share` of its pixels; false when it never did within the limit.
    bool HoldUntilChanged(KeySym sym, const Area& area, double share, std::chrono::seconds limit) {
        const std::vector<uint32_t> before = Read(area);
        if (before.empty()) return false;
        key_ = XKeysymToKeycode(display_, sym);
        if (!key_) return false;
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XTestFakeKeyEvent(display_, key_, True, CurrentTime);
        XSync(display_, False);
        const bool changed = Eventually([&] { return ShareDiffering(Read(area), before) > share; }, limit);
        XTestFakeKeyEvent(display_, key_, False, CurrentTime);
        XSync(display_, False);
        key_ = 0;
        return changed;
    }

    Display* display_ = nullptr;
    std::string dir_;
    pid_t child_ = 0;
    Window window_ = 0;
    KeyCode key_ = 0;
};

TEST_F(NewPlayerKeys, BothArrowKeysTurnAndBothInsertKeysFire) {
    child_ = StartGravenholt(dir_, {"-nointro", "-win", "-SW", "sample.qmn"});
    window_ = WaitForGameWindow(
        display_, child_,
        [&](Window window) {
            window_ = window;
            const std::vector<uint32_t> ground = Read(kGroundAhead);
            for (uint32_t p : ground)
                if (p != ground.front()) return true;
            return false;  // not yet drawn (one colour)
        },
        std::chrono::seconds(90));
    ASSERT_NE(window_, 0u) << "the game's window never showed the mission";

    const struct {
        const char* name;
        KeySym sym;
        Area area;
        double share;  // of the area that must change
    } keys[] = {
        {"the arrow cluster's Left", XK_Left, kGroundAhead, 0.3},
        {"the keypad's Left", XK_KP_Left, kGroundAhead, 0.3},
        {"Insert above the arrows", XK_Insert, kAmmoCount, 0.0},
        {"the keypad's Insert", XK_KP_Insert, kAmmoCount, 0.0},
    };
    for (const auto& key : keys) {
        SCOPED_TRACE(key.name);
        ASSERT_TRUE(Settled(key.area, key.share / 10.0, std::chrono::seconds(60)))
            << "the picture never settled before the key";
        EXPECT_TRUE(HoldUntilChanged(key.sym, key.area, key.share, std::chrono::seconds(30)))
            << (key.area.y0 == kGroundAhead.y0 ? "the craft did not turn" : "the cannon did not fire");
    }
    SendWindowClose(display_, window_);
    int status = 0;
    ASSERT_TRUE(WaitForExit(child_, &status, std::chrono::seconds(60))) << "the game did not end when closed";
    child_ = 0;
}

}  // namespace
