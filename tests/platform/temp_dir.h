// A scratch directory tree for file tests, removed with everything in it afterwards.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/paths.h"

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "gv_test_XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
        EXPECT_FALSE(path_.empty()) << "mkdtemp failed";
        Plat_ForgetDirectoryCache();
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
        Plat_ForgetDirectoryCache();
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

    // Host-side helpers that go around the path module, as another program would.
    void Write(const std::string& rel, const std::string& text) const {
        std::filesystem::create_directories(std::filesystem::path(*this / rel).parent_path());
        std::ofstream(*this / rel, std::ios::binary) << text;
    }
    std::string Read(const std::string& rel) const {
        std::ifstream in(*this / rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string path_;
};
