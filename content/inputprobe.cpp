#include "inputprobe.h"

#include <set>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/clock.h"
#include "interface/inputdevices.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/system.h"
#include "platform/window.h"

namespace content {
namespace {

constexpr const char* kProbeClass = "GvInputProbe";

LResult ProbeProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    if (InputDevices_OnMessage(message, wParam, lParam)) return 0;
    if (message == WM_ACTIVATEAPP) {  // forces follow the window's activation, as in the game
        if (wParam)
            ForceFeedback_Enable(1);
        else
            ForceFeedback_Disable();
        return 0;
    }
    if (message == WM_SETFOCUS) Keyboard_ClearState();
    return Plat_DefWindowProc(window, message, wParam, lParam);
}

struct Device {
    const InputDevice* kind;
    InputDeviceRecord record;
};

bool Bit(const uint32_t* words, int index) { return (words[index / 32] >> (index % 32)) & 1; }

// The device's values: analog channels that are not 0, then discrete channels that are on.
void Report(Device& device, std::string* line) {
    int32_t analog[kInputAnalogValues] = {};
    uint32_t discrete[kInputDiscreteWords] = {};
    device.kind->read(device.record.privateData, analog, discrete);
    const InputDeviceRecord& r = device.record;
    for (int i = 0; i < r.analogCount && i < kInputAnalogValues; ++i)
        if (analog[i] != 0) *line += std::string(" ") + r.name + " " + r.analogShortNames[i] + " " + std::to_string(analog[i]);
    for (int i = 0; i < r.discreteCount && i < kInputDiscreteWords * 32; ++i)
        if (Bit(discrete, i)) *line += std::string(" ") + r.name + " " + r.discreteShortNames[i];
}

void WriteCalls(std::FILE* out, size_t* shown) {
    const auto& log = Plat_DeviceCallLog();
    for (; *shown < log.size(); ++*shown) std::fprintf(out, "call %s\n", log[*shown].c_str());
    std::fflush(out);
}

}  // namespace

int InputProbe(const std::string& eventsPath, bool forceFeed, std::FILE* out, std::string* error) {
    Plat_Init(BackendKind::Headless);
    Plat_UseVirtualClock(0);
    InputDevices_Reset();
    Plat_SetKeyNameResolver(Keyboard_KeyOfName);
    if (!Plat_LoadEventScript(eventsPath, error)) return 1;
    const long lastFrame = Plat_EventScriptLastFrame();
    Plat_RegisterClass(kProbeClass, ProbeProc);
    const WindowHandle window = Plat_CreateWindow(kProbeClass, "Input probe", 640, 480);
    App_Globals().mainWindow = window;
    Clock_Init();
    Plat_PeekMessage(nullptr, false);  // the script's frame 0: sticks there before the start
    size_t shownCalls = 0;
    if (forceFeed) {
        ForceFeedback_Request();
        ForceFeedback_Start();
        WriteCalls(out, &shownCalls);
    }
    Plat_ShowWindow(window, SW_SHOW);  // comes up focused
    App_PumpAllMessages();
    Mouse_Capture();  // as the game does at start: the cursor is kept and centred

    std::vector<Device> devices;
    for (const InputDevice* kind : {&KeyboardDevice, &MouseDevice}) {
        Device device{kind, {}};
        kind->describe(0, &device.record);
        kind->open(&device.record);
        devices.push_back(device);
    }
    std::set<int> sticks;
    uint32_t clockMs = 0;
    for (long frame = 1; frame <= lastFrame + 2; ++frame) {
        const uint32_t target = static_cast<uint32_t>(frame * 1000 / 30);
        Plat_AdvanceVirtualClock(target - clockMs);
        clockMs = target;
        Clock_Tick();
        Plat_FrameTick();
        App_PumpAllMessages();
        // Joysticks that came since the last frame are described and opened under their ids.
        for (int id = 0; id < Plat_JoyCount(); ++id) {
            if (sticks.count(id)) continue;
            Device device{&JoystickDevice, {}};
            if (JoystickDevice.describe(id, &device.record) != 0) continue;
            if (JoystickDevice.open(&device.record) != 0) {
                JoystickDevice.close(&device.record);
                continue;
            }
            devices.push_back(device);
            sticks.insert(id);
        }
        std::string line;
        uint32_t keys[kInputDiscreteWords] = {};
        KeyboardDevice.read(nullptr, nullptr, keys);
        char name[32];
        for (int channel = 1; channel <= kKeyboardChannels; ++channel) {
            if (!Bit(keys, channel - 1)) continue;
            Keyboard_GetKeyName(channel, name, sizeof name);
            line += std::string(" key ") + name;
        }
        for (uint16_t code = 0; KeyboardDevice.nextKey(&code), code != 0;) {
            char typed[16];
            std::snprintf(typed, sizeof typed, " typed 0x%04x", code);
            line += typed;
        }
        for (size_t i = 1; i < devices.size(); ++i) Report(devices[i], &line);
        if (!line.empty()) std::fprintf(out, "frame %ld:%s\n", frame, line.c_str());
        WriteCalls(out, &shownCalls);
    }
    Mouse_Release();
    if (forceFeed) {
        ForceFeedback_Close();
        WriteCalls(out, &shownCalls);
    }
    for (size_t i = 2; i < devices.size(); ++i) JoystickDevice.close(&devices[i].record);
    Plat_DestroyWindow(window);
    App_Globals().mainWindow = 0;
    Plat_UseRealClock();
    return 0;
}

}  // namespace content
