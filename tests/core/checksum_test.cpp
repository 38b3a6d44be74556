#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "content.h"
#include "core/checksum.h"
#include "core/datafile.h"
#include "core/odf.h"
#include "core/seams/net.h"
#include "core/zfs.h"
#include "definitions.h"
#include "files_fixture.h"
#include "platform/system.h"
#include "support/sample_world.h"

namespace {

uint32_t Crc(const std::string& bytes, uint32_t value) { return CRC32_Update(bytes.data(), bytes.size(), value); }

TEST(Crc32, KnownValuesAndTheTable) {
    struct Case {
        const char* text;
        uint32_t crc;
    } cases[] = {
        {"abc", 0x648CBB73u},
        {"123456789", 0xFC891918u},
        {"", 0x00000000u},  // no bytes: the complement of the start value
    };
    for (const Case& c : cases) EXPECT_EQ(CRC32_Memory(c.text, std::strlen(c.text)), c.crc) << c.text;
    // From 0, one byte 1 picks table entry 1, the polynomial itself, returned complemented.
    const unsigned char one = 1;
    EXPECT_EQ(CRC32_Update(&one, 1, 0), ~0x04C11DB7u);
}

TEST(Crc32, ChainedCallsComplementAtEachEnd) {
    const std::string whole = "123456789", first = "1234", second = "56789";
    const uint32_t once = CRC32_Memory(whole.data(), whole.size());
    const uint32_t chained = Crc(second, Crc(first, 0xFFFFFFFFu));
    EXPECT_NE(chained, once);
    // Undoing the complement between the calls gives the one-call value back.
    EXPECT_EQ(Crc(second, ~Crc(first, 0xFFFFFFFFu)), once);
}

// Catches what the checksum traces and how often it tells the lobby.
class ChecksumTest : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        savedNet_ = Seam_Net();
        Seam_Net().signalGameStart = [] { ++signals; };
        signals = 0;
        trace.clear();
        DiagnosticsHooks hooks = Diagnostics_GetHooks();
        hooks.debuggerOutput = [](const char* text) { trace += text; };
        Diagnostics_SetHooks(hooks);
    }
    void TearDown() override {
        Diagnostics_ResetHooks();
        Seam_Net() = savedNet_;
        FilesTest::TearDown();
    }

    // An archive of the records with every record indexed, and the index started.
    void Install(const std::vector<content::ArchiveRecord>& records) {
        WriteArchive("data.zfs", records);
        content::IndexSpec spec;
        spec.paths.push_back({"cd0", "data.zfs"});
        for (const content::ArchiveRecord& record : records) spec.files.push_back({1, record.name});
        WriteIndex("kolta.zix", spec);
        ASSERT_TRUE(Zix_Build("kolta.zix")) << Zfs_LastError();
    }
    void InstallWorld() {
        std::string error;
        ASSERT_TRUE(SampleWorld_CopyTo(root, &error)) << error;
        Plat_ForgetDirectoryCache();
        ASSERT_TRUE(FileSys_TryStart(0)) << Zfs_LastError();
    }

    static inline int signals = 0;
    static inline std::string trace;
    NetSeam savedNet_{};
};

TEST_F(ChecksumTest, DataFilesContinueTheValueAndMissingOnesLeaveIt) {
    Install({{"unit.odf", "health = 5\n"}, {"empty.txt", ""}});
    const uint32_t start = 0x12345678u;
    EXPECT_EQ(CRC32_File("unit.odf", start), Crc("health = 5\n", start));
    EXPECT_EQ(CRC32_File("UNIT.ODF", start), Crc("health = 5\n", start)) << "names ignore case";
    EXPECT_EQ(CRC32_File("empty.txt", start), ~start) << "an empty file still ends the call with the complement";
    EXPECT_EQ(CRC32_File("gone.odf", start), start);
    EXPECT_EQ(CRC32_File("", start), start);
    EXPECT_EQ(CRC32_File(nullptr, start), start);
    EXPECT_EQ(signals, 4) << "the lobby is told once before each file looked for";

    trace.clear();
    const uint32_t value = CRC32_File("unit.odf", 0);
    char expected[64];
    std::snprintf(expected, sizeof expected, "unit.odf 00000000 %08x\n", value);
    EXPECT_EQ(trace, expected);
    trace.clear();
    CRC32_File("gone.odf", 0xABCu);
    EXPECT_EQ(trace, "gone.odf 00000abc \"gone.odf\" not found\n");
}

TEST_F(ChecksumTest, HostFilesAreReadWholeAndUnreadableOnesLeaveTheValue) {
    std::string bytes(70000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + (i >> 8));
    Write("disk/big.bin", bytes);
    Write("disk/empty.bin", "");
    const uint32_t start = 0xCAFEu;
    EXPECT_EQ(CRC32_DiskFile(Path("disk/big.bin").c_str(), start), Crc(bytes, start));
    EXPECT_EQ(CRC32_DiskFile(Path("disk/BIG.BIN").c_str(), start), Crc(bytes, start)) << "through the path module";
    EXPECT_EQ(CRC32_DiskFile(Path("disk/empty.bin").c_str(), start), start) << "nothing to map";
    EXPECT_EQ(CRC32_DiskFile(Path("disk/missing.bin").c_str(), start), start);
    EXPECT_EQ(CRC32_DiskFile(Path("disk").c_str(), start), start) << "a directory";
    EXPECT_EQ(CRC32_DiskFile("", start), start);
    EXPECT_EQ(CRC32_DiskFile(nullptr, start), start);
    EXPECT_EQ(signals, 0) << "host files are not the lobby's business";
}

TEST_F(ChecksumTest, CheckListCoversTheListThenEachNamedFileWithItsCompanions) {
    const std::string list = "a.odf, b.txt\tC.ODF\r\n\r\n gone.odf,,d.odf";
    Install({{"check.odf", list},
             {"a.odf", "a"},
             {"a.vdf", "a-v"},
             {"a.sdf", "a-s"},
             {"b.txt", "b"},
             {"b.vdf", "not a companion of a text file"},
             {"c.odf", "c"},
             {"c.sdf", "c-s"},
             {"d.odf", "d"},
             {"d.vdf", "d-v"}});
    uint32_t expected = 7;
    for (const char* bytes : {list.c_str(), "a", "a-v", "a-s", "b", "c", "c-s", "d", "d-v"})
        expected = Crc(bytes, expected);
    EXPECT_EQ(CRC32_CheckList(7), expected);

    // The files in the order they were covered, from the trace.
    std::vector<std::string> names;
    for (size_t at = 0; at < trace.size();) {
        size_t end = trace.find('\n', at);
        std::string line = trace.substr(at, end - at);
        names.push_back(line.substr(0, line.find(' ')));
        at = end == std::string::npos ? trace.size() : end + 1;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"check.odf", "a.odf", "a.vdf", "a.sdf", "b.txt", "C.ODF", "C.sdf",
                                               "gone.odf", "d.odf", "d.vdf"}));
}

TEST_F(ChecksumTest, CheckListStopsAtAZeroByteAndAMissingListLeavesTheValue) {
    Install({{"x.txt", "x"}});
    EXPECT_EQ(CRC32_CheckList(99), 99u);
    Data_Close();
    Cache_Init();
    const std::string list("x.txt\0y.txt\n", 12);
    Install({{"check.odf", list}, {"x.txt", "x"}, {"y.txt", "y"}});
    EXPECT_EQ(CRC32_CheckList(5), Crc("x", Crc(list, 5)));
}

TEST_F(ChecksumTest, GameContentIsTheSeedTheProgramTheListAndTheMissionInOrder) {
    const std::string list = "unit.odf\n";
    Install({{"check.odf", list},
             {"unit.odf", "u"},
             {"m1.vxt", "vxt"},
             {"m1.trn", "trn"},
             {"m1.hgt", "hgt"},
             {"m1.qmn", "qmn bytes"},
             {"m1.mat", "mat"}});
    const std::string program = Plat_ExecutablePath();
    ASSERT_FALSE(program.empty());
    uint32_t expected = Crc(kChecksumSeedText, 0);
    expected = CRC32_DiskFile(program.c_str(), expected);
    ASSERT_NE(expected, Crc(kChecksumSeedText, 0)) << "the program's own file is covered";
    expected = Crc("u", Crc(list, expected));
    for (const char* bytes : {"vxt", "trn", "hgt", "qmn bytes", "mat"}) expected = Crc(bytes, expected);  // no .lgt
    EXPECT_EQ(CRC32_GameContent("m1"), expected);
    EXPECT_EQ(CRC32_GameContent("m1.qmn.old"), expected) << "the name is cut at its first '.'";
    EXPECT_NE(CRC32_GameContent("m2"), expected);
    EXPECT_EQ(CRC32_GameContent(nullptr), CRC32_GameContent("")) << "no mission: only the seed, program and list";

    EXPECT_EQ(Mission_GetQmnSize("m1.bzn"), 9u);
    EXPECT_EQ(Mission_GetQmnSize("m2"), 0u);
    EXPECT_EQ(Mission_GetQmnSize(nullptr), 0u);
}

TEST_F(ChecksumTest, SampleWorldChecksumIsStableAndFollowsTheListedFiles) {
    InstallWorld();
    const uint32_t first = CRC32_GameContent("sample");
    EXPECT_EQ(CRC32_GameContent("sample.qmn"), first);
    trace.clear();
    const uint32_t list = CRC32_CheckList(0);
    EXPECT_NE(trace.find("scout.odf"), std::string::npos);
    EXPECT_EQ(trace.find("not found"), std::string::npos) << trace;
    Data_Close();

    // A second player: the same world written again gives the same value.
    std::filesystem::remove_all(root + "/addon");
    InstallWorld();
    EXPECT_EQ(CRC32_GameContent("sample"), first);

    // A file that is not listed does not count; a listed one does, and so do the mission's files.
    Data_Close();
    Write("addon/readme.txt", "changed, but nobody lists it");
    ASSERT_TRUE(FileSys_TryStart(0)) << Zfs_LastError();
    EXPECT_EQ(CRC32_GameContent("sample"), first);
    Data_Close();
    Write("addon/abcomm.odf", "[GameObjectClass]\n");
    ASSERT_TRUE(FileSys_TryStart(0)) << Zfs_LastError();
    EXPECT_NE(CRC32_CheckList(0), list);
    EXPECT_NE(CRC32_GameContent("sample"), first);
    Data_Close();
    std::filesystem::remove(Path("addon/abcomm.odf"));
    Write("addon/sample.trn", "[Size]\n");
    ASSERT_TRUE(FileSys_TryStart(0)) << Zfs_LastError();
    EXPECT_EQ(CRC32_CheckList(0), list);
    EXPECT_NE(CRC32_GameContent("sample"), first);
}

TEST_F(ChecksumTest, SampleDefinitionLoadsThroughTheFileCache) {
    InstallWorld();
    DataFile_SetLoader(nullptr);  // the cache-backed default
    OdfFile scout;
    ASSERT_TRUE(scout.Open("AVSCOUT.ODF"));
    char text[16];
    EXPECT_TRUE(scout.GetString(0x92D04727u, text, sizeof text, nullptr));
    EXPECT_STREQ(text, "wingman");
    char geometry[8];
    EXPECT_TRUE(scout.GetName8(0x0794B13Bu, geometry, "default"));
    EXPECT_EQ(std::string(geometry, 7), "gvscout");
    int health = 0;
    EXPECT_TRUE(scout.GetInt(0x19971F1Bu, &health, 0));
    EXPECT_EQ(health, 1800);
    float buildTime = 0;
    EXPECT_TRUE(scout.GetFloat(0x0ED76D3Au, &buildTime, 0));
    EXPECT_EQ(buildTime, 6.5f);
    EXPECT_TRUE(scout.GetString(Text_HashNumbered(0x157BA160u, 2), text, sizeof text, nullptr));
    EXPECT_STREQ(text, "hp2");
    EXPECT_EQ(Cache_LockCount("AVSCOUT.ODF"), 0) << "the cache keeps its copy unlocked";

    OdfFile missing;
    EXPECT_FALSE(missing.Open("nothere.odf"));
    int value = 0;
    EXPECT_FALSE(missing.GetInt(0x19971F1Bu, &value, 42));
    EXPECT_EQ(value, 42);
}

TEST(SampleDefinitions, CheckListNamesEveryDefinitionFile) {
    std::vector<content::ArchiveRecord> records;
    std::string error;
    ASSERT_TRUE(content::DefinitionRecords(&records, &error)) << error;
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records.back().name, "check.odf");
    std::vector<std::string> names;
    for (size_t i = 0; i + 1 < records.size(); ++i) names.push_back(records[i].name);
    EXPECT_EQ(records.back().data, content::CheckListText(names));
}

}  // namespace
