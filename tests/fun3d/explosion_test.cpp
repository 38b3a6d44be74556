#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/gamesettings.h"
#include "core/registration.h"
#include "core/seams/audio.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "fun3d/craftservices.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectslot.h"
#include "weapons/explosion.h"
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
        damage->amount = -1.0f;  // a handler may change what it receives
        return false;
    }
    std::vector<DamageInfo> hits;
    Vector lastOffset{};
};

class ExplosionTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        GameObject_CreateGrid();
        Clock_SetTime(0.3f);
    }
    // An explosion class: frames at the given seconds each, radii, damage split 60/40, push.
    ExplosionClass* Class(const char* name, int frames, float secondsPerFrame, float inner, float outer,
                          float push = 0.0f) {
        content::ExplosionValues v;
        v.frameCount = frames;
        v.secondsPerFrame = secondsPerFrame;
        v.innerRadius = inner;
        v.outerRadius = outer;
        v.writeDamage = true;
        v.damage[0] = 60;
        v.damage[1] = 40;
        v.pushStrength = push;
        AddExplosion(name, v);
        return ExplosionClass::Find(name);
    }
    Target* At(float x, float z, int32_t type = 1, int32_t team = 1) {
        Entity* e = NewRoot(team, 0, false);
        e->type = type;
        Target* t = GameObject_New<Target>(e, &NewClass());
        t->SetPosition(Vector{x, 0.0f, z});
        return t;
    }
    static Matrix Origin() { return kIdentityMatrix; }
};

TEST_F(ExplosionTest, PrototypesFollowTheRegistrationTableAndKeepTheirFrameRate) {
    const auto& prototypes = ExplosionClass::Prototypes();
    const auto table = Registration_ExplosionClasses();
    ASSERT_EQ(prototypes.size(), table.size());
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_STREQ(prototypes[i]->label, table[i].label);
        EXPECT_EQ(prototypes[i]->signature, table[i].signature);
        EXPECT_EQ(std::bit_cast<uint32_t>(prototypes[i]->frameRate), 0x00800000u);
    }
    content::ExplosionValues bare;  // no keys but the label
    AddExplosion("xbare", bare);
    ExplosionClass* cls = ExplosionClass::Find("xbare");
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(std::bit_cast<uint32_t>(cls->frameRate), 0x00800000u) << "the default survives the reciprocal";
    EXPECT_EQ(cls->frameCount, 1) << "below 1 becomes 1";
    EXPECT_NE(cls->poolEntity, nullptr);
}

TEST_F(ExplosionTest, TheBlastFallsOffLinearlyInTheSquaredDistance) {
    ExplosionClass* cls = Class("xrange", 8, 0.1f, 2.0f, 10.0f);
    ExplosionClass* flat = Class("xflat", 8, 0.1f, 3.0f, 3.0f);
    ExplosionClass* wide = Class("xwide", 8, 0.1f, 6.0f, 3.0f);
    struct Case {
        const char* what;
        ExplosionClass* cls;
        float x, z;
        int hits;
        float amount;
    } cases[] = {
        {"inside the inner radius", cls, 1.0f, 0.0f, 1, 100.0f},
        {"at the inner radius: the formula, full", cls, 2.0f, 0.0f, 1, 100.0f},
        {"between the radii", cls, 6.0f, 0.0f, 1, 100.0f * 64.0f / 96.0f},
        {"at the outer radius", cls, 10.0f, 0.0f, 0, 0.0f},
        {"in the square, outside the circle", cls, 8.0f, 8.0f, 0, 0.0f},
        {"outer = inner, just outside", flat, 3.5f, 0.0f, 0, 0.0f},
        {"outer = inner, inside", flat, 2.5f, 0.0f, 1, 100.0f},
        {"inner past outer: full within the inner radius", wide, 5.0f, 0.0f, 1, 100.0f},
    };
    for (const Case& c : cases) {
        Target* t = At(c.x, c.z);
        GameObject_UpdateGrid();
        Explosion* e = c.cls->Build(Origin(), nullptr);
        ASSERT_EQ(t->hits.size(), static_cast<size_t>(c.hits)) << c.what;
        if (c.hits) {
            EXPECT_NEAR(t->hits[0].amount, c.amount, 1e-3f) << c.what;
            EXPECT_FLOAT_EQ(t->lastOffset.x, c.x) << c.what;
        }
        EXPECT_FLOAT_EQ(e->damageInfo.amount, 100.0f) << c.what << ": the explosion's own record is untouched";
        e->Remove();
        delete t;
    }
}

TEST_F(ExplosionTest, StartFillsTheRecordAndHoldsTheOwnerOnce) {
    static std::vector<std::string> sounds;
    sounds.clear();
    Seam_Audio().soundPlay = [](const char* name, Entity*, uint32_t flags, int header) -> void* {
        sounds.push_back(std::string(name) + " " + std::to_string(flags) + " " + std::to_string(header));
        return nullptr;
    };
    content::ExplosionValues v;
    v.frameCount = 3;
    v.secondsPerFrame = 0.5f;
    v.sound = "boom.wav";
    v.innerRadius = 4.0f;
    v.writeDamage = true;
    v.damage[1] = 25;
    AddExplosion("xsound", v);
    ExplosionClass* cls = ExplosionClass::Find("xsound");
    ASSERT_NE(cls, nullptr);

    Target* shooter = At(50.0f, 50.0f);
    shooter->playerId = 9;
    shooter->ownership = kNetOwnedRemote;
    shooter->entity->flags |= kEntityUser | 0x00050000;
    const uint16_t uses = shooter->entity->useCount;
    Matrix m = Origin();
    m.posit = DVector{1.0, 2.0, 3.0};
    Explosion* e = cls->Build(m, shooter->entity);
    EXPECT_EQ(sounds, (std::vector<std::string>{"boom.wav 6144 50"}));
    EXPECT_EQ(e->entity->flags, 0x00050000u) << "the owner's team bits only";
    EXPECT_FLOAT_EQ(e->entity->boundsRadius, 4.0f);
    EXPECT_DOUBLE_EQ(e->entity->local.posit.y, 2.0);
    EXPECT_EQ(e->damageInfo.source, shooter->entity);
    EXPECT_EQ(e->damageInfo.carrier, e->entity);
    EXPECT_EQ(e->damageInfo.kind, 0x2 | kDamageUserSide | kDamageExtraKind);
    EXPECT_EQ(e->damageInfo.playerId, 9);
    EXPECT_FLOAT_EQ(e->damageInfo.amount, 25.0f);
    EXPECT_FLOAT_EQ(e->lastFrame, e->frame + 2.0f);
    EXPECT_EQ(shooter->entity->useCount, uses + 1);
    e->ReleaseOwner();
    e->Remove();
    EXPECT_EQ(shooter->entity->useCount, uses) << "dropped exactly once";

    Explosion* orphan = cls->Build(m, nullptr);
    EXPECT_EQ(orphan, e) << "the pool gives the same object back";
    EXPECT_EQ(orphan->damageInfo.source, nullptr);
    EXPECT_EQ(orphan->damageInfo.playerId, kNoPlayer);
    EXPECT_EQ(orphan->entity->flags, 0u);
    orphan->Remove();
}

TEST_F(ExplosionTest, PoolingReusesTheEntityAndItsObject) {
    ExplosionClass* cls = Class("xpool", 2, 0.1f, 1.0f, 0.0f);
    Explosion* first = cls->Build(Origin(), nullptr);
    Entity* entity = first->entity;
    ASSERT_EQ(Explosion_LiveList().size(), 1u);
    first->entity->flags |= kEntityDead;
    Explosion_Manager().Simulate(0.01f);
    EXPECT_TRUE(Explosion_LiveList().empty()) << "removed in the same update";
    EXPECT_EQ(cls->poolEntity->child, entity);
    Explosion* again = cls->Build(Origin(), nullptr);
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->entity, entity);
    EXPECT_EQ(Entity_GetParent(entity), nullptr) << "no parent while it burns";
    EXPECT_EQ(entity->flags & kEntityDead, 0u);
    Explosion* second = cls->Build(Origin(), nullptr);
    EXPECT_NE(second, first) << "the pool is empty: a new one";
    EXPECT_EQ(Explosion_LiveList().front(), second) << "newest first";
}

TEST_F(ExplosionTest, LifeEndsWithTheAnimationAndANonPositiveRateEndsAtOnce) {
    struct Case {
        const char* what;
        int frames;
        float secondsPerFrame;
        int updatesAlive;  // updates after which it is still burning
    } cases[] = {
        {"one frame dies in its first update", 1, 0.5f, 0},
        {"four frames at 0.1 s", 4, 0.1f, 2},
        {"zero seconds per frame", 8, 0.0f, 0},
        {"negative seconds per frame", 8, -0.5f, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        ExplosionClass* cls = Class(("xlife" + std::to_string(n++)).c_str(), c.frames, c.secondsPerFrame, 1.0f, 0.0f, 3.0f);
        Explosion* e = cls->Build(Origin(), nullptr);
        int updates = 0;
        while (Explosion_LiveList().size() == 1 && updates < 100) {
            Explosion_Manager().Simulate(0.1f);
            ++updates;
        }
        EXPECT_EQ(updates, c.updatesAlive + 1) << c.what;
        EXPECT_TRUE(Explosion_LiveList().empty()) << c.what;
        EXPECT_LE(e->pushLeft, 3.0f + 1e-6f) << c.what << ": the push never grows";
    }
}

TEST_F(ExplosionTest, ThePushShakesOnlyMovingObjectsAndRunsOutWithTheAnimation) {
    ExplosionClass* cls = Class("xpush", 8, 0.1f, 2.0f, 10.0f, 5.0f);
    Target* craft = At(1.0f, 0.0f, 1);
    Target* building = At(1.0f, 1.0f, 2);
    Target* person = At(4.0f, 0.0f, 4);
    Target* far = At(11.0f, 0.0f, 1);
    GameObject_UpdateGrid();
    Explosion* e = cls->Build(Origin(), nullptr);
    EXPECT_FLOAT_EQ(e->pushLeft, 5.0f);
    EXPECT_FLOAT_EQ(e->pushDrain, 5.0f * 10.0f / 8.0f);
    e->Update(0.1f);
    auto moved = [](const GameObject* o) {
        return o->euler.velocity.x != 0.0f || o->euler.velocity.y != 0.0f || o->euler.velocity.z != 0.0f;
    };
    EXPECT_TRUE(moved(craft));
    EXPECT_TRUE(moved(person));
    EXPECT_FALSE(moved(building)) << "type 2 does not move";
    EXPECT_FALSE(moved(far)) << "beyond the outer radius";
    const Vector v = craft->euler.velocity;
    EXPECT_FLOAT_EQ(craft->euler.speed, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
    EXPECT_NE(craft->euler.angularVelocity.y, 0.0f);
    // Inside the inner radius the strength is dt x push: the forward kick is N(2t) x 5 x 0.5.
    EXPECT_FLOAT_EQ(v.x, Noise_Gradient1D(2.0f * Clock_GetTime()) * 5.0f * 0.5f);
    for (int i = 1; i < 8; ++i) e->Update(0.1f);
    EXPECT_LE(e->pushLeft, 1e-5f) << "drained with the animation";
    const Vector before = craft->euler.velocity;
    e->Update(0.1f);
    EXPECT_FLOAT_EQ(craft->euler.velocity.x, before.x) << "no push once it is spent";
}

TEST_F(ExplosionTest, TheStandardClassesFollowTheSettingsFlag) {
    for (const char* name : {"xbldxpl", "xcarxpl", "xsecxpl", "xbldxpla", "xcarxpla", "xsecxpla", "xcarxplb", "xgndshk"})
        Class(name, 4, 0.1f, 1.0f, 0.0f);
    ExplosionManager& m = Explosion_Manager();
    m.MissionSetup();
    EXPECT_EQ(m.stdExplosionBld, ExplosionClass::Find("xbldxpl"));
    EXPECT_EQ(m.stdExplosionCar, ExplosionClass::Find("xcarxpl"));
    EXPECT_EQ(m.stdExplosionSec, ExplosionClass::Find("xsecxpl"));
    EXPECT_EQ(m.stdExplosionCarB, m.stdExplosionCar);
    EXPECT_EQ(m.stdExplosionGndShk, nullptr);
    Game_Settings().flags |= kSettingsRichExplosions;
    m.MissionSetup();
    EXPECT_EQ(m.stdExplosionBld, ExplosionClass::Find("xbldxpla"));
    EXPECT_EQ(m.stdExplosionCarB, ExplosionClass::Find("xcarxplb"));
    EXPECT_NE(m.stdExplosionCarB, m.stdExplosionCar);
    EXPECT_EQ(m.stdExplosionGndShk, ExplosionClass::Find("xgndshk"));
    EXPECT_NE(m.stdExplosionGndShk, nullptr);
}

TEST_F(ExplosionTest, RenderQueuesTheWholeFrameAndTheTeardownPhasesEmptyTheList) {
    static std::vector<int> sprites;
    static float radius = 0.0f;
    sprites.clear();
    Seam_Render().queueBillboard = [](RenderView*, const float*, float r, int sprite) {
        sprites.push_back(sprite);
        radius = r;
    };
    Seam_Render().spriteFind = [](const char*) { return 20; };
    content::ExplosionValues v;
    v.firstFrame = "burst.0";
    v.frameCount = 8;
    v.secondsPerFrame = 0.1f;
    v.innerRadius = 2.5f;
    AddExplosion("xdraw", v);
    ExplosionClass* cls = ExplosionClass::Find("xdraw");
    ASSERT_NE(cls, nullptr);
    Target* owner = At(0.0f, 0.0f);
    const uint16_t uses = owner->entity->useCount;
    cls->Build(Origin(), owner->entity);
    cls->Build(Origin(), owner->entity);
    Explosion_Manager().Simulate(0.27f);
    Explosion_Manager().Render(nullptr);
    EXPECT_EQ(sprites, (std::vector<int>{22, 22})) << "frame 22.7 shows sprite 22";
    EXPECT_FLOAT_EQ(radius, 2.5f);

    Explosion_Manager().MissionEnd();
    EXPECT_EQ(owner->entity->useCount, uses) << "owners dropped at mission end";
    EXPECT_EQ(Explosion_LiveList().size(), 2u);
    Explosion_Manager().MissionCleanup();
    EXPECT_TRUE(Explosion_LiveList().empty());
    EXPECT_EQ(owner->entity->useCount, uses) << "not dropped twice";
}

// A craft's deaths reach the standard vehicle explosions once the weapons are installed: the big
// one for the wreck, the secondary one for the pilot; nothing for a ground explosion.
TEST_F(ExplosionTest, CraftDeathsStartTheStandardVehicleExplosions) {
    for (const char* name : {"xbldxpl", "xcarxpl", "xsecxpl"}) Class(name, 4, 0.1f, 1.0f, 0.0f);
    Explosion_Manager().MissionSetup();
    Weapons_InstallSeam();
    CraftServices& svc = Craft_Services();
    Matrix at = kIdentityMatrix;
    at.posit = DVector{10.0, 2.0, 30.0};
    EXPECT_TRUE(svc.explosionBuild(nullptr, kCraftExplosionMain, at));
    EXPECT_TRUE(svc.explosionBuild(nullptr, kCraftExplosionPilotDeath, at));
    EXPECT_FALSE(svc.explosionBuild(nullptr, kCraftExplosionGround, at));
    EXPECT_EQ(Explosion_LiveList().size(), 2u);
    Explosion_Manager().MissionCleanup();
    Craft_ResetServices();
}

}  // namespace
