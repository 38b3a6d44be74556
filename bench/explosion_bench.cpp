// The explosion manager's update: 100 pushing explosions among 512 objects on a 2560 m map,
// against the bare object-grid queries of the same squares (goal: within 3 times of them).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "Objkr/bucketgrid.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "core/datafile.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "weapons/explosion.h"
#include "weapons/weaponsinstall.h"

namespace {

constexpr int kObjects = 512;
constexpr int kExplosions = 100;
constexpr float kOuter = 60.0f;

std::vector<Vector> Scatter(int count, uint32_t seed) {
    std::vector<Vector> points;
    uint32_t s = seed;
    for (int i = 0; i < count; ++i) {
        s = s * 1103515245u + 12345u;
        const float x = float((s >> 8) % 2560000) / 1000.0f;
        s = s * 1103515245u + 12345u;
        const float z = float((s >> 8) % 2560000) / 1000.0f;
        points.push_back(Vector{x, 0.0f, z});
    }
    return points;
}

class BenchClass : public GameObjectClass {
public:
    GameObject* BuildObject(Entity*) override { return nullptr; }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};

// The world both measurements share.
struct Range {
    BenchClass objectClass;
    ExplosionClass* blast = nullptr;
    std::vector<Vector> centres = Scatter(kExplosions, 777);

    Range() {
        Explosion_Manager();  // made first, so it outlives the range at exit
        TerrainBounds.minXm = TerrainBounds.minZm = 0.0f;
        TerrainBounds.maxXm = TerrainBounds.maxZm = 2560.0f;
        DataFile_SetLoader([](const char*, std::vector<char>*) { return false; });  // no definition files
        EntityAlloc_Reset();
        GameObject_PoolInit();
        GameObject_List().clear();
        Weapons_InstallSeam();
        for (const Vector& p : Scatter(kObjects, 12345)) {
            Entity* e = Entity_New(nullptr);
            e->type = kTypeCraft;
            GameObject* o = GameObject_New<GameObject>(e, &objectClass);
            o->SetPosition(p);
        }
        GameObject_CreateGrid();
        GameObject_UpdateGrid();
        blast = new ExplosionClass(ExplosionClass::Prototypes().front(), ClassName_From("xbench"));
        blast->frameCount = 1000000;  // burns for the whole run
        blast->frameRate = 1.0f;
        blast->innerRadius = 10.0f;
        blast->outerRadius = kOuter;
        blast->pushStrength = 5.0f;
        for (const Vector& c : centres) {
            Matrix m = kIdentityMatrix;
            m.posit = DVector{c.x, c.y, c.z};
            blast->Build(m, nullptr);
        }
    }
    ~Range() {
        Explosion_Manager().MissionCleanup();
        ExplosionClass_FreeAll();
        GameObject_FreeGrid();
    }
};

Range& World() {
    static Range range;
    return range;
}

void BM_ExplosionManagerUpdate(benchmark::State& state) {
    Range& r = World();
    for (auto _ : state) {
        for (Explosion* e : Explosion_LiveList()) e->pushLeft = 5.0f;
        Explosion_Manager().Simulate(1.0f / 30.0f);
    }
    state.SetItemsProcessed(state.iterations() * kExplosions);
    benchmark::DoNotOptimize(r.blast);
}
BENCHMARK(BM_ExplosionManagerUpdate);

void BM_ExplosionGridQueriesOnly(benchmark::State& state) {
    Range& r = World();
    const BucketGrid* grid = GameObject_Grid();
    for (auto _ : state) {
        uint64_t found = 0;
        for (const Vector& c : r.centres) {
            BucketGridQuery q;
            grid->Query(c.x, c.z, kOuter, &q);
            const BucketGridEntry* e = nullptr;
            while (q.Next(&e)) found += e->value;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * kExplosions);
}
BENCHMARK(BM_ExplosionGridQueriesOnly);

}  // namespace
