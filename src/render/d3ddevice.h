// The hardware display driver: the settings of "render.cfg" [D3D], the device and its formats
// and display modes, the fixed render states, presenting, display-mode switches and the reset
// loop that survives device loss, the scene, and the colour tables built from the palette.
// Everything runs on the main thread; the state is global (D3D_ResetState clears it).
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gpu.h"

struct GraphicDriver;

// RenderFlags bits (the word is declared with the display set-up).
constexpr uint32_t kRenderZBuffer = 0x1;
constexpr uint32_t kRenderAlpha = 0x2;
constexpr uint32_t kRenderTexture16 = 0x8;
constexpr uint32_t kRenderNoCaps = 0x10;
constexpr uint32_t kRenderHalfTexel = 0x20;
constexpr uint32_t kRenderTripleBuffer = 0x100;
constexpr uint32_t kRenderAgpRadar = 0x200;
constexpr uint32_t kRenderDarkColours = 0x400;     // palette and textures use the dark substitute table
constexpr uint32_t kRenderDarkBlocked = 0x800;     // the dark table is not used for textures
constexpr uint32_t kRenderDarkThisUpload = 0x1000;  // the current texture upload uses the dark table
constexpr uint32_t kRenderSplitZBuffer = 0x2000;
constexpr uint32_t kRenderMipMaps = 0x4000;
constexpr uint32_t kRenderPreload = 0x8000;
constexpr uint32_t kRenderDrawInTexture = 0x10000;
constexpr uint32_t kRenderLoadSprites = 0x20000;
constexpr uint32_t kRenderBuffer32 = 0x40000;
constexpr uint32_t kRenderVsync = 0x80000;
constexpr uint32_t kRenderHardwareClip = 0x100000;
constexpr uint32_t kRenderFlagsDefault = 0xC412B;

// GraphicD3DFlags values the fill adds.
constexpr uint32_t kD3DDeviceUp = 2;
constexpr uint32_t kD3DLargeAssets = 4;

constexpr uint32_t kExecBufDefault = 262144;
constexpr uint32_t kExecBufMin = 4096;         // room for a rewind and the largest primitive
constexpr uint32_t kExecBufMax = 2u << 20;     // 16-bit indices reach every vertex
constexpr int kMaxAdapterModes = 50;

// The settings read from "render.cfg" [D3D] besides the RenderFlags bits.
struct D3DSettings {
    uint32_t execBufSize = kExecBufDefault;
    int32_t radarType = 2;
    int32_t maxAnisotropy = 16;
    int32_t multisampleType = 0;
    int32_t multisampleQuality = 0;
    int32_t zBuffer = -1;  // read and kept; changes nothing
};

// What the driver keeps of the device (read by tests and the statistics).
struct D3DState {
    std::unique_ptr<GpuSystem> system;
    std::unique_ptr<GpuDevice> device;
    bool backBuffer = false;
    GpuCaps caps;
    GpuFormat backFormat = GpuFormat::Unknown;
    GpuFormat depthFormat = GpuFormat::Unknown;
    GpuDisplayMode desktop;
    std::vector<GpuDisplayMode> modes;  // at least 640 x 480, at most 50
    int32_t modeIndex = -1;             // the mode matching the wanted size; -1 none
    bool windowed = true;
    int32_t savedWindow[4] = {};  // left, top, width, height of the last window
    bool lost = false;
    char errorText[256] = {};
    GpuResult lastResult = GpuResult::Ok;
    uint32_t textureMemory = 0;
    D3DSettings settings;
    int32_t drawCallsLastFrame = 0;
};
D3DState& D3D_State();
// Releases the device and the system and clears every field (tests and shutdown).
void D3D_ResetState();

// The 32-bit colour (0xFFRRGGBB) of each palette index, the 5-6-5 colours without the substitute
// black, the dark-substitute table and the fog colour, as the last ApplyPalette built them.
extern uint32_t PaletteColors32[256];
extern uint16_t PaletteColorsPlain16[256];
extern uint16_t PaletteColorsDark16[256];
extern uint32_t D3DFogColour;

// Reads [D3D] of "render.cfg" into RenderFlags, GraphicD3DFlags and the settings.
void D3D_ReadSettings();

int D3D_CreateDevice(int create, int windowed, WindowHandle window);
int D3D_SwitchMode(int mode, GraphicDriver* record);
int D3D_SetMode(GraphicDriver* record, int mode);
int D3D_ResetLoop();
// 0 on success (the scene is open), nonzero when nothing may be drawn.
int D3D_BeginScene();
int D3D_EndScene();
void D3D_SetViewport(int x, int y, int width, int height);
void D3D_GetViewport(int* x, int* y, int* width, int* height);
// Releases the dynamic buffers, the back buffer and the device; withSystem also the system. The
// window is forgotten.
void D3D_ReleaseDevice(bool withSystem);
void D3D_ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void D3D_Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
int D3D_Present(GraphicDriver* record);
int D3D_Clear(uint32_t colour);
// The fixed render states (after creation, reset and mode switch).
void D3D_SetRenderStates();

// The frame-rate text's details: five settings letters (upper case when on), F or f for radar
// kind 1, the texture depth and the draw calls of the last frame.
void D3D_FrameInfo(char letters[6], int* depth, int* countPerFrame);
