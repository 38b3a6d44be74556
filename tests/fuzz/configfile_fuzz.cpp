// Configuration files: any bytes clean and answer lookups without reading past the text.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_loader.h"

#include "core/configfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzServeInput(data, size);
    Cfg_Forget();
    const char* sections[] = {"A", "World", "", "[", "]"};
    const char* keys[] = {"A", "K", "SIZE", "=", ""};
    for (const char* section : sections)
        for (const char* key : keys) {
            char buffer[9];
            Cfg_GetString(section, key, "d", buffer, sizeof buffer, "fuzz.cfg");
            Cfg_GetInt(section, key, 0, "fuzz.cfg");
        }
    return 0;
}
