#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "core/bytes.h"
#include "core/clock.h"
#include "core/registration.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "fun3d/craft.h"
#include "fun3d/framepasses.h"
#include "fun3d/netpack.h"
#include "fun3d/objectslot.h"
#include "weapons/bullet.h"
#include "weapons/explosion.h"
#include "weapons/firedue.h"
#include "weapons/ordnance.h"
#include "weapons/weaponsinstall.h"
#include "weapons_fixture.h"

namespace {

// An object that keeps every hit it takes.
class Target : public GameObject {
public:
    using GameObject::GameObject;
    bool TakeDamage(DamageInfo* damage, const Vector* offset) override {
        hits.push_back(*damage);
        if (offset) lastOffset = *offset;
        return false;
    }
    bool IsReady() override { return ready; }
    std::vector<DamageInfo> hits;
    Vector lastOffset{};
    bool ready = true;
};

// A shot that counts its updates and steps (and can die on a given step).
class CountingShot : public Ordnance {
public:
    using Ordnance::Ordnance;
    void Update(float) override { ++updates; }
    void Step(float dt) override {
        ++steps;
        stepped += dt;
        if (steps == dieOnStep) entity->flags |= kEntityDead;
    }
    int updates = 0;
    int steps = 0;
    float stepped = 0.0f;
    int dieOnStep = -1;
};
class CountingClass : public OrdnanceClass {
public:
    using OrdnanceClass::OrdnanceClass;
    Ordnance* MakeObject(Entity* entity) override { return new CountingShot(entity, this); }
};

// What the fake session saw.
struct Wire {
    bool network = true;
    uint16_t local = 1;
    int maxSize = 512;
    bool debug = false;
    std::vector<std::vector<uint8_t>> queued;
    std::vector<std::vector<uint8_t>> reliable;
    std::vector<std::string> log;
    int clears = 0;
};
Wire g_wire;

Matrix Aim(float x, float y, float z, Vector front) {
    return Matrix_FromPositionDirection(DVector{x, y, z}, front);
}
Vector Pos(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}

class OrdnanceTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        TerrainBounds.minXm = TerrainBounds.minZm = -1000.0f;
        TerrainBounds.maxXm = TerrainBounds.maxZm = 1000.0f;
        TerrainBounds.lowest = 0.0f;
        TerrainBounds.highest = 100.0f;
        GameObject_CreateGrid();
        Clock_SetTime(10.0f);
        Ordnance_SetFrameTimeForTest(0.0f);
        g_wire = Wire{};
        g_wire.network = false;
        NetSeam& net = Seam_Net();
        net.isNetworkGame = [] { return g_wire.network; };
        net.localPlayerId = [] { return g_wire.local; };
        net.maxMessageSize = [] { return g_wire.maxSize; };
        net.debugFlag = [] { return g_wire.debug; };
        net.debugLog = [](const char* text) { g_wire.log.emplace_back(text); };
        net.queueOrdnance = [](const uint8_t* m, int n) {
            g_wire.queued.emplace_back(m, m + n);
            return 0;
        };
        net.clearQueuedOrdnance = [] { ++g_wire.clears; };
        net.sendReliable = [](uint16_t, uint32_t, const uint8_t* m, int n) { g_wire.reliable.emplace_back(m, m + n); };
        net.findObject = [](uint32_t) -> NetObject* { return nullptr; };

        for (const char* x : {"xhitgnd", "xhitcar", "xhitbld"}) {
            content::ExplosionValues v;
            v.frameCount = 2;
            v.secondsPerFrame = 0.1f;
            AddExplosion(x, v);
        }
        content::OrdnanceValues b;
        b.explosionGround = "xhitgnd";
        b.explosionVehicle = "xhitcar";
        b.explosionBuilding = "xhitbld";
        b.lifetime = 2.0f;
        b.speed = 200.0f;
        b.damage[0] = 20;
        b.writeDamage = true;
        b.reportHits = 1;
        AddOrdnance("bullet1", b);
        b.speed = 100.0f;
        AddOrdnance("mgbullet", b);
    }
    void TearDown() override {
        Ordnance_SetFrameTimeForTest(-1.0f);
        WeaponsFixture::TearDown();
    }
    OrdnanceClass* Bullet1() { return OrdnanceClass::Find("bullet1"); }
    Target* At(float x, float y, float z, float radius = 2.0f, int32_t type = 1) {
        Entity* e = NewRoot(1, 0, false);
        e->type = type;
        Target* t = GameObject_New<Target>(e, &NewClass());
        t->SetPosition(Vector{x, y, z});
        t->radius = radius;
        GameObject_UpdateGrid();
        return t;
    }
    CountingClass* Counter() {
        OrdnanceClass* proto = nullptr;
        for (OrdnanceClass* p : OrdnanceClass::Prototypes())
            if (std::strcmp(p->label, "ordnance") == 0) proto = p;
        AddFile("counter.odf", "[OrdnanceClass]\n");
        return new CountingClass(proto, ClassName_From("counter"));
    }
    static std::vector<uint8_t> Body(const std::vector<uint8_t>& message) {
        return std::vector<uint8_t>(message.begin() + 2, message.end());
    }
};

TEST_F(OrdnanceTest, CommonNamesTravelAsOneByteAndOthersAsEightBytes) {
    EXPECT_EQ(Ordnance_NameToCode(ClassName_From("snipe")), 128);
    EXPECT_EQ(Ordnance_NameToCode(ClassName_From("bullet1")), 129);
    EXPECT_EQ(Ordnance_NameToCode(ClassName_From("flame")), 150);
    EXPECT_EQ(Ordnance_NameToCode(ClassName_From("mgbullet")), 0);
    EXPECT_TRUE(Ordnance_CodeToName(150) == ClassName_From("flame"));
    for (int code : {0, 127, 151, 255}) EXPECT_TRUE(Ordnance_CodeToName(static_cast<uint8_t>(code)).Empty()) << code;

    g_wire.network = true;
    Bullet1()->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
    OrdnanceClass::Find("mgbullet")->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
    Ordnance_SendNew();
    ASSERT_EQ(g_wire.queued.size(), 1u);
    const std::vector<uint8_t>& m = g_wire.queued[0];
    // Newest first: mgbullet by its name bytes, then bullet1 by its code.
    ASSERT_EQ(m.size(), 2u + (8 + 20) + (1 + 20));
    EXPECT_EQ(std::string(m.begin() + 2, m.begin() + 10), std::string("mgbullet"));
    EXPECT_EQ(m[2 + 28], 129);
}

TEST_F(OrdnanceTest, ARemovedShotIsReusedAndSteadyFiringAllocatesNothing) {
    OrdnanceClass* cls = Bullet1();
    Ordnance* first = cls->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
    Entity* entity = first->entity;
    EXPECT_EQ(entity->type, kTypeOrdnance);
    EXPECT_EQ(Entity_GetParent(entity), cls->classEntity);
    first->Remove();
    EXPECT_EQ(Entity_GetParent(entity), cls->poolEntity);
    Ordnance* again = cls->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->entity, entity);
    const uint32_t counter = EntityAlloc_Counter();
    for (int i = 0; i < 20; ++i) {
        Ordnance_StepAll(0.05f);
        Ordnance_UpdateAll(0.05f);
        if (Ordnance_LiveList().empty()) cls->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
        Ordnance_LiveList().front()->entity->flags |= kEntityDead;
    }
    EXPECT_EQ(EntityAlloc_Counter(), counter);
}

TEST_F(OrdnanceTest, ABulletHitsTheObjectInItsPathAndChoosesTheExplosionByTypeCode) {
    struct Case {
        int32_t type;
        const char* explosion;
    } cases[] = {{1, "xhitcar"}, {3, "xhitcar"}, {7, "xhitcar"}, {2, "xhitbld"}, {8, "xhitbld"},
                 {10, "xhitbld"}, {9, "xhitgnd"}, {15, "xhitgnd"}};
    for (const Case& c : cases) {
        Target* t = At(0, 50, 20, 2.0f, c.type);
        Ordnance* shot = Bullet1()->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
        Ordnance_StepAll(0.2f);
        ASSERT_EQ(t->hits.size(), 1u) << c.type;
        EXPECT_FLOAT_EQ(t->hits[0].amount, 20.0f);
        EXPECT_EQ(t->hits[0].carrier, shot->entity);
        EXPECT_EQ(t->lastHitOrdnance, Bullet1());
        EXPECT_TRUE(shot->IsDead());
        EXPECT_NEAR(Pos(shot->entity).z, 20.0f - 1.5f, 1e-3f) << "stops at the shrunk sphere";
        ASSERT_FALSE(Explosion_LiveList().empty());
        EXPECT_STREQ(Explosion_LiveList().front()->explosionClass->nameText, c.explosion) << c.type;
        // The hit flag: a local, moving object (craft only when ready).
        const bool moving = c.type == 1 || c.type == 3;
        EXPECT_EQ((shot->entity->flags & 0x2) != 0, moving) << c.type;
        Ordnance_UpdateAll(0.0f);
        delete t;
        GameObject_UpdateGrid();
    }
    Target* notReady = At(0, 50, 20);
    notReady->ready = false;
    Ordnance* shot = Bullet1()->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
    Ordnance_StepAll(0.2f);
    EXPECT_EQ(shot->entity->flags & 0x2, 0u);
    // A dead object in the path is flown through.
    Target* dead = At(30, 50, 20);
    dead->entity->flags |= kEntityDead;
    Ordnance* through = Bullet1()->Build(Aim(30, 50, 0, {0, 0, 1}), nullptr);
    Ordnance_StepAll(0.2f);
    EXPECT_TRUE(dead->hits.empty());
    EXPECT_FALSE(through->IsDead());
}

TEST_F(OrdnanceTest, AShotIgnoresItsShooterUntilItHasLeftTheShootersBox) {
    Target* shooter = At(0, 50, 0, 4.0f);
    Bullet* shot = static_cast<Bullet*>(Bullet1()->Build(Aim(0, 50, 0, {0, 0, 1}), shooter->entity));
    Ordnance_StepAll(0.001f);  // still inside the box
    EXPECT_TRUE(shooter->hits.empty());
    EXPECT_EQ(shot->ignoreShooter, 1);
    Ordnance_StepAll(0.1f);  // this step's box still reaches back into it
    EXPECT_EQ(shot->ignoreShooter, 1);
    Ordnance_StepAll(0.1f);  // clear of it
    EXPECT_EQ(shot->ignoreShooter, 0);
    // Turned back, it can hit the shooter now.
    shot->motion.velocity = Vector{0, 0, -200.0f};
    Ordnance_StepAll(0.2f);
    ASSERT_EQ(shooter->hits.size(), 1u);
    EXPECT_EQ(shooter->hits[0].source, shooter->entity);
}

TEST_F(OrdnanceTest, StepsFlyOnlyTheLifeLeftAndLeavingTheWorldKills) {
    Ordnance* shot = Bullet1()->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
    Ordnance_StepAll(5.0f);
    EXPECT_NEAR(Pos(shot->entity).z, 400.0f, 1e-2f);
    EXPECT_TRUE(shot->IsDead());
    Ordnance_UpdateAll(0.0f);

    Ordnance* out = Bullet1()->Build(Aim(990, 50, 0, {1, 0, 0}), nullptr);
    Ordnance_StepAll(0.01f);
    EXPECT_FALSE(out->IsDead());
    Ordnance_StepAll(0.1f);
    EXPECT_TRUE(out->IsDead());
}

TEST_F(OrdnanceTest, AShotUnderTheSurfaceOnlyHitsTheGroundWhenMovingIntoIt) {
    const float ground = Terrain_GetHeight(0, 0);
    Ordnance* up = Bullet1()->Build(Aim(0, ground - 1.0f, 0, {0, 1, 0}), nullptr);
    Ordnance_StepAll(0.001f);
    EXPECT_FALSE(up->IsDead()) << "moving up out of the ground";
    Ordnance* down = Bullet1()->Build(Aim(5, ground - 1.0f, 5, {0, -1, 0}), nullptr);
    Ordnance_StepAll(0.001f);
    EXPECT_TRUE(down->IsDead());
    EXPECT_NEAR(Pos(down->entity).y, ground, 1e-3f) << "raised to the surface";
}

TEST_F(OrdnanceTest, ThreatTestMeetsClosingShotsAndNothingThatDoesNotMove) {
    Target* t = At(0, 0, 10, 4.0f);
    float time = 1.0f;
    Vector normal{};
    EXPECT_TRUE(Ordnance_ThreatensObject({0, 0, 0}, {0, 0, 10}, time, normal, t, 0.0f));
    EXPECT_NEAR(time, 0.7f, 1e-5f);  // reach 3 (radius 4 x 0.75)
    EXPECT_NEAR(normal.z, -1.0f, 1e-5f);
    time = 1.0f;
    EXPECT_FALSE(Ordnance_ThreatensObject({0, 0, 0}, {0, 0, -10}, time, normal, t, 0.0f)) << "moving away";
    time = 0.5f;
    EXPECT_FALSE(Ordnance_ThreatensObject({0, 0, 0}, {0, 0, 10}, time, normal, t, 0.0f)) << "too late";
    t->euler.velocity = Vector{0, 0, 10};
    time = 1.0f;
    EXPECT_FALSE(Ordnance_ThreatensObject({0, 0, 0}, {0, 0, 10}, time, normal, t, 0.0f)) << "no relative motion";
}

// ---- guns -------------------------------------------------------------------------------------

class GunTest : public OrdnanceTest {
protected:
    void SetUp() override {
        OrdnanceTest::SetUp();
        content::WeaponValues cannon;
        cannon.label = "cannon";
        cannon.ordnance = "bullet1";
        cannon.fireSound = "boom.wav";
        cannon.reloadTime = 0.5f;
        AddWeapon("wcannon", cannon);
        cannon.label = "machinegun";
        cannon.fireSound = "rattle.wav";
        cannon.reloadTime = 0.05f;
        AddWeapon("wmgun", cannon);
        Seam_Audio().soundPlay = [](const char* name, Entity*, uint32_t flags, int) -> void* {
            sounds.push_back(std::string(name) + "/" + std::to_string(flags));
            return &sounds;
        };
        Seam_Audio().soundStopAttached = [](Entity*) {
            ++stops;
            return false;
        };
        sounds.clear();
        stops = 0;
    }
    Cannon* Gun(const char* name, int32_t ammo = 50) {
        Entity* root = NewRoot(1, 0, false);
        root->local.posit = DVector{0, 50, 0};
        Entity* hardpoint = NewPart(root, "hp_gun1");
        owner = GameObject_New<Target>(root, &NewClass(100, ammo));
        Cannon* gun = static_cast<Cannon*>(WeaponClass::Find(name)->Build(root, hardpoint));
        gun->UpdateMount(0.0f);
        return gun;
    }
    static std::vector<float> CatchUps() {
        std::vector<float> out;
        for (auto it = Ordnance_LiveList().rbegin(); it != Ordnance_LiveList().rend(); ++it) out.push_back((*it)->catchUp);
        return out;
    }
    Target* owner = nullptr;
    static inline std::vector<std::string> sounds;
    static inline int stops = 0;
};

TEST_F(GunTest, ACannonFiresOncePerReloadAndForgetsAPullDuringIt) {
    Cannon* gun = Gun("wcannon");
    ASSERT_NE(dynamic_cast<CannonClass*>(gun->weaponClass), nullptr);
    EXPECT_EQ(gun->ownerObject, owner);
    gun->PullTrigger();
    gun->Update(0.1f);
    ASSERT_EQ(Ordnance_LiveList().size(), 1u);
    EXPECT_FLOAT_EQ(Ordnance_LiveList().front()->catchUp, 0.0f);  // clock - dt
    EXPECT_EQ(owner->curAmmo, 49);
    EXPECT_EQ(sounds, std::vector<std::string>{"boom.wav/2048"});
    EXPECT_FLOAT_EQ(gun->shotClock, 0.1f - 0.5f);
    gun->PullTrigger();
    gun->Update(0.2f);  // reloading: the pull is forgotten
    EXPECT_EQ(Ordnance_LiveList().size(), 1u);
    EXPECT_EQ(gun->trigger, 0);
    gun->Update(0.25f);  // due now, but nobody pulls
    EXPECT_EQ(Ordnance_LiveList().size(), 1u);
    EXPECT_FLOAT_EQ(gun->shotClock, 0.0f);
    gun->PullTrigger();
    gun->Update(2.0f);  // long overdue: still one shot
    EXPECT_EQ(Ordnance_LiveList().size(), 2u);
    EXPECT_FLOAT_EQ(Ordnance_LiveList().front()->catchUp, 0.0f);
}

TEST_F(GunTest, AMachineGunFiresEveryShotThatFellDueWithItsOwnCatchUp) {
    Cannon* gun = Gun("wmgun");
    gun->PullTrigger();
    gun->Update(0.2f);
    const std::vector<float> catchUps = CatchUps();
    ASSERT_EQ(catchUps.size(), 4u);
    const float expected[] = {0.0f, -0.05f, -0.1f, -0.15f};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(catchUps[i], expected[i], 1e-6f) << i;
    EXPECT_EQ(owner->curAmmo, 46);
    // The loop sound starts once and stops on release.
    gun->PullTrigger();
    gun->Update(0.2f);
    EXPECT_EQ(sounds, std::vector<std::string>{"rattle.wav/2049"});
    EXPECT_EQ(stops, 0);
    gun->Update(0.2f);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(static_cast<MachineGun*>(gun)->fireLoop, nullptr);
}

TEST_F(GunTest, MachineGunShotsStayBoundedByTheUpdateAndTheAmmunition) {
    struct Case {
        float reload;
        float frame;
        int32_t ammo;
        size_t shots;
    } cases[] = {{0.0f, 0.1f, 500, 1}, {-1.0f, 0.1f, 500, 1}, {1e-6f, 0.1f, 500, 64}, {0.05f, 0.2f, 2, 2}};
    for (const Case& c : cases) {
        Cannon* gun = Gun("wmgun", c.ammo);
        static_cast<CannonClass*>(gun->weaponClass)->reloadTime = c.reload;
        gun->PullTrigger();
        gun->Update(c.frame);
        EXPECT_EQ(Ordnance_LiveList().size(), c.shots) << c.reload;
        // Out of ammunition the loop ends; the next update without a shot drops the rest.
        if (c.ammo > 100) {
            EXPECT_LE(gun->shotClock, 0.0f + kFireDueTolerance) << c.reload;
        }
        Ordnance_DeleteAll();
        Weapon::DeleteEntity(gun);
        static_cast<CannonClass*>(WeaponClass::Find("wmgun"))->reloadTime = 0.05f;
    }
}

TEST_F(GunTest, AGunWithoutOrdnanceFiresNothing) {
    content::WeaponValues dud;
    dud.label = "machinegun";
    dud.ordnance = "nothing";
    AddWeapon("wdud", dud);
    Cannon* gun = Gun("wdud");
    EXPECT_FALSE(gun->CanFire());
    gun->PullTrigger();
    gun->Update(0.5f);
    EXPECT_TRUE(Ordnance_LiveList().empty());
}

TEST_F(GunTest, TheTechnoTintColoursWrapAfterThirty) {
    int rgb[3];
    const int expected[][4] = {{0, 255, 0, 0}, {5, 255, 255, 0}, {10, 0, 255, 0}, {15, 0, 255, 255},
                               {20, 0, 0, 255}, {25, 255, 0, 255}, {29, 255, 0, 51}, {30, 255, 0, 0}, {1, 255, 51, 0}};
    for (const auto& e : expected) {
        MachineGun_TechnoColour(e[0], rgb);
        EXPECT_EQ(rgb[0], e[1]) << e[0];
        EXPECT_EQ(rgb[1], e[2]) << e[0];
        EXPECT_EQ(rgb[2], e[3]) << e[0];
    }
}

TEST_F(GunTest, TheAimLeadsAMovingTarget) {
    Cannon* gun = Gun("wcannon");
    gun->mountMatrix = kIdentityMatrix;
    Target* t = At(0, 0, 100);
    t->euler.velocity = Vector{10, 0, 0};
    t->euler.speed = 10.0f;
    Vector aim{};
    gun->GetAimPoint(&aim, t);
    // a = 100 - 40000, b = 0, c = 100^2 * 39900 > 0: t = -sqrt(c)/a.
    const float time = 100.0f * std::sqrt(39900.0f) / 39900.0f;
    EXPECT_NEAR(aim.x, 10.0f * time, 1e-3f);
    // Faster than the shot and crossing: no real intercept, t = -b/a.
    t->euler.velocity = Vector{300, 0, 0};
    t->euler.speed = 300.0f;
    t->SetPosition(Vector{0, 0, 100});
    gun->GetAimPoint(&aim, t);
    EXPECT_NEAR(aim.x, 0.0f, 1e-3f);  // b = 0
    // Faster and receding: a = 60000, b = 10000, c < 0, so t = -b/a = -1/6.
    t->euler.velocity = Vector{300, 0, 100};
    t->euler.speed = std::sqrt(100000.0f);
    gun->GetAimPoint(&aim, t);
    EXPECT_NEAR(aim.x, -50.0f, 1e-2f);
    EXPECT_NEAR(aim.z, 100.0f - 100.0f / 6.0f, 1e-2f);
    // As fast as the shot (a = 0): closing meets at |d|^2 / -2b; otherwise the position.
    t->euler.velocity = Vector{0, 0, -200};
    t->euler.speed = 200.0f;
    gun->GetAimPoint(&aim, t);
    EXPECT_NEAR(aim.z, 100.0f - 200.0f * 0.25f, 1e-3f);
    t->euler.velocity = Vector{0, 0, 200};
    gun->GetAimPoint(&aim, t);
    EXPECT_NEAR(aim.z, 100.0f, 1e-3f);
}

// ---- the network exchange ---------------------------------------------------------------------

TEST_F(OrdnanceTest, AnotherMachineFliesTheSamePathFromTheLaunchRecord) {
    g_wire.network = true;
    Ordnance* a = Bullet1()->Build(Aim(12.3f, 40.1f, -7.7f, Vec3_Normalize(Vector{0.3f, 0.1f, 1.0f})), nullptr);
    EXPECT_EQ(a->netPlayer, 1);
    EXPECT_EQ(a->netSerial, 1);
    Ordnance_SendNew();
    ASSERT_EQ(g_wire.queued.size(), 1u);
    EXPECT_EQ(a->netState, kOrdnanceSent);
    std::vector<Vector> path;
    for (int i = 0; i < 5; ++i) {
        Ordnance_StepAll(0.03f);
        path.push_back(Pos(a->entity));
    }
    const std::vector<uint8_t> body = Body(g_wire.queued[0]);
    Ordnance_DeleteAll();

    g_wire.local = 2;
    Ordnance_ReceiveNew(body.data(), static_cast<int>(body.size()), 1);
    ASSERT_EQ(Ordnance_LiveList().size(), 1u);
    Ordnance* b = Ordnance_LiveList().front();
    EXPECT_EQ(b->netPlayer, 1);
    EXPECT_EQ(b->netSerial, 1);
    EXPECT_EQ(b->netState, kOrdnanceNotSent);
    EXPECT_EQ(Ordnance_SerialCounter(), 0) << "the local serial is given back";
    EXPECT_EQ(Ordnance_FindByKey(1, 1), b);
    for (int i = 0; i < 5; ++i) {
        Ordnance_StepAll(0.03f);
        const Vector p = Pos(b->entity);
        EXPECT_NEAR(p.x, path[i].x, 1.0f / 64);
        EXPECT_NEAR(p.y, path[i].y, 1.0f / 64);
        EXPECT_NEAR(p.z, path[i].z, 1.0f / 64);
    }
}

TEST_F(OrdnanceTest, AnOldRecordIsCaughtUpInBoundedStepsAndAFutureOneWaitsForNothing) {
    CountingClass* counter = Counter();
    ASSERT_EQ(OrdnanceClass::Find("counter"), counter);
    auto record = [](const char* name, uint16_t serial, float time) {
        std::vector<uint8_t> r(8, 0);
        std::memcpy(r.data(), name, std::strlen(name));
        uint8_t placement[kNetPackOrdnanceSize];
        NetPack_PackOrdnance(placement, DVector{0, 50, 0}, Vector{0, 0, 1});
        r.insert(r.end(), placement, placement + kNetPackOrdnanceSize);
        Bytes_AppendU16(r, serial);
        Bytes_AppendU32(r, 0u);
        Bytes_AppendF32(r, time);
        return r;
    };
    Ordnance_SetFrameTimeForTest(0.03f);
    g_wire.debug = true;
    struct Case {
        const char* what;
        float time;
        int steps;
        float left;
    } cases[] = {
        {"1 s old", 9.0f, 19, 0.02f},
        {"10 s in the future", 20.0f, 0, 0.0f},
        {"2 s in the future: waits", 12.0f, 0, -2.03f},
        {"garbage time", std::nanf(""), 0, 0.0f},
        // 10 s less 0.03 in steps of 0.05: 199 whole steps, float rounding leaves 0.05 over.
        {"an age of a day is cut at 10 s", -86400.0f, 199, 0.05f},
    };
    uint16_t serial = 1;
    for (const Case& c : cases) {
        g_wire.log.clear();
        const std::vector<uint8_t> r = record("counter", serial, c.time);
        Ordnance_ReceiveNew(r.data(), static_cast<int>(r.size()), 7);
        auto* shot = static_cast<CountingShot*>(Ordnance_FindByKey(7, serial++));
        ASSERT_NE(shot, nullptr) << c.what;
        EXPECT_NEAR(shot->steps, c.steps, c.steps > 100 ? 1 : 0) << c.what;
        EXPECT_EQ(shot->updates, shot->steps) << c.what;
        EXPECT_NEAR(shot->catchUp, c.left, 2e-3f) << c.what;
        ASSERT_FALSE(g_wire.log.empty());
        EXPECT_EQ(g_wire.log[0].rfind("Now = ", 0), 0u) << c.what;
    }
    const std::vector<uint8_t> future = record("counter", 99, 20.0f);
    g_wire.log.clear();
    Ordnance_ReceiveNew(future.data(), static_cast<int>(future.size()), 7);
    ASSERT_EQ(g_wire.log.size(), 2u);
    EXPECT_EQ(g_wire.log[1].rfind("Future ordnance = -10.02", 0), 0u) << g_wire.log[1];

    // A shot that dies during the catch-up stops; a known one is put back and flown again.
    auto* known = static_cast<CountingShot*>(Ordnance_FindByKey(7, 1));
    known->dieOnStep = known->steps + 3;
    known->entity->local.posit = DVector{500, 50, 500};
    const std::vector<uint8_t> again = record("counter", 1, 9.0f);
    Ordnance_ReceiveNew(again.data(), static_cast<int>(again.size()), 7);
    EXPECT_EQ(known->steps, 19 + 3);
    EXPECT_NEAR(known->entity->local.posit.x, 0.0, 1e-6);
    EXPECT_EQ(Ordnance_FindByKey(7, 1), known) << "not built twice";
}

TEST_F(OrdnanceTest, ExpiryAndKillMessagesShortenTheLifeOfKnownShots) {
    g_wire.network = true;
    g_wire.local = 3;
    Ordnance* a = Bullet1()->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
    Ordnance* b = Bullet1()->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
    Ordnance* c = Bullet1()->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
    std::vector<uint8_t> pairs;
    Bytes_AppendU16(pairs, uint16_t{3});
    Bytes_AppendU16(pairs, a->netSerial);
    Bytes_AppendU16(pairs, uint16_t{4});  // an unknown key
    Bytes_AppendU16(pairs, a->netSerial);
    pairs.push_back(0xEE);  // a trailing pad byte
    Ordnance_ReceiveExpire(pairs.data(), static_cast<int>(pairs.size()), 4, 0.2f);
    EXPECT_FLOAT_EQ(a->lifeLeft, 0.2f);
    EXPECT_FALSE(a->IsDead());
    EXPECT_FLOAT_EQ(b->lifeLeft, 2.0f);
    pairs[2] = static_cast<uint8_t>(b->netSerial);
    Ordnance_ReceiveExpire(pairs.data(), 4, 4, 0.0f);
    EXPECT_TRUE(b->IsDead());
    std::vector<uint8_t> serials;
    Bytes_AppendU16(serials, c->netSerial);
    Ordnance_ReceiveKill(serials.data(), 2, 4);  // keyed by the sender: not ours
    EXPECT_FLOAT_EQ(c->lifeLeft, 2.0f);
    Ordnance_ReceiveKill(serials.data(), 2, 3);
    EXPECT_FLOAT_EQ(c->lifeLeft, 0.0f);
}

TEST_F(OrdnanceTest, HitsOfRemoteShotsAreReportedInBatchesOf127) {
    g_wire.network = true;
    g_wire.local = 2;
    Target* t = At(0, 50, 20);
    // 130 shots of player 5 that hit here.
    std::vector<uint8_t> body;
    for (uint16_t serial = 1; serial <= 130; ++serial) {
        body.push_back(129);
        uint8_t placement[kNetPackOrdnanceSize];
        NetPack_PackOrdnance(placement, DVector{0, 50, 0}, Vector{0, 0, 1});
        body.insert(body.end(), placement, placement + kNetPackOrdnanceSize);
        Bytes_AppendU16(body, serial);
        Bytes_AppendU32(body, 0u);
        Bytes_AppendF32(body, 10.0f);
        if (serial % 10 == 0) {
            Ordnance_ReceiveNew(body.data(), static_cast<int>(body.size()), 5);
            body.clear();
        }
    }
    ASSERT_EQ(Ordnance_LiveList().size(), 130u);
    Ordnance_StepAll(0.2f);
    EXPECT_EQ(t->hits.size(), 130u);
    Ordnance_UpdateAll(0.0f);
    ASSERT_EQ(g_wire.reliable.size(), 2u);
    EXPECT_EQ(g_wire.reliable[0].size(), 2u + 127 * 4);
    EXPECT_EQ(g_wire.reliable[1].size(), 2u + 3 * 4);
    EXPECT_EQ(g_wire.reliable[0][0], 'x');
    EXPECT_EQ(g_wire.reliable[0][1], 'o');
    EXPECT_EQ(Bytes_U16(&g_wire.reliable[0][2]), 5);
}

TEST_F(OrdnanceTest, BrokenLaunchMessagesEndCleanlyAndKeepWhatWasApplied) {
    std::vector<uint8_t> good{129};
    uint8_t placement[kNetPackOrdnanceSize];
    NetPack_PackOrdnance(placement, DVector{0, 50, 0}, Vector{0, 0, 1});
    good.insert(good.end(), placement, placement + kNetPackOrdnanceSize);
    Bytes_AppendU16(good, uint16_t{1});
    Bytes_AppendU32(good, 0u);
    Bytes_AppendF32(good, 10.0f);
    struct Case {
        const char* what;
        std::vector<uint8_t> tail;
    } cases[] = {
        {"a cut record", std::vector<uint8_t>(good.begin(), good.begin() + 9)},
        {"an unknown class", {'n', 'o', 'p', 'e', 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}},
        {"a code outside the table", {151, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
        {"a short name", {'a', 'b', 'c'}},
        {"a pad byte", {0}},
    };
    uint16_t sender = 10;
    for (const Case& c : cases) {
        std::vector<uint8_t> body = good;
        body.insert(body.end(), c.tail.begin(), c.tail.end());
        Ordnance_ReceiveNew(body.data(), static_cast<int>(body.size()), sender);
        EXPECT_NE(Ordnance_FindByKey(sender, 1), nullptr) << c.what;
        ++sender;
    }
    EXPECT_EQ(Ordnance_LiveList().size(), 5u);
    Ordnance_ReceiveNew(nullptr, 10, 1);
    Ordnance_ReceiveNew(good.data(), 1, 1);
    EXPECT_EQ(Ordnance_LiveList().size(), 5u);
}

TEST_F(OrdnanceTest, ARemovedShotsKeyStaysATombstoneUntilALaterLaunch) {
    std::vector<uint8_t> rec{129};
    uint8_t placement[kNetPackOrdnanceSize];
    NetPack_PackOrdnance(placement, DVector{0, 50, 0}, Vector{0, 0, 1});
    rec.insert(rec.end(), placement, placement + kNetPackOrdnanceSize);
    Bytes_AppendU16(rec, uint16_t{9});
    Bytes_AppendU32(rec, 0u);
    Bytes_AppendF32(rec, 10.0f);
    Ordnance_ReceiveNew(rec.data(), static_cast<int>(rec.size()), 4);
    Ordnance* shot = Ordnance_FindByKey(4, 9);
    ASSERT_NE(shot, nullptr);
    shot->entity->flags |= kEntityDead;
    Ordnance_UpdateAll(0.0f);
    EXPECT_EQ(Ordnance_FindByKey(4, 9), nullptr);
    EXPECT_EQ(Ordnance_MapSize(), 1u);
    // A late copy of the same launch does not bring it back; messages ignore the tombstone.
    Ordnance_ReceiveNew(rec.data(), static_cast<int>(rec.size()), 4);
    EXPECT_TRUE(Ordnance_LiveList().empty());
    const uint8_t pair[4] = {4, 0, 9, 0};
    Ordnance_ReceiveExpire(pair, 4, 4, 0.0f);
    Ordnance_ReceiveKill(pair + 2, 2, 4);
    // A later launch under the same key (the serial wrapped) is a new shot.
    rec[rec.size() - 4] = 0;
    const float later = 11.0f;
    std::memcpy(&rec[rec.size() - 4], &later, 4);
    Ordnance_ReceiveNew(rec.data(), static_cast<int>(rec.size()), 4);
    Ordnance* again = Ordnance_FindByKey(4, 9);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again, shot) << "the pooled object, re-keyed";
    // Re-keying drops only the entry that names the shot.
    Ordnance_Rekey(again, 4, 10);
    EXPECT_EQ(Ordnance_FindByKey(4, 9), nullptr);
    EXPECT_EQ(Ordnance_FindByKey(4, 10), again);
    Ordnance_DeleteAll();
    EXPECT_EQ(Ordnance_MapSize(), 0u);
}

TEST_F(OrdnanceTest, SendingCutsAtARecordBoundaryAndKeepsTheRestWaiting) {
    g_wire.network = true;
    for (int i = 0; i < 3; ++i) Bullet1()->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
    // Each record is 21 bytes: exactly two fit in 44.
    g_wire.maxSize = 2 + 2 * 21;
    Ordnance_SendNew();
    ASSERT_EQ(g_wire.queued.size(), 1u);
    EXPECT_EQ(g_wire.queued[0].size(), 44u) << "a message of exactly the limit is sent";
    EXPECT_EQ(g_wire.clears, 1);
    std::vector<uint32_t> states;
    for (Ordnance* s : Ordnance_LiveList()) states.push_back(s->netState);
    EXPECT_EQ(states, (std::vector<uint32_t>{kOrdnanceSent, kOrdnanceSent, kOrdnanceNew}));
    g_wire.maxSize = 2 + 20;
    g_wire.queued.clear();
    Ordnance_SendNew();
    EXPECT_TRUE(g_wire.queued.empty()) << "nothing fits: nothing sent";
    // The one-byte prefix length caps the body at 254 bytes even when the session allows more:
    // 12 records (252 bytes) fit, a 13th would not.
    g_wire.maxSize = 100000;
    for (int i = 0; i < 12; ++i) Bullet1()->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
    Ordnance_SendNew();
    ASSERT_EQ(g_wire.queued.size(), 1u);
    EXPECT_EQ(g_wire.queued[0].size(), 2u + 12 * 21);

    Ordnance_SetStateAll(1);
    size_t sent = 0, stopped = 0;
    for (Ordnance* s : Ordnance_LiveList()) {
        sent += s->netState == kOrdnanceSent;
        stopped += s->netState == kOrdnanceNotSent;
    }
    EXPECT_EQ(sent, 0u);
    EXPECT_EQ(stopped, 14u) << "the 12 newest and the 2 of the first message";
    Ordnance* last = Ordnance_LiveList().back();
    last->netState = kOrdnanceSent;
    Ordnance_SetStateAll(0);
    EXPECT_EQ(last->netState, kOrdnanceNew);
}

TEST_F(OrdnanceTest, ThePackedPlacementKeepsPositionToASixtyFourthAndClampsItsFields) {
    uint8_t r[kNetPackOrdnanceSize];
    NetPack_PackOrdnance(r, DVector{12.34, 5.5, -7.01}, Vector{0, 1, 0});
    EXPECT_EQ(NetPack_ReadSignedBits(r, 68, 12), -2048) << "straight up: the pitch field's minimum";
    Matrix m;
    NetPack_UnpackOrdnance(m, r);
    EXPECT_NEAR(m.posit.x, 12.34, 1.0 / 128);
    EXPECT_NEAR(m.posit.y, 5.5, 1.0 / 128);
    EXPECT_NEAR(m.posit.z, -7.01, 1.0 / 128);
    EXPECT_NEAR(m.front.y, 1.0f, 1e-3f);
    NetPack_PackOrdnance(r, DVector{1e6, -50.0, -1e6}, Vector{1, 0, 0});
    EXPECT_EQ(NetPack_ReadSignedBits(r, 0, 20), (1 << 19) - 1);
    EXPECT_EQ(NetPack_ReadBits(r, 20, 15), 0u) << "below the world base";
    EXPECT_EQ(NetPack_ReadSignedBits(r, 35, 20), -(1 << 19));
    EXPECT_EQ(NetPack_ReadSignedBits(r, 55, 13), 2048) << "yaw pi/2 x 1303.479, rounded";
    NetPack_PackOrdnance(r, DVector{0, 1e6, 0}, Vector{0, 0, 1});
    EXPECT_EQ(NetPack_ReadBits(r, 20, 15), 32767u) << "the height saturates";
}

TEST_F(OrdnanceTest, ACraftHitByACannonShotLosesHealth) {
    auto* cls = new CraftClass("craft", Signature("CRFT"), kCategoryCraft);
    cls->health = 1000;
    cls->ammo = 100;
    classes_.push_back(cls);
    Craft* craft = GameObject_New<Craft>(NewRoot(2, 0, false), cls);
    ASSERT_NE(craft, nullptr);
    craft->SetPosition(Vector{0, 50, 30});
    craft->radius = 3.0f;
    GameObject_UpdateGrid();
    const float before = craft->curHealth;
    Bullet1()->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
    Ordnance_StepAll(0.2f);
    EXPECT_FLOAT_EQ(craft->curHealth, before - 20.0f);
    EXPECT_EQ(craft->lastHitOrdnance, Bullet1());
}

}  // namespace
