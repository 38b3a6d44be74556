// The fuzz seed corpora are valid inputs: each reader accepts its target's seeds whole, so the
// bounded fuzzing runs start past the headers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "Objkr/geometry.h"
#include "Terrain/terramap.h"
#include "core/configfile.h"
#include "core/factory.h"
#include "core/fieldarchive.h"
#include "core/paramfile.h"
#include "core/savegame.h"
#include "core/zfs.h"
#include "content.h"
#include "fun3d/objectpool.h"
#include "fuzz_seeds.h"
#include "mission_writer.h"
#include "texture_writer.h"
#include "render/d3dtextures.h"
#include "render/texcache.h"
#include "render/texmgr.h"
#include "support/data_root_fixture.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FuzzSeedsTest : public DataRootTest {
protected:
    // Every seed of the target, by file name.
    std::map<std::string, std::string> Seeds(const std::string& target) {
        std::string error;
        const std::string dir = root + "/seeds";
        EXPECT_TRUE(content::WriteFuzzSeeds(dir, {target}, &error)) << error;
        std::map<std::string, std::string> seeds;
        for (const auto& entry : fs::directory_iterator(dir + "/" + target))
            seeds[entry.path().filename().string()] = ReadFile(entry.path());
        EXPECT_FALSE(seeds.empty()) << target;
        return seeds;
    }
};

TEST(FuzzFrame, PartsComeBackAndShortInputsAreCut) {
    const std::vector<std::string> parts = {"settings", "", std::string(300, '\x7f'), "rest"};
    const std::string framed = content::FuzzFrame(parts);
    const auto* bytes = reinterpret_cast<const uint8_t*>(framed.data());
    EXPECT_EQ(content::FuzzUnframe(bytes, framed.size(), 4), parts);
    // A length past the end takes what is left; the parts after it are empty.
    std::string cut = framed.substr(0, 4 + 8 + 4 + 4 + 10);
    EXPECT_EQ(content::FuzzUnframe(reinterpret_cast<const uint8_t*>(cut.data()), cut.size(), 4),
              (std::vector<std::string>{"settings", "", std::string(10, '\x7f'), ""}));
    EXPECT_EQ(content::FuzzUnframe(bytes, 2, 3), (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(content::FuzzUnframe(nullptr, 0, 1), (std::vector<std::string>{""}));
}

TEST_F(FuzzSeedsTest, EveryTargetGetsSeedsAndATargetWithoutARowIsRefused) {
    std::string error;
    const std::vector<std::string> targets = content::FuzzSeedTargets();
    ASSERT_TRUE(content::WriteFuzzSeeds(root + "/all", targets, &error)) << error;
    for (const std::string& target : targets) EXPECT_FALSE(fs::is_empty(root + "/all/" + target)) << target;
    EXPECT_FALSE(content::WriteFuzzSeeds(root + "/all", {"newreader_fuzz"}, &error));
    EXPECT_NE(error.find("newreader_fuzz has no seeds"), std::string::npos) << error;
}

TEST_F(FuzzSeedsTest, ArchivesOpenAndEveryRecordReads) {
    for (const auto& [name, bytes] : Seeds("zfs_fuzz")) {
        SCOPED_TRACE(name);
        const std::string path = root + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        ZfsArchive* archive = Zfs_Open(path, false);
        ASSERT_NE(archive, nullptr) << Zfs_LastError();
        EXPECT_GE(Zfs_Entries(archive).size(), 4u);
        for (const ZfsEntry& entry : Zfs_Entries(archive)) {
            uint32_t length = 0;
            void* data = Zfs_Read(archive, entry.Name().c_str(), &length);
            EXPECT_NE(data, nullptr) << entry.Name() << ": " << Zfs_LastError();
            std::free(data);
        }
        Zfs_Close(archive);
    }
}

TEST_F(FuzzSeedsTest, GeometriesTexturesAndParameterFilesParse) {
    for (const auto& [name, bytes] : Seeds("geo_fuzz")) {
        Geometry* g = Geom_Parse(bytes.data(), bytes.size());
        ASSERT_NE(g, nullptr) << name;
        EXPECT_GT(g->vertexCount, 0) << name;
        Geom_Free(g);
    }
    int decoded = 0;
    for (const auto& [name, bytes] : Seeds("texture_fuzz")) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
        const size_t split = p[0] | p[1] << 8;
        if (split == 0) {
            FrameList list{};
            EXPECT_TRUE(TextureImage_Check(p + 2, bytes.size() - 2) ||
                        FrameList_Read(p + 2, bytes.size() - 2, &list, nullptr))
                << name;
            continue;
        }
        std::vector<uint8_t> image(Vq_DecodedSize(p + 2, split));
        ASSERT_FALSE(image.empty()) << name;
        EXPECT_TRUE(Vq_DecodeTexture(p + 2, split, p + 2 + split, bytes.size() - 2 - split, image.data(), image.size()))
            << name;
        ++decoded;
    }
    EXPECT_GT(decoded, 0);
    for (const auto& [name, bytes] : Seeds("paramfile_fuzz")) {
        IParseContext* context = IParse_New();
        EXPECT_EQ(IParse_ParseText(context, bytes.data(), bytes.size(), name.c_str()), 0) << name;
        IParse_Free(context);
    }
}

TEST_F(FuzzSeedsTest, PreloadListSeedsGiveTextureNames) {
    const auto seeds = Seeds("maplist_fuzz");
    const std::string& sample = seeds.at("sample.lst");
    EXPECT_EQ(TexMgr_ParseMapList(sample.data(), sample.size()),
              std::vector<std::string>(content::kSampleMapListNames,
                                       content::kSampleMapListNames + content::kSampleMapListNameCount));
    const std::string& plain = seeds.at("plain.lst");
    EXPECT_EQ(TexMgr_ParseMapList(plain.data(), plain.size()),
              (std::vector<std::string>{"grass0.map", "rock1.map", "shadow.map"}));
}

TEST_F(FuzzSeedsTest, TerrainMapsLoadFromTheirFramedFiles) {
    for (const auto& [name, bytes] : Seeds("terrain_zone_fuzz")) {
        SCOPED_TRACE(name);
        const std::vector<std::string> files =
            content::FuzzUnframe(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 3);
        Install({{"fuzz.trn", files[0], true, 0}, {"fuzz.hgt", files[1], true, 0}, {"fuzz.mat", files[2], true, 0}});
        Cfg_Forget();
        Terrain_SetFileName("fuzz");
        EXPECT_EQ(Terrain_ReadZoneFiles(), 1);
        EXPECT_GT(Terrain_ZoneCount(), 0);
        Terrain_FreeAll();
    }
}

TEST_F(FuzzSeedsTest, SavedFieldSeedsReadBackFieldByFieldInBothForms) {
    using Reader = bool (*)(const char*, void*, size_t);
    // The readers of the target's kind indexes 0 to 14, then the physics block (15).
    const Reader readers[] = {Field_ReadBytes, Field_ReadBool,   Field_ReadString, Field_ReadChar,
                              Field_ReadShort, Field_ReadUShort, Field_ReadInt,    Field_ReadLong,
                              Field_ReadHex,   Field_ReadFloat,  Field_ReadDouble, Field_ReadId,
                              Field_ReadVector, Field_ReadVector2D, Field_ReadMatrix, Field_ReadPhysics};
    const size_t elements[] = {1, 1, 1, 1, 2, 2, 4, 4, 4, 4, 8, 8, 12, 8, 64, kFieldPhysicsSize};
    const auto seeds = Seeds("fieldarchive_fuzz");
    EXPECT_GE(seeds.size(), 4u);
    for (const auto& [name, bytes] : seeds) {
        SCOPED_TRACE(name);
        ASSERT_GE(bytes.size(), 2u);
        const size_t count = static_cast<uint8_t>(bytes[1]);
        ASSERT_LT(count, 24u);  // the target takes at most 23 operations
        const std::string ops = bytes.substr(2, count);
        const std::string stream = bytes.substr(2 + count);
        Field_SetBinary(bytes[0] & 1);
        Field_SetVersion(bytes[0] & 2 ? 1001 : kSaveVersionCurrent);
        Field_BeginRead(stream.data(), stream.size());
        std::vector<uint8_t> buffer(3 * 64);
        uint32_t pointer = 0;
        for (const char op : ops) {
            const uint8_t kind = static_cast<uint8_t>(op) % 20;
            if (kind < 16) {
                const size_t n = static_cast<uint8_t>(op) / 20 % 4;
                const size_t length = kind == 15 ? kFieldPhysicsSize : elements[kind] * n;
                EXPECT_TRUE(readers[kind]("f", buffer.data(), length)) << "kind " << int(kind);
            } else if (kind < 18) {
                EXPECT_TRUE(Field_ReadPointer("f", &pointer));
                EXPECT_EQ(pointer, 0x12u);
            } else if (kind == 18) {
                EXPECT_TRUE(Field_ReadLabel("[AiPaths]"));
            } else {  // a saved object: the factory's name and the save id
                char factory[kFactoryNameLength + 1] = {};
                EXPECT_TRUE(Field_ReadString("name", factory, kFactoryNameLength));
                EXPECT_STREQ(factory, "AttackTask");
                EXPECT_TRUE(bytes[0] & 2 ? Field_ReadBytes("sObject", buffer.data(), 4)
                                         : Field_ReadPointer("sObject", &pointer));
            }
        }
        Field_EndRead();
        Field_SetBinary(false);
        Field_SetVersion(kSaveVersionCurrent);
    }
}

// The saved-game target reads whole files: the sample world's missions and saved games of three of
// them in both forms, each of which loads into a world of its own.
TEST_F(FuzzSeedsTest, SavedGameSeedsAreWholeFilesThatLoad) {
    const auto seeds = Seeds("savegame_fuzz");
    std::vector<std::string> names;
    for (const auto& [name, bytes] : seeds) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"fight-binary.sav", "fight-text.sav", "fight.qmn", "nocraft.qmn",
                                               "sample-binary.sav", "sample-text.sav", "sample.qmn",
                                               "tugs-binary.sav", "tugs-text.sav", "tugs.qmn", "walker.qmn"}));
    // The binary form is not the text form again.
    EXPECT_NE(seeds.at("sample-binary.sav"), seeds.at("sample-text.sav"));
    std::string error;
    ASSERT_TRUE(content::WriteWorld(root + "/world", &error)) << error;
    fs::create_directories(root + "/profile-seeds");
    for (const auto& [name, bytes] : seeds) {
        SCOPED_TRACE(name);
        content::HeadlessWorld world(root + "/world", root + "/profile-seeds");
        ASSERT_TRUE(world.Ready());
        const std::string path = root + "/profile-seeds/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        EXPECT_TRUE(SaveGame_Load(path.c_str())) << (BoxTexts().empty() ? "" : BoxTexts().back());
        EXPECT_GT(GameObject_List().size(), 3u);
        EXPECT_EQ(SaveGame_IsMissionFile(), name.ends_with(".qmn"));
    }
}

}  // namespace
