#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/debug.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "support/exit_trap.h"

namespace {

std::vector<std::string> g_events;

void RecordRelease() { g_events.push_back("releaseMouse"); }
void RecordCapture() { g_events.push_back("captureMouse"); }
void RecordDriverRelease() { g_events.push_back("driverRelease"); }
void RecordPause() { g_events.push_back("driverPause"); }
void RecordResume() { g_events.push_back("driverResume"); }
void RecordCloseInput() { g_events.push_back("closeInput"); }
void RecordLines(const char* text) { g_events.push_back(std::string("lines:") + text); }
void RecordDebugger(const char* text) { g_events.push_back(std::string("debugger:") + text); }

DiagnosticsHooks RecordingHooks() {
    DiagnosticsHooks hooks;
    hooks.releaseMouse = RecordRelease;
    hooks.captureMouse = RecordCapture;
    hooks.driverRelease = RecordDriverRelease;
    hooks.driverPause = RecordPause;
    hooks.driverResume = RecordResume;
    hooks.closeInput = RecordCloseInput;
    hooks.showDebugLines = RecordLines;
    hooks.debuggerOutput = RecordDebugger;
    return hooks;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class DiagnosticsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Plat_Init(BackendKind::Headless);
        Error_ResetForTests();
        Error_SetWindow(0);
        Error_SetCaption("Gravenholt Error");
        Error_SetBoxStyle(MB_ICONINFORMATION);
        Debug_SetOutputMode(kDebugOutNone);
        Debug_SetLogPath("debug.log");
        Diagnostics_SetHooks(RecordingHooks());
        Plat_SetMessageBoxPolicy({});
        Plat_ClearMessageBoxLog();
        g_events.clear();

        profile = std::filesystem::temp_directory_path() /
                  ("gv_diag_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(profile);
        std::filesystem::create_directories(profile);
        savedProfile = Plat_ProfileDir();
        Plat_SetProfileDir(profile.string());
    }
    void TearDown() override {
        Plat_SetProfileDir(savedProfile);
        std::filesystem::remove_all(profile);
        Diagnostics_ResetHooks();
        Debug_SetOutputMode(kDebugOutNone);
        Plat_SetMessageBoxPolicy({});
        Error_ResetForTests();
        Plat_Shutdown();
    }
    std::filesystem::path profile;
    std::string savedProfile;
};

TEST_F(DiagnosticsTest, FatalShowsOneErrorBoxInOrderAndEndsWith112) {
    Error_SetWindow(42);
    int code = RunForExit([] { Error_Fatal("bad %s %d\n", "thing", 7); });
    EXPECT_EQ(code, 112);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    const MessageBoxRecord& box = Plat_MessageBoxLog()[0];
    EXPECT_EQ(box.owner, 42u);
    EXPECT_EQ(box.text, "bad thing 7\n");
    EXPECT_EQ(box.caption, "Gravenholt Error");
    EXPECT_EQ(box.flags, MB_ICONERROR);
    EXPECT_EQ(g_events, (std::vector<std::string>{"releaseMouse", "driverRelease", "closeInput"}));
}

TEST_F(DiagnosticsTest, FatalRaisedWhileTheFatalBoxIsUpReturnsWithoutASecondBox) {
    bool innerReturned = false;
    Plat_SetMessageBoxPolicy([&innerReturned](const MessageBoxRecord&) {
        // Something the box's message loop runs fails too.
        Error_Fatal("second");
        innerReturned = true;
        return IDOK;
    });
    int code = RunForExit([] { Error_Fatal("first"); });
    EXPECT_TRUE(innerReturned) << "the nested fatal error must return, not exit";
    EXPECT_EQ(code, 112);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].text, "first");
    // Until the guard is cleared every later fatal error is ignored as well.
    EXPECT_EQ(RunForExit([] { Error_Fatal("third"); }), -1);
    EXPECT_EQ(Plat_MessageBoxLog().size(), 1u);
}

TEST_F(DiagnosticsTest, FatalUsesTheCaptionSetAndKeepsAtMost80Characters) {
    Error_SetCaption("Caption %d", 5);
    RunForExit([] { Error_Fatal("x"); });
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].caption, "Caption 5");

    Error_SetCaption("%s", std::string(200, 'c').c_str());
    EXPECT_EQ(std::string(Error_GetCaption()), std::string(80, 'c'));
}

TEST_F(DiagnosticsTest, LongMessagesAreCutAt1023CharactersNotOverrun) {
    const std::string huge(5000, 'm');
    RunForExit([&huge] { Error_Fatal("%s", huge.c_str()); });
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].text, std::string(1023, 'm'));

    Debug_SetOutputMode(kDebugOutDebugger);
    Debug_Printf("%s", huge.c_str());
    Debug_Trace("%s%s", huge.c_str(), huge.c_str());
    ASSERT_EQ(g_events.size(), 5u);  // three from the fatal error, then the two texts
    EXPECT_EQ(g_events[3], "debugger:" + std::string(1023, 'm'));
    EXPECT_EQ(g_events[4], "debugger:" + std::string(1023, 'm'));
}

TEST_F(DiagnosticsTest, WarningOkResumesAndRestoresMouseAndDisplay) {
    Plat_SetMessageBoxPolicy([](const MessageBoxRecord&) { return IDOK; });
    int code = RunForExit([] { Error_Warning("careful %d", 3); });
    EXPECT_EQ(code, -1);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    const MessageBoxRecord& box = Plat_MessageBoxLog()[0];
    EXPECT_EQ(box.text, "careful 3");
    EXPECT_EQ(box.caption, "Gravenholt Error");
    EXPECT_EQ(box.flags, MB_ICONWARNING | MB_OKCANCEL);
    EXPECT_EQ(g_events,
              (std::vector<std::string>{"releaseMouse", "driverPause", "captureMouse", "driverResume"}));
}

TEST_F(DiagnosticsTest, WarningCancelClosesInputReleasesDisplayAndEndsWith113) {
    Plat_SetMessageBoxPolicy([](const MessageBoxRecord&) { return IDCANCEL; });
    int code = RunForExit([] { Error_Warning("careful"); });
    EXPECT_EQ(code, 113);
    EXPECT_EQ(g_events,
              (std::vector<std::string>{"releaseMouse", "driverPause", "closeInput", "driverRelease"}));
}

TEST_F(DiagnosticsTest, OutputModeAboveFourOrNegativeIsRefusedAndTheOldModeKept) {
    EXPECT_EQ(Debug_SetOutputMode(kDebugOutLog), 0);
    EXPECT_EQ(Debug_SetOutputMode(5), 2);
    EXPECT_EQ(Debug_SetOutputMode(-1), 2);
    EXPECT_EQ(Debug_GetOutputMode(), kDebugOutLog);
    EXPECT_EQ(Debug_SetOutputMode(kDebugOutNone), 0);
}

TEST_F(DiagnosticsTest, PrintfRoutesByMode) {
    Error_SetWindow(9);
    Error_SetBoxStyle(MB_ICONWARNING);

    Debug_SetOutputMode(kDebugOutNone);
    Debug_Printf("none %d", 0);
    Debug_SetOutputMode(kDebugOutScreenLines);
    Debug_Printf("lines %d", 1);
    Debug_SetOutputMode(kDebugOutDebugger);
    Debug_Printf("debugger %d", 2);
    Debug_SetOutputMode(kDebugOutMessageBox);
    Debug_Printf("box %d", 3);
    Debug_SetOutputMode(kDebugOutLog);
    Debug_Printf("log %d\n", 4);

    EXPECT_EQ(g_events, (std::vector<std::string>{"lines:lines 1", "debugger:debugger 2"}));
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].text, "box 3");
    EXPECT_EQ(Plat_MessageBoxLog()[0].owner, 9u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].caption, "Gravenholt Error");
    EXPECT_EQ(Plat_MessageBoxLog()[0].flags, MB_ICONWARNING);
    EXPECT_EQ(ReadFile(profile / "debug.log"), "log 4\n");
}

TEST_F(DiagnosticsTest, PrintfInBoxModeWithoutAWindowShowsNothing) {
    Debug_SetOutputMode(kDebugOutMessageBox);
    Debug_Printf("before the window exists");
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
    Error_SetWindow(5);
    Debug_Printf("after");
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0].flags, MB_ICONINFORMATION);
}

TEST_F(DiagnosticsTest, TraceGoesToTheDebuggerWhateverTheMode) {
    Debug_SetOutputMode(kDebugOutNone);
    Debug_Trace("WM_ACTIVATE: hWnd(%x)\n", 0x10);
    EXPECT_EQ(g_events, (std::vector<std::string>{"debugger:WM_ACTIVATE: hWnd(10)\n"}));
}

TEST_F(DiagnosticsTest, AppendLogAddsToTheFileInTheProfileDirectoryEachTime) {
    {
        std::ofstream old(profile / "debug.log", std::ios::binary);
        old << "old\n";
    }
    EXPECT_EQ(Debug_AppendLog("one\n"), 1);
    EXPECT_EQ(Debug_AppendLog("two\n"), 1);
    EXPECT_EQ(ReadFile(profile / "debug.log"), "old\none\ntwo\n");
    // Every append closes the file again: it can be removed between two appends.
    std::filesystem::remove(profile / "debug.log");
    Plat_ForgetDirectoryCache();
    EXPECT_EQ(Debug_AppendLog("three\n"), 1);
    EXPECT_EQ(ReadFile(profile / "debug.log"), "three\n");
}

TEST_F(DiagnosticsTest, OpenLogTruncatesAndTheNextAppendUsesTheOpenFile) {
    {
        std::ofstream old(profile / "trace.txt", std::ios::binary);
        old << "stale contents\n";
    }
    Debug_SetLogPath("trace.txt");
    EXPECT_EQ(Debug_OpenLog(), 1);
    EXPECT_EQ(Debug_OpenLog(), 1);  // a second open starts afresh too
    EXPECT_EQ(Debug_AppendLog("fresh\n"), 1);
    EXPECT_EQ(Debug_AppendLog("more\n"), 1);
    EXPECT_EQ(ReadFile(profile / "trace.txt"), "fresh\nmore\n");
}

TEST_F(DiagnosticsTest, AppendLogReturnsZeroWhenTheFileCannotBeOpened) {
    Debug_SetLogPath("no_such_dir/sub/debug.log");
    EXPECT_EQ(Debug_AppendLog("lost\n"), 0);
    EXPECT_EQ(Debug_OpenLog(), 0);
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
}

TEST_F(DiagnosticsTest, LogPathKeepsAtMost256Characters) {
    Debug_SetLogPath(std::string(300, 'p').c_str());
    EXPECT_EQ(std::string(Debug_GetLogPath()), std::string(256, 'p'));
}

// ---- The debug screen ----

struct ScreenCalls {
    std::vector<DebugScreenPage*> drawn;
};
ScreenCalls g_screenCalls;

void DrawPage(DebugScreenPage* page) {
    g_screenCalls.drawn.push_back(page);
    DebugScreen_ClearPage(page);
}

class DebugScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        DebugScreen_Reset();
        g_screenCalls = {};
    }
    void TearDown() override { DebugScreen_Reset(); }

    static std::string Row(int row) {
        std::string text;
        const uint8_t* cells = DebugScreen_Cells();
        for (int x = 0; x < kDebugScreenColumns; ++x) {
            char c = static_cast<char>(cells[(row * kDebugScreenColumns + x) * 2]);
            text += c ? c : '.';
        }
        while (!text.empty() && text.back() == '.') text.pop_back();
        return text;
    }
    static uint8_t Attr(int row, int column) { return DebugScreen_Cells()[(row * kDebugScreenColumns + column) * 2 + 1]; }
};

TEST_F(DebugScreenTest, WritesGoOnlyToTheShownPage) {
    DebugScreenPage* a = DebugScreen_AddPage(DrawPage);
    DebugScreenPage* b = DebugScreen_AddPage(DrawPage);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);

    DebugScreen_Write(a, "hidden", 0, 0, 7);
    EXPECT_EQ(Row(0), "");

    DebugScreen_Show(a);
    EXPECT_TRUE(DebugScreen_IsPageShown(a));
    EXPECT_FALSE(DebugScreen_IsPageShown(b));
    EXPECT_FALSE(DebugScreen_IsPageShown(nullptr));
    DebugScreen_Write(b, "other", 0, 0, 7);
    DebugScreen_Printf(a, 3, 2, 0x70, "v=%d", 42);
    EXPECT_EQ(Row(0), "");
    EXPECT_EQ(Row(2), "...v=42");
    EXPECT_EQ(Attr(2, 3), 0x70);
}

TEST_F(DebugScreenTest, ClearKeepsOnlyTheLowAttributeBitsAndOnlyForTheShownPage) {
    DebugScreenPage* a = DebugScreen_AddPage(nullptr);
    DebugScreenPage* b = DebugScreen_AddPage(nullptr);
    DebugScreen_Show(a);
    DebugScreen_Write(a, "xy", 0, 5, 0xF3);
    DebugScreen_ClearPage(b);
    EXPECT_EQ(Row(5), "xy");
    DebugScreen_ClearPage(a);
    EXPECT_EQ(Row(5), "");
    EXPECT_EQ(Attr(5, 0), 0x03);
    EXPECT_EQ(Attr(5, 1), 0x03);
}

TEST_F(DebugScreenTest, RowsOutside0To23AfterScrollingAreDropped) {
    DebugScreenPage* a = DebugScreen_AddPage(nullptr);
    DebugScreen_Show(a);
    DebugScreen_Write(a, "top", 0, 0, 7);
    DebugScreen_Write(a, "last", 0, 23, 7);
    DebugScreen_Write(a, "status", 0, 24, 7);
    DebugScreen_Write(a, "neg", 0, -1, 7);
    EXPECT_EQ(Row(0), "top");
    EXPECT_EQ(Row(23), "last");
    EXPECT_EQ(Row(24), "");

    DebugScreen_ScrollDown();
    EXPECT_EQ(DebugScreen_ScrollOffset(), 10);
    DebugScreen_Show(nullptr);
    DebugScreen_Show(a);
    DebugScreen_Write(a, "row9", 0, 9, 7);    // above the window: dropped
    DebugScreen_Write(a, "row10", 0, 10, 7);  // first shown row
    DebugScreen_Write(a, "row33", 0, 33, 7);  // last shown row
    DebugScreen_Write(a, "row34", 0, 34, 7);  // below: dropped
    EXPECT_EQ(Row(0), "row10");
    EXPECT_EQ(Row(23), "row33");
    for (int r = 1; r < 23; ++r) EXPECT_EQ(Row(r), "") << r;

    DebugScreen_ScrollUp();
    DebugScreen_ScrollUp();
    EXPECT_EQ(DebugScreen_ScrollOffset(), 0) << "the offset never goes below 0";
}

TEST_F(DebugScreenTest, TextIsClippedAtTheRowsEnd) {
    DebugScreenPage* a = DebugScreen_AddPage(nullptr);
    DebugScreen_Show(a);
    DebugScreen_Write(a, "abcdefghij", 75, 3, 7);
    EXPECT_EQ(Row(3), std::string(75, '.') + "abcde");
    EXPECT_EQ(Row(4), "") << "nothing spills into the next row";
    DebugScreen_Write(a, "abc", -2, 6, 7);
    EXPECT_EQ(Row(6), "c");
    DebugScreen_Write(a, std::string(200, 'z').c_str(), 0, 23, 7);
    EXPECT_EQ(Row(23), std::string(80, 'z'));
    EXPECT_EQ(Row(24), "") << "the last row must not spill past the screen";
    DebugScreen_Printf(a, 0, 7, 7, "%s", std::string(200, 'q').c_str());
    EXPECT_EQ(Row(7), std::string(80, 'q'));
}

TEST_F(DebugScreenTest, The33rdPageIsRefused) {
    for (int i = 0; i < kDebugScreenMaxPages; ++i) ASSERT_NE(DebugScreen_AddPage(DrawPage), nullptr) << i;
    EXPECT_EQ(DebugScreen_AddPage(DrawPage), nullptr);
    EXPECT_EQ(DebugScreen_PageCount(), kDebugScreenMaxPages);
}

TEST_F(DebugScreenTest, ToggleAndPageFlippingWrapAndRedrawTheShownPage) {
    DebugScreenPage* p[3];
    for (auto& page : p) page = DebugScreen_AddPage(DrawPage);

    DebugScreen_NextPage();  // nothing shown: only the selection moves
    EXPECT_TRUE(g_screenCalls.drawn.empty());
    EXPECT_EQ(DebugScreen_SelectedPage(), p[1]);

    DebugScreen_Toggle();
    EXPECT_EQ(DebugScreen_ShownPage(), p[1]);
    DebugScreen_NextPage();
    DebugScreen_NextPage();  // wraps to the first
    DebugScreen_PrevPage();  // wraps back to the last
    EXPECT_EQ(g_screenCalls.drawn, (std::vector<DebugScreenPage*>{p[1], p[2], p[0], p[2]}));
    EXPECT_EQ(DebugScreen_ShownPage(), p[2]);

    DebugScreen_Write(p[2], "text", 0, 0, 0x0F);
    DebugScreen_Toggle();
    EXPECT_EQ(DebugScreen_ShownPage(), nullptr);
    EXPECT_EQ(Row(0), "") << "hiding clears the screen";

    DebugScreen_ScrollDown();  // hidden: no redraw
    EXPECT_EQ(g_screenCalls.drawn.size(), 4u);
    DebugScreen_Toggle();
    DebugScreen_ScrollDown();
    EXPECT_EQ(g_screenCalls.drawn.size(), 6u);
    EXPECT_EQ(DebugScreen_ScrollOffset(), 20);
}

TEST_F(DebugScreenTest, FlippingOrTogglingWithoutPagesDoesNothing) {
    DebugScreen_NextPage();
    DebugScreen_PrevPage();
    DebugScreen_Toggle();
    EXPECT_EQ(DebugScreen_ShownPage(), nullptr);
    EXPECT_EQ(DebugScreen_SelectedPage(), nullptr);
}

}  // namespace
