#include "weapons/lobber.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/entity.h"
#include "core/clock.h"
#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/powerup.h"
#include "fun3d/teamrecord.h"
#include "weapons/grenade.h"

namespace {

constexpr uint32_t kOdfReloadTime = 0xD9356908;
constexpr uint32_t kOdfMaxSpeed = 0xCAFE92D0;

}  // namespace

bool Lobber_SolveLob(const Vector& d, float t, Vector* launch) {
    const float f = d.x * d.x + d.z * d.z;
    if (!(f > 0.0f)) return false;
    const float h = d.y * d.y / f + 1.0f;
    const float c = t * t - kGravity * d.y;
    const float v = std::max(0.0f, c * c - 4.0f * kHalfGravity * kHalfGravity * f * h);
    const float w = v > 0.0f ? c - std::sqrt(v) : c;
    const float q = w / (2.0f * h) / f;
    // No real flight time: the speed cannot climb to the point.
    if (!(q > 0.0f) || !std::isfinite(q)) return false;
    const float a = std::sqrt(q);  // 1 / flight time
    *launch = Vector{a * d.x, a * d.y + kHalfGravity / a, a * d.z};
    return true;
}

LobberClass::LobberClass(const char* classLabel, uint32_t classSignature) : WeaponClass(classLabel, classSignature) {
    std::strncpy(fireSound, "wcbl.wav", sizeof fireSound);
}

LobberClass::LobberClass(LobberClass* from, const ClassName& name) : WeaponClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfReloadTime, &reloadTime, from->reloadTime);
    odf.GetFloat(kOdfMaxSpeed, &maxSpeed, from->maxSpeed);
}

WeaponClass* LobberClass::ReadOdf(const ClassName& name) { return new LobberClass(this, name); }
Weapon* LobberClass::MakeObject(Entity* entity) { return new Lobber(entity, this); }

Lobber::Lobber(Entity* e, LobberClass* cls) : Weapon(e, cls) {}

void Lobber::PullTrigger() {
    trigger = 1;
    Weapon::PullTrigger();
}
void Lobber::ReleaseTrigger() { trigger = 0; }
bool Lobber::IsTriggerDown() { return trigger != 0; }

void Lobber::UpdateMount(float frameTime) {
    Weapon::UpdateMount(frameTime);
    if (!ownerObject && root) ownerObject = GameObject_FromEntity(root);
    if (ownerObject && ownerObject == GameObject_GetUser())
        targetPoint = Seam_Cockpit().userAimPoint(&userAim_) ? &userAim_ : nullptr;
}

void Lobber::Update(float dt) {
    shotClock += dt;
    if (!trigger) {
        if (shotClock > 0.0f) shotClock = 0.0f;
        return;
    }
    trigger = 0;
    if (!targetPoint || !(shotClock > 0.0f) || !throwClass || !entity) return;
    // The weapon's team: the owner's team bits, which the gun's entity carries.
    const int32_t team = static_cast<int32_t>((entity->flags & kEntityTeamMask) >> kEntityTeamShift);
    // A class that keeps team slots needs a free one; without it nothing is thrown and the clock
    // waits as it is.
    if (throwClass->teamSlotFirst >= 0) {
        TeamRecord* record = TeamRecord::Get(team);
        if (!record || record->FindFreeSlot(throwClass->teamSlotFirst, throwClass->teamSlotLast) < 0) return;
    }
    Matrix muzzle;
    Matrix_Multiply(muzzle, entity->local, mountMatrix);
    const Vector target = *targetPoint;
    const Vector d{target.x - static_cast<float>(muzzle.posit.x), target.y - static_cast<float>(muzzle.posit.y),
                   target.z - static_cast<float>(muzzle.posit.z)};
    const float speed = std::min(std::sqrt(std::sqrt(Vec3_Dot(d, d)) * kGravity) + 20.0f, Class().maxSpeed);
    Vector launch{};
    // A point the throw cannot reach is refused like a full slot range.
    if (!Lobber_SolveLob(d, speed, &launch)) return;

    // The gun turns along the throw (its placement is kept on the mount).
    entity->local = Matrix_FromPositionDirection(entity->local.posit, Vec3_Unrotate(launch, mountMatrix));
    Matrix_Multiply(muzzle, entity->local, mountMatrix);
    char sound[17] = {};
    std::memcpy(sound, weaponClass->fireSound, sizeof weaponClass->fireSound);
    if (sound[0]) Seam_Audio().soundPlayOnObject(sound, entity);

    if (GameObject* thrown = GameObjectClass::Build(throwClass, muzzle, team, false, 0, nullptr)) {
        thrown->SetTeam(team);
        thrown->SetLastAttacker(ownerObject);
        if (Seam_Net().isNetworkGame()) Seam_Net().registerObject(thrown);
        if (throwClass->category == kCategoryPowerUp) {
            if (auto* pickUp = dynamic_cast<PowerUp*>(thrown); pickUp && pickUp->vehicle)
                pickUp->vehicle->flags |= kLobberThrownFlags;
            thrown->SetCommandPosition(kLobberThrownCommand, target, 0);
        }
        Seam_Ai().missionAddObject(thrown);
        thrown->SetVelocity(Vector{muzzle.front.x * speed, muzzle.front.y * speed, muzzle.front.z * speed});
        // It was thrown when the shot fell due: it starts where it would be by now.
        thrown->Update(shotClock);
    }
    shotClock -= Class().reloadTime;
}
