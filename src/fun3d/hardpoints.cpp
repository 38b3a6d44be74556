#include "fun3d/hardpoints.h"

void HardpointList::SetWeapon(int slot, Entity* hardpoint, Weapon* weapon) {
    if (slot < 0 || slot >= kHardpointCount) return;
    hardpoints[slot] = hardpoint;
    weapons[slot] = weapon;
    const uint32_t bit = 1u << slot;
    if (weapon)
        present |= bit;
    else
        present &= ~bit;
    enabled &= present;
}

void HardpointList::Select(uint32_t mask) { selected = mask & present; }

void CommandList::Set(int index, int32_t code, bool enable) {
    if (index < 0 || index >= kCommandListSize) return;
    if (index == selected && codes[index] != code) selected = -1;
    codes[index] = code;
    const uint32_t bit = 1u << index;
    if (enable)
        enabledMask |= bit;
    else
        enabledMask &= ~bit;
}

void CommandList::Clear() {
    for (int i = 0; i < kCommandListSize; ++i) Set(i, 0, false);
}

int32_t CommandList::Selected() const {
    return selected >= 0 && selected < kCommandListSize ? codes[selected] : 0;
}
