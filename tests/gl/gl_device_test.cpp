// The GL hardware device through our device interface alone, and the hardware driver on a real
// window: drawn pixels are read back from the device, and the window's from the X server.
#include <gtest/gtest.h>
// X11 defines macros (None, Bool, Status) that clash with gtest: include it after.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "gl_support.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "content.h"
#include "core/cmdline.h"
#include "core/seams/shell.h"
#include "platform/gpu.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/window.h"
#include "render/d3ddevice.h"
#include "render/d3dtextures.h"
#include "render/display.h"
#include "render/graphicdriver.h"
#include "render/palette.h"

namespace {


bool Near(const Rgb& a, const Rgb& b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

void PumpPlatform() {
    PlatMsg msg;
    while (Plat_PeekMessage(&msg, true)) Plat_DispatchMessage(&msg);
}

constexpr int kWidth = 64, kHeight = 48;

// A GL device on a window of its own, with one vertex and one index buffer bound.
class GlDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Plat_Init(BackendKind::Sdl)) << "needs a display (run under xvfb-run)";
        Plat_RegisterClass("GvGlDevice", Plat_DefWindowProc);
        window_ = Plat_CreateWindow("GvGlDevice", "GvGlDevice", kWidth, kHeight);
        ASSERT_NE(window_, 0u);
        GpuResult result = GpuResult::Ok;
        system_ = Gpu_CreateSystem(&result);
        ASSERT_TRUE(system_) << "OpenGL 3.3 core is not available: " << Gpu_ResultName(result);
        GpuPresentParams params;
        params.width = kWidth;
        params.height = kHeight;
        params.backFormat = GpuFormat::Xrgb8888;
        params.lockableBackBuffer = true;
        params.window = window_;
        ASSERT_EQ(system_->createDevice(window_, GpuVertexProcessing::Hardware, params, &device_), GpuResult::Ok);
        ASSERT_EQ(device_->createVertexBuffer(64 * sizeof(GpuVertex), &vertices_), GpuResult::Ok);
        ASSERT_EQ(device_->createIndexBuffer(96 * 2, &indices_), GpuResult::Ok);
        ASSERT_EQ(device_->setStreamSource(vertices_, sizeof(GpuVertex)), GpuResult::Ok);
        ASSERT_EQ(device_->setIndices(indices_), GpuResult::Ok);
        device_->setSamplerState(0, GpuSamplerState::MagFilter, static_cast<uint32_t>(GpuFilter::Point));
        device_->setSamplerState(0, GpuSamplerState::MinFilter, static_cast<uint32_t>(GpuFilter::Point));
        device_->setSamplerState(0, GpuSamplerState::MipFilter, static_cast<uint32_t>(GpuFilter::Off));
        device_->setStageState(0, GpuStageState::ColourOp, static_cast<uint32_t>(GpuStageOp::Modulate));
        device_->setStageState(0, GpuStageState::AlphaOp, static_cast<uint32_t>(GpuStageOp::Modulate));
        device_->clear(kGpuClearTarget, 0xFF000000u, 1.0f, 0);
    }
    void TearDown() override {
        device_.reset();
        system_.reset();
        if (window_) Plat_DestroyWindow(window_);
        Plat_Shutdown();
    }

    // A quad over pixels [x0, x1) x [y0, y1): its edges lie half a pixel outside the centres.
    void Quad(float x0, float y0, float x1, float y1, uint32_t diffuse, uint32_t specular = 0xFF000000u,
              float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1) {
        const GpuVertex quad[4] = {
            {x0 - 0.5f, y0 - 0.5f, 0.5f, 1.0f, diffuse, specular, u0, v0},
            {x1 - 0.5f, y0 - 0.5f, 0.5f, 1.0f, diffuse, specular, u1, v0},
            {x1 - 0.5f, y1 - 0.5f, 0.5f, 1.0f, diffuse, specular, u1, v1},
            {x0 - 0.5f, y1 - 0.5f, 0.5f, 1.0f, diffuse, specular, u0, v1},
        };
        // Each quad goes behind the last one, drawn with a base vertex.
        void* data = nullptr;
        ASSERT_EQ(device_->lockBuffer(vertices_, used_ * sizeof(GpuVertex), sizeof quad,
                                      used_ ? GpuLockMode::NoOverwrite : GpuLockMode::Discard, &data),
                  GpuResult::Ok);
        std::memcpy(data, quad, sizeof quad);
        device_->unlockBuffer(vertices_);
        const uint16_t fan[6] = {0, 1, 2, 0, 2, 3};
        ASSERT_EQ(device_->lockBuffer(indices_, 0, sizeof fan, GpuLockMode::Discard, &data), GpuResult::Ok);
        std::memcpy(data, fan, sizeof fan);
        device_->unlockBuffer(indices_);
        ASSERT_EQ(device_->drawIndexed(GpuPrimitive::TriangleList, static_cast<int32_t>(used_), 0, 4, 0, 2),
                  GpuResult::Ok);
        used_ = (used_ + 4) % 60;
    }

    // The back buffer read back, top row first.
    std::vector<Rgb> ReadBack() {
        GpuLockedRect locked;
        EXPECT_EQ(device_->lockBackBuffer(&locked), GpuResult::Ok);
        std::vector<Rgb> pixels;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const uint8_t* p = locked.bits + y * locked.pitch + x * 4;
                pixels.push_back({p[2], p[1], p[0]});
            }
        device_->unlockBackBuffer();
        return pixels;
    }
    static Rgb At(const std::vector<Rgb>& pixels, int x, int y) { return pixels[static_cast<size_t>(y * kWidth + x)]; }

    GpuTexture Texture(int size, GpuFormat format, const std::vector<uint16_t>& texels) {
        GpuTexture texture = 0;
        EXPECT_EQ(device_->createTexture(size, size, 1, format, &texture), GpuResult::Ok);
        GpuLockedRect locked;
        EXPECT_EQ(device_->lockTexture(texture, 0, GpuLockMode::Normal, &locked), GpuResult::Ok);
        for (int y = 0; y < size; ++y)
            std::memcpy(locked.bits + y * locked.pitch, texels.data() + y * size, static_cast<size_t>(size) * 2);
        device_->unlockTexture(texture, 0);
        return texture;
    }

    WindowHandle window_ = 0;
    std::unique_ptr<GpuSystem> system_;
    std::unique_ptr<GpuDevice> device_;
    GpuBuffer vertices_ = 0, indices_ = 0;
    uint32_t used_ = 0;
};

TEST_F(GlDeviceTest, QuadsCoverExactlyThePixelsWhoseCentresTheyHoldInFlatColours) {
    Quad(10, 5, 20, 15, 0xFF204080u);
    Quad(30, 20, 31, 21, 0xFFFFFFFFu);  // one pixel
    const auto pixels = ReadBack();
    const Rgb colour{0x20, 0x40, 0x80}, black{0, 0, 0};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            Rgb want = x >= 10 && x < 20 && y >= 5 && y < 15 ? colour : black;
            if (x == 30 && y == 20) want = Rgb{255, 255, 255};
            ASSERT_EQ(At(pixels, x, y), want) << "at " << x << "," << y;
        }
    // The lock wrote back what it read: the next read is the same.
    EXPECT_EQ(ReadBack(), pixels);
}

TEST_F(GlDeviceTest, TexturesOf565And4444TexelsModulatedByTheDiffuseColour) {
    // Texel (x, y) of a 16 x 16 texture is one of four full-intensity colours by quadrant.
    std::vector<uint16_t> rgb565(256), argb4444(256);
    const uint16_t quadrants565[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    const uint16_t quadrants4444[4] = {0xFF00, 0xF0F0, 0xF00F, 0x0FFF};  // red, green, blue, clear white
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int q = (y >= 8) * 2 + (x >= 8);
            rgb565[static_cast<size_t>(y * 16 + x)] = quadrants565[q];
            argb4444[static_cast<size_t>(y * 16 + x)] = quadrants4444[q];
        }
    device_->setTexture(0, Texture(16, GpuFormat::Rgb565, rgb565));
    Quad(0, 0, 16, 16, 0xFFFFFFFFu);
    Quad(16, 0, 32, 16, 0xFF808080u);  // modulated by grey
    device_->setRenderState(GpuRenderState::Blend, 1);
    device_->setRenderState(GpuRenderState::BlendSource, static_cast<uint32_t>(GpuBlend::SourceAlpha));
    device_->setRenderState(GpuRenderState::BlendDest, static_cast<uint32_t>(GpuBlend::InverseSourceAlpha));
    device_->setTexture(0, Texture(16, GpuFormat::Argb4444, argb4444));
    Quad(0, 20, 16, 36, 0xFFFFFFFFu);
    const auto pixels = ReadBack();
    EXPECT_EQ(At(pixels, 2, 2), (Rgb{255, 0, 0}));
    EXPECT_EQ(At(pixels, 13, 2), (Rgb{0, 255, 0}));
    EXPECT_EQ(At(pixels, 2, 13), (Rgb{0, 0, 255}));
    EXPECT_EQ(At(pixels, 13, 13), (Rgb{255, 255, 255}));
    EXPECT_TRUE(Near(At(pixels, 18, 2), Rgb{128, 0, 0}, 1)) << At(pixels, 18, 2);
    EXPECT_TRUE(Near(At(pixels, 29, 13), Rgb{128, 128, 128}, 1)) << At(pixels, 29, 13);
    EXPECT_EQ(At(pixels, 2, 22), (Rgb{255, 0, 0}));
    EXPECT_EQ(At(pixels, 13, 22), (Rgb{0, 255, 0}));
    EXPECT_EQ(At(pixels, 2, 33), (Rgb{0, 0, 255}));
    EXPECT_EQ(At(pixels, 13, 33), (Rgb{0, 0, 0}));  // alpha 0 over black
    // Each texel lands on its own pixel: the quadrant edges are sharp.
    EXPECT_EQ(At(pixels, 7, 7), (Rgb{255, 0, 0}));
    EXPECT_EQ(At(pixels, 8, 7), (Rgb{0, 255, 0}));
    EXPECT_EQ(At(pixels, 16, 2), At(pixels, 18, 2));
}

TEST_F(GlDeviceTest, AnUnboundTextureReadsWhiteAndFogMixesBySpecularAlpha) {
    device_->setTexture(0, 0);
    Quad(0, 0, 8, 8, 0xFF336699u);
    device_->setRenderState(GpuRenderState::FogColour, 0xFF0000FFu);
    device_->setRenderState(GpuRenderState::Fog, 1);
    Quad(10, 0, 18, 8, 0xFFFFFFFFu, 0x00000000u);  // all fog
    Quad(20, 0, 28, 8, 0xFFFFFFFFu, 0xFF000000u);  // no fog
    Quad(30, 0, 38, 8, 0xFFFF0000u, 0x80000000u);  // half way
    device_->setRenderState(GpuRenderState::Fog, 0);
    Quad(40, 0, 48, 8, 0xFFFF0000u, 0x00000000u);  // fog off: the factor is ignored
    const auto pixels = ReadBack();
    EXPECT_EQ(At(pixels, 3, 3), (Rgb{0x33, 0x66, 0x99}));
    EXPECT_EQ(At(pixels, 13, 3), (Rgb{0, 0, 255}));
    EXPECT_EQ(At(pixels, 23, 3), (Rgb{255, 255, 255}));
    EXPECT_TRUE(Near(At(pixels, 33, 3), Rgb{128, 0, 127}, 1)) << At(pixels, 33, 3);
    EXPECT_EQ(At(pixels, 43, 3), (Rgb{255, 0, 0}));
}

TEST_F(GlDeviceTest, AlphaBlendingAndTheViewportAsAScissor) {
    device_->clear(kGpuClearTarget, 0xFF0000C8u, 1.0f, 0);
    device_->setRenderState(GpuRenderState::Blend, 1);
    device_->setRenderState(GpuRenderState::BlendSource, static_cast<uint32_t>(GpuBlend::SourceAlpha));
    device_->setRenderState(GpuRenderState::BlendDest, static_cast<uint32_t>(GpuBlend::InverseSourceAlpha));
    Quad(0, 0, 8, 8, 0x80FF0000u);
    device_->setRenderState(GpuRenderState::BlendSource, static_cast<uint32_t>(GpuBlend::One));
    device_->setRenderState(GpuRenderState::BlendDest, static_cast<uint32_t>(GpuBlend::One));
    Quad(10, 0, 18, 8, 0xFF300000u);  // additive
    device_->setRenderState(GpuRenderState::Blend, 0);
    // The viewport clips but does not move pretransformed vertices, and clears follow it.
    device_->setViewport(GpuViewport{20, 10, 4, 30, 0.0f, 1.0f});
    Quad(10, 20, 40, 24, 0xFF00FF00u);
    device_->clear(kGpuClearTarget, 0xFFFFFFFFu, 1.0f, 0);
    device_->setViewport(GpuViewport{0, 0, kWidth, kHeight, 0.0f, 1.0f});
    const auto pixels = ReadBack();
    EXPECT_TRUE(Near(At(pixels, 3, 3), Rgb{128, 0, 100}, 1)) << At(pixels, 3, 3);
    EXPECT_EQ(At(pixels, 13, 3), (Rgb{0x30, 0, 200}));
    EXPECT_EQ(At(pixels, 19, 22), (Rgb{0, 0, 200}));
    EXPECT_EQ(At(pixels, 20, 22), (Rgb{255, 255, 255}));  // the clear inside the viewport
    EXPECT_EQ(At(pixels, 23, 39), (Rgb{255, 255, 255}));
    EXPECT_EQ(At(pixels, 24, 22), (Rgb{0, 0, 200}));
    EXPECT_EQ(At(pixels, 21, 40), (Rgb{0, 0, 200}));
}

// The hardware driver record on a real window clears to palette colours and presents; the
// window shows each frame's colour exactly.
TEST(GlHardwareDriver, ClearsToAPaletteColourAndPresentsFrameAfterFrame) {
    Display* display = OpenTestDisplay();
    ASSERT_NE(display, nullptr) << "needs a display (run under xvfb-run)";
    ASSERT_TRUE(Plat_Init(BackendKind::Sdl));
    char pattern[] = "/tmp/gvglhw-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    Plat_SetProfileDir(dir);
    Plat_RegisterClass("GvHardwareDriver", Plat_DefWindowProc);
    CmdLine_ResetGlobals();
    CmdLine_Globals().fullScreen = false;
    Palette_BuildGammaCurves();
    Graphic_ClearRecord(&g_graphicDriver);
    GraphicD3DFlags = 1;
    GraphicDriver* driver = Graphic_ChooseDriver(&g_graphicDriver, nullptr, "GvHardwareDriver");
    ASSERT_EQ(driver->driverKind, kDriverHardware) << D3D_ErrorText();
    ASSERT_EQ(GraphicD3DFlags & 2u, 2u);
    ASSERT_EQ(driver->SetMode(driver, 0), 1);

    uint8_t palette[768] = {};
    const uint8_t colours[3][3] = {{200, 30, 60}, {10, 220, 40}, {50, 60, 250}};
    for (int i = 0; i < 3; ++i) std::memcpy(palette + (20 + i) * 3, colours[i], 3);
    driver->SetPalette(driver, 0, 256, palette, nullptr);

    Window window = 0;
    ASSERT_TRUE(Eventually([&] {
        PumpPlatform();
        window = FindByName(display, DefaultRootWindow(display), "GvHardwareDriver", getpid());
        return window != 0;
    }));
    for (int frame = 0; frame < 6; ++frame) {
        const int index = 20 + frame % 3;
        const uint32_t shown = PaletteColors32[index];
        const Rgb want{static_cast<int>((shown >> 16) & 0xFF), static_cast<int>((shown >> 8) & 0xFF),
                       static_cast<int>(shown & 0xFF)};
        SCOPED_TRACE(frame);
        ASSERT_TRUE(Eventually([&] {
            PumpPlatform();
            Graphic_Clear(&driver->screen, index);
            driver->Present(driver);
            for (auto [x, y] : {std::pair{0, 0}, {639, 0}, {0, 479}, {639, 479}, {320, 240}})
                if (!(ReadPixel(display, window, x, y) == want)) return false;
            return true;
        })) << "the window shows " << ReadPixel(display, window, 320, 240) << " instead of " << want;
    }
    driver->Close(driver);
    Plat_DestroyWindow(driver->window);
    Graphic_ClearRecord(&g_graphicDriver);
    D3D_ResetState();
    GraphicD3DFlags = 0;
    Plat_SetProfileDir("");
    std::filesystem::remove_all(dir);
    Plat_Shutdown();
    XCloseDisplay(display);
}

// The real program with "-D3D -win": its window runs on the hardware driver, presents, and the
// run ends with exit code 0 and a crash-detect record that keeps a hardware mode.
TEST(GlHardwareDriver, GravenholtD3DWindowRunsOnTheHardwareDriverAndExitsCleanly) {
    Display* display = OpenTestDisplay();
    ASSERT_NE(display, nullptr) << "needs a display (run under xvfb-run)";
    char pattern[] = "/tmp/gvglrun-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    std::string error;
    ASSERT_TRUE(content::WriteWorld(dir, &error)) << error;
    std::ofstream(dir + "/render.cfg") << "[Debug]\nTrackFPS=0\n";

    pid_t child = StartGravenholt(dir, {"-nointro", "-D3D", "-win", "sample"});
    ASSERT_GE(child, 0);
    // The device takes a native window of its own behind the game's window: the window is found
    // again on every look.
    auto find = [&] { return FindByName(display, DefaultRootWindow(display), "Gravenholt", child); };
    const ::testing::AssertionResult shown =
        WaitForStage(child, "the game's window in view at 640 x 480 or more", [&] {
            Window window = find();
            XWindowAttributes attributes{};
            return window && XGetWindowAttributes(display, window, &attributes) &&
                   attributes.map_state == IsViewable && attributes.width >= 640 && attributes.height >= 480;
        });
    // Let it run its first 20 frames, then close it as the window manager would.
    const ::testing::AssertionResult ran = WaitForStage(child, "the 20th frame", [&] { return PassedFrame20(dir); });
    if (Window window = find()) {
        SendWindowClose(display, window);
    }
    int status = 0;
    const bool exited = WaitForExit(child, &status);
    if (!exited) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    XCloseDisplay(display);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(exited) << "the game did not end after its window was closed";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    std::ifstream session(dir + "/session.sts", std::ios::binary);
    std::vector<char> record((std::istreambuf_iterator<char>(session)), std::istreambuf_iterator<char>());
    ASSERT_EQ(record.size(), 8u);
    EXPECT_EQ(record[4], 1) << "the 3D-card option";
    EXPECT_GE(static_cast<uint8_t>(record[5]), 8) << "a hardware mode";
    std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

// An X server of our own without the GLX extension: OpenGL cannot be had there.
struct PlainXServer {
    pid_t pid = -1;
    std::string display;
    PlainXServer() {
        // The first display number nobody holds; the server is up once a client can connect.
        for (int number = 200 + getpid() % 300; number < 600 && display.empty(); ++number) {
            if (std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock") ||
                std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)))
                continue;
            const std::string name = ":" + std::to_string(number);
            pid = fork();
            if (pid == 0) {
                prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the test
                execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1280x1024x24", "-extension", "GLX", "-nolisten",
                       "tcp", static_cast<char*>(nullptr));
                _exit(90);
            }
            const bool up = Eventually([&] {
                if (waitpid(pid, nullptr, WNOHANG) == pid) return true;  // it ended: try the next number
                Display* probe = XOpenDisplay(name.c_str());
                if (probe) XCloseDisplay(probe);
                return probe != nullptr;
            });
            if (up && kill(pid, 0) == 0) display = name;
            else pid = -1;
        }
    }
    ~PlainXServer() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

// Where OpenGL 3.3 cannot be had, "-D3D" falls back to the software driver (after its box) and
// the program runs and shows its frames in software.
TEST(GlHardwareDriver, WithoutOpenGLTheProgramFallsBackToSoftwareAndShowsItsFrames) {
    PlainXServer server;
    ASSERT_FALSE(server.display.empty()) << "Xvfb could not be started";
    Display* display = nullptr;
    Eventually([&] { return (display = OpenTestDisplay(server.display.c_str())) != nullptr; });
    ASSERT_NE(display, nullptr) << server.display;
    char pattern[] = "/tmp/gvglno-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    std::string error;
    ASSERT_TRUE(content::WriteWorld(dir, &error)) << error;

    const char* oldDisplay = std::getenv("DISPLAY");
    const std::string saved = oldDisplay ? oldDisplay : "";
    setenv("DISPLAY", server.display.c_str(), 1);
    pid_t child = StartGravenholt(dir, {"-nointro", "-D3D", "-win", "sample"});
    if (saved.empty()) unsetenv("DISPLAY");
    else setenv("DISPLAY", saved.c_str(), 1);
    ASSERT_GE(child, 0);

    auto find = [&] { return FindByName(display, DefaultRootWindow(display), "Gravenholt", child); };
    // The box that tells the player the hardware failed waits for an answer before the software
    // driver starts: the test closes it as a player would.
    bool boxShown = false;
    auto closeBox = [&] {
        if (Window box = FindByName(display, DefaultRootWindow(display), "Failed to init 3D hardware acceleration")) {
            boxShown = true;
            SendWindowClose(display, box);
        }
    };
    // The sample world shows black frames: the middle and the corners of the software window.
    const ::testing::AssertionResult shown = WaitForStage(
        child, "black software frames in a 640 x 480 window", [&] {
            closeBox();
            Window window = find();
            XWindowAttributes attributes{};
            if (!window || !XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable ||
                attributes.width != 640 || attributes.height != 480)
                return false;
            for (auto [x, y] : {std::pair{0, 0}, {639, 479}, {320, 240}})
                if (!(ReadPixel(display, window, x, y) == Rgb{0, 0, 0})) return false;
            return true;
        });
    // The crash-detect record is written at the 20th frame: the software driver's safe mode.
    const ::testing::AssertionResult recorded =
        WaitForStage(child, "the 20th frame, recorded in the software driver's mode 5", [&] {
            closeBox();
            return PassedFrame20(dir, 5);
        });
    RecordProperty("box", boxShown ? "closed by the test" : "not seen");
    kill(child, SIGTERM);
    int status = 0;
    if (!WaitForExit(child, &status)) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    XCloseDisplay(display);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(recorded);
    std::filesystem::remove_all(dir);
}

}  // namespace
