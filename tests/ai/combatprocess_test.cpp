#include <gtest/gtest.h>

#include "fun3d/walker.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "ai/aipath.h"
#include "ai/attacktask.h"
#include "ai/combatprocess.h"
#include "fun3d/hardpoints.h"
#include "goto_fixture.h"
#include "support/data_root_fixture.h"
#include "terrain_writer.h"
#include "weapons/ordnance.h"
#include "weapons/weapon.h"

namespace {

class ScriptedRocket : public RocketTankAttack {
public:
    using RocketTankAttack::RocketTankAttack;
    bool LineOfFireClear() override { return clear; }
    bool clear = false;
};

class CombatTest : public GotoFixture {
protected:
    void SetUp() override {
        GotoFixture::SetUp();
        Ai_InstallCombatProcesses();
        gun_ = new WeaponClass("gun", Signature("CANN"));
        weaponClasses_.push_back(gun_);
        Place(unit_, Vector{100, 0, 100});
        Mount(unit_, 0, *gun_);
        enemy_ = NewCraft(*cls_, 2, Vector{100, 0, 160});
        Place(enemy_, Vector{100, 0, 160});
    }
    // The process registered under the name, on the unit.
    static CraftProcess* Make(const char* name, GameObject* unit) {
        const FactoryReg* reg = Factory_Find(name);
        if (!reg || !reg->create) return nullptr;
        auto* process = dynamic_cast<CraftProcess*>(reg->create());
        if (process) process->Attach(nullptr, unit);
        return process;
    }
    // The enemy takes a slot of its team (the hunt looks through the teams' slots) and team 1
    // sees it.
    void Slotted(Craft* enemy) {
        CraftClass& slotted = NewCraftClass();
        slotted.teamSlotFirst = 1;
        slotted.teamSlotLast = 89;
        enemy->objClass = &slotted;
        enemy->LeaveTeam();
        enemy->SetTeam(2);
        ASSERT_GE(enemy->teamSlot, 0);
        enemy->MarkSeenBy(1);
    }
    WeaponClass* gun_ = nullptr;
    Craft* enemy_ = nullptr;
};

TEST_F(CombatTest, EachRegisteredNameGivesItsBrainAndItsAttacks) {
    enum Attack { kGroup, kBlast, kRocket, kGech };
    struct Case {
        const char* name;
        bool wingman;
        WingmanKind kind;
        Attack ordered;    // the ATTACK order's task
        Attack interrupt;  // the enemy attack's task out of WAIT
    } cases[] = {
        {"TankFriend", true, WingmanKind::kTank, kGroup, kGroup},
        {"TankEnemy", true, WingmanKind::kTank, kGroup, kGroup},
        {"ScoutFriend", true, WingmanKind::kScout, kGroup, kGroup},
        {"ScoutEnemy", true, WingmanKind::kScout, kGroup, kGroup},
        {"BomberFriend", true, WingmanKind::kBomber, kGroup, kGroup},
        {"BomberEnemy", true, WingmanKind::kBomber, kGroup, kGroup},
        {"RocketTankFriend", true, WingmanKind::kRocketTank, kRocket, kRocket},
        {"RocketTankEnemy", true, WingmanKind::kRocketTank, kRocket, kRocket},
        {"GechFriend", false, WingmanKind::kTank, kGech, kGech},
        {"GechEnemy", false, WingmanKind::kTank, kGech, kGech},
    };
    auto kindOf = [](UnitTask* task) {
        if (dynamic_cast<GechAttack*>(task)) return kGech;
        if (dynamic_cast<RocketTankAttack*>(task)) return kRocket;
        if (dynamic_cast<WingmanBlastAttack*>(task)) return kBlast;
        EXPECT_NE(dynamic_cast<AttackTask*>(task), nullptr);
        return kGroup;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CraftProcess> process(Make(c.name, unit_));
        ASSERT_NE(process, nullptr);
        ASSERT_NE(process->GetFactory(), nullptr);
        EXPECT_STREQ(process->GetFactory()->name, c.name);
        auto* wingman = dynamic_cast<WingmanProcess*>(process.get());
        EXPECT_EQ(wingman != nullptr, c.wingman);
        if (wingman) {
            EXPECT_EQ(wingman->kind, c.kind);
        }
        process->whoHandle = enemy_->GetObjHandle();
        process->StateEnter(kUStateAttack);
        ASSERT_NE(process->task, nullptr);
        EXPECT_EQ(kindOf(process->task), c.ordered);
        process->StateExit(kUStateAttack);
        EXPECT_EQ(process->task, nullptr);

        process->saveState = kUStateWait;
        process->StateEnter(kUStateUser1);
        EXPECT_EQ(kindOf(process->task), c.interrupt);
        process->StateExit(kUStateUser1);
        // Attacked while following: a wingman blasts, never gathers a group.
        process->saveState = kUStateFollow;
        process->StateEnter(kUStateUser1);
        EXPECT_EQ(kindOf(process->task), c.wingman ? kBlast : kGech);
        process->StateExit(kUStateUser1);
        EXPECT_TRUE(AiTasks().empty());
        process->saveState = kUStateNone;
    }
}

TEST_F(CombatTest, AFinishedEnemyAttackReturnsTheProcessToWait) {
    std::unique_ptr<CraftProcess> process(Make("TankEnemy", unit_));
    process->whoHandle = enemy_->GetObjHandle();
    process->saveState = kUStateFollow;
    process->StateEnter(kUStateUser1);
    process->nextState = -1;
    process->StateExecute(kUStateUser1);
    EXPECT_EQ(process->nextState, -1);
    Kill(enemy_);
    for (int i = 0; i < 4 && process->nextState == -1; ++i) process->StateExecute(kUStateUser1);
    EXPECT_EQ(process->nextState, kUStateWait);
    process->StateExit(kUStateUser1);
}

TEST_F(CombatTest, AHuntOrderIsAcceptedByAWingmanOnly) {
    std::unique_ptr<CraftProcess> process(Make("TankFriend", unit_));
    EXPECT_FALSE(process->ProcessCommand(kCmdCodeNone));
    EXPECT_TRUE(process->ProcessCommand(kCmdCodeHunt));
    EXPECT_EQ(process->nextState, kUStateUser2);
    std::unique_ptr<CraftProcess> walker(Make("GechFriend", unit_));
    walker->nextState = kUStateWait;
    walker->ProcessCommand(kCmdCodeHunt);
    EXPECT_NE(walker->nextState, kUStateUser2);  // walkers do not hunt
}

TEST_F(CombatTest, KeepingTheTargetWhileAttackingOrWaiting) {
    std::unique_ptr<CraftProcess> process(Make("TankFriend", unit_));
    process->engageRange = 100.0f * 100.0f;
    struct Case {
        const char* what;
        int32_t taskState;
        float enemyDistance;
        float hitSecondsAgo;
        bool keeps;
    } cases[] = {
        {"waiting, near, hit lately", kTaskWait, 60, 10, true},
        {"waiting, near, hit 16 s ago", kTaskWait, 60, 16, false},
        {"waiting, out of range", kTaskWait, 110, 1, false},
        {"fighting: the craft rule (no command target)", kTaskBlast, 60, 1, false},
    };
    AttackTask task(unit_, enemy_);
    process->task = &task;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Place(enemy_, Vector{100, 0, 100 + c.enemyDistance});
        process->enemy = enemy_;
        process->commandTarget = nullptr;
        unit_->enemyShot = Clock_GetTime() - c.hitSecondsAgo;
        task.curState = c.taskState;
        EXPECT_EQ(process->KeepTarget(kUStateAttack), c.keeps);
    }
    // Following: only with a saved state or the task in its FOLLOW state.
    Place(enemy_, Vector{100, 0, 160});
    task.curState = kTaskGoto;
    process->saveState = kUStateNone;
    EXPECT_FALSE(process->KeepTarget(kUStateFollow));
    process->task = nullptr;

    // A walker waits for enemies within its engage range only; on its way only for one in sight.
    std::unique_ptr<CraftProcess> walker(Make("GechEnemy", unit_));
    walker->engageRange = 100.0f * 100.0f;
    walker->enemy = enemy_;
    EXPECT_TRUE(walker->KeepTarget(kUStateWait));
    EXPECT_FALSE(walker->KeepTarget(kUStateAttack));
    Place(enemy_, Vector{100, 0, 210});
    EXPECT_FALSE(walker->KeepTarget(kUStateWait));
}

TEST_F(CombatTest, ARocketTankThatCannotSeeItsTargetCreepsCloserAndNeverBacksOffFast) {
    Place(enemy_, Vector{100, 0, 180});  // 80 m: within 100 m, out of sight
    ScriptedRocket task(unit_, enemy_);
    task.nextStuck = 1e9f;
    task.Update();  // START
    task.Update();  // ATTACK entered and run
    ASSERT_EQ(task.curState, kTaskAttack);
    // 5 m a second while unseen: from 75 m down to 20 m in 11 s, attacking all the while.
    EXPECT_LT(task.blastDist, 75.0f);
    float elapsed = 75.0f - task.blastDist;
    elapsed /= 5.0f;
    for (int i = 0; i < 100000 && task.blastDist > 20.0f; ++i) {
        const float before = task.blastDist;
        task.Update();
        elapsed += (before - task.blastDist) > 0.0f ? Clock_GetFrameTime() : 0.0f;
        EXPECT_GE(task.Controls().throttle, -0.3f);
        EXPECT_EQ(task.curState, kTaskAttack);
    }
    EXPECT_FLOAT_EQ(task.blastDist, 20.0f);
    EXPECT_NEAR(elapsed, 11.0f, 0.05f);
    task.Update();
    EXPECT_FLOAT_EQ(task.blastDist, 20.0f);  // never below
    // Out of sight beyond 100 m: after it.
    Place(enemy_, Vector{100, 0, 250});
    task.Update();
    EXPECT_EQ(task.nextState, kTaskGoto);
}

TEST_F(CombatTest, AWalkerWithManyMountsFiresWithAWideCone) {
    // A real walker: the mount mask the attack reads is the walker's present mask.
    WalkerClass walkers("walker", Signature("WALK"), kCategoryCraft);
    auto* walker = GameObject_New<Walker>(NewRoot(1, 0u), &walkers);
    ASSERT_NE(walker, nullptr);
    walker->SetTeam(1);
    Place(walker, Vector{100, 0, 100});
    walker->hardpoints = new HardpointList(walker);
    for (uint32_t present : {0x3u, 0x7u}) {
        SCOPED_TRACE(present);
        GechAttack task(walker, enemy_);
        walker->hardpoints->present = present;
        task.Update();
        task.Update();
        EXPECT_FLOAT_EQ(task.fireConeX, present > 3 ? 1.0f : 0.02f);
        EXPECT_FLOAT_EQ(task.fireConeY, present > 3 ? 1.0f : 0.0f);
    }
    walker->TearDown();
}

TEST_F(CombatTest, ACombatBrainSelectsTheGunsOfACraftThatHasNoneSelected) {
    struct Case {
        const char* name;
        uint32_t selectedBefore;
        uint32_t selectedAfter;
    } cases[] = {
        {"TankEnemy", 0x0u, 0x1u},
        {"GechFriend", 0x0u, 0x1u},
        {"ScoutFriend", 0x1u, 0x1u},  // a selection of its own is kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unit_->hardpoints->selected = c.selectedBefore;
        std::unique_ptr<CraftProcess> process(Make(c.name, unit_));
        EXPECT_EQ(unit_->hardpoints->selected, c.selectedAfter);
    }
}

TEST_F(CombatTest, AHuntWithoutARouteHuntsAndWithNoPointLeftClearsTheGoOrderAndWaits) {
    std::unique_ptr<CraftProcess> process(Make("TankFriend", unit_));
    ASSERT_TRUE(process->ProcessCommand(kCmdCodeHunt));
    process->UpdateFromCommand();
    EXPECT_EQ(process->where, nullptr);
    EXPECT_FALSE(process->release);
    enemy_->MarkSeenBy(1);
    process->StateEnter(kUStateUser2);
    auto* hunt = dynamic_cast<HuntTask*>(process->task);
    ASSERT_NE(hunt, nullptr);
    EXPECT_FALSE(hunt->IsDone());  // a first point was found
    EXPECT_EQ(hunt->huntCount, 1);
    // A finished leg starts the next one.
    hunt->curState = kTaskDone;
    process->nextState = -1;
    process->StateExecute(kUStateUser2);
    EXPECT_EQ(process->nextState, -1);
    EXPECT_EQ(hunt->huntCount, 2);
    EXPECT_FALSE(hunt->IsDone());
    // No point left: the GO order goes and the unit waits.
    hunt->my_craft = nullptr;
    hunt->curState = kTaskDone;
    unit_->curCmd.what = kCmdCodeGo;
    process->StateExecute(kUStateUser2);
    EXPECT_EQ(process->nextState, kUStateWait);
    EXPECT_NE(unit_->curCmd.what, kCmdCodeGo);
    process->StateExit(kUStateUser2);
    EXPECT_EQ(process->task, nullptr);
}

}  // namespace

namespace {

class ScriptedGroupAttack : public AttackTask {
public:
    using AttackTask::AttackTask;
    bool LineOfFireClear() override { return false; }
};

TEST_F(CombatTest, TheAttackTasksAnswerThreatsWithTheirCountermeasures) {
    OrdnanceClass flare("flare", Signature("FLAR"));
    WeaponClass iref("iref", Signature("IREF"));
    iref.ordnanceClass = &flare;
    WeaponClass imgl("imgl", Signature("IMGL"));
    enum Kind { kGroup, kBlast, kWalker };
    enum Hit { kNoHit, kPlayerSide, kOtherEnemy };
    struct Case {
        const char* what;
        Kind kind;
        bool entersFight;  // the grouping attack enters BLAST (else it drives on in GOTO)
        bool heatSeeker;   // the target carries a heat-seeking launcher
        Hit hit;           // a hit taken a second ago
        bool pulled;
    } cases[] = {
        {"grouping attack entering BLAST at a heat-seeker carrier", kGroup, true, true, kNoHit, true},
        {"grouping attack driving at a heat-seeker carrier", kGroup, false, true, kNoHit, false},
        {"grouping attack driving, hit from the player's side", kGroup, false, false, kPlayerSide, true},
        {"grouping attack driving, hit by another enemy", kGroup, false, false, kOtherEnemy, false},
        {"blast attack at a heat-seeker carrier", kBlast, true, true, kNoHit, true},
        {"blast attack hit from the player's side", kBlast, true, false, kPlayerSide, true},
        {"blast attack hit by another enemy", kBlast, true, false, kOtherEnemy, false},
        {"walker attack at a heat-seeker carrier", kWalker, true, true, kNoHit, false},
        {"walker attack hit from the player's side", kWalker, true, false, kPlayerSide, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Craft* unit = NewCraft(*cls_, 1, Vector{400, 0, 400});
        Place(unit, Vector{400, 0, 400});
        Mount(unit, 0, *gun_);
        Weapon* counter = Mount(unit, 2, iref);
        Craft* target = NewCraft(*cls_, 2, Vector{400, 0, 440});
        Place(target, Vector{400, 0, 440});
        if (c.heatSeeker) Mount(target, 1, imgl);
        const float now = Clock_GetTime();
        if (c.hit != kNoHit) unit->enemyShot = now - 1.0f;
        unit->playerShot = c.hit == kPlayerSide ? unit->enemyShot : now - 30.0f;
        std::unique_ptr<UnitTask> task;
        if (c.kind == kGroup) {
            task = std::make_unique<ScriptedGroupAttack>(unit, target);
            task->curState = kTaskGoto;
            task->nextState = c.entersFight ? kTaskBlast : -1;
            task->gotoPoint = Vector{400, 0, 440};
            task->nextStuck = 1e9f;
        } else if (c.kind == kBlast) {
            task = std::make_unique<WingmanBlastAttack>(unit, target);
        } else {
            task = std::make_unique<GechAttack>(unit, target);
        }
        ASSERT_EQ(task->counterWeapon, counter);
        counter->changed = 0;
        task->Update();  // the entry of the new state (if any) and one frame
        EXPECT_EQ(counter->changed != 0, c.pulled);
        task.reset();
        AttackRegistry_Reset();
    }
}

TEST_F(CombatTest, AHuntUnderAGoOrderGoesOnFromPointToPointAsItsLegsEnd) {
    std::unique_ptr<CraftProcess> process(Make("TankFriend", unit_));
    unit_->curCmd.what = kCmdCodeGo;
    Slotted(enemy_);
    ASSERT_TRUE(process->ProcessCommand(kCmdCodeHunt));
    process->UpdateFromCommand();
    process->StateEnter(kUStateUser2);
    auto* hunt = dynamic_cast<HuntTask*>(process->task);
    ASSERT_NE(hunt, nullptr);
    EXPECT_FLOAT_EQ(hunt->destPoint.z, 160.0f);  // the one seen enemy
    // The unit reaches its hunt point: the leg ends by itself and the next one starts at once.
    Place(unit_, Vector{100, 0, 160});
    process->nextState = -1;
    for (int frame = 0; frame < 20 && hunt->huntCount < 2; ++frame) process->StateExecute(kUStateUser2);
    EXPECT_EQ(hunt->huntCount, 2);
    EXPECT_FALSE(hunt->IsDone());
    EXPECT_EQ(process->nextState, -1);
    EXPECT_EQ(unit_->curCmd.what, kCmdCodeGo);  // the order stays while points are left
    process->StateExit(kUStateUser2);
}

TEST_F(CombatTest, AWingmanHuntsAlongANamedRouteWithoutTakingItOver) {
    auto* route = new AiPath("patrol", 0);
    route->points = {{100, 100}, {300, 100}, {300, 300}};
    std::unique_ptr<CraftProcess> process(Make("ScoutEnemy", unit_));
    unit_->curCmd.where = route;
    Slotted(enemy_);
    ASSERT_TRUE(process->ProcessCommand(kCmdCodeHunt));
    process->UpdateFromCommand();
    EXPECT_EQ(process->where, route);
    EXPECT_FALSE(process->release);  // the order keeps its route
    process->StateEnter(kUStateUser2);
    auto* hunt = dynamic_cast<HuntTask*>(process->task);
    ASSERT_NE(hunt, nullptr);
    // The first leg already heads for the seen enemy; the named route is left as it was.
    EXPECT_NE(hunt->path, route);
    EXPECT_TRUE(hunt->release);
    EXPECT_FLOAT_EQ(hunt->destPoint.z, 160.0f);
    EXPECT_EQ(AiPath_Find("patrol"), route);
    ASSERT_EQ(route->PointCount(), 3);
    // No point left: the process lets go of the route without deleting it, and waits.
    hunt->my_craft = nullptr;
    hunt->curState = kTaskDone;
    process->nextState = -1;
    process->StateExecute(kUStateUser2);
    EXPECT_EQ(process->nextState, kUStateWait);
    EXPECT_EQ(process->where, nullptr);
    process->StateExit(kUStateUser2);
    EXPECT_EQ(AiPath_Find("patrol"), route);
    unit_->curCmd.where = nullptr;
}

// A ridge of 40 m across flat ground at 50 m, from x = 440 m to 460 m.
uint16_t RidgeGround(int x, int) { return x >= 44 && x <= 46 ? 900 : 500; }

TEST_F(CombatTest, AWalkerOnItsWayTurnsOnlyToAnEnemyInPlainSight) {
    ScratchDataRoot data;
    data.Open();
    content::TerrainMapSpec spec;
    spec.name = "ridge";
    spec.width = 1280;
    spec.depth = 1280;
    spec.height = RidgeGround;
    data.Install(content::TerrainRecords(spec), "terrain.zfs");
    Terrain_SetBaseHeight(0);
    Terrain_SetFileName("ridge");
    ASSERT_EQ(Terrain_ReadZoneFiles(), 1);
    ASSERT_EQ(Terrain_LoadZone(nullptr), 1);
    Terrain_Init(0);

    std::unique_ptr<CraftProcess> walker(Make("GechEnemy", unit_));
    Place(unit_, Vector{300, 53, 300});
    walker->enemy = enemy_;
    struct Case {
        const char* what;
        Vector enemyAt;
        bool keeps;
    } cases[] = {
        {"across open ground", Vector{300, 53, 700}, true},
        {"behind the ridge", Vector{600, 53, 300}, false},
        {"on the ridge's near side", Vector{420, 53, 300}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Place(enemy_, c.enemyAt);
        EXPECT_EQ(walker->KeepTarget(kUStateGoto), c.keeps);
    }
    // Without an enemy it keeps nothing.
    walker->enemy = nullptr;
    EXPECT_FALSE(walker->KeepTarget(kUStateGoto));

    Terrain_FreeAll();
    Terrain_SetFileName("");
    data.Close();
}

}  // namespace
