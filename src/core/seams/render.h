// What the core calls of rendering, filled by the renderer at start-up.
#pragma once
#include <cstdint>

#include "platform/window.h"

struct RenderView;

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
    bool (*driverWasShutDown)();
    // The driver's clear: the software screen filled with a colour index.
    void (*driverClear)(int colour);
    // The display flags after the driver choice: bit 0 the hardware driver is used, 2 its device
    // is up, 4 large assets (the archive index is chosen by them).
    uint32_t (*displayFlags)();
    // Writes the crash-detect record; cleanExit marks an orderly end.
    void (*saveGraphicOptions)(bool cleanExit);
    void (*initBrightness)();
    void (*loadSprites)();  // the sprite table, once at start-up
    void (*freeSprites)();
    void (*freeFonts)();
    int (*blackIndex)();

    // The global depth bias of 2-D drawing over the scene.
    float (*getDepthBias)();
    void (*setDepthBias)(float bias);

    // The game loop and the frame.
    RenderView* (*mainView)();
    void (*loadFonts)();  // the main bitmap font, and the Japanese one for Japanese
    void (*paletteRemapIdentity255)();
    void (*setPalette)();  // entries 0..255 of the mission palette to the display
    void (*setMissionPalette)();  // hands the loaded mission palette to the driver
    // The world's colour tables: a 768-byte palette with its 65,536-byte luminance table (or
    // null: built from the palette); the translucency and alpha tables (null: reset, disabled).
    void (*applyWorldPalette)(const uint8_t* rgb, const uint8_t* luma);
    void (*setTranslucencyTable)(const uint8_t* table);
    void (*setAlphaTable)(const uint8_t* table);
    // The world's light set for an hour of the day, and the unit vector towards the sun.
    void (*lightInitWorld)(int hour);
    void (*sunDirection)(float out[3]);
    // The render queue's separate-draw switch (forced on by the hardware terrain path).
    int (*separateDraw)();
    void (*setSeparateDraw)(int value);
    void (*setDriverBlackIndex)(int index);
    void (*paletteFade)(float step, int steps);
    void (*renderStatsReset)();
    void (*renderStatsDraw)();
    void (*cameraTargetDisplay)();
    void (*renderQueueReset)();
    void (*renderQueueFlush)();
    void (*renderQueueFree)();
    void (*lightCloseWorld)();  // the world's light table emptied at mission teardown
    void (*texCacheReset)();  // with the animated-texture list
    void (*texCacheFree)();
    void (*animTexUpdate)();
    void (*animTexFree)();
    void (*spriteTablesReset)();
    void (*graphicBuffersFree)();
    bool (*presentForbidden)();  // the flag that keeps a frame from presenting first
    void (*setHeadingMatrix)(RenderView* view);
    void (*clearBackground)(RenderView* view);
    void (*lineDoublingRestore)();
    bool (*lockFrame)();  // the software driver's lock hook (begin frame)
    void (*unlockFrame)();
    bool (*beginScene)();  // hardware driver; false: the device is lost and the frame draws nothing
    void (*endScene)();
    bool (*lockBackBuffer)();
    void (*unlockBackBuffer)();
    int (*hardwareMode)();  // the radar kind; 1 (shown as the letter F) locks the back buffer
    // The hardware frame-rate text's details: six letters (settings, F or f), depth, draw calls per frame.
    void (*hardwareFrameInfo)(char letters[6], int* depth, int* countPerFrame);
    PlatRect (*screenClip)();  // the screen buffer's inclusive clip rectangle
    int (*paletteFindNearest)(float red, float green, float blue);
    int (*fontHeight)();
    int (*textWidth)(const char* text);
    void (*drawText)(int x, int y, const char* text, int colour);
    void (*fillRect)(int left, int top, int right, int bottom, int colour);
    int (*spriteFind)(const char* name);
    // Queues one billboard (render-queue kind 9) of the sprite for a sphere at the world centre,
    // unless the sphere is wholly outside the view.
    void (*queueBillboard)(RenderView* view, const float worldCentre[3], float radius, int sprite);
    // The view depth of a sphere's centre; false when the sphere is wholly outside the view or
    // its centre is not in front of the eye.
    bool (*sphereViewDepth)(const RenderView* view, const float worldCentre[3], float radius, float* depth);
    // The view depth of a world point, without culling; false without a view or when the point
    // is not in front of the eye.
    bool (*viewDepth)(const RenderView* view, const float worldPoint[3], float* depth);
    // Queues a sprite quad (render-queue kind 10) of four world corners, keyed by the nearest
    // corner's depth, unless it is wholly outside the view.
    void (*queueQuad)(RenderView* view, const float worldCorners[4][3], int sprite, uint32_t flags);
    // Queues a coloured line of a width in metres (render-queue kind 8) between two world points,
    // keyed by the nearer end's depth, unless it is wholly outside the view.
    void (*queueLine)(RenderView* view, const float from[3], const float to[3], float width, uint32_t colour);
    // The view's eye (world position) and its forward direction; false without a view.
    bool (*viewEye)(const RenderView* view, float position[3], float forward[3]);
    void (*spriteDraw)(int sprite, int x, int y, uint32_t flags);
    void (*setSingleColourIndex)(int index);
    // Queues one "lsmoke.12" smoke sprite of a size at a world position (render-queue kind 1).
    void (*smokeQueuePuff)(const float position[3], float size);
    // As queueBillboard, with the primitive flags given.
    void (*queueBillboardFlags)(RenderView* view, const float worldCentre[3], float radius, int sprite, uint32_t flags);
    // The terrain-exposure view: switched on for the current frame by whatever shows the
    // terrain through (set again each frame it should stay), cleared after every frame.
    void (*terrainExposureSet)();
    bool (*terrainExposure)();
    void (*terrainExposureClear)();
    // A world point in view coordinates (x right, y up, z depth); false without a view.
    bool (*viewPoint)(const RenderView* view, const float worldPoint[3], float out[3]);
    // Queues one point sprite (render-queue kind 1) of a size at a point in view coordinates.
    void (*queuePointSprite)(const float viewPoint[3], float size, int sprite, uint32_t flags);
    // The simple-sprite switch: nearby flat effects are drawn as one point sprite while it is on.
    bool (*simpleSprites)();
};

// Effects that sort their sprites by depth use 64 buckets: bucket = view depth x this scale,
// rounded (so the buckets reach 256 m).
constexpr float kRenderEffectDepthScale = 0.25f;
// The colour of lines whose owner names none (its low byte is the palette index the software
// renderer draws with).
constexpr uint32_t kRenderDefaultLineColour = 0x00fffffe;

RenderSeam& Seam_Render();
