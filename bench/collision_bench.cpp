// One collision pass over 512 moving craft on the sample map (a frame's worth of pairs).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "collision/collision.h"
#include "content.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "core/filesys.h"
#include "core/zix.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace {

constexpr int kCraft = 512;

struct CraftState {
    Vector velocity;
};
std::vector<CraftState> g_state;
std::vector<Entity*> g_entities;
std::vector<Geometry> g_geometries;
std::vector<Vector> g_corners;

void Motion(Entity* e, Vector* velocity, void** motion) {
    const int i = static_cast<int>(reinterpret_cast<intptr_t>(e->owner));
    if (velocity) *velocity = g_state[i].velocity;
    if (motion) *motion = nullptr;
}
void Dynamics(EntityDynamics* out, Entity* e) {
    EntityDynamics_Init(*out);
    out->velocity = g_state[static_cast<int>(reinterpret_cast<intptr_t>(e->owner))].velocity;
}
int Collide(Entity*, Entity*, CollisionBody*, CollisionBody*) { return 1; }

// The sample world's map loaded, 512 craft spread over a 1 km square of it at ground height.
struct World {
    World() {
        char pattern[] = "/tmp/gv-bench-collision-XXXXXX";
        dir = mkdtemp(pattern);
        std::string error;
        content::WriteWorld(dir, &error);
        Plat_Init(BackendKind::Headless);
        Debug_SetOutputMode(kDebugOutNone);
        Plat_SetDataRoot(dir);
        Plat_SetProfileDir(dir);
        FileSys_TryStart(0);
        Terrain_LoadMap("sample.bzn", 0);
        Objkr_ResetServices();
        Objkr_Services().frameTime = [] { return 1.0f / 30.0f; };
        Classfnc_ResetOwners();
        Classfnc_Owners().objectMotion = Motion;
        Classfnc_Owners().objectDynamics = Dynamics;
        Classfnc_Owners().objectCollide = Collide;
        Entities_Reset();
        Collision_Init();
        for (int i = 0; i < 8; ++i)
            g_corners.push_back(Vector{(i & 1) ? 2.0f : -2.0f, (i & 2) ? 1.5f : -1.0f, (i & 4) ? 3.0f : -3.0f});
        g_geometries.resize(kCraft);
        uint32_t seed = 11;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) % 100000 / 100000.0f;
        };
        for (int i = 0; i < kCraft; ++i) {
            Entity* e = Entity_New(nullptr);
            e->type = kTypeCraft;
            e->owner = reinterpret_cast<void*>(static_cast<intptr_t>(i));
            Geometry& g = g_geometries[i];
            g.vertexCount = 8;
            g.vertices = g_corners.data();
            e->geometry = &g;
            const double x = 2000.0 + 1000.0 * next(), z = 2000.0 + 1000.0 * next();
            e->local.posit = DVector{x, Terrain_GetHeight(x, z) + 2.0, z};
            g_state.push_back(CraftState{{40.0f * next() - 20.0f, 0.0f, 40.0f * next() - 20.0f}});
            g_entities.push_back(e);
            auto* box = static_cast<CollisionBoxDef*>(std::calloc(1, sizeof(CollisionBoxDef)));
            box->nx = box->ny = box->nz = 2;
            box->x[0] = -2, box->x[1] = 2, box->y[0] = -1, box->y[1] = 1.5f, box->z[0] = -3, box->z[1] = 3;
            Entities_Add(e, 0, box, nullptr);
        }
    }
    ~World() {
        Entities_RemoveAll();
        Collision_Shutdown();
        EntityAlloc_FreeAll();
        Terrain_FreeAll();
        Data_Close();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
};

void BM_CollisionPass512(benchmark::State& state) {
    static World world;
    for (auto _ : state) Collision_ProcessFrame();
    state.SetItemsProcessed(state.iterations());
    state.counters["moving"] = Collision_MovingCount();
}
BENCHMARK(BM_CollisionPass512);

}  // namespace
