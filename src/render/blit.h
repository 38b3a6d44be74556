// Blits: rectangles of pixels moved from one GraphicBuffer into another, clipped, in one of
// several pixel modes, copied 1:1 (Graphic_Copy_Bitmap) or scaled (Graphic_Stretch_Bitmap); and
// the row loops that move the pixels of each mode.
//
// The source's clip rectangle is the part of the source that is copied; it is first cut to the
// source buffer, so nothing outside the buffer is ever read. The destination's clip rectangle
// both offsets and limits the target.
//
// Copy modes (8-bit source):
//   mode  8-bit destination                              16-bit destination
//   0     opaque                                         PaletteColors16[s]
//   1     keyed: s = 255 not written                     keyed, PaletteColors16[s]
//   2     TranslucencyTable[s][d]                        as 1
//   3     TranslucencyTable[d][s]                        as 1
//   4     keyed, AlphaTable[s][d]                        as 1
//   5     silhouette: 255 nothing, 0 writes 0, any       nothing
//         other writes TextColour
//   6     keyed, mirrored top to bottom                  keyed, mirrored, PaletteColors16[s]
//   other opaque                                         nothing
// Stretch modes (8-bit buffers only): 1 keyed, 2 translucent, 3 translucent reversed, 4 alpha
// keyed, 6 keyed mirrored, 7 alpha keyed mirrored, anything else opaque. A mirrored mode mirrors
// within the source rectangle.
//
// A buffer may be copied onto itself (the screen shake does): each source pixel is read before
// it is overwritten, whatever the direction of the move.
#pragma once
#include <cstddef>
#include <cstdint>

#include "render/graphicbuffer.h"

// The colour of the silhouette mode, shared with the bitmap fonts' text colour and the sprites'
// single-colour draw (each caller sets it before drawing; it is not reset afterwards).
extern int32_t TextColour;

// Returns a negative value when the target lies wholly outside the destination's clip rectangle;
// 0 when a buffer is not valid, the source rectangle lies outside its buffer, or the format pair
// is unsupported (a 16-bit source: traced "Unsupported Graphic_Copy_Bitmap format"); else 1.
// (x, y) are relative to the destination's clip origin.
int Graphic_Copy_Bitmap(GraphicBuffer* dst, const GraphicBuffer* src, int x, int y, int mode);
// Scales the source rectangle onto the inclusive destination rectangle (given in any corner
// order, relative to the destination's clip origin). Either buffer 16-bit: traced
// "Unsupported Graphic_Stretch_Bitmap format" and nothing drawn.
void Graphic_Stretch_Bitmap(GraphicBuffer* dst, const GraphicBuffer* src, int left, int top, int right, int bottom,
                            int mode);

// ---- Row loops ---------------------------------------------------------------------------------
// Copy loops: (destination, source, columns, rows, destination pitch, source pitch); pitches in
// bytes, a negative source pitch walks the source upwards. They check nothing: the callers clip.
void Blit_CopyRows(uint8_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch, ptrdiff_t srcPitch);
void Blit_CopyKeyedRows(uint8_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch,
                        ptrdiff_t srcPitch);
void Blit_TransRows(uint8_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch, ptrdiff_t srcPitch);
void Blit_TransRevRows(uint8_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch,
                       ptrdiff_t srcPitch);
void Blit_AlphaKeyedRows(uint8_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch,
                         ptrdiff_t srcPitch);
void Blit_SilhouetteRows(uint8_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch,
                         ptrdiff_t srcPitch);
// Into 16-bit pixels; the destination pitch counts pixels.
void Blit_Copy16Rows(uint16_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch,
                     ptrdiff_t srcPitch);
void Blit_CopyKeyed16Rows(uint16_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch,
                          ptrdiff_t srcPitch);

// The parameters of a stretched copy.
struct StretchJob {
    uint8_t* dest;          // the first destination pixel (after clipping)
    const uint8_t* source;  // the source's first pixel (its last row's, for the mirrored modes)
    int32_t columns;        // destination pixels per row after clipping
    int32_t rows;           // destination rows after clipping
    ptrdiff_t destPitch;    // bytes
    ptrdiff_t sourcePitch;  // bytes, negative for the mirrored modes
    int32_t sourceLeft;     // the source rectangle's left edge
    int32_t sourceTop;      // its top edge (0 for the mirrored modes: the source is its bottom row)
    int32_t skipColumns;    // destination columns clipped away at the left
    int32_t skipRows;       // destination rows clipped away at the top
    int64_t stepX;          // 16.16 source columns per destination column; 0 for a one-pixel width
    int64_t stepY;          // 16.16 source rows per destination row; 0 for a one-pixel height
};
// Stretch loops: source column of destination pixel j = ((skipColumns + j) x stepX) >> 16 from
// sourceLeft, row of destination row i = ((skipRows + i) x stepY) >> 16 from sourceTop.
void Blit_StretchRows(const StretchJob& job);
void Blit_StretchKeyedRows(const StretchJob& job);
void Blit_StretchTransRows(const StretchJob& job);
void Blit_StretchTransRevRows(const StretchJob& job);
void Blit_StretchAlphaKeyedRows(const StretchJob& job);

struct RenderView;
// The screen shake's move: the view's buffer copied onto itself, moved by (dx, dy), blended
// through the translucency table (copy mode 2).
void Graphic_ShakePicture(RenderView* view, int dx, int dy);

// Puts the shared state back as at start-up (the text colour 0).
void Blit_Reset();
