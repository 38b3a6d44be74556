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
    void (*inputClose)();
    void (*keyboardClearState)();
    void (*keyboardOnMessage)(uint32_t message, WParam wParam, LParam lParam);
    void (*mouseOnMessage)(uint32_t message, WParam wParam, LParam lParam);
};

CockpitSeam& Seam_Cockpit();
