// Sun glare and the lens flare's rings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "interface/hudbasic.h"
#include "interface/lensflare.h"
#include "render/graphicbuffer.h"
#include "render/view.h"

namespace {

constexpr int kWhite = 7;
bool g_hasSun = true;
Vector g_sun{0, 0, 1};
bool g_hardware = false;
float g_visible = 0;
std::vector<float> g_quad;
struct Drawn {
    int sprite, x, y;
    uint32_t flags;
    bool operator==(const Drawn&) const = default;
};
std::vector<Drawn> g_drawn;

class LensFlareTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_hasSun = true;
        g_sun = Vector{0, 0, 1};
        g_hardware = false;
        g_visible = 0;
        g_quad.clear();
        g_drawn.clear();
        LensFlareServices& s = LensFlare_Services();
        s.sun = [](Vector* direction) {
            *direction = g_sun;
            return g_hasSun;
        };
        s.sunColour = [] { return kWhite; };
        s.hardware = [] { return g_hardware; };
        s.visiblePixels = [](const float* points, int count) {
            g_quad.assign(points, points + 3 * count);
            return g_visible;
        };
        s.drawSprite = [](GraphicBuffer*, int sprite, int x, int y, uint32_t flags) {
            g_drawn.push_back({sprite, x, y, flags});
        };
        Graphic_InitBuffer(&buffer_, 64, 48, nullptr, kGraphicFormat8);
        std::memset(buffer_.pixels, 0, 64 * 48);
        View_Init(&view_, &buffer_, kDefaultFieldOfView, 1.0f, 500.0f, 1.0f);
        // The projection's centre on the clip rectangle's centre pixel (31, 23).
        view_.centreX = 31;
        view_.centreY = 23;
        Hud_Context().buffer = &buffer_;
        Hud_Context().view = &view_;
        LensFlare& flare = LensFlare_Instance();
        for (int i = 0; i < kLensFlareRings; ++i) flare.sprites[i] = 100 + i;
        ScreenTint_Instance().Start();
    }
    void TearDown() override {
        Hud_Context().buffer = nullptr;
        Hud_Context().view = nullptr;
        Graphic_FreeBuffer(&buffer_);
    }
    // The sun's colour in the pixels within squared distance 5 of (x, y), up to limit of them.
    void PaintSun(int x, int y, int limit = 25) {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (dx * dx + dy * dy <= 5 && limit-- > 0) buffer_.pixels[(y + dy) * 64 + x + dx] = kWhite;
    }
    // The direction whose projection lands on screen x (y at the centre row).
    Vector TowardsColumn(int x) {
        const float vx = (x - view_.centreX) / view_.scaleX;
        const float n = std::sqrt(vx * vx + 1);
        return Vector{vx / n, 0, 1 / n};
    }
    GraphicBuffer buffer_{};
    RenderView view_{};
};

TEST_F(LensFlareTest, SunAtTheCentrePutsEveryRingOnTheCentre) {
    PaintSun(31, 23);
    LensFlare& flare = LensFlare_Instance();
    flare.Draw();
    ASSERT_EQ(g_drawn.size(), 6u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(g_drawn[i], (Drawn{100 + i, 31, 23, 0x250004u})) << i;
    EXPECT_EQ(flare.lastVisible, 21);
    EXPECT_NEAR(ScreenTint_Instance().white, 0.047f * 21, 1e-5f);
}

TEST_F(LensFlareTest, CoveredSunGlaresLessWithTheSameRings) {
    // Twenty columns right of the centre: the products are shifted before they are added, so
    // the rings on the far side round towards minus infinity.
    g_sun = TowardsColumn(31 + 20);
    PaintSun(51, 23);
    LensFlare& flare = LensFlare_Instance();
    flare.Draw();
    ASSERT_EQ(flare.lastX, 51);
    const std::vector<int> ringX = {31 + (20 * 166 >> 8), 31 + (20 * 115 >> 8), 31 + (20 * 25 >> 8),
                                    31 + (20 * -128 >> 8), 31 + (20 * -204 >> 8), 31 + (20 * -256 >> 8)};
    EXPECT_EQ(ringX, (std::vector<int>{43, 39, 32, 21, 15, 11}));
    ASSERT_EQ(g_drawn.size(), 6u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(g_drawn[i].x, ringX[i]) << i;
    const float fullGlare = ScreenTint_Instance().white;
    const std::vector<Drawn> fullRings = g_drawn;

    // Half the disc hidden: proportionally less glare, the same rings.
    std::memset(buffer_.pixels, 0, 64 * 48);
    PaintSun(51, 23, 10);
    ScreenTint_Instance().Start();
    g_drawn.clear();
    flare.Draw();
    EXPECT_EQ(flare.lastVisible, 10);
    EXPECT_NEAR(ScreenTint_Instance().white, fullGlare * 10 / 21, 1e-5f);
    EXPECT_EQ(g_drawn, fullRings);
    // Looking off the sun's axis glares less than looking into it (z to the 32nd power).
    EXPECT_LT(fullGlare, 0.047f * 21);
}

TEST_F(LensFlareTest, NothingWithoutAVisibleSun) {
    PaintSun(31, 23);
    LensFlare& flare = LensFlare_Instance();
    struct {
        const char* what;
        bool hasSun;
        Vector sun;
    } cases[] = {
        {"no sun on the map", false, {0, 0, 1}},
        {"behind the camera", true, {0, 0, -1}},
        {"beside the view", true, {1, 0, 0}},
        {"outside the clip rectangle", true, {0.8f, 0, 0.6f}},
    };
    for (const auto& c : cases) {
        g_hasSun = c.hasSun;
        g_sun = c.sun;
        g_drawn.clear();
        flare.Draw();
        EXPECT_TRUE(g_drawn.empty()) << c.what;
        EXPECT_EQ(ScreenTint_Instance().white, 0) << c.what;
    }
    // In view but nothing of it shows (hidden by terrain): no glare and no rings.
    g_hasSun = true;
    g_sun = Vector{0, 0, 1};
    std::memset(buffer_.pixels, 0, 64 * 48);
    flare.Draw();
    EXPECT_TRUE(g_drawn.empty());
    EXPECT_EQ(ScreenTint_Instance().white, 0);
}

TEST_F(LensFlareTest, HardwareCountsTheTestQuad) {
    g_hardware = true;
    g_visible = 12.5f;
    LensFlare& flare = LensFlare_Instance();
    flare.Draw();
    EXPECT_EQ(g_quad, (std::vector<float>{29, 21, 1000, 34, 21, 1000, 34, 26, 1000, 29, 26, 1000}));
    EXPECT_NEAR(ScreenTint_Instance().white, 0.04f * 12.5f, 1e-5f);
    EXPECT_EQ(g_drawn.size(), 6u);
    // No query answer: nothing.
    g_visible = -1;
    g_drawn.clear();
    ScreenTint_Instance().Start();
    flare.Draw();
    EXPECT_TRUE(g_drawn.empty());
    EXPECT_EQ(ScreenTint_Instance().white, 0);
}

TEST_F(LensFlareTest, DrawnInTheLayersOfTheFlyingViews) {
    LensFlare& flare = LensFlare_Instance();
    for (int layer = 0; layer <= 8; ++layer) EXPECT_EQ(HudElement_CountInDraw(&flare, layer), 1) << layer;
    for (int layer = 9; layer < kHudLayerCount; ++layer) EXPECT_EQ(HudElement_CountInDraw(&flare, layer), 0);
}

}  // namespace
