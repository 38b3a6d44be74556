#include "ai/personprocess.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Terrain/terrheight.h"
#include "ai/aipath.h"
#include "ai/combatprocess.h"
#include "ai/pathgrid.h"
#include "ai/unitservices.h"
#include "ai/worldqueries.h"
#include "core/clock.h"
#include "core/helpers.h"
#include "core/registration.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"
#include "fun3d/hardpoints.h"
#include "fun3d/objectpool.h"
#include "fun3d/person.h"
#include "fun3d/teamrecord.h"
#include "fun3d/visibility.h"
#include "weapons/bullet.h"
#include "weapons/weapon.h"

namespace {

constexpr float kCraftSearch2 = 10000.0f;  // an empty craft within 100 m
constexpr float kFollowJoin2 = 900.0f;     // falls in behind the attacker ahead within 30 m
constexpr float kTooClose2 = 25.0f;        // and steps aside within 5 m of it
constexpr float kSoldierWait = 5.0f;       // a soldier's wait before it walks home
constexpr int32_t kHomeSlots[] = {1, 2, 3};
constexpr int32_t kOutpostFirst = 75, kOutpostLast = 79;

float Clamp1(float v) { return std::clamp(v, -1.0f, 1.0f); }

UnitTask* Listed(UnitTask* task) { return AiTasks_FindUnitTask(task); }

GameObject* Live(GameObject* object) {
    return object ? GameObject::FromHandle(object->GetObjHandle()) : nullptr;
}

bool Impassable(const Vector& at) { return UnitTask_Hooks().isImpassableAt(at); }

// A craft the pilot may take: empty, not on the way to be boarded, not claimed by its team.
bool Boardable(GameObject* person, GameObject* craft) {
    if (!Live(craft) || craft == person || !craft->entity) return false;
    const int32_t type = craft->entity->type;
    if (type != kTypeCraft && type != kTypeCraft6) return false;
    if (AI_IsPiloted(craft) || craft->inUse || (craft->boardExcludedTeams & Visibility_TeamBit(person->team))) return false;
    return Team_CanUseObject(TeamRecord::Get(person->team), craft);
}

// The point next to the craft a pilot walks to: the craft's own position, or when that lies on
// impassable ground the nearest passable point along eight directions from it.
Vector ApproachPoint(GameObject* craft) {
    const Vector at = AI_PositionOf(craft);
    if (!Impassable(at) || !PathGrid_Exists()) return at;
    const float cellsPerMetre = PathGrid_CellsPerMetre();
    const float length = cellsPerMetre > 0.0f ? 16.0f / cellsPerMetre : 160.0f;
    Vector best = at;
    float bestFraction = 2.0f;
    for (int i = 0; i < 8; ++i) {
        const float a = static_cast<float>(i) * 0.785398163f;
        const float dx = std::sin(a) * length, dz = std::cos(a) * length;
        const float f = AI_GroundClear(at.x, at.z, dx, dz, 1.0f);
        if (f >= 1.0f || f >= bestFraction) continue;
        // A little into the clear cell, not on its edge.
        const float into = std::min(1.0f, f + 0.5f / (cellsPerMetre * length + 1e-6f));
        bestFraction = f;
        best = Vector{at.x + dx * into, at.y, at.z + dz * into};
    }
    return best;
}

// Whether something stands across the straight walk from the person to the point: a building or a
// deployed craft, other than the craft walked to.
bool SomethingAcross(GameObject* person, GameObject* craft, const Vector& to) {
    const Vector from = AI_PositionOf(person);
    const float own = person->radius;
    const float x0 = std::min(from.x, to.x), x1 = std::max(from.x, to.x);
    const float z0 = std::min(from.z, to.z), z1 = std::max(from.z, to.z);
    for (GameObject* other : GameObject_List()) {
        if (other == person || other == craft || !other->entity || (other->entity->flags & kEntityDead)) continue;
        bool solid = other->objClass && other->objClass->category == kCategoryBuilding;
        if (!solid) {
            Craft* deployed = Craft_FromEntity(other->entity);
            solid = deployed && other->entity->type == kTypeCraft && deployed->deployState != 0 && deployed->IsDeployed();
        }
        if (!solid) continue;
        const Vector p = AI_PositionOf(other);
        const float margin = other->radius + own;
        if (p.x < x0 - margin || p.x > x1 + margin || p.z < z0 - margin || p.z > z1 + margin) continue;
        float t = 1.0f;
        Vector normal{};
        const Vector velocity{to.x - from.x, 0.0f, to.z - from.z};
        if (Ordnance_ThreatensObject(Vector{from.x, p.y, from.z}, velocity, t, normal, other, own)) return true;
    }
    return false;
}

void WeaponsOff(GameObject* unit) {
    if (!unit || !unit->hardpoints) return;
    for (Weapon* weapon : unit->hardpoints->weapons)
        if (weapon && weapon->IsTriggerDown()) weapon->ReleaseTrigger();
}

}  // namespace

// ---- the home and the way to a craft ---------------------------------------------------------

GameObject* Person_HomeObject(GameObject* unit) {
    TeamRecord* team = unit ? TeamRecord::Get(unit->team) : nullptr;
    if (!team) return nullptr;
    GameObject* home = nullptr;
    for (int32_t slot : kHomeSlots)
        if ((home = Live(team->GetSlot(slot)))) break;
    const Vector at = AI_PositionOf(unit);
    for (int32_t slot = kOutpostFirst; slot <= kOutpostLast; ++slot) {
        GameObject* outpost = Live(team->GetSlot(slot));
        if (outpost && (!home || Vec3_GroundDistSq(at, AI_PositionOf(outpost)) < Vec3_GroundDistSq(at, AI_PositionOf(home)))) home = outpost;
    }
    return home;
}

UnitTask* Person_RouteToCraft(GameObject* person, GameObject* craft) {
    const Vector at = AI_PositionOf(person);
    Craft* walker = Craft_FromEntity(person->entity);
    if (walker && (walker->physFlags & kPersonAirborne) && Impassable(at)) return new PersonGlide(person, craft);
    const Vector approach = ApproachPoint(craft);
    float t = 1.0f;
    const bool groundAcross = Terrain_RayCast(at.x, at.y, at.z, approach.x - at.x, approach.y - at.y, approach.z - at.z,
                                              &t, nullptr) != 0;
    if (!groundAcross && !SomethingAcross(person, craft, approach)) return new PersonStraight(person, craft);
    return new PersonGetIn(person, craft, approach);
}

GameObject* Person_RouteCraft(UnitTask* task) {
    task = Listed(task);
    if (!task) return nullptr;
    if (dynamic_cast<PersonGetIn*>(task)) return GameObject::FromHandleRaw(task->saveHandle);
    if (dynamic_cast<PersonGlide*>(task) || dynamic_cast<PersonStraight*>(task))
        return GameObject::FromHandleRaw(task->himHandle);
    return nullptr;
}

// ---- PersonProcess ---------------------------------------------------------------------------

PersonProcess::PersonProcess(const char* name) : name_(name) {}

PersonProcess::~PersonProcess() {
    // The base leaves the state too, but by then this kind's handlers are gone: the claim would
    // stay on the craft (a pilot that climbs into its craft ends here).
    StateExit(curState);
    curState = kUStateNone;
}

const FactoryReg* PersonProcess::GetFactory() const { return Factory_Find(name_); }

void PersonProcess::OnAttach() { CombatProcess_ArmCraft(me); }

bool PersonProcess::LookForCraft() {
    if (!me) return false;
    GameObject* craft = nullptr;
    // The craft it last left comes first.
    if (Craft* self = Craft_FromEntity(me->entity)) {
        GameObject* left = GameObject::FromHandle(self->abandoned);
        if (Boardable(me, left) && UnitAi_Distance2(me, left) < kCraftSearch2) craft = left;
    }
    if (!craft) {
        float range2 = kCraftSearch2;
        craft = AI_FindNearestFreeCraft(me, &range2, nullptr);
    }
    if (!craft) return false;
    gettingIn = true;
    DropTask();
    craft->boardExcludedTeams |= Visibility_TeamBit(me->team);
    task = Person_RouteToCraft(me, craft);
    return true;
}

void PersonProcess::ReleaseClaim() {
    if (!gettingIn) return;
    gettingIn = false;
    GameObject* craft = Person_RouteCraft(task);
    if (me && UnitAi_IsListedObject(craft)) craft->boardExcludedTeams &= ~Visibility_TeamBit(me->team);
}

bool PersonProcess::GiveUpLostCraft() {
    if (!gettingIn) return false;
    GameObject* craft = Person_RouteCraft(task);
    if (Live(craft) && !AI_IsPiloted(craft) && !TaskDone()) return false;
    ReleaseClaim();
    DropTask();
    return true;
}

void PersonProcess::StateEnter(int32_t state) {
    switch (state) {
        case kUStateWait:
            home = Person_HomeObject(me);
            if (independence && home) nextState = kUStateUser2;
            CraftProcess::StateEnter(state);
            gettingIn = false;
            return;
        case kUStateAttack:
        case kUStateUser1:
            task = new PersonAttack(me, GameObject::FromHandle(whoHandle));
            return;
        case kUStateUser2:
            home = Person_HomeObject(me);
            task = new PersonRetreat(me, home);
            gettingIn = false;
            return;
        default:
            CraftProcess::StateEnter(state);
    }
}

void PersonProcess::StateExit(int32_t state) {
    switch (state) {
        case kUStateWait:
        case kUStateUser2:
            ReleaseClaim();
            DropTask();
            return;
        case kUStateAttack:
        case kUStateUser1:
            DropTask();
            return;
        default:
            CraftProcess::StateExit(state);
    }
}

void PersonProcess::StateExecute(int32_t state) {
    switch (state) {
        case kUStateWait:
            if (independence) {
                GiveUpLostCraft();
                if (!gettingIn) LookForCraft();
                home = Person_HomeObject(me);
                if (home) nextState = kUStateUser2;
            }
            CraftProcess::StateExecute(state);
            return;
        case kUStateUser1:
            if (TaskDone()) nextState = kUStateWait;
            else UpdateTask();
            return;
        case kUStateUser2:
            if (GiveUpLostCraft()) {
                // The walk home starts again from WAIT.
                nextState = kUStateWait;
                return;
            }
            if (!gettingIn) LookForCraft();
            if (TaskDone()) nextState = kUStateWait;
            else UpdateTask();
            return;
        default:
            CraftProcess::StateExecute(state);
    }
}

bool PersonProcess::KeepTarget(int32_t state) {
    if (state != kUStateWait || Person_HomeObject(me)) return false;
    return CraftProcess::KeepTarget(state);
}

// ---- SoldierProcess --------------------------------------------------------------------------

SoldierProcess::SoldierProcess(const char* name) : name_(name) {}

SoldierProcess::~SoldierProcess() {
    StateExit(curState);
    curState = kUStateNone;
}

const FactoryReg* SoldierProcess::GetFactory() const { return Factory_Find(name_); }

void SoldierProcess::OnAttach() { CombatProcess_ArmCraft(me); }

bool SoldierProcess::ProcessCommand(int32_t code) {
    if (code == kCmdCodeGetIn) {
        nextState = kUStateFree;
        return true;
    }
    return CraftProcess::ProcessCommand(code);
}

void SoldierProcess::UpdateFromCommand() {
    if (nextState != kUStateFree) {
        UnitProcess::UpdateFromCommand();
        return;
    }
    whoHandle = me->curCmd.who;
    where = me->curCmd.where;
    release = false;  // the command keeps its route
    saveState = kUStateNone;
    saveWho = 0;
}

void SoldierProcess::StateEnter(int32_t state) {
    switch (state) {
        case kUStateWait:
            timeOut = Clock_GetTime() + kSoldierWait;
            CraftProcess::StateEnter(state);
            return;
        case kUStateAttack:
        case kUStateUser1:
            task = new SoldierAttack(me, GameObject::FromHandle(whoHandle));
            return;
        case kUStateUser2:
            task = new SoldierRetreat(me, Person_HomeObject(me));
            return;
        case kUStateFree: {
            GameObject* vehicle = GameObject::FromHandle(whoHandle);
            if (!vehicle && me && UnitAi_IsListedObject(me->carrier)) vehicle = Live(me->carrier);
            task = new SoldierReturn(me, vehicle);
            return;
        }
        default:
            CraftProcess::StateEnter(state);
    }
}

void SoldierProcess::StateExit(int32_t state) {
    switch (state) {
        case kUStateAttack:
        case kUStateUser1:
        case kUStateUser2:
        case kUStateFree:
            DropTask();
            return;
        default:
            CraftProcess::StateExit(state);
    }
}

void SoldierProcess::StateExecute(int32_t state) {
    switch (state) {
        case kUStateWait:
            if (Clock_GetTime() >= timeOut) {
                nextState = kUStateUser2;
                return;
            }
            CraftProcess::StateExecute(state);
            return;
        case kUStateUser1:
        case kUStateUser2:
        case kUStateFree:
            if (TaskDone()) nextState = kUStateWait;
            else UpdateTask();
            return;
        default:
            CraftProcess::StateExecute(state);
    }
}

bool SoldierProcess::KeepTarget(int32_t state) { return state == kUStateWait && CraftProcess::KeepTarget(state); }

// ---- PersonAttack ----------------------------------------------------------------------------

PersonAttack::PersonAttack() : UnitTask(nullptr, nullptr) {}

PersonAttack::PersonAttack(GameObject* unit, GameObject* target) : UnitTask(unit, target) {
    if (!target) return;  // born finished
    attackTarget = target->GetObjHandle();
    record = AttackRegistry_Join(target, unit, this);
    fireConeX = 0.02f;
    fireConeY = 0.0f;
    curState = kTaskStart;
    nextState = kTaskStart;
}

PersonAttack::~PersonAttack() {
    if (UnitAi_IsListedObject(me)) {
        Exit();
        WeaponsOff(me);
    }
    curState = kTaskDone;
    if (record) record->Remove(me);
    record = nullptr;
}

const FactoryReg* PersonAttack::GetFactory() const { return UnitTask_FactoryEntry("PersonAttack"); }
const FactoryReg* SoldierAttack::GetFactory() const { return UnitTask_FactoryEntry("SoldierAttack"); }

bool PersonAttack::PostLoad() {
    if (!UnitTask::PostLoad()) return false;
    // Joins its target's record again, in task-list order (the order attackers joined).
    if (!record && me)
        if (GameObject* target = GameObject::FromHandle(attackTarget)) record = AttackRegistry_Join(target, me, this);
    return true;
}

const AttackRecord::Entry* PersonAttack::Ahead() const {
    if (!record) return nullptr;
    const AttackRecord::Entry* ahead = record->Previous(me);
    if (!ahead || !UnitAi_IsListedObject(ahead->attacker) || !Live(ahead->attacker)) return nullptr;
    return ahead;
}

void PersonAttack::Enter() {
    CraftControls& c = Controls();
    c.throttle = 0.0f;
    c.boost = 0;
    c.steering = 0.0f;
    c.pitch = 0.0f;
    switch (curState) {
        case kTaskStart:
            nextState = kTaskFollow;
            break;
        case kTaskGoto:
            if (GameObject* target = GameObject::FromHandle(himHandle)) {
                gotoPoint = AI_PositionOf(target);
                StartPlan();
            } else {
                nextState = kTaskDone;
            }
            break;
        case kTaskStuck:
            BeginStuck();
            break;
        case kTaskFollow: {
            const AttackRecord::Entry* ahead = Ahead();
            if (ahead && UnitAi_Distance2(me, ahead->attacker) < kFollowJoin2) {
                followDx = 0.0f;
                followDz = -10.0f;
            } else {
                nextState = kTaskGoto;
            }
            break;
        }
        default:
            break;
    }
}

void PersonAttack::Exit() { ExitMoveState(); }

void PersonAttack::Execute() {
    GameObject* target = GameObject::FromHandle(himHandle);
    if (!target || !me || me->IsAlly(target) || !me->hardpoints || me->hardpoints->present == 0) {
        nextState = kTaskDone;
        return;
    }
    const Vector at = UnitPosition();
    const Vector there = AI_PositionOf(target);
    switch (curState) {
        case kTaskGoto:
            if (LineOfFireClear()) nextState = kTaskAttack;
            else if (IsStuck()) nextState = kTaskStuck;
            else if (Vec3_GroundDistSq(there, gotoPoint) > 10000.0f || Vec3_GroundDistSq(at, gotoPoint) < 100.0f) nextState = kTaskGoto;
            else AdvancePlanPoint();
            break;
        case kTaskStuck:
            StuckRecover();
            break;
        case kTaskFollow: {
            const AttackRecord::Entry* ahead = Ahead();
            if (ahead && ahead->task && Listed(ahead->task) && ahead->task->curState == kTaskGoto) {
                // Station is kept on the attacker ahead, not on the target.
                him = ahead->attacker;
                FollowStep();
                him = nullptr;
            } else {
                nextState = kTaskGoto;
            }
            break;
        }
        case kTaskAttack: {
            if (!LineOfFireClear()) {
                FireAtTarget(false);
                nextState = kTaskGoto;
                break;
            }
            RangeAttack();
            CraftControls& c = Controls();
            const bool ally = UnitAi_Services().allyInLineOfFire(me, targetDistSq, 0.3f);
            if (ally) c.strafe = std::min(c.strafe + 0.25f, 1.0f);
            if (const AttackRecord::Entry* ahead = Ahead(); ahead && UnitAi_Distance2(me, ahead->attacker) < kTooClose2)
                c.strafe = 1.0f;
            FireAtTarget(!ally);
            break;
        }
        default:
            break;
    }
}

// ---- the walks home --------------------------------------------------------------------------

bool GoHomeTask::Refresh() {
    if (curState == kTaskDone || !me || !me->entity || (me->entity->flags & kEntityDead)) return false;
    GameObject* home = GameObject::FromHandle(himHandle);
    if (!home) {
        nextState = kTaskDone;
        return false;
    }
    const float homeRadius = std::max(home->radius, home->objClass ? home->objClass->sphereRadius : 0.0f);
    const float box = std::max(homeRadius + me->radius + 10.0f, 20.0f);
    const Vector at = UnitPosition(), there = AI_PositionOf(home);
    if (std::fabs(at.x - there.x) < box && std::fabs(at.z - there.z) < box) {
        // Taken out of the world (the entity's removal flag); a pilot is one more for the team.
        me->entity->flags |= kEntityDead;
        if (AddsPilot())
            if (TeamRecord* team = TeamRecord::Get(me->team)) team->AddPilots(1);
        Brake();
        nextState = kTaskDone;
        return false;
    }
    return GotoTask::Refresh();
}

const FactoryReg* PersonRetreat::GetFactory() const { return UnitTask_FactoryEntry("PersonRetreat"); }
const FactoryReg* SoldierRetreat::GetFactory() const { return UnitTask_FactoryEntry("SoldierRetreat"); }
const FactoryReg* SoldierReturn::GetFactory() const { return UnitTask_FactoryEntry("SoldierReturn"); }

// ---- the ways to a craft ---------------------------------------------------------------------

PersonGlide::PersonGlide() : UnitTask(nullptr, nullptr) {}

PersonGlide::PersonGlide(GameObject* unit, GameObject* craft) : UnitTask(unit, craft) {
    if (craft) curState = kTaskStart;
}

const FactoryReg* PersonGlide::GetFactory() const { return UnitTask_FactoryEntry("PersonGlide"); }

void PersonGlide::Execute() {
    GameObject* craft = GameObject::FromHandle(himHandle);
    const Vector at = UnitPosition();
    if (!craft || !me || !Impassable(at)) {
        nextState = kTaskDone;
        return;
    }
    Vector aim = AI_PositionOf(craft);
    const Vector v = me->euler.velocity;
    const float speed = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (v.y < 0.0f && speed > 0.0f) {
        // Falling: the aim moves back by where the fall meets the ground.
        const Vector ray{v.x / speed * 10.0f, v.y / speed * 10.0f, v.z / speed * 10.0f};
        float t = 1.0f;
        if (Terrain_RayCast(at.x, at.y, at.z, ray.x, ray.y, ray.z, &t, nullptr)) {
            aim.x -= ray.x * t;
            aim.z -= ray.z * t;
        }
    }
    const Vector local = ToLocal(Vector{aim.x - at.x, aim.y - at.y, aim.z - at.z});
    const Vector vl = ToLocal(v);
    CraftControls& c = Controls();
    c.strafe = Clamp1(0.2f * local.x - 0.2f * vl.x);
    c.throttle = Clamp1(0.2f * local.z - 0.2f * vl.z);
    // A positive steer turns toward -x: the target's side is turned to with the opposite sign.
    c.steering = Clamp1(-5.0f * local.x / std::sqrt(local.x * local.x + local.z * local.z + 0.0001f) -
                        me->euler.angularVelocity.y);
}

PersonStraight::PersonStraight() : UnitTask(nullptr, nullptr) {}

PersonStraight::PersonStraight(GameObject* unit, GameObject* craft) : UnitTask(unit, craft) {
    if (!craft || !unit) return;
    const Vector from = UnitPosition(), to = AI_PositionOf(craft);
    plan = new AiPath(nullptr, 0);
    plan->points = {{from.x, from.z}, {to.x, to.z}};
    plan->pathType = kPathTypeStraight;
    planPoint = 1;
    lookPoint = 1;
    gotoPoint = Vector{to.x, 0.0f, to.z};
    curState = kTaskStart;
}

const FactoryReg* PersonStraight::GetFactory() const { return UnitTask_FactoryEntry("PersonStraight"); }

void PersonStraight::Execute() {
    GameObject* craft = GameObject::FromHandle(himHandle);
    if (!craft || !me || !plan || plan->points.size() < 2) {
        nextState = kTaskDone;
        return;
    }
    const Vector to = AI_PositionOf(craft);
    plan->points.back() = Vector2D{to.x, to.z};
    planPoint = plan->PointCount() - 1;
    gotoPoint = Vector{to.x, 0.0f, to.z};
    desired = SteerToPlanPoint(true);
    localDesired = ToLocal(desired);
    const float x = localDesired.x, z = localDesired.z;
    const float length = std::sqrt(x * x + z * z);
    CraftControls& c = Controls();
    if (length <= 0.0f) {
        Brake();
        return;
    }
    c.steering = Clamp1(-5.0f * x / length - me->euler.angularVelocity.y);
    const float s = std::fabs(c.steering);
    const float limit = s >= 1.0f ? 0.25f : s > 0.7f ? 0.5f : 1.0f;
    c.throttle = std::clamp(braccelFactor * z, -limit, limit);
    c.strafe = std::clamp(strafeFactor * x, -limit, limit);
    c.boost = 0;
}

PersonGetIn::PersonGetIn(GameObject* unit, GameObject* craft, const Vector& approach) : GotoTask(unit, approach) {
    // The craft is kept apart from the go-to's target: the walk ends at the approach point, which
    // may lie beside the craft, and must not be re-routed onto impassable ground under it.
    saveHandle = craft ? craft->GetObjHandle() : 0;
    avoidSkip = saveHandle;
    if (!craft) {
        curState = kTaskDone;
        nextState = -1;
    }
}

const FactoryReg* PersonGetIn::GetFactory() const { return UnitTask_FactoryEntry("PersonGetIn"); }

bool PersonGetIn::Refresh() {
    if (curState == kTaskDone) return false;
    if (!GameObject::FromHandle(saveHandle)) {
        nextState = kTaskDone;
        return false;
    }
    return GotoTask::Refresh();
}

// ---- factory ---------------------------------------------------------------------------------

void Ai_InstallPersonProcesses() {
    Registration_SetCreate("PersonFriend", []() -> sObject* { return new PersonProcess("PersonFriend"); });
    Registration_SetCreate("PersonEnemy", []() -> sObject* { return new PersonProcess("PersonEnemy"); });
    Registration_SetCreate("SoldierFriend", []() -> sObject* { return new SoldierProcess("SoldierFriend"); });
    Registration_SetCreate("SoldierEnemy", []() -> sObject* { return new SoldierProcess("SoldierEnemy"); });
}

void Ai_InstallPersonTasks() {
    Registration_SetCreate("PersonAttack", []() -> sObject* { return new PersonAttack; });
    Registration_SetCreate("SoldierAttack", []() -> sObject* { return new SoldierAttack; });
    Registration_SetCreate("PersonRetreat", []() -> sObject* { return new PersonRetreat; });
    Registration_SetCreate("SoldierRetreat", []() -> sObject* { return new SoldierRetreat; });
    Registration_SetCreate("SoldierReturn", []() -> sObject* { return new SoldierReturn; });
    Registration_SetCreate("PersonGlide", []() -> sObject* { return new PersonGlide; });
    Registration_SetCreate("PersonStraight", []() -> sObject* { return new PersonStraight; });
    Registration_SetCreate("PersonGetIn", []() -> sObject* { return new PersonGetIn; });
}
