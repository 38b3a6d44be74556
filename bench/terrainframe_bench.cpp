// One software frame of the sample map's terrain from the player's start (the middle of the
// map, 3 m above the ground, looking along +x): the terrain draw and the queue's flush into a
// 640 x 480 buffer, for drawing options 2 and 3. "frame_vs_span" is the frame's time over the
// time of one full-screen quad through the lit perspective drawer, "frame_vs_memset" over a
// memset of the buffer; both references are measured in the same run.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Terrain/terraintex.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "content.h"
#include "core/app.h"
#include "core/filesys.h"
#include "core/zix.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "sample_world_dir.h"
#include "render/graphicbuffer.h"
#include "render/graphicdriver.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/terraindraw.h"
#include "render/texcache.h"
#include "render/view.h"

namespace {

constexpr int kW = 640, kH = 480;

struct World {
    World() {
        Plat_UseVirtualClock(0);
        App_Globals().driverKind = 0;
        Render_InstallSeam();
        Render_InstallTerrainDrawing();
        RenderQueue_Init();
        Graphic_InitBuffer(&buffer, kW, kH, nullptr, kGraphicFormat8);
        texture.assign(kTextureHeaderSize + 256 * 256 + 16, 0);
        texture[1] = 1;  // width 256
        texture[5] = 1;  // height 256
        for (int i = 0; i < 256 * 256; ++i) texture[kTextureHeaderSize + i] = static_cast<uint8_t>((i * 7) ^ (i >> 8));
    }
    ~World() {
        Terrain_FreeTextures();
        Terrain_FreeAll();
    }
    GraphicBuffer buffer{};
    std::vector<uint8_t> texture;
    SampleWorldDir scratch{"/tmp/gv-bench-frame-XXXXXX"};
};

World& TheWorld() {
    static World world;
    return world;
}

template <class Fn>
double SecondsPerRound(Fn fn) {
    auto start = std::chrono::steady_clock::now();
    int rounds = 0;
    double seconds = 0.0;
    do {
        for (int i = 0; i < 20; ++i) fn();
        rounds += 20;
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (seconds < 0.2);
    return seconds / rounds;
}

void BM_TerrainFrame(benchmark::State& state) {
    World& w = TheWorld();
    const int option = static_cast<int>(state.range(0));
    Terrain_LoadMap("sample.bzn", option);

    const double memsetTime = SecondsPerRound([&] {
        std::memset(w.buffer.pixels, 3, static_cast<size_t>(kW) * kH);
        benchmark::ClobberMemory();
    });
    const RenderVertex quad[4] = {{0, 0, 1, 0, 0, 1.0f}, {kW, 0, 0.5f, 0.5f, 0, 0.5f},
                                  {kW, kH, 0.5f, 0.5f, 0.5f, 0.0f}, {0, kH, 1, 0, 1, 0.5f}};
    const TextureImage* image = reinterpret_cast<const TextureImage*>(w.texture.data());
    const double spanTime = SecondsPerRound([&] {
        RenderVertex copy[4];
        std::memcpy(copy, quad, sizeof quad);
        Raster_TexPerspLit(&w.buffer, copy, 4, image, 17);
        benchmark::ClobberMemory();
    });

    RenderView view;
    View_Init(&view, &w.buffer, kDefaultFieldOfView, 1.0f, 250.0f, 1.0f);
    const double x = 0.5 * (TerrainBounds.minXm + TerrainBounds.maxXm);
    const double z = 0.5 * (TerrainBounds.minZm + TerrainBounds.maxZm);
    const DVector eye{x, Terrain_GetHeight(x, z) + 3.0, z};
    View_SetCameraMatrix(&view, Matrix_FromPositionDirection(eye, Vector{1.0f, 0.0f, 0.0f}));

    int polygons = 0;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        Terrain_Draw(&view);
        RenderQueue_Flush(&view);
        polygons = Terrain_PolygonCount();
        benchmark::ClobberMemory();
    }
    const double frameTime =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / double(state.iterations());
    state.counters["polygons"] = polygons;
    state.counters["frame_vs_span"] = frameTime / spanTime;
    state.counters["frame_vs_memset"] = frameTime / memsetTime;
}
BENCHMARK(BM_TerrainFrame)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
