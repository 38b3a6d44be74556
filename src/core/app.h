// Program entry, start-up and shutdown, the main window and its procedure.
#pragma once
#include <cstdint>

#include "platform/window.h"

// Runs the program: start-up, the outer game-state loop, shutdown. Returns the exit code.
// commandLine null means no command line at all.
int App_Main(const char* commandLine);
