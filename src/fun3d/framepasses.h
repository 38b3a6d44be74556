// What the frame does with the live objects: the entity class functions through which the
// world model steps, queries and damages an object, and the per-frame passes over the list of
// live objects (visibility fade, object grid, pool pressure, network sends), plus the passes
// for revealing, alliance changes and removing everything at mission end.
#pragma once
#include <cstdint>

#include "Objkr/classfnc.h"

class BucketGrid;
class GameObject;

// ---- entity class functions of the object kinds -------------------------------------------
// Single player: the accumulated time in one Update. Network game: Update in steps of
// 0.002..0.1 s (at most 5, while time is left and the entity lives); an object owned by
// another player starts from the matrix the network sent and is smoothed toward the result.
void GameObject_EntitySimulate(Entity* entity);
void GameObject_SimulateObject(GameObject* object, float frameTime);
void GameObject_EntityPostStep(Entity* entity, float frameTime);
// The object's velocity and its motion record (zero and null without an object).
void GameObject_EntityMotion(Entity* entity, Vector* velocity, void** motion);
void GameObject_EntityDynamics(EntityDynamics* out, Entity* entity);
int GameObject_EntityContact(Entity* entity, Entity* other, CollisionBody* contact, CollisionBody* otherContact);
int GameObject_EntityDamage(Entity* entity, DamageInfo* damage, Entity* source);
// Fills the object rows of the class-function owners.
void GameObject_InstallClassFunctions();

// ---- per-frame passes ---------------------------------------------------------------------
// The visibility rebuild and the sensors' sweeps, then each object's `illumination`: 1 while
// the user's team sees it, else falling by the frame time to 0.
void GameObject_UpdateVisibility();
void GameObject_UpdateVisibility(float frameTime);
// The object grid: 256-unit cells over the map's extents, 768 entries; rebuilt every frame.
// Creating it fills it with the objects listed then, so that it is valid before the first frame.
void GameObject_CreateGrid();
void GameObject_FreeGrid();
void GameObject_UpdateGrid();
// The grid of this mission, or null before it is created.
BucketGrid* GameObject_Grid();
// With 50 or fewer free pool slots: the oldest scrap object goes when there are more than 30,
// and likewise the oldest mine-like object (flares, magnets, mines, proximity and weapon mines).
void GameObject_PoolPressure();
// Network game: the states of up to 20 objects owned here, highest priority first.
void GameObject_SendNetUpdates();
constexpr int kNetSendMax = 20;
constexpr int kNetRemoteMax = 22;
constexpr float kNetDistanceCap = 250.0f;

// ---- other passes ---------------------------------------------------------------------------
// Every object fully lit and visible to every team.
void GameObject_RevealAll();
// The user's team allies with team t or leaves the alliance; t outside 0..7 or the user's own
// team is refused (false).
bool GameObject_OnAlly(int32_t t);
bool GameObject_OnUnally(int32_t t);
// Tears every listed object down, last first. An object still listed after its teardown is
// taken off the list (and traced) so that the pass always ends.
void GameObject_RemoveAll();
// While paused: the user's object alone, its controller's step then its simulate step.
void GameObject_StepUser(float frameTime);
