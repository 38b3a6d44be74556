#include "render/d3ddraw2d.h"

#include "render/d3dbatch.h"
#include "render/d3ddevice.h"
#include "render/draw2d.h"
#include "render/graphicdriver.h"

void D3DRender_DrawLine2D(int x0, int y0, int x1, int y1, int colour, int) {
    const GraphicBuffer& screen = g_graphicDriver.screen;
    const float points[4] = {static_cast<float>(screen.clipLeft + x0), static_cast<float>(screen.clipTop + y0),
                             static_cast<float>(screen.clipLeft + x1), static_cast<float>(screen.clipTop + y1)};
    Batch_AddLineStrip(points, 2, colour);
}

void D3DRender_FillRect2D(int left, int top, int right, int bottom, int colour, int mode) {
    const GraphicBuffer& screen = g_graphicDriver.screen;
    const int x0 = screen.clipLeft + left, y0 = screen.clipTop + top;
    int x1 = screen.clipLeft + right, y1 = screen.clipTop + bottom;
    // Inclusive edges, except on the clip edge (the end of scene's lines draw that column and row).
    if (x1 != screen.clipRight) ++x1;
    if (y1 != screen.clipBottom) ++y1;
    const bool blend = (mode & 7) > 1;
    const uint32_t rgb = PaletteColors32[colour & 0xFF] & 0xFFFFFFu;
    D3D_FillRect(rgb | (blend ? 0xBF000000u : 0xFF000000u), static_cast<float>(x0), static_cast<float>(y0),
                 static_cast<float>(x1), static_cast<float>(y1), blend);
}

void D3DRender_InstallTwins() {
    static const Hardware2DTwins kTwins = {D3DRender_DrawLine2D, D3DRender_FillRect2D};
    Render_SetHardware2DTwins(&kTwins);
}
