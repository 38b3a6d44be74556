// A 640 x 480 frame of 200 sample objects in view: through the draw passes, the BSP cache and
// the render queue's flush, with cached trees and with every tree rebuilt. The counter
// "vs_straight" is each frame's time as a multiple of drawing the same faces straight through
// Render_DrawPolygon (no culling, no sorting; measured once per run). The goal for cached trees
// is at most 1.5.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "Objkr/animobj.h"
#include "Objkr/bspcache.h"
#include "render/entitydraw.h"
#include "Objkr/classfnc.h"
#include "render/drawpass.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/objload.h"
#include "Objkr/rendersettings.h"
#include "content.h"
#include "core/filesys.h"
#include "models.h"
#include "snapshot.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "render/graphicbuffer.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/texmgr.h"
#include "render/view.h"

namespace {

constexpr int kW = 640, kH = 480, kObjects = 200;

struct Scene {
    GraphicBuffer buffer;
    RenderView view{};
    std::vector<EntityTableRecord*> records;
    bool ready = false;

    Scene() {
        Plat_Init(BackendKind::Headless);
        const std::string dir = (std::filesystem::temp_directory_path() / "gv_entity_bench").string();
        std::string error;
        if (!content::WriteWorld(dir, &error)) return;
        Plat_SetDataRoot(dir);
        if (!FileSys_TryStart(0) || !RenderQueue_Init()) return;
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c) LumaTable[r][c] = static_cast<uint8_t>(c);
        content::StartEntityWorld();
        Objkr_Services().unbindTexture = TexMgr_UnbindEntityHook;
        const std::vector<content::ModelDef> models = content::SampleModels();
        for (int i = 0; i < kObjects; ++i) {
            // A grid of 20 x 10 in front of the camera.
            const DVector at{(i % 20 - 9.5) * 14.0, 0.0, 60.0 + (i / 20) * 16.0};
            if (EntityTableRecord* r = content::EnterSampleModel(models[size_t(i) % models.size()], at))
                records.push_back(r);
        }
        Graphic_InitBuffer(&buffer, kW, kH, nullptr, kGraphicFormat8);
        View_Init(&view, &buffer, kViewFovMax, 1.0f, 600.0f, 1.0f);
        View_SetCameraMatrix(&view, Matrix_FromPositionDirection(DVector{0, 60, -40}, Vector{0, -0.45f, 1}));
        ready = true;
    }
};
Scene& TheScene() {
    static Scene scene;
    return scene;
}

// Every face of every part, transformed and drawn in table order.
void DrawStraight(Scene& s) {
    std::vector<Entity*> stack;
    RenderVertex v[kClipMaxInput];
    for (EntityTableRecord* r : s.records) {
        stack.assign(1, r->entity);
        while (!stack.empty()) {
            Entity* e = stack.back();
            stack.pop_back();
            if (e->next && e != r->entity) stack.push_back(e->next);
            if (e->child) stack.push_back(e->child);
            const Geometry* g = e == r->entity ? nullptr : Bsp_GeometryAt(e, 0);
            if (!g) continue;
            Matrix toWorld, toView;
            Entity_GetTransformTo(toWorld, e, nullptr);
            Matrix_Multiply(toView, toWorld, s.view.viewMatrix);
            for (const GeomFace* f = g->firstFace; f; f = f->next) {
                const int n = f->vertexCount < kClipMaxInput ? f->vertexCount : kClipMaxInput;
                for (int i = 0; i < n; ++i) {
                    const DVector p = Matrix_TransformPoint(g->vertices[f->refs[i].vertex], toView);
                    v[i] = RenderVertex{float(p.x), float(p.y), float(p.z), f->refs[i].u, f->refs[i].v, 1.0f};
                }
                const TextureImage* t = f->texture[0] ? TexMgr_BindEntity(e, f->texture) : nullptr;
                Render_DrawPolygon(&s.view, v, n, t, uint32_t(f->colourIndex), t ? 0x15u : 0x1u);
            }
        }
    }
}

void DrawThroughPasses(Scene& s) {
    Entities_DrawWorld(&s.view, nullptr);
    RenderQueue_Flush(&s.view);
}

double StraightSeconds() {
    static double seconds = [] {
        Scene& s = TheScene();
        int frames = 0;
        const auto start = std::chrono::steady_clock::now();
        double elapsed = 0.0;
        do {
            DrawStraight(s);
            ++frames;
            elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } while (elapsed < 0.3);
        return elapsed / frames;
    }();
    return seconds;
}

void Settle(bool cached) {
    RenderSettings& r = Render_Settings();
    RenderSettings_Reset();
    for (uint32_t& f : r.faceFlags) f = 0x5;
    for (int g = 0; g < kDetailGroupCount; ++g) r.countLimits[g] = 0, r.distanceLimits[g] = 0;
    for (float& f : r.defaultSizes) f = 0.0f;
    for (float& f : r.fixedSizes) f = 0.0f;
    // Flag 0x8 on every record keeps its tree; off, every tree is sorted again each frame.
    r.fixedSizes[1] = cached ? 1e9f : 0.0f;
    r.shadowPattern = 0;
}

void Run(benchmark::State& state, void (*draw)(Scene&), bool cached) {
    Scene& s = TheScene();
    if (!s.ready) {
        state.SkipWithError("the sample world could not be set up");
        return;
    }
    Settle(cached);
    const double straight = StraightSeconds();
    draw(s);  // warm: trees built once
    const auto start = std::chrono::steady_clock::now();
    int64_t frames = 0;
    for (auto _ : state) {
        draw(s);
        benchmark::ClobberMemory();
        ++frames;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["vs_straight"] = frames ? seconds / double(frames) / straight : 0.0;
    state.counters["trees_built"] = BspCache_BuildCount();
}

void BM_EntityFrameStraight(benchmark::State& state) { Run(state, DrawStraight, true); }
void BM_EntityFrameCachedTrees(benchmark::State& state) { Run(state, DrawThroughPasses, true); }
void BM_EntityFrameRebuiltTrees(benchmark::State& state) { Run(state, DrawThroughPasses, false); }

BENCHMARK(BM_EntityFrameStraight)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EntityFrameCachedTrees)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EntityFrameRebuiltTrees)->Unit(benchmark::kMillisecond);

}  // namespace
