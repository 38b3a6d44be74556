#include "platform/window.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/movie.h"
#include "platform/clock.h"
#include "platform/input.h"

namespace {

struct WindowClass {
    WindowProc proc = nullptr;
};

struct Window {
    std::string className;
    std::string caption;
    WindowProc proc = nullptr;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int showState = SW_HIDE;
    bool bordered = true;
};

struct Timer {
    WindowHandle window;
    uint32_t id;
    uint32_t period;
    uint32_t next;
};

std::map<std::string, WindowClass>& Classes() {
    static std::map<std::string, WindowClass> classes;
    return classes;
}
std::map<WindowHandle, Window>& Windows() {
    static std::map<WindowHandle, Window> windows;
    return windows;
}
std::deque<PlatMsg>& Queue() {
    static std::deque<PlatMsg> queue;
    return queue;
}
std::vector<Timer>& Timers() {
    static std::vector<Timer> timers;
    return timers;
}

WindowHandle g_nextWindow = 1;
WindowHandle g_focus = 0;
WindowHandle g_capture = 0;
bool g_keyDown[256] = {};

std::string Lower(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void PostTimers() {
    uint32_t now = Plat_Milliseconds();
    for (Timer& timer : Timers()) {
        if (static_cast<int32_t>(now - timer.next) >= 0) {
            Plat_PostMessage(timer.window, WM_TIMER, timer.id, 0);
            timer.next = now + timer.period;
        }
    }
}

void TakeInEvents() {
    Plat_Backend()->pollEvents();
    PostTimers();
    PlatMovie_Service();
}

}  // namespace

bool Plat_RegisterClass(const char* className, WindowProc proc) {
    if (!className || !*className || !proc) return false;
    auto& classes = Classes();
    // Registering a class again replaces its procedure (tests start the program many times).
    classes[Lower(className)].proc = proc;
    return true;
}

WindowHandle Plat_CreateWindow(const char* className, const char* caption, int width, int height) {
    auto found = Classes().find(Lower(className ? className : ""));
    if (found == Classes().end()) return 0;
    WindowHandle handle = g_nextWindow++;
    Window window;
    window.className = className;
    window.caption = caption ? caption : "";
    window.proc = found->second.proc;
    window.width = width;
    window.height = height;
    Windows()[handle] = window;
    if (!Plat_Backend()->createWindow(handle, window.caption, width, height)) {
        Windows().erase(handle);
        return 0;
    }
    if (window.proc(handle, WM_CREATE, 0, 0) == -1) {
        Plat_DestroyWindow(handle);
        return 0;
    }
    return Plat_IsWindow(handle) ? handle : 0;
}

void Plat_DestroyWindow(WindowHandle handle) {
    auto found = Windows().find(handle);
    if (found == Windows().end()) return;
    WindowProc proc = found->second.proc;
    proc(handle, WM_DESTROY, 0, 0);
    Plat_SurfaceForget(handle);
    Plat_Backend()->destroyWindow(handle);
    Windows().erase(handle);
    if (g_focus == handle) g_focus = 0;
    if (g_capture == handle) g_capture = 0;
    auto& timers = Timers();
    std::erase_if(timers, [handle](const Timer& t) { return t.window == handle; });
}

bool Plat_IsWindow(WindowHandle window) { return Windows().count(window) != 0; }

WindowHandle Plat_FindWindow(const char* className) {
    std::string key = Lower(className ? className : "");
    for (auto& [handle, window] : Windows())
        if (Lower(window.className) == key) return handle;
    return 0;
}

void Plat_ShowWindow(WindowHandle handle, int command) {
    auto found = Windows().find(handle);
    if (found == Windows().end()) return;
    found->second.showState = command;
    Plat_Backend()->showWindow(handle, command);
}

int Plat_GetShowState(WindowHandle handle) {
    auto found = Windows().find(handle);
    return found == Windows().end() ? SW_HIDE : found->second.showState;
}

void Plat_SetWindowCaption(WindowHandle handle, const char* caption) {
    auto found = Windows().find(handle);
    if (found == Windows().end()) return;
    found->second.caption = caption ? caption : "";
    Plat_Backend()->setCaption(handle, found->second.caption);
}

std::string Plat_GetWindowCaption(WindowHandle handle) {
    auto found = Windows().find(handle);
    return found == Windows().end() ? std::string() : found->second.caption;
}

bool Plat_GetClientRect(WindowHandle handle, PlatRect* rect) {
    auto found = Windows().find(handle);
    if (found == Windows().end() || !rect) return false;
    *rect = PlatRect{0, 0, found->second.width, found->second.height};
    return true;
}

bool Plat_GetWindowRect(WindowHandle handle, PlatRect* rect) {
    // Our windows have no frame of their own: the window rectangle is the client rectangle at
    // the window's place.
    auto found = Windows().find(handle);
    if (found == Windows().end() || !rect) return false;
    const Window& window = found->second;
    *rect = PlatRect{window.x, window.y, window.x + window.width, window.y + window.height};
    return true;
}

void Plat_SetWindowPosition(WindowHandle handle, int x, int y) {
    auto found = Windows().find(handle);
    if (found == Windows().end()) return;
    found->second.x = x;
    found->second.y = y;
    Plat_Backend()->setPosition(handle, x, y);
}

void Plat_SetWindowBordered(WindowHandle handle, bool bordered) {
    auto found = Windows().find(handle);
    if (found == Windows().end()) return;
    found->second.bordered = bordered;
    Plat_Backend()->setBordered(handle, bordered);
}

bool Plat_IsWindowBordered(WindowHandle handle) {
    auto found = Windows().find(handle);
    return found != Windows().end() && found->second.bordered;
}

void Plat_SetWindowSize(WindowHandle handle, int width, int height) {
    auto found = Windows().find(handle);
    if (found == Windows().end()) return;
    found->second.width = width;
    found->second.height = height;
    Plat_Backend()->setSize(handle, width, height);
}

WindowHandle Plat_SetFocus(WindowHandle window) {
    WindowHandle previous = g_focus;
    if (window != 0 && !Plat_IsWindow(window)) return previous;
    g_focus = window;
    return previous;
}

WindowHandle Plat_GetFocus() { return g_focus; }

void Plat_CaptureMouse(WindowHandle window, bool capture) {
    if (capture && !Plat_IsWindow(window)) return;
    g_capture = capture ? window : 0;
    Plat_Backend()->captureMouse(window, capture);
}

bool Plat_IsMouseCaptured() { return g_capture != 0; }

bool Plat_PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    if (window != 0 && !Plat_IsWindow(window)) return false;
    Queue().push_back(PlatMsg{window, message, wParam, lParam, Plat_Milliseconds()});
    return true;
}

void Plat_PostQuitMessage(int exitCode) {
    Queue().push_back(PlatMsg{0, WM_QUIT, static_cast<WParam>(static_cast<int64_t>(exitCode)), 0, Plat_Milliseconds()});
}

LResult Plat_SendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    auto found = Windows().find(window);
    if (found == Windows().end()) return 0;
    return found->second.proc(window, message, wParam, lParam);
}

bool Plat_PeekMessage(PlatMsg* msg, bool remove) {
    TakeInEvents();
    auto& queue = Queue();
    if (queue.empty()) return false;
    if (msg) *msg = queue.front();
    if (remove) {
        Plat_NoteKeyMessage(queue.front());
        queue.pop_front();
    }
    return true;
}

bool Plat_PeekMessageRange(PlatMsg* msg, uint32_t first, uint32_t last, bool remove) {
    TakeInEvents();
    auto& queue = Queue();
    auto found = std::find_if(queue.begin(), queue.end(),
                              [&](const PlatMsg& m) { return m.message >= first && m.message <= last; });
    if (found == queue.end()) return false;
    if (msg) *msg = *found;
    if (remove) {
        Plat_NoteKeyMessage(*found);
        queue.erase(found);
    }
    return true;
}

bool Plat_GetMessage(PlatMsg* msg) {
    PlatMsg local;
    while (!Plat_PeekMessage(&local, true)) Plat_Backend()->waitEvents(10);
    if (msg) *msg = local;
    return local.message != WM_QUIT;
}

bool Plat_TranslateMessage(const PlatMsg* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return false;
    int vk = static_cast<int>(msg->wParam & 0xFF);
    int ch = Plat_UsKeyCharacter(vk, Plat_IsKeyDown(VK_SHIFT));
    if (ch == 0) return false;
    uint32_t kind = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    // The character comes next, ahead of anything posted later.
    Queue().push_front(PlatMsg{msg->window, kind, static_cast<WParam>(ch), msg->lParam, msg->time});
    return true;
}

LResult Plat_DispatchMessage(const PlatMsg* msg) {
    if (!msg || msg->window == 0) return 0;
    return Plat_SendMessage(msg->window, msg->message, msg->wParam, msg->lParam);
}

LResult Plat_DefWindowProc(WindowHandle window, uint32_t message, WParam, LParam) {
    if (message == WM_CLOSE) Plat_DestroyWindow(window);
    return 0;
}

size_t Plat_PendingMessages() { return Queue().size(); }
void Plat_ClearMessages() { Queue().clear(); }

size_t Plat_RemoveMessages(uint32_t message) {
    TakeInEvents();
    return std::erase_if(Queue(), [message](const PlatMsg& msg) { return msg.message == message; });
}

bool Plat_SetTimer(WindowHandle window, uint32_t id, uint32_t periodMs) {
    if (!Plat_IsWindow(window) || periodMs == 0) return false;
    Plat_KillTimer(window, id);
    Timers().push_back(Timer{window, id, periodMs, Plat_Milliseconds() + periodMs});
    return true;
}

bool Plat_KillTimer(WindowHandle window, uint32_t id) {
    auto& timers = Timers();
    size_t before = timers.size();
    std::erase_if(timers, [&](const Timer& t) { return t.window == window && t.id == id; });
    return timers.size() != before;
}

bool Plat_IsKeyDown(int virtualKey) { return virtualKey >= 0 && virtualKey < 256 && g_keyDown[virtualKey]; }

void Plat_SetKeyState(int virtualKey, bool down) {
    if (virtualKey >= 0 && virtualKey < 256) g_keyDown[virtualKey] = down;
}

std::vector<WindowHandle> Plat_AllWindows() {
    std::vector<WindowHandle> out;
    for (auto& [handle, window] : Windows()) out.push_back(handle);
    return out;
}
