#include "ai/followtask.h"

#include <algorithm>
#include <cstring>

#include "ai/aipath.h"
#include "ai/unitprocess.h"
#include "ai/unitservices.h"
#include "ai/worldqueries.h"
#include "core/helpers.h"
#include "core/registration.h"
#include "fun3d/gameobject.h"
#include "fun3d/hardpoints.h"
#include "weapons/weapon.h"

namespace {

RosterRegistry<FollowGroup, &FollowGroup::leaderHandle>& Groups() {
    static RosterRegistry<FollowGroup, &FollowGroup::leaderHandle> groups;
    return groups;
}

}  // namespace

// ---- groups ----------------------------------------------------------------------------------

void FollowGroup::Add(GameObject* follower) {
    for (Entry& e : entries) e.changed = true;
    entries.push_back(Entry{follower, true});
}

bool FollowGroup::Remove(GameObject* follower) {
    Erase(follower);
    for (Entry& e : entries) e.changed = true;
    return Groups().DropIfEmpty(this);
}

bool FollowGroup::IsChanged(const GameObject* follower) const {
    for (const Entry& e : entries)
        if (e.follower == follower) return e.changed;
    return false;
}

void FollowGroup::ClearChanged(const GameObject* follower) {
    for (Entry& e : entries)
        if (e.follower == follower) {
            e.changed = false;
            return;
        }
}

FollowGroup* FollowRegistry_Get(GameObject* leader) { return Groups().Get(leader); }

const std::vector<FollowGroup*>& FollowRegistry() { return Groups().List(); }

void FollowRegistry_Reset() { Groups().Reset(); }

// ---- the task --------------------------------------------------------------------------------

FollowTask::FollowTask() : UnitTask(nullptr, nullptr) {}

FollowTask::FollowTask(GameObject* unit, GameObject* leader) : UnitTask(unit, leader) {
    if (!leader) return;  // born finished
    group = FollowRegistry_Get(leader);
    group->Add(unit);
    followTarget = leader->GetObjHandle();
    followDx = 0.0f;
    followDz = -20.0f;
    curState = kTaskStart;
    nextState = kTaskStart;
}

FollowTask::~FollowTask() {
    // A task torn down after its unit leaves the unit alone.
    if (UnitAi_IsListedObject(me)) Exit();
    curState = kTaskDone;
    if (group) group->Remove(me);
    group = nullptr;
}

const FactoryReg* FollowTask::GetFactory() const { return UnitTask_FactoryEntry("FollowTask"); }

void FollowTask::TakeFormationSlot() {
    if (!group) return;
    Formation_Place(group->Count(), group->IndexOf(me), &followDx, &followDz);
}

void FollowTask::Enter() {
    switch (curState) {
        case kTaskStart:
            nextState = kTaskFollow;
            break;
        case kTaskGoto:
        case kTaskStuck:
            EnterMoveState();
            break;
        case kTaskFollow:
            if (group && group->IsChanged(me)) {
                TakeFormationSlot();
                group->ClearChanged(me);
            }
            break;
        default:
            break;
    }
}

void FollowTask::Exit() { ExitMoveState(); }

void FollowTask::Execute() {
    if (curState == kTaskDone) return;
    GameObject* leader = GameObject::FromHandle(himHandle);
    if (!leader) {
        nextState = kTaskDone;
        return;
    }
    obstacle = UnitAi_Services().findNearestObstacle(me, nullptr);
    const Vector at = UnitPosition(), there = AI_PositionOf(leader);
    const float leader2 = Vec3_GroundDistSq(at, there);
    switch (curState) {
        case kTaskStart:
            Brake();
            break;
        case kTaskGoto: {
            if (leader2 < 2500.0f) {
                nextState = kTaskFollow;
                break;
            }
            const bool leaderNear = Vec3_GroundDistSq(there, gotoPoint) <= 10000.0f;
            if (leaderNear && IsStuck()) {
                nextState = kTaskStuck;
            } else if (leaderNear && Vec3_GroundDistSq(at, gotoPoint) >= 225.0f) {
                AdvancePlanPoint();
            } else {
                // The leader moved on, or the unit is where it was: after it again.
                gotoPoint = there;
                nextState = kTaskGoto;
            }
            break;
        }
        case kTaskStuck:
            StuckRecover();
            break;
        case kTaskFollow:
            if (leader2 <= 10000.0f) {
                if (IsStuck()) nextState = kTaskStuck;
                else FollowStep();
            } else {
                gotoPoint = there;
                nextState = kTaskGoto;
            }
            break;
        default:
            break;
    }
    ShootInFormation();
}

void FollowTask::ShootInFormation() {
    if (curState != kTaskFollow || !me || !me->hardpoints || !(me->hardpoints->selected & me->hardpoints->present) ||
        !weapon)
        return;
    if (weapon->weaponClass && weapon->weaponClass->signature == Signature("DISP")) return;
    UnitAiServices& s = UnitAi_Services();
    GameObject* target = s.findNearestEnemyCraft(me, reachSq);
    if (!target) return;
    GameObject* kept = him;
    him = target;
    const bool clear = LineOfFireClear();
    // Lead the target by its relative motion, more at a higher skill.
    const float lead = 0.5f * skill - 0.5f;
    TurnToward(aimDir, Vector{targetVel.x * lead, targetVel.y * lead, targetVel.z * lead});
    FireAtTarget(clear && !s.allyInLineOfFire(me, reachSq, 0.3f));
    him = kept;
}

void FollowTask::DriveToPlan() {
    UnitTask::DriveToPlan();
    CraftControls& c = Controls();
    c.boost = c.throttle == 1.0f ? 1 : 0;
}

void FollowTask::DebugDraw() {
    UnitTask::DebugDraw();
    if (curState != kTaskGoto) return;
    if (GameObject* leader = GameObject::FromHandle(himHandle)) {
        const Vector at = AI_PositionOf(leader);
        const Vector front = leader->entity ? leader->entity->local.front : Vector{0.0f, 0.0f, 1.0f};
        UnitAi_Services().debugCircle(Vector{at.x + 20.0f * front.x, at.y + 20.0f * front.y, at.z + 20.0f * front.z},
                                      2.0f, 0x00FFFFu);
    }
}

void FollowTask_Relink(UnitTask* task) {
    auto* follow = dynamic_cast<FollowTask*>(task);
    if (!follow || follow->group || !follow->me) return;
    // A leader that is gone leaves the task without a group; it finishes on its next frame.
    if (GameObject* leader = GameObject::FromHandle(follow->followTarget)) {
        follow->group = FollowRegistry_Get(leader);
        follow->group->Add(follow->me);
    }
}

void Ai_InstallFollowTasks() {
    Registration_SetCreate("FollowTask", []() -> sObject* { return new FollowTask; });
}
