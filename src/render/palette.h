// The palette and the 256 x 256 colour tables the software renderer draws with (lighting, fog,
// translucency, alpha, remapping), the ten brightness curves, and palette changes and fades on
// the display.
#pragma once
#include <cstdint>

struct GraphicDriver;

constexpr int kGammaLevels = 10;
constexpr int kDefaultGammaLevel = 3;  // the identity curve (but for rounding)
constexpr int kLightLevels = 32;       // rows 0 (brightest) .. 31 (darkest) of the luminance table
constexpr int kPlayerDefBrightness = 76;  // byte of the player settings holding the level

extern float FloatPalette[256][3];
extern uint8_t IdentityRow[256];
extern uint8_t RemapTable[256][256];
extern uint8_t LumaTable[256][256];          // [light level][colour]
extern uint8_t TranslucencyTable[256][256];  // [colour a][colour b]
extern uint8_t AlphaTable[256][256];         // [source][destination]
extern uint8_t GammaCurves[kGammaLevels][256];
// The 768-byte palette of the loaded world; the display starts with it.
extern uint8_t GamePalette[768];

// ---- Brightness ----------------------------------------------------------------------------

void Palette_BuildGammaCurves();
// The level of the brightness option; a value outside 1..10 means 3.
int Palette_BrightnessLevel();
// Applies a curve in place to triples first..last-1; level below 1 means the option's level,
// above 10 means 3.
void Palette_ApplyGamma(uint8_t* rgb, int first, int last, int level);
// The same on 4-byte entries (red, green, blue, flags); the flags stay.
void Palette_ApplyGamma4(uint8_t* rgba, int first, int last, int level);

// ---- Colour tables -------------------------------------------------------------------------

// FloatPalette from the driver's palette; the luminance table from lumaImage (65,536 bytes) or,
// when it is null, built from the palette; then the clamp rows.
void Palette_Load(GraphicDriver* driver, const uint8_t* lumaImage);
// IdentityRow 0..255; RemapTable row r all r.
void Palette_ResetTables();
// Makes colour c see-through: its remap row and translucency row become identity and blending
// anything with it yields the other colour (column c of rows 0..254).
void Palette_ClearRemap(int colour);
// Remap row `row` draws everything in `colour`.
void Palette_SetRemapSolid(int row, int colour);
void Palette_SetFloatColors(const uint8_t* rgb);
void Palette_GetFloatColor(int index, float* r, float* g, float* b);
// The index of the nearest FloatPalette colour (squared distance); the lowest index wins a tie.
int Palette_FindNearest(float r, float g, float b);
// The light (1 - row / 31) of the shade table's row among the 32 that leaves the most colours
// as they are; 1 for a table whose first row does.
float Palette_FullColourLight();
// Copies a 65,536-byte luminance table, then fills the clamp rows.
void Palette_SetLightTable(const uint8_t* image);
// Rows 0..31 of one column as an index ramp from a to b, then that column's clamp rows.
void Palette_SetLightRamp(int a, int b, int column);
// One column of the luminance table: from the fog colour (row 31) to the colour, then on
// towards white (row 0).
void Palette_BuildLightColumn(GraphicDriver* driver, int column, float fogR, float fogG, float fogB,
                              float fraction);
// Rows 32..143 repeat row 31, rows 144..255 repeat row 0, so a light level read as a signed byte
// clamps. column -1 fills every column.
void Palette_FillClampRows(int column);
// TranslucencyTable (p, q) = nearest colour to q x opacity + p x (1 - opacity).
void Palette_BuildBlendTable(GraphicDriver* driver, float opacity);
// The same blend into any 65,536-byte table (the alpha table is made this way).
void Palette_BuildBlendInto(uint8_t (*table)[256], GraphicDriver* driver, float opacity);

// The world's palette from its colour files: the raw colours into GamePalette and the driver's
// palette with entry 0 forced black, the float colours, and the luminance table (built from the
// palette when luma is null). The brightness curve goes only onto the copy the display gets.
void Palette_InstallWorld(const uint8_t* rgb, const uint8_t* luma);

// ---- The display ---------------------------------------------------------------------------

// The driver's palette with the option's curve over entries first..last-1, handed to ApplyPalette.
void Graphic_SetPalette(int first, int last);
// Clears the screen to colour 0, shows an all-black palette and presents.
void Graphic_BlankScreen();
// Hands the driver an all-black palette.
void Palette_SetBlack();
// Fades the shown palette towards (r, g, b) (fade out) or from it (fade in) in `steps` steps of
// stepSeconds each, sleeping until each step's deadline; ends on black (out) or the palette
// through the curve (in). The hardware driver only clears and presents.
void Palette_Fade(bool fadeOut, float stepSeconds, int steps, int r, int g, int b);
void Palette_FadeOut(float stepSeconds, int steps, int r, int g, int b);
void Palette_FadeIn(float stepSeconds, int steps, int r, int g, int b);
