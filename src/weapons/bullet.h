// The plainest shot and the plainest guns, which most other kinds extend: the bullet (flies
// straight at constant speed, tests the terrain and the objects along each step and explodes on
// what it meets), the cannon (one shot per trigger pull and reload interval) and the machine
// gun (every shot that falls due within a frame, with a looped fire sound).
#pragma once
#include <cstdint>

#include "weapons/ordnance.h"
#include "weapons/weapon.h"

class BulletClass : public OrdnanceClass {
public:
    // The prototype: cost 1, life 5 s, speed 200, first damage value 10.
    BulletClass(const char* classLabel, uint32_t classSignature);
    BulletClass(BulletClass* from, const ClassName& name);
    OrdnanceClass* ReadOdf(const ClassName& name) override;
    Ordnance* MakeObject(Entity* entity) override;
};

class Bullet : public Ordnance {
public:
    using Ordnance::Ordnance;
    void Launch(const Matrix& matrix, Entity* shooter) override;
    void Step(float dt) override;
    void Hit(Entity* hit, const Vector& normal) override;

    // Sweeps the objects along the step from start (time t, end point); the nearest contact
    // shortens t, moves the end to it and is returned.
    GameObject* FindHit(const Vector& start, float& t, Vector& end, Vector& normal);

    uint8_t ignoreShooter = 0;
};

// Whether a shot from start with the velocity meets the object within t seconds; on a contact
// t becomes its time and normal the contact normal. A shot that does not move relative to the
// object meets nothing.
bool Ordnance_ThreatensObject(const Vector& start, const Vector& velocity, float& t, Vector& normal,
                              GameObject* object, float shotRadius);

class CannonClass : public WeaponClass {
public:
    // The prototype: fire sound "h45ch.wav", reload 0.2 s.
    CannonClass(const char* classLabel, uint32_t classSignature);
    CannonClass(CannonClass* from, const ClassName& name);
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;

    float reloadTime = 0.2f;
};

class Cannon : public Weapon {
public:
    Cannon(Entity* entity, CannonClass* cannonClass);
    bool CanFire() override;
    void PullTrigger() override;
    void ReleaseTrigger() override;
    bool IsTriggerDown() override;
    void UpdateMount(float frameTime) override;
    void Update(float frameTime) override;
    Vector* GetAimPoint(Vector* result, GameObject* target) override;

    float ReloadTime() const;
    // Takes the shot's cost from the owner and fires at the muzzle; the shot, or null.
    Ordnance* FireAt(const Matrix& muzzle, float catchUp);

    float shotClock = 0.0f;
    GameObject* ownerObject = nullptr;
    uint8_t trigger = 0;
};

class MachineGunClass : public CannonClass {
public:
    // The prototype: fire sound "wlmgun.wav", reload 0.2 s.
    MachineGunClass(const char* classLabel, uint32_t classSignature);
    MachineGunClass(MachineGunClass* from, const ClassName& name);
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;
};

class MachineGun : public Cannon {
public:
    using Cannon::Cannon;
    void Update(float frameTime) override;

    void* fireLoop = nullptr;
};

// Where a shot leaving the mount at shotSpeed meets a target that keeps its velocity; the
// target's own position when it stands (nearly) still or cannot be met.
Vector Weapon_LeadPoint(const Matrix& mount, GameObject* target, float shotSpeed);

// At most this many shots fall due in one update; what is left over is dropped.
constexpr int kMostShotsPerUpdate = 64;

// The colour of the "gtechno" tint flash the counter names (0..29), and the program's counter.
void MachineGun_TechnoColour(int index, int rgb[3]);
int& MachineGun_TechnoCounter();
