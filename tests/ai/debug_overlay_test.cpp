#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "sprite_writer.h"
#include "interface/hudelement.h"
#include "process_fixture.h"
#include "render/font.h"
#include "render/palette.h"
#include "tools/debugvalues.h"

namespace {

// Ground (x, z) to the screen: 2 pixels a metre from (10, 150), z up.
class FakeProjection : public DebugProjection {
public:
    bool GroundToScreen(float x, float z, int* sx, int* sy) const override {
        *sx = 10 + static_cast<int>(2.0f * x);
        *sy = 150 - static_cast<int>(2.0f * z);
        return true;
    }
};

constexpr int kWidth = 200, kHeight = 160;
enum { kWhite = 1, kYellow = 2 };

class DebugOverlayTest : public ProcessFixture {
protected:
    void SetUp() override {
        ProcessFixture::SetUp();
        uint8_t rgb[768] = {};
        for (int i = 3; i < 256; ++i) rgb[i * 3 + 2] = 200;  // the rest: a far blue
        const uint8_t named[3][3] = {{0, 0, 0}, {255, 255, 255}, {255, 255, 0}};
        for (int i = 0; i < 3; ++i) std::copy(named[i], named[i] + 3, rgb + i * 3);
        Palette_SetFloatColors(rgb);
        const std::string bytes = content::FontFileBytes(content::SampleFont());
        font_ = Font_LoadBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 2);
        ASSERT_NE(font_, nullptr);
        pixels_.assign(static_cast<size_t>(kWidth) * kHeight, 0);
        Graphic_InitBuffer(&buffer_, kWidth, kHeight, pixels_.data(), kGraphicFormat8);
        Hud_Context().buffer = &buffer_;
        Hud_Context().textFont = font_;
        DebugValues_InstallSeam();
    }
    void TearDown() override {
        Hud_Context().buffer = nullptr;
        Hud_Context().textFont = nullptr;
        Font_Free(font_);
        ProcessFixture::TearDown();
    }
    uint8_t At(int x, int y) const { return pixels_[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)]; }

    std::vector<uint8_t> pixels_;
    GraphicBuffer buffer_{};
    BitmapFont* font_ = nullptr;
};

}  // namespace

TEST_F(DebugOverlayTest, AProcessDumpPrintsLinesAndDrawsItsLineAndRing) {
    CraftClass& cls = NewCraftClass();
    Craft* unit = NewCraft(cls, 1, Vector{20.0f, 0.0f, 30.0f});
    Craft* target = NewCraft(cls, 2, Vector{40.0f, 0.0f, 30.0f});
    TestCraftUnit process(nullptr, unit);
    process.whoHandle = target->GetObjHandle();
    process.engageRange = 100.0f;  // squared: a ring of 10 m

    // Without a projection the dump prints but draws no figure.
    DebugText_SetCursor(150, 20);  // text right of the figures
    process.DebugDump();
    const int printed = Hud_Context().textY;
    EXPECT_GT(printed, 20 + 10 * (font_->height + 2));
    EXPECT_EQ(At(90, 90), 0);
    EXPECT_EQ(At(70, 90), 0);

    std::fill(pixels_.begin(), pixels_.end(), 0);
    FakeProjection projection;
    DebugText_SetProjection(&projection);
    DebugText_SetCursor(150, 0);
    process.DebugDump();
    // The same lines again, from y = 0: the cursor moved as far.
    EXPECT_EQ(Hud_Context().textY, printed - 20);
    EXPECT_EQ(Hud_Context().textX, 150);
    int firstLineInk = 0;  // the first line's glyphs
    for (int y = 0; y < font_->height; ++y)
        for (int x = 150; x < 170; ++x) firstLineInk += At(x, y) == kWhite;
    EXPECT_GT(firstLineInk, 0);
    // The unit at screen (50, 90), its target at (90, 90): a white line between them ...
    EXPECT_EQ(At(85, 90), kWhite);
    EXPECT_EQ(At(90, 90), kWhite);
    EXPECT_EQ(At(91, 90), 0);
    // ... and the engagement ring of 20 pixels drawn over it in yellow.
    EXPECT_EQ(At(70, 90), kYellow);
    EXPECT_EQ(At(30, 90), kYellow);
    EXPECT_EQ(At(50, 91), 0);
    int top = kHeight, bottom = -1;
    for (int y = 0; y < kHeight; ++y)
        if (At(50, y) == kYellow) top = std::min(top, y), bottom = std::max(bottom, y);
    EXPECT_GE(top, 70);
    EXPECT_LE(bottom, 110);
    EXPECT_GE(bottom - top, 38);
}
