#include "platform/system.h"

#include <sys/mman.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
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

// ---- system probes ----------------------------------------------------------------------------

uint32_t Plat_LocaleIdFromName(const char* name) {
    if (!name || !*name || std::strcmp(name, "C") == 0 || std::strncmp(name, "C.", 2) == 0 ||
        std::strcmp(name, "POSIX") == 0)
        return 9;
    const size_t length = std::strcspn(name, "_.@");
    const std::string language(name, length);
    if (language == "en") return 9;
    if (language == "de") return 7;
    if (language == "ja") return 17;
    return 0;
}

uint32_t Plat_SystemLocaleId() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return Plat_LocaleIdFromName(value);
    }
    return Plat_LocaleIdFromName(nullptr);
}

int Plat_KeyboardSubtype() { return 0; }

PlatMemoryInfo Plat_MemoryInfo() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return PlatMemoryInfo{0, 0};
    const auto clamp = [](unsigned long long bytes) {
        return static_cast<uint32_t>(std::min<unsigned long long>(bytes, 0xFFFFFFFFull));
    };
    const unsigned long long unit = info.mem_unit ? info.mem_unit : 1;
    return PlatMemoryInfo{clamp(info.totalram * unit), clamp((info.freeram + info.freeswap) * unit)};
}

int Plat_ProcessorType() {
#if defined(__x86_64__)
    return 8664;
#else
    return 0;
#endif
}
