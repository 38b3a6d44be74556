#include "render/d3ddevice.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/app.h"
#include "core/cmdline.h"
#include "core/debug.h"
#include "core/seams/render.h"
#include "platform/clock.h"
#include "platform/ini.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/surface.h"
#include "platform/window.h"
#include "render/d3dbatch.h"
#include "render/d3dtextures.h"
#include "render/sprite.h"
#include "render/display.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/renderqueue.h"

uint32_t PaletteColors32[256];
uint16_t PaletteColorsPlain16[256];
uint16_t PaletteColorsDark16[256];
uint32_t D3DFogColour = 0;

namespace {

D3DState g_state;
uint8_t g_systemPalette[768];
uint8_t g_palette24[768];
GpuViewport g_viewport;

// The settings that are RenderFlags bits, in the order they are read.
struct FlagKey {
    const char* key;
    uint32_t bit;
};
constexpr FlagKey kFlagKeys[] = {
    {"Alpha", kRenderAlpha},           {"Texture16", kRenderTexture16},     {"NoCaps", kRenderNoCaps},
    {"HalfTexel", kRenderHalfTexel},   {"TripleBuffer", kRenderTripleBuffer}, {"AGPRadar", kRenderAgpRadar},
    {"SplitZBuffer", kRenderSplitZBuffer}, {"MipMaps", kRenderMipMaps},   {"PreLoad", kRenderPreload},
    {"DrawInTexture", kRenderDrawInTexture}, {"LoadSprites", kRenderLoadSprites}, {"Buffer32", kRenderBuffer32},
    {"Vsync", kRenderVsync},           {"HardwareClip", kRenderHardwareClip},
};

constexpr GpuFormat kBackFormats[] = {GpuFormat::Xrgb8888, GpuFormat::Rgb888, GpuFormat::Rgb565,
                                      GpuFormat::Xrgb1555, GpuFormat::Xrgb4444};
constexpr GpuFormat kDepthFormats[] = {GpuFormat::Depth32, GpuFormat::Depth24Stencil8, GpuFormat::Depth24Stencil4,
                                       GpuFormat::Depth24, GpuFormat::Depth16, GpuFormat::Depth15Stencil1};

constexpr const char* kDeviceWarning = "D3D Device Warning";

std::string ConfigPath() { return Plat_ProfilePath("render.cfg"); }

int ConfigInt(const char* key, int fallback) {
    return Plat_IniGetInt("D3D", key, fallback, ConfigPath().c_str());
}

bool ZBufferOn() { return (RenderFlags & kRenderZBuffer) != 0; }

void SetScreenFromBackBuffer() {
    HardwareScreenState& screen = Graphic_HardwareScreen();
    GpuSurfaceDesc desc;
    if (g_state.device && g_state.backBuffer && g_state.device->backBufferDesc(&desc) == GpuResult::Ok) {
        screen.hasBackBuffer = true;
        screen.backWidth = desc.width;
        screen.backHeight = desc.height;
    } else {
        screen.hasBackBuffer = false;
    }
    screen.deviceLost = g_state.lost;
}

bool GetBackBuffer() {
    if (!g_state.device) return false;
    if (g_state.backBuffer) g_state.device->releaseBackBuffer();
    g_state.backBuffer = g_state.device->getBackBuffer() == GpuResult::Ok;
    SetScreenFromBackBuffer();
    return g_state.backBuffer;
}

void ReleaseBackBuffer() {
    if (g_state.device && g_state.backBuffer) g_state.device->releaseBackBuffer();
    g_state.backBuffer = false;
    SetScreenFromBackBuffer();
}

// The wanted size: the current mode's buffer size.
void WantedSize(int32_t* width, int32_t* height) {
    int mode = CurrentDisplayMode >= 0 && CurrentDisplayMode < kDisplayModeCount ? CurrentDisplayMode : 0;
    *width = DisplayMode[mode].bufferWidth;
    *height = DisplayMode[mode].bufferHeight;
}

// Back-buffer and depth formats, the desktop mode and the adapter's mode list.
bool ChooseFormatsAndModes(bool windowed) {
    GpuSystem* system = g_state.system.get();
    g_state.backFormat = GpuFormat::Unknown;
    const size_t first = (RenderFlags & kRenderBuffer32) ? 0 : 2;
    for (size_t i = first; i < std::size(kBackFormats); ++i) {
        if (system->checkDeviceType(kBackFormats[i], windowed) == GpuResult::Ok) {
            g_state.backFormat = kBackFormats[i];
            break;
        }
    }
    if (g_state.backFormat == GpuFormat::Unknown) {
        D3D_ReportError("No supported pixel format found.\n");
        return false;
    }
    g_state.depthFormat = GpuFormat::Unknown;
    if (ZBufferOn()) {
        for (GpuFormat depth : kDepthFormats) {
            if (system->checkDepthFormat(g_state.backFormat, depth) == GpuResult::Ok &&
                system->checkDepthMatch(g_state.backFormat, depth) == GpuResult::Ok) {
                g_state.depthFormat = depth;
                break;
            }
        }
        if (g_state.depthFormat == GpuFormat::Unknown) {
            D3D_Trace("Create: z-buffer disabled\n");
            RenderFlags &= ~kRenderZBuffer;
        }
    }
    if (system->desktopMode(&g_state.desktop) != GpuResult::Ok) g_state.desktop = GpuDisplayMode{};

    g_state.modes.clear();
    const int32_t count = system->modeCount(g_state.backFormat);
    for (int32_t i = 0; i < count; ++i) {
        GpuDisplayMode mode;
        if (system->mode(g_state.backFormat, i, &mode) != GpuResult::Ok) continue;
        if (mode.width < 640 || mode.height < 480) continue;
        auto same = std::find_if(g_state.modes.begin(), g_state.modes.end(), [&](const GpuDisplayMode& m) {
            return m.width == mode.width && m.height == mode.height;
        });
        if (same != g_state.modes.end()) {
            // The refresh nearer the desktop's wins; an equally near later one does not replace.
            if (std::abs(mode.refresh - g_state.desktop.refresh) < std::abs(same->refresh - g_state.desktop.refresh))
                *same = mode;
        } else if (static_cast<int>(g_state.modes.size()) < kMaxAdapterModes) {
            g_state.modes.push_back(mode);
        }
    }
    int32_t width = 0, height = 0;
    WantedSize(&width, &height);
    g_state.modeIndex = g_state.modes.empty() ? -1 : 0;
    for (size_t i = 0; i < g_state.modes.size(); ++i)
        if (g_state.modes[i].width == width && g_state.modes[i].height == height) {
            g_state.modeIndex = static_cast<int32_t>(i);
            break;
        }
    return true;
}

// The back buffer's size: the selected mode's. Without any mode of at least 640 x 480 a window
// takes its client size, and full screen cannot be had.
bool BackBufferSize(int32_t* width, int32_t* height, int32_t* refresh) {
    *refresh = 0;
    if (g_state.modeIndex >= 0) {
        const GpuDisplayMode& mode = g_state.modes[static_cast<size_t>(g_state.modeIndex)];
        *width = mode.width;
        *height = mode.height;
        if (!g_state.windowed) *refresh = mode.refresh;
        return true;
    }
    if (!g_state.windowed) return false;
    PlatRect client;
    WindowHandle window = g_graphicDriver.window;
    if (window && Plat_GetClientRect(window, &client) && client.right > client.left && client.bottom > client.top) {
        *width = client.right - client.left;
        *height = client.bottom - client.top;
    } else {
        WantedSize(width, height);
    }
    return true;
}

bool BuildPresentParams(GpuPresentParams* params) {
    GpuPresentParams p;
    if (!BackBufferSize(&p.width, &p.height, &p.refresh)) {
        D3D_ReportError("No display mode of at least 640 x 480 for full screen.\n");
        return false;
    }
    p.backFormat = g_state.backFormat;
    p.backBufferCount = (RenderFlags & kRenderTripleBuffer) ? 2 : 1;
    if (CurrentDisplayMode != 0) {
        p.multisampleType = g_state.settings.multisampleType;
        p.multisampleQuality = static_cast<uint32_t>(std::max(g_state.settings.multisampleQuality, 0));
    }
    p.windowed = g_state.windowed;
    if (CurrentDisplayMode == 0) {
        p.lockableBackBuffer = true;
    } else if (ZBufferOn()) {
        p.autoDepth = true;
        p.depthFormat = g_state.depthFormat;
        p.discardDepth = true;
    }
    p.immediate = (RenderFlags & kRenderVsync) == 0;
    p.window = g_graphicDriver.window;
    *params = p;
    return true;
}

// Repairs the multisample settings against what the device offers, with a warning box.
void CheckMultisample() {
    D3DSettings& s = g_state.settings;
    uint32_t levels = 0;
    GpuResult r = g_state.system->checkMultisample(g_state.backFormat, g_state.windowed, s.multisampleType, &levels);
    char text[256];
    if (r != GpuResult::Ok) {
        std::snprintf(text, sizeof text, "The device does not support multisample type %d.\nResetting to none.\n",
                      s.multisampleType);
        Plat_MessageBox(0, text, kDeviceWarning, MB_OK | MB_ICONWARNING);
        s.multisampleType = 0;
        s.multisampleQuality = 0;
        return;
    }
    if (s.multisampleQuality >= static_cast<int32_t>(levels)) {
        const int32_t highest = static_cast<int32_t>(levels) - 1;
        std::snprintf(text, sizeof text,
                      "Multisample type %d does not support quality level %d.\nResetting to the maximum value of %d.\n",
                      s.multisampleType, s.multisampleQuality, highest);
        Plat_MessageBox(0, text, kDeviceWarning, MB_OK | MB_ICONWARNING);
        s.multisampleQuality = std::max(highest, 0);
    }
}

void PumpAndWait() {
    App_PumpMessage();
    Plat_Sleep(100);
}

bool QuitRequested() { return App_Globals().quit || g_graphicDriver.quitRequested != 0; }

// The window's new place after a mode switch.
void PlaceWindow(GraphicDriver* record, int32_t width, int32_t height, bool popup, const int32_t old[4]) {
    WindowHandle window = record->window;
    if (!window) return;
    Plat_SetWindowBordered(window, !popup);
    Plat_SetWindowSize(window, width, height);
    int32_t x = 0, y = 0;
    if (!popup) {
        const int32_t desktopW = record->desktopWidth, desktopH = record->desktopHeight;
        const int32_t oldLeft = old[0], oldTop = old[1], oldRight = old[0] + old[2], oldBottom = old[1] + old[3];
        // Keep the old window's relative place on the desktop; a window as wide or as high as the
        // desktop (or wider) has no relative place and is centred.
        const int64_t divX = int64_t{desktopW} + oldLeft - oldRight;
        const int64_t divY = int64_t{desktopH} + oldTop - oldBottom;
        x = divX > 0 ? static_cast<int32_t>(int64_t{desktopW - width} * oldLeft / divX) : (desktopW - width) / 2;
        y = divY > 0 ? static_cast<int32_t>(int64_t{desktopH - height} * oldTop / divY) : (desktopH - height) / 2;
    }
    Plat_SetWindowPosition(window, x, y);
    Plat_ShowWindow(window, SW_SHOW);
}

void CurrentWindowRect(GraphicDriver* record, int32_t out[4]) {
    PlatRect rect;
    if (record->window && Plat_GetWindowRect(record->window, &rect)) {
        out[0] = rect.left;
        out[1] = rect.top;
        out[2] = rect.right - rect.left;
        out[3] = rect.bottom - rect.top;
    } else {
        std::memcpy(out, record->windowRect, sizeof record->windowRect);
    }
}

// The game palette through the brightness curve, handed to ApplyPalette.
void ApplyGamePalette(GraphicDriver* record) {
    uint8_t shown[768];
    std::memcpy(shown, record->palette, sizeof shown);
    Palette_ApplyGamma(shown, 0, 256, 0);
    if (record->ApplyPalette) record->ApplyPalette(record, shown);
}

}  // namespace

D3DState& D3D_State() { return g_state; }

void D3D_ResetState() {
    HardwareFullLight = 1.0f;
    TexMgr_ReleaseAll();
    D3D_ReleaseDevice(true);
    g_state = D3DState{};
    g_viewport = GpuViewport{};
    Graphic_HardwareScreen() = HardwareScreenState{};
}

void D3D_ReportError(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // The text and its line end fit the 256 characters together.
    size_t length = std::min(std::strlen(text), sizeof g_state.errorText - 3);
    std::memcpy(g_state.errorText, text, length);
    std::memcpy(g_state.errorText + length, "\r\n", 3);
}

void D3D_Trace(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Debug_Trace("D3DApp: %s\r\n", text);
}

void D3D_ReadSettings() {
    RenderFlags = kRenderFlagsDefault;
    for (const FlagKey& key : kFlagKeys) {
        const int value = ConfigInt(key.key, -1);
        if (value == 1) RenderFlags |= key.bit;
        else if (value == 0) RenderFlags &= ~key.bit;
    }
    D3DSettings& s = g_state.settings;
    s = D3DSettings{};
    const int execBuf = ConfigInt("ExecBufSize", static_cast<int>(kExecBufDefault));
    const int64_t clamped = std::clamp<int64_t>(execBuf, kExecBufMin, kExecBufMax);
    if (clamped != execBuf) D3D_Trace("ExecBufSize %d out of range, using %lld", execBuf, static_cast<long long>(clamped));
    s.execBufSize = static_cast<uint32_t>(clamped);
    s.radarType = ConfigInt("RadarType", 2);
    s.maxAnisotropy = ConfigInt("MaxAnisotropy", 16);
    s.multisampleType = ConfigInt("MultiSampleType", 0);
    s.multisampleQuality = ConfigInt("MultiSampleQuality", 0);
    const int large = ConfigInt("LargeAssets", -1);
    if (large == 1) GraphicD3DFlags |= kD3DLargeAssets;
    else if (large == 0) GraphicD3DFlags &= ~kD3DLargeAssets;
    s.zBuffer = ConfigInt("ZBuffer", -1);
}

// ---- The fill and the device ----------------------------------------------------------------

int D3D_FillDriver(GraphicDriver* record, const char* className) {
    // 1
    D3D_ResetState();
    std::memset(g_systemPalette, 0, sizeof g_systemPalette);
    std::memset(PaletteColors32, 0, sizeof PaletteColors32);
    CurrentDisplayMode = 0;
    D3D_ReadSettings();

    // 2
    const bool fullScreen = CmdLine_Globals().fullScreen;
    Graphic_ApplyTemplate(record, kHardwareDriverTemplate);
    const int32_t width = DisplayMode[0].width, height = DisplayMode[0].height;
    record->displayWidth = width;
    record->displayHeight = height;
    record->windowed = fullScreen ? 0 : 1;
    // Our windows have no frame of their own: the frame is the client size.
    record->windowRect[0] = (record->desktopWidth - width) / 2;
    record->windowRect[1] = 0;
    record->windowRect[2] = width;
    record->windowRect[3] = height;

    // 3
    if (!record->window || !Plat_IsWindow(record->window)) {
        const int w = fullScreen ? record->desktopWidth : width;
        const int h = fullScreen ? record->desktopHeight : height;
        const char* name = className ? className : record->className;
        WindowHandle window = Plat_CreateWindow(name, name, w, h);
        if (!window) return 0;
        record->window = window;
        record->windowStyle = fullScreen ? kWindowStylePopup : kWindowStyleFramed;
        Plat_SetWindowBordered(window, !fullScreen);
        Plat_SetWindowPosition(window, fullScreen ? 0 : record->windowRect[0], 0);
        Plat_ShowWindow(window, SW_SHOW);
    }
    // 4: this platform has no system palette; the copy stays black.

    // 5
    const int created = D3D_CreateDevice(1, fullScreen ? 0 : 1, record->window);
    // The adapter listing of the driver choice: the device names its renderer.
    if (g_state.system) Debug_Trace("DriverDesc: %s\n", g_state.system->adapterName().c_str());
    if (!created) return 0;
    record->Lock(record);
    record->Unlock(record);
    if (record->screen.valid != 1) return 0;

    // 6
    g_state.lost = false;
    Graphic_HardwareScreen().deviceLost = false;
    TexMgr_ReleaseAll();
    g_state.textureMemory = g_state.device->availableTextureMemory();
    D3D_SetRenderStates();

    // 7
    for (size_t i = 0; i < g_state.modes.size() && kFirstHardwareMode + i < kDisplayModeCount; ++i) {
        const GpuDisplayMode& mode = g_state.modes[i];
        DisplayMode[kFirstHardwareMode + i] = {1, 0, 1, 16, mode.width, mode.height, mode.width, mode.height};
    }
    GraphicD3DFlags |= kD3DDeviceUp;
    RenderFlags |= kRenderAlpha | kRenderTexture16;
    return 1;
}

const char* D3D_ErrorText() { return g_state.errorText; }

int D3D_CreateDevice(int create, int windowed, WindowHandle window) {
    D3D_ReleaseDevice(true);
    g_state.windowed = windowed != 0;
    // 1
    GpuResult result = GpuResult::Ok;
    g_state.system = Gpu_CreateSystem(&result);
    g_state.lastResult = result;
    if (!g_state.system) {
        D3D_ReportError("Creation of IDirect3D failed.\n%s", Gpu_ResultName(result));
        return 0;
    }
    // 2
    if (!ChooseFormatsAndModes(g_state.windowed)) {
        D3D_ReleaseDevice(true);
        return 0;
    }
    // 3
    if (g_state.windowed && window) CurrentWindowRect(&g_graphicDriver, g_state.savedWindow);
    if (!create) return 1;

    // 4
    g_state.system->caps(&g_state.caps);
    CheckMultisample();
    GpuPresentParams params;
    if (!BuildPresentParams(&params)) {
        D3D_ReleaseDevice(true);
        return 0;
    }
    params.window = window;
    const GpuVertexProcessing first =
        g_state.caps.hardwareTransform ? GpuVertexProcessing::Hardware : GpuVertexProcessing::Software;
    result = g_state.system->createDevice(window, first, params, &g_state.device);
    if (result != GpuResult::Ok && first == GpuVertexProcessing::Hardware)
        result = g_state.system->createDevice(window, GpuVertexProcessing::Software, params, &g_state.device);
    g_state.lastResult = result;
    if (result != GpuResult::Ok || !g_state.device) {
        D3D_ReportError("Create D3D device failed.\n%s", Gpu_ResultName(result));
        D3D_ReleaseDevice(true);
        return 0;
    }
    GetBackBuffer();
    // 5
    if (!Batch_CreateBuffers()) {
        D3D_ReportError("Create D3D buffers failed.\n");
        D3D_ReleaseDevice(true);
        return 0;
    }
    return 1;
}

void D3D_ReleaseDevice(bool withSystem) {
    Batch_ReleaseBuffers();
    ReleaseBackBuffer();
    g_state.device.reset();
    if (withSystem) g_state.system.reset();
}

void D3D_SetRenderStates() {
    GpuDevice* device = g_state.device.get();
    if (!device) return;
    const uint32_t z = ZBufferOn() ? 1 : 0;
    device->setRenderState(GpuRenderState::GouraudShading, 1);
    device->setRenderState(GpuRenderState::DepthTest, z);
    device->setRenderState(GpuRenderState::DepthWrite, z);
    device->setRenderState(GpuRenderState::DepthCompare, static_cast<uint32_t>(GpuCompare::LessEqual));
    device->setRenderState(GpuRenderState::SolidFill, 1);
    device->setRenderState(GpuRenderState::Dither, 1);
    device->setRenderState(GpuRenderState::Specular, 0);
    device->setRenderState(GpuRenderState::Fog, 0);
    device->setRenderState(GpuRenderState::FogColour, D3DFogColour);
    device->setRenderState(GpuRenderState::Cull, 0);
    device->setRenderState(GpuRenderState::Blend, 0);
    device->setRenderState(GpuRenderState::MultisampleAntialias, 1);
    device->setSamplerState(0, GpuSamplerState::MagFilter, static_cast<uint32_t>(GpuFilter::Linear));
    device->setSamplerState(0, GpuSamplerState::MinFilter, static_cast<uint32_t>(GpuFilter::Anisotropic));
    device->setSamplerState(0, GpuSamplerState::MipFilter, static_cast<uint32_t>(GpuFilter::Linear));
    device->setSamplerState(0, GpuSamplerState::AddressU, static_cast<uint32_t>(GpuAddress::Clamp));
    device->setSamplerState(0, GpuSamplerState::AddressV, static_cast<uint32_t>(GpuAddress::Clamp));
    device->setSamplerState(0, GpuSamplerState::MaxAnisotropy,
                            static_cast<uint32_t>(std::max(g_state.settings.maxAnisotropy, 1)));
    device->setStageState(0, GpuStageState::ColourOp, static_cast<uint32_t>(GpuStageOp::Modulate));
    device->setStageState(0, GpuStageState::AlphaOp, static_cast<uint32_t>(GpuStageOp::Modulate));
}

// ---- Mode switches and device loss ---------------------------------------------------------

int D3D_SwitchMode(int mode, GraphicDriver* record) {
    // 1
    D3D_Trace("Mode: %d\n", mode);
    if (mode < 0 || mode >= kDisplayModeCount) return 0;
    if (mode != 0 && DisplayMode[mode].available == 0) return 0;
    if (!g_state.system || !g_state.device) return 0;
    const bool wantWindowed = !App_Globals().fullScreen;
    const bool changes = mode != CurrentDisplayMode || g_state.windowed != wantWindowed;
    // 2
    CurrentDisplayMode = mode;
    if (!ChooseFormatsAndModes(wantWindowed)) return 0;
    // 3
    if (changes) {
        int32_t old[4];
        if (g_state.windowed) {
            CurrentWindowRect(record, old);
            std::memcpy(g_state.savedWindow, old, sizeof old);
        } else {
            std::memcpy(old, g_state.savedWindow, sizeof old);
        }
        g_state.windowed = wantWindowed;
        if (!D3D_ResetLoop()) return 0;
        const int32_t width = DisplayMode[mode].width, height = DisplayMode[mode].height;
        record->windowRect[0] = 0;
        record->windowRect[1] = 0;
        record->windowRect[2] = width;
        record->windowRect[3] = height;
        record->displayWidth = width;
        record->displayHeight = height;
        const bool window = wantWindowed && width < record->desktopWidth && height < record->desktopHeight;
        record->windowStyle = window ? kWindowStyleFramed : kWindowStylePopup;
        record->windowed = wantWindowed ? 1 : 0;
        PlaceWindow(record, width, height, !window, old);
        D3D_Clear(0);
        D3D_Present(record);
    }
    // 4
    if (mode == 0) return 1;
    // 5
    if (changes) {
        SeparateDraw = ZBufferOn() ? 1 : 0;
        RenderQueue_LodInfo().mergeBSP = ZBufferOn() ? 0 : 7;
    }
    // 6
    ApplyGamePalette(record);
    D3D_SetRenderStates();
    record->Lock(record);
    record->Unlock(record);
    return 1;
}

int D3D_SetMode(GraphicDriver* record, int mode) {
    const int previous = CurrentDisplayMode;
    g_state.errorText[0] = '\0';
    if (D3D_SwitchMode(mode, record)) {
        Graphic_AfterModeChange();
        return 1;
    }
    if (g_state.errorText[0] == '\0') {
        // An unavailable mode (or a switch that failed without a reason): the current one stays.
        CurrentDisplayMode = previous;
        return 0;
    }
    TexMgr_ReleaseAll();
    D3D_ReleaseDevice(true);
    Error_Fatal("%s", g_state.errorText);
    return 0;
}

int D3D_ResetLoop() {
    if (!g_state.device) return 0;
    TexMgr_ReleaseAll();
    Batch_ReleaseBuffers();
    ReleaseBackBuffer();
    GpuPresentParams params;
    if (!BuildPresentParams(&params)) return 0;
    do {
        // A quit taken by the pump ends the wait; the program is going away.
        if (QuitRequested()) return 0;
        const GpuResult level = g_state.device->testCooperativeLevel();
        if (level == GpuResult::Ok || level == GpuResult::DeviceNotReset) {
            const GpuResult reset = g_state.device->reset(params);
            if (reset == GpuResult::DeviceLost) {
                D3D_Trace("Reset: device reset returned device lost\n");
                g_state.lost = true;
                PumpAndWait();
            } else if (reset != GpuResult::Ok) {
                D3D_Trace("Reset: device reset failed, so attempting rebuild\n");
                TexMgr_ReleaseAll();
                D3D_ReleaseDevice(true);
                if (!D3D_CreateDevice(1, g_state.windowed ? 1 : 0, g_graphicDriver.window)) return 0;
                g_state.lost = false;
            } else {
                D3D_Trace("Reset: device reset succeeded\n");
                g_state.lost = false;
            }
        } else if (level == GpuResult::DeviceLost) {
            D3D_Trace("Reset: device still lost\n");
            g_state.lost = true;
            PumpAndWait();
        } else {
            D3D_Trace("Reset: unexpected error %08x\n", static_cast<unsigned>(level));
            return 0;
        }
    } while (g_state.lost);
    Graphic_HardwareScreen().deviceLost = false;
    GetBackBuffer();
    if (!Batch_CreateBuffers()) return 0;
    D3D_SetRenderStates();
    Batch_CalibrateQuery();
    return 1;
}

int D3D_Present(GraphicDriver* record) {
    HardwareScreenState& screen = Graphic_HardwareScreen();
    if (screen.drawContextCount > 0) {
        screen.drawContextCount = 1;
        record->ReleaseDrawDC(record);
    }
    if (!g_state.device) return 0;
    if (g_state.lost) {
        D3D_ResetLoop();
        return 0;
    }
    const GpuResult result = g_state.device->present();
    if (result == GpuResult::DeviceLost) {
        D3D_Trace("Present: D3D device lost\n");
        g_state.lost = true;
        screen.deviceLost = true;
        return 0;
    }
    if (CurrentDisplayMode != 0 && ZBufferOn()) g_state.device->clear(kGpuClearDepth, 0, 1.0f, 0);
    return result == GpuResult::Ok ? 1 : 0;
}

int D3D_Clear(uint32_t colour) {
    if (!g_state.device) return 0;
    // Mode 0 has no depth buffer.
    const bool depth = CurrentDisplayMode != 0 && ZBufferOn();
    const uint32_t targets = kGpuClearTarget | (depth ? kGpuClearDepth : 0);
    return g_state.device->clear(targets, colour, 1.0f, 0) == GpuResult::Ok ? 1 : 0;
}

int D3D_BeginScene() {
    Graphic_SetTextureReload(false);
    // The shade tables may have changed with the map: the vertices' full shade follows them.
    HardwareFullLight = std::max(Palette_FullColourLight(), 0.05f);
    if (!g_state.device || g_state.lost) return 1;
    TexMgr_Counters().uploadsThisFrame = 0;
    Batch_Buffers().sceneFirstBatch = Batch_Buffers().batches;
    return g_state.device->beginScene() == GpuResult::Ok ? 0 : 1;
}

int D3D_EndScene() {
    if (!g_state.device) return 0;
    // Depth set 0 is the only one in force; the overlay depth starts each scene at the front.
    OverlayDepth = 0.0f;
    Batch_DrawScreenEdges();
    Batch_Rewind();
    g_state.drawCallsLastFrame = static_cast<int32_t>(Batch_Buffers().batches - Batch_Buffers().sceneFirstBatch);
    const bool ended = g_state.device->endScene() == GpuResult::Ok;
    if (Graphic_TextureReloadPending()) TexMgr_ReleaseAll();
    return ended ? 1 : 0;
}

void D3D_SetViewport(int x, int y, int width, int height) {
    Batch_Flush();
    g_viewport = GpuViewport{x, y, width, height, 0.0f, 1.0f};
    if (g_state.device) g_state.device->setViewport(g_viewport);
}

void D3D_GetViewport(int* x, int* y, int* width, int* height) {
    if (x) *x = g_viewport.x;
    if (y) *y = g_viewport.y;
    if (width) *width = g_viewport.width;
    if (height) *height = g_viewport.height;
}

void D3D_FrameInfo(char letters[6], int* depth, int* countPerFrame) {
    struct Letter {
        uint32_t bit;
        char on;
    };
    constexpr Letter kLetters[5] = {{kRenderAlpha, 'A'},     {kRenderNoCaps, 'N'},       {kRenderHalfTexel, 'H'},
                                    {kRenderAgpRadar, 'R'},  {kRenderSplitZBuffer, 'S'}};
    for (int i = 0; i < 5; ++i)
        letters[i] = (RenderFlags & kLetters[i].bit) ? kLetters[i].on : static_cast<char>(kLetters[i].on + 32);
    letters[5] = g_state.settings.radarType == 1 ? 'F' : 'f';
    *depth = (RenderFlags & kRenderTexture16) ? 16 : 8;
    *countPerFrame = g_state.drawCallsLastFrame;
}

// ---- The record's hardware operations ------------------------------------------------------

int D3DDisplay_Open(GraphicDriver*) { return 0; }

int D3DDisplay_Close(GraphicDriver* record) {
    TexMgr_ReleaseAll();
    D3D_ReleaseDevice(true);
    HardwareScreenState& screen = Graphic_HardwareScreen();
    screen.hasBackBuffer = false;
    screen.locked = false;
    screen.drawContextCount = 0;
    record->screen.pixels = Graphic_HardwareScreenMarker();
    return 1;
}

int D3DDisplay_Lock(GraphicDriver* record) {
    HardwareScreenState& screen = Graphic_HardwareScreen();
    if (screen.locked) return 1;
    screen.locked = true;
    if (!screen.hasBackBuffer) return 0;
    // A descriptor only: two bytes a pixel, external, no addressable pixels.
    Graphic_InitBuffer(&record->screen, screen.backWidth, screen.backHeight, Graphic_HardwareScreenMarker(),
                       kGraphicFormat16);
    return 1;
}

int D3DDisplay_Unlock(GraphicDriver* record) {
    HardwareScreenState& screen = Graphic_HardwareScreen();
    if (screen.locked) {
        screen.locked = false;
        record->screen.pixels = Graphic_HardwareScreenMarker();
    }
    return 1;
}

int D3DDisplay_SetPalette(GraphicDriver* record, int first, int count, const uint8_t* source, const uint8_t* luma) {
    Graphic_CopyPaletteEntries(record, first, count, source);
    // The record keeps the palette as given; the device gets it through the brightness curve.
    ApplyGamePalette(record);
    Palette_Load(record, luma);
    Palette_ResetTables();
    return 1;
}

int D3DDisplay_ApplyPalette(GraphicDriver*, const uint8_t* source) {
    uint8_t palette[768];
    std::memcpy(palette, source, sizeof palette);
    // 1
    if (source != g_systemPalette) {
        palette[0] = palette[1] = palette[2] = 0;
        palette[765] = palette[766] = palette[767] = 1;
    }
    struct Channel {
        uint16_t table[256];
    };
    auto build = [](uint16_t mask, Channel& channel) {
        int shift = 0, width = 0;
        while (!((mask >> shift) & 1)) ++shift;
        while ((mask >> (shift + width)) & 1) ++width;
        for (int i = 0; i < 256; ++i) channel.table[i] = static_cast<uint16_t>(((i << width) >> 8) << shift);
    };
    Channel red, green, blue;
    build(0xF800, red);
    build(0x07E0, green);
    build(0x001F, blue);
    // 2
    for (int i = 0; i < 256; ++i) {
        const uint8_t* rgb = palette + i * 3;
        PaletteColors16[i] =
            static_cast<uint16_t>(red.table[rgb[0]] + green.table[rgb[1]] + blue.table[rgb[2]]);
        PaletteColorsPlain16[i] = PaletteColors16[i];
    }
    // 3: the darkest grey that is not black stands in for black.
    uint16_t substitute = 0;
    for (int level = 0; level < 256 && substitute == 0; ++level)
        substitute = static_cast<uint16_t>(red.table[level] + green.table[level] + blue.table[level]);
    for (int i = 0; i < 256; ++i)
        if (PaletteColors16[i] == substitute) PaletteColors16[i] = 0;
    PaletteColors16[255] = substitute;
    // 4
    for (int i = 0; i < 256; ++i) {
        const uint8_t* rgb = palette + i * 3;
        const bool bright = rgb[0] > 63 || rgb[1] > 63 || rgb[2] > 63;
        PaletteColorsDark16[i] = bright ? PaletteColors16[i] : substitute;
    }
    // 5
    for (int i = 0; i < 256; ++i) {
        const uint8_t* rgb = palette + i * 3;
        PaletteColors32[i] = 0xFF000000u | (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
    }
    std::memcpy(g_palette24, palette, sizeof g_palette24);
    D3DFogColour = PaletteColors32[LumaTable[0][223]];
    if (g_state.device) g_state.device->setRenderState(GpuRenderState::FogColour, D3DFogColour);
    return 1;
}

int D3DDisplay_SetMode(GraphicDriver* record, int mode) { return D3D_SetMode(record, mode); }

DrawContext D3DDisplay_GetDrawDC(GraphicDriver*) {
    // The back buffer offers no drawing context here; the calls are counted all the same.
    ++Graphic_HardwareScreen().drawContextCount;
    return nullptr;
}

void D3DDisplay_ReleaseDrawDC(GraphicDriver*) {
    HardwareScreenState& screen = Graphic_HardwareScreen();
    if (screen.drawContextCount > 0) --screen.drawContextCount;
}

void D3DDisplay_Restore(GraphicDriver*) {
    if (g_state.device && (!g_state.windowed || g_state.lost)) D3D_ResetLoop();
}

int D3DDisplay_Present(GraphicDriver* record) { return D3D_Present(record); }

int D3DDisplay_Clear(GraphicDriver*, uint32_t colour) { return D3D_Clear(colour); }
