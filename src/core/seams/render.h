// What the core calls of rendering, filled by the renderer at start-up.
#pragma once
#include "platform/window.h"

struct RenderSeam {
    // Reads "render.cfg" and the crash-detect record.
    void (*readGraphicOptions)();
    // Fills the graphics-driver record for the class name and opens the main window; false on failure.
    bool (*chooseDriver)(const char* className);
    // The driver record's hooks.
    bool (*driverInitialise)(int mode);  // false on failure
    void (*driverRelease)();
    void (*driverPause)();   // around a warning box
    void (*driverResume)();
    void (*driverPresent)();
    void (*driverSetMode)(int value);
    void (*driverResize)();
    // The frame's drawing sits between these: hardware scene or software lock. False from begin:
    // draw nothing this frame.
    bool (*driverBeginFrame)();
    void (*driverEndFrame)();
    bool (*driverWasShutDown)();
    // Writes the crash-detect record; cleanExit marks an orderly end.
    void (*saveGraphicOptions)(bool cleanExit);
    void (*initBrightness)();
    void (*freeSprites)();
    void (*freeFonts)();
    int (*blackIndex)();
};

RenderSeam& Seam_Render();
