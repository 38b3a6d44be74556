// The screen tint and the mission timer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/fieldarchive.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "fun3d/craftservices.h"
#include "interface/gamekeys.h"
#include "interface/hudbasic.h"
#include "render/graphicbuffer.h"
#include "render/palette.h"
#include "render/sprite.h"
#include "sprite_writer.h"
#include "support/field_stream.h"

namespace {

float g_dt = 0.1f;
bool g_hardware = false;
std::vector<uint32_t> g_fills;
std::vector<std::vector<uint8_t>> g_shown;
uint8_t g_palette[768];

class HudBasicTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_dt = 0.1f;
        g_hardware = false;
        g_fills.clear();
        g_shown.clear();
        for (int i = 0; i < 768; ++i) g_palette[i] = static_cast<uint8_t>(i / 3);
        ScreenTintServices& s = ScreenTint_Services();
        s.hardware = [] { return g_hardware; };
        s.frameTime = [] { return g_dt; };
        s.fillHardware = [](uint32_t argb, int, int, int, int) { g_fills.push_back(argb); };
        s.palette = []() -> const uint8_t* { return g_palette; };
        s.showPalette = [](uint8_t* rgb) { g_shown.emplace_back(rgb, rgb + 768); };
        Graphic_InitBuffer(&buffer_, 8, 8, nullptr, kGraphicFormat8);
        Hud_Context().buffer = &buffer_;
        ScreenTint_Instance().Start();
        ScreenTint_Instance().Reset();
    }
    void TearDown() override {
        Hud_Context().buffer = nullptr;
        Graphic_FreeBuffer(&buffer_);
    }
    GraphicBuffer buffer_{};
};

TEST_F(HudBasicTest, TintFadesByRateUntilItIsGone) {
    ScreenTint& tint = ScreenTint_Instance();
    ScreenTint_Flash(0.5f, 5.0f, 255, 64, 0);
    tint.Draw();
    EXPECT_EQ(tint.lastTint, 112);
    float expected = 0.5f * (1 - 5 * g_dt);
    int frames = 1;
    while (tint.level > 0) {
        EXPECT_NEAR(tint.level, expected, 1e-6f);
        tint.Draw();
        expected *= (1 - 5 * g_dt);
        ++frames;
        ASSERT_LT(frames, 100);
    }
    EXPECT_LT(expected, 0.01f);
    EXPECT_GE(expected / (1 - 5 * g_dt), 0.01f);  // it went on exactly until under 0.01
}

TEST_F(HudBasicTest, WhiteFlashLastsOneFrame) {
    ScreenTint& tint = ScreenTint_Instance();
    tint.AddLevel(2.0f);
    tint.Draw();
    EXPECT_EQ(tint.lastWhite, 224);
    tint.Draw();
    EXPECT_EQ(tint.lastWhite, 0);
}

TEST_F(HudBasicTest, HardwareAlphaAndColour) {
    EXPECT_EQ(ScreenTint_Alpha(224, 224), 252);
    EXPECT_EQ(ScreenTint_Alpha(0, 0), 0);
    g_hardware = true;
    ScreenTint& tint = ScreenTint_Instance();
    tint.Draw();
    EXPECT_TRUE(g_fills.empty());  // nothing to draw
    ScreenTint_Flash(2.0f, 5.0f, 255, 0, 0);
    tint.AddLevel(2.0f);
    tint.Draw();
    ASSERT_EQ(g_fills.size(), 1u);
    // red (224 x 255 + 224 x 31) / 252, green and blue 224 x 31 / 252
    EXPECT_EQ(g_fills[0], (252u << 24) | (254u << 16) | (27u << 8) | 27u);
    EXPECT_TRUE(g_shown.empty());
}

TEST_F(HudBasicTest, SoftwarePaletteIsRewrittenEveryFrame) {
    ScreenTint& tint = ScreenTint_Instance();
    tint.Draw();
    ASSERT_EQ(g_shown.size(), 1u);
    EXPECT_EQ(0, std::memcmp(g_shown[0].data(), g_palette, 768));  // no tint: the plain palette
    // Entry 100 is (100, 100, 100): white 224 gives 100 + 155 x 224 / 256 = 235; then a tint of
    // 224 towards (0, 255, 0) gives 235 - 235 x 224 / 256 = 30 and 235 + 20 x 224 / 256 = 252.
    ScreenTint_Flash(2.0f, 5.0f, 0, 255, 0);
    tint.AddLevel(2.0f);
    tint.Draw();
    ASSERT_EQ(g_shown.size(), 2u);
    EXPECT_EQ(g_shown[1][300], 30);
    EXPECT_EQ(g_shown[1][301], 252);
    EXPECT_EQ(g_shown[1][302], 30);
}

TEST_F(HudBasicTest, OtherSubsystemsReachTheTint) {
    ScreenTint& tint = ScreenTint_Instance();
    Hud_InstallSeam();
    // A hit on the user's craft: red-orange, fading at rate 5.
    Craft_Services().viewShake(0.3f);
    EXPECT_FLOAT_EQ(tint.level, 0.3f);
    EXPECT_EQ(tint.rate, 5.0f);
    EXPECT_EQ(std::vector<int>(tint.colour, tint.colour + 3), (std::vector<int>{255, 64, 0}));
    Seam_Cockpit().screenTintAddLevel(0.25f);
    Seam_Cockpit().screenTintFlash(0.2f, 1.0f, 255, 255, 255);
    tint.Draw();
    EXPECT_EQ(tint.lastWhite, 56);
    EXPECT_EQ(tint.lastTint, 112);
}

TEST_F(HudBasicTest, TimerCountsDownAndStopsAtZero) {
    MissionTimer& timer = MissionTimer_Instance();
    timer.Init();
    MissionTimer_Start(1, INT32_MIN, INT32_MIN);
    std::vector<int> seconds;
    for (int frame = 0; frame < 6; ++frame) {
        timer.Update(0.3f);
        seconds.push_back(timer.timer);
    }
    EXPECT_EQ(seconds, (std::vector<int>{1, 1, 1, 0, 0, 0}));
    EXPECT_EQ(timer.active, 0);
}

TEST_F(HudBasicTest, TimerDigitsAndColours) {
    MissionTimer& timer = MissionTimer_Instance();
    timer.Init();
    struct {
        int seconds;
        int digits[4];
    } digitCases[] = {{3600, {0, 0, 0, 0}}, {0, {0, 0, 0, 0}}, {-5, {0, 0, 0, 0}}, {754, {1, 2, 3, 4}}, {3599, {5, 9, 5, 9}}};
    for (const auto& c : digitCases) {
        timer.timer = c.seconds;
        int d[4];
        timer.Digits(d);
        EXPECT_EQ(std::vector<int>(d, d + 4), std::vector<int>(c.digits, c.digits + 4)) << c.seconds;
    }
    // Counting down with warn 30 and alert 10; counting up with warn 10 and alert 30.
    struct {
        uint8_t countdown;
        int seconds, set;
    } colourCases[] = {{1, 31, 0}, {1, 30, 1}, {1, 11, 1}, {1, 10, 2},
                       {0, 9, 0},  {0, 10, 1}, {0, 29, 1}, {0, 30, 2}};
    for (const auto& c : colourCases) {
        timer.countdown = c.countdown;
        timer.warn = c.countdown ? 30 : 10;
        timer.alert = c.countdown ? 10 : 30;
        timer.timer = c.seconds;
        EXPECT_EQ(timer.ColourSet(), c.set) << int(c.countdown) << " " << c.seconds;
    }
}

// A small sprite table for the timer: digits of 3 x 4 in colours 100 + digit, a colon of 1 x 2
// in colour 120 and a label of 4 x 2 in colour 121.
std::string g_spriteTable, g_spritePage;
const uint8_t* UseSpriteFile(const char* name, size_t* size) {
    const std::string& file = std::string(name) == "sprite8.stb" ? g_spriteTable : g_spritePage;
    *size = file.size();
    return reinterpret_cast<const uint8_t*>(file.data());
}

TEST_F(HudBasicTest, TimerDigitLayoutOnAWideScreen) {
    constexpr int kPageW = 40;
    std::vector<uint8_t> page(kPageW * 4, 255);
    std::vector<content::SpriteRecordSpec> records;
    for (int d = 0; d < 10; ++d)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 3; ++x) page[y * kPageW + d * 3 + x] = static_cast<uint8_t>(100 + d);
    page[30] = page[kPageW + 30] = 120;
    for (int y = 0; y < 2; ++y)
        for (int x = 32; x < 36; ++x) page[y * kPageW + x] = 121;
    for (const char* set : {"bignum_G", "bignum_Y", "bignum_R"}) {
        for (int d = 0; d < 10; ++d) records.push_back({std::string(set) + "." + std::to_string(d), "tp", d * 3, 0, 3, 4, 0});
        records.push_back({std::string(set) + ".10", "tp", 30, 0, 1, 2, 0});
    }
    records.push_back({"Mission Time", "tp", 32, 0, 4, 2, 0});
    g_spriteTable = content::SpriteTableBytes(records);
    g_spritePage = content::SpritePageBytes(kPageW, 4, page);
    const SpriteFiles files{UseSpriteFile, [](const char*) {}};
    Sprite_SetFiles(&files);
    ASSERT_EQ(Sprite_LoadTable(), 1);
    // The digits are drawn through the alpha table: let it keep the source over black.
    uint8_t savedAlpha[22];
    for (int c = 0; c < 22; ++c) savedAlpha[c] = AlphaTable[100 + c][0], AlphaTable[100 + c][0] = static_cast<uint8_t>(100 + c);

    GraphicBuffer screen{};
    Graphic_InitBuffer(&screen, 640, 32, nullptr, kGraphicFormat8);
    std::memset(screen.pixels, 7, 640 * 32);
    Hud_Context().buffer = &screen;
    MissionTimer& timer = MissionTimer_Instance();
    timer.Init();
    MissionTimer_Start(754, INT32_MIN, INT32_MIN);  // 12:34, green
    timer.Draw();

    // x = (640 - 1 - 4 x 3 - 9) / 2 = 309: the black box (307, 8)..(333, 26), the label at
    // ((640 - 4) / 2, 10), the digits at y 20: 309, 314, the colons at 319 centred on 21 and 23,
    // then 323 and 328.
    std::vector<uint8_t> expected(640 * 32, 7);
    auto fill = [&](int l, int t, int r, int b, uint8_t c) {
        for (int y = t; y <= b; ++y)
            for (int x = l; x <= r; ++x) expected[y * 640 + x] = c;
    };
    fill(307, 8, 333, 26, 0);
    fill(318, 10, 321, 11, 121);
    fill(309, 20, 311, 23, 101);
    fill(314, 20, 316, 23, 102);
    fill(319, 20, 319, 21, 120);
    fill(319, 22, 319, 23, 120);
    fill(323, 20, 325, 23, 103);
    fill(328, 20, 330, 23, 104);
    EXPECT_EQ(std::vector<uint8_t>(screen.pixels, screen.pixels + 640 * 32), expected);

    Hud_Context().buffer = nullptr;
    Graphic_FreeBuffer(&screen);
    for (int c = 0; c < 22; ++c) AlphaTable[100 + c][0] = savedAlpha[c];
    Sprite_SetFiles(nullptr);
}

TEST_F(HudBasicTest, TimerIsListedOnceAndAgainAfterALoad) {
    MissionTimer& timer = MissionTimer_Instance();
    timer.Init();
    MissionTimer_Show();
    MissionTimer_Show();
    for (int layer : {0, 1, 2, 3, 7}) EXPECT_EQ(HudElement_CountInDraw(&timer, layer), 1) << layer;
    for (int layer : {4, 5, 6, 8}) EXPECT_EQ(HudElement_CountInDraw(&timer, layer), 0) << layer;
    // A teardown that never ran: the next mission's init takes it out before it is shown again.
    timer.Init();
    EXPECT_EQ(HudElement_CountInDraw(&timer, 0), 0);
    MissionTimer_Show();
    EXPECT_EQ(HudElement_CountInDraw(&timer, 0), 1);
    // A loaded shown timer, not yet listed, is listed at world start.
    timer.RemoveFromLayer(0);
    timer.Start();
    EXPECT_EQ(HudElement_CountInDraw(&timer, 0), 1);
    timer.End();
    EXPECT_EQ(HudElement_CountInDraw(&timer, 0), 0);
    EXPECT_EQ(timer.show, 0);
    // The toggle acts only in a network game without a time limit.
    MissionTimer_Toggle();
    EXPECT_EQ(timer.show, 0);
    Seam_Net().isNetworkGame = [] { return true; };
    GameKey_Actions().firstGameSetting = [] { return int32_t{600}; };
    MissionTimer_Toggle();
    EXPECT_EQ(timer.show, 0) << "a time limit";
    GameKey_Actions().firstGameSetting = [] { return int32_t{0}; };
    MissionTimer_Toggle();
    EXPECT_EQ(timer.show, 1);
    MissionTimer_Toggle();
    EXPECT_EQ(timer.show, 0);
    GameKey_Actions().firstGameSetting = GameKey_PendingActions().firstGameSetting;
}

TEST_F(HudBasicTest, TimerSavesItsFieldsInOrderAndLoadsThemBack) {
    MissionTimer& timer = MissionTimer_Instance();
    timer.Init();
    MissionTimer_Start(95, 30, 10);
    timer.Update(0.25f);
    bool ok = false;
    const std::string binary = CaptureFields(true, MissionTimer_Save, &ok);
    ASSERT_TRUE(ok);
    const std::string expected = FieldRecord(kFieldTagFloat, Le(0.75f)) + FieldRecord(kFieldTagInt, Le(int32_t{95})) +
                                 FieldRecord(kFieldTagInt, Le(int32_t{30})) + FieldRecord(kFieldTagInt, Le(int32_t{10})) +
                                 FieldRecord(kFieldTagBool, std::string(1, '\1')) +
                                 FieldRecord(kFieldTagBool, std::string(1, '\1')) +
                                 FieldRecord(kFieldTagBool, std::string(1, '\1'));
    EXPECT_EQ(binary, expected);
    const std::string text = CaptureFields(false, MissionTimer_Save, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(text, CrLfLines({"frac [1] =", "0.75", "timer [1] =", "95", "warn [1] =", "30", "alert [1] =", "10",
                               "countdown [1] =", "true", "active [1] =", "true", "show [1] =", "true"}));

    // A new mission, then the load: every field as saved, and the shown timer is listed again
    // only at the world start.
    for (bool form : {true, false}) {
        timer.Init();
        {
            FieldReadScope read(form ? binary : text, form);
            EXPECT_TRUE(MissionTimer_Load());
        }
        EXPECT_EQ(timer.frac, 0.75f);
        EXPECT_EQ(timer.timer, 95);
        EXPECT_EQ(timer.warn, 30);
        EXPECT_EQ(timer.alert, 10);
        EXPECT_EQ(timer.countdown, 1);
        EXPECT_EQ(timer.active, 1);
        EXPECT_EQ(timer.show, 1);
        EXPECT_EQ(HudElement_CountInDraw(&timer, 7), 0);
        timer.Start();
        for (int layer : {0, 1, 2, 3, 7}) EXPECT_EQ(HudElement_CountInDraw(&timer, layer), 1) << layer;
    }
}

TEST_F(HudBasicTest, TimerLoadStopsAtTheFirstBadField) {
    MissionTimer& timer = MissionTimer_Instance();
    timer.Init();
    // "warn" is cut short: timer is read, nothing after it.
    const std::string bytes = FieldRecord(kFieldTagFloat, Le(0.5f)) + FieldRecord(kFieldTagInt, Le(int32_t{40})) +
                              FieldRecord(kFieldTagInt, "\1\2") + FieldRecord(kFieldTagInt, Le(int32_t{10}));
    {
        FieldReadScope read(bytes, true);
        EXPECT_FALSE(MissionTimer_Load());
    }
    EXPECT_EQ(timer.timer, 40);
    EXPECT_EQ(timer.alert, INT32_MIN);
    EXPECT_EQ(timer.show, 0);
    // A remainder that is not a number or outside one second would move the clock every frame.
    for (float frac : {std::nanf(""), -50.0f, 1e9f}) {
        timer.Init();
        FieldReadScope read(FieldRecord(kFieldTagFloat, Le(frac)), true);
        MissionTimer_Load();
        EXPECT_GE(timer.frac, 0.0f);
        EXPECT_LE(timer.frac, 1.0f);
    }
}

}  // namespace
