// A scratch data root (with a profile directory inside) that the file system starts from
// clean, and puts back after the test.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

class DataRootTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Texts of the message boxes shown so far.
    std::vector<std::string> BoxTexts() const;

    std::string root;
};
