#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/seams/render.h"
#include "core/textentry.h"
#include "platform/system.h"
#include "platform/window.h"

namespace {

// A 32 x 24 screen with a font one pixel wide per character (60 virtual units high): drawing
// writes the characters themselves, fills write their colour.
constexpr int kW = 32, kH = 24;
std::vector<char> g_screen;
std::vector<std::string> g_entered;

void Put(int x, int y, char value) {
    if (x >= 0 && x < kW && y >= 0 && y < kH) g_screen[static_cast<size_t>(y * kW + x)] = value;
}

class TextFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        Plat_Init(BackendKind::Headless);
        Plat_ClearMessages();
        TextField_DestroyAll();
        saved_ = Seam_Render();
        g_screen.assign(kW * kH, '#');
        g_entered.clear();
        RenderSeam& r = Seam_Render();
        r.screenClip = [] { return PlatRect{0, 0, kW - 1, kH - 1}; };
        r.fontHeight = [] { return 60; };
        r.textWidth = [](const char* text) { return static_cast<int>(std::strlen(text)); };
        r.paletteFindNearest = [](float red, float, float) { return red > 0.5f ? int('*') : int('.'); };
        r.drawText = [](int x, int y, const char* text, int) {
            for (int i = 0; text[i]; ++i) Put(x + i, y, text[i]);
        };
        r.fillRect = [](int left, int top, int right, int bottom, int colour) {
            for (int y = top; y <= bottom; ++y)
                for (int x = left; x <= right; ++x) Put(x, y, colour == 0 ? '.' : static_cast<char>(colour));
        };
    }
    void TearDown() override {
        TextField_DestroyAll();
        Seam_Render() = saved_;
        Plat_ClearMessages();
        Plat_Shutdown();
    }

    // A focused field 160 virtual units (8 pixels here) wide that records what Enter hands over.
    TextField* Field(int x = 40, int y = 40) {
        TextFieldDesc desc;
        desc.x = x;
        desc.y = y;
        desc.width = 160;
        desc.flags = kTextFieldEnabled;
        desc.red = 255;
        desc.onEnter = [](TextField*, const char* text) { g_entered.push_back(text ? text : "(nothing)"); };
        desc.onUpDown = [](TextField*, int up) { g_entered.push_back(up ? "up" : "down"); };
        TextField* field = TextField_Create(desc);
        TextField_SetFocus(field, true);
        return field;
    }
    static void Type(TextField* field, const char* text) {
        for (const char* p = text; *p; ++p) TextField_OnKey(field, WM_CHAR, static_cast<uint8_t>(*p));
    }
    static std::string Row(int y, int columns = 12) {
        return std::string(g_screen.begin() + y * kW, g_screen.begin() + y * kW + columns);
    }

    RenderSeam saved_{};
};

TEST_F(TextFieldTest, FullFieldChangesNothingAndStillAnswersHandled) {
    TextField* field = Field();
    const std::string full(kTextFieldMaxLength, 'k');
    Type(field, full.c_str());
    ASSERT_EQ(field->length, 79);
    EXPECT_EQ(TextField_OnKey(field, WM_CHAR, 'x'), 1);
    EXPECT_EQ(std::string(field->text), full);
    EXPECT_EQ(field->text[79], '\0') << "the terminator keeps its place";
    TextField_OnKey(field, WM_KEYDOWN, VK_END);
    EXPECT_EQ(field->caret, 79);
}

TEST_F(TextFieldTest, CharacterCodesOutsideTheTypedRangeAreNotTaken) {
    TextField* field = Field();
    EXPECT_EQ(TextField_OnKey(field, WM_CHAR, 13), 0);
    EXPECT_EQ(TextField_OnKey(field, WM_CHAR, 256), 0);
    EXPECT_EQ(TextField_OnKey(field, WM_CHAR, 255), 1);
    EXPECT_EQ(TextField_OnKey(field, WM_KEYDOWN, 'A'), 0) << "other keys are not handled";
    EXPECT_EQ(field->length, 1);
    TextField_SetFocus(field, false);
    EXPECT_EQ(TextField_OnKey(field, WM_CHAR, 'a'), 0) << "without the focus nothing";
}

TEST_F(TextFieldTest, EditingKeysNeverEnterThePrefix) {
    TextField* field = Field();
    TextField_SetPrefix(field, "To: ");
    TextField_SetText(field, "ab");
    TextField_OnKey(field, WM_KEYDOWN, VK_HOME);
    EXPECT_EQ(field->caret, 4);
    TextField_OnKey(field, WM_KEYDOWN, VK_LEFT);
    EXPECT_EQ(field->caret, 4);
    EXPECT_EQ(TextField_OnKey(field, WM_KEYDOWN, VK_BACK), 1);
    EXPECT_STREQ(field->text, "To: ab") << "Backspace at the end of the prefix does nothing";
    TextField_OnKey(field, WM_KEYDOWN, VK_RIGHT);
    TextField_OnKey(field, WM_KEYDOWN, VK_BACK);
    EXPECT_STREQ(field->text, "To: b");
    TextField_OnKey(field, WM_KEYDOWN, VK_DELETE);
    EXPECT_STREQ(field->text, "To: ");
    TextField_OnKey(field, WM_KEYDOWN, VK_DELETE);
    EXPECT_STREQ(field->text, "To: ");
    Type(field, "xy");
    TextField_OnKey(field, WM_KEYDOWN, VK_RIGHT);
    EXPECT_EQ(field->caret, 6) << "not past the end";

    TextField_SetPrefix(field, "Everyone: ");
    EXPECT_STREQ(field->text, "Everyone: xy") << "the editable text moves behind the new prefix";
    EXPECT_EQ(field->caret, 10);
}

TEST_F(TextFieldTest, LongPrefixesAndTextsAreCutToFit) {
    TextField* field = Field();
    const std::string longText(100, 'p');
    TextField_SetText(field, "keep");
    TextField_SetPrefix(field, longText.c_str());
    EXPECT_EQ(field->length, 79);
    EXPECT_EQ(field->prefixLength, 79);
    TextField_SetPrefix(field, "To: ");
    TextField_SetText(field, longText.c_str());
    EXPECT_EQ(field->length, 79);
    EXPECT_EQ(std::strlen(field->text), 79u);
    EXPECT_EQ(field->caret, 79);
}

TEST_F(TextFieldTest, EnterAndEscFinishTheField) {
    TextField* field = Field();
    TextField_SetPrefix(field, "To: ");
    Type(field, "hello");
    EXPECT_EQ(TextField_OnKey(field, WM_KEYDOWN, VK_RETURN), 2);
    EXPECT_EQ(TextField_OnKey(field, WM_KEYDOWN, VK_UP), 1);
    TextField_OnKey(field, WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ(TextField_OnKey(field, WM_KEYDOWN, VK_ESCAPE), 2);
    EXPECT_EQ(g_entered, (std::vector<std::string>{"hello", "up", "down", "(nothing)"}));
    EXPECT_STREQ(field->text, "") << "Esc clears the prefix too";
    EXPECT_EQ(field->prefixLength, 0);
    EXPECT_EQ(field->caret, 0);

    // Through the window procedure's entry the field loses the focus; a callback that destroys
    // its field is fine.
    static TextField* doomed = nullptr;
    TextFieldDesc desc;
    desc.onEnter = [](TextField* f, const char*) {
        TextField_Destroy(f);
        doomed = nullptr;
    };
    doomed = TextField_Create(desc);
    TextField_SetFocus(doomed, true);
    EXPECT_EQ(TextField_HandleKey(doomed, WM_KEYDOWN, VK_RETURN), 2);
    EXPECT_EQ(doomed, nullptr);
    TextField_SetFocus(field, true);
    EXPECT_EQ(TextField_HandleKey(field, WM_KEYDOWN, VK_RETURN), 2);
    EXPECT_EQ(TextField_GetFocused(), nullptr);
}

TEST_F(TextFieldTest, FocusIsExclusiveAndDropsWaitingKeys) {
    TextField* first = Field();
    TextField* second = Field();
    EXPECT_FALSE(first->flags & kTextFieldFocused);
    EXPECT_EQ(TextField_GetFocused(), second);
    Plat_PostMessage(0, WM_KEYDOWN, 'A', 0);
    Plat_PostMessage(0, WM_KEYUP, 'A', 0);
    Plat_PostMessage(0, WM_CHAR, 'a', 0);
    Plat_PostMessage(0, WM_MOUSEMOVE, 0, 0);
    TextField_SetFocus(first, true);
    EXPECT_EQ(TextField_GetFocused(), first);
    ASSERT_EQ(Plat_PendingMessages(), 2u);
    PlatMsg msg{};
    Plat_PeekMessage(&msg, true);
    EXPECT_EQ(msg.message, WM_KEYUP);
    Plat_PeekMessage(&msg, true);
    EXPECT_EQ(msg.message, WM_MOUSEMOVE);
}

TEST_F(TextFieldTest, CaretStaysInsideTheFieldWhileScrolling) {
    TextField* field = Field();  // 8 pixels wide
    Type(field, "abcdefghijkl");
    EXPECT_EQ(field->firstShown, 5) << "7 characters and the caret's width fit";
    for (int i = 0; i < 12; ++i) {
        TextField_OnKey(field, WM_KEYDOWN, VK_LEFT);
        EXPECT_LE(field->firstShown, field->caret);
    }
    EXPECT_EQ(field->firstShown, 0);
    TextField_OnKey(field, WM_KEYDOWN, VK_END);
    EXPECT_EQ(field->firstShown, 5);
    for (int i = 0; i < 3; ++i) TextField_OnKey(field, WM_KEYDOWN, VK_BACK);
    EXPECT_EQ(field->firstShown, 2) << "characters come back at the left while they fit";
}

TEST_F(TextFieldTest, DrawAllPaintsEnabledFieldsScaledToTheScreen) {
    TextField* field = Field(40, 20);  // at (2, 1) on this screen, 8 x 3 pixels
    TextField_SetPrefix(field, "P:");
    Type(field, "abcdefghij");
    TextFieldDesc hidden;
    hidden.x = 300;
    hidden.width = 100;
    TextField_Create(hidden);
    TextField_DrawAll();
    EXPECT_EQ(Row(0), "############");
    EXPECT_EQ(Row(1), "##defghij.##");
    EXPECT_EQ(Row(2), "##........##");
    EXPECT_EQ(Row(3), "##.......*##") << "the caret under the position after the text";
    EXPECT_EQ(Row(4), "############");
    EXPECT_EQ(std::string(g_screen.begin() + 15, g_screen.begin() + 25), "##########") << "disabled: not drawn";
    EXPECT_FALSE(field->flags & kTextFieldChanged);
}

}  // namespace
