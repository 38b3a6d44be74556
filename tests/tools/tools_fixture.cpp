#include "tools_fixture.h"

#include <algorithm>

#include "sprite_writer.h"
#include "render/palette.h"

namespace tools_test {

void ScreenFixture::SetUp() {
    content::FontSpec spec;
    spec.height = kFontHeight;
    spec.glyphs.assign(128, content::GlyphSpec{});
    for (int code = 32; code < 127; ++code) {
        content::GlyphSpec glyph;
        glyph.width = kGlyphWidth;
        glyph.rows.assign(static_cast<size_t>(kGlyphWidth * kFontHeight), static_cast<char>(9));
        spec.glyphs[static_cast<size_t>(code)] = glyph;
    }
    const std::string bytes = content::FontFileBytes(spec);
    font_ = Font_LoadBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 2);
    ASSERT_NE(font_, nullptr);

    uint8_t rgb[768];
    for (int i = 0; i < 256; ++i) {  // the unnamed colours: a far blue
        rgb[i * 3] = 10;
        rgb[i * 3 + 1] = 20;
        rgb[i * 3 + 2] = 250;
    }
    const uint8_t named[6][3] = {{0, 0, 0}, {255, 255, 255}, {153, 153, 153}, {255, 0, 0}, {255, 255, 0}, {0, 255, 0}};
    for (int i = 0; i < 6; ++i) std::copy(named[i], named[i] + 3, rgb + i * 3);
    Palette_SetFloatColors(rgb);

    pixels_.assign(static_cast<size_t>(kWidth) * kHeight, 0);
    Graphic_InitBuffer(&buffer_, kWidth, kHeight, pixels_.data(), kGraphicFormat8);
    ASSERT_EQ(buffer_.valid, 1);
    Hud_Context().buffer = &buffer_;
    Hud_Context().textFont = font_;
}

void ScreenFixture::TearDown() {
    Hud_Context().buffer = nullptr;
    Hud_Context().textFont = nullptr;
    Font_Free(font_);
}

int ScreenFixture::Count(int colour) const {
    return static_cast<int>(std::count(pixels_.begin(), pixels_.end(), static_cast<uint8_t>(colour)));
}

std::vector<std::pair<int, int>> ScreenFixture::Ink() const {
    std::vector<std::pair<int, int>> ink;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (At(x, y) != 0) ink.emplace_back(x, y);
    return ink;
}

void ScreenFixture::Clear() { std::fill(pixels_.begin(), pixels_.end(), 0); }

}  // namespace tools_test
