#include "weapons/radarlauncher.h"

#include <cstring>

#include "Objkr/entity.h"
#include "core/odf.h"
#include "core/seams/ai.h"
#include "core/seams/net.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"

namespace {

constexpr uint32_t kOdfPodClass = 0xfab4528a;
// Objects squarely ahead: within this share of their radius of the axis always pass the cone.
constexpr float kSquareShare = 0.75f;
// The radar one of the class's three seeker signatures (image, radar, heat).
constexpr int kRadarSignature = 1;

}  // namespace

std::unique_ptr<WeaponClass> RadarLauncher_MakeWeaponPrototype(const char* label, uint32_t signature) {
    if (label && std::strcmp(label, "radarlauncher") == 0) return std::make_unique<RadarLauncherClass>(label, signature);
    return nullptr;
}

RadarLauncherClass::RadarLauncherClass(RadarLauncherClass* from, const ClassName& name) : LauncherClass(from, name) {
    OdfFile odf(fileName);
    char className[kClassNameSize];
    const char none[kClassNameSize] = {};
    odf.GetName8(kOdfPodClass, className, none);
    char text[kClassNameSize + 1] = {};
    std::memcpy(text, className, kClassNameSize);
    podClass = text[0] ? GameObjectClass::Find(text) : from->podClass;
    if (podClass) shotCost = podClass->ammo;
}

WeaponClass* RadarLauncherClass::ReadOdf(const ClassName& name) { return new RadarLauncherClass(this, name); }
Weapon* RadarLauncherClass::MakeObject(Entity* entity) { return new RadarLauncher(entity, this); }

bool RadarLauncher::CanFire() {
    if (!Class().podClass) return false;
    return (ownerObject ? ownerObject->curAmmo : 0) >= Class().shotCost;
}

uint32_t RadarLauncher::FindTarget(float) {
    if (!ownerObject || !ownerObject->target) return 0;
    GameObject* object = GameObject::FromHandle(ownerObject->target);
    if (!object || !object->entity) return 0;
    const Matrix frame = Muzzle();
    const Vector p = object->GetPosition();
    const Vector d{static_cast<float>(p.x - frame.posit.x), static_cast<float>(p.y - frame.posit.y),
                   static_cast<float>(p.z - frame.posit.z)};
    const Vector local = Vec3_Unrotate(d, frame);
    if (local.z < 0.0f || local.z > Class().lockRange) return 0;
    const float lat2 = local.x * local.x + local.y * local.y;
    const float side = kSquareShare * object->radius;
    if (lat2 > side * side && lat2 > coneValue * (lat2 + local.z * local.z)) return 0;
    return ownerObject->target;
}

void RadarLauncher::AddLock(uint32_t target, float dt) {
    const GameObject* object = GameObject::FromHandle(target);
    if (object && object->objClass) lockProgress += object->objClass->scales[kRadarSignature] * dt;
}

void RadarLauncher::Launch(float) {
    // In a network game the machine that controls the owner builds; the others learn of it.
    const bool network = Seam_Net().isNetworkGame();
    if (network && ownerObject && ownerObject->IsRemote()) return;
    const RadarLauncherClass& cls = Class();
    const Matrix muzzle = Muzzle();
    const int32_t team = static_cast<int32_t>((entity->flags & kEntityTeamMask) >> kEntityTeamShift);
    GameObject* pod = GameObjectClass::Build(cls.podClass, muzzle, team, false, 0, nullptr);
    if (!pod) return;
    pod->SetTeam(team);
    Vector v = ownerObject ? ownerObject->euler.velocity : Vector{};
    v.x += kRadarPodLaunchSpeed * static_cast<float>(muzzle.front.x);
    v.y += kRadarPodLaunchSpeed * static_cast<float>(muzzle.front.y);
    v.z += kRadarPodLaunchSpeed * static_cast<float>(muzzle.front.z);
    pod->SetVelocity(v);
    Seam_Ai().missionAddObject(pod);
    pod->SetTarget(GameObject::FromHandle(locked));
    if (ownerObject) {
        pod->SetLastAttacker(ownerObject);
        ownerObject->SetTarget(pod);
    }
    if (network) Seam_Net().registerObject(pod);
}
