// The patrol task's legs, the guided power-up's brain and the torpedo's brain.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "ai/patrolprocess.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/seams/planner.h"
#include "core/seams/registry.h"
#include "fun3d/powerup.h"
#include "fun3d/teamrecord.h"
#include "goto_fixture.h"
#include "platform/random.h"
#include "support/field_stream.h"

namespace {

// The planner's send points as the test sets them: the directions asked, in order, and the one
// (if any) that answers.
struct SendPoints {
    std::vector<int32_t> asked;
    int32_t answers = -1;
    Vector point{};
    int team = -1;
    int kind = -1;
};
SendPoints g_send;

int32_t DirectionOf(int x, int z) {
    for (int32_t d = 0; d < 8; ++d)
        if (Patrol_Step(d).x == x && Patrol_Step(d).z == z) return d;
    return -1;
}

class PatrolTest : public GotoFixture {
protected:
    void SetUp() override {
        GotoFixture::SetUp();
        Ai_InstallPatrolAndGuided();
        g_send = SendPoints{};
        Seam_Planner().sendPoint = [](const Vector&, int x, int z, int team, int kind, Vector* out) {
            const int32_t d = DirectionOf(x, z);
            g_send.asked.push_back(d);
            g_send.team = team;
            g_send.kind = kind;
            if (d != g_send.answers) return false;
            *out = g_send.point;
            return true;
        };
    }
    AiPath* Route() {
        auto* route = new AiPath(nullptr, 0);
        route->points = {{100.0f, 100.0f}, {100.0f, 300.0f}};
        return route;
    }
};

TEST_F(PatrolTest, TheSearchTriesEachDirectionOnceOutwardFromTheCurrentAndGivesUpAfterEight) {
    for (int32_t start : {0, 5, 7}) {
        SCOPED_TRACE(start);
        PatrolTask task(unit_, Route(), 6);
        task.patrolDir = start;
        g_send = SendPoints{};
        EXPECT_FALSE(task.NextLeg());
        std::vector<int32_t> expected;
        for (int k : {0, 1, -1, 2, -2, 3, -3, 4}) expected.push_back(((start + k) % 8 + 8) % 8);
        EXPECT_EQ(g_send.asked, expected);
        std::vector<int32_t> sorted = g_send.asked;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_TRUE(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end()) << "none twice";
        EXPECT_EQ(task.patrolDir, expected.back());
        EXPECT_EQ(g_send.team, 1);
        EXPECT_EQ(g_send.kind, 6);
    }
}

TEST_F(PatrolTest, AFoundPointMakesATwoPointRouteFromTheUnitAndRestartsTheTask) {
    PatrolTask task(unit_, Route(), 6);
    task.patrolDir = 2;
    task.curState = kTaskDone;
    task.nextState = kTaskDone;
    g_send.answers = 1;  // d - 1, the third try
    g_send.point = Vector{250.0f, 40.0f, 180.0f};
    ASSERT_TRUE(task.NextLeg());
    EXPECT_EQ(g_send.asked, (std::vector<int32_t>{2, 3, 1}));
    EXPECT_EQ(task.patrolDir, 1);
    ASSERT_NE(task.path, nullptr);
    ASSERT_EQ(task.path->PointCount(), 2);
    EXPECT_FLOAT_EQ(task.path->points[0].x, 100.0f);
    EXPECT_FLOAT_EQ(task.path->points[0].z, 100.0f);
    EXPECT_FLOAT_EQ(task.path->points[1].x, 250.0f);
    EXPECT_FLOAT_EQ(task.path->points[1].z, 180.0f);
    EXPECT_TRUE(task.release) << "the task owns its leg";
    EXPECT_EQ(task.curState, kTaskStart);
    EXPECT_EQ(task.nextState, kTaskStart);
    // The unit process's patrol entry reaches the same leg search.
    g_send = SendPoints{};
    EXPECT_FALSE(UnitAi_Services().patrolNextLeg(&task));
    EXPECT_EQ(g_send.asked.size(), 8u);
}

TEST_F(PatrolTest, UntilThePlannerAnswersAPatrolRunsItsFirstLegAndEnds) {
    Seams_ResetAll();
    PatrolTask task(unit_, Route(), 6);
    EXPECT_EQ(task.curState, kTaskStart) << "the first leg runs";
    EXPECT_FALSE(task.NextLeg());
}

TEST_F(PatrolTest, TheFirstDirectionComesFromTheSeededGenerator) {
    std::vector<int32_t> first, second;
    for (std::vector<int32_t>* run : {&first, &second}) {
        Random_Seed(77);
        for (int i = 0; i < 6; ++i) run->push_back(PatrolTask(unit_, Route(), 0).patrolDir);
    }
    EXPECT_EQ(first, second);
    for (int32_t d : first) EXPECT_TRUE(d >= 0 && d < 8);
}

TEST_F(PatrolTest, ASavedPatrolLoadsItsTypeCraftAndDirection) {
    Field_SetHandleFinder(GameObject_HandleForSerial);
    auto* task = new PatrolTask(unit_, Route(), 9);
    task->patrolDir = 5;
    Field_ResetSaveIds();
    bool ok = false;
    const std::string bytes = CaptureFields(false, [&](FILE* f) { return AiPaths_Save(f) && AiTasks_Save(f); }, &ok);
    ASSERT_TRUE(ok);
    const size_t type = bytes.find("patrol_type"), craft = bytes.find("my_craft"), dir = bytes.find("patrol_dir");
    ASSERT_NE(dir, std::string::npos);
    EXPECT_LT(type, craft);
    EXPECT_LT(craft, dir);
    EXPECT_LT(dir, bytes.find("pathPoint")) << "ahead of the go-to fields";
    const uint32_t unitId = Field_SaveId(unit_);
    Field_ResetSaveIds();
    const size_t before = AiTasks().size();
    {
        FieldReadScope scope(bytes, false);
        Field_RegisterPointer(unitId, unit_);
        ASSERT_TRUE(AiPaths_Load());
        ASSERT_TRUE(AiTasks_Load());
        Field_ResolvePointers();
    }
    ASSERT_EQ(AiTasks().size(), before * 2);
    auto* loaded = dynamic_cast<PatrolTask*>(AiTasks().back());
    ASSERT_NE(loaded, nullptr);
    ASSERT_TRUE(loaded->PostLoad());
    EXPECT_EQ(loaded->patrolType, 9);
    EXPECT_EQ(loaded->myCraft, unit_);
    EXPECT_EQ(loaded->patrolDir, 5);
    delete loaded;
    Field_SetHandleFinder(nullptr);
}

// ---- the power-up and torpedo brains --------------------------------------------------------------

class GuidedTest : public GotoFixture {
protected:
    void SetUp() override {
        GotoFixture::SetUp();
        Ai_InstallPatrolAndGuided();
        Mission_SetPlayBounds(MapBounds{0.0f, 1000.0f, 0.0f, 1000.0f});
    }
    void TearDown() override {
        Mission_SetPlayBounds(MapBounds{});
        GotoFixture::TearDown();
    }
    PowerUp* NewPowerUp(int32_t team, Vector at) {
        auto* p = GameObject_New<PowerUp>(NewRoot(team, 0u), &powerUpClass_);
        EXPECT_NE(p, nullptr);
        p->SetTeam(team);
        p->pos = at;
        p->entity->local.posit = DVector{at.x, at.y, at.z};
        return p;
    }
    // The brain stepped as the mission does: an exit ends it.
    template <class Brain>
    static bool Step(Brain& brain) {
        brain.Execute();
        return !brain.exited;
    }
    PowerUpClass powerUpClass_{"powerup", Signature("PWUP"), kCategoryPowerUp};
};

TEST_F(GuidedTest, APowerUpWithoutACommandStopsOnItsFirstStep) {
    PowerUp* p = NewPowerUp(1, Vector{500, 0, 500});
    PowerUpProcess brain;
    brain.fOwner = p;
    p->curCmd.what = 0;
    EXPECT_FALSE(Step(brain));
}

TEST_F(GuidedTest, APowerUpNotYetGuidedWaitsInFlightAndOtherwiseStopsWithItsControlsZeroed) {
    PowerUp* p = NewPowerUp(1, Vector{500, 0, 500});
    auto* route = new AiPath(nullptr, 0);
    route->points = {{500, 500}, {500, 600}};
    p->curCmd.what = 3;
    p->curCmd.where = route;
    for (float& c : p->vehicle->controls) c = 0.5f;
    PowerUpProcess brain;
    brain.fOwner = p;
    p->vehicle->flags = kPowerUpInFlight;
    EXPECT_TRUE(Step(brain)) << "rising: it waits";
    EXPECT_FLOAT_EQ(p->vehicle->controls[3], 0.5f);
    p->vehicle->flags = 0;
    EXPECT_FALSE(Step(brain));
    for (float c : p->vehicle->controls) EXPECT_FLOAT_EQ(c, 0.0f);
    // Guided along a route of one point: nowhere to go, as without a command.
    PowerUpProcess second;
    second.fOwner = p;
    route->points = {{500, 500}};
    p->vehicle->flags = kPowerUpGuided;
    p->vehicle->controls[3] = 0.5f;
    EXPECT_FALSE(Step(second));
    EXPECT_FLOAT_EQ(p->vehicle->controls[3], 0.0f);
    p->curCmd.where = nullptr;
    AiPath_DeleteUnnamed(route);
}

TEST_F(GuidedTest, AGuidedPowerUpSteersToTheSecondRoutePoint) {
    struct Case {
        float x, z, yawRate;
        float strafe, throttle, steer;
    } cases[] = {
        {0.0f, 20.0f, 0.0f, 0.0f, 1.0f, 0.0f},     // straight ahead, far
        {0.0f, 2.0f, 0.0f, 0.0f, 0.4f, 0.0f},      // straight ahead, near
        {2.0f, 0.0f, 0.0f, 0.4f, 0.0f, 1.0f},      // to the right
        {-1.0f, 1.0f, 0.0f, -0.2f, 0.2f, -1.0f},   // ahead left: steer saturates
        {0.1f, 10.0f, 0.2f, 0.02f, 1.0f, -0.1500f}, // nearly ahead, already turning
        {0.0f, -10.0f, 0.0f, 0.0f, -1.0f, 0.0f},   // behind: backs up
    };
    for (const Case& c : cases) {
        const PowerUpSteer s = PowerUp_SteerToward(c.x, c.z, c.yawRate);
        EXPECT_NEAR(s.strafe, c.strafe, 1e-3f) << c.x << "," << c.z;
        EXPECT_NEAR(s.throttle, c.throttle, 1e-3f) << c.x << "," << c.z;
        EXPECT_NEAR(s.steer, c.steer, 2e-3f) << c.x << "," << c.z;
    }
    // In the world: the second point 3 m to its right (+x), 20 m ahead (+z).
    PowerUp* p = NewPowerUp(1, Vector{500, 0, 500});
    auto* route = new AiPath(nullptr, 0);
    route->points = {{0, 0}, {503, 520}};
    p->curCmd.what = 3;
    p->curCmd.where = route;
    p->vehicle->flags = kPowerUpGuided | kPowerUpInFlight;
    PowerUpProcess brain;
    brain.fOwner = p;
    EXPECT_TRUE(Step(brain));
    const PowerUpSteer want = PowerUp_SteerToward(3.0f, 20.0f, 0.0f);
    EXPECT_NEAR(p->vehicle->controls[0], want.steer, 1e-4f);
    EXPECT_NEAR(p->vehicle->controls[2], want.strafe, 1e-4f);
    EXPECT_NEAR(p->vehicle->controls[3], want.throttle, 1e-4f);
    p->curCmd.where = nullptr;
    AiPath_DeleteUnnamed(route);
}

TEST_F(GuidedTest, ATorpedoAtTheEdgeOrTooFastIsRemoved) {
    struct Case {
        const char* name;
        Vector at;
        float speed;
        bool removed;
    } cases[] = {
        {"19 m from the west edge", {19, 0, 500}, 30.0f, true},
        {"21 m from the west edge", {21, 0, 500}, 30.0f, false},
        {"19 m from the north edge", {500, 0, 981}, 30.0f, true},
        {"21 m from the north edge", {500, 0, 979}, 30.0f, false},
        {"faster than 100", {500, 0, 500}, 101.0f, true},
        {"at 100", {500, 0, 500}, 100.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PowerUp* t = NewPowerUp(2, c.at);
        t->euler.speed = c.speed;
        TorpedoProcess brain;
        brain.fOwner = t;
        brain.Execute();
        EXPECT_EQ((t->entity->flags & kEntityDead) != 0, c.removed);
    }
}

TEST_F(GuidedTest, ATorpedoKeepsItsFirstTargetUntilItDiesThenSearchesAgain) {
    PowerUp* t = NewPowerUp(2, Vector{500, 0, 500});
    Craft* first = NewCraft(*cls_, 1, Vector{500, 0, 540});
    Craft* second = NewCraft(*cls_, 1, Vector{500, 0, 560});
    TorpedoProcess brain;
    brain.fOwner = t;
    brain.Execute();
    EXPECT_EQ(t->target, first->GetObjHandle());
    EXPECT_FLOAT_EQ(t->vehicle->controls[0], 0.0f) << "searching, it runs straight";
    // The other comes closer: the torpedo stays on its first target.
    second->pos = Vector{500, 0, 510};
    second->entity->local.posit = DVector{500, 0, 510};
    brain.Execute();
    EXPECT_EQ(t->target, first->GetObjHandle());
    first->entity->flags |= kEntityDead;
    brain.Execute();  // the dead target is let go: a search
    EXPECT_EQ(t->target, second->GetObjHandle());
}

TEST_F(GuidedTest, TheTorpedoSearchTakesOnlyLiveUnalliedTeamObjectsWithin100M) {
    TeamRecord::Get(2)->AddAlly(3);
    struct Case {
        const char* name;
        int32_t team;
        int32_t perceived;
        Vector at;
        bool ignoredClass;
        bool taken;
    } cases[] = {
        {"an enemy 90 m off", 1, 1, {590, 0, 500}, false, true},
        {"an enemy 99 m along the ground but 101 m in 3-D", 1, 1, {599, 20, 500}, false, false},
        {"no team", 0, 0, {520, 0, 500}, false, false},
        {"its own team", 2, 2, {520, 0, 500}, false, false},
        {"an ally", 3, 3, {520, 0, 500}, false, false},
        {"an enemy taken for an ally", 1, 3, {520, 0, 500}, false, false},
        {"a class the searches pass by", 1, 1, {520, 0, 500}, true, false},
    };
    CraftClass& ignored = NewCraftClass();
    ignored.classFlags |= 0x1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PowerUp* t = NewPowerUp(2, Vector{500, 0, 500});
        Craft* other = NewCraft(c.ignoredClass ? ignored : *cls_, c.team, c.at);
        other->SetPerceivedTeam(c.perceived);
        unit_->entity->flags |= kEntityDead;  // the fixture's own craft stays out of it
        TorpedoProcess brain;
        brain.fOwner = t;
        brain.Execute();
        EXPECT_EQ(t->target == other->GetObjHandle() && t->target != 0, c.taken);
        other->entity->flags |= kEntityDead;
        t->entity->flags |= kEntityDead;
    }
}

TEST_F(GuidedTest, TheTorpedoSteersAtItsTarget) {
    struct Case {
        Vector offset, right;
        float yawRate;
        float steer;
    } cases[] = {
        {{0, 0, 50}, {1, 0, 0}, 0.0f, 0.0f},          // dead ahead
        {{10, 0, 50}, {1, 0, 0}, 0.0f, -0.9806f},     // right: -5 * 10 / 50.99
        {{-2, 0, 100}, {1, 0, 0}, 0.0f, 0.1000f},     // a little left
        {{-2, 0, 100}, {1, 0, 0}, 0.3f, -0.2000f},    // already turning past it
        {{30, 0, 0}, {1, 0, 0}, 0.0f, -1.0f},         // abeam: saturated
        {{0, 0, 0}, {1, 0, 0}, 0.0f, 0.0f},           // on it: no division by zero
    };
    for (const Case& c : cases) {
        const float s = Torpedo_SteerToward(c.offset, c.right, c.yawRate);
        EXPECT_TRUE(std::isfinite(s));
        EXPECT_NEAR(s, c.steer, 2e-3f) << c.offset.x << "," << c.offset.z;
    }
}

}  // namespace
