// The whole program loads a saved game and runs its frames.
#include <gtest/gtest.h>

#include "Objkr/entity.h"
#include "Terrain/terramap.h"
#include "ai/aiinstall.h"
#include "core/app.h"
#include "core/cmdline.h"
#include "core/savegame.h"
#include "core/seams/core.h"
#include "core/seams/objects.h"
#include "core/seams/world.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectseam.h"
#include "mission_writer.h"
#include "platform/window.h"
#include "support/app_fixture.h"

namespace {

class SavedGameProgramTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        world_ = Seam_World();
        objects_ = Seam_Objects();
        core_ = Seam_Core();
    }
    void TearDown() override {
        Seam_World() = world_;
        Seam_Objects() = objects_;
        Seam_Core() = core_;
        CmdLine_ResetGlobals();
        SaveGame_ResetGlobals();
        AppFixture::TearDown();
    }

private:
    WorldSeam world_{};
    ObjectsSeam objects_{};
    CoreSeam core_{};
};

int g_frames = 0;

// A saved game of run type 1 (the autosave) goes back to the shell only when its mission ends:
// loading it leaves the mission running.
TEST_F(SavedGameProgramTest, ALoadedAutosaveRunsItsFrames) {
    {
        content::HeadlessWorld world(profileDir + "/data", profileDir);
        ASSERT_TRUE(SaveGame_Load("sample.qmn"));
        ASSERT_TRUE(SaveGame_Autosave());
    }
    Objkr_InstallWorldSeam();
    Terrain_InstallSeam();
    GameObjects_InstallSeam();
    SaveGame_InstallSeam();
    Ai_InstallSeam();  // the file's mission section
    // The objects go with the mission (the frame passes that own this are not built here).
    Seam_Objects().gameObjectRemoveAll = GameObject_DiscardLoaded;
    g_frames = 0;
    Seam_Cockpit().inputRead = [] {
        if (++g_frames == 5) Plat_PostMessage(App_Globals().mainWindow, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(App_Main("-nointro save\\autosave.sav"), 0);
    EXPECT_GE(g_frames, 5);
    EXPECT_FALSE(SaveGame_Globals().lastLoadFailed);
    EXPECT_TRUE(SaveGame_Globals().returnToShellAfterMission);
}

}  // namespace
