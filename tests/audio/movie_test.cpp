// The movies: where they are looked for, files that are refused, the end notice, Escape, and
// the disc intro's size check.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/cddisc.h"
#include "audio/movie.h"
#include "audio_fixture.h"
#include "core/app.h"
#include "core/seams/audio.h"
#include "media_writer.h"
#include "platform/clock.h"
#include "platform/movie.h"
#include "platform/paths.h"
#include "platform/surface.h"
#include "support/exit_trap.h"

namespace {

// frames pictures of 4 x 2 pixels at 10 a second; frame f is all colour f + 1.
content::AviPicture Clip(int frames, bool sound = false) {
    content::AviPicture clip;
    clip.width = 4;
    clip.height = 2;
    clip.framesPerSecond = 10;
    for (int i = 0; i < 256; ++i) {
        clip.palette[i * 3] = uint8_t(i * 10);
        clip.palette[i * 3 + 1] = uint8_t(255 - i);
        clip.palette[i * 3 + 2] = 7;
    }
    for (int f = 0; f < frames; ++f) clip.frames.push_back(std::vector<uint8_t>(8, uint8_t(f + 1)));
    if (sound) {
        for (int i = 0; i < 11025; ++i) clip.sound.push_back(i % 20 < 10 ? 200 : 56);
    }
    return clip;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    Plat_ForgetDirectoryCache();
}

std::vector<uint8_t> With32(std::vector<uint8_t> bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(value >> (8 * i));
    return bytes;
}

size_t Find(const std::vector<uint8_t>& bytes, const char* tag) {
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::equal(tag, tag + 4, bytes.begin() + long(i))) return i;
    return 0;
}

class MovieTest : public AudioTest {
protected:
    void SetUp() override {
        AudioTest::SetUp();
        Audio_InstallSeam();
        Plat_RegisterClass("MovieTest", Plat_DefWindowProc);
        window = Plat_CreateWindow("MovieTest", "MovieTest", 8, 4);
        App_Globals().mainWindow = window;
        disc = root + "/disc";
        CdDisc_SetDirectory(disc);
        std::filesystem::create_directories(disc);
    }
    void TearDown() override {
        movie_close();
        App_Globals().mainWindow = 0;
        App_Globals().screenMode = 1;
        if (Plat_IsWindow(window)) Plat_DestroyWindow(window);
        Plat_ClearMessages();
        AudioTest::TearDown();
    }
    // Pumps the queue ms by ms for ms; the end notices that came, in order.
    std::vector<PlatMsg> Run(int ms) {
        std::vector<PlatMsg> notices;
        for (int i = 0; i < ms; ++i) {
            Plat_AdvanceVirtualClock(1);
            PlatMsg msg;
            while (Plat_PeekMessage(&msg, true))
                if (msg.message == MM_MCINOTIFY) {
                    notices.push_back(msg);
                    movie_on_notify(uint32_t(msg.wParam), uint32_t(msg.lParam));
                }
        }
        return notices;
    }
    std::string Opened() const { return Movie_OpenedPath(); }

    WindowHandle window = 0;
    std::string disc;
};

}  // namespace

TEST_F(MovieTest, TheDiscsKoltaMovieComesFirstThenTheDiscsMovieThenTheDataRoots) {
    WriteFile(disc + "/kolta/movie/clip.avi", content::AviBytes(Clip(3)));
    WriteFile(disc + "/movie/clip.avi", content::AviBytes(Clip(4)));
    WriteFile(root + "/movie/clip.avi", content::AviBytes(Clip(5)));
    const struct {
        const char* remove;
        int frames;
    } steps[] = {{nullptr, 3}, {"/kolta", 4}, {"/movie", 5}};
    for (const auto& s : steps) {
        if (s.remove) std::filesystem::remove_all(disc + s.remove);
        Plat_ForgetDirectoryCache();
        ASSERT_EQ(movie_open("CLIP.AVI"), 1);
        EXPECT_EQ(PlatMovie_FrameCount(Movie_Device()), s.frames) << Opened();
    }
    std::filesystem::remove_all(root + "/movie");
    Plat_ForgetDirectoryCache();
    EXPECT_EQ(movie_open("clip.avi"), 0);
    // Without a drive only the data root is looked at.
    CdDisc_SetDirectory("");
    WriteFile(disc + "/movie/clip.avi", content::AviBytes(Clip(4)));
    EXPECT_EQ(movie_open("clip.avi"), 0);
}

TEST_F(MovieTest, TruncatedAndMalformedFilesAreAnsweredZeroAndNeverFatal) {
    const std::vector<uint8_t> good = content::AviBytes(Clip(3));
    content::AviPicture raw = Clip(3);
    raw.runLength = false;
    const std::vector<uint8_t> uncompressed = content::AviBytes(raw);
    const size_t strf = Find(good, "strf") + 8;
    const size_t strh = Find(good, "strh") + 8;
    const size_t frame = Find(good, "00dc") + 8;
    const size_t index = Find(good, "idx1") + 8;
    std::vector<uint8_t> badRun = good;
    badRun[frame] = 9;  // a run of 9 in a row of 4
    std::vector<uint8_t> badLiteral = good;
    badLiteral[frame] = 0;
    badLiteral[frame + 1] = 200;  // a literal run of 200 bytes
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"half", std::vector<uint8_t>(good.begin(), good.begin() + long(good.size() / 2))},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 12)},
        {"not RIFF", With32(good, 0, 0x58464952)},
        {"riff size past the end", With32(good, 4, uint32_t(good.size()))},
        {"unknown codec", With32(good, strf + 16, 2)},
        {"16-bit frames", With32(good, strf + 12, 0x00100001)},
        {"too wide", With32(good, strf + 4, 1025)},
        {"too tall", With32(good, strf + 8, 769)},
        {"zero width", With32(good, strf + 4, 0)},
        {"palette of 257", With32(good, strf + 32, 257)},
        {"palette past its chunk", With32(good, strf, 1000)},
        {"zero rate", With32(good, strh + 24, 0)},
        {"zero scale", With32(good, strh + 20, 0)},
        {"run past the row", badRun},
        {"literal past the data", badLiteral},
        {"index outside the file", With32(good, index + 8, 0x7FFFFFF0)},
        {"frame shorter than its picture", With32(uncompressed, Find(uncompressed, "00db") + 4, 4)},
        {"no frames", With32(good, Find(good, "movi"), 0x6B6E756A)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(root + "/movie/bad.avi", c.bytes);
        int answer = -1;
        EXPECT_EQ(RunForExit([&] { answer = movie_open("bad.avi"); }), -1) << "no exit";
        EXPECT_EQ(answer, 0);
        EXPECT_FALSE(movie_is_playing());
    }
    WriteFile(root + "/movie/bad.avi", uncompressed);
    EXPECT_EQ(movie_open("bad.avi"), 1) << "the fixture itself is sound";
}

TEST_F(MovieTest, TheEndNoticeComesAfterExactlyNFramePeriodsAndClosesTheMovie) {
    WriteFile(root + "/movie/clip.avi", content::AviBytes(Clip(5)));
    for (bool replay : {false, true}) {
        SCOPED_TRACE(replay);
        ASSERT_EQ(movie_open("clip.avi"), 1);
        const uint32_t device = Movie_Device();
        const PlatRect rect{0, 0, 8, 4};
        ASSERT_EQ(movie_play(0, &rect), 1);
        movie_set_replay(replay);
        EXPECT_TRUE(movie_is_playing());
        EXPECT_TRUE(Run(499).empty());
        EXPECT_TRUE(movie_is_playing());
        std::vector<PlatMsg> notices = Run(1);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].wParam, 1u);
        EXPECT_EQ(notices[0].lParam, LParam(device));
        EXPECT_EQ(notices[0].window, window);
        if (replay) {
            EXPECT_TRUE(movie_is_playing()) << "played once more";
            EXPECT_TRUE(Run(499).empty());
            EXPECT_EQ(Run(1).size(), 1u);
        }
        EXPECT_FALSE(movie_is_playing());
        EXPECT_FALSE(PlatMovie_IsOpen(device));
    }
}

TEST_F(MovieTest, FramesAreShownScaledIntoTheWindowAsTheClockMoves) {
    WriteFile(root + "/movie/clip.avi", content::AviBytes(Clip(3)));
    ASSERT_EQ(movie_open("clip.avi"), 1);
    const PlatRect rect{0, 0, 8, 4};
    ASSERT_EQ(movie_play(0, &rect), 1);
    PlatFrame frame;
    for (int f = 0; f < 3; ++f) {
        SCOPED_TRACE(f);
        ASSERT_TRUE(Plat_SurfaceLastFrame(window, &frame));
        ASSERT_EQ(frame.width, 8);
        ASSERT_EQ(frame.height, 4);
        for (size_t p = 0; p < 32; ++p) {
            EXPECT_EQ(frame.rgb[p * 3], uint8_t((f + 1) * 10));
            EXPECT_EQ(frame.rgb[p * 3 + 1], uint8_t(255 - (f + 1)));
        }
        Run(100);
    }
    EXPECT_FALSE(Plat_SurfaceIsOpen(window)) << "the movie opened no surface";
}

TEST_F(MovieTest, EscapeInMovieModeClosesTheMovie) {
    WriteFile(root + "/movie/clip.avi", content::AviBytes(Clip(50)));
    ASSERT_EQ(movie_open("clip.avi"), 1);
    const PlatRect rect{0, 0, 8, 4};
    movie_play(0, &rect);
    App_Globals().screenMode = 32;
    App_Globals().inGame = false;  // the movies play outside a mission
    Game_SetState(5);
    App_WindowProc(window, WM_KEYDOWN, WParam(VK_ESCAPE), 0);
    EXPECT_FALSE(movie_is_playing());
    EXPECT_EQ(App_Globals().screenMode, 1);
}

TEST_F(MovieTest, ADiscIntroOfUpTo16999999BytesIsNotPlayed) {
    const std::string path = disc + "/movie/intro.avi";
    WriteFile(path, content::AviBytes(Clip(3)));
    for (uint64_t size : {uint64_t(16999999), uint64_t(17000000)}) {
        SCOPED_TRACE(size);
        std::filesystem::resize_file(path, size);
        EXPECT_EQ(movie_open("intro.avi"), size > kMovieDiscIntroMinBytes ? 1 : 0);
    }
    // The data root's intro plays whatever its size.
    std::filesystem::resize_file(path, 100);
    WriteFile(root + "/movie/intro.avi", content::AviBytes(Clip(3)));
    EXPECT_EQ(movie_open("intro.avi"), 1);
    EXPECT_NE(Opened().find(root + "/movie"), std::string::npos) << Opened();
}

TEST_F(MovieTest, TheIntrosTuneIsHeardWhileTheSoundLayerIsShutDown) {
    WriteFile(root + "/movie/intro.avi", content::AviBytes(Clip(10, true)));
    Open({});
    AudioSys_Shutdown();
    PlatSound_ClearRecord();
    ASSERT_EQ(movie_open("intro.avi"), 1);
    const PlatRect rect{0, 0, 8, 4};
    movie_play(0, &rect);
    Run(300);
    double left = 0, right = 0;
    Levels(3000, &left, &right);
    EXPECT_GT(left, 0.1);
    EXPECT_GT(right, 0.1);
}
