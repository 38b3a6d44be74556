#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

PlatMappedFile* Map(const std::string& hostPath, bool writable) {
    int fd = ::open(hostPath.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (!writable && st.st_size == 0)) {
        ::close(fd);
        return nullptr;
    }
    auto* file = new PlatMappedFile;
    file->descriptor = fd;
    file->size = static_cast<size_t>(st.st_size);
    file->writable = writable;
    if (file->size > 0) {
        void* data = ::mmap(nullptr, file->size, writable ? PROT_READ | PROT_WRITE : PROT_READ,
                            writable ? MAP_SHARED : MAP_PRIVATE, fd, 0);
        if (data == MAP_FAILED) {
            ::close(fd);
            delete file;
            return nullptr;
        }
        file->data = data;
    }
    return file;
}

}  // namespace

PlatMappedFile* Plat_MapFile(const std::string& hostPath) { return Map(hostPath, true); }
PlatMappedFile* Plat_MapFileReadOnly(const std::string& hostPath) { return Map(hostPath, false); }

void Plat_UnmapFile(PlatMappedFile* file) {
    if (!file) return;
    if (file->data) {
        if (file->writable) ::msync(file->data, file->size, MS_SYNC);
        ::munmap(file->data, file->size);
    }
    if (file->descriptor >= 0) ::close(file->descriptor);
    delete file;
}
