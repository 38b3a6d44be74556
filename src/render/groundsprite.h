// Images laid flat on the ground that follow its relief: sprite decals and textures under
// objects. The rectangle is cut along the terrain grid: each cell under it is split into two
// triangles at its corners' heights, each triangle's texture coordinates are clipped to the
// image, and the pieces go through the polygon path of the active driver.
#pragma once
#include <cstdint>

struct RenderView;
struct RenderVertex;
struct TextureImage;

// UV outcode bits of a vertex.
constexpr int kUVOutVHigh = 1;  // v >= 1
constexpr int kUVOutVLow = 2;   // v < 0
constexpr int kUVOutUHigh = 4;  // u >= 1
constexpr int kUVOutULow = 8;   // u < 0
// The largest polygon Poly_ClipUV takes; its output needs room for four more vertices.
constexpr int kClipUVMaxInput = 16;

void Poly_UVOutcodes(int* andCode, int* orCode, const RenderVertex* vertices, int count);
// Clips the polygon to 0 <= u <= 1 and 0 <= v <= 1 into output; the new count, 0 when nothing
// remains (or the input holds more than kClipUVMaxInput vertices).
int Poly_ClipUV(int count, const RenderVertex* vertices, RenderVertex* output);

// A sprite over the square centre +- halfSize (x and z). 1 when done, 0 for a half size below
// 0.00001.
int Ground_DrawSprite(const RenderView* view, const float centre[3], float halfSize, int sprite, uint32_t mode);
// A whole texture over centre +- width / 2 (x) and +- depth / 2 (z). 1 when done, 0 when width or
// depth is below 0.00001.
int Ground_DrawTexture(const RenderView* view, const float centre[3], float width, float depth,
                       const TextureImage* texture, uint32_t flags);

// Where the pieces go, by driver; tests swap them to record what is drawn (null: the defaults,
// the hardware and the software polygon paths).
struct GroundDrawers {
    void (*hardware)(const RenderView* view, const RenderVertex* vertices, int count, const TextureImage* texture,
                     uint32_t flags);
    void (*software)(const RenderView* view, const RenderVertex* vertices, int count, const TextureImage* texture,
                     uint32_t flags);
};
void Ground_SetDrawers(const GroundDrawers* drawers);
