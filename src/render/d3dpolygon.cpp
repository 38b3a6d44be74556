#include "render/d3dpolygon.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "core/debug.h"
#include "render/blit.h"
#include "render/d3dbatch.h"
#include "render/d3ddevice.h"
#include "render/d3dtextures.h"
#include "render/display.h"
#include "render/draw2d.h"
#include "render/graphicdriver.h"
#include "render/raster.h"
#include "render/sprite.h"
#include "render/texcache.h"
#include "render/view.h"

namespace {

// ---- Tables ----------------------------------------------------------------------------------

struct ClipperTable {
    std::array<D3DClipper, 512> entries{};
    ClipperTable() {
        for (uint32_t i = 0; i < 512; ++i) {
            const bool inside = i & 0x100, screen = i & 0x8, textured = i & 0x4;
            if (inside) entries[i] = screen ? D3DClipper::kError : D3DClipper::kProject;
            else if (screen) entries[i] = textured ? D3DClipper::kNothing : D3DClipper::kScreenColour;
            else entries[i] = textured ? D3DClipper::kDepthTextured : D3DClipper::kDepthColour;
        }
        for (uint32_t i : {0x0E8, 0x0EC, 0x0ED, 0x0EE, 0x0EF, 0x108, 0x109, 0x10A, 0x1E8, 0x1EC, 0x1EE})
            entries[i] = D3DClipper::kPassThrough;
    }
};

struct MemberTable {
    std::array<D3DMember, 256> entries{};
    MemberTable() {
        entries.fill(D3DMember::kFlat);
        auto set = [this](D3DMember member, std::initializer_list<uint32_t> indices) {
            for (uint32_t i : indices) entries[i] = member;
        };
        // Shaded palette colour: the low three bits 1 or 3, except E3, EB, F3 and FB.
        for (uint32_t i = 0; i < 256; ++i)
            if ((i & 0x5) == 0x1 && i != 0xE3 && i != 0xEB && i != 0xF3 && i != 0xFB)
                entries[i] = D3DMember::kShaded;
        set(D3DMember::kTexturedWhite, {0x04, 0x0C, 0x14, 0x1C, 0x44, 0x4C, 0x54, 0x5C});
        set(D3DMember::kTexturedClamped, {0x05, 0x0D, 0x15, 0x1D, 0xED});
        set(D3DMember::kTexturedWrapped, {0x07, 0x0F, 0x17, 0x1F, 0xEF});
        set(D3DMember::kTexturedByKind, {0x46, 0x4E, 0x56, 0x5E});
        set(D3DMember::kTranslucent, {0x84, 0x85, 0x8C, 0x8D, 0x9C, 0x9D});
        set(D3DMember::kFlatBlended, {0xC0, 0xC8});
        set(D3DMember::kTinted, {0xC4, 0xD4, 0xD5});
        set(D3DMember::kTintedShifted, {0xCC});
        set(D3DMember::kBlinking, {0x0A});
        set(D3DMember::kNothing, {0x06, 0x0E, 0x16, 0x1E, 0x45, 0x47, 0x4D, 0x4F, 0x55, 0x57,
                                  0x5D, 0x5F, 0x94, 0x95, 0xA4, 0xB4, 0xEC, 0xEE, 0xF4, 0xF6});
    }
};

const ClipperTable& Clippers() {
    static const ClipperTable table;
    return table;
}
const MemberTable& Members() {
    static const MemberTable table;
    return table;
}

// ---- Clipping --------------------------------------------------------------------------------

uint32_t LerpColour(uint32_t a, uint32_t b, float t) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const float ca = static_cast<float>((a >> shift) & 0xFF), cb = static_cast<float>((b >> shift) & 0xFF);
        const float c = ca + t * (cb - ca) + 0.5f;
        out |= static_cast<uint32_t>(std::clamp(c, 0.0f, 255.0f)) << shift;
    }
    return out;
}

enum Axis { kX, kY, kZ };
struct Edge {
    Axis axis;
    float value;
    bool keepAbove;  // inside is coordinate >= value, else coordinate <= value
};

float CoordOf(const RenderVertex& v, Axis axis) { return axis == kX ? v.x : axis == kY ? v.y : v.z; }
bool Keeps(const RenderVertex& v, const Edge& e) {
    const float c = CoordOf(v, e.axis);
    return e.keepAbove ? c >= e.value : c <= e.value;
}

RenderVertex Crossing(const RenderVertex& p, const RenderVertex& c, const Edge& e, bool textured) {
    const float t = (e.value - CoordOf(p, e.axis)) / (CoordOf(c, e.axis) - CoordOf(p, e.axis));
    RenderVertex r{};
    r.x = p.x + t * (c.x - p.x);
    r.y = p.y + t * (c.y - p.y);
    r.z = p.z + t * (c.z - p.z);
    if (textured) {
        r.u = p.u + t * (c.u - p.u);
        r.v = p.v + t * (c.v - p.v);
    }
    r.colour = LerpColour(p.colour, c.colour, t);
    if (e.axis == kX) r.x = e.value;
    else if (e.axis == kY) r.y = e.value;
    else r.z = e.value;
    return r;
}

// One Sutherland-Hodgman pass into out (room for kD3DClipWork); the count, 0 when emptied.
int ClipPass(const RenderVertex* in, int count, RenderVertex* out, const Edge& e, bool textured) {
    int n = 0;
    const RenderVertex* p = &in[count - 1];
    bool pIn = Keeps(*p, e);
    for (int i = 0; i < count; ++i) {
        const RenderVertex* c = &in[i];
        const bool cIn = Keeps(*c, e);
        if (cIn != pIn && n < kD3DClipWork) out[n++] = Crossing(*p, *c, e, textured);
        if (cIn && n < kD3DClipWork) out[n++] = *c;
        p = c;
        pIn = cIn;
    }
    return n;
}

bool HardwareClips() { return (RenderFlags & kRenderHardwareClip) != 0; }

int Project(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count) {
    for (int i = 0; i < count; ++i) {
        const RenderVertex v = in[i];
        const float w = 1.0f / v.z;
        out[i] = v;
        out[i].x = v.x * view->scaleX * w + view->centreX;
        out[i].y = v.y * view->scaleY * w + view->centreY;
        out[i].z = w;
    }
    return count;
}

// 2-D clip against the view's window, in place in `work`.
int ScreenClip(const RenderView* view, RenderVertex* work, int count, bool textured) {
    if (HardwareClips()) return count;
    int all = ~0, any = 0;
    for (int i = 0; i < count; ++i) {
        int code = 0;
        if (work[i].x < view->windowLeft) code |= kOutLeft;
        if (work[i].x > view->windowRight) code |= kOutRight;
        if (work[i].y < view->windowTop) code |= kOutTop;
        if (work[i].y > view->windowBottom) code |= kOutBottom;
        all &= code;
        any |= code;
    }
    if (all) return 0;
    if (!any) return count;
    // u and v go over the screen as u/z and v/z, which interpolate linearly there.
    if (textured)
        for (int i = 0; i < count; ++i) work[i].u *= work[i].z, work[i].v *= work[i].z;
    const Edge edges[4] = {{kX, view->windowLeft, true},
                           {kY, view->windowTop, true},
                           {kX, view->windowRight, false},
                           {kY, view->windowBottom, false}};
    const int bits[4] = {kOutLeft, kOutTop, kOutRight, kOutBottom};
    RenderVertex other[kD3DClipWork];
    RenderVertex* src = work;
    RenderVertex* dst = other;
    int n = count;
    for (int k = 0; k < 4 && n > 0; ++k) {
        if (!(any & bits[k])) continue;
        n = ClipPass(src, n, dst, edges[k], textured);
        std::swap(src, dst);
    }
    if (n <= 0) return 0;
    if (src != work) std::memcpy(work, src, sizeof(RenderVertex) * static_cast<size_t>(n));
    if (textured)
        for (int i = 0; i < n; ++i) work[i].u /= work[i].z, work[i].v /= work[i].z;
    return n;
}

int DepthClip(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count, bool textured) {
    const float nearZ = view->nearCorners[0].z, farZ = view->farCorners[0].z;
    const bool clipFar = !HardwareClips();
    int all = ~0, any = 0;
    for (int i = 0; i < count; ++i) {
        int code = 0;
        if (in[i].z < nearZ) code |= kOutNear;
        if (clipFar && in[i].z > farZ) code |= kOutFar;
        all &= code;
        any |= code;
    }
    if (all) return 0;
    if (!any) return Project(view, out, in, count);
    RenderVertex a[kD3DClipWork], b[kD3DClipWork];
    int n = count;
    const RenderVertex* src = in;
    if (any & kOutNear) {
        n = ClipPass(src, n, a, Edge{kZ, nearZ, true}, textured);
        src = a;
    }
    if (n > 0 && (any & kOutFar)) {
        n = ClipPass(src, n, b, Edge{kZ, farZ, false}, textured);
        src = b;
    }
    if (n <= 0) return 0;
    Project(view, out, src, n);
    return ScreenClip(view, out, n, textured);
}

float DepthOfInverse(float w) { return w > 0.0f ? 1.0f / w : 1640.0f; }

// ---- Drawing members -------------------------------------------------------------------------

uint32_t Opaque(uint32_t rgb, uint32_t alpha) { return (rgb & 0xFFFFFFu) | (alpha << 24); }

uint32_t ScaledColour(uint32_t rgb, uint32_t shade) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) out |= ((((rgb >> shift) & 0xFF) * shade) >> 8) << shift;
    return out;
}

void DrawMember(D3DMember member, const RenderVertex* vertices, int count, const TextureImage* texture,
                uint32_t colour) {
    if (member == D3DMember::kNothing || count < 3 || !vertices || !D3D_State().device) return;
    const bool textured = member == D3DMember::kTexturedWhite || member == D3DMember::kTexturedClamped ||
                          member == D3DMember::kTexturedWrapped || member == D3DMember::kTexturedByKind ||
                          member == D3DMember::kTranslucent || member == D3DMember::kTinted ||
                          member == D3DMember::kTintedShifted || member == D3DMember::kBlinking;
    const GpuTexture gpuTexture = textured ? TexMgr_LookupCached(texture, true) : 0;
    const bool alphaKind = textured && texture && TexMgr_HasAlpha(texture);
    const uint32_t palette = PaletteColors32[colour & 0xFF];
    const uint32_t tint = CurrentTint & 0xFFFFFFu;
    uint32_t word = 0x02, diffuse = 0xFFFFFFFFu;
    bool shift = true, perVertexShade = false, greyShade = false, firstDepth = false;
    switch (member) {
    case D3DMember::kFlat: diffuse = Opaque(palette, 0xFF); break;
    case D3DMember::kShaded:
        word = 0x23, shift = false, perVertexShade = true;
        diffuse = palette;
        break;
    case D3DMember::kTexturedWhite: word = alphaKind ? 0xC4 : 0x80; break;
    case D3DMember::kTexturedClamped: word = 0x23, shift = false, perVertexShade = greyShade = true; break;
    case D3DMember::kTexturedWrapped: word = 0x33, shift = false, perVertexShade = greyShade = true; break;
    case D3DMember::kTexturedByKind: word = alphaKind ? 0x46 : 0x02, shift = false; break;
    case D3DMember::kTranslucent:
        word = 0xC4;
        diffuse = Opaque(tint, 0xA0);
        break;
    case D3DMember::kFlatBlended:
        word = 0xC4;
        diffuse = Opaque(palette, 0xBF);
        break;
    case D3DMember::kTinted:
    case D3DMember::kTintedShifted: {
        const bool additive = vertices[0].colour != 0 && !alphaKind;
        shift = member == D3DMember::kTintedShifted;
        word = shift ? (additive ? 0xCA : 0xC6) : (additive ? 0x4A : 0x46);
        diffuse = Opaque(tint, 0xFF);
        break;
    }
    case D3DMember::kBlinking:
        word = alphaKind ? 0xC4 : 0x80, firstDepth = true;
        diffuse = Opaque(PaletteColors32[TextColour & 0xFF], 0xFF);
        break;
    case D3DMember::kNothing: return;
    }
    Batch_SetTextureState(gpuTexture, word);
    Batch_SetPrimitive(GpuPrimitive::TriangleList);
    const uint32_t n = static_cast<uint32_t>(count);
    if (!Batch_Reserve(n, 3 * n - 6)) return;
    GpuVertex* out = Batch_NextVertex();
    const float offset = shift ? -0.5f : 0.0f;
    float z0 = 0.0f, rhw0 = 0.0f;
    Batch_DepthWords(DepthOfInverse(vertices[0].z), &z0, &rhw0);
    for (uint32_t i = 0; i < n; ++i) {
        const RenderVertex& v = vertices[i];
        GpuVertex& g = out[i];
        g.x = v.x + offset;
        g.y = v.y + offset;
        if (firstDepth) g.z = z0, g.rhw = rhw0;
        else Batch_DepthWords(DepthOfInverse(v.z), &g.z, &g.rhw);
        g.diffuse = diffuse;
        g.specular = 0;
        if (perVertexShade) {
            const uint32_t shade = v.colour & 0xFF, fog = (v.colour >> 8) & 0xFF;
            g.diffuse = greyShade ? Opaque(shade * 0x010101u, 0xFF) : Opaque(ScaledColour(palette, shade), 0xFF);
            g.specular = fog << 24;
        }
        g.u = textured ? v.u : 0.0f;
        g.v = textured ? v.v : 0.0f;
    }
    Batch_AddFan(n);
}

// ---- Lines -----------------------------------------------------------------------------------

int ClampToInt(float value) {
    if (!(value == value)) return 0;
    return static_cast<int>(std::lround(std::clamp(value, -1073741824.0f, 1073741824.0f)));
}

void DrawLine(const RenderView* view, const RenderVertex& p0, const RenderVertex& p1, uint32_t colour) {
    if (!view) return;
    const float nearZ = view->nearCorners[0].z, farZ = view->farCorners[0].z;
    RenderVertex a = p0, b = p1;
    auto moveTo = [](RenderVertex& end, const RenderVertex& other, float z) {
        const float t = (z - end.z) / (other.z - end.z);
        end.x += t * (other.x - end.x);
        end.y += t * (other.y - end.y);
        end.z = z;
    };
    if (a.z < nearZ && b.z < nearZ) return;
    if (a.z < nearZ) moveTo(a, b, nearZ);
    if (b.z < nearZ) moveTo(b, a, nearZ);
    if (a.z > farZ && b.z > farZ) return;
    if (a.z > farZ) moveTo(a, b, farZ);
    if (b.z > farZ) moveTo(b, a, farZ);
    GraphicBuffer* buffer = view->buffer;
    if (!buffer || buffer->valid != 1) return;
    // Buffer coordinates, clamped before converting; the 2-D line takes clip-relative ones.
    const int ax = ClampToInt(view->centreX + view->scaleX * a.x / a.z) - buffer->clipLeft;
    const int ay = ClampToInt(view->centreY + view->scaleY * a.y / a.z) - buffer->clipTop;
    const int bx = ClampToInt(view->centreX + view->scaleX * b.x / b.z) - buffer->clipLeft;
    const int by = ClampToInt(view->centreY + view->scaleY * b.y / b.z) - buffer->clipTop;
    const float before = OverlayDepth;
    OverlayDepth = 0.5f * (a.z + b.z);
    Graphic_DrawLine(buffer, ax, ay, bx, by, static_cast<int>(colour & 0xFF), 0);
    OverlayDepth = before;
}

}  // namespace

D3DClipper D3DRender_ClipperOf(uint32_t flags) { return Clippers().entries[flags & 0x1FF]; }
D3DMember D3DRender_MemberOf(uint32_t flags) { return Members().entries[flags & 0xFF]; }

int D3DRender_Clip(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count, uint32_t flags) {
    if (!out || !in || count <= 0) return 0;
    // Every boundary adds at most one vertex, so this bound keeps the work array in reach.
    if (count > kD3DClipMaxInput) return 0;
    switch (D3DRender_ClipperOf(flags)) {
    case D3DClipper::kDepthColour: return view ? DepthClip(view, out, in, count, false) : 0;
    case D3DClipper::kDepthTextured: return view ? DepthClip(view, out, in, count, true) : 0;
    case D3DClipper::kScreenColour:
        if (!view) return 0;
        std::memmove(out, in, sizeof(RenderVertex) * static_cast<size_t>(count));
        return ScreenClip(view, out, count, false);
    case D3DClipper::kNothing: return 0;
    case D3DClipper::kProject: return view ? Project(view, out, in, count) : 0;
    case D3DClipper::kError: Error_Fatal("Error in clipping function\n"); return 0;
    case D3DClipper::kPassThrough:
        std::memmove(out, in, sizeof(RenderVertex) * static_cast<size_t>(count));
        return count;
    }
    return 0;
}

void D3DRender_DrawPolygon(const RenderView* view, const RenderVertex* vertices, int count,
                           const TextureImage* texture, uint32_t colour, uint32_t flags) {
    if (!vertices || count < 2) return;
    if (count == 2) {
        DrawLine(view, vertices[0], vertices[1], colour);
        return;
    }
    RenderVertex work[kD3DClipWork];
    const int n = D3DRender_Clip(view, work, vertices, count, flags);
    if (n >= 3) DrawMember(D3DRender_MemberOf(flags), work, n, texture, colour);
}

void D3DRender_DrawLitPolygon(const RenderView* view, const RenderVertex* vertices, int count,
                              const TextureImage* texture, uint32_t colour, uint32_t flags) {
    if (!vertices || count < 2 || count > kD3DClipMaxInput) return;
    RenderVertex words[kD3DClipMaxInput];
    for (int i = 0; i < count; ++i) {
        words[i] = vertices[i];
        words[i].colour = RenderVertex_ColourOfLight(vertices[i].shade);
    }
    D3DRender_DrawPolygon(view, words, count, texture, colour, flags);
}

void D3DRender_DrawDirect(const RenderView*, const RenderVertex* vertices, int count, const TextureImage* texture,
                          uint32_t colour, uint32_t flags) {
    DrawMember(D3DRender_MemberOf(flags), vertices, count, texture, colour);
}

void D3DRender_DrawPoints(const RenderView* view, const RenderVertex* points, int count, uint32_t colour) {
    if (!view || !points) return;
    GraphicBuffer* b = view->buffer;
    for (int i = 0; i < count; ++i) {
        const float x = points[i].x, y = points[i].y;
        if (!(std::fabs(x) < 65536.0f && std::fabs(y) < 65536.0f)) continue;
        const int ix = Raster_Ceil(x), iy = Raster_Ceil(y);
        Graphic_FillRect(b, ix, iy, ix, iy, static_cast<int>(colour & 0xFF), 0);
    }
}
