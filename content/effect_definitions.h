// Definitions of the sample world's effect modules: smoke, debris chunks, construction puffs,
// dust, exhaust flames and splashes, fireballs and sparks. Each names the sample sprites and
// geometries; tests write their fixtures with the same writer.
#pragma once
#include <string>
#include <vector>

#include "weapon_definitions.h"

namespace content {

// The eight effect definitions ("smoke.odf" ... "particle.odf"); false (error set) when a key
// has no text in the dictionary.
bool EffectDefinitions(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content
