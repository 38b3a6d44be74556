// One AI frame of collision avoidance on the sample map: the avoidance grid refilled, then for
// each of 200 moving units the object pushes, the blocked-ground pushes and the nearest
// obstacle, among 500 objects in all. The same frame is run again over a grid of one cell, where
// every query hands out every object: the pushes and answers of a plain scan over all objects,
// computed by the same code. Both are timed in the same run and their answers compared.
// Counters: frame_us (the grid's frame), vs_scan (grid time over plain-scan time), and how many
// units were pushed and had an obstacle near (so the frame is seen to do work).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Terrain/terramap.h"
#include "ai/avoidance.h"
#include "ai/avoidsettings.h"
#include "ai/pathgrid.h"
#include "ai/pathplanner.h"
#include "ai/worldqueries.h"
#include "content.h"
#include "core/clock.h"
#include "core/factory.h"
#include "core/filesys.h"
#include "core/registration.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "fun3d/teamrecord.h"
#include "platform/paths.h"
#include "sample_world_dir.h"

namespace {

class BenchClass : public GameObjectClass {
public:
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<GameObject>(entity, this); }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};

class BenchPilot : public sObject {
public:
    bool Load() override { return true; }
    bool Save(FILE*) override { return true; }
    const FactoryReg* GetFactory() const override { return nullptr; }
};

struct Answers {
    std::vector<Vector> forces;
    std::vector<GameObject*> obstacles;
};

struct AvoidWorld {
    AvoidWorld() {
        Terrain_LoadMap("sample.bzn", 0);
        PathPlanner_Init();
        GameObject_PoolInit();
        TeamRecord_CreateAll();
        // The sample world's own tuning file must be what is read: a value put aside beforehand
        // comes back only from the file.
        Avoidance_Settings().lookAheadTime = -1.0f;
        Avoidance_LoadConfig();
        configRead = Avoidance_Settings().lookAheadTime > 0.0f;
        Terrain_GetBounds(bounds);
        craft.signature = Signature("CRFT");
        craft.category = 1;
        rock.signature = Signature("ROCK");
        rock.category = 0;
        std::mt19937 random(20261211u);
        std::uniform_real_distribution<float> ux(bounds[0] + 20.0f, bounds[3] - 20.0f),
            uz(bounds[2] + 20.0f, bounds[5] - 20.0f), angle(0.0f, 6.2831853f);
        for (int i = 0; i < 500; ++i) {
            const bool unit = i < 200;
            Entity* e = Entity_New(nullptr);
            Entity_SetName(e, "thing");
            const int32_t team = 1 + i % 2;
            e->flags |= static_cast<uint32_t>(team) << kEntityTeamShift & kEntityTeamMask;
            Entities_Add(e, 0, nullptr, nullptr);
            GameObject* o = GameObject_New<GameObject>(e, unit ? static_cast<GameObjectClass*>(&craft) : &rock);
            o->SetTeam(team);
            e->type = unit ? 1 : 0;
            const Vector at{ux(random), 0.0f, uz(random)};
            e->local.posit = DVector{at.x, at.y, at.z};
            o->pos = at;
            o->radius = 3.0f;
            if (o->record) o->record->radius = 3.0f;
            if (unit) {
                o->SetAiProcess(new BenchPilot);
                const float a = angle(random);
                o->SetVelocity(Vector{10.0f * std::sin(a), 0.0f, 10.0f * std::cos(a)});
                units.push_back(o);
                goals.push_back(Vector{at.x + 100.0f * std::sin(a), 0.0f, at.z + 100.0f * std::cos(a)});
            }
        }
        Clock_SetTime(100.0f);
    }
    ~AvoidWorld() {
        const std::vector<GameObject*> live = GameObject_List();
        for (GameObject* o : live) delete o;
        Avoidance_DestroyGrid();
        TeamRecord_DestroyAll();
        PathSystem_Shutdown();
        Terrain_FreeAll();
    }
    // One frame over a grid of the cell size; the time it took in seconds.
    double Frame(float cell, Answers* out) {
        AvoidanceSettings& s = Avoidance_Settings();
        s.gridXSize = s.gridZSize = cell;
        Avoidance_CreateGridOver(bounds[0], bounds[2], bounds[3], bounds[5]);
        Avoidance_ClearStuckPairs();
        out->forces.assign(units.size(), Vector{});
        out->obstacles.assign(units.size(), nullptr);
        const auto a = std::chrono::steady_clock::now();
        Avoidance_RefillGrid();
        for (size_t i = 0; i < units.size(); ++i) {
            Vector force{};
            Avoidance_Steer(units[i], nullptr, 40.0f, goals[i], &force);
            Avoidance_CliffRepulsion(units[i], goals[i], 40.0f, &force);
            out->forces[i] = force;
            out->obstacles[i] = AI_FindNearestObstacle(units[i], nullptr);
        }
        const auto b = std::chrono::steady_clock::now();
        Avoidance_DestroyGrid();
        return std::chrono::duration<double>(b - a).count();
    }
    bool configRead = false;
    float bounds[6] = {};
    BenchClass craft, rock;
    std::vector<GameObject*> units;
    std::vector<Vector> goals;
    SampleWorldDir scratch{"/tmp/gv-bench-avoid-XXXXXX"};
};

AvoidWorld& World() {
    static AvoidWorld world;
    return world;
}

bool Same(const Answers& a, const Answers& b) {
    if (a.obstacles != b.obstacles) return false;
    for (size_t i = 0; i < a.forces.size(); ++i) {
        const Vector& f = a.forces[i];
        const Vector& g = b.forces[i];
        const float scale = 1e-3f * (1.0f + std::fabs(f.x) + std::fabs(f.z));
        if (std::fabs(f.x - g.x) > scale || std::fabs(f.z - g.z) > scale) return false;
    }
    return true;
}

void BM_AvoidanceFrame(benchmark::State& state) {
    AvoidWorld& world = World();
    if (!world.configRead) {
        state.SkipWithError("the sample world's Collision.cfg was not read");
        return;
    }
    const float cell = Avoidance_Settings().gridXSize;
    double grid = 0.0, scan = 0.0;
    size_t frames = 0;
    Answers byGrid, byScan;
    for (auto _ : state) {
        grid += world.Frame(cell, &byGrid);
        scan += world.Frame(1e6f, &byScan);
        ++frames;
        if (!Same(byGrid, byScan)) {
            state.SkipWithError("the grid's answers differ from the plain scan's");
            break;
        }
    }
    Avoidance_Settings().gridXSize = Avoidance_Settings().gridZSize = cell;
    if (frames) {
        state.counters["frame_us"] = grid / static_cast<double>(frames) * 1e6;
        state.counters["vs_scan"] = scan > 0.0 ? grid / scan : 0.0;
        int pushed = 0, obstacles = 0;
        for (size_t i = 0; i < byGrid.forces.size(); ++i) {
            pushed += byGrid.forces[i].x != 0.0f || byGrid.forces[i].z != 0.0f;
            obstacles += byGrid.obstacles[i] != nullptr;
        }
        state.counters["pushed"] = pushed;
        state.counters["obstacles"] = obstacles;
    }
}
BENCHMARK(BM_AvoidanceFrame)->Unit(benchmark::kMillisecond);

}  // namespace
