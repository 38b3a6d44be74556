#include "core/text.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

#include "core/seams/render.h"

namespace {

bool g_doubleByte = false;
const uint8_t* g_charTable = nullptr;

// One character: a single byte (trail -1) or a lead and a trail byte.
struct Char {
    int lead;
    int trail;
};

bool IsPairAt(const char* p) {
    return g_doubleByte && Text_IsLeadByte(static_cast<uint8_t>(p[0])) && p[1] != '\0';
}

bool CharAt(const char* p, Char* out) {
    if (!p || *p == '\0') return false;
    out->lead = static_cast<uint8_t>(p[0]);
    out->trail = IsPairAt(p) ? static_cast<uint8_t>(p[1]) : -1;
    return true;
}

bool In(int v, int lo, int hi) { return v >= lo && v <= hi; }
bool Pair(const Char& c, int lead) { return c.trail >= 0 && c.lead == lead; }
bool Single(const Char& c) { return c.trail < 0; }
bool OneOf(int v, std::initializer_list<int> values) {
    return std::find(values.begin(), values.end(), v) != values.end();
}

bool IsKatakana(const Char& c) {
    if (Single(c)) return In(c.lead, 0xA1, 0xDF);
    return Pair(c, 0x83) && (In(c.trail, 0x40, 0x7E) || In(c.trail, 0x80, 0x96));
}
bool IsGreek(const Char& c) { return Pair(c, 0x83) && (In(c.trail, 0x9F, 0xB6) || In(c.trail, 0xBF, 0xD6)); }
bool IsCyrillic(const Char& c) { return Pair(c, 0x84) && (In(c.trail, 0x40, 0x60) || In(c.trail, 0x70, 0x91)); }
bool IsFullWidthAlnum(const Char& c) {
    return Pair(c, 0x82) && (In(c.trail, 0x4F, 0x58) || In(c.trail, 0x60, 0x79) || In(c.trail, 0x81, 0x9A));
}
bool IsAsciiAlnum(const Char& c) {
    return Single(c) && (In(c.lead, '0', '9') || In(c.lead, 'A', 'Z') || In(c.lead, 'a', 'z'));
}
bool IsAsciiPunct(const Char& c) {
    return Single(c) && (In(c.lead, 0x21, 0x2F) || In(c.lead, 0x3A, 0x40) || In(c.lead, 0x5B, 0x60) ||
                         In(c.lead, 0x7B, 0x7E));
}
bool IsSmallKana(const Char& c) {
    if (Pair(c, 0x83)) return OneOf(c.trail, {0x40, 0x42, 0x44, 0x46, 0x48, 0x83, 0x85, 0x87, 0x8E, 0x62, 0x95, 0x96});
    if (Pair(c, 0x82)) return OneOf(c.trail, {0x9F, 0xA1, 0xA3, 0xA5, 0xA7, 0xE1, 0xE3, 0xE5, 0xEC, 0xC1});
    return false;
}

// Closing punctuation and brackets, small kana, iteration and prolonged-sound marks.
bool MayNotBegin(const Char& c) {
    if (Single(c)) return OneOf(c.lead, {0xA1, 0xA3, 0xA4, 0xA5, 0xDE, 0xDF});
    if (IsSmallKana(c)) return true;
    if (!Pair(c, 0x81)) return false;
    const int t = c.trail;
    if (In(t, 0x41, 0x44) || In(t, 0x46, 0x49)) return true;
    if (In(t, 0x66, 0x7A) && (t % 2) == 0) return true;
    return OneOf(t, {0x58, 0x5B, 0x4A, 0x4B, 0x5C, 0x5D, 0x93}) || In(t, 0x52, 0x55) || In(t, 0x8B, 0x8E);
}

// Opening brackets and quotation marks.
bool MayNotEnd(const Char& c) {
    if (Single(c)) return c.lead == 0xA2;
    if (!Pair(c, 0x81)) return false;
    const int t = c.trail;
    if (In(t, 0x65, 0x79) && (t % 2) == 1) return true;
    return In(t, 0x8F, 0x92) || OneOf(t, {0x94, 0x97, 0x98, 0xA7});
}

bool IsCrLf(const char* p) { return p[0] == '\r' && p[1] == '\n'; }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// ---- the renderer's font ------------------------------------------------------------------

int RenderWidth(void*, const char* text, int length) {
    return Seam_Render().textWidth(std::string(text, static_cast<size_t>(std::max(length, 0))).c_str());
}

int RenderBytesThatFit(void* context, const char* text, int length, int width) {
    int fit = 0;
    const char* p = text;
    while (p - text < length && *p) {
        const char* next = p;
        Text_NextChar(&next);
        if (RenderWidth(context, text, static_cast<int>(next - text)) > width) break;
        p = next;
        fit = static_cast<int>(p - text);
    }
    return fit;
}

void RenderDraw(void* context, int x, int y, const char* text, int length) {
    const int colour = context ? *static_cast<int*>(context) : 0;
    Seam_Render().drawText(x, y, std::string(text, static_cast<size_t>(std::max(length, 0))).c_str(), colour);
}

}  // namespace

// ---- characters ---------------------------------------------------------------------------

bool Text_IsLeadByte(uint8_t b) {
    return In(b, 0x81, 0x84) || In(b, 0x87, 0x9F) || In(b, 0xE0, 0xEA) || In(b, 0xED, 0xEE) || b >= 0xFA;
}

void Text_SetLanguage(bool doubleByte, const uint8_t* charTable) {
    g_doubleByte = doubleByte;
    g_charTable = charTable;
}

bool Text_IsDoubleByte() { return g_doubleByte; }
const uint8_t* Text_CharTable() { return g_charTable; }

int Text_NextChar(const char** cursor) {
    if (!cursor || !*cursor || **cursor == '\0') return 0;
    if (IsPairAt(*cursor)) {
        *cursor += 2;
        return 1;
    }
    *cursor += 1;
    return 0;
}

// ---- line breaking --------------------------------------------------------------------------

int Text_CanBreakBetween(const char* a, const char* b) {
    Char ca, cb;
    if (!CharAt(a, &ca) || !CharAt(b, &cb)) return -1;
    if (MayNotEnd(ca) || MayNotBegin(cb)) return 0;
    if (IsKatakana(ca) && IsKatakana(cb)) return 0;
    if ((IsAsciiAlnum(ca) && IsAsciiAlnum(cb)) || (IsFullWidthAlnum(ca) && IsFullWidthAlnum(cb)) ||
        (IsGreek(ca) && IsGreek(cb)) || (IsCyrillic(ca) && IsCyrillic(cb)))
        return 0;
    return IsAsciiPunct(cb) ? 0 : 1;
}

TextRun Text_MeasureWord(const char* text) {
    TextRun run;
    run.end = text;
    if (!text) return run;
    const char* p = text;
    while (*p) {
        const char* current = p;
        Text_NextChar(&p);
        ++run.chars;
        if (*p == '\0' || Text_CanBreakBetween(current, p) == 1) break;
    }
    run.bytes = static_cast<int>(p - text);
    run.end = p;
    return run;
}

TextRun Text_FitLine(const char* text, int width, TextMeasureFn measure, void* userData) {
    TextRun line;
    line.end = text;
    if (!text || *text == '\0' || !measure) return line;
    const int fit = measure(text, width, userData);
    const char* p = text;
    int total = 0;
    while (*p) {
        TextRun piece;
        if (IsCrLf(p)) {
            piece.chars = 1;
            piece.end = p + 2;
        } else {
            piece = Text_MeasureWord(p);
        }
        if (total + piece.chars > fit) {
            if (total == 0) {
                // Wider than the line: cut it at what fits, at least one character, so that a
                // long word never stops the text (a CR LF pair stays whole).
                if (IsCrLf(p)) {
                    total = 1;
                    p += 2;
                } else {
                    const int take = std::max(fit, 1);
                    while (total < take && p < piece.end) {
                        Text_NextChar(&p);
                        ++total;
                    }
                }
            }
            break;
        }
        total += piece.chars;
        p = piece.end;
    }
    line.chars = total;
    line.bytes = static_cast<int>(p - text);
    line.end = p;
    return line;
}

// ---- fonts --------------------------------------------------------------------------------

int Text_MeasureFit(const char* text, int width, void* userData) {
    const auto* font = static_cast<const TextFont*>(userData);
    if (!text || !font || !font->bytesThatFit) return 0;
    const int length = static_cast<int>(std::strlen(text));
    const int fit = std::clamp(font->bytesThatFit(font->context, text, length, width), 0, length);
    int chars = 0;
    const char* p = text;
    while (p < text + fit && *p) {
        if (IsCrLf(p)) {
            ++chars;
            break;
        }
        Text_NextChar(&p);
        ++chars;
    }
    return chars;
}

int Text_DrawWrapped(const TextFont& font, const PlatRect& rect, const char* text, int lineHeight,
                     const TextLineTarget* target) {
    int y = rect.top;
    if (!text) return 0;
    const int colour = target ? Seam_Render().paletteFindNearest(0.2f, 0.2f, 0.2f) : 0;
    const char* p = text;
    while (*p) {
        const TextRun line = Text_FitLine(p, rect.right - rect.left, Text_MeasureFit, const_cast<TextFont*>(&font));
        if (line.chars == 0) break;
        int shown = line.bytes;
        if (shown >= 2 && IsCrLf(p + shown - 2)) shown -= 2;
        if (target && target->horizontalLine && font.textWidth) {
            const int w = font.textWidth(font.context, p, shown);
            if (w > 0) target->horizontalLine(target->context, rect.left, rect.left + w - 1, y + lineHeight / 2, colour);
        }
        if (font.drawText && shown > 0) font.drawText(font.context, rect.left, y, p, shown);
        y += lineHeight;
        p = line.end;
    }
    return y - rect.top;
}

TextFont Text_RenderFont(int* colour) { return TextFont{RenderBytesThatFit, RenderWidth, RenderDraw, colour}; }

// ---- reading lines ------------------------------------------------------------------------

int Text_ReadLine(const char** cursor, size_t* remaining, char* out, size_t limit) {
    if (out && limit > 0) out[0] = '\0';
    if (!cursor || !*cursor || !remaining || *remaining == 0 || !out || limit == 0) return 0;
    const char* p = *cursor;
    size_t left = *remaining;
    if (*p == '\r' || *p == '\n') {
        ++p;
        --left;
    }
    size_t n = 0;
    while (left > 0 && *p != '\r' && *p != '\n') {
        // A lead byte takes its trail with it, unless the trail is missing or ends the line.
        size_t step = 1;
        if (g_doubleByte && Text_IsLeadByte(static_cast<uint8_t>(*p)) && left >= 2 && p[1] != '\r' && p[1] != '\n')
            step = 2;
        if (n + step > limit - 1) break;
        std::memcpy(out + n, p, step);
        n += step;
        p += step;
        left -= step;
    }
    out[n] = '\0';
    while (left > 0 && IsSpace(*p)) {
        ++p;
        --left;
    }
    *cursor = p;
    *remaining = left;
    return 1;
}
