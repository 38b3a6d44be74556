#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/debug.h"
#include "core/game.h"
#include "core/gamesettings.h"
#include "core/seams/render.h"
#include "fun3d/hovercraft.h"
#include "fun3d/particlebuffer.h"
#include "effect_definitions.h"
#include "weapons/chunkeffect.h"
#include "weapons/effects.h"
#include "weapons/spriteeffects.h"
#include "weapons_fixture.h"

namespace {

// Sprites by name (unknown names find 0); the view looks down +z from the origin, so a point's
// depth is its z and anything at z <= 0 is out of view. Every queued sprite is kept.
struct Queued {
    float z;
    float size;
    int sprite;
};
std::vector<Queued> g_queued;
int g_quads = 0;
std::vector<int> g_quadSprites;

int FindSprite(const char* name) {
    static const std::map<std::string, int> sprites = {
        {"lsmoke.0", 100}, {"msmoke.0", 200},    {"dsmoke.0", 300}, {"bsmoke.0", 400},
        {"dust.0", 500},   {"exhaust_b.0", 600}, {"splash.0", 700}, {"bpuff.0", 800},
        {"particle.0", 900}};
    auto it = sprites.find(name);
    return it == sprites.end() ? 0 : it->second;
}

class EffectsTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        g_queued.clear();
        RenderSeam& r = Seam_Render();
        r.spriteFind = FindSprite;
        r.sphereViewDepth = [](const RenderView*, const float* c, float, float* depth) {
            if (!(c[2] > 0.0f)) return false;
            *depth = c[2];
            return true;
        };
        r.viewDepth = [](const RenderView*, const float* c, float* depth) {
            if (!(c[2] > 0.0f)) return false;
            *depth = c[2];
            return true;
        };
        r.queueBillboard = [](RenderView*, const float* c, float size, int sprite) {
            g_queued.push_back(Queued{c[2], size, sprite});
        };
        g_quads = 0;
        g_quadSprites.clear();
        r.queueQuad = [](RenderView*, const float (*)[3], int sprite, uint32_t) {
            ++g_quads;
            g_quadSprites.push_back(sprite);
        };
    }
    static ParticleKind Kind(float first, float frames, float rate, float size = 1.0f, float growth = 0.0f) {
        return ParticleKind{first, frames, rate, size, growth};
    }
    static void PuffAt(float z, float size = 1.0f) {
        ASSERT_TRUE(ParticleBuffer_Add(Kind(10.0f, 16.0f, 1.0f, size), Vector{0.0f, 0.0f, z}, Vector{}, 0.0f));
    }
};

TEST_F(EffectsTest, AddGuardNeedsEffectsOnDetailAndAPlayingState) {
    struct Case {
        const char* what;
        bool effectsOn;
        int32_t state;
        int32_t detail;
        bool allowed;
    };
    const Case cases[] = {
        {"defaults", true, 0, 1, true},      {"effects off", false, 0, 1, false}, {"loading a path", true, 9, 1, false},
        {"quitting", true, 10, 1, false},    {"detail 0", true, 0, 0, false},     {"high detail", true, 3, 2, true},
    };
    for (const Case& c : cases) {
        Game_Settings().effectsOn = c.effectsOn;
        Game_Settings().effectDetail = c.detail;
        Game_SetState(c.state);
        EXPECT_EQ(Effect_AddAllowed(), c.allowed) << c.what;
    }
    Game_SetState(0);
}

TEST_F(EffectsTest, SmokeBuildsItsSixKindsFromTheDefaultsWithoutItsFile) {
    SmokeEffect& smoke = Smoke_Effect();
    ParticleBuffer_Add(Kind(1.0f, 5.0f, 1.0f), Vector{}, Vector{}, 0.0f);
    smoke.MissionSetup();
    EXPECT_EQ(ParticleBuffer_Count(), 0) << "mission start empties the puffs";
    EXPECT_EQ(EffectList::UsedEnd(), kSmokeKindCount);
    const float sprites[4] = {100.0f, 200.0f, 300.0f, 400.0f};
    for (int i = 0; i < kSmokeKindCount; ++i) {
        const ParticleKind* k = smoke.kinds[i];
        ASSERT_NE(k, nullptr) << i;
        EXPECT_EQ(k->start, i < 4 ? sprites[i] : 100.0f) << i;
        EXPECT_EQ(k->lifetime, 16.0f) << i;
        EXPECT_FLOAT_EQ(k->rate, 10.0f) << "16 frames over 1.6 s";
        EXPECT_EQ(k->size, i < 4 ? 1.5f : 2.0f) << i;
        EXPECT_EQ(k->growth, 0.0f) << "a growth factor of 1 keeps the size";
    }
    // The craft smoke darkens with the damage.
    EXPECT_EQ(ParticleKind_CraftSmoke(1).start, 100.0f);
    EXPECT_EQ(ParticleKind_CraftSmoke(4).start, 400.0f);
}

TEST_F(EffectsTest, SmokeKindTableGrowsToItsEndReusesFreedSlotsAndThenRefuses) {
    // Size 2 growing to 3 over 4 frames at 2 frames a second: 0.5 a second.
    ParticleKind* first = EffectList::Add(7, 4, 2.0f, 2.0f, 1.5f);
    ASSERT_NE(first, nullptr);
    EXPECT_FLOAT_EQ(first->growth, 0.5f);
    for (int i = 1; i < kSmokeKindSlots; ++i) ASSERT_NE(EffectList::Add(7, 4, 2.0f, 1.0f, 1.0f), nullptr) << i;
    EXPECT_EQ(EffectList::Add(7, 4, 2.0f, 1.0f, 1.0f), nullptr) << "a full table refuses";
    first->start = 0.0f;  // freed
    EXPECT_EQ(EffectList::Add(9, 4, 2.0f, 1.0f, 1.0f), first);
    EXPECT_EQ(EffectList::UsedEnd(), kSmokeKindSlots);
}

TEST_F(EffectsTest, PuffsAgeOutAndTheMovedLastPuffIsProcessedInTheSameUpdate) {
    const ParticleKind kind = Kind(10.0f, 16.0f, 10.0f, 1.0f, 2.0f);
    EXPECT_FALSE(ParticleBuffer_Add(kind, Vector{}, Vector{}, 1.7f)) << "past its last frame at birth";
    ASSERT_TRUE(ParticleBuffer_Add(kind, Vector{}, Vector{}, 1.55f));               // frame 25.5: spent next update
    ASSERT_TRUE(ParticleBuffer_Add(kind, Vector{0, 0, 1}, Vector{0, 1, 0}, 0.0f));  // fresh
    ASSERT_TRUE(ParticleBuffer_Add(kind, Vector{0, 0, 2}, Vector{0, 2, 0}, 0.0f));  // fresh, moves to slot 0
    Smoke_Effect().Simulate(0.1f);
    ASSERT_EQ(ParticleBuffer_Count(), 2);
    const ParticleRecord* r = ParticleBuffer_Records();
    EXPECT_EQ(r[0].position.z, 2.0f) << "the last puff took the gap";
    EXPECT_FLOAT_EQ(r[0].position.y, 0.2f) << "and moved in the same update";
    EXPECT_FLOAT_EQ(r[0].start, 11.0f);
    EXPECT_FLOAT_EQ(r[0].size, 1.2f);
    EXPECT_FLOAT_EQ(r[1].position.y, 0.1f);
}

TEST_F(EffectsTest, SmokeDrawsNearestBucketsFirstAndStopsAfterTheBucketOfTheHundredthSprite) {
    for (int i = 0; i < 98; ++i) PuffAt(8.0f);  // bucket 2
    PuffAt(12.0f);                              // bucket 3: the 100th sprite
    PuffAt(12.0f);
    PuffAt(4.0f);    // bucket 1, drawn first
    PuffAt(16.0f);   // bucket 4: not drawn
    PuffAt(-5.0f);   // behind the eye
    Smoke_Effect().Render(nullptr);
    ASSERT_EQ(g_queued.size(), 101u);
    EXPECT_EQ(g_queued.front().z, 4.0f);
    EXPECT_EQ(g_queued.back().z, 12.0f);
    EXPECT_EQ(g_queued.front().sprite, 10);
}

TEST_F(EffectsTest, FarPuffsAreClampedIntoTheLastBucketAndFullBucketsDrop) {
    static std::string said;
    said.clear();
    DiagnosticsHooks hooks = Diagnostics_GetHooks();
    hooks.debuggerOutput = [](const char* text) { said += text; };
    Diagnostics_SetHooks(hooks);
    Debug_SetOutputMode(kDebugOutDebugger);
    PuffAt(280.0f);  // bucket 70
    Smoke_Effect().Render(nullptr);
    ASSERT_EQ(g_queued.size(), 1u) << "a puff beyond the last bucket is still drawn";
    EXPECT_EQ(said, "SmokeEffect clamped dist\n");
    said.clear();
    HoverDust_Add(Vector{0.0f, 0.0f, 280.0f}, Vector{}, 0.0f);
    Dust_Effect().Render(nullptr);
    EXPECT_EQ(said, "DustEffect clamped dist\n");
    HoverDust_Clear();
    ParticleBuffer_Clear();
    g_queued.clear();
    // 130 puffs whose bucket would be 64 and more, all clamped into bucket 63 of 128 entries.
    for (int i = 0; i < 130; ++i) PuffAt(260.0f + static_cast<float>(i));
    Smoke_Effect().Render(nullptr);
    EXPECT_EQ(g_queued.size(), static_cast<size_t>(kEffectBucketSize));
}

TEST_F(EffectsTest, EntriesOutsideTheViewTakeNoBucketRoomNorBudgetNorClampReport) {
    // Off to the side (x beyond 100) a puff has a depth but is culled.
    Seam_Render().sphereViewDepth = [](const RenderView*, const float* c, float, float* depth) {
        if (!(c[2] > 0.0f) || c[0] > 100.0f) return false;
        *depth = c[2];
        return true;
    };
    static std::string said;
    said.clear();
    DiagnosticsHooks hooks = Diagnostics_GetHooks();
    hooks.debuggerOutput = [](const char* text) { said += text; };
    Diagnostics_SetHooks(hooks);
    Debug_SetOutputMode(kDebugOutDebugger);
    const ParticleKind kind = Kind(10.0f, 16.0f, 1.0f);
    auto add = [&](float x, float z) { ASSERT_TRUE(ParticleBuffer_Add(kind, Vector{x, 0.0f, z}, Vector{}, 0.0f)); };
    for (int i = 0; i < 200; ++i) add(200.0f, 4.0f);  // bucket 1, all hidden
    for (int i = 0; i < 5; ++i) add(0.0f, 4.0f);      // bucket 1, seen
    for (int i = 0; i < 120; ++i) add(0.0f, 8.0f);    // bucket 2
    add(0.0f, 20.0f);                                   // bucket 5: beyond the budget
    add(200.0f, 300.0f);                                // clamped, but hidden
    Smoke_Effect().Render(nullptr);
    ASSERT_EQ(g_queued.size(), 125u) << "the hidden puffs neither fill bucket 1 nor count";
    EXPECT_EQ(g_queued.front().z, 4.0f);
    EXPECT_EQ(g_queued.back().z, 8.0f);
    EXPECT_EQ(said, "") << "only a visible clamped puff is reported";
}

TEST_F(EffectsTest, DustTakesTheModuleSettingsAndLivesItsLifetime) {
    DustEffect& dust = Dust_Effect();
    HoverDust_Add(Vector{}, Vector{}, 0.0f);
    dust.MissionSetup();
    EXPECT_EQ(HoverDust_Count(), 0) << "mission start empties the dust";
    HoverDust_Add(Vector{0.0f, 0.0f, 5.0f}, Vector{1.0f, 0.0f, 0.0f}, 0.0f);
    ASSERT_EQ(HoverDust_Count(), 1);
    EXPECT_EQ(HoverDust_Puffs()[0].start, 500.0f) << "the dust sprite's first frame";
    EXPECT_EQ(HoverDust_Puffs()[0].constant, 1.5f) << "the size setting";
    HoverDust_Add(Vector{}, Vector{}, 1.25f);
    EXPECT_EQ(HoverDust_Count(), 1) << "older than its life at birth";
    float t = 0.0f;
    while (t < 1.15f) {
        dust.Simulate(0.05f);
        t += 0.05f;
    }
    ASSERT_EQ(HoverDust_Count(), 1) << "alive at 1.15 s";
    EXPECT_NEAR(HoverDust_Puffs()[0].position.x, 1.15f, 1e-3f);
    dust.Render(nullptr);
    ASSERT_EQ(g_queued.size(), 1u);
    EXPECT_EQ(g_queued[0].sprite, 531) << "the last of its 32 frames";
    dust.Simulate(0.1f);
    EXPECT_EQ(HoverDust_Count(), 0) << "gone after 1.2 s";
}

// A puff in the last half of its animation's last frame is drawn with that frame, never the
// sprite after it in the table (another animation's first frame): smoke and dust alike.
TEST_F(EffectsTest, APuffNearItsEndDrawsItsLastFrameNotTheNextAnimations) {
    struct Case {
        float age;  // frames into a 16-frame animation starting at sprite 10
        int drawn;
    };
    for (const Case& c : {Case{0.4f, 10}, Case{0.6f, 11}, Case{14.6f, 25}, Case{15.4f, 25}, Case{15.9f, 25}}) {
        SCOPED_TRACE(c.age);
        ParticleBuffer_Clear();
        g_queued.clear();
        ASSERT_TRUE(ParticleBuffer_Add(Kind(10.0f, 16.0f, 1.0f), Vector{0.0f, 0.0f, 5.0f}, Vector{}, c.age));
        Smoke_Effect().Render(nullptr);
        ASSERT_EQ(g_queued.size(), 1u);
        EXPECT_EQ(g_queued[0].sprite, c.drawn);
    }
    ParticleBuffer_Clear();

    Dust_Effect().MissionSetup();  // "dust.0" is sprite 500, 32 frames over 1.2 s
    const HoverDustTiming& t = HoverDust_Timing();
    for (const Case& c : {Case{31.4f, 531}, Case{31.6f, 531}, Case{31.95f, 531}}) {
        SCOPED_TRACE(c.age);
        HoverDust_Clear();
        g_queued.clear();
        HoverDust_Add(Vector{0.0f, 0.0f, 5.0f}, Vector{}, c.age / t.rate);
        ASSERT_EQ(HoverDust_Count(), 1);
        Dust_Effect().Render(nullptr);
        ASSERT_EQ(g_queued.size(), 1u);
        EXPECT_EQ(g_queued[0].sprite, c.drawn);
    }
    HoverDust_Clear();
}

TEST_F(EffectsTest, FullBuffersDropNewEntriesSilently) {
    Smoke_Effect().MissionSetup();
    const ParticleKind& kind = *Smoke_Effect().kinds[kSmokeLight];
    for (int i = 0; i < kParticleBufferSize; ++i) ASSERT_TRUE(ParticleBuffer_Add(kind, Vector{}, Vector{}, 0.0f));
    EXPECT_FALSE(ParticleBuffer_Add(kind, Vector{1, 1, 1}, Vector{}, 0.0f));
    EXPECT_EQ(ParticleBuffer_Records()[kParticleBufferSize - 1].position.x, 0.0f);
    Dust_Effect().MissionSetup();
    for (int i = 0; i < kHoverDustMax + 1; ++i) HoverDust_Add(Vector{}, Vector{}, 0.0f);
    EXPECT_EQ(HoverDust_Count(), 2049);
}

TEST_F(EffectsTest, TheLastPuffOfAFullDustBufferIsDrawn) {
    Dust_Effect().MissionSetup();
    // 2,048 puffs behind the eye, then one in front of it in the buffer's last place.
    for (int i = 0; i < 2048; ++i) HoverDust_Add(Vector{0.0f, 0.0f, -5.0f}, Vector{}, 0.0f);
    HoverDust_Add(Vector{0.0f, 0.0f, 8.0f}, Vector{}, 0.0f);
    ASSERT_EQ(HoverDust_Count(), 2049);
    Dust_Effect().Render(nullptr);
    ASSERT_EQ(g_queued.size(), 1u);
    EXPECT_EQ(g_queued[0].z, 8.0f);
}

TEST_F(EffectsTest, AParticleWaitsItsDelayThenStepsAFramePerFrameTime) {
    ParticleEffect& sparks = Particle_Effect();
    sparks.MissionSetup();  // defaults: 0.5 s delay, 0.1 s a frame, 16 frames
    sparks.Add(Vector{0.0f, 100.0f, 5.0f}, Vector{});
    for (int i = 0; i < 5; ++i) sparks.Simulate(0.1f);
    EXPECT_EQ(sparks.At(0).frameIndex, 0) << "still waiting at 0.5 s";
    sparks.Simulate(0.1f);
    EXPECT_EQ(sparks.At(0).frameIndex, 1) << "its first frame change at 0.6 s";
    EXPECT_LT(sparks.At(0).position.y, 100.0f) << "it falls";
    for (int i = 0; i < 15; ++i) sparks.Simulate(0.1f);
    EXPECT_EQ(sparks.Count(), 0) << "gone after its 16 frames";
}

TEST_F(EffectsTest, AFullParticleRingOverwritesItsOldest) {
    ParticleEffect& sparks = Particle_Effect();
    sparks.MissionSetup();
    for (int i = 0; i < kParticleRingSize + 1; ++i) sparks.Add(Vector{static_cast<float>(i), 50.0f, 5.0f}, Vector{});
    ASSERT_EQ(sparks.Count(), kParticleRingSize - 1);
    EXPECT_EQ(sparks.At(0).position.x, 2.0f) << "the two oldest made room";
    EXPECT_EQ(sparks.At(sparks.Count() - 1).position.x, 256.0f);
    sparks.Render(nullptr);
    EXPECT_EQ(g_queued.size(), static_cast<size_t>(kParticleRingSize - 1));
}

TEST_F(EffectsTest, AShockWaveReachesItsEndRadiusAsItsFramesEnd) {
    ShockwaveEffect& waves = Shockwave_Effect();
    waves.MissionSetup();
    ASSERT_TRUE(waves.Add(Vector{0.0f, 0.0f, 50.0f}, 10.0f, 30.0f, 2.0f));
    EXPECT_EQ(waves.At(0).inner, 5.0f);
    waves.Render(nullptr);
    EXPECT_EQ(g_quads, kShockwaveSegments);
    waves.Simulate(1.999f);
    ASSERT_EQ(waves.Count(), 1);
    EXPECT_NEAR(waves.At(0).outer, 30.0f, 0.02f);
    EXPECT_NEAR(waves.At(0).inner, 30.0f, 0.02f);
    waves.Simulate(0.002f);
    EXPECT_EQ(waves.Count(), 0) << "its 16 frames are over";
}

TEST_F(EffectsTest, AShockWaveNeedsAPositiveFiniteDurationAndRoom) {
    ShockwaveEffect& waves = Shockwave_Effect();
    waves.MissionSetup();
    for (float c : {0.0f, -1.0f, INFINITY, NAN}) EXPECT_FALSE(waves.Add(Vector{}, 1.0f, 2.0f, c)) << c;
    EXPECT_EQ(waves.Count(), 0);
    for (int i = 0; i < kShockwaveMax; ++i) ASSERT_TRUE(waves.Add(Vector{}, 1.0f, 2.0f, 1.0f));
    EXPECT_FALSE(waves.Add(Vector{}, 1.0f, 2.0f, 1.0f));
}

// ---- per-frame buffers, fireballs --------------------------------------------------------------

Matrix PlacedAt(float x, float y, float z) {
    Matrix m = kIdentityMatrix;
    m.posit = DVector{x, y, z};
    return m;
}

TEST_F(EffectsTest, AnEngineFlameIsDrawnOnlyInTheRenderOfTheFrameThatAddedIt) {
    EngineFlameEffect& flames = EngineFlame_Effect();
    flames.flags = kPhaseFlagSimulate | kPhaseFlagOverlay;
    flames.MissionSetup();
    EXPECT_EQ(flames.flags, kPhaseFlagFrame | kPhaseFlagRender) << "frame start and render, nothing else";

    flames.Frame();
    flames.Add(PlacedAt(0.0f, 0.0f, 10.0f), 1.0f);
    flames.Render(nullptr);
    EXPECT_EQ(g_quads, 2) << "two crossed quads";
    EXPECT_EQ(g_quadSprites[0], 601) << "the counter stepped at the frame start";

    // Added after this frame's render: the next frame start drops it unseen.
    flames.Add(PlacedAt(0.0f, 0.0f, 10.0f), 1.0f);
    flames.Frame();
    flames.Render(nullptr);
    EXPECT_EQ(g_quads, 2);

    // The counter wraps at the frame count (4).
    flames.Frame();
    flames.Frame();
    EXPECT_EQ(flames.counter, 0);

    for (int i = 0; i < kEngineFlameMax + 1; ++i) flames.Add(PlacedAt(0.0f, 0.0f, 10.0f), 1.0f);
    EXPECT_EQ(flames.Count(), kEngineFlameMax) << "a full buffer drops the flame";
    flames.Frame();
    Game_Settings().effectsOn = false;
    flames.Add(PlacedAt(0.0f, 0.0f, 10.0f), 1.0f);
    EXPECT_EQ(flames.Count(), 0) << "the add guard";
    Game_Settings().effectsOn = true;
}

TEST_F(EffectsTest, TheHoverCraftFlameBuffersAreTheFlameAndSplashModules) {
    EngineFlame_Effect().MissionSetup();
    EngineSplash_Effect().MissionSetup();
    Seam_Weapons().engineFlameAdd(0, PlacedAt(0.0f, 0.0f, 10.0f), 0.2f);
    Seam_Weapons().engineFlameAdd(1, PlacedAt(0.0f, 0.0f, 10.0f), 0.4f);
    Seam_Weapons().engineFlameAdd(2, PlacedAt(0.0f, 0.0f, 10.0f), 0.4f);
    EXPECT_EQ(EngineFlame_Effect().Count(), 1);
    EXPECT_EQ(EngineSplash_Effect().Count(), 1);
}

TEST_F(EffectsTest, BlobRowsRoundDownSplashRowsToTheNearestAndBothDrawEachAddOnce) {
    CnstBlobEffect& blobs = CnstBlob_Effect();
    blobs.MissionSetup();  // "bpuff.0" 800, rows of 14, 3 frames
    struct Case {
        float value;
        int row;
    };
    const Case blobCases[] = {{0.0f, 0}, {0.99f, 0}, {1.0f, 1}, {2.7f, 2}, {-0.5f, -1}};
    for (const Case& c : blobCases) {
        const float place[4] = {0.0f, 0.0f, 10.0f, 2.0f};
        blobs.AddPuff(place, c.value);
    }
    blobs.Render(nullptr);
    ASSERT_EQ(g_queued.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(g_queued[i].sprite, 800 + 1 + 14 * blobCases[i].row) << blobCases[i].value;
        EXPECT_EQ(g_queued[i].size, 2.0f);
    }
    EXPECT_EQ(blobs.Count(), 0) << "emptied after the render";
    blobs.Render(nullptr);
    blobs.Render(nullptr);
    EXPECT_EQ(blobs.counter, 0) << "three frames wrap";
    EXPECT_EQ(g_queued.size(), 5u);

    EngineSplashEffect& splashes = EngineSplash_Effect();
    splashes.MissionSetup();  // "splash.0" 700, rows of 14, 3 frames
    const Case splashCases[] = {{0.4f, 0}, {0.6f, 1}, {1.5f, 2}};
    for (const Case& c : splashCases) splashes.Add(PlacedAt(0.0f, 0.0f, 10.0f), c.value);
    splashes.Render(nullptr);
    ASSERT_EQ(g_quads, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(g_quadSprites[i], 700 + 1 + 14 * splashCases[i].row) << splashCases[i].value;
    splashes.Render(nullptr);
    EXPECT_EQ(g_quads, 3) << "emptied after the render";
}

TEST_F(EffectsTest, AFireballBurnsItsFramesFallsAndTrailsSmokeAtItsInterval) {
    Smoke_Effect().MissionSetup();
    FireballEffect& fire = Fireball_Effect();
    fire.MissionSetup();  // 16 frames at 5 a second; a puff every 0.05 s
    fire.PostLoad();
    ASSERT_NE(fire.TrailKind(), nullptr);
    EXPECT_EQ(fire.TrailKind()->start, 900.0f);
    EXPECT_FLOAT_EQ(fire.TrailKind()->rate, 32.0f) << "16 trail frames over 0.5 s";
    const int before = ParticleBuffer_Count();
    fire.Add(Vector{0.0f, 500.0f, 20.0f}, Vector{4.0f, 0.0f, 0.0f});
    ASSERT_EQ(fire.Count(), 1);
    EXPECT_EQ(fire.At(0).frame, 900.0f);
    EXPECT_EQ(fire.At(0).size, 1.0f);
    for (int i = 0; i < 8; ++i) fire.Simulate(0.07f);
    EXPECT_EQ(ParticleBuffer_Count() - before, 11) << "one puff per 0.05 s passed in 0.56 s";
    EXPECT_NEAR(fire.At(0).position.x, 2.24f, 1e-4f);
    EXPECT_LT(fire.At(0).position.y, 500.0f);
    fire.Render(nullptr);
    ASSERT_EQ(g_queued.size(), 1u);
    EXPECT_EQ(g_queued[0].sprite, 903) << "frame 902.8 rounds to the nearest";
    for (int i = 0; i < 37; ++i) fire.Simulate(0.07f);
    EXPECT_EQ(fire.Count(), 1) << "alive at 3.2 s less a step";
    fire.Simulate(0.06f);
    EXPECT_EQ(fire.Count(), 0) << "its 16 frames at 5 a second are over";
}

TEST_F(EffectsTest, AFullFireballRingOverwritesItsOldestAndATrailWithoutIntervalStaysBounded) {
    FireballEffect& fire = Fireball_Effect();
    AddFile("fireball.odf", "[FireballClass]\ntrailinterval_givuzaketu = 0\n");
    Smoke_Effect().MissionSetup();
    fire.MissionSetup();
    fire.PostLoad();
    for (int i = 0; i < kFireballRingSize + 1; ++i) fire.Add(Vector{static_cast<float>(i), 500.0f, 20.0f}, Vector{});
    ASSERT_EQ(fire.Count(), kFireballRingSize - 1);
    EXPECT_EQ(fire.At(0).position.x, 2.0f) << "the two oldest made room";
    const int before = ParticleBuffer_Count();
    fire.Simulate(0.05f);
    EXPECT_LE(ParticleBuffer_Count() - before, kFireballRingSize - 1) << "at most one puff each an update";
}

TEST_F(EffectsTest, TheSampleDefinitionsReachEveryModule) {
    std::vector<content::NamedDefinition> files;
    std::string error;
    ASSERT_TRUE(content::EffectDefinitions(&files, &error)) << error;
    ASSERT_EQ(files.size(), 8u);
    for (const content::NamedDefinition& f : files) AddFile(f.name, f.text);

    SmokeEffect& smoke = Smoke_Effect();
    smoke.MissionSetup();
    EXPECT_FLOAT_EQ(smoke.kinds[kSmokeLight]->growth, 0.9375f) << "growth 2 over 16 frames at 10 a second";
    EXPECT_EQ(smoke.kinds[kSmokeGroupTwo]->start, 200.0f);
    EXPECT_FLOAT_EQ(smoke.kinds[kSmokeGroupTwo]->rate, 8.0f) << "16 frames over 2 s";
    Dust_Effect().MissionSetup();
    EXPECT_FLOAT_EQ(HoverDust_Timing().growth, 1.25f);
    FireballEffect& fire = Fireball_Effect();
    fire.MissionSetup();
    fire.PostLoad();
    EXPECT_FLOAT_EQ(fire.Settings().growth, 0.15625f);
    ASSERT_NE(fire.TrailKind(), nullptr);
    EXPECT_EQ(fire.TrailKind()->start, 100.0f) << "the trail is light smoke";
    EXPECT_FLOAT_EQ(fire.TrailKind()->growth, 0.8f);
    Particle_Effect().MissionSetup();
    EXPECT_EQ(Particle_Effect().size, 0.6f);
    EXPECT_EQ(Particle_Effect().startDelay, 0.4f);
    EXPECT_EQ(Particle_Effect().secondsPerFrame, 0.08f);
    CnstBlob_Effect().MissionSetup();
    EXPECT_EQ(CnstBlob_Effect().frameCount, 2);
    EngineFlame_Effect().MissionSetup();
    EXPECT_EQ(EngineFlame_Effect().lengthScale, 2.5f);
    EngineSplash_Effect().MissionSetup();
    EXPECT_EQ(EngineSplash_Effect().size, 2.0f);
    ChunkEffect& chunks = Chunk_Effect();
    chunks.MissionSetup();
    EXPECT_EQ(chunks.Settings().smokeSpread, 1.0f);
    EXPECT_EQ(chunks.Settings().geometryCount, 2);
    chunks.MissionCleanup();
    chunks.Forget();
}

}  // namespace
