// "label.map" is outside input: any bytes give a text of at most 255 characters or none.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "interface/inputmap.h"
#include "platform/msgbox.h"
#include "platform/system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        Plat_Init(BackendKind::Headless);
        return true;
    }();
    (void)ready;
    for (const char* section : {"main", "option_box"}) {
        FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
        if (!file) return 0;
        char out[kLabelMaxChars + 1] = "default";
        if (LabelMap_Find(file, section, "quit", out) && std::strlen(out) > kLabelMaxChars) std::abort();
        std::fclose(file);
        // The line rule for both languages, over the input taken as one line.
        char line[512];
        const size_t n = size < sizeof line - 1 ? size : sizeof line - 1;
        std::memcpy(line, data, n);
        line[n] = 0;
        LabelMap_CopyText(line, true, out);
        LabelMap_CopyText(line, false, out);
    }
    Plat_ClearMessageBoxLog();
    return 0;
}
