// Entity trees and the services over them: linking with use counts, references and release,
// walks by type and flag, transforms between levels, the bounds of a tree's geometry, the
// per-frame entity and pair caches, and the physics record of craft.
//
// Use counts: an entity's count includes the references held on all its ancestors, so holding
// a root holds the whole tree. Holders add a reference with Entity_AddRefTree, check the entity
// with Entity_UnrefIfShared before each use, and drop it with Entity_Unref.
#pragma once
#include <cstdint>

#include "Objkr/dynamics.h"
#include "Objkr/entity.h"

// ---- linking and counting -----------------------------------------------------------------
void Entity_AttachChild(Entity* child, Entity* parent);
void Entity_Detach(Entity* entity);
void Entity_AddRefTree(Entity* entity);
void Entity_AddToCounts(Entity* entity, int n);
void Entity_Unref(Entity* entity);
Entity* Entity_UnrefIfShared(Entity* entity);
int Entity_Release(Entity* entity);
int Entity_ReleaseTree(Entity* entity, int depth, int n);
void Entity_FreeRecord(Entity* entity);
// Takes the entity out of its parent's and siblings' links; counts unchanged.
void Entity_Unlink(Entity* entity);

// ---- walks and lookups --------------------------------------------------------------------
Entity* Entity_GetParent(const Entity* entity);
Entity* Entity_GetRoot(const Entity* entity);
Entity* Entity_FindType(Entity* entity, int32_t type);
// The same search with an explicit stack of 256; deeper subtrees are skipped with a warning.
Entity* Entity_FindTypeIter(Entity* entity, int32_t type);
Entity* Entity_FindFlag(Entity* entity, uint32_t bits);
void Entity_SetFlagTree(Entity* entity, uint32_t bits);
void Entity_ClearFlagTree(Entity* entity, uint32_t bits);
constexpr int kEntityWalkStack = 256;

int Entity_IsDynamic(int32_t type);
int Entity_IsDynamicSafe(const Entity* entity);
int Entity_IsStatic(int32_t type);
int Entity_IsCraft(int32_t type);
int Entity_IsUser(const Entity* entity);
int Entity_IsNotUser(const Entity* entity);
void Entity_SetCockpitPart(Entity* entity);

// ---- transforms ---------------------------------------------------------------------------
// The entity's placement within the ancestor (null: the world transform).
void Entity_GetTransformTo(Matrix& out, const Entity* entity, const Entity* ancestor);
// The placement, within the entity, of the first entity of the type below it; 0 when none or
// when it is the entity itself.
int Entity_GetTransformToType(Entity* entity, Matrix& out, int32_t type);
void Entity_GetWorldPos(float out[3], const Entity* entity);
void Entity_GetPosition(float out[3], const Matrix& m);
void Entity_SetPosition(Matrix& m, const float in[3]);
// The difference b - a in eighths of a turn, rounded to the nearest, 0..7.
int Angle_Octant(float a, float b);

// ---- bounds -------------------------------------------------------------------------------
constexpr float kExtentsEmpty = 10000000.0f;
// Box of the level-0 geometry of the entity, its later siblings and all descendants, in the
// entity's own frame; min 1e7 and max -1e7 on each axis when there is no vertex.
void Entity_ComputeExtents(const Entity* entity, Vector& min, Vector& max);
float Entity_ComputeRadius(const Entity* entity, float x, float y, float z);
// The geometry the bounds read: the list item of the current state at level 0, else the
// current geometry.
const Geometry* Entity_LevelZeroGeometry(const Entity* entity);

// ---- per-frame caches ---------------------------------------------------------------------
constexpr int kEntityCacheSize = 200;
constexpr int kEntityCacheHeads = 113;
constexpr int kPairCacheSize = 4500;
constexpr int kPairCacheHeads = 2503;

struct EntityCacheEntry {
    const Entity* entity;
    float heading;
    float heading2;
    Vector centre;
    float radius;
    int32_t next;
};

struct EntityPairEntry {
    const Entity* low;
    const Entity* high;
    float groundDistance;
    float distance;
    float headingLowToHigh;
    float headingHighToLow;
    Vector lowToHigh;
    Vector highToLow;
    int32_t next;
};

void EntityPairs_Reset();
uint32_t EntityCache_Bucket(const Entity* entity);
uint32_t EntityPairs_Bucket(const Entity* low, const Entity* high);
const EntityCacheEntry* EntityCache_Find(const Entity* entity);
// When the cache is full the entry is computed into a scratch record that is not kept.
const EntityCacheEntry* EntityCache_Add(const Entity* entity);
float EntityCache_GetHeading(const Entity* entity);
float EntityCache_GetHeading2(const Entity* entity);
void EntityCache_GetCentre(Vector& out, const Entity* entity);
float EntityCache_GetRadius(const Entity* entity);
const EntityPairEntry* EntityPairs_Find(const Entity* low, const Entity* high);
const EntityPairEntry* EntityPairs_Add(const Entity* high, const Entity* low);
float EntityPairs_GetValue(const Entity* a, const Entity* b);
float EntityPairs_GetDistance3D(const Entity* a, const Entity* b);
float EntityPairs_GetHeading(const Entity* a, const Entity* b);
void EntityPairs_GetVector(Vector& out, const Entity* a, const Entity* b);
int EntityCache_Count();
int EntityCache_MaxCount();
int EntityPairs_Count();
int EntityPairs_MaxCount();
// The two maxima above are high-water marks that EntityPairs_Reset keeps; this empties both caches
// and starts the maxima again at 0.
void EntityCaches_ResetAll();

// ---- craft physics record -----------------------------------------------------------------
struct PhysBody {
    EntityDynamics dynamics;
    CollisionBody contact;
    int32_t stateWords[4];
    Entity* cockpitPart;  // first descendant of type 40
    Entity* headlightMask;  // from the vehicle's '&' locator, null when none
    Vector locatorPoint;    // the position of the vehicle's '*' locator
    void* owner;          // the object that owns further state
};

// Zeroed, dynamics at rest with mass 1500 and factor 1500.
PhysBody* PhysBody_New();
// Destroys the owning object first, then frees the record.
void PhysBody_Free(PhysBody* body);
