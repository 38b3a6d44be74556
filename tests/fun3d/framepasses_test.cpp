#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "core/factory.h"
#include "core/registration.h"
#include "fun3d/framepasses.h"
#include "fun3d/visibility.h"
#include "fun3d_fixture.h"

namespace {

std::vector<std::string> g_log;
std::vector<float> g_steps;

class Process : public sObject {
public:
    bool Load() override { return true; }
    bool Save(FILE*) override { return true; }
    const FactoryReg* GetFactory() const override { return nullptr; }
};

// What a test object does; kept beside the objects, which must fit a pool slot.
struct Behaviour {
    int dieAtStep = 0;
    double moveX = 0.0;
    float turn = 0.0f;
    float priority = 1.0f;
    float seenDistance = -1.0f;
    bool selfDeleting = false;
};
std::map<const GameObject*, Behaviour> g_behaviour;

// Records its steps; may die at a given step, move itself, turn itself, or answer a network
// priority.
class TestObject : public GameObject {
public:
    using GameObject::GameObject;
    Behaviour& Does() { return g_behaviour[this]; }
    void Update(float dt) override {
        g_steps.push_back(dt);
        entity->local.posit.x += Does().moveX;
        if (Does().turn != 0.0f) {
            const DVector p = entity->local.posit;
            entity->local = Matrix_RotationY(Does().turn);
            entity->local.posit = p;
        }
        if (Does().dieAtStep && static_cast<int>(g_steps.size()) == Does().dieAtStep) entity->flags |= kEntityDead;
    }
    void PostUpdate(float dt) override { g_log.push_back("post " + std::to_string(dt)); }
    float GetNetPriority(float, float distance) override {
        Does().seenDistance = distance;
        return Does().priority;
    }
    bool OnContact(Entity* other, CollisionBody*, void*) override {
        g_log.push_back(std::string("contact ") + (other ? "other" : "none"));
        return true;
    }
    bool TakeDamage(DamageInfo* damage, const Vector*) override {
        g_log.push_back("damage " + std::to_string(static_cast<int>(damage->amount)));
        return damage->amount > 50.0f;
    }
    void TearDown() override {
        g_log.push_back("teardown " + std::to_string(seqNo));
        if (Does().selfDeleting)
            delete this;
        else
            GameObject::TearDown();
    }
};

class FramePassTest : public Fun3dFixture {
protected:
    void SetUp() override {
        Fun3dFixture::SetUp();
        // Entities released by a teardown stay readable (as in a mission) until the fixture ends.
        EntityAlloc_Reset();
        g_log.clear();
        g_steps.clear();
        g_behaviour.clear();
        network_ = false;
        cheats_ = 0;
        sent_.clear();
        Seam_Net().isNetworkGame = [] { return network_; };
        Seam_Cockpit().cheatFlags = [] { return cheats_; };
        Seam_Cockpit().unitDisplayRefresh = [] { g_log.push_back("unit display"); };
        Seam_Net().sendObjectStates = [](const NetSendEntry* entries, int count) {
            sent_.assign(entries, entries + count);
        };
        GameObject_CreateGrid();
    }

    TestObject* Make(GameObjectClass& cls, int32_t team = 1, Vector at = {0.0f, 0.0f, 0.0f}, uint32_t flags = 0) {
        auto* object = GameObject_New<TestObject>(NewRoot(team, flags), &cls);
        object->SetPosition(at);
        return object;
    }
    GameObjectClass& ClassWith(const char* signature, int32_t category = kCategoryBase) {
        GameObjectClass& cls = NewClass();
        cls.signature = Signature(signature);
        cls.category = category;
        return cls;
    }
    // One frame of the passes that matter here.
    void Frame(float dt) {
        GameObject_UpdateGrid();
        GameObject_UpdateVisibility(dt);
    }

    static inline bool network_ = false;
    static inline uint32_t cheats_ = 0;
    static inline std::vector<NetSendEntry> sent_;
};

// ---- simulation -------------------------------------------------------------------------------

TEST_F(FramePassTest, NetworkSimulationStepsTheAccumulator) {
    network_ = true;
    struct Case {
        float start, frame;
        std::vector<float> steps;
        float left;
        int dieAtStep;
    };
    const Case cases[] = {
        {0.0f, 0.35f, {0.1f, 0.1f, 0.1f, 0.05f}, 0.0f, 0},
        {0.0f, 0.001f, {0.002f}, -0.001f, 0},
        {0.0f, 1.0f, {0.1f, 0.1f, 0.1f, 0.1f, 0.1f}, 0.5f, 0},  // at most five steps
        {-0.01f, 0.005f, {}, -0.005f, 0},                        // nothing left to step
        {0.0f, 0.35f, {0.1f, 0.1f}, 0.15f, 2},                   // the entity dies in step 2
    };
    GameObjectClass& cls = NewClass();
    for (const Case& c : cases) {
        TestObject* object = Make(cls);
        object->Does().dieAtStep = c.dieAtStep;
        object->timeAccumulator = c.start;
        g_steps.clear();
        GameObject_SimulateObject(object, c.frame);
        ASSERT_EQ(g_steps.size(), c.steps.size()) << "frame " << c.frame;
        for (size_t i = 0; i < c.steps.size(); ++i) EXPECT_NEAR(g_steps[i], c.steps[i], 1e-6f);
        EXPECT_NEAR(object->timeAccumulator, c.left, 1e-6f);
    }
}

TEST_F(FramePassTest, SinglePlayerRunsTheWholeAccumulationInOneUpdate) {
    TestObject* object = Make(NewClass());
    GameObject_SimulateObject(object, 0.35f);
    ASSERT_EQ(g_steps.size(), 1u);
    EXPECT_FLOAT_EQ(g_steps[0], 0.35f);
    EXPECT_EQ(object->timeAccumulator, 0.0f);
    object->timeAccumulator = -0.5f;
    GameObject_SimulateObject(object, 0.1f);
    EXPECT_EQ(g_steps.size(), 1u) << "no update while the accumulator is not above 0";
    EXPECT_FLOAT_EQ(object->timeAccumulator, -0.4f);
}

TEST_F(FramePassTest, RemoteObjectsAreSmoothedTowardTheSimulatedState) {
    network_ = true;
    GameObjectClass& cls = NewClass();
    TestObject* local = Make(cls);
    local->ownership = kNetOwnedHere;
    local->Does().moveX = 10.0;
    TestObject* remote = Make(cls);
    remote->ownership = kNetOwnedRemote;
    remote->Does().moveX = 10.0;
    TestObject* fromNetwork = Make(cls);
    fromNetwork->ownership = kNetOwnedRemote;
    fromNetwork->Does().moveX = 10.0;
    fromNetwork->smoothingMark = 0.0f;
    fromNetwork->networkMatrix = kIdentityMatrix;
    fromNetwork->networkMatrix.posit = DVector{100.0, 0.0, 0.0};

    for (TestObject* object : {local, remote, fromNetwork}) GameObject_SimulateObject(object, 0.05f);
    EXPECT_DOUBLE_EQ(local->entity->local.posit.x, 10.0) << "an object owned here is never smoothed";
    EXPECT_NEAR(remote->entity->local.posit.x, 3.0, 1e-5);
    EXPECT_NEAR(fromNetwork->entity->local.posit.x, 33.0, 1e-5) << "from the kept matrix 30 % toward 110";
    EXPECT_NEAR(remote->GetPosition().x, 3.0f, 1e-5f) << "the sphere follows";
}

TEST_F(FramePassTest, RemoteOrientationTakesTheShorterArcHalfway) {
    network_ = true;
    GameObjectClass& cls = NewClass();
    const float pi = 3.14159265f;
    struct Case {
        float turn, expected;
    };
    for (const Case c : {Case{pi / 2, pi / 4}, Case{1.5f * pi, -pi / 4}}) {
        TestObject* object = Make(cls);
        object->ownership = kNetOwnedRemote;
        object->Does().turn = c.turn;
        GameObject_SimulateObject(object, 0.05f);
        const Vector front = object->entity->local.front;
        EXPECT_NEAR(front.x, std::sin(c.expected), 1e-3f) << "turned by " << c.turn;
        EXPECT_NEAR(front.z, std::cos(c.expected), 1e-3f) << "turned by " << c.turn;
    }
}

TEST_F(FramePassTest, ClassRowsReachTheObject) {
    GameObject_InstallClassFunctions();
    TestObject* object = Make(NewClass());
    object->SetVelocity(Vector{3.0f, 0.0f, 4.0f});
    Entity* e = object->entity;
    e->type = kTypeCraft;

    Vector velocity{};
    void* motion = nullptr;
    Classfnc_GetMotion(e, &velocity, &motion);
    EXPECT_FLOAT_EQ(velocity.x, 3.0f);
    ASSERT_NE(motion, nullptr);
    EXPECT_FLOAT_EQ(static_cast<EntityDynamics*>(motion)->speed, 5.0f);
    EntityDynamics dynamics{};
    Classfnc_GetDynamics(&dynamics, e);
    EXPECT_FLOAT_EQ(dynamics.speed, 5.0f);

    Classfnc_FindRow(kTypeCraft)->update(e);
    EXPECT_EQ(g_steps.size(), 1u);
    Classfnc_FindRow(kTypeCraft)->postUpdate(e);
    CollisionBody a{}, b{};
    EXPECT_EQ(Classfnc_Collide(e, NewRoot(), &a, &b), 1);
    DamageInfo damage{};
    damage.amount = 80.0f;
    EXPECT_EQ(Classfnc_Damage(e, &damage, nullptr), 1);
    e->flags |= kEntityDead;
    Classfnc_FindRow(kTypeCraft)->postUpdate(e);
    EXPECT_EQ(g_log.size(), 3u) << "no post-step for a dead entity";
    EXPECT_EQ(g_log[1], "contact other");
    EXPECT_EQ(g_log[2], "damage 80");

    Entity* bare = NewRoot();
    bare->type = kTypeCraft;
    Classfnc_GetMotion(bare, &velocity, &motion);
    EXPECT_EQ(velocity.x, 0.0f);
    EXPECT_EQ(motion, nullptr);
    bare->type = 0;
    e->type = 0;
}

TEST_F(FramePassTest, PausedStepRunsTheUsersControllerThenItsSimulation) {
    Seam_Ai().processStep = [](sObject*) { g_log.push_back("controller"); };
    GameObject_StepUser(0.1f);
    EXPECT_TRUE(g_log.empty()) << "no user, nothing";
    TestObject* user = Make(NewClass(), 1, {}, kEntityUser);
    GameObject_StepUser(0.1f);
    EXPECT_TRUE(g_log.empty()) << "no controller";
    EXPECT_EQ(g_steps.size(), 1u);
    user->SetAiProcess(new Process);
    GameObject_StepUser(0.1f);
    EXPECT_EQ(g_log, (std::vector<std::string>{"controller"}));
    EXPECT_EQ(g_steps.size(), 2u);
}

// ---- pool pressure ----------------------------------------------------------------------------

// Raw pool slots taken or given back until exactly `free` remain.
void LeaveFreeSlots(int free) {
    static std::vector<void*> taken;
    if (GameObject_PoolFreeCount() == kObjectPoolSize) taken.clear();  // a fresh pool
    while (GameObject_PoolFreeCount() > free) taken.push_back(GameObject_PoolAlloc(16));
    while (GameObject_PoolFreeCount() < free && !taken.empty()) {
        GameObject_PoolFree(taken.back());
        taken.pop_back();
    }
}

TEST_F(FramePassTest, PoolPressureTakesTheOldestOfAGroupThatGrewTooLarge) {
    GameObjectClass& scrap = ClassWith("SCRP");
    Make(ClassWith("GOBJ"));
    std::vector<TestObject*> made;
    for (int i = 0; i < 30; ++i) made.push_back(Make(scrap));
    struct Case {
        int freeSlots, scrap;
        bool oldestGoes;
    };
    for (const Case c : {Case{50, 30, false}, Case{51, 31, false}, Case{50, 31, true}}) {
        if (static_cast<int>(made.size()) < c.scrap) {
            LeaveFreeSlots(c.freeSlots + 1);
            made.push_back(Make(scrap));
        }
        LeaveFreeSlots(c.freeSlots);
        ASSERT_EQ(GameObject_PoolFreeCount(), c.freeSlots);
        g_log.clear();
        GameObject_PoolPressure();
        const bool gone = (made[0]->entity->flags & kEntityDead) != 0;
        EXPECT_EQ(gone, c.oldestGoes) << c.freeSlots << " free, " << c.scrap << " scrap";
        EXPECT_EQ(g_log.size(), c.oldestGoes ? 1u : 0u);
    }
}

TEST_F(FramePassTest, PoolPressureTakesOnePerGroupAndNeverATornDownObjectAgain) {
    GameObjectClass& scrap = ClassWith("SCRP");
    const char* mines[] = {"FLAR", "MGNT", "MINE", "PROX", "WPNM"};
    std::vector<TestObject*> scrapObjects, mineObjects;
    for (int i = 0; i < 33; ++i) scrapObjects.push_back(Make(scrap));
    for (int i = 0; i < 31; ++i) mineObjects.push_back(Make(ClassWith(mines[i % 5])));
    LeaveFreeSlots(10);

    GameObject_PoolPressure();
    EXPECT_TRUE(scrapObjects[0]->entity->flags & kEntityDead);
    EXPECT_FALSE(scrapObjects[1]->entity->flags & kEntityDead) << "one per group per frame";
    EXPECT_TRUE(mineObjects[0]->entity->flags & kEntityDead);
    // Torn down yet still listed (a plain object's teardown leaves it in the list): skipped.
    GameObject_PoolPressure();
    EXPECT_TRUE(scrapObjects[1]->entity->flags & kEntityDead) << "33 - 1 is still over 30";
    EXPECT_FALSE(mineObjects[1]->entity->flags & kEntityDead) << "31 - 1 mines are not";
    EXPECT_EQ(g_log.size(), 3u) << "no object torn down twice";
}

// ---- network sends ----------------------------------------------------------------------------

TEST_F(FramePassTest, NetworkSendKeepsTheHighestPrioritiesInOrder) {
    network_ = true;
    GameObjectClass& cls = NewClass();
    std::vector<TestObject*> objects;
    for (float priority : {1.0f, 3.0f, 3.0f, -1.0f, 2.0f, 3.0f}) {
        TestObject* object = Make(cls);
        object->ownership = kNetOwnedHere;
        object->netId = 0x10000u + static_cast<uint32_t>(objects.size()) + 1;
        object->Does().priority = priority;
        objects.push_back(object);
    }
    TestObject* unregistered = Make(cls);
    unregistered->ownership = kNetOwnedHere;
    unregistered->Does().priority = 9.0f;
    GameObject_SendNetUpdates();
    ASSERT_EQ(sent_.size(), 5u);
    const int order[] = {1, 2, 5, 4, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(sent_[i].object, objects[order[i]]) << "entry " << i;

    // Full: a later, higher entry pushes the lowest out; equal ones keep their order.
    for (int i = 0; i < 20; ++i) {
        TestObject* object = Make(cls);
        object->ownership = kNetOwnedHere;
        object->netId = 0x20000u + i + 1;
        object->Does().priority = 2.5f;
    }
    GameObject_SendNetUpdates();
    ASSERT_EQ(sent_.size(), static_cast<size_t>(kNetSendMax));
    EXPECT_EQ(sent_[0].object, objects[1]);
    EXPECT_EQ(sent_[3].priority, 2.5f);
    EXPECT_EQ(sent_[19].priority, 2.5f);

    network_ = false;
    sent_.clear();
    GameObject_SendNetUpdates();
    EXPECT_TRUE(sent_.empty()) << "nothing outside network games";
}

TEST_F(FramePassTest, NetworkSendDistanceIsToTheNearestRemotePlayerCraft) {
    network_ = true;
    GameObjectClass& cls = NewClass();
    TestObject* mine = Make(cls);
    mine->ownership = kNetOwnedHere;
    mine->netId = 0x10001;
    TestObject* remoteThing = Make(cls, 1, {5.0f, 0.0f, 0.0f});
    remoteThing->ownership = kNetOwnedRemote;
    GameObject_SendNetUpdates();
    EXPECT_EQ(mine->Does().seenDistance, kNetDistanceCap) << "no remote player craft";

    for (int i = 0; i < kNetRemoteMax; ++i) {
        TestObject* far = Make(cls, 1, {1000.0f, 0.0f, 0.0f});
        far->ownership = kNetOwnedRemote;
        far->playerObject = 1;
    }
    TestObject* near = Make(cls, 1, {0.0f, 0.0f, 10.0f});
    near->ownership = kNetOwnedRemote;
    near->playerObject = 1;
    GameObject_SendNetUpdates();
    EXPECT_EQ(mine->Does().seenDistance, kNetDistanceCap) << "only 22 remote positions are compared";

    static_cast<TestObject*>(GameObject_List()[2])->playerObject = 0;  // one far craft less
    GameObject_SendNetUpdates();
    EXPECT_FLOAT_EQ(mine->Does().seenDistance, 10.0f);
}

// ---- visibility -------------------------------------------------------------------------------

TEST_F(FramePassTest, VisibilityMasksFollowTeamsSensorsAndCargo) {
    GameObjectClass& thing = NewClass();
    GameObjectClass& building = ClassWith("BLDG", kCategoryBuilding);
    TestObject* scout = Make(thing, 2, {0.0f, 0.0f, 0.0f});
    scout->sensor = new ObjectSensor(scout);
    scout->sensor->range = 100.0f;
    TestObject* house = Make(building, 1, {50.0f, 0.0f, 0.0f});
    TestObject* crate = Make(thing, 1, {500.0f, 0.0f, 0.0f});
    crate->isCargo = 1;
    TestObject* hidden = Make(thing, 1, {10.0f, 0.0f, 0.0f}, kEntityNotDrawn);
    TestObject* far = Make(thing, 1, {150.0f, 0.0f, 0.0f});

    Frame(0.1f);
    EXPECT_EQ(scout->isVisible, 1u << 2);
    EXPECT_EQ(house->isVisible, 1u << 2) << "a building has no own bit; the sensor adds its team";
    EXPECT_EQ(crate->isVisible, 0xFFFFFFFFu);
    EXPECT_EQ(hidden->isVisible, 0u) << "not drawn: seen by nobody";
    EXPECT_EQ(far->isVisible, 1u << 1) << "out of range";
    EXPECT_EQ(far->seen, 1u << 1);

    scout->SetPosition(Vector{1000.0f, 0.0f, 1000.0f});
    Frame(0.1f);
    EXPECT_EQ(house->isVisible, 1u << 2) << "a building seen once stays seen";
    EXPECT_EQ(house->seen, 1u << 2);
}

TEST_F(FramePassTest, ConcealedSlowAiCraftEscapeOtherSensors) {
    GameObjectClass& thing = NewClass();
    TestObject* scout = Make(thing, 2);
    scout->sensor = new ObjectSensor(scout);
    struct Case {
        float threshold, speed;
        bool ai, seen;
    };
    for (const Case c : {Case{5.0f, 1.0f, true, false}, Case{5.0f, 10.0f, true, true}, Case{5.0f, 1.0f, false, true}}) {
        TestObject* sneak = Make(thing, 1, {20.0f, 0.0f, 0.0f});
        sneak->conceal = new ConcealRecord(sneak, c.threshold);
        sneak->SetVelocity(Vector{c.speed, 0.0f, 0.0f});
        if (c.ai) sneak->SetAiProcess(new Process);
        Frame(0.1f);
        EXPECT_EQ((sneak->isVisible & (1u << 2)) != 0, c.seen) << "speed " << c.speed << " ai " << c.ai;
    }
    // The owner's target is marked whatever hides it.
    TestObject* target = Make(thing, 1, {20.0f, 0.0f, 0.0f});
    target->conceal = new ConcealRecord(target, 5.0f);
    target->SetAiProcess(new Process);
    scout->SetTarget(target);
    Frame(0.1f);
    EXPECT_TRUE(target->isVisible & (1u << 2));
}

TEST_F(FramePassTest, RevealCheatWorksOnlyOutsideNetworkGames) {
    GameObjectClass& thing = NewClass();
    Make(thing, 3, {}, kEntityUser);
    TestObject* enemy = Make(thing, 5);
    cheats_ = 0x200;
    Frame(0.1f);
    EXPECT_EQ(enemy->isVisible, (1u << 5) | (1u << 3));
    network_ = true;
    Frame(0.1f);
    EXPECT_EQ(enemy->isVisible, 1u << 5);
}

TEST_F(FramePassTest, SensorWithAPeriodSweepsOnItsSchedule) {
    GameObjectClass& thing = NewClass();
    TestObject* scout = Make(thing, 2);
    scout->sensor = new ObjectSensor(scout);
    scout->sensor->period = 0.5f;
    std::string pattern;
    for (int frame = 0; frame < 9; ++frame) {
        Frame(0.125f);
        pattern += scout->sensor->active ? 'S' : '.';
    }
    EXPECT_EQ(pattern, "S...S...S");
}

TEST_F(FramePassTest, IlluminationFadesUnseenAndReturnsWhenSeen) {
    GameObjectClass& thing = NewClass();
    TestObject* user = Make(thing, 1, {}, kEntityUser);
    TestObject* enemy = Make(thing, 2, {1000.0f, 0.0f, 0.0f});
    enemy->illumination = 1.0f;
    std::vector<float> seen;
    for (int i = 0; i < 4; ++i) {
        Frame(0.3f);
        seen.push_back(enemy->illumination);
    }
    EXPECT_NEAR(seen[0], 0.7f, 1e-6f);
    EXPECT_NEAR(seen[2], 0.1f, 1e-6f);
    EXPECT_EQ(seen[3], 0.0f) << "never below 0";
    user->sensor = new ObjectSensor(user);
    user->sensor->range = 2000.0f;
    Frame(0.3f);
    EXPECT_EQ(enemy->illumination, 1.0f);
    EXPECT_EQ(user->illumination, 1.0f);
}

TEST_F(FramePassTest, TeamsOutsideTheMaskChangeNothing) {
    TestObject* object = Make(NewClass());
    object->isVisible = object->seen = 0;
    for (int32_t team : {-1, 32, 40, INT32_MIN}) object->MarkSeenBy(team);
    EXPECT_EQ(object->isVisible, 0u);
    EXPECT_EQ(object->seen, 0u);
    object->perceivedTeam = 33;
    Frame(0.1f);
    EXPECT_EQ(object->isVisible, 0u);
}

TEST_F(FramePassTest, SensorsAreListedInCreationOrderAndLeaveWithTheirObject) {
    GameObjectClass& thing = NewClass();
    TestObject* a = Make(thing);
    TestObject* b = Make(thing);
    b->sensor = new ObjectSensor(b);
    a->sensor = new ObjectSensor(a);
    a->conceal = new ConcealRecord(a, 1.0f);
    ASSERT_EQ(ObjectSensor_List().size(), 2u);
    EXPECT_EQ(ObjectSensor_List()[0], b->sensor);
    delete b;
    ASSERT_EQ(ObjectSensor_List().size(), 1u);
    EXPECT_EQ(ObjectSensor_List()[0], a->sensor);
}

TEST_F(FramePassTest, RevealAllLightsEverything) {
    TestObject* object = Make(NewClass());
    GameObject_RevealAll();
    EXPECT_EQ(object->illumination, 1.0f);
    EXPECT_EQ(object->isVisible, 0xFFFFFFFFu);
}

// ---- alliances and removal --------------------------------------------------------------------

TEST_F(FramePassTest, AllianceChangesRecolourTheTeamAndRefuseBadTeams) {
    GameObject_SetColourPair(kColoursAlly, 11, 12);
    GameObject_SetColourPair(kColoursEnemy, 21, 22);
    GameObjectClass& thing = NewClass();
    Make(thing, 1, {}, kEntityUser)->SetTeam(1);
    TestObject* other = Make(thing, 4);
    other->SetTeam(4);
    EXPECT_EQ(other->teamColours[0], 21u);
    ASSERT_TRUE(GameObject_OnAlly(4));
    EXPECT_TRUE(GameObject_GetUserTeamRecord()->IsAlly(4));
    EXPECT_EQ(other->teamColours[0], 11u);
    ASSERT_TRUE(GameObject_OnUnally(4));
    EXPECT_EQ(other->teamColours[0], 21u);
    EXPECT_EQ(g_log, (std::vector<std::string>{"unit display", "unit display"}));
    for (int32_t team : {-1, 8, 1, 1000}) {
        EXPECT_FALSE(GameObject_OnAlly(team)) << team;
        EXPECT_FALSE(GameObject_OnUnally(team)) << team;
    }
    EXPECT_EQ(g_log.size(), 2u);
}

TEST_F(FramePassTest, RemoveAllEndsWhenATeardownLeavesItsObjectListed) {
    GameObjectClass& thing = NewClass();
    Make(thing);
    TestObject* deleting = Make(thing);
    deleting->Does().selfDeleting = true;
    TestObject* stays = Make(thing);
    stays->TearDown();  // already torn down before the mission ends
    g_log.clear();
    GameObject_RemoveAll();
    EXPECT_TRUE(GameObject_List().empty());
    EXPECT_EQ(g_log, (std::vector<std::string>{"teardown 2", "teardown 1"}))
        << "last first; the one torn down already is not torn down again";
}

}  // namespace
