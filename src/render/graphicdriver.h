// The graphics-driver record: the screen buffer, display and window state, the palette and the
// display operations of the chosen driver (hardware or software). Display work goes through it;
// drawing does not: each drawing entry tests GraphicD3DFlags and takes its hardware twin.
#pragma once
#include <cstdint>

#include "platform/window.h"
#include "render/graphicbuffer.h"

struct GraphicDriver;
using DrawContext = void*;

constexpr int32_t kDriverHardware = 1;
constexpr int32_t kDriverSoftware = 2;
constexpr int32_t kWindowStyleFramed = 0xCE0000;             // caption, system menu, sizing frame, minimise box
constexpr int32_t kWindowStylePopup = static_cast<int32_t>(0x80000000u);

// The driver's errorCode values.
constexpr int32_t kGraphicErrorScreenBuffer = 3;
constexpr int32_t kGraphicErrorPresent = 4;
constexpr int32_t kGraphicErrorWindow = 5;

struct GraphicDriver {
    GraphicBuffer screen;  // first: a pointer to the record serves as a pointer to the screen
    void* dibInfo = nullptr;
    int32_t displayWidth = 0;
    int32_t displayHeight = 0;
    int32_t desktopWidth = 0;
    int32_t desktopHeight = 0;
    char className[64] = {};
    WindowHandle window = 0;
    void* instance = nullptr;
    int32_t windowRect[4] = {};  // left, top, width, height
    int32_t quitRequested = 0;
    int32_t displayOpen = 0;
    int32_t errorCode = 0;
    uint8_t palette[768] = {};

    // From here on the fields come from the driver's template.
    int32_t driverKind = 0;  // kDriverHardware or kDriverSoftware; 0 before the fill
    int32_t windowed = 0;
    int32_t windowStyle = 0;
    int (*Open)(GraphicDriver*) = nullptr;
    int (*Close)(GraphicDriver*) = nullptr;
    int (*Lock)(GraphicDriver*) = nullptr;
    int (*Unlock)(GraphicDriver*) = nullptr;
    // first index, count, 768-byte source palette, 65,536-byte luminance table or null
    int (*SetPalette)(GraphicDriver*, int first, int count, const uint8_t* source, const uint8_t* luma) = nullptr;
    int (*ApplyPalette)(GraphicDriver*, const uint8_t* palette) = nullptr;
    int (*SetMode)(GraphicDriver*, int mode) = nullptr;
    DrawContext (*GetDrawDC)(GraphicDriver*) = nullptr;
    void (*ReleaseDrawDC)(GraphicDriver*) = nullptr;
    void (*Restore)(GraphicDriver*) = nullptr;
    int32_t defaultMode = 0;
    int (*Present)(GraphicDriver*) = nullptr;
    // Software: a colour index. Hardware: a 32-bit colour (alpha, red, green, blue).
    int (*Clear)(GraphicDriver*, uint32_t colour) = nullptr;
    int (*IsSoftware)(GraphicDriver*) = nullptr;  // 0 hardware, 1 software; nothing calls it
};

extern GraphicDriver g_graphicDriver;
// Nonzero: every drawing entry takes its hardware twin. 2 = device up, 4 = large assets.
extern uint32_t GraphicD3DFlags;

// The part of the record a driver's fill copies over driverKind and everything after it.
struct GraphicDriverTemplate {
    int32_t driverKind;
    int32_t windowed;
    int32_t windowStyle;
    int (*Open)(GraphicDriver*);
    int (*Close)(GraphicDriver*);
    int (*Lock)(GraphicDriver*);
    int (*Unlock)(GraphicDriver*);
    int (*SetPalette)(GraphicDriver*, int, int, const uint8_t*, const uint8_t*);
    int (*ApplyPalette)(GraphicDriver*, const uint8_t*);
    int (*SetMode)(GraphicDriver*, int);
    DrawContext (*GetDrawDC)(GraphicDriver*);
    void (*ReleaseDrawDC)(GraphicDriver*);
    void (*Restore)(GraphicDriver*);
    int32_t defaultMode;
    int (*Present)(GraphicDriver*);
    int (*Clear)(GraphicDriver*, uint32_t);
    int (*IsSoftware)(GraphicDriver*);
};
extern const GraphicDriverTemplate kHardwareDriverTemplate;
extern const GraphicDriverTemplate kSoftwareDriverTemplate;
void Graphic_ApplyTemplate(GraphicDriver* record, const GraphicDriverTemplate& source);
// Zeroes the whole record (the driver choice starts from a clear record).
void Graphic_ClearRecord(GraphicDriver* record);

// ---- Display modes -------------------------------------------------------------------------

struct DisplayModeEntry {
    int32_t available;
    int32_t word1;
    int32_t word2;
    int32_t bitsPerPixel;
    int32_t width;
    int32_t height;
    int32_t bufferWidth;
    int32_t bufferHeight;
};
static_assert(sizeof(DisplayModeEntry) == 32);
constexpr int kDisplayModeCount = 64;
constexpr int kFirstHardwareMode = 8;
extern DisplayModeEntry DisplayMode[kDisplayModeCount];
// Puts the fixed entries 0..7 back and clears every available flag.
void DisplayMode_Reset();
// The mode number in use (-1 right after the software display opens).
extern int32_t CurrentDisplayMode;

// ---- The hardware screen -------------------------------------------------------------------

// What the hardware driver's lock needs to know of the device; the device module fills it.
struct HardwareScreenState {
    bool hasBackBuffer = false;
    int32_t backWidth = 0;
    int32_t backHeight = 0;
    bool locked = false;
    int drawContextCount = 0;
    bool deviceLost = false;
};
HardwareScreenState& Graphic_HardwareScreen();

// ---- Operations of the two drivers ---------------------------------------------------------

int D3DDisplay_Open(GraphicDriver* record);
int D3DDisplay_Close(GraphicDriver* record);
int D3DDisplay_Lock(GraphicDriver* record);
int D3DDisplay_Unlock(GraphicDriver* record);
int D3DDisplay_SetPalette(GraphicDriver* record, int first, int count, const uint8_t* source, const uint8_t* luma);
int D3DDisplay_ApplyPalette(GraphicDriver* record, const uint8_t* palette);
int D3DDisplay_SetMode(GraphicDriver* record, int mode);
DrawContext D3DDisplay_GetDrawDC(GraphicDriver* record);
void D3DDisplay_ReleaseDrawDC(GraphicDriver* record);
void D3DDisplay_Restore(GraphicDriver* record);
int D3DDisplay_Present(GraphicDriver* record);
int D3DDisplay_Clear(GraphicDriver* record, uint32_t colour);

int SoftDisplay_Open(GraphicDriver* record);
int SoftDisplay_Close(GraphicDriver* record);
int SoftDisplay_SetPalette(GraphicDriver* record, int first, int count, const uint8_t* source, const uint8_t* luma);
int SoftDisplay_ApplyPalette(GraphicDriver* record, const uint8_t* palette);
int SoftDisplay_SetMode(GraphicDriver* record, int mode);
DrawContext SoftDisplay_GetDrawDC(GraphicDriver* record);
int SoftDisplay_Present(GraphicDriver* record);
int SoftDisplay_Clear(GraphicDriver* record, uint32_t colour);

// Copies entries first..first+count-1 of a 768-byte palette into the record's (clamped to 256).
void Graphic_CopyPaletteEntries(GraphicDriver* record, int first, int count, const uint8_t* source);
// An 8-bit buffer of width x height on own memory, copied into the record's screen.
GraphicBuffer* Graphic_CreateScreenBuffer(GraphicDriver* record, int32_t width, int32_t height);

// ---- Whole-display helpers -----------------------------------------------------------------

// Fills the 8-bit screen's last column and row, which the rasteriser leaves unfilled, from their
// neighbours, as the window shows them.
void Graphic_MendEdges(GraphicBuffer& screen);
// Shows a 2-D off-screen buffer: lock, copy (same size) or stretch (other size) onto the screen,
// unlock, present. On the hardware screen the buffer is drawn as one stretched textured quad
// (D3DRender_ShowBuffer). 0 when the lock fails or nothing could be shown.
int Graphic_FlipBuffer(GraphicBuffer* buffer);
// Closes the display when the record and its Close are set.
void Graphic_CallHook(GraphicDriver* record);

// The texture-reload flag: texture pixels changed on the hardware path; the end of the scene
// then releases every hardware texture, and nothing is presented while it is set.
void Graphic_SetTextureReload(bool on);
bool Graphic_TextureReloadPending();

// ---- The hooks the core calls (through its render seam) ------------------------------------

// Sets the display mode; false on failure. The shut-down mark is cleared on success.
bool Graphic_Initialise(int mode);
// Closes the display and marks the driver as shut down.
void Graphic_Release();
// The display steps aside for a box (blank screen) and comes back after it.
void Graphic_Pause();
void Graphic_Resume();
// The record's Present; 1 when shown.
int Graphic_Present();
// The frame's first step: shows the previous frame unless the texture-reload flag is set.
int Graphic_PresentFrame();
void Graphic_SetMode(int mode);
// The record's Lock and Unlock: the software frame, and the hardware back buffer for 2-D work
// between scenes. False from the lock: draw nothing.
bool Graphic_LockFrame();
void Graphic_UnlockFrame();
// The hardware frame's scene. Beginning clears the texture-reload flag; false when nothing may be
// drawn (the device is lost or the scene did not begin).
bool Graphic_BeginScene();
void Graphic_EndScene();
// The frame clears its background (colour 0) instead of drawing the sky.
void Graphic_ClearBackground();
// The window was resized or restored: the hardware device is restored when it needs it.
void Graphic_Resize();
bool Graphic_WasShutDown();
// Points the core's render seam at the hooks above and at the palette and buffer services.
void Render_InstallSeam();
