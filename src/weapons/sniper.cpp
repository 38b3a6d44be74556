#include "weapons/sniper.h"

#include <algorithm>
#include <cstring>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "core/seams/net.h"
#include "fun3d/craft.h"
#include "fun3d/gameobject.h"

namespace {

constexpr uint32_t kOdfPilotReach = 0x935b6321;
constexpr uint32_t kOdfPilotRadius = 0x6981c907;
constexpr uint32_t kEntityHitFlag = 0x2;

// The world position of the pilot of a piloted craft; false when the object has no pilot seat.
bool PilotPosition(GameObject* object, Vector* out) {
    if (!object || !object->HasPilot()) return false;
    auto* craft = dynamic_cast<Craft*>(object);
    if (!craft || !craft->pilotNode) return false;
    float p[3];
    Entity_GetWorldPos(p, craft->pilotNode);
    *out = Vector{p[0], p[1], p[2]};
    return true;
}

}  // namespace

std::unique_ptr<WeaponClass> SniperGun_MakePrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "snipergun") == 0) return std::make_unique<SniperGunClass>(label, signature);
    return nullptr;
}

std::unique_ptr<OrdnanceClass> SniperShell_MakePrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "snipershell") == 0) return std::make_unique<SniperShellClass>(label, signature);
    return nullptr;
}

// ---- the gun ----------------------------------------------------------------------------------

WeaponClass* SniperGunClass::ReadOdf(const ClassName& name) { return new SniperGunClass(this, name); }
Weapon* SniperGunClass::MakeObject(Entity* entity) { return new SniperGun(entity, this); }

Vector* SniperGun::GetAimPoint(Vector* result, GameObject* target) {
    if (!result || !target) return result;
    if (!PilotPosition(target, result)) *result = target->GetPosition();
    return result;
}

// ---- the shell --------------------------------------------------------------------------------

SniperShellClass::SniperShellClass(const char* classLabel, uint32_t classSignature)
    : BulletClass(classLabel, classSignature) {}

SniperShellClass::SniperShellClass(SniperShellClass* from, const ClassName& name) : BulletClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfPilotReach, &pilotReach, from->pilotReach);
    pilotReach = std::min(pilotReach, kSniperMostReach);
    odf.GetFloat(kOdfPilotRadius, &pilotRadius, from->pilotRadius);
    pilotRadius = std::min(pilotRadius, kSniperMostRadius);
}

OrdnanceClass* SniperShellClass::ReadOdf(const ClassName& name) { return new SniperShellClass(this, name); }
Ordnance* SniperShellClass::MakeObject(Entity* entity) { return new SniperShell(entity, this); }

bool Sniper_InKillZone(const Vector& local, float radius, float reach) {
    if (!(radius > 0.0f) || !(reach > 0.0f) || !(local.z > 0.0f)) return false;
    const float x = local.x / radius, y = local.y / radius, z = local.z / reach;
    return x * x + y * y + z * z < 1.0f;
}

void SniperShell::Hit(Entity* hitEntity, const Vector& normal) {
    GameObject* object = hitEntity ? GameObject_FromEntity(hitEntity) : nullptr;
    NetSeam& net = Seam_Net();
    if (object && (!net.isNetworkGame() || netPlayer == net.localPlayerId())) {
        Vector pilot{};
        if (PilotPosition(object, &pilot)) {
            const Vector offset{pilot.x - static_cast<float>(entity->local.posit.x),
                                pilot.y - static_cast<float>(entity->local.posit.y),
                                pilot.z - static_cast<float>(entity->local.posit.z)};
            const Vector local = Vec3_Unrotate(offset, entity->local);
            const SniperShellClass& cls = Class();
            if (Sniper_InKillZone(local, cls.pilotRadius, cls.pilotReach)) {
                if (auto* craft = dynamic_cast<Craft*>(object)) craft->KillPilot();
                const int32_t type = hitEntity->type;
                if (object->IsRemote()) {
                    net.sendSniped(object, GameObject_FromEntity(owner));
                } else if (Entity_IsDynamic(type) && (!Entity_IsCraft(type) || object->IsReady())) {
                    entity->flags |= kEntityHitFlag;
                }
                entity->flags |= kEntityDead;
            }
        }
    }
    Bullet::Hit(hitEntity, normal);
}

void SniperShell::Render(RenderView*) {}
