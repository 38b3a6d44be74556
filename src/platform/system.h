// Process services: backend choice, large allocations, priorities.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

enum class BackendKind { Sdl, Headless };

// sdl when a display is there, headless otherwise or with GRAVENHOLT_HEADLESS=1.
BackendKind Plat_ChooseBackend();
bool Plat_Init(BackendKind kind);
void Plat_Shutdown();
bool Plat_IsHeadless();
bool Plat_IsInitialised();

// The full path of the running program's own file; empty when the system cannot tell.
std::string Plat_ExecutablePath();

// Called once per game frame: the headless backend ends a run after
// GRAVENHOLT_HEADLESS_FRAMES frames by closing the first window, after writing its last
// presented frame to GRAVENHOLT_HEADLESS_SHOT when that names a file.
void Plat_FrameTick();

// Reserve-and-commit memory; null on failure. Tests can make allocations of one size fail.
void* Plat_AllocPages(size_t bytes);
void Plat_FreePages(void* block, size_t bytes);
void Plat_FailAllocationsOfSize(size_t bytes, int count);  // count 0 stops the failures

// Thread and process priorities have no effect here; the values are only kept.
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int NORMAL_PRIORITY_CLASS = 0x20;
constexpr int REALTIME_PRIORITY_CLASS = 0x100;
void Plat_SetThreadPriority(int priority);
int Plat_GetThreadPriority();
void Plat_SetPriorityClass(int priorityClass);
int Plat_GetPriorityClass();

// ---- system probes ----------------------------------------------------------------------------
// The system's language as a locale id whose low 10 bits are the primary language (9 English,
// 7 German, 17 Japanese, 0 any other), from the first of LC_ALL, LC_MESSAGES and LANG that is
// set; "C", "POSIX" and no setting at all count as English.
uint32_t Plat_SystemLocaleId();
// The primary language of a locale name such as "de_DE.UTF-8" (as above).
uint32_t Plat_LocaleIdFromName(const char* name);
// The keyboard's subtype: 0 (there is no other kind of keyboard to report here).
int Plat_KeyboardSubtype();
// Total physical memory and the memory still available for commits (free memory and free swap),
// in bytes, each clamped to 0xFFFFFFFF.
struct PlatMemoryInfo {
    uint32_t totalPhysical;
    uint32_t availableCommit;
};
PlatMemoryInfo Plat_MemoryInfo();
// The processor kind as the system reports it: 386, 486, 586, or another number for the rest.
int Plat_ProcessorType();
