// What the core calls of the cockpit's input layer and force feedback.
#pragma once
#include "platform/window.h"

struct CockpitSeam {
    void (*forceFeedbackStart)();
    void (*forceFeedbackEnable)(bool on);
    void (*forceFeedbackClose)();
    void (*buildKeyNames)();
    void (*mouseCapture)();
    void (*mouseRelease)();
    void (*mouseRequestReset)();  // the mouse re-reads its state (after a display-mode change)
    void (*inputClose)();
    // Replaces out (at least 256 characters) with the "label.map" text of section/entry when
    // there is one; returns whether it did.
    bool (*labelMapGetLabel)(const char* section, const char* entry, char* out);
    void (*keyboardClearState)();
    void (*keyboardOnMessage)(uint32_t message, WParam wParam, LParam lParam);
    void (*mouseOnMessage)(uint32_t message, WParam wParam, LParam lParam);

    // The game loop and the frame.
    void (*inputInit)();  // opens the input maps and the keyboard
    void (*inputRead)();
    void (*gameKeyProcess)();
    void (*hudInitAll)();
    void (*hudStartAll)();
    void (*hudEndAll)();
    void (*hudStep)(int viewState, float frameTime);
    void (*hudDrawLayer)();
    bool (*hudIsOn)();
    bool (*radarIsOn)();  // the radar toggle of the game keys
    void (*radarDrawFrame)();
    void (*radarDrawSweep)();
    void (*commandMenuReset)();
    void (*cameraReset)(int full);
    void (*(*cameraGetStep)())();  // the current camera mode's per-frame step, or null
    int (*cameraViewState)();
    bool (*cameraOwnEntitySwitch)();
    bool (*cameraInsideViewSwitch)();
    void (*sightPausedStep)(float frameTime);
    void (*writeMapImage)();  // "shellmap" / "largemap"
};

CockpitSeam& Seam_Cockpit();
