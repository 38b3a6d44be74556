// The weapon hardpoints of an object and its command-menu entries.
#pragma once
#include <cstdint>

#include "fun3d/gameobjectclass.h"

struct Entity;
class GameObject;
class Weapon;

// Entity type code of the special hardpoint.
constexpr int32_t kSpecialHardpointType = 74;

class HardpointList {
public:
    explicit HardpointList(GameObject* owner) : owner(owner) {}

    // Stores the part and the weapon (either may be null) in the slot and keeps the present bit
    // in step with the weapon; a slot outside 0..4 is refused.
    void SetWeapon(int slot, Entity* hardpoint, Weapon* weapon);
    // Selects the slots of the mask that hold a weapon (the others are dropped).
    void Select(uint32_t mask);
    // Keeps only the bits of slots that hold a weapon.
    void SetEnabled(uint32_t mask) { enabled = mask & present; }

    GameObject* owner;
    Entity* hardpoints[kHardpointCount] = {};
    Weapon* weapons[kHardpointCount] = {};
    uint32_t present = 0;   // bit i while slot i holds a weapon
    uint32_t selected = 0;  // the weapon slots currently selected
    uint32_t enabled = 0;   // a subset of present
    int32_t special = -1;   // the slot whose hardpoint part is of type 74, or -1
};

constexpr int kCommandListSize = 11;

class CommandList {
public:
    // When the selected entry changes value the selection is dropped (-1). An index outside
    // 0..10 changes nothing.
    void Set(int index, int32_t code, bool enable);
    // All entries 0 and disabled.
    void Clear();
    // The entry at the selected index, or 0 (none) when the index is outside 0..10.
    int32_t Selected() const;
    bool IsEnabled(int index) const { return index >= 0 && index < kCommandListSize && ((enabledMask >> index) & 1u); }

    int32_t codes[kCommandListSize] = {};
    uint32_t enabledMask = 0;
    int32_t selected = -1;
};
