#include "weapons/mortar.h"

#include <cmath>
#include <cstring>

#include "fun3d/gameobject.h"
#include "weapons/grenade.h"
#include "weapons/lobber.h"
#include "weapons/ordnance.h"

std::unique_ptr<WeaponClass> Mortar_MakeWeaponPrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "mortar") == 0) return std::make_unique<MortarClass>(label, signature);
    if (std::strcmp(label, "lobber") == 0) return std::make_unique<LobberClass>(label, signature);
    return nullptr;
}

MortarClass::MortarClass(const char* classLabel, uint32_t classSignature) : CannonClass(classLabel, classSignature) {
    std::memset(fireSound, 0, sizeof fireSound);
    std::strncpy(fireSound, "wcbl.wav", sizeof fireSound);
}

MortarClass::MortarClass(MortarClass* from, const ClassName& name) : CannonClass(from, name) {}

WeaponClass* MortarClass::ReadOdf(const ClassName& name) { return new MortarClass(this, name); }
Weapon* MortarClass::MakeObject(Entity* entity) { return new Mortar(entity, this); }

Vector* Mortar::GetAimPoint(Vector* result, GameObject* target) {
    if (!result || !target) return result;
    Mortar_BallisticAim(this, result, target, true);
    return result;
}

bool Mortar_BallisticAimAt(const Vector& gun, const Vector& target, const Vector& velocity, float s, bool lob,
                           Vector* out) {
    Vector t = target;
    if (lob && s > 0.0f) {
        const Vector d = Vec3_Sub(t, gun);
        const float flight = std::sqrt(Vec3_Dot(d, d)) / s;
        t = Vector{t.x + velocity.x * flight, t.y + velocity.y * flight, t.z + velocity.z * flight};
    }
    const float dx = t.x - gun.x, dy = t.y - gun.y, dz = t.z - gun.z;
    const float r2 = dx * dx + dz * dz;
    *out = t;
    // Straight above or below: the shot goes straight at the target; it arrives when its speed
    // climbs the height (s^2 >= 2 g dy).
    if (!(r2 > 0.0f)) return s * s >= 2.0f * kGravity * dy;
    const float u = dy * dy / r2 + 1.0f;
    float g = s * s - kGravity * dy;
    const float disc = g * g - 4.0f * kHalfGravity * kHalfGravity * r2 * u;
    if (disc > 0.0f) g = lob ? g + std::sqrt(disc) : g - std::sqrt(disc);
    if (g == 0.0f) return false;
    const float lift = kHalfGravity * r2 / (g / (2.0f * u));
    if (!std::isfinite(lift)) return false;
    out->y = t.y + lift;
    return disc >= 0.0f;
}

bool Mortar_BallisticAim(const Weapon* gun, Vector* out, GameObject* target, bool lob) {
    if (!out) return false;
    if (!target) return false;
    if (!gun || !gun->ordnanceClass) {
        *out = target->GetPosition();
        return false;
    }
    const Vector from{static_cast<float>(gun->mountMatrix.posit.x), static_cast<float>(gun->mountMatrix.posit.y),
                      static_cast<float>(gun->mountMatrix.posit.z)};
    return Mortar_BallisticAimAt(from, target->GetPosition(), target->euler.velocity, gun->ordnanceClass->ordFloatParam,
                                 lob, out);
}
