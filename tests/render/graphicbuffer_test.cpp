#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "render/graphicbuffer.h"
#include "render/graphicdriver.h"
#include "render/palette.h"

namespace {

struct OwnBuffer {
    GraphicBuffer buffer;
    OwnBuffer(int32_t w, int32_t h, int32_t format = kGraphicFormat8) { Graphic_InitBuffer(&buffer, w, h, nullptr, format); }
    ~OwnBuffer() { Graphic_FreeBuffer(&buffer); }
};

std::vector<uint8_t> Bytes(const GraphicBuffer& b) {
    size_t count = static_cast<size_t>(b.width) * b.height * (b.format == kGraphicFormat16 ? 2 : 1);
    return std::vector<uint8_t>(b.pixels, b.pixels + count);
}

TEST(GraphicBuffer, EmptyOrNegativeSizesGiveAnInvalidBufferWithoutMemory) {
    for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-4, 5}, {-4, -5}}) {
        GraphicBuffer b;
        b.valid = 7;
        Graphic_InitBuffer(&b, w, h, nullptr, kGraphicFormat8);
        EXPECT_EQ(b.valid, 0) << w << "x" << h;
        EXPECT_EQ(b.memory, nullptr);
        EXPECT_EQ(b.pixels, nullptr);
        EXPECT_EQ(b.width, 0);
        EXPECT_EQ(Graphic_Clear(&b, 5), 0);
        Graphic_FillClip(&b, 5);  // returns at once
    }
}

TEST(GraphicBuffer, SizesClipAndAlignment) {
    OwnBuffer wide(100, 50, kGraphicFormat16);
    const GraphicBuffer& b = wide.buffer;
    EXPECT_EQ(b.valid, 1);
    EXPECT_EQ(b.external, 0);
    EXPECT_EQ(b.sizeWords, 2500);
    EXPECT_EQ(b.sizeTail, 8);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b.pixels) % 32, 0u);
    EXPECT_GE(b.pixels, b.memory);
    EXPECT_EQ(b.clipLeft, 0);
    EXPECT_EQ(b.clipTop, 0);
    EXPECT_EQ(b.clipRight, 99);
    EXPECT_EQ(b.clipBottom, 49);

    OwnBuffer small(7, 5);
    EXPECT_EQ(small.buffer.sizeWords, 8);  // 35 bytes
    EXPECT_EQ(small.buffer.sizeTail, 3);
}

TEST(GraphicBuffer, CallerMemoryIsNeverFreed) {
    std::vector<uint8_t> memory(64, 0xAB);
    GraphicBuffer b;
    Graphic_InitBuffer(&b, 8, 8, memory.data(), kGraphicFormat8);
    EXPECT_EQ(b.external, 1);
    EXPECT_EQ(b.memory, nullptr);
    EXPECT_EQ(b.pixels, memory.data());
    Graphic_FreeBuffer(&b);
    Graphic_FreeBuffer(&b);  // a second free is harmless
    EXPECT_EQ(b.pixels, nullptr);
    EXPECT_EQ(b.external, 1);
    memory[0] = 1;  // still ours (the sanitiser would object otherwise)
    EXPECT_EQ(memory[63], 0xAB);
}

TEST(GraphicBuffer, OwnMemoryIsFreedOnce) {
    GraphicBuffer b;
    Graphic_InitBuffer(&b, 16, 16, nullptr, kGraphicFormat8);
    Graphic_FreeBuffer(&b);
    EXPECT_EQ(b.memory, nullptr);
    Graphic_FreeBuffer(&b);
}

TEST(GraphicBuffer, ClearFillsEveryPixelOfEitherFormat) {
    OwnBuffer eight(5, 3);
    EXPECT_EQ(Graphic_Clear(&eight.buffer, 0x1C), 0x1C1C1C1C);
    EXPECT_EQ(Bytes(eight.buffer), std::vector<uint8_t>(15, 0x1C));

    // A 16-bit buffer is cleared whole, each pixel the index's 16-bit colour.
    uint16_t saved = PaletteColors16[9];
    PaletteColors16[9] = 0xF81F;
    OwnBuffer sixteen(3, 2, kGraphicFormat16);
    std::memset(sixteen.buffer.pixels, 0x55, 12);
    Graphic_Clear(&sixteen.buffer, 9);
    std::vector<uint8_t> expected;
    for (int i = 0; i < 6; ++i) expected.insert(expected.end(), {0x1F, 0xF8});
    EXPECT_EQ(Bytes(sixteen.buffer), expected);
    PaletteColors16[9] = saved;
}

TEST(GraphicBuffer, FillClipTouchesOnlyTheClipRectangle) {
    OwnBuffer b(6, 4);
    Graphic_Clear(&b.buffer, 0);
    ASSERT_EQ(Graphic_SetClipRect(&b.buffer, 3, 2, 1, 1), 0);
    Graphic_FillClip(&b.buffer, 7);
    const std::vector<uint8_t> expected = {
        0, 0, 0, 0, 0, 0,
        0, 7, 7, 7, 0, 0,
        0, 7, 7, 7, 0, 0,
        0, 0, 0, 0, 0, 0,
    };
    EXPECT_EQ(Bytes(b.buffer), expected);

    uint16_t saved = PaletteColors16[2];
    PaletteColors16[2] = 0x1234;
    OwnBuffer w(3, 2, kGraphicFormat16);
    Graphic_Clear(&w.buffer, 0);
    Graphic_SetClipRect(&w.buffer, 1, 1, 2, 1);
    Graphic_FillClip(&w.buffer, 2);
    uint16_t z = PaletteColors16[0] & 0xFF, zh = PaletteColors16[0] >> 8;
    const std::vector<uint8_t> wide = {uint8_t(z), uint8_t(zh), uint8_t(z), uint8_t(zh), uint8_t(z), uint8_t(zh),
                                       uint8_t(z), uint8_t(zh), 0x34, 0x12, 0x34, 0x12};
    EXPECT_EQ(Bytes(w.buffer), wide);
    PaletteColors16[2] = saved;
}

TEST(GraphicBuffer, NothingWritesThroughTheHardwareScreenMarker) {
    GraphicBuffer b;
    Graphic_InitBuffer(&b, 640, 480, Graphic_HardwareScreenMarker(), kGraphicFormat16);
    Graphic_FillClip(&b, 3);  // would fault if it touched the marker address
    EXPECT_EQ(Graphic_Clear(&b, 3), 0);
}

TEST(GraphicBuffer, ClipRectangleFromCornersInAnyOrder) {
    struct Case {
        int x0, y0, x1, y1;
    };
    const Case cases[] = {{2, 3, 8, 6}, {8, 6, 2, 3}, {2, 6, 8, 3}, {8, 3, 2, 6}};
    for (const Case& c : cases) {
        OwnBuffer b(10, 10);
        EXPECT_EQ(Graphic_SetClipRect(&b.buffer, c.x0, c.y0, c.x1, c.y1), 0);
        EXPECT_EQ(b.buffer.clipLeft, 2);
        EXPECT_EQ(b.buffer.clipTop, 3);
        EXPECT_EQ(b.buffer.clipRight, 8);
        EXPECT_EQ(b.buffer.clipBottom, 6);
    }
    OwnBuffer b(10, 10);
    EXPECT_EQ(Graphic_SetClipRect(&b.buffer, -3, 4, 20, 5), 1);  // cut to the buffer
    EXPECT_EQ(b.buffer.clipLeft, 0);
    EXPECT_EQ(b.buffer.clipRight, 9);
    // Wholly outside: -1 and the rectangle stays.
    EXPECT_EQ(Graphic_SetClipRect(&b.buffer, 12, 0, 15, 3), -1);
    EXPECT_EQ(Graphic_SetClipRect(&b.buffer, 0, -9, 5, -1), -1);
    EXPECT_EQ(b.buffer.clipLeft, 0);
    EXPECT_EQ(b.buffer.clipTop, 4);
    EXPECT_EQ(b.buffer.clipRight, 9);
    EXPECT_EQ(b.buffer.clipBottom, 5);
}

TEST(GraphicBuffer, RectClip) {
    const ClipRect bounds{0, 0, 9, 9};
    struct Case {
        ClipRect in;
        int result;
        ClipRect out;
    };
    const Case cases[] = {
        {{-5, -5, 5, 5}, 1, {0, 0, 5, 5}},
        {{10, 0, 12, 3}, -1, {10, 0, 12, 3}},
        {{2, 2, 7, 7}, 0, {2, 2, 7, 7}},
        {{0, 0, 9, 9}, 0, {0, 0, 9, 9}},
        {{3, -4, 12, -1}, -1, {3, -4, 12, -1}},
        {{9, 9, 30, 30}, 1, {9, 9, 9, 9}},
    };
    for (const Case& c : cases) {
        ClipRect r = c.in;
        EXPECT_EQ(Rect_Clip(&r, bounds), c.result) << c.in.left << "," << c.in.top;
        EXPECT_EQ(r.left, c.out.left);
        EXPECT_EQ(r.top, c.out.top);
        EXPECT_EQ(r.right, c.out.right);
        EXPECT_EQ(r.bottom, c.out.bottom);
    }
}

TEST(GraphicBuffer, DibSectionCarriesThePaletteAsBlueGreenRed) {
    uint8_t saved[768];
    std::memcpy(saved, GamePalette, 768);
    GamePalette[3 * 4 + 0] = 10;
    GamePalette[3 * 4 + 1] = 20;
    GamePalette[3 * 4 + 2] = 30;
    GraphicBuffer b;
    DibSection* dib = nullptr;
    Graphic_CreateDIBBuffer(&b, 12, 4, &dib);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(b.valid, 1);
    EXPECT_EQ(b.external, 1);
    EXPECT_EQ(b.pixels, dib->bits);
    EXPECT_EQ(dib->colours[4][0], 30);
    EXPECT_EQ(dib->colours[4][1], 20);
    EXPECT_EQ(dib->colours[4][2], 10);
    EXPECT_EQ(dib->colours[4][3], 0);
    Graphic_FreeBuffer(&b);  // the bits stay with the section
    Graphic_DeleteDIB(dib);

    Graphic_CreateDIBBuffer(&b, 0, 4, &dib);
    EXPECT_EQ(dib, nullptr);
    EXPECT_EQ(b.valid, 0);
    std::memcpy(GamePalette, saved, 768);
}

}  // namespace
