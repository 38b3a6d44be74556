// The keyed text lookup in "label.map".
#include <cstring>
#include <string>

#include "interface/inputmap.h"
#include "interface/keymap_fixture.h"

namespace {

class LabelMapTest : public KeyMapFixture {
protected:
    // The lookup's answer and the buffer after it, starting from "default".
    std::pair<int, std::string> Look(const char* section, const char* entry) {
        char text[kLabelMaxChars + 1] = "default";
        const int found = LabelMap_GetLabel(section, entry, text);
        return {found, text};
    }
};

const char kLabels[] =
    "# screen texts\n"
    "main {\n"
    "\t+ quit {Leave the game}   # a comment\n"
    "\t- Start {Begin}\n"
    "}\n"
    "options {\n"
    "\t+ sound {Sound}\n"
    "}\n"
    "main {\n"
    "\t+ credits {Who made it}\n"
    "}\n";

TEST_F(LabelMapTest, EntriesAreFoundBySectionAndKeyWithCase) {
    WriteData("label.map", kLabels);
    using R = std::pair<int, std::string>;
    EXPECT_EQ(Look("main", "quit"), R(1, "Leave the game"));
    EXPECT_EQ(Look("main", "credits"), R(1, "Who made it")) << "the second main section is searched too";
    EXPECT_EQ(Look("main", "start"), R(0, "default")) << "keys count case";
    EXPECT_EQ(Look("Main", "quit"), R(0, "default")) << "sections too";
    EXPECT_EQ(Look("options", "sound"), R(1, "Sound"));
    EXPECT_EQ(Look("missing", "quit"), R(0, "default"));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(LabelMapTest, MissingOrMalformedFilesKeepTheCallersText) {
    using R = std::pair<int, std::string>;
    EXPECT_EQ(Look("main", "quit"), R(0, "default"));
    EXPECT_TRUE(Boxes().empty());
    WriteData("label.map", "main {\n\t+ broken text\n\t+ quit {Leave}\n}\n");
    EXPECT_EQ(Look("main", "quit"), R(0, "default"));
    EXPECT_EQ(Boxes(), std::vector<std::string>({"label.map error: line 2, read error - \"main\""}));
}

TEST_F(LabelMapTest, LongTextsAreCutAndJapaneseKeepsInnerBraces) {
    WriteData("label.map", "s {\n+ k {" + std::string(300, 'x') + "}\n}\n");
    const auto [found, text] = Look("s", "k");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(text.size(), 249u) << "the line reader keeps 254 characters";

    char out[kLabelMaxChars + 1];
    const std::string longLine = "{" + std::string(300, 'y');
    ASSERT_TRUE(LabelMap_CopyText(longLine.c_str(), false, out));
    EXPECT_EQ(std::strlen(out), 255u);
    struct Case {
        const char* line;
        bool japanese;
        const char* text;
    } cases[] = {
        {"+ k {a\x83}b} c", false, "a\x83"},
        {"+ k {a\x83}b} c", true, "a\x83}b"},
        {"+ k {a}b}", true, "a}b"},
        {"+ k {a}\tb}", true, "a"},
        {"+ k {open", false, "open"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(LabelMap_CopyText(c.line, c.japanese, out));
        EXPECT_STREQ(out, c.text) << c.line;
    }
    EXPECT_FALSE(LabelMap_CopyText("no brace", false, out));
}

}  // namespace
