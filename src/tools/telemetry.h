// The vehicle telemetry display: the driving state of a craft as a column of debug values
// (controls, position, velocity and acceleration as vectors and lengths, three hover ratios).
// It reads nothing itself; its owner writes the fields. The "TelemetryGraph" registry member
// owns one for the user's craft while the "render.cfg" key "Debug" "Telemetry" is 1.
#pragma once
#include "core/mathlib.h"
#include "core/phasehook.h"
#include "interface/hudelement.h"

struct VehicleTelemetry;

class TelemetryDisplay : public HudElement {
public:
    TelemetryDisplay();  // layers 3, 0 and 7 at priority 2
    // Twelve lines from y = 140: throt, steer, straf, brake, posit, veloc and its length, accel
    // and its length, heightRatio, thrustRatio, trackRatio.
    void Draw() override;

    Vector posit{};
    Vector veloc{};
    Vector accel{};
    float steer = 0.0f, throt = 0.0f, straf = 0.0f, brake = 0.0f;
    float thrustRatio = 0.0f, heightRatio = 0.0f, trackRatio = 0.0f;
};

// The craft's record into the display's fields.
void TelemetryDisplay_Copy(const VehicleTelemetry& record, TelemetryDisplay* display);

// The registry member: at mission set-up, with the key on, a display and a record; every render
// the record goes to the user's hover craft of the moment (taken from the one before) and into
// the display; at clean-up both are freed.
PhaseHook& TelemetryGraph_Member();
// The member's display, null while there is none.
TelemetryDisplay* TelemetryGraph_Display();
// Frees what the member holds (tests).
void TelemetryGraph_Reset();
