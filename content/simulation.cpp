#include "simulation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "Objkr/entity.h"
#include "ai/aimission.h"
#include "ai/aipath.h"
#include "ai/aoi.h"
#include "ai/avoidance.h"
#include "ai/gototask.h"
#include "ai/unitprocess.h"
#include "ai/unittask.h"
#include "core/seams/ai.h"
#include "core/shake.h"
#include "fun3d/scrap.h"
#include "fun3d/teamrecord.h"
#include "fun3d/craft.h"
#include "fun3d/proginput.h"
#include "Terrain/terrheight.h"
#include "collision/collision.h"
#include "core/clock.h"
#include "core/factory.h"
#include "core/game.h"
#include "core/savegame.h"
#include "core/seams/world.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"
#include "fun3d/hovercraft.h"
#include "fun3d/objectpool.h"
#include "tools/debugvalues.h"
#include "tools/telemetry.h"
#include "mission_writer.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"
#include "weapons/weaponsinstall.h"

namespace content {

namespace {

// A process that only marks its craft as driven: the controls stay as they were set.
class FixedControls : public sObject {
public:
    bool Load() override { return true; }
    bool Save(FILE*) override { return true; }
    const FactoryReg* GetFactory() const override { return nullptr; }
};

uint32_t g_frame = 0;

}  // namespace

void Simulation_Prepare() {
    Objkr_InstallWorldSeam();
    Collision_InstallSeam();
    Collision_Init();
}

void Simulation_Begin() {
    GameObject_CreateGrid();
    // As the mission's set-up and start do: the scrap classes, and the scrap grid, filled at once.
    Scrap_FindClasses();
    Scrap_CreateGrid();
    // And the shared random table, which scatters spawned scrap among other things.
    Random_FillTable();
    // As a mission's set-up and start do: the avoidance tuning (once per run) and its grid.
    Avoidance_LoadConfig();
    Avoidance_CreateGrid();
    Plat_UseVirtualClock(1000);
    Clock_Reset(1000);
    g_frame = 0;
}

void Simulation_Frame() {
    // 1/30 s in whole milliseconds: 33, 33, 34.
    Plat_AdvanceVirtualClock(++g_frame % 3 == 0 ? 34 : 33);
    Clock_Tick();
    Seam_World().collisionProcessFrame();
    Game_Simulate();
    Game_PostUpdate();
}

void Simulation_MissionFrame() { Simulation_MissionFrame({}); }

void Simulation_MissionFrame(const std::function<void()>& unitAi) {
    Plat_AdvanceVirtualClock(++g_frame % 3 == 0 ? 34 : 33);
    Clock_Tick();
    Seam_World().collisionProcessFrame();
    Seam_Ai().missionTick();
    if (unitAi) unitAi();
    Game_Simulate();
    Game_PostUpdate();
}

void Simulation_End() {
    // Rounds in flight and live blasts go before the world that holds their entities.
    Ordnance_DeleteAll();
    Explosion_Manager().MissionEnd();
    Explosion_Manager().MissionCleanup();
    GameObject_FreeGrid();
    Scrap_FreeGrid();
    Avoidance_DestroyGrid();
    Plat_UseRealClock();
}

void Simulation_Drive(Craft* craft, float throttle, float steering) {
    if (!craft) return;
    if (!craft->aiProcess) craft->SetAiProcess(new FixedControls);
    craft->controls.throttle = throttle;
    craft->controls.steering = steering;
}

namespace {

const char* ProcessName(const sObject* process) {
    const FactoryReg* reg = process ? process->GetFactory() : nullptr;
    return reg && reg->name ? reg->name : nullptr;
}

// The craft the tool drives with a go-to task of its own (by handle: it may die), and that task.
uint32_t g_goer = 0;
UnitTask* g_goTask = nullptr;
// Once the task is done the craft brakes and holds, as a unit's waiting state would have it.
UnitTask* g_goHold = nullptr;
float g_goArrived = -1.0f;  // game time the task finished, -1 while it runs

// What each object did and took in the run so far, by handle: the rounds it launched and the
// frames in which a shot or blast struck it (its enemy or friendly shot time moved).
struct FireCount {
    int fired = 0;
    int hits = 0;
    float lastStruck = -1e30f;
};
std::map<uint32_t, FireCount> g_fire;
// The rounds in flight at the last count (a pooled round comes back with a new launch time).
std::set<std::pair<const Ordnance*, float>> g_inFlight;

void CountFire() {
    std::set<std::pair<const Ordnance*, float>> now;
    for (const Ordnance* shot : Ordnance_LiveList()) {
        const std::pair<const Ordnance*, float> key{shot, shot->launchTime};
        now.insert(key);
        if (g_inFlight.count(key)) continue;
        const bool ownerLive = shot->owner && shot->owner->id == shot->ownerId;
        if (GameObject* shooter = ownerLive ? GameObject_FromEntity(shot->owner) : nullptr)
            ++g_fire[shooter->GetObjHandle()].fired;
    }
    g_inFlight.swap(now);
    for (GameObject* object : GameObject_List()) {
        const float struck = std::max(object->enemyShot, object->friendShot);
        FireCount& count = g_fire[object->GetObjHandle()];
        if (struck > count.lastStruck) {
            ++count.hits;
            count.lastStruck = struck;
        }
    }
}

// "NAME:STATE" of the task, and the distance to its goal while it drives ("-" otherwise).
void DescribeTask(const GameObject* object, const UnitTask* task, std::string* text, std::string* dest) {
    const char* taskName = ProcessName(task);
    const char* taskState = UnitTask_StateName(task->curState);
    *text = std::string(taskName ? taskName : "-") + ":" + (taskState ? taskState : "-");
    const int32_t s = task->curState;
    if (s == kTaskGoto || s == kTaskLead || s == kTaskCatch || s == kTaskStuck) {
        const DVector& p = object->entity->local.posit;
        const double dx = task->gotoPoint.x - p.x, dz = task->gotoPoint.z - p.z;
        char number[32];
        std::snprintf(number, sizeof number, "%.1f", std::sqrt(dx * dx + dz * dz));
        *dest = number;
    }
}

// The team is the entity's team bits (what the world sees). "t=... obj=... class=... team=... proc=... task=... pos=... alt=... hp=... dest=... fired=... hits=..."; alt in hundredths; fired and hits count from the start
void ReportObject(FILE* out, int seconds, GameObject* object) {
    char cls[9] = {};
    std::memcpy(cls, object->objClass->defName, 8);
    std::string proc = "-", task = "-", dest = "-";
    if (object == GameObject_GetUser()) {
        proc = "UserProcess:-";
    } else if (g_goTask && object->GetObjHandle() == g_goer) {
        DescribeTask(object, g_goTask, &task, &dest);
    } else if (const char* name = ProcessName(object->aiProcess)) {
        proc = name;
        const auto* unit = dynamic_cast<const UnitProcess*>(object->aiProcess);
        const char* state = unit ? UnitState_Name(unit->curState) : nullptr;
        proc += std::string(":") + (state ? state : "-");
        if (unit && unit->task) DescribeTask(object, unit->task, &task, &dest);
    }
    const DVector& p = object->entity->local.posit;
    const double alt = p.y - Collision_FloorHeightAt(p.x, p.y, p.z);
    const FireCount& fire = g_fire[object->GetObjHandle()];
    std::fprintf(out,
                 "t=%d obj=%08X class=%s team=%d proc=%s task=%s pos=%.1f,%.1f alt=%.2f hp=%.2f dest=%s fired=%d hits=%d\n",
                 seconds, object->GetObjHandle(), cls, static_cast<int>((object->entity->flags & kEntityTeamMask) >> kEntityTeamShift), proc.c_str(), task.c_str(), p.x, p.z, alt,
                 static_cast<double>(object->healthRatio), dest.c_str(), fire.fired, fire.hits);
}

bool Reported(GameObject* object) {
    if (!object->objClass || !object->entity) return false;
    // Every object but the scrap pieces, which the world line counts.
    return !dynamic_cast<const Scrap*>(object);
}

// "team=T scrap=S/C pilots=P/Q" for each team 1 to 7 that holds an object, then
// "world scrap=N fields=F".
void ReportTeams(FILE* out) {
    bool holds[kTeamCount] = {};
    int fields = 0;
    for (GameObject* object : GameObject_List()) {
        const int32_t t = static_cast<int32_t>((object->entity->flags & kEntityTeamMask) >> kEntityTeamShift);
        if (t >= 1 && t < kTeamCount) holds[t] = true;
        if (dynamic_cast<const ScrapField*>(object) && !(object->entity->flags & kEntityDead)) ++fields;
    }
    for (int32_t t = 1; t < kTeamCount; ++t) {
        const TeamRecord* team = TeamRecord::Get(t);
        if (!holds[t] || !team) continue;
        std::fprintf(out, "team=%d scrap=%d/%d pilots=%d/%d\n", t, team->GetScrap(), team->GetMaxScrap(),
                     team->GetPilots(), team->GetMaxPilots());
    }
    std::fprintf(out, "world scrap=%d fields=%d\n", static_cast<int>(ScrapList().size()), fields);
}

void ReportMap(FILE* out) {
    const MapBounds& b = Mission_GetPlayBounds();
    std::fprintf(out, "bounds %.1f %.1f %.1f %.1f\n", b.xMin, b.xMax, b.zMin, b.zMax);
    for (const AiPath* path : AiPaths()) {
        if (!path->HasLabel()) continue;
        float x0 = 0, z0 = 0, x1 = 0, z1 = 0;
        for (size_t i = 0; i < path->points.size(); ++i) {
            const Vector2D& q = path->points[i];
            if (i == 0 || q.x < x0) x0 = q.x;
            if (i == 0 || q.z < z0) z0 = q.z;
            if (i == 0 || q.x > x1) x1 = q.x;
            if (i == 0 || q.z > z1) z1 = q.z;
        }
        std::fprintf(out, "path %s kind=%d points=%d box=%.1f,%.1f,%.1f,%.1f\n", path->label.c_str(), path->pathType,
                     path->PointCount(), x0, z0, x1, z1);
    }
    for (const AOI* aoi : AOIs())
        std::fprintf(out, "aoi team=%d inside=%d value=%d force=%d\n", aoi->team, aoi->inside ? 1 : 0, aoi->value,
                     aoi->force);
}

void ReportObjects(FILE* out, int seconds) {
    const std::vector<GameObject*> list = GameObject_List();
    for (GameObject* object : list)
        if (Reported(object)) ReportObject(out, seconds, object);
    ReportTeams(out);
}

// The user's craft to the ground at (x, z), as high above it as it was.
void MoveUser(GameObject* user, float x, float z) {
    if (!user || !user->entity) return;
    Matrix m = user->entity->local;
    const double above = m.posit.y - Terrain_GetHeight(m.posit.x, m.posit.z);
    m.posit = DVector{x, Terrain_GetHeight(x, z) + std::max(above, 0.0), z};
    user->SetMatrix(m);
}

// The go-to craft: a team-1 object of the class 2 m above the ground at the start, marked as
// driven; null with the error when the class is unknown or the pool is full.
GameObject* BuildGoer(const SimOptions& options, std::string* error) {
    GameObjectClass* cls = GameObjectClass::Find(options.goClass.c_str());
    if (!cls) {
        *error = "no object class named " + options.goClass;
        return nullptr;
    }
    Matrix m = kIdentityMatrix;
    m.posit = DVector{options.goFromX, Terrain_GetHeight(options.goFromX, options.goFromZ) + 2.0, options.goFromZ};
    GameObject* object = GameObjectClass::Build(cls, m, 1, false, 0, nullptr);
    if (!object) {
        *error = "cannot build a " + options.goClass;
        return nullptr;
    }
    if (!object->aiProcess) object->SetAiProcess(new FixedControls);
    return object;
}

}  // namespace

int Simulation_Tool(const std::string& dataDir, const std::string& file, int frames, float throttle, float steering,
                    FILE* out, std::string* error) {
    SimOptions options;
    options.throttle = throttle;
    options.steering = steering;
    return Simulation_Tool(dataDir, file, frames, options, out, error);
}

int Simulation_Tool(const std::string& dataDir, const std::string& file, int frames, const SimOptions& options,
                    FILE* out, std::string* error) {
    const float throttle = options.throttle, steering = options.steering;
    // The game's own logs go to a scratch profile directory, not into the working directory.
    std::string profile = (std::filesystem::temp_directory_path() / "gvtool-sim-XXXXXX").string();
    if (!mkdtemp(profile.data())) {
        *error = "cannot make a scratch directory";
        return 1;
    }
    int status = 0;
    {
        HeadlessWorld world(dataDir, profile);
        // The mission's craft carry the guns their classes name.
        Weapons_InstallSeam();
        if (!world.Ready()) {
            *error = "cannot read the index of " + dataDir;
            status = 1;
        } else if (Simulation_Prepare(), !SaveGame_Load(file.c_str())) {
            const auto& boxes = Plat_MessageBoxLog();
            *error = boxes.empty() ? "the file could not be loaded" : boxes.back().text;
            status = 1;
        } else {
            Simulation_Begin();
            // What the game's mission start does for the AI: the playable rectangle.
            Mission_SetupBounds();
            GameObject* user = GameObject_GetUser();
            if (options.moveUser) MoveUser(user, options.atX, options.atZ);
            Simulation_Drive(dynamic_cast<Craft*>(user), throttle, steering);
            // The record the telemetry display reads, filled by the user's craft every frame.
            VehicleTelemetry telemetry;
            HoverCraft* measured = options.telemetry ? dynamic_cast<HoverCraft*>(user) : nullptr;
            if (measured) measured->telemetry = &telemetry;
            if (options.telemetry && !measured) {
                *error = "-telemetry: the user's object is not a hover craft";
                status = 1;
            }
            if (status == 0 && options.go) {
                if (GameObject* goer = BuildGoer(options, error)) {
                    g_goer = goer->GetObjHandle();
                    g_goTask = new GotoTask(goer, Vector{options.goToX, 0.0f, options.goToZ});
                } else {
                    status = 1;
                }
            }
            if (status == 0 && options.report) {
                ReportMap(out);
                ReportObjects(out, 0);
            }
            const std::function<void()> unitAi = [] {
                GameObject* goer = g_goTask ? GameObject::FromHandle(g_goer) : nullptr;
                if (!goer) return;
                if (!g_goTask->IsDone()) g_goTask->Update();
                if (g_goTask->IsDone() && !g_goHold) {
                    g_goArrived = static_cast<float>(g_frame) / 30.0f;  // seconds into the run
                    g_goHold = new SitTask(goer);
                }
                if (g_goHold) g_goHold->Update();
            };
            for (int i = 0; status == 0 && i < frames; ++i) {
                Simulation_MissionFrame(unitAi);
                if (options.report) CountFire();
                if (options.report && (i + 1) % 30 == 0) ReportObjects(out, (i + 1) / 30);
            }
            std::vector<std::string> telemetryLines;
            if (measured) {
                if (GameObject::FromHandle(measured->GetObjHandle()) == measured) measured->telemetry = nullptr;
                TelemetryDisplay display;
                TelemetryDisplay_Copy(telemetry, &display);
                display.Draw();
                telemetryLines = DebugValues_Lines();
            }
            for (GameObject* object : GameObject_List()) {
                if (status != 0) break;
                const Entity* e = object->entity;
                char cls[9] = {};
                std::memcpy(cls, object->objClass->defName, 8);
                const DVector& p = e->local.posit;
                const double height = p.y - Terrain_GetHeight(p.x, p.z);
                std::fprintf(out, "%-5s %-8s at (%.2f, %.2f, %.2f) speed %.2f height %.2f\n",
                             object == user ? "user" : "", cls, p.x, p.y, p.z, object->euler.speed, height);
            }
            if (g_goTask) {
                const char* state = UnitTask_StateName(g_goTask->curState);
                if (GameObject* goer = GameObject::FromHandle(g_goer)) {
                    const DVector& p = goer->entity->local.posit;
                    const double dx = options.goToX - p.x, dz = options.goToZ - p.z;
                    char arrived[32] = "-";
                    if (g_goArrived >= 0.0f) std::snprintf(arrived, sizeof arrived, "%.1f", static_cast<double>(g_goArrived));
                    std::fprintf(out, "go %s task=%s finished=%s pos=%.1f,%.1f goal=%.1f,%.1f distance=%.1f\n",
                                 options.goClass.c_str(), state ? state : "-", arrived, p.x, p.z, options.goToX,
                                 options.goToZ, std::sqrt(dx * dx + dz * dz));
                } else {
                    std::fprintf(out, "go %s task=%s lost\n", options.goClass.c_str(), state ? state : "-");
                }
                delete g_goTask;
                delete g_goHold;
            }
            if (status == 0)
                for (const std::string& line : telemetryLines) std::fprintf(out, "%s\n", line.c_str());
            g_goTask = nullptr;
            g_goHold = nullptr;
            g_fire.clear();
            g_inFlight.clear();
            g_goArrived = -1.0f;
            g_goer = 0;
            Simulation_End();
        }
    }
    Collision_Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(profile, ec);
    return status;
}

}  // namespace content
