// Definitions of the sample world's self-propelled shots and lock-on weapons: the rockets
// "rocket" and "rocket3", the tracer "tracer", the tag gun "wtag" (one file for the gun and its
// tag), the switcher "switch1" with its gun "wswitch", the missiles "missile1", "imissile" and
// "tmissile", and the launchers "wlaunch", "wilaunch" and "wtlaunch". Tests write their fixtures
// with the same writers.
#pragma once
#include <string>
#include <vector>

#include "weapon_definitions.h"

namespace content {

// The rocket keys after the ordnance keys; a field left at its "unset" value is not written.
struct RocketValues {
    float glowWidth = -1.0f, glowLength = -1.0f;
    std::string glowSprite;
    int glowFrames = -1;
    float flareSize = -1.0f;
    std::string flareSprite;
    int flareFrames = -1;
    float puffSpread = -1.0f, puffForward = -1.0f, puffInherit = -1.0f, puffSize = -1.0f;
    float puffInterval = -1e30f;     // written when above -1e29
    float puffSecondsPerFrame = -1e30f;  // written when above -1e29
    std::string puffSprite;
    int puffFrames = -1;
};
struct TracerValues {
    std::string streakSprite;
    int streakColour = -1;
    float lineDistance = -1.0f, streakLength = -1.0f, streakWidth = -1.0f;
};
// Missile steering, the tag's attach time, the switch time and the heat seeker's cone.
struct GuidedValues {
    float turnRate = -1.0f, steerGain = -1e30f;
    float attachTime = -1.0f, switchTime = -1.0f;
    float lockAngle = -1e30f;  // radians; written when above -1e29
};
// The launcher's lock and the tag gun's salvo.
struct LockValues {
    float lockRange = -1.0f, lockTime = -1e30f;
    float lockAngle = -1e30f;
    std::string trackingIcon, lockSound, lockedIcon, lockedSound;
    int lockFrameCount = -1000;      // written when above -1000
    std::vector<std::string> lockFrames;  // "01", "02", ... in order
    std::string tagSound;
    float salvoDelay = -1.0f, salvoInterval = -1e30f;
    int salvoCount = -1000;
};

// An ordnance file with the rocket, tracer and guided keys appended (those not set are left out).
bool GuidedOrdnanceText(const OrdnanceValues& base, const RocketValues& rocket, const TracerValues& tracer,
                        const GuidedValues& guided, std::string* text, std::string* error);
// A weapon file with the lock and salvo keys appended. A file that both weapon and ordnance
// registries read (the tag gun's) takes the ordnance keys too when `shot` is given.
bool LockWeaponText(const WeaponValues& base, const LockValues& lock, const OrdnanceValues* shot,
                    const RocketValues* rocket, const GuidedValues* guided, std::string* text, std::string* error);

// The sample world's files of these kinds.
bool GuidedDefinitions(std::vector<NamedDefinition>* out, std::string* error);

}  // namespace content
