// The input mapping: the sink table and its formula, key-map parsing and its limits and
// errors, the per-frame update, and rewriting a keyboard binding.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "core/debug.h"
#include "core/inputsinks.h"
#include "keymaps.h"
#include "platform/input.h"
#include "core/textentry.h"
#include "interface/inputmap.h"
#include "interface/keymap_fixture.h"
#include "platform/paths.h"

namespace {

class InputMapTest : public KeyMapFixture {
protected:
    void Frame() { Input_Update(); }
    int32_t Value(const char* sink) {
        int32_t value = 0;
        EXPECT_TRUE(InputMap_SinkState(sink, &value, nullptr)) << sink;
        return value;
    }
};

std::string Block(const std::string& sink, const std::string& lines) { return sink + " {\n" + lines + "}\n"; }

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

TEST_F(InputMapTest, SinkTableHasItsRowsAndTheOutputFormula) {
    int kinds[3] = {};
    for (const SinkRow& row : SinkTable) ++kinds[row.kind];
    EXPECT_EQ(kinds[kSinkAnalog], 11);
    EXPECT_EQ(kinds[kSinkHold], 43);
    EXPECT_EQ(kinds[kSinkPress], 52);
    EXPECT_EQ(Sink_Find("WEAPON_FIRE")->output, &InputSink.weapon_fire);
    EXPECT_EQ(Sink_Find("group_select_7")->output, &InputSink.group_select[7]);
    EXPECT_EQ(Sink_Find("no_such_sink"), nullptr);

    struct Case {
        const char* sink;
        int32_t value;
        int32_t output;
    } cases[] = {
        {"cmd_x", 0, 32768},           {"cmd_x", -65536, 0},          {"cmd_x", 65536, 65536},
        {"throttle", 12345, 12345},    {"throttle", -65536, -65536},  {"throttle", 99999, 65536},
        {"track_yaw_delta", 65536, 10}, {"track_yaw_delta", -65536, -10}, {"track_yaw_delta", 0, 0},
        {"menu_item", -200000, -65536},
    };
    for (const Case& c : cases) {
        const SinkRow& row = *Sink_Find(c.sink);
        EXPECT_EQ(Sink_Output(row, c.value), c.output) << c.sink << " " << c.value;
        EXPECT_EQ(Sink_DefaultValue(row), 0) << c.sink;  // every default sits mid-range
    }
    EXPECT_EQ(Sink_Inverse(*Sink_Find("cmd_x"), 32768), 0);
    EXPECT_EQ(Sink_Inverse(*Sink_Find("track_yaw_delta"), 5), 32768);
}

TEST_F(InputMapTest, HoldPressNegatedTermsAndEmptyBlocks) {
    ASSERT_TRUE(Parse(Block("weapon_fire", "\t+ keyboard Space\n") + Block("weapon_cycle", "+ keyboard Space\n") +
                      Block("menu_press", "+ keyboard Q\n- keyboard LeftShift\n") + Block("jump", "")));
    for (int frame = 0; frame < 3; ++frame) {
        Frame();
        EXPECT_EQ(InputSink.jump, 1) << "an empty chord always holds";
        EXPECT_EQ(InputSink.weapon_fire, 0);
    }
    Key("Space", true);
    Frame();
    EXPECT_EQ(InputSink.weapon_fire, 1);
    EXPECT_EQ(InputSink.weapon_cycle, 1);
    Frame();
    EXPECT_EQ(InputSink.weapon_fire, 1) << "hold: every frame";
    EXPECT_EQ(InputSink.weapon_cycle, 0) << "press: only the first frame";
    Key("Space", false);
    Frame();
    Frame();
    EXPECT_EQ(InputSink.weapon_fire, 0);

    Key("Q", true);
    Frame();
    EXPECT_EQ(InputSink.menu_press, 1);
    Key("Q", false);
    Frame();
    Key("LeftShift", true);
    Key("Q", true);
    Frame();
    EXPECT_EQ(InputSink.menu_press, 0) << "the '-' term needs LeftShift up";
}

TEST_F(InputMapTest, AbsoluteAxesOverrideOnlyWhenTheyMoveDeltaAxesEveryFrame) {
    ASSERT_TRUE(Parse(Block("steer", "+ fake1 AxisA\n") + Block("steer", "+ fake1 AxisB\n") +
                      Block("track_yaw_delta", "+ fake1 AxisC\n") + Block("track_yaw_delta", "- fake1 AxisD\n")));
    EXPECT_EQ(InputMap_Counts().analogControls, 4);
    EXPECT_EQ(InputMap_Counts().analogSinks, 2);
    Fake().analog[0] = 20000;
    Fake().analog[2] = 40000;
    Frame();
    // AxisB did not move from 0: steer keeps AxisA's value. AxisD at 0 rewrites the delta sink.
    EXPECT_EQ(InputSink.steer, 20000);
    EXPECT_EQ(Value("track_yaw_delta"), 0);
    Fake().analog[1] = -5000;
    Frame();
    EXPECT_EQ(InputSink.steer, -5000);
    Frame();
    EXPECT_EQ(InputSink.steer, -5000) << "nothing moved";
    Fake().analog[2] = 0;
    Fake().analog[3] = 65536;
    Frame();
    EXPECT_EQ(InputSink.track_yaw_delta, -10) << "the '-' sign reverses the axis";
}

TEST_F(InputMapTest, RampKeysMoveOnlyTheirAnalogSink) {
    SetFrameTime(50);
    ASSERT_TRUE(Parse(Block("throttle_up", "+ keyboard Q\n") + Block("track_yaw_plus", "+ keyboard W\n") +
                      Block("track_yaw_minus", "+ keyboard E\n") + Block("zoom_factor_plus", "+ keyboard R\n")));
    // throttle_up is a plain hold sink; zoom_factor has no analog sink to move.
    EXPECT_FALSE(InputMap_SinkState("throttle", nullptr, nullptr));
    EXPECT_EQ(InputMap_Counts().analogSinks, 1);
    Key("Q", true);
    Frame();
    EXPECT_EQ(InputSink.throttle_up, 1);
    EXPECT_EQ(InputSink.throttle, 0);

    // t*182*(3 << 3) per frame; the delta sink's ramp is its value, so each frame doubles it.
    const int32_t step = static_cast<int32_t>(0.05 * 182 * (3 << 3));
    Key("W", true);
    Frame();
    EXPECT_EQ(Value("track_yaw_delta"), 2 * step);
    Frame();
    EXPECT_EQ(Value("track_yaw_delta"), 2 * (2 * step + step));
    // The step is capped at 21845 and is the value: a held key settles at twice the cap.
    for (int i = 0; i < 10; ++i) Frame();
    EXPECT_EQ(Value("track_yaw_delta"), 2 * kInputRampCap);
    EXPECT_EQ(InputSink.track_yaw_delta, 6);
    Key("W", false);
    Frame();
    Frame();
    EXPECT_EQ(Value("track_yaw_delta"), 0) << "released: the step, which is the value, is 0";

    Key("E", true);
    Frame();
    EXPECT_EQ(Value("track_yaw_delta"), -2 * step);
}

TEST_F(InputMapTest, ResetRequestsPutTheDefaultBackAndResetTheChannel) {
    ASSERT_TRUE(Parse(Block("menu_item", "+ fake1 AxisB\n") + Block("menu_item_reset", "+ keyboard Home\n")));
    Fake().analog[1] = 30000;
    Frame();
    EXPECT_EQ(InputSink.menu_item, 30000);
    Key("Home", true);
    Frame();
    EXPECT_EQ(InputSink.menu_item, 0);
    EXPECT_EQ(Fake().resets, std::vector<int>({1}));
    Key("Home", false);
    Frame();
    EXPECT_EQ(InputSink.menu_item, 0) << "an absolute axis that did not move leaves the value";
    Fake().analog[1] = 30001;
    Frame();
    EXPECT_EQ(InputSink.menu_item, 30001);
}

TEST_F(InputMapTest, WithUserControlOffOnlyMenuBindingsAct) {
    ASSERT_TRUE(Parse(Block("weapon_fire", "+ keyboard Space\n") + Block("menu_cycle", "+ keyboard Space\n") +
                      Block("steer", "+ fake1 AxisA\n") + Block("menu_pos", "+ fake1 AxisA\n")));
    Fake().analog[0] = 1000;
    Frame();
    Input_DisableUserControl();
    Fake().analog[0] = 7000;
    Key("Space", true);
    Frame();
    EXPECT_EQ(InputSink.weapon_fire, 0);
    EXPECT_EQ(InputSink.menu_cycle, 1);
    EXPECT_EQ(InputSink.steer, 1000) << "keeps its last value";
    EXPECT_EQ(InputSink.menu_pos, 7000);
    Input_EnableUserControl();
    Frame();
    EXPECT_EQ(InputSink.weapon_fire, 1);
    EXPECT_EQ(InputSink.steer, 7000);
}

TEST_F(InputMapTest, AFocusedTextFieldKeepsTheKeyboardAway) {
    ASSERT_TRUE(Parse(Block("weapon_fire", "+ keyboard Space\n")));
    Key("Space", true);
    TextFieldDesc descriptor{};
    TextField* field = TextField_Create(descriptor);
    ASSERT_NE(field, nullptr);
    TextField_SetFocus(field, true);
    Frame();
    EXPECT_EQ(InputSink.weapon_fire, 0);
    TextField_SetFocus(field, false);
    Frame();
    EXPECT_EQ(InputSink.weapon_fire, 0) << "the key state was cleared";
}

TEST_F(InputMapTest, NumericChannelsAreIndexesWithinTheDeviceState) {
    ASSERT_TRUE(Parse(Block("jump", "+ fake1 3\n") + Block("turbo", "+ fake1 200\n") +
                      Block("steer", "+ fake1 16\n") + Block("pitch", "+ fake1 2\n")));
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].rfind("The input channel \"200\" on device \"fake1\" does not exist.\n", 0), 0u) << boxes[0];
    EXPECT_EQ(boxes[1].rfind("The input channel \"16\" on device \"fake1\" does not exist.\n", 0), 0u) << boxes[1];
    EXPECT_EQ(InputMap_Counts().discreteControls, 1) << "turbo's only line was refused: the block is dropped";
    Fake().discrete[0] = 1u << 3;
    Fake().analog[2] = 444;
    Frame();
    EXPECT_EQ(InputSink.jump, 1);
    EXPECT_EQ(InputSink.pitch, 444);
}

TEST_F(InputMapTest, DevicesAreOpenedOnceAndAFailedOneIsNotAskedAgain) {
    ASSERT_TRUE(Parse(Block("jump", "+ fake1 Btn0\n") + Block("turbo", "+ FAKE1 Btn1\n") +
                      Block("eject", "+ fake2 Btn0\n") + Block("deploy", "+ fake2 Btn1\n") +
                      Block("abandon", "+ nosuch Btn0\n") + Block("weapon_link", "+ fake1 NoButton\n")));
    EXPECT_EQ(Fake().opens, 1);
    EXPECT_EQ(InputMap_Counts().devices, 3);
    EXPECT_EQ(InputMap_Counts().discreteControls, 2);
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].rfind("The input device \"fake2\" is not connected properly.\n", 0), 0u);
    EXPECT_EQ(boxes[1].rfind("The input device \"nosuch\" does not exist or is not configured properly.\n", 0), 0u);
    EXPECT_EQ(boxes[2].rfind("The input channel \"NoButton\" on device \"fake1\" does not exist.\n", 0), 0u);
    bool enabled = true;
    const char* name = nullptr;
    ASSERT_TRUE(InputMap_DeviceInfo(1, &enabled, &name));
    EXPECT_FALSE(enabled);
    EXPECT_STREQ(name, "fake2");
    Input_Close();
    EXPECT_EQ(Fake().closes, 1);
    EXPECT_EQ(InputMap_Counts().devices, 0);
}

TEST_F(InputMapTest, LimitsAreRefusedWithTheirTexts) {
    struct Case {
        std::string map;
        std::string box;
    } cases[] = {
        {Repeat(Block("jump", "+ keyboard Space\n"), 201), "input.map error: too many discrete controls: line 601."},
        {Repeat(Block("steer", "+ fake1 AxisA\n"), 21), "Too many analog controls: line 62"},
        {Block("jump", Repeat("+ keyboard Space\n", 9)) + Block("turbo", ""),
         "input.map error: line 10, chord too big - \"jump\""},
        // The dropped block's next line is read as a header.
        {Block("jump", Repeat("+ keyboard Space\n", 9)), "input.map error: line 11, bad field \"}\"."},
        {Block("jump", "+ keyboard\n"), "input.map error: line 2, read error - \"jump\""},
        {Block("steer", "+ fake1\n"), "input.map error: line 2, read error - \"steer\"."},
        {"steer {\n", "input.map error: line 1, unexpected EOF."},
        {Block("warp_drive", ""), "input.map error: line 1, bad field \"warp_drive\"."},
        {Block("jump", "+ fake1 Btn0\n") + Block("jump", "+ fake2 Btn0\n") + Block("jump", "+ mouse LeftBtn\n") +
             Block("jump", "+ d4 Btn0\n") + Block("jump", "+ d5 Btn0\n") + Block("jump", "+ d6 Btn0\n"),
         "Too many input devices specified"},
    };
    for (const Case& c : cases) {
        Input_Close();
        InputMap_SetDeviceKinds(nullptr, 0);
        KeyMapFixture::TearDown();
        KeyMapFixture::SetUp();
        Parse(c.map);
        const auto boxes = Boxes();
        EXPECT_NE(std::find(boxes.begin(), boxes.end(), c.box), boxes.end()) << c.box;
    }
    EXPECT_EQ(InputMap_Counts().devices, 5);
}

TEST_F(InputMapTest, LoadReadsTheProfileCopyThenEachOpenDevicesDefaults) {
    WriteData("input.map", Block("jump", "+ keyboard Space\n"));
    WriteData("tovak/keyboard.std", Block("turbo", "+ keyboard W\n"));
    WriteData("tovak/fake.std", Block("eject", "+ fake1 Btn2\n"));
    InputMap_Load();
    EXPECT_EQ(InputMap_Counts().discreteControls, 2);
    Input_Close();
    InputMap_SetDeviceKinds(nullptr, 0);
    KeyMapFixture::TearDown();
    KeyMapFixture::SetUp();
    WriteData("tovak/keyboard.std", Block("turbo", "+ keyboard W\n"));
    WriteData("tovak/fake.std", Block("eject", "+ fake1 Btn2\n"));
    WriteData("input.map", Block("jump", "+ keyboard Space\n"));
    WriteProfile("input.map", Block("jump", "+ keyboard Space\n") + Block("deploy", "+ fake1 Btn1\n"));
    InputMap_Load();
    EXPECT_EQ(InputMap_Counts().discreteControls, 4) << "profile map 2, keyboard.std 1, fake.std 1";
    Fake().discrete[0] = 1u << 2;
    Frame();
    EXPECT_EQ(InputSink.eject, 1);
    EXPECT_TRUE(Boxes().empty());

    Input_Close();
    std::remove((profileDir + "/input.map").c_str());
    std::remove((dataDir + "/input.map").c_str());
    Plat_ForgetDirectoryCache();
    InputMap_Load();
    EXPECT_EQ(Boxes(), std::vector<std::string>({"input.map error: can't open file."}));
}

TEST_F(InputMapTest, TheDebugPageShowsTheThrottleAndSteering) {
    DebugScreen_Reset();
    WriteData("input.map", Block("throttle", "+ fake1 AxisA\n") + Block("steer_left", "+ keyboard Z\n"));
    WriteData("gamekey.map", "");
    Input_Init();
    ASSERT_EQ(DebugScreen_PageCount(), 1);
    DebugScreen_Show(DebugScreen_SelectedPage());
    Fake().analog[0] = 1234;
    Key("Z", true);
    Frame();
    auto row = [](int r, int column, int count) {
        std::string text;
        const uint8_t* cells = DebugScreen_Cells() + (r * kDebugScreenColumns + column) * 2;
        for (int i = 0; i < count; ++i) text += static_cast<char>(cells[i * 2]);
        return text;
    };
    EXPECT_EQ(row(5, 0, 26), "      throttle = 000001234");
    EXPECT_EQ(row(9, 0, 21), "   steering lt = 0001");
    EXPECT_EQ(row(1, 40, 26), "     track yaw = 000000000");
    DebugScreen_Reset();
}

TEST_F(InputMapTest, UpdateTakesOneTypedKeyPerFrame) {
    WriteData("input.map", "");
    WriteData("gamekey.map", "");
    Input_Init();
    Tap("A");
    Tap("B");
    Frame();
    EXPECT_EQ(InputKeyEvent, 'a');
    Frame();
    EXPECT_EQ(InputKeyEvent, 'b');
    Frame();
    EXPECT_EQ(InputKeyEvent, 0);
}

const char kSaveFixture[] =
    "# controls\n"
    "weapon_fire {\n"
    "\t+ keyboard Insert\n"
    "\t+ mouse LeftBtn\n"
    "\t- keyboard LeftShift\n"
    "}\n"
    "\n\n"
    "jump {\n"
    "   + keyboard E   \n"
    "}\n";

TEST_F(InputMapTest, SaveBindingRewritesOneBlocksKeyboardLines) {
    WriteData("input.map", kSaveFixture);
    ASSERT_TRUE(InputMap_SaveBinding("weapon_fire", "Space"));
    const std::string expected =
        "# controls\n"
        "weapon_fire {\n"
        "\t+ keyboard Space\n"
        "\t+ mouse LeftBtn\n"
        "\t- keyboard LeftShift\n"
        "}\n"
        "\n"
        "jump {\n"
        "   + keyboard E   \n"
        "}\n"
        "\n";
    EXPECT_EQ(ReadProfile("input.map"), expected);
    EXPECT_EQ(ReadProfile("temp.map"), expected);
    struct stat info{};
    ASSERT_EQ(stat((profileDir + "/input.map").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0444u);

    // The profile copy is read from now on, and saved again over its read-only self.
    char key[64] = "unchanged";
    ASSERT_TRUE(InputMap_GetKeyboardBinding("weapon_fire", key, sizeof key));
    EXPECT_STREQ(key, "Space");
    ASSERT_TRUE(InputMap_SaveBinding("jump", "J"));
    ASSERT_TRUE(InputMap_GetKeyboardBinding("jump", key, sizeof key));
    EXPECT_STREQ(key, "J");
}

TEST_F(InputMapTest, AFailedSaveLeavesTheOldMapWhole) {
    WriteProfile("input.map", kSaveFixture);
    // A line that is no binding stops the rewrite with its message.
    WriteProfile("input.map", std::string(kSaveFixture) + "turbo {\n\tgarbage\n}\n");
    EXPECT_FALSE(InputMap_SaveBinding("weapon_fire", "Space"));
    EXPECT_EQ(Boxes(), std::vector<std::string>({"input.map error: line 13, read error - \"turbo\""}));
    EXPECT_EQ(ReadProfile("input.map"), std::string(kSaveFixture) + "turbo {\n\tgarbage\n}\n");
    // A directory in the new file's place makes the last step fail: the old file stays.
    std::filesystem::create_directory(profileDir + "/input.map.new");
    WriteProfile("input.map", kSaveFixture);
    EXPECT_FALSE(InputMap_SaveBinding("weapon_fire", "Space"));
    EXPECT_EQ(ReadProfile("input.map"), kSaveFixture);
}

TEST_F(InputMapTest, KeyboardBindingIsGivenForHoldSinksAndWeaponCycleOnly) {
    WriteData("input.map", std::string(kSaveFixture) + Block("weapon_cycle", "+ keyboard Tab\n+ keyboard R\n") +
                               Block("eject", "+ keyboard B\n"));
    struct Case {
        const char* sink;
        const char* key;
    } cases[] = {{"weapon_fire", "Insert"}, {"jump", "E"}, {"weapon_cycle", "R"}, {"eject", "kept"}, {"turbo", "kept"}};
    for (const Case& c : cases) {
        char key[64] = "kept";
        InputMap_GetKeyboardBinding(c.sink, key, sizeof key);
        EXPECT_STREQ(key, c.key) << c.sink;
    }
}

TEST_F(InputMapTest, TheSampleWorldsMapsBindKeysMouseAndStickWithoutComplaint) {
    std::string error;
    ASSERT_TRUE(content::WriteKeyMaps(dataDir, &error)) << error;
    InputMap_SetDeviceKinds(nullptr, 0);
    PlatJoyCaps caps;
    caps.buttons = 2;
    Plat_ScriptJoyConnect(0, caps, false);
    Input_Init();
    EXPECT_TRUE(Boxes().empty());
    bool enabled = false;
    const char* name = nullptr;
    ASSERT_TRUE(InputMap_DeviceInfo(2, &enabled, &name));
    EXPECT_STREQ(name, "joystick1");
    EXPECT_TRUE(enabled);

    Key("Q", true);
    Key("LeftArrow", true);
    Post(WM_LBUTTONDOWN, 1);
    Plat_ScriptJoyAxis(0, 0, 65535);
    Frame();
    EXPECT_EQ(InputSink.throttle_up, 1);
    EXPECT_EQ(InputSink.steer_left, 1);
    EXPECT_EQ(InputSink.weapon_fire, 1);
    EXPECT_GT(InputSink.steer, 60000) << "the stick steers";
    Key("One", true);
    Frame();
    EXPECT_EQ(InputSink.mode_select[1], 1);
    EXPECT_EQ(InputSink.group_select[1], 0);
    Key("One", false);
    Key("LeftControl", true);
    Key("One", true);
    Frame();
    EXPECT_EQ(InputSink.group_select[1], 1);
    EXPECT_EQ(InputSink.mode_select[1], 0);
}

}  // namespace
