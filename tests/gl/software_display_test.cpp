// The software display on a real window: frames presented through the driver record are read
// back from the X server, pixel for pixel, and must show the palette's colours.
#include <gtest/gtest.h>
// X11 defines macros (None, Bool, Status) that clash with gtest: include it after.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "gl_support.h"
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "content.h"
#include "core/seams/shell.h"
#include "platform/surface.h"
#include "platform/system.h"
#include "platform/window.h"
#include "render/display.h"
#include "render/graphicdriver.h"
#include "render/palette.h"

namespace {

LResult TestProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    return Plat_DefWindowProc(window, message, wParam, lParam);
}

void PumpPlatform() {
    PlatMsg msg;
    while (Plat_PeekMessage(&msg, true)) Plat_DispatchMessage(&msg);
}

// In this process: the software driver opens its window through the sdl backend, draws a pattern
// in three palette colours and presents it; the window shows the colours where they were drawn,
// with the last column and row mended from their neighbours.
TEST(GlSoftwareDisplay, PresentedFrameShowsThePaletteColoursInTheWindow) {
    Display* display = OpenTestDisplay();
    ASSERT_NE(display, nullptr) << "needs a display (run under xvfb-run)";
    ASSERT_TRUE(Plat_Init(BackendKind::Sdl));
    Plat_RegisterClass("GvSoftwareDisplay", TestProc);
    Seam_Shell().playerDef()[kPlayerDefCard] = 0;

    // A palette with three plain colours; entry 0 stays black.
    std::memset(GamePalette, 0, sizeof GamePalette);
    const uint8_t colours[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    for (int i = 0; i < 3; ++i) std::memcpy(GamePalette + (10 + i) * 3, colours[i], 3);
    Palette_BuildGammaCurves();
    GraphicD3DFlags = 0;
    Graphic_ClearRecord(&g_graphicDriver);
    GraphicDriver* driver = Graphic_ChooseDriver(&g_graphicDriver, nullptr, "GvSoftwareDisplay");
    ASSERT_EQ(driver->errorCode, 0);
    ASSERT_EQ(driver->driverKind, kDriverSoftware);
    ASSERT_EQ(driver->SetMode(driver, 7), 1);  // 400 x 300
    ASSERT_EQ(driver->screen.width, 400);

    // Left half colour 10, right half 11, a band of 12 across rows 100..149; the last column and
    // row hold 0, which the present mends away.
    GraphicBuffer& screen = driver->screen;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            screen.pixels[y * 400 + x] = x == 399 || y == 299 ? 0 : (y >= 100 && y < 150) ? 12 : x < 200 ? 10 : 11;
    ASSERT_EQ(driver->Present(driver), 1);

    Window window = 0;
    ASSERT_TRUE(Eventually([&] {
        PumpPlatform();
        window = FindByName(display, DefaultRootWindow(display), "GvSoftwareDisplay");
        return window != 0;
    }));
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
    EXPECT_EQ(attributes.width, 400);
    EXPECT_EQ(attributes.height, 300);

    const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255};
    struct Probe {
        int x, y;
        Rgb expected;
    };
    const Probe probes[] = {{5, 5, red}, {390, 5, green}, {399, 5, green}, {5, 120, blue},
                            {399, 120, blue}, {5, 299, red}, {399, 299, green}, {199, 200, red}, {200, 200, green}};
    ASSERT_TRUE(Eventually([&] {
        PumpPlatform();
        driver->Present(driver);
        return ReadPixel(display, window, 5, 5) == red;
    })) << "the frame never reached the window";
    for (const Probe& p : probes) {
        Rgb got = ReadPixel(display, window, p.x, p.y);
        EXPECT_EQ(got, p.expected) << "at " << p.x << "," << p.y << ": " << got.r << " " << got.g << " " << got.b;
    }

    // The window made larger shows the same frame stretched over it.
    Plat_SetWindowSize(driver->window, 800, 600);
    ASSERT_TRUE(Eventually([&] {
        PumpPlatform();
        driver->Present(driver);
        return ReadPixel(display, window, 795, 5) == green && ReadPixel(display, window, 10, 250) == blue;
    })) << "the frame was not scaled to the larger window";

    driver->Close(driver);
    Plat_DestroyWindow(driver->window);
    Graphic_ClearRecord(&g_graphicDriver);
    Plat_Shutdown();
    XCloseDisplay(display);
}

// The real program in software mode: its window has the size of display mode 0 and shows the
// frame the game presents, every pixel the colour its palette gives the sky colour index.
TEST(GlSoftwareDisplay, GravenholtInSoftwareModePresentsItsFrameInTheWindow) {
    Display* display = OpenTestDisplay();
    ASSERT_NE(display, nullptr) << "needs a display (run under xvfb-run)";
    char pattern[] = "/tmp/gvgl-XXXXXX";
    std::string dir = mkdtemp(pattern);
    std::string error;
    ASSERT_TRUE(content::WriteWorld(dir, &error)) << error;

    pid_t child = StartGravenholt(dir, {"-nointro", "-SW", "-win"});
    ASSERT_GE(child, 0);

    Window window = 0;
    EXPECT_TRUE(WaitForStage(child, "a window captioned Gravenholt", [&] {
        window = FindByName(display, DefaultRootWindow(display), "Gravenholt", child);
        return window != 0;
    }));

    bool sized = false, uniform = false;
    Rgb seen{};
    if (window) {
        // Mode 0 of the software driver: 640 x 480.
        sized = Eventually([&] {
            XWindowAttributes attributes{};
            return XGetWindowAttributes(display, window, &attributes) && attributes.width == 640 &&
                   attributes.height == 480 && attributes.map_state == IsViewable;
        });
        // No map is loaded, so no map palette is installed: every entry the game shows is black,
        // and the cleared sky-colour frame must be black in every corner and the middle.
        uniform = Eventually([&] {
            seen = ReadPixel(display, window, 320, 240);
            for (auto [x, y] : {std::pair{0, 0}, {639, 0}, {0, 479}, {639, 479}, {320, 240}})
                if (!(ReadPixel(display, window, x, y) == Rgb{0, 0, 0})) return false;
            return true;
        });
    }
    kill(child, SIGTERM);
    int status = 0;
    if (!WaitForExit(child, &status)) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    XCloseDisplay(display);
    // The run must have written its crash-detect record in the profile directory.
    EXPECT_EQ(std::filesystem::file_size(dir + "/session.sts"), 8u);
    std::filesystem::remove_all(dir);
    EXPECT_TRUE(sized) << "the window does not have the size of display mode 0";
    EXPECT_TRUE(uniform) << "the window does not show the presented frame; middle pixel " << seen.r << " " << seen.g
                         << " " << seen.b;
}

}  // namespace
