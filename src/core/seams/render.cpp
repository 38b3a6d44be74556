#include "core/seams/render.h"

#include <cstring>

#include "core/app.h"
#include "platform/window.h"

namespace {

// PENDING(8.140) the display set-up replaces this stand-in: it opens the main window only.
bool StandInChooseDriver(const char* className) {
    WindowHandle window = Plat_CreateWindow(className, "Gravenholt", 640, 480);
    if (window) Plat_ShowWindow(window, SW_SHOW);
    return window != 0;
}

// PENDING(8.101) the graphics-driver record's hooks replace these stand-ins.
bool StandInInitialise(int) { return true; }
void StandInNothing() {}
void StandInSetMode(int) {}
bool StandInNotShutDown() { return false; }
void StandInSaveOptions(bool) {}
int StandInBlack() { return 0; }

float g_depthBias = 0.0f;
float StandInGetDepthBias() { return g_depthBias; }  // PENDING(8.101)
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
    seam.saveGraphicOptions = StandInSaveOptions;
    seam.initBrightness = StandInNothing;
    seam.freeSprites = StandInNothing;
    seam.freeFonts = StandInNothing;
    seam.blackIndex = StandInBlack;
    seam.getDepthBias = StandInGetDepthBias;
    seam.setDepthBias = StandInSetDepthBias;
    // PENDING(8.101) the drawing services of the display replace these stand-ins.
    seam.mainView = []() -> RenderView* { return nullptr; };
    seam.loadFonts = StandInNothing;
    seam.paletteRemapIdentity255 = StandInNothing;
    seam.setPalette = StandInNothing;
    seam.setMissionPalette = StandInNothing;
    seam.setDriverBlackIndex = [](int) {};
    seam.paletteFade = [](float, int) {};
    seam.renderStatsReset = StandInNothing;
    seam.renderStatsDraw = StandInNothing;
    seam.cameraTargetDisplay = StandInNothing;
    seam.renderQueueReset = StandInNothing;
    seam.renderQueueFlush = StandInNothing;
    seam.renderQueueFree = StandInNothing;
    seam.texCacheReset = StandInNothing;
    seam.texCacheFree = StandInNothing;
    seam.animTexUpdate = StandInNothing;
    seam.animTexFree = StandInNothing;
    seam.spriteTablesReset = StandInNothing;
    seam.graphicBuffersFree = StandInNothing;
    seam.presentForbidden = [] { return false; };
    seam.setHeadingMatrix = [](RenderView*) {};
    seam.clearBackground = [](RenderView*) {};
    seam.lineDoublingRestore = StandInNothing;
    seam.lockFrame = [] { return true; };
    seam.unlockFrame = StandInNothing;
    seam.beginScene = StandInNothing;
    seam.endScene = StandInNothing;
    seam.lockBackBuffer = [] { return false; };
    seam.unlockBackBuffer = StandInNothing;
    seam.hardwareMode = [] { return 0; };
    seam.hardwareFrameInfo = [](char letters[6], int* depth, int* count) {
        for (int i = 0; i < 6; ++i) letters[i] = '-';
        *depth = 16;
        *count = 0;
    };
    seam.screenClip = [] { return PlatRect{0, 0, 639, 479}; };
    seam.paletteFindNearest = [](float, float, float) { return 0; };
    seam.fontHeight = [] { return 8; };
    seam.textWidth = [](const char* text) { return 8 * static_cast<int>(std::strlen(text)); };
    seam.drawText = [](int, int, const char*, int) {};
    seam.fillRect = [](int, int, int, int, int) {};
    seam.spriteFind = [](const char*) { return 0; };
    seam.spriteDraw = [](int, int, int, uint32_t) {};
    seam.setSingleColourIndex = [](int) {};
    return seam;
}

}  // namespace

RenderSeam& Seam_Render() {
    static RenderSeam seam = MakeDefault();
    return seam;
}
