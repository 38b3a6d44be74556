// The class-function table: an entity's behaviour chosen by its type code through one static
// row of operations per type (the only dispatch of the entity layer), the class list of every
// classed entity in the order their per-frame operations run, and the pending list of classed
// entities not yet activated.
#pragma once
#include <cstdint>

#include "Objkr/dynamics.h"
#include "Objkr/entity.h"

struct DamageInfo;

using ClassCreateFn = void* (*)();
using ClassEntityFn = void (*)(Entity* entity);
using ClassMotionFn = void (*)(Entity* entity, Vector* velocity, void** motion);
using ClassDynamicsFn = void (*)(EntityDynamics* out, Entity* entity);
using ClassCollideFn = int (*)(Entity* entity, Entity* other, CollisionBody* contact, CollisionBody* otherContact);
using ClassDamageFn = int (*)(Entity* entity, DamageInfo* damage, Entity* source);
using ClassFreeFn = int (*)(void* data);

struct ClassFunctions {
    int32_t type;
    ClassCreateFn create;         // 1
    ClassEntityFn activate;       // 2: once after the entity enters the table
    ClassEntityFn update;         // 3: once per simulated frame
    ClassEntityFn postUpdate;     // 4: once per simulated frame, after animation
    void* reserved5;              // 5
    void* reserved6;              // 6
    ClassMotionFn motion;         // 7
    ClassDynamicsFn dynamics;     // 8
    ClassCollideFn collide;       // 9: nonzero when the hit counts
    ClassDamageFn damage;         // 10
    ClassEntityFn slot11;         // 11: at mission end (no row fills it)
    ClassFreeFn free;             // 12
};

constexpr int kClassRowCount = 14;

// Doubly linked node. Class-list data: the entity; pending-list data: the class-list node.
struct ClassNode {
    ClassNode* next;
    ClassNode* prev;
    void* data;
    bool removed;  // taken out during a walk; freed when the walk ends
};

// The owners of the rows that belong to game objects and weapons. Null entries do nothing
// (creates give no data, queries give rest values and 0).
struct ClassfncOwners {
    void (*craftActivate)(Entity* entity);
    void (*buildingActivate)(Entity* entity);
    void (*powerUpActivate)(Entity* entity);
    void (*personActivate)(Entity* entity);
    void (*objectSimulate)(Entity* entity);
    void (*objectPostStep)(Entity* entity, float frameTime);
    void (*objectMotion)(Entity* entity, Vector* velocity, void** motion);
    void (*objectDynamics)(EntityDynamics* out, Entity* entity);
    int (*objectCollide)(Entity* entity, Entity* other, CollisionBody* contact, CollisionBody* otherContact);
    int (*objectDamage)(Entity* entity, DamageInfo* damage, Entity* source);
    void (*destroyPhysOwner)(void* owner);  // the craft object a PhysBody points at
    // A building's class record: made for each building entity; freeing it destroys the
    // building that owns it.
    void* (*buildingNew)();
    int (*buildingFree)(void* data);
    void* (*powerUpNew)();
    int (*powerUpFree)(void* data);
    void* (*personNew)();
    int (*personFree)(void* data);
    void* (*weaponCreate)();
    void (*weaponActivate)(Entity* entity);
    int (*weaponFree)(void* data);
    void* (*ordnanceCreate)();
    void (*ordnanceMotion)(Entity* entity, Vector* velocity, void** motion);
    void (*ordnanceDynamics)(EntityDynamics* out, Entity* entity);
    int (*ordnanceFree)(void* data);
    void* (*explosionCreate)();
    int (*explosionFree)(void* data);
};
ClassfncOwners& Classfnc_Owners();
void Classfnc_ResetOwners();

// ---- the table ----------------------------------------------------------------------------
const ClassFunctions* Classfnc_FindRow(int32_t type);
const ClassFunctions* Classfnc_Row(int index);  // null outside 0..13
// Replaces the update slot of a type's row; an unknown type changes nothing (returns false).
bool Classfnc_SetUpdate(int32_t type, ClassEntityFn fn);

// ---- the lists ----------------------------------------------------------------------------
void Classfnc_SetClass(Entity* entity, int32_t type);
void Classfnc_ActivatePending();
void Classfnc_Activate(ClassNode* node);
void Classfnc_UpdateAll();
void Classfnc_PostUpdateAll();
void Classfnc_UpdateOne(ClassNode* node);
void Classfnc_PostUpdateOne(ClassNode* node);
void Classfnc_Purge();
void Classfnc_PurgeNode(ClassNode* node);
void Classfnc_RemoveNode(ClassNode* node);
// Frees an alive entity's class data and takes it off the class list; null when it was on it.
Entity* Classfnc_Remove(Entity* entity);
int Classfnc_FreeData(int32_t type, void* data);
void Classfnc_GetMotion(Entity* entity, Vector* velocity, void** motion);
void Classfnc_GetDynamics(EntityDynamics* out, Entity* entity);
int Classfnc_Collide(Entity* a, Entity* b, CollisionBody* contactA, CollisionBody* contactB);
int Classfnc_Damage(Entity* entity, DamageInfo* damage, Entity* source);
void Classfnc_DropPending();
void Classfnc_Clear();
void Classfnc_CallSlot11();
// Forgets both lists without touching any reference (mission set-up).
void Classfnc_ResetLists();

ClassNode* Classfnc_ClassListHead();
ClassNode* Classfnc_PendingListHead();
ClassNode* Classfnc_FindNode(const Entity* entity);
int Classfnc_ClassListCount();
int Classfnc_PendingCount();

// ---- spinner (type 15) --------------------------------------------------------------------
struct SpinnerData {
    Vector rate;  // angles per second about the entity's own axes
    float value1;
    float value2;
};
void* Spinner_New();
void Spinner_Update(Entity* entity);
void Spinner_GetDynamics(EntityDynamics* out, Entity* entity);
int Spinner_Collide(Entity* entity, Entity* other, CollisionBody* contact, CollisionBody* otherContact);
void Spinner_SetRate(Entity* entity, float x, float y, float z);
void Spinner_SetValues(Entity* entity, float value);

// ---- shadow group (type 11) ---------------------------------------------------------------
void ShadowGroup_Activate(Entity* entity);
int ShadowGroup_Free(void* data);
// Head of the shadow list the draw pass walks (its siblings follow), or null.
Entity* ShadowGroup_List();
