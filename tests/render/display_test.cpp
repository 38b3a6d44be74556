#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/cmdline.h"
#include "core/debug.h"
#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "core/seams/shell.h"
#include "platform/msgbox.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/surface.h"
#include "platform/system.h"
#include "platform/window.h"
#include "platform/gpu_recording.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/view.h"
#include "support/app_fixture.h"
#include "support/exit_trap.h"

namespace {

using Bytes = std::vector<uint8_t>;

int g_playerDefWrites = 0;

// A headless program with a private profile directory, a fake desktop and a clean record.
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        Plat_Init(BackendKind::Headless);
        Plat_ClearMessageBoxLog();
        Plat_SetMessageBoxPolicy(nullptr);
        char pattern[] = "/tmp/gvdisplay-XXXXXX";
        dir_ = mkdtemp(pattern);
        Plat_SetProfileDir(dir_);
        shell_ = Seam_Shell();
        cockpit_ = Seam_Cockpit();
        std::memset(Seam_Shell().playerDef(), 0, 116);
        g_playerDefWrites = 0;
        Seam_Shell().playerDefWrite = [] { ++g_playerDefWrites; };
        CmdLine_ResetGlobals();
        Plat_SetFakeDesktopSize(1280, 1024);
        Plat_RegisterClass("Gravenholt", Plat_DefWindowProc);
        ResetRecord();
        Palette_BuildGammaCurves();
    }
    void TearDown() override {
        ResetRecord();
        Error_ResetForTests();
        Render_LineDoublingRestore();
        Seam_Shell() = shell_;
        Seam_Cockpit() = cockpit_;
        CmdLine_ResetGlobals();
        Plat_SetFakeDesktopSize(0, 0);
        Plat_SetMessageBoxPolicy(nullptr);
        Plat_SetProfileDir("");
        std::filesystem::remove_all(dir_);
        Plat_Shutdown();
    }
    static void ResetRecord() {
        if (g_graphicDriver.Close) g_graphicDriver.Close(&g_graphicDriver);
        if (Plat_IsWindow(g_graphicDriver.window)) Plat_DestroyWindow(g_graphicDriver.window);
        Graphic_ClearRecord(&g_graphicDriver);
        DisplayMode_Reset();
        GraphicD3DFlags = 0;
        D3D_ResetState();
        Gpu_ResetRecording();
        std::memset(SessionRecord, 0, sizeof SessionRecord);
    }
    std::string SessionPath() const { return dir_ + "/session.sts"; }
    void WriteSession(const Bytes& bytes) const {
        std::ofstream(SessionPath(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                              static_cast<std::streamsize>(bytes.size()));
    }
    Bytes ReadSession() const {
        std::ifstream in(SessionPath(), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static uint8_t* PlayerDef() { return Seam_Shell().playerDef(); }

    std::string dir_;
    ShellSeam shell_{};
    CockpitSeam cockpit_{};
};

const Bytes kCleanRecord = {'Q', 'M', 0xAA, 0, 1, 9, 0, 0};

TEST_F(DisplayTest, SessionFileIsRewrittenAsEightBytesMarkedRunning) {
    struct Case {
        const char* name;
        bool exists;
        Bytes contents;
        int clean;
        Bytes written;
    };
    const Case cases[] = {
        {"missing", false, {}, 0, {'Q', 'M', 0x55, 0, 0, 0, 0, 0}},
        {"empty", true, {}, 0, {'Q', 'M', 0x55, 0, 0, 0, 0, 0}},
        {"five bytes", true, {'Q', 'M', 0xAA, 0, 7}, 0, {'Q', 'M', 0x55, 0, 7, 0, 0, 0}},
        {"clean", true, {'Q', 'M', 0xAA, 0xF0, 1, 6, 1, 6}, 1, {'Q', 'M', 0x55, 0, 1, 6, 1, 6}},
        {"crashed", true, {'Q', 'M', 0x55, 0, 1, 6, 3, 4}, 0, {'Q', 'M', 0x55, 0, 1, 6, 3, 4}},
        {"too long", true, {'Q', 'M', 0xAA, 0, 2, 2, 2, 2, 9, 9, 9}, 1, {'Q', 'M', 0x55, 0, 2, 2, 2, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(SessionPath());
        if (c.exists) WriteSession(c.contents);
        PlayerDef()[kPlayerDefResolution] = 6;
        CmdLine_Globals().driverChosen = true;
        CmdLine_Globals().driverKind = 0;
        EXPECT_EQ(GraphicOptions_StartRun(), c.clean);
        // The file keeps bytes 4 to 7 as read; the record in memory has this run's options.
        EXPECT_EQ(ReadSession(), c.written);
        EXPECT_EQ(SessionRecord[4], 0);
        EXPECT_EQ(SessionRecord[5], c.clean ? 6 : 5);
    }
}

TEST_F(DisplayTest, StartRunSettlesTheDriverAndTheResolution) {
    enum Line { kNone, kD3D, kSW };
    struct Case {
        const char* name;
        Line line;
        uint8_t card, resolution;
        bool clean;
        int answer;  // the crash dialog's button, -2 when no dialog may show
        uint8_t wantCard, wantResolution;
    };
    const Case cases[] = {
        {"hardware after a crash", kD3D, 1, 10, false, -2, 1, 8},
        {"software after a crash", kSW, 0, 6, false, -2, 0, 5},
        {"software with a hardware mode", kSW, 0, 9, true, -2, 0, 5},
        {"hardware with a software mode", kD3D, 0, 6, true, -2, 1, 8},
        {"hardware keeps its mode", kD3D, 1, 10, true, -2, 1, 10},
        {"software keeps its mode", kSW, 0, 7, true, -2, 0, 7},
        {"software over the card option, clean", kSW, 1, 6, true, -2, 0, 6},
        {"crash question answered Software", kSW, 1, 9, false, 0, 0, 5},
        {"crash question answered Hardware", kSW, 1, 6, false, 1, 1, 8},
        {"crash question dismissed", kSW, 1, 6, false, -1, 0, 5},
        {"the player's hardware choice", kNone, 1, 9, true, -2, 1, 9},
        {"the player's software choice", kNone, 0, 6, true, -2, 0, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CmdLine_ResetGlobals();
        if (c.line != kNone) {
            CmdLine_Globals().driverChosen = true;
            CmdLine_Globals().driverKind = c.line == kD3D ? 1 : 0;
        }
        Bytes file = kCleanRecord;
        if (!c.clean) file[2] = 0x55;
        WriteSession(file);
        PlayerDef()[kPlayerDefCard] = c.card;
        PlayerDef()[kPlayerDefResolution] = c.resolution;
        Plat_ClearMessageBoxLog();
        const int answer = c.answer;
        Plat_SetMessageBoxPolicy([answer](const MessageBoxRecord&) { return answer; });
        g_playerDefWrites = 0;

        EXPECT_EQ(GraphicOptions_StartRun(), c.clean ? 1 : 0);
        EXPECT_EQ(PlayerDef()[kPlayerDefCard], c.wantCard);
        EXPECT_EQ(PlayerDef()[kPlayerDefResolution], c.wantResolution);
        EXPECT_EQ(GraphicD3DFlags, c.wantCard ? 1u : 0u);
        EXPECT_EQ(SessionRecord[4], c.wantCard);
        EXPECT_EQ(SessionRecord[5], c.wantResolution);
        EXPECT_EQ(g_playerDefWrites, 1);
        const auto& boxes = Plat_MessageBoxLog();
        if (c.answer == -2) {
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text,
                      "The game was not closed properly. Do you wish to run regular Software mode or Hardware "
                      "accelerated mode?");
            EXPECT_EQ(boxes[0].caption, "Gravenholt Warning");
            EXPECT_EQ(boxes[0].buttons, (std::vector<std::string>{"Software", "Hardware"}));
        }
    }
}

TEST_F(DisplayTest, FirstStartInSoftwareWithTheCardOptionAsksTheCrashQuestionInTheLabelsOfTheLabelMap) {
    Seam_Cockpit().labelMapGetLabel = [](const char* section, const char* entry, char* out) {
        if (std::strcmp(section, "hardware") != 0 || std::strcmp(entry, "title") != 0) return false;
        std::strcpy(out, "Achtung");
        return true;
    };
    CmdLine_Globals().driverChosen = true;
    CmdLine_Globals().driverKind = 0;
    PlayerDef()[kPlayerDefCard] = 1;
    EXPECT_EQ(GraphicOptions_StartRun(), 0);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].caption, "Achtung");
    EXPECT_EQ(Plat_MessageBoxLog()[0].buttons[0], "Software");
    EXPECT_EQ(PlayerDef()[kPlayerDefCard], 0);  // the headless answer: the first button
}

TEST_F(DisplayTest, SaveResolvesThePendingSwitchAndMarksTheRunClean) {
    struct Case {
        const char* name;
        uint8_t pending, askedResolution;
        uint8_t wantCard, wantResolution;
        int writes;
    };
    const Case cases[] = {
        {"nothing pending", 0, 7, 1, 10, 0},
        {"to hardware", 0xF0, 6, 1, 8, 1},
        {"to software", 0x0F, 6, 0, 6, 1},
        {"to software from a hardware mode", 0x0F, 9, 0, 5, 1},
        {"any other value means software", 0x33, 7, 0, 7, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlayerDef()[kPlayerDefCard] = 1;
        PlayerDef()[kPlayerDefResolution] = 10;
        const Bytes before = {'Q', 'M', 0x55, c.pending, 1, 10, 0, c.askedResolution};
        std::memcpy(SessionRecord, before.data(), 8);
        g_playerDefWrites = 0;
        EXPECT_EQ(Save_Graphic_Options(), 1);
        EXPECT_EQ(PlayerDef()[kPlayerDefCard], c.wantCard);
        EXPECT_EQ(PlayerDef()[kPlayerDefResolution], c.wantResolution);
        EXPECT_EQ(g_playerDefWrites, c.writes);
        EXPECT_EQ(ReadSession(), (Bytes{'Q', 'M', 0xAA, 0, c.wantCard, c.wantResolution, 0, c.askedResolution}));
    }
}

TEST_F(DisplayTest, ASoftwareChoiceInTheOptionsScreenHoldsAtTheNextStart) {
    PlayerDef()[kPlayerDefCard] = 1;
    PlayerDef()[kPlayerDefResolution] = 9;
    WriteSession(kCleanRecord);
    ASSERT_EQ(GraphicOptions_StartRun(), 1);
    ASSERT_EQ(GraphicD3DFlags, 1u);

    // The screen writes the new values, then applies them: this run keeps its driver and mode.
    PlayerDef()[kPlayerDefCard] = 0;
    PlayerDef()[kPlayerDefResolution] = 6;
    EXPECT_EQ(GraphicOptions_Set3DCard(0), 1);
    EXPECT_EQ(SessionRecord[3], kSwitchToSoftware);
    EXPECT_EQ(SessionRecord[6], 0);
    EXPECT_EQ(SessionRecord[7], 6);
    EXPECT_EQ(PlayerDef()[kPlayerDefCard], 1);
    EXPECT_EQ(PlayerDef()[kPlayerDefResolution], 9);
    Save_Graphic_Options();
    EXPECT_EQ(ReadSession(), (Bytes{'Q', 'M', 0xAA, 0, 0, 6, 0, 6}));

    // The next start with no driver on the command line runs software in the chosen mode.
    GraphicD3DFlags = 1;
    EXPECT_EQ(GraphicOptions_StartRun(), 1);
    EXPECT_EQ(GraphicD3DFlags, 0u);
    EXPECT_EQ(PlayerDef()[kPlayerDefCard], 0);
    EXPECT_EQ(PlayerDef()[kPlayerDefResolution], 6);
}

TEST_F(DisplayTest, CardSwitchedOnAndOffAgainLeavesNothingPending) {
    CmdLine_Globals().driverChosen = true;
    CmdLine_Globals().driverKind = 0;
    PlayerDef()[kPlayerDefResolution] = 6;
    WriteSession(kCleanRecord);
    GraphicOptions_StartRun();
    PlayerDef()[kPlayerDefCard] = 1;
    GraphicOptions_Set3DCard(1);
    EXPECT_EQ(SessionRecord[3], kSwitchToHardware);
    EXPECT_EQ(PlayerDef()[kPlayerDefCard], 0);
    PlayerDef()[kPlayerDefCard] = 0;
    GraphicOptions_Set3DCard(0);
    EXPECT_EQ(SessionRecord[3], 0);
    Save_Graphic_Options();
    EXPECT_EQ(PlayerDef()[kPlayerDefCard], 0);
    EXPECT_EQ(PlayerDef()[kPlayerDefResolution], 6);
    EXPECT_EQ(ReadSession()[4], 0);
}

TEST_F(DisplayTest, AnUnwritableSessionFileIsFatal) {
    std::filesystem::create_directory(SessionPath());  // a directory cannot be opened as the record
    EXPECT_EQ(RunForExit([] { GraphicOptions_StartRun(); }), 112);
    Error_ResetForTests();
    EXPECT_EQ(RunForExit([] { Save_Graphic_Options(); }), 112);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 2u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].text, "Gravenholt Save_Graphic_Options failed");
}

TEST_F(DisplayTest, HardwareFailureFallsBackToSoftwareWithItsMessage) {
    Gpu_RecordingScript().failSystem = true;  // a machine without a hardware device
    GraphicD3DFlags = 1;
    RenderFlags = 0xC412B;
    PlayerDef()[kPlayerDefResolution] = 8;
    SessionRecord[5] = 8;
    ASSERT_TRUE(Render_ChooseDriver("Gravenholt"));
    GraphicDriver& d = g_graphicDriver;
    const auto& boxes = Plat_MessageBoxLog();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Failed to init 3D hardware acceleration");
    EXPECT_EQ(boxes[0].text, "Creation of IDirect3D failed.\nnot available\r\n");
    EXPECT_EQ(GraphicD3DFlags, 0u);
    EXPECT_EQ(RenderFlags, 0u);
    EXPECT_EQ(d.driverKind, kDriverSoftware);
    EXPECT_EQ(d.displayOpen, 1);
    EXPECT_STREQ(d.className, "Gravenholt");
    EXPECT_EQ(d.desktopWidth, 1280);
    EXPECT_EQ(d.desktopHeight, 1024);
    // The resolution option named a hardware mode: the software driver runs its safe mode.
    EXPECT_EQ(PlayerDef()[kPlayerDefResolution], 5);
    EXPECT_EQ(SessionRecord[5], 5);
    for (int mode = 0; mode < kDisplayModeCount; ++mode)
        EXPECT_EQ(DisplayMode[mode].available, mode == 0 || (mode >= 5 && mode <= 7)) << mode;
    // The program entry's next step.
    EXPECT_TRUE(Graphic_Initialise(0));
    EXPECT_EQ(d.screen.width, 640);
    EXPECT_EQ(d.screen.height, 480);
}

TEST_F(DisplayTest, SoftwareStartShowsNoBoxAndTheHighResolutionKeyOffersModesOneToFour) {
    for (int hiRes : {0, 1}) {
        SCOPED_TRACE(hiRes);
        ResetRecord();
        Plat_IniWriteInt("NormalView", "HiRes", hiRes, Plat_ProfilePath("render.cfg").c_str());
        GraphicDriver copy;
        GraphicDriver* out = Graphic_ChooseDriver(&copy, nullptr, "Gravenholt");
        EXPECT_EQ(out, &copy);
        EXPECT_EQ(copy.driverKind, kDriverSoftware);
        EXPECT_EQ(copy.screen.pixels, g_graphicDriver.screen.pixels);
        EXPECT_EQ(copy.screen.memory, nullptr);  // the copy never frees the screen
        EXPECT_EQ(HiResModes, hiRes);
        EXPECT_TRUE(Plat_MessageBoxLog().empty());
        for (int mode = 1; mode <= 4; ++mode) {
            EXPECT_EQ(DisplayMode[mode].bitsPerPixel, hiRes ? 8 : 0) << mode;
            EXPECT_EQ(g_graphicDriver.SetMode(&g_graphicDriver, mode), hiRes) << mode;
        }
        if (hiRes) {
            EXPECT_EQ(g_graphicDriver.screen.width, 800);
        }
    }
}

TEST_F(DisplayTest, WindowPlacementFollowsTheModeAndTheDesktop) {
    // Full screen at first: a borderless window over the whole desktop.
    ASSERT_TRUE(Render_ChooseDriver("Gravenholt"));
    GraphicDriver& d = g_graphicDriver;
    PlatRect rect;
    ASSERT_TRUE(Plat_GetWindowRect(d.window, &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.right, 1280);
    EXPECT_EQ(rect.bottom, 1024);
    EXPECT_FALSE(Plat_IsWindowBordered(d.window));
    EXPECT_EQ(Plat_GetShowState(d.window), SW_SHOW);

    struct Case {
        int desktopWidth, desktopHeight, mode;
        bool bordered;
        PlatRect rect;
    };
    const Case cases[] = {
        {640, 480, 5, false, {0, 0, 640, 480}},        // the desktop's own size: a popup
        {1280, 1024, 5, true, {320, 0, 960, 480}},    // framed, centred at the top
        {640, 480, 6, true, {64, 0, 576, 384}},
        {640, 480, 0, true, {0, 0, 640, 480}},        // mode 0 is never the popup
        {1024, 768, 7, true, {312, 0, 712, 300}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        d.desktopWidth = c.desktopWidth;
        d.desktopHeight = c.desktopHeight;
        ASSERT_EQ(d.SetMode(&d, c.mode), 1);
        EXPECT_EQ(d.windowStyle, c.bordered ? kWindowStyleFramed : kWindowStylePopup);
        EXPECT_EQ(Plat_IsWindowBordered(d.window), c.bordered);
        ASSERT_TRUE(Plat_GetWindowRect(d.window, &rect));
        EXPECT_EQ(rect.left, c.rect.left);
        EXPECT_EQ(rect.top, c.rect.top);
        EXPECT_EQ(rect.right, c.rect.right);
        EXPECT_EQ(rect.bottom, c.rect.bottom);
        EXPECT_EQ(CurrentDisplayMode, c.mode);
    }

    // "win": a framed window of mode 0's size, centred at the top.
    ResetRecord();
    CmdLine_Globals().fullScreen = false;
    ASSERT_TRUE(Render_ChooseDriver("Gravenholt"));
    ASSERT_TRUE(Plat_GetWindowRect(g_graphicDriver.window, &rect));
    EXPECT_EQ(rect.left, 320);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 960);
    EXPECT_EQ(rect.bottom, 480);
    EXPECT_TRUE(Plat_IsWindowBordered(g_graphicDriver.window));
    EXPECT_EQ(Plat_GetWindowCaption(g_graphicDriver.window), "Gravenholt");
    EXPECT_EQ(g_graphicDriver.windowed, 1);
}

TEST_F(DisplayTest, WindowCreationFailureIsErrorFive) {
    ASSERT_FALSE(Render_ChooseDriver("NoSuchClass"));
    EXPECT_EQ(g_graphicDriver.errorCode, kGraphicErrorWindow);
}

TEST_F(DisplayTest, PresentMendsTheLastColumnAndRowAndShowsThePaletteColours) {
    ASSERT_TRUE(Render_ChooseDriver("Gravenholt"));
    GraphicDriver& d = g_graphicDriver;
    Graphic_CreateScreenBuffer(&d, 4, 3);
    uint8_t palette[768] = {};
    for (int i = 0; i < 256; ++i) {
        palette[i * 3] = static_cast<uint8_t>(i);
        palette[i * 3 + 1] = static_cast<uint8_t>(255 - i);
        palette[i * 3 + 2] = static_cast<uint8_t>(i * 7);
    }
    ASSERT_EQ(d.ApplyPalette(&d, palette), 1);
    const uint8_t drawn[12] = {1, 2, 3, 0, 4, 5, 6, 0, 0, 0, 0, 0};
    std::memcpy(d.screen.pixels, drawn, 12);
    ASSERT_EQ(d.Present(&d), 1);
    const uint8_t mended[12] = {1, 2, 3, 3, 4, 5, 6, 6, 4, 5, 6, 6};
    EXPECT_EQ(Bytes(d.screen.pixels, d.screen.pixels + 12), Bytes(mended, mended + 12));
    PlatFrame frame;
    ASSERT_TRUE(Plat_SurfaceLastFrame(d.window, &frame));
    EXPECT_EQ(frame.width, 4);
    EXPECT_EQ(frame.height, 3);
    Bytes expected;
    for (uint8_t index : mended) expected.insert(expected.end(), palette + index * 3, palette + index * 3 + 3);
    EXPECT_EQ(frame.rgb, expected);

    // A closed display presents nothing; a display without its surface fails with error 4.
    d.Close(&d);
    EXPECT_EQ(d.Present(&d), 0);
    EXPECT_EQ(Plat_SurfaceLastFrame(d.window, &frame), false);
    Plat_DestroyWindow(d.window);
    EXPECT_EQ(d.Open(&d), 0);
    EXPECT_EQ(d.errorCode, kGraphicErrorPresent);
    EXPECT_EQ(d.displayOpen, 0);
}

TEST_F(DisplayTest, SetPaletteShowsTheColoursThroughTheBrightnessCurveWithEntryZeroBlack) {
    ASSERT_TRUE(Render_ChooseDriver("Gravenholt"));
    GraphicDriver& d = g_graphicDriver;
    uint8_t source[768];
    for (int i = 0; i < 768; ++i) source[i] = static_cast<uint8_t>(i * 5 + 1);
    ASSERT_EQ(d.SetPalette(&d, 0, 256, source, nullptr), 1);
    uint8_t expected[768];
    std::memcpy(expected, source, sizeof expected);
    expected[0] = expected[1] = expected[2] = 0;
    Palette_ApplyGamma(expected, 0, 256, 0);
    uint8_t shown[768];
    ASSERT_TRUE(Plat_SurfaceGetPalette(d.window, shown));
    EXPECT_EQ(Bytes(shown, shown + 768), Bytes(expected, expected + 768));
}

TEST_F(DisplayTest, AfterEveryModeChangeTheMouseAndCamerasAreReset) {
    static std::vector<std::string> calls;
    calls.clear();
    Seam_Cockpit().mouseRequestReset = [] { calls.push_back("mouse"); };
    Seam_Cockpit().cameraReset = [](int full) { calls.push_back("camera " + std::to_string(full)); };
    ASSERT_TRUE(Render_ChooseDriver("Gravenholt"));
    EXPECT_TRUE(calls.empty());
    g_graphicDriver.SetMode(&g_graphicDriver, 6);
    g_graphicDriver.SetMode(&g_graphicDriver, 3);  // not on offer: no change
    EXPECT_EQ(calls, (std::vector<std::string>{"mouse", "camera 0"}));
}

// ---- Line doubling -------------------------------------------------------------------------

class LineDoubleTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        Graphic_InitBuffer(&buffer_, 640, 480, nullptr, kGraphicFormat8);
        View_Init(&view_, &buffer_, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        PlayerDef()[kPlayerDefLineDouble] = 1;
        GraphicD3DFlags = 0;
        RenderBrightness = 0.5f;
    }
    void TearDown() override {
        Render_LineDoublingRestore();
        Graphic_FreeBuffer(&buffer_);
        RenderBrightness = 1.0f;
        DisplayTest::TearDown();
    }
    GraphicBuffer buffer_;
    RenderView view_{};
};

TEST_F(LineDoubleTest, HalvesTheBufferAndTheViewAndRestoresThemExactly) {
    struct Case {
        int clipTop, clipBottom, wantTop, wantBottom;
    };
    const Case cases[] = {
        {0, 479, 0, 239},
        {3, 479, 0, 239},   // 3 / 2 = 1, rounded down to even
        {5, 300, 2, 150},
        {10, 479, 4, 239},  // the formula would reach row 241 of 240: kept inside
        {0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clipTop);
        Graphic_SetClipRect(&buffer_, 0, c.clipTop, 639, c.clipBottom);
        View_SetViewport(&view_, 0, c.clipTop, 639, c.clipBottom);
        const RenderView viewBefore = view_;
        const GraphicBuffer bufferBefore = buffer_;
        View_SetLineDouble(&view_, 1);
        EXPECT_TRUE(Render_LineDoublingActive());
        EXPECT_EQ(buffer_.width, 1280);
        EXPECT_EQ(buffer_.height, 240);
        EXPECT_EQ(buffer_.clipTop, c.wantTop);
        EXPECT_EQ(buffer_.clipBottom, c.wantBottom);
        EXPECT_EQ(buffer_.pixels, bufferBefore.pixels);
        EXPECT_FLOAT_EQ(view_.centreY, viewBefore.centreY * 0.5f);
        EXPECT_FLOAT_EQ(view_.scaleY, viewBefore.scaleY * 0.5f);
        EXPECT_GE(view_.windowTop, static_cast<float>(buffer_.clipTop));
        EXPECT_LE(view_.windowBottom, static_cast<float>(buffer_.clipBottom));
        EXPECT_FLOAT_EQ(RenderBrightness, 0.6f);
        View_SetLineDouble(&view_, 1);  // already on: nothing halves twice
        EXPECT_EQ(buffer_.height, 240);

        View_SetLineDouble(&view_, 0);
        EXPECT_FALSE(Render_LineDoublingActive());
        EXPECT_EQ(std::memcmp(&view_, &viewBefore, sizeof view_), 0);
        EXPECT_EQ(std::memcmp(&buffer_, &bufferBefore, sizeof buffer_), 0);
        EXPECT_FLOAT_EQ(RenderBrightness, 0.5f);
    }
}

TEST_F(LineDoubleTest, DrawnRowsLandOnEverySecondRowOfTheScreen) {
    Graphic_Clear(&buffer_, 0);
    View_SetLineDouble(&view_, 1);
    // Row y of the halved buffer is row 2y of the screen.
    for (int y = 0; y < buffer_.height; ++y) buffer_.pixels[y * buffer_.width + 7] = 9;
    Render_LineDoublingRestore();
    for (int y = 0; y < 480; ++y) EXPECT_EQ(buffer_.pixels[y * 640 + 7], y % 2 == 0 ? 9 : 0) << y;
}

TEST_F(LineDoubleTest, OnlyForTheSoftwarePathWithTheOptionOnAndBrightnessCapped) {
    PlayerDef()[kPlayerDefLineDouble] = 0;
    View_SetLineDouble(&view_, 1);
    EXPECT_EQ(buffer_.height, 480);
    PlayerDef()[kPlayerDefLineDouble] = 1;
    GraphicD3DFlags = 1;
    View_SetLineDouble(&view_, 1);
    EXPECT_EQ(buffer_.height, 480);
    GraphicD3DFlags = 0;
    RenderBrightness = 0.9f;
    View_SetLineDouble(&view_, 1);
    EXPECT_FLOAT_EQ(RenderBrightness, 1.0f);
    // The option switched off meanwhile (the line-skip key) must not strand the halved view.
    PlayerDef()[kPlayerDefLineDouble] = 0;
    View_SetLineDouble(&view_, 0);
    EXPECT_EQ(buffer_.height, 480);
    EXPECT_FLOAT_EQ(RenderBrightness, 0.9f);
}

TEST(TranslucencyColumn, SavedColumnMakesColour255SeeThroughUntilRestored) {
    for (int row = 0; row < 256; ++row) TranslucencyTable[row][255] = static_cast<uint8_t>(row * 3 + 1);
    TranslucencyTable[7][254] = 77;
    uint8_t saved[256];
    Translucency_SaveColumn255(saved);
    for (int row = 0; row < 256; ++row) {
        EXPECT_EQ(saved[row], static_cast<uint8_t>(row * 3 + 1));
        EXPECT_EQ(TranslucencyTable[row][255], row);
    }
    EXPECT_EQ(TranslucencyTable[7][254], 77);
    Translucency_RestoreColumn255(saved);
    for (int row = 0; row < 256; ++row) EXPECT_EQ(TranslucencyTable[row][255], static_cast<uint8_t>(row * 3 + 1));
}

// ---- The whole program, headless -----------------------------------------------------------

class DisplayProgramTest : public AppFixture {};

PlatFrame g_lastFrame;
int g_presents = 0;

TEST_F(DisplayProgramTest, TheProgramPresentsItsSkyColourFrameAndWritesACleanRecord) {
    Render_InstallSeam();
    // The world's palette is loaded by the map later on; here the sky colour gets its own.
    std::memset(GamePalette, 0, sizeof GamePalette);
    GamePalette[223 * 3] = 200, GamePalette[223 * 3 + 1] = 100, GamePalette[223 * 3 + 2] = 50;
    g_lastFrame = PlatFrame{};
    g_presents = 0;
    CmdLine_ResetGlobals();
    // The window becomes active as a window manager would make it; the run ends after frames.
    Seam_Render().chooseDriver = [](const char* className) {
        bool chosen = Render_ChooseDriver(className);
        Plat_PostMessage(g_graphicDriver.window, WM_ACTIVATEAPP, 1, 0);
        return chosen;
    };
    // The twelfth frame is kept and the window closed (the mission's end fades the palette out).
    Seam_Render().driverPresent = [] {
        Graphic_Present();
        if (++g_presents != 12) return;
        Plat_SurfaceLastFrame(g_graphicDriver.window, &g_lastFrame);
        Plat_PostMessage(g_graphicDriver.window, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(App_Main("-nointro -SW"), 0);

    ASSERT_EQ(g_lastFrame.width, 640);
    ASSERT_EQ(g_lastFrame.height, 480);
    uint8_t sky[3] = {200, 100, 50};
    uint8_t through[768] = {};
    std::memcpy(through + 223 * 3, sky, 3);
    Palette_ApplyGamma(through, 0, 256, 0);
    Bytes expected;
    for (int i = 0; i < 640 * 480; ++i) expected.insert(expected.end(), through + 223 * 3, through + 223 * 3 + 3);
    EXPECT_EQ(g_lastFrame.rgb == expected, true) << "the last frame is not the sky colour everywhere: "
                                                 << int(g_lastFrame.rgb[0]) << " " << int(g_lastFrame.rgb[1]) << " "
                                                 << int(g_lastFrame.rgb[2]) << " presents " << g_presents;
    EXPECT_NE(through[223 * 3], 0);

    std::ifstream in(profileDir + "/session.sts", std::ios::binary);
    Bytes record((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(record, (Bytes{'Q', 'M', 0xAA, 0, 0, 5, 0, 0}));
    Graphic_ClearRecord(&g_graphicDriver);
    std::memset(GamePalette, 0, sizeof GamePalette);
}

}  // namespace
