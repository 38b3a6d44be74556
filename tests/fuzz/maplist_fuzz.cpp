// The hardware preload list "map.lst" is outside input: any bytes must give names the texture
// cache can take (lower case, a stem of 1 to 8 characters without blanks, ".map").
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "render/d3dtextures.h"

namespace {

void Check(const char* text, size_t size) {
    for (const std::string& name : TexMgr_ParseMapList(text, size)) {
        if (name.size() < 5 || name.size() > 12 || name.compare(name.size() - 4, 4, ".map") != 0) __builtin_trap();
        for (size_t i = 0; i + 4 < name.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(name[i]);
            if (c <= ' ' || c == 0x7F || (c >= 'A' && c <= 'Z') || c == '.' || c == ';') __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so the sanitizer sees every read past the end.
    const std::vector<char> text(data, data + size);
    Check(text.data(), text.size());
    return 0;
}
