// One radar update with a full relief (16384 points) and 200 blips, plus its draw into a
// 640 x 480 software screen. The counter "frame" is the share of a 60 Hz frame (16.67 ms).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "core/seams/cockpit.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "interface/combathud.h"
#include "interface/hudelement.h"
#include "render/graphicbuffer.h"

namespace {

constexpr int kBlips = 200;

class BenchClass : public GameObjectClass {
public:
    GameObject* BuildObject(Entity*) override { return nullptr; }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};

struct Scene;
Scene* g_scene = nullptr;

struct Scene {
    BenchClass objectClass;
    std::vector<GameObject*> objects;
    GameObject* player = nullptr;
    GraphicBuffer screen{};
    RenderView view{};
    uint32_t ms = 0;

    Scene() {
        g_scene = this;
        EntityAlloc_Reset();
        GameObject_PoolInit();
        GameObject_List().clear();
        Graphic_InitBuffer(&screen, 640, 480, nullptr, 0);
        View_Init(&view, &screen, 1.3962634f, 1.0f, 300.0f, 1.0f);
        uint32_t s = 99;
        for (int i = 0; i <= kBlips; ++i) {
            Entity* e = Entity_New(nullptr);
            e->type = kTypeCraft;
            GameObject* o = GameObject_New<GameObject>(e, &objectClass);
            s = s * 1103515245u + 12345u;
            const float x = i == 0 ? 0.0f : float((s >> 8) % 3000) - 1500.0f;
            s = s * 1103515245u + 12345u;
            const float z = i == 0 ? 0.0f : float((s >> 8) % 3000) - 1500.0f;
            o->SetPosition(Vector{x, 10.0f, z});
            o->pos = Vector{x, 10.0f, z};
            o->team = i % 3 == 0 ? 1 : 2;
            o->healthRatio = 0.75f;
            o->illumination = 1.0f;
            objects.push_back(o);
        }
        player = objects.front();
        Seam_Cockpit().hudIsOn = [] { return true; };
        Seam_Cockpit().radarIsOn = [] { return true; };
        CombatHudServices& h = CombatHud_Services();
        h.player = [] { return g_scene->player; };
        h.objects = []() -> const std::vector<GameObject*>& { return g_scene->objects; };
        // Wide enough that the relief fills to its cap.
        h.radarRange = [](GameObject*) { return 1900.0f; };
        h.realMs = [] { return g_scene->ms += 1000; };
        h.view = [] { return &g_scene->view; };
        h.cellHeight = [](int i, int k) { return 20.0f + 10.0f * std::sin(i * 0.1f) * std::cos(k * 0.07f); };
        h.terrainHeight = [](double x, double z) { return float(20.0 + 10.0 * std::sin(x * 0.01) * std::cos(z * 0.01)); };
        h.playSound = [](const char*) {};
        h.drawSprite = [](GraphicBuffer*, int, int, int, uint32_t, int) {};
        Hud_Context().buffer = &screen;
        Radar_Instance().Init();
        Radar_Instance().Start();
    }
    static Scene& Get() {
        static Scene scene;
        return scene;
    }
};

void BM_RadarUpdateAndDraw(benchmark::State& state) {
    Scene& scene = Scene::Get();
    Radar& radar = Radar_Instance();
    for (auto _ : state) {
        radar.Update(1.0f / 60.0f);
        Radar_DrawSweep();
        radar.Draw();
        benchmark::DoNotOptimize(scene.screen.pixels[0]);
    }
    state.counters["relief"] = double(radar.relief.size());
    state.counters["blips"] = double(radar.drawn.size());
    state.counters["frame"] =
        benchmark::Counter(double(state.iterations()) / 60.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RadarUpdateAndDraw);

}  // namespace
