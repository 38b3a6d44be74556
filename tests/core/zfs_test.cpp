#include <gtest/gtest.h>
#include <lzo/lzo1x.h>
#include <lzo/lzo1y.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "core/zfs.h"
#include "files_fixture.h"

namespace {

using content::ArchiveRecord;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using Block = std::unique_ptr<void, FreeDeleter>;

std::string Text(size_t length, uint32_t seed) {
    static const char* const kWords[] = {"grav", "holt ", "scrap ", "tank", " recycler\n", "hover"};
    std::string text;
    while (text.size() < length) {
        seed = seed * 1103515245u + 12345u;
        text += kWords[(seed >> 16) % 6];
    }
    text.resize(length);
    return text;
}

using content::Noise;

uint32_t U32(const std::string& bytes, size_t at) {
    return uint8_t(bytes[at]) | uint32_t(uint8_t(bytes[at + 1])) << 8 | uint32_t(uint8_t(bytes[at + 2])) << 16 |
           uint32_t(uint8_t(bytes[at + 3])) << 24;
}
void PutU32(std::string& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
}

std::string ReadRecord(ZfsArchive* archive, const char* name) {
    uint32_t length = 0;
    Block data(Zfs_Read(archive, name, &length));
    if (!data) return "<" + std::string(Zfs_LastError()) + ">";
    return std::string(static_cast<const char*>(data.get()), length);
}

class ZfsTest : public FilesTest {};

TEST_F(ZfsTest, RoundTripOfCompressedRawAndManyRecordsWithASecondTable) {
    std::vector<ArchiveRecord> records;
    records.push_back({"Text.TXT", Text(20000, 1), true, 7});
    records.push_back({"noise.bin", Noise(3000, 2), true, 8});
    records.push_back({"empty.dat", "", true, 9});
    records.push_back({"raw.txt", Text(500, 3), false, 10});
    for (int i = 0; i < 120; ++i) records.push_back({"rec" + std::to_string(i), Text(50 + i, 100 + i), i % 2 == 0, 0});
    WriteArchive("a.zfs", records);

    ZfsArchive* archive = Zfs_Open(Path("a.zfs"), false);
    ASSERT_NE(archive, nullptr) << Zfs_LastError();
    EXPECT_EQ(archive->headerCount, records.size());
    EXPECT_EQ(archive->liveCount, records.size());
    EXPECT_EQ(archive->tableCount, 2u);
    EXPECT_STREQ(archive->name, "a.zfs");
    for (const ArchiveRecord& record : records) EXPECT_EQ(ReadRecord(archive, record.name.c_str()), record.data) << record.name;

    const ZfsEntry* text = Zfs_Find(archive, "text.txt");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Name(), "text.txt") << "names are stored lower-cased";
    EXPECT_TRUE(text->Compressed());
    EXPECT_EQ(text->flags >> 8, 20000u);
    EXPECT_LT(text->storedLength, 20000u);
    EXPECT_EQ(text->userValue, 7u);
    EXPECT_EQ(Zfs_RecordSize(archive, "TEXT.txt"), 20000);
    EXPECT_EQ(Zfs_RecordNumber(archive, "text.txt"), 0);
    EXPECT_EQ(Zfs_Find(archive, "noise.bin")->flags, 0u) << "data LZO cannot shrink is stored raw";
    EXPECT_EQ(Zfs_Find(archive, "raw.txt")->flags, 0u);
    EXPECT_EQ(Zfs_RecordNumber(archive, "rec119"), 123);
    EXPECT_EQ(Zfs_RecordNumber(archive, "nothere"), -1);
    EXPECT_EQ(Zfs_RecordSize(archive, "nothere"), -1);

    const std::vector<ZfsEntry>& entries = Zfs_Entries(archive);
    ASSERT_EQ(entries.size(), records.size());
    for (size_t i = 1; i < entries.size(); ++i) EXPECT_LT(entries[i - 1].Name(), entries[i].Name());
    Zfs_Close(archive);
}

TEST_F(ZfsTest, HundredRecordsGiveTwoTablesTheSecondEmptyAndTheHeaderLayout) {
    std::vector<ArchiveRecord> records;
    for (int i = 0; i < 100; ++i) records.push_back({"r" + std::to_string(i), "x", false, 0});
    WriteArchive("h.zfs", records);
    std::string bytes = Read("h.zfs");
    ASSERT_GE(bytes.size(), 28u + 2 * kZfsTableSize + 100);
    EXPECT_EQ(bytes.substr(0, 4), "ZFSF");
    EXPECT_EQ(U32(bytes, 4), 1u);
    EXPECT_EQ(U32(bytes, 8), 16u);
    EXPECT_EQ(U32(bytes, 12), 100u);
    EXPECT_EQ(U32(bytes, 16), 100u);
    EXPECT_EQ(U32(bytes, 20), 0u);
    EXPECT_EQ(U32(bytes, 24), 28u);
    uint32_t second = U32(bytes, 28);
    EXPECT_EQ(second, bytes.size() - kZfsTableSize) << "the new table is appended at the end";
    EXPECT_EQ(bytes.substr(second), std::string(kZfsTableSize, '\0'));
    // The first entry: name, offset, record number, stored length, value, flags.
    EXPECT_EQ(bytes.substr(32, 3), std::string("r0\0", 3));
    EXPECT_EQ(U32(bytes, 32 + 16), 28u + kZfsTableSize);
    EXPECT_EQ(U32(bytes, 32 + 24), 1u);

    ZfsArchive* archive = Zfs_Open(Path("h.zfs"), false);
    ASSERT_NE(archive, nullptr) << Zfs_LastError();
    EXPECT_EQ(archive->tableCount, 2u);
    EXPECT_EQ(archive->liveCount, 100u);
    Zfs_Close(archive);
}

TEST_F(ZfsTest, MaskedRecordsMaskWholeWordsOnlyAndRoundTrip) {
    const uint32_t mask = 0xA5C3F00Fu;
    std::string ten = "0123456789";
    std::string packed = Text(4000, 9);
    WriteArchive("m.zfs", {{"ten", ten, false, 0}, {"packed", packed, true, 0}}, mask);

    ZfsArchive* archive = Zfs_Open(Path("m.zfs"), false);
    ASSERT_NE(archive, nullptr) << Zfs_LastError();
    EXPECT_EQ(archive->mask, mask);
    EXPECT_EQ(ReadRecord(archive, "ten"), ten);
    EXPECT_EQ(ReadRecord(archive, "packed"), packed);
    EXPECT_TRUE(Zfs_Find(archive, "packed")->Compressed());
    uint32_t length = 0;
    EXPECT_EQ(Zfs_Stream(archive, "ten", &length), nullptr) << "masked records cannot be streamed";
    uint32_t offset = Zfs_Find(archive, "ten")->offset;
    Zfs_Close(archive);

    std::string stored = Read("m.zfs").substr(offset, 10);
    for (int word = 0; word < 2; ++word) EXPECT_EQ(U32(stored, word * 4), U32(ten, word * 4) ^ mask);
    EXPECT_EQ(stored.substr(8), "89") << "the last two bytes stay as given";
}

TEST_F(ZfsTest, EquallyLongCompressedFormsAreStoredAsLzo1x) {
    ASSERT_TRUE(Zfs_LzoInit());
    std::vector<uint8_t> work(LZO1X_999_MEM_COMPRESS > LZO1Y_999_MEM_COMPRESS ? LZO1X_999_MEM_COMPRESS
                                                                              : LZO1Y_999_MEM_COMPRESS);
    std::string tie;
    for (const std::string& candidate : {std::string(1000, 'a'), std::string(64, '\0'), Text(300, 4), Text(2000, 5)}) {
        std::vector<uint8_t> out(candidate.size() * 2 + 64);
        lzo_uint x = out.size(), y = out.size();
        lzo1x_999_compress(reinterpret_cast<const uint8_t*>(candidate.data()), candidate.size(), out.data(), &x, work.data());
        lzo1y_999_compress(reinterpret_cast<const uint8_t*>(candidate.data()), candidate.size(), out.data(), &y, work.data());
        if (x == y && x < candidate.size()) {
            tie = candidate;
            break;
        }
    }
    ASSERT_FALSE(tie.empty()) << "no candidate compresses to equal lengths";
    WriteArchive("t.zfs", {{"tie", tie, true, 0}});
    ZfsArchive* archive = Zfs_Open(Path("t.zfs"), false);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(Zfs_Find(archive, "tie")->flags & 0xFF, kZfsFlagLzo1x);
    EXPECT_EQ(ReadRecord(archive, "tie"), tie);
    Zfs_Close(archive);
}

TEST_F(ZfsTest, ReplaceAppendsAndRepointsDeleteHidesAndBothKeepOldBytes) {
    WriteArchive("r.zfs", {{"keep", "kept", false, 1}, {"change", Text(3000, 6), true, 2}, {"gone", "bye", false, 3}});
    ZfsArchive* archive = Zfs_Open(Path("r.zfs"), true);
    ASSERT_NE(archive, nullptr) << Zfs_LastError();
    uint64_t before = archive->fileSize;
    ASSERT_TRUE(Zfs_Replace(archive, "CHANGE", "new bytes", 9, 42)) << Zfs_LastError();
    EXPECT_EQ(archive->fileSize, before + 9) << "the new bytes are appended, the old stay";
    EXPECT_EQ(ReadRecord(archive, "change"), "new bytes");
    ASSERT_TRUE(Zfs_Delete(archive, "gone")) << Zfs_LastError();
    EXPECT_EQ(Zfs_Find(archive, "gone"), nullptr);
    EXPECT_EQ(archive->liveCount, 2u);
    EXPECT_FALSE(Zfs_Replace(archive, "missing", "x", 1, 0));
    EXPECT_STREQ(Zfs_LastError(), ("Could not find old record \"missing\" in file \"" + Path("r.zfs") + "\"").c_str());
    EXPECT_FALSE(Zfs_Delete(archive, "gone"));
    EXPECT_STREQ(Zfs_LastError(), ("Could not find record \"gone\" in file \"" + Path("r.zfs") + "\"").c_str());
    // A record added after a delete takes the next record number; the deleted slot is not reused.
    ASSERT_TRUE(Zfs_Add(archive, "late", "late", 4, 0, false));
    EXPECT_EQ(Zfs_RecordNumber(archive, "late"), 3);
    Zfs_Close(archive);

    archive = Zfs_Open(Path("r.zfs"), false);
    ASSERT_NE(archive, nullptr) << Zfs_LastError();
    EXPECT_EQ(archive->headerCount, 4u);
    EXPECT_EQ(archive->liveCount, 3u);
    EXPECT_EQ(Zfs_Find(archive, "gone"), nullptr) << "deleted stays deleted on disk";
    const ZfsEntry* changed = Zfs_Find(archive, "change");
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->flags, 0u);
    EXPECT_EQ(changed->userValue, 42u);
    EXPECT_EQ(changed->recordNumber, 1u);
    EXPECT_EQ(ReadRecord(archive, "change"), "new bytes");
    EXPECT_EQ(ReadRecord(archive, "keep"), "kept");
    Zfs_Close(archive);
    EXPECT_NE(Read("r.zfs").find("bye"), std::string::npos) << "deleted bytes stay in the file";
}

TEST_F(ZfsTest, NamesAreCutAtSixteenAndFoundIgnoringCase) {
    WriteArchive("n.zfs", {{"abcdefghijklmnopQ", "long", false, 0}, {"Short.Odf", "short", false, 0}});
    ZfsArchive* archive = Zfs_Open(Path("n.zfs"), false);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(Zfs_Find(archive, "abcdefghijklmnop")->Name(), "abcdefghijklmnop");
    EXPECT_EQ(ReadRecord(archive, "ABCDEFGHIJKLMNOPzzz"), "long") << "a 17-character name matches its first 16";
    EXPECT_EQ(ReadRecord(archive, "SHORT.ODF"), "short");
    EXPECT_EQ(Zfs_Find(archive, "short.od"), nullptr);
    EXPECT_EQ(Zfs_Find(archive, "short.odfx"), nullptr);
    Zfs_Close(archive);
}

TEST_F(ZfsTest, CallersBufferStreamAndCreateOpenErrors) {
    std::string raw = Text(100, 7), packed = Text(5000, 8);
    WriteArchive("b.zfs", {{"raw", raw, false, 0}, {"packed", packed, true, 0}});
    ZfsArchive* archive = Zfs_Open(Path("b.zfs"), false);
    ASSERT_NE(archive, nullptr);
    char buffer[200];
    uint32_t length = 0;
    EXPECT_EQ(Zfs_Read(archive, "raw", &length, buffer, sizeof buffer), buffer);
    EXPECT_EQ(std::string(buffer, length), raw);
    EXPECT_EQ(Zfs_Read(archive, "raw", &length, buffer, 99), nullptr) << "a buffer too small is refused";
    std::vector<char> big(5000);
    EXPECT_EQ(Zfs_Read(archive, "packed", &length, big.data(), 5000), big.data());
    EXPECT_EQ(std::string(big.data(), length), packed);

    FILE* stream = Zfs_Stream(archive, "raw", &length);
    ASSERT_EQ(stream, archive->file);
    EXPECT_EQ(length, 100u);
    std::string streamed(100, '\0');
    ASSERT_EQ(std::fread(streamed.data(), 1, 100, stream), 100u);
    EXPECT_EQ(streamed, raw);
    EXPECT_EQ(Zfs_Stream(archive, "packed", &length), nullptr) << "compressed records are not streamed";
    EXPECT_FALSE(Zfs_Add(archive, "x", "x", 1, 0, false)) << "an archive opened for reading is not written";
    Zfs_Close(archive);

    EXPECT_FALSE(Zfs_Create(Path("b.zfs")));
    EXPECT_STREQ(Zfs_LastError(), ("File \"" + Path("b.zfs") + "\" already exists").c_str());
    EXPECT_EQ(Zfs_Open(Path("none.zfs"), false), nullptr);
    EXPECT_STREQ(Zfs_LastError(), ("Could not open file \"" + Path("none.zfs") + "\"").c_str());
    ZfsArchive* created = Zfs_Open(Path("new.zfs"), true);
    ASSERT_NE(created, nullptr) << "opening a missing file for writing creates it";
    EXPECT_EQ(created->fileSize, 28u + kZfsTableSize);
    Zfs_Close(created);
}

TEST_F(ZfsTest, ReopenReadsTheDirectoryAgain) {
    WriteArchive("o.zfs", {{"one", "1", false, 0}});
    ZfsArchive* reader = Zfs_Open(Path("o.zfs"), false);
    ZfsArchive* writer = Zfs_Open(Path("o.zfs"), true);
    ASSERT_TRUE(reader && writer);
    ASSERT_TRUE(Zfs_Add(writer, "two", "2", 1, 0, false));
    Zfs_Close(writer);
    EXPECT_EQ(Zfs_Find(reader, "two"), nullptr);
    ASSERT_TRUE(Zfs_Reopen(reader)) << Zfs_LastError();
    EXPECT_EQ(ReadRecord(reader, "two"), "2");
    Zfs_Close(reader);
}

// Each corruption must give an error and no crash, on open or on reading the record.
TEST_F(ZfsTest, CorruptArchivesFailCleanly) {
    WriteArchive("good.zfs", {{"raw", Text(300, 1), false, 0}, {"packed", Text(6000, 2), true, 0}});
    const std::string good = Read("good.zfs");
    ZfsArchive* probe = Zfs_Open(Path("good.zfs"), false);
    ASSERT_NE(probe, nullptr);
    const size_t rawEntry = 32 + Zfs_Find(probe, "raw")->slot * kZfsEntrySize;
    const size_t packedEntry = 32 + Zfs_Find(probe, "packed")->slot * kZfsEntrySize;
    const uint32_t packedOffset = Zfs_Find(probe, "packed")->offset;
    Zfs_Close(probe);

    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        const char* openError;  // null: opens, and reading `record` fails with readError
        const char* record;
        const char* readError;
    };
    const Case cases[] = {
        {"truncated header", [](std::string& b) { b.resize(10); }, "Could not read header", nullptr, nullptr},
        {"bad magic", [](std::string& b) { b[0] = 'X'; }, "Invalid header", nullptr, nullptr},
        {"bad version", [](std::string& b) { PutU32(b, 4, 2); }, "Invalid header", nullptr, nullptr},
        {"bad record count per table", [](std::string& b) { PutU32(b, 12, 50); }, "Invalid header", nullptr, nullptr},
        {"table past the end", [](std::string& b) { PutU32(b, 24, uint32_t(b.size()) - 10); }, "Could not read dtable 0",
         nullptr, nullptr},
        {"table inside the header", [](std::string& b) { PutU32(b, 24, 4); }, "Could not read dtable 0", nullptr, nullptr},
        {"looping chain", [](std::string& b) { PutU32(b, 16, 250); PutU32(b, 28, 28); }, "loops", nullptr, nullptr},
        {"count says more tables", [](std::string& b) { PutU32(b, 16, 100); }, "Header has 2 dtables; actually 1", nullptr,
         nullptr},
        {"huge record count", [](std::string& b) { PutU32(b, 16, 0xFFFFFFFFu); }, "Header has", nullptr, nullptr},
        {"truncated file", [](std::string& b) { b.resize(28 + kZfsTableSize - 1); }, "Could not read dtable 0", nullptr,
         nullptr},
        {"record offset past the end", [=](std::string& b) { PutU32(b, rawEntry + 16, 0xFFFFFF00u); }, nullptr, "raw",
         "lies outside"},
        {"record length past the end", [=](std::string& b) { PutU32(b, rawEntry + 24, 0x7FFFFFFFu); }, nullptr, "raw",
         "lies outside"},
        {"garbage LZO data",
         [=](std::string& b) {
             for (int i = 0; i < 64; ++i) b[packedOffset + i] = char(0xFF - i);
         },
         nullptr, "packed", "during compression library operation"},
        {"unpacked length too long", [=](std::string& b) { PutU32(b, packedEntry + 32, (9000u << 8) | 2); }, nullptr,
         "packed", "during compression library operation"},
        {"unpacked length too short", [=](std::string& b) { PutU32(b, packedEntry + 32, (100u << 8) | 2); }, nullptr,
         "packed", "during compression library operation"},
        {"LZO1Y flag on LZO1X data", [=](std::string& b) { PutU32(b, packedEntry + 32, (6000u << 8) | 4); }, nullptr,
         "packed", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        c.damage(bytes);
        Write("bad.zfs", bytes);
        ZfsArchive* archive = Zfs_Open(Path("bad.zfs"), false);
        if (c.openError) {
            EXPECT_EQ(archive, nullptr);
            EXPECT_NE(std::string(Zfs_LastError()).find(c.openError), std::string::npos) << Zfs_LastError();
            Zfs_Close(archive);
            continue;
        }
        ASSERT_NE(archive, nullptr) << Zfs_LastError();
        uint32_t length = 0;
        Block data(Zfs_Read(archive, c.record, &length));
        if (c.readError) {
            EXPECT_EQ(data, nullptr);
            EXPECT_NE(std::string(Zfs_LastError()).find(c.readError), std::string::npos) << Zfs_LastError();
        } else if (data) {
            EXPECT_EQ(length, 6000u) << "whatever a wrong decompressor makes, it stays inside the buffer";
        }
        Zfs_Close(archive);
    }
}

TEST_F(ZfsTest, WholeFileLoad) {
    Write("plain.bin", Noise(777, 3));
    void* data = nullptr;
    uint32_t size = 0;
    ASSERT_TRUE(File_LoadWhole(Path("plain.bin"), &data, &size));
    Block block(data);
    EXPECT_EQ(std::string(static_cast<char*>(data), size), Noise(777, 3));
    EXPECT_EQ(static_cast<char*>(data)[size], 0) << "one zero byte follows the data";
    EXPECT_FALSE(File_LoadWhole(Path("missing.bin"), &data, &size));
    EXPECT_EQ(data, nullptr);
}

}  // namespace
