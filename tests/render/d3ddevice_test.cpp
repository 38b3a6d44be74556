#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d3d_fixture.h"
#include "core/seams/shell.h"
#include "render/d3dbatch.h"
#include "support/exit_trap.h"

namespace {

using Strings = std::vector<std::string>;

class D3DDeviceTest : public D3DFixture {};

TEST_F(D3DDeviceTest, EachSettingSetsClearsOrKeepsItsBit) {
    struct Key {
        const char* name;
        uint32_t bit;
    };
    const Key keys[] = {{"Alpha", 0x2},           {"Texture16", 0x8},      {"NoCaps", 0x10},
                        {"HalfTexel", 0x20},      {"TripleBuffer", 0x100}, {"AGPRadar", 0x200},
                        {"SplitZBuffer", 0x2000}, {"MipMaps", 0x4000},     {"PreLoad", 0x8000},
                        {"DrawInTexture", 0x10000}, {"LoadSprites", 0x20000}, {"Buffer32", 0x40000},
                        {"Vsync", 0x80000},       {"HardwareClip", 0x100000}};
    for (const Key& key : keys) {
        SCOPED_TRACE(key.name);
        WriteConfig(std::string(key.name) + "=1\n");
        D3D_ReadSettings();
        EXPECT_EQ(RenderFlags, 0xC412Bu | key.bit);
        WriteConfig(std::string(key.name) + "=0\n");
        D3D_ReadSettings();
        EXPECT_EQ(RenderFlags, 0xC412Bu & ~key.bit);
        WriteConfig("Other=1\n");
        D3D_ReadSettings();
        EXPECT_EQ(RenderFlags, 0xC412Bu);
    }
    // "LargeAssets" is value 4 of the display flags: set, cleared, or kept when missing.
    GraphicD3DFlags = 1;
    WriteConfig("LargeAssets=1\n");
    D3D_ReadSettings();
    EXPECT_EQ(GraphicD3DFlags, 5u);
    WriteConfig("");
    D3D_ReadSettings();
    EXPECT_EQ(GraphicD3DFlags, 5u);
    WriteConfig("LargeAssets=0\n");
    D3D_ReadSettings();
    EXPECT_EQ(GraphicD3DFlags, 1u);
}

TEST_F(D3DDeviceTest, BufferSizeIsClampedToWhatThePrimitivesAndIndicesNeed) {
    struct Case {
        const char* line;
        uint32_t bytes;
        bool traced;
    };
    const Case cases[] = {{"", 262144, false},
                          {"ExecBufSize=100\n", 4096, true},
                          {"ExecBufSize=-5\n", 4096, true},
                          {"ExecBufSize=4096\n", 4096, false},
                          {"ExecBufSize=3000000\n", 2097152, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ResetDriver();
        D3DTraces().clear();
        WriteConfig(c.line);
        ASSERT_TRUE(ChooseHardware());
        EXPECT_EQ(D3D_State().settings.execBufSize, c.bytes);
        const std::string vertices = "createvertexBuffer " + std::to_string(c.bytes);
        const std::string indices = "createindexBuffer " + std::to_string(c.bytes * 6 / 32);
        EXPECT_EQ(Calls("createvertexBuffer ")[0].substr(0, vertices.size()), vertices);
        EXPECT_EQ(Calls("createindexBuffer ")[0].substr(0, indices.size()), indices);
        bool traced = false;
        for (const std::string& line : D3DTraces()) traced = traced || line.rfind("ExecBufSize", 0) == 0;
        EXPECT_EQ(traced, c.traced);
    }
}

TEST_F(D3DDeviceTest, ADeviceThatComesUpFillsTheRecordModesAndFlags) {
    WriteConfig("Alpha=0\nTexture16=0\n");
    ASSERT_TRUE(ChooseHardware());
    GraphicDriver& d = g_graphicDriver;
    EXPECT_EQ(GraphicD3DFlags, 1u | 2u);
    EXPECT_EQ(RenderFlags & 0xA, 0xAu);
    EXPECT_EQ(d.defaultMode, 0);
    EXPECT_EQ(d.screen.width, 640);
    EXPECT_EQ(d.screen.height, 480);
    EXPECT_EQ(d.screen.pixels, Graphic_HardwareScreenMarker());
    EXPECT_TRUE(Plat_IsWindow(d.window));
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
    // The default adapter: 640 x 480, 800 x 600 and 1024 x 768 from entry 8 on.
    const int sizes[3][2] = {{640, 480}, {800, 600}, {1024, 768}};
    for (int i = 0; i < 3; ++i) {
        const DisplayModeEntry& e = DisplayMode[kFirstHardwareMode + i];
        EXPECT_EQ(e.available, 1);
        EXPECT_EQ(e.bitsPerPixel, 16);
        EXPECT_EQ(e.width, sizes[i][0]);
        EXPECT_EQ(e.bufferHeight, sizes[i][1]);
    }
    EXPECT_EQ(DisplayMode[kFirstHardwareMode + 3].available, 0);
    // Mode 0 is the desktop window: a lockable back buffer of the client size, no depth buffer.
    ASSERT_EQ(Calls("createDevice").size(), 1u);
    EXPECT_EQ(Calls("createDevice")[0],
              "createDevice window=" + std::to_string(d.window) +
                  " hardware 640x480 xrgb8888 buffers=2 ms=0/0 windowed lockable depth=unknown refresh=0 -> ok");
    EXPECT_EQ(D3D_State().depthFormat, GpuFormat::Depth32);
    EXPECT_TRUE(Graphic_Initialise(0));
}

TEST_F(D3DDeviceTest, BackBufferFormatsAreTriedInOrder) {
    Script().backFormats = {GpuFormat::Xrgb4444};
    ASSERT_TRUE(ChooseHardware());
    EXPECT_EQ(Calls("checkDeviceType"),
              (Strings{"checkDeviceType xrgb8888 windowed -> not available", "checkDeviceType rgb888 windowed -> not available",
                       "checkDeviceType rgb565 windowed -> not available", "checkDeviceType xrgb1555 windowed -> not available",
                       "checkDeviceType xrgb4444 windowed -> ok"}));
    ResetDriver();
    WriteConfig("Buffer32=0\n");
    ASSERT_TRUE(ChooseHardware());
    EXPECT_EQ(Calls("checkDeviceType"), (Strings{"checkDeviceType rgb565 windowed -> ok"}));

    ResetDriver();
    Script().backFormats = {GpuFormat::Xrgb8888};
    ASSERT_FALSE(ChooseHardware());
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].text, "No supported pixel format found.\n\r\n");
}

TEST_F(D3DDeviceTest, WithoutADepthFormatTheZBufferIsOff) {
    Script().depthFormats = {};
    ASSERT_TRUE(ChooseHardware());
    EXPECT_EQ(D3DTraces(), (Strings{"Create: z-buffer disabled"}));
    EXPECT_EQ(RenderFlags & 1u, 0u);
    EXPECT_EQ(D3D_State().depthFormat, GpuFormat::Unknown);
    // With D24S8 the first of the list that exists and matches is taken.
    ResetDriver();
    Script().depthFormats = {GpuFormat::Depth16, GpuFormat::Depth24Stencil8};
    ASSERT_TRUE(ChooseHardware());
    EXPECT_EQ(D3D_State().depthFormat, GpuFormat::Depth24Stencil8);
    EXPECT_EQ(RenderFlags & 1u, 1u);
}

TEST_F(D3DDeviceTest, ModeListSkipsSmallModesKeepsTheNearestRefreshAndAtMostFifty) {
    Script().desktop = GpuDisplayMode{1280, 1024, 60, GpuFormat::Xrgb8888};
    Script().modes = {{320, 240, 60, GpuFormat::Unknown},  {640, 400, 60, GpuFormat::Unknown},
                      {640, 480, 85, GpuFormat::Unknown},  {640, 480, 60, GpuFormat::Unknown},
                      {640, 480, 75, GpuFormat::Unknown},  {800, 600, 50, GpuFormat::Unknown},
                      {800, 600, 70, GpuFormat::Unknown},  {1024, 768, 60, GpuFormat::Unknown}};
    ASSERT_TRUE(ChooseHardware());
    const auto& modes = D3D_State().modes;
    ASSERT_EQ(modes.size(), 3u);
    EXPECT_EQ(modes[0].refresh, 60);
    EXPECT_EQ(modes[1].refresh, 50);  // 50 and 70 are as near: the earlier stays
    EXPECT_EQ(modes[2].width, 1024);
    EXPECT_EQ(DisplayMode[8].width, 640);
    EXPECT_EQ(DisplayMode[9].width, 800);

    ResetDriver();
    Script().modes.clear();
    for (int i = 0; i < 60; ++i) Script().modes.push_back({640 + 16 * i, 480, 60, GpuFormat::Unknown});
    ASSERT_TRUE(ChooseHardware());
    ASSERT_EQ(D3D_State().modes.size(), 50u);
    EXPECT_EQ(D3D_State().modes.back().width, 640 + 16 * 49);
    EXPECT_EQ(DisplayMode[kFirstHardwareMode + 49].width, 640 + 16 * 49);
    EXPECT_EQ(DisplayMode[kFirstHardwareMode + 50].available, 0);
}

TEST_F(D3DDeviceTest, MultisampleSettingsTheDeviceLacksAreRepairedWithOneWarning) {
    struct Case {
        const char* config;
        std::map<int32_t, uint32_t> offered;
        const char* text;
        int type, quality;
    };
    const Case cases[] = {
        {"MultiSampleType=4\nMultiSampleQuality=1\n", {{2, 1}},
         "The device does not support multisample type 4.\nResetting to none.\n", 0, 0},
        {"MultiSampleType=2\nMultiSampleQuality=3\n", {{2, 3}},
         "Multisample type 2 does not support quality level 3.\nResetting to the maximum value of 2.\n", 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config);
        ResetDriver();
        Plat_ClearMessageBoxLog();
        WriteConfig(c.config);
        Script().multisample = c.offered;
        ASSERT_TRUE(ChooseHardware());
        ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
        EXPECT_EQ(Plat_MessageBoxLog()[0].caption, "D3D Device Warning");
        EXPECT_EQ(Plat_MessageBoxLog()[0].text, c.text);
        // Mode 8 is not the desktop window: the repaired values reach the device.
        ClearLog();
        ASSERT_EQ(g_graphicDriver.SetMode(&g_graphicDriver, 8), 1);
        const std::string ms = "ms=" + std::to_string(c.type) + "/" + std::to_string(c.quality);
        ASSERT_EQ(Calls("reset").size(), 1u);
        EXPECT_NE(Calls("reset")[0].find(ms), std::string::npos) << Calls("reset")[0];
    }
}

TEST_F(D3DDeviceTest, HardwareCreationFailureRetriesInSoftwareThenFallsBack) {
    Script().hardwareCreate = GpuResult::NotAvailable;
    ASSERT_TRUE(ChooseHardware());
    auto created = Calls("createDevice");
    ASSERT_EQ(created.size(), 2u);
    EXPECT_NE(created[0].find(" hardware ") , std::string::npos);
    EXPECT_NE(created[1].find(" software "), std::string::npos);
    EXPECT_NE(created[1].find("-> ok"), std::string::npos);

    // Both failing: the box, then the software driver with the hardware flags cleared.
    ResetDriver();
    Plat_ClearMessageBoxLog();
    Script().hardwareCreate = GpuResult::NotAvailable;
    Script().softwareCreate = GpuResult::OutOfVideoMemory;
    EXPECT_FALSE(ChooseHardware());
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].caption, "Failed to init 3D hardware acceleration");
    EXPECT_EQ(Plat_MessageBoxLog()[0].text, "Create D3D device failed.\nout of video memory\r\n");
    EXPECT_EQ(GraphicD3DFlags, 0u);
    EXPECT_EQ(RenderFlags, 0u);
    EXPECT_EQ(g_graphicDriver.driverKind, kDriverSoftware);
    EXPECT_EQ(g_graphicDriver.displayOpen, 1);
    EXPECT_FALSE(D3D_State().system);
    EXPECT_EQ(Calls("system.release").size(), 1u);
}

TEST_F(D3DDeviceTest, ResetLoopScripts) {
    using R = GpuResult;
    struct Case {
        const char* name;
        std::vector<R> cooperative, resets;
        int result;
        Strings traces;
        uint32_t slept;
        int systems;  // systems made in the loop
    };
    const Case cases[] = {
        {"lost, lost, not reset, then ok", {R::DeviceLost, R::DeviceLost, R::DeviceNotReset}, {}, 1,
         {"Reset: device still lost", "Reset: device still lost", "Reset: device reset succeeded"}, 200, 0},
        {"a reset reporting loss", {}, {R::DeviceLost}, 1,
         {"Reset: device reset returned device lost", "Reset: device reset succeeded"}, 100, 0},
        {"a failed reset rebuilds and continues", {}, {R::DriverFailure}, 1,
         {"Reset: device reset failed, so attempting rebuild"}, 0, 1},
        {"an unexpected result", {R::InvalidCall}, {}, 0, {"Reset: unexpected error 00000005"}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetDriver();
        Script().cooperative = c.cooperative;
        Script().resets = c.resets;
        ASSERT_TRUE(ChooseHardware());
        for (int i = 0; i < 5; ++i) Plat_PostMessage(g_graphicDriver.window, WM_USER, 0, 0);
        const size_t pending = Plat_PendingMessages();
        ClearLog();
        D3DTraces().clear();
        const uint32_t before = Plat_Milliseconds();
        EXPECT_EQ(D3D_ResetLoop(), c.result);
        EXPECT_EQ(D3DTraces(), c.traces);
        EXPECT_EQ(Plat_Milliseconds() - before, c.slept);
        // One message pumped per lost round.
        EXPECT_EQ(pending - Plat_PendingMessages(), c.slept / 100);
        EXPECT_EQ(static_cast<int>(Calls("system.create").size()), c.systems);
        if (c.result) {
            EXPECT_FALSE(D3D_State().lost);
            EXPECT_EQ(Batch_Buffers().phase, 1);
            EXPECT_TRUE(Graphic_HardwareScreen().hasBackBuffer);
        }
        Plat_ClearMessages();
    }
}

TEST_F(D3DDeviceTest, AQuitTakenWhileTheDeviceIsLostEndsTheLoop) {
    Script().cooperative.assign(1000, GpuResult::DeviceLost);
    ASSERT_TRUE(ChooseHardware());
    Plat_ClearMessages();  // the window's own activation messages are not part of this case
    Plat_PostMessage(g_graphicDriver.window, WM_USER, 0, 0);
    Plat_PostMessage(g_graphicDriver.window, WM_QUIT, 3, 0);
    EXPECT_EQ(D3D_ResetLoop(), 0);
    EXPECT_TRUE(App_Globals().quit);
    EXPECT_EQ(D3DTraces().size(), 2u);
}

TEST_F(D3DDeviceTest, APresentThatLosesTheDeviceSkipsTheNextFrameAndResetsAtTheNextPresent) {
    Script().presents = {GpuResult::DeviceLost};
    ASSERT_TRUE(ChooseHardware());
    GraphicDriver& d = g_graphicDriver;
    ClearLog();
    EXPECT_EQ(d.Present(&d), 0);
    EXPECT_EQ(D3DTraces().back(), "Present: D3D device lost");
    EXPECT_TRUE(D3D_State().lost);
    EXPECT_FALSE(Graphic_BeginScene());  // the frame draws nothing
    EXPECT_TRUE(Calls("beginScene").empty());
    EXPECT_EQ(d.Present(&d), 0);  // the reset loop instead of a present
    EXPECT_FALSE(D3D_State().lost);
    EXPECT_EQ(Calls("present").size(), 1u);
    EXPECT_EQ(Calls("reset").size(), 1u);
    EXPECT_TRUE(Graphic_BeginScene());
    EXPECT_EQ(d.Present(&d), 1);
}

TEST_F(D3DDeviceTest, ModeSwitchesPlaceTheWindow) {
    struct Case {
        const char* name;
        bool fullScreen;
        int oldX, oldY, oldW, oldH;
        int x, y;
        bool bordered;
    };
    // Mode 8 is 640 x 480, mode 9 800 x 600 on a 1280 x 1024 desktop.
    const Case cases[] = {
        {"keeps the relative place", false, 320, 100, 640, 480, 240, 77, true},
        {"a desktop-sized window is centred", false, 0, 0, 1280, 1024, 240, 212, true},
        {"full screen at the corner", true, 320, 100, 640, 480, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetDriver();
        ASSERT_TRUE(ChooseHardware());
        GraphicDriver& d = g_graphicDriver;
        Plat_SetWindowPosition(d.window, c.oldX, c.oldY);
        Plat_SetWindowSize(d.window, c.oldW, c.oldH);
        App_Globals().fullScreen = c.fullScreen;
        ASSERT_EQ(d.SetMode(&d, 9), 1);
        PlatRect rect;
        ASSERT_TRUE(Plat_GetWindowRect(d.window, &rect));
        EXPECT_EQ(rect.left, c.x);
        EXPECT_EQ(rect.top, c.y);
        EXPECT_EQ(rect.right - rect.left, 800);
        EXPECT_EQ(Plat_IsWindowBordered(d.window), c.bordered);
        EXPECT_EQ(d.displayWidth, 800);
        EXPECT_EQ(CurrentDisplayMode, 9);
        EXPECT_EQ(D3DTraces()[D3DTraces().size() - 2], "Mode: 9");
        EXPECT_EQ(D3DTraces().back(), "Reset: device reset succeeded");
        EXPECT_NE(Calls("reset")[0].find("800x600"), std::string::npos);
        App_Globals().fullScreen = false;
    }
}

TEST_F(D3DDeviceTest, AnUnavailableModeKeepsTheCurrentOneAndFailsQuietly) {
    ASSERT_TRUE(ChooseHardware());
    GraphicDriver& d = g_graphicDriver;
    ASSERT_EQ(d.SetMode(&d, 8), 1);
    ClearLog();
    EXPECT_EQ(d.SetMode(&d, 20), 0);
    EXPECT_EQ(d.SetMode(&d, 3), 0);
    EXPECT_EQ(CurrentDisplayMode, 8);
    EXPECT_TRUE(Calls("reset").empty());
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
}

TEST_F(D3DDeviceTest, AModeSwitchThatCannotRebuildEndsTheProgramAfterReleasing) {
    Script().resets = {GpuResult::DriverFailure};
    ASSERT_TRUE(ChooseHardware());
    GraphicDriver& d = g_graphicDriver;
    static uint8_t image[8 + 16 * 16];
    image[0] = 16;
    image[4] = 16;
    ASSERT_NE(TexMgr_Ensure(reinterpret_cast<const TextureImage*>(image)), 0u);
    // The rebuilt system cannot make a device.
    Script().hardwareCreate = GpuResult::NotAvailable;
    Script().softwareCreate = GpuResult::NotAvailable;
    ClearLog();
    EXPECT_EQ(RunForExit([&] { d.SetMode(&d, 9); }), 112);
    ASSERT_FALSE(Plat_MessageBoxLog().empty());
    EXPECT_EQ(Plat_MessageBoxLog().back().text, "Create D3D device failed.\nnot available\r\n");
    EXPECT_EQ(Calls("releaseTexture").size(), 1u);
    EXPECT_EQ(Calls("device.release").size(), 1u);
    EXPECT_FALSE(D3D_State().device);
}

TEST_F(D3DDeviceTest, FullScreenWithoutAnyModeFailsWithAReason) {
    Script().modes = {{512, 384, 60, GpuFormat::Unknown}};
    CmdLine_Globals().fullScreen = true;
    EXPECT_FALSE(ChooseHardware());
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].text, "No display mode of at least 640 x 480 for full screen.\n\r\n");
    // A window takes its client size instead.
    ResetDriver();
    Script().modes = {{512, 384, 60, GpuFormat::Unknown}};
    CmdLine_Globals().fullScreen = false;
    EXPECT_TRUE(ChooseHardware());
    EXPECT_TRUE(D3D_State().modes.empty());
}

TEST_F(D3DDeviceTest, PaletteColourTables) {
    uint8_t palette[768] = {};
    const uint8_t entries[][4] = {{0, 10, 20, 30},  {1, 255, 255, 255}, {2, 255, 0, 0},
                                  {3, 0, 4, 0},     {4, 8, 4, 8},       {5, 100, 150, 200}};
    for (const auto& e : entries) {
        palette[e[0] * 3] = e[1];
        palette[e[0] * 3 + 1] = e[2];
        palette[e[0] * 3 + 2] = e[3];
    }
    palette[255 * 3] = 200;
    const uint8_t savedShade = LumaTable[0][223];
    LumaTable[0][223] = 5;
    ASSERT_TRUE(ChooseHardware());
    ClearLog();
    D3DDisplay_ApplyPalette(&g_graphicDriver, palette);
    // Entry 0 is forced black and 255 to (1, 1, 1); the darkest grey that is not black (level 4:
    // green 1) stands in for black: colours equal to it become 0 and 255 takes it.
    const struct {
        int index;
        uint16_t colour, plain, dark;
        uint32_t colour32;
    } expected[] = {
        {0, 0x0000, 0x0000, 0x0020, 0xFF000000},   {1, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFFFFFF},
        {2, 0xF800, 0xF800, 0xF800, 0xFFFF0000},   {3, 0x0000, 0x0020, 0x0020, 0xFF000400},
        {4, 0x0821, 0x0821, 0x0020, 0xFF080408},   {5, 0x64B9, 0x64B9, 0x64B9, 0xFF6496C8},
        {255, 0x0020, 0x0000, 0x0020, 0xFF010101},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.index);
        EXPECT_EQ(PaletteColors16[e.index], e.colour);
        EXPECT_EQ(PaletteColorsPlain16[e.index], e.plain);
        EXPECT_EQ(PaletteColorsDark16[e.index], e.dark);
        EXPECT_EQ(PaletteColors32[e.index], e.colour32);
    }
    // The fog colour: the 32-bit colour of what row 0 of the shade table holds for colour 223.
    EXPECT_EQ(D3DFogColour, 0xFF6496C8u);
    EXPECT_EQ(Calls("renderState 8"), (Strings{"renderState 8 4284782280"}));
    LumaTable[0][223] = savedShade;
}

TEST_F(D3DDeviceTest, ClearingTheHardwareScreenShowsThePaletteThroughTheBrightnessCurve) {
    ASSERT_TRUE(ChooseHardware());
    GraphicDriver& d = g_graphicDriver;
    uint8_t& brightness = Seam_Shell().playerDef()[kPlayerDefBrightness];
    const uint8_t savedBrightness = brightness;
    brightness = 7;
    uint8_t palette[768] = {};
    palette[7 * 3] = 0x40;
    palette[7 * 3 + 1] = 0x80;
    palette[7 * 3 + 2] = 0x20;
    d.SetPalette(&d, 0, 256, palette, nullptr);
    uint8_t shown[3] = {0x40, 0x80, 0x20};
    Palette_ApplyGamma(shown, 0, 1, 0);
    const uint32_t colour = 0xFF000000u | (uint32_t{shown[0]} << 16) | (uint32_t{shown[1]} << 8) | shown[2];
    EXPECT_NE(shown[0], 0x40);
    EXPECT_EQ(d.palette[7 * 3], 0x40);  // the record keeps the palette as given
    ClearLog();
    Graphic_Clear(&d.screen, 7);
    char line[64];
    std::snprintf(line, sizeof line, "clear 1 %08x 1.0 0", colour);
    EXPECT_EQ(Calls("clear"), (Strings{line}));
    brightness = savedBrightness;
}

TEST_F(D3DDeviceTest, TheSceneReleasesTexturesWhenTheReloadFlagIsSet) {
    ASSERT_TRUE(ChooseHardware());
    static uint8_t image[8 + 32 * 32];
    image[0] = 32;
    image[4] = 32;
    ASSERT_NE(TexMgr_Ensure(reinterpret_cast<const TextureImage*>(image)), 0u);
    Graphic_SetTextureReload(true);
    EXPECT_TRUE(Graphic_BeginScene());
    EXPECT_FALSE(Graphic_TextureReloadPending());  // beginning clears it
    Graphic_EndScene();
    EXPECT_EQ(TexMgr_SlotCount(), 1);
    Graphic_SetTextureReload(true);
    Graphic_EndScene();
    EXPECT_EQ(TexMgr_SlotCount(), 0);
    EXPECT_EQ(Calls("releaseTexture").size(), 1u);
}

TEST_F(D3DDeviceTest, FrameRateDetails) {
    WriteConfig("NoCaps=1\nHalfTexel=0\nRadarType=1\n");
    ASSERT_TRUE(ChooseHardware());
    char letters[6];
    int depth = 0, count = -1;
    D3D_FrameInfo(letters, &depth, &count);
    EXPECT_EQ(std::string(letters, 6), "ANhrsF");
    EXPECT_EQ(depth, 16);
    EXPECT_EQ(count, 0);
}

}  // namespace
