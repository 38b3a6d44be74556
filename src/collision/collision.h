// Collision lists, the frame pass and the floor query.
//
// Every record of the entity table with a shape is on one of two lists, moving or static,
// decided once when the record is added (by Entity_IsDynamic of its entity at that moment) and
// kept in the record's list node, so removal finds the node whatever the entity's type code has
// become. Records of type codes 8 to 10 with upward-facing mesh polygons are also on the
// walkable list, which the floor query reads. The lists are fed by the entity table's add and
// remove notifications and live for one mission (Collision_Init .. Collision_Shutdown).
//
// Each frame the pass finds, for every pair that can meet within the frame time, the earliest
// contact (swept boxes, then swept spheres, then the shape test with a box on one side) and
// hands it to both entities' collide operations as two CollisionBody records.
#pragma once
#include <cstdint>

#include "Objkr/dynamics.h"
#include "Objkr/entity.h"
#include "collision/colshape.h"

struct FloorPolyNode {
    const CollisionPoly* poly;
    const Vector* vertices;  // of the polygon's set
    FloorPolyNode* next;
};

enum CollisionListId : int32_t { kCollisionMoving = 0, kCollisionStatic = 1, kCollisionWalkable = 2 };

// Newest first. The node remembers its list; walkable nodes own their floor polygons.
struct CollisionNode {
    CollisionNode* next;
    CollisionNode* prev;
    EntityTableRecord* data;
    int32_t list;
    FloorPolyNode* floorPolys;
};

// Mission set-up: frees what a previous mission left, empties the lists and registers the
// add and remove notifications with the entity table (after Entities_Reset).
void Collision_Init();
// Mission teardown (after Entities_RemoveAll): frees every node.
void Collision_Shutdown();

// The entity table's add notification: shape, then the moving or static list, then the
// walkable list.
void Collision_OnEntityAdded(EntityTableRecord* record);
// Takes the record off its lists (the running walk steps past it) and frees the mesh polygons
// of a part hierarchy. Returns 1, or 0 (with a trace) for a null record or entity.
int DeleteCollisionEntity(EntityTableRecord* record);

// The frame pass. The pairs come from a sweep along x over the swept boxes (pairs apart along x
// cannot touch), in the order of the walk over every pair: each moving record with the moving
// records after it, then with the fixed ones. Switched off, every pair is walked (tests and
// benchmarks compare the two).
void Collision_ProcessFrame();
void Collision_SetBroadPhase(bool on);
void Collision_UpdateSweptBox(EntityTableRecord* record);
void Collision_SetStaticBox(EntityTableRecord* record);
void Collision_TestPair(EntityTableRecord* a, EntityTableRecord* b);
// Plays the impact sound of a contact that involves the user's entity.
void Collision_PlayImpactSound(const CollisionBody& first, const CollisionBody& second);
// The sound for a struck type code and squared closing speed; null for none.
const char* Collision_ImpactSoundName(int32_t struckType, float speedSq);

// Every record's world centre := local centre through its entity's matrix (post-update).
void Collision_TransformAll();

// One walk over all records, moving list first; null at the end. Walks do not nest.
EntityTableRecord* Collision_FirstEntity();
EntityTableRecord* Collision_NextEntity();

// 1 when box (min x, y, z, max x, y, z) overlaps the record's swept box, bounds included.
int Collision_BoxesOverlap(const float box[6], const EntityTableRecord* record);

// The floor under (x, y, z): the terrain, or a walkable polygon higher than it and less than
// 1 unit above the point. Either output may be null.
void Collision_GetFloorHeight(double x, double y, double z, float* outHeight, Vector* outNormal);

void Collision_FloorListAdd(EntityTableRecord* record);
void Collision_FloorListRemove(EntityTableRecord* record);

int Entity_IsKind8To10(const Entity* entity);

// Counts for tests and diagnostics.
int Collision_MovingCount();
int Collision_StaticCount();
int Collision_WalkableCount();
CollisionNode* Collision_ListHead(CollisionListId list);

// Fills the world seam's collision entries (start-up).
void Collision_InstallSeam();
