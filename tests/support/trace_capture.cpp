#include "support/trace_capture.h"

#include "core/debug.h"

namespace {
std::vector<std::string>& Captured() {
    static std::vector<std::string> lines;
    return lines;
}
void Collect(const char* text) { Captured().emplace_back(text ? text : ""); }
}  // namespace

TraceCapture::TraceCapture() {
    Captured().clear();
    DiagnosticsHooks hooks = Diagnostics_GetHooks();
    hooks.debuggerOutput = Collect;
    Diagnostics_SetHooks(hooks);
}

TraceCapture::~TraceCapture() {
    DiagnosticsHooks hooks = Diagnostics_GetHooks();
    if (hooks.debuggerOutput == Collect) Diagnostics_ResetHooks();
}

const std::vector<std::string>& TraceCapture::Lines() const { return Captured(); }

std::string TraceCapture::All() const {
    std::string all;
    for (const std::string& line : Captured()) all += line;
    return all;
}

int TraceCapture::Count(const std::string& fragment) const {
    int n = 0;
    for (const std::string& line : Captured())
        if (line.find(fragment) != std::string::npos) ++n;
    return n;
}

void TraceCapture::Clear() { Captured().clear(); }
