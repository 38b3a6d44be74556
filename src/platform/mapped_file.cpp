#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

PlatMappedFile* Plat_MapFile(const std::string& hostPath) {
    int fd = ::open(hostPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto* file = new PlatMappedFile;
    file->descriptor = fd;
    file->size = static_cast<size_t>(st.st_size);
    if (file->size > 0) {
        void* data = ::mmap(nullptr, file->size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (data == MAP_FAILED) {
            ::close(fd);
            delete file;
            return nullptr;
        }
        file->data = data;
    }
    return file;
}

void Plat_UnmapFile(PlatMappedFile* file) {
    if (!file) return;
    if (file->data) {
        ::msync(file->data, file->size, MS_SYNC);
        ::munmap(file->data, file->size);
    }
    if (file->descriptor >= 0) ::close(file->descriptor);
    delete file;
}
