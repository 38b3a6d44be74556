// Shared by the display tests: starting the real game on the display, waiting for it, and
// finding its window by caption and owner process (tests running side by side on one display
// never take each other's windows).
#pragma once
// gtest before X11: X11 defines macros (None, Bool, Status) that clash with it.
#include <gtest/gtest.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

// How long a display test waits for one stage of the game's run (its window in view, a picture,
// its 20th frame, its exit). Each wait ends as soon as its progress shows, so the limit only says
// when a run that is stuck is given up: far above what the slowest machine takes (two cores busy
// with other builds, the game under the sanitizers, where a stage can take a minute).
inline constexpr std::chrono::seconds kStageLimit{300};

// Starts gravenholt with its data root and profile in dir and the given switches.
// The game dies with the test process: a test that fails or is killed mid-way never leaves a
// window behind on the shared display (nor a process holding the test runner's output open).
inline pid_t StartGravenholt(const std::string& dir, std::vector<const char*> switches) {
    const pid_t parent = getpid();
    pid_t child = fork();
    if (child != 0) return child;
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(89);
    if (chdir(dir.c_str()) != 0) _exit(90);
    setenv("GRAVENHOLT_PROFILE", dir.c_str(), 1);
    unsetenv("GRAVENHOLT_HEADLESS");
    unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
    // The display libraries (X11, D-Bus, Mesa) keep allocations to the end of the process;
    // our own code's leaks are checked by the headless tests.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("gravenholt"));
    for (const char* s : switches) argv.push_back(const_cast<char*>(s));
    argv.push_back(nullptr);
    execv(GRAVENHOLT_EXE, argv.data());
    _exit(91);
}

// Opens the display for a test. X errors are tolerated rather than ending the process (the
// library's default): the game's windows come and go while a test walks the window tree.
inline Display* OpenTestDisplay(const char* name = nullptr) {
    Display* display = XOpenDisplay(name);
    if (display) XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    return display;
}

inline bool WaitForExit(pid_t child, int* status, std::chrono::seconds limit = kStageLimit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(child, status, WNOHANG) == child) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

inline bool WindowBelongsTo(Display* display, Window window, pid_t pid) {
    if (pid == 0) return true;
    Atom property = XInternAtom(display, "_NET_WM_PID", True);
    if (property == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool match = false;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data && count == 1 && format == 32)
        match = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data)) == pid;
    if (data) XFree(data);
    return match;
}

// The window's name as its WM_NAME property holds it, whatever its encoding (SDL's message boxes
// name theirs in UTF-8, which XFetchName does not read).
inline std::string WindowName(Display* display, Window window) {
    XTextProperty property{};
    if (!XGetWMName(display, window, &property) || !property.value) return std::string();
    std::string name(reinterpret_cast<const char*>(property.value), property.nitems);
    XFree(property.value);
    return name;
}

inline Window FindByName(Display* display, Window window, const char* name, pid_t pid = 0) {
    if (WindowName(display, window) == name && WindowBelongsTo(display, window, pid)) return window;
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) found = FindByName(display, children[i], name, pid);
        if (children) XFree(children);
    }
    return found;
}

// A colour as the X server or the device gives it back.
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Rgb& c) { return out << c.r << "," << c.g << "," << c.b; }

// One pixel of a window as the X server holds it.
inline Rgb ReadPixel(Display* display, Window window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return {-1, -1, -1};
    unsigned long pixel = XGetPixel(image, 0, 0);
    auto channel = [pixel](unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) mask >>= 1, ++shift;
        return mask ? static_cast<int>(((pixel >> shift) & mask) * 255 / mask) : 0;
    };
    Rgb rgb{channel(image->red_mask), channel(image->green_mask), channel(image->blue_mask)};
    XDestroyImage(image);
    return rgb;
}

// Polls until the check holds or the time is up (the X server and SDL work asynchronously).
inline bool Eventually(const std::function<bool()>& check, std::chrono::seconds limit = kStageLimit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (check()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return check();
}

// True while the process runs. It is not reaped: WaitForExit still sees its end and status.
inline bool StillRunning(pid_t child) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

// Waits for one stage of the game's run, up to the stage limit, and gives up at once when the game
// ended instead. A failure names the stage and how the wait ended.
inline ::testing::AssertionResult WaitForStage(pid_t child, const std::string& stage,
                                               const std::function<bool()>& reached,
                                               std::chrono::seconds limit = kStageLimit) {
    const auto start = std::chrono::steady_clock::now();
    bool ended = false;
    const bool done = Eventually(
        [&] {
            if (reached()) return true;
            ended = !StillRunning(child);
            return ended;
        },
        limit);
    if (done && !ended) return ::testing::AssertionSuccess();
    const auto waited = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    if (ended) return ::testing::AssertionFailure() << "the game ended while the test waited for " << stage;
    return ::testing::AssertionFailure() << "waited " << waited.count() << " s for " << stage << ": never reached";
}

// The game's crash-detect record ("session.sts") in its profile directory; empty while there is none.
inline std::vector<char> ReadSessionRecord(const std::string& profile) {
    std::ifstream file(profile + "/session.sts", std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The game writes its crash-detect record with the clean mark at its 20th frame (from the start
// of the run until then it carries the running mark): the frame counter a test can see from
// outside. `mode`, unless negative, is the display mode the record must name.
inline bool PassedFrame20(const std::string& profile, int mode = -1) {
    const std::vector<char> record = ReadSessionRecord(profile);
    return record.size() == 8 && static_cast<uint8_t>(record[2]) == 0xAA &&
           (mode < 0 || static_cast<uint8_t>(record[5]) == mode);
}

// Waits until the game's window (named "Gravenholt", of the process child) is in view, at least
// 400 pixels wide, and `shows` accepts it; the window last found (0 for none) either way.
inline Window WaitForGameWindow(Display* display, pid_t child, const std::function<bool(Window)>& shows,
                                std::chrono::seconds limit = kStageLimit) {
    Window window = 0;
    Eventually(
        [&] {
            if (!StillRunning(child)) return true;
            window = FindByName(display, DefaultRootWindow(display), "Gravenholt", child);
            XWindowAttributes attributes{};
            if (!window || !XGetWindowAttributes(display, window, &attributes) ||
                attributes.map_state != IsViewable || attributes.width < 400)
                return false;
            return shows(window);
        },
        limit);
    return window;
}

// Closes a window the way a window manager's close button does.
inline void SendWindowClose(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}
