// gvtool input-probe: the input devices on the headless backend, driven by an event script.
#pragma once
#include <cstdio>
#include <string>

namespace content {

// Runs the script's frames (and two more) with a focused 640 by 480 window and a virtual clock
// of 1/30 s per frame; writes a line for every frame that reports something. With forceFeed,
// force feedback starts as the game starts it and the library calls are written in order.
// Returns the exit code; the problem in error when the script cannot be used.
int InputProbe(const std::string& eventsPath, bool forceFeed, std::FILE* out, std::string* error);

}  // namespace content
