#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/seams/render.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/window.h"
#include "platform/gpu_recording.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/graphicdriver.h"
#include "render/palette.h"

namespace {

struct Calls {
    int presents = 0;
    int locks = 0;
    int unlocks = 0;
    int closes = 0;
    std::vector<uint32_t> clears;
    std::vector<std::vector<uint8_t>> applied;
};
Calls g_calls;

int CountPresent(GraphicDriver*) { return ++g_calls.presents, 1; }
int CountClose(GraphicDriver*) { return ++g_calls.closes, 1; }
int RecordClear(GraphicDriver*, uint32_t colour) { return g_calls.clears.push_back(colour), 1; }
int RecordApply(GraphicDriver*, const uint8_t* palette) {
    g_calls.applied.emplace_back(palette, palette + 768);
    return 1;
}
int (*g_realLock)(GraphicDriver*) = nullptr;
int (*g_realUnlock)(GraphicDriver*) = nullptr;
int CountLock(GraphicDriver* d) { return ++g_calls.locks, g_realLock(d); }
int CountUnlock(GraphicDriver* d) { return ++g_calls.unlocks, g_realUnlock(d); }

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        if (g_graphicDriver.window) Plat_DestroyWindow(g_graphicDriver.window);
        Graphic_ClearRecord(&g_graphicDriver);
        GraphicD3DFlags = 0;
        D3D_ResetState();
        Gpu_ResetRecording();
        Graphic_HardwareScreen() = HardwareScreenState{};
        DisplayMode_Reset();
        CurrentDisplayMode = 0;
        Graphic_SetTextureReload(false);
        g_calls = Calls{};
        Plat_ClearMessageBoxLog();
    }
    // A software record whose display is open on a width x height screen in a window.
    static GraphicDriver& OpenSoftware(int width, int height) {
        GraphicDriver& d = g_graphicDriver;
        Plat_RegisterClass("DriverTest", Plat_DefWindowProc);
        if (!Plat_IsWindow(d.window)) d.window = Plat_CreateWindow("DriverTest", "DriverTest", width, height);
        Graphic_ApplyTemplate(&d, kSoftwareDriverTemplate);
        d.screen.width = width;
        d.screen.height = height;
        EXPECT_EQ(d.Open(&d), 1);
        return d;
    }
    static GraphicDriver& Hardware(int width, int height) {
        GraphicDriver& d = g_graphicDriver;
        Graphic_ApplyTemplate(&d, kHardwareDriverTemplate);
        GraphicD3DFlags = 1 | 2;
        HardwareScreenState& hw = Graphic_HardwareScreen();
        hw.hasBackBuffer = true;
        hw.backWidth = width;
        hw.backHeight = height;
        return d;
    }
};

TEST_F(DriverTest, TemplatesAndTheModeTable) {
    GraphicDriver& d = g_graphicDriver;
    std::strcpy(d.className, "Gravenholt");
    d.palette[10] = 99;
    Graphic_ApplyTemplate(&d, kHardwareDriverTemplate);
    EXPECT_EQ(d.driverKind, kDriverHardware);
    EXPECT_EQ(d.windowed, 1);
    EXPECT_EQ(d.windowStyle, 0xCE0000);
    EXPECT_EQ(d.defaultMode, 0);
    EXPECT_EQ(d.IsSoftware(&d), 0);
    Graphic_ApplyTemplate(&d, kSoftwareDriverTemplate);
    EXPECT_EQ(d.driverKind, kDriverSoftware);
    EXPECT_EQ(d.defaultMode, 5);
    EXPECT_EQ(d.IsSoftware(&d), 1);
    EXPECT_STREQ(d.className, "Gravenholt");  // fields ahead of the template stay
    EXPECT_EQ(d.palette[10], 99);
    EXPECT_EQ(static_cast<void*>(&d), static_cast<void*>(&d.screen));

    const int sizes[8][3] = {{640, 480, 16}, {1600, 1200, 0}, {1280, 1024, 0}, {1024, 768, 0},
                             {800, 600, 0},  {640, 480, 8},   {512, 384, 8},   {400, 300, 8}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(DisplayMode[i].width, sizes[i][0]);
        EXPECT_EQ(DisplayMode[i].height, sizes[i][1]);
        EXPECT_EQ(DisplayMode[i].bitsPerPixel, sizes[i][2]);
        EXPECT_EQ(DisplayMode[i].bufferWidth, sizes[i][0]);
        EXPECT_EQ(DisplayMode[i].available, 0);
    }
}

TEST_F(DriverTest, HardwareLockIsSingleAndUnlockWithoutLockDoesNothing) {
    GraphicDriver& d = Hardware(320, 200);
    EXPECT_EQ(d.Lock(&d), 1);
    EXPECT_EQ(d.Lock(&d), 1);
    EXPECT_TRUE(Graphic_HardwareScreen().locked);
    const GraphicBuffer& s = d.screen;
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 200);
    EXPECT_EQ(s.format, kGraphicFormat16);
    EXPECT_EQ(s.external, 1);
    EXPECT_EQ(s.valid, 1);
    EXPECT_EQ(s.clipRight, 319);
    EXPECT_EQ(s.clipBottom, 199);
    EXPECT_EQ(s.pixels, Graphic_HardwareScreenMarker());
    EXPECT_EQ(d.Unlock(&d), 1);  // one unlock undoes both locks
    EXPECT_FALSE(Graphic_HardwareScreen().locked);
    GraphicBuffer before = d.screen;
    EXPECT_EQ(d.Unlock(&d), 1);
    EXPECT_FALSE(Graphic_HardwareScreen().locked);
    EXPECT_EQ(std::memcmp(&before, &d.screen, sizeof before), 0);
}

TEST_F(DriverTest, HardwareLockWithoutBackBufferFailsAndKeepsItsMarkUntilUnlock) {
    GraphicDriver& d = Hardware(320, 200);
    Graphic_HardwareScreen().hasBackBuffer = false;
    EXPECT_EQ(d.Lock(&d), 0);
    EXPECT_TRUE(Graphic_HardwareScreen().locked);
    EXPECT_EQ(d.Lock(&d), 1);  // already marked
    d.Unlock(&d);
    EXPECT_FALSE(Graphic_HardwareScreen().locked);
}

TEST_F(DriverTest, SoftwareOpenCreatesAClearedScreenAndOffersItsModes) {
    GraphicDriver& d = OpenSoftware(8, 6);
    EXPECT_EQ(d.displayOpen, 1);
    EXPECT_EQ(d.screen.valid, 1);
    EXPECT_EQ(d.screen.format, kGraphicFormat8);
    EXPECT_EQ(std::vector<uint8_t>(d.screen.pixels, d.screen.pixels + 48), std::vector<uint8_t>(48, 0));
    EXPECT_EQ(CurrentDisplayMode, -1);
    for (int mode = 0; mode < 8; ++mode)
        EXPECT_EQ(DisplayMode[mode].available, mode == 0 || mode >= 5) << mode;
    EXPECT_EQ(d.palette[0], 0);  // entry 0 is black on the software display

    EXPECT_EQ(d.Close(&d), 1);
    EXPECT_EQ(d.displayOpen, 0);
    EXPECT_EQ(d.Close(&d), 0);  // already closed

    // No size: no screen buffer, error 3, the display stays closed.
    Graphic_ClearRecord(&d);
    Graphic_ApplyTemplate(&d, kSoftwareDriverTemplate);
    EXPECT_EQ(d.Open(&d), 0);
    EXPECT_EQ(d.errorCode, kGraphicErrorScreenBuffer);
    EXPECT_EQ(d.displayOpen, 0);
}

TEST_F(DriverTest, AnUnavailableModeFailsAndKeepsTheCurrentOneForBothDrivers) {
    GraphicDriver& d = OpenSoftware(640, 480);
    d.desktopWidth = 640;
    d.desktopHeight = 480;
    ASSERT_EQ(d.SetMode(&d, 6), 1);
    EXPECT_EQ(d.screen.width, 512);
    EXPECT_EQ(d.screen.height, 384);
    EXPECT_EQ(d.displayWidth, 512);
    EXPECT_EQ(d.windowStyle, kWindowStyleFramed);
    for (int mode : {1, 9, -1, 64, 1000}) {
        EXPECT_EQ(d.SetMode(&d, mode), 0) << mode;
        EXPECT_EQ(CurrentDisplayMode, 6);
        EXPECT_EQ(d.screen.width, 512);
        EXPECT_EQ(d.screen.valid, 1);
    }
    ASSERT_EQ(d.SetMode(&d, 5), 1);  // the desktop's size: a borderless popup
    EXPECT_EQ(d.windowStyle, kWindowStylePopup);
    d.Close(&d);

    // The hardware driver on the headless recording device, whose adapter offers 640 x 480,
    // 800 x 600 and 1024 x 768 as modes 8 to 10.
    Plat_DestroyWindow(d.window);
    Graphic_ClearRecord(&d);
    GraphicD3DFlags = 1;
    ASSERT_TRUE(Render_ChooseDriver("DriverTest"));
    GraphicDriver& h = g_graphicDriver;
    ASSERT_EQ(h.driverKind, kDriverHardware);
    EXPECT_EQ(h.SetMode(&h, 11), 0);
    EXPECT_EQ(CurrentDisplayMode, 0);
    EXPECT_EQ(h.SetMode(&h, 9), 1);
    EXPECT_EQ(CurrentDisplayMode, 9);
    EXPECT_EQ(h.displayWidth, 800);
    EXPECT_EQ(h.SetMode(&h, 0), 1);  // the desktop window is always there
}

TEST_F(DriverTest, NothingIsPresentedWhileTexturesWaitToBeReloaded) {
    GraphicDriver& d = Hardware(64, 32);
    d.Present = CountPresent;
    Graphic_SetTextureReload(true);
    EXPECT_EQ(Graphic_PresentFrame(), 0);
    EXPECT_EQ(g_calls.presents, 0);
    // Beginning the next scene clears the flag; then the frame is shown again.
    Graphic_BeginScene();
    EXPECT_FALSE(Graphic_TextureReloadPending());
    Graphic_EndScene();
    EXPECT_EQ(Graphic_PresentFrame(), 1);
    EXPECT_EQ(g_calls.presents, 1);
}

TEST_F(DriverTest, SoftwareFrameLocksAndUnlocks) {
    GraphicDriver& d = OpenSoftware(4, 4);
    g_realLock = d.Lock;
    g_realUnlock = d.Unlock;
    d.Lock = CountLock;
    d.Unlock = CountUnlock;
    EXPECT_TRUE(Graphic_LockFrame());
    Graphic_UnlockFrame();
    EXPECT_EQ(g_calls.locks, 1);
    EXPECT_EQ(g_calls.unlocks, 1);
}

TEST_F(DriverTest, FlipBufferCopiesOrStretchesOntoTheScreen) {
    GraphicDriver& d = OpenSoftware(4, 4);
    d.Present = CountPresent;
    uint8_t same[16];
    for (int i = 0; i < 16; ++i) same[i] = static_cast<uint8_t>(i + 1);
    GraphicBuffer src;
    Graphic_InitBuffer(&src, 4, 4, same, kGraphicFormat8);
    EXPECT_EQ(Graphic_FlipBuffer(&src), 1);
    EXPECT_EQ(std::memcmp(d.screen.pixels, same, 16), 0);
    EXPECT_EQ(g_calls.presents, 1);

    uint8_t small[4] = {1, 2, 3, 4};
    Graphic_InitBuffer(&src, 2, 2, small, kGraphicFormat8);
    EXPECT_EQ(Graphic_FlipBuffer(&src), 1);
    const uint8_t stretched[16] = {1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4};
    EXPECT_EQ(std::vector<uint8_t>(d.screen.pixels, d.screen.pixels + 16),
              std::vector<uint8_t>(stretched, stretched + 16));
    EXPECT_EQ(g_calls.presents, 2);
}

TEST_F(DriverTest, FlipBufferOntoTheHardwareScreenWithoutADeviceShowsNothing) {
    GraphicDriver& d = Hardware(64, 32);
    d.Present = CountPresent;
    uint8_t pixels[64] = {};
    GraphicBuffer src;
    Graphic_InitBuffer(&src, 8, 8, pixels, kGraphicFormat8);
    EXPECT_EQ(Graphic_FlipBuffer(&src), 0);
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
    EXPECT_FALSE(Graphic_HardwareScreen().locked);
    EXPECT_EQ(g_calls.presents, 0);
}

TEST_F(DriverTest, ClearingTheScreenGoesThroughTheDriver) {
    GraphicDriver& d = OpenSoftware(4, 4);
    d.Clear = RecordClear;
    d.palette[7 * 3] = 0x12, d.palette[7 * 3 + 1] = 0x34, d.palette[7 * 3 + 2] = 0x56;
    Graphic_Clear(&d.screen, 7);
    Graphic_ApplyTemplate(&d, kHardwareDriverTemplate);
    d.Clear = RecordClear;
    GraphicD3DFlags = 1;
    const uint32_t savedColour = PaletteColors32[7];
    PaletteColors32[7] = 0xFF123456u;  // index 7 as the device shows it
    Graphic_Clear(&d.screen, 7);
    PaletteColors32[7] = savedColour;
    EXPECT_EQ(g_calls.clears, (std::vector<uint32_t>{7u, 0xFF123456u}));
    GraphicD3DFlags = 0;
    Graphic_FreeBuffer(&d.screen);
}

TEST_F(DriverTest, CallHookClosesWhenThereIsSomethingToClose) {
    Graphic_CallHook(nullptr);
    Graphic_CallHook(&g_graphicDriver);  // no Close yet
    g_graphicDriver.Close = CountClose;
    Graphic_CallHook(&g_graphicDriver);
    EXPECT_EQ(g_calls.closes, 1);
}

TEST_F(DriverTest, TheCoreSeamReachesTheRecord) {
    RenderSeam saved = Seam_Render();
    Render_InstallSeam();
    RenderSeam& seam = Seam_Render();

    std::memset(GammaCurves, 0, sizeof GammaCurves);
    seam.initBrightness();
    EXPECT_EQ(GammaCurves[2][33], 32);

    EXPECT_TRUE(seam.driverInitialise(0));  // nothing filled yet: nothing to set up
    GraphicDriver& d = OpenSoftware(640, 480);
    d.ApplyPalette = RecordApply;
    d.Present = CountPresent;
    d.palette[3] = 33;

    seam.driverPause();
    ASSERT_EQ(g_calls.applied.size(), 1u);
    EXPECT_EQ(g_calls.applied[0], std::vector<uint8_t>(768, 0));
    seam.driverResume();
    ASSERT_EQ(g_calls.applied.size(), 2u);
    EXPECT_EQ(g_calls.applied[1][3], 32);  // the palette again, through the curve
    seam.driverPresent();
    EXPECT_EQ(g_calls.presents, 2);

    seam.driverSetMode(6);
    EXPECT_EQ(d.screen.width, 512);
    EXPECT_FALSE(seam.driverInitialise(2));  // not on offer
    EXPECT_EQ(d.screen.width, 512);

    seam.driverRelease();
    EXPECT_EQ(d.displayOpen, 0);
    EXPECT_TRUE(seam.driverWasShutDown());
    EXPECT_TRUE(seam.driverInitialise(5));
    EXPECT_FALSE(seam.driverWasShutDown());
    seam.driverResize();

    // The frame's own calls.
    g_realLock = d.Lock;
    g_realUnlock = d.Unlock;
    d.Lock = CountLock;
    d.Unlock = CountUnlock;
    EXPECT_TRUE(seam.lockFrame());
    seam.unlockFrame();
    EXPECT_EQ(g_calls.locks, 1);
    EXPECT_EQ(g_calls.unlocks, 1);
    Graphic_SetTextureReload(true);
    EXPECT_TRUE(seam.presentForbidden());
    seam.beginScene();
    EXPECT_FALSE(seam.presentForbidden());
    seam.endScene();
    Graphic_SetClipRect(&d.screen, 5, 6, 100, 90);
    PlatRect clip = seam.screenClip();
    EXPECT_EQ(clip.left, 5);
    EXPECT_EQ(clip.top, 6);
    EXPECT_EQ(clip.right, 100);
    EXPECT_EQ(clip.bottom, 90);
    std::memset(d.screen.pixels, 9, 16);
    seam.clearBackground(nullptr);
    EXPECT_EQ(d.screen.pixels[15], 0);

    // Palette services.
    EXPECT_EQ(seam.paletteFindNearest(0.0f, 0.0f, 0.0f), 0);
    TranslucencyTable[255][3] = 7;
    seam.paletteRemapIdentity255();
    EXPECT_EQ(TranslucencyTable[255][3], 3);
    g_calls.applied.clear();
    seam.setPalette();
    ASSERT_EQ(g_calls.applied.size(), 1u);
    EXPECT_EQ(g_calls.applied[0][3], 32);
    Plat_UseVirtualClock(0);
    seam.paletteFade(0.01f, 32);
    EXPECT_EQ(Plat_VirtualSleepTotal(), 320u);
    Plat_UseRealClock();
    EXPECT_EQ(g_calls.applied.size(), 34u);
    EXPECT_EQ(g_calls.applied.back(), std::vector<uint8_t>(768, 0));

    Seam_Render() = saved;
}

}  // namespace
