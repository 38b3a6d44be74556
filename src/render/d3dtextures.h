// The hardware texture manager: every game texture (a texture-cache image or a sprite page) gets
// a device texture on first use. One table sorted by the image's address maps images to device
// textures; 8-bit images go through the palette's 16-bit colour table (5-6-5), 16-bit images with
// alpha (4-4-4-4) are copied as they are. When the device runs out of memory the oldest texture
// of the same size is reused, else everything is dropped at the end of the scene.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gpu.h"

struct TextureImage;

constexpr int kTexMgrSlots = 511;

struct TexMgrSlot {
    const TextureImage* texture = nullptr;  // the key
    uint32_t sizeWord = 0;  // bits 0-11 width, 12-23 height, 24 made without the device flag,
                            // 25 kind (1 = 16-bit with alpha), 26 mip levels supplied
    uint32_t lastUse = 0;   // frame count of the last lookup
    GpuTexture d3dTexture = 0;
};

struct TexMgrCounters {
    uint32_t bytesCreated = 0;
    uint32_t uploadsThisFrame = 0;
    uint32_t hits = 0;
    uint32_t reuses = 0;
    uint32_t releases = 0;  // times every texture was released (kept through the release)
};

// The device texture of the image, created on first use; 0 when there is none (the primitive is
// drawn untextured). darkAllowed lets a kind-0 image use the dark-substitute table.
GpuTexture TexMgr_Lookup(const TextureImage* texture, bool darkAllowed);
// The same through a one-entry cache in front.
GpuTexture TexMgr_LookupCached(const TextureImage* texture, bool darkAllowed);
// Loads the image into the table when it is not there; mips (three smaller images) optional.
GpuTexture TexMgr_Ensure(const TextureImage* texture, const TextureImage* const* mips = nullptr);
bool TexMgr_HasDeviceTexture(const TextureImage* texture);
// True when the image's device texture carries alpha: a 16-bit image, or an 8-bit one holding
// the key colour (index 255), which is uploaded as 4-4-4-4 with its key texels clear so that the
// hardware shows through them as the software drawers do.
bool TexMgr_HasAlpha(const TextureImage* texture);
void TexMgr_Preload();
void TexMgr_ReleaseAll();

// Inspection for the statistics and tests.
int TexMgr_SlotCount();
const TexMgrSlot* TexMgr_Slots();
TexMgrCounters& TexMgr_Counters();
// Clears the table, the cache, the counters and the remembered invalid images (no device calls).
void TexMgr_ResetState();

// Where the preload finds the mission's textures. Each fills the list (null entries are skipped).
struct TexMgrPreloadSources {
    // The terrain texture list (in groups of four when mip maps are on).
    void (*terrainTextures)(std::vector<const TextureImage*>* out);
    void (*skyTextures)(std::vector<const TextureImage*>* out);    // two
    void (*cloudTextures)(std::vector<const TextureImage*>* out);  // eight
    void (*starTextures)(std::vector<const TextureImage*>* out);   // sixty-four
    // Sprite pages with their width and height in texels.
    void (*spritePages)(std::vector<const TextureImage*>* out);
    // The name of an image for traces (the file cache's name); empty when unknown.
    const char* (*nameOf)(const TextureImage* texture);
};
// Null restores the stand-ins.
void TexMgr_SetPreloadSources(const TexMgrPreloadSources* sources);

// "map.lst": the texture names it lists, lower-cased, at most 8 characters of stem, ".map".
std::vector<std::string> TexMgr_ParseMapList(const char* text, size_t size);

// Installs the texture cache's device hooks.
void TexMgr_InstallDeviceHooks();
