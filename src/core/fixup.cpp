#include "core/fixup.h"

#include <cstring>
#include <unordered_map>
#include <vector>

#include "core/fieldarchive.h"

namespace {

std::unordered_map<const void*, uint32_t> g_saveIds;
uint32_t g_nextSaveId = 1;

struct Pair {
    uint32_t saved;
    void* live;
};
std::vector<Pair> g_pointerMap;

struct FixupEntry {
    void* field;
    size_t width;
    uint32_t saved;
    const void* callerA;
    const void* callerB;
};
std::vector<FixupEntry> g_queue;

void StorePointer(const FixupEntry& entry, void* value) {
    if (entry.width == sizeof(void*)) std::memcpy(entry.field, &value, sizeof value);
}

// Until the object pool installs its finder at start-up, no saved handle has an object.
uint32_t NoObjects(uint32_t) { return 0; }
FieldHandleFinder g_handleFinder = NoObjects;

constexpr uint32_t kHandleSerialMask = 0x7FFFFF;

}  // namespace

uint32_t Field_SaveId(const void* object) {
    if (!object) return 0;
    auto [it, added] = g_saveIds.try_emplace(object, g_nextSaveId);
    if (added) ++g_nextSaveId;
    return it->second;
}

void Field_ResetSaveIds() {
    g_saveIds.clear();
    g_nextSaveId = 1;
}

void Field_RegisterPointer(uint32_t saved, void* live) { g_pointerMap.push_back(Pair{saved, live}); }

void Field_UnregisterPointer(uint32_t saved, const void* live) {
    for (auto it = g_pointerMap.begin(); it != g_pointerMap.end(); ++it)
        if (it->saved == saved && it->live == live) {
            g_pointerMap.erase(it);
            return;
        }
}

void* Field_LookupPointer(uint32_t saved) {
    if (saved == 0) return nullptr;
    for (const Pair& pair : g_pointerMap)
        if (pair.saved == saved) return pair.live;
    return nullptr;
}

size_t Field_PointerMapSize() { return g_pointerMap.size(); }

bool Field_ReadPointerFixupRaw(const char* name, void* field, size_t fieldWidth, const void* callerA,
                               const void* callerB) {
    if (!field || fieldWidth != sizeof(void*)) return false;
    uint32_t saved = 0;
    if (!Field_ReadPointer(name, &saved)) return false;
    FixupEntry entry{field, fieldWidth, saved, callerA, callerB};
    // Until the fix-up the field holds the saved id as a number.
    StorePointer(entry, reinterpret_cast<void*>(static_cast<uintptr_t>(saved)));
    g_queue.push_back(entry);
    return true;
}

size_t Field_FixupQueueSize() { return g_queue.size(); }

void Field_TruncateFixupQueue(size_t count) {
    if (count < g_queue.size()) g_queue.resize(count);
}

void Field_FixupEarly() {
    for (const FixupEntry& entry : g_queue) {
        if (entry.saved == 0) continue;
        if (void* live = Field_LookupPointer(entry.saved)) StorePointer(entry, live);
    }
}

void Field_ResolvePointers() {
    for (const FixupEntry& entry : g_queue)
        if (entry.saved != 0) StorePointer(entry, Field_LookupPointer(entry.saved));
    g_queue.clear();
    g_queue.shrink_to_fit();
    Field_FreePointerMap();
}

void Field_FreePointerMap() {
    g_pointerMap.clear();
    g_pointerMap.shrink_to_fit();
}

void Field_DiscardFixups() {
    g_queue.clear();
    g_queue.shrink_to_fit();
    Field_FreePointerMap();
}

void Field_SetHandleFinder(FieldHandleFinder finder) { g_handleFinder = finder ? finder : NoObjects; }

uint32_t Field_ResolveHandle(uint32_t saved) {
    if (saved == 0) return 0;
    return g_handleFinder(saved & kHandleSerialMask);
}

void Field_ClearUnresolved() {
    for (const FixupEntry& entry : g_queue) {
        if (entry.width != sizeof(void*)) continue;
        void* current = nullptr;
        std::memcpy(&current, entry.field, sizeof current);
        if (current == reinterpret_cast<void*>(static_cast<uintptr_t>(entry.saved))) StorePointer(entry, nullptr);
    }
}
