// The grid path planner on the sample map against a plain cell-by-cell A* over the same grid and
// class costs, on a fixed, seeded set of start and goal pairs whose straight line is not clear.
// Counters: plans_per_s (the planner) and vs_astar (planner time over A* time, same run).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <queue>
#include <random>
#include <string>
#include <vector>

#include "Terrain/terramap.h"
#include "ai/pathgrid.h"
#include "ai/pathplanner.h"
#include "content.h"
#include "core/filesys.h"
#include "platform/paths.h"
#include "sample_world_dir.h"

namespace {

struct Pair {
    float x1, z1, x2, z2;
};

struct PlanWorld {
    PlanWorld() {
        Terrain_LoadMap("sample.bzn", 0);
        PathPlanner_Init();
        PathPlanner_SetCosts(0, 1);
        std::mt19937 random(20261211u);
        const float x0 = PathGrid_XMin() * 10.0f, x1 = PathGrid_XMax() * 10.0f;
        const float z0 = PathGrid_ZMin() * 10.0f, z1 = PathGrid_ZMax() * 10.0f;
        std::uniform_real_distribution<float> ux(x0 + 5.0f, x1 - 5.0f), uz(z0 + 5.0f, z1 - 5.0f);
        while (pairs.size() < 64) {
            const Pair p{ux(random), uz(random), ux(random), uz(random)};
            if (PathMap_IsImpassableAt(p.x1, p.z1) || PathMap_IsImpassableAt(p.x2, p.z2)) continue;
            if (PathMap_IsPathClear(p.x1, p.z1, p.x2, p.z2, 1)) continue;
            pairs.push_back(p);
        }
    }
    ~PlanWorld() {
        PathSystem_Shutdown();
        Terrain_FreeAll();
    }
    std::vector<Pair> pairs;
    SampleWorldDir scratch{"/tmp/gv-bench-plan-XXXXXX"};
};

PlanWorld& World() {
    static PlanWorld world;
    return world;
}

// Textbook A*: 8 neighbours, the class cost of the cell left (99999: not entered), diagonal
// steps times the square root of 2, straight-line heuristic, binary heap. Answers the cost.
float AStar(const Pair& p, std::vector<float>& g, std::vector<uint8_t>& closed) {
    const int x0 = PathGrid_XMin(), z0 = PathGrid_ZMin();
    const int w = PathGrid_XMax() - x0, d = PathGrid_ZMax() - z0;
    std::fill(g.begin(), g.end(), 1e30f);
    std::fill(closed.begin(), closed.end(), uint8_t{0});
    const int sx = static_cast<int>(std::floor(p.x1 * 0.1f)) - x0, sz = static_cast<int>(std::floor(p.z1 * 0.1f)) - z0;
    const int gx = static_cast<int>(std::floor(p.x2 * 0.1f)) - x0, gz = static_cast<int>(std::floor(p.z2 * 0.1f)) - z0;
    using Entry = std::pair<float, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    auto h = [&](int x, int z) { return std::hypot(static_cast<float>(x - gx), static_cast<float>(z - gz)); };
    g[static_cast<size_t>(sz * w + sx)] = 0.0f;
    open.emplace(h(sx, sz), sz * w + sx);
    const float diagonal = std::sqrt(2.0f);
    while (!open.empty()) {
        const int i = open.top().second;
        open.pop();
        if (closed[static_cast<size_t>(i)]) continue;
        closed[static_cast<size_t>(i)] = 1;
        const int x = i % w, z = i / w;
        if (x == gx && z == gz) return g[static_cast<size_t>(i)];
        const float cost = PathPlanner_ClassCost(PathGrid_CellClass(PathGrid_GetCell(x + x0, z + z0)));
        for (int dz = -1; dz <= 1; ++dz)
            for (int dx = -1; dx <= 1; ++dx) {
                if (!dx && !dz) continue;
                const int nx = x + dx, nz = z + dz;
                if (nx < 0 || nz < 0 || nx >= w || nz >= d) continue;
                const int n = nz * w + nx;
                if (closed[static_cast<size_t>(n)]) continue;
                if (PathPlanner_ClassCost(PathGrid_CellClass(PathGrid_GetCell(nx + x0, nz + z0))) >= kPathCostBlocked)
                    continue;
                const float t = g[static_cast<size_t>(i)] + cost * (dx && dz ? diagonal : 1.0f);
                if (t < g[static_cast<size_t>(n)]) {
                    g[static_cast<size_t>(n)] = t;
                    open.emplace(t + h(nx, nz), n);
                }
            }
    }
    return -1.0f;
}

void BM_PathPlan(benchmark::State& state) {
    PlanWorld& world = World();
    const size_t cells = static_cast<size_t>(PathGrid_XMax() - PathGrid_XMin()) * (PathGrid_ZMax() - PathGrid_ZMin());
    std::vector<float> g(cells);
    std::vector<uint8_t> closed(cells);
    double planner = 0.0, astar = 0.0;
    size_t plans = 0;
    for (auto _ : state) {
        for (const Pair& p : world.pairs) {
            const auto a = std::chrono::steady_clock::now();
            const PlannedRoute route = AiPath_Plan(p.x1, p.z1, p.x2, p.z2, 0, 1);
            const auto b = std::chrono::steady_clock::now();
            PathPlanner_SetCosts(0, 1);
            const float cost = AStar(p, g, closed);
            const auto c = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(route.points.data());
            benchmark::DoNotOptimize(cost);
            planner += std::chrono::duration<double>(b - a).count();
            astar += std::chrono::duration<double>(c - b).count();
            ++plans;
        }
    }
    state.counters["plans_per_s"] = planner > 0.0 ? static_cast<double>(plans) / planner : 0.0;
    state.counters["vs_astar"] = astar > 0.0 ? planner / astar : 0.0;
}
BENCHMARK(BM_PathPlan)->Unit(benchmark::kMillisecond);

}  // namespace
