#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "core/seams/shell.h"
#include "platform/clock.h"
#include "render/graphicdriver.h"
#include "render/d3ddevice.h"
#include "render/palette.h"

namespace {

// A grey ramp: entry i is (i, i, i).
void GreyRamp(uint8_t* palette) {
    for (int i = 0; i < 256; ++i) palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<uint8_t>(i);
}

class PaletteTest : public ::testing::Test {
protected:
    void SetUp() override {
        Palette_BuildGammaCurves();
        savedBrightness = Seam_Shell().playerDef()[kPlayerDefBrightness];
        Seam_Shell().playerDef()[kPlayerDefBrightness] = 0;
    }
    void TearDown() override { Seam_Shell().playerDef()[kPlayerDefBrightness] = savedBrightness; }
    GraphicDriver driver;
    uint8_t savedBrightness = 0;
};

TEST_F(PaletteTest, GammaCurvesAtTheirEndsAndMiddles) {
    EXPECT_EQ(GammaCurves[2][32], 32);
    EXPECT_EQ(GammaCurves[2][33], 32);
    EXPECT_EQ(GammaCurves[0][128], 107);
    EXPECT_EQ(GammaCurves[9][128], 193);  // the darkest-looking monitor gets the strongest lift
    for (int level = 0; level < kGammaLevels; ++level) {
        EXPECT_EQ(GammaCurves[level][0], 0) << level;
        EXPECT_EQ(GammaCurves[level][255], 255) << level;
    }
    // Level 3 is the identity but for the entries that round one lower.
    const std::set<int> lower = {33, 37, 41, 45, 49, 53, 57, 61, 66, 74, 82, 90,
                                 98, 106, 114, 122, 132, 148, 164, 180, 196, 212, 228, 244};
    for (int i = 0; i < 256; ++i) EXPECT_EQ(GammaCurves[2][i], lower.count(i) ? i - 1 : i) << i;
    // Every curve rises.
    for (int level = 0; level < kGammaLevels; ++level)
        for (int i = 1; i < 256; ++i) EXPECT_GE(GammaCurves[level][i], GammaCurves[level][i - 1]);
}

TEST_F(PaletteTest, ApplyGammaLevelsAndRange) {
    uint8_t rgb[12] = {128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128};
    Palette_ApplyGamma(rgb, 1, 3, 1);  // triples 1 and 2 only
    EXPECT_EQ(rgb[0], 128);
    EXPECT_EQ(rgb[3], 107);
    EXPECT_EQ(rgb[8], 107);
    EXPECT_EQ(rgb[9], 128);

    struct Case {
        int option, level, want;  // for the value 128
    };
    const Case cases[] = {
        {1, 0, 107},    // below 1: the option's level
        {1, 11, 128},   // above 10: level 3
        {0, 0, 128},    // an option outside 1..10 means 3
        {42, -3, 128},
        {10, 2, GammaCurves[1][128]},
    };
    for (const Case& c : cases) {
        Seam_Shell().playerDef()[kPlayerDefBrightness] = static_cast<uint8_t>(c.option);
        uint8_t v[3] = {128, 128, 128};
        Palette_ApplyGamma(v, 0, 1, c.level);
        EXPECT_EQ(v[0], c.want) << c.option << "/" << c.level;
    }
    uint8_t rgba[8] = {128, 128, 128, 0x77, 33, 33, 33, 0x55};
    Palette_ApplyGamma4(rgba, 0, 2, 1);
    EXPECT_EQ(rgba[0], 107);
    EXPECT_EQ(rgba[3], 0x77);
    EXPECT_EQ(rgba[7], 0x55);
}

TEST_F(PaletteTest, FindNearestTiesGoToTheLowerIndex) {
    uint8_t palette[768];
    std::memset(palette, 255, sizeof palette);
    // Entries 4 and 9 are equally far from black, by symmetry.
    palette[4 * 3 + 0] = 100, palette[4 * 3 + 1] = 0, palette[4 * 3 + 2] = 0;
    palette[9 * 3 + 0] = 0, palette[9 * 3 + 1] = 100, palette[9 * 3 + 2] = 0;
    Palette_SetFloatColors(palette);
    EXPECT_EQ(Palette_FindNearest(0.0f, 0.0f, 0.0f), 4);
    std::swap(palette[4 * 3], palette[9 * 3]);
    std::swap(palette[4 * 3 + 1], palette[9 * 3 + 1]);
    Palette_SetFloatColors(palette);
    EXPECT_EQ(Palette_FindNearest(0.0f, 0.0f, 0.0f), 4);
    // Duplicates: the first one.
    EXPECT_EQ(Palette_FindNearest(1.0f, 1.0f, 1.0f), 0);
    EXPECT_EQ(Palette_FindNearest(0.4f, 0.0f, 0.0f), 9);

    GreyRamp(palette);
    Palette_SetFloatColors(palette);
    EXPECT_EQ(Palette_FindNearest(0.2f, 0.2f, 0.2f), 51);
    EXPECT_EQ(Palette_FindNearest(0.21f, 0.2f, 0.22f), 54);
    EXPECT_EQ(Palette_FindNearest(2.0f, 2.0f, 2.0f), 255);
    float r, g, b;
    Palette_GetFloatColor(51, &r, &g, &b);
    EXPECT_FLOAT_EQ(r, 0.2f);
}

TEST_F(PaletteTest, BuiltLuminanceTable) {
    GreyRamp(driver.palette);
    Palette_Load(&driver, nullptr);
    const int fog = Palette_FindNearest(0.01f, 0.01f, 0.01f);
    EXPECT_EQ(fog, 3);
    for (int c = 0; c < 256; ++c) {
        EXPECT_EQ(LumaTable[31][c], fog) << c;
        // Dark to bright, for every colour at least as bright as the fog.
        for (int row = 31; c >= fog && row > 0; --row) EXPECT_LE(LumaTable[row][c], LumaTable[row - 1][c]) << c << "/" << row;
        // Light levels past the table clamp: above 31 to the darkest, negative to the brightest.
        EXPECT_EQ(LumaTable[40][c], LumaTable[31][c]);
        EXPECT_EQ(LumaTable[static_cast<uint8_t>(-5)][c], LumaTable[0][c]);
        EXPECT_EQ(LumaTable[143][c], LumaTable[31][c]);
        EXPECT_EQ(LumaTable[144][c], LumaTable[0][c]);
    }
    // Rows 31..8 run from the fog up to nearly the colour, rows 7..0 on towards white.
    EXPECT_EQ(LumaTable[8][200], 186);
    EXPECT_EQ(LumaTable[7][200], 194);
    EXPECT_EQ(LumaTable[0][200], 219);
    EXPECT_EQ(LumaTable[0][255], 250);
    EXPECT_EQ(LumaTable[0][0], 104);  // black too is lifted towards white

    // A given table is taken as it is, then clamped.
    std::vector<uint8_t> image(65536, 0);
    for (int row = 0; row < 32; ++row) std::memset(&image[row * 256], row, 256);
    Palette_Load(&driver, image.data());
    EXPECT_EQ(LumaTable[17][99], 17);
    EXPECT_EQ(LumaTable[100][99], 31);
    EXPECT_EQ(LumaTable[250][99], 0);
}

TEST_F(PaletteTest, LightRampsAndLightTable) {
    Palette_SetLightRamp(10, 42, 7);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(LumaTable[i][7], 10 + i);
    EXPECT_EQ(LumaTable[100][7], 41);
    EXPECT_EQ(LumaTable[200][7], 10);
    Palette_SetLightRamp(42, 10, 8);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(LumaTable[i][8], 42 - i);

    std::vector<uint8_t> image(65536, 0);
    for (int c = 0; c < 256; ++c) image[31 * 256 + c] = 0xEE, image[c] = 0x11;
    Palette_SetLightTable(image.data());
    EXPECT_EQ(LumaTable[32][5], 0xEE);
    EXPECT_EQ(LumaTable[255][5], 0x11);
}

TEST_F(PaletteTest, BlendTableOnASmallPalette) {
    // 0 black, 1 white, 2 mid grey, 3 red; the rest blue, far from every blend checked.
    for (int i = 0; i < 256; ++i) driver.palette[i * 3] = 0, driver.palette[i * 3 + 1] = 0, driver.palette[i * 3 + 2] = 255;
    const uint8_t colours[4][3] = {{0, 0, 0}, {255, 255, 255}, {128, 128, 128}, {255, 0, 0}};
    for (int i = 0; i < 4; ++i) std::memcpy(&driver.palette[i * 3], colours[i], 3);

    Palette_BuildBlendTable(&driver, 0.5f);
    const uint8_t half[4][4] = {
        {0, 2, 0, 0},  // black with grey at a quarter grey: black is nearer
        {2, 1, 2, 2},
        {0, 2, 2, 2},
        {0, 2, 2, 3},
    };
    for (int p = 0; p < 4; ++p)
        for (int q = 0; q < 4; ++q) EXPECT_EQ(TranslucencyTable[p][q], half[p][q]) << p << "," << q;
    // The tables were reset on the way.
    EXPECT_EQ(RemapTable[9][200], 9);
    EXPECT_EQ(IdentityRow[77], 77);

    // Opacity is clamped: 0 keeps the first colour, 1 takes the second.
    for (float opacity : {-1.0f, 0.0f}) {
        Palette_BuildBlendTable(&driver, opacity);
        for (int p = 0; p < 4; ++p)
            for (int q = 0; q < 4; ++q) EXPECT_EQ(TranslucencyTable[p][q], p);
    }
    for (float opacity : {1.0f, 2.0f}) {
        Palette_BuildBlendTable(&driver, opacity);
        for (int p = 0; p < 4; ++p)
            for (int q = 0; q < 4; ++q) EXPECT_EQ(TranslucencyTable[p][q], q);
    }
}

TEST_F(PaletteTest, RemapRowsAndSeeThroughColours) {
    Palette_ResetTables();
    EXPECT_EQ(RemapTable[9][0], 9);
    EXPECT_EQ(RemapTable[9][255], 9);
    Palette_SetRemapSolid(9, 44);
    EXPECT_EQ(RemapTable[9][123], 44);

    for (int p = 0; p < 256; ++p) std::memset(TranslucencyTable[p], 0xCD, 256);
    Palette_ClearRemap(9);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(RemapTable[9][i], i);
        EXPECT_EQ(TranslucencyTable[9][i], i);
    }
    for (int row = 0; row < 255; ++row) EXPECT_EQ(TranslucencyTable[row][9], row == 9 ? 9 : row);
    EXPECT_EQ(TranslucencyTable[255][9], 0xCD);  // entry (255, c) stays
    EXPECT_EQ(TranslucencyTable[10][8], 0xCD);
    Palette_ClearRemap(300);                     // out of range: nothing
    Palette_ClearRemap(-1);
}

// ---- The display: palettes handed to the driver, fades on the virtual clock -----------------

struct Recorder {
    std::vector<std::vector<uint8_t>> applied;
    int presents = 0;
    int clears = 0;
    uint32_t clearColour = 0;
    uint32_t presentCostMs = 0;  // the clock moves this far at every present
};
Recorder* g_recorder = nullptr;

int RecordApply(GraphicDriver*, const uint8_t* palette) {
    g_recorder->applied.emplace_back(palette, palette + 768);
    return 1;
}
int RecordPresent(GraphicDriver*) {
    ++g_recorder->presents;
    Plat_AdvanceVirtualClock(g_recorder->presentCostMs);
    return 1;
}
int RecordClear(GraphicDriver*, uint32_t colour) {
    ++g_recorder->clears;
    g_recorder->clearColour = colour;
    return 1;
}

class DisplayPaletteTest : public PaletteTest {
protected:
    void SetUp() override {
        PaletteTest::SetUp();
        Graphic_ClearRecord(&g_graphicDriver);
        Graphic_ApplyTemplate(&g_graphicDriver, kSoftwareDriverTemplate);
        g_graphicDriver.ApplyPalette = RecordApply;
        g_graphicDriver.Present = RecordPresent;
        g_graphicDriver.Clear = RecordClear;
        Graphic_CreateScreenBuffer(&g_graphicDriver, 4, 4);
        for (int i = 0; i < 768; ++i) g_graphicDriver.palette[i] = 200;
        g_graphicDriver.palette[5 * 3] = 33;
        g_recorder = &recorder;
        Plat_UseVirtualClock(5000);
    }
    void TearDown() override {
        Plat_UseRealClock();
        g_recorder = nullptr;
        Graphic_ClearRecord(&g_graphicDriver);
        PaletteTest::TearDown();
    }
    Recorder recorder;
};

TEST_F(DisplayPaletteTest, SetPaletteAppliesTheCurveToACopy) {
    Seam_Shell().playerDef()[kPlayerDefBrightness] = 1;
    g_graphicDriver.palette[6 * 3] = 128;
    Graphic_SetPalette(6, 7);
    ASSERT_EQ(recorder.applied.size(), 1u);
    EXPECT_EQ(recorder.applied[0][6 * 3], 107);
    EXPECT_EQ(recorder.applied[0][5 * 3], 33);  // outside the range
    EXPECT_EQ(g_graphicDriver.palette[6 * 3], 128);  // the record keeps its palette
}

TEST_F(DisplayPaletteTest, BlankScreenClearsShowsBlackAndPresents) {
    Graphic_BlankScreen();
    EXPECT_EQ(recorder.clears, 1);
    EXPECT_EQ(recorder.clearColour, 0u);
    ASSERT_EQ(recorder.applied.size(), 1u);
    EXPECT_EQ(recorder.applied[0], std::vector<uint8_t>(768, 0));
    EXPECT_EQ(recorder.presents, 1);
}

TEST_F(DisplayPaletteTest, FadeOutStepsTowardsTheTargetAndSleepsBetweenSteps) {
    Palette_FadeOut(0.05f, 4, 0, 0, 0);
    ASSERT_EQ(recorder.applied.size(), 5u);
    const int want[4] = {200, 150, 100, 50};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(recorder.applied[k][0], want[k]) << k;
    EXPECT_EQ(recorder.applied[1][5 * 3], 25);  // 33 + trunc(-8.25)
    EXPECT_EQ(recorder.applied[4], std::vector<uint8_t>(768, 0));
    EXPECT_EQ(recorder.presents, 4);
    EXPECT_EQ(Plat_VirtualSleepTotal(), 200u);
    EXPECT_EQ(Plat_Milliseconds(), 5200u);
}

TEST_F(DisplayPaletteTest, FadeInEndsOnThePaletteAndSleepsOnlyWhatIsLeftOfEachStep) {
    recorder.presentCostMs = 30;
    Palette_FadeIn(0.05f, 4, 255, 255, 255);
    ASSERT_EQ(recorder.applied.size(), 5u);
    const int want[4] = {255, 241, 227, 213};  // 200 + trunc(55 t), t = 1, 0.75, 0.5, 0.25
    for (int k = 0; k < 4; ++k) EXPECT_EQ(recorder.applied[k][0], want[k]) << k;
    EXPECT_EQ(recorder.applied[4][0], 200);
    EXPECT_EQ(recorder.applied[4][5 * 3], 32);  // the curve over the palette
    EXPECT_EQ(Plat_VirtualSleepTotal(), 4u * 20u);
    EXPECT_EQ(Plat_Milliseconds(), 5200u);
}

TEST_F(DisplayPaletteTest, FadeEdgeCases) {
    // No steps: only the final palette.
    Palette_FadeOut(0.5f, 0, 0, 0, 0);
    ASSERT_EQ(recorder.applied.size(), 1u);
    EXPECT_EQ(recorder.applied[0], std::vector<uint8_t>(768, 0));
    EXPECT_EQ(Plat_VirtualSleepTotal(), 0u);
    // A bad step length does not wait.
    Palette_FadeIn(-3.0f, 2, 0, 0, 0);
    Palette_FadeIn(NAN, 2, 0, 0, 0);
    EXPECT_EQ(Plat_VirtualSleepTotal(), 0u);
    // The hardware driver only clears to index 0 (as an opaque 32-bit colour) and presents: no
    // palette, no wait.
    recorder = Recorder{};
    g_graphicDriver.driverKind = kDriverHardware;
    GraphicD3DFlags = 1;
    const uint32_t savedColour = PaletteColors32[0];
    PaletteColors32[0] = 0xFFC8C8C8u;  // index 0 as the device shows it
    Palette_FadeOut(0.5f, 10, 0, 0, 0);
    PaletteColors32[0] = savedColour;
    GraphicD3DFlags = 0;
    EXPECT_TRUE(recorder.applied.empty());
    EXPECT_EQ(recorder.clears, 1);
    EXPECT_EQ(recorder.clearColour, 0xFFC8C8C8u);
    EXPECT_EQ(recorder.presents, 1);
    EXPECT_EQ(Plat_VirtualSleepTotal(), 0u);
}

}  // namespace
