// Whole frames of the first fight ("fight.qmn") through the real game loop, headless, with the
// software driver at 640 x 480: every object's simulation, the computer craft's AI, rounds in
// flight, blasts and effects, the world's drawing and the HUD, 1/30 s of game time per frame on
// the virtual clock. The player's tank is turned to meet the enemy and fires from frame 150 on;
// the timed frames are those of seconds 20 to 30, when the craft have closed in. Beside it, in
// the same run, the frame of the sample mission (the first-light frame, timed as in
// firstlight_bench). "fps" is fight frames per second of this machine's time, "firstlight_fps"
// the sample mission's, "vs_firstlight" a fight frame's time over a first-light frame's;
// "rounds" and "blasts" are the live rounds and explosions per timed frame. Run it on one core
// (taskset -c 0).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "Terrain/terrheight.h"
#include "content.h"
#include "core/app.h"
#include "core/seams/world.h"
#include "fun3d/gameobject.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "render/graphicdriver.h"
#include "startup/startup.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"

namespace {

struct Timing {
    void (*pairsReset)() = nullptr;
    int warm = 0, timed = 0;
    bool fight = false;
    bool turned = false;
    int frames = 0;
    std::chrono::steady_clock::time_point start;
    double seconds = 0.0;
    long rounds = 0, blasts = 0;
    int width = 0, height = 0;
};
Timing g_timing;

// Turns the player's tank east, toward the enemy, standing where the mission put it.
void TurnToTheEnemy(GameObject* user) {
    Matrix m{};
    m.up = Vector{0.0f, 1.0f, 0.0f};
    m.front = Vector{1.0f, 0.0f, 0.0f};
    m.right = Vector{0.0f, 0.0f, -1.0f};
    const double x = user->entity->local.posit.x, z = user->entity->local.posit.z;
    m.posit = DVector{x, Terrain_GetHeight(float(x), float(z)) + 1.0f, z};
    user->SetMatrix(m);
}

void FrameEnd() {
    g_timing.pairsReset();
    Timing& t = g_timing;
    if (t.fight && !t.turned) {
        if (GameObject* user = GameObject_GetUser(); user && user->entity) {
            TurnToTheEnemy(user);
            t.turned = true;
        }
    }
    ++t.frames;
    if (t.frames > t.warm && t.frames <= t.warm + t.timed) {
        t.rounds += static_cast<long>(Ordnance_LiveList().size());
        t.blasts += static_cast<long>(Explosion_LiveList().size());
    }
    if (t.frames == t.warm) t.start = std::chrono::steady_clock::now();
    if (t.frames == t.warm + t.timed) {
        t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t.start).count();
        t.width = g_graphicDriver.screen.width;
        t.height = g_graphicDriver.screen.height;
    }
    Plat_AdvanceVirtualClock(33);
}

// Plays the mission through the real loop and returns the seconds of one timed frame (0 when
// the frames were not played).
double PlayFrames(const std::string& dir, const char* commandLine, const char* events, bool fight, int warm,
                  int timed) {
    Plat_SetProfileDir(dir);
    Plat_SetDataRoot(dir + "/data");
    const std::string frames = std::to_string(warm + timed + 2);
    setenv("GRAVENHOLT_HEADLESS_FRAMES", frames.c_str(), 1);
    setenv("GRAVENHOLT_SEED", "1", 1);
    Plat_Init(BackendKind::Headless);
    Plat_UseVirtualClock(1000);
    std::string error;
    if (events && !Plat_ParseEventScript(events, &error)) return 0.0;
    Startup_InstallAll();
    g_timing = Timing{};
    g_timing.warm = warm;
    g_timing.timed = timed;
    g_timing.fight = fight;
    g_timing.pairsReset = Seam_World().entityPairsReset;
    Seam_World().entityPairsReset = FrameEnd;
    App_Main(commandLine);
    Seam_World().entityPairsReset = g_timing.pairsReset;
    unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
    unsetenv("GRAVENHOLT_SEED");
    Plat_UseRealClock();
    App_ReleaseResources();
    Plat_Shutdown();
    if (g_timing.seconds <= 0.0 || g_timing.width <= 0) return 0.0;
    return g_timing.seconds / timed;
}

void BM_FirstFightFrame(benchmark::State& state) {
    char pattern[] = "/tmp/gv-bench-firstfight-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    std::string error;
    if (!content::WriteWorld(dir + "/data", &error)) {
        state.SkipWithError("the sample world could not be written");
        return;
    }
    double fight = 0.0, light = 0.0;
    Timing fought;
    for (auto _ : state) {
        fight = PlayFrames(dir, "-nointro -SW fight.qmn", "150 keydown Insert\n", true, 600, 300);
        fought = g_timing;
        light = PlayFrames(dir, "-nointro -SW sample.qmn", nullptr, false, 30, 150);
        state.SetIterationTime(fight);
    }
    if (fight <= 0.0 || light <= 0.0) {
        state.SkipWithError("a mission did not run its frames");
    } else {
        state.counters["fps"] = 1.0 / fight;
        state.counters["firstlight_fps"] = 1.0 / light;
        state.counters["vs_firstlight"] = fight / light;
        state.counters["rounds"] = double(fought.rounds) / fought.timed;
        state.counters["blasts"] = double(fought.blasts) / fought.timed;
        state.counters["width"] = fought.width;
        state.counters["height"] = fought.height;
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_FirstFightFrame)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
