// Game keys: reading "gamekey.map", the dispatch rules and the typed words.
#include <string>
#include <utility>
#include <vector>

#include "Terrain/terrenv.h"
#include "core/app.h"
#include "core/bytes.h"
#include "core/cmdline.h"
#include "core/game.h"
#include "core/inputsinks.h"
#include "core/seams/net.h"
#include "core/seams/shell.h"
#include "interface/gamekeys.h"
#include "interface/keymap_fixture.h"
#include "platform/filedialog.h"

namespace {

std::vector<std::string> g_calls;
bool g_network = false;
bool g_deathmatch = false;
GameObject* g_user = nullptr;
uint32_t g_classFlags = 0;
int g_cameraMode = 1;
int32_t g_firstSetting = 0;

class GameKeyTest : public KeyMapFixture {
protected:
    void SetUp() override {
        KeyMapFixture::SetUp();
        g_calls.clear();
        g_network = g_deathmatch = false;
        g_user = nullptr;
        g_classFlags = 0;
        g_cameraMode = 1;
        g_firstSetting = 0;
        net_ = Seam_Net();
        shell_ = Seam_Shell();
        Seam_Net().isNetworkGame = [] { return g_network; };
        Seam_Net().isDeathmatch = [] { return g_deathmatch; };
        Seam_Shell().pauseToggle = [] { g_calls.push_back("pause"); };
        Seam_Shell().saveScreenshot = [] { g_calls.push_back("screenshot"); };
        GameKeyActions& a = GameKey_Actions();
        a.cameraSetMode = [](int mode, GameObject* object) {
            g_calls.push_back("camera " + std::to_string(mode) + (object ? " user" : " none"));
        };
        a.cameraMode = [] { return g_cameraMode; };
        a.screenTintFlash = [](float, float, int r, int g, int b) {
            g_calls.push_back("flash " + std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b));
        };
        a.missionTimerToggle = [] { g_calls.push_back("timer"); };
        a.inGameMenu = [] { g_calls.push_back("menu"); };
        a.chatToggle = [] { g_calls.push_back("chat"); };
        a.allyToggle = [] { g_calls.push_back("ally"); };
        a.infoToggle = [] { g_calls.push_back("info"); };
        a.userClassFlags = [] { return g_classFlags; };
        a.firstGameSetting = [] { return g_firstSetting; };
        a.userObject = [] { return g_user; };
        Game_SetState(5);
    }
    void TearDown() override {
        Seam_Net() = net_;
        Seam_Shell() = shell_;
        App_Globals().driverKind = 1;
        App_Globals().fullScreen = true;
        KeyMapFixture::TearDown();
    }
    std::vector<std::string> Calls() { return std::exchange(g_calls, {}); }
    uint32_t Flags() { return Bytes_U32(settings + kPlayerDefFlags); }
    void Type(const char* word, uint16_t modifiers = 0x300) {
        for (const char* p = word; *p; ++p) GameKey_Type(static_cast<uint16_t>(modifiers | *p));
    }
    // Any non-null object: the dispatch only passes it on.
    GameObject* SomeObject() { return reinterpret_cast<GameObject*>(&objectStandIn_); }

private:
    NetSeam net_{};
    ShellSeam shell_{};
    alignas(16) char objectStandIn_[64] = {};
};

TEST_F(GameKeyTest, SequencesAddTheirKeyCodes) {
    struct Case {
        const char* sequence;
        int64_t code;
        int bad;
    } cases[] = {
        {"Control+s", 371, 0},        {"Pause", 511, 0},     {"Control+Pause", 767, 0}, {"Keypad5", 53, 0},
        {"shift+alt+F12", 1724, 0},   {"S", 115, 0},         {"F1", 177, 0},           {"Control+Banana", 256, 1},
        {"+", -1, 0},                 {"Esc", 27, 0},
    };
    for (const Case& c : cases) {
        int bad = 0;
        EXPECT_EQ(GameKey_SequenceCode(c.sequence, &bad), c.code) << c.sequence;
        EXPECT_EQ(bad, c.bad) << c.sequence;
    }
    // A long sequence is summed without wrapping.
    std::string many = "Alt";
    for (int i = 0; i < 60; ++i) many += "+Alt";
    EXPECT_EQ(GameKey_SequenceCode(many.c_str(), nullptr), 61 * 1024);
}

TEST_F(GameKeyTest, MapFileProblemsWarnAndReadingGoesOn) {
    WriteData("gamekey.map",
              "# views\n"
              "COCKPIT_VIEW F1\n"
              "TRACK_VIEW\n"                 // 3: read error
              "TRACK_VIEW +\n"               // 4: bad sequence
              "TRACK_VIEW Control+Banana\n"  // 5: not a key name, then Control alone is bound
              "WARP_VIEW F2\n"               // 6: no such game key
              "cockpit_view F1\n"            // 7: same id, silent
              "FREE_EYE_VIEW F1\n"           // 8: another id, warns and keeps the first
              "PAUSE_GAME Pause\n"
              "SAVE_SCREEN Alt+Alt+Alt+Alt+Alt\n"  // 5120: past the table, ignored
              "RADAR_TOGGLE Escape\n");      // 11: Escape is MAIN_MENU already
    GameKey_LoadMap();
    EXPECT_EQ(Boxes(), std::vector<std::string>({
                           "gamekey.map error: line 3, read error.",
                           "gamekey.map error: line 4, bad sequence.",
                           "gamekey.map error: line 5, not a valid key name.",
                           "gamekey.map error: line 6, no gamekey WARP_VIEW.",
                           "gamekey.map error: line 8, multiple defines \"FREE_EYE_VIEW\".",
                           "gamekey.map error: line 11, multiple defines \"RADAR_TOGGLE\".",
                       }));
    EXPECT_EQ(GameKey_Translate(177), kGameKeyCockpitView);
    EXPECT_EQ(GameKey_Translate(256), kGameKeyTrackView);
    EXPECT_EQ(GameKey_Translate(511), kGameKeyPauseGame);
    EXPECT_EQ(GameKey_Translate(27), kGameKeyMainMenu);
    EXPECT_EQ(GameKey_Translate(0), 0);
    EXPECT_EQ(GameKey_Translate(5120), 0);

    std::remove((dataDir + "/gamekey.map").c_str());
    GameKey_Reset();
    GameKey_LoadMap();
    EXPECT_EQ(Boxes(), std::vector<std::string>({"gamekey.map error: can't open file."}));
    EXPECT_EQ(GameKey_Translate(27), kGameKeyMainMenu) << "Escape stays bound";
}

TEST_F(GameKeyTest, ProcessDispatchesTheFramesKeyEventAndNeverNoKey) {
    WriteData("gamekey.map", "PAUSE_GAME Pause\nSAVE_SCREEN F11\n");
    GameKey_LoadMap();
    InputKeyEvent = 0;
    EXPECT_EQ(GameKey_Process(), 0);
    InputKeyEvent = 511;
    EXPECT_EQ(GameKey_Process(), kGameKeyPauseGame);
    EXPECT_EQ(GameKey_Last(), kGameKeyPauseGame);
    InputKeyEvent = 187;
    App_Globals().driverKind = 1;
    GameKey_Process();  // hardware rendering: no screenshot
    App_Globals().driverKind = 0;
    GameKey_Process();
    EXPECT_EQ(Calls(), std::vector<std::string>({"pause", "screenshot"}));
}

TEST_F(GameKeyTest, ViewsFollowTheUserObjectAndItsClass) {
    GameKey_Dispatch(1);
    GameKey_Dispatch(9);
    g_cameraMode = 41;
    GameKey_Dispatch(5);  // no object, camera above 9: back to the free view
    g_user = SomeObject();
    GameKey_Dispatch(3);
    GameKey_Dispatch(kGameKeyTwoDView);  // only with the editor
    CmdLine_Globals().editor = true;
    GameKey_Dispatch(kGameKeyTwoDView);
    g_classFlags = 0x20;
    GameKey_Dispatch(4);
    GameKey_Dispatch(38);
    // The menu and the radar are not among the ids the class flag blocks.
    GameKey_Dispatch(kGameKeyMainMenu);
    GameKey_Dispatch(kGameKeyRadarToggle);
    EXPECT_FALSE(GameKey_RadarShown());
    EXPECT_EQ(Calls(), std::vector<std::string>({"camera 9 none", "camera 9 none", "camera 3 user",
                                                 "camera 6 user", "menu"}));
    g_classFlags = 0;
    GameKey_Dispatch(38);
    GameKey_Dispatch(4);
    EXPECT_EQ(Calls(), std::vector<std::string>({"info", "camera 4 user"}));
}

TEST_F(GameKeyTest, NetworkRules) {
    g_network = true;
    // Without a user object only the two exits act, and both go back to the shell.
    for (int id : {kGameKeyPauseGame, kGameKeyMainMenu, kGameKeyChatToggle, 1}) GameKey_Dispatch(id);
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(Game_GetState(), 5);
    GameKey_Dispatch(kGameKeyExitSimSucceed);
    EXPECT_EQ(Game_GetState(), 2);
    Game_SetState(5);
    GameKey_Dispatch(kGameKeyExitSimFail);
    EXPECT_EQ(Game_GetState(), 2);

    Game_SetState(5);
    g_user = SomeObject();
    GameKey_Dispatch(kGameKeyExitSimSucceed);
    GameKey_Dispatch(kGameKeyPauseGame);
    EXPECT_EQ(Game_GetState(), 5) << "no exit and no pause while the user has an object";
    GameKey_Dispatch(kGameKeyChatToggle);
    GameKey_Dispatch(kGameKeyAllieToggle);
    g_deathmatch = true;
    GameKey_Dispatch(kGameKeyAllieToggle);
    EXPECT_EQ(Calls(), std::vector<std::string>({"chat", "ally"}));

    g_network = false;
    GameKey_Dispatch(kGameKeyChatToggle);
    GameKey_Dispatch(kGameKeyExitSimSucceed);
    EXPECT_EQ(Game_GetState(), 1);
    GameKey_Dispatch(kGameKeyExitSimFail);
    EXPECT_EQ(Game_GetState(), 0);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(GameKeyTest, ArcadeModeAndSkipLinesNeedTheirSwitches) {
    GameKey_Dispatch(kGameKeyToggleArcadeMode);
    EXPECT_EQ(Flags() & 1, 0u);
    CmdLine_Globals().editor = true;
    GameKey_Dispatch(kGameKeyToggleArcadeMode);
    EXPECT_EQ(Flags() & 1, 1u);
    // The line skip is a switch of the software driver only: not on the hardware one.
    App_Globals().driverKind = 1;
    GameKey_Dispatch(kGameKeySkipLines);
    EXPECT_EQ(settings[66], 0);
    App_Globals().driverKind = 0;
    GameKey_Dispatch(kGameKeySkipLines);
    EXPECT_EQ(settings[66], 1);
    const bool fps = Game_Globals().fps.draw;
    GameKey_Dispatch(kGameKeyToggleFramerate);
    EXPECT_NE(Game_Globals().fps.draw, fps);
    Game_Globals().fps.draw = fps;
}

TEST_F(GameKeyTest, TypedWordsNeedExactlyControlAndShift) {
    Type("kelvor", 0x200);
    Type("kelvor", 0x700);
    Type("kelvor", 0x100);
    EXPECT_EQ(Flags(), 0u);
    Type("xyzKELVOR");
    EXPECT_EQ(Flags(), kCheatFreeBuilding);
    EXPECT_EQ(GameKey_CheatFlags(), kCheatFreeBuilding);
    Type("kelvor");
    Type("fenquil");
    EXPECT_EQ(Flags(), kCheatRevealAll);
    EXPECT_EQ(Calls(), std::vector<std::string>({"flash 255 255 255", "flash 102 102 102", "flash 255 0 255"}));

    Type("ridmal");
    EXPECT_TRUE(GameKey_VerboseDiagnostics());
    const int waves = Terrain_Environment().waves;
    Type(kTypedWordWaves);
    EXPECT_NE(Terrain_Environment().waves, waves);

    // The timer word acts only in a network game without a time limit; cheats never do.
    Type(kTypedWordTimer);
    g_network = true;
    EXPECT_EQ(GameKey_CheatFlags(), 0u);
    Type("mupsa");
    g_firstSetting = 10;
    Type(kTypedWordTimer);
    g_firstSetting = 0;
    Type(kTypedWordTimer);
    EXPECT_EQ(Calls(), std::vector<std::string>({"timer"}));
    EXPECT_EQ(Flags(), kCheatRevealAll);
}

// The game's own actions behind the load and save keys are the saved-game dialogs.
TEST_F(GameKeyTest, TheLoadAndSaveKeysOpenTheSavedGameDialogs) {
    const GameKeyActions& own = GameKey_PendingActions();
    FileDialogRequest asked;
    own.loadDialog();  // cancelled headless: the state stays
    ASSERT_TRUE(Plat_LastFileDialog(&asked));
    EXPECT_EQ(asked.title, "Load Gravenholt Saved Game");
    EXPECT_EQ(Game_GetState(), 5);
    Plat_ResetFileDialog();
    own.saveDialog();
    ASSERT_TRUE(Plat_LastFileDialog(&asked));
    EXPECT_EQ(asked.defaultExtension, "sav");
    EXPECT_NE(asked.title.find("Save"), std::string::npos) << asked.title;
}

}  // namespace
