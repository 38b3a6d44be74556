// The hardware polygon pipeline: the twins of the software polygon drawer. Primitives in view
// space are clipped against the near and far distances, projected, clipped in 2-D and handed to
// one of the batch writers; primitives already in screen space go straight to a batch writer.
//
// Two tables choose the work: a clipper by the flag word's low nine bits, a drawing member by
// its low eight. The members read the vertices' colour words (shade byte, fog byte), not the
// software light.
#pragma once
#include <cstdint>

#include "render/clip.h"

struct GraphicBuffer;
struct RenderView;
struct TextureImage;

// The largest polygon the clippers take: each of the six boundaries may add one vertex, and the
// work array holds 70.
constexpr int kD3DClipMaxInput = 64;
constexpr int kD3DClipWork = 70;

// What the clipper of a flag word does.
enum class D3DClipper : uint8_t {
    kDepthColour,    // near and far, project, 2-D clip carrying the colour bytes
    kDepthTextured,  // the same carrying u and v
    kScreenColour,   // 2-D clip only
    kNothing,        // returns no vertex
    kProject,        // projection only
    kError,          // "Error in clipping function"
    kPassThrough,    // the vertices unchanged
};
// The batch writer of a flag word.
enum class D3DMember : uint8_t {
    kFlat,              // flat palette colour
    kShaded,            // shaded palette colour
    kTexturedWhite,     // textured white
    kTexturedClamped,   // textured shaded, clamped
    kTexturedWrapped,   // textured shaded, wrapped
    kTexturedByKind,    // textured white, translucent or plain by texture
    kTranslucent,       // textured translucent (alpha 0xA0)
    kFlatBlended,       // flat blended colour (alpha 0xBF)
    kTinted,            // textured in the current sprite colour
    kTintedShifted,     // the same, half-pixel shifted
    kBlinking,          // textured in the blinking colour
    kNothing,
};
D3DClipper D3DRender_ClipperOf(uint32_t flags);
D3DMember D3DRender_MemberOf(uint32_t flags);

// Runs the clipper of the flag word; the vertex count written to out (room for kD3DClipWork),
// 0 when nothing is visible or the input holds more than kD3DClipMaxInput vertices.
int D3DRender_Clip(const RenderView* view, RenderVertex* out, const RenderVertex* in, int count, uint32_t flags);

// View-space primitives: 2 vertices are a line in palette colour `colour`; 3 or more a polygon.
// `texture` is the texture of textured members, `colour` the palette colour of the others.
void D3DRender_DrawPolygon(const RenderView* view, const RenderVertex* vertices, int count,
                           const TextureImage* texture, uint32_t colour, uint32_t flags);
// The same for a polygon built for either driver, whose vertices carry the software light
// (`shade`, 0 dark .. 1 full): each becomes the colour word of that light without fog first.
void D3DRender_DrawLitPolygon(const RenderView* view, const RenderVertex* vertices, int count,
                              const TextureImage* texture, uint32_t colour, uint32_t flags);
// Screen-space primitives, unclipped.
void D3DRender_DrawDirect(const RenderView* view, const RenderVertex* vertices, int count,
                          const TextureImage* texture, uint32_t colour, uint32_t flags);
// Screen points (clip-relative pixels), one pixel each, as the software point list draws them.
void D3DRender_DrawPoints(const RenderView* view, const RenderVertex* points, int count, uint32_t colour);
