// The spray bomb: a grenade that bounces off the ground and the standing kinds and, once it comes
// to rest on the terrain, turns into a spinning device that hovers there and sprays its payload
// round about until its ammunition runs out. The device is a static object on the mine's
// building stand-ins (weapons/mine.h).
#pragma once
#include <cstdint>
#include <memory>

#include "weapons/grenade.h"
#include "weapons/mine.h"

// The network player id of none.
constexpr uint16_t kSprayNoOwner = 64001;
// A device fires at most this many payloads in one update; a backlog beyond is dropped.
constexpr int kSprayMostShotsPerUpdate = 64;

class SprayBombClass : public GrenadeClass {
public:
    SprayBombClass(const char* classLabel, uint32_t classSignature);
    SprayBombClass(SprayBombClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;

    GameObjectClass* deviceClass = nullptr;  // the object class of the bomb's own name
    char bounceSound[16] = {};
};

class SprayBomb : public Grenade {
public:
    using Grenade::Grenade;
    // An object outside the standing kinds: the grenade's hit. Otherwise the bomb bounces at half
    // speed: slower than 1 m/s off an object it ends in the grenade's hit, slower than 5 m/s on
    // the terrain it settles into its device and dies.
    void Hit(Entity* hit, const Vector& normal) override;
};

class SprayBombDeviceClass : public MineClass {
public:
    SprayBombDeviceClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    SprayBombDeviceClass(SprayBombDeviceClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    OrdnanceClass* payloadClass = nullptr;
    char fireSound[16] = {};
    float chargeTime = 0.0f;
    float reloadTime = 0.05f;
    float hoverHeight = 2.0f;
    float spinRate = 10.0f;
    float spread = 0.25f;  // radians
};

class SprayBombDevice : public Mine {
public:
    SprayBombDevice(Entity* entity, GameObjectClass* cls);
    ~SprayBombDevice() override;
    // Takes the bomb owner's flags 0x10 and 0x20 and its network player id.
    void SetOwner(uint32_t ownerFlags, uint16_t playerId);
    // Spins up, hovers over the terrain and sprays each payload that fell due; a device whose
    // ammunition no longer covers a payload dies.
    void Update(float dt) override;

    void* soundLoop = nullptr;
    bool ownerIsUser = false;
    bool ownerFlag20 = false;
    uint16_t ownerId = kSprayNoOwner;
    float fireClock = 0.0f;
    float spin = 0.0f;
};

std::unique_ptr<OrdnanceClass> SprayBomb_MakeOrdnancePrototype(const char* label, uint32_t signature);
// The device prototype for "spraybomb" (the object layer's kind maker); null for other labels.
GameObjectClass* SprayBomb_MakeObjectPrototype(const char* label, uint32_t signature, int32_t category);
