// Objects that weapons leave in the world: the mine, the flare, the magnet, the day wrecker and
// the dispenser that drops them.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "class_fixture.h"
#include "collision/collision.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/gamesettings.h"
#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "fun3d/hardpoints.h"
#include "fun3d/objectpool.h"
#include "core/shake.h"
#include "deployable_definitions.h"
#include "fun3d/craft.h"
#include "fun3d/framepasses.h"
#include "support/field_stream.h"
#include "weapons/daywrecker.h"
#include "weapons/dispenser.h"
#include "weapons/explosion.h"
#include "weapons/mine.h"
#include "weapons/ordnance.h"
#include "weapons/proxmine.h"
#include "weapons/spriteeffects.h"
#include "weapons/weapon.h"
#include "weapons/weaponsinstall.h"

namespace {

constexpr float kGround = 4.0f;

// Floors made of test meshes: the faces the collision code reads through the reader below.
struct TestFace {
    std::vector<int32_t> indices;
    Vector normal;
    const TestFace* next = nullptr;
};

bool ReadFace(const GeomFace* face, CollisionFaceView* out) {
    const auto* f = reinterpret_cast<const TestFace*>(face);
    out->corners = static_cast<int32_t>(f->indices.size());
    out->normal = f->normal;
    out->indices = f->indices.data();
    out->indexStride = 1;
    out->next = reinterpret_cast<const GeomFace*>(f->next);
    return true;
}

struct Calls {
    std::vector<std::string> sounds;
    std::vector<NetObject*> registered;
    std::vector<GameObject*> joined;
    std::vector<float> tint;
    bool network = false;
};
Calls g_calls;

float Length(const Vector& v) { return std::sqrt(Vec3_Dot(v, v)); }
Vector PositionOf(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}

class DeployTest : public ClassFixture {
protected:
    void SetUp() override {
        ClassFixture::SetUp();
        g_calls = Calls{};
        Terrain_SetBaseHeight(kGround);
        Terrain_BuildBlockTables();
        Collision_SetFaceReader(ReadFace);
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
        Seam_Cockpit().screenTintAddLevel = [](float amount) { g_calls.tint.push_back(amount); };
    }

    void TearDown() override {
        Ordnance_DeleteAll();
        Explosion_Manager().MissionEnd();
        Explosion_Manager().MissionCleanup();
        for (Entity* floor : floors_) {
            floor->geometry = nullptr;
            if (EntityTableRecord* record = Entities_FindRecord(floor)) Entities_Remove(record);
            Entity_Release(floor);
        }
        floors_.clear();
        ClassFixture::TearDown();
        Weapons_InstallSeam();
        ExplosionClass_FreeAll();
        Weapon_DeleteAll();
        OrdnanceClass_FreeAll();
        WeaponClass_FreeAll();
        Classfnc_ResetOwners();
        Collision_Shutdown();
        Collision_SetFaceReader(nullptr);
        Terrain_SetBaseHeight(0);
        Terrain_BuildBlockTables();
        GameSettings_Reset();
    }

    // The sample world plus the test's own definitions.
    void Install(const std::vector<std::pair<std::string, std::string>>& files = {}) {
        std::vector<content::ArchiveRecord> more;
        for (const auto& [name, text] : files) more.push_back({name, text, true, 0});
        InstallWorld(more);
    }
    static std::string MineFile(const content::MineValues& values) {
        std::string text, error;
        EXPECT_TRUE(content::MineDefinitionText(values, &text, &error)) << error;
        return text;
    }

    // A walkable floor (entity type 10) over the rectangle, from height h0 at x0 to h1 at x1.
    void AddFloor(float x0, float z0, float x1, float z1, float h0, float h1) {
        Entity* e = Entity_New(nullptr);
        Entity_SetName(e, "floor");
        e->type = kTypeBuilding10;
        auto points = std::make_unique<std::vector<Vector>>(
            std::vector<Vector>{{x0, h0, z0}, {x0, h0, z1}, {x1, h1, z1}, {x1, h1, z0}});
        auto faces = std::make_unique<std::vector<TestFace>>(1);
        (*faces)[0].indices = {0, 1, 2, 3};
        (*faces)[0].normal = Vec3_TriangleNormal((*points)[0], (*points)[1], (*points)[2]);
        auto g = std::make_unique<Geometry>();
        g->vertexCount = 4;
        g->normalCount = 4;
        g->vertices = points->data();
        g->firstFace = reinterpret_cast<GeomFace*>(faces->data());
        e->geometry = g.get();
        Entities_Add(e, 0, nullptr, nullptr);
        floors_.push_back(e);
        geometries_.push_back(std::move(g));
        points_.push_back(std::move(points));
        faces_.push_back(std::move(faces));
    }

    template <class Kind>
    Kind* BuildAt(const char* name, const Vector& at, int32_t team = 1) {
        Matrix m = kIdentityMatrix;
        m.posit = DVector{at.x, at.y, at.z};
        return dynamic_cast<Kind*>(GameObjectClass::Build(GameObjectClass::Find(name), m, team, false, 0, nullptr));
    }

private:
    std::vector<Entity*> floors_;
    std::vector<std::unique_ptr<Geometry>> geometries_;
    std::vector<std::unique_ptr<std::vector<Vector>>> points_;
    std::vector<std::unique_ptr<std::vector<TestFace>>> faces_;
};

// ---- the mine -------------------------------------------------------------------------------

TEST_F(DeployTest, TheWeaponsKindsReplaceTheStandInPrototypes) {
    Install();
    struct Case {
        const char* label;
        int32_t category;
        bool mine;
    } cases[] = {{"mine", 5, true}, {"flare", 5, true}, {"magnet", 5, true}, {"daywrecker", 3, false}};
    for (const Case& c : cases) {
        GameObjectClass* p = GameObjectClass_FindPrototype(c.label);
        ASSERT_NE(p, nullptr) << c.label;
        EXPECT_EQ(p->category, c.category) << c.label;
        EXPECT_EQ(dynamic_cast<MineClass*>(p) != nullptr, c.mine) << c.label;
    }
    EXPECT_NE(dynamic_cast<DayWreckerClass*>(GameObjectClass_FindPrototype("daywrecker")), nullptr);
    const auto* mine = dynamic_cast<MineClass*>(GameObjectClass_FindPrototype("mine"));
    EXPECT_EQ(mine->health, 150);
    EXPECT_FLOAT_EQ(mine->lifetime, 300.0f);
    EXPECT_FLOAT_EQ(dynamic_cast<MineClass*>(GameObjectClass_FindPrototype("flare"))->lifetime, 60.0f);
    EXPECT_FLOAT_EQ(dynamic_cast<MineClass*>(GameObjectClass_FindPrototype("magnet"))->lifetime, 60.0f);
}

TEST_F(DeployTest, AMineSettlesOnTheHighestFloorUnderIt) {
    Install();
    const float roof = kGround + 6.0f;
    AddFloor(-10, -10, 10, 10, roof, roof);
    AddFloor(30, -10, 50, 10, kGround + 1.0f, kGround + 3.0f);  // a ramp rising toward +x
    struct Case {
        const char* what;
        Vector at;
        float floor;
    } cases[] = {
        {"above the roof", {0, roof + 3.0f, 0}, roof},
        {"beside the building", {20, roof + 3.0f, 0}, kGround},
        {"inside, more than 1 under the roof", {0, kGround + 0.5f, 0}, kGround},
        {"just under the roof", {0, roof - 0.5f, 0}, roof},
        {"above the ramp", {40, kGround + 10.0f, 0}, kGround + 2.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Mine* mine = BuildAt<Mine>("apmine", c.at);
        ASSERT_NE(mine, nullptr);
        const Matrix& m = mine->entity->local;
        EXPECT_NEAR(m.posit.y, c.floor, 1e-4);
        EXPECT_DOUBLE_EQ(m.posit.x, c.at.x);
        EXPECT_DOUBLE_EQ(m.posit.z, c.at.z);
        EXPECT_EQ(mine->record->collisionNode, nullptr) << "a mine is no obstacle";
        // The front stays as it was (the slopes here run along x).
        EXPECT_NEAR(m.front.z, 1.0f, 1e-4f);
        if (c.at.x == 40) {
            EXPECT_LT(m.up.x, -0.05f) << "the up axis follows the ramp's normal";
            EXPECT_NEAR(Length(m.up), 1.0f, 1e-4f);
            EXPECT_NEAR(Vec3_Dot(m.up, m.front), 0.0f, 1e-4f);
        } else {
            EXPECT_NEAR(m.up.y, 1.0f, 1e-4f);
        }
    }
}

TEST_F(DeployTest, AMineRunsOutOfLifeDiesAndGoes) {
    content::MineValues v;
    v.geometry = "gvscrap";
    v.lifetime = 2.0f;
    Install({{"tmine.odf", MineFile(v)}});
    struct Case {
        bool network;
        bool remote;
        size_t registered;
    } cases[] = {{false, false, 0}, {true, false, 1}, {true, true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.network << c.remote);
        g_calls = Calls{};
        g_calls.network = c.network;
        Mine* mine = BuildAt<Mine>("tmine", {0, kGround + 1, 0});
        ASSERT_NE(mine, nullptr);
        if (c.remote) mine->ownership = kNetOwnedRemote;
        EXPECT_FLOAT_EQ(mine->lifeTimer, 2.0f);
        mine->Update(1.5f);
        EXPECT_FLOAT_EQ(mine->lifeTimer, 0.5f);
        EXPECT_EQ(mine->entity->flags & kMineDeadFlags, 0u);
        mine->Update(1.0f);
        EXPECT_EQ(mine->lifeTimer, 0.0f) << "never below 0";
        EXPECT_EQ(mine->entity->flags & kMineDeadFlags, kMineDeadFlags);
        EXPECT_EQ(g_calls.registered.size(), c.registered);
        const uint32_t handle = mine->GetObjHandle();
        const size_t listed = GameObject_List().size();
        mine->Update(0.1f);
        EXPECT_EQ(GameObject::FromHandleRaw(handle), nullptr) << "a dead mine goes at its next update";
        EXPECT_EQ(GameObject_List().size(), listed - 1);
    }
}

TEST_F(DeployTest, TheLifeTimerIsSavedFirstAndReadFromVersion1038) {
    content::MineValues v;
    v.geometry = "gvscrap";
    v.lifetime = 50.0f;
    Install({{"tmine.odf", MineFile(v)}});
    Mine* saved = BuildAt<Mine>("tmine", {0, kGround + 1, 0});
    ASSERT_NE(saved, nullptr);
    saved->lifeTimer = 12.25f;
    bool ok = false;
    const std::string bytes = CaptureFields(false, [&](FILE* f) { return saved->Save(f); }, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(bytes.find("lifeTimer"), 0u) << "before the object's fields";
    const std::string objectOnly = CaptureFields(false, [&](FILE* f) { return saved->GameObject::Save(f); });

    Mine* loaded = BuildAt<Mine>("tmine", {5, kGround + 1, 0});
    ASSERT_NE(loaded, nullptr);
    {
        FieldReadScope scope(bytes, false, 1038);
        EXPECT_TRUE(loaded->Load());
        EXPECT_EQ(scope.Offset(), scope.Size()) << "every field read";
    }
    EXPECT_FLOAT_EQ(loaded->lifeTimer, 12.25f);
    loaded->lifeTimer = 3.0f;
    {
        FieldReadScope scope(objectOnly, false, 1037);
        loaded->Load();
    }
    EXPECT_FLOAT_EQ(loaded->lifeTimer, 50.0f) << "an older save starts the class lifetime";
    // A timer that is no time at all fails the load.
    const std::string bad = CaptureFields(false, [&](FILE* f) { return Field_WriteFloat(f, -1.0f, "lifeTimer"); });
    FieldReadScope scope(bad + objectOnly, false, 1039);
    EXPECT_FALSE(loaded->Load());
}

// ---- the flare ------------------------------------------------------------------------------

class FlareTest : public DeployTest {
protected:
    Flare* NewFlare(float reload, float delay, const std::string& ordnance = "flrshot", float cone = 0.0f) {
        content::MineValues v;
        v.label = "flare";
        v.geometry = "gvscrap";
        v.lifetime = 100.0f;
        v.ordnance = ordnance;
        v.reloadTime = reload;
        v.delay = delay;
        v.cone = cone;
        v.sound = "flare.wav";
        Install({{"tflare.odf", MineFile(v)}});
        return BuildAt<Flare>("tflare", {0, kGround + 1, 0});
    }
    static std::vector<Ordnance*> Shots() {
        // Newest first on the live list: oldest first here.
        return std::vector<Ordnance*>(Ordnance_LiveList().rbegin(), Ordnance_LiveList().rend());
    }
};

TEST_F(FlareTest, AFlareFasterThanTheFrameFiresSeveralShotsEachWithItsCatchUp) {
    Flare* flare = NewFlare(0.125f, 0.0f);
    ASSERT_NE(flare, nullptr);
    flare->Update(0.5f);
    const std::vector<Ordnance*> shots = Shots();
    ASSERT_EQ(shots.size(), 5u) << "0.5, 0.375, 0.25, 0.125 and 0 are all due";
    for (size_t i = 0; i < shots.size(); ++i) {
        EXPECT_FLOAT_EQ(shots[i]->catchUp, -0.125f * static_cast<float>(i)) << i;
        EXPECT_EQ(shots[i]->netState, kOrdnanceNotSent) << "each machine runs its own flare";
    }
    EXPECT_FLOAT_EQ(flare->fireClock, -0.125f);
    EXPECT_EQ(g_calls.sounds, std::vector<std::string>{"flare.wav/2049"}) << "one looped sound";
    flare->Update(0.1f);
    EXPECT_EQ(Shots().size(), 5u) << "not due yet";
    flare->Update(0.025f);
    EXPECT_EQ(Shots().size(), 6u) << "due at exactly 0";
}

TEST_F(FlareTest, TheStartDelayHoldsTheFirstShot) {
    Flare* flare = NewFlare(0.25f, 1.0f);
    ASSERT_NE(flare, nullptr);
    EXPECT_FLOAT_EQ(flare->fireClock, -1.0f);
    flare->Update(0.75f);
    EXPECT_TRUE(Shots().empty());
    flare->Update(0.375f);
    EXPECT_EQ(Shots().size(), 1u);
    EXPECT_FLOAT_EQ(flare->fireClock, -0.125f);
}

TEST_F(FlareTest, WithoutAConeTheShotLeavesAlongTheFlaresOwnUpAxis) {
    Flare* flare = NewFlare(1.0f, 0.0f);
    ASSERT_NE(flare, nullptr);
    // Tipped over: the flare's up axis is no longer the world's.
    const DVector posit = flare->entity->local.posit;
    flare->entity->local = Matrix_RotationZ(0.5f);
    flare->entity->local.posit = posit;
    const Matrix& m = flare->entity->local;
    flare->Update(0.25f);
    ASSERT_EQ(Shots().size(), 1u);
    const Matrix& shot = Shots()[0]->entity->local;
    EXPECT_NEAR(Vec3_Dot(shot.front, m.up), 1.0f, 1e-5f);
    EXPECT_NEAR(shot.posit.x, posit.x + 0.5 * m.up.x, 1e-4);
    EXPECT_NEAR(shot.posit.y, posit.y + 0.5 * m.up.y, 1e-4);
    // The cone's frame in the flare's axes.
    const Matrix frame = Flare_LaunchFrame(0.0f, 0.0f);
    EXPECT_EQ(frame.front.y, 1.0f);
    EXPECT_EQ(frame.up.z, -1.0f);
    EXPECT_EQ(frame.right.x, 1.0f);
    const Matrix tilted = Flare_LaunchFrame(0.3f, 0.2f);
    EXPECT_NEAR(Vec3_Dot(tilted.front, tilted.up), 0.0f, 1e-6f);
    EXPECT_NEAR(Vec3_Dot(tilted.front, tilted.right), 0.0f, 1e-6f);
    EXPECT_NEAR(tilted.front.y, std::cos(0.2f), 1e-6f);
}

TEST_F(FlareTest, NoOrdnanceAndNoIntervalStayBounded) {
    struct Case {
        const char* what;
        std::string ordnance;
        float reload;
        float dt;
        size_t shots;
        float clock;
    } cases[] = {
        {"no ordnance: nothing fires, the clock runs", "", 0.25f, 1.0f, 0, -0.25f},
        {"zero interval: once an update", "flrshot", 0.0f, 1.0f, 1, 0.0f},
        {"negative interval: once an update", "flrshot", -1.0f, 1.0f, 1, 0.0f},
        {"a backlog past the cap is dropped", "flrshot", 1e-6f, 1.0f, kFlareMostShotsPerUpdate, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Ordnance_DeleteAll();
        Flare* flare = NewFlare(c.reload, 0.0f, c.ordnance);
        ASSERT_NE(flare, nullptr);
        flare->Update(c.dt);
        EXPECT_EQ(Shots().size(), c.shots);
        EXPECT_NEAR(flare->fireClock, c.clock, 1e-6f);
        flare->Update(c.dt);
        EXPECT_EQ(Shots().size(), std::min<size_t>(2 * c.shots, 2 * kFlareMostShotsPerUpdate));
        GameObjectClass_FreeAll();
    }
}

// ---- the magnet -----------------------------------------------------------------------------

class MagnetTest : public DeployTest {
protected:
    Magnet* NewMagnet() {
        content::MineValues v;
        v.label = "magnet";
        v.geometry = "gvscrap";
        v.lifetime = 60.0f;
        v.delay = 2.0f;
        v.range = 20.0f;
        v.centreForce = 30.0f;
        v.edgeForce = 3.0f;
        v.craftDrag = 0.0f;
        v.shotForce = 100.0f;
        v.shotForceGain = 10.0f;
        v.shotDrag = 1.0f;
        v.ambientSound = "hum.wav";
        Install({{"tmagnet.odf", MineFile(v)}});
        return BuildAt<Magnet>("tmagnet", {0, kGround, 0});
    }
    // A sample tank at rest at the point, its swept box current.
    Craft* TankAt(const Vector& at) {
        auto* tank = BuildAt<Craft>("avtank", at);
        if (!tank) return nullptr;
        tank->SetPosition(at);
        tank->SetVelocity(Vector{});
        Collision_UpdateSweptBox(tank->record);
        return tank;
    }
};

TEST_F(MagnetTest, NothingHappensDuringTheArmDelay) {
    Magnet* magnet = NewMagnet();
    ASSERT_NE(magnet, nullptr);
    Craft* tank = TankAt({5, kGround + 1, 0});
    ASSERT_NE(tank, nullptr);
    // The time since placement is taken as an update starts: the third starts at exactly the
    // delay, still unarmed.
    for (float dt : {1.0f, 1.0f, 0.1f}) magnet->Update(dt);
    EXPECT_EQ(Length(tank->euler.velocity), 0.0f);
    EXPECT_TRUE(g_calls.sounds.empty());
    Collision_UpdateSweptBox(tank->record);
    magnet->Update(0.1f);
    EXPECT_GT(tank->euler.velocity.x, 0.0f) << "armed: pushed away";
    EXPECT_EQ(g_calls.sounds, std::vector<std::string>{"hum.wav/2049"});
}

TEST_F(MagnetTest, ThePushFallsLinearlyFromTheCentreForceToTheEdgeForce) {
    Magnet* magnet = NewMagnet();
    ASSERT_NE(magnet, nullptr);
    magnet->lifeTimer = 50.0f;  // armed
    const Vector centre = PositionOf(magnet->entity);
    const float distances[] = {0.5f, 5.0f, 10.0f, 15.0f, 19.5f, 21.0f};
    std::vector<Craft*> tanks;
    for (float d : distances) tanks.push_back(TankAt(Vector{centre.x + d, centre.y, centre.z + 60.0f * tanks.size()}));
    // Each tank alone in range of its own magnet position: move the magnet along.
    for (size_t i = 0; i < tanks.size(); ++i) {
        SCOPED_TRACE(distances[i]);
        ASSERT_NE(tanks[i], nullptr);
        Matrix& m = magnet->entity->local;
        m.posit.z = centre.z + 60.0 * i;
        for (Craft* t : tanks) {
            t->SetVelocity(Vector{});
            Collision_UpdateSweptBox(t->record);
        }
        const float dt = 0.01f;
        magnet->Update(dt);
        const float push = Length(tanks[i]->euler.velocity) / dt;
        const float r = Length(Vec3_Sub(tanks[i]->GetPosition(), PositionOf(magnet->entity)));
        if (r > 20.0f) {
            EXPECT_EQ(push, 0.0f) << "beyond the range";
        } else {
            const float expected = 30.0f + (3.0f - 30.0f) * r / 20.0f;
            EXPECT_NEAR(push, expected, 0.01f);
            EXPECT_GT(tanks[i]->euler.velocity.x, 0.0f) << "positive forces push away";
        }
    }
}

TEST_F(MagnetTest, LiveShotsInRangeAreBentAndTheirSpeedRecomputed) {
    Magnet* magnet = NewMagnet();
    ASSERT_NE(magnet, nullptr);
    magnet->lifeTimer = 50.0f;
    OrdnanceClass* cls = OrdnanceClass::Find("flrshot");
    ASSERT_NE(cls, nullptr);
    const Vector at = PositionOf(magnet->entity);
    struct Case {
        Vector offset;
        bool bent;
    } cases[] = {{{6, 0, 0}, true}, {{0, 8, 0}, true}, {{25, 0, 0}, false}};
    for (const Case& c : cases) {
        Matrix m = kIdentityMatrix;
        m.posit = DVector{at.x + c.offset.x, at.y + c.offset.y, at.z + c.offset.z};
        Ordnance* shot = cls->Build(m, nullptr);
        ASSERT_NE(shot, nullptr);
        const Vector before = shot->motion.velocity;
        const float dt = 0.05f;
        magnet->Update(dt);
        const Vector v = shot->motion.velocity;
        if (!c.bent) {
            EXPECT_EQ(v.z, before.z);
            EXPECT_EQ(v.x, before.x);
            continue;
        }
        const float d = Length(c.offset);
        const float k = 100.0f / std::sqrt(d * d + 0.0001f) + 10.0f;
        EXPECT_NEAR(v.x, before.x + (k * c.offset.x - before.x) * dt, 1e-3f);
        EXPECT_NEAR(v.y, before.y + (k * c.offset.y - before.y) * dt, 1e-3f);
        EXPECT_NEAR(v.z, before.z + (-before.z) * dt, 1e-3f);
        EXPECT_FLOAT_EQ(shot->motion.speed, Length(v));
        EXPECT_FLOAT_EQ(shot->motion.invSpeed, 1.0f / Length(v));
        shot->Remove();
    }
}

// ---- the day wrecker ------------------------------------------------------------------------

TEST_F(DeployTest, TheLaunchersContactIsIgnoredWhileRisingAndAnyOtherBringsItDown) {
    Install();
    GameObject* launcher = BuildAt<GameObject>("avtank", {30, kGround + 1, 0});
    GameObject* other = BuildAt<GameObject>("avtank", {60, kGround + 1, 0});
    ASSERT_NE(launcher, nullptr);
    ASSERT_NE(other, nullptr);
    struct Case {
        uint32_t flags;
        bool fromLauncher;
        bool accepted;
        bool stillUp;
    } cases[] = {
        {kPowerUpInFlight | kPowerUpRising, true, false, true},
        {kPowerUpInFlight | kPowerUpRising, false, true, false},
        {kPowerUpInFlight, true, true, false},
        {kPowerUpInFlight, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << c.fromLauncher);
        auto* wrecker = BuildAt<DayWrecker>("apwrck", {0, kGround + 5, 0});
        ASSERT_NE(wrecker, nullptr);
        wrecker->vehicle->flags = c.flags;
        wrecker->SetLastAttacker(launcher);
        CollisionBody contact{};
        GameObject* touching = c.fromLauncher ? launcher : other;
        EXPECT_EQ(wrecker->OnContact(touching->entity, &contact, nullptr), c.accepted);
        EXPECT_EQ((wrecker->vehicle->flags & kPowerUpInFlight) != 0, c.stillUp);
    }
}

TEST_F(DeployTest, OnceDownTheWreckerScorchesExplodesAndGoes) {
    Install();
    auto* wrecker = BuildAt<DayWrecker>("apwrck", {0, kGround + 1, 0});
    ASSERT_NE(wrecker, nullptr);
    wrecker->vehicle->flags = kPowerUpInFlight;
    const uint32_t handle = wrecker->GetObjHandle();
    wrecker->Update(0.01f);
    EXPECT_EQ(GameObject::FromHandleRaw(handle), wrecker) << "in flight it is a power-up";
    EXPECT_TRUE(Explosion_LiveList().empty());
    wrecker->vehicle->flags = 0;
    const size_t listed = GameObject_List().size();
    wrecker->Update(0.01f);
    Classfnc_Purge();  // the released entity's record goes, and the wrecker with it
    EXPECT_EQ(GameObject::FromHandleRaw(handle), nullptr);
    EXPECT_EQ(GameObject_List().size(), listed - 1);
    ASSERT_EQ(Explosion_LiveList().size(), 1u);
    EXPECT_STREQ(Explosion_LiveList().front()->explosionClass->nameText, "xwreck");
}

TEST_F(DeployTest, AWreckerShotDownFlashesByNearnessAndThrowsSparks) {
    Install();
    Explosion_Manager().MissionSetup();
    Game_Settings().flags = kSettingsRichExplosions;
    static RenderView* const kView = reinterpret_cast<RenderView*>(&g_calls);
    Seam_Render().mainView = [] { return kView; };
    Seam_Render().sphereViewDepth = [](const RenderView*, const float c[3], float, float* depth) {
        *depth = 40.0f - c[0];
        return true;
    };
    auto* wrecker = BuildAt<DayWrecker>("apwrck", {0, kGround + 1, 0});
    ASSERT_NE(wrecker, nullptr);
    wrecker->vehicle->flags = kPowerUpInFlight;
    const float r = wrecker->radius;
    const int sparksBefore = Particle_Effect().Count();
    wrecker->Explode();
    ASSERT_EQ(g_calls.tint.size(), 1u);
    const float k = 3.0f * r / 40.0f;
    EXPECT_FLOAT_EQ(g_calls.tint[0], k * k);
    EXPECT_EQ(Particle_Effect().Count() - sparksBefore, static_cast<int>(r * 10.0f));
    ASSERT_EQ(Explosion_LiveList().size(), 1u);
    EXPECT_EQ(Explosion_LiveList().front()->explosionClass, Explosion_Manager().stdExplosionBld);
}

// ---- the dispenser --------------------------------------------------------------------------

class DispenserTest : public DeployTest {
protected:
    void Arm(const char* dispensed) {
        std::string text, error;
        content::DispenserValues v;
        v.dispense = dispensed;
        v.reloadTime = 0.5f;
        ASSERT_TRUE(content::DispenserDefinitionText(v, &text, &error)) << error;
        Install({{"tdisp.odf", text}});
        owner = BuildAt<GameObject>("avtank", {0, kGround + 3, 0});
        ASSERT_NE(owner, nullptr);
        owner->SetTeam(1);  // an empty craft has left its team
        Entity* hardpoint = Entity_New(owner->entity);
        Entity_SetName(hardpoint, "hp_test");
        hardpoint->local.posit = DVector{0.0, 1.0, 2.0};
        auto* cls = dynamic_cast<DispenserClass*>(WeaponClass::Find("tdisp"));
        ASSERT_NE(cls, nullptr);
        gun = dynamic_cast<Dispenser*>(cls->Build(owner->entity, hardpoint));
        ASSERT_NE(gun, nullptr);
        gun->UpdateMount(0.0f);
        ASSERT_EQ(gun->owner, owner);
    }
    GameObject* Pull(float dt = 0.1f) {
        const size_t before = GameObject_List().size();
        gun->PullTrigger();
        gun->UpdateMount(dt);
        gun->Update(dt);
        return GameObject_List().size() > before ? GameObject_List().back() : nullptr;
    }
    GameObject* owner = nullptr;
    Dispenser* gun = nullptr;
};

TEST_F(DispenserTest, StandingKindsGoExactlyAtTheMuzzleOthersAheadWithTheOwnersSpeed) {
    Arm("apmagnet");
    auto* cls = static_cast<DispenserClass*>(gun->weaponClass);
    struct Case {
        const char* cls;
        bool standing;
        bool keepsHeight;  // mines settle on the floor, craft hover over it
    } cases[] = {{"abbunk", true, true},
                 {"scrap", true, true},
                 {"apmagnet", true, false},
                 {"aprepa", false, true},
                 {"avscout", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cls);
        cls->dispenseClass = GameObjectClass::Find(c.cls);
        ASSERT_NE(cls->dispenseClass, nullptr);
        gun->shotClock = 0.0;
        owner->SetAmmo(owner->maxAmmo);
        owner->SetVelocity(Vector{3, 0, 4});
        owner->target = 0x1234;
        Matrix muzzle;
        Matrix_Multiply(muzzle, gun->entity->local, gun->mountMatrix);
        GameObject* made = Pull();
        ASSERT_NE(made, nullptr);
        const Matrix& at = made->entity->local;
        const double ahead = c.standing ? 0.0 : 1.0;
        EXPECT_NEAR(at.posit.x, muzzle.posit.x + ahead * muzzle.front.x, 1e-4);
        EXPECT_NEAR(at.posit.z, muzzle.posit.z + ahead * muzzle.front.z, 1e-4);
        if (c.keepsHeight) {
            EXPECT_NEAR(at.posit.y, muzzle.posit.y + ahead * muzzle.front.y, 1e-4);
        }
        EXPECT_EQ(Length(made->euler.velocity), c.standing ? 0.0f : 5.0f);
        EXPECT_EQ(made->team, owner->team);
        EXPECT_EQ(made->target, 0x1234u);
        EXPECT_EQ(made->lastAttacker, owner->GetObjHandle());
        EXPECT_EQ(g_calls.joined.back(), made) << "joins the mission";
        EXPECT_EQ(g_calls.sounds.back(), "wwgpl.wav/2048");
        EXPECT_EQ(owner->curAmmo, owner->maxAmmo - Dispenser_CostOf(cls->dispenseClass));
        EXPECT_LT(gun->shotClock, 0.0) << "reloading";
    }
}

TEST_F(DispenserTest, AFullSlotRangeOrTooLittleAmmunitionBuildsNothingAndKeepsTheClock) {
    Arm("apmagnet");
    GameObjectClass* magnet = GameObjectClass::Find("apmagnet");
    const int32_t cost = Dispenser_CostOf(magnet);
    ASSERT_GT(cost, 0);

    // Enough ammunition: one magnet and its cost taken.
    owner->SetAmmo(cost * 2);
    ASSERT_NE(Pull(), nullptr);
    EXPECT_EQ(owner->curAmmo, cost);
    // Too little ammunition.
    owner->SetAmmo(cost - 1);
    gun->shotClock = 0.0;
    EXPECT_EQ(Pull(0.1f), nullptr);
    EXPECT_DOUBLE_EQ(gun->shotClock, 0.1f) << "the clock keeps its value";
    EXPECT_EQ(owner->curAmmo, cost - 1);
    // A class with team slots, all taken.
    owner->SetAmmo(cost * 4);
    magnet->teamSlotFirst = 80;
    magnet->teamSlotLast = 81;
    TeamRecord* team = TeamRecord::Get(owner->team);
    ASSERT_NE(team, nullptr) << owner->team;
    team->SetSlot(80, owner);
    team->SetSlot(81, owner);
    EXPECT_EQ(Pull(0.1f), nullptr);
    EXPECT_NEAR(gun->shotClock, 0.2, 1e-6);
    team->SetSlot(81, nullptr);
    EXPECT_NE(Pull(0.1f), nullptr) << "a free slot";
    team->SetSlot(80, nullptr);
    magnet->teamSlotFirst = magnet->teamSlotLast = -1;
    // Released, a positive clock drops to 0; a reloading one keeps counting.
    gun->shotClock = 0.3;
    gun->Update(0.1f);
    EXPECT_EQ(gun->shotClock, 0.0);
    gun->shotClock = -0.3;
    gun->Update(0.1f);
    EXPECT_NEAR(gun->shotClock, -0.2, 1e-6);
    EXPECT_FALSE(gun->IsLoaded());
}

TEST_F(DispenserTest, InANetworkGameOnlyTheOwnersMachineBuildsAndRegisters) {
    Arm("apmagnet");
    g_calls.network = true;
    GameObject* made = Pull();
    ASSERT_NE(made, nullptr);
    ASSERT_FALSE(g_calls.registered.empty());
    EXPECT_EQ(g_calls.registered.back(), made);
    owner->ownership = kNetOwnedRemote;
    gun->shotClock = 0.0;
    EXPECT_EQ(Pull(), nullptr);
    EXPECT_LT(gun->shotClock, 0.0) << "the owner's machine builds it; this one reloads";
}

// ---- mines that guard an area ---------------------------------------------------------------

struct MarkedCircle {
    float x, z, radius;
    int team;
    bool add;
};
std::vector<MarkedCircle> g_circles;
bool g_allyInFireCone = false;
std::vector<float> g_lineOfFireRanges;

class GuardMineTest : public DeployTest {
protected:
    void SetUp() override {
        DeployTest::SetUp();
        g_circles.clear();
        g_allyInFireCone = false;
        g_lineOfFireRanges.clear();
        Seam_Ai().pathGridMarkCircle = [](float x, float z, float r, int team, bool add) {
            g_circles.push_back({x, z, r, team, add});
        };
        Seam_Ai().allyInLineOfFire = [](GameObject*, float range2, float) {
            g_lineOfFireRanges.push_back(range2);
            return g_allyInFireCone;
        };
    }
    void InstallGuards(int needClearShot = -1) {
        content::MineValues prox;
        prox.label = "proximity";
        prox.geometry = "gvscrap";
        prox.triggerRange = 10.0f;
        prox.searchPeriod = 0.5f;
        prox.blast = "xprox";
        content::MineValues wmine;
        wmine.label = "weaponmine";
        wmine.geometry = "gvscrap";
        wmine.triggerRange = 30.0f;
        wmine.depthWeight = 10.0f;
        wmine.weapon = "wcannon";
        wmine.needClearShot = needClearShot;
        content::MineValues plain;
        plain.geometry = "gvscrap";
        Install({{"tprox.odf", MineFile(prox)}, {"twmine.odf", MineFile(wmine)}, {"tmine.odf", MineFile(plain)}});
    }
    // A mine placed in the world joins its team as the placing code makes it.
    template <class Kind>
    Kind* Placed(const char* name, const Vector& at, int32_t team) {
        Kind* m = BuildAt<Kind>(name, at, team);
        if (m) m->SetTeam(team);
        return m;
    }
    // A passer-by: a plain mine of the team at the spot, moving with the velocity.
    Mine* Passer(const Vector& at, const Vector& velocity, int32_t team) {
        Mine* m = Placed<Mine>("tmine", at, team);
        if (m) m->euler.velocity = velocity;
        return m;
    }
};

TEST_F(GuardMineTest, TheKindsAreGuardingMinesThatNeverExpire) {
    InstallGuards();
    auto* prox = dynamic_cast<ProximityMineClass*>(GameObjectClass_FindPrototype("proximity"));
    auto* wmine = dynamic_cast<WeaponMineClass*>(GameObjectClass_FindPrototype("weaponmine"));
    ASSERT_NE(prox, nullptr);
    ASSERT_NE(wmine, nullptr);
    EXPECT_EQ(prox->health, 150);
    EXPECT_EQ(wmine->health, 1000);
    EXPECT_GE(prox->lifetime, 1e29f);
    EXPECT_GE(wmine->lifetime, 1e29f);
    auto* tprox = dynamic_cast<ProximityMineClass*>(GameObjectClass::Find("tprox"));
    ASSERT_NE(tprox, nullptr);
    EXPECT_FLOAT_EQ(tprox->triggerRange, 10.0f);
    EXPECT_FLOAT_EQ(tprox->searchPeriod, 0.5f);
    EXPECT_NE(tprox->blastClass, nullptr);
    auto* twmine = dynamic_cast<WeaponMineClass*>(GameObjectClass::Find("twmine"));
    ASSERT_NE(twmine, nullptr);
    EXPECT_NE(twmine->mineWeapon, nullptr);
    EXPECT_TRUE(twmine->needClearShot) << "a cannon needs a clear shot unless told otherwise";
}

TEST_F(GuardMineTest, AProximityMineGoesOffOnlyForSomeoneLeavingWithNoAllyNear) {
    InstallGuards();
    struct Passing {
        Vector at, velocity;
        int32_t team;
    };
    struct Case {
        const char* name;
        std::vector<Passing> passers;
        bool triggers;
    } cases[] = {
        {"nobody near", {}, false},
        {"an enemy leaving", {{{5, kGround, 0}, {3, 0, 0}, 2}}, true},
        {"an enemy approaching", {{{5, kGround, 0}, {-3, 0, 0}, 2}}, false},
        {"an enemy standing", {{{5, kGround, 0}, {0, 0, 0}, 2}}, false},
        {"an enemy leaving out of range", {{{12, kGround, 0}, {3, 0, 0}, 2}}, false},
        {"an ally near holds it while an enemy leaves",
         {{{5, kGround, 0}, {3, 0, 0}, 2}, {{0, kGround, 4}, {0, 0, 0}, 1}}, false},
        {"an ally out of range does not", {{{5, kGround, 0}, {3, 0, 0}, 2}, {{0, kGround, 15}, {0, 0, 0}, 1}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProximityMine* mine = Placed<ProximityMine>("tprox", {0, kGround + 1, 0}, 1);
        ASSERT_NE(mine, nullptr);
        std::vector<Mine*> passers;
        for (const Passing& p : c.passers) passers.push_back(Passer(p.at, p.velocity, p.team));
        // Within the first period nothing is searched.
        mine->Update(0.4f);
        EXPECT_EQ(mine->entity->flags & kMineDeadFlags, 0u);
        EXPECT_EQ(mine->SearchTriggers(), c.triggers) << "the mine on its own team does not hold itself";
        mine->Update(0.2f);
        EXPECT_NEAR(mine->searchTimer, 0.4f, 1e-5f) << "the next search is a period on";
        EXPECT_EQ((mine->entity->flags & kMineDeadFlags) == kMineDeadFlags, c.triggers);
        if (c.triggers) {
            EXPECT_FLOAT_EQ(static_cast<float>(mine->entity->local.posit.y), Terrain_GetHeight(0, 0));
            mine->Update(0.1f);  // a dead mine goes
        } else {
            mine->TearDown();
        }
        for (Mine* p : passers) p->TearDown();
    }
}

TEST_F(GuardMineTest, ATriggeredMineIsRegisteredInANetworkGame) {
    InstallGuards();
    for (bool network : {false, true}) {
        g_calls.registered.clear();
        g_calls.network = network;
        ProximityMine* mine = Placed<ProximityMine>("tprox", {0, kGround + 1, 0}, 1);
        Mine* enemy = Passer({3, kGround, 0}, {2, 0, 0}, 2);
        ASSERT_NE(mine, nullptr);
        mine->Trigger();
        EXPECT_EQ(mine->entity->flags & kMineDeadFlags, kMineDeadFlags);
        EXPECT_EQ(g_calls.registered.size(), network ? 1u : 0u);
        mine->TearDown();
        enemy->TearDown();
    }
}

TEST_F(GuardMineTest, TheSearchTimerIsSavedFirstAndOlderLoadsStaggerIt) {
    InstallGuards();
    ProximityMine* saved = Placed<ProximityMine>("tprox", {0, kGround + 1, 0}, 1);
    ASSERT_NE(saved, nullptr);
    saved->searchTimer = 0.125f;
    bool ok = false;
    const std::string bytes = CaptureFields(false, [&](FILE* f) { return saved->Save(f); }, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(bytes.find("searchTimer"), 0u) << "before the mine's fields";
    EXPECT_LT(bytes.find("searchTimer"), bytes.find("lifeTimer"));
    {
        FieldReadScope scope(bytes, false, 1038);
        ProximityMine* loaded = Placed<ProximityMine>("tprox", {5, kGround + 1, 0}, 1);
        EXPECT_TRUE(loaded->Load());
        EXPECT_EQ(scope.Offset(), scope.Size()) << "every field read";
        EXPECT_FLOAT_EQ(loaded->searchTimer, 0.125f);
        loaded->TearDown();
    }
    const std::string mineOnly = CaptureFields(false, [&](FILE* f) { return saved->Building::Save(f); });
    for (bool network : {true, false}) {
        SCOPED_TRACE(network ? "network game" : "single game");
        g_calls.network = network;
        for (int i = 0; i < 20; ++i) {
            ProximityMine* loaded = Placed<ProximityMine>("tprox", {5, kGround + 1, 0}, 1);
            loaded->searchTimer = -7.0f;
            FieldReadScope scope(mineOnly, false, 1037);
            EXPECT_TRUE(loaded->Load());
            if (network) {
                EXPECT_FLOAT_EQ(loaded->searchTimer, static_cast<float>(loaded->GetObjHandle() % 16) * 0.5f / 15.0f);
            } else {
                EXPECT_GE(loaded->searchTimer, 0.0f);
                EXPECT_LE(loaded->searchTimer, 0.5f);
            }
            loaded->TearDown();
        }
    }
    saved->TearDown();
}

TEST_F(GuardMineTest, JoiningATeamMarksTheTriggerCircleAndLeavingClearsIt) {
    InstallGuards();
    for (const char* name : {"tprox", "twmine"}) {
        SCOPED_TRACE(name);
        g_circles.clear();
        Mine* mine = Placed<Mine>(name, {7, kGround + 1, -3}, 2);
        ASSERT_NE(mine, nullptr);
        ASSERT_EQ(g_circles.size(), 1u);
        const float range = std::string(name) == "tprox" ? 10.0f : 30.0f;
        EXPECT_FLOAT_EQ(g_circles[0].x, 7.0f);
        EXPECT_FLOAT_EQ(g_circles[0].z, -3.0f);
        EXPECT_FLOAT_EQ(g_circles[0].radius, range);
        EXPECT_EQ(g_circles[0].team, 2);
        EXPECT_TRUE(g_circles[0].add);
        mine->LeaveTeam();
        ASSERT_EQ(g_circles.size(), 2u);
        EXPECT_FLOAT_EQ(g_circles[1].radius, range);
        EXPECT_EQ(g_circles[1].team, 2);
        EXPECT_FALSE(g_circles[1].add);
        mine->TearDown();
    }
}

TEST_F(GuardMineTest, DepthCountsTenfoldSoTheMineReachesOneInRootTenAsFarAlongZ) {
    const float range = 30.0f;
    const float along = range / std::sqrt(10.0f);
    EXPECT_NEAR(WeaponMine::WeightedDistanceSq({range, 0, 0}, 10.0f), range * range, 1e-3f);
    EXPECT_NEAR(WeaponMine::WeightedDistanceSq({0, range, 0}, 10.0f), range * range, 1e-3f);
    EXPECT_NEAR(WeaponMine::WeightedDistanceSq({0, 0, along}, 10.0f), range * range, 1e-2f);
    EXPECT_NEAR(WeaponMine::WeightedDistanceSq({1, 2, 3}, 1.0f), 14.0f, 1e-5f);
}

TEST_F(GuardMineTest, AWeaponMineAimsAtTheNearestEnemyItMayShoot) {
    struct Case {
        const char* name;
        Vector enemyAt;
        int32_t enemyTeam;
        int needClearShot;
        bool allyInCone;
        bool targets, fires;
    } cases[] = {
        {"an enemy within range along x", {25, kGround + 1, 0}, 2, -1, false, true, true},
        {"along z it reaches a tenth of the square", {0, kGround + 1, 9}, 2, -1, false, true, true},
        {"too far along z", {0, kGround + 1, 12}, 2, -1, false, false, false},
        {"an ally is never a target", {10, kGround + 1, 0}, 1, -1, false, false, false},
        {"a friend in the fire cone holds the trigger", {25, kGround + 1, 0}, 2, -1, true, true, false},
        {"without a clear shot the fire cone is not asked", {25, kGround + 1, 0}, 2, 0, true, true, true},
        // Below the surface the ray to it meets the ground first.
        {"the ground between rejects it under a clear shot", {25, kGround - 5, 0}, 2, -1, false, false, false},
        {"without a clear shot the ground does not matter", {25, kGround - 5, 0}, 2, 0, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        InstallGuards(c.needClearShot);
        g_allyInFireCone = c.allyInCone;
        // The rays walk the cells of a 1280 m map.
        TerrainBounds.minX = TerrainBounds.minZ = 0;
        TerrainBounds.maxX = TerrainBounds.maxZ = 127;
        // Away from the map's corner, where the terrain has no surface.
        const float bx = 200.0f, bz = 200.0f;
        WeaponMine* mine = Placed<WeaponMine>("twmine", {bx, kGround + 1, bz}, 1);
        ASSERT_NE(mine, nullptr);
        ASSERT_NE(mine->weapon, nullptr);
        ASSERT_NE(mine->hardpoints, nullptr);
        EXPECT_EQ(mine->hardpoints->weapons[0], mine->weapon);
        EXPECT_EQ(mine->hardpoints->selected & 1u, 1u);
        Mine* other = Placed<Mine>("tmine", {0, 0, 0}, c.enemyTeam);
        ASSERT_NE(other, nullptr);
        // The passer stands where the case puts it, floor or not.
        other->SetPosition(Vector{bx + c.enemyAt.x, c.enemyAt.y, bz + c.enemyAt.z});
        EXPECT_FALSE(mine->weapon->CanFire()) << "no ammunition yet";
        mine->curAmmo = 1000;
        ASSERT_TRUE(mine->weapon->CanFire());
        mine->Update(0.01f);
        EXPECT_EQ(mine->target != 0, c.targets);
        if (c.targets) {
            EXPECT_EQ(mine->target, other->GetObjHandle());
        }
        EXPECT_EQ(mine->weapon->IsTriggerDown(), c.fires);
        EXPECT_EQ(g_lineOfFireRanges.size(), (c.targets && c.needClearShot != 0) ? 1u : 0u);
        other->TearDown();
        // Its death is a building's: the weapon goes first, then the mine is torn down with it.
        const uint32_t handle = mine->GetObjHandle();
        mine->Explode();
        EXPECT_EQ(GameObject::FromHandle(handle), nullptr);
    }
}

}  // namespace
