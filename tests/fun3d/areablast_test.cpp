#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "area_definitions.h"
#include "core/clock.h"
#include "core/seams/audio.h"
#include "core/seams/render.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectslot.h"
#include "weapons/areablast.h"
#include "weapons/sceneeffects.h"
#include "weapons/spriteeffects.h"
#include "weapons_fixture.h"

namespace {

// An object that keeps every hit it takes.
class Target : public GameObject {
public:
    using GameObject::GameObject;
    bool TakeDamage(DamageInfo* damage, const Vector*) override {
        hits.push_back(damage->amount);
        return false;
    }
    std::vector<float> hits;
};

// One hand-built height block under cells 0..127 on both axes (present, with a light block), so
// that the wave has terrain to lift; the block tables get their old entries back afterwards.
class AreaBlastTest : public WeaponsFixture {
protected:
    static constexpr int kEntry = kBlockTableOrigin * kBlockTableSize + kBlockTableOrigin;

    void SetUp() override {
        WeaponsFixture::SetUp();
        savedHeights_ = HeightBlockTable[kEntry];
        savedLight_ = LightBlockTable[kEntry];
        savedBounds_ = TerrainBounds;
        heights_.assign(kZoneCells * kZoneCells, 0);
        HeightBlockTable[kEntry] = heights_.data();
        LightBlockTable[kEntry] = 1;
        TerrainBounds.minX = TerrainBounds.minZ = 0;
        TerrainBounds.maxX = TerrainBounds.maxZ = kZoneCells - 1;
        TerrainBounds.maxXm = TerrainBounds.maxZm = 10.0f * (kZoneCells - 1);
        Fill([](int, int) { return uint16_t{1000}; });
        GameObject_CreateGrid();
        Clock_SetTime(0.0f);
    }
    void TearDown() override {
        Ordnance_DeleteAll();
        Explosion_Manager().MissionCleanup();
        Quake_Effect().Stop();
        Shockwave_Effect().Clear();
        WeaponsFixture::TearDown();
        HeightBlockTable[kEntry] = savedHeights_;
        LightBlockTable[kEntry] = savedLight_;
        TerrainBounds = savedBounds_;
    }
    template <class Fn>
    void Fill(Fn fn) {
        for (int z = 0; z < kZoneCells; ++z)
            for (int x = 0; x < kZoneCells; ++x) heights_[z * kZoneCells + x] = fn(x, z);
    }
    SeismicClass* Wave(const std::string& name, float radius, float speed, float rampUp = 1.0f, float rampDown = 1.0f,
                       float height = 6.0f) {
        content::OrdnanceValues o;
        o.label = "seismic";
        o.lifetime = 8.0f;
        o.speed = speed;
        o.damage[0] = 100;
        o.writeDamage = true;
        content::SeismicValues s;
        s.waveRadius = radius;
        s.waveHeight = height;
        s.rampUpTime = rampUp;
        s.rampDownTime = rampDown;
        std::string text, error;
        EXPECT_TRUE(content::SeismicOrdnanceText(o, s, &text, &error)) << error;
        AddFile(name + ".odf", text);
        return dynamic_cast<SeismicClass*>(OrdnanceClass::Find(name.c_str()));
    }
    SeismicWave* Launch(SeismicClass* cls, double x, double z, Vector front = {1.0f, 0.0f, 0.0f}) {
        const double y = Terrain_GetHeight(x, z);
        return dynamic_cast<SeismicWave*>(cls->Build(Matrix_FromPositionDirection(DVector{x, y, z}, front), nullptr));
    }
    Target* ObjectAt(const Vector& p, int32_t kind) {
        GameObjectClass& cls = NewClass();
        cls.category = kind;
        Target* t = GameObject_New<Target>(NewRoot(1, 0, false), &cls);
        t->SetPosition(p);
        GameObject_UpdateGrid();
        return t;
    }
    std::vector<uint16_t> heights_;

private:
    uint16_t* savedHeights_ = nullptr;
    uint8_t savedLight_ = 0;
    TerrainBoundsInfo savedBounds_{};
};

// ---- seismic wave -----------------------------------------------------------------------------

TEST_F(AreaBlastTest, AWaveStandingStillLeavesTheTerrainAsItFoundItKeepingTheUpperBits) {
    // Uneven ground; bits 12-13 differ from cell to cell and every flatness flag is set.
    Fill([](int x, int z) { return uint16_t(0xC000 | ((x + z) & 3) << 12 | (900 + (x * 7 + z * 13) % 60)); });
    const std::vector<uint16_t> before = heights_;
    SeismicWave* wave = Launch(Wave("sstill", 30.0f, 0.0f), 640.0, 640.0);
    ASSERT_NE(wave, nullptr);
    int raised = 0;
    for (int i = 0; i < 20; ++i) {
        wave->Step(0.1f);
        raised = 0;
        for (size_t c = 0; c < heights_.size(); ++c) {
            if ((heights_[c] & 0x3000) != (before[c] & 0x3000)) FAIL() << "bits 12-13 changed at " << c;
            raised += (heights_[c] & kHeightMask) > (before[c] & kHeightMask);
        }
    }
    EXPECT_GT(raised, 20) << "a bump stands while the wave runs";
    EXPECT_EQ(heights_[64 * kZoneCells + 64] & 0xC000, 0) << "the flatness flags under the wave are cleared";
    wave->Remove();
    for (size_t c = 0; c < heights_.size(); ++c)
        ASSERT_EQ(heights_[c] & 0x3FFF, before[c] & 0x3FFF) << "cell " << c % kZoneCells << "," << c / kZoneCells;
}

TEST_F(AreaBlastTest, ACellOnTheBumpsEdgeIsUntouchedAndTheCentreRisesByTheFullHeight) {
    // Flat ground at 100 m; the wave sits on vertex (64, 64); the ramp is instant.
    SeismicWave* wave = Launch(Wave("sedge", 20.0f, 0.0f, 0.0f), 640.0, 640.0);
    wave->Step(0.1f);
    EXPECT_EQ(wave->strength, 1.0f);
    auto height = [&](int x, int z) { return heights_[z * kZoneCells + x] & kHeightMask; };
    EXPECT_EQ(height(64, 64), 1000 + 60) << "6 m at the centre";
    EXPECT_EQ(height(66, 64), 1000) << "m = 1 two cells along x";
    EXPECT_EQ(height(64, 62), 1000) << "m = 1 two cells along z";
    EXPECT_EQ(wave->ChangeAt(66, 64), 0);
    EXPECT_EQ(height(65, 64), 1000 + 30) << "half way: (cos(pi/2) + 1) / 2 of the height";
}

TEST_F(AreaBlastTest, HeightsStayWithinTwelveBitsAndKeepTheirUpperBits) {
    // Near the top the bump is cut at 4095.
    Fill([](int, int) { return uint16_t(0x3000 | 4080); });
    SeismicWave* high = Launch(Wave("shigh", 20.0f, 0.0f, 0.0f), 640.0, 640.0);
    high->Step(0.1f);
    EXPECT_EQ(heights_[64 * kZoneCells + 64], 0x3000 | 4095);
    EXPECT_EQ(high->ChangeAt(64, 64), 15);
    // Something else lowers the cell to 5 under the raised bump: undoing it stops at 0, both when
    // the wave steps and when it is removed, and the upper bits stay.
    for (bool removing : {false, true}) {
        SCOPED_TRACE(removing ? "remove" : "step");
        heights_[64 * kZoneCells + 64] = 0x3000 | 5;
        if (removing) {
            high->Remove();
            EXPECT_EQ(heights_[64 * kZoneCells + 64], 0x3000);
        } else {
            high->Step(0.1f);
            // Lowered to 0, then raised again by the full 60 (the centre's own height is low now).
            EXPECT_EQ(heights_[64 * kZoneCells + 64] & 0xF000, 0x3000);
            EXPECT_LE(heights_[64 * kZoneCells + 64] & kHeightMask, 60);
        }
    }
}

TEST_F(AreaBlastTest, ARampAtOrBelowZeroIsInstantAndNeverMakesNaN) {
    struct Case {
        float rampUp, rampDown, life, dt, strength;
    };
    const Case cases[] = {
        {0.0f, 1.0f, 8.0f, 0.1f, 1.0f},   // up at once
        {0.0f, 1.0f, 8.0f, 0.0f, 1.0f},   // up at once even in a step of no time
        {-2.0f, 1.0f, 8.0f, 0.1f, 1.0f},  // a negative ramp is instant too
        {4.0f, 0.0f, 0.05f, 0.1f, 0.4125f},  // no ramp down: it rises on through its last step
        {4.0f, 1.0f, 8.0f, 0.4f, 0.1f},   // an ordinary ramp up
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        SeismicWave* wave = Launch(Wave("sramp" + std::to_string(n++), 20.0f, 0.0f, c.rampUp, c.rampDown), 640.0, 640.0);
        wave->strength = c.rampDown == 0.0f ? 0.4f : 0.0f;
        wave->lifeLeft = c.life;
        wave->Step(c.dt);
        EXPECT_FLOAT_EQ(wave->strength, c.strength);
        for (uint16_t h : heights_) ASSERT_LE(h & kHeightMask, 1000 + 60);
        wave->Remove();
    }
}

TEST_F(AreaBlastTest, ObjectsFeelTheWaveFallingOffWithDistance) {
    SeismicWave* wave = Launch(Wave("sobj", 20.0f, 0.0f, 0.0f), 640.0, 640.0);
    // The wave's centre lies half a radius ahead of it, on flat ground at 100 m.
    const Vector centre{650.0f, 100.0f, 640.0f};
    Target* atCentre = ObjectAt(centre, 1);
    Target* atRadius = ObjectAt(Vector{centre.x, centre.y, centre.z + 20.0f}, 6);
    Target* building = ObjectAt(Vector{centre.x - 5.0f, centre.y, centre.z}, 2);
    Target* other = ObjectAt(centre, 4);
    Target* far = ObjectAt(Vector{centre.x + 31.0f, centre.y, centre.z}, 1);
    wave->Step(0.1f);
    ASSERT_EQ(atCentre->hits.size(), 1u);
    EXPECT_FLOAT_EQ(atCentre->hits[0], 100.0f * 0.1f) << "f = 0.1 at the centre";
    ASSERT_EQ(atRadius->hits.size(), 1u);
    EXPECT_NEAR(atRadius->hits[0], 100.0f * 0.1f * std::exp(-2.5f), 1e-4f) << "f e^-2.5 at the radius";
    EXPECT_GT(atCentre->euler.velocity.y, 0.0f) << "kicked up";
    ASSERT_EQ(building->hits.size(), 1u);
    EXPECT_TRUE(other->hits.empty()) << "other kinds are left alone";
    EXPECT_TRUE(far->hits.empty()) << "beyond 1.5 radii";
}

TEST_F(AreaBlastTest, TheChangeBufferHoldsTheWidestRectangleAndTheMapEdgeClipsIt) {
    // R = 52 at x = 641: cells 58..70, thirteen of them.
    SeismicClass* wide = Wave("swide", 52.0f, 0.0f, 0.0f);
    EXPECT_EQ(wide->BufferSide(), 13);
    SeismicWave* wave = Launch(wide, 641.0, 641.0);
    EXPECT_EQ(wave->rect.maxX - wave->rect.minX + 1, 13);
    EXPECT_EQ(wave->rect.maxZ - wave->rect.minZ + 1, 13);
    wave->Step(0.1f);
    EXPECT_GT(wave->ChangeAt(70, 64) + wave->ChangeAt(58, 64), -1);
    wave->Remove();
    for (uint16_t h : heights_) ASSERT_EQ(h, 1000);

    // At the map's corner only cells of the map are read or written.
    const uint16_t outside = *Terrain_GetCell(-1, -1);
    SeismicWave* corner = Launch(Wave("scorner", 50.0f, 0.0f, 0.0f), 5.0, 5.0);
    EXPECT_EQ(corner->rect.minX, 0);
    EXPECT_EQ(corner->rect.minZ, 0);
    corner->Step(0.1f);
    EXPECT_GT(heights_[0] & kHeightMask, 1000);
    EXPECT_EQ(*Terrain_GetCell(-1, -1), outside);
    corner->Remove();
    for (uint16_t h : heights_) ASSERT_EQ(h, 1000);

    // A map whose bounds take in a block without a zone (a hole): the hole's cells, shared with
    // the rest of the border, are left alone. The ground is level with the hole's, so the bump
    // would reach into it.
    ASSERT_EQ(LightBlockTable[kEntry + 1], 0);
    TerrainBounds.maxX = 2 * kZoneCells - 1;
    const uint16_t hole = *Terrain_GetCell(kZoneCells, 64);
    Fill([&](int, int) { return uint16_t(hole & kHeightMask); });
    SeismicWave* edge = Launch(Wave("shole", 50.0f, 0.0f, 0.0f), 10.0 * (kZoneCells - 1), 640.0);
    EXPECT_GT(edge->rect.maxX, kZoneCells);
    edge->Step(0.1f);
    EXPECT_GT(heights_[64 * kZoneCells + kZoneCells - 1] & kHeightMask, hole & kHeightMask);
    EXPECT_EQ(*Terrain_GetCell(kZoneCells, 64), hole);
    EXPECT_EQ(*Terrain_GetCell(kZoneCells + 2, 64), hole);
    edge->Remove();
    for (uint16_t h : heights_) ASSERT_EQ(h, hole & kHeightMask);
}

TEST_F(AreaBlastTest, AMovingWaveTravelsAtItsSpeedAndDiesWithItsLife) {
    SeismicWave* wave = Launch(Wave("smove", 20.0f, 10.0f), 400.0, 640.0);
    for (int i = 0; i < 10; ++i) wave->Step(0.1f);
    EXPECT_NEAR(wave->entity->local.posit.x, 410.0, 1e-3);
    wave->lifeLeft = 0.0f;
    wave->Step(0.1f);
    EXPECT_TRUE(wave->IsDead());
    wave->Remove();
    for (uint16_t h : heights_) ASSERT_EQ(h & kHeightMask, 1000);
}

// ---- quake blast --------------------------------------------------------------------------------

class QuakeBlastTest : public AreaBlastTest {
protected:
    void SetUp() override {
        AreaBlastTest::SetUp();
        audio_ = Seam_Audio();
        volumes_.clear();
        Seam_Audio().soundLoopStart = [](const char*, Entity*, float v) -> void* {
            volumes_.push_back(v);
            return &volumes_;
        };
        Seam_Audio().soundLoopSet = [](void*, float v, float) { volumes_.push_back(v); };
        Seam_Audio().soundLoopStop = [](void*) { volumes_.push_back(-100.0f); };
        content::OrdnanceValues shard;
        shard.label = "bullet";
        shard.speed = 0.0f;
        AddOrdnance("qshard", shard);
    }
    void TearDown() override {
        AreaBlastTest::TearDown();
        Seam_Audio() = audio_;
    }
    ExplosionClass* Quake(const std::string& name, int shards, const char* shardClass = "qshard") {
        content::ExplosionValues v;
        v.label = "quakeblast";
        v.frameCount = 10;
        v.secondsPerFrame = 0.1f;  // a life of 1 s
        std::string text, error;
        EXPECT_TRUE(content::QuakeBlastText(v, content::QuakeValues{shards, shardClass}, &text, &error)) << error;
        AddFile(name + ".odf", text);
        return ExplosionClass::Find(name.c_str());
    }
    static inline std::vector<float> volumes_;
    AudioSeam audio_{};
};

TEST_F(QuakeBlastTest, FourShardsGoOutAtRightAnglesFromTheBlastsHeading) {
    ExplosionClass* cls = Quake("xquake4", 4);
    const float heading = 0.5f;
    const Matrix at = Matrix_FromPositionDirection(DVector{640.0, 100.0, 640.0},
                                                   Vector{std::sin(heading), 0.0f, std::cos(heading)});
    cls->Build(at, nullptr);
    std::vector<float> angles;
    for (Ordnance* shot : Ordnance_LiveList()) {
        EXPECT_EQ(shot->netState, kOrdnanceNotSent);
        const Vector f = shot->entity->local.front;
        float a = std::atan2(f.x, f.z) - heading;
        while (a < 0.0f) a += 2.0f * std::numbers::pi_v<float>;
        angles.push_back(std::round(a * 180.0f / std::numbers::pi_v<float>));
    }
    std::sort(angles.begin(), angles.end());
    EXPECT_EQ(angles, (std::vector<float>{0.0f, 90.0f, 180.0f, 270.0f}));
}

TEST_F(QuakeBlastTest, ShardCountsAreClampedAndAMissingShardClassFiresNothing) {
    Quake("xqbig", 1000)->Build(kIdentityMatrix, nullptr);
    EXPECT_EQ(Ordnance_LiveList().size(), size_t(kQuakeMostShards)) << "all in the one start";
    Ordnance_DeleteAll();
    Quake("xqnone", 4, "")->Build(kIdentityMatrix, nullptr);
    EXPECT_TRUE(Ordnance_LiveList().empty());
}

TEST_F(QuakeBlastTest, TheMagnitudeDecaysFromFiveNeverBelowZeroAndTheShakeStopsOnRemoval) {
    auto* blast = dynamic_cast<QuakeBlast*>(Quake("xquake", 0)->Build(kIdentityMatrix, nullptr));
    ASSERT_NE(blast, nullptr);
    EXPECT_FLOAT_EQ(Quake_Effect().magnitude, 5.0f);
    float last = 5.0f;
    // Twice the blast's life in steps of 0.25 s: 1.25 a step, so 0 after four.
    for (int i = 0; i < 8; ++i) {
        blast->Update(0.25f);
        EXPECT_FLOAT_EQ(Quake_Effect().magnitude, last) << "the shake set to the magnitude before the fall";
        EXPECT_GE(blast->magnitude, 0.0f);
        EXPECT_LE(blast->magnitude, last);
        last = blast->magnitude;
    }
    EXPECT_EQ(blast->magnitude, 0.0f);
    for (float v : volumes_) EXPECT_GE(v, 0.0f);
    blast->Remove();
    EXPECT_EQ(Quake_Effect().magnitude, 0.0f);
    EXPECT_EQ(Quake_Effect().rumble, nullptr);
    EXPECT_EQ(volumes_.back(), -100.0f) << "the rumble stopped";
}

// ---- shock and planar blasts ------------------------------------------------------------------

class RingTest : public AreaBlastTest {
protected:
    ExplosionClass* Make(const std::string& name, const char* label, float secondsPerFrame) {
        content::ExplosionValues v;
        v.label = label;
        v.frameCount = 10;
        v.secondsPerFrame = secondsPerFrame;
        v.innerRadius = 2.0f;
        v.outerRadius = 12.0f;
        AddExplosion(name, v);
        return ExplosionClass::Find(name.c_str());
    }
};

TEST_F(RingTest, AShockBlastAddsARingFromItsInnerToItsOuterRadiusOverHalfItsLife) {
    Shockwave_Effect().Clear();
    Matrix at = kIdentityMatrix;
    at.posit = DVector{10.0, 20.0, 30.0};
    Make("xshock", "shockblast", 0.1f)->Build(at, nullptr);
    ASSERT_EQ(Shockwave_Effect().Count(), 1);
    // A blast whose frames take no time has no finite life: the ring refuses it.
    Make("xshock0", "shockblast", 0.0f)->Build(at, nullptr);
    EXPECT_EQ(Shockwave_Effect().Count(), 1);
}

struct Queued {
    int kind;
    float size;
    float corners[4][3];
};
std::vector<Queued> g_queued;

TEST_F(RingTest, APlanarBlastGrowsAndIsAPointSpriteOnlyWhenNearWithSimpleSprites) {
    const RenderSeam saved = Seam_Render();
    // The view is the world itself: view x, y, z are world x, y, z.
    Seam_Render().viewPoint = [](const RenderView*, const float* p, float* out) {
        out[0] = p[0], out[1] = p[1], out[2] = p[2];
        return true;
    };
    Seam_Render().sphereViewDepth = [](const RenderView*, const float*, float, float*) { return true; };
    Seam_Render().queuePointSprite = [](const float*, float size, int, uint32_t) { g_queued.push_back({1, size, {}}); };
    Seam_Render().queueQuad = [](RenderView*, const float (*c)[3], int, uint32_t) {
        Queued q{10, 0.0f, {}};
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 3; ++k) q.corners[i][k] = c[i][k];
        g_queued.push_back(q);
    };
    static bool simple = false;
    Seam_Render().simpleSprites = [] { return simple; };
    ExplosionClass* cls = Make("xplanar", "planarexpl", 0.1f);  // a life of 1 s
    struct Case {
        double x, z;
        bool simple;
        int kind;
    };
    const Case cases[] = {
        {10.0, 30.0, true, 1},   // near, simple sprites on
        {10.0, 30.0, false, 10}, // near, simple sprites off
        {60.0, 60.0, true, 10},  // beyond 80 m: always the flat square
        {0.0, 80.0, true, 10},   // exactly 80 m is not within
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x + c.z);
        Matrix at = kIdentityMatrix;
        at.posit = DVector{c.x, 0.0, c.z};
        Explosion* blast = cls->Build(at, nullptr);
        EXPECT_FLOAT_EQ(blast->entity->boundsRadius, 2.0f);
        blast->Update(0.5f);
        EXPECT_FLOAT_EQ(blast->entity->boundsRadius, 7.0f) << "half way from 2 m to 12 m";
        simple = c.simple;
        g_queued.clear();
        blast->Render(nullptr);
        ASSERT_EQ(g_queued.size(), 1u);
        EXPECT_EQ(g_queued[0].kind, c.kind);
        if (c.kind == 1) {
            EXPECT_FLOAT_EQ(g_queued[0].size, 7.0f);
        }
        if (c.kind == 10) {
            // The square lies flat 0.1 m above the centre, 7 m along the right and front axes.
            EXPECT_FLOAT_EQ(g_queued[0].corners[0][0], float(c.x) + 7.0f);
            EXPECT_FLOAT_EQ(g_queued[0].corners[0][1], 0.1f);
            EXPECT_FLOAT_EQ(g_queued[0].corners[0][2], float(c.z) - 7.0f);
            EXPECT_FLOAT_EQ(g_queued[0].corners[2][0], float(c.x) - 7.0f);
            EXPECT_FLOAT_EQ(g_queued[0].corners[2][2], float(c.z) + 7.0f);
        }
        blast->Remove();
    }
    Seam_Render() = saved;
}

}  // namespace
