// Weapons that stay in the world as objects: the placed mine with its life timer, the flare (a
// mine that keeps firing a small ordnance into a random cone, a decoy) and the magnet (a mine
// that pushes craft and bends shots around it). Their classes live in the object-class
// registry; Weapons_InstallSeam hands it their prototypes (Mine_MakeObjectPrototype).
//
// A mine is a building of kind code 5 standing on the highest floor under it: its class reads the
// building's key (the ambient sound, the magnet's hum), its save carries the building's fields and
// its death is the building's.
#pragma once
#include <cstdint>
#include <cstdio>

#include "fun3d/building.h"

class OrdnanceClass;

// Definition keys.
constexpr uint32_t kOdfMineLifetime = 0x7C7C544Bu;
constexpr uint32_t kOdfFlareOrdnance = 0x19D3EBC6u;
constexpr uint32_t kOdfFlareSound = 0xCFDE2FC0u;
constexpr uint32_t kOdfMineDelay = 0x682CD2B2u;  // the flare's start delay, the magnet's arm delay
constexpr uint32_t kOdfFlareReload = 0xD9356908u;
constexpr uint32_t kOdfFlareCone = 0x22C3372Eu;
constexpr uint32_t kOdfMagnetRange = 0x66623DD5u;
constexpr uint32_t kOdfMagnetCentreForce = 0x6CF48F7Fu;
constexpr uint32_t kOdfMagnetEdgeForce = 0xA9B5F7E3u;
constexpr uint32_t kOdfMagnetCraftDrag = 0x27970654u;
constexpr uint32_t kOdfMagnetShotForce = 0xC829C5ADu;
constexpr uint32_t kOdfMagnetShotForceGain = 0x1703FA09u;
constexpr uint32_t kOdfMagnetShotDrag = 0x5B205972u;

constexpr int kMineSoundSize = 16;
// The save version from which a mine's "lifeTimer" is in the file.
constexpr int32_t kMineLifeTimerVersion = 1038;
// Entity flags of a mine whose life ran out: dead (0x200) and published (0x80).
constexpr uint32_t kMineDeadFlags = 0x280;
// A flare fires at most this many shots in one update; a backlog beyond is dropped.
constexpr int kFlareMostShotsPerUpdate = 64;

class MineClass : public BuildingClass {
public:
    // The prototype of a kind: kind code 5, 150 hit points, a life of 300 s.
    MineClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    MineClass(MineClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    float lifetime = 300.0f;
};

class Mine : public Building {
public:
    // Drops the collision shape and stands the mine on the highest floor under it, its up axis
    // along the floor's normal and its front kept.
    Mine(Entity* entity, GameObjectClass* cls);

    // The life timer runs down; at 0 the mine is dead (kMineDeadFlags). A mine found dead at the
    // start of an update goes.
    void Update(float dt) override;
    bool Save(FILE* stream) override;
    bool Load() override;
    void Explode() override;
    void TearDown() override;

    float lifeTimer = 0.0f;

protected:
    // Tears the mine down when its entity is dead; true when it went (nothing of it may be
    // touched then).
    bool GoneWhenDead();
    // The class lifetime (0 for a class that is not a mine class).
    float ClassLifetime() const;
};

class FlareClass : public MineClass {
public:
    FlareClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    FlareClass(FlareClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    OrdnanceClass* ordnanceClass = nullptr;
    char sound[kMineSoundSize] = {};
    float startDelay = 0.0f;
    float reloadTime = 0.05f;
    float cone = 0.5f;  // radians
};

class Flare : public Mine {
public:
    Flare(Entity* entity, GameObjectClass* cls);
    ~Flare() override;

    // The fire clock runs; each shot that fell due leaves into the random cone above the flare.
    void Update(float dt) override;

    void* soundLoop = nullptr;
    float fireClock = 0.0f;
};

// The launch frame of a flare shot in the flare's own axes for the two cone angles a and b
// (origin 0.5 up): with a = b = 0 the shot leaves along the flare's up axis.
Matrix Flare_LaunchFrame(float a, float b);

class MagnetClass : public MineClass {
public:
    MagnetClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    MagnetClass(MagnetClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    float armDelay = 2.0f;
    float range = 20.0f;
    float craftCentreForce = 30.0f;
    float craftEdgeTerm = (3.0f - 30.0f) / 20.0f;  // stored as (edge - centre) / range
    float craftDrag = 0.3f;
    float shotForce = 100.0f;
    float shotForceGain = 10.0f;
    float shotDrag = 1.0f;
};

class Magnet : public Mine {
public:
    Magnet(Entity* entity, GameObjectClass* cls);
    ~Magnet() override;

    // Once armed: hums, pushes every craft within range and bends every shot within range.
    void Update(float dt) override;

    void* soundLoop = nullptr;
};

// The prototype of the weapons' object kinds ("mine", "flare", "magnet", "daywrecker",
// "proximity", "weaponmine", the spray device "spraybomb", "torpedo"); null
// for any other label (the object layer's kind maker).
GameObjectClass* Mine_MakeObjectPrototype(const char* label, uint32_t signature, int32_t category);
