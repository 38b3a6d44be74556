// The questions unit processes and tasks ask about the world: is a friend in my line of fire,
// which enemy is nearest, what is in my way, where do I deliver scrap, which empty craft can I
// board, how far do my weapons reach, is this building site flat and free.
//
// Every query is stateless and reads the world as it is now. The searches that run for many
// units every frame read a bucket grid around the unit (the avoidance grid, refilled at the head
// of each mission tick, or the object grid); the rarer ones walk the whole object list.
// Distances and ranges are squared; "ground" distances use x and z only. A handle that no longer
// names a live object is skipped; nothing found answers null (or false).
#pragma once
#include <cstdint>

#include "core/mathlib.h"

struct BestWeaponRange;
struct Entity;
class GameObject;
class TeamRecord;
class Weapon;

// ---- object data the searches read ----------------------------------------------------------
// The object's own position (its entity's placement when it has one).
Vector AI_PositionOf(const GameObject* object);
// An object's last attacker: the object whose shot hit it last (live, not dead) and the game
// time of that hit; null when none.
GameObject* AI_LastAttacker(const GameObject* object, float* hitTime);
// Piloted: the object has an AI process (the user's object has its own).
bool AI_IsPiloted(const GameObject* object);
// Active: a piloted object that is not dead (a craft being driven, a recycler at work).
bool AI_IsActive(const GameObject* object);
// The object's class flag byte (0 for none).
int AI_ClassFlagByte(const GameObject* object);

// ---- line of fire ---------------------------------------------------------------------------
// How much a hit t seconds ago weighs: 100 under 3 s, 3 under 5 s, 2 under 15 s, else 1.
float AI_HitRecencyWeight(float t);
// Whether the object would stop the unit's shots by being hit (allies, artillery of any team).
bool AI_LineOfFireBlocker(GameObject* object, GameObject* unit);
// Whether the object lies ahead of the unit within range and inside the cone (sine) or within
// its bounding radius times the scale of the unit's line of sight.
bool AI_TargetInCone(GameObject* unit, GameObject* object, float range, float cone, float scale);
// Whether a blocker stands in the unit's line of fire within the squared range; a friend that
// hit the unit lately counts with a wider cone. The fourth value is not read.
bool AI_AllyInLineOfFire(GameObject* unit, float range2, float coneSine, float unused = 1.0f);

// ---- enemies, targets and craft ---------------------------------------------------------------
// The nearest piloted enemy craft, else a threat (the current target, an object an ally hit in
// the last 10 s, or a marked object ahead within 70 m), else an unpiloted enemy craft, within
// the squared ground range (avoidance grid). *range2 receives the chosen distance.
GameObject* AI_FindNearestEnemyCraft(GameObject* unit, float* range2);
// The same over the object grid, with enemy mines counting as craft.
GameObject* AI_FindNearestEnemyCraftOrMine(GameObject* unit, float* range2);
// The nearest empty craft the unit's team may board (avoidance grid).
GameObject* AI_FindNearestFreeCraft(GameObject* unit, float* range2, GameObject* excluded);
// Whether the team may take the object: always for teams other than the user's; for the user's
// when it already holds the object in a slot or has a free slot in the range the class names.
bool Team_CanUseObject(TeamRecord* team, GameObject* object);
// The largest damage sum of one mount's ordnance; 0 for objects that are not craft or buildings
// or have no weapons; -1e30 when no mount holds a weapon with ordnance.
float AI_WeaponStrength(GameObject* object);
// The best enemy to attack: near, aiming at the unit, and strongly armed.
GameObject* AI_FindBestAttackTarget(GameObject* unit);

// ---- obstacles --------------------------------------------------------------------------------
// The nearest object within 50 m the unit would have to go round (avoidance grid).
GameObject* AI_FindNearestObstacle(GameObject* unit, GameObject* skipped);
// The nearest solid object to the point (object list).
GameObject* AI_FindNearestSolid(GameObject* unit, const Vector& point);

// ---- weapon reach -----------------------------------------------------------------------------
// Blast radius, reach and shot lifetime of one mounted weapon; false when it fires nothing the
// AI can measure (the outputs then hold 0, 10 and 1).
bool AI_WeaponStats(Weapon* mount, float* blast, float* reach, float* lifetime);
// The longest-reaching selected weapon of the unit (a dispenser never takes over from another
// weapon); the reach ends 1 lower. Always fills out (defaults blast 0, reach 10 - 1, lifetime 1).
void AI_BestWeaponRange(GameObject* unit, BestWeaponRange* out);

// ---- building sites ---------------------------------------------------------------------------
// A footprint box in the placement's own frame (metres).
struct SiteFootprint {
    float x0, z0, x1, z1;
};
// Whether the footprint placed by the matrix covers no blocked cell, ground whose height
// variance is at most 100 (raw units), and no building, pick-up, scrap or turret.
bool AI_BuildSiteClear(const SiteFootprint& footprint, const Matrix& placement);

// ---- objects by label and class -----------------------------------------------------------------
// The first object whose label is exactly the text; null for none (and for a null text).
GameObject* AI_FindByLabel(const char* label);
Entity* AI_FindEntityByLabel(const char* label);
// The nearest object of the signature that the unit's team has seen, of the team (any when
// team < 0), within the squared ground range.
GameObject* AI_FindNearestOfClass(GameObject* unit, uint32_t signature, int32_t team, float range2);
// The nearest silo of the unit's team within the squared ground range (the last met of equals).
GameObject* AiUtil_FindNearestSilo(GameObject* unit, float range2);
// Where the unit delivers scrap: a silo nearer than the active recycler, else the recycler;
// without an active recycler the nearest silo at any distance.
GameObject* AiUtil_FindDropOff(GameObject* unit);
// The nearest enemy building within the squared ground range (the unit's target always counts).
GameObject* AI_FindNearestEnemyBuilding(GameObject* unit, float range2);
// The nearest enemy of the team near the point: mines by 3-D distance, piloted craft by ground
// distance; *range2 receives it.
GameObject* AI_FindNearestEnemyOf(int32_t team, const Vector& point, float* range2);
// The nearest live person on foot that is not an ally of the unit, within the squared ground
// range; null for none.
GameObject* AI_FindNearestEnemyPerson(GameObject* unit, float range2);
