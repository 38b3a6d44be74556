// The weapons subsystem's start-up wiring.
#pragma once

// Fills the weapons seam, the weapon (50) and explosion (52) rows of the class-function owners
// (the explosion manager joins the registry through the start-up table as "ExplosionManager").
void Weapons_InstallSeam();
