// The hardware path's 2-D lines and rectangles on the screen, batched at the overlay depth.
#pragma once

struct GraphicBuffer;

// Coordinates relative to the screen's clip rectangle, as the 2-D drawers take them.
void D3DRender_DrawLine2D(int x0, int y0, int x1, int y1, int colour, int mode);
// Right and bottom are inclusive; flat colour, or translucent (alpha 0xBF) when mode & 7 exceeds 1.
void D3DRender_FillRect2D(int left, int top, int right, int bottom, int colour, int mode);
// Shows an 8-bit buffer on the hardware screen: uploaded as one texture through the palette's
// 16-bit colours and drawn as one quad stretched over the screen, in a scene of its own.
// 0 when there is no device or the buffer is not an 8-bit buffer with pixels.
int D3DRender_ShowBuffer(const GraphicBuffer* buffer);
// Hands both to the 2-D drawers.
void D3DRender_InstallTwins();
