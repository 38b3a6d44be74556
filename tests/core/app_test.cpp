#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/sysprobe.h"
#include "core/textentry.h"
#include "platform/instance.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "support/app_fixture.h"
#include "support/exit_trap.h"

namespace {

using Calls = std::vector<std::string>;
void Record(const char* name) { RecordedCalls().push_back(name); }

class AppTest : public AppFixture {};

TEST_F(AppTest, StartupFailuresEndWithTheirCodesAndTexts) {
    struct Case {
        const char* name;
        void (*arrange)();
        int code;
        const char* text;
        const char* caption;
    };
    const Case cases[] = {
        {"probe", [] { Plat_FailAllocationsOfSize(0x1E00000, 1); }, 151, "Not Enough Swap File Space", "Gravenholt"},
        {"work buffer", [] { Plat_FailAllocationsOfSize(0x80000, 1); }, 112,
         "Unable Allocate Virtual Memory, aborting Program...", "Gravenholt Error"},
        {"driver chooser", [] { Seam_Render().chooseDriver = [](const char*) { return false; }; }, 112,
         "Gravenholt Init_Graphic_System", "Gravenholt Error"},
        {"driver initialise", [] { Seam_Render().driverInitialise = [](int) { return false; }; }, 112,
         "Gravenholt Init_Graphic_System", "Gravenholt Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.arrange();
        EXPECT_EQ(RunForExit([] { App_Main(""); }), c.code);
        const auto& boxes = Plat_MessageBoxLog();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].caption, c.caption);
        EXPECT_EQ(boxes[0].flags & 0xF0, MB_ICONERROR);
    }
}

TEST_F(AppTest, MissingCommandLineIsFatal) {
    EXPECT_EQ(RunForExit([] { App_Main(nullptr); }), 112);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].text, "This program must be launched from m4q.exe\n");
}

TEST_F(AppTest, SecondInstanceInThisProcessRestoresTheFirstAndEndsQuietly) {
    Plat_RegisterClass("Gravenholt", App_WindowProc);
    WindowHandle first = Plat_CreateWindow("Gravenholt", "Gravenholt", 100, 100);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(App_Main(""), 0);
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
    EXPECT_EQ(Plat_GetShowState(first), SW_RESTORE);
}

TEST_F(AppTest, SecondInstanceOfAnotherProcessEndsWithZeroAndNoBox) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The first copy: holds the lock until the parent is done.
        bool held = Plat_AcquireInstanceLock("gravenholt.lock");
        char byte = held ? 1 : 0;
        (void)!write(ready[1], &byte, 1);
        sleep(5);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);
    EXPECT_EQ(App_Main(""), 0);
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
}

TEST_F(AppTest, PumpDispatchesThreadQuitButStopsAtAWindowQuit) {
    Plat_RegisterClass("Gravenholt", App_WindowProc);
    WindowHandle window = Plat_CreateWindow("Gravenholt", "Gravenholt", 100, 100);
    App_Globals().quit = false;
    Plat_PostQuitMessage(3);
    EXPECT_EQ(App_PumpMessage(), 1);
    EXPECT_FALSE(App_Globals().quit) << "a thread quit is an ordinary message";
    Plat_PostMessage(window, WM_QUIT, 42, 0);
    Plat_PostMessage(window, WM_CLOSE, 0, 0);
    Game_SetState(5);
    EXPECT_EQ(App_PumpMessage(), 1);
    EXPECT_TRUE(App_Globals().quit);
    EXPECT_EQ(App_Globals().exitCode, 42);
    EXPECT_EQ(App_PumpMessage(), 0) << "nothing more is taken";
    EXPECT_EQ(Plat_PendingMessages(), 1u);
    EXPECT_EQ(Game_GetState(), 5);
    App_Globals().quit = false;
}

TEST_F(AppTest, WindowMessagesSetTheGameState) {
    struct Case {
        uint32_t message;
        int32_t before;
        int32_t after;
    };
    const Case cases[] = {{WM_CLOSE, 5, 10}, {WM_DESTROY, 5, 2}, {WM_GAME_START, 2, 5}};
    for (const Case& c : cases) {
        Game_SetState(c.before);
        App_WindowProc(1, c.message, 0, 0);
        EXPECT_EQ(Game_GetState(), c.after) << c.message;
    }
}

TEST_F(AppTest, ModalStateSendsEveryMessageToTheModalProcedure) {
    Seam_Shell().modalProc = [](WindowHandle, uint32_t message, WParam, LParam) -> LResult {
        RecordedCalls().push_back("modal " + std::to_string(message));
        return 77;
    };
    Game_SetState(6);
    EXPECT_EQ(App_WindowProc(1, WM_CLOSE, 0, 0), 77);
    EXPECT_EQ(App_WindowProc(1, WM_KEYDOWN, 'A', 0), 77);
    EXPECT_EQ(Game_GetState(), 6) << "WM_CLOSE went to the modal screen, not to the game";
    EXPECT_EQ(RecordedCalls(), (Calls{"modal 16", "modal 256"}));
}

TEST_F(AppTest, KeysGoToTheFocusedTextFieldFirst) {
    Seam_Cockpit().keyboardOnMessage = [](uint32_t, WParam, LParam) { Record("keyboard"); };
    Seam_Shell().inGameMenuKey = [](uint32_t, WParam, LParam) { Record("menu"); };
    TextFieldDesc desc;
    desc.width = 200;
    desc.onEnter = [](TextField*, const char* text) { RecordedCalls().push_back(std::string("enter ") + text); };
    TextField* field = TextField_Create(desc);
    AppGlobals& app = App_Globals();
    app.inGame = true;
    app.screenMode = 1;
    Game_SetState(5);
    TextField_SetFocus(field, true);
    App_WindowProc(1, WM_KEYDOWN, 'A', 0);  // not a key the field acts on: still not the keyboard's
    App_WindowProc(1, WM_CHAR, 'a', 0);
    App_WindowProc(1, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(TextField_GetFocused(), nullptr) << "answering 2 gives up the focus";
    App_WindowProc(1, WM_KEYDOWN, 'B', 0);
    app.screenMode = 2;
    App_WindowProc(1, WM_KEYDOWN, 'C', 0);
    App_WindowProc(1, WM_KEYDOWN, VK_PAUSE, 0);
    EXPECT_EQ(RecordedCalls(), (Calls{"enter a", "keyboard", "menu"}));
    app.inGame = false;
}

// Step 16 is the last before the loop: posting the close there ends the first loop pass.
void PostCloseAtAudioStart(WindowHandle window) {
    Record("audio init");
    Plat_PostMessage(window, WM_CLOSE, 0, 0);
}

TEST_F(AppTest, CloseLeavesThroughTheShutdownOrder) {
    Seam_Audio().audioInit = PostCloseAtAudioStart;
    Seam_Shell().restoreMouseSettings = [] { Record("restore mouse"); };
    Seam_Shell().restoreSystemSettings = [] { Record("restore system"); };
    Seam_Cockpit().mouseRelease = [] { Record("release mouse"); };
    Seam_Audio().cdRestoreVolume = [] { Record("cd volume"); };
    Seam_Audio().movieDeviceClose = [] { Record("close movies"); };
    Seam_Render().freeSprites = [] { Record("free sprites"); };
    Seam_Render().freeFonts = [] { Record("free fonts"); };
    Seam_Render().saveGraphicOptions = [](bool clean) { Record(clean ? "clean exit" : "unclean"); };
    Seam_Cockpit().forceFeedbackClose = [] { Record("close force feedback"); };
    Seam_Shell().playerDefFree = [] { Record("free player"); };
    Seam_Cockpit().inputClose = [] { Record("close input"); };
    Seam_Audio().audioShutdown = [] { Record("audio off"); };
    Seam_Render().driverRelease = [] { Record("driver release"); };
    EXPECT_EQ(App_Main("-nointro"), 0);
    EXPECT_EQ(Game_GetState(), 2) << "the window is destroyed last";
    EXPECT_EQ(RecordedCalls(),
              (Calls{"audio init", "restore mouse", "restore system", "release mouse", "cd volume", "close movies",
                     "free sprites", "free fonts", "clean exit", "close force feedback", "free player",
                     "close input", "audio off", "driver release", "restore mouse", "cd volume"}));
    EXPECT_FALSE(Plat_IsWindow(App_Globals().mainWindow));
    EXPECT_EQ(App_Globals().workBuffer, nullptr);
}

TEST_F(AppTest, StartUpReadsTheMemoryStatusAndDecidesTheLanguageFromTheData) {
    Seam_Audio().audioInit = PostCloseAtAudioStart;
    std::filesystem::create_directories(profileDir + "/data/addon");
    std::ofstream(profileDir + "/data/addon/PrjInfo.txt", std::ios::binary) << "Language: German\r\n";
    Plat_ForgetDirectoryCache();
    EXPECT_EQ(App_Main("-nointro"), 0);
    EXPECT_EQ(Lang_GetId(), kLangGerman);
    MemoryStatus status{};
    Sys_GetCachedMemoryStatus(&status);
    EXPECT_GT(status.words[0], 0u);
}

TEST_F(AppTest, StartEditSetsTheEditorBitAndTheIntroIsSkippedWhenNoMovieOpens) {
    Seam_Audio().audioInit = PostCloseAtAudioStart;
    Seam_Audio().movieOpen = [](const char* name) {
        RecordedCalls().push_back(std::string("open ") + name);
        return false;
    };
    Seam_Shell().playerDef()[88] = 0;
    EXPECT_EQ(App_Main("-startedit"), 0);
    EXPECT_EQ(Seam_Shell().playerDef()[88] & 1, 1);
    EXPECT_EQ(RecordedCalls(), (Calls{"open intro.avi", "audio init"}));
    Seam_Shell().playerDef()[88] = 0;
}

TEST_F(AppTest, OutOfMemoryClosesTheDisplayAndEndsWith107) {
    EXPECT_EQ(RunForExit([] { App_OutOfMemory(nullptr); }), 107);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].caption, "Gravenholt");
    EXPECT_NE(Plat_MessageBoxLog()[0].text.find("not enough memory"), std::string::npos);
}

}  // namespace
