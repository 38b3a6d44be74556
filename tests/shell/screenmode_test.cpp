// Screen modes, pause and screenshots.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "core/app.h"
#include "core/clock.h"
#include "core/inputsinks.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "interface/gamekeys.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "render/graphicbuffer.h"
#include "render/picture.h"
#include "shell/screenmode.h"

namespace {

std::vector<std::string> g_calls;

class ScreenModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        cockpit_ = Seam_Cockpit();
        audio_ = Seam_Audio();
        g_calls.clear();
        Seam_Cockpit().mouseCapture = [] { g_calls.push_back("capture"); };
        Seam_Cockpit().mouseRelease = [] { g_calls.push_back("release"); };
        Seam_Cockpit().forceFeedbackEnable = [](bool on) { g_calls.push_back(on ? "forces on" : "forces off"); };
        Seam_Audio().cdPause = [] { g_calls.push_back("cd pause"); };
        Seam_Audio().cdResume = [] { g_calls.push_back("cd resume"); };
        Screen_ResetMode();
        std::string pattern = (std::filesystem::temp_directory_path() / "gv_shots_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        Plat_SetProfileDir(dir_);
    }
    void TearDown() override {
        Seam_Cockpit() = cockpit_;
        Seam_Audio() = audio_;
        Plat_SetProfileDir("");
        Plat_UseRealClock();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        Plat_ForgetDirectoryCache();
    }
    std::vector<std::string> Calls() { return std::exchange(g_calls, {}); }
    int Mode() { return App_Globals().screenMode; }

    std::string dir_;

private:
    CockpitSeam cockpit_{};
    AudioSeam audio_{};
};

TEST_F(ScreenModeTest, ToggleReturnsThePreviousModeAndTheActiveOneGoesBackToTheGame) {
    EXPECT_EQ(Screen_ToggleMode(2), 1);
    EXPECT_EQ(Mode(), 2);
    EXPECT_EQ(Screen_ToggleMode(2), 2);
    EXPECT_EQ(Mode(), 1);
    EXPECT_EQ(Screen_ToggleMode(32), 1);
    EXPECT_EQ(Screen_ToggleMode(4), 32);
    EXPECT_EQ(Mode(), 4);
    Screen_ResetMode();
    EXPECT_EQ(Mode(), 1);
    EXPECT_EQ(Screen_ReturnMode(), 1);
}

TEST_F(ScreenModeTest, PauseLeavesTheGameClockWhereItWasAndLetsTheMouseGo) {
    Plat_UseVirtualClock(5000);
    Clock_Init();
    for (int i = 0; i < 10; ++i) {
        Plat_AdvanceVirtualClock(20);
        Clock_Tick();
    }
    const uint32_t before = Clock_GetTimeMs();
    Pause_Toggle();
    EXPECT_EQ(Mode(), 2);
    EXPECT_EQ(Screen_ReturnMode(), 1);
    for (int i = 0; i < 50; ++i) {
        Plat_AdvanceVirtualClock(20);
        Clock_Tick();
    }
    EXPECT_EQ(Clock_GetTimeMs(), before);
    Pause_Toggle();
    EXPECT_EQ(Mode(), 1);
    Plat_AdvanceVirtualClock(20);
    Clock_Tick();
    EXPECT_EQ(Clock_GetTimeMs(), before + 20) << "the paused span is not counted";
    EXPECT_EQ(Calls(), std::vector<std::string>({"release", "cd pause", "forces off", "capture", "cd resume",
                                                 "forces on"}));

    // From another view the mouse and the forces were let go already: they stay as they are.
    Screen_ToggleMode(32);
    Pause_Toggle();
    EXPECT_EQ(Mode(), 2);
    EXPECT_EQ(Screen_ReturnMode(), 32);
    Pause_Toggle();
    EXPECT_EQ(Mode(), 32);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ScreenModeTest, ThePauseGameKeyLeavesThePauseOtherKeysAreReturned) {
    std::ofstream(dir_ + "/gamekey.map") << "PAUSE_GAME Pause\n";
    Plat_SetDataRoot(dir_);
    GameKey_LoadMap();
    Plat_SetDataRoot("");
    Pause_Toggle();
    InputKeyEvent = 0;
    EXPECT_EQ(Pause_HandleKey(), 0);
    InputKeyEvent = 'a';
    Screen_HandleModeKeys();
    EXPECT_EQ(Pause_HandleKey(), 'a');
    EXPECT_EQ(Mode(), 2);
    InputKeyEvent = 511;
    Screen_HandleModeKeys();
    EXPECT_EQ(Mode(), 1);
    EXPECT_EQ(InputKeyEvent, 0) << "the key is taken";
}

TEST_F(ScreenModeTest, ScreenshotsAreNumberedPicturesThatNeverReplaceOldOnes) {
    uint8_t pixels[4 * 3] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    GraphicBuffer screen{};
    screen.width = 4;
    screen.height = 3;
    screen.pixels = pixels;
    screen.clipRight = 4;
    screen.clipBottom = 3;
    uint8_t palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = static_cast<uint8_t>(i / 3);

    std::ofstream(dir_ + "/SCR0000.pcx") << "an earlier run's picture";
    Plat_ForgetDirectoryCache();
    const std::string first = Screen_CaptureToPcx(&screen, palette);
    EXPECT_EQ(std::filesystem::path(first).filename(), "SCR0001.pcx");
    std::ifstream old(dir_ + "/SCR0000.pcx");
    std::string kept;
    std::getline(old, kept);
    EXPECT_EQ(kept, "an earlier run's picture");
    uint8_t* image = Picture_Read(first.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image[0], 4);
    EXPECT_EQ(image[8 + 11], 11);
    delete[] image;
    uint8_t read[768];
    ASSERT_EQ(Picture_CheckFile(first.c_str(), read), 1);
    EXPECT_EQ(read[767], 255);

    Screen_SetShotCounter(9999);
    EXPECT_EQ(std::filesystem::path(Screen_CaptureToPcx(&screen, palette)).filename(), "SCR9999.pcx");
    EXPECT_EQ(std::filesystem::path(Screen_CaptureToPcx(&screen, palette)).filename(), "SCR10000.pcx");
    EXPECT_EQ(Screen_ShotCounter(), 10001);
}

}  // namespace
