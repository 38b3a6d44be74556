#include "render/radar.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "render/d3dbatch.h"
#include "render/d3ddevice.h"
#include "render/draw2d.h"
#include "render/graphicdriver.h"

namespace {

bool Usable(const RadarImage* image) {
    return image && image->points && image->columns > 0 && image->rows > 0 && image->columns <= 4096 &&
           image->rows <= 4096;
}

const RadarPoint& At(const RadarImage* image, int c, int r) { return image->points[r * image->columns + c]; }

// Calls line(a, b) for every edge of the grid: along the rows, then down the columns.
template <typename Fn>
void ForEachEdge(const RadarImage* image, Fn line) {
    for (int r = 0; r < image->rows; ++r)
        for (int c = 0; c + 1 < image->columns; ++c) line(At(image, c, r), At(image, c + 1, r));
    for (int c = 0; c < image->columns; ++c)
        for (int r = 0; r + 1 < image->rows; ++r) line(At(image, c, r), At(image, c, r + 1));
}

int Pixel(float value) {
    if (!(std::fabs(value) < 1.0e6f)) return value > 0 ? 1000000 : -1000000;
    return static_cast<int>(std::lround(value));
}

// Kind 1: line steps straight into the locked back buffer, in the format it reports.
void LockedLines(const GraphicBuffer* buffer, const RadarImage* image) {
    GpuDevice* device = D3D_State().device.get();
    if (!device) return;
    GpuSurfaceDesc desc;
    if (device->backBufferDesc(&desc) != GpuResult::Ok) return;
    const bool wide = desc.format == GpuFormat::Xrgb8888;
    if (!wide && desc.format != GpuFormat::Rgb565) return;
    GpuLockedRect locked;
    // A back buffer that cannot be locked (usually outside mode 0) skips the sweep.
    if (device->lockBackBuffer(&locked) != GpuResult::Ok || !locked.bits) return;
    const uint32_t colour32 = PaletteColors32[image->colour & 0xFF] & 0xFFFFFFu;
    const uint16_t colour16 = PaletteColors16[image->colour & 0xFF];
    const int left = buffer->clipLeft, top = buffer->clipTop;
    const int right = std::min(buffer->clipRight, desc.width - 1), bottom = std::min(buffer->clipBottom, desc.height - 1);
    auto plot = [&](int x, int y) {
        if (x < left || x > right || y < top || y > bottom) return;
        uint8_t* row = locked.bits + static_cast<size_t>(y) * static_cast<size_t>(locked.pitch);
        if (wide) reinterpret_cast<uint32_t*>(row)[x] = colour32;
        else reinterpret_cast<uint16_t*>(row)[x] = colour16;
    };
    ForEachEdge(image, [&](const RadarPoint& a, const RadarPoint& b) {
        int x0 = left + Pixel(a.x), y0 = top + Pixel(a.y);
        const int x1 = left + Pixel(b.x), y1 = top + Pixel(b.y);
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        if (dx > 8192 || -dy > 8192) return;  // far off the screen: not worth stepping
        const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        int error = dx + dy;
        for (;;) {
            plot(x0, y0);
            if (x0 == x1 && y0 == y1) break;
            const int e2 = 2 * error;
            if (e2 >= dy) error += dy, x0 += sx;
            if (e2 <= dx) error += dx, y0 += sy;
        }
    });
    device->unlockBackBuffer();
}

void LineLists(const GraphicBuffer* buffer, const RadarImage* image) {
    const float left = static_cast<float>(buffer->clipLeft), top = static_cast<float>(buffer->clipTop);
    ForEachEdge(image, [&](const RadarPoint& a, const RadarPoint& b) {
        const float points[4] = {left + a.x, top + a.y, left + b.x, top + b.y};
        Batch_AddLineStrip(points, 2, image->colour);
    });
}

uint32_t Grey(float level) {
    const float clamped = level < 0.0f ? 0.0f : level > 1.0f ? 1.0f : level;
    const uint32_t g = static_cast<uint32_t>(clamped * 255.0f);
    return 0xBF000000u | g * 0x010101u;
}

void ShadedQuads(const GraphicBuffer* buffer, const RadarImage* image) {
    if (!D3D_State().device) return;
    const float left = static_cast<float>(buffer->clipLeft), top = static_cast<float>(buffer->clipTop);
    float z = 0.0f, rhw = 0.0f;
    Batch_DepthWords(Batch_OverlayDepth(), &z, &rhw);
    for (int r = 0; r + 1 < image->rows; ++r) {
        for (int c = 0; c + 1 < image->columns; ++c) {
            Batch_SetTextureState(0, 0x47);
            Batch_SetPrimitive(GpuPrimitive::TriangleList);
            if (!Batch_Reserve(4, 6)) return;
            const RadarPoint* corners[4] = {&At(image, c, r), &At(image, c + 1, r), &At(image, c + 1, r + 1),
                                            &At(image, c, r + 1)};
            GpuVertex* v = Batch_NextVertex();
            for (int k = 0; k < 4; ++k)
                v[k] = GpuVertex{left + corners[k]->x, top + corners[k]->y, z, rhw, Grey(corners[k]->level), 0, 0, 0};
            Batch_AddFan(4);
        }
    }
}

}  // namespace

RadarKind D3DRender_RadarKindOf(int32_t radarType) {
    switch (radarType & 7) {
    case 1: return RadarKind::kLockedLines;
    case 2:
    case 7: return RadarKind::kLineLists;
    case 4: return RadarKind::kShadedQuads;
    default: return RadarKind::kNothing;
    }
}

void D3DRender_DrawRadar(GraphicBuffer* buffer, const RadarImage* image) {
    if (!buffer || !Usable(image)) return;
    switch (D3DRender_RadarKindOf(D3D_State().settings.radarType)) {
    case RadarKind::kLockedLines: LockedLines(buffer, image); return;
    case RadarKind::kLineLists: LineLists(buffer, image); return;
    case RadarKind::kShadedQuads: ShadedQuads(buffer, image); return;
    case RadarKind::kNothing: return;
    }
}

void Render_DrawRadar(GraphicBuffer* buffer, const RadarImage* image) {
    if (!buffer || buffer->valid != 1 || !Usable(image)) return;
    if (Graphic_IsHardwareTarget(buffer)) {
        D3DRender_DrawRadar(buffer, image);
        return;
    }
    ForEachEdge(image, [&](const RadarPoint& a, const RadarPoint& b) {
        Graphic_DrawLine(buffer, Pixel(a.x), Pixel(a.y), Pixel(b.x), Pixel(b.y), image->colour, 0);
    });
}
