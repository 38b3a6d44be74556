// Points the game loop's terrain calls, the model reader's headlight masks and the entity
// table's ground darkening at the terrain map.
#include "Objkr/entity.h"
#include "Objkr/objload.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "core/seams/shell.h"
#include "core/seams/world.h"

namespace {

constexpr int kPlayerDefTerrainDetail = 71;  // the terrain drawing mode

// The zone files are read once without the fatal check first, so that a mission naming a map
// that cannot be loaded fails its load instead of ending the program.
bool LoadMissionMap(const char* name) {
    Terrain_SetFileName(name);
    if (!Terrain_ReadZoneFiles()) {
        Terrain_FreeAll();
        return false;
    }
    return Terrain_LoadMap(name, Seam_Shell().playerDef()[kPlayerDefTerrainDetail]) != 0;
}

bool SaveTerrain(const char* path) { return Terrain_SaveZoneFiles(path) != 0; }
bool TerrainWasEdited() { return TerrainModified != 0; }

Vector MapCentre() {
    const float x = 0.5f * (TerrainBounds.minXm + TerrainBounds.maxXm);
    const float z = 0.5f * (TerrainBounds.minZm + TerrainBounds.maxZm);
    return Vector{x, Terrain_GetHeight(x, z), z};
}

}  // namespace

void Terrain_InstallSeam() {
    WorldSeam& s = Seam_World();
    s.terrainClearEntityList = Terrain_ClearEntityList;
    s.terrainSetFileName = Terrain_SetFileName;
    s.terrainReleaseEntities = Terrain_ReleaseEntities;
    s.terrainFreeAll = Terrain_FreeAll;
    s.terrainLoadMap = LoadMissionMap;
    s.terrainSave = SaveTerrain;
    s.terrainModified = TerrainWasEdited;
    s.terrainCentre = MapCentre;
    ObjLoad_Services().terrainAddEntity = Terrain_AddEntity;
    Objkr_Services().darkenUnderObject = Terrain_DarkenUnderObject;
}
