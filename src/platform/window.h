// Windows, the message queue and the message numbers the game code uses.
//
// The queue is ours and backend-independent: the sdl backend turns its events into
// messages posted here, the headless backend gets them from the test or a script.
#pragma once
#include <cstdint>
#include <string>

using WindowHandle = uint32_t;  // 0 names no window
using WParam = uint64_t;
using LParam = int64_t;
using LResult = int64_t;
using WindowProc = LResult (*)(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

struct PlatMsg {
    WindowHandle window = 0;  // 0: a message for the thread, not for a window
    uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    uint32_t time = 0;
};

struct PlatRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Message numbers (the values the game's window procedure is written against).
constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_SETFOCUS = 0x0007;
constexpr uint32_t WM_KILLFOCUS = 0x0008;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_KEYFIRST = 0x0100;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_SYSCHAR = 0x0106;
constexpr uint32_t WM_KEYLAST = 0x0109;
constexpr uint32_t WM_TIMER = 0x0113;
constexpr uint32_t WM_MOUSEFIRST = 0x0200;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MBUTTONDBLCLK = 0x0209;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
constexpr uint32_t WM_XBUTTONDOWN = 0x020B;
constexpr uint32_t WM_XBUTTONUP = 0x020C;
constexpr uint32_t WM_XBUTTONDBLCLK = 0x020D;
constexpr uint32_t WM_MOUSEHWHEEL = 0x020E;
constexpr uint32_t WM_MOUSELAST = 0x020E;
constexpr uint32_t WM_QUERYNEWPALETTE = 0x030F;
constexpr uint32_t WM_PALETTECHANGED = 0x0311;
constexpr uint32_t MM_MCINOTIFY = 0x03B9;
constexpr uint32_t WM_USER = 0x0400;

// WM_ACTIVATE's low word, WM_SIZE's wParam.
constexpr WParam WA_INACTIVE = 0;
constexpr WParam WA_ACTIVE = 1;
constexpr WParam SIZE_RESTORED = 0;
constexpr WParam SIZE_MINIMIZED = 1;
constexpr WParam SIZE_MAXIMIZED = 2;
// The high word of WM_XBUTTONDOWN / WM_XBUTTONUP's wParam.
constexpr WParam XBUTTON1 = 1;
constexpr WParam XBUTTON2 = 2;

// Show commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;

// Virtual key codes (letters and digits are their upper-case ASCII codes).
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;  // Alt
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_SNAPSHOT = 0x2C;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_LWIN = 0x5B;
constexpr int VK_RWIN = 0x5C;
constexpr int VK_APPS = 0x5D;
constexpr int VK_NUMPAD0 = 0x60;
constexpr int VK_MULTIPLY = 0x6A;
constexpr int VK_ADD = 0x6B;
constexpr int VK_SEPARATOR = 0x6C;
constexpr int VK_SUBTRACT = 0x6D;
constexpr int VK_DECIMAL = 0x6E;
constexpr int VK_DIVIDE = 0x6F;
constexpr int VK_F1 = 0x70;
constexpr int VK_F11 = 0x7A;
constexpr int VK_F12 = 0x7B;
constexpr int VK_F15 = 0x7E;
constexpr int VK_NUMLOCK = 0x90;
constexpr int VK_SCROLL = 0x91;
constexpr int VK_OEM_1 = 0xBA;       // ;:
constexpr int VK_OEM_PLUS = 0xBB;    // =+
constexpr int VK_OEM_COMMA = 0xBC;   // ,<
constexpr int VK_OEM_MINUS = 0xBD;   // -_
constexpr int VK_OEM_PERIOD = 0xBE;  // .>
constexpr int VK_OEM_2 = 0xBF;       // /?
constexpr int VK_OEM_3 = 0xC0;       // `~
constexpr int VK_OEM_4 = 0xDB;       // [{
constexpr int VK_OEM_5 = 0xDC;       // \|
constexpr int VK_OEM_6 = 0xDD;       // ]}
constexpr int VK_OEM_7 = 0xDE;       // '"
constexpr int VK_OEM_102 = 0xE2;     // the extra key next to left Shift

// Window classes and windows. Creating a window sends WM_CREATE, destroying it WM_DESTROY.
bool Plat_RegisterClass(const char* className, WindowProc proc);
WindowHandle Plat_CreateWindow(const char* className, const char* caption, int width, int height);
void Plat_DestroyWindow(WindowHandle window);
bool Plat_IsWindow(WindowHandle window);
// Finds a window of the class in this process (another process is found by the instance lock).
WindowHandle Plat_FindWindow(const char* className);
void Plat_ShowWindow(WindowHandle window, int command);
int Plat_GetShowState(WindowHandle window);  // the last show command
void Plat_SetWindowCaption(WindowHandle window, const char* caption);
std::string Plat_GetWindowCaption(WindowHandle window);
bool Plat_GetClientRect(WindowHandle window, PlatRect* rect);
bool Plat_GetWindowRect(WindowHandle window, PlatRect* rect);
void Plat_SetWindowSize(WindowHandle window, int width, int height);
// The window's place on the desktop (its top-left corner); Plat_GetWindowRect reports it.
void Plat_SetWindowPosition(WindowHandle window, int x, int y);
// A bordered window has a caption and a sizing border; a borderless one (a popup) has neither.
// Windows start bordered.
void Plat_SetWindowBordered(WindowHandle window, bool bordered);
bool Plat_IsWindowBordered(WindowHandle window);
WindowHandle Plat_SetFocus(WindowHandle window);  // returns the previous focus
WindowHandle Plat_GetFocus();

// Mouse ownership: capture keeps the pointer inside the window and hides it.
void Plat_CaptureMouse(WindowHandle window, bool capture);
bool Plat_IsMouseCaptured();

// The queue.
bool Plat_PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
void Plat_PostQuitMessage(int exitCode);  // a thread quit (no window)
LResult Plat_SendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
// Looks for a waiting message (after taking in the backend's events); removes it when asked.
bool Plat_PeekMessage(PlatMsg* msg, bool remove);
// The same over the first waiting message numbered first..last (others stay where they are).
bool Plat_PeekMessageRange(PlatMsg* msg, uint32_t first, uint32_t last, bool remove);
// Waits for a message; false when it is a WM_QUIT.
bool Plat_GetMessage(PlatMsg* msg);
// Key-down of a key that types a character posts a WM_CHAR (WM_SYSCHAR for system keys).
bool Plat_TranslateMessage(const PlatMsg* msg);
// Calls the procedure of the message's window; a thread message goes nowhere and gives 0.
LResult Plat_DispatchMessage(const PlatMsg* msg);
LResult Plat_DefWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
size_t Plat_PendingMessages();
void Plat_ClearMessages();
// Takes in waiting events, then removes every queued message of that number; returns how many.
size_t Plat_RemoveMessages(uint32_t message);

// Timers post WM_TIMER with the timer id in wParam.
bool Plat_SetTimer(WindowHandle window, uint32_t id, uint32_t periodMs);
bool Plat_KillTimer(WindowHandle window, uint32_t id);

// Key state as the backend last saw it (a script or test may set it too).
bool Plat_IsKeyDown(int virtualKey);
void Plat_SetKeyState(int virtualKey, bool down);
