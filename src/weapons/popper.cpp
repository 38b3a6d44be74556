#include "weapons/popper.h"

#include <cstring>

#include "Objkr/entity.h"
#include "core/odf.h"
#include "core/seams/audio.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/teamrecord.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"

namespace {

constexpr uint32_t kOdfSeekRange = 0x6a1b2cdd;
constexpr uint32_t kOdfBurstClass = 0x43506756;
constexpr uint32_t kOdfPayloadClass = 0x5eaf51ed;
constexpr uint32_t kOdfReloadTime = 0xd9356908;
constexpr uint32_t kOdfLaunchPitch = 0x1af4cf34;

constexpr uint32_t kFireSoundFlags = 2048;
constexpr int kUserSoundHeader = 65;
// The damage-record flags a payload takes over from its popper.
constexpr uint16_t kCarriedKinds = kDamageUserSide | kDamageExtraKind;

Vector PositionOf(const Entity* e) {
    return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                  static_cast<float>(e->local.posit.z)};
}

// The text of an 8-character class name key, empty when the key is absent or empty.
void NameOf(const OdfFile& odf, uint32_t key, char text[9]) {
    char name[8];
    const char none[8] = {};
    odf.GetName8(key, name, none);
    std::memset(text, 0, 9);
    std::memcpy(text, name, 8);
}

}  // namespace

std::unique_ptr<OrdnanceClass> Popper_MakeOrdnancePrototype(const char* label, uint32_t signature) {
    if (label && std::strcmp(label, "popper") == 0) return std::make_unique<PopperClass>(label, signature);
    return nullptr;
}

std::unique_ptr<WeaponClass> Popper_MakeWeaponPrototype(const char* label, uint32_t signature) {
    if (label && std::strcmp(label, "poppergun") == 0) return std::make_unique<PopperGunClass>(label, signature);
    return nullptr;
}

// ---- the popper -------------------------------------------------------------------------------

PopperClass::PopperClass(PopperClass* from, const ClassName& name) : GrenadeClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfSeekRange, &seekRange, from->seekRange);
    char text[9];
    NameOf(odf, kOdfBurstClass, text);
    burstClass = text[0] ? ExplosionClass::Find(text) : from->burstClass;
    NameOf(odf, kOdfPayloadClass, text);
    payloadClass = text[0] ? OrdnanceClass::Find(text) : from->payloadClass;
}

OrdnanceClass* PopperClass::ReadOdf(const ClassName& name) { return new PopperClass(this, name); }
Ordnance* PopperClass::MakeObject(Entity* entity) { return new Popper(entity, this); }

void Popper::Launch(const Matrix& matrix, Entity* shooter) {
    Rocket::Launch(matrix, shooter);
    if (netPlayer == kNoPlayer) netSerial = Ordnance_NextSerial();
    // The payload is keyed under the serial after the popper's on every machine: no later shot
    // of this machine may take it.
    Ordnance_NextSerial();
}

GameObject* Popper::FindTarget() const {
    const Vector at = PositionOf(entity);
    const int32_t team = static_cast<int32_t>((entity->flags & kEntityTeamMask) >> kEntityTeamShift);
    const TeamRecord* record = TeamRecord::Get(team);
    float best = Class().seekRange * Class().seekRange;
    GameObject* found = nullptr;
    for (GameObject* other : GameObject_List()) {
        if (!other || !other->entity || (other->entity->flags & kEntityDead)) continue;
        if (record && record->IsAlly(other->perceivedTeam)) continue;
        const Vector offset = Vec3_Sub(other->GetPosition(), at);
        const float d2 = Vec3_Dot(offset, offset);
        if (!(d2 <= best)) continue;
        if (found && !(d2 < best)) continue;
        best = d2;
        found = other;
    }
    return found;
}

void Popper::Update(float) {
    // Climbing: nothing until the top of the arc.
    if (!(motion.velocity.y < 0.0f)) return;
    if (GameObject* target = FindTarget()) Burst(target);
}

void Popper::Burst(GameObject* target) {
    const PopperClass& cls = Class();
    const Vector at = PositionOf(entity);
    if (OrdnanceClass* payloadClass = cls.payloadClass) {
        const Vector aim = Weapon_LeadPoint(entity->local, target, payloadClass->ordFloatParam);
        Vector direction = Vec3_Sub(aim, at);
        if (!(Vec3_Dot(direction, direction) > 0.0f)) direction = entity->local.front;
        const Matrix launch = Matrix_FromPositionDirection(entity->local.posit, direction);
        if (Ordnance* payload = payloadClass->Build(launch, owner)) {
            payload->damageInfo.kind =
                static_cast<uint16_t>((payload->damageInfo.kind & ~kCarriedKinds) | (damageInfo.kind & kCarriedKinds));
            payload->damageInfo.playerId = damageInfo.playerId;
            // Every machine releases the same payload itself: only a popper that came from no
            // network player leaves its payload to be sent.
            payload->netState = netPlayer == kNoPlayer ? kOrdnanceNew : kOrdnanceNotSent;
            Ordnance_Rekey(payload, netPlayer, static_cast<uint16_t>(netSerial + 1));
        }
    }
    if (cls.burstClass) cls.burstClass->Build(entity->local, owner);
    entity->flags |= kEntityDead;
}

// ---- the popper gun ---------------------------------------------------------------------------

PopperGunClass::PopperGunClass(const char* classLabel, uint32_t classSignature) : WeaponClass(classLabel, classSignature) {
    std::strncpy(fireSound, "wcbl.wav", sizeof fireSound);
}

PopperGunClass::PopperGunClass(PopperGunClass* from, const ClassName& name) : WeaponClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfReloadTime, &reloadTime, from->reloadTime);
    odf.GetFloat(kOdfLaunchPitch, &launchPitch, from->launchPitch);
}

WeaponClass* PopperGunClass::ReadOdf(const ClassName& name) { return new PopperGunClass(this, name); }
Weapon* PopperGunClass::MakeObject(Entity* entity) { return new PopperGun(entity, this); }

PopperGun::PopperGun(Entity* e, PopperGunClass* cls) : Weapon(e, cls) {}

bool PopperGun::CanFire() {
    if (!ordnanceClass) return false;
    return (ownerObject ? ownerObject->curAmmo : 0) >= ordnanceClass->ordIntParam;
}

void PopperGun::PullTrigger() {
    trigger = 1;
    Weapon::PullTrigger();
}
void PopperGun::ReleaseTrigger() { trigger = 0; }
bool PopperGun::IsTriggerDown() { return trigger != 0; }

void PopperGun::UpdateMount(float frameTime) {
    Weapon::UpdateMount(frameTime);
    if (!ownerObject && root) ownerObject = GameObject_FromEntity(root);
}

void PopperGun::Update(float dt) {
    shotClock += dt;
    if (trigger) {
        if (shotClock > 0.0f && CanFire()) {
            const PopperGunClass& cls = Class();
            if (cls.fireSound[0]) {
                char name[17] = {};
                std::memcpy(name, cls.fireSound, sizeof cls.fireSound);
                const int header = root && (root->flags & kEntityUser) ? kUserSoundHeader : 0;
                Seam_Audio().soundPlay(name, entity, kFireSoundFlags, header);
            }
            if (ownerObject) ownerObject->AddAmmo(-ordnanceClass->ordIntParam);
            Matrix muzzle, launch;
            Matrix_Multiply(muzzle, entity->local, mountMatrix);
            Matrix_Multiply(launch, Matrix_RotationX(-cls.launchPitch), muzzle);
            if (Ordnance* popper = ordnanceClass->Build(launch, root)) popper->catchUp = shotClock - dt;
            shotClock -= cls.reloadTime;
        } else if (shotClock > 0.0f) {
            // Held without the means to fire, the wait is no reload owed: the first shot that can
            // go is not aged by it.
            shotClock = 0.0f;
        }
    } else if (shotClock > 0.0f) {
        shotClock = 0.0f;
    }
    trigger = 0;
}
