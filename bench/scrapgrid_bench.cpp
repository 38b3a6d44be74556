// The scrap grid's refill after a scrap field has laid 400 pieces, beside one rebuild of the
// object grid over the same 400 objects, both in this run: counter vs_object_grid is the refill's
// time over the rebuild's (the goal is at most 1.0).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "core/registration.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "fun3d/scrap.h"
#include "fun3d/teamrecord.h"

namespace {

constexpr int kPieces = 400;

double SecondsOf(void (*pass)(), int runs) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) pass();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / runs;
}

void BM_ScrapGridRefillAfterAField(benchmark::State& state) {
    Entities_Reset();
    GameObject_PoolInit();
    GameObject_List().clear();
    TeamRecord_CreateAll();
    GameObject_InstallClassFunctions();
    TerrainBounds.minXm = TerrainBounds.minZm = 0.0f;
    TerrainBounds.maxXm = TerrainBounds.maxZm = 2560.0f;
    GameObjectClass* cls = Scrap_MakePrototype("scrap", Signature("SCRP"), kCategoryScrap);
    // A field's scatter: 400 pieces within 200 units of its centre, a fixed sequence.
    uint32_t s = 12345;
    for (int i = 0; i < kPieces; ++i) {
        Entity* e = Entity_New(nullptr);
        e->type = kTypeBuilding7;
        e->classData = Building_NewEntityRecord();
        s = s * 1103515245u + 12345u;
        const double x = 1280.0 + double((s >> 8) % 400000) / 1000.0 - 200.0;
        s = s * 1103515245u + 12345u;
        const double z = 1280.0 + double((s >> 8) % 400000) / 1000.0 - 200.0;
        e->local.posit = DVector{x, 0.0, z};
        Entities_Add(e, 0, nullptr, nullptr);
        GameObject_New<Scrap>(e, cls);
    }
    Scrap_CreateGrid();
    GameObject_CreateGrid();
    for (auto _ : state) {
        Scrap_MarkGridDirty();
        Scrap_RefreshGrid();
    }
    const int runs = 2000;
    const double refill = SecondsOf(
        [] {
            Scrap_MarkGridDirty();
            Scrap_RefreshGrid();
        },
        runs);
    const double rebuild = SecondsOf(GameObject_UpdateGrid, runs);
    state.counters["vs_object_grid"] = rebuild > 0.0 ? refill / rebuild : 0.0;
    Scrap_FreeGrid();
    GameObject_FreeGrid();
    GameObject_RemoveAll();
    TeamRecord_DestroyAll();
    delete cls;
}
BENCHMARK(BM_ScrapGridRefillAfterAField);

}  // namespace
