// The torpedo: its class, its probes, how it skims the ground and turns, how it dies and blows
// up, its engine sound and its saved fields in every layout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "class_fixture.h"
#include "collision/collision.h"
#include "core/fieldarchive.h"
#include "core/registration.h"
#include "core/savegame.h"
#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "core/shake.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectpool.h"
#include "support/field_stream.h"
#include "odfkeys.h"
#include "terrain_writer.h"
#include "torpedo_definitions.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"
#include "weapons/torpedo.h"
#include "weapons/weapon.h"
#include "weapons/weaponsinstall.h"

namespace {

constexpr float kGround = 30.0f;  // the flat map's height
constexpr float kDt = 1.0f / 30.0f;

struct Calls {
    std::vector<std::string> sounds;  // "name/flags/header"
    int stops = 0;
    float steer = 0.0f;
    bool hasListener = false;
    Vector listener{};
};
Calls g_calls;

Vector PositionOf(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}

class TorpedoTest : public ClassFixture {
protected:
    void SetUp() override {
        ClassFixture::SetUp();
        g_calls = Calls{};
        GameObject_InstallClassFunctions();
        Weapons_InstallSeam();
        Seam_Audio().soundPlay = [](const char* name, Entity*, uint32_t flags, int header) -> void* {
            g_calls.sounds.push_back(std::string(name) + "/" + std::to_string(flags) + "/" + std::to_string(header));
            return &g_calls;
        };
        Seam_Audio().soundStopAttached = [](Entity*) {
            ++g_calls.stops;
            return true;
        };
        Seam_Cockpit().cameraPosition = [](Vector* out) {
            *out = g_calls.listener;
            return g_calls.hasListener;
        };
        Seam_Net().isNetworkGame = [] { return false; };
        Random_FillTableFrom([] { return 12345; });
    }

    void TearDown() override {
        Ordnance_DeleteAll();
        Explosion_Manager().MissionEnd();
        Explosion_Manager().MissionCleanup();
        ClassFixture::TearDown();
        Weapons_InstallSeam();
        ExplosionClass_FreeAll();
        Weapon_DeleteAll();
        OrdnanceClass_FreeAll();
        WeaponClass_FreeAll();
        Classfnc_ResetOwners();
        Collision_Shutdown();
        Terrain_FreeAll();
        Terrain_ClearEntityList();
        Terrain_SetFileName("");
        ExplosionManager_ResetForTest();
    }

    // The sample world on a flat 1280 m map, plus the test's torpedo "ttorp".
    void Install(const content::TorpedoValues& values) {
        std::string text, error;
        ASSERT_TRUE(content::TorpedoDefinitionText(values, &text, &error)) << error;
        content::TerrainMapSpec spec;
        spec.name = "flat";
        spec.width = 1280;
        spec.depth = 1280;
        spec.height = [](int, int) -> uint16_t { return static_cast<uint16_t>(kGround * 10.0f); };
        std::vector<content::ArchiveRecord> more = content::TerrainRecords(spec);
        more.push_back({"ttorp.odf", text, true, 0});
        InstallWorld(more);
        Terrain_SetBaseHeight(0);
        Terrain_SetFileName("flat");
        ASSERT_EQ(Terrain_ReadZoneFiles(), 1);
        ASSERT_EQ(Terrain_LoadZone(nullptr), 1);
        Terrain_Init(0);
        Collision_Init();
        Explosion_Manager().MissionSetup();
        ASSERT_NE(Explosion_Manager().stdExplosionSec, nullptr);
    }
    static content::TorpedoValues Plain() {
        content::TorpedoValues v;
        v.geometry = "gvtorp";
        v.health = 100;
        v.blast = "xtorp";
        v.engineSound = "engthrst.wav";
        return v;
    }

    // A torpedo on team 1 at the height above the ground, heading along +z (or the yaw).
    Torpedo* Launch(float height, const char* name = "ttorp", float x = 640.0f, float z = 200.0f) {
        Matrix m = kIdentityMatrix;
        m.posit = DVector{x, kGround + height, z};
        return dynamic_cast<Torpedo*>(GameObjectClass::Build(GameObjectClass::Find(name), m, 1, false, 0, nullptr));
    }
    static float Height(const Torpedo* t) { return static_cast<float>(t->entity->local.posit.y) - kGround; }

    static int Count(const ExplosionClass* cls) {
        int n = 0;
        for (const Explosion* e : Explosion_LiveList()) n += e->explosionClass == cls ? 1 : 0;
        return n;
    }
    static const Explosion* Newest(const ExplosionClass* cls) {
        for (const Explosion* e : Explosion_LiveList())
            if (e->explosionClass == cls) return e;
        return nullptr;
    }
};

// ---- the class ------------------------------------------------------------------------------

TEST_F(TorpedoTest, TheKindIsAPowerUpCarryingItsHandlingValues) {
    content::TorpedoValues v = Plain();
    v.hoverHeight = 2.0f;
    v.levelGain = 30.0f;
    v.spinDamping = 4.0f;
    v.cruiseSpeed = 40.0f;
    v.maxAccel = 15.0f;
    v.turnRate = 2.5f;
    v.turnTorque = 6.0f;
    v.lifetime = 12.0f;
    Install(v);
    auto* prototype = dynamic_cast<TorpedoClass*>(GameObjectClass_FindPrototype("torpedo"));
    ASSERT_NE(prototype, nullptr) << "the stand-in kind is replaced";
    EXPECT_EQ(prototype->signature, Signature("TORP"));
    EXPECT_EQ(prototype->category, kCategoryPowerUp);
    const float defaults[] = {prototype->hoverHeight, prototype->levelGain, prototype->spinDamping,
                              prototype->cruiseSpeed, prototype->maxAccel,  prototype->turnRate,
                              prototype->turnTorque,  prototype->lifetime};
    const float expected[] = {1.0f, 20.0f, 5.0f, 25.0f, 10.0f, 1.0f, 5.0f, 60.0f};
    for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(defaults[i], expected[i]) << i;

    auto* cls = dynamic_cast<TorpedoClass*>(GameObjectClass::Find("ttorp"));
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->blastClass, ExplosionClass::Find("xtorp"));
    EXPECT_STREQ(cls->engineSound, "engthrst.wav");

    Torpedo* t = Launch(1.0f);
    ASSERT_NE(t, nullptr);
    const float copied[] = {t->hoverHeight, t->levelGain, t->spinDamping, t->cruiseSpeed,
                            t->maxAccel,    t->turnRate,  t->turnTorque,  t->lifetime};
    const float fromFile[] = {2.0f, 30.0f, 4.0f, 40.0f, 15.0f, 2.5f, 6.0f, 12.0f};
    for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(copied[i], fromFile[i]) << i;
    // The scale reaches from the level gain to the turn torque only.
    t->Scale(0.5f);
    const float scaled[] = {t->hoverHeight, t->levelGain, t->spinDamping, t->cruiseSpeed,
                            t->maxAccel,    t->turnRate,  t->turnTorque,  t->lifetime};
    const float halved[] = {2.0f, 15.0f, 2.0f, 20.0f, 7.5f, 1.25f, 3.0f, 12.0f};
    for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(scaled[i], halved[i]) << i;

    // A file without the torpedo's keys keeps the prototype's values.
    content::TorpedoValues bare;
    bare.geometry = "gvtorp";
    std::string text, error;
    ASSERT_TRUE(content::TorpedoDefinitionText(bare, &text, &error)) << error;
    EXPECT_EQ(text.find(content::KeyText(kOdfTorpedoCruiseSpeed)), std::string::npos);
}

TEST_F(TorpedoTest, ProbesSitOnTheLowerCornersAndTheMiddlesOfTheLongSides) {
    Install(Plain());
    TorpedoClass cls("torpedo", Signature("TORP"), kCategoryPowerUp);
    Entity* e = NewRoot(1);
    e->boundsCentre = Vector{0.0f, 1.0f, 0.0f};
    e->boundsRadius = 2.0f;
    struct Case {
        const char* what;
        Vector lo, hi;
        float radius;
        Vector expected[6];
    } cases[] = {
        {"the class's box",
         {-1.0f, -0.5f, -3.0f},
         {1.0f, 0.5f, 5.0f},
         2.0f,
         {{-1, -0.5f, -3}, {1, -0.5f, -3}, {-1, -0.5f, 5}, {1, -0.5f, 5}, {-1, -0.5f, 1}, {1, -0.5f, 1}}},
        {"no measured box: a cube round the bounds",
         {0, 0, 0},
         {0, 0, 0},
         kClassRadiusUnknown,
         {{-2, -1, -2}, {2, -1, -2}, {-2, -1, 2}, {2, -1, 2}, {-2, -1, 0}, {2, -1, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        cls.boxMin = c.lo;
        cls.boxMax = c.hi;
        cls.sphereRadius = c.radius;
        Vector out[6];
        Torpedo_ProbePoints(&cls, e, out);
        for (int i = 0; i < 6; ++i) {
            EXPECT_FLOAT_EQ(out[i].x, c.expected[i].x) << i;
            EXPECT_FLOAT_EQ(out[i].y, c.expected[i].y) << i;
            EXPECT_FLOAT_EQ(out[i].z, c.expected[i].z) << i;
        }
    }
    // A built torpedo carries its class's probes.
    Torpedo* t = Launch(1.0f);
    Vector expected[6];
    Torpedo_ProbePoints(t->objClass, t->entity, expected);
    for (int i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(t->probes[i].x, expected[i].x) << i;
        EXPECT_FLOAT_EQ(t->probes[i].y, expected[i].y) << i;
        EXPECT_FLOAT_EQ(t->probes[i].z, expected[i].z) << i;
    }
}

// ---- motion ---------------------------------------------------------------------------------

TEST_F(TorpedoTest, OverAFlatFloorItSettlesAtItsHoverHeightAtCruiseSpeed) {
    content::TorpedoValues v = Plain();
    v.hoverHeight = 2.5f;
    Install(v);
    struct Case {
        float start;
    } cases[] = {{6.0f}, {2.5f}, {0.8f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        Torpedo* t = Launch(c.start);
        ASSERT_NE(t, nullptr);
        for (int i = 0; i < 300; ++i) t->Update(kDt);
        EXPECT_NEAR(Height(t), 2.5f, 0.02f);
        EXPECT_NEAR(t->euler.velocity.y, 0.0f, 0.02f);
        EXPECT_NEAR(t->euler.speed, 25.0f, 0.05f) << "it drives at its cruise speed";
        EXPECT_NEAR(t->entity->local.up.y, 1.0f, 1e-3f) << "level";
        EXPECT_NEAR(t->entity->local.front.z, 1.0f, 1e-3f) << "straight on without steering";
        EXPECT_EQ(t->entity->flags & kEntityDead, 0u);
        t->TearDown();
    }
}

TEST_F(TorpedoTest, AStepOfNoTimeMovesNothingAndStaysFinite) {
    Install(Plain());
    Torpedo* t = Launch(3.0f);
    t->SetVelocity(Vector{1.0f, -2.0f, 5.0f});
    const Matrix before = t->entity->local;
    t->Update(0.0f);
    EXPECT_EQ(t->entity->local.posit.y, before.posit.y);
    EXPECT_EQ(t->entity->local.posit.z, before.posit.z);
    EXPECT_FLOAT_EQ(t->euler.velocity.y, -2.0f);
    EXPECT_TRUE(std::isfinite(t->euler.velocity.z));
    t->Update(kDt);
    EXPECT_TRUE(std::isfinite(t->entity->local.posit.y));
}

TEST_F(TorpedoTest, TheBrainsSteeringTurnsItUpToItsTurnRate) {
    content::TorpedoValues v = Plain();
    v.turnRate = 1.5f;
    Install(v);
    struct Case {
        float steer;
        float yawRate;  // reached, in the torpedo's own axes
    } cases[] = {{1.0f, 1.5f}, {-0.5f, -0.75f}, {0.0f, 0.0f}};
    float firstSign = 0.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steer);
        g_calls.steer = c.steer;
        Torpedo* t = Launch(1.0f);
        // Its brain writes the steering into the control record.
        t->vehicle->controls[0] = c.steer;
        for (int i = 0; i < 90; ++i) t->Update(kDt);
        EXPECT_NEAR(std::fabs(t->euler.angularVelocity.y), std::fabs(c.yawRate), 0.01f);
        if (c.steer > 0.0f) firstSign = t->euler.angularVelocity.y > 0.0f ? 1.0f : -1.0f;
        if (c.steer < 0.0f) {
            EXPECT_LT(t->euler.angularVelocity.y * firstSign, 0.0f) << "the other way";
        }
        t->TearDown();
    }
}

TEST_F(TorpedoTest, AProbeMeetingTheGroundBouncesItUp) {
    Install(Plain());
    Torpedo* t = Launch(0.3f);
    t->SetVelocity(Vector{0.0f, -20.0f, 0.0f});
    t->Update(0.05f);
    EXPECT_GT(t->euler.velocity.y, 0.0f) << "reflected off the terrain";
    EXPECT_LT(t->euler.velocity.y, 10.0f) << "and halved";
    EXPECT_EQ(t->vehicle->contact.hit, 0) << "the contact is spent";
    EXPECT_EQ(t->entity->flags & kEntityDead, 0u) << "the ground does not kill it";
}

TEST_F(TorpedoTest, AHiddenTargetIsDropped) {
    Install(Plain());
    for (bool hidden : {false, true}) {
        Torpedo* t = Launch(1.0f);
        Torpedo* aimed = Launch(1.0f, "ttorp", 660.0f, 260.0f);
        if (hidden) aimed->entity->flags |= 0x1;
        t->SetTarget(aimed);
        t->Update(kDt);
        EXPECT_EQ(t->target, hidden ? 0u : aimed->GetObjHandle()) << hidden;
        t->TearDown();
        aimed->TearDown();
    }
}

// ---- contacts and death ---------------------------------------------------------------------

TEST_F(TorpedoTest, ContactsReflectAndHalveItsVelocityAndItsOwnTargetKillsIt) {
    Install(Plain());
    Torpedo* t = Launch(1.0f);
    Torpedo* aimed = Launch(1.0f, "ttorp", 640.0f, 203.0f);
    Torpedo* other = Launch(1.0f, "ttorp", 645.0f, 203.0f);
    t->SetTarget(aimed);
    CollisionBody contact{};
    CollisionBody_Init(contact);
    contact.hit = 1;
    contact.normal = Vector{0.0f, 0.0f, -1.0f};
    contact.point = Vector{641.0f, kGround + 1.0f, 202.0f};

    t->SetVelocity(Vector{2.0f, 0.0f, 10.0f});
    t->OnContact(other->entity, &contact, nullptr);
    EXPECT_FLOAT_EQ(t->euler.velocity.z, -5.0f) << "reflected and halved";
    EXPECT_FLOAT_EQ(t->euler.velocity.x, 1.0f);
    EXPECT_NE(t->euler.angularVelocity.y, 0.0f) << "an off-centre contact turns it";
    EXPECT_EQ(t->entity->flags & kEntityDead, 0u) << "another object does not kill it";

    t->OnContact(aimed->entity, &contact, nullptr);
    EXPECT_EQ(t->entity->flags & kEntityDead, kEntityDead);
    EXPECT_EQ(t->deathBurstTimer, 0.0f);
    const int bursts = Count(Explosion_Manager().stdExplosionSec);
    const uint32_t handle = t->GetObjHandle();
    t->Update(kDt);
    EXPECT_EQ(Count(Explosion_Manager().stdExplosionSec), bursts) << "no bursts";
    EXPECT_EQ(Count(ExplosionClass::Find("xtorp")), 1) << "its blast goes off at once";
    EXPECT_EQ(GameObject::FromHandle(handle), nullptr);
    aimed->TearDown();
    other->TearDown();
}

TEST_F(TorpedoTest, WhenItsLifeRunsOutOrItIsShotDownItBurstsThenBlowsUp) {
    content::TorpedoValues v = Plain();
    v.lifetime = 1.0f;
    Install(v);
    const ExplosionClass* burst = Explosion_Manager().stdExplosionSec;
    const ExplosionClass* blast = ExplosionClass::Find("xtorp");
    constexpr float kStep = 0.125f;  // exact in binary: the life runs out on a known step
    struct Case {
        const char* what;
        bool shot;
        bool remote;
    } cases[] = {{"life runs out", false, false}, {"life runs out, remote", false, true}, {"shot down", true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Explosion_Manager().MissionCleanup();
        Torpedo* t = Launch(1.0f);
        if (c.remote) t->ownership = kNetOwnedRemote;
        const uint32_t handle = t->GetObjHandle();
        if (c.shot) {
            DamageInfo hit{};
            hit.amount = 500.0f;
            t->TakeDamage(&hit, nullptr);
            EXPECT_NE(t->entity->flags & kEntityDestroyRequested, 0u);
        } else {
            // Alive while at least a step of life is left (the eighth step leaves none).
            for (int i = 0; i < 8; ++i) {
                t->Update(kStep);
                ASSERT_EQ(t->entity->flags & kEntityDead, 0u) << i;
            }
        }
        EXPECT_EQ(Count(burst), 0);
        // Then dying, and each update of the half second of dying makes one small burst near it.
        for (int i = 1; i <= 4; ++i) {
            SCOPED_TRACE(i);
            t->Update(kStep);
            EXPECT_EQ(Count(burst), i);
            EXPECT_EQ(Count(blast), c.remote || i < 4 ? 0 : 1) << "the blast after the bursts";
            if (i == 4 && !c.remote) break;
            ASSERT_NE(GameObject::FromHandleRaw(handle), nullptr);
            EXPECT_NE(t->entity->flags & (kEntityDead | kEntityDestroyRequested), 0u);
            const Vector at = PositionOf(t->entity);
            const Vector b = PositionOf(Newest(burst)->entity);
            const float reach = 0.7f * t->radius + 1e-3f;
            EXPECT_LE(std::fabs(b.x - at.x), reach);
            EXPECT_LE(std::fabs(b.y - at.y), reach);
            EXPECT_LE(std::fabs(b.z - at.z), reach);
        }
        if (c.remote) {
            // Another machine's torpedo waits for its owner's word.
            t->Update(kStep);
            EXPECT_EQ(Count(burst), 4);
            EXPECT_EQ(Count(blast), 0);
            EXPECT_NE(GameObject::FromHandleRaw(handle), nullptr);
            t->TearDown();
        } else {
            EXPECT_EQ(GameObject::FromHandle(handle), nullptr);
        }
    }
}

TEST_F(TorpedoTest, TheBlastIsTheLaunchersWhileItLivesAndScorchesOnlyNearTheGround) {
    Install(Plain());
    const ExplosionClass* blast = ExplosionClass::Find("xtorp");
    struct Case {
        const char* what;
        bool launcher;
        float height;
        bool scorched;
    } cases[] = {
        {"launched, low", true, 2.0f, true},
        {"launcher gone, high", false, 8.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Explosion_Manager().MissionCleanup();
        Torpedo* t = Launch(c.height, "ttorp", 640.0f, 400.0f);
        Torpedo* launcher = Launch(1.0f, "ttorp", 700.0f, 400.0f);
        if (c.launcher) t->SetLastAttacker(launcher);
        Entity* own = t->entity;
        const int i = 64, k = 40;
        const uint8_t lightBefore = Terrain_GetCellLight(i, k);
        t->Destroy();
        const Explosion* e = Newest(blast);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->owner, c.launcher ? launcher->entity : own);
        EXPECT_EQ(Terrain_GetCellLight(i, k) != lightBefore, c.scorched);
        Explosion_Manager().MissionEnd();
        launcher->TearDown();
    }
}

// ---- sound and network ----------------------------------------------------------------------

TEST_F(TorpedoTest, TheEngineIsHeardNearTheListenerOnly) {
    Install(Plain());
    Torpedo* t = Launch(1.0f);
    g_calls.hasListener = true;
    struct Step {
        float distance;  // from the torpedo, along x
        size_t played;   // loops started so far
        int stops;       // stops so far
    } steps[] = {{100.0f, 1, 0}, {140.0f, 1, 0}, {160.0f, 1, 1}, {200.0f, 1, 1}, {20.0f, 2, 1}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.distance);
        const Vector at = PositionOf(t->entity);
        // The torpedo moves by under a metre in a step.
        g_calls.listener = Vector{at.x + s.distance, at.y, at.z};
        t->Update(kDt);
        EXPECT_EQ(g_calls.sounds.size(), s.played);
        EXPECT_EQ(g_calls.stops, s.stops);
    }
    EXPECT_EQ(g_calls.sounds.back(), "engthrst.wav/2049/45");
    // Joining a team while the engine runs stops it (no loop is left without its owner); the
    // next update starts it again, louder on the user's side.
    t->SetTeam(2);
    EXPECT_EQ(g_calls.stops, 2);
    EXPECT_EQ(t->engineLoop, nullptr);
    t->entity->flags |= kEntityUser;
    g_calls.listener = PositionOf(t->entity);
    t->Update(kDt);
    ASSERT_EQ(g_calls.sounds.size(), 3u);
    EXPECT_EQ(g_calls.sounds.back(), "engthrst.wav/2049/65");
    // Leaving its team stops the engine first.
    t->LeaveTeam();
    EXPECT_EQ(g_calls.stops, 3);
    EXPECT_EQ(t->engineLoop, nullptr);
    // Without a listener nothing is heard.
    g_calls.hasListener = false;
    t->SetTeam(1);
    t->Update(kDt);
    EXPECT_EQ(g_calls.sounds.size(), 3u);
}

TEST_F(TorpedoTest, ItsNetworkPriorityGrowsWithTimeAndNearness) {
    Install(Plain());
    Torpedo* t = Launch(1.0f);
    t->lastSendTime = 4.0f;
    EXPECT_FLOAT_EQ(t->GetNetPriority(10.0f, 100.0f), (250.0f - 100.0f) * 0.02f + 7.0f);
    EXPECT_FLOAT_EQ(t->GetNetPriority(12.0f, 250.0f), 9.0f);
    // An earlier time than the last one seen becomes the base.
    EXPECT_FLOAT_EQ(t->GetNetPriority(2.0f, 250.0f), 1.0f);
    EXPECT_FLOAT_EQ(t->lastSendTime, 2.0f);
}

// ---- saving ---------------------------------------------------------------------------------

// The object's own fields in the layout of the saved games of the given version (1018 to 1030):
// no sprite name, the has-pilot flag before 1030, no perceived team and no weapons.
std::string OldObjectFields(int32_t version, float illumination, int32_t health) {
    return CaptureFields(false, [&](FILE* f) {
        const Vector pos{640.0f, 31.0f, 200.0f};
        PhysicsState physics{};
        physics.mass_inv = physics.v_mag_inv = 1e30f;
        const uint8_t no = 0;
        const uint32_t zero = 0;
        auto command = [&](FILE* s) {
            uint8_t what[4] = {};
            return Field_WriteInt(s, int32_t{0}, "priority") && Field_WriteBytes(s, what, 4, "what") &&
                   Field_WriteInt(s, int32_t{0}, "who") && Field_WritePointerValue(s, 0, "where") &&
                   Field_WriteInt(s, int32_t{0}, "param");
        };
        bool ok = Field_WriteFloat(f, illumination, "illumination") && Field_WriteVector(f, &pos, 12, "pos") &&
                  Field_WritePhysics(f, &physics, 60, "euler") && Field_WriteInt(f, int32_t{0}, "seqNo") &&
                  Field_WriteBool(f, &no, 1, "isObjective") && Field_WriteBool(f, &no, 1, "isSelected") &&
                  Field_WriteHex(f, &zero, 4, "isVisible") && Field_WriteHex(f, &zero, 4, "seen");
        for (int i = 0; i < 6; ++i) ok = ok && Field_WriteFloat(f, 1.0f, "hit");
        const int32_t healths[2] = {health, 100}, ammo[2] = {0, 0};
        ok = ok && Field_WriteFloat(f, 0.5f, "healthRatio") && Field_WriteLong(f, &healths[0], 4, "curHealth") &&
             Field_WriteLong(f, &healths[1], 4, "maxHealth") && Field_WriteFloat(f, 0.0f, "ammoRatio") &&
             Field_WriteLong(f, &ammo[0], 4, "curAmmo") && Field_WriteLong(f, &ammo[1], 4, "maxAmmo") &&
             command(f) && command(f) && Field_WritePointerValue(f, 0, "undefptr") &&
             Field_WriteBool(f, &no, 1, "isCargo") && Field_WriteInt(f, int32_t{1}, "independence");
        if (version >= 1030) {
            const char pilot[8] = {};
            ok = ok && Field_WriteId(f, pilot, 8, "curPilot");
        } else {
            ok = ok && Field_WriteBool(f, false, "hasPilot");
        }
        return ok;
    });
}

TEST_F(TorpedoTest, ASavedTorpedoLoadsBack) {
    Install(Plain());
    SaveGame_SetMissionFile(false);
    Torpedo* saved = Launch(1.0f);
    saved->vehicle->flags = kPowerUpInFlight;
    saved->SetHull(37.0f);
    bool ok = false;
    const std::string bytes = CaptureFields(false, [&](FILE* f) { return saved->Save(f); }, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(bytes.find("vhclFlags"), 0u) << "the power-up's fields";
    Torpedo* loaded = Launch(2.0f, "ttorp", 700.0f, 300.0f);
    {
        FieldReadScope scope(bytes, false);
        EXPECT_TRUE(loaded->Load());
        EXPECT_EQ(scope.Offset(), scope.Size()) << "every field read";
    }
    EXPECT_EQ(loaded->vehicle->flags, kPowerUpInFlight);
    EXPECT_EQ(loaded->curHealth, 37.0f);
}

TEST_F(TorpedoTest, OlderSavesLoadByTheirVersion) {
    Install(Plain());
    SaveGame_SetMissionFile(false);
    const float block[18] = {-1, 0, -2, 1, 0, -2, -1, 0, 2, 1, 0, 2, -1, 0, 0, 1, 0.25f, 0};
    struct Case {
        int32_t version;
        bool retiredWord;  // one integer ahead of the object's fields
        bool probeBlock;   // six integers and the probe block ahead of them
    } cases[] = {{1030, true, false}, {1028, true, false}, {1027, false, false}, {1019, false, false}, {1018, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        const std::string head = CaptureFields(false, [&](FILE* f) {
            bool ok = true;
            if (c.retiredWord) ok = Field_WriteInt(f, int32_t{-7}, "retired");
            if (c.probeBlock) {
                for (int i = 0; i < 6; ++i) ok = ok && Field_WriteInt(f, int32_t{99}, "retired");
                std::string bytes;
                for (float value : block) bytes += Le(value);
                ok = ok && Field_WriteBytes(f, bytes.data(), bytes.size(), "probes");
            }
            return ok;
        });
        Torpedo* t = Launch(1.0f);
        t->vehicle->flags = kPowerUpRising;
        const Vector before = t->probes[5];
        {
            FieldReadScope scope(head + OldObjectFields(c.version, 0.375f, 61), false, c.version);
            EXPECT_TRUE(t->Load());
            EXPECT_EQ(scope.Offset(), scope.Size()) << "every field read, nothing more";
        }
        EXPECT_FLOAT_EQ(t->illumination, 0.375f);
        EXPECT_EQ(t->curHealth, 61.0f);
        EXPECT_EQ(t->vehicle->flags, kPowerUpRising) << "no vehicle flags in these saves";
        if (c.probeBlock) {
            EXPECT_FLOAT_EQ(t->probes[5].x, 1.0f);
            EXPECT_FLOAT_EQ(t->probes[5].y, 0.25f);
            EXPECT_FLOAT_EQ(t->probes[0].z, -2.0f);
        } else {
            EXPECT_FLOAT_EQ(t->probes[5].y, before.y);
        }
        t->TearDown();
    }
}

TEST_F(TorpedoTest, ABrokenOldProbeBlockFailsTheLoad) {
    Install(Plain());
    SaveGame_SetMissionFile(false);
    struct Case {
        const char* what;
        float bad;
        size_t length;
    } cases[] = {{"a point at no number", std::nanf(""), 72}, {"an endless point", INFINITY, 72}, {"cut short", 0.0f, 48}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes = CaptureFields(false, [&](FILE* f) {
            bool ok = true;
            for (int i = 0; i < 6; ++i) ok = ok && Field_WriteInt(f, int32_t{0}, "retired");
            std::string block;
            for (int i = 0; i < 18; ++i) block += Le(i == 7 ? c.bad : 0.5f);
            block.resize(c.length);
            return ok && Field_WriteBytes(f, block.data(), block.size(), "probes");
        });
        Torpedo* t = Launch(1.0f);
        const Vector before = t->probes[2];
        {
            FieldReadScope scope(bytes + OldObjectFields(1018, 0.0f, 50), false, 1018);
            EXPECT_FALSE(t->Load());
        }
        EXPECT_FLOAT_EQ(t->probes[2].y, before.y) << "nothing of a bad block is kept";
        t->TearDown();
    }
}

}  // namespace
