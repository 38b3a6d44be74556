// The one descriptor of a 2-D pixel image: the screen, off-screen back buffers, DIB sections,
// sprite pages, pictures. Every 2-D operation takes one and honours its inclusive clip rectangle.
#pragma once
#include <cstdint>

constexpr int32_t kGraphicFormat8 = 0;   // one byte a pixel, a palette index
constexpr int32_t kGraphicFormat16 = 1;  // two bytes a pixel, 5-6-5 colour

struct GraphicBuffer {
    int32_t width = 0;      // pixels per row, also the row step (doubled for line doubling)
    int32_t height = 0;
    int32_t format = 0;     // kGraphicFormat8 or kGraphicFormat16
    int32_t sizeWords = 0;  // byte size / 4
    int32_t sizeTail = 0;   // pixel count mod 32
    uint8_t* pixels = nullptr;
    uint8_t* memory = nullptr;  // own block (what is freed); null on caller memory
    int32_t clipLeft = 0;
    int32_t clipTop = 0;
    int32_t clipRight = 0;
    int32_t clipBottom = 0;
    int32_t valid = 0;     // 1 once created with pixels
    int32_t external = 0;  // 1 when the pixels belong to someone else
};

// An inclusive rectangle.
struct ClipRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// The pixel pointer of the hardware screen: it has no addressable pixels, and nothing may write
// through it; drawing takes the hardware path instead.
uint8_t* Graphic_HardwareScreenMarker();

// The 16-bit colour of each palette index, for 16-bit buffers.
extern uint16_t PaletteColors16[256];

// Fills the descriptor; pixels null means own memory (32-byte aligned). A size of zero or less,
// or a failed allocation, leaves a zeroed descriptor that is not valid. Returns the buffer.
GraphicBuffer* Graphic_InitBuffer(GraphicBuffer* buffer, int32_t width, int32_t height, void* pixels,
                                  int32_t format);
// Releases own memory; caller memory is never freed. A second free is harmless.
void Graphic_FreeBuffer(GraphicBuffer* buffer);
// Fills the whole buffer with the colour index; 0 when the buffer is not valid, else the fill
// value (the colour byte repeated in a 32-bit word). The screen is cleared by the driver.
int32_t Graphic_Clear(GraphicBuffer* buffer, int colour);
// Fills only the clip rectangle.
void Graphic_FillClip(GraphicBuffer* buffer, int colour);
// Clip rectangle from two corners in any order, clipped to the buffer; returns the Rect_Clip
// result and leaves the clip rectangle as it was on -1.
int Graphic_SetClipRect(GraphicBuffer* buffer, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Clips rect in place to bounds: -1 when they share no pixel (rect unchanged), 0 when it lies
// wholly inside, 1 when it was cut.
int Rect_Clip(ClipRect* rect, const ClipRect& bounds);
int32_t Graphic_IsValid(const GraphicBuffer* buffer);

// An 8-bit top-down image with its own 256-entry colour table (blue, green, red, 0 per entry,
// taken from GamePalette), what the menus draw into before it is shown.
struct DibSection {
    int32_t width = 0;
    int32_t height = 0;
    uint8_t colours[256][4] = {};
    uint8_t* bits = nullptr;
};
// Creates a DIB section of width x height and describes its bits in out (external memory).
// Failure (bad size, no memory) gives a zeroed, not valid descriptor and a null section.
GraphicBuffer* Graphic_CreateDIBBuffer(GraphicBuffer* out, int32_t width, int32_t height, DibSection** section);
void Graphic_DeleteDIB(DibSection* section);
