#include "core/clock.h"

#include <cmath>

#include "core/seams/net.h"
#include "platform/clock.h"

namespace {

constexpr uint32_t kMaxSmoothedStepMs = 200;
constexpr float kMinFrameTime = 1e-7f;
constexpr uint32_t kNetFramePeriodMs = 10;

struct ClockState {
    uint32_t lastTick = 0;
    bool paused = false;
    uint32_t pauseOffset = 0;
    uint32_t frameStep = 0;
    uint32_t gameMs = 0;
    float gameSeconds = 0.0f;
    uint32_t elapsedMs = 0;
    float elapsedSeconds = 0.0f;
    float frameTime = kMinFrameTime;
    float frameRate = 1.0f / kMinFrameTime;
    uint32_t frameCount = 0;
    bool netSign = false;
    uint32_t netOffset = 0;
    uint32_t netBase = 0;
};

ClockState g_clock;

bool IsNetworkGame() { return Seam_Net().isNetworkGame(); }

}  // namespace

void Clock_Init() {
    // The platform clock already has millisecond resolution; nothing to raise.
    g_clock.frameCount = 0;
    Clock_Reset(0);
}

void Clock_Shutdown() {}

void Clock_Reset(uint32_t ms) {
    g_clock.paused = false;
    g_clock.frameTime = 0.0f;
    g_clock.netOffset = 0;
    g_clock.lastTick = g_clock.netBase = Plat_Milliseconds();
    g_clock.gameMs = g_clock.elapsedMs = ms;
    Clock_Tick();
}

void Clock_SetTime(float seconds) {
    // Saved times are never negative or beyond the 32-bit millisecond range; clamp what is.
    double ms = static_cast<double>(seconds) / 0.001;
    if (!(ms > 0.0)) ms = 0.0;
    if (ms > 4294967295.0) ms = 4294967295.0;
    Clock_Reset(static_cast<uint32_t>(ms));
}

void Clock_RestorePaused(float seconds) {
    Clock_SetTime(seconds);
    Clock_Pause();
    // Without the reset's own tick: the time is the saved one to the millisecond.
    double ms = std::nearbyint(static_cast<double>(seconds) * 1000.0);
    if (!(ms > 0.0)) ms = 0.0;
    if (ms > 4294967295.0) ms = 4294967295.0;
    g_clock.gameMs = g_clock.elapsedMs = static_cast<uint32_t>(ms);
    g_clock.gameSeconds = static_cast<float>(g_clock.gameMs * 0.001);
    g_clock.elapsedSeconds = static_cast<float>(g_clock.elapsedMs * 0.001);
}

void Clock_Tick() {
    const bool network = IsNetworkGame();
    if (network) {
        // Signed: a tick that comes late must not turn into a sleep of days.
        const int32_t wait = static_cast<int32_t>(g_clock.lastTick + kNetFramePeriodMs - Plat_Milliseconds());
        if (wait >= 0) Plat_Sleep(static_cast<uint32_t>(wait));
    } else {
        while (Plat_Milliseconds() == g_clock.lastTick) Plat_Sleep(1);
    }

    const uint32_t now = Plat_Milliseconds();
    ++g_clock.frameCount;

    uint32_t step = 0;
    if (!g_clock.paused || network) {
        step = now - g_clock.lastTick;
        g_clock.lastTick = now;
    }
    g_clock.frameStep = step;

    if (!network) {
        g_clock.gameMs += step;
    } else if (g_clock.netSign) {
        g_clock.gameMs = now + g_clock.netOffset - g_clock.netBase;
    } else {
        g_clock.gameMs = now - (g_clock.netBase + g_clock.netOffset);
    }

    g_clock.elapsedMs += step;
    const uint32_t capped = step > kMaxSmoothedStepMs ? kMaxSmoothedStepMs : step;
    g_clock.gameSeconds = static_cast<float>(g_clock.gameMs * 0.001);
    float smoothed = static_cast<float>((capped * 0.001 + g_clock.frameTime) / 2.0);
    if (smoothed < kMinFrameTime) smoothed = kMinFrameTime;
    g_clock.frameTime = smoothed;
    g_clock.frameRate = 1.0f / smoothed;
    g_clock.elapsedSeconds = static_cast<float>(g_clock.elapsedMs * 0.001);
}

uint32_t Clock_GetFrameCount() { return g_clock.frameCount; }
float Clock_GetFrameTime() { return g_clock.frameTime; }
float Clock_GetTimeStep() { return g_clock.frameTime; }
float Clock_GetFrameRate() { return g_clock.frameRate; }
float Clock_GetTime() { return g_clock.gameSeconds; }
uint32_t Clock_GetTimeMs() { return g_clock.gameMs; }
float Clock_GetElapsed() { return g_clock.elapsedSeconds; }
uint32_t Clock_GetElapsedMs() { return g_clock.elapsedMs; }
uint32_t Clock_GetFrameStepMs() { return g_clock.frameStep; }

void Clock_Pause() {
    if (IsNetworkGame() || g_clock.paused) return;
    g_clock.paused = true;
    g_clock.pauseOffset = Plat_Milliseconds() - g_clock.lastTick;
}

void Clock_Resume() {
    if (!g_clock.paused) return;
    g_clock.paused = false;
    g_clock.lastTick = Plat_Milliseconds() - g_clock.pauseOffset;
}

bool Clock_IsPaused() { return g_clock.paused; }

void Clock_SetNetOffset(bool sign, uint32_t offsetMs, uint32_t baseMs) {
    g_clock.netSign = sign;
    g_clock.netOffset = offsetMs;
    g_clock.netBase = baseMs;
}

uint32_t Clock_GetNetBase() { return g_clock.netBase; }

uint32_t Clock_GetNetTime() {
    const uint32_t now = Plat_Milliseconds();
    return g_clock.netSign ? now + g_clock.netOffset : now - g_clock.netOffset;
}
