// Writer of tile-coded images: 4 x 4 tiles, each either one solid byte or an entry of a shared
// code book.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace content {

struct TileImageFiles {
    std::vector<uint8_t> image;     // 24-byte header, then one 16-bit code per tile
    std::vector<uint8_t> codeBook;  // 4-byte header, then 16 bytes per entry
};

// Encodes width x height pixels (row by row). Uniform tiles become solid codes; every other tile
// becomes a code book entry, equal tiles sharing one (clipped tiles padded with zeros). The code
// book name (up to 15 characters) goes into the header. False when more than 32768 entries
// would be needed or the sizes do not fit.
bool EncodeTileImage(const std::vector<uint8_t>& pixels, int width, int height, uint16_t format,
                     const std::string& codeBookName, TileImageFiles* out);

}  // namespace content
