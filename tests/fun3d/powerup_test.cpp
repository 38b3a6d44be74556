#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "core/fieldarchive.h"
#include "core/registration.h"
#include "core/savegame.h"
#include "core/seams/audio.h"
#include "fun3d/craftservices.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectslot.h"
#include "fun3d/powerup.h"
#include "fun3d/visibility.h"
#include "fun3d_fixture.h"
#include "support/data_root_fixture.h"
#include "support/field_stream.h"
#include "terrain_writer.h"

namespace {

constexpr float kGround = 30.0f;  // the flat map's height
constexpr float kDt = 1.0f / 30.0f;

std::vector<std::string> g_sounds;
int g_flames = 0;
int g_chunks = 0;
int g_groupRebuilds = 0;
std::vector<std::vector<uint8_t>> g_sent;
std::map<uint32_t, NetObject*> g_netIds;
bool g_networkGame = false;

// Stand-in weapons: a weapon is its class pointer plus one, so each build is told apart.
struct FakeWeapon {
    WeaponClass* cls;
};
std::vector<Weapon*> g_destroyed;

WeaponClass* FakeClass(int n) { return reinterpret_cast<WeaponClass*>(static_cast<uintptr_t>(0x1000 * n)); }

class PowerUpTest : public Fun3dFixture {
protected:
    void SetUp() override {
        Fun3dFixture::SetUp();
        scratch_.Open();
        content::TerrainMapSpec spec;
        spec.name = "flat";
        spec.width = 1280;
        spec.depth = 1280;
        spec.height = [](int, int) -> uint16_t { return static_cast<uint16_t>(kGround * 10.0f); };
        scratch_.Install(content::TerrainRecords(spec), "terrain.zfs");
        Terrain_SetBaseHeight(0);
        Terrain_SetFileName("flat");
        ASSERT_EQ(Terrain_ReadZoneFiles(), 1);
        ASSERT_EQ(Terrain_LoadZone(nullptr), 1);
        Terrain_Init(0);
        GameObject_InstallClassFunctions();
        g_sounds.clear();
        g_flames = g_chunks = g_groupRebuilds = 0;
        g_sent.clear();
        g_netIds.clear();
        g_destroyed.clear();
        g_networkGame = false;
        Seam_Audio().soundPlayOnObject = [](const char* name, Entity*) -> void* {
            g_sounds.push_back(name);
            return nullptr;
        };
        Seam_Weapons().engineFlameAdd = [](int, const Matrix&, float) { ++g_flames; };
        Seam_Weapons().weaponClassBuild = [](WeaponClass* cls, Entity*, Entity*) -> Weapon* {
            return reinterpret_cast<Weapon*>(new FakeWeapon{cls});
        };
        Seam_Weapons().weaponDestroy = [](Weapon* w) { g_destroyed.push_back(w); };
        Seam_Weapons().weaponClassOf = [](const Weapon* w) -> const WeaponClass* {
            return w ? reinterpret_cast<const FakeWeapon*>(w)->cls : nullptr;
        };
        Craft_Services().chunkSpawn = [](const Vector&, const Vector&) { ++g_chunks; };
        Craft_Services().effectsOn = [] { return true; };
        PowerUp_Services().weaponKind = [](const WeaponClass* cls) { return cls == FakeClass(9) ? 72 : 71; };
        PowerUp_Services().weaponPriority = [](const WeaponClass* cls) {
            return static_cast<int32_t>(reinterpret_cast<uintptr_t>(cls) / 0x1000);
        };
        PowerUp_Services().rebuildWeaponGroups = [](GameObject*) { ++g_groupRebuilds; };
        Seam_Net().isNetworkGame = [] { return g_networkGame; };
        Seam_Net().sendMessage = [](uint16_t to, const uint8_t* data, int size) {
            std::vector<uint8_t> bytes(data, data + size);
            bytes.insert(bytes.begin(), static_cast<uint8_t>(to));
            g_sent.push_back(bytes);
            return 0;
        };
        Seam_Net().findObject = [](uint32_t id) -> NetObject* {
            auto it = g_netIds.find(id);
            return it == g_netIds.end() ? nullptr : it->second;
        };
    }
    void TearDown() override {
        for (GameObject* object : GameObject_List())
            if (object->hardpoints)
                for (Weapon*& w : object->hardpoints->weapons) {
                    delete reinterpret_cast<FakeWeapon*>(w);
                    w = nullptr;
                }
        Fun3dFixture::TearDown();
        Terrain_FreeAll();
        Terrain_ClearEntityList();
        Terrain_SetFileName("");
        scratch_.Close();
    }

    template <class Cls>
    Cls& NewKindClass(const char* label, const char* pickup = "") {
        auto* cls = new Cls(label, Signature("PWUP"), kCategoryPowerUp, pickup);
        cls->health = 200;
        // A 2 x 1 x 2 box whose bottom face lies 0.5 below the origin.
        cls->boxMin = Vector{-1.0f, -0.5f, -1.0f};
        cls->boxMax = Vector{1.0f, 0.5f, 1.0f};
        cls->sphereRadius = 1.5f;
        classes_.push_back(cls);
        return *cls;
    }
    template <class Kind>
    Kind* NewPowerUp(GameObjectClass& cls, float height, uint32_t flags = 0) {
        Entity* root = NewRoot(0);
        root->type = kTypePowerUp;
        // What the power-up row makes with the entity; freeing it destroys the power-up.
        root->classData = PowerUpVehicle_New();
        root->local.posit = DVector{640.0, kGround + height, 640.0};
        auto* p = GameObject_New<Kind>(root, &cls);
        p->vehicle->flags = flags;
        return p;
    }
    // A craft-typed plain object with the given health and ammunition, and hardpoints when asked.
    GameObject* NewReceiver(float health, float maxHealth, int32_t ammo, int32_t maxAmmo, bool withHardpoints) {
        GameObjectClass& cls = NewClass(static_cast<int32_t>(maxHealth), maxAmmo);
        Entity* root = NewRoot(1);
        root->type = kTypeCraft;
        GameObject* object = Build(cls, root);
        object->curHealth = health;
        object->curAmmo = ammo;
        if (withHardpoints) object->hardpoints = new HardpointList(object);
        return object;
    }
    static float Height(const PowerUp* p) { return static_cast<float>(p->entity->local.posit.y) - kGround; }

    ScratchDataRoot scratch_;
};

TEST_F(PowerUpTest, ARestingPowerUpSettlesOneUnitAboveFlatGround) {
    auto& cls = NewKindClass<PowerUpClass>("powerup");
    for (float start : {3.0f, 1.2f, 0.4f}) {
        PowerUp* p = NewPowerUp<PowerUp>(cls, start);
        for (int i = 0; i < 300; ++i) p->Update(kDt);
        EXPECT_NEAR(Height(p), 1.0f, 0.01f) << "from " << start;
        EXPECT_NEAR(p->euler.velocity.y, 0.0f, 0.01f);
        EXPECT_NEAR(p->entity->local.up.y, 1.0f, 1e-3f) << "it stands upright";
        EXPECT_EQ(p->vehicle->flags & kPowerUpInFlight, 0u);
    }
}

TEST_F(PowerUpTest, ATiltedPowerUpStandsUpAndTheTurnControlTurnsIt) {
    auto& cls = NewKindClass<PowerUpClass>("powerup");
    const float tilts[][2] = {{0.5f, 0.0f}, {-0.5f, 0.0f}, {0.0f, 0.6f}, {0.3f, -0.4f}};
    for (const auto& tilt : tilts) {
        PowerUp* p = NewPowerUp<PowerUp>(cls, 1.0f);
        const DVector at = p->entity->local.posit;
        p->entity->local = Matrix_FromEuler(tilt[0], 0.0f, tilt[1], at.x, at.y, at.z);
        ASSERT_LT(p->entity->local.up.y, 0.96f);
        for (int i = 0; i < 300; ++i) p->Update(kDt);
        EXPECT_NEAR(p->entity->local.up.y, 1.0f, 1e-3f) << tilt[0] << " " << tilt[1];
    }
    PowerUp* p = NewPowerUp<PowerUp>(cls, 1.0f);
    p->vehicle->controls[0] = 0.5f;
    for (int i = 0; i < 60; ++i) p->Update(kDt);
    // A yaw push of 20 c0 against a damping of 10: it settles at a spin of 1 radian per second.
    EXPECT_NEAR(std::fabs(p->euler.angularVelocity.y), 1.0f, 0.01f);
    EXPECT_LT(std::fabs(p->entity->local.front.z), 0.999f) << "it turned";
}

TEST_F(PowerUpTest, AProbeThatMeetsTheGroundShortensTheStepAndLandsIt) {
    auto& cls = NewKindClass<PowerUpClass>("powerup");
    // The bottom probe is 0.3 above the ground, falling at 10: it meets the ground after 0.03 s.
    PowerUp* p = NewPowerUp<PowerUp>(cls, 0.8f, kPowerUpInFlight);
    p->SetVelocity(Vector{0.0f, -10.0f, 0.0f});
    p->Update(0.1f);
    EXPECT_EQ(p->vehicle->flags & kPowerUpInFlight, 0u) << "landed";
    EXPECT_NEAR(Height(p), 0.8f - 0.3f, 0.02f) << "moved only up to the hit";
    for (int i = 0; i < 300; ++i) p->Update(kDt);
    EXPECT_NEAR(Height(p), 1.0f, 0.01f) << "rests from then on";
}

TEST_F(PowerUpTest, ALaunchedPowerUpRisesThenDescendsGuidedWithItsFlame) {
    auto& cls = NewKindClass<PowerUpClass>("powerup");
    PowerUp* p = NewPowerUp<PowerUp>(cls, 200.0f, kPowerUpInFlight | kPowerUpRising);
    p->SetVelocity(Vector{0.0f, 12.0f, 0.0f});
    float top = Height(p);
    int steps = 0;
    while (p->euler.velocity.y >= 0.0f && steps < 200) {
        EXPECT_EQ(p->vehicle->flags & (kPowerUpRising | kPowerUpGuided), kPowerUpRising);
        EXPECT_EQ(g_flames, 0);
        p->Update(kDt);
        EXPECT_GT(Height(p), top) << "still rising";
        top = Height(p);
        ++steps;
    }
    ASSERT_LT(p->euler.velocity.y, 0.0f);
    p->Update(kDt);
    EXPECT_EQ(p->vehicle->flags & (kPowerUpRising | kPowerUpGuided | kPowerUpInFlight), kPowerUpGuided | kPowerUpInFlight);
    EXPECT_EQ(g_flames, 1) << "the downward flame shows while guided";
    p->Update(kDt);
    EXPECT_LT(Height(p), top);
    EXPECT_EQ(g_flames, 2);
}

TEST_F(PowerUpTest, GuidedDescentWithTheOnFlagSteersTowardThirtyTimesItsFront) {
    auto& cls = NewKindClass<PowerUpClass>("powerup");
    struct Case {
        float yaw;            // of the matrix
        Vector velocity;      // at the start
        Vector wantedChange;  // of the horizontal velocity over 0.1 s
    };
    const Case cases[] = {
        {0.0f, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.5f}},            // far from wanted: 5 per s^2
        {1.5707964f, {0.0f, 0.0f, 0.0f}, {0.5f, 0.0f, 0.0f}},      // front along +x
        {0.0f, {0.0f, -3.0f, 30.0f}, {0.0f, 0.0f, 0.0f}},          // already at 30 forward
        {0.0f, {0.0f, 0.0f, 29.9f}, {0.0f, 0.0f, 0.1f}},           // close: the difference itself
    };
    for (const Case& c : cases) {
        PowerUp* p = NewPowerUp<PowerUp>(cls, 300.0f, kPowerUpInFlight | kPowerUpGuided);
        p->vehicle->on = 1;
        const DVector at = p->entity->local.posit;
        p->entity->local = Matrix_FromEuler(0.0f, c.yaw, 0.0f, at.x, at.y, at.z);
        p->SetVelocity(c.velocity);
        p->Update(0.1f);
        const Vector v = p->euler.velocity;
        EXPECT_NEAR(v.x - c.velocity.x, c.wantedChange.x, 1e-3f) << "yaw " << c.yaw;
        EXPECT_NEAR(v.z - c.velocity.z, c.wantedChange.z, 1e-3f) << "yaw " << c.yaw;
        // Vertically only gravity and the fall drag act.
        const float drag = c.velocity.y < 0.0f ? 0.1f * c.velocity.y * c.velocity.y : 0.0f;
        EXPECT_NEAR(v.y - c.velocity.y, (-9.8f + drag) * 0.1f, 1e-3f);
    }
}

TEST_F(PowerUpTest, PickUpsApplyOrRefuse) {
    auto& ammo = NewKindClass<AmmoPackClass>("ammopack", "weapon.wav");
    ammo.amount = 30;
    auto& repair = NewKindClass<RepairKitClass>("repairkit", "repair.wav");
    repair.amount = 40;
    struct Case {
        const char* what;
        bool repairKit;
        float health, maxHealth;
        int32_t ammo, maxAmmo;
        bool hardpoints;
        bool applies;
        float healthAfter;
        int32_t ammoAfter;
    };
    const Case cases[] = {
        {"ammo below its maximum", false, 50, 100, 10, 100, true, true, 50, 40},
        {"ammo filled up to its maximum", false, 50, 100, 90, 100, true, true, 50, 100},
        {"ammo at its maximum", false, 50, 100, 100, 100, true, false, 50, 100},
        {"no hardpoints", false, 50, 100, 10, 100, false, false, 50, 10},
        {"health below its maximum", true, 50, 100, 10, 100, true, true, 90, 10},
        {"health filled up to its maximum", true, 80, 100, 10, 100, true, true, 100, 10},
        {"health at its maximum", true, 100, 100, 10, 100, true, false, 100, 10},
    };
    for (const Case& c : cases) {
        g_sounds.clear();
        GameObject* receiver = NewReceiver(c.health, c.maxHealth, c.ammo, c.maxAmmo, c.hardpoints);
        PowerUp* p = c.repairKit ? static_cast<PowerUp*>(NewPowerUp<RepairKit>(repair, 1.0f))
                                 : static_cast<PowerUp*>(NewPowerUp<AmmoPack>(ammo, 1.0f));
        EXPECT_EQ(p->ApplyTo(receiver), c.applies) << c.what;
        EXPECT_EQ(receiver->curHealth, c.healthAfter) << c.what;
        EXPECT_EQ(receiver->curAmmo, c.ammoAfter) << c.what;
        EXPECT_EQ((p->entity->flags & kEntityDead) != 0, c.applies) << c.what;
        const std::vector<std::string> expected =
            c.applies ? std::vector<std::string>{c.repairKit ? "repair.wav" : "weapon.wav"} : std::vector<std::string>{};
        EXPECT_EQ(g_sounds, expected) << c.what << ": a refusal has no sound";
    }
}

TEST_F(PowerUpTest, WeaponSlotChoice) {
    struct Case {
        const char* what;
        PowerUpSlot slots[kHardpointCount];
        int32_t kind;
        int expected;
    };
    const PowerUpSlot none{};
    const PowerUpSlot cannonEmpty{true, 71, true, false, 0};
    const PowerUpSlot cannon3{true, 71, false, false, 3};
    const PowerUpSlot cannon1{true, 71, false, false, 1};
    const PowerUpSlot cannonSame{true, 71, false, true, 0};
    const PowerUpSlot rocketEmpty{true, 72, true, false, 0};
    const Case cases[] = {
        {"an empty slot first", {cannon1, cannonSame, cannonEmpty, none, none}, 71, 2},
        {"the lowest priority", {cannon3, cannon1, cannonSame, none, none}, 71, 1},
        {"the same class last", {cannonSame, cannon3, none, none, none}, 71, 1},
        {"only the same class left", {none, cannonSame, none, none, none}, 71, 1},
        {"ties to the lower slot", {none, cannon3, cannon3, cannonEmpty, cannonEmpty}, 71, 3},
        {"other kinds do not fit", {rocketEmpty, cannon3, none, none, none}, 71, 1},
        {"kind 70 fits any", {rocketEmpty, cannon3, none, none, none}, 70, 0},
        {"no fitting slot refuses", {rocketEmpty, none, none, none, none}, 73, -1},
        {"no hardpoints at all", {none, none, none, none, none}, 70, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(PowerUp_ChooseWeaponSlot(c.slots, c.kind), c.expected) << c.what;
}

TEST_F(PowerUpTest, AWeaponPowerUpMountsItsWeaponAndRebuildsTheGroups) {
    auto& cls = NewKindClass<WeaponPowerupClass>("wpnpower", "weapon.wav");
    cls.weaponClass = FakeClass(2);
    GameObject* receiver = NewReceiver(100, 100, 10, 10, true);
    HardpointList* list = receiver->hardpoints;
    Entity* rocketMount = NewPart(receiver->entity, "hp1", 72);
    Entity* cannonMount = NewPart(receiver->entity, "hp2", 71);
    Entity* cannonMount2 = NewPart(receiver->entity, "hp3", 71);
    Weapon* held = Seam_Weapons().weaponClassBuild(FakeClass(5), receiver->entity, cannonMount);
    Weapon* held2 = Seam_Weapons().weaponClassBuild(FakeClass(4), receiver->entity, cannonMount2);
    list->SetWeapon(0, rocketMount, nullptr);
    list->SetWeapon(1, cannonMount, held);
    list->SetWeapon(2, cannonMount2, held2);
    list->enabled = 0x2;
    receiver->weaponLinkMask = 0;

    WeaponPowerup* p = NewPowerUp<WeaponPowerup>(cls, 1.0f);
    ASSERT_TRUE(p->ApplyTo(receiver));
    ASSERT_EQ(g_destroyed.size(), 1u);
    EXPECT_EQ(g_destroyed[0], held2) << "the lower priority weapon goes";
    delete reinterpret_cast<FakeWeapon*>(held2);
    ASSERT_NE(list->weapons[2], nullptr);
    EXPECT_EQ(Seam_Weapons().weaponClassOf(list->weapons[2]), FakeClass(2));
    EXPECT_EQ(list->enabled, 0x6u);
    EXPECT_EQ(receiver->weaponLinkMask, 0x4u);
    EXPECT_EQ(g_groupRebuilds, 1);
    EXPECT_TRUE(p->entity->flags & kEntityDead);

    // A weapon class whose kind fits no hardpoint is refused.
    auto& rocketCls = NewKindClass<WeaponPowerupClass>("wpnpower");
    rocketCls.weaponClass = FakeClass(9);
    list->SetWeapon(0, nullptr, nullptr);
    WeaponPowerup* refused = NewPowerUp<WeaponPowerup>(rocketCls, 1.0f);
    EXPECT_FALSE(refused->ApplyTo(receiver));
    EXPECT_FALSE(refused->entity->flags & kEntityDead);
    EXPECT_EQ(g_groupRebuilds, 1);
}

TEST_F(PowerUpTest, ContactRules) {
    auto& cls = NewKindClass<RepairKitClass>("repairkit", "repair.wav");
    GameObject* attacker = NewReceiver(100, 100, 0, 0, false);  // at full health: no pick-up
    CollisionBody contact{};
    CollisionBody_Init(contact);
    contact.hit = 1;
    contact.normal = Vector{0.0f, 1.0f, 0.0f};

    // Launched: the object that launched it (its last attacker) is passed through.
    PowerUp* launched = NewPowerUp<RepairKit>(cls, 5.0f, kPowerUpInFlight | kPowerUpRising);
    launched->SetLastAttacker(attacker);
    launched->SetVelocity(Vector{0.0f, -4.0f, 0.0f});
    EXPECT_FALSE(launched->OnContact(attacker->entity, &contact, nullptr));
    EXPECT_EQ(launched->euler.velocity.y, -4.0f) << "no bounce";

    // Flying power-ups pass through each other.
    PowerUp* other = NewPowerUp<RepairKit>(cls, 5.0f, kPowerUpInFlight);
    PowerUp* flying = NewPowerUp<RepairKit>(cls, 5.0f, kPowerUpInFlight);
    EXPECT_FALSE(flying->OnContact(other->entity, &contact, nullptr));

    // Otherwise it bounces (restitution 0.5, spin times 0.2) and keeps the contact.
    PowerUp* bouncing = NewPowerUp<RepairKit>(cls, 5.0f, kPowerUpInFlight);
    bouncing->SetVelocity(Vector{3.0f, -4.0f, 0.0f});
    bouncing->euler.angularVelocity = Vector{1.0f, 2.0f, -5.0f};
    EXPECT_TRUE(bouncing->OnContact(attacker->entity, &contact, nullptr));
    EXPECT_FLOAT_EQ(bouncing->euler.velocity.x, 3.0f);
    EXPECT_FLOAT_EQ(bouncing->euler.velocity.y, 2.0f);
    EXPECT_FLOAT_EQ(bouncing->euler.angularVelocity.z, -1.0f);
    EXPECT_EQ(bouncing->vehicle->contact.hit, 1);
    EXPECT_FALSE(bouncing->entity->flags & kEntityDead) << "refused: full health";

    // A damaged craft picks it up; the next update tears it down.
    GameObject* damaged = NewReceiver(10, 100, 0, 0, false);
    PowerUp* kit = NewPowerUp<RepairKit>(cls, 1.0f);
    const uint32_t handle = kit->GetObjHandle();
    EXPECT_TRUE(kit->OnContact(damaged->entity, &contact, nullptr));
    EXPECT_EQ(damaged->curHealth, 100.0f);
    EXPECT_TRUE(kit->entity->flags & kEntityDead);
    EXPECT_EQ(GameObject::FromHandleRaw(handle), kit);
    kit->Update(kDt);
    EXPECT_EQ(GameObject::FromHandleRaw(handle), nullptr) << "torn down";
    EXPECT_TRUE(g_sent.empty()) << "nothing is sent outside a network game";
}

TEST_F(PowerUpTest, NetworkPickUpSendsGrantForWeaponsOnlyAndGrantsAreApplied) {
    g_networkGame = true;
    auto& weaponCls = NewKindClass<WeaponPowerupClass>("wpnpower", "weapon.wav");
    weaponCls.weaponClass = FakeClass(2);
    auto& ammoCls = NewKindClass<AmmoPackClass>("ammopack", "weapon.wav");
    CollisionBody contact{};
    CollisionBody_Init(contact);

    GameObject* receiver = NewReceiver(100, 100, 5, 50, true);
    receiver->netId = 0x00020011;
    receiver->hardpoints->SetWeapon(0, NewPart(receiver->entity, "hp1", 71), nullptr);
    WeaponPowerup* weapon = NewPowerUp<WeaponPowerup>(weaponCls, 1.0f);
    weapon->netId = 0x00010007;
    EXPECT_FALSE(weapon->OnContact(receiver->entity, &contact, nullptr));
    ASSERT_EQ(g_sent.size(), 1u);
    const std::vector<uint8_t> expected{0, 'R', 'G', 0x07, 0x00, 0x01, 0x00, 0x11, 0x00, 0x02, 0x00};
    EXPECT_EQ(g_sent[0], expected) << "to every player: the two network ids";

    AmmoPack* ammo = NewPowerUp<AmmoPack>(ammoCls, 1.0f);
    EXPECT_FALSE(ammo->OnContact(receiver->entity, &contact, nullptr));
    EXPECT_EQ(receiver->curAmmo, 50);
    EXPECT_EQ(g_sent.size(), 1u) << "an ammunition pack sends nothing";

    // Receiving: both found by network id, the first a power-up.
    GameObject* other = NewReceiver(100, 100, 5, 50, true);
    other->hardpoints->SetWeapon(0, NewPart(other->entity, "hp1", 71), nullptr);
    WeaponPowerup* remote = NewPowerUp<WeaponPowerup>(weaponCls, 1.0f);
    g_netIds[0x00030001] = remote;
    g_netIds[0x00030002] = other;
    const uint8_t body[] = {0x01, 0x00, 0x03, 0x00, 0x02, 0x00, 0x03, 0x00};
    EXPECT_FALSE(PowerUp_ReceiveGrant(body, 7)) << "short";
    EXPECT_FALSE(remote->entity->flags & kEntityDead);
    const uint8_t swapped[] = {0x02, 0x00, 0x03, 0x00, 0x01, 0x00, 0x03, 0x00};
    EXPECT_FALSE(PowerUp_ReceiveGrant(swapped, 8)) << "the first is no power-up";
    const uint8_t unknown[] = {0x01, 0x00, 0x03, 0x00, 0x09, 0x00, 0x03, 0x00};
    EXPECT_FALSE(PowerUp_ReceiveGrant(unknown, 8)) << "the receiver is unknown";
    EXPECT_TRUE(PowerUp_ReceiveGrant(body, 8));
    EXPECT_TRUE(remote->entity->flags & kEntityDead);
    EXPECT_NE(other->hardpoints->weapons[0], nullptr);
}

TEST_F(PowerUpTest, TheStateRecordRoundTrips) {
    auto& cls = NewKindClass<PowerUpClass>("powerup");
    struct Case {
        float ratio;
        float health;
        uint8_t healthByte;
        bool dying;
    };
    const Case cases[] = {
        {1.5f, 300.0f, 255, false}, {0.5f, 100.0f, 128, false}, {0.001f, 0.2f, 1, false},
        {0.0f, 0.0f, 0, false},     {-0.3f, -60.0f, 0, true},
    };
    for (const Case& c : cases) {
        PowerUp* from = NewPowerUp<PowerUp>(cls, 1.0f);
        from->SetVelocity(Vector{1.5f, -2.25f, 100.0f});
        from->euler.angularVelocity = Vector{0.5f, -0.125f, 3.0f};
        const float controls[4] = {0.5f, 2.0f, -0.5f, -3.0f};
        std::memcpy(from->vehicle->controls, controls, sizeof controls);
        from->vehicle->on = 1;
        from->vehicle->flags = kPowerUpGuided | kPowerUpInFlight | kPowerUpRising | kPowerUpFlag20 | kPowerUpFlag8000 | 0x2;
        from->healthRatio = c.ratio;
        from->curHealth = c.health;
        uint8_t buffer[40] = {0xEE, 0xEE};
        int32_t length = 2;
        from->PackNetState(buffer, length);
        ASSERT_EQ(length, 2 + kPowerUpStateSize);
        const uint8_t* r = buffer + 2;
        EXPECT_EQ(r[0] | r[1] << 8, 384) << "1.5 in 1/256";
        EXPECT_EQ(static_cast<int8_t>(r[12]), 63);
        EXPECT_EQ(static_cast<int8_t>(r[13]), 127);
        EXPECT_EQ(static_cast<int8_t>(r[14]), -63);
        EXPECT_EQ(static_cast<int8_t>(r[15]), -127);
        EXPECT_EQ(r[16], 0x3F | (c.dying ? 0x80 : 0));
        EXPECT_EQ(r[17], c.healthByte) << "ratio " << c.ratio;

        PowerUp* to = NewPowerUp<PowerUp>(cls, 1.0f);
        to->UnpackNetState(r, kPowerUpStateSize - 1);
        EXPECT_EQ(to->vehicle->flags, 0u) << "a short record is not read";
        to->UnpackNetState(r, kPowerUpStateSize);
        EXPECT_FLOAT_EQ(to->euler.velocity.x, 1.5f);
        EXPECT_FLOAT_EQ(to->euler.velocity.y, -2.25f);
        EXPECT_FLOAT_EQ(to->euler.velocity.z, 100.0f);
        EXPECT_FLOAT_EQ(to->euler.angularVelocity.y, -0.125f);
        EXPECT_NEAR(to->euler.speed, std::sqrt(1.5f * 1.5f + 2.25f * 2.25f + 10000.0f), 1e-3f);
        EXPECT_NEAR(to->vehicle->controls[0], 63.0f / 127.0f, 1e-6f);
        EXPECT_EQ(to->vehicle->controls[3], -1.0f);
        EXPECT_EQ(to->vehicle->on, 1);
        EXPECT_EQ(to->vehicle->flags,
                  kPowerUpGuided | kPowerUpInFlight | kPowerUpRising | kPowerUpFlag20 | kPowerUpFlag8000)
            << "only the carried flags";
        EXPECT_FLOAT_EQ(to->healthRatio, c.healthByte / 255.0f);
        EXPECT_EQ(to->curHealth, std::trunc(c.healthByte / 255.0f * 200.0f));
        EXPECT_EQ((to->entity->flags & kEntityDestroyRequested) != 0, c.dying);
    }
}

TEST_F(PowerUpTest, NetworkPriority) {
    auto& cls = NewKindClass<PowerUpClass>("powerup");
    struct Case {
        const char* what;
        uint32_t flags;
        float ratio, lastSent;
        uint32_t entityFlags;
        float expected;
    };
    // Last send at 4, now 10.
    const Case cases[] = {
        {"at rest, unchanged", 0, 0.5f, 0.5f, 0, -1.0f},
        {"at rest, changed", 0, 0.5f, 0.7f, 0, 7.0f},
        {"in flight, unchanged", kPowerUpInFlight, 0.5f, 0.5f, 0, 6.0f},
        {"in flight, changed", kPowerUpInFlight, 0.5f, 0.7f, 0, 7.0f},
        {"dying at rest", 0, -0.1f, -0.1f, 0, 9.0f},
        {"destroyed in flight", kPowerUpInFlight, 0.5f, 0.5f, kEntityDestroyRequested, 16.0f},
    };
    for (const Case& c : cases) {
        PowerUp* p = NewPowerUp<PowerUp>(cls, 1.0f, c.flags);
        p->healthRatio = c.ratio;
        p->lastSentHealthRatio = c.lastSent;
        p->lastSendTime = 4.0f;
        p->entity->flags |= c.entityFlags;
        EXPECT_FLOAT_EQ(p->GetNetPriority(10.0f, 0.0f), c.expected) << c.what;
    }
    PowerUp* p = NewPowerUp<PowerUp>(cls, 1.0f, kPowerUpInFlight);
    p->lastSendTime = 20.0f;
    p->lastSentHealthRatio = p->healthRatio;
    EXPECT_FLOAT_EQ(p->GetNetPriority(10.0f, 0.0f), 0.0f) << "a later send time is lowered";
}

TEST_F(PowerUpTest, DamageThrowsChunksOnlyForHitsAbove16AndDestroysBelowZero) {
    auto& cls = NewKindClass<PowerUpClass>("powerup");
    cls.health = 2000;
    struct Case {
        float amount;
        int chunks;
    };
    const Case cases[] = {{10.0f, 0}, {16.0f, 0}, {47.0f, 0}, {48.0f, 1}, {80.0f, 2}, {1000.0f, 10}};
    for (const Case& c : cases) {
        g_chunks = 0;
        PowerUp* p = NewPowerUp<PowerUp>(cls, 1.0f);
        Entity* shot = NewRoot(2);
        shot->type = kTypeOrdnance;
        DamageInfo damage;
        damage.source = shot;
        damage.carrier = shot;
        damage.amount = c.amount;
        EXPECT_FALSE(p->TakeDamage(&damage, nullptr));
        EXPECT_EQ(g_chunks, c.chunks) << c.amount;
        EXPECT_EQ(p->curHealth, 2000.0f - std::trunc(c.amount));
    }
    PowerUp* p = NewPowerUp<PowerUp>(cls, 1.0f);
    DamageInfo big;
    big.amount = 2500.0f;
    EXPECT_TRUE(p->TakeDamage(&big, nullptr));
    EXPECT_TRUE(p->entity->flags & kEntityDestroyRequested);
    DamageInfo none;
    EXPECT_FALSE(p->TakeDamage(&none, nullptr));
}

TEST_F(PowerUpTest, ThePrototypesAreThePowerUpKindsWithTheirPickUpSounds) {
    struct Case {
        const char* label;
        const char* sound;
    };
    const Case cases[] = {{"powerup", ""}, {"ammopack", "weapon.wav"}, {"repairkit", "repair.wav"},
                          {"wpnpower", "weapon.wav"}, {"camerapod", ""}};
    for (const Case& c : cases) {
        auto* proto = dynamic_cast<PowerUpClass*>(GameObjectClass_FindPrototype(c.label));
        ASSERT_NE(proto, nullptr) << c.label;
        EXPECT_STREQ(proto->pickupSound, c.sound) << c.label;
        EXPECT_STREQ(proto->refuseSound, "") << c.label;
        EXPECT_EQ(proto->category, kCategoryPowerUp);
    }
    EXPECT_NE(dynamic_cast<AmmoPackClass*>(GameObjectClass_FindPrototype("ammopack")), nullptr);
    EXPECT_NE(dynamic_cast<CameraPodClass*>(GameObjectClass_FindPrototype("camerapod")), nullptr);
}

TEST_F(PowerUpTest, ACameraPodCarriesAnEyeAndASensorAndTurnsSlowlyAtRest) {
    auto& cls = NewKindClass<CameraPodClass>("camerapod");
    cls.turn = 3.0f;
    cls.sensorRange = 150.0f;
    cls.sensorPeriod = 0.5f;
    CameraPod* pod = NewPowerUp<CameraPod>(cls, 1.0f);
    ASSERT_NE(pod->sensor, nullptr);
    EXPECT_EQ(pod->sensor->range, 150.0f);
    EXPECT_EQ(pod->sensor->period, 0.5f);
    Entity* eye = pod->entity->child;
    ASSERT_NE(eye, nullptr);
    EXPECT_EQ(eye->type, kTypeCockpitPart);
    EXPECT_EQ(std::string(eye->name, strnlen(eye->name, 8)), "eyepoint");
    const float r = pod->record ? pod->record->radius : pod->entity->boundsRadius;
    const Vector c = pod->record ? pod->record->localCentre : pod->entity->boundsCentre;
    EXPECT_FLOAT_EQ(static_cast<float>(eye->local.posit.y), c.y + 0.8f * r);
    pod->Update(kDt);
    EXPECT_FLOAT_EQ(pod->vehicle->controls[0], 0.3f);
    EXPECT_FALSE(pod->OnContact(nullptr, nullptr, nullptr) && pod->ApplyTo(nullptr)) << "a pod gives nothing";

    // No sensor without a range; an existing eye part is kept.
    cls.sensorRange = 0.0f;
    Entity* root = NewRoot(0);
    Entity* own = NewPart(root, "myeye", kTypeCockpitPart);
    auto* plain = GameObject_New<CameraPod>(root, &cls);
    EXPECT_EQ(plain->sensor, nullptr);
    EXPECT_EQ(root->child, own);
    EXPECT_EQ(own->next, nullptr);
}

TEST_F(PowerUpTest, SavedGamesKeepTheVehicleFlagsAndMissionFilesDoNot) {
    auto& cls = NewKindClass<PowerUpClass>("powerup");
    PowerUp* p = NewPowerUp<PowerUp>(cls, 1.0f, kPowerUpInFlight | kPowerUpGuided);
    for (bool mission : {false, true}) {
        SCOPED_TRACE(mission);
        SaveGame_SetMissionFile(mission);
        const std::string saved = CaptureFields(false, [&](FILE* f) { return p->Save(f); });
        const size_t at = saved.find("vhclFlags");
        EXPECT_EQ(at != std::string::npos, !mission);
        if (!mission) {
            EXPECT_LT(at, 8u) << "before the object's fields";
        }
        const std::string flags = CaptureFields(false, [&](FILE* f) {
            const uint32_t value = kPowerUpRising;
            return Field_WriteHex(f, &value, 4, "vhclFlags");
        });
        p->vehicle->flags = kPowerUpGuided;
        {
            FieldReadScope scope(flags, false);
            p->Load();  // the object's own fields are missing: only the power-up's part is read
        }
        EXPECT_EQ(p->vehicle->flags, mission ? kPowerUpGuided : kPowerUpRising);
    }
    SaveGame_SetMissionFile(false);
}

TEST_F(PowerUpTest, AnEntityActivatedWithoutAnObjectBecomesAPowerUpOnItsTeam) {
    Entity* root = NewRoot(3);
    root->type = kTypePowerUp;
    root->classData = PowerUpVehicle_New();
    Entity_SetName(root, "nosuch");
    PowerUp_ActivateEntity(root);
    auto* p = dynamic_cast<PowerUp*>(static_cast<GameObject*>(root->owner));
    ASSERT_NE(p, nullptr) << "an unknown name takes the power-up prototype";
    EXPECT_EQ(p->objClass, GameObjectClass_FindPrototype("powerup"));
    EXPECT_EQ(p->team, 3);
    EXPECT_EQ(p->vehicle, root->classData) << "the row's vehicle record";
    PowerUp_ActivateEntity(root);
    EXPECT_EQ(root->owner, p) << "built once";
}

}  // namespace
