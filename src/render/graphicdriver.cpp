#include "render/sprite.h"
#include "render/graphicdriver.h"

#include <algorithm>
#include <cstring>

#include "core/app.h"
#include "core/debug.h"
#include "core/shake.h"
#include "core/seams/render.h"
#include "render/d3ddraw2d.h"
#include "render/renderstats.h"
#include "platform/surface.h"
#include "render/blit.h"
#include "render/d3ddevice.h"
#include "render/d3dtextures.h"
#include "render/display.h"
#include "render/draw2d.h"
#include "render/light.h"
#include "render/texmgr.h"
#include "render/palette.h"
#include "render/raster.h"
#include "render/renderqueue.h"

GraphicDriver g_graphicDriver;
uint32_t GraphicD3DFlags = 0;
DisplayModeEntry DisplayMode[kDisplayModeCount];
int32_t CurrentDisplayMode = 0;

namespace {

bool g_textureReload = false;
bool g_shutDown = false;

HardwareScreenState g_hardwareScreen;

// The fixed modes: size and bits per pixel (0 = not offered to the software driver).
struct FixedMode {
    int32_t width, height, bits;
};
constexpr FixedMode kFixedModes[kFirstHardwareMode] = {
    {640, 480, 16}, {1600, 1200, 0}, {1280, 1024, 0}, {1024, 768, 0},
    {800, 600, 0},  {640, 480, 8},   {512, 384, 8},   {400, 300, 8},
};

bool ModeIsAvailable(int mode) {
    return mode >= 0 && mode < kDisplayModeCount && DisplayMode[mode].available != 0;
}

int SoftwareIsSoftware(GraphicDriver*) { return 1; }
int HardwareIsSoftware(GraphicDriver*) { return 0; }
int SoftLockNothing(GraphicDriver*) { return 1; }
void SoftNothing(GraphicDriver*) {}

// The colours the software display shows its 8-bit frames with (the brightness curve applied).
uint8_t SoftLogPalette[768];
// The window's colours as they were when the display opened.
uint8_t SoftSystemPalette[768];

}  // namespace

// The rasteriser leaves the last column and row unfilled: each row's last pixel takes the one to
// its left, then the last row takes a copy of the row above.
void Graphic_MendEdges(GraphicBuffer& screen) {
    if (screen.format != kGraphicFormat8 || !screen.pixels || screen.pixels == Graphic_HardwareScreenMarker()) return;
    const size_t width = static_cast<size_t>(screen.width);
    const size_t height = static_cast<size_t>(screen.height);
    if (width >= 2)
        for (size_t y = 0; y < height; ++y) screen.pixels[y * width + width - 1] = screen.pixels[y * width + width - 2];
    if (height >= 2) std::memcpy(screen.pixels + (height - 1) * width, screen.pixels + (height - 2) * width, width);
}

void Graphic_CopyPaletteEntries(GraphicDriver* record, int first, int count, const uint8_t* source) {
    if (!source) return;
    first = std::clamp(first, 0, 256);
    count = std::clamp(count, 0, 256 - first);
    std::memcpy(record->palette + first * 3, source + first * 3, static_cast<size_t>(count) * 3);
}

// ---- Record, templates, modes --------------------------------------------------------------

const GraphicDriverTemplate kHardwareDriverTemplate = {
    kDriverHardware,        1,
    kWindowStyleFramed,     D3DDisplay_Open,
    D3DDisplay_Close,       D3DDisplay_Lock,
    D3DDisplay_Unlock,      D3DDisplay_SetPalette,
    D3DDisplay_ApplyPalette, D3DDisplay_SetMode,
    D3DDisplay_GetDrawDC,   D3DDisplay_ReleaseDrawDC,
    D3DDisplay_Restore,     0,
    D3DDisplay_Present,     D3DDisplay_Clear,
    HardwareIsSoftware,
};

const GraphicDriverTemplate kSoftwareDriverTemplate = {
    kDriverSoftware,         1,
    kWindowStyleFramed,      SoftDisplay_Open,
    SoftDisplay_Close,       SoftLockNothing,
    SoftLockNothing,         SoftDisplay_SetPalette,
    SoftDisplay_ApplyPalette, SoftDisplay_SetMode,
    SoftDisplay_GetDrawDC,   SoftNothing,
    SoftNothing,             5,
    SoftDisplay_Present,     SoftDisplay_Clear,
    SoftwareIsSoftware,
};

void Graphic_ApplyTemplate(GraphicDriver* record, const GraphicDriverTemplate& source) {
    record->driverKind = source.driverKind;
    record->windowed = source.windowed;
    record->windowStyle = source.windowStyle;
    record->Open = source.Open;
    record->Close = source.Close;
    record->Lock = source.Lock;
    record->Unlock = source.Unlock;
    record->SetPalette = source.SetPalette;
    record->ApplyPalette = source.ApplyPalette;
    record->SetMode = source.SetMode;
    record->GetDrawDC = source.GetDrawDC;
    record->ReleaseDrawDC = source.ReleaseDrawDC;
    record->Restore = source.Restore;
    record->defaultMode = source.defaultMode;
    record->Present = source.Present;
    record->Clear = source.Clear;
    record->IsSoftware = source.IsSoftware;
}

void Graphic_ClearRecord(GraphicDriver* record) {
    if (record == &g_graphicDriver) Graphic_FreeBuffer(&record->screen);
    *record = GraphicDriver{};
}

void DisplayMode_Reset() {
    for (int i = 0; i < kDisplayModeCount; ++i) {
        DisplayModeEntry& entry = DisplayMode[i];
        if (i < kFirstHardwareMode) {
            const FixedMode& fixed = kFixedModes[i];
            entry = {0, 0, 0, fixed.bits, fixed.width, fixed.height, fixed.width, fixed.height};
        } else {
            entry.available = 0;
        }
    }
}

namespace {
// The table starts with its fixed entries in place.
const bool g_modesReady = (DisplayMode_Reset(), true);
}  // namespace

HardwareScreenState& Graphic_HardwareScreen() { return g_hardwareScreen; }

GraphicBuffer* Graphic_CreateScreenBuffer(GraphicDriver* record, int32_t width, int32_t height) {
    GraphicBuffer buffer;
    Graphic_InitBuffer(&buffer, width, height, nullptr, kGraphicFormat8);
    Graphic_FreeBuffer(&record->screen);  // a screen on own memory is replaced, not leaked
    record->screen = buffer;
    return &record->screen;
}

// ---- Hardware operations -------------------------------------------------------------------

// The hardware operations live with the device (render/d3ddevice.cpp).

// ---- Software operations -------------------------------------------------------------------

int SoftDisplay_Open(GraphicDriver* record) {
    if (record->displayOpen) SoftDisplay_Close(record);
    // The window's surface stands for its drawing context; without one the first present fails.
    if (Plat_SurfaceOpen(record->window)) Plat_SurfaceGetPalette(record->window, SoftSystemPalette);
    record->displayOpen = 1;
    if (record->SetPalette) record->SetPalette(record, 0, 256, GamePalette, nullptr);
    int32_t width = record->screen.width, height = record->screen.height;
    Graphic_CreateScreenBuffer(record, width, height);
    if (record->screen.valid != 1) {
        record->errorCode = kGraphicErrorScreenBuffer;
        SoftDisplay_Close(record);
        record->screen.width = width;  // the wanted size stays for another try
        record->screen.height = height;
        return 0;
    }
    Graphic_Clear(&record->screen, 0);
    if (!record->Present || !record->Present(record)) {
        SoftDisplay_Close(record);
        return 0;
    }
    CurrentDisplayMode = -1;
    // Mode 0 and every fixed 8-bit mode: 5, 6 and 7, and 1 to 4 when "HiRes" offers them (the
    // mode switch only takes modes on offer).
    DisplayMode[0].available = 1;
    for (int mode = 1; mode < kFirstHardwareMode; ++mode)
        if (DisplayMode[mode].bitsPerPixel == 8) DisplayMode[mode].available = 1;
    return 1;
}

int SoftDisplay_Close(GraphicDriver* record) {
    if (!record->displayOpen) return 0;
    Plat_SurfaceClose(record->window);
    Graphic_FreeBuffer(&record->screen);
    record->screen.valid = 0;
    record->displayOpen = 0;
    return 1;
}

int SoftDisplay_SetPalette(GraphicDriver* record, int first, int count, const uint8_t* source, const uint8_t* luma) {
    if (!record->displayOpen) return 0;
    Graphic_CopyPaletteEntries(record, first, count, source);
    record->palette[0] = record->palette[1] = record->palette[2] = 0;
    Palette_SetFloatColors(record->palette);
    uint8_t shown[768];
    std::memcpy(shown, record->palette, sizeof shown);
    Palette_ApplyGamma(shown, 0, 256, 0);
    if (record->ApplyPalette) record->ApplyPalette(record, shown);
    Palette_Load(record, luma);
    return 1;
}

int SoftDisplay_ApplyPalette(GraphicDriver* record, const uint8_t* palette) {
    if (!record->displayOpen) return 0;
    std::memcpy(SoftLogPalette, palette, sizeof SoftLogPalette);
    Plat_SurfaceSetPalette(record->window, SoftLogPalette);
    // 16-bit buffers take the same colours.
    for (int i = 0; i < 256; ++i) {
        uint16_t r = palette[i * 3], g = palette[i * 3 + 1], b = palette[i * 3 + 2];
        PaletteColors16[i] = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
    }
    return 1;
}

int SoftDisplay_SetMode(GraphicDriver* record, int mode) {
    // An unavailable mode fails and the current one stays.
    if (!ModeIsAvailable(mode)) return 0;
    const DisplayModeEntry& entry = DisplayMode[mode];
    // The new buffer is made before the old one goes, so a failure keeps the display as it was.
    GraphicBuffer fresh;
    Graphic_InitBuffer(&fresh, entry.bufferWidth, entry.bufferHeight, nullptr, kGraphicFormat8);
    if (fresh.valid != 1) {
        record->errorCode = kGraphicErrorScreenBuffer;
        return 0;
    }
    CurrentDisplayMode = mode;
    Graphic_FreeBuffer(&record->screen);
    // A new screen shows colour 0 until drawn, not what the memory held.
    std::memset(fresh.pixels, 0, static_cast<size_t>(fresh.width) * static_cast<size_t>(fresh.height));
    record->screen = fresh;
    int32_t width = entry.bufferWidth, height = entry.bufferHeight;
    record->windowRect[0] = 0;
    record->windowRect[1] = 0;
    record->windowRect[2] = width;
    record->windowRect[3] = height;
    record->displayWidth = width;
    record->displayHeight = height;
    bool fullScreen = mode == 5 && width == record->desktopWidth && height == record->desktopHeight;
    record->windowStyle = fullScreen ? kWindowStylePopup : kWindowStyleFramed;
    if (record->window) {
        // Our windows have no frame of their own: the frame is the client size. Centred
        // horizontally at the top of the desktop.
        Plat_SetWindowBordered(record->window, !fullScreen);
        Plat_SetWindowSize(record->window, width, height);
        Plat_SetWindowPosition(record->window, (record->desktopWidth - width) / 2, 0);
        Plat_ShowWindow(record->window, SW_SHOW);
        Plat_SurfaceSetPalette(record->window, SoftLogPalette);
    }
    Graphic_AfterModeChange();
    return 1;
}

DrawContext SoftDisplay_GetDrawDC(GraphicDriver* record) {
    // The window's surface is what 2-D system drawing would go to; it is named by the window.
    return Plat_SurfaceIsOpen(record->window) ? reinterpret_cast<DrawContext>(static_cast<uintptr_t>(record->window))
                                              : nullptr;
}

int SoftDisplay_Present(GraphicDriver* record) {
    if (!record->displayOpen) return 0;
    GraphicBuffer& screen = record->screen;
    bool shown = screen.valid == 1 && screen.format == kGraphicFormat8 && screen.pixels &&
                 screen.pixels != Graphic_HardwareScreenMarker();
    if (shown) {
        Graphic_MendEdges(screen);
        shown = Plat_SurfacePresent8(record->window, screen.pixels, screen.width, screen.height, screen.width);
    }
    if (!shown) {
        record->errorCode = kGraphicErrorPresent;
        return 0;
    }
    return 1;
}

int SoftDisplay_Clear(GraphicDriver* record, uint32_t colour) {
    GraphicBuffer& screen = record->screen;
    if (screen.valid == 1 && screen.pixels && screen.pixels != Graphic_HardwareScreenMarker())
        std::memset(screen.pixels, static_cast<uint8_t>(colour),
                    static_cast<size_t>(screen.width) * static_cast<size_t>(screen.height));
    return 1;
}

// ---- Whole-display helpers -----------------------------------------------------------------

int Graphic_FlipBuffer(GraphicBuffer* buffer) {
    GraphicDriver& driver = g_graphicDriver;
    if (!buffer || !driver.Lock || !driver.Lock(&driver)) return 0;
    GraphicBuffer& screen = driver.screen;
    if (screen.pixels == Graphic_HardwareScreenMarker()) {
        // The screen has no addressable pixels: the buffer goes up as a texture on one quad.
        const int shown = D3DRender_ShowBuffer(buffer);
        if (driver.Unlock) driver.Unlock(&driver);
        if (!shown) return 0;
        if (driver.Present) driver.Present(&driver);
        return 1;
    }
    if (buffer->valid == 1 && screen.valid == 1) {
        if (buffer->width == screen.width && buffer->height == screen.height)
            Graphic_Copy_Bitmap(&screen, buffer, 0, 0, 0);
        else
            Graphic_Stretch_Bitmap(&screen, buffer, 0, 0, screen.width - 1, screen.height - 1, 0);
    }
    if (driver.Unlock) driver.Unlock(&driver);
    if (driver.Present) driver.Present(&driver);
    return 1;
}

void Graphic_CallHook(GraphicDriver* record) {
    if (record && record->Close) record->Close(record);
}

void Graphic_SetTextureReload(bool on) { g_textureReload = on; }
bool Graphic_TextureReloadPending() { return g_textureReload; }

// ---- Hooks of the core ---------------------------------------------------------------------

bool Graphic_Initialise(int mode) {
    GraphicDriver& driver = g_graphicDriver;
    // Before the driver choice fills the record there is nothing to set up.
    if (driver.driverKind == 0) return true;
    if (!driver.SetMode || !driver.SetMode(&driver, mode)) return false;
    g_shutDown = false;
    return true;
}

void Graphic_Release() {
    Graphic_CallHook(&g_graphicDriver);
    g_shutDown = true;
}

void Graphic_Pause() { Graphic_BlankScreen(); }

void Graphic_Resume() {
    GraphicDriver& driver = g_graphicDriver;
    if (driver.Restore) driver.Restore(&driver);
    Graphic_SetPalette(0, 256);
}

int Graphic_Present() {
    GraphicDriver& driver = g_graphicDriver;
    return driver.Present ? driver.Present(&driver) : 0;
}

int Graphic_PresentFrame() { return g_textureReload ? 0 : Graphic_Present(); }

void Graphic_SetMode(int mode) {
    GraphicDriver& driver = g_graphicDriver;
    if (driver.SetMode) driver.SetMode(&driver, mode);
}

bool Graphic_LockFrame() {
    GraphicDriver& driver = g_graphicDriver;
    return driver.Lock && driver.Lock(&driver) != 0;
}

void Graphic_UnlockFrame() {
    GraphicDriver& driver = g_graphicDriver;
    if (driver.Unlock) driver.Unlock(&driver);
}

bool Graphic_BeginScene() { return D3D_BeginScene() == 0; }

void Graphic_EndScene() { D3D_EndScene(); }

void Graphic_ClearBackground() { Graphic_Clear(&g_graphicDriver.screen, 0); }

void Graphic_Resize() {
    GraphicDriver& driver = g_graphicDriver;
    if (driver.Restore) driver.Restore(&driver);
}

bool Graphic_WasShutDown() { return g_shutDown; }

void Render_InstallSeam() {
    D3DRender_InstallTwins();
    RenderSeam& seam = Seam_Render();
    seam.setMissionPalette = [] { Graphic_SetPalette(0, 256); };
    seam.applyWorldPalette = Palette_InstallWorld;
    seam.setTranslucencyTable = [](const uint8_t* table) {
        Palette_ResetTables();
        if (table) std::memcpy(TranslucencyTable, table, sizeof TranslucencyTable);
    };
    seam.setAlphaTable = [](const uint8_t* table) {
        Palette_ResetTables();
        if (table) std::memcpy(AlphaTable, table, sizeof AlphaTable);
    };
    seam.lightInitWorld = Light_InitWorld;
    seam.sunDirection = [](float out[3]) {
        const Vector sun = Light_GetSunDirection();
        out[0] = sun.x, out[1] = sun.y, out[2] = sun.z;
    };
    seam.separateDraw = [] { return int(SeparateDraw); };
    seam.setSeparateDraw = [](int value) {
        // The hardware terrain path (mode flag bit 0) always draws separately.
        SeparateDraw = App_Globals().driverKind == 1 && (RenderFlags & 1) ? 1 : value;
    };
    seam.driverInitialise = Graphic_Initialise;
    seam.driverRelease = Graphic_Release;
    seam.driverPause = Graphic_Pause;
    seam.driverResume = Graphic_Resume;
    seam.driverPresent = [] { Graphic_Present(); };
    seam.driverSetMode = Graphic_SetMode;
    seam.driverResize = Graphic_Resize;
    seam.driverWasShutDown = Graphic_WasShutDown;
    seam.readGraphicOptions = [] { GraphicOptions_StartRun(); };
    seam.chooseDriver = Render_ChooseDriver;
    seam.saveGraphicOptions = [](bool) { Save_Graphic_Options(); };
    seam.lineDoublingRestore = Render_LineDoublingRestore;
    seam.driverClear = [](int colour) {
        GraphicDriver& driver = g_graphicDriver;
        if (driver.driverKind == kDriverSoftware && driver.Clear) driver.Clear(&driver, static_cast<uint32_t>(colour));
    };
    seam.displayFlags = [] { return GraphicD3DFlags; };
    seam.initBrightness = Palette_BuildGammaCurves;
    seam.presentForbidden = Graphic_TextureReloadPending;
    seam.lockFrame = Graphic_LockFrame;
    seam.unlockFrame = Graphic_UnlockFrame;
    seam.lockBackBuffer = Graphic_LockFrame;
    seam.unlockBackBuffer = Graphic_UnlockFrame;
    seam.beginScene = Graphic_BeginScene;
    seam.endScene = Graphic_EndScene;
    seam.hardwareMode = [] { return D3D_State().settings.radarType; };
    seam.hardwareFrameInfo = D3D_FrameInfo;
    seam.clearBackground = [](RenderView*) { Graphic_ClearBackground(); };
    seam.screenClip = [] {
        const GraphicBuffer& screen = g_graphicDriver.screen;
        return PlatRect{screen.clipLeft, screen.clipTop, screen.clipRight, screen.clipBottom};
    };
    seam.setPalette = [] { Graphic_SetPalette(0, 256); };
    seam.paletteFade = [](float step, int steps) { Palette_FadeOut(step, steps, 0, 0, 0); };
    seam.paletteRemapIdentity255 = [] { Palette_ClearRemap(255); };
    seam.paletteFindNearest = Palette_FindNearest;
    seam.fillRect = [](int left, int top, int right, int bottom, int colour) {
        Graphic_FillRect(&g_graphicDriver.screen, left, top, right, bottom, colour, 0);
    };
    // The queue is set up on first use (the profile directory is known by then).
    seam.renderQueueReset = [] {
        if (!RenderQueue_Current()) RenderQueue_Init();
        else RenderQueue_Reset();
    };
    seam.renderQueueFlush = [] { RenderQueue_Flush(Seam_Render().mainView()); };
    seam.renderQueueFree = RenderQueue_Close;
    Render_SetRasteriserLookup(Raster_DrawerFor);
    Shake_SetShiftPicture(Graphic_ShakePicture);
    seam.lightCloseWorld = Light_CloseWorld;
    Sprite_InstallSeam();
    Render_InstallStats();
    Light_InstallServices();
    TexMgr_InstallServices();
    TexMgr_InstallDeviceHooks();
}
