// The pictures of the sample map: its light map and the frame at the fixture's fixed camera. Their
// checksums are pinned; a change that moves one is checked by looking at the saved picture.
#include <gtest/gtest.h>

#include <cstdio>

#include "Terrain/terramap.h"
#include "content.h"
#include "core/checksum.h"
#include "support/frame_fixture.h"
#include "terrain_writer.h"

namespace {

class PicturesTest : public FrameFixture {};

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

TEST_F(PicturesTest, TheSampleMapsLightMapIsPinned) {
    const Picture picture = LightMapPicture();
    const std::string path = PicturePath("sample_lightmap.pgm");
    ASSERT_TRUE(SavePicture(picture, path)) << path;
    ASSERT_EQ(picture.width, 384);
    ASSERT_EQ(picture.height, 256);
    // Flat ground under the map's afternoon sun (45 degrees high).
    const int flat = (TerrainBounds.maxZ - 1 - content::kSampleFlatZ) * picture.width +
                     (content::kSampleFlatX - TerrainBounds.minX);
    EXPECT_EQ(picture.bytes[size_t(flat)], 181);
    // Pinned again when the western wall moved 50 m west, off the sample base.
    EXPECT_EQ(Hex(CRC32_Memory(picture.bytes.data(), picture.bytes.size())), "0xDDE34A32") << "see " << path;
}

TEST_F(PicturesTest, TheFixedCameraFrameIsPinned) {
    const Picture picture = RenderFixedFrame();
    const std::string path = PicturePath("sample_frame.ppm");
    ASSERT_TRUE(SavePicture(picture, path)) << path;
    ASSERT_EQ(picture.width, kWidth);
    ASSERT_EQ(picture.height, kHeight);
    int lit = 0;
    for (uint8_t byte : picture.bytes) lit += byte != 0;
    EXPECT_GT(lit, 0) << "the frame is black";
    // The whole sky: the tiled plane brightening towards its far edge, the sun, the clouds under
    // the plane, the clear colour beyond it and the backdrop band's panels. Pinned again when the
    // fog and the plane's far edge came to fade into the clear colour instead of towards white.
    EXPECT_EQ(Hex(CRC32_Memory(picture.bytes.data(), picture.bytes.size())), "0x51E22104") << "see " << path;

    // Sky detail 1, looking 50 degrees up: the colour sky, darker towards the zenith, its shaded
    // strip and the far part towards the horizon, and the sun, with nothing of the textured sky.
    const Picture colour = RenderFixedFrame(1, 50.0);
    const std::string colourPath = PicturePath("sample_frame_sky1.ppm");
    ASSERT_TRUE(SavePicture(colour, colourPath)) << colourPath;
    auto brightness = [&](int y) {
        const uint8_t* p = &colour.bytes[(size_t(y) * kWidth + kWidth / 2) * 3];
        return p[0] + p[1] + p[2];
    };
    EXPECT_LT(brightness(2), brightness(kHeight - 3)) << "the zenith side is darker";
    EXPECT_EQ(Hex(CRC32_Memory(colour.bytes.data(), colour.bytes.size())), "0xECB718DF") << "see " << colourPath;
}

}  // namespace
