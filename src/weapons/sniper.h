// The sniper pair: a cannon that aims at a craft's pilot seat, and a shell that kills the pilot
// when it passes close enough to the seat on its way (an ellipsoid around the shell's path,
// `pilotRadius` across and `pilotReach` ahead). The shell then hits as a bullet.
#pragma once
#include <cstdint>
#include <memory>

#include "weapons/bullet.h"

class GameObject;

class SniperGunClass : public CannonClass {
public:
    using CannonClass::CannonClass;
    SniperGunClass(SniperGunClass* from, const ClassName& name) : CannonClass(from, name) {}
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;
};

class SniperGun : public Cannon {
public:
    using Cannon::Cannon;
    // The pilot's seat of a piloted craft; the target's position otherwise.
    Vector* GetAimPoint(Vector* result, GameObject* target) override;
};

// Caps of the shell's keys.
constexpr float kSniperMostReach = 10.0f;
constexpr float kSniperMostRadius = 0.5f;

class SniperShellClass : public BulletClass {
public:
    // The prototype: reach 3, radius 1 (kept as 0.5 by the cap).
    SniperShellClass(const char* classLabel, uint32_t classSignature);
    SniperShellClass(SniperShellClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;

    float pilotReach = 3.0f;
    float pilotRadius = kSniperMostRadius;
};

class SniperShell : public Bullet {
public:
    using Bullet::Bullet;
    void Hit(Entity* hit, const Vector& normal) override;
    // The shell is not drawn.
    void Render(RenderView* view) override;

    SniperShellClass& Class() const { return *static_cast<SniperShellClass*>(ordnanceClass); }
};

// Whether a pilot at the point (in the shell's frame: z along its path) lies inside the kill
// ellipsoid: ahead, and (x/radius)^2 + (y/radius)^2 + (z/reach)^2 < 1. A radius or reach of 0
// or less kills nothing.
bool Sniper_InKillZone(const Vector& local, float radius, float reach);

// The "snipergun" and "snipershell" prototypes; null for other labels.
std::unique_ptr<WeaponClass> SniperGun_MakePrototype(const char* label, uint32_t signature);
std::unique_ptr<OrdnanceClass> SniperShell_MakePrototype(const char* label, uint32_t signature);
