// Text services. Texts are single-byte, except in the Japanese setting, where they are
// Shift-JIS: a character is one byte, or a lead byte and a trail byte. Here: the character
// step, the Japanese line-breaking rules, breaking a text into lines that fit a pixel width,
// drawing such lines through a font interface, and a line reader over a text buffer.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/window.h"

// ---- characters ---------------------------------------------------------------------------
bool Text_IsLeadByte(uint8_t byte);
// The double-byte switch and the character table come from the language (on for Japanese).
void Text_SetLanguage(bool doubleByte, const uint8_t* charTable);
bool Text_IsDoubleByte();
const uint8_t* Text_CharTable();
// Advances the cursor over one character: 2 bytes (returns nonzero) for a lead byte with the
// switch on and a trail byte after it; else 1 byte (returns 0). A null or empty cursor stays.
int Text_NextChar(const char** cursor);

// ---- line breaking --------------------------------------------------------------------------
// 1 when a line may break between the character at a and the one at b, 0 when not, -1 when
// either is missing (null or the terminator).
int Text_CanBreakBetween(const char* a, const char* b);

struct TextRun {
    int chars = 0;
    int bytes = 0;
    const char* end = nullptr;  // the position after the run
};
// The first piece of the text that may not be broken.
TextRun Text_MeasureWord(const char* text);
// How many characters of the text fit in the width (called once per line).
using TextMeasureFn = int (*)(const char* text, int width, void* userData);
// The longest run of whole pieces that fits; a CR LF pair is a piece of one character. A first
// piece wider than the line is cut at what fits, at least one character.
TextRun Text_FitLine(const char* text, int width, TextMeasureFn measure, void* userData);

// ---- fonts --------------------------------------------------------------------------------
// What the text services need of a font: how many bytes of a text fit a width, widths, and
// drawing into whatever the font draws on.
struct TextFont {
    int (*bytesThatFit)(void* context, const char* text, int length, int width);
    int (*textWidth)(void* context, const char* text, int length);
    void (*drawText)(void* context, int x, int y, const char* text, int length);
    void* context;
};
// A 2-D target for the rule drawn under each wrapped line.
struct TextLineTarget {
    void (*horizontalLine)(void* context, int x0, int x1, int y, int colour);
    void* context;
};
// The measure callback over a font (userData: the TextFont): the characters within the bytes
// that fit, stopping after a CR LF pair.
int Text_MeasureFit(const char* text, int width, void* userData);
// Draws the text line by line into the rectangle; with a target a rule of each line's width in
// the palette colour nearest to dark grey runs through its middle. Returns the height used.
int Text_DrawWrapped(const TextFont& font, const PlatRect& rect, const char* text, int lineHeight,
                     const TextLineTarget* target);
// The renderer's current bitmap font (widths, drawing in the given colour index).
TextFont Text_RenderFont(int* colour);

// ---- reading lines ------------------------------------------------------------------------
// Reads one line of the remaining bytes at the cursor into out (at most limit - 1 bytes, never
// splitting a pair, zero-terminated), skipping one CR or LF before it and the white space after
// it. Returns 0 when no bytes remain (or no room for a terminator), else 1.
int Text_ReadLine(const char** cursor, size_t* remaining, char* out, size_t limit);
