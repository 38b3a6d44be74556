#include "render/texcache.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "core/bytes.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "core/shake.h"
#include "render/d3dtextures.h"
#include "render/graphicdriver.h"

namespace {

TexCacheEntry* g_buckets[kTexCacheBuckets] = {};
TexCacheEntry* g_purgeHead = nullptr;  // newest release
TexCacheEntry* g_purgeTail = nullptr;  // oldest release
TexCacheStats g_stats = {};
bool g_preferPlain = false;
int g_failAllocations = 0;

// The hardware texture manager tells which images have a device copy and releases them all.
constexpr TexCacheDeviceHooks kManagerHooks = {TexMgr_HasDeviceTexture, TexMgr_ReleaseAll};
TexCacheDeviceHooks g_device = kManagerHooks;

// The ".vqm" name of a texture name: cut at the first '.', ".vqm" appended. False when either
// name is longer than its 15 significant characters.
bool CacheName(const char* name, char out[16]) {
    size_t length = std::strlen(name);
    if (length > kTextureNameLength) return false;
    const char* dot = std::strchr(name, '.');
    size_t stem = dot ? static_cast<size_t>(dot - name) : length;
    if (stem + 4 > kTextureNameLength) return false;
    std::memcpy(out, name, stem);
    std::memcpy(out + stem, ".vqm", 5);
    return true;
}

bool ValidName(const char* name) { return name && name[0]; }

uint8_t* AllocImage(size_t size) {
    if (g_failAllocations > 0) {
        --g_failAllocations;
        return nullptr;
    }
    return static_cast<uint8_t*>(std::malloc(size));
}

void PurgeUnlink(TexCacheEntry* e) {
    if (!(e->flags & kTexOnPurgeList)) return;
    if (e->newer) e->newer->older = e->older;
    else g_purgeHead = e->older;
    if (e->older) e->older->newer = e->newer;
    else g_purgeTail = e->newer;
    e->older = e->newer = nullptr;
    e->flags &= static_cast<uint8_t>(~kTexOnPurgeList);
}

void PurgePushHead(TexCacheEntry* e) {
    e->newer = nullptr;
    e->older = g_purgeHead;
    if (g_purgeHead) g_purgeHead->newer = e;
    g_purgeHead = e;
    if (!g_purgeTail) g_purgeTail = e;
    e->flags |= kTexOnPurgeList;
}

bool BucketUnlink(TexCacheEntry* e) {
    TexCacheEntry** link = &g_buckets[TexCache_Bucket(e->name)];
    while (*link && *link != e) link = &(*link)->next;
    if (!*link) return false;
    *link = e->next;
    e->next = nullptr;
    return true;
}

void FreeEntry(TexCacheEntry* e) {
    std::free(e->image);
    delete e;
}

void FreeEverything() {
    for (TexCacheEntry*& head : g_buckets) {
        while (head) {
            TexCacheEntry* e = head;
            head = e->next;
            FreeEntry(e);
        }
    }
    g_purgeHead = g_purgeTail = nullptr;
}

// A name of at most 16 bytes without its terminator, for printing.
std::string EntryName(const TexCacheEntry* e) { return std::string(e->name, strnlen(e->name, sizeof e->name)); }

// The plain file of a name from the file cache, checked as an image.
TextureImage* LoadPlain(const char* name) {
    void* data = Cache_UseItem(name);
    if (!data) return nullptr;
    if (!TextureImage_Check(data, Cache_GetItemSize(name))) {
        Error_Warning("Error: texture %s is not a valid image", name);
        Cache_UnlockItem(name);
        return nullptr;
    }
    ++g_stats.plainLoads;
    return static_cast<TextureImage*>(data);
}

}  // namespace

// ---- images -----------------------------------------------------------------------------------

int32_t TextureImage_Width(const TextureImage* image) { return static_cast<int16_t>(Bytes_U16(image->header)); }
uint16_t TextureImage_Format(const TextureImage* image) { return Bytes_U16(image->header + 2); }
int32_t TextureImage_Height(const TextureImage* image) { return static_cast<int32_t>(Bytes_U32(image->header + 4)); }
const uint8_t* TextureImage_Texels(const TextureImage* image) { return image->header + kTextureHeaderSize; }

bool TextureImage_Check(const void* bytes, size_t size) {
    if (!bytes || size < kTextureHeaderSize) return false;
    const TextureImage* image = static_cast<const TextureImage*>(bytes);
    int64_t width = TextureImage_Width(image), height = TextureImage_Height(image);
    if (width < 0 || height < 0) return false;
    return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= size - kTextureHeaderSize;
}

size_t Vq_DecodedSize(const uint8_t* vqm, size_t vqmSize) {
    // The decoded image keeps its width in a signed 16-bit field: wider files cannot be shown.
    if (vqm && vqmSize >= 4 && Bytes_U16(vqm + 2) > 0x7FFF) return 0;
    size_t out = TileImage_OutputSize(vqm, vqmSize);
    if (out == 0) return 0;
    return out - kTextureHeaderSize + kVqmHeaderSize;
}

bool Vq_DecodeTexture(const uint8_t* vqm, size_t vqmSize, const uint8_t* codeBook, size_t codeBookSize,
                      uint8_t* target, size_t targetSize) {
    size_t need = Vq_DecodedSize(vqm, vqmSize);
    if (need == 0 || !target || targetSize < need) return false;
    return TileImage_Decode(vqm, vqmSize, codeBook, codeBookSize, target, targetSize) == 1;
}

// ---- the cache --------------------------------------------------------------------------------

int TexCache_Bucket(const char* name) {
    uint32_t h = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p)
        h = (static_cast<uint32_t>(*p) & 0xDFu) ^ (h * 2u);
    return static_cast<int>((h * 1741u + 2731u) % static_cast<uint32_t>(kTexCacheBuckets));
}

TexCacheEntry* TexCache_Find(const char* cacheName) {
    if (!ValidName(cacheName)) return nullptr;
    for (TexCacheEntry* e = g_buckets[TexCache_Bucket(cacheName)]; e; e = e->next)
        if (std::strncmp(e->name, cacheName, sizeof e->name) == 0) return e;
    return nullptr;
}

void TexCache_Reset() { FreeEverything(); }

void TexCache_SetPreferPlainFiles(bool prefer) { g_preferPlain = prefer; }
void TexCache_FailNextAllocations(int count) { g_failAllocations = count; }
void TexCache_SetDeviceHooks(const TexCacheDeviceHooks* hooks) { g_device = hooks ? *hooks : kManagerHooks; }
TexCacheStats TexCache_GetStats() { return g_stats; }
void TexCache_ResetStats() { g_stats = {}; }

TextureImage* TexCache_Load(const char* name) {
    ++g_stats.requests;
    if (!ValidName(name)) return nullptr;
    char cacheName[16] = {};
    if (!CacheName(name, cacheName)) {
        Error_Warning("Error: texture name %s is too long", name);
        return nullptr;
    }
    if (TexCacheEntry* e = TexCache_Find(cacheName)) {
        if (e->refs == 0) PurgeUnlink(e);
        if (e->refs == 0xFFFF) {
            Error_Warning("Error: too many uses of texture %s", name);
            return nullptr;
        }
        ++e->refs;
        ++g_stats.hits;
        return e->image;
    }

    bool haveVqm = Cache_ItemExists(cacheName) != 0;
    if (g_preferPlain) {
        if (Cache_ItemExists(name)) return LoadPlain(name);
        if (!haveVqm) {
            Error_Warning("Error:texture %s not found for !", name);
            return nullptr;
        }
    } else if (!haveVqm) {
        return LoadPlain(name);
    }

    const uint8_t* vqm = static_cast<const uint8_t*>(Cache_UseItem(cacheName));
    if (!vqm) return nullptr;
    size_t vqmSize = Cache_GetItemSize(cacheName);
    // Everything the decoder reads is checked against the file before anything is allocated.
    size_t need = Vq_DecodedSize(vqm, vqmSize);
    if (need == 0 || TileImage_InputSize(vqm, vqmSize) > vqmSize) {
        Error_Warning("Error: Could not decompress texture %s", name);
        Cache_UnlockItem(cacheName);
        return nullptr;
    }
    char bookName[17] = {};
    std::memcpy(bookName, vqm + 8, 16);
    if (std::strlen(bookName) > kTextureNameLength) {
        Error_Warning("Error: Codebook name of texture %s is too long", name);
        Cache_UnlockItem(cacheName);
        return nullptr;
    }
    const uint8_t* book = bookName[0] ? static_cast<const uint8_t*>(Cache_UseItem(bookName)) : nullptr;
    if (!book) {
        Error_Warning("Error: Codebook %s not found for texture %s!", bookName, name);
        Cache_UnlockItem(cacheName);
        return nullptr;
    }
    size_t bookSize = Cache_GetItemSize(bookName);
    auto unlockBoth = [&] {
        Cache_UnlockItem(bookName);
        Cache_UnlockItem(cacheName);
    };

    uint8_t* image = nullptr;
    int evicted = 0;
    while (!(image = AllocImage(need))) {
        if (!TexCache_EvictOne()) {
            Error_Warning("Error: Texture cache overflow!");
            TexCache_Dump();
            unlockBoth();
            return nullptr;
        }
        ++evicted;
    }
    g_stats.evictionsPerAllocation = 0.1f * static_cast<float>(evicted) + 0.9f * g_stats.evictionsPerAllocation;

    if (!Vq_DecodeTexture(vqm, vqmSize, book, bookSize, image, need)) {
        Error_Warning("Error: Could not decompress texture %s", name);
        std::free(image);
        unlockBoth();
        return nullptr;
    }
    // The guard bytes past the texels are defined (the rasteriser may read them).
    size_t texels = need - kVqmHeaderSize + kTextureHeaderSize;
    std::memset(image + texels, 0, need - texels);
    TexCacheEntry* e = new (std::nothrow) TexCacheEntry{};
    if (!e) {
        Error_Warning("Error: unable to add texture %s to cache", name);
        std::free(image);
        unlockBoth();
        return nullptr;
    }
    std::memcpy(e->name, cacheName, sizeof e->name);
    e->image = reinterpret_cast<TextureImage*>(image);
    e->refs = 1;
    int bucket = TexCache_Bucket(cacheName);
    e->next = g_buckets[bucket];
    g_buckets[bucket] = e;
    unlockBoth();
    ++g_stats.decompressed;
    return e->image;
}

void TexCache_Release(const char* name) {
    if (!ValidName(name)) return;
    char cacheName[16] = {};
    if (!CacheName(name, cacheName)) return;
    TexCacheEntry* e = TexCache_Find(cacheName);
    if (!e) {
        Cache_UnlockItem(name);
        return;
    }
    if (e->refs == 0) return;
    if (--e->refs != 0) return;
    if (!(e->flags & kTexOnPurgeList)) PurgePushHead(e);
    if (g_device.hasDeviceTexture(e->image)) e->flags |= kTexHasDeviceCopy;
}

int TexCache_EvictOne() {
    if (!g_purgeTail) return 0;
    TexCacheEntry* victim = g_purgeTail;
    if (GraphicD3DFlags != 0) {
        victim = nullptr;
        for (TexCacheEntry* e = g_purgeTail; e; e = e->newer)
            if (!(e->flags & kTexHasDeviceCopy)) {
                victim = e;
                break;
            }
        if (!victim) {
            g_device.releaseAll();
            TexCache_ForgetDeviceCopies();
            victim = g_purgeTail;
        }
    }
    PurgeUnlink(victim);
    if (!BucketUnlink(victim)) {
        Error_Fatal("Error: texture %s from purge list not found in hash table!", EntryName(victim).c_str());
        return 0;
    }
    FreeEntry(victim);
    ++g_stats.evictions;
    return 1;
}

void TexCache_ForgetDeviceCopies() {
    for (TexCacheEntry* head : g_buckets)
        for (TexCacheEntry* e = head; e; e = e->next) e->flags &= static_cast<uint8_t>(~kTexHasDeviceCopy);
}

void TexCache_PurgeAll() {
    g_device.releaseAll();
    FreeEverything();
}

void TexCache_Dump() {
    const int mode = Debug_GetOutputMode();
    const std::string path = Debug_GetLogPath();
    Debug_SetLogPath("texcache.txt");
    Debug_OpenLog();
    Debug_SetOutputMode(kDebugOutLog);
    Debug_Printf("Contents of texture cache:\n\n");
    long long total = 0;
    for (TexCacheEntry* head : g_buckets)
        for (TexCacheEntry* e = head; e; e = e->next) {
            long long size = static_cast<long long>(TextureImage_Width(e->image)) * TextureImage_Height(e->image) + 8;
            total += size;
            Debug_Printf("Name: %30s Addr: %x Size: %7lld\n", EntryName(e).c_str(),
                         static_cast<unsigned>(reinterpret_cast<uintptr_t>(e->image)), size);
        }
    Debug_Printf("\nTotal allocated: %lld\n", total);
    // Later debug text goes where it went before.
    Debug_SetOutputMode(mode);
    Debug_SetLogPath(path.c_str());
}

int TexCache_EntryCount() {
    int n = 0;
    for (TexCacheEntry* head : g_buckets)
        for (TexCacheEntry* e = head; e; e = e->next) ++n;
    return n;
}

int TexCache_PurgeOrder(const char** names, int capacity) {
    int n = 0;
    for (TexCacheEntry* e = g_purgeHead; e; e = e->older) {
        if (names && n < capacity) names[n] = e->name;
        ++n;
    }
    return n;
}
