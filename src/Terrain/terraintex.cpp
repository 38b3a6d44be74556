#include "Terrain/terraintex.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "Terrain/terramap.h"
#include "Terrain/terrenv.h"
#include "core/configfile.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace {

constexpr size_t kImageHeader = 8;
constexpr int kDefaultSize = 32;
constexpr float kReducedFirstBand = 1000.0f;
constexpr const char* kFormNames[3] = {"Solid", "CapTo", "DiagonalTo"};

uint32_t g_noFlags = 0;
int32_t g_noPixelDouble = 0;
int32_t g_noSeparateDraw = 0;

int GreyNearest(float r, float g, float b) {
    return static_cast<int>(std::lround((r + g + b) / 3.0f * 255.0f)) & 0xFF;
}

TerrainRenderHooks DefaultHooks() {
    return {&g_noFlags, &g_noPixelDouble, &g_noSeparateDraw, [] { return false; }, GreyNearest,
            []() -> const uint8_t* { return nullptr; }};
}

TerrainRenderHooks g_hooks = DefaultHooks();
TerrainDrawMode g_mode = {0, kTerrainFlatKind, false, 15, false};

struct TextureState {
    TerrainTextureEntry list[kTerrainTextureLimit];
    int count;
    uint8_t slots[kTerrainSlots];
    uint8_t average[kTerrainTextureLimit][3];
    bool loaded;            // the list is complete and the terrain draws textured
    bool listFullWarned;
    int loadedOption;       // the detail option the textures were loaded with (-1: none)
    float mip[kTerrainTextureLevels];  // metres
    float bands[kTerrainTextureLevels];
    uint8_t flat[kTerrainTypes];
    uint8_t flatRgb[kTerrainTypes][3];
    uint8_t green[kTerrainGreenRamp];
    uint8_t grey[kTerrainGreyRamp];
    uint8_t red[kTerrainGreyRamp];
    float arrangements[16][4][8];  // [arrangement][parity z x 2 + parity x][corner u, v]
};

TextureState g_tex;
// The built-in default texture: header and texels (and the rasteriser's guard bytes).
uint8_t g_defaultImage[kImageHeader + kDefaultSize * kDefaultSize + 16];

const TextureImage* AsImage(const void* bytes) { return static_cast<const TextureImage*>(bytes); }

int32_t ImageWidth(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }
int32_t ImageHeight(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t(p[4]) | uint32_t(p[5]) << 8 | uint32_t(p[6]) << 16 | uint32_t(p[7]) << 24);
}

// The texels an image's header claims, when its file holds them all; -1 otherwise.
int64_t ImageTexels(const uint8_t* bytes, uint32_t size) {
    if (!bytes || size < kImageHeader) return -1;
    const int64_t w = ImageWidth(bytes), h = ImageHeight(bytes);
    if (w < 0 || h < 0) return -1;
    const int64_t n = w * h;
    return n <= int64_t(size) - int64_t(kImageHeader) ? n : -1;
}

void BuildDefaultImage() {
    const int light = g_hooks.findNearest(0.55f, 0.55f, 0.5f), dark = g_hooks.findNearest(0.4f, 0.4f, 0.36f);
    std::memset(g_defaultImage, 0, sizeof g_defaultImage);
    g_defaultImage[0] = kDefaultSize;
    g_defaultImage[4] = kDefaultSize;
    for (int y = 0; y < kDefaultSize; ++y)
        for (int x = 0; x < kDefaultSize; ++x)
            g_defaultImage[kImageHeader + y * kDefaultSize + x] = static_cast<uint8_t>(((x ^ y) & 8) ? dark : light);
}

void BuildArrangements() {
    static constexpr int kCornerDx[4] = {0, 1, 1, 0}, kCornerDz[4] = {0, 0, 1, 1};
    for (int a = 0; a < 16; ++a)
        for (int pz = 0; pz < 2; ++pz)
            for (int px = 0; px < 2; ++px)
                for (int c = 0; c < 4; ++c) {
                    const float X = (px + kCornerDx[c]) * 0.5f, Z = (pz + kCornerDz[c]) * 0.5f;
                    float u, v;
                    switch (a) {
                    case 0: case 8: u = X, v = Z; break;
                    case 1: case 9: u = Z, v = 1 - X; break;
                    case 2: case 10: u = 1 - X, v = 1 - Z; break;
                    case 3: case 11: u = 1 - Z, v = X; break;
                    case 4: case 15: u = 1 - X, v = Z; break;
                    case 5: case 12: u = 1 - Z, v = 1 - X; break;
                    case 6: case 13: u = X, v = 1 - Z; break;
                    default: u = Z, v = X; break;  // 7 and 14
                    }
                    g_tex.arrangements[a][pz * 2 + px][c * 2] = u;
                    g_tex.arrangements[a][pz * 2 + px][c * 2 + 1] = v;
                }
}

void BuildRamps() {
    for (int i = 0; i < kTerrainGreenRamp; ++i)
        g_tex.green[i] = static_cast<uint8_t>(g_hooks.findNearest(0.0f, 0.25f + (i % 32) * 0.75f / 31.0f, 0.0f));
    for (int i = 0; i < kTerrainGreyRamp; ++i) {
        const float level = 0.1f + i * 0.7f / 31.0f;
        g_tex.grey[i] = static_cast<uint8_t>(g_hooks.findNearest(level, level, level));
        g_tex.red[i] = static_cast<uint8_t>(g_hooks.findNearest(level, 0.0f, 0.0f));
    }
}

void PaletteRgb(int index, uint8_t out[3]) {
    const uint8_t* palette = g_hooks.palette();
    for (int c = 0; c < 3; ++c) out[c] = palette ? palette[index * 3 + c] : static_cast<uint8_t>(index);
}

// The per-channel average of the palette colours of an image's texels; black for an image that
// is empty or whose file is shorter than its header claims.
void AverageColour(const uint8_t* bytes, uint32_t size, uint8_t out[3]) {
    out[0] = out[1] = out[2] = 0;
    const int64_t n = ImageTexels(bytes, size);
    if (n <= 0) return;
    uint64_t sum[3] = {0, 0, 0};
    const uint8_t* texels = bytes + kImageHeader;
    uint8_t rgb[256][3];
    for (int i = 0; i < 256; ++i) PaletteRgb(i, rgb[i]);
    for (int64_t i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) sum[c] += rgb[texels[i]][c];
    for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(sum[c] / uint64_t(n));
}

void ClearList() {
    std::memset(g_tex.list, 0, sizeof g_tex.list);
    std::memset(g_tex.average, 0, sizeof g_tex.average);
    std::memset(g_tex.slots, 0, sizeof g_tex.slots);
    g_tex.count = 0;
    g_tex.loaded = false;
    g_tex.listFullWarned = false;
}

// A value of the map's settings: true when the key exists (its value may be empty).
bool ReadKey(const char* section, const char* key, char* out, size_t size) {
    out[0] = 0;
    return Cfg_Load(Terrain_GetFileName()) && Cfg_FindValue(section, key, out, size) == 0;
}

// Appends one entry; false when the texture cannot be loaded (after the warning).
bool AddEntry(const char* name, bool repeat) {
    TerrainTextureEntry& e = g_tex.list[g_tex.count];
    std::snprintf(e.name, sizeof e.name, "%s", name);
    e.locked = false;
    if (repeat) {
        const int previous = g_tex.count - 1;
        e.image = g_tex.list[previous].image;
        std::memcpy(g_tex.average[g_tex.count], g_tex.average[previous], 3);
        ++g_tex.count;
        return true;
    }
    void* bytes = Cache_UseItem(name);
    if (!bytes) {
        Error_Warning("Terrain Texture %s not found\nTexture will be off", name);
        return false;
    }
    e.locked = true;
    const uint32_t size = Cache_GetItemSize(name);
    const uint8_t* image = static_cast<const uint8_t*>(bytes);
    // An image whose file is shorter than its header claims is never handed to the drawers.
    e.image = ImageTexels(image, size) > 0 ? AsImage(image) : nullptr;
    AverageColour(image, size, g_tex.average[g_tex.count]);
    ++g_tex.count;
    return true;
}

// The four levels of one slot whose probe key has a value; false when the load must end.
bool AddSlot(int t, int form, int n, int variant) {
    const char letter = static_cast<char>('A' + variant);
    if (g_tex.count + kTerrainTextureLevels > kTerrainTextureLimit) {
        if (!g_tex.listFullWarned)
            Error_Warning("Terrain texture list is full (%d entries)\nFurther terrain textures are left out",
                          kTerrainTextureLimit);
        g_tex.listFullWarned = true;
        return true;
    }
    const int first = g_tex.count;
    const int m = g_mode.reducedDetail ? 1 : 0;
    char section[32], key[40], value[260];
    std::snprintf(section, sizeof section, "TextureType%d", t);
    const char* previousName = g_tex.list[first - 1].name;
    for (int k = 0; k < kTerrainTextureLevels; ++k) {
        if (form == 0)
            std::snprintf(key, sizeof key, "%s%c%d", kFormNames[form], letter, k + m);
        else
            std::snprintf(key, sizeof key, "%s%d_%c%d", kFormNames[form], n, letter, k + m);
        const bool exists = ReadKey(section, key, value, sizeof value);
        // A missing level key and an empty one both repeat the previous entry.
        const bool repeat = !exists || !value[0];
        if (!AddEntry(repeat ? previousName : value, repeat)) return false;
        previousName = g_tex.list[g_tex.count - 1].name;
    }
    const int neighbour = form == 0 ? t : n;
    for (int v = variant; v < 4; ++v) {
        const int base = t * 64 + neighbour * 8 + v * 2;
        if (form == 0) {
            g_tex.slots[base] = g_tex.slots[base + 1] = static_cast<uint8_t>(first);
        } else {
            g_tex.slots[base + (form == 2 ? 1 : 0)] = static_cast<uint8_t>(first);
        }
    }
    return true;
}

bool ProbeHasValue(int t, int form, int n, int variant) {
    char section[32], key[40], value[260];
    std::snprintf(section, sizeof section, "TextureType%d", t);
    const char letter = static_cast<char>('A' + variant);
    if (form == 0)
        std::snprintf(key, sizeof key, "%s%c0", kFormNames[form], letter);
    else
        std::snprintf(key, sizeof key, "%s%d_%c0", kFormNames[form], n, letter);
    return ReadKey(section, key, value, sizeof value) && value[0];
}

// Whether a slot (any variant) of the pair and form exists.
bool HasSlot(int type, int neighbour, int diagonal) {
    return g_tex.slots[type * 64 + neighbour * 8 + 3 * 2 + diagonal] != 0;
}

}  // namespace

TerrainMaterial Terrain_SplitMaterial(uint16_t word) {
    TerrainMaterial m;
    m.type = (word >> 12) & 7;
    m.neighbour = (word >> 8) & 7;
    m.arrangement = (word >> 4) & 15;
    m.diagonal = (word >> 7) & 1;
    m.variant = word & 3;
    return m;
}

int Terrain_SlotIndex(const TerrainMaterial& m) { return m.type * 64 + m.neighbour * 8 + m.variant * 2 + m.diagonal; }

TerrainDrawMode& Terrain_DrawMode() { return g_mode; }
TerrainRenderHooks& Terrain_RenderHooks() { return g_hooks; }

void Terrain_SetDrawMode(int option) {
    if (option < 0 || option > 3) option = 0;
    uint32_t& flags = *g_hooks.renderFlags;
    g_mode.option = option;
    g_mode.polygonKind = option == 0 ? kTerrainFlatKind : kTerrainShadedKind;
    g_mode.textured = option == 2 || option == 3;
    g_mode.faceMask = option == 3 ? 3 : 15;
    if (option == 2) g_mode.reducedDetail = (flags & kRenderFlagLevelZeroOnly) == 0;
    if (option == 3) g_mode.reducedDetail = false;
    *g_hooks.pixelDouble = option == 3 ? 0 : 1;
    if (g_hooks.hardware() && (flags & kRenderFlagHardwareTerrain)) {
        g_mode.faceMask = 3;
        *g_hooks.separateDraw = 1;
    }
    Terrain_BuildFogTable();
    Terrain_SetTextureBands();
}

void Terrain_SetTextureBands() {
    for (int k = 0; k < kTerrainTextureLevels; ++k) {
        const bool keep = g_mode.textured || k == kTerrainTextureLevels - 1;
        g_tex.bands[k] = keep ? g_tex.mip[k] * g_tex.mip[k] * 0.01f : 0.0f;
    }
}

const float* Terrain_TextureBands() { return g_tex.bands; }

void Terrain_FreeTextures() {
    for (int i = 0; i < g_tex.count; ++i)
        if (g_tex.list[i].locked) Cache_UnlockItem(g_tex.list[i].name);
    ClearList();
    Scrounge_Free();
}

void Terrain_LoadTextures() {
    Terrain_SelectView(0);
    Scrounge_Load();

    const std::string cfg = Plat_ProfilePath("render.cfg");
    static constexpr int kMipDefaults[4] = {60, 120, 240, 4800};
    static const char* const kMipKeys[4] = {"MIP0", "MIP1", "MIP2", "MIP3"};
    for (int k = 0; k < 4; ++k)
        g_tex.mip[k] = static_cast<float>(Plat_IniGetInt("NormalView", kMipKeys[k], kMipDefaults[k], cfg.c_str()));
    uint32_t& flags = *g_hooks.renderFlags;
    if (g_mode.reducedDetail) {
        flags |= kRenderFlagReducedTextures;
        g_tex.mip[0] = kReducedFirstBand;
    } else {
        flags &= ~kRenderFlagReducedTextures;
    }
    Terrain_SetTextureBands();

    for (int i = 0; i < g_tex.count; ++i)
        if (g_tex.list[i].locked) Cache_UnlockItem(g_tex.list[i].name);
    ClearList();
    const char* file = Terrain_GetFileName();
    for (int t = 0; t < kTerrainTypes; ++t) {
        char section[32];
        std::snprintf(section, sizeof section, "TextureType%d", t);
        g_tex.flat[t] = static_cast<uint8_t>(Cfg_GetProfileInt(section, "FlatColor", 0, file));
    }
    BuildRamps();
    g_tex.loadedOption = g_mode.option;
    for (int t = 0; t < kTerrainTypes; ++t) PaletteRgb(g_tex.flat[t], g_tex.flatRgb[t]);
    BuildArrangements();
    if (!g_mode.textured) return;

    BuildDefaultImage();
    g_tex.list[0] = TerrainTextureEntry{"", AsImage(g_defaultImage), false};
    AverageColour(g_defaultImage, sizeof g_defaultImage, g_tex.average[0]);
    g_tex.count = 1;
    for (int t = 0; t < kTerrainTypes; ++t)
        for (int form = 0; form < 3; ++form)
            for (int n = 0; n < (form == 0 ? 1 : kTerrainTypes); ++n)
                for (int variant = 0; variant < 4; ++variant) {
                    if (!ProbeHasValue(t, form, n, variant)) continue;
                    if (!AddSlot(t, form, n, variant)) {
                        Terrain_FreeTextures();
                        return;
                    }
                }
    g_tex.loaded = true;
}

void Terrain_CheckDetailChange() {
    if (g_mode.option == g_tex.loadedOption || Terrain_ZoneCount() == 0) return;
    Terrain_FreeTextures();
    Terrain_LoadTextures();
}

bool Terrain_TexturesLoaded() { return g_tex.loaded; }
int Terrain_TextureCount() { return g_tex.count; }
const TerrainTextureEntry& Terrain_TextureEntry(int index) {
    static const TerrainTextureEntry kNone{};
    return index >= 0 && index < g_tex.count ? g_tex.list[index] : kNone;
}
const uint8_t* Terrain_SlotTable() { return g_tex.slots; }

const TextureImage* Terrain_SelectCellTexture(int x, int z, uint16_t material, float cameraX, float cameraZ) {
    const int slot = g_tex.slots[Terrain_SlotIndex(Terrain_SplitMaterial(material))];
    const TextureImage* fallback = g_tex.count > 0 ? g_tex.list[0].image : nullptr;
    if (slot == 0 || slot >= g_tex.count) return fallback;
    if (*g_hooks.renderFlags & kRenderFlagLevelZeroOnly) return g_tex.list[slot].image ? g_tex.list[slot].image : fallback;
    const float dz = z + 0.5f - cameraZ, dx = x + 0.5f - cameraX;
    const float d = std::nearbyint(dz * dz + dx * dx);
    for (int k = 0; k < kTerrainTextureLevels; ++k)
        if (g_tex.bands[k] >= d && slot + k < g_tex.count && g_tex.list[slot + k].image) return g_tex.list[slot + k].image;
    return fallback;
}

int Terrain_GetMapColor(int x, int z) {
    return g_tex.slots[Terrain_SlotIndex(Terrain_SplitMaterial(*Terrain_GetMaterialWord(x, z)))] / 4;
}

void Terrain_GetColorEntry(uint8_t out[3], int index) {
    out[0] = out[1] = out[2] = 0;
    if (index >= 0 && index < g_tex.count) std::memcpy(out, g_tex.average[index], 3);
}

const TextureImage* Terrain_GetCellTexCoords(int x, int z, float u[4], float v[4]) {
    const TerrainMaterial m = Terrain_SplitMaterial(*Terrain_GetMaterialWord(x, z));
    const float* uv = Terrain_Arrangement(m.arrangement, x & 1, z & 1);
    for (int c = 0; c < 4; ++c) u[c] = uv[c * 2], v[c] = uv[c * 2 + 1];
    const int slot = g_tex.slots[Terrain_SlotIndex(m)];
    return slot > 0 && slot < g_tex.count ? g_tex.list[slot].image : nullptr;
}

const float* Terrain_Arrangement(int arrangement, int parityX, int parityZ) {
    return g_tex.arrangements[arrangement & 15][(parityZ & 1) * 2 + (parityX & 1)];
}

uint8_t Terrain_FlatColour(int type) { return g_tex.flat[type & 7]; }
uint8_t Terrain_GreenRamp(int index) { return g_tex.green[index < 0 ? 0 : index > 255 ? 255 : index]; }
uint8_t Terrain_GreyRamp(int index) { return g_tex.grey[index < 0 ? 0 : index > 31 ? 31 : index]; }
uint8_t Terrain_RedRamp(int index) { return g_tex.red[index < 0 ? 0 : index > 31 ? 31 : index]; }

uint16_t Terrain_CycleType(uint16_t word, int step) {
    const int s = step < 0 ? 7 : 1;
    const int type = (word >> 12) & 7;
    for (int i = 1, t = (type + s) & 7; i < kTerrainTypes; ++i, t = (t + s) & 7)
        if (HasSlot(t, t, 0)) return static_cast<uint16_t>(t << 12 | t << 8 | (word & 0x7C));
    return word;
}

namespace {
int CyclePair(uint16_t* word, int step, int diagonal) {
    const int s = step < 0 ? 63 : 1;
    const int type = (*word >> 12) & 7, neighbour = (*word >> 8) & 7;
    for (int i = 1, p = (type * 8 + neighbour + s) & 63; i < 64; ++i, p = (p + s) & 63) {
        const int t = p >> 3, n = p & 7;
        if (t == n || !HasSlot(t, n, diagonal)) continue;
        *word = static_cast<uint16_t>(t << 12 | n << 8 | diagonal << 7 | (*word & 0x7F));
        return t * 16;
    }
    return type * 16;
}
}  // namespace

int Terrain_CycleCapTo(uint16_t* word, int step) { return CyclePair(word, step, 0); }
int Terrain_CycleDiagonalTo(uint16_t* word, int step) { return CyclePair(word, step, 1); }

uint16_t Terrain_CycleVariant(uint16_t word, int step) {
    const TerrainMaterial m = Terrain_SplitMaterial(word);
    const int current = g_tex.slots[Terrain_SlotIndex(m)];
    const int s = step < 0 ? 3 : 1;
    TerrainMaterial next = m;
    for (int i = 1; i < 4; ++i) {
        next.variant = (m.variant + i * s) & 3;
        if (g_tex.slots[Terrain_SlotIndex(next)] != current) return static_cast<uint16_t>((word & ~3u) | next.variant);
    }
    return word;
}

void TerrainTex_Reset() {
    for (int i = 0; i < g_tex.count; ++i)
        if (g_tex.list[i].locked) Cache_UnlockItem(g_tex.list[i].name);
    g_tex = TextureState{};
    g_tex.loadedOption = -1;
    static constexpr float kMip[4] = {60, 120, 240, 4800};
    for (int k = 0; k < 4; ++k) g_tex.mip[k] = kMip[k];
    g_hooks = DefaultHooks();
    g_noFlags = 0;
    g_noPixelDouble = 0;
    g_noSeparateDraw = 0;
    g_mode = {0, kTerrainFlatKind, false, 15, false};
    BuildArrangements();
    Terrain_SetTextureBands();
}

namespace {
const bool kStarted = (TerrainTex_Reset(), true);
}  // namespace
