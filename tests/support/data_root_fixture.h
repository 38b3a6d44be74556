// A scratch data root (with a profile directory inside) that the file system starts from
// clean, and puts back after the test.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive_writer.h"

// The scratch directory itself, for fixtures that derive from another fixture.
struct ScratchDataRoot {
    // Makes the directory, points the data root and the profile directory at it, and starts
    // the file cache empty.
    void Open();
    // Closes the file system, puts the directories back and removes the scratch directory.
    void Close();
    // Packs the records into one archive and builds the index over it ("kolta.zix").
    void Install(const std::vector<content::ArchiveRecord>& records, const std::string& archive = "data.zfs");

    std::string root;
};

class DataRootTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void Install(const std::vector<content::ArchiveRecord>& records, const std::string& archive = "data.zfs") {
        scratch_.Install(records, archive);
    }
    // Texts of the message boxes shown so far.
    std::vector<std::string> BoxTexts() const;

    std::string root;

private:
    ScratchDataRoot scratch_;
};
