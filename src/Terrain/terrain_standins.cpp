// Steps of the terrain that belong to the sky effects, in the small form the terrain needs until
// those exist.
#include "Terrain/terramap.h"

// PENDING(2.135) the animated scrounge loaded, stepped and freed with the terrain textures.
void Scrounge_Load() {}
void Scrounge_Update(RenderView*) {}
void Scrounge_Free() {}
