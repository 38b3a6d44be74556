// Views a new player meets in the first fight, each pinned after looking at it (the pictures are
// kept under the build directory): the cockpit without the cockpit drawn (F2) and without the HUD
// (F3), the pilot's view after ejecting, and the sample map without the player's craft. Only
// the last frame of each run draws the world.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>

#include "Objkr/rendersettings.h"
#include "Terrain/terrenv.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/tugsav.h"
#include "support/app_fixture.h"
#include "support/frame_fixture.h"
#include "support/game_run.h"
#include "support/state_reset.h"

namespace {

struct Rgb {
    int r, g, b;
    bool operator<(const Rgb& o) const { return r != o.r ? r < o.r : g != o.g ? g < o.g : b < o.b; }
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

Rgb At(const PlatFrame& f, int x, int y) {
    const size_t i = (size_t(y) * size_t(f.width) + size_t(x)) * 3;
    return Rgb{f.rgb[i], f.rgb[i + 1], f.rgb[i + 2]};
}

uint64_t Fnv1a64(const std::vector<uint8_t>& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

// The share (percent) of the rectangle's pixels that are its most common colour.
int CommonestShare(const PlatFrame& f, int left, int top, int right, int bottom) {
    std::map<Rgb, int> counts;
    int total = 0, most = 0;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) most = std::max(most, ++counts[At(f, x, y)]), ++total;
    return total ? most * 100 / total : 0;
}

// The share (percent) of the rectangle's pixels that are grass: green above red and blue.
int GrassShare(const PlatFrame& f, int left, int top, int right, int bottom) {
    int total = 0, grass = 0;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            const Rgb p = At(f, x, y);
            grass += p.g > p.r && p.g > p.b;
            ++total;
        }
    return total ? grass * 100 / total : 0;
}

class ViewPictures : public AppFixture {
protected:
    PlatFrame Run(const char* mission, int frames, const std::string& events, const char* picture) {
        GameRunOptions options;
        options.commandLine = std::string("-nointro ") + mission;
        options.frames = frames;
        options.events = events;
        options.draw = GameRun_DrawLast(frames);
        const GameRunResult run = GameRun_Play(options);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.scriptError.empty()) << run.scriptError;
        EXPECT_EQ(run.lastFrame.width, 640);
        EXPECT_EQ(run.lastFrame.height, 480);
        if (run.lastFrame.width == 640 && run.lastFrame.height == 480)
            SavePicture(Picture{run.lastFrame.width, run.lastFrame.height, 3, run.lastFrame.rgb}, PicturePath(picture));
        return run.lastFrame;
    }
    void Again() {
        TearDown();
        ResetProgramStateForTest();
        SetUp();
    }
};

// Without the cockpit (F2) and without the HUD (F3) the whole tank is drawn around the driver's
// eye: the ground ahead is grass, with the gun's muzzle low in the middle, not a slab of barrel
// drawn in one colour brightened towards white (the eye sat a hand's breadth over the barrel, and
// the objects had lost the map's light at the mission's start).
TEST_F(ViewPictures, WithoutCockpitOrHudTheGroundAheadIsGrass) {
    struct Case {
        const char* key;
        const char* picture;
        uint64_t pinned;
    };
    const Case cases[] = {{"F2", "view_f2.ppm", 0x5ff96fadf4f856d3ull},
                          {"F3", "view_f3.ppm", 0x746bf1b281d89883ull}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const PlatFrame f = Run("fight.qmn", 30, std::string("5 keydown ") + c.key + "\n6 keyup " + c.key + "\n",
                                c.picture);
        ASSERT_EQ(f.width, 640);
        // The ground straight ahead, above the muzzle: textured grass, no plain slab.
        EXPECT_LT(CommonestShare(f, 250, 300, 390, 400), 60) << "one colour covers the ground ahead";
        EXPECT_GT(GrassShare(f, 250, 300, 390, 400), 90);
        EXPECT_EQ(Fnv1a64(f.rgb), c.pinned) << "look at " << PicturePath(c.picture);
        Again();
    }
}

// The objects are lit by the map's light from the mission's first frame in the cockpit views,
// not only after a view change has made the map publish it again (the reset of the tree cache
// at the mission's start put the defaults, full light, back).
TEST_F(ViewPictures, TheObjectsTakeTheMapsLightFromTheFirstFrame) {
    GameRunOptions options;
    options.commandLine = "-nointro fight.qmn";
    options.frames = 3;
    options.draw = GameRun_DrawLast(3);
    int checked = 0;
    options.everyFrame = [&](const GameRunFrame& frame) {
        if (!frame.hasUser) return;
        const TerrainViewSet& map = Terrain_Environment().current;
        EXPECT_FLOAT_EQ(Render_Settings().intensity, map.intensity) << "frame " << frame.frame;
        EXPECT_FLOAT_EQ(Render_Settings().ambient, map.ambient) << "frame " << frame.frame;
        ++checked;
    };
    const GameRunResult run = GameRun_Play(options);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_GT(checked, 0);
    ASSERT_FALSE(run.frames.empty());
    EXPECT_EQ(run.frames.back().cameraMode, 1) << "the cockpit view";
}

// The ejected pilot, thrown high into the air, sees the ground below it out to the visibility
// range; there the ground fades into the sky's clear colour that lies beyond it.
TEST_F(ViewPictures, TheEjectedPilotSeesTheGroundBelow) {
    const PlatFrame f = Run("fight.qmn", 120, "30 keydown B\n31 keyup B\n", "view_ejected.ppm");
    ASSERT_EQ(f.width, 640);
    // Between the radar and the status panel, the bottom rows of the view.
    EXPECT_GT(GrassShare(f, 300, 460, 450, 479), 80) << "no ground under the pilot";
    EXPECT_EQ(Fnv1a64(f.rgb), 0x820fd419ed4a0bc2ull) << "look at " << PicturePath("view_ejected.ppm");
}

// The sample map without the player's craft: the camera stands over the map, not under the
// ground at the world's origin (which showed the sky all round and the grass tufts above it).
TEST_F(ViewPictures, WithoutACraftTheMapIsSeenFromAbove) {
    const PlatFrame f = Run("nocraft.qmn", 20, "", "view_nocraft.ppm");
    ASSERT_EQ(f.width, 640);
    EXPECT_GT(GrassShare(f, 0, 300, 639, 479), 80) << "the lower part is not ground";
    EXPECT_LT(GrassShare(f, 0, 0, 639, 150), 5) << "ground or grass tufts in the sky";
    EXPECT_EQ(Fnv1a64(f.rgb), 0xaed9058aeaa325cfull) << "look at " << PicturePath("view_nocraft.ppm");
}

}  // namespace

namespace {

// The tug of "tugs.qmn" with the scout on its hook, seen from the player's craft held 30 m to its
// side: the scout hangs under the tug's tow point and moves with it.
TEST_F(ViewPictures, TheTugCarriesTheScoutOnItsHook) {
    GameRunOptions options;
    options.commandLine = "-nointro tugs.qmn";
    options.frames = 60;
    options.draw = GameRun_DrawLast(60);
    Tug* seen = nullptr;
    bool carrying = false;
    options.everyFrame = [&](const GameRunFrame&) {
        GameObject* user = GameObject_GetUser();
        Tug* tug = nullptr;
        for (GameObject* object : GameObject_List())
            if (auto* candidate = dynamic_cast<Tug*>(object)) tug = candidate;
        if (!user || !tug || !user->entity || !tug->entity) return;
        seen = tug;
        carrying = tug->cargo != nullptr;
        // Beside the tug, on its right, turned to face it.
        const Matrix& t = tug->entity->local;
        Matrix m = t;
        m.right = t.front;
        m.front = Vector{-t.right.x, -t.right.y, -t.right.z};
        m.posit.x += double(t.right.x) * 30.0;
        m.posit.y -= 2.0;
        m.posit.z += double(t.right.z) * 30.0;
        user->SetMatrix(m);
        user->SetVelocity(Vector{0, 0, 0});
    };
    const GameRunResult run = GameRun_Play(options);
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_NE(seen, nullptr) << "no tug in the mission";
    EXPECT_TRUE(carrying) << "the tug's hook is empty";
    ASSERT_EQ(run.lastFrame.width, 640);
    SavePicture(Picture{run.lastFrame.width, run.lastFrame.height, 3, run.lastFrame.rgb}, PicturePath("view_tug.ppm"));
    EXPECT_EQ(Fnv1a64(run.lastFrame.rgb), 0x2d2e760204c634b4ull) << "look at " << PicturePath("view_tug.ppm");
}

}  // namespace
