#include "render/clip.h"

#include <cstring>

#include "core/debug.h"
#include "render/view.h"

float HardwareFullLight = 1.0f;

namespace {

// Room for a pass's output: a convex polygon gains at most one vertex a pass; anything that
// would grow past this is dropped rather than written out of bounds.
constexpr int kScratch = kClipMaxOutput + 2;

float NearOf(const RenderView* view) { return view->nearCorners[0].z; }
float FarOf(const RenderView* view) { return view->farCorners[0].z; }

int DepthCode(const RenderVertex& v, float nearZ, float farZ) {
    int code = 0;
    if (v.z >= farZ) code |= kOutFar;
    if (v.z < nearZ) code |= kOutNear;
    return code;
}

int ScreenCode(const RenderVertex& v, const RenderView* view) {
    int code = 0;
    if (v.y >= view->windowBottom) code |= kOutBottom;
    if (v.y < view->windowTop) code |= kOutTop;
    if (v.x >= view->windowRight) code |= kOutRight;
    if (v.x < view->windowLeft) code |= kOutLeft;
    return code;
}

// Which coordinate a boundary cuts, and on which side of it the inside lies.
enum Axis { kAxisX = 0, kAxisY = 1, kAxisZ = 2 };
struct Boundary {
    Axis axis;
    float value;
    bool insideAbove;  // inside is coordinate >= value, else coordinate < value
};

float Coord(const RenderVertex& v, Axis axis) { return axis == kAxisX ? v.x : axis == kAxisY ? v.y : v.z; }

bool Inside(const RenderVertex& v, const Boundary& b) {
    float c = Coord(v, b.axis);
    return b.insideAbove ? c >= b.value : c < b.value;
}

// The crossing of edge P -> C with the boundary: the cut coordinate exactly on the boundary,
// every carried attribute interpolated. Depth passes carry x, y and shade; screen passes the
// other screen coordinate, 1/z and shade; textured passes words 3 and 4 as well.
RenderVertex Crossing(const RenderVertex& p, const RenderVertex& c, const Boundary& b, bool textured) {
    float t = (b.value - Coord(p, b.axis)) / (Coord(c, b.axis) - Coord(p, b.axis));
    RenderVertex r{};
    r.x = p.x + t * (c.x - p.x);
    r.y = p.y + t * (c.y - p.y);
    r.z = p.z + t * (c.z - p.z);
    r.shade = p.shade + t * (c.shade - p.shade);
    if (textured) {
        r.u = p.u + t * (c.u - p.u);
        r.v = p.v + t * (c.v - p.v);
    }
    if (b.axis == kAxisX) r.x = b.value;
    else if (b.axis == kAxisY) r.y = b.value;
    else r.z = b.value;
    return r;
}

// One Sutherland-Hodgman pass; the output count, or -1 when it would not fit.
int ClipPass(const RenderVertex* in, int count, RenderVertex* out, const Boundary& b, bool textured) {
    int n = 0;
    const RenderVertex* p = &in[count - 1];
    bool pIn = Inside(*p, b);
    for (int i = 0; i < count; ++i) {
        const RenderVertex* c = &in[i];
        bool cIn = Inside(*c, b);
        if (cIn != pIn) {
            if (n >= kScratch) return -1;
            out[n++] = Crossing(*p, *c, b, textured);
        }
        if (cIn) {
            if (n >= kScratch) return -1;
            out[n++] = *c;
        }
        p = c;
        pIn = cIn;
    }
    return n;
}

bool CountUsable(const RenderVertex* in, int count) { return in && count > 0 && count <= kClipMaxInput; }

// Runs the passes whose bits are in `any`, in the given order, ping-ponging between two scratch
// arrays. Returns the surviving count (0 when a pass leaves nothing) and where they are.
int RunPasses(const RenderVertex* in, int count, const Boundary* boundaries, const int* bits, int passes, int any,
              bool textured, RenderVertex (*scratch)[kScratch], const RenderVertex** result) {
    const RenderVertex* src = in;
    int n = count;
    int which = 0;
    for (int i = 0; i < passes; ++i) {
        if (!(any & bits[i])) continue;
        RenderVertex* dst = scratch[which];
        n = ClipPass(src, n, dst, boundaries[i], textured);
        if (n <= 0) return 0;
        src = dst;
        which ^= 1;
    }
    *result = src;
    return n;
}

void ProjectVertex(const RenderView* view, const RenderVertex& in, RenderVertex& out, bool textured, bool perspective) {
    float w = 1.0f / in.z;
    out.x = w * (view->scaleX * in.x) + view->centreX;
    out.y = w * (in.y * view->scaleY) + view->centreY;
    out.z = w;
    out.shade = in.shade;
    if (textured && perspective) {
        out.u = in.u * w;
        out.v = in.v * w;
    } else {
        out.u = in.u;
        out.v = in.v;
    }
}

int ScreenClip(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count, bool textured) {
    if (!view || !out || !CountUsable(in, count)) return 0;
    Outcodes codes = View_ScreenOutcodes(in, count, view);
    if (codes.all) return 0;
    if (!codes.any) {
        std::memmove(out, in, sizeof(RenderVertex) * static_cast<size_t>(count));
        return count;
    }
    const Boundary boundaries[4] = {
        {kAxisX, view->windowLeft, true},
        {kAxisY, view->windowTop, true},
        {kAxisX, view->windowRight, false},
        {kAxisY, view->windowBottom, false},
    };
    const int bits[4] = {kOutLeft, kOutTop, kOutRight, kOutBottom};
    RenderVertex scratch[2][kScratch];
    const RenderVertex* result = nullptr;
    int n = RunPasses(in, count, boundaries, bits, 4, codes.any, textured, scratch, &result);
    if (n <= 0 || n > kClipMaxOutput) return 0;
    std::memcpy(out, result, sizeof(RenderVertex) * static_cast<size_t>(n));
    return n;
}

int DepthClip(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count, uint32_t flags,
              bool textured) {
    if (!view || !out || !CountUsable(in, count)) return 0;
    Outcodes codes = View_DepthOutcodes(view, in, count);
    if (codes.all) return 0;
    RenderVertex scratch[2][kScratch];
    const RenderVertex* clipped = in;
    int n = count;
    if (codes.any) {
        const Boundary boundaries[2] = {{kAxisZ, NearOf(view), true}, {kAxisZ, FarOf(view), false}};
        const int bits[2] = {kOutNear, kOutFar};
        n = RunPasses(in, count, boundaries, bits, 2, codes.any, textured, scratch, &clipped);
        if (n <= 0) return 0;
    }
    // Textured depth clipping always hands u/z and v/z to the screen passes: interpolating them
    // linearly on the screen is what keeps the later division exact.
    RenderVertex projected[kScratch];
    for (int i = 0; i < n; ++i) ProjectVertex(view, clipped[i], projected[i], textured, true);
    int result = ScreenClip(view, out, projected, n, textured);
    if (textured && !(flags & kPolyPerspective)) {
        for (int i = 0; i < result; ++i) {
            out[i].u = out[i].u / out[i].z;
            out[i].v = out[i].v / out[i].z;
        }
    }
    return result;
}

int Project(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count, bool textured,
            bool perspective) {
    if (!view || !out || !in || count <= 0) return 0;
    for (int i = 0; i < count; ++i) {
        RenderVertex v = in[i];
        ProjectVertex(view, v, out[i], textured, perspective);
    }
    return count;
}

// The clipper half of the dispatch table, built once.
struct ClipperTable {
    ClipFn entries[512];
    ClipperTable() {
        for (int i = 0; i < 512; ++i) {
            bool inside = i & kPolyInside, screen = i & kPolyScreenSpace, textured = i & kPolyTextured;
            if (inside)
                entries[i] = screen ? View_ClipError : textured ? View_ProjectPolygonTextured : View_ProjectPolygon;
            else if (screen)
                entries[i] = textured ? View_ClipPolygonScreenTextured : View_ClipPolygonScreen;
            else
                entries[i] = textured ? View_ClipPolygonDepthTextured : View_ClipPolygonDepth;
        }
        for (int copy : {0xE8, 0xEC, 0xED, 0xEE, 0xEF, 0x108, 0x109, 0x10A, 0x1E8, 0x1EC, 0x1EE})
            entries[copy] = View_CopyPolygon;
    }
};

}  // namespace

Outcodes View_DepthOutcodes(const RenderView* view, const RenderVertex* vertices, int count) {
    Outcodes codes{~0, 0};
    if (!view || !vertices || count <= 0) return Outcodes{0, 0};
    float nearZ = NearOf(view), farZ = FarOf(view);
    for (int i = 0; i < count; ++i) {
        int code = DepthCode(vertices[i], nearZ, farZ);
        codes.all &= code;
        codes.any |= code;
    }
    return codes;
}

Outcodes View_ScreenOutcodes(const RenderVertex* vertices, int count, const RenderView* view) {
    Outcodes codes{~0, 0};
    if (!view || !vertices || count <= 0) return Outcodes{0, 0};
    for (int i = 0; i < count; ++i) {
        int code = ScreenCode(vertices[i], view);
        codes.all &= code;
        codes.any |= code;
    }
    return codes;
}

int View_ClipPolygonDepth(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                          uint32_t flags) {
    return DepthClip(view, out, in, count, flags, false);
}

int View_ClipPolygonDepthTextured(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                                  uint32_t flags) {
    return DepthClip(view, out, in, count, flags, true);
}

int View_ClipPolygonScreen(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count, uint32_t) {
    return ScreenClip(view, out, in, count, false);
}

int View_ClipPolygonScreenTextured(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                                   uint32_t) {
    return ScreenClip(view, out, in, count, true);
}

int View_ProjectPolygon(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count, uint32_t) {
    return Project(view, out, in, count, false, false);
}

int View_ProjectPolygonTextured(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                                uint32_t flags) {
    return Project(view, out, in, count, true, (flags & kPolyPerspective) != 0);
}

int View_CopyPolygon(const RenderView*, RenderVertex* out, const RenderVertex* in, int count, uint32_t) {
    if (!out || !in || count <= 0) return 0;
    std::memmove(out, in, sizeof(RenderVertex) * static_cast<size_t>(count));
    return count;
}

int View_ClipError(const RenderView*, RenderVertex*, const RenderVertex*, int, uint32_t) {
    Error_Fatal("Error in clipping function\n");
    return 0;
}

ClipFn Render_ClipperFor(uint32_t flags) {
    static const ClipperTable table;
    return table.entries[flags & kPolyClipperMask];
}
