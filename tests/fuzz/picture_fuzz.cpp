// Pictures are outside input: any file must decode or be refused without writing past a row or
// reading past the file; a decoded picture survives coding and decoding again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/bytes.h"
#include "render/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    uint8_t* image = Picture_Decode(file.data(), file.size());
    if (!image) return 0;
    const int width = Bytes_U16(image), height = static_cast<int>(Bytes_U32(image + 4));
    if (width <= 0 || height <= 0) __builtin_trap();
    if (static_cast<int64_t>(width) * height <= 4096) {
        uint8_t palette[kPicturePaletteSize] = {};
        const std::vector<uint8_t> again = Picture_Encode(image + 8, width, height, static_cast<size_t>(width), palette);
        uint8_t* back = Picture_Decode(again.data(), again.size());
        if (!back || std::memcmp(back + 8, image + 8, static_cast<size_t>(width) * static_cast<size_t>(height)) != 0)
            __builtin_trap();
        delete[] back;
    }
    delete[] image;
    return 0;
}
