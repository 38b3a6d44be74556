#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/objload.h"
#include "core/debug.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "render/blit.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/view.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::string> g_trace;
void CaptureTrace(const char* text) { g_trace.emplace_back(text); }

// A buffer on exactly sized caller memory, so that any read or write past it is caught.
struct Picture {
    Bytes pixels;
    GraphicBuffer buf;
    Picture(int w, int h, int format = kGraphicFormat8) : pixels(static_cast<size_t>(w) * h * (format ? 2 : 1)) {
        Graphic_InitBuffer(&buf, w, h, pixels.data(), format);
    }
    // One row of the given pixels.
    explicit Picture(const Bytes& row) : pixels(row) {
        Graphic_InitBuffer(&buf, static_cast<int>(row.size()), 1, pixels.data(), kGraphicFormat8);
    }
    Picture(int w, int h, uint8_t (*fill)(int x, int y)) : Picture(w, h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = fill(x, y);
    }
    uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * buf.width + x]; }
    Bytes Row(int y) const {
        return Bytes(pixels.begin() + static_cast<ptrdiff_t>(y) * buf.width,
                     pixels.begin() + static_cast<ptrdiff_t>(y + 1) * buf.width);
    }
    void Fill(uint8_t v) { std::memset(pixels.data(), v, pixels.size()); }
    Picture(const Picture&) = delete;  // buf points into pixels
    Picture& operator=(const Picture&) = delete;
};

// A page of 10 y + x with the sprite rectangle (left, top)..(right, bottom) as its clip
// rectangle and one key pixel inside the sprite.
void MakeSpritePage(Picture& page, int left, int top, int right, int bottom, int keyX, int keyY) {
    for (int y = 0; y < page.buf.height; ++y)
        for (int x = 0; x < page.buf.width; ++x)
            page.pixels[static_cast<size_t>(y * page.buf.width + x)] = static_cast<uint8_t>(10 * y + x);
    page.pixels[static_cast<size_t>(keyY * page.buf.width + keyX)] = 255;
    Graphic_SetClipRect(&page.buf, left, top, right, bottom);
}

class BlitTest : public ::testing::Test {
protected:
    void SetUp() override {
        Blit_Reset();
        // Operand order shows in the result: (16 a + b) and (a + 3 b), both & 255.
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256; ++b) {
                TranslucencyTable[a][b] = static_cast<uint8_t>(16 * a + b);
                AlphaTable[a][b] = static_cast<uint8_t>(a + 3 * b);
            }
        for (int i = 0; i < 256; ++i) PaletteColors16[i] = static_cast<uint16_t>(0x1000 + i);
        g_trace.clear();
        DiagnosticsHooks hooks = Diagnostics_GetHooks();
        hooks.debuggerOutput = CaptureTrace;
        Diagnostics_SetHooks(hooks);
    }
    void TearDown() override {
        Diagnostics_ResetHooks();
        Blit_Reset();
    }
};

// ---- Copies ------------------------------------------------------------------------------------

TEST_F(BlitTest, CopyClipsToTheDestinationAndHonoursItsClipOrigin) {
    Picture src(10, 10, [](int x, int y) { return static_cast<uint8_t>(x + 10 * y); });
    Picture dst(10, 10);
    dst.Fill(200);
    EXPECT_EQ(Graphic_Copy_Bitmap(&dst.buf, &src.buf, -5, 0, 0), 1);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(dst.At(x, y), x < 5 ? src.At(x + 5, y) : 200) << x << "," << y;

    // A clip rectangle starting at (2, 3) offsets the target by its origin.
    Picture small(3, 2, [](int x, int y) { return static_cast<uint8_t>(1 + x + 3 * y); });
    dst.Fill(0);
    Graphic_SetClipRect(&dst.buf, 2, 3, 9, 9);
    Graphic_Copy_Bitmap(&dst.buf, &small.buf, 1, 1, 0);
    EXPECT_EQ(dst.Row(4), (Bytes{0, 0, 0, 1, 2, 3, 0, 0, 0, 0}));
    EXPECT_EQ(dst.Row(5), (Bytes{0, 0, 0, 4, 5, 6, 0, 0, 0, 0}));
    EXPECT_EQ(dst.Row(3), Bytes(10, 0));

    // Wholly outside the clip rectangle: a negative result and nothing drawn.
    EXPECT_LT(Graphic_Copy_Bitmap(&dst.buf, &small.buf, -3, 0, 0), 0);
    EXPECT_LT(Graphic_Copy_Bitmap(&dst.buf, &small.buf, 0, 7, 0), 0);
    EXPECT_EQ(dst.Row(3), Bytes(10, 0));
}

TEST_F(BlitTest, EachCopyModeOnAnEightBitDestination) {
    // Six pixels: a group of four and a tail, with key colour in both.
    const Bytes source = {0, 7, 255, 9, 255, 3};
    const Bytes under = {50, 60, 70, 80, 90, 100};
    struct Case {
        int mode;
        Bytes want;
    };
    const Case cases[] = {
        {0, {0, 7, 255, 9, 255, 3}},        // opaque: 255 overwrites too
        {1, {0, 7, 70, 9, 90, 3}},          // keyed
        {2, {50, 172, 54, 224, 74, 148}},   // TranslucencyTable[s][d]
        {3, {32, 199, 95, 9, 159, 67}},     // TranslucencyTable[d][s]
        {4, {150, 187, 70, 249, 90, 47}},   // keyed, AlphaTable[s][d]
        {5, {0, 42, 70, 42, 90, 42}},       // silhouette: 0 stays 0, the rest the text colour
        {9, {0, 7, 255, 9, 255, 3}},        // unknown modes copy opaquely
    };
    TextColour = 42;
    for (const Case& c : cases) {
        Picture src(source), dst(under);
        EXPECT_EQ(Graphic_Copy_Bitmap(&dst.buf, &src.buf, 0, 0, c.mode), 1);
        EXPECT_EQ(dst.pixels, c.want) << "mode " << c.mode;
    }
}

TEST_F(BlitTest, KeyedRowsOfOnlyTheKeyColourChangeNothing) {
    for (int mode : {1, 4, 5, 6}) {
        Picture src(9, 2), dst(9, 2);
        src.Fill(255);
        dst.Fill(17);
        Graphic_Copy_Bitmap(&dst.buf, &src.buf, 0, 0, mode);
        EXPECT_EQ(dst.pixels, Bytes(18, 17)) << "mode " << mode;
    }
}

TEST_F(BlitTest, KeyedCopyOfLongRowsWritesEveryPictureByte) {
    // Eight picture bytes, eight mixed, then a mixed tail of four; also onto itself, moved left.
    Bytes row(20);
    for (size_t i = 0; i < 20; ++i) row[i] = (i >= 8 && i % 3 == 0) ? 255 : static_cast<uint8_t>(i + 1);
    Picture src(row), dst(Bytes(20, 100));
    Graphic_Copy_Bitmap(&dst.buf, &src.buf, 0, 0, 1);
    for (size_t i = 0; i < 20; ++i) EXPECT_EQ(dst.pixels[i], row[i] == 255 ? 100 : i + 1) << i;

    Picture self(row);
    Graphic_Copy_Bitmap(&self.buf, &self.buf, -3, 0, 1);
    for (size_t i = 0; i < 17; ++i) EXPECT_EQ(self.pixels[i], row[i + 3] == 255 ? row[i] : row[i + 3]) << i;
}

TEST_F(BlitTest, MirroredCopyMirrorsWithinTheSpriteRectangle) {
    // A 3 x 3 sprite at (1, 2) of a 6 x 8 page; one key pixel in it.
    Picture page(6, 8);
    MakeSpritePage(page, 1, 2, 3, 4, 2, 3);
    Picture dst(3, 3);
    dst.Fill(0);
    Graphic_Copy_Bitmap(&dst.buf, &page.buf, 0, 0, 6);
    EXPECT_EQ(dst.Row(0), (Bytes{41, 42, 43}));
    EXPECT_EQ(dst.Row(1), (Bytes{31, 0, 33}));
    EXPECT_EQ(dst.Row(2), (Bytes{21, 22, 23}));
    // Cut at the top: the first row shown is the mirror of the second.
    dst.Fill(0);
    Graphic_Copy_Bitmap(&dst.buf, &page.buf, 0, -1, 6);
    EXPECT_EQ(dst.Row(0), (Bytes{31, 0, 33}));
    EXPECT_EQ(dst.Row(1), (Bytes{21, 22, 23}));
    EXPECT_EQ(dst.Row(2), (Bytes{0, 0, 0}));
}

TEST_F(BlitTest, EightBitIntoSixteenBitGoesThroughTheColourTable) {
    struct Case {
        int mode;
        std::vector<uint16_t> want;
    };
    const uint16_t keep = 0xBEEF;
    const Case cases[] = {
        {0, {0x1000, 0x1007, 0x10FF}},  // opaque
        {1, {0x1000, 0x1007, keep}},    // keyed
        {2, {0x1000, 0x1007, keep}},    // blends are keyed copies here
        {5, {keep, keep, keep}},        // the silhouette draws nothing
        {7, {keep, keep, keep}},        // nor does an unknown mode
    };
    for (const Case& c : cases) {
        Picture src(Bytes{0, 7, 255}), dst(3, 1, kGraphicFormat16);
        std::vector<uint16_t> out(3, keep);
        std::memcpy(dst.pixels.data(), out.data(), 6);
        Graphic_Copy_Bitmap(&dst.buf, &src.buf, 0, 0, c.mode);
        std::memcpy(out.data(), dst.pixels.data(), 6);
        EXPECT_EQ(out, c.want) << "mode " << c.mode;
    }
}

TEST_F(BlitTest, UnsupportedFormatsAreTracedAndRefused) {
    Picture wide(2, 2, kGraphicFormat16), narrow(2, 2);
    narrow.Fill(9);
    EXPECT_EQ(Graphic_Copy_Bitmap(&narrow.buf, &wide.buf, 0, 0, 0), 0);
    Graphic_Stretch_Bitmap(&narrow.buf, &wide.buf, 0, 0, 1, 1, 0);
    Graphic_Stretch_Bitmap(&wide.buf, &narrow.buf, 0, 0, 1, 1, 0);
    EXPECT_EQ(g_trace, (std::vector<std::string>{"Unsupported Graphic_Copy_Bitmap format\n",
                                                 "Unsupported Graphic_Stretch_Bitmap format\n",
                                                 "Unsupported Graphic_Stretch_Bitmap format\n"}));
    EXPECT_EQ(narrow.pixels, Bytes(4, 9));
    // A buffer that is not valid: 0, nothing traced.
    GraphicBuffer none;
    EXPECT_EQ(Graphic_Copy_Bitmap(&narrow.buf, &none, 0, 0, 0), 0);
    EXPECT_EQ(g_trace.size(), 3u);
}

TEST_F(BlitTest, ASourceRectangleBeyondItsBufferReadsNothingOutsideIt) {
    // A sprite record larger than its 4 x 4 page: only the page's pixels are copied, in place.
    Picture page(4, 4, [](int x, int y) { return static_cast<uint8_t>(1 + x + 4 * y); });
    page.buf.clipLeft = -2;
    page.buf.clipTop = -2;
    page.buf.clipRight = 5;
    page.buf.clipBottom = 5;
    Picture dst(8, 8);
    dst.Fill(200);
    EXPECT_EQ(Graphic_Copy_Bitmap(&dst.buf, &page.buf, 0, 0, 0), 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            bool inside = x >= 2 && x <= 5 && y >= 2 && y <= 5;
            EXPECT_EQ(dst.At(x, y), inside ? page.At(x - 2, y - 2) : 200) << x << "," << y;
        }
    // The stretch takes the same 4 x 4 pixels.
    Picture out(4, 4);
    page.buf.clipLeft = page.buf.clipTop = 0;
    page.buf.clipRight = page.buf.clipBottom = 7;
    Graphic_Stretch_Bitmap(&out.buf, &page.buf, 0, 0, 3, 3, 0);
    EXPECT_EQ(out.pixels, page.pixels);
}

// ---- Stretches ---------------------------------------------------------------------------------

// The first row of a stretch of `source` (one row) to columns left..right of a row of `width`.
Bytes StretchRow(const Bytes& source, int left, int right, int width, int mode = 0, uint8_t under = 0) {
    Picture src(source), dst(width, 1);
    dst.Fill(under);
    Graphic_Stretch_Bitmap(&dst.buf, &src.buf, left, 0, right, 0, mode);
    return dst.pixels;
}

TEST_F(BlitTest, StretchStepsThroughTheSourceInSixteenSixteen) {
    const Bytes row = {10, 11, 12, 13, 14, 15};
    EXPECT_EQ(StretchRow(row, 0, 5, 6), row);                          // step 65536
    EXPECT_EQ(StretchRow(row, 0, 2, 3), (Bytes{10, 12, 14}));          // step 131072
    EXPECT_EQ(StretchRow({10, 11}, 0, 3, 4), (Bytes{10, 10, 11, 11}));  // step 32768
    EXPECT_EQ(StretchRow(row, 5, 0, 6), row);                          // corners in any order
    // A clipped left edge starts at the skipped columns x step: 8 wanted over 4 (step 32768),
    // 3 cut away.
    EXPECT_EQ(StretchRow({10, 11, 12, 13}, -3, 4, 5), (Bytes{11, 12, 12, 13, 13}));
    // A 64-wide source into a single pixel: step 0, the first column.
    Bytes wide(64);
    for (int i = 0; i < 64; ++i) wide[static_cast<size_t>(i)] = static_cast<uint8_t>(100 + i);
    EXPECT_EQ(StretchRow(wide, 3, 3, 5), (Bytes{0, 0, 0, 100, 0}));

    // A source wider than 32767 columns: width x 65536 needs 64 bits.
    Bytes huge(40000);
    for (size_t i = 0; i < huge.size(); ++i) huge[i] = static_cast<uint8_t>(i / 10000 + 1);
    EXPECT_EQ(StretchRow(huge, 0, 3, 4), (Bytes{1, 2, 3, 4}));

    // Rows step the same way: 3 source rows onto 6.
    Picture src(1, 3, [](int, int y) { return static_cast<uint8_t>(20 + y); });
    Picture dst(1, 6);
    Graphic_Stretch_Bitmap(&dst.buf, &src.buf, 0, 0, 0, 5, 0);
    EXPECT_EQ(dst.pixels, (Bytes{20, 20, 21, 21, 22, 22}));
}

TEST_F(BlitTest, StretchModes) {
    const Bytes source = {0, 255, 9};
    struct Case {
        int mode;
        Bytes want;
    };
    // Over 50, 60, 70: three pixels, so the alpha loop's pairs end on an odd pixel.
    const Case cases[] = {
        {0, {0, 255, 9}},      {5, {0, 255, 9}},       {1, {0, 60, 9}},
        {2, {50, 44, 214}},    {3, {32, 191, 105}},    {4, {150, 60, 219}},
    };
    for (const Case& c : cases) {
        Picture src(source), dst(Bytes{50, 60, 70});
        Graphic_Stretch_Bitmap(&dst.buf, &src.buf, 0, 0, 2, 0, c.mode);
        EXPECT_EQ(dst.pixels, c.want) << "mode " << c.mode;
    }
}

TEST_F(BlitTest, MirroredStretchesMirrorWithinTheSourceRectangle) {
    // Rows 2..4, columns 1..2 of a 4 x 6 page, doubled in height.
    Picture page(4, 6);
    MakeSpritePage(page, 1, 2, 2, 4, 2, 3);
    Picture dst(2, 6);
    dst.Fill(0);
    Graphic_Stretch_Bitmap(&dst.buf, &page.buf, 0, 0, 1, 5, 6);
    EXPECT_EQ(dst.pixels, (Bytes{41, 42, 41, 42, 31, 0, 31, 0, 21, 22, 21, 22}));
    // Mode 7 blends the same rows through the alpha table.
    dst.Fill(1);
    Graphic_Stretch_Bitmap(&dst.buf, &page.buf, 0, 0, 1, 2, 7);
    EXPECT_EQ(dst.Row(0), (Bytes{44, 45}));
    EXPECT_EQ(dst.Row(1), (Bytes{34, 1}));
    EXPECT_EQ(dst.Row(2), (Bytes{24, 25}));
    // Cut at the top: the first row shown is the second of the mirror.
    dst.Fill(0);
    Graphic_Stretch_Bitmap(&dst.buf, &page.buf, 0, -1, 1, 1, 6);
    EXPECT_EQ(dst.Row(0), (Bytes{31, 0}));
    EXPECT_EQ(dst.Row(1), (Bytes{21, 22}));
}

TEST_F(BlitTest, AStretchedRowWiderThanTwoThousandPixelsStaysInItsBuffers) {
    Picture src(Bytes{5, 6, 7});
    Picture dst(3000, 2);
    Graphic_Stretch_Bitmap(&dst.buf, &src.buf, 0, 0, 2999, 1, 0);
    EXPECT_EQ(dst.At(0, 0), 5);
    EXPECT_EQ(dst.At(1500, 1), 6);
    EXPECT_EQ(dst.At(2999, 1), 7);
    // Mirrored, flipped onto the same width.
    Graphic_Stretch_Bitmap(&dst.buf, &src.buf, 0, 0, 2999, 1, 6);
    EXPECT_EQ(dst.At(2999, 0), 7);
}

// ---- Onto itself: the screen shake ----------------------------------------------------------------

TEST_F(BlitTest, ABufferCopiedOntoItselfReadsEverySourcePixelBeforeOverwritingIt) {
    for (auto [dx, dy] : {std::pair{-3, -1}, std::pair{2, 1}}) {
        Picture pic(8, 5, [](int x, int y) { return static_cast<uint8_t>(1 + x + 8 * y); });
        const Bytes before = pic.pixels;
        RenderView view{};
        view.buffer = &pic.buf;
        Graphic_ShakePicture(&view, dx, dy);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 8; ++x) {
                int sx = x - dx, sy = y - dy;
                uint8_t d = before[static_cast<size_t>(y) * 8 + x];
                uint8_t want = d;
                if (sx >= 0 && sx < 8 && sy >= 0 && sy < 5)
                    want = TranslucencyTable[before[static_cast<size_t>(sy) * 8 + sx]][d];
                EXPECT_EQ(pic.At(x, y), want) << dx << "," << dy << " at " << x << "," << y;
            }
    }
    // The opaque and keyed copies too.
    Picture pic(Bytes{1, 2, 3, 4, 5, 6});
    Graphic_Copy_Bitmap(&pic.buf, &pic.buf, 2, 0, 0);
    EXPECT_EQ(pic.pixels, (Bytes{1, 2, 1, 2, 3, 4}));
    Graphic_Copy_Bitmap(&pic.buf, &pic.buf, -1, 0, 1);
    EXPECT_EQ(pic.pixels, (Bytes{2, 1, 2, 3, 4, 4}));
}

TEST_F(BlitTest, TheRenderersInstallerGivesTheShakeItsMove) {
    const RenderSeam saved = Seam_Render();
    ShakeServices services{[] { return 0.1f; }, [] { return true; }, nullptr};
    Shake_SetServices(&services);
    Render_InstallSeam();
    Picture pic(16, 8, [](int x, int y) { return static_cast<uint8_t>(x + 16 * y); });
    const Bytes before = pic.pixels;
    RenderView view{};
    view.buffer = &pic.buf;
    Shake_Start(8.0f);  // amplitude 7, lerped towards 0 by 0.2: 5.6, a move by (-6, -3)
    Shake_Apply(&view);
    EXPECT_EQ(pic.At(0, 0), TranslucencyTable[before[3 * 16 + 6]][before[0]]);
    EXPECT_EQ(pic.At(15, 7), before[7 * 16 + 15]);

    Seam_Render() = saved;
    Shake_SetServices(nullptr);
    Shake_Reset();
    Objkr_ResetServices();
    ObjLoad_ResetServices();
}

}  // namespace
