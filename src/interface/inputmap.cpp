#include "interface/inputmap.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/clock.h"
#include "core/debug.h"
#include "core/helpers.h"
#include "core/inputsinks.h"
#include "core/textentry.h"
#include "fun3d/proginput.h"
#include "interface/gamekeys.h"
#include "interface/inputdevices.h"
#include "platform/paths.h"

// ---- the sink table ----------------------------------------------------------------------

#define GV_ANALOG(name, def, lo, hi, rate, shift) {#name, &InputSink.name, kSinkAnalog, def, lo, hi, rate, shift}
#define GV_HOLD(name) {#name, &InputSink.name, kSinkHold, 0, 0, 0, 0, 0}
#define GV_PRESS(name) {#name, &InputSink.name, kSinkPress, 0, 0, 0, 0, 0}
#define GV_PRESS_AT(name, field, i) {#name, &InputSink.field[i], kSinkPress, 0, 0, 0, 0, 0}

const SinkRow SinkTable[kSinkRows] = {
    GV_ANALOG(cmd_x, 1, 0, 2, 1, 1),
    GV_ANALOG(cmd_y, 1, 0, 2, 1, 1),
    GV_ANALOG(menu_pos, 0, -1, 1, 0, 0),
    GV_ANALOG(strafe, 0, -1, 1, 6, 0),
    GV_ANALOG(throttle, 0, -1, 1, 6, 0),
    GV_ANALOG(steer, 0, -1, 1, 6, 0),
    GV_ANALOG(pitch, 0, -1, 1, 6, 0),
    GV_ANALOG(menu_item, 0, -1, 1, 4, 0),
    GV_ANALOG(menu_value, 0, -1, 1, 4, 0),
    GV_ANALOG(track_pitch_delta, 0, -10, 10, 3, 16),
    GV_ANALOG(track_yaw_delta, 0, -10, 10, 3, 16),
    GV_HOLD(cmd_lhold), GV_HOLD(cmd_rhold), GV_HOLD(cmd_multi), GV_HOLD(menu_cycle),
    GV_HOLD(strafe_right), GV_HOLD(strafe_left), GV_HOLD(throttle_up), GV_HOLD(throttle_down),
    GV_HOLD(steer_right), GV_HOLD(steer_left), GV_HOLD(pitch_up), GV_HOLD(pitch_down),
    GV_HOLD(weapon_fire), GV_HOLD(weapon_special), GV_HOLD(turbo), GV_HOLD(jump),
    GV_HOLD(menu_item_reset), GV_HOLD(menu_value_reset), GV_HOLD(track_pitch_plus),
    GV_HOLD(track_pitch_minus), GV_HOLD(track_yaw_plus), GV_HOLD(track_yaw_minus),
    GV_HOLD(zoom_factor_plus), GV_HOLD(zoom_factor_minus), GV_HOLD(zoom_factor_reset),
    GV_HOLD(edit_lmouse), GV_HOLD(edit_rmouse), GV_HOLD(edit_shift), GV_HOLD(edit_control),
    GV_HOLD(edit_alt), GV_HOLD(edit_left), GV_HOLD(edit_right), GV_HOLD(edit_up), GV_HOLD(edit_down),
    GV_HOLD(edit_eyedropper), GV_HOLD(edit_rotate), GV_HOLD(edit_vertflip), GV_HOLD(edit_horizflip),
    GV_HOLD(edit_paint), GV_HOLD(edit_solid), GV_HOLD(edit_cap), GV_HOLD(edit_diag),
    GV_HOLD(edit_alternate),
    GV_PRESS(cmd_lclick), GV_PRESS(cmd_rclick), GV_PRESS(cmd_delete), GV_PRESS(center_player),
    GV_PRESS(center_recycler),
    GV_PRESS_AT(mode_select_0, mode_select, 0), GV_PRESS_AT(mode_select_1, mode_select, 1),
    GV_PRESS_AT(mode_select_2, mode_select, 2), GV_PRESS_AT(mode_select_3, mode_select, 3),
    GV_PRESS_AT(mode_select_4, mode_select, 4), GV_PRESS_AT(mode_select_5, mode_select, 5),
    GV_PRESS_AT(mode_select_6, mode_select, 6), GV_PRESS_AT(mode_select_7, mode_select, 7),
    GV_PRESS_AT(mode_select_8, mode_select, 8), GV_PRESS_AT(mode_select_9, mode_select, 9),
    GV_PRESS(menu_up), GV_PRESS(menu_down), GV_PRESS(menu_next), GV_PRESS(menu_back), GV_PRESS(menu_press),
    GV_PRESS(alt_press),
    GV_PRESS_AT(group_select_0, group_select, 0), GV_PRESS_AT(group_select_1, group_select, 1),
    GV_PRESS_AT(group_select_2, group_select, 2), GV_PRESS_AT(group_select_3, group_select, 3),
    GV_PRESS_AT(group_select_4, group_select, 4), GV_PRESS_AT(group_select_5, group_select, 5),
    GV_PRESS_AT(group_select_6, group_select, 6), GV_PRESS_AT(group_select_7, group_select, 7),
    GV_PRESS_AT(group_select_8, group_select, 8), GV_PRESS_AT(group_select_9, group_select, 9),
    GV_PRESS(weapon_cycle), GV_PRESS(weapon_link),
    GV_PRESS_AT(weapon_select_0, weapon_select, 0), GV_PRESS_AT(weapon_select_1, weapon_select, 1),
    GV_PRESS_AT(weapon_select_2, weapon_select, 2), GV_PRESS_AT(weapon_select_3, weapon_select, 3),
    GV_PRESS_AT(weapon_select_4, weapon_select, 4),
    GV_PRESS(eject), GV_PRESS(deploy), GV_PRESS(abandon), GV_PRESS(frontal_target), GV_PRESS(cycle_beacon),
    GV_PRESS(drop_beacon), GV_PRESS(menu_enter), GV_PRESS(menu_abort), GV_PRESS(edit_undo),
    GV_PRESS(edit_wireframe), GV_PRESS(edit_copy), GV_PRESS(edit_paste), GV_PRESS(edit_wirecolor),
    GV_PRESS(edit_maptype),
};

#undef GV_ANALOG
#undef GV_HOLD
#undef GV_PRESS
#undef GV_PRESS_AT

const SinkRow* Sink_Find(const char* name) {
    for (const SinkRow& row : SinkTable)
        if (Text_CompareNoCase(row.name, name) == 0) return &row;
    return nullptr;
}

int32_t Sink_Output(const SinkRow& row, int32_t value) {
    if (value < -65536) value = -65536;
    if (value > 65536) value = 65536;
    const int32_t range = row.max - row.min;
    return (((value + 65536) * range) / 2 + row.min * 65536) >> row.outputShift;
}

int32_t Sink_DefaultValue(const SinkRow& row) {
    const int32_t range = row.max - row.min;
    return (row.defaultValue * 65536 - row.min * 65536) * 2 / range - 65536;
}

int32_t Sink_Inverse(const SinkRow& row, int32_t output) {
    const double range = row.max - row.min;
    const double scaled = static_cast<double>(output) * static_cast<double>(int64_t{1} << row.outputShift);
    double v = (scaled - row.min * 65536.0) * 2.0 / range - 65536.0;
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    return static_cast<int32_t>(v);
}

// ---- the mapping's state -----------------------------------------------------------------

namespace {

struct DeviceState {
    int32_t analog[kInputAnalogValues];
    uint32_t discrete[kInputDiscreteWords];
};

struct DeviceEntry {
    char name[kInputDeviceNameChars + 1];
    const InputDevice* kind;
    bool enabled;
    InputDeviceRecord record;
    DeviceState state;
};

struct ChordTerm {
    const uint32_t* word;
    uint32_t mask;
    bool negate;
};

struct Chord {
    ChordTerm terms[kInputChordTerms];
    int count;
};

struct AnalogSink {
    int32_t* output;
    int32_t* ramp;  // the value itself for "_delta" sinks, else rampValue
    const SinkRow* row;
    int32_t range;
    int32_t min16;
    int32_t defaultValue;
    uint8_t outputShift;
    uint8_t touched;
    int32_t rampValue;
    int32_t value;
    int32_t rateShift;
    bool isDelta;
    uint8_t* plus;
    uint8_t* minus;
    uint8_t* reset;
    uint8_t* set;
};

struct AnalogControl {
    int device;
    int channel;
    const int32_t* deviceValue;
    int32_t last;
    int32_t direction;
    AnalogSink* sink;
    Chord chord;
    bool menu;
};

struct DiscreteControl {
    uint8_t* output;
    uint8_t edge;
    uint8_t last;
    Chord chord;
    bool menu;
};

struct MappingState {
    DeviceEntry devices[kInputMaxDevices];
    int deviceCount;
    int keyboardDevice;
    AnalogSink sinks[kInputMaxAnalogSinks];
    int sinkCount;
    AnalogControl analog[kInputMaxAnalogControls];
    int analogCount;
    DiscreteControl discrete[kInputMaxDiscreteControls];
    int discreteCount;
};

MappingState g_map{};
int g_line = 0;  // the line counter of the file being parsed

const InputDevice* const kDefaultKinds[] = {&KeyboardDevice, &MouseDevice, &JoystickDevice, &ProgramInputDevice};
const InputDevice* g_kinds[8] = {&KeyboardDevice, &MouseDevice, &JoystickDevice, &ProgramInputDevice};
int g_kindCount = 4;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

// The first word of a line ("%s {": any word will do); false when the line holds none.
bool ReadHeader(const char* line, char* name, size_t size) {
    while (IsBlank(*line)) ++line;
    if (!*line) return false;
    size_t n = 0;
    while (line[n] && !IsBlank(line[n])) ++n;
    if (n >= size) n = size - 1;
    std::memcpy(name, line, n);
    name[n] = 0;
    return true;
}

// A binding line: a sign '+' or '-', a device name and a channel name.
struct BindingLine {
    char sign;
    char device[kInputDeviceNameChars + 1];
    char channel[kKeyMapLineChars + 1];
};

bool ReadBindingLine(const char* line, BindingLine* out) {
    char sign[2] = {};
    if (std::sscanf(line, " %1[+-] %39s %254s", sign, out->device, out->channel) != 3) return false;
    out->sign = sign[0];
    return true;
}

bool IsBlockEnd(const char* line) { return line[0] == '}'; }

void CloseDevice(DeviceEntry& entry) {
    if (entry.enabled && entry.kind && entry.kind->close) entry.kind->close(&entry.record);
}

// ---- devices and channels ----------------------------------------------------------------

DeviceEntry* ListDevice(const char* name) {
    DeviceEntry& entry = g_map.devices[g_map.deviceCount++];
    entry = DeviceEntry{};
    std::snprintf(entry.name, sizeof entry.name, "%s", name);
    return &entry;
}

int FindDevice(const char* name) {
    for (int i = 0; i < g_map.deviceCount; ++i)
        if (Text_CompareNoCase(g_map.devices[i].name, name) == 0) return g_map.devices[i].enabled ? i : -1;
    if (g_map.deviceCount >= kInputMaxDevices) {
        Error_Warning("Too many input devices specified");
        return -1;
    }
    for (int k = 0; k < g_kindCount; ++k) {
        const InputDevice* kind = g_kinds[k];
        const int count = kind->count ? kind->count() : 0;
        for (int i = 0; i < count; ++i) {
            InputDeviceRecord record{};
            if (kind->describe(i, &record) != 0) continue;
            if (Text_CompareNoCase(record.name, name) != 0) {
                if (kind->close) kind->close(&record);
                continue;
            }
            DeviceEntry* entry = ListDevice(name);
            entry->kind = kind;
            if (kind->open && kind->open(&record) != 0) {
                if (kind->close) kind->close(&record);
                Error_Warning(
                    "The input device \"%s\" is not connected properly.\nTo eliminate the problem, you should check "
                    "that your joystick is plugged in correctly and check the Windows Control Panel settings. "
                    "Alternatively, you could reconfigure your controls to not use the \"%s\" device.\n\nPush OK "
                    "to disable this device and continue, or push CANCEL to abort the mission.\n",
                    name, name);
                return -1;
            }
            entry->record = record;
            entry->enabled = true;
            return static_cast<int>(entry - g_map.devices);
        }
    }
    ListDevice(name);
    Error_Warning(
        "The input device \"%s\" does not exist or is not configured properly.\nTo eliminate the problem, you "
        "should check the Windows Control Panel Joystick settings, or reconfigure your controls in the shell to "
        "not use the \"%s\" device.\n\nPush OK to disable this device and continue, or push CANCEL to abort the "
        "mission.\n",
        name, name);
    return -1;
}

void MissingChannel(const char* channel, int device) {
    Error_Warning(
        "The input channel \"%s\" on device \"%s\" does not exist.\nIf you have changed your joystick "
        "configuration, you should also reconfigure your controls in the shell.\n\nPush OK to disable this "
        "control and continue, or push CANCEL to abort the mission.\n",
        channel, device >= 0 ? g_map.devices[device].name : "");
}

// The channel index, or -1. A number is the index itself, as long as the device state has it.
int ResolveChannel(int device, const char* name, bool analog) {
    const int limit = analog ? kInputAnalogValues : kInputDiscreteChannels;
    if (std::isdigit(static_cast<unsigned char>(name[0]))) {
        if (device < 0) return -1;
        char* end = nullptr;
        const long index = std::strtol(name, &end, 10);
        if (index >= limit) {
            MissingChannel(name, device);
            return -1;
        }
        return static_cast<int>(index);
    }
    if (device < 0) return -1;
    const InputDeviceRecord& record = g_map.devices[device].record;
    const int count = analog ? record.analogCount : record.discreteCount;
    const char* const* names = analog ? record.analogShortNames : record.discreteShortNames;
    if (count <= 0 || !names) {
        if (analog)
            Error_Warning("No analog input channel named \"%s\". Line %d of input.map.", name, g_line);
        else
            Error_Warning("No discrete input channel named \"%s\". Line %d", name, g_line);
        return -1;
    }
    for (int i = 0; i < count && i < limit; ++i)
        if (names[i] && Text_CompareNoCase(names[i], name) == 0) return i;
    MissingChannel(name, device);
    return -1;
}

// ---- parsing -----------------------------------------------------------------------------

enum class ChordResult { Ok, MissingLast, Error };

// Reads chord lines up to the closing brace. A line whose channel does not resolve is left out;
// MissingLast tells that the last line was such a line.
ChordResult ReadChord(FILE* file, Chord* chord, const char* blockName) {
    char line[kKeyMapLineChars + 1];
    chord->count = 0;
    bool lastMissing = false;
    while (KeyMapLine_Read(file, line, false, &g_line)) {
        if (IsBlockEnd(line)) return lastMissing ? ChordResult::MissingLast : ChordResult::Ok;
        BindingLine binding{};
        if (!ReadBindingLine(line, &binding)) {
            Error_Warning("input.map error: line %d, read error - \"%s\"", g_line, blockName);
            return ChordResult::Error;
        }
        if (chord->count >= kInputChordTerms) {
            Error_Warning("input.map error: line %d, chord too big - \"%s\"", g_line, blockName);
            return ChordResult::Error;
        }
        const int device = FindDevice(binding.device);
        const int channel = ResolveChannel(device, binding.channel, false);
        if (channel < 0) {
            lastMissing = true;
            continue;
        }
        lastMissing = false;
        ChordTerm& term = chord->terms[chord->count++];
        term.word = &g_map.devices[device].state.discrete[channel / 32];
        term.mask = 1u << (channel % 32);
        term.negate = binding.sign == '-';
    }
    return lastMissing ? ChordResult::MissingLast : ChordResult::Ok;
}

uint8_t* ByteOfRow(const std::string& name) {
    const SinkRow* row = Sink_Find(name.c_str());
    return row && row->kind != kSinkAnalog ? static_cast<uint8_t*>(row->output) : nullptr;
}

AnalogSink* FindOrCreateSink(const SinkRow& row) {
    for (int i = 0; i < g_map.sinkCount; ++i)
        if (g_map.sinks[i].output == row.output) return &g_map.sinks[i];
    if (g_map.sinkCount >= kInputMaxAnalogSinks) {
        Error_Warning("Too many analog sinks: line %d", g_line);
        return nullptr;
    }
    AnalogSink& sink = g_map.sinks[g_map.sinkCount++];
    sink = AnalogSink{};
    sink.output = static_cast<int32_t*>(row.output);
    sink.row = &row;
    sink.range = row.max - row.min;
    sink.min16 = row.min * 65536;
    sink.defaultValue = Sink_DefaultValue(row);
    sink.outputShift = static_cast<uint8_t>(row.outputShift);
    sink.rateShift = row.rateShift;
    sink.value = sink.defaultValue;
    sink.isDelta = std::strstr(row.name, "_delta") != nullptr;
    sink.ramp = sink.isDelta ? &sink.value : &sink.rampValue;
    std::string base = row.name;
    const size_t delta = base.find("_delta");
    if (delta != std::string::npos) base.erase(delta, 6);
    sink.plus = ByteOfRow(base + "_plus");
    sink.minus = ByteOfRow(base + "_minus");
    sink.reset = ByteOfRow(base + "_reset");
    sink.set = ByteOfRow(base + "_set");
    return &sink;
}

AnalogControl* FindOrCreateControl(const SinkRow& row, int device, int channel) {
    for (int i = 0; i < g_map.analogCount; ++i) {
        AnalogControl& control = g_map.analog[i];
        if (control.sink->output != row.output) continue;
        if (device < 0) return &control;
        if (control.device < 0) {
            control.device = device;
            control.channel = channel;
            control.deviceValue = &g_map.devices[device].state.analog[channel];
            return &control;
        }
    }
    if (g_map.analogCount >= kInputMaxAnalogControls) {
        Error_Warning("Too many analog controls: line %d", g_line);
        return nullptr;
    }
    AnalogSink* sink = FindOrCreateSink(row);
    if (!sink) return nullptr;
    AnalogControl& control = g_map.analog[g_map.analogCount++];
    control = AnalogControl{};
    control.device = device;
    control.channel = channel;
    control.deviceValue = device >= 0 ? &g_map.devices[device].state.analog[channel] : nullptr;
    control.direction = 1;
    control.sink = sink;
    control.menu = StartsWith(row.name, "menu_");
    return &control;
}

// Skips the rest of a block; false at the end of the file.
void SkipBlock(FILE* file) {
    char line[kKeyMapLineChars + 1];
    while (KeyMapLine_Read(file, line, false, &g_line))
        if (IsBlockEnd(line)) return;
}

// One block after its header; false when the file must stop.
bool ParseBlock(FILE* file, const SinkRow& row) {
    if (row.kind != kSinkAnalog) {
        if (g_map.discreteCount >= kInputMaxDiscreteControls) {
            Error_Warning("input.map error: too many discrete controls: line %d.", g_line);
            return false;
        }
        DiscreteControl& control = g_map.discrete[g_map.discreteCount];
        control = DiscreteControl{};
        const ChordResult result = ReadChord(file, &control.chord, row.name);
        if (result == ChordResult::Ok) {
            control.output = static_cast<uint8_t*>(row.output);
            control.edge = row.kind == kSinkPress ? 1 : 0;
            control.menu = StartsWith(row.name, "menu_");
            ++g_map.discreteCount;
        }
        if (row.kind == kSinkHold) {
            std::string base = row.name;
            size_t cut = base.find("_plus");
            if (cut == std::string::npos) cut = base.find("_minus");
            if (cut != std::string::npos) {
                base.erase(cut);
                const SinkRow* target = Sink_Find(base.c_str());
                if (!target) target = Sink_Find((base + "_delta").c_str());
                if (target && target->kind == kSinkAnalog && !FindOrCreateControl(*target, -1, 0)) return false;
            }
        }
        return true;
    }
    char line[kKeyMapLineChars + 1];
    if (!KeyMapLine_Read(file, line, false, &g_line)) {
        Error_Warning("input.map error: line %d, unexpected EOF.", g_line);
        return false;
    }
    BindingLine binding{};
    if (!ReadBindingLine(line, &binding)) {
        Error_Warning("input.map error: line %d, read error - \"%s\".", g_line, row.name);
        return false;
    }
    const int device = FindDevice(binding.device);
    const int channel = ResolveChannel(device, binding.channel, true);
    if (channel < 0) {
        SkipBlock(file);
        return true;
    }
    AnalogControl* control = FindOrCreateControl(row, device, channel);
    if (!control) return false;
    control->direction = binding.sign == '-' ? -1 : 1;
    return ReadChord(file, &control->chord, row.name) != ChordResult::Error;
}

bool ChordHolds(const Chord& chord) {
    for (int i = 0; i < chord.count; ++i) {
        const ChordTerm& term = chord.terms[i];
        const bool down = (*term.word & term.mask) != 0;
        if (down == term.negate) return false;
    }
    return true;
}

void ResetSink(AnalogSink& sink, const AnalogControl& control) {
    if (control.device >= 0) {
        DeviceEntry& entry = g_map.devices[control.device];
        if (entry.enabled && entry.kind->resetChannel) entry.kind->resetChannel(entry.record.privateData, control.channel);
    }
    sink.value = sink.defaultValue;
    *sink.ramp = 0;
}

// The sink's requests and keyboard ramp; whether anything was applied.
bool ApplyRequests(AnalogSink& sink, const AnalogControl& control) {
    if (sink.reset && *sink.reset) {
        ResetSink(sink, control);
        *sink.reset = 0;
        sink.touched = 1;
        return true;
    }
    if (sink.set && *sink.set) {
        *sink.ramp = 0;
        sink.value = Sink_Inverse(*sink.row, *sink.output);
        *sink.set = 0;
        sink.touched = 1;
        return true;
    }
    if (sink.touched) {
        sink.touched = 0;
        return false;
    }
    bool applied = false;
    const double t = Clock_GetFrameTime();
    if (sink.plus && *sink.plus) {
        if (*sink.ramp < 0) *sink.ramp = 0;
        const int64_t step = *sink.ramp + static_cast<int64_t>(t * 182.0 * (3 << sink.rateShift));
        *sink.ramp = static_cast<int32_t>(step > kInputRampCap ? kInputRampCap : step);
        const int64_t value = int64_t{sink.value} + *sink.ramp;
        sink.value = static_cast<int32_t>(value > 65536 ? 65536 : value);
        *sink.plus = 0;
        applied = true;
    } else if (sink.minus && *sink.minus) {
        if (*sink.ramp > 0) *sink.ramp = 0;
        const int64_t step = *sink.ramp + static_cast<int64_t>(t * 182.0 * (-3 * (1 << sink.rateShift)));
        *sink.ramp = static_cast<int32_t>(step < -kInputRampCap ? -kInputRampCap : step);
        const int64_t value = int64_t{sink.value} + *sink.ramp;
        sink.value = static_cast<int32_t>(value < -65536 ? -65536 : value);
        *sink.minus = 0;
        applied = true;
    } else {
        *sink.ramp = 0;
    }
    sink.touched = applied ? 1 : 0;
    return applied;
}

// The input page of the debug text screen: the throttle, the steering and the camera's track
// values with the keys that move them.
DebugScreenPage* g_page = nullptr;

void DrawInputPage(DebugScreenPage*) {}

bool InputPageShown() { return g_page && g_page->draw == DrawInputPage && DebugScreen_IsPageShown(g_page); }

void RefreshInputPage() {
    if (!InputPageShown()) return;
    const InputSinks& k = InputSink;
    DebugScreen_Printf(g_page, 0, 5, 7, "      throttle = %09ld         ", static_cast<long>(k.throttle));
    DebugScreen_Printf(g_page, 0, 6, 7, "   throttle up = %04d          ", k.throttle_up);
    DebugScreen_Printf(g_page, 0, 7, 7, "   throttle dn = %04d          ", k.throttle_down);
    DebugScreen_Printf(g_page, 0, 8, 7, "      steering = %09ld         ", static_cast<long>(k.steer));
    DebugScreen_Printf(g_page, 0, 9, 7, "   steering lt = %04d          ", k.steer_left);
    DebugScreen_Printf(g_page, 0, 10, 7, "   steering rt = %04d          ", k.steer_right);
    const struct {
        int32_t value;
        uint8_t up, down;
    } tracks[] = {{k.track_pitch_delta, k.track_pitch_plus, k.track_pitch_minus},
                  {k.track_yaw_delta, k.track_yaw_plus, k.track_yaw_minus}};
    int row = 1;
    for (const auto& track : tracks) {
        DebugScreen_Printf(g_page, 40, row++, 7, "     track yaw = %09ld         ", static_cast<long>(track.value));
        DebugScreen_Printf(g_page, 40, row++, 7, "  track yaw up = %04d          ", track.up);
        DebugScreen_Printf(g_page, 40, row++, 7, "  track yaw dn = %04d          ", track.down);
    }
}

FILE* OpenInputMap() {
    const std::string profile = Plat_ProfilePath("input.map");
    if (Plat_FileExists(profile)) return Plat_OpenFile(profile, "r");
    return Plat_OpenFile(Plat_DataPath("input.map"), "r");
}

// The defaults file of a device or profile name: "tovak\<name without trailing digits>.std".
FILE* OpenDefaults(const char* name) {
    std::string base = name;
    while (!base.empty() && std::isdigit(static_cast<unsigned char>(base.back()))) base.pop_back();
    return Plat_OpenFile(Plat_DataPath("tovak\\" + base + ".std"), "r");
}

void ParseDefaults(const char* name) {
    if (FILE* file = OpenDefaults(name)) {
        InputMap_ParseFile(file);
        std::fclose(file);
    }
}

}  // namespace

// ---- lines -------------------------------------------------------------------------------

bool KeyMapLine_Read(FILE* file, char (&line)[kKeyMapLineChars + 1], bool keepComments, int* lineNumber) {
    for (;;) {
        int c = std::fgetc(file);
        if (c == EOF) return false;
        size_t n = 0;
        while (c != EOF && c != '\n') {
            if (n < kKeyMapLineChars) line[n++] = static_cast<char>(c);
            c = std::fgetc(file);
        }
        line[n] = 0;
        if (lineNumber) ++*lineNumber;
        if (keepComments) return true;
        if (char* hash = std::strchr(line, '#')) *hash = 0;
        for (const char* p = line; *p; ++p)
            if (!IsBlank(*p)) return true;
    }
}

// ---- the input layer ---------------------------------------------------------------------

bool InputMap_ParseFile(FILE* file) {
    g_line = 0;
    char line[kKeyMapLineChars + 1];
    while (KeyMapLine_Read(file, line, false, &g_line)) {
        char name[kKeyMapLineChars + 1];
        if (!ReadHeader(line, name, sizeof name)) continue;
        const SinkRow* row = Sink_Find(name);
        if (!row) {
            Error_Warning("input.map error: line %d, bad field \"%s\".", g_line, name);
            return false;
        }
        if (!ParseBlock(file, *row)) return false;
    }
    return true;
}

void InputMap_Load() {
    FILE* file = OpenInputMap();
    if (!file) {
        Error_Warning("input.map error: can't open file.");
        return;
    }
    InputMap_ParseFile(file);
    std::fclose(file);
    for (int i = 0; i < g_map.deviceCount; ++i)
        if (g_map.devices[i].enabled) ParseDefaults(g_map.devices[i].name);
    const char* profile = Input_ControllerProfileName();
    if (Text_CompareNoCase(profile, "NULL") != 0) ParseDefaults(profile);
}

void Input_Init() {
    // The page slot is empty again after the debug screen was reset.
    if (!g_page || g_page->draw != DrawInputPage) g_page = DebugScreen_AddPage(DrawInputPage);
    InputMap_Load();
    GameKey_LoadMap();
    g_map.keyboardDevice = FindDevice("keyboard");
    if (g_map.keyboardDevice >= 0) {
        const InputDevice* kind = g_map.devices[g_map.keyboardDevice].kind;
        if (kind->flush) kind->flush();
    }
}

void Input_Close() {
    for (int i = g_map.deviceCount - 1; i >= 0; --i) CloseDevice(g_map.devices[i]);
    g_map = MappingState{};
    g_map.keyboardDevice = -1;
    InputSinks_Clear();
    InputMap_SetDeviceKinds(nullptr, 0);
}

void Input_Update() {
    // 1. Reset and set requests; nothing applied yet this frame.
    for (int i = 0; i < g_map.analogCount; ++i) {
        AnalogControl& control = g_map.analog[i];
        AnalogSink& sink = *control.sink;
        if (sink.reset && *sink.reset) {
            ResetSink(sink, control);
            control.last = 0;
        } else if (sink.set && *sink.set) {
            *sink.ramp = 0;
            sink.value = Sink_Inverse(*sink.row, *sink.output);
        }
        sink.touched = 0;
    }
    // 2.
    for (const SinkRow& row : SinkTable)
        if (row.kind != kSinkAnalog) *static_cast<uint8_t*>(row.output) = 0;
    // 3.
    if (TextField_GetFocused()) {
        Keyboard_ClearState();
    } else {
        // 4.
        for (int i = 0; i < g_map.deviceCount; ++i) {
            DeviceEntry& entry = g_map.devices[i];
            if (entry.enabled && entry.kind->read)
                entry.kind->read(entry.record.privateData, entry.state.analog, entry.state.discrete);
        }
        const bool user = Input_IsUserControlEnabled();
        // 5.
        for (int i = 0; i < g_map.discreteCount; ++i) {
            DiscreteControl& control = g_map.discrete[i];
            if (!user && !control.menu) continue;
            const bool holds = ChordHolds(control.chord);
            if (holds && (!control.edge || !control.last)) *control.output |= 1;
            control.last = holds ? 1 : 0;
        }
        // 6.
        for (int i = 0; i < g_map.analogCount; ++i) {
            AnalogControl& control = g_map.analog[i];
            if (!user && !control.menu) continue;
            AnalogSink& sink = *control.sink;
            if (!ApplyRequests(sink, control) && control.deviceValue) {
                const int32_t contribution = ChordHolds(control.chord) ? control.direction * *control.deviceValue : 0;
                if (contribution != control.last || sink.isDelta) sink.value = contribution;
                control.last = contribution;
            }
            *sink.output = Sink_Output(*sink.row, sink.value);
        }
    }
    // 7.
    InputKeyEvent = 0;
    if (g_map.keyboardDevice >= 0 && g_map.devices[g_map.keyboardDevice].enabled) {
        const InputDevice* kind = g_map.devices[g_map.keyboardDevice].kind;
        if (kind->nextKey) kind->nextKey(&InputKeyEvent);
    }
    // 8.
    RefreshInputPage();
}

InputMapCounts InputMap_Counts() {
    return {g_map.deviceCount, g_map.sinkCount, g_map.analogCount, g_map.discreteCount};
}

bool InputMap_SinkState(const char* name, int32_t* value, int32_t* ramp) {
    const SinkRow* row = Sink_Find(name);
    if (!row) return false;
    for (int i = 0; i < g_map.sinkCount; ++i) {
        const AnalogSink& sink = g_map.sinks[i];
        if (sink.output != row->output) continue;
        if (value) *value = sink.value;
        if (ramp) *ramp = *sink.ramp;
        return true;
    }
    return false;
}

bool InputMap_DeviceInfo(int index, bool* enabled, const char** name) {
    if (index < 0 || index >= g_map.deviceCount) return false;
    if (enabled) *enabled = g_map.devices[index].enabled;
    if (name) *name = g_map.devices[index].name;
    return true;
}

void InputMap_SetDeviceKinds(const InputDevice* const* kinds, int count) {
    if (!kinds) {
        kinds = kDefaultKinds;
        count = 4;
    }
    if (count > 8) count = 8;
    for (int i = 0; i < count; ++i) g_kinds[i] = kinds[i];
    g_kindCount = count;
}

// PENDING(11.105) the shell copies the controller profile the player chose; until then a
// connected stick gets the default stick map, and without one there is none.
const char* Input_ControllerProfileName() {
    return JoystickDevice.count && JoystickDevice.count() > 0 ? "joystick" : "NULL";
}

// ---- rewriting a keyboard binding --------------------------------------------------------

namespace {

// Copies a key map line by line: blank lines dropped, one empty line after each closing
// brace; inside the block of sink (when given) the "+ keyboard" lines name keyName instead.
bool CopyMap(FILE* in, FILE* out, const char* sink, const char* keyName) {
    char line[kKeyMapLineChars + 1];
    int number = 0;
    bool ok = true;
    auto put = [&](const char* text) { ok = ok && std::fputs(text, out) >= 0; };
    auto isComment = [](const char* text) {
        while (IsBlank(*text)) ++text;
        return *text == '#';
    };
    auto isBlankLine = [](const char* text) {
        while (IsBlank(*text)) ++text;
        return *text == 0;
    };
    while (KeyMapLine_Read(in, line, true, &number)) {
        if (isBlankLine(line)) continue;
        put(line);
        put("\n");
        if (isComment(line)) continue;
        if (IsBlockEnd(line)) {
            put("\n");
            continue;
        }
        char name[kKeyMapLineChars + 1];
        if (!ReadHeader(line, name, sizeof name)) {
            Error_Warning("input.map error: line %d, read error.", number);
            return false;
        }
        const bool target = sink && Text_CompareNoCase(name, sink) == 0;
        while (KeyMapLine_Read(in, line, true, &number)) {
            if (isBlankLine(line)) continue;
            if (IsBlockEnd(line)) {
                put(line);
                put("\n\n");
                break;
            }
            if (isComment(line)) {
                put(line);
                put("\n");
                continue;
            }
            BindingLine binding{};
            if (!ReadBindingLine(line, &binding)) {
                Error_Warning("input.map error: line %d, read error - \"%s\"", number, name);
                return false;
            }
            if (target && binding.sign == '+' && Text_CompareNoCase(binding.device, "keyboard") == 0) {
                char rewritten[3 * kKeyMapLineChars];
                std::snprintf(rewritten, sizeof rewritten, "\t%c %s %s\n", binding.sign, binding.device, keyName);
                put(rewritten);
            } else {
                put(line);
                put("\n");
            }
        }
    }
    return ok;
}

}  // namespace

bool InputMap_SaveBinding(const char* sink, const char* keyName) {
    FILE* in = OpenInputMap();
    if (!in) {
        Error_Warning("input.map error: can't open file.");
        return false;
    }
    const std::string tempPath = Plat_ProfilePath("temp.map");
    FILE* temp = Plat_OpenFile(tempPath, "w");
    if (!temp) {
        std::fclose(in);
        return false;
    }
    bool ok = CopyMap(in, temp, sink, keyName);
    std::fclose(in);
    ok = Plat_SyncFile(temp) && ok;
    ok = std::fclose(temp) == 0 && ok;
    if (!ok) return false;

    // The new "input.map" is written whole beside the old one and then takes its place, so a
    // failed write never leaves the player's bindings half-written.
    const std::string mapPath = Plat_ProfilePath("input.map");
    const std::string newPath = Plat_ProfilePath("input.map.new");
    FILE* from = Plat_OpenFile(tempPath, "r");
    FILE* to = from ? Plat_OpenFile(newPath, "w") : nullptr;
    if (!to) {
        if (from) std::fclose(from);
        return false;
    }
    ok = CopyMap(from, to, nullptr, nullptr);
    std::fclose(from);
    ok = Plat_SyncFile(to) && ok;
    ok = std::fclose(to) == 0 && ok;
    if (ok) ok = Plat_SetFileReadOnly(newPath, true) && Plat_RenameFile(newPath, mapPath);
    if (!ok) Plat_RemoveFile(newPath);
    Plat_ForgetDirectoryCache();
    return ok;
}

bool InputMap_GetKeyboardBinding(const char* sink, char* out, size_t outSize) {
    const SinkRow* row = Sink_Find(sink);
    if (!row || !out || outSize == 0) return false;
    if (row->kind != kSinkHold && Text_CompareNoCase(row->name, "weapon_cycle") != 0) return false;
    FILE* file = OpenInputMap();
    if (!file) return false;
    char line[kKeyMapLineChars + 1];
    int number = 0;
    bool found = false;
    char channel[kKeyMapLineChars + 1] = {};
    while (KeyMapLine_Read(file, line, false, &number)) {
        char name[kKeyMapLineChars + 1];
        if (!ReadHeader(line, name, sizeof name)) continue;
        const bool target = Text_CompareNoCase(name, row->name) == 0;
        while (KeyMapLine_Read(file, line, false, &number) && !IsBlockEnd(line)) {
            BindingLine binding{};
            if (target && ReadBindingLine(line, &binding) && binding.sign == '+' &&
                Text_CompareNoCase(binding.device, "keyboard") == 0) {
                std::snprintf(channel, sizeof channel, "%s", binding.channel);
                found = true;
            }
        }
        if (target) break;
    }
    std::fclose(file);
    if (found) std::snprintf(out, outSize, "%s", channel);
    return found;
}
