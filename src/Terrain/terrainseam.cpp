// Points the game loop's terrain calls and the model reader's headlight masks at the terrain map.
#include "Objkr/objload.h"
#include "Terrain/terramap.h"
#include "core/seams/world.h"

void Terrain_InstallSeam() {
    WorldSeam& s = Seam_World();
    s.terrainClearEntityList = Terrain_ClearEntityList;
    s.terrainSetFileName = Terrain_SetFileName;
    s.terrainReleaseEntities = Terrain_ReleaseEntities;
    s.terrainFreeAll = Terrain_FreeAll;
    ObjLoad_Services().terrainAddEntity = Terrain_AddEntity;
}
