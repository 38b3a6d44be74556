#include "render/raster.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "render/graphicbuffer.h"
#include "render/palette.h"
#include "render/texcache.h"
#include "render/view.h"

int32_t Raster_PixelDouble = 0;

namespace {

// ---- Rounding and the shared tables ----------------------------------------------------------

inline int32_t CeilI(double value) {
    double c = std::ceil(value);
    if (c >= -2147483648.0 && c < 2147483648.0) return static_cast<int32_t>(c);
    if (c > -9.0e18 && c < 9.0e18) return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(c)));
    return INT32_MIN;
}
// The same for a float: inside the int32 range truncation and one exact comparison give the
// ceiling without the double round trip of the general routine.
inline int32_t CeilI(float value) {
    if (value > -2147483648.0f && value < 2147483648.0f) [[likely]] {
        int32_t i = static_cast<int32_t>(value);
        // Either way is equally likely: ask for a flag, not a branch.
        return i + static_cast<int32_t>(__builtin_expect_with_probability(static_cast<float>(i) < value, 1, 0.5));
    }
    return CeilI(static_cast<double>(value));
}

// For n = 1..15: n and 1/n, the length of the last, shorter run of a perspective span.
struct RunReciprocals {
    float n[16];
    float inverse[16];
    RunReciprocals() {
        n[0] = 0.0f;
        inverse[0] = 0.0f;
        for (int i = 1; i < 16; ++i) {
            n[i] = static_cast<float>(i);
            inverse[i] = 1.0f / static_cast<float>(i);
        }
    }
};
const RunReciprocals kRun;

constexpr float kLightScale = 7936.0f;  // 31 x 256: light to an 8.8 LumaTable level
constexpr float kFixed = 65536.0f;
constexpr int kMaxVertices = kClipMaxOutput + 2;
// Coordinates beyond this are garbage: such a polygon is not drawn (bounds the row walk).
constexpr float kCoordLimit = 65536.0f;

// ---- The texture row table -----------------------------------------------------------------

std::vector<const uint8_t*> g_rows;  // kTexRowGuard + height + kTexRowGuard entries
const TextureImage* g_rowImage = nullptr;
int32_t g_rowWidth = 0;
int32_t g_rowHeight = 0;
uint32_t g_rowBuilds = 0;

// ---- The target ----------------------------------------------------------------------------

// Where a drawer may write: columns [x0, x1) and rows [y0, y1) in clip-relative coordinates,
// inside both the clip rectangle and the buffer.
struct Target {
    uint8_t* origin;  // the clip rectangle's top-left pixel (may lie outside a bad buffer)
    int32_t pitch;
    int32_t x0, x1, y0, y1;
};

bool MakeTarget(GraphicBuffer* b, Target* t) {
    if (!b || b->valid != 1 || !b->pixels || b->pixels == Graphic_HardwareScreenMarker() ||
        b->format != kGraphicFormat8 || b->width <= 0 || b->height <= 0)
        return false;
    int32_t left = b->clipLeft < 0 ? 0 : b->clipLeft;
    int32_t top = b->clipTop < 0 ? 0 : b->clipTop;
    int32_t right = b->clipRight >= b->width ? b->width - 1 : b->clipRight;
    int32_t bottom = b->clipBottom >= b->height ? b->height - 1 : b->clipBottom;
    if (right < left || bottom < top) return false;
    t->pitch = b->width;
    t->x0 = left - b->clipLeft;
    t->x1 = right - b->clipLeft + 1;
    t->y0 = top - b->clipTop;
    t->y1 = bottom - b->clipTop + 1;
    t->origin = b->pixels;  // rows and columns are added relative to the clip origin below
    return true;
}

inline uint8_t* RowAddress(const Target& t, GraphicBuffer* b, int32_t y) {
    return t.origin + static_cast<ptrdiff_t>(b->clipTop + y) * t.pitch + b->clipLeft;
}

// ---- Texture access ------------------------------------------------------------------------

struct TexInfo {
    const uint8_t* texels;
    int32_t width;
    int32_t height;
};

bool UsableTexture(const TextureImage* image, TexInfo* info) {
    if (!image) return false;
    int32_t w = Raster_TextureWidth(image), h = TextureImage_Height(image);
    if (w < 1 || h < 1) return false;
    info->texels = TextureImage_Texels(image);
    info->width = w;
    info->height = h;
    return true;
}

// A 16.16 coordinate stepped k times by a signed step: the integer parts of the first and the
// last sample, or false when the 32-bit stepping would wrap on the way. The integer part is
// monotonic between them, so range tests on the two ends cover every sample.
inline bool IntegerEnds(uint32_t x, uint32_t dx, int32_t k, int64_t* first, int64_t* last) {
    int64_t a = static_cast<int32_t>(x);
    int64_t b = a + static_cast<int64_t>(static_cast<int32_t>(dx)) * k;
    if (b < INT32_MIN || b > INT32_MAX) return false;
    *first = a >> 16;
    *last = b >> 16;
    return true;
}
inline bool EndsWithin(uint32_t x, uint32_t dx, int32_t k, int64_t max) {
    int64_t a, b;
    return IntegerEnds(x, dx, k, &a, &b) && a >= 0 && a <= max && b >= 0 && b <= max;
}
// True when every one of the k + 1 samples lies on the same texture row.
inline bool SameRow(uint32_t v, uint32_t dv, int32_t k) {
    int64_t a, b;
    return dv == 0 || (IntegerEnds(v, dv, k, &a, &b) && a == b);
}

// Texel addressing. Every addresser gives the clamped or wrapped texel for (u, v) and, for spans
// known to need no clamping (Fits), the same texel without the tests: Direct, or Row then Texel
// when the row stays fixed.
// Clamped: row through the row table (clamped to the image), column clamped.
// The addressers keep the row table's first real row as a plain pointer: the drawers store bytes,
// which could alias the vector's own pointer and force a reload of it for every pixel.
struct ClampAddr {
    const uint8_t* const* rows;
    int32_t wMax, hMax;
    explicit ClampAddr(const TexInfo& t) : rows(g_rows.data() + kTexRowGuard), wMax(t.width - 1), hMax(t.height - 1) {}
    uint8_t operator()(uint32_t u, uint32_t v) const {
        int32_t row = static_cast<int32_t>(v) >> 16, col = static_cast<int32_t>(u) >> 16;
        if (static_cast<uint32_t>(row) > static_cast<uint32_t>(hMax)) row = row < 0 ? 0 : hMax;
        if (static_cast<uint32_t>(col) > static_cast<uint32_t>(wMax)) col = col < 0 ? 0 : wMax;
        return rows[row][col];
    }
    bool Fits(uint32_t u, uint32_t du, uint32_t v, uint32_t dv, int32_t k) const {
        return EndsWithin(u, du, k, wMax) && EndsWithin(v, dv, k, hMax);
    }
    uint8_t Direct(uint32_t u, uint32_t v) const { return rows[static_cast<int32_t>(v) >> 16][static_cast<int32_t>(u) >> 16]; }
    const uint8_t* Row(uint32_t v) const { return rows[static_cast<int32_t>(v) >> 16]; }
    static uint8_t Texel(const uint8_t* row, uint32_t u) { return row[static_cast<int32_t>(u) >> 16]; }
};
// Wrapping: row and column masked with height - 1 and width - 1.
struct WrapAddr {
    const uint8_t* const* rows;
    uint32_t wMask, hMask;
    explicit WrapAddr(const TexInfo& t)
        : rows(g_rows.data() + kTexRowGuard),
          wMask(static_cast<uint32_t>(t.width - 1)),
          hMask(static_cast<uint32_t>(t.height - 1)) {}
    uint8_t operator()(uint32_t u, uint32_t v) const {
        uint32_t row = (static_cast<uint32_t>(static_cast<int32_t>(v) >> 16)) & hMask;
        uint32_t col = (static_cast<uint32_t>(static_cast<int32_t>(u) >> 16)) & wMask;
        return rows[row][col];
    }
    bool Fits(uint32_t, uint32_t, uint32_t, uint32_t, int32_t) const { return true; }
    uint8_t Direct(uint32_t u, uint32_t v) const { return (*this)(u, v); }
    const uint8_t* Row(uint32_t v) const { return rows[(static_cast<uint32_t>(static_cast<int32_t>(v) >> 16)) & hMask]; }
    uint8_t Texel(const uint8_t* row, uint32_t u) const {
        return row[(static_cast<uint32_t>(static_cast<int32_t>(u) >> 16)) & wMask];
    }
};
// Power-of-two widths without the row table: row x width + column straight from the texels.
template <int Shift>
struct Pow2Addr {
    const uint8_t* texels;
    int32_t hMax;
    explicit Pow2Addr(const TexInfo& t) : texels(t.texels), hMax(t.height - 1) {}
    uint8_t operator()(uint32_t u, uint32_t v) const {
        constexpr int32_t wMax = (1 << Shift) - 1;
        int32_t row = static_cast<int32_t>(v) >> 16, col = static_cast<int32_t>(u) >> 16;
        if (static_cast<uint32_t>(row) > static_cast<uint32_t>(hMax)) row = row < 0 ? 0 : hMax;
        if (static_cast<uint32_t>(col) > static_cast<uint32_t>(wMax)) col = col < 0 ? 0 : wMax;
        return texels[(static_cast<size_t>(row) << Shift) + static_cast<size_t>(col)];
    }
    bool Fits(uint32_t u, uint32_t du, uint32_t v, uint32_t dv, int32_t k) const {
        return EndsWithin(u, du, k, (1 << Shift) - 1) && EndsWithin(v, dv, k, hMax);
    }
    uint8_t Direct(uint32_t u, uint32_t v) const {
        return texels[(static_cast<size_t>(static_cast<int32_t>(v) >> 16) << Shift) +
                      static_cast<size_t>(static_cast<int32_t>(u) >> 16)];
    }
    const uint8_t* Row(uint32_t v) const { return texels + (static_cast<size_t>(static_cast<int32_t>(v) >> 16) << Shift); }
    static uint8_t Texel(const uint8_t* row, uint32_t u) { return row[static_cast<int32_t>(u) >> 16]; }
};

// ---- Per-pixel operations (t texel, d destination) -------------------------------------------

struct OpPlain {
    static void Put(uint8_t* d, uint8_t t, int) { *d = t; }
};
struct OpLit {
    static void Put(uint8_t* d, uint8_t t, int row) { *d = LumaTable[row][t]; }
};
struct OpKey {
    static void Put(uint8_t* d, uint8_t t, int) {
        if (t != 255) *d = t;
    }
};
struct OpLitKey {
    static void Put(uint8_t* d, uint8_t t, int row) {
        if (t != 255) *d = LumaTable[row][t];
    }
};
struct OpRemap {
    static void Put(uint8_t* d, uint8_t t, int) { *d = RemapTable[t][*d]; }
};
struct OpTrans {
    static void Put(uint8_t* d, uint8_t t, int) { *d = TranslucencyTable[t][*d]; }
};
struct OpTransRev {
    static void Put(uint8_t* d, uint8_t t, int) { *d = TranslucencyTable[*d][t]; }
};
struct OpAlphaKey {
    static void Put(uint8_t* d, uint8_t t, int) {
        if (t != 255) *d = AlphaTable[t][*d];
    }
};

// ---- The vertex pre-pass and the edge walkers ------------------------------------------------

// A polygon ready for walking: the screen position of each vertex, ceil(y), and K attributes.
template <int K>
struct Prepared {
    int count;
    float x[kMaxVertices];
    float y[kMaxVertices];
    int32_t yi[kMaxVertices];
    float a[kMaxVertices][K > 0 ? K : 1];
    int top;
};

// ceil(y) of every vertex and the top vertex: the smallest value, the last one among equals.
// byRawY: the Gouraud fill compares the unrounded y. False for a polygon not worth walking.
template <int K>
bool PrePass(const RenderVertex* v, int count, Prepared<K>* p, bool byRawY) {
    if (count < 3 || count > kMaxVertices) return false;
    p->count = count;
    float bestRaw = 100000.0f;
    int32_t best = 100000;
    p->top = 0;
    for (int i = 0; i < count; ++i) {
        float x = v[i].x, y = v[i].y;
        if (!(x > -kCoordLimit && x < kCoordLimit && y > -kCoordLimit && y < kCoordLimit)) return false;
        p->x[i] = x;
        p->y[i] = y;
        p->yi[i] = CeilI(y);
        if (byRawY) {
            if (y <= bestRaw) {
                bestRaw = y;
                p->top = i;
            }
        } else if (p->yi[i] <= best) {
            best = p->yi[i];
            p->top = i;
        }
    }
    return true;
}

template <int K>
struct Edge {
    int s = 0, e = 0;
    float x = 0.0f, dx = 0.0f;
    float a[K > 0 ? K : 1] = {};
    float da[K > 0 ? K : 1] = {};
};

template <int K>
void SetUpEdge(const Prepared<K>& p, Edge<K>& edge) {
    int s = edge.s, e = edge.e;
    float r = 1.0f / (p.y[e] - p.y[s]);
    float d = static_cast<float>(p.yi[s]) - p.y[s];
    edge.dx = (p.x[e] - p.x[s]) * r;
    edge.x = p.x[s] + d * edge.dx;
    for (int k = 0; k < K; ++k) {
        edge.da[k] = (p.a[e][k] - p.a[s][k]) * r;
        edge.a[k] = p.a[s][k] + d * edge.da[k];
    }
}

// Walks the polygon from its top vertex and calls span(row, first column, pixel count, start
// attributes, per-pixel slopes) for every non-empty span that lies (after clamping) in the target.
template <int K, class Span>
void Walk(const Prepared<K>& p, const Target& t, Span&& span) {
    const int n = p.count;
    auto next = [n](int i) { return i + 1 == n ? 0 : i + 1; };
    auto prev = [n](int i) { return i == 0 ? n - 1 : i - 1; };
    Edge<K> ea, eb;
    ea.s = eb.s = p.top;
    ea.e = next(p.top);
    eb.e = prev(p.top);
    int32_t y = p.yi[p.top];
    int steps = 0;  // a convex polygon takes at most n advances in all
    bool setA = true, setB = true;
    for (;;) {
        while (p.yi[ea.e] <= y) {
            int ne = next(ea.e);
            if (ne == eb.s || ne == p.top || ++steps > n) return;
            ea.s = ea.e;
            ea.e = ne;
            setA = true;
        }
        while (p.yi[eb.e] <= y) {
            int ne = prev(eb.e);
            if (ne == ea.s || ne == p.top || ++steps > n) return;
            eb.s = eb.e;
            eb.e = ne;
            setB = true;
        }
        if (setA) SetUpEdge(p, ea), setA = false;
        if (setB) SetUpEdge(p, eb), setB = false;
        if (y >= t.y1) return;
        if (y >= t.y0) {
            int32_t ia = CeilI(ea.x), ib = CeilI(eb.x);
            if (ia != ib) {
                const Edge<K>& lo = ia < ib ? ea : eb;
                const Edge<K>& hi = ia < ib ? eb : ea;
                int32_t first = ia < ib ? ia : ib;
                int32_t count = ia < ib ? ib - ia : ia - ib;
                float slope[K > 0 ? K : 1], start[K > 0 ? K : 1];
                float width = hi.x - lo.x;
                for (int k = 0; k < K; ++k) {
                    slope[k] = (hi.a[k] - lo.a[k]) / width;
                    start[k] = lo.a[k] + (static_cast<float>(first) - lo.x) * slope[k];
                }
                if (first < t.x0) {  // only for input that broke the clipper's promise
                    int32_t skip = t.x0 - first;
                    for (int k = 0; k < K; ++k) start[k] += static_cast<float>(skip) * slope[k];
                    first = t.x0;
                    count -= skip;
                }
                if (first + count > t.x1) count = t.x1 - first;
                if (count > 0) span(y, first, count, start, slope);
            }
        }
        ea.x += ea.dx;
        eb.x += eb.dx;
        for (int k = 0; k < K; ++k) {
            ea.a[k] += ea.da[k];
            eb.a[k] += eb.da[k];
        }
        ++y;
    }
}

// The LumaTable row of vertex 0's light: the high byte of ceil((1 - light) x 7936).
int FlatLevel(const RenderVertex& v) {
    return (CeilI((1.0f - v.shade) * kLightScale) >> 8) & 0xFF;
}

// ---- The untextured drawers ------------------------------------------------------------------

void FlatFill(GraphicBuffer* b, RenderVertex* v, int count, uint8_t colour) {
    Target t;
    Prepared<0> p;
    if (!MakeTarget(b, &t) || !PrePass(v, count, &p, false)) return;
    Walk(p, t, [&](int32_t y, int32_t x, int32_t n, const float*, const float*) {
        std::memset(RowAddress(t, b, y) + x, colour, static_cast<size_t>(n));
    });
}

void GouraudFill(GraphicBuffer* b, RenderVertex* v, int count, uint8_t colour) {
    Target t;
    Prepared<1> p;
    if (!MakeTarget(b, &t) || !PrePass(v, count, &p, true)) return;
    for (int i = 0; i < count; ++i) p.a[i][0] = (1.0f - v[i].shade) * kLightScale * 256.0f;
    const size_t shadeOf = colour;
    Walk(p, t, [&](int32_t y, int32_t x, int32_t n, const float* start, const float* slope) {
        // 16.16 level rotated by 16 bits: integer part low, fraction high; the carry out of
        // bit 31 goes back into bit 0.
        uint32_t level = static_cast<uint32_t>(CeilI(start[0]));
        uint32_t step = static_cast<uint32_t>(CeilI(slope[0]));
        uint32_t r = (level << 16) | (level >> 16);
        uint32_t s = (step << 16) | (step >> 16);
        uint8_t* d = RowAddress(t, b, y) + x;
        const uint8_t* column = &LumaTable[0][shadeOf];
        // The end-around-carry add is addition modulo 2^32 - 1 (zero only from zero plus zero),
        // so it is associative: four interleaved chains stepping by 4 x s give the same values
        // as one chain stepping by s, without its serial carry dependency.
        auto add = [](uint32_t a, uint32_t c) {
            uint32_t sum = a + c;
            return sum + (sum < a ? 1u : 0u);
        };
        int32_t i = 0;
        if (n >= 8) {
            uint32_t s4 = add(add(s, s), add(s, s));
            uint32_t r0 = r, r1 = add(r0, s), r2 = add(r1, s), r3 = add(r2, s);
            for (; i + 4 <= n; i += 4) {
                d[i] = column[static_cast<size_t>(r0 & 0xFF) << 8];
                d[i + 1] = column[static_cast<size_t>(r1 & 0xFF) << 8];
                d[i + 2] = column[static_cast<size_t>(r2 & 0xFF) << 8];
                d[i + 3] = column[static_cast<size_t>(r3 & 0xFF) << 8];
                r0 = add(r0, s4);
                r1 = add(r1, s4);
                r2 = add(r2, s4);
                r3 = add(r3, s4);
            }
            r = r0;
        }
        for (; i < n; ++i) {
            d[i] = column[static_cast<size_t>(r & 0xFF) << 8];
            r = add(r, s);
        }
    });
}

void FlatAlphaFill(GraphicBuffer* b, RenderVertex* v, int count, uint8_t colour) {
    Target t;
    Prepared<0> p;
    if (!MakeTarget(b, &t) || !PrePass(v, count, &p, false)) return;
    const uint8_t* row = AlphaTable[colour];
    Walk(p, t, [&](int32_t y, int32_t x, int32_t n, const float*, const float*) {
        uint8_t* d = RowAddress(t, b, y) + x;
        for (int32_t i = 0; i < n; ++i) d[i] = row[d[i]];
    });
}

// ---- The affine drawers ----------------------------------------------------------------------

enum class Scale { kMinusOne, kFull };

template <class Addr, class Op, Scale S>
void TexAffine(GraphicBuffer* b, RenderVertex* v, int count, const TextureImage* image) {
    Target t;
    Prepared<2> p;
    TexInfo tex;
    if (!UsableTexture(image, &tex) || !MakeTarget(b, &t) || !PrePass(v, count, &p, false)) return;
    Raster_SetupTexRows(image);
    float su = static_cast<float>(S == Scale::kFull ? tex.width : tex.width - 1);
    float sv = static_cast<float>(S == Scale::kFull ? tex.height : tex.height - 1);
    for (int i = 0; i < count; ++i) {
        p.a[i][0] = v[i].u * su * kFixed;
        p.a[i][1] = v[i].v * sv * kFixed;
    }
    const Addr addr(tex);
    Walk(p, t, [&](int32_t y, int32_t x, int32_t n, const float* start, const float* slope) {
        uint32_t u = static_cast<uint32_t>(CeilI(start[0])), uv = static_cast<uint32_t>(CeilI(start[1]));
        uint32_t du = static_cast<uint32_t>(CeilI(slope[0])), dv = static_cast<uint32_t>(CeilI(slope[1]));
        uint8_t* d = RowAddress(t, b, y) + x;
        const Addr a = addr;  // a local copy stays in registers across the byte stores
        if (!a.Fits(u, du, uv, dv, n - 1)) {
            for (int32_t i = 0; i < n; ++i) {
                Op::Put(d + i, a(u, uv), 0);
                u += du;
                uv += dv;
            }
        } else if (SameRow(uv, dv, n - 1)) {
            const uint8_t* row = a.Row(uv);
            for (int32_t i = 0; i < n; ++i) {
                Op::Put(d + i, a.Texel(row, u), 0);
                u += du;
            }
        } else {
            for (int32_t i = 0; i < n; ++i) {
                Op::Put(d + i, a.Direct(u, uv), 0);
                u += du;
                uv += dv;
            }
        }
    });
}

// ---- The perspective drawers -----------------------------------------------------------------

enum class Light { kNone, kFlat, kInterp };

// One span: q = 1/z, s = u/z, t = v/z interpolated linearly, divided every 16 pixels.
template <class Addr, class Op, Light L, bool Double>
void PerspSpan(uint8_t* d, int32_t n, const float* start, const float* slope, const Addr addr, const int flatRow) {
    float q = start[0], s = start[1], tt = start[2];
    const float dq = slope[0], ds = slope[1], dt = slope[2];
    uint32_t level = 0, dlevel = 0;
    if constexpr (L == Light::kInterp) {
        level = static_cast<uint32_t>(CeilI(start[3])) & 0xFFFF;
        dlevel = static_cast<uint32_t>(CeilI(slope[3])) & 0xFFFF;
    }
    auto row = [&]() -> int {
        if constexpr (L == Light::kInterp) return static_cast<int>(level >> 8);
        else return flatRow;
    };
    auto stepLevel = [&](uint32_t times) {
        if constexpr (L == Light::kInterp) level = (level + dlevel * times) & 0xFFFF;
    };
    float k = kFixed / q;
    uint32_t u = static_cast<uint32_t>(CeilI(s * k)), v = static_cast<uint32_t>(CeilI(tt * k));
    int32_t m = n - 1;
    while (m >= 16) {
        q += dq * 16.0f;
        s += ds * 16.0f;
        tt += dt * 16.0f;
        k = kFixed / q;
        uint32_t ue = static_cast<uint32_t>(CeilI(s * k)), ve = static_cast<uint32_t>(CeilI(tt * k));
        uint32_t du = static_cast<uint32_t>(static_cast<int32_t>(ue - u) >> 4);
        uint32_t dv = static_cast<uint32_t>(static_cast<int32_t>(ve - v) >> 4);
        auto run = [&](auto fetch) {
            if constexpr (Double) {
                for (int i = 0; i < 16; i += 2) {
                    uint8_t pixel = d[0];
                    Op::Put(&pixel, fetch(u, v), row());
                    d[0] = pixel;
                    d[1] = pixel;
                    d += 2;
                    u += 2 * du;
                    v += 2 * dv;
                    stepLevel(2);
                }
            } else {
                for (int i = 0; i < 16; ++i) {
                    Op::Put(d++, fetch(u, v), row());
                    u += du;
                    v += dv;
                    stepLevel(1);
                }
            }
        };
        if (addr.Fits(u, du, v, dv, 15))
            run([&](uint32_t x, uint32_t y) { return addr.Direct(x, y); });
        else
            run(addr);
        u = ue;
        v = ve;
        m -= 16;
    }
    if (m > 0) {
        q += dq * kRun.n[m];
        s += ds * kRun.n[m];
        tt += dt * kRun.n[m];
        k = kFixed / q;
        int32_t ue = CeilI(s * k), ve = CeilI(tt * k);
        double inv = kRun.inverse[m];
        uint32_t du = static_cast<uint32_t>(CeilI(static_cast<double>(static_cast<int32_t>(ue - static_cast<int32_t>(u))) * inv));
        uint32_t dv = static_cast<uint32_t>(CeilI(static_cast<double>(static_cast<int32_t>(ve - static_cast<int32_t>(v))) * inv));
        if (addr.Fits(u, du, v, dv, m)) {
            for (int32_t i = 0; i < m; ++i) {
                Op::Put(d++, addr.Direct(u, v), row());
                u += du;
                v += dv;
                stepLevel(1);
            }
        } else {
            for (int32_t i = 0; i < m; ++i) {
                Op::Put(d++, addr(u, v), row());
                u += du;
                v += dv;
                stepLevel(1);
            }
        }
    }
    Op::Put(d, addr(u, v), row());
}

template <class Addr, class Op, Scale S, Light L, bool Double = false>
void TexPerspective(GraphicBuffer* b, RenderVertex* v, int count, const TextureImage* image, bool useRows = true) {
    Target t;
    Prepared<4> p;
    TexInfo tex;
    if (!UsableTexture(image, &tex) || !MakeTarget(b, &t) || !PrePass(v, count, &p, false)) return;
    if (useRows) Raster_SetupTexRows(image);
    float su = static_cast<float>(S == Scale::kFull ? tex.width : tex.width - 1);
    float sv = static_cast<float>(S == Scale::kFull ? tex.height : tex.height - 1);
    for (int i = 0; i < count; ++i) {
        p.a[i][0] = v[i].z;
        p.a[i][1] = v[i].u * su;
        p.a[i][2] = v[i].v * sv;
        p.a[i][3] = (1.0f - v[i].shade) * kLightScale;
    }
    int flatRow = L == Light::kFlat ? FlatLevel(v[0]) : 0;
    const Addr addr(tex);
    Walk(p, t, [&](int32_t y, int32_t x, int32_t n, const float* start, const float* slope) {
        PerspSpan<Addr, Op, L, Double>(RowAddress(t, b, y) + x, n, start, slope, addr, flatRow);
    });
}

// The lit perspective drawer of one power-of-two width (1 << Shift), without the row table, in
// pixel pairs when Double.
template <int Shift, bool Double>
void PerspLitPow2(GraphicBuffer* b, RenderVertex* v, int count, const TextureImage* image) {
    TexPerspective<Pow2Addr<Shift>, OpLit, Scale::kFull, Light::kInterp, Double>(b, v, count, image, false);
}

// The named drawer of a kind (single pixels or pairs) for a width: power-of-two widths 32..256
// have their own, every other width none.
RasteriserFn PerspLitFor(int32_t width, bool pairs) {
    switch (width) {
    case 256: return pairs ? Raster_TexPerspLitDouble256 : Raster_TexPerspLit256;
    case 128: return pairs ? Raster_TexPerspLitDouble128 : Raster_TexPerspLit128;
    case 64: return pairs ? Raster_TexPerspLitDouble64 : Raster_TexPerspLit64;
    case 32: return pairs ? Raster_TexPerspLitDouble32 : Raster_TexPerspLit32;
    default: return nullptr;
    }
}

// Entry of a named power-of-two drawer: its own width is drawn here; another power-of-two width
// goes to the drawer of the same kind for that width, any other width to the general drawer.
template <int Shift, bool Double>
void PerspLitEntry(GraphicBuffer* b, RenderVertex* v, int count, const TextureImage* image) {
    if (!v || !image) return;
    const int32_t width = Raster_TextureWidth(image);
    if (width == (1 << Shift)) {
        PerspLitPow2<Shift, Double>(b, v, count, image);
    } else if (RasteriserFn other = PerspLitFor(width, Double)) {
        other(b, v, count, image, 0);
    } else {
        Raster_TexPerspLit(b, v, count, image, 0);
    }
}

// ---- The dispatch table ----------------------------------------------------------------------

enum D : uint8_t {
    Fl, Go, FA, Ou, No,
    TA, TAW, TAK, TARW, TAT, TATR, TAAK,
    TP, TPW, TPR, TPKW, TPT, TPTR, TPAK, TPL, TPLW, TPLK, TPLKW, TPFL, TPFLW,
};

constexpr RasteriserFn kDrawers[] = {
    Raster_FlatFill,        Raster_GouraudFill,         Raster_FlatAlphaFill,     Render_DrawOutline,
    Raster_None,            Raster_TexAffine,           Raster_TexAffineWrap,     Raster_TexAffineKey,
    Raster_TexAffineRemapWrap, Raster_TexAffineTrans,   Raster_TexAffineTransRev, Raster_TexAffineAlphaKey,
    Raster_TexPersp,        Raster_TexPerspWrap,        Raster_TexPerspRemap,     Raster_TexPerspKeyWrap,
    Raster_TexPerspTrans,   Raster_TexPerspTransRev,    Raster_TexPerspAlphaKey,  Raster_TexPerspLit,
    Raster_TexPerspLitWrap, Raster_TexPerspLitKey,      Raster_TexPerspLitKeyWrap, Raster_TexPerspFlatLit,
    Raster_TexPerspFlatLitWrap,
};

// Entries 0..255: row = flags & 0xF8, column = flags & 7.
constexpr uint8_t kTable[32][8] = {
    {Fl, Go, Fl, Go, TA, TA, TAW, No},          // 0x00
    {Fl, Go, Fl, Go, TA, TA, TAW, No},          // 0x08
    {Fl, Go, Fl, Go, TP, TPL, TPW, TPLW},       // 0x10
    {Fl, Go, Fl, Go, TA, TA, TAW, No},          // 0x18
    {Fl, Go, Fl, Go, Fl, Fl, Fl, Fl},           // 0x20
    {Fl, Go, Fl, Go, Fl, Fl, Fl, Fl},           // 0x28
    {Fl, Go, Fl, Go, Fl, Fl, Fl, Fl},           // 0x30
    {Fl, Go, Fl, Go, Fl, Fl, Fl, Fl},           // 0x38
    {Fl, Go, Fl, Go, TAK, TA, TARW, No},        // 0x40
    {Fl, Go, Fl, Go, TAK, TA, TARW, No},        // 0x48
    {Fl, Go, Fl, Go, TPR, TPLK, TPKW, TPLKW},   // 0x50
    {Fl, Go, Fl, Go, TAK, TA, TARW, TPLKW},     // 0x58
    {Fl, Go, Fl, Go, Fl, Fl, Fl, Fl},           // 0x60
    {Fl, Go, Fl, Go, Fl, Fl, Fl, Fl},           // 0x68
    {Fl, Go, Fl, Go, Fl, Fl, Fl, Fl},           // 0x70
    {Fl, Go, Fl, Go, Fl, Fl, Fl, Fl},           // 0x78
    {Fl, Go, Fl, Go, TAT, TAT, Fl, Fl},         // 0x80
    {Fl, Go, Fl, Go, TAT, TAT, Fl, Fl},         // 0x88
    {Fl, Go, Fl, Go, TPT, TPT, Fl, Fl},         // 0x90
    {Fl, Go, Fl, Go, TAT, TAT, Fl, Fl},         // 0x98
    {Fl, Go, Fl, Go, TATR, Fl, Fl, Fl},         // 0xA0
    {Fl, Go, Fl, Go, TATR, Fl, Fl, Fl},         // 0xA8
    {Fl, Go, Fl, Go, TPTR, Fl, Fl, Fl},         // 0xB0
    {Fl, Go, Fl, Go, TATR, Fl, Fl, Fl},         // 0xB8
    {FA, Go, Fl, Go, TAAK, Fl, Fl, Fl},         // 0xC0
    {FA, Go, Fl, Go, TAAK, Fl, Fl, Fl},         // 0xC8
    {Fl, Go, Fl, Go, TPAK, TPAK, Fl, Fl},       // 0xD0
    {Fl, Go, Fl, Go, Fl, Fl, Fl, Fl},           // 0xD8
    {Fl, Go, Fl, Ou, Fl, Fl, Fl, Ou},           // 0xE0
    {Fl, Go, Fl, Ou, TPFL, TPL, TPFLW, TPLW},   // 0xE8
    {Fl, Go, Fl, Ou, TPFL, Fl, TPFLW, Ou},      // 0xF0
    {Fl, Go, Fl, Ou, Fl, Fl, Fl, Ou},           // 0xF8
};

struct DispatchTable {
    RasteriserFn entries[512];
    DispatchTable() {
        for (int i = 0; i < 256; ++i) entries[i] = entries[i + 256] = kDrawers[kTable[i >> 3][i & 7]];
        entries[0x10A] = Raster_None;
        entries[0x1AC] = Raster_FlatFill;
        entries[0x1BC] = Raster_FlatFill;
        entries[0x1C8] = Raster_FlatFill;
        entries[0x1CC] = Raster_FlatFill;
        entries[0x1D4] = Raster_TexPerspTrans;
        entries[0x1D5] = Raster_TexPerspTrans;
    }
};

}  // namespace

// ---- Public entries --------------------------------------------------------------------------

int32_t Raster_Ceil(double value) { return CeilI(value); }

int32_t Raster_TextureWidth(const TextureImage* image) { return image ? TextureImage_Width(image) : 0; }

void Raster_SetupTexRows(const TextureImage* image) {
    TexInfo tex;
    if (!UsableTexture(image, &tex)) return;
    if (image == g_rowImage && tex.width == g_rowWidth && tex.height == g_rowHeight) return;
    g_rowImage = image;
    g_rowWidth = tex.width;
    g_rowHeight = tex.height;
    ++g_rowBuilds;
    g_rows.resize(static_cast<size_t>(tex.height) + 2 * kTexRowGuard);
    for (int i = 0; i < kTexRowGuard; ++i) g_rows[static_cast<size_t>(i)] = tex.texels;
    for (int32_t r = 0; r < tex.height; ++r)
        g_rows[static_cast<size_t>(r + kTexRowGuard)] = tex.texels + static_cast<size_t>(r) * static_cast<size_t>(tex.width);
    const uint8_t* last = g_rows[static_cast<size_t>(tex.height - 1 + kTexRowGuard)];
    for (int i = 0; i < kTexRowGuard; ++i) g_rows[static_cast<size_t>(tex.height + kTexRowGuard + i)] = last;
}

void Raster_ForgetTexture(const TextureImage* image) {
    if (image && image == g_rowImage) g_rowImage = nullptr;
}

const uint8_t* Raster_TexRow(int row) {
    if (!g_rowImage || row < -kTexRowGuard || row >= g_rowHeight + kTexRowGuard) return nullptr;
    return g_rows[static_cast<size_t>(row + kTexRowGuard)];
}

uint32_t Raster_TexRowBuilds() { return g_rowBuilds; }

int Raster_TopVertex(const RenderVertex* vertices, int count, bool byRawY) {
    Prepared<0> p;
    if (!vertices || !PrePass(vertices, count, &p, byRawY)) return -1;
    return p.top;
}

RasteriserFn Raster_DrawerFor(uint32_t flags) {
    static const DispatchTable table;
    return table.entries[flags & 0x1FF];
}

void Raster_FlatFill(GraphicBuffer* b, RenderVertex* v, int count, const TextureImage*, uint32_t colour) {
    if (!v || count < 3) return;
    FlatFill(b, v, count, LumaTable[FlatLevel(v[0])][colour & 0xFF]);
}
void Raster_GouraudFill(GraphicBuffer* b, RenderVertex* v, int count, const TextureImage*, uint32_t colour) {
    if (v) GouraudFill(b, v, count, static_cast<uint8_t>(colour));
}
void Raster_FlatAlphaFill(GraphicBuffer* b, RenderVertex* v, int count, const TextureImage*, uint32_t colour) {
    if (v) FlatAlphaFill(b, v, count, static_cast<uint8_t>(colour));
}
void Raster_None(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t) {}

#define GV_AFFINE(name, addr, op, scale) \
    void name(GraphicBuffer* b, RenderVertex* v, int count, const TextureImage* image, uint32_t) { \
        if (v) TexAffine<addr, op, Scale::scale>(b, v, count, image);                                \
    }
GV_AFFINE(Raster_TexAffine, ClampAddr, OpPlain, kMinusOne)
GV_AFFINE(Raster_TexAffineWrap, WrapAddr, OpPlain, kFull)
GV_AFFINE(Raster_TexAffineKey, ClampAddr, OpKey, kMinusOne)
GV_AFFINE(Raster_TexAffineRemapWrap, WrapAddr, OpRemap, kFull)
GV_AFFINE(Raster_TexAffineTrans, ClampAddr, OpTrans, kMinusOne)
GV_AFFINE(Raster_TexAffineTransRev, ClampAddr, OpTransRev, kMinusOne)
GV_AFFINE(Raster_TexAffineAlphaKey, ClampAddr, OpAlphaKey, kMinusOne)
#undef GV_AFFINE

#define GV_PERSP(name, addr, op, scale, light) \
    void name(GraphicBuffer* b, RenderVertex* v, int count, const TextureImage* image, uint32_t) { \
        if (v) TexPerspective<addr, op, Scale::scale, Light::light>(b, v, count, image);             \
    }
GV_PERSP(Raster_TexPersp, ClampAddr, OpPlain, kMinusOne, kNone)
GV_PERSP(Raster_TexPerspWrap, WrapAddr, OpPlain, kFull, kNone)
GV_PERSP(Raster_TexPerspRemap, ClampAddr, OpRemap, kMinusOne, kNone)
GV_PERSP(Raster_TexPerspKeyWrap, WrapAddr, OpKey, kFull, kNone)
GV_PERSP(Raster_TexPerspTrans, ClampAddr, OpTrans, kMinusOne, kNone)
GV_PERSP(Raster_TexPerspTransRev, ClampAddr, OpTransRev, kMinusOne, kNone)
GV_PERSP(Raster_TexPerspAlphaKey, ClampAddr, OpAlphaKey, kMinusOne, kNone)
GV_PERSP(Raster_TexPerspLitWrap, WrapAddr, OpLit, kFull, kInterp)
GV_PERSP(Raster_TexPerspLitKey, ClampAddr, OpLitKey, kMinusOne, kInterp)
GV_PERSP(Raster_TexPerspLitKeyWrap, WrapAddr, OpLitKey, kMinusOne, kInterp)
GV_PERSP(Raster_TexPerspFlatLit, ClampAddr, OpLit, kMinusOne, kFlat)
GV_PERSP(Raster_TexPerspFlatLitWrap, WrapAddr, OpLit, kFull, kFlat)
#undef GV_PERSP

void Raster_TexPerspLit(GraphicBuffer* b, RenderVertex* v, int count, const TextureImage* image, uint32_t) {
    if (!v || !image) return;
    if (RasteriserFn special = PerspLitFor(Raster_TextureWidth(image), Raster_PixelDouble != 0))
        special(b, v, count, image, 0);
    else
        TexPerspective<ClampAddr, OpLit, Scale::kFull, Light::kInterp>(b, v, count, image);
}

#define GV_PERSP_LIT_POW2(name, shift, pairs) \
    void name(GraphicBuffer* b, RenderVertex* v, int count, const TextureImage* image, uint32_t) { \
        PerspLitEntry<shift, pairs>(b, v, count, image);                                           \
    }
GV_PERSP_LIT_POW2(Raster_TexPerspLit32, 5, false)
GV_PERSP_LIT_POW2(Raster_TexPerspLit64, 6, false)
GV_PERSP_LIT_POW2(Raster_TexPerspLit128, 7, false)
GV_PERSP_LIT_POW2(Raster_TexPerspLit256, 8, false)
GV_PERSP_LIT_POW2(Raster_TexPerspLitDouble32, 5, true)
GV_PERSP_LIT_POW2(Raster_TexPerspLitDouble64, 6, true)
GV_PERSP_LIT_POW2(Raster_TexPerspLitDouble128, 7, true)
GV_PERSP_LIT_POW2(Raster_TexPerspLitDouble256, 8, true)
#undef GV_PERSP_LIT_POW2

void Render_DrawPolygon(const RenderView* view, const RenderVertex* vertices, int count, const TextureImage* texture,
                        uint32_t colour, uint32_t flags) {
    if (!view || !view->buffer || !vertices || count <= 0 || count > kClipMaxInput) return;
    if (count == 1) {
        Render_DrawPoint3D(view, vertices[0], static_cast<int>(colour & 0xFF));
        return;
    }
    if (count == 2) {
        RenderVertex a{vertices[0].x, vertices[0].y, vertices[0].z, 0, 0, {0}};
        RenderVertex c{vertices[1].x, vertices[1].y, vertices[1].z, 0, 0, {0}};
        Render_DrawLine3D(view, a, c, static_cast<int>(colour & 0xFF));
        return;
    }
    uint32_t index = flags & 0x1FF;
    if (index & kPolyTextured) {
        TexInfo tex;
        if (!UsableTexture(texture, &tex)) {
            index &= ~kPolyTextured;
            colour = 0;
            texture = nullptr;
        } else if (tex.width == 1 && tex.height == 1) {
            index &= ~kPolyTextured;
            colour = tex.texels[0];
            texture = nullptr;
        }
    }
    RenderVertex local[kMaxVertices];
    int n = Render_ClipperFor(index)(view, local, vertices, count, index);
    if (n <= 0 || n > kClipMaxOutput) return;
    ++PolygonCount;
    Raster_DrawerFor(index)(view->buffer, local, n, texture, colour);
}
