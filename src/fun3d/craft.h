// Craft: the base of every object that moves under its own control (hover vehicles, walkers,
// turrets, producers, pilots on foot). It adds to GameObject a physics record, a deploy state,
// a pilot, steering inputs, damage smoke, network packing of health and ammunition, and the
// motion step with ground contact that its kinds call from their own updates.
#pragma once
#include <cstdint>
#include <vector>

#include "Objkr/entitysvc.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"

constexpr int kCraftTextSize = 16;
constexpr int kCraftSmokeNodeMax = 8;
constexpr int32_t kEntityTypeSmokeNode = 76;

// Definition keys a craft class reads after those of every class.
constexpr uint32_t kOdfSensorRange = 0x487F8E17u;
constexpr uint32_t kOdfSensorPeriod = 0xDE687E15u;
constexpr uint32_t kOdfConcealThreshold = 0xF91CC422u;
constexpr uint32_t kOdfEjectChance = 0x462D7284u;
constexpr uint32_t kOdfRadarRange = 0x398DD5D0u;
constexpr uint32_t kOdfTargetRange = 0x006315BDu;

// What the unit AI's world and path queries read of a craft as its way of moving.
constexpr int32_t kMoveKindCraft = 0;
constexpr int32_t kMoveKindWalker = 1;
constexpr int32_t kMoveKindPerson = 2;

// Physics flags of a craft.
constexpr uint32_t kCraftSmoking = 0x100;
constexpr uint32_t kCraftNoAngularLimit = 0x200;
constexpr uint32_t kCraftDying = 0x8000;
constexpr uint32_t kCraftIgnoresCollisions = 0x20000;

class CraftClass : public GameObjectClass {
public:
    // A prototype: label, signature and category of the kind (the plain craft's "craft"
    // 'CRFT' 1); pilot cost 1.
    CraftClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    // Derived from the definition file with the prototype's values as defaults.
    CraftClass(CraftClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    float sensorRange = 200.0f;
    float sensorPeriod = 0.0f;
    float concealThreshold = 0.0f;
    float ejectChance = 0.3f;
    float radarRange = 250.0f;   // what the cockpit radar shows around the craft
    float targetRange = 200.0f;  // how far the cockpit picks and keeps targets
    // A1..A9 then A; B1, B2, C, C1, B3..B9 then B; D1..D4.
    char textsA[10][kCraftTextSize] = {};
    char textsB[12][kCraftTextSize] = {};
    char textsD[4][kCraftTextSize] = {};
};

// The nine control words of a craft, in order.
struct CraftControls {
    float steering = 0.0f;
    float pitch = 0.0f;
    float strafe = 0.0f;
    float throttle = 0.0f;
    int32_t boost = 0;
    int32_t jump = 0;
    int32_t eject = 0;
    int32_t deploy = 0;
    int32_t hopOut = 0;
    // Set by a rescue once it has stopped beside a unit on foot: the craft takes aboard its
    // team's people standing next to it.
    int32_t pickUp = 0;
};

class Craft : public GameObject {
public:
    Craft(Entity* entity, GameObjectClass* cls);
    ~Craft() override;

    // ---- primary operations ---------------------------------------------------------------
    // The user's own craft also leaves the cockpit display it had.
    void SetTeam(int32_t team) override;
    bool HasPilot() override;
    void AddHealth(float amount) override;
    bool HandleRequest(int32_t code) override;
    int32_t GetSelfCommand(int32_t argument) override;
    int32_t GetCommandForTarget(GameObject* other) override;
    void Update(float dt) override;
    void PostUpdate(float dt) override;
    bool OnContact(Entity* other, CollisionBody* contact, void* extra) override;
    bool Load() override;
    bool Save(FILE* stream) override;
    bool PostLoad() override;

    // ---- the craft's own operations -------------------------------------------------------
    virtual void RequestDeploy();
    virtual void RequestUndeploy();
    virtual bool IsDeployed();
    virtual bool IsUndeployed();
    virtual float GetEngineEffort();
    virtual float GetAirborneFactor();
    // The pilot dies inside (nothing without one).
    virtual void KillPilot();
    // The pilot bails out, with the eject chance for a craft not the user's; nothing without a
    // pilot or for a person.
    virtual void EjectPilot();
    // The pilot steps out and keeps the craft as "abandoned"; nothing without one or for a person.
    virtual void HopOut();
    virtual void SetSpeed(float target);
    virtual void SetHeading(float s, float c);
    virtual float GetAimAngle();
    virtual bool StopReversing();
    // Each mounted weapon points along the craft again.
    virtual void UpdateWeaponAim(float dt);
    // Motion over the step with at most one contact; whether a contact was handled.
    virtual bool Integrate(float dt);
    // The first of the six box-face probes whose motion over the step meets the terrain.
    virtual bool FindGroundContact(CollisionBody* contact, float dt);
    virtual void SetPerformance(float factor);
    virtual void UpdateDamageSmoke(float ratio);
    // The parts are about to fly off as debris that dies on its own: the craft lets go of every
    // pointer it keeps into its part tree (the pilot node becomes the craft's own entity).
    virtual void ForgetParts();

    // ---- network identity -----------------------------------------------------------------
    // Lets go of everything the craft holds and frees its entity, which destroys the craft.
    void TearDown() override;
    // The wreck: explosions, debris, smoke and scrap, then the teardown.
    void Explode() override;
    bool TakeDamage(DamageInfo* damage, const Vector* offset) override;
    void PackNetState(uint8_t* buffer, int32_t& length) override;
    void UnpackNetState(const uint8_t* data, int32_t length) override;

    // Damage from the ground's damaging cell class under and around the craft.
    void ApplyTerrainDamage(float dt);
    // A pilot of the class at the cockpit part raised by the craft's radius, on the craft's team;
    // the craft then takes a fresh team slot. Null when it cannot be built.
    GameObject* SpawnPilot(GameObjectClass* pilot);
    // Stops the mounted weapons (GameObject::DestroyWeapons destroys them).
    void StopWeapons();

    // ---- fields ---------------------------------------------------------------------------
    int32_t deployState = 0;
    uint32_t abandoned = 0;
    PhysBody* body = nullptr;
    uint32_t physFlags = 0;
    int32_t moveKind = kMoveKindCraft;
    float deathTimer = -1e30f;
    CraftControls controls{};
    Entity* pilotNode = nullptr;
    Vector boxFaceCentres[6] = {};
    int32_t smokeKind = 0;
    float smokeTimer = 0.0f;
    Entity* smokeNodes[kCraftSmokeNodeMax] = {};
    int32_t smokeNodeCount = 0;
    float ejectChance = 0.3f;
    uint8_t netRemote = 0;
    // The radar record's ping request: while the flag is set with a value above 0 the cockpit
    // radar of the user's craft pings once, taking the request (clearing the flag).
    uint8_t radarPing = 0;
    float radarPingValue = 0.0f;

protected:
    // Moves by the velocity and turns by the angular velocity over the time.
    void Move(float dt);

private:
    bool ownsBody_ = false;
    // The pilot is gone: the AI process, the controls and the weapons stop.
    void LosePilot();
    // The user's craft leaves the cockpit: the camera follows the wreck from outside.
    void LeaveCockpit();
    void StartDeath();
    // Smoke, fire and debris around the wreck.
    void SpawnWreckEffects();
    // The vehicle's headlight mask holds a reference on the tree; it goes with the craft.
    void DropHeadlightMask();
};

// 1 from a ratio of 0.5 up; 0.75 + r / 2 from 0.25; r + 0.5 from 0; 0 below.
float Craft_GetPerformanceFactor(float ratio);
// Damage per second on damaging ground: 40 per pair of damaging neighbours (of eight), twice
// that on the ground, falling to nothing 5 units above it.
float Craft_TerrainDamageRate(int neighbours, float height);
// The smoke kind for a health ratio below 0.5 (1..4), 0 (the default kind) from 0.5 up.
int32_t Craft_SmokeKindFor(float ratio);
// The first 8 nodes of the type, depth first, children before the next sibling.
int Craft_CollectSmokeNodes(Entity* root, Entity* out[kCraftSmokeNodeMax]);
// Every live craft, in construction order.
const std::vector<Craft*>& Craft_List();
// The craft that owns an entity's tree, or null.
Craft* Craft_FromEntity(const Entity* entity);
// The category of the class an 8-character name finds; -1 when none loads.
int32_t GameObjectClass_GetCategoryByName(const char* name);
// Builds the craft on an entity activated without an object (the entity class's activation).
void Craft_ActivateEntity(Entity* entity);
// Forgets every listed craft (the objects themselves are the pool's).
void Craft_ResetList();

// ---- entity-side wrappers for the AI and the scripts -----------------------------------------
void Craft_SetTargetSpeed(Entity* entity, float speed);
void Craft_SetHeading(Entity* entity, float angle);
float Craft_GetAimAngle(Entity* entity);
// True when the entity has no craft (nothing to stop).
bool Craft_StopReversing(Entity* entity);
bool Craft_IsDeployedOfEntity(Entity* entity);
// A craft for a network creation record: the class the 8-character name finds built on the
// entity, on the team of the record's low three team bits. Null when it cannot be built.
Craft* Craft_BuildFromNet(Entity* entity, const char name[8], uint32_t teamBits);
