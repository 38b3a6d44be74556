// The whole program runs a mission under its mission object: the sample mission plays on, and
// a mission without the player's craft ends by itself through the driver's loss rule.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "ai/aimission.h"
#include "core/app.h"
#include "core/clock.h"
#include "core/game.h"
#include "core/seams/cockpit.h"
#include "core/seams/objects.h"
#include "core/seams/world.h"
#include "Objkr/objload.h"
#include "Objkr/entity.h"
#include "platform/msgbox.h"
#include "platform/window.h"
#include "startup/startup.h"
#include "support/app_fixture.h"
#include "support/game_run.h"

namespace {

struct FrameSeen {
    float time;
    int32_t state;
    bool hasMission;
};

std::vector<FrameSeen>& Frames() {
    static std::vector<FrameSeen> frames;
    return frames;
}
float g_closeAfter = 0.0f;  // seconds of game time; 0: never

class MissionRunTest : public AppFixture {
protected:
    void SetUp() override {
        // A safety stop only: the runs below end long before it.
        setenv("GRAVENHOLT_HEADLESS_FRAMES", "20000", 1);
        AppFixture::SetUp();
        world_ = Seam_World();
        objects_ = Seam_Objects();
        objLoad_ = ObjLoad_Services();
        objkr_ = Objkr_Services();
        Startup_InstallAll();
        GameRun_DrawNothing();
        Frames().clear();
        g_closeAfter = 0.0f;
        static void (*keys)() = nullptr;
        keys = Seam_Cockpit().gameKeyProcess;
        Seam_Cockpit().gameKeyProcess = [] {
            keys();
            Frames().push_back({Clock_GetTime(), Game_GetState(), AiMission::GetCurrent() != nullptr});
            if (g_closeAfter > 0.0f && Clock_GetTime() > g_closeAfter)
                Plat_PostMessage(App_Globals().mainWindow, WM_CLOSE, 0, 0);
        };
    }
    void TearDown() override {
        Seam_World() = world_;
        Seam_Objects() = objects_;
        ObjLoad_Services() = objLoad_;
        Objkr_Services() = objkr_;
        AppFixture::TearDown();
        unsetenv("GRAVENHOLT_HEADLESS_FRAMES");
    }

private:
    WorldSeam world_{};
    ObjectsSeam objects_{};
    ObjLoadServices objLoad_{};
    EntityServices objkr_{};
};

TEST_F(MissionRunTest, TheSampleMissionPlaysOnWellPastTenSeconds) {
    g_closeAfter = 14.0f;
    EXPECT_EQ(App_Main("sample.qmn"), 0);
    for (const MessageBoxRecord& box : Plat_MessageBoxLog()) ADD_FAILURE() << "box: " << box.text;
    ASSERT_FALSE(Frames().empty());
    EXPECT_GT(Frames().back().time, 14.0f);
    for (const FrameSeen& f : Frames()) {
        EXPECT_EQ(f.state, kStateRun) << f.time;
        EXPECT_TRUE(f.hasMission) << f.time;
    }
    EXPECT_STREQ(Mission_DebriefName(), "");
}

TEST_F(MissionRunTest, AMissionWithoutThePlayersCraftEndsByItselfAsLost) {
    EXPECT_EQ(App_Main("nocraft.qmn"), 0);
    for (const MessageBoxRecord& box : Plat_MessageBoxLog()) ADD_FAILURE() << "box: " << box.text;
    ASSERT_FALSE(Frames().empty());
    EXPECT_LT(Frames().size(), 20000u) << "the run ended by itself";
    // The loss rule: the end takes effect 10 s after the first frame without the craft.
    const float first = Frames().front().time;
    EXPECT_GT(Frames().back().time, first + 9.5f);
    EXPECT_LT(Frames().back().time, first + 11.0f);
    EXPECT_STREQ(Mission_DebriefName(), "nofile");
}

}  // namespace
