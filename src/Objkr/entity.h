// Entity records, their allocator and the world entity table.
//
// Everything in the world is a tree of Entity records. A root that takes part in the world is
// entered in the table of 768 records, which keeps the per-object data the simulation,
// collision and the draw passes read every frame. The table tells registered listeners of each
// record that enters and leaves it.
#pragma once
#include <cstdint>

#include "Objkr/geomtypes.h"
#include "core/mathlib.h"

struct CollisionNode;
struct CollisionPolySet;

// Flag bits of Entity::flags.
constexpr uint32_t kEntityNotDrawn = 0x1;
constexpr uint32_t kEntityUser = 0x10;
constexpr uint32_t kEntityShadowPart = 0x40;
constexpr uint32_t kEntityComposite = 0x100;
constexpr uint32_t kEntityDead = 0x200;
constexpr uint32_t kEntityHasLight = 0x800;
constexpr uint32_t kEntitySpecialPart = 0x200000;  // with type code 63
constexpr int kEntityTeamShift = 16;                // team in bits 16 to 18
constexpr uint32_t kEntityTeamMask = 0x70000;

// Type codes.
enum EntityType : int32_t {
    kTypeNone = 0,
    kTypeCraft = 1,
    kTypeBuilding = 2,
    kTypePowerUp = 3,
    kTypePerson = 4,
    kTypeBuilding5 = 5,
    kTypeCraft6 = 6,
    kTypeBuilding7 = 7,
    kTypeStatic8 = 8,
    kTypeBuilding10 = 10,
    kTypeShadowGroup = 11,
    kTypeSpinner = 15,
    kTypeCockpitPart = 40,
    kTypeWeapon = 50,
    kTypeOrdnance = 51,
    kTypeExplosion = 52,
    kTypeSpecialPart = 63,
};

// The entity state: alive, or released and waiting for its last holder.
constexpr int16_t kEntityAlive = 0;
constexpr int16_t kEntityReleased = 1;

struct Entity {
    uint32_t id;  // creation counter << 11; 0 once released
    uint32_t reserved0;
    char name[8];  // definition name, not NUL-terminated when 8 long
    int16_t state;
    uint16_t useCount;  // references on this entity and on all its ancestors
    uint32_t flags;
    int32_t detail;  // -1 or -21, read by the drawing code
    int32_t reserved1;
    Matrix local;  // placement relative to the parent (the world for a root)
    int32_t cacheWord;
    Geometry* geometry;  // the current geometry
    GeomList geomList;
    uint8_t reserved2[16];
    void* texture;
    void* drawData;
    Entity* next;   // next sibling
    Entity* child;  // first child
    Entity* up;     // parent for a first child, previous sibling for any other, null for a root
    int32_t type;
    void* classData;
    void* owner;  // the game object that owns the tree
    CollisionPolySet* polySet;  // the part's collision polygons (mesh parts), owned by the part
    uint8_t reserved3[8];
    Vector boundsCentre;
    float boundsRadius;
    Vector boxMin;
    Vector boxMax;
};

struct EntityTableRecord {
    Entity* entity;  // the root; null = record free
    int16_t instance;
    uint8_t frameFlags;    // draw flags of the current frame; bit 5 clear asks for a shadow
    uint8_t doubleRadius;  // 1 while an animation plays: the draw passes cull with twice the radius
    Vector localCentre;    // middle of the box
    float radius;          // about the local centre, holding all the tree's geometry
    Vector worldCentre;    // local centre through the entity's local matrix
    int32_t ownsAttached;
    void* attached;  // the object's collision box (a CollisionBoxDef)
    uint8_t extra[20];  // its first three floats are the object's detail sizes
    int32_t extraGiven;
    Vector boxMin;
    Vector boxMax;
    int32_t cacheLevel;
    int32_t cachedVertices;
    int32_t cacheStamp;
    void* cacheBlocks;
    Vector footprint[4];  // dynamic entities: the box corners at mid height
    void* drawLinks[4];
    float clusterBox[6];
    // Collision: the shape kind (0 none, 1 box, 2 sphere, 3 part hierarchy; 1 on entry when a
    // collision box is attached), the swept box (min x, y, z, max x, y, z, world) and the
    // record's nodes on the collision lists.
    int32_t shapeKind;
    float sweptBox[6];
    CollisionNode* collisionNode;  // on the moving or the static list
    CollisionNode* floorNode;      // on the walkable list
};

constexpr int kEntityTableSize = 768;
constexpr int kEntityNotifyMax = 51;
constexpr size_t kEntityExtraSize = 20;

// What the entity layer calls of its neighbours. Each entry may be replaced at start-up by the
// subsystem that owns it; Objkr_ResetServices puts the stand-ins back.
struct EntityServices {
    // A record's cached BSP tree: level -1, stamp 0, blocks freed.
    void (*resetCache)(EntityTableRecord* record);
    // Frees the record's chain of cached node blocks and leaves it empty.
    void (*freeCacheBlocks)(EntityTableRecord* record);
    // The entity's geometry list: one use less on each geometry, the items freed.
    void (*freeGeomList)(Entity* entity);
    void (*unbindTexture)(Entity* entity);
    void (*removeLight)(Entity* entity);
    // Darkens the terrain's light bytes under a building or power-up entering the world.
    void (*darkenUnderObject)(Entity* entity);
    // Told before the user record changes.
    void (*cameraSetUser)(EntityTableRecord* oldUser, EntityTableRecord* newUser);
    void (*cameraReset)(int full);
    // The detail option of the player settings for dynamic (1) or other (0) entities.
    bool (*detailOption)(int dynamic);
    // The flag word of a game object (the owner of an entity tree).
    uint32_t (*ownerFlags)(void* owner);
    // The smoothed frame time in seconds (the frame clock's).
    float (*frameTime)();
    // Frees an attached record owned by a table record.
    void (*freeAttached)(void* attached);
};
EntityServices& Objkr_Services();
void Objkr_ResetServices();

// ---- allocator ----------------------------------------------------------------------------

// A zeroed record (from the free list first): id from the creation counter, detail and cache
// words -1, identity matrix. With a parent it becomes the parent's first child and copies the
// parent's state and use count; without one it becomes the current root with use count 1.
Entity* Entity_New(Entity* parent);
Entity* Entity_GetCurrentRoot();
// Free list emptied (the records on it are returned to the heap), counter 1, allocator open.
void EntityAlloc_Reset();
// Returns the records on the free list to the heap and closes the allocator (program end).
void EntityAlloc_FreeAll();
// Takes a record whose last reference went: on the free list while the allocator is open,
// back to the heap otherwise.
void EntityAlloc_Recycle(Entity* entity);
int EntityAlloc_FreeCount();
uint32_t EntityAlloc_Counter();

// The definition name as two 32-bit words (little-endian bytes 0..3 and 4..7).
uint32_t Entity_NameWord(const Entity* entity, int index);
uint32_t Entity_NameWordOf(const char* name8, int index);
// Copies up to 8 characters, NUL-padded.
void Entity_SetName(Entity* entity, const char* name);

// ---- the table ----------------------------------------------------------------------------

// The same listener type the subsystem registry installs through the world seam.
using EntityNotifyFn = void (*)(EntityTableRecord* record);

// Enters a root: the first free record below the used count, else the next one (768 at most;
// the 769th ends the program). attached and extra (20 bytes) may be null.
EntityTableRecord* Entities_Add(Entity* entity, int instance, void* attached, const void* extra);
void Entities_Remove(EntityTableRecord* record);
void EntityRec_Clear(EntityTableRecord* record);

// Append to the add or remove list; a full list (51) refuses with a warning and returns false.
bool Entities_AddNotify(EntityNotifyFn fn);
bool Entities_AddRemoveNotify(EntityNotifyFn fn);
void Entities_CallAddNotify(EntityTableRecord* record);
void Entities_CallRemoveNotify(EntityTableRecord* record);
int Entities_AddNotifyCount();
int Entities_RemoveNotifyCount();

EntityTableRecord* Entities_GetUser();
void Entities_SetUser(EntityTableRecord* record);
int Entities_UserIsFlagged();

EntityTableRecord* Entities_FindRecord(const Entity* entity);
EntityTableRecord* Entities_FindByName(uint32_t word1, uint32_t word2, int instance);
int Entities_NewInstanceNumber(uint32_t word1, uint32_t word2);

// One walk at a time: the cursor is global.
EntityTableRecord* Entities_First();
EntityTableRecord* Entities_NextRecord();
void Entities_Rewind();

EntityTableRecord* Entities_Record(int index);  // null outside 0..767
int Entities_Index(const EntityTableRecord* record);
int Entities_UsedCount();

// out: x, y, z and the radius.
void EntityRec_GetWorldPos(float out[4], const EntityTableRecord* record);
// out: x, z and the radius.
void EntityRec_GetGroundPos(float out[3], const EntityTableRecord* record);
// out: the root record's local centre through the root's world transform, and its radius;
// zeros when the root has no record.
void EntityRec_GetCentreAndRadius(float out[4], const Entity* entity);
void EntityRec_SetFootprint(EntityTableRecord* record);

void Entities_ResetDetail();
// On the entity, its later siblings and all their descendants.
void Entity_SetDetailTree(Entity* entity, int32_t value);

void Entities_Reset();
void Entities_RemoveAll();
void Entities_FreeAllCaches();

// Fills the world seam's entries of the entity table, the entity services and the class-function
// table with this layer's functions (start-up).
void Objkr_InstallWorldSeam();
