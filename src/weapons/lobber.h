// The lobber: a weapon that builds game objects of a class its owner chooses and throws them on
// a ballistic path to a point its owner names (a producing building's launch tube).
#pragma once
#include <cstdint>

#include "weapons/weapon.h"

class GameObjectClass;

class LobberClass : public WeaponClass {
public:
    // The prototype: fire sound "wcbl.wav", reload 1 s, throw speed at most 100.
    LobberClass(const char* classLabel, uint32_t classSignature);
    LobberClass(LobberClass* from, const ClassName& name);
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;

    float reloadTime = 1.0f;
    float maxSpeed = 100.0f;
};

class Lobber : public Weapon {
public:
    Lobber(Entity* entity, LobberClass* cls);
    bool CanFire() override { return true; }
    void PullTrigger() override;
    void ReleaseTrigger() override;
    bool IsTriggerDown() override;
    // The mount; the user's own lobber aims where the user aims (nowhere when the user aims at
    // nothing).
    void UpdateMount(float frameTime) override;
    // Throws one object per reload while the trigger is held and a point is set.
    void Update(float frameTime) override;

    // The owner names the point to throw at (none: no throwing) and the class to throw. The
    // point must outlive its use or be replaced.
    void SetTarget(const Vector* point) { targetPoint = point; }
    void SetClass(GameObjectClass* cls) { throwClass = cls; }

    LobberClass& Class() const { return *static_cast<LobberClass*>(weaponClass); }

    float shotClock = 0.0f;
    GameObject* ownerObject = nullptr;
    const Vector* targetPoint = nullptr;
    GameObjectClass* throwClass = nullptr;
    uint8_t trigger = 0;

private:
    Vector userAim_{};
};

// The throw from the weapon to a point offset by d at speed t, coming down on the point: the
// launch velocity. False (nothing to throw) when the point lies straight above or below, or
// when the speed cannot climb to it.
bool Lobber_SolveLob(const Vector& d, float t, Vector* launch);

// Flags a thrown pick-up gets in its vehicle word: in flight and rising.
constexpr uint32_t kLobberThrownFlags = 0xC;
// The command a thrown pick-up gets toward the point: go to.
constexpr int32_t kLobberThrownCommand = 3;
