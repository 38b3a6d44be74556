// The ordnance step: 1,000 live bullets among 512 objects on a 2560 m map, against the bare
// object-grid queries and terrain ray casts of the same segments (goal: within 3 times of them).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Objkr/bucketgrid.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "core/datafile.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "weapons/bullet.h"
#include "weapons/ordnance.h"
#include "weapons/weaponsinstall.h"

namespace {

constexpr int kObjects = 512;
constexpr int kBullets = 1000;
constexpr float kStep = 1.0f / 30.0f;

uint32_t Next(uint32_t& s) {
    s = s * 1103515245u + 12345u;
    return s >> 8;
}

class BenchClass : public GameObjectClass {
public:
    GameObject* BuildObject(Entity*) override { return nullptr; }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};

struct Range {
    BenchClass objectClass;
    BulletClass* bullets = nullptr;
    std::vector<Matrix> launches;

    Range() {
        TerrainBounds.minXm = TerrainBounds.minZm = 0.0f;
        TerrainBounds.maxXm = TerrainBounds.maxZm = 2560.0f;
        DataFile_SetLoader([](const char*, std::vector<char>*) { return false; });
        EntityAlloc_Reset();
        GameObject_PoolInit();
        GameObject_List().clear();
        Weapons_InstallSeam();
        uint32_t s = 12345;
        for (int i = 0; i < kObjects; ++i) {
            Entity* e = Entity_New(nullptr);
            e->type = kTypeCraft;
            GameObject* o = GameObject_New<GameObject>(e, &objectClass);
            o->SetPosition(Vector{float(Next(s) % 2560000) / 1000.0f, 0.0f, float(Next(s) % 2560000) / 1000.0f});
            o->radius = 3.0f;
        }
        GameObject_CreateGrid();
        GameObject_UpdateGrid();
        BulletClass* proto = nullptr;
        for (OrdnanceClass* p : OrdnanceClass::Prototypes())
            if (auto* b = dynamic_cast<BulletClass*>(p)) proto = b;
        bullets = new BulletClass(proto, ClassName_From("bbench"));
        bullets->lifetime = 1e30f;
        // Level shots 40 m up, crossing the map in every direction.
        for (int i = 0; i < kBullets; ++i) {
            const float x = 200.0f + float(Next(s) % 2160000) / 1000.0f;
            const float z = 200.0f + float(Next(s) % 2160000) / 1000.0f;
            const float a = float(Next(s) % 6283) / 1000.0f;
            launches.push_back(Matrix_FromPositionDirection(DVector{x, 40.0, z}, Vector{std::sin(a), 0.0f, std::cos(a)}));
            bullets->Build(launches.back(), nullptr);
        }
    }
    ~Range() {
        Ordnance_DeleteAll();
        OrdnanceClass_FreeAll();
        GameObject_FreeGrid();
    }
    // Every shot back at its launch point.
    void Rewind() {
        size_t i = 0;
        for (auto it = Ordnance_LiveList().rbegin(); it != Ordnance_LiveList().rend(); ++it, ++i) {
            (*it)->entity->local = launches[i];
            (*it)->entity->flags = 0;
        }
    }
};

Range& World() {
    static Range range;
    return range;
}

void BM_OrdnanceStepAll(benchmark::State& state) {
    Range& r = World();
    for (auto _ : state) {
        state.PauseTiming();
        r.Rewind();
        state.ResumeTiming();
        Ordnance_StepAll(kStep);
    }
    state.SetItemsProcessed(state.iterations() * kBullets);
}
BENCHMARK(BM_OrdnanceStepAll);

void BM_OrdnanceGridAndRayOnly(benchmark::State& state) {
    Range& r = World();
    const BucketGrid* grid = GameObject_Grid();
    for (auto _ : state) {
        uint64_t found = 0;
        for (const Matrix& m : r.launches) {
            const Vector v{m.front.x * 200.0f, m.front.y * 200.0f, m.front.z * 200.0f};
            const double x = m.posit.x, y = m.posit.y, z = m.posit.z;
            float t = kStep;
            Vector n{};
            found += Terrain_RayCast(x, y, z, v.x, v.y, v.z, &t, &n);
            const double ex = x + v.x * kStep, ez = z + v.z * kStep;
            BucketGridQuery q;
            grid->BeginQuery(std::min(x, ex), std::min(z, ez), std::max(x, ex), std::max(z, ez), &q);
            const BucketGridEntry* e = nullptr;
            while (q.Next(&e)) found += e->value;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * kBullets);
}
BENCHMARK(BM_OrdnanceGridAndRayOnly);

}  // namespace
