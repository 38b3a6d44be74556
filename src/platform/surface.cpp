#include "platform/surface.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "platform/backend.h"

namespace {

struct Surface {
    uint8_t palette[768] = {};
    // The last presented frame: 0x00RRGGBB words, or, for an 8-bit frame the backend does not
    // show, its palette indices and the colours they had when it was presented.
    std::vector<uint32_t> frame;
    std::vector<uint8_t> indices;
    uint8_t indexColours[768] = {};
    bool indexed = false;
    int width = 0;
    int height = 0;
    int presents = 0;
    bool frameOnly = false;  // made by a full-colour present, not opened
};

std::map<WindowHandle, Surface>& Surfaces() {
    static std::map<WindowHandle, Surface> surfaces;
    return surfaces;
}

Surface* Find(WindowHandle window) {
    auto found = Surfaces().find(window);
    return found == Surfaces().end() ? nullptr : &found->second;
}

int g_fakeDesktopWidth = 0;
int g_fakeDesktopHeight = 0;

// Rows and sizes a caller hands in are checked before any pixel is read.
bool SizesFit(const void* pixels, int width, int height, int pitch) {
    return pixels && width > 0 && height > 0 && pitch >= width;
}

bool Show(WindowHandle window, Surface& surface) {
    ++surface.presents;
    surface.indexed = false;
    surface.indices.clear();
    return Plat_Backend()->surfacePresent(window, surface.frame.data(), surface.width, surface.height);
}

}  // namespace

bool Plat_SurfaceOpen(WindowHandle window) {
    if (!Plat_IsWindow(window)) return false;
    Surface* found = Find(window);
    if (found && !found->frameOnly) return true;
    if (!Plat_Backend()->surfaceOpen(window)) return false;
    Surfaces()[window] = Surface{};
    return true;
}

void Plat_SurfaceClose(WindowHandle window) {
    Surface* surface = Find(window);
    if (!surface) return;
    if (!surface->frameOnly) Plat_Backend()->surfaceClose(window);
    Surfaces().erase(window);
}

void Plat_SurfaceForget(WindowHandle window) { Plat_SurfaceClose(window); }

bool Plat_SurfaceIsOpen(WindowHandle window) {
    Surface* surface = Find(window);
    return surface && !surface->frameOnly;
}

bool Plat_SurfaceSetPalette(WindowHandle window, const uint8_t rgb[768]) {
    Surface* surface = Find(window);
    if (!surface || surface->frameOnly || !rgb) return false;
    std::memcpy(surface->palette, rgb, sizeof surface->palette);
    return true;
}

bool Plat_SurfaceGetPalette(WindowHandle window, uint8_t rgb[768]) {
    Surface* surface = Find(window);
    if (!surface || surface->frameOnly || !rgb) return false;
    std::memcpy(rgb, surface->palette, sizeof surface->palette);
    return true;
}

bool Plat_SurfacePresent8(WindowHandle window, const uint8_t* pixels, int width, int height, int pitch) {
    Surface* surface = Find(window);
    if (!surface || surface->frameOnly || !SizesFit(pixels, width, height, pitch)) return false;
    surface->width = width;
    surface->height = height;
    if (!Plat_Backend()->surfaceShowsPixels()) {
        // Nothing shows the frame: keep it as it came; widening every frame would cost more than
        // drawing an empty one.
        surface->frame.clear();
        surface->indices.resize(size_t(width) * size_t(height));
        for (int y = 0; y < height; ++y)
            std::memcpy(surface->indices.data() + size_t(y) * size_t(width), pixels + size_t(y) * size_t(pitch), size_t(width));
        std::memcpy(surface->indexColours, surface->palette, sizeof surface->indexColours);
        surface->indexed = true;
        ++surface->presents;
        return true;
    }
    uint32_t colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = (uint32_t(surface->palette[i * 3]) << 16) | (uint32_t(surface->palette[i * 3 + 1]) << 8) |
                     surface->palette[i * 3 + 2];
    surface->frame.resize(size_t(width) * size_t(height));
    uint32_t* out = surface->frame.data();
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + size_t(y) * size_t(pitch);
        for (int x = 0; x < width; ++x) *out++ = colours[row[x]];
    }
    return Show(window, *surface);
}

bool Plat_SurfacePresent16(WindowHandle window, const uint16_t* pixels, int width, int height, int pitch) {
    Surface* surface = Find(window);
    if (!surface || surface->frameOnly || !SizesFit(pixels, width, height, pitch)) return false;
    surface->width = width;
    surface->height = height;
    surface->frame.resize(size_t(width) * size_t(height));
    uint32_t* out = surface->frame.data();
    for (int y = 0; y < height; ++y) {
        const uint16_t* row = pixels + size_t(y) * size_t(pitch);
        for (int x = 0; x < width; ++x) {
            // 5-6-5 widened by repeating the top bits, so full intensity stays 255.
            uint32_t r = (row[x] >> 11) & 0x1F, g = (row[x] >> 5) & 0x3F, b = row[x] & 0x1F;
            r = (r << 3) | (r >> 2);
            g = (g << 2) | (g >> 4);
            b = (b << 3) | (b >> 2);
            *out++ = (r << 16) | (g << 8) | b;
        }
    }
    return Show(window, *surface);
}

namespace {

// Keeps the frame now in surface->frame and hands it to the backend.
bool ShowFullColour(WindowHandle window, Surface& surface, int width, int height) {
    surface.width = width;
    surface.height = height;
    // The backend picks the way: the software surface, or the picture of an OpenGL window.
    ++surface.presents;
    surface.indexed = false;
    surface.indices.clear();
    return Plat_Backend()->presentFullColour(window, surface.frame.data(), width, height);
}

Surface* FullColourSurface(WindowHandle window) {
    Surface* surface = Find(window);
    if (!surface) {
        surface = &Surfaces()[window];
        surface->frameOnly = true;
    }
    return surface;
}

}  // namespace

bool Plat_SurfacePresent32(WindowHandle window, const uint32_t* pixels, int width, int height, int pitch) {
    if (!Plat_IsWindow(window) || !SizesFit(pixels, width, height, pitch)) return false;
    Surface* surface = FullColourSurface(window);
    surface->frame.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        std::memcpy(surface->frame.data() + size_t(y) * size_t(width), pixels + size_t(y) * size_t(pitch),
                    size_t(width) * 4);
    return ShowFullColour(window, *surface, width, height);
}

bool Plat_SurfacePresent32Swap(WindowHandle window, std::vector<uint32_t>& frame, int width, int height) {
    if (!Plat_IsWindow(window) || width <= 0 || height <= 0 || frame.size() != size_t(width) * size_t(height))
        return false;
    Surface* surface = FullColourSurface(window);
    surface->frame.swap(frame);
    return ShowFullColour(window, *surface, width, height);
}

bool Plat_SurfaceLastFrame(WindowHandle window, PlatFrame* frame) {
    Surface* surface = Find(window);
    if (!surface || !frame) return false;
    if (surface->indexed) {
        frame->width = surface->width;
        frame->height = surface->height;
        frame->rgb.resize(surface->indices.size() * 3);
        uint8_t* out = frame->rgb.data();
        for (uint8_t index : surface->indices) {
            const uint8_t* colour = surface->indexColours + index * 3;
            *out++ = colour[0];
            *out++ = colour[1];
            *out++ = colour[2];
        }
        return true;
    }
    if (surface->frame.empty()) return false;
    frame->width = surface->width;
    frame->height = surface->height;
    frame->rgb.resize(surface->frame.size() * 3);
    uint8_t* out = frame->rgb.data();
    for (uint32_t pixel : surface->frame) {
        *out++ = uint8_t(pixel >> 16);
        *out++ = uint8_t(pixel >> 8);
        *out++ = uint8_t(pixel);
    }
    return true;
}

int Plat_SurfacePresentCount(WindowHandle window) {
    Surface* surface = Find(window);
    return surface ? surface->presents : 0;
}

bool Plat_SurfaceSaveFrame(WindowHandle window, const char* path) {
    PlatFrame frame;
    if (!path || !Plat_SurfaceLastFrame(window, &frame)) return false;
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    bool ok = std::fprintf(file, "P6\n%d %d\n255\n", frame.width, frame.height) > 0 &&
              std::fwrite(frame.rgb.data(), 1, frame.rgb.size(), file) == frame.rgb.size();
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

void Plat_GetDesktopSize(int* width, int* height) {
    int w = 0, h = 0;
    if (g_fakeDesktopWidth > 0 && g_fakeDesktopHeight > 0) {
        w = g_fakeDesktopWidth;
        h = g_fakeDesktopHeight;
    } else if (!Plat_Backend()->desktopSize(&w, &h) || w <= 0 || h <= 0) {
        w = 1024;  // a backend without a desktop reports a common one
        h = 768;
    }
    if (width) *width = w;
    if (height) *height = h;
}

void Plat_SetFakeDesktopSize(int width, int height) {
    g_fakeDesktopWidth = width > 0 && height > 0 ? width : 0;
    g_fakeDesktopHeight = width > 0 && height > 0 ? height : 0;
}

int Plat_DisplayColourCount(WindowHandle) { return -1; }
