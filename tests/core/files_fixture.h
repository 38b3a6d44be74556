// A scratch data root and profile directory for the file-cache, archive and index tests.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "archive_writer.h"
#include "core/cmdline.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "core/filesys.h"
#include "core/zix.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "support/data_root_fixture.h"

class FilesTest : public DataRootTest {
protected:
    void SetUp() override {
        DataRootTest::SetUp();
        CmdLine_Globals().quietMissingFiles = true;
        Debug_SetLogPath("debug.log");
    }
    void TearDown() override {
        Cache_FailNextAllocations(0);
        DataRootTest::TearDown();
    }

    std::string Path(const std::string& rel) const { return root + "/" + rel; }
    void Write(const std::string& rel, const std::string& text) const {
        std::filesystem::create_directories(std::filesystem::path(Path(rel)).parent_path());
        std::ofstream(Path(rel), std::ios::binary) << text;
        Plat_ForgetDirectoryCache();
    }
    std::string Read(const std::string& rel) const {
        std::ifstream in(Path(rel), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void WriteArchive(const std::string& rel, const std::vector<content::ArchiveRecord>& records,
                      uint32_t mask = 0) const {
        std::string error;
        ASSERT_TRUE(content::WriteArchive(Path(rel), records, mask, &error)) << error;
    }
    void WriteIndex(const std::string& rel, const content::IndexSpec& spec) const {
        std::string error;
        ASSERT_TRUE(content::WriteIndex(Path(rel), spec, &error)) << error;
    }
};
