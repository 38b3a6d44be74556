// Definitions of the sample world's area weapons: the planar blast "xplanar", the quake blast
// "xquake" with its shards, the shock blast "xshock", and the seismic cannon "wseismic" with its
// ground wave "seis1". Tests write their fixtures with the same writers.
#pragma once
#include <string>
#include <vector>

#include "weapon_definitions.h"

namespace content {

// The quake blast's keys after the explosion keys; a field left unset is not written.
struct QuakeValues {
    int shardCount = -1;
    std::string shardClass;
};
bool QuakeBlastText(const ExplosionValues& base, const QuakeValues& quake, std::string* text, std::string* error);

// The seismic wave's keys after the ordnance keys; a field left at -1e30 is not written.
struct SeismicValues {
    float waveRadius = -1e30f, waveHeight = -1e30f, launchOffset = -1e30f;
    float rampUpTime = -1e30f, rampDownTime = -1e30f;
    float tiltSpin = -1e30f, kickSpeed = -1e30f;
    float wobbleRate = -1e30f, wobbleSpin = -1e30f, wobbleKick = -1e30f;
    float walkerFactor = -1e30f, turretFactor = -1e30f;
    float spinDamp = -1e30f, levelSpin = -1e30f, buildingDamage = -1e30f;
};
bool SeismicOrdnanceText(const OrdnanceValues& base, const SeismicValues& wave, std::string* text, std::string* error);

// The sample world's files of these kinds.
bool AreaDefinitions(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content
