// Saved pointer fix-up.
//
// Saved "addresses" are 32-bit save ids. While a stream is written, every object whose address
// or a pointer to it is saved gets an id (Field_SaveId, the same id for the same object, 0 for
// none). On load each re-created object registers the id it was saved under, every pointer field
// read with Field_ReadPointerFixup is queued, and once all sections are read the queued fields
// are rewritten with the live objects. Saved game-object handles are re-found by their serial.
#pragma once
#include <cstddef>
#include <cstdint>

// ---- Save ids (writing) ----
// The id of object in the stream being written: 0 for null, else a number given on first use.
uint32_t Field_SaveId(const void* object);
// Forgets all ids; the save code calls it before and after each stream.
void Field_ResetSaveIds();

// ---- Pointer map (loading) ----
// Records that the saved id now names the live object. The first pair for an id wins.
void Field_RegisterPointer(uint32_t saved, void* live);
// Drops the pair (saved, live), for an object whose load failed and which was destroyed.
void Field_UnregisterPointer(uint32_t saved, const void* live);
// The live object of the first pair with the saved id; null for 0 or an unknown id.
void* Field_LookupPointer(uint32_t saved);
size_t Field_PointerMapSize();

// ---- Fix-up queue ----
// Reads a pointer field like Field_ReadPointer, stores the saved id in the pointer field (as a
// number, until the fix-up) and queues the field with two caller values kept for diagnostics.
bool Field_ReadPointerFixupRaw(const char* name, void* field, size_t fieldWidth, const void* callerA,
                               const void* callerB);
template <class T>
bool Field_ReadPointerFixup(const char* name, T** field, const void* callerA = nullptr,
                            const void* callerB = nullptr) {
    return Field_ReadPointerFixupRaw(name, static_cast<void*>(field), sizeof(T*), callerA, callerB);
}
size_t Field_FixupQueueSize();
// Drops the entries queued after the first count (those of an object whose load failed).
void Field_TruncateFixupQueue(size_t count);
// Early fix-up: every queued field with a non-zero id that has a pair gets its live object;
// unknown ids stay as they are; the queue is kept.
void Field_FixupEarly();
// Final fix-up: every queued field with a non-zero id gets its live object, or null when the id
// has no pair; then the queue and the pointer map are freed.
void Field_ResolvePointers();
void Field_FreePointerMap();
// For a load that failed: drops the queue and the map without touching any field.
void Field_DiscardFixups();

// ---- Saved object handles ----
// The object pool answers with the handle of the first live object whose 23-bit serial is the
// given one, or 0.
using FieldHandleFinder = uint32_t (*)(uint32_t serial);
void Field_SetHandleFinder(FieldHandleFinder finder);  // null restores the stand-in
// 0 for 0; else the current handle of the live object with the saved handle's serial, or 0.
uint32_t Field_ResolveHandle(uint32_t saved);

// For a load that failed: every queued field that still holds its saved id (no live object
// took its place) is set to null, so that tearing the half-built objects down never mistakes an
// id for an object. Runs before Field_DiscardFixups.
void Field_ClearUnresolved();
