#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "platform/random.h"
#include "render/graphicbuffer.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/texcache.h"
#include "render/view.h"

namespace {

// An 8-bit image with its header, texels and a few spare bytes.
std::vector<uint8_t> MakeImage(int w, int h, uint8_t (*texel)(int x, int y), uint16_t format = 0) {
    std::vector<uint8_t> bytes(kTextureHeaderSize + static_cast<size_t>(w) * h + 16, 0);
    bytes[0] = static_cast<uint8_t>(w);
    bytes[1] = static_cast<uint8_t>(w >> 8);
    bytes[2] = static_cast<uint8_t>(format);
    bytes[3] = static_cast<uint8_t>(format >> 8);
    bytes[4] = static_cast<uint8_t>(h);
    bytes[5] = static_cast<uint8_t>(h >> 8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bytes[kTextureHeaderSize + static_cast<size_t>(y) * w + x] = texel(x, y);
    return bytes;
}
const TextureImage* Image(const std::vector<uint8_t>& bytes) {
    return reinterpret_cast<const TextureImage*>(bytes.data());
}

RenderVertex V(float x, float y, float u = 0, float v = 0, float light = 1.0f, float q = 1.0f) {
    return RenderVertex{x, y, q, u, v, light};
}

class RasterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Make(32, 32);
        // Luma row r of colour c reads r: the pixel shows the light level used.
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c) LumaTable[r][c] = static_cast<uint8_t>(r);
        Raster_PixelDouble = 0;
    }
    void TearDown() override { Graphic_FreeBuffer(&buf); }
    void Make(int w, int h) {
        Graphic_FreeBuffer(&buf);
        Graphic_InitBuffer(&buf, w, h, nullptr, kGraphicFormat8);
        Graphic_Clear(&buf, 0);
    }
    uint8_t At(int x, int y) const { return buf.pixels[y * buf.width + x]; }
    std::set<int> RowsSet() const {
        std::set<int> rows;
        for (int y = 0; y < buf.height; ++y)
            for (int x = 0; x < buf.width; ++x)
                if (At(x, y) != 0) rows.insert(y);
        return rows;
    }
    std::vector<int> RowSpan(int y) const {
        std::vector<int> columns;
        for (int x = 0; x < buf.width; ++x)
            if (At(x, y) != 0) columns.push_back(x);
        return columns;
    }
    GraphicBuffer buf;
};

std::set<int> Range(int from, int to) {
    std::set<int> s;
    for (int i = from; i <= to; ++i) s.insert(i);
    return s;
}

TEST_F(RasterTest, RowsFromCeilTopToCeilBottom) {
    // Light 0.0: level 31, so every covered pixel is non-zero.
    RenderVertex tri[3] = {V(2, 10, 0, 0, 0), V(30, 10, 0, 0, 0), V(2, 20, 0, 0, 0)};
    Raster_FlatFill(&buf, tri, 3, nullptr, 5);
    EXPECT_EQ(RowsSet(), Range(10, 19));

    Graphic_Clear(&buf, 0);
    RenderVertex low[3] = {V(2, 10.2f, 0, 0, 0), V(30, 10.2f, 0, 0, 0), V(2, 20.2f, 0, 0, 0)};
    Raster_FlatFill(&buf, low, 3, nullptr, 5);
    EXPECT_EQ(RowsSet(), Range(11, 20));
}

TEST_F(RasterTest, SpanColumnsFromCeilLeftToCeilRight) {
    RenderVertex quad[4] = {V(5, 0, 0, 0, 0), V(9, 0, 0, 0, 0), V(9, 1, 0, 0, 0), V(5, 1, 0, 0, 0)};
    Raster_FlatFill(&buf, quad, 4, nullptr, 1);
    EXPECT_EQ(RowSpan(0), (std::vector<int>{5, 6, 7, 8}));
    EXPECT_EQ(RowsSet(), Range(0, 0));

    Graphic_Clear(&buf, 0);
    RenderVertex thin[4] = {V(5.5f, 0, 0, 0, 0), V(5.9f, 0, 0, 0, 0), V(5.9f, 4, 0, 0, 0), V(5.5f, 4, 0, 0, 0)};
    Raster_FlatFill(&buf, thin, 4, nullptr, 1);
    EXPECT_TRUE(RowsSet().empty());
}

TEST_F(RasterTest, LaterOfTiedTopVerticesStartsTheWalk) {
    RenderVertex tri[3] = {V(0, 10.2f), V(20, 10.9f), V(10, 30)};
    EXPECT_EQ(Raster_TopVertex(tri, 3, false), 1);  // both round up to row 11
    EXPECT_EQ(Raster_TopVertex(tri, 3, true), 0);   // the Gouraud fill compares the raw y
    RenderVertex same[3] = {V(0, 4), V(10, 20), V(20, 4)};
    EXPECT_EQ(Raster_TopVertex(same, 3, false), 2);
    EXPECT_EQ(Raster_TopVertex(same, 3, true), 2);
}

TEST_F(RasterTest, LightOneReadsRowZeroAndZeroReadsRow31) {
    std::vector<uint8_t> img = MakeImage(4, 4, [](int, int) -> uint8_t { return 9; });
    struct Case {
        RasteriserFn drawer;
        const TextureImage* texture;
    } cases[] = {{Raster_FlatFill, nullptr}, {Raster_GouraudFill, nullptr}, {Raster_TexPerspLit, Image(img)},
                 {Raster_TexPerspFlatLit, Image(img)}, {Raster_TexPerspLitKey, Image(img)}};
    for (const Case& c : cases) {
        for (float light : {1.0f, 0.0f}) {
            Graphic_Clear(&buf, 200);
            RenderVertex quad[4] = {V(1, 1, 0, 0, light), V(20, 1, 1, 0, light), V(20, 20, 1, 1, light),
                                    V(1, 20, 0, 1, light)};
            c.drawer(&buf, quad, 4, c.texture, 3);
            uint8_t want = light == 1.0f ? 0 : 31;
            for (int y = 1; y < 20; ++y)
                for (int x = 1; x < 20; ++x) ASSERT_EQ(At(x, y), want) << x << "," << y << " light " << light;
        }
    }
}

TEST_F(RasterTest, GouraudInterpolatesTheLevelAcrossTheSpan) {
    // Light 1.0 at the left, 0.0 at the right: the rows climb from 0 to 30 over 31 pixels.
    RenderVertex quad[4] = {V(0, 0, 0, 0, 1), V(31, 0, 0, 0, 0), V(31, 2, 0, 0, 0), V(0, 2, 0, 0, 1)};
    Raster_GouraudFill(&buf, quad, 4, nullptr, 7);
    for (int x = 0; x < 31; ++x) EXPECT_EQ(At(x, 0), x) << x;
    EXPECT_EQ(At(31, 0), 0);  // the right edge itself is not covered
}

TEST_F(RasterTest, KeyedTexelsLeaveTheDestination) {
    // Checker of 255 (transparent) and 40; 17 columns over 16 pixels (scale width - 1).
    std::vector<uint8_t> img =
        MakeImage(17, 17, [](int x, int y) -> uint8_t { return ((x + y) & 1) ? 255 : 40; });
    Graphic_Clear(&buf, 77);
    RenderVertex quad[4] = {V(0, 0, 0, 0), V(16, 0, 1, 0), V(16, 16, 1, 1), V(0, 16, 0, 1)};
    Raster_TexAffineKey(&buf, quad, 4, Image(img), 0);
    std::set<int> seen;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) seen.insert(At(x, y));
    EXPECT_EQ(seen, (std::set<int>{40, 77}));
    EXPECT_EQ(At(0, 0), 40);
    EXPECT_EQ(At(1, 0), 77);    // column 1 of row 0 is transparent
    EXPECT_EQ(At(20, 20), 77);  // outside the polygon
}

TEST_F(RasterTest, PerspectiveRunsOf16ThenTheRestThenOnePixel) {
    Make(40, 2);
    // Texel value = column; u/z = 1.4 texels a pixel with a width of 256 (scale 255).
    std::vector<uint8_t> img = MakeImage(256, 1, [](int x, int) -> uint8_t { return static_cast<uint8_t>(x); });
    auto span = [&](int n) {
        Graphic_Clear(&buf, 0);
        float u1 = 1.4f * n / 255.0f;
        RenderVertex quad[4] = {V(0, 0, 0, 0), V(float(n), 0, u1, 0), V(float(n), 1, u1, 0), V(0, 1, 0, 0)};
        Raster_TexPersp(&buf, quad, 4, Image(img), 0);
        std::vector<int> row;
        for (int x = 0; x < n; ++x) row.push_back(At(x, 0));
        EXPECT_EQ(At(n, 0), 0);
        return row;
    };
    // 17: one run of 16 with the truncated step (column 20 where 1.4 x 15 gives 21), then the
    // last pixel at the run's exact end value.
    std::vector<int> want17 = {0, 1, 2, 4, 5, 6, 8, 9, 11, 12, 13, 15, 16, 18, 19, 20, 22};
    EXPECT_EQ(span(17), want17);
    // 20: the run of 16, a run of 3 stepped by ceil((end - start) / 3), and the last pixel.
    std::vector<int> want20 = want17;
    want20.push_back(23);
    want20.push_back(25);
    want20.push_back(26);
    EXPECT_EQ(span(20), want20);
}

TEST_F(RasterTest, PixelDoublingWritesPairsForFullRuns) {
    Make(40, 2);
    std::vector<uint8_t> img = MakeImage(32, 1, [](int x, int) -> uint8_t { return static_cast<uint8_t>(x + 1); });
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) LumaTable[r][c] = static_cast<uint8_t>(c);
    // 17 pixels over the 32 columns (scale 32): pairs for the first 16, then one single pixel.
    RenderVertex quad[4] = {V(0, 0, 0, 0), V(17, 0, 17.0f / 32, 0), V(17, 1, 17.0f / 32, 0), V(0, 1, 0, 0)};
    Raster_PixelDouble = 1;
    Raster_TexPerspLit(&buf, quad, 4, Image(img), 0);
    for (int x = 0; x < 16; x += 2) {
        EXPECT_EQ(At(x, 0), At(x + 1, 0)) << x;
        EXPECT_EQ(At(x, 0), x + 1) << x;
    }
    EXPECT_EQ(At(16, 0), 17);
    // Without doubling every pixel samples its own texel.
    Raster_PixelDouble = 0;
    Graphic_Clear(&buf, 0);
    Raster_TexPerspLit(&buf, quad, 4, Image(img), 0);
    for (int x = 0; x < 17; ++x) EXPECT_EQ(At(x, 0), x + 1) << x;
}

TEST_F(RasterTest, PowerOfTwoEntriesRouteByTheTextureWidth) {
    Make(40, 2);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) LumaTable[r][c] = static_cast<uint8_t>(c);
    // One texel per pixel over 17 pixels, every texel different from its neighbours: a pixel
    // pair shows as two equal neighbours.
    auto pairsDrawn = [&](RasteriserFn draw, int width) {
        std::vector<uint8_t> img =
            MakeImage(width, 1, [](int x, int) -> uint8_t { return static_cast<uint8_t>(x % 200 + 1); });
        const float u = 17.0f / static_cast<float>(width);
        RenderVertex quad[4] = {V(0, 0, 0, 0), V(17, 0, u, 0), V(17, 1, u, 0), V(0, 1, 0, 0)};
        Graphic_Clear(&buf, 0);
        draw(&buf, quad, 4, Image(img), 0);
        EXPECT_EQ(At(0, 0), 1);
        EXPECT_EQ(At(16, 0), 17);
        bool pairs = true, singles = true;
        for (int x = 0; x < 16; x += 2) {
            pairs = pairs && At(x, 0) == At(x + 1, 0);
            singles = singles && At(x, 0) == x + 1 && At(x + 1, 0) == x + 2;
        }
        EXPECT_NE(pairs, singles);
        return pairs;
    };
    struct Case {
        RasteriserFn draw;
        int pixelDouble;
        int width;
        bool pairs;
    };
    const Case cases[] = {
        {Raster_DrawerFor(0xED), 1, 256, true},        // the table's lit entry, doubling on
        {Raster_DrawerFor(0xED), 1, 100, false},       // not a power of two: the general drawer
        {Raster_DrawerFor(0xED), 0, 256, false},
        {Raster_TexPerspLitDouble64, 0, 64, true},     // a named pair drawer always pairs
        {Raster_TexPerspLitDouble64, 0, 128, true},    // another width: the pair drawer of 128
        {Raster_TexPerspLitDouble64, 1, 100, false},   // any other width: the general drawer
        {Raster_TexPerspLitDouble32, 0, 256, true},
        {Raster_TexPerspLit64, 1, 256, false},         // single pixels stay single
        {Raster_TexPerspLit256, 1, 32, false},
        {Raster_TexPerspLit128, 0, 100, false},
    };
    for (const Case& c : cases) {
        Raster_PixelDouble = c.pixelDouble;
        EXPECT_EQ(pairsDrawn(c.draw, c.width), c.pairs) << "width " << c.width << " doubling " << c.pixelDouble;
    }
}

TEST_F(RasterTest, RowTableIsBuiltOncePerImage) {
    std::vector<uint8_t> a = MakeImage(8, 8, [](int x, int y) -> uint8_t { return static_cast<uint8_t>(x + y + 1); });
    std::vector<uint8_t> b = MakeImage(8, 8, [](int, int) -> uint8_t { return 3; });
    RenderVertex tri[3] = {V(0, 0, 0, 0), V(10, 0, 1, 0), V(0, 10, 0, 1)};
    Raster_TexAffine(&buf, tri, 3, Image(b), 0);  // make sure a is not the current image
    uint32_t before = Raster_TexRowBuilds();
    Raster_TexAffine(&buf, tri, 3, Image(a), 0);
    Raster_TexPersp(&buf, tri, 3, Image(a), 0);
    Raster_TexAffineWrap(&buf, tri, 3, Image(a), 0);
    EXPECT_EQ(Raster_TexRowBuilds(), before + 1);
    // The table clamps rows -4 .. height + 3 to the image.
    EXPECT_EQ(Raster_TexRow(-4), Raster_TexRow(0));
    EXPECT_EQ(Raster_TexRow(10), Raster_TexRow(7));
    EXPECT_EQ(Raster_TexRow(12), nullptr);
    Raster_TexAffine(&buf, tri, 3, Image(b), 0);
    EXPECT_EQ(Raster_TexRowBuilds(), before + 2);
    Raster_ForgetTexture(Image(b));
    Raster_TexAffine(&buf, tri, 3, Image(b), 0);
    EXPECT_EQ(Raster_TexRowBuilds(), before + 3);
}

TEST_F(RasterTest, OneByOneTextureDrawsFlatAndLit) {
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) LumaTable[r][c] = static_cast<uint8_t>(r * 4 + (c == 66 ? 1 : 0));
    std::vector<uint8_t> img = MakeImage(1, 1, [](int, int) -> uint8_t { return 66; });
    GraphicBuffer* target = &buf;
    RenderView view;
    View_Init(&view, target, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    RenderVertex quad[4] = {V(2, 2, 0, 0, 0.5f), V(12, 2, 1, 0, 0.5f), V(12, 12, 1, 1, 0.5f), V(2, 12, 0, 1, 0.5f)};
    int before = PolygonCount;
    Render_DrawPolygon(&view, quad, 4, Image(img), 0, kPolyTextured | kPolyScreenSpace);
    EXPECT_EQ(PolygonCount, before + 1);
    // Level ceil(0.5 x 7936) = 3968, row 15: LumaTable[15][66].
    EXPECT_EQ(At(5, 5), 15 * 4 + 1);
    // No texture at all: colour 0 through the same row.
    Graphic_Clear(&buf, 0);
    Render_DrawPolygon(&view, quad, 4, nullptr, 99, kPolyTextured | kPolyScreenSpace);
    EXPECT_EQ(At(5, 5), 15 * 4);
}

TEST_F(RasterTest, BlendOperations) {
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            TranslucencyTable[a][b] = static_cast<uint8_t>(a ^ (b << 1));
            AlphaTable[a][b] = static_cast<uint8_t>(a + b);
            RemapTable[a][b] = static_cast<uint8_t>(a * 3 + b);
        }
    std::vector<uint8_t> img = MakeImage(4, 4, [](int, int) -> uint8_t { return 5; });
    std::vector<uint8_t> keyed = MakeImage(4, 4, [](int, int) -> uint8_t { return 255; });
    RenderVertex quad[4] = {V(0, 0, 0, 0), V(8, 0, 1, 0), V(8, 8, 1, 1), V(0, 8, 0, 1)};
    struct Case {
        RasteriserFn drawer;
        const TextureImage* texture;
        uint8_t want;
    } cases[] = {
        {Raster_TexAffineTrans, Image(img), uint8_t(5 ^ (9 << 1))},
        {Raster_TexAffineTransRev, Image(img), uint8_t(9 ^ (5 << 1))},
        {Raster_TexPerspTrans, Image(img), uint8_t(5 ^ (9 << 1))},
        {Raster_TexAffineAlphaKey, Image(img), 14},
        {Raster_TexAffineAlphaKey, Image(keyed), 9},
        {Raster_TexAffineRemapWrap, Image(img), 24},
        {Raster_FlatAlphaFill, nullptr, 3 + 9},
        {Raster_None, Image(img), 9},
    };
    for (const Case& c : cases) {
        Graphic_Clear(&buf, 9);
        c.drawer(&buf, quad, 4, c.texture, 3);
        EXPECT_EQ(At(4, 4), c.want);
    }
}

TEST_F(RasterTest, DispatchTableChoices) {
    EXPECT_EQ(Raster_DrawerFor(0x14), Raster_TexPersp);
    EXPECT_EQ(Raster_DrawerFor(0x1C), Raster_TexAffine);
    EXPECT_EQ(Raster_DrawerFor(0x05), Raster_TexAffine);
    EXPECT_EQ(Raster_DrawerFor(0x07), Raster_None);
    EXPECT_EQ(Raster_DrawerFor(0x5F), Raster_TexPerspLitKeyWrap);
    EXPECT_EQ(Raster_DrawerFor(0x4F), Raster_None);
    EXPECT_EQ(Raster_DrawerFor(0xED), Raster_TexPerspLit);
    EXPECT_EQ(Raster_DrawerFor(0xD4), Raster_TexPerspAlphaKey);
    EXPECT_EQ(Raster_DrawerFor(0x1D4), Raster_TexPerspTrans);
    EXPECT_EQ(Raster_DrawerFor(0x10A), Raster_None);
    EXPECT_EQ(Raster_DrawerFor(0x0A), Raster_FlatFill);
    EXPECT_EQ(Raster_DrawerFor(0xE3), Render_DrawOutline);
    EXPECT_EQ(Raster_DrawerFor(0x1C8), Raster_FlatFill);
    EXPECT_EQ(Raster_DrawerFor(0xC8), Raster_FlatAlphaFill);
}

TEST_F(RasterTest, NothingLeavesTheClipRectangleOrTheImage) {
    // Vertices far outside the clip rectangle and texture coordinates far outside 0..1: the
    // drawers clamp instead of writing or reading out of bounds (ASan watches).
    std::vector<uint8_t> img = MakeImage(5, 3, [](int x, int) -> uint8_t { return static_cast<uint8_t>(x + 1); });
    std::vector<uint8_t> tall = MakeImage(2, 600, [](int, int y) -> uint8_t { return static_cast<uint8_t>(y); });
    std::vector<uint8_t> formatted = MakeImage(4, 4, [](int, int) -> uint8_t { return 8; }, 7);
    Graphic_SetClipRect(&buf, 4, 4, 27, 27);
    RenderVertex wild[4] = {V(-50, -40, -3, -2), V(90, -10, 4, -1), V(70, 80, 9, 7), V(-20, 60, -5, 5)};
    for (uint32_t flags = 0; flags < 512; ++flags) {
        for (const TextureImage* texture : {Image(img), Image(tall), Image(formatted)}) {
            RenderVertex copy[4];
            std::memcpy(copy, wild, sizeof copy);
            Raster_DrawerFor(flags)(&buf, copy, 4, texture, 1);
        }
    }
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (x < 4 || y < 4 || x > 27 || y > 27) {
                ASSERT_EQ(At(x, y), 0) << x << "," << y;
            }
        }
    }
    // A format word does not change the width the drawers use.
    EXPECT_EQ(Raster_TextureWidth(Image(formatted)), 4);
}

// The reference: the triangle covers integer sample (x, y) when y lies in [top, bottom) and x
// in [left, right) of the triangle's cross-section at y. Samples within a hair of an edge are
// left out (float edge stepping may fall either way there).
TEST_F(RasterTest, RandomTrianglesMatchTheSampleInsideTest) {
    Make(64, 64);
    Random_Seed(1234);
    auto rnd = [] { return static_cast<double>(Random_Next()) / 32767.0; };
    int mismatches = 0, ambiguous = 0, covered = 0;
    for (int trial = 0; trial < 400; ++trial) {
        Graphic_Clear(&buf, 0);
        double px[3], py[3];
        RenderVertex tri[3];
        for (int i = 0; i < 3; ++i) {
            px[i] = static_cast<float>(rnd() * 63.0);
            py[i] = static_cast<float>(rnd() * 63.0);
            tri[i] = V(static_cast<float>(px[i]), static_cast<float>(py[i]), 0, 0, 0);
        }
        Raster_FlatFill(&buf, tri, 3, nullptr, 1);
        for (int y = 0; y < 64; ++y) {
            double lo = 1e9, hi = -1e9;
            bool any = false;
            double ymin = std::min({py[0], py[1], py[2]}), ymax = std::max({py[0], py[1], py[2]});
            for (int i = 0; i < 3; ++i) {
                int j = (i + 1) % 3;
                double y0 = py[i], y1 = py[j];
                if (y0 == y1) continue;
                if ((y >= y0 && y <= y1) || (y >= y1 && y <= y0)) {
                    double x = px[i] + (px[j] - px[i]) * (y - y0) / (y1 - y0);
                    lo = std::min(lo, x);
                    hi = std::max(hi, x);
                    any = true;
                }
            }
            bool rowIn = any && y >= ymin && y < ymax;
            bool rowEdge = std::fabs(y - ymin) < 1e-3 || std::fabs(y - ymax) < 1e-3;
            for (int x = 0; x < 64; ++x) {
                bool want = rowIn && x >= lo && x < hi;
                bool edge = rowEdge || (any && (std::fabs(x - lo) < 1e-3 || std::fabs(x - hi) < 1e-3));
                bool got = At(x, y) != 0;
                covered += got;
                if (got == want) continue;
                if (edge) ++ambiguous;
                else ++mismatches;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_LT(ambiguous, 20);
    EXPECT_GT(covered, 10000);
}

}  // namespace
