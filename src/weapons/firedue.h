// The one "fire what fell due" loop of weapons, ordnance and effects: a clock counts down the
// time to the next event; each event that fell due fires and winds the clock up by the interval.
#pragma once

// A clock within this of zero is not due (rounding left over from adding intervals).
constexpr float kFireDueTolerance = 1e-6f;

// Calls fire() while the clock is more than the tolerance below zero, adding the interval after
// each call, at most maxEvents times. An interval at or below 0 fires once and leaves the clock
// at 0. Returns how many events fired.
template <class Fire>
int FireDue(float& clock, float interval, int maxEvents, Fire&& fire) {
    int fired = 0;
    while (fired < maxEvents && clock < -kFireDueTolerance) {
        fire();
        ++fired;
        if (!(interval > 0.0f)) {
            clock = 0.0f;
            break;
        }
        clock += interval;
    }
    return fired;
}
