#include "core/debug.h"

#include <cstdarg>
#include <cstdio>

#include "platform/exit.h"
#include "platform/msgbox.h"

// PENDING(1.105) the whole diagnostics module (modes, log, debug screen) replaces this minimum.
namespace {
WindowHandle g_owner = 0;
bool g_inFatal = false;
}  // namespace

void Error_SetWindow(WindowHandle window) { g_owner = window; }
WindowHandle Error_GetWindow() { return g_owner; }
void Error_ResetForTests() { g_inFatal = false; }

void Error_Fatal(const char* format, ...) {
    if (g_inFatal) return;
    g_inFatal = true;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Plat_MessageBox(g_owner, text, "Gravenholt Error", MB_ICONERROR);
    Plat_Exit(112);
}

void Error_Warning(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (Plat_MessageBox(g_owner, text, "Gravenholt Error", MB_ICONWARNING | MB_OKCANCEL) == IDCANCEL) Plat_Exit(113);
}

void Debug_Printf(const char*, ...) {}
void Debug_Trace(const char*, ...) {}
