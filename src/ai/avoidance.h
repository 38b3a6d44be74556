// Collision avoidance: moving units steer by a force. The unit task pulls a unit toward its next
// route point and then asks this module to add pushes away from nearby objects and from blocked
// ground. Nearby objects come from the avoidance grid, a bucket grid of every live object's
// handle refilled at the head of each mission tick. Objects push sideways when they stand in the
// unit's corridor of travel and directly when they are close; a predicted-collision test decides
// which objects count; pairs that have blocked each other too long stop pushing. Blocked cells of
// the path grid push too, and a unit boxed in is given a 20 m sidestep instead.
//
// The tuning lives in "Collision.cfg" (the settings record of avoidsettings.h), read once per run.
#pragma once
#include <cstdint>

#include "core/mathlib.h"

class BucketGrid;
class GameObject;

// ---- settings ---------------------------------------------------------------------------------
// Reads "Collision.cfg" into the settings record the first time it is called; later calls do
// nothing. A missing file keeps every built-in default; a key the file lacks keeps its default,
// and so does a grid cell size that is not positive. A revision other than 1 shows one of two
// warnings and the file is used anyway.
void Avoidance_LoadConfig();
// Forgets that the file was read (the next call reads it again) and puts the defaults back.
void Avoidance_ResetConfig();

// ---- the grid -----------------------------------------------------------------------------------
// The grid over the terrain's bounds with the settings' cell sizes, room for 768 entries.
void Avoidance_CreateGrid();
// The same over explicit ground bounds.
void Avoidance_CreateGridOver(float minX, float minZ, float maxX, float maxZ);
void Avoidance_DestroyGrid();
// Empties the grid and inserts every live object's handle at its (x, z). Nothing without a grid.
void Avoidance_RefillGrid();
// Null while there is no grid.
BucketGrid* Avoidance_Grid();
constexpr int kAvoidanceGridCapacity = 768;

// ---- pushes -------------------------------------------------------------------------------------
// Adds to force the pushes of every object within range of the unit (none from the unit itself
// or from the ignored object). Always false.
bool Avoidance_Steer(GameObject* unit, GameObject* ignore, float range, const Vector& goal, Vector* force,
                     bool debug = false);
// The sideways push of an object in the unit's corridor toward the goal: added to v. R is the
// two avoidance radii summed.
void Avoidance_Lateral(GameObject* unit, GameObject* other, const Vector& goal, float range, float R, Vector* v);
// Pushes away from blocked cells near the unit, or a 20 m sidestep when the unit is boxed in;
// true when it pushed or sidestepped.
bool Avoidance_CliffRepulsion(GameObject* unit, const Vector& goal, float distance, Vector* force);
// The cliff table's push strength for a movement class and the unit's team (teams outside
// 0..2 read column 0).
int Avoidance_CliffStrength(int movementClass, int32_t team);

// ---- sidestep rules ---------------------------------------------------------------------------
// Travel direction 0 (+z), 1 (+x), 2 (-z), 3 (-x) from a ground offset.
int Avoidance_TravelDirection(float gx, float gz);
// The octant (0..7, 0 straight ahead along +z, counting toward +x) of a cell offset.
int Avoidance_Octant(int dx, int dz);
// Whether the rule matches the blocked mask; when it does, *sidestep (x, z) is the 20 m step for
// travel direction t, turn -1 choosing the side from the velocity (vx, vz).
bool Avoidance_SidestepRule(uint32_t mask, uint32_t required, uint32_t forbidden, int turn, int t, float vx,
                            float vz, Vector2D* sidestep);

// ---- prediction -----------------------------------------------------------------------------------
// Whether the two will come within their summed avoidance radii times the safety factor within
// the look-ahead (seconds).
bool Avoidance_PredictCollision(GameObject* unit, GameObject* other, float lookAhead);
// The cheap test: the other stands in the unit's corridor toward the goal, within the distance
// covered in the look-ahead, and nearer than the goal.
bool Avoidance_PredictCheap2D(GameObject* unit, GameObject* other, float lookAhead, const Vector& goal);
// Seconds until the two are closest (1e30 when they hardly move relative to each other).
float Avoidance_ClosingTime(GameObject* a, GameObject* b);
// Where the object will be after t seconds, following its turn when it turns.
Vector Avoidance_PredictPosition(GameObject* object, float t);
// Whether the two touch now (bounding spheres plus 2.5) or will within 3 s.
bool Avoidance_WillCollide(GameObject* a, GameObject* b);

// ---- stuck pairs ----------------------------------------------------------------------------------
constexpr int kAvoidanceStuckPairs = 40;
// Notes that the other keeps the unit from its goal now; true once that has lasted more than
// 10 s of accumulated contact (a gap of 1 s forgets the pair). A full table never answers true.
bool Avoidance_StuckPairs(GameObject* unit, GameObject* other);
// Forgets every pair.
void Avoidance_ClearStuckPairs();
// How many pair records are in use.
int Avoidance_StuckPairCount();

// Grid, pairs and settings back to their start (tests' state reset).
void Avoidance_ResetForTests();
