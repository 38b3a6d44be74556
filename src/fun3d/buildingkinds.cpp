#include "fun3d/buildingkinds.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/animobj.h"
#include "Objkr/bucketgrid.h"
#include "Objkr/entitysvc.h"
#include "collision/collision.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/helpers.h"
#include "core/odf.h"
#include "core/savegame.h"
#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "core/seams/weapons.h"
#include "core/shake.h"
#include "fun3d/craftservices.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectslot.h"
#include "fun3d/scrap.h"
#include "fun3d/teamrecord.h"
#include "fun3d/visibility.h"

namespace {

constexpr float kPilotLaunchSpeed = 20.0f;
constexpr float kGeyserRadius = 10.0f;
constexpr float kGeyserInterval = 0.1f;
constexpr float kGeyserRise = 12.0f;
constexpr int32_t kSaveDropoffIndexVersion = 1020;

std::vector<PowerPlant*> g_plants;
std::vector<Geyser*> g_geysers;
int32_t g_poweredTowers = 0;
ParticleKind g_geyserKind{0.0f, 2.0f, 1.0f, 1.5f, 2.0f};

Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Scale(const Vector& v, float k) { return Vector{v.x * k, v.y * k, v.z * k}; }

bool NetworkGame() { return Seam_Net().isNetworkGame(); }
bool IsUserTeam(int32_t t) { return t >= 0 && GameObject_GetUser() && t == GameObject_GetUserTeam(); }

// Removes the entity's collision shape: the object is not solid.
void DropCollision(GameObject* object) {
    if (object->record) DeleteCollisionEntity(object->record);
}

template <typename Fn>
void ForEachPart(Entity* root, Fn&& fn) {
    for (Entity* child = root ? root->child : nullptr; child; child = child->next) {
        fn(child);
        ForEachPart(child, fn);
    }
}

// The objects the object grid holds within the radius of the point (ground distance).
template <typename Fn>
void ForEachNear(const Vector& at, float radius, Fn&& fn) {
    const BucketGrid* grid = GameObject_Grid();
    if (!grid) return;
    BucketGridQuery query;
    grid->Query(at.x, at.z, radius, &query);
    const BucketGridEntry* entry = nullptr;
    while (query.Next(&entry)) {
        GameObject* object = GameObject::FromHandle(entry->value);
        if (object) fn(object);
    }
}

}  // namespace

int32_t& PoweredTowerCount() { return g_poweredTowers; }
const std::vector<PowerPlant*>& PowerPlantList() { return g_plants; }
const std::vector<Geyser*>& GeyserList() { return g_geysers; }
ParticleKind& ParticleKind_Geyser() { return g_geyserKind; }

void BuildingKinds_Reset() {
    g_plants.clear();
    g_geysers.clear();
    g_poweredTowers = 0;
    g_geyserKind = ParticleKind{0.0f, 2.0f, 1.0f, 1.5f, 2.0f};
}

// ---- animation loops ------------------------------------------------------------------------

int Building_StartLoop(Entity* entity) {
    int slot = -1;
    if (AnimObj_Start(entity, kBuildingLoopAnimation, &slot) != 0) return -1;
    AnimObjSlot* active = nullptr;
    if (AnimObj_GetActive(slot, &active) == 0 && active) active->loopsLeft = -1;
    return slot;
}

namespace {
bool LoopPlaying(int slot) {
    AnimObjSlot* active = nullptr;
    return slot >= 0 && AnimObj_GetActive(slot, &active) == 0 && active && active->state == kAnimPlaying;
}
}  // namespace

void Building_RestartLoops() {
    for (GameObject* object : GameObject_List()) {
        if (auto* plant = dynamic_cast<PowerPlant*>(object)) {
            if (!LoopPlaying(plant->animSlot)) plant->animSlot = Building_StartLoop(plant->entity);
        } else if (auto* anim = dynamic_cast<AnimBuilding*>(object)) {
            if (!LoopPlaying(anim->animSlot)) anim->animSlot = Building_StartLoop(anim->entity);
        }
    }
}

// ---- barracks -------------------------------------------------------------------------------

BarracksClass::BarracksClass(BarracksClass* p, const char* name) : BuildingClass(p, name) {
    OdfFile odf(fileName);
    odf.GetInt(kOdfBarracksPilotBonus, &pilotBonus, p->pilotBonus);
    if (side == kSideAmerican)
        spawnPilotClass = GameObjectClass::Find("aspilo");
    else if (side == kSideSoviet)
        spawnPilotClass = GameObjectClass::Find("sspilo");
}
GameObject* BarracksClass::BuildObject(Entity* entity) { return GameObject_New<Barracks>(entity, this); }
GameObjectClass* BarracksClass::Derive(const char* name) { return new BarracksClass(this, name); }

void Barracks::SetTeam(int32_t t) {
    Building::SetTeam(t);
    const auto* cls = dynamic_cast<const BarracksClass*>(objClass);
    if (!teamRecord || !cls) return;
    teamRecord->AddMaxPilots(cls->pilotBonus);
    teamRecord->AddPilots(cls->pilotBonus);
}

void Barracks::LeaveTeam() {
    const auto* cls = dynamic_cast<const BarracksClass*>(objClass);
    if (teamRecord && cls) teamRecord->AddMaxPilots(-cls->pilotBonus);
    Building::LeaveTeam();
}

void Barracks::Update(float dt) {
    if (!IsRemote() && !(entity->flags & (kEntityDead | kEntityDestroyRequested))) {
        const float now = Clock_GetTime();
        if (now >= nextCheck) {
            nextCheck = now + kBarracksCheckPeriod;
            int onFoot = 0, empty = 0;
            ForEachNear(pos, kBarracksRange, [&](GameObject* object) {
                const Vector d = Vec3_Sub(object->GetPosition(), pos);
                if (d.x * d.x + d.z * d.z > kBarracksRange * kBarracksRange) return;
                const int32_t category = object->objClass->category;
                if (category == kCategoryPerson) {
                    if (object->perceivedTeam == perceivedTeam && (object->aiProcess || object->HasPilot())) ++onFoot;
                } else if (category == kCategoryCraft || category == kCategoryProducer) {
                    if (!object->aiProcess && !object->HasPilot() && Seam_Ai().teamCanUseObject(team, object)) ++empty;
                }
            });
            if (onFoot < empty && teamRecord && teamRecord->GetPilots() >= 1) SpawnPilot();
        }
    }
    Building::Update(dt);
}

GameObject* Barracks::SpawnPilot() {
    const auto* cls = dynamic_cast<const BarracksClass*>(objClass);
    // A barracks of neither side has no pilots to send.
    if (!cls || !cls->spawnPilotClass) return nullptr;
    GameObject* pilot = GameObjectClass::Build(cls->spawnPilotClass, entity->local, team, false, 0, nullptr);
    if (!pilot) return nullptr;
    pilot->SetTeam(team);
    if (NetworkGame()) Seam_Net().registerObject(pilot);
    Seam_Ai().missionAddObject(pilot);
    pilot->SetVelocity(Scale(entity->local.up, kPilotLaunchSpeed));
    return pilot;
}

// ---- power plants ---------------------------------------------------------------------------

PowerPlantClass::PowerPlantClass(PowerPlantClass* p, const char* name) : BuildingClass(p, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfPowerPlantRange, &powerRange, p->powerRange);
}
GameObject* PowerPlantClass::BuildObject(Entity* entity) { return GameObject_New<PowerPlant>(entity, this); }
GameObjectClass* PowerPlantClass::Derive(const char* name) { return new PowerPlantClass(this, name); }

PowerPlant::PowerPlant(Entity* e, GameObjectClass* cls) : Building(e, cls) {
    g_plants.push_back(this);
    animSlot = Building_StartLoop(entity);
}

PowerPlant::~PowerPlant() { g_plants.erase(std::remove(g_plants.begin(), g_plants.end(), this), g_plants.end()); }

void PowerPlant::Update(float dt) {
    if (animSlot >= 0 && !LoopPlaying(animSlot)) animSlot = -1;
    Building::Update(dt);
}

namespace {
bool Powers(PowerPlant* plant, const GameObject* object) {
    if (!plant || (plant->entity->flags & kEntityDead) || !object->IsAlly(plant)) return false;
    const auto* cls = dynamic_cast<const PowerPlantClass*>(plant->objClass);
    if (!cls) return false;
    const Vector d = Vec3_Sub(plant->GetPosition(), const_cast<GameObject*>(object)->GetPosition());
    return cls->powerRange * cls->powerRange > Vec3_Dot(d, d);
}
}  // namespace

uint32_t PowerPlant_Find(const GameObject* object, uint32_t current) {
    if (!object) return 0;
    if (auto* plant = dynamic_cast<PowerPlant*>(GameObject::FromHandle(current)))
        if (Powers(plant, object)) return current;
    for (PowerPlant* plant : g_plants)
        if (Powers(plant, object)) return plant->GetObjHandle();
    return 0;
}

// ---- comm towers ----------------------------------------------------------------------------

CommTowerClass::CommTowerClass(CommTowerClass* p, const char* name) : BuildingClass(p, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfCommTowerRange, &sensorRange, p->sensorRange);
    odf.GetFloat(kOdfCommTowerPeriod, &sensorPeriod, p->sensorPeriod);
}
GameObject* CommTowerClass::BuildObject(Entity* entity) { return GameObject_New<CommTower>(entity, this); }
GameObjectClass* CommTowerClass::Derive(const char* name) { return new CommTowerClass(this, name); }

CommTower::CommTower(Entity* e, GameObjectClass* cls) : Building(e, cls) {
    idleSensor = new ObjectSensor(this);
    if (const auto* tower = dynamic_cast<const CommTowerClass*>(cls)) {
        idleSensor->range = tower->sensorRange;
        idleSensor->period = tower->sensorPeriod;
    }
    idleSensor->SetListed(false);
    HideAntennas();
}

CommTower::~CommTower() {
    // Exactly one of the two holds the sensor; the object's own slot is deleted by the base.
    delete idleSensor;
    idleSensor = nullptr;
}

void CommTower::HideAntennas() {
    ForEachPart(entity, [](Entity* part) {
        if (part->type == kAntennaPartType) part->flags |= kEntityDead;
    });
}

void CommTower::ShowAntennas() {
    ForEachPart(entity, [](Entity* part) {
        if (part->type == kAntennaPartType) part->flags &= ~kEntityDead;
    });
}

void CommTower::Count(bool on) {
    if (on == counted_) return;
    counted_ = on;
    if (on) {
        if (g_poweredTowers == 0) Seam_Cockpit().voiceReportTower();
        ++g_poweredTowers;
    } else {
        --g_poweredTowers;
        if (g_poweredTowers == 0) Seam_Cockpit().voiceReportTower();
    }
}

void CommTower::SetTeam(int32_t t) {
    Building::SetTeam(t);
    if (Powered() && IsUserTeam(team)) Count(true);
}

void CommTower::LeaveTeam() {
    Count(false);
    Building::LeaveTeam();
}

void CommTower::Update(float dt) {
    if (!(entity->flags & kEntityDead)) {
        plant = PowerPlant_Find(this, plant);
        const bool powered = plant != 0;
        if (!powered && Powered()) {
            idleSensor = sensor;
            sensor = nullptr;
            idleSensor->SetListed(false);
            HideAntennas();
            if (IsUserTeam(team)) Count(false);
        } else if (powered && !Powered()) {
            sensor = idleSensor;
            idleSensor = nullptr;
            sensor->SetListed(true);
            ShowAntennas();
            if (IsUserTeam(team)) Count(true);
        }
    }
    Building::Update(dt);
}

// ---- shield towers --------------------------------------------------------------------------

ShieldTowerClass::ShieldTowerClass(ShieldTowerClass* p, const char* name) : BuildingClass(p, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfShieldMinX, &boxLow.x, p->boxLow.x);
    odf.GetFloat(kOdfShieldMaxX, &boxHigh.x, p->boxHigh.x);
    odf.GetFloat(kOdfShieldMinY, &boxLow.y, p->boxLow.y);
    odf.GetFloat(kOdfShieldMaxY, &boxHigh.y, p->boxHigh.y);
    odf.GetFloat(kOdfShieldMinZ, &boxLow.z, p->boxLow.z);
    odf.GetFloat(kOdfShieldMaxZ, &boxHigh.z, p->boxHigh.z);
    odf.GetFloat(kOdfShieldObjectPush, &objectPush, p->objectPush);
    odf.GetFloat(kOdfShieldObjectDamping, &objectDamping, p->objectDamping);
    odf.GetFloat(kOdfShieldOrdnancePush, &ordnancePush, p->ordnancePush);
    odf.GetFloat(kOdfShieldOrdnanceDamping, &ordnanceDamping, p->ordnanceDamping);
}
GameObject* ShieldTowerClass::BuildObject(Entity* entity) { return GameObject_New<ShieldTower>(entity, this); }
GameObjectClass* ShieldTowerClass::Derive(const char* name) { return new ShieldTowerClass(this, name); }

bool ShieldTower::InsideBox(const Vector& point) const {
    const auto* cls = dynamic_cast<const ShieldTowerClass*>(objClass);
    if (!cls) return false;
    const Matrix& m = entity->local;
    const Vector d{static_cast<float>(point.x - m.posit.x), static_cast<float>(point.y - m.posit.y),
                   static_cast<float>(point.z - m.posit.z)};
    const Vector local{Vec3_Dot(d, m.right), Vec3_Dot(d, m.up), Vec3_Dot(d, m.front)};
    return local.x > cls->boxLow.x && local.x < cls->boxHigh.x && local.y > cls->boxLow.y &&
           local.y < cls->boxHigh.y && local.z > cls->boxLow.z && local.z < cls->boxHigh.z;
}

namespace {
struct ShieldPass {
    const ShieldTower* tower;
    const ShieldTowerClass* cls;
    float dt;
};
}  // namespace

void ShieldTower::Update(float dt) {
    const auto* cls = dynamic_cast<const ShieldTowerClass*>(objClass);
    if (cls && !(entity->flags & kEntityDead)) plant = PowerPlant_Find(this, plant);
    if (cls && plant != 0 && !(entity->flags & kEntityDead)) {
        const Matrix& m = entity->local;
        float lowX = 1e30f, lowZ = 1e30f, highX = -1e30f, highZ = -1e30f;
        for (int i = 0; i < 8; ++i) {
            const Vector corner{(i & 1) ? cls->boxHigh.x : cls->boxLow.x, (i & 2) ? cls->boxHigh.y : cls->boxLow.y,
                                (i & 4) ? cls->boxHigh.z : cls->boxLow.z};
            const DVector w = Matrix_TransformPoint(corner, m);
            lowX = std::min(lowX, static_cast<float>(w.x));
            highX = std::max(highX, static_cast<float>(w.x));
            lowZ = std::min(lowZ, static_cast<float>(w.z));
            highZ = std::max(highZ, static_cast<float>(w.z));
        }
        if (const BucketGrid* grid = GameObject_Grid()) {
            std::vector<uint32_t> found;
            BucketGridQuery query;
            grid->BeginQuery(lowX, lowZ, highX, highZ, &query);
            const BucketGridEntry* entry = nullptr;
            while (query.Next(&entry)) found.push_back(entry->value);
            for (uint32_t handle : found) {
                GameObject* object = GameObject::FromHandle(handle);
                if (!object || object == this || !InsideBox(object->GetPosition())) continue;
                const Vector push = Vec3_Sub(Scale(m.front, cls->objectPush), Scale(object->euler.velocity, cls->objectDamping));
                object->SetVelocity(Add(object->euler.velocity, Scale(push, dt)));
            }
        }
        ShieldPass pass{this, cls, dt};
        Seam_Weapons().ordnanceForEachLive(
            [](void* context, Entity* shot, EntityDynamics* motion) {
                const auto* p = static_cast<const ShieldPass*>(context);
                const Vector at{static_cast<float>(shot->local.posit.x), static_cast<float>(shot->local.posit.y),
                                static_cast<float>(shot->local.posit.z)};
                if (!p->tower->InsideBox(at)) return;
                const Vector front = p->tower->entity->local.front;
                const Vector push =
                    Vec3_Sub(Scale(front, p->cls->ordnancePush), Scale(motion->velocity, p->cls->ordnanceDamping));
                motion->velocity = Add(motion->velocity, Scale(push, p->dt));
                motion->speed = std::sqrt(Vec3_Dot(motion->velocity, motion->velocity));
                motion->invSpeed = motion->speed > 0.0f ? 1.0f / motion->speed : 1e30f;
            },
            &pass);
    }
    Building::Update(dt);
}

// ---- scrap silos ----------------------------------------------------------------------------

ScrapSiloClass::ScrapSiloClass(ScrapSiloClass* p, const char* name) : BuildingClass(p, name) {
    OdfFile odf(fileName);
    odf.GetInt(kOdfSiloCapacity, &capacityBonus, p->capacityBonus);
}
GameObject* ScrapSiloClass::BuildObject(Entity* entity) { return GameObject_New<ScrapSilo>(entity, this); }
GameObjectClass* ScrapSiloClass::Derive(const char* name) { return new ScrapSiloClass(this, name); }

void ScrapSilo::SetTeam(int32_t t) {
    Building::SetTeam(t);
    const auto* cls = dynamic_cast<const ScrapSiloClass*>(objClass);
    if (teamRecord && cls) teamRecord->AddMaxScrap(cls->capacityBonus);
}

void ScrapSilo::LeaveTeam() {
    const auto* cls = dynamic_cast<const ScrapSiloClass*>(objClass);
    if (teamRecord && cls) teamRecord->AddMaxScrap(-cls->capacityBonus);
    if (dropoffIndex >= 0) {
        DropoffTable_Release(dropoffIndex);
        dropoffIndex = -1;
    }
    Building::LeaveTeam();
}

void ScrapSilo::Explode() {
    const auto* cls = dynamic_cast<const ScrapSiloClass*>(objClass);
    if (cls && teamRecord && !(entity->flags & kBuildingNoScrap)) {
        // The scrap the team can no longer hold without this silo.
        const int64_t lost = int64_t(cls->capacityBonus) + teamRecord->GetScrap() - teamRecord->GetMaxScrap();
        if (lost > 0) {
            if (!NetworkGame())
                Craft_Services().scrapSpawn(pos, static_cast<int32_t>(lost));
            else if (!IsRemote() && !Seam_Net().isDeathmatch())
                Craft_Services().scrapSpawn(pos, static_cast<int32_t>(lost / 2));
        }
    }
    Building::Explode();
}

bool ScrapSilo::Save(FILE* stream) {
    const void* held = DropoffTable_Get(dropoffIndex);
    return Field_WritePointer(stream, held, "undefptr") && Building::Save(stream);
}

bool ScrapSilo::Load() {
    if (Field_Version() <= kSaveDropoffIndexVersion) {
        int32_t index = -1;
        if (!Field_ReadInt("undefptr", &index)) return false;
        dropoffIndex = index;
    } else {
        uint32_t saved = 0;
        if (!Field_ReadPointer("undefptr", &saved)) return false;
        dropoffIndex = -1;
    }
    return Building::Load();
}

bool ScrapSilo::PostLoad() {
    // A drop-off held by an old save is let go: silos no longer keep one.
    if (dropoffIndex != -1) DropoffTable_Release(dropoffIndex);
    dropoffIndex = -1;
    return Building::PostLoad();
}

// ---- depots ---------------------------------------------------------------------------------

ServiceDepotClass::ServiceDepotClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory,
                                     bool isSupply)
    : BuildingClass(kindLabel, kindSignature, kindCategory), supply(isSupply) {
    std::strncpy(sound, isSupply ? "weapon.wav" : "repair.wav", sizeof sound - 1);
}

ServiceDepotClass::ServiceDepotClass(ServiceDepotClass* p, const char* name) : BuildingClass(p, name) {
    supply = p->supply;
    OdfFile odf(fileName);
    odf.GetFloat(supply ? kOdfSupplyRange : kOdfRepairRange, &range, p->range);
    odf.GetFloat(supply ? kOdfSupplyPeriod : kOdfRepairPeriod, &period, p->period);
    odf.GetInt(supply ? kOdfSupplyAmount : kOdfRepairAmount, &amount, p->amount);
    odf.GetString(supply ? kOdfSupplySound : kOdfRepairSound, sound, sizeof sound, p->sound);
}
GameObject* ServiceDepotClass::BuildObject(Entity* entity) { return GameObject_New<ServiceDepot>(entity, this); }
GameObjectClass* ServiceDepotClass::Derive(const char* name) { return new ServiceDepotClass(this, name); }

GameObject* ServiceDepot::Serve() {
    const auto* cls = dynamic_cast<const ServiceDepotClass*>(objClass);
    if (!cls) return nullptr;
    GameObject* nearest = nullptr;
    float best = cls->range * cls->range;
    ForEachNear(pos, cls->range, [&](GameObject* object) {
        if (object == this || IsEnemy(object)) return;
        const bool needs = cls->supply ? object->curAmmo < object->maxAmmo : object->curHealth < object->maxHealth;
        if (!needs) return;
        const Vector d = Vec3_Sub(object->GetPosition(), pos);
        const float dSq = Vec3_Dot(d, d);
        if (dSq < best || (!nearest && dSq <= best)) {
            best = dSq;
            nearest = object;
        }
    });
    if (!nearest) return nullptr;
    if (cls->supply)
        nearest->AddAmmo(cls->amount);
    else
        nearest->AddHealth(static_cast<float>(cls->amount));
    if (cls->sound[0]) Seam_Audio().soundPlayOnObject(cls->sound, nearest->entity);
    return nearest;
}

void ServiceDepot::Update(float dt) {
    const auto* cls = dynamic_cast<const ServiceDepotClass*>(objClass);
    if (cls && !(entity->flags & kEntityDead)) {
        timer += dt;
        if (timer > cls->period) {
            timer -= cls->period;
            Serve();
        }
    }
    Building::Update(dt);
}

// ---- geysers --------------------------------------------------------------------------------

Geyser::Geyser(Entity* e, GameObjectClass* cls) : Building(e, cls) {
    Entity_ClearFlagTree(entity, kGeyserCovered);
    g_geysers.push_back(this);
    DropCollision(this);
    radius = kGeyserRadius;
}

Geyser::~Geyser() {
    if (entity) Entity_SetFlagTree(entity, kGeyserCovered);
    claimed = 0;
    g_geysers.erase(std::remove(g_geysers.begin(), g_geysers.end(), this), g_geysers.end());
}

void Geyser::Cover() {
    Entity_SetFlagTree(entity, kGeyserCovered);
    active = 0;
}

void Geyser::Uncover() {
    Entity_ClearFlagTree(entity, kGeyserCovered);
    active = 1;
}

void Geyser::Update(float dt) {
    if (active && !(entity->flags & kEntityDead)) {
        particleClock += dt;
        const Matrix& m = entity->local;
        while (particleClock > 0.0f) {
            const float t1 = RandomTable_Next(), t2 = RandomTable_Next();
            const Vector local{2.0f * t1, kGeyserRise, 2.0f * t2};
            const Vector velocity = Add(Add(Scale(m.right, local.x), Scale(m.up, local.y)), Scale(m.front, local.z));
            ParticleBuffer_Add(g_geyserKind, pos, velocity, particleClock);
            particleClock -= kGeyserInterval;
        }
    }
    Building::Update(dt);
}

float Geyser::GetNetPriority(float, float) { return -1.0f; }

// ---- the rest -------------------------------------------------------------------------------

AnimBuilding::AnimBuilding(Entity* e, GameObjectClass* cls) : Building(e, cls) { animSlot = Building_StartLoop(entity); }

Artifact::Artifact(Entity* e, GameObjectClass* cls) : Building(e, cls) { ownEntity = entity; }

SpawnPoint::SpawnPoint(Entity* e, GameObjectClass* cls) : Building(e, cls) {
    DropCollision(this);
    if (!NetworkGame()) return;
    // PENDING(12.120) the spawn-list record at the point, deleted with it.
    Entity_SetFlagTree(entity, kEntityNotDrawn);
    std::vector<GameObject*>& list = GameObject_List();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

// ---- prototypes -----------------------------------------------------------------------------

namespace {
template <class Kind>
class KindClass : public BuildingClass {
public:
    using BuildingClass::BuildingClass;
    KindClass(KindClass* p, const char* name) : BuildingClass(p, name) {}
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<Kind>(entity, this); }
    GameObjectClass* Derive(const char* name) override { return new KindClass(this, name); }
};
}  // namespace

GameObjectClass* Building_MakePrototype(const char* label, uint32_t signature, int32_t category) {
    if (!label) return nullptr;
    auto is = [label](const char* text) { return Text_CompareNoCase(label, text) == 0; };
    GameObjectClass* made = nullptr;
    if (is("m4qbuilding") || is("m4qbuilding2") || is("m4qsign"))
        made = new BuildingClass(label, signature, category);
    else if (is("barracks"))
        made = new BarracksClass(label, signature, category);
    else if (is("commtower"))
        made = new CommTowerClass(label, signature, category);
    else if (is("powerplant"))
        made = new PowerPlantClass(label, signature, category);
    else if (is("shieldtower"))
        made = new ShieldTowerClass(label, signature, category);
    else if (is("scrapsilo"))
        made = new ScrapSiloClass(label, signature, category);
    else if (is("repairdepot"))
        made = new ServiceDepotClass(label, signature, category, false);
    else if (is("supplydepot"))
        made = new ServiceDepotClass(label, signature, category, true);
    else if (is("geyser"))
        made = new KindClass<Geyser>(label, signature, category);
    else if (is("animbuilding"))
        made = new KindClass<AnimBuilding>(label, signature, category);
    else if (is("artifact"))
        made = new KindClass<Artifact>(label, signature, category);
    else if (is("spawnpnt"))
        made = new KindClass<SpawnPoint>(label, signature, category);
    if (!made) return Scrap_MakePrototype(label, signature, category);
    const struct {
        const char* label;
        int32_t first, last;
    } kSlots[] = {{"barracks", 75, 79},    {"commtower", 55, 59},   {"powerplant", 45, 54}, {"scrapsilo", 70, 74},
                  {"repairdepot", 60, 64}, {"supplydepot", 65, 69}};
    for (const auto& row : kSlots) {
        if (!is(row.label)) continue;
        made->teamSlotFirst = row.first;
        made->teamSlotLast = row.last;
    }
    return made;
}
