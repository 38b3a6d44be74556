// Start-up wiring of the unit and player processes.
#pragma once

// Fills the AI seam's user-process entries, the craft's remote-process entry and the factory
// create functions of the player and network processes.
void Ai_InstallProcesses();
