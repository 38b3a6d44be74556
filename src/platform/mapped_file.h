// Files mapped into memory for reading and writing (POSIX mmap behind our own names).
#pragma once
#include <cstddef>
#include <string>

struct PlatMappedFile {
    void* data = nullptr;  // null for an empty file
    size_t size = 0;
    int descriptor = -1;
    bool writable = false;
};

// Opens an existing file (a host path, already resolved) for reading and writing and maps all of
// it shared and writable. Null when the file cannot be opened or mapped.
PlatMappedFile* Plat_MapFile(const std::string& hostPath);
// Opens an existing file (a host path, already resolved) for reading only and maps all of it
// read-only. Null when the file cannot be opened or mapped (an empty file cannot be mapped).
PlatMappedFile* Plat_MapFileReadOnly(const std::string& hostPath);
// Writes back (writable maps), unmaps and closes; null is ignored.
void Plat_UnmapFile(PlatMappedFile* file);
