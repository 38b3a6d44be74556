// Software rasteriser fill rate at 640 x 480: pixels per second of one full-screen quad per
// iteration for each span kind, and the same buffer filled by memset. The counter
// "vs_memset" of each drawer is its pixel rate as a fraction of memset's (measured once per run).
// The queued frame draws 5,000 textured perspective triangles through the render queue.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/random.h"
#include "render/graphicbuffer.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/texcache.h"
#include "render/view.h"

namespace {

constexpr int kW = 640, kH = 480;

struct Screen {
    GraphicBuffer buf;
    std::vector<uint8_t> texture;
    Screen() {
        Graphic_InitBuffer(&buf, kW, kH, nullptr, kGraphicFormat8);
        texture.assign(kTextureHeaderSize + 256 * 256 + 16, 0);
        texture[1] = 1;  // width 256
        texture[5] = 1;  // height 256
        for (int i = 0; i < 256 * 256; ++i) texture[kTextureHeaderSize + i] = static_cast<uint8_t>((i * 7) ^ (i >> 8));
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c) LumaTable[r][c] = static_cast<uint8_t>(c - r);
    }
    const TextureImage* image() const { return reinterpret_cast<const TextureImage*>(texture.data()); }
};
Screen& TheScreen() {
    static Screen screen;
    return screen;
}

// memset of the whole buffer: the reference rate, in pixels per second.
double MemsetRate() {
    static double rate = [] {
        Screen& s = TheScreen();
        auto start = std::chrono::steady_clock::now();
        int rounds = 0;
        double seconds = 0.0;
        do {
            for (int i = 0; i < 50; ++i) {
                std::memset(s.buf.pixels, rounds & 0xFF, static_cast<size_t>(kW) * kH);
                benchmark::ClobberMemory();
            }
            rounds += 50;
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } while (seconds < 0.2);
        return static_cast<double>(rounds) * kW * kH / seconds;
    }();
    return rate;
}

void BM_Memset(benchmark::State& state) {
    Screen& s = TheScreen();
    for (auto _ : state) {
        std::memset(s.buf.pixels, 3, static_cast<size_t>(kW) * kH);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_Memset);

void FillRate(benchmark::State& state, RasteriserFn drawer, bool perspective) {
    Screen& s = TheScreen();
    double reference = MemsetRate();
    // The quad covers the whole buffer; a receding 1/z makes the perspective division real.
    float farQ = perspective ? 0.5f : 1.0f;
    RenderVertex quad[4] = {{0, 0, 1, 0, 0, 1.0f}, {kW, 0, farQ, farQ, 0, 0.5f},
                            {kW, kH, farQ, farQ, farQ, 0.0f}, {0, kH, 1, 0, 1, 0.5f}};
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        RenderVertex copy[4];
        std::memcpy(copy, quad, sizeof quad);
        drawer(&s.buf, copy, 4, s.image(), 17);
        benchmark::ClobberMemory();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double rate = static_cast<double>(state.iterations()) * kW * kH / seconds;
    state.SetItemsProcessed(state.iterations() * kW * kH);
    state.counters["vs_memset"] = rate / reference;
}

void BM_FlatFill(benchmark::State& state) { FillRate(state, Raster_FlatFill, false); }
void BM_GouraudFill(benchmark::State& state) { FillRate(state, Raster_GouraudFill, false); }
void BM_AffineSpan(benchmark::State& state) { FillRate(state, Raster_TexAffine, false); }
void BM_PerspectiveSpan(benchmark::State& state) { FillRate(state, Raster_TexPersp, true); }
void BM_PerspectiveLitSpan(benchmark::State& state) { FillRate(state, Raster_TexPerspLit, true); }
BENCHMARK(BM_FlatFill);
BENCHMARK(BM_GouraudFill);
BENCHMARK(BM_AffineSpan);
BENCHMARK(BM_PerspectiveSpan);
BENCHMARK(BM_PerspectiveLitSpan);

// A whole frame: 5,000 view-space textured triangles queued at random depths, then flushed.
void BM_QueuedFrame(benchmark::State& state) {
    Screen& s = TheScreen();
    RenderQueue_Init();
    RenderView view;
    View_Init(&view, &s.buf, 1.3962634f, 1.0f, 1000.0f, 1.0f);
    Random_Seed(99);
    auto rnd = [] { return static_cast<float>(Random_Next()) / 32767.0f; };
    std::vector<RenderVertex> tris(3 * 5000);
    for (int i = 0; i < 5000; ++i) {
        float z = 5.0f + rnd() * 60.0f, cx = (rnd() - 0.5f) * z, cy = (rnd() - 0.5f) * z * 0.75f;
        float r = 0.5f + rnd() * 2.0f;
        tris[3 * i + 0] = {cx - r, cy - r, z, 0, 0, rnd()};
        tris[3 * i + 1] = {cx + r, cy - r, z + rnd(), 1, 0, rnd()};
        tris[3 * i + 2] = {cx, cy + r, z, 0.5f, 1, rnd()};
    }
    for (auto _ : state) {
        uint32_t ref = RenderQueue_TextureRef(s.image());
        for (int i = 0; i < 5000; ++i)
            RenderQueue_AddPolygon(&tris[3 * i], 3, ref, kPolyTextured | kPolyPerspective | kPolyLightInterp, 1,
                                   tris[3 * i].z);
        RenderQueue_Flush(&view);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 5000);
    RenderQueue_Close();
}
BENCHMARK(BM_QueuedFrame)->Unit(benchmark::kMillisecond);

}  // namespace
