#include "core/filesys.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/configfile.h"
#include "core/debug.h"
#include "core/exitcodes.h"
#include "core/filecache.h"
#include "core/zfs.h"
#include "core/zix.h"
#include "platform/mapped_file.h"
#include "platform/paths.h"

namespace {
std::vector<MappedFile*> g_mapped;
}  // namespace

const char* FileSys_IndexFileName(uint32_t displayFlags) {
    if (!(displayFlags & kDisplayHardware)) return "kolta.zix";
    static const char* const kNames[] = {"kolta8s.zix", "kolta8l.zix", "kolta16s.zix", "kolta16l.zix"};
    int index = ((displayFlags & kDisplayBit1) ? 2 : 0) + ((displayFlags & kDisplayBit2) ? 1 : 0);
    return kNames[index];
}

bool FileSys_TryStart(uint32_t displayFlags) {
    Cache_Init();
    Zfs_LzoInit();
    const char* indexFile = FileSys_IndexFileName(displayFlags);
    if (!Zix_Build(indexFile) || !Zix_OpenArchives()) {
        Debug_Printf("%s\n", Zfs_LastError());
        Zix_Free();
        return false;
    }
    return true;
}

void FileSys_Start(uint32_t displayFlags) {
    if (FileSys_TryStart(displayFlags)) return;
    // Not a lack of memory: say which file is missing or damaged and end with a code that says so.
    const std::string reason = Zfs_LastError();
    const std::string text = std::string(App_Text("Sorry, unable to find required files to run. Please check your "
                                                  "working directory or reinstall the game.")) +
                             "\n" + reason;
    Data_Close();
    App_StartFailure(text.c_str(), kExitDataFiles);
}

void Data_Close() {
    Cache_FreeAll();
    Cfg_Forget();  // the configuration file held came through the file system too
    Zix_Free();
    for (MappedFile* file : g_mapped) {
        Plat_UnmapFile(file->map);
        delete file;
    }
    g_mapped.clear();
}

MappedFile* MappedFile_Open(const char* dir, const char* name) {
    std::string path = (dir && dir[0]) ? std::string(dir) + "\\" + (name ? name : "") : std::string(name ? name : "");
    PlatMappedFile* map = Plat_MapFile(Plat_DataPath(path));
    if (!map) {
        Error_Fatal("Can't open file %s", path.c_str());
        return nullptr;
    }
    auto* file = new MappedFile{map->data, map->size, map};
    g_mapped.push_back(file);
    return file;
}

void MappedFile_Close(MappedFile* file) {
    auto it = std::find(g_mapped.begin(), g_mapped.end(), file);
    if (it == g_mapped.end()) return;
    g_mapped.erase(it);
    Plat_UnmapFile(file->map);
    delete file;
}
