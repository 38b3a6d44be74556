#include "core/drdebug.h"

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kPrintBytes = 256;

struct DrState {
    int sequence = 0;
    int outstanding = 0;
    int failCount = 0;
    int failSkip = 0;
    bool exitRegistered = false;
    std::vector<DrAtDoneFn> atDone;  // newest at the back
};

DrState& State() {
    static DrState state;
    return state;
}

bool FailThisAllocation() {
    DrState& s = State();
    if (s.failCount <= 0) return false;
    if (s.failSkip > 0) {
        --s.failSkip;
        return false;
    }
    --s.failCount;
    return true;
}

unsigned long AddressOf(const void* p) { return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)); }

void TraceAlloc(const void* block, size_t size, const char* file, int line) {
    DR_DebugPrint(kDrLevelTrace, "ALLOC Address [0x%08lX] [%06d] size [0x%06X] in [%s] @ line [%d]\n",
                  AddressOf(block), State().sequence, static_cast<unsigned>(size), file ? file : "", line);
}

void TraceFree(unsigned long address, const char* file, int line) {
    DR_DebugPrint(kDrLevelTrace, "FREE  Address [0x%08lX] [%06d]                 in [%s] @ line [%d]\n", address,
                  State().sequence, file ? file : "", line);
}

}  // namespace

int DR_Assert(long value, int line, const char* file, const char* expression) {
    if (value != 0) return 0;
    char text[kPrintBytes];
    std::snprintf(text, sizeof text, "ASSERTION FAILED\n\n%s(%d): ASSERT (%s);\n", file ? file : "", line,
                  expression ? expression : "");
    std::fputs(text, stdout);
    std::fflush(stdout);
    DR_DebugPrint(kDrLevelError, "%s", text);
    return 0;
}

void DR_DebugPrint(int /*level*/, const char* format, ...) {
    char text[kPrintBytes];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Debug_Trace("%s", text);
}

void* DR_Malloc(size_t size, const char* file, int line) {
    DrState& s = State();
    void* block = FailThisAllocation() ? nullptr : std::malloc(size);
    if (block) {
        ++s.outstanding;
    } else {
        const int err = errno ? errno : ENOMEM;
        DR_HeapCheck();
        DR_DebugPrint(kDrLevelError, "Debug error: Could not malloc %d bytes in source file %s, line %d : %s\n",
                      static_cast<int>(size), file ? file : "", line, std::strerror(err));
    }
    ++s.sequence;
    TraceAlloc(block, size, file, line);
    return block;
}

void* DR_Calloc(size_t items, size_t size, const char* file, int line) {
    DrState& s = State();
    void* block = FailThisAllocation() ? nullptr : std::calloc(items, size);
    if (block) {
        ++s.outstanding;
    } else {
        const int err = errno ? errno : ENOMEM;
        DR_HeapCheck();
        DR_DebugPrint(kDrLevelError,
                      "Debug error: Could not calloc %d items of size %d bytes in source file %s, line %d : %s\n",
                      static_cast<int>(items), static_cast<int>(size), file ? file : "", line, std::strerror(err));
    }
    ++s.sequence;
    TraceAlloc(block, items * size, file, line);
    return block;
}

void DR_Free(void** block, const char* file, int line) {
    DrState& s = State();
    if (!block) {
        DR_DebugPrint(kDrLevelError, "FREE  NULL??? [0x%08lX] [%06d] in [%s] @ line [%d]\n", 0UL, s.sequence,
                      file ? file : "", line);
        return;
    }
    ++s.sequence;
    TraceFree(AddressOf(*block), file, line);
    if (*block) {
        std::free(*block);
        *block = nullptr;
        --s.outstanding;
    }
}

void* DR_Realloc(void* block, size_t size, const char* file, int line) {
    DrState& s = State();
    DR_Assert(block != nullptr, line, file, "old_buffer");
    // Only the old address is kept: the old pointer is not looked at once realloc has run.
    const unsigned long oldAddress = AddressOf(block);
    const bool hadBlock = block != nullptr;
    void* moved = FailThisAllocation() ? nullptr : std::realloc(block, size);
    if (!moved) {
        // The old block is still the caller's; nothing was released or gained.
        DR_Assert(0, line, file, "new_buffer");
        return nullptr;
    }
    if (AddressOf(moved) != oldAddress) {
        if (hadBlock) {
            ++s.sequence;
            TraceFree(oldAddress, file, line);
        } else {
            ++s.outstanding;  // realloc of null allocates a new block
        }
        ++s.sequence;
        TraceAlloc(moved, size, file, line);
    }
    return moved;
}

char* DR_Strdup(const char* text, const char* file, int line) {
    if (!text) text = "";
    const size_t length = std::strlen(text);
    char* copy = static_cast<char*>(DR_Malloc(length + 1, file, line));
    if (copy) std::memcpy(copy, text, length + 1);
    return copy;
}

FILE* DR_Fopen(const char* path, const char* mode) { return std::fopen(path, mode); }

int DR_Fclose(FILE* file, const char* file_name, int line) {
    const int result = file ? std::fclose(file) : EOF;
    if (result != 0)
        DR_DebugPrint(kDrLevelError, "Debug error: Could not close file in source file %s, line %d : %s\n",
                      file_name ? file_name : "", line, std::strerror(file ? errno : EBADF));
    return result;
}

void DR_AtDone(DrAtDoneFn callback) {
    if (callback) State().atDone.push_back(callback);
}

void DR_DebugInit() {
    DrState& s = State();
    if (s.exitRegistered) return;
    s.exitRegistered = true;
    std::atexit(Debug_Done);
}

void Debug_Done() {
    DrState& s = State();
    // Taken out first: a callback that registers another does not run it in this round.
    std::vector<DrAtDoneFn> callbacks;
    callbacks.swap(s.atDone);
    for (auto it = callbacks.rbegin(); it != callbacks.rend(); ++it) (*it)();
    if (s.outstanding != 0)
        DR_DebugPrint(kDrLevelError, "Debug warning: %d outstanding allocations on call to Debug_Done\n",
                      s.outstanding);
}

int DR_HeapCheck() { return kDrHeapOk; }

int DR_Sequence() { return State().sequence; }
int DR_Outstanding() { return State().outstanding; }

void* DR_RawCalloc(size_t count, size_t size) {
    if (FailThisAllocation()) return nullptr;
    if (count == 0 || size == 0) return std::calloc(1, 1);
    if (count > SIZE_MAX / size) return nullptr;
    return std::calloc(count, size);
}

void DR_FailAllocations(int count, int skip) {
    State().failCount = count > 0 ? count : 0;
    State().failSkip = skip > 0 ? skip : 0;
}

void DR_ResetForTests() {
    DrState& s = State();
    s.sequence = 0;
    s.outstanding = 0;
    s.failCount = 0;
    s.failSkip = 0;
    s.atDone.clear();
}
