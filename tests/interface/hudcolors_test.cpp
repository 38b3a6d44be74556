// The display's colours follow the palette they are built from.
#include <gtest/gtest.h>

#include <cstring>

#include "interface/hudcolors.h"
#include "render/palette.h"

namespace {

// A small palette: 0 black, 1 white, 2 pure green, 3 pure blue, 4 pure red, 5 grey 0.6,
// 6 dark green, 7 dark yellow, 8 dark red, 9 half white; the rest a far-off magenta.
void SetPalette() {
    uint8_t rgb[768];
    for (int i = 0; i < 256; ++i) rgb[i * 3] = 255, rgb[i * 3 + 1] = 0, rgb[i * 3 + 2] = 255;
    const uint8_t set[10][3] = {{0, 0, 0},     {255, 255, 255}, {0, 255, 0}, {0, 0, 255},  {255, 0, 0},
                                {153, 153, 153}, {0, 153, 0},  {153, 153, 0}, {153, 0, 0}, {128, 128, 128}};
    std::memcpy(rgb, set, sizeof set);
    Palette_SetFloatColors(rgb);
}

TEST(HudColors, TakenFromTheCurrentPalette) {
    SetPalette();
    HudColors_Init();
    EXPECT_EQ(HudTextColors.white, 1);
    EXPECT_EQ(HudTextColors.green, 2);
    EXPECT_EQ(HudTextColors.blue, 3);
    EXPECT_EQ(HudTextColors.red, 4);
    EXPECT_EQ(HudTextColors.grey, 5);
    EXPECT_EQ(HudTextColors.zero, 0);
    // Bars by fraction, black below 0.
    const struct {
        float fraction;
        int colour;
    } bars[] = {{1.0f, 6}, {0.5f, 6}, {0.49f, 7}, {0.25f, 7}, {0.2f, 8}, {0.0f, 8}, {-0.1f, 0}};
    for (const auto& b : bars) EXPECT_EQ(HudColor_ForFraction(b.fraction), b.colour) << b.fraction;
    // Full shade keeps a colour; half shade turns white into the half white, and black stays.
    EXPECT_EQ(HudShadeTable[15][1], 1);
    EXPECT_EQ(HudShadeTable[7][1], 9);
    EXPECT_EQ(HudShadeTable[0][0], 0);
}

TEST(HudColors, RebuiltForANewPalette) {
    SetPalette();
    HudColors_Init();
    uint8_t rgb[768] = {};
    rgb[7 * 3] = rgb[7 * 3 + 1] = rgb[7 * 3 + 2] = 255;  // white moves to index 7
    Palette_SetFloatColors(rgb);
    HudColors_Init();
    EXPECT_EQ(HudTextColors.white, 7);
}

}  // namespace
