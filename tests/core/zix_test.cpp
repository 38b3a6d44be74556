#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "content.h"
#include "core/exitcodes.h"
#include "core/filesys.h"
#include "core/zfs.h"
#include "files_fixture.h"
#include "support/exit_trap.h"

namespace {

using content::IndexSpec;

std::string Load(const char* name) {
    uint32_t size = 0;
    void* data = Zix_LoadFile(name, &size);
    if (!data) return "<" + std::string(Zfs_LastError()) + ">";
    std::string text(static_cast<char*>(data), size);
    std::free(data);
    return text;
}

std::vector<std::string> PathTexts() {
    std::vector<std::string> texts;
    for (const ZixPath& path : Zix_Paths()) texts.push_back(path.text);
    return texts;
}

class ZixTest : public FilesTest {
protected:
    // An archive "data.zfs" with two files and an index that lists it.
    IndexSpec BasicSpec() {
        WriteArchive("data.zfs", {{"shared.txt", "from the archive", true, 0}, {"only.txt", "archive only", false, 0}});
        IndexSpec spec;
        spec.volumes.push_back({0, ".", "data", "Sample Volume"});
        spec.paths.push_back({"cd0", "data.zfs"});
        spec.files = {{1, "shared.txt"}, {1, "only.txt"}};
        return spec;
    }
    bool Build(const IndexSpec& spec, const char* name = "kolta.zix") {
        WriteIndex(name, spec);
        return Zix_Build(name);
    }
};

TEST_F(ZixTest, WithoutAddonsPathNumberOneIsTheFirstPathAndFilesComeFromTheArchive) {
    ASSERT_TRUE(Build(BasicSpec())) << Zfs_LastError();
    EXPECT_EQ(Zix_AddonPathCount(), 0);
    EXPECT_EQ(PathTexts(), std::vector<std::string>{"data.zfs"});
    EXPECT_EQ(Zix_PathOf("shared.txt"), 0);
    EXPECT_TRUE(Zix_FileExists("SHARED.TXT"));
    EXPECT_FALSE(Zix_FileExists("absent.txt"));
    EXPECT_EQ(Load("Shared.Txt"), "from the archive");
    EXPECT_EQ(Zix_FileSize("only.txt"), 12u);
    EXPECT_EQ(Zix_FileSize("absent.txt"), 0u);
    EXPECT_STREQ(Zfs_LastError(), "Couldn't find file \"absent.txt\"");
    char buffer[12];
    ASSERT_TRUE(Zix_ReadFile("only.txt", buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer, 12), "archive only");

    uint32_t length = 0;
    bool mustClose = true;
    FILE* stream = Zix_OpenStream("only.txt", &length, &mustClose);
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(mustClose) << "the stream belongs to the open archive";
    EXPECT_EQ(length, 12u);
    const ZixVolume& volume = Zix_Volumes()[0];
    EXPECT_TRUE(volume.defined);
    EXPECT_EQ(volume.base, ".");
    EXPECT_EQ(volume.text, "Sample Volume") << "quoted text keeps its case";
}

TEST_F(ZixTest, AddonTreeComesFirstDepthFirstAndItsFilesWin) {
    Write("addon/shared.txt", "from the addon");
    Write("addon/a/b/deep.txt", "deep");
    Write("addon/a/Upper.TXT", "capitals on disk");
    Write("addon/c/.hidden", "skipped");
    ASSERT_TRUE(Build(BasicSpec())) << Zfs_LastError();
    EXPECT_EQ(PathTexts(), (std::vector<std::string>{"addon", "addon\\a", "addon\\a\\b", "addon\\c", "data.zfs"}));
    EXPECT_EQ(Zix_AddonPathCount(), 4);
    EXPECT_EQ(Zix_PathOf("only.txt"), 4) << "the index file's first path follows the add-on paths";
    EXPECT_EQ(Load("shared.txt"), "from the addon");
    EXPECT_EQ(Zix_PathOf("shared.txt"), 0);
    EXPECT_EQ(Load("deep.txt"), "deep");
    EXPECT_EQ(Load("upper.txt"), "capitals on disk") << "add-on names are lower-cased and opened case-insensitively";
    EXPECT_FALSE(Zix_FileExists(".hidden"));

    uint32_t length = 0;
    bool mustClose = false;
    FILE* stream = Zix_OpenStream("deep.txt", &length, &mustClose);
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(mustClose);
    EXPECT_EQ(length, 4u);
    std::fclose(stream);
}

TEST_F(ZixTest, TheLowestPathIndexWins) {
    IndexSpec spec;
    for (int i = 0; i < 8; ++i) {
        std::string dir = "d" + std::to_string(i);
        Write(dir + "/keep.txt", "x");  // gives every directory something
        spec.paths.push_back({"dir:", Path(dir)});
        spec.files.push_back({i + 1, "keep.txt"});
    }
    Write("d3/both.txt", "three");
    Write("d7/both.txt", "seven");
    spec.files.push_back({8, "both.txt"});
    spec.files.push_back({4, "both.txt"});
    // Every plain file of a "dir:" path must be counted by the index file.
    ASSERT_TRUE(Build(spec)) << Zfs_LastError();
    EXPECT_EQ(Zix_PathOf("both.txt"), 3);
    EXPECT_EQ(Load("both.txt"), "three");
    EXPECT_EQ(Zix_Files().size(), 2u) << "equal names merge into one entry";
}

TEST_F(ZixTest, SectionLinesAreLowerCasedOutsideQuotesAndCommentsDropped) {
    Write("Loose/File.Txt", "loose");
    std::string text = std::string("1\n\n   # a comment line\n") + "  3 C:\\Base LABEL 'Keep This' # trailing\n" +
                       "-\n" + "DIR: " + root + "/Loose\n" + "-\n" + "1 FILE.TXT\n";
    // The root path itself may hold capitals; lower-casing it must still find the directory.
    Write("k.zix", text);
    ASSERT_TRUE(Zix_Build("k.zix")) << Zfs_LastError();
    ASSERT_EQ(Zix_Paths().size(), 1u);
    EXPECT_EQ(Zix_Paths()[0].kind, 1) << "DIR: in capitals is the dir: keyword";
    EXPECT_EQ(Zix_Volumes()[3].base, "c:\\base");
    EXPECT_EQ(Zix_Volumes()[3].label, "label");
    EXPECT_EQ(Zix_Volumes()[3].text, "Keep This");
    EXPECT_EQ(Zix_Files()[0].Name(), "file.txt");
    EXPECT_EQ(Load("file.txt"), "loose");
}

TEST_F(ZixTest, IndexFileChoiceByDisplayFlags) {
    const struct {
        uint32_t flags;
        const char* name;
    } cases[] = {{0, "kolta.zix"}, {2, "kolta.zix"}, {6, "kolta.zix"},    {1, "kolta8s.zix"},
                 {5, "kolta8l.zix"}, {3, "kolta16s.zix"}, {7, "kolta16l.zix"}};
    for (const auto& c : cases) EXPECT_STREQ(FileSys_IndexFileName(c.flags), c.name) << c.flags;
}

TEST_F(ZixTest, BadIndexFilesFailWithTheirMessages) {
    IndexSpec good = BasicSpec();
    struct Case {
        const char* what;
        std::string text;
        std::string error;
    };
    std::vector<Case> cases = {
        {"no count", "many\n-\n-\n", "Could not read number of files from bad.zix"},
        {"negative count", "-3\n-\n-\n", "Could not read number of files from bad.zix"},
        {"count beyond the file", "99999\n-\n-\n", "Could not read number of files from bad.zix"},
        {"path number 0", "1\n-\ncd0 data.zfs\n-\n0 only.txt\n", "Invalid file line in bad.zix"},
        {"path number past the paths", "1\n-\ncd0 data.zfs\n-\n2 only.txt\n", "Invalid file line in bad.zix"},
        {"missing name", "1\n-\ncd0 data.zfs\n-\n1\n", "Invalid file line in bad.zix"},
        {"fewer lines than counted", "3\n-\ncd0 data.zfs\n-\n1 only.txt\n", "Invalid file line in bad.zix"},
        {"no end of volumes", "0\n0 . x\n", "Unexpected end of bad.zix in the volume section"},
        {"path without a path", "0\n-\ncd0\n-\n", "Invalid path line in bad.zix"},
        {"volume out of range", "0\n-\ncd16 data.zfs\n-\n", "Invalid path line in bad.zix"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write("bad.zix", c.text);
        EXPECT_FALSE(Zix_Build("bad.zix"));
        EXPECT_EQ(Zfs_LastError(), c.error);
        EXPECT_TRUE(Zix_Files().empty());
        EXPECT_TRUE(Zix_Paths().empty());
    }
    EXPECT_FALSE(Zix_Build("nothere.zix"));
    EXPECT_STREQ(Zfs_LastError(), "Couldn't open file \"nothere.zix\"");
}

TEST_F(ZixTest, VolumeLinesOutOfRangeAreSkippedAndOnlySixteenRead) {
    std::string text = "0\n99 /x a\n";
    for (int i = 0; i < 20; ++i) text += std::to_string(i % 16) + " base" + std::to_string(i) + " l\n";
    text += "-\n-\n";
    Write("v.zix", text);
    ASSERT_TRUE(Zix_Build("v.zix")) << Zfs_LastError();
    EXPECT_EQ(Zix_Volumes()[0].base, "base0");
    EXPECT_EQ(Zix_Volumes()[14].base, "base14");
    EXPECT_FALSE(Zix_Volumes()[15].defined) << "the 99 line counted as one of the sixteen";
}

TEST_F(ZixTest, MoreThan256PathsFails) {
    std::string text = "0\n-\n";
    for (int i = 0; i < 257; ++i) text += "cd0 p" + std::to_string(i) + "\n";
    text += "-\n";
    Write("p.zix", text);
    EXPECT_FALSE(Zix_Build("p.zix"));
    EXPECT_STREQ(Zfs_LastError(), "More than 256 zix paths specified");
    text = "0\n-\n";
    for (int i = 0; i < 256; ++i) text += "cd0 p" + std::to_string(i) + "\n";
    text += "-\n";
    Write("p.zix", text);
    EXPECT_TRUE(Zix_Build("p.zix")) << Zfs_LastError();
}

TEST_F(ZixTest, RecordCountOverflowIsFatal) {
    Write("loose/one.txt", "1");
    Write("loose/two.txt", "2");
    IndexSpec spec;
    spec.paths.push_back({"dir:", Path("loose")});
    spec.files = {{1, "one.txt"}};  // two.txt is not counted: the index file is out of date
    WriteIndex("o.zix", spec);
    EXPECT_EQ(RunForExit([] { Zix_Build("o.zix"); }), 112);
    ASSERT_FALSE(Plat_MessageBoxLog().empty());
    EXPECT_EQ(Plat_MessageBoxLog().back().text, "ZIX record count overflow.  Try remaking ZIX files.");
}

TEST_F(ZixTest, FindNextWalksMatchingNamesInOrder) {
    WriteArchive("f.zfs", {{"flag0001.bmp", "a", false, 0}, {"flag0002.bmp", "b", false, 0},
                           {"flagship.bmp", "c", false, 0}, {"other.txt", "d", false, 0}});
    IndexSpec spec;
    spec.paths.push_back({"cd0", "f.zfs"});
    spec.files = {{1, "flag0001.bmp"}, {1, "flag0002.bmp"}, {1, "flagship.bmp"}, {1, "other.txt"}};
    ASSERT_TRUE(Build(spec));
    int cursor = 0;
    std::vector<std::string> found;
    while (const ZixFile* file = Zix_FindNext("flag????.bmp", &cursor)) found.push_back(file->Name());
    EXPECT_EQ(found, (std::vector<std::string>{"flag0001.bmp", "flag0002.bmp", "flagship.bmp"}));
    cursor = 0;
    EXPECT_EQ(Zix_FindNext("*.txt", &cursor)->Name(), "other.txt");
    EXPECT_EQ(cursor, 4);
    EXPECT_EQ(Zix_FindNext("*.txt", &cursor), nullptr);
    cursor = -1;
    EXPECT_EQ(Zix_FindNext("*", &cursor), nullptr);
    cursor = 0;
    EXPECT_EQ(Zix_FindNext(nullptr, &cursor), nullptr);
}

TEST_F(ZixTest, RegisteredLooseFilesAreFoundAndDropTheCachedCopy) {
    ASSERT_TRUE(Build(BasicSpec()));
    Write("written/only.txt", "newer");
    Write("written/fresh.txt", "fresh");
    ASSERT_NE(Cache_UseItem("only.txt"), nullptr);
    ASSERT_TRUE(Zix_RegisterFile(Path("written").c_str(), "fresh.txt"));
    ASSERT_TRUE(Zix_RegisterFile(Path("written").c_str(), "only.txt"));
    EXPECT_EQ(Cache_LockCount("only.txt"), -1) << "the cached copy is dropped";
    EXPECT_EQ(Load("fresh.txt"), "fresh");
    EXPECT_EQ(Load("only.txt"), "archive only") << "the archive's path still comes first";
    EXPECT_EQ(Zix_Paths().size(), 2u) << "one new path, found again the second time";
}

TEST_F(ZixTest, StartUpOnTheSampleWorldAndItsFailure) {
    std::string error;
    ASSERT_TRUE(content::WriteWorld(root, &error)) << error;
    for (uint32_t flags : {0u, 1u, 7u}) {
        ASSERT_TRUE(FileSys_TryStart(flags)) << Zfs_LastError();
        const char* readme = static_cast<const char*>(Cache_UseItem("README.TXT"));
        ASSERT_NE(readme, nullptr) << Zfs_LastError();
        EXPECT_EQ(std::string(readme).rfind("Gravenholt sample world", 0), 0u);
        EXPECT_NE(Cache_UseItem("addon.txt"), nullptr);
        EXPECT_EQ(Cache_GetItemSize("noise.bin"), 4096u);
        Data_Close();
    }
    // A missing index or a damaged archive is no lack of memory: the box names the file.
    const std::string archive = Read("kolta.zfs");
    Write("kolta.zfs", archive.substr(0, 40));
    Plat_ForgetDirectoryCache();
    EXPECT_FALSE(FileSys_TryStart(0)) << "a damaged archive is found at start";
    EXPECT_EQ(RunForExit([] { FileSys_Start(0); }), kExitDataFiles);
    ASSERT_FALSE(Plat_MessageBoxLog().empty());
    EXPECT_NE(Plat_MessageBoxLog().back().text.find("kolta.zfs"), std::string::npos)
        << Plat_MessageBoxLog().back().text;
    Write("kolta.zfs", archive);
    std::filesystem::remove(Path("kolta.zix"));
    Plat_ForgetDirectoryCache();
    EXPECT_EQ(RunForExit([] { FileSys_Start(0); }), kExitDataFiles);
    ASSERT_FALSE(Plat_MessageBoxLog().empty());
    EXPECT_EQ(Plat_MessageBoxLog().back().text,
              "Sorry, unable to find required files to run. Please check your working directory or reinstall the "
              "game.\nCouldn't open file \"kolta.zix\"");
}

TEST_F(ZixTest, MappedFilesWriteThroughAndAMissingOneIsFatal) {
    Write("maps/light.lgt", "abcd");
    MappedFile* file = MappedFile_Open("maps", "LIGHT.LGT");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->size, 4u);
    static_cast<char*>(file->data)[0] = 'Z';
    Data_Close();  // unmaps every open mapped file
    EXPECT_EQ(Read("maps/light.lgt"), "Zbcd");
    EXPECT_EQ(RunForExit([] { MappedFile_Open("maps", "none.lgt"); }), 112);
    EXPECT_EQ(Plat_MessageBoxLog().back().text, "Can't open file maps\\none.lgt");
}

}  // namespace
