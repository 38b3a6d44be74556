// A small screen for the developer displays: a 240 x 260 buffer set as the display's view, a
// hand-made font whose every printable glyph is a 2 x 5 block of ink, and a palette of six
// named colours.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "interface/hudelement.h"
#include "render/font.h"
#include "render/graphicbuffer.h"

namespace tools_test {

constexpr int kWidth = 240, kHeight = 260;
constexpr int kFontHeight = 5, kGlyphWidth = 2;
enum Colour { kBlack = 0, kWhite = 1, kGrey = 2, kRed = 3, kYellow = 4, kGreen = 5 };

class ScreenFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    uint8_t At(int x, int y) const { return pixels_[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)]; }
    // How many pixels of the colour the buffer holds.
    int Count(int colour) const;
    // Every inked (non-zero) pixel as (x, y), row by row.
    std::vector<std::pair<int, int>> Ink() const;
    void Clear();

    std::vector<uint8_t> pixels_;
    GraphicBuffer buffer_{};
    BitmapFont* font_ = nullptr;
};

}  // namespace tools_test
