// Definitions of the sample world's beams, bolts, flame puffs and charge gun: the beam "beam"
// with its gun "wbeamgun", the bolt "bolt" with the cannon "wbolt", the flame puff "flame" with
// the gun "wflame", and the charge gun "wcharge" with its levels' shots "charge1" to "charge3".
// Tests write their fixtures with the same writers.
#pragma once
#include <string>
#include <vector>

#include "weapon_definitions.h"

namespace content {

// The beam and bolt keys after the ordnance keys; a field left at its "unset" value is not
// written.
struct StreakValues {
    float beamWidth = -1.0f, segmentLength = -1e30f, jitter = -1e30f;  // written when above -1e29
    std::string beamSprite;
    bool writeBeamSprite = false;  // also an empty name (no sprite)
    float showTime = -1e30f;
};
struct FlameValues {
    float puffSize = -1.0f, frameTime = -1e30f;
    std::string firstFrame;
    int frameCount = -1000;  // written when above -1000
};
// One charge level: the keys continue their base key over the level's number.
struct ChargeLevelValues {
    float chargeTime = -1e30f;
    int salvoCount = -1000;
    float salvoInterval = -1e30f;
    std::string sound, ordnance, icon;
};
struct ChargeValues {
    float basePitch = -1e30f, pitchPerSecond = -1e30f, baseVolume = -1e30f, volumePerSecond = -1e30f;
    int levelCount = -1000;
    std::vector<ChargeLevelValues> levels;  // levels 1, 2, ... in order
};

// An ordnance file with the beam, bolt and flame puff keys appended.
bool StreakOrdnanceText(const OrdnanceValues& base, const StreakValues& streak, const FlameValues& flame,
                        std::string* text, std::string* error);
// A weapon file with the charge gun's keys appended.
bool ChargeGunText(const WeaponValues& base, const ChargeValues& charge, std::string* text, std::string* error);

// The sample world's files of these kinds.
bool BeamDefinitions(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content
