#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "content.h"
#include "core/checksum.h"
#include "core/filesys.h"
#include "core/zfs.h"
#include "snapshot.h"
#include "support/data_root_fixture.h"
#include "support/world_reset.h"
#include "support/sample_world.h"

namespace {

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWorldForTest();
        scratch_.Open();
        std::string error;
        ASSERT_TRUE(SampleWorld_CopyTo(scratch_.root, &error)) << error;
        ASSERT_TRUE(FileSys_TryStart(0)) << Zfs_LastError();
    }
    void TearDown() override { scratch_.Close(); }

private:
    ScratchDataRoot scratch_;
};

TEST_F(SnapshotTest, TheSampleObjectsShowAndTheDishTurns) {
    content::Snapshot still;
    std::string error;
    ASSERT_TRUE(content::DrawSnapshot(&still, 0.0f, &error)) << error;
    ASSERT_EQ(still.pixels.size(), size_t(content::kSnapshotWidth) * content::kSnapshotHeight);
    const std::string ppm = content::SnapshotPpm(still);
    EXPECT_EQ(ppm.rfind("P6\n640 480\n255\n", 0), 0u);
    EXPECT_EQ(ppm.size(), 15u + 640u * 480u * 3u);
    std::ofstream("snapshot.ppm", std::ios::binary) << ppm;

    // Objects cover a good part of the frame, in more than a few colours.
    int background = 0, colours = 0;
    int seen[256] = {};
    for (uint8_t p : still.pixels) {
        background += p == still.pixels[0];
        colours += seen[p]++ == 0;
    }
    EXPECT_GT(int(still.pixels.size()) - background, 3000);
    EXPECT_GT(colours, 8);
    // Pinned again when the pilot's plain prism became its far-away shape (it was the shape the
    // pilot saw of itself from its own eye); and again when the objects kept the map's light
    // (they were drawn at the full light of the defaults) and the fog came to fade into the sky;
    // and again, after viewing it, when the tug and then the walker joined the row of models at its
    // right end (the walker a small figure that far out).
    EXPECT_EQ(CRC32_Memory(still.pixels.data(), still.pixels.size()), 0xF06240F7u);

    // After a second of the comm tower's dish sequence the picture differs.
    content::Snapshot turned;
    ASSERT_TRUE(content::DrawSnapshot(&turned, 1.0f, &error)) << error;
    EXPECT_NE(turned.pixels, still.pixels);
    // Drawing again gives the same picture.
    content::Snapshot again;
    ASSERT_TRUE(content::DrawSnapshot(&again, 0.0f, &error)) << error;
    EXPECT_EQ(again.pixels, still.pixels);
}

}  // namespace
