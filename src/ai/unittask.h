// Unit tasks: the short-lived pieces of behaviour a unit process runs in one of its states
// (sit, go to, follow, attack ...). Every live task is in the list AiTasks, which is saved
// with the game. UnitTask is the frame all tasks share: its own small state machine, route
// following, steering, the stuck detector with its recovery, weapon bookkeeping and the firing
// decision of the attack-type tasks. The simple tasks (sit, sit and spin, circle, coast) live
// here too.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/factory.h"
#include "core/mathlib.h"
#include "fun3d/craft.h"

class AiPath;
class GameObject;
class OrdnanceClass;
class Weapon;
class UnitTask;

// ---- task states -----------------------------------------------------------------------------
enum UnitTaskState : int32_t {
    kTaskNoState = 0,
    kTaskStart,
    kTaskGoto,
    kTaskStuck,
    kTaskFollow,
    kTaskAttack,
    kTaskWait,
    kTaskSlide,
    kTaskStand,
    kTaskFlee,
    kTaskBlast,
    kTaskLead,
    kTaskCatch,
    kTaskDone,  // 13: the task is finished
};
// "NO_STATE" .. "DONE"; 14..21 "USTATEX"; null otherwise.
const char* UnitTask_StateName(int32_t state);
// "choose", "forward" .. "default(backward)"; null outside 0..10.
const char* UnitTask_StuckStateName(int32_t state);

// Control-flag bits of a craft (its physics flag word) that tasks read and write.
constexpr uint32_t kControlFlat = 0x4;        // the route follower ignores cliffs
constexpr uint32_t kControlStuck = 0x20000;   // recovering from being stuck

// ---- what later parts of the unit AI answer ------------------------------------------------
struct BestWeaponRange {
    float blastRadius = 0.0f;
    float reach = 10.0f;
    float lifetime = 0.5f;
    Weapon* weapon = nullptr;
};
// One charge level of a charge gun: the ordnance it fires, how many shots a salvo holds, the
// time between them and how long the level takes to charge.
struct ChargeLevel {
    const OrdnanceClass* ordnance = nullptr;
    int32_t salvoCount = 0;
    float salvoInterval = 0.0f;
    float chargeTime = 0.0f;
};
// What the firing decision reads of a charge gun.
struct ChargeGunState {
    std::vector<ChargeLevel> levels;
    int32_t current = 0;      // the level reached; level 0 fires nothing
    float chargeClock = 0.0f; // seconds charged so far
    int32_t shotsLeft = 0;    // shots of a salvo under way
};
struct UnitTaskHooks {
    // The unit's route to the goal; never fails.
    AiPath* (*planForUnit)(GameObject* unit, const Vector& goal);
    bool (*isPathClear)(int32_t team, const Vector& from, const Vector& to);
    bool (*isImpassableAt)(const Vector& at);
    // Along the ground direction, the distance to the first cell that is not blocked.
    float (*groundClear)(GameObject* unit, const Vector& direction, float range);
    // The avoidance pushes added to force.
    void (*avoidanceSteer)(GameObject* unit, GameObject* ignore, float range, const Vector& goal, Vector* force);
    bool (*cliffRepulsion)(GameObject* unit, const Vector& goal, float distance, Vector* force);
    // The unit's best weapon; false when it has none worth naming.
    bool (*bestWeaponRange)(GameObject* unit, BestWeaponRange* out);
    // The attack and follow records re-joined after a load.
    void (*relinkAttack)(UnitTask* task);
    void (*relinkFollow)(UnitTask* task);
    // The damage one shot of the ordnance class does to the target (null: none).
    float (*damageAgainst)(const OrdnanceClass* ordnance, GameObject* target);
    // A charge gun's levels and state; false for a weapon that is none.
    bool (*chargeGun)(Weapon* weapon, ChargeGunState* out);
    // Whether a launcher still waits for its lock.
    bool (*lockPending)(Weapon* weapon);
    // A remote detonator's charge in flight: its position, velocity and blast radius; false
    // while none is out.
    bool (*remoteCharge)(Weapon* weapon, Vector* position, Vector* velocity, float* blastRadius);
    // A launcher's cone value (the angle within which it locks).
    float (*coneValue)(Weapon* weapon);
    // The floor's normal under the point.
    Vector (*floorNormal)(const Vector& at);
    // Whether a shot of the task's weapon now is predicted to pass within reach (an angle) of
    // the target.
    bool (*threatensObject)(UnitTask* task, GameObject* target, float reach);
};
UnitTaskHooks& UnitTask_Hooks();
void UnitTask_ResetHooks();

// ---- the pair relation of two objects ------------------------------------------------------
// The distance band (below 10, 25, 60, 200, else 4), and for each side its heading, the
// bearing of the other and that bearing's octant relative to the heading (0 ahead, 2 a quarter
// turn one way, 4 behind). The second side is filled only when it has a heading.
struct PairRelation {
    void Init(GameObject* first, GameObject* second);
    uint8_t band = 4;
    GameObject* a = nullptr;
    GameObject* b = nullptr;
    float headingA = 0.0f, bearingA = 0.0f;
    int32_t octantA = 0;
    float headingB = 0.0f, bearingB = 0.0f;
    int32_t octantB = 4;
    float distance = 0.0f;
};
// floor((bearing - heading + 2 pi + pi/8) x 4/pi) & 7.
int32_t Relation_Octant(float bearing, float heading);
// The band of a ground distance.
uint8_t Relation_Band(float distance);
// Closer than 50 and the second off to one side of the first (octant 2 or 6).
bool Relation_SideOn(GameObject* first, GameObject* second);
// The formation angle of the table: band, first octant, second octant; radians.
float Formation_Angle(int32_t band, int32_t firstOctant, int32_t secondOctant);

// ---- tasks -----------------------------------------------------------------------------------
class AiTask : public sObject {
public:
    explicit AiTask(GameObject* taskOwner = nullptr);
    // Leaves AiTasks.
    ~AiTask() override;
    bool Load() override { return true; }
    bool PostLoad() override { return true; }
    bool Save(FILE*) override { return true; }
    virtual void Init() {}
    virtual bool IsDone() = 0;

    GameObject* owner;
};

class UnitTask : public AiTask {
public:
    UnitTask(GameObject* unit, GameObject* target);
    // The state becomes DONE; the unit's target is cleared.
    ~UnitTask() override;

    bool Load() override;
    bool PostLoad() override;
    bool Save(FILE* stream) override;
    void Init() override;
    bool IsDone() override { return curState == kTaskDone; }
    virtual void Update();
    virtual void DebugDraw();
    virtual void Enter() = 0;
    virtual void Exit() = 0;
    virtual void Execute() = 0;
    virtual void DriveToPlan();

    // ---- route following -----------------------------------------------------------------
    void StartPlan();
    void AdvancePlanPoint();
    Vector SteerToPlanPoint(bool flat);
    void FreePlan();
    // ---- steering ------------------------------------------------------------------------
    void Brake();
    void DriveToward(const Vector& v);
    void TurnToward(const Vector& dir, const Vector& dirRate);
    void TurnTo(const Vector& dir);
    // pitch moves toward the direction's rise (4 a second at a straight-up direction).
    void IntegratePitch(const Vector& dir);
    void SteerAvoid(const Vector& target, GameObject* other);
    void CircleAround(float angle);
    void FormationStep();
    // World-frame direction and rate, turned into the unit's frame first.
    void TurnTowardWorld(const Vector& dir, const Vector& dirRate);
    void TurnToWorld(const Vector& dir);
    // ---- attack and follow steering (aimDir and targetVel as the last line-of-fire test left
    // them) ---------------------------------------------------------------------------------
    void AttackManeuver();
    void StandAttack();
    void RangeAttack();
    void FollowStep();
    // Below skill 4, gradient noise of amplitude a on pitch and steer.
    void Jitter(float a);
    // ---- stuck -----------------------------------------------------------------------------
    bool IsStuck();
    void BeginStuck();
    void EndStuck();
    // The entry and exit of the moving states: GOTO plans to the go-to point and gives up its
    // plan, STUCK begins and ends its recovery.
    void EnterMoveState();
    void ExitMoveState();
    void StuckRecover();
    // ---- weapons ---------------------------------------------------------------------------
    // Virtual so that a test can script what the unit sees.
    virtual bool LineOfFireClear();
    void FireAtTarget(bool fire);
    // The worth of charge level k of the gun for the current target (Algorithm of the firing
    // decision): damage per second weighed by the ammunition held, damage per unit of
    // ammunition weighed by the ammunition missing.
    float ChargeLevelWorth(const ChargeGunState& gun, int32_t level, GameObject* target) const;
    void FindCounterWeapon();
    void CounterTarget();
    void CounterHit();

    // The unit's control words (a spare record for a unit that is not a craft).
    CraftControls& Controls();
    uint32_t* ControlFlags();
    // World and local frames of the unit.
    Vector UnitPosition() const;
    Vector ToLocal(const Vector& world) const;
    Vector FloorNormal() const;
    int32_t WeaponHash() const;

    int32_t curState = kTaskDone;
    int32_t nextState = -1;
    GameObject* me = nullptr;
    uint32_t himHandle = 0;
    GameObject* him = nullptr;
    bool wasInTransition = false;
    int32_t saveState = kTaskDone;
    uint32_t saveHandle = 0;
    Vector gotoPoint{};
    AiPath* plan = nullptr;
    int32_t planPoint = 0;
    int32_t lookPoint = 0;
    Vector desired{};
    Vector localDesired{};
    float braccelFactor = 0.05f;
    float strafeFactor = 0.05f;
    float steerFactor = 3.0f;
    float yawDamping = 0.2f;
    float turnLead = 0.3f;
    uint32_t avoidSkip = 0;
    GameObject* obstacle = nullptr;
    GameObject* avoidIgnore = nullptr;
    float nextStuck = 0.0f;
    Vector lastStuck{};
    int32_t stuckState = 0;
    float skill = 2.0f;
    float minRangeSq = 0.0f;
    float reachSq = 100.0f;
    float shotLife = 0.5f;
    float shotSpeed = 20.0f;
    float shotTimePerMeter = 0.05f;
    float pitch = 0.0f;
    Weapon* weapon = nullptr;
    Weapon* counterWeapon = nullptr;
    int32_t counterIndex = -1;
    int32_t weaponHash = 0;
    int32_t lineOfFire = 0;
    Vector aimDir{};
    float targetDistSq = 0.0f;
    Vector targetLocal{0.0f, 0.0f, 1.0f};
    Vector targetVel{};
    float blastDist = 75.0f;
    float fireConeX = 0.0f;
    float fireConeY = 0.0f;
    float switchDist = 15.0f;
    float attackStart = 0.0f;
    uint32_t attackTarget = 0;  // the attack record's target, by handle
    float noHitTime = 0.0f;
    float accuracy = 1.0f;
    float followDx = 0.0f;
    float followDz = 0.0f;
    float lastStopped = 0.0f;
    uint32_t followTarget = 0;  // the followed leader, by handle
    float timeOut = 0.0f;

private:
    // Recomputes the weapon values; after a change the radii join the blast radius.
    void RefreshWeapons(bool addRadii);
    CraftControls spare_{};
    uint32_t spareFlags_ = 0;
};

// The simple tasks: made for an owner with no target, they start in WAIT and never finish.
class SitTask : public UnitTask {
public:
    explicit SitTask(GameObject* unit = nullptr);
    const FactoryReg* GetFactory() const override;
    void Enter() override {}
    void Exit() override {}
    void Execute() override { Brake(); }
};
class SitSpinTask : public UnitTask {
public:
    explicit SitSpinTask(GameObject* unit = nullptr);
    const FactoryReg* GetFactory() const override;
    void Enter() override {}
    void Exit() override {}
    void Execute() override;
};
class CircleTask : public UnitTask {
public:
    explicit CircleTask(GameObject* unit = nullptr);
    const FactoryReg* GetFactory() const override;
    void Enter() override {}
    void Exit() override {}
    void Execute() override;
};
class CoastTask : public UnitTask {
public:
    explicit CoastTask(GameObject* unit = nullptr);
    const FactoryReg* GetFactory() const override;
    void Enter() override {}
    void Exit() override {}
    void Execute() override;
};

// ---- the task list -------------------------------------------------------------------------
const std::vector<AiTask*>& AiTasks();
// "[AiTasks]", "count" (tasks without the do-not-save flag), then each task.
bool AiTasks_Save(FILE* stream);
// Reads the section; a bad count or a task that fails to load fails it.
bool AiTasks_Load();
// PostLoad of every task in list order; false at the first failure.
bool AiTasks_PostLoad();
// Deletes every task.
void AiTasks_Clear();
// The listed unit task at the address, or null (a loaded pointer may name anything).
UnitTask* AiTasks_FindUnitTask(const void* address);
// The create functions of the simple tasks in the factory table (and of the go-to and follow
// families).
void Ai_InstallTasks();
// The factory entry a task kind saves itself under: the registered one, else the table's.
const FactoryReg* UnitTask_FactoryEntry(const char* name);
