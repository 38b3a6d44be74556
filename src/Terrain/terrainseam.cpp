// Points the game loop's terrain calls at the terrain map.
#include "Terrain/terramap.h"
#include "core/seams/world.h"

void Terrain_InstallSeam() {
    WorldSeam& s = Seam_World();
    s.terrainClearEntityList = Terrain_ClearEntityList;
    s.terrainSetFileName = Terrain_SetFileName;
    s.terrainReleaseEntities = Terrain_ReleaseEntities;
    s.terrainFreeAll = Terrain_FreeAll;
}
