// Definitions of the sample world's launched devices: the radar launcher "wradar" that sends out
// the pod "aprdpod" at the owner's locked target, and the spray bomb "apspray" (one file for the
// bomb and the device it settles into) that the mortar "wspray" lobs.
#pragma once
#include <string>
#include <vector>

#include "guided_definitions.h"
#include "weapon_definitions.h"

namespace content {

// A radar launcher: the lock-on launcher's keys and the pod class it sends (left out when empty).
bool RadarLauncherText(const WeaponValues& base, const LockValues& lock, const std::string& podClass, std::string* text,
                       std::string* error);

// The spray device's keys; a field left at its "unset" value is not written.
struct SprayDeviceValues {
    std::string geometry;
    int health = -1;
    int ammo = -1;
    std::string payload;
    std::string fireSound;
    float chargeTime = -1e30f, reloadTime = -1e30f, hoverHeight = -1e30f, spinRate = -1e30f, spread = -1e30f;
};
// One file for a spray bomb (the ordnance keys, label "spraybomb") and its device.
bool SprayBombText(const OrdnanceValues& bomb, const std::string& bounceSound, const SprayDeviceValues& device,
                   std::string* text, std::string* error);

// The sample world's files of these kinds.
bool LaunchedDeviceDefinitions(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content
