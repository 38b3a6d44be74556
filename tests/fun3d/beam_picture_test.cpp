#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "beam_definitions.h"
#include "colortables.h"
#include "core/checksum.h"
#include "core/shake.h"
#include "platform/random.h"
#include "render/billboard.h"
#include "render/graphicbuffer.h"
#include "render/palette.h"
#include "render/renderqueue.h"
#include "render/sprite.h"
#include "render/view.h"
#include "sprite_writer.h"
#include "support/data_root_fixture.h"
#include "weapons/beam.h"
#include "weapons_fixture.h"

namespace {

// The sample sprites served from a scratch data root; the shots queue into the render queue and
// the software renderer flushes it into a small 8-bit frame.
class BeamPictureTest : public WeaponsFixture {
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
        Ordnance_DeleteAll();
        RenderQueue_Close();
        Sprite_Reset();
        WeaponsFixture::TearDown();
        scratch_.Close();
    }
    void AddShot(const std::string& name, const std::string& label, float speed, float lifetime,
                 const content::StreakValues& streak, const content::FlameValues& flame) {
        content::OrdnanceValues o;
        o.label = label;
        o.speed = speed;
        o.lifetime = lifetime;
        std::string text, error;
        ASSERT_TRUE(content::StreakOrdnanceText(o, streak, flame, &text, &error)) << error;
        AddFile(name + ".odf", text);
    }
    ScratchDataRoot scratch_;
    std::vector<uint8_t> saved_;
};

void SavePicture(const GraphicBuffer& frame, const char* name) {
    const char* data = std::getenv("GV_TEST_DATA");
    const std::filesystem::path dir = data ? std::filesystem::path(data).parent_path() : std::filesystem::current_path();
    const std::vector<uint8_t> palette = content::MakeWorldPalette();
    std::ofstream out(dir / name, std::ios::binary);
    out << "P6\n" << frame.width << " " << frame.height << "\n255\n";
    for (int i = 0; i < frame.width * frame.height; ++i)
        out.write(reinterpret_cast<const char*>(palette.data() + frame.pixels[i] * 3), 3);
}

TEST_F(BeamPictureTest, ABeamAFadingBoltAndAFlamePuff) {
    content::StreakValues beam;
    beam.beamWidth = 0.3f;
    beam.segmentLength = 2.0f;
    beam.jitter = 0.15f;
    beam.beamSprite = "beam.0";
    AddShot("bpic", "beam", -1.0f, -1.0f, beam, {});
    content::StreakValues bolt;
    bolt.beamWidth = 1.0f;
    bolt.segmentLength = 3.0f;
    bolt.jitter = 0.8f;
    bolt.beamSprite = "bolt.0";
    bolt.showTime = 0.4f;
    AddShot("tpic", "bolt", 100.0f, 0.4f, bolt, {});
    content::FlameValues flame;
    flame.puffSize = 1.5f;
    flame.frameTime = 0.1f;
    flame.firstFrame = "flame.0";
    flame.frameCount = 8;
    AddShot("fpic", "flamepuff", 5.0f, 5.0f, {}, flame);

    GraphicBuffer frame;
    Graphic_InitBuffer(&frame, 160, 120, nullptr, kGraphicFormat8);
    Graphic_Clear(&frame, 0);
    RenderView view;
    View_Init(&view, &frame, kDefaultFieldOfView, 1.0f, 1000.0f, 1.0f);
    RenderQueue_Reset();
    Random_Seed(5);
    Random_FillTable();
    RandomTable_SetIndex(0);

    // A beam from the lower left reaching away to the right, held by no gun: it is drawn where
    // it was launched.
    auto* laser = dynamic_cast<Beam*>(OrdnanceClass::Find("bpic")->Build(
        Matrix_FromPositionDirection(DVector{-10.0, -5.0, 15.0}, Vector{1.0f, 0.2f, 1.0f}), nullptr));
    ASSERT_NE(laser, nullptr);
    laser->entity->local.posit = DVector{8.0, -1.0, 35.0};
    // A bolt across the top, 40 m long, half faded.
    auto* strike = dynamic_cast<Bolt*>(OrdnanceClass::Find("tpic")->Build(
        Matrix_FromPositionDirection(DVector{-20.0, 9.0, 40.0}, Vector{1.0f, 0.0f, 0.0f}), nullptr));
    ASSERT_NE(strike, nullptr);
    strike->netSerial = 0x0102;
    strike->Update(0.2f);
    // A flame puff on the right, a few frames into its animation.
    auto* puff = dynamic_cast<FlamePuff*>(OrdnanceClass::Find("fpic")->Build(
        Matrix_FromPositionDirection(DVector{9.0, -6.0, 25.0}, Vector{0.0f, 0.0f, 1.0f}), nullptr));
    ASSERT_NE(puff, nullptr);
    puff->Step(0.35f);

    laser->Render(&view);
    strike->Render(&view);
    puff->Render(&view);
    RenderQueue_Flush(&view);
    SavePicture(frame, "beam_scene.ppm");

    auto inkIn = [&](int left, int top, int right, int bottom) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += frame.pixels[y * frame.width + x] != 0;
        return n;
    };
    EXPECT_GT(inkIn(0, 30, 160, 50), 40) << "the bolt across the upper half";
    EXPECT_GT(inkIn(0, 60, 100, 120), 40) << "the beam from the lower left";
    EXPECT_GT(inkIn(100, 70, 160, 120), 20) << "the flame puff on the right";
    EXPECT_EQ(CRC32_Memory(frame.pixels, 160 * 120), 565308684u) << "picture: beam_scene.ppm in the build directory";
    Graphic_FreeBuffer(&frame);
}

}  // namespace
