#include "platform/system.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/backend.h"
#include "platform/input.h"

namespace {
std::unique_ptr<PlatBackend> g_backend;
bool g_headless = true;
bool g_initialised = false;
int g_failAllocations = 0;
size_t g_failSize = 0;
int g_threadPriority = THREAD_PRIORITY_NORMAL;
int g_priorityClass = NORMAL_PRIORITY_CLASS;
}  // namespace

BackendKind Plat_ChooseBackend() {
    const char* headless = std::getenv("GRAVENHOLT_HEADLESS");
    if (headless && std::strcmp(headless, "0") != 0 && *headless) return BackendKind::Headless;
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display && *display) || (wayland && *wayland)) return BackendKind::Sdl;
    return BackendKind::Headless;
}

bool Plat_Init(BackendKind kind) {
    g_backend.reset();
    Plat_ResetInput();
    if (kind == BackendKind::Sdl) {
        g_backend = Plat_MakeSdlBackend();
        if (!g_backend) return false;
        g_headless = false;
    } else {
        g_backend = Plat_MakeHeadlessBackend();
        g_headless = true;
    }
    g_initialised = true;
    return true;
}

void Plat_Shutdown() {
    g_backend.reset();
    g_headless = true;
    g_initialised = false;
}

bool Plat_IsHeadless() { return g_headless; }
bool Plat_IsInitialised() { return g_initialised; }

PlatBackend* Plat_Backend() {
    if (!g_backend) {
        g_backend = Plat_MakeHeadlessBackend();
        g_headless = true;
    }
    return g_backend.get();
}

std::string Plat_ExecutablePath() {
    std::string path(256, '\0');
    for (;;) {
        ssize_t got = ::readlink("/proc/self/exe", path.data(), path.size());
        if (got < 0) return std::string();
        if (static_cast<size_t>(got) < path.size()) {
            path.resize(static_cast<size_t>(got));
            return path;
        }
        if (path.size() >= 65536) return std::string();
        path.resize(path.size() * 2);  // the link may have been cut: try a larger buffer
    }
}

void Plat_FrameTick() { Plat_Backend()->frameTick(); }

void* Plat_AllocPages(size_t bytes) {
    if (g_failAllocations > 0 && bytes == g_failSize) {
        --g_failAllocations;
        return nullptr;
    }
    if (bytes == 0) return nullptr;
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void Plat_FreePages(void* block, size_t bytes) {
    if (block) munmap(block, bytes);
}

void Plat_FailAllocationsOfSize(size_t bytes, int count) {
    g_failAllocations = count;
    g_failSize = bytes;
}

void Plat_SetThreadPriority(int priority) { g_threadPriority = priority; }
int Plat_GetThreadPriority() { return g_threadPriority; }
void Plat_SetPriorityClass(int priorityClass) { g_priorityClass = priorityClass; }
int Plat_GetPriorityClass() { return g_priorityClass; }
