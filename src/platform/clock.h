// Monotonic milliseconds and sleep. Tests swap in a virtual clock whose sleep advances time.
#pragma once
#include <cstdint>

uint32_t Plat_Milliseconds();
void Plat_Sleep(uint32_t ms);

struct ClockSource {
    uint32_t (*now)();
    void (*sleep)(uint32_t ms);
};
void Plat_SetClockSource(const ClockSource* source);  // null restores the real clock

// A virtual clock: time stands still until advanced or slept through.
void Plat_UseVirtualClock(uint32_t startMs);
void Plat_AdvanceVirtualClock(uint32_t ms);
uint32_t Plat_VirtualSleepTotal();  // ms slept on the virtual clock since it was set
void Plat_UseRealClock();
