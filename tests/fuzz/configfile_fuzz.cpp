// Configuration files: any bytes clean and answer lookups without reading past the text.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/configfile.h"
#include "core/datafile.h"

namespace {
const uint8_t* g_data;
size_t g_size;
bool Serve(const char*, std::vector<char>* bytes) {
    bytes->assign(g_data, g_data + g_size);
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    g_data = data;
    g_size = size;
    DataFile_SetLoader(Serve);
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
