// Definitions of the sample world's guarding mines and remote devices: the proximity mine
// "approx" with its blast "xprox", the weapon mine "apwmine" carrying the cannon "wcannon", and
// the remote charges and air-burst poppers as they are added.
#pragma once
#include <string>
#include <vector>

#include "weapon_definitions.h"

namespace content {

bool DeviceDefinitionsA(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content
