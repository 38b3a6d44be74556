#include "support/game_run.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "Objkr/entity.h"
#include "Terrain/terrheight.h"
#include "ai/unitprocess.h"
#include "ai/unittask.h"
#include "collision/collision.h"
#include "core/app.h"
#include "core/clock.h"
#include "core/game.h"
#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "interface/camera.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/sound.h"
#include "platform/system.h"
#include "startup/startup.h"
#include "weapons/chunkeffect.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"

namespace {

struct RunState {
    GameRunResult* result = nullptr;
    bool keepFrames = false;
    int frameMs = 33;
    void (*inputRead)() = nullptr;
    uint32_t lastPresented = 0;
    std::function<void(GameObject*)> atStart;
    bool keepObjects = false;
    bool keepSound = false;
    std::function<void(const GameRunFrame&)> everyFrame;
    // The drawing the run asked for, and the driver's own lock and present it stands in front of.
    std::function<bool(int)> draw;
    bool drawThisFrame = true;
    bool undrawn = false;  // a frame was left undrawn since the last present
    bool (*lockFrame)() = nullptr;
    void (*driverPresent)() = nullptr;
    // What the last frame saw, to tell what happened since.
    bool baseline = false;
    std::map<uint32_t, std::pair<float, bool>> objects;  // handle: health, dead
    std::set<std::pair<const Ordnance*, float>> shots;    // a pooled shot is new again at each launch
    std::map<const Explosion*, float> explosions;         // a pooled explosion restarts its frames
};
RunState g_run;

std::string ClassText(const GameObjectClass* cls) {
    char name[kClassNameSize + 1] = {};
    if (cls) cls->GetDefName(name);
    return name;
}

template <typename Record>
std::string RecordText(const Record* record) {
    return record ? std::string(record->nameText) : std::string();
}

uint32_t OwnerHandle(const Entity* owner) {
    return owner ? GameObject::GetObjHandle(GameObject_FromEntity(owner)) : 0;
}

GameRunObject Snapshot(GameObject* object) {
    GameRunObject o;
    o.handle = object->GetObjHandle();
    o.cls = ClassText(object->objClass);
    o.team = object->team;
    o.teamSlot = object->teamSlot;
    o.category = object->objClass ? object->objClass->category : 0;
    if (object->entity) o.position = object->entity->local.posit;
    o.speed = object->euler.speed;
    o.health = object->curHealth;
    o.maxHealth = object->maxHealth;
    o.ammo = object->curAmmo;
    o.maxAmmo = object->maxAmmo;
    o.command = object->curCmd.what;
    o.commandTarget = object->curCmd.who;
    if (object->aiProcess && object->aiProcess->GetFactory()) o.process = object->aiProcess->GetFactory()->name;
    if (auto* unit = dynamic_cast<UnitProcess*>(object->aiProcess)) {
        o.state = unit->curState;
        if (unit->task && unit->task->GetFactory()) o.task = unit->task->GetFactory()->name;
    }
    o.target = object->target;
    o.lastShooter = object->lastShooter;
    o.dead = object->entity && (object->entity->flags & kEntityDead);
    o.user = object == GameObject_GetUser();
    return o;
}

// Every object's state, and the events since the last frame: new and removed objects, health
// lost, deaths, new shots and new explosions.
void ObserveObjects(GameRunFrame& seen) {
    std::vector<GameRunEvent>& events = g_run.result->events;
    auto event = [&](GameRunEventKind kind, uint32_t object, const std::string& what, const DVector& at) {
        GameRunEvent e;
        e.frame = seen.frame;
        e.time = seen.time;
        e.kind = kind;
        e.object = object;
        e.what = what;
        e.position = at;
        events.push_back(e);
        return &events.back();
    };
    const bool report = g_run.baseline;
    std::map<uint32_t, std::pair<float, bool>> objects;
    for (GameObject* object : GameObject_List()) {
        if (!object) continue;
        GameRunObject o = Snapshot(object);
        objects[o.handle] = {o.health, o.dead};
        const auto before = g_run.objects.find(o.handle);
        if (report && before == g_run.objects.end()) {
            event(GameRunEventKind::Created, o.handle, o.cls, o.position);
        } else if (report) {
            if (o.health < before->second.first) {
                GameRunEvent* e = event(GameRunEventKind::Hit, o.handle, o.cls, o.position);
                e->other = o.lastShooter;
                e->amount = before->second.first - o.health;
            }
            if (o.dead && !before->second.second) event(GameRunEventKind::Died, o.handle, o.cls, o.position);
        }
        seen.objects.push_back(std::move(o));
    }
    if (report)
        for (const auto& [handle, state] : g_run.objects)
            if (!objects.count(handle)) event(GameRunEventKind::Removed, handle, std::string(), DVector{});
    g_run.objects = std::move(objects);

    std::set<std::pair<const Ordnance*, float>> shots;
    for (const Ordnance* shot : Ordnance_LiveList()) {
        shots.insert({shot, shot->launchTime});
        if (report && !g_run.shots.count({shot, shot->launchTime}))
            event(GameRunEventKind::Shot, OwnerHandle(shot->owner), RecordText(shot->ordnanceClass),
                  shot->launchMatrix.posit);
    }
    g_run.shots = std::move(shots);

    std::map<const Explosion*, float> explosions;
    for (const Explosion* blast : Explosion_LiveList()) {
        explosions[blast] = blast->frame;
        const auto before = g_run.explosions.find(blast);
        if (report && (before == g_run.explosions.end() || blast->frame < before->second))
            event(GameRunEventKind::Explosion, OwnerHandle(blast->owner), RecordText(blast->explosionClass),
                  blast->entity ? blast->entity->local.posit : DVector{});
    }
    g_run.explosions = std::move(explosions);
    seen.debris = Chunk_Effect().LiveCount();
    g_run.baseline = seen.hasUser;
}

// What the mixer mixed since the last frame; the record is emptied so that it never fills.
void ObserveSound(GameRunFrame& seen) {
    const std::vector<int16_t>& mixed = PlatSound_Record();
    const size_t frames = mixed.size() / 2;
    double left = 0.0, right = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        left += double(mixed[2 * i]) * mixed[2 * i];
        right += double(mixed[2 * i + 1]) * mixed[2 * i + 1];
    }
    seen.soundFrames = int(frames);
    if (frames) {
        seen.soundLeft = float(std::sqrt(left / double(frames)));
        seen.soundRight = float(std::sqrt(right / double(frames)));
    }
    if (g_run.keepSound) {
        g_run.result->sound.insert(g_run.result->sound.end(), mixed.begin(), mixed.end());
        g_run.result->soundRate = PlatSound_OutputRate();
        seen.soundEnd = g_run.result->sound.size();
    }
    PlatSound_ClearRecord();
}

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
    g_run.drawThisFrame = g_run.draw && g_run.draw(static_cast<int>(g_run.result->frames.size()) + 1);
    seen.cameraMode = Camera_ModeId();
    seen.cameraPosition = Camera_Current().view.cameraPosition;
    if (g_run.keepObjects) ObserveObjects(seen);
    ObserveSound(seen);
    g_run.result->frames.push_back(seen);
    if (g_run.everyFrame) g_run.everyFrame(g_run.result->frames.back());
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

// A frame the run does not draw: the driver refuses the lock, as a lost device does, so the
// frame's drawing is skipped whole, and what the simulation queued for drawing goes with it.
bool LockFrameIfDrawn() {
    if (g_run.drawThisFrame) return g_run.lockFrame();
    Seam_Render().renderQueueReset();
    g_run.undrawn = true;
    return false;
}

// Presents only what was drawn: the screen buffer of a frame left undrawn holds an older picture.
void PresentIfDrawn() {
    if (g_run.undrawn) {
        g_run.undrawn = false;
        return;
    }
    g_run.driverPresent();
}

}  // namespace

void GameRun_DrawNothing() {
    Seam_Render().lockFrame = [] {
        Seam_Render().renderQueueReset();
        return false;
    };
    Seam_Render().driverPresent = [] {};
}

std::function<bool(int)> GameRun_DrawEvery() {
    return [](int) { return true; };
}

std::function<bool(int)> GameRun_DrawFrom(int first) {
    return [first](int frame) { return frame >= first; };
}

std::function<bool(int)> GameRun_DrawLast(int frames) {
    return [frames](int frame) { return frame == frames - 2; };
}

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
    g_run = RunState{};
    g_run.result = &result;
    g_run.keepFrames = keepFrames;
    g_run.frameMs = options.frameMs;
    g_run.inputRead = Seam_Cockpit().inputRead;
    g_run.atStart = options.atStart;
    g_run.keepObjects = options.keepObjects;
    g_run.keepSound = options.keepSound;
    g_run.everyFrame = options.everyFrame;
    g_run.draw = options.draw;
    g_run.drawThisFrame = true;  // what is drawn before the first frame (start-up screens) stays
    RenderSeam& render = Seam_Render();
    g_run.lockFrame = render.lockFrame;
    g_run.driverPresent = render.driverPresent;
    render.lockFrame = LockFrameIfDrawn;
    render.driverPresent = PresentIfDrawn;
    Seam_Cockpit().inputRead = ObserveFrame;
    result.exitCode = App_Main(options.commandLine.c_str());
    Seam_Cockpit().inputRead = g_run.inputRead;
    render.lockFrame = g_run.lockFrame;
    render.driverPresent = g_run.driverPresent;
    g_run = RunState{};
    unsetenv("GRAVENHOLT_SEED");
    Plat_UseRealClock();
    return result;
}

const GameRunObject* GameRunFrame::Find(uint32_t handle) const {
    for (const GameRunObject& o : objects)
        if (o.handle == handle) return &o;
    return nullptr;
}

std::function<void(GameObject*)> GameRun_PlaceAt(float x, float z, float fx, float fz) {
    return [=](GameObject* user) {
        Matrix m{};
        m.up = Vector{0.0f, 1.0f, 0.0f};
        m.front = Vector{fx, 0.0f, fz};
        m.right = Vector{fz, 0.0f, -fx};  // up x front
        m.posit = DVector{x, Terrain_GetHeight(x, z) + 1.0f, z};
        user->SetMatrix(m);
    };
}
