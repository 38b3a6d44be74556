#include "support/game_run.h"

#include <cstdlib>
#include <string>

#include "Objkr/entity.h"
#include "collision/collision.h"
#include "core/app.h"
#include "core/clock.h"
#include "core/game.h"
#include "core/seams/cockpit.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "interface/camera.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/system.h"
#include "startup/startup.h"

namespace {

struct RunState {
    GameRunResult* result = nullptr;
    bool keepFrames = false;
    int frameMs = 33;
    void (*inputRead)() = nullptr;
    uint32_t lastPresented = 0;
    std::function<void(GameObject*)> atStart;
};
RunState g_run;

// Every frame, paused or not, reads the input right after its clock tick: record there what the
// frame starts from (what the frame before it left), then let 1/30 s pass on the virtual clock
// for the next tick.
void ObserveFrame() {
    GameRunFrame seen;
    seen.frame = Clock_GetFrameCount();
    seen.time = Clock_GetTime();
    seen.paused = Game_IsPaused();
    seen.screenMode = App_Globals().screenMode;
    if (GameObject* user = GameObject_GetUser(); user && user->entity && g_run.atStart) {
        g_run.atStart(user);
        g_run.atStart = nullptr;
    }
    if (GameObject* user = GameObject_GetUser(); user && user->entity) {
        seen.hasUser = true;
        const Matrix& m = user->entity->local;
        seen.position = m.posit;
        seen.front = m.front;
        seen.speed = user->euler.speed;
        Vector normal{};
        Collision_GetFloorHeight(m.posit.x, m.posit.y, m.posit.z, &seen.floor, &normal);
        if (auto* craft = dynamic_cast<Craft*>(user)) {
            seen.throttle = craft->controls.throttle;
            seen.steering = craft->controls.steering;
        }
    }
    seen.cameraMode = Camera_ModeId();
    seen.cameraPosition = Camera_Current().view.cameraPosition;
    g_run.result->frames.push_back(seen);
    const WindowHandle window = App_Globals().mainWindow;
    const uint32_t presented = static_cast<uint32_t>(Plat_SurfacePresentCount(window));
    if (g_run.keepFrames && presented != g_run.lastPresented) {
        PlatFrame frame;
        if (Plat_SurfaceLastFrame(window, &frame)) g_run.result->presented.push_back(frame.rgb);
    }
    g_run.lastPresented = presented;
    Plat_SurfaceLastFrame(window, &g_run.result->lastFrame);
    Plat_AdvanceVirtualClock(static_cast<uint32_t>(g_run.frameMs));
    g_run.inputRead();
}

}  // namespace

GameRunResult GameRun_Play(const GameRunOptions& options, bool keepFrames) {
    GameRunResult result;
    const std::string frames = std::to_string(options.frames);
    const std::string seed = std::to_string(options.seed);
    setenv("GRAVENHOLT_HEADLESS_FRAMES", frames.c_str(), 1);
    setenv("GRAVENHOLT_SEED", seed.c_str(), 1);
    Plat_Init(BackendKind::Headless);  // the backend reads the frame limit when it starts
    unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
    Plat_UseVirtualClock(1000);
    if (!options.events.empty() && !Plat_ParseEventScript(options.events, &result.scriptError)) return result;

    Startup_InstallAll();
    g_run = RunState{&result, keepFrames, options.frameMs, Seam_Cockpit().inputRead, 0, options.atStart};
    Seam_Cockpit().inputRead = ObserveFrame;
    result.exitCode = App_Main(options.commandLine.c_str());
    Seam_Cockpit().inputRead = g_run.inputRead;
    g_run = RunState{};
    unsetenv("GRAVENHOLT_SEED");
    Plat_UseRealClock();
    return result;
}
