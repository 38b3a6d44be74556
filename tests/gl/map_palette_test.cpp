// The real program on a map, in a window: its frames show the colours of the map's palette.
#include <gtest/gtest.h>
// X11 defines macros (None, Bool, Status) that clash with gtest: include it after.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "gl_support.h"
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "content.h"

namespace {

// The hardware driver recreates its window behind the same handle: a window found a moment ago
// may be gone when read. Such errors only mean "not yet".
// "gravenholt sample": from the tank's cockpit the top of the window is sky, shown in a colour
// of the map's palette (through the brightness curve, so within a few steps of the file's
// value), never black.
TEST(GlMapPalette, TheSampleMapShowsItsPalettesSkyColourNotBlack) {
    Display* display = OpenTestDisplay();
    ASSERT_NE(display, nullptr) << "needs a display (run under xvfb-run)";
    char pattern[] = "/tmp/gvgl-XXXXXX";
    std::string dir = mkdtemp(pattern);
    std::string error;
    ASSERT_TRUE(content::WriteWorld(dir, &error)) << error;
    std::ifstream file(dir + "/world.pal", std::ios::binary);
    const std::string palette((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(palette.size(), 768u);
    auto inPalette = [&](const Rgb& rgb) {
        if (rgb == (Rgb{0, 0, 0})) return false;
        for (int i = 0; i < 256; ++i)
            if (std::abs(rgb.r - static_cast<unsigned char>(palette[i * 3])) <= 4 &&
                std::abs(rgb.g - static_cast<unsigned char>(palette[i * 3 + 1])) <= 4 &&
                std::abs(rgb.b - static_cast<unsigned char>(palette[i * 3 + 2])) <= 4)
                return true;
        return false;
    };

    pid_t child = StartGravenholt(dir, {"-nointro", "-win", "sample"});
    ASSERT_GE(child, 0);
    Rgb seen{};
    bool exited = false;
    const bool shown = Eventually(
        [&] {
            int status;
            if (waitpid(child, &status, WNOHANG) == child) return exited = true;
            const Window window = FindByName(display, DefaultRootWindow(display), "Gravenholt", child);
            XWindowAttributes attributes{};
            if (!window || !XGetWindowAttributes(display, window, &attributes) ||
                attributes.map_state != IsViewable || attributes.width < 400 || attributes.height < 300)
                return false;
            seen = ReadPixel(display, window, attributes.width / 2, attributes.height / 8);
            return inPalette(seen);
        },
        kStageLimit);
    EXPECT_FALSE(exited) << "the game ended before showing the map";
    kill(child, SIGTERM);
    int status = 0;
    if (!exited && !WaitForExit(child, &status)) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    XCloseDisplay(display);
    std::filesystem::remove_all(dir);
    EXPECT_TRUE(shown) << "pixel at the top middle " << seen << ", not a colour of the map's palette";
}

}  // namespace
