// The display's palette colours: named colours and a shade table, taken from the mission palette
// (rebuilt at each world start, once the map's palette is set), and the text colours the
// counters, the markers and the command menu use.
#pragma once
#include <cstdint>

struct HudColorSet {
    int black, grey3, grey6, white, blue, darkBlue, green, darkGreen, yellow, darkYellow, red, darkRed, cyan,
        darkCyan;
};

// White, green, blue, red, grey 0.6 and colour index 0.
struct HudTextColorSet {
    int white, green, blue, red, grey, zero;
};

extern HudColorSet HudColors;
extern HudTextColorSet HudTextColors;
// [n][c]: the palette index nearest to palette colour c scaled by (n + 1) / 16.
extern uint8_t HudShadeTable[16][256];

void HudColors_Init();
// Health and ammunition bars: dark green from 0.5, dark yellow from 0.25, dark red from 0, black
// below 0.
int HudColor_ForFraction(float fraction);
