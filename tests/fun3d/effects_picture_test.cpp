#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "colortables.h"
#include "core/checksum.h"
#include "fun3d/particlebuffer.h"
#include "picture_fixture.h"
#include "platform/random.h"
#include "weapons/effects.h"
#include "weapons/explosion.h"
#include "weapons/sceneeffects.h"
#include "weapons/spriteeffects.h"

namespace {

// The effect modules queue into the render queue, and the software renderer flushes it into a
// small frame.
class EffectsPictureTest : public PictureFixture {
protected:
    void SetUp() override {
        PictureFixture::SetUp();
        if (HasFatalFailure()) return;
        savedLod_ = RenderQueue_LodInfo();
        RenderQueue_LodInfo() = LodInfo{15, 200, 30, 10, 100, 100, 100, 1000, 100, 30, 250, 10,
                                        0,  0,   1000, 10, 30, 40, 1, 5, 256, 250, 8, 0};
    }
    void TearDown() override {
        RenderQueue_LodInfo() = savedLod_;
        PictureFixture::TearDown();
    }
    LodInfo savedLod_{};
};

TEST_F(EffectsPictureTest, SmokeAShockWaveLightningAndAnExplosionInOneFrame) {
    GraphicBuffer frame;
    RenderView view;
    OpenFrame(&frame, &view, 320, 240);

    // Smoke rising to the left.
    SmokeEffect& smoke = Smoke_Effect();
    smoke.MissionSetup();
    ASSERT_NE(smoke.kinds[kSmokeDark], nullptr);
    for (int i = 0; i < 6; ++i) {
        const float k = static_cast<float>(i);
        ParticleBuffer_Add(*smoke.kinds[kSmokeDark], Vector{-6.0f + 0.4f * k, 1.0f + 1.2f * k, 20.0f}, Vector{},
                           0.1f * k);
    }
    smoke.Render(&view);

    // A shock wave on the ground ahead, half grown.
    ShockwaveEffect& waves = Shockwave_Effect();
    waves.MissionSetup();
    ASSERT_TRUE(waves.Add(Vector{2.0f, -2.0f, 18.0f}, 2.0f, 8.0f, 2.0f));
    waves.Simulate(1.0f);
    waves.Render(&view);

    // A zigzag bolt to the right, in its flash.
    LightningEffect& lightning = Lightning_Effect();
    lightning.PostLoad();  // no map file: the defaults
    lightning.AddBolt(nullptr);
    LightningBolt& bolt = lightning.MutableAt(0);
    bolt.top = Vector{26.0f, 40.0f, 60.0f};
    bolt.bottom = -10.0f;
    bolt.direction[0] = 1.0f;
    bolt.direction[1] = 0.0f;
    Random_Seed(11);
    lightning.Shape(bolt, false);
    bolt.flashCount = 1;
    lightning.Render(&view);

    // An explosion in the middle.
    content::ExplosionValues blast;
    blast.firstFrame = "lsmoke.0";
    blast.frameCount = 16;
    blast.secondsPerFrame = 0.1f;
    blast.innerRadius = 2.0f;
    AddExplosion("xpicture", blast);
    ExplosionClass* cls = ExplosionClass::Find("xpicture");
    ASSERT_NE(cls, nullptr);
    Matrix at = kIdentityMatrix;
    at.posit = DVector{0.0, 2.0, 15.0};
    ASSERT_NE(cls->Build(at, nullptr), nullptr);
    Explosion_Manager().Render(&view);

    RenderQueue_Flush(&view);
    SavePicture(frame, "effects_scene.ppm");

    // Each effect left ink where it was placed.
    EXPECT_GT(InkIn(frame, 0, 0, 100, 240), 50) << "smoke on the left";
    EXPECT_GT(InkIn(frame, 220, 0, 320, 240), 20) << "lightning on the right";
    EXPECT_GT(InkIn(frame, 130, 80, 190, 140), 50) << "the explosion in the middle";
    EXPECT_GT(InkIn(frame, 100, 150, 260, 240), 50) << "the shock wave below";
    // Pinned again when the smoke became grey puffs with ragged rims that thin out as they age; and
    // again when the light-table rows above full light came to fade into the sky's clear colour
    // (the bolt's flash, drawn at light 1, now takes that blue); and again when the puffs became
    // solid within their rims (their holes, stretched near the eye, were a grid of squares).
    EXPECT_EQ(CRC32_Memory(frame.pixels, 320 * 240), 2212589641u) << "picture: effects_scene.ppm in the build directory";
    Graphic_FreeBuffer(&frame);
}


// The smoke and dust the effects draw: each frame a round puff inside its cell (its border all
// key colour, so however far it is stretched it never shows as a square), grey smoke and tan
// dust in the world palette, thinning out as the puff ages.
TEST_F(EffectsPictureTest, SmokeAndDustFramesAreRoundPuffsOfTheirColourThatThinOut) {
    const std::vector<uint8_t> palette = content::MakeWorldPalette();
    struct Case {
        const char* stem;
        int frames;
        bool dust;
    };
    for (const Case& c : {Case{"lsmoke", 16, false}, Case{"msmoke", 16, false}, Case{"dsmoke", 16, false},
                          Case{"bsmoke", 16, false}, Case{"dust", 32, true}}) {
        SCOPED_TRACE(c.stem);
        std::vector<int> inks;
        for (int i = 0; i < c.frames; ++i) {
            const std::string name = std::string(c.stem) + "." + std::to_string(i);
            const int index = Sprite_Find(name.c_str());
            ASSERT_GT(index, 0) << name;
            const Sprite& s = Sprite_Get(index);
            ASSERT_NE(s.page, nullptr) << name;
            ASSERT_GE(s.width, 8);
            ASSERT_GE(s.height, 8);
            const int rowLength = Sprite_PageWidth(s.page);
            int ink = 0;
            for (int y = 0; y < s.height; ++y)
                for (int x = 0; x < s.width; ++x) {
                    const uint8_t texel = s.page[8 + static_cast<size_t>(s.y + y) * rowLength + s.x + x];
                    const bool border = x == 0 || y == 0 || x == s.width - 1 || y == s.height - 1;
                    if (texel == 255) continue;
                    EXPECT_FALSE(border) << name << " reaches its cell's edge at " << x << "," << y;
                    ++ink;
                    const int r = palette[texel * 3], g = palette[texel * 3 + 1], b = palette[texel * 3 + 2];
                    if (c.dust) {
                        EXPECT_TRUE(r > g && g > b) << name << ": texel " << int(texel) << " is not tan";
                    } else {
                        EXPECT_LE(std::max({r, g, b}) - std::min({r, g, b}), 12) << name << ": texel " << int(texel)
                                                                                 << " is not grey";
                    }
                }
            EXPECT_GT(ink, 0) << name;
            inks.push_back(ink);
        }
        for (size_t i = 1; i < inks.size(); ++i) EXPECT_LE(inks[i], inks[i - 1]) << "frame " << i << " thickens";
        EXPECT_LT(2 * inks.back(), inks.front()) << "the puff never thins out";
    }
    // The explosions' fireball is yellow and orange at first and leaves grey smoke.
    const auto centre = [&](const char* name) {
        const uint8_t* c = &palette[Sprite_CentreTexel(Sprite_Find(name)) * 3];
        return std::vector<int>{c[0], c[1], c[2]};
    };
    EXPECT_GT(centre("xfire.0")[0], 200);
    EXPECT_LT(centre("xfire.0")[2], 160);
    EXPECT_EQ(centre("xfire.15")[0], centre("xfire.15")[2]);
    // The halo round a rocket's glow is a late frame of the light smoke: faint, not a solid disc.
    const Sprite& halo = Sprite_Get(Sprite_Find("lsmoke.12"));
    const Sprite& fresh = Sprite_Get(Sprite_Find("lsmoke.0"));
    EXPECT_TRUE(halo.x != fresh.x || halo.y != fresh.y || halo.page != fresh.page);
}
}  // namespace

namespace {

// The planar blast in both of its forms (a point sprite near the eye with simple sprites on, a
// flat square on the ground beyond 80 m) and a shock blast's ring, seen from above the ground.
TEST_F(EffectsPictureTest, APlanarBlastNearAndFarAndAShockBlastsRing) {
    GraphicBuffer frame;
    RenderView view;
    OpenFrame(&frame, &view, 320, 240);
    View_SetCameraMatrix(&view, Matrix_FromPositionDirection(DVector{0.0, 30.0, 0.0}, Vector{0.0f, -0.35f, 1.0f}));
    Render_SetSimpleSprites(true);
    ShockwaveEffect& waves = Shockwave_Effect();
    waves.MissionSetup();

    auto make = [&](const char* name, const char* label, const char* sprite, float inner, float outer) {
        content::ExplosionValues v;
        v.label = label;
        v.firstFrame = sprite;
        v.frameCount = 16;
        v.secondsPerFrame = 0.1f;
        v.innerRadius = inner;
        v.outerRadius = outer;
        AddExplosion(name, v);
        return ExplosionClass::Find(name);
    };
    ExplosionClass* planar = make("xpplanar", "planarexpl", "dust.0", 2.0f, 18.0f);
    ExplosionClass* shock = make("xpshock", "shockblast", "lsmoke.0", 4.0f, 20.0f);
    ASSERT_NE(planar, nullptr);
    ASSERT_NE(shock, nullptr);
    Matrix at = kIdentityMatrix;
    at.posit = DVector{-12.0, 0.0, 40.0};
    Explosion* nearBlast = planar->Build(at, nullptr);
    at.posit = DVector{20.0, 0.0, 110.0};
    Explosion* farBlast = planar->Build(at, nullptr);
    at.posit = DVector{6.0, 0.0, 60.0};
    shock->Build(at, nullptr);
    ASSERT_EQ(waves.Count(), 1);
    for (Explosion* blast : {nearBlast, farBlast}) blast->Update(0.5f);
    waves.Simulate(0.4f);
    Explosion_Manager().Render(&view);
    waves.Render(&view);
    RenderQueue_Flush(&view);
    SavePicture(frame, "areablast_scene.ppm");
    Render_SetSimpleSprites(false);

    EXPECT_GT(InkIn(frame, 95, 165, 130, 195), 200) << "the near blast, a round point sprite, lower left";
    EXPECT_GT(InkIn(frame, 180, 100, 206, 112), 30) << "the far blast, a square lying flat, seen edge-on";
    EXPECT_EQ(InkIn(frame, 180, 92, 206, 100), 0) << "the far square is flat: nothing above it";
    EXPECT_GT(InkIn(frame, 140, 128, 160, 160), 10) << "the left side of the shock ring";
    // Pinned again when the dust and smoke became round puffs of their own colours, and when they
    // became solid within their rims.
    EXPECT_EQ(CRC32_Memory(frame.pixels, 320 * 240), 4273376376u) << "picture: areablast_scene.ppm in the build directory";
    Graphic_FreeBuffer(&frame);
}

}  // namespace
