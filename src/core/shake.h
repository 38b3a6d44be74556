// Screen shake, the shared table of smoothed random numbers, one-dimensional gradient noise and
// the tile image decoder.
#pragma once
#include <cstddef>
#include <cstdint>

struct RenderView;

// ---- screen shake ---------------------------------------------------------------------------
// Starts (or restarts) a shake when strength is above the current target; weaker hits are ignored.
void Shake_Start(float strength);
bool Shake_IsActive();
// Called by the software render frame after the overlays while shaking: moves the finished
// picture by the current amplitude (decaying) or by a slow jitter (steady mode).
void Shake_Apply(RenderView* view);
void Shake_Reset();  // quiet: no shake, target and amplitude 0

// The shake's state, for display and tests.
struct ShakeState {
    bool shaking;
    bool decaying;
    float target;     // pixels
    float amplitude;  // pixels
    float jitterX;
    float jitterY;
};
ShakeState Shake_GetState();

// What the shake needs from the frame clock, the camera and the renderer. Each entry may be
// replaced at start-up by the subsystem that owns it; null entries fall back to the defaults.
struct ShakeServices {
    float (*frameTime)();                 // smoothed frame time in seconds
    bool (*ownEntitySwitch)();            // the camera's own-entity draw switch
    // Copies the view's buffer onto itself moved by (dx, dy) (copy mode 2).
    void (*shiftPicture)(RenderView* view, int dx, int dy);
};
void Shake_SetServices(const ShakeServices* services);  // null restores the defaults
// Replaces the picture move alone (the renderer's, at start-up); null restores the default.
void Shake_SetShiftPicture(void (*shiftPicture)(RenderView* view, int dx, int dy));

// ---- shared random table ------------------------------------------------------------------
// Fills the 256 entries: each 0.2 times the sum of five values rand * 0x8001 / 2^29 - 1 (about
// -1..1), drawn from Random_Next. Run once per mission start.
void Random_FillTable();
// The same from another generator of the 0..32767 range (tests, tools).
void Random_FillTableFrom(int (*next)());
// Advances the shared cursor (wrapping at 256) and returns the entry there.
float RandomTable_Next();
uint8_t RandomTable_GetIndex();
void RandomTable_SetIndex(uint8_t index);
const float* RandomTable_Values();  // 256 entries
constexpr int kRandomTableSize = 256;

// ---- gradient noise -----------------------------------------------------------------------
float Noise_Fade(float t);  // 6t^5 - 15t^4 + 10t^3
// Smooth noise in about -1..1, 0 at every integer.
float Noise_Gradient1D(float x);
const uint8_t* Noise_Permutation();  // the 256-entry permutation of 0..255

// ---- tile image decoder -------------------------------------------------------------------
// Input: a 24-byte header (16-bit format word, 16-bit width, 32-bit height, 16 bytes the decoder
// ignores) followed by one 16-bit tile code per 4 x 4 tile, tile rows top to bottom. Code book:
// a 4-byte header, then 16 bytes per entry (four rows of four pixels).
// Output: 16-bit width, the format word, 32-bit height, then width * height pixels row by row.
constexpr size_t kTileImageHeaderSize = 24;
constexpr size_t kTileImageOutputHeaderSize = 8;
constexpr size_t kTileCodeBookHeaderSize = 4;
// Bytes of input the header's size calls for (0 when the header is short or the height negative).
size_t TileImage_InputSize(const uint8_t* input, size_t inputSize);
// Bytes of output the header's size calls for (0 when the header is short or the height negative).
size_t TileImage_OutputSize(const uint8_t* input, size_t inputSize);
// Returns 1 and fills the output; 0 without writing anything when the input is shorter than its
// header and codes, a code points past the code book, or the output is too small.
int TileImage_Decode(const uint8_t* input, size_t inputSize, const uint8_t* codeBook,
                     size_t codeBookSize, uint8_t* output, size_t outputSize);
