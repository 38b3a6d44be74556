// Starts the real program on the display, finds its window by caption, closes it the way a
// window manager's close button does, and expects a clean exit.
#include <gtest/gtest.h>
// X11 defines macros (None, Bool, Status) that clash with gtest: include it after.
#include "gl_support.h"
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "content.h"

namespace {

TEST(GlWindow, OpensCaptionedGravenholtAndClosingEndsWithZero) {
    Display* display = OpenTestDisplay();
    ASSERT_NE(display, nullptr) << "needs a display (run under xvfb-run)";
    char pattern[] = "/tmp/gvgl-XXXXXX";
    std::string dir = mkdtemp(pattern);
    std::string error;
    ASSERT_TRUE(content::WriteWorld(dir, &error)) << error;  // the program needs its data files

    pid_t child = StartGravenholt(dir, {"-nointro"});
    ASSERT_GE(child, 0);

    Window window = 0;
    ASSERT_TRUE(WaitForStage(child, "a window captioned Gravenholt", [&] {
        window = FindByName(display, DefaultRootWindow(display), "Gravenholt", child);
        return window != 0;
    }));

    SendWindowClose(display, window);

    int status = 0;
    bool ended = WaitForExit(child, &status);
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    XCloseDisplay(display);
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(ended) << "closing the window did not end the game";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
