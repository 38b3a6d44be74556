// The one way out of the program. Tests replace the hook to observe the exit code
// (a hook that returns lets the process exit as usual).
#pragma once

using ExitHook = void (*)(int exitCode);

[[noreturn]] void Plat_Exit(int exitCode);
ExitHook Plat_SetExitHook(ExitHook hook);  // returns the previous hook
