#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "render/draw2d.h"
#include "tools/debugvalues.h"
#include "tools_fixture.h"

using namespace tools_test;

namespace {

class DebugValuesTest : public ScreenFixture {};

// Ground (x, z) to the screen: 2 pixels a metre, x to the right and z up from (10, 150).
class FakeProjection : public DebugProjection {
public:
    bool GroundToScreen(float x, float z, int* sx, int* sy) const override {
        *sx = 10 + static_cast<int>(2.0f * x);
        *sy = 150 - static_cast<int>(2.0f * z);
        return x > -100.0f;  // far to the left counts as behind the viewer
    }
};

}  // namespace

TEST_F(DebugValuesTest, ColumnLinesStandAtTheirPitchFromY140InGrey) {
    DebugValues_Begin();
    DebugValues_Int("a", 1);
    DebugValues_Int("b", 2);
    DebugValues_Int("c", 3);
    const int pitch = kFontHeight + 4;
    EXPECT_EQ(DebugValues_Column().pitch, pitch);
    EXPECT_EQ(DebugValues_Column().count, 3);
    for (int line = 0; line < 3; ++line) {
        const int top = line * pitch + 140;
        SCOPED_TRACE(line);
        EXPECT_EQ(At(100, top), kGrey);
        EXPECT_EQ(At(99, top), 0);
        EXPECT_EQ(At(100, top - 1), 0);
        EXPECT_EQ(At(100, top + kFontHeight - 1), kGrey);
        EXPECT_EQ(At(100, top + kFontHeight), 0);
    }
    // The third line starts at 2 x (line height + 4) + 140.
    EXPECT_EQ(At(100, 2 * pitch + 140), kGrey);
    // "c: 3" is four glyphs wide.
    EXPECT_EQ(At(100 + 4 * kGlyphWidth - 1, 158), kGrey);
    EXPECT_EQ(At(100 + 4 * kGlyphWidth, 158), 0);

    // A new column starts again at the top.
    DebugValues_Begin();
    EXPECT_EQ(DebugValues_Column().count, 0);
    EXPECT_TRUE(DebugValues_Lines().empty());
}

TEST_F(DebugValuesTest, FormatsAndTheCutAt63Characters) {
    DebugValues_Begin();
    DebugValues_Float("speed", 1.5f);
    DebugValues_Int("count", -7);
    DebugValues_Text("mode", "hover");
    DebugValues_Vector("posit", 1.0f, -2.5f, 0.25f);
    DebugValues_Text(std::string(70, 'n').c_str(), "x");
    DebugValues_Text("t", std::string(200, 'v').c_str());
    const auto& lines = DebugValues_Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "speed: 1.500000");
    EXPECT_EQ(lines[1], "count: -7");
    EXPECT_EQ(lines[2], "mode: hover");
    EXPECT_EQ(lines[3], "posit: (1.000000,-2.500000,0.250000)");
    EXPECT_EQ(lines[4], std::string(63, 'n'));
    EXPECT_EQ(lines[5], "t: " + std::string(60, 'v'));
    // The cut line is drawn 63 glyphs wide and no further.
    const int top = 5 * (kFontHeight + 4) + 140;
    EXPECT_EQ(At(100 + 63 * kGlyphWidth - 1, top), kGrey);
    EXPECT_EQ(At(100 + 63 * kGlyphWidth, top), 0);

    DebugValues_Hello();
    ASSERT_EQ(DebugValues_Lines().size(), 1u);
    EXPECT_EQ(DebugValues_Lines()[0].rfind("Hello: ", 0), 0u);
}

TEST_F(DebugValuesTest, EachPrintMovesTheCursorTwoBelowTheTextAndKeepsX) {
    DebugText_SetCursor(30, 10);
    EXPECT_EQ(DebugText_Print("AB", kWhite, kBlack), 10 + kFontHeight + 2);
    EXPECT_EQ(DebugText_Print("second", kYellow, -1), 10 + 2 * (kFontHeight + 2));
    EXPECT_EQ(Hud_Context().textX, 30);
    EXPECT_EQ(Hud_Context().textY, 24);
    // The first line's text, then the two free rows, then the second line: no overlap.
    EXPECT_EQ(At(30, 10), kWhite);
    EXPECT_EQ(At(30, 14), kWhite);
    EXPECT_EQ(At(30, 15), 0);
    EXPECT_EQ(At(30, 16), 0);
    EXPECT_EQ(At(30, 17), kYellow);
    EXPECT_EQ(At(29, 17), 0);

    // An empty text moves by the font's height as well; without a view the cursor still moves.
    Hud_Context().buffer = nullptr;
    EXPECT_EQ(DebugText_Print("x", kWhite, kBlack), 24 + kFontHeight + 2);
}

TEST_F(DebugValuesTest, MarkerAndRingThroughTheProjection) {
    const float a[2] = {1.0f, 2.0f}, b[2] = {6.0f, 2.0f};
    const float centre[2] = {40.0f, 20.0f};

    // Nothing is drawn while no projection is set.
    DebugText_DrawMarker(a, b, kRed);
    DebugText_DrawBar(centre, 5.0f, kYellow);
    EXPECT_TRUE(Ink().empty());

    FakeProjection projection;
    DebugText_SetProjection(&projection);
    DebugText_DrawMarker(a, b, kRed);
    // (1, 2) and (6, 2) are the screen points (12, 146) and (22, 146).
    std::vector<std::pair<int, int>> expected;
    for (int x = 12; x <= 22; ++x) expected.emplace_back(x, 146);
    EXPECT_EQ(Ink(), expected);
    EXPECT_EQ(Count(kRed), 11);

    // A ring of world radius 5 around (40, 20): screen centre (90, 110), radius 10 pixels.
    Clear();
    DebugText_DrawBar(centre, 5.0f, kYellow);
    std::vector<uint8_t> reference(pixels_.size(), 0);
    GraphicBuffer ring{};
    Graphic_InitBuffer(&ring, kWidth, kHeight, reference.data(), kGraphicFormat8);
    Graphic_DrawCircle(&ring, 90, 110, 10, 24, kYellow, 0);
    EXPECT_EQ(pixels_, reference);
    EXPECT_EQ(At(100, 110), kYellow);  // the ring passes through (x + radius, z)
    EXPECT_EQ(At(90, 110), 0);
    int left = kWidth, right = -1;
    for (auto [x, y] : Ink()) left = std::min(left, x), right = std::max(right, x);
    EXPECT_EQ(left, 80);
    EXPECT_EQ(right, 100);

    // A point the projection cannot place draws nothing.
    Clear();
    const float behind[2] = {-200.0f, 0.0f};
    DebugText_DrawMarker(behind, b, kRed);
    DebugText_DrawBar(behind, 5.0f, kRed);
    EXPECT_TRUE(Ink().empty());
}
