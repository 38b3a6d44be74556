#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace {

uint32_t RealNow() {
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now() - start).count());
}

void RealSleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

const ClockSource kRealClock{RealNow, RealSleep};
const ClockSource* g_clock = &kRealClock;

uint32_t g_virtualNow = 0;
uint32_t g_virtualSlept = 0;
uint32_t VirtualNow() { return g_virtualNow; }
void VirtualSleep(uint32_t ms) {
    g_virtualNow += ms;
    g_virtualSlept += ms;
}
const ClockSource kVirtualClock{VirtualNow, VirtualSleep};

}  // namespace

uint32_t Plat_Milliseconds() { return g_clock->now(); }
void Plat_Sleep(uint32_t ms) { g_clock->sleep(ms); }
void Plat_SetClockSource(const ClockSource* source) { g_clock = source ? source : &kRealClock; }

void Plat_UseVirtualClock(uint32_t startMs) {
    g_virtualNow = startMs;
    g_virtualSlept = 0;
    g_clock = &kVirtualClock;
}
void Plat_AdvanceVirtualClock(uint32_t ms) { g_virtualNow += ms; }
uint32_t Plat_VirtualSleepTotal() { return g_virtualSlept; }
void Plat_UseRealClock() { g_clock = &kRealClock; }
