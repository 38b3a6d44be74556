#include "render/d3ddraw2d.h"

#include "render/d3dbatch.h"
#include "render/d3ddevice.h"
#include "render/draw2d.h"
#include "render/graphicdriver.h"
#include "render/palette.h"

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

int D3DRender_ShowBuffer(const GraphicBuffer* buffer) {
    GpuDevice* device = D3D_State().device.get();
    if (!device || !buffer || buffer->valid != 1 || buffer->format != kGraphicFormat8 || !buffer->pixels ||
        buffer->pixels == Graphic_HardwareScreenMarker() || buffer->width <= 0 || buffer->height <= 0)
        return 0;
    GpuTexture texture = 0;
    if (device->createTexture(buffer->width, buffer->height, 1, GpuFormat::Rgb565, &texture) != GpuResult::Ok)
        return 0;
    GpuLockedRect locked;
    if (device->lockTexture(texture, 0, GpuLockMode::Normal, &locked) != GpuResult::Ok) {
        device->releaseTexture(texture);
        return 0;
    }
    for (int32_t y = 0; y < buffer->height; ++y) {
        const uint8_t* in = buffer->pixels + static_cast<size_t>(y) * static_cast<size_t>(buffer->width);
        uint8_t* out = locked.bits + static_cast<size_t>(y) * static_cast<size_t>(locked.pitch);
        for (int32_t x = 0; x < buffer->width; ++x) {
            const uint16_t colour = PaletteColors16[in[x]];
            out[2 * x] = static_cast<uint8_t>(colour);
            out[2 * x + 1] = static_cast<uint8_t>(colour >> 8);
        }
    }
    device->unlockTexture(texture, 0);
    const GraphicBuffer& screen = g_graphicDriver.screen;
    const float right = static_cast<float>(screen.width) - 0.5f, bottom = static_cast<float>(screen.height) - 0.5f;
    const bool scene = device->beginScene() == GpuResult::Ok;
    // Opaque, without depth writes or fog, at the front of the depth range.
    Batch_SetTextureState(texture, 0xC0);
    Batch_SetPrimitive(GpuPrimitive::TriangleList);
    if (Batch_Reserve(4, 6)) {
        float z = 0.0f, rhw = 0.0f;
        Batch_DepthWords(0.1f, &z, &rhw);
        GpuVertex* v = Batch_NextVertex();
        v[0] = GpuVertex{-0.5f, -0.5f, z, rhw, 0xFFFFFFFFu, 0xFF000000u, 0.0f, 0.0f};
        v[1] = GpuVertex{right, -0.5f, z, rhw, 0xFFFFFFFFu, 0xFF000000u, 1.0f, 0.0f};
        v[2] = GpuVertex{right, bottom, z, rhw, 0xFFFFFFFFu, 0xFF000000u, 1.0f, 1.0f};
        v[3] = GpuVertex{-0.5f, bottom, z, rhw, 0xFFFFFFFFu, 0xFF000000u, 0.0f, 1.0f};
        Batch_AddFan(4);
    }
    Batch_Rewind();
    // The texture goes with this draw: unbind it before it is released.
    Batch_SetTextureState(0, 0xC0);
    if (scene) device->endScene();
    device->releaseTexture(texture);
    return 1;
}

void D3DRender_InstallTwins() {
    static const Hardware2DTwins kTwins = {D3DRender_DrawLine2D, D3DRender_FillRect2D};
    Render_SetHardware2DTwins(&kTwins);
}
