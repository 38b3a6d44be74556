#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "render/draw2d.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/view.h"

namespace {

// Pixels as text: '.' for 0, the digit for 1..9, '*' for anything else.
std::vector<std::string> Art(const GraphicBuffer& b) {
    std::vector<std::string> rows;
    for (int y = 0; y < b.height; ++y) {
        std::string row;
        for (int x = 0; x < b.width; ++x) {
            uint8_t p = b.pixels[y * b.width + x];
            row += p == 0 ? '.' : p <= 9 ? char('0' + p) : '*';
        }
        rows.push_back(row);
    }
    return rows;
}

int CountSet(const GraphicBuffer& b) {
    int n = 0;
    for (int i = 0; i < b.width * b.height; ++i) n += b.pixels[i] != 0;
    return n;
}

class Draw2DTest : public ::testing::Test {
protected:
    void SetUp() override { Make(8, 6); }
    void TearDown() override { Graphic_FreeBuffer(&buf); }
    void Make(int w, int h) {
        Graphic_FreeBuffer(&buf);
        Graphic_InitBuffer(&buf, w, h, nullptr, kGraphicFormat8);
        Graphic_Clear(&buf, 0);
    }
    GraphicBuffer buf;
};

TEST_F(Draw2DTest, BresenhamLineAndItsReverse) {
    EXPECT_EQ(Graphic_DrawLine(&buf, 0, 0, 7, 3, 1, 0), 0);
    const std::vector<std::string> want = {
        "11......",
        "..11....",
        "....11..",
        "......11",
        "........",
        "........",
    };
    EXPECT_EQ(Art(buf), want);
    Graphic_Clear(&buf, 0);
    Graphic_DrawLine(&buf, 2, 5, 2, 1, 2, 0);
    Graphic_DrawLine(&buf, 5, 1, 5, 1, 3, 0);  // one pixel
    const std::vector<std::string> want2 = {
        "........",
        "..2..3..",
        "..2.....",
        "..2.....",
        "..2.....",
        "..2.....",
    };
    EXPECT_EQ(Art(buf), want2);
}

TEST_F(Draw2DTest, ClippedLinesAndRejection) {
    // Wholly left: nothing drawn, the outcode comes back.
    EXPECT_EQ(Graphic_DrawLine(&buf, -9, 1, -1, 4, 1, 0), kOutcodeLeft);
    EXPECT_EQ(Graphic_DrawLine(&buf, 1, 6, 5, 9, 1, 0), kOutcodeBelow);
    EXPECT_EQ(CountSet(buf), 0);
    // (-10, 5) to (10, 5) starts at (0, 5) and ends at the right edge.
    EXPECT_EQ(Graphic_DrawLine(&buf, -10, 5, 10, 5, 1, 0), 0);
    // A diagonal through the corner region, cut on two sides.
    EXPECT_EQ(Graphic_DrawLine(&buf, -2, -2, 10, 10, 2, 0), 0);
    const std::vector<std::string> want = {
        "2.......",
        ".2......",
        "..2.....",
        "...2....",
        "....2...",
        "11111211",
    };
    EXPECT_EQ(Art(buf), want);
}

TEST_F(Draw2DTest, ModesOfLinesAndRectangles) {
    uint8_t saveT[2] = {TranslucencyTable[4][0], TranslucencyTable[0][4]};
    uint8_t saveA = AlphaTable[4][0];
    TranslucencyTable[4][0] = 7;
    TranslucencyTable[0][4] = 8;
    AlphaTable[4][0] = 9;
    Graphic_DrawLine(&buf, 0, 0, 7, 0, 4, 1);  // mode 1: nothing
    Graphic_DrawLine(&buf, 0, 0, 7, 0, 4, 5);  // mode 5: nothing
    Graphic_DrawLine(&buf, 0, 1, 7, 1, 4, 2);
    Graphic_DrawLine(&buf, 0, 2, 7, 2, 4, 3);
    Graphic_DrawLine(&buf, 0, 3, 7, 3, 4, 4);
    Graphic_FillRect(&buf, 0, 4, 1, 5, 4, 1);  // mode 1 fills plainly
    Graphic_FillRect(&buf, 2, 4, 3, 5, 4, 6);  // so does 6
    Graphic_FillRect(&buf, 4, 4, 5, 5, 4, 2);
    Graphic_FillRect(&buf, 6, 4, 7, 5, 4, 4);
    TranslucencyTable[4][0] = saveT[0];
    TranslucencyTable[0][4] = saveT[1];
    AlphaTable[4][0] = saveA;
    const std::vector<std::string> want = {
        "........",
        "77777777",
        "88888888",
        "99999999",
        "44447799",
        "44447799",
    };
    EXPECT_EQ(Art(buf), want);
}

TEST_F(Draw2DTest, FilledRectangleEdges) {
    Graphic_FillRect(&buf, 2, 1, 2, 3, 1, 0);     // one pixel wide
    Graphic_FillRect(&buf, -5, 4, 0, 5, 2, 0);    // right edge on the clip's left edge
    Graphic_FillRect(&buf, 5, -3, 6, 0, 3, 0);    // bottom edge on the clip's top edge
    Graphic_FillRect(&buf, 7, 5, 20, 20, 4, 0);   // left and top on the far edges
    Graphic_FillRect(&buf, 4, 3, 3, 3, 5, 0);     // right < left: nothing
    Graphic_FillRect(&buf, 3, 3, 3, 2, 5, 0);     // bottom < top: nothing
    Graphic_FillRect(&buf, 8, 0, 9, 1, 5, 0);     // wholly right: nothing
    const std::vector<std::string> want = {
        ".....33.",
        "..1.....",
        "..1.....",
        "..1.....",
        "2.......",
        "2......4",
    };
    EXPECT_EQ(Art(buf), want);
}

TEST_F(Draw2DTest, ClipRectangleWithAnOriginDrawsOnlyInsideIt) {
    ASSERT_NE(Graphic_SetClipRect(&buf, 2, 1, 5, 4), -1);
    Graphic_FillRect(&buf, -5, -5, 50, 50, 1, 0);
    Graphic_DrawLine(&buf, -10, 0, 20, 0, 2, 0);   // the clip's top row
    Graphic_DrawLine(&buf, 3, -10, 3, 10, 3, 0);   // the clip's last column
    Graphic_DrawRect(&buf, -1, -1, 10, 10, 4, 0);  // wholly outside the clip
    const std::vector<std::string> want = {
        "........",
        "..2223..",
        "..1113..",
        "..1113..",
        "..1113..",
        "........",
    };
    EXPECT_EQ(Art(buf), want);
}

TEST_F(Draw2DTest, RectangleOutlineAndDiamond) {
    Graphic_DrawRect(&buf, 0, 0, 3, 2, 1, 0);
    Graphic_DrawDiamond(&buf, 5, 3, 2, 2, 0);
    const std::vector<std::string> want = {
        "1111....",
        "1..1.2..",
        "11112.2.",
        "...2...2",
        "....2.2.",
        ".....2..",
    };
    EXPECT_EQ(Art(buf), want);
}

TEST_F(Draw2DTest, CircleSegmentsAreClampedTo12And24) {
    Make(48, 48);
    auto draw = [&](int segments) {
        Graphic_Clear(&buf, 0);
        Graphic_DrawCircle(&buf, 24, 24, 20, segments, 1, 0);
        return Art(buf);
    };
    EXPECT_EQ(draw(4), draw(12));
    EXPECT_EQ(draw(100), draw(24));
    EXPECT_NE(draw(13), draw(12));
    EXPECT_NE(draw(23), draw(24));
    // The first point is (cx + r, cy) and the twelve-gon's points lie on the circle.
    std::vector<std::string> twelve = draw(12);
    EXPECT_EQ(twelve[24][44], '1');
    EXPECT_EQ(twelve[24][45], '.');
}

TEST_F(Draw2DTest, InvalidBufferIsLeftAlone) {
    GraphicBuffer none{};
    EXPECT_EQ(Graphic_DrawLine(&none, 0, 0, 3, 3, 1, 0), 0);
    Graphic_FillRect(&none, 0, 0, 3, 3, 1, 0);
    Graphic_DrawCircle(&none, 1, 1, 5, 12, 1, 0);
    Graphic_DrawLineRaw(nullptr, 0, 0, 3, 3, 1, 0);
    // A raw line leaving the buffer touches only the pixels that exist.
    Graphic_DrawLineRaw(&buf, -3, 2, 12, 2, 1, 0);
    Graphic_FillRectRaw(&buf, 6, 4, 40, 40, 2, 0);
    const std::vector<std::string> want = {
        "........",
        "........",
        "11111111",
        "........",
        "......22",
        "......22",
    };
    EXPECT_EQ(Art(buf), want);
}

struct TwinCall {
    char kind;
    int a, b, c, d, colour, mode;
};
std::vector<TwinCall> g_twinCalls;

TEST_F(Draw2DTest, HardwareScreenTakesTheTwins) {
    Hardware2DTwins twins = {
        [](int a, int b, int c, int d, int colour, int mode) { g_twinCalls.push_back({'L', a, b, c, d, colour, mode}); },
        [](int a, int b, int c, int d, int colour, int mode) { g_twinCalls.push_back({'F', a, b, c, d, colour, mode}); },
    };
    Render_SetHardware2DTwins(&twins);
    GraphicBuffer saved = g_graphicDriver.screen;
    uint32_t savedFlags = GraphicD3DFlags;
    GraphicBuffer& screen = g_graphicDriver.screen;
    screen = GraphicBuffer{};
    screen.width = 640;
    screen.height = 480;
    screen.format = kGraphicFormat16;
    screen.pixels = Graphic_HardwareScreenMarker();
    screen.clipRight = 639;
    screen.clipBottom = 479;
    screen.valid = 1;
    screen.external = 1;
    GraphicD3DFlags = 2;
    g_twinCalls.clear();
    Graphic_DrawLine(&screen, -10, 5, 10, 5, 3, 0);
    Graphic_FillRect(&screen, -4, 470, 8, 500, 6, 2);
    GraphicD3DFlags = 0;
    // Software flag with the marker pointer: nothing is written and nothing is called.
    Graphic_FillRect(&screen, 0, 0, 8, 8, 6, 0);
    Graphic_DrawLine(&screen, 0, 0, 8, 8, 6, 0);
    screen = saved;
    GraphicD3DFlags = savedFlags;
    Render_SetHardware2DTwins(nullptr);
    ASSERT_EQ(g_twinCalls.size(), 2u);
    EXPECT_EQ(g_twinCalls[0].kind, 'L');
    EXPECT_EQ(g_twinCalls[0].a, 0);
    EXPECT_EQ(g_twinCalls[0].c, 10);
    EXPECT_EQ(g_twinCalls[1].kind, 'F');
    EXPECT_EQ(g_twinCalls[1].a, 0);
    EXPECT_EQ(g_twinCalls[1].b, 470);
    EXPECT_EQ(g_twinCalls[1].d, 479);
    EXPECT_EQ(g_twinCalls[1].mode, 2);
}

TEST_F(Draw2DTest, PointsIn3DNeedAWideScreen) {
    for (int width : {400, 480, 481, 640}) {
        Make(width, 300);
        RenderView view;
        View_Init(&view, &buf, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        Render_DrawPoint3D(&view, RenderVertex{0, 0, 10, 0, 0, 0}, 5);
        EXPECT_EQ(CountSet(buf), width > 480 ? 4 : 0) << width;
        if (width == 640) {
            int cx = static_cast<int>(std::lround(view.centreX)), cy = static_cast<int>(std::lround(view.centreY));
            EXPECT_EQ(buf.pixels[cy * width + cx], 5);
            EXPECT_EQ(buf.pixels[(cy + 1) * width + cx + 1], 5);
            // Behind near, beyond far: nothing more.
            Render_DrawPoint3D(&view, RenderVertex{0, 0, 0.05f, 0, 0, 0}, 6);
            Render_DrawPoint3D(&view, RenderVertex{0, 0, 1001, 0, 0, 0}, 6);
            EXPECT_EQ(CountSet(buf), 4);
            // On the clip rectangle's last column only the inside half is drawn.
            Graphic_Clear(&buf, 0);
            float x = (639 - view.centreX) * 10 / view.scaleX;
            Render_DrawPoint3D(&view, RenderVertex{x, 0, 10, 0, 0, 0}, 5);
            EXPECT_EQ(CountSet(buf), 2);
        }
    }
}

TEST_F(Draw2DTest, LinesIn3DAreCutAtNear) {
    Make(640, 480);
    RenderView view;
    View_Init(&view, &buf, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    Render_DrawLine3D(&view, RenderVertex{0, -1, 0.01f, 0, 0, 0}, RenderVertex{0, -1, 0.05f, 0, 0, 0}, 1);
    EXPECT_EQ(CountSet(buf), 0);
    // From behind the eye to a point ahead: a vertical run below the centre down to the edge.
    Render_DrawLine3D(&view, RenderVertex{0, -1, -5, 0, 0, 0}, RenderVertex{0, -1, 20, 0, 0, 0}, 1);
    int cx = static_cast<int>(std::lround(view.centreX));
    EXPECT_EQ(buf.pixels[479 * 640 + cx], 1);
    EXPECT_EQ(buf.pixels[300 * 640 + cx], 1);
    EXPECT_EQ(buf.pixels[200 * 640 + cx], 0);
}

TEST_F(Draw2DTest, OutlineFromCeilEndPointsRelativeToTheClipOrigin) {
    // Clip origin (1, 1): vertices are clip-relative and every end point is ceil(x), ceil(y).
    Graphic_SetClipRect(&buf, 1, 1, 7, 5);
    RenderVertex tri[3] = {{-0.5f, -0.2f, 1, 0, 0, 0}, {4.2f, -0.9f, 1, 0, 0, 0}, {-0.7f, 2.1f, 1, 0, 0, 0}};
    Render_DrawOutline(&buf, tri, 3, nullptr, 0x4403);
    // Edges last-to-first, then each from the previous vertex: the diagonal runs from (5, 0)
    // to (0, 3), which fixes the Bresenham steps.
    const std::vector<std::string> want = {
        "........",
        ".333333.",
        ".3..33..",
        ".333....",
        ".3......",
        "........",
    };
    EXPECT_EQ(Art(buf), want);
}

TEST_F(Draw2DTest, SmallHelpers) {
    EXPECT_EQ(Math_MulDiv(0x40000000, 8, 16), 0x20000000);
    EXPECT_EQ(Math_MulDiv(-7, 3, 2), -10);
    EXPECT_EQ(Math_MulDiv(5, 5, 0), 0);
    Render_InitReciprocals();
    EXPECT_EQ(RenderReciprocals[0], 1.0f);
    EXPECT_EQ(RenderReciprocals[4], 0.25f);
    EXPECT_EQ(RenderReciprocals[639], 1.0f / 639.0f);
}

}  // namespace
