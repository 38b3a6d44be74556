// Joysticks: up to six axes through the chosen response curve, up to 32 buttons, a four-way hat
// and two half-buttons per axis, polled once per frame.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/debug.h"
#include "core/helpers.h"
#include "core/seams/shell.h"
#include "interface/inputdevices.h"
#include "platform/input.h"

namespace {

constexpr int kCurveOffset = 100;  // the response setting in the player settings record
constexpr int kCurveLength = 2 * kJoystickCurveHalf + 1;

struct AxisNames {
    const char* shortName;
    const char* longName;
    const char* negShort;
    const char* negLong;
    const char* posShort;
    const char* posLong;
};
const AxisNames kAxes[kJoyAxisCount] = {
    {"HorizPos", "Horizontal Position", "HorizNeg", "Horizontal Negative", "HorizPos", "Horizontal Positive"},
    {"VertPos", "Vertical Position", "VertNeg", "Vertical Negative", "VertPos", "Vertical Positive"},
    {"Throttle", "Throttle Position", "ThrottleNeg", "Throttle Negative", "ThrottlePos", "Throttle Positive"},
    {"Rudder", "Rudder Position", "RudderNeg", "Rudder Negative", "RudderPos", "Rudder Positive"},
    {"USlider", "U Slider Movement", "USliderNeg", "U Slider Negative", "USliderPos", "U Slider Positive"},
    {"VSlider", "V Slider Movement", "VSliderNeg", "V Slider Negative", "VSliderPos", "V Slider Positive"},
};
const char* const kHatShort[] = {"HatUp", "HatRight", "HatDown", "HatLeft"};
const char* const kHatLong[] = {"Hat Up", "Hat Right", "Hat Down", "Hat Left"};

struct BitPlace {
    int word = 0;
    uint32_t mask = 0;
};

// A joystick's private data, from describe to close.
struct Joystick {
    int id = 0;
    int buttons = 0;
    bool hasAxis[kJoyAxisCount] = {};
    bool hasHat = false;
    int32_t min[kJoyAxisCount] = {};
    int32_t max[kJoyAxisCount] = {};
    int32_t lower[kJoyAxisCount] = {};
    int32_t upper[kJoyAxisCount] = {};
    BitPlace hat[4];  // up, right, down, left
    BitPlace negative[kJoyAxisCount];
    BitPlace positive[kJoyAxisCount];
    // The channel names the record points at.
    std::vector<std::string> texts;
    std::vector<const char*> analogShort, analogLong, discreteShort, discreteLong;
};

int32_t g_curves[kJoystickCurves][kCurveLength];
bool g_curvesBuilt = false;
DebugScreenPage* g_page = nullptr;

void BuildCurves() {
    if (g_curvesBuilt) return;
    for (int a = 0; a < kJoystickCurves; ++a) {
        for (int i = 0; i <= kJoystickCurveHalf; ++i) {
            const double value = std::pow(i / 127.0, 6.0 - 0.5 * a) * 65536.0;
            const int32_t rounded = static_cast<int32_t>(std::lround(value));
            g_curves[a][kJoystickCurveHalf + i] = rounded;
            g_curves[a][kJoystickCurveHalf - i] = -rounded;
        }
    }
    g_curvesBuilt = true;
}

void DrawPage(DebugScreenPage* page) {
    DebugScreen_Printf(page, 30, 10, 0x0F, "Joystick reading information");
    DebugScreen_Printf(page, 0, 15, 0x07, " Axis    Raw value     TOVAK value    Sim value");
    DebugScreen_Printf(page, 0, 16, 0x07, "%s", std::string(48, '-').c_str());
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

const char* TypeName(const std::string& display, const PlatJoyCaps& caps) {
    const bool z = caps.hasAxis[kJoyAxisZ], r = caps.hasAxis[kJoyAxisR], hat = caps.hasHat;
    if (Contains(display, "Tracker")) return "tracker";
    if (Contains(display, "SideWinder") || (z && r && hat && caps.buttons == 8)) return "sidewind";
    if (Contains(display, "Flightstick Pro") || (z && hat && caps.buttons == 4)) return "fltstick";
    if (Contains(display, "Thrustmaster") || (r && hat && caps.buttons == 4)) return "tmaster";
    return "joystick";
}

void CopyText(char* out, size_t size, const std::string& text) {
    Text_CopyFixed(out, size - 1, text.c_str());
    out[size - 1] = '\0';
}

int JoystickCount() { return Plat_JoyCount(); }

int JoystickDescribe(int index, InputDeviceRecord* record) {
    PlatJoyCaps caps;
    if (!record || Plat_JoyGetCaps(index, &caps) != kJoyOk) return 1;
    Joystick* stick = new (std::nothrow) Joystick;
    if (!stick) return 1;
    stick->id = index;
    const std::string display = caps.name.empty() ? "Joystick " + std::to_string(index + 1) : caps.name;
    const char* type = TypeName(display, caps);

    // Names first (the vector of texts must not move once pointers into it are taken).
    std::vector<std::pair<std::string, std::string>> analog, discrete;  // (short, long)
    for (int a = 0; a < kJoyAxisCount; ++a) {
        if (!caps.hasAxis[a] && a > kJoyAxisY) continue;
        if (a == kJoyAxisZ && std::strcmp(type, "tracker") == 0)
            analog.push_back({"HeadRoll", "Left/Right Head Roll"});
        else
            analog.push_back({kAxes[a].shortName, kAxes[a].longName});
    }
    for (int b = 1; b <= caps.buttons; ++b)
        discrete.push_back({"Button" + std::to_string(b), "Button " + std::to_string(b)});
    if (caps.hasHat)
        for (int h = 0; h < 4; ++h) discrete.push_back({kHatShort[h], kHatLong[h]});
    for (int a = 0; a < kJoyAxisCount; ++a) {
        if (!caps.hasAxis[a] && a > kJoyAxisY) continue;
        discrete.push_back({kAxes[a].negShort, kAxes[a].negLong});
        discrete.push_back({kAxes[a].posShort, kAxes[a].posLong});
    }
    stick->texts.reserve(2 * (analog.size() + discrete.size()));
    auto keep = [stick](const std::string& text) {
        stick->texts.push_back(text);
        return stick->texts.back().c_str();
    };
    for (auto& [s, l] : analog) {
        stick->analogShort.push_back(keep(s));
        stick->analogLong.push_back(keep(l));
    }
    for (auto& [s, l] : discrete) {
        stick->discreteShort.push_back(keep(s));
        stick->discreteLong.push_back(keep(l));
    }

    std::memset(record, 0, sizeof *record);
    CopyText(record->name, sizeof record->name, "joystick" + std::to_string(index + 1));
    CopyText(record->displayName, sizeof record->displayName, display);
    CopyText(record->typeName, sizeof record->typeName, type);
    record->analogCount = static_cast<int32_t>(analog.size());
    record->discreteCount = static_cast<int32_t>(discrete.size());
    record->analogShortNames = stick->analogShort.data();
    record->analogLongNames = stick->analogLong.data();
    record->discreteShortNames = stick->discreteShort.data();
    record->discreteLongNames = stick->discreteLong.data();
    record->privateData = stick;
    return 0;
}

BitPlace Place(int bit) { return BitPlace{bit / 32, 1u << (bit % 32)}; }

int JoystickOpen(InputDeviceRecord* record) {
    Joystick* stick = record ? static_cast<Joystick*>(record->privateData) : nullptr;
    if (!stick) return 1;
    BuildCurves();
    if (!g_page || g_page->draw != DrawPage) {  // once, and again after the debug screen was reset
        g_page = DebugScreen_AddPage(DrawPage);
        if (g_page) DrawPage(g_page);
    }
    PlatJoyCaps caps;
    PlatJoyPos pos;
    if (Plat_JoyGetCaps(stick->id, &caps) != kJoyOk || Plat_JoyGetPos(stick->id, &pos) != kJoyOk) return 1;
    stick->buttons = std::clamp(caps.buttons, 0, kJoyMaxButtons);
    stick->hasHat = caps.hasHat;
    int bit = stick->buttons;
    if (stick->hasHat)
        for (BitPlace& place : stick->hat) place = Place(bit++);
    for (int a = 0; a < kJoyAxisCount; ++a) {
        stick->hasAxis[a] = caps.hasAxis[a] || a <= kJoyAxisY;
        if (!stick->hasAxis[a]) continue;
        stick->min[a] = caps.axisMin[a];
        stick->max[a] = caps.axisMax[a];
        const int64_t lo = caps.axisMin[a], hi = caps.axisMax[a];
        stick->lower[a] = static_cast<int32_t>((hi + 3 * lo) / 4);
        stick->upper[a] = static_cast<int32_t>((3 * hi + lo) / 4);
        stick->negative[a] = Place(bit++);
        stick->positive[a] = Place(bit++);
    }
    return 0;
}

void JoystickClose(InputDeviceRecord* record) {
    if (!record) return;
    delete static_cast<Joystick*>(record->privateData);
    record->privateData = nullptr;
    record->analogShortNames = record->analogLongNames = nullptr;
    record->discreteShortNames = record->discreteLongNames = nullptr;
    record->analogCount = record->discreteCount = 0;
}

int JoystickResetChannel(void*, int) { return 0; }

const char* ErrorText(int error) {
    switch (error) {
        case kJoyErrBadDeviceId: return "Bad Joystick Device ID";
        case kJoyErrNoDriver: return "No Joystick Driver";
        case kJoyErrInvalidParam: return "Invalid parameter to Joystick driver";
        case kJoyErrUnplugged: return "Joystick may be unplugged";
        default: return "Unkown joystick error";
    }
}

void SetPlace(uint32_t* discrete, const BitPlace& place) { discrete[place.word] |= place.mask; }

int CurveSetting() {
    const uint8_t* def = Seam_Shell().playerDef();
    return def ? def[kCurveOffset] : 5;
}

int JoystickRead(void* data, int32_t* analog, uint32_t* discrete) {
    Joystick* stick = static_cast<Joystick*>(data);
    for (int i = 0; i < kJoyAxisCount; ++i) analog[i] = 0;
    discrete[0] = discrete[1] = 0;
    const WindowHandle window = App_Globals().mainWindow;
    if (!stick || window == 0 || Plat_GetFocus() != window) return 0;
    PlatJoyPos pos;
    if (const int error = Plat_JoyGetPos(stick->id, &pos); error != kJoyOk) {
        Error_Fatal("%s", ErrorText(error));
        return 0;
    }
    discrete[0] = pos.buttons;
    if (stick->hasHat) {
        // Up, right, down, left by the eight directions.
        static const uint32_t kDirections[8] = {0x1, 0x3, 0x2, 0x6, 0x4, 0xC, 0x8, 0x9};
        if (pos.hat < 36000 && pos.hat % 4500 == 0) {
            const uint32_t bits = kDirections[pos.hat / 4500];
            for (int h = 0; h < 4; ++h)
                if (bits & (1u << h)) SetPlace(discrete, stick->hat[h]);
        }
    }
    const int curve = CurveSetting();
    const bool shown = g_page && DebugScreen_IsPageShown(g_page);
    int out = 0;
    for (int a = 0; a < kJoyAxisCount; ++a) {
        if (!stick->hasAxis[a]) continue;
        const int64_t span = int64_t(stick->max[a]) - stick->min[a];
        // A degenerate axis reads centred; a position outside the range reads at its end.
        const int64_t index = span == 0 ? 0 : (int64_t(pos.axis[a]) - stick->min[a]) * 254 / span - 127;
        const int32_t value = Joystick_CurveValue(curve, static_cast<int>(std::clamp<int64_t>(index, -127, 127)));
        analog[out++] = value;
        if (pos.axis[a] < stick->lower[a]) SetPlace(discrete, stick->negative[a]);
        if (pos.axis[a] > stick->upper[a]) SetPlace(discrete, stick->positive[a]);
        if (shown && a <= kJoyAxisY)
            DebugScreen_Printf(g_page, 0, 17 + a, 0x07, "  %s   |   %8d   |  %8d   |  %6.3f  |", a == 0 ? "X" : "Y",
                               pos.axis[a], value, value / 65536.0);
    }
    return 0;
}

}  // namespace

const InputDevice JoystickDevice = {
    JoystickCount, JoystickDescribe, JoystickOpen, JoystickClose, JoystickResetChannel, JoystickRead,
    InputDevice_NoNextKey, InputDevice_NoFlush,
};

int32_t Joystick_CurveValue(int curve, int position) {
    BuildCurves();
    curve = std::clamp(curve, 0, kJoystickCurves - 1);  // the settings file is not trusted
    position = std::clamp(position, -kJoystickCurveHalf, kJoystickCurveHalf);
    return g_curves[curve][kJoystickCurveHalf + position];
}

void Joystick_Reset() { g_page = nullptr; }
