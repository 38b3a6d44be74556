// Starts that cannot go on, played by the real program as a child process, headless: each ends
// with its documented exit code and a line on standard error that names the file at fault, and
// leaves what the profile directory held as it was. Beside them, a game saved mid-fight is read
// back by the tool and by the game's "-load".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/exitcodes.h"
#include "core/savegame.h"
#include "platform/filedialog.h"
#include "support/app_fixture.h"
#include "support/game_run.h"

namespace fs = std::filesystem;

namespace {

struct ChildRun {
    int code = -1;        // the exit code; 128 + N for a signal
    std::string err;      // what it wrote on standard error
    std::string out;
};

// Runs program with the arguments in dir, headless, for a few frames; profile empty leaves
// GRAVENHOLT_PROFILE unset. asNobody drops to the unprivileged user first (root writes anywhere).
ChildRun RunChild(const char* program, const std::string& dir, const std::string& profile,
                  const std::vector<std::string>& args, bool asNobody = false) {
    char pattern[] = "/tmp/gvchild-XXXXXX";
    const std::string scratch = mkdtemp(pattern);
    const std::string errPath = scratch + "/err", outPath = scratch + "/out";
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(89);
        if (chdir(dir.c_str()) != 0) _exit(90);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (err < 0 || out < 0 || dup2(err, 2) < 0 || dup2(out, 1) < 0) _exit(92);
        setenv("GRAVENHOLT_HEADLESS", "1", 1);
        setenv("GRAVENHOLT_HEADLESS_FRAMES", "3", 1);
        setenv("GRAVENHOLT_SEED", "1", 1);
        if (profile.empty()) unsetenv("GRAVENHOLT_PROFILE");
        else setenv("GRAVENHOLT_PROFILE", profile.c_str(), 1);
        if (asNobody && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(93);
        std::vector<char*> argv{const_cast<char*>(program)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(91);
    }
    ChildRun run;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child)
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream e(errPath), o(outPath);
    run.err.assign(std::istreambuf_iterator<char>(e), {});
    run.out.assign(std::istreambuf_iterator<char>(o), {});
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return run;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteAll(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}
// Bytes that are no file format: the same every run.
std::string Garbage(size_t size) {
    std::string bytes(size, '\0');
    uint32_t x = 12345;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return bytes;
}
// The program's lines on standard error (the sanitizers' reports are not among them).
std::vector<std::string> GameLines(const std::string& err) {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("gravenholt: ", 0) == 0) lines.push_back(line);
    return lines;
}

// One pristine sample world for the whole suite, and the fight mission as a loose file.
std::string g_world;
std::string g_fight;

class BadStartTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/gvbadstart-XXXXXX";
        const std::string top = mkdtemp(pattern);
        g_world = top + "/world";
        // Written by the tool in a process of its own: a suite's set-up runs before the shared
        // per-test reset, so nothing of this process's state may take part.
        const ChildRun content = RunChild(GVTOOL_EXE, top, "", {"content", g_world});
        ASSERT_EQ(content.code, 0) << content.err;
        g_fight = top + "/fight.qmn";
        const ChildRun tool = RunChild(GVTOOL_EXE, g_world, "", {"mission", g_world, "fight.qmn", "-o", g_fight});
        ASSERT_EQ(tool.code, 0) << tool.err;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(fs::path(g_world).parent_path(), ec);
    }
    void SetUp() override {
        char pattern[] = "/tmp/gvcase-XXXXXX";
        root = mkdtemp(pattern);
        chmod(root.c_str(), 0755);  // the unprivileged case reads through it
        data = root + "/data";
        profile = root + "/profile";
        fs::copy(g_world, data, fs::copy_options::recursive);
        fs::create_directories(profile);
        WriteAll(profile + "/keep.txt", "the player's own file");
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(profile, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root, ec);
    }
    std::string root, data, profile;
};

struct BadStart {
    const char* name;
    // Spoils the world or the profile; returns the command line (after "-nointro").
    std::function<std::vector<std::string>(const std::string& data, const std::string& profile, std::string* useProfile)>
        prepare;
    int code;
    const char* named;  // what the last line on standard error names ("" when the game runs cleanly)
    bool asNobody = false;
};

}  // namespace

TEST_F(BadStartTest, EachBadStartEndsWithItsCodeAndOneLineNamingTheFile) {
    const BadStart cases[] = {
        {"profile directory missing: made, and the game runs",
         [](const std::string&, const std::string& p, std::string* use) {
             *use = p + "/new/folder";
             return std::vector<std::string>{};
         },
         kExitNormal, ""},
        {"profile directory not creatable",
         [](const std::string&, const std::string& p, std::string* use) {
             *use = p + "/keep.txt/sub";
             return std::vector<std::string>{};
         },
         kExitProfileDir, "keep.txt/sub\" cannot be created: Not a directory"},
        {"profile directory read-only",
         [](const std::string&, const std::string& p, std::string*) {
             chmod(p.c_str(), 0555);
             return std::vector<std::string>{};
         },
         kExitProfileDir, "cannot be written: Permission denied", true},
        {"kolta.zfs zero length",
         [](const std::string& d, const std::string&, std::string*) {
             WriteAll(d + "/kolta.zfs", "");
             return std::vector<std::string>{};
         },
         kExitDataFiles, "kolta.zfs"},
        {"kolta.zfs truncated",
         [](const std::string& d, const std::string&, std::string*) {
             fs::resize_file(d + "/kolta.zfs", 5000);
             return std::vector<std::string>{};
         },
         kExitDataFiles, "kolta.zfs"},
        {"kolta.zfs bit flipped",
         [](const std::string& d, const std::string&, std::string*) {
             std::string bytes = ReadAll(d + "/kolta.zfs");
             bytes[5] = static_cast<char>(bytes[5] ^ 0x10);
             WriteAll(d + "/kolta.zfs", bytes);
             return std::vector<std::string>{};
         },
         kExitDataFiles, "kolta.zfs"},
        {"index missing",
         [](const std::string& d, const std::string&, std::string*) {
             fs::remove(d + "/kolta.zix");
             return std::vector<std::string>{};
         },
         kExitDataFiles, "kolta.zix"},
        {"index corrupt",
         [](const std::string& d, const std::string&, std::string*) {
             WriteAll(d + "/kolta.zix", "12\nthis is no index\n");
             return std::vector<std::string>{};
         },
         kExitDataFiles, "kolta.zix"},
        {"empty data directory",
         [](const std::string& d, const std::string&, std::string*) {
             fs::remove_all(d);
             fs::create_directories(d);
             return std::vector<std::string>{};
         },
         kExitDataFiles, "kolta.zix"},
        {"garbage gvtank.vdf",
         [](const std::string& d, const std::string&, std::string*) {
             WriteAll(d + "/addon/gvtank.vdf", Garbage(3000));
             return std::vector<std::string>{};
         },
         kExitFatal, "gvtank.vdf"},
        {"garbage cockpit.map record: warned once, by name, and the game runs",
         [](const std::string& d, const std::string&, std::string*) {
             WriteAll(d + "/addon/cockpit.MAP", Garbage(70000));
             return std::vector<std::string>{};
         },
         kExitNormal, "\"cockpit.MAP\" is damaged"},
        {"corrupt mission",
         [](const std::string&, const std::string& p, std::string*) {
             WriteAll(p + "/cut.qmn", ReadAll(g_fight).substr(0, 3000));
             return std::vector<std::string>{p + "/cut.qmn"};
         },
         kExitLoadFailed, "cut.qmn"},
        {"missing mission",
         [](const std::string&, const std::string&, std::string*) { return std::vector<std::string>{"nothere.qmn"}; },
         kExitLoadFailed, "nothere.qmn"},
        {"corrupt saved game",
         [](const std::string&, const std::string& p, std::string*) {
             WriteAll(p + "/save/game1.sav", Garbage(2000));
             return std::vector<std::string>{"-load", p + "/save/game1.sav"};
         },
         kExitLoadFailed, "game1.sav"},
        {"missing saved game",
         [](const std::string&, const std::string& p, std::string*) {
             return std::vector<std::string>{"-load", p + "/save/game9.sav"};
         },
         kExitLoadFailed, "game9.sav': there is no such file"},
        {"absolute mission path that is not there: refused, not replaced by the sample",
         [](const std::string&, const std::string& p, std::string*) {
             return std::vector<std::string>{p + "/elsewhere/fight.qmn"};
         },
         kExitLoadFailed, "elsewhere/fight.qmn': there is no such file"},
        {"absolute mission path: played",
         [](const std::string&, const std::string& p, std::string*) {
             WriteAll(p + "/mine.qmn", ReadAll(g_fight));
             return std::vector<std::string>{p + "/mine.qmn"};
         },
         kExitNormal, ""},
    };
    for (const BadStart& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        std::string useProfile = profile;
        std::vector<std::string> args{"-nointro"};
        for (std::string& a : c.prepare(data, profile, &useProfile)) args.push_back(a);
        const std::string kept = ReadAll(profile + "/keep.txt");
        const ChildRun run = RunChild(GRAVENHOLT_EXE, data, useProfile, args, c.asNobody);
        if (run.code == 93) {
            std::printf("note: %s not run: this user cannot drop to an unprivileged one\n", c.name);
            continue;
        }
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
        const std::vector<std::string> lines = GameLines(run.err);
        if (*c.named) {
            ASSERT_FALSE(lines.empty()) << run.err;
            EXPECT_NE(lines.back().find(c.named), std::string::npos) << lines.back();
            if (c.code == kExitNormal) {
                EXPECT_EQ(lines.size(), 1u) << run.err;  // a warning, given once
            }
        } else {
            EXPECT_TRUE(lines.empty()) << run.err;
        }
        EXPECT_EQ(ReadAll(profile + "/keep.txt"), kept) << "the profile directory lost a file";
        if (useProfile != profile && c.code == kExitNormal) {
            EXPECT_TRUE(fs::exists(useProfile + "/gravenholt.lock")) << "the new profile directory is used";
        }
    }
}

namespace {

class SavedFightTest : public AppFixture {};

}  // namespace

// The game saves mid-fight through its save dialog; the tool lists that save, and the game
// started with "-load" on it carries on from it.
TEST_F(SavedFightTest, AGameSavedMidFightIsReadByTheToolAndLoadedByTheLoadSwitch) {
    const std::string save = profileDir + "/save/mid.sav";
    GameRunOptions options;
    options.commandLine = "-nointro fight.qmn";
    options.frames = 200;
    float savedAt = 0.0f;
    options.everyFrame = [&](const GameRunFrame& frame) {
        if (frame.frame != 150) return;
        Plat_SetFileDialogAnswer(save);
        SaveGame_SaveDialog(0);
        savedAt = frame.time;
    };
    const GameRunResult fight = GameRun_Play(options);
    ASSERT_EQ(fight.exitCode, 0);
    ASSERT_TRUE(fs::exists(save));
    ASSERT_GT(savedAt, 1.0f);

    const std::string data = profileDir + "/data";
    const ChildRun tool = RunChild(GVTOOL_EXE, data, "", {"mission", data, save});
    EXPECT_EQ(tool.code, 0) << tool.err;
    EXPECT_NE(tool.out.find("avtank"), std::string::npos) << tool.out;

    const ChildRun game = RunChild(GRAVENHOLT_EXE, data, profileDir, {"-nointro", "-load", save});
    EXPECT_EQ(game.code, 0) << game.err;
    EXPECT_TRUE(GameLines(game.err).empty()) << game.err;

    // Loaded in place of the map's own mission: the clock goes on from the save.
    GameRunOptions load;
    load.commandLine = "-nointro -load " + save;
    load.frames = 5;
    const GameRunResult loaded = GameRun_Play(load);
    ASSERT_EQ(loaded.exitCode, 0);
    ASSERT_FALSE(loaded.frames.empty());
    EXPECT_GE(loaded.frames.back().time, savedAt - 0.5f);
}
