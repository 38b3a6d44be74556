// INI and message-table files are outside input: any bytes must read without harm.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <unistd.h>
#include <string>

#include "platform/ini.h"
#include "platform/strtable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/gv-fuzz-" + std::to_string(static_cast<long>(::getpid())) + ".ini";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    Plat_IniGetInt("Debug", "TrackFPS", 7, path.c_str());
    Plat_IniGetString("World", "Name", "none", path.c_str());
    PlatStrTable* table = Plat_StrTableCreate(path.c_str());
    Plat_StrTableFind(table, "Not Enough Swap File Space");
    Plat_StrTableDestroy(table);
    return 0;
}
