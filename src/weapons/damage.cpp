#include "weapons/damage.h"

#include <cmath>

#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "core/shake.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"

namespace {

constexpr float kShakeThreshold = 20.0f;

bool IsMoving(int32_t type) { return type == 1 || type == 3 || type == 4 || type == 6; }
bool IsCraftKind(int32_t type) { return type == 1 || type == 6; }
uint32_t TeamOf(const Entity* e) { return (e->flags >> kEntityTeamShift) & 7; }

// The record a hitting entity carries, by its type code.
void RecordOfHitter(Entity* hitter, DamageInfo* out) {
    if (hitter->type == kTypeOrdnance && Ordnance_GetDamageInfo(hitter, out)) return;
    if (hitter->type == kTypeExplosion && Explosion_GetDamageInfo(hitter, out)) return;
    out->SetSourceEntity(hitter);
}

}  // namespace

float Damage_CollisionAmount(const Vector* v, const Vector* n, Entity* target, Entity* hitter) {
    Entity* body = target;
    double factor = 0.375;
    if (hitter && IsMoving(hitter->type)) {
        if (target && TeamOf(target) == TeamOf(hitter) && IsCraftKind(hitter->type) && IsCraftKind(target->type))
            return 0.0f;
        body = hitter;
        factor = 0.25;
    }
    EntityDynamics dynamics;
    Classfnc_GetDynamics(&dynamics, body);
    const float s = n->x * v->x + n->y * v->y + n->z * v->z;
    const double amount = static_cast<double>(dynamics.mass * s * s) * factor * 0.0001;
    return static_cast<float>(std::trunc(amount));
}

void DamageInfo_FromSource(Entity* source, DamageInfo* out) {
    if (source) {
        RecordOfHitter(source, out);
        return;
    }
    out->kind = static_cast<uint16_t>((out->kind & ~0x7u) | kDamageImpact);
    out->playerId = kNoPlayer;
}

int Damage_Deliver(Entity* target, Entity* hitter, const Vector* normal, const Vector* relativeVelocity,
                   Entity* extra) {
    DamageInfo info{};
    if (hitter) {
        RecordOfHitter(hitter, &info);
    } else {
        info.kind = kDamageImpact;
        info.playerId = kNoPlayer;
    }
    if (info.kind & kDamageImpact) {
        info.amount = Damage_CollisionAmount(relativeVelocity, normal, target, hitter);
        if (target && (target->flags & kEntityUser) && info.amount > kShakeThreshold) Shake_Start(info.amount * 0.5f);
    }
    return Classfnc_Damage(target, &info, extra);
}

int Damage_DeliverInfo(Entity* target, DamageInfo info, Entity* extra) { return Classfnc_Damage(target, &info, extra); }
