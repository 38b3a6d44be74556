#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>

#include "core/zfs.h"
#include "files_fixture.h"

namespace {

class CacheTest : public FilesTest {
protected:
    // An archive whose index lists the given names (each file's bytes are its own name).
    void Index(const std::vector<std::string>& names) {
        std::vector<content::ArchiveRecord> records;
        content::IndexSpec spec;
        spec.paths.push_back({"cd0", "c.zfs"});
        for (const std::string& name : names) {
            records.push_back({name, name, false, 0});
            spec.files.push_back({1, name});
        }
        WriteArchive("c.zfs", records);
        WriteIndex("c.zix", spec);
        ASSERT_TRUE(Zix_Build("c.zix")) << Zfs_LastError();
    }
};

TEST_F(CacheTest, LocksKeepItemsOffThePurgeListAndTheLastUnlockAppends) {
    Index({"a.txt", "b.txt", "c.txt"});
    void* a = Cache_UseItem("a.txt");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(a)), "a.txt") << "a zero byte follows the data";
    EXPECT_EQ(Cache_UseItem("a.txt"), a) << "a second use shares the item";
    ASSERT_NE(Cache_UseItem("b.txt"), nullptr);
    EXPECT_EQ(Cache_LockCount("a.txt"), 2);
    Cache_UnlockItem("a.txt");
    EXPECT_TRUE(Cache_PurgeOrder().empty()) << "still locked once";
    Cache_UnlockItem("b.txt");
    Cache_UnlockItem("a.txt");
    EXPECT_EQ(Cache_PurgeOrder(), (std::vector<std::string>{"b.txt", "a.txt"}));
    Cache_UnlockItem("a.txt");
    EXPECT_EQ(Cache_LockCount("a.txt"), 0) << "unlocking an unlocked item changes nothing";
    Cache_UnlockItem("unknown.txt");
    EXPECT_EQ(Cache_UseItem("b.txt"), Cache_UseItem("b.txt"));
    EXPECT_EQ(Cache_PurgeOrder(), std::vector<std::string>{"a.txt"}) << "a hit takes the item off the list";
    EXPECT_EQ(Cache_GetItemName(a), std::string("a.txt"));
    EXPECT_STREQ(Cache_GetItemName(static_cast<char*>(a) + 1), "???");
    Cache_FreeItem("b.txt");
    EXPECT_EQ(Cache_LockCount("b.txt"), -1) << "freed whatever its lock count";
    EXPECT_EQ(Cache_ItemCount(), 1);
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
}

TEST_F(CacheTest, NullNamesNeverReachTheIndexAndCaseMakesDifferentItems) {
    Index({"null.txt", "tank.odf"});
    for (const char* name : {"null.txt", "NULL.TXT", "nUlLanything", ""}) EXPECT_EQ(Cache_UseItem(name), nullptr) << name;
    EXPECT_EQ(Cache_UseItem(nullptr), nullptr);
    EXPECT_EQ(Read("profile/symlog.txt"), "") << "no archive lookup, so nothing logged";
    void* lower = Cache_UseItem("tank.odf");
    void* upper = Cache_UseItem("TANK.ODF");
    ASSERT_TRUE(lower && upper);
    EXPECT_NE(lower, upper);
    EXPECT_EQ(Cache_ItemCount(), 2);
    EXPECT_EQ(Cache_GetItemSize(""), 0u);
    EXPECT_EQ(Cache_GetItemSize("tank.odf"), 8u);
    EXPECT_EQ(Cache_GetItemSize("null.txt"), 8u) << "the size comes from the index when not cached";
    EXPECT_EQ(Cache_ItemExists("TANK.odf"), 1);
    EXPECT_EQ(Cache_ItemExists("none.odf"), 0);
}

TEST_F(CacheTest, LongNamesAreFoundAgainByTheirStoredForm) {
    Index({"abcdefghijklmnop"});
    void* first = Cache_UseItem("abcdefghijklmnop");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Cache_UseItem("abcdefghijklmnop"), first);
    EXPECT_EQ(Cache_ItemCount(), 1);
    EXPECT_STREQ(Cache_GetItemName(first), "abcdefghijklmno");
    Cache_UnlockItem("abcdefghijklmnop");
    Cache_UnlockItem("abcdefghijklmnop");
    EXPECT_EQ(Cache_PurgeOrder(), std::vector<std::string>{"abcdefghijklmno"});
    Cache_FreeItem("abcdefghijklmnop");
    EXPECT_EQ(Cache_ItemCount(), 0);
    EXPECT_TRUE(Plat_MessageBoxLog().empty()) << "no bad-item warning";
}

TEST_F(CacheTest, MissingFilesAreLoggedAndWarnOnlyWhenNotQuiet) {
    Index({"a.txt"});
    EXPECT_EQ(Cache_UseItem("gone.txt"), nullptr);
    EXPECT_EQ(Read("profile/symlog.txt"), "Couldn't find file \"gone.txt\"\n");
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
    CmdLine_Globals().quietMissingFiles = false;
    EXPECT_EQ(Cache_UseItem("lost.txt"), nullptr);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Couldn't find file \"lost.txt\"\n"});
    EXPECT_EQ(Read("profile/symlog.txt"), "Couldn't find file \"gone.txt\"\nCouldn't find file \"lost.txt\"\n");
    Cache_Init();
    EXPECT_FALSE(std::filesystem::exists(Path("profile/symlog.txt"))) << "each start deletes the log";
}

TEST_F(CacheTest, AllocationFailurePurgesFirstThenDumpsAndWarns) {
    Index({"a.txt", "bb.txt", "c.txt"});
    ASSERT_NE(Cache_UseItem("a.txt"), nullptr);
    Cache_UnlockItem("a.txt");
    Cache_FailNextAllocations(1);
    ASSERT_NE(Cache_UseItem("bb.txt"), nullptr) << "the unlocked item makes room";
    EXPECT_EQ(Cache_LockCount("a.txt"), -1);
    EXPECT_TRUE(Plat_MessageBoxLog().empty());

    Cache_FailNextAllocations(1);
    EXPECT_EQ(Cache_UseItem("c.txt"), nullptr);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Gravenholt Memory running low (1)"});
    char line[80];
    std::snprintf(line, sizeof line, "Name: %30s Size: %7d\n", "bb.txt", 6);
    EXPECT_EQ(Read("profile/prjcache.txt"), std::string("Size: 5242880 Items: 1\n\nContents of project file cache:\n\n") +
                                                line + "\nTotal allocated: 6\n");
    EXPECT_EQ(Debug_GetOutputMode(), 4) << "the debug output stays on the dump's log";
}

TEST_F(CacheTest, ItemLimitPurgesTheOldestOrWarnsAndStillLoads) {
    std::vector<std::string> names;
    for (int i = 0; i <= kCacheItemLimit; ++i) names.push_back("f" + std::to_string(i));
    Index(names);
    for (int i = 0; i < kCacheItemLimit; ++i) ASSERT_NE(Cache_UseItem(names[size_t(i)].c_str()), nullptr) << i;
    EXPECT_EQ(Cache_ItemCount(), kCacheItemLimit);
    ASSERT_NE(Cache_UseItem(names.back().c_str()), nullptr) << "loaded after the warning is answered with OK";
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Gravenholt Memory running low (2)"});
    EXPECT_EQ(Cache_ItemCount(), kCacheItemLimit + 1);

    Plat_ClearMessageBoxLog();
    Cache_FreeItem(names.back().c_str());
    Cache_UnlockItem("f5");
    Cache_UnlockItem("f9");
    ASSERT_NE(Cache_UseItem(names.back().c_str()), nullptr) << "at the limit the oldest unlocked item goes";
    EXPECT_EQ(Cache_LockCount("f5"), -1);
    EXPECT_EQ(Cache_LockCount("f9"), 0);
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
}

TEST_F(CacheTest, ModeVariantNames) {
    static int displayMode = 0;
    File_SetDisplayModeSource([] { return displayMode; });
    const struct {
        int displayMode;
        const char* name;
        const char* suffix;
        int mode;
        int position;
        const char* expected;
    } cases[] = {
        {0, "sky.pic", nullptr, 0, 3, "sky?.pic"}, {3, "sky.pic", ".map", 0, 0, "6sky.pic.map"},
        {7, "skyx", nullptr, 1, 3, "sky3"},        {8, "skyx", nullptr, 1, 9, "skyx"},
        {5, "sky", "_t", 2, 1, "sky_t"},           {6, "ab", nullptr, 0, 9, "ab3"},
    };
    for (const auto& c : cases) {
        displayMode = c.displayMode;
        EXPECT_STREQ(File_ModeVariantName(c.name, c.suffix, c.mode, c.position), c.expected) << c.expected;
    }
    EXPECT_EQ(File_ModeVariantName(nullptr, nullptr, 0, 0), nullptr);
    File_SetDisplayModeSource(nullptr);
}

TEST(BlockPoolTest, BlocksComeFromChunksAndAFixedPoolRunsOut) {
    BlockPool fixed;
    fixed.Init(1, 3, 0);
    EXPECT_EQ(fixed.BlockSize(), sizeof(void*)) << "a block holds at least a link";
    std::set<uintptr_t> blocks;
    for (int i = 0; i < 3; ++i) {
        void* block = fixed.Alloc();
        ASSERT_NE(block, nullptr);
        std::memset(block, 0xAB, fixed.BlockSize());
        blocks.insert(reinterpret_cast<uintptr_t>(block));
    }
    EXPECT_EQ(blocks.size(), 3u);
    EXPECT_EQ(fixed.Alloc(), nullptr) << "grow count 0";
    void* back = reinterpret_cast<void*>(*blocks.begin());
    fixed.Free(back);
    EXPECT_EQ(fixed.Alloc(), back);

    BlockPool growing;
    growing.Init(24, 0, 4);
    std::set<uintptr_t> grown;
    for (int i = 0; i < 10; ++i) grown.insert(reinterpret_cast<uintptr_t>(growing.Alloc()));
    EXPECT_EQ(grown.size(), 10u);
    EXPECT_EQ(grown.count(0), 0u);
    uintptr_t first = *grown.begin();
    EXPECT_EQ((first % alignof(void*)), 0u);
}

}  // namespace
