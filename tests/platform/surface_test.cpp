#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/surface.h"
#include "platform/system.h"
#include "platform/window.h"

namespace {

using Bytes = std::vector<uint8_t>;

class SurfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        Plat_Init(BackendKind::Headless);
        Plat_RegisterClass("SurfaceTest", Plat_DefWindowProc);
        window_ = Plat_CreateWindow("SurfaceTest", "SurfaceTest", 8, 8);
        ASSERT_NE(window_, 0u);
    }
    void TearDown() override {
        if (Plat_IsWindow(window_)) Plat_DestroyWindow(window_);
        Plat_SetFakeDesktopSize(0, 0);
        Plat_Shutdown();
    }
    WindowHandle window_ = 0;
};

TEST_F(SurfaceTest, EightBitFramesAreShownThroughThePaletteRowByRowWithTheirPitch) {
    const uint8_t pixels[2] = {};
    EXPECT_FALSE(Plat_SurfacePresent8(window_, pixels, 1, 1, 1));  // not open
    ASSERT_TRUE(Plat_SurfaceOpen(window_));
    ASSERT_TRUE(Plat_SurfaceOpen(window_));  // a second open keeps it
    uint8_t palette[768] = {};
    palette[3] = 10, palette[4] = 20, palette[5] = 30;      // 1
    palette[6] = 255, palette[7] = 128, palette[8] = 0;     // 2
    ASSERT_TRUE(Plat_SurfaceSetPalette(window_, palette));
    // Two rows of three pixels in rows of four: the fourth byte of each row is not shown.
    const uint8_t frame[8] = {1, 2, 0, 9, 2, 2, 1, 9};
    ASSERT_TRUE(Plat_SurfacePresent8(window_, frame, 3, 2, 4));
    PlatFrame shown;
    ASSERT_TRUE(Plat_SurfaceLastFrame(window_, &shown));
    EXPECT_EQ(shown.width, 3);
    EXPECT_EQ(shown.height, 2);
    EXPECT_EQ(shown.rgb, (Bytes{10, 20, 30, 255, 128, 0, 0, 0, 0, 255, 128, 0, 255, 128, 0, 10, 20, 30}));
    EXPECT_EQ(Plat_SurfacePresentCount(window_), 1);

    // The palette changing afterwards leaves the shown frame as it was.
    palette[3] = 99;
    Plat_SurfaceSetPalette(window_, palette);
    ASSERT_TRUE(Plat_SurfaceLastFrame(window_, &shown));
    EXPECT_EQ(shown.rgb[0], 10);

    for (auto [w, h, pitch] : {std::tuple{0, 1, 1}, {1, 0, 1}, {4, 1, 3}, {-1, 2, 2}})
        EXPECT_FALSE(Plat_SurfacePresent8(window_, frame, w, h, pitch)) << w << " " << h << " " << pitch;
    EXPECT_FALSE(Plat_SurfacePresent8(window_, nullptr, 1, 1, 1));
}

TEST_F(SurfaceTest, SixteenBitFramesWidenEachChannelToFullRange) {
    ASSERT_TRUE(Plat_SurfaceOpen(window_));
    const uint8_t indexed[1] = {7};  // an 8-bit frame before it is replaced, not mixed in
    ASSERT_TRUE(Plat_SurfacePresent8(window_, indexed, 1, 1, 1));
    const uint16_t frame[4] = {0xFFFF, 0xF800, 0x07E0, 0x0841};
    ASSERT_TRUE(Plat_SurfacePresent16(window_, frame, 2, 2, 2));
    PlatFrame shown;
    ASSERT_TRUE(Plat_SurfaceLastFrame(window_, &shown));
    EXPECT_EQ(shown.rgb, (Bytes{255, 255, 255, 255, 0, 0, 0, 255, 0, 8, 8, 8}));
}

TEST_F(SurfaceTest, ClosingOrDestroyingTheWindowForgetsTheFrameAndAPictureCanBeSaved) {
    ASSERT_TRUE(Plat_SurfaceOpen(window_));
    const std::string path = std::filesystem::temp_directory_path() / "gv_surface_test.ppm";
    EXPECT_FALSE(Plat_SurfaceSaveFrame(window_, path.c_str()));  // nothing presented yet
    uint8_t palette[768] = {};
    palette[3] = 1, palette[4] = 2, palette[5] = 3;
    Plat_SurfaceSetPalette(window_, palette);
    const uint8_t frame[2] = {1, 0};
    ASSERT_TRUE(Plat_SurfacePresent8(window_, frame, 2, 1, 2));
    ASSERT_TRUE(Plat_SurfaceSaveFrame(window_, path.c_str()));
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, std::string("P6\n2 1\n255\n\x01\x02\x03\0\0\0", 17));
    std::filesystem::remove(path);

    Plat_SurfaceClose(window_);
    PlatFrame shown;
    EXPECT_FALSE(Plat_SurfaceLastFrame(window_, &shown));
    ASSERT_TRUE(Plat_SurfaceOpen(window_));
    ASSERT_TRUE(Plat_SurfacePresent8(window_, frame, 2, 1, 2));
    Plat_DestroyWindow(window_);
    EXPECT_FALSE(Plat_SurfaceIsOpen(window_));
    EXPECT_FALSE(Plat_SurfaceOpen(window_));  // no window, no surface
}

TEST_F(SurfaceTest, DesktopSizeAndWindowPlacement) {
    Plat_SetFakeDesktopSize(800, 600);
    int w = 0, h = 0;
    Plat_GetDesktopSize(&w, &h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    Plat_SetFakeDesktopSize(0, 0);
    Plat_GetDesktopSize(&w, &h);
    EXPECT_GT(w, 0);
    EXPECT_GT(h, 0);
    EXPECT_EQ(Plat_DisplayColourCount(window_), -1);

    EXPECT_TRUE(Plat_IsWindowBordered(window_));
    Plat_SetWindowBordered(window_, false);
    EXPECT_FALSE(Plat_IsWindowBordered(window_));
    Plat_SetWindowPosition(window_, 30, 40);
    PlatRect outer, inner;
    ASSERT_TRUE(Plat_GetWindowRect(window_, &outer));
    ASSERT_TRUE(Plat_GetClientRect(window_, &inner));
    EXPECT_EQ(outer.left, 30);
    EXPECT_EQ(outer.top, 40);
    EXPECT_EQ(outer.right - outer.left, inner.right - inner.left);  // no frame of its own
    EXPECT_EQ(outer.bottom - outer.top, 8);
}

}  // namespace
