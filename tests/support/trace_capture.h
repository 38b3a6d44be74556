// Collects what reaches the debugger output (Debug_Trace and everything routed there) for the
// life of the object; the shared reset puts the diagnostics hooks back.
#pragma once
#include <string>
#include <vector>

class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    const std::vector<std::string>& Lines() const;
    std::string All() const;  // every text joined
    // How many texts contain the fragment.
    int Count(const std::string& fragment) const;
    void Clear();
};
