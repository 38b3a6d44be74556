#include "core/seams/render.h"

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
bool StandInBeginFrame() { return true; }
void StandInSaveOptions(bool) {}
int StandInBlack() { return 0; }

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
    seam.driverBeginFrame = StandInBeginFrame;
    seam.driverEndFrame = StandInNothing;
    seam.driverWasShutDown = StandInNotShutDown;
    seam.saveGraphicOptions = StandInSaveOptions;
    seam.initBrightness = StandInNothing;
    seam.freeSprites = StandInNothing;
    seam.freeFonts = StandInNothing;
    seam.blackIndex = StandInBlack;
    return seam;
}

}  // namespace

RenderSeam& Seam_Render() {
    static RenderSeam seam = MakeDefault();
    return seam;
}
