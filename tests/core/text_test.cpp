#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/seams/render.h"
#include "core/text.h"

namespace {

class TextTest : public ::testing::Test {
protected:
    void SetUp() override { Text_SetLanguage(true, nullptr); }
    void TearDown() override { Text_SetLanguage(false, nullptr); }
};

// A fixed-width font: 8 pixels a byte; records what it draws.
struct FixedFont {
    std::vector<std::string> drawn;
    static int Fit(void*, const char*, int length, int width) { return std::min(length, std::max(width, 0) / 8); }
    static int Width(void*, const char*, int length) { return 8 * length; }
    static void Draw(void* context, int x, int y, const char* text, int length) {
        static_cast<FixedFont*>(context)->drawn.push_back(std::to_string(x) + "," + std::to_string(y) + " " +
                                                          std::string(text, static_cast<size_t>(length)));
    }
    TextFont Font() { return TextFont{Fit, Width, Draw, this}; }
};

TEST_F(TextTest, BreakRules) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
        const char* why;
    };
    const Case cases[] = {
        {"A", "1", 0, "ASCII letters and digits stay together"},
        {"A", "\x82\x60", 1, "ASCII before a full-width letter"},
        {"\x82\x81", "\x82\x9A", 0, "full-width lower-case letters stay together"},
        {"\x82\x4F", "\x82\x60", 0, "full-width digit and letter"},
        {"A", "\x81\x41", 0, "never before closing punctuation"},
        {"A", "\x81\x6A", 0, "never before a closing bracket"},
        {"\x81\x69", "A", 0, "never after an opening bracket"},
        {"\x81\x67", "A", 0, "never after an opening quotation mark"},
        {"\xA2", "A", 0, "never after the half-width opening bracket"},
        {"A", "\x83\x62", 0, "a small tsu never begins a line"},
        {"\x83\x43", "\x83\x45", 0, "full-width katakana stay together"},
        {"\xB1", "\xB2", 0, "half-width katakana stay together"},
        {"\x83\x9F", "\x83\xA0", 0, "Greek stays together"},
        {"\x84\x40", "\x84\x41", 0, "Cyrillic stays together"},
        {"\x83\x43", "\x88\x9F", 1, "katakana before a kanji"},
        {"A", ".", 0, "never before ASCII punctuation"},
        {"A", " ", 1, "before a space"},
        {" ", "A", 1, "after a space"},
        {nullptr, "A", -1, "missing first"},
        {"A", "", -1, "missing second"},
    };
    for (const Case& c : cases) EXPECT_EQ(Text_CanBreakBetween(c.a, c.b), c.expected) << c.why;
}

TEST_F(TextTest, NextCharFollowsTheDoubleByteSwitch) {
    const char* text = "\x82\x60" "A";
    const char* p = text;
    EXPECT_EQ(Text_NextChar(&p), 1);
    EXPECT_EQ(p, text + 2);
    const char* lone = "\x82";
    p = lone;
    EXPECT_EQ(Text_NextChar(&p), 0) << "a lead byte before the terminator is one byte";
    EXPECT_EQ(p, lone + 1);
    EXPECT_EQ(Text_NextChar(&p), 0);
    EXPECT_EQ(p, lone + 1) << "never past the terminator";
    Text_SetLanguage(false, nullptr);
    p = text;
    EXPECT_EQ(Text_NextChar(&p), 0);
    EXPECT_EQ(p, text + 1) << "switch off: one byte even over a lead byte";
}

TEST_F(TextTest, MeasureWordStopsAtTheFirstAllowedBreak) {
    TextRun run = Text_MeasureWord("hello world");
    EXPECT_EQ(run.chars, 5);
    EXPECT_EQ(run.bytes, 5);
    run = Text_MeasureWord("\x83\x43\x83\x45" "A");
    EXPECT_EQ(run.chars, 2);
    EXPECT_EQ(run.bytes, 4);
    run = Text_MeasureWord("end.");
    EXPECT_EQ(run.chars, 4) << "the full stop stays with its word";
}

TEST_F(TextTest, FitLineTakesWholePiecesAndCutsOverlongWords) {
    FixedFont fixed;
    TextFont font = fixed.Font();
    struct Case {
        const char* text;
        int width;
        int chars, bytes;
    };
    const Case cases[] = {
        {"ab cd\r\nef", 80, 6, 7},   // the CR LF pair is one piece and ends the line
        {"ab cdef", 40, 3, 3},       // "cdef" does not fit after "ab "
        {"abcdefghij", 32, 4, 4},    // wider than the line: cut at what fits
        {"abc", 0, 1, 1},            // at least one character
        {"\r\nab", 80, 1, 2},        // a leading CR LF is an empty line
        {"", 80, 0, 0},
    };
    for (const Case& c : cases) {
        const TextRun run = Text_FitLine(c.text, c.width, Text_MeasureFit, &font);
        EXPECT_EQ(run.chars, c.chars) << c.text;
        EXPECT_EQ(run.bytes, c.bytes) << c.text;
        EXPECT_EQ(run.end, c.text + c.bytes);
    }
}

TEST_F(TextTest, RenderFontMeasuresWithTheRenderersWidths) {
    const RenderSeam saved = Seam_Render();
    Seam_Render().textWidth = [](const char* text) { return 5 * static_cast<int>(std::strlen(text)); };
    int colour = 3;
    TextFont font = Text_RenderFont(&colour);
    EXPECT_EQ(font.bytesThatFit(font.context, "abcdef", 6, 22), 4);
    EXPECT_EQ(font.bytesThatFit(font.context, "\x82\x60\x82\x61", 4, 12), 2) << "whole characters only";
    const TextRun run = Text_FitLine("ab cdef", 22, Text_MeasureFit, &font);
    EXPECT_EQ(run.chars, 3);
    Seam_Render() = saved;
}

TEST_F(TextTest, DrawWrappedDrawsEveryLineEvenPastAnOverlongWord) {
    FixedFont fixed;
    TextFont font = fixed.Font();
    std::vector<std::string> rules;
    TextLineTarget target{[](void* context, int x0, int x1, int y, int) {
                              static_cast<std::vector<std::string>*>(context)->push_back(
                                  std::to_string(x0) + ".." + std::to_string(x1) + "@" + std::to_string(y));
                          },
                          &rules};
    const int used = Text_DrawWrapped(font, PlatRect{10, 20, 42, 100}, "abcdefghij klm\r\nno", 12, &target);
    EXPECT_EQ(fixed.drawn,
              (std::vector<std::string>{"10,20 abcd", "10,32 efgh", "10,44 ij ", "10,56 klm", "10,68 no"}));
    EXPECT_EQ(used, 60);
    ASSERT_EQ(rules.size(), 5u);
    EXPECT_EQ(rules[0], "10..41@26");
    EXPECT_EQ(rules[3], "10..33@62") << "the line's own width, CR LF not drawn";
}

TEST_F(TextTest, ReadLineCopiesWholeCharactersWithinTheLimitAndTheBytes) {
    struct Case {
        std::string data;
        size_t limit;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"\r\nabc\r\n  def", 16, {"", "abc", "def"}},
        {"ab\x82\x60" "cd", 4, {"ab", "\x82\x60" "c", "d"}},  // a pair never splits at the limit
        {"ab\x82", 16, {"ab\x82"}},                            // a lead byte at the end of the bytes
        {"x\x82\r\ny", 16, {"x\x82", "y"}},                    // ... or before the line end
        {"abcdef", 3, {"ab", "cd", "ef"}},
    };
    for (const Case& c : cases) {
        // Exactly the bytes, no terminator: reading past them is caught.
        std::vector<char> bytes(c.data.begin(), c.data.end());
        const char* cursor = bytes.data();
        size_t remaining = bytes.size();
        std::vector<char> out(c.limit, '?');
        std::vector<std::string> lines;
        while (Text_ReadLine(&cursor, &remaining, out.data(), out.size())) lines.emplace_back(out.data());
        EXPECT_EQ(lines, c.lines) << c.data;
        EXPECT_EQ(remaining, 0u);
    }
}

}  // namespace
