// Start-up of unit AI: fills the core's AI and mission seams with the mission driver, puts the
// create functions of the mission classes into the named-factory table and registers the
// "empty" selector.
#pragma once

void Ai_InstallSeam();
