#include "core/datafile.h"

#include <cstdio>

#include "core/filecache.h"
#include "platform/paths.h"

namespace {

// Through the file cache (archives and loose files by plain name); the cache keeps its copy,
// the caller gets its own.
bool LoadFromCache(const char* name, std::vector<char>* bytes) {
    const char* data = static_cast<const char*>(Cache_UseItem(name));
    if (!data) return false;
    bytes->assign(data, data + Cache_GetItemSize(name));
    Cache_UnlockItem(name);
    return true;
}

DataFileLoader g_loader = LoadFromCache;

}  // namespace

void DataFile_SetLoader(DataFileLoader loader) { g_loader = loader ? loader : LoadFromCache; }
DataFileLoader DataFile_GetLoader() { return g_loader; }

bool DataFile_Load(const char* name, std::vector<char>* bytes) {
    bytes->clear();
    if (!name || !*name) return false;
    if (g_loader(name, bytes)) return true;
    bytes->clear();
    return false;
}

bool DataFile_ReadHostFile(const char* path, std::vector<char>* bytes) {
    bytes->clear();
    if (!path || !*path) return false;
    FILE* file = Plat_OpenFile(path, "rb");
    if (!file) return false;
    char chunk[16384];
    bool ok = true;
    for (;;) {
        size_t got = std::fread(chunk, 1, sizeof chunk, file);
        bytes->insert(bytes->end(), chunk, chunk + got);
        if (got < sizeof chunk) {
            ok = !std::ferror(file);
            break;
        }
    }
    std::fclose(file);
    if (!ok) bytes->clear();
    return ok;
}
