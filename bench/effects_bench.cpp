// One frame of the effect modules with full buffers on the sample map: 2048 smoke puffs, 2048
// dust entries, 1024 debris chunks (each casting its step against the terrain and trailing
// smoke) and 256 sparks, updated and queued for drawing. The reference is the same count of
// bare position updates plus one terrain ray cast per chunk (goal: within 3 times of it).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "content.h"
#include "core/debug.h"
#include "core/filesys.h"
#include "core/zix.h"
#include "fun3d/hovercraft.h"
#include "fun3d/particlebuffer.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "platform/system.h"
#include "render/billboard.h"
#include "render/graphicbuffer.h"
#include "render/renderqueue.h"
#include "render/view.h"
#include "terrain_writer.h"
#include "weapons/chunkeffect.h"
#include "weapons/effects.h"
#include "weapons/explosion.h"
#include "weapons/spriteeffects.h"
#include "weapons/weaponsinstall.h"

namespace {

constexpr float kDt = 1.0f / 30.0f;
// Frames between refills: nothing burns out or lands within them.
constexpr int kFramesPerFill = 30;

float Next(uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>((seed >> 8) % 100000) / 100000.0f;
}

// The sample map with every effect buffer full, 50 m above flat ground and in front of a view.
struct World {
    World() {
        char pattern[] = "/tmp/gv-bench-effects-XXXXXX";
        dir = mkdtemp(pattern);
        std::string error;
        content::WriteWorld(dir, &error);
        Plat_Init(BackendKind::Headless);
        Debug_SetOutputMode(kDebugOutNone);
        Plat_SetDataRoot(dir);
        Plat_SetProfileDir(dir);
        FileSys_TryStart(0);
        Terrain_LoadMap("sample.bzn", 0);
        Classfnc_ResetLists();
        Entities_Reset();
        EntityAlloc_Reset();
        Weapons_InstallSeam();
        Render_InstallBillboards();
        RenderQueue_Init();
        Random_Seed(5);
        Explosion_Manager().MissionSetup();
        Smoke_Effect().MissionSetup();
        Dust_Effect().MissionSetup();
        Particle_Effect().MissionSetup();
        Chunk_Effect().MissionSetup();
        Chunk_Effect().PostLoad();
        // Long-lived entries, so that a refill puts back the same work.
        HoverDust_Timing().rate = 0.001f;
        smokeKind = ParticleKind{1.0f, 1000.0f, 1.0f, 1.0f, 0.1f};

        centre = Vector{content::kSampleFlatX * 10.0f, 0.0f, content::kSampleFlatZ * 10.0f};
        centre.y = Terrain_GetHeight(centre.x, centre.z) + 50.0f;
        uint32_t seed = 17;
        auto around = [&](float spread) {
            return Vector{centre.x + spread * (Next(seed) - 0.5f), centre.y + spread * (Next(seed) - 0.5f),
                          centre.z + spread * (Next(seed) - 0.5f)};
        };
        for (int i = 0; i < kParticleBufferSize; ++i) puffs.push_back(around(60.0f));
        for (int i = 0; i < kHoverDustMax; ++i) dust.push_back(around(60.0f));
        for (int i = 0; i < kChunkMax; ++i) chunks.push_back(around(40.0f));
        for (int i = 0; i < kParticleRingSize; ++i) sparks.push_back(around(40.0f));
        for (int i = 0; i < kChunkMax; ++i) Chunk_Effect().Spawn(chunks[i], Vector{}, true);
        velocities.assign(kParticleBufferSize, Vector{1.0f, 2.0f, 0.5f});

        Graphic_InitBuffer(&buffer, 320, 240, nullptr, kGraphicFormat8);
        View_Init(&view, &buffer, kDefaultFieldOfView, 1.0f, 600.0f, 1.0f);
        View_SetCameraMatrix(&view, Matrix_FromPositionDirection(
                                        DVector{centre.x, centre.y, centre.z - 120.0}, Vector{0.0f, 0.0f, 1.0f}));
        Fill();
    }
    ~World() {
        RenderQueue_Close();
        Graphic_FreeBuffer(&buffer);
        Explosion_Manager().MissionCleanup();
        Chunk_Effect().MissionCleanup();
        Entities_RemoveAll();
        Chunk_Effect().Forget();
        EntityAlloc_FreeAll();
        Terrain_FreeAll();
        Data_Close();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    // Every buffer back to full, the chunks back at their places at rest.
    void Fill() {
        ParticleBuffer_Clear();
        for (const Vector& p : puffs) ParticleBuffer_Add(smokeKind, p, Vector{0.5f, 1.0f, 0.0f}, 0.0f);
        HoverDust_Clear();
        for (const Vector& p : dust) HoverDust_Add(p, Vector{0.0f, 0.5f, 0.5f}, 0.0f);
        ChunkEffect& c = Chunk_Effect();
        for (int i = 0; i < c.LiveCount(); ++i) {
            Chunk& chunk = c.At(i);
            chunk.entity->local.posit = DVector{chunks[i].x, chunks[i].y, chunks[i].z};
            chunk.velocity = Vector{1.0f, 0.0f, -1.0f};
            chunk.smokeTimer = 0.0f;
        }
        Particle_Effect().Clear();
        for (const Vector& p : sparks) Particle_Effect().Add(p, Vector{0.0f, 1.0f, 0.0f});
    }

    std::string dir;
    Vector centre{};
    ParticleKind smokeKind{};
    std::vector<Vector> puffs, dust, chunks, sparks, velocities;
    GraphicBuffer buffer{};
    RenderView view{};
};

World& TheWorld() {
    static World world;
    return world;
}

void BM_EffectsFrameFullBuffers(benchmark::State& state) {
    World& w = TheWorld();
    int frame = 0;
    for (auto _ : state) {
        if (++frame % kFramesPerFill == 0) {
            state.PauseTiming();
            w.Fill();
            state.ResumeTiming();
        }
        Smoke_Effect().Simulate(kDt);
        Dust_Effect().Simulate(kDt);
        Chunk_Effect().Simulate(kDt);
        Particle_Effect().Simulate(kDt);
        RenderQueue_Reset();
        Smoke_Effect().Render(&w.view);
        Dust_Effect().Render(&w.view);
        Chunk_Effect().Render(&w.view);
        Particle_Effect().Render(&w.view);
    }
    state.counters["chunks"] = Chunk_Effect().LiveCount();
    state.counters["puffs"] = ParticleBuffer_Count();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EffectsFrameFullBuffers);

// The same entries moved by their velocity, and one terrain ray cast per chunk step.
void BM_EffectsBarePositionUpdates(benchmark::State& state) {
    World& w = TheWorld();
    std::vector<Vector> all;
    for (const auto* list : {&w.puffs, &w.dust, &w.chunks, &w.sparks}) all.insert(all.end(), list->begin(), list->end());
    std::vector<Vector> velocity(all.size(), Vector{1.0f, 0.5f, -1.0f});
    for (auto _ : state) {
        for (size_t i = 0; i < all.size(); ++i) {
            all[i].x += velocity[i].x * kDt;
            all[i].y += velocity[i].y * kDt;
            all[i].z += velocity[i].z * kDt;
        }
        int hits = 0;
        for (const Vector& c : w.chunks) {
            float t = 1.0f;
            Vector n{};
            // The step of a chunk falling at the middle of a refill's frames.
            hits += Terrain_RayCast(c.x, c.y, c.z, kDt, -5.0f * kDt, -kDt, &t, &n);
        }
        benchmark::DoNotOptimize(all.data());
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EffectsBarePositionUpdates);

}  // namespace
