#include "fun3d/proginput.h"

#include <cstring>

#include "collision/collision.h"

namespace {

int32_t g_controlModeWord = 1;
int32_t g_editorFlag = 0;
TuningTarget* g_tuning = nullptr;

const char* const kNoNames[] = {nullptr};
const char* const kKeyDisplayNames[] = {"Control Mode Key", "Always On Key", "Edit Mode Key", nullptr};
const char* const kKeyShortNames[] = {"ControlMode", "AlwaysOn", "EditMode", nullptr};

int OpenNothing(InputDeviceRecord*) { return 0; }
void CloseNothing(InputDeviceRecord*) {}
int ResetNothing(void*, int) { return 0; }

void CopyName(char* out, size_t size, const char* text) {
    std::memset(out, 0, size);
    std::strncpy(out, text, size - 1);
}

int Tune(int operation) { return g_tuning ? g_tuning->TuningOperation(operation) : 0; }

}  // namespace

const InputDevice ProgramInputDevice = {
    ProgramInput_Count, ProgramInput_Describe, OpenNothing, CloseNothing, ResetNothing, ProgramInput_Read, InputDevice_NoNextKey,
    InputDevice_NoFlush,
};

int ProgramInput_Count() { return 1; }

int ProgramInput_Describe(int, InputDeviceRecord* out) {
    if (!out) return 0;
    CopyName(out->name, sizeof out->name, "program");
    CopyName(out->displayName, sizeof out->displayName, "Program");
    CopyName(out->typeName, sizeof out->typeName, "program");
    out->analogCount = 0;
    out->discreteCount = 3;
    out->analogLongNames = kNoNames;
    out->analogShortNames = kNoNames;
    out->discreteLongNames = kKeyDisplayNames;
    out->discreteShortNames = kKeyShortNames;
    out->privateData = nullptr;
    return 0;
}

int ProgramInput_Read(void*, int32_t*, uint32_t* keys) {
    if (!keys) return 0;
    uint32_t word = kProgramKeyAlwaysOn;
    if (g_controlModeWord == 0) word |= kProgramKeyControlMode;
    if (g_editorFlag == 1) word |= kProgramKeyEditMode;
    *keys = word;
    return 0;
}

int32_t View_SetCurrentMode(int32_t mode) {
    g_controlModeWord = mode;
    return mode;
}

void Program_SetEditorFlag(int32_t value) { g_editorFlag = value == 1 ? 1 : 0; }

void ProgramInput_Reset() {
    g_controlModeWord = 1;
    g_editorFlag = 0;
}

void TuningHook_SetCurrent(TuningTarget* target) { g_tuning = target; }
TuningTarget* TuningHook_Current() { return g_tuning; }
void TuningHook_Forget(TuningTarget* target) {
    if (g_tuning == target) g_tuning = nullptr;
}
int TuningHook_Next() { return Tune(0); }
int TuningHook_Increase() { return Tune(1); }
int TuningHook_Decrease() { return Tune(2); }

float Collision_FloorHeightAt(double x, double y, double z) {
    float height = 0.0f;
    Collision_GetFloorHeight(x, y, z, &height, nullptr);
    return height;
}
