// The program's start-up wiring: every built subsystem fills the seams and services through
// which earlier subsystems reach it, and hands the registry its members. `main` runs it before
// App_Main, and end-to-end tests run the same function, so they start the game's own wiring.
#pragma once

// Runs every installer, in table order, then hands the registry the members it may join.
// Running it again installs the same functions again.
void Startup_InstallAll();
