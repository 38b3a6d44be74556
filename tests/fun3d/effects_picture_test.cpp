#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "colortables.h"
#include "core/checksum.h"
#include "fun3d/particlebuffer.h"
#include "platform/random.h"
#include "render/billboard.h"
#include "render/graphicbuffer.h"
#include "render/palette.h"
#include "render/renderqueue.h"
#include "render/sprite.h"
#include "render/view.h"
#include "sprite_writer.h"
#include "support/data_root_fixture.h"
#include "weapons/effects.h"
#include "weapons/explosion.h"
#include "weapons/sceneeffects.h"
#include "weapons/spriteeffects.h"
#include "weapons_fixture.h"

namespace {

// The sample sprites served from a scratch data root; the effect modules queue into the render
// queue, and the software renderer flushes it into a small 8-bit frame.
class EffectsPictureTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        std::vector<content::ArchiveRecord> files;
        for (const content::NamedFile& f : content::SampleSpriteFiles()) files.push_back({f.name, f.bytes, false, 0});
        scratch_.Open();
        scratch_.Install(files, "data.zfs");
        Sprite_Reset();
        ASSERT_EQ(Sprite_LoadTable(), 1);
        Sprite_InstallSeam();
        Render_InstallBillboards();
        ASSERT_EQ(RenderQueue_Init(), 1);
        savedLod_ = RenderQueue_LodInfo();
        RenderQueue_LodInfo() = LodInfo{15, 200, 30, 10, 100, 100, 100, 1000, 100, 30, 250, 10,
                                        0,  0,   1000, 10, 30, 40, 1, 5, 256, 250, 8, 0};
        // The sample world's colour tables, put back afterwards.
        saved_.assign(3 * 65536, 0);
        std::memcpy(saved_.data(), LumaTable, 65536);
        std::memcpy(saved_.data() + 65536, TranslucencyTable, 65536);
        std::memcpy(saved_.data() + 2 * 65536, AlphaTable, 65536);
        const content::ColorTables tables = content::MakeColorTables(content::MakeWorldPalette());
        std::memcpy(LumaTable, tables.luma.data(), 65536);
        std::memcpy(TranslucencyTable, tables.translucency.data(), 65536);
        std::memcpy(AlphaTable, tables.alpha.data(), 65536);
    }
    void TearDown() override {
        std::memcpy(LumaTable, saved_.data(), 65536);
        std::memcpy(TranslucencyTable, saved_.data() + 65536, 65536);
        std::memcpy(AlphaTable, saved_.data() + 2 * 65536, 65536);
        RenderQueue_LodInfo() = savedLod_;
        RenderQueue_Close();
        Sprite_Reset();
        WeaponsFixture::TearDown();
        scratch_.Close();
    }
    ScratchDataRoot scratch_;
    LodInfo savedLod_{};
    std::vector<uint8_t> saved_;
};

// Writes the frame as a binary PPM in the sample world's colours, for a person to look at.
void SavePicture(const GraphicBuffer& frame, const char* name) {
    const char* data = std::getenv("GV_TEST_DATA");
    const std::filesystem::path dir = data ? std::filesystem::path(data).parent_path() : std::filesystem::current_path();
    const std::vector<uint8_t> palette = content::MakeWorldPalette();
    std::ofstream out(dir / name, std::ios::binary);
    out << "P6\n" << frame.width << " " << frame.height << "\n255\n";
    for (int i = 0; i < frame.width * frame.height; ++i)
        out.write(reinterpret_cast<const char*>(palette.data() + frame.pixels[i] * 3), 3);
}

TEST_F(EffectsPictureTest, SmokeAShockWaveLightningAndAnExplosionInOneFrame) {
    GraphicBuffer frame;
    Graphic_InitBuffer(&frame, 320, 240, nullptr, kGraphicFormat8);
    Graphic_Clear(&frame, 0);
    RenderView view;
    View_Init(&view, &frame, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    RenderQueue_Reset();

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
    auto inkIn = [&](int left, int top, int right, int bottom) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += frame.pixels[y * frame.width + x] != 0;
        return n;
    };
    EXPECT_GT(inkIn(0, 0, 100, 240), 50) << "smoke on the left";
    EXPECT_GT(inkIn(220, 0, 320, 240), 20) << "lightning on the right";
    EXPECT_GT(inkIn(130, 80, 190, 140), 50) << "the explosion in the middle";
    EXPECT_GT(inkIn(100, 150, 260, 240), 50) << "the shock wave below";
    EXPECT_EQ(CRC32_Memory(frame.pixels, 320 * 240), 3014673830u) << "picture: effects_scene.ppm in the build directory";
    Graphic_FreeBuffer(&frame);
}

}  // namespace

namespace {

// The planar blast in both of its forms (a point sprite near the eye with simple sprites on, a
// flat square on the ground beyond 80 m) and a shock blast's ring, seen from above the ground.
TEST_F(EffectsPictureTest, APlanarBlastNearAndFarAndAShockBlastsRing) {
    GraphicBuffer frame;
    Graphic_InitBuffer(&frame, 320, 240, nullptr, kGraphicFormat8);
    Graphic_Clear(&frame, 0);
    RenderView view;
    View_Init(&view, &frame, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    View_SetCameraMatrix(&view, Matrix_FromPositionDirection(DVector{0.0, 30.0, 0.0}, Vector{0.0f, -0.35f, 1.0f}));
    RenderQueue_Reset();
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

    auto inkIn = [&](int left, int top, int right, int bottom) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += frame.pixels[y * frame.width + x] != 0;
        return n;
    };
    EXPECT_GT(inkIn(95, 165, 130, 195), 200) << "the near blast, a round point sprite, lower left";
    EXPECT_GT(inkIn(180, 100, 206, 112), 30) << "the far blast, a square lying flat, seen edge-on";
    EXPECT_EQ(inkIn(180, 92, 206, 100), 0) << "the far square is flat: nothing above it";
    EXPECT_GT(inkIn(140, 128, 160, 160), 10) << "the left side of the shock ring";
    EXPECT_EQ(CRC32_Memory(frame.pixels, 320 * 240), 844271415u) << "picture: areablast_scene.ppm in the build directory";
    Graphic_FreeBuffer(&frame);
}

}  // namespace
