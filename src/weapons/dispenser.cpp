#include "weapons/dispenser.h"

#include <cstring>

#include "Objkr/entitysvc.h"
#include "core/clock.h"
#include "core/odf.h"
#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/teamrecord.h"
#include "weapons/firedue.h"

namespace {

constexpr uint32_t kFireSoundFlags = 2048;
constexpr int kUserSoundHeader = 65;
constexpr int kOtherSoundHeader = 45;

// Kinds that stand where they are put (buildings, mines, scrap): placed exactly at the muzzle
// and at rest. Everything else starts one unit ahead with the owner's velocity.
bool StandsWherePut(int32_t category) {
    return category == kCategoryBuilding || category == kCategorySpawnPoint || category == kCategoryScrap;
}

}  // namespace

int32_t Dispenser_CostOf(const GameObjectClass* cls) { return cls ? cls->ammo : 0; }

DispenserClass::DispenserClass(const char* classLabel, uint32_t classSignature) : WeaponClass(classLabel, classSignature) {
    std::strncpy(fireSound, "wwgpl.wav", sizeof fireSound - 1);
}

DispenserClass::DispenserClass(DispenserClass* from, const ClassName& name) : WeaponClass(from, name) {
    OdfFile odf(fileName);
    char className[kClassNameSize];
    const char none[kClassNameSize] = {};
    odf.GetName8(kOdfDispenseClass, className, none);
    char text[kClassNameSize + 1] = {};
    std::memcpy(text, className, kClassNameSize);
    dispenseClass = text[0] ? GameObjectClass::Find(text) : nullptr;
    odf.GetFloat(kOdfDispenseReload, &reloadTime, from->reloadTime);
}

WeaponClass* DispenserClass::ReadOdf(const ClassName& name) { return new DispenserClass(this, name); }
Weapon* DispenserClass::MakeObject(Entity* entity) { return new Dispenser(entity, this); }

std::unique_ptr<WeaponClass> Dispenser_MakeWeaponPrototype(const char* label, uint32_t signature) {
    if (label && std::strcmp(label, "dispenser") == 0) return std::make_unique<DispenserClass>(label, signature);
    return nullptr;
}

Dispenser::Dispenser(Entity* e, DispenserClass* cls) : Weapon(e, cls) {}

bool Dispenser::CanFire() {
    const GameObjectClass* cls = static_cast<const DispenserClass*>(weaponClass)->dispenseClass;
    if (!cls) return false;
    const int32_t ammo = owner ? owner->curAmmo : 0;
    return ammo >= Dispenser_CostOf(cls);
}

void Dispenser::PullTrigger() {
    trigger = 1;
    Weapon::PullTrigger();
}
void Dispenser::ReleaseTrigger() { trigger = 0; }
bool Dispenser::IsTriggerDown() { return trigger != 0; }
bool Dispenser::IsLoaded() { return shotClock >= 0.0; }

void Dispenser::UpdateMount(float frameTime) {
    Weapon::UpdateMount(frameTime);
    if (!owner && root) owner = GameObject_FromEntity(root);
}

bool Dispenser::MayDispense() {
    const GameObjectClass* cls = static_cast<const DispenserClass*>(weaponClass)->dispenseClass;
    if (!CanFire()) return false;
    // A class with team slots needs a free one on the owner's team.
    if (cls->teamSlotFirst < 0 || cls->teamSlotLast < 0) return true;
    const TeamRecord* record = TeamRecord::Get(owner ? owner->team : TeamBits());
    return record && record->FindFreeSlot(cls->teamSlotFirst, cls->teamSlotLast) >= 0;
}

int32_t Dispenser::TeamBits() const {
    return static_cast<int32_t>((entity->flags & kEntityTeamMask) >> kEntityTeamShift);
}

GameObject* Dispenser::Dispense() {
    GameObjectClass* cls = static_cast<DispenserClass*>(weaponClass)->dispenseClass;
    if (!cls) return nullptr;
    const int header = root && (root->flags & kEntityUser) ? kUserSoundHeader : kOtherSoundHeader;
    if (weaponClass->fireSound[0]) {
        char name[17] = {};
        std::memcpy(name, weaponClass->fireSound, sizeof weaponClass->fireSound);
        Seam_Audio().soundPlay(name, entity, kFireSoundFlags, header);
    }
    if (owner) owner->AddAmmo(-Dispenser_CostOf(cls));
    Matrix muzzle;
    Matrix_Multiply(muzzle, entity->local, mountMatrix);
    const bool standsWherePut = StandsWherePut(cls->category);
    if (!standsWherePut) {
        muzzle.posit.x += muzzle.front.x;
        muzzle.posit.y += muzzle.front.y;
        muzzle.posit.z += muzzle.front.z;
    }
    // In a network game the machine that controls the owner builds; the others learn of it.
    const bool network = Seam_Net().isNetworkGame();
    if (network && owner && owner->IsRemote()) return nullptr;
    GameObject* made = GameObjectClass::Build(cls, muzzle, TeamBits(), false, 0, nullptr);
    if (!made) return nullptr;
    made->SetTeam(TeamBits());
    if (!standsWherePut && owner) made->SetVelocity(owner->euler.velocity);
    Seam_Ai().missionAddObject(made);
    if (owner) {
        made->target = owner->target;
        made->SetLastAttacker(owner);
    }
    if (network) Seam_Net().registerObject(made);
    return made;
}

void Dispenser::Update(float dt) {
    shotClock += dt;
    if (!trigger) {
        if (shotClock > 0.0) shotClock = 0.0;
    } else if (shotClock > kFireDueTolerance && IsMuzzleAboveGround() && MayDispense()) {
        // (A clock within rounding of zero is not due yet: the frames' sum of times lands on
        // either side of it.)
        // Without a free slot or enough ammunition nothing is built and the clock keeps its value.
        Dispense();
        shotClock -= static_cast<const DispenserClass*>(weaponClass)->reloadTime;
    }
    trigger = 0;
}
