#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "core/app.h"
#include "core/configfile.h"
#include "core/game.h"
#include "core/seams/audio.h"
#include "core/seams/render.h"
#include "fun3d/craftservices.h"
#include "platform/random.h"
#include "weapons/sceneeffects.h"
#include "weapons_fixture.h"

namespace {

struct SoundCall {
    std::string what;
    float volume;
};
std::vector<SoundCall> g_sounds;
int g_rumble = 0;  // its address is the loop's handle

struct Line {
    float width;
    uint32_t colour;
};
std::vector<Line> g_lines;

class SceneEffectsTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        g_sounds.clear();
        g_lines.clear();
        AudioSeam& audio = Seam_Audio();
        audio.soundLoopStart = [](const char* name, Entity* owner, float volume) -> void* {
            g_sounds.push_back({std::string("start ") + name + (owner ? " owned" : ""), volume});
            return &g_rumble;
        };
        audio.soundLoopSet = [](void* loop, float volume, float) {
            g_sounds.push_back({loop == &g_rumble ? "set" : "set ?", volume});
        };
        audio.soundLoopStop = [](void* loop) { g_sounds.push_back({loop == &g_rumble ? "stop" : "stop ?", 0.0f}); };
        RenderSeam& render = Seam_Render();
        render.queueLine = [](RenderView*, const float*, const float*, float width, uint32_t colour) {
            g_lines.push_back({width, colour});
        };
        // The eye 50 m up at the origin, looking along +z.
        render.viewEye = [](const RenderView*, float* position, float* forward) {
            position[0] = 0.0f, position[1] = 50.0f, position[2] = 0.0f;
            forward[0] = 0.0f, forward[1] = 0.0f, forward[2] = 1.0f;
            return true;
        };
        Cfg_Forget();
        Game_SetState(kStateRun);
    }
    void TearDown() override {
        Lightning_Effect().Clear();
        Quake_Effect().Stop();
        Terrain_SetFileName("");
        Cfg_Forget();
        Game_SetState(0);
        WeaponsFixture::TearDown();
    }
    // The map's settings file with a "LightningBolt" section of these lines.
    void MapWithLightning(const std::string& lines) {
        AddFile("storm.TRN", "[LightningBolt]\n" + lines);
        Terrain_SetFileName("storm");
    }
};

TEST_F(SceneEffectsTest, TheRumbleFollowsTheMagnitudeAndStopsWithTheMission) {
    QuakeEffect& quake = Quake_Effect();
    quake.SetMagnitude(3.0f);
    EXPECT_TRUE(g_sounds.empty()) << "no rumble to change yet";
    quake.Start(2.0f);
    quake.SetMagnitude(5.0f);
    quake.MissionCleanup();
    ASSERT_EQ(g_sounds.size(), 3u);
    EXPECT_EQ(g_sounds[0].what, "start gquak01.wav") << "no owner object";
    EXPECT_EQ(g_sounds[0].volume, 20.0f);
    EXPECT_EQ(g_sounds[1].what, "set");
    EXPECT_EQ(g_sounds[1].volume, 50.0f);
    EXPECT_EQ(g_sounds[2].what, "stop");
    EXPECT_EQ(quake.magnitude, 0.0f);
    EXPECT_EQ(quake.rumble, nullptr) << "freed";
    quake.Stop();
    EXPECT_EQ(g_sounds.size(), 3u) << "stopping twice stops nothing more";
}

TEST_F(SceneEffectsTest, AnObjectTwoMetresUpGetsAThirdOfTheKick) {
    GameObjectClass& cls = NewClass();
    GameObject* low = Build(cls);
    GameObject* high = Build(cls);
    ASSERT_TRUE(low && high);
    const float ground = Terrain_GetHeight(10.0, 10.0);
    low->entity->local.posit = DVector{10.0, ground, 10.0};
    high->entity->local.posit = DVector{10.0, ground + 2.0, 10.0};

    QuakeEffect& quake = Quake_Effect();
    quake.Simulate(0.1f);
    EXPECT_EQ(low->euler.speed, 0.0f) << "no quake, no kick";
    quake.Start(2.0f);
    quake.Simulate(0.1f);
    const Vector v = low->euler.velocity, w = high->euler.velocity;
    const Vector s = low->euler.angularVelocity, u = high->euler.angularVelocity;
    ASSERT_GT(low->euler.speed, 0.0f);
    EXPECT_FLOAT_EQ(low->euler.speed, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z)) << "the cached speed follows";
    const float third = 1.0f / 3.0f;  // 1 / (2 x 2 x 0.5 + 1)
    EXPECT_NEAR(w.x, v.x * third, 1e-6f);
    EXPECT_NEAR(w.y, v.y * third, 1e-6f);
    EXPECT_NEAR(w.z, v.z * third, 1e-6f);
    EXPECT_NEAR(u.x, s.x * third, 1e-6f);
    EXPECT_NEAR(u.y, s.y * third, 1e-6f);
    EXPECT_NEAR(u.z, s.z * third, 1e-6f);
}

TEST_F(SceneEffectsTest, LightningSettingsComeFromTheMapWithDefaultsAndAtMostSixteenBolts) {
    LightningEffect& lightning = Lightning_Effect();
    lightning.PostLoad();
    EXPECT_EQ(lightning.ActiveCount(), 0) << "no map file: no lightning";
    EXPECT_EQ(lightning.Settings().colour, kRenderDefaultLineColour);
    EXPECT_FLOAT_EQ(lightning.Settings().minDelay, 5.0f);
    EXPECT_FLOAT_EQ(lightning.Settings().maxDelay, 10.0f);
    EXPECT_FLOAT_EQ(lightning.Settings().duration, 0.2f);
    EXPECT_EQ(lightning.Settings().distance, 100.0f);

    struct Case {
        const char* color;
        uint32_t colour;
    };
    const Case cases[] = {{"0x00ff8040", 0x00ff8040u}, {"0xff204080", 0xff204080u}, {"255", 255u}, {"010", 8u}};
    for (const Case& c : cases) {
        Cfg_Forget();
        MapWithLightning("Bolts = 20\nColor = " + std::string(c.color) + "\nSound = thunder.wav\n");
        lightning.PostLoad();
        EXPECT_EQ(lightning.Settings().colour, c.colour) << c.color;
        EXPECT_EQ(lightning.ActiveCount(), kLightningBoltMax) << "20 bolts count as 16";
        EXPECT_EQ(lightning.Settings().bolts, kLightningBoltMax);
        EXPECT_STRCASEEQ(lightning.Settings().sound, "thunder.wav");
    }
    lightning.AddBolt(nullptr);
    EXPECT_EQ(lightning.ActiveCount(), kLightningBoltMax) << "a seventeenth is ignored";
}

TEST_F(SceneEffectsTest, WithEqualPausesABoltStrikesEverySecondPlusItsFlash) {
    MapWithLightning("Bolts = 1\nminDelay = 1000\nmaxDelay = 1000\nDuration = 200\n");
    LightningEffect& lightning = Lightning_Effect();
    lightning.PostLoad();
    ASSERT_EQ(lightning.ActiveCount(), 1);
    std::vector<float> strikes;
    float t = 0.0f;
    int previous = 0;
    for (int i = 0; i < 400; ++i) {
        lightning.Simulate(0.01f);
        t += 0.01f;
        const int count = lightning.At(0).flashCount;
        if (count == 1 && previous == 0) strikes.push_back(t);
        previous = count;
    }
    ASSERT_EQ(strikes.size(), 3u);
    EXPECT_NEAR(strikes[0], 1.0f, 0.011f);
    for (size_t k = 1; k < strikes.size(); ++k) {
        const float gap = strikes[k] - strikes[k - 1];
        EXPECT_GT(gap, 1.2f - 0.005f) << k;
        EXPECT_LT(gap, 1.2f + 0.025f) << k;
    }
    // A random bolt strikes within the scatter distance above the view.
    const LightningBolt& bolt = lightning.At(0);
    EXPECT_EQ(bolt.top.y, 150.0f);
    EXPECT_LE(std::fabs(bolt.top.x), 100.0f);
    EXPECT_LE(std::fabs(bolt.top.z), 100.0f);
    EXPECT_EQ(bolt.direction[0], 1.0f) << "across a view looking along +z";
    EXPECT_EQ(bolt.direction[1], 0.0f);
}

TEST_F(SceneEffectsTest, AZigzagThinsFromTopToBottomAndABranchingBoltStaysWithinItsPoints) {
    LightningEffect& lightning = Lightning_Effect();
    lightning.AddBolt(nullptr);
    LightningBolt& bolt = lightning.MutableAt(0);
    bolt.top = Vector{0.0f, 100.0f, 0.0f};
    bolt.bottom = 0.0f;
    bolt.direction[0] = 1.0f;
    bolt.direction[1] = 0.0f;
    lightning.Shape(bolt, false);
    ASSERT_EQ(bolt.pointCount, kZigzagPoints);
    ASSERT_EQ(bolt.segmentCount, kZigzagPoints - 1);
    EXPECT_EQ(bolt.segments[0].width, 147);
    EXPECT_EQ(bolt.segments[30].width, 54);
    for (int k = 1; k < kZigzagPoints; ++k) {
        EXPECT_FLOAT_EQ(bolt.points[k].y, 100.0f - 3.125f * static_cast<float>(k)) << k;
        EXPECT_EQ(std::fabs(bolt.points[k].x - bolt.points[k - 1].x), 1.0f) << k;
        EXPECT_EQ(std::fabs(bolt.points[k].z - bolt.points[k - 1].z), 1.0f) << k;
    }

    int deepest = 0;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        Random_Seed(seed);
        lightning.Shape(bolt, true);
        ASSERT_LE(bolt.pointCount, kBoltPointMax) << seed;
        ASSERT_EQ(bolt.segmentCount, bolt.pointCount - 1) << "every point but the top hangs from one segment";
        for (int k = 0; k < bolt.segmentCount; ++k) {
            ASSERT_LT(bolt.segments[k].from, bolt.pointCount);
            ASSERT_LT(bolt.segments[k].to, bolt.pointCount);
            ASSERT_EQ(bolt.segments[k].width, 50);
        }
        deepest = std::max(deepest, static_cast<int>(bolt.pointCount));
    }
    EXPECT_GT(deepest, kZigzagPoints + 8) << "side branches grow";
}

TEST_F(SceneEffectsTest, RemovingBoltsFillsEachGapWithTheLastAndDropsTheTargetsReference) {
    Entity* a = NewRoot();
    Entity* b = NewRoot();
    const uint16_t before = a->useCount;
    LightningEffect& lightning = Lightning_Effect();
    lightning.AddBolt(a);
    lightning.AddBolt(b);
    lightning.AddBolt(a);
    lightning.AddBolt(nullptr);
    EXPECT_EQ(a->useCount, before + 2) << "each bolt holds its target";
    lightning.RemoveBolts(a);
    ASSERT_EQ(lightning.ActiveCount(), 2);
    EXPECT_EQ(lightning.At(0).target, nullptr) << "the last bolt filled the first gap";
    EXPECT_EQ(lightning.At(1).target, b);
    EXPECT_EQ(a->useCount, before);

    // The craft let go of its effects: the bolts aimed at it go.
    Craft_Services().releaseEffects(b);
    ASSERT_EQ(lightning.ActiveCount(), 1);
    EXPECT_EQ(lightning.At(0).target, nullptr);
}

TEST_F(SceneEffectsTest, ABoltIsDrawnWhileItFlashesAndNeverInGameState3) {
    MapWithLightning("Bolts = 1\nminDelay = 100\nmaxDelay = 100\nDuration = 500\nColor = 0x00123456\n");
    LightningEffect& lightning = Lightning_Effect();
    lightning.PostLoad();
    lightning.Render(nullptr);
    EXPECT_TRUE(g_lines.empty()) << "waiting for its strike";
    lightning.Simulate(0.2f);
    ASSERT_EQ(lightning.At(0).flashCount, 1);
    lightning.Render(nullptr);
    ASSERT_EQ(g_lines.size(), static_cast<size_t>(lightning.At(0).segmentCount));
    EXPECT_EQ(g_lines[0].colour, 0x00123456u);
    EXPECT_NEAR(g_lines[0].width, lightning.At(0).segments[0].width * 0.005f, 1e-6f);
    g_lines.clear();
    Game_SetState(3);
    lightning.Render(nullptr);
    EXPECT_TRUE(g_lines.empty());
}

}  // namespace
