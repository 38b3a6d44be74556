#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "core/clock.h"
#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "core/datafile.h"
#include "core/registration.h"
#include "core/shake.h"
#include "fun3d/framepasses.h"
#include "fun3d/netpack.h"
#include "fun3d/objectslot.h"
#include "fun3d/particlebuffer.h"
#include "fun3d/powerup.h"
#include "fun3d/teamrecord.h"
#include "geo_writer.h"
#include "lobbed_definitions.h"
#include "platform/random.h"
#include "shot_world.h"
#include "support/data_root_fixture.h"
#include "terrain_writer.h"
#include "weapons/chunkeffect.h"
#include "weapons/effects.h"
#include "weapons/explosion.h"
#include "weapons/grenade.h"
#include "weapons/lobber.h"
#include "weapons/mortar.h"
#include "weapons_fixture.h"

namespace {

float Len(const Vector& v) { return std::sqrt(Vec3_Dot(v, v)); }

using Target = CountingTarget;

// What a lobber throws: an object that remembers its updates and flies by its velocity.
class Thrown : public GameObject {
public:
    using GameObject::GameObject;
    void Update(float dt) override {
        updates.push_back(dt);
        start = pos;
        SetPosition(Vector{pos.x + euler.velocity.x * dt, pos.y + euler.velocity.y * dt, pos.z + euler.velocity.z * dt});
    }
    std::vector<float> updates;
    Vector start{};
};
class ThrownClass : public GameObjectClass {
public:
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<Thrown>(entity, this); }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};
// A thrown pick-up: a power-up that only remembers its updates.
class ThrownPickUp : public PowerUp {
public:
    using PowerUp::PowerUp;
    void Update(float dt) override { updates.push_back(dt); }
    std::vector<float> updates;
};
class ThrownPickUpClass : public PowerUpClass {
public:
    ThrownPickUpClass() : PowerUpClass("pickup", Signature("PWUP"), kCategoryPowerUp) {}
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<ThrownPickUp>(entity, this); }
};

std::vector<std::string> g_sounds;
std::vector<GameObject*> g_added, g_registered;
bool g_network = false;
bool g_hasAim = false;
Vector g_aim{};

class LobbedTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        scratch_.Open();
        records_ = FlatMapRecords();
        content::ExplosionValues puff;
        puff.frameCount = 4;
        puff.secondsPerFrame = 0.1f;
        for (const char* name : {"xsecxpl", "xcarxpl", "xbldxpl", "xtest"}) Explosion(name, puff);
        Definitions();
        scratch_.Install(records_, "data.zfs");
        DataFile_SetLoader(nullptr);
        Explosion_Manager().MissionSetup();
        ASSERT_NO_FATAL_FAILURE(LoadFlatMap());
        TerrainBounds.minXm = TerrainBounds.minZm = 0.0f;
        TerrainBounds.maxXm = TerrainBounds.maxZm = 1280.0f;
        GameObject_CreateGrid();
        EffectList::Clear();
        ParticleBuffer_Clear();
        Smoke_Effect().MissionSetup();
        Chunk_Effect().MissionSetup();
        Chunk_Effect().PostLoad();
        Clock_SetTime(10.0f);

        savedAudio_ = Seam_Audio();
        savedNet_ = Seam_Net();
        savedAi_ = Seam_Ai();
        savedCockpit_ = Seam_Cockpit();
        g_sounds.clear();
        g_queued.clear();
        g_added.clear();
        g_registered.clear();
        g_network = false;
        g_hasAim = false;
        Seam_Audio().soundPlayOnObject = [](const char* name, Entity*) -> void* {
            g_sounds.push_back(name);
            return nullptr;
        };
        Seam_Audio().soundPlay = [](const char* name, Entity*, uint32_t, int) -> void* {
            g_sounds.push_back(name);
            return nullptr;
        };
        Seam_Audio().soundStopAttached = [](Entity*) { return false; };
        NetSeam& net = Seam_Net();
        net.isNetworkGame = [] { return g_network; };
        net.localPlayerId = [] { return uint16_t{1}; };
        StubOrdnanceNet(net);
        net.sendReliable = [](uint16_t, uint32_t, const uint8_t*, int) {};
        net.findObject = [](uint32_t) -> NetObject* { return nullptr; };
        net.registerObject = [](NetObject* object) { g_registered.push_back(static_cast<GameObject*>(object)); };
        Seam_Ai().missionAddObject = [](GameObject* object) { g_added.push_back(object); };
        Seam_Cockpit().userAimPoint = [](Vector* out) {
            if (g_hasAim) *out = g_aim;
            return g_hasAim;
        };
        Random_Seed(3);
        Random_FillTable();
    }
    void TearDown() override {
        ClearShotsAndEffects();
        Seam_Audio() = savedAudio_;
        Seam_Net() = savedNet_;
        Seam_Ai() = savedAi_;
        Seam_Cockpit() = savedCockpit_;
        WeaponsFixture::TearDown();
        UnloadFlatMap();
        scratch_.Close();
    }

    void Explosion(const std::string& name, const content::ExplosionValues& v) {
        AddExplosionRecord(records_, name, v);
    }
    void Shot(const std::string& name, const std::string& label, float speed, float lifetime,
              const content::LobbedValues& lobbed = {}) {
        content::OrdnanceValues o;
        o.label = label;
        o.speed = speed;
        o.lifetime = lifetime;
        o.explosionGround = "xtest";
        o.explosionVehicle = "xtest";
        o.explosionBuilding = "xtest";
        o.damage[0] = 10;
        o.writeDamage = true;
        std::string text, error;
        ASSERT_TRUE(content::LobbedOrdnanceText(o, content::RocketValues{}, lobbed, &text, &error)) << error;
        records_.push_back({name + ".odf", text});
    }
    void Definitions() {
        Shot("tgren", "grenade", 30.0f, -1.0f);
        content::LobbedValues bounce;
        bounce.bounceSound = "tbounce.wav";
        Shot("tbomb", "bouncebomb", 30.0f, 5.0f, bounce);
        content::LobbedValues hook;
        hook.linearBrake = 10.0f;
        hook.angularBrake = 4.0f;
        hook.holdTime = 2.0f;
        Shot("tanchor", "anchor", 50.0f, 3.0f, hook);
        content::WeaponValues mortar;
        mortar.label = "mortar";
        mortar.ordnance = "tgren";
        mortar.reloadTime = 2.0f;
        std::string text, error;
        ASSERT_TRUE(content::WeaponDefinitionText(mortar, &text, &error)) << error;
        records_.push_back({"tmortar.odf", text});
        content::WeaponValues lobber;
        lobber.label = "lobber";
        lobber.reloadTime = 1.0f;
        ASSERT_TRUE(content::LobberWeaponText(lobber, 60.0f, &text, &error)) << error;
        records_.push_back({"tlobber.odf", text});
    }

    Target* At(float x, float y, float z, int32_t type = 1, float radius = 2.0f) {
        Entity* e = NewRoot(2, 0, false);
        e->type = type;
        Target* t = GameObject_New<Target>(e, &NewClass());
        t->SetPosition(Vector{x, y, z});
        t->radius = radius;
        GameObject_UpdateGrid();
        return t;
    }
    template <class Shot>
    Shot* Fire(const char* name, const Matrix& at) {
        OrdnanceClass* cls = OrdnanceClass::Find(name);
        EXPECT_NE(cls, nullptr) << name;
        return cls ? dynamic_cast<Shot*>(cls->Build(at, nullptr)) : nullptr;
    }
    // A craft holding the weapon on its one hardpoint at the point.
    Weapon* Mount(const char* name, float x, float y, float z, uint32_t flags = 0) {
        Entity* root = NewRoot(1, flags, false);
        root->local = Aim(x, y, z, Vector{0, 0, 1});
        Entity* hardpoint = NewPart(root, "hp_gun1");
        owner = GameObject_New<Target>(root, &NewClass(100, 500));
        owner->SetPosition(Vector{x, y, z});
        WeaponClass* cls = WeaponClass::Find(name);
        EXPECT_NE(cls, nullptr) << name;
        if (!cls) return nullptr;
        Weapon* weapon = cls->Build(root, hardpoint);
        weapon->UpdateMount(0.0f);
        return weapon;
    }

    // The fixture frees the class after the objects built from it.
    template <class Cls>
    Cls& Keep(Cls* cls) {
        classes_.push_back(cls);
        return *cls;
    }

    Target* owner = nullptr;
    std::vector<content::ArchiveRecord> records_;
    ScratchDataRoot scratch_;
    AudioSeam savedAudio_{};
    NetSeam savedNet_{};
    AiSeam savedAi_{};
    CockpitSeam savedCockpit_{};
};

// ---- mortar aim --------------------------------------------------------------------------------

// Where a shot at speed s along the direction from the gun to the aim point is when it has come
// as far across the ground as the target.
Vector Arrival(const Vector& gun, const Vector& aim, const Vector& target, float s) {
    const Vector d = Vec3_Normalize(Vec3_Sub(aim, gun));
    const float across = std::sqrt((target.x - gun.x) * (target.x - gun.x) + (target.z - gun.z) * (target.z - gun.z));
    const float flat = std::sqrt(d.x * d.x + d.z * d.z) * s;
    const float t = across / flat;
    return Vector{gun.x + d.x * s * t, gun.y + d.y * s * t - kHalfGravity * t * t, gun.z + d.z * s * t};
}

TEST(MortarAim, Table) {
    const Vector gun{0.0f, 0.0f, 0.0f};
    const Vector still{0.0f, 0.0f, 0.0f};
    struct Case {
        const char* what;
        Vector target, velocity;
        float speed;
        bool lob;
        bool reach;
        Vector aim;
    } cases[] = {
        // 100 m away at 40 m/s: the two roots give aim points 34.2 m and 292.3 m above it.
        {"flag set: the root with the larger g", {100, 0, 0}, still, 40, true, true, {100, 34.2085f, 0}},
        {"flag clear: the other root", {100, 0, 0}, still, 40, false, true, {100, 292.33f, 0}},
        // 200 m is beyond 40 m/s (163 m at best): g stays s^2, 9.8 * 40000 / 1600 above.
        {"out of reach", {200, 0, 0}, still, 40, true, false, {200, 245.0f, 0}},
        // Led by the flight time |T - G| / s = 2.5 s.
        {"the lead", {100, 0, 0}, {0, 0, 10}, 40, true, true, {100, 0, 25}},
        {"no lead without the flag", {100, 0, 0}, {0, 0, 10}, 40, false, true, {100, 0, 0}},
        // Straight above: aimed at itself; reachable while s^2 >= 19.6 dy.
        {"straight above, within reach", {0, 50, 0}, still, 40, true, true, {0, 50, 0}},
        {"straight above, too high", {0, 100, 0}, still, 40, true, false, {0, 100, 0}},
        {"straight below", {0, -30, 0}, still, 5, false, true, {0, -30, 0}},
        // s^2 = 9.8 dy makes g 0 and the disc negative: aimed at the target, false.
        {"g = 0", {10, 5, 0}, still, 7, true, false, {10, 5, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Vector out{};
        EXPECT_EQ(Mortar_BallisticAimAt(gun, c.target, c.velocity, c.speed, c.lob, &out), c.reach);
        EXPECT_NEAR(out.x, c.aim.x, 1e-3f);
        EXPECT_NEAR(out.z, c.aim.z, 1e-3f);
        if (std::string(c.what).find("lead") != std::string::npos) continue;
        EXPECT_NEAR(out.y, c.aim.y, 0.01f);
        if (c.reach && (c.target.x != 0.0f || c.target.z != 0.0f)) {
            // Pointed at the aim point, the falling shot comes down on the target.
            const Vector at = Arrival(gun, out, c.target, c.speed);
            EXPECT_NEAR(at.y, c.target.y, 0.05f);
        }
    }
}

TEST_F(LobbedTest, TheMortarIsACannonThatAimsWithTheLeadAndTheFlag) {
    WeaponClass* cls = WeaponClass::Find("tmortar");
    ASSERT_NE(dynamic_cast<MortarClass*>(cls), nullptr);
    EXPECT_NE(dynamic_cast<CannonClass*>(cls), nullptr);
    EXPECT_STREQ(cls->prototype->fireSound, "wcbl.wav");
    EXPECT_FLOAT_EQ(static_cast<CannonClass*>(cls)->reloadTime, 2.0f);
    Weapon* gun = Mount("tmortar", kMid, kGround + 2.0f, kMid);
    ASSERT_NE(dynamic_cast<Mortar*>(gun), nullptr);
    Target* t = At(kMid, kGround + 1.0f, kMid + 60.0f);
    t->SetVelocity(Vector{5.0f, 0.0f, 0.0f});
    Vector aim{}, expected{};
    gun->GetAimPoint(&aim, t);
    EXPECT_TRUE(Mortar_BallisticAim(gun, &expected, t, true));
    EXPECT_FLOAT_EQ(aim.x, expected.x);
    EXPECT_FLOAT_EQ(aim.y, expected.y);
    EXPECT_GT(aim.x, kMid + 5.0f) << "led toward where the target goes";
    Vector none{};
    EXPECT_FALSE(Mortar_BallisticAim(gun, &none, nullptr, true));
}

// ---- grenades ----------------------------------------------------------------------------------

TEST_F(LobbedTest, AGrenadeFallsWithGravitySplitAroundTheMoveAndKeepsItsNoseAlongThePath) {
    OrdnanceClass* cls = OrdnanceClass::Find("tgren");
    ASSERT_NE(dynamic_cast<GrenadeClass*>(cls), nullptr);
    EXPECT_NE(dynamic_cast<RocketClass*>(cls), nullptr);
    EXPECT_EQ(cls->lifetime, 1e30f) << "a grenade lives until it hits";
    const OrdnanceClass* proto = cls->prototype;
    EXPECT_EQ(proto->ordFloatParam, 50.0f);
    EXPECT_EQ(proto->ordIntParam, 10);
    EXPECT_EQ(proto->damage[1], 500);
    EXPECT_TRUE(proto->reportHits);

    auto* g = Fire<Grenade>("tgren", Aim(kMid, kGround + 100.0f, kMid, Vector{1, 0, 0}));
    ASSERT_NE(g, nullptr);
    const float dt = 0.1f;
    g->Step(dt);
    // Half the gravity before the move: the move drops 4.9 dt^2; the velocity loses 9.8 dt.
    const Vector p = Pos(g->entity);
    EXPECT_NEAR(p.x, kMid + 3.0f, 1e-3f);
    EXPECT_NEAR(p.y, kGround + 100.0f - kHalfGravity * dt * dt, 1e-3f);
    EXPECT_NEAR(g->motion.velocity.y, -kGravity * dt, 1e-5f);
    EXPECT_NEAR(g->motion.speed, Len(g->motion.velocity), 1e-5f);
    const Vector along = Vec3_Normalize(g->motion.velocity);
    const Matrix& m = g->entity->local;
    EXPECT_NEAR(m.front.x, along.x, 1e-5f);
    EXPECT_NEAR(m.front.y, along.y, 1e-5f);
    EXPECT_NEAR(Vec3_Dot(m.right, m.front), 0.0f, 1e-5f);
    EXPECT_NEAR(Vec3_Dot(m.up, m.front), 0.0f, 1e-5f);
    EXPECT_GT(m.up.y, 0.9f);
}

TEST_F(LobbedTest, ALandingGrenadeThrowsTwentyChunksAndScorchesTheGroundButNotAboveIt) {
    const int cellX = static_cast<int>(kMid / 10.0f), cellZ = static_cast<int>(kMid / 10.0f);
    const uint8_t light = 200;
    *Terrain_GetLightByte(cellX, cellZ) = light;
    auto* g = Fire<Grenade>("tgren", Aim(kMid, kGround + 5.0f, kMid, Vector{1, -1, 0}));
    ASSERT_NE(g, nullptr);
    for (int i = 0; i < 50 && !g->IsDead(); ++i) g->Step(0.05f);
    ASSERT_TRUE(g->IsDead());
    EXPECT_NEAR(Pos(g->entity).y, kGround, 1e-3f) << "put on the ground";
    EXPECT_EQ(Chunk_Effect().LiveCount(), kGrenadeChunks);
    EXPECT_LT(*Terrain_GetLightByte(cellX, cellZ), light) << "scorched where it landed";
    EXPECT_EQ(Explosion_LiveList().size(), 1u);

    // A hit on an object more than 0.5 above the ground throws nothing.
    Target* t = At(kMid + 100.0f, kGround + 20.0f, kMid);
    auto* high = Fire<Grenade>("tgren", Aim(kMid + 90.0f, kGround + 20.0f, kMid, Vector{1, 0, 0}));
    for (int i = 0; i < 20 && !high->IsDead(); ++i) high->Step(0.05f);
    EXPECT_TRUE(high->IsDead());
    EXPECT_EQ(t->hits, 1);
    EXPECT_EQ(Chunk_Effect().LiveCount(), kGrenadeChunks);
}

// ---- bounce bombs ------------------------------------------------------------------------------

TEST_F(LobbedTest, ABounceBombExplodesOnObjectsOutsideTheStandingKindsAndBouncesOffTheRest) {
    auto* bomb = Fire<BounceBomb>("tbomb", Aim(kMid, kGround + 5.0f, kMid, Vector{1, 0, 0}));
    ASSERT_NE(bomb, nullptr);
    EXPECT_NE(dynamic_cast<GrenadeClass*>(bomb->ordnanceClass), nullptr);
    // A craft (kind 1) and a pick-up (kind 3) make it explode at once.
    for (int32_t kind : {1, 3}) {
        SCOPED_TRACE(kind);
        bomb = Fire<BounceBomb>("tbomb", Aim(kMid, kGround + 5.0f, kMid, Vector{1, 0, 0}));
        Target* craft = At(kMid + 3.0f, kGround + 5.0f, kMid, kind);
        const size_t blasts = Explosion_LiveList().size();
        bomb->Hit(craft->entity, Vector{-1, 0, 0});
        EXPECT_TRUE(bomb->IsDead());
        EXPECT_EQ(craft->hits, 1);
        EXPECT_EQ(Explosion_LiveList().size(), blasts + 1);
    }
    EXPECT_TRUE(ObjectClass_IsKindGroup(2) && ObjectClass_IsKindGroup(5) && ObjectClass_IsKindGroup(7) &&
                ObjectClass_IsKindGroup(10));
    EXPECT_FALSE(ObjectClass_IsKindGroup(1) || ObjectClass_IsKindGroup(3) || ObjectClass_IsKindGroup(4) ||
                 ObjectClass_IsKindGroup(6));

    // Bounces: half the speed, mirrored at the surface; the threshold is 5 m/s off terrain and
    // 1 m/s off a standing object.
    Target* building = At(kMid + 50.0f, kGround + 5.0f, kMid, 2);
    struct Case {
        const char* what;
        bool onObject;
        float speed;
        bool rests;
    } cases[] = {
        {"terrain, fast", false, 12.0f, false},
        {"terrain, below 5", false, 9.0f, true},
        {"object, below 5 but above 1", true, 9.0f, false},
        {"object, below 1", true, 1.6f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_sounds.clear();
        bomb = Fire<BounceBomb>("tbomb", Aim(kMid, kGround + 5.0f, kMid, Vector{1, 0, 0}));
        // Straight into the surface: the bounce keeps half the speed, turned back.
        const Vector n{-1, 0, 0};
        bomb->motion.velocity = Vector{c.speed, 0, 0};
        bomb->Hit(c.onObject ? building->entity : nullptr, n);
        EXPECT_FALSE(bomb->IsDead());
        EXPECT_NEAR(bomb->motion.velocity.x, -0.5f * c.speed, 1e-5f);
        EXPECT_NEAR(bomb->motion.speed, 0.5f * c.speed, 1e-5f);
        EXPECT_EQ(bomb->Resting(), c.rests);
        EXPECT_EQ(g_sounds, c.rests ? std::vector<std::string>{} : std::vector<std::string>{"tbounce.wav"});
    }
    EXPECT_EQ(building->hits, 0);
}

TEST_F(LobbedTest, ABounceBombAtRestLiesOnTheFloorAndNeverTimesOutWhileOneInFlightDoes) {
    auto* bomb = Fire<BounceBomb>("tbomb", Aim(kMid, kGround + 3.0f, kMid, Vector{1, 0, 0}));
    ASSERT_NE(bomb, nullptr);
    bomb->motion.velocity = Vector{0, -4, 0};
    bomb->Hit(nullptr, Vector{0, 1, 0});
    ASSERT_TRUE(bomb->Resting());
    const float life = bomb->lifeLeft;
    for (int i = 0; i < 200; ++i) bomb->Step(0.1f);  // 20 s, four times its life
    EXPECT_FALSE(bomb->IsDead());
    EXPECT_EQ(bomb->lifeLeft, life);
    EXPECT_NEAR(Pos(bomb->entity).y, kGround, 1e-3f) << "on the floor surface";
    EXPECT_EQ(bomb->motion.speed, 0.0f);
    EXPECT_EQ(bomb->motion.invSpeed, 1e30f);
    const Matrix& m = bomb->entity->local;
    EXPECT_NEAR(m.up.y, 1.0f, 1e-5f);
    EXPECT_NEAR(m.front.x, 1.0f, 1e-5f) << "its front kept";

    // In flight the life runs down and its end is the ground explosion.
    auto* flying = Fire<BounceBomb>("tbomb", Aim(kMid, kGround + 500.0f, kMid, Vector{0, 1, 0}));
    const size_t blasts = Explosion_LiveList().size();
    for (int i = 0; i < 60 && !flying->IsDead(); ++i) flying->Step(0.1f);
    EXPECT_TRUE(flying->IsDead());
    EXPECT_EQ(Explosion_LiveList().size(), blasts + 1);
}

TEST_F(LobbedTest, TheNetworkBounceLeavesBothMachinesAtTheSamePointAndDoesNotBounceTwice) {
    Clock_SetTime(12.5f);
    g_network = true;
    auto* bomb = Fire<BounceBomb>("tbomb", Aim(kMid, kGround + 1.0f, kMid, Vector{1, 0, 0}));
    ASSERT_NE(bomb, nullptr);
    ASSERT_EQ(bomb->netPlayer, 1);
    Ordnance_SendNew();  // the launch goes out
    ASSERT_EQ(bomb->netState, kOrdnanceSent);
    bomb->launchTime = 0.0f;
    g_queued.clear();
    g_sounds.clear();
    // Off a standing object's wall, still under the ground and heading down: the zero-length
    // step meets the ground, which must not bounce the bomb a second time.
    Target* wall = At(kMid + 3.0f, kGround, kMid, 2);
    bomb->motion.velocity = Vector{10, -10, 0};
    bomb->entity->local.posit.y = kGround - 0.2;
    bomb->Hit(wall->entity, Vector{-1, 0, 0});

    EXPECT_EQ(g_sounds.size(), 1u) << "one bounce";
    EXPECT_FALSE(bomb->Resting()) << "a second bounce off the ground would have stopped it";
    EXPECT_NEAR(bomb->motion.speed, std::sqrt(50.0f), 1e-3f);
    EXPECT_EQ(bomb->netState, kOrdnanceNew);
    EXPECT_EQ(bomb->launchTime, Clock_GetTime());
    const Matrix sent = bomb->entity->local;
    const Matrix again = NetPack_RoundTripOrdnance(sent);
    EXPECT_EQ(again.posit.x, sent.posit.x) << "already rounded as the record carries it";
    EXPECT_EQ(again.posit.y, sent.posit.y);
    EXPECT_EQ(bomb->launchMatrix.posit.z, sent.posit.z);
    EXPECT_NEAR(Vec3_Dot(Vec3_Normalize(bomb->motion.velocity), sent.front), 1.0f, 1e-4f) << "along its nose";

    // The other machine takes the record and starts its copy at the same point.
    Ordnance_SendNew();
    ASSERT_EQ(g_queued.size(), 1u);
    const std::vector<uint8_t> body(g_queued[0].begin() + 2, g_queued[0].end());
    Ordnance_ReceiveNew(body.data(), static_cast<int>(body.size()), 2);
    Ordnance* copy = Ordnance_FindByKey(2, bomb->netSerial);
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, bomb);
    EXPECT_EQ(copy->entity->local.posit.x, sent.posit.x);
    EXPECT_EQ(copy->entity->local.posit.y, sent.posit.y);
    EXPECT_EQ(copy->entity->local.posit.z, sent.posit.z);
    EXPECT_NEAR(Vec3_Dot(copy->entity->local.front, sent.front), 1.0f, 1e-4f);
}

// ---- anchors -----------------------------------------------------------------------------------

TEST_F(LobbedTest, AnAnchorHooksWhatItHitsBrakesItAndEndsWithItsHoldOrItsObject) {
    AnchorClass* cls = dynamic_cast<AnchorClass*>(OrdnanceClass::Find("tanchor"));
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->linearBrake, 10.0f);
    EXPECT_EQ(cls->angularBrake, 4.0f);
    EXPECT_EQ(cls->holdTime, 2.0f);
    EXPECT_EQ(static_cast<AnchorClass*>(cls->prototype)->holdTime, 5.0f);
    Target* t = At(kMid + 20.0f, kGround + 5.0f, kMid);
    auto* anchor = Fire<Anchor>("tanchor", Aim(kMid, kGround + 5.0f, kMid, Vector{1, 0, 0}));
    ASSERT_NE(anchor, nullptr);
    for (int i = 0; i < 20 && !anchor->hooked; ++i) anchor->Step(0.05f);
    ASSERT_EQ(anchor->hooked, t->GetObjHandle());
    EXPECT_EQ(t->hits, 1);
    EXPECT_FALSE(anchor->IsDead());
    EXPECT_EQ(anchor->lifeLeft, 2.0f);

    // Rides on the object; the brake scales the speeds and stops them below the brake step.
    const Vector before = Pos(anchor->entity);
    t->SetPosition(Vector{t->pos.x, t->pos.y, t->pos.z + 4.0f});
    t->SetVelocity(Vector{6, 0, 8});
    t->euler.angularVelocity = Vector{0, 2, 0};
    anchor->Step(0.1f);
    EXPECT_NEAR(Pos(anchor->entity).z, before.z + 4.0f, 1e-4f);
    EXPECT_NEAR(t->euler.velocity.x, 6.0f * 0.9f, 1e-5f);  // b = 1 of a speed of 10
    EXPECT_NEAR(t->euler.velocity.z, 8.0f * 0.9f, 1e-5f);
    EXPECT_NEAR(t->euler.speed, 9.0f, 1e-5f);
    EXPECT_NEAR(t->euler.angularVelocity.y, 2.0f * 0.8f, 1e-5f);  // a = 0.4 of 2
    t->SetVelocity(Vector{0.5f, 0, 0});
    t->euler.angularVelocity = Vector{0.3f, 0, 0};
    anchor->Step(0.1f);
    EXPECT_EQ(t->euler.speed, 0.0f);
    EXPECT_EQ(t->euler.angularVelocity.x, 0.0f);
    EXPECT_FALSE(anchor->IsDead());
    // The hold runs out.
    for (int i = 0; i < 20 && !anchor->IsDead(); ++i) anchor->Step(0.1f);
    EXPECT_TRUE(anchor->IsDead());

    // A hooked object that dies ends the anchor's flight in the same frame.
    Target* other = At(kMid + 20.0f, kGround + 5.0f, kMid + 100.0f);
    auto* second = Fire<Anchor>("tanchor", Aim(kMid, kGround + 5.0f, kMid + 100.0f, Vector{1, 0, 0}));
    for (int i = 0; i < 20 && !second->hooked; ++i) second->Step(0.05f);
    ASSERT_EQ(second->hooked, other->GetObjHandle());
    other->entity->flags |= kEntityDead;
    second->Step(0.05f);
    EXPECT_TRUE(second->IsDead());
    EXPECT_EQ(second->hooked, 0u);
}

// ---- lobber ------------------------------------------------------------------------------------

TEST(LobberSolve, ThrowsComeDownOnThePointAndImpossibleOnesAreRefused) {
    struct Case {
        Vector d;
        float speed;
        bool ok;
    } cases[] = {
        {{60, 0, 0}, 50, true},   {{30, 10, 40}, 45, true}, {{20, -15, 0}, 30, true},
        {{0, 20, 0}, 50, false},  // straight above
        {{0, -20, 0}, 50, false},  // straight below
        {{10, 200, 0}, 30, false},  // higher than the speed climbs
    };
    for (const Case& c : cases) {
        Vector v{};
        EXPECT_EQ(Lobber_SolveLob(c.d, c.speed, &v), c.ok) << c.d.x << "," << c.d.y << "," << c.d.z;
        if (!c.ok) continue;
        // Flying for the time the throw took to cross the ground, it arrives at the point.
        const float t = std::sqrt(c.d.x * c.d.x + c.d.z * c.d.z) / std::sqrt(v.x * v.x + v.z * v.z);
        EXPECT_NEAR(v.x * t, c.d.x, 1e-3f);
        EXPECT_NEAR(v.y * t - kHalfGravity * t * t, c.d.y, 1e-2f);
        EXPECT_NEAR(v.z * t, c.d.z, 1e-3f);
        EXPECT_NEAR(Len(v), c.speed, 0.05f) << "at the throw speed";
    }
}

TEST_F(LobbedTest, ALobberThrowsItsClassToThePointFromWhereTheClockPutsIt) {
    auto* lobber = dynamic_cast<Lobber*>(Mount("tlobber", kMid, kGround + 2.0f, kMid));
    ASSERT_NE(lobber, nullptr);
    EXPECT_EQ(lobber->Class().maxSpeed, 60.0f);
    EXPECT_STREQ(lobber->Class().prototype->fireSound, "wcbl.wav");
    auto& cls = Keep(new ThrownClass);
    cls.label = "thrown";
    std::memcpy(cls.defName, "thrown", 6);
    cls.teamSlotFirst = 20;
    cls.teamSlotLast = 21;
    const Vector point{kMid + 40.0f, kGround, kMid + 30.0f};
    lobber->SetClass(&cls);
    lobber->SetTarget(&point);

    // No trigger: a positive clock goes back to 0.
    lobber->Update(0.3f);
    EXPECT_EQ(lobber->shotClock, 0.0f);
    // A full slot range throws nothing and keeps the clock.
    TeamRecord* team = TeamRecord::Get(1);
    ASSERT_NE(team, nullptr);
    team->SetSlot(20, owner);
    team->SetSlot(21, owner);
    lobber->PullTrigger();
    lobber->Update(0.25f);
    EXPECT_EQ(lobber->shotClock, 0.25f);
    EXPECT_EQ(lobber->trigger, 0);
    EXPECT_TRUE(g_added.empty());
    team->SetSlot(21, nullptr);

    // Thrown: on the team, in slot 21, handed to the mission, with its update for the clock.
    g_network = true;
    lobber->PullTrigger();
    lobber->Update(0.05f);
    ASSERT_EQ(g_added.size(), 1u);
    auto* thrown = dynamic_cast<Thrown*>(g_added[0]);
    ASSERT_NE(thrown, nullptr);
    EXPECT_EQ(thrown->team, 1);
    EXPECT_EQ(team->GetSlot(21), thrown);
    EXPECT_EQ(thrown->lastAttacker, owner->GetObjHandle());
    EXPECT_EQ(g_registered, std::vector<GameObject*>{thrown});
    EXPECT_EQ(g_sounds, std::vector<std::string>{"wcbl.wav"});
    ASSERT_EQ(thrown->updates.size(), 1u);
    EXPECT_FLOAT_EQ(thrown->updates[0], 0.3f);
    EXPECT_NEAR(lobber->shotClock, 0.3f - 1.0f, 1e-6f);
    // It left the muzzle along the throw and is where 0.3 s of its own flight put it.
    Matrix muzzle;
    Matrix_Multiply(muzzle, lobber->entity->local, lobber->mountMatrix);
    const Vector v = thrown->euler.velocity;
    EXPECT_NEAR(Vec3_Dot(Vec3_Normalize(v), muzzle.front), 1.0f, 1e-4f);
    EXPECT_NEAR(thrown->start.x, static_cast<float>(muzzle.posit.x), 1e-3f);
    EXPECT_NEAR(thrown->start.z, static_cast<float>(muzzle.posit.z), 1e-3f);
    EXPECT_NEAR(thrown->pos.x, thrown->start.x + v.x * 0.3f, 1e-3f);
    EXPECT_NEAR(thrown->pos.y, thrown->start.y + v.y * 0.3f, 1e-3f);
    EXPECT_NEAR(thrown->pos.z, thrown->start.z + v.z * 0.3f, 1e-3f);
    const Vector d = Vec3_Sub(point, Vector{static_cast<float>(muzzle.posit.x), static_cast<float>(muzzle.posit.y),
                                            static_cast<float>(muzzle.posit.z)});
    EXPECT_NEAR(thrown->euler.speed, std::min(std::sqrt(Len(d) * kGravity) + 20.0f, 60.0f), 1e-3f);
    EXPECT_EQ(thrown->nextCmd.what, 0) << "only pick-ups get an order";

    // Reloading: a pull while the clock is negative throws nothing.
    lobber->PullTrigger();
    lobber->Update(0.1f);
    EXPECT_EQ(g_added.size(), 1u);

    // A point straight above the muzzle cannot be thrown to: refused, the clock kept.
    lobber->shotClock = 0.5f;
    const Vector above{static_cast<float>(muzzle.posit.x), kGround + 30.0f, static_cast<float>(muzzle.posit.z)};
    lobber->SetTarget(&above);
    lobber->PullTrigger();
    lobber->Update(0.0f);
    EXPECT_EQ(g_added.size(), 1u);
    EXPECT_EQ(lobber->shotClock, 0.5f);
    // No point: nothing.
    lobber->SetTarget(nullptr);
    lobber->PullTrigger();
    lobber->Update(0.0f);
    EXPECT_EQ(g_added.size(), 1u);
}

TEST_F(LobbedTest, AThrownPickUpFliesRisingAndIsSentToThePoint) {
    GameObject_InstallClassFunctions();
    auto* lobber = dynamic_cast<Lobber*>(Mount("tlobber", kMid, kGround + 2.0f, kMid));
    ASSERT_NE(lobber, nullptr);
    auto& cls = Keep(new ThrownPickUpClass);
    std::memcpy(cls.defName, "pickup", 6);
    const Vector point{kMid + 50.0f, kGround, kMid};
    lobber->SetClass(&cls);
    lobber->SetTarget(&point);
    lobber->PullTrigger();
    lobber->Update(0.1f);
    ASSERT_EQ(g_added.size(), 1u);
    auto* pickUp = dynamic_cast<ThrownPickUp*>(g_added[0]);
    ASSERT_NE(pickUp, nullptr);
    ASSERT_NE(pickUp->vehicle, nullptr);
    EXPECT_EQ(pickUp->vehicle->flags & kLobberThrownFlags, kLobberThrownFlags);
    EXPECT_EQ(pickUp->nextCmd.what, kLobberThrownCommand);
    EXPECT_TRUE(g_registered.empty()) << "not a network game";
}

TEST_F(LobbedTest, TheUsersLobberThrowsWhereTheUserAimsAndNotAtAll) {
    auto* lobber = dynamic_cast<Lobber*>(Mount("tlobber", kMid, kGround + 2.0f, kMid, kEntityUser));
    ASSERT_NE(lobber, nullptr);
    ASSERT_EQ(GameObject_GetUser(), owner);
    auto& cls = Keep(new ThrownClass);
    cls.label = "thrown";
    lobber->SetClass(&cls);
    const Vector elsewhere{kMid - 40.0f, kGround, kMid};
    lobber->SetTarget(&elsewhere);
    // Aiming at nothing: no throw.
    lobber->UpdateMount(0.0f);
    EXPECT_EQ(lobber->targetPoint, nullptr);
    lobber->PullTrigger();
    lobber->Update(0.1f);
    EXPECT_TRUE(g_added.empty());
    g_hasAim = true;
    g_aim = Vector{kMid + 30.0f, kGround, kMid + 10.0f};
    lobber->UpdateMount(0.0f);
    ASSERT_NE(lobber->targetPoint, nullptr);
    lobber->PullTrigger();
    lobber->Update(0.1f);
    ASSERT_EQ(g_added.size(), 1u);
    EXPECT_GT(g_added[0]->euler.velocity.x, 0.0f) << "toward the aim, not the point the owner set";
}

}  // namespace
