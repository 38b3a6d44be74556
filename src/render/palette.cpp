#include "render/palette.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/seams/shell.h"
#include "platform/clock.h"
#include "render/graphicdriver.h"

float FloatPalette[256][3];
uint8_t IdentityRow[256];
uint8_t RemapTable[256][256];
uint8_t LumaTable[256][256];
uint8_t TranslucencyTable[256][256];
uint8_t AlphaTable[256][256];
uint8_t GammaCurves[kGammaLevels][256];
uint8_t GamePalette[768];

namespace {

// The float nearest 1/255, multiplied in rather than dividing.
constexpr float kByteToFloat = 0.003921569f;
// The double nearest 1/255, for the curves.
constexpr double kByteToDouble = 0.00392156862745098;
// The exponent of each brightness level 1..10.
constexpr double kGammaExponents[kGammaLevels] = {0.8, 0.9, 1.0, 1.2, 1.4, 1.6, 1.8, 2.0, 2.2, 2.5};

constexpr int kClampDarkFirst = 32, kClampDarkLast = 143;      // repeat row 31
constexpr int kClampBrightFirst = 144, kClampBrightLast = 255;  // repeat row 0

int ResolveLevel(int level) {
    if (level < 1) return Palette_BrightnessLevel();
    if (level > kGammaLevels) return kDefaultGammaLevel;
    return level;
}

void ApplyCurve(uint8_t* entries, int stride, int first, int last, int level) {
    const uint8_t* curve = GammaCurves[ResolveLevel(level) - 1];
    first = std::clamp(first, 0, 256);
    last = std::clamp(last, 0, 256);
    for (int i = first; i < last; ++i)
        for (int c = 0; c < 3; ++c) entries[i * stride + c] = curve[entries[i * stride + c]];
}

GraphicDriver* Driver() { return &g_graphicDriver; }

void Apply(const uint8_t* palette) {
    GraphicDriver* driver = Driver();
    if (driver->ApplyPalette) driver->ApplyPalette(driver, palette);
}

void Present() {
    GraphicDriver* driver = Driver();
    if (driver->Present) driver->Present(driver);
}

void SleepUntil(uint32_t deadline) {
    for (;;) {
        int32_t left = static_cast<int32_t>(deadline - Plat_Milliseconds());
        if (left <= 0) return;
        Plat_Sleep(static_cast<uint32_t>(left));
    }
}

}  // namespace

// ---- Brightness ----------------------------------------------------------------------------

void Palette_BuildGammaCurves() {
    for (int level = 0; level < kGammaLevels; ++level) {
        double inverse = 1.0 / kGammaExponents[level];
        for (int i = 0; i < 255; ++i)
            GammaCurves[level][i] = static_cast<uint8_t>(std::trunc(std::pow(i * kByteToDouble, inverse) * 255.0));
        GammaCurves[level][255] = 255;
    }
}

int Palette_BrightnessLevel() {
    int level = Seam_Shell().playerDef()[kPlayerDefBrightness];
    return level >= 1 && level <= kGammaLevels ? level : kDefaultGammaLevel;
}

void Palette_ApplyGamma(uint8_t* rgb, int first, int last, int level) { ApplyCurve(rgb, 3, first, last, level); }

void Palette_ApplyGamma4(uint8_t* rgba, int first, int last, int level) { ApplyCurve(rgba, 4, first, last, level); }

// ---- Colour tables -------------------------------------------------------------------------

void Palette_SetFloatColors(const uint8_t* rgb) {
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c) FloatPalette[i][c] = rgb[i * 3 + c] * kByteToFloat;
}

void Palette_GetFloatColor(int index, float* r, float* g, float* b) {
    const float* colour = FloatPalette[index & 0xFF];
    *r = colour[0];
    *g = colour[1];
    *b = colour[2];
}

int Palette_FindNearest(float r, float g, float b) {
    double best = 1000000.0;
    int found = 0;
    for (int i = 0; i < 256; ++i) {
        double dr = static_cast<double>(FloatPalette[i][0]) - r;
        double dg = static_cast<double>(FloatPalette[i][1]) - g;
        double db = static_cast<double>(FloatPalette[i][2]) - b;
        double distance = dr * dr + dg * dg + db * db;
        if (distance < best) {
            best = distance;
            found = i;
        }
    }
    return found;
}

float Palette_FullColourLight() {
    int bestRow = 0, bestCount = -1;
    for (int row = 0; row < kLightLevels; ++row) {
        int count = 0;
        for (int c = 1; c < 255; ++c) count += LumaTable[row][c] == c;
        if (count > bestCount) bestRow = row, bestCount = count;
    }
    return 1.0f - static_cast<float>(bestRow) / static_cast<float>(kLightLevels - 1);
}

void Palette_FillClampRows(int column) {
    int first = column < 0 ? 0 : column & 0xFF;
    int last = column < 0 ? 255 : first;
    for (int c = first; c <= last; ++c) {
        for (int row = kClampDarkFirst; row <= kClampDarkLast; ++row) LumaTable[row][c] = LumaTable[kLightLevels - 1][c];
        for (int row = kClampBrightFirst; row <= kClampBrightLast; ++row) LumaTable[row][c] = LumaTable[0][c];
    }
}

void Palette_SetLightTable(const uint8_t* image) {
    if (image) std::memcpy(LumaTable, image, sizeof LumaTable);
    Palette_FillClampRows(-1);
}

void Palette_SetLightRamp(int a, int b, int column) {
    column &= 0xFF;
    for (int i = 0; i < kLightLevels; ++i) {
        int64_t value = (int64_t{a} * 65536 + 32768 + i * ((int64_t{b} - a) * 65536 / 32)) / 65536;
        LumaTable[i][column] = static_cast<uint8_t>(value);
    }
    Palette_FillClampRows(column);
}

void Palette_BuildLightColumn(GraphicDriver* driver, int column, float fogR, float fogG, float fogB, float fraction) {
    column &= 0xFF;
    double colour[3];
    for (int c = 0; c < 3; ++c) colour[c] = driver->palette[column * 3 + c] * kByteToFloat;
    double current[3] = {fogR, fogG, fogB};
    // The part of the 32 rows that runs from the fog up to the colour.
    double span = std::clamp(static_cast<double>(fraction), 0.0, 1.0) * 31.0;
    int steps = static_cast<int>(std::trunc(span));
    int row = kLightLevels - 1;
    if (steps > 0) {
        double step[3];
        for (int c = 0; c < 3; ++c) step[c] = (colour[c] - current[c]) / span;
        for (int k = 0; k < steps; ++k, --row) {
            LumaTable[row][column] = static_cast<uint8_t>(Palette_FindNearest(
                static_cast<float>(current[0]), static_cast<float>(current[1]), static_cast<float>(current[2])));
            for (int c = 0; c < 3; ++c) current[c] += step[c];
        }
    }
    // The rest runs on towards white.
    double step[3];
    for (int c = 0; c < 3; ++c) step[c] = (1.0 - current[c]) / (42.0 - span);
    for (; row >= 0; --row) {
        LumaTable[row][column] = static_cast<uint8_t>(Palette_FindNearest(
            static_cast<float>(current[0]), static_cast<float>(current[1]), static_cast<float>(current[2])));
        for (int c = 0; c < 3; ++c) current[c] += step[c];
    }
}

void Palette_Load(GraphicDriver* driver, const uint8_t* lumaImage) {
    Palette_SetFloatColors(driver->palette);
    if (lumaImage) {
        std::memcpy(LumaTable, lumaImage, sizeof LumaTable);
    } else {
        for (int column = 0; column < 256; ++column)
            Palette_BuildLightColumn(driver, column, 0.01f, 0.01f, 0.01f, 0.8f);
    }
    Palette_FillClampRows(-1);
}

void Palette_ResetTables() {
    for (int i = 0; i < 256; ++i) {
        IdentityRow[i] = static_cast<uint8_t>(i);
        std::memset(RemapTable[i], i, 256);
    }
}

void Palette_ClearRemap(int colour) {
    if (colour < 0 || colour > 255) return;
    for (int i = 0; i < 256; ++i) {
        RemapTable[colour][i] = static_cast<uint8_t>(i);
        TranslucencyTable[colour][i] = static_cast<uint8_t>(i);
    }
    for (int row = 0; row < 255; ++row) TranslucencyTable[row][colour] = static_cast<uint8_t>(row);
}

void Palette_SetRemapSolid(int row, int colour) {
    if (row < 0 || row > 255) return;
    std::memset(RemapTable[row], static_cast<uint8_t>(colour), 256);
}

void Palette_BuildBlendInto(uint8_t (*table)[256], GraphicDriver* driver, float opacity) {
    Palette_SetFloatColors(driver->palette);
    double x = opacity > 0.0f ? std::min(static_cast<double>(opacity), 1.0) : 0.0;  // NaN gives 0
    for (int p = 0; p < 256; ++p) {
        for (int q = 0; q < 256; ++q) {
            float mixed[3];
            for (int c = 0; c < 3; ++c)
                mixed[c] = static_cast<float>(FloatPalette[q][c] * x + FloatPalette[p][c] * (1.0 - x));
            table[p][q] = static_cast<uint8_t>(Palette_FindNearest(mixed[0], mixed[1], mixed[2]));
        }
    }
}

void Palette_BuildBlendTable(GraphicDriver* driver, float opacity) {
    Palette_ResetTables();
    Palette_BuildBlendInto(TranslucencyTable, driver, opacity);
}

void Palette_InstallWorld(const uint8_t* rgb, const uint8_t* luma) {
    if (!rgb) return;
    GraphicDriver& driver = g_graphicDriver;
    std::memcpy(GamePalette, rgb, sizeof GamePalette);
    GamePalette[0] = GamePalette[1] = GamePalette[2] = 0;
    std::memcpy(driver.palette, GamePalette, sizeof driver.palette);
    Palette_SetFloatColors(GamePalette);
    Palette_Load(&driver, luma);
}

// ---- The display ---------------------------------------------------------------------------

void Graphic_SetPalette(int first, int last) {
    uint8_t shown[768];
    std::memcpy(shown, g_graphicDriver.palette, sizeof shown);
    Palette_ApplyGamma(shown, first, last, 0);
    Apply(shown);
}

void Palette_SetBlack() {
    static const uint8_t black[768] = {};
    Apply(black);
}

void Graphic_BlankScreen() {
    Graphic_Clear(&g_graphicDriver.screen, 0);
    Palette_SetBlack();
    Present();
}

void Palette_Fade(bool fadeOut, float stepSeconds, int steps, int r, int g, int b) {
    GraphicDriver* driver = Driver();
    if (driver->driverKind == kDriverHardware) {
        // The hardware display has no palette to fade: it only goes dark.
        Graphic_Clear(&driver->screen, 0);
        Present();
        return;
    }
    // A step longer than an hour is taken as an hour: a bad argument must not hang the game.
    double ms = std::isfinite(stepSeconds) && stepSeconds > 0.0f ? stepSeconds * 1000.0 : 0.0;
    // Rounded to the nearest millisecond: 0.01 s as a float is a hair under 10 ms.
    uint32_t stepMs = static_cast<uint32_t>(std::lround(std::min(ms, 3600000.0)));
    const int target[3] = {r, g, b};
    uint8_t base[768];
    std::memcpy(base, driver->palette, sizeof base);
    for (int k = 0; k < steps; ++k) {
        uint32_t deadline = Plat_Milliseconds() + stepMs;
        double t = fadeOut ? static_cast<double>(k) / steps : 1.0 - static_cast<double>(k) / steps;
        uint8_t shown[768];
        for (int i = 0; i < 768; ++i) {
            int from = base[i];
            int value = from + static_cast<int>(std::trunc((target[i % 3] - from) * t));
            shown[i] = static_cast<uint8_t>(std::clamp(value, 0, 255));
        }
        Palette_ApplyGamma(shown, 0, 256, 0);
        Apply(shown);
        Present();
        SleepUntil(deadline);
    }
    if (fadeOut) Palette_SetBlack();
    else Graphic_SetPalette(0, 256);
}

void Palette_FadeOut(float stepSeconds, int steps, int r, int g, int b) { Palette_Fade(true, stepSeconds, steps, r, g, b); }

void Palette_FadeIn(float stepSeconds, int steps, int r, int g, int b) { Palette_Fade(false, stepSeconds, steps, r, g, b); }
