// Diagnostics: fatal errors, warnings, debug text routed by an output mode, the debug log file and
// the monochrome 80 x 25 debug text screen with its pages.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/window.h"

#if defined(__GNUC__)
#define GV_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define GV_PRINTF(fmt, args)
#endif

// ---- Boxes and exits ------------------------------------------------------------------------

// Releases the mouse, lets the display show the box, shows the message captioned with the
// caption (MB_ICONERROR), closes the input devices and ends with exit code 112.
// A second fatal error while the first box is up returns at once.
void Error_Fatal(const char* format, ...) GV_PRINTF(1, 2);
// Shows the message in an OK/Cancel warning box. Cancel closes input, releases the display and
// ends with exit code 113; OK captures the mouse again, resumes the display and returns.
void Error_Warning(const char* format, ...) GV_PRINTF(1, 2);
// The owner window of every box (0 until the main window exists).
void Error_SetWindow(WindowHandle window);
WindowHandle Error_GetWindow();
// Box flags of Debug_Printf's message-box mode (initially MB_ICONINFORMATION).
void Error_SetBoxStyle(unsigned flags);
// printf-formats the caption of every box; at most 80 characters are kept.
void Error_SetCaption(const char* format, ...) GV_PRINTF(1, 2);
const char* Error_GetCaption();
// Clears the fatal re-entry guard (tests that catch the exit go on afterwards).
void Error_ResetForTests();
// Every setting of this file back to its start: output mode, owner, box style, caption, log path
// (an open log is closed), the fatal guard and the hooks.
void Diagnostics_Reset();

// ---- Debug text -----------------------------------------------------------------------------

enum DebugOutputMode : int {
    kDebugOutNone = 0,
    kDebugOutScreenLines = 1,  // the on-screen debug lines
    kDebugOutDebugger = 2,     // the debugger output (stderr here)
    kDebugOutMessageBox = 3,   // a box on the owner window with the caption and the box style
    kDebugOutLog = 4,          // appended to the log file
};

// Modes outside 0..4 are refused with 2; else the mode is kept and 0 returned.
int Debug_SetOutputMode(int mode);
int Debug_GetOutputMode();
// Formats at most 1023 characters and sends them where the output mode says.
void Debug_Printf(const char* format, ...) GV_PRINTF(1, 2);
// Formats at most 1023 characters and sends them to the debugger output, whatever the mode.
void Debug_Trace(const char* format, ...) GV_PRINTF(1, 2);

// ---- The debug log --------------------------------------------------------------------------

// The log file name, resolved under the profile directory; at most 256 characters are kept.
// Initially "debug.log".
void Debug_SetLogPath(const char* path);
const char* Debug_GetLogPath();
// Creates or truncates the log and keeps it open for the next append. 0 when it cannot be opened.
int Debug_OpenLog();
// Appends the text to the log (opening it for append when it is not open), flushes and closes
// it again. 0 when the file cannot be opened.
int Debug_AppendLog(const char* text);

// ---- Neighbours told around boxes -----------------------------------------------------------

// What the diagnostics call in the input layer and the graphics driver. Null entries are skipped;
// Diagnostics_ResetHooks puts the defaults back.
struct DiagnosticsHooks {
    void (*releaseMouse)();                   // clip off, cursor shown
    void (*captureMouse)();                   // clip on again after a warning box
    void (*driverRelease)();                  // the display gives way to the desktop
    void (*driverPause)();                    // the display steps aside for a warning box
    void (*driverResume)();                   // and comes back after OK
    void (*closeInput)();                     // every input device closed
    void (*showDebugLines)(const char* text);  // output mode 1: lines of the debug screen
    void (*debuggerOutput)(const char* text);  // output mode 2 and Debug_Trace
};
void Diagnostics_SetHooks(const DiagnosticsHooks& hooks);
const DiagnosticsHooks& Diagnostics_GetHooks();
void Diagnostics_ResetHooks();

// ---- The debug text screen ------------------------------------------------------------------

constexpr int kDebugScreenColumns = 80;
constexpr int kDebugScreenRows = 25;
constexpr int kDebugScreenPageRows = 24;  // rows a page writes to: 0..23 after scrolling
constexpr int kDebugScreenMaxPages = 32;
constexpr size_t kDebugScreenBytes = kDebugScreenColumns * kDebugScreenRows * 2;

// One page slot; its address is the page's handle.
struct DebugScreenPage;
using DebugScreenDrawFn = void (*)(DebugScreenPage* page);
struct DebugScreenPage {
    DebugScreenDrawFn draw = nullptr;
};

// All slots empty, no page shown or selected, no scroll, the screen blank.
void DebugScreen_Reset();
// Registers a page; null when 32 pages exist.
DebugScreenPage* DebugScreen_AddPage(DebugScreenDrawFn draw);
bool DebugScreen_IsPageShown(const DebugScreenPage* page);
// Only for the page shown: every character becomes 0, attributes keep their low three bits.
void DebugScreen_ClearPage(const DebugScreenPage* page);
// Writes text at (column, row - scroll) with the attribute, only for the page shown and only for
// screen rows 0..23; characters past the end of the row (or before its start) are dropped.
void DebugScreen_Write(const DebugScreenPage* page, const char* text, int column, int row, uint8_t attribute);
// Formats at most 90 characters, then DebugScreen_Write.
void DebugScreen_Printf(const DebugScreenPage* page, int column, int row, uint8_t attribute,
                        const char* format, ...) GV_PRINTF(5, 6);
// Shows the page (its draw function runs); null shows none and clears the screen.
void DebugScreen_Show(DebugScreenPage* page);
void DebugScreen_Toggle();
void DebugScreen_PrevPage();
void DebugScreen_NextPage();
void DebugScreen_ScrollUp();
void DebugScreen_ScrollDown();

// Writes the text as lines of 80 characters at the bottom, each line scrolling the whole screen
// up one row first (the bottom row's characters are cleared, its attributes kept). An empty text
// still scrolls one row.
void DebugScreen_WriteLines(const char* text);
// The screen's cells, two bytes each (character, then attribute), row by row; whoever shows the
// screen reads them, the debug line writer writes them.
uint8_t* DebugScreen_Cells();
DebugScreenPage* DebugScreen_ShownPage();
DebugScreenPage* DebugScreen_SelectedPage();  // null with no pages
int DebugScreen_PageCount();
int DebugScreen_ScrollOffset();
