// Shared by the display tests: starting the real game on the display, waiting for it, and
// finding its window by caption and owner process (tests running side by side on one display
// never take each other's windows).
#pragma once
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

// Starts gravenholt with its data root and profile in dir and the given switches.
inline pid_t StartGravenholt(const std::string& dir, std::vector<const char*> switches) {
    pid_t child = fork();
    if (child != 0) return child;
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

inline bool WaitForExit(pid_t child, int* status, std::chrono::seconds limit) {
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

inline Window FindByName(Display* display, Window window, const char* name, pid_t pid = 0) {
    char* title = nullptr;
    if (XFetchName(display, window, &title) && title) {
        bool match = std::strcmp(title, name) == 0;
        XFree(title);
        if (match && WindowBelongsTo(display, window, pid)) return window;
    }
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) found = FindByName(display, children[i], name, pid);
        if (children) XFree(children);
    }
    return found;
}
