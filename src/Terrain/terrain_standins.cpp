// Steps of the terrain start-up and the map load that belong to the environment, light-map,
// texture and drawing modules, in the small form the height field needs until those exist.
#include <cstdlib>
#include <cstring>

#include "Terrain/terramap.h"
#include "core/configfile.h"
#include "core/debug.h"

// PENDING(2.132) the world section, the environment and fog table and the lava type; until then
// only the base height is read.
void Terrain_LoadWorldSection() {}
void Terrain_ReadEnvironment() { Terrain_SetBaseHeight(Cfg_GetProfileInt("Size", "Height", 0, Terrain_GetFileName())); }
void Terrain_BuildFogTable() {}
int Terrain_GetLava() { return -1; }

// PENDING(2.133) the light map and flatness flags; until then the light map is allocated dark
// (one block for the default area and one per present height block) and the height range of the
// present blocks is measured.
void Terrain_LoadLightMap() {
    std::free(TerrainLightMap);
    TerrainLightMap = nullptr;
    TerrainLightMapSize = 0;
    std::memset(LightBlockTable, 0, sizeof LightBlockTable);
    int blocks = 0;
    float lowest = 4096.0f, highest = 0.0f;  // cell units
    for (int entry = 0; entry < kBlockTableSize * kBlockTableSize; ++entry) {
        const uint16_t* block = HeightBlockTable[entry];
        if (block == HeightBlockTable[0]) continue;  // the corner entry always shows the default block
        LightBlockTable[entry] = static_cast<uint8_t>(++blocks);
        for (int i = 0; i < kZoneCells * kZoneCells; ++i) {
            float h = (block[i] & kHeightMask) * 0.01f;
            if (h < lowest) lowest = h;
            if (h > highest) highest = h;
        }
    }
    TerrainLightMapSize = uint32_t(blocks + 1) * kLightBlockBytes;
    TerrainLightMap = static_cast<uint8_t*>(std::calloc(TerrainLightMapSize, 1));
    if (!TerrainLightMap) {
        TerrainLightMapSize = 0;
        Error_Fatal("Memory allocation failed");
        return;
    }
    TerrainBounds.lowest = lowest * 10.0f;
    TerrainBounds.highest = highest * 10.0f;
}
void Terrain_ComputeAllFlags() {}

// PENDING(2.137) the drawing mode chosen from the terrain detail option.
void Terrain_SetDrawMode(int) {}

// PENDING(2.136) the terrain textures.
void Terrain_CheckDetailChange() {}
void Terrain_FreeTextures() {}
void Terrain_LoadTextures() {}
