#include "core/filecache.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "core/cmdline.h"
#include "core/debug.h"
#include "core/helpers.h"
#include "core/zfs.h"
#include "core/zix.h"
#include "platform/paths.h"

namespace {

// One heap block: this header, then the file's bytes, then one zero byte.
struct alignas(16) CacheItem {
    char name[kCacheNameLength + 1];
    uint32_t size;
    int16_t lockCount;
    CacheItem* chainNext;
    CacheItem* purgeNext;
    CacheItem* purgePrev;

    uint8_t* Data() { return reinterpret_cast<uint8_t*>(this + 1); }
};

struct FileCache {
    CacheItem** chains = nullptr;
    int itemCount = 0;
    int itemLimit = kCacheItemLimit;
    CacheItem* purgeHead = nullptr;  // unlocked longest ago
    CacheItem* purgeTail = nullptr;
    uint32_t nominalSize = kCacheNominalSize;
};

FileCache g_cache;
int g_failAllocations = 0;

// Names are kept to 15 characters; hashing and comparing use that same stored form, so a longer
// name is found again.
void StoredName(const char* name, char out[kCacheNameLength + 1]) {
    std::strncpy(out, name, kCacheNameLength);
    out[kCacheNameLength] = 0;
}

uint32_t Bucket(const char* stored) {
    uint32_t h = 0x811C9DC5u;
    for (const char* p = stored; *p; ++p) {
        h ^= static_cast<uint8_t>(std::tolower(static_cast<unsigned char>(*p)));
        h *= 16777619u;
    }
    return (h ^ (h >> 11)) & 0x7FF;
}

bool EnsureChains() {
    if (g_cache.chains) return true;
    g_cache.chains = static_cast<CacheItem**>(std::calloc(kCacheChains, sizeof(CacheItem*)));
    return g_cache.chains != nullptr;
}

CacheItem* FindItem(const char* stored) {
    if (!g_cache.chains) return nullptr;
    for (CacheItem* item = g_cache.chains[Bucket(stored)]; item; item = item->chainNext)
        if (std::strcmp(item->name, stored) == 0) return item;
    return nullptr;
}

void PurgeRemove(CacheItem* item) {
    if (item->purgePrev) item->purgePrev->purgeNext = item->purgeNext;
    else if (g_cache.purgeHead == item) g_cache.purgeHead = item->purgeNext;
    if (item->purgeNext) item->purgeNext->purgePrev = item->purgePrev;
    else if (g_cache.purgeTail == item) g_cache.purgeTail = item->purgePrev;
    item->purgeNext = item->purgePrev = nullptr;
}

void PurgeAppend(CacheItem* item) {
    item->purgeNext = nullptr;
    item->purgePrev = g_cache.purgeTail;
    if (g_cache.purgeTail) g_cache.purgeTail->purgeNext = item;
    else g_cache.purgeHead = item;
    g_cache.purgeTail = item;
}

void FreeItem(CacheItem* item) {
    CacheItem** link = &g_cache.chains[Bucket(item->name)];
    while (*link && *link != item) link = &(*link)->chainNext;
    if (!*link) {
        Error_Warning("Freeing bad item \"%s\"\n", item->name);
        return;
    }
    if (item->lockCount == 0) PurgeRemove(item);
    item->lockCount = 0;
    *link = item->chainNext;
    std::free(item);
    g_cache.itemCount--;
}

bool PurgeOldest() {
    if (!g_cache.purgeHead) return false;
    FreeItem(g_cache.purgeHead);
    return true;
}

void* Allocate(size_t bytes) {
    if (g_failAllocations > 0) {
        --g_failAllocations;
        return nullptr;
    }
    return std::calloc(1, bytes);
}

// Written when memory runs out: every item in chain order. The debug output stays on that log.
void DumpCache() {
    Debug_SetOutputMode(kDebugOutLog);
    Debug_SetLogPath("prjcache.txt");
    Debug_OpenLog();
    Debug_Printf("Size: %d Items: %d\n\n", static_cast<int>(g_cache.nominalSize), g_cache.itemCount);
    Debug_Printf("Contents of project file cache:\n\n");
    long long total = 0;
    for (int chain = 0; g_cache.chains && chain < kCacheChains; ++chain) {
        for (CacheItem* item = g_cache.chains[chain]; item; item = item->chainNext) {
            Debug_Printf("Name: %30s Size: %7d\n", item->name, static_cast<int>(item->size));
            total += item->size;
        }
    }
    Debug_Printf("\nTotal allocated: %d\n", static_cast<int>(total));
}

void ReportMissing() {
    const char* reason = Zfs_LastError();
    if (FILE* log = Plat_OpenFile(Plat_ProfilePath("symlog.txt"), "a")) {
        std::fprintf(log, "%s\n", reason);
        std::fclose(log);
    }
    if (!CmdLine_Globals().quietMissingFiles) Error_Warning("%s\n", reason);
}

}  // namespace

void Cache_Init() {
    Cache_FreeAll();
    g_cache = FileCache{};
    EnsureChains();
    Plat_RemoveFile(Plat_ProfilePath("symlog.txt"));
}

void* Cache_UseItem(const char* name) {
    if (!name || !name[0] || Text_CompareNoCaseN(name, "null", 4) == 0) return nullptr;
    if (!EnsureChains()) return nullptr;
    char stored[kCacheNameLength + 1];
    StoredName(name, stored);
    if (CacheItem* item = FindItem(stored)) {
        if (item->lockCount == 0) PurgeRemove(item);
        item->lockCount++;
        return item->Data();
    }

    if (g_cache.itemCount >= g_cache.itemLimit && !PurgeOldest())
        Error_Warning("Gravenholt Memory running low (2)");

    uint32_t size = Zix_FileSize(name);
    if (size > 0) {
        CacheItem* item;
        while (!(item = static_cast<CacheItem*>(Allocate(sizeof(CacheItem) + size_t(size) + 1)))) {
            if (!PurgeOldest()) {
                DumpCache();
                Error_Warning("Gravenholt Memory running low (1)");
                return nullptr;
            }
        }
        if (Zix_ReadFile(name, item->Data(), size)) {
            std::memcpy(item->name, stored, sizeof stored);
            item->size = size;
            item->lockCount = 1;
            uint32_t bucket = Bucket(stored);
            item->chainNext = g_cache.chains[bucket];
            g_cache.chains[bucket] = item;
            g_cache.itemCount++;
            return item->Data();
        }
        std::free(item);
    }
    ReportMissing();
    return nullptr;
}

void Cache_UnlockItem(const char* name) {
    if (!name || !name[0]) return;
    char stored[kCacheNameLength + 1];
    StoredName(name, stored);
    CacheItem* item = FindItem(stored);
    if (!item || item->lockCount <= 0) return;
    if (--item->lockCount == 0) PurgeAppend(item);
}

void Cache_FreeItem(const char* name) {
    if (!name || !name[0]) return;
    char stored[kCacheNameLength + 1];
    StoredName(name, stored);
    if (CacheItem* item = FindItem(stored)) FreeItem(item);
}

void Cache_FreeAll() {
    if (g_cache.chains) {
        for (int chain = 0; chain < kCacheChains; ++chain) {
            CacheItem* item = g_cache.chains[chain];
            while (item) {
                CacheItem* next = item->chainNext;
                std::free(item);
                item = next;
            }
        }
        std::free(g_cache.chains);
    }
    g_cache.chains = nullptr;
    g_cache.itemCount = 0;
    g_cache.purgeHead = g_cache.purgeTail = nullptr;
}

int Cache_ItemExists(const char* name) { return Zix_FileExists(name) ? 1 : 0; }

uint32_t Cache_GetItemSize(const char* name) {
    if (!name || !name[0]) return 0;
    char stored[kCacheNameLength + 1];
    StoredName(name, stored);
    if (CacheItem* item = FindItem(stored)) return item->size;
    return Zix_FileSize(name);
}

const char* Cache_GetItemName(const void* data) {
    for (int chain = 0; data && g_cache.chains && chain < kCacheChains; ++chain)
        for (CacheItem* item = g_cache.chains[chain]; item; item = item->chainNext)
            if (item->Data() == data) return item->name;
    return "???";
}

int Cache_ItemCount() { return g_cache.itemCount; }

int Cache_LockCount(const char* name) {
    if (!name) return -1;
    char stored[kCacheNameLength + 1];
    StoredName(name, stored);
    CacheItem* item = FindItem(stored);
    return item ? item->lockCount : -1;
}

std::vector<std::string> Cache_PurgeOrder() {
    std::vector<std::string> names;
    for (CacheItem* item = g_cache.purgeHead; item; item = item->purgeNext) names.emplace_back(item->name);
    return names;
}

void Cache_FailNextAllocations(int count) { g_failAllocations = count; }

// ---- display-depth variants ----

namespace {
// PENDING(11.102) the player settings record supplies the display mode.
int NoDisplayMode() { return 0; }
int (*g_displayMode)() = NoDisplayMode;
TexCacheHook g_texUse = nullptr;
TexCacheHook g_texRelease = nullptr;

char VariantLetter(int displayMode) {
    if (displayMode >= 1 && displayMode <= 5) return '6';
    if (displayMode >= 6 && displayMode <= 8) return '3';
    return '?';
}
}  // namespace

void File_SetDisplayModeSource(int (*source)()) { g_displayMode = source ? source : NoDisplayMode; }

const char* File_ModeVariantName(const char* name, const char* suffix, int mode, int position) {
    static char buffer[256];
    if (!name) return nullptr;
    std::string out = name;
    char letter = VariantLetter(g_displayMode());
    size_t at = position < 0 ? 0 : size_t(position);
    if (mode == 0) out.insert(std::min(at, out.size()), 1, letter);
    else if (mode == 1 && at < out.size()) out[at] = letter;
    if (suffix) out += suffix;
    std::snprintf(buffer, sizeof buffer, "%s", out.c_str());
    return buffer;
}

void TexCache_SetHooks(TexCacheHook use, TexCacheHook release) {
    g_texUse = use;
    g_texRelease = release;
}

void TexCache_UseModeVariant(const char* name, int mode, int position) {
    const char* variant = File_ModeVariantName(name, nullptr, mode, position);
    if (variant && g_texUse) g_texUse(variant);
}

void TexCache_ReleaseModeVariant(const char* name, int mode, int position) {
    const char* variant = File_ModeVariantName(name, nullptr, mode, position);
    if (variant && g_texRelease) g_texRelease(variant);
}

// ---- BlockPool ----

namespace {
constexpr size_t kChunkHeader = 16;
void*& Link(void* block) { return *static_cast<void**>(block); }
}  // namespace

void BlockPool::Init(size_t blockSize, int initialBlocks, int growCount) {
    Destroy();
    blockSize_ = blockSize < sizeof(void*) ? sizeof(void*) : blockSize;
    blockSize_ = (blockSize_ + alignof(void*) - 1) & ~(alignof(void*) - 1);
    growCount_ = growCount < 0 ? 0 : growCount;
    if (initialBlocks > 0) Grow(initialBlocks);
}

bool BlockPool::Grow(int count) {
    if (count <= 0 || blockSize_ == 0) return false;
    size_t bytes = size_t(count) * blockSize_ + kChunkHeader;
    auto* chunk = static_cast<uint8_t*>(std::malloc(bytes));
    if (!chunk) return false;
    Link(chunk) = chunks_;
    chunks_ = chunk;
    std::memset(chunk + sizeof(void*), 0xFF, bytes - sizeof(void*));
    uint8_t* first = chunk + kChunkHeader;
    for (int i = 0; i < count; ++i) {
        uint8_t* block = first + size_t(i) * blockSize_;
        Link(block) = (i + 1 < count) ? static_cast<void*>(block + blockSize_) : freeList_;
    }
    freeList_ = first;
    return true;
}

void* BlockPool::Alloc() {
    if (!freeList_ && (growCount_ == 0 || !Grow(growCount_))) return nullptr;
    void* block = freeList_;
    freeList_ = Link(block);
    return block;
}

void BlockPool::Free(void* block) {
    if (!block) return;
    Link(block) = freeList_;
    freeList_ = block;
}

void BlockPool::Destroy() {
    while (chunks_) {
        void* previous = Link(chunks_);
        std::free(chunks_);
        chunks_ = previous;
    }
    freeList_ = nullptr;
}
