#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "goto_fixture.h"
#include "platform/random.h"
#include "support/field_stream.h"
#include "weapons/weapon.h"

namespace {

// An attack whose line of fire the test decides.
class ScriptedAttack : public AttackTask {
public:
    using AttackTask::AttackTask;
    bool LineOfFireClear() override { return clear; }
    bool clear = false;
};

class AttackTest : public GotoFixture {
protected:
    void SetUp() override {
        GotoFixture::SetUp();
        gun_ = new WeaponClass("gun", Signature("CANN"));
        weaponClasses_.push_back(gun_);
        target_ = Armed(2, Vector{100, 0, 1000});
    }
    void TearDown() override {
        for (UnitProcess* p : processes_) p->task = nullptr;  // the tests own the tasks
        tasks_.clear();
        GotoFixture::TearDown();
    }
    Craft* Armed(int32_t team, Vector at) {
        Craft* craft = NewCraft(*cls_, team, at);
        Place(craft, at);
        Mount(craft, 0, *gun_);
        return craft;
    }
    template <class T = AttackTask>
    T* Attack(GameObject* unit, GameObject* target) {
        auto* task = new T(unit, target);
        tasks_.emplace_back(task);
        return task;
    }
    // The unit gets a process whose current task is the one given (a leader's task is found so).
    void GiveProcess(GameObject* unit, UnitTask* task) {
        auto* p = new TestCraftUnit(nullptr, unit);
        p->task = task;
        processes_.push_back(p);
    }
    static void Step(UnitTask* task, int frames = 1) {
        for (int i = 0; i < frames; ++i) task->Update();
    }
    WeaponClass* gun_ = nullptr;
    Craft* target_ = nullptr;
    std::vector<std::unique_ptr<AttackTask>> tasks_;
    std::vector<UnitProcess*> processes_;
};

TEST_F(AttackTest, TheRecordListsAttackersInJoiningOrderAndGoesWithTheLast) {
    Craft* a = Armed(1, Vector{100, 0, 100});
    Craft* b = Armed(1, Vector{200, 0, 1000});
    Craft* c = Armed(1, Vector{100, 0, 300});
    AttackTask* ta = Attack(a, target_);
    Attack(b, target_);
    AttackRecord* record = AttackRegistry_Get(target_);
    ASSERT_EQ(AttackRegistry().size(), 1u);
    EXPECT_EQ(ta->record, record);
    EXPECT_EQ(record->targetHandle, target_->GetObjHandle());
    // The bearing is the first attacker's, seen from the target: straight down -z.
    EXPECT_NEAR(std::fabs(record->baseBearing), 3.14159265f, 1e-4f);
    EXPECT_EQ(record->IndexOf(a), 0);
    EXPECT_EQ(record->IndexOf(b), 1);
    EXPECT_EQ(record->IndexOf(c), 2);  // absent: the count
    EXPECT_EQ(record->Previous(a), nullptr);
    ASSERT_NE(record->Previous(b), nullptr);
    EXPECT_EQ(record->Previous(b)->attacker, a);
    EXPECT_EQ(record->Previous(c), nullptr);

    // Another target has its own record; a target of none is none's.
    AttackRegistry_Get(nullptr);
    EXPECT_EQ(AttackRegistry().size(), 2u);
    EXPECT_EQ(AttackRegistry()[1]->targetHandle, 0u);
    EXPECT_EQ(AttackRegistry_Get(nullptr), AttackRegistry()[1]);
    AttackRegistry()[1]->Add(a, nullptr);
    EXPECT_FLOAT_EQ(AttackRegistry()[1]->baseBearing, 0.0f);
    EXPECT_TRUE(AttackRegistry()[1]->Remove(a));

    // No target: no record, born finished.
    AttackTask* none = Attack(c, nullptr);
    EXPECT_EQ(none->curState, kTaskDone);
    EXPECT_EQ(none->record, nullptr);

    tasks_.clear();
    EXPECT_TRUE(AttackRegistry().empty());
}

TEST_F(AttackTest, FarAttackersGroupBehindALeaderThatWaitsForItsFollowers) {
    Craft* a = Armed(1, Vector{100, 0, 100});
    Craft* b = Armed(1, Vector{100, 0, 0});  // 100 m from a, both far from the target
    AttackTask* lead = Attack(a, target_);
    GiveProcess(a, lead);
    Step(lead);
    EXPECT_EQ(lead->nextState, kTaskLead);
    Step(lead);
    EXPECT_EQ(lead->curState, kTaskLead);
    EXPECT_FLOAT_EQ(lead->gotoPoint.z, 1000.0f);

    AttackTask* follow = Attack(b, target_);
    follow->nextStuck = 1e9f;
    Step(follow, 2);
    EXPECT_EQ(follow->curState, kTaskFollow);
    EXPECT_EQ(follow->himHandle, a->GetObjHandle());
    EXPECT_EQ(follow->saveHandle, target_->GetObjHandle());
    EXPECT_FLOAT_EQ(follow->followDx, 3.0f);
    EXPECT_FLOAT_EQ(follow->followDz, -30.0f);

    // The leader moves on toward the target: the follower, left over 100 m behind, catches up.
    Place(a, Vector{100, 0, 631});
    lead->nextStuck = 1e9f;
    follow->nextStuck = 1e9f;
    Step(follow, 2);
    EXPECT_EQ(follow->curState, kTaskCatch);
    EXPECT_FLOAT_EQ(follow->gotoPoint.z, 631.0f);
    // At 370 m of the target the leader waits, and holds while the follower catches up.
    Step(lead, 2);
    EXPECT_EQ(lead->curState, kTaskWait);
    EXPECT_EQ(lead->nextState, -1);
    Step(lead);
    EXPECT_EQ(lead->nextState, -1);
    // Within 50 m it falls back into FOLLOW and the leader moves on.
    Place(b, Vector{100, 0, 590});
    Step(follow, 2);
    EXPECT_EQ(follow->curState, kTaskFollow);
    Step(lead);
    EXPECT_EQ(lead->nextState, kTaskGoto);

    // The leader engages: its follower goes for the target.
    lead->curState = kTaskBlast;
    lead->nextState = -1;
    Step(follow);
    EXPECT_EQ(follow->nextState, kTaskGoto);
    EXPECT_EQ(follow->himHandle, target_->GetObjHandle());

    // A leader without a process: the follower chooses again.
    follow->curState = kTaskFollow;
    follow->nextState = -1;
    follow->himHandle = a->GetObjHandle();
    processes_.back()->task = nullptr;
    Step(follow);
    EXPECT_EQ(follow->nextState, kTaskStart);
}

TEST_F(AttackTest, ChoosingAStartingState) {
    struct Case {
        const char* what;
        Vector leaderAt;   // of a LEAD attacker already on the target
        Vector unitAt;
        int32_t expected;
    } cases[] = {
        {"within 320 m of the target", Vector{100, 0, 100}, Vector{100, 0, 681}, kTaskGoto},
        {"a leader 150 m away (bound)", Vector{100, 0, 250}, Vector{100, 0, 100}, kTaskFollow},
        {"a leader just over 150 m away", Vector{100, 0, 251}, Vector{100, 0, 100}, kTaskLead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Craft* leader = Armed(1, c.leaderAt);
        AttackTask* lead = Attack(leader, target_);
        lead->curState = kTaskLead;
        lead->nextState = -1;
        Craft* unit = Armed(1, c.unitAt);
        AttackTask* task = Attack(unit, target_);
        task->Choose();
        EXPECT_EQ(task->nextState, c.expected);
        EXPECT_EQ(task->himHandle, (c.expected == kTaskFollow ? leader : target_)->GetObjHandle());
        tasks_.clear();
    }
}

TEST_F(AttackTest, FormationPlacesByTheNumberOfFollowers) {
    Craft* leader = Armed(1, Vector{100, 0, 100});
    struct Offset {
        float dx, dz;
    };
    const std::vector<std::vector<Offset>> table = {
        {{3, -30}},
        {{3, -30}, {-3, -60}},
        {{-10, -20}, {10, -20}, {0, -40}},
        {{-10, -20}, {10, -20}, {-10, -40}, {10, -40}},
        {{0, -20}, {0, -40}, {0, -60}, {0, -80}, {0, -100}},
        {{0, -20}, {0, -40}, {0, -60}, {0, -80}, {0, -100}, {0, -120}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.size());
        std::vector<AttackTask*> followers;
        // A follower of another leader counts for nothing.
        AttackTask* other = Attack(Armed(1, Vector{0, 0, 0}), target_);
        other->curState = kTaskFollow;
        for (size_t i = 0; i < row.size(); ++i) {
            AttackTask* t = Attack(Armed(1, Vector{100, 0, 50}), target_);
            t->himHandle = leader->GetObjHandle();
            t->curState = i % 2 ? kTaskCatch : kTaskFollow;
            followers.push_back(t);
        }
        for (size_t i = 0; i < row.size(); ++i) {
            followers[i]->TakeFormationSlot();
            EXPECT_FLOAT_EQ(followers[i]->followDx, row[i].dx) << i;
            EXPECT_FLOAT_EQ(followers[i]->followDz, row[i].dz) << i;
        }
        tasks_.clear();
    }
    // The leader gone: the first slot.
    AttackTask* lone = Attack(Armed(1, Vector{100, 0, 50}), target_);
    lone->himHandle = 0x7fff0001u;
    lone->TakeFormationSlot();
    EXPECT_FLOAT_EQ(lone->followDx, 3.0f);
    EXPECT_FLOAT_EQ(lone->followDz, -30.0f);
}

TEST_F(AttackTest, FightingStatesFollowTheLineOfFireTheClockAndHits) {
    auto& building = NewCraftClass();
    building.category = 2;
    Craft* shooter = Armed(2, Vector{0, 0, 60});
    struct Case {
        const char* what;
        int32_t state;
        bool clear;
        Vector targetAt;      // the unit stands at the origin facing +z
        float secondsInState;
        bool kindGroup;
        bool hit;
        int32_t expected;     // -1: stays
        bool fleesTarget;     // fleeFrom is the target (else the shooter, when fleeing)
    } cases[] = {
        {"goto, line clears", kTaskGoto, true, {0, 0, 30}, 0, false, false, kTaskBlast, false},
        {"slide at a building", kTaskSlide, false, {0, 0, 30}, 0, true, false, kTaskBlast, false},
        {"slide, side-on", kTaskSlide, true, {30, 0, 0}, 1, false, false, kTaskStand, false},
        {"slide, ahead", kTaskSlide, true, {0, 0, 30}, 1, false, false, kTaskBlast, false},
        {"slide after 10 s", kTaskSlide, true, {30, 0, 0}, 10.5f, false, false, kTaskGoto, false},
        {"slide out of range", kTaskSlide, true, {0, 0, 90}, 1, false, false, kTaskGoto, false},
        {"stand for 8 s", kTaskStand, true, {30, 0, 0}, 8.5f, false, false, kTaskFlee, true},
        {"stand, hit", kTaskStand, true, {30, 0, 0}, 1, false, true, kTaskFlee, false},
        {"stand, line lost", kTaskStand, false, {30, 0, 0}, 1, false, false, kTaskSlide, false},
        {"flee beyond 75 m", kTaskFlee, true, {0, 0, 76}, 1, false, false, kTaskSlide, false},
        {"flee after 3 s", kTaskFlee, true, {0, 0, 30}, 3.5f, false, false, kTaskBlast, false},
        {"flee under 3 s", kTaskFlee, true, {0, 0, 30}, 1, false, false, -1, false},
        {"blast, hit", kTaskBlast, true, {0, 0, 30}, 1, false, true, kTaskFlee, false},
        {"blast, line lost", kTaskBlast, false, {0, 0, 30}, 1, false, false, kTaskSlide, false},
        {"blast at a building, line lost", kTaskBlast, false, {0, 0, 30}, 1, true, false, kTaskGoto, false},
        {"blast, line clear", kTaskBlast, true, {0, 0, 30}, 1, false, false, -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Craft* target = NewCraft(c.kindGroup ? building : *cls_, 2, c.targetAt);
        Place(target, c.targetAt);
        Craft* unit = Armed(1, Vector{0, 0, 0});
        auto* task = Attack<ScriptedAttack>(unit, target);
        task->clear = c.clear;
        task->curState = c.state;
        task->nextState = -1;
        task->reachSq = 80.0f * 80.0f;
        task->nextStuck = 1e9f;
        task->attackStart = Clock_GetTime() - c.secondsInState;
        task->fleeFrom = target->GetObjHandle();
        if (c.hit) {
            unit->enemyShot = Clock_GetTime();
            unit->lastShooter = shooter->GetObjHandle();
        }
        task->Execute();
        EXPECT_EQ(task->nextState, c.expected);
        if (c.expected == kTaskFlee) {
            EXPECT_EQ(task->fleeFrom, (c.fleesTarget ? static_cast<GameObject*>(target) : shooter)->GetObjHandle());
        }
        tasks_.clear();
    }
}

TEST_F(AttackTest, FireControlStrafesAsideAndHoldsTheShotForFriends) {
    static bool friendInCone = false;
    static int shots = 0;
    UnitAiServices& s = UnitAi_Services();
    s.allyInLineOfFire = [](GameObject*, float, float) { return friendInCone; };
    s.weaponMaskFire = [](GameObject*, uint32_t) { ++shots; };
    UnitTask_Hooks().threatensObject = [](UnitTask*, GameObject*, float) { return true; };
    struct Case {
        const char* what;
        bool aheadClose;  // the attacker ahead in the record within 5 m
        bool friendInCone;
        float strafeBefore;
        float strafeAfter;
        bool fired;
    } cases[] = {
        {"clear", false, false, 0.0f, -1.0f, true},
        {"a friend in the cone", false, true, 0.5f, 0.75f, false},
        {"a friend in the cone, strafe full", false, true, 0.9f, 1.0f, false},
        {"the attacker ahead within 5 m", true, false, 0.0f, 1.0f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Craft* target = NewCraft(*cls_, 2, Vector{0, 0, 30});
        Place(target, Vector{0, 0, 30});
        target->radius = 5.0f;
        Craft* first = Armed(1, c.aheadClose ? Vector{3, 0, 0} : Vector{-40, 0, 0});
        Attack(first, target);
        Craft* unit = Armed(1, Vector{0, 0, 0});
        unit->hardpoints->Select(1u);
        auto* task = Attack<ScriptedAttack>(unit, target);
        task->clear = true;
        task->curState = kTaskGoto;  // a state step that leaves the controls alone
        task->nextState = -1;
        task->attackStart = Clock_GetTime();
        task->weapon = unit->hardpoints->weapons[0];
        task->reachSq = 10000.0f;
        task->targetDistSq = 900.0f;
        friendInCone = c.friendInCone;
        shots = 0;
        task->Controls().strafe = c.strafeBefore;
        task->Execute();
        if (c.strafeAfter >= 0.0f) {
            EXPECT_FLOAT_EQ(task->Controls().strafe, c.strafeAfter);
        }
        EXPECT_EQ(shots > 0, c.fired);
        tasks_.clear();
    }
}

TEST_F(AttackTest, TheTaskEndsWithItsTargetItsWeaponsOrAFriendlyTargetWithoutAnOrder) {
    struct Case {
        const char* what;
        bool dead;
        bool unarmed;
        bool friendly;
        int32_t command;
        int32_t priority;
        bool ends;
    } cases[] = {
        {"an enemy", false, false, false, kCmdCodeNone, 0, false},
        {"the target died", true, false, false, kCmdCodeNone, 0, true},
        {"no weapons", false, true, false, kCmdCodeNone, 0, true},
        {"a friend, no order", false, false, true, kCmdCodeNone, 0, true},
        {"a friend, ordered without priority", false, false, true, kCmdCodeAttack, 0, true},
        {"a friend, ordered with priority", false, false, true, kCmdCodeAttack, 1, false},
        {"a friend, another order", false, false, true, kCmdCodeGo, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Craft* target = Armed(c.friendly ? 1 : 2, Vector{0, 0, 30});
        Craft* unit = c.unarmed ? NewCraft(*cls_, 1, Vector{}) : Armed(1, Vector{});
        if (c.unarmed) Place(unit, Vector{});
        unit->curCmd.what = c.command;
        unit->curCmd.priority = c.priority;
        auto* task = Attack<ScriptedAttack>(unit, target);
        task->curState = kTaskBlast;
        task->nextState = -1;
        task->attackStart = Clock_GetTime();
        if (c.dead) Kill(target);
        task->Execute();
        EXPECT_EQ(task->nextState == kTaskDone, c.ends);
        tasks_.clear();
    }
}

TEST_F(AttackTest, TheRecordIsBuiltAgainAfterALoad) {
    Field_SetHandleFinder(GameObject_HandleForSerial);
    Craft* a = Armed(1, Vector{100, 0, 100});
    Craft* b = Armed(1, Vector{100, 0, 0});
    Attack(a, target_)->fleeFrom = b->GetObjHandle();
    Attack(b, target_);
    Field_ResetSaveIds();
    bool ok = false;
    const std::string bytes = CaptureFields(false, [&](FILE* f) { return AiTasks_Save(f); }, &ok);
    ASSERT_TRUE(ok);
    const uint32_t ia = Field_SaveId(a), ib = Field_SaveId(b);
    Field_ResetSaveIds();
    tasks_.clear();
    ASSERT_TRUE(AttackRegistry().empty());
    {
        FieldReadScope scope(bytes, false);
        Field_RegisterPointer(ia, a);
        Field_RegisterPointer(ib, b);
        ASSERT_TRUE(AiTasks_Load());
        Field_ResolvePointers();
    }
    ASSERT_TRUE(AiTasks_PostLoad());
    ASSERT_EQ(AttackRegistry().size(), 1u);
    AttackRecord* record = AttackRegistry()[0];
    EXPECT_EQ(record->targetHandle, target_->GetObjHandle());
    ASSERT_EQ(record->Count(), 2);
    EXPECT_EQ(record->entries[0].attacker, a);
    EXPECT_EQ(record->entries[1].attacker, b);
    auto* loaded = dynamic_cast<AttackTask*>(AiTasks()[0]);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->record, record);
    EXPECT_EQ(loaded->fleeFrom, b->GetObjHandle());
    EXPECT_FLOAT_EQ(loaded->waitRangeSq, 136900.0f);
    // A second pass joins nobody twice.
    ASSERT_TRUE(AiTasks_PostLoad());
    EXPECT_EQ(record->Count(), 2);
    AiTasks_Clear();
    EXPECT_TRUE(AttackRegistry().empty());
    Field_SetHandleFinder(nullptr);
}

TEST_F(AttackTest, ADefenderGuardsAtASeededRandomPointAndGoesBackWhenLeftBehind) {
    Craft* charge = NewCraft(*cls_, 1, Vector{500, 0, 500});
    Place(charge, Vector{500, 0, 500});
    charge->radius = 6.0f;
    Craft* unit = Armed(1, Vector{500, 0, 470});
    unit->radius = 4.0f;
    const float r = 4.0f + 6.0f + 10.0f;  // both radii and 10 m
    auto expectedPoint = [&](uint32_t seed) {
        Random_Seed(seed);
        const float angle = static_cast<float>(Random_Next()) * 6.28318530717958f / 32768.0f;
        return Vector{500.0f + r * std::sin(angle), 0.0f, 500.0f + r * std::cos(angle)};
    };
    const Vector first = expectedPoint(7);
    Random_Seed(7);
    DefendTask task(unit, charge);
    task.Update();  // START
    task.Update();  // WAIT entered
    ASSERT_EQ(task.curState, kTaskWait);
    EXPECT_NEAR(task.gotoPoint.x, first.x, 1e-3f);
    EXPECT_NEAR(task.gotoPoint.z, first.z, 1e-3f);
    EXPECT_FLOAT_EQ(task.timeOut, Clock_GetTime() + 10.0f);

    // Ten seconds on: a new guard point.
    Clock_SetTime(Clock_GetTime() + 10.5f);
    task.Update();
    EXPECT_EQ(task.nextState, kTaskWait);
    const Vector second = expectedPoint(8);
    Random_Seed(8);
    task.Update();
    EXPECT_NEAR(task.gotoPoint.x, second.x, 1e-3f);
    EXPECT_NEAR(task.gotoPoint.z, second.z, 1e-3f);

    // The charge moves off beyond both radii and 20 m: after it; within 10 m less: guarding again.
    const float c = 4.0f + 6.0f + 20.0f;
    Place(charge, Vector{500, 0, 470 + c + 1.0f});
    task.Update();
    EXPECT_EQ(task.nextState, kTaskGoto);
    EXPECT_FLOAT_EQ(task.gotoPoint.z, 470 + c + 1.0f);
    task.nextStuck = 1e9f;
    task.Update();
    ASSERT_EQ(task.curState, kTaskGoto);
    Place(unit, Vector{500, 0, 470 + c + 1.0f - (c - 10.0f) + 0.5f});
    task.nextStuck = 1e9f;
    task.Update();
    EXPECT_EQ(task.nextState, kTaskWait);

    // The charge gone: done at once.
    Kill(charge);
    task.Update();
    task.Update();
    EXPECT_EQ(task.curState, kTaskDone);
    EXPECT_EQ(task.himHandle, 0u);
}

TEST_F(AttackTest, AHunterPicksAmongTheNearestSeenEnemiesUntilItsLegsComeTooFast) {
    auto& enemyClass = NewCraftClass();
    enemyClass.teamSlotFirst = 1;
    enemyClass.teamSlotLast = 89;
    auto& buildingClass = NewCraftClass();
    buildingClass.teamSlotFirst = 1;
    buildingClass.teamSlotLast = 89;
    buildingClass.category = 2;
    Craft* hunter = Armed(1, Vector{100, 0, 100});
    auto put = [&](CraftClass& cls, float z, bool seen) {
        Craft* o = NewCraft(cls, 2, Vector{100, 0, z});
        Place(o, Vector{100, 0, z});
        EXPECT_GE(o->teamSlot, 0);
        if (seen) o->MarkSeenBy(1);
        return o;
    };
    put(buildingClass, 200, true);  // a building within 150 m: left out
    put(enemyClass, 210, false);     // unseen
    std::vector<float> nearest;
    for (float z : {300.f, 400.f, 500.f, 600.f, 700.f}) {
        put(enemyClass, z, true);
        nearest.push_back(z);
    }
    put(enemyClass, 800, true);  // the sixth: never picked
    put(buildingClass, 900, true);  // a building farther than 150 m counts, but is not among the five
    HuntTask task(hunter, Vector{100, 0, 120});
    std::vector<bool> picked(nearest.size(), false);
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        Random_Seed(seed);
        task.huntCount = 0;
        Vector p{1, 1, 1};
        ASSERT_TRUE(task.PickPoint(&p));
        EXPECT_FLOAT_EQ(p.y, 0.0f);
        const auto it = std::find(nearest.begin(), nearest.end(), p.z);
        ASSERT_NE(it, nearest.end()) << p.z;
        picked[static_cast<size_t>(it - nearest.begin())] = true;
    }
    for (bool b : picked) EXPECT_TRUE(b);

    // Five legs within 5 s: a random scrap piece instead.
    GameObjectClass& scrapClass = NewClass();
    scrapClass.category = kCategoryScrap;
    GameObject* scrap = Build(scrapClass, 0);
    scrap->entity->local.posit = DVector{321, 0, 654};
    for (int i = 0; i < 5; ++i) task.NewLeg();
    EXPECT_EQ(task.huntCount, 5);
    Vector p{};
    ASSERT_TRUE(task.PickPoint(&p));
    EXPECT_FLOAT_EQ(p.x, 321.0f);
    EXPECT_FLOAT_EQ(p.z, 654.0f);
    // The oldest leg more than 5 s back: enemies again.
    Clock_SetTime(Clock_GetTime() + 5.5f);
    ASSERT_TRUE(task.PickPoint(&p));
    EXPECT_NE(std::find(nearest.begin(), nearest.end(), p.z), nearest.end());
    // A new leg drops the oldest time and heads for the point from the start.
    const float newest = Clock_GetTime();
    ASSERT_TRUE(task.NewLeg());
    EXPECT_FLOAT_EQ(task.huntTimes[4], newest);
    EXPECT_EQ(task.curState, kTaskStart);
    EXPECT_TRUE(task.release);
    // A plan that found no way ends the hunt's leg.
    EXPECT_FALSE(task.IsDone());
    task.plan = new AiPath(nullptr, 0);
    task.plan->pathType = kPathTypeStraight;
    EXPECT_TRUE(task.IsDone());
}

}  // namespace

namespace {

// With no seen enemy, or with legs coming too fast and no scrap lying about, the hunt heads for
// a live object picked by the seeded generator: never a dead one, the same one for the same seed.
TEST_F(AttackTest, AHunterWithNothingToChaseHeadsForARandomLiveObject) {
    auto& enemyClass = NewCraftClass();
    enemyClass.teamSlotFirst = 1;
    enemyClass.teamSlotLast = 89;
    Craft* hunter = Armed(1, Vector{200, 0, 200});
    Craft* enemy = NewCraft(enemyClass, 2, Vector{200, 0, 420});
    Place(enemy, Vector{200, 0, 420});
    Craft* wreck = NewCraft(*cls_, 0, Vector{640, 0, 80});
    Place(wreck, Vector{640, 0, 80});
    Kill(wreck);
    struct Case {
        const char* what;
        bool enemySeen;
        bool legsTooFast;
    } cases[] = {
        {"no enemy seen", false, false},
        {"legs too fast, an enemy seen", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        enemy->isVisible = c.enemySeen ? 1u << 1 : 0u;
        HuntTask task(hunter, Vector{200, 0, 240});
        task.huntCount = c.legsTooFast ? 5 : 1;
        for (float& t : task.huntTimes) t = Clock_GetTime() - 1.0f;
        std::vector<float> seen;
        for (uint32_t seed = 1; seed <= 30; ++seed) {
            Random_Seed(seed);
            Vector p{};
            ASSERT_TRUE(task.PickPoint(&p));
            Random_Seed(seed);
            Vector again{};
            ASSERT_TRUE(task.PickPoint(&again));
            EXPECT_FLOAT_EQ(again.x, p.x);
            EXPECT_FLOAT_EQ(again.z, p.z);
            // A live object's place, never the wreck's.
            bool live = false;
            for (GameObject* object : GameObject_List())
                if (!(object->entity->flags & kEntityDead) && object->entity->local.posit.x == p.x &&
                    object->entity->local.posit.z == p.z)
                    live = true;
            EXPECT_TRUE(live) << p.x << ", " << p.z;
            EXPECT_FALSE(p.x == 640.0f && p.z == 80.0f);
            if (std::find(seen.begin(), seen.end(), p.x * 10000.0f + p.z) == seen.end()) seen.push_back(p.x * 10000.0f + p.z);
        }
        // Random among them, not always the same one.
        EXPECT_GT(seen.size(), 1u);
    }
}

}  // namespace
