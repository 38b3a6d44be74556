#include <gtest/gtest.h>

#include "render/graphicdriver.h"
#include "render/radar.h"

namespace {

TEST(RadarTest, TheSoftwareGridIsLinesInTheRadarsColourInsideTheClip) {
    GraphicBuffer b;
    Graphic_InitBuffer(&b, 32, 24, nullptr, kGraphicFormat8);
    Graphic_Clear(&b, 0);
    b.clipLeft = 2, b.clipTop = 2, b.clipRight = 29, b.clipBottom = 21;
    // Two columns and two rows: a square from (1, 1) to (10, 8), clip-relative; the right edge runs
    // past the clip rectangle and is cut.
    const RadarPoint points[4] = {{1, 1, 0}, {40, 1, 0}, {1, 8, 0}, {40, 8, 0}};
    const RadarImage image{points, 2, 2, 9};
    Render_DrawRadar(&b, &image);
    auto at = [&b](int x, int y) { return b.pixels[y * b.width + x]; };
    EXPECT_EQ(at(3, 3), 9);    // a corner, in buffer coordinates
    EXPECT_EQ(at(20, 3), 9);   // the top edge
    EXPECT_EQ(at(3, 7), 9);    // the left edge
    EXPECT_EQ(at(29, 10), 9);  // the bottom edge up to the clip rectangle's right column
    EXPECT_EQ(at(30, 10), 0);  // and not past it
    EXPECT_EQ(at(10, 6), 0);   // inside the square
    // A grid without points, or of no size, draws nothing.
    Graphic_Clear(&b, 0);
    const RadarImage empty{nullptr, 2, 2, 9};
    Render_DrawRadar(&b, &empty);
    const RadarImage flat{points, 0, 2, 9};
    Render_DrawRadar(&b, &flat);
    for (int i = 0; i < 32 * 24; ++i) ASSERT_EQ(b.pixels[i], 0);
    Graphic_FreeBuffer(&b);
}

}  // namespace
