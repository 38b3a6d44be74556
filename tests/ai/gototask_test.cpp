#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "fun3d/teamrecord.h"
#include "goto_fixture.h"
#include "support/field_stream.h"

namespace {

using GotoTest = GotoFixture;

TEST_F(GotoTest, ArrivalRadiusByExactnessClearanceAndTargetKind) {
    CraftClass& plain = NewCraftClass();
    CraftClass& pickup = NewCraftClass();
    pickup.category = 3;
    CraftClass& scrap = NewCraftClass();
    scrap.category = 7;
    struct Case {
        const char* what;
        bool exact;
        float unitRadius;
        CraftClass* targetClass;  // null: a task to a point
        float distance;
        bool arrives;
    } cases[] = {
        {"exact inside 5", true, 2, nullptr, 4.9f, true},
        {"exact outside 5", true, 2, nullptr, 5.1f, false},
        {"loose inside sqrt 6 x 5", false, 2, nullptr, 12.2f, true},
        {"loose outside sqrt 6 x 5", false, 2, nullptr, 12.3f, false},
        {"a wide unit arrives at its radius", true, 8, &plain, 7.9f, true},
        {"but not beyond it", true, 8, &plain, 8.1f, false},
        {"a narrow unit keeps 5", true, 4, &plain, 5.1f, false},
        {"toward a pick-up 5 stays", true, 8, &pickup, 7.9f, false},
        {"toward scrap 5 stays", true, 8, &scrap, 7.9f, false},
        {"toward scrap inside 5", true, 8, &scrap, 4.9f, true},
    };
    const Vector goal{300, 0, 100};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Place(unit_, Vector{100, 0, 100});
        unit_->radius = c.unitRadius;
        GameObject* target = nullptr;
        GotoTask* task = nullptr;
        if (c.targetClass) {
            target = NewCraft(*c.targetClass, 2, goal);
            target->radius = 1.0f;
            task = new GotoTask(unit_, target);
        } else {
            auto* route = new AiPath(nullptr, 0);
            route->points = {{50, 50}, {goal.x, goal.z}};
            task = new GotoTask(unit_, route, c.exact);
            task->release = true;
        }
        ToGoto(task);
        ASSERT_EQ(task->curState, kTaskGoto);
        task->planPoint = task->plan->PointCount() - 1;
        task->pathPoint = task->path->PointCount() - 1;
        Place(unit_, Vector{goal.x - c.distance, 0, goal.z});
        task->Update();
        EXPECT_EQ(task->nextState == kTaskDone, c.arrives);
        delete task;
        if (target) delete target;
    }
}

TEST_F(GotoTest, TouchingTheTargetIsArrivingWhateverTheDistance) {
    GameObject* target = NewCraft(*cls_, 2, Vector{300, 0, 100});
    GameObject* other = NewCraft(*cls_, 2, Vector{300, 0, 140});
    struct Case {
        const char* what;
        bool hit;
        GameObject* touched;
        bool arrives;
    } cases[] = {
        {"touching the target", true, target, true},
        {"touching something else", true, other, false},
        {"a stale record", false, target, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Place(unit_, Vector{100, 0, 100});
        GotoTask task(unit_, target);
        ToGoto(&task);
        task.planPoint = task.plan->PointCount() - 1;
        Place(unit_, Vector{280, 0, 100});  // 20 m short, near enough not to re-route
        unit_->radius = 8.0f;
        ASSERT_NE(unit_->body, nullptr);
        unit_->body->contact.hit = c.hit ? 1 : 0;
        unit_->body->contact.entity = c.touched->entity;
        task.Update();
        EXPECT_EQ(task.nextState == kTaskDone, c.arrives);
        unit_->body->contact.hit = 0;
        unit_->body->contact.entity = nullptr;
    }
}

TEST_F(GotoTest, InsideTheSlowDownZoneTheStuckClockIsResetEveryFrame) {
    struct Case {
        const char* what;
        bool exact;
        float distance;
        bool impassable;
        bool reset;
    } cases[] = {
        {"exact: within 10", true, 9.9f, false, true},
        {"exact: beyond 10", true, 10.1f, false, false},
        {"loose: within sqrt 2 x 10", false, 14.0f, false, true},
        {"loose: beyond it", false, 14.3f, false, false},
        {"on a blocked cell: no reset", true, 9.0f, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        static bool impassable = false;
        impassable = c.impassable;
        UnitTask_Hooks().isImpassableAt = [](const Vector&) { return impassable; };
        Place(unit_, Vector{100, 0, 100});
        auto* route = new AiPath(nullptr, 0);
        route->points = {{50, 50}, {300, 100}};
        GotoTask task(unit_, route, c.exact);
        task.release = true;
        ToGoto(&task);
        task.planPoint = 1;
        task.pathPoint = 1;
        Place(unit_, Vector{300.0f - c.distance, 0, 100});
        task.nextStuck = 45.0f;  // no stuck test is due
        task.Update();
        EXPECT_EQ(task.nextStuck == Clock_GetTime() + 5.0f, c.reset);
        UnitTask_Hooks().isImpassableAt = [](const Vector&) { return false; };
    }
}

TEST_F(GotoTest, AtARoutePointTheTaskMovesOnLoopsBackHoldsOrFinishes) {
    struct Case {
        const char* what;
        int32_t kind;
        bool hold;
        int32_t at;
        int32_t next;
        int32_t pathPoint;
    } cases[] = {
        {"a middle point: on to the next", 0, false, 1, kTaskGoto, 2},
        {"the end: finished", 0, false, 2, kTaskDone, 2},
        {"the end of a loop: back to the first", 2, false, 2, kTaskGoto, 0},
        {"the end, held: keeps testing", 0, true, 2, -1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* route = new AiPath("route", 0);
        route->points = {{100, 300}, {200, 300}, {300, 300}};
        route->pathType = c.kind;
        Place(unit_, Vector{0, 0, 0});
        GotoTask task(unit_, route, true);
        task.holdAtEnd = c.hold;
        ToGoto(&task);
        task.pathPoint = c.at;
        task.planPoint = task.plan->PointCount() - 1;
        task.gotoPoint = task.RoutePoint(c.at);
        const Vector2D p = route->points[static_cast<size_t>(c.at)];
        Place(unit_, Vector{p.x, 0, p.z + 1.0f});
        task.Update();
        EXPECT_EQ(task.nextState, c.next);
        EXPECT_EQ(task.pathPoint, c.pathPoint);
        if (c.next == kTaskGoto) {
            EXPECT_FLOAT_EQ(task.gotoPoint.x, route->points[static_cast<size_t>(c.pathPoint)].x);
        }
        if (c.hold) {
            task.Update();  // still there, still in GOTO
            EXPECT_EQ(task.curState, kTaskGoto);
            EXPECT_EQ(task.nextState, -1);
        }
        delete route;
    }
}

TEST_F(GotoTest, TasksWithNothingToDoAreBornFinished) {
    auto* empty = new AiPath(nullptr, 0);
    auto* named = new AiPath("nowhere", 0);
    struct Case {
        const char* what;
        UnitTask* task;
    } cases[] = {
        {"to no object", new GotoTask(unit_, static_cast<GameObject*>(nullptr))},
        {"along no route", new GotoTask(unit_, static_cast<AiPath*>(nullptr), true)},
        {"along a route without points", new GotoTask(unit_, empty, true)},
        {"along a named path without points", new GotoTask(unit_, named, false)},
        {"near no object", new GoNear(unit_, nullptr, 10.0f)},
        {"near no object along a route", new GoNear(unit_, nullptr, named, 10.0f)},
        {"fetch nothing", new GoGet(unit_, nullptr)},
        {"sit near nothing", new GoNearAndSit(unit_, nullptr, 10.0f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(c.task->IsDone());
        c.task->Update();
        EXPECT_TRUE(c.task->IsDone());
        delete c.task;
    }
    // A finished task never lets go of a route it was only given.
    EXPECT_EQ(AiPath_Find("nowhere"), named);
    delete empty;
}

TEST_F(GotoTest, ARouteStartingAtTheUnitIsItsPlanAndItHeadsForTheEnd) {
    Place(unit_, Vector{100, 0, 100});
    auto* route = new AiPath(nullptr, 0);
    route->points = {{100.5f, 100}, {150, 100}, {150, 150}, {200, 150}};
    GotoTask task(unit_, route, true);
    ASSERT_NE(task.plan, nullptr);
    EXPECT_NE(task.plan, route);
    EXPECT_EQ(task.plan->PointCount(), 4);
    ToGoto(&task);
    EXPECT_EQ(task.pathPoint, 3);
    EXPECT_FLOAT_EQ(task.gotoPoint.x, 200.0f);
    // Arriving at the end finishes: nothing drives it back to the middle points.
    task.planPoint = 3;
    Place(unit_, Vector{199, 0, 150});
    task.Update();
    EXPECT_EQ(task.nextState, kTaskDone);
    delete route;
    // The route of the unit's command is planned as usual, and its target is not avoided.
    GameObject* who = NewCraft(*cls_, 1, Vector{500, 0, 500});
    auto* commanded = new AiPath(nullptr, 0);
    commanded->points = {{100.5f, 100}, {150, 100}};
    unit_->curCmd.where = commanded;
    unit_->curCmd.who = who->GetObjHandle();
    GotoTask ordered(unit_, commanded, true);
    EXPECT_EQ(ordered.plan, nullptr);
    EXPECT_EQ(ordered.avoidSkip, who->GetObjHandle());
    unit_->ClearCommand();
}

TEST_F(GotoTest, GoNearFamilyNearTheTarget) {
    GameObject* target = NewCraft(*cls_, 1, Vector{100, 0, 110});
    // GoNear finishes within its distance.
    Place(unit_, Vector{100, 0, 100});
    GoNear near(unit_, target, 12.0f);
    for (int i = 0; i < 3 && near.nextState != kTaskDone; ++i) near.Update();
    EXPECT_EQ(near.nextState, kTaskDone);
    EXPECT_TRUE(near.wasNear);
    EXPECT_FLOAT_EQ(near.nearTime, Clock_GetTime());

    // GoGet drives straight onto it and finishes 5 s after it first came within 6 m.
    Place(unit_, Vector{100, 0, 90});
    GoGet get(unit_, target);
    EXPECT_FLOAT_EQ(get.switchDist, 5.0f);
    EXPECT_FLOAT_EQ(get.steerFactor, 1.0f);
    ToGoto(&get);
    EXPECT_FALSE(get.wasNear);
    Place(unit_, Vector{100, 0, 105});
    const float first = Clock_GetTime();
    for (float t : {0.0f, 2.0f, 4.9f, 5.0f}) {
        Clock_SetTime(first + t);
        Place(unit_, Vector{100, 0, 105.0f + t / 10.0f});
        get.Update();
        SCOPED_TRACE(t);
        EXPECT_NE(get.nextState, kTaskDone);
        EXPECT_GT(unit_->controls.throttle, 0.0f);  // onward onto it
    }
    EXPECT_FLOAT_EQ(get.nearTime, first);
    Clock_SetTime(first + 5.1f);
    get.Update();
    EXPECT_EQ(get.nextState, kTaskDone);

    // GoNearAndSit never finishes: it holds there turning.
    Place(unit_, Vector{100, 0, 105});
    GoNearAndSit sit(unit_, target, 10.0f);
    for (int i = 0; i < 300; ++i) {
        Clock_SetTime(first + 10.0f + static_cast<float>(i));
        sit.Update();
    }
    EXPECT_FALSE(sit.IsDone());
    EXPECT_NE(sit.nextState, kTaskDone);
    EXPECT_FLOAT_EQ(unit_->controls.steering, 0.5f);
    EXPECT_EQ(unit_->controls.boost, 0);
}

TEST_F(GotoTest, AMovingTargetIsFollowedOnlyWhenFarFromTheGoalOrOutOfReachAtTheEnd) {
    struct Case {
        const char* what;
        float targetSpeed;
        float targetMovedBy;  // from the goal, east
        bool onLastLeg;
        float unitToGoal;
        bool reroutes;
    } cases[] = {
        {"still beyond 40 m: none", 0.0f, 45.0f, false, 100.0f, false},
        {"moving within 40 m: none", 5.0f, 39.0f, false, 100.0f, false},
        {"moving beyond 40 m: re-routed", 5.0f, 41.0f, false, 100.0f, true},
        {"at the end, target out of reach: re-routed", 0.0f, 30.0f, true, 4.0f, true},
        {"at the end, target in reach: none", 0.0f, 10.0f, true, 4.0f, false},
        {"on the last leg but not there yet: none", 0.0f, 30.0f, true, 6.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Vector goal{300, 0, 100};
        Place(unit_, Vector{100, 0, 100});
        unit_->radius = 2.0f;
        GameObject* target = NewCraft(*cls_, 2, goal);
        Place(target, goal);
        target->radius = 3.0f;
        // A re-route is told by what it does: a new route to the target's new place, and a new
        // plan along it (a freed route's address may well be handed to the new one).
        static int plans;
        plans = 0;
        UnitTask_Hooks().planForUnit = [](GameObject* unit, const Vector& to) {
            ++plans;
            auto* path = new AiPath(nullptr, 0);
            const DVector& p = unit->entity->local.posit;
            path->points = {{static_cast<float>(p.x), static_cast<float>(p.z)}, {to.x, to.z}};
            return path;
        };
        GotoTask task(unit_, target);
        ToGoto(&task);
        ASSERT_EQ(plans, 1);
        ASSERT_NE(task.path, nullptr);
        ASSERT_FLOAT_EQ(task.path->points.back().x, goal.x);
        task.planPoint = c.onLastLeg ? task.plan->PointCount() - 1 : 0;
        Place(unit_, Vector{goal.x - c.unitToGoal, 0, goal.z});
        Place(target, Vector{goal.x + c.targetMovedBy, 0, goal.z});
        target->SetVelocity(Vector{c.targetSpeed, 0, 0});
        task.Update();
        ASSERT_NE(task.path, nullptr);
        if (c.reroutes) {
            EXPECT_EQ(task.nextState, kTaskGoto);
            EXPECT_EQ(task.plan, nullptr);
            EXPECT_TRUE(task.release);
            EXPECT_FLOAT_EQ(task.destPoint.x, goal.x + c.targetMovedBy);
            EXPECT_FLOAT_EQ(task.path->points.back().x, goal.x + c.targetMovedBy);
            // Driving on, the unit plans its way along the new route.
            ToGoto(&task);
            EXPECT_EQ(plans, 2);
            ASSERT_NE(task.plan, nullptr);
            EXPECT_FLOAT_EQ(task.plan->points.back().x, goal.x + c.targetMovedBy);
        } else {
            EXPECT_EQ(plans, 1);
            EXPECT_FLOAT_EQ(task.path->points.back().x, goal.x);
            EXPECT_FLOAT_EQ(task.destPoint.x, goal.x);
        }
        delete target;
    }
}

TEST_F(GotoTest, AVanishedTargetEndsTheTaskOnTheNextFrame) {
    for (const bool dies : {true, false}) {
        SCOPED_TRACE(dies ? "dies" : "is deleted");
        GameObject* target = NewCraft(*cls_, 2, Vector{300, 0, 100});
        GotoTask task(unit_, target);
        ToGoto(&task);
        if (dies) Kill(target);
        else delete target;
        task.Update();
        EXPECT_EQ(task.himHandle, 0u);
        EXPECT_EQ(task.nextState, kTaskDone);
        task.Update();
        EXPECT_TRUE(task.IsDone());
        if (dies) delete target;
    }
}

TEST_F(GotoTest, ATaskLetsGoOnlyOfRoutesItMadeAndNeverOfANamedPath) {
    const size_t before = AiPaths().size();
    { GotoTask own(unit_, Vector{300, 0, 300}); EXPECT_EQ(AiPaths().size(), before + 1); }
    EXPECT_EQ(AiPaths().size(), before);
    auto* named = new AiPath("patrol", 0);
    named->points = {{0, 0}, {10, 10}};
    auto* given = new AiPath(nullptr, 0);
    given->points = {{0, 0}, {10, 10}};
    {
        auto* a = new GotoTask(unit_, named, true);
        a->release = true;  // even so
        auto* b = new GotoTask(unit_, given, true);
        delete a;
        delete b;
    }
    EXPECT_EQ(AiPath_Find("patrol"), named);
    EXPECT_NE(std::find(AiPaths().begin(), AiPaths().end(), given), AiPaths().end());
    // A command route freed under the task is not read.
    unit_->curCmd.where = given;
    GotoTask task(unit_, given, true);
    unit_->ClearCommand();
    task.Update();
    task.Update();
    EXPECT_FALSE(task.IsDone());
}

TEST_F(GotoTest, ATaskThatOutlivesItsUnitLetsGoQuietly) {
    GameObject* leader = NewCraft(*cls_, 1, Vector{300, 0, 300});
    Craft* a = NewCraft(*cls_, 1, Vector{100, 0, 100});
    Craft* b = NewCraft(*cls_, 1, Vector{100, 0, 120});
    auto* go = new GotoTask(a, Vector{300, 0, 100});
    auto* follow = new FollowTask(b, leader);
    ToGoto(go);
    follow->Update();
    follow->Update();
    delete a;  // the units go first, as at a mission's end
    delete b;
    delete go;
    delete follow;
    EXPECT_TRUE(AiTasks().empty());
    EXPECT_TRUE(FollowRegistry().empty());
}

TEST_F(GotoTest, BareGoPointsFinishesAtOnceAndAKindsPointsAreVisitedInTurn) {
    GoPoints bare(unit_);
    EXPECT_EQ(bare.curState, kTaskWait);
    bare.Update();
    EXPECT_EQ(bare.nextState, kTaskDone);
    bare.Update();
    EXPECT_TRUE(bare.IsDone());

    struct TwoPoints : GoPoints {
        using GoPoints::GoPoints;
        bool NextPoint(Vector* p) override {
            if (given == 2) return false;
            *p = given++ == 0 ? Vector{200, 0, 100} : Vector{200, 0, 200};
            return true;
        }
        bool AtPoint() override {
            ++atPoint;
            return true;
        }
        int given = 0, atPoint = 0;
    } points(unit_);
    Place(unit_, Vector{100, 0, 100});
    points.Update();  // WAIT: the first point, planned at once
    EXPECT_EQ(points.given, 1);
    EXPECT_EQ(points.nextState, kTaskStart);
    ASSERT_NE(points.plan, nullptr);
    ASSERT_NE(points.path, nullptr);
    EXPECT_FLOAT_EQ(points.path->points.back().x, 200.0f);
    ToGoto(&points);
    Place(unit_, Vector{198, 0, 100});
    points.Update();
    EXPECT_EQ(points.atPoint, 1);
    EXPECT_EQ(points.nextState, kTaskWait);
    points.Update();  // WAIT again: the second point
    points.Update();
    EXPECT_EQ(points.given, 2);
    EXPECT_FLOAT_EQ(points.path->points.back().z, 200.0f);
    ToGoto(&points);
    Place(unit_, Vector{200, 0, 199});
    points.Update();
    points.Update();
    points.Update();
    EXPECT_TRUE(points.IsDone());
}

TEST_F(GotoTest, SavedTasksLoadTheirFieldsAndOldFilesLoadLoose) {
    GameObject* target = NewCraft(*cls_, 2, Vector{300, 0, 100});
    Field_SetHandleFinder(GameObject_HandleForSerial);
    auto* near = new GoNear(unit_, target, 9.0f);
    near->exact = true;
    near->wasNear = true;
    near->nearTime = 42.0f;
    near->pathPoint = 1;
    auto* geyser = new GotoGeyser(unit_, target);
    auto* points = new GoPoints(unit_);
    (void)points;
    for (const int32_t version : {kSaveVersionCurrent, 1035}) {
        SCOPED_TRACE(version);
        Field_ResetSaveIds();
        bool ok = false;
        std::string bytes = CaptureFields(false, [&](FILE* f) { return AiPaths_Save(f) && AiTasks_Save(f); }, &ok);
        ASSERT_TRUE(ok);
        const uint32_t unitId = Field_SaveId(unit_);
        Field_ResetSaveIds();
        if (version <= 1035)
            for (const char* field : {"exact", "nextStuck"})
                for (size_t at = bytes.find(field); at != std::string::npos; at = bytes.find(field))
                    bytes.erase(at, bytes.find("\r\n", bytes.find("\r\n", at) + 2) + 2 - at);
        std::vector<AiTask*> keep(AiTasks().begin(), AiTasks().end());
        const size_t paths = AiPaths().size();
        {
            FieldReadScope scope(bytes, false, version);
            Field_RegisterPointer(unitId, unit_);
            ASSERT_TRUE(AiPaths_Load());
            ASSERT_TRUE(AiTasks_Load());
            EXPECT_EQ(scope.Offset(), scope.Size());
            Field_ResolvePointers();
        }
        ASSERT_EQ(AiTasks().size(), 6u);
        for (size_t i = 3; i < 6; ++i) ASSERT_TRUE(AiTasks()[i]->PostLoad());
        auto* n = dynamic_cast<GoNear*>(AiTasks()[3]);
        auto* g = dynamic_cast<GotoGeyser*>(AiTasks()[4]);
        auto* p = dynamic_cast<GoPoints*>(AiTasks()[5]);
        ASSERT_TRUE(n && g && p);
        EXPECT_EQ(n->exact, version > 1035);
        EXPECT_TRUE(n->wasNear);
        EXPECT_FLOAT_EQ(n->nearTime, 42.0f);
        EXPECT_FLOAT_EQ(n->nearSq, 81.0f);
        EXPECT_EQ(n->pathPoint, 1);
        EXPECT_TRUE(n->release);
        ASSERT_NE(n->path, nullptr);
        EXPECT_EQ(n->path->PointCount(), 2);
        EXPECT_NE(n->path, near->path);
        EXPECT_TRUE(n->holdAtEnd);
        EXPECT_EQ(n->himHandle, target->GetObjHandle());
        EXPECT_EQ(g->oneGeyser, target->GetObjHandle());
        EXPECT_FALSE(g->blocked);
        EXPECT_EQ(g->curState, kTaskStart);
        EXPECT_EQ(p->curState, kTaskWait);
        EXPECT_TRUE(p->holdAtEnd);
        for (size_t i = 3; i < 6; ++i) delete AiTasks()[3];
        EXPECT_EQ(AiPaths().size(), paths);
        (void)keep;
    }
    (void)geyser;
    Field_SetHandleFinder(nullptr);
}

TEST_F(GotoTest, TheProcessesTaskMakersMakeTheRealKinds) {
    GameObject* target = NewCraft(*cls_, 2, Vector{300, 0, 100});
    auto* route = new AiPath("road", 0);
    route->points = {{0, 0}, {300, 300}};
    UnitAiServices& s = UnitAi_Services();
    struct Case {
        const char* what;
        UnitTask* task;
        const char* kind;
        bool exact;
    } cases[] = {
        {"to an object", s.gotoObject(unit_, target), "GotoTask", true},
        {"along a route, exact", s.gotoPath(unit_, route, true), "GotoTask", true},
        {"along a route, loose", s.gotoPath(unit_, route, false), "GotoTask", false},
        {"to fetch", s.goGet(unit_, target), "GoGet", true},
        {"to follow", s.followTask(unit_, target), "FollowTask", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NE(c.task, nullptr);
        EXPECT_STREQ(c.task->GetFactory()->name, c.kind);
        if (auto* go = dynamic_cast<GotoTask*>(c.task)) {
            EXPECT_EQ(go->exact, c.exact);
        }
        EXPECT_FALSE(c.task->IsDone());
        s.taskDelete(c.task);
    }
    EXPECT_TRUE(AiTasks().empty());
    EXPECT_EQ(AiPath_Find("road"), route);
}

class GeyserTest : public GotoFixture {
protected:
    void SetUp() override {
        GotoFixture::SetUp();
        geyserClass_ = &NewCraftClass();
        geyserClass_->signature = Signature("GEIZ");
        user_ = NewCraft(*cls_, 1, Vector{0, 0, 0}, true);
        Place(unit_, Vector{100, 0, 100});
        powered_ = false;
        UnitAi_Services().findPowerSource = [](GameObject*) { return powered_; };
    }
    GameObject* Geyser(Vector at) {
        GameObject* g = NewCraft(*geyserClass_, 0, at);
        Place(g, at);
        return g;
    }
    CraftClass* geyserClass_ = nullptr;
    GameObject* user_ = nullptr;
    static bool powered_;
};
bool GeyserTest::powered_ = false;

TEST_F(GeyserTest, TheNearestFreeGeyserIsFoundAndATakenOneByAnEarlierTeamMate) {
    GameObject* far = Geyser(Vector{400, 0, 100});
    GameObject* near = Geyser(Vector{150, 0, 100});
    EXPECT_EQ(GotoGeyser_FindNearest(Vector{100, 0, 100}, nullptr), near);
    EXPECT_EQ(GotoGeyser_FindNearest(Vector{100, 0, 100}, near), far);
    static GameObject* taken = nullptr;
    taken = near;
    UnitAi_Services().powerSourceInUse = [](GameObject* g) { return g == taken; };
    EXPECT_EQ(GotoGeyser_FindNearest(Vector{100, 0, 100}, nullptr), far);
    UnitAi_Services().powerSourceInUse = [](GameObject*) { return false; };

    // Taken: the team mate in the slot was made before the unit, is bound for the geyser and
    // within 15 m of it.
    Craft* early = NewCraft(*cls_, 1, Vector{150, 0, 110});
    Craft* me = NewCraft(*cls_, 1, Vector{100, 0, 100});
    Craft* late = NewCraft(*cls_, 1, Vector{150, 0, 110});
    TeamRecord* team = TeamRecord::Get(1);
    struct Case {
        const char* what;
        Craft* mate;
        int32_t code;
        GameObject* who;
        float distance;
        bool taken;
    } cases[] = {
        {"made earlier, go to geyser, 10 m", early, kCmdCodeGoToGeyser, nullptr, 10.0f, true},
        {"made earlier, go to it, 15 m", early, kCmdCodeGo, near, 15.0f, true},
        {"beyond 15 m", early, kCmdCodeGoToGeyser, nullptr, 15.1f, false},
        {"go elsewhere", early, kCmdCodeGo, far, 10.0f, false},
        {"following", early, kCmdCodeFollow, nullptr, 10.0f, false},
        {"made later", late, kCmdCodeGoToGeyser, nullptr, 10.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Place(c.mate, Vector{150, 0, 100.0f + c.distance});
        c.mate->curCmd.what = c.code;
        c.mate->curCmd.who = c.who ? c.who->GetObjHandle() : 0;
        team->SetSlot(2, c.mate);
        team->SetSlot(3, nullptr);
        EXPECT_EQ(GotoGeyser_IsTaken(near, me, 2), c.taken);
        EXPECT_FALSE(GotoGeyser_IsTaken(near, me, 3));  // an empty slot
        team->SetSlot(2, nullptr);
    }
}

TEST_F(GeyserTest, AGeyserTaskParksWithinThreeMetresAndFinishesOncePowered) {
    GameObject* geyser = Geyser(Vector{200, 0, 100});
    GotoGeyser task(unit_, geyser);
    ASSERT_FALSE(Said().empty());
    EXPECT_EQ(Said().back(), "v15");
    EXPECT_TRUE(task.holdAtEnd);
    EXPECT_EQ(task.oneGeyser, geyser->GetObjHandle());
    ToGoto(&task);
    task.planPoint = task.plan->PointCount() - 1;
    struct Case {
        const char* what;
        float distance;
        float speed;
        bool powered;
        bool done;
        bool fine;  // the slow approach
    } cases[] = {
        {"7 m: the slow approach", 7.0f, 0.0f, true, false, true},
        {"2 m, moving: the slow approach", 2.0f, 1.0f, true, false, true},
        {"2 m, still, no power: the slow approach", 2.0f, 0.0f, false, false, true},
        {"2 m, still, powered: done", 2.0f, 0.2f, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        powered_ = c.powered;
        task.braccelFactor = 0.05f;
        Place(unit_, Vector{200.0f - c.distance, 0, 100});
        unit_->SetVelocity(Vector{c.speed, 0, 0});
        task.nextState = -1;
        task.Update();
        EXPECT_EQ(task.nextState == kTaskDone, c.done);
        EXPECT_EQ(task.braccelFactor == 0.08f, c.fine);
    }
}

TEST_F(GeyserTest, ABlockedGeyserIsReportedOnceAndWithoutAFreeGeyserTheTaskEnds) {
    static GameObject* blocker = nullptr;
    UnitAi_Services().findNearestObstacle = [](GameObject*, GameObject*) { return blocker; };
    GameObject* geyser = Geyser(Vector{120, 0, 100});
    blocker = NewCraft(*cls_, 2, Vector{110, 0, 100});
    Place(blocker, Vector{110, 0, 100});
    GotoGeyser task(unit_, geyser);
    EXPECT_TRUE(task.Refresh());
    EXPECT_TRUE(task.blocked);
    EXPECT_TRUE(task.Refresh());  // still blocked: nothing new
    EXPECT_TRUE(task.blocked);
    Place(blocker, Vector{300, 0, 300});
    task.Refresh();
    EXPECT_FALSE(task.blocked);
    blocker = nullptr;

    // Any free geyser: a taken one is swapped for the next, and its plan goes with it.
    GameObject* other = Geyser(Vector{100, 0, 160});
    GotoGeyser any(unit_);
    EXPECT_EQ(any.himHandle, geyser->GetObjHandle());
    EXPECT_EQ(any.oneGeyser, 0u);
    ToGoto(&any);
    ASSERT_NE(any.plan, nullptr);
    UnitAi_Services().powerSourceInUse = [](GameObject* g) { return g->GetObjHandle() != 0 && g->pos.x == 120.0f; };
    any.Update();
    EXPECT_EQ(any.himHandle, other->GetObjHandle());
    EXPECT_EQ(any.plan, nullptr);
    EXPECT_EQ(any.curState, kTaskStart);
    EXPECT_FLOAT_EQ(any.path->points.back().z, 160.0f);

    // With none free: message 14 and done; one given geyser that is taken: done quietly.
    UnitAi_Services().powerSourceInUse = [](GameObject*) { return true; };
    Said().clear();
    any.Update();  // START again
    any.Update();
    EXPECT_EQ(any.nextState, kTaskDone);
    ASSERT_EQ(Said().size(), 1u);
    EXPECT_EQ(Said().back(), "v14");
    Said().clear();
    UnitProcess_ResetSay();
    GotoGeyser none(unit_);
    EXPECT_TRUE(none.IsDone());
    ASSERT_EQ(Said().size(), 1u);
    EXPECT_EQ(Said().back(), "v14");
    Said().clear();
    task.Update();
    task.Update();
    EXPECT_EQ(task.nextState, kTaskDone);
    EXPECT_TRUE(Said().empty());
}

}  // namespace
