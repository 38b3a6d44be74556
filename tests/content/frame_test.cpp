#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>

#include "content.h"
#include "core/checksum.h"
#include "core/filesys.h"
#include "core/zfs.h"
#include "frame.h"
#include "core/filecache.h"
#include "render/clip.h"
#include "render/sky.h"
#include "render/skyeffects.h"
#include "render/terraindraw.h"
#include "support/data_root_fixture.h"
#include "support/world_reset.h"
#include "support/sample_world.h"

namespace {

struct Seen {
    int textured = 0, flat = 0;
    float nearLight = 2, farLight = -1;  // the darkest near vertex, the brightest far one
};
Seen g_seen;

void Note(const RenderVertex* v, int count, const TextureImage* texture, int, uint32_t) {
    (texture ? g_seen.textured : g_seen.flat) += 1;
    for (int i = 0; i < count; ++i) {
        const float d = std::sqrt(v[i].x * v[i].x + v[i].z * v[i].z);
        if (d < 40) g_seen.nearLight = std::min(g_seen.nearLight, v[i].shade);
        if (d > 220) g_seen.farLight = std::max(g_seen.farLight, v[i].shade);
    }
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWorldForTest();
        scratch_.Open();
        std::string error;
        ASSERT_TRUE(SampleWorld_CopyTo(scratch_.root, &error)) << error;
        ASSERT_TRUE(FileSys_TryStart(0)) << Zfs_LastError();
        g_seen = Seen{};
    }
    void TearDown() override { scratch_.Close(); }

private:
    ScratchDataRoot scratch_;
};

}  // namespace

TEST_F(FrameTest, TheSampleMapFromAFixedCamera) {
    // Towards the ramp's foot from the flat ground: grass, the grass-to-dirt blends, the ramp.
    content::FrameRequest request;
    request.map = "sample";
    request.x = 1800;
    request.z = 2000;
    request.eye = 3;
    request.heading = 90;
    request.pitch = -5;
    request.draw = [](RenderView*) {};
    Terrain_SetPolygonHook(Note);
    content::Frame frame;
    std::string error;
    ASSERT_TRUE(content::DrawFrame(request, &frame, &error)) << error;
    ASSERT_EQ(frame.pixels.size(), size_t(content::kFrameWidth) * content::kFrameHeight);
    std::ofstream("frame.ppm", std::ios::binary) << content::FramePpm(frame);

    // Textures near, flat colours far; lit near, fogged towards bright far away.
    EXPECT_GT(g_seen.textured, 100);
    EXPECT_GT(g_seen.flat, 50);
    EXPECT_LT(g_seen.nearLight, 0.9f);
    EXPECT_GT(g_seen.farLight, 0.95f);
    EXPECT_GT(frame.polygons, 500);
    int colours = 0, seen[256] = {};
    for (uint8_t p : frame.pixels) colours += seen[p]++ == 0;
    EXPECT_GT(colours, 12);
    // Pinned again when the fog came to fade into the sky's clear colour instead of towards white.
    EXPECT_EQ(CRC32_Memory(frame.pixels.data(), frame.pixels.size()), 1432337707u);

    // The same request gives the same picture.
    Terrain_SetPolygonHook(nullptr);
    content::Frame again;
    ASSERT_TRUE(content::DrawFrame(request, &again, &error)) << error;
    EXPECT_EQ(again.pixels, frame.pixels);
    EXPECT_EQ(again.polygons, frame.polygons);
}

TEST_F(FrameTest, TheSampleMapsSkyAboveTheGround) {
    // Looking up over the flat ground: the tiled sky plane and the backdrop band, then nothing
    // of the sky is left held once the frame is done.
    content::FrameRequest request;
    request.map = "sample";
    request.x = 1800;
    request.z = 2000;
    request.eye = 3;
    request.heading = 90;
    request.pitch = 25;
    int skyLocks = -1, backdropLocks = -1, sun = 0;
    bool loaded = false;
    // The effects' textures: a cloud, the star shared by the table and the ring, a frame of the
    // animated sky and one of the scrounge.
    const char* const effects[] = {"CLOUD1.MAP", "STAR.MAP", "SKYFL03", "TUFT102"};
    int effectLocks[4] = {};
    request.draw = [&](RenderView*) {
        for (int i = 0; i < 4; ++i) effectLocks[i] = Cache_LockCount(effects[i]);
        EXPECT_EQ(Clouds_Count(), 10);
        EXPECT_EQ(Stars_Count(), 5);
        EXPECT_EQ(AnimSky_ItemCount(), 6);
        EXPECT_EQ(Scrounge_SpriteCount(), 24);
        loaded = Sky_GetTexture() && Sky_GetBackdropTexture();
        sun = Sky_Settings().sun;
        skyLocks = Cache_LockCount(Sky_Settings().skyTexture);
        backdropLocks = Cache_LockCount(Sky_Settings().backdropTexture);
    };
    content::Frame frame;
    std::string error;
    ASSERT_TRUE(content::DrawFrame(request, &frame, &error)) << error;
    std::ofstream("sky.ppm", std::ios::binary) << content::FramePpm(frame);
    EXPECT_TRUE(loaded);
    EXPECT_GT(sun, 0) << "the sun names a sprite of the table";
    EXPECT_GE(skyLocks, 1);
    EXPECT_GE(backdropLocks, 1);
    EXPECT_EQ(Sky_GetTexture(), nullptr);
    EXPECT_EQ(Sky_GetBackdropTexture(), nullptr);
    EXPECT_EQ(Cache_LockCount("SKYTILE.MAP"), skyLocks - 1) << "the sky texture is released";
    EXPECT_EQ(Cache_LockCount("BACKDROP.MAP"), backdropLocks - 1);
    EXPECT_EQ(Cache_LockCount("CLOUD1.MAP"), effectLocks[0] - 1) << "one reference for the one cloud texture";
    EXPECT_EQ(Cache_LockCount("STAR.MAP"), effectLocks[1] - 5) << "one reference per star";
    for (int i = 2; i < 4; ++i) {
        EXPECT_GE(effectLocks[i], 1) << effects[i];
        EXPECT_EQ(Cache_LockCount(effects[i]), effectLocks[i] - 1) << effects[i];
    }
    EXPECT_EQ(Clouds_Count() + Stars_Count() + AnimSky_ItemCount() + Scrounge_SpriteCount(), 0);

    // The upper half is the textured sky: more than the clear colour, in several colours.
    int colours = 0, seen[256] = {};
    for (size_t i = 0; i < frame.pixels.size() / 4; ++i) colours += seen[frame.pixels[i]]++ == 0;
    EXPECT_GT(colours, 4);

    // Without the sky's detail only the clear colour and the sun are left.
    content::FrameRequest plain = request;
    plain.draw = nullptr;
    plain.skyDetail = 0;  // the clear and the sun only
    content::Frame bare;
    ASSERT_TRUE(content::DrawFrame(plain, &bare, &error)) << error;
    EXPECT_NE(bare.pixels, frame.pixels);

    content::Frame again;
    request.draw = nullptr;
    ASSERT_TRUE(content::DrawFrame(request, &again, &error)) << error;
    EXPECT_EQ(again.pixels, frame.pixels);
    // Pinned again when the sky plane's far edge came to fade into the clear colour and the
    // backdrop band reached further down.
    EXPECT_EQ(CRC32_Memory(frame.pixels.data(), frame.pixels.size()), 3474460479u);
}
