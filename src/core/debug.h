// Diagnostics: fatal errors, warnings and debug text.
#pragma once
#include "platform/window.h"

#if defined(__GNUC__)
#define GV_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define GV_PRINTF(fmt, args)
#endif

// Shows the message in a box captioned "Gravenholt Error" and ends with exit code 112.
// A second fatal error while the first box is up returns at once.
void Error_Fatal(const char* format, ...) GV_PRINTF(1, 2);
// OK resumes; Cancel ends with exit code 113.
void Error_Warning(const char* format, ...) GV_PRINTF(1, 2);
void Error_SetWindow(WindowHandle window);
WindowHandle Error_GetWindow();
void Debug_Printf(const char* format, ...) GV_PRINTF(1, 2);
void Debug_Trace(const char* format, ...) GV_PRINTF(1, 2);
// Clears the fatal re-entry guard (tests that catch the exit go on afterwards).
void Error_ResetForTests();
