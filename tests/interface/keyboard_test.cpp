// The keyboard through the message path: channels, summaries, typed keys and names.
#include <SDL_scancode.h>

#include <cstring>
#include <string>

#include "interface/input_fixture.h"
#include "interface/inputdevices.h"
#include "platform/input.h"

namespace {

class KeyboardTest : public InputFixture {};

TEST_F(KeyboardTest, KeyPressedAndReleasedBetweenReadsIsDownForExactlyOneRead) {
    for (const char* name : {"A", "GreyUpArrow", "RightCtrl", "KeypadEnter"}) {
        int scan = 0;
        bool extended = false;
        ASSERT_TRUE(Keyboard_KeyOfName(name, &scan, &extended));
        const int channel = Keyboard_ChannelOf(scan, extended);
        Tap(name);
        EXPECT_TRUE(ChannelDown(ReadKeyboard(), channel)) << name;
        EXPECT_FALSE(ChannelDown(ReadKeyboard(), channel)) << name;
    }
    // Held across reads it stays down until the read after its release.
    Key("Q", true);
    EXPECT_TRUE(ChannelDown(ReadKeyboard(), 16));
    EXPECT_TRUE(ChannelDown(ReadKeyboard(), 16));
    Key("Q", false);
    EXPECT_TRUE(ChannelDown(ReadKeyboard(), 16));
    EXPECT_FALSE(ChannelDown(ReadKeyboard(), 16));
}

TEST_F(KeyboardTest, TypedKeysCarryTheirModifiersAndAHeldKeyQueuesOnce) {
    Key("S", true);
    Key("S", true, true);  // auto-repeat
    Key("S", true, true);
    Key("S", false);
    EXPECT_EQ(TypedKeys(), "0x0073");

    Key("LeftShift", true);
    Tap("S");
    Key("LeftShift", false);
    EXPECT_EQ(TypedKeys(), "0x0273");

    Key("RightCtrl", true);
    Key("LeftAlt", true);
    Tap("One");
    Key("LeftAlt", false);
    Key("RightCtrl", false);
    Tap("F1");
    Tap("UpArrow");  // keypad 8
    Tap("GreyUpArrow");
    EXPECT_EQ(TypedKeys(), "0x0531 0x00b1 0x00c6 0x00c6");
    uint16_t code = 0xFFFF;
    KeyboardDevice.nextKey(&code);
    EXPECT_EQ(code, 0);  // empty
}

TEST_F(KeyboardTest, FullQueueDropsTheOldestCodeAndFlushEmptiesIt) {
    const char* letters[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"};
    for (int i = 0; i < kTypedKeyQueue + 3; ++i) Tap(letters[i % 10]);
    uint16_t code = 0;
    KeyboardDevice.nextKey(&code);
    EXPECT_EQ(code, 'a' + 3);  // the first three were dropped
    int left = 1;
    for (; KeyboardDevice.nextKey(&code), code != 0;) ++left;
    EXPECT_EQ(left, kTypedKeyQueue);

    Tap("Z");
    KeyboardDevice.flush();
    KeyboardDevice.nextKey(&code);
    EXPECT_EQ(code, 0);
}

TEST_F(KeyboardTest, ExtendedScanCodesAreRenumbered) {
    struct Case {
        int scan;
        bool extended;
        int channel;  // 0: ignored
    };
    const Case cases[] = {
        {28, true, 85},  {29, true, 112}, {53, true, 89},  {56, true, 113}, {71, true, 94},  {72, true, 95},
        {73, true, 96},  {75, true, 97},  {77, true, 98},  {79, true, 99},  {80, true, 100}, {81, true, 101},
        {82, true, 102}, {83, true, 103}, {69, true, 69},  {87, true, 87},  {88, true, 88},  {55, true, 0},
        {30, true, 0},   {74, true, 0},   {92, true, 92},  {28, false, 28}, {72, false, 72}, {125, false, 125},
        {0, false, 0},   {126, false, 0}, {200, true, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Keyboard_ChannelOf(c.scan, c.extended), c.channel) << c.scan << (c.extended ? " extended" : "");
        RawKey(c.scan, c.extended, true);
        RawKey(c.scan, c.extended, false);
        const Reading reading = ReadKeyboard();
        uint32_t any = 0;
        for (uint32_t word : reading.discrete) any |= word;
        if (c.channel)
            EXPECT_TRUE(ChannelDown(reading, c.channel)) << c.scan;
        else
            EXPECT_EQ(any, 0u) << c.scan << ": a key without a channel sets nothing";
    }
}

TEST_F(KeyboardTest, SummariesFollowEitherKeyOfThePair) {
    struct Case {
        const char* first;
        const char* second;
        int summary;
    };
    const Case cases[] = {{"LeftShift", "RightShift", kKeyChannelShift},
                          {"LeftControl", "RightCtrl", kKeyChannelControl},
                          {"LeftAlt", "RightAlt", kKeyChannelAlt}};
    for (const Case& c : cases) {
        Key(c.second, true);
        EXPECT_TRUE(ChannelDown(ReadKeyboard(), c.summary)) << c.second;
        Key(c.first, true);
        Key(c.second, false);  // the other key still holds the summary down
        ReadKeyboard();
        EXPECT_TRUE(ChannelDown(ReadKeyboard(), c.summary)) << c.first;
        Key(c.first, false);
        EXPECT_TRUE(ChannelDown(ReadKeyboard(), c.summary));  // released: down for one more read
        EXPECT_FALSE(ChannelDown(ReadKeyboard(), c.summary)) << c.first;
    }
    // The alternative name table goes without summaries.
    Keyboard_Reset();
    const char* names[kKeyboardChannels];
    for (int i = 0; i < kKeyboardChannels; ++i) names[i] = "x";
    names[11] = "^";
    Keyboard_SetLanguage(KeyboardLanguage{2, names, nullptr});
    Keyboard_InitKeyNames(nullptr, nullptr);
    Key("LeftShift", true);
    const Reading reading = ReadKeyboard();
    EXPECT_TRUE(ChannelDown(reading, 42));
    EXPECT_FALSE(ChannelDown(reading, kKeyChannelShift));
    Key("LeftShift", false);
}

TEST_F(KeyboardTest, GermanLanguageOverridesTheCodesOfTenKeys) {
    const int vks[] = {186, 187, 189, 191, 192, 219, 220, 221, 222, 226};
    const uint16_t german[] = {252, 43, 45, 228, 246, 223, 96, 39, 228, 60};
    const uint16_t english[] = {';', '=', '-', '/', '`', '[', '\\', ']', '\'', '\\'};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Keyboard_TypedCode(vks[i]), english[i]) << vks[i];
    Keyboard_Reset();
    Keyboard_SetLanguage(KeyboardLanguage{2, nullptr, nullptr});
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Keyboard_TypedCode(vks[i]), german[i]) << vks[i];
    EXPECT_EQ(Keyboard_TypedCode('Z'), 'z');  // letters keep their codes
    EXPECT_EQ(Keyboard_TypedCode(VK_PAUSE), 511);
}

TEST_F(KeyboardTest, ChannelNamesByOneBasedChannelAndZeroBasedKeyMapIndex) {
    struct Case {
        int channel;
        const char* shortName;
        const char* longName;
    };
    const Case cases[] = {{1, "Esc", "Escape Key"},
                          {57, "Space", "Spacebar"},
                          {85, "KeypadEnter", "Keypad Enter Key"},
                          {110, "Key110", ""},
                          {121, "Alt", "Any Alt Key"},
                          {0, "", ""},
                          {126, "", ""}};
    InputDeviceRecord record;
    ASSERT_EQ(KeyboardDevice.describe(0, &record), 0);
    EXPECT_STREQ(record.name, "keyboard");
    EXPECT_STREQ(record.displayName, "Keyboard");
    EXPECT_EQ(record.discreteCount, kKeyboardChannels);
    for (const Case& c : cases) {
        char name[32];
        std::memset(name, 'x', sizeof name);
        Keyboard_GetKeyName(c.channel, name, sizeof name);
        EXPECT_STREQ(name, c.shortName) << c.channel;
        EXPECT_STREQ(Keyboard_ChannelLongName(c.channel), c.longName) << c.channel;
        if (c.channel >= 1 && c.channel <= kKeyboardChannels) {
            EXPECT_STREQ(record.discreteShortNames[c.channel - 1], c.shortName);  // key maps: index 0 is "Esc"
            EXPECT_STREQ(record.discreteLongNames[c.channel - 1], c.longName);
        }
    }
    char tiny[4];
    Keyboard_GetKeyName(85, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "Key");  // cut to the buffer
}

TEST_F(KeyboardTest, SdlScancodesMakeTheTableChannels) {
    struct Case {
        int usage;
        const char* channel;
        int virtualKey;
    };
    const Case cases[] = {
        {SDL_SCANCODE_RCTRL, "RightCtrl", VK_CONTROL},     {SDL_SCANCODE_UP, "GreyUpArrow", VK_UP},
        {SDL_SCANCODE_KP_8, "UpArrow", VK_NUMPAD0 + 8},    {SDL_SCANCODE_KP_ENTER, "KeypadEnter", VK_RETURN},
        {SDL_SCANCODE_KP_DIVIDE, "GreySlash", VK_DIVIDE},  {SDL_SCANCODE_F11, "F11", VK_F11},
        {SDL_SCANCODE_RALT, "RightAlt", VK_MENU},          {SDL_SCANCODE_NONUSBACKSLASH, "LeftBackSlash", VK_OEM_102},
        {SDL_SCANCODE_NUMLOCKCLEAR, "NUMLock", VK_NUMLOCK}, {SDL_SCANCODE_PAUSE, "NUMLock", VK_PAUSE},
    };
    for (const Case& c : cases) {
        PlatKey key;
        ASSERT_TRUE(Plat_KeyOfUsage(c.usage, &key)) << c.channel;
        char name[32];
        Keyboard_GetKeyName(Keyboard_ChannelOf(key.scanCode, key.extended), name, sizeof name);
        EXPECT_STREQ(name, c.channel) << c.usage;
        EXPECT_EQ(key.virtualKey, c.virtualKey) << c.channel;
    }
    // Every channel name a script may use finds its key again.
    for (int channel = 1; channel <= 118; ++channel) {
        char name[32];
        Keyboard_GetKeyName(channel, name, sizeof name);
        int scan = 0;
        bool extended = false;
        ASSERT_TRUE(Keyboard_KeyOfName(name, &scan, &extended));
        EXPECT_EQ(Keyboard_ChannelOf(scan, extended), channel) << name;
    }
}

TEST_F(KeyboardTest, CapsLockIsAPlainKeyAndPutsTheSystemStateBack) {
    Plat_DeviceCallLog().clear();
    Key("CAPSLock", true);
    Key("CAPSLock", true, true);  // repeat: ignored, nothing injected
    Key("CAPSLock", false);
    EXPECT_TRUE(ChannelDown(ReadKeyboard(), 58));
    EXPECT_EQ(TypedKeys(), "0x0800");
    const std::vector<std::string> expected = {"InjectKey 20 58 extended up", "InjectKey 20 58 extended down"};
    EXPECT_EQ(Plat_DeviceCallLog(), expected);
    RawKey(0, false, true, VK_CAPITAL);  // without a scan code: ignored
    EXPECT_EQ(TypedKeys(), "");
}

TEST_F(KeyboardTest, ClearStateForgetsHeldKeys) {
    Key("W", true);
    Keyboard_ClearState();
    EXPECT_FALSE(ChannelDown(ReadKeyboard(), 17));
}

}  // namespace
