// Joysticks on scripted sticks: curves, half-buttons, the hat, names and the unplugged stick.
#include <string>
#include <vector>

#include "interface/input_fixture.h"
#include "interface/inputdevices.h"
#include "platform/input.h"
#include "platform/msgbox.h"
#include "support/exit_trap.h"
#include "core/debug.h"

namespace {

class JoystickTest : public InputFixture {
protected:
    void TearDown() override {
        for (InputDeviceRecord& record : opened_) JoystickDevice.close(&record);
        InputFixture::TearDown();
    }
    static PlatJoyCaps Caps(int axes, int buttons, bool hat, int32_t min = 0, int32_t max = 254) {
        PlatJoyCaps caps;
        for (int a = 0; a < kJoyAxisCount; ++a) {
            caps.hasAxis[a] = a < axes;
            caps.axisMin[a] = min;
            caps.axisMax[a] = max;
        }
        caps.buttons = buttons;
        caps.hasHat = hat;
        return caps;
    }
    // Describes and opens joystick id.
    InputDeviceRecord& Open(int id) {
        opened_.emplace_back();
        InputDeviceRecord& record = opened_.back();
        EXPECT_EQ(JoystickDevice.describe(id, &record), 0);
        EXPECT_EQ(JoystickDevice.open(&record), 0);
        return record;
    }
    Reading Read(const InputDeviceRecord& record) {
        Reading reading;
        JoystickDevice.read(record.privateData, reading.analog, reading.discrete);
        return reading;
    }
    // The discrete channel's bit, by short name.
    static int BitOf(const InputDeviceRecord& record, const char* name) {
        for (int i = 0; i < record.discreteCount; ++i)
            if (std::string(record.discreteShortNames[i]) == name) return i;
        ADD_FAILURE() << name;
        return 0;
    }
    std::vector<InputDeviceRecord> opened_ = std::vector<InputDeviceRecord>();

    void SetUp() override {
        InputFixture::SetUp();
        opened_.reserve(8);
    }
};

TEST_F(JoystickTest, CurvesFromSixthPowerToStraight) {
    struct Case {
        int curve;
        int position;
        int32_t value;
    };
    const Case cases[] = {{0, 64, 1073},      {0, -64, -1073},   {10, 64, 33026},   {10, -64, -33026},
                          {0, 127, 65536},    {0, -127, -65536}, {10, 127, 65536},  {5, 0, 0},
                          {0, 300, 65536},    {0, -300, -65536}, {-4, 64, 1073},    {99, 64, 33026}};
    for (const Case& c : cases)
        EXPECT_EQ(Joystick_CurveValue(c.curve, c.position), c.value) << c.curve << " at " << c.position;

    // Through a read: the range 0..254 puts position 191 at curve index 64.
    Plat_ScriptJoyConnect(0, Caps(2, 0, false), false);
    InputDeviceRecord& stick = Open(0);
    Plat_ScriptJoyAxis(0, kJoyAxisX, 191);
    Plat_ScriptJoyAxis(0, kJoyAxisY, 63);
    settings[100] = 10;
    Reading reading = Read(stick);
    EXPECT_EQ(reading.analog[0], 33026);
    EXPECT_EQ(reading.analog[1], -33026);
    settings[100] = 250;  // out of range: the last curve
    EXPECT_EQ(Read(stick).analog[0], 33026);
}

TEST_F(JoystickTest, OutOfRangeAndDegenerateAxesStayInsideTheCurve) {
    PlatJoyCaps caps = Caps(3, 0, false, 0, 1000);
    caps.axisMin[kJoyAxisZ] = caps.axisMax[kJoyAxisZ] = 500;
    Plat_ScriptJoyConnect(0, caps, false);
    InputDeviceRecord& stick = Open(0);
    Plat_ScriptJoyAxis(0, kJoyAxisX, 5000);
    Plat_ScriptJoyAxis(0, kJoyAxisY, -5000);
    Plat_ScriptJoyAxis(0, kJoyAxisZ, 700);
    const Reading reading = Read(stick);
    EXPECT_EQ(reading.analog[0], 65536);
    EXPECT_EQ(reading.analog[1], -65536);
    EXPECT_EQ(reading.analog[2], 0);  // max equal to min reads centred
}

TEST_F(JoystickTest, HalfButtonsBeyondTheQuarterThresholds) {
    Plat_ScriptJoyConnect(0, Caps(2, 0, false, 0, 1000), false);
    InputDeviceRecord& stick = Open(0);
    const int neg = BitOf(stick, "HorizNeg"), pos = BitOf(stick, "HorizPos");
    struct Case {
        int32_t position;
        bool negative;
        bool positive;
    };
    // (max + 3 min) / 4 = 250 and (3 max + min) / 4 = 750.
    const Case cases[] = {{0, true, false},   {249, true, false},  {250, false, false},
                          {500, false, false}, {750, false, false}, {751, false, true}};
    for (const Case& c : cases) {
        Plat_ScriptJoyAxis(0, kJoyAxisX, c.position);
        const Reading reading = Read(stick);
        EXPECT_EQ(reading.on(neg), c.negative) << c.position;
        EXPECT_EQ(reading.on(pos), c.positive) << c.position;
    }
}

TEST_F(JoystickTest, HatDirections) {
    Plat_ScriptJoyConnect(0, Caps(2, 3, true), false);
    InputDeviceRecord& stick = Open(0);
    const int up = BitOf(stick, "HatUp"), right = BitOf(stick, "HatRight"), down = BitOf(stick, "HatDown"),
              left = BitOf(stick, "HatLeft");
    EXPECT_EQ(up, 3);  // after the buttons
    struct Case {
        uint32_t angle;
        std::vector<int> bits;
    };
    const Case cases[] = {{0, {up}},          {4500, {up, right}}, {9000, {right}},       {13500, {right, down}},
                          {18000, {down}},    {22500, {down, left}}, {27000, {left}},     {31500, {up, left}},
                          {kJoyHatCentred, {}}, {1000, {}}};
    for (const Case& c : cases) {
        Plat_ScriptJoyHat(0, c.angle);
        const Reading reading = Read(stick);
        std::vector<int> on;
        for (int bit : {up, right, down, left})
            if (reading.on(bit)) on.push_back(bit);
        EXPECT_EQ(on, c.bits) << c.angle;
    }
}

TEST_F(JoystickTest, TypeNamesFromTheNameOrTheCapabilities) {
    struct Case {
        const char* name;
        int axes;  // 2: X Y, 3: + Z, 4: + R
        bool noZ;  // R without Z
        int buttons;
        bool hat;
        const char* type;
    };
    const Case cases[] = {
        {"Head Tracker 2", 2, false, 2, false, "tracker"},  {"My SideWinder", 2, false, 2, false, "sidewind"},
        {"", 4, false, 8, true, "sidewind"},                {"CH Flightstick Pro", 2, false, 2, false, "fltstick"},
        {"", 3, false, 4, true, "fltstick"},                {"Thrustmaster T1", 2, false, 2, false, "tmaster"},
        {"", 4, true, 4, true, "tmaster"},                  {"", 4, false, 6, true, "joystick"},
        {"Gamepad", 2, false, 4, true, "joystick"},
    };
    int id = 0;
    for (const Case& c : cases) {
        PlatJoyCaps caps = Caps(c.axes, c.buttons, c.hat);
        caps.name = c.name;
        if (c.noZ) caps.hasAxis[kJoyAxisZ] = false;
        Plat_ScriptJoyConnect(id, caps, false);
        InputDeviceRecord record;
        ASSERT_EQ(JoystickDevice.describe(id, &record), 0);
        EXPECT_STREQ(record.typeName, c.type) << c.name << " " << c.axes;
        EXPECT_STREQ(record.name, ("joystick" + std::to_string(id + 1)).c_str());
        EXPECT_STREQ(record.displayName, *c.name ? c.name : ("Joystick " + std::to_string(id + 1)).c_str());
        JoystickDevice.close(&record);
        ++id;
    }
}

TEST_F(JoystickTest, ChannelsInTheirOrder) {
    PlatJoyCaps caps = Caps(6, 2, true);
    caps.hasAxis[kJoyAxisZ] = false;
    Plat_ScriptJoyConnect(0, caps, false);
    InputDeviceRecord& stick = Open(0);
    std::vector<std::string> analog, discrete;
    for (int i = 0; i < stick.analogCount; ++i) analog.push_back(stick.analogShortNames[i]);
    for (int i = 0; i < stick.discreteCount; ++i) discrete.push_back(stick.discreteShortNames[i]);
    EXPECT_EQ(analog, (std::vector<std::string>{"HorizPos", "VertPos", "Rudder", "USlider", "VSlider"}));
    EXPECT_EQ(discrete, (std::vector<std::string>{"Button1", "Button2", "HatUp", "HatRight", "HatDown", "HatLeft",
                                                  "HorizNeg", "HorizPos", "VertNeg", "VertPos", "RudderNeg",
                                                  "RudderPos", "USliderNeg", "USliderPos", "VSliderNeg",
                                                  "VSliderPos"}));
    EXPECT_STREQ(stick.discreteLongNames[1], "Button 2");
    EXPECT_STREQ(stick.analogLongNames[4], "V Slider Movement");
    // The tracker's Z is its head roll.
    PlatJoyCaps tracker = Caps(3, 0, false);
    tracker.name = "Tracker";
    Plat_ScriptJoyConnect(1, tracker, false);
    EXPECT_STREQ(Open(1).analogShortNames[2], "HeadRoll");
}

TEST_F(JoystickTest, ThirdStickIsReadUnderItsOwnId) {
    for (int id = 0; id < 3; ++id) Plat_ScriptJoyConnect(id, Caps(2, 4, false), false);
    Plat_ScriptJoyButton(0, 0, true);
    Plat_ScriptJoyButton(2, 2, true);
    EXPECT_EQ(JoystickDevice.count(), 3);
    InputDeviceRecord& third = Open(2);
    EXPECT_STREQ(third.name, "joystick3");
    EXPECT_EQ(Read(third).discrete[0], 0x4u);
    InputDeviceRecord missing;
    EXPECT_NE(JoystickDevice.describe(3, &missing), 0);
}

TEST_F(JoystickTest, WithoutFocusItReportsZeros) {
    Plat_ScriptJoyConnect(0, Caps(2, 4, false), false);
    InputDeviceRecord& stick = Open(0);
    Plat_ScriptJoyButton(0, 1, true);
    Plat_ScriptJoyAxis(0, kJoyAxisX, 254);
    Plat_SetFocus(0);
    Reading reading;
    reading.analog[0] = 5;
    reading.discrete[0] = reading.discrete[1] = 7;
    JoystickDevice.read(stick.privateData, reading.analog, reading.discrete);
    EXPECT_EQ(reading.analog[0], 0);
    EXPECT_EQ(reading.discrete[0], 0u);
    EXPECT_EQ(reading.discrete[1], 0u);
}

TEST_F(JoystickTest, PullingTheStickEndsTheGame) {
    Plat_ScriptJoyConnect(0, Caps(2, 4, false), false);
    InputDeviceRecord& stick = Open(0);
    Plat_ScriptJoyUnplug(0);
    Plat_ClearMessageBoxLog();
    Error_ResetForTests();
    const int code = RunForExit([&] { Read(stick); });
    Error_ResetForTests();
    EXPECT_EQ(code, 112);
    ASSERT_FALSE(Plat_MessageBoxLog().empty());
    EXPECT_EQ(Plat_MessageBoxLog().back().text, "Joystick may be unplugged");
    InputDeviceRecord again;
    EXPECT_NE(JoystickDevice.describe(0, &again), 0);  // an unplugged stick is not available
}

}  // namespace
