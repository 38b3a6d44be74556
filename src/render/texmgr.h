// The texture binder: attaches texture names to world entities, reads frame lists of animated
// textures and steps through their frames, above the texture cache.
//
// A name with the extension ".map" is a single texture. Any other name is a frame-list file:
// bytes 0..19 not read; the number of dimensions n (1..3, 32-bit) at 20; the size of each
// dimension at 24, 28, 32; the frame rate (f32) at 40; the flags (bit 0 animated, bit 1 cycling)
// at 44; from 64 one 8-byte name per frame (the product of the dimensions), to each of which
// ".map" is appended.
//
// An entity's binding (its texture name, record, frame selector and current frame) lives in a
// record of this module that Entity::texture points at; entities reach their texture through
// TexMgr_BindEntity and drop it through TexMgr_UnbindEntity.
#pragma once
#include <cstddef>
#include <cstdint>

struct Entity;
struct TextureImage;

constexpr int kTexMapRecords = 100;
constexpr uint32_t kTexMapAnimated = 1;
constexpr uint32_t kTexMapCycling = 2;
constexpr size_t kFrameListHeaderSize = 64;
constexpr size_t kFrameListNameSize = 8;
constexpr int kFrameListMaxFrames = 0x10000;  // the frame selector's low 16 bits

struct TexMapRecord {
    char name[16];
    int32_t users;  // -1: the frame list could not be read
    float frameRate;
    uint32_t flags;
    int32_t dimensionCount;
    int32_t dimensionProducts[3];  // frames of the last dimension, of the last two, of all
    char (*frameNames)[16];        // owned: one name per frame
    int32_t next;                  // index of the next record in its list, -1 at the end
};

// A parsed frame list.
struct FrameList {
    int32_t dimensionCount;
    int32_t dimensionProducts[3];
    float frameRate;
    uint32_t flags;
    int32_t frameCount;
};
// Reads the header of a frame-list file of the given size and, when names is given (room for
// frameCount entries), the frame names with ".map" appended. False for a short file, a
// dimension count outside 1..3, a dimension below 1, or more frames than the selector can
// address or the file holds.
bool FrameList_Read(const uint8_t* bytes, size_t size, FrameList* out, char (*names)[16]);

// ---- mission life ---------------------------------------------------------------------------

// Empty texture cache and an empty record table (frame tables of the last mission freed).
void TexMgr_Init();
// Frees every record's frame table, then purges the texture cache.
void TexMap_FreeAll();

// The record of a name: found in the used list (one more user) or filled from the free list
// (".map": one frame; otherwise the frame-list file). Null when the file cannot be read (the
// record stays, marked with users -1), when the name is too long, or when all 100 records are
// in use (with a warning).
TexMapRecord* TexMap_Acquire(const char* name);
int TexMap_UsedCount();

// ---- entities -------------------------------------------------------------------------------

// The entity's current texture; on first use binds the name (and starts its animation).
// Null when there is none: the polygon is then drawn untextured.
TextureImage* TexMgr_BindEntity(Entity* entity, const char* name);
// Releases the current frame's texture and the entity's binding.
void TexMgr_UnbindEntity(Entity* entity);
// The entity layer's hook for freed entities and changed geometry.
void TexMgr_UnbindEntityHook(Entity* entity);
// Gives `to` the same binding (debris chunks take their parent's texture).
void TexMgr_CopyBinding(const Entity* from, Entity* to);
// Selects frame (low half of the selector) and, with row non-zero, row - 1 (upper half); a
// changed selector releases the old frame's texture and, with load, loads the new one.
void TexMgr_SetFrame(Entity* entity, const char* name, int row, int frame, bool load);

// What an entity's binding holds, for inspection.
struct TexBindingInfo {
    const TexMapRecord* record;
    uint32_t selector;
    const TextureImage* image;
    const char* frameName;
};
bool TexMgr_GetBinding(const Entity* entity, TexBindingInfo* out);

// ---- animation ------------------------------------------------------------------------------

enum TexAnimMode : int { kTexAnimForward = 0, kTexAnimBackward = 1, kTexAnimOnce = 2 };
using TexAnimEndFn = void (*)(Entity* entity, const char* name);

void TexAnim_Init();
// Steps frames of (entity, name) every period seconds of elapsed time, from frame start over
// frames frames, wrapping forward or backward.
void TexAnim_StartCycle(Entity* entity, const char* name, float period, int start, int frames, bool forward);
// The same once forward; at the end the last frame stays, endCallback runs and the animation
// is removed.
void TexAnim_StartOnce(Entity* entity, const char* name, float period, int start, int frames,
                       TexAnimEndFn endCallback);
void TexAnim_Remove(Entity* entity, const char* name);
// Frees every animation, dropping their references on the entities.
void TexAnim_FreeAll();
// Once a frame: each animation whose entity still lives takes its steps.
void TexAnim_UpdateAll();
int TexAnim_Count();
// The current frame of (entity, name), -1 when it has no animation.
int TexAnim_CurrentFrame(const Entity* entity, const char* name);

// Installs the binder and the cache where the rest of the program calls them: the core's render
// seam, the entity layer's unbind service and the file cache's texture hooks.
void TexMgr_InstallServices();
