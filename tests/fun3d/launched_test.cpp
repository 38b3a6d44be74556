// Devices that weapons send out as live objects: the radar launcher's pod and the spray bomb's
// device.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "class_fixture.h"
#include "collision/collision.h"
#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "deployable_definitions.h"
#include "fun3d/framepasses.h"
#include "device_definitions_b.h"
#include "guided_definitions.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"
#include "weapons/radarlauncher.h"
#include "weapons/spraybomb.h"
#include "weapons/weapon.h"
#include "weapons/weaponsinstall.h"

namespace {

constexpr float kGround = 3.0f;

struct Calls {
    std::vector<std::string> sounds;
    std::vector<std::string> objectSounds;
    std::vector<NetObject*> registered;
    std::vector<GameObject*> joined;
    bool network = false;
};
Calls g_calls;

class LaunchedTest : public ClassFixture {
protected:
    void SetUp() override {
        ClassFixture::SetUp();
        g_calls = Calls{};
        Terrain_SetBaseHeight(kGround);
        Terrain_BuildBlockTables();
        Collision_Init();
        GameObject_InstallClassFunctions();
        Weapons_InstallSeam();
        Seam_Audio().soundPlay = [](const char* name, Entity*, uint32_t flags, int) -> void* {
            g_calls.sounds.push_back(std::string(name) + "/" + std::to_string(flags));
            return &g_calls;
        };
        Seam_Audio().soundStopAttached = [](Entity*) { return false; };
        Seam_Audio().soundPlayOnObject = [](const char* name, Entity*) -> void* {
            g_calls.objectSounds.push_back(name);
            return &g_calls;
        };
        Seam_Net().isNetworkGame = [] { return g_calls.network; };
        Seam_Net().registerObject = [](NetObject* object) { g_calls.registered.push_back(object); };
        Seam_Ai().missionAddObject = [](GameObject* object) { g_calls.joined.push_back(object); };
    }
    void TearDown() override {
        Ordnance_DeleteAll();
        ClassFixture::TearDown();
        Weapons_InstallSeam();
        ExplosionClass_FreeAll();
        Weapon_DeleteAll();
        OrdnanceClass_FreeAll();
        WeaponClass_FreeAll();
        Classfnc_ResetOwners();
        Collision_Shutdown();
        Terrain_SetBaseHeight(0);
        Terrain_BuildBlockTables();
    }
    void Install(const std::vector<std::pair<std::string, std::string>>& files) {
        std::vector<content::ArchiveRecord> more;
        for (const auto& [name, text] : files) more.push_back({name, text, true, 0});
        InstallWorld(more);
    }
    template <class Kind>
    Kind* BuildAt(const char* name, const Vector& at, int32_t team) {
        Matrix m = kIdentityMatrix;
        m.posit = DVector{at.x, at.y, at.z};
        return dynamic_cast<Kind*>(GameObjectClass::Build(GameObjectClass::Find(name), m, team, false, 0, nullptr));
    }
};

// ---- the radar launcher -----------------------------------------------------------------------

constexpr int kPodCost = 7;
constexpr float kLockRange = 120.0f;

class RadarTest : public LaunchedTest {
protected:
    // A launcher locking within kLockRange and a 0.5 rad cone over two stages of half a second.
    void Arm() {
        content::MineValues pod;
        pod.geometry = "gvscrap";
        pod.ammo = kPodCost;
        pod.lifetime = 50.0f;
        std::string podText, text, error;
        ASSERT_TRUE(content::MineDefinitionText(pod, &podText, &error)) << error;
        content::WeaponValues w;
        w.label = "radarlauncher";
        w.fireSound = "radar.wav";
        content::LockValues lock;
        lock.lockRange = kLockRange;
        lock.lockTime = 1.0f;
        lock.lockAngle = 0.5f;
        lock.lockFrameCount = 2;
        ASSERT_TRUE(content::RadarLauncherText(w, lock, "tpod", &text, &error)) << error;
        Install({{"tpod.odf", podText}, {"trdr.odf", text}});
        owner = BuildAt<GameObject>("avtank", {0, 10, 0}, 1);
        ASSERT_NE(owner, nullptr);
        owner->SetTeam(1);  // an empty craft has left its team
        Entity* hardpoint = Entity_New(owner->entity);
        Entity_SetName(hardpoint, "hp_test");
        hardpoint->local.posit = DVector{0.0, 1.0, 2.0};
        auto* cls = dynamic_cast<RadarLauncherClass*>(WeaponClass::Find("trdr"));
        ASSERT_NE(cls, nullptr);
        gun = dynamic_cast<RadarLauncher*>(cls->Build(owner->entity, hardpoint));
        ASSERT_NE(gun, nullptr);
        gun->UpdateMount(0.0f);
        ASSERT_EQ(gun->ownerObject, owner);
    }
    GameObject* Enemy(const Vector& at) {
        GameObject* o = BuildAt<GameObject>("avtank", at, 2);
        EXPECT_NE(o, nullptr);
        if (o) o->SetTeam(2);
        return o;
    }
    void Frame(bool held, float dt = 0.3f) {
        if (held) gun->PullTrigger();
        gun->UpdateMount(dt);
        gun->Update(dt);
    }
    GameObject* owner = nullptr;
    RadarLauncher* gun = nullptr;
};

TEST_F(RadarTest, TheKindReadsItsPodAndShotsCostWhatThePodCosts) {
    Arm();
    EXPECT_EQ(gun->Class().podClass, GameObjectClass::Find("tpod"));
    EXPECT_EQ(gun->Class().shotCost, kPodCost);
    EXPECT_FLOAT_EQ(gun->Class().lockRange, kLockRange);
    owner->SetAmmo(kPodCost);
    EXPECT_TRUE(gun->CanFire());
    owner->SetAmmo(kPodCost - 1);
    EXPECT_FALSE(gun->CanFire());
    gun->Class().podClass = nullptr;
    owner->SetAmmo(owner->maxAmmo);
    EXPECT_FALSE(gun->CanFire()) << "nothing to send";
}

TEST_F(RadarTest, ItLocksOnlyTheOwnersTargetAheadWithinRangeAndCone) {
    Arm();
    const Vector muzzle{static_cast<float>(gun->Muzzle().posit.x), static_cast<float>(gun->Muzzle().posit.y),
                        static_cast<float>(gun->Muzzle().posit.z)};
    struct Case {
        const char* what;
        Vector offset;  // from the muzzle, which looks along +z
        bool isOwnersTarget;
        bool locks;
    } cases[] = {
        {"ahead, the owner's target", {0, 0, 60}, true, true},
        {"ahead, not the owner's target", {0, 0, 60}, false, false},
        {"behind", {0, 0, -30}, true, false},
        {"beyond the lock range", {0, 0, kLockRange + 10}, true, false},
        {"outside the cone", {60, 0, 40}, true, false},
        {"inside the cone", {15, 0, 40}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GameObject* t = Enemy({muzzle.x + c.offset.x, muzzle.y + c.offset.y, muzzle.z + c.offset.z});
        ASSERT_NE(t, nullptr);
        owner->target = c.isOwnersTarget ? t->GetObjHandle() : 0;
        EXPECT_EQ(gun->FindTarget(0.1f), c.locks ? t->GetObjHandle() : 0u);
    }
}

TEST_F(RadarTest, TheLockGrowsByTheTargetsRadarSignature) {
    Arm();
    const Matrix m = gun->Muzzle();
    struct Case {
        float signature;
        bool locked;  // two stages of 0.5 s: one 0.3 s frame passes the first only at a signature above 5/3
    } cases[] = {{2.0f, true}, {1.0f, false}, {0.0f, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.signature);
        GameObject* t = Enemy({static_cast<float>(m.posit.x), static_cast<float>(m.posit.y), static_cast<float>(m.posit.z) + 50});
        ASSERT_NE(t, nullptr);
        t->objClass->scales[1] = c.signature;
        owner->target = t->GetObjHandle();
        gun->UserTriggerUp();  // forgets any earlier lock
        Frame(true);  // the candidate is found
        Frame(true);  // and its lock grows
        EXPECT_EQ(gun->locked, c.locked ? t->GetObjHandle() : 0u);
    }
}

TEST_F(RadarTest, LettingGoWithALockSendsAPodAtTheTargetOnTheOwnersTeam) {
    Arm();
    const Matrix m = gun->Muzzle();
    GameObject* t = Enemy({static_cast<float>(m.posit.x), static_cast<float>(m.posit.y), static_cast<float>(m.posit.z) + 50});
    t->objClass->scales[1] = 10.0f;
    owner->target = t->GetObjHandle();
    owner->SetAmmo(kPodCost * 2);
    owner->SetVelocity(Vector{3, 0, 4});
    Frame(true);
    Frame(true);
    ASSERT_EQ(gun->locked, t->GetObjHandle());
    const size_t before = GameObject_List().size();
    Frame(false);
    ASSERT_EQ(GameObject_List().size(), before + 1);
    GameObject* pod = GameObject_List().back();
    EXPECT_EQ(pod->objClass, GameObjectClass::Find("tpod"));
    EXPECT_EQ(pod->team, owner->team);
    EXPECT_EQ(pod->target, t->GetObjHandle()) << "the pod gets the locked target";
    EXPECT_EQ(pod->lastAttacker, owner->GetObjHandle()) << "and the owner as its last attacker";
    EXPECT_EQ(owner->target, pod->GetObjHandle()) << "the owner now targets its pod";
    EXPECT_NEAR(pod->euler.velocity.x, 3.0f + kRadarPodLaunchSpeed * m.front.x, 1e-4);
    EXPECT_NEAR(pod->euler.velocity.z, 4.0f + kRadarPodLaunchSpeed * m.front.z, 1e-4);
    ASSERT_EQ(g_calls.joined.size(), 1u);
    EXPECT_EQ(g_calls.joined.back(), pod) << "joins the mission";
    EXPECT_TRUE(g_calls.registered.empty()) << "not a network game";
    EXPECT_EQ(g_calls.sounds.back(), "radar.wav/2048");
    EXPECT_EQ(owner->curAmmo, kPodCost);
    EXPECT_EQ(gun->locked, 0u) << "the lock is spent";
    EXPECT_LT(gun->shotClock, 0.0f) << "reloading";
}

TEST_F(RadarTest, InANetworkGameOnlyTheOwnersMachineBuildsAndRegistersThePod) {
    Arm();
    g_calls.network = true;
    const Matrix m = gun->Muzzle();
    GameObject* t = Enemy({static_cast<float>(m.posit.x), static_cast<float>(m.posit.y), static_cast<float>(m.posit.z) + 50});
    t->objClass->scales[1] = 10.0f;
    for (bool remote : {false, true}) {
        SCOPED_TRACE(remote);
        owner->ownership = remote ? kNetOwnedRemote : kNetOwnedHere;
        owner->target = t->GetObjHandle();
        owner->SetAmmo(kPodCost);
        gun->shotClock = 0.0f;
        g_calls.registered.clear();
        const size_t before = GameObject_List().size();
        Frame(true);
        Frame(true);
        ASSERT_EQ(gun->locked, t->GetObjHandle());
        Frame(false);
        EXPECT_EQ(GameObject_List().size(), before + (remote ? 0 : 1));
        EXPECT_EQ(g_calls.registered.size(), remote ? 0u : 1u);
        EXPECT_EQ(owner->curAmmo, 0) << "the cost is taken on every machine";
    }
}

TEST_F(RadarTest, TooLittleAmmunitionSendsNothingButSpendsTheLock) {
    Arm();
    const Matrix m = gun->Muzzle();
    GameObject* t = Enemy({static_cast<float>(m.posit.x), static_cast<float>(m.posit.y), static_cast<float>(m.posit.z) + 50});
    t->objClass->scales[1] = 10.0f;
    owner->target = t->GetObjHandle();
    owner->SetAmmo(kPodCost - 1);
    Frame(true);
    Frame(true);
    const size_t before = GameObject_List().size();
    Frame(false);
    EXPECT_EQ(GameObject_List().size(), before);
    EXPECT_EQ(owner->curAmmo, kPodCost - 1);
    EXPECT_TRUE(g_calls.joined.empty());
}

// ---- the spray bomb ---------------------------------------------------------------------------

class SprayTest : public LaunchedTest {
protected:
    static std::string Payload(int cost) {
        content::OrdnanceValues o;
        o.ammoCost = cost;
        o.lifetime = 2.0f;
        o.speed = 30.0f;
        std::string text, error;
        EXPECT_TRUE(content::OrdnanceDefinitionText(o, &text, &error)) << error;
        return text;
    }
    static std::string Bomb(const std::string& payload, int ammo, float reload, float charge = 0.0f) {
        content::OrdnanceValues bomb;
        bomb.speed = 20.0f;
        content::SprayDeviceValues d;
        d.geometry = "gvscrap";
        d.ammo = ammo;
        d.payload = payload;
        d.chargeTime = charge;
        d.reloadTime = reload;
        d.hoverHeight = 1.5f;
        std::string text, error;
        EXPECT_TRUE(content::SprayBombText(bomb, "tbounce.wav", d, &text, &error)) << error;
        return text;
    }
    SprayBombDevice* Device(const char* name) {
        Matrix m = kIdentityMatrix;
        m.posit = DVector{10.0, kGround, 10.0};
        return dynamic_cast<SprayBombDevice*>(
            GameObjectClass::Build(GameObjectClass::Find(name), m, 1, false, 0, nullptr));
    }
    static bool Listed(const GameObject* object) {
        for (const GameObject* o : GameObject_List())
            if (o == object) return true;
        return false;
    }
};

TEST_F(SprayTest, ABounceSlowerThanFiveOnTheTerrainSettlesAnUprightDeviceOnTheBombsTeam) {
    Install({{"tpay.odf", Payload(1)}, {"tspray.odf", Bomb("tpay", 10, 0.1f)}});
    auto* bombClass = dynamic_cast<SprayBombClass*>(OrdnanceClass::Find("tspray"));
    ASSERT_NE(bombClass, nullptr);
    ASSERT_NE(dynamic_cast<SprayBombDeviceClass*>(bombClass->deviceClass), nullptr) << "found under the bomb's name";
    EXPECT_EQ(bombClass->deviceClass, GameObjectClass::Find("tspray"));
    GameObject* shooter = BuildAt<GameObject>("avtank", {0, 10, 0}, 3);
    ASSERT_NE(shooter, nullptr);
    shooter->SetTeam(3);
    shooter->entity->flags |= 0x30;
    struct Case {
        const char* what;
        bool onTerrain;
        float fall;  // downward speed at the contact
        bool settles, dies;
    } cases[] = {
        {"slow on the terrain", true, 6.0f, true, true},     // rebounds at 3 m/s
        {"fast on the terrain", true, 20.0f, false, false},  // rebounds at 10 m/s
        {"an object outside the standing kinds", false, 2.0f, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_calls.objectSounds.clear();
        const size_t before = GameObject_List().size();
        Matrix m = kIdentityMatrix;
        m.front = Vector{0.6f, -0.8f, 0.0f};
        m.up = Vector{0.8f, 0.6f, 0.0f};
        m.right = Vector{0.0f, 0.0f, 1.0f};
        m.posit = DVector{20.0, kGround + 0.2, 5.0};
        Ordnance* bomb = bombClass->Build(m, shooter->entity);
        ASSERT_NE(dynamic_cast<SprayBomb*>(bomb), nullptr);
        bomb->motion.velocity = Vector{0.0f, -c.fall, 0.0f};
        bomb->Hit(c.onTerrain ? nullptr : shooter->entity, Vector{0.0f, 1.0f, 0.0f});
        EXPECT_EQ(bomb->IsDead(), c.dies);
        EXPECT_EQ(GameObject_List().size(), before + (c.settles ? 1 : 0));
        EXPECT_EQ(g_calls.objectSounds.size(), (!c.dies && !c.settles) ? 1u : 0u) << "a bounce sounds";
        if (auto* device = c.settles ? dynamic_cast<SprayBombDevice*>(GameObject_List().back()) : nullptr) {
            EXPECT_EQ(device->team, 3);
            EXPECT_NEAR(device->entity->local.up.y, 1.0f, 1e-5);
            EXPECT_NEAR(device->entity->local.front.x, 1.0f, 1e-5) << "facing as the bomb did";
            EXPECT_NEAR(device->entity->local.posit.x, 20.0, 1e-4);
            EXPECT_TRUE(device->ownerIsUser);
            EXPECT_TRUE(device->ownerFlag20);
            EXPECT_EQ(device->ownerId, bomb->netPlayer);
        }
    }
}

TEST_F(SprayTest, TheDeviceSpraysWhatFellDueAndDiesWhenItsAmmunitionFallsShort) {
    Install({{"tpay0.odf", Payload(0)},
             {"tpay1.odf", Payload(1)},
             {"tpay5.odf", Payload(5)},
             {"tspr0.odf", Bomb("tpay1", 10, 0.05f)},
             {"tspr1.odf", Bomb("tpay0", 10, 0.0f)},
             {"tspr2.odf", Bomb("tpay0", 10, -1.0f)},
             {"tspr3.odf", Bomb("tpay5", 3, 0.05f)},
             {"tspr4.odf", Bomb("tpay1", 2, 0.05f)},
             {"tspr5.odf", Bomb("tpay1", 10, 0.05f, 0.5f)}});
    struct Case {
        const char* cls;
        int shots;
        int ammoLeft;
        bool alive;
    } cases[] = {
        {"tspr0", 4, 6, true},   // 0.2 s at 0.05 s a shot
        {"tspr1", 1, 10, true},  // no interval and a free payload: one shot, never endless
        {"tspr2", 1, 10, true},
        {"tspr3", 0, 3, false},  // the payload costs more than the ammunition: dies on its first shot
        {"tspr4", 2, 0, false},  // two shots, then short
        {"tspr5", 0, 10, true},  // still charging
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cls);
        Ordnance_DeleteAll();
        SprayBombDevice* device = Device(c.cls);
        ASSERT_NE(device, nullptr);
        device->SetOwner(0x30, 7);
        device->Update(0.2f);
        EXPECT_EQ(static_cast<int>(Ordnance_LiveList().size()), c.shots);
        EXPECT_EQ(Listed(device), c.alive);
        if (c.alive) {
            EXPECT_EQ(device->curAmmo, c.ammoLeft);
        }
        for (Ordnance* shot : Ordnance_LiveList()) {
            EXPECT_EQ(shot->netState, kOrdnanceNotSent);
            EXPECT_EQ(shot->damageInfo.kind & 0x30, 0x30);
            EXPECT_EQ(shot->damageInfo.playerId, 7);
        }
    }
}

TEST_F(SprayTest, TheDeviceSpinsUpAndHoversOverTheTerrain) {
    Install({{"tpay.odf", Payload(1)}, {"tspray.odf", Bomb("tpay", 100, 0.1f, 100.0f)}});
    SprayBombDevice* device = Device("tspray");
    ASSERT_NE(device, nullptr);
    for (int i = 0; i < 200; ++i) device->Update(0.05f);
    EXPECT_NEAR(device->spin, 10.0f, 0.01f) << "the default spin rate";
    EXPECT_NEAR(device->entity->local.posit.y, kGround + 1.5, 0.01);
    EXPECT_NEAR(device->entity->local.up.y, 1.0f, 1e-4) << "turning about its vertical axis";
}

}  // namespace
