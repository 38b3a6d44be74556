// The cockpit's input devices: the keyboard, the mouse and the joysticks, each an InputDevice
// kind, fed by the main window procedure (keyboard and mouse) or polled (joysticks); and the
// force-feedback stick.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/inputdevice.h"
#include "platform/window.h"

// ---- keyboard ----------------------------------------------------------------------------
// Channel n (1..125) is the key with scan code n, at bit n - 1 of the discrete words; key-map
// files name channels by their 0-based index into the name tables.
constexpr int kKeyboardChannels = 125;
constexpr int kKeyChannelShift = 119;  // either Shift key
constexpr int kKeyChannelControl = 120;
constexpr int kKeyChannelAlt = 121;
constexpr int kTypedKeyQueue = 64;
// Typed-key codes: the key's character or fixed code plus these while the modifier is down.
constexpr uint16_t kTypedControl = 0x100;
constexpr uint16_t kTypedShift = 0x200;
constexpr uint16_t kTypedAlt = 0x400;

extern const InputDevice KeyboardDevice;

// The keyboard's part of the language record: the language id (2 German) and the optional
// short-name table (125 names) and long-name sources (125 English texts for the message table).
struct KeyboardLanguage {
    int id;
    const char* const* shortNames;
    const char* const* longSources;
};
const KeyboardLanguage& Keyboard_Language();
void Keyboard_SetLanguage(const KeyboardLanguage& language);

// WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN and WM_SYSKEYUP from the window procedure; the keyboard
// messages already waiting in the queue are taken and handled with it.
void Keyboard_OnMessage(uint32_t message, WParam wParam, LParam lParam);
void Keyboard_ClearState();
// Builds the name tables and the key-code table once (null tables: the built-in ones).
void Keyboard_InitKeyNames(const char* const* shortNames, const char* const* longSources);
// The short name of the 1-based channel ("" outside 1..125).
void Keyboard_GetKeyName(int channel, char* out, size_t outSize);
const char* Keyboard_ChannelLongName(int channel);
// The channel a key message's scan code and extended flag make; 0 when the key has none.
int Keyboard_ChannelOf(int scanCode, bool extended);
// The scan code and extended flag that make a channel, by its short name (the event script's
// key names).
bool Keyboard_KeyOfName(const char* name, int* scanCode, bool* extended);
uint16_t Keyboard_TypedCode(int virtualKey);  // the key-code table
void Keyboard_Reset();  // tests: no keys, empty queue, tables built again

// ---- mouse -------------------------------------------------------------------------------
constexpr int kMouseAnalogChannels = 4;
constexpr int kMouseButtons = 9;
// The discrete channels' bits.
constexpr uint32_t kMouseLeft = 1u << 0;
constexpr uint32_t kMouseMiddle = 1u << 1;
constexpr uint32_t kMouseRight = 1u << 2;
constexpr uint32_t kMouseX1 = 1u << 3;
constexpr uint32_t kMouseX2 = 1u << 4;
constexpr uint32_t kMouseWheelDown = 1u << 5;
constexpr uint32_t kMouseWheelUp = 1u << 6;
constexpr uint32_t kMouseWheelLeft = 1u << 7;
constexpr uint32_t kMouseWheelRight = 1u << 8;

extern const InputDevice MouseDevice;

void Mouse_OnMessage(uint32_t message, WParam wParam, LParam lParam);
void Mouse_Capture();
void Mouse_Release();
void Mouse_RequestReset();
void Mouse_Reset();  // tests

// ---- joysticks ---------------------------------------------------------------------------
constexpr int kJoystickCurves = 11;
constexpr int kJoystickCurveHalf = 127;  // curve positions -127..127

extern const InputDevice JoystickDevice;

// The response curve's value at a position (-127..127, clamped); curve 0..10, clamped.
int32_t Joystick_CurveValue(int curve, int position);
void Joystick_Reset();  // tests

// ---- force feedback ----------------------------------------------------------------------
void ForceFeedback_Request();
void ForceFeedback_Start();
int ForceFeedback_Enable(int value);
int ForceFeedback_Disable();
void ForceFeedback_Clear();
void ForceFeedback_Close();
bool ForceFeedback_IsActive();
void ForceFeedback_Reset();  // tests: nothing wanted or active, nothing loaded

// ---- the subsystem -----------------------------------------------------------------------
// Fills the cockpit seam's input and force-feedback entries and gives the platform the
// keyboard's key names for event scripts.
void Interface_InstallSeam();
// Hands a keyboard or mouse message to its device; false for any other message. (The game's
// window procedure offers keys to a focused text field first and calls the handlers itself.)
bool InputDevices_OnMessage(uint32_t message, WParam wParam, LParam lParam);
// Every device, the input mapping and the game keys back to their start (the shared test
// fixture).
void InputDevices_Reset();
