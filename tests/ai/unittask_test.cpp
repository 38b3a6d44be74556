#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ai/aimission.h"
#include "ai/aipath.h"
#include "ai/pathgrid.h"
#include "ai/pathplanner.h"
#include "ai/avoidsettings.h"
#include "ai/unitservices.h"
#include "ai/unittask.h"
#include "core/clock.h"
#include "core/mathlib.h"
#include "core/factory.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/registration.h"
#include "core/seams/ai.h"
#include "fun3d/hardpoints.h"
#include "fun3d/objectpool.h"
#include "platform/clock.h"
#include "pathgrid_fixture.h"
#include "process_fixture.h"
#include "weapons/ordnance.h"
#include "weapons/weapon.h"
#include "support/field_stream.h"

namespace {

// A task whose state handlers record their calls; Enter may ask for another state.
class ProbeTask : public UnitTask {
public:
    ProbeTask(GameObject* unit, GameObject* target) : UnitTask(unit, target) {}
    const FactoryReg* GetFactory() const override { return Factory_Find("SitTask"); }
    void Enter() override {
        log += "enter" + std::to_string(curState) + " ";
        if (enterAsks != -1) {
            nextState = enterAsks;
            enterAsks = -1;
        }
    }
    void Exit() override { log += "exit" + std::to_string(curState) + " "; }
    void Execute() override { log += "exec" + std::to_string(curState) + " "; }
    std::string log;
    int32_t enterAsks = -1;
};

bool g_impassable = false;

class TaskTest : public ProcessFixture {
protected:
    void SetUp() override {
        ProcessFixture::SetUp();
        UnitAi_ResetServices();
        UnitTask_ResetHooks();
        Avoidance_ResetSettings();
        Registration_Init();
        Ai_InstallTasks();
        g_impassable = false;
        UnitTask_Hooks().floorNormal = [](const Vector&) { return Vector{0.0f, 1.0f, 0.0f}; };
        UnitTask_Hooks().isImpassableAt = [](const Vector&) { return g_impassable; };
        cls_ = &NewCraftClass();
        unit_ = NewCraft(*cls_, 2, Vector{100, 0, 100});
        Clock_SetTime(50.0f);
    }
    void TearDown() override {
        Mission_Shutdown();  // processes first: they delete the tasks they hold
        AiTasks_Clear();
        AiPaths_Reset();
        UnitTask_ResetHooks();
        Avoidance_ResetSettings();
        ProcessFixture::TearDown();
    }
    void Place(GameObject* object, Vector at, float headingRadians = 0.0f) {
        Matrix m = kIdentityMatrix;
        m.front = Vector{std::sin(headingRadians), 0.0f, std::cos(headingRadians)};
        m.right = Vector{std::cos(headingRadians), 0.0f, -std::sin(headingRadians)};
        m.posit = DVector{at.x, at.y, at.z};
        object->entity->local = m;
        object->pos = at;
    }
    CraftClass* cls_ = nullptr;
    Craft* unit_ = nullptr;
};

TEST_F(TaskTest, UpdateRunsExitEnterAndExecuteInOrder) {
    struct Case {
        const char* what;
        int32_t cur, next, enterAsks;
        std::string log;
        int32_t curAfter, nextAfter;
    } cases[] = {
        {"done does nothing", kTaskDone, kTaskGoto, -1, "", kTaskDone, kTaskGoto},
        {"no change: execute", kTaskGoto, -1, -1, "exec2 ", kTaskGoto, -1},
        {"change then execute", kTaskStart, kTaskGoto, -1, "exit1 enter2 exec2 ", kTaskGoto, -1},
        {"enter asks again: stop", kTaskStart, kTaskGoto, kTaskWait, "exit1 enter2 ", kTaskGoto, kTaskWait},
        {"entering done: stop", kTaskGoto, kTaskDone, -1, "exit2 enter13 ", kTaskDone, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProbeTask task(unit_, nullptr);
        task.curState = c.cur;
        task.nextState = c.next;
        task.enterAsks = c.enterAsks;
        task.Update();
        EXPECT_EQ(task.log, c.log);
        EXPECT_EQ(task.curState, c.curAfter);
        EXPECT_EQ(task.nextState, c.nextAfter);
    }
    // A task is constructed done.
    ProbeTask fresh(unit_, nullptr);
    EXPECT_TRUE(fresh.IsDone());
    fresh.Update();
    EXPECT_EQ(fresh.log, "");
}

TEST_F(TaskTest, SimpleTasksNeverFinishAndSteerAsTheyShould) {
    unit_->SetVelocity(Vector{0, 0, 10});  // moving ahead
    unit_->euler.angularVelocity.y = 0.4f;
    struct Case {
        const char* what;
        UnitTask* (*make)(GameObject*);
        float steer, braccel;
    } cases[] = {
        {"sit", UnitAi_Services().sitTask, -0.4f, -1.0f},
        {"sit and spin", UnitAi_Services().sitSpinTask, 0.5f, -1.0f},
        {"circle", [](GameObject* o) -> UnitTask* { return new CircleTask(o); }, 0.25f, 0.25f},
        {"coast", UnitAi_Services().coastTask, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UnitTask* task = c.make(unit_);
        ASSERT_NE(task, nullptr);
        EXPECT_EQ(task->curState, kTaskWait);
        for (int i = 0; i < 5; ++i) UnitAi_Services().taskUpdate(task);
        EXPECT_FALSE(UnitAi_Services().taskIsDone(task));
        EXPECT_FLOAT_EQ(unit_->controls.steering, c.steer);
        EXPECT_FLOAT_EQ(unit_->controls.throttle, c.braccel);
        EXPECT_EQ(unit_->controls.boost, 0);
        UnitAi_Services().taskDelete(task);
    }
    EXPECT_TRUE(AiTasks().empty());
}

TEST_F(TaskTest, StuckTestsComeLateAndMeasureTheDistanceMoved) {
    ProbeTask task(unit_, nullptr);
    task.gotoPoint = Vector{500, 0, 100};
    task.StartPlan();
    ASSERT_NE(task.plan, nullptr);
    // No grid: nothing lies in the way, so the planned route is the two points.
    EXPECT_EQ(task.plan->pathType, 0);
    EXPECT_EQ(task.plan->PointCount(), 2);
    const float start = Clock_GetTime();
    Avoidance_Settings().extraStuckTime = 3.0f;
    Place(unit_, Vector{102, 0, 100});
    Clock_SetTime(start + 7.9f);
    EXPECT_FALSE(task.IsStuck());  // before 5 + 3 s
    Clock_SetTime(start + 8.0f);
    EXPECT_TRUE(task.IsStuck());  // 2 m in 8 s
    Place(unit_, Vector{108, 0, 100});
    Clock_SetTime(start + 8.0f + 7.9f);
    EXPECT_FALSE(task.IsStuck());
    Clock_SetTime(start + 16.0f);
    EXPECT_FALSE(task.IsStuck());  // 6 m: moving
    // On an impassable cell at once, unless the route follower ignores the ground.
    g_impassable = true;
    EXPECT_TRUE(task.IsStuck());
    unit_->physFlags |= kControlFlat;
    EXPECT_FALSE(task.IsStuck());
}

TEST_F(TaskTest, OnOpenGroundAStuckUnitBacksOffForTwoSecondsThenResumes) {
    ProbeTask task(unit_, nullptr);
    task.curState = kTaskStuck;
    task.BeginStuck();
    EXPECT_TRUE(unit_->physFlags & kControlStuck);
    task.StuckRecover();
    EXPECT_EQ(task.stuckState, 10);
    const float start = Clock_GetTime();
    Clock_SetTime(start + 1.9f);
    task.StuckRecover();
    EXPECT_FLOAT_EQ(unit_->controls.throttle, -1.0f);
    EXPECT_EQ(task.nextState, -1);
    Clock_SetTime(start + 2.1f);
    task.StuckRecover();
    EXPECT_EQ(task.nextState, kTaskStart);
    task.EndStuck();
    EXPECT_FALSE(unit_->physFlags & kControlStuck);
}

TEST_F(TaskTest, OnAnImpassableCellTheShortestWayOutWinsAndSteepGroundGoesDownhill) {
    g_impassable = true;
    // Only the right side (direction 3) is open, 6 m away; the rest is blocked past 50 m.
    UnitTask_Hooks().groundClear = [](GameObject* unit, const Vector& dir, float) {
        const Vector right = unit->entity->local.right;
        return right.x * dir.x + right.z * dir.z > 0.99f ? 6.0f : 60.0f;
    };
    ProbeTask task(unit_, nullptr);
    task.BeginStuck();
    task.StuckRecover();
    EXPECT_EQ(task.stuckState, 3);
    task.StuckRecover();
    EXPECT_FLOAT_EQ(unit_->controls.strafe, 1.0f);
    EXPECT_FLOAT_EQ(unit_->controls.throttle, 0.0f);
    g_impassable = false;
    task.StuckRecover();
    EXPECT_EQ(task.nextState, kTaskStart);

    // A craft parked 4 m to the right closes the open side: no way out is left.
    g_impassable = true;
    GameObject* parked = NewCraft(*cls_, 1);
    parked->radius = 2.0f;
    unit_->radius = 1.0f;
    Place(parked, Vector{104, 0, 100});
    ProbeTask boxed(unit_, nullptr);
    boxed.BeginStuck();
    boxed.StuckRecover();
    EXPECT_EQ(boxed.stuckState, 9);
    Place(parked, Vector{500, 0, 500});

    // On a steep slope with no short way out the unit heads downhill.
    g_impassable = true;
    UnitTask_Hooks().groundClear = [](GameObject*, const Vector&, float) { return 60.0f; };
    UnitTask_Hooks().floorNormal = [](const Vector&) { return Vector{0.8f, 0.6f, 0.0f}; };
    ProbeTask steep(unit_, nullptr);
    steep.BeginStuck();
    steep.StuckRecover();
    EXPECT_EQ(steep.stuckState, 9);
    unit_->euler.angularVelocity.y = 0.0f;
    steep.StuckRecover();
    // Downhill lies to the +x side: the unit faces +z, so it turns right (negative steer here).
    EXPECT_LT(unit_->controls.steering, 0.0f);
    EXPECT_EQ(unit_->controls.boost, 0);
}

TEST_F(TaskTest, AdvancePlanPointPassesAtMostOnePointByEachRule) {
    struct Case {
        const char* what;
        Vector unit;
        bool clearToPoint, clearToNext, impassablePoint, obstacleOnPoint;
        int32_t planPoint;
        int32_t wantPoint;
        bool movedToUnit;
    } cases[] = {
        {"far, nothing holds", {0, 0, 0}, false, false, false, false, 1, 1, false},
        {"within switch distance and clear", {95, 0, 0}, true, false, false, false, 1, 2, false},
        {"within switch distance, blocked", {95, 0, 0}, false, false, false, false, 1, 1, false},
        {"beyond the point along the route", {120, 0, 30}, false, false, false, false, 1, 2, false},
        {"obstacle on the point", {0, 0, 0}, false, false, false, true, 1, 2, false},
        {"point impassable", {0, 0, 0}, false, false, true, false, 1, 2, false},
        {"next point in sight", {0, 0, 0}, false, true, false, false, 1, 2, true},
        {"last point stays", {0, 0, 0}, true, true, true, true, 3, 3, false},
    };
    static const Case* current = nullptr;
    UnitTask_Hooks().isPathClear = [](int32_t, const Vector&, const Vector& to) {
        return to.x == 100.0f ? current->clearToPoint : current->clearToNext;
    };
    UnitTask_Hooks().isImpassableAt = [](const Vector& at) { return at.x == 100.0f && current->impassablePoint; };
    GameObject* rock = NewCraft(*cls_, 0, Vector{100, 0, 2});
    rock->radius = 5.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        current = &c;
        ProbeTask task(unit_, nullptr);
        auto* plan = new AiPath(nullptr, 0);
        plan->points = {{-100, 0}, {100, 0}, {200, 0}, {300, 0}};
        task.plan = plan;
        task.planPoint = c.planPoint;
        task.obstacle = c.obstacleOnPoint ? rock : nullptr;
        Place(unit_, c.unit);
        task.AdvancePlanPoint();
        EXPECT_EQ(task.planPoint, c.wantPoint);
        EXPECT_GT(task.lookPoint, task.planPoint);
        EXPECT_EQ(plan->points[1].x == c.unit.x && plan->points[1].z == c.unit.z, c.movedToUnit);
    }
}

TEST_F(TaskTest, DriveToPlanLimitsSpeedByTheSteerAndBoostsOnlyUphillAtFullThrottle) {
    struct Case {
        const char* what;
        Vector2D point;   // the plan's single next point (the unit faces +z at the origin)
        float normalY;
        float wantSteerAbs, wantLimit;
        int32_t boost;
    } cases[] = {
        {"straight ahead, flat", {0, 500}, 1.0f, 0.0f, 1.0f, 0},
        {"straight ahead, slope", {0, 500}, 0.7f, 0.0f, 1.0f, 1},
        {"hard turn", {500, 1}, 1.0f, 1.0f, 0.25f, 0},
    };
    Avoidance_Settings().attractiveCoefficient = 100.0f;  // the pull saturates the throttle
    Place(unit_, Vector{0, 0, 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        static float normalY;
        normalY = c.normalY;
        UnitTask_Hooks().floorNormal = [](const Vector&) {
            return Vector{0.0f, normalY, std::sqrt(1.0f - normalY * normalY)};
        };
        ProbeTask task(unit_, nullptr);
        auto* plan = new AiPath(nullptr, 0);
        plan->points = {{0, 0}, c.point, {c.point.x, c.point.z + 500}};
        task.plan = plan;
        task.planPoint = 1;
        task.gotoPoint = Vector{c.point.x, 0, c.point.z + 500};
        task.DriveToPlan();
        EXPECT_NEAR(std::fabs(unit_->controls.steering), c.wantSteerAbs, 1e-4);
        EXPECT_LE(std::fabs(unit_->controls.throttle), c.wantLimit + 1e-6);
        EXPECT_EQ(unit_->controls.boost, c.boost);
    }
    // The middle limit: |steer| above 0.7 but below 1.
    unit_->controls.steering = 0.8f;
    ProbeTask task(unit_, nullptr);
    task.DriveToward(Vector{0, 0, 1000});
    EXPECT_FLOAT_EQ(unit_->controls.throttle, 0.5f);
}

TEST_F(TaskTest, PairRelationAndFormationAngles) {
    struct Case {
        const char* what;
        Vector second;
        float secondHeading;
        bool secondHasHeading;
        uint8_t band;
        int32_t octantA, octantB;
        float angle;
    } cases[] = {
        {"ahead, facing away, touching", {0, 0, 5}, 0.0f, true, 0, 0, 4, -0.52f},
        {"band edge 10", {0, 0, 10}, 0.0f, true, 1, 0, 4, -0.52f},
        {"band edge 25, facing back", {0, 0, 25}, 3.14159f, true, 2, 0, 0, 0.52f},
        {"band edge 60, right", {60, 0, 0}, 0.0f, true, 3, 2, 6, 0.52f},
        {"199 behind", {0, 0, -199}, 0.0f, true, 3, 4, 0, 0.52f},
        {"band edge 200 left", {-200, 0, 0}, 0.0f, true, 4, 6, 2, -0.52f},
        {"no heading: behind", {0, 0, 30}, 1.0f, false, 2, 0, 4, -0.52f},
        {"band 0 octant 0 column 1", {0, 0, 5}, 2.3562f, true, 0, 0, 1, -0.52f},
        {"band 4 octant 0", {0, 0, 300}, 0.0f, true, 4, 0, 4, 0.0f},
    };
    GameObject* other = NewCraft(*cls_, 1);
    Place(unit_, Vector{0, 0, 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Place(other, c.second, c.secondHeading);
        if (c.secondHasHeading) other->entity->flags &= ~2u;
        else other->entity->flags |= 2u;
        PairRelation r;
        r.Init(unit_, other);
        EXPECT_EQ(r.band, c.band);
        EXPECT_EQ(r.octantA, c.octantA);
        EXPECT_EQ(r.octantB, c.octantB);
        EXPECT_FLOAT_EQ(Formation_Angle(r.band, r.octantA, r.octantB), c.angle);
    }
    other->entity->flags &= ~2u;
    // Side on: close and to one side.
    Place(other, Vector{30, 0, 0});
    EXPECT_TRUE(Relation_SideOn(unit_, other));
    Place(other, Vector{60, 0, 0});
    EXPECT_FALSE(Relation_SideOn(unit_, other));
    Place(other, Vector{0, 0, 30});
    EXPECT_FALSE(Relation_SideOn(unit_, other));
    // The octant formula at its boundaries: 22.5 degrees either side of ahead.
    EXPECT_EQ(Relation_Octant(0.39f, 0.0f), 0);
    EXPECT_EQ(Relation_Octant(0.40f, 0.0f), 1);
    EXPECT_EQ(Relation_Octant(-0.39f, 0.0f), 0);
    EXPECT_EQ(Relation_Octant(-0.40f, 0.0f), 7);
    // The formation step steers around the target and pushes the throttle to full.
    ProbeTask task(unit_, other);
    Place(other, Vector{0, 0, 5});
    task.FormationStep();
    EXPECT_EQ(task.avoidIgnore, other);
    EXPECT_FLOAT_EQ(unit_->controls.throttle, 1.0f);
}

TEST_F(TaskTest, AttackSteeringKeepsItsDistanceAndStepsOutOfTheLineOfFire) {
    GameObject* target = NewCraft(*cls_, 1);
    target->radius = 3.0f;
    unit_->radius = 5.0f;
    // The target at the origin faces +z; the unit stands on its line of fire 100 m ahead.
    Place(target, Vector{0, 0, 0});
    Place(unit_, Vector{0, 0, 100}, 3.14159265f);
    ProbeTask task(unit_, target);
    task.skill = 3.0f;
    task.AttackManeuver();
    // 40 m from the target, sidestepped 40 m along its right axis (+x: the unit is on the line).
    EXPECT_NEAR(task.desired.x, 40.0f, 1e-3);
    EXPECT_NEAR(task.desired.z, -60.0f, 1e-3);
    task.skill = 2.0f;  // below 3: no sidestep
    task.AttackManeuver();
    EXPECT_NEAR(task.desired.x, 0.0f, 1e-3);

    // Range attack: at the standoff (radii + blast distance) the unit holds still.
    task.skill = 4.0f;
    task.blastDist = 92.0f;
    task.minRangeSq = 0.0f;
    task.reachSq = 1e6f;
    Place(unit_, Vector{100, 0, 0});
    task.RangeAttack();
    EXPECT_FLOAT_EQ(unit_->controls.throttle, 0.0f);
    EXPECT_FLOAT_EQ(unit_->controls.strafe, 0.0f);
    Place(unit_, Vector{300, 0, 0});  // too far: closes in
    task.RangeAttack();
    EXPECT_NEAR(task.desired.x, -200.0f, 1e-3);

    // Follow: a unit that stopped within the last 10 s with quiet controls stays put.
    task.lastStopped = Clock_GetTime() - 1.0f;
    unit_->controls = CraftControls{};
    unit_->controls.throttle = 0.05f;
    task.FollowStep();
    EXPECT_FLOAT_EQ(unit_->controls.throttle, 0.0f);
    EXPECT_GE(task.nextStuck, Clock_GetTime() + 5.0f - 1e-3f);
}

// The aim frame is the gun's place in the world (its mount's world placement carrying the gun's
// own tilt), not the gun's placement relative to its mount; and the pitch input, which tilts the
// gun, settles on the target's height instead of swinging from stop to stop.
TEST_F(TaskTest, TheGunAimsFromItsPlaceInTheWorldAndItsPitchSettlesOnTheTarget) {
    OrdnanceClass shell("shell", Signature("SHEL"));
    shell.ordFloatParam = 120.0f;  // 120 m/s for 2 s: a reach of about 240 m
    shell.lifetime = 2.0f;
    WeaponClass gunClass("gun", Signature("CANN"));
    gunClass.ordnanceClass = &shell;
    // The unit faces +x; the target stands 60 m ahead of it and 12 m higher.
    Place(unit_, Vector{100, 0, 100}, 1.5707963f);
    Weapon* gun = Mount(unit_, 0, gunClass);
    unit_->hardpoints->Select(1u);
    GameObject* target = NewCraft(*cls_, 1);
    Place(target, Vector{160, 12, 100});
    ProbeTask task(unit_, target);
    ASSERT_EQ(task.weapon, gun);
    ASSERT_TRUE(task.LineOfFireClear());
    EXPECT_NEAR(task.targetDistSq, 60.0f * 60.0f + 12.0f * 12.0f, 1.0f);
    EXPECT_NEAR(task.targetLocal.x, 0.0f, 1e-4f);
    EXPECT_GT(task.targetLocal.y, 0.15f);
    EXPECT_GT(task.targetLocal.z, 0.95f);

    // The craft tilts its gun by half the pitch input (up for a positive input), as a hover craft
    // does each frame.
    for (int i = 0; i < 40; ++i) {
        Plat_AdvanceVirtualClock(33);
        Clock_Tick();
    }
    int stops = 0;
    for (int frame = 0; frame < 90; ++frame) {
        Plat_AdvanceVirtualClock(33);
        Clock_Tick();
        task.LineOfFireClear();
        task.TurnToward(task.aimDir, Vector{});
        if (std::fabs(task.pitch) >= 1.0f) ++stops;
        const DVector at = gun->entity->local.posit;
        gun->entity->local = Matrix_FromTwoAngles(-0.5f * task.pitch, 0.0f);
        gun->entity->local.posit = at;
    }
    task.LineOfFireClear();
    EXPECT_EQ(stops, 0);
    EXPECT_NEAR(task.targetLocal.y, 0.0f, 0.01f);
    EXPECT_NEAR(unit_->controls.pitch, task.pitch, 1e-6f);
    EXPECT_GT(task.pitch, 0.0f);
}

TEST_F(TaskTest, TheChargeGunChargesOnOnlyWhileALaterLevelIsWorthMore) {
    WeaponClass charge("chargegun", Signature("CHRG"));
    Weapon* mounted = Mount(unit_, 0, charge);
    GameObject* target = NewCraft(*cls_, 1);
    target->radius = 5.0f;
    unit_->curAmmo = 100;
    unit_->ammoRatio = 1.0f;
    static int maskFires;
    UnitAi_Services().weaponMaskFire = [](GameObject*, uint32_t) { ++maskFires; };
    OrdnanceClass small("bolt", Signature("BOLT")), big("bolt", Signature("BOLT"));
    small.damage[0] = 10;
    small.ordIntParam = 1;
    big.ordIntParam = 1;
    static ChargeGunState state;
    UnitTask_Hooks().chargeGun = [](Weapon*, ChargeGunState* out) {
        *out = state;
        return true;
    };
    struct Case {
        const char* what;
        int32_t current;
        int32_t bigDamage;
        int32_t shotsLeft;
        bool fire;
        bool triggerDown;
        int maskFires;
    } cases[] = {
        // Level 1 charged 0.5 s: 10 / 0.5 = 20 a second; level 2 (2 s): damage / 2.
        {"a later level is worth more", 1, 100, 0, true, true, 0},
        {"no later level is worth more", 1, 20, 0, true, false, 0},
        {"the last level fires", 2, 100, 0, true, false, 0},
        {"level 0 starts the charge", 0, 100, 0, true, false, 1},
        {"a salvo under way", 1, 100, 2, true, false, 0},
        {"not allowed to fire: charging goes on", 1, 20, 0, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        big.damage[0] = c.bigDamage;
        state = ChargeGunState{};
        state.levels = {ChargeLevel{}, ChargeLevel{&small, 1, 0.0f, 1.0f}, ChargeLevel{&big, 1, 0.0f, 2.0f}};
        state.current = c.current;
        state.chargeClock = 0.5f;
        state.shotsLeft = c.shotsLeft;
        mounted->changed = 0;  // set by a pull
        ProbeTask task(unit_, target);
        task.weapon = mounted;
        task.targetDistSq = 400.0f;
        task.targetLocal = Vector{0, 0, 1};
        maskFires = 0;
        task.FireAtTarget(c.fire);
        EXPECT_EQ(mounted->changed != 0, c.triggerDown);
        EXPECT_EQ(maskFires, c.maskFires);
    }
    // Out of the aim cone the gun keeps charging.
    mounted->changed = 0;
    ProbeTask task(unit_, target);
    task.weapon = mounted;
    task.targetDistSq = 400.0f;
    task.targetLocal = Vector{0, 0, -1};
    task.FireAtTarget(true);
    EXPECT_NE(mounted->changed, 0);
}

TEST_F(TaskTest, CountermeasuresAnswerTheirThreats) {
    OrdnanceClass flare("flare", Signature("FLAR"));
    WeaponClass iref("iref", Signature("IREF")), rdmp("rdmp", Signature("RDMP"));
    iref.ordnanceClass = &flare;
    rdmp.ordnanceClass = &flare;
    WeaponClass imgl("imgl", Signature("IMGL")), rdrl("rdrl", Signature("RDRL")), cann("cann", Signature("CANN"));
    struct Case {
        const char* what;
        WeaponClass* counter;
        WeaponClass* targetWeapon;  // null: none
        uint32_t targetFlags;
        const char* targetSignature;
        bool pulled;
    } cases[] = {
        {"flare against a heat seeker", &iref, &imgl, 0, "CRFT", true},
        {"flare against a flagged target", &iref, nullptr, 0x10, "CRFT", true},
        {"flare against a cannon", &iref, &cann, 0, "CRFT", false},
        {"chaff against a radar launcher", &rdmp, &rdrl, 0, "CRFT", true},
        {"chaff against a torpedo", &rdmp, nullptr, 0, "TORP", true},
        {"chaff against a heat seeker", &rdmp, &imgl, 0, "CRFT", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CraftClass& targetClass = NewCraftClass();
        targetClass.signature = Signature(c.targetSignature);
        Craft* target = NewCraft(targetClass, 1);
        if (c.targetWeapon) Mount(target, 1, *c.targetWeapon);
        target->entity->flags |= c.targetFlags;
        Craft* unit = NewCraft(*cls_, 2);
        Weapon* counter = Mount(unit, 2, *c.counter);
        ProbeTask task(unit, target);
        EXPECT_EQ(task.counterWeapon, counter);
        EXPECT_EQ(task.counterIndex, 2);
        counter->changed = 0;
        task.CounterTarget();
        EXPECT_EQ(counter->changed != 0, c.pulled);
    }
    // When hit: a flare answers a recent enemy hit by a heat-seeking shell.
    Craft* unit = NewCraft(*cls_, 2);
    Weapon* counter = Mount(unit, 0, iref);
    ProbeTask task(unit, nullptr);
    unit->enemyShot = Clock_GetTime() - 2.0f;
    unit->lastHitTime = Clock_GetTime() - 1.0f;
    unit->lastHitOrdnanceSignature = Signature("IMGM");
    counter->changed = 0;
    task.CounterHit();
    EXPECT_NE(counter->changed, 0);
    unit->enemyShot = Clock_GetTime() - 11.0f;  // too long ago
    counter->changed = 0;
    task.CounterHit();
    EXPECT_EQ(counter->changed, 0);
}

TEST_F(TaskTest, SteerAvoidStaysFiniteOnTopOfTheOther) {
    GameObject* other = NewCraft(*cls_, 1);
    Place(unit_, Vector{10, 0, 10});
    Place(other, Vector{10, 0, 10});
    ProbeTask task(unit_, nullptr);
    task.SteerAvoid(Vector{50, 0, 10}, other);
    EXPECT_TRUE(std::isfinite(task.desired.x) && std::isfinite(task.desired.z));
    Place(other, Vector{20, 0, 10});  // 10 m ahead: pushed back
    task.SteerAvoid(Vector{50, 0, 10}, other);
    EXPECT_LT(task.desired.x, 0.0f);
}

TEST_F(TaskTest, WeaponValuesStayFiniteForShotsThatReachNowhere) {
    WeaponClass wc("cannon", Signature("CANN"));
    Mount(unit_, 0, wc);
    struct Case {
        float reach, lifetime;
    } cases[] = {{0.0f, 0.0f}, {-1.0f, 0.0f}, {100.0f, 2.0f}};
    for (const Case& c : cases) {
        static Case current;
        current = c;
        UnitTask_Hooks().bestWeaponRange = [](GameObject*, BestWeaponRange* out) {
            out->reach = current.reach;
            out->lifetime = current.lifetime;
            out->blastRadius = 4.0f;
            return true;
        };
        ProbeTask task(unit_, nullptr);
        EXPECT_TRUE(std::isfinite(task.shotSpeed));
        EXPECT_TRUE(std::isfinite(task.shotTimePerMeter));
        EXPECT_FLOAT_EQ(task.minRangeSq, 16.0f);
        EXPECT_FLOAT_EQ(task.reachSq, c.reach * c.reach);
    }
    // Without weapons: reach 10, life 0.5.
    UnitTask_Hooks().bestWeaponRange = [](GameObject*, BestWeaponRange*) { return false; };
    GameObject* bare = NewCraft(*cls_, 2);
    ProbeTask task(bare, nullptr);
    EXPECT_FLOAT_EQ(task.reachSq, 100.0f);
    EXPECT_FLOAT_EQ(task.shotSpeed, 20.0f);
    EXPECT_EQ(task.weapon, nullptr);
    EXPECT_EQ(task.counterIndex, -1);
}

TEST_F(TaskTest, TheTaskListRoundTripsAndOldSavesStartTheStuckClockOnLoad) {
    GameObject* target = NewCraft(*cls_, 1);
    Field_SetHandleFinder(GameObject_HandleForSerial);
    for (const bool binary : {false, true}) {
        for (const int32_t version : {kSaveVersionCurrent, 1038}) {
            SCOPED_TRACE(testing::Message() << (binary ? "binary " : "text ") << version);
            AiTasks_Clear();
            AiPaths_Reset();
            auto* sit = new SitTask(unit_);
            sit->himHandle = target->GetObjHandle();
            sit->nextStuck = 12.5f;
            sit->followDx = -3.0f;
            sit->gotoPoint = Vector{7, 8, 9};
            sit->plan = new AiPath(nullptr, 0);
            sit->plan->points = {{1, 2}, {3, 4}};
            auto* hidden = new CoastTask(unit_);
            hidden->doNotSave = true;
            new CircleTask(unit_);
            Field_ResetSaveIds();
            bool ok = false;
            std::string bytes = CaptureFields(binary, [&](FILE* f) { return AiPaths_Save(f) && AiTasks_Save(f); }, &ok);
            const uint32_t unitId = Field_SaveId(unit_);
            Field_ResetSaveIds();
            ASSERT_TRUE(ok);
            if (version <= 1038) {
                if (binary) continue;
                for (size_t at = bytes.find("nextStuck"); at != std::string::npos; at = bytes.find("nextStuck"))
                    bytes.erase(at, bytes.find("\r\n", bytes.find("\r\n", at) + 2) + 2 - at);
            }
            AiTasks_Clear();
            AiPaths_DeleteAll();
            Clock_SetTime(77.0f);
            {
                FieldReadScope scope(bytes, binary, version);
                Field_RegisterPointer(unitId, unit_);
                ASSERT_TRUE(AiPaths_Load());
                ASSERT_TRUE(AiTasks_Load());
                EXPECT_EQ(scope.Offset(), scope.Size());
                Field_ResolvePointers();
            }
            ASSERT_TRUE(AiTasks_PostLoad());
            ASSERT_EQ(AiTasks().size(), 2u);
            auto* loaded = dynamic_cast<SitTask*>(AiTasks()[0]);
            ASSERT_NE(loaded, nullptr);
            EXPECT_NE(dynamic_cast<CircleTask*>(AiTasks()[1]), nullptr);
            EXPECT_EQ(loaded->me, unit_);
            EXPECT_EQ(loaded->curState, kTaskWait);
            EXPECT_EQ(loaded->himHandle, target->GetObjHandle());
            EXPECT_FLOAT_EQ(loaded->followDx, -3.0f);
            EXPECT_FLOAT_EQ(loaded->gotoPoint.z, 9.0f);
            ASSERT_NE(loaded->plan, nullptr);
            EXPECT_FLOAT_EQ(loaded->plan->points[1].x, 3.0f);
            EXPECT_FLOAT_EQ(loaded->nextStuck, version > 1038 ? 12.5f : Clock_GetTime());
        }
    }
    Field_SetHandleFinder(nullptr);
}

TEST_F(TaskTest, ALoadedProcessKeepsOnlyAListedTaskNoEarlierProcessHolds) {
    AiMission* mission = AiMission_CreateByName("empty");
    auto* first = new TestUnit(mission, unit_);
    auto* second = new TestUnit(mission, unit_);
    auto* shared = new SitTask(unit_);
    auto* path = new AiPath("not a task", 1);
    first->task = shared;
    second->task = shared;
    ASSERT_TRUE(first->PostLoad());
    ASSERT_TRUE(second->PostLoad());
    EXPECT_EQ(first->task, shared);
    EXPECT_EQ(second->task, nullptr);
    second->task = reinterpret_cast<UnitTask*>(path);
    ASSERT_TRUE(second->PostLoad());
    EXPECT_EQ(second->task, nullptr);
}

TEST_F(TaskTest, DeletingATaskTouchesOnlyListedTasks) {
    // A process torn down after a failed load still holds a saved id as its task.
    UnitAi_Services().taskDelete(reinterpret_cast<UnitTask*>(uintptr_t{0x29000000}));
    UnitTask* task = UnitAi_Services().sitTask(unit_);
    ASSERT_EQ(AiTasks().size(), 1u);
    UnitAi_Services().taskDelete(task);
    EXPECT_TRUE(AiTasks().empty());
    UnitAi_Services().taskDelete(task);  // a second holder lets go of it: nothing happens
    EXPECT_TRUE(AiTasks().empty());
}

TEST_F(TaskTest, BadTaskSectionsFail) {
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"no label", CrLfLines({"count [1] =", "0"})},
        {"no count", CrLfLines({"[AiTasks]"})},
        {"negative count", CrLfLines({"[AiTasks]", "count [1] =", "-1"})},
        {"count beyond the records", CrLfLines({"[AiTasks]", "count [1] =", "1"})},
        {"not a task", CrLfLines({"[AiTasks]", "count [1] =", "1", "name = EmptyMission", "sObject = 00000001"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FieldReadScope scope(c.bytes, false);
        EXPECT_FALSE(AiTasks_Load());
        EXPECT_TRUE(AiTasks().empty());
        Field_DiscardFixups();
    }
}

TEST_F(TaskTest, FireAtTargetGates) {
    WeaponClass gun("cannon", Signature("CANN"));
    Weapon* mounted = Mount(unit_, 0, gun);
    GameObject* target = NewCraft(*cls_, 1);
    target->radius = 2.0f;
    static int pulls;
    pulls = 0;
    UnitAi_Services().weaponMaskFire = [](GameObject*, uint32_t) { ++pulls; };
    static bool threatens;
    UnitTask_Hooks().threatensObject = [](UnitTask*, GameObject*, float) { return threatens; };
    struct Case {
        const char* what;
        const char* signature;
        float distSq, minRangeSq;
        Vector local;
        int32_t targetType;
        bool threat;
        int wantPulls;
        float coneX = 0.0f, coneY = 0.0f;
    } cases[] = {
        // The target's angular half-size at 100 m is 0.02: the cone widens by fireConeX across
        // and fireConeY up.
        {"beside the cone", "CANN", 10000.0f, 400.0f, {0.1f, 0, 0.99f}, 3, false, 0},
        {"widened across", "CANN", 10000.0f, 400.0f, {0.1f, 0, 0.99f}, 3, false, 1, 0.1f, 0.0f},
        {"above the cone", "CANN", 10000.0f, 400.0f, {0, 0.05f, 0.99f}, 3, false, 0},
        {"widened up", "CANN", 10000.0f, 400.0f, {0, 0.05f, 0.99f}, 3, false, 1, 0.0f, 0.05f},
        {"pop-up mortar at once", "POPR", 1000.0f, 400.0f, {0, 0, 1}, 2, false, 1},
        {"inside the blast range", "CANN", 100.0f, 400.0f, {0, 0, 1}, 1, true, 0},
        {"aimed at a moving craft", "CANN", 1000.0f, 400.0f, {0, 0, 1}, 3, false, 1},
        {"behind", "CANN", 1000.0f, 400.0f, {0, 0, -1}, 3, false, 0},
        {"off the cone", "CANN", 10000.0f, 400.0f, {0.5f, 0, 0.8f}, 3, false, 0},
        {"static target, no threat", "CANN", 1000.0f, 400.0f, {0, 0, 1}, 2, false, 0},
        {"static target, threatened", "CANN", 1000.0f, 400.0f, {0, 0, 1}, 2, true, 1},
        {"mortar at once", "MORT", 1000.0f, 400.0f, {0, 0, 1}, 2, false, 1},
        {"remote detonator at once", "RDET", 1000.0f, 400.0f, {0, 0, 1}, 2, false, 1},
        {"countermeasure never", "IREF", 1000.0f, 400.0f, {0, 0, 1}, 3, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gun.signature = Signature(c.signature);
        threatens = c.threat;
        target->entity->type = c.targetType;
        ProbeTask task(unit_, target);
        task.weapon = mounted;
        task.targetDistSq = c.distSq;
        task.minRangeSq = c.minRangeSq;
        task.targetLocal = c.local;
        task.fireConeX = c.coneX;
        task.fireConeY = c.coneY;
        pulls = 0;
        task.FireAtTarget(true);
        EXPECT_EQ(pulls, c.wantPulls);
    }
    // Launchers wait for their lock.
    static bool lockPending;
    UnitTask_Hooks().lockPending = [](Weapon*) { return lockPending; };
    gun.signature = Signature("LNCH");
    for (const bool pending : {true, false}) {
        lockPending = pending;
        ProbeTask task(unit_, target);
        task.weapon = mounted;
        task.targetDistSq = 1000.0f;
        task.targetLocal = Vector{0, 0, 1};
        pulls = 0;
        task.FireAtTarget(true);
        EXPECT_EQ(pulls, pending ? 0 : 1);
    }
    // A remote charge in flight goes off once past the moving target, never next to the unit.
    static Vector chargeAt;
    UnitTask_Hooks().remoteCharge = [](Weapon*, Vector* position, Vector* velocity, float* blast) {
        *position = chargeAt;
        *velocity = Vector{0, 0, 10};
        *blast = 10.0f;
        return true;
    };
    gun.signature = Signature("RDET");
    Place(unit_, Vector{0, 0, 0});
    Place(target, Vector{0, 0, 100});
    target->SetVelocity(Vector{0, 0, 5});
    struct Charge {
        Vector at;
        bool detonated;
    } charges[] = {{{0, 0, 90}, false}, {{0, 0, 105}, true}, {{0, 0, 5}, false}};
    for (const Charge& c : charges) {
        chargeAt = c.at;
        if (c.at.z == 5) target->SetVelocity(Vector{0, 0, -5});  // the charge is "past" it, but at the unit
        ProbeTask task(unit_, target);
        task.weapon = mounted;
        task.targetDistSq = 10000.0f;
        task.targetLocal = Vector{0, 0, 1};
        mounted->changed = 0;
        pulls = 0;
        task.FireAtTarget(true);
        EXPECT_EQ(mounted->changed != 0, c.detonated) << c.at.z;
        EXPECT_EQ(pulls, 0);
    }
    // Inside the blast range accuracy decays by 0.1 x dt.
    ASSERT_GT(Clock_GetFrameTime(), 0.0f);
    gun.signature = Signature("CANN");
    ProbeTask task(unit_, target);
    task.weapon = mounted;
    task.targetDistSq = 100.0f;
    task.minRangeSq = 400.0f;
    const float before = task.accuracy;
    task.FireAtTarget(true);
    EXPECT_NEAR(task.accuracy, before - 0.1f * Clock_GetFrameTime(), 1e-6);
    // ... and faster while that target hit the unit less than a second ago.
    OrdnanceClass shell("shell", Signature("SHEL"));
    shell.damage[0] = 30;
    shell.damage[2] = 20;
    unit_->lastAttacker = target->GetObjHandle();
    unit_->lastHitTime = Clock_GetTime() - 0.5f;
    unit_->lastHitOrdnance = &shell;
    const float again = task.accuracy;
    task.FireAtTarget(true);
    EXPECT_NEAR(task.accuracy, again - (0.1f + 0.01f * 50.0f) * Clock_GetFrameTime(), 1e-6);
    unit_->lastHitOrdnance = nullptr;
}

}  // namespace

namespace {

// With the real hooks on a small field crossed by a wall of cliffs (cells 19-20, from z = 0 up
// to 240 m), a unit's route goes round the wall's end and the ground questions see the wall.
TEST_F(TaskTest, TheUnitsRouteGoesRoundAWallOnTheGrid) {
    UnitTask_ResetHooks();
    HandField::Install(48, 48);
    HandField::Raise(20, 0, 20, 23, 1500);
    PathPlanner_Init();
    Place(unit_, Vector{55, 0, 55});
    const Vector goal{355, 0, 55};

    ProbeTask task(unit_, nullptr);
    task.gotoPoint = goal;
    task.StartPlan();
    ASSERT_NE(task.plan, nullptr);
    EXPECT_EQ(task.plan->pathType, 0);
    EXPECT_FALSE(task.plan->HasLabel());
    ASSERT_GE(task.plan->PointCount(), 3);
    EXPECT_FLOAT_EQ(task.plan->points.front().x, 55.0f);
    EXPECT_FLOAT_EQ(task.gotoPoint.x, 355.0f);
    float northmost = 0.0f;
    for (const Vector2D& p : task.plan->points) northmost = std::max(northmost, p.z);
    EXPECT_GT(northmost, 240.0f);
    // The planned length is that of the way round: at least the two legs through the wall's end.
    GameObject* marker = NewCraft(*cls_, 2, goal);
    Place(marker, goal);
    const float length = UnitAi_Services().plannedPathLength(unit_, marker);
    EXPECT_GT(length, std::hypot(145.0f, 185.0f) + std::hypot(155.0f, 185.0f));
    EXPECT_NEAR(length, task.plan->Length(), 1.0f);

    UnitTaskHooks& h = UnitTask_Hooks();
    EXPECT_TRUE(h.isImpassableAt(Vector{200, 0, 100}));
    EXPECT_FALSE(h.isImpassableAt(Vector{100, 0, 100}));
    EXPECT_FALSE(h.isPathClear(2, Vector{55, 0, 55}, goal));                 // through the wall
    EXPECT_TRUE(h.isPathClear(2, Vector{55, 0, 300}, Vector{355, 0, 300}));  // past its end
    // From inside the wall: 10 m or less east to open ground, none within 5 m north.
    Place(unit_, Vector{201, 0, 100});
    EXPECT_LE(h.groundClear(unit_, Vector{1, 0, 0}, 50.0f), 10.0f);
    EXPECT_GT(h.groundClear(unit_, Vector{1, 0, 0}, 50.0f), 0.0f);
    EXPECT_FLOAT_EQ(h.groundClear(unit_, Vector{0, 0, 1}, 5.0f), 5.0f);

    // A wall from edge to edge: the straight two points of kind 3.
    AiPath_DeleteUnnamed(task.plan);
    task.plan = nullptr;
    PathPlanner_ResetForTests();
    HandField::Install(48, 16);
    HandField::Raise(20, 0, 20, 16, 1500);
    PathPlanner_Init();
    Place(unit_, Vector{55, 0, 55});
    task.gotoPoint = goal;
    task.StartPlan();
    ASSERT_NE(task.plan, nullptr);
    EXPECT_EQ(task.plan->pathType, kPathTypeStraight);
    ASSERT_EQ(task.plan->PointCount(), 2);
    EXPECT_FLOAT_EQ(task.plan->points[1].x, 355.0f);
    PathPlanner_ResetForTests();
}

}  // namespace
