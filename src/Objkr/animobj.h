// Animation objects: keyframe animations of model parts (doors, turrets, dishes).
//
// A model's "ANIM" chunk becomes an AnimBlock tied to the object's root entity. Game code
// starts a sequence of a block by its key; once per simulated frame every playing sequence
// advances and the parts of the entity tree named by the block's tracks are posed from
// rotation keys (quaternions, spherical interpolation) and position keys (linear). At most
// 512 sequences play at once, in a fixed table of slots. The module follows the entity table
// through its add and remove notifications.
//
// Chunk layout (offsets from the chunk's first byte, its tag): counts of sequences, tracks,
// rotation keys, fourth keys and position keys at 16..32; the five arrays follow one another
// from byte 64 (148, 132, 20, 16 and 16 bytes per element).
#pragma once
#include <cstddef>
#include <cstdint>

#include "Objkr/entity.h"

constexpr int kAnimSlotCount = 512;
constexpr int kAnimBlockMax = 512;
constexpr size_t kAnimHeaderSize = 64;
constexpr size_t kAnimSequenceSize = 148;
constexpr size_t kAnimTrackSize = 132;
constexpr size_t kAnimRotationKeySize = 20;
constexpr size_t kAnimFourthKeySize = 16;
constexpr size_t kAnimPositionKeySize = 16;

// A copy of one chunk and where its arrays start.
struct AnimBlock {
    uint8_t* bytes;  // the chunk's bytes (owned)
    size_t size;
    int32_t sequences, tracks, rotationKeys, fourthKeys, positionKeys;
    const uint8_t* sequenceArray;
    const uint8_t* trackArray;
    const uint8_t* rotationArray;
    const uint8_t* fourthArray;
    const uint8_t* positionArray;
    Entity* owner;               // the root it was loaded for
    EntityTableRecord* record;   // the owner's table record, null until it enters the table
};

enum AnimSlotState : int32_t { kAnimFree = 0, kAnimPlaying = 1, kAnimFinished = 2, kAnimOrphaned = 3 };

struct AnimObjSlot {
    int32_t state;
    AnimBlock* block;
    float speed;  // frames per second
    float current;
    int32_t first;
    int32_t last;
    int32_t framesLeft;
    int32_t loopsLeft;  // -1 = forever
};

// Reset, then follow the entity table (mission start, after Entities_Reset).
void AnimObj_Init();
// Frees every block (when owning), empties the list and the slots.
void AnimObj_Reset();
// Takes an "ANIM" chunk (size bytes from its tag) for the root being loaded. 0 on success or
// when the chunk is skipped or refused (a warning says why); -1 when memory runs out.
int AnimObj_Add(const uint8_t* chunk, size_t size, Entity* owner);
// Starts the sequence of that key of the entity's block: 0 and the slot, or -1 and slot -1.
int AnimObj_Start(Entity* entity, int32_t key, int* outSlot);
int AnimObj_GetActive(int index, AnimObjSlot** out);
int AnimObj_SetSpeed(int index, float speed);
int AnimObj_Stop(int index);
// Advances every playing slot by the frame time and poses its tree.
void AnimObj_Step();
int AnimObj_ActiveCount();

void AnimObj_OnEntityAdded(EntityTableRecord* record);
void AnimObj_OnEntityRemoved(EntityTableRecord* record);

// Poses the entity, its later siblings and all their descendants at frame t.
void AnimObj_PoseTree(const AnimBlock* block, Entity* entity, float t);

int AnimObj_BlockCount();
const AnimBlock* AnimObj_Block(int index);

// The animation's own quaternion helpers, keys stored (w, x, y, z).
Quaternion Quat_Slerp(const Quaternion& a, const Quaternion& b, float s);
// Rotation rows of a unit quaternion.
void Quat_ToMatrix(const Quaternion& q, Matrix& out);
