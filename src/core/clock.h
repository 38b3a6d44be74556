// The frame clock: the one source of time for the simulation.
//
// Ticked once per frame. A single-player game advances by the measured step of each frame
// (nothing while paused); a network game follows the platform clock corrected by the offset
// agreed with the host. The smoothed frame time, the simulation's time step, is built from
// steps capped at 200 ms.
#pragma once
#include <cstdint>

void Clock_Init();
void Clock_Shutdown();
// Not paused, no network offset, game time and elapsed time = ms, then one tick.
void Clock_Reset(uint32_t ms);
void Clock_SetTime(float seconds);
// A saved game's time: set to the nearest millisecond exactly (no tick added) and paused, so
// that saving again writes the same time.
void Clock_RestorePaused(float seconds);
void Clock_Tick();

uint32_t Clock_GetFrameCount();
float Clock_GetFrameTime();  // smoothed frame time in seconds
float Clock_GetTimeStep();   // the same value
float Clock_GetFrameRate();
float Clock_GetTime();       // game time in seconds
uint32_t Clock_GetTimeMs();
float Clock_GetElapsed();    // seconds accumulated from the uncapped steps
uint32_t Clock_GetElapsedMs();
uint32_t Clock_GetFrameStepMs();  // the measured step of the last tick

// Single-player only: the game time stands still until resumed; frames still count.
void Clock_Pause();
void Clock_Resume();
bool Clock_IsPaused();

// Network correction: with the sign set the net time is now + offset, else now - offset.
void Clock_SetNetOffset(bool sign, uint32_t offsetMs, uint32_t baseMs);
uint32_t Clock_GetNetBase();
uint32_t Clock_GetNetTime();
