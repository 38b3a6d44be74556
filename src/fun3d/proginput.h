// Three small services of the program: the program input device (a pseudo-device whose keys
// are program states, so key bindings can depend on the control mode or the terrain editor),
// the tuning hook behind the three tuning game keys, and the floor height at a point.
#pragma once
#include <cstdint>

#include "core/inputdevice.h"

// ---- input devices -----------------------------------------------------------------------
// Keys of the program device.
constexpr uint32_t kProgramKeyControlMode = 0x1;  // the current camera mode number is 0
constexpr uint32_t kProgramKeyAlwaysOn = 0x2;
constexpr uint32_t kProgramKeyEditMode = 0x4;  // the terrain editor is open

// The fourth device kind; its read puts the key word in discrete word 0.
extern const InputDevice ProgramInputDevice;

int ProgramInput_Count();
int ProgramInput_Describe(int index, InputDeviceRecord* out);
int ProgramInput_Read(void* device, int32_t* analog, uint32_t* discrete);

// Stores the camera mode number (1 at program start) and returns it.
int32_t View_SetCurrentMode(int32_t mode);
// The editor flag becomes 1 exactly when value is 1.
void Program_SetEditorFlag(int32_t value);
// Both words back to their program-start values (tests).
void ProgramInput_Reset();

// ---- tuning hook -------------------------------------------------------------------------
// What the tuning game keys reach: the developer tools' run-time tuning list implements it.
// Operation 0 steps to the next parameter, 1 raises the current one, 2 lowers it.
class TuningTarget {
public:
    virtual int TuningOperation(int operation) = 0;

protected:
    ~TuningTarget() = default;
};

// The most recently built tuning list becomes current (not owned).
void TuningHook_SetCurrent(TuningTarget* target);
TuningTarget* TuningHook_Current();
// A tuning list going away calls this so the keys never reach it afterwards.
void TuningHook_Forget(TuningTarget* target);
// Game keys 32, 33 and 34: operations 0, 1 and 2 of the current list; 0 with none.
int TuningHook_Next();
int TuningHook_Increase();
int TuningHook_Decrease();

// ---- floor height ------------------------------------------------------------------------
// The floor height under the point (Collision_GetFloorHeight without the normal).
float Collision_FloorHeightAt(double x, double y, double z);
