// The popper gun and its popper: an air-burst shell lobbed up at an angle that, once it falls,
// bursts by the nearest non-allied object within its seek range and releases its payload aimed
// at it. A popper with nothing in range falls on and lands as a grenade.
#pragma once
#include <cstdint>
#include <memory>

#include "weapons/grenade.h"
#include "weapons/weapon.h"

class ExplosionClass;
class GameObject;

class PopperClass : public GrenadeClass {
public:
    using GrenadeClass::GrenadeClass;
    PopperClass(PopperClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;

    float seekRange = 100.0f;
    ExplosionClass* burstClass = nullptr;  // where it bursts; none: no burst
    OrdnanceClass* payloadClass = nullptr;  // what it releases; none: no payload
};

class Popper : public Grenade {
public:
    using Grenade::Grenade;
    // The rocket's launch. A popper owns two serials, its own and its payload's: one that has
    // none from the network takes the next one, and the one after is kept for the payload.
    void Launch(const Matrix& matrix, Entity* shooter) override;
    // Falling: bursts by the nearest non-allied object within the seek range, if any.
    void Update(float dt) override;

    // The nearest object within the seek range whose team is no ally of the popper's and whose
    // entity is not dead; null when none is.
    GameObject* FindTarget() const;
    // Releases the payload at the target (when the class has one), bursts and dies.
    void Burst(GameObject* target);

    PopperClass& Class() const { return *static_cast<PopperClass*>(ordnanceClass); }
};

class PopperGunClass : public WeaponClass {
public:
    // The prototype: fire sound "wcbl.wav", reload 1 s, launch pitch 1 rad.
    PopperGunClass(const char* classLabel, uint32_t classSignature);
    PopperGunClass(PopperGunClass* from, const ClassName& name);
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;

    float reloadTime = 1.0f;
    float launchPitch = 1.0f;  // radians above the muzzle's front
};

class PopperGun : public Weapon {
public:
    PopperGun(Entity* entity, PopperGunClass* cls);
    // An ordnance class to fire and the owner's ammunition for one.
    bool CanFire() override;
    void PullTrigger() override;
    void ReleaseTrigger() override;
    bool IsTriggerDown() override;
    void UpdateMount(float frameTime) override;
    // Fires one popper a reload while the trigger is held, pitched up by the launch pitch.
    void Update(float dt) override;

    PopperGunClass& Class() const { return *static_cast<PopperGunClass*>(weaponClass); }

    float shotClock = 0.0f;
    GameObject* ownerObject = nullptr;
    uint8_t trigger = 0;
};

// The prototypes of "popper" and "poppergun"; null for any other label.
std::unique_ptr<OrdnanceClass> Popper_MakeOrdnancePrototype(const char* label, uint32_t signature);
std::unique_ptr<WeaponClass> Popper_MakeWeaponPrototype(const char* label, uint32_t signature);
