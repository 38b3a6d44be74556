// The sample world's palette and its colour tables: luminance, translucency and alpha, made by
// the same code the game uses to build them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace content {

constexpr const char* kPaletteFile = "world.pal";
constexpr const char* kLumaFile = "world.lum";
constexpr const char* kTranslucencyFile = "world.trn";
constexpr const char* kAlphaFile = "world.alp";
constexpr float kTranslucencyOpacity = 0.5f;
constexpr float kAlphaOpacity = 0.25f;  // the destination's share: sources show at three quarters
// The colour the game clears the sky to; in the grey ramp's place, it holds a sky blue.
constexpr int kSkyClearIndex = 223;

struct ColorTables {
    std::vector<uint8_t> palette;       // 768 bytes, red, green, blue
    std::vector<uint8_t> luma;          // 65,536 bytes
    std::vector<uint8_t> translucency;  // 65,536 bytes
    std::vector<uint8_t> alpha;         // 65,536 bytes
};

// The world's palette: 0 black, 1..216 a 6 x 6 x 6 colour cube, 217..254 a grey ramp (but for
// the sky blue at kSkyClearIndex),
// 255 the see-through key colour (magenta, the cube's own magenta comes first, so the built
// tables never pick the key colour).
std::vector<uint8_t> MakeWorldPalette();
// Builds the tables from the palette. Uses (and leaves changed) the renderer's global tables.
ColorTables MakeColorTables(const std::vector<uint8_t>& palette);
// Writes the four files into dir.
bool WriteColorTables(const std::string& dir, std::string* error);

}  // namespace content
