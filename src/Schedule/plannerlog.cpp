#include "Schedule/plannerlog.h"

#include <cstdarg>
#include <cstdio>

namespace {
uint32_t g_mask = 0;
constexpr int kLineBytes = 1024;
}  // namespace

void PlannerLog_Set(uint32_t categories) { g_mask |= categories; }
void PlannerLog_Clear(uint32_t categories) { g_mask &= ~categories; }
bool PlannerLog_IsOn(uint32_t categories) { return (g_mask & categories) != 0; }
uint32_t PlannerLog_Mask() { return g_mask; }

void PlannerLog_Printf(uint32_t category, const char* format, ...) {
    if (!PlannerLog_IsOn(category)) return;
    char line[kLineBytes];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    // The newline goes in even when the text was cut.
    size_t end = written < 0 ? 0 : static_cast<size_t>(written);
    if (end > sizeof line - 2) end = sizeof line - 2;
    line[end] = '\n';
    line[end + 1] = '\0';
    Debug_Trace("%s", line);
}

void PlannerLog_Reset() { g_mask = 0; }
