// The texture cache and the texture files.
//
// Textures are 8-bit palette images, stored either as ".vqm" files (4 x 4 blocks coded against a
// shared code-book file) or as plain ".map" images used as loaded. A ".vqm" texture is decoded
// once, shared by name with a reference count, kept on a purge list after its last release and
// freed, oldest release first, only when memory runs out.
//
// ".vqm": format word (16), width (16, unsigned), height (32, signed), code-book name (16 bytes,
// zero-terminated within them), then one 16-bit code per block, block rows top to bottom. A code
// with bit 15 set is a solid block of its low byte; any other indexes the code book, whose
// 16-byte entries (four rows of four texels) start after a 4-byte header.
// ".map" and decoded images (TextureImage): width (16), format word (16), height (32), texels.
#pragma once
#include <cstddef>
#include <cstdint>

// An image's 8-byte header; the texels follow it. Read it through the accessors below.
struct TextureImage {
    uint8_t header[8];
};
constexpr size_t kTextureHeaderSize = 8;
constexpr size_t kVqmHeaderSize = 24;
constexpr size_t kCodeBookHeaderSize = 4;
// Decoded images carry this much room past their texels (the rasteriser's guard bytes).
constexpr size_t kTextureGuardSize = 16;
constexpr size_t kTextureNameLength = 15;  // significant characters of a texture name

int32_t TextureImage_Width(const TextureImage* image);
uint16_t TextureImage_Format(const TextureImage* image);
int32_t TextureImage_Height(const TextureImage* image);
const uint8_t* TextureImage_Texels(const TextureImage* image);

// Checks a ".map" image of the given size: a header, non-negative sizes and every texel present.
bool TextureImage_Check(const void* bytes, size_t size);

// The bytes a decoded image needs: width x height + 24 (0 when the header is unusable or the
// width does not fit the image's signed 16-bit field).
size_t Vq_DecodedSize(const uint8_t* vqm, size_t vqmSize);
// Decodes a ".vqm" into target. False without writing when the target is smaller than
// width x height + 24, the file is shorter than its header and codes, or a code points past the
// code book.
bool Vq_DecodeTexture(const uint8_t* vqm, size_t vqmSize, const uint8_t* codeBook, size_t codeBookSize,
                      uint8_t* target, size_t targetSize);

// The cache's record of one decoded texture.
struct TexCacheEntry {
    char name[16];  // the ".vqm" name
    TextureImage* image;
    uint16_t refs;
    uint8_t flags;  // kTexOnPurgeList, kTexHasDeviceCopy
    TexCacheEntry* older;
    TexCacheEntry* newer;
    TexCacheEntry* next;  // hash-bucket link
};
constexpr uint8_t kTexOnPurgeList = 1;
constexpr uint8_t kTexHasDeviceCopy = 2;
constexpr int kTexCacheBuckets = 109;

// The bucket of a name: h = (c AND 0xDF) XOR 2h over its bytes, then (1741 h + 2731) mod 109.
int TexCache_Bucket(const char* name);

// Empties the hash table and the purge list (freeing what is left in them).
void TexCache_Reset();
// The image of name with one more reference, or null. A ".vqm" of the same stem is preferred
// and decoded once; otherwise the plain file of that name from the file cache is used.
TextureImage* TexCache_Load(const char* name);
// One reference less; at 0 the entry goes to the head of the purge list. Names not in the cache
// are plain files and are unlocked in the file cache.
void TexCache_Release(const char* name);
// Frees the oldest released entry (sparing ones with a hardware copy on the hardware path).
// 0 when the purge list is empty.
int TexCache_EvictOne();
// No entry has a hardware copy any more (the hardware textures were all released).
void TexCache_ForgetDeviceCopies();
// Releases every hardware texture and frees every entry, referenced or not (mission end).
void TexCache_PurgeAll();
// Writes the cache's contents to "texcache.txt" in the profile directory.
void TexCache_Dump();
// Prefer plain files of the given name over ".vqm" files (the loose-file preference).
void TexCache_SetPreferPlainFiles(bool prefer);

// Inspection for tools and tests.
TexCacheEntry* TexCache_Find(const char* cacheName);
int TexCache_EntryCount();
// Names on the purge list, newest release first.
int TexCache_PurgeOrder(const char** names, int capacity);
struct TexCacheStats {
    uint32_t requests;
    uint32_t hits;
    uint32_t decompressed;
    uint32_t plainLoads;
    uint32_t evictions;
    float evictionsPerAllocation;  // running average
};
TexCacheStats TexCache_GetStats();
void TexCache_ResetStats();  // every figure back to 0 (the cache itself is kept)
// The next count image allocations fail (fault injection).
void TexCache_FailNextAllocations(int count);

// What the cache asks of the hardware texture manager.
struct TexCacheDeviceHooks {
    bool (*hasDeviceTexture)(const TextureImage* image);
    void (*releaseAll)();
};
// Null restores the hardware texture manager's own.
void TexCache_SetDeviceHooks(const TexCacheDeviceHooks* hooks);
