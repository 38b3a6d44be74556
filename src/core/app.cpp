#include "core/app.h"

#include "platform/exit.h"

// PENDING(1.101) the program entry replaces this minimum.
namespace {
AppGlobals g_app;
int32_t g_state = 5;
}  // namespace

AppGlobals& App_Globals() { return g_app; }
int App_Main(const char*) { return 0; }
LResult App_WindowProc(WindowHandle, uint32_t, WParam, LParam) { return 0; }
int App_PumpMessage() { return 0; }
void App_PumpAllMessages() {}
void App_OutOfMemory(const char*) { Plat_Exit(107); }
void App_CloseDisplay() {}
void App_ResetDriverMode(int) {}
void App_PlayCredits() {}
void App_PlayOutro() {}
const char* App_Text(const char* english) { return english; }
int32_t Game_GetState() { return g_state; }
void Game_SetState(int32_t state) { g_state = state; }
