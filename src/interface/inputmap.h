// The input mapping: the key maps ("input.map", then one "tovak\<device>.std" per open device and
// the controller profile's file) bind device channels to the sinks of core/inputsinks.h; every
// frame the mapping reads the open devices once, evaluates every binding and writes every sink.
// Also the keyed text lookup ("label.map") and the line reader all three text files share.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/inputdevice.h"

// ---- the sink table ----------------------------------------------------------------------
constexpr int kSinkAnalog = 0;
constexpr int kSinkHold = 1;
constexpr int kSinkPress = 2;
constexpr int kSinkRows = 106;

struct SinkRow {
    const char* name;
    void* output;  // int32_t for analog rows, uint8_t otherwise
    int kind;
    int32_t defaultValue, min, max;  // analog rows only, in the sink's own units
    int32_t rateShift;               // the keyboard ramp's exponent
    int32_t outputShift;             // right shift from the internal value to the output
};
extern const SinkRow SinkTable[kSinkRows];
// The row of a sink name (case ignored), or null.
const SinkRow* Sink_Find(const char* name);
// An analog row's output for an internal value (clamped to -65536..65536), its default as an
// internal value, and the internal value of an output (the set request).
int32_t Sink_Output(const SinkRow& row, int32_t value);
int32_t Sink_DefaultValue(const SinkRow& row);
int32_t Sink_Inverse(const SinkRow& row, int32_t output);

// ---- limits ------------------------------------------------------------------------------
constexpr int kInputMaxDevices = 5;
constexpr int kInputMaxAnalogSinks = 20;
constexpr int kInputMaxAnalogControls = 20;
constexpr int kInputMaxDiscreteControls = 200;
constexpr int kInputChordTerms = 8;
constexpr int kInputDeviceNameChars = 39;
constexpr int kInputDiscreteChannels = kInputDiscreteWords * 32;
constexpr int kKeyMapLineChars = 254;
constexpr int kInputRampCap = 21845;

// ---- the input layer ---------------------------------------------------------------------
// Loads the maps, reads "gamekey.map", opens the keyboard and flushes its typed keys.
void Input_Init();
// Closes every open device (last opened first) and clears bindings, sinks, devices and the key
// event; user control on again; the device kinds registered again.
void Input_Close();
// Once per frame, before the game keys.
void Input_Update();

// Reads "input.map" (the profile directory's copy when there is one, else the data root's),
// then each enabled device's defaults file and the controller profile's file.
void InputMap_Load();
// Parses one key-map file from the start; false when an error stopped it.
bool InputMap_ParseFile(FILE* file);
// Rewrites the "+ keyboard" lines of the sink's block of "input.map" with the key name, in the
// profile directory ("temp.map", then "input.map", left read-only); false when it failed (the
// old "input.map" is then untouched).
bool InputMap_SaveBinding(const char* sink, const char* keyName);
// The channel name of the last "+ keyboard" line of the sink's block, for hold sinks and
// "weapon_cycle"; out is left alone otherwise. Returns whether it wrote out.
bool InputMap_GetKeyboardBinding(const char* sink, char* out, size_t outSize);

// The controller profile chosen in the shell ("NULL": none).
const char* Input_ControllerProfileName();

// ---- inspection (tests, the debug page) --------------------------------------------------
struct InputMapCounts {
    int devices, analogSinks, analogControls, discreteControls;
};
InputMapCounts InputMap_Counts();
// The internal value and ramp of the analog sink that drives the named sink's output; false
// when no binding uses it.
bool InputMap_SinkState(const char* name, int32_t* value, int32_t* ramp);
// The device table's entry: whether it is listed, enabled, and its name.
bool InputMap_DeviceInfo(int index, bool* enabled, const char** name);
// The device kinds searched by name, in order; null restores keyboard, mouse, joystick and the
// program device.
void InputMap_SetDeviceKinds(const InputDevice* const* kinds, int count);

// ---- shared line reader ------------------------------------------------------------------
// Reads the next line into line (at most kKeyMapLineChars characters are kept; the rest of a
// longer line is dropped). Without keepComments the line is cut at '#' and lines holding
// only white space are skipped; every line read adds one to *lineNumber. False at the end.
bool KeyMapLine_Read(FILE* file, char (&line)[kKeyMapLineChars + 1], bool keepComments, int* lineNumber);

// ---- keyed text lookup -------------------------------------------------------------------
constexpr int kLabelMaxChars = 255;
// When "label.map" has the entry, copies its text (at most 255 characters and the zero) into
// out and returns 1; otherwise 0 and out untouched.
int LabelMap_GetLabel(const char* section, const char* entry, char* out);
// The same lookup in an open file from its current position.
int LabelMap_Find(FILE* file, const char* section, const char* entry, char* out);
// Copies the braced text of an entry line (from the first '{' among its first 256 characters)
// into out: the first '}' ends it, or with the Japanese rule only a '}' before a blank, a tab,
// a line end or the end of the line (the second byte of a double-byte character may be '}').
// LabelMap_GetLabel takes the rule from the language. False without a '{'.
bool LabelMap_CopyText(const char* line, bool japanese, char* out);
