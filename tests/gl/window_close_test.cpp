// Starts the real program on the display, finds its window by caption, closes it the way a
// window manager's close button does, and expects a clean exit.
#include <gtest/gtest.h>
// X11 defines macros (None, Bool, Status) that clash with gtest: include it after.
#include "x11_find.h"
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

bool WaitForExit(pid_t child, int* status, std::chrono::seconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(child, status, WNOHANG) == child) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(GlWindow, OpensCaptionedGravenholtAndClosingEndsWithZero) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "needs a display (run under xvfb-run)";
    char pattern[] = "/tmp/gvgl-XXXXXX";
    std::string dir = mkdtemp(pattern);
    std::string error;
    ASSERT_TRUE(content::WriteWorld(dir, &error)) << error;  // the program needs its data files

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) _exit(90);
        setenv("GRAVENHOLT_PROFILE", dir.c_str(), 1);
        unsetenv("GRAVENHOLT_HEADLESS");
        unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
        // The display libraries (X11, D-Bus, Mesa) keep allocations to the end of the process;
        // our own code's leaks are checked by the headless tests.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        execl(GRAVENHOLT_EXE, "gravenholt", "-nointro", static_cast<char*>(nullptr));
        _exit(91);
    }

    Window window = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!window && std::chrono::steady_clock::now() < end) {
        int status;
        if (waitpid(child, &status, WNOHANG) == child) FAIL() << "the game ended before its window appeared";
        window = FindByName(display, DefaultRootWindow(display), "Gravenholt", child);
        if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_NE(window, 0u) << "no window captioned Gravenholt";

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);

    int status = 0;
    bool ended = WaitForExit(child, &status, std::chrono::seconds(30));
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
