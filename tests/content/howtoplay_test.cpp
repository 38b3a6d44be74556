#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "howtoplay.h"

namespace {

// The README's "How to play" table is the generator's table, byte for byte, and every action in
// it has a default binding: a changed default map fails here until the README follows it.
TEST(HowToPlay, TheReadmeTableIsTheDefaultMapsTable) {
    std::ifstream in(std::string(GV_SOURCE_DIR) + "/README.md");
    ASSERT_TRUE(in) << "README.md not found";
    const std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string open = "<!-- controls: written by `gvtool controls` -->\n";
    const std::string close = "<!-- /controls -->";
    const size_t begin = readme.find(open);
    ASSERT_NE(begin, std::string::npos) << "the README has no controls table";
    const size_t end = readme.find(close, begin);
    ASSERT_NE(end, std::string::npos);
    const std::string table = content::HowToPlayTable();
    EXPECT_EQ(readme.substr(begin + open.size(), end - begin - open.size()), table)
        << "regenerate the README's table with `gvtool controls`";
    EXPECT_EQ(table.find("(unbound)"), std::string::npos) << table;
    EXPECT_NE(table.find("| Thrust forward | Q |"), std::string::npos) << table;
    EXPECT_NE(table.find("mouse LeftBtn"), std::string::npos) << table;
}

}  // namespace
