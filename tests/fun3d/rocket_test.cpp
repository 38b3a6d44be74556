#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Objkr/bucketgrid.h"
#include "ai/unittask.h"
#include "Objkr/entity.h"
#include "Terrain/terramap.h"
#include "core/clock.h"
#include "core/factory.h"
#include "core/odf.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "core/shake.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectslot.h"
#include "fun3d/particlebuffer.h"
#include "guided_definitions.h"
#include "platform/random.h"
#include "shot_world.h"
#include "weapons/effects.h"
#include "weapons/launcher.h"
#include "weapons/radarlauncher.h"
#include "weapons/rocket.h"
#include "weapons_fixture.h"

namespace {

using Target = CountingTarget;

class Brain : public sObject {
public:
    bool Load() override { return true; }
    bool Save(FILE*) override { return true; }
    const FactoryReg* GetFactory() const override { return nullptr; }
};


// What the drawing seam was handed.
struct Drawn {
    int quads = 0, lines = 0, billboards = 0, smoke = 0;
    float smokeAt[3] = {}, smokeSize = 0.0f;
    std::vector<int> quadSprites;
    std::vector<uint32_t> lineColours;
};
Drawn g_drawn;
std::vector<std::string> g_sounds;
std::vector<GameObject*> g_netObjects;

class GuidedTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        OpenSky();
        savedRender_ = Seam_Render();
        savedAudio_ = Seam_Audio();
        savedNet_ = Seam_Net();
        RenderSeam& r = Seam_Render();
        StubSpritesAndView(r);
        r.queueQuad = [](RenderView*, const float (*)[3], int sprite, uint32_t) {
            ++g_drawn.quads;
            g_drawn.quadSprites.push_back(sprite);
        };
        r.queueLine = [](RenderView*, const float*, const float*, float, uint32_t colour) {
            ++g_drawn.lines;
            g_drawn.lineColours.push_back(colour);
        };
        r.queueBillboard = [](RenderView*, const float*, float, int) { ++g_drawn.billboards; };
        r.smokeQueuePuff = [](const float* at, float size) {
            ++g_drawn.smoke;
            std::copy(at, at + 3, g_drawn.smokeAt);
            g_drawn.smokeSize = size;
        };
        // The view of these tests is the world moved 100 m along x.
        r.viewPoint = [](const RenderView*, const float* point, float* out) {
            out[0] = point[0] - 100.0f, out[1] = point[1], out[2] = point[2];
            return true;
        };
        Seam_Audio().soundPlay = [](const char* name, Entity*, uint32_t flags, int) -> void* {
            g_sounds.push_back(std::string(name) + "/" + std::to_string(flags));
            return &g_sounds;
        };
        Seam_Audio().soundStopAttached = [](Entity*) { return false; };
        NetSeam& net = Seam_Net();
        net.isNetworkGame = [] { return false; };
        net.localPlayerId = [] { return uint16_t{1}; };
        StubOrdnanceNet(net);
        net.sendReliable = [](uint16_t, uint32_t, const uint8_t*, int) {};
        net.findObject = [](uint32_t id) -> NetObject* {
            for (GameObject* o : g_netObjects)
                if (o->GetNetId() == id) return o;
            return nullptr;
        };
        g_drawn = Drawn{};
        g_sounds.clear();
        g_queued.clear();
        g_netObjects.clear();
        EffectList::Clear();
        ParticleBuffer_Clear();
        Random_Seed(7);
        Random_FillTable();
        RandomTable_SetIndex(0);
    }
    void TearDown() override {
        Ordnance_DeleteAll();
        ParticleBuffer_Clear();
        EffectList::Clear();
        Missile_ResetForTest();
        Seam_Render() = savedRender_;
        Seam_Audio() = savedAudio_;
        Seam_Net() = savedNet_;
        WeaponsFixture::TearDown();
    }

    static content::RocketValues Trail(float interval) {
        content::RocketValues r;
        r.puffSprite = "rpuff.0";
        r.puffFrames = 8;
        r.puffSecondsPerFrame = 0.5f;  // 4 s of life: none ends within a test
        r.puffInterval = interval;
        r.puffSpread = 0.3f;
        r.puffForward = 0.1f;
        r.puffInherit = 0.0f;
        r.glowLength = 1.0f;
        return r;
    }
    void AddShot(const std::string& name, const std::string& label, float speed, float lifetime,
                 const content::RocketValues& rocket = {}, const content::TracerValues& tracer = {},
                 const content::GuidedValues& guided = {}, int cost = 1) {
        content::OrdnanceValues o;
        o.label = label;
        o.speed = speed;
        o.lifetime = lifetime;
        o.ammoCost = cost;
        o.damage[0] = 10;
        o.writeDamage = true;
        std::string text, error;
        ASSERT_TRUE(content::GuidedOrdnanceText(o, rocket, tracer, guided, &text, &error)) << error;
        AddFile(name + ".odf", text);
    }
    void AddLauncher(const std::string& name, const std::string& label, const content::LockValues& lock,
                     const std::string& missile = "missile1") {
        content::WeaponValues w;
        w.label = label;
        w.ordnance = missile;
        w.sprites[1] = "classicon";
        std::string text, error;
        ASSERT_TRUE(content::LockWeaponText(w, lock, nullptr, nullptr, nullptr, &text, &error)) << error;
        AddFile(name + ".odf", text);
    }
    Target* At(float x, float y, float z, float radius = 2.0f, int32_t team = 2) {
        Entity* e = NewRoot(team, 0, false);
        e->type = 1;
        Target* t = GameObject_New<Target>(e, &NewClass());
        t->SetPosition(Vector{x, y, z});
        t->radius = radius;
        GameObject_UpdateGrid();
        return t;
    }
    // A craft at the point holding the weapon on its one hardpoint, aimed along +z.
    Weapon* Mount(const char* name, float x, float y, float z, int32_t ammo = 500) {
        Entity* root = NewRoot(1, 0, false);
        root->local = Aim(x, y, z, Vector{0, 0, 1});
        Entity* hardpoint = NewPart(root, "hp_gun1");
        owner = GameObject_New<Target>(root, &NewClass(100, ammo));
        owner->SetPosition(Vector{x, y, z});
        WeaponClass* cls = WeaponClass::Find(name);
        EXPECT_NE(cls, nullptr) << name;
        if (!cls) return nullptr;
        Weapon* weapon = cls->Build(root, hardpoint);
        weapon->UpdateMount(0.0f);
        return weapon;
    }
    static std::vector<Vector> Puffs() {
        std::vector<Vector> out;
        for (int i = 0; i < ParticleBuffer_Count(); ++i) out.push_back(ParticleBuffer_Records()[i].position);
        return out;
    }
    static int Sprite(const char* name) { return Seam_Render().spriteFind(name); }

    Target* owner = nullptr;
    RenderSeam savedRender_{};
    AudioSeam savedAudio_{};
    NetSeam savedNet_{};
};

// ---- rockets ----------------------------------------------------------------------------------

TEST_F(GuidedTest, TheRegisteredLabelsGetTheirKinds) {
    auto ordnance = [](const char* label) -> OrdnanceClass* {
        for (OrdnanceClass* p : OrdnanceClass::Prototypes())
            if (std::strcmp(p->label, label) == 0) return p;
        return nullptr;
    };
    auto weapon = [](const char* label) -> WeaponClass* {
        for (WeaponClass* p : WeaponClass::Prototypes())
            if (std::strcmp(p->label, label) == 0) return p;
        return nullptr;
    };
    EXPECT_NE(dynamic_cast<RocketClass*>(ordnance("rocket")), nullptr);
    EXPECT_NE(dynamic_cast<TracerClass*>(ordnance("tracer")), nullptr);
    EXPECT_NE(dynamic_cast<TargetingRocketClass*>(ordnance("targeting")), nullptr);
    EXPECT_NE(dynamic_cast<SwitcherClass*>(ordnance("switcher")), nullptr);
    EXPECT_NE(dynamic_cast<MissileClass*>(ordnance("missile")), nullptr);
    EXPECT_NE(dynamic_cast<ImageMissileClass*>(ordnance("imagemissile")), nullptr);
    EXPECT_NE(dynamic_cast<ThermalMissileClass*>(ordnance("thermalmissile")), nullptr);
    EXPECT_NE(dynamic_cast<TargetingGunClass*>(weapon("targeting")), nullptr);
    EXPECT_NE(dynamic_cast<LauncherClass*>(weapon("launcher")), nullptr);
    EXPECT_NE(dynamic_cast<ImageLauncherClass*>(weapon("imagelauncher")), nullptr);
    EXPECT_NE(dynamic_cast<ThermalLauncherClass*>(weapon("thermallauncher")), nullptr);
    EXPECT_NE(dynamic_cast<RadarLauncherClass*>(weapon("radarlauncher")), nullptr);
    // The prototypes' own values.
    auto* missile = static_cast<MissileClass*>(ordnance("missile"));
    EXPECT_EQ(missile->ordIntParam, 10);
    EXPECT_TRUE(missile->reportHits);
    EXPECT_FLOAT_EQ(static_cast<ThermalMissileClass*>(ordnance("thermalmissile"))->lockAngle, 0.31415927f);
    auto* launcher = static_cast<LauncherClass*>(weapon("launcher"));
    EXPECT_STREQ(launcher->fireSound, "wrock.wav");
    EXPECT_FLOAT_EQ(launcher->lockTime, 5.0f);
    EXPECT_STREQ(static_cast<TargetingGunClass*>(weapon("targeting"))->tagSound, "h45ch.wav");
    EXPECT_STREQ(weapon("targeting")->fireSound, "whmgun.wav");
}

TEST_F(GuidedTest, ARocketWithoutPuffFramesHasNoEmitterAndLeavesNoPuffs) {
    content::RocketValues r = Trail(0.05f);
    r.puffFrames = 0;
    AddShot("rnone", "rocket", 50.0f, 5.0f, r);
    auto* rocket = dynamic_cast<Rocket*>(OrdnanceClass::Find("rnone")->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr));
    ASSERT_NE(rocket, nullptr);
    EXPECT_EQ(rocket->trailEmitter, nullptr);
    EXPECT_NE(rocket->entity->flags & kRocketFlying, 0u);
    for (int i = 0; i < 10; ++i) Ordnance_StepAll(0.1f);
    EXPECT_EQ(ParticleBuffer_Count(), 0);
    EXPECT_EQ(EffectList::UsedEnd(), 0);
    rocket->Remove();
    EXPECT_EQ(rocket->entity->flags & kRocketFlying, 0u);
}

TEST_F(GuidedTest, TrailPuffsAreSpacedAndAgedAlikeAtThirtyAndSixtyFrames) {
    AddShot("rtrail", "rocket", 50.0f, 5.0f, Trail(0.05f));
    OrdnanceClass* cls = OrdnanceClass::Find("rtrail");
    auto fly = [&](int rate) {
        ParticleBuffer_Clear();
        RandomTable_SetIndex(0);
        cls->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
        const float dt = 1.0f / static_cast<float>(rate);
        // The game's order: the smoke moves in the simulation, the shots step after it.
        for (int i = 0; i < rate; ++i) {
            Smoke_Effect().Simulate(dt);
            Ordnance_StepAll(dt);
        }
        Ordnance_DeleteAll();
        std::vector<std::pair<Vector, float>> out;
        for (int i = 0; i < ParticleBuffer_Count(); ++i)
            out.push_back({ParticleBuffer_Records()[i].position, ParticleBuffer_Records()[i].start});
        return out;
    };
    const auto at30 = fly(30), at60 = fly(60);
    ASSERT_EQ(at30.size(), 20u) << "one puff every 0.05 s for 1 s";
    ASSERT_EQ(at60.size(), at30.size());
    for (size_t i = 0; i < at30.size(); ++i) {
        EXPECT_NEAR(at30[i].first.x, at60[i].first.x, 0.02f) << i;
        EXPECT_NEAR(at30[i].first.y, at60[i].first.y, 0.02f) << i;
        EXPECT_NEAR(at30[i].first.z, at60[i].first.z, 0.02f) << i;
        EXPECT_NEAR(at30[i].second, at60[i].second, 1e-3f) << "same animation frame " << i;
    }
    // Spaced along the path: 2.5 m apart (50 m/s x 0.05 s), behind the rocket by its glow length.
    EXPECT_NEAR(at30[1].first.z - at30[0].first.z, 2.5f, 0.05f);
    EXPECT_NEAR(at30.front().first.z, -1.0f, 0.15f) << "the first puff where the rocket started, a glow length back";
}

TEST_F(GuidedTest, AFrameLongerThanTheLifeAddsPuffsOnlyForThatLifeAndNoIntervalHangs) {
    struct Case {
        const char* what;
        float interval, lifetime, dt;
        int puffs;
    } cases[] = {
        {"life 0.5 s in a 2 s frame", 0.1f, 0.5f, 2.0f, 5},
        {"the same life in its own frame", 0.1f, 0.5f, 0.5f, 5},
        {"a long life", 0.1f, 10.0f, 0.5f, 5},
        {"no interval: one puff a step", 0.0f, 10.0f, 0.5f, 1},
        {"a negative interval: one puff a step", -1.0f, 10.0f, 0.5f, 1},
    };
    int n = 0;
    for (const Case& c : cases) {
        ParticleBuffer_Clear();
        const std::string name = "rlife" + std::to_string(n++);
        content::RocketValues r = Trail(c.interval);
        r.glowLength = 0.0f;
        AddShot(name, "rocket", 10.0f, c.lifetime, r);
        OrdnanceClass::Find(name.c_str())->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr);
        Ordnance_StepAll(c.dt);
        EXPECT_EQ(ParticleBuffer_Count(), c.puffs) << c.what;
        for (const Vector& p : Puffs()) EXPECT_GE(p.z, -1e-3f) << c.what << ": no puff before the launch point";
        Ordnance_DeleteAll();
    }
}

TEST_F(GuidedTest, TwoThousandRocketsOfOneClassShareOneSmokeTypeAcrossMissionStarts) {
    AddShot("rbusy", "rocket", 50.0f, 5.0f, Trail(0.5f));
    AddShot("rother", "rocket", 50.0f, 5.0f, Trail(0.5f));
    OrdnanceClass* busy = OrdnanceClass::Find("rbusy");
    std::vector<Ordnance*> rockets;
    for (int i = 0; i < 2000; ++i) rockets.push_back(busy->Build(Aim(static_cast<float>(i % 50), 50, 0, {0, 0, 1}), nullptr));
    Ordnance_StepAll(0.1f);
    EXPECT_EQ(EffectList::UsedEnd(), 1);
    OrdnanceClass::Find("rother")->Build(Aim(0, 60, 0, {0, 0, 1}), nullptr);
    Ordnance_StepAll(0.1f);
    EXPECT_EQ(EffectList::UsedEnd(), 2) << "one more class, one more type";
    // A mission start empties the table: the class registers its type again and puffs on.
    EffectList::Clear();
    ParticleBuffer_Clear();
    Ordnance_StepAll(1.0f);
    EXPECT_EQ(EffectList::UsedEnd(), 2);
    EXPECT_GT(ParticleBuffer_Count(), 0);
}

TEST_F(GuidedTest, ARocketDrawsItsGlowAsTwoQuadsAndItsFlareAsABillboard) {
    content::RocketValues r = Trail(0.1f);
    r.glowWidth = 0.3f;
    r.glowSprite = "rglow.0";
    r.glowFrames = 4;
    r.flareSize = 0.5f;
    r.flareSprite = "rflare.0";
    r.flareFrames = 4;
    AddShot("rlit", "rocket", 50.0f, 5.0f, r);
    Rocket* rocket = static_cast<Rocket*>(OrdnanceClass::Find("rlit")->Build(Aim(0, 0, 20, {0, 0, 1}), nullptr));
    Ordnance_StepAll(0.02f);
    // The smoke sprite around the glow goes into the queue at the rocket's place in the view, so
    // it is queued when the rocket is drawn (a world position would put it anywhere on screen).
    EXPECT_EQ(g_drawn.smoke, 0) << "stepping draws nothing";
    rocket->Render(nullptr);
    EXPECT_EQ(g_drawn.smoke, 1) << "the glowing rocket queues its smoke sprite when drawn";
    const DVector& at = rocket->entity->local.posit;
    EXPECT_FLOAT_EQ(g_drawn.smokeAt[0], static_cast<float>(at.x) - 100.0f);
    EXPECT_FLOAT_EQ(g_drawn.smokeAt[1], static_cast<float>(at.y));
    EXPECT_FLOAT_EQ(g_drawn.smokeAt[2], static_cast<float>(at.z));
    EXPECT_FLOAT_EQ(g_drawn.smokeSize, 10.0f);
    EXPECT_EQ(g_drawn.quads, 2);
    EXPECT_EQ(g_drawn.billboards, 1);
    for (int sprite : g_drawn.quadSprites) {
        EXPECT_GE(sprite, Sprite("rglow.0"));
        EXPECT_LT(sprite, Sprite("rglow.0") + 4);
    }
    // Behind the view nothing is queued.
    g_drawn = Drawn{};
    rocket->entity->local = Aim(0, 0, -20, {0, 0, -1});
    rocket->Render(nullptr);
    EXPECT_EQ(g_drawn.quads + g_drawn.billboards, 0);
}

// ---- tracer -----------------------------------------------------------------------------------

TEST_F(GuidedTest, ATracerIsALineBeyondItsLineDistanceAndQuadsNearer) {
    content::TracerValues t;
    t.streakSprite = "streak.0";
    t.streakColour = 0x123456;
    t.lineDistance = 50.0f;
    t.streakLength = 10.0f;
    t.streakWidth = 0.1f;
    AddShot("tstreak", "tracer", 100.0f, 5.0f, {}, t);
    struct Case {
        const char* what;
        float start, travel;
        int lines, quads;
    } cases[] = {
        {"far", 100.0f, 0.2f, 1, 0},
        {"near", 10.0f, 0.2f, 0, 2},
        {"just fired: nothing travelled, nothing drawn", 10.0f, 0.0f, 0, 0},
    };
    for (const Case& c : cases) {
        g_drawn = Drawn{};
        Tracer* tracer = static_cast<Tracer*>(OrdnanceClass::Find("tstreak")->Build(Aim(0, 0, c.start, {0, 0, 1}), nullptr));
        if (c.travel > 0.0f) Ordnance_StepAll(c.travel);
        tracer->Render(nullptr);
        EXPECT_EQ(g_drawn.lines, c.lines) << c.what;
        EXPECT_EQ(g_drawn.quads, c.quads) << c.what;
        if (c.lines) {
            EXPECT_EQ(g_drawn.lineColours[0], 0x123456u);
        }
        for (int s : g_drawn.quadSprites) EXPECT_EQ(s, Sprite("streak.0"));
        Ordnance_DeleteAll();
    }
    EXPECT_NEAR(static_cast<Tracer*>(OrdnanceClass::Find("tstreak")->Build(Aim(0, 0, 0, {0, 0, 1}), nullptr))->travelled, 0.0f,
                1e-6f);
}

// ---- tag gun ----------------------------------------------------------------------------------

class TagGunTest : public GuidedTest {
protected:
    void SetUp() override {
        GuidedTest::SetUp();
        content::GuidedValues steer;
        steer.turnRate = 1.0f;
        AddShot("missile1", "missile", 100.0f, 5.0f, Trail(0.1f), {}, steer, 10);
        content::WeaponValues w;
        w.label = "targeting";
        w.ordnance = "missile1";
        w.sprites[1] = "classicon";
        content::LockValues salvo;
        salvo.trackingIcon = "trackicon";
        salvo.lockedIcon = "lockicon";
        salvo.salvoDelay = 0.5f;
        salvo.salvoInterval = 0.2f;
        salvo.salvoCount = 3;
        content::OrdnanceValues tag;
        tag.label = "targeting";
        tag.speed = 150.0f;
        tag.lifetime = 2.0f;
        tag.ammoCost = 2;
        content::GuidedValues attach;
        attach.attachTime = 3.0f;
        std::string text, error;
        ASSERT_TRUE(content::LockWeaponText(w, salvo, &tag, nullptr, &attach, &text, &error)) << error;
        AddFile("wtag.odf", text);
    }
    int Missiles() {
        int n = 0;
        for (Ordnance* o : Ordnance_LiveList()) n += dynamic_cast<Missile*>(o) != nullptr;
        return n;
    }
};

TEST_F(TagGunTest, OneFileServesTheGunAndItsTag) {
    auto* gun = dynamic_cast<TargetingGun*>(Mount("wtag", 0, 50, 0));
    ASSERT_NE(gun, nullptr);
    const TargetingGunClass& cls = gun->Class();
    ASSERT_NE(cls.tagClass, nullptr);
    EXPECT_STREQ(cls.tagClass->nameText, "wtag");
    EXPECT_FLOAT_EQ(cls.tagClass->ordFloatParam, 150.0f);
    EXPECT_FLOAT_EQ(static_cast<TargetingRocketClass*>(cls.tagClass)->attachTime, 3.0f);
    EXPECT_STREQ(gun->ordnanceClass->nameText, "missile1");
    EXPECT_EQ(cls.salvoCount, 3);
    EXPECT_EQ(gun->sprite2, Sprite("classicon"));
}

TEST_F(TagGunTest, ATagOnANewTargetReArmsAFullSalvoWithAFreshDelay) {
    auto* gun = static_cast<TargetingGun*>(Mount("wtag", 0, 50, 0));
    Target* a = At(0, 50, 30);
    Target* b = At(10, 50, 30);
    gun->PullTrigger();
    gun->Update(0.1f);
    ASSERT_NE(gun->tag, nullptr);
    EXPECT_EQ(g_sounds.back(), "h45ch.wav/2048");
    gun->UpdateMount(0.0f);
    EXPECT_EQ(gun->sprite2, Sprite("trackicon")) << "a tag in flight without a target";
    Ordnance_StepAll(0.25f);  // 37.5 m: the tag meets the first target
    ASSERT_EQ(gun->tag->attached, a->GetObjHandle());
    gun->UpdateMount(0.0f);
    EXPECT_EQ(gun->sprite2, Sprite("lockicon"));
    EXPECT_EQ(gun->salvoLeft, 3);
    EXPECT_FLOAT_EQ(gun->fireClock, -0.5f);
    gun->Update(0.4f);
    EXPECT_EQ(Missiles(), 0) << "still in the delay";
    gun->Update(0.2f);  // 0.1 s overdue: one missile
    EXPECT_EQ(Missiles(), 1);
    EXPECT_EQ(gun->salvoLeft, 2);
    for (Ordnance* o : Ordnance_LiveList()) {
        if (auto* m = dynamic_cast<Missile*>(o)) {
            EXPECT_EQ(m->target, a->GetObjHandle());
        }
    }
    // The tag moves to another object: a full salvo again, after a fresh delay.
    gun->tag->attached = b->GetObjHandle();
    gun->UpdateMount(0.0f);
    EXPECT_EQ(gun->salvoLeft, 3);
    EXPECT_FLOAT_EQ(gun->fireClock, -0.5f);
    gun->Update(0.55f);
    EXPECT_EQ(Missiles(), 2);
    Missile* newest = dynamic_cast<Missile*>(Ordnance_LiveList().front());
    ASSERT_NE(newest, nullptr);
    EXPECT_EQ(newest->target, b->GetObjHandle());
    gun->Update(0.5f);  // the rest fall due together
    EXPECT_EQ(Missiles(), 4);
    EXPECT_EQ(gun->salvoLeft, 0);
    EXPECT_LT(gun->fireClock, 0.0f) << "a reload follows the salvo";
}

TEST_F(TagGunTest, RunningOutOfAmmunitionEndsTheSalvoSilentlyAndAVanishedTargetShowsTracking) {
    auto* gun = static_cast<TargetingGun*>(Mount("wtag", 0, 50, 0, 500));
    Target* a = At(0, 50, 30);
    gun->PullTrigger();
    gun->Update(0.1f);
    Ordnance_StepAll(0.25f);
    gun->UpdateMount(0.0f);
    ASSERT_EQ(gun->salvoLeft, 3);
    owner->SetAmmo(15);  // one missile's worth
    g_sounds.clear();
    gun->Update(2.0f);
    EXPECT_EQ(Missiles(), 1);
    EXPECT_EQ(gun->salvoLeft, 0);
    EXPECT_EQ(owner->curAmmo, 5);
    EXPECT_LE(g_sounds.size(), 1u) << "only the salvo's loop";
    // The tagged object goes: the tag dies with it and the gun shows the tracking icon.
    a->entity->flags |= kEntityDead;
    gun->UpdateMount(0.0f);
    EXPECT_EQ(gun->sprite2, Sprite("trackicon"));
    EXPECT_EQ(gun->lastTarget, 0u);
    Ordnance_StepAll(0.1f);
    Ordnance_UpdateAll(0.0f);
    EXPECT_EQ(gun->tag, nullptr) << "the removed tag lets go of its gun";
    gun->UpdateMount(0.0f);
    EXPECT_EQ(gun->sprite2, Sprite("classicon"));
}

// ---- switcher ---------------------------------------------------------------------------------

TEST_F(GuidedTest, ASwitcherLendsItsHitToTheShootersTeamAndGivesItBack) {
    content::GuidedValues g;
    g.switchTime = 1.0f;
    AddShot("switch1", "switcher", 100.0f, 5.0f, {}, {}, g);
    struct Case {
        const char* what;
        int32_t objectTeam;
        bool vanish;
        int32_t during, after;
    } cases[] = {
        {"an enemy is lent and given back", 2, false, 1, 2},
        {"one of the shooter's own stays", 1, false, 1, 1},
        {"a vanished object keeps its team", 2, true, 1, 1},
    };
    for (const Case& c : cases) {
        Entity* shooter = NewRoot(1, 0, false);
        Target* t = At(0, 50, 20, 2.0f, c.objectTeam);
        t->SetTeam(c.objectTeam);
        t->SetAiProcess(new Brain);
        Ordnance* s = OrdnanceClass::Find("switch1")->Build(Aim(0, 50, 0, {0, 0, 1}), shooter);
        Ordnance_StepAll(0.25f);  // meets the object
        ASSERT_FALSE(s->IsDead()) << c.what;
        Ordnance_StepAll(0.1f);
        EXPECT_EQ(t->GetTeam(), c.during) << c.what;
        if (c.vanish) t->entity->flags |= kEntityDead;
        for (int i = 0; i < 12; ++i) Ordnance_StepAll(0.1f);
        EXPECT_TRUE(s->IsDead()) << c.what;
        EXPECT_EQ(t->GetTeam(), c.after) << c.what;
        Ordnance_DeleteAll();
        t->entity->flags &= ~kEntityDead;
        delete t;
        GameObject_UpdateGrid();
    }
}

// ---- seekers ----------------------------------------------------------------------------------

TEST_F(GuidedTest, TheHeatSeekerScoresByAngleHeatAndDistance) {
    // c^32 * heat * R^2 / d^2 with c = z^2 / d^2.
    EXPECT_FLOAT_EQ(Thermal_Score(Vector{0, 0, 10}, 1.0f, 100.0f), 100.0f);
    EXPECT_FLOAT_EQ(Thermal_Score(Vector{0, 0, 10}, 2.0f, 100.0f), 200.0f);
    const float c = 100.0f / 101.0f;
    EXPECT_NEAR(Thermal_Score(Vector{1, 0, 10}, 1.0f, 100.0f), std::pow(c, 32.0f) * 10000.0f / 101.0f, 1e-3f);
    EXPECT_FLOAT_EQ(Thermal_Score(Vector{0, 0, 0}, 1.0f, 100.0f), 0.0f) << "no direction, no score";

    const Matrix frame = Aim(0, 50, 0, {0, 0, 1});
    const float narrow = 0.0001f;  // a cone far thinner than any object
    Target* ahead = At(1.0f, 50, 40, 2.0f);  // 1 m aside: within 0.75 of its 2 m radius
    EXPECT_EQ(Thermal_FindTarget(frame, 100.0f, narrow, nullptr), ahead) << "squarely ahead is always in the cone";
    Target* tie = At(-1.0f, 50, 40, 2.0f);
    // The grid hands the two in some order; the first of them keeps the win.
    GameObject* first = nullptr;
    BucketGridQuery query;
    GameObject_Grid()->BeginQuery(-5, 35, 5, 45, &query);
    const BucketGridEntry* entry = nullptr;
    while (!first && query.Next(&entry)) first = GameObject::FromHandle(entry->value);
    ASSERT_TRUE(first == ahead || first == tie);
    GameObject* second = first == ahead ? tie : ahead;
    EXPECT_EQ(Thermal_FindTarget(frame, 100.0f, narrow, nullptr), first) << "a tie keeps the first found";
    first->entity->flags |= kEntityUntargetable;
    EXPECT_EQ(Thermal_FindTarget(frame, 100.0f, narrow, nullptr), second) << "flag 0x400 is dropped";
    second->entity->flags |= kEntityUntargetable;
    EXPECT_EQ(Thermal_FindTarget(frame, 100.0f, narrow, nullptr), nullptr);
    Target* wide = At(30.0f, 50, 40, 1.0f);
    const float s = std::sin(0.31415927f);
    EXPECT_EQ(Thermal_FindTarget(frame, 100.0f, s * s, nullptr), nullptr) << "outside 18 degrees";
    EXPECT_EQ(Thermal_FindTarget(frame, 100.0f, 0.5f, nullptr), wide) << "inside 45 degrees";
    EXPECT_EQ(Thermal_FindTarget(frame, 30.0f, 0.5f, nullptr), nullptr) << "beyond the range";
    EXPECT_EQ(Thermal_FindTarget(frame, 100.0f, 0.5f, wide->entity), nullptr) << "the launcher's owner is skipped";
}

TEST_F(GuidedTest, TheImageSearchPicksTheNearestObjectSquarelyUnderTheAxis) {
    const Matrix frame = Aim(0, 50, 0, {0, 0, 1});
    Target* far = At(0.5f, 50, 80, 2.0f);
    Target* near = At(1.4f, 50, 40, 2.0f);  // 1.4 < 0.75 x 2
    Target* aside = At(1.6f, 50, 20, 2.0f);  // 1.6 > 0.75 x 2
    Target* behind = At(0.0f, 50, -10, 2.0f);
    (void)aside;
    (void)behind;
    EXPECT_EQ(Image_FindTarget(frame, 100.0f, nullptr), near);
    EXPECT_EQ(Image_FindTarget(frame, 50.0f, nullptr), near);
    EXPECT_EQ(Image_FindTarget(frame, 30.0f, nullptr), nullptr);
    near->entity->flags |= kEntityUntargetable;
    EXPECT_EQ(Image_FindTarget(frame, 100.0f, nullptr), far);
    EXPECT_EQ(Image_FindTarget(frame, 100.0f, far->entity), nullptr) << "the owner is skipped";
}

// ---- launchers --------------------------------------------------------------------------------

class LauncherTest : public GuidedTest {
protected:
    void SetUp() override {
        GuidedTest::SetUp();
        content::GuidedValues steer;
        steer.turnRate = 1.0f;
        steer.steerGain = 100.0f;
        AddShot("missile1", "missile", 100.0f, 5.0f, Trail(0.1f), {}, steer, 10);
    }
    Launcher* WithStages(const char* name, int count, bool icons = true, bool lockedIcon = true) {
        content::LockValues lock;
        lock.lockTime = 1.0f;
        lock.lockRange = 300.0f;
        lock.lockFrameCount = count;
        if (lockedIcon) lock.lockedIcon = "lockicon";
        lock.lockSound = "stage.wav";
        lock.lockedSound = "locked.wav";
        if (icons)
            for (int i = 1; i <= std::min(count, 99); ++i) lock.lockFrames.push_back("stage." + std::to_string(i));
        AddLauncher(name, "launcher", lock);
        auto* launcher = dynamic_cast<Launcher*>(Mount(name, 0, 50, 0));
        EXPECT_NE(launcher, nullptr);
        return launcher;
    }
    // One frame of the game's order: trigger, mount update, weapon update.
    void Frame(Launcher* l, bool held, float dt = 0.12f) {
        if (held) l->PullTrigger();
        l->UpdateMount(dt);
        l->Update(dt);
    }
};

TEST_F(LauncherTest, StageCountsFromFilesAndTheirEdges) {
    struct Case {
        int count;
        int32_t stored;
        int stages;
    } cases[] = {{0, 0, 1}, {1, 1, 1}, {4, 4, 4}, {-3, 0, 1}, {1000000, 99, 99}};
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "wl" + std::to_string(n++);
        Launcher* l = WithStages(name.c_str(), c.count, false);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->Class().lockFrameCount, c.stored) << c.count;
        EXPECT_EQ(l->Class().StageCount(), c.stages) << c.count;
        EXPECT_FLOAT_EQ(l->stageTime, 1.0f / static_cast<float>(c.stages)) << c.count;
        EXPECT_EQ(l->Class().StageIcon(c.stored + 5), Sprite("classicon")) << "never past the icons";
    }
}

TEST_F(LauncherTest, ACountOfOneOrZeroLocksOnTheFirstFrameWithACandidate) {
    for (int count : {1, 0}) {
        const std::string name = "wone" + std::to_string(count);
        Launcher* l = WithStages(name.c_str(), count);
        Target* t = At(0, 50, 100);
        owner->SetTarget(t);
        Frame(l, true);
        EXPECT_EQ(l->locked, t->GetObjHandle()) << count;
        EXPECT_EQ(l->sprite2, count == 1 ? Sprite("stage.1") : Sprite("classicon")) << count;
        Frame(l, false);
        EXPECT_EQ(Ordnance_LiveList().size(), 1u) << count << ": let go, it fires";
        Ordnance_DeleteAll();
    }
}

TEST_F(LauncherTest, AComputerGunnerWaitsForTheFinalStageAndReadsTheCone) {
    Launcher* l = WithStages("wwait", 1);
    EXPECT_TRUE(UnitTask_Hooks().lockPending(l)) << "nothing locked yet";
    Target* t = At(0, 50, 100);
    owner->SetTarget(t);
    Frame(l, true);
    ASSERT_EQ(l->locked, t->GetObjHandle());
    EXPECT_FALSE(UnitTask_Hooks().lockPending(l)) << "locked: it may fire";
    l->coneValue = 12.5f;
    EXPECT_FLOAT_EQ(UnitTask_Hooks().coneValue(l), 12.5f);
    Frame(l, false);
    Ordnance_DeleteAll();
}

TEST_F(LauncherTest, LettingGoBeforeTheFinalStageFiresNothingAndDropsTheStage) {
    Launcher* l = WithStages("wfour", 4);
    Target* t = At(0, 50, 100);
    owner->SetTarget(t);
    for (int i = 0; i < 6; ++i) Frame(l, true);  // 0.6 s of a 1 s lock over 4 stages of 0.25 s
    EXPECT_EQ(l->lockStage, 2);
    EXPECT_EQ(l->sprite2, Sprite("stage.3"));
    EXPECT_EQ(l->locked, 0u);
    Frame(l, false);
    EXPECT_TRUE(Ordnance_LiveList().empty());
    EXPECT_EQ(l->lockStage, 0);
    EXPECT_EQ(l->sprite2, Sprite("classicon"));
    // Held long enough it locks, keeps the lock after the trigger and fires on letting go.
    for (int i = 0; i < 8; ++i) Frame(l, true);
    EXPECT_EQ(l->lockStage, 3);
    EXPECT_EQ(l->locked, t->GetObjHandle());
    const int32_t ammo = owner->curAmmo;
    Frame(l, false);
    ASSERT_EQ(Ordnance_LiveList().size(), 1u);
    auto* missile = dynamic_cast<Missile*>(Ordnance_LiveList().front());
    ASSERT_NE(missile, nullptr);
    EXPECT_EQ(missile->target, t->GetObjHandle());
    EXPECT_EQ(owner->curAmmo, ammo - 10);
    EXPECT_EQ(l->locked, 0u);
    EXPECT_EQ(g_sounds.back(), "wrock.wav/2048");
}

TEST_F(LauncherTest, ANewCandidateKeepsTheOldLockUntilItReachesTheFinalStage) {
    Launcher* l = WithStages("wswap", 4);
    Target* a = At(0, 50, 100);
    Target* b = At(20, 50, 100);
    owner->SetTarget(a);
    for (int i = 0; i < 9; ++i) Frame(l, true);
    ASSERT_EQ(l->locked, a->GetObjHandle());
    owner->SetTarget(b);
    Frame(l, true);
    EXPECT_EQ(l->candidate, b->GetObjHandle());
    EXPECT_EQ(l->lockStage, 0);
    EXPECT_EQ(l->locked, a->GetObjHandle());
    for (int i = 0; i < 6; ++i) Frame(l, true);
    EXPECT_EQ(l->locked, a->GetObjHandle()) << "stage 2 of 3";
    for (int i = 0; i < 3; ++i) Frame(l, true);
    EXPECT_EQ(l->locked, b->GetObjHandle());
}

TEST_F(LauncherTest, AClassWithoutTheLockedIconKeyShowsTheClassIcon) {
    Launcher* with = WithStages("wicon", 2, true, true);
    Launcher* without = WithStages("wnoicon", 2, true, false);
    EXPECT_EQ(with->Class().lockedIcon, Sprite("lockicon"));
    EXPECT_EQ(without->Class().lockedIcon, Sprite("classicon"));
    EXPECT_EQ(without->Class().trackingIcon, Sprite("classicon"));
}

TEST_F(LauncherTest, TheImageAndThermalLaunchersLockWhatTheirSearchFinds) {
    content::LockValues lock;
    lock.lockTime = 1.0f;
    lock.lockRange = 300.0f;
    lock.lockFrameCount = 2;
    AddShot("imiss", "imagemissile", 100.0f, 5.0f, Trail(0.1f), {}, {}, 10);
    AddShot("tmiss", "thermalmissile", 100.0f, 5.0f, Trail(0.1f), {}, {}, 10);
    AddLauncher("wimage", "imagelauncher", lock, "imiss");
    AddLauncher("wheat", "thermallauncher", lock, "tmiss");
    Target* t = At(0.5f, 50, 100);
    for (const char* name : {"wimage", "wheat"}) {
        auto* l = dynamic_cast<Launcher*>(Mount(name, 0, 50, 0));
        ASSERT_NE(l, nullptr) << name;
        for (int i = 0; i < 6; ++i) Frame(l, true);
        EXPECT_EQ(l->locked, t->GetObjHandle()) << name;
        Frame(l, false);
        ASSERT_FALSE(Ordnance_LiveList().empty()) << name;
        auto* m = dynamic_cast<Missile*>(Ordnance_LiveList().front());
        ASSERT_NE(m, nullptr) << name;
        EXPECT_EQ(m->GetTarget(), t) << name;
        Ordnance_DeleteAll();
        owner->SetPosition(Vector{1000, 50, -1000});  // out of the next launcher's sight
        GameObject_UpdateGrid();
    }
}

// ---- missiles ---------------------------------------------------------------------------------

TEST_F(LauncherTest, AMissileWhoseTargetDiesFliesStraightAndStillPullsToItsNose) {
    auto* m = static_cast<Missile*>(OrdnanceClass::Find("missile1")->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr));
    Target* t = At(30, 50, 100);
    m->SetTarget(t);
    Ordnance_UpdateAll(0.1f);
    EXPECT_NE(m->turnRates.y, 0.0f);
    t->entity->flags |= kEntityDead;
    m->motion.velocity = Vector{50.0f, 0.0f, 50.0f};  // sliding across its nose
    Ordnance_UpdateAll(0.1f);
    EXPECT_EQ(m->target, 0u);
    EXPECT_EQ(m->turnRates.x, 0.0f);
    EXPECT_EQ(m->turnRates.y, 0.0f);
    const Vector front = m->entity->local.front;
    Ordnance_StepAll(0.005f);  // gain 1 a second at 100 m/s: pulled 0.5 percent of the way
    EXPECT_NEAR(m->motion.velocity.x, 50.0f + (100.0f * front.x - 50.0f) * 0.005f, 1e-3f);
    EXPECT_NEAR(m->motion.velocity.z, 50.0f + (100.0f * front.z - 50.0f) * 0.005f, 1e-3f);
    EXPECT_NEAR(m->entity->local.front.z, front.z, 1e-6f) << "no turn";
}

TEST_F(LauncherTest, ALargeTurnIsClampedToTheTurnRateAndTurnsTowardTheTarget) {
    struct Case {
        Vector target;
    } cases[] = {{{100, 50, 10}}, {{-100, 80, 10}}, {{0, 150, 10}}, {{0.01f, 50, 100}}};
    for (const Case& c : cases) {
        auto* m = static_cast<Missile*>(OrdnanceClass::Find("missile1")->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr));
        Target* t = At(c.target.x, c.target.y, c.target.z);
        m->SetTarget(t);
        const Vector toward = Vec3_Normalize(Vec3_Sub(c.target, Pos(m->entity)));
        const float angleBefore = std::acos(std::min(1.0f, Vec3_Dot(toward, m->entity->local.front)));
        m->Update(0.1f);
        const float rate = std::sqrt(m->turnRates.x * m->turnRates.x + m->turnRates.y * m->turnRates.y);
        if (angleBefore > 0.2f) {
            EXPECT_NEAR(rate, 1.0f, 1e-4f) << c.target.x;
        }
        EXPECT_LE(rate, 1.0f + 1e-4f);
        m->Step(0.1f);
        const float angleAfter = std::acos(std::min(1.0f, Vec3_Dot(toward, m->entity->local.front)));
        EXPECT_NEAR(angleBefore - angleAfter, std::min(angleBefore, 0.1f), 2e-3f)
            << "the nose turns toward the target by the rate " << c.target.x;
        Ordnance_DeleteAll();
        delete t;
        GameObject_UpdateGrid();
    }
}

TEST_F(LauncherTest, TheTargetsNetworkIdSurvivesTheLaunchRecord) {
    Target* t = At(0, 50, 100);
    t->netId = 0x00020007;
    g_netObjects.push_back(t);
    Seam_Net().isNetworkGame = [] { return true; };
    auto* m = static_cast<Missile*>(OrdnanceClass::Find("missile1")->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr));
    m->SetTarget(t);
    Ordnance_SendNew();
    ASSERT_EQ(g_queued.size(), 1u);
    const std::vector<uint8_t> body(g_queued[0].begin() + 2, g_queued[0].end());
    Ordnance_DeleteAll();
    Seam_Net().localPlayerId = [] { return uint16_t{2}; };
    Ordnance_ReceiveNew(body.data(), static_cast<int>(body.size()), 1);
    ASSERT_EQ(Ordnance_LiveList().size(), 1u);
    auto* received = dynamic_cast<Missile*>(Ordnance_LiveList().front());
    ASSERT_NE(received, nullptr);
    EXPECT_EQ(received->target, t->GetObjHandle());
    // A record cut inside the state is refused.
    uint8_t state[4];
    EXPECT_EQ(received->UnpackState(state, 3), -1);
    EXPECT_EQ(received->Class().StateSize(state, 3), -1);
    EXPECT_EQ(received->Class().StateSize(state, 4), 4);
}

TEST_F(LauncherTest, AnImageMissileDropsATargetThatBecameUntargetable) {
    AddShot("imiss", "imagemissile", 100.0f, 5.0f, Trail(0.1f), {}, {}, 10);
    auto* m = dynamic_cast<ImageMissile*>(OrdnanceClass::Find("imiss")->Build(Aim(0, 50, 0, {0, 0, 1}), nullptr));
    ASSERT_NE(m, nullptr);
    Target* t = At(0, 50, 100);
    m->SetTarget(t);
    EXPECT_EQ(m->GetTarget(), t);
    t->entity->flags |= kEntityUntargetable;
    EXPECT_EQ(m->GetTarget(), nullptr);
    EXPECT_EQ(m->target, 0u);
}

TEST_F(LauncherTest, ZeroShotSpeedGivesNoPullAndTheUsersMissileIsKnownWhileItFlies) {
    AddShot("mstill", "missile", 0.0f, 5.0f, Trail(0.1f), {}, {}, 10);
    auto* still = static_cast<MissileClass*>(OrdnanceClass::Find("mstill"));
    EXPECT_EQ(still->steerGain, 0.0f);
    EXPECT_FLOAT_EQ(static_cast<MissileClass*>(OrdnanceClass::Find("missile1"))->steerGain, 1.0f);
    Entity* user = NewRoot(1, kEntityUser, false);
    Ordnance* mine = OrdnanceClass::Find("missile1")->Build(Aim(0, 50, 0, {0, 0, 1}), user);
    EXPECT_EQ(Missile_UserMissile(), mine);
    mine->Remove();
    EXPECT_EQ(Missile_UserMissile(), nullptr);
}

}  // namespace
