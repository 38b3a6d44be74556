// The object pool: 512 fixed slots in one static block, each holding one game object of any
// kind; the free list, the serial counter, the list of live objects and the out-of-memory
// handler.
//
// Handles: slot index << 23 | the low 23 bits of the serial. Serials whose low 23 bits are 0 are
// never handed out, so no live object has handle 0 and handles keep resolving however many
// objects a run constructs.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

class GameObject;
class PhaseHook;

constexpr int kObjectPoolSize = 512;
constexpr size_t kObjectListReserve = 768;

// Links every slot: the head is slot 511 and the list runs down to slot 0; all serials 0.
void GameObject_PoolInit();
// The head slot, or (with an empty list) the new-handler is called with the size and null
// returned. A size larger than a slot is a fatal error.
void* GameObject_PoolAlloc(size_t size);
// Serial 0, slot in front of the free list. Memory outside the pool, or a slot already free,
// is refused with a warning.
void GameObject_PoolFree(void* object);
int GameObject_PoolFreeCount();
// The slot index of memory at the start of a slot, else -1.
int GameObject_PoolSlotOf(const void* object);
// The serial the slot's occupant took (0 while free); 0 outside 0..511.
uint32_t GameObject_PoolSerial(int slot);
void GameObject_PoolSetSerial(int slot, uint32_t serial);
// The object occupying the slot (the memory of the slot); null for a free slot.
GameObject* GameObject_PoolObject(int slot);

// Called with the size when the pool is exhausted; returns whatever it likes (it usually ends
// the program).
using ObjectNewHandler = int (*)(size_t size);
// Returns the previous handler; null installs none.
ObjectNewHandler GameObject_SetNewHandler(ObjectNewHandler handler);

// The running serial counter (1 at program start; the saved-game code restores it).
uint32_t GameObject_GetSerialCounter();
void GameObject_SetSerialCounter(uint32_t value);
// The next serial: the counter's value (skipping values whose low 23 bits are 0), after which
// the counter moves on by one.
uint32_t GameObject_TakeSerial();

// The live objects in construction order (objects whose entity hangs under a parent are not
// listed). Created on first use with room for 768 entries.
std::vector<GameObject*>& GameObject_List();
// The handle of the first listed object whose 23-bit serial is the given one, else 0 (the
// finder of saved handles).
uint32_t GameObject_HandleForSerial(uint32_t serial);

// The program's handler: shuts the display and the services down, shows the message table's
// "Out of Memory" in a box captioned "Gravenholt" and ends with code 152.
[[noreturn]] void GameObject_OutOfMemory();
int GameObject_OutOfMemoryHandler(size_t size);

// The game-object module of the subsystem registry: at start-up it installs the out-of-memory
// handler (for the pool and for every failed allocation) and the saved-handle finder; at
// mission set-up it re-initialises the pool and forgets the user's object.
PhaseHook& GameObjectPool_Member();
