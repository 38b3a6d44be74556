#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "content.h"
#include "support/exit_trap.h"
#include "terrain_fixture.h"
#include "support/sample_world.h"

namespace {

// A height image with the flatness flags (bits 14-15, computed at load) cleared.
std::string WithoutFlags(std::string words) {
    for (size_t i = 1; i < words.size(); i += 2) words[i] = static_cast<char>(words[i] & 0x3F);
    return words;
}

// Heights that say which vertex they belong to: 100 + (x + 3 z) mod 3000.
uint16_t Tagged(int x, int z) { return static_cast<uint16_t>(100 + ((x + 3 * z) % 3000 + 3000) % 3000); }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST_F(TerrainTest, TwoByTwoZoneMapNumbersZonesAndSetsBounds) {
    content::TerrainMapSpec spec = Map("square", 2560, 2560, 0, 0, Tagged);
    Install(spec);
    Load("square.bzn");

    EXPECT_EQ(Terrain_ZoneCount(), 4);
    EXPECT_EQ(ZoneMap[0][0], 0);
    EXPECT_EQ(ZoneMap[0][1], 1);
    EXPECT_EQ(ZoneMap[1][0], 2);
    EXPECT_EQ(ZoneMap[1][1], 3);
    int zones = 0;
    for (auto& row : ZoneMap)
        for (uint8_t zone : row) zones += zone != kNoZone;
    EXPECT_EQ(zones, 4);

    EXPECT_EQ(TerrainBounds.minX, 0);
    EXPECT_EQ(TerrainBounds.maxX, 256);
    EXPECT_EQ(TerrainBounds.minZ, 0);
    EXPECT_EQ(TerrainBounds.maxZ, 256);
    float bounds[6];
    Terrain_GetBounds(bounds);
    EXPECT_FLOAT_EQ(bounds[0], 0.0f);
    EXPECT_FLOAT_EQ(bounds[2], 0.0f);
    EXPECT_FLOAT_EQ(bounds[3], 2560.0f);
    EXPECT_FLOAT_EQ(bounds[5], 2560.0f);
    // The height range of the present vertices, in metres (lowest first, then highest).
    EXPECT_FLOAT_EQ(bounds[1], 10.0f);
    EXPECT_NEAR(bounds[4], 0.1 * (100 + 255 + 3 * 255), 1e-3);

    // Each zone's words sit in its own block, zone-number order in the file.
    for (int zone = 0; zone < 4; ++zone) {
        const int x = (zone % 2) * 128 + 5, z = (zone / 2) * 128 + 7;
        EXPECT_EQ(Terrain_GetCell(x, z), Terrain_ZonePointer(zone) + 7 * 128 + 5);
        EXPECT_EQ(*Terrain_GetCell(x, z) & 0x3FFF, Tagged(x, z));  // bits 14-15: flatness flags
    }
    const float* rect = Terrain_GetZoneRect();
    EXPECT_FLOAT_EQ(rect[2], 2560.0f);
    EXPECT_FLOAT_EQ(TerrainCellSize, 10.0f);
    EXPECT_FLOAT_EQ(TerrainCellsPerMetre, 0.1f);
    EXPECT_NEAR(TerrainSineTable[32], 1.0f, 1e-6);
    EXPECT_NEAR(TerrainSineTable[64], 0.0f, 1e-6);
}

TEST_F(TerrainTest, OutsideTheZonesReadsBaseHeightAndMaterialZero) {
    content::TerrainMapSpec spec = Map("based", 2560, 1280, 1280, 1280, Tagged,
                                       [](int, int) { return content::MaterialWord(5, 5, 0, 1); });
    spec.baseHeight = 42;
    Install(spec);
    Load("based");
    EXPECT_EQ(Terrain_GetBaseHeight(), 42);
    const int outside[][2] = {{0, 0}, {127, 200}, {384, 130}, {200, 256}, {-1, -1}, {-3072, -3072},
                              {13311, 13311}, {-3072, 13311}, {10239, 10239}};
    for (const auto& cell : outside) {
        SCOPED_TRACE(::testing::Message() << cell[0] << ", " << cell[1]);
        EXPECT_EQ(*Terrain_GetCell(cell[0], cell[1]), 420);
        EXPECT_EQ(*Terrain_GetMaterialWord(cell[0], cell[1]), 0);
        EXPECT_EQ(Terrain_GetCellValue(cell[0], cell[1]), 420);
    }
    EXPECT_FLOAT_EQ(Terrain_GetHeight(-25000.0, 50.0), 42.0f);
    // Indices past the tables read their edge instead of memory beyond them.
    EXPECT_EQ(*Terrain_GetCell(-100000, 500000), 420);
    EXPECT_EQ(*Terrain_GetMaterialWord(INT32_MIN, INT32_MAX), 0);
    EXPECT_EQ(*Terrain_GetLightByte(INT32_MIN, INT32_MAX), 56);  // the default block, at the minimum light
    // Inside, the zones answer.
    EXPECT_EQ(*Terrain_GetCell(128, 128) & 0x3FFF, Tagged(128, 128));
    EXPECT_EQ(Terrain_GetCellClass(300, 200), 5);
    // Any "Height" the file gives turns into tenths without overflow; the word keeps the low 16
    // bits (2147483647 m: 21474836470 tenths, 0xFFF6 modulo 65536).
    for (const auto& [metres, word] : {std::pair{INT_MAX, 0xFFF6}, std::pair{INT_MIN + 1, 0x000A}}) {
        Terrain_SetBaseHeight(metres);
        Terrain_BuildBlockTables();
        EXPECT_EQ(*Terrain_GetCell(0, 0), word);
    }
}

TEST_F(TerrainTest, MaximumXVertexLineBelongsToTheNextBlock) {
    Install(Map("row", 2560, 1280, 0, 0, Tagged));
    Load("row");
    ASSERT_EQ(TerrainBounds.maxX, 256);
    // The line x = 128 is zone 1's first column, not zone 0's last.
    EXPECT_EQ(Terrain_GetCell(128, 3), Terrain_ZonePointer(1) + 3 * 128);
    EXPECT_EQ(Terrain_GetCell(127, 3), Terrain_ZonePointer(0) + 3 * 128 + 127);
    // The bounds' last vertex line x = 256 reads the default block (base height 0).
    EXPECT_EQ(Terrain_GetCellValue(256, 3), 0);
    EXPECT_EQ(Terrain_GetCellValue(255, 3), Tagged(255, 3));
    // So the last cell's right edge slopes down to the base height.
    EXPECT_NEAR(Terrain_GetHeight(2555.0, 30.0), 0.05 * Tagged(255, 3), 1e-3);
}

TEST_F(TerrainTest, MaterialWordsFollowTheIndexFormula) {
    // Each word tells its zone column and row and its position in the block.
    auto material = [](int x, int z) {
        return static_cast<uint16_t>(((x / 128) << 14) | ((z / 128) << 12) | (((z / 2) & 63) << 6) | ((x / 2) & 63));
    };
    // A rectangle away from the origin: the ".MAT" blocks follow the rectangle's row-major order.
    Install(Map("mats", 3840, 2560, 1280, 2560, nullptr, material));
    Load("mats");
    for (int x : {128, 129, 130, 255, 256, 300, 511}) {
        for (int z : {256, 257, 383, 384, 401, 511}) {
            SCOPED_TRACE(::testing::Message() << x << ", " << z);
            const int xs = x + 3072, zs = z + 3072;
            EXPECT_EQ(Terrain_GetMaterialWord(x, z),
                      MaterialBlockTable[(zs >> 7) * 128 + (xs >> 7)] + ((zs / 2) & 63) * 64 + ((xs / 2) & 63));
            EXPECT_EQ(*Terrain_GetMaterialWord(x, z), material(x & ~1, z & ~1));
        }
    }
}

TEST_F(TerrainTest, ZoneLoaderErrors) {
    struct Case {
        const char* what;
        int width, depth, minX, minZ;
        int heightBlocks, materialBlocks;  // -1: as many as the zones
        bool dropSize = false;
    };
    const Case cases[] = {
        {"too many zones (9 x 9)", 11520, 11520, 0, 0, -1, -1},
        {"no zone: too narrow", 1000, 2560, 0, 0, -1, -1},
        {"no zone: too shallow", 2560, 1270, 0, 0, -1, -1},
        {"short height file", 2560, 2560, 0, 0, 3, -1},
        {"short material file", 2560, 2560, 0, 0, -1, 3},
        {"no height file", 2560, 2560, 0, 0, 0, -1},
        {"rectangle past the east edge", 3840, 1280, 99840, 0, -1, -1},
        {"rectangle past the south edge", 1280, 2560, 0, 101120, -1, -1},
        {"negative MinX", 1280, 1280, -1280, 0, -1, -1},
        {"Size section missing", 1280, 1280, 0, 0, -1, -1, true},
        // Columns times rows past int: refused, not wrapped into a small zone count.
        {"huge Width and Depth", INT_MAX, INT_MAX, 0, 0, 1, 1},
        {"huge Width, one row", INT_MAX, 1280, 0, 0, 1, 1},
        {"huge MinX and MinZ", 1280, 1280, INT_MAX, INT_MAX, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        content::TerrainMapSpec spec = Map("bad", c.width, c.depth, c.minX, c.minZ);
        int columns, rows, firstColumn, firstRow;
        content::TerrainZoneRect(spec, &columns, &rows, &firstColumn, &firstRow);
        const int64_t zones = std::max<int64_t>(int64_t(columns) * rows, 1);
        std::string text = content::TerrainSettingsText(spec);
        if (c.dropSize) text = "[World]\nWidth = 1280\n";
        std::vector<content::ArchiveRecord> records = {{"bad.trn", text, true, 0}};
        const int64_t hb = c.heightBlocks < 0 ? zones : c.heightBlocks;
        const int64_t mb = c.materialBlocks < 0 ? zones : c.materialBlocks;
        if (hb > 0) records.push_back({"bad.hgt", std::string(size_t(hb) * 32768, '\0'), true, 0});
        records.push_back({"bad.mat", std::string(size_t(mb) * 8192, '\0'), true, 0});
        Install(records);

        Terrain_SetFileName("bad");
        EXPECT_EQ(Terrain_ReadZoneFiles(), 0);
        for (auto& row : ZoneMap)
            for (uint8_t zone : row) ASSERT_EQ(zone, kNoZone);
        EXPECT_EQ(Terrain_ZoneCount(), 0);

        Plat_ClearMessageBoxLog();
        Error_ResetForTests();
        EXPECT_EQ(RunForExit([] { Terrain_LoadZone("bad.bzn"); }), 112);
        ASSERT_EQ(BoxTexts().size(), 1u);
        EXPECT_EQ(BoxTexts()[0], "Zone loader error");
        Error_ResetForTests();
        Data_Close();
        Cache_Init();
    }
    // An empty terrain name fails as well.
    Terrain_SetFileName("");
    Terrain_FreeAll();
    EXPECT_EQ(Terrain_ReadZoneFiles(), 0);
}

TEST_F(TerrainTest, EightyZonesAtTheFarCornerLoad) {
    // 10 x 8 zones ending at the zone map's last row and column: the largest map allowed.
    Install(Map("big", 12800, 10240, 70 * 1280, 72 * 1280, [](int x, int z) { return uint16_t((x ^ z) & 0xFFF); }));
    Load("big");
    EXPECT_EQ(Terrain_ZoneCount(), 80);
    EXPECT_EQ(ZoneMap[79][79], 79);
    EXPECT_EQ(ZoneMap[72][70], 0);
    EXPECT_EQ(TerrainBounds.maxX, 10240);
    EXPECT_EQ(TerrainBounds.maxZ, 10240);
    EXPECT_EQ(Terrain_GetCellValue(10239, 10239), (10239 ^ 10239) & 0xFFF);
    EXPECT_EQ(Terrain_GetCellValue(9000, 9500), (9000 ^ 9500) & 0xFFF);
}

TEST_F(TerrainTest, SetFileNameReplacesTheExtension) {
    const char* const cases[][2] = {
        {"sample.bzn", "sample.TRN"}, {"sample", "sample.TRN"},      {"a.b.c", "a.b.TRN"},
        {"maps\\m.qmn", "maps\\m.TRN"}, {"dir.v2/map", "dir.v2/map.TRN"}, {"", ".TRN"},
    };
    for (const auto& c : cases) {
        Terrain_SetFileName(c[0]);
        EXPECT_STREQ(Terrain_GetFileName(), c[1]) << c[0];
    }
}

TEST_F(TerrainTest, SampleMapLoadsThroughTheWorldIndex) {
    std::string error;
    ASSERT_TRUE(SampleWorld_CopyTo(root, &error)) << error;
    EXPECT_FALSE(std::filesystem::exists(root + "/pack")) << "the pack directory goes once packed";
    ASSERT_TRUE(Zix_Build("kolta.zix")) << Zfs_LastError();
    for (const char* name : {"sample.trn", "sample.hgt", "sample.mat"}) {
        EXPECT_TRUE(Zix_FileExists(name)) << name;
        EXPECT_EQ(Zix_Paths()[size_t(Zix_PathOf(name))].text, "kolta.zfs") << name;
    }
    ASSERT_EQ(Terrain_LoadMap("sample.bzn", 0), 1);
    EXPECT_EQ(Terrain_ZoneCount(), 6);
    EXPECT_EQ(TerrainBounds.minX, 128);
    EXPECT_EQ(TerrainBounds.maxX, 512);
    EXPECT_EQ(TerrainBounds.minZ, 128);
    EXPECT_EQ(TerrainBounds.maxZ, 384);
    EXPECT_EQ(Terrain_GetBaseHeight(), 20);
    // Flat ground, the ramp, the cliff, and the base height outside.
    EXPECT_FLOAT_EQ(Terrain_GetHeight(content::kSampleFlatX * 10.0 + 3, content::kSampleFlatZ * 10.0 + 7), 30.0f);
    EXPECT_NEAR(Terrain_GetHeight(2205.0, 2000.0), 30.0 + 0.8 * (220.5 - content::kSampleRampStartX), 1e-3);
    const double cliff = content::kSampleCliffX * 10.0;
    EXPECT_NEAR(Terrain_GetHeight(cliff - 10.0, 1500.0) - Terrain_GetHeight(cliff, 1500.0), 50.0, 1e-3);
    EXPECT_FLOAT_EQ(Terrain_GetHeight(500.0, 500.0), 20.0f);
    // Several materials.
    bool seen[16] = {};
    for (int x = 128; x < 512; x += 2)
        for (int z = 128; z < 384; z += 2) seen[Terrain_GetCellClass(x, z)] = true;
    EXPECT_GE(std::count(std::begin(seen), std::end(seen), true), 4);
    EXPECT_GT(TerrainBounds.highest, TerrainBounds.lowest);
    EXPECT_FLOAT_EQ(TerrainBounds.lowest, 30.0f);
    EXPECT_EQ(TerrainLightMapSize, 7u * 16384u);
}

TEST_F(TerrainTest, SecondLoadReplacesTheFirst) {
    Install([] {
        std::vector<content::ArchiveRecord> all = content::TerrainRecords(Map("one", 2560, 2560, 0, 0, Tagged));
        for (auto& record : content::TerrainRecords(Map("two", 1280, 1280, 12800, 12800, Tagged))) all.push_back(record);
        return all;
    }());
    Load("one");
    Load("two");
    EXPECT_EQ(Terrain_ZoneCount(), 1);
    EXPECT_EQ(ZoneMap[0][0], kNoZone);
    EXPECT_EQ(ZoneMap[10][10], 0);
    EXPECT_EQ(Terrain_GetCellValue(5, 5), 0) << "the first map's zones are gone";
    EXPECT_EQ(Terrain_GetCellValue(1285, 1290), Tagged(1285, 1290));
    EXPECT_EQ(TerrainBounds.minX, 1280);
}

TEST_F(TerrainTest, SaveWritesTheZoneFilesBack) {
    content::TerrainMapSpec spec = Map("edit", 2560, 1280, 0, 0, Tagged, [](int x, int z) {
        return content::MaterialWord((x + z) % 8, 0, 0, 0);
    });
    Install(spec);
    Load("edit");
    *Terrain_GetCell(10, 10) = 0x0123;
    TerrainModified = 1;

    ASSERT_EQ(Terrain_SaveZoneFiles((root + "/out/edited.bzn").c_str()), 0) << "the directory does not exist";
    EXPECT_EQ(TerrainModified, 0);
    ASSERT_FALSE(BoxTexts().empty());
    EXPECT_EQ(BoxTexts()[0], "Can't open file " + root + "/out/edited.TRN");
    EXPECT_EQ(BoxTexts().size(), 3u) << "each file is tried";

    std::filesystem::create_directories(root + "/out");
    Plat_ForgetDirectoryCache();
    Plat_ClearMessageBoxLog();
    Terrain_SetFileName("edit");
    ASSERT_EQ(Terrain_SaveZoneFiles((root + "/out/edited.bzn").c_str()), 1);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_STREQ(Terrain_GetFileName(), "edited.TRN");
    EXPECT_EQ(ReadFile(root + "/out/edited.TRN"), content::TerrainSettingsText(spec));
    std::string heights = content::TerrainHeightBytes(spec);
    heights[(10 * 128 + 10) * 2] = 0x23;
    heights[(10 * 128 + 10) * 2 + 1] = 0x01;
    EXPECT_EQ(WithoutFlags(ReadFile(root + "/out/edited.HGT")), heights);
    EXPECT_EQ(ReadFile(root + "/out/edited.MAT"), content::TerrainMaterialBytes(spec));

    // Without a path the files go to the add-on directory of the profile.
    Terrain_SetFileName("edit");
    ASSERT_EQ(Terrain_SaveZoneFiles(""), 1);
    EXPECT_EQ(WithoutFlags(ReadFile(root + "/profile/Addon/edit.HGT")), heights);
    EXPECT_EQ(ReadFile(root + "/profile/Addon/edit.MAT"), content::TerrainMaterialBytes(spec));
}

TEST_F(TerrainTest, SaveWithNothingLoadedReportsFailure) {
    Terrain_SetFileName("none");
    EXPECT_EQ(Terrain_SaveZoneFiles(""), 0);
    EXPECT_EQ(BoxTexts().size(), 2u);
}

namespace {
struct FakeEntity {
    int type;
    int centred = 0;
    int released = 0;
};
std::vector<std::string> g_releaseSources;
}  // namespace

TEST_F(TerrainTest, EntityListKeepsHeadThenNewestAndReleasesEach) {
    TerrainEntityOps saved = Terrain_EntityOps();
    Terrain_EntityOps().typeCode = [](Entity* e) { return reinterpret_cast<FakeEntity*>(e)->type; };
    Terrain_EntityOps().centreOnBounds = [](Entity* e) { ++reinterpret_cast<FakeEntity*>(e)->centred; };
    Terrain_EntityOps().release = [](Entity* e, const char* source) {
        ++reinterpret_cast<FakeEntity*>(e)->released;
        g_releaseSources.push_back(source);
    };
    FakeEntity a{2}, b{81}, c{11}, d{5};
    for (FakeEntity* e : {&a, &b, &c, &d}) Terrain_AddEntity(reinterpret_cast<Entity*>(e));
    ASSERT_EQ(Terrain_EntityCount(), 4);
    EXPECT_EQ(Terrain_EntityAt(0), reinterpret_cast<Entity*>(&a));
    EXPECT_EQ(Terrain_EntityAt(1), reinterpret_cast<Entity*>(&d));
    EXPECT_EQ(Terrain_EntityAt(2), reinterpret_cast<Entity*>(&c));
    EXPECT_EQ(Terrain_EntityAt(3), reinterpret_cast<Entity*>(&b));
    EXPECT_EQ(a.centred + b.centred + c.centred + d.centred, 2) << "types 81 and 11 keep their centre";
    EXPECT_EQ(b.centred, 0);

    Terrain_ClearEntityList();
    EXPECT_EQ(Terrain_EntityCount(), 0);
    EXPECT_EQ(a.released, 0);

    Terrain_AddEntity(reinterpret_cast<Entity*>(&a));
    Terrain_AddEntity(reinterpret_cast<Entity*>(&b));
    g_releaseSources.clear();
    Terrain_ReleaseEntities();
    EXPECT_EQ(Terrain_EntityCount(), 0);
    EXPECT_EQ(a.released, 1);
    EXPECT_EQ(b.released, 1);
    EXPECT_EQ(g_releaseSources, (std::vector<std::string>{"Terramap", "Terramap"}));
    Terrain_EntityOps() = saved;
}

TEST_F(TerrainTest, SettingsAreReadAsConfigurationText) {
    // Sections and keys in any case and spacing, comments, hexadecimal and octal numbers; a key
    // that merely ends in a wanted one and the same key in other sections do not count.
    const std::string text =
        "; map settings\n"
        "[World]\n"
        "Width = 99\n"
        "  [ size ]  // the zones\n"
        "TileWidth = 7\n"
        "WIDTH=2560\r\n"
        "  depth   =  0x500 ; hexadecimal\n"
        "MinX = 024000\n"
        "MinZ = 1280\n"
        "Height = 7\n"
        "[Other]\n"
        "Height = 5\n";
    content::TerrainMapSpec spec = Map("conf", 2560, 1280, 10240, 1280, Tagged);
    std::vector<content::ArchiveRecord> records = content::TerrainRecords(spec);
    records[0].data = text;
    Install(records);
    Load("conf");
    EXPECT_EQ(Terrain_ZoneCount(), 2);
    EXPECT_EQ(ZoneMap[1][8], 0);
    EXPECT_EQ(ZoneMap[1][9], 1);
    EXPECT_EQ(TerrainBounds.minX, 1024);
    EXPECT_EQ(TerrainBounds.maxX, 1280);
    EXPECT_EQ(TerrainBounds.minZ, 128);
    EXPECT_EQ(TerrainBounds.maxZ, 256);
    EXPECT_EQ(Terrain_GetBaseHeight(), 7);
    EXPECT_EQ(Terrain_GetCellValue(1030, 130), Tagged(1030, 130));

    // Another data set with a file of the same name: its settings are read, not the old ones.
    Terrain_FreeAll();
    Data_Close();
    Cache_Init();
    spec = Map("conf", 1280, 1280, 0, 0, Tagged);
    spec.baseHeight = 3;
    Install(spec);
    Load("conf");
    EXPECT_EQ(Terrain_ZoneCount(), 1);
    EXPECT_EQ(ZoneMap[0][0], 0);
    EXPECT_EQ(TerrainBounds.maxX, 128);
    EXPECT_EQ(Terrain_GetBaseHeight(), 3);
}
