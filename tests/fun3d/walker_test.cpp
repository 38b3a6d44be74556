// The walker: its class, its speeds and acceleration limits on the ground and in the air, the
// jump, the step sounds, the leg states and animations, contacts, the gun aim, the command menu,
// the network record and priority, and old saved games.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "ai/aimission.h"
#include "class_fixture.h"
#include "collision/collision.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/registration.h"
#include "core/seams/audio.h"
#include "core/seams/weapons.h"
#include "fun3d/craftservices.h"
#include "fun3d/framepasses.h"
#include "fun3d/hardpoints.h"
#include "fun3d/teamrecord.h"
#include "fun3d/walker.h"
#include "platform/random.h"
#include "support/field_stream.h"
#include "terrain_writer.h"

namespace {

constexpr float kGround = 30.0f;
constexpr float kDt = 1.0f / 30.0f;
constexpr float kPi = 3.14159265f;

struct Calls {
    std::vector<std::string> sounds;        // played on an object
    std::vector<int> stepVolumes;           // the step sound's header values
    std::vector<int32_t> animStarts;
    std::set<int> endedSlots;
    int nextSlot = 0;
    std::vector<float> animRates;
    float loopPosition = -1.0f;             // the looping animation's frame (-1: none loops)
    int damages = 0;
    std::vector<Vector> damageVelocities;
};
Calls g_calls;

class DriverProcess : public sObject {
public:
    bool Load() override { return true; }
    bool Save(FILE*) override { return true; }
    const FactoryReg* GetFactory() const override { return nullptr; }
};

// A stand-in weapon: its placement on the mount.
struct FakeWeapon {
    Matrix local = kIdentityMatrix;
};

class WalkerTest : public ClassFixture {
protected:
    void SetUp() override {
        ClassFixture::SetUp();
        InstallWorld(Records());
        Terrain_SetBaseHeight(0);
        Terrain_SetFileName("flat");
        ASSERT_EQ(Terrain_ReadZoneFiles(), 1);
        ASSERT_EQ(Terrain_LoadZone(nullptr), 1);
        Terrain_Init(0);
        GameObject_InstallClassFunctions();
        Random_Seed(4242);
        Clock_SetTime(100.0f);
        g_calls = Calls{};
        PersonServices& p = Person_Services();
        p.animStart = [](Entity*, int32_t key) {
            g_calls.animStarts.push_back(key);
            return g_calls.nextSlot++;
        };
        p.animStop = [](Entity*, int) {};
        p.animEnded = [](int slot) { return slot < 0 || g_calls.endedSlots.count(slot) > 0; };
        p.animSetRate = [](int, float rate) { g_calls.animRates.push_back(rate); };
        p.animLoopFrame = [](int, float* position, float* span) {
            if (g_calls.loopPosition < 0.0f) return false;
            *position = g_calls.loopPosition;
            *span = 20.0f;
            return true;
        };
        Seam_Audio().soundPlayOnObject = [](const char* name, Entity*) -> void* {
            g_calls.sounds.push_back(name);
            return nullptr;
        };
        Seam_Audio().soundPlay = [](const char* name, Entity*, uint32_t flags, int header) -> void* {
            g_calls.sounds.push_back(name);
            if (flags == 0x2000) g_calls.stepVolumes.push_back(header);
            return nullptr;
        };
        CraftServices& c = Craft_Services();
        c.damageDeliver = [](Entity*, Entity*, const Vector&, const Vector& velocity, const Vector*) {
            ++g_calls.damages;
            g_calls.damageVelocities.push_back(velocity);
        };
        c.weaponLocalMatrix = [](Weapon* w) -> Matrix* { return &reinterpret_cast<FakeWeapon*>(w)->local; };
        c.viewShake = [](float) {};
        Seam_Weapons().weaponDestroy = [](Weapon*) {};
        Seam_Weapons().weaponChanged = [](const Weapon*) { return false; };
    }
    void TearDown() override {
        ClassFixture::TearDown();
        Terrain_FreeAll();
        Terrain_ClearEntityList();
        Terrain_SetFileName("");
        Mission_Reset();
    }

    static std::vector<content::ArchiveRecord> Records() {
        content::TerrainMapSpec spec;
        spec.name = "flat";
        spec.width = 1280;
        spec.depth = 1280;
        spec.height = [](int, int) -> uint16_t { return static_cast<uint16_t>(kGround * 10.0f); };
        std::vector<content::ArchiveRecord> records = content::TerrainRecords(spec);
        records.push_back({"testwalk.odf", Definition("walker", "gvtank"), true, 0});
        return records;
    }
    WalkerClass& Walkers() {
        auto* cls = dynamic_cast<WalkerClass*>(GameObjectClass::Find("testwalk"));
        EXPECT_NE(cls, nullptr);
        return *cls;
    }
    // A driven walker standing on the ground in leg state 0.
    Walker* NewWalker(int32_t team = 1, double y = kGround) {
        Matrix m = kIdentityMatrix;
        m.posit = DVector{640.0, y, 640.0};
        auto* walker = dynamic_cast<Walker*>(GameObjectClass::Build(&Walkers(), m, team, false, 0, nullptr));
        EXPECT_NE(walker, nullptr);
        if (!walker) return nullptr;
        walker->SetTeam(team);
        walker->aiProcess = new DriverProcess;
        if (y <= kGround) walker->physFlags |= kWalkerOnGround;
        walker->entity->local.posit.y = y;
        return walker;
    }
    static float Forward(const Walker* w) { return Vec3_Dot(w->euler.velocity, w->entity->local.front); }
    static Vector Horizontal(const Vector& v) { return Vector{v.x, 0.0f, v.z}; }
    static float Length(const Vector& v) { return std::sqrt(Vec3_Dot(v, v)); }
};

// ---- class ------------------------------------------------------------------------------------

TEST_F(WalkerTest, TheClassReadsItsBlocksUnderThePersonKeysWithItsOwnDefaults) {
    std::vector<content::ArchiveRecord> records = Records();
    records.push_back({"walk2.odf",
                       Definition("walker", "gvtank",
                                  {{0x111CD7D8u, "6.5"},       // ground block: forward speed
                                   {0xBE842ADEu, "0.75"},      // air block: acceleration limit
                                   {0x580DC4ECu, "\"hop.wav\""},
                                   {0x91936A92u, "0.5"}}),
                       true, 0});
    InstallWorld(records);
    auto* cls = dynamic_cast<WalkerClass*>(GameObjectClass::Find("walk2"));
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->signature, Signature("WALK"));
    EXPECT_EQ(cls->teamSlotFirst, 5);
    EXPECT_EQ(cls->teamSlotLast, 14);
    EXPECT_FLOAT_EQ(cls->handling[kWalkerGround].topForward, 6.5f);
    EXPECT_FLOAT_EQ(cls->handling[kWalkerAir].accelLimit, 0.75f);
    EXPECT_STREQ(cls->jumpSound, "hop.wav");
    EXPECT_STREQ(cls->stepSound, "step.wav");
    EXPECT_FLOAT_EQ(cls->animRate, 0.5f);
    // The walker's own defaults, not a person's: a ground jump of 10, no jump in the air.
    EXPECT_FLOAT_EQ(cls->handling[kWalkerGround].jumpSpeed, 10.0f);
    EXPECT_FLOAT_EQ(cls->handling[kWalkerAir].pitchFromPitch, 0.5f);

    Walker* walker = NewWalker();
    ASSERT_NE(walker, nullptr);
    EXPECT_EQ(walker->moveKind, kMoveKindWalker);
    EXPECT_FALSE(walker->HasPilot());
}

// ---- motion -----------------------------------------------------------------------------------

TEST_F(WalkerTest, OnFlatGroundItSettlesAtItsSpeedsWithinTheAccelerationLimit) {
    struct Case {
        const char* name;
        float throttle;
        int32_t boost;
        float speed;  // along its front
    } cases[] = {
        {"full throttle", 1.0f, 0, 4.0f},
        {"the fifth word set", 1.0f, 1, 8.0f},
        {"full reverse", -1.0f, 0, -3.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Walker* w = NewWalker();
        ASSERT_NE(w, nullptr);
        float largest = 0.0f;
        for (int i = 0; i < 120; ++i) {
            w->controls.throttle = c.throttle;
            w->controls.boost = c.boost;
            const Vector before = w->euler.velocity;
            w->Update(kDt);
            largest = std::max(largest, Length(Horizontal(Vec3_Sub(w->euler.velocity, before))) / kDt);
        }
        // It leans into its stride, so its front tips off the level: the asked speed along the
        // tipped front is a little less over the ground (2% at the fifth word's lean).
        const float ground = Length(Horizontal(w->euler.velocity));
        EXPECT_NEAR(ground, std::fabs(c.speed), 0.025f * std::fabs(c.speed));
        EXPECT_GT(Forward(w) * c.speed, 0.0f) << "the way it was asked";
        EXPECT_LE(largest, 20.0f + 1e-3f) << "the ground block's limit";
        EXPECT_GT(largest, 19.0f) << "from rest it pulls at the limit";
        EXPECT_NEAR(w->entity->local.posit.y, kGround, 0.05) << "it stays on its feet";
        EXPECT_TRUE(w->physFlags & kWalkerOnGround);
        w->TearDown();
    }
}

TEST_F(WalkerTest, InTheAirTheCorrectionIsHorizontalAndHeldToTheAirLimit) {
    Walker* w = NewWalker(1, kGround + 50.0);
    ASSERT_NE(w, nullptr);
    w->physFlags = kWalkerAirborne;
    // Still rising, so no drag along its up row joins the pull.
    w->euler.velocity = Vector{0.0f, 5.0f, 0.0f};
    for (int i = 0; i < 10; ++i) {
        w->controls.throttle = 1.0f;
        const Vector before = w->euler.velocity;
        w->Update(kDt);
        const float pull = Length(Horizontal(Vec3_Sub(w->euler.velocity, before))) / kDt;
        EXPECT_LE(pull, 0.5f + 1e-3f);
        EXPECT_GT(pull, 0.45f);
    }
    EXPECT_FALSE(w->physFlags & kWalkerOnGround);
}

TEST_F(WalkerTest, AJumpWorksOnTheGroundInLegStateZeroOnly) {
    struct Case {
        const char* name;
        int32_t legs;
        bool onGround;
        bool jumps;
    } cases[] = {
        {"walking on the ground", kLegsWalking, true, true},
        {"changing stance", kLegsRising, true, false},
        {"in the air", kLegsWalking, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Walker* still = NewWalker(1, c.onGround ? kGround : kGround + 20.0);
        Walker* jumper = NewWalker(1, c.onGround ? kGround : kGround + 20.0);
        ASSERT_TRUE(still && jumper);
        for (Walker* w : {still, jumper}) {
            w->deployState = c.legs;
            w->animIndex = c.legs == kLegsRising ? kWalkerAnimRise : -1;
            w->animSlot = c.legs == kLegsRising ? 99 : -1;
        }
        g_calls.sounds.clear();
        jumper->controls.jump = 1;
        still->Update(kDt);
        jumper->Update(kDt);
        const float gained = jumper->euler.velocity.y - still->euler.velocity.y;
        if (c.jumps) {
            // 10 along u, straight up on flat ground, less the frame's gravity (which the still
            // walker's feet take).
            EXPECT_NEAR(gained, 10.0f - 9.8f * kDt, 0.01f);
            EXPECT_EQ(std::count(g_calls.sounds.begin(), g_calls.sounds.end(), "jump.wav"), 1);
            EXPECT_FALSE(jumper->physFlags & kWalkerOnGround) << "off its feet";
        } else {
            EXPECT_NEAR(gained, 0.0f, 1e-4f);
            EXPECT_EQ(std::count(g_calls.sounds.begin(), g_calls.sounds.end(), "jump.wav"), 0);
        }
        still->TearDown();
        jumper->TearDown();
    }
}

TEST_F(WalkerTest, APerformanceFactorOfAHalfHalvesTheGroundSpeedAndLeavesTheAirBlock) {
    Walker* w = NewWalker();
    ASSERT_NE(w, nullptr);
    const WalkerHandling air = w->handling[kWalkerAir];
    w->SetPerformance(0.5f);
    for (int i = 0; i < 120; ++i) {
        w->controls.throttle = 1.0f;
        w->Update(kDt);
    }
    EXPECT_NEAR(Length(Horizontal(w->euler.velocity)), 2.0f, 0.025f);
    EXPECT_EQ(std::memcmp(&air, &w->handling[kWalkerAir], sizeof air), 0);
    // The lean gains stay the class's.
    EXPECT_FLOAT_EQ(w->handling[kWalkerGround].pitchFromPitch, 0.25f);
}

// ---- legs and steps -----------------------------------------------------------------------------

TEST_F(WalkerTest, TheStrideIsChosenByTheLargerSpeedTiesGoingSideways) {
    struct Case {
        float forward, sideways, speed;
        int32_t animation;
        float rate;
    } cases[] = {
        {3.0f, 1.0f, 3.2f, kWalkerAnimForward, 1.5f},
        {-2.0f, 1.0f, 2.3f, kWalkerAnimBack, 1.0f},
        {1.0f, -2.0f, 2.3f, kWalkerAnimLeft, 1.0f},
        {1.0f, 2.0f, 2.3f, kWalkerAnimRight, 1.0f},
        {2.0f, 2.0f, 2.9f, kWalkerAnimRight, 1.0f},
        {-2.0f, -2.0f, 2.9f, kWalkerAnimLeft, 1.0f},
        {0.05f, 0.0f, 0.05f, kWalkerAnimStand, -1.0f},
    };
    for (const Case& c : cases) {
        const WalkerStride s = Walker_ChooseStride(c.forward, c.sideways, c.speed, 0.5f);
        EXPECT_EQ(s.animation, c.animation) << c.forward << "," << c.sideways;
        EXPECT_FLOAT_EQ(s.rate, c.rate) << c.forward << "," << c.sideways;
    }
}

TEST_F(WalkerTest, AWalkCyclePlaysTwoStepSoundsLouderOnTheUsersWalker) {
    for (bool user : {true, false}) {
        SCOPED_TRACE(user);
        Walker* w = NewWalker();
        ASSERT_NE(w, nullptr);
        if (user) w->entity->flags |= kEntityUser;
        g_calls.stepVolumes.clear();
        // Two cycles of the looping animation.
        for (int cycle = 0; cycle < 2; ++cycle)
            for (float frame = 0.0f; frame < 20.0f; frame += 2.0f) {
                g_calls.loopPosition = frame;
                w->Update(0.0f);
            }
        g_calls.loopPosition = 0.0f;
        w->Update(0.0f);
        g_calls.loopPosition = -1.0f;
        EXPECT_EQ(g_calls.stepVolumes, std::vector<int>(4, user ? 65 : 45));
        w->entity->flags &= ~kEntityUser;
        w->TearDown();
    }
}

TEST_F(WalkerTest, AnEmptyWalkerCrouchesAndHoldsAndADrivenOneRisesToWalk) {
    Walker* w = NewWalker();
    ASSERT_NE(w, nullptr);
    delete static_cast<DriverProcess*>(w->aiProcess);
    w->aiProcess = nullptr;
    w->Update(kDt);
    EXPECT_EQ(w->deployState, kLegsCrouching);
    EXPECT_EQ(w->animIndex, kWalkerAnimCrouch);
    g_calls.endedSlots.insert(w->animSlot);
    w->Update(kDt);
    EXPECT_EQ(w->deployState, kLegsCrouched);
    EXPECT_EQ(w->animIndex, kWalkerAnimEmpty);
    for (int i = 0; i < 5; ++i) w->Update(kDt);
    EXPECT_EQ(w->deployState, kLegsCrouched) << "it holds while empty";
    EXPECT_EQ(w->animIndex, kWalkerAnimEmpty);
    EXPECT_TRUE(w->physFlags & kWalkerOnGround);
    EXPECT_EQ(&w->CurrentHandling(), &w->handling[kWalkerTransition]);

    w->aiProcess = new DriverProcess;
    w->Update(kDt);
    EXPECT_EQ(w->deployState, kLegsRising);
    EXPECT_EQ(w->animIndex, kWalkerAnimRise);
    g_calls.endedSlots.insert(w->animSlot);
    w->Update(kDt);
    EXPECT_EQ(w->deployState, kLegsWalking);
    EXPECT_EQ(w->animIndex, kWalkerAnimStand);
    EXPECT_EQ(g_calls.animStarts, (std::vector<int32_t>{kWalkerAnimCrouch, kWalkerAnimEmpty, kWalkerAnimRise,
                                                        kWalkerAnimStand}));
}

// ---- contacts ---------------------------------------------------------------------------------

TEST_F(WalkerTest, ContactsBounceExchangeAndTurnWithinTheirLimits) {
    // Against a static body (no entity): reflected, with the two damping factors.
    {
        Walker* w = NewWalker();
        ASSERT_NE(w, nullptr);
        w->euler.velocity = Vector{3.0f, 0.0f, -4.0f};
        CollisionBody contact{};
        CollisionBody_Init(contact);
        contact.normal = Vector{0.0f, 0.0f, 1.0f};
        contact.point = w->pos;
        g_calls.damages = 0;
        EXPECT_TRUE(w->OnContact(nullptr, &contact, nullptr));
        // v' = (3, 0, 4); (1 - 0.9 * 0) * (1 - 0.75 * (4/5)^2) = 0.52.
        EXPECT_NEAR(w->euler.velocity.x, 3.0f * 0.52f, 1e-4f);
        EXPECT_NEAR(w->euler.velocity.z, 4.0f * 0.52f, 1e-4f);
        EXPECT_EQ(g_calls.damages, 1) << "below 5 after the bounce: one delivery";
        EXPECT_FLOAT_EQ(w->euler.angularVelocity.y, 0.0f) << "no lever at the centre, no spin";
        w->TearDown();
    }
    // A hard static hit delivers a second damage.
    {
        Walker* w = NewWalker();
        ASSERT_NE(w, nullptr);
        w->euler.velocity = Vector{30.0f, 0.0f, 0.0f};
        CollisionBody contact{};
        CollisionBody_Init(contact);
        contact.normal = Vector{0.0f, 0.0f, 1.0f};
        contact.point = w->pos;
        g_calls.damages = 0;
        w->OnContact(nullptr, &contact, nullptr);
        EXPECT_EQ(g_calls.damages, 2);
        w->TearDown();
    }
    // The spin is limited axis by axis: x to pi/2, y to pi, z to pi/4.
    {
        struct Case {
            Vector lever;
            Vector velocity;
            int axis;
            float limit;
        } cases[] = {
            {{0.0f, 0.1f, 0.0f}, {0.0f, 0.0f, -40.0f}, 0, kPi / 2.0f},
            {{0.1f, 0.0f, 0.0f}, {0.0f, 0.0f, -40.0f}, 1, kPi},
            {{0.0f, 0.1f, 0.0f}, {-40.0f, 0.0f, 0.0f}, 2, kPi / 4.0f},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.axis);
            Walker* w = NewWalker();
            ASSERT_NE(w, nullptr);
            w->euler.velocity = c.velocity;
            CollisionBody contact{};
            CollisionBody_Init(contact);
            contact.normal = Vector{0.0f, 0.0f, 1.0f};
            if (c.axis == 2) contact.normal = Vector{1.0f, 0.0f, 0.0f};
            contact.point = Vector{w->pos.x + c.lever.x, w->pos.y + c.lever.y, w->pos.z + c.lever.z};
            ASSERT_TRUE(w->OnContact(nullptr, &contact, nullptr));
            const float spin[3] = {w->euler.angularVelocity.x, w->euler.angularVelocity.y, w->euler.angularVelocity.z};
            EXPECT_NEAR(std::fabs(spin[c.axis]), c.limit, 1e-4f);
            w->TearDown();
        }
    }
}

TEST_F(WalkerTest, AgainstAMovingBodyTheWalkersShareMomentum) {
    Collision_Init();  // the bodies join the collision lists as they are made
    Walker* w = NewWalker();
    Walker* other = NewWalker(2);
    ASSERT_TRUE(w && other);
    ASSERT_GT(Collision_MovingCount(), 0);
    struct Case {
        const char* name;
        Vector velocity, otherVelocity;
        float mass, otherMass;
        Vector expected;
    } cases[] = {
        // c = (5, 0, 0); d = (5, 0, 0); r' = (2.5, 0, 0) - 0: below 5, so 5 n.
        {"slow: the 5 floor", {10.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, 1.0f, 1.0f, {5.0f, 0.0f, 5.0f}},
        // c = (0, 0, 0); d = (0, 0, -30) along n removed: r' = (0, 0, -15) + 30 n = (0, 0, 15).
        {"head on", {0.0f, 0.0f, -30.0f}, {0.0f, 0.0f, 30.0f}, 1.0f, 1.0f, {0.0f, 0.0f, 15.0f}},
        // A heavy body: c = (0, 0, 7); d = (0, 0, -27); r' = (0, 0, -13.5) + 27 n.
        {"heavy", {0.0f, 0.0f, -20.0f}, {0.0f, 0.0f, 10.0f}, 1.0f, 9.0f, {0.0f, 0.0f, 7.0f + 13.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w->euler.velocity = c.velocity;
        w->euler.mass = c.mass;
        w->euler.angularVelocity = Vector{};
        CollisionBody contact{};
        CollisionBody_Init(contact);
        contact.entity = other->entity;
        contact.dynamics.mass = c.otherMass;
        contact.dynamics.velocity = c.otherVelocity;
        contact.normal = Vector{0.0f, 0.0f, 1.0f};
        contact.point = w->pos;
        ASSERT_TRUE(w->OnContact(other->entity, &contact, nullptr));
        EXPECT_NEAR(w->euler.velocity.x, c.expected.x, 1e-3f);
        EXPECT_NEAR(w->euler.velocity.y, c.expected.y, 1e-3f);
        EXPECT_NEAR(w->euler.velocity.z, c.expected.z, 1e-3f);
    }
    w->TearDown();
    other->TearDown();
    Collision_Shutdown();
}

TEST_F(WalkerTest, RemoteCarriedAndPowerUpContactsAreRefusedOrOnlyDamage) {
    Walker* w = NewWalker();
    Walker* other = NewWalker(2);
    ASSERT_TRUE(w && other);
    CollisionBody contact{};
    CollisionBody_Init(contact);
    contact.normal = Vector{0.0f, 0.0f, 1.0f};
    w->euler.velocity = Vector{0.0f, 0.0f, -2.0f};
    g_calls.damages = 0;

    w->ownership = kNetOwnedRemote;
    EXPECT_FALSE(w->OnContact(nullptr, &contact, nullptr)) << "another machine's walker";
    w->ownership = 0;
    w->isCargo = 1;
    w->carrier = other;
    EXPECT_FALSE(w->OnContact(other->entity, &contact, nullptr)) << "its carrier";
    w->isCargo = 0;
    w->carrier = nullptr;
    EXPECT_EQ(g_calls.damages, 0);

    const int32_t type = other->entity->type;
    other->entity->type = kTypePowerUp;
    EXPECT_FALSE(w->OnContact(other->entity, &contact, nullptr));
    other->entity->type = type;
    EXPECT_EQ(g_calls.damages, 1) << "a power-up only damages";
    EXPECT_FLOAT_EQ(w->euler.velocity.z, -2.0f);
}

// ---- weapons, commands, network ------------------------------------------------------------

TEST_F(WalkerTest, TheGunsTurnLevelTowardTheForwardPointAtTheTargetsDistance) {
    Walker* w = NewWalker();
    Walker* target = NewWalker(2);
    ASSERT_TRUE(w && target);
    target->entity->local.posit = DVector{640.0 + 6.0, kGround, 640.0 + 8.0};  // 10 m away
    target->UpdateSphere();
    w->UpdateSphere();
    FakeWeapon offset, centred;
    offset.local.posit = DVector{2.0, 0.0, 1.0};
    centred.local.posit = DVector{0.0, 0.0, 10.0};  // at the aim point itself
    w->hardpoints = new HardpointList(w);
    w->hardpoints->SetWeapon(0, nullptr, reinterpret_cast<Weapon*>(&offset));
    w->hardpoints->SetWeapon(1, nullptr, reinterpret_cast<Weapon*>(&centred));
    w->SetTarget(target);
    w->UpdateWeaponAim(kDt);
    const Vector want = Vec3_Normalize(Vector{-2.0f, 0.0f, 9.0f});
    EXPECT_NEAR(offset.local.front.x, want.x, 1e-4f);
    EXPECT_NEAR(offset.local.front.y, 0.0f, 1e-4f);
    EXPECT_NEAR(offset.local.front.z, want.z, 1e-4f);
    EXPECT_NEAR(offset.local.posit.x, 2.0, 1e-9) << "the mount stays where it is";
    EXPECT_TRUE(std::isfinite(centred.local.front.x) && std::isfinite(centred.local.front.z));
    EXPECT_NEAR(centred.local.front.z, 1.0f, 1e-4f) << "no direction: the pitch aim stays";
    w->hardpoints->SetWeapon(0, nullptr, nullptr);
    w->hardpoints->SetWeapon(1, nullptr, nullptr);
}

TEST_F(WalkerTest, TheCommandMenu) {
    Walker* w = NewWalker();
    ASSERT_NE(w, nullptr);
    w->maxHealth = 100.0f;
    w->curHealth = 100.0f;
    w->maxAmmo = 10;
    w->curAmmo = 10;
    auto entries = [&] {
        w->BuildCommandList();
        std::vector<int32_t> out;
        for (int i = 0; i <= 10; ++i) out.push_back(w->commands.IsEnabled(i) ? w->commands.codes[i] : -1);
        return out;
    };
    EXPECT_EQ(entries(), (std::vector<int32_t>{1, 2, 10, -1, -1, -1, -1, -1, -1, -1, -1}));
    w->hardpoints = new HardpointList(w);
    w->curHealth = 50.0f;
    w->curAmmo = 5;
    TeamRecord* team = TeamRecord::Get(1);
    ASSERT_NE(team, nullptr);
    Walker* builder = NewWalker();
    team->SetSlot(3, builder);
    EXPECT_EQ(entries(), (std::vector<int32_t>{1, 2, 10, 14, -1, 5, 6, -1, -1, -1, -1}));
    team->SetSlot(3, nullptr);
    team->SetSlot(72, builder);
    EXPECT_EQ(entries()[10], 8) << "a weapon slot occupied";
    team->SetSlot(72, nullptr);
}

TEST_F(WalkerTest, TheNetworkRecordRoundTripsWithItsPadByteAndAShortOneChangesNothing) {
    Walker* from = NewWalker();
    Walker* to = NewWalker();
    ASSERT_TRUE(from && to);
    from->euler.velocity = Vector{1.5f, -2.25f, 100.0f};
    from->euler.angularVelocity = Vector{0.5f, -1.0f, 0.25f};
    from->controls.steering = 0.5f;
    from->controls.pitch = -0.25f;
    from->controls.strafe = 1.0f;
    from->controls.throttle = -1.0f;
    from->controls.boost = 1;
    from->controls.eject = 1;
    from->healthRatio = 0.5f;
    uint8_t buffer[64];
    std::memset(buffer, 0xAB, sizeof buffer);
    int32_t length = 3;
    from->PackNetState(buffer, length);
    const uint8_t* record = buffer + 3;
    ASSERT_GE(length, 3 + kWalkerNetStateSize + 3);
    EXPECT_EQ(record[16], 0x02 | 0x04);
    EXPECT_EQ(record[17], 0) << "the pad byte";
    // A short record changes nothing.
    to->UnpackNetState(record, kWalkerNetStateSize + 2);
    EXPECT_FLOAT_EQ(to->euler.velocity.z, 0.0f);
    EXPECT_EQ(to->controls.boost, 0);
    uint8_t padded[64];
    std::memcpy(padded, record, sizeof padded - 3);
    padded[17] = 0x5A;  // whatever the pad holds is ignored
    to->UnpackNetState(padded, length - 3);
    EXPECT_FLOAT_EQ(to->euler.velocity.x, 1.5f);
    EXPECT_FLOAT_EQ(to->euler.velocity.y, -2.25f);
    EXPECT_FLOAT_EQ(to->euler.velocity.z, 100.0f);
    EXPECT_NEAR(to->euler.speed, std::sqrt(1.5f * 1.5f + 2.25f * 2.25f + 100.0f * 100.0f), 1e-3f);
    EXPECT_FLOAT_EQ(to->euler.angularVelocity.y, -1.0f);
    EXPECT_NEAR(to->controls.steering, 0.5f, 0.01f);
    EXPECT_NEAR(to->controls.pitch, -0.25f, 0.01f);
    EXPECT_FLOAT_EQ(to->controls.throttle, -1.0f);
    EXPECT_EQ(to->controls.boost, 1);
    EXPECT_EQ(to->controls.eject, 1);
    EXPECT_EQ(to->controls.jump, 0);
    EXPECT_NEAR(to->healthRatio, 128.0f / 255.0f, 1e-6f) << "then the craft's part";
}

TEST_F(WalkerTest, NetworkPriority) {
    Walker* w = NewWalker();
    ASSERT_NE(w, nullptr);
    struct Case {
        const char* name;
        void (*set)(Walker*);
        float distance;
        float expected;
    } cases[] = {
        // 1 s since the last send + (250 - 250) * 0.02 + 0.2 (not the user's).
        {"quiet", [](Walker*) {}, 250.0f, 1.2f},
        {"the user's own", [](Walker* x) { x->entity->flags |= kEntityUser; }, 250.0f, 1.0f},
        {"near", [](Walker*) {}, 200.0f, 2.2f},
        {"health changed near", [](Walker* x) { x->healthRatio = 0.5f; }, 200.0f, 3.2f},
        {"dead", [](Walker* x) { x->healthRatio = 0.0f; }, 250.0f, 11.2f},
        {"two controls and a word moved",
         [](Walker* x) {
             x->controls.throttle = 1.0f;
             x->controls.steering = -0.5f;
             x->controls.pitch = 0.05f;  // within the tolerance
             x->controls.jump = 1;
         },
         250.0f, 1.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w->controls = CraftControls{};
        w->entity->flags &= ~kEntityUser;
        w->healthRatio = 1.0f;
        w->lastSentHealthRatio = 1.0f;
        w->lastSendTime = 9.0f;
        c.set(w);
        EXPECT_NEAR(w->GetNetPriority(10.0f, c.distance), c.expected, 1e-4f);
    }
}

TEST_F(WalkerTest, OldStreamsDropTwentyOneFloatsAndABrokenOneFailsTheLoad) {
    bool ok = false;
    const std::string bytes = CaptureFields(true, [](FILE* f) {
        bool good = true;
        const float legacy = 9.0f;
        for (int i = 0; i < kWalkerOldHandlingFloats; ++i) good = good && Field_WriteFloat(f, &legacy, 4, "");
        const float illumination = 0.75f;
        return good && Field_WriteFloat(f, &illumination, 4, "illumination");
    }, &ok);
    ASSERT_TRUE(ok);
    Walker* w = NewWalker();
    ASSERT_NE(w, nullptr);
    struct Case {
        int32_t version;
        float illumination;
    } cases[] = {{1019, 0.75f}, {1025, 0.75f}, {1026, 9.0f}};
    for (const Case& c : cases) {
        FieldReadScope scope(bytes, true, c.version);
        w->illumination = 0.0f;
        EXPECT_FALSE(w->Load()) << "the stream ends inside the object";
        EXPECT_EQ(w->illumination, c.illumination) << c.version;
    }
    const std::string broken = bytes.substr(0, bytes.size() / 3);
    FieldReadScope scope(broken, true, 1019);
    w->illumination = 0.0f;
    EXPECT_FALSE(w->Load());
    EXPECT_EQ(w->illumination, 0.0f) << "it fails inside the dropped floats";
}

}  // namespace
