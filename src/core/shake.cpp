#include "core/shake.h"

#include <array>
#include <cmath>
#include <cstring>

#include "core/clock.h"
#include "core/helpers.h"
#include "core/seams/cockpit.h"
#include "platform/random.h"

// ---- screen shake ---------------------------------------------------------------------------

namespace {

float DefaultFrameTime() { return Clock_GetFrameTime(); }
// The camera's own-entity switch: the picture moves only in the view that leaves the user's
// entity out.
bool DefaultOwnEntitySwitch() { return Seam_Cockpit().cameraOwnEntitySwitch(); }
// Nothing moves until the renderer installs its copy onto itself (Render_InstallSeam).
void DefaultShiftPicture(RenderView*, int, int) {}

const ShakeServices kDefaultServices = {DefaultFrameTime, DefaultOwnEntitySwitch, DefaultShiftPicture};
ShakeServices g_services = kDefaultServices;

ShakeState g_shake = {false, false, 0.0f, 0.0f, 0.0f, 0.0f};

// Float to pixel: to nearest, halves to even.
int RoundToPixel(float v) {
    double r = std::floor(static_cast<double>(v) + 0.5);
    if (r - v == 0.5 && std::fmod(r, 2.0) != 0.0) r -= 1.0;
    return static_cast<int>(r);
}

}  // namespace

void Shake_SetServices(const ShakeServices* services) {
    g_services = kDefaultServices;
    if (!services) return;
    if (services->frameTime) g_services.frameTime = services->frameTime;
    if (services->ownEntitySwitch) g_services.ownEntitySwitch = services->ownEntitySwitch;
    if (services->shiftPicture) g_services.shiftPicture = services->shiftPicture;
}

void Shake_SetShiftPicture(void (*shiftPicture)(RenderView* view, int dx, int dy)) {
    g_services.shiftPicture = shiftPicture ? shiftPicture : DefaultShiftPicture;
}

void Shake_Start(float strength) {
    if (!(strength > g_shake.target)) return;
    g_shake.target = strength;
    g_shake.shaking = true;
    g_shake.decaying = true;
    g_shake.amplitude = strength - 1.0f;
}

bool Shake_IsActive() { return g_shake.shaking; }

ShakeState Shake_GetState() { return g_shake; }

void Shake_Reset() { g_shake = ShakeState{false, false, 0.0f, 0.0f, 0.0f, 0.0f}; }

void Shake_Apply(RenderView* view) {
    if (!g_shake.shaking) return;
    float dt = g_services.frameTime();
    int dx, dy;
    if (g_shake.decaying) {
        // The first frame drops the target: the amplitude then falls back to nothing.
        if (g_shake.amplitude >= g_shake.target - 1.0f) g_shake.target = 0.0f;
        g_shake.amplitude = Math_LerpClamped(g_shake.amplitude, g_shake.target, 2.0f * dt);
        if (!(g_shake.amplitude > 1.0f) && g_shake.target == 0.0f) {
            g_shake.shaking = false;
            g_shake.decaying = false;
        }
        dx = RoundToPixel(-g_shake.amplitude);
        dy = RoundToPixel(-g_shake.amplitude / 2.0f);
    } else {
        float goalX = static_cast<float>(Random_Next() % 16);
        float goalY = static_cast<float>(Random_Next() % 16);
        g_shake.jitterX = Math_LerpClamped(g_shake.jitterX, goalX, dt);
        g_shake.jitterY = Math_LerpClamped(g_shake.jitterY, goalY, dt);
        dx = RoundToPixel(-g_shake.jitterX);
        dy = RoundToPixel(-g_shake.jitterY);
    }
    if (g_services.ownEntitySwitch()) g_services.shiftPicture(view, dx, dy);
}

// ---- shared random table ------------------------------------------------------------------

namespace {
float g_randomTable[kRandomTableSize];
uint8_t g_randomIndex = 0;
}  // namespace

void Random_FillTableFrom(int (*next)()) {
    for (float& entry : g_randomTable) {
        double sum = 0.0;
        for (int k = 0; k < 5; ++k) {
            int r = next() & GV_RAND_MAX;
            sum += static_cast<double>(r * 0x8001) / 536870912.0 - 1.0;  // r * 0x8001 / 2^29 - 1
        }
        entry = static_cast<float>(0.2 * sum);
    }
}

void Random_FillTable() { Random_FillTableFrom(Random_Next); }

float RandomTable_Next() {
    g_randomIndex = static_cast<uint8_t>(g_randomIndex + 1);
    return g_randomTable[g_randomIndex];
}

uint8_t RandomTable_GetIndex() { return g_randomIndex; }
void RandomTable_SetIndex(uint8_t index) { g_randomIndex = index; }
const float* RandomTable_Values() { return g_randomTable; }

// ---- gradient noise -----------------------------------------------------------------------

namespace {

// A fixed shuffle of 0..255 (xorshift-driven Fisher-Yates), the same on every build.
constexpr std::array<uint8_t, 256> MakePermutation() {
    std::array<uint8_t, 256> p{};
    for (int i = 0; i < 256; ++i) p[i] = static_cast<uint8_t>(i);
    uint32_t s = 0x2545F491u;
    for (int i = 255; i > 0; --i) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        int j = static_cast<int>(s % static_cast<uint32_t>(i + 1));
        uint8_t t = p[i];
        p[i] = p[j];
        p[j] = t;
    }
    return p;
}

constexpr std::array<uint8_t, 256> kPermutation = MakePermutation();

constexpr float kGradients[16] = {
    0.1875f, 0.375f, 0.5625f, 0.75f, 0.9375f, 1.125f, 1.3125f, 1.5f,
    -0.1875f, -0.375f, -0.5625f, -0.75f, -0.9375f, -1.125f, -1.3125f, -1.5f,
};

}  // namespace

const uint8_t* Noise_Permutation() { return kPermutation.data(); }

float Noise_Fade(float t) {
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

float Noise_Gradient1D(float x) {
    // Past 2^24 every float is a whole number, where the noise is 0 (NaN lands here too).
    if (!(std::fabs(x) < 16777216.0f)) return 0.0f;
    // The lattice point at or below x, so that d runs over [0, 1) and the curve joins up at every
    // lattice point.
    float cell = std::floor(x);
    int32_t i = static_cast<int32_t>(cell);
    float d = x - cell;
    float g0 = kGradients[kPermutation[static_cast<uint32_t>(i) & 255] & 15];
    float g1 = kGradients[kPermutation[static_cast<uint32_t>(i + 1) & 255] & 15];
    return d * g0 + ((d - 1.0f) * g1 - d * g0) * Noise_Fade(d);
}

// ---- tile image decoder -------------------------------------------------------------------

namespace {

struct TileHeader {
    uint16_t format;
    uint16_t width;
    int32_t height;
    uint64_t tiles;  // ceil(width / 4) * ceil(height / 4)
};

bool ReadTileHeader(const uint8_t* input, size_t inputSize, TileHeader& h) {
    if (!input || inputSize < kTileImageHeaderSize) return false;
    h.format = static_cast<uint16_t>(input[0] | input[1] << 8);
    h.width = static_cast<uint16_t>(input[2] | input[3] << 8);
    h.height = static_cast<int32_t>(static_cast<uint32_t>(input[4]) | static_cast<uint32_t>(input[5]) << 8 |
                                    static_cast<uint32_t>(input[6]) << 16 | static_cast<uint32_t>(input[7]) << 24);
    if (h.height < 0) return false;
    h.tiles = ((static_cast<uint64_t>(h.width) + 3) / 4) * ((static_cast<uint64_t>(h.height) + 3) / 4);
    return true;
}

}  // namespace

size_t TileImage_InputSize(const uint8_t* input, size_t inputSize) {
    TileHeader h;
    if (!ReadTileHeader(input, inputSize, h)) return 0;
    return static_cast<size_t>(kTileImageHeaderSize + 2 * h.tiles);
}

size_t TileImage_OutputSize(const uint8_t* input, size_t inputSize) {
    TileHeader h;
    if (!ReadTileHeader(input, inputSize, h)) return 0;
    return static_cast<size_t>(kTileImageOutputHeaderSize + static_cast<uint64_t>(h.width) * static_cast<uint64_t>(h.height));
}

int TileImage_Decode(const uint8_t* input, size_t inputSize, const uint8_t* codeBook,
                     size_t codeBookSize, uint8_t* output, size_t outputSize) {
    TileHeader h;
    if (!ReadTileHeader(input, inputSize, h)) return 0;
    const uint64_t width = h.width, height = static_cast<uint64_t>(h.height);
    if (inputSize < kTileImageHeaderSize + 2 * h.tiles) return 0;
    if (!output || outputSize < kTileImageOutputHeaderSize + width * height) return 0;
    const uint8_t* codes = input + kTileImageHeaderSize;

    // Every code must be solid or name an entry inside the code book before anything is written.
    uint64_t entries = 0;
    if (codeBook && codeBookSize >= kTileCodeBookHeaderSize) entries = (codeBookSize - kTileCodeBookHeaderSize) / 16;
    for (uint64_t t = 0; t < h.tiles; ++t) {
        uint16_t code = static_cast<uint16_t>(codes[2 * t] | codes[2 * t + 1] << 8);
        if (!(code & 0x8000) && code >= entries) return 0;
    }

    output[0] = static_cast<uint8_t>(h.width);
    output[1] = static_cast<uint8_t>(h.width >> 8);
    output[2] = static_cast<uint8_t>(h.format);
    output[3] = static_cast<uint8_t>(h.format >> 8);
    for (int b = 0; b < 4; ++b) output[4 + b] = static_cast<uint8_t>(static_cast<uint32_t>(h.height) >> (8 * b));
    uint8_t* pixels = output + kTileImageOutputHeaderSize;

    const uint64_t tilesAcross = (width + 3) / 4;
    uint64_t t = 0;
    for (uint64_t ty = 0; width > 0 && ty * 4 < height; ++ty) {
        const uint64_t rows = height - ty * 4 < 4 ? height - ty * 4 : 4;
        for (uint64_t tx = 0; tx < tilesAcross; ++tx, ++t) {
            const uint64_t cols = width - tx * 4 < 4 ? width - tx * 4 : 4;
            uint16_t code = static_cast<uint16_t>(codes[2 * t] | codes[2 * t + 1] << 8);
            const uint8_t* entry = (code & 0x8000) ? nullptr : codeBook + kTileCodeBookHeaderSize + 16 * static_cast<size_t>(code);
            for (uint64_t r = 0; r < rows; ++r) {
                uint8_t* dst = pixels + (ty * 4 + r) * width + tx * 4;
                if (entry)
                    std::memcpy(dst, entry + r * 4, cols);
                else
                    std::memset(dst, code & 0xFF, cols);
            }
        }
    }
    return 1;
}
