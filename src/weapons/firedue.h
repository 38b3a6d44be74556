// The one "fire what fell due" loop of weapons, ordnance and effects: a clock counts down the
// time to the next event; each event that fell due fires and winds the clock up by the interval.
#pragma once

// A clock within this of zero is not due (rounding left over from adding intervals).
constexpr float kFireDueTolerance = 1e-6f;

// When a clock is due: more than the tolerance below zero, or already at zero.
enum class FireDueAt { PastTolerance, Zero };

// Calls fire() while the clock is due, adding the interval after each call, at most maxEvents
// times. An interval at or below 0 fires once and leaves the clock at 0. Returns how many
// events fired.
template <class Fire>
int FireDue(float& clock, float interval, int maxEvents, Fire&& fire, FireDueAt at = FireDueAt::PastTolerance) {
    int fired = 0;
    while (fired < maxEvents && (at == FireDueAt::Zero ? clock <= 0.0f : clock < -kFireDueTolerance)) {
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
