// Definitions of the sample world's launched devices: the radar launcher "wradar" that sends out
// the pod "aprdpod" at the owner's locked target.
#pragma once
#include <string>
#include <vector>

#include "guided_definitions.h"
#include "weapon_definitions.h"

namespace content {

// A radar launcher: the lock-on launcher's keys and the pod class it sends (left out when empty).
bool RadarLauncherText(const WeaponValues& base, const LockValues& lock, const std::string& podClass, std::string* text,
                       std::string* error);

// The sample world's files of these kinds.
bool LaunchedDeviceDefinitions(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content
