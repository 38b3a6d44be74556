// The hardware drawing device: the calls the hardware display driver makes, under our own names.
//
// A GpuSystem stands for the adapter (its modes, the formats it accepts, its capabilities) and
// creates GpuDevices on a window. A device draws pretransformed 32-byte vertices from one vertex
// buffer with 16-bit indices into a back buffer the size of the display mode, and presents it.
// Textures, buffers and queries are numbered handles (0 names none) that the device owns until
// they are released.
//
// Two implementations: the GL device of the sdl backend (OpenGL 3.3 core) and the recording
// device, which logs every call with its arguments and answers from a script (the headless
// backend's device, and what the tests script).
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/window.h"

enum class GpuResult : int32_t {
    Ok = 0,
    DeviceLost,       // the device cannot draw now; wait until it can be reset
    DeviceNotReset,   // the device may be reset now
    NotAvailable,     // the format, mode or feature is not offered
    OutOfVideoMemory,
    InvalidCall,
    StillDrawing,     // a query's answer is not ready yet
    DriverFailure,
};
// A short text name of our own for each result ("device lost").
const char* Gpu_ResultName(GpuResult result);

enum class GpuFormat : int32_t {
    Unknown = 0,
    Xrgb8888,
    Rgb888,
    Rgb565,
    Xrgb1555,
    Xrgb4444,
    Argb4444,
    Depth32,
    Depth24Stencil8,
    Depth24Stencil4,
    Depth24,
    Depth16,
    Depth15Stencil1,
};
const char* Gpu_FormatName(GpuFormat format);

struct GpuDisplayMode {
    int32_t width = 0;
    int32_t height = 0;
    int32_t refresh = 0;  // Hz
    GpuFormat format = GpuFormat::Unknown;
};

struct GpuCaps {
    bool hardwareTransform = false;  // hardware vertex processing offered
    int32_t maxAnisotropy = 1;
    int32_t maxTextureSize = 256;
};

enum class GpuVertexProcessing : int32_t { Hardware, Software };

struct GpuPresentParams {
    int32_t width = 0;
    int32_t height = 0;
    GpuFormat backFormat = GpuFormat::Unknown;
    int32_t backBufferCount = 1;
    int32_t multisampleType = 0;  // samples; 0 none
    uint32_t multisampleQuality = 0;
    bool windowed = true;
    bool lockableBackBuffer = false;
    bool autoDepth = false;  // a depth buffer of depthFormat comes with the back buffer
    GpuFormat depthFormat = GpuFormat::Unknown;
    bool discardDepth = false;
    int32_t refresh = 0;     // full screen only
    bool immediate = false;  // present without waiting for the vertical retrace
    WindowHandle window = 0;
};

// The pretransformed vertex: pixel (i, j) is centred at x = i, y = j; z is the depth-buffer value
// (0..1); rhw is 1 / w. Colours are 0xAARRGGBB; the specular colour's alpha carries the fog factor
// (255 = no fog).
struct GpuVertex {
    float x, y, z, rhw;
    uint32_t diffuse;
    uint32_t specular;
    float u, v;
};
static_assert(sizeof(GpuVertex) == 32);

enum class GpuRenderState : int32_t {
    GouraudShading,        // 1 Gouraud, 0 flat
    DepthTest,             // 0 / 1
    DepthWrite,            // 0 / 1
    DepthCompare,          // GpuCompare
    SolidFill,             // 1 solid
    Dither,                // 0 / 1
    Specular,              // 0 / 1
    Fog,                   // 0 / 1
    FogColour,             // 0xAARRGGBB
    Cull,                  // 0 none
    Blend,                 // 0 / 1
    BlendSource,           // GpuBlend
    BlendDest,             // GpuBlend
    MultisampleAntialias,  // 0 / 1
    Count
};
enum class GpuCompare : uint32_t { Less = 1, LessEqual = 2, AlwaysPass = 3 };
enum class GpuBlend : uint32_t { Zero = 0, One = 1, SourceAlpha = 2, InverseSourceAlpha = 3 };

enum class GpuSamplerState : int32_t { MagFilter, MinFilter, MipFilter, AddressU, AddressV, MaxAnisotropy, Count };
enum class GpuFilter : uint32_t { Off = 0, Point = 1, Linear = 2, Anisotropic = 3 };
enum class GpuAddress : uint32_t { Wrap = 1, Clamp = 2 };

enum class GpuStageState : int32_t { ColourOp, AlphaOp, Count };
// Stage operations: texture x diffuse, or one of them alone.
enum class GpuStageOp : uint32_t { Modulate = 1, Texture = 2, Diffuse = 3 };

enum class GpuPrimitive : int32_t { LineList = 2, TriangleList = 4 };

// Clear targets.
constexpr uint32_t kGpuClearTarget = 1;
constexpr uint32_t kGpuClearDepth = 2;
constexpr uint32_t kGpuClearStencil = 4;

enum class GpuLockMode : int32_t { Normal, Discard, NoOverwrite };

struct GpuLockedRect {
    uint8_t* bits = nullptr;
    int32_t pitch = 0;  // bytes per row, at least the row
};

struct GpuSurfaceDesc {
    int32_t width = 0;
    int32_t height = 0;
    GpuFormat format = GpuFormat::Unknown;
};

struct GpuViewport {
    int32_t x = 0, y = 0, width = 0, height = 0;
    float minZ = 0.0f, maxZ = 1.0f;
};

using GpuTexture = uint32_t;
using GpuBuffer = uint32_t;
using GpuQuery = uint32_t;

class GpuDevice {
public:
    virtual ~GpuDevice() = default;

    // Ok, DeviceLost (wait) or DeviceNotReset (reset now).
    virtual GpuResult testCooperativeLevel() = 0;
    // Rebuilds the back buffer for the parameters; every texture, buffer and query must be
    // released first.
    virtual GpuResult reset(GpuPresentParams& params) = 0;
    virtual GpuResult present() = 0;
    virtual GpuResult beginScene() = 0;
    virtual GpuResult endScene() = 0;
    // The viewport clips drawing and clears; it never moves pretransformed vertices.
    virtual GpuResult setViewport(const GpuViewport& viewport) = 0;
    virtual GpuResult clear(uint32_t targets, uint32_t colour, float depth, uint32_t stencil) = 0;

    // The back buffer. A lock gives its rows top down in its format (Xrgb8888 as 0x00RRGGBB
    // words, Rgb565 as 16-bit words); the unlock writes them back.
    virtual GpuResult getBackBuffer() = 0;
    virtual void releaseBackBuffer() = 0;
    virtual GpuResult backBufferDesc(GpuSurfaceDesc* desc) = 0;
    virtual GpuResult lockBackBuffer(GpuLockedRect* locked) = 0;
    virtual GpuResult unlockBackBuffer() = 0;

    virtual void setRenderState(GpuRenderState state, uint32_t value) = 0;
    virtual void setSamplerState(int sampler, GpuSamplerState state, uint32_t value) = 0;
    virtual void setStageState(int stage, GpuStageState state, uint32_t value) = 0;
    virtual void setTexture(int stage, GpuTexture texture) = 0;

    // Square or not, 1 or more levels of Rgb565 or Argb4444 (0xARGB). OutOfVideoMemory when the
    // device has no room.
    virtual GpuResult createTexture(int32_t width, int32_t height, int32_t levels, GpuFormat format,
                                    GpuTexture* out) = 0;
    virtual void releaseTexture(GpuTexture texture) = 0;
    virtual GpuResult lockTexture(GpuTexture texture, int32_t level, GpuLockMode mode, GpuLockedRect* locked) = 0;
    virtual GpuResult unlockTexture(GpuTexture texture, int32_t level) = 0;

    // Dynamic, write-only buffers of GpuVertex and of 16-bit indices.
    virtual GpuResult createVertexBuffer(uint32_t bytes, GpuBuffer* out) = 0;
    virtual GpuResult createIndexBuffer(uint32_t bytes, GpuBuffer* out) = 0;
    virtual void releaseBuffer(GpuBuffer buffer) = 0;
    virtual GpuResult lockBuffer(GpuBuffer buffer, uint32_t offset, uint32_t bytes, GpuLockMode mode,
                                 void** data) = 0;
    virtual GpuResult unlockBuffer(GpuBuffer buffer) = 0;
    virtual GpuResult setStreamSource(GpuBuffer vertices, uint32_t stride) = 0;
    virtual GpuResult setIndices(GpuBuffer indices) = 0;
    // Index i draws vertex baseVertex + index.
    virtual GpuResult drawIndexed(GpuPrimitive type, int32_t baseVertex, uint32_t minIndex, uint32_t vertexCount,
                                  uint32_t startIndex, uint32_t primitiveCount) = 0;

    // Occlusion queries: pixels that passed the depth test between begin and end.
    virtual GpuResult createQuery(GpuQuery* out) = 0;
    virtual void releaseQuery(GpuQuery query) = 0;
    virtual GpuResult beginQuery(GpuQuery query) = 0;
    virtual GpuResult endQuery(GpuQuery query) = 0;
    // Ok with the count, or StillDrawing.
    virtual GpuResult queryResult(GpuQuery query, uint32_t* pixels) = 0;

    virtual uint32_t availableTextureMemory() = 0;
};

class GpuSystem {
public:
    virtual ~GpuSystem() = default;
    virtual std::string adapterName() = 0;
    virtual GpuResult desktopMode(GpuDisplayMode* mode) = 0;
    virtual int32_t modeCount(GpuFormat format) = 0;
    virtual GpuResult mode(GpuFormat format, int32_t index, GpuDisplayMode* mode) = 0;
    // Whether a back buffer of the format can be made (in a window or full screen).
    virtual GpuResult checkDeviceType(GpuFormat backFormat, bool windowed) = 0;
    // Whether the depth format exists, and whether it goes with the back-buffer format.
    virtual GpuResult checkDepthFormat(GpuFormat backFormat, GpuFormat depthFormat) = 0;
    virtual GpuResult checkDepthMatch(GpuFormat backFormat, GpuFormat depthFormat) = 0;
    // Ok with the number of quality levels, or NotAvailable.
    virtual GpuResult checkMultisample(GpuFormat backFormat, bool windowed, int32_t type, uint32_t* qualityLevels) = 0;
    virtual GpuResult caps(GpuCaps* caps) = 0;
    virtual GpuResult createDevice(WindowHandle window, GpuVertexProcessing processing, GpuPresentParams& params,
                                   std::unique_ptr<GpuDevice>* out) = 0;
};

// The system of the running backend: the GL system on the sdl backend, the recording system with
// its script when headless. Null with the reason in *result when none can be had.
std::unique_ptr<GpuSystem> Gpu_CreateSystem(GpuResult* result);
// Tests and tools replace how systems are made; null restores the backend's own.
using GpuSystemFactory = std::unique_ptr<GpuSystem> (*)(GpuResult* result);
void Gpu_SetSystemFactory(GpuSystemFactory factory);
