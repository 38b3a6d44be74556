#include "core/debug.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "platform/exit.h"
#include "platform/msgbox.h"
#include "platform/paths.h"

namespace {

constexpr size_t kMessageBytes = 1024;
constexpr size_t kCaptionChars = 80;
constexpr size_t kLogPathChars = 256;
constexpr size_t kScreenPrintfChars = 90;
constexpr int kScrollStep = 10;
constexpr int kMaxScroll = 1 << 24;  // far past any page; keeps the offset from overflowing

// The defaults reach the input layer and the driver record through their seams.
void SeamReleaseMouse() { Seam_Cockpit().mouseRelease(); }
void SeamCaptureMouse() { Seam_Cockpit().mouseCapture(); }
void SeamDriverRelease() { Seam_Render().driverRelease(); }
void SeamDriverPause() { Seam_Render().driverPause(); }
void SeamDriverResume() { Seam_Render().driverResume(); }
void SeamCloseInput() { Seam_Cockpit().inputClose(); }
// Debugger output is only seen when asked for (GRAVENHOLT_TRACE=1), as a debugger would show it.
void WriteToStderr(const char* text) {
    static const bool wanted = [] {
        const char* trace = std::getenv("GRAVENHOLT_TRACE");
        return trace && *trace && std::strcmp(trace, "0") != 0;
    }();
    if (!wanted) return;
    std::fputs(text, stderr);
    std::fflush(stderr);
}

DiagnosticsHooks DefaultHooks() {
    DiagnosticsHooks hooks;
    hooks.releaseMouse = SeamReleaseMouse;
    hooks.captureMouse = SeamCaptureMouse;
    hooks.driverRelease = SeamDriverRelease;
    hooks.driverPause = SeamDriverPause;
    hooks.driverResume = SeamDriverResume;
    hooks.closeInput = SeamCloseInput;
    hooks.showDebugLines = DebugScreen_WriteLines;
    hooks.debuggerOutput = WriteToStderr;
    return hooks;
}

struct DiagnosticsState {
    int outputMode = kDebugOutNone;
    WindowHandle owner = 0;
    unsigned boxStyle = MB_ICONINFORMATION;
    std::string caption = "Gravenholt Error";
    std::string logPath = "debug.log";
    FILE* log = nullptr;
    bool inFatal = false;
    DiagnosticsHooks hooks = DefaultHooks();
};

DiagnosticsState& State() {
    static DiagnosticsState state;
    return state;
}

template <typename Fn>
void Call(Fn fn) {
    if (fn) fn();
}

struct DebugScreenState {
    uint8_t cells[kDebugScreenBytes] = {};
    DebugScreenPage pages[kDebugScreenMaxPages];
    int pageCount = 0;
    int selected = 0;
    DebugScreenPage* shown = nullptr;
    int scroll = 0;
};

DebugScreenState g_screen;

void ClearCells() {
    for (size_t i = 0; i < kDebugScreenBytes; i += 2) {
        g_screen.cells[i] = 0;
        g_screen.cells[i + 1] &= 0x07;
    }
}

void CloseLog() {
    DiagnosticsState& s = State();
    if (s.log) {
        std::fclose(s.log);
        s.log = nullptr;
    }
}

}  // namespace

// ---- Boxes and exits ------------------------------------------------------------------------

void Error_SetWindow(WindowHandle window) { State().owner = window; }
WindowHandle Error_GetWindow() { return State().owner; }
void Error_SetBoxStyle(unsigned flags) { State().boxStyle = flags; }
const char* Error_GetCaption() { return State().caption.c_str(); }
void Error_ResetForTests() { State().inFatal = false; }

void Diagnostics_Reset() {
    CloseLog();
    State() = DiagnosticsState{};
}

void Error_SetCaption(const char* format, ...) {
    char text[kCaptionChars + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    State().caption = text;
}

void Error_Fatal(const char* format, ...) {
    DiagnosticsState& s = State();
    if (s.inFatal) return;
    s.inFatal = true;
    Call(s.hooks.releaseMouse);
    char text[kMessageBytes];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Call(s.hooks.driverRelease);
    Plat_MessageBox(s.owner, text, s.caption.c_str(), MB_ICONERROR);
    Call(s.hooks.closeInput);
    Plat_Exit(112);
}

void Error_Warning(const char* format, ...) {
    DiagnosticsState& s = State();
    char text[kMessageBytes];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Call(s.hooks.releaseMouse);
    Call(s.hooks.driverPause);
    if (Plat_MessageBox(s.owner, text, s.caption.c_str(), MB_ICONWARNING | MB_OKCANCEL) == IDCANCEL) {
        Call(s.hooks.closeInput);
        Call(s.hooks.driverRelease);
        Plat_Exit(113);
    }
    Call(s.hooks.captureMouse);
    Call(s.hooks.driverResume);
}

// ---- Debug text -----------------------------------------------------------------------------

int Debug_SetOutputMode(int mode) {
    if (mode < kDebugOutNone || mode > kDebugOutLog) return 2;
    State().outputMode = mode;
    return 0;
}

int Debug_GetOutputMode() { return State().outputMode; }

void Debug_Printf(const char* format, ...) {
    DiagnosticsState& s = State();
    if (s.outputMode == kDebugOutNone) return;
    char text[kMessageBytes];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    switch (s.outputMode) {
        case kDebugOutScreenLines:
            if (s.hooks.showDebugLines) s.hooks.showDebugLines(text);
            break;
        case kDebugOutDebugger:
            if (s.hooks.debuggerOutput) s.hooks.debuggerOutput(text);
            break;
        case kDebugOutMessageBox:
            if (s.owner) Plat_MessageBox(s.owner, text, s.caption.c_str(), s.boxStyle);
            break;
        case kDebugOutLog:
            Debug_AppendLog(text);
            break;
        default:
            break;
    }
}

void Debug_Trace(const char* format, ...) {
    DiagnosticsState& s = State();
    char text[kMessageBytes];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (s.hooks.debuggerOutput) s.hooks.debuggerOutput(text);
}

// ---- The debug log --------------------------------------------------------------------------

void Debug_SetLogPath(const char* path) {
    std::string p = path ? path : "";
    if (p.size() > kLogPathChars) p.resize(kLogPathChars);
    State().logPath = p;
}

const char* Debug_GetLogPath() { return State().logPath.c_str(); }

int Debug_OpenLog() {
    CloseLog();  // a second open starts the file afresh instead of leaking the first handle
    DiagnosticsState& s = State();
    s.log = Plat_OpenFile(Plat_ProfilePath(s.logPath), "w");
    return s.log ? 1 : 0;
}

int Debug_AppendLog(const char* text) {
    DiagnosticsState& s = State();
    if (!s.log) {
        s.log = Plat_OpenFile(Plat_ProfilePath(s.logPath), "a");
        if (!s.log) return 0;
    }
    if (text) std::fputs(text, s.log);
    std::fflush(s.log);
    CloseLog();
    return 1;
}

// ---- Neighbours -----------------------------------------------------------------------------

void Diagnostics_SetHooks(const DiagnosticsHooks& hooks) { State().hooks = hooks; }
const DiagnosticsHooks& Diagnostics_GetHooks() { return State().hooks; }
void Diagnostics_ResetHooks() { State().hooks = DefaultHooks(); }

// ---- The debug text screen ------------------------------------------------------------------

void DebugScreen_Reset() {
    for (DebugScreenPage& page : g_screen.pages) page.draw = nullptr;
    g_screen.pageCount = 0;
    g_screen.selected = 0;
    g_screen.shown = nullptr;
    g_screen.scroll = 0;
    std::memset(g_screen.cells, 0, sizeof g_screen.cells);
}

DebugScreenPage* DebugScreen_AddPage(DebugScreenDrawFn draw) {
    if (g_screen.pageCount >= kDebugScreenMaxPages) return nullptr;
    DebugScreenPage* page = &g_screen.pages[g_screen.pageCount++];
    page->draw = draw;
    return page;
}

bool DebugScreen_IsPageShown(const DebugScreenPage* page) {
    return page != nullptr && page == g_screen.shown;
}

void DebugScreen_ClearPage(const DebugScreenPage* page) {
    if (DebugScreen_IsPageShown(page)) ClearCells();
}

void DebugScreen_Write(const DebugScreenPage* page, const char* text, int column, int row, uint8_t attribute) {
    if (!text || !DebugScreen_IsPageShown(page)) return;
    const long screenRow = static_cast<long>(row) - g_screen.scroll;
    if (screenRow < 0 || screenRow >= kDebugScreenPageRows) return;
    for (long i = 0; text[i] != '\0'; ++i) {
        const long x = static_cast<long>(column) + i;
        if (x >= kDebugScreenColumns) break;  // clipped at the end of the row
        if (x < 0) continue;
        const size_t cell = static_cast<size_t>(screenRow * kDebugScreenColumns + x) * 2;
        g_screen.cells[cell] = static_cast<uint8_t>(text[i]);
        g_screen.cells[cell + 1] = attribute;
    }
}

void DebugScreen_Printf(const DebugScreenPage* page, int column, int row, uint8_t attribute, const char* format,
                        ...) {
    if (!DebugScreen_IsPageShown(page)) return;
    char text[kScreenPrintfChars + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    DebugScreen_Write(page, text, column, row, attribute);
}

void DebugScreen_Show(DebugScreenPage* page) {
    g_screen.shown = page;
    if (page) {
        if (page->draw) page->draw(page);
    } else {
        ClearCells();
    }
}

void DebugScreen_Toggle() {
    if (g_screen.shown) {
        DebugScreen_Show(nullptr);
    } else {
        DebugScreen_Show(DebugScreen_SelectedPage());
    }
}

void DebugScreen_PrevPage() {
    if (g_screen.pageCount < 1) return;
    g_screen.selected = (g_screen.selected + g_screen.pageCount - 1) % g_screen.pageCount;
    if (g_screen.shown) DebugScreen_Show(DebugScreen_SelectedPage());
}

void DebugScreen_NextPage() {
    if (g_screen.pageCount < 1) return;
    g_screen.selected = (g_screen.selected + 1) % g_screen.pageCount;
    if (g_screen.shown) DebugScreen_Show(DebugScreen_SelectedPage());
}

void DebugScreen_ScrollUp() {
    g_screen.scroll = std::max(0, g_screen.scroll - kScrollStep);
    if (g_screen.shown) DebugScreen_Show(DebugScreen_SelectedPage());
}

void DebugScreen_ScrollDown() {
    if (g_screen.scroll <= kMaxScroll - kScrollStep) g_screen.scroll += kScrollStep;
    if (g_screen.shown) DebugScreen_Show(DebugScreen_SelectedPage());
}

uint8_t* DebugScreen_Cells() { return g_screen.cells; }

void DebugScreen_WriteLines(const char* text) {
    if (!text) return;
    constexpr size_t kRow = kDebugScreenColumns * 2;
    const size_t length = std::strlen(text);
    for (size_t at = 0; at == 0 || at < length; at += kDebugScreenColumns) {
        // Every row moves up one; the bottom row keeps its attributes and gets the next 80 characters.
        std::memmove(g_screen.cells, g_screen.cells + kRow, kRow * (kDebugScreenRows - 1));
        uint8_t* bottom = g_screen.cells + kRow * (kDebugScreenRows - 1);
        for (int c = 0; c < kDebugScreenColumns; ++c) bottom[2 * c] = 0;
        const size_t n = std::min<size_t>(kDebugScreenColumns, length - std::min(at, length));
        for (size_t c = 0; c < n; ++c) bottom[2 * c] = static_cast<uint8_t>(text[at + c]);
        if (length == 0) break;
    }
}
DebugScreenPage* DebugScreen_ShownPage() { return g_screen.shown; }
DebugScreenPage* DebugScreen_SelectedPage() {
    return g_screen.pageCount > 0 ? &g_screen.pages[g_screen.selected] : nullptr;
}
int DebugScreen_PageCount() { return g_screen.pageCount; }
int DebugScreen_ScrollOffset() { return g_screen.scroll; }
