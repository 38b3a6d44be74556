// Steps of the terrain start-up and the map load that belong to the texture and drawing
// modules, in the small form the height field needs until those exist.
#include "Terrain/terramap.h"

// PENDING(2.137) the drawing mode chosen from the terrain detail option.
void Terrain_SetDrawMode(int) {}

// PENDING(2.136) the terrain textures.
void Terrain_CheckDetailChange() {}
void Terrain_FreeTextures() {}
void Terrain_LoadTextures() {}
