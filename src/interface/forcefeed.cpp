// The force-feedback stick: the library "iforce.dll", loaded at run time when asked for, and
// the one stick on ports 1 to 4 that answers.
#include <string_view>

#include "interface/inputdevices.h"
#include "platform/clock.h"
#include "platform/input.h"

namespace {

const char* const kEntries[] = {
    "_InitStick", "_GetStickStatus", "_Echo", "_IForceAuthenticate", "_GetStickError", "_EnableForces",
    "_DisableForces", "_ClearForces", "_CloseStick", "_SetJoystickPort", "_Jolt", "_ButtonReflexJolt",
    "_ButtonReflexClear", "_XVibration", "_XVibrationClear", "_YVibration", "_YVibrationClear", "_Buffeting",
    "_BuffetingClear", "_VectorForce", "_VectorForceClear", "_XYVectorForce", "_EnablePositionReporting",
    "_DisablePositionReporting", "_GetStickPosition", "_XSpring", "_XSpringClear", "_YSpring", "_YSpringClear",
};
constexpr int kEntryCount = sizeof kEntries / sizeof kEntries[0];
constexpr uint32_t kSettleMs = 200;

using InitStickFn = int (*)(int32_t* status);
using PortFn = int (*)(int port);
using CallFn = int (*)();

struct ForceState {
    bool wanted = false;
    bool active = false;
    PlatLibrary library = 0;
    PlatProc entries[kEntryCount] = {};
    int32_t status[15] = {};
};

ForceState g_force;

PlatProc Entry(const char* name) {
    for (int i = 0; i < kEntryCount; ++i)
        if (std::string_view(kEntries[i]) == name) return g_force.entries[i];
    return nullptr;
}

int Call(const char* name) { return reinterpret_cast<CallFn>(Entry(name))(); }

void Unload() {
    Plat_FreeLibrary(g_force.library);
    g_force.library = 0;
    for (PlatProc& entry : g_force.entries) entry = nullptr;
}

}  // namespace

void ForceFeedback_Request() { g_force.wanted = true; }

void ForceFeedback_Start() {
    g_force.active = false;
    if (!g_force.wanted) return;
    g_force.library = Plat_LoadLibrary("iforce.dll");
    if (!g_force.library) return;
    for (int i = 0; i < kEntryCount; ++i) {
        g_force.entries[i] = Plat_GetProcAddress(g_force.library, kEntries[i]);
        if (!g_force.entries[i]) {  // an incomplete library is not kept loaded
            Unload();
            return;
        }
    }
    for (int port = 1; port <= 4; ++port) {
        reinterpret_cast<PortFn>(Entry("_SetJoystickPort"))(port);
        if (reinterpret_cast<InitStickFn>(Entry("_InitStick"))(g_force.status) != 0) {
            g_force.active = true;
            return;
        }
        Call("_CloseStick");
    }
    Unload();
    Plat_Sleep(kSettleMs);
}

int ForceFeedback_Enable(int value) { return g_force.active ? Call("_EnableForces") : value; }

int ForceFeedback_Disable() { return g_force.active ? Call("_DisableForces") : 0; }

void ForceFeedback_Clear() {
    if (g_force.active) Call("_ClearForces");
}

void ForceFeedback_Close() {
    if (!g_force.active) return;
    Call("_CloseStick");
    Plat_Sleep(kSettleMs);
    Unload();
    Plat_Sleep(kSettleMs);
    g_force.active = false;
}

bool ForceFeedback_IsActive() { return g_force.active; }

void ForceFeedback_Reset() {
    if (g_force.library) Unload();
    g_force = ForceState{};
}
