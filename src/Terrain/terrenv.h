// The world's environment: the map's time of day, colour tables, fog, light and visibility, read
// from its ".TRN" settings and the player's "render.cfg"; the two view parameter sets (normal
// and satellite), the 4096-entry fog table and the light of one terrain vertex.
#pragma once
#include <cstdint>

constexpr int kFogTableSize = 4096;
constexpr int kMinLightByte = 56;

// One view parameter set.
struct TerrainViewSet {
    float visibilityRange;  // metres
    float flatRange;        // metres: beyond it cells are drawn flat-coloured
    int fogStart;           // metres
    int fogEnd;             // metres
    float fogBreak;         // 0.01 .. 0.99
    float intensity;
    float ambient;
};

struct TerrainEnvironment {
    TerrainViewSet normal, satellite, current;
    int musicTrack;
    char introMovie[260], outroMovie[260];
    int timeOfDay;  // hhmm
    int lava, wave, waves;
    int faceMask;  // the terrain drawing's face mask ("render.cfg" "Debug" "FaceMask")
    float visibilityScale;
    float shadowLuma, terrainShadowLuma, carAmbient;
    int fogDirection;  // 0: software fog towards dark; otherwise towards bright
    float groundFogTop, groundFogBottom, groundFogStart, groundFogSlope;
    int viewMode;
    float fogSlope;
    float visibility;  // cells
    float visibilityMetres, visibilitySquared;
    float lightScale;  // intensity / 256
    bool hardware;     // the fog table's byte form is kept and the vertex light carries fog apart
    float fogTable[kFogTableSize];
    uint8_t fogBytes[kFogTableSize];
};

TerrainEnvironment& Terrain_Environment();
// Everything as before any map (for tests).
void TerrainEnv_Reset();

// The ".TRN" "World", "NormalView" time, lava and wave keys and the "Color" tables; the time of
// day sets the world's light set and the sun.
void Terrain_LoadWorldSection();
void Terrain_ReadEnvironment();
// Modes 2, 3 and 10 take the satellite set, the others the normal set; the derived values and
// the fog table follow.
void Terrain_SelectView(int mode);
void Terrain_BuildFogTable();
int Terrain_GetLava();
void Terrain_ApplyPalette(const uint8_t* palette, const uint8_t* luma);

// The fog-table entry of a depth in metres (clamped to the table).
float Terrain_FogAt(float depth);
// The light of a vertex from its light byte and its fog depth (view depth + |view x| / 2), in
// the current fog direction; in hardware mode the fog is not folded in (Terrain_FogByte).
float Terrain_VertexLight(uint8_t lightByte, float fogDepth);
uint8_t Terrain_FogByte(float fogDepth);
// The fog depth of a vertex in view space, with ground fog for a vertex below its top.
float Terrain_FogDepth(float viewX, float viewZ, float rawHeight);
