// Bitmap fonts: ".fnt" files of fixed-height glyphs, drawn pixel by pixel through two colour maps
// in software, or as the sprites "char.0" onwards (one per code) on the hardware path.
//
// File (little-endian): 4 bytes unused, glyph count N, height H, 4 bytes unused, N file offsets of
// the glyph records. A record is a 32-bit width W then, when W is nonzero, H rows: single-byte
// fonts W bytes a row (255 background, anything else ink), double-byte fonts one byte a row for W
// up to 8, else two, pixels as bits, most significant first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/graphicbuffer.h"

constexpr int32_t kFontDoubleByte = 0x100;
constexpr int kFontTabStops = 8;
constexpr int kFontFallbackGlyph = 42;  // "*", drawn for codes beyond a single-byte font

struct FontGlyph {
    int32_t width = 0;
    const uint8_t* rows = nullptr;  // single-byte: 0/1 mask bytes; double-byte: packed bits
};

struct BitmapFont {
    int32_t flags = 0;
    int32_t glyphCount = 0;
    int32_t height = 0;
    uint8_t backgroundMap[256] = {};  // what a background pixel does to the destination's colour
    uint8_t inkMap[256] = {};         // what an ink pixel does to it
    std::vector<FontGlyph> glyphs;
    std::vector<uint8_t> data;  // the glyph rows, in glyph order
};

struct FontDescriptor {
    const char* name;
    int32_t flags;
};

// Reads the font file from the data root; null when it cannot be opened or is malformed (every
// offset, the count and each glyph's rows are checked against the file; double-byte glyphs wider
// or taller than 16 are refused, and so are glyphs wider than 4096).
BitmapFont* Font_Load(const FontDescriptor& descriptor);
BitmapFont* Font_LoadBytes(const uint8_t* bytes, size_t size, int32_t flags);
// Frees the font while freeing fonts is allowed (Font_SetFreeAllowed); null is ignored.
void Font_Free(BitmapFont* font);
void Font_SetFreeAllowed(bool allowed);

// The glyph of a character code; null when the font has none for it (a double-byte index past
// the count, or a single-byte code past a font that has no glyph 42).
const FontGlyph* Font_GetGlyph(const BitmapFont* font, uint32_t code);
int32_t Font_GetGlyphWidth(const BitmapFont* font, uint32_t code);
// Colour 256 or more (unsigned): identity, else every entry the colour. On the hardware path
// only the shared text colour changes.
void Font_SetColor(BitmapFont* font, int colour);
void Font_SetSourceRemap(BitmapFont* font, int colour);
void Font_SetTabStops(int count, const int* values);
void Font_ResetTabStops();

// Text drawn at (x, y) relative to the buffer's clip origin; tabs and newlines are laid out.
void Font_DrawText(BitmapFont* font, GraphicBuffer* buffer, int x, int y, const char* text);
// The same with (x, y) and the tab stops on a 640 x 480 virtual screen.
void Font_DrawTextScaled(BitmapFont* font, GraphicBuffer* buffer, int x, int y, const char* text);
void Font_DrawChar8(const BitmapFont* font, GraphicBuffer* buffer, int x, int y, uint32_t code);
void Font_DrawChar16(const BitmapFont* font, GraphicBuffer* buffer, int x, int y, uint32_t code);
void Font_MeasureText(const BitmapFont* font, const char* text, int* width, int* height);
int Font_TextWidth(const BitmapFont* font, const char* text);
int Font_TextHeight(const BitmapFont* font, const char* text);
// There are no system fonts: the dialogs draw with the bitmap fonts.
void* Font_LoadForMode(const void* table);

// For each lead byte of a double-byte character, the first glyph index of its row (0: a
// single-byte character). All zero until the language module fills it.
extern uint16_t DbcsLeadTable[256];
// The next character code at text and how many bytes it takes (0 at the end), stepped by the
// text services' cursor.
uint32_t Text_NextChar(const char* text, int* length);

// The glyph cache of double-byte text on the hardware path: 16 pages of 64 x 64 cut into 25
// cells of 12 x 12, appended to the sprite table. Set up by the language module.
constexpr int kGlyphCachePages = 16;
constexpr int kGlyphCacheCellsPerPage = 25;
constexpr int kGlyphCacheCell = 12;
constexpr int kGlyphCachePageSize = 64;
// Appends the cells (the pages belong to the caller; 16-bit pages hold 4096 16-bit pixels);
// false when the sprite table cannot take all of them.
bool Text_SetupGlyphCache(uint8_t* const pages[kGlyphCachePages], bool sixteenBit);
void Text_SetGlyphFont(BitmapFont* font);
extern bool TextJapanese;
// The sprite index of a double-byte character's cell, rendering it on first use.
int Text_GlyphSprite(uint32_t code);
// The character whose glyph a cache cell holds; -1 when none.
int Text_GlyphCacheOwner(int cell);

// The game's main fonts ("kolta.fnt"), loaded once; null until loaded.
BitmapFont* Font_Main();
void Font_LoadMain();
void Font_FreeMain();

// Puts tab stops, the sprite base, the lead table and the glyph cache back as at start-up.
void Font_Reset();
