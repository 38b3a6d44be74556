// The terrain map: a height field of 10 m cells stored in zones of 128 x 128 cells, named by an
// 80 x 80 zone map. Zones come from the map's ".HGT" (heights) and ".MAT" (materials) files,
// sized by the "Size" section of its ".TRN" settings file; every cell is found through block
// tables that also cover a wide border of default blocks around the zones.
//
// Cell indices: the vertex (x, z) lies at world (10 x, height, 10 z). A height word holds the
// height in 0.1 m in bits 0-11, bits 12-13 as loaded, and the flatness flags in bits 14-15.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/mathlib.h"

struct Entity;
struct RenderView;

constexpr int kZoneMapSize = 80;         // zones per side of the zone map
constexpr int kMaxZones = 80;            // zone pointers of a map
constexpr uint8_t kNoZone = 255;
constexpr int kZoneCells = 128;          // cells per side of a zone (and of a block)
constexpr int kBlockTableSize = 128;     // block-table entries per side
constexpr int kBlockTableOrigin = 24;    // entry of zone row / column 0
constexpr int kCellMin = -3072;          // the block tables span cells kCellMin..kCellMax
constexpr int kCellMax = 13311;
constexpr uint32_t kHeightBlockBytes = 32768;   // 128 x 128 words
constexpr uint32_t kMaterialBlockBytes = 8192;  // 64 x 64 words
constexpr uint32_t kLightBlockBytes = 16384;    // 128 x 128 bytes
constexpr uint16_t kHeightMask = 0x0FFF;

// The extent of the present zones, and the height range of their vertices.
struct TerrainBoundsInfo {
    int minX, maxX, minZ, maxZ;          // cells; the maxima are the last vertex lines
    float minXm, maxXm, minZm, maxZm;    // the same in metres
    float lowest, highest;               // metres
};

// ---- module state ---------------------------------------------------------------------------
extern uint8_t ZoneMap[kZoneMapSize][kZoneMapSize];  // [zone row][zone column], kNoZone = none
extern uint16_t* HeightBlockTable[kBlockTableSize * kBlockTableSize];
extern uint16_t* MaterialBlockTable[kBlockTableSize * kBlockTableSize];
extern uint8_t LightBlockTable[kBlockTableSize * kBlockTableSize];
extern TerrainBoundsInfo TerrainBounds;
extern float TerrainCellSize;       // 10.0 once Terrain_Init ran
extern float TerrainCellsPerMetre;  // 0.1
extern float TerrainSineTable[128]; // sin(i 2 pi / 128), for the water waves
extern uint8_t TerrainModified;     // set by the editor, cleared by Terrain_SaveZoneFiles

// The light map: (1 + present height blocks) blocks of 16384 bytes; built by Terrain_LoadLightMap
// and freed by Terrain_FreeAll.
extern uint8_t* TerrainLightMap;
extern uint32_t TerrainLightMapSize;

// The base height in metres ("Size" "Height"); the default blocks read it.
void Terrain_SetBaseHeight(int metres);
int Terrain_GetBaseHeight();

// ---- files ----------------------------------------------------------------------------------
// The terrain file name becomes name less the part from its last "." plus ".TRN".
void Terrain_SetFileName(const char* name);
const char* Terrain_GetFileName();
// Reads "Size", numbers the zones into ZoneMap and loads the ".HGT" and ".MAT" images through
// the file index. 0 for an empty name, a missing or negative "Size" key, a rectangle with no
// zone, with more than 80 zones or running past the zone map, a missing file, or a file too
// short for the zones.
int Terrain_ReadZoneFiles();
// Terrain_ReadZoneFiles, fatal "Zone loader error" on failure; then the zone pointers.
int Terrain_LoadZone(const char* name);
// The zone count of the loaded map and the address of zone i's height block (null past it).
int Terrain_ZoneCount();
uint16_t* Terrain_ZonePointer(int zone);
// Fills the block tables and the cell and metre bounds from ZoneMap.
void Terrain_BuildBlockTables();
// The terrain start-up after the zones are loaded; mode is the terrain detail option. Returns 1.
int Terrain_Init(int mode);
// The map load: textures freed, file name, world section, zones, start-up, textures.
int Terrain_LoadMap(const char* missionName, int detailOption);
// Six floats: minimum x, lowest height, minimum z, maximum x, highest height, maximum z (metres).
void Terrain_GetBounds(float out[6]);
// The zone rectangle in metres for the overhead map: x min, z min, x max, z max.
void Terrain_ComputeZoneRect();
const float* Terrain_GetZoneRect();
// The editor's save. With a path: the ".TRN" copied to the path's ".TRN" and the terrain name
// taken from the path's file part; without: the target is "Addon\<terrain name>". Then the
// ".HGT" and ".MAT" images. 1 when every file was written, 0 after a warning otherwise.
int Terrain_SaveZoneFiles(const char* path);
// Frees the light map and the ".HGT" and ".MAT" images; the tables show the default blocks.
void Terrain_FreeAll();

// ---- cell accessors (cell indices; clamped to the block tables' span) ----------------------
uint16_t* Terrain_GetCell(int x, int z);
uint16_t* Terrain_GetMaterialWord(int x, int z);
uint8_t* Terrain_GetLightByte(int x, int z);

// ---- terrain entities -----------------------------------------------------------------------
// What the list calls in the entity layer.
struct TerrainEntityOps {
    int (*typeCode)(Entity* entity);
    void (*centreOnBounds)(Entity* entity);  // centre = middle of its bounds, radius about it
    void (*release)(Entity* entity, const char* source);
};
TerrainEntityOps& Terrain_EntityOps();
void Terrain_AddEntity(Entity* entity);
void Terrain_ReleaseEntities();
void Terrain_ClearEntityList();
// The listed entities, head first.
int Terrain_EntityCount();
Entity* Terrain_EntityAt(int index);

// ---- steps of the environment, light-map, texture and drawing modules -----------------------
// (the world section, environment and fog table are in Terrain/terrenv.h)
void Terrain_LoadWorldSection();
void Terrain_ReadEnvironment();
void Terrain_BuildFogTable();
int Terrain_GetLava();
// The light map: allocated, then taken from the map's shipped ".LGT" (through the file index)
// or the cache of an earlier load in the profile's "Addon" folder, either only when exactly the
// map's size; otherwise computed from the sun over every vertex of the present blocks,
// self-shadowed, raised to the minimum light byte and written to the cache. Also measures the
// height range.
void Terrain_LoadLightMap();
// One light byte; note the (z, x) order.
void Terrain_ComputeCellLight(int z, int x);
void Terrain_ComputeCellFlags(int x, int z);
void Terrain_ComputeAllFlags();
void Terrain_ComputeShadows();
// Darkens the 3 x 3 vertices around a point (metres) of the present zones; returns 1.
int Terrain_Scorch(float x, float z);
// The editor's refresh after a height change: light bytes and flags of the inclusive cell
// rectangle, then the terrain-changed flag. Vertices outside the present blocks are left alone.
void Terrain_RebuildRect(int x0, int z0, int x1, int z1);
// Clears the flatness flags of the height words of the inclusive cell rectangle (editor).
void Terrain_ClearCellBits(int x0, int z0, int x1, int z1);
// With the display's shadow option on and the sun between 0.001 and 0.999 high: the light
// bytes of the present vertices in the sun shadow of the world box, on the side of position
// away from the sun, are multiplied by the map's terrain shadow luma.
void Terrain_DarkenUnderBox(const Vector& boxMin, const Vector& boxMax, const Vector& position);
// The same for an entity's world bounds and position (buildings and power-ups entering the world).
void Terrain_DarkenUnderObject(Entity* entity);
// The drawing mode and the textures are in Terrain/terraintex.h.
void Terrain_SetDrawMode(int option);
void Terrain_CheckDetailChange();
void Terrain_FreeTextures();
void Terrain_LoadTextures();
// The animated scrounge of the sky effects, loaded, stepped and freed with the textures.
void Scrounge_Load();
void Scrounge_Update(RenderView* view);
void Scrounge_Free();

// Fills the game loop's terrain entries of the world seam and the model reader's terrain list
// (ObjLoad_Services().terrainAddEntity), at start-up.
void Terrain_InstallSeam();
