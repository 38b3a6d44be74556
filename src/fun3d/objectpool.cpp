#include "fun3d/objectpool.h"

#include <cstdint>
#include <new>

#include "core/app.h"
#include "core/debug.h"
#include "core/fixup.h"
#include "core/phasehook.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectslot.h"
#include "platform/exit.h"
#include "platform/msgbox.h"

namespace {

constexpr size_t kSlotStride = (kObjectSlotSize + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
                               alignof(std::max_align_t);

alignas(std::max_align_t) unsigned char g_slots[kObjectPoolSize][kSlotStride];

// Per slot: the serial of its occupant (0 while free) and the next free slot (-1 ends the list).
// Kept beside the slots so that nothing is read from a slot that holds no object.
uint32_t g_serial[kObjectPoolSize];
int32_t g_nextFree[kObjectPoolSize];
bool g_used[kObjectPoolSize];
int32_t g_freeHead = -1;
int g_freeCount = 0;
bool g_initialised = false;

uint32_t g_serialCounter = 1;
ObjectNewHandler g_newHandler = nullptr;

void EnsureInitialised() {
    if (!g_initialised) GameObject_PoolInit();
}

void OnHeapExhausted() { GameObject_OutOfMemory(); }

class GameObjectPoolHook final : public PhaseHook {
public:
    GameObjectPoolHook() { flags |= kPhaseFlagFrame; }
    void Startup() override {
        GameObject_SetNewHandler(GameObject_OutOfMemoryHandler);
        std::set_new_handler(OnHeapExhausted);
        Field_SetHandleFinder(GameObject_HandleForSerial);
    }
    void MissionSetup() override {
        GameObject_PoolInit();
        // The slots are free again: no listed object survives into the next mission's load.
        GameObject_List().clear();
        GameObject_ForgetUser();
        Objective_ResetList();
    }
    void Frame() override {
        GameObject_PoolPressure();
    }
};

}  // namespace

void GameObject_PoolInit() {
    for (int i = 0; i < kObjectPoolSize; ++i) {
        g_serial[i] = 0;
        g_nextFree[i] = i - 1;
        g_used[i] = false;
    }
    g_freeHead = kObjectPoolSize - 1;
    g_freeCount = kObjectPoolSize;
    g_initialised = true;
}

void* GameObject_PoolAlloc(size_t size) {
    EnsureInitialised();
    if (size > kSlotStride) {
        Error_Fatal("An object of %zu bytes does not fit in a pool slot of %zu bytes", size, kSlotStride);
        return nullptr;
    }
    if (g_freeHead < 0) {
        if (g_newHandler) g_newHandler(size);
        return nullptr;
    }
    const int32_t slot = g_freeHead;
    g_freeHead = g_nextFree[slot];
    g_nextFree[slot] = -1;
    g_used[slot] = true;
    --g_freeCount;
    return g_slots[slot];
}

void GameObject_PoolFree(void* object) {
    const int slot = GameObject_PoolSlotOf(object);
    if (slot < 0 || !g_used[slot]) {
        Error_Warning("GameObject_PoolFree: %p is not an object in the pool", object);
        return;
    }
    g_serial[slot] = 0;
    g_used[slot] = false;
    g_nextFree[slot] = g_freeHead;
    g_freeHead = slot;
    ++g_freeCount;
}

int GameObject_PoolFreeCount() {
    EnsureInitialised();
    return g_freeCount;
}

int GameObject_PoolSlotOf(const void* object) {
    const auto* p = static_cast<const unsigned char*>(object);
    const auto* base = &g_slots[0][0];
    if (!p || p < base || p >= base + sizeof(g_slots)) return -1;
    const auto offset = static_cast<size_t>(p - base);
    if (offset % kSlotStride != 0) return -1;
    return static_cast<int>(offset / kSlotStride);
}

uint32_t GameObject_PoolSerial(int slot) {
    return slot >= 0 && slot < kObjectPoolSize ? g_serial[slot] : 0;
}

void GameObject_PoolSetSerial(int slot, uint32_t serial) {
    if (slot >= 0 && slot < kObjectPoolSize) g_serial[slot] = serial;
}

GameObject* GameObject_PoolObject(int slot) {
    if (slot < 0 || slot >= kObjectPoolSize || !g_used[slot] || g_serial[slot] == 0) return nullptr;
    return std::launder(reinterpret_cast<GameObject*>(g_slots[slot]));
}

ObjectNewHandler GameObject_SetNewHandler(ObjectNewHandler handler) {
    ObjectNewHandler old = g_newHandler;
    g_newHandler = handler;
    return old;
}

uint32_t GameObject_GetSerialCounter() { return g_serialCounter; }
void GameObject_SetSerialCounter(uint32_t value) { g_serialCounter = value; }

uint32_t GameObject_TakeSerial() {
    // A serial whose low 23 bits are 0 would give slot 0 the handle 0 and match no handle.
    while ((g_serialCounter & kHandleSerialMask) == 0) ++g_serialCounter;
    return g_serialCounter++;
}

std::vector<GameObject*>& GameObject_List() {
    static std::vector<GameObject*> list = [] {
        std::vector<GameObject*> v;
        v.reserve(kObjectListReserve);
        return v;
    }();
    return list;
}

uint32_t GameObject_HandleForSerial(uint32_t serial) {
    serial &= kHandleSerialMask;
    if (serial == 0) return 0;
    for (GameObject* object : GameObject_List())
        if ((object->seqNo & kHandleSerialMask) == serial) return GameObject::GetObjHandle(object);
    return 0;
}

void GameObject_OutOfMemory() {
    App_CloseDisplay();
    Plat_MessageBox(0, App_Text("Out of Memory"), "Gravenholt", MB_ICONERROR);
    Plat_Exit(152);
}

int GameObject_OutOfMemoryHandler(size_t) { GameObject_OutOfMemory(); }

PhaseHook& GameObjectPool_Member() {
    static GameObjectPoolHook member;
    return member;
}
