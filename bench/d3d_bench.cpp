// The batched hardware path against the software path on one queued scene: 5,000 textured
// perspective triangles at 640 x 480, drawn by the software rasteriser into an 8-bit buffer and
// by the hardware pipeline on the GL device (each frame finished by reading the back buffer
// back). Counters: the triangles per second of each path, "vs_software" (the hardware rate over
// the software rate) and the draw calls per frame. Without a display it skips:
//   xvfb-run -a build/bench/gv_bench --benchmark_filter=BM_HardwareQueuedFrame
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "platform/gpu.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "platform/system.h"
#include "platform/window.h"
#include "render/d3dbatch.h"
#include "render/d3ddevice.h"
#include "render/d3dtextures.h"
#include "render/display.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/texcache.h"
#include "render/view.h"

namespace {

constexpr int kTriangles = 5000;
constexpr uint32_t kFlags = kPolyTextured | kPolyPerspective | kPolyLightInterp;

struct Scene {
    std::vector<uint8_t> texture;
    std::vector<RenderVertex> software;  // light values
    std::vector<RenderVertex> hardware;  // colour words
    Scene() {
        texture.assign(kTextureHeaderSize + 256 * 256 + 16, 0);
        texture[1] = 1;  // width 256
        texture[5] = 1;  // height 256
        for (int i = 0; i < 256 * 256; ++i) texture[kTextureHeaderSize + i] = static_cast<uint8_t>((i * 7) ^ (i >> 8));
        Random_Seed(99);
        auto rnd = [] { return static_cast<float>(Random_Next()) / 32767.0f; };
        software.resize(3 * kTriangles);
        for (int i = 0; i < kTriangles; ++i) {
            const float z = 5.0f + rnd() * 60.0f, cx = (rnd() - 0.5f) * z, cy = (rnd() - 0.5f) * z * 0.75f;
            const float r = 0.5f + rnd() * 2.0f;
            software[3 * i + 0] = {cx - r, cy - r, z, 0, 0, rnd()};
            software[3 * i + 1] = {cx + r, cy - r, z + rnd(), 1, 0, rnd()};
            software[3 * i + 2] = {cx, cy + r, z, 0.5f, 1, rnd()};
        }
        hardware = software;
        for (RenderVertex& v : hardware) v.colour = RenderVertex_ColourOfLight(v.shade);
    }
    const TextureImage* image() const { return reinterpret_cast<const TextureImage*>(texture.data()); }
};

void QueueAndFlush(const Scene& scene, const std::vector<RenderVertex>& tris, const RenderView* view) {
    const uint32_t ref = RenderQueue_TextureRef(scene.image());
    for (int i = 0; i < kTriangles; ++i)
        RenderQueue_AddPolygon(&tris[3 * i], 3, ref, kFlags, 1, tris[3 * i].z);
    RenderQueue_Flush(view);
}

// Triangles per second of the software path (measured once per run).
double SoftwareRate(const Scene& scene) {
    static const double rate = [&scene] {
        GraphicBuffer buffer;
        Graphic_InitBuffer(&buffer, 640, 480, nullptr, kGraphicFormat8);
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c) LumaTable[r][c] = static_cast<uint8_t>(c - r);
        RenderView view;
        View_Init(&view, &buffer, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        const uint32_t flags = GraphicD3DFlags;
        GraphicD3DFlags = 0;
        const auto start = std::chrono::steady_clock::now();
        int frames = 0;
        double seconds = 0.0;
        do {
            QueueAndFlush(scene, scene.software, &view);
            ++frames;
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } while (seconds < 0.5);
        GraphicD3DFlags = flags;
        Graphic_FreeBuffer(&buffer);
        return static_cast<double>(frames) * kTriangles / seconds;
    }();
    return rate;
}

void BM_HardwareQueuedFrame(benchmark::State& state) {
    static const Scene scene;
    RenderQueue_Init();
    const double softwareRate = SoftwareRate(scene);
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display || !Plat_Init(BackendKind::Sdl)) {
        state.SkipWithError("needs a display: run under xvfb-run");
        RenderQueue_Close();
        return;
    }
    char pattern[] = "/tmp/gvbench-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    Plat_SetProfileDir(dir);
    Plat_RegisterClass("GvBench", Plat_DefWindowProc);
    CmdLine_ResetGlobals();
    CmdLine_Globals().fullScreen = false;
    Palette_BuildGammaCurves();
    Graphic_ClearRecord(&g_graphicDriver);
    GraphicD3DFlags = 1;
    GraphicDriver* driver = Graphic_ChooseDriver(&g_graphicDriver, nullptr, "GvBench");
    const bool up = driver && driver->driverKind == kDriverHardware && driver->SetMode(driver, 0) == 1;
    if (up) {
        uint8_t palette[768];
        for (int i = 0; i < 768; ++i) palette[i] = static_cast<uint8_t>(i / 3);
        driver->SetPalette(driver, 0, 256, palette, nullptr);
        RenderView view;
        View_Init(&view, &driver->screen, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        GpuDevice* device = D3D_State().device.get();
        int64_t frames = 0;
        uint64_t drawCalls = 0;
        const auto start = std::chrono::steady_clock::now();
        for (auto _ : state) {
            D3D_BeginScene();
            const uint32_t before = Batch_Buffers().batches;
            QueueAndFlush(scene, scene.hardware, &view);
            Batch_Flush();
            drawCalls += Batch_Buffers().batches - before;
            D3D_EndScene();
            // Finished on the device, not just submitted: the back buffer is read back.
            GpuLockedRect locked;
            if (device->lockBackBuffer(&locked) == GpuResult::Ok) {
                benchmark::DoNotOptimize(locked.bits[0]);
                device->unlockBackBuffer();
            }
            ++frames;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double hardwareRate = static_cast<double>(frames) * kTriangles / seconds;
        state.SetItemsProcessed(frames * kTriangles);
        state.counters["hardware_tris_per_s"] = hardwareRate;
        state.counters["software_tris_per_s"] = softwareRate;
        state.counters["vs_software"] = hardwareRate / softwareRate;
        state.counters["draw_calls_per_frame"] = frames ? static_cast<double>(drawCalls) / frames : 0.0;
    } else {
        state.SkipWithError("no OpenGL 3.3 hardware driver on this display");
    }
    if (driver && driver->Close) driver->Close(driver);
    if (Plat_IsWindow(g_graphicDriver.window)) Plat_DestroyWindow(g_graphicDriver.window);
    TexMgr_ResetState();
    Batch_ResetState();
    Graphic_ClearRecord(&g_graphicDriver);
    D3D_ResetState();
    GraphicD3DFlags = 0;
    RenderQueue_Close();
    Plat_SetProfileDir("");
    std::filesystem::remove_all(dir);
    Plat_Shutdown();
}
BENCHMARK(BM_HardwareQueuedFrame)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
