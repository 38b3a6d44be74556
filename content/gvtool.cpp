// gvtool: the developer's command-line tool.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "content.h"
#include "core/zfs.h"

namespace {
int Usage() {
    std::fprintf(stderr,
                 "usage: gvtool content DIR                      write the sample world into DIR\n"
                 "       gvtool zfs-list ARCHIVE                 list an archive's records\n"
                 "       gvtool zfs-extract ARCHIVE NAME OUT     write a record's bytes to OUT\n"
                 "       gvtool zfs-add [-raw] ARCHIVE FILE [NAME]\n"
                 "                                               add FILE (as NAME), compressed unless -raw;\n"
                 "                                               a record of that name is replaced\n");
    return 2;
}

int Fail(const char* what) {
    std::fprintf(stderr, "gvtool: %s\n", what);
    return 1;
}

int List(const char* path) {
    ZfsArchive* archive = Zfs_Open(path, false);
    if (!archive) return Fail(Zfs_LastError());
    std::printf("%u records (%u ever added), %u directory tables, mask %08x\n", archive->liveCount,
                archive->headerCount, archive->tableCount, archive->mask);
    for (const ZfsEntry& entry : Zfs_Entries(archive)) {
        const char* kind = (entry.flags & kZfsFlagLzo1x) ? "lzo1x" : (entry.flags & kZfsFlagLzo1y) ? "lzo1y" : "raw";
        std::printf("%-16s %5u %9u %9u %-5s %08x\n", entry.Name().c_str(), entry.recordNumber, entry.Length(),
                    entry.storedLength, kind, entry.userValue);
    }
    Zfs_Close(archive);
    return 0;
}

int Extract(const char* path, const char* name, const char* out) {
    ZfsArchive* archive = Zfs_Open(path, false);
    if (!archive) return Fail(Zfs_LastError());
    uint32_t length = 0;
    void* data = Zfs_Read(archive, name, &length);
    Zfs_Close(archive);
    if (!data) return Fail(Zfs_LastError());
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(data), length);
    std::free(data);
    if (!file.flush()) return Fail("cannot write the output file");
    return 0;
}

int Add(bool raw, const char* path, const char* file, const char* name) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return Fail("cannot read the input file");
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() > 0xFFFFFFFFu) return Fail("the input file is too large");
    if (!name) {
        name = std::strrchr(file, '/');
        name = name ? name + 1 : file;
    }
    ZfsArchive* archive = Zfs_Open(path, true);
    if (!archive) return Fail(Zfs_LastError());
    uint32_t length = static_cast<uint32_t>(data.size());
    bool ok = Zfs_Find(archive, name) ? Zfs_Replace(archive, name, data.data(), length, 0)
                                      : Zfs_Add(archive, name, data.data(), length, 0, !raw);
    std::string reason = ok ? "" : Zfs_LastError();
    Zfs_Close(archive);
    return ok ? 0 : Fail(reason.c_str());
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string command = argv[1];
    if (command == "content") {
        if (argc != 3) return Usage();
        std::string error;
        if (!content::WriteWorld(argv[2], &error)) {
            std::fprintf(stderr, "gvtool: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (command == "zfs-list" && argc == 3) return List(argv[2]);
    if (command == "zfs-extract" && argc == 5) return Extract(argv[2], argv[3], argv[4]);
    if (command == "zfs-add") {
        int first = 2;
        bool raw = argc > 2 && std::strcmp(argv[2], "-raw") == 0;
        if (raw) ++first;
        if (argc - first == 2) return Add(raw, argv[first], argv[first + 1], nullptr);
        if (argc - first == 3) return Add(raw, argv[first], argv[first + 1], argv[first + 2]);
    }
    return Usage();
}
