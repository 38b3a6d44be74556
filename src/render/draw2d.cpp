#include "render/draw2d.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/view.h"

int32_t PolygonCount = 0;
float RenderReciprocals[kReciprocalCount];

namespace {

// Until the hardware driver installs its twins, the screen's hardware lines and rectangles draw nothing.
void StandInHardwareLine(int, int, int, int, int, int) {}
void StandInHardwareFill(int, int, int, int, int, int) {}
constexpr Hardware2DTwins kStandInTwins = {StandInHardwareLine, StandInHardwareFill};
Hardware2DTwins g_twins = kStandInTwins;

// Until the rasteriser installs its dispatch table, nothing is drawn.
RasteriserFn StandInRasteriser(uint32_t) { return nullptr; }
RasteriserFn (*g_rasteriserLookup)(uint32_t) = StandInRasteriser;

bool Drawable(const GraphicBuffer* b) {
    return b && b->valid == 1 && b->pixels && b->pixels != Graphic_HardwareScreenMarker() && b->width > 0 &&
           b->height > 0;
}

// The clip rectangle's size, the frame every 2-D coordinate lives in.
int ClipWidth(const GraphicBuffer* b) { return b->clipRight - b->clipLeft + 1; }
int ClipHeight(const GraphicBuffer* b) { return b->clipBottom - b->clipTop + 1; }

bool LineModeDraws(int mode) { return mode == 0 || (mode >= 2 && mode <= 4); }

uint8_t Blend(int mode, uint8_t colour, uint8_t pixel) {
    switch (mode) {
    case 2: return TranslucencyTable[colour][pixel];
    case 3: return TranslucencyTable[pixel][colour];
    case 4: return AlphaTable[colour][pixel];
    default: return colour;
    }
}

// Writes one pixel at buffer coordinates (already known to be inside the buffer).
void PutPixel(GraphicBuffer* b, int x, int y, uint8_t colour, int mode) {
    size_t at = static_cast<size_t>(y) * static_cast<size_t>(b->width) + static_cast<size_t>(x);
    if (b->format == kGraphicFormat16) {
        uint16_t value = PaletteColors16[colour];
        std::memcpy(b->pixels + at * 2, &value, 2);
        return;
    }
    b->pixels[at] = Blend(mode, colour, b->pixels[at]);
}

bool InBuffer(const GraphicBuffer* b, int x, int y) { return x >= 0 && y >= 0 && x < b->width && y < b->height; }

int Outcode(int x, int y, int w, int h) {
    int code = 0;
    if (x < 0) code |= kOutcodeLeft;
    else if (x > w - 1) code |= kOutcodeRight;
    if (y < 0) code |= kOutcodeAbove;
    else if (y > h - 1) code |= kOutcodeBelow;
    return code;
}

// a + (b - a) * (n / d) with the product in 128 bits, truncated towards zero.
int Interpolate(int a, int b, int64_t n, int64_t d) {
    __int128 product = static_cast<__int128>(static_cast<int64_t>(b) - a) * n;
    return static_cast<int>(a + static_cast<int64_t>(product / d));
}

// Nearest integer, kept within +-2^30 so later offsets cannot overflow; NaN gives 0.
int RoundToInt(float value) {
    if (!(value == value)) return 0;
    if (value > 1073741824.0f) return 1 << 30;
    if (value < -1073741824.0f) return -(1 << 30);
    return static_cast<int>(std::lround(value));
}

}  // namespace

void Render_SetHardware2DTwins(const Hardware2DTwins* twins) { g_twins = twins ? *twins : kStandInTwins; }
const Hardware2DTwins& Render_Hardware2DTwins() { return g_twins; }
void Render_SetRasteriserLookup(RasteriserFn (*lookup)(uint32_t)) {
    g_rasteriserLookup = lookup ? lookup : StandInRasteriser;
}

bool Graphic_IsHardwareTarget(const GraphicBuffer* buffer) {
    return buffer == &g_graphicDriver.screen && GraphicD3DFlags != 0;
}

void Graphic_DrawLineRaw(GraphicBuffer* buffer, int x0, int y0, int x1, int y1, int colour, int mode) {
    if (!buffer || buffer->valid != 1) return;
    if (Graphic_IsHardwareTarget(buffer)) {
        g_twins.drawLine(x0, y0, x1, y1, colour, mode);
        return;
    }
    if (!Drawable(buffer) || !LineModeDraws(mode)) return;
    // To buffer coordinates; a raw line that leaves the buffer is drawn pixel by pixel with a
    // bounds test, one inside it (the clipped case) without.
    int64_t ax = int64_t(x0) + buffer->clipLeft, ay = int64_t(y0) + buffer->clipTop;
    int64_t bx = int64_t(x1) + buffer->clipLeft, by = int64_t(y1) + buffer->clipTop;
    const int64_t lim = 1 << 24;
    if (ax < -lim || ax > lim || ay < -lim || ay > lim || bx < -lim || bx > lim || by < -lim || by > lim) return;
    int px = int(ax), py = int(ay), qx = int(bx), qy = int(by);
    bool checked = !(InBuffer(buffer, px, py) && InBuffer(buffer, qx, qy));
    int dx = qx - px, dy = qy - py;
    int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    int adx = std::abs(dx), ady = std::abs(dy);
    bool xMajor = adx >= ady;
    int major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    // The two steps and decision increments, chosen by the decision's sign.
    const int stepX[2] = {xMajor ? sx : 0, sx};
    const int stepY[2] = {xMajor ? 0 : sy, sy};
    const int inc[2] = {2 * minor, 2 * minor - 2 * major};
    int d = 2 * minor - major;
    uint8_t c = static_cast<uint8_t>(colour);
    int x = px, y = py;
    for (int i = 0; i <= major; ++i) {
        if (!checked || InBuffer(buffer, x, y)) PutPixel(buffer, x, y, c, mode);
        int k = d >= 0 ? 1 : 0;
        x += stepX[k];
        y += stepY[k];
        d += inc[k];
    }
}

void Graphic_FillRectRaw(GraphicBuffer* buffer, int left, int top, int right, int bottom, int colour, int mode) {
    if (!buffer || buffer->valid != 1) return;
    if (Graphic_IsHardwareTarget(buffer)) {
        g_twins.fillRect(left, top, right, bottom, colour, mode);
        return;
    }
    if (!Drawable(buffer)) return;
    // To buffer coordinates, kept to the pixels that exist.
    int64_t l = int64_t(left) + buffer->clipLeft, t = int64_t(top) + buffer->clipTop;
    int64_t r = int64_t(right) + buffer->clipLeft, b = int64_t(bottom) + buffer->clipTop;
    if (l < 0) l = 0;
    if (t < 0) t = 0;
    if (r > buffer->width - 1) r = buffer->width - 1;
    if (b > buffer->height - 1) b = buffer->height - 1;
    if (l > r || t > b) return;
    uint8_t c = static_cast<uint8_t>(colour);
    bool plain = !(mode >= 2 && mode <= 4) || buffer->format == kGraphicFormat16;
    for (int64_t y = t; y <= b; ++y) {
        if (plain && buffer->format == kGraphicFormat8) {
            std::memset(buffer->pixels + y * buffer->width + l, c, static_cast<size_t>(r - l + 1));
            continue;
        }
        for (int64_t x = l; x <= r; ++x) PutPixel(buffer, int(x), int(y), c, plain ? 0 : mode);
    }
}

int Graphic_DrawLine(GraphicBuffer* buffer, int x0, int y0, int x1, int y1, int colour, int mode) {
    if (!buffer || buffer->valid != 1) return 0;
    int w = ClipWidth(buffer), h = ClipHeight(buffer);
    int c0 = Outcode(x0, y0, w, h), c1 = Outcode(x1, y1, w, h);
    // Each round puts one end on a boundary; a handful of rounds always settles a line, the
    // limit only guards against rounding that would keep moving an end back and forth.
    for (int round = 0; (c0 | c1) != 0; ++round) {
        if ((c0 & c1) != 0) return c0 & c1;
        if (round >= 8) return c0 | c1;
        bool first = c0 != 0;
        int code = first ? c0 : c1;
        int x, y;
        if (code & (kOutcodeLeft | kOutcodeRight)) {
            x = (code & kOutcodeLeft) ? 0 : w - 1;
            y = Interpolate(y0, y1, int64_t(x) - x0, int64_t(x1) - x0);
        } else {
            y = (code & kOutcodeAbove) ? 0 : h - 1;
            x = Interpolate(x0, x1, int64_t(y) - y0, int64_t(y1) - y0);
        }
        if (first) {
            x0 = x;
            y0 = y;
            c0 = Outcode(x0, y0, w, h);
        } else {
            x1 = x;
            y1 = y;
            c1 = Outcode(x1, y1, w, h);
        }
    }
    Graphic_DrawLineRaw(buffer, x0, y0, x1, y1, colour, mode);
    return 0;
}

void Graphic_FillRect(GraphicBuffer* buffer, int left, int top, int right, int bottom, int colour, int mode) {
    if (!buffer || buffer->valid != 1) return;
    if (right < left || bottom < top) return;
    int w = ClipWidth(buffer), h = ClipHeight(buffer);
    // Inclusive on every side: a rectangle that shares only its last column or row with the
    // clip rectangle still draws it.
    if (left > w - 1 || right < 0 || top > h - 1 || bottom < 0) return;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    if (right > w - 1) right = w - 1;
    if (bottom > h - 1) bottom = h - 1;
    Graphic_FillRectRaw(buffer, left, top, right, bottom, colour, mode);
}

void Graphic_DrawRect(GraphicBuffer* buffer, int left, int top, int right, int bottom, int colour, int mode) {
    if (!buffer || buffer->valid != 1) return;
    Graphic_DrawLine(buffer, left, top, right, top, colour, mode);
    Graphic_DrawLine(buffer, right, top, right, bottom, colour, mode);
    Graphic_DrawLine(buffer, right, bottom, left, bottom, colour, mode);
    Graphic_DrawLine(buffer, left, bottom, left, top, colour, mode);
}

void Graphic_DrawRectRaw(GraphicBuffer* buffer, int left, int top, int right, int bottom, int colour, int mode) {
    if (!buffer || buffer->valid != 1) return;
    Graphic_DrawLineRaw(buffer, left, top, right, top, colour, mode);
    Graphic_DrawLineRaw(buffer, right, top, right, bottom, colour, mode);
    Graphic_DrawLineRaw(buffer, right, bottom, left, bottom, colour, mode);
    Graphic_DrawLineRaw(buffer, left, bottom, left, top, colour, mode);
}

void Graphic_DrawCircle(GraphicBuffer* buffer, int cx, int cy, int radius, int segments, int colour, int mode) {
    if (!buffer || buffer->valid != 1) return;
    if (segments < 12) segments = 12;
    if (segments > 24) segments = 24;
    float step = 6.2831855f / static_cast<float>(segments);
    float c = std::cos(step), s = std::sin(step);
    float ox = static_cast<float>(radius), oy = 0.0f;
    int px = cx + radius, py = cy;
    for (int i = 0; i < segments; ++i) {
        float nx = ox * c - oy * s;
        float ny = ox * s + oy * c;
        ox = nx;
        oy = ny;
        int qx = cx + static_cast<int>(ox), qy = cy + static_cast<int>(oy);
        Graphic_DrawLine(buffer, px, py, qx, qy, colour, mode);
        px = qx;
        py = qy;
    }
}

void Graphic_DrawDiamond(GraphicBuffer* buffer, int cx, int cy, int radius, int colour, int mode) {
    if (!buffer || buffer->valid != 1) return;
    Graphic_DrawLine(buffer, cx + radius, cy, cx, cy + radius, colour, mode);
    Graphic_DrawLine(buffer, cx, cy + radius, cx - radius, cy, colour, mode);
    Graphic_DrawLine(buffer, cx - radius, cy, cx, cy - radius, colour, mode);
    Graphic_DrawLine(buffer, cx, cy - radius, cx + radius, cy, colour, mode);
}

int32_t Math_MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return 0;
    return static_cast<int32_t>(static_cast<int64_t>(a) * b / c);
}

void Render_DrawPoint3D(const RenderView* view, const RenderVertex& p, int colour) {
    if (!view || !view->buffer) return;
    GraphicBuffer* buffer = view->buffer;
    if (buffer->valid != 1) return;
    if (p.z < view->nearCorners[0].z || p.z > view->farCorners[0].z) return;
    int sx = RoundToInt(p.x * view->scaleX / p.z + view->centreX);
    int sy = RoundToInt(p.y * view->scaleY / p.z + view->centreY);
    if (buffer->width <= 480 || !Drawable(buffer)) return;
    uint8_t c = static_cast<uint8_t>(colour);
    for (int y = sy; y <= sy + 1; ++y)
        for (int x = sx; x <= sx + 1; ++x)
            if (x >= buffer->clipLeft && x <= buffer->clipRight && y >= buffer->clipTop && y <= buffer->clipBottom &&
                InBuffer(buffer, x, y))
                PutPixel(buffer, x, y, c, 0);
}

void Render_DrawLine3D(const RenderView* view, const RenderVertex& p0, const RenderVertex& p1, int colour, int mode) {
    if (!view || !view->buffer || view->buffer->valid != 1) return;
    float nearZ = view->nearCorners[0].z, farZ = view->farCorners[0].z;
    if (p0.z < nearZ && p1.z < nearZ) return;
    if (p0.z > farZ && p1.z > farZ) return;
    RenderVertex a = p0, b = p1;
    auto moveTo = [](RenderVertex& end, const RenderVertex& other, float z) {
        float t = (z - end.z) / (other.z - end.z);
        end.x += t * (other.x - end.x);
        end.y += t * (other.y - end.y);
        end.z = z;
    };
    if (a.z < nearZ) moveTo(a, b, nearZ);
    if (b.z < nearZ) moveTo(b, a, nearZ);
    if (a.z > farZ) moveTo(a, b, farZ);
    if (b.z > farZ) moveTo(b, a, farZ);
    GraphicBuffer* buffer = view->buffer;
    // Projected points are buffer coordinates; the 2-D line takes clip-relative ones.
    int ax = RoundToInt(a.x * view->scaleX / a.z + view->centreX) - buffer->clipLeft;
    int ay = RoundToInt(a.y * view->scaleY / a.z + view->centreY) - buffer->clipTop;
    int bx = RoundToInt(b.x * view->scaleX / b.z + view->centreX) - buffer->clipLeft;
    int by = RoundToInt(b.y * view->scaleY / b.z + view->centreY) - buffer->clipTop;
    Graphic_DrawLine(buffer, ax, ay, bx, by, colour, mode);
}

void Render_DrawOutline(GraphicBuffer* buffer, RenderVertex* vertices, int count, const TextureImage*,
                        uint32_t colour) {
    if (!buffer || buffer->valid != 1 || !vertices || count <= 0) return;
    // Coordinates this far out are garbage (the rasteriser's limit): such an edge is skipped.
    constexpr float kLimit = 65536.0f;
    auto usable = [&](const RenderVertex& v) { return std::fabs(v.x) < kLimit && std::fabs(v.y) < kLimit; };
    for (int i = 0; i < count; ++i) {
        const RenderVertex& from = vertices[i == 0 ? count - 1 : i - 1];
        const RenderVertex& to = vertices[i];
        if (!usable(from) || !usable(to)) continue;
        Graphic_DrawLine(buffer, Raster_Ceil(from.x), Raster_Ceil(from.y), Raster_Ceil(to.x), Raster_Ceil(to.y),
                         static_cast<int>(colour & 0xFF), 0);
    }
}

void Render_DrawUnclipped(GraphicBuffer* buffer, RenderVertex* vertices, int count, const TextureImage* texture,
                          uint32_t colour, uint32_t flags) {
    if (!buffer || buffer->valid != 1 || !vertices || count <= 0) return;
    RasteriserFn rasterise = g_rasteriserLookup(flags & 0xFF);
    if (!rasterise) return;
    ++PolygonCount;
    rasterise(buffer, vertices, count, texture, colour);
}

void Render_InitReciprocals() {
    RenderReciprocals[0] = 1.0f;
    for (int i = 1; i < kReciprocalCount; ++i) RenderReciprocals[i] = 1.0f / static_cast<float>(i);
}
