// The mortar: a cannon whose aim point makes its falling shell come down on the target.
#pragma once
#include <cstdint>
#include <memory>

#include "weapons/bullet.h"

class MortarClass : public CannonClass {
public:
    // The prototype: fire sound "wcbl.wav", the cannon's reload.
    MortarClass(const char* classLabel, uint32_t classSignature);
    MortarClass(MortarClass* from, const ClassName& name);
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;
};

class Mortar : public Cannon {
public:
    using Cannon::Cannon;
    // The ballistic aim point, with the lead and the lob.
    Vector* GetAimPoint(Vector* result, GameObject* target) override;
};

// The point the gun must point its shot at (the shot's speed being its ordnance's shot speed,
// falling at 9.8 m/s^2) for the shot to come down on the target, and whether it can reach it.
// With `lob` the target's movement is led and the root that gives the lower aim point is taken.
// Out of reach, the point is still computed and the answer is false. A target straight above
// or below is aimed at itself (reachable when the speed climbs the height); a solution with no
// height to divide by aims at the target and answers false; a gun without ordnance aims at the
// target and answers false.
bool Mortar_BallisticAim(const Weapon* gun, Vector* out, GameObject* target, bool lob);
// The same from a gun position for a target point, velocity and shot speed.
bool Mortar_BallisticAimAt(const Vector& gun, const Vector& target, const Vector& velocity, float shotSpeed,
                           bool lob, Vector* out);

// The prototypes of the weapon labels built here and in weapons/lobber (mortar, lobber); null
// for any other.
std::unique_ptr<WeaponClass> Mortar_MakeWeaponPrototype(const char* label, uint32_t signature);
