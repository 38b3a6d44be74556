// The sample mission played end to end through the real game loop, headless, with input fed in
// at the platform layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "Terrain/terrheight.h"
#include "fun3d/gameobject.h"
#include "platform/paths.h"
#include "support/app_fixture.h"
#include "support/frame_fixture.h"
#include "support/game_run.h"
#include "support/state_reset.h"

namespace {

class FirstLight : public AppFixture {};

double Dot(const DVector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
DVector Minus(const DVector& a, const DVector& b) { return DVector{a.x - b.x, a.y - b.y, a.z - b.z}; }

// The frames the game simulated with the user's craft there (paused frames and the loading
// frames before the mission left out).
std::vector<GameRunFrame> Played(const GameRunResult& run) {
    std::vector<GameRunFrame> played;
    for (const GameRunFrame& f : run.frames)
        if (f.hasUser && !f.paused && (played.empty() || f.time > played.back().time)) played.push_back(f);
    return played;
}

// Driving the sample mission with the keys of the default maps, checked frame by frame from the
// player's craft: thrust moves it the way it faces, steering turns it, the ramp takes it up to
// the plateau, the cliff face stops it, and with the keys let go it comes to rest. Throughout,
// it rides above the floor the collision layer reports.
TEST_F(FirstLight, TheTankDrivesClimbsStopsAtTheCliffAndComesToRest) {
    struct Case {
        const char* what;
        std::function<void(GameObject*)> place;  // null: where the mission puts it
        const char* events;
        int frames;
        std::function<void(const std::vector<GameRunFrame>&)> check;
    };
    const Case cases[] = {
        {"thrust for 3 s, then let go", nullptr, "10 keydown Q\n100 keyup Q\n", 230,
         [](const std::vector<GameRunFrame>& f) {
             // The key is held from frame 10 to frame 100 of the run: 3 s of game time.
             auto at = [&](float t) {
                 return *std::min_element(f.begin(), f.end(), [&](const GameRunFrame& a, const GameRunFrame& b) {
                     return std::fabs(a.time - t) < std::fabs(b.time - t);
                 });
             };
             const GameRunFrame start = f.front();
             const GameRunFrame held = at(start.time + 3.2f);
             const DVector moved = Minus(held.position, start.position);
             EXPECT_GT(Dot(moved, start.front), 20.0) << "3 s of thrust moved it " << Dot(moved, start.front) << " m ahead";
             const Vector right{start.front.z, 0.0f, -start.front.x};
             EXPECT_LT(std::fabs(Dot(moved, right)), 0.1 * Dot(moved, start.front)) << "it drifted sideways";
             // Let go: it slows down and stands still over the last second.
             const GameRunFrame& last = f.back();
             EXPECT_LT(std::fabs(last.speed), 0.5f);
             const GameRunFrame before = at(last.time - 1.0f);
             const DVector still = Minus(last.position, before.position);
             EXPECT_LT(std::sqrt(still.x * still.x + still.z * still.z), 0.5) << "still moving at the end";
             EXPECT_GT(held.speed, 5.0f);
         }},
        {"thrust and turn left", nullptr, "10 keydown Q\n10 keydown LeftArrow\n70 keyup LeftArrow\n90 keyup Q\n",
         100,
         [](const std::vector<GameRunFrame>& f) {
             const Vector& first = f.front().front;
             const Vector& last = f.back().front;
             const Vector right{first.z, 0.0f, -first.x};
             const double ahead = first.x * last.x + first.z * last.z;
             const double toRight = right.x * last.x + right.z * last.z;
             EXPECT_LT(toRight, -0.3) << "the left arrow turned it right, or not at all";
             EXPECT_LT(ahead, 0.95);
         }},
        {"up the ramp", GameRun_PlaceAt(2470.0f, 2000.0f, 1.0f, 0.0f), "5 keydown Q\n", 200,
         [](const std::vector<GameRunFrame>& f) {
             EXPECT_LT(f.front().position.y, 78.0);
             EXPECT_GT(f.back().position.x, 2580.0) << "it never reached the plateau's edge";
             EXPECT_GT(f.back().position.y, 81.2) << "it is not up on the plateau";
         }},
        {"at the cliff from its foot", GameRun_PlaceAt(4850.0f, 2000.0f, -1.0f, 0.0f), "5 keydown Q\n", 200,
         [](const std::vector<GameRunFrame>& f) {
             double nearest = 1e9, highest = -1e9;
             for (const GameRunFrame& g : f) {
                 nearest = std::min(nearest, g.position.x);
                 highest = std::max(highest, g.position.y);
             }
             EXPECT_GT(nearest, 4792.0) << "it went into the cliff face";
             EXPECT_LT(f.back().position.x, 4815.0) << "it never reached the cliff";
             EXPECT_LT(highest, 60.0) << "it climbed the cliff";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GameRunOptions options;
        options.frames = c.frames;
        options.events = c.events;
        options.atStart = c.place;
        const GameRunResult run = GameRun_Play(options);
        ASSERT_EQ(run.exitCode, 0);
        ASSERT_TRUE(run.scriptError.empty()) << run.scriptError;
        const std::vector<GameRunFrame> f = Played(run);
        ASSERT_GT(f.size(), size_t(c.frames) * 2 / 3);
        for (const GameRunFrame& g : f) EXPECT_GE(g.position.y, g.floor) << "below the floor at " << g.time << " s";
        c.check(f);
        TearDown();
        ResetProgramStateForTest();
        SetUp();
    }
}

// Same seed, same script, same clock: the same frames, byte for byte, also when one program run
// follows another in the same process.
TEST_F(FirstLight, TwoRunsOfOneScriptPresentTheSameFrames) {
    GameRunOptions options;
    // Thrust raises dust behind the tank, and the chase view looks through it.
    options.frames = 60;
    options.events = "5 keydown Q\n35 keyup Q\n10 keydown LeftArrow\n20 keyup LeftArrow\n30 keydown F4\n31 keyup F4\n";
    options.draw = GameRun_DrawEvery();
    const GameRunResult first = GameRun_Play(options, true);
    ASSERT_EQ(first.exitCode, 0);
    ASSERT_TRUE(first.scriptError.empty()) << first.scriptError;
    TearDown();
    ResetProgramStateForTest();
    SetUp();
    const GameRunResult second = GameRun_Play(options, true);
    ASSERT_EQ(second.exitCode, 0);
    ASSERT_GE(first.presented.size(), 30u);
    ASSERT_EQ(first.presented.size(), second.presented.size());
    for (size_t i = 0; i < first.presented.size(); ++i)
        ASSERT_TRUE(first.presented[i] == second.presented[i]) << "frame " << i << " differs";
    ASSERT_FALSE(first.frames.empty());
    // Every frame the game played took 1/30 s of game time, and the tank was there throughout.
    size_t played = 0;
    for (size_t i = 1; i < first.frames.size(); ++i) {
        if (!first.frames[i - 1].hasUser) continue;
        ++played;
        EXPECT_TRUE(first.frames[i].hasUser) << i;
        EXPECT_NEAR(first.frames[i].time - first.frames[i - 1].time, 0.033, 1e-4) << i;
    }
    EXPECT_GE(played, 35u);
}

// Pause stops the simulation (game time and the tank stand still) and the paused screen is shown
// over the last view; a second Pause lets the game go on.
TEST_F(FirstLight, PauseStopsTheSimulationAndShowsThePausedScreen) {
    GameRunOptions options;
    options.frames = 50;
    options.events = "15 keydown Pause\n16 keyup Pause\n35 keydown Pause\n36 keyup Pause\n";
    options.draw = GameRun_DrawEvery();
    const GameRunResult run = GameRun_Play(options, true);
    ASSERT_EQ(run.exitCode, 0);
    size_t firstPaused = 0, lastPaused = 0;
    for (size_t i = 0; i < run.frames.size(); ++i)
        if (run.frames[i].screenMode == 2) {
            if (!firstPaused) firstPaused = i;
            lastPaused = i;
        }
    ASSERT_GT(firstPaused, 0u);
    EXPECT_GE(lastPaused - firstPaused, 15u);
    for (size_t i = firstPaused + 1; i <= lastPaused; ++i) {
        EXPECT_FLOAT_EQ(run.frames[i].time, run.frames[firstPaused].time) << i;
        EXPECT_EQ(run.frames[i].position.y, run.frames[firstPaused].position.y) << i;
    }
    ASSERT_LT(lastPaused + 5, run.frames.size());
    EXPECT_GT(run.frames.back().time, run.frames[lastPaused].time + 0.1f) << "the game went on";

    // The paused screen: a frame that differs from the one before it only around the banner in
    // the middle of the screen.
    const int w = run.lastFrame.width, h = run.lastFrame.height;
    ASSERT_GT(w * h, 0);
    bool banner = false;
    for (size_t k = 1; k < run.presented.size() && !banner; ++k) {
        const auto& before = run.presented[k - 1];
        const auto& after = run.presented[k];
        if (before.size() != after.size() || before == after) continue;
        bool insideOnly = true;
        for (int y = 0; y < h && insideOnly; ++y)
            for (int x = 0; x < w; ++x) {
                const size_t at = (size_t(y) * w + x) * 3;
                if (before[at] == after[at] && before[at + 1] == after[at + 1] && before[at + 2] == after[at + 2]) continue;
                if (std::abs(x - w / 2) > 110 || std::abs(y - h / 2) > 16) {
                    insideOnly = false;
                    break;
                }
            }
        banner = insideOnly;
    }
    EXPECT_TRUE(banner) << "no frame showed the paused banner over the view";
}

// A picture file as a standard reader reads it: the 128-byte header of an 8-bit, one-plane,
// run-length-coded PCX file, its rows, and the 256-colour palette after the 12 marker. The
// pixels come back as RGB; empty when anything in the file is not so.
std::vector<uint8_t> ReadPcx(const std::string& path, int* width, int* height) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < 128 + 769 || file[0] != 10 || file[2] != 1 || file[3] != 8 || file[65] != 1) return {};
    auto word = [&](size_t at) { return int(file[at] | file[at + 1] << 8); };
    *width = word(8) - word(4) + 1;
    *height = word(10) - word(6) + 1;
    const int stride = word(66);
    if (*width <= 0 || *height <= 0 || stride < *width) return {};
    const size_t paletteAt = file.size() - 768;
    if (file[paletteAt - 1] != 12) return {};
    std::vector<uint8_t> indices;
    size_t at = 128;
    while (indices.size() < size_t(stride) * *height && at < paletteAt - 1) {
        const uint8_t b = file[at++];
        int count = 1;
        uint8_t value = b;
        if ((b & 0xC0) == 0xC0) {
            count = b & 0x3F;
            value = file[at++];
        }
        indices.insert(indices.end(), count, value);
    }
    if (indices.size() != size_t(stride) * *height) return {};
    std::vector<uint8_t> rgb;
    for (int y = 0; y < *height; ++y)
        for (int x = 0; x < *width; ++x) {
            const uint8_t* c = &file[paletteAt + 3 * indices[size_t(y) * stride + x]];
            rgb.insert(rgb.end(), c, c + 3);
        }
    return rgb;
}

uint64_t Fnv1a64(const std::vector<uint8_t>& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

// How much of the frame's top rows (right of the panels in the upper left) is bluish, how many
// colours they hold; the same for a band below the horizon on the left, with green.
struct Regions {
    size_t skyShare = 0, skyColours = 0, groundShare = 0, groundColours = 0;  // shares in percent
};
Regions Look(const PlatFrame& frame) {
    auto pixel = [&](int x, int y) { return &frame.rgb[(size_t(y) * frame.width + x) * 3]; };
    Regions r;
    std::set<uint32_t> sky, ground;
    size_t bluish = 0, greenish = 0, skyCount = 0, groundCount = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 220; x < 640; ++x, ++skyCount) {
            const uint8_t* p = pixel(x, y);
            bluish += p[2] > p[1];
            sky.insert(uint32_t(p[0]) << 16 | p[1] << 8 | p[2]);
        }
    for (int y = 270; y < 300; ++y)
        for (int x = 0; x < 180; ++x, ++groundCount) {
            const uint8_t* p = pixel(x, y);
            greenish += p[1] > p[2];
            ground.insert(uint32_t(p[0]) << 16 | p[1] << 8 | p[2]);
        }
    r.skyShare = bluish * 100 / skyCount;
    r.skyColours = sky.size();
    r.groundShare = greenish * 100 / groundCount;
    r.groundColours = ground.size();
    return r;
}

// The cockpit views, with and without the cockpit drawn and without the HUD, look out from the
// craft over the world: sky above, textured ground below the horizon, not the inside of the hull.
TEST_F(FirstLight, TheCockpitViewsLookOutOverTheWorld) {
    for (const char* key : {"F1", "F2", "F3"}) {
        SCOPED_TRACE(key);
        GameRunOptions options;
        options.frames = 30;
        options.events = std::string("20 keydown ") + key + "\n21 keyup " + key + "\n";
        options.draw = GameRun_DrawEvery();  // the clouds where the player sees them
        const GameRunResult run = GameRun_Play(options);
        ASSERT_EQ(run.exitCode, 0);
        ASSERT_EQ(run.lastFrame.width, 640);
        ASSERT_EQ(run.lastFrame.height, 480);
        const Regions r = Look(run.lastFrame);
        EXPECT_GT(r.skyShare, 75u);
        EXPECT_GE(r.skyColours, 2u);
        EXPECT_GT(r.groundShare, 75u);
        EXPECT_GE(r.groundColours, 3u);
        TearDown();
        ResetProgramStateForTest();
        SetUp();
    }
}

// A mission on a map of another name ("fight.qmn" on the sample map) shows that map's sky: the
// tiled sky plane with its clouds in the top rows, not the plain clear colour of a map whose
// settings were looked for under the mission's name.
TEST_F(FirstLight, AMissionNamedOtherThanItsMapShowsTheMapsSky) {
    GameRunOptions options;
    options.commandLine = "-nointro fight.qmn";
    options.frames = 20;
    options.draw = GameRun_DrawLast(options.frames);
    const GameRunResult run = GameRun_Play(options);
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.lastFrame.width, 640);
    ASSERT_EQ(run.lastFrame.height, 480);
    const Regions r = Look(run.lastFrame);
    EXPECT_GT(r.skyShare, 50u) << "the top rows are not sky (clouds are white, not bluish)";
    EXPECT_GE(r.skyColours, 3u) << "the sky is one plain colour";
}

// After a drive, in the chase view: the last frame shows the sky in its top rows and textured
// terrain below the horizon (its checksum pinned, the picture kept under the build directory);
// the screenshot key wrote one of the frames shown into the profile directory.
TEST_F(FirstLight, TheLastFrameShowsSkyOverTexturedTerrainAndTheScreenshotKeyWritesIt) {
    GameRunOptions options;
    options.frames = 110;
    options.events = "10 keydown Q\n70 keyup Q\n80 keydown F4\n81 keyup F4\n100 keydown F11\n101 keyup F11\n";
    options.draw = GameRun_DrawEvery();
    const GameRunResult run = GameRun_Play(options, true);
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_TRUE(run.scriptError.empty()) << run.scriptError;
    const PlatFrame& last = run.lastFrame;
    ASSERT_EQ(last.width, 640);
    ASSERT_EQ(last.height, 480);
    SavePicture(Picture{last.width, last.height, 3, last.rgb}, PicturePath("firstlight_last.ppm"));

    const Regions r = Look(last);
    EXPECT_GT(r.skyShare, 75u) << "the top rows are not sky";
    EXPECT_GE(r.skyColours, 2u);
    EXPECT_GT(r.groundShare, 75u) << "the ground below the horizon is not grass";
    EXPECT_GE(r.groundColours, 3u) << "the terrain is drawn flat, not textured";
    // Pinned again when the dust became tan puffs that thin out (they were teal discs), its
    // oldest puffs stopped drawing the sprite after their last frame (an exhaust flame, large) and
    // the western wall moved 50 m west, off the base; and again when the sample craft gripped the
    // ground (it comes to rest a little sooner); and again when each gun hung on its own
    // hardpoint (the weapon panel shows the cannon, rocket and mortar mounts' kinds); and again
    // when the fog came to fade into the sky's clear colour, the backdrop band to reach further
    // down, the objects to keep the map's light and the dust puffs to be solid within their rims; and again
    // when the player's tank carried 6000 rounds for its fast-firing cannon (the panel's count).
    EXPECT_EQ(Fnv1a64(last.rgb), 0xa1aa942ba6c68866ull) << "look at " << PicturePath("firstlight_last.ppm");

    int width = 0, height = 0;
    const std::vector<uint8_t> shot = ReadPcx(profileDir + "/SCR0000.pcx", &width, &height);
    ASSERT_FALSE(shot.empty()) << "no readable picture file in the profile directory";
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    // The file keeps the palette's full 8 bits where the display shows 6 of them, so a colour
    // may be up to 3 levels brighter in the file.
    auto same = [&](const std::vector<uint8_t>& frame) {
        if (frame.size() != shot.size()) return false;
        for (size_t k = 0; k < shot.size(); ++k)
            if (shot[k] < frame[k] || shot[k] > frame[k] + 3) return false;
        return true;
    };
    EXPECT_TRUE(std::any_of(run.presented.begin(), run.presented.end(), same))
        << "the picture is none of the frames the window showed";
}

}  // namespace
