// Key maps ("input.map" and the ".std" device defaults) are outside input: any bytes must parse
// or be refused with a warning, and whatever bindings they leave must update without harm.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/app.h"
#include "interface/inputdevices.h"
#include "interface/inputmap.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "platform/window.h"

namespace {

LResult Quiet(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    return Plat_DefWindowProc(window, message, wParam, lParam);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        Plat_Init(BackendKind::Headless);
        Plat_RegisterClass("KeyMapFuzz", Quiet);
        App_Globals().mainWindow = Plat_CreateWindow("KeyMapFuzz", "fuzz", 64, 48);
        return true;
    }();
    (void)ready;
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!file) return 0;
    InputMap_ParseFile(file);
    std::fclose(file);
    for (int frame = 0; frame < 3; ++frame) Input_Update();
    Input_Close();
    Plat_ClearMessageBoxLog();
    return 0;
}
