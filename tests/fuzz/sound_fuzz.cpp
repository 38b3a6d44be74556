// Sound files: any bytes are refused or parsed, and a parsed sound's samples lie inside the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "audio/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's size, so a read past it is caught.
    std::vector<uint8_t> copy(data, data + size);
    WaveInfo info;
    if (Wave_Parse(copy.data(), copy.size(), &info)) {
        if (info.samples < copy.data() || info.samples + info.bytes > copy.data() + copy.size()) std::abort();
        uint32_t sum = 0;
        for (uint32_t i = 0; i < info.bytes; ++i) sum += info.samples[i];
        if (info.format.channels < 1 || info.format.channels > 2 || info.format.rate <= 0) std::abort();
        (void)sum;
    }
    return 0;
}
