// Movie clips: any bytes are refused or parsed, and every frame of a parsed clip decodes inside
// its picture (header lists, stream headers, palette, index, frame chunks, run-length runs).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/avi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AviClip clip;
    std::string reason;
    if (!Avi_Parse(std::vector<uint8_t>(data, data + size), &clip, &reason)) return 0;
    if (clip.width <= 0 || clip.width > kAviMaxWidth || clip.height <= 0 || clip.height > kAviMaxHeight) std::abort();
    if (clip.paletteCount > 256 || clip.frames.empty()) std::abort();
    AviDecoder decoder(clip);
    for (size_t f = 0; f < clip.frames.size() && f < 64; ++f) {
        if (clip.frames[f].offset + clip.frames[f].size > clip.bytes.size()) std::abort();
        if (!decoder.decode(int(f))) std::abort();  // the parse checked every frame
    }
    return 0;
}
