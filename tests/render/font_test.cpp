#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "core/bytes.h"
#include "core/text.h"
#include "sprite_fixture.h"

using content::FontSpec;
using content::GlyphSpec;

namespace {

// A glyph of width w in a font of height h: ink where the pattern has '#', row by row.
GlyphSpec Glyph(int w, const std::string& pattern) {
    GlyphSpec g;
    g.width = w;
    for (char c : pattern) g.rows.push_back(static_cast<char>(c == '#' ? 9 : 255));
    return g;
}

struct FontDeleter {
    void operator()(BitmapFont* f) const { Font_Free(f); }
};
using FontPtr = std::unique_ptr<BitmapFont, FontDeleter>;

FontPtr Make(const FontSpec& spec, int32_t flags = 2) {
    const std::string bytes = content::FontFileBytes(spec);
    return FontPtr(Font_LoadBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), flags));
}

// 128 glyphs of height 2, empty except: 'A' 2 wide all ink, 'B' 6 wide all ink, code 1 of width 0,
// code 2 of width 205, and glyph 42 a 1-wide column.
FontSpec SmallSpec(int count = 128) {
    FontSpec spec;
    spec.height = 2;
    spec.glyphs.assign(static_cast<size_t>(count), GlyphSpec{});
    auto set = [&](int code, GlyphSpec g) {
        if (code < count) spec.glyphs[static_cast<size_t>(code)] = g;
    };
    set('A', Glyph(2, "####"));
    set('B', Glyph(6, "############"));
    set(2, Glyph(205, std::string(410, '.')));
    set(42, Glyph(1, "##"));
    return spec;
}

int FirstInk(const GraphicBuffer* b, int row, int from = 0) {
    for (int x = from; x < b->width; ++x)
        if (b->pixels[row * b->width + x] != 0) return x;
    return -1;
}

}  // namespace

TEST_F(SpriteTest, TextLayoutOfTabsNewlinesAndEmptyGlyphs) {
    FontPtr font = Make(SmallSpec());
    ASSERT_TRUE(font);
    struct Case {
        const char* text;
        int firstB;  // column of the B after the start x of 3
    };
    const int stops[8] = {50, 100, 150, 200, 250, 300, 350, 400};
    for (bool allStops : {false, true}) {
        if (allStops) Font_SetTabStops(8, stops);
        else Font_ResetTabStops();
        const Case cases[] = {{"\x01" "B", 3},  // width 0: no advance
                              {"B\tB", allStops ? 3 + 50 : 3 + 32},  // the first stop right of 6
                              {"\x02\x02\tB", 3 + 442}};  // no stop right of 410: 32 more
        for (const Case& c : cases) {
            SCOPED_TRACE(c.text);
            GraphicBuffer* t = Target(500, 2);
            Font_SetColor(font.get(), 15);
            Font_DrawText(font.get(), t, 3, 0, c.text);
            const int last = c.text[0] == 'B' ? FirstInk(t, 0, 10) : FirstInk(t, 0);
            EXPECT_EQ(last, c.firstB);
        }
    }
    // With all eight stops passed a tab moves 32; with the defaults 410 lies past 256 as well.
    Font_SetTabStops(8, stops);
    EXPECT_EQ(Font_TextWidth(font.get(), "\x02\x02\tB"), 410 + 32 + 6);
    int w = -1, h = -1;
    Font_MeasureText(font.get(), "AB\n", &w, &h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 2);
    Font_MeasureText(font.get(), "\n", &w, &h);
    EXPECT_EQ(w * 100 + h, 0);
    EXPECT_EQ(Font_TextHeight(font.get(), "A\nA"), 2 + 2 + 2);
}

TEST_F(SpriteTest, GlyphPixelsThroughTheColourMapsAndTheClipRectangle) {
    FontPtr font = Make(SmallSpec());
    GraphicBuffer* t = Target(8, 4, 40);
    Graphic_SetClipRect(t, 2, 1, 6, 3);
    Font_SetColor(font.get(), 15);
    Font_DrawChar8(font.get(), t, 3, 0, 'B');  // columns 5..10 of the buffer, clipped at 6
    EXPECT_EQ(At(t, 4, 1), 40);
    EXPECT_EQ(At(t, 5, 1), 15);
    EXPECT_EQ(At(t, 6, 2), 15);
    EXPECT_EQ(At(t, 7, 1), 40) << "outside the clip rectangle";
    EXPECT_EQ(At(t, 5, 3), 40) << "below the glyph";

    GraphicBuffer* u = Target(4, 2, 33);
    u->pixels[1] = 77;
    Font_SetColor(font.get(), 300);  // identity: ink keeps the destination's colour
    Font_SetSourceRemap(font.get(), 5);
    Font_DrawChar8(font.get(), u, 0, 0, 'A');
    Font_DrawChar8(font.get(), u, 2, 0, ' ');  // a background glyph of width 0 paints nothing
    EXPECT_EQ(At(u, 0, 0), 33);
    EXPECT_EQ(At(u, 1, 0), 77);
    EXPECT_EQ(At(u, 2, 0), 33);
    FontSpec spec = SmallSpec();
    spec.glyphs[' '] = Glyph(1, "..");
    FontPtr spaced = Make(spec);
    Font_SetSourceRemap(spaced.get(), 5);
    Font_DrawChar8(spaced.get(), u, 3, 0, ' ');
    EXPECT_EQ(At(u, 3, 1), 5) << "background pixels go through the background map";
}

TEST_F(SpriteTest, ScaledTextScalesTheStartAndTabsButNotGlyphs) {
    FontPtr font = Make(SmallSpec());
    GraphicBuffer& screen = g_graphicDriver.screen;
    const GraphicBuffer saved = screen;
    screen.clipLeft = 0;
    screen.clipTop = 0;
    screen.clipRight = 1279;
    screen.clipBottom = 959;
    GraphicBuffer* t = Target(200, 12);
    Font_DrawTextScaled(font.get(), t, 10, 5, "B\tB");
    screen = saved;
    EXPECT_EQ(FirstInk(t, 10), 20);
    EXPECT_EQ(FirstInk(t, 10, 26), 20 + 64);
    EXPECT_EQ(At(t, 26, 10), 0) << "the first B stays 6 wide";
}

TEST_F(SpriteTest, SixteenBitGlyphsUseTheInkColourOfPaletteColors16) {
    FontPtr font = Make(SmallSpec());
    const uint16_t saved = PaletteColors16[15];
    PaletteColors16[15] = 0xABCD;
    GraphicBuffer b;
    Graphic_InitBuffer(&b, 4, 2, nullptr, kGraphicFormat16);
    std::memset(b.pixels, 0x11, 16);
    Font_SetColor(font.get(), 15);
    Font_DrawChar16(font.get(), &b, 1, 0, 'A');
    const uint16_t* p = reinterpret_cast<const uint16_t*>(b.pixels);
    EXPECT_EQ(p[0], 0x1111);
    EXPECT_EQ(p[1], 0xABCD);
    EXPECT_EQ(p[6], 0xABCD);
    Graphic_FreeBuffer(&b);
    PaletteColors16[15] = saved;
}

TEST_F(SpriteTest, CodesPastTheFontDrawGlyphFortyTwoWhenItExists) {
    for (int count : {43, 42}) {
        SCOPED_TRACE(count);
        FontPtr font = Make(SmallSpec(count));
        GraphicBuffer* t = Target(4, 2);
        Font_DrawText(font.get(), t, 0, 0, "\xC8\xC8");
        EXPECT_EQ(FirstInk(t, 0), count == 43 ? 0 : -1);
        EXPECT_EQ(FirstInk(t, 0, 1), count == 43 ? 1 : -1);
    }
}

namespace {
// A double-byte font of n glyphs, 9 wide (two bytes a row), 2 rows; glyph g has ink in column g % 9
// of its first row.
FontSpec DoubleSpec(int n) {
    FontSpec spec;
    spec.height = 2;
    spec.doubleByte = true;
    for (int g = 0; g < n; ++g) {
        GlyphSpec glyph;
        glyph.width = 9;
        const int column = g % 9;
        uint8_t row[2] = {0, 0};
        row[column / 8] = static_cast<uint8_t>(0x80 >> (column % 8));
        glyph.rows.assign(reinterpret_cast<char*>(row), 2);
        glyph.rows.append(2, '\0');
        spec.glyphs.push_back(glyph);
    }
    return spec;
}
}  // namespace

TEST_F(SpriteTest, DoubleByteCharactersGoThroughTheLeadTable) {
    FontPtr font = Make(DoubleSpec(12), kFontDoubleByte);
    ASSERT_TRUE(font);
    DbcsLeadTable[0x81] = 5;
    Text_SetLanguage(true, nullptr);
    GraphicBuffer* t = Target(20, 2);
    Font_SetColor(font.get(), 15);
    Font_DrawText(font.get(), t, 0, 0, "\x81\x02" "\x03");  // glyph 7, then the single-byte glyph 3
    EXPECT_EQ(FirstInk(t, 0), 7);
    EXPECT_EQ(FirstInk(t, 0, 8), 9 + 3);
    GraphicBuffer* u = Target(20, 2);
    Font_DrawText(font.get(), u, 0, 0, "\x81\x09");  // glyph 14: past the font, nothing
    EXPECT_EQ(FirstInk(u, 0), -1);
    EXPECT_EQ(Font_GetGlyph(font.get(), 0x0981), nullptr);
}

TEST_F(SpriteTest, GlyphCacheReuseForgetsTheCellsPreviousCharacter) {
    FontPtr font = Make(DoubleSpec(520), kFontDoubleByte);
    DbcsLeadTable[0x81] = 1;
    DbcsLeadTable[0x82] = 257;
    std::vector<std::vector<uint8_t>> pages(kGlyphCachePages, std::vector<uint8_t>(8 + 64 * 64));
    uint8_t* pointers[kGlyphCachePages];
    for (int i = 0; i < kGlyphCachePages; ++i) pointers[i] = pages[static_cast<size_t>(i)].data();
    Sprite_Append(nullptr, 0, 0, 1, 1);  // something in the table before the cells
    ASSERT_TRUE(Text_SetupGlyphCache(pointers, false));
    Text_SetGlyphFont(font.get());
    TextJapanese = true;
    auto code = [](int glyph) { return glyph <= 256 ? 0x81u | ((glyph - 1) << 8) : 0x82u | ((glyph - 257) << 8); };
    const int first = Text_GlyphSprite(code(1));
    for (int g = 2; g <= 400; ++g) Text_GlyphSprite(code(g));
    EXPECT_EQ(Text_GlyphSprite(code(1)), first) << "cached";
    const int last = first + 399;
    EXPECT_EQ(Text_GlyphSprite(code(400)), last);
    EXPECT_EQ(Text_GlyphSprite(code(401)), last) << "full: the last cell again";
    EXPECT_EQ(Text_GlyphCacheOwner(399), 401);
    // Glyph 400 no longer owns the cell: asking again renders it there afresh.
    EXPECT_EQ(Text_GlyphSprite(code(400)), last);
    EXPECT_EQ(Text_GlyphCacheOwner(399), 400);
    // The cell holds glyph 400's ink (column 400 % 9 = 4) and keyed pixels elsewhere.
    const Sprite& cell = Sprite_Get(last);
    const uint8_t* px = cell.page + 8 + cell.y * 64 + cell.x;
    EXPECT_EQ(px[4], 0);
    EXPECT_EQ(px[3], 255);
    TextJapanese = false;
    EXPECT_EQ(Text_GlyphSprite(code(5)), first);
}

TEST_F(SpriteTest, MalformedFontFilesLoadAsNull) {
    const std::string good = content::FontFileBytes(SmallSpec(4));
    ASSERT_TRUE(Make(SmallSpec(4)));
    auto with = [&](size_t at, uint32_t value) {
        std::string b = good;
        Bytes_SetU32(reinterpret_cast<uint8_t*>(b.data()) + at, value);
        return b;
    };
    FontSpec wide;
    wide.height = 1;
    wide.doubleByte = true;
    wide.glyphs.push_back(GlyphSpec{17, std::string(2, '\0')});
    const std::string wideBytes = content::FontFileBytes(wide);
    FontSpec tall;
    tall.height = 17;
    tall.doubleByte = true;
    tall.glyphs.push_back(GlyphSpec{8, std::string(17, '\x80')});
    const std::string tallBytes = content::FontFileBytes(tall);
    FontSpec flat;
    flat.glyphs.push_back(GlyphSpec{4097, ""});
    const std::string flatBytes = content::FontFileBytes(flat);
    struct Case {
        const char* what;
        std::string bytes;
        int32_t flags;
    };
    const Case cases[] = {
        {"short header", good.substr(0, 12), 2},
        {"negative count", with(4, 0xFFFFFFFFu), 2},
        {"count past the file", with(4, 100000), 2},
        {"height out of range", with(8, 0x7FFFFFFF), 2},
        {"offset past the file", with(16, 100000), 2},
        {"offset inside the table", with(16, 4), 2},
        {"rows past the file", good.substr(0, good.size() - 1), 2},
        {"double-byte glyph wider than 16", wideBytes, kFontDoubleByte},
        {"double-byte font taller than 16", tallBytes, kFontDoubleByte},
        {"glyph wider than 4096 (no rows at height 0)", flatBytes, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Font_LoadBytes(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), c.flags), nullptr);
    }
    EXPECT_EQ(Font_Load(FontDescriptor{"missing.fnt", 2}), nullptr);
}
