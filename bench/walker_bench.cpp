// One simulation step of 256 walking walkers on the sample map's flat ground, as the frame runs
// it, against the same step of 256 driven hover tanks measured in the same run first: the
// counter vs_hover is the walkers' time over the tanks'.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "Terrain/terrheight.h"
#include "collision/collision.h"
#include "content.h"
#include "core/debug.h"
#include "core/seams/world.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/objectpool.h"
#include "mission_writer.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "simulation.h"

namespace {

constexpr int kCrowd = 256;

// A crowd of one class on the flat ground east of the long wall, every one driven.
struct Crowd {
    explicit Crowd(const std::string& dataDir, const char* className) {
        world = new content::HeadlessWorld(dataDir, dataDir);
        content::Simulation_Prepare();
        Seam_World().terrainLoadMap("sample");
        GameObjectClass* cls = GameObjectClass::Find(className);
        uint32_t seed = 17;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) % 100000 / 100000.0f;
        };
        for (int i = 0; i < kCrowd && cls; ++i) {
            Matrix m = kIdentityMatrix;
            const double x = 1480.0 + 420.0 * next(), z = 1350.0 + 2400.0 * next();
            m.posit = DVector{x, Terrain_GetHeight(x, z), z};
            GameObject* object = GameObjectClass::Build(cls, m, 1 + i % 2, i == 0, 0, nullptr);
            if (!object) break;
            ++built;
            if (i == 0) Entities_SetUser(object->record);
            content::Simulation_Drive(dynamic_cast<Craft*>(object), 0.5f + 0.5f * next(), 0.4f * next() - 0.2f);
        }
        content::Simulation_Begin();
        for (int i = 0; i < 30; ++i) content::Simulation_Frame();
    }
    ~Crowd() {
        content::Simulation_End();
        delete world;
        Collision_Shutdown();
    }
    content::HeadlessWorld* world = nullptr;
    int built = 0;
};

struct Data {
    Data() {
        char pattern[] = "/tmp/gv-bench-walker-XXXXXX";
        dir = mkdtemp(pattern);
        std::string error;
        content::WriteWorld(dir, &error);
        Plat_Init(BackendKind::Headless);
        Plat_SetMessageBoxPolicy(nullptr);
        Debug_SetOutputMode(kDebugOutNone);
    }
    ~Data() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
};

double SecondsPerFrame(int frames) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) content::Simulation_Frame();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return took.count() / frames;
}

void BM_WalkerStep(benchmark::State& state) {
    static Data data;
    double hover = 0.0;
    int tanks = 0;
    {
        Crowd crowd(data.dir, "avtank");
        tanks = crowd.built;
        hover = SecondsPerFrame(200);
    }
    Crowd crowd(data.dir, "avwalk");
    double walking = 0.0;
    int64_t frames = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        content::Simulation_Frame();
        walking += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++frames;
    }
    state.counters["walkers"] = crowd.built;
    state.counters["tanks"] = tanks;
    state.counters["vs_hover"] = frames > 0 && hover > 0.0 ? (walking / double(frames)) / hover : 0.0;
}
BENCHMARK(BM_WalkerStep)->Unit(benchmark::kMicrosecond);

}  // namespace
