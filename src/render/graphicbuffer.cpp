#include "render/graphicbuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "render/d3ddevice.h"
#include "render/graphicdriver.h"
#include "render/draw2d.h"
#include "render/palette.h"

uint16_t PaletteColors16[256] = {};

uint8_t* Graphic_HardwareScreenMarker() {
    return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(0xFFF00000u));
}

GraphicBuffer* Graphic_InitBuffer(GraphicBuffer* buffer, int32_t width, int32_t height, void* pixels,
                                  int32_t format) {
    *buffer = GraphicBuffer{};
    // Both sides must be positive: two negative sides would give a positive size.
    if (width <= 0 || height <= 0) return buffer;
    int64_t size = static_cast<int64_t>(width) * height * (format == kGraphicFormat16 ? 2 : 1);
    if (size > std::numeric_limits<int32_t>::max() - 32) return buffer;
    if (pixels) {
        buffer->memory = nullptr;
        buffer->pixels = static_cast<uint8_t*>(pixels);
        buffer->external = 1;
    } else {
        uint8_t* block = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size) + 32));
        if (!block) return buffer;
        buffer->memory = block;
        uintptr_t address = reinterpret_cast<uintptr_t>(block);
        buffer->pixels = block + ((32 - (address & 31)) & 31);
    }
    buffer->width = width;
    buffer->height = height;
    buffer->format = format;
    buffer->sizeWords = static_cast<int32_t>(size >> 2);
    // The tail counts pixels past the last 32-pixel block (for 8-bit buffers that is bytes).
    buffer->sizeTail = static_cast<int32_t>((static_cast<int64_t>(width) * height) % 32);
    buffer->clipLeft = 0;
    buffer->clipTop = 0;
    buffer->clipRight = width - 1;
    buffer->clipBottom = height - 1;
    buffer->valid = 1;
    return buffer;
}

void Graphic_FreeBuffer(GraphicBuffer* buffer) {
    if (!buffer || buffer->valid != 1) return;
    if (buffer->external != 1 && buffer->memory) std::free(buffer->memory);
    buffer->pixels = nullptr;
    buffer->memory = nullptr;
    buffer->external = 1;
}

namespace {

bool HasPixels(const GraphicBuffer* buffer) {
    return buffer->pixels && buffer->pixels != Graphic_HardwareScreenMarker();
}

}  // namespace

int32_t Graphic_Clear(GraphicBuffer* buffer, int colour) {
    if (!buffer || buffer->valid != 1) return 0;
    uint8_t byte = static_cast<uint8_t>(colour);
    int32_t fill = static_cast<int32_t>(byte * 0x01010101u);
    if (buffer == &g_graphicDriver.screen) {
        // The driver owns the screen: the hardware clear takes the colour as the device shows it
        // (the brightness curve applied).
        if (GraphicD3DFlags != 0) {
            if (g_graphicDriver.Clear) g_graphicDriver.Clear(&g_graphicDriver, PaletteColors32[byte]);
        } else if (g_graphicDriver.Clear) {
            g_graphicDriver.Clear(&g_graphicDriver, byte);
        }
        return fill;
    }
    if (!HasPixels(buffer)) return 0;
    size_t count = static_cast<size_t>(buffer->width) * static_cast<size_t>(buffer->height);
    if (buffer->format == kGraphicFormat16) {
        // All of a 16-bit buffer, each pixel the index's 16-bit colour.
        uint16_t value = PaletteColors16[byte];
        for (size_t i = 0; i < count; ++i) std::memcpy(buffer->pixels + i * 2, &value, 2);
    } else {
        std::memset(buffer->pixels, byte, count);
    }
    return fill;
}

void Graphic_FillClip(GraphicBuffer* buffer, int colour) {
    if (!buffer || buffer->valid != 1) return;
    if (Graphic_IsHardwareTarget(buffer)) {
        // The hardware screen fills its clip rectangle through the 2-D twin (clip-relative).
        Render_Hardware2DTwins().fillRect(0, 0, buffer->clipRight - buffer->clipLeft,
                                          buffer->clipBottom - buffer->clipTop, colour, 0);
        return;
    }
    if (!HasPixels(buffer)) return;
    uint8_t byte = static_cast<uint8_t>(colour);
    // Keep to the pixels that exist even when the clip rectangle was set by hand.
    int32_t left = std::max(buffer->clipLeft, 0);
    int32_t top = std::max(buffer->clipTop, 0);
    int32_t right = std::min(buffer->clipRight, buffer->width - 1);
    int32_t bottom = std::min(buffer->clipBottom, buffer->height - 1);
    if (left > right || top > bottom) return;
    size_t span = static_cast<size_t>(right - left + 1);
    for (int32_t y = top; y <= bottom; ++y) {
        size_t rowStart = static_cast<size_t>(y) * static_cast<size_t>(buffer->width) + static_cast<size_t>(left);
        if (buffer->format == kGraphicFormat16) {
            uint16_t value = PaletteColors16[byte];
            for (size_t x = 0; x < span; ++x) std::memcpy(buffer->pixels + (rowStart + x) * 2, &value, 2);
        } else {
            std::memset(buffer->pixels + rowStart, byte, span);
        }
    }
}

int Rect_Clip(ClipRect* rect, const ClipRect& bounds) {
    if (rect->right < bounds.left || rect->left > bounds.right || rect->bottom < bounds.top ||
        rect->top > bounds.bottom)
        return -1;
    int result = 0;
    if (rect->left < bounds.left) rect->left = bounds.left, result = 1;
    if (rect->top < bounds.top) rect->top = bounds.top, result = 1;
    if (rect->right > bounds.right) rect->right = bounds.right, result = 1;
    if (rect->bottom > bounds.bottom) rect->bottom = bounds.bottom, result = 1;
    return result;
}

int Graphic_SetClipRect(GraphicBuffer* buffer, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    ClipRect rect{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
    ClipRect bounds{0, 0, buffer->width - 1, buffer->height - 1};
    int result = Rect_Clip(&rect, bounds);
    if (result != -1) {
        buffer->clipLeft = rect.left;
        buffer->clipTop = rect.top;
        buffer->clipRight = rect.right;
        buffer->clipBottom = rect.bottom;
    }
    return result;
}

int32_t Graphic_IsValid(const GraphicBuffer* buffer) { return buffer ? buffer->valid : 0; }

GraphicBuffer* Graphic_CreateDIBBuffer(GraphicBuffer* out, int32_t width, int32_t height, DibSection** section) {
    *out = GraphicBuffer{};
    if (!section) return out;  // nobody would own the bits
    *section = nullptr;
    if (width <= 0 || height <= 0 || static_cast<int64_t>(width) * height > std::numeric_limits<int32_t>::max())
        return out;
    DibSection* dib = new (std::nothrow) DibSection;
    if (!dib) return out;
    dib->bits = new (std::nothrow) uint8_t[static_cast<size_t>(width) * static_cast<size_t>(height)]();
    if (!dib->bits) {
        delete dib;
        return out;
    }
    dib->width = width;
    dib->height = height;
    // The colour table carries blue, green, red as a DIB's table does; the palette keeps red first.
    for (int i = 0; i < 256; ++i) {
        dib->colours[i][0] = GamePalette[i * 3 + 2];
        dib->colours[i][1] = GamePalette[i * 3 + 1];
        dib->colours[i][2] = GamePalette[i * 3 + 0];
        dib->colours[i][3] = 0;
    }
    Graphic_InitBuffer(out, width, height, dib->bits, kGraphicFormat8);
    *section = dib;
    return out;
}

void Graphic_DeleteDIB(DibSection* section) {
    if (!section) return;
    delete[] section->bits;
    delete section;
}
