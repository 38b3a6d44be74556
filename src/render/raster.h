// The software polygon rasteriser: Render_DrawPolygon clips a polygon (clip.h) and fills it
// scanline by scanline into an 8-bit GraphicBuffer with the span drawer its flag bits choose.
//
// Vertices reach a drawer in clip-rectangle coordinates: x and y in pixels from the clip
// rectangle's top-left, word 2 = 1/z, words 3 and 4 = u and v (u/z and v/z for the perspective
// drawers), word 5 = light (1.0 brightest, 0.0 darkest).
//
// Rounding: every float-to-integer conversion of the drawers rounds towards plus infinity, so a
// polygon covers the rows ceil(top) .. ceil(bottom) - 1 and a span the columns ceil(left) ..
// ceil(right) - 1. The ceiling is taken explicitly; the FPU rounding mode is never touched.
//
// No drawer writes outside the target's clip rectangle (nor outside the buffer), and no texel
// read leaves the image: rows and columns are clamped (clamping drawers) or masked (wrapping
// drawers) whatever the coordinates.
#pragma once
#include <cstdint>

#include "render/clip.h"
#include "render/draw2d.h"

struct GraphicBuffer;
struct RenderView;
struct TextureImage;

// Drawing groups of the flag word (bits 5 to 7).
constexpr uint32_t kPolyLightInterp = 0x1;  // Gouraud, or the lit perspective drawers
constexpr uint32_t kPolyWrap = 0x2;         // texture coordinates wrap (power-of-two sizes)
constexpr uint32_t kPolyGroupMask = 0xE0;
constexpr uint32_t kPolyGroupKeyed = 0x40;
constexpr uint32_t kPolyGroupTranslucent = 0x80;
constexpr uint32_t kPolyGroupTransReversed = 0xA0;
constexpr uint32_t kPolyGroupAlpha = 0xC0;
constexpr uint32_t kPolyGroupLit = 0xE0;
// The flag word of the pre-projected, lit, perspective-textured polygons the render queue draws
// straight into the screen.
constexpr uint32_t kPolyDirectLit = 237;

// When nonzero, the lit perspective drawers for widths 32, 64, 128 and 256 draw full runs as
// pixel pairs (set by the terrain drawing mode).
extern int32_t Raster_PixelDouble;

// Draws `count` vertices (view space, or screen space with flag bit 3) into view->buffer.
// count 1 draws a point and count 2 a line, in `colour`. A textured polygon (bit 2) without a
// usable texture is drawn untextured in colour 0; with a 1 x 1 texture untextured in its texel.
// `colour` is the fill colour of the untextured drawers (its low byte).
void Render_DrawPolygon(const RenderView* view, const RenderVertex* vertices, int count, const TextureImage* texture,
                        uint32_t colour, uint32_t flags);

// The span drawer of a flag word (its low nine bits); never null.
RasteriserFn Raster_DrawerFor(uint32_t flags);
// The drawers, by name (all of the RasteriserFn form; untextured ones use the colour's low byte).
// The table's outline entries are Render_DrawOutline (draw2d.h).
void Raster_FlatFill(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_GouraudFill(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_FlatAlphaFill(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_None(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexAffine(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexAffineWrap(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexAffineKey(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexAffineRemapWrap(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexAffineTrans(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexAffineTransRev(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexAffineAlphaKey(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPersp(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspWrap(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspRemap(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspKeyWrap(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspTrans(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspTransRev(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspAlphaKey(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
// Widths 256, 128, 64 and 32 go to the named drawer of their width below (the pixel-pair one
// when Raster_PixelDouble is set); every other width is drawn through the row table.
void Raster_TexPerspLit(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspLitWrap(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspLitKey(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspLitKeyWrap(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspFlatLit(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspFlatLitWrap(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
// Raster_TexPerspLit for one power-of-two width, texels addressed by shift instead of the row
// table; the Double forms draw full 16-pixel runs as pixel pairs. Each checks the texture's width
// on entry: another power-of-two width goes to the drawer of the same kind for that width, any
// other width to Raster_TexPerspLit. The render queue draws its pre-projected kPolyDirectLit
// polygons with Raster_TexPerspLitDouble256 (Raster_PixelDouble set) or Raster_TexPerspLit256.
void Raster_TexPerspLit32(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspLit64(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspLit128(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspLit256(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspLitDouble32(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspLitDouble64(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspLitDouble128(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);
void Raster_TexPerspLitDouble256(GraphicBuffer*, RenderVertex*, int, const TextureImage*, uint32_t);

// ---- The texture row table -----------------------------------------------------------------

// Row pointers of the current texture: 4 guard entries before row 0 (all row 0), the rows, and
// 4 guard entries after them (all the last row). Grows with the image: no row limit.
constexpr int kTexRowGuard = 4;
// Rebuilds the table unless it already describes this image (same address and size).
void Raster_SetupTexRows(const TextureImage* image);
// Forgets the table's image (its memory is being released).
void Raster_ForgetTexture(const TextureImage* image);
// Row r (-4 .. height + 3) of the current table.
const uint8_t* Raster_TexRow(int row);
// How often the table was rebuilt (for tests and statistics).
uint32_t Raster_TexRowBuilds();

// The width the drawers use: the image's signed 16-bit width (the format word is ignored).
int32_t Raster_TextureWidth(const TextureImage* image);

// The vertex both edge walkers start from: the smallest ceil(y) (the unrounded y for the
// Gouraud fill), the last one in vertex order among equals.
int Raster_TopVertex(const RenderVertex* vertices, int count, bool byRawY);

// The ceiling of a value as a 32-bit integer, as every drawer conversion takes it: values
// outside the 32-bit range keep their low 32 bits; NaN and infinities give INT32_MIN.
int32_t Raster_Ceil(double value);
