// Devices that weapons send out as live objects: the radar launcher's pod.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
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
#include "weapons/weapon.h"
#include "weapons/weaponsinstall.h"

namespace {

struct Calls {
    std::vector<std::string> sounds;
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
        Collision_Init();
        GameObject_InstallClassFunctions();
        Weapons_InstallSeam();
        Seam_Audio().soundPlay = [](const char* name, Entity*, uint32_t flags, int) -> void* {
            g_calls.sounds.push_back(std::string(name) + "/" + std::to_string(flags));
            return &g_calls;
        };
        Seam_Audio().soundStopAttached = [](Entity*) { return false; };
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

}  // namespace
