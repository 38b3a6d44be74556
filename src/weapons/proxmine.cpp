#include "weapons/proxmine.h"

#include <cmath>
#include <cstring>

#include "Objkr/entitysvc.h"
#include "Terrain/terramap.h"
#include "Terrain/terrheight.h"
#include "core/fieldarchive.h"
#include "core/odf.h"
#include "core/registration.h"
#include "core/seams/ai.h"
#include "core/seams/net.h"
#include "fun3d/hardpoints.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "platform/random.h"
#include "weapons/chunkeffect.h"
#include "weapons/explosion.h"
#include "weapons/weapon.h"

namespace {

constexpr int32_t kWeaponMineHitPoints = 1000;
// The stagger of loaded search timers in a network game: sixteen steps over the period.
constexpr uint32_t kSearchStaggerSteps = 16;
// The fire cone the weapon mine asks the line-of-fire test about.
constexpr float kWeaponMineFireCone = 0.3f;
// The one mount update a freshly mounted weapon gets.
constexpr float kFirstMountStep = 0.0001f;

Vector PositionOf(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}

Vector ObjectPosition(GameObject* object) {
    return object->entity ? PositionOf(object->entity) : object->GetPosition();
}

// The class named by the key (or the prototype's when the key is absent).
template <class Record>
Record* ClassByName(const OdfFile& odf, uint32_t key, Record* prototypeValue) {
    char name[kClassNameSize];
    const char none[kClassNameSize] = {};
    if (!odf.GetName8(key, name, none)) return prototypeValue;
    char text[kClassNameSize + 1] = {};
    std::memcpy(text, name, kClassNameSize);
    return text[0] ? Record::Find(text) : nullptr;
}

void MarkTriggerCircle(GameObject* mine, float radius, bool add) {
    if (!mine->entity || mine->team < 0) return;
    const Vector at = PositionOf(mine->entity);
    Seam_Ai().pathGridMarkCircle(at.x, at.z, radius, mine->team, add);
}

}  // namespace

// ---- the proximity mine ---------------------------------------------------------------------

ProximityMineClass::ProximityMineClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : MineClass(kindLabel, kindSignature, kindCategory) {
    lifetime = kGuardMineLifetime;
}

ProximityMineClass::ProximityMineClass(ProximityMineClass* p, const char* name) : MineClass(p, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfMineTriggerRange, &triggerRange, p->triggerRange);
    odf.GetFloat(kOdfMineSearchPeriod, &searchPeriod, p->searchPeriod);
    blastClass = ClassByName<ExplosionClass>(odf, kOdfMineBlastClass, p->blastClass);
}

GameObject* ProximityMineClass::BuildObject(Entity* entity) { return GameObject_New<ProximityMine>(entity, this); }
GameObjectClass* ProximityMineClass::Derive(const char* name) { return new ProximityMineClass(this, name); }

ProximityMine::ProximityMine(Entity* e, GameObjectClass* cls) : Mine(e, cls) {
    const auto* own = dynamic_cast<const ProximityMineClass*>(cls);
    searchTimer = own ? own->searchPeriod : 0.0f;
}

void ProximityMine::SetTeam(int32_t t) {
    GameObject::SetTeam(t);
    if (const auto* cls = dynamic_cast<const ProximityMineClass*>(objClass)) MarkTriggerCircle(this, cls->triggerRange, true);
}

void ProximityMine::LeaveTeam() {
    if (const auto* cls = dynamic_cast<const ProximityMineClass*>(objClass)) MarkTriggerCircle(this, cls->triggerRange, false);
    GameObject::LeaveTeam();
}

bool ProximityMine::SearchTriggers() const {
    const auto* cls = dynamic_cast<const ProximityMineClass*>(objClass);
    if (!cls || !entity) return false;
    const Vector at = PositionOf(entity);
    const float rangeSq = cls->triggerRange * cls->triggerRange;
    bool trigger = false;
    for (GameObject* other : GameObject_List()) {
        // The mine itself lies at distance 0 and its own team is an ally: it would hold itself.
        if (!other || other == this) continue;
        const Vector offset = Vec3_Sub(ObjectPosition(other), at);
        if (!(Vec3_Dot(offset, offset) <= rangeSq)) continue;
        if (IsAlly(other)) return false;
        if (Vec3_Dot(other->euler.velocity, offset) > 0.0f) trigger = true;
    }
    return trigger;
}

void ProximityMine::Trigger() {
    const auto* cls = dynamic_cast<const ProximityMineClass*>(objClass);
    const Vector at = PositionOf(entity);
    for (int i = 0; i < kProximityDebrisChunks; ++i)
        Chunk_Effect().Spawn(at, Vector{0.0f, kProximityDebrisRise, 0.0f}, false);
    Terrain_Scorch(at.x, at.z);
    entity->local.posit.y = Terrain_GetHeight(entity->local.posit.x, entity->local.posit.z);
    // A placed mine keeps no owner object: the blast is the mine's own.
    if (cls && cls->blastClass) cls->blastClass->Build(entity->local, entity);
    Entity_SetFlagTree(entity, kMineDeadFlags);
    if (Seam_Net().isNetworkGame()) Seam_Net().registerObject(this);
}

void ProximityMine::Update(float dt) {
    if (GoneWhenDead()) return;
    searchTimer -= dt;
    if (searchTimer < 0.0f && !(entity->flags & kEntityDead)) {
        const auto* cls = dynamic_cast<const ProximityMineClass*>(objClass);
        searchTimer += cls ? cls->searchPeriod : 0.0f;
        if (SearchTriggers()) {
            // The mine is dead now and goes at its next update, as one whose life ran out: the
            // network still has to send it, so it may not go in this one.
            Trigger();
            return;
        }
    }
    Mine::Update(dt);
}

bool ProximityMine::Save(FILE* stream) {
    return Field_WriteFloat(stream, searchTimer, "searchTimer") && Mine::Save(stream);
}

float ProximityMine::StaggeredSearchTimer() const {
    const auto* cls = dynamic_cast<const ProximityMineClass*>(objClass);
    const float period = cls ? cls->searchPeriod : 0.0f;
    if (Seam_Net().isNetworkGame())
        return static_cast<float>(GetObjHandle() % kSearchStaggerSteps) * period / static_cast<float>(kSearchStaggerSteps - 1);
    return static_cast<float>(Random_Next()) / static_cast<float>(GV_RAND_MAX) * period;
}

bool ProximityMine::Load() {
    const bool inFile = Field_Version() >= kMineSearchTimerVersion;
    if (inFile) {
        if (!Field_ReadFloat("searchTimer", &searchTimer)) return false;
        if (!std::isfinite(searchTimer)) return false;
    }
    if (!Mine::Load()) return false;
    // Staggered after the object's own fields: the handle is then the one it keeps.
    if (!inFile) searchTimer = StaggeredSearchTimer();
    return true;
}

// ---- the weapon mine ------------------------------------------------------------------------

WeaponMineClass::WeaponMineClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : MineClass(kindLabel, kindSignature, kindCategory) {
    lifetime = kGuardMineLifetime;
    health = kWeaponMineHitPoints;
}

WeaponMineClass::WeaponMineClass(WeaponMineClass* p, const char* name) : MineClass(p, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfMineTriggerRange, &triggerRange, p->triggerRange);
    odf.GetFloat(kOdfMineDepthWeight, &depthWeight, p->depthWeight);
    mineWeapon = ClassByName<WeaponClass>(odf, kOdfMineWeapon, p->mineWeapon);
    // Weapons that place or launch things need no clear line to the target.
    const bool placesThings =
        mineWeapon && (mineWeapon->signature == Signature("DISP") || mineWeapon->signature == Signature("RDRL"));
    int clearShot = placesThings ? 0 : 1;
    odf.GetInt(kOdfMineNeedClearShot, &clearShot, clearShot);
    needClearShot = clearShot != 0;
}

GameObject* WeaponMineClass::BuildObject(Entity* entity) { return GameObject_New<WeaponMine>(entity, this); }
GameObjectClass* WeaponMineClass::Derive(const char* name) { return new WeaponMineClass(this, name); }

WeaponMine::WeaponMine(Entity* e, GameObjectClass* cls) : Mine(e, cls) {}

float WeaponMine::WeightedDistanceSq(const Vector& d, float depthWeight) {
    return d.x * d.x + d.y * d.y + depthWeight * d.z * d.z;
}

void WeaponMine::SetTeam(int32_t t) {
    GameObject::SetTeam(t);
    const auto* cls = dynamic_cast<const WeaponMineClass*>(objClass);
    if (!cls) return;
    MarkTriggerCircle(this, cls->triggerRange, true);
    if (weapon || !cls->mineWeapon) return;
    weapon = cls->mineWeapon->Build(entity, entity);
    if (!weapon) return;
    if (!hardpoints) hardpoints = new HardpointList(this);
    hardpoints->SetWeapon(0, entity, weapon);
    hardpoints->enabled |= hardpoints->present & 1u;
    hardpoints->Select(1u);
    weapon->UpdateMount(kFirstMountStep);
}

void WeaponMine::LeaveTeam() {
    if (const auto* cls = dynamic_cast<const WeaponMineClass*>(objClass)) MarkTriggerCircle(this, cls->triggerRange, false);
    GameObject::LeaveTeam();
}

void WeaponMine::Update(float dt) {
    if (GoneWhenDead()) return;
    const auto* cls = dynamic_cast<const WeaponMineClass*>(objClass);
    if (cls && !IsRemote() && weapon && weapon->CanFire()) {
        const Vector at = PositionOf(entity);
        float best = cls->triggerRange * cls->triggerRange;
        GameObject* winner = nullptr;
        Vector aimDirection{};
        for (GameObject* other : GameObject_List()) {
            if (!other || other == this || IsAlly(other)) continue;
            const float d2 = WeightedDistanceSq(Vec3_Sub(ObjectPosition(other), at), cls->depthWeight);
            if (!(d2 < best)) continue;
            Vector aim{};
            weapon->GetAimPoint(&aim, other);
            const Vector direction = Vec3_Sub(aim, at);
            if (cls->needClearShot) {
                float t = 1.0f;
                if (Terrain_RayCast(at.x, at.y, at.z, direction.x, direction.y, direction.z, &t, nullptr)) continue;
            }
            best = d2;
            winner = other;
            aimDirection = direction;
        }
        SetTarget(winner);
        if (winner) {
            if (weapon->entity && Vec3_Dot(aimDirection, aimDirection) > 0.0f) {
                const DVector posit = weapon->entity->local.posit;
                weapon->entity->local = Matrix_FromPositionDirection(posit, Vec3_Unrotate(aimDirection, entity->local));
            }
            if (!cls->needClearShot || !Seam_Ai().allyInLineOfFire(this, best, kWeaponMineFireCone)) weapon->PullTrigger();
        }
    }
    Mine::Update(dt);
}

void WeaponMine::Explode() {
    if (hardpoints) {
        hardpoints->Select(0u);
        hardpoints->SetWeapon(0, nullptr, nullptr);
        hardpoints->enabled &= ~1u;
    }
    if (weapon) {
        Weapon::DeleteEntity(weapon);
        weapon = nullptr;
    }
    Mine::Explode();
}
