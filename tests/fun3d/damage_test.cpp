#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "Objkr/classfnc.h"
#include "core/shake.h"
#include "weapons/damage.h"
#include "weapons/explosion.h"
#include "weapons_fixture.h"

namespace {

struct Received {
    Entity* target;
    DamageInfo info;
    Entity* extra;
};
std::vector<Received> g_received;
std::map<const Entity*, float> g_mass;

void Dynamics(EntityDynamics* out, Entity* e) {
    EntityDynamics_Init(*out);
    auto it = g_mass.find(e);
    if (it != g_mass.end()) out->mass = it->second;
}
int Damage(Entity* e, DamageInfo* info, Entity* extra) {
    g_received.push_back({e, *info, extra});
    return 7;
}

class DamageTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        g_received.clear();
        g_mass.clear();
        Classfnc_Owners().objectDynamics = Dynamics;
        Classfnc_Owners().objectDamage = Damage;
    }
    Entity* Body(int32_t type, int32_t team, float mass, uint32_t flags = 0) {
        Entity* e = NewRoot(team, flags, false);
        e->type = type;
        g_mass[e] = mass;
        return e;
    }
};

TEST_F(DamageTest, CollisionAmountsFollowTheMassAndTheClosingSpeed) {
    const Vector down{0.0f, 1.0f, 0.0f};
    struct Case {
        const char* what;
        int32_t targetType, targetTeam;
        float targetMass;
        int32_t hitterType, hitterTeam;  // hitter type 0: no hitter
        float hitterMass;
        Vector velocity;
        float amount;
    } cases[] = {
        {"same-team craft", 1, 2, 3000.0f, 6, 2, 2000.0f, {0.0f, -30.0f, 0.0f}, 0.0f},
        {"another team: the hitter's mass and a quarter", 1, 2, 3000.0f, 6, 3, 2000.0f, {0.0f, -7.0f, 0.0f}, 2.0f},
        {"a same-team person is not a craft", 4, 2, 3000.0f, 1, 2, 2000.0f, {0.0f, -7.0f, 0.0f}, 2.0f},
        {"no hitter: the target's mass and 0.375", 1, 2, 3000.0f, 0, 0, 0.0f, {0.0f, 10.0f, 0.0f}, 11.0f},
        {"a resting hitter counts as no hitter", 1, 2, 3000.0f, 2, 3, 9000.0f, {0.0f, 10.0f, 0.0f}, 11.0f},
        {"along the contact plane", 1, 2, 3000.0f, 6, 3, 2000.0f, {25.0f, 0.0f, -4.0f}, 0.0f},
    };
    for (const Case& c : cases) {
        g_received.clear();
        Entity* target = Body(c.targetType, c.targetTeam, c.targetMass);
        Entity* hitter = c.hitterType ? Body(c.hitterType, c.hitterTeam, c.hitterMass) : nullptr;
        EXPECT_EQ(Damage_Deliver(target, hitter, &down, &c.velocity, nullptr), 7) << c.what;
        ASSERT_EQ(g_received.size(), 1u) << c.what << ": delivered even when 0";
        const DamageInfo& info = g_received[0].info;
        EXPECT_FLOAT_EQ(info.amount, c.amount) << c.what;
        EXPECT_EQ(info.source, hitter) << c.what;
        EXPECT_EQ(info.carrier, hitter) << c.what;
        EXPECT_EQ(info.kind & kDamageImpact, kDamageImpact) << c.what;
        EXPECT_EQ(info.playerId, kNoPlayer) << c.what;
    }
}

TEST_F(DamageTest, OnlyAHitOnTheUserAboveTwentyShakesTheView) {
    const Vector n{1.0f, 0.0f, 0.0f};
    const Vector v{20.0f, 0.0f, 0.0f};  // s^2 = 400: a quarter of the hitter's mass over 10,000
    Entity* user = Body(1, 1, 5000.0f, kEntityUser);
    Entity* other = Body(1, 1, 5000.0f);
    Entity* twenty = Body(6, 2, 2000.0f);
    Entity* twentyOne = Body(6, 2, 2100.0f);

    Damage_Deliver(other, twentyOne, &n, &v, nullptr);
    EXPECT_FALSE(Shake_GetState().shaking) << "not the user";
    Damage_Deliver(user, twenty, &n, &v, nullptr);
    EXPECT_FLOAT_EQ(g_received.back().info.amount, 20.0f);
    EXPECT_FALSE(Shake_GetState().shaking) << "20 is not above 20";
    Damage_Deliver(user, twentyOne, &n, &v, nullptr);
    EXPECT_FLOAT_EQ(g_received.back().info.amount, 21.0f);
    EXPECT_TRUE(Shake_GetState().shaking);
    EXPECT_FLOAT_EQ(Shake_GetState().target, 10.5f);
}

TEST_F(DamageTest, AnExplosionHitterHandsOverItsOwnRecord) {
    content::ExplosionValues blast;
    blast.frameCount = 4;
    blast.secondsPerFrame = 0.1f;
    blast.writeDamage = true;
    blast.damage[0] = 30;
    blast.damage[2] = 5;
    AddExplosion("xmixed", blast);
    blast.damage[0] = 0;
    blast.damage[2] = 0;
    blast.damage[3] = 50;
    AddExplosion("ximpact", blast);

    Entity* shooter = Body(1, 2, 1000.0f, 0x20);
    Entity* target = Body(1, 3, 4000.0f);
    const Vector n{0.0f, 1.0f, 0.0f};
    const Vector v{0.0f, 10.0f, 0.0f};

    Explosion* mixed = ExplosionClass::Find("xmixed")->Build(kIdentityMatrix, shooter);
    Damage_Deliver(target, mixed->entity, &n, &v, shooter);
    ASSERT_EQ(g_received.size(), 1u);
    const DamageInfo& copied = g_received[0].info;
    EXPECT_EQ(copied.source, shooter);
    EXPECT_EQ(copied.carrier, mixed->entity);
    EXPECT_EQ(copied.kind, 0x1 | 0x4 | kDamageUserSide) << "its damage types and the shooter's side";
    EXPECT_FLOAT_EQ(copied.amount, 35.0f) << "not replaced: no impact bit";
    EXPECT_EQ(g_received[0].extra, shooter) << "the extra argument is passed through";

    Explosion* impact = ExplosionClass::Find("ximpact")->Build(kIdentityMatrix, shooter);
    Damage_Deliver(target, impact->entity, &n, &v, nullptr);
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[1].info.kind & kDamageTypeMask, kDamageImpact);
    EXPECT_FLOAT_EQ(g_received[1].info.amount, 15.0f) << "the target's mass (4000 x 100 x 0.375e-4)";
}

TEST_F(DamageTest, HandOversWithoutAHandlerGiveZeroAndRecordsPassUnchanged) {
    Entity* plain = Body(0, 1, 100.0f);
    const Vector n{0.0f, 1.0f, 0.0f};
    EXPECT_EQ(Damage_Deliver(plain, nullptr, &n, &n, nullptr), 0) << "type 0 has no damage handler";
    EXPECT_TRUE(g_received.empty());

    Entity* craft = Body(1, 1, 100.0f);
    DamageInfo info{craft, plain, 0x3, 12, 55.5f};
    EXPECT_EQ(Damage_DeliverInfo(craft, info, nullptr), 7);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].info.kind, 0x3);
    EXPECT_EQ(g_received[0].info.playerId, 12);
    EXPECT_FLOAT_EQ(g_received[0].info.amount, 55.5f);

    DamageInfo nobody{};
    nobody.kind = 0x7;
    nobody.amount = 3.0f;
    DamageInfo_FromSource(nullptr, &nobody);
    EXPECT_EQ(nobody.kind, kDamageImpact) << "bits 0-2 cleared, impact set";
    EXPECT_EQ(nobody.playerId, kNoPlayer);
    EXPECT_FLOAT_EQ(nobody.amount, 3.0f) << "the rest is the caller's";
}

}  // namespace
