// The buildings of a base and of the map: barracks (pilot room, pilots for empty craft), comm
// towers (a sensor while powered), power plants (power for towers within range), shield towers
// (push craft and shots out of a box), scrap silos (scrap room), repair and supply depots
// (service for nearby craft), geysers (the power sources producers sit on), animated buildings,
// artifacts and spawn points.
#pragma once
#include <cstdint>
#include <vector>

#include "fun3d/building.h"
#include "fun3d/particlebuffer.h"

class ObjectSensor;

// Definition keys.
constexpr uint32_t kOdfBarracksPilotBonus = 0x8588AF8Cu;
constexpr uint32_t kOdfCommTowerRange = 0x487F8E17u;
constexpr uint32_t kOdfCommTowerPeriod = 0xDE687E15u;
constexpr uint32_t kOdfPowerPlantRange = 0x2FB89BE4u;
constexpr uint32_t kOdfShieldMinX = 0xE4CA43FCu;
constexpr uint32_t kOdfShieldMinY = 0xE5CA458Fu;
constexpr uint32_t kOdfShieldMinZ = 0xE6CA4722u;
constexpr uint32_t kOdfShieldMaxX = 0x7FB47D32u;
constexpr uint32_t kOdfShieldMaxY = 0x80B47EC5u;
constexpr uint32_t kOdfShieldMaxZ = 0x7DB47A0Cu;
constexpr uint32_t kOdfShieldObjectPush = 0x0D5099EAu;
constexpr uint32_t kOdfShieldObjectDamping = 0x27970654u;
constexpr uint32_t kOdfShieldOrdnancePush = 0x1AD95FC4u;
constexpr uint32_t kOdfShieldOrdnanceDamping = 0x5B205972u;
constexpr uint32_t kOdfSiloCapacity = 0x92A6E0EBu;
constexpr uint32_t kOdfRepairRange = 0xEC53DBD9u;
constexpr uint32_t kOdfRepairPeriod = 0x361C9203u;
constexpr uint32_t kOdfRepairAmount = 0x00CE3138u;
constexpr uint32_t kOdfRepairSound = 0x7982020Bu;
constexpr uint32_t kOdfSupplyRange = 0x1F80FEFBu;
constexpr uint32_t kOdfSupplyPeriod = 0xBC6C4E61u;
constexpr uint32_t kOdfSupplyAmount = 0x5C81DBD2u;
constexpr uint32_t kOdfSupplySound = 0xB1D46BCDu;

// The animation key every power plant and animated building loops.
constexpr int32_t kBuildingLoopAnimation = 4;
// The model part type of a comm tower's antennas.
constexpr int32_t kAntennaPartType = 15;
// A barracks looks for empty craft this often (seconds) and this far (units).
constexpr float kBarracksCheckPeriod = 5.0f;
constexpr float kBarracksRange = 100.0f;
// Geyser entity flags while covered (not drawn, hidden).
constexpr uint32_t kGeyserCovered = 0x401;

// ---- barracks -------------------------------------------------------------------------------
class BarracksClass : public BuildingClass {
public:
    using BuildingClass::BuildingClass;
    BarracksClass(BarracksClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;
    int32_t pilotBonus = 10;
    // The pilot it sends out: "aspilo" for the american side, "sspilo" for the soviet; none else.
    GameObjectClass* spawnPilotClass = nullptr;
};

class Barracks : public Building {
public:
    using Building::Building;
    void SetTeam(int32_t team) override;
    void LeaveTeam() override;
    void Update(float dt) override;
    // Sends one pilot out (nothing without a pilot class); the pilot, or null.
    GameObject* SpawnPilot();
    float nextCheck = 0.0f;
};

// ---- power ----------------------------------------------------------------------------------
class PowerPlantClass : public BuildingClass {
public:
    using BuildingClass::BuildingClass;
    PowerPlantClass(PowerPlantClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;
    float powerRange = 100.0f;
};

class PowerPlant : public Building {
public:
    PowerPlant(Entity* entity, GameObjectClass* cls);
    ~PowerPlant() override;
    void Update(float dt) override;
    int animSlot = -1;
};

// Every power plant, in construction order.
const std::vector<PowerPlant*>& PowerPlantList();
// The plant that powers an object at the position for the team's owner: the current one (by
// handle) while it resolves, is allied and in range, else the first such in the list; 0 when
// none does.
uint32_t PowerPlant_Find(const GameObject* object, uint32_t current);
// The user's team's powered comm towers.
int32_t& PoweredTowerCount();

class CommTowerClass : public BuildingClass {
public:
    using BuildingClass::BuildingClass;
    CommTowerClass(CommTowerClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;
    float sensorRange = 500.0f;
    float sensorPeriod = 0.0f;
};

class CommTower : public Building {
public:
    CommTower(Entity* entity, GameObjectClass* cls);
    ~CommTower() override;
    void SetTeam(int32_t team) override;
    void LeaveTeam() override;
    void Update(float dt) override;
    bool Powered() const { return sensor != nullptr; }
    void HideAntennas();
    void ShowAntennas();

    uint32_t plant = 0;
    // The sensor while unpowered: out of the sensor slot and out of every sweep.
    ObjectSensor* idleSensor = nullptr;

private:
    bool counted_ = false;
    void Count(bool on);
};

class ShieldTowerClass : public BuildingClass {
public:
    using BuildingClass::BuildingClass;
    ShieldTowerClass(ShieldTowerClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;
    Vector boxLow{-50.0f, 0.0f, -5.0f};
    Vector boxHigh{50.0f, 10.0f, 5.0f};
    float objectPush = 100.0f;
    float objectDamping = 1.0f;
    float ordnancePush = 200.0f;
    float ordnanceDamping = 3.0f;
};

class ShieldTower : public Building {
public:
    using Building::Building;
    void Update(float dt) override;
    // Whether the world point lies strictly inside the class box in the tower's frame.
    bool InsideBox(const Vector& point) const;
    uint32_t plant = 0;
};

// ---- scrap room and service ------------------------------------------------------------------
class ScrapSiloClass : public BuildingClass {
public:
    using BuildingClass::BuildingClass;
    ScrapSiloClass(ScrapSiloClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;
    int32_t capacityBonus = 0;
};

class ScrapSilo : public Building {
public:
    using Building::Building;
    void SetTeam(int32_t team) override;
    void LeaveTeam() override;
    void Explode() override;
    bool Save(FILE* stream) override;
    bool Load() override;
    bool PostLoad() override;
    int32_t dropoffIndex = -1;
};

class ServiceDepotClass : public BuildingClass {
public:
    // The prototype of a depot kind with its defaults.
    ServiceDepotClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory, bool supply);
    ServiceDepotClass(ServiceDepotClass* prototype, const char* name);
    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;
    bool supply = false;  // ammunition instead of health
    float range = 30.0f;
    float period = 1.0f;
    int32_t amount = 100;
    char sound[kBuildingSoundSize] = {};
};

// The repair and supply depots: every period the nearest non-enemy object in range that needs
// service gets the amount.
class ServiceDepot : public Building {
public:
    using Building::Building;
    void Update(float dt) override;
    // The object served now, or null.
    GameObject* Serve();
    float timer = 0.0f;
};

// ---- geysers and the rest -------------------------------------------------------------------
class Geyser : public Building {
public:
    Geyser(Entity* entity, GameObjectClass* cls);
    ~Geyser() override;
    void Update(float dt) override;
    float GetNetPriority(float time, float distance) override;
    bool IsWorldFixture() override { return true; }
    bool OnContact(Entity*, CollisionBody*, void*) override { return false; }

    void Claim() { claimed = 1; }
    void Release() { claimed = 0; }
    void Cover();
    void Uncover();

    uint8_t active = 1;
    uint8_t claimed = 0;
    float particleClock = 0.0f;
};
const std::vector<Geyser*>& GeyserList();
// The particle kind every geyser spouts.
ParticleKind& ParticleKind_Geyser();

// Power plants and animated buildings loop animation 4; after a load every one whose slot is
// not playing starts it again.
class AnimBuilding : public Building {
public:
    AnimBuilding(Entity* entity, GameObjectClass* cls);
    int animSlot = -1;
};
int Building_StartLoop(Entity* entity);
void Building_RestartLoops();

class Artifact : public Building {
public:
    Artifact(Entity* entity, GameObjectClass* cls);
};

class SpawnPoint : public Building {
public:
    SpawnPoint(Entity* entity, GameObjectClass* cls);
};

// The prototype of a building kind by label; null for a label that is not a building's.
GameObjectClass* Building_MakePrototype(const char* label, uint32_t signature, int32_t category);
// Forgets the lists and the tower count (tests' state reset).
void BuildingKinds_Reset();
