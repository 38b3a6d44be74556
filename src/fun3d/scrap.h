// Scrap: the resource scavengers pick up and every build pays for. Scrap pieces are small
// buildings kept in one list and mirrored into a bucket grid (100-unit cells, 768 entries) so
// that the nearest piece is found quickly. They are left by dying buildings and craft, spilled
// by lost silos and laid by scrap fields, map-placed spawners that run once. The drop-off is an
// older delivery point kept in a table of 20 entries.
#pragma once
#include <cstdint>
#include <vector>

#include "fun3d/building.h"
#include "fun3d/powerup.h"

class BucketGrid;
class PhaseHook;

constexpr int kDropoffTableSize = 20;
constexpr int kScrapClassCount = 3;
constexpr double kScrapGridCell = 100.0;
constexpr int kScrapGridCapacity = 768;

class Scrap : public Building {
public:
    // Not solid; joins the scrap list and marks the grid for refill.
    Scrap(Entity* entity, GameObjectClass* cls);
    ~Scrap() override;
    float GetNetPriority(float, float) override { return -1.0f; }
    bool TakeDamage(DamageInfo*, const Vector*) override { return false; }
    bool OnContact(Entity*, CollisionBody*, void*) override { return false; }
    bool IsWorldFixture() override { return true; }
};

class ScrapField : public Building {
public:
    using Building::Building;
    // On the owning machine: lays the class's scrap value in pieces round itself and goes.
    void Update(float dt) override;
};

class ScrapDropoff : public PowerUp {
public:
    // Enters the first free table entry; a full table leaves it out.
    ScrapDropoff(Entity* entity, GameObjectClass* cls);
    ~ScrapDropoff() override;
    bool Load() override;
};

// The prototype of "scrap", "scrapfield" or "dropoff"; null for any other label.
GameObjectClass* Scrap_MakePrototype(const char* label, uint32_t signature, int32_t category);

// Every live piece, in construction order.
const std::vector<Scrap*>& ScrapList();

// The grid: made (and filled) at mission start, refilled once per frame when marked, freed at
// teardown. A removed piece stays in it until the next refill: readers resolve the handles
// and skip those that no longer resolve.
void Scrap_CreateGrid();
void Scrap_RefreshGrid();
void Scrap_FreeGrid();
BucketGrid* Scrap_Grid();
bool Scrap_GridDirty();
// Marks the grid for refill (what a new or removed piece does).
void Scrap_MarkGridDirty();

// How many pieces may be spawned with this many live objects: (1536 - 3 n) / 4.
int32_t Scrap_Budget(int64_t liveObjects);
// Lays up to n pieces round the centre within 10 sqrt(n) on x and z, each on the floor under
// it, of a scrap class picked at random, on team 0. Returns the pieces made.
int32_t Scrap_Spawn(const Vector& centre, int32_t n);
// The classes pieces are made from ("npscr1".."npscr3"), found at each mission set-up.
void Scrap_FindClasses();
GameObjectClass* Scrap_Class(int i);

// ---- the drop-off table -----------------------------------------------------------------------
void DropoffTable_Clear();
// Null outside 0..19.
GameObject* DropoffTable_Get(int32_t index);
// The index of the object, counting one more reference; -1 for null or absent.
int32_t DropoffTable_FindIndex(const GameObject* object);
// One reference less (never below 0); the entry's object, when set, is torn down. Nothing
// outside 0..19.
void DropoffTable_Release(int32_t index);
int32_t DropoffTable_Count(int32_t index);

// The registry members: the drop-off table cleared at start-up, the scrap classes found at
// each mission set-up.
PhaseHook& DropoffTableHook_Member();
PhaseHook& ScrapFieldHook_Member();

// Everything back to its start (tests' state reset).
void Scrap_ResetForTests();
