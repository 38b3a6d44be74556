// Terrain textures and materials: the texture list and slot table read from the map's eight
// "TextureType" sections, the distance bands of the four detail levels, the flat and average
// colours, the colour ramps of the line displays, the sixteen texture-coordinate arrangements,
// the drawing mode chosen from the terrain detail option, and the editor's material cycles.
//
// Material word: type bits 12-15 and neighbour type bits 8-11 (both read as 0..7), arrangement
// bits 4-7 (bit 7 doubles as the diagonal flag), bits 2-3 kept, variant bits 0-1.
#pragma once
#include <cstddef>
#include <cstdint>

struct TextureImage;  // an image in the texture cache's layout: width, format, height, texels

constexpr int kTerrainTypes = 8;
constexpr int kTerrainSlots = 512;
constexpr int kTerrainTextureLimit = 255;  // list entries, the built-in default (entry 0) included
constexpr int kTerrainTextureLevels = 4;
constexpr int kTerrainGreenRamp = 256;
constexpr int kTerrainGreyRamp = 32;

// Bits of the renderer's mode flag word the terrain reads or sets.
constexpr uint32_t kRenderFlagHardwareTerrain = 0x1;
constexpr uint32_t kRenderFlagReducedTextures = 0x4;
constexpr uint32_t kRenderFlagLevelZeroOnly = 0x4000;

// Polygon kinds of untextured terrain polygons (flat shaded, and with light interpolation).
constexpr uint32_t kTerrainFlatKind = 264;
constexpr uint32_t kTerrainShadedKind = 265;

struct TerrainMaterial {
    int type;         // 0..7
    int neighbour;    // 0..7
    int arrangement;  // 0..15
    int diagonal;     // 0 cap (or plain), 1 diagonal
    int variant;      // 0..3
};
// Type and neighbour are masked to 0..7, so no word indexes past the slot table or flat colours.
TerrainMaterial Terrain_SplitMaterial(uint16_t word);
// The slot-table index of a material: type x 64 + neighbour x 8 + variant x 2 + diagonal.
int Terrain_SlotIndex(const TerrainMaterial& m);

// The drawing mode of the terrain detail option.
struct TerrainDrawMode {
    int option;              // 0..3
    uint32_t polygonKind;    // kTerrainFlatKind or kTerrainShadedKind
    bool textured;
    int faceMask;            // above 3: coplanar cells as one quad; above 7: pairs of cells
    bool reducedDetail;      // texture keys read one level on, first band 1000 m
};
TerrainDrawMode& Terrain_DrawMode();

// What the terrain reads and sets of the renderer, filled by the renderer at start-up. The
// stand-ins answer a software renderer with mode flags 0 and a grey palette.
struct TerrainRenderHooks {
    uint32_t* renderFlags;      // the renderer's mode flag word
    int32_t* pixelDouble;       // the lit perspective drawers' pixel-pair switch
    int32_t* separateDraw;      // the render queue's separate-draw switch
    bool (*hardware)();         // the hardware driver is drawing
    int (*findNearest)(float r, float g, float b);  // nearest palette entry
    const uint8_t* (*palette)();                    // 768 bytes of the world palette
};
TerrainRenderHooks& Terrain_RenderHooks();

// One entry of the texture list.
struct TerrainTextureEntry {
    char name[16];              // "" for the built-in default
    const TextureImage* image;  // null only for an unusable image (short file)
    bool locked;                // holds a file-cache lock under its name
};

// ---- loading ---------------------------------------------------------------------------------
// Loads the texture list of the current map (see the module notes); a missing texture warns
// "Terrain Texture %s not found\nTexture will be off" and leaves the terrain untextured.
void Terrain_LoadTextures();
// Releases every named texture, clears the list, the slot table and the texture table.
void Terrain_FreeTextures();
// Reloads the textures when the detail option differs from the one they were loaded with.
void Terrain_CheckDetailChange();
// The bands (cells squared) from the "MIP" distances: all but the last 0 when the terrain is
// not textured. Called when a view is selected.
void Terrain_SetTextureBands();
const float* Terrain_TextureBands();
// Sets the drawing mode of a terrain detail option (other values act as 0).
void Terrain_SetDrawMode(int option);

// ---- queries -------------------------------------------------------------------------------
bool Terrain_TexturesLoaded();
int Terrain_TextureCount();
const TerrainTextureEntry& Terrain_TextureEntry(int index);
const uint8_t* Terrain_SlotTable();
// The texture of a cell with the given material word, seen from a camera at (cameraX, cameraZ)
// in cells: the first detail level whose band holds the squared distance of the cell's centre.
const TextureImage* Terrain_SelectCellTexture(int x, int z, uint16_t material, float cameraX, float cameraZ);
// The level-0 slot index of the material word at cell (x, z), divided by 4.
int Terrain_GetMapColor(int x, int z);
// The average colour (red, green, blue) of list entry index (black outside the list).
void Terrain_GetColorEntry(uint8_t out[3], int index);
// The level-0 texture of the cell's slot (null when the slot is empty) and the texture
// coordinates of its corners (x, z), (x+1, z), (x+1, z+1), (x, z+1).
const TextureImage* Terrain_GetCellTexCoords(int x, int z, float u[4], float v[4]);
// The (u, v) of the four corners of a cell of parity (x mod 2, z mod 2) in an arrangement.
const float* Terrain_Arrangement(int arrangement, int parityX, int parityZ);  // u0 v0 u1 v1 ...
// The flat colour (palette index) of a type, and the ramps of the line displays.
uint8_t Terrain_FlatColour(int type);
uint8_t Terrain_GreenRamp(int index);  // 0..255
uint8_t Terrain_GreyRamp(int index);   // 0..31
uint8_t Terrain_RedRamp(int index);    // 0..31

// ---- the editor's cycles (step +1 or -1) -----------------------------------------------------
// Each walks at most one full cycle and returns the word unchanged when nothing else exists.
uint16_t Terrain_CycleType(uint16_t word, int step);
// The new type x 16 is returned; the word is changed in place.
int Terrain_CycleCapTo(uint16_t* word, int step);
int Terrain_CycleDiagonalTo(uint16_t* word, int step);
uint16_t Terrain_CycleVariant(uint16_t word, int step);

// Everything as before any map (for tests).
void TerrainTex_Reset();
