#include "platform/exit.h"

#include <cstdlib>

namespace {
ExitHook g_exitHook = nullptr;
}

void Plat_Exit(int exitCode) {
    if (g_exitHook) g_exitHook(exitCode);
    std::exit(exitCode);
}

ExitHook Plat_SetExitHook(ExitHook hook) {
    ExitHook previous = g_exitHook;
    g_exitHook = hook;
    return previous;
}
