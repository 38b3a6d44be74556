#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Objkr/entitysvc.h"
#include "core/clock.h"
#include "core/registration.h"
#include "fun3d/craft.h"
#include "fun3d/objectslot.h"
#include "fun3d/visibility.h"
#include "fun3d_fixture.h"

namespace {

class CraftTest : public Fun3dFixture {
protected:
    CraftClass& NewCraftClass(float sensorRange = 0.0f, float conceal = 0.0f) {
        auto* cls = new CraftClass("craft", Signature("CRFT"), kCategoryCraft);
        cls->health = 1000;
        cls->ammo = 100;
        cls->sensorRange = sensorRange;
        cls->concealThreshold = conceal;
        classes_.push_back(cls);
        return *cls;
    }
    Craft* NewCraft(CraftClass& cls, Entity* root = nullptr) {
        return GameObject_New<Craft>(root ? root : NewRoot(1), &cls);
    }
};

TEST_F(CraftTest, HealthGivesPerformanceAndSmoke) {
    struct Case {
        float ratio, performance;
        int32_t smoke;
    } cases[] = {{1.0f, 1.0f, 0},   {0.5f, 1.0f, 0},  {0.49f, 0.995f, 1}, {0.29f, 0.895f, 2},
                 {0.25f, 0.875f, 2}, {0.19f, 0.69f, 3}, {0.09f, 0.59f, 4},  {0.0f, 0.5f, 4},
                 {-0.1f, 0.0f, 4}};
    Craft* craft = NewCraft(NewCraftClass());
    ASSERT_NE(craft, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ratio);
        EXPECT_NEAR(Craft_GetPerformanceFactor(c.ratio), c.performance, 1e-5f);
        EXPECT_EQ(Craft_SmokeKindFor(c.ratio), c.smoke);
        craft->smokeTimer = 0.3f;
        craft->AddHealth(c.ratio * 1000.0f - craft->curHealth);
        EXPECT_EQ((craft->physFlags & kCraftSmoking) != 0, c.ratio < 0.5f);
        if (c.ratio < 0.5f)
            EXPECT_EQ(craft->smokeKind, c.smoke);
        else
            EXPECT_EQ(craft->smokeTimer, 0.0f) << "healthy again: the timer starts over";
    }
}

TEST_F(CraftTest, ConstructionMakesSensorsAndCollectsSmokeNodesInWalkOrder) {
    Craft* plain = NewCraft(NewCraftClass());
    EXPECT_EQ(plain->sensor, nullptr);
    EXPECT_EQ(plain->conceal, nullptr);

    Entity* root = NewRoot(1);
    // A new part goes in front of its siblings. The tree: root { first { inner }, other { d7 .. d0 } };
    // the walk takes a node's children before its next sibling.
    Entity* other = NewPart(root, "c", 0);
    Entity* first = NewPart(root, "a", kEntityTypeSmokeNode);
    Entity* inner = NewPart(first, "b", kEntityTypeSmokeNode);
    std::vector<Entity*> later;
    for (int i = 0; i < 8; ++i) later.push_back(NewPart(other, "d", kEntityTypeSmokeNode));
    Craft* craft = NewCraft(NewCraftClass(150.0f, 3.0f), root);
    ASSERT_NE(craft->sensor, nullptr);
    EXPECT_EQ(craft->sensor->range, 150.0f);
    EXPECT_EQ(craft->sensor->owner, craft);
    ASSERT_NE(craft->conceal, nullptr);
    EXPECT_EQ(craft->conceal->threshold, 3.0f);
    ASSERT_EQ(craft->smokeNodeCount, kCraftSmokeNodeMax) << "never more than eight";
    EXPECT_EQ(craft->smokeNodes[0], first);
    EXPECT_EQ(craft->smokeNodes[1], inner);
    EXPECT_EQ(craft->smokeNodes[2], later[7]);
    EXPECT_EQ(craft->smokeNodes[7], later[2]);
    EXPECT_EQ(Craft_List().back(), craft);
    delete craft;
    for (Craft* c : Craft_List()) EXPECT_NE(c, craft) << "a deleted craft leaves the list";
}

TEST_F(CraftTest, UpdateGuardsVelocityAndOrientation) {
    Craft* craft = NewCraft(NewCraftClass());
    craft->euler.velocity = Vector{1200.0f, 0.0f, 0.0f};
    craft->Update(0.01f);
    EXPECT_NEAR(craft->euler.velocity.x, 1000.0f, 1e-3f);
    EXPECT_EQ(craft->euler.speed, 1000.0f);

    craft->euler.velocity = Vector{std::numeric_limits<float>::quiet_NaN(), 1.0f, 0.0f};
    craft->entity->local.front = Vector{std::numeric_limits<float>::quiet_NaN(), 0.0f, 1.0f};
    craft->Update(0.01f);
    EXPECT_EQ(craft->euler.velocity.x, 0.0f);
    EXPECT_EQ(craft->euler.velocity.y, 0.0f);
    EXPECT_EQ(craft->euler.speed, 0.0f);
    EXPECT_EQ(craft->euler.invSpeed, 1e30f);
    EXPECT_EQ(craft->entity->local.up.y, 1.0f) << "a broken orientation becomes the identity";
    EXPECT_EQ(craft->entity->local.front.z, 1.0f);
}

TEST_F(CraftTest, AGroundContactReflectsTheFallAndIsIgnoredInTheFirstSecond) {
    Clock_SetTime(100.0f);
    Craft* craft = NewCraft(NewCraftClass());
    craft->entity->local.posit = DVector{0.0, 10.0, 0.0};
    craft->UpdateSphere();
    auto fall = [&] {
        craft->euler.velocity = Vector{0.0f, -10.0f, 0.0f};
        craft->euler.angularVelocity = Vector{0.0f, 0.0f, 0.0f};
        CollisionBody& c = craft->body->contact;
        CollisionBody_Init(c);
        c.hit = 1;
        c.time = 0.0f;
        c.normal = Vector{0.0f, 1.0f, 0.0f};
        c.velocity = Vector{0.0f, 10.0f, 0.0f};  // the ground's, seen from the falling craft
        c.point = Vector{0.0f, static_cast<float>(craft->entity->local.posit.y), 0.0f};
    };
    fall();
    craft->createTime = Clock_GetTimeMs();
    craft->Integrate(0.01f);
    EXPECT_EQ(craft->euler.velocity.y, -10.0f) << "a contact in the craft's first second is ignored";

    fall();
    craft->createTime = Clock_GetTimeMs() - 2000;
    EXPECT_TRUE(craft->Integrate(0.01f));
    EXPECT_NEAR(craft->euler.velocity.y, 0.25f, 1e-4f) << "it leaves the ground rising, slowed";
    EXPECT_EQ(craft->body->contact.hit, 0) << "the record is used once";
}

TEST_F(CraftTest, EqualMassesMeetingHeadOnExchangeMomentum) {
    Clock_SetTime(100.0f);
    Craft* craft = NewCraft(NewCraftClass());
    craft->createTime = Clock_GetTimeMs() - 2000;
    craft->euler.velocity = Vector{10.0f, 0.0f, 0.0f};
    CollisionBody& c = craft->body->contact;
    CollisionBody_Init(c);
    c.hit = 1;
    c.entity = craft->entity;  // any body with a mass
    c.dynamics = craft->euler;
    c.dynamics.velocity = Vector{-10.0f, 0.0f, 0.0f};
    c.normal = Vector{-1.0f, 0.0f, 0.0f};
    c.point = craft->pos;  // no lever arm: no spin
    ASSERT_TRUE(craft->Integrate(0.01f));
    // Common velocity 0; r = (10, 0, 0); r' = 0.5 r - (r . n) n = (-5, 0, 0); |r'|^2 = 25.
    EXPECT_NEAR(craft->euler.velocity.x, -5.0f, 1e-4f);
    EXPECT_EQ(craft->euler.angularVelocity.y, 0.0f);
}

TEST_F(CraftTest, SteeringTurnsTowardTheHeadingAndStaysFiniteWithoutOne) {
    Craft* craft = NewCraft(NewCraftClass());
    struct Case {
        Vector front;
        float s, c, steering;
    } cases[] = {
        {{0, 0, 1}, 0.0f, 1.0f, 0.0f},     // straight ahead
        {{0, 0, 1}, 0.1f, 1.0f, -0.2985f},  // a little to one side: proportional
        {{0, 0, 1}, -1.0f, 0.0f, 1.0f},    // at right angles: full lock
        {{0, 0, 1}, 0.1f, -1.0f, -1.0f},   // behind: full lock toward the side
        {{0, 0, 1}, -0.1f, -1.0f, 1.0f},
        {{0, 1, 0}, 0.0f, 1.0f, 0.0f},     // pointing straight up
        {{0, 0, 1}, 0.0f, 0.0f, 0.0f},     // no desired direction
    };
    for (const Case& k : cases) {
        craft->entity->local.front = k.front;
        craft->controls.steering = 0.5f;
        craft->SetHeading(k.s, k.c);
        EXPECT_NEAR(craft->controls.steering, k.steering, 1e-3f) << k.s << " " << k.c;
    }
}

TEST_F(CraftTest, RequestsAndTheSelfCommandWithoutSelection) {
    Craft* craft = NewCraft(NewCraftClass());
    EXPECT_FALSE(craft->HandleRequest(1));
    struct Case {
        int32_t code, command;
    } cases[] = {{5, 10}, {6, 11}, {8, 18}};
    for (const Case& c : cases) {
        EXPECT_TRUE(craft->HandleRequest(c.code));
        EXPECT_EQ(craft->nextCmd.what, c.command) << c.code;
    }
    EXPECT_TRUE(craft->HandleRequest(9));
    EXPECT_EQ(craft->nextCmd.what, 18) << "no command for other codes";
    craft->commands.selected = -1;
    EXPECT_EQ(craft->GetSelfCommand(0), 0);
    EXPECT_EQ(craft->GetCommandForTarget(craft), 0);
}

TEST_F(CraftTest, NetworkStateBytesAndAShortRecord) {
    Craft* craft = NewCraft(NewCraftClass());
    struct Case {
        float health;
        uint8_t expected;
    } cases[] = {{1.0f, 255}, {0.5f, 128}, {0.0f, 0}, {1.5f, 255}};
    for (const Case& c : cases) {
        craft->healthRatio = c.health;
        uint8_t buffer[16] = {};
        int32_t length = 0;
        craft->PackNetState(buffer, length);
        ASSERT_GE(length, 3);
        EXPECT_EQ(buffer[0], c.expected) << c.health;
    }
    craft->pilotClass = craft->objClass;
    craft->curHealth = -1.0f;
    craft->isObjective = 1;
    uint8_t buffer[16] = {};
    int32_t length = 0;
    craft->PackNetState(buffer, length);
    EXPECT_EQ(buffer[2], 0x80 | 0x20 | 0x10);

    craft->healthRatio = 1.0f;
    craft->curHealth = 1000.0f;
    const uint8_t shortRecord[2] = {10, 10};
    craft->UnpackNetState(shortRecord, 2);
    EXPECT_EQ(craft->curHealth, 1000.0f) << "a short record changes nothing";
    const uint8_t record[3] = {51, 255, 0};
    craft->UnpackNetState(record, 3);
    EXPECT_FLOAT_EQ(craft->healthRatio, 0.2f);
    EXPECT_EQ(craft->curHealth, 200.0f);
    EXPECT_EQ(craft->pilotClass, nullptr);
}

}  // namespace
