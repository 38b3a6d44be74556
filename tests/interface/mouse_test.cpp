// The mouse: buttons and wheel from messages, axes sampled from the cursor.
#include "core/app.h"
#include "interface/input_fixture.h"
#include "interface/inputdevices.h"
#include "platform/input.h"

namespace {

class MouseTest : public InputFixture {
protected:
    Reading Read() {
        Reading reading;
        MouseDevice.read(nullptr, reading.analog, reading.discrete);
        return reading;
    }
    void MoveCursor(int dx, int dy) {
        int x = 0, y = 0;
        Plat_GetCursorPos(window, &x, &y);
        Plat_SetCursorPos(window, x + dx, y + dy);
    }
    static WParam Wheel(int delta) { return static_cast<WParam>(static_cast<uint16_t>(delta)) << 16; }
};

TEST_F(MouseTest, ButtonsAndWheelsAreReportedOncePerRead) {
    struct Case {
        uint32_t message;
        WParam wParam;
        int repeats;
        uint32_t bit;
    };
    const Case cases[] = {
        {WM_MOUSEWHEEL, Wheel(120), 5, kMouseWheelUp},       {WM_MOUSEWHEEL, Wheel(-240), 1, kMouseWheelDown},
        {WM_MOUSEHWHEEL, Wheel(120), 2, kMouseWheelRight},   {WM_MOUSEHWHEEL, Wheel(-120), 1, kMouseWheelLeft},
        {WM_XBUTTONDOWN, XBUTTON1 << 16, 1, kMouseX1},       {WM_XBUTTONDOWN, XBUTTON2 << 16, 1, kMouseX2},
        {WM_LBUTTONDOWN, 0, 1, kMouseLeft},                  {WM_MBUTTONDBLCLK, 0, 1, kMouseMiddle},
    };
    uint32_t held = 0;
    for (const Case& c : cases) {
        for (int i = 0; i < c.repeats; ++i) Plat_PostMessage(window, c.message, c.wParam, 0);
        App_PumpAllMessages();
        EXPECT_EQ(Read().discrete[0] & ~held, c.bit) << c.message;
        const uint32_t next = Read().discrete[0];
        if (c.message == WM_MOUSEWHEEL || c.message == WM_MOUSEHWHEEL) {
            EXPECT_EQ(next, held) << "a wheel step is reported for one read";
        } else {
            EXPECT_EQ(next, held | c.bit) << "a held button stays pressed";
            held |= c.bit;
        }
    }
    Post(WM_XBUTTONUP, (XBUTTON1 | XBUTTON2) << 16);
    Post(WM_LBUTTONUP);
    Post(WM_MBUTTONUP);
    EXPECT_EQ(Read().discrete[0], kMouseX1 | kMouseX2 | kMouseLeft | kMouseMiddle);  // released: one more read
    EXPECT_EQ(Read().discrete[0], 0u);
    // Pressed and released between two reads: reported once.
    Post(WM_RBUTTONDOWN);
    Post(WM_RBUTTONUP);
    EXPECT_EQ(Read().discrete[0], kMouseRight);
    EXPECT_EQ(Read().discrete[0], 0u);
}

TEST_F(MouseTest, AxesSampleTheCursorOffsetFromTheCentreScaledBySensitivity) {
    SetFrameTime(20);
    Plat_SetCursorPos(window, 320, 240);
    MoveCursor(10, -4);
    Reading reading = Read();
    EXPECT_EQ(reading.analog[0], 1000);  // 10 pixels at factor 100
    EXPECT_EQ(reading.analog[2], -400);
    EXPECT_NEAR(reading.analog[1], 1000 / 0.02, 60);  // per second
    int x = 0, y = 0;
    Plat_GetCursorPos(window, &x, &y);
    EXPECT_EQ(x, 320);  // back at the centre
    EXPECT_EQ(y, 240);
    MoveCursor(10, 0);
    EXPECT_EQ(Read().analog[0], 2000);  // positions add up

    struct Case {
        uint8_t setting;
        int32_t expected;
    };
    const Case cases[] = {{0, 500}, {6, 2000}, {200, 2000}};  // an out-of-range setting is clamped
    for (const Case& c : cases) {
        settings[96] = c.setting;
        MouseDevice.resetChannel(nullptr, 0);
        MoveCursor(10, 0);
        EXPECT_EQ(Read().analog[0], c.expected) << int(c.setting);
    }
    settings[96] = 6;
    MoveCursor(600, 0);  // the position stops at 65536
    for (int i = 0; i < 3; ++i) {
        MoveCursor(300, 0);
        Read();
    }
    EXPECT_EQ(Read().analog[0], 65536);
    Plat_SetCursorPos(window, 1 << 30, -(1 << 30));  // far away: no overflow on the way
    const Reading far = Read();
    EXPECT_EQ(far.analog[0], 65536);
    EXPECT_EQ(far.analog[2], -65536);
    EXPECT_GT(far.analog[1], 0);
}

TEST_F(MouseTest, NoSampleBeforeASixtiethOfASecondHasAccumulated) {
    SetFrameTime(10);
    Plat_SetCursorPos(window, 330, 240);
    EXPECT_EQ(Read().analog[0], 0);
    int x = 0;
    Plat_GetCursorPos(window, &x, nullptr);
    EXPECT_EQ(x, 330);  // not sampled, not re-centred
    EXPECT_EQ(Read().analog[0], 1000);
}

TEST_F(MouseTest, WithoutFocusNothingIsReportedAndTheAccumulatorRestarts) {
    SetFrameTime(10);
    Plat_SetCursorPos(window, 330, 240);
    Read();  // 10 ms accumulated
    Post(WM_LBUTTONDOWN);
    Plat_SetFocus(0);
    Reading reading{};
    reading.analog[0] = 77;
    MouseDevice.read(nullptr, reading.analog, reading.discrete);
    EXPECT_EQ(reading.discrete[0], 0u);
    EXPECT_EQ(reading.analog[0], 77);  // axes left alone
    Plat_SetFocus(window);
    EXPECT_EQ(Read().analog[0], 0);  // 10 ms again: the accumulator had gone back to 0
    reading = Read();
    EXPECT_EQ(reading.analog[0], 1000);
    EXPECT_EQ(reading.discrete[0], kMouseLeft);  // the button kept while away
}

TEST_F(MouseTest, CaptureAndReleaseClipHideAndShowTheCursor) {
    Post(WM_LBUTTONDOWN);
    Mouse_Capture();
    EXPECT_EQ(Plat_CursorClipWindow(), window);
    EXPECT_EQ(Plat_ShowCursor(true), 0);  // the capture had hidden it at -1
    Plat_ShowCursor(false);
    Mouse_Capture();  // a second capture hides no further
    EXPECT_EQ(Plat_ShowCursor(true), 0);
    Plat_ShowCursor(false);
    int x = 0, y = 0;
    Plat_GetCursorPos(window, &x, &y);
    EXPECT_EQ(x, 320);  // centred
    EXPECT_EQ(Read().discrete[0], 0u);  // buttons cleared

    Plat_ShowCursor(false);  // someone else hid it once more
    Mouse_Release();
    EXPECT_EQ(Plat_CursorClipWindow(), 0u);
    EXPECT_EQ(Plat_ShowCursor(false), -1);  // shown again at 0
}

TEST_F(MouseTest, RequestedResetZeroesTheAxesOnlyWhileCaptured) {
    SetFrameTime(20);
    Plat_SetCursorPos(window, 330, 240);
    Read();
    Mouse_RequestReset();
    MoveCursor(0, 0);
    EXPECT_EQ(Read().analog[0], 1000);  // not captured: the request waits
    Mouse_Capture();
    MoveCursor(10, 0);
    EXPECT_EQ(Read().analog[0], 1000);
    MoveCursor(10, 0);
    Mouse_RequestReset();
    EXPECT_EQ(Read().analog[0], 1000);  // zeroed first, then this sample
    EXPECT_EQ(Plat_CursorClipWindow(), window);
    Mouse_Release();
}

TEST_F(MouseTest, Description) {
    InputDeviceRecord record;
    ASSERT_EQ(MouseDevice.describe(0, &record), 0);
    EXPECT_STREQ(record.name, "mouse");
    EXPECT_STREQ(record.displayName, "Mouse");
    ASSERT_EQ(record.analogCount, 4);
    ASSERT_EQ(record.discreteCount, 9);
    EXPECT_STREQ(record.analogShortNames[1], "HorizVel");
    EXPECT_STREQ(record.discreteShortNames[3], "X1Btn");
    EXPECT_STREQ(record.discreteLongNames[8], "Wheel Right");
}

}  // namespace
