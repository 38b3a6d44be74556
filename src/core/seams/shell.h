// What the core calls of the front-end shell and the player profile.
#pragma once
#include <cstdint>

#include "platform/window.h"

// What the main menu asks for besides a new state.
constexpr int kShellAskNothing = 0;
constexpr int kShellAskCredits = 1;
constexpr int kShellAskIntro = 2;

struct ShellSeam {
    void (*playerDefRead)();
    void (*playerDefWrite)();
    void (*playerDefFree)();
    uint8_t* (*playerDef)();  // the 116-byte settings record
    void (*copyStartupText)();
    void (*setupFont)();
    void (*saveMouseSettings)();
    void (*restoreMouseSettings)();
    void (*restoreSystemSettings)();
    void (*setScreenMode)(int mode);  // also records it as the previous mode
    void (*setCursor)(int cursor);
    void (*selectSavedCursor)();
    bool (*isSoundPlaying)();
    void (*stopSound)();
    void (*refreshMenu)();
    void (*refreshScreenState)();
    LResult (*modalProc)(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
    void (*inGameMenuKey)(uint32_t message, WParam wParam, LParam lParam);
    void (*resetScreenMode)();  // the game view, before the first frame
    void (*pauseToggle)();     // enters or leaves the pause state
    void (*saveScreenshot)();  // writes the screen as the next numbered picture file

    // The game loop and the frame.
    // Runs the main menu until it sets a new game state; returns what it asked for besides.
    int (*mainMenu)();
    void (*failureScreen)();
    void (*successScreen)();
    void (*setInGameScreenState)();
    void (*messageWindowsSetup)();
    void (*messageWindowsDraw)();
    void (*messageWindowsFree)();
};

ShellSeam& Seam_Shell();
// Puts the stand-in settings record back to the defaults it starts the program with.
void ShellSeam_ResetStandInRecord();
