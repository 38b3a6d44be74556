#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "howtoplay.h"
#include "keymaps.h"

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
    EXPECT_NE(table.find("left mouse button"), std::string::npos) << table;
}

// The keyboard has two of each arrow and two Insert keys; the table names the ones the files bind
// by what is printed on them, and turning and firing work from either.
TEST(HowToPlay, BothArrowsAndBothInsertKeysAreBoundAndNamedAsOnTheKeyboard) {
    const std::string table = content::HowToPlayTable();
    const std::string map = content::InputMapText();
    const struct {
        const char* sink;
        const char* channel;
        const char* row;
        const char* shown;
    } cases[] = {
        {"steer_left", "GreyLeftArrow", "| Turn left / right |", "Left arrow"},
        {"steer_left", "LeftArrow", "| Turn left / right |", "Keypad 4 (Left)"},
        {"steer_right", "GreyRightArrow", "| Turn left / right |", "Right arrow"},
        {"steer_right", "RightArrow", "| Turn left / right |", "Keypad 6 (Right)"},
        {"weapon_fire", "GreyInsert", "| Fire |", "Insert"},
        {"weapon_fire", "Insert", "| Fire |", "Keypad 0 (Ins)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channel);
        EXPECT_NE(map.find(std::string(c.sink) + " {\n\t+ keyboard " + c.channel + "\n}"), std::string::npos) << map;
        const size_t row = table.find(c.row);
        ASSERT_NE(row, std::string::npos) << table;
        const std::string line = table.substr(row, table.find('\n', row) - row);
        EXPECT_NE(line.find(c.shown), std::string::npos) << line;
    }
    // No channel's own code name reaches the table.
    for (const char* raw : {"GreyLeftArrow", "LeftArrow", "GreyInsert", "KeypadEnter", "LeftBtn", "HorizVel"})
        EXPECT_EQ(table.find(raw), std::string::npos) << raw << " in\n" << table;
}

}  // namespace
