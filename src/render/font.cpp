#include "render/font.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/bytes.h"
#include "core/text.h"
#include "platform/paths.h"
#include "render/blit.h"
#include "render/graphicdriver.h"
#include "render/sprite.h"

uint16_t DbcsLeadTable[256] = {};
bool TextJapanese = false;

namespace {

constexpr int kHeaderSize = 16;
constexpr int32_t kMaxHeight = 4096;
constexpr int32_t kMaxWidth = 4096;
constexpr int kLayoutLimit = 1 << 28;  // a pen this far out has long left every buffer
constexpr int kDefaultTabs[kFontTabStops] = {32, 64, 96, 128, 160, 192, 224, 256};
constexpr uint8_t kGlyphCacheInk = 0;  // the cell pixels a glyph covers, before the page conversion

int g_tabs[kFontTabStops] = {32, 64, 96, 128, 160, 192, 224, 256};
int g_charSpriteBase = -1;
bool g_freeAllowed = true;
BitmapFont* g_mainFont = nullptr;

struct GlyphCache {
    std::vector<uint16_t> map;  // glyph index -> sprite index, 0 when not cached
    std::vector<int> owner;     // cell -> glyph index it holds, -1 when none
    std::vector<uint8_t*> cellPixels;  // cell -> its first pixel in the page
    int first = 0, next = 0, end = 0;
    bool sixteenBit = false;
    BitmapFont* font = nullptr;
};
GlyphCache g_cache;

bool DoubleByte(const BitmapFont* font) { return font->flags & kFontDoubleByte; }

size_t RowBytes(const BitmapFont* font, int32_t width) {
    if (!DoubleByte(font)) return static_cast<size_t>(width);
    return width <= 8 ? 1 : 2;
}

bool DrawableBuffer(const GraphicBuffer* b, int32_t format) {
    return b && Graphic_IsValid(b) && b->pixels && b->pixels != Graphic_HardwareScreenMarker() && b->format == format;
}

// The glyph's rectangle clipped to the buffer's clip rectangle; false when nothing is left.
bool GlyphRect(const BitmapFont* font, const GraphicBuffer* b, int x, int y, int width, ClipRect* rect) {
    if (width <= 0 || font->height <= 0) return false;
    rect->left = x + b->clipLeft;
    rect->top = y + b->clipTop;
    rect->right = rect->left + width - 1;
    rect->bottom = rect->top + font->height - 1;
    ClipRect bounds{b->clipLeft, b->clipTop, b->clipRight, b->clipBottom};
    return Rect_Clip(rect, bounds) != -1;
}

// A glyph's pixels as 0/1 bytes, row stride = its width.
const uint8_t* GlyphMask(const BitmapFont* font, const FontGlyph& glyph, uint8_t (&scratch)[256]) {
    if (!DoubleByte(font)) return glyph.rows;
    const size_t row = RowBytes(font, glyph.width);
    for (int y = 0; y < font->height && y < 16; ++y)
        for (int x = 0; x < glyph.width; ++x) {
            const uint8_t byte = glyph.rows[static_cast<size_t>(y) * row + static_cast<size_t>(x / 8)];
            scratch[y * glyph.width + x] = (byte >> (7 - (x & 7))) & 1;
        }
    return scratch;
}

// Walks the text: tabs and newlines move the pen, every other character calls draw(code, x, y)
// and advances by its glyph's width.
template <class Draw>
void Layout(const BitmapFont* font, const char* text, int startX, int startY, float tabScale, Draw draw) {
    int pen = startX, line = startY, stop = 0;
    bool stopsLeft = true;
    for (const char* p = text; p && *p;) {
        int length = 0;
        const uint32_t code = Text_NextChar(p, &length);
        if (length <= 0 || pen - startX > kLayoutLimit || line - startY > kLayoutLimit) break;
        p += length;
        while (stopsLeft && g_tabs[stop] != -1 && static_cast<float>(g_tabs[stop]) * tabScale <= pen - startX) {
            if (++stop >= kFontTabStops) break;
        }
        if (stop >= kFontTabStops || g_tabs[stop] == -1) stopsLeft = false;
        if (code == '\t') {
            if (stopsLeft) pen = startX + static_cast<int>(static_cast<float>(g_tabs[stop]) * tabScale);
            else pen += static_cast<int>(32.0f * tabScale);
        } else if (code == '\n') {
            line += font->height + 2;
            pen = startX;
        } else {
            draw(code, pen, line);
            pen += Font_GetGlyphWidth(font, code);
        }
    }
}

void DrawTextAt(BitmapFont* font, GraphicBuffer* buffer, int x, int y, const char* text, float tabScale) {
    if (!font || !buffer) return;
    if (g_charSpriteBase < 0) g_charSpriteBase = Sprite_Find("char.0");
    GraphicBuffer* screen = &g_graphicDriver.screen;
    const bool hardware = buffer == screen && Sprite_HardwareTarget(screen);
    const bool sixteen = buffer == screen && buffer->format == kGraphicFormat16;
    Layout(font, text, x, y, tabScale, [&](uint32_t code, int px, int py) {
        if (hardware) {
            const int sprite = DoubleByte(font) ? Text_GlyphSprite(code) : g_charSpriteBase + static_cast<int>(code & 0xFF);
            Sprite_Draw(buffer, sprite, px, py, kSpriteClip | 5);
        } else if (sixteen) {
            Font_DrawChar16(font, buffer, px, py, code);
        } else {
            Font_DrawChar8(font, buffer, px, py, code);
        }
    });
}

}  // namespace

// ---- Loading ---------------------------------------------------------------------------------

BitmapFont* Font_LoadBytes(const uint8_t* bytes, size_t size, int32_t flags) {
    if (!bytes || size < kHeaderSize) return nullptr;
    const int64_t count = Bytes_I32(bytes + 4), height = Bytes_I32(bytes + 8);
    if (count < 0 || height < 0 || height > kMaxHeight) return nullptr;
    // Double-byte glyphs are drawn through a 16 x 16 mask.
    if ((flags & kFontDoubleByte) && height > 16) return nullptr;
    if (kHeaderSize + 4 * static_cast<uint64_t>(count) > size) return nullptr;
    BitmapFont* font = new (std::nothrow) BitmapFont;
    if (!font) return nullptr;
    font->flags = flags;
    font->glyphCount = static_cast<int32_t>(count);
    font->height = static_cast<int32_t>(height);
    std::vector<size_t> starts(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        const uint64_t offset = Bytes_U32(bytes + kHeaderSize + 4 * i);
        if (offset < kHeaderSize + 4 * static_cast<uint64_t>(count) || offset + 4 > size) {
            delete font;
            return nullptr;
        }
        const int32_t width = Bytes_I32(bytes + offset);
        if (width < 0 || width > kMaxWidth || (DoubleByte(font) && width > 16)) {
            delete font;
            return nullptr;
        }
        const uint64_t rows = width ? static_cast<uint64_t>(RowBytes(font, width)) * static_cast<uint64_t>(height) : 0;
        if (rows > size - offset - 4) {
            delete font;
            return nullptr;
        }
        starts[static_cast<size_t>(i)] = font->data.size();
        font->data.insert(font->data.end(), bytes + offset + 4, bytes + offset + 4 + rows);
        font->glyphs.push_back(FontGlyph{width, nullptr});
    }
    for (int64_t i = 0; i < count; ++i) font->glyphs[static_cast<size_t>(i)].rows = font->data.data() + starts[static_cast<size_t>(i)];
    Font_SetSourceRemap(font, -1);
    Font_SetColor(font, 15);
    if (!DoubleByte(font))
        for (uint8_t& b : font->data) b = b != 255 ? 1 : 0;
    return font;
}

BitmapFont* Font_Load(const FontDescriptor& descriptor) {
    if (!descriptor.name) return nullptr;
    FILE* file = Plat_OpenFile(Plat_DataPath(descriptor.name), "rb");
    if (!file) return nullptr;
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
    return Font_LoadBytes(bytes.data(), bytes.size(), descriptor.flags);
}

void Font_Free(BitmapFont* font) {
    if (!g_freeAllowed || !font) return;
    if (g_cache.font == font) Text_SetGlyphFont(nullptr);
    if (g_mainFont == font) g_mainFont = nullptr;
    delete font;
}

void Font_SetFreeAllowed(bool allowed) { g_freeAllowed = allowed; }

// ---- Glyphs and colours ----------------------------------------------------------------------

const FontGlyph* Font_GetGlyph(const BitmapFont* font, uint32_t code) {
    if (!font) return nullptr;
    uint32_t index;
    if (DoubleByte(font)) {
        const uint32_t row = DbcsLeadTable[code & 0xFF];
        index = row ? row + ((code >> 8) & 0xFF) : code & 0xFF;
    } else {
        index = code & 0xFF;
        if (index >= static_cast<uint32_t>(font->glyphCount)) index = kFontFallbackGlyph;
    }
    if (index >= static_cast<uint32_t>(font->glyphCount)) return nullptr;
    return &font->glyphs[index];
}

int32_t Font_GetGlyphWidth(const BitmapFont* font, uint32_t code) {
    const FontGlyph* glyph = Font_GetGlyph(font, code);
    return glyph ? glyph->width : 0;
}

void Font_SetColor(BitmapFont* font, int colour) {
    if (GraphicD3DFlags) {
        TextColour = colour & 0xFF;
        return;
    }
    if (!font) return;
    for (int i = 0; i < 256; ++i)
        font->inkMap[i] = static_cast<uint8_t>(static_cast<unsigned>(colour) >= 256 ? i : colour);
}

void Font_SetSourceRemap(BitmapFont* font, int colour) {
    if (GraphicD3DFlags || !font) return;
    for (int i = 0; i < 256; ++i)
        font->backgroundMap[i] = static_cast<uint8_t>(static_cast<unsigned>(colour) >= 256 ? i : colour);
}

void Font_SetTabStops(int count, const int* values) {
    for (int i = 0; i < kFontTabStops; ++i) g_tabs[i] = i < count && values ? values[i] : -1;
}

void Font_ResetTabStops() { std::memcpy(g_tabs, kDefaultTabs, sizeof g_tabs); }

// ---- Drawing ---------------------------------------------------------------------------------

void Font_DrawChar8(const BitmapFont* font, GraphicBuffer* buffer, int x, int y, uint32_t code) {
    if (!font || !DrawableBuffer(buffer, kGraphicFormat8)) return;
    const FontGlyph* glyph = Font_GetGlyph(font, code);
    ClipRect rect;
    if (!glyph || !GlyphRect(font, buffer, x, y, glyph->width, &rect)) return;
    uint8_t scratch[256] = {};
    const uint8_t* mask = GlyphMask(font, *glyph, scratch);
    const uint8_t* maps[2] = {font->backgroundMap, font->inkMap};
    const int originX = x + buffer->clipLeft, originY = y + buffer->clipTop;
    for (int py = rect.top; py <= rect.bottom; ++py) {
        uint8_t* row = buffer->pixels + static_cast<size_t>(py) * static_cast<size_t>(buffer->width);
        const uint8_t* m = mask + static_cast<size_t>(py - originY) * static_cast<size_t>(glyph->width);
        for (int px = rect.left; px <= rect.right; ++px) row[px] = maps[m[px - originX]][row[px]];
    }
}

void Font_DrawChar16(const BitmapFont* font, GraphicBuffer* buffer, int x, int y, uint32_t code) {
    if (!font || !DrawableBuffer(buffer, kGraphicFormat16)) return;
    const FontGlyph* glyph = Font_GetGlyph(font, code);
    ClipRect rect;
    if (!glyph || !GlyphRect(font, buffer, x, y, glyph->width, &rect)) return;
    uint8_t scratch[256] = {};
    const uint8_t* mask = GlyphMask(font, *glyph, scratch);
    const uint16_t ink = PaletteColors16[font->inkMap[0]];
    const int originX = x + buffer->clipLeft, originY = y + buffer->clipTop;
    for (int py = rect.top; py <= rect.bottom; ++py) {
        uint16_t* row = reinterpret_cast<uint16_t*>(buffer->pixels) + static_cast<size_t>(py) * static_cast<size_t>(buffer->width);
        const uint8_t* m = mask + static_cast<size_t>(py - originY) * static_cast<size_t>(glyph->width);
        for (int px = rect.left; px <= rect.right; ++px)
            if (m[px - originX]) row[px] = ink;
    }
}

void Font_DrawText(BitmapFont* font, GraphicBuffer* buffer, int x, int y, const char* text) {
    DrawTextAt(font, buffer, x, y, text, 1.0f);
}

void Font_DrawTextScaled(BitmapFont* font, GraphicBuffer* buffer, int x, int y, const char* text) {
    const GraphicBuffer& screen = g_graphicDriver.screen;
    const float sx = static_cast<float>(screen.clipRight - screen.clipLeft + 1) / 640.0f;
    const float sy = static_cast<float>(screen.clipBottom - screen.clipTop + 1) / 480.0f;
    DrawTextAt(font, buffer, static_cast<int>(static_cast<float>(x) * sx), static_cast<int>(static_cast<float>(y) * sy),
               text, sx);
}

void Font_MeasureText(const BitmapFont* font, const char* text, int* width, int* height) {
    int w = 0, h = 0;
    if (font)
        Layout(font, text, 0, 0, 1.0f, [&](uint32_t code, int pen, int line) {
            const int right = pen + Font_GetGlyphWidth(font, code);
            if (right > w) w = right;
            if (line + font->height > h) h = line + font->height;
        });
    if (width) *width = w;
    if (height) *height = h;
}

int Font_TextWidth(const BitmapFont* font, const char* text) {
    int w = 0;
    Font_MeasureText(font, text, &w, nullptr);
    return w;
}

int Font_TextHeight(const BitmapFont* font, const char* text) {
    int h = 0;
    Font_MeasureText(font, text, nullptr, &h);
    return h;
}

void* Font_LoadForMode(const void*) { return nullptr; }

uint32_t Text_NextChar(const char* text, int* length) {
    // The text services' cursor decides whether a lead byte and its trail make one character.
    const char* cursor = text;
    Text_NextChar(&cursor);
    *length = static_cast<int>(cursor - text);
    const uint32_t lead = static_cast<uint8_t>(text[0]);
    if (*length == 2) return lead | (static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8);
    return *length ? lead : 0;
}

// ---- The glyph cache -------------------------------------------------------------------------

bool Text_SetupGlyphCache(uint8_t* const pages[kGlyphCachePages], bool sixteenBit) {
    constexpr int kCells = kGlyphCachePages * kGlyphCacheCellsPerPage;
    if (SpriteCount + kCells > kSpriteLimit) return false;
    g_cache.sixteenBit = sixteenBit;
    g_cache.owner.assign(kCells, -1);
    g_cache.cellPixels.clear();
    const int pitch = kGlyphCachePageSize << (sixteenBit ? 1 : 0);
    for (int p = 0; p < kGlyphCachePages; ++p) {
        uint8_t* page = pages[p];
        Bytes_SetU32(page, static_cast<uint32_t>(pitch) | (sixteenBit ? 0x10000u : 0u));
        Bytes_SetU32(page + 4, kGlyphCachePageSize);
        uint8_t* pixels = page + 8;
        for (int i = 0; i < kGlyphCachePageSize * kGlyphCachePageSize; ++i) {
            if (sixteenBit) {
                pixels[2 * i] = 0xFF;
                pixels[2 * i + 1] = 0x0F;
            } else {
                pixels[i] = 255;
            }
        }
        for (int c = 0; c < kGlyphCacheCellsPerPage; ++c) {
            const int cx = (c % 5) * kGlyphCacheCell, cy = (c / 5) * kGlyphCacheCell;
            const int index = Sprite_Append(page, cx, cy, kGlyphCacheCell, kGlyphCacheCell);
            if (p == 0 && c == 0) g_cache.first = index;
            g_cache.cellPixels.push_back(pixels + static_cast<size_t>(cy) * static_cast<size_t>(pitch) +
                                         static_cast<size_t>(cx << (sixteenBit ? 1 : 0)));
        }
    }
    g_cache.next = g_cache.first;
    g_cache.end = g_cache.first + kCells;
    if (g_cache.font) g_cache.map.assign(static_cast<size_t>(g_cache.font->glyphCount), 0);
    return true;
}

void Text_SetGlyphFont(BitmapFont* font) {
    g_cache.font = font;
    g_cache.map.assign(font ? static_cast<size_t>(font->glyphCount) : 0, 0);
    g_cache.owner.assign(g_cache.owner.size(), -1);
    g_cache.next = g_cache.first;
}

int Text_GlyphSprite(uint32_t code) {
    if (!TextJapanese || !g_cache.font || g_cache.end == 0) return g_cache.first;
    BitmapFont* font = g_cache.font;
    const uint32_t row = DbcsLeadTable[code & 0xFF];
    const uint32_t g = row ? row + ((code >> 8) & 0xFF) : code & 0xFF;
    if (g >= g_cache.map.size()) return g_cache.first;
    if (g_cache.map[g]) return g_cache.map[g];
    int sprite = g_cache.next;
    if (sprite == g_cache.end) sprite = g_cache.end - 1;  // full: the last cell again
    else ++g_cache.next;
    const int cell = sprite - g_cache.first;
    // The cell's previous character must not keep pointing at a glyph that is no longer there.
    if (g_cache.owner[static_cast<size_t>(cell)] >= 0) g_cache.map[static_cast<size_t>(g_cache.owner[static_cast<size_t>(cell)])] = 0;
    uint8_t pixels[16 * 16];
    std::memset(pixels, 255, sizeof pixels);
    GraphicBuffer scratch;
    Graphic_InitBuffer(&scratch, 16, 16, pixels, kGraphicFormat8);
    uint8_t savedInk[256];
    std::memcpy(savedInk, font->inkMap, sizeof savedInk);
    std::memset(font->inkMap, kGlyphCacheInk, sizeof font->inkMap);
    Font_DrawChar8(font, &scratch, 0, 0, code);
    std::memcpy(font->inkMap, savedInk, sizeof savedInk);
    uint8_t* target = g_cache.cellPixels[static_cast<size_t>(cell)];
    const size_t pitch = kGlyphCachePageSize << (g_cache.sixteenBit ? 1 : 0);
    for (int y = 0; y < kGlyphCacheCell; ++y)
        for (int x = 0; x < kGlyphCacheCell; ++x) {
            const bool ink = pixels[y * 16 + x] == kGlyphCacheInk;
            uint8_t* p = target + static_cast<size_t>(y) * pitch;
            if (g_cache.sixteenBit) {
                const uint16_t value = ink ? 0xFFFF : 0x0FFF;
                p[2 * x] = static_cast<uint8_t>(value & 0xFF);
                p[2 * x + 1] = static_cast<uint8_t>(value >> 8);
            } else {
                p[x] = ink ? kGlyphCacheInk : 255;
            }
        }
    if (GraphicD3DFlags) Graphic_SetTextureReload(true);
    g_cache.map[g] = static_cast<uint16_t>(sprite);
    g_cache.owner[static_cast<size_t>(cell)] = static_cast<int>(g);
    return sprite;
}

int Text_GlyphCacheOwner(int cell) {
    return cell >= 0 && static_cast<size_t>(cell) < g_cache.owner.size() ? g_cache.owner[static_cast<size_t>(cell)] : -1;
}

// ---- The main font ---------------------------------------------------------------------------

BitmapFont* Font_Main() { return g_mainFont; }

void Font_LoadMain() {
    if (!g_mainFont) g_mainFont = Font_Load(FontDescriptor{"kolta.fnt", 2});
}

void Font_FreeMain() {
    BitmapFont* font = g_mainFont;
    g_mainFont = nullptr;
    Font_Free(font);
}

void Font_Reset() {
    Font_ResetTabStops();
    g_charSpriteBase = -1;
    std::memset(DbcsLeadTable, 0, sizeof DbcsLeadTable);
    TextJapanese = false;
    g_freeAllowed = true;
    g_cache = GlyphCache{};
    delete g_mainFont;
    g_mainFont = nullptr;
}
