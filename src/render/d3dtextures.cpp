#include "render/d3dtextures.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <tuple>

#include "Terrain/terraintex.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/graphicdriver.h"
#include "render/sky.h"
#include "render/skyeffects.h"
#include "render/sprite.h"
#include "render/texcache.h"

namespace {

// Sorted by the image's address; g_count slots in use.
TexMgrSlot g_slots[kTexMgrSlots];
int g_count = 0;
TexMgrCounters g_counters;
const TextureImage* g_cachedTexture = nullptr;
GpuTexture g_cachedD3D = 0;
bool g_cachedAlpha = false;  // whether g_cachedTexture's device texture carries alpha
// Images of an invalid size already warned about (address, width, height).
std::set<std::tuple<uintptr_t, int32_t, int32_t>> g_warnedInvalid;

constexpr uint32_t kSizeNoDeviceFlag = 1u << 24;
constexpr uint32_t kSizeKindShift = 25;
constexpr uint8_t kKeyTexel = 255;  // the transparent colour of keyed images
constexpr uint32_t kSizeMips = 1u << 26;

uintptr_t Key(const TextureImage* texture) { return reinterpret_cast<uintptr_t>(texture); }

// The first slot whose key is not below the texture's.
int LowerBound(const TextureImage* texture) {
    const TexMgrSlot* begin = g_slots;
    const TexMgrSlot* found = std::lower_bound(begin, begin + g_count, Key(texture), [](const TexMgrSlot& slot, uintptr_t key) {
        return Key(slot.texture) < key;
    });
    return static_cast<int>(found - g_slots);
}

int FindSlot(const TextureImage* texture) {
    int at = LowerBound(texture);
    return at < g_count && g_slots[at].texture == texture ? at : -1;
}

void InsertSlot(const TexMgrSlot& slot) {
    int at = LowerBound(slot.texture);
    std::memmove(g_slots + at + 1, g_slots + at, sizeof(TexMgrSlot) * static_cast<size_t>(g_count - at));
    g_slots[at] = slot;
    ++g_count;
}

void RemoveSlot(int at) {
    std::memmove(g_slots + at, g_slots + at + 1, sizeof(TexMgrSlot) * static_cast<size_t>(g_count - at - 1));
    --g_count;
    g_slots[g_count] = TexMgrSlot{};
}

const char* NameOf(const TextureImage* texture);

const char* StandInName(const TextureImage* texture) {
    const char* name = Cache_GetItemName(texture);
    return name ? name : "";
}
// The map's terrain texture list as it stands: the default first, then four levels per slot.
void TerrainList(std::vector<const TextureImage*>* out) {
    for (int i = 0; i < Terrain_TextureCount(); ++i) out->push_back(Terrain_TextureEntry(i).image);
}
// The sky plane and the backdrop of the map.
void SkyList(std::vector<const TextureImage*>* out) {
    out->push_back(Sky_GetTexture());
    out->push_back(Sky_GetBackdropTexture());
}
// The cloud and star textures of the map.
void CloudList(std::vector<const TextureImage*>* out) {
    for (int i = 0; const TextureImage* t = Clouds_GetTexture(i); ++i) out->push_back(t);
}
void StarList(std::vector<const TextureImage*>* out) {
    for (int i = 0; i < Stars_Count(); ++i)
        if (const TextureImage* t = Stars_GetTexture(i)) out->push_back(t);
}
// The pages of the sprite table, each once.
void SpriteTablePages(std::vector<const TextureImage*>* out) {
    for (int i = 0; i < SpriteCount; ++i) {
        const TextureImage* page = reinterpret_cast<const TextureImage*>(Sprite_Get(i).page);
        if (page && std::find(out->begin(), out->end(), page) == out->end()) out->push_back(page);
    }
}

constexpr TexMgrPreloadSources kStandInSources = {TerrainList, SkyList, CloudList, StarList, SpriteTablePages,
                                                  StandInName};
TexMgrPreloadSources g_sources = kStandInSources;

const char* NameOf(const TextureImage* texture) {
    const char* name = g_sources.nameOf ? g_sources.nameOf(texture) : nullptr;
    return name ? name : "";
}

struct ImageShape {
    int32_t kind;  // 0 8-bit palette, 1 16-bit with alpha
    int32_t width;
    int32_t height;
};

ImageShape ShapeOf(const TextureImage* image) {
    const int32_t kind = TextureImage_Format(image);
    const int32_t rowBytes = TextureImage_Width(image);
    return ImageShape{kind, kind == 1 ? rowBytes >> 1 : rowBytes, TextureImage_Height(image)};
}

// An 8-bit image holding the key colour: uploaded with alpha (kind 1 on the device).
bool HoldsKey(const TextureImage* image, const ImageShape& shape) {
    if (shape.kind != 0) return false;
    const uint8_t* texels = TextureImage_Texels(image);
    const size_t count = static_cast<size_t>(shape.width) * static_cast<size_t>(shape.height);
    return std::memchr(texels, kKeyTexel, count) != nullptr;
}

uint16_t KeyedTexel(uint8_t index) {
    if (index == kKeyTexel) return 0;
    const uint32_t c = PaletteColors32[index];
    return static_cast<uint16_t>(0xF000u | ((c >> 12) & 0xF00u) | ((c >> 8) & 0xF0u) | ((c >> 4) & 0xFu));
}

bool ValidSide(int32_t side) { return side == 16 || side == 32 || side == 64 || side == 128 || side == 256; }

// One level: 8-bit texels through the colour table, 16-bit texels as they are.
bool UploadLevel(GpuDevice* device, GpuTexture texture, int32_t level, const TextureImage* image, bool dark,
                 bool keyed, GpuLockMode mode) {
    const ImageShape shape = ShapeOf(image);
    GpuLockedRect locked;
    if (device->lockTexture(texture, level, mode, &locked) != GpuResult::Ok) return false;
    const uint8_t* texels = TextureImage_Texels(image);
    if (shape.kind == 0 && keyed) {
        for (int32_t y = 0; y < shape.height; ++y) {
            const uint8_t* in = texels + static_cast<size_t>(y) * static_cast<size_t>(shape.width);
            uint8_t* out = locked.bits + static_cast<size_t>(y) * static_cast<size_t>(locked.pitch);
            for (int32_t x = 0; x < shape.width; ++x) {
                const uint16_t colour = KeyedTexel(in[x]);
                out[x * 2] = static_cast<uint8_t>(colour);
                out[x * 2 + 1] = static_cast<uint8_t>(colour >> 8);
            }
        }
    } else if (shape.kind == 0) {
        const uint16_t* colours = dark ? PaletteColorsDark16 : PaletteColors16;
        for (int32_t y = 0; y < shape.height; ++y) {
            const uint8_t* in = texels + static_cast<size_t>(y) * static_cast<size_t>(shape.width);
            uint8_t* out = locked.bits + static_cast<size_t>(y) * static_cast<size_t>(locked.pitch);
            for (int32_t x = 0; x < shape.width; ++x) {
                const uint16_t colour = colours[in[x]];
                out[x * 2] = static_cast<uint8_t>(colour);
                out[x * 2 + 1] = static_cast<uint8_t>(colour >> 8);
            }
        }
    } else {
        const size_t row = static_cast<size_t>(shape.width) * 2;
        if (static_cast<size_t>(locked.pitch) == row) {
            std::memcpy(locked.bits, texels, row * static_cast<size_t>(shape.height));
        } else {
            for (int32_t y = 0; y < shape.height; ++y)
                std::memcpy(locked.bits + static_cast<size_t>(y) * static_cast<size_t>(locked.pitch),
                            texels + static_cast<size_t>(y) * row, row);
        }
    }
    device->unlockTexture(texture, level);
    return true;
}

// Level 0 and, when given, the three mip images (one of the wrong size is skipped).
void UploadImage(GpuDevice* device, GpuTexture texture, int32_t levels, const TextureImage* image,
                 const TextureImage* const* mips, bool dark, bool keyed, GpuLockMode mode) {
    UploadLevel(device, texture, 0, image, dark, keyed, mode);
    if (levels <= 1 || !mips) return;
    const ImageShape shape = ShapeOf(image);
    for (int32_t level = 1; level < levels; ++level) {
        const TextureImage* mip = mips[level - 1];
        if (!mip) continue;
        const ImageShape got = ShapeOf(mip);
        const int32_t wantW = shape.width >> level, wantH = shape.height >> level;
        if (got.width != wantW || got.height != wantH || got.kind != shape.kind) {
            D3D_Trace("Texture %s is %dx%d instead of %dx%d\n", NameOf(mip), got.width, got.height, wantW, wantH);
            continue;
        }
        UploadLevel(device, texture, level, mip, dark, keyed, mode);
    }
}

GpuTexture Create(const TextureImage* image, const TextureImage* const* mips, bool darkAllowed) {
    GpuDevice* device = D3D_State().device.get();
    if (!device || !image) return 0;
    // 1
    const ImageShape shape = ShapeOf(image);
    if (shape.kind != 0 && shape.kind != 1) return 0;
    if (shape.width != shape.height || !ValidSide(shape.width)) {
        // One warning per image: each draw asks again, and the image stays untextured.
        if (g_warnedInvalid.insert({Key(image), shape.width, shape.height}).second)
            Error_Warning("Invalid size %dx%d for %s\n", shape.width, shape.height, NameOf(image));
        return 0;
    }
    // 2
    if (Graphic_TextureReloadPending()) return 0;
    const uint32_t frame = Clock_GetFrameCount();
    const bool withMips = mips && (RenderFlags & kRenderMipMaps);
    const int32_t levels = withMips ? 4 : 1;
    const bool keyed = HoldsKey(image, shape);
    const int32_t deviceKind = keyed ? 1 : shape.kind;
    uint32_t sizeWord = static_cast<uint32_t>(shape.width) | (static_cast<uint32_t>(shape.height) << 12) |
                        (static_cast<uint32_t>(deviceKind) << kSizeKindShift);
    if (!(GraphicD3DFlags & kD3DDeviceUp)) sizeWord |= kSizeNoDeviceFlag;
    if (withMips) sizeWord |= kSizeMips;
    // The dark table holds for every level of this upload and ends with it.
    const bool dark = shape.kind == 0 && (RenderFlags & kRenderDarkColours) && darkAllowed &&
                      !(RenderFlags & kRenderDarkBlocked);
    if (dark) RenderFlags |= kRenderDarkThisUpload;
    struct EndUpload {
        ~EndUpload() { RenderFlags &= ~kRenderDarkThisUpload; }
    } endUpload;

    // 3
    GpuTexture texture = 0;
    if (g_count < kTexMgrSlots) {
        const GpuFormat format = deviceKind == 0 ? GpuFormat::Rgb565 : GpuFormat::Argb4444;
        if (device->createTexture(shape.width, shape.height, levels, format, &texture) == GpuResult::Ok) {
            UploadImage(device, texture, levels, image, mips, dark, keyed, GpuLockMode::Normal);
            ++g_counters.uploadsThisFrame;
            g_counters.bytesCreated += static_cast<uint32_t>(shape.width * shape.height * 2);
            InsertSlot(TexMgrSlot{image, sizeWord, frame, texture});
            return texture;
        }
    }
    // 4: reuse the oldest texture of the same size that was not used in this or the last frame.
    int oldest = -1;
    for (int i = 0; i < g_count; ++i)
        if (g_slots[i].sizeWord == sizeWord && (oldest < 0 || g_slots[i].lastUse < g_slots[oldest].lastUse))
            oldest = i;
    if (oldest >= 0 && g_slots[oldest].lastUse + 1 < frame) {
        TexMgrSlot slot = g_slots[oldest];
        RemoveSlot(oldest);
        UploadImage(device, slot.d3dTexture, levels, image, mips, dark, keyed, GpuLockMode::Discard);
        slot.texture = image;
        slot.lastUse = frame;
        InsertSlot(slot);
        ++g_counters.reuses;
        return slot.d3dTexture;
    }
    RenderFlags &= ~(kRenderPreload | kRenderLoadSprites);
    Graphic_SetTextureReload(true);
    return 0;
}

void PreloadList(const std::vector<const TextureImage*>& list) {
    for (const TextureImage* image : list)
        if (image) TexMgr_Ensure(image);
}

}  // namespace

GpuTexture TexMgr_Lookup(const TextureImage* texture, bool darkAllowed) {
    if (!texture) return 0;
    // 1
    if (g_count == 0 && (RenderFlags & (kRenderPreload | kRenderMipMaps))) TexMgr_Preload();
    // 2
    const int at = FindSlot(texture);
    if (at >= 0) {
        ++g_counters.hits;
        g_slots[at].lastUse = Clock_GetFrameCount();
        return g_slots[at].d3dTexture;
    }
    // 3
    if (RenderFlags & kRenderPreload) {
        const ImageShape shape = ShapeOf(texture);
        D3D_Trace("Texture not preloaded: %s %dx%d\n", NameOf(texture), shape.width, shape.height);
    }
    return Create(texture, nullptr, darkAllowed);
}

GpuTexture TexMgr_LookupCached(const TextureImage* texture, bool darkAllowed) {
    if (texture && texture == g_cachedTexture) return g_cachedD3D;
    const GpuTexture found = TexMgr_Lookup(texture, darkAllowed);
    g_cachedTexture = found ? texture : nullptr;
    g_cachedD3D = found;
    g_cachedAlpha = false;
    if (found) {
        const int at = FindSlot(texture);
        g_cachedAlpha = at >= 0 && ((g_slots[at].sizeWord >> kSizeKindShift) & 1) != 0;
    }
    return found;
}

bool TexMgr_HasAlpha(const TextureImage* texture) {
    if (!texture) return false;
    if (TextureImage_Format(texture) == 1) return true;
    if (texture == g_cachedTexture) return g_cachedAlpha;
    const int at = FindSlot(texture);
    return at >= 0 && ((g_slots[at].sizeWord >> kSizeKindShift) & 1) != 0;
}

GpuTexture TexMgr_Ensure(const TextureImage* texture, const TextureImage* const* mips) {
    if (!texture) return 0;
    const int at = FindSlot(texture);
    if (at >= 0) return g_slots[at].d3dTexture;
    return Create(texture, mips, true);
}

bool TexMgr_HasDeviceTexture(const TextureImage* texture) { return FindSlot(texture) >= 0; }

void TexMgr_Preload() {
    const bool reloadBefore = Graphic_TextureReloadPending();
    // 1
    std::vector<const TextureImage*> list;
    g_sources.terrainTextures(&list);
    if (!(RenderFlags & kRenderMipMaps)) {
        for (size_t i = 1; i < list.size(); ++i)
            if (list[i]) TexMgr_Ensure(list[i]);
    } else {
        // The list's first entry is the built-in default; the groups of four (an image and its
        // three mip images) follow it, as the levels of each slot do.
        for (size_t i = 1; i < list.size(); i += 4) {
            const TextureImage* image = list[i];
            if (!image) continue;
            const TextureImage* mips[3] = {};
            bool halves = i + 3 < list.size();
            const TextureImage* previous = image;
            for (int m = 0; m < 3 && halves; ++m) {
                mips[m] = list[i + 1 + static_cast<size_t>(m)];
                halves = mips[m] && ShapeOf(mips[m]).width * 2 == ShapeOf(previous).width &&
                         ShapeOf(mips[m]).height * 2 == ShapeOf(previous).height;
                previous = mips[m];
            }
            TexMgr_Ensure(image, halves ? mips : nullptr);
        }
    }
    // 2
    if (RenderFlags & (kRenderPreload | kRenderLoadSprites)) {
        std::vector<const TextureImage*> pages;
        g_sources.spritePages(&pages);
        for (const TextureImage* page : pages) {
            if (!page) continue;
            const ImageShape shape = ShapeOf(page);
            if ((shape.width == 128 && shape.height == 128) || (shape.width == 256 && shape.height == 256))
                TexMgr_Ensure(page);
        }
    }
    // 3
    if (RenderFlags & kRenderPreload) {
        std::vector<const TextureImage*> more;
        g_sources.skyTextures(&more);
        g_sources.cloudTextures(&more);
        g_sources.starTextures(&more);
        PreloadList(more);
        std::vector<std::string> names{"shadow.map"};
        const void* text = Cache_ItemExists("map.lst") ? Cache_UseItem("map.lst") : nullptr;
        if (text) {
            std::vector<std::string> listed =
                TexMgr_ParseMapList(static_cast<const char*>(text), Cache_GetItemSize("map.lst"));
            names.insert(names.end(), listed.begin(), listed.end());
            Cache_UnlockItem("map.lst");
        }
        for (const std::string& name : names)
            if (TextureImage* image = TexCache_Load(name.c_str())) TexMgr_Ensure(image);
    }
    // 4
    if (!reloadBefore && Graphic_TextureReloadPending()) RenderFlags &= ~(kRenderPreload | kRenderLoadSprites);
    Graphic_SetTextureReload(false);
}

void TexMgr_ReleaseAll() {
    GpuDevice* device = D3D_State().device.get();
    for (int i = 0; i < g_count; ++i)
        if (device && g_slots[i].d3dTexture) device->releaseTexture(g_slots[i].d3dTexture);
    std::fill(g_slots, g_slots + kTexMgrSlots, TexMgrSlot{});
    g_count = 0;
    TexCache_ForgetDeviceCopies();
    g_cachedTexture = nullptr;
    g_cachedD3D = 0;
    const uint32_t releases = g_counters.releases + 1;
    g_counters = TexMgrCounters{};
    g_counters.releases = releases;
}

int TexMgr_SlotCount() { return g_count; }
const TexMgrSlot* TexMgr_Slots() { return g_slots; }
TexMgrCounters& TexMgr_Counters() { return g_counters; }

void TexMgr_ResetState() {
    std::fill(g_slots, g_slots + kTexMgrSlots, TexMgrSlot{});
    g_count = 0;
    g_counters = TexMgrCounters{};
    g_cachedTexture = nullptr;
    g_cachedD3D = 0;
    g_warnedInvalid.clear();
    g_sources = kStandInSources;
}

void TexMgr_SetPreloadSources(const TexMgrPreloadSources* sources) {
    g_sources = sources ? *sources : kStandInSources;
}

std::vector<std::string> TexMgr_ParseMapList(const char* text, size_t size) {
    std::vector<std::string> names;
    size_t i = 0;
    auto separator = [](unsigned char c) { return c <= ' ' || c == 0x7F; };
    while (i < size) {
        while (i < size && separator(static_cast<unsigned char>(text[i]))) ++i;
        if (i >= size) break;
        // A comment runs to the end of the line.
        if (text[i] == ';' || (text[i] == '/' && i + 1 < size && text[i + 1] == '/')) {
            while (i < size && text[i] != '\n' && text[i] != '\r') ++i;
            continue;
        }
        std::string token;
        while (i < size && !separator(static_cast<unsigned char>(text[i]))) {
            if (text[i] == ';' || (text[i] == '/' && i + 1 < size && text[i + 1] == '/')) break;
            token += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
            ++i;
        }
        const size_t dot = token.find('.');
        std::string stem = token.substr(0, std::min<size_t>(dot == std::string::npos ? token.size() : dot, 8));
        if (stem.empty()) continue;
        names.push_back(stem + ".map");
    }
    return names;
}

void TexMgr_InstallDeviceHooks() {
    static const TexCacheDeviceHooks hooks = {TexMgr_HasDeviceTexture, TexMgr_ReleaseAll};
    TexCache_SetDeviceHooks(&hooks);
}
