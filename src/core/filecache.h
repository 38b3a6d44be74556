// The file cache: loaded data files held whole in memory, found by name, shared by lock count
// and dropped oldest-unlocked-first when room is needed. Bytes come through the file index.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kCacheChains = 2048;
constexpr int kCacheItemLimit = 2048;
constexpr uint32_t kCacheNominalSize = 0x500000;
constexpr size_t kCacheNameLength = 15;  // significant characters of an item name

// The default cache; deletes "symlog.txt" in the profile directory.
void Cache_Init();
// The file's bytes (followed by one zero byte) with one more lock; loaded when absent. Null for a
// null or empty name, a name beginning with "null" in any case, and a file that cannot be had
// (listed in "symlog.txt"; a warning too when the command line made missing files loud).
void* Cache_UseItem(const char* name);
// One lock less; at 0 the item goes to the tail of the purge list. Unknown names are ignored.
void Cache_UnlockItem(const char* name);
// Removes the item at once whatever its lock count.
void Cache_FreeItem(const char* name);
void Cache_FreeAll();
// Whether the file index knows the name (the cache itself is not consulted).
int Cache_ItemExists(const char* name);
// The cached item's size, else the index's size of the file; 0 for an empty name.
uint32_t Cache_GetItemSize(const char* name);
// The name of the item whose data begins at data, "???" when none.
const char* Cache_GetItemName(const void* data);

// Inspection and fault injection for tools and tests.
int Cache_ItemCount();
int Cache_LockCount(const char* name);  // -1 when not cached
std::vector<std::string> Cache_PurgeOrder();  // head (oldest unlocked) first
void Cache_FailNextAllocations(int count);

// The name of the display-depth variant of a file, in one static buffer (null for a null name).
// mode 0 inserts the variant letter at position, mode 1 overwrites the character there, other
// modes copy the name; the suffix, when given, is appended.
const char* File_ModeVariantName(const char* name, const char* suffix, int mode, int position);
// Where the display mode of the player settings comes from (0 until the settings exist).
void File_SetDisplayModeSource(int (*source)());

// Texture locks of a variant name, forwarded to the texture cache once it registers.
using TexCacheHook = void (*)(const char* name);
void TexCache_SetHooks(TexCacheHook use, TexCacheHook release);
void TexCache_UseModeVariant(const char* name, int mode, int position);
void TexCache_ReleaseModeVariant(const char* name, int mode, int position);

// Fixed-size blocks from a free list, for code that allocates many small records of one size.
class BlockPool {
public:
    BlockPool() = default;
    ~BlockPool() { Destroy(); }
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // Blocks are at least 8 bytes: a free block holds the link to the next one.
    void Init(size_t blockSize, int initialBlocks, int growCount);
    // Null when the free list is empty and the pool may not grow (grow count 0).
    void* Alloc();
    void Free(void* block);
    void Destroy();

    size_t BlockSize() const { return blockSize_; }

private:
    bool Grow(int count);

    size_t blockSize_ = 0;
    int growCount_ = 0;
    void* chunks_ = nullptr;
    void* freeList_ = nullptr;
};
