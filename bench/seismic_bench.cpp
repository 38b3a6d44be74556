// The seismic wave's step: a 50 m wave lifting the ground among 512 objects on a 2560 m map,
// against a plain read-modify-write of the same cells (one pass up, one down) plus the same
// object-grid query (goal: within 3 times of it).
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
#include "weapons/areablast.h"
#include "weapons/weaponsinstall.h"

namespace {

constexpr int kObjects = 512;
constexpr int kBlocks = 2;  // 2 x 2 height blocks: cells 0..255, 2560 m a side
constexpr double kCentre = 1280.0;

class BenchClass : public GameObjectClass {
public:
    GameObject* BuildObject(Entity*) override { return nullptr; }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};

struct Field {
    BenchClass objectClass;
    std::vector<uint16_t> heights = std::vector<uint16_t>(kBlocks * kBlocks * kZoneCells * kZoneCells);
    SeismicClass* waveClass = nullptr;
    SeismicWave* wave = nullptr;
    SeismicRect rect;
    float reach = 0.0f;

    Field() {
        DataFile_SetLoader([](const char*, std::vector<char>*) { return false; });  // no definition files
        for (size_t i = 0; i < heights.size(); ++i) heights[i] = uint16_t(800 + (i * 37) % 400);
        for (int bz = 0; bz < kBlocks; ++bz)
            for (int bx = 0; bx < kBlocks; ++bx) {
                const int entry = (kBlockTableOrigin + bz) * kBlockTableSize + kBlockTableOrigin + bx;
                HeightBlockTable[entry] = heights.data() + (bz * kBlocks + bx) * kZoneCells * kZoneCells;
                LightBlockTable[entry] = 1;
            }
        TerrainBounds.minX = TerrainBounds.minZ = 0;
        TerrainBounds.maxX = TerrainBounds.maxZ = kBlocks * kZoneCells - 1;
        TerrainBounds.maxXm = TerrainBounds.maxZm = 2560.0f;
        EntityAlloc_Reset();
        GameObject_PoolInit();
        GameObject_List().clear();
        Weapons_InstallSeam();
        objectClass.category = 1;
        uint32_t s = 12345;
        for (int i = 0; i < kObjects; ++i) {
            s = s * 1103515245u + 12345u;
            const float x = float((s >> 8) % 2560000) / 1000.0f;
            s = s * 1103515245u + 12345u;
            const float z = float((s >> 8) % 2560000) / 1000.0f;
            Entity* e = Entity_New(nullptr);
            e->type = kTypeCraft;
            GameObject* o = GameObject_New<GameObject>(e, &objectClass);
            o->SetPosition(Vector{x, 0.0f, z});
        }
        GameObject_CreateGrid();
        GameObject_UpdateGrid();
        OrdnanceClass* proto = nullptr;
        for (OrdnanceClass* p : OrdnanceClass::Prototypes())
            if (dynamic_cast<SeismicClass*>(p)) proto = p;
        waveClass = static_cast<SeismicClass*>(proto->ReadOdf(ClassName_From("seisbnch")));
        waveClass->ordFloatParam = 0.0f;  // standing still: every step does the same work
        waveClass->lifetime = 1e30f;
        Matrix m = kIdentityMatrix;
        m.posit = DVector{kCentre, 100.0, kCentre};
        wave = static_cast<SeismicWave*>(waveClass->Build(m, nullptr));
        wave->strength = 1.0f;
        wave->Step(1.0f / 30.0f);
        rect = wave->rect;
        reach = 1.5f * waveClass->waveRadius + 30.0f;
    }
    ~Field() {
        Ordnance_DeleteAll();
        OrdnanceClass_FreeAll();
        GameObject_FreeGrid();
    }
};

Field& World() {
    static Field field;
    return field;
}

void BM_SeismicWaveStep(benchmark::State& state) {
    Field& f = World();
    for (auto _ : state) {
        f.wave->lifeLeft = 1e30f;
        f.wave->Step(1.0f / 30.0f);
    }
    benchmark::DoNotOptimize(f.heights.data());
}
BENCHMARK(BM_SeismicWaveStep);

void BM_SeismicPlainCellsAndGridQuery(benchmark::State& state) {
    Field& f = World();
    const BucketGrid* grid = GameObject_Grid();
    const float cx = float(kCentre) + 25.0f, cz = float(kCentre);
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass) {
            const int d = pass == 0 ? 1 : -1;
            for (int z = f.rect.minZ; z <= f.rect.maxZ; ++z)
                for (int x = f.rect.minX; x <= f.rect.maxX; ++x) {
                    uint16_t* w = Terrain_GetCell(x, z);
                    *w = uint16_t((*w & 0xF000) | ((*w + d) & kHeightMask));
                }
        }
        BucketGridQuery q;
        grid->Query(cx, cz, f.reach, &q);
        uint64_t found = 0;
        const BucketGridEntry* e = nullptr;
        while (q.Next(&e)) found += e->value;
        benchmark::DoNotOptimize(found);
    }
    benchmark::DoNotOptimize(f.heights.data());
}
BENCHMARK(BM_SeismicPlainCellsAndGridQuery);

}  // namespace
