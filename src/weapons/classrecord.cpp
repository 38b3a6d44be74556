#include "weapons/classrecord.h"

#include <cstdio>

namespace {

char ByteOf(const ClassName& name, int i) { return static_cast<char>((name.words[i / 4] >> (8 * (i % 4))) & 0xFF); }

}  // namespace

ClassName ClassName_From(const char* name) {
    ClassName out;
    if (!name) return out;
    for (int i = 0; i < 8 && name[i]; ++i)
        out.words[i / 4] |= static_cast<uint32_t>(static_cast<uint8_t>(name[i])) << (8 * (i % 4));
    out.words[0] &= kClassNameMask;
    out.words[1] &= kClassNameMask;
    return out;
}

void ClassName_Text(const ClassName& name, char out[9]) {
    int n = 0;
    for (; n < 8; ++n) {
        const char c = ByteOf(name, n);
        if (!c) break;
        out[n] = c;
    }
    out[n] = '\0';
}

void ClassName_FileName(const ClassName& name, char out[16]) {
    char text[9];
    ClassName_Text(name, text);
    std::snprintf(out, 16, "%s.odf", text);
}
