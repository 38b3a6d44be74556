// "gamekey.map" is outside input: every line either binds a key or warns, and what it binds
// translates and dispatches only codes 1 to 4096.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "interface/gamekeys.h"
#include "platform/msgbox.h"
#include "platform/system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        Plat_Init(BackendKind::Headless);
        return true;
    }();
    (void)ready;
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!file) return 0;
    GameKey_ReadMap(file);
    std::fclose(file);
    for (int code = 0; code <= kGameKeyMaxCode + 1; ++code) (void)GameKey_Translate(code);
    GameKey_Reset();
    Plat_ClearMessageBoxLog();
    return 0;
}
