#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "fun3d/gameobject.h"
#include "fun3d/hovercraft.h"
#include "support/app_fixture.h"
#include "support/game_run.h"
#include "tools/debugvalues.h"
#include "tools/telemetry.h"
#include "tools_fixture.h"

using namespace tools_test;

namespace {

class TelemetryDisplayTest : public ScreenFixture {};

}  // namespace

TEST_F(TelemetryDisplayTest, TwelveLinesFromY140WithTheLengthsOfVelocityAndAcceleration) {
    TelemetryDisplay display;
    EXPECT_EQ(HudElement_CountInDraw(&display, 3), 1);
    EXPECT_EQ(HudElement_CountInDraw(&display, 0), 1);
    EXPECT_EQ(HudElement_CountInDraw(&display, 7), 1);
    EXPECT_EQ(HudElement_CountInDraw(&display, 1), 0);

    VehicleTelemetry record;
    record.throttle = 1.0f;
    record.steering = -0.5f;
    record.strafe = 0.25f;
    record.brake = 2.0f;
    record.position = Vector{10.0f, 20.0f, 30.0f};
    record.velocity = Vector{3.0f, -4.0f, 12.0f};  // 13 long
    record.force = Vector{-1.0f, 2.0f, 2.0f};      // 3 long
    record.heightRatio = 1.5f;
    record.hoverFactor = 0.75f;
    record.gripRatio = 0.5f;
    TelemetryDisplay_Copy(record, &display);
    for (int frame = 0; frame < 2; ++frame) {  // the same twelve lines every frame
        Clear();
        display.Draw();
        const std::vector<std::string> expected = {
            "throt: 1.000000",
            "steer: -0.500000",
            "straf: 0.250000",
            "brake: 2.000000",
            "posit: (10.000000,20.000000,30.000000)",
            "veloc: (3.000000,-4.000000,12.000000)",
            "veloc: 13.000000",
            "accel: (-1.000000,2.000000,2.000000)",
            "accel: 3.000000",
            "heightRatio: 1.500000",
            "thrustRatio: 0.750000",
            "trackRatio: 0.500000",
        };
        EXPECT_EQ(DebugValues_Lines(), expected);
        const int pitch = kFontHeight + 4;
        EXPECT_EQ(At(100, 140), kGrey);
        EXPECT_EQ(At(100, 139), 0);
        EXPECT_EQ(At(100, 140 + 11 * pitch), kGrey);
        EXPECT_EQ(At(100, 140 + 12 * pitch), 0);
    }
}

namespace {

class TelemetryGraphRun : public AppFixture {
protected:
    // Runs the sample mission with the craft coasting; the display's fields and the user's craft
    // in each frame.
    struct Seen {
        bool display = false;
        Vector posit{}, veloc{};
        Vector user{};
        float speed = 0.0f;
    };
    std::vector<Seen> Run(const char* renderCfg) {
        if (renderCfg) std::ofstream(profileDir + "/render.cfg") << renderCfg;
        static std::vector<Seen> seen;
        seen.clear();
        GameRunOptions options;
        options.frames = 20;
        options.draw = GameRun_DrawEvery();  // the record is copied into the display as it draws
        // Sent off at 10 m/s northward, so that the craft moves without a key.
        options.atStart = [](GameObject* user) { user->euler.velocity = Vector{0.0f, 0.0f, 10.0f}; };
        options.everyFrame = [](const GameRunFrame& frame) {
            Seen s;
            if (TelemetryDisplay* display = TelemetryGraph_Display()) {
                s.display = true;
                s.posit = display->posit;
                s.veloc = display->veloc;
            }
            s.user = Vector{static_cast<float>(frame.position.x), static_cast<float>(frame.position.y),
                            static_cast<float>(frame.position.z)};
            s.speed = frame.speed;
            seen.push_back(s);
        };
        const GameRunResult run = GameRun_Play(options);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.scriptError.empty()) << run.scriptError;
        return seen;
    }
};

}  // namespace

TEST_F(TelemetryGraphRun, WithTheKeyOnTheDisplayFollowsThePlayersCraft) {
    const std::vector<Seen> seen = Run("[Debug]\nTelemetry=1\n");
    ASSERT_GE(seen.size(), 15u);
    int moving = 0;
    for (size_t i = 5; i < seen.size(); ++i) {
        const Seen& s = seen[i];
        SCOPED_TRACE(i);
        ASSERT_TRUE(s.display);
        // The display holds the state the craft had when the frame before was drawn.
        EXPECT_NEAR(s.posit.x, s.user.x, 2.0f);
        EXPECT_NEAR(s.posit.z, s.user.z, 2.0f);
        const float length = std::sqrt(s.veloc.x * s.veloc.x + s.veloc.y * s.veloc.y + s.veloc.z * s.veloc.z);
        EXPECT_NEAR(length, s.speed, 1.0f);
        moving += length > 0.5f;
    }
    EXPECT_GT(moving, 3);
    // Clean-up freed it.
    EXPECT_EQ(TelemetryGraph_Display(), nullptr);
}

TEST_F(TelemetryGraphRun, WithTheKeyOffNoDisplayExists) {
    for (const char* cfg : {static_cast<const char*>(nullptr), "[Debug]\nTelemetry=0\n"}) {
        SCOPED_TRACE(cfg ? cfg : "no render.cfg");
        const std::vector<Seen> seen = Run(cfg);
        ASSERT_FALSE(seen.empty());
        for (const Seen& s : seen) EXPECT_FALSE(s.display);
    }
}
