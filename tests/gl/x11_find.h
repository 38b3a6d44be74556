// Finds a top-level window by caption and, when given, by the process that owns it, so tests
// running side by side on one display never take each other's windows.
#pragma once
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstring>

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
