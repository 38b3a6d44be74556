// The mission timer's counting-up start, its stop, and the script calls that drive the one
// instance (the element itself lives in hudbasic.h).
#pragma once
#include <cstdint>

class MissionTimer;

// Counts up from start: frac 1.0 (the start value shows for one whole second), the two colour
// thresholds, countdown clear, active set. The timer is not shown.
void MissionTimer_InitCountUp(MissionTimer& timer, int32_t start, int32_t warn, int32_t alert);
// Clears active: the timer stays on screen with its time and colour.
void MissionTimer_Stop(MissionTimer& timer);

// Script calls on the one instance.
void MissionTimer_Stop();
// MissionTimer_InitCountUp, then the timer is shown.
void MissionTimer_StartCountUp(int32_t seconds, int32_t warn, int32_t alert);
// The time shown, in whole seconds.
int32_t MissionTimer_GetTime();
