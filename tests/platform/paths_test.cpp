#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/paths.h"
#include "temp_dir.h"

namespace {

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("Data/Maps/Level1.MAP", "level");
        dir.Write("Data/Maps/Readme", "a");
        dir.Write("Data/Maps/README", "b");
        dir.Write("Data/Sounds/Boom.WAV", "boom");
    }
    std::string Rel(const std::string& resolved) const {
        const std::string prefix = dir.path() + "/";
        return resolved.compare(0, prefix.size(), prefix) == 0 ? resolved.substr(prefix.size()) : "<" + resolved + ">";
    }
    TempDir dir;
};

TEST_F(PathsTest, ResolvesEachComponentWithoutRegardToCase) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"DATA\\maps\\level1.map", "Data/Maps/Level1.MAP"},
        {"data/MAPS\\LEVEL1.Map", "Data/Maps/Level1.MAP"},
        {"data//Sounds/", "Data/Sounds"},
        {"data\\.\\maps\\..\\SOUNDS\\boom.wav", "Data/Sounds/Boom.WAV"},
        {"data\\maps\\missing.txt", "Data/Maps/missing.txt"},          // missing file keeps its case
        {"DATA\\NewDir\\Sub\\File.Txt", "Data/NewDir/Sub/File.Txt"},   // so do missing directories
        {"data/maps/Readme", "Data/Maps/Readme"},                      // an exact name wins
        {"data/maps/README", "Data/Maps/README"},
        {"data/maps/readme", "Data/Maps/README"},                      // else the first in sorted order
    };
    for (const auto& c : cases) EXPECT_EQ(Rel(Plat_ResolvePath(dir.path() + "\\" + c.in)), c.out) << c.in;
}

TEST(PathsPlain, LexicalForms) {
    EXPECT_EQ(Plat_ResolvePath(""), "");
    EXPECT_EQ(Plat_ResolvePath("/"), "/");
    EXPECT_EQ(Plat_ResolvePath("\\..\\.."), "/");
    EXPECT_EQ(Plat_ResolvePath("."), ".");
    EXPECT_EQ(Plat_ResolvePath("no_such_gv_dir\\.."), ".");
    EXPECT_EQ(Plat_ResolvePath("..\\no_such_gv_dir\\x.cfg"), "../no_such_gv_dir/x.cfg");
}

TEST_F(PathsTest, RelativePathsStartInTheWorkingDirectory) {
    const std::filesystem::path saved = std::filesystem::current_path();
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    Plat_ForgetDirectoryCache();
    EXPECT_EQ(Plat_ResolvePath(".\\data\\MAPS\\level1.map"), "Data/Maps/Level1.MAP");
    EXPECT_EQ(Plat_ResolvePath(".\\render.cfg"), "render.cfg");
    EXPECT_TRUE(Plat_FileExists(".\\DATA\\sounds\\BOOM.wav"));
    std::filesystem::current_path(saved);
    Plat_ForgetDirectoryCache();
}

TEST_F(PathsTest, NewFilesKeepTheirCaseAndAreFoundAnyCase) {
    FILE* f = Plat_OpenFile(dir.path() + "\\data\\maps\\NewMap.Txt", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("hello", f);
    std::fclose(f);
    EXPECT_EQ(dir.Read("Data/Maps/NewMap.Txt"), "hello");

    f = Plat_OpenFile(dir / "DATA/MAPS/newmap.TXT", "rb");
    ASSERT_NE(f, nullptr);
    char buf[8] = {};
    EXPECT_EQ(std::fread(buf, 1, sizeof buf, f), 5u);
    std::fclose(f);

    EXPECT_TRUE(Plat_FileExists(dir / "data/maps/NEWMAP.txt"));
    EXPECT_FALSE(Plat_FileExists(dir / "data/maps"));  // a directory is not a file
    EXPECT_TRUE(Plat_IsDirectory(dir / "DATA\\MAPS"));
    EXPECT_FALSE(Plat_IsDirectory(dir / "data/maps/level1.map"));
    EXPECT_FALSE(Plat_FileExists(dir / "data/maps/absent"));
    EXPECT_EQ(Plat_OpenFile(dir / "data/maps/absent", "rb"), nullptr);
    EXPECT_EQ(Plat_OpenFile("", "rb"), nullptr);
}

TEST_F(PathsTest, ScanCacheFollowsChangesMadeBehindItsBack) {
    EXPECT_EQ(Rel(Plat_ResolvePath(dir / "data/maps/level1.map")), "Data/Maps/Level1.MAP");  // Maps now scanned

    // A file created by someone else: the miss rescans the directory.
    dir.Write("Data/Maps/Late.dat", "x");
    EXPECT_EQ(Rel(Plat_ResolvePath(dir / "data/maps/LATE.DAT")), "Data/Maps/Late.dat");

    // A renamed file: the cached spelling no longer exists, so it is looked up again.
    std::filesystem::rename(dir / "Data/Maps/Level1.MAP", dir / "Data/Maps/level1.Map");
    EXPECT_EQ(Rel(Plat_ResolvePath(dir / "DATA/MAPS/LEVEL1.MAP")), "Data/Maps/level1.Map");

    // A second spelling next to a cached one stays unseen until the cache is dropped.
    dir.Write("Data/Sounds/Crash.wav", "1");
    EXPECT_EQ(Rel(Plat_ResolvePath(dir / "data/sounds/crash.WAV")), "Data/Sounds/Crash.wav");
    dir.Write("Data/Sounds/CRASH.wav", "2");
    EXPECT_EQ(Rel(Plat_ResolvePath(dir / "data/sounds/crash.WAV")), "Data/Sounds/Crash.wav");
    Plat_ForgetDirectoryCache();
    EXPECT_EQ(Rel(Plat_ResolvePath(dir / "data/sounds/crash.WAV")), "Data/Sounds/CRASH.wav");
}

TEST_F(PathsTest, CreateListAndRemove) {
    EXPECT_TRUE(Plat_CreateDirectories(dir / "DATA\\Saves\\Slot1"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Data/Saves/Slot1"));
    EXPECT_TRUE(Plat_CreateDirectories(dir / "data/saves"));  // already there
    EXPECT_EQ(Plat_ListDirectory(dir / "data"), (std::vector<std::string>{"Maps", "Saves", "Sounds"}));
    EXPECT_EQ(Plat_ListDirectory(dir / "data/maps"), (std::vector<std::string>{"Level1.MAP", "README", "Readme"}));
    EXPECT_TRUE(Plat_ListDirectory(dir / "nothing").empty());

    dir.Write("Data/block", "file in the way");
    EXPECT_FALSE(Plat_CreateDirectories(dir / "data/block/sub"));

    EXPECT_TRUE(Plat_RemoveFile(dir / "data\\sounds\\BOOM.WAV"));
    EXPECT_FALSE(std::filesystem::exists(dir / "Data/Sounds/Boom.WAV"));
    EXPECT_FALSE(Plat_FileExists(dir / "data/sounds/boom.wav"));
    EXPECT_FALSE(Plat_RemoveFile(dir / "data/sounds/boom.wav"));
}

TEST_F(PathsTest, DataRootAndProfileDirectory) {
    Plat_SetDataRoot("");
    EXPECT_EQ(Plat_DataRoot(), ".");
    EXPECT_EQ(Plat_DataPath("maps\\x.map"), "maps/x.map");

    Plat_SetDataRoot(dir / "data");
    EXPECT_EQ(Rel(Plat_DataPath("MAPS\\level1.map")), "Data/Maps/Level1.MAP");
    EXPECT_EQ(Plat_DataPath("\\etc\\hosts"), "/etc/hosts");  // absolute names are kept
    Plat_SetDataRoot("");

    const std::string profile = dir / "Profile";
    setenv("GRAVENHOLT_PROFILE", profile.c_str(), 1);
    Plat_SetProfileDir("");
    EXPECT_EQ(Plat_ProfileDir(), profile);
    EXPECT_EQ(Rel(Plat_ProfilePath("Saves\\Game1.sav")), "Profile/Saves/Game1.sav");
    unsetenv("GRAVENHOLT_PROFILE");
    Plat_SetProfileDir("");
    EXPECT_EQ(Plat_ProfileDir(), ".");
    EXPECT_EQ(Plat_ProfilePath(".\\session.sts"), "session.sts");

    Plat_SetProfileDir(dir.path());
    EXPECT_EQ(Rel(Plat_ProfilePath("data/SOUNDS/boom.wav")), "Data/Sounds/Boom.WAV");
    Plat_SetProfileDir("");
}

}  // namespace
