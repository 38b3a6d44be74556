// Buildings: the base of every object that stands still in the world (base buildings, geysers,
// scrap, scrap fields, spawn points, and the weapons' mines). A building stands on the ground,
// may play an ambient sound while the listener is near, takes damage down to a burst of
// explosions, smoke, debris and scrap, and packs only its health for the network.
//
// A building's entity carries a small class record (BuildingRecord, the building rows of the
// entity class functions); freeing that record destroys the building that owns it, so a
// teardown always ends the object.
#pragma once
#include <cstdint>
#include <cstdio>

#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"

constexpr uint32_t kOdfBuildingSound = 0xF1AAD7DCu;
constexpr int kBuildingSoundSize = 16;
// The ambient sound plays while the listener is within this distance.
constexpr float kBuildingAmbientRange = 50.0f;
// Entity flags: destroy requested and dead (set together when a building falls).
constexpr uint32_t kBuildingDestroyFlags = 0x1000200;
// Set on a building whose death has been published or that leaves no scrap.
constexpr uint32_t kBuildingNoScrap = 0x80;
// The record a peer sends of a building: its health ratio.
constexpr int32_t kBuildingHealthRecordSize = 4;

class BuildingClass : public GameObjectClass {
public:
    BuildingClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory);
    // Reads the keys of every class, then the ambient sound.
    BuildingClass(BuildingClass* prototype, const char* name);

    GameObject* BuildObject(Entity* entity) override;
    GameObjectClass* Derive(const char* name) override;

    char ambientSound[kBuildingSoundSize] = {};
};

class Building : public GameObject {
public:
    // Keeps the placement it is built at and takes ownership of the entity's building record
    // when it has one.
    Building(Entity* entity, GameObjectClass* cls);
    ~Building() override;

    void Update(float dt) override;
    bool OnContact(Entity* other, CollisionBody* contact, void* extra) override;
    bool Load() override;
    bool Save(FILE* stream) override;

    // Takes the building out of the world. The class list lets go of the entity at once, so that
    // the entity's record, and the building with it, goes now.
    void TearDown() override;
    void Explode() override;
    float GetNetPriority(float time, float distance) override;
    bool TakeDamage(DamageInfo* damage, const Vector* offset) override;
    void PackNetState(uint8_t* buffer, int32_t& length) override;
    void UnpackNetState(const uint8_t* data, int32_t length) override;

    // A hit that landed on the entity: the building's own takes it, another object's entity
    // passes it on. A hit that would come back to this building is ignored (false).
    bool TakeDamageOn(Entity* hit, DamageInfo* damage);
    // The same for a contact.
    bool ContactOn(Entity* hit, Entity* other, CollisionBody* contact);
    // The 4-byte health record: packing records the ratio as last sent; unpacking refuses a
    // shorter record or a ratio that is not finite (false, nothing changed).
    void PackHealth(uint8_t* buffer, int32_t& length);
    bool UnpackHealth(const uint8_t* data, int32_t length);

    // The entity whose hits and contacts are this building's own.
    Entity* OwnEntity() const { return ownEntity ? ownEntity : entity; }

    // The class function that makes a building for a world entity (the entity's name names the
    // class; an unknown one gets the building prototype and a diagnostic line).
    static void Init(Entity* entity);

    void* ambient = nullptr;
    uint8_t tempBuilding = 1;
    Entity* ownEntity = nullptr;
    struct BuildingRecord* buildingRecord = nullptr;

protected:
    // The explosion by size, smoke, fire and debris of the death, without the scrap and the
    // teardown.
    void BurstEffects();
    // The scrap the death leaves (none with flag 0x80, in a deathmatch or on a remote copy).
    void LeaveScrap();
};

// The building rows' class record: made for each building entity, freed with it.
struct BuildingRecord {
    Building* owner = nullptr;
};
void* Building_NewEntityRecord();
int Building_FreeEntityRecord(void* data);
// Tears down the object that owns the entity.
void Building_TearDownOwner(Entity* entity);
// Set whenever a building record is made or freed; cleared by whoever reads it.
bool& Building_ObjectsChanged();
// How many scrap pieces a building of the class leaves on its death in the current game.
int32_t Building_ScrapLeft(const GameObjectClass* cls, bool networkGame, bool deathmatch);
// How many chunks a hit of the amount throws (0..10).
int Building_ChunkCount(int32_t amount);
