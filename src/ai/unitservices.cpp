#include "ai/unitservices.h"

#include <algorithm>
#include <cmath>

#include "ai/aistandins.h"
#include "ai/attacktask.h"
#include "ai/followtask.h"
#include "ai/gototask.h"
#include "ai/pathplanner.h"
#include "ai/patrolprocess.h"
#include "ai/rescuetask.h"
#include "ai/unittask.h"
#include "ai/worldqueries.h"
#include "core/clock.h"
#include "core/registration.h"
#include "core/savegame.h"
#include "core/seams/audio.h"
#include "fun3d/gameobject.h"
#include "fun3d/hardpoints.h"
#include "fun3d/objectpool.h"
#include "weapons/weapon.h"

namespace {

constexpr float kRecentSniperSeconds = 3.0f;

Vector GroundPosition(const GameObject* object) {
    if (object->entity) {
        const DVector& p = object->entity->local.posit;
        return Vector{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    }
    return object->pos;
}

UnitAiServices MakeDefault() {
    UnitAiServices s{};
    s.sitTask = [](GameObject* owner) -> UnitTask* { return new SitTask(owner); };
    s.coastTask = [](GameObject* owner) -> UnitTask* { return new CoastTask(owner); };
    s.sitSpinTask = [](GameObject* owner) -> UnitTask* { return new SitSpinTask(owner); };
    s.gotoObject = [](GameObject* owner, GameObject* target) -> UnitTask* { return new GotoTask(owner, target); };
    s.gotoPath = [](GameObject* owner, AiPath* path, bool exact) -> UnitTask* { return new GotoTask(owner, path, exact); };
    s.goGet = [](GameObject* owner, GameObject* target) -> UnitTask* { return new GoGet(owner, target); };
    s.patrolTask = [](GameObject* owner, AiPath* path, int32_t type) -> UnitTask* {
        return new PatrolTask(owner, path, type);
    };
    s.attackTask = [](GameObject* owner, GameObject* target) -> UnitTask* { return new AttackTask(owner, target); };
    s.followTask = [](GameObject* owner, GameObject* leader) -> UnitTask* { return new FollowTask(owner, leader); };
    s.defendTask = [](GameObject* owner, GameObject* object) -> UnitTask* { return new DefendTask(owner, object); };
    s.rescueTask = [](GameObject* owner, GameObject* unit) -> UnitTask* { return new RescueTask(owner, unit); };
    s.patrolNextLeg = [](UnitTask* task) {
        auto* patrol = dynamic_cast<PatrolTask*>(task);
        return patrol && patrol->NextLeg();
    };
    s.taskUpdate = [](UnitTask* task) { task->Update(); };
    s.taskIsDone = [](UnitTask* task) { return task->IsDone(); };
    // A process torn down after a failed load may still hold a saved id, or a task another
    // process already deleted: only a listed task goes.
    s.taskDelete = [](UnitTask* task) { delete AiTasks_FindUnitTask(task); };
    s.taskDebugDraw = [](UnitTask* task) { task->DebugDraw(); };
    s.taskTarget = [](UnitTask* task) { return GameObject::FromHandle(task->himHandle); };
    s.findNearestEnemyCraft = [](GameObject* owner, float range2) { return AI_FindNearestEnemyCraft(owner, &range2); };
    s.findNearestOfClass = [](GameObject* owner, uint32_t signature, float range2) {
        return AI_FindNearestOfClass(owner, signature, -1, range2);
    };
    s.findDropOff = [](GameObject*) -> GameObject* { return nullptr; };                        // PENDING(3.135)
    // The ground length of the route the owner would be planned to the target (the straight
    // distance when no route is found).
    s.plannedPathLength = [](GameObject* owner, GameObject* target) {
        const Vector from = GroundPosition(owner), to = GroundPosition(target);
        const PlannedRoute route = AiPath_Plan(from.x, from.z, to.x, to.z, 0, owner->team);
        float length = 0.0f;
        for (size_t i = 1; i < route.points.size(); ++i) {
            const float dx = route.points[i].x - route.points[i - 1].x, dz = route.points[i].z - route.points[i - 1].z;
            length += std::sqrt(dx * dx + dz * dz);
        }
        return length;
    };
    s.findNearestObstacle = AI_FindNearestObstacle;
    s.allyInLineOfFire = [](GameObject* o, float r2, float c) { return AI_AllyInLineOfFire(o, r2, c); };
    // The last shot that hit the owner was a sniper shell, less than 3 s ago: its shooter.
    s.recentSniper = [](GameObject* owner) -> GameObject* {
        if (!owner || owner->lastHitOrdnanceSignature != Signature("SNIP")) return nullptr;
        const float shot = std::max(owner->enemyShot, owner->friendShot);
        if (!(Clock_GetTime() - shot < kRecentSniperSeconds)) return nullptr;
        return GameObject::FromHandle(owner->lastShooter);
    };
    s.canAffordBuild = [](GameObject*, bool) { return false; };                                // PENDING(3.133)
    s.isProducing = [](GameObject*) { return false; };                                         // PENDING(3.132)
    s.aimAlong = [](GameObject*, float, float, float) {};                                      // PENDING(3.132)
    // Until producers keep the list, the power sources are the live geysers and none is taken;
    // a producer has one when a geyser lies within 10 m on the ground.
    s.powerSources = [] {                                                                       // PENDING(3.132)
        std::vector<GameObject*> list;
        for (GameObject* object : GameObject_List())
            if (object->objClass && object->objClass->signature == Signature("GEIZ") && GameObject::FromHandle(object->GetObjHandle()))
                list.push_back(object);
        return list;
    };
    s.powerSourceInUse = [](GameObject*) { return false; };                                    // PENDING(3.132)
    s.findPowerSource = [](GameObject* producer) {                                             // PENDING(3.132)
        if (!producer) return false;
        const Vector at = GroundPosition(producer);
        for (GameObject* source : UnitAi_Services().powerSources()) {
            const Vector p = GroundPosition(source);
            if ((p.x - at.x) * (p.x - at.x) + (p.z - at.z) * (p.z - at.z) <= 100.0f) return true;
        }
        return false;
    };
    s.radioVoiceQueue = [](const char* wave, GameObject* speaker, int32_t type) {
        Seam_Audio().radioVoiceQueue(wave, speaker ? speaker->entity : nullptr, type);
    };
    s.audioMessageIsPlaying = [] { return Ai_StandIns().audioMessageIsPlaying(); };  // the driver's own test
    s.scriptedCameraActive = [] { return false; };  // the camera fills it at start-up
    s.loadFinishedTime = Game_LoadFinishedTime;
    s.soundPlay2D = [](const char* name) { Seam_Audio().soundPlay(name, nullptr, 0, 0); };
    // The developer tools fill the debug display at start-up.
    s.debugPrint = [](const char*) {};
    s.debugLine = [](const Vector&, const Vector&, uint32_t) {};
    s.debugCircle = [](const Vector&, float, uint32_t) {};
    // Until weapons have select operations of their own, the selection is the mask's mounted
    // slots; firing pulls the trigger of each selected slot that is ready.
    s.weaponMaskSelect = [](GameObject* owner, uint32_t mask) {                                // PENDING(5.149)
        if (owner && owner->hardpoints) owner->hardpoints->Select(mask);
    };
    s.weaponMaskFire = [](GameObject* owner, uint32_t mask) {                                  // PENDING(5.149)
        if (!owner || !owner->hardpoints) return;
        HardpointList* list = owner->hardpoints;
        for (int i = 0; i < kHardpointCount; ++i)
            if ((mask & list->enabled) >> i & 1u)
                if (Weapon* weapon = list->weapons[i]) weapon->PullTrigger();
    };
    s.weaponSameClass = [](Weapon* a, Weapon* b) {
        return a && b && a->weaponClass && a->weaponClass == b->weaponClass;
    };
    s.weaponTrigger = [](Weapon* weapon) {
        if (weapon) weapon->PullTrigger();
    };
    return s;
}

UnitAiServices g_services = MakeDefault();

}  // namespace

UnitAiServices& UnitAi_Services() { return g_services; }
void UnitAi_ResetServices() { g_services = MakeDefault(); }
