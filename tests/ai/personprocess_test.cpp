// People on foot: the pilot's and the soldier's brains, their way home, their claim on an empty
// craft, the group attack in which each attacker falls in behind the one ahead, the ways to a
// craft, and the rescue that stops beside a unit before it takes it aboard.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Terrain/terramap.h"
#include "ai/avoidance.h"
#include "ai/personprocess.h"
#include "ai/rescuetask.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "fun3d/framepasses.h"
#include "fun3d/teamrecord.h"
#include "goto_fixture.h"
#include "square_world.h"
#include "support/field_stream.h"
#include "weapons/weapon.h"

namespace {

class PersonTest : public GotoFixture {
protected:
    void SetUp() override {
        GotoFixture::SetUp();
        Ai_InstallPersonProcesses();
        SquareWorld_Make();
        gun_ = new WeaponClass("gun", Signature("CANN"));
        weaponClasses_.push_back(gun_);
        unit_->entity->type = kTypePerson;
        TeamRecord::Get(1)->AddMaxPilots(10);
    }
    void TearDown() override {
        processes_.clear();
        Avoidance_ResetForTests();
        GotoFixture::TearDown();
    }
    // The process registered under the name, on the unit.
    PersonProcess* Pilot(const char* name = "PersonEnemy") { return Make<PersonProcess>(name); }
    SoldierProcess* Soldier(const char* name = "SoldierEnemy") { return Make<SoldierProcess>(name); }
    template <class T>
    T* Make(const char* name) {
        const FactoryReg* reg = Factory_Find(name);
        if (!reg || !reg->create) return nullptr;
        auto* process = dynamic_cast<T*>(reg->create());
        if (!process) return nullptr;
        process->Attach(nullptr, unit_);
        processes_.emplace_back(process);
        return process;
    }
    // An empty craft of no side at the point.
    // A craft of team 1 at the point, put in the team's slot when one is given (a home).
    Craft* Home(Vector at, int32_t slot = 0) {
        Craft* craft = NewCraft(*cls_, 1, at);
        Place(craft, at);
        if (slot) TeamRecord::Get(1)->SetSlot(slot, craft);
        return craft;
    }
    Craft* Empty(Vector at) {
        Craft* craft = NewCraft(*cls_, 0, at);
        Place(craft, at);
        craft->entity->type = kTypeCraft;
        return craft;
    }
    // A unit of the team with a gun, at the point.
    Craft* Armed(Vector at, int32_t team = 1) {
        Craft* craft = NewCraft(*cls_, team, at);
        Place(craft, at);
        Mount(craft, 0, *gun_);
        return craft;
    }
    static void Refill() {
        GameObject_UpdateGrid();
        Avoidance_RefillGrid();
    }
    static bool Claimed(GameObject* craft, int32_t team = 1) { return (craft->boardExcludedTeams >> team) & 1u; }
    static std::string FactoryName(const sObject* object) {
        const FactoryReg* reg = object ? object->GetFactory() : nullptr;
        return reg ? reg->name : "";
    }
    WeaponClass* gun_ = nullptr;
    std::vector<std::unique_ptr<CraftProcess>> processes_;
};

TEST_F(PersonTest, EachRegisteredNameMakesItsKindAndSavesUnderIt) {
    const char* processes[] = {"PersonFriend", "PersonEnemy", "SoldierFriend", "SoldierEnemy"};
    for (const char* name : processes) {
        SCOPED_TRACE(name);
        const bool person = std::string(name).rfind("Person", 0) == 0;
        CraftProcess* process = person ? static_cast<CraftProcess*>(Pilot(name)) : Soldier(name);
        ASSERT_NE(process, nullptr);
        EXPECT_EQ(FactoryName(process), name);
        EXPECT_EQ(process->nextState, kUStateWait);
    }
    const char* tasks[] = {"PersonAttack", "SoldierAttack", "PersonRetreat",  "SoldierRetreat", "SoldierReturn",
                           "PersonGlide",  "PersonStraight", "PersonGetIn",   "RescueTask"};
    for (const char* name : tasks) {
        SCOPED_TRACE(name);
        const FactoryReg* reg = Factory_Find(name);
        ASSERT_TRUE(reg && reg->create);
        std::unique_ptr<sObject> task(reg->create());
        ASSERT_NE(dynamic_cast<UnitTask*>(task.get()), nullptr);
        EXPECT_EQ(FactoryName(task.get()), name);
    }
    // The units' rescue order gets the real task.
    Craft* unit = Armed({100, 0, 140});
    std::unique_ptr<UnitTask> rescue(UnitAi_Services().rescueTask(unit_, unit));
    EXPECT_NE(dynamic_cast<RescueTask*>(rescue.get()), nullptr);
}

TEST_F(PersonTest, TheHomeIsTheFirstOfSlotsOneToThreeUnlessAnOutpostIsNearer) {
    struct Case {
        const char* what;
        std::vector<std::pair<int32_t, Vector>> slots;  // slot, position
        int expected;                                   // index into slots, -1 none
    } cases[] = {
        {"none", {}, -1},
        {"slot one before two and three", {{3, {100, 0, 110}}, {2, {100, 0, 120}}, {1, {100, 0, 900}}}, 2},
        {"slot two without one", {{3, {100, 0, 110}}, {2, {100, 0, 900}}}, 1},
        {"a nearer outpost", {{1, {100, 0, 900}}, {77, {100, 0, 300}}, {79, {100, 0, 200}}}, 2},
        {"a farther outpost stays out", {{1, {100, 0, 150}}, {75, {100, 0, 300}}}, 0},
        {"an outpost alone", {{76, {900, 0, 900}}}, 0},
        {"other slots are no home", {{0, {100, 0, 110}}, {4, {100, 0, 110}}, {74, {100, 0, 110}}, {80, {100, 0, 110}}}, -1},
    };
    TeamRecord* team = TeamRecord::Get(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<GameObject*> made;
        for (const auto& [slot, at] : c.slots) {
            Craft* object = NewCraft(*cls_, 1, at);
            Place(object, at);
            team->SetSlot(slot, object);
            made.push_back(object);
        }
        EXPECT_EQ(Person_HomeObject(unit_), c.expected < 0 ? nullptr : made[size_t(c.expected)]);
        for (const auto& [slot, at] : c.slots) team->SetSlot(slot, nullptr);
        for (GameObject* object : made) delete object;
    }
}

// With a home and independence the pilot goes home from WAIT at once, even when it claimed a
// craft in that same step: leaving WAIT gives the claim back.
TEST_F(PersonTest, APilotWithAHomeLeavesWaitForHomeAtOnceAndGivesUpItsClaim) {
    Craft* home = Home({600, 0, 600}, 1);
    Craft* craft = Empty({100, 0, 150});
    Refill();
    PersonProcess* pilot = Pilot();
    pilot->Execute();
    EXPECT_EQ(pilot->curState, kUStateWait);
    EXPECT_EQ(pilot->nextState, kUStateUser2) << "home at once";
    EXPECT_TRUE(pilot->gettingIn);
    EXPECT_TRUE(Claimed(craft));
    EXPECT_EQ(Person_RouteCraft(pilot->task), craft);

    // Someone else took the craft meanwhile: leaving WAIT the claim goes, and home it is.
    craft->SetAiProcess(new TestPilot);
    pilot->Execute();
    EXPECT_EQ(pilot->curState, kUStateUser2);
    EXPECT_FALSE(Claimed(craft));
    EXPECT_FALSE(pilot->gettingIn);
    EXPECT_EQ(FactoryName(pilot->task), "PersonRetreat");
    EXPECT_EQ(UnitAi_Services().taskTarget(pilot->task), home);
    TeamRecord::Get(1)->SetSlot(1, nullptr);
}

TEST_F(PersonTest, AnEmptyCraftIsClaimedOnlyWithin100MetresAndTheOneLastLeftComesFirst) {
    struct Case {
        float distance;
        bool claimed;
    } cases[] = {{99.0f, true}, {101.0f, false}, {400.0f, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distance);
        Craft* craft = Empty({100, 0, 100 + c.distance});
        Refill();
        PersonProcess* pilot = Pilot();
        pilot->Execute();
        EXPECT_EQ(pilot->gettingIn, c.claimed);
        EXPECT_EQ(Claimed(craft), c.claimed);
        processes_.clear();  // leaving gives the claim back
        EXPECT_FALSE(Claimed(craft));
        delete craft;
    }
    // Two in reach: the one the pilot got out of, though farther, before the nearest; a craft
    // another person of the team has claimed is nobody else's.
    Craft* near = Empty({100, 0, 130});
    Craft* left = Empty({100, 0, 180});
    unit_->abandoned = left->GetObjHandle();
    Refill();
    PersonProcess* pilot = Pilot();
    pilot->Execute();
    EXPECT_EQ(Person_RouteCraft(pilot->task), left);
    EXPECT_TRUE(Claimed(left));
    EXPECT_FALSE(Claimed(near));
    unit_->abandoned = 0;
    left->SetAiProcess(new TestPilot);
    Craft* other = Armed({100, 0, 110});
    other->entity->type = kTypePerson;
    std::unique_ptr<PersonProcess> second(dynamic_cast<PersonProcess*>(Factory_Find("PersonEnemy")->create()));
    second->Attach(nullptr, other);
    near->boardExcludedTeams |= 1u << 1;  // claimed by a third
    second->Execute();
    EXPECT_FALSE(second->gettingIn);
}

// A claimed craft that someone else takes, or that is destroyed, is given up and another looked
// for: the pilot never waits for ever beside a craft it cannot have.
TEST_F(PersonTest, AClaimedCraftThatIsTakenOrGoneIsGivenUpForAnother) {
    struct Case {
        const char* what;
        void (*lose)(Craft* craft);
    } cases[] = {
        {"taken", [](Craft* c) { c->SetAiProcess(new TestPilot); }},
        {"destroyed", [](Craft* c) { c->entity->flags |= kEntityDead; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Craft* first = Empty({100, 0, 130});
        Refill();
        PersonProcess* pilot = Pilot();
        pilot->Execute();
        ASSERT_EQ(Person_RouteCraft(pilot->task), first);
        Craft* second = Empty({100, 0, 170});
        c.lose(first);
        Refill();
        pilot->Execute();
        EXPECT_FALSE(Claimed(first));
        EXPECT_TRUE(pilot->gettingIn);
        EXPECT_EQ(Person_RouteCraft(pilot->task), second);
        EXPECT_TRUE(Claimed(second));
        processes_.clear();
        delete first;
        delete second;
    }
    // On the way home the same: the craft given up, the walk home again.
    Home({600, 0, 600}, 1);
    Craft* craft = Empty({100, 0, 150});
    Refill();
    PersonProcess* pilot = Pilot();
    pilot->Execute();  // WAIT: the craft claimed, home next
    pilot->Execute();  // USTATE2: the claim given back on leaving WAIT, and taken again
    ASSERT_EQ(pilot->curState, kUStateUser2);
    ASSERT_EQ(Person_RouteCraft(pilot->task), craft);
    craft->SetAiProcess(new TestPilot);
    for (int i = 0; i < 3; ++i) pilot->Execute();
    EXPECT_FALSE(Claimed(craft));
    EXPECT_EQ(pilot->curState, kUStateUser2);
    EXPECT_EQ(FactoryName(pilot->task), "PersonRetreat");
    TeamRecord::Get(1)->SetSlot(1, nullptr);
}

TEST_F(PersonTest, TheWayToACraftGlidesWalksStraightOrFollowsAPlannedRoute) {
    Craft* craft = Empty({100, 0, 160});
    std::unique_ptr<UnitTask> straight(Person_RouteToCraft(unit_, craft));
    EXPECT_NE(dynamic_cast<PersonStraight*>(straight.get()), nullptr) << "nothing across the way";
    // Walking straight heads for the craft.
    straight->Update();
    EXPECT_GT(unit_->controls.throttle, 0.0f);
    EXPECT_NEAR(unit_->controls.strafe, 0.0f, 1e-4f);

    // A building across the line: the planned route.
    CraftClass& building = NewCraftClass();
    building.category = kCategoryBuilding;
    Craft* bunker = NewCraft(building, 0, {100, 0, 130});
    Place(bunker, {100, 0, 130});
    bunker->radius = 6.0f;
    if (bunker->record) bunker->record->radius = 6.0f;
    std::unique_ptr<UnitTask> around(Person_RouteToCraft(unit_, craft));
    auto* getIn = dynamic_cast<PersonGetIn*>(around.get());
    ASSERT_NE(getIn, nullptr);
    EXPECT_EQ(Person_RouteCraft(getIn), craft);
    delete bunker;

    // In the air over ground it cannot stand on: it glides, until it is off that ground.
    bool impassable = true;
    static bool* s_impassable = nullptr;
    s_impassable = &impassable;
    UnitTask_Hooks().isImpassableAt = [](const Vector&) { return *s_impassable; };
    unit_->physFlags |= kPersonAirborne;
    std::unique_ptr<UnitTask> glide(Person_RouteToCraft(unit_, craft));
    ASSERT_NE(dynamic_cast<PersonGlide*>(glide.get()), nullptr);
    glide->Update();
    EXPECT_FALSE(glide->IsDone());
    EXPECT_GT(unit_->controls.throttle, 0.0f) << "toward the craft ahead";
    impassable = false;
    glide->Update();
    glide->Update();
    EXPECT_TRUE(glide->IsDone());
}

TEST_F(PersonTest, ReachingHomeAPilotRejoinsThePoolOnceAndASoldierAddsNone) {
    struct Case {
        float homeRadius;
        float distance;
        bool arrives;  // inside the larger of radius + own radius + 10 and 20, on both axes
    } cases[] = {{5.0f, 15.0f, true}, {5.0f, 25.0f, false}, {30.0f, 25.0f, true}, {30.0f, 45.0f, false}};
    const char* kinds[] = {"PersonRetreat", "SoldierRetreat", "SoldierReturn"};
    TeamRecord* team = TeamRecord::Get(1);
    unit_->radius = 1.0f;
    for (const char* kind : kinds)
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(kind) + " " + std::to_string(c.homeRadius) + " " + std::to_string(c.distance));
            Craft* home = Home({100, 0, 100 + c.distance});
            home->radius = c.homeRadius;
            unit_->entity->flags &= ~kEntityDead;
            const int32_t before = team->GetPilots();
            std::unique_ptr<GoHomeTask> task;
            if (std::string(kind) == "PersonRetreat") task = std::make_unique<PersonRetreat>(unit_, home);
            else if (std::string(kind) == "SoldierRetreat") task = std::make_unique<SoldierRetreat>(unit_, home);
            else task = std::make_unique<SoldierReturn>(unit_, home);
            for (int i = 0; i < 5; ++i) task->Update();
            const bool gone = (unit_->entity->flags & kEntityDead) != 0;
            EXPECT_EQ(gone, c.arrives);
            EXPECT_EQ(task->IsDone(), c.arrives);
            const bool pilot = std::string(kind) == "PersonRetreat";
            EXPECT_EQ(team->GetPilots() - before, c.arrives && pilot ? 1 : 0);
            task.reset();
            delete home;
        }
    unit_->entity->flags &= ~kEntityDead;
    // A home that is gone ends the walk.
    Craft* home = Home({100, 0, 400});
    PersonRetreat walk(unit_, home);
    walk.Update();
    Kill(home);
    walk.Update();
    walk.Update();
    EXPECT_TRUE(walk.IsDone());
    EXPECT_FALSE(unit_->entity->flags & kEntityDead);
}

// Five attackers of one target, each within 30 m of the one registered before it: each falls in
// 10 m straight behind that one; the first leads the way, and one farther than 30 m from the
// attacker ahead goes its own way.
TEST_F(PersonTest, EachAttackerFollowsTheOneRegisteredAheadOfItWithin30Metres) {
    Craft* target = Armed({100, 0, 600}, 2);
    std::vector<std::unique_ptr<PersonAttack>> tasks;
    const float rows[] = {100, 120, 140, 160, 180, 220};
    for (float z : rows) {
        Craft* attacker = Armed({100, 0, z});
        tasks.push_back(std::make_unique<PersonAttack>(attacker, target));
    }
    ASSERT_EQ(AttackRegistry_Get(target)->Count(), 6);
    // The first is on its way before the others join in.
    for (int i = 0; i < 3; ++i) tasks[0]->Update();
    for (size_t i = 1; i < tasks.size(); ++i) {
        tasks[i]->Update();
        tasks[i]->Update();
    }
    EXPECT_EQ(tasks[0]->curState, kTaskGoto) << "the first leads";
    for (size_t i = 1; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(tasks[i]->curState, kTaskFollow);
        EXPECT_FLOAT_EQ(tasks[i]->followDx, 0.0f);
        EXPECT_FLOAT_EQ(tasks[i]->followDz, -10.0f);
    }
    EXPECT_EQ(tasks[1]->nextState, -1) << "keeps station while the one ahead is on its way";
    EXPECT_EQ(tasks[2]->nextState, kTaskGoto) << "the one ahead is itself following, not on its way";
    EXPECT_EQ(tasks[5]->nextState, kTaskGoto) << "40 m behind the one ahead";
    // A finished attacker leaves the record; the last one takes the record with it.
    tasks.erase(tasks.begin());
    EXPECT_EQ(AttackRegistry_Get(target)->Count(), 5);
    tasks.clear();
    EXPECT_TRUE(AttackRegistry().empty());
}

TEST_F(PersonTest, AnAttackEndsWhenTheTargetIsGoneOrAnAllyOrTheUnitUnarmed) {
    Craft* target = Armed({100, 0, 300}, 2);
    Craft* armed = Armed({100, 0, 100});
    struct Case {
        const char* what;
        GameObject* unit;
        void (*change)(Craft* target);
    } cases[] = {
        {"target gone", armed, [](Craft* t) { t->entity->flags |= kEntityDead; }},
        {"target taken for an ally", armed, [](Craft* t) { t->SetPerceivedTeam(1); }},
        {"no weapons", unit_, [](Craft*) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PersonAttack task(c.unit, target);
        for (int i = 0; i < 3; ++i) task.Update();
        EXPECT_FALSE(c.unit == armed && task.IsDone());
        c.change(target);
        for (int i = 0; i < 3; ++i) task.Update();
        EXPECT_TRUE(task.IsDone());
        target->entity->flags &= ~kEntityDead;
        target->SetPerceivedTeam(2);
    }
}

TEST_F(PersonTest, ASoldierWaitsFiveSecondsThenGoesHomeAndGetsInWhereItIsOrdered) {
    Craft* home = Home({100, 0, 500}, 2);
    Refill();
    SoldierProcess* soldier = Soldier();
    soldier->Execute();
    EXPECT_EQ(soldier->curState, kUStateWait);
    Clock_SetTime(Clock_GetTime() + 4.9f);
    soldier->Execute();
    EXPECT_EQ(soldier->curState, kUStateWait);
    Clock_SetTime(Clock_GetTime() + 0.2f);
    soldier->Execute();
    soldier->Execute();
    EXPECT_EQ(soldier->curState, kUStateUser2);
    EXPECT_EQ(FactoryName(soldier->task), "SoldierRetreat");
    EXPECT_EQ(UnitAi_Services().taskTarget(soldier->task), home);

    // Ordered into a vehicle: the order's target; without one, the carrier it came in.
    Craft* vehicle = NewCraft(*cls_, 1, {300, 0, 100});
    Place(vehicle, {300, 0, 100});
    unit_->SetCommandObject(kCmdCodeGetIn, vehicle);
    soldier->Execute();
    EXPECT_EQ(soldier->curState, kUStateFree);
    EXPECT_EQ(FactoryName(soldier->task), "SoldierReturn");
    EXPECT_EQ(UnitAi_Services().taskTarget(soldier->task), vehicle);
    Craft* carrier = NewCraft(*cls_, 1, {500, 0, 100});
    unit_->carrier = carrier;
    soldier->whoHandle = 0;
    soldier->StateExit(kUStateFree);
    soldier->StateEnter(kUStateFree);
    EXPECT_EQ(UnitAi_Services().taskTarget(soldier->task), carrier);
    unit_->carrier = nullptr;
    TeamRecord::Get(1)->SetSlot(2, nullptr);
}

TEST_F(PersonTest, AnEnemyIsFoughtOnlyFromWaitAndByAPilotOnlyWithoutAHome) {
    Craft* enemy = Armed({100, 0, 150}, 2);
    Mount(unit_, 0, *gun_);
    PersonProcess* pilot = Pilot();
    pilot->enemy = enemy;
    SoldierProcess* soldier = Soldier();
    soldier->enemy = enemy;
    for (int32_t state : {kUStateGoto, kUStateFollow, kUStateUser2, kUStateFree}) {
        EXPECT_FALSE(pilot->KeepTarget(state)) << state;
        EXPECT_FALSE(soldier->KeepTarget(state)) << state;
    }
    EXPECT_TRUE(pilot->KeepTarget(kUStateWait));
    EXPECT_TRUE(soldier->KeepTarget(kUStateWait));
    Craft* home = NewCraft(*cls_, 1, {900, 0, 900});
    TeamRecord::Get(1)->SetSlot(3, home);
    EXPECT_FALSE(pilot->KeepTarget(kUStateWait)) << "a pilot with a home goes home";
    EXPECT_TRUE(soldier->KeepTarget(kUStateWait));
    TeamRecord::Get(1)->SetSlot(3, nullptr);
}

// Within 30 m the rescue brakes and waits a second, and only then sets the pick-up; from far
// off it drives up first.
TEST_F(PersonTest, ARescueStopsForOneSecondWithin30MetresBeforeThePickUp) {
    Craft* person = Armed({100, 0, 125});
    person->entity->type = kTypePerson;
    unit_->entity->type = kTypeCraft;
    unit_->euler.velocity = Vector{0.0f, 0.0f, 3.0f};
    RescueTask rescue(unit_, person);
    rescue.Update();  // START
    rescue.Update();  // FOLLOW: near enough to stop
    rescue.Update();
    EXPECT_EQ(rescue.curState, kTaskWait);
    EXPECT_LT(unit_->controls.throttle, 0.0f) << "braking against the motion";
    EXPECT_EQ(unit_->controls.pickUp, 0);
    const float stopped = Clock_GetTime();
    Clock_SetTime(stopped + 0.9f);
    rescue.Update();
    EXPECT_EQ(unit_->controls.pickUp, 0);
    Clock_SetTime(stopped + 1.05f);
    rescue.Update();
    EXPECT_EQ(unit_->controls.pickUp, 1);
    rescue.Update();
    EXPECT_TRUE(rescue.IsDone());

    // Far off: a planned drive, then station on the unit within 50 m.
    unit_->controls.pickUp = 0;
    unit_->euler.velocity = Vector{};
    Place(person, {100, 0, 400});
    RescueTask far(unit_, person);
    far.Update();
    far.Update();
    far.Update();
    EXPECT_EQ(far.curState, kTaskGoto);
    Place(unit_, {100, 0, 360});
    far.Update();
    far.Update();
    EXPECT_EQ(far.curState, kTaskFollow);
    EXPECT_EQ(unit_->controls.pickUp, 0);
    // The unit gone: finished, nothing picked up.
    Kill(person);
    far.Update();
    far.Update();
    EXPECT_TRUE(far.IsDone());
    EXPECT_EQ(unit_->controls.pickUp, 0);
}

// A pilot fighting on foot is saved with the game and loaded again under its registered name:
// the loaded brain goes on with its attack, which has joined its target's record again.
TEST_F(PersonTest, ASavedPilotLoadsAndFightsOn) {
    Field_SetHandleFinder(GameObject_HandleForSerial);
    Mount(unit_, 0, *gun_);
    Craft* enemy = Armed({100, 0, 250}, 2);
    auto* saved = dynamic_cast<PersonProcess*>(Factory_Find("PersonEnemy")->create());
    ASSERT_NE(saved, nullptr);
    saved->Attach(nullptr, unit_);
    saved->whoHandle = enemy->GetObjHandle();
    saved->curState = kUStateUser1;
    saved->nextState = kUStateNone;
    saved->saveState = kUStateWait;
    saved->StateEnter(kUStateUser1);
    saved->Execute();
    ASSERT_EQ(FactoryName(saved->task), "PersonAttack");

    Field_ResetSaveIds();
    bool ok = false;
    const std::string tasks = CaptureFields(false, [&](FILE* f) { return AiTasks_Save(f); }, &ok);
    ASSERT_TRUE(ok);
    const std::string brain = CaptureFields(false, [&](FILE* f) { return sObject_Save(f, saved); }, &ok);
    ASSERT_TRUE(ok);
    const uint32_t unitId = Field_SaveId(unit_);
    Field_ResetSaveIds();
    delete saved;
    ASSERT_TRUE(AiTasks().empty());
    ASSERT_TRUE(AttackRegistry().empty());

    sObject* loadedObject = nullptr;
    {
        FieldReadScope scope(tasks, false);
        ASSERT_TRUE(AiTasks_Load());
    }
    {
        FieldReadScope scope(brain, false);
        loadedObject = sObject_Load();
        ASSERT_NE(loadedObject, nullptr);
    }
    Field_RegisterPointer(unitId, unit_);
    Field_ResolvePointers();
    ASSERT_TRUE(AiTasks_PostLoad());
    std::unique_ptr<PersonProcess> loaded(dynamic_cast<PersonProcess*>(loadedObject));
    ASSERT_NE(loaded, nullptr);
    ASSERT_TRUE(loaded->PostLoad());
    EXPECT_EQ(FactoryName(loaded.get()), "PersonEnemy");
    EXPECT_EQ(loaded->me, unit_);
    EXPECT_EQ(loaded->curState, kUStateUser1);
    EXPECT_FALSE(loaded->gettingIn);
    auto* attack = dynamic_cast<PersonAttack*>(loaded->task);
    ASSERT_NE(attack, nullptr);
    ASSERT_EQ(AttackRegistry().size(), 1u);
    EXPECT_EQ(attack->record, AttackRegistry()[0]);
    EXPECT_EQ(attack->record->IndexOf(unit_), 0);
    for (int i = 0; i < 5; ++i) loaded->Execute();
    EXPECT_EQ(loaded->task, attack) << "the attack goes on";
    loaded.reset();
    EXPECT_TRUE(AttackRegistry().empty());
    Field_SetHandleFinder(nullptr);
}

}  // namespace
