#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Objkr/bucketgrid.h"
#include "ai/avoidance.h"
#include "ai/aiinstall.h"
#include "ai/aipath.h"
#include "ai/aistandins.h"
#include "ai/avoidsettings.h"
#include "ai/unittask.h"
#include "ai/pathgrid.h"
#include "avoidance_config.h"
#include "core/clock.h"
#include "pathgrid_fixture.h"
#include "platform/msgbox.h"
#include "support/memory_files.h"
#include "world_fixture.h"

namespace {

class AvoidanceTest : public WorldFixture {
protected:
    void SetUp() override {
        WorldFixture::SetUp();
        Avoidance_ResetConfig();
        AvoidanceSettings& s = Avoidance_Settings();
        // Round tuning of the tests' own, so the expected pushes are easy to follow.
        s.lateralAvoidanceMultiplier = 4.0f;
        s.lateralDangerWidth = 2.0f;
        s.lookAheadTime = 2.0f;
        s.safetyCoeff = 1.5f;
        s.repulsiveCoefficient = 500.0f;
        s.distanceOfInfluence = 50.0f;
    }
    void TearDown() override {
        Plat_ClearMessageBoxLog();
        WorldFixture::TearDown();
    }

public:
    // A unit of the signature at (500, 500) on team 1, radius 2, moving at the velocity.
    GameObject* Unit(Vector velocity = {0, 0, 10}, const char* signature = "CRFT") {
        GameObject* u = Put(signature, 1, 1, 1, {500, 0, 500});
        u->SetVelocity(velocity);
        return u;
    }
    // The pushes the unit gets toward the goal 100 m ahead.
    Vector Steer(GameObject* unit, float range = 60.0f) {
        Refill();
        Vector force{};
        EXPECT_FALSE(Avoidance_Steer(unit, nullptr, range, Vector{500, 0, 600}, &force));
        return force;
    }
};

bool Pushed(const Vector& f) { return f.x != 0.0f || f.y != 0.0f || f.z != 0.0f; }

TEST_F(AvoidanceTest, LateralPushFollowsTheCorridor) {
    // Goal straight ahead (+z): u is +x, the side offset is the x offset. R = 4, W = 8; the
    // unit covers 20 m in the look-ahead.
    struct Case {
        const char* what;
        Vector offset;
        float speed;
        float expectX;
    } cases[] = {
        {"on the line of travel: full strength along u", {0, 0, 10}, 10, 4.0f},
        {"half the width to the right: pushed back left", {4, 0, 10}, 10, -2.0f},
        {"half the width to the left", {-4, 0, 10}, 10, 2.0f},
        {"behind the unit", {0, 0, -10}, 10, 0.0f},
        {"beyond the danger width", {8.5f, 0, 10}, 10, 0.0f},
        {"beyond the look-ahead", {0, 0, 21}, 10, 0.0f},
        {"a unit standing still", {0, 0, 10}, 0, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GameObject* unit = Unit({0, 0, c.speed});
        GameObject* other = Put("ROCK", 0, 0, 1, {500 + c.offset.x, 0, 500 + c.offset.z});
        Vector v{};
        Avoidance_Lateral(unit, other, Vector{500, 0, 600}, 40.0f, 4.0f, &v);
        EXPECT_FLOAT_EQ(v.x, c.expectX);
        EXPECT_EQ(v.z, 0.0f);
        Clear();
    }
}

TEST_F(AvoidanceTest, DirectPushAndThreats) {
    Avoidance_Settings().lateralRepulsion = 0;
    // dist = |P - O| - R, k = 1/dist - 1/50; v = (P - O) k^2 500 / dist.
    auto expected = [](float d) {
        const float dist = std::max(0.1f, d - 4.0f);
        const float k = 1.0f / dist - 1.0f / 50.0f;
        return -d * k * k * 500.0f / dist;
    };
    struct Case {
        const char* what;
        float distance;
        int real;
        bool activeVehicle;
        bool pushes;
    } cases[] = {
        {"a rock 20 m ahead", 20, 1, false, true},
        {"a rock closer than the radii: the distance floors at 0.1", 3, 1, false, true},
        {"beyond the range", 70, 1, false, false},
        {"a driven craft parked aside is no threat", 20, 1, true, false},
        {"without real collisions every object in range pushes", 20, 0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Avoidance_Settings().realCollisions = c.real;
        GameObject* unit = Unit();
        GameObject* other;
        if (c.activeVehicle) {
            other = Craft(1, {500 + c.distance, 0, 500});  // to the side, still
        } else {
            other = Put("ROCK", 0, 0, 1, {500, 0, 500 + c.distance});
        }
        const Vector f = Steer(unit);
        if (!c.pushes) {
            EXPECT_FALSE(Pushed(f));
        } else if (c.activeVehicle) {
            EXPECT_NEAR(f.x, expected(c.distance), 1e-4f);
        } else {
            EXPECT_NEAR(f.z, expected(c.distance), std::fabs(expected(c.distance)) * 1e-5f);
            EXPECT_EQ(f.x, 0.0f);
        }
        (void)other;
        Clear();
    }
}

TEST_F(AvoidanceTest, OfTwoFastMoversOnlyTheLaterMadeOneSteers) {
    GameObject* first = Unit({0, 0, 10});
    GameObject* later = Put("CRFT", 1, 0, 1, {500, 0, 520});
    later->SetVelocity({0, 0, -10});
    EXPECT_FALSE(Pushed(Steer(first)));
    Vector f{};
    EXPECT_FALSE(Avoidance_Steer(later, nullptr, 60.0f, Vector{500, 0, 400}, &f));
    EXPECT_TRUE(Pushed(f));
    // The team's slot-0 object is always steered round.
    first->teamRecord->SetSlot(0, later);
    EXPECT_TRUE(Pushed(Steer(first)));
    first->teamRecord->SetSlot(0, nullptr);
    // Slow, the earlier one is steered round as well.
    later->SetVelocity({0, 0, -4});
    EXPECT_TRUE(Pushed(Steer(first)));
}

TEST_F(AvoidanceTest, ClassRulesSkipObjects) {
    struct Case {
        const char* unit;
        const char* other;
        int32_t kind, team;
        bool cargo;
        bool pushes;
    } cases[] = {
        {"CRFT", "ROCK", 0, 1, false, true},
        {"TUG", "CRFT", 0, 1, true, false},   // its own cargo
        {"TUG", "CRFT", 0, 1, false, true},
        {"TUG", "RCYC", 0, 1, false, false},
        {"TUG", "ARMR", 0, 1, false, false},
        {"TUG", "FACT", 0, 1, false, false},
        {"RCYC", "TUG", 0, 1, false, false},
        {"CRFT", "TUG", 0, 1, false, true},
        {"CRFT", "BLDG", 2, 1, false, false},
        {"CRFT", "AMMO", 3, 1, false, false},
        {"CRFT", "SCRP", 7, 0, false, false},
        {"CRFT", "WALL", 10, 1, false, false},
        {"CRFT", "CRFT", 1, 2, false, false},  // enemy craft
        {"CRFT", "PERS", 4, 2, false, false},  // enemy person
        {"CRFT", "ROCK", 0, 2, false, true},   // enemy object of another kind
        {"CRFT", "CRFT", 1, 0, false, true},   // neutral counts with the allies
        {"CRFT", "PROX", 0, 1, false, false},  // own mine
        {"CRFT", "PROX", 0, 2, false, true},   // enemy mine
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unit) + " meets " + c.other + " of kind " + std::to_string(c.kind) + " on team " +
                     std::to_string(c.team));
        GameObject* unit = Unit({0, 0, 10}, c.unit);
        GameObject* other = Put(c.other, c.kind, 0, c.team, {500, 0, 520});
        if (c.cargo) other->carrier = unit;
        EXPECT_EQ(Pushed(Steer(unit)), c.pushes);
        other->carrier = nullptr;
        Clear();
    }
}

TEST_F(AvoidanceTest, ObjectsNotYetJoinedToTheirTeamCountByTheirEntitysTeam) {
    // Built objects carry their team in the entity's flag word before they join it: an allied
    // craft of that kind is still steered round, an enemy one still skipped.
    for (const int32_t bits : {1, 2}) {
        SCOPED_TRACE(bits);
        GameObject* unit = Unit();
        GameObject* other = Put("CRFT", 1, 0, bits, {500, 0, 520});
        for (GameObject* o : {unit, other}) {
            o->LeaveTeam();
            o->team = -1;
            o->teamRecord = nullptr;
        }
        EXPECT_EQ(Pushed(Steer(unit)), bits == 1);
        Clear();
    }
}

TEST_F(AvoidanceTest, AParkedBlockerStopsPushingAfterTenSecondsOfContact) {
    GameObject* unit = Unit();
    Put("ROCK", 0, 0, 1, {500, 0, 520});
    // Contact every half second from 100 s: pushing up to 10 s of it; then a second without
    // contact starts the count again.
    struct Step {
        float time;
        bool pushes;
    };
    std::vector<Step> steps;
    for (float t = 100.0f; t <= 111.0f; t += 0.5f) steps.push_back({t, t <= 110.0f});
    steps.push_back({112.0f, true});
    steps.push_back({112.5f, true});
    for (const Step& s : steps) {
        SCOPED_TRACE(s.time);
        Clock_SetTime(s.time);
        EXPECT_EQ(Pushed(Steer(unit)), s.pushes);
    }
    EXPECT_EQ(Avoidance_StuckPairCount(), 1);
}

TEST_F(AvoidanceTest, AFullPairTableNeverReportsStuck) {
    GameObject* unit = Unit();
    std::vector<GameObject*> others;
    for (int i = 0; i <= kAvoidanceStuckPairs; ++i) others.push_back(Put("ROCK", 0, 0, 1, {10.0f * i, 0, 10}));
    bool firstStuck = false, lastStuck = false;
    for (float t = 0.0f; t <= 20.0f; t += 0.5f) {
        Clock_SetTime(t);
        for (int i = 0; i < kAvoidanceStuckPairs; ++i) firstStuck = Avoidance_StuckPairs(unit, others[i]);
        lastStuck = lastStuck || Avoidance_StuckPairs(unit, others.back());
    }
    EXPECT_TRUE(firstStuck);
    EXPECT_FALSE(lastStuck);
    EXPECT_EQ(Avoidance_StuckPairCount(), kAvoidanceStuckPairs);
}

TEST_F(AvoidanceTest, SidestepRulesPickTheSideFromTheVelocity) {
    struct Case {
        uint32_t mask;
        int ruleTurn;
        int t;
        float vx, vz;
        bool matches;
        Vector2D step;
    } cases[] = {
        {131, -1, 0, 1, 0, true, {20, 0}},     // heading +z, drifting right: step right
        {131, -1, 0, -1, 0, true, {-20, 0}},
        {131, -1, 1, 0, 1, true, {0, 20}},     // heading +x, drifting +z
        {131, -1, 2, 1, 0, true, {20, 0}},     // heading -z: the side is swapped back
        {131, -1, 3, 0, 1, true, {0, 20}},
        {135, -1, 0, 1, 0, false, {0, 0}},     // the right side blocked too
        {130, 0, 2, 0, 0, true, {0, -20}},
        {6, 3, 0, 0, 0, true, {-20, 0}},
        {192, 1, 1, 0, 0, true, {0, -20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mask " << c.mask << " t " << c.t);
        Vector2D step{};
        const uint32_t forbidden = c.mask == 135 ? 4u : 0u;
        EXPECT_EQ(Avoidance_SidestepRule(c.mask, c.mask == 135 ? 131u : c.mask, forbidden, c.ruleTurn, c.t, c.vx, c.vz,
                                         &step),
                  c.matches);
        if (c.matches) {
            EXPECT_EQ(step.x, c.step.x);
            EXPECT_EQ(step.z, c.step.z);
        }
    }
    // Octants of cell offsets, and the cliff table's columns.
    EXPECT_EQ(Avoidance_Octant(0, 1), 0);
    EXPECT_EQ(Avoidance_Octant(1, 1), 1);
    EXPECT_EQ(Avoidance_Octant(1, 0), 2);
    EXPECT_EQ(Avoidance_Octant(1, -1), 3);
    EXPECT_EQ(Avoidance_Octant(0, -1), 4);
    EXPECT_EQ(Avoidance_Octant(-1, -1), 5);
    EXPECT_EQ(Avoidance_Octant(-1, 0), 6);
    EXPECT_EQ(Avoidance_Octant(-1, 1), 7);
    EXPECT_EQ(Avoidance_TravelDirection(3, 1), 1);
    EXPECT_EQ(Avoidance_TravelDirection(-3, 1), 3);
    EXPECT_EQ(Avoidance_TravelDirection(1, -3), 2);
    EXPECT_EQ(Avoidance_CliffStrength(2, 1), 4);
    EXPECT_EQ(Avoidance_CliffStrength(2, 0), 0);
    EXPECT_EQ(Avoidance_CliffStrength(4, 2), 4);
    EXPECT_EQ(Avoidance_CliffStrength(4, 5), 0);  // teams beyond 2 read the first column
    EXPECT_EQ(Avoidance_CliffStrength(11, 7), 40);
}

TEST_F(AvoidanceTest, ABoxedInUnitSidestepsTwentyMetres) {
    // 10 m cells; the unit stands in cell (20, 20) heading +z with the three cells ahead blocked.
    HandField::Install(40, 40, 1000);
    for (int x = 19; x <= 22; ++x) HandField::H(x, 22) = 1500;
    PathGrid_Build();
    ASSERT_TRUE(PathGrid_IsBlocked(19, 21) && PathGrid_IsBlocked(20, 21) && PathGrid_IsBlocked(21, 21));
    ASSERT_FALSE(PathGrid_IsBlocked(21, 20));
    struct Case {
        const char* what;
        Vector at;
        float vx;
        float distance;
        Vector start;
        Vector expect;
    } cases[] = {
        {"room to spare: the force is replaced", {205, 0, 205}, 3, 20, {7, 0, 7}, {20, 0, 0}},
        {"drifting left", {205, 0, 205}, -3, 20, {7, 0, 7}, {-20, 0, 0}},
        {"off the cell's middle: stepping from the middle", {206, 0, 203}, 3, 20, {7, 0, 7}, {19, 0, 2}},
        {"short of room: the sidestep is added", {205, 0, 205}, 3, 14.5f, {7, 0, 7}, {27, 0, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GameObject* unit = Put("CRFT", 1, 1, 1, c.at);
        unit->SetVelocity({c.vx, 0, 1});
        Vector force = c.start;
        EXPECT_TRUE(Avoidance_CliffRepulsion(unit, Vector{c.at.x, 0, c.at.z + 100}, c.distance, &force));
        EXPECT_NEAR(force.x, c.expect.x, 1e-4f);
        EXPECT_NEAR(force.z, c.expect.z, 1e-4f);
        Clear();
    }
    // A velocity gone wild neither widens the scan past the distance nor changes the answer.
    for (const Vector wild : {Vector{1e30f, 0, 1e30f}, Vector{std::nanf(""), 0, 0}}) {
        GameObject* racer = Put("CRFT", 1, 1, 1, {205, 0, 205});
        racer->euler.velocity = wild;
        Vector force{7, 0, 7};
        EXPECT_TRUE(Avoidance_CliffRepulsion(racer, Vector{205, 0, 305}, 20.0f, &force));
        EXPECT_NEAR(std::fabs(force.x), 20.0f, 1e-4f);
        EXPECT_NEAR(force.z, 0.0f, 1e-4f);
        Clear();
    }
    // In the open nothing pushes.
    GameObject* unit = Put("CRFT", 1, 1, 1, {105, 0, 105});
    Vector force{};
    EXPECT_FALSE(Avoidance_CliffRepulsion(unit, Vector{105, 0, 205}, 40.0f, &force));
    EXPECT_FALSE(Pushed(force));
}

TEST_F(AvoidanceTest, PredictionTests) {
    // Radii 2 + 2 with the safety factor 1.5: e = 6. Unit at (500, 500).
    struct Case {
        const char* what;
        Vector unitVel, otherAt, otherVel;
        float lookAhead;
        bool collide;
    } cases[] = {
        {"touching now", {0, 0, 0}, {505, 0, 500}, {0, 0, 0}, 2, true},
        {"parallel motion", {0, 0, 10}, {510, 0, 500}, {0, 0, 10}, 2, false},
        {"head-on: the roots fall within the look-ahead", {0, 0, 10}, {500, 0, 530}, {0, 0, -10}, 2, true},
        {"nearly head-on: within reach of the speeds, both roots beyond", {0, 0, 10}, {503, 0, 530}, {0, 0, -10}, 1.22f,
         false},
        {"nearly head-on: the first root within", {0, 0, 10}, {503, 0, 530}, {0, 0, -10}, 1.25f, true},
        {"moving apart", {0, 0, 10}, {500, 0, 520}, {0, 0, 20}, 2, false},
        {"too far for the speeds", {0, 0, 10}, {500, 0, 560}, {0, 0, 0}, 2, false},
        {"passing wide: no root", {0, 0, 10}, {510, 0, 530}, {0, 0, 0}, 5, false},
        {"overtaking a slower one", {0, 0, 10}, {500, 0, 515}, {0, 0, 2}, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GameObject* unit = Unit(c.unitVel);
        GameObject* other = Put("CRFT", 1, 1, 2, c.otherAt);
        other->SetVelocity(c.otherVel);
        EXPECT_EQ(Avoidance_PredictCollision(unit, other, c.lookAhead), c.collide);
        Clear();
    }
    // The cheap corridor test: width 2 x e = 12 either side, within 20 m ahead, nearer than the goal.
    struct Cheap {
        const char* what;
        Vector otherAt, goal;
        bool collide;
    } cheap[] = {
        {"in the corridor", {511, 0, 515}, {500, 0, 600}, true},
        {"beside the corridor", {513, 0, 515}, {500, 0, 600}, false},
        {"behind", {500, 0, 495}, {500, 0, 600}, false},
        {"beyond the look-ahead", {500, 0, 521}, {500, 0, 600}, false},
        {"the goal comes first", {500, 0, 515}, {500, 0, 510}, false},
    };
    for (const Cheap& c : cheap) {
        SCOPED_TRACE(c.what);
        GameObject* unit = Unit({0, 0, 10});
        GameObject* other = Put("CRFT", 1, 1, 2, c.otherAt);
        EXPECT_EQ(Avoidance_PredictCheap2D(unit, other, 2.0f, c.goal), c.collide);
        Clear();
    }
}

TEST_F(AvoidanceTest, WillCollideWithinThreeSeconds) {
    // Bounding spheres 2 + 2 + 2.5: they touch within 6.5 m.
    struct Case {
        const char* what;
        Vector otherAt, otherVel;
        bool collide;
    } cases[] = {
        {"touching now", {506, 0, 500}, {0, 0, 0}, true},
        {"meeting in 1.5 s", {500, 0, 530}, {0, 0, -10}, true},
        {"closest only after 3.5 s", {500, 0, 570}, {0, 0, -10}, false},
        {"moving apart", {500, 0, 530}, {0, 0, 20}, false},
        {"passing 10 m aside", {510, 0, 530}, {0, 0, -10}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GameObject* unit = Unit({0, 0, 10});
        GameObject* other = Put("CRFT", 1, 1, 2, c.otherAt);
        other->SetVelocity(c.otherVel);
        EXPECT_EQ(Avoidance_WillCollide(unit, other), c.collide);
        EXPECT_EQ(Avoidance_WillCollide(other, unit), c.collide);
        Clear();
    }
    // A turning craft follows its circle: half a turn at 0.5 rad/s and 10 m/s ends 40 m to its
    // right; a building stays where it is.
    GameObject* unit = Unit({0, 0, 10});
    unit->euler.angularVelocity.y = 0.5f;
    const Vector p = Avoidance_PredictPosition(unit, 3.14159265f / 0.5f);
    EXPECT_NEAR(p.x, 540.0f, 1e-3f);
    EXPECT_NEAR(p.z, 500.0f, 1e-3f);
    unit->euler.angularVelocity.y = -0.5f;
    EXPECT_NEAR(Avoidance_PredictPosition(unit, 3.14159265f).x, 480.0f, 1e-3f);
    GameObject* building = Put("BLDG", 2, 2, 1, {100, 0, 100});
    building->SetVelocity({5, 0, 0});
    EXPECT_EQ(Avoidance_PredictPosition(building, 2.0f).x, 100.0f);
}

TEST_F(AvoidanceTest, CollisionCfgIsReadOncePerRun) {
    MemoryFiles files;
    const std::string kNewer =
        "COLLISION AVOIDANCE CONFIGURATION: Get new source code 'collision' (1) to synch with "
        "'M4Q\\debug\\Collision.cfg' (2)";
    const std::string kOlder =
        "COLLISION AVOIDANCE CONFIGURATION: Get new 'M4Q\\debug\\Collision.cfg' (-1) to synch with source code "
        "'collision' (1).";
    struct Case {
        const char* what;
        const char* file;  // null: no file
        std::string box;
        float width, gridX, gridZ;
        int32_t lateral;
    } cases[] = {
        {"missing: every default, no message", nullptr, "", 2.0f, 100.0f, 100.0f, 1},
        {"empty: every default, a missing revision warns", "", kOlder, 2.0f, 100.0f, 100.0f, 1},
        {"partial: what it names, defaults for the rest",
         "int COLLISION_CONFIG_FILE_REVISION = 1;\nfloat LATERAL_DANGER_WIDTH = 3.5;\nfloat GRID_Z_SIZE = 64;\n", "",
         3.5f, 100.0f, 64.0f, 1},
        {"a grid size that is not positive keeps the default",
         "int COLLISION_CONFIG_FILE_REVISION = 1;\nfloat GRID_X_SIZE = -1;\nfloat GRID_Z_SIZE = 0;\n", "", 2.0f,
         100.0f, 100.0f, 1},
        {"revision 2: a warning, and the file is used",
         "int COLLISION_CONFIG_FILE_REVISION = 2;\nint COLLISION_LATERAL_REPULSION = 0;\n", kNewer, 2.0f, 100.0f,
         100.0f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Avoidance_ResetConfig();
        Plat_ClearMessageBoxLog();
        files.Remove("Collision.cfg");
        if (c.file) files.Add("Collision.cfg", c.file);
        Avoidance_LoadConfig();
        EXPECT_EQ(LastBoxText(), c.box);
        EXPECT_EQ(Plat_MessageBoxLog().size(), c.box.empty() ? 0u : 1u);
        const AvoidanceSettings& s = Avoidance_Settings();
        EXPECT_EQ(s.lateralDangerWidth, c.width);
        EXPECT_EQ(s.gridXSize, c.gridX);
        EXPECT_EQ(s.gridZSize, c.gridZ);
        EXPECT_EQ(s.lateralRepulsion, c.lateral);
        EXPECT_EQ(s.lookAheadTime, 2.5f);
    }
    // The sample world's file: no warning, and every value the game is tuned for.
    Avoidance_ResetConfig();
    Plat_ClearMessageBoxLog();
    files.Add("Collision.cfg", content::CollisionConfigText());
    Avoidance_Settings().lookAheadTime = -7.0f;  // so the file's value is seen to arrive
    Avoidance_LoadConfig();
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
    const AvoidanceSettings& read = Avoidance_Settings();
    const AvoidanceSettings tuned{};
    EXPECT_EQ(read.revision, 1);
    EXPECT_EQ(read.lookAheadTime, tuned.lookAheadTime);
    EXPECT_EQ(read.safetyCoeff, tuned.safetyCoeff);
    EXPECT_EQ(read.gridXSize, tuned.gridXSize);
    EXPECT_EQ(read.repulsiveCoefficient, tuned.repulsiveCoefficient);
    EXPECT_EQ(read.extraStuckTime, tuned.extraStuckTime);
    EXPECT_EQ(read.cheap2DCollide, tuned.cheap2DCollide);
    // A second set-up reads nothing again.
    Avoidance_ResetConfig();
    files.Remove("Collision.cfg");
    Avoidance_LoadConfig();
    files.Add("Collision.cfg", "int COLLISION_CONFIG_FILE_REVISION = 1;\nfloat LATERAL_DANGER_WIDTH = 9;\n");
    Avoidance_LoadConfig();
    EXPECT_EQ(Avoidance_Settings().lateralDangerWidth, 2.0f);
    EXPECT_EQ(files.Loads("Collision.cfg"), 7);
    // The grid takes the settings' cell sizes.
    Avoidance_ResetConfig();
    Avoidance_LoadConfig();
    Avoidance_Settings().gridXSize = 250.0f;
    Avoidance_CreateGridOver(0, 0, 1000, 1000);
    EXPECT_EQ(Avoidance_Grid()->Width(), 5);
    EXPECT_EQ(Avoidance_Grid()->Height(), 11);
    EXPECT_EQ(Avoidance_Grid()->Capacity(), kAvoidanceGridCapacity);
}

TEST_F(AvoidanceTest, TheMissionSetUpStartTickAndTeardownReachTheAvoidance) {
    Avoidance_DestroyGrid();
    Ai_InstallSeam();
    MemoryFiles files;
    files.Add("Collision.cfg", "int COLLISION_CONFIG_FILE_REVISION = 1;\nfloat GRID_X_SIZE = 500;\n");
    Seam_Ai().collisionCfgRead();
    EXPECT_EQ(Avoidance_Settings().gridXSize, 500.0f);
    Seam_Ai().avoidanceStart();  // over the terrain's bounds: 1000 m square
    ASSERT_NE(Avoidance_Grid(), nullptr);
    EXPECT_EQ(Avoidance_Grid()->Width(), 3);
    Put("ROCK", 0, 0, 1, {100, 0, 100});
    Put("ROCK", 0, 0, 1, {900, 0, 900});
    Ai_StandIns().avoidanceRefillGrid();
    EXPECT_EQ(Avoidance_Grid()->EntryCount(), 2);
    Seam_Ai().avoidanceFree();
    EXPECT_EQ(Avoidance_Grid(), nullptr);
    // The unit tasks push and the path grid's cleanup forgets the stuck pairs through these.
    EXPECT_EQ(UnitTask_Hooks().cliffRepulsion, &Avoidance_CliffRepulsion);
    EXPECT_EQ(PathGrid_Hooks().clearStuckPairs, &Avoidance_ClearStuckPairs);
}

}  // namespace
