#include "fun3d/building.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "collision/collision.h"
#include "core/bytes.h"
#include "core/debug.h"
#include "core/helpers.h"
#include "core/fieldarchive.h"
#include "core/odf.h"
#include "core/savegame.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "core/shake.h"
#include "fun3d/craftservices.h"
#include "fun3d/objectslot.h"

namespace {

constexpr int kChunksMax = 10;
constexpr uint32_t kAmbientFlags = 1;
constexpr int kAmbientHeader = 10;
constexpr int32_t kOrdnanceType = 51;
constexpr float kPriorityNear = 250.0f;

bool g_objectsChanged = false;

Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Scale(const Vector& v, float k) { return Vector{v.x * k, v.y * k, v.z * k}; }

bool IsBuildingType(int32_t type) {
    return type == kTypeBuilding || type == kTypeBuilding5 || type == kTypeBuilding7 || type == kTypeBuilding10;
}

bool NetworkGame() { return Seam_Net().isNetworkGame(); }

Vector ListenerPosition(bool* known) {
    Vector at{};
    *known = Seam_Cockpit().cameraPosition(&at);
    return at;
}

}  // namespace

bool& Building_ObjectsChanged() { return g_objectsChanged; }

int Building_ChunkCount(int32_t amount) { return std::clamp((amount - 16) / 32, 0, kChunksMax); }

int32_t Building_ScrapLeft(const GameObjectClass* cls, bool networkGame, bool deathmatch) {
    if (!cls) return 0;
    if (!networkGame) return cls->scrapValue;
    if (deathmatch) return 0;
    // 64-bit: a class's cost may be the "never" value.
    const int64_t half = (int64_t(cls->scrapCost) + 2) / 2;
    return static_cast<int32_t>(std::min<int64_t>(cls->scrapValue, half));
}

// ---- the class record -----------------------------------------------------------------------

void* Building_NewEntityRecord() {
    g_objectsChanged = true;
    return new BuildingRecord{};
}

int Building_FreeEntityRecord(void* data) {
    g_objectsChanged = true;
    auto* record = static_cast<BuildingRecord*>(data);
    if (!record) return 0;
    // The record goes with the entity: the building it belongs to goes with it.
    if (Building* owner = record->owner) {
        record->owner = nullptr;
        owner->buildingRecord = nullptr;
        delete owner;
    }
    delete record;
    return 0;
}

void Building_TearDownOwner(Entity* entity) {
    if (GameObject* object = GameObject_FromEntity(entity)) object->TearDown();
}

// ---- the class ------------------------------------------------------------------------------

BuildingClass::BuildingClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory) {
    label = kindLabel;
    signature = kindSignature;
    category = kindCategory;
}

BuildingClass::BuildingClass(BuildingClass* p, const char* name) : GameObjectClass(p, name) {
    OdfFile odf(fileName);
    odf.GetString(kOdfBuildingSound, ambientSound, sizeof ambientSound, p->ambientSound);
}

GameObject* BuildingClass::BuildObject(Entity* entity) { return GameObject_New<Building>(entity, this); }
GameObjectClass* BuildingClass::Derive(const char* name) { return new BuildingClass(this, name); }

// ---- construction ---------------------------------------------------------------------------

Building::Building(Entity* e, GameObjectClass* cls) : GameObject(e, cls) {
    // Every build brings its placement (the map's, the mission file's or the spawner's): the
    // building stays where it was put.
    UpdateSphere();
    if (IsBuildingType(entity->type) && entity->classData) {
        buildingRecord = static_cast<BuildingRecord*>(entity->classData);
        buildingRecord->owner = this;
    }
    // A building that keeps its hits to itself stands for its own entity.
    char name[kClassNameSize + 1] = {};
    std::memcpy(name, cls->defName, kClassNameSize);
    if (Text_CompareNoCase(name, "abstor") == 0) ownEntity = entity;
}

Building::~Building() {
    if (ambient && entity) Seam_Audio().soundStopAttached(entity);
    ambient = nullptr;
    if (buildingRecord) {
        buildingRecord->owner = nullptr;
        buildingRecord = nullptr;
    }
}

void Building::Init(Entity* entity) {
    if (!entity || entity->owner) return;
    char name[kClassNameSize + 1] = {};
    std::memcpy(name, entity->name, kClassNameSize);
    GameObjectClass* cls = GameObjectClass::Find(name);
    if (!cls) {
        Debug_Printf("Building::Init - bad building class (%.8s)\n", entity->name);
        cls = GameObjectClass_FindPrototype("m4qbuilding");
    }
    if (!cls) return;
    GameObject* object = cls->BuildObject(entity);
    if (!object) return;
    entity->owner = object;
    if (auto* building = dynamic_cast<Building*>(object)) building->ownEntity = entity;
    object->SetTeam(static_cast<int32_t>((entity->flags & kEntityTeamMask) >> kEntityTeamShift));
}

// ---- the frame ------------------------------------------------------------------------------

void Building::Update(float) {
    if (!IsRemote()) {
        if (entity->flags & kEntityDestroyRequested) {
            Explode();
            return;
        }
        if (entity->flags & kEntityDead) {
            TearDown();
            return;
        }
    }
    if (entity->flags & kEntityDead) return;
    const auto* cls = dynamic_cast<const BuildingClass*>(objClass);
    if (!cls || !cls->ambientSound[0]) return;
    bool known = false;
    const Vector listener = ListenerPosition(&known);
    const Vector d = Vec3_Sub(pos, listener);
    const bool near = known && Vec3_Dot(d, d) < kBuildingAmbientRange * kBuildingAmbientRange;
    if (near && !ambient) {
        ambient = Seam_Audio().soundPlay(cls->ambientSound, entity, kAmbientFlags, kAmbientHeader);
    } else if (!near && ambient) {
        Seam_Audio().soundStopAttached(entity);
        ambient = nullptr;
    }
}

// ---- hits and contacts ----------------------------------------------------------------------

bool Building::TakeDamageOn(Entity* hit, DamageInfo* damage) {
    if (!hit || hit == OwnEntity() || Entity_GetRoot(hit) == OwnEntity()) return TakeDamage(damage, nullptr);
    GameObject* other = GameObject_FromEntity(hit);
    if (!other || other == this) return false;
    if (auto* building = dynamic_cast<Building*>(other)) return building->TakeDamageOn(hit, damage);
    return other->TakeDamage(damage, nullptr);
}

bool Building::ContactOn(Entity* hit, Entity* other, CollisionBody* contact) {
    if (!hit || hit == OwnEntity() || Entity_GetRoot(hit) == OwnEntity()) return OnContact(other, contact, nullptr);
    GameObject* owner = GameObject_FromEntity(hit);
    if (!owner || owner == this) return false;
    if (auto* building = dynamic_cast<Building*>(owner)) return building->ContactOn(hit, other, contact);
    return owner->OnContact(other, contact, nullptr);
}

bool Building::TakeDamage(DamageInfo* damage, const Vector*) {
    if (!damage || (entity->flags & kEntityDead)) return false;
    NoteHit(*damage);
    ScaleDamage(*damage);
    if (IsRemote()) return false;
    const int32_t amount = static_cast<int32_t>(damage->amount);
    AddHealth(-static_cast<float>(amount));
    CraftServices& svc = Craft_Services();
    Entity* carrier = damage->carrier ? damage->carrier : damage->source;
    if (svc.effectsOn() && carrier && carrier->type == kOrdnanceType) {
        const int chunks = Building_ChunkCount(amount);
        Matrix world;
        Entity_GetTransformTo(world, carrier, nullptr);
        const Vector from{static_cast<float>(world.posit.x), static_cast<float>(world.posit.y),
                          static_cast<float>(world.posit.z)};
        const Vector toward = Vec3_Sub(pos, from);
        const float distance = std::sqrt(Vec3_Dot(toward, toward));
        const Vector direction = distance > 0.0f ? Scale(toward, 1.0f / distance) : Vector{0.0f, 1.0f, 0.0f};
        for (int i = 0; i < chunks; ++i) svc.chunkSpawn(from, Vec3_Sub(euler.velocity, Scale(direction, 5.0f)));
    }
    if (!(healthRatio < 0.0f)) return false;
    if (entity->flags & kEntityDead) return true;
    Entity_SetFlagTree(entity, kBuildingDestroyFlags);
    if (NetworkGame() && team != 0 && playerId != kNoPlayer && objClass->category == kCategoryBuilding) {
        ReportKill(damage->playerId);
        svc.netSendKillMessage(damage->playerId, this, 66, this == GameObject_GetUser());
    }
    return true;
}

bool Building::OnContact(Entity* other, CollisionBody* contact, void*) {
    if (isCargo && carrier && other && GameObject_FromEntity(other) == carrier) return false;
    if (!contact) return false;
    // Resolved against the building's geometry by the collision pass; the building itself
    // stands still.
    return true;
}

// ---- death ----------------------------------------------------------------------------------

void Building::BurstEffects() {
    CraftServices& svc = Craft_Services();
    const float s = record ? record->radius : radius;
    Matrix at = entity->local;
    at.posit = DVector{pos.x, pos.y, pos.z};
    if (s > 5.0f) {
        svc.explosionBuild(objClass, kBuildingExplosionLarge, at);
        if (objClass->category == kCategoryBuilding) {
            Matrix ground = at;
            ground.posit.y = Terrain_GetHeight(ground.posit.x, ground.posit.z);
            svc.explosionBuild(objClass, kBuildingExplosionGround, ground);
        }
        float size = 0.0f;
        if (svc.effectsOn() && svc.sphereInView(pos, s, &size)) svc.viewShake(size * size);
    } else if (s > 2.0f) {
        svc.explosionBuild(objClass, kBuildingExplosionMedium, at);
    } else {
        svc.explosionBuild(objClass, kBuildingExplosionSmall, at);
    }
    const Vector still{0.0f, 0.0f, 0.0f};
    const int smoke = static_cast<int>(10.0f * s);
    for (int i = 0; i < smoke; ++i) {
        const float rx = RandomTable_Next(), ry = RandomTable_Next(), rz = RandomTable_Next();
        svc.particleEffectAdd(kCraftParticleSmoke, Add(pos, Vector{20.0f * rx, 5.0f + 15.0f * ry, 20.0f * rz}), still);
    }
    if (svc.effectsOn()) {
        const int fire = static_cast<int>(s);
        for (int i = 0; i < fire; ++i) {
            const float rx = RandomTable_Next(), ry = RandomTable_Next(), rz = RandomTable_Next();
            svc.particleEffectAdd(kCraftParticleFire, Add(pos, Vector{40.0f * rx, 10.0f + 30.0f * ry, 40.0f * rz}),
                                  still);
        }
        svc.chunkSpawnFromEntityList(entity, euler.velocity);
        entity->cacheWord = -1;
    }
}

void Building::LeaveScrap() {
    if (entity->flags & kBuildingNoScrap) return;
    if (NetworkGame() && IsRemote()) return;
    const int32_t n = Building_ScrapLeft(objClass, NetworkGame(), Seam_Net().isDeathmatch());
    if (n > 0) Craft_Services().scrapSpawn(pos, n);
}

void Building::TearDown() {
    Entity* e = entity;
    const uint32_t handle = GetObjHandle();
    ClassNode* node = Classfnc_FindNode(e);
    // With the class list's reference the entity outlives the teardown; without one the teardown
    // frees it and this building with it.
    GameObject::TearDown();
    if (node) {
        Classfnc_RemoveNode(node);
        Entity_Unref(e);
    }
    // Gone with its record; or a building without a record, which stays as it was.
    if (GameObject::FromHandleRaw(handle) != this || !buildingRecord) return;
    // Something else still holds the entity (a shot it fired): the building goes now all the
    // same, and the entity, when it is freed at last, names no object.
    buildingRecord->owner = nullptr;
    buildingRecord = nullptr;
    if (e->owner == this) e->owner = nullptr;
    entity = nullptr;
    delete this;
}

void Building::Explode() {
    Entity_SetFlagTree(entity, kEntityDead);
    Seam_Cockpit().voiceReportBuilding(this);
    if (OwnEntity() != entity) {
        // A part of a larger entity: the owner's own death does the rest.
        return;
    }
    BurstEffects();
    LeaveScrap();
    TearDown();
}

// ---- network --------------------------------------------------------------------------------

float Building::GetNetPriority(float time, float distance) {
    if (time < lastSendTime) lastSendTime = time;
    if (healthRatio != lastSentHealthRatio && distance < kPriorityNear) return (time - lastSendTime) + 5.0f;
    if (healthRatio < 0.0f) return (time - lastSendTime) + 10.0f;
    return -1.0f;
}

void Building::PackHealth(uint8_t* buffer, int32_t& length) {
    uint32_t bits = 0;
    std::memcpy(&bits, &healthRatio, sizeof bits);
    for (int i = 0; i < 4; ++i) buffer[length + i] = static_cast<uint8_t>(bits >> (8 * i));
    length += kBuildingHealthRecordSize;
    lastSentHealthRatio = healthRatio;
}

bool Building::UnpackHealth(const uint8_t* data, int32_t length) {
    if (!data || length < kBuildingHealthRecordSize) return false;
    const uint32_t bits = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                          static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
    float ratio = 0.0f;
    std::memcpy(&ratio, &bits, sizeof ratio);
    if (!std::isfinite(ratio)) return false;
    healthRatio = ratio;
    if (healthRatio < 0.0f) {
        Entity_SetFlagTree(entity, 0x1000080);
        Seam_Net().registerObject(this);
    }
    return true;
}

void Building::PackNetState(uint8_t* buffer, int32_t& length) { PackHealth(buffer, length); }
void Building::UnpackNetState(const uint8_t* data, int32_t length) { UnpackHealth(data, length); }

// ---- saving ---------------------------------------------------------------------------------

bool Building::Save(FILE* stream) {
    if (!SaveGame_IsMissionFile()) {
        const bool temp = tempBuilding != 0;
        if (!Field_WriteBool(stream, temp, "tempBuilding")) return false;
    }
    return GameObject::Save(stream);
}

bool Building::Load() {
    if (SaveGame_IsMissionFile()) {
        tempBuilding = 0;
    } else {
        bool temp = false;
        if (!Field_ReadBool("tempBuilding", &temp)) {
            UpdateSphere();
            return false;
        }
        tempBuilding = temp ? 1 : 0;
    }
    const bool ok = GameObject::Load();
    UpdateSphere();
    return ok;
}
