#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/configfile.h"
#include "core/datafile.h"
#include "support/memory_files.h"
#include "textfiles.h"

namespace {

class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override { Cfg_Forget(); }
    void TearDown() override { Cfg_Forget(); }
    std::string Get(const char* section, const char* key, const char* file = "map.trn") {
        char buffer[64];
        Cfg_GetString(section, key, "<none>", buffer, sizeof buffer, file);
        return buffer;
    }
    MemoryFiles files;
};

TEST_F(ConfigFileTest, CleaningCommentsQuotesAndCase) {
    files.Add("map.trn",
              "[World]\r\n"
              "  Fog Start = 120 ; metres\r\n"
              "Texture = ground01  // the base\n"
              "Title = \"Two  Words\"\n"
              "Url=a\"//b;c\"d\n"
              "[sky]\n"
              "Cloud=\"soft\n"
              "Next = 3\n");
    const char* text = Cfg_Load("map.trn");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text).substr(0, 24), "[WORLD]\nFOGSTART=120\nTEX");
    EXPECT_EQ(Get("World", "FogStart"), "120");
    EXPECT_EQ(Get("WORLD", "texture"), "GROUND01");   // values come back upper-cased
    EXPECT_EQ(Get("world", "Title"), "TWO  WORDS");   // quoted blanks kept
    EXPECT_EQ(Get("World", "Url"), "A//B;CD");        // no comment inside quotes
    // A quote left open ends at its line.
    EXPECT_EQ(Get("Sky", "Cloud"), "SOFT");
    EXPECT_EQ(Get("Sky", "Next"), "3");
    EXPECT_EQ(Get("Sky", "FogStart"), "<none>");      // sections hold their own keys
    EXPECT_EQ(Get("Nowhere", "Next"), "<none>");
}

TEST_F(ConfigFileTest, WholeKeysOnly) {
    content::CfgWriter writer;
    writer.Section("Size").Value("TileSize", "8").Value("Size", "4").Value("Name", "SIZE=9");
    writer.Section("Only").Value("TileSize", "16");
    files.Add("map.trn", writer.Text());
    EXPECT_EQ(Get("Size", "SIZE"), "4");
    EXPECT_EQ(Get("Only", "Size"), "<none>");
    EXPECT_EQ(Get("Size", "ILESIZE"), "<none>");
    EXPECT_EQ(Get("Size", "Name"), "SIZE=9");
}

TEST_F(ConfigFileTest, IntegersInEveryBase) {
    content::CfgWriter writer;
    writer.Section("Numbers")
        .Value("Hex", "0x10")
        .Value("Octal", "010")
        .Value("Decimal", "-25")
        .Value("Word", "many")
        .Value("Huge", "99999999999")
        .Value("Long", "123456789012345678901234");
    files.Add("num.cfg", writer.Text());
    struct Case {
        const char* key;
        int expected;
    } cases[] = {{"Hex", 16}, {"Octal", 8}, {"Decimal", -25}, {"Word", -1}, {"Missing", -1}, {"Huge", 2147483647},
                 {"Long", 2147483647}};
    for (const Case& c : cases) EXPECT_EQ(Cfg_GetInt("Numbers", c.key, -1, "num.cfg"), c.expected) << c.key;
    EXPECT_EQ(Cfg_GetInt("Numbers", "Hex", -1, "nothere.cfg"), -1);
    EXPECT_EQ(Cfg_GetInt("Numbers", "Hex", -1, ""), -1);
    EXPECT_EQ(Cfg_GetInt("", "Hex", -1, "num.cfg"), -1);
}

TEST_F(ConfigFileTest, OneFileHeldAndReadOnce) {
    files.Add("a.cfg", "[S]\nK=1\n");
    files.Add("b.cfg", "[S]\nK=2\n");
    EXPECT_EQ(Cfg_GetInt("S", "K", 0, "a.cfg"), 1);
    EXPECT_EQ(Cfg_GetInt("S", "K", 0, "A.CFG"), 1);
    EXPECT_EQ(files.Loads("a.cfg"), 1);
    EXPECT_EQ(Cfg_GetInt("S", "K", 0, "b.cfg"), 2);  // another file replaces it
    EXPECT_EQ(Cfg_GetInt("S", "K", 0, "a.cfg"), 1);
    EXPECT_EQ(files.Loads("a.cfg"), 2);
    // An empty file is not held.
    files.Add("empty.cfg", "  \t \r");
    EXPECT_EQ(Cfg_Load("empty.cfg"), nullptr);
}

// A file that cannot be had is looked for once: every later key of it is answered with its
// default at once, until the miss is forgotten or another loader serves the files.
TEST_F(ConfigFileTest, AMissingFileIsLookedForOnceUntilForgotten) {
    files.Add("a.cfg", "[S]\nK=1\n");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Cfg_GetInt("S", "K", 7, "gone.trn"), 7);
    EXPECT_EQ(Cfg_Load("GONE.TRN"), nullptr);
    EXPECT_EQ(files.Loads("gone.trn"), 1);
    files.Add("gone.trn", "[S]\nK=2\n");
    EXPECT_EQ(Cfg_GetInt("S", "K", 7, "gone.trn"), 7) << "still remembered as missing";
    Cfg_ForgetMissing();
    EXPECT_EQ(Cfg_GetInt("S", "K", 7, "gone.trn"), 2);
    EXPECT_EQ(files.Loads("gone.trn"), 2);

    // An empty file counts as missing; reading another file forgets the miss.
    files.Add("empty.cfg", " \t \r");
    EXPECT_EQ(Cfg_Load("empty.cfg"), nullptr);
    EXPECT_EQ(Cfg_Load("empty.cfg"), nullptr);
    EXPECT_EQ(files.Loads("empty.cfg"), 1);
    EXPECT_EQ(Cfg_GetInt("S", "K", 0, "a.cfg"), 1);
    EXPECT_EQ(Cfg_Load("empty.cfg"), nullptr);
    EXPECT_EQ(files.Loads("empty.cfg"), 2);

    // A miss seen through one loader says nothing of the files another loader serves.
    EXPECT_EQ(Cfg_Load("other.cfg"), nullptr);
    const DataFileLoader memory = DataFile_GetLoader();
    DataFile_SetLoader([](const char* name, std::vector<char>* bytes) {
        if (std::string(name) != "other.cfg") return false;
        const std::string text = "[S]\nK=4\n";
        bytes->assign(text.begin(), text.end());
        return true;
    });
    EXPECT_EQ(Cfg_GetInt("S", "K", 0, "other.cfg"), 4);
    DataFile_SetLoader(memory);
}

TEST_F(ConfigFileTest, LongFilesAndNamesAreCut) {
    std::string text = "[Big]\nFirst=1\n";
    text += "Filler=" + std::string(kCfgTextLimit, 'x') + "\n";
    text += "Last=2\n";
    files.Add("big.cfg", text);
    const char* cleaned = Cfg_Load("big.cfg");
    ASSERT_NE(cleaned, nullptr);
    EXPECT_EQ(std::string(cleaned).size(), kCfgTextLimit);
    EXPECT_EQ(Cfg_GetInt("Big", "First", 0, "big.cfg"), 1);
    EXPECT_EQ(Cfg_GetInt("Big", "Last", 0, "big.cfg"), 0);
    char small[4];
    Cfg_GetString("Big", "Filler", "", small, sizeof small, "big.cfg");
    EXPECT_STREQ(small, "XXX");
    EXPECT_EQ(Cfg_FindValue(std::string(255, 'B').c_str(), "First", small, sizeof small), -1);
    EXPECT_EQ(Cfg_FindValue("Big", std::string(255, 'F').c_str(), small, sizeof small), -1);
}

}  // namespace
