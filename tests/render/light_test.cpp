#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/objload.h"
#include "core/filecache.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "platform/msgbox.h"
#include "render/graphicbuffer.h"
#include "render/graphicdriver.h"
#include "render/light.h"
#include "render/view.h"
#include "support/data_root_fixture.h"
#include "support/world_reset.h"
#include "texture_writer.h"

namespace {

constexpr float kPi = 3.14159265f;
float g_ground = -1000.0f;
int g_viewState = 0;

class LightTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWorldForTest();
        // The sprite page every light set keeps loaded, from the sample world.
        scratch_.Open();
        for (const content::ArchiveRecord& record : content::SampleTextureRecords())
            if (record.name == kLightSetTexture) scratch_.Install({record});
        Light_Reset();
        g_ground = -1000.0f;
        g_viewState = 0;
        LightServices services{[](double, double) { return g_ground; }, [] { return g_viewState; }};
        Light_SetServices(&services);
        Graphic_InitBuffer(&screen, 64, 48, nullptr, kGraphicFormat8);
        // The camera at the origin looking along +z.
        View_Init(&view, &screen, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
        View_SetCameraMatrix(&view, kIdentityMatrix);
    }
    void TearDown() override {
        Light_Reset();
        for (Entity* e : owners)
            if (e->state == kEntityAlive) Entity_Release(e);
        EntityAlloc_FreeAll();
        Graphic_FreeBuffer(&screen);
        ObjLoad_ResetServices();
        Objkr_ResetServices();
        scratch_.Close();
    }
    Entity* Owner(const char* name, double x = 0, double y = 0, double z = 0) {
        Entity* e = Entity_New(nullptr);
        std::memset(e->name, 0, sizeof e->name);
        std::memcpy(e->name, name, std::min<size_t>(std::strlen(name), 8));
        e->local.posit = DVector{x, y, z};
        owners.push_back(e);
        return e;
    }
    // A point light of range 20 on a new owner at (x, y, z).
    Entity* PointLight(const char* name, double x, double y, double z) {
        Entity* e = Owner(name, x, y, z);
        Light_Add(e, 0, 20.0f, 0.0f, nullptr, nullptr);
        return e;
    }
    std::vector<const Entity*> ActiveOwners() const {
        std::vector<const Entity*> out;
        for (int i = 0; i < Light_ActiveCount(); ++i) out.push_back(Light_Active(i)->owner);
        return out;
    }
    std::vector<const Entity*> SelectedOwners() const {
        std::vector<const Entity*> out;
        for (int i = 0; i < Light_SelectedCount(); ++i) out.push_back(Light_Selected(i)->owner);
        return out;
    }
    GraphicBuffer screen;
    RenderView view;
    std::vector<Entity*> owners;
    ScratchDataRoot scratch_;
};

TEST_F(LightTest, TheHourChoosesTheSetAndTheSun) {
    struct Case {
        int hour, set;
    };
    const Case cases[] = {{22, 0}, {23, 0}, {0, 0}, {1, 1},  {3, 1},  {4, 2},
                          {12, 4}, {21, 7}, {-5, 7}, {47, 0}, {-24, 0}};
    for (const Case& c : cases) {
        Light_InitWorld(c.hour);
        EXPECT_EQ(Light_GetCurrentSet(), c.set) << "hour " << c.hour;
        EXPECT_EQ(Light_GetLightsOff(), c.set >= 2 ? 1 : 0) << "hour " << c.hour;
        // The sun: (0, 1, 0) turned about the z axis by the set's angle.
        Vector sun = Light_GetSunDirection();
        EXPECT_NEAR(std::fabs(sun.x), std::sin(Light_GetSunAngle()), 1e-5f);
        EXPECT_NEAR(sun.y, std::cos(Light_GetSunAngle()), 1e-5f);
        EXPECT_EQ(sun.z, 0.0f);
    }
    Light_InitWorld(12);
    EXPECT_EQ(Light_GetSunIntensity(), 1.0f);
    Light_InitWorld(23);
    EXPECT_EQ(Light_GetSunIntensity(), 0.09375f);
    // The set's sprite page stays locked, once, while a world is up.
    EXPECT_EQ(Cache_LockCount(kLightSetTexture), 1);
    Light_CloseWorld();
    EXPECT_EQ(Cache_LockCount(kLightSetTexture), 0);
    Light_CloseWorld();
    EXPECT_EQ(Cache_LockCount(kLightSetTexture), 0);
}

TEST_F(LightTest, LightsAreAddedOnlyAtNightWithTheirLimitsRaised) {
    for (int hour = 4; hour < 22; hour += 3) {
        Light_InitWorld(hour);
        Light_Add(Owner("lamp"), 0, 50.0f, 0.5f, nullptr, nullptr);
        EXPECT_EQ(Light_Count(), 0) << "hour " << hour;
    }
    Light_InitWorld(0);
    Entity* lamp = Owner("lamp");
    const Vector offset{1, 2, 3};
    Light_Add(lamp, 0, 5.0f, 0.0f, nullptr, &offset);
    const LightSource* point = Light_Find(lamp);
    ASSERT_NE(point, nullptr);
    EXPECT_EQ(point->range, 20.0f);
    EXPECT_EQ(point->attenuation, 1.0f / 400.0f);
    EXPECT_EQ(point->flags, kLightEnabled);
    EXPECT_EQ(point->offset.z, 3.0f);
    EXPECT_EQ(point->direction.x, 0.0f);

    struct Case {
        float cone;
        float exponent;
    };
    // 5 degrees is taken as 10 (exponent 90); 120 degrees as 90 (exponent 1).
    const Case cases[] = {{5.0f * kPi / 180.0f, 90.0f}, {10.0f * kPi / 180.0f, 90.0f}, {120.0f * kPi / 180.0f, 1.0f},
                          {NAN, 90.0f}};
    for (const Case& c : cases) {
        Entity* spot = Owner("spot");
        const Vector beam{0, 0, 2};
        Light_Add(spot, 1, 30.0f, c.cone, &beam, nullptr);
        const LightSource* light = Light_Find(spot);
        ASSERT_NE(light, nullptr);
        EXPECT_EQ(light->exponent, c.exponent) << c.cone;
        EXPECT_EQ(light->flags, kLightSpot | kLightEnabled);
        EXPECT_EQ(light->direction.z, -2.0f);  // stored negated
    }
    // A spot without a direction shines along its owner's front.
    Entity* car = Owner("car");
    car->local.front = Vector{0, 0, -1};
    Light_Add(car, 1, 30.0f, 0.5f, nullptr, nullptr);
    EXPECT_EQ(Light_Find(car)->direction.z, 1.0f);
}

TEST_F(LightTest, TooManyLightsAndASecondLightPerOwnerAreWarnedAndRefused) {
    Light_InitWorld(0);
    Entity* tower = Owner("towerlmp");
    Light_Add(tower, 0, 20.0f, 0.0f, nullptr, nullptr);
    Light_Add(tower, 1, 40.0f, 0.0f, nullptr, nullptr);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].text, "Object \"towerlmp\" with more than one light source");
    EXPECT_EQ(Light_Find(tower)->range, 20.0f);

    // The owners need not be distinct records for the count: 511 more fill the table.
    std::vector<Entity> many(kLightMax);
    for (int i = 0; i < kLightMax - 1; ++i) Light_Add(&many[static_cast<size_t>(i)], 0, 20.0f, 0.0f, nullptr, nullptr);
    EXPECT_EQ(Light_Count(), kLightMax);
    Light_Add(&many.back(), 0, 20.0f, 0.0f, nullptr, nullptr);
    EXPECT_EQ(Light_Count(), kLightMax);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 2u);
    EXPECT_EQ(Plat_MessageBoxLog()[1].text, "Too many lights sources in this mission");
    Light_CloseWorld();
    EXPECT_EQ(Light_Count(), 0);
}

TEST_F(LightTest, VisibleLightsAreCollectedInTableOrderUpToTwentyFour) {
    Light_InitWorld(0);
    Entity* behind = PointLight("behind", 0, 0, -500);
    Entity* off = PointLight("off", 0, 0, 50);
    Light_Enable(off, false);
    std::vector<Entity*> seen;
    for (int i = 0; i < 25; ++i) seen.push_back(PointLight("front", i - 12.0, 0, 100));
    Light_CollectVisible(&view);
    std::vector<const Entity*> want(seen.begin(), seen.begin() + 24);
    EXPECT_EQ(ActiveOwners(), want);  // neither the one behind, nor the disabled, nor the 25th
    (void)behind;
    // In view space the light sits where the camera sees it.
    EXPECT_FLOAT_EQ(Light_Active(0)->viewPosition.z, 100.0f);
    Light_Enable(off, true);
    Light_CollectVisible(&view);
    EXPECT_EQ(ActiveOwners().front(), off);
}

TEST_F(LightTest, ALightNearTheGroundShadesFromTwentyFiveHigher) {
    Light_InitWorld(0);
    g_ground = 100.0f;
    Entity* low = PointLight("low", 0, 110, 100);
    Entity* high = PointLight("high", 5, 130, 100);
    Light_CollectVisible(&view);
    const LightSource* a = Light_Find(low);
    const LightSource* b = Light_Find(high);
    EXPECT_EQ(a->lightingPosition.y, 135.0f);
    EXPECT_EQ(a->heightLift, -25.0f);
    EXPECT_EQ(a->worldPosition.y, 110.0f);
    EXPECT_EQ(b->lightingPosition.y, 130.0f);
    EXPECT_EQ(b->heightLift, 0.0f);
}

TEST_F(LightTest, RemovalMovesTheLastRecordAndKeepsTheListsValid) {
    Light_InitWorld(0);
    Entity* a = PointLight("a", -5, 0, 100);
    Entity* b = PointLight("b", 0, 0, 100);
    Entity* c = PointLight("c", 5, 0, 100);
    Light_CollectVisible(&view);
    Entity* target = Owner("target", 0, 0, 100);
    Light_SelectForObject(target);
    ASSERT_EQ(Light_SelectedCount(), 3);

    Light_Remove(a);
    EXPECT_EQ(Light_Count(), 2);
    EXPECT_EQ(Light_Get(0)->owner, c);  // the last record took the freed slot
    EXPECT_EQ(Light_Get(1)->owner, b);
    EXPECT_EQ(Light_Find(a), nullptr);
    std::vector<const Entity*> active = ActiveOwners();
    EXPECT_EQ(active.size(), 2u);
    EXPECT_NE(std::find(active.begin(), active.end(), b), active.end());
    EXPECT_NE(std::find(active.begin(), active.end(), c), active.end());
    for (const Entity* owner : SelectedOwners()) EXPECT_TRUE(owner == b || owner == c);
    EXPECT_EQ(Light_SelectedCount(), 2);

    Light_Remove(target);  // no light: nothing changes
    EXPECT_EQ(Light_Count(), 2);
}

TEST_F(LightTest, AnObjectGetsItsFourStrongestLights) {
    Light_InitWorld(0);
    Entity* target = Owner("target", 0, 0, 100);
    std::vector<Entity*> lights;
    // Three lights: all three, strongest (nearest) first.
    lights.push_back(PointLight("l0", 0, 9, 100));
    lights.push_back(PointLight("l1", 0, 3, 100));
    lights.push_back(PointLight("l2", 0, 6, 100));
    Light_CollectVisible(&view);
    Light_SelectForObject(target);
    EXPECT_EQ(SelectedOwners(), (std::vector<const Entity*>{lights[1], lights[2], lights[0]}));

    // Nine: the four nearest; two at the same distance keep their table order.
    lights.push_back(PointLight("l3", 0, 12, 100));
    lights.push_back(PointLight("l4", 0, 2, 100));
    lights.push_back(PointLight("l5", 0, 15, 100));
    lights.push_back(PointLight("l6", 0, -2, 100));
    lights.push_back(PointLight("l7", 0, 20, 100));
    lights.push_back(PointLight("l8", 0, 1, 100));
    Light_CollectVisible(&view);
    Light_SelectForObject(target);
    EXPECT_EQ(SelectedOwners(), (std::vector<const Entity*>{lights[8], lights[4], lights[6], lights[1]}));

    // Lights off: nothing is selected.
    Light_InitWorld(12);
    Light_SelectForObject(target);
    EXPECT_EQ(Light_SelectedCount(), 0);
}

TEST_F(LightTest, ShadingInLightsOffSetsFollowsTheFadeAndViewStateThree) {
    Light_InitWorld(12);
    const Vector positions[4] = {{0, 0, 50}, {0, 0, 100}, {0, 0, 150}, {0, 0, 300}};
    const Vector normals[4] = {{0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}};
    float out[4];
    Light_ShadeVertices(out, positions, normals, kIdentityMatrix, kIdentityMatrix, 4);
    EXPECT_FLOAT_EQ(out[0], 0.3f);
    EXPECT_FLOAT_EQ(out[1], 0.3f);
    EXPECT_FLOAT_EQ(out[2], 0.65f);
    EXPECT_FLOAT_EQ(out[3], 1.0f);
    g_viewState = 3;
    Light_ShadeVertices(out, positions, normals, kIdentityMatrix, kIdentityMatrix, 4);
    for (float v : out) EXPECT_FLOAT_EQ(v, 0.3f);
}

TEST_F(LightTest, ShadingAtNightAddsTheSunAndThePointLights) {
    Light_InitWorld(0);
    const Vector sun = Light_GetSunDirection();
    // Facing away from the sun: the full sun intensity; facing it: none.
    const Vector positions[2] = {{0, 0, 10}, {0, 0, 10}};
    const Vector normals[2] = {{-sun.x, -sun.y, -sun.z}, sun};
    float out[2];
    Light_ShadeVertices(out, positions, normals, kIdentityMatrix, kIdentityMatrix, 2);
    EXPECT_FLOAT_EQ(out[0], 0.09375f);
    EXPECT_FLOAT_EQ(out[1], 0.0f);

    // A point light selected for the object, 10 in front of a vertex whose normal points away from
    // it: a = 1 / (100 / 400 + 1) = 0.8, the unit vector scaled by 10 / 10.5.
    PointLight("lamp", 0, 0, 20);
    Light_CollectVisible(&view);
    Light_SelectForObject(Owner("target", 0, 0, 10));
    ASSERT_EQ(Light_SelectedCount(), 1);
    const Vector away[1] = {{0, 0, -1}};
    Light_ShadeVertices(out, positions, away, kIdentityMatrix, kIdentityMatrix, 1);
    const float sunTerm = std::max(0.0f, sun.z * 0.09375f);
    EXPECT_NEAR(out[0], sunTerm + 0.8f * 10.0f / 10.5f, 1e-5f);
}

TEST_F(LightTest, TheShadowFallsFromTheSunUnlessALightIsStronger) {
    Light_InitWorld(0);
    Entity* tank = Owner("tank", 0, 0, 100);
    const Vector sun = Light_GetSunDirection();
    auto same = [](const Vector& a, const Vector& b) {
        return std::fabs(a.x - b.x) < 1e-5f && std::fabs(a.y - b.y) < 1e-5f && std::fabs(a.z - b.z) < 1e-5f;
    };
    EXPECT_TRUE(same(Light_GetShadowDirection(tank, Vector{0, 0, 0}), sun));

    // Its own light does not count; a far light is weaker than 1.5 x the sun.
    Light_Add(tank, 0, 20.0f, 0.0f, nullptr, nullptr);
    PointLight("far", 0, 0, 300);
    Light_CollectVisible(&view);
    EXPECT_TRUE(same(Light_GetShadowDirection(tank, Vector{0, 0, 0}), sun));

    // A near light wins: towards it, its height lowered by 15.
    PointLight("near", 20, 15, 100);
    Light_CollectVisible(&view);
    Vector d = Light_GetShadowDirection(tank, Vector{0, 0, 0});
    EXPECT_NEAR(d.x, 1.0f, 1e-6f);
    EXPECT_NEAR(d.y, 0.0f, 1e-6f);
    // The reference point is carried by the entity's placement.
    d = Light_GetShadowDirection(tank, Vector{0, 0, -20});
    EXPECT_NEAR(d.x, 20.0f / std::sqrt(800.0f), 1e-5f);

    // Lights off: always the sun.
    Light_InitWorld(12);
    EXPECT_TRUE(same(Light_GetShadowDirection(tank, Vector{0, 0, 0}), Light_GetSunDirection()));
}

TEST_F(LightTest, TheShadowDirectionStaysFiniteWithALightOnTheEntitysPoint) {
    Light_InitWorld(0);
    Entity* tank = Owner("tank", 0, 0, 100);
    Entity* spot = Owner("spot", 0, 0, 100);
    const Vector beam{0, -1, 0};
    Light_Add(spot, 1, 20.0f, 0.5f, &beam, nullptr);
    Light_CollectVisible(&view);
    // On the point itself: counted whole, and the direction is straight down after the lowering.
    Vector d = Light_GetShadowDirection(tank, Vector{0, 0, 0});
    EXPECT_FLOAT_EQ(d.x, 0.0f);
    EXPECT_FLOAT_EQ(d.y, -1.0f);
    // 15 right above it: the lowered vector is zero, so the sun's direction is used.
    Light_Remove(spot);
    Entity* lamp = PointLight("lamp", 0, 15, 100);
    (void)lamp;
    Light_CollectVisible(&view);
    d = Light_GetShadowDirection(tank, Vector{0, 0, 0});
    const Vector sun = Light_GetSunDirection();
    EXPECT_FLOAT_EQ(d.x, sun.x);
    EXPECT_FLOAT_EQ(d.y, sun.y);
    EXPECT_TRUE(std::isfinite(d.z));
}

TEST_F(LightTest, TheRenderersInstallerConnectsTheEntityLayerAndTheLoader) {
    const RenderSeam saved = Seam_Render();
    Render_InstallSeam();
    Light_InitWorld(0);
    Entity* lamp = Owner("lamp");
    ObjLoadServices& load = ObjLoad_Services();
    EXPECT_EQ(Light_GetLightsOff(), 0);
    EXPECT_EQ(load.lightingSetting(), 0) << "lights on: vehicles get headlight masks";
    load.lightCreate(lamp, 0, 5.0f, 0.0f, Vector{0, 0, 0}, Vector{0, 1, 0});
    lamp->flags |= kEntityHasLight;
    ASSERT_EQ(Light_Count(), 1);
    EXPECT_EQ(Light_Find(lamp)->offset.y, 1.0f);
    // The light goes with its entity.
    Entity_Release(lamp);
    owners.erase(std::find(owners.begin(), owners.end(), lamp));
    EXPECT_EQ(Light_Count(), 0);
    // The mission's teardown empties the table.
    PointLight("other", 0, 0, 0);
    Seam_Render().lightCloseWorld();
    EXPECT_EQ(Light_Count(), 0);
    Light_InitWorld(12);
    EXPECT_EQ(Light_GetLightsOff(), 1);
    EXPECT_EQ(load.lightingSetting(), 1) << "lights off: no masks";
    Seam_Render() = saved;
    Shake_SetServices(nullptr);
}

TEST_F(LightTest, FadeAndPow) {
    EXPECT_EQ(Light_Fade(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(Light_Fade(150.0f), 0.5f);
    EXPECT_EQ(Light_Fade(5000.0f), 1.0f);
    EXPECT_EQ(Light_Pow(0.001f, 2.0f), 0.0f);
    EXPECT_EQ(Light_Pow(-1.0f, 2.0f), 0.0f);
    EXPECT_FLOAT_EQ(Light_Pow(0.5f, 2.0f), 0.25f);
}

}  // namespace
