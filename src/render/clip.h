// Polygon clipping for the software rasteriser: depth clipping against the near and far
// distances in view space, projection onto the screen, and clipping against the view's window.
//
// Eight routines share one form (view, output, input, count, flags) and return the number of
// vertices written to the output, 0 when nothing is left to draw. The routine for a polygon is
// chosen by its low nine flag bits (Render_ClipperFor).
#pragma once
#include <cstdint>

struct RenderView;

// Before projection: view-space x, y, z (depth), texture u, v and the light value.
// After projection: screen x, screen y, 1/z, u/z and v/z (or u and v, see kPolyPerspective),
// and the light value unchanged.
//
// The sixth word has two views, and callers fill the one of the driver that draws: the software
// path reads the float light (`shade`), the hardware path a colour word (`colour`) whose low byte
// is the shade level (255 full) and whose second byte the fog level (255 no fog).
struct RenderVertex {
    float x;
    float y;
    float z;
    float u;
    float v;
    union {
        float shade;
        uint32_t colour;
    };
};
static_assert(sizeof(RenderVertex) == 24);

// The hardware colour word of a shade and a fog level, and of full light without fog.
constexpr uint32_t RenderVertex_ColourWord(uint32_t shade, uint32_t fog) { return (shade & 0xFF) | ((fog & 0xFF) << 8); }
constexpr uint32_t kColourWordFull = 0xFFFF;
// The software light at which the shade tables give a colour as it is (brighter lights run on
// towards white): the hardware's full shade (255) goes there, so that both drivers show a texel
// in its own colour at the same light. 1 until a hardware scene measures the tables.
extern float HardwareFullLight;
// The colour word of a software light value (0 dark .. 1 full), without fog.
inline uint32_t RenderVertex_ColourOfLight(float light) {
    const float level = light / HardwareFullLight * 255.0f + 0.5f;
    const uint32_t shade = level >= 255.0f ? 255u : level > 0.0f ? static_cast<uint32_t>(level) : 0u;
    return RenderVertex_ColourWord(shade, 255);
}

// Flag bits of a 3-D primitive that choose its clipper.
constexpr uint32_t kPolyTextured = 0x4;      // u and v are carried through clipping
constexpr uint32_t kPolyScreenSpace = 0x8;   // the vertices are already projected
constexpr uint32_t kPolyPerspective = 0x10;  // u/z and v/z reach the rasteriser, else u and v
constexpr uint32_t kPolyInside = 0x100;      // wholly inside the view: no clipping
constexpr uint32_t kPolyClipperMask = 0x1FF;

// The largest polygon a caller may hand to a clipper, and the room every output array must have:
// each of the six boundaries can add one vertex.
constexpr int kClipMaxInput = 16;
constexpr int kClipMaxOutput = kClipMaxInput + 6;

// Outcode bits. Depth: far and near. Screen: bottom, top, right, left.
constexpr int kOutFar = 1;
constexpr int kOutNear = 2;
constexpr int kOutBottom = 1;
constexpr int kOutTop = 2;
constexpr int kOutRight = 4;
constexpr int kOutLeft = 8;

using ClipFn = int (*)(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                       uint32_t flags);

// View-space input: near and far passes, projection, then the matching screen clipper.
int View_ClipPolygonDepth(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                          uint32_t flags);
// The same carrying u and v; without kPolyPerspective the output holds affine u and v again.
int View_ClipPolygonDepthTextured(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                                  uint32_t flags);
// Screen-space input: left, top, right and bottom passes against the half-open window.
int View_ClipPolygonScreen(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                           uint32_t flags);
int View_ClipPolygonScreenTextured(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                                   uint32_t flags);
// View-space input known to lie inside: projection only.
int View_ProjectPolygon(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                        uint32_t flags);
// Stores u/z and v/z with kPolyPerspective, else copies u and v.
int View_ProjectPolygonTextured(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                                uint32_t flags);
// Copies the vertices unchanged.
int View_CopyPolygon(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                     uint32_t flags);
// An invalid flag combination: fatal "Error in clipping function\n"; returns 0.
int View_ClipError(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count,
                   uint32_t flags);

// The clipper of a flag word (its low nine bits).
ClipFn Render_ClipperFor(uint32_t flags);

// The AND and the OR of the vertices' outcodes.
struct Outcodes {
    int all;  // AND: a bit set here means every vertex is outside that boundary
    int any;  // OR: the boundaries some vertex crosses
};
// Depth: far when z >= the far distance, near when z < the near distance (0.1).
Outcodes View_DepthOutcodes(const RenderView* view, const RenderVertex* vertices, int count);
// Screen: the window is half-open, so x == windowRight or y == windowBottom is outside.
Outcodes View_ScreenOutcodes(const RenderVertex* vertices, int count, const RenderView* view);
