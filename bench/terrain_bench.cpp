// Height queries and ray casts over the sample map (items per second are the figures).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "content.h"
#include "core/filecache.h"
#include "core/filesys.h"
#include "core/zix.h"
#include "platform/paths.h"
#include "sample_world_dir.h"

namespace {

// The sample world written to a scratch directory, its map loaded through the index.
struct SampleMap {
    SampleMap() {
        Terrain_LoadMap("sample.bzn", 0);
    }
    ~SampleMap() {
        Terrain_FreeAll();
    }
    SampleWorldDir scratch{"/tmp/gv-bench-terrain-XXXXXX"};
};

SampleMap& Map() {
    static SampleMap map;
    return map;
}

// Points spread over the map with a fixed step pattern.
std::vector<double> Points(size_t count) {
    std::vector<double> points;
    uint32_t seed = 7;
    for (size_t i = 0; i < count * 2; ++i) {
        seed = seed * 1664525u + 1013904223u;
        points.push_back(1290.0 + (seed >> 8) % 3820000 / 1000.0);
    }
    return points;
}

void BM_TerrainGetHeight(benchmark::State& state) {
    Map();
    const std::vector<double> p = Points(4096);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Terrain_GetHeight(p[i], p[i + 1] * 0.66));
        i = (i + 2) & 8191;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TerrainGetHeight);

void BM_TerrainGetHeightNormal(benchmark::State& state) {
    Map();
    const std::vector<double> p = Points(4096);
    size_t i = 0;
    for (auto _ : state) {
        float h;
        Vector n;
        Terrain_GetHeightNormal(p[i], p[i + 1] * 0.66, &h, &n);
        benchmark::DoNotOptimize(h);
        benchmark::DoNotOptimize(n);
        i = (i + 2) & 8191;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TerrainGetHeightNormal);

// Segments of about state.range(0) metres from 20 m above the ground, sloping down 10 %.
void BM_TerrainRayCast(benchmark::State& state) {
    Map();
    const std::vector<double> p = Points(4096);
    const float length = static_cast<float>(state.range(0));
    size_t i = 0;
    int64_t hits = 0;
    for (auto _ : state) {
        const double x = p[i], z = p[i + 1] * 0.66;
        const float dx = (i & 4) ? length : -length, dz = (i & 8) ? length * 0.5f : -length * 0.5f;
        float t = 1.0f;
        hits += Terrain_RayCast(x, Terrain_GetHeight(x, z) + 20.0, z, dx, -0.1f * length, dz, &t, nullptr);
        i = (i + 2) & 8191;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["hit_ratio"] = state.iterations() ? double(hits) / double(state.iterations()) : 0.0;
}
BENCHMARK(BM_TerrainRayCast)->Arg(100)->Arg(1000);

}  // namespace
