// The sample mission played end to end through the real game loop, headless, with input fed in
// at the platform layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include "Terrain/terrheight.h"
#include "fun3d/gameobject.h"
#include "support/app_fixture.h"
#include "support/game_run.h"
#include "support/state_reset.h"

namespace {

class FirstLight : public AppFixture {};

double Dot(const DVector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
DVector Minus(const DVector& a, const DVector& b) { return DVector{a.x - b.x, a.y - b.y, a.z - b.z}; }

// Puts the user's craft on the ground at (x, z), facing along (fx, 0, fz), at rest.
std::function<void(GameObject*)> PlaceAt(float x, float z, float fx, float fz) {
    return [=](GameObject* user) {
        Matrix m{};
        m.up = Vector{0.0f, 1.0f, 0.0f};
        m.front = Vector{fx, 0.0f, fz};
        m.right = Vector{fz, 0.0f, -fx};  // up x front
        m.posit = DVector{x, Terrain_GetHeight(x, z) + 1.0f, z};
        user->SetMatrix(m);
    };
}

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
        {"up the ramp", PlaceAt(2470.0f, 2000.0f, 1.0f, 0.0f), "5 keydown Q\n", 200,
         [](const std::vector<GameRunFrame>& f) {
             EXPECT_LT(f.front().position.y, 78.0);
             EXPECT_GT(f.back().position.x, 2580.0) << "it never reached the plateau's edge";
             EXPECT_GT(f.back().position.y, 81.2) << "it is not up on the plateau";
         }},
        {"at the cliff from its foot", PlaceAt(4850.0f, 2000.0f, -1.0f, 0.0f), "5 keydown Q\n", 200,
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

// Same seed, same script, same clock: the same frames, byte for byte.
TEST_F(FirstLight, TwoRunsOfOneScriptPresentTheSameFrames) {
    GameRunOptions options;
    options.frames = 40;
    options.events = "5 keydown W\n25 keyup W\n10 keydown LeftArrow\n20 keyup LeftArrow\n";
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

}  // namespace
