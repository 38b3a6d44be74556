#include "ai/savprocess.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Terrain/terrheight.h"
#include "ai/aipath.h"
#include "ai/unitservices.h"
#include "ai/worldqueries.h"
#include "core/clock.h"
#include "core/registration.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "fun3d/hovercraft.h"
#include "weapons/weapon.h"

namespace {

constexpr float kPersonRange2 = 10000.0f;
constexpr float kCraftRange2 = 40000.0f;
constexpr float kRamAmount = 75.0f;
constexpr float kRamReach = 5.0f;
constexpr float kPi = 3.14159265358979f;

float Now() { return Clock_GetTime(); }
Craft* AsCraft(GameObject* object) { return object ? Craft_FromEntity(object->entity) : nullptr; }
bool Deployed(GameObject* o) { Craft* c = AsCraft(o); return c && c->IsDeployed(); }
bool Undeployed(GameObject* o) { Craft* c = AsCraft(o); return c && c->IsUndeployed(); }
void Deploy(GameObject* o) { if (Craft* c = AsCraft(o)) c->RequestDeploy(); }
void Undeploy(GameObject* o) { if (Craft* c = AsCraft(o)) c->RequestUndeploy(); }

void ClearControls(CraftControls& c) {
    c.throttle = 0.0f;
    c.boost = 0;
    c.steering = 0.0f;
    c.pitch = 0.0f;
}

void WeaponsOff(GameObject* unit) {
    if (!unit || !unit->hardpoints) return;
    for (Weapon* weapon : unit->hardpoints->weapons)
        if (weapon && weapon->IsTriggerDown()) weapon->ReleaseTrigger();
}

}  // namespace

// ---- SAVEnemy --------------------------------------------------------------------------------

const FactoryReg* SAVEnemy::GetFactory() const { return Factory_Find("SAVEnemy"); }

bool SAVEnemy::ProcessCommand(int32_t code) {
    if (code == kCmdCodeNone) return false;
    return UnitProcess::ProcessCommand(code);
}

void SAVEnemy::StateEnter(int32_t state) {
    if (state != kUStateAttack) {
        UnitProcess::StateEnter(state);
        return;
    }
    GameObject* who = GameObject::FromHandle(whoHandle);
    if (who && who->objClass->category != kCategoryPerson) task = new SAVAttackVehicleTask(me, who);
    else task = new SAVAttackPersonTask(me, who);
}

void SAVEnemy::StateExit(int32_t state) {
    if (state == kUStateAttack) DropTask();
    else UnitProcess::StateExit(state);
}

bool SAVEnemy::CheckEnemy() {
    if (!me) return false;
    // 1. Near the edge of the map the SAV leaves the world.
    const MapBounds& b = Mission_GetPlayBounds();
    const Vector at = AI_PositionOf(me);
    if (at.x < b.xMin + kSavEdgeMargin || at.x > b.xMax - kSavEdgeMargin || at.z < b.zMin + kSavEdgeMargin ||
        at.z > b.zMax - kSavEdgeMargin) {
        me->entity->flags |= kEntityDead;
        return false;
    }
    // 2.
    GameObject* who = GameObject::FromHandle(whoHandle);
    if (curState == kUStateAttack && who && who->objClass->category == kCategoryPerson) return false;
    // 3.
    GameObject* found = AI_FindNearestEnemyPerson(me, kPersonRange2);
    if (!found) {
        if (curState == kUStateAttack) return false;
        found = UnitAi_Services().findNearestEnemyCraft(me, kCraftRange2);
        if (!found) return false;
    }
    // 4. A running vehicle attack is dropped first, so that the person is taken next.
    if (saveState != kUStateNone) {
        nextState = saveState;
        whoHandle = saveWho;
        saveState = kUStateNone;
    } else {
        saveState = curState;
        saveWho = whoHandle;
        nextState = kUStateAttack;
        whoHandle = found->GetObjHandle();
    }
    return true;
}

// ---- SAVAttackPersonTask --------------------------------------------------------------------

SAVAttackPersonTask::SAVAttackPersonTask() : UnitTask(nullptr, nullptr) {}

SAVAttackPersonTask::SAVAttackPersonTask(GameObject* sav, GameObject* person) : UnitTask(sav, person) {
    curState = kTaskStart;
    nextState = kTaskStart;
}

SAVAttackPersonTask::~SAVAttackPersonTask() {
    if (UnitAi_IsListedObject(me)) Exit();
    curState = kTaskDone;
}

const FactoryReg* SAVAttackPersonTask::GetFactory() const { return UnitTask_FactoryEntry("SAVAttackPersonTask"); }

void SAVAttackPersonTask::Enter() {
    switch (curState) {
        case kTaskStart:
            nextState = kTaskAttack;
            break;
        case kTaskAttack:
            Undeploy(me);
            break;
        case kTaskGoto:
            Deploy(me);
            EnterMoveState();
            break;
        case kTaskStuck:
            EnterMoveState();
            break;
        default:
            break;
    }
}

void SAVAttackPersonTask::Exit() {
    if (curState == kTaskGoto || curState == kTaskStuck) ExitMoveState();
}

void SAVAttackPersonTask::Ram(GameObject* target) {
    const Vector rel = ToLocal(Vec3_Sub(AI_PositionOf(target), UnitPosition()));
    const float length = std::sqrt(Vec3_Dot(rel, rel));
    const Vector n = length > 0.0f ? Vector{rel.x / length, rel.y / length, rel.z / length} : Vector{};
    CraftControls& c = Controls();
    Craft* craft = AsCraft(me);
    const float yawRate = craft ? craft->euler.angularVelocity.y : 0.0f;
    c.throttle = std::clamp((rel.z + 1.0f) * 0.001f, -0.25f, 0.25f);
    c.steering = std::clamp(-5.0f * n.x - yawRate, -1.0f, 1.0f);
    pitchAccumulator = std::clamp(pitchAccumulator + n.y, -1.0f, 1.0f);
    c.pitch = pitchAccumulator;
    c.boost = 0;
    c.strafe = 0.0f;
    if (rel.z > 0.0f && rel.z < kRamReach) {
        DamageInfo damage;
        damage.source = me->entity;
        damage.carrier = me->entity;
        damage.kind = 4;
        if (me->entity->flags & (0x10 | 0x20)) damage.kind |= kDamageUserSide;
        if (me->IsRemote()) damage.kind |= kDamageExtraKind;
        damage.playerId = me->GetPlayerId();
        damage.amount = kRamAmount;
        const Vector extra{0.0f, 1.0f, 0.0f};
        target->TakeDamage(&damage, &extra);
    }
}

void SAVAttackPersonTask::Execute() {
    if (curState == kTaskDone) return;
    GameObject* target = GameObject::FromHandle(himHandle);
    if (!target) {
        nextState = kTaskDone;
        return;
    }
    obstacle = AI_FindNearestSolid(me, UnitPosition());
    const bool inTransition = !Deployed(me) && !Undeployed(me);
    if (wasInTransition && !inTransition) {
        nextStuck = Now() + 5.0f;
        lastStuck = UnitPosition();
    }
    wasInTransition = inTransition;
    const float dist2 = Vec3_GroundDistSq(UnitPosition(), AI_PositionOf(target));
    switch (curState) {
        case kTaskGoto:
            if (dist2 < 5625.0f) nextState = kTaskAttack;
            else if (inTransition) Brake();
            else if (IsStuck()) nextState = kTaskStuck;
            else AdvancePlanPoint();
            break;
        case kTaskStuck:
            StuckRecover();
            break;
        case kTaskAttack:
            if (dist2 > 10000.0f) {
                gotoPoint = AI_PositionOf(target);
                nextState = kTaskGoto;
            } else if (Undeployed(me)) {
                Ram(target);
            } else {
                Brake();
            }
            break;
        default:
            break;
    }
}

// ---- SAVAttackVehicleTask -------------------------------------------------------------------

SAVAttackVehicleTask::SAVAttackVehicleTask() : UnitTask(nullptr, nullptr) { braccelFactor = 1.0f / 70.0f; }

SAVAttackVehicleTask::SAVAttackVehicleTask(GameObject* sav, GameObject* vehicle) : UnitTask(sav, vehicle) {
    braccelFactor = 1.0f / 70.0f;
    curState = kTaskStart;
    nextState = kTaskStart;
    if (vehicle && sav) {
        record = AttackRegistry_Get(vehicle);
        record->Add(sav, this);
    }
}

SAVAttackVehicleTask::~SAVAttackVehicleTask() {
    if (UnitAi_IsListedObject(me)) Exit();
    curState = kTaskDone;
    if (record) record->Remove(me);
    record = nullptr;
}

const FactoryReg* SAVAttackVehicleTask::GetFactory() const { return UnitTask_FactoryEntry("SAVAttackVehicleTask"); }

bool SAVAttackVehicleTask::SavLineOfFire() {
    if (Undeployed(me)) return LineOfFireClear();
    // From where the SAV strikes: its hover height over the ground under it.
    Matrix& m = me->entity->local;
    const DVector saved = m.posit;
    auto* hover = dynamic_cast<HoverCraft*>(me);
    const float height = hover ? hover->base.hoverHeight : 0.0f;
    m.posit.y = Terrain_GetHeight(m.posit.x, m.posit.z) + height;
    const bool clear = LineOfFireClear();
    m.posit = saved;
    return clear;
}

void SAVAttackVehicleTask::HoverBrake() {
    CraftControls& c = Controls();
    const Matrix& m = me->entity->local;
    const Vector v = me->euler.velocity;
    const bool moving = std::sqrt(Vec3_Dot(v, v)) >= 0.01f;
    c.throttle = moving ? -0.2f * Vec3_Dot(v, m.front) : 0.0f;
    c.strafe = moving ? -0.2f * Vec3_Dot(v, m.right) : 0.0f;
    c.steering = std::clamp(-5.0f * turnValue - me->euler.angularVelocity.y, -1.0f, 1.0f);
    c.boost = 0;
}

Vector SAVAttackVehicleTask::RingPoint(GameObject* target) {
    Vector point = AI_PositionOf(target);
    const int32_t index = record ? record->IndexOf(me) : 0;
    const float angle = static_cast<float>(index) * kSavRingStepDegrees * kPi / 180.0f;
    point.x += kSavRingDistance * std::sin(angle);
    point.z += kSavRingDistance * std::cos(angle);
    return point;
}

void SAVAttackVehicleTask::Enter() {
    ClearControls(Controls());
    GameObject* target = GameObject::FromHandle(himHandle);
    switch (curState) {
        case kTaskStart:
            if (!target || !me->hardpoints) nextState = kTaskDone;
            else if (Undeployed(me) && SavLineOfFire()) nextState = kTaskAttack;
            else nextState = kSavTaskApproach;
            break;
        case kTaskGoto:
        case kSavTaskApproach:
            if (!target) {
                nextState = kTaskDone;
                break;
            }
            gotoPoint = curState == kSavTaskApproach ? RingPoint(target) : AI_PositionOf(target);
            Deploy(me);
            StartPlan();
            break;
        case kTaskAttack:
            strikeDeadline = Now() + 15.0f;
            lastShotDeadline = Now() + 3.0f;
            break;
        case kSavTaskSettle:
            Deploy(me);
            strikeDeadline = Now() + 5.0f;
            break;
        default:
            break;
    }
}

void SAVAttackVehicleTask::Exit() {
    if (curState == kTaskGoto || curState == kSavTaskApproach) FreePlan();
    if (curState == kTaskAttack) WeaponsOff(me);
}

void SAVAttackVehicleTask::Execute() {
    if (curState == kTaskDone) return;
    GameObject* target = GameObject::FromHandle(himHandle);
    if (!target || me->IsAlly(target) || !me->hardpoints) {
        nextState = kTaskDone;
        return;
    }
    if (!record) record = AttackRegistry_Join(target, me, this);
    obstacle = AI_FindNearestSolid(me, UnitPosition());
    if (obstacle == target) obstacle = nullptr;
    const bool inTransition = !Deployed(me) && !Undeployed(me);
    const bool justSettled = prevInTransition && !inTransition;
    if (justSettled) {
        nextStuck = Now() + 5.0f;
        lastStuck = UnitPosition();
    }
    prevInTransition = inTransition;
    const float range = std::sqrt(reachSq);
    const Vector at = UnitPosition(), there = AI_PositionOf(target);
    const float dist2 = Vec3_GroundDistSq(at, there);
    switch (curState) {
        case kTaskGoto:
        case kSavTaskApproach: {
            if (!Deployed(me)) HoverBrake();
            const bool clear = curState == kTaskGoto && SavLineOfFire();
            if (clear && dist2 < 0.75f * range * 0.75f * range) nextState = kTaskAttack;
            else if (Vec3_GroundDistSq(there, gotoPoint) > 10000.0f) nextState = kSavTaskApproach;
            else if (Vec3_GroundDistSq(at, gotoPoint) < 400.0f) nextState = kTaskGoto;
            else if (Deployed(me)) AdvancePlanPoint();
            break;
        }
        case kTaskAttack:
            if (Deployed(me)) {
                const AttackEntry* ahead = record ? record->Previous(me) : nullptr;
                if (ahead && ahead->attacker) {
                    RangeAttack();
                    if (UnitAi_Distance2(me, ahead->attacker) < 1600.0f) Controls().strafe = 1.0f;
                } else {
                    Undeploy(me);
                }
            } else if (dist2 > 1.21f * range * range) {
                nextState = kSavTaskApproach;
            } else if (Undeployed(me)) {
                if (Now() > strikeDeadline) {
                    nextState = kSavTaskSettle;
                    break;
                }
                StandAttack();
                const bool clear = SavLineOfFire();
                const bool ally = UnitAi_Services().allyInLineOfFire(me, dist2, 0.3f);
                Controls().strafe = ally ? 0.25f : 0.0f;
                const bool fire = clear && !ally;
                FireAtTarget(fire);
                if (fire) lastShotDeadline = Now() + 3.0f;
                if (Now() > lastShotDeadline) nextState = kTaskGoto;
            } else {
                HoverBrake();
                strikeDeadline = Now() + 15.0f;
                lastShotDeadline = Now() + 3.0f;
            }
            break;
        case kSavTaskSettle:
            if (Deployed(me)) {
                if (justSettled) strikeDeadline = Now() + 5.0f;
                if (Now() > strikeDeadline) nextState = kSavTaskApproach;
            } else {
                HoverBrake();
            }
            break;
        default:
            break;
    }
}

void SAVAttackVehicleTask::DebugDraw() {
    UnitAiServices& s = UnitAi_Services();
    char line[96];
    std::snprintf(line, sizeof line, "deployed: %s", Deployed(me) ? "true" : "false");
    s.debugPrint(line);
    std::snprintf(line, sizeof line, "timeOut: %f", static_cast<double>(strikeDeadline - Now()));
    s.debugPrint(line);
    std::snprintf(line, sizeof line, "gotoDist: %f",
                  static_cast<double>(std::sqrt(Vec3_GroundDistSq(UnitPosition(), gotoPoint))));
    s.debugPrint(line);
    s.debugCircle(UnitPosition(), std::sqrt(reachSq), 0xff0000);
    UnitTask::DebugDraw();
}

void Ai_InstallSavProcesses() {
    Registration_SetCreate("SAVEnemy", []() -> sObject* { return new SAVEnemy; });
    Registration_SetCreate("SAVAttackPersonTask", []() -> sObject* { return new SAVAttackPersonTask; });
    Registration_SetCreate("SAVAttackVehicleTask", []() -> sObject* { return new SAVAttackVehicleTask; });
}
