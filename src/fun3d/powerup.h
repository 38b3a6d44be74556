// Power-ups: pick-ups lying in the world (an ammunition pack, a repair kit, a weapon, a camera
// pod). PowerUp holds what they share: standing on the ground on a spring, a launched rise and a
// guided descent under a downward flame, taking damage, exploding, network state and the
// pick-up on contact. Each kind supplies ApplyTo, which gives the pick-up to the object that
// touched it.
//
// The weapon kinds of the ordnance layer (mines, flares, magnets and the rest) derive from
// PowerUp and extend its Update.
#pragma once
#include <cstdint>
#include <cstdio>

#include "Objkr/dynamics.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"

class WeaponClass;

constexpr int kPowerUpSoundSize = 16;
constexpr int kPowerUpProbeCount = 6;
constexpr int32_t kPowerUpStateSize = 18;
constexpr int32_t kPowerUpExtraSize = 8;

// Vehicle flags of a power-up.
constexpr uint32_t kPowerUpGuided = 0x1;    // descending under guidance, flame on
constexpr uint32_t kPowerUpInFlight = 0x4;  // off the ground
constexpr uint32_t kPowerUpRising = 0x8;    // launched and still rising
constexpr uint32_t kPowerUpFlag20 = 0x20;
constexpr uint32_t kPowerUpFlag8000 = 0x8000;

// Entity flag: destruction requested (the next update explodes the object).
constexpr uint32_t kEntityDestroyRequested = 0x1000000;

// Definition keys of the kinds.
constexpr uint32_t kOdfAmmoPackAmount = 0x1EE6DDFAu;
constexpr uint32_t kOdfRepairKitAmount = 0x6B176FDAu;
constexpr uint32_t kOdfCameraTurn = 0x73ACCD30u;

// The motion and contact state of a power-up, made with its entity (the power-up row of the
// entity class functions) and freed with it; freeing it destroys the power-up that owns it.
struct PowerUpVehicle {
    float controls[4] = {};  // turn, (unused), side, forward
    uint8_t on = 0;
    uint32_t flags = 0;      // saved as "vhclFlags"
    CollisionBody contact{};  // the last contact kept
    class PowerUp* owner = nullptr;
};
void* PowerUpVehicle_New();
int PowerUpVehicle_Free(void* data);

class PowerUpClass : public GameObjectClass {
public:
    // The prototype: label, signature and category of the kind; the pick-up sound given.
    PowerUpClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory, const char* pickupSound = "");
    PowerUpClass(PowerUpClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    char pickupSound[kPowerUpSoundSize] = {};
    char refuseSound[kPowerUpSoundSize] = {};  // none: a refused pick-up is silent
};

class AmmoPackClass : public PowerUpClass {
public:
    using PowerUpClass::PowerUpClass;
    AmmoPackClass(AmmoPackClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;
    int32_t amount = 500;
};

class RepairKitClass : public PowerUpClass {
public:
    using PowerUpClass::PowerUpClass;
    RepairKitClass(RepairKitClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;
    int32_t amount = 1000;
};

class WeaponPowerupClass : public PowerUpClass {
public:
    using PowerUpClass::PowerUpClass;
    WeaponPowerupClass(WeaponPowerupClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;
    WeaponClass* weaponClass = nullptr;
};

class CameraPodClass : public PowerUpClass {
public:
    using PowerUpClass::PowerUpClass;
    CameraPodClass(CameraPodClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;
    float turn = 0.0f;
    float sensorRange = 0.0f;
    float sensorPeriod = 0.0f;
};

class PowerUp : public GameObject {
public:
    PowerUp(Entity* entity, GameObjectClass* cls);
    ~PowerUp() override;

    void Update(float dt) override;
    bool OnContact(Entity* other, CollisionBody* contact, void* extra) override;
    bool Load() override;
    bool Save(FILE* stream) override;
    // Gives the pick-up to the object; false when it does not apply (nothing happens then but
    // the refusal sound).
    virtual bool ApplyTo(GameObject* object);

    void Explode() override;
    float GetNetPriority(float time, float distance) override;
    bool TakeDamage(DamageInfo* damage, const Vector* offset) override;
    void PackNetState(uint8_t* buffer, int32_t& length) override;
    void UnpackNetState(const uint8_t* data, int32_t length) override;
    void PackNetExtra(uint8_t* buffer, int32_t& length) override;
    void UnpackNetExtra(const uint8_t* data, int32_t length) override;

    // A pick-up that applied: the sound at the receiver, the power-up marked dead.
    void Granted(GameObject* receiver);
    // A pick-up that did not apply: the refusal sound at the power-up.
    void Refused();

    PowerUpVehicle* vehicle = nullptr;
    Vector probes[kPowerUpProbeCount] = {};

private:
    bool ownsVehicle_ = false;
};

class AmmoPack : public PowerUp {
public:
    using PowerUp::PowerUp;
    bool ApplyTo(GameObject* object) override;
};

class RepairKit : public PowerUp {
public:
    using PowerUp::PowerUp;
    bool ApplyTo(GameObject* object) override;
};

class WeaponPowerup : public PowerUp {
public:
    using PowerUp::PowerUp;
    bool ApplyTo(GameObject* object) override;
};

class CameraPod : public PowerUp {
public:
    CameraPod(Entity* entity, GameObjectClass* cls);
    void Update(float dt) override;
};

// The weapon slot a weapon of the given hardpoint kind and priority goes to among the five
// slots: only slots with a hardpoint part of that kind (kind 70 fits any); an empty slot first,
// then the mounted weapon of lowest priority, a slot holding the same class last; ties to the
// lower slot. -1 when no slot fits.
struct PowerUpSlot {
    bool hasHardpoint = false;
    int32_t hardpointKind = 0;
    bool empty = true;
    bool sameClass = false;
    int32_t priority = 0;
};
int PowerUp_ChooseWeaponSlot(const PowerUpSlot slots[kHardpointCount], int32_t weaponKind);

// A received "RG" message's body (after its two letters): the power-up's and the receiver's
// network ids. Applies the pick-up when both exist and the first is a power-up; false otherwise
// (a body shorter than 8 bytes included).
bool PowerUp_ReceiveGrant(const uint8_t* data, int32_t size);

// Builds the power-up for an entity activated without an object: the class its name finds,
// else the power-up prototype; on the team of its team bits.
void PowerUp_ActivateEntity(Entity* entity);

// What the power-ups need of the weapons and the unit processes, filled at start-up by those
// layers; quiet stand-ins until then (tests replace entries).
struct PowerUpServices {
    // A weapon class's hardpoint kind (70..74), its priority and its sprite.
    int32_t (*weaponKind)(const WeaponClass* cls);
    int32_t (*weaponPriority)(const WeaponClass* cls);
    int32_t (*weaponSprite)(const WeaponClass* cls);
    // The user process of the object, when it has one, rebuilds its weapon groups.
    void (*rebuildWeaponGroups)(GameObject* object);
};
PowerUpServices& PowerUp_Services();
void PowerUp_ResetServices();
