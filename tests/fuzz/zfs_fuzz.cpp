// Archives are outside input: any bytes must open (or not) and read every record without harm.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/zfs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/gv-fuzz-" + std::to_string(static_cast<long>(::getpid())) + ".zfs";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    ZfsArchive* archive = Zfs_Open(path, false);
    if (!archive) return 0;
    // Stored lengths are checked against the file size, unpacked ones are at most 16 MB.
    for (const ZfsEntry& entry : Zfs_Entries(archive)) {
        std::string name = entry.Name();
        uint32_t length = 0;
        std::free(Zfs_Read(archive, name.c_str(), &length));
        Zfs_Stream(archive, name.c_str(), &length);
    }
    Zfs_Close(archive);
    return 0;
}
