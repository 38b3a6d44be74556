#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "platform/window.h"
#include "support/exit_trap.h"
#include "platform/exit.h"

namespace {

std::vector<PlatMsg> g_seen;
LResult RecordingProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    g_seen.push_back(PlatMsg{window, message, wParam, lParam, 0});
    return 7;
}

class QueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        Plat_Init(BackendKind::Headless);
        Plat_ClearMessages();
        g_seen.clear();
        ASSERT_TRUE(Plat_RegisterClass("QueueTest", RecordingProc));
        window = Plat_CreateWindow("QueueTest", "Caption", 320, 200);
        ASSERT_NE(window, 0u);
    }
    void TearDown() override {
        Plat_DestroyWindow(window);
        Plat_ClearMessages();
        Plat_Shutdown();
    }
    WindowHandle window = 0;
};

TEST_F(QueueTest, CreateAndDestroySendTheirMessagesAndFindByClassIgnoresCase) {
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, WM_CREATE);
    EXPECT_EQ(Plat_FindWindow("queuetest"), window);
    EXPECT_EQ(Plat_GetWindowCaption(window), "Caption");
    WindowHandle other = Plat_CreateWindow("QueueTest", "Other", 10, 10);
    Plat_DestroyWindow(other);
    EXPECT_EQ(g_seen.back().message, WM_DESTROY);
    EXPECT_FALSE(Plat_IsWindow(other));
    EXPECT_FALSE(Plat_PostMessage(other, WM_USER, 0, 0)) << "posting to a dead window is refused";
    EXPECT_EQ(Plat_CreateWindow("NoSuchClass", "x", 1, 1), 0u);
}

TEST_F(QueueTest, PeekGetAndDispatchKeepOrder) {
    Plat_PostMessage(window, WM_USER + 1, 1, 2);
    Plat_PostQuitMessage(5);
    Plat_PostMessage(window, WM_USER + 2, 3, 4);
    PlatMsg msg;
    ASSERT_TRUE(Plat_PeekMessage(&msg, false));
    EXPECT_EQ(msg.message, WM_USER + 1);
    EXPECT_EQ(Plat_PendingMessages(), 3u) << "peek without remove leaves the message";
    ASSERT_TRUE(Plat_GetMessage(&msg));
    EXPECT_EQ(Plat_DispatchMessage(&msg), 7);
    EXPECT_FALSE(Plat_GetMessage(&msg)) << "a quit ends GetMessage";
    EXPECT_EQ(msg.window, 0u);
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_EQ(Plat_DispatchMessage(&msg), 0) << "a thread message goes to no window";
    ASSERT_TRUE(Plat_PeekMessage(&msg, true));
    EXPECT_EQ(msg.message, WM_USER + 2);
    EXPECT_FALSE(Plat_PeekMessage(&msg, true));
}

TEST_F(QueueTest, TranslatePutsTheCharacterNext) {
    struct Case {
        int vk;
        bool shift;
        int expected;
    };
    const Case cases[] = {{'A', false, 'a'}, {'A', true, 'A'}, {'1', true, '!'}, {VK_SPACE, false, ' '},
                          {VK_RETURN, false, '\r'}, {VK_OEM_MINUS, true, '_'}, {VK_F1, false, 0}};
    for (const Case& c : cases) {
        Plat_ClearMessages();
        Plat_SetKeyState(VK_SHIFT, c.shift);
        Plat_PostMessage(window, WM_USER, 0, 0);
        PlatMsg key{window, WM_KEYDOWN, static_cast<WParam>(c.vk), 0, 0};
        EXPECT_EQ(Plat_TranslateMessage(&key), c.expected != 0) << c.vk;
        PlatMsg next;
        ASSERT_TRUE(Plat_PeekMessage(&next, true));
        if (c.expected) {
            EXPECT_EQ(next.message, WM_CHAR);
            EXPECT_EQ(next.wParam, static_cast<WParam>(c.expected));
        } else {
            EXPECT_EQ(next.message, WM_USER);
        }
    }
    Plat_SetKeyState(VK_SHIFT, false);
}

TEST_F(QueueTest, TimersPostOnTheVirtualClock) {
    Plat_UseVirtualClock(1000);
    ASSERT_TRUE(Plat_SetTimer(window, 3, 50));
    PlatMsg msg;
    EXPECT_FALSE(Plat_PeekMessage(&msg, true));
    Plat_AdvanceVirtualClock(50);
    ASSERT_TRUE(Plat_PeekMessage(&msg, true));
    EXPECT_EQ(msg.message, WM_TIMER);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_TRUE(Plat_KillTimer(window, 3));
    Plat_AdvanceVirtualClock(100);
    EXPECT_FALSE(Plat_PeekMessage(&msg, true));
    Plat_UseRealClock();
}

TEST_F(QueueTest, HeadlessBoxesFollowThePolicyAndAreRecorded) {
    Plat_ClearMessageBoxLog();
    EXPECT_EQ(Plat_MessageBox(window, "text", "cap", MB_OKCANCEL), IDOK);
    EXPECT_EQ(Plat_MessageBox(window, "q", "cap", MB_YESNO), IDYES);
    Plat_SetMessageBoxPolicy([](const MessageBoxRecord& box) { return box.buttons.empty() ? IDCANCEL : 1; });
    EXPECT_EQ(Plat_MessageBox(window, "again", "cap", MB_OKCANCEL | MB_ICONWARNING), IDCANCEL);
    EXPECT_EQ(Plat_MessageBoxButtons(window, "pick", "cap", {"A", "B"}), 1);
    Plat_SetMessageBoxPolicy(nullptr);
    const auto& log = Plat_MessageBoxLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2].text, "again");
    EXPECT_EQ(log[2].flags, MB_OKCANCEL | MB_ICONWARNING);
    EXPECT_EQ(log[2].answer, IDCANCEL);
    EXPECT_EQ(log[3].buttons.size(), 2u);
}

TEST(PlatformExit, HookSeesTheCode) {
    EXPECT_EQ(RunForExit([] { Plat_Exit(151); }), 151);
    EXPECT_EQ(RunForExit([] {}), -1);
}

TEST(PlatformClock, VirtualSleepAdvancesTime) {
    Plat_UseVirtualClock(10);
    Plat_Sleep(16);
    EXPECT_EQ(Plat_Milliseconds(), 26u);
    EXPECT_EQ(Plat_VirtualSleepTotal(), 16u);
    Plat_UseRealClock();
    uint32_t a = Plat_Milliseconds();
    Plat_Sleep(2);
    EXPECT_GE(Plat_Milliseconds() - a, 2u);
}

TEST(PlatformMemory, FailedAllocationsAreInjected) {
    Plat_FailAllocationsOfSize(1 << 20, 1);
    void* small = Plat_AllocPages(4096);
    ASSERT_NE(small, nullptr) << "blocks of other sizes still succeed";
    Plat_FreePages(small, 4096);
    EXPECT_EQ(Plat_AllocPages(1 << 20), nullptr);
    void* big = Plat_AllocPages(1 << 20);
    ASSERT_NE(big, nullptr);
    Plat_FreePages(big, 1 << 20);
}

}  // namespace
