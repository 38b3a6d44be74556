#include "core/seams/render.h"

#include "core/seams/registry.h"

#include <cstring>

#include "core/app.h"
#include "platform/window.h"

namespace {

bool g_terrainExposure = false;

// The defaults until the renderer installs its own (Render_InstallSeam): the driver choice only
// opens the main window, and the display hooks do nothing.
bool StandInChooseDriver(const char* className) {
    WindowHandle window = Plat_CreateWindow(className, "Gravenholt", 640, 480);
    if (window) Plat_ShowWindow(window, SW_SHOW);
    return window != 0;
}

bool StandInInitialise(int) { return true; }
void StandInNothing() {}
void StandInSetMode(int) {}
bool StandInNotShutDown() { return false; }
void StandInSaveOptions(bool) {}
int StandInBlack() { return 0; }

// Until the renderer installs its overlay depth, the bias is kept here.
float g_depthBias = 0.0f;
float StandInGetDepthBias() { return g_depthBias; }
void StandInSetDepthBias(float bias) { g_depthBias = bias; }

RenderSeam MakeDefault() {
    RenderSeam seam{};
    seam.readGraphicOptions = StandInNothing;
    seam.chooseDriver = StandInChooseDriver;
    seam.driverInitialise = StandInInitialise;
    seam.driverRelease = StandInNothing;
    seam.driverPause = StandInNothing;
    seam.driverResume = StandInNothing;
    seam.driverPresent = StandInNothing;
    seam.driverSetMode = StandInSetMode;
    seam.driverResize = StandInNothing;
    seam.driverWasShutDown = StandInNotShutDown;
    seam.driverClear = [](int) {};
    seam.displayFlags = [] { return App_Globals().driverKind == 1 ? 1u : 0u; };
    seam.saveGraphicOptions = StandInSaveOptions;
    seam.initBrightness = StandInNothing;
    // The sprite table and the bitmap fonts: Render_InstallSeam fills these.
    seam.loadSprites = StandInNothing;
    seam.freeSprites = StandInNothing;
    seam.freeFonts = StandInNothing;
    seam.blackIndex = StandInBlack;
    seam.getDepthBias = StandInGetDepthBias;
    seam.setDepthBias = StandInSetDepthBias;
    // No view until the camera installs its own (Camera_InstallSeam).
    seam.mainView = []() -> RenderView* { return nullptr; };
    seam.loadFonts = StandInNothing;
    seam.paletteRemapIdentity255 = StandInNothing;  // filled by Render_InstallSeam
    seam.setPalette = StandInNothing;  // filled by Render_InstallSeam
    // The renderer fills these at start-up (Render_InstallSeam).
    seam.setMissionPalette = StandInNothing;
    seam.applyWorldPalette = [](const uint8_t*, const uint8_t*) {};
    seam.setTranslucencyTable = [](const uint8_t*) {};
    seam.setAlphaTable = [](const uint8_t*) {};
    seam.lightInitWorld = [](int) {};
    seam.sunDirection = [](float out[3]) { out[0] = 0.0f, out[1] = 1.0f, out[2] = 0.0f; };
    seam.separateDraw = [] { return 0; };
    seam.setSeparateDraw = [](int) {};
    seam.setDriverBlackIndex = App_ResetDriverMode;  // the driver's mode hook, then present
    seam.paletteFade = [](float, int) {};  // filled by Render_InstallSeam
    // The statistics overlay fills these three at start-up (Render_InstallSeam).
    seam.renderStatsReset = StandInNothing;
    seam.renderStatsDraw = StandInNothing;
    seam.cameraTargetDisplay = StandInNothing;
    // The render queue fills these three at start-up (Render_InstallSeam).
    seam.renderQueueReset = StandInNothing;
    seam.renderQueueFlush = StandInNothing;
    seam.renderQueueFree = StandInNothing;
    seam.lightCloseWorld = StandInNothing;  // filled by Render_InstallSeam
    // The texture binder fills these four at start-up (TexMgr_InstallServices).
    seam.texCacheReset = StandInNothing;
    seam.texCacheFree = StandInNothing;
    seam.animTexUpdate = StandInNothing;
    seam.animTexFree = StandInNothing;
    seam.spriteTablesReset = StandInNothing;
    seam.graphicBuffersFree = StandInNothing;  // PENDING(9.124) the notepad's back buffer
    seam.presentForbidden = [] { return false; };
    seam.setHeadingMatrix = [](RenderView*) {};  // the camera installs its own
    seam.clearBackground = [](RenderView*) {};
    seam.lineDoublingRestore = StandInNothing;
    seam.lockFrame = [] { return true; };
    seam.unlockFrame = StandInNothing;
    // The hardware driver fills these six at start-up (Render_InstallSeam).
    seam.beginScene = [] { return true; };
    seam.endScene = StandInNothing;
    seam.lockBackBuffer = [] { return false; };
    seam.unlockBackBuffer = StandInNothing;
    seam.hardwareMode = [] { return 0; };
    seam.hardwareFrameInfo = [](char letters[6], int* depth, int* count) {
        for (int i = 0; i < 6; ++i) letters[i] = '-';
        *depth = 16;
        *count = 0;
    };
    seam.screenClip = [] { return PlatRect{0, 0, 639, 479}; };  // filled by Render_InstallSeam
    seam.paletteFindNearest = [](float, float, float) { return 0; };  // filled by Render_InstallSeam
    seam.fontHeight = [] { return 8; };
    seam.textWidth = [](const char* text) { return 8 * static_cast<int>(std::strlen(text)); };
    seam.drawText = [](int, int, const char*, int) {};
    seam.fillRect = [](int, int, int, int, int) {};  // Render_InstallSeam fills it
    seam.spriteFind = [](const char*) { return 0; };
    seam.queueBillboard = [](RenderView*, const float*, float, int) {};
    seam.sphereViewDepth = [](const RenderView*, const float*, float, float*) { return false; };
    seam.viewDepth = [](const RenderView*, const float*, float*) { return false; };
    seam.queueQuad = [](RenderView*, const float (*)[3], int, uint32_t) {};
    seam.queueLine = [](RenderView*, const float*, const float*, float, uint32_t) {};
    seam.smokeQueuePuff = [](const float*, float) {};
    seam.queueBillboardFlags = [](RenderView*, const float*, float, int, uint32_t) {};
    // No drawing reads the switch yet: it is kept here, one flag for the frame.
    g_terrainExposure = false;
    seam.terrainExposureSet = [] { g_terrainExposure = true; };
    seam.terrainExposure = [] { return g_terrainExposure; };
    seam.terrainExposureClear = [] { g_terrainExposure = false; };
    seam.viewEye = [](const RenderView*, float*, float*) { return false; };
    seam.spriteDraw = [](int, int, int, uint32_t) {};
    seam.setSingleColourIndex = [](int) {};
    seam.viewPoint = [](const RenderView*, const float*, float*) { return false; };
    seam.queuePointSprite = [](const float*, float, int, uint32_t) {};
    seam.simpleSprites = [] { return false; };
    return seam;
}

}  // namespace

RenderSeam& Seam_Render() { return SeamTableInstance<RenderSeam, MakeDefault>(); }

namespace {
const SeamRegistration<RenderSeam, MakeDefault> kRegistration("RenderSeam");
}  // namespace
