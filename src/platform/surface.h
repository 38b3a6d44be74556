// The drawing surface of a window: the game draws a frame in memory (8-bit palette indices or
// 16-bit 5-6-5 colours) and presents it; the window shows it, scaled to fill the window when the
// window is larger. The sdl backend shows it for real; every backend keeps the last presented
// frame, so tests read exact bytes as RGB and tools can save it as a picture.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/window.h"

// A presented frame as the window shows it: red, green, blue per pixel, row by row.
struct PlatFrame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// Opens the window's surface (a second open keeps it open); false when the window does not exist
// or the backend cannot draw into it.
bool Plat_SurfaceOpen(WindowHandle window);
// Gives the surface back; the last frame is forgotten. Destroying the window closes it too.
void Plat_SurfaceClose(WindowHandle window);
bool Plat_SurfaceIsOpen(WindowHandle window);

// The 256 colours (red, green, blue) that 8-bit frames are shown with; false when not open.
bool Plat_SurfaceSetPalette(WindowHandle window, const uint8_t rgb[768]);
// The surface's colours as they are now (black after the first open).
bool Plat_SurfaceGetPalette(WindowHandle window, uint8_t rgb[768]);

// Shows width x height pixels; pitch is the row step in pixels (at least width). False when the
// surface is not open, the sizes are not positive or the backend fails.
bool Plat_SurfacePresent8(WindowHandle window, const uint8_t* pixels, int width, int height, int pitch);
bool Plat_SurfacePresent16(WindowHandle window, const uint16_t* pixels, int width, int height, int pitch);

// Shows a full-colour frame (0x00RRGGBB words) on any window: on its surface when one is open,
// else as a window-filling picture of whatever draws the window (the hardware device's OpenGL
// window included). The frame is kept as the last one either way, so tests and the headless
// shot see it; a window the frame opened no surface for still reports the surface closed.
bool Plat_SurfacePresent32(WindowHandle window, const uint32_t* pixels, int width, int height, int pitch);
// The same for a whole frame of width x height words the caller gives up: it is taken without a
// copy, and frame comes back holding the surface's previous buffer (for the next frame).
bool Plat_SurfacePresent32Swap(WindowHandle window, std::vector<uint32_t>& frame, int width, int height);

// The last frame presented on the window; false when none since the surface opened.
bool Plat_SurfaceLastFrame(WindowHandle window, PlatFrame* frame);
// How many frames were presented since the surface opened.
int Plat_SurfacePresentCount(WindowHandle window);
// Writes the last frame as a binary PPM picture; false when there is none or the write fails.
bool Plat_SurfaceSaveFrame(WindowHandle window, const char* path);

// The desktop's size in pixels. A fake size set for tests wins; 0 x 0 removes it.
void Plat_GetDesktopSize(int* width, int* height);
void Plat_SetFakeDesktopSize(int width, int height);

// The colours a window's display can show at once: -1 for more than 256 (every display this
// platform runs on); a palette display would give its count.
int Plat_DisplayColourCount(WindowHandle window);
