// Texture files are outside input: any ".vqm" with any code book, any ".map" image and any frame
// list must decode or be refused without reading or writing past what they hold.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/shake.h"
#include "render/texcache.h"
#include "render/texmgr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    size_t split = static_cast<size_t>(data[0] | data[1] << 8);
    data += 2;
    size -= 2;
    if (split > size) split = size;
    // Exact-size copies, so the sanitizer sees every read past a file's end.
    const std::vector<uint8_t> vqm(data, data + split);
    const std::vector<uint8_t> book(data + split, data + size);
    const std::vector<uint8_t> whole(data, data + size);

    // The cache's order: the file must hold its codes before the image is allocated.
    size_t need = Vq_DecodedSize(vqm.data(), vqm.size());
    if (need != 0 && TileImage_InputSize(vqm.data(), vqm.size()) <= vqm.size()) {
        std::vector<uint8_t> image(need);
        if (Vq_DecodeTexture(vqm.data(), vqm.size(), book.data(), book.size(), image.data(), image.size())) {
            const TextureImage* decoded = reinterpret_cast<const TextureImage*>(image.data());
            if (!TextureImage_Check(image.data(), image.size())) __builtin_trap();
            volatile uint8_t sink = 0;
            int64_t texels = int64_t(TextureImage_Width(decoded)) * TextureImage_Height(decoded);
            if (texels > 0) sink = TextureImage_Texels(decoded)[texels - 1];
            (void)sink;
        }
        // One byte less than the decoder's minimum is always refused.
        if (need > 0 && Vq_DecodeTexture(vqm.data(), vqm.size(), book.data(), book.size(), image.data(), need - 1))
            __builtin_trap();
    }

    if (TextureImage_Check(whole.data(), whole.size())) {
        const TextureImage* image = reinterpret_cast<const TextureImage*>(whole.data());
        int64_t texels = int64_t(TextureImage_Width(image)) * TextureImage_Height(image);
        volatile uint8_t sink = 0;
        if (texels > 0) sink = TextureImage_Texels(image)[texels - 1];
        (void)sink;
    }

    FrameList list{};
    if (FrameList_Read(whole.data(), whole.size(), &list, nullptr)) {
        std::vector<std::array<char, 16>> names(static_cast<size_t>(list.frameCount));
        auto* table = reinterpret_cast<char(*)[16]>(names.data());
        if (!FrameList_Read(whole.data(), whole.size(), &list, table)) __builtin_trap();
    }
    return 0;
}
