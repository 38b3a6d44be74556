// The simulation tick period, seconds a tick: 1/30 at start. The frame clock measures its steps
// and keeps no fixed tick, so nothing in the game reads this; the run-time tuning list shows and
// changes it.
#pragma once

extern float Sim_TickPeriod;
constexpr float kSimTickPeriodStart = 1.0f / 30.0f;
// Back to the start value (tests).
void SimTick_Reset();
