#include "tileimage.h"

#include <cstring>
#include <array>
#include <map>

namespace content {

namespace {
void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
}  // namespace

bool EncodeTileImage(const std::vector<uint8_t>& pixels, int width, int height, uint16_t format,
                     const std::string& codeBookName, TileImageFiles* out) {
    if (!out || width < 0 || width > 0xFFFF || height < 0 ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height) || codeBookName.size() > 15)
        return false;
    TileImageFiles files;
    Put16(files.image, format);
    Put16(files.image, static_cast<uint16_t>(width));
    Put16(files.image, static_cast<uint16_t>(height));
    Put16(files.image, static_cast<uint16_t>(static_cast<uint32_t>(height) >> 16));
    char name[16] = {};
    std::memcpy(name, codeBookName.data(), codeBookName.size());
    files.image.insert(files.image.end(), name, name + 16);
    files.codeBook.assign(4, 0);

    std::map<std::array<uint8_t, 16>, uint16_t> entries;
    for (int ty = 0; width > 0 && ty * 4 < height; ++ty) {
        for (int tx = 0; tx * 4 < width; ++tx) {
            std::array<uint8_t, 16> tile{};
            const uint8_t first = pixels[static_cast<size_t>(ty) * 4 * width + tx * 4];
            bool uniform = true;
            for (int r = 0; r < 4 && ty * 4 + r < height; ++r)
                for (int c = 0; c < 4 && tx * 4 + c < width; ++c) {
                    uint8_t p = pixels[static_cast<size_t>(ty * 4 + r) * width + tx * 4 + c];
                    tile[r * 4 + c] = p;
                    uniform = uniform && p == first;
                }
            if (uniform) {
                Put16(files.image, static_cast<uint16_t>(0x8000 | first));
                continue;
            }
            auto found = entries.find(tile);
            if (found == entries.end()) {
                if (entries.size() >= 0x8000) return false;
                found = entries.emplace(tile, static_cast<uint16_t>(entries.size())).first;
                files.codeBook.insert(files.codeBook.end(), tile.begin(), tile.end());
            }
            Put16(files.image, found->second);
        }
    }
    *out = std::move(files);
    return true;
}

}  // namespace content
