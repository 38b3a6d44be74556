#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/mapped_file.h"
#include "platform/system.h"
#include "temp_dir.h"

namespace {

TEST(ExecutablePath, NamesTheRunningProgram) {
    const std::string path = Plat_ExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
    EXPECT_EQ(std::filesystem::path(path).filename(), "test_platform");
}

TEST(MappedFile, ReadOnlyMapsShowTheBytesAndRefuseWhatCannotBeMapped) {
    TempDir dir;
    dir.Write("data.bin", std::string("abc\0def", 7));
    dir.Write("empty.bin", "");
    PlatMappedFile* file = Plat_MapFileReadOnly(dir / "data.bin");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->size, 7u);
    EXPECT_EQ(std::memcmp(file->data, "abc\0def", 7), 0);
    EXPECT_FALSE(file->writable);
    Plat_UnmapFile(file);
    EXPECT_EQ(dir.Read("data.bin"), std::string("abc\0def", 7)) << "untouched";

    EXPECT_EQ(Plat_MapFileReadOnly(dir / "empty.bin"), nullptr);
    EXPECT_EQ(Plat_MapFileReadOnly(dir / "missing.bin"), nullptr);
    EXPECT_EQ(Plat_MapFileReadOnly(dir.path()), nullptr) << "a directory";

    // The running program can be mapped for reading, though not for writing.
    PlatMappedFile* program = Plat_MapFileReadOnly(Plat_ExecutablePath());
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(std::memcmp(program->data, "\x7f" "ELF", 4), 0);
    Plat_UnmapFile(program);
}

}  // namespace
