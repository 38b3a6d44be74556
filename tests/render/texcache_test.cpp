#include <array>
#include <cstring>
#include <fstream>
#include <iterator>

#include "texture_fixture.h"

namespace {

using content::ArchiveRecord;

std::array<uint8_t, 16> Entry(uint8_t base) {
    std::array<uint8_t, 16> e{};
    for (int i = 0; i < 16; ++i) e[i] = static_cast<uint8_t>(base + i);
    return e;
}

// A 6 x 5 texture: blocks (0,0) entry 0, (1,0) solid 7, (0,1) entry 1, (1,1) solid 9.
std::string SixByFive(const std::string& book = "book.cbk") {
    return content::VqmBytes(0x1234, 6, 5, book, {0x0000, 0x8007, 0x0001, 0x8009});
}
std::string TwoEntryBook() { return content::CodeBookBytes({Entry(0x10), Entry(0x40)}); }

// A 4 x 4 solid texture of one colour.
ArchiveRecord Solid(const std::string& stem, uint8_t colour) {
    return {stem + ".vqm", content::VqmBytes(0, 4, 4, "book.cbk", {static_cast<uint16_t>(0x8000 | colour)}), true, 0};
}

TEST(VqDecode, SixByFiveWithPartialEdgeBlocks) {
    std::string vqm = SixByFive(), book = TwoEntryBook();
    const auto* v = reinterpret_cast<const uint8_t*>(vqm.data());
    const auto* b = reinterpret_cast<const uint8_t*>(book.data());
    ASSERT_EQ(Vq_DecodedSize(v, vqm.size()), 6u * 5u + 24u);
    std::vector<uint8_t> out(54, 0xEE);
    // One byte short of width x height + 24: refused, nothing written.
    EXPECT_FALSE(Vq_DecodeTexture(v, vqm.size(), b, book.size(), out.data(), 53));
    EXPECT_EQ(out[0], 0xEE);
    ASSERT_TRUE(Vq_DecodeTexture(v, vqm.size(), b, book.size(), out.data(), out.size()));
    const uint8_t header[8] = {6, 0, 0x34, 0x12, 5, 0, 0, 0};
    EXPECT_EQ(std::memcmp(out.data(), header, 8), 0);
    const uint8_t texels[5][6] = {
        {0x10, 0x11, 0x12, 0x13, 7, 7},
        {0x14, 0x15, 0x16, 0x17, 7, 7},
        {0x18, 0x19, 0x1A, 0x1B, 7, 7},
        {0x1C, 0x1D, 0x1E, 0x1F, 7, 7},
        {0x40, 0x41, 0x42, 0x43, 9, 9},  // the bottom blocks show one row
    };
    EXPECT_EQ(std::memcmp(out.data() + 8, texels, sizeof texels), 0);
    const TextureImage* image = reinterpret_cast<const TextureImage*>(out.data());
    EXPECT_EQ(TextureImage_Width(image), 6);
    EXPECT_EQ(TextureImage_Height(image), 5);
    EXPECT_EQ(TextureImage_Format(image), 0x1234);
    EXPECT_EQ(TextureImage_Texels(image)[5], 7);
}

TEST(VqDecode, RefusesWhatTheFileDoesNotHold) {
    std::string book = TwoEntryBook();
    const auto* b = reinterpret_cast<const uint8_t*>(book.data());
    std::vector<uint8_t> out(4096);
    struct Case {
        const char* what;
        std::string vqm;
    };
    const Case cases[] = {
        {"code past the book", content::VqmBytes(0, 4, 4, "book.cbk", {2})},
        {"codes missing", content::VqmBytes(0, 8, 8, "book.cbk", {0x8001, 0x8001, 0x8001})},
        {"header only part", SixByFive().substr(0, 20)},
        {"negative height", content::VqmBytes(0, 4, -4, "book.cbk", {})},
        {"wider than an image can say", content::VqmBytes(0, 0x8000, 0, "book.cbk", {})},
    };
    for (const Case& c : cases) {
        const auto* v = reinterpret_cast<const uint8_t*>(c.vqm.data());
        EXPECT_FALSE(Vq_DecodeTexture(v, c.vqm.size(), b, book.size(), out.data(), out.size())) << c.what;
    }
}

TEST(TexCacheHash, BucketOfNames) {
    EXPECT_EQ(TexCache_Bucket(""), 2731 % 109);
    // h = ('a' & 0xDF) = 0x41; (0x41 * 1741 + 2731) mod 109.
    EXPECT_EQ(TexCache_Bucket("a"), static_cast<int>((0x41u * 1741u + 2731u) % 109u));
    EXPECT_EQ(TexCache_Bucket("tank.vqm"), TexCache_Bucket("TANK.VQM"));
}

TEST_F(TextureTest, SecondLoadIsAHitWithTwoReferences) {
    Install({{"tex.vqm", SixByFive(), true, 0}, {"book.cbk", TwoEntryBook(), true, 0}});
    TextureImage* first = TexCache_Load("tex.map");
    ASSERT_NE(first, nullptr);
    TextureImage* second = TexCache_Load("tex.map");
    EXPECT_EQ(second, first);
    EXPECT_EQ(Refs("tex.vqm"), 2);
    EXPECT_EQ(Delta().decompressed, 1u);
    EXPECT_EQ(Delta().hits, 1u);
    EXPECT_EQ(Delta().requests, 2u);
    EXPECT_EQ(TextureImage_Texels(first)[29], 9);
    // Both files were locked only while decoding.
    EXPECT_EQ(Cache_LockCount("tex.vqm"), 0);
    EXPECT_EQ(Cache_LockCount("book.cbk"), 0);
    // Any extension, or none, names the same ".vqm".
    EXPECT_EQ(TexCache_Load("tex"), first);
    EXPECT_EQ(Refs("tex.vqm"), 3);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(TextureTest, ReleasedEntryComesBackFromThePurgeList) {
    Install({{"tex.vqm", SixByFive(), true, 0}, {"book.cbk", TwoEntryBook(), true, 0}});
    TextureImage* image = TexCache_Load("tex.map");
    TexCache_Load("tex.map");
    TexCache_Release("tex.map");
    EXPECT_EQ(TexCache_PurgeOrder(nullptr, 0), 0);
    TexCache_Release("tex.map");
    EXPECT_EQ(Refs("tex.vqm"), 0);
    ASSERT_EQ(TexCache_PurgeOrder(nullptr, 0), 1);
    TexCache_Release("tex.map");  // at 0 already: unchanged
    EXPECT_EQ(Refs("tex.vqm"), 0);
    EXPECT_EQ(TexCache_Load("tex.map"), image);
    EXPECT_EQ(Refs("tex.vqm"), 1);
    EXPECT_EQ(TexCache_PurgeOrder(nullptr, 0), 0);
    EXPECT_EQ(TexCache_Find("tex.vqm")->flags & kTexOnPurgeList, 0);
    EXPECT_EQ(Delta().decompressed, 1u);
}

TEST_F(TextureTest, OldestReleaseIsEvictedFirst) {
    Install({Solid("a", 1), Solid("b", 2), Solid("c", 3), Solid("d", 4), {"book.cbk", TwoEntryBook(), true, 0}});
    for (const char* name : {"a.map", "b.map", "c.map"}) ASSERT_NE(TexCache_Load(name), nullptr);
    for (const char* name : {"a.map", "b.map", "c.map"}) TexCache_Release(name);
    const char* order[3] = {};
    ASSERT_EQ(TexCache_PurgeOrder(order, 3), 3);
    EXPECT_STREQ(order[0], "c.vqm");
    EXPECT_STREQ(order[2], "a.vqm");
    TexCache_FailNextAllocations(1);
    TextureImage* d = TexCache_Load("d.map");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(TextureImage_Texels(d)[15], 4);
    EXPECT_EQ(TexCache_Find("a.vqm"), nullptr);
    EXPECT_NE(TexCache_Find("b.vqm"), nullptr);
    EXPECT_EQ(Delta().evictions, 1u);
    EXPECT_FLOAT_EQ(Delta().evictionsPerAllocation, 0.1f);
    // Two failures take the next two oldest.
    TexCache_Release("d.map");
    TexCache_FailNextAllocations(2);
    ASSERT_NE(TexCache_Load("a.map"), nullptr);
    EXPECT_EQ(TexCache_Find("b.vqm"), nullptr);
    EXPECT_EQ(TexCache_Find("c.vqm"), nullptr);
    EXPECT_NE(TexCache_Find("d.vqm"), nullptr);
    EXPECT_EQ(TexCache_EntryCount(), 2);
}

const TextureImage* g_deviceImage = nullptr;
int g_releaseAllCalls = 0;

TEST_F(TextureTest, HardwarePathSparesTexturesWithADeviceCopy) {
    Install({Solid("a", 1), Solid("b", 2), Solid("c", 3), {"book.cbk", TwoEntryBook(), true, 0}});
    g_deviceImage = TexCache_Load("a.map");
    TexCache_Load("b.map");
    g_releaseAllCalls = 0;
    TexCacheDeviceHooks hooks = {[](const TextureImage* image) { return image == g_deviceImage; },
                                 [] { ++g_releaseAllCalls; }};
    TexCache_SetDeviceHooks(&hooks);
    TexCache_Release("a.map");
    TexCache_Release("b.map");
    EXPECT_EQ(TexCache_Find("a.vqm")->flags, kTexOnPurgeList | kTexHasDeviceCopy);
    GraphicD3DFlags = 2;
    ASSERT_EQ(TexCache_EvictOne(), 1);
    EXPECT_NE(TexCache_Find("a.vqm"), nullptr) << "the older entry has a device copy";
    EXPECT_EQ(TexCache_Find("b.vqm"), nullptr);
    EXPECT_EQ(g_releaseAllCalls, 0);
    // Only device copies left: all are released and the oldest goes.
    ASSERT_EQ(TexCache_EvictOne(), 1);
    EXPECT_EQ(g_releaseAllCalls, 1);
    EXPECT_EQ(TexCache_Find("a.vqm"), nullptr);
    EXPECT_EQ(TexCache_EvictOne(), 0);
}

TEST_F(TextureTest, OverflowWarnsAndDumpsTheCache) {
    Install({Solid("a", 1), Solid("b", 2), {"book.cbk", TwoEntryBook(), true, 0}});
    TextureImage* a = TexCache_Load("a.map");
    ASSERT_NE(a, nullptr);
    TexCache_FailNextAllocations(1);
    EXPECT_EQ(TexCache_Load("b.map"), nullptr);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], "Error: Texture cache overflow!");
    EXPECT_EQ(Cache_LockCount("b.vqm"), 0);
    EXPECT_EQ(Cache_LockCount("book.cbk"), 0);
    std::ifstream in(root + "/profile/texcache.txt", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    char addr[32];
    std::snprintf(addr, sizeof addr, "%x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(a)));
    EXPECT_EQ(text, std::string("Contents of texture cache:\n\n") + "Name: " + std::string(25, ' ') + "a.vqm Addr: " +
                        addr + " Size:      24\n\nTotal allocated: 24\n");
    // The debug output is where it was.
    EXPECT_EQ(Debug_GetOutputMode(), kDebugOutNone);
    EXPECT_STREQ(Debug_GetLogPath(), "debug.log");
}

TEST_F(TextureTest, PlainImagesComeFromTheFileCache) {
    content::TextureSpec spec;
    spec.width = 3;
    spec.height = 2;
    spec.texels = {1, 2, 3, 4, 5, 6};
    std::string good = content::MapImageBytes(spec);
    Install({{"plain.map", good, true, 0}, {"short.map", good.substr(0, 13), true, 0}});
    TextureImage* image = TexCache_Load("plain.map");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(TextureImage_Texels(image)[5], 6);
    EXPECT_EQ(Cache_LockCount("plain.map"), 1);
    EXPECT_EQ(Delta().plainLoads, 1u);
    TexCache_Release("plain.map");
    EXPECT_EQ(Cache_LockCount("plain.map"), 0);
    // A missing texture is quietly absent; a short image is refused with a warning.
    EXPECT_EQ(TexCache_Load("nothing.map"), nullptr);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(TexCache_Load("short.map"), nullptr);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], "Error: texture short.map is not a valid image");
    EXPECT_EQ(Cache_LockCount("short.map"), 0);
}

TEST_F(TextureTest, PlainFilePreference) {
    content::TextureSpec spec;
    spec.width = 1;
    spec.height = 1;
    spec.texels = {42};
    Install({{"both.map", content::MapImageBytes(spec), true, 0}, Solid("both", 5), Solid("only", 6),
             {"book.cbk", TwoEntryBook(), true, 0}});
    TexCache_SetPreferPlainFiles(true);
    TextureImage* both = TexCache_Load("both.map");
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(TextureImage_Texels(both)[0], 42);
    TextureImage* only = TexCache_Load("only.map");
    ASSERT_NE(only, nullptr);
    EXPECT_EQ(TextureImage_Texels(only)[0], 6);
    EXPECT_EQ(TexCache_Load("none.map"), nullptr);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], "Error:texture none.map not found for !");
    TexCache_SetPreferPlainFiles(false);
    EXPECT_EQ(TextureImage_Texels(TexCache_Load("both.map"))[0], 5);
}

TEST_F(TextureTest, BrokenTextureFilesWarnAndUnlock) {
    Install({{"nobook.vqm", SixByFive("gone.cbk"), true, 0},
             {"badcode.vqm", content::VqmBytes(0, 4, 4, "book.cbk", {7}), true, 0},
             {"cut.vqm", SixByFive().substr(0, 30), true, 0},
             {"longbook.vqm", SixByFive("sixteen.chars.xx"), true, 0},
             {"book.cbk", TwoEntryBook(), true, 0}});
    struct Case {
        const char* name;
        const char* box;
        const char* vqm;
    };
    const Case cases[] = {
        {"nobook.map", "Error: Codebook gone.cbk not found for texture nobook.map!", "nobook.vqm"},
        {"badcode.map", "Error: Could not decompress texture badcode.map", "badcode.vqm"},
        {"cut.map", "Error: Could not decompress texture cut.map", "cut.vqm"},
        {"longbook.map", "Error: Codebook name of texture longbook.map is too long", "longbook.vqm"},
        {"twelvechars1.map", "Error: texture name twelvechars1.map is too long", nullptr},
        {"twelvechars1", "Error: texture name twelvechars1 is too long", nullptr},
    };
    for (const Case& c : cases) {
        Plat_ClearMessageBoxLog();
        EXPECT_EQ(TexCache_Load(c.name), nullptr) << c.name;
        ASSERT_EQ(BoxTexts().size(), 1u) << c.name;
        EXPECT_EQ(BoxTexts()[0], c.box);
        if (c.vqm) {
            EXPECT_LE(Cache_LockCount(c.vqm), 0) << c.vqm;
        }
    }
    EXPECT_LE(Cache_LockCount("book.cbk"), 0);
    EXPECT_EQ(TexCache_EntryCount(), 0);
    EXPECT_EQ(TexCache_Load("eleven.char.map"), nullptr);  // 15 characters: allowed, just absent
    EXPECT_EQ(BoxTexts().size(), 1u);
}

TEST_F(TextureTest, PurgeAllFreesEverything) {
    Install({Solid("a", 1), Solid("b", 2), {"book.cbk", TwoEntryBook(), true, 0}});
    TexCache_Load("a.map");
    TexCache_Load("b.map");
    TexCache_Release("b.map");
    g_releaseAllCalls = 0;
    TexCacheDeviceHooks hooks = {[](const TextureImage*) { return false; }, [] { ++g_releaseAllCalls; }};
    TexCache_SetDeviceHooks(&hooks);
    TexCache_PurgeAll();
    EXPECT_EQ(g_releaseAllCalls, 1);
    EXPECT_EQ(TexCache_EntryCount(), 0);
    EXPECT_EQ(TexCache_PurgeOrder(nullptr, 0), 0);
}

// Every sample texture is one the hardware device takes: square, 16 to 256 texels a side.
void ExpectDeviceSize(const TextureImage* image, const std::string& name) {
    const int32_t side = TextureImage_Width(image);
    EXPECT_EQ(TextureImage_Height(image), side) << name;
    EXPECT_TRUE(side == 16 || side == 32 || side == 64 || side == 128 || side == 256) << name << " " << side;
}

TEST_F(TextureTest, SampleTexturesDecode) {
    Install(content::SampleTextureRecords());
    for (int i = 0; i < content::kSampleObjectTextureCount; ++i) {
        std::string stem = content::kSampleObjectTextures[i];
        std::vector<std::string> names{stem + ".map"};
        if (stem == "beacon" || stem == "flash")  // animated: frame lists of four frames
            names = {stem + "0.map", stem + "1.map", stem + "2.map", stem + "3.map"};
        for (const std::string& name : names) {
            TextureImage* image = TexCache_Load(name.c_str());
            ASSERT_NE(image, nullptr) << name;
            ExpectDeviceSize(image, name);
        }
    }
    for (int m = 0; m < content::kSampleTerrainMaterialCount; ++m)
        for (int level = 0; level < 4; ++level) {
            std::string name = content::kSampleTerrainMaterials[m] + std::to_string(level) + ".map";
            TextureImage* image = TexCache_Load(name.c_str());
            ASSERT_NE(image, nullptr) << name;
            EXPECT_EQ(TextureImage_Width(image), 128 >> level);
            ExpectDeviceSize(image, name);
        }
    TextureImage* shadow = TexCache_Load("shadow.map");
    ASSERT_NE(shadow, nullptr);
    ExpectDeviceSize(shadow, "shadow.map");
    EXPECT_EQ(TextureImage_Texels(shadow)[0], 255);
    EXPECT_EQ(TextureImage_Texels(shadow)[16 * 32 + 16], 217);
    EXPECT_TRUE(BoxTexts().empty());
}

}  // namespace
