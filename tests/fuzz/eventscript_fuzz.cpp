// Event scripts are outside input: any bytes must parse or be refused without harm, and what
// parses must play into a window without harm.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/input.h"
#include "platform/system.h"
#include "platform/window.h"

namespace {

LResult Quiet(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    return Plat_DefWindowProc(window, message, wParam, lParam);
}

// Key names as the script knows them: "K<scan>" plain, "E<scan>" extended.
bool ScanNames(const char* name, int* scan, bool* extended) {
    if (name[0] != 'K' && name[0] != 'E') return false;
    *extended = name[0] == 'E';
    *scan = std::atoi(name + 1);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const WindowHandle window = [] {
        Plat_Init(BackendKind::Headless);
        Plat_SetKeyNameResolver(ScanNames);
        Plat_RegisterClass("EventFuzz", Quiet);
        return Plat_CreateWindow("EventFuzz", "fuzz", 64, 48);
    }();
    std::string error;
    if (Plat_ParseEventScript(std::string(reinterpret_cast<const char*>(data), size), &error)) {
        Plat_PlayEventScript(Plat_EventScriptLastFrame(), window);
        PlatMsg msg;
        while (Plat_PeekMessage(&msg, true)) {
        }
        PlatJoyPos pos;
        for (int id = 0; id < Plat_JoyCount(); ++id) Plat_JoyGetPos(id, &pos);
    }
    // The next input starts with no script, no keys down and no sticks (the resolver stays).
    Plat_ResetInput();
    return 0;
}
