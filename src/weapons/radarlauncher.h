// The radar launcher: a lock-on launcher that locks only the owner's own target and, instead of a
// missile, sends out a pod, a live game object that joins the owner's team and the mission with
// the locked target as its own.
#pragma once
#include <cstdint>
#include <memory>

#include "weapons/launcher.h"

class GameObjectClass;

class RadarLauncherClass : public LauncherClass {
public:
    using LauncherClass::LauncherClass;
    RadarLauncherClass(RadarLauncherClass* from, const ClassName& name);
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;

    GameObjectClass* podClass = nullptr;  // what a shot builds; with one, a shot costs its cost
};

class RadarLauncher : public Launcher {
public:
    using Launcher::Launcher;
    // A pod class to send and enough of the owner's ammunition for one.
    bool CanFire() override;
    // A pod instead of a missile: built by the machine that controls the owner, on the owner's
    // team, sent along the muzzle with the locked target as its own.
    void Launch(float dt) override;
    // The owner's target while it lies ahead within the lock range and the lock cone.
    uint32_t FindTarget(float dt) override;
    // The lock grows by the target class's radar signature a second.
    void AddLock(uint32_t target, float dt) override;

    RadarLauncherClass& Class() const { return *static_cast<RadarLauncherClass*>(weaponClass); }
};

// The launch speed of a pod along the muzzle, on top of the owner's velocity (m/s).
constexpr float kRadarPodLaunchSpeed = 20.0f;

std::unique_ptr<WeaponClass> RadarLauncher_MakeWeaponPrototype(const char* label, uint32_t signature);
