// 2-D primitives (lines, rectangles, circles, diamonds) into a GraphicBuffer, and the point, line
// and outline primitives of the software 3-D path.
//
// Coordinates of the 2-D primitives are relative to the buffer's clip rectangle: (0, 0) is its
// top-left pixel, and clipping works in that same frame, so nothing is ever written outside the
// clip rectangle whatever its origin. Every operation returns at once for a buffer whose valid
// flag is not 1, and never writes through the hardware screen's marker pointer.
//
// Modes (colour c, existing pixel p):
//   mode  line                        filled rectangle
//   0     c                           c
//   1     nothing                     c
//   2     TranslucencyTable[c][p]     same
//   3     TranslucencyTable[p][c]     same
//   4     AlphaTable[c][p]            same
//   5+    nothing                     c
#pragma once
#include <cstdint>

#include "render/clip.h"
#include "render/graphicbuffer.h"

struct RenderView;
struct TextureImage;

// Outcode bits of a point against the clip rectangle.
constexpr int kOutcodeLeft = 8;
constexpr int kOutcodeRight = 4;
constexpr int kOutcodeAbove = 2;
constexpr int kOutcodeBelow = 1;

// Software polygons that reached a rasteriser (read by the statistics display).
extern int32_t PolygonCount;

// Unclipped Bresenham line; on the hardware screen its hardware twin.
void Graphic_DrawLineRaw(GraphicBuffer* buffer, int x0, int y0, int x1, int y1, int colour, int mode);
// Unclipped inclusive rectangle; on the hardware screen its hardware twin.
void Graphic_FillRectRaw(GraphicBuffer* buffer, int left, int top, int right, int bottom, int colour, int mode);
// Cohen-Sutherland clipped line. 0 when drawn (or the buffer is not valid); the shared outcode of
// the two ends when rejected.
int Graphic_DrawLine(GraphicBuffer* buffer, int x0, int y0, int x1, int y1, int colour, int mode);
// Clipped filled rectangle; nothing when right < left or bottom < top.
void Graphic_FillRect(GraphicBuffer* buffer, int left, int top, int right, int bottom, int colour, int mode);
// Outline as four clipped lines: top, right, bottom, left edge.
void Graphic_DrawRect(GraphicBuffer* buffer, int left, int top, int right, int bottom, int colour, int mode);
void Graphic_DrawRectRaw(GraphicBuffer* buffer, int left, int top, int right, int bottom, int colour, int mode);
// A polygon of 12 to 24 clipped segments (segments is clamped) starting at (cx + radius, cy).
void Graphic_DrawCircle(GraphicBuffer* buffer, int cx, int cy, int radius, int segments, int colour, int mode);
// Four clipped lines through (cx + r, cy), (cx, cy + r), (cx - r, cy), (cx, cy - r).
void Graphic_DrawDiamond(GraphicBuffer* buffer, int cx, int cy, int radius, int colour, int mode);
// a x b / c with a 64-bit product, truncated; 0 when c is 0.
int32_t Math_MulDiv(int32_t a, int32_t b, int32_t c);

// A view-space point as a 2 x 2 block of the colour in the view's buffer. Nothing in front of
// the near or beyond the far distance, nor on a buffer 480 pixels wide or less.
void Render_DrawPoint3D(const RenderView* view, const RenderVertex& point, int colour);
// A view-space line: cut to the near and far distances, projected, drawn clipped in mode 0.
void Render_DrawLine3D(const RenderView* view, const RenderVertex& p0, const RenderVertex& p1, int colour,
                       int mode = 0);
// The rasteriser's wire-frame entry: the closed outline through projected vertices (relative to
// the clip rectangle, as every drawer takes them), each edge from the previous vertex (the first
// from the last) to the next, end points ceil(x) and ceil(y), clipped lines in colour & 0xFF.
void Render_DrawOutline(GraphicBuffer* buffer, RenderVertex* vertices, int count, const TextureImage* texture,
                        uint32_t colour);
// Hands projected vertices to the rasteriser of the flags without clipping.
void Render_DrawUnclipped(GraphicBuffer* buffer, RenderVertex* vertices, int count, const TextureImage* texture,
                          uint32_t colour, uint32_t flags);
// 1 / i for i = 1 .. 639, and 1.0 at 0.
constexpr int kReciprocalCount = 640;
extern float RenderReciprocals[kReciprocalCount];
void Render_InitReciprocals();

// ---- What this module calls of its neighbours ---------------------------------------------

// The hardware path's 2-D drawing of the screen, in clip-relative coordinates.
struct Hardware2DTwins {
    void (*drawLine)(int x0, int y0, int x1, int y1, int colour, int mode);
    void (*fillRect)(int left, int top, int right, int bottom, int colour, int mode);
};
// Null restores the stand-ins.
void Render_SetHardware2DTwins(const Hardware2DTwins* twins);
const Hardware2DTwins& Render_Hardware2DTwins();

// The span drawer of a flag word: textured drawers read the texture, untextured ones fill with
// the low byte of colour.
using RasteriserFn = void (*)(GraphicBuffer* buffer, RenderVertex* vertices, int count, const TextureImage* texture,
                              uint32_t colour);
// Null restores the stand-in (the rasteriser installs its table at start-up).
void Render_SetRasteriserLookup(RasteriserFn (*lookup)(uint32_t flags));

// True when drawing into this buffer goes to the hardware path (the screen with the hardware
// flag set).
bool Graphic_IsHardwareTarget(const GraphicBuffer* buffer);
