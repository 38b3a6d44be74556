#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "platform/ini.h"
#include "temp_dir.h"

namespace {

const char kSettings[] =
    "; graphics settings\n"
    "[Debug]\n"
    "TrackFPS = 1\n"
    "  Name =  Big Gun  \n"
    "Neg=-42abc\n"
    "Plus=+7 \n"
    "Word=abc\n"
    "Empty=\n"
    "Spaced=- 5\n"
    "Huge=99999999999\n"
    "Tiny=-99999999999\n"
    "; Hidden=3\n"
    "no equals sign here\n"
    "TrackFPS=2\n"
    "\n"
    "[ Other ]\n"
    "TrackFPS=5\n";

class IniTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("Config/Render.cfg", kSettings);
        file = dir.path() + "\\config\\RENDER.CFG";  // found through the path module
    }
    TempDir dir;
    std::string file;
};

TEST_F(IniTest, ReadsIntegers) {
    const struct {
        const char* section;
        const char* key;
        int expected;
    } cases[] = {
        {"Debug", "TrackFPS", 1},  // the first of two wins
        {"DEBUG", "trackfps", 1},   {"other", "TRACKFPS", 5},    {"Debug", "Neg", -42},
        {"Debug", "Plus", 7},       {"Debug", "Word", 0},        {"Debug", "Empty", 0},
        {"Debug", "Spaced", 0},     {"Debug", "Huge", INT_MAX},  {"Debug", "Tiny", INT_MIN},
        {"Debug", "Hidden", 99},    {"Debug", "Missing", 99},    {"Nowhere", "TrackFPS", 99},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Plat_IniGetInt(c.section, c.key, 99, file.c_str()), c.expected) << c.section << "/" << c.key;
    EXPECT_EQ(Plat_IniGetInt("Debug", "TrackFPS", 99, (dir / "absent.cfg").c_str()), 99);
    EXPECT_EQ(Plat_IniGetInt("Debug", "TrackFPS", 99, (dir / "config").c_str()), 99);  // a directory
}

TEST_F(IniTest, ReadsTrimmedStrings) {
    EXPECT_EQ(Plat_IniGetString("debug", "NAME", "x", file.c_str()), "Big Gun");
    EXPECT_EQ(Plat_IniGetString("Debug", "Empty", "x", file.c_str()), "");
    EXPECT_EQ(Plat_IniGetString("Debug", "Missing", "dflt", file.c_str()), "dflt");
    EXPECT_EQ(Plat_IniGetString("Debug", "Missing", nullptr, file.c_str()), "");
    EXPECT_EQ(Plat_IniGetString(nullptr, "Name", "dflt", file.c_str()), "dflt");
    EXPECT_EQ(Plat_IniGetString("Debug", "Name", "dflt", nullptr), "dflt");
}

TEST_F(IniTest, WritingReplacesInPlaceAndKeepsEverythingElse) {
    ASSERT_TRUE(Plat_IniWriteInt("DEBUG", "trackfps", 0, file.c_str()));
    ASSERT_TRUE(Plat_IniWriteString("Debug", "name", "Small Gun", file.c_str()));
    std::string expected = kSettings;
    expected.replace(expected.find("TrackFPS = 1"), 12, "TrackFPS = 0");
    expected.replace(expected.find("  Name =  Big Gun  "), 19, "  Name =  Small Gun");
    EXPECT_EQ(dir.Read("Config/Render.cfg"), expected);
    EXPECT_EQ(Plat_IniGetInt("Debug", "TrackFPS", 99, file.c_str()), 0);
    EXPECT_EQ(Plat_IniGetInt("Other", "TrackFPS", 99, file.c_str()), 5);
}

TEST_F(IniTest, WritingAddsKeysAndSections) {
    ASSERT_TRUE(Plat_IniWriteInt("other", "Volume", -3, file.c_str()));
    ASSERT_TRUE(Plat_IniWriteString("Debug", "Added", "yes", file.c_str()));
    ASSERT_TRUE(Plat_IniWriteString("Net", "Port", "2300", file.c_str()));
    std::string expected = kSettings;
    expected.insert(expected.find("\n\n[ Other ]") + 1, "Added=yes\n");  // after the section's last line
    expected += "Volume=-3\n\n[Net]\nPort=2300\n";
    EXPECT_EQ(dir.Read("Config/Render.cfg"), expected);
    EXPECT_EQ(Plat_IniGetInt("OTHER", "volume", 0, file.c_str()), -3);
}

TEST_F(IniTest, WritingCreatesTheFileWithTheGivenCase) {
    const std::string created = dir.path() + "\\CONFIG\\Net.ini";
    ASSERT_TRUE(Plat_IniWriteString("Session", "Name", "Alpha", created.c_str()));
    EXPECT_EQ(dir.Read("Config/Net.ini"), "[Session]\nName=Alpha\n");
    EXPECT_EQ(Plat_IniGetString("session", "name", "", created.c_str()), "Alpha");
    EXPECT_EQ(std::filesystem::status(dir / "Config/Net.ini").permissions() & std::filesystem::perms::owner_read,
              std::filesystem::perms::owner_read);
    EXPECT_FALSE(Plat_IniWriteString("S", "K", "V", (dir / "missing/dir/x.ini").c_str()));
}

TEST_F(IniTest, KeepsCrLfLineEnds) {
    dir.Write("dos.ini", "[A]\r\nKey=1\r\n");
    const std::string dos = dir / "DOS.INI";
    EXPECT_EQ(Plat_IniGetInt("a", "key", 9, dos.c_str()), 1);
    ASSERT_TRUE(Plat_IniWriteInt("A", "Key", 22, dos.c_str()));
    ASSERT_TRUE(Plat_IniWriteInt("A", "Other", 3, dos.c_str()));
    EXPECT_EQ(dir.Read("dos.ini"), "[A]\r\nKey=22\r\nOther=3\r\n");
}

TEST_F(IniTest, RefusesWritesThatWouldReadBackDifferently) {
    EXPECT_FALSE(Plat_IniWriteString("Debug", "Name", "two\nlines", file.c_str()));
    EXPECT_FALSE(Plat_IniWriteString("Debug", "a=b", "1", file.c_str()));
    EXPECT_FALSE(Plat_IniWriteString("Debug", " ", "1", file.c_str()));
    EXPECT_FALSE(Plat_IniWriteString("De]bug", "Key", "1", file.c_str()));
    EXPECT_FALSE(Plat_IniWriteString("Debug", "Key", nullptr, file.c_str()));
    EXPECT_EQ(dir.Read("Config/Render.cfg"), kSettings);
    EXPECT_EQ(Plat_ListDirectory(dir / "config"), std::vector<std::string>{"Render.cfg"});  // no temporaries left
}

}  // namespace
