// The pilot on foot: its class's profiles and sounds, steering, pain and death, the sniper
// stance, boarding an empty craft, the vehicle a landed network pilot is given and its network
// record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "ai/aimission.h"
#include "ai/aiprocess.h"
#include "class_fixture.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/odf.h"
#include "core/registration.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "fun3d/craftservices.h"
#include "fun3d/framepasses.h"
#include "fun3d/person.h"
#include "odfkeys.h"
#include "platform/random.h"
#include "support/field_stream.h"
#include "terrain_writer.h"

namespace {

constexpr float kGround = 30.0f;
constexpr float kDt = 1.0f / 30.0f;

// What the person asked of its neighbours.
struct Calls {
    std::vector<std::string> sounds;
    std::vector<int32_t> animStarts;
    std::set<int> endedSlots;
    int nextSlot = 0;
    std::vector<float> animRates;
    int explosions = 0;
    int chunks = 0;
    int kills = 0;
    std::vector<int> killKinds;
    int registered = 0;
    std::vector<uint32_t> pendingVehicles;
    std::vector<uint32_t> resets;
    int contactsDelivered = 0;
    int processesMade = 0;
};
Calls g_calls;

bool g_network = false;
bool g_mayGiveVehicle = true;
bool g_missionExists = true;
std::string g_vehicleName = "avtank";

// A stand-in weapon: the address of one of these; its class is told by the flag.
struct FakeWeapon {
    bool sniper;
};
FakeWeapon g_sniper{true};
FakeWeapon g_cannon{false};
Weapon* AsWeapon(FakeWeapon& w) { return reinterpret_cast<Weapon*>(&w); }

// A process that only marks the object as driven; counts how many are gone.
int g_processesDeleted = 0;
class DriverProcess : public sObject {
public:
    ~DriverProcess() override { ++g_processesDeleted; }
    bool Load() override { return true; }
    bool Save(FILE*) override { return true; }
    const FactoryReg* GetFactory() const override { return nullptr; }
};

// A process of a real mission: its destructor takes it out of the mission's list.
class MissionProcess : public AiProcess {
public:
    MissionProcess(AiMission* mission, GameObject* owner) : AiProcess(mission, owner) {}
    const FactoryReg* GetFactory() const override { return nullptr; }
    void Execute() override {}
};

class PersonTest : public ClassFixture {
protected:
    void SetUp() override {
        ClassFixture::SetUp();
        InstallWorld(Terrain());
        Terrain_SetBaseHeight(0);
        Terrain_SetFileName("flat");
        ASSERT_EQ(Terrain_ReadZoneFiles(), 1);
        ASSERT_EQ(Terrain_LoadZone(nullptr), 1);
        Terrain_Init(0);
        GameObject_InstallClassFunctions();
        Random_Seed(4242);
        Clock_SetTime(100.0f);
        g_calls = Calls{};
        g_network = false;
        g_mayGiveVehicle = true;
        g_missionExists = true;
        g_vehicleName = "avtank";
        g_processesDeleted = 0;

        PersonServices& p = Person_Services();
        p.animStart = [](Entity*, int32_t key) {
            g_calls.animStarts.push_back(key);
            return g_calls.nextSlot++;
        };
        p.animStop = [](Entity*, int) {};
        p.animEnded = [](int slot) { return slot < 0 || g_calls.endedSlots.count(slot) > 0; };
        p.animSetRate = [](int, float rate) { g_calls.animRates.push_back(rate); };
        p.animLoopFrame = [](int, float*, float*) { return false; };
        p.playerVehicleName = [] { return g_vehicleName.c_str(); };
        p.setPendingVehicle = [](uint32_t handle) { g_calls.pendingVehicles.push_back(handle); };

        Seam_Audio().soundPlayOnObject = [](const char* name, Entity*) -> void* {
            g_calls.sounds.push_back(name);
            return nullptr;
        };
        CraftServices& c = Craft_Services();
        c.explosionBuild = [](const GameObjectClass*, int kind, const Matrix&) {
            if (kind == kCraftExplosionDeath) ++g_calls.explosions;
            return true;
        };
        c.chunkSpawn = [](const Vector&, const Vector&) { ++g_calls.chunks; };
        c.netRegister = [](GameObject*) { ++g_calls.registered; };
        c.netSendKillMessage = [](uint16_t, GameObject*, int kind, bool) { g_calls.killKinds.push_back(kind); };
        c.damageDeliver = [](Entity*, Entity*, const Vector&, const Vector&, const Vector*) {
            ++g_calls.contactsDelivered;
        };
        c.viewShake = [](float) {};
        Seam_Net().isNetworkGame = [] { return g_network; };
        Seam_Net().reportKill = [](uint16_t, uint16_t) { ++g_calls.kills; };
        Seam_Ai().missionHasCurrent = [] { return g_missionExists; };
        Seam_Ai().missionMayContinue = [] { return g_mayGiveVehicle; };
        Seam_Ai().missionRemotePlayerReset = [](uint32_t handle) { g_calls.resets.push_back(handle); };
        Seam_Ai().createObjectProcess = [](GameObject*) -> sObject* {
            ++g_calls.processesMade;
            return new DriverProcess;
        };
        Seam_Weapons().weaponClassOf = [](const Weapon* w) -> const WeaponClass* {
            return reinterpret_cast<const WeaponClass*>(w);
        };
        Seam_Weapons().weaponClassSignature = [](const WeaponClass* cls) {
            return reinterpret_cast<const FakeWeapon*>(cls)->sniper ? Signature("SNIP") : Signature("CANN");
        };
        Seam_Weapons().weaponDestroy = [](Weapon*) {};
        Seam_Weapons().weaponChanged = [](const Weapon*) { return true; };
    }
    void TearDown() override {
        ClassFixture::TearDown();
        Terrain_FreeAll();
        Terrain_ClearEntityList();
        Terrain_SetFileName("");
        Mission_Reset();
    }

    static std::vector<content::ArchiveRecord> Terrain() {
        content::TerrainMapSpec spec;
        spec.name = "flat";
        spec.width = 1280;
        spec.depth = 1280;
        spec.height = [](int, int) -> uint16_t { return static_cast<uint16_t>(kGround * 10.0f); };
        return content::TerrainRecords(spec);
    }
    PersonClass& Pilots() {
        auto* cls = dynamic_cast<PersonClass*>(GameObjectClass::Find("aspilo"));
        EXPECT_NE(cls, nullptr);
        return *cls;
    }
    // A driven person standing on the ground with the hull given.
    Person* NewPerson(int32_t team = 1, float hull = 100.0f, double x = 640.0, double z = 640.0) {
        Matrix m = kIdentityMatrix;
        m.posit = DVector{x, kGround, z};
        auto* person = dynamic_cast<Person*>(GameObjectClass::Build(&Pilots(), m, team, false, 0, nullptr));
        EXPECT_NE(person, nullptr);
        if (!person) return nullptr;
        person->SetTeam(team);
        person->maxHealth = hull;
        person->curHealth = hull;
        person->healthRatio = 1.0f;
        person->aiProcess = new DriverProcess;
        person->physFlags |= kPersonOnGround;
        return person;
    }
    Craft* NewTank(int32_t team) {
        GameObjectClass* cls = GameObjectClass::Find("avtank");
        EXPECT_NE(cls, nullptr);
        cls->pilotCost = 1;
        Matrix m = kIdentityMatrix;
        m.posit = DVector{650.0, kGround, 640.0};
        auto* craft = dynamic_cast<Craft*>(GameObjectClass::Build(cls, m, team, false, 0, nullptr));
        EXPECT_NE(craft, nullptr);
        if (craft) craft->SetTeam(team);
        return craft;
    }
    // Whether the object still exists once the class lists have let go of released entities.
    static bool Listed(const GameObject* object) {
        Classfnc_Purge();
        for (GameObject* o : GameObject_List())
            if (o == object) return true;
        return false;
    }
    // The person's hardpoint list with nothing mounted.
    static HardpointList& Mounts(Person* p) {
        if (!p->hardpoints) p->hardpoints = new HardpointList(p);
        for (int i = 0; i < kHardpointCount; ++i) p->hardpoints->SetWeapon(i, nullptr, nullptr);
        return *p->hardpoints;
    }
    static DamageInfo Hit(float amount, uint16_t kind = 0) {
        DamageInfo d{};
        d.kind = kind;
        d.playerId = kNoPlayer;
        d.amount = amount;
        return d;
    }
};

// ---- the class ------------------------------------------------------------------------------

TEST_F(PersonTest, TheClassReadsItsProfilesSoundsAndWalkRateWithThePrototypesAsDefaults) {
    std::string text = Definition("person", "gvpilot",
                                  {{0x8B38B03Eu, "7.5"},     // walking: angular damping
                                   {0x3FB64E04u, "21"},      // in the air: top forward speed
                                   {0x91936A92u, "0.75"}});  // walk animation rate
    // Numbered keys: the seed's text followed by the number.
    text += content::KeyText(0x258B0684u) + "2 = \"ouch.wav\"\n";
    text += content::KeyText(0x42D28DE8u) + "5 = \"gone.wav\"\n";
    ASSERT_EQ(Text_HashNoCase((content::KeyText(0x258B0684u) + "2").c_str()), Text_HashNumbered(0x258B0684u, 2));
    std::vector<content::ArchiveRecord> records = Terrain();
    records.push_back({"walker1.odf", text, true, 0});
    InstallWorld(records);
    auto* cls = dynamic_cast<PersonClass*>(GameObjectClass::Find("walker1"));
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->signature, Signature("PERS"));
    EXPECT_EQ(cls->category, kCategoryPerson);
    EXPECT_FLOAT_EQ(cls->profiles[kProfileWalking].angularDamping, 7.5f);
    EXPECT_FLOAT_EQ(cls->profiles[kProfileAir].topForward, 21.0f);
    EXPECT_FLOAT_EQ(cls->walkAnimRate, 0.75f);
    EXPECT_STREQ(cls->painSounds[1], "ouch.wav");
    EXPECT_STREQ(cls->deathSounds[4], "gone.wav");
    // Untouched fields keep the prototype's values.
    const PersonClass proto("person", Signature("PERS"), kCategoryPerson);
    EXPECT_FLOAT_EQ(cls->profiles[kProfileStance].uprightStiffness, proto.profiles[kProfileStance].uprightStiffness);
    EXPECT_STREQ(cls->painSounds[0], "pain1.wav");
    EXPECT_STREQ(cls->burnSounds[1], "lburn2.wav");
    EXPECT_STREQ(cls->stepSound, "step.wav");
}

TEST_F(PersonTest, APersonIsPilotedByItsOwnClassAndMovesAsAPerson) {
    Person* person = NewPerson();
    ASSERT_NE(person, nullptr);
    EXPECT_EQ(person->pilotClass, person->objClass);
    EXPECT_TRUE(person->HasPilot());
    EXPECT_EQ(person->moveKind, kMoveKindPerson);
    // Its physics record is the one its entity's row made, and points back at it.
    EXPECT_EQ(person->body, person->entity->classData);
    EXPECT_EQ(person->body->owner, static_cast<void*>(static_cast<Craft*>(person)));
    EXPECT_FLOAT_EQ(Person_GetAimAngle(person->entity), 1.0f);
}

// ---- steering and performance -------------------------------------------------------------------

TEST_F(PersonTest, SetSpeedSetHeadingAndSetPerformanceWorkOnTheProfiles) {
    Person* person = NewPerson();
    ASSERT_NE(person, nullptr);
    person->profiles[kProfileWalking].topForward = 8.0f;
    person->profiles[kProfileWalking].topReverse = 2.0f;
    struct SpeedCase {
        float target, throttle;
    } speeds[] = {{4.0f, 0.5f}, {16.0f, 1.0f}, {-1.0f, -0.5f}, {-6.0f, -1.0f}, {0.0f, 0.0f}};
    for (const SpeedCase& c : speeds) {
        SCOPED_TRACE(c.target);
        Person_SetTargetSpeed(person->entity, c.target);
        EXPECT_FLOAT_EQ(person->controls.throttle, c.throttle);
    }
    // A profile that cannot back up asks for no throttle rather than dividing by zero.
    person->profiles[kProfileWalking].topReverse = 0.0f;
    person->SetSpeed(-2.0f);
    EXPECT_FLOAT_EQ(person->controls.throttle, 0.0f);
    // Facing +z: a heading straight ahead drives forward, one to the side steers fully.
    struct HeadingCase {
        float s, c, steering, throttle;
    } headings[] = {{0.0f, 1.0f, 0.0f, 1.0f}, {1.0f, 0.0f, -1.0f, 0.0f}, {-1.0f, 0.0f, 1.0f, 0.0f},
                    {0.1f, -1.0f, -0.4975f, -1.0f}, {0.0f, 0.0f, 0.0f, 0.0f}};
    for (const HeadingCase& c : headings) {
        SCOPED_TRACE(c.s);
        person->SetHeading(c.s, c.c);
        EXPECT_NEAR(person->controls.steering, c.steering, 1e-3f);
        EXPECT_NEAR(person->controls.throttle, c.throttle, 1e-3f);
    }
    // Performance scales the stance and walking profiles' damping, stiffness and speeds, not the
    // pitch and roll gains, and never the air profile.
    PersonClass& cls = *dynamic_cast<PersonClass*>(person->objClass);
    cls.profiles[kProfileWalking] = PersonProfile{2, 4, 0.5f, 0.25f, 0.125f, 6, 5, 4, 10, 3, 2, 8, 7};
    cls.profiles[kProfileAir] = PersonProfile{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    person->profiles[kProfileAir] = cls.profiles[kProfileAir];
    person->SetPerformance(0.5f);
    const PersonProfile& w = person->profiles[kProfileWalking];
    EXPECT_FLOAT_EQ(w.angularDamping, 1.0f);
    EXPECT_FLOAT_EQ(w.uprightStiffness, 2.0f);
    EXPECT_FLOAT_EQ(w.pitchFromPitch, 0.5f);
    EXPECT_FLOAT_EQ(w.pitchFromThrottle, 0.25f);
    EXPECT_FLOAT_EQ(w.rollFromStrafe, 0.125f);
    EXPECT_FLOAT_EQ(w.topForward, 3.0f);
    EXPECT_FLOAT_EQ(w.jumpSpeed, 3.5f);
    EXPECT_FLOAT_EQ(person->profiles[kProfileStance].accelLimit, cls.profiles[kProfileStance].accelLimit * 0.5f);
    EXPECT_FLOAT_EQ(person->profiles[kProfileAir].topForward, 1.0f);
    // Damage does the same through the health ratio.
    DamageInfo d = Hit(80.0f);
    person->TakeDamage(&d, nullptr);
    EXPECT_FLOAT_EQ(person->profiles[kProfileWalking].topForward, 6.0f * Craft_GetPerformanceFactor(0.2f));
}

// ---- pain and death -------------------------------------------------------------------------------

TEST_F(PersonTest, PainSoundsFollowTheShareOfTheHullLeftGiveOrTakeOne) {
    struct Case {
        float hull, amount;
        std::set<std::string> allowed;
    } cases[] = {
        // Half of what is left after the hit: sound 4, or 3 or 5.
        {90.0f, 30.0f, {"pain3.wav", "pain4.wav", "pain5.wav"}},
        // More than is left (the person survives): clamped to sound 6.
        {90.0f, 50.0f, {"pain6.wav"}},
        // A scratch: the lowest sound or the one above.
        {100.0f, 1.0f, {"pain1.wav", "pain2.wav"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.amount);
        Person* person = NewPerson(1, 100.0f);
        ASSERT_NE(person, nullptr);
        std::set<std::string> heard;
        for (int i = 0; i < 60; ++i) {
            person->curHealth = c.hull;
            person->nextScream = 0.0f;
            g_calls.sounds.clear();
            DamageInfo d = Hit(c.amount);
            EXPECT_FALSE(person->TakeDamage(&d, nullptr));
            ASSERT_EQ(g_calls.sounds.size(), 1u);
            heard.insert(g_calls.sounds[0]);
        }
        EXPECT_EQ(heard, c.allowed);
    }
}

TEST_F(PersonTest, TwoHitsWithinHalfASecondGiveOneScream) {
    Person* person = NewPerson(1, 1000.0f);
    ASSERT_NE(person, nullptr);
    DamageInfo d = Hit(10.0f);
    person->TakeDamage(&d, nullptr);
    Clock_SetTime(100.4f);
    d = Hit(10.0f);
    person->TakeDamage(&d, nullptr);
    EXPECT_EQ(g_calls.sounds.size(), 1u);
    Clock_SetTime(100.6f);
    d = Hit(10.0f);
    person->TakeDamage(&d, nullptr);
    EXPECT_EQ(g_calls.sounds.size(), 2u);
    // A burn chooses between the two burn sounds; a hit of nothing gives the land sound.
    Clock_SetTime(101.2f);
    d = Hit(5.0f, 4);
    person->TakeDamage(&d, nullptr);
    Clock_SetTime(101.8f);
    d = Hit(0.0f);
    person->TakeDamage(&d, nullptr);
    ASSERT_EQ(g_calls.sounds.size(), 4u);
    EXPECT_TRUE(g_calls.sounds[2] == "lburn1.wav" || g_calls.sounds[2] == "lburn2.wav") << g_calls.sounds[2];
    EXPECT_EQ(g_calls.sounds[3], "land.wav");
    // Without a process nobody screams.
    delete person->aiProcess;
    person->aiProcess = nullptr;
    Clock_SetTime(103.0f);
    d = Hit(10.0f);
    person->TakeDamage(&d, nullptr);
    EXPECT_EQ(g_calls.sounds.size(), 4u);
}

TEST_F(PersonTest, CrushingCountsTenFold) {
    Person* person = NewPerson(1, 100.0f);
    ASSERT_NE(person, nullptr);
    DamageInfo d = Hit(3.0f, 8);
    EXPECT_FALSE(person->TakeDamage(&d, nullptr));
    EXPECT_FLOAT_EQ(person->curHealth, 70.0f);
    d = Hit(3.0f, 0x18);  // the same kind from the user's side
    person->TakeDamage(&d, nullptr);
    EXPECT_FLOAT_EQ(person->curHealth, 40.0f);
}

TEST_F(PersonTest, ADeathPlaysItsSoundReportsTheKillOnceAndTheNextUpdateBlowsThePersonUp) {
    g_network = true;
    struct Case {
        uint16_t kind;
        bool squish;
    } cases[] = {{0, false}, {8, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        g_calls = Calls{};
        Person* person = NewPerson(1, 50.0f);
        ASSERT_NE(person, nullptr);
        person->SetPlayerId(7);
        DamageInfo d = Hit(60.0f, c.kind);
        EXPECT_TRUE(person->TakeDamage(&d, nullptr));
        EXPECT_TRUE(person->entity->flags & kEntityDestroyRequested);
        EXPECT_EQ(g_calls.explosions, 1);
        ASSERT_EQ(g_calls.sounds.size(), 1u);
        if (c.squish) {
            EXPECT_EQ(g_calls.sounds[0], "squish.wav");
        } else {
            const std::string& s = g_calls.sounds[0];
            EXPECT_TRUE(s.size() == 10 && s.rfind("death", 0) == 0 && s[5] >= '1' && s[5] <= '5') << s;
        }
        EXPECT_EQ(g_calls.kills, 1);
        EXPECT_EQ(g_calls.killKinds, std::vector<int>{kKillKindPerson});
        // Further hits on the dying person do nothing; a second death is not reported again.
        d = Hit(60.0f);
        EXPECT_FALSE(person->TakeDamage(&d, nullptr));
        person->entity->flags &= ~kEntityDestroyRequested;
        d = Hit(60.0f);
        EXPECT_TRUE(person->TakeDamage(&d, nullptr));
        EXPECT_EQ(g_calls.kills, 1);
        EXPECT_EQ(g_calls.killKinds.size(), 1u);
        // The next update blows it up: ten chunks, and it is gone.
        person->Update(kDt);
        EXPECT_FALSE(Listed(person));
        EXPECT_EQ(g_calls.chunks, 10);
    }
}

// ---- the sniper stance --------------------------------------------------------------------------

TEST_F(PersonTest, AStillPersonWithASniperWeaponKneelsHoldsTheStanceAndGetsUpWhenItIsGone) {
    Person* person = NewPerson();
    ASSERT_NE(person, nullptr);
    Mounts(person).SetWeapon(0, nullptr, AsWeapon(g_sniper));
    // Each step: whether the animation running before it ends, whether the weapon is still
    // held; then the stance and the animation after it.
    struct Step {
        bool endRunning, holding;
        int32_t stance, animation;
    } steps[] = {
        {false, true, kStanceKneeling, kAnimKneel},  {false, true, kStanceKneeling, kAnimKneel},
        {true, true, kStanceSniping, kAnimSnipe},    {false, true, kStanceSniping, kAnimSnipe},
        {false, false, kStanceGettingUp, kAnimGetUp}, {false, false, kStanceGettingUp, kAnimGetUp},
        {true, false, kStanceStanding, kAnimStand},  {false, false, kStanceStanding, kAnimStand},
    };
    int n = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(n++);
        if (s.endRunning) g_calls.endedSlots.insert(person->animSlot);
        if (!s.holding) person->hardpoints->SetWeapon(0, nullptr, nullptr);
        person->Update(kDt);
        EXPECT_EQ(person->deployState, s.stance);
        EXPECT_EQ(person->animIndex, s.animation);
    }
    EXPECT_EQ(g_calls.animStarts, (std::vector<int32_t>{kAnimKneel, kAnimSnipe, kAnimGetUp, kAnimStand}));
    // A weapon of another kind does not make it kneel.
    person->hardpoints->SetWeapon(1, nullptr, AsWeapon(g_cannon));
    person->Update(kDt);
    EXPECT_EQ(person->deployState, kStanceStanding);
}

TEST_F(PersonTest, WalkingChoosesTheAnimationByTheLargerSpeedAndSetsItsRate) {
    Person* person = NewPerson();
    ASSERT_NE(person, nullptr);
    auto* cls = dynamic_cast<PersonClass*>(person->objClass);
    cls->walkAnimRate = 0.5f;
    struct Case {
        Vector velocity;
        int32_t animation;
        float rate;
    } cases[] = {
        {{0.0f, 0.0f, 2.0f}, kAnimWalkForward, 1.0f}, {{0.0f, 0.0f, -3.0f}, kAnimWalkBack, 1.5f},
        {{2.0f, 0.0f, 1.0f}, kAnimSideRight, 1.0f},    {{-1.0f, 0.0f, 1.0f}, kAnimSideLeft, 0.5f},
        {{0.05f, 0.0f, 0.0f}, kAnimStand, -1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.animation);
        g_calls.animRates.clear();
        person->entity->local = kIdentityMatrix;
        person->entity->local.posit = DVector{640.0, kGround, 640.0};
        person->euler.velocity = c.velocity;
        person->euler.angularVelocity = Vector{0.0f, 0.0f, 0.0f};
        person->euler.speed = std::sqrt(Vec3_Dot(c.velocity, c.velocity));
        person->Update(0.0f);
        EXPECT_EQ(person->animIndex, c.animation);
        if (c.rate >= 0.0f) {
            ASSERT_EQ(g_calls.animRates.size(), 1u);
            EXPECT_FLOAT_EQ(g_calls.animRates[0], c.rate);
        } else {
            EXPECT_TRUE(g_calls.animRates.empty());
        }
    }
}

TEST_F(PersonTest, TheUsersDeadPersonLeavesTheCockpitAndInANetworkGameWaitsToRespawn) {
    static int respawns = 0, resets = 0, cameras = 0;
    respawns = resets = cameras = 0;
    Craft_Services().netStartRespawnTimer = [] { ++respawns; };
    Craft_Services().cockpitReset = [] { ++resets; };
    Craft_Services().cameraFollowWreck = [](GameObject*) { ++cameras; };
    for (bool network : {false, true}) {
        SCOPED_TRACE(network);
        g_network = network;
        g_calls.pendingVehicles.clear();
        Person* person = NewPerson();
        ASSERT_NE(person, nullptr);
        person->MakeUser();
        person->entity->flags |= kEntityDead;
        const int resetsBefore = resets;
        person->Update(kDt);
        EXPECT_EQ(resets, resetsBefore + 1);
        EXPECT_FALSE(Listed(person));
        EXPECT_EQ(g_calls.pendingVehicles, network ? std::vector<uint32_t>{0u} : std::vector<uint32_t>{});
    }
    EXPECT_EQ(respawns, 1);
    EXPECT_EQ(cameras, 2);
}

TEST_F(PersonTest, WithoutAProcessThePersonDiesWhenItsDyingAnimationEnds) {
    Person* person = NewPerson();
    ASSERT_NE(person, nullptr);
    delete person->aiProcess;
    person->aiProcess = nullptr;
    person->Update(kDt);
    EXPECT_EQ(person->animIndex, kAnimDying);
    EXPECT_FALSE(person->entity->flags & kEntityDead);
    g_calls.endedSlots.insert(person->animSlot);
    person->Update(kDt);
    EXPECT_TRUE(person->entity->flags & kEntityDead);
    person->Update(kDt);
    EXPECT_FALSE(Listed(person));
}

// ---- motion ---------------------------------------------------------------------------------

TEST_F(PersonTest, APersonWalksOnTheGroundAndFallsBackToItAfterAJump) {
    Person* person = NewPerson();
    ASSERT_NE(person, nullptr);
    person->profiles[kProfileWalking] = PersonProfile{8, 15, 0, 0, 0, 4, 3, 3, 20, 3, 2, 5, 6};
    person->controls.throttle = 1.0f;
    for (int i = 0; i < 60; ++i) person->Update(kDt);
    // Two seconds of walking reach the top forward speed along the front, on the ground.
    EXPECT_NEAR(person->euler.velocity.z, 4.0f, 0.05f);
    EXPECT_NEAR(person->entity->local.posit.y, kGround, 1e-4);
    EXPECT_TRUE(person->physFlags & kPersonOnGround);
    // A jump leaves the ground, comes down falling, and lands.
    person->controls.throttle = 0.0f;
    person->controls.jump = 1;
    person->Update(kDt);
    person->controls.jump = 0;
    EXPECT_GT(person->euler.velocity.y, 0.0f);
    EXPECT_EQ(std::count(g_calls.sounds.begin(), g_calls.sounds.end(), "jump.wav"), 1);
    // The camera watches from nearby: the airborne person leaves a trail.
    static int trail = 0;
    trail = 0;
    Person_Services().trailAddSample = [](const Matrix&, float duration) {
        EXPECT_FLOAT_EQ(duration, 0.1f);
        ++trail;
    };
    Seam_Cockpit().cameraPosition = [](Vector* out) {
        *out = Vector{640.0f, kGround + 20.0f, 640.0f};
        return true;
    };
    bool airborne = false;
    int airborneFrames = 0;
    for (int i = 0; i < 120 && !(airborne && (person->physFlags & kPersonOnGround)); ++i) {
        person->Update(kDt);
        person->PostUpdate(kDt);
        airborne = airborne || (person->physFlags & kPersonAirborne);
        if (person->physFlags & kPersonAirborne) ++airborneFrames;
        EXPECT_GE(person->entity->local.posit.y, kGround - 1e-4);
    }
    EXPECT_TRUE(airborne);
    EXPECT_EQ(trail, airborneFrames);
    EXPECT_TRUE(person->physFlags & kPersonOnGround);
    EXPECT_FALSE(person->physFlags & kPersonAirborne);
}

// ---- contacts and boarding --------------------------------------------------------------------

TEST_F(PersonTest, TouchingAnEmptyEnemyCraftBoardsItForThePersonsTeam) {
    AiMission* mission = AiMission_CreateByName("empty");
    ASSERT_NE(mission, nullptr);
    Person* person = NewPerson(1);
    ASSERT_NE(person, nullptr);
    delete person->aiProcess;
    person->aiProcess = nullptr;
    auto* process = new MissionProcess(mission, person);
    ASSERT_EQ(mission->Processes().size(), 1u);
    ASSERT_EQ(person->aiProcess, process);
    Craft* tank = NewTank(2);
    ASSERT_NE(tank, nullptr);
    ASSERT_TRUE(person->IsEnemy(tank));
    tank->SetCommand(3);
    tank->entity->flags |= kEntityKillReported;
    CollisionBody contact{};
    contact.normal = Vector{-1.0f, 0.0f, 0.0f};
    EXPECT_FALSE(person->OnContact(tank->entity, &contact, nullptr));
    EXPECT_EQ(tank->team, 1);
    EXPECT_EQ(tank->perceivedTeam, 2);  // others still take it for its old side
    EXPECT_EQ(tank->pilotClass, person->objClass);
    EXPECT_EQ(tank->curCmd.what, 0);
    EXPECT_EQ(g_calls.processesMade, 1);
    EXPECT_NE(tank->aiProcess, nullptr);
    EXPECT_FALSE(tank->entity->flags & kEntityKillReported);
    // The person's process is gone from the mission's list, and the person vanishes.
    EXPECT_EQ(person->aiProcess, nullptr);
    EXPECT_TRUE(mission->Processes().empty());
    EXPECT_EQ(person->entity->flags & 0x201u, 0x201u);
    person->Update(kDt);
    EXPECT_FALSE(Listed(person));
    EXPECT_EQ(g_calls.contactsDelivered, 0);
}

TEST_F(PersonTest, OtherTouchesBounceAndRefusalsDoNothing) {
    Person* person = NewPerson(1);
    ASSERT_NE(person, nullptr);
    Craft* driven = NewTank(2);
    ASSERT_NE(driven, nullptr);
    driven->aiProcess = new DriverProcess;
    CollisionBody contact{};
    contact.normal = Vector{-1.0f, 0.0f, 0.0f};
    person->euler.velocity = Vector{2.0f, 0.0f, 1.0f};
    // A driven craft is not boarded: the touch is a bump that reflects half the approach.
    EXPECT_TRUE(person->OnContact(driven->entity, &contact, nullptr));
    EXPECT_EQ(driven->team, 2);
    EXPECT_EQ(g_calls.contactsDelivered, 1);
    EXPECT_FLOAT_EQ(person->euler.velocity.x, -1.0f);
    EXPECT_FLOAT_EQ(person->euler.velocity.z, 1.0f);
    // Refused: without a process, while ignoring contacts, on another machine's person.
    Craft* empty = NewTank(2);
    ASSERT_NE(empty, nullptr);
    struct Case {
        const char* name;
        void (*prepare)(Person*);
    } cases[] = {
        {"no process", [](Person* p) { delete p->aiProcess; p->aiProcess = nullptr; }},
        {"ignores contacts", [](Person* p) { p->entity->flags |= 0x20; }},
        {"remote", [](Person* p) { p->ownership = kNetOwnedRemote; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Person* other = NewPerson(1);
        ASSERT_NE(other, nullptr);
        c.prepare(other);
        EXPECT_FALSE(other->OnContact(empty->entity, &contact, nullptr));
        EXPECT_EQ(empty->team, 2);
    }
    EXPECT_EQ(g_calls.contactsDelivered, 1);
}

// ---- the vehicle of a landed network pilot ----------------------------------------------------------

TEST_F(PersonTest, ALandedUserPilotOfANetworkGameIsGivenThePlayersVehicle) {
    struct Case {
        const char* name;
        std::string vehicle;
        bool network, user, requested, mission, permitted, built;
    } cases[] = {
        {"built", "avtank", true, true, true, true, true, true},
        {"a user pilot's class", "asuser", true, true, true, true, true, false},
        {"the other side's", "ssuser", true, true, true, true, true, false},
        {"first six characters count", "asuserx", true, true, true, true, true, false},
        {"not a network game", "avtank", false, true, true, true, true, false},
        {"not the user's", "avtank", true, false, true, true, true, false},
        {"not requested", "avtank", true, true, false, true, true, false},
        {"no mission", "avtank", true, true, true, false, true, false},
        {"not permitted", "avtank", true, true, true, true, false, false},
    };
    float bounds[6];
    Terrain_GetBounds(bounds);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_calls = Calls{};
        g_vehicleName = c.vehicle;
        g_network = c.network;
        g_missionExists = c.mission;
        g_mayGiveVehicle = c.permitted;
        // Near the map's corner, so that the offset must be kept inside.
        Person* person = NewPerson(1, 100.0f, bounds[0] + 3.0, bounds[2] + 3.0);
        ASSERT_NE(person, nullptr);
        if (c.user) person->MakeUser();
        person->playerObject = c.requested ? 1 : 0;
        person->physFlags = kPersonAirborne;
        person->entity->local.posit.y = kGround + 0.05;
        person->euler.velocity = Vector{0.0f, -3.0f, 0.0f};
        const size_t before = GameObject_List().size();
        person->Update(kDt);
        EXPECT_TRUE(person->physFlags & kPersonOnGround);
        EXPECT_FALSE(person->physFlags & kPersonAirborne);
        const std::vector<GameObject*>& list = GameObject_List();
        if (!c.built) {
            EXPECT_EQ(list.size(), before);
            EXPECT_TRUE(g_calls.pendingVehicles.empty());
            EXPECT_EQ(person->playerObject, c.requested ? 1 : 0);
            continue;
        }
        ASSERT_EQ(list.size(), before + 1);
        GameObject* vehicle = list.back();
        EXPECT_EQ(vehicle->team, 0);
        EXPECT_EQ(person->playerObject, 0);
        EXPECT_EQ(g_calls.pendingVehicles, std::vector<uint32_t>{vehicle->GetObjHandle()});
        EXPECT_EQ(g_calls.registered, 1);
        if (vehicle->hardpoints) {
            EXPECT_EQ(vehicle->hardpoints->enabled, 0u);
        }
        const DVector& at = vehicle->entity->local.posit;
        EXPECT_GE(at.x, bounds[0] + 15.0 - 1e-3);
        EXPECT_GE(at.z, bounds[2] + 15.0 - 1e-3);
        EXPECT_LE(at.x, bounds[0] + 33.0);
        EXPECT_LE(at.z, bounds[2] + 33.0);
        // A second landing asks for nothing more.
        person->physFlags = kPersonAirborne;
        person->entity->local.posit.y = kGround + 0.05;
        person->Update(kDt);
        EXPECT_EQ(g_calls.pendingVehicles.size(), 1u);
    }
}

TEST_F(PersonTest, APilotBailingOutOfTheUsersCraftInANetworkGameAsksForAVehicle) {
    for (bool network : {true, false}) {
        SCOPED_TRACE(network);
        g_network = network;
        Craft* tank = NewTank(1);
        ASSERT_NE(tank, nullptr);
        tank->MakeUser();
        tank->pilotClass = &Pilots();
        const size_t before = GameObject_List().size();
        tank->EjectPilot();
        ASSERT_EQ(GameObject_List().size(), before + 1);
        auto* pilot = dynamic_cast<Person*>(GameObject_List().back());
        ASSERT_NE(pilot, nullptr);
        EXPECT_EQ(pilot->playerObject, network ? 1 : 0);
    }
}

// ---- network state ----------------------------------------------------------------------------

TEST_F(PersonTest, TheStateRecordRoundTripsWithTheStanceBitsMapped) {
    struct Case {
        int32_t stance;
        uint8_t stanceBits;
        bool process, sniperArmed, onGround, airborne;
    } cases[] = {
        {kStanceStanding, 1, true, false, true, false},
        {kStanceKneeling, 2, true, true, true, false},
        {kStanceSniping, 0, false, true, false, true},
        {kStanceGettingUp, 3, true, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stance);
        Person* from = NewPerson(1, 200.0f);
        Person* to = NewPerson(1, 200.0f);
        ASSERT_TRUE(from && to);
        from->entity->local.posit = DVector{100.5, 31.25, 50.75};
        from->euler.velocity = Vector{1.5f, -2.0f, 0.25f};
        from->controls = CraftControls{};
        from->controls.steering = 0.5f;
        from->controls.pitch = -0.25f;
        from->controls.strafe = 1.0f;
        from->controls.throttle = -1.0f;
        from->controls.jump = 1;
        from->deployState = c.stance;
        from->physFlags = (c.onGround ? kPersonOnGround : 0u) | (c.airborne ? kPersonAirborne : 0u);
        from->curHealth = 150.0f;
        from->healthRatio = 0.75f;
        if (!c.process) {
            delete from->aiProcess;
            from->aiProcess = nullptr;
        }
        for (Person* p : {from, to}) {
            Mounts(p).SetWeapon(2, nullptr, AsWeapon(g_sniper));
            p->hardpoints->SetWeapon(3, nullptr, AsWeapon(g_cannon));
            p->hardpoints->SetEnabled(c.sniperArmed ? 0x1Cu : 0x18u);
        }
        to->hardpoints->SetEnabled(c.sniperArmed ? 0x08u : 0x0Cu);
        uint8_t buffer[64] = {};
        int32_t length = 5;
        from->PackNetState(buffer, length);
        ASSERT_EQ(length, 5 + kPersonNetStateSize);
        const uint8_t* record = buffer + 5;
        EXPECT_EQ(record[0], 192);  // ceil(255 * 0.75)
        EXPECT_EQ(record[18] & 0x1, 0x1);
        EXPECT_EQ(record[18] & 0x18, (c.onGround ? 0x8 : 0) | (c.airborne ? 0x10 : 0));
        EXPECT_EQ(record[19], c.stanceBits | (c.process ? 0 : 4) | (c.sniperArmed ? 8 : 0));

        to->UnpackNetState(record, kPersonNetStateSize);
        EXPECT_EQ(to->deployState, c.stance);
        EXPECT_NEAR(to->entity->local.posit.x, 100.5, 0.01);
        EXPECT_NEAR(to->entity->local.posit.y, 31.25, 0.01);
        EXPECT_NEAR(to->euler.velocity.x, 1.5f, 0.01f);
        EXPECT_NEAR(to->controls.steering, 0.5f, 0.01f);
        EXPECT_NEAR(to->controls.pitch, -0.25f, 0.01f);
        EXPECT_FLOAT_EQ(to->controls.strafe, 1.0f);
        EXPECT_FLOAT_EQ(to->controls.throttle, -1.0f);
        EXPECT_EQ(to->controls.jump, 1);
        EXPECT_EQ(to->physFlags & (kPersonOnGround | kPersonAirborne), from->physFlags);
        EXPECT_NEAR(to->healthRatio, 192.0f / 255.0f, 1e-6f);
        EXPECT_EQ(to->aiProcess != nullptr, c.process);
        // The sniper weapon is armed or disarmed to match; the cannon keeps its own state.
        EXPECT_EQ(to->hardpoints->enabled, c.sniperArmed ? 0x0Cu : 0x08u);
        EXPECT_FALSE(to->entity->flags & kEntityDestroyRequested);
    }
}

TEST_F(PersonTest, AReceivedDeathKillsTheCopyAndTellsTheMissionOfAPlayersObject) {
    struct Case {
        uint8_t playerObject;
        size_t resets;
    } cases[] = {{1, 1}, {0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.playerObject));
        g_calls = Calls{};
        Person* from = NewPerson(1, 100.0f);
        Person* to = NewPerson(1, 100.0f);
        ASSERT_TRUE(from && to);
        from->curHealth = -5.0f;
        from->healthRatio = -0.05f;
        to->playerObject = c.playerObject;
        uint8_t buffer[kPersonNetStateSize] = {};
        int32_t length = 0;
        from->PackNetState(buffer, length);
        EXPECT_EQ(buffer[0], 0);
        EXPECT_EQ(buffer[18] & 0x80, 0x80);
        to->UnpackNetState(buffer, length);
        EXPECT_FLOAT_EQ(to->curHealth, -1.0f);
        EXPECT_EQ(to->entity->flags & 0x1000080u, 0x1000080u);
        EXPECT_EQ(g_calls.registered, 1);
        EXPECT_EQ(g_calls.resets.size(), c.resets);
        if (c.resets) {
            EXPECT_EQ(g_calls.resets[0], to->GetObjHandle());
        }
    }
    // A short record changes nothing.
    Person* p = NewPerson(1, 100.0f);
    ASSERT_NE(p, nullptr);
    uint8_t shortRecord[kPersonNetStateSize - 1] = {};
    p->UnpackNetState(shortRecord, sizeof shortRecord);
    EXPECT_FLOAT_EQ(p->curHealth, 100.0f);
    EXPECT_EQ(p->deployState, kStanceStanding);
}

TEST_F(PersonTest, NetworkPriority) {
    struct Case {
        const char* name;
        float distance, lastSend, healthRatio, lastSentRatio;
        bool dying, sniper;
        float expected;
    } cases[] = {
        {"far, just sent", 250.0f, 10.0f, 1.0f, 1.0f, false, false, 0.0f},
        {"near and late", 50.0f, 7.0f, 1.0f, 1.0f, false, false, 4.0f + 3.0f},
        {"health changed near", 200.0f, 10.0f, 0.5f, 1.0f, false, false, 1.0f + 1.0f},
        {"health changed far", 300.0f, 10.0f, 0.5f, 1.0f, false, false, -1.0f},
        {"dying", 250.0f, 10.0f, 1.0f, 1.0f, true, false, 10.0f},
        {"sniper changed", 250.0f, 10.0f, 1.0f, 1.0f, false, true, 2.0f},
        {"send time in the future", 250.0f, 12.0f, 1.0f, 1.0f, false, false, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Person* p = NewPerson(1, 100.0f);
        ASSERT_NE(p, nullptr);
        p->lastSendTime = c.lastSend;
        p->healthRatio = c.healthRatio;
        p->lastSentHealthRatio = c.lastSentRatio;
        if (c.dying) p->entity->flags |= kEntityDestroyRequested;
        Mounts(p).SetWeapon(0, nullptr, AsWeapon(g_cannon));
        if (c.sniper) p->hardpoints->SetWeapon(1, nullptr, AsWeapon(g_sniper));
        EXPECT_NEAR(p->GetNetPriority(10.0f, c.distance), c.expected, 1e-4f);
        EXPECT_LE(p->lastSendTime, 10.0f);
        p->entity->flags &= ~kEntityDestroyRequested;
    }
}

TEST_F(PersonTest, EntitySideWrappersAndTheNetworkBuildFindPersonsOnly) {
    Person* person = NewPerson();
    ASSERT_NE(person, nullptr);
    person->profiles[kProfileWalking].topForward = 4.0f;
    Person_SetTargetSpeed(person->entity, 2.0f);
    EXPECT_FLOAT_EQ(person->controls.throttle, 0.5f);
    Person_SetHeading(person->entity, 0.0f);
    EXPECT_FLOAT_EQ(person->controls.steering, 0.0f);
    EXPECT_FLOAT_EQ(person->controls.throttle, 1.0f);
    // Another kind's entity is left alone.
    Craft* tank = NewTank(1);
    ASSERT_NE(tank, nullptr);
    const float before = tank->controls.throttle;
    Person_SetTargetSpeed(tank->entity, 3.0f);
    EXPECT_FLOAT_EQ(tank->controls.throttle, before);
    EXPECT_FLOAT_EQ(Person_GetAimAngle(tank->entity), 0.0f);
    // A network record builds a person of a person's class only.
    Entity* root = Entity_New(nullptr);
    root->type = kTypePerson;
    root->classData = Person_NewRecord();
    const char pilot[8] = {'a', 's', 'p', 'i', 'l', 'o', 0, 0};
    Person* built = Person_BuildFromNet(root, pilot, 0xA);
    ASSERT_NE(built, nullptr);
    EXPECT_EQ(built->team, 2);
    EXPECT_EQ(Person_BuildFromNet(root, pilot, 2), nullptr);  // the entity has its object
    Entity* other = Entity_New(nullptr);
    other->type = kTypePerson;
    const char tankName[8] = {'a', 'v', 't', 'a', 'n', 'k', 0, 0};
    EXPECT_EQ(Person_BuildFromNet(other, tankName, 1), nullptr);
    Entity_Release(other);
    built->TearDown();
}

TEST_F(PersonTest, SavedGamesKeepTheScreamTime) {
    Person* person = NewPerson();
    ASSERT_NE(person, nullptr);
    person->nextScream = 123.5f;
    const std::string saved = CaptureFields(false, [&](FILE* f) { return person->Save(f); });
    EXPECT_LT(saved.find("nextScream"), 8u) << "before the craft's fields";
    const std::string scream = CaptureFields(false, [&](FILE* f) { return Field_WriteFloat(f, 7.25f, "nextScream"); });
    {
        FieldReadScope scope(scream, false);
        person->Load();  // the craft's own fields are missing: only the scream time is read
    }
    EXPECT_FLOAT_EQ(person->nextScream, 7.25f);
}

}  // namespace
