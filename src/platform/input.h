// Input hardware: physical keys, the mouse cursor, joysticks and haptics, the force-feedback
// library, and the headless event script that stands in for a player.
//
// Both backends share one key table, so a key reaches the game with the same scan code,
// extended flag and virtual key whether it came from SDL or from a script.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

// ---- keys --------------------------------------------------------------------------------
struct PlatKey {
    int scanCode = 0;  // set-1 hardware scan code
    bool extended = false;
    int virtualKey = 0;
};

// The key at a physical position, by its USB usage id (the numbering SDL's scancodes use).
bool Plat_KeyOfUsage(int usage, PlatKey* out);
// The USB usage id of the first key giving the virtual key; 0 when none does.
int Plat_UsageOfVirtualKey(int virtualKey);
// The key with this scan code and extended flag.
bool Plat_KeyOfScanCode(int scanCode, bool extended, PlatKey* out);
// Posts what pressing or releasing the key sends: WM_KEYDOWN / WM_KEYUP, or WM_SYSKEYDOWN /
// WM_SYSKEYUP while Alt is held. lParam carries the scan code in bits 16-23, the extended flag
// in bit 24, Alt in bit 29, the repeat (previous state) bit 30 and, on release, bit 31. The key
// state that Plat_IsKeyDown reports follows as the messages are taken from the queue, so a
// typed character sees the modifiers of its own moment: Shift, Control and Alt are down while
// either of their two keys is.
void Plat_PostKey(WindowHandle window, const PlatKey& key, bool down, bool repeat);
// All keys up (the window lost the keyboard).
void Plat_ReleaseAllKeys();
// The character a virtual key types without Shift, letters upper-case; 0 when none. In a
// window it follows the keyboard layout; headless it is the US layout.
int Plat_UnshiftedChar(int virtualKey);
// The character a key types on the US layout (letters lower-case unless shifted); 0 when none.
int Plat_UsKeyCharacter(int virtualKey, bool shift);
// A key event the program makes up for the system's own key state. It changes nothing here;
// the event is logged (Plat_DeviceCallLog) so tests can see it.
void Plat_InjectKey(int virtualKey, int scanCode, bool extended, bool up);

// ---- cursor ------------------------------------------------------------------------------
// The cursor in the window's client coordinates. While the cursor is clipped, the sdl backend
// reads relative motion, and the position is the centre plus the motion since the last
// Plat_SetCursorPos.
bool Plat_GetCursorPos(WindowHandle window, int* x, int* y);
void Plat_SetCursorPos(WindowHandle window, int x, int y);
// Keeps the cursor inside the window's client area; 0 removes the clip.
void Plat_ClipCursor(WindowHandle window);
WindowHandle Plat_CursorClipWindow();
// Adds one (show) or takes one (hide) from the show count and returns it; the cursor is visible
// while the count is not negative. It starts at 0.
int Plat_ShowCursor(bool show);
int Plat_CursorShowCount();

// ---- joysticks ---------------------------------------------------------------------------
enum PlatJoyAxis { kJoyAxisX, kJoyAxisY, kJoyAxisZ, kJoyAxisR, kJoyAxisU, kJoyAxisV, kJoyAxisCount };
constexpr int kJoyMaxButtons = 32;
constexpr uint32_t kJoyHatCentred = 0xFFFF;  // the hat's angle in hundredths of a degree, or this
// Query results.
constexpr int kJoyOk = 0;
constexpr int kJoyErrBadDeviceId = 2;
constexpr int kJoyErrNoDriver = 6;
constexpr int kJoyErrInvalidParam = 11;
constexpr int kJoyErrUnplugged = 167;

struct PlatJoyCaps {
    std::string name;
    bool hasAxis[kJoyAxisCount] = {true, true, false, false, false, false};
    int32_t axisMin[kJoyAxisCount] = {};
    int32_t axisMax[kJoyAxisCount] = {65535, 65535, 65535, 65535, 65535, 65535};
    int buttons = 0;  // at most kJoyMaxButtons
    bool hasHat = false;  // one four-way hat
};

struct PlatJoyPos {
    int32_t axis[kJoyAxisCount] = {};
    uint32_t buttons = 0;
    uint32_t hat = kJoyHatCentred;
};

// How many joystick ids there are (some may be unplugged or absent).
int Plat_JoyCount();
int Plat_JoyGetCaps(int id, PlatJoyCaps* caps);
int Plat_JoyGetPos(int id, PlatJoyPos* pos);

// Scripted joysticks of the headless backend (scripts and tests).
void Plat_ScriptJoyConnect(int id, const PlatJoyCaps& caps, bool haptic);
void Plat_ScriptJoyAxis(int id, int axis, int32_t value);
void Plat_ScriptJoyButton(int id, int button, bool down);
void Plat_ScriptJoyHat(int id, uint32_t hundredths);
void Plat_ScriptJoyUnplug(int id);

// ---- run-time libraries ------------------------------------------------------------------
// Libraries are tables of entry points that the platform knows by name ("iforce.dll", the
// force-feedback library, backed by the joysticks' haptics).
using PlatProc = void (*)();
struct PlatLibraryEntry {
    std::string name;
    PlatProc proc;
};
using PlatLibrary = uint32_t;  // 0: none

PlatLibrary Plat_LoadLibrary(const char* name);
PlatProc Plat_GetProcAddress(PlatLibrary library, const char* entry);
void Plat_FreeLibrary(PlatLibrary library);
bool Plat_IsLibraryLoaded(const char* name);
// Tests: the named library has these entries in place of its own (an empty list makes it
// missing); Plat_ResetInput brings the built-in tables back.
void Plat_OverrideLibrary(const char* name, const std::vector<PlatLibraryEntry>& entries);

// Library loads and unloads, the force-feedback calls as they reach the stick, and injected
// keys, in order: "LoadLibrary iforce.dll", "_SetJoystickPort 1", "_InitStick 0", ...
std::vector<std::string>& Plat_DeviceCallLog();

// ---- the event script --------------------------------------------------------------------
// One event per line: "FRAME EVENT ARGS...". Blank lines and lines starting with # are
// skipped. Events:
//   keydown NAME | keyup NAME          NAME: a key name from the resolver, or Pause
//   mousemove DX DY                    moves the cursor by DX, DY pixels
//   mousedown BUTTON | mouseup BUTTON  left, right, middle, x1, x2
//   wheel DELTA | hwheel DELTA         one wheel message (120 is one notch)
//   focus lost | focus gained
//   joystick ID connect AXES BUTTONS HAT [haptic] [NAME...]
//   joystick ID axis AXIS VALUE        AXIS: x y z r u v; VALUE within 0..65535
//   joystick ID button N down|up       N from 1
//   joystick ID hat ANGLE|centre       ANGLE in hundredths of a degree
//   joystick ID unplug
// Key names belong to the game: it installs the resolver from a name to a scan code and
// extended flag.
using PlatKeyNameResolver = bool (*)(const char* name, int* scanCode, bool* extended);
void Plat_SetKeyNameResolver(PlatKeyNameResolver resolver);
// Reads a script; false with the file's problem (and nothing loaded) on a bad line.
bool Plat_LoadEventScript(const std::string& path, std::string* error);
bool Plat_ParseEventScript(const std::string& text, std::string* error);
// Plays every scripted event of a frame up to this one into the window (the headless backend
// calls it as it takes in events). Returns how many it played.
int Plat_PlayEventScript(long frame, WindowHandle window);
bool Plat_EventScriptDone();
long Plat_EventScriptLastFrame();  // 0 without events

// Back to the start: no keys down, cursor at 0,0 unclipped and shown, no scripted sticks,
// no libraries loaded, empty log and script.
void Plat_ResetInput();
