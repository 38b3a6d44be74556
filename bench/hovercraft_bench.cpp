// One simulation step of 512 hover craft on the sample map, as the frame runs it: the collision
// pass, the class updates and post-updates, the object grid and the visibility pass. About half
// of the craft are driven; the camera rides with one of them. The same crowd's collision pass
// alone is measured beside it, for the ratio of the two.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "Terrain/terrheight.h"
#include "collision/collision.h"
#include "content.h"
#include "core/debug.h"
#include "core/seams/world.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/hovercraft.h"
#include "fun3d/objectpool.h"
#include "mission_writer.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "simulation.h"

namespace {

constexpr int kCraft = 512;

struct HoverWorld {
    HoverWorld() {
        char pattern[] = "/tmp/gv-bench-hover-XXXXXX";
        dir = mkdtemp(pattern);
        std::string error;
        content::WriteWorld(dir, &error);
        Plat_Init(BackendKind::Headless);
        Plat_SetMessageBoxPolicy(nullptr);
        Debug_SetOutputMode(kDebugOutNone);
        world = new content::HeadlessWorld(dir, dir);
        content::Simulation_Prepare();
        Seam_World().terrainLoadMap("sample");
        GameObjectClass* tank = GameObjectClass::Find("avtank");
        uint32_t seed = 11;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) % 100000 / 100000.0f;
        };
        for (int i = 0; i < kCraft && tank; ++i) {
            Matrix m = kIdentityMatrix;
            const double x = 2000.0 + 1000.0 * next(), z = 2000.0 + 1000.0 * next();
            m.posit = DVector{x, Terrain_GetHeight(x, z), z};
            GameObject* object = GameObjectClass::Build(tank, m, 1 + i % 2, i == 0, 0, nullptr);
            if (!object) break;
            ++built;
            if (i == 0) Entities_SetUser(object->record);
            if (i % 2 == 0)
                content::Simulation_Drive(dynamic_cast<HoverCraft*>(object), 2.0f * next() - 1.0f, 2.0f * next() - 1.0f);
        }
        content::Simulation_Begin();
        // Settle the crowd first.
        for (int i = 0; i < 60; ++i) content::Simulation_Frame();
    }
    ~HoverWorld() {
        content::Simulation_End();
        delete world;
        Collision_Shutdown();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
    content::HeadlessWorld* world = nullptr;
    int built = 0;
};

HoverWorld& World() {
    static HoverWorld world;
    return world;
}

void BM_HoverStep512(benchmark::State& state) {
    HoverWorld& world = World();
    for (auto _ : state) content::Simulation_Frame();
    state.counters["craft"] = world.built;
    state.counters["moving"] = Collision_MovingCount();
}
BENCHMARK(BM_HoverStep512)->Unit(benchmark::kMicrosecond);

void BM_HoverCollisionPass512(benchmark::State& state) {
    World();
    for (auto _ : state) Collision_ProcessFrame();
    state.counters["moving"] = Collision_MovingCount();
}
BENCHMARK(BM_HoverCollisionPass512)->Unit(benchmark::kMicrosecond);

void BM_HoverCollisionPassAllPairs512(benchmark::State& state) {
    World();
    Collision_SetBroadPhase(false);
    for (auto _ : state) Collision_ProcessFrame();
    Collision_SetBroadPhase(true);
}
BENCHMARK(BM_HoverCollisionPassAllPairs512)->Unit(benchmark::kMicrosecond);

}  // namespace
