// Screen modes, pause and screenshots. While a mission runs one value (the app's screenMode)
// tells the window procedure and the inactive frame what the screen is doing: 1 the game runs,
// 2 paused, 4 and 8 other full-screen views (keys reach the game keys), 16 a modal view, 32 a
// movie plays.
#pragma once
#include <cstdint>
#include <string>

#include "render/graphicbuffer.h"

constexpr int kScreenModeGame = 1;
constexpr int kScreenModePaused = 2;

// Returns the previous mode; the new mode is `mode`, or 1 when `mode` is already active.
int Screen_ToggleMode(int mode);
// Mode 1 and return mode 1 (start-up, before the first frame).
void Screen_ResetMode();
int Screen_ReturnMode();
// Enters or leaves the pause state: leaving the game view releases the mouse, suspends sound
// and CD music, pauses the game clock and disables force feedback; coming back undoes it.
void Pause_Toggle();
// In pause mode: takes the key event; the pause game key leaves the pause state and answers
// 0; any other key code is returned (0 when there was none).
int Pause_HandleKey();
// The inactive frame's key handling: pause mode and the views 4 and 8.
void Screen_HandleModeKeys();
// Writes the 8-bit screen with its palette as "SCR%04d.pcx" in the profile directory, at the
// first number from the counter on whose file does not exist yet, and advances the counter.
// The file's path, or "" when nothing could be written.
std::string Screen_CaptureToPcx(const GraphicBuffer* screen, const uint8_t palette[768]);
// The screenshot game key: the software screen and the driver's palette.
void Screen_SaveScreenshot();
void Screen_SetShotCounter(int32_t counter);  // tests
int32_t Screen_ShotCounter();

// Fills the shell seam's screen-state entries.
void Shell_InstallScreenModes();
// Counter 0, modes back to 1 (the shared test fixture).
void ScreenModes_Reset();
