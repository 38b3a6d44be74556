#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "Objkr/rendersettings.h"
#include "content.h"
#include "Terrain/terramap.h"
#include "Terrain/terraintex.h"
#include "Terrain/terrenv.h"
#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "terrain_fixture.h"
#include "support/sample_world.h"

namespace {

void SunAt45DegreesFromX(float out[3]) { out[0] = 0.70710678f, out[1] = 0.70710678f, out[2] = 0.0f; }
uint16_t Flat(int, int) { return 500; }  // 50 m

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class LightMapTest : public TerrainTest {
protected:
    void SetUp() override {
        TerrainTest::SetUp();
        Seam_Render().sunDirection = SunAt45DegreesFromX;
    }
    std::string CachePath(const std::string& stem) const { return root + "/profile/Addon/" + stem + ".LGT"; }
    // One zone of flat ground at (0, 0), map "flat".
    void InstallFlat(std::vector<content::ArchiveRecord> extra = {}) {
        std::vector<content::ArchiveRecord> records = content::TerrainRecords(Map("flat", 1280, 1280, 0, 0, Flat));
        for (auto& record : extra) records.push_back(record);
        Install(records, "terrain.zfs");
    }
};

constexpr size_t kOneZoneMap = 2 * 16384;

}  // namespace

TEST_F(LightMapTest, TheSampleMapsFirstLoadWritesItsLightCacheAndTheNextUsesIt) {
    std::string error;
    ASSERT_TRUE(SampleWorld_CopyTo(root, &error)) << error;
    ASSERT_TRUE(Zix_Build("kolta.zix")) << Zfs_LastError();
    ASSERT_EQ(Terrain_LoadMap("sample.bzn", 0), 1);
    const std::string cache = CachePath("sample");
    const std::string written = ReadFile(cache);
    ASSERT_EQ(written.size(), (1u + 6u) * 16384u);
    EXPECT_EQ(written, std::string(reinterpret_cast<const char*>(TerrainLightMap), TerrainLightMapSize));

    // The next load takes the cache as it is and leaves the file alone.
    WriteFile(cache, std::string(written.size(), char(128)));
    const auto stamp = std::filesystem::last_write_time(cache);
    ASSERT_EQ(Terrain_LoadMap("sample.bzn", 0), 1);
    EXPECT_EQ(*Terrain_GetLightByte(content::kSampleFlatX, content::kSampleFlatZ), 128);
    EXPECT_EQ(*Terrain_GetLightByte(-1000, -1000), 128);
    EXPECT_EQ(ReadFile(cache), std::string(written.size(), char(128)));
    EXPECT_EQ(std::filesystem::last_write_time(cache), stamp);
    // The height range is measured all the same.
    EXPECT_FLOAT_EQ(TerrainBounds.lowest, 30.0f);
}

TEST_F(LightMapTest, ACacheOfAnotherSizeIsRecomputedAndRewrittenAtTheMapsSize) {
    InstallFlat();
    for (size_t size : {size_t(100), kOneZoneMap + 16384}) {
        SCOPED_TRACE(size);
        WriteFile(CachePath("flat"), std::string(size, char(7)));
        Load("flat.bzn");
        EXPECT_EQ(*Terrain_GetLightByte(60, 60), 181);
        const std::string rewritten = ReadFile(CachePath("flat"));
        ASSERT_EQ(rewritten.size(), kOneZoneMap);
        EXPECT_EQ(uint8_t(rewritten[16384 + 60 * 128 + 60]), 181);
        Terrain_FreeAll();
    }
}

TEST_F(LightMapTest, ALightFileShippedWithTheMapIsUsedOnlyAtTheMapsSize) {
    InstallFlat({{"flat.lgt", std::string(kOneZoneMap, char(90))}});
    Load("flat.bzn");
    EXPECT_EQ(*Terrain_GetLightByte(60, 60), 90);
    EXPECT_FALSE(std::filesystem::exists(CachePath("flat"))) << "a shipped map needs no cache";
    Terrain_FreeAll();

    InstallFlat({{"flat.lgt", std::string(kOneZoneMap - 1, char(90))}});
    Load("flat.bzn");
    EXPECT_EQ(*Terrain_GetLightByte(60, 60), 181);
    EXPECT_EQ(ReadFile(CachePath("flat")).size(), kOneZoneMap);
}

TEST_F(LightMapTest, AnUnwritableProfileStillLoadsTheMap) {
    InstallFlat();
    WriteFile(root + "/profile/blocked", "a file, not a folder");
    Plat_SetProfileDir(root + "/profile/blocked/inside");
    Load("flat.bzn");
    EXPECT_EQ(*Terrain_GetLightByte(60, 60), 181);
    EXPECT_TRUE(BoxTexts().empty());
    Plat_SetProfileDir(root + "/profile");
}

TEST_F(LightMapTest, RebuildingARectangleFollowsNewHeightsAndClearingDropsItsFlags) {
    InstallFlat();
    Load("flat.bzn");
    TerrainModified = 0;
    ASSERT_EQ(*Terrain_GetCell(20, 20) & 0xC000, 0xC000);
    // A slope rising 1 cell unit per cell towards +x faces the sun square on.
    for (int z = 10; z <= 30; ++z)
        for (int x = 10; x <= 30; ++x) *Terrain_GetCell(x, z) = static_cast<uint16_t>(500 + (x - 10) * 100);
    EXPECT_EQ(*Terrain_GetLightByte(20, 20), 181) << "nothing changes before the refresh";
    Terrain_RebuildRect(10, 10, 30, 30);
    EXPECT_EQ(TerrainModified, 1);
    EXPECT_EQ(*Terrain_GetLightByte(20, 20), 0) << "the slope faces away from the sun";
    EXPECT_EQ(*Terrain_GetLightByte(40, 40), 181);

    Terrain_ClearCellBits(0, 0, 5, 5);
    EXPECT_EQ(*Terrain_GetCell(5, 5) & 0xC000, 0);
    EXPECT_EQ(*Terrain_GetCell(5, 5) & kHeightMask, 500);
    EXPECT_EQ(*Terrain_GetCell(6, 6) & 0xC000, 0xC000);
    // Outside the present zones the shared default block is left alone.
    Terrain_RebuildRect(-20, -20, -10, -10);
    Terrain_ClearCellBits(-20, -20, -10, -10);
    EXPECT_EQ(*Terrain_GetLightByte(-15, -15), kMinLightByte);

    // The edits go with the terrain: nothing is left to save once it is freed.
    Terrain_FreeAll();
    EXPECT_EQ(TerrainModified, 0);
}

TEST_F(LightMapTest, DarkeningUnderABoxScalesTheBytesInItsSunShadow) {
    content::TerrainMapSpec spec = Map("flat", 1280, 1280, 0, 0, Flat);
    spec.extraSections = "[NormalView]\nTerrainShadowLuma = 40\n";
    Install(content::TerrainRecords(spec), "terrain.zfs");
    Load("flat.bzn");
    // A 20 m box on the ground; the sun stands 45 degrees high in +x, so the shadow reaches 20 m
    // towards -x, and only the side away from the sun (x <= 610) counts.
    const Vector boxMin{600.0f, 50.0f, 600.0f}, boxMax{620.0f, 70.0f, 620.0f}, at{610.0f, 50.0f, 610.0f};
    Terrain_DarkenUnderBox(boxMin, boxMax, at);
    const int darkened = static_cast<int>(181 * 0.4f);
    for (int k = 58; k <= 64; ++k)
        for (int i = 55; i <= 64; ++i) {
            const bool inside = i >= 58 && i <= 61 && k >= 60 && k <= 62;
            EXPECT_EQ(*Terrain_GetLightByte(i, k), inside ? darkened : 181) << i << "," << k;
        }

    // Nothing with the display's shadow option off, nor with the sun overhead.
    Terrain_LoadLightMap();
    Render_Settings().shadowPattern = 0;
    Terrain_DarkenUnderBox(boxMin, boxMax, at);
    EXPECT_EQ(*Terrain_GetLightByte(59, 61), 181);
    Render_Settings().shadowPattern = 1;
    Seam_Render().sunDirection = [](float out[3]) { out[0] = 0.04f, out[1] = 0.9992f, out[2] = 0.0f; };
    Terrain_DarkenUnderBox(boxMin, boxMax, at);
    EXPECT_EQ(*Terrain_GetLightByte(59, 61), 181);
}

TEST_F(LightMapTest, RenderCfgDebugSwitchesReachTheRendererTerrainAndCockpit) {
    static int separateDraw = -1;
    separateDraw = -1;
    Seam_Render().separateDraw = [] { return 0; };
    Seam_Render().setSeparateDraw = [](int value) { separateDraw = value; };
    InstallFlat();
    Load("flat.bzn");
    EXPECT_EQ(separateDraw, 0) << "the current value stays without the key";
    EXPECT_TRUE(Seam_Cockpit().hudIsOn());

    WriteFile(root + "/profile/render.cfg", "[Debug]\nSeparateDraw=1\nFaceMask=7\nHUD=0\n");
    Terrain_FreeAll();
    Load("flat.bzn");
    EXPECT_EQ(separateDraw, 1);
    // The switch sets the drawing's face mask; the drawing mode set later in the map load
    // then puts its own in, as the load order has it.
    Terrain_ReadEnvironment();
    EXPECT_EQ(Terrain_DrawMode().faceMask, 7);
    EXPECT_FALSE(Seam_Cockpit().hudIsOn());
}

TEST_F(LightMapTest, OnlyASunInTheFirstOctantBelowTheZenithCastsSelfShadow) {
    // A 200 m wall at x = 40..42 over ground at 10 m; the vertex at x = 38 lies just west of it.
    static float sun[3];
    struct Case {
        const char* name;
        float x, y, z;
        bool shadowed;
    };
    const Case cases[] = {
        {"low in +x", 0.8660254f, 0.5f, 0.0f, true},
        {"near the zenith", 0.04f, 0.9992f, 0.0f, false},
        {"low in -x", -0.8660254f, 0.5f, 0.0f, false},
        {"low in +z", 0.0f, 0.5f, 0.8660254f, false},
    };
    Install(content::TerrainRecords(
                Map("wall", 1280, 1280, 0, 0, [](int x, int) -> uint16_t { return x >= 40 && x <= 42 ? 2000 : 100; })),
            "terrain.zfs");
    Seam_Render().sunDirection = [](float out[3]) { out[0] = sun[0], out[1] = sun[1], out[2] = sun[2]; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sun[0] = c.x, sun[1] = c.y, sun[2] = c.z;
        std::filesystem::remove(CachePath("wall"));  // the cache does not know the sun
        Load("wall.bzn");
        const int open = c.y > 255.0f / 256.0f ? 255 : static_cast<int>(c.y * 256.0f);
        EXPECT_EQ(*Terrain_GetLightByte(38, 20), c.shadowed ? kMinLightByte : open);
        Terrain_FreeAll();
    }
}

TEST_F(LightMapTest, OneVertexIsRecomputedByZThenX) {
    // Ground falling away towards +x from x = 50 faces the sun (in +x) more than flat ground does.
    Install(content::TerrainRecords(Map("tilt", 1280, 1280, 0, 0, [](int x, int) -> uint16_t {
                return static_cast<uint16_t>(x < 50 ? 3000 : 3000 - (x - 50) * 50);
            })),
            "terrain.zfs");
    Load("tilt.bzn");
    const uint8_t slope = *Terrain_GetLightByte(60, 20);
    EXPECT_GT(slope, 181);
    *Terrain_GetLightByte(60, 20) = 0;
    *Terrain_GetLightByte(20, 60) = 0;
    Terrain_ComputeCellLight(20, 60);
    EXPECT_EQ(*Terrain_GetLightByte(60, 20), slope);
    EXPECT_EQ(*Terrain_GetLightByte(20, 60), 0);
}
