#include "interface/hudcolors.h"

#include "render/palette.h"

HudColorSet HudColors{};
HudTextColorSet HudTextColors{};
uint8_t HudShadeTable[16][256] = {};

void HudColors_Init() {
    auto near = [](float r, float g, float b) { return Palette_FindNearest(r, g, b); };
    HudColors.black = 0;
    HudColors.grey3 = near(0.3f, 0.3f, 0.3f);
    HudColors.grey6 = near(0.6f, 0.6f, 0.6f);
    HudColors.white = near(1, 1, 1);
    HudColors.blue = near(0, 0, 1);
    HudColors.darkBlue = near(0, 0, 0.6f);
    HudColors.green = near(0, 1, 0);
    HudColors.darkGreen = near(0, 0.6f, 0);
    HudColors.yellow = near(1, 1, 0);
    HudColors.darkYellow = near(0.6f, 0.6f, 0);
    HudColors.red = near(1, 0, 0);
    HudColors.darkRed = near(0.6f, 0, 0);
    HudColors.cyan = near(0, 1, 1);
    HudColors.darkCyan = near(0, 0.6f, 0.6f);
    HudTextColors = {HudColors.white, HudColors.green, HudColors.blue, HudColors.red, HudColors.grey6, 0};
    for (int n = 0; n < 16; ++n) {
        const float scale = float(n + 1) / 16.0f;
        for (int c = 0; c < 256; ++c) {
            float r = 0, g = 0, b = 0;
            Palette_GetFloatColor(c, &r, &g, &b);
            HudShadeTable[n][c] = static_cast<uint8_t>(near(r * scale, g * scale, b * scale));
        }
    }
}

int HudColor_ForFraction(float fraction) {
    if (fraction >= 0.5f) return HudColors.darkGreen;
    if (fraction >= 0.25f) return HudColors.darkYellow;
    if (fraction >= 0.0f) return HudColors.darkRed;
    return HudColors.black;
}
