// Definitions of the sample world's switched items and sniper pair: the radar damper "wrdamp"
// (3 charge steps over 2 s), the terrain exposure "wexpose", the image refraction "wrefract",
// the sniper gun "wsniper" with its shell "snipe", and the ground blast "xgblast". Tests write
// their fixtures with the same writers.
#pragma once
#include <string>
#include <vector>

#include "weapon_definitions.h"

namespace content {

// The special item keys after the weapon keys; a field left at its "unset" value is not written.
struct SpecialItemValues {
    int ammoPerSecond = -1;
    float chargeTime = -1e30f;  // written when above -1e29
    std::string loopSound, stopSound;
    int chargeSteps = -1000;    // written when above -1000
};
bool SpecialItemText(const WeaponValues& base, const SpecialItemValues& item, std::string* text, std::string* error);

// The sniper shell's keys after the ordnance keys.
struct SniperShellValues {
    float pilotReach = -1e30f;   // written when above -1e29
    float pilotRadius = -1e30f;  // written when above -1e29
};
bool SniperShellText(const OrdnanceValues& base, const SniperShellValues& shell, std::string* text,
                     std::string* error);

// The sample world's files of these kinds.
bool SpecialDefinitions(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content
