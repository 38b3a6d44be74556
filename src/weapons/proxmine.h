// Mines that guard an area until something comes by: the proximity mine, which blows when a
// non-allied object moves away from it inside its trigger range, and the weapon mine, which
// carries a weapon and fires it at the nearest non-allied object it can hit. Neither expires.
#pragma once
#include <cstdint>
#include <cstdio>

#include "weapons/mine.h"

class ExplosionClass;
class Weapon;
class WeaponClass;

constexpr uint32_t kOdfMineTriggerRange = 0xE3635FF7u;
constexpr uint32_t kOdfMineSearchPeriod = 0x073A2DE0u;
constexpr uint32_t kOdfMineBlastClass = 0xD61BC22Bu;
constexpr uint32_t kOdfMineDepthWeight = 0xCAAA3778u;
constexpr uint32_t kOdfMineWeapon = 0xFBF47DBAu;
constexpr uint32_t kOdfMineNeedClearShot = 0x0B30F7ACu;

// The save version from which a proximity mine's "searchTimer" is in the file.
constexpr int32_t kMineSearchTimerVersion = 1038;
// A mine that guards never runs out of life.
constexpr float kGuardMineLifetime = 1e30f;
// Debris thrown up by a proximity mine that goes off.
constexpr int kProximityDebrisChunks = 20;
constexpr float kProximityDebrisRise = 15.0f;

class ProximityMineClass : public MineClass {
public:
    ProximityMineClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    ProximityMineClass(ProximityMineClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    float triggerRange = 20.0f;
    float searchPeriod = 0.1f;
    ExplosionClass* blastClass = nullptr;
};

class ProximityMine : public Mine {
public:
    ProximityMine(Entity* entity, GameObjectClass* cls);

    // The team's path grid avoids the trigger circle while the mine is on the team.
    void SetTeam(int32_t team) override;
    void LeaveTeam() override;
    // Each search period the objects in range are examined: an ally among them holds the mine
    // for that search; otherwise any object moving away from it sets it off.
    void Update(float dt) override;
    bool Save(FILE* stream) override;
    bool Load() override;

    // The search finds a reason to go off (no ally in range, someone leaving it).
    bool SearchTriggers() const;
    // Blows the mine: debris, a scorch, the blast, and the mine is dead.
    void Trigger();
    // Where a loaded mine's search timer starts when the file has none: spread by handle in a
    // network game (the same on every machine), at random otherwise.
    float StaggeredSearchTimer() const;

    float searchTimer = 0.0f;
};

class WeaponMineClass : public MineClass {
public:
    WeaponMineClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    WeaponMineClass(WeaponMineClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    float triggerRange = 50.0f;
    float depthWeight = 10.0f;
    WeaponClass* mineWeapon = nullptr;
    bool needClearShot = true;
};

class WeaponMine : public Mine {
public:
    WeaponMine(Entity* entity, GameObjectClass* cls);

    // Joining a team marks the path grid and mounts the weapon in slot 0; leaving clears the grid.
    void SetTeam(int32_t team) override;
    void LeaveTeam() override;
    // On the owning machine: picks the nearest non-allied object it may shoot, aims and fires.
    void Update(float dt) override;
    void Explode() override;

    // The weighted squared distance the mine ranks objects by: z counts depthWeight times.
    static float WeightedDistanceSq(const Vector& offset, float depthWeight);

    Weapon* weapon = nullptr;
};
