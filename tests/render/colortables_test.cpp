#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "colortables.h"
#include "platform/temp_dir.h"
#include "render/palette.h"

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(WorldColorTables, WrittenFilesMatchWhatTheRendererBuilds) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(content::WriteColorTables(dir.path(), &error)) << error;
    const std::vector<uint8_t> palette = ReadAll(dir.path() + "/" + content::kPaletteFile);
    const std::vector<uint8_t> luma = ReadAll(dir.path() + "/" + content::kLumaFile);
    const std::vector<uint8_t> translucency = ReadAll(dir.path() + "/" + content::kTranslucencyFile);
    const std::vector<uint8_t> alpha = ReadAll(dir.path() + "/" + content::kAlphaFile);
    ASSERT_EQ(palette.size(), 768u);
    ASSERT_EQ(luma.size(), 65536u);
    ASSERT_EQ(translucency.size(), 65536u);
    ASSERT_EQ(alpha.size(), 65536u);
    EXPECT_EQ(palette, content::MakeWorldPalette());

    // The files are the game's own tables: luminance with its clamp rows, blends of each colour
    // with itself give the colour back, and the key colour is magenta.
    Palette_SetFloatColors(palette.data());
    const int fog = Palette_FindNearest(0.01f, 0.01f, 0.01f);
    for (int c = 0; c < 256; ++c) {
        EXPECT_EQ(luma[31 * 256 + c], fog);
        EXPECT_EQ(luma[100 * 256 + c], luma[31 * 256 + c]);
        EXPECT_EQ(luma[200 * 256 + c], luma[c]);
    }
    for (int p = 2; p < 255; ++p) {
        EXPECT_EQ(translucency[p * 256 + p], p) << p;
        EXPECT_EQ(alpha[p * 256 + p], p) << p;
    }
    EXPECT_EQ(palette[255 * 3], 255);
    EXPECT_EQ(palette[255 * 3 + 1], 0);
    for (uint8_t index : luma) EXPECT_NE(index, 255);
    for (uint8_t index : translucency) ASSERT_NE(index, 255);
    // Black over white: half grey for translucency, a quarter-lit grey for alpha (source black
    // at three quarters).
    const int black = 0, white = 216;
    ASSERT_EQ(palette[white * 3], 255);
    int half = translucency[black * 256 + white];
    int quarter = alpha[black * 256 + white];
    EXPECT_NEAR(palette[half * 3], 128, 8);
    EXPECT_NEAR(palette[quarter * 3], 64, 8);
    EXPECT_EQ(palette[half * 3], palette[half * 3 + 1]);
}

// Full fog and the sky plane's far edge (light 1, row 0) are the sky's clear colour for every
// colour, so fogged ground and the sky meet the clear colour without a seam (the rows once ran
// on towards white, and the ground stopped in a pale edge over a band of clear blue); the rows a
// lit surface takes keep close to the colour; the clear colour's own column still brightens from
// the zenith's light to the horizon's.
TEST(WorldColorTables, TheLightRowsAboveFullLightFadeIntoTheSkysClearColour) {
    const std::vector<uint8_t> palette = content::MakeWorldPalette();
    const content::ColorTables tables = content::MakeColorTables(palette);
    const int clear = content::kSkyClearIndex;
    auto distance = [&](int a, int b) {
        int d = 0;
        for (int c = 0; c < 3; ++c) d += std::abs(int(palette[a * 3 + c]) - int(palette[b * 3 + c]));
        return d;
    };
    auto luma = [&](int row, int column) { return int(tables.luma[size_t(row) * 256 + size_t(column)]); };
    for (int c = 0; c < 255; ++c) {
        EXPECT_EQ(luma(0, c), clear) << c;
        if (c == clear) continue;
        EXPECT_LE(distance(luma(3, c), clear), distance(c, clear) + 1) << c;  // no further off than the colour
        EXPECT_LE(distance(luma(6, c), c), 60) << c;
    }
    EXPECT_NE(luma(6, clear), clear);
    EXPECT_GT(distance(luma(6, clear), clear), 0);
}

}  // namespace
