#include <gtest/gtest.h>

#include <vector>

#include "beam_definitions.h"
#include "core/checksum.h"
#include "core/shake.h"
#include "picture_fixture.h"
#include "platform/random.h"
#include "weapons/beam.h"

namespace {

// The shots queue into the render queue and the software renderer flushes it into a small frame.
class BeamPictureTest : public PictureFixture {
protected:
    void TearDown() override {
        Ordnance_DeleteAll();
        PictureFixture::TearDown();
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
};

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
    RenderView view;
    OpenFrame(&frame, &view, 160, 120);
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

    EXPECT_GT(InkIn(frame, 0, 30, 160, 50), 40) << "the bolt across the upper half";
    EXPECT_GT(InkIn(frame, 0, 60, 100, 120), 40) << "the beam from the lower left";
    EXPECT_GT(InkIn(frame, 100, 70, 160, 120), 20) << "the flame puff on the right";
    EXPECT_EQ(CRC32_Memory(frame.pixels, 160 * 120), 565308684u) << "picture: beam_scene.ppm in the build directory";
    Graphic_FreeBuffer(&frame);
}

}  // namespace
