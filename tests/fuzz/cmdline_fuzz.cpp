// The command line is outside input: any text must parse without harm.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/cmdline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    line = line.c_str();  // the program gets a C string: stop at the first zero byte
    CmdLine_ResetGlobals();
    char mapName[64];
    CmdLine_Parse(line.c_str(), mapName, sizeof mapName);
    return 0;
}
