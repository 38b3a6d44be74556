#include "fun3d/powerup.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "collision/collision.h"
#include "collision/colshape.h"
#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/helpers.h"
#include "core/odf.h"
#include "core/savegame.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "core/seams/weapons.h"
#include "fun3d/craftservices.h"
#include "fun3d/objectslot.h"
#include "fun3d/visibility.h"

namespace {

constexpr float kGravity = 9.8f;
constexpr float kFlameSize = 0.2f;
constexpr int32_t kWeaponKindAny = 70;
constexpr int kChunksMax = 10;
constexpr uint32_t kDeadOrDestroyed = kEntityDead | kEntityDestroyRequested;

Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Scale(const Vector& v, float k) { return Vector{v.x * k, v.y * k, v.z * k}; }
float Length(const Vector& v) { return std::sqrt(Vec3_Dot(v, v)); }

void SetSpeedOf(EntityDynamics& d) {
    d.speed = Length(d.velocity);
    d.invSpeed = d.speed > 0.0f ? 1.0f / d.speed : 1e30f;
}

// The vector turned by the matrix's 3x3 part (rows right, up, front).
Vector Rotate(const Vector& v, const Matrix& m) {
    return Add(Add(Scale(m.right, v.x), Scale(m.up, v.y)), Scale(m.front, v.z));
}

void Translate(Matrix& m, const Vector& by, float k = 1.0f) {
    m.posit.x += static_cast<double>(by.x) * k;
    m.posit.y += static_cast<double>(by.y) * k;
    m.posit.z += static_cast<double>(by.z) * k;
}

int8_t EncodeUnit8(float value) {
    if (!(value == value)) return 0;
    return static_cast<int8_t>(std::clamp(value, -1.0f, 1.0f) * 127.0f);
}

void PutWord(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}
uint32_t GetWord(const uint8_t* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 | static_cast<uint32_t>(in[2]) << 16 |
           static_cast<uint32_t>(in[3]) << 24;
}

uint32_t NetIdOfHandle(uint32_t handle) {
    const GameObject* object = GameObject::FromHandleRaw(handle);
    return object ? object->GetNetId() : 0u;
}

GameObject* ObjectOfNetId(uint32_t netId) {
    if (netId == 0) return nullptr;
    return dynamic_cast<GameObject*>(Seam_Net().findObject(netId));
}

bool IsCraftOrBuildingType(int32_t type) { return type == kTypeCraft || type == kTypeBuilding || type == kTypeCraft6; }

void CopySound(char (&out)[kPowerUpSoundSize], const char* text) {
    std::memset(out, 0, sizeof out);
    if (text) std::strncpy(out, text, sizeof out - 1);
}

void PlaySound(const char* name, Entity* at) {
    if (name && name[0] && at) Seam_Audio().soundPlayOnObject(name, at);
}

PowerUpServices MakeServices() {
    PowerUpServices s{};
    s.weaponKind = [](const WeaponClass*) { return kWeaponKindAny; };
    s.weaponPriority = [](const WeaponClass*) { return 0; };
    s.weaponSprite = [](const WeaponClass*) { return 0; };
    s.rebuildWeaponGroups = [](GameObject*) {};
    return s;
}

PowerUpServices g_services = MakeServices();

}  // namespace

PowerUpServices& PowerUp_Services() { return g_services; }
void PowerUp_ResetServices() { g_services = MakeServices(); }

// ---- the vehicle record ---------------------------------------------------------------------

void* PowerUpVehicle_New() {
    auto* vehicle = new PowerUpVehicle{};
    CollisionBody_Init(vehicle->contact);
    return vehicle;
}

int PowerUpVehicle_Free(void* data) {
    auto* vehicle = static_cast<PowerUpVehicle*>(data);
    if (!vehicle) return 0;
    // The record goes with the entity: the power-up it belongs to goes with it.
    if (PowerUp* owner = vehicle->owner) {
        vehicle->owner = nullptr;
        delete owner;
    }
    delete vehicle;
    return 0;
}

// ---- classes --------------------------------------------------------------------------------

PowerUpClass::PowerUpClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory, const char* pickup) {
    label = kindLabel;
    signature = kindSignature;
    category = kindCategory;
    CopySound(pickupSound, pickup);
}

PowerUpClass::PowerUpClass(PowerUpClass* p, const char* name) : GameObjectClass(p, name) {
    std::memcpy(pickupSound, p->pickupSound, sizeof pickupSound);
    std::memcpy(refuseSound, p->refuseSound, sizeof refuseSound);
}

GameObject* PowerUpClass::BuildObject(Entity* entity) { return GameObject_New<PowerUp>(entity, this); }
GameObjectClass* PowerUpClass::Derive(const char* name) { return new PowerUpClass(this, name); }

AmmoPackClass::AmmoPackClass(AmmoPackClass* p, const char* name) : PowerUpClass(p, name) {
    OdfFile odf(fileName);
    odf.GetInt(kOdfAmmoPackAmount, &amount, p->amount);
}
GameObject* AmmoPackClass::BuildObject(Entity* entity) { return GameObject_New<AmmoPack>(entity, this); }
GameObjectClass* AmmoPackClass::Derive(const char* name) { return new AmmoPackClass(this, name); }

RepairKitClass::RepairKitClass(RepairKitClass* p, const char* name) : PowerUpClass(p, name) {
    OdfFile odf(fileName);
    odf.GetInt(kOdfRepairKitAmount, &amount, p->amount);
}
GameObject* RepairKitClass::BuildObject(Entity* entity) { return GameObject_New<RepairKit>(entity, this); }
GameObjectClass* RepairKitClass::Derive(const char* name) { return new RepairKitClass(this, name); }

WeaponPowerupClass::WeaponPowerupClass(WeaponPowerupClass* p, const char* name) : PowerUpClass(p, name) {
    OdfFile odf(fileName);
    char weaponName[kClassNameSize];
    const char none[kClassNameSize] = {};
    odf.GetName8(kOdfWeaponPrefix, weaponName, none);
    weaponClass = weaponName[0] ? Seam_Weapons().weaponClassFind(weaponName) : nullptr;
    // The pick-up shows the weapon it carries.
    if (weaponClass) spriteIndex = PowerUp_Services().weaponSprite(weaponClass);
}
GameObject* WeaponPowerupClass::BuildObject(Entity* entity) { return GameObject_New<WeaponPowerup>(entity, this); }
GameObjectClass* WeaponPowerupClass::Derive(const char* name) { return new WeaponPowerupClass(this, name); }

CameraPodClass::CameraPodClass(CameraPodClass* p, const char* name) : PowerUpClass(p, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfCameraTurn, &turn, p->turn);
    odf.GetFloat(kOdfSensorRange, &sensorRange, p->sensorRange);
    odf.GetFloat(kOdfSensorPeriod, &sensorPeriod, p->sensorPeriod);
}
GameObject* CameraPodClass::BuildObject(Entity* entity) { return GameObject_New<CameraPod>(entity, this); }
GameObjectClass* CameraPodClass::Derive(const char* name) { return new CameraPodClass(this, name); }

// ---- construction ---------------------------------------------------------------------------

PowerUp::PowerUp(Entity* e, GameObjectClass* cls) : GameObject(e, cls) {
    if (entity->type == kTypePowerUp && entity->classData) {
        vehicle = static_cast<PowerUpVehicle*>(entity->classData);
    } else {
        vehicle = static_cast<PowerUpVehicle*>(PowerUpVehicle_New());
        ownsVehicle_ = true;
    }
    vehicle->owner = this;
    SetCommand(0);
    GameObjectClass_BoxFaceCentres(cls, entity, probes);
}

PowerUp::~PowerUp() {
    if (vehicle) {
        vehicle->owner = nullptr;
        if (ownsVehicle_) delete vehicle;
        vehicle = nullptr;
    }
}

CameraPod::CameraPod(Entity* e, GameObjectClass* cls) : PowerUp(e, cls) {
    const auto* pod = dynamic_cast<const CameraPodClass*>(cls);
    if (pod && pod->sensorRange > 0.0f) {
        sensor = new ObjectSensor(this);
        sensor->range = pod->sensorRange;
        sensor->period = pod->sensorPeriod;
    }
    bool hasEye = false;
    for (Entity* part = entity->child; part && !hasEye; part = part->next) hasEye = part->type == kTypeCockpitPart;
    if (!hasEye) {
        Entity* eye = Entity_New(entity);
        Entity_SetName(eye, "eyepoint");
        eye->type = kTypeCockpitPart;
        const Vector centre = record ? record->localCentre : entity->boundsCentre;
        const float r = record ? record->radius : entity->boundsRadius;
        eye->local.posit = DVector{centre.x, centre.y + 0.8 * r, centre.z};
    }
}

void PowerUp_ActivateEntity(Entity* entity) {
    if (!entity || entity->owner) return;
    char name[kClassNameSize + 1] = {};
    std::memcpy(name, entity->name, kClassNameSize);
    GameObjectClass* cls = GameObjectClass::Find(name);
    if (!cls) cls = GameObjectClass_FindPrototype("powerup");
    if (!cls) return;
    GameObject* object = cls->BuildObject(entity);
    if (object) object->SetTeam(static_cast<int32_t>((entity->flags & kEntityTeamMask) >> kEntityTeamShift));
}

// ---- motion ---------------------------------------------------------------------------------

void PowerUp::Update(float dt) {
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
    Matrix& m = entity->local;
    Vector& v = euler.velocity;
    Vector& w = euler.angularVelocity;
    const float* c = vehicle->controls;
    uint32_t& flags = vehicle->flags;

    Vector a{0.0f, -kGravity, 0.0f};
    Vector torque{0.0f, 0.0f, 0.0f};
    float floor = 0.0f;
    Vector n{0.0f, 1.0f, 0.0f};
    Collision_GetFloorHeight(m.posit.x, m.posit.y, m.posit.z, &floor, &n);

    if (!(flags & kPowerUpInFlight)) {
        // Stand the up axis along the floor normal pulled toward the vertical, damp the spin and
        // turn about the vertical by the turn control; a spring holds it 1 unit above the floor.
        const Vector u = Vec3_Normalize(Vector{n.x, n.y + 2.0f, n.z});
        torque = Vector{-10.0f * w.x - 25.0f * Vec3_Dot(u, m.front), -10.0f * w.y + 20.0f * c[0],
                        -10.0f * w.z + 25.0f * Vec3_Dot(u, m.right)};
        const float y = static_cast<float>(m.posit.y);
        const float spring = kGravity - 2.0f * kGravity * n.y * (y - 1.0f - floor);
        if (spring > 0.0f) a = Add(a, Scale(n, spring));
        a = Add(a, Scale(v, -5.0f));
        w = Add(w, Scale(torque, dt * 0.5f));
        Matrix_PreRotate(m, m, w, dt);
        w = Add(w, Scale(torque, dt * 0.5f));
        v = Add(v, Scale(a, dt * 0.5f));
        Translate(m, v, dt);
        v = Add(v, Scale(a, dt * 0.5f));
        SetSpeedOf(euler);
    } else {
        if (flags & kPowerUpGuided) {
            const float side = c[2];
            const float forward = vehicle->on ? 2.0f : c[3];
            const float mix = std::min(side * side + forward * forward, 1.0f);
            torque.x = -w.x - 5.0f * m.front.y - forward;
            torque.y = 2.0f * std::clamp(c[0] - w.y / (2.0f + 0.5f * mix), -1.0f, 1.0f);
            torque.z = -w.z + 5.0f * m.right.y + side;
            const float k = forward > 0.0f ? 15.0f : 10.0f;
            const Vector wanted = Add(Scale(m.front, k * forward), Scale(m.right, 10.0f * side));
            Vector steer{0.0f, 0.0f, 0.0f};
            if (dt > 0.0f) steer = Vector{(wanted.x - v.x) / dt, 0.0f, (wanted.z - v.z) / dt};
            const float length = Length(steer);
            if (length > 5.0f) steer = Scale(steer, 5.0f / length);
            a = Add(a, steer);
            if (v.y < 0.0f) a.y += 0.1f * v.y * v.y;
        } else if ((flags & kPowerUpRising) && v.y < 0.0f) {
            // The rise is over: the guided descent begins.
            flags = (flags & ~kPowerUpRising) | kPowerUpGuided;
        }
        // Each probe's motion over the step against the terrain; a hit shortens the step.
        bool probeHit = false;
        for (const Vector& probe : probes) {
            const DVector at = Matrix_TransformPoint(probe, m);
            const Vector velocity = Collision_PointVelocity(probe, entity);
            Vector normal{};
            float t = dt;
            if (Terrain_RayCast(at.x, at.y, at.z, velocity.x, velocity.y, velocity.z, &t, &normal)) {
                probeHit = true;
                dt = std::max(t, 0.0f);
            }
        }
        if (vehicle->contact.hit || probeHit || static_cast<float>(m.posit.y) < floor) {
            if (flags & kPowerUpGuided) flags &= ~(kPowerUpGuided | kPowerUpRising);
            flags &= ~kPowerUpInFlight;
            // The contact that landed it is spent: a later launch must not land at once.
            vehicle->contact.hit = 0;
            if (Seam_Net().isNetworkGame()) Seam_Net().publishState(this);
        }
        // Turn about the centre, not the origin.
        const Vector centre = record ? record->localCentre : entity->boundsCentre;
        Translate(m, Rotate(centre, m));
        w = Add(w, Scale(torque, dt * 0.5f));
        Matrix_PreRotate(m, m, w, dt);
        w = Add(w, Scale(torque, dt * 0.5f));
        Translate(m, Rotate(centre, m), -1.0f);
        v = Add(v, Scale(a, dt * 0.5f));
        Translate(m, v, dt);
        v = Add(v, Scale(a, dt * 0.5f));
        SetSpeedOf(euler);
    }

    if (flags & kPowerUpGuided) {
        // The flame points downward.
        Matrix flame = m;
        flame.right = m.right;
        flame.up = m.front;
        flame.front = Scale(m.up, -1.0f);
        Seam_Weapons().engineFlameAdd(0, flame, kFlameSize);
    }
    UpdateSphere();
}

void CameraPod::Update(float dt) {
    if (!(vehicle->flags & kPowerUpInFlight)) {
        const auto* pod = dynamic_cast<const CameraPodClass*>(objClass);
        float turn = pod ? 0.1f * pod->turn : 0.0f;
        // The user looking at an allied pod turns it toward where the user looks.
        GameObject* user = GameObject_GetUser();
        if (user && user != this && user->IsAlly(this) && user->target == GetObjHandle()) {
            const Vector userFront = user->entity->local.front;
            turn = std::clamp(-5.0f * Vec3_Dot(entity->local.right, userFront), -1.0f, 1.0f);
        }
        vehicle->controls[0] = turn;
    }
    PowerUp::Update(dt);
}

// ---- contact and pick-up --------------------------------------------------------------------

bool PowerUp::OnContact(Entity* other, CollisionBody* contact, void*) {
    GameObject* otherObject = GameObject_FromEntity(other);
    const uint32_t flags = vehicle->flags;
    if ((flags & kPowerUpInFlight) && (flags & kPowerUpRising) && otherObject && lastAttacker != 0 &&
        GetObjHandle(otherObject) == lastAttacker)
        return false;
    if (flags & kPowerUpInFlight) {
        const auto* otherPowerUp = dynamic_cast<const PowerUp*>(otherObject);
        if (otherPowerUp && otherPowerUp != this && (otherPowerUp->vehicle->flags & kPowerUpInFlight)) return false;
    }
    if (contact) {
        // Bounce off the contact: restitution 0.5, the spin damped.
        const Vector n = contact->normal;
        Vector& v = euler.velocity;
        v = Add(v, Scale(n, -1.5f * Vec3_Dot(v, n)));
        euler.angularVelocity = Scale(euler.angularVelocity, 0.2f);
        SetSpeedOf(euler);
    }
    if (!(entity->flags & kDeadOrDestroyed) && other && IsCraftOrBuildingType(other->type) && otherObject &&
        !otherObject->IsRemote() && ApplyTo(otherObject)) {
        if (Seam_Net().isNetworkGame()) {
            if (!dynamic_cast<AmmoPack*>(this) && !dynamic_cast<RepairKit*>(this)) {
                uint8_t message[10] = {'R', 'G'};
                PutWord(message + 2, GetNetId());
                PutWord(message + 6, otherObject->GetNetId());
                Seam_Net().sendMessage(0, message, sizeof message);
            }
            Seam_Net().identityGone(this);
            ownership = kNetUnowned;
            return false;
        }
    }
    if (contact) vehicle->contact = *contact;
    return true;
}

bool PowerUp::ApplyTo(GameObject*) { return false; }

void PowerUp::Granted(GameObject* receiver) {
    if (const auto* cls = dynamic_cast<const PowerUpClass*>(objClass)) PlaySound(cls->pickupSound, receiver->entity);
    entity->flags |= kEntityDead;
}

void PowerUp::Refused() {
    if (const auto* cls = dynamic_cast<const PowerUpClass*>(objClass)) PlaySound(cls->refuseSound, entity);
}

bool AmmoPack::ApplyTo(GameObject* object) {
    if (!object || object->curAmmo >= object->maxAmmo || !object->hardpoints) {
        Refused();
        return false;
    }
    const auto* cls = dynamic_cast<const AmmoPackClass*>(objClass);
    object->AddAmmo(cls ? cls->amount : 0);
    Granted(object);
    return true;
}

bool RepairKit::ApplyTo(GameObject* object) {
    if (!object || !(object->curHealth < object->maxHealth)) {
        Refused();
        return false;
    }
    const auto* cls = dynamic_cast<const RepairKitClass*>(objClass);
    object->AddHealth(static_cast<float>(cls ? cls->amount : 0));
    Granted(object);
    return true;
}

int PowerUp_ChooseWeaponSlot(const PowerUpSlot slots[kHardpointCount], int32_t weaponKind) {
    int best = -1;
    int bestRank = 0;
    int32_t bestPriority = 0;
    for (int i = 0; i < kHardpointCount; ++i) {
        const PowerUpSlot& s = slots[i];
        if (!s.hasHardpoint) continue;
        if (weaponKind != kWeaponKindAny && s.hardpointKind != weaponKind) continue;
        // Rank 0: empty; 1: another class (by priority); 2: the same class.
        const int rank = s.empty ? 0 : s.sameClass ? 2 : 1;
        const bool better = best < 0 || rank < bestRank || (rank == 1 && bestRank == 1 && s.priority < bestPriority);
        if (better) {
            best = i;
            bestRank = rank;
            bestPriority = s.priority;
        }
    }
    return best;
}

bool WeaponPowerup::ApplyTo(GameObject* object) {
    const auto* cls = dynamic_cast<const WeaponPowerupClass*>(objClass);
    WeaponClass* weaponClass = cls ? cls->weaponClass : nullptr;
    HardpointList* list = object ? object->hardpoints : nullptr;
    if (!weaponClass || !list) {
        Refused();
        return false;
    }
    PowerUpServices& svc = PowerUp_Services();
    PowerUpSlot slots[kHardpointCount];
    for (int i = 0; i < kHardpointCount; ++i) {
        PowerUpSlot& s = slots[i];
        s.hasHardpoint = list->hardpoints[i] != nullptr;
        if (!s.hasHardpoint) continue;
        s.hardpointKind = list->hardpoints[i]->type;
        Weapon* mounted = list->weapons[i];
        s.empty = mounted == nullptr;
        if (mounted) {
            const WeaponClass* mountedClass = Seam_Weapons().weaponClassOf(mounted);
            s.sameClass = mountedClass == weaponClass;
            s.priority = svc.weaponPriority(mountedClass);
        }
    }
    const int slot = PowerUp_ChooseWeaponSlot(slots, svc.weaponKind(weaponClass));
    if (slot < 0) {
        Refused();
        return false;
    }
    Entity* part = list->hardpoints[slot];
    if (list->weapons[slot]) Seam_Weapons().weaponDestroy(list->weapons[slot]);
    list->SetWeapon(slot, part, nullptr);
    Weapon* weapon = Seam_Weapons().weaponClassBuild(weaponClass, object->entity, part);
    list->SetWeapon(slot, part, weapon);
    list->SetEnabled(list->enabled | 1u << slot);
    object->weaponLinkMask |= 1u << slot;
    svc.rebuildWeaponGroups(object);
    Granted(object);
    return true;
}

bool PowerUp_ReceiveGrant(const uint8_t* data, int32_t size) {
    if (!data || size < 8) return false;
    GameObject* first = ObjectOfNetId(GetWord(data));
    GameObject* second = ObjectOfNetId(GetWord(data + 4));
    if (!first || !second || !first->entity || first->entity->type != kTypePowerUp) return false;
    auto* powerUp = dynamic_cast<PowerUp*>(first);
    return powerUp && powerUp->ApplyTo(second);
}

// ---- damage and death -----------------------------------------------------------------------

bool PowerUp::TakeDamage(DamageInfo* damage, const Vector*) {
    if (!damage || damage->amount == 0.0f || (entity->flags & kEntityDead)) return false;
    NoteHit(*damage);
    if (IsRemote()) return false;
    const int32_t amount = static_cast<int32_t>(damage->amount);
    AddHealth(-static_cast<float>(amount));
    CraftServices& svc = Craft_Services();
    Entity* carrier = damage->carrier ? damage->carrier : damage->source;
    if (svc.effectsOn() && carrier && carrier->type == kTypeOrdnance) {
        // Hits below 16 throw nothing.
        const int chunks = std::clamp((amount - 16) / 32, 0, kChunksMax);
        Matrix world;
        Entity_GetTransformTo(world, carrier, nullptr);
        const Vector from{static_cast<float>(world.posit.x), static_cast<float>(world.posit.y),
                          static_cast<float>(world.posit.z)};
        const Vector toward = Vec3_Sub(pos, from);
        const float distance = Length(toward);
        const Vector direction = distance > 0.0f ? Scale(toward, 1.0f / distance) : Vector{0.0f, 1.0f, 0.0f};
        for (int i = 0; i < chunks; ++i) svc.chunkSpawn(from, Add(euler.velocity, Scale(direction, 5.0f)));
    }
    if (healthRatio < 0.0f) {
        entity->flags |= kEntityDestroyRequested;
        return true;
    }
    return false;
}

void PowerUp::Explode() {
    CraftServices& svc = Craft_Services();
    entity->flags |= kEntityDead;
    Matrix at = entity->local;
    at.posit = DVector{pos.x, pos.y, pos.z};
    svc.explosionBuild(objClass, radius > 3.0f ? kCraftExplosionMain : kCraftExplosionDeathSmall, at);
    const int particles = static_cast<int>(radius * 10.0f);
    const Vector still{0.0f, 0.0f, 0.0f};
    for (int i = 0; i < particles; ++i) {
        const float rx = Rand_Signed(), ry = Rand_Signed(), rz = Rand_Signed();
        svc.particleEffectAdd(kCraftParticleSmoke, Add(pos, Vector{20.0f * rx, 15.0f * ry + 5.0f, 20.0f * rz}), still);
    }
    svc.chunkSpawnFromEntityList(entity, euler.velocity);
    entity->cacheWord = -1;
    TearDown();
}

// ---- network state --------------------------------------------------------------------------

float PowerUp::GetNetPriority(float time, float) {
    if (lastSendTime > time) lastSendTime = time;
    float priority;
    if (!(vehicle->flags & kPowerUpInFlight) && healthRatio == lastSentHealthRatio)
        priority = -1.0f;
    else
        priority = time - lastSendTime + (healthRatio != lastSentHealthRatio ? 1.0f : 0.0f);
    if (healthRatio < 0.0f || (entity->flags & kDeadOrDestroyed)) priority += 10.0f;
    return priority;
}

void PowerUp::PackNetState(uint8_t* buffer, int32_t& length) {
    uint8_t* out = buffer + length;
    Seam_Net().packVector(euler.velocity, out);
    Seam_Net().packVector(euler.angularVelocity, out + 6);
    for (int i = 0; i < 4; ++i) out[12 + i] = static_cast<uint8_t>(EncodeUnit8(vehicle->controls[i]));
    const uint32_t f = vehicle->flags;
    uint8_t bits = vehicle->on ? 0x01 : 0x00;
    if (f & kPowerUpFlag8000) bits |= 0x02;
    if (f & kPowerUpFlag20) bits |= 0x04;
    if (f & kPowerUpGuided) bits |= 0x08;
    if (f & kPowerUpInFlight) bits |= 0x10;
    if (f & kPowerUpRising) bits |= 0x20;
    if (curHealth < 0.0f) bits |= 0x80;
    out[16] = bits;
    const float ratio = std::min(healthRatio, 1.0f);
    out[17] = ratio > 0.0f ? static_cast<uint8_t>(std::ceil(ratio * 255.0f)) : 0;
    length += kPowerUpStateSize;
    lastSentHealthRatio = healthRatio;
    lastSendTime = Clock_GetTime();
}

void PowerUp::UnpackNetState(const uint8_t* data, int32_t length) {
    // A short record is not read past its end.
    if (!data || length < kPowerUpStateSize) return;
    SetVelocity(Seam_Net().unpackVector(data));
    euler.angularVelocity = Seam_Net().unpackVector(data + 6);
    for (int i = 0; i < 4; ++i) vehicle->controls[i] = static_cast<float>(static_cast<int8_t>(data[12 + i])) / 127.0f;
    const uint8_t bits = data[16];
    vehicle->on = bits & 0x01;
    uint32_t f = 0;
    if (bits & 0x02) f |= kPowerUpFlag8000;
    if (bits & 0x04) f |= kPowerUpFlag20;
    if (bits & 0x08) f |= kPowerUpGuided;
    if (bits & 0x10) f |= kPowerUpInFlight;
    if (bits & 0x20) f |= kPowerUpRising;
    vehicle->flags = f;
    healthRatio = static_cast<float>(data[17]) / 255.0f;
    curHealth = std::trunc(healthRatio * maxHealth);
    if (bits & 0x80) {
        Entity_SetFlagTree(entity, kEntityDestroyRequested | 0x80);
        Seam_Net().registerObject(this);
    }
}

void PowerUp::PackNetExtra(uint8_t* buffer, int32_t& length) {
    PutWord(buffer + length, NetIdOfHandle(lastAttacker));
    PutWord(buffer + length + 4, NetIdOfHandle(target));
    length += kPowerUpExtraSize;
}

void PowerUp::UnpackNetExtra(const uint8_t* data, int32_t length) {
    if (!data || length < kPowerUpExtraSize) return;
    SetLastAttacker(ObjectOfNetId(GetWord(data)));
    SetTarget(ObjectOfNetId(GetWord(data + 4)));
}

// ---- saving ---------------------------------------------------------------------------------

bool PowerUp::Save(FILE* stream) {
    if (!SaveGame_IsMissionFile() && !Field_WriteHex(stream, &vehicle->flags, 4, "vhclFlags")) return false;
    return GameObject::Save(stream);
}

bool PowerUp::Load() {
    if (!SaveGame_IsMissionFile() && !Field_ReadHex("vhclFlags", &vehicle->flags, 4)) return false;
    return GameObject::Load();
}
