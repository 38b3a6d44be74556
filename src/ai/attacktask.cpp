#include "ai/attacktask.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ai/aipath.h"
#include "ai/unitprocess.h"
#include "ai/unitservices.h"
#include "ai/worldqueries.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/helpers.h"
#include "core/registration.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/hardpoints.h"
#include "fun3d/objectpool.h"
#include "fun3d/teamrecord.h"
#include "platform/random.h"
#include "weapons/weapon.h"

namespace {

constexpr float kTwoPi = 6.28318530717958f;

RosterRegistry<AttackRecord, &AttackRecord::targetHandle>& Records() {
    static RosterRegistry<AttackRecord, &AttackRecord::targetHandle> records;
    return records;
}

float Now() { return Clock_GetTime(); }

Vector PositionOf(const GameObject* object) {
    if (object && object->entity) {
        const DVector& p = object->entity->local.posit;
        return Vector{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    }
    return object ? object->pos : Vector{};
}

bool IsKindGroup(const GameObject* object) { return object && ObjectClass_IsKindGroup(object->objClass); }

bool IsFightState(int32_t state) {
    return state == kTaskAttack || state == kTaskSlide || state == kTaskStand || state == kTaskFlee ||
           state == kTaskBlast;
}

}  // namespace

// ---- the registry ----------------------------------------------------------------------------

void AttackRecord::Add(GameObject* attacker, UnitTask* task) {
    entries.push_back(Entry{attacker, task});
    if (entries.size() != 1) return;
    GameObject* target = GameObject::FromHandleRaw(targetHandle);
    if (!attacker || !target) {
        baseBearing = 0.0f;
        return;
    }
    const Vector d{PositionOf(attacker).x - PositionOf(target).x, 0.0f, PositionOf(attacker).z - PositionOf(target).z};
    baseBearing = std::atan2(d.x, d.z);
}

bool AttackRecord::Remove(GameObject* attacker) {
    Erase(attacker);
    return Records().DropIfEmpty(this);
}

const AttackRecord::Entry* AttackRecord::Previous(const GameObject* attacker) const {
    const int32_t k = IndexOf(attacker);
    if (k == 0 || k >= Count()) return nullptr;
    return &entries[static_cast<size_t>(k - 1)];
}

AttackRecord* AttackRegistry_Get(GameObject* target) { return Records().Get(target); }

AttackRecord* AttackRegistry_Join(GameObject* target, GameObject* attacker, UnitTask* task) {
    AttackRecord* record = AttackRegistry_Get(target);
    record->Add(attacker, task);
    return record;
}

const std::vector<AttackRecord*>& AttackRegistry() { return Records().List(); }

void AttackRegistry_Reset() { Records().Reset(); }

// ---- AttackTask ------------------------------------------------------------------------------

AttackTask::AttackTask() : UnitTask(nullptr, nullptr) {}

AttackTask::AttackTask(GameObject* unit, GameObject* target) : UnitTask(unit, target) {
    if (!target) return;  // born finished
    attackTarget = target->GetObjHandle();
    record = AttackRegistry_Join(target, unit, this);
    blastDist = 40.0f;
    fireConeX = 0.02f;
    fireConeY = 0.0f;
    saveHandle = target->GetObjHandle();
    curState = kTaskStart;
    nextState = kTaskStart;
}

AttackTask::~AttackTask() {
    // A task torn down after its unit leaves the unit alone.
    if (UnitAi_IsListedObject(me)) Exit();
    curState = kTaskDone;
    if (record) record->Remove(me);
    record = nullptr;
}

const FactoryReg* AttackTask::GetFactory() const { return UnitTask_FactoryEntry("AttackTask"); }

bool AttackTask::Save(FILE* stream) {
    return Field_WriteFloat(stream, attackRangeSq, "attackRangeSq") &&
           Field_WriteFloat(stream, waitRangeSq, "waitRangeSq") &&
           Field_WriteInt(stream, static_cast<int32_t>(fleeFrom), "fleeFrom") && UnitTask::Save(stream);
}

bool AttackTask::Load() {
    int32_t flee = 0;
    const bool ok = Field_ReadFloat("attackRangeSq", &attackRangeSq) && Field_ReadFloat("waitRangeSq", &waitRangeSq) &&
                    Field_ReadInt("fleeFrom", &flee) && UnitTask::Load();
    fleeFrom = static_cast<uint32_t>(flee);
    return ok;
}

bool AttackTask::PostLoad() {
    fleeFrom = Field_ResolveHandle(fleeFrom);
    return UnitTask::PostLoad();  // joins the record again
}

void AttackTask_Relink(UnitTask* task) {
    auto* attack = dynamic_cast<AttackTask*>(task);
    if (!attack || attack->record || !attack->me) return;
    // A target that is gone gives no record; the task finishes on its next frame.
    if (GameObject* target = GameObject::FromHandle(attack->attackTarget)) {
        attack->record = AttackRegistry_Join(target, attack->me, attack);
    }
}

void AttackTask::Countermeasures() {
    if (counterWeapon && GameObject::FromHandle(himHandle)) CounterTarget();
}

void AttackTask::Enter() {
    CraftControls& c = Controls();
    c.throttle = 0.0f;
    c.boost = 0;
    c.steering = 0.0f;
    c.pitch = 0.0f;
    switch (curState) {
        case kTaskStart:
            Choose();
            break;
        case kTaskGoto:
        case kTaskLead:
        case kTaskCatch:
            if (GameObject* him_ = GameObject::FromHandle(himHandle)) {
                gotoPoint = PositionOf(him_);
                StartPlan();
            } else {
                nextState = himHandle == saveHandle ? kTaskDone : kTaskStart;
            }
            break;
        case kTaskStuck:
            BeginStuck();
            break;
        case kTaskFollow:
            TakeFormationSlot();
            break;
        case kTaskStand:
        case kTaskFlee:
        case kTaskBlast:
            attackStart = Now();
            Countermeasures();
            break;
        case kTaskAttack:
        case kTaskSlide:
            Countermeasures();
            break;
        default:
            break;
    }
}

void AttackTask::Exit() {
    switch (curState) {
        case kTaskGoto:
        case kTaskLead:
        case kTaskCatch:
            FreePlan();
            break;
        case kTaskStuck:
            EndStuck();
            break;
        case kTaskFlee:
            fleeFrom = 0;
            [[fallthrough]];
        case kTaskAttack:
        case kTaskSlide:
        case kTaskStand:
        case kTaskBlast:
            if (!IsFightState(nextState) && weapon && weapon->IsTriggerDown()) weapon->ReleaseTrigger();
            break;
        default:
            break;
    }
    desired = Vector{};
}

void AttackTask::Choose() {
    GameObject* target = GameObject::FromHandle(saveHandle);
    if (!target) {
        nextState = kTaskDone;
        return;
    }
    const Vector at = UnitPosition();
    if (Vec3_GroundDistSq(at, PositionOf(target)) < attackRangeSq) {
        himHandle = saveHandle;
        nextState = kTaskGoto;
        return;
    }
    GameObject* leader = nullptr;
    float best = 22500.0f;
    if (record)
        for (const AttackRecord::Entry& e : record->entries) {
            if (e.attacker == me || !e.task || !UnitAi_IsListedObject(e.attacker)) continue;
            if (e.task->curState != kTaskLead && e.task->nextState != kTaskLead) continue;
            const float d = Vec3_GroundDistSq(at, PositionOf(e.attacker));
            if (d <= best) {
                best = d;
                leader = e.attacker;
            }
        }
    if (leader) {
        himHandle = leader->GetObjHandle();
        nextState = kTaskFollow;
    } else {
        himHandle = saveHandle;
        nextState = kTaskLead;
    }
}

void AttackTask::TakeFormationSlot() {
    if (!GameObject::FromHandle(himHandle) || !record) {
        followDx = 3.0f;
        followDz = -30.0f;
        return;
    }
    int32_t n = 0, k = -1;
    for (const AttackRecord::Entry& e : record->entries) {
        if (!e.task || e.task->himHandle != himHandle) continue;
        const int32_t s = e.task->curState;
        if (s != kTaskStuck && s != kTaskFollow && s != kTaskCatch) continue;
        if (e.task == this) k = n;
        ++n;
    }
    if (k < 0) k = n++;  // not counted yet: the last place
    Formation_Place(n, k, &followDx, &followDz);
}

bool AttackTask::LeaderEngaged() {
    GameObject* leader = GameObject::FromHandle(himHandle);
    auto* process = leader ? dynamic_cast<UnitProcess*>(leader->aiProcess) : nullptr;
    UnitTask* task = process ? AiTasks_FindUnitTask(process->task) : nullptr;
    if (!task) {
        nextState = kTaskStart;
        return true;
    }
    if (!IsFightState(task->curState)) return false;
    himHandle = saveHandle;
    nextState = kTaskGoto;
    return true;
}

bool AttackTask::FollowerCatching() {
    const uint32_t mine = me ? me->GetObjHandle() : 0;
    if (record)
        for (const AttackRecord::Entry& e : record->entries)
            if (e.task && e.task != this && e.task->curState == kTaskCatch && e.task->himHandle == mine) return true;
    nextState = kTaskGoto;
    return false;
}

void AttackTask::Execute() {
    if (curState == kTaskDone) return;
    GameObject* target = GameObject::FromHandle(himHandle);
    if (himHandle == saveHandle) {
        const bool ordered = me->curCmd.what == kCmdCodeAttack && me->curCmd.priority != 0;
        if (!target || !me->hardpoints || (me->IsAlly(target) && !ordered)) {
            nextState = kTaskDone;
            return;
        }
    } else if (!target) {
        nextState = kTaskStart;
        return;
    }
    const Vector at = UnitPosition();
    obstacle = AI_FindNearestSolid(me, at);
    lineOfFire = 0;
    auto lof = [&]() {
        lineOfFire = LineOfFireClear() ? 1 : 0;
        return lineOfFire != 0;
    };
    const float since = Now() - attackStart;
    const bool hitSinceStart = me->enemyShot > attackStart;
    switch (curState) {
        case kTaskGoto:
            if (lof()) nextState = kTaskBlast;
            else if (IsStuck()) nextState = kTaskStuck;
            else if (Vec3_GroundDistSq(PositionOf(target), gotoPoint) > 10000.0f || Vec3_GroundDistSq(at, gotoPoint) < 100.0f)
                nextState = kTaskGoto;
            else AdvancePlanPoint();
            break;
        case kTaskStuck:
            StuckRecover();
            break;
        case kTaskFollow:
            if (LeaderEngaged()) break;
            if (Vec3_GroundDistSq(at, PositionOf(target)) > 10000.0f) {
                gotoPoint = PositionOf(target);
                nextState = kTaskCatch;
            } else if (IsStuck()) {
                nextState = kTaskStuck;
            } else {
                FollowStep();
            }
            break;
        case kTaskAttack:
            if (lof()) RangeAttack();
            else nextState = kTaskGoto;
            break;
        case kTaskWait:
            if (FollowerCatching()) Brake();
            break;
        case kTaskSlide: {
            const bool clear = lof();
            const bool inRange = Vec3_GroundDistSq(at, PositionOf(target)) <= reachSq;
            if (inRange && IsKindGroup(target)) {
                nextState = kTaskBlast;
            } else if (inRange && since <= 10.0f) {
                if (IsStuck()) {
                    nextState = kTaskStuck;
                } else if (!clear) {
                    FormationStep();
                    if (desired.x * desired.x + desired.y * desired.y + desired.z * desired.z < 25.0f)
                        nextState = kTaskBlast;
                } else {
                    nextState = Relation_SideOn(me, target) ? kTaskStand : kTaskBlast;
                }
            } else {
                nextState = kTaskGoto;
            }
            break;
        }
        case kTaskStand: {
            const bool clear = lof();
            if (hitSinceStart) {
                fleeFrom = me->lastShooter;
                nextState = kTaskFlee;
            } else if (clear) {
                if (since > 8.0f) {
                    fleeFrom = target->GetObjHandle();
                    nextState = kTaskFlee;
                } else {
                    StandAttack();
                }
            } else {
                nextState = kTaskSlide;
            }
            break;
        }
        case kTaskFlee: {
            lof();
            GameObject* from = GameObject::FromHandle(fleeFrom);
            if (!from || Vec3_GroundDistSq(at, PositionOf(from)) > 5625.0f) {
                nextState = kTaskSlide;
            } else if (IsStuck()) {
                nextState = kTaskBlast;
            } else {
                AttackManeuver();
                if (since > 3.0f) nextState = kTaskBlast;
            }
            break;
        }
        case kTaskBlast: {
            const bool clear = lof();
            if (hitSinceStart) {
                fleeFrom = me->lastShooter;
                nextState = kTaskFlee;
            } else if (clear) {
                RangeAttack();
            } else {
                nextState = IsKindGroup(target) ? kTaskGoto : kTaskSlide;
            }
            break;
        }
        case kTaskLead:
            if (Vec3_GroundDistSq(at, gotoPoint) < waitRangeSq) nextState = kTaskWait;
            else if (IsStuck()) nextState = kTaskStuck;
            else if (Vec3_GroundDistSq(PositionOf(target), gotoPoint) > 10000.0f) nextState = kTaskLead;
            else AdvancePlanPoint();
            break;
        case kTaskCatch:
            if (LeaderEngaged()) break;
            if (Vec3_GroundDistSq(at, PositionOf(target)) < 2500.0f) {
                nextState = kTaskFollow;
            } else if (Vec3_GroundDistSq(PositionOf(target), gotoPoint) > 10000.0f) {
                nextState = kTaskCatch;
            } else if (IsStuck()) {
                nextState = kTaskStuck;
            } else if (Vec3_GroundDistSq(at, gotoPoint) >= 225.0f) {
                AdvancePlanPoint();
                CraftControls& c = Controls();
                c.boost = c.throttle == 1.0f ? 1 : 0;
            } else {
                nextState = kTaskCatch;
            }
            break;
        default:
            break;
    }
    FireControl();
}

void AttackTask::FireControl() {
    if (lineOfFire) {
        CraftControls& c = Controls();
        const AttackRecord::Entry* ahead = record ? record->Previous(me) : nullptr;
        const bool ally = UnitAi_Services().allyInLineOfFire(me, targetDistSq, 0.3f);
        if (ahead && UnitAi_IsListedObject(ahead->attacker) &&
            Vec3_GroundDistSq(UnitPosition(), PositionOf(ahead->attacker)) < 25.0f) {
            c.strafe = 1.0f;
        } else if (ally) {
            // Slide aside while a friend stands in the way, holding the shot.
            c.strafe = std::min(c.strafe + 0.25f, 1.0f);
        }
        FireAtTarget(!ally);
    }
    CounterHit();
}

// ---- HuntTask --------------------------------------------------------------------------------

HuntTask::HuntTask() = default;

HuntTask::HuntTask(GameObject* unit, AiPath* route) : GotoTask(unit, route, true), my_craft(unit) { NewLeg(); }

HuntTask::HuntTask(GameObject* unit, const Vector& point) : GotoTask(unit, point), my_craft(unit) { NewLeg(); }

const FactoryReg* HuntTask::GetFactory() const { return UnitTask_FactoryEntry("HuntTask"); }

bool HuntTask::Save(FILE* stream) { return Field_WritePointer(stream, my_craft, "my_craft") && GotoTask::Save(stream); }

bool HuntTask::Load() { return Field_ReadPointerFixup("my_craft", &my_craft, "my_craft") && GotoTask::Load(); }

bool HuntTask::PostLoad() {
    const bool ok = GotoTask::PostLoad();
    // A file may name anything as the hunter: the task's own unit is the one that hunts.
    if (!UnitAi_IsListedObject(my_craft)) my_craft = me;
    return ok;
}

bool HuntTask::IsDone() { return curState == kTaskDone || (plan && plan->pathType == kPathTypeStraight); }

bool HuntTask::NewLeg() {
    const float now = Now();
    if (huntCount < 5) {
        huntTimes[huntCount++] = now;
    } else {
        std::copy(huntTimes + 1, huntTimes + 5, huntTimes);
        huntTimes[4] = now;
    }
    ReleaseRoute();
    Vector point{};
    if (!my_craft || !PickPoint(&point)) return false;
    // The last leg's plan goes with it (a failed one would end the new leg at once).
    if (UnitAi_IsListedObject(me)) Exit();
    FreePlan();
    NewRouteTo(point);
    destPoint = point;
    curState = kTaskStart;
    nextState = kTaskStart;
    return true;
}

bool HuntTask::PickPoint(Vector* point) {
    const float now = Now();
    if (huntCount < 5 || now - huntTimes[0] > 5.0f) {
        const Vector at = PositionOf(my_craft);
        GameObject* kept[5] = {};
        float keptDist[5] = {};
        const uint32_t seenBit = my_craft->team >= 0 && my_craft->team < 32 ? 1u << my_craft->team : 0u;
        for (int32_t t = 0; t < kTeamCount; ++t) {
            if (t == my_craft->team || my_craft->IsAllyTeam(t)) continue;
            TeamRecord* team = TeamRecord::Get(t);
            if (!team) continue;
            for (GameObject* object : team->slots) {
                if (!UnitAi_IsListedObject(object) || !(object->isVisible & seenBit)) continue;
                const float d = Vec3_GroundDistSq(at, PositionOf(object));
                if (d < 22500.0f && IsKindGroup(object)) continue;
                for (int i = 0; i < 5; ++i) {
                    if (kept[i] && !(d < keptDist[i])) continue;
                    for (int j = 4; j > i; --j) {
                        kept[j] = kept[j - 1];
                        keptDist[j] = keptDist[j - 1];
                    }
                    kept[i] = object;
                    keptDist[i] = d;
                    break;
                }
            }
        }
        int n = 0;
        while (n < 5 && kept[n]) ++n;
        if (n > 0) {
            const Vector p = PositionOf(kept[Random_Next() % n]);
            *point = Vector{p.x, 0.0f, p.z};
            return true;
        }
    }
    for (int tries = 0; tries < 8; ++tries)
        if (RandomPoint(point)) return true;
    return false;
}

bool HuntTask::RandomPoint(Vector* point) {
    std::vector<GameObject*> scrap, live;
    for (GameObject* object : GameObject_List()) {
        if (!object || (object->entity && (object->entity->flags & kEntityDead))) continue;
        live.push_back(object);
        if (object->objClass && object->objClass->category == kCategoryScrap) scrap.push_back(object);
    }
    const std::vector<GameObject*>& from = scrap.empty() ? live : scrap;
    if (from.empty()) return false;
    GameObject* pick = from[static_cast<size_t>(Random_Next()) % from.size()];
    if (!pick) return false;
    *point = PositionOf(pick);
    return true;
}

// ---- DefendTask ------------------------------------------------------------------------------

DefendTask::DefendTask() : UnitTask(nullptr, nullptr) {}

DefendTask::DefendTask(GameObject* unit, GameObject* protectedObject) : UnitTask(unit, protectedObject) {
    curState = kTaskStart;
    nextState = kTaskStart;
}

DefendTask::~DefendTask() {
    if (UnitAi_IsListedObject(me)) Exit();
    curState = kTaskDone;
}

const FactoryReg* DefendTask::GetFactory() const { return UnitTask_FactoryEntry("DefendTask"); }

void DefendTask::Enter() {
    switch (curState) {
        case kTaskStart:
            nextState = kTaskWait;
            break;
        case kTaskGoto:
        case kTaskStuck:
            EnterMoveState();
            break;
        case kTaskWait:
            timeOut = Now() + 10.0f;
            if (GameObject* object = GameObject::FromHandle(himHandle)) {
                const float r = me->radius + object->radius + 10.0f;
                const float angle = static_cast<float>(Random_Next()) * kTwoPi / 32768.0f;
                const Vector c = PositionOf(object);
                gotoPoint = Vector{c.x + r * std::sin(angle), c.y, c.z + r * std::cos(angle)};
            } else {
                gotoPoint = UnitPosition();
            }
            break;
        default:
            break;
    }
}

void DefendTask::Exit() { ExitMoveState(); }

void DefendTask::Execute() {
    if (curState == kTaskDone) return;
    GameObject* object = GameObject::FromHandle(himHandle);
    if (!object) {
        himHandle = 0;
        nextState = kTaskDone;
        return;
    }
    const float c = me->radius + object->radius + 20.0f;
    avoidSkip = 0;
    obstacle = UnitAi_Services().findNearestObstacle(me, nullptr);
    const Vector at = UnitPosition();
    switch (curState) {
        case kTaskGoto:
            if (Vec3_GroundDistSq(at, gotoPoint) < (c - 10.0f) * (c - 10.0f)) nextState = kTaskWait;
            else if (IsStuck()) nextState = kTaskStuck;
            else AdvancePlanPoint();
            break;
        case kTaskStuck:
            StuckRecover();
            break;
        case kTaskWait:
            KeepStation();
            if (Vec3_GroundDistSq(at, PositionOf(object)) > c * c) {
                gotoPoint = PositionOf(object);
                nextState = kTaskGoto;
            } else if (Now() > timeOut) {
                nextState = kTaskWait;  // a new guard point
            }
            break;
        default:
            break;
    }
}

void DefendTask::KeepStation() {
    const Vector at = UnitPosition();
    const Vector v{gotoPoint.x - at.x, gotoPoint.y - at.y, gotoPoint.z - at.z};
    const float len2 = v.x * v.x + v.y * v.y + v.z * v.z;
    Vector facing = me->entity ? me->entity->local.front : Vector{0.0f, 0.0f, 1.0f};
    if (len2 >= 25.0f) {
        const float len = std::sqrt(len2);
        facing = Vector{v.x / len, v.y / len, v.z / len};
    }
    Vector force = v;
    UnitTaskHooks& h = UnitTask_Hooks();
    h.avoidanceSteer(me, nullptr, 40.0f, gotoPoint, &force);
    h.cliffRepulsion(me, gotoPoint, 40.0f, &force);
    TurnToWorld(facing);
    DriveToward(force);
    CraftControls& controls = Controls();
    controls.boost = controls.throttle == 1.0f ? 1 : 0;
}

// ---- factory ---------------------------------------------------------------------------------

void Ai_InstallAttackTasks() {
    Registration_SetCreate("AttackTask", []() -> sObject* { return new AttackTask; });
    Registration_SetCreate("HuntTask", []() -> sObject* { return new HuntTask; });
    Registration_SetCreate("DefendTask", []() -> sObject* { return new DefendTask; });
}
