#include "render/sprite.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "core/bytes.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "core/seams/render.h"
#include "render/blit.h"
#include "render/clip.h"
#include "render/d3dpolygon.h"
#include "render/font.h"
#include "render/graphicdriver.h"
#include "render/raster.h"
#include "render/renderqueue.h"
#include "render/texcache.h"
#include "render/view.h"

int32_t SpriteCount = 0;
const uint32_t SpriteColors[16] = {0xFFFFFF, 0xEECCAA, 0x443322, 0x000000, 0x00FF00, 0xFFFF00, 0xFF0000, 0x007FFF,
                                   0x00FFFF, 0x999999, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
const uint32_t SpriteDrawModes[8] = {0x4, 0x44, 0x84, 0xA4, 0xCC, 0x10A, 0x4, 0x4};
const uint32_t SpriteQuadModes[8] = {0x4, 0x44, 0x84, 0xA4, 0xC4, 0x10A, 0x4, 0x4};
float OverlayDepth = 0.0f;
uint32_t CurrentTint = 0xFFFFFF;

namespace {

constexpr int kNameLength = 32;
constexpr int kPageHeader = 8;
constexpr int kDefaultSide = 16;

// The built-in default sprite's page: a 16 x 16 frame in colour 15 around a keyed (255) middle.
struct DefaultPage {
    std::array<uint8_t, kPageHeader + kDefaultSide * kDefaultSide> bytes{};
    DefaultPage() {
        Bytes_SetU32(bytes.data(), kDefaultSide);  // row length 16, shift 0
        Bytes_SetU32(bytes.data() + 4, kDefaultSide);
        for (int y = 0; y < kDefaultSide; ++y)
            for (int x = 0; x < kDefaultSide; ++x) {
                bool edge = x == 0 || y == 0 || x == kDefaultSide - 1 || y == kDefaultSide - 1;
                bytes[kPageHeader + y * kDefaultSide + x] = edge ? 15 : 255;
            }
    }
};
const DefaultPage g_defaultPage;

std::array<Sprite, kSpriteLimit> g_sprites;
std::array<std::array<char, kNameLength>, kSpriteLimit> g_names;
// The full page file name each entry holds locked in the file cache; empty for none.
std::array<std::string, kSpriteLimit> g_pageNames;
int32_t g_startupCount = -1;  // entries kept through mission resets; -1 until the first reset

void PipelineDirect(const RenderVertex* vertices, int count, const uint8_t* page, uint32_t flags) {
    D3DRender_DrawDirect(nullptr, vertices, count, reinterpret_cast<const TextureImage*>(page), 0, flags);
}
void PipelinePolygon(const RenderView* view, const RenderVertex* vertices, int count, const uint8_t* page,
                     uint32_t flags) {
    D3DRender_DrawPolygon(view, vertices, count, reinterpret_cast<const TextureImage*>(page), 0, flags);
}
constexpr SpriteHardware kNoHardware = {PipelineDirect, PipelinePolygon};
SpriteHardware g_hardware = kNoHardware;

const uint8_t* CacheUse(const char* name, size_t* size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(Cache_UseItem(name));
    *size = bytes ? Cache_GetItemSize(name) : 0;
    return bytes;
}
constexpr SpriteFiles kCacheFiles = {CacheUse, Cache_UnlockItem};
SpriteFiles g_files = kCacheFiles;

Sprite DefaultSprite() {
    Sprite s;
    s.width = kDefaultSide;
    s.height = kDefaultSide;
    s.page = g_defaultPage.bytes.data();
    return s;
}

const Sprite& Entry(int index) { return g_sprites[index >= 0 && index < SpriteCount ? index : 0]; }

void ClearTable() {
    g_sprites.fill(Sprite{});
    for (auto& n : g_names) n.fill(0);
    for (auto& p : g_pageNames) p.clear();
    g_sprites[0] = DefaultSprite();
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool NameMatches(const std::array<char, kNameLength>& stored, const char* name) {
    for (int i = 0; i < kNameLength; ++i) {
        if (Lower(stored[i]) != Lower(name[i])) return false;
        if (!name[i]) return true;
    }
    return true;
}

float PageW(const uint8_t* page) { return static_cast<float>(Sprite_PageWidth(page)); }
float PageH(const uint8_t* page) { return static_cast<float>(Sprite_PageHeight(page)); }

void Align(uint32_t flags, int w, int h, int* x, int* y) {
    if (flags & kSpriteCentreX) *x -= w / 2;
    else if (flags & kSpriteRight) *x -= w;
    if (flags & kSpriteCentreY) *y -= h / 2;
    else if (flags & kSpriteBottom) *y -= h;
}

RenderVertex Vertex(float x, float y, float rz, float u, float v) { return RenderVertex{x, y, rz, u, v, {1.0f}}; }

// A source buffer over the page's pixels with the inclusive source rectangle as clip rectangle.
GraphicBuffer PageBuffer(const uint8_t* page, int left, int top, int right, int bottom) {
    GraphicBuffer b;
    Graphic_InitBuffer(&b, Bytes_U16(page), Sprite_PageHeight(page), const_cast<uint8_t*>(page + kPageHeader),
                       kGraphicFormat8);
    b.clipLeft = left;
    b.clipTop = top;
    b.clipRight = right;
    b.clipBottom = bottom;
    return b;
}

}  // namespace

bool Sprite_PageFits(const uint8_t* page, size_t size) {
    if (!page || size < kPageHeader) return false;
    uint32_t shift = Bytes_U16(page + 2);
    if (shift > 1) return false;
    uint64_t rows = Bytes_U32(page + 4);
    return static_cast<uint64_t>(Bytes_U16(page)) * rows <= size - kPageHeader;
}

int Sprite_PageWidth(const uint8_t* page) { return page ? Bytes_U16(page) >> (Bytes_U16(page + 2) & 1) : 0; }
int Sprite_PageHeight(const uint8_t* page) { return page ? static_cast<int>(Bytes_U32(page + 4) & 0x7FFFFFFF) : 0; }

float Sprite_ClampDepth() {
    if (!(OverlayDepth >= 0.1f)) OverlayDepth = 0.1f;
    if (OverlayDepth > 1640.0f) OverlayDepth = 1640.0f;
    return OverlayDepth;
}

int Sprite_LoadTable() {
    OverlayDepth = 0.0f;
    Sprite_ClampDepth();
    ClearTable();
    SpriteCount = 1;
    g_startupCount = -1;
    const char* tableName = (GraphicD3DFlags & 4) ? "spritea.stb" : "sprite8.stb";
    size_t tableSize = 0;
    const uint8_t* table = g_files.use(tableName, &tableSize);
    if (!table) {
        Error_Warning("Sprite table %s not found\n", tableName);
        return 0;
    }
    const size_t records = tableSize / kSpriteRecordSize;
    std::set<std::string> warned;
    const bool hardware = GraphicD3DFlags != 0;
    for (size_t r = 0; r < records; ++r) {
        if (SpriteCount > kSpriteLimit - 1) {
            SpriteCount = kSpriteLimit;
            Error_Warning("Sprite table overflow\n");
            break;
        }
        const uint8_t* rec = table + r * kSpriteRecordSize;
        const int index = SpriteCount++;
        std::memcpy(g_names[index].data(), rec, kNameLength);
        char stem[9] = {};
        std::memcpy(stem, rec + 32, 8);
        const int32_t flags = Bytes_I32(rec + 48);
        char pageName[32];
        if (hardware || (flags & 15) == 0) std::snprintf(pageName, sizeof pageName, "%.8s.MAP", stem);
        else std::snprintf(pageName, sizeof pageName, "%.8s_%c.MAP", stem, "0123456789ABCDEF"[flags & 15]);
        size_t pageSize = 0;
        const uint8_t* page = g_files.use(pageName, &pageSize);
        Sprite s;
        s.x = Bytes_U16(rec + 40);
        s.y = Bytes_U16(rec + 42);
        s.width = Bytes_U16(rec + 44);
        s.height = Bytes_U16(rec + 46);
        s.flags = flags;
        s.page = page;
        // A page that does not hold its rows, or a rectangle leaving it, draws as the default.
        // Each bad page is reported once, with what is wrong with it, not once per sprite.
        const bool pageFits = page && Sprite_PageFits(page, pageSize);
        bool good = pageFits && s.x + s.width <= Sprite_PageWidth(page) && s.y + s.height <= Sprite_PageHeight(page);
        if (!good) {
            if (page) g_files.release(pageName);
            const bool first = warned.insert(pageName).second;
            if (first && !page)
                Error_Warning("Sprite texture file \"%s\" not found\n", pageName);
            else if (first && !pageFits)
                Error_Warning("Sprite texture file \"%s\" is damaged: its header does not match its %zu bytes\n",
                              pageName, pageSize);
            else if (first)
                Error_Warning("Sprite texture file \"%s\" does not hold sprite %.32s of %s\n", pageName,
                              g_names[index].data(), tableName);
            g_sprites[index] = g_sprites[0];
            continue;
        }
        g_sprites[index] = s;
        g_pageNames[index] = pageName;
    }
    g_files.release(tableName);
    return 1;
}

void Sprite_ReleasePages() {
    for (int i = 1; i < kSpriteLimit; ++i)
        if (!g_pageNames[i].empty()) g_files.release(g_pageNames[i].c_str());
}

void Sprite_ReacquirePages() {
    for (int i = 1; i < SpriteCount; ++i) {
        if (g_pageNames[i].empty()) continue;
        size_t size = 0;
        const uint8_t* page = g_files.use(g_pageNames[i].c_str(), &size);
        if (page && Sprite_PageFits(page, size)) {
            g_sprites[i].page = page;
        } else {
            if (page) g_files.release(g_pageNames[i].c_str());
            g_sprites[i] = g_sprites[0];
            g_pageNames[i].clear();
        }
    }
}

void Sprite_FreeTable() {
    Sprite_ReleasePages();
    SpriteCount = 0;
    ClearTable();
    g_startupCount = -1;
}

int Sprite_Find(const char* name) {
    if (!name) return 0;
    for (int i = SpriteCount - 1; i >= 1; --i)
        if (NameMatches(g_names[i], name)) return i;
    return 0;
}

const Sprite& Sprite_Get(int index) { return Entry(index); }

int Sprite_Append(const uint8_t* page, int x, int y, int width, int height) {
    if (SpriteCount < 1) {  // an empty table still has its default entry
        ClearTable();
        SpriteCount = 1;
    }
    if (SpriteCount >= kSpriteLimit) return 0;
    const int index = SpriteCount++;
    Sprite s;
    s.x = x;
    s.y = y;
    s.width = width;
    s.height = height;
    s.page = page;
    g_sprites[index] = s;
    g_names[index].fill(0);
    g_pageNames[index].clear();
    return index;
}

void Sprite_GetSize(int index, int* width, int* height) {
    const Sprite& s = Entry(index);
    if (width) *width = s.width;
    if (height) *height = s.height;
}

void Sprite_ResetTables() {
    if (g_startupCount < 0) {
        g_startupCount = SpriteCount;
        return;
    }
    for (int i = g_startupCount; i < SpriteCount; ++i) {
        g_sprites[i] = Sprite{};
        g_names[i].fill(0);
    }
    if (SpriteCount > g_startupCount) SpriteCount = g_startupCount;
}

void Sprite_MarkStartupEnd() { g_startupCount = SpriteCount; }

const uint8_t* Sprite_GetUV(int index, float* u0, float* v0, float* u1, float* v1) {
    const Sprite& s = Entry(index);
    const float pw = PageW(s.page), ph = PageH(s.page);
    if (u0) *u0 = static_cast<float>(s.x) / pw;
    if (v0) *v0 = static_cast<float>(s.y) / ph;
    if (u1) *u1 = static_cast<float>(s.x + s.width) / pw;
    if (v1) *v1 = static_cast<float>(s.y + s.height) / ph;
    return s.page;
}

int Sprite_ClipRect(int left, int top, int right, int bottom, int* x, int* y, int* width, int* height, float* u0,
                    float* v0, float* u1, float* v1) {
    if (*x > right || *x + *width <= left || *y > bottom || *y + *height <= top) return 0;
    if (*x < left) {
        *u0 += static_cast<float>(left - *x) / static_cast<float>(*width) * (*u1 - *u0);
        *width -= left - *x;
        *x = left;
    }
    // The clip bounds are inclusive: the right column and bottom row stay.
    if (*x + *width > right + 1) {
        *u1 = *u0 + static_cast<float>(right - *x + 1) / static_cast<float>(*width) * (*u1 - *u0);
        *width = right - *x + 1;
    }
    if (*y < top) {
        *v0 += static_cast<float>(top - *y) / static_cast<float>(*height) * (*v1 - *v0);
        *height -= top - *y;
        *y = top;
    }
    if (*y + *height > bottom + 1) {
        *v1 = *v0 + static_cast<float>(bottom - *y + 1) / static_cast<float>(*height) * (*v1 - *v0);
        *height = bottom - *y + 1;
    }
    return 1;
}

bool Sprite_HardwareTarget(const GraphicBuffer* target) {
    return GraphicD3DFlags != 0 && target == &g_graphicDriver.screen;
}

int Sprite_Draw(GraphicBuffer* target, int index, int x, int y, uint32_t flags) {
    const Sprite& s = Entry(index);
    int w = s.width, h = s.height;
    Align(flags, w, h, &x, &y);
    if (!Sprite_HardwareTarget(target)) {
        if (!s.page) return 1;
        GraphicBuffer source = PageBuffer(s.page, s.x, s.y, s.x + w - 1, s.y + h - 1);
        Graphic_Copy_Bitmap(target, &source, x, y, static_cast<int>(flags & 7));
        return 1;
    }
    // Screen coordinates from here on (the caller's are relative to the clip origin).
    x += target->clipLeft;
    y += target->clipTop;
    float u0, v0, u1, v1;
    Sprite_GetUV(index, &u0, &v0, &u1, &v1);
    if (flags & kSpriteClip) {
        if (!Sprite_ClipRect(target->clipLeft, target->clipTop, target->clipRight, target->clipBottom, &x, &y, &w, &h,
                             &u0, &v0, &u1, &v1))
            return 0;
    }
    CurrentTint = SpriteColors[s.flags & 15];
    const float rz = 1.0f / Sprite_ClampDepth();
    if (flags & kSpriteMirror) std::swap(u0, u1);
    const float l = static_cast<float>(x), t = static_cast<float>(y);
    const float r = static_cast<float>(x + w), b = static_cast<float>(y + h);
    const RenderVertex v[4] = {Vertex(l, t, rz, u0, v0), Vertex(r, t, rz, u1, v0), Vertex(r, b, rz, u1, v1),
                               Vertex(l, b, rz, u0, v1)};
    g_hardware.drawDirect(v, 4, s.page, SpriteDrawModes[flags & 7]);
    CurrentTint = 0xFFFFFF;
    return 1;
}

int Sprite_DrawScaled(const RenderView* view, int index, int x, int y, int depth, int width, int height,
                      uint32_t flags) {
    if (width <= 0 || height <= 0 || depth <= 0 || !view) return 0;
    const Sprite& s = Entry(index);
    if (flags & kSpriteCentreX) x += 1 - width / 2;
    else if (flags & kSpriteRight) x += 1 - width;
    if (flags & kSpriteCentreY) y += 1 - height / 2;
    else if (flags & kSpriteBottom) y += 1 - height;
    const int wl = static_cast<int>(view->windowLeft), wt = static_cast<int>(view->windowTop);
    const int wr = static_cast<int>(view->windowRight), wb = static_cast<int>(view->windowBottom);
    if (Sprite_HardwareTarget(view->buffer)) {
        float u0, v0, u1, v1;
        Sprite_GetUV(index, &u0, &v0, &u1, &v1);
        if (!Sprite_ClipRect(wl, wt, wr, wb, &x, &y, &width, &height, &u0, &v0, &u1, &v1)) return 0;
        CurrentTint = SpriteColors[s.flags & 15];
        const float rz = 1.0f / static_cast<float>(depth);
        const float l = static_cast<float>(x), t = static_cast<float>(y);
        const float r = static_cast<float>(x + width - 1), b = static_cast<float>(y + height - 1);
        const RenderVertex v[4] = {Vertex(l, t, rz, u0, v0), Vertex(r, t, rz, u1, v0), Vertex(r, b, rz, u1, v1),
                                   Vertex(l, b, rz, u0, v1)};
        g_hardware.drawDirect(v, 4, s.page, SpriteDrawModes[flags & 7]);
        CurrentTint = 0xFFFFFF;
        return 1;
    }
    if (!s.page || !view->buffer) return 0;
    // Source columns [u0, u1) and rows [v0, v1) in page pixels, cut in proportion with the target.
    float u0 = static_cast<float>(s.x), u1 = static_cast<float>(s.x + s.width);
    float v0 = static_cast<float>(s.y), v1 = static_cast<float>(s.y + s.height);
    if (!Sprite_ClipRect(wl, wt, wr, wb, &x, &y, &width, &height, &u0, &v0, &u1, &v1)) return 0;
    const int left = static_cast<int>(std::floor(u0)), top = static_cast<int>(std::floor(v0));
    int right = static_cast<int>(std::ceil(u1)) - 1, bottom = static_cast<int>(std::ceil(v1)) - 1;
    if (right < left) right = left;
    if (bottom < top) bottom = top;
    GraphicBuffer source = PageBuffer(s.page, left, top, right, bottom);
    Graphic_Stretch_Bitmap(view->buffer, &source, x, y, x + width - 1, y + height - 1, static_cast<int>(flags & 7));
    return 1;
}

int Sprite_DrawQuad3D(const RenderView* view, int index, const float corners[4][3], uint32_t mode) {
    const Sprite& s = Entry(index);
    float u0, v0, u1, v1;
    Sprite_GetUV(index, &u0, &v0, &u1, &v1);
    const float u[4] = {u0, u1, u1, u0}, v[4] = {v0, v0, v1, v1};
    RenderVertex vertices[4];
    for (int i = 0; i < 4; ++i) vertices[i] = RenderVertex{corners[i][0], corners[i][1], corners[i][2], u[i], v[i], {1.0f}};
    CurrentTint = SpriteColors[s.flags & 15];
    const uint32_t flags = SpriteQuadModes[mode & 7] | kPolyPerspective;
    if (GraphicD3DFlags) g_hardware.drawPolygon(view, vertices, 4, s.page, flags);
    else if (view) Render_DrawPolygon(view, vertices, 4, reinterpret_cast<const TextureImage*>(s.page), 0, flags);
    CurrentTint = 0xFFFFFF;
    return 1;
}

void Smoke_QueuePuff(const float position[3], float size) {
    RenderItem* item = RenderQueue_Current();
    if (!item) return;
    item->vertexCount = 0;
    item->ref = static_cast<uint32_t>(Sprite_Find("lsmoke.12"));
    item->flags = 4;
    item->kind = kRenderSmokeSprite;
    item->depth = position[2];
    RenderSpritePayload payload{size, {position[0], position[1], position[2]}};
    RenderItem_SetPayload(item, payload);
    RenderQueue_Add(position[2]);
}

int Sprite_CentreTexel(int index) {
    const Sprite& s = Entry(index);
    if (!s.page || Bytes_U16(s.page + 2) != 0) return -1;
    const int x = s.x + s.width / 2, y = s.y + s.height / 2;
    if (x >= Sprite_PageWidth(s.page) || y >= Sprite_PageHeight(s.page)) return -1;
    return s.page[kPageHeader + static_cast<size_t>(y) * Bytes_U16(s.page) + static_cast<size_t>(x)];
}

void Sprite_SetFiles(const SpriteFiles* files) { g_files = files ? *files : kCacheFiles; }

void Sprite_SetHardware(const SpriteHardware* hardware) { g_hardware = hardware ? *hardware : kNoHardware; }

void Sprite_Reset() {
    Sprite_FreeTable();
    OverlayDepth = 0.0f;
    CurrentTint = 0xFFFFFF;
    g_hardware = kNoHardware;
    g_files = kCacheFiles;
}

void Sprite_Draw3D(const RenderView* view, int index, float size, const float position[3], uint32_t flags) {
    if (!view || !(position[2] > kViewNear)) return;
    const float x = view->centreX + view->scaleX * position[0] / position[2];
    const float y = view->centreY + view->scaleY * position[1] / position[2];
    const float pixels = size * view->scaleX / position[2];
    if (!(pixels >= 1.0f && pixels < 4096.0f) || !(std::fabs(x) < 1.0e6f && std::fabs(y) < 1.0e6f)) return;
    const int side = static_cast<int>(pixels);
    const int depth = position[2] < 1.0f ? 1 : static_cast<int>(position[2]);
    Sprite_DrawScaled(view, index, static_cast<int>(x), static_cast<int>(y), depth, side, side,
                      (flags & 7) | kSpriteCentreX | kSpriteCentreY);
}

void Sprite_InstallSeam() {
    RenderSeam& seam = Seam_Render();
    seam.loadSprites = [] { Sprite_LoadTable(); };
    seam.freeSprites = Sprite_FreeTable;
    seam.spriteTablesReset = Sprite_ResetTables;
    seam.loadFonts = Font_LoadMain;
    seam.freeFonts = Font_FreeMain;
    seam.fontHeight = [] { return Font_Main() ? Font_Main()->height : 0; };
    seam.textWidth = [](const char* text) { return Font_TextWidth(Font_Main(), text); };
    seam.drawText = [](int x, int y, const char* text, int colour) {
        Font_SetColor(Font_Main(), colour);
        Font_DrawText(Font_Main(), &g_graphicDriver.screen, x, y, text);
    };
    seam.spriteFind = Sprite_Find;
    seam.spriteDraw = [](int sprite, int x, int y, uint32_t flags) {
        Sprite_Draw(&g_graphicDriver.screen, sprite, x, y, flags);
    };
    seam.setSingleColourIndex = [](int index) { TextColour = index; };
    // The depth bias of 3-D overlays and the depth of 2-D drawing on the hardware path are one.
    seam.getDepthBias = [] { return OverlayDepth; };
    seam.setDepthBias = [](float bias) { OverlayDepth = bias; };
}
