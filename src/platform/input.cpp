#include "platform/input.h"

#include <SDL_scancode.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "platform/backend.h"

namespace {

// ---- the key table -------------------------------------------------------------------------
struct KeyRow {
    int usage;
    int scanCode;
    bool extended;
    int virtualKey;
};

constexpr bool E = true;
constexpr bool P = false;

// Every physical key the game can see: the set-1 scan code and extended flag of the PC
// keyboard, and the virtual key a window gets for it (Shift, Control and Alt give the one
// virtual key of their pair). The keypad keeps its digits' virtual keys; the arrow and
// Insert-to-Page-Down clusters are the keypad's codes with the extended flag.
const KeyRow kKeys[] = {
    {SDL_SCANCODE_ESCAPE, 1, P, VK_ESCAPE},
    {SDL_SCANCODE_1, 2, P, '1'}, {SDL_SCANCODE_2, 3, P, '2'}, {SDL_SCANCODE_3, 4, P, '3'},
    {SDL_SCANCODE_4, 5, P, '4'}, {SDL_SCANCODE_5, 6, P, '5'}, {SDL_SCANCODE_6, 7, P, '6'},
    {SDL_SCANCODE_7, 8, P, '7'}, {SDL_SCANCODE_8, 9, P, '8'}, {SDL_SCANCODE_9, 10, P, '9'},
    {SDL_SCANCODE_0, 11, P, '0'},
    {SDL_SCANCODE_MINUS, 12, P, VK_OEM_MINUS}, {SDL_SCANCODE_EQUALS, 13, P, VK_OEM_PLUS},
    {SDL_SCANCODE_BACKSPACE, 14, P, VK_BACK}, {SDL_SCANCODE_TAB, 15, P, VK_TAB},
    {SDL_SCANCODE_Q, 16, P, 'Q'}, {SDL_SCANCODE_W, 17, P, 'W'}, {SDL_SCANCODE_E, 18, P, 'E'},
    {SDL_SCANCODE_R, 19, P, 'R'}, {SDL_SCANCODE_T, 20, P, 'T'}, {SDL_SCANCODE_Y, 21, P, 'Y'},
    {SDL_SCANCODE_U, 22, P, 'U'}, {SDL_SCANCODE_I, 23, P, 'I'}, {SDL_SCANCODE_O, 24, P, 'O'},
    {SDL_SCANCODE_P, 25, P, 'P'},
    {SDL_SCANCODE_LEFTBRACKET, 26, P, VK_OEM_4}, {SDL_SCANCODE_RIGHTBRACKET, 27, P, VK_OEM_6},
    {SDL_SCANCODE_RETURN, 28, P, VK_RETURN}, {SDL_SCANCODE_LCTRL, 29, P, VK_CONTROL},
    {SDL_SCANCODE_A, 30, P, 'A'}, {SDL_SCANCODE_S, 31, P, 'S'}, {SDL_SCANCODE_D, 32, P, 'D'},
    {SDL_SCANCODE_F, 33, P, 'F'}, {SDL_SCANCODE_G, 34, P, 'G'}, {SDL_SCANCODE_H, 35, P, 'H'},
    {SDL_SCANCODE_J, 36, P, 'J'}, {SDL_SCANCODE_K, 37, P, 'K'}, {SDL_SCANCODE_L, 38, P, 'L'},
    {SDL_SCANCODE_SEMICOLON, 39, P, VK_OEM_1}, {SDL_SCANCODE_APOSTROPHE, 40, P, VK_OEM_7},
    {SDL_SCANCODE_GRAVE, 41, P, VK_OEM_3}, {SDL_SCANCODE_LSHIFT, 42, P, VK_SHIFT},
    {SDL_SCANCODE_BACKSLASH, 43, P, VK_OEM_5}, {SDL_SCANCODE_NONUSHASH, 43, P, VK_OEM_5},
    {SDL_SCANCODE_Z, 44, P, 'Z'}, {SDL_SCANCODE_X, 45, P, 'X'}, {SDL_SCANCODE_C, 46, P, 'C'},
    {SDL_SCANCODE_V, 47, P, 'V'}, {SDL_SCANCODE_B, 48, P, 'B'}, {SDL_SCANCODE_N, 49, P, 'N'},
    {SDL_SCANCODE_M, 50, P, 'M'},
    {SDL_SCANCODE_COMMA, 51, P, VK_OEM_COMMA}, {SDL_SCANCODE_PERIOD, 52, P, VK_OEM_PERIOD},
    {SDL_SCANCODE_SLASH, 53, P, VK_OEM_2}, {SDL_SCANCODE_RSHIFT, 54, P, VK_SHIFT},
    {SDL_SCANCODE_KP_MULTIPLY, 55, P, VK_MULTIPLY}, {SDL_SCANCODE_LALT, 56, P, VK_MENU},
    {SDL_SCANCODE_SPACE, 57, P, VK_SPACE}, {SDL_SCANCODE_CAPSLOCK, 58, P, VK_CAPITAL},
    {SDL_SCANCODE_F1, 59, P, VK_F1}, {SDL_SCANCODE_F2, 60, P, VK_F1 + 1}, {SDL_SCANCODE_F3, 61, P, VK_F1 + 2},
    {SDL_SCANCODE_F4, 62, P, VK_F1 + 3}, {SDL_SCANCODE_F5, 63, P, VK_F1 + 4}, {SDL_SCANCODE_F6, 64, P, VK_F1 + 5},
    {SDL_SCANCODE_F7, 65, P, VK_F1 + 6}, {SDL_SCANCODE_F8, 66, P, VK_F1 + 7}, {SDL_SCANCODE_F9, 67, P, VK_F1 + 8},
    {SDL_SCANCODE_F10, 68, P, VK_F1 + 9},
    {SDL_SCANCODE_PAUSE, 69, P, VK_PAUSE}, {SDL_SCANCODE_NUMLOCKCLEAR, 69, E, VK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, 70, P, VK_SCROLL},
    {SDL_SCANCODE_KP_7, 71, P, VK_NUMPAD0 + 7}, {SDL_SCANCODE_KP_8, 72, P, VK_NUMPAD0 + 8},
    {SDL_SCANCODE_KP_9, 73, P, VK_NUMPAD0 + 9}, {SDL_SCANCODE_KP_MINUS, 74, P, VK_SUBTRACT},
    {SDL_SCANCODE_KP_4, 75, P, VK_NUMPAD0 + 4}, {SDL_SCANCODE_KP_5, 76, P, VK_NUMPAD0 + 5},
    {SDL_SCANCODE_KP_6, 77, P, VK_NUMPAD0 + 6}, {SDL_SCANCODE_KP_PLUS, 78, P, VK_ADD},
    {SDL_SCANCODE_KP_1, 79, P, VK_NUMPAD0 + 1}, {SDL_SCANCODE_KP_2, 80, P, VK_NUMPAD0 + 2},
    {SDL_SCANCODE_KP_3, 81, P, VK_NUMPAD0 + 3}, {SDL_SCANCODE_KP_0, 82, P, VK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, 83, P, VK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, 86, P, VK_OEM_102},
    {SDL_SCANCODE_F11, 87, P, VK_F11}, {SDL_SCANCODE_F12, 88, P, VK_F12},
    {SDL_SCANCODE_KP_ENTER, 28, E, VK_RETURN}, {SDL_SCANCODE_RCTRL, 29, E, VK_CONTROL},
    {SDL_SCANCODE_KP_DIVIDE, 53, E, VK_DIVIDE}, {SDL_SCANCODE_PRINTSCREEN, 55, E, VK_SNAPSHOT},
    {SDL_SCANCODE_RALT, 56, E, VK_MENU},
    {SDL_SCANCODE_HOME, 71, E, VK_HOME}, {SDL_SCANCODE_UP, 72, E, VK_UP}, {SDL_SCANCODE_PAGEUP, 73, E, VK_PRIOR},
    {SDL_SCANCODE_LEFT, 75, E, VK_LEFT}, {SDL_SCANCODE_RIGHT, 77, E, VK_RIGHT},
    {SDL_SCANCODE_END, 79, E, VK_END}, {SDL_SCANCODE_DOWN, 80, E, VK_DOWN}, {SDL_SCANCODE_PAGEDOWN, 81, E, VK_NEXT},
    {SDL_SCANCODE_INSERT, 82, E, VK_INSERT}, {SDL_SCANCODE_DELETE, 83, E, VK_DELETE},
    {SDL_SCANCODE_LGUI, 91, E, VK_LWIN}, {SDL_SCANCODE_RGUI, 92, E, VK_RWIN},
    {SDL_SCANCODE_APPLICATION, 93, E, VK_APPS},
};

const KeyRow* RowOfUsage(int usage) {
    for (const KeyRow& row : kKeys)
        if (row.usage == usage) return &row;
    return nullptr;
}

const KeyRow* RowOfScan(int scan, bool extended) {
    for (const KeyRow& row : kKeys)
        if (row.scanCode == scan && row.extended == extended) return &row;
    return nullptr;
}

PlatKey KeyOf(const KeyRow& row) { return PlatKey{row.scanCode, row.extended, row.virtualKey}; }

// ---- shared state --------------------------------------------------------------------------
struct SimCursor {
    int x = 0;
    int y = 0;
    WindowHandle clip = 0;
};

struct ScriptedStick {
    PlatJoyCaps caps;
    PlatJoyPos pos;
    bool haptic = false;
    bool unplugged = false;
};

struct ScriptEvent {
    long frame;
    int line;
    std::vector<std::string> words;
};

struct InputState {
    // Keys as (scan code, extended): down as far as the posted messages go, and as far as the
    // program has taken its messages (what Plat_IsKeyDown answers, as a window's key state
    // follows the messages it has read).
    std::set<std::pair<int, bool>> keysPosted;
    std::set<std::pair<int, bool>> keysDown;
    SimCursor cursor;
    int showCount = 0;
    std::map<int, ScriptedStick> sticks;
    std::map<std::string, std::vector<PlatLibraryEntry>> overrides;
    std::map<PlatLibrary, std::string> loaded;
    PlatLibrary nextLibrary = 1;
    std::vector<std::string> log;
    std::vector<ScriptEvent> script;
    size_t scriptNext = 0;
    int forcePort = 0;
};

InputState& State() {
    static InputState state;
    return state;
}

PlatKeyNameResolver g_resolver = nullptr;

LParam Point(int x, int y) { return static_cast<LParam>((x & 0xFFFF) | ((y & 0xFFFF) << 16)); }

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// ---- the force-feedback library ------------------------------------------------------------
// Port n drives joystick n - 1. Only the six calls the game makes do something.
void Log(const std::string& line) { State().log.push_back(line); }

int ForceSetPort(int port) {
    State().forcePort = port;
    Log("_SetJoystickPort " + std::to_string(port));
    return 1;
}
int ForceInitStick(int32_t* status) {
    if (status) std::fill(status, status + 15, 0);
    const bool found = State().forcePort >= 1 && Plat_Backend()->hapticOpen(State().forcePort - 1);
    Log(std::string("_InitStick ") + (found ? "1" : "0"));
    return found ? 1 : 0;
}
int ForceControl(const char* name, PlatHaptic command) {
    Log(name);
    if (State().forcePort >= 1) Plat_Backend()->hapticControl(State().forcePort - 1, command);
    return 1;
}
int ForceCloseStick() { return ForceControl("_CloseStick", PlatHaptic::Close); }
int ForceEnable() { return ForceControl("_EnableForces", PlatHaptic::Enable); }
int ForceDisable() { return ForceControl("_DisableForces", PlatHaptic::Disable); }
int ForceClear() { return ForceControl("_ClearForces", PlatHaptic::Clear); }
int ForceNothing() { return 0; }

template <typename F>
PlatProc Proc(F* fn) {
    return reinterpret_cast<PlatProc>(fn);
}

std::vector<PlatLibraryEntry> ForceLibrary() {
    std::vector<PlatLibraryEntry> entries;
    const char* const quiet[] = {"_GetStickStatus", "_Echo", "_IForceAuthenticate", "_GetStickError", "_Jolt",
                                 "_ButtonReflexJolt", "_ButtonReflexClear", "_XVibration", "_XVibrationClear",
                                 "_YVibration", "_YVibrationClear", "_Buffeting", "_BuffetingClear",
                                 "_VectorForce", "_VectorForceClear", "_XYVectorForce", "_EnablePositionReporting",
                                 "_DisablePositionReporting", "_GetStickPosition", "_XSpring", "_XSpringClear",
                                 "_YSpring", "_YSpringClear"};
    entries.push_back({"_InitStick", Proc(ForceInitStick)});
    entries.push_back({"_EnableForces", Proc(ForceEnable)});
    entries.push_back({"_DisableForces", Proc(ForceDisable)});
    entries.push_back({"_ClearForces", Proc(ForceClear)});
    entries.push_back({"_CloseStick", Proc(ForceCloseStick)});
    entries.push_back({"_SetJoystickPort", Proc(ForceSetPort)});
    for (const char* name : quiet) entries.push_back({name, Proc(ForceNothing)});
    return entries;
}

const std::vector<PlatLibraryEntry>* LibraryTable(const std::string& name) {
    auto over = State().overrides.find(name);
    if (over != State().overrides.end()) return over->second.empty() ? nullptr : &over->second;
    static const std::vector<PlatLibraryEntry> force = ForceLibrary();
    if (name == "iforce.dll") return &force;
    return nullptr;
}

// ---- the script ----------------------------------------------------------------------------
bool ParseLong(const std::string& text, long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (*end) return false;
    *out = value;
    return true;
}

int AxisOf(const std::string& name) {
    static const char* const names[] = {"x", "y", "z", "r", "u", "v"};
    for (int i = 0; i < kJoyAxisCount; ++i)
        if (Lower(name) == names[i]) return i;
    return -1;
}

struct MouseButton {
    const char* name;
    uint32_t down;
    uint32_t up;
    WParam xflag;
};
const MouseButton kButtons[] = {
    {"left", WM_LBUTTONDOWN, WM_LBUTTONUP, 0},   {"right", WM_RBUTTONDOWN, WM_RBUTTONUP, 0},
    {"middle", WM_MBUTTONDOWN, WM_MBUTTONUP, 0}, {"x1", WM_XBUTTONDOWN, WM_XBUTTONUP, XBUTTON1},
    {"x2", WM_XBUTTONDOWN, WM_XBUTTONUP, XBUTTON2},
};

const MouseButton* ButtonOf(const std::string& name) {
    for (const MouseButton& b : kButtons)
        if (Lower(name) == b.name) return &b;
    return nullptr;
}

bool ResolveKey(const std::string& name, PlatKey* key) {
    if (Lower(name) == "pause") return Plat_KeyOfScanCode(69, false, key);
    int scan = 0;
    bool extended = false;
    if (!g_resolver || !g_resolver(name.c_str(), &scan, &extended)) return false;
    return Plat_KeyOfScanCode(scan, extended, key);
}

// Checks an event's words; with a window, also plays it. Returns the problem, or empty.
std::string RunEvent(const std::vector<std::string>& w, WindowHandle window, bool play) {
    const std::string& kind = w[1];
    const size_t n = w.size();
    long a = 0, b = 0;
    if (kind == "keydown" || kind == "keyup") {
        if (n != 3) return "expected a key name";
        PlatKey key;
        if (!ResolveKey(w[2], &key)) {
            if (!play && !g_resolver && Lower(w[2]) != "pause") return std::string();  // checked when played
            return "unknown key \"" + w[2] + "\"";
        }
        if (play) {
            const bool down = kind == "keydown";
            const bool held = State().keysPosted.count({key.scanCode, key.extended}) != 0;
            Plat_PostKey(window, key, down, down && held);
        }
        return std::string();
    }
    if (kind == "mousemove") {
        if (n != 4 || !ParseLong(w[2], &a) || !ParseLong(w[3], &b) || std::labs(a) > 100000 || std::labs(b) > 100000)
            return "expected mousemove DX DY (each within 100000)";
        if (play) {
            int x = 0, y = 0;
            Plat_GetCursorPos(window, &x, &y);
            Plat_SetCursorPos(window, x + static_cast<int>(a), y + static_cast<int>(b));
            Plat_GetCursorPos(window, &x, &y);
            Plat_PostMessage(window, WM_MOUSEMOVE, 0, Point(x, y));
        }
        return std::string();
    }
    if (kind == "mousedown" || kind == "mouseup") {
        const MouseButton* button = n == 3 ? ButtonOf(w[2]) : nullptr;
        if (!button) return "expected a mouse button (left, right, middle, x1, x2)";
        if (play) {
            int x = 0, y = 0;
            Plat_GetCursorPos(window, &x, &y);
            Plat_PostMessage(window, kind == "mousedown" ? button->down : button->up, button->xflag << 16, Point(x, y));
        }
        return std::string();
    }
    if (kind == "wheel" || kind == "hwheel") {
        if (n != 3 || !ParseLong(w[2], &a) || a < -32768 || a > 32767) return "expected a wheel delta";
        if (play)
            Plat_PostMessage(window, kind == "wheel" ? WM_MOUSEWHEEL : WM_MOUSEHWHEEL,
                             static_cast<WParam>(static_cast<uint16_t>(a)) << 16, 0);
        return std::string();
    }
    if (kind == "focus") {
        if (n != 3 || (w[2] != "lost" && w[2] != "gained")) return "expected focus lost or focus gained";
        if (play) Plat_PostActivation(window, w[2] == "gained");
        return std::string();
    }
    if (kind == "joystick") {
        if (n < 4 || !ParseLong(w[2], &a) || a < 0 || a > 15) return "expected joystick ID (0 to 15) and an event";
        const int id = static_cast<int>(a);
        const std::string& what = w[3];
        if (what == "connect") {
            long axes = 0, buttons = 0, hat = 0;
            if (n < 7 || !ParseLong(w[4], &axes) || axes < 2 || axes > 6 || !ParseLong(w[5], &buttons) ||
                buttons < 0 || buttons > kJoyMaxButtons || !ParseLong(w[6], &hat) || hat < 0 || hat > 1)
                return "expected joystick ID connect AXES(2-6) BUTTONS(0-32) HAT(0-1) [haptic] [NAME]";
            PlatJoyCaps caps;
            for (int i = 0; i < kJoyAxisCount; ++i) caps.hasAxis[i] = i < axes;
            caps.buttons = static_cast<int>(buttons);
            caps.hasHat = hat != 0;
            size_t next = 7;
            const bool haptic = n > next && w[next] == "haptic";
            if (haptic) ++next;
            for (; next < n; ++next) caps.name += (caps.name.empty() ? "" : " ") + w[next];
            if (play) Plat_ScriptJoyConnect(id, caps, haptic);
            return std::string();
        }
        if (what == "axis") {
            int axis = n == 6 ? AxisOf(w[4]) : -1;
            if (axis < 0 || !ParseLong(w[5], &b) || b < 0 || b > 65535) return "expected axis x|y|z|r|u|v 0..65535";
            if (play) Plat_ScriptJoyAxis(id, axis, static_cast<int32_t>(b));
            return std::string();
        }
        if (what == "button") {
            if (n != 6 || !ParseLong(w[4], &b) || b < 1 || b > kJoyMaxButtons || (w[5] != "down" && w[5] != "up"))
                return "expected button N(1-32) down|up";
            if (play) Plat_ScriptJoyButton(id, static_cast<int>(b - 1), w[5] == "down");
            return std::string();
        }
        if (what == "hat") {
            if (n != 5) return "expected hat ANGLE or hat centre";
            uint32_t angle = kJoyHatCentred;
            if (w[4] != "centre") {
                if (!ParseLong(w[4], &b) || b < 0 || b >= 36000) return "expected a hat angle 0..35999 or centre";
                angle = static_cast<uint32_t>(b);
            }
            if (play) Plat_ScriptJoyHat(id, angle);
            return std::string();
        }
        if (what == "unplug" && n == 4) {
            if (play) Plat_ScriptJoyUnplug(id);
            return std::string();
        }
        return "unknown joystick event \"" + what + "\"";
    }
    return "unknown event \"" + kind + "\"";
}

ScriptedStick* Stick(int id) {
    auto found = State().sticks.find(id);
    return found == State().sticks.end() ? nullptr : &found->second;
}

}  // namespace

// ---- keys --------------------------------------------------------------------------------
bool Plat_KeyOfUsage(int usage, PlatKey* out) {
    const KeyRow* row = RowOfUsage(usage);
    if (row && out) *out = KeyOf(*row);
    return row != nullptr;
}

int Plat_UsageOfVirtualKey(int virtualKey) {
    for (const KeyRow& row : kKeys)
        if (row.virtualKey == virtualKey) return row.usage;
    return 0;
}

bool Plat_KeyOfScanCode(int scanCode, bool extended, PlatKey* out) {
    const KeyRow* row = RowOfScan(scanCode, extended);
    if (row && out) *out = KeyOf(*row);
    return row != nullptr;
}

namespace {

void Track(std::set<std::pair<int, bool>>& keys, const PlatKey& key, bool down) {
    if (down)
        keys.insert({key.scanCode, key.extended});
    else
        keys.erase({key.scanCode, key.extended});
}

// Whether any key in the set gives the virtual key (either key of a Shift, Control or Alt pair).
bool AnyDown(const std::set<std::pair<int, bool>>& keys, int virtualKey) {
    for (auto [scan, extended] : keys) {
        const KeyRow* row = RowOfScan(scan, extended);
        if (row && row->virtualKey == virtualKey) return true;
    }
    return false;
}

}  // namespace

void Plat_PostKey(WindowHandle window, const PlatKey& key, bool down, bool repeat) {
    Track(State().keysPosted, key, down);
    const bool alt = AnyDown(State().keysPosted, VK_MENU) || key.virtualKey == VK_MENU;
    const uint32_t message = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    LParam lParam = 1 | static_cast<LParam>(key.scanCode & 0xFF) << 16;
    if (key.extended) lParam |= 1LL << 24;
    if (alt) lParam |= 1LL << 29;
    if (repeat || !down) lParam |= 1LL << 30;
    if (!down) lParam |= 1LL << 31;
    Plat_PostMessage(window, message, static_cast<WParam>(key.virtualKey), lParam);
}

void Plat_NoteKeyMessage(const PlatMsg& msg) {
    const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    if (!down && msg.message != WM_KEYUP && msg.message != WM_SYSKEYUP) return;
    const KeyRow* row = RowOfScan(static_cast<int>((msg.lParam >> 16) & 0xFF), (msg.lParam >> 24) & 1);
    if (!row) return;
    Track(State().keysDown, KeyOf(*row), down);
    Plat_SetKeyState(row->virtualKey, AnyDown(State().keysDown, row->virtualKey));
}

void Plat_ReleaseAllKeys() {
    for (auto [scan, extended] : State().keysDown)
        if (const KeyRow* row = RowOfScan(scan, extended)) Plat_SetKeyState(row->virtualKey, false);
    State().keysDown.clear();
    State().keysPosted.clear();
}

int Plat_UsKeyCharacter(int vk, bool shift) {
    if (vk >= 'A' && vk <= 'Z') return shift ? vk : vk - 'A' + 'a';
    if (vk >= '0' && vk <= '9') {
        static const char shifted[] = ")!@#$%^&*(";
        return shift ? shifted[vk - '0'] : vk;
    }
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return '0' + (vk - VK_NUMPAD0);
    switch (vk) {
        case VK_SPACE: return ' ';
        case VK_RETURN: return '\r';
        case VK_BACK: return '\b';
        case VK_TAB: return '\t';
        case VK_ESCAPE: return 0x1B;
        case VK_MULTIPLY: return '*';
        case VK_ADD: return '+';
        case VK_SUBTRACT: return '-';
        case VK_DECIMAL: return '.';
        case VK_DIVIDE: return '/';
        case VK_OEM_1: return shift ? ':' : ';';
        case VK_OEM_PLUS: return shift ? '+' : '=';
        case VK_OEM_COMMA: return shift ? '<' : ',';
        case VK_OEM_MINUS: return shift ? '_' : '-';
        case VK_OEM_PERIOD: return shift ? '>' : '.';
        case VK_OEM_2: return shift ? '?' : '/';
        case VK_OEM_3: return shift ? '~' : '`';
        case VK_OEM_4: return shift ? '{' : '[';
        case VK_OEM_5:
        case VK_OEM_102: return shift ? '|' : '\\';
        case VK_OEM_6: return shift ? '}' : ']';
        case VK_OEM_7: return shift ? '"' : '\'';
        default: return 0;
    }
}

int Plat_UnshiftedChar(int virtualKey) { return Plat_Backend()->unshiftedChar(virtualKey); }

int PlatBackend::unshiftedChar(int virtualKey) {
    const int ch = Plat_UsKeyCharacter(virtualKey, false);
    return ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch;
}

void Plat_InjectKey(int virtualKey, int scanCode, bool extended, bool up) {
    char line[64];
    std::snprintf(line, sizeof line, "InjectKey %d %d%s %s", virtualKey, scanCode, extended ? " extended" : "",
                  up ? "up" : "down");
    Log(line);
}

// ---- cursor ------------------------------------------------------------------------------
bool Plat_GetCursorPos(WindowHandle window, int* x, int* y) {
    int cx = 0, cy = 0;
    if (!Plat_IsWindow(window) || !Plat_Backend()->cursorPos(window, &cx, &cy)) return false;
    if (x) *x = cx;
    if (y) *y = cy;
    return true;
}

void Plat_SetCursorPos(WindowHandle window, int x, int y) {
    if (Plat_IsWindow(window)) Plat_Backend()->warpCursor(window, x, y);
}

void Plat_ClipCursor(WindowHandle window) {
    if (window && !Plat_IsWindow(window)) return;
    State().cursor.clip = window;
    Plat_Backend()->clipCursor(window);
}

WindowHandle Plat_CursorClipWindow() { return State().cursor.clip; }

int Plat_ShowCursor(bool show) {
    int& count = State().showCount;
    count += show ? 1 : -1;
    if ((show && count == 0) || (!show && count == -1)) Plat_Backend()->showCursor(show);
    return count;
}

int Plat_CursorShowCount() { return State().showCount; }

bool PlatBackend::cursorPos(WindowHandle, int* x, int* y) {
    *x = State().cursor.x;
    *y = State().cursor.y;
    return true;
}

void PlatBackend::warpCursor(WindowHandle window, int x, int y) {
    SimCursor& cursor = State().cursor;
    PlatRect client;
    if (cursor.clip && Plat_GetClientRect(cursor.clip, &client)) {
        x = std::clamp(x, client.left, std::max(client.left, client.right - 1));
        y = std::clamp(y, client.top, std::max(client.top, client.bottom - 1));
    }
    (void)window;
    constexpr int kFar = 1 << 24;  // a free cursor stays where sums cannot overflow
    cursor.x = std::clamp(x, -kFar, kFar);
    cursor.y = std::clamp(y, -kFar, kFar);
}

void PlatBackend::clipCursor(WindowHandle window) {
    if (window) warpCursor(window, State().cursor.x, State().cursor.y);
}

// ---- joysticks ---------------------------------------------------------------------------
int Plat_JoyCount() { return Plat_Backend()->joyCount(); }

int Plat_JoyGetCaps(int id, PlatJoyCaps* caps) {
    if (!caps) return kJoyErrInvalidParam;
    return Plat_Backend()->joyCaps(id, caps);
}

int Plat_JoyGetPos(int id, PlatJoyPos* pos) {
    if (!pos) return kJoyErrInvalidParam;
    return Plat_Backend()->joyPos(id, pos);
}

int PlatBackend::joyCount() { return State().sticks.empty() ? 0 : State().sticks.rbegin()->first + 1; }

int PlatBackend::joyCaps(int id, PlatJoyCaps* caps) {
    ScriptedStick* stick = Stick(id);
    if (!stick) return kJoyErrBadDeviceId;
    if (stick->unplugged) return kJoyErrUnplugged;
    *caps = stick->caps;
    return kJoyOk;
}

int PlatBackend::joyPos(int id, PlatJoyPos* pos) {
    ScriptedStick* stick = Stick(id);
    if (!stick) return kJoyErrBadDeviceId;
    if (stick->unplugged) return kJoyErrUnplugged;
    *pos = stick->pos;
    return kJoyOk;
}

bool PlatBackend::hapticOpen(int index) {
    ScriptedStick* stick = Stick(index);
    return stick && stick->haptic && !stick->unplugged;
}

void PlatBackend::hapticControl(int, PlatHaptic) {}

void Plat_ScriptJoyConnect(int id, const PlatJoyCaps& caps, bool haptic) {
    ScriptedStick& stick = State().sticks[id];
    stick = ScriptedStick{};
    stick.caps = caps;
    stick.caps.buttons = std::clamp(caps.buttons, 0, kJoyMaxButtons);
    stick.haptic = haptic;
    for (int i = 0; i < kJoyAxisCount; ++i)
        stick.pos.axis[i] = caps.axisMin[i] + (caps.axisMax[i] - caps.axisMin[i]) / 2;  // centred
}

void Plat_ScriptJoyAxis(int id, int axis, int32_t value) {
    if (ScriptedStick* stick = Stick(id); stick && axis >= 0 && axis < kJoyAxisCount) stick->pos.axis[axis] = value;
}

void Plat_ScriptJoyButton(int id, int button, bool down) {
    ScriptedStick* stick = Stick(id);
    if (!stick || button < 0 || button >= kJoyMaxButtons) return;
    const uint32_t bit = 1u << button;
    stick->pos.buttons = down ? stick->pos.buttons | bit : stick->pos.buttons & ~bit;
}

void Plat_ScriptJoyHat(int id, uint32_t hundredths) {
    if (ScriptedStick* stick = Stick(id)) stick->pos.hat = hundredths;
}

void Plat_ScriptJoyUnplug(int id) {
    if (ScriptedStick* stick = Stick(id)) stick->unplugged = true;
}

// ---- libraries ---------------------------------------------------------------------------
PlatLibrary Plat_LoadLibrary(const char* name) {
    if (!name) return 0;
    const std::string key = Lower(name);
    Log(std::string("LoadLibrary ") + name);
    if (!LibraryTable(key)) return 0;
    const PlatLibrary handle = State().nextLibrary++;
    State().loaded[handle] = key;
    return handle;
}

PlatProc Plat_GetProcAddress(PlatLibrary library, const char* entry) {
    auto found = State().loaded.find(library);
    if (found == State().loaded.end() || !entry) return nullptr;
    const std::vector<PlatLibraryEntry>* table = LibraryTable(found->second);
    if (!table) return nullptr;
    for (const PlatLibraryEntry& e : *table)
        if (e.name == entry) return e.proc;
    return nullptr;
}

void Plat_FreeLibrary(PlatLibrary library) {
    auto found = State().loaded.find(library);
    if (found == State().loaded.end()) return;
    Log("FreeLibrary " + found->second);
    State().loaded.erase(found);
}

bool Plat_IsLibraryLoaded(const char* name) {
    const std::string key = Lower(name ? name : "");
    for (auto& [handle, loaded] : State().loaded)
        if (loaded == key) return true;
    return false;
}

void Plat_OverrideLibrary(const char* name, const std::vector<PlatLibraryEntry>& entries) {
    State().overrides[Lower(name ? name : "")] = entries;
}

std::vector<std::string>& Plat_DeviceCallLog() { return State().log; }

// ---- activation --------------------------------------------------------------------------
void Plat_PostActivation(WindowHandle window, bool active) {
    if (active) {
        Plat_SetFocus(window);
        Plat_PostMessage(window, WM_ACTIVATEAPP, 1, 0);
        Plat_PostMessage(window, WM_ACTIVATE, WA_ACTIVE, 0);
        Plat_PostMessage(window, WM_SETFOCUS, 0, 0);
    } else {
        Plat_ReleaseAllKeys();
        if (Plat_GetFocus() == window) Plat_SetFocus(0);
        Plat_PostMessage(window, WM_KILLFOCUS, 0, 0);
        Plat_PostMessage(window, WM_ACTIVATE, WA_INACTIVE, 0);
        Plat_PostMessage(window, WM_ACTIVATEAPP, 0, 0);
    }
}

// ---- the script --------------------------------------------------------------------------
void Plat_SetKeyNameResolver(PlatKeyNameResolver resolver) { g_resolver = resolver; }

bool Plat_ParseEventScript(const std::string& text, std::string* error) {
    std::vector<ScriptEvent> events;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty() || w[0][0] == '#') continue;
        long frame = 0;
        std::string problem;
        if (w.size() < 2 || !ParseLong(w[0], &frame) || frame < 0)
            problem = "expected a frame number and an event";
        else
            problem = RunEvent(w, 0, false);
        if (!problem.empty()) {
            if (error) *error = "line " + std::to_string(number) + ": " + problem;
            return false;
        }
        events.push_back(ScriptEvent{frame, number, std::move(w)});
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
    State().script = std::move(events);
    State().scriptNext = 0;
    return true;
}

bool Plat_LoadEventScript(const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!Plat_ParseEventScript(text.str(), error)) {
        if (error) *error = path + " " + *error;
        return false;
    }
    return true;
}

int Plat_PlayEventScript(long frame, WindowHandle window) {
    if (!Plat_IsWindow(window)) return 0;
    int played = 0;
    InputState& state = State();
    while (state.scriptNext < state.script.size() && state.script[state.scriptNext].frame <= frame) {
        const ScriptEvent event = state.script[state.scriptNext++];
        const std::string problem = RunEvent(event.words, window, true);
        if (!problem.empty())
            std::fprintf(stderr, "gravenholt: event script line %d: %s\n", event.line, problem.c_str());
        ++played;
    }
    return played;
}

bool Plat_EventScriptDone() { return State().scriptNext >= State().script.size(); }

long Plat_EventScriptLastFrame() { return State().script.empty() ? 0 : State().script.back().frame; }

void Plat_ResetInput() {
    Plat_ReleaseAllKeys();
    State() = InputState{};
}
