// The remote detonator: a mortar whose shells are charges that lie where they land until the
// gun sets them off. One charge is out at a time (four for the user's craft while the game
// switch allows it): a pull with a charge out and the trigger let go in between detonates it.
// Letting go of the user's fire control, or losing the gun, detonates every charge out; in a
// network game the other machines are told which ones ("xx").
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "weapons/mortar.h"

class Ordnance;

// The most charges one detonator keeps out.
constexpr int kDetonatorSlots = 4;
// The first word of the detonation message, the two letters "xx".
constexpr uint16_t kDetonationWord = 0x7878;

class DetonatorClass : public MortarClass {
public:
    using MortarClass::MortarClass;
    DetonatorClass(DetonatorClass* from, const ClassName& name);
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;

    int detonateIcon = 0;  // shown while the next pull detonates; the class's sprite2 by default
};

class Detonator : public Mortar {
public:
    Detonator(Entity* entity, DetonatorClass* cls);
    // Detonates whatever is still out.
    ~Detonator() override;

    // The mount update of the mortar, and the owner's handle kept.
    void UpdateMount(float frameTime) override;
    void Update(float dt) override;
    // The user let go of the fire control: every charge goes off.
    void UserTriggerUp() override;

    // Sets every charge out to go off at its next step and empties the slots; in a network game,
    // when this machine controls the owner, sends one "xx" message with the charges' serials.
    void DetonateAll();
    // Whether the owner may keep four charges out: the user's craft, while the game switch is on.
    bool MultiCharge() const;
    // The charges still out in their flight, in slot order (dead ones are dropped first).
    int LiveCharges();
    // The first charge still out, or null.
    Ordnance* FirstCharge();

    DetonatorClass& Class() const { return *static_cast<DetonatorClass*>(weaponClass); }

    struct Slot {
        Ordnance* shot = nullptr;
        uint32_t launches = 0;  // the shot's flight when it was fired
    };
    Slot charges[kDetonatorSlots];
    bool detonateMode = false;
    uint32_t ownerHandle = 0;
};

// The bytes of the detonation message for the serials: the word 0x7878, then each serial, all
// little-endian. Empty when there are no serials.
std::vector<uint8_t> Detonator_Message(const std::vector<uint16_t>& serials);

// The prototype of "detonator"; null for any other label.
std::unique_ptr<WeaponClass> Detonator_MakeWeaponPrototype(const char* label, uint32_t signature);
