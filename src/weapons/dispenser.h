// The dispenser: a weapon that builds one game object of a given class per reload at its muzzle
// (a mine, a flare, a magnet, a pod), on its owner's team, spending the class's ammunition cost.
#pragma once
#include <cstdint>
#include <memory>

#include "weapons/weapon.h"

class GameObjectClass;

constexpr uint32_t kOdfDispenseClass = 0xFAB4528Au;
constexpr uint32_t kOdfDispenseReload = 0xD9356908u;

class DispenserClass : public WeaponClass {
public:
    // The prototype: fire sound "wwgpl.wav", a reload of 1 s.
    DispenserClass(const char* classLabel, uint32_t classSignature);
    DispenserClass(DispenserClass* from, const ClassName& name);
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;

    // What it dispenses, in place of an ordnance class.
    GameObjectClass* dispenseClass = nullptr;
    float reloadTime = 1.0f;
};

class Dispenser : public Weapon {
public:
    Dispenser(Entity* entity, DispenserClass* dispenserClass);

    // A class to dispense is set and the owner's ammunition covers its cost.
    bool CanFire() override;
    void PullTrigger() override;
    void ReleaseTrigger() override;
    bool IsTriggerDown() override;
    void UpdateMount(float frameTime) override;
    void Update(float frameTime) override;
    bool IsLoaded() override;

    // A class to dispense, the ammunition for it and, for a class with team slots, a free slot
    // on the owner's team.
    bool MayDispense();
    // Plays the fire sound, takes the cost and builds the object at the muzzle (null when this
    // machine does not build it): it joins the current mission, takes the owner's target and
    // names the owner its attacker.
    GameObject* Dispense();
    // The team in the weapon's owner bits.
    int32_t TeamBits() const;

    // Kept in double: a clock held for many reloads would otherwise gather enough rounding to
    // fall due a frame early.
    double shotClock = 0.0;
    GameObject* owner = nullptr;
    uint8_t trigger = 0;
};

// The dispenser's prototype for its label; null for any other.
std::unique_ptr<WeaponClass> Dispenser_MakeWeaponPrototype(const char* label, uint32_t signature);

// The ammunition one dispensed object of the class costs: the class's ammunition value.
int32_t Dispenser_CostOf(const GameObjectClass* cls);
