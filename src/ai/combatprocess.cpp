#include "ai/combatprocess.h"

#include <algorithm>
#include <cstring>

#include "Terrain/terrheight.h"
#include "ai/attacktask.h"
#include "ai/unitservices.h"
#include "ai/worldqueries.h"
#include "core/clock.h"
#include "core/helpers.h"
#include "core/registration.h"
#include "core/seams/ai.h"
#include "fun3d/gameobject.h"
#include "fun3d/hardpoints.h"
#include "weapons/weapon.h"

namespace {

constexpr int32_t kSayHunt = 19;

Vector PositionOf(const GameObject* object) {
    if (object && object->entity) {
        const DVector& p = object->entity->local.posit;
        return Vector{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    }
    return object ? object->pos : Vector{};
}

UnitTask* Listed(UnitTask* task) { return AiTasks_FindUnitTask(task); }

void WeaponOff(Weapon* weapon) {
    if (weapon && weapon->IsTriggerDown()) weapon->ReleaseTrigger();
}

}  // namespace

// ---- the attack tasks ------------------------------------------------------------------------

WingmanBlastAttack::WingmanBlastAttack() : UnitTask(nullptr, nullptr) {}

WingmanBlastAttack::WingmanBlastAttack(GameObject* unit, GameObject* target) : UnitTask(unit, target) {
    fireConeX = 0.02f;
    fireConeY = 0.0f;
    curState = kTaskStart;
    nextState = kTaskAttack;
}

WingmanBlastAttack::~WingmanBlastAttack() {
    if (UnitAi_IsListedObject(me)) Exit();
    curState = kTaskDone;
}

const FactoryReg* WingmanBlastAttack::GetFactory() const { return UnitTask_FactoryEntry("WingmanBlastAttack"); }

void WingmanBlastAttack::Enter() {
    switch (curState) {
        case kTaskStart:
            nextState = kTaskAttack;
            break;
        case kTaskAttack:
            CounterTarget();
            break;
        case kTaskGoto:
        case kTaskStuck:
            EnterMoveState();
            break;
        default:
            break;
    }
}

void WingmanBlastAttack::Exit() {
    if (curState == kTaskAttack) WeaponOff(weapon);
    else ExitMoveState();
}

void WingmanBlastAttack::Execute() {
    if (curState == kTaskDone) return;
    GameObject* target = GameObject::FromHandle(himHandle);
    if (!target || me->IsAlly(target) || !me->hardpoints) {
        nextState = kTaskDone;
        return;
    }
    const Vector at = UnitPosition();
    obstacle = AI_FindNearestSolid(me, at);
    lineOfFire = 0;
    const float targetDist2 = Vec3_GroundDistSq(at, PositionOf(target));
    const bool gech = dynamic_cast<GechAttack*>(this) != nullptr;
    switch (curState) {
        case kTaskGoto:
            if (LineOfFireClear()) {
                lineOfFire = 1;
                nextState = kTaskAttack;
            } else if (IsStuck()) {
                nextState = kTaskStuck;
            } else if (Vec3_GroundDistSq(PositionOf(target), gotoPoint) > 10000.0f) {
                gotoPoint = PositionOf(target);
                nextState = kTaskGoto;
            } else if (Vec3_GroundDistSq(at, gotoPoint) < 100.0f) {
                if (gech) gotoPoint = PositionOf(target);
                nextState = kTaskGoto;
            } else {
                AdvancePlanPoint();
            }
            break;
        case kTaskStuck:
            StuckRecover();
            break;
        case kTaskAttack: {
            const bool clear = LineOfFireClear();
            lineOfFire = clear ? 1 : 0;
            AttackStep(target, clear, targetDist2);
            break;
        }
        default:
            break;
    }
    AfterStep(lineOfFire != 0);
}

void WingmanBlastAttack::AttackStep(GameObject* target, bool clear, float targetDist2) {
    if (clear || targetDist2 <= 10000.0f) {
        AttackManeuver();
    } else {
        gotoPoint = PositionOf(target);
        nextState = kTaskGoto;
    }
}

void WingmanBlastAttack::AfterStep(bool clear) {
    const bool ally = UnitAi_Services().allyInLineOfFire(me, targetDistSq, 0.3f);
    FireAtTarget(clear && !ally);
    CounterHit();
}

RocketTankAttack::RocketTankAttack() { blastDist = 75.0f; }

RocketTankAttack::RocketTankAttack(GameObject* unit, GameObject* target) : WingmanBlastAttack(unit, target) {
    blastDist = 75.0f;
}

const FactoryReg* RocketTankAttack::GetFactory() const { return UnitTask_FactoryEntry("RocketTankAttack"); }

void RocketTankAttack::Enter() {
    if (curState == kTaskAttack) blastDist = 75.0f;
    WingmanBlastAttack::Enter();
}

void RocketTankAttack::AttackStep(GameObject* target, bool clear, float targetDist2) {
    if (clear || targetDist2 <= 10000.0f) {
        if (IsStuck()) {
            nextState = kTaskStuck;
        } else {
            RangeAttack();
            // Backs off no faster than this, so it never runs from its own fight.
            CraftControls& c = Controls();
            if (c.throttle < 0.0f) c.throttle = -0.3f;
        }
        // Unseen but near: closer in, a little at a time.
        if (!clear) blastDist = std::max(20.0f, blastDist - 5.0f * Clock_GetFrameTime());
    } else {
        gotoPoint = PositionOf(target);
        nextState = kTaskGoto;
    }
}

GechAttack::GechAttack() = default;

GechAttack::GechAttack(GameObject* unit, GameObject* target) : WingmanBlastAttack(unit, target) {}

GechAttack::~GechAttack() {
    if (UnitAi_IsListedObject(me)) Exit();
    curState = kTaskDone;
}

const FactoryReg* GechAttack::GetFactory() const { return UnitTask_FactoryEntry("GechAttack"); }

void GechAttack::Enter() {
    CraftControls& c = Controls();
    c.throttle = 0.0f;
    c.boost = 0;
    c.steering = 0.0f;
    c.pitch = 0.0f;
    if (curState == kTaskAttack) return;
    WingmanBlastAttack::Enter();
}

void GechAttack::Exit() {
    if (curState == kTaskAttack) return;
    WingmanBlastAttack::Exit();
}

void GechAttack::Execute() {
    // With many mounts the walker sprays rather than aims.
    if (me && me->hardpoints && me->hardpoints->present > 3u) {
        fireConeX = 1.0f;
        fireConeY = 1.0f;
    }
    WingmanBlastAttack::Execute();
}

void GechAttack::AttackStep(GameObject* target, bool clear, float) {
    if (clear) {
        AttackManeuver();
    } else {
        gotoPoint = PositionOf(target);
        nextState = kTaskGoto;
    }
}

void GechAttack::AfterStep(bool clear) {
    if (curState != kTaskAttack) return;
    const bool ally = UnitAi_Services().allyInLineOfFire(me, targetDistSq, 0.3f);
    FireAtTarget(clear && !ally);
}

// ---- WingmanProcess --------------------------------------------------------------------------

void CombatProcess_ArmCraft(GameObject* craft) {
    if (!craft || !craft->hardpoints || craft->hardpoints->selected != 0) return;
    UnitAi_Services().weaponMaskSelect(craft, craft->hardpoints->enabled);
}

void WingmanProcess::OnAttach() { CombatProcess_ArmCraft(me); }

WingmanProcess::WingmanProcess(WingmanKind k, const char* name) : kind(k), name_(name) {}

const FactoryReg* WingmanProcess::GetFactory() const { return Factory_Find(name_); }

bool WingmanProcess::ProcessCommand(int32_t code) {
    if (code == kCmdCodeNone) return false;
    if (code == kCmdCodeHunt) {
        nextState = kUStateUser2;
        UnitProcess_Say(me, kSayHunt);
        return true;
    }
    return CraftProcess::ProcessCommand(code);
}

void WingmanProcess::UpdateFromCommand() {
    if (nextState == kUStateUser2) {
        where = me ? me->curCmd.where : nullptr;
        release = false;  // the command keeps its route
        return;
    }
    UnitProcess::UpdateFromCommand();
}

UnitTask* WingmanProcess::MakeAttack(GameObject* target) {
    if (kind == WingmanKind::kRocketTank) return new RocketTankAttack(me, target);
    return new AttackTask(me, target);
}

void WingmanProcess::StateEnter(int32_t state) {
    GameObject* who = GameObject::FromHandle(whoHandle);
    switch (state) {
        case kUStateAttack:
            task = MakeAttack(who);
            return;
        case kUStateUser1:
            // While following, a quick blast rather than gathering a group.
            task = saveState == kUStateFollow ? new WingmanBlastAttack(me, who) : MakeAttack(who);
            return;
        case kUStateUser2:
            ZeroSteering();
            task = new HuntTask(me, where);
            return;
        default:
            CraftProcess::StateEnter(state);
    }
}

void WingmanProcess::StateExit(int32_t state) {
    if (state == kUStateAttack || state == kUStateUser1 || state == kUStateUser2) {
        DropTask();
        return;
    }
    CraftProcess::StateExit(state);
}

void WingmanProcess::StateExecute(int32_t state) {
    if (state == kUStateUser1) {
        if (TaskDone()) nextState = kUStateWait;
        else UpdateTask();
        return;
    }
    if (state == kUStateUser2) {
        auto* hunt = dynamic_cast<HuntTask*>(Listed(task));
        if (hunt && hunt->IsDone() && !hunt->NewLeg()) {
            if (release && where) Seam_Ai().pathFree(where);
            where = nullptr;
            release = false;
            if (me && me->curCmd.what == kCmdCodeGo) me->ClearCommand();
            nextState = kUStateWait;
            return;
        }
        UpdateTask();
        return;
    }
    CraftProcess::StateExecute(state);
}

GameObject* WingmanProcess::FindEnemy(float range2) {
    if (kind == WingmanKind::kScout) return AI_FindNearestEnemyCraftOrMine(me, &range2);
    return CraftProcess::FindEnemy(range2);
}

bool WingmanProcess::KeepTarget(int32_t state) {
    UnitTask* current = Listed(task);
    switch (state) {
        case kUStateAttack:
            if (current && current->curState == kTaskWait)
                return enemy && UnitAi_Distance2(me, enemy) < engageRange && Clock_GetTime() - me->enemyShot < 15.0f;
            return CraftProcess::KeepTarget(state);
        case kUStateFollow:
            if (saveState != kUStateNone || (current && current->curState == kTaskFollow))
                return CraftProcess::KeepTarget(state);
            return false;
        case kUStateUser2:
            return CraftProcess::KeepTarget(kUStateWait);
        default:
            return CraftProcess::KeepTarget(state);
    }
}

// ---- GechProcess -----------------------------------------------------------------------------

GechProcess::GechProcess(const char* name) : name_(name) {}

const FactoryReg* GechProcess::GetFactory() const { return Factory_Find(name_); }

void GechProcess::OnAttach() { CombatProcess_ArmCraft(me); }

void GechProcess::StateEnter(int32_t state) {
    if (state == kUStateAttack || state == kUStateUser1) {
        task = new GechAttack(me, GameObject::FromHandle(whoHandle));
        return;
    }
    CraftProcess::StateEnter(state);
}

void GechProcess::StateExit(int32_t state) {
    if (state == kUStateAttack || state == kUStateUser1) {
        DropTask();
        return;
    }
    CraftProcess::StateExit(state);
}

void GechProcess::StateExecute(int32_t state) {
    if (state == kUStateUser1) {
        if (TaskDone()) nextState = kUStateWait;
        else UpdateTask();
        return;
    }
    CraftProcess::StateExecute(state);
}

bool GechProcess::KeepTarget(int32_t state) {
    if (!enemy) return false;
    switch (state) {
        case kUStateWait:
            return UnitAi_Distance2(me, enemy) < engageRange;
        case kUStateGoto: {
            // Only an enemy in plain sight turns a walker from its way.
            const Vector from = PositionOf(me), to = PositionOf(enemy);
            float t = 1.0f;
            return !Terrain_RayCast(from.x, from.y, from.z, to.x - from.x, to.y - from.y, to.z - from.z, &t, nullptr);
        }
        default:
            return false;
    }
}

// ---- factory ---------------------------------------------------------------------------------

void Ai_InstallCombatProcesses() {
    Registration_SetCreate("TankFriend", []() -> sObject* { return new WingmanProcess(WingmanKind::kTank, "TankFriend"); });
    Registration_SetCreate("TankEnemy", []() -> sObject* { return new WingmanProcess(WingmanKind::kTank, "TankEnemy"); });
    Registration_SetCreate("ScoutFriend", []() -> sObject* { return new WingmanProcess(WingmanKind::kScout, "ScoutFriend"); });
    Registration_SetCreate("ScoutEnemy", []() -> sObject* { return new WingmanProcess(WingmanKind::kScout, "ScoutEnemy"); });
    Registration_SetCreate("BomberFriend", []() -> sObject* { return new WingmanProcess(WingmanKind::kBomber, "BomberFriend"); });
    Registration_SetCreate("BomberEnemy", []() -> sObject* { return new WingmanProcess(WingmanKind::kBomber, "BomberEnemy"); });
    Registration_SetCreate("RocketTankFriend",
              []() -> sObject* { return new WingmanProcess(WingmanKind::kRocketTank, "RocketTankFriend"); });
    Registration_SetCreate("RocketTankEnemy",
              []() -> sObject* { return new WingmanProcess(WingmanKind::kRocketTank, "RocketTankEnemy"); });
    Registration_SetCreate("GechFriend", []() -> sObject* { return new GechProcess("GechFriend"); });
    Registration_SetCreate("GechEnemy", []() -> sObject* { return new GechProcess("GechEnemy"); });
}

void Ai_InstallCombatTasks() {
    Registration_SetCreate("WingmanBlastAttack", []() -> sObject* { return new WingmanBlastAttack; });
    Registration_SetCreate("RocketTankAttack", []() -> sObject* { return new RocketTankAttack; });
    Registration_SetCreate("GechAttack", []() -> sObject* { return new GechAttack; });
}
