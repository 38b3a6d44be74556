// File-system start-up and shutdown: the file cache, LZO, the index chosen by the display flags,
// and files mapped into memory.
#pragma once
#include <cstddef>
#include <cstdint>

// Display flags: bit 0 the hardware driver is used, bits 1 and 2 set by the graphics set-up.
constexpr uint32_t kDisplayHardware = 0x1;
constexpr uint32_t kDisplayBit1 = 0x2;
constexpr uint32_t kDisplayBit2 = 0x4;

// "kolta.zix" for the software driver, else "kolta8s", "kolta8l", "kolta16s" or "kolta16l".
const char* FileSys_IndexFileName(uint32_t displayFlags);
// Creates the file cache, starts LZO, builds the index and opens its archives. On failure the
// program ends through App_StartFailure with the "unable to find required files" text and the
// reason (which file, what is wrong), exit code kExitDataFiles.
void FileSys_Start(uint32_t displayFlags);
// Like FileSys_Start, but reports failure instead of ending the program.
bool FileSys_TryStart(uint32_t displayFlags);

// Shutdown: frees every cached file (the configuration file held too), closes the archives and
// every mapped file.
void Data_Close();

struct PlatMappedFile;
struct MappedFile {
    void* data = nullptr;
    size_t size = 0;
    PlatMappedFile* map = nullptr;
};
// Opens "dir\name" (or name alone when dir is null) under the data root for reading and writing
// and maps all of it; "Can't open file %s" is fatal.
MappedFile* MappedFile_Open(const char* dir, const char* name);
void MappedFile_Close(MappedFile* file);
