// Definitions of the sample world's torpedo "aptorp": a small hovering hunter on the torpedo
// model "gvtorp" that blows up with "xtorp". Tests write their torpedoes with the same writer.
#pragma once
#include <string>
#include <vector>

#include "weapon_definitions.h"

namespace content {

// A torpedo class; a field left at its "unset" value is not written.
struct TorpedoValues {
    std::string geometry;
    int health = -1;
    float hoverHeight = -1e30f, levelGain = -1e30f, spinDamping = -1e30f, cruiseSpeed = -1e30f;
    float maxAccel = -1e30f, turnRate = -1e30f, turnTorque = -1e30f, lifetime = -1e30f;
    std::string blast;
    std::string engineSound;
    std::string process;  // the brain's factory name, for either side
};
bool TorpedoDefinitionText(const TorpedoValues& values, std::string* text, std::string* error);

// The sample world's torpedo files.
bool TorpedoDefinitions(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content
